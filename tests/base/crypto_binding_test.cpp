#include "base/crypto_binding.h"
#include "base/app_path.h"
#include "tests/support/test_files.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace brindlecot {
namespace {

constexpr std::string_view kDriver = "driver/libKestrelvane.so";

// Asks the dynamic loader, without loading anything, whether the file is loaded now.
bool IsLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

class CryptoBindingTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolder(folder_.path().string()); }
    void TearDown() override { UnbindCryptoLibrary(); }
    std::string InstallDriver(const char* library) { return folder_.Copy(library, kDriver); }

    testing::TempFolder folder_;
};

TEST_F(CryptoBindingTest, BindsCryptFileFromTheDriverFolder) {
    const std::string driver = InstallDriver(FAKE_CRYPT_WITH_EXPORT);
    EXPECT_EQ(BoundCryptFile(), nullptr);
    ASSERT_TRUE(BindCryptoLibrary());
    ASSERT_NE(BoundCryptFile(), nullptr);
    EXPECT_TRUE(IsLoaded(driver));
    const unsigned char key[] = "0123ABCD";
    EXPECT_EQ(BoundCryptFile()(2, key, 8, "in", "out", 1), 2081);
}

TEST_F(CryptoBindingTest, BindingTwiceBindsOnce) {
    const std::string driver = InstallDriver(FAKE_CRYPT_WITH_EXPORT);
    ASSERT_TRUE(BindCryptoLibrary());
    const CryptFileFunction first = BoundCryptFile();
    ASSERT_TRUE(BindCryptoLibrary());
    EXPECT_EQ(BoundCryptFile(), first);
    // Had the second call loaded the library again, one release would leave it loaded.
    EXPECT_TRUE(UnbindCryptoLibrary());
    EXPECT_FALSE(IsLoaded(driver));
    EXPECT_EQ(BoundCryptFile(), nullptr);
}

TEST_F(CryptoBindingTest, LibraryWithoutTheExportFailsAndIsReleased) {
    const std::string driver = InstallDriver(FAKE_CRYPT_WITHOUT_EXPORT);
    EXPECT_FALSE(BindCryptoLibrary());
    EXPECT_EQ(BoundCryptFile(), nullptr);
    EXPECT_TRUE(IsLoaded(driver));
    // Still loaded but unusable: a second bind must not claim success.
    EXPECT_FALSE(BindCryptoLibrary());
    EXPECT_TRUE(UnbindCryptoLibrary());
    EXPECT_FALSE(IsLoaded(driver));
}

TEST_F(CryptoBindingTest, MissingOrDamagedLibraryFails) {
    EXPECT_FALSE(BindCryptoLibrary());
    EXPECT_TRUE(UnbindCryptoLibrary());
    folder_.Write(kDriver, "not a shared library");
    EXPECT_FALSE(BindCryptoLibrary());
    EXPECT_EQ(BoundCryptFile(), nullptr);
}

TEST_F(CryptoBindingTest, AFifoInTheLibrarysPlaceFailsWithoutWaiting) {
    std::filesystem::create_directories(folder_ / "driver");
    ASSERT_EQ(::mkfifo((folder_ / kDriver).c_str(), 0600), 0);
    ::alarm(20);  // a load that waits for a writer ends the run instead of hanging it
    EXPECT_FALSE(BindCryptoLibrary());
    ::alarm(0);
    EXPECT_EQ(BoundCryptFile(), nullptr);
}

TEST_F(CryptoBindingTest, CanBindAgainAfterRelease) {
    InstallDriver(FAKE_CRYPT_WITHOUT_EXPORT);
    EXPECT_FALSE(BindCryptoLibrary());
    UnbindCryptoLibrary();
    InstallDriver(FAKE_CRYPT_WITH_EXPORT);
    EXPECT_TRUE(BindCryptoLibrary());
    EXPECT_NE(BoundCryptFile(), nullptr);
}

}  // namespace
}  // namespace brindlecot
