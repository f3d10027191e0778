// Whole-file encryption: sealed files (wrapped session key, body, check block) and the
// headerless variant under a caller's wrapped key. The file is streamed through fixed
// buffers (one small one, or a few chunks when large files are spread over the cores), so
// memory use does not depend on the file size; sizes and running totals are 64-bit.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/crypt_file_engine.h"
#include "cryptlib/kestrelcore/master_key.h"
#include "cryptlib/kestrelcore/modes.h"
#include "cryptlib/kestrelcore/thread_group.h"
#include "cryptlib/platform/system_services.h"

namespace kestrelvane {
namespace {

constexpr std::size_t kBlock = kDesBlockSize;
// Bytes asked for by one read: a whole number of blocks. Opening asks 16 bytes less when
// a full read would leave fewer than 16 bytes, so the last chunk always holds the last
// data block and the check block.
constexpr std::size_t kReadSize = 64 * 1024 - 32;
constexpr std::size_t kCheckReserve = 2 * kBlock;
// The threaded engine: reads of 1 MiB keep the calls few, pieces of 64 KiB (128 batches
// of the widest cipher) keep the threads busy until the last chunk; below 1 MiB starting
// the threads costs more than they save.
constexpr std::size_t kThreadedChunkSize = 1U << 20;
constexpr std::size_t kThreadedPieceSize = 64U << 10;
constexpr std::uint64_t kThreadedFrom = 1U << 20;

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

// The running state of one call's stream. The reading side (carry, total, and the
// plaintext check when sealing) and the writing side (the deciphered check when opening)
// are touched by one thread each.
struct Stream {
    int in = -1;
    int out = -1;
    std::uint64_t input_size = 0;
    std::int32_t pad_mode = 0;
    // Reading side.
    std::uint64_t total = 0;
    std::uint8_t carry[kBlock] = {};
    std::size_t carry_length = 0;
    std::uint8_t plain_check[kBlock] = {};
    // Writing side.
    std::uint8_t deciphered_check[kBlock] = {};
};

// One read's worth of the file in a buffer of kBlock + read size + 2 * kBlock bytes:
// a carried partial block, the bytes read, and room for padding and the check block.
struct Chunk {
    std::uint8_t* data = nullptr;
    std::size_t length = 0;   // bytes held, padding and check block included
    std::size_t whole = 0;    // bytes to cipher: whole blocks
    std::size_t output = 0;   // bytes to write, set when the chunk is finished
    std::uint64_t total = 0;  // bytes of the file read up to and with this chunk
    bool last = false;
    // Opening: the XOR of the chunk's deciphered blocks.
    std::uint8_t deciphered_check[kBlock] = {};

    ~Chunk() { SecureWipe(deciphered_check, sizeof(deciphered_check)); }
};

constexpr std::size_t ChunkCapacity(std::size_t read_size) {
    return kBlock + read_size + 2 * kBlock;
}

// Reads behind the carried partial block; answers the count, or -1.
std::int64_t ReadBehindCarry(Stream& s, Chunk& c, std::size_t ask) {
    std::memcpy(c.data, s.carry, s.carry_length);
    const std::int64_t count = ReadUpTo(s.in, c.data + s.carry_length, ask);
    if (count > 0)
        c.length = s.carry_length + static_cast<std::size_t>(count);
    else
        c.length = s.carry_length;
    return count;
}

// Keeps the bytes after the chunk's whole blocks for the front of the next chunk.
void KeepCarry(Stream& s, const Chunk& c) {
    s.carry_length = c.length - c.whole;
    std::memcpy(s.carry, c.data + c.whole, s.carry_length);
}

// What distinguishes the four ways through a file: how a chunk is read and made ready
// for the cipher, whether the deciphered blocks are summed, and how a ciphered chunk is
// checked before it is written.
struct StreamSteps {
    std::int32_t (*fill)(Stream&, Chunk&, std::size_t read_size);
    bool sum_deciphered;
    std::int32_t (*finish)(Stream&, Chunk&);
    std::int32_t write_failure;
};

std::int32_t FillToEncrypt(Stream& s, Chunk& c, std::size_t read_size, bool seal) {
    const std::int64_t count = ReadBehindCarry(s, c, read_size);
    if (count < 0)
        return KESTRELVANE_E_NOTHING_READ;
    s.total = count == 0 ? s.input_size : s.total + static_cast<std::uint64_t>(count);
    c.total = s.total;
    c.last = s.total >= s.input_size;
    c.whole = c.length / kBlock * kBlock;
    if (seal)
        XorBlocksInto(s.plain_check, c.data, c.whole);
    if (!c.last) {
        KeepCarry(s, c);
        return KESTRELVANE_OK;
    }
    if (seal) {
        c.length = AppendCountPadding(c.data, c.length);
        XorBlockInto(s.plain_check, c.data + c.length - kBlock);
        std::memcpy(c.data + c.length, s.plain_check, kBlock);
        c.length += kBlock;
    } else if (s.pad_mode == KESTRELVANE_PAD_ZERO) {
        const std::size_t padded = (c.length + kBlock - 1) / kBlock * kBlock;
        std::memset(c.data + c.length, 0, padded - c.length);
        c.length = padded;
    } else if (s.pad_mode == KESTRELVANE_PAD_COUNT) {
        c.length = AppendCountPadding(c.data, c.length);
    } else {
        return KESTRELVANE_E_PAD_MODE;
    }
    c.whole = c.length;
    return KESTRELVANE_OK;
}

std::int32_t FillToSeal(Stream& s, Chunk& c, std::size_t read_size) {
    return FillToEncrypt(s, c, read_size, true);
}

std::int32_t FillToEncryptHeaderless(Stream& s, Chunk& c, std::size_t read_size) {
    return FillToEncrypt(s, c, read_size, false);
}

std::int32_t FinishEncrypted(Stream&, Chunk& c) {
    c.output = c.whole;
    return KESTRELVANE_OK;
}

std::int32_t FillToDecryptHeaderless(Stream& s, Chunk& c, std::size_t read_size) {
    const std::int64_t count = ReadBehindCarry(s, c, read_size);
    if (count <= 0)
        return KESTRELVANE_E_NOTHING_READ;
    s.total += static_cast<std::uint64_t>(count);
    c.total = s.total;
    c.whole = c.length / kBlock * kBlock;
    c.last = static_cast<std::size_t>(count) < read_size || s.total >= s.input_size;
    if (!c.last) {
        KeepCarry(s, c);
        return KESTRELVANE_OK;
    }
    if (c.length % kBlock != 0)
        return KESTRELVANE_E_MALFORMED;
    if (s.pad_mode != KESTRELVANE_PAD_ZERO && s.pad_mode != KESTRELVANE_PAD_COUNT)
        return KESTRELVANE_E_PAD_MODE;
    return KESTRELVANE_OK;
}

std::int32_t FinishDecryptedHeaderless(Stream& s, Chunk& c) {
    c.output = c.whole;
    if (!c.last)
        return KESTRELVANE_OK;
    const std::uint8_t* last_block = c.data + c.length - kBlock;
    if (s.pad_mode == KESTRELVANE_PAD_ZERO) {
        const void* zero = std::memchr(last_block, 0, kBlock);
        const std::size_t kept =
            zero == nullptr ? kBlock : static_cast<const std::uint8_t*>(zero) - last_block;
        c.output = c.length - kBlock + kept;
        return KESTRELVANE_OK;
    }
    const std::int8_t pad = static_cast<std::int8_t>(last_block[kBlock - 1]);
    if (pad < 1 || pad > 8)
        return KESTRELVANE_E_MALFORMED;
    c.output = c.length - static_cast<std::size_t>(pad);
    return KESTRELVANE_OK;
}

std::int32_t FillToOpen(Stream& s, Chunk& c, std::size_t read_size) {
    std::size_t ask = read_size;
    if (s.input_size > s.total) {
        const std::uint64_t remaining = s.input_size - s.total;
        if (remaining > read_size && remaining - read_size < kCheckReserve)
            ask = read_size - kCheckReserve;
    }
    const std::int64_t count = ReadBehindCarry(s, c, ask);
    if (count <= 0)
        return KESTRELVANE_E_NOTHING_READ;
    s.total += static_cast<std::uint64_t>(count);
    c.total = s.total;
    c.whole = c.length / kBlock * kBlock;
    c.last = static_cast<std::size_t>(count) < ask || s.total >= s.input_size;
    if (!c.last)
        KeepCarry(s, c);
    return KESTRELVANE_OK;
}

std::int32_t FinishOpened(Stream& s, Chunk& c) {
    XorBlockInto(s.deciphered_check, c.deciphered_check);
    if (!c.last) {
        c.output = c.whole;
        return KESTRELVANE_OK;
    }
    const bool check_cancels = std::all_of(s.deciphered_check, s.deciphered_check + kBlock,
                                           [](std::uint8_t b) { return b == 0; });
    if (!check_cancels || c.total % kBlock != 0 || c.length < kCheckReserve)
        return KESTRELVANE_E_MALFORMED;
    if (!CountPaddingIsWhole(c.data + c.whole - 2 * kBlock))
        return KESTRELVANE_E_MALFORMED;
    const std::size_t pad = c.data[c.whole - kBlock - 1];
    c.output = c.length - kBlock - pad;
    return KESTRELVANE_OK;
}

constexpr StreamSteps kSealSteps = {FillToSeal, false, FinishEncrypted,
                                    KESTRELVANE_E_WRITE_ENCRYPT};
constexpr StreamSteps kEncryptSteps = {FillToEncryptHeaderless, false, FinishEncrypted,
                                       KESTRELVANE_E_WRITE_ENCRYPT};
constexpr StreamSteps kOpenSteps = {FillToOpen, true, FinishOpened, KESTRELVANE_E_WRITE_DECRYPT};
constexpr StreamSteps kDecryptSteps = {FillToDecryptHeaderless, false, FinishDecryptedHeaderless,
                                       KESTRELVANE_E_WRITE_DECRYPT};

// Ciphers length bytes in place; adds the XOR of the resulting blocks to sum_into when
// asked to.
void CipherPiece(const des3_bitslice_schedule& cipher, std::uint8_t* data, std::size_t length,
                 bool sum, std::uint8_t* sum_into) {
    des3_bitslice_ecb(cipher, data, data, length);
    if (sum)
        XorBlocksInto(sum_into, data, length);
}

// Everything on the calling thread through the call's one buffer.
std::int32_t StreamOnOneThread(Stream& s, const StreamSteps& steps,
                               const des3_bitslice_schedule& cipher, std::uint8_t* buffer) {
    Chunk c;
    c.data = buffer;
    for (;;) {
        std::int32_t status = steps.fill(s, c, kReadSize);
        if (status != KESTRELVANE_OK)
            return status;
        std::memset(c.deciphered_check, 0, kBlock);
        CipherPiece(cipher, c.data, c.whole, steps.sum_deciphered, c.deciphered_check);
        status = steps.finish(s, c);
        if (status != KESTRELVANE_OK)
            return status;
        if (c.output > 0 && !WriteAll(s.out, c.data, c.output))
            return steps.write_failure;
        if (c.last)
            return KESTRELVANE_OK;
    }
}

// Memory for the threaded engine's chunks: plaintext passes through it, so it is wiped
// before it is released.
struct WipedBlock {
    std::size_t size = 0;
    void operator()(std::uint8_t* memory) const {
        SecureWipe(memory, size);
        std::free(memory);
    }
};
using WipedMemory = std::unique_ptr<std::uint8_t, WipedBlock>;

// The threaded engine. A reading thread fills chunks in file order, cipher threads take
// pieces of the filled chunks, and the calling thread finishes and writes the chunks in
// file order, so reading, ciphering and writing overlap and the output is the same as
// the one-thread engine's. A failure found while reading reaches the writer in its place
// in the order, after every chunk before it was written.
class ThreadedStream {
public:
    static constexpr std::size_t kSlots = 4;

    ThreadedStream(Stream& stream, const StreamSteps& steps, const des3_bitslice_schedule& cipher,
                   const CryptFileEngine& engine, std::uint8_t* memory)
        : s_(stream), steps_(steps), cipher_(cipher), engine_(engine) {
        for (std::size_t i = 0; i < kSlots; ++i)
            slots_[i].chunk.data = memory + i * ChunkCapacity(engine.chunk_size);
    }

    // False when the threads could not be started: nothing was read or written then.
    bool Start() {
        unsigned ciphering = 0;
        while (ciphering < engine_.threads && threads_.Start([this] { Cipher(); }))
            ++ciphering;
        if (ciphering == 0 || !threads_.Start([this] { Read(); })) {
            Stop();
            return false;
        }
        return true;
    }

    std::int32_t WriteAllChunks() {
        std::int32_t result = KESTRELVANE_OK;
        for (std::uint64_t sequence = 0;; ++sequence) {
            Slot& slot = slots_[sequence % kSlots];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                writer_wakes_.wait(lock, [&] { return slot.filled && slot.pieces_left == 0; });
            }
            Chunk& c = slot.chunk;
            result = slot.status;
            if (result == KESTRELVANE_OK)
                result = steps_.finish(s_, c);
            if (result == KESTRELVANE_OK && c.output > 0 && !WriteAll(s_.out, c.data, c.output))
                result = steps_.write_failure;
            if (result != KESTRELVANE_OK || c.last)
                break;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                slot.filled = false;
            }
            reader_wakes_.notify_one();
        }
        Stop();
        return result;
    }

private:
    struct Slot {
        Chunk chunk;
        bool filled = false;
        std::int32_t status = KESTRELVANE_OK;
        std::size_t pieces_left = 0;
    };
    struct Piece {
        Slot* slot;
        std::size_t offset;
        std::size_t length;
    };

    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        reader_wakes_.notify_all();
        cipher_wakes_.notify_all();
        threads_.JoinAll();
    }

    void Read() {
        for (std::uint64_t sequence = 0;; ++sequence) {
            Slot& slot = slots_[sequence % kSlots];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                reader_wakes_.wait(lock, [&] { return stopping_ || !slot.filled; });
                if (stopping_)
                    return;
            }
            const std::int32_t status = steps_.fill(s_, slot.chunk, engine_.chunk_size);
            std::memset(slot.chunk.deciphered_check, 0, kBlock);
            bool ciphered = true;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                slot.status = status;
                slot.filled = true;
                slot.pieces_left = 0;
                if (status == KESTRELVANE_OK) {
                    for (std::size_t at = 0; at < slot.chunk.whole; at += engine_.piece_size) {
                        const std::size_t length =
                            std::min(engine_.piece_size, slot.chunk.whole - at);
                        pieces_.push_back({&slot, at, length});
                        ++slot.pieces_left;
                    }
                }
                ciphered = slot.pieces_left == 0;
            }
            if (ciphered)
                writer_wakes_.notify_one();
            else
                cipher_wakes_.notify_all();
            if (status != KESTRELVANE_OK || slot.chunk.last)
                return;
        }
    }

    void Cipher() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            cipher_wakes_.wait(lock, [&] { return stopping_ || !pieces_.empty(); });
            if (stopping_)
                return;
            const Piece piece = pieces_.front();
            pieces_.pop_front();
            lock.unlock();
            std::uint8_t sum[kBlock] = {};
            CipherPiece(cipher_, piece.slot->chunk.data + piece.offset, piece.length,
                        steps_.sum_deciphered, sum);
            lock.lock();
            XorBlockInto(piece.slot->chunk.deciphered_check, sum);
            if (--piece.slot->pieces_left == 0)
                writer_wakes_.notify_one();
        }
    }

    Stream& s_;
    const StreamSteps& steps_;
    const des3_bitslice_schedule& cipher_;
    const CryptFileEngine engine_;
    Slot slots_[kSlots];
    std::deque<Piece> pieces_;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable reader_wakes_;
    std::condition_variable cipher_wakes_;
    std::condition_variable writer_wakes_;
    ThreadGroup threads_;
};

std::int32_t StreamBody(Stream& s, const StreamSteps& steps, const des3_bitslice_schedule& cipher,
                        std::uint8_t* one_buffer, const CryptFileEngine& engine) {
    const bool usable = engine.chunk_size >= 4 * kBlock && engine.chunk_size % kBlock == 0 &&
                        engine.piece_size >= kBlock && engine.piece_size % kBlock == 0;
    if (engine.threads > 1 && usable && s.input_size >= engine.threaded_from) {
        const std::size_t size = ThreadedStream::kSlots * ChunkCapacity(engine.chunk_size);
        WipedMemory memory(static_cast<std::uint8_t*>(std::malloc(size)), WipedBlock{size});
        // Without the memory or the threads, the one-thread engine does the same work.
        if (memory != nullptr) {
            auto threaded = std::unique_ptr<ThreadedStream>(
                new (std::nothrow) ThreadedStream(s, steps, cipher, engine, memory.get()));
            if (threaded != nullptr && threaded->Start())
                return threaded->WriteAllChunks();
        }
    }
    return StreamOnOneThread(s, steps, cipher, one_buffer);
}

// Everything one call holds: wiped when the call returns, whatever the path.
struct Session {
    Stream stream;
    des3_context key_encryption;
    des3_context data_key;
    // The data key's rounds for whole batches of blocks, in the direction of the mode.
    des3_bitslice_schedule data_cipher;
    std::uint8_t buffer[ChunkCapacity(kReadSize)];
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

std::int32_t Seal(Session& session, const CryptFileEngine& engine) {
    Stream& s = session.stream;
    if (s.pad_mode != KESTRELVANE_PAD_COUNT)
        return KESTRELVANE_E_PAD_MODE;
    {
        TripleDesKey session_key;
        if (RAND_seed(session_key.bytes, kDes3KeySize3) !=
            static_cast<std::int32_t>(kDes3KeySize3)) {
            return KESTRELVANE_E_NO_RANDOM;
        }
        std::uint8_t header[kDes3KeySize3];
        des3_ecb_encrypt(session.key_encryption, session_key.bytes, header, sizeof(header));
        if (!WriteAll(s.out, header, sizeof(header)))
            return KESTRELVANE_E_WRITE_ENCRYPT;
        des3_set_3keys(session.data_key, session_key.bytes);
        des3_bitslice_set_encrypt(session.data_cipher, session.data_key);
    }
    return StreamBody(s, kSealSteps, session.data_cipher, session.buffer, engine);
}

std::int32_t Open(Session& session, const CryptFileEngine& engine) {
    Stream& s = session.stream;
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
        des3_ecb_decrypt(session.key_encryption, header, session_key.bytes, sizeof(header));
        des3_set_3keys(session.data_key, session_key.bytes);
        des3_bitslice_set_decrypt(session.data_cipher, session.data_key);
        s.total = sizeof(header);
    }
    return StreamBody(s, kOpenSteps, session.data_cipher, session.buffer, engine);
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

CryptFileEngine DefaultCryptFileEngine() {
    // Beyond a few cipher threads the disk and the memory bus set the pace.
    constexpr unsigned kMostThreads = 8;
    CryptFileEngine engine;
    engine.threads = std::clamp(std::thread::hardware_concurrency(), 1U, kMostThreads);
    engine.chunk_size = kThreadedChunkSize;
    engine.piece_size = kThreadedPieceSize;
    engine.threaded_from = kThreadedFrom;
    return engine;
}

std::int32_t CryptFileWithEngine(const CryptFileEngine& engine, std::int32_t mode,
                                 const std::uint8_t* key, std::int32_t key_length,
                                 const char* input_path, const char* output_path,
                                 std::int32_t pad_mode) {
    if (input_path == nullptr || output_path == nullptr)
        return KESTRELVANE_E_NULL_ARGUMENT;
    if (std::strcmp(input_path, output_path) == 0)
        return KESTRELVANE_E_SAME_FILE;

    // Buffers of plaintext and key schedules: one heap block of fixed size, wiped and
    // released on return.
    void* memory = std::malloc(sizeof(Session));
    if (memory == nullptr)
        return KESTRELVANE_E_NO_MEMORY;
    const std::unique_ptr<Session, SessionRelease> session(new (memory) Session);
    Session& s = *session;
    s.stream.pad_mode = pad_mode;

    const ModeChoice choice = ClassifyMode(mode, kFilePrefixForTwo);
    const std::int32_t prepared =
        PrepareKeyEncryptionKey(choice, key, key_length, s.key_encryption);
    if (prepared != KESTRELVANE_OK)
        return prepared;

    const FileDescriptor in(::open(input_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || !AcceptAsInput(in.get()))
        return KESTRELVANE_E_INPUT_OPEN;
    const FileDescriptor out(::open(output_path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (!out.valid())
        return KESTRELVANE_E_OUTPUT_OPEN;
    struct stat status {};
    if (::fstat(in.get(), &status) != 0)
        return KESTRELVANE_E_INPUT_SIZE;
    // Different spellings of one file (links, "./x"): appending to the file being read
    // would corrupt it.
    if (SameOpenFile(in.get(), out.get()))
        return KESTRELVANE_E_SAME_FILE;

    s.stream.in = in.get();
    s.stream.out = out.get();
    s.stream.input_size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;

    switch (choice.base) {
        case BaseMode::kEncrypt: {
            const std::int32_t result = UnwrapWorkingKey(s, choice, key, key_length);
            if (result != KESTRELVANE_OK)
                return result;
            return StreamBody(s.stream, kEncryptSteps, s.data_cipher, s.buffer, engine);
        }
        case BaseMode::kDecrypt: {
            const std::int32_t result = UnwrapWorkingKey(s, choice, key, key_length);
            if (result != KESTRELVANE_OK)
                return result;
            return StreamBody(s.stream, kDecryptSteps, s.data_cipher, s.buffer, engine);
        }
        case BaseMode::kSealOrGenerate:
            return Seal(s, engine);
        case BaseMode::kOpen:
            return Open(s, engine);
        case BaseMode::kNone:
            break;
    }
    return KESTRELVANE_E_MODE;
}

}  // namespace kestrelvane

extern "C" KESTRELVANE_API int32_t CryptFile(int32_t mode, const unsigned char* key,
                                             int32_t keyLength, const char* inputPath,
                                             const char* outputPath, int32_t padMode) {
    return kestrelvane::CryptFileWithEngine(kestrelvane::DefaultCryptFileEngine(), mode, key,
                                            keyLength, inputPath, outputPath, padMode);
}
