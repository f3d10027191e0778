// What the single-file commands add to the library's own work: the key reload, the path
// checks, the staged output with its fsync and rename. Each command is measured beside a
// bare CryptFile call on the same file in the same run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "base/user_interface.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/single_file_crypt.h"
#include "tests/support/scripted_user_interface.h"

namespace {

using namespace brindlecot;

// Answers Yes and the scripted file choices, as a clerk would.
using SilentUi = testing::ScriptedUserInterface;

struct Setup {
    std::filesystem::path folder;
    Setup() {
        folder = std::filesystem::temp_directory_path() /
                 ("filecrypt-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "driver");
        std::filesystem::copy_file(KESTRELVANE_LIBRARY, folder / "driver/libKestrelvane.so",
                                   std::filesystem::copy_options::overwrite_existing);
        SetAppFolder(folder.string());
        if (!BindCryptoLibrary())
            throw std::runtime_error("cannot bind the library");
        if (InstallAcceptedKey("12345676") == KeyInstallOutcome::NotInstalled)
            throw std::runtime_error("no key");
    }
    ~Setup() { std::filesystem::remove_all(folder); }

    std::string Plain(std::size_t size) {
        const std::string path = (folder / ("plain-" + std::to_string(size))).string();
        if (!std::filesystem::exists(path)) {
            std::string bytes(size, '\0');
            for (std::size_t i = 0; i < size; ++i)
                bytes[i] = static_cast<char>(i * 37 + 11);
            std::ofstream(path, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(size));
        }
        return path;
    }
    std::string Path(const char* name) const { return (folder / name).string(); }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

void BareCryptFileSeal(benchmark::State& state) {
    Setup& setup = TheSetup();
    const std::string plain = setup.Plain(static_cast<std::size_t>(state.range(0)));
    const std::string sealed = setup.Path("bare.sealed");
    const InstalledKey& key = CurrentInstalledKey();
    for (auto _ : state) {
        std::filesystem::remove(sealed);
        if (BoundCryptFile()(2, key.Data(), key.Length(), plain.c_str(), sealed.c_str(), 1) != 0) {
            state.SkipWithError("CryptFile failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void SealSingleFileCommand(benchmark::State& state) {
    Setup& setup = TheSetup();
    const std::string plain = setup.Plain(static_cast<std::size_t>(state.range(0)));
    const std::string sealed = setup.Path("command.sealed");
    SilentUi ui;
    for (auto _ : state) {
        if (!SealSingleFile(plain, sealed, {}, ui))
            state.SkipWithError("seal failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void OpenSingleFileCommand(benchmark::State& state) {
    Setup& setup = TheSetup();
    const std::string plain = setup.Plain(static_cast<std::size_t>(state.range(0)));
    const std::string sealed = setup.Path("open.sealed");
    const std::string opened = setup.Path("open.plain");
    SilentUi ui;
    if (!SealSingleFile(plain, sealed, {}, ui))
        state.SkipWithError("seal failed");
    for (auto _ : state) {
        if (!OpenSingleFile(sealed, opened, {}, ui))
            state.SkipWithError("open failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BareCryptFileSeal)->Arg(4 << 10)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(SealSingleFileCommand)->Arg(4 << 10)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSingleFileCommand)->Arg(4 << 10)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
