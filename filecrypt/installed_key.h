#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindlecot {

// The key under which the program seals and opens files: at most 255 bytes of text,
// 8 upper-case hexadecimal digits once installed. It is handed to CryptFile as key and
// length, without a terminator. The store is wiped whenever it is replaced or cleared.
class InstalledKey {
public:
    static constexpr std::size_t kCapacity = 255;

    InstalledKey() = default;
    ~InstalledKey() { Clear(); }
    InstalledKey(const InstalledKey&) = delete;
    InstalledKey& operator=(const InstalledKey&) = delete;

    // False (and nothing changed) when the text is longer than kCapacity.
    bool Replace(std::string_view text);
    void Clear();

    bool Empty() const { return length_ == 0; }
    const unsigned char* Data() const { return store_.data(); }
    std::int32_t Length() const { return static_cast<std::int32_t>(length_); }
    std::string_view Text() const {
        return {reinterpret_cast<const char*>(store_.data()), length_};
    }

private:
    std::array<unsigned char, kCapacity + 1> store_{};
    std::size_t length_ = 0;
};

// The process-wide installed key (empty at start-up).
InstalledKey& CurrentInstalledKey();

// The file that keeps the installed key, encrypted with the key-file cipher; owner-only
// (mode 0600).
inline constexpr char kKeyConfName[] = "keyConf";

// Where keyConf is read and written: beside the executable when that folder is writable
// (the portable folder), otherwise in the person's own configuration folder
// (UserConfigFolder()/keyConf), since an installed package's folder belongs to root and a
// clerk's key must not depend on being able to write there.
std::string KeyConfPath();

// Replaces the installed key with the key kept in keyConf. True when a non-empty key was
// read. A keyConf that is missing, empty, unreadable or whose text exceeds 255 bytes
// leaves the installed key as it was; one that decrypts to an empty text clears it.
bool LoadInstalledKey();

enum class KeyConfWrite {
    Written,
    NotEncrypted,  // the key-file cipher refused the text (empty, or no memory)
    NotWritten,    // the file could not be created, written, flushed or renamed
};

// Encrypts `keyText` and replaces keyConf with it atomically: a temporary file beside it
// (mode 0600) is written and flushed to disk, then renamed over keyConf, so an existing
// keyConf is never left half-written. On failure an earlier keyConf is untouched and no
// temporary file remains.
[[nodiscard]] KeyConfWrite WriteKeyConf(std::string_view keyText);

}  // namespace brindlecot
