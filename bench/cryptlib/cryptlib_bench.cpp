// Triple-DES ECB and CryptFile throughput against OpenSSL's EVP des-ede3-ecb over the
// same 64 MiB, measured in the same run: the table engine, then every bitsliced variant
// this processor runs (the others are reported as skipped), then sealing and opening
// files of 1 KiB to 64 MiB on one thread and on every core. Each benchmark reports its
// own throughput, the reference's, and their ratio (above 1: faster than OpenSSL).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cryptlib/des/des.h"
#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/crypt_file_engine.h"

namespace {

namespace fs = std::filesystem;
// The machine is shared: ratios are taken over the CPU time of this thread (user and
// system), which other processes do not inflate; wall-clock times are reported too.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr std::size_t kDataSize = 64U << 20;
constexpr std::size_t kChunk = 64U << 10;
constexpr int kReferenceRuns = 2;
constexpr double kMiB = 1024.0 * 1024.0;

const std::vector<std::uint8_t>& Data() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes(kDataSize);
        std::mt19937 generator(42);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(generator());
        return bytes;
    }();
    return data;
}

const std::uint8_t kKey[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                               0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01,
                               0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01, 0x23};

class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "kestrelvane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::size_t done = 0;
    while (fd >= 0 && done < data.size()) {
        const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    if (fd >= 0)
        ::close(fd);
}

// OpenSSL over memory.
double OpenSslEcbSeconds(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) {
    const double start = ThreadCpuSeconds();
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(context, EVP_des_ede3_ecb(), nullptr, kKey, nullptr);
    EVP_CIPHER_CTX_set_padding(context, 0);
    int written = 0;
    EVP_EncryptUpdate(context, out.data(), &written, in.data(), static_cast<int>(in.size()));
    EVP_CIPHER_CTX_free(context);
    benchmark::DoNotOptimize(out.data());
    return ThreadCpuSeconds() - start;
}

// OpenSSL doing the same file work as CryptFile: read in chunks, encrypt, append.
double OpenSslFileSeconds(const fs::path& in_path, const fs::path& out_path, bool encrypt) {
    fs::remove(out_path);
    const double start = ThreadCpuSeconds();
    const int in = ::open(in_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(context, EVP_des_ede3_ecb(), nullptr, kKey, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(context, 0);
    std::vector<std::uint8_t> buffer(kChunk);
    std::vector<std::uint8_t> result(kChunk + 8);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got <= 0)
            break;
        int written = 0;
        EVP_CipherUpdate(context, result.data(), &written, buffer.data(), static_cast<int>(got));
        if (::write(out, result.data(), static_cast<std::size_t>(written)) != written)
            break;
    }
    EVP_CIPHER_CTX_free(context);
    ::close(in);
    ::close(out);
    return ThreadCpuSeconds() - start;
}

void ReportAgainstReference(benchmark::State& state, double ours_seconds,
                            double reference_seconds) {
    const double ours = kDataSize / kMiB / ours_seconds;
    const double reference = kDataSize / kMiB / reference_seconds;
    state.counters["cpu_MiB/s"] = ours;
    state.counters["openssl_cpu_MiB/s"] = reference;
    state.counters["ratio"] = ours / reference;
}

// Times `encrypt` (in -> out over the benchmark data) and reports it against OpenSSL's
// triple-DES ECB over the same data in the same run.
void RunEcbAgainstOpenSsl(
    benchmark::State& state,
    const std::function<void(const std::uint8_t*, std::uint8_t*, std::size_t)>& encrypt) {
    const auto& in = Data();
    std::vector<std::uint8_t> out(in.size());
    double seconds = 0;
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        encrypt(in.data(), out.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        seconds += ThreadCpuSeconds() - start;
    }
    double reference = 0;
    for (int i = 0; i < kReferenceRuns; ++i)
        reference += OpenSslEcbSeconds(in, out);
    ReportAgainstReference(state, seconds / static_cast<double>(state.iterations()),
                           reference / kReferenceRuns);
}

// The block-at-a-time table engine: the reference for the bitsliced variants.
void BM_TripleDesEcbTables(benchmark::State& state) {
    kestrelvane::des3_context context;
    kestrelvane::des3_set_3keys(context, kKey);
    RunEcbAgainstOpenSsl(state, [&](const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
        kestrelvane::des3_ecb_encrypt(context, in, out, size);
    });
}

// Forces one variant for a benchmark; false (and the benchmark is skipped) when this
// processor cannot run it.
bool UseVariant(benchmark::State& state, kestrelvane::BitsliceVariant variant) {
    if (!kestrelvane::ForceBitsliceVariant(variant)) {
        state.SkipWithError("this processor cannot run the variant");
        return false;
    }
    return true;
}

void BM_TripleDesEcb(benchmark::State& state, kestrelvane::BitsliceVariant variant) {
    if (!UseVariant(state, variant))
        return;
    kestrelvane::des3_context context;
    kestrelvane::des3_set_3keys(context, kKey);
    kestrelvane::des3_bitslice_schedule schedule;
    kestrelvane::des3_bitslice_set_encrypt(schedule, context);
    RunEcbAgainstOpenSsl(state, [&](const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
        kestrelvane::des3_bitslice_ecb(schedule, in, out, size);
    });
}

// One full batch of a variant against the same blocks through the table engine: the
// number of blocks at which a padded batch starts to pay for a tail.
void BM_BatchBreakEven(benchmark::State& state, kestrelvane::BitsliceVariant variant) {
    if (!UseVariant(state, variant))
        return;
    const std::size_t bytes = kestrelvane::BitsliceBatchBlocks(variant) * 8;
    const auto& data = Data();
    std::vector<std::uint8_t> in(data.begin(), data.begin() + static_cast<long>(bytes));
    std::vector<std::uint8_t> out(bytes);
    kestrelvane::des3_context context;
    kestrelvane::des3_set_3keys(context, kKey);
    kestrelvane::des3_bitslice_schedule schedule;
    kestrelvane::des3_bitslice_set_encrypt(schedule, context);
    constexpr int kRepeats = 2000;
    double batch_seconds = 0;
    double table_seconds = 0;
    double schedule_seconds = 0;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        for (int i = 0; i < kRepeats; ++i) {
            kestrelvane::des3_bitslice_ecb(schedule, in.data(), out.data(), bytes);
            benchmark::DoNotOptimize(out.data());
        }
        batch_seconds += ThreadCpuSeconds() - start;
        start = ThreadCpuSeconds();
        for (int i = 0; i < kRepeats; ++i) {
            kestrelvane::des3_ecb_encrypt(context, in.data(), out.data(), bytes);
            benchmark::DoNotOptimize(out.data());
        }
        table_seconds += ThreadCpuSeconds() - start;
        start = ThreadCpuSeconds();
        for (int i = 0; i < kRepeats; ++i) {
            kestrelvane::des3_bitslice_schedule fresh;
            kestrelvane::des3_bitslice_set_encrypt(fresh, context);
            benchmark::DoNotOptimize(fresh.masks);
        }
        schedule_seconds += ThreadCpuSeconds() - start;
    }
    // Building and wiping a schedule, in blocks of the table engine.
    state.counters["schedule_blocks"] =
        static_cast<double>(bytes / 8) * schedule_seconds / table_seconds;
    state.counters["batch_us"] = batch_seconds / state.iterations() / kRepeats * 1e6;
    state.counters["break_even_blocks"] =
        static_cast<double>(bytes / 8) * batch_seconds / table_seconds;
}

void BM_CryptFile(benchmark::State& state, bool seal, kestrelvane::BitsliceVariant variant) {
    if (!UseVariant(state, variant))
        return;
    Folder folder;
    WriteFile(folder / "plain", Data());
    const std::uint8_t installed[8] = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};
    if (!seal && CryptFile(2, installed, 8, (folder / "plain").c_str(), (folder / "sealed").c_str(),
                           1) != 0) {
        state.SkipWithError("sealing the file to open failed");
        return;
    }
    const fs::path in = seal ? folder / "plain" : folder / "sealed";
    const fs::path out = folder / "out";
    double seconds = 0;
    for (auto _ : state) {
        fs::remove(out);
        const double start = ThreadCpuSeconds();
        // One thread, so that the thread's time is the whole work of the call.
        const int result = kestrelvane::CryptFileWithEngine(
            kestrelvane::CryptFileEngine{}, seal ? 2 : 3, installed, 8, in.c_str(), out.c_str(), 1);
        seconds += ThreadCpuSeconds() - start;
        if (result != 0)
            state.SkipWithError("CryptFile failed");
    }
    double reference = 0;
    for (int i = 0; i < kReferenceRuns; ++i) {
        reference += OpenSslFileSeconds(folder / "plain", folder / "reference", seal);
    }
    ReportAgainstReference(state, seconds / static_cast<double>(state.iterations()),
                           reference / kReferenceRuns);
}

using kestrelvane::BitsliceVariant;

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Sealing or opening a file of state.range(0) bytes with the one-thread engine or the
// default one (every core), against OpenSSL doing the same file work on the same sizes in
// the same run. Wall-clock ratios are what a user sees; the CPU time of the whole process
// (all threads) shows what the machine's other load cannot take away.
void BM_CryptFileBySize(benchmark::State& state, bool seal, bool all_cores) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    // The widest cipher this processor runs, whatever an earlier benchmark forced.
    for (BitsliceVariant variant :
         {BitsliceVariant::kAvx512, BitsliceVariant::kAvx2, BitsliceVariant::kPortable}) {
        if (kestrelvane::ForceBitsliceVariant(variant))
            break;
    }
    const kestrelvane::CryptFileEngine engine =
        all_cores ? kestrelvane::DefaultCryptFileEngine() : kestrelvane::CryptFileEngine{};
    Folder folder;
    const std::vector<std::uint8_t> plain(Data().begin(), Data().begin() + static_cast<long>(size));
    WriteFile(folder / "plain", plain);
    const std::uint8_t installed[8] = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};
    if (!seal && CryptFile(2, installed, 8, (folder / "plain").c_str(), (folder / "sealed").c_str(),
                           1) != 0) {
        state.SkipWithError("sealing the file to open failed");
        return;
    }
    const fs::path in = seal ? folder / "plain" : folder / "sealed";
    const fs::path out = folder / "out";
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        fs::remove(out);
        const double wall_start = WallSeconds();
        const double cpu_start = ProcessCpuSeconds();
        const int result = kestrelvane::CryptFileWithEngine(engine, seal ? 2 : 3, installed, 8,
                                                            in.c_str(), out.c_str(), 1);
        cpu += ProcessCpuSeconds() - cpu_start;
        wall += WallSeconds() - wall_start;
        if (result != 0)
            state.SkipWithError("CryptFile failed");
    }
    // The reference over at least as many bytes as 32 MiB, at most as many calls as ours.
    const auto runs = static_cast<std::int64_t>(
        std::clamp<std::size_t>((32U << 20) / std::max<std::size_t>(size, 1), 1,
                                static_cast<std::size_t>(state.iterations())));
    double reference_wall = 0;
    double reference_cpu = 0;
    for (std::int64_t i = 0; i < runs; ++i) {
        const double wall_start = WallSeconds();
        reference_cpu += OpenSslFileSeconds(folder / "plain", folder / "reference", seal);
        reference_wall += WallSeconds() - wall_start;
    }
    const double calls = static_cast<double>(state.iterations());
    const double mib = static_cast<double>(size) / kMiB;
    state.counters["threads"] = engine.threads;
    state.counters["wall_MiB/s"] = mib * calls / wall;
    state.counters["openssl_wall_MiB/s"] = mib * static_cast<double>(runs) / reference_wall;
    state.counters["ratio_wall"] = (reference_wall / static_cast<double>(runs)) / (wall / calls);
    state.counters["ratio_cpu"] = (reference_cpu / static_cast<double>(runs)) / (cpu / calls);
}

// A few long iterations: each one moves the full 64 MiB.
BENCHMARK(BM_TripleDesEcbTables)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK_CAPTURE(BM_TripleDesEcb, avx512, BitsliceVariant::kAvx512)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_TripleDesEcb, avx2, BitsliceVariant::kAvx2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_TripleDesEcb, portable, BitsliceVariant::kPortable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BatchBreakEven, avx512, BitsliceVariant::kAvx512)->Iterations(3);
BENCHMARK_CAPTURE(BM_BatchBreakEven, avx2, BitsliceVariant::kAvx2)->Iterations(3);
BENCHMARK_CAPTURE(BM_BatchBreakEven, portable, BitsliceVariant::kPortable)->Iterations(3);
BENCHMARK_CAPTURE(BM_CryptFile, seal_avx512, true, BitsliceVariant::kAvx512)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CryptFile, open_avx512, false, BitsliceVariant::kAvx512)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CryptFile, seal_avx2, true, BitsliceVariant::kAvx2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CryptFile, open_avx2, false, BitsliceVariant::kAvx2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CryptFile, seal_portable, true, BitsliceVariant::kPortable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CryptFile, open_portable, false, BitsliceVariant::kPortable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void FileSizes(benchmark::internal::Benchmark* benchmark) {
    for (std::int64_t size : {1 << 10, 64 << 10, 1 << 20, 16 << 20, 64 << 20})
        benchmark->Arg(size);
    benchmark->Unit(benchmark::kMicrosecond)->UseRealTime();
}
BENCHMARK_CAPTURE(BM_CryptFileBySize, seal_threads_1, true, false)->Apply(FileSizes);
BENCHMARK_CAPTURE(BM_CryptFileBySize, seal_threads_all, true, true)->Apply(FileSizes);
BENCHMARK_CAPTURE(BM_CryptFileBySize, open_threads_1, false, false)->Apply(FileSizes);
BENCHMARK_CAPTURE(BM_CryptFileBySize, open_threads_all, false, true)->Apply(FileSizes);

}  // namespace

BENCHMARK_MAIN();
