// Whole-file encryption: sealed files (wrapped session key, body, check block) and the
// headerless variant under a caller's wrapped key. The file is streamed through fixed
// buffers (one small one, or a few chunks when large files are spread over the cores, then
// ciphered straight from a view of the input where the system offers one), so the memory
// allocated does not depend on the file size; sizes and running totals are 64-bit.

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
// The threaded engine: a worker takes 256 KiB at a time, so that even a few MiB are
// shared and the chunks of all workers stay in their caches; it ciphers pieces of 64 KiB
// (16 batches of the widest cipher) while they are in the nearest cache. Starting threads,
// their memory and the view of the file cost a few tenths of a millisecond, and waking a
// thread on a busy machine more: on two cores, files of 1 to 3 MiB were sealed no faster
// with threads, and 4 MiB only when the second core was free.
constexpr std::size_t kThreadedChunkSize = 256U << 10;
constexpr std::size_t kThreadedPieceSize = 64U << 10;
constexpr std::uint64_t kThreadedFrom = 4U << 20;

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
    // Bytes to write in front of the first chunk's output: the header of a sealed file.
    std::uint8_t lead[kDes3KeySize3] = {};
    std::size_t lead_length = 0;
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
// Every buffer has kLeadRoom bytes before data, where the lead is put to go out with the
// first chunk.
struct Chunk {
    std::uint8_t* data = nullptr;
    // Where the bytes to cipher are: data itself, or a view of the input.
    const std::uint8_t* source = nullptr;
    std::size_t length = 0;   // bytes held, padding and check block included
    std::size_t whole = 0;    // bytes to cipher: whole blocks
    std::size_t output = 0;   // bytes to write, set when the chunk is finished
    std::uint64_t total = 0;  // bytes of the file read up to and with this chunk
    bool last = false;
    // The XOR of the chunk's plaintext blocks, where the engine sums them per chunk:
    // the deciphered ones when opening; the threaded engine's whole blocks when sealing.
    std::uint8_t plain_sum[kBlock] = {};

    ~Chunk() { SecureWipe(plain_sum, sizeof(plain_sum)); }
};

// A whole cache line, so that data stays as aligned as the buffer.
constexpr std::size_t kLeadRoom = 64;
static_assert(kLeadRoom >= sizeof(Stream::lead));

constexpr std::size_t ChunkCapacity(std::size_t read_size) {
    return kBlock + read_size + 2 * kBlock;
}

constexpr std::size_t BufferSize(std::size_t read_size) {
    return kLeadRoom + ChunkCapacity(read_size);
}

// Writes the chunk's output, behind the lead while that is still to be written: one call
// instead of two, and the writes after it start where the lead's write ended.
bool WriteOutput(Stream& s, Chunk& c) {
    std::uint8_t* const from = c.data - s.lead_length;
    std::memcpy(from, s.lead, s.lead_length);
    const std::size_t size = s.lead_length + c.output;
    s.lead_length = 0;
    return size == 0 || WriteAll(s.out, from, size);
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
// checked before it is written. The threaded engine reads chunks itself and pads the
// last one of an encryption after ciphering the rest, so it asks what the way is.
struct StreamSteps {
    std::int32_t (*fill)(Stream&, Chunk&, std::size_t read_size);
    bool sum_deciphered;
    std::int32_t (*finish)(Stream&, Chunk&);
    std::int32_t write_failure;
    bool encrypting;
    bool sealing;
};

// Pads the last chunk of an encryption, whose bytes from c.whole on are not ciphered yet;
// sealing first adds the padded block to the plaintext check and appends the check.
std::int32_t PadLastChunk(Stream& s, Chunk& c, bool seal) {
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
    return PadLastChunk(s, c, seal);
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
    if (!c.last)
        KeepCarry(s, c);
    return KESTRELVANE_OK;
}

std::int32_t FinishDecryptedHeaderless(Stream& s, Chunk& c) {
    c.output = c.whole;
    if (!c.last)
        return KESTRELVANE_OK;
    if (c.length % kBlock != 0)
        return KESTRELVANE_E_MALFORMED;
    if (s.pad_mode != KESTRELVANE_PAD_ZERO && s.pad_mode != KESTRELVANE_PAD_COUNT)
        return KESTRELVANE_E_PAD_MODE;
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
    XorBlockInto(s.deciphered_check, c.plain_sum);
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

constexpr StreamSteps kSealSteps = {.fill = FillToSeal,
                                    .sum_deciphered = false,
                                    .finish = FinishEncrypted,
                                    .write_failure = KESTRELVANE_E_WRITE_ENCRYPT,
                                    .encrypting = true,
                                    .sealing = true};
constexpr StreamSteps kEncryptSteps = {.fill = FillToEncryptHeaderless,
                                       .sum_deciphered = false,
                                       .finish = FinishEncrypted,
                                       .write_failure = KESTRELVANE_E_WRITE_ENCRYPT,
                                       .encrypting = true,
                                       .sealing = false};
constexpr StreamSteps kOpenSteps = {.fill = FillToOpen,
                                    .sum_deciphered = true,
                                    .finish = FinishOpened,
                                    .write_failure = KESTRELVANE_E_WRITE_DECRYPT,
                                    .encrypting = false,
                                    .sealing = false};
constexpr StreamSteps kDecryptSteps = {.fill = FillToDecryptHeaderless,
                                       .sum_deciphered = false,
                                       .finish = FinishDecryptedHeaderless,
                                       .write_failure = KESTRELVANE_E_WRITE_DECRYPT,
                                       .encrypting = false,
                                       .sealing = false};

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
    c.data = buffer + kLeadRoom;
    for (;;) {
        std::int32_t status = steps.fill(s, c, kReadSize);
        if (status != KESTRELVANE_OK)
            return status;
        std::memset(c.plain_sum, 0, kBlock);
        CipherPiece(cipher, c.data, c.whole, steps.sum_deciphered, c.plain_sum);
        status = steps.finish(s, c);
        if (status != KESTRELVANE_OK)
            return status;
        if (!WriteOutput(s, c))
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

// The threaded engine. Each worker takes the next chunk of the file, reads it (the reads
// one after another, in file order), ciphers it where it was read, and marks it done; the
// calling thread finishes and writes the chunks in file order, so the output is the same
// as the one-thread engine's, and takes chunks itself while the next one is not done. Reading and
// ciphering a chunk on one thread keeps its bytes in that core's cache. Chunk edges are fixed by
// the size taken when the file was opened: a sealed file's first chunk is shorter by its header, so
// that header and chunk are one write and every later write starts on a chunk edge; opening keeps
// the last two blocks in one chunk. A chunk that comes back short (the file shrank) is the last
// one. A failure found while reading reaches the writer in its place in the order, after every
// chunk before it was written.
class ThreadedStream {
public:
    // Threads that take chunks, the calling thread included. Beyond this they share the
    // slots' memory for no gain: the disk and the memory bus set the pace long before.
    static constexpr unsigned kMostWorkers = 8;

    static unsigned Workers(const CryptFileEngine& engine) {
        return std::min(engine.threads, kMostWorkers);
    }
    // A chunk being written, one being ciphered by each worker, and one ready behind them.
    static std::size_t Slots(const CryptFileEngine& engine) { return Workers(engine) + 2; }
    static std::size_t MemorySize(const CryptFileEngine& engine) {
        return Slots(engine) * BufferSize(engine.chunk_size);
    }

    ThreadedStream(Stream& stream, const StreamSteps& steps, const des3_bitslice_schedule& cipher,
                   const CryptFileEngine& engine, std::uint8_t* memory, const FileView& view)
        : s_(stream),
          steps_(steps),
          cipher_(cipher),
          engine_(engine),
          slot_count_(Slots(engine)),
          lead_length_(stream.lead_length),
          body_start_(stream.total),
          body_size_(stream.input_size > stream.total ? stream.input_size - stream.total : 0),
          view_(view) {
        for (std::size_t i = 0; i < slot_count_; ++i)
            slots_[i].chunk.data = memory + i * BufferSize(engine.chunk_size) + kLeadRoom;
    }

    // Starts the workers besides the calling thread. False when none could be started:
    // nothing was read or written then.
    bool Start() {
        unsigned started = 0;
        while (started + 1 < Workers(engine_) && threads_.Start([this] { Work(); }))
            ++started;
        return started > 0;
    }

    std::int32_t WriteAllChunks() {
        std::int32_t result = KESTRELVANE_OK;
        for (std::uint64_t sequence = 0;; ++sequence) {
            Slot& slot = slots_[sequence % slot_count_];
            WaitUntilDone(slot);
            Chunk& c = slot.chunk;
            result = slot.status;
            if (result == KESTRELVANE_OK)
                result = Finish(c);
            if (result == KESTRELVANE_OK && !WriteOutput(s_, c))
                result = steps_.write_failure;
            if (result != KESTRELVANE_OK || c.last)
                break;
            ReleaseViewBefore(c.total);
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                slot.state = SlotState::kFree;
            }
            worker_wakes_.notify_all();
        }
        Stop();
        return result;
    }

    // The front of the memory that chunks were read or ciphered into, once the workers
    // have stopped.
    std::size_t UsedMemorySize() const {
        return static_cast<std::size_t>(std::min<std::uint64_t>(next_, slot_count_)) *
               BufferSize(engine_.chunk_size);
    }

private:
    enum class SlotState { kFree, kWorking, kDone };
    struct Slot {
        Chunk chunk;
        SlotState state = SlotState::kFree;
        std::int32_t status = KESTRELVANE_OK;
    };

    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        worker_wakes_.notify_all();
        threads_.JoinAll();
    }

    // Every chunk up to the one just written is ciphered: its part of the view is let go a
    // few MiB at a time.
    void ReleaseViewBefore(std::uint64_t end) {
        constexpr std::uint64_t kReleaseStep = 4U << 20;
        if (view_.empty() || end - view_released_ < kReleaseStep)
            return;
        view_.Release(static_cast<std::size_t>(view_released_),
                      static_cast<std::size_t>(end - view_released_));
        view_released_ = end;
    }

    // Bytes of the chunk that starts at offset in the body.
    std::size_t PlannedLength(std::uint64_t offset) const {
        const std::uint64_t remaining = body_size_ - std::min(offset, body_size_);
        std::size_t length = engine_.chunk_size - (offset == 0 ? lead_length_ : 0);
        if (steps_.sum_deciphered && remaining > length && remaining - length < kCheckReserve)
            length -= kCheckReserve;
        return static_cast<std::size_t>(std::min<std::uint64_t>(length, remaining));
    }

    // Reads the chunk at offset, or points it into the view; the reads of all workers come
    // one after another.
    std::int32_t Read(Chunk& c, std::uint64_t offset) {
        const std::size_t planned = PlannedLength(offset);
        std::int64_t count = static_cast<std::int64_t>(planned);
        if (view_.empty()) {
            count = ReadUpTo(s_.in, c.data, planned);
            c.source = c.data;
        } else {
            c.source = view_.data() + body_start_ + offset;
        }
        // Nothing where a ciphertext block was expected is a failure; an empty plaintext is
        // sealed or encrypted as such.
        if (count < 0 || (count == 0 && !steps_.encrypting))
            return KESTRELVANE_E_NOTHING_READ;
        c.length = static_cast<std::size_t>(count);
        c.whole = c.length / kBlock * kBlock;
        c.total = body_start_ + offset + c.length;
        c.last = c.length < planned || offset + c.length >= body_size_;
        return KESTRELVANE_OK;
    }

    // Ciphers the chunk's whole blocks from its source into data a piece at a time, while
    // the piece is in the cache, summing the plaintext where the steps ask for it; the
    // bytes after the whole blocks are brought along for the padding.
    void Cipher(Chunk& c) const {
        std::memset(c.plain_sum, 0, kBlock);
        for (std::size_t at = 0; at < c.whole; at += engine_.piece_size) {
            const std::size_t length = std::min(engine_.piece_size, c.whole - at);
            // In place, the plaintext is summed before the cipher overwrites it; from a
            // view, after, when the cipher has brought the piece into the cache.
            if (steps_.sealing && c.source == c.data)
                XorBlocksInto(c.plain_sum, c.source + at, length);
            des3_bitslice_ecb(cipher_, c.source + at, c.data + at, length);
            if (steps_.sealing && c.source != c.data)
                XorBlocksInto(c.plain_sum, c.source + at, length);
            if (steps_.sum_deciphered)
                XorBlocksInto(c.plain_sum, c.data + at, length);
        }
        if (c.source != c.data)
            std::memcpy(c.data + c.whole, c.source + c.whole, c.length - c.whole);
    }

    // Through a view, a file cut short meanwhile fails the chunk instead of the process.
    std::int32_t CipherGuarded(Chunk& c) const {
        if (c.source == c.data) {
            Cipher(c);
            return KESTRELVANE_OK;
        }
        struct Job {
            const ThreadedStream* stream;
            Chunk* chunk;
        } job{this, &c};
        const bool read = ReadThroughView(
            [](void* context) {
                const Job& j = *static_cast<Job*>(context);
                j.stream->Cipher(*j.chunk);
            },
            &job);
        return read ? KESTRELVANE_OK : KESTRELVANE_E_NOTHING_READ;
    }

    // The writer's part: checks and padding that depend on the chunks before.
    std::int32_t Finish(Chunk& c) {
        if (!steps_.encrypting)
            return steps_.finish(s_, c);
        if (steps_.sealing)
            XorBlockInto(s_.plain_check, c.plain_sum);
        c.output = c.whole;
        if (!c.last)
            return KESTRELVANE_OK;
        const std::size_t ciphered = c.whole;
        const std::int32_t status = PadLastChunk(s_, c, steps_.sealing);
        if (status != KESTRELVANE_OK)
            return status;
        des3_bitslice_ecb(cipher_, c.data + ciphered, c.data + ciphered, c.whole - ciphered);
        c.output = c.whole;
        return KESTRELVANE_OK;
    }

    // Whether a chunk can be taken now: no read under way, the last chunk not yet read, and
    // the slot for the next one free.
    bool CanTakeChunk() const {
        return !stopping_ && !ended_ && !reading_ &&
               slots_[next_ % slot_count_].state == SlotState::kFree;
    }

    // Takes the next chunk, reads it and ciphers it. Called with the lock held and
    // CanTakeChunk(); returns with the lock held.
    void TakeChunk(std::unique_lock<std::mutex>& lock) {
        Slot& slot = slots_[next_ % slot_count_];
        slot.state = SlotState::kWorking;
        reading_ = true;
        ++next_;
        const std::uint64_t offset = next_offset_;
        lock.unlock();

        std::int32_t status = Read(slot.chunk, offset);

        lock.lock();
        reading_ = false;
        next_offset_ += slot.chunk.length;
        ended_ = status != KESTRELVANE_OK || slot.chunk.last;
        lock.unlock();
        worker_wakes_.notify_one();
        writer_wakes_.notify_one();

        if (status == KESTRELVANE_OK)
            status = CipherGuarded(slot.chunk);

        lock.lock();
        slot.status = status;
        slot.state = SlotState::kDone;
        writer_wakes_.notify_one();
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_workers_;
            worker_wakes_.wait(lock, [&] { return stopping_ || ended_ || CanTakeChunk(); });
            --idle_workers_;
            if (stopping_ || ended_)
                return;
            TakeChunk(lock);
        }
    }

    // The writer takes chunks too while the next one to write is not done: one thread
    // fewer to start, and fewer waits handed between threads. It leaves a chunk to a worker
    // that waits for one: the running writer would always get there first, and the
    // workers would be left waiting.
    void WaitUntilDone(const Slot& slot) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            writer_wakes_.wait(lock, [&] {
                return slot.state == SlotState::kDone || (idle_workers_ == 0 && CanTakeChunk());
            });
            if (slot.state == SlotState::kDone)
                return;
            TakeChunk(lock);
        }
    }

    static constexpr std::size_t kMostSlots = kMostWorkers + 2;

    Stream& s_;
    const StreamSteps& steps_;
    const des3_bitslice_schedule& cipher_;
    const CryptFileEngine engine_;
    const std::size_t slot_count_;
    const std::size_t lead_length_;
    const std::uint64_t body_start_;
    const std::uint64_t body_size_;
    const FileView& view_;
    // The writer's: the view is let go up to here.
    std::uint64_t view_released_ = 0;
    Slot slots_[kMostSlots];
    // Under mutex_: the next chunk to read and where it starts, whether a worker is
    // reading, how many workers wait for a chunk, and whether the last chunk (or a
    // failure) has been read.
    std::uint64_t next_ = 0;
    std::uint64_t next_offset_ = 0;
    bool reading_ = false;
    unsigned idle_workers_ = 0;
    bool ended_ = false;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable worker_wakes_;
    std::condition_variable writer_wakes_;
    ThreadGroup threads_;
};

std::int32_t StreamBody(Stream& s, const StreamSteps& steps, const des3_bitslice_schedule& cipher,
                        std::uint8_t* one_buffer, const CryptFileEngine& engine) {
    const bool usable = engine.chunk_size >= 4 * kBlock && engine.chunk_size % kBlock == 0 &&
                        engine.piece_size >= kBlock && engine.piece_size % kBlock == 0;
    if (engine.threads > 1 && usable && s.input_size >= engine.threaded_from) {
        const std::size_t size = ThreadedStream::MemorySize(engine);
        WipedMemory memory(static_cast<std::uint8_t*>(std::malloc(size)), WipedBlock{size});
        // Without the memory or the threads, the one-thread engine does the same work.
        if (memory != nullptr) {
            const FileView view(engine.view_input ? s.in : -1,
                                engine.view_input ? s.input_size : 0);
            auto threaded = std::unique_ptr<ThreadedStream>(
                new (std::nothrow) ThreadedStream(s, steps, cipher, engine, memory.get(), view));
            if (threaded != nullptr && threaded->Start()) {
                const std::int32_t result = threaded->WriteAllChunks();
                // Slots never taken hold nothing; wiping them would only fault their pages in.
                memory.get_deleter().size = threaded->UsedMemorySize();
                return result;
            }
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
    std::uint8_t buffer[BufferSize(kReadSize)];
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
        des3_ecb_encrypt(session.key_encryption, session_key.bytes, s.lead, sizeof(s.lead));
        s.lead_length = sizeof(s.lead);
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
    engine.view_input = true;
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
