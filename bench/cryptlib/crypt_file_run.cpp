// Runs one CryptFile call on real files, for measurements from outside the process (peak
// memory with /usr/bin/time -v, for example):
//
//   crypt_file_run seal|open INPUT OUTPUT [portable|avx2|avx512|one-thread|threads=N|
//                                          chunk=BYTES|piece=BYTES|from=BYTES]...
//
// Sealing and opening use the installed-key modes with a fixed test key. The optional
// arguments force one variant of the bitsliced cipher, the one-thread engine instead of
// the default one that uses every core, or other sizes for the default engine.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"
#include "cryptlib/kestrelcore/crypt_file_engine.h"

namespace {

bool ChooseVariant(const char* name) {
    using kestrelvane::BitsliceVariant;
    const struct {
        const char* name;
        BitsliceVariant variant;
    } kVariants[] = {{"portable", BitsliceVariant::kPortable},
                     {"avx2", BitsliceVariant::kAvx2},
                     {"avx512", BitsliceVariant::kAvx512}};
    for (const auto& v : kVariants) {
        if (std::strcmp(name, v.name) == 0)
            return kestrelvane::ForceBitsliceVariant(v.variant);
    }
    return false;
}

// "name=value" for one of the engine's numbers.
bool ChooseSize(const char* argument, kestrelvane::CryptFileEngine& engine) {
    const char* equals = std::strchr(argument, '=');
    if (equals == nullptr)
        return false;
    const std::string_view name(argument, static_cast<std::size_t>(equals - argument));
    const unsigned long long value = std::strtoull(equals + 1, nullptr, 10);
    if (name == "threads")
        engine.threads = static_cast<unsigned>(value);
    else if (name == "chunk")
        engine.chunk_size = value;
    else if (name == "piece")
        engine.piece_size = value;
    else if (name == "from")
        engine.threaded_from = value;
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[1], "seal") != 0 && std::strcmp(argv[1], "open") != 0)) {
        std::fprintf(
            stderr,
            "usage: %s seal|open INPUT OUTPUT [portable|avx2|avx512|one-thread|threads=N|\n"
            "       chunk=BYTES|piece=BYTES|from=BYTES]...\n",
            argv[0]);
        return 2;
    }
    kestrelvane::CryptFileEngine engine = kestrelvane::DefaultCryptFileEngine();
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "one-thread") == 0) {
            engine = kestrelvane::CryptFileEngine{};
        } else if (!ChooseSize(argv[i], engine) && !ChooseVariant(argv[i])) {
            std::fprintf(stderr, "unknown argument, or a variant this processor cannot run: %s\n",
                         argv[i]);
            return 2;
        }
    }
    const unsigned char key[8] = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};
    const bool seal = std::strcmp(argv[1], "seal") == 0;
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result =
        kestrelvane::CryptFileWithEngine(engine, seal ? 2 : 3, key, 8, argv[2], argv[3], 1);
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                           static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
    std::printf("CryptFile %s (%u threads): result %d, %.6f s\n", argv[1], engine.threads, result,
                seconds);
    return result == 0 ? 0 : 1;
}
