#include "filecrypt/installed_key.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "base/app_path.h"
#include "base/file_content.h"
#include "base/platform/file_access.h"
#include "base/staged_file.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/secret_bytes.h"

namespace brindlecot {
namespace {

// More than any key needs; a longer keyConf is read only this far.
constexpr std::size_t kKeyConfReadLimit = 2048;
constexpr mode_t kOwnerOnly = 0600;

// Nothing when the file cannot be opened or is no regular file (a FIFO named keyConf
// would otherwise hold every command that reloads the key); an empty buffer when it
// holds nothing.
std::optional<SecretBytes> ReadKeyConf() {
    SecretBytes bytes(kKeyConfReadLimit, 0);
    const std::optional<std::size_t> count = ReadFileStart(KeyConfPath(), bytes);
    if (!count)
        return std::nullopt;
    bytes.resize(*count);
    return bytes;
}

// The key text ends at the first zero byte, carriage return or line feed.
std::string_view KeyTextOf(const SecretBytes& plain) {
    const auto end = std::find_if(plain.begin(), plain.end(),
                                  [](std::uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
    return {reinterpret_cast<const char*>(plain.data()),
            static_cast<std::size_t>(end - plain.begin())};
}

}  // namespace

std::string KeyConfPath() {
    if (AppFolderWritable())
        return AppPath(kKeyConfName);
    const std::string folder = UserConfigFolder();
    // Without a home folder there is nowhere else: writing beside the executable fails
    // and the installation says so.
    if (folder.empty())
        return AppPath(kKeyConfName);
    return folder + "/" + kKeyConfName;
}

bool InstalledKey::Replace(std::string_view text) {
    if (text.size() > kCapacity)
        return false;
    Clear();
    std::copy(text.begin(), text.end(), store_.begin());
    length_ = text.size();
    return true;
}

void InstalledKey::Clear() {
    WipeSecret(store_.data(), store_.size());
    length_ = 0;
}

InstalledKey& CurrentInstalledKey() {
    static InstalledKey key;
    return key;
}

bool LoadInstalledKey() {
    const std::optional<SecretBytes> encrypted = ReadKeyConf();
    if (!encrypted || encrypted->empty())
        return false;
    SecretBytes plain;
    if (KeyFileDecrypt(*encrypted, plain) != 0)
        return false;
    const std::string_view text = KeyTextOf(plain);
    // The store holds 255 bytes of text; a longer text is not a key this program wrote,
    // and cutting it would install a key nobody chose.
    if (text.size() > InstalledKey::kCapacity)
        return false;
    InstalledKey& key = CurrentInstalledKey();
    key.Replace(text);
    return !key.Empty();
}

KeyConfWrite WriteKeyConf(std::string_view keyText) {
    // The store's zero bytes pad the text to whole blocks, as the cipher expects.
    SecretBytes encrypted;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(keyText.data());
    if (KeyFileEncrypt({bytes, keyText.size()}, encrypted) != 0)
        return KeyConfWrite::NotEncrypted;
    const std::string path = KeyConfPath();
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeOwnerOnlyFolders(path.substr(0, slash)))
        return KeyConfWrite::NotWritten;
    // On Windows a new file inherits the folder's access list; it is narrowed to the owner.
    std::optional<StagedFile> staged = StagedFile::Create(path);
    if (!staged || !platform::RestrictToOwner(staged->Path()) || !staged->WriteAll(encrypted) ||
        !staged->ReplaceTarget(path, kOwnerOnly))
        return KeyConfWrite::NotWritten;
    return KeyConfWrite::Written;
}

}  // namespace brindlecot
