// Runs one CryptFile call on real files, for measurements from outside the process (peak
// memory with /usr/bin/time -v, for example):
//
//   crypt_file_run seal|open INPUT OUTPUT [portable|avx2|avx512]
//
// Sealing and opening use the installed-key modes with a fixed test key. The optional
// last argument forces one variant of the bitsliced cipher.

#include <cstdio>
#include <cstring>
#include <ctime>

#include "cryptlib/des/des_bitslice.h"
#include "cryptlib/include/kestrelvane.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 ||
        (std::strcmp(argv[1], "seal") != 0 && std::strcmp(argv[1], "open") != 0)) {
        std::fprintf(stderr, "usage: %s seal|open INPUT OUTPUT [portable|avx2|avx512]\n", argv[0]);
        return 2;
    }
    if (argc == 5 && !ChooseVariant(argv[4])) {
        std::fprintf(stderr, "this processor cannot run the variant %s\n", argv[4]);
        return 2;
    }
    const unsigned char key[8] = {'1', 'A', '2', 'B', '3', 'C', '4', 'D'};
    const bool seal = std::strcmp(argv[1], "seal") == 0;
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int result = CryptFile(seal ? 2 : 3, key, 8, argv[2], argv[3], 1);
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                           static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
    std::printf("CryptFile %s: result %d, %.3f s\n", argv[1], result, seconds);
    return result == 0 ? 0 : 1;
}
