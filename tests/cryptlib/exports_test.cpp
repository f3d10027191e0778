// The shipped library as a caller sees it: loaded with dlopen, every service bound by
// name, and nothing else exported.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "cryptlib/include/kestrelvane.h"
#include "test_support.h"
#include "tests/support/test_files.h"

namespace kestrelvane {
namespace {

using test::Bytes;

const std::set<std::string> kExports = {"CryptFile", "CryptKey", "CryptLmkMac", "DesCrypt1",
                                        "DesCrypt2", "MACCrypt", "MD5Crypt"};

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(KESTRELVANE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    template <typename Function>
    Function* Bind(const char* name) {
        void* symbol = dlsym(handle_, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Function*>(symbol);
    }
    void* handle_ = nullptr;
};

TEST_F(LoadedLibrary, EveryServiceAnswersThroughItsExportedName) {
    auto* md5 = Bind<decltype(MD5Crypt)>("MD5Crypt");
    auto* lmk = Bind<decltype(CryptLmkMac)>("CryptLmkMac");
    auto* crypt_key = Bind<decltype(CryptKey)>("CryptKey");
    auto* des1 = Bind<decltype(DesCrypt1)>("DesCrypt1");
    auto* des2 = Bind<decltype(DesCrypt2)>("DesCrypt2");
    auto* mac = Bind<decltype(MACCrypt)>("MACCrypt");
    auto* crypt_file = Bind<decltype(CryptFile)>("CryptFile");
    ASSERT_TRUE(md5 && lmk && crypt_key && des1 && des2 && mac && crypt_file);

    const Bytes abc = {'a', 'b', 'c'};
    Bytes digest(16);
    std::int32_t length = 16;
    ASSERT_EQ(md5(abc.data(), 3, digest.data(), &length), 0);
    EXPECT_EQ(test::ToHex(digest), "900150983cd24fb0d6963f7d28e17f72");

    // The loaded copy and the linked copy hold the same master-key pieces.
    Bytes check(8);
    Bytes linked_check(8);
    length = 8;
    testing::internal::CaptureStdout();
    ASSERT_EQ(lmk(check.data(), &length), 0);
    ASSERT_EQ(CryptLmkMac(linked_check.data(), &length), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(check, linked_check);

    const Bytes clear = test::RandomBytes(24, 1);
    Bytes wrapped(24);
    length = 24;
    ASSERT_EQ(crypt_key(0, clear.data(), 24, wrapped.data(), &length), 0);

    const Bytes data = test::RandomBytes(16, 2);
    Bytes encrypted(16);
    length = 16;
    ASSERT_EQ(des2(0, data.data(), 16, encrypted.data(), &length, wrapped.data(), 24), 0);
    EXPECT_EQ(encrypted, test::OpenSslTdesEcb(clear, data, true));

    Bytes mac_out(8);
    length = 8;
    ASSERT_EQ(mac(1, data.data(), 16, wrapped.data(), 24, mac_out.data(), &length), 0);
    const Bytes cbc = test::OpenSslTdesCbc(clear, Bytes(8, 0), data, true);
    EXPECT_EQ(mac_out, Bytes(cbc.end() - 8, cbc.end()));

    Bytes message(56);
    length = 56;
    ASSERT_EQ(des1(0, data.data(), 16, message.data(), &length, abc.data(), 3), 0);
    Bytes opened(16);
    length = 16;
    ASSERT_EQ(DesCrypt1(1, message.data(), 56, opened.data(), &length, abc.data(), 3), 0);
    EXPECT_EQ(opened, data);

    brindlecot::testing::TempFolder folder;
    test::WriteFile(folder / "plain", data);
    const Bytes key = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};
    ASSERT_EQ(
        crypt_file(2, key.data(), 8, (folder / "plain").c_str(), (folder / "sealed").c_str(), 1),
        0);
    ASSERT_EQ(
        CryptFile(3, key.data(), 8, (folder / "sealed").c_str(), (folder / "opened").c_str(), 1),
        0);
    EXPECT_EQ(test::ReadFile(folder / "opened"), data);
}

TEST(SharedLibrary, ExportsExactlyTheSevenServices) {
    const std::string command =
        std::string("nm -D --defined-only ") + KESTRELVANE_LIBRARY_PATH + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> defined;
    char line[512];
    while (std::fgets(line, sizeof(line), pipe) != nullptr) {
        char address[64];
        char kind[8];
        char name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3)
            defined.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0) << "nm failed";
    EXPECT_EQ(defined, kExports);
}

}  // namespace
}  // namespace kestrelvane
