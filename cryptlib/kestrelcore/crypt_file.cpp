// Whole-file encryption: sealed files (wrapped session key, body, check block) and the
// headerless variant under a caller's wrapped key. The file is streamed through one
// fixed buffer, so memory use does not depend on the file size; sizes and running totals
// are 64-bit.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "cryptlib/kestrelcore/modes.h"
#include "cryptlib/platform/system_services.h"

namespace kestrelvane {
namespace {

constexpr std::size_t kBlock = kDesBlockSize;
// Bytes asked for by one read: a whole number of blocks. Opening asks 16 bytes less when
// a full read would leave fewer than 16 bytes, so the last chunk always holds the last
// data block and the check block.
constexpr std::size_t kReadSize = 64 * 1024 - 32;
constexpr std::size_t kCheckReserve = 2 * kBlock;
// Room for a carried partial block, one read, padding and the check block.
constexpr std::size_t kBufferSize = kBlock + kReadSize + 2 * kBlock;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Reads until size bytes or the end of the file. Returns the count, or -1 on an error.
std::int64_t ReadUpTo(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void XorBlockInto(std::uint8_t* accumulator, const std::uint8_t* block) {
    for (std::size_t i = 0; i < kBlock; ++i)
        accumulator[i] ^= block[i];
}

// The check block of a whole chunk, a word at a time: at the cipher's speed a byte loop
// would cost a good part of the time.
void XorBlocksInto(std::uint8_t* accumulator, const std::uint8_t* blocks, std::size_t length) {
    std::uint64_t sum[4] = {};
    std::size_t offset = 0;
    for (; offset + 4 * kBlock <= length; offset += 4 * kBlock) {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, blocks + offset + lane * kBlock, kBlock);
            sum[lane] ^= word;
        }
    }
    for (; offset + kBlock <= length; offset += kBlock) {
        std::uint64_t word;
        std::memcpy(&word, blocks + offset, kBlock);
        sum[0] ^= word;
    }
    std::uint64_t check;
    std::memcpy(&check, accumulator, kBlock);
    check ^= sum[0] ^ sum[1] ^ sum[2] ^ sum[3];
    std::memcpy(accumulator, &check, kBlock);
}

std::size_t AppendCountPadding(std::uint8_t* chunk, std::size_t length) {
    const std::size_t count = kBlock - length % kBlock;
    std::memset(chunk + length, static_cast<int>(count), count);
    return length + count;
}

// A body of one data block holds that block twice, so its check block cancels under any
// session key: a wrong key is caught only by the padding. Every producer of sealed files
// writes each pad byte equal to the count, so all of them are required to be, not just
// the last; that refuses a wrong key 255 times in 256 instead of 31 in 32.
bool CountPaddingIsWhole(const std::uint8_t* last_data_block) {
    const std::uint8_t count = last_data_block[kBlock - 1];
    if (count < 1 || count > kBlock)
        return false;
    std::uint8_t differs = 0;
    for (std::size_t i = kBlock - count; i < kBlock; ++i)
        differs |= static_cast<std::uint8_t>(last_data_block[i] ^ count);
    return differs == 0;
}

// Everything one call holds: wiped when the call returns, whatever the path.
struct Session {
    int in = -1;
    int out = -1;
    std::uint64_t input_size = 0;
    std::uint64_t total = 0;
    std::size_t tail = 0;
    std::int32_t pad_mode = 0;
    des3_context key_encryption;
    des3_context data_key;
    // The data key's rounds for whole batches of blocks, in the direction of the mode.
    des3_bitslice_schedule data_cipher;
    std::uint8_t check[kBlock] = {};
    std::uint8_t buffer[kBufferSize];

    // Moves the bytes after the last whole block of the chunk to the front of the buffer.
    void CarryTail(std::size_t length) {
        tail = length % kBlock;
        std::memmove(buffer, buffer + (length - tail), tail);
    }
};

std::int32_t UnwrapWorkingKey(Session& session, const ModeChoice& choice, const std::uint8_t* key,
                              std::int32_t key_length) {
    // The family codes skip the key checks of modes 0 and 1; the key is still read, so it
    // is checked here rather than read out of bounds.
    if (choice.family_code) {
        if (key == nullptr)
            return KESTRELVANE_E_NULL_ARGUMENT;
        if (key_length != 16 && key_length != 24)
            return KESTRELVANE_E_KEY_LENGTH;
    }
    UnwrapKeySchedule(session.key_encryption, key, key_length, session.data_key);
    if (choice.base == BaseMode::kEncrypt) {
        des3_bitslice_set_encrypt(session.data_cipher, session.data_key);
    } else {
        des3_bitslice_set_decrypt(session.data_cipher, session.data_key);
    }
    return KESTRELVANE_OK;
}

std::int32_t EncryptHeaderless(Session& s) {
    for (;;) {
        const std::int64_t count = ReadUpTo(s.in, s.buffer + s.tail, kReadSize);
        if (count < 0)
            return KESTRELVANE_E_NOTHING_READ;
        s.total = count == 0 ? s.input_size : s.total + static_cast<std::uint64_t>(count);
        std::size_t length = s.tail + static_cast<std::size_t>(count);
        const bool last = s.total >= s.input_size;
        if (last) {
            if (s.pad_mode == KESTRELVANE_PAD_ZERO) {
                const std::size_t padded = (length + kBlock - 1) / kBlock * kBlock;
                std::memset(s.buffer + length, 0, padded - length);
                length = padded;
            } else if (s.pad_mode == KESTRELVANE_PAD_COUNT) {
                length = AppendCountPadding(s.buffer, length);
            } else {
                return KESTRELVANE_E_PAD_MODE;
            }
        }
        const std::size_t whole = length / kBlock * kBlock;
        des3_bitslice_ecb(s.data_cipher, s.buffer, s.buffer, whole);
        if (!WriteAll(s.out, s.buffer, whole))
            return KESTRELVANE_E_WRITE_ENCRYPT;
        if (last)
            return KESTRELVANE_OK;
        s.CarryTail(length);
    }
}

std::int32_t DecryptHeaderless(Session& s) {
    for (;;) {
        const std::int64_t count = ReadUpTo(s.in, s.buffer + s.tail, kReadSize);
        if (count <= 0)
            return KESTRELVANE_E_NOTHING_READ;
        s.total += static_cast<std::uint64_t>(count);
        const std::size_t length = s.tail + static_cast<std::size_t>(count);
        const std::size_t whole = length / kBlock * kBlock;
        des3_bitslice_ecb(s.data_cipher, s.buffer, s.buffer, whole);
        std::size_t output_length = whole;
        const bool last = static_cast<std::size_t>(count) < kReadSize || s.total >= s.input_size;
        if (last) {
            if (length % kBlock != 0)
                return KESTRELVANE_E_MALFORMED;
            const std::uint8_t* last_block = s.buffer + length - kBlock;
            if (s.pad_mode == KESTRELVANE_PAD_ZERO) {
                const void* zero = std::memchr(last_block, 0, kBlock);
                const std::size_t kept =
                    zero == nullptr ? kBlock : static_cast<const std::uint8_t*>(zero) - last_block;
                output_length = length - kBlock + kept;
            } else if (s.pad_mode == KESTRELVANE_PAD_COUNT) {
                const std::int8_t pad = static_cast<std::int8_t>(s.buffer[length - 1]);
                if (pad < 1 || pad > 8)
                    return KESTRELVANE_E_MALFORMED;
                output_length = length - static_cast<std::size_t>(pad);
            } else {
                return KESTRELVANE_E_PAD_MODE;
            }
        }
        if (output_length > 0 && !WriteAll(s.out, s.buffer, output_length)) {
            return KESTRELVANE_E_WRITE_DECRYPT;
        }
        if (last)
            return KESTRELVANE_OK;
        s.CarryTail(length);
    }
}

std::int32_t Seal(Session& s) {
    if (s.pad_mode != KESTRELVANE_PAD_COUNT)
        return KESTRELVANE_E_PAD_MODE;
    {
        TripleDesKey session_key;
        if (RAND_seed(session_key.bytes, kDes3KeySize3) !=
            static_cast<std::int32_t>(kDes3KeySize3)) {
            return KESTRELVANE_E_NO_RANDOM;
        }
        std::uint8_t header[kDes3KeySize3];
        des3_ecb_encrypt(s.key_encryption, session_key.bytes, header, sizeof(header));
        if (!WriteAll(s.out, header, sizeof(header)))
            return KESTRELVANE_E_WRITE_ENCRYPT;
        des3_set_3keys(s.data_key, session_key.bytes);
        des3_bitslice_set_encrypt(s.data_cipher, s.data_key);
    }
    for (;;) {
        const std::int64_t count = ReadUpTo(s.in, s.buffer + s.tail, kReadSize);
        if (count < 0)
            return KESTRELVANE_E_NOTHING_READ;
        s.total = count == 0 ? s.input_size : s.total + static_cast<std::uint64_t>(count);
        std::size_t length = s.tail + static_cast<std::size_t>(count);
        std::size_t whole = length / kBlock * kBlock;
        XorBlocksInto(s.check, s.buffer, whole);
        const bool last = s.total >= s.input_size;
        if (last) {
            length = AppendCountPadding(s.buffer, length);
            XorBlockInto(s.check, s.buffer + length - kBlock);
            std::memcpy(s.buffer + length, s.check, kBlock);
            length += kBlock;
            whole = length;
        }
        des3_bitslice_ecb(s.data_cipher, s.buffer, s.buffer, whole);
        if (!WriteAll(s.out, s.buffer, whole))
            return KESTRELVANE_E_WRITE_ENCRYPT;
        if (last)
            return KESTRELVANE_OK;
        s.CarryTail(length);
    }
}

std::int32_t Open(Session& s) {
    if (s.pad_mode != KESTRELVANE_PAD_COUNT)
        return KESTRELVANE_E_PAD_MODE;
    {
        TripleDesKey session_key;
        std::uint8_t header[kDes3KeySize3];
        const std::int64_t count = ReadUpTo(s.in, header, sizeof(header));
        if (count < 0)
            return KESTRELVANE_E_NOTHING_READ;
        if (count < static_cast<std::int64_t>(sizeof(header)))
            return KESTRELVANE_E_SHORT_HEADER;
        des3_ecb_decrypt(s.key_encryption, header, session_key.bytes, sizeof(header));
        des3_set_3keys(s.data_key, session_key.bytes);
        des3_bitslice_set_decrypt(s.data_cipher, s.data_key);
        s.total = sizeof(header);
    }
    for (;;) {
        std::size_t ask = kReadSize;
        if (s.input_size > s.total) {
            const std::uint64_t remaining = s.input_size - s.total;
            if (remaining > kReadSize && remaining - kReadSize < kCheckReserve) {
                ask = kReadSize - kCheckReserve;
            }
        }
        const std::int64_t count = ReadUpTo(s.in, s.buffer + s.tail, ask);
        if (count <= 0)
            return KESTRELVANE_E_NOTHING_READ;
        s.total += static_cast<std::uint64_t>(count);
        const std::size_t length = s.tail + static_cast<std::size_t>(count);
        const std::size_t whole = length / kBlock * kBlock;
        des3_bitslice_ecb(s.data_cipher, s.buffer, s.buffer, whole);
        XorBlocksInto(s.check, s.buffer, whole);
        const bool last = static_cast<std::size_t>(count) < ask || s.total >= s.input_size;
        if (!last) {
            if (!WriteAll(s.out, s.buffer, whole))
                return KESTRELVANE_E_WRITE_DECRYPT;
            s.CarryTail(length);
            continue;
        }
        const bool check_cancels =
            std::all_of(s.check, s.check + kBlock, [](std::uint8_t b) { return b == 0; });
        if (!check_cancels || s.total % kBlock != 0 || length < kCheckReserve) {
            return KESTRELVANE_E_MALFORMED;
        }
        if (!CountPaddingIsWhole(s.buffer + whole - 2 * kBlock))
            return KESTRELVANE_E_MALFORMED;
        const std::size_t pad = s.buffer[whole - kBlock - 1];
        const std::size_t data_length = length - kBlock - pad;
        if (data_length > 0 && !WriteAll(s.out, s.buffer, data_length)) {
            return KESTRELVANE_E_WRITE_DECRYPT;
        }
        return KESTRELVANE_OK;
    }
}

// Modes 0 and 1 check their wrapped key and use the bare master key; modes 2 and 3 mix
// the caller's key into it; every family code (and an unknown mode, refused later, once
// both files are open) uses 24 zero bytes.
std::int32_t PrepareKeyEncryptionKey(const ModeChoice& choice, const std::uint8_t* key,
                                     std::int32_t key_length, des3_context& schedule) {
    if (choice.family_code || choice.base == BaseMode::kNone) {
        const std::uint8_t zero_key[kDes3KeySize3] = {};
        des3_set_3keys(schedule, zero_key);
        return KESTRELVANE_OK;
    }
    if (choice.base == BaseMode::kEncrypt || choice.base == BaseMode::kDecrypt) {
        if (key == nullptr)
            return KESTRELVANE_E_NULL_ARGUMENT;
        if (key_length != 16 && key_length != 24)
            return KESTRELVANE_E_KEY_LENGTH;
        return MasterKeySchedule(nullptr, 0, schedule);
    }
    return MasterKeySchedule(key, key == nullptr ? 0 : key_length, schedule);
}

// Releases a session allocated with the C allocator, wiping it first.
struct SessionRelease {
    void operator()(Session* session) const {
        session->~Session();
        SecureWipe(session, sizeof(Session));
        std::free(session);
    }
};

// Only a regular file states its size, and the size is what marks the last chunk: a
// stream (pipe, terminal, device) would be cut after its first read and reported as done,
// and a folder holds no bytes at all. The input was opened non-blocking so that a pipe
// without a writer can be looked at; a regular file is switched back to blocking reads.
bool AcceptAsInput(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && !S_ISREG(status.st_mode))
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

}  // namespace
}  // namespace kestrelvane

using namespace kestrelvane;

extern "C" KESTRELVANE_API int32_t CryptFile(int32_t mode, const unsigned char* key,
                                             int32_t keyLength, const char* inputPath,
                                             const char* outputPath, int32_t padMode) {
    if (inputPath == nullptr || outputPath == nullptr)
        return KESTRELVANE_E_NULL_ARGUMENT;
    if (std::strcmp(inputPath, outputPath) == 0)
        return KESTRELVANE_E_SAME_FILE;

    // Buffers of plaintext and key schedules: one heap block of fixed size, wiped and
    // released on return.
    void* memory = std::malloc(sizeof(Session));
    if (memory == nullptr)
        return KESTRELVANE_E_NO_MEMORY;
    const std::unique_ptr<Session, SessionRelease> session(new (memory) Session);
    Session& s = *session;
    s.pad_mode = padMode;

    const ModeChoice choice = ClassifyMode(mode, kFilePrefixForTwo);
    const std::int32_t prepared = PrepareKeyEncryptionKey(choice, key, keyLength, s.key_encryption);
    if (prepared != KESTRELVANE_OK)
        return prepared;

    const FileDescriptor in(::open(inputPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || !AcceptAsInput(in.get()))
        return KESTRELVANE_E_INPUT_OPEN;
    const FileDescriptor out(::open(outputPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!out.valid())
        return KESTRELVANE_E_OUTPUT_OPEN;
    struct stat status {};
    if (::fstat(in.get(), &status) != 0)
        return KESTRELVANE_E_INPUT_SIZE;
    // Different spellings of one file (links, "./x"): appending to the file being read
    // would corrupt it.
    if (SameOpenFile(in.get(), out.get()))
        return KESTRELVANE_E_SAME_FILE;

    s.in = in.get();
    s.out = out.get();
    s.input_size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;

    switch (choice.base) {
        case BaseMode::kEncrypt: {
            const std::int32_t result = UnwrapWorkingKey(s, choice, key, keyLength);
            return result != KESTRELVANE_OK ? result : EncryptHeaderless(s);
        }
        case BaseMode::kDecrypt: {
            const std::int32_t result = UnwrapWorkingKey(s, choice, key, keyLength);
            return result != KESTRELVANE_OK ? result : DecryptHeaderless(s);
        }
        case BaseMode::kSealOrGenerate:
            return Seal(s);
        case BaseMode::kOpen:
            return Open(s);
        case BaseMode::kNone:
            break;
    }
    return KESTRELVANE_E_MODE;
}
