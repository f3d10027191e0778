// The shipped Kestrelvane.dll as a Windows caller sees it: loaded by full path, bound by
// name and by ordinal, and used on files through the C runtime's paths.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cryptlib/include/kestrelvane.h"
#include "test_support.h"

namespace kestrelvane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ToHex;

using CryptFileFn = decltype(&::CryptFile);
using CryptKeyFn = decltype(&::CryptKey);
using CryptLmkMacFn = decltype(&::CryptLmkMac);
using DesCrypt1Fn = decltype(&::DesCrypt1);
using DesCrypt2Fn = decltype(&::DesCrypt2);
using MacCryptFn = decltype(&::MACCrypt);
using Md5CryptFn = decltype(&::MD5Crypt);

constexpr std::array<const char*, 7> kExports = {
    "CryptFile", "CryptKey", "CryptLmkMac", "DesCrypt1", "DesCrypt2", "MACCrypt", "MD5Crypt"};

// This test program lives in build-windows/<target>/tests/windows/; the stage beside.
fs::path ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return fs::path(path).parent_path();
}

class Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path dll =
            ExecutableFolder() / ".." / ".." / "stage" / "driver" / "Kestrelvane.dll";
        module_ = LoadLibraryW(fs::absolute(dll).c_str());
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "Kestrelvane.dll did not load"; }

    template <typename Function>
    static Function Bind(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    static HMODULE module_;
};

HMODULE Library::module_ = nullptr;

TEST_F(Library, SevenExportsByNameAtOrdinalsOneToSeven) {
    for (std::size_t i = 0; i < kExports.size(); ++i) {
        const FARPROC byName = GetProcAddress(module_, kExports[i]);
        const FARPROC byOrdinal = GetProcAddress(module_, MAKEINTRESOURCEA(i + 1));
        EXPECT_NE(byName, nullptr) << kExports[i];
        EXPECT_EQ(byName, byOrdinal) << kExports[i];
    }
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(8)), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "getLMK"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "des3_encrypt"), nullptr);
}

TEST_F(Library, DigestAndMasterKeyCheckValue) {
    const auto md5 = Bind<Md5CryptFn>("MD5Crypt");
    const unsigned char abc[] = {'a', 'b', 'c'};
    Bytes digest(16);
    std::int32_t length = 16;
    ASSERT_EQ(md5(abc, 3, digest.data(), &length), 0);
    EXPECT_EQ(ToHex(digest), "900150983cd24fb0d6963f7d28e17f72");  // RFC 1321

    const auto lmkMac = Bind<CryptLmkMacFn>("CryptLmkMac");
    Bytes first(8);
    Bytes second(8);
    length = 7;
    EXPECT_EQ(lmkMac(first.data(), &length), KESTRELVANE_E_OUTPUT_TOO_SMALL);
    EXPECT_EQ(length, 8);
    ASSERT_EQ(lmkMac(first.data(), &length), 0);
    ASSERT_EQ(lmkMac(second.data(), &length), 0);
    EXPECT_EQ(first, second);
    // The value of the Linux build (tests/cryptlib): the same compiled-in pieces.
    if (const char* linuxValue = std::getenv("KESTRELVANE_LINUX_LMK_MAC")) {
        EXPECT_EQ(ToHex(first), linuxValue);
    }
}

TEST_F(Library, GeneratedKeyEncryptsMessagesAndMacs) {
    const auto cryptKey = Bind<CryptKeyFn>("CryptKey");
    const auto desCrypt1 = Bind<DesCrypt1Fn>("DesCrypt1");
    const auto desCrypt2 = Bind<DesCrypt2Fn>("DesCrypt2");
    const auto macCrypt = Bind<MacCryptFn>("MACCrypt");
    Bytes wrapped(24);
    std::int32_t length = 24;
    ASSERT_EQ(cryptKey(KESTRELVANE_MODE_GENERATE, nullptr, 0, wrapped.data(), &length), 0);

    const Bytes data = test::RandomBytes(64, 7);
    Bytes cipher(64);
    Bytes plain(64);
    length = 64;
    ASSERT_EQ(desCrypt2(0, data.data(), 64, cipher.data(), &length, wrapped.data(), 24), 0);
    EXPECT_NE(cipher, data);
    ASSERT_EQ(desCrypt2(1, cipher.data(), 64, plain.data(), &length, wrapped.data(), 24), 0);
    EXPECT_EQ(plain, data);

    Bytes sealed(64 + 40);
    length = static_cast<std::int32_t>(sealed.size());
    ASSERT_EQ(desCrypt1(0, data.data(), 61, sealed.data(), &length, wrapped.data(), 24), 0);
    Bytes opened(sealed.size());
    std::int32_t openedLength = static_cast<std::int32_t>(opened.size());
    ASSERT_EQ(desCrypt1(1, sealed.data(), length, opened.data(), &openedLength, wrapped.data(), 24),
              0);
    EXPECT_EQ(Bytes(opened.begin(), opened.begin() + openedLength),
              Bytes(data.begin(), data.begin() + 61));

    Bytes mac(8);
    Bytes otherMac(8);
    length = 8;
    ASSERT_EQ(macCrypt(1, data.data(), 64, wrapped.data(), 24, mac.data(), &length), 0);
    Bytes changed = data;
    changed[63] ^= 1;
    ASSERT_EQ(macCrypt(1, changed.data(), 64, wrapped.data(), 24, otherMac.data(), &length), 0);
    EXPECT_NE(mac, otherMac);
}

class LibraryFiles : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        folder_ = fs::temp_directory_path() /
                  ("kestrelvane-test-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Path(const char* name) const { return (folder_ / name).string(); }
    fs::path folder_;
};

// The bytes the C runtime's text mode would change: CR LF, a lone LF, and Ctrl-Z, which
// text mode takes for the end of the file.
TEST_F(LibraryFiles, SealedFilesRoundTripEveryByte) {
    const auto cryptFile = Bind<CryptFileFn>("CryptFile");
    const unsigned char key[] = "1234567C";
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{9}, std::size_t{1'000'003}}) {
        SCOPED_TRACE(size);
        Bytes data = test::RandomBytes(size, static_cast<std::uint32_t>(size));
        const unsigned char traps[] = {'\r', '\n', '\n', 0x1A, '\r'};
        for (std::size_t i = 0; i < data.size() && i < sizeof traps; ++i)
            data[i] = traps[i];
        test::WriteFile(Path("plain"), data);
        fs::remove(Path("sealed"));
        fs::remove(Path("opened"));
        ASSERT_EQ(cryptFile(2, key, 8, Path("plain").c_str(), Path("sealed").c_str(), 1), 0);
        EXPECT_EQ(fs::file_size(Path("sealed")), size / 8 * 8 + 40);
        ASSERT_EQ(cryptFile(3, key, 8, Path("sealed").c_str(), Path("opened").c_str(), 1), 0);
        EXPECT_EQ(test::ReadFile(Path("opened")), data);
    }
}

TEST_F(LibraryFiles, TwoFilesAreTwoAndOneFileByTwoNamesIsOne) {
    const auto cryptFile = Bind<CryptFileFn>("CryptFile");
    const unsigned char key[] = "1234567C";
    test::WriteFile(Path("plain"), Bytes(16, 'x'));
    test::WriteFile(Path("other"), Bytes(16, 'y'));
    EXPECT_EQ(cryptFile(2, key, 8, Path("plain").c_str(), Path("other").c_str(), 1), 0);
    const std::string otherSpelling = (folder_ / "." / "plain").string();
    EXPECT_EQ(cryptFile(2, key, 8, Path("plain").c_str(), otherSpelling.c_str(), 1),
              KESTRELVANE_E_SAME_FILE);
    EXPECT_EQ(test::ReadFile(Path("plain")), Bytes(16, 'x'));
}

}  // namespace
}  // namespace kestrelvane
