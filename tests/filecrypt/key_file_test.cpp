#include <openssl/evp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "base/catalogue/brindlecot_dlg_keys.h"
#include "base/catalogue/dialog_crypt_key_keys.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/valid_key.h"

namespace brindlecot {
namespace {

using testing::FileSizeLimit;
using testing::Message;
using testing::Question;
using testing::RecordingUi;
using testing::Shown;
using testing::ValidKey;
namespace keys = catalogue::DialogCryptKey;

// The key-file cipher's keys are part of the keyConf format: a build with other keys
// cannot read the keyConf files already installed. Pinned here on purpose.
constexpr std::array<unsigned char, 24> kKeyFileKeys = {
    0xC0, 0xD6, 0xD3, 0x7A, 0x3A, 0x5C, 0xE9, 0xFC, 0x64, 0x51, 0xF1, 0x13,
    0x29, 0x75, 0x1A, 0xB0, 0x9B, 0x73, 0x29, 0x00, 0x37, 0x4F, 0xEF, 0xE8};

// OpenSSL's DES-EDE3 in ECB without padding; `plain` must be whole blocks.
std::string OpenSslEde3(const std::array<unsigned char, 24>& keys, const std::string& input,
                        bool encrypt) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    std::string output(input.size() + 8, '\0');
    int length = 0;
    int finalLength = 0;
    const bool ok =
        EVP_CipherInit_ex(context, EVP_des_ede3_ecb(), nullptr, keys.data(), nullptr,
                          encrypt ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_CipherUpdate(context, reinterpret_cast<unsigned char*>(output.data()), &length,
                         reinterpret_cast<const unsigned char*>(input.data()),
                         static_cast<int>(input.size())) == 1 &&
        EVP_CipherFinal_ex(context, reinterpret_cast<unsigned char*>(output.data()) + length,
                           &finalLength) == 1;
    EVP_CIPHER_CTX_free(context);
    if (!ok)
        throw std::runtime_error("OpenSSL DES-EDE3 failed");
    output.resize(static_cast<std::size_t>(length + finalLength));
    return output;
}

std::string ZeroPadded(std::string text) {
    text.resize((text.size() + 7) / 8 * 8, '\0');
    return text;
}

std::string AsString(const SecretBytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(KeyFileCipher, MatchesOpenSslTripleDesEcbOverZeroPaddedBlocks) {
    for (const std::string& plain :
         {std::string("1"), std::string("12345678"), std::string("123456789"),
          std::string(255, 'K'), std::string("\x00\xFF\x80zz", 5)}) {
        SecretBytes encrypted;
        ASSERT_EQ(KeyFileEncrypt(Bytes(plain), encrypted), 0);
        EXPECT_EQ(AsString(encrypted), OpenSslEde3(kKeyFileKeys, ZeroPadded(plain), true))
            << plain.size();
        SecretBytes decrypted;
        ASSERT_EQ(KeyFileDecrypt({encrypted.data(), encrypted.size()}, decrypted), 0);
        EXPECT_EQ(AsString(decrypted), ZeroPadded(plain));
    }
}

TEST(KeyFileCipher, RefusesEmptyInputAndSurvivesBeingWipedAndPreparedAgain) {
    SecretBytes output;
    EXPECT_EQ(KeyFileEncrypt({}, output), kKeyFileEncryptEmpty);
    EXPECT_EQ(KeyFileDecrypt({}, output), kKeyFileDecryptEmpty);
    WipeKeyFileCipher();
    ASSERT_EQ(KeyFileEncrypt(Bytes("ABCDEF01"), output), 0);
    EXPECT_EQ(AsString(output), OpenSslEde3(kKeyFileKeys, "ABCDEF01", true));
    PrepareKeyFileCipher();
    ASSERT_EQ(KeyFileDecrypt({output.data(), output.size()}, output), 0);
    EXPECT_EQ(AsString(output), "ABCDEF01");
}

TEST(InstalledKeyStore, HoldsAtMost255BytesAndRefusesLongerWithoutChange) {
    InstalledKey key;
    EXPECT_TRUE(key.Replace(std::string(255, 'A')));
    EXPECT_EQ(key.Length(), 255);
    EXPECT_FALSE(key.Replace(std::string(256, 'B')));
    EXPECT_EQ(key.Text(), std::string(255, 'A'));
    EXPECT_TRUE(key.Replace("12"));
    EXPECT_EQ(key.Text(), "12");
    // The store behind the text is cleared, so the bytes after the key are zeros.
    EXPECT_EQ(key.Data()[2], 0);
    key.Clear();
    EXPECT_TRUE(key.Empty());
}

class KeyConfTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolder(app_.path().string());
        app_.Write("language/msgSimChi.ini", testing::LabelledCatalogue());
        CurrentInstalledKey().Clear();
    }
    void TearDown() override { CurrentInstalledKey().Clear(); }

    std::string KeyConfPath() const { return (app_ / "keyConf").string(); }
    void WriteKeyConfBytes(const std::string& bytes) { app_.Write("keyConf", bytes); }
    // The app folder holds nothing but what the test put there and keyConf.
    std::vector<std::string> Listing() const { return app_.Entries(); }

    brindlecot::testing::TempFolder app_;
    RecordingUi ui_;
};

TEST_F(KeyConfTest, InstallingAsksFirstThenWritesAnOwnerOnlyKeyConfAndConfirms) {
    const std::string key = ValidKey("1234567");
    EXPECT_EQ(InstallKey(key, ui_), KeyInstallOutcome::Installed);
    EXPECT_EQ(ui_.events,
              (std::vector<Shown>{Question(keys::kTitle, keys::kConfirmReplace),
                                  Message(catalogue::BrindlecotDlg::kKeyInstalledCaption,
                                          catalogue::BrindlecotDlg::kKeyInstalled)}));
    EXPECT_EQ(CurrentInstalledKey().Text(), key);
    EXPECT_EQ(testing::ReadFileBytes(KeyConfPath()), OpenSslEde3(kKeyFileKeys, key, true));
    EXPECT_EQ(testing::PermissionBits(KeyConfPath()), 0600u);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"keyConf", "language"}));

    CurrentInstalledKey().Clear();
    EXPECT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), key);
}

TEST_F(KeyConfTest, InstallingAgainReplacesKeyConfAndTightensItsMode) {
    ASSERT_EQ(InstallKey(ValidKey("0000000"), ui_), KeyInstallOutcome::Installed);
    ::chmod(KeyConfPath().c_str(), 0644);
    std::string second = ValidKey("FEDCBA9");
    for (char& c : second)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(InstallKey(second, ui_), KeyInstallOutcome::Installed);
    EXPECT_EQ(testing::ReadFileBytes(KeyConfPath()),
              OpenSslEde3(kKeyFileKeys, ValidKey("FEDCBA9"), true));
    EXPECT_EQ(testing::PermissionBits(KeyConfPath()), 0600u);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"keyConf", "language"}));
}

TEST_F(KeyConfTest, EveryRefusedEntryShowsItsMessageAndChangesNothing) {
    const std::string installed = ValidKey("7654321");
    ASSERT_EQ(InstallKey(installed, ui_), KeyInstallOutcome::Installed);
    const std::string keyConfBefore = testing::ReadFileBytes(KeyConfPath());
    std::string wrongDigit = ValidKey("1111111");
    wrongDigit.back() = wrongDigit.back() == '0' ? '1' : '0';
    const std::vector<std::pair<std::string, CatalogueKey>> cases = {
        {"", keys::kKeyEmpty},
        {"1234567", keys::kKeyNotEightCharacters},
        {"123456789", keys::kKeyNotEightCharacters},
        {"1234567Z", keys::kKeyNotHex},
        {wrongDigit, keys::kCheckDigitWrong}};
    for (const auto& [entry, key] : cases) {
        ui_.events.clear();
        EXPECT_EQ(InstallKey(entry, ui_), KeyInstallOutcome::NotInstalled) << entry;
        EXPECT_EQ(ui_.events, std::vector<Shown>{Message(keys::kTitle, key)}) << entry;
        EXPECT_EQ(CurrentInstalledKey().Text(), installed);
        EXPECT_EQ(testing::ReadFileBytes(KeyConfPath()), keyConfBefore);
    }
}

TEST_F(KeyConfTest, AnsweringNoKeepsTheDialogOpenAndChangesNothing) {
    ui_.answers = {false};
    EXPECT_FALSE(AcceptKeyEntry(ValidKey("2222222"), ui_).has_value());
    ui_.answers = {false};
    EXPECT_EQ(InstallKey(ValidKey("2222222"), ui_), KeyInstallOutcome::NotInstalled);
    EXPECT_TRUE(CurrentInstalledKey().Empty());
    EXPECT_FALSE(std::filesystem::exists(KeyConfPath()));
    EXPECT_EQ(ui_.events.back(), Question(keys::kTitle, keys::kConfirmReplace));
}

TEST_F(KeyConfTest, AFailedWriteLeavesTheOldKeyConfWholeAndNoTemporaryFile) {
    const std::string first = ValidKey("3333333");
    ASSERT_EQ(InstallKey(first, ui_), KeyInstallOutcome::Installed);
    const std::string keyConfBefore = testing::ReadFileBytes(KeyConfPath());
    const std::string second = ValidKey("4444444");
    ui_.events.clear();
    KeyInstallOutcome outcome;
    {
        FileSizeLimit limit(4);  // the 8 encrypted bytes cannot be written
        outcome = InstallKey(second, ui_);
    }
    EXPECT_EQ(outcome, KeyInstallOutcome::NotSaved);
    // Reported, and the key that keyConf still holds stays the installed one: every
    // command reloads keyConf, so a key only in memory would never be used.
    EXPECT_EQ(ui_.events.back(), Message(keys::kTitle, keys::kKeyNotSaved));
    EXPECT_EQ(CurrentInstalledKey().Text(), first);
    EXPECT_EQ(testing::ReadFileBytes(KeyConfPath()), keyConfBefore);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"keyConf", "language"}));
    CurrentInstalledKey().Clear();
    ASSERT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), first);
}

TEST_F(KeyConfTest, AKeyConfPathTakenByAFolderIsNotWrittenAndLeavesNoTemporaryFile) {
    std::filesystem::create_directory(KeyConfPath());
    EXPECT_EQ(InstallAcceptedKey(ValidKey("5555555")), KeyInstallOutcome::NotSaved);
    EXPECT_TRUE(CurrentInstalledKey().Empty());
    EXPECT_TRUE(std::filesystem::is_directory(KeyConfPath()));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"keyConf", "language"}));
}

TEST_F(KeyConfTest, LoadingFailuresLeaveTheKeyInMemory) {
    ASSERT_TRUE(CurrentInstalledKey().Replace("OLDKEY00"));
    EXPECT_FALSE(LoadInstalledKey());  // no keyConf
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");
    WriteKeyConfBytes("");
    EXPECT_FALSE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");
    // Decrypted text of 256 bytes does not fit the 255-byte store: refused as unreadable.
    WriteKeyConfBytes(OpenSslEde3(kKeyFileKeys, std::string(256, 'A'), true));
    EXPECT_FALSE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");
}

// A keyConf that is no regular file holds no key: a FIFO must not hold the command up
// waiting for a writer, and a device must not be taken for key bytes.
TEST_F(KeyConfTest, AKeyConfThatIsAFifoOrADeviceIsNoKeyAndNeverWaits) {
    ASSERT_TRUE(CurrentInstalledKey().Replace("OLDKEY00"));
    ASSERT_EQ(::mkfifo(KeyConfPath().c_str(), 0600), 0);
    ::alarm(20);  // a read that waits for a writer ends the test run instead of hanging it
    EXPECT_FALSE(LoadInstalledKey());
    ::alarm(0);
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");

    std::filesystem::remove(KeyConfPath());
    std::filesystem::create_symlink("/dev/zero", KeyConfPath());
    EXPECT_FALSE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");

    // Nor is such a thing replaced by a key file: the key is not installed, and says so.
    EXPECT_EQ(InstallAcceptedKey(ValidKey("5555555")), KeyInstallOutcome::NotSaved);
    EXPECT_EQ(CurrentInstalledKey().Text(), "OLDKEY00");
    EXPECT_EQ(std::filesystem::read_symlink(KeyConfPath()), "/dev/zero");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"keyConf", "language"}));
}

TEST_F(KeyConfTest, AKeyConfThatDecryptsToNoTextClearsTheKey) {
    ASSERT_TRUE(CurrentInstalledKey().Replace("OLDKEY00"));
    WriteKeyConfBytes(OpenSslEde3(kKeyFileKeys, std::string("\0ABCDEFG", 8), true));
    EXPECT_FALSE(LoadInstalledKey());
    EXPECT_TRUE(CurrentInstalledKey().Empty());
}

TEST_F(KeyConfTest, TheKeyTextEndsAtZeroCarriageReturnOrLineFeed) {
    WriteKeyConfBytes(OpenSslEde3(kKeyFileKeys, std::string(255, 'B') + '\0', true));
    ASSERT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), std::string(255, 'B'));
    WriteKeyConfBytes(OpenSslEde3(kKeyFileKeys, "ABC\rDEF\nGHIJKLMN", true));
    ASSERT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), "ABC");
    // A length that is not whole blocks: the last block is completed with zeros before
    // decryption, so only whole blocks carry meaning.
    WriteKeyConfBytes(OpenSslEde3(kKeyFileKeys, "12345678", true) + "xy");
    ASSERT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text().substr(0, 8), "12345678");
}

TEST_F(KeyConfTest, AKeyConfFromOtherCipherKeysLoadsWhatOurKeysDecryptItTo) {
    std::array<unsigned char, 24> otherKeys = kKeyFileKeys;
    otherKeys[0] ^= 0x02;
    for (const std::string& key : {ValidKey("6666666"), ValidKey("89ABCDE"), ValidKey("0123456")}) {
        const std::string foreign = OpenSslEde3(otherKeys, key, true);
        WriteKeyConfBytes(foreign);
        const std::string decrypted = OpenSslEde3(kKeyFileKeys, foreign, false);
        const std::string expected =
            decrypted.substr(0, decrypted.find_first_of(std::string("\0\r\n", 3)));
        ASSERT_TRUE(CurrentInstalledKey().Replace("OLDKEY00"));
        EXPECT_EQ(LoadInstalledKey(), !expected.empty());
        EXPECT_EQ(CurrentInstalledKey().Text(), expected);
        EXPECT_NE(CurrentInstalledKey().Text(), key);
    }
}

}  // namespace
}  // namespace brindlecot
