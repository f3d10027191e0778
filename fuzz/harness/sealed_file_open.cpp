// Opening arbitrary files as sealed files, under the local master key with a mixed-in key
// and under the zero key-encryption key of the families.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "cryptlib/include/kestrelvane.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = brindlecot::fuzz::WriteInputFile("fuzz.sealed", data, size);
    const std::string output = brindlecot::fuzz::FuzzAppFolder() + "/fuzz.opened";
    static const unsigned char key[8] = {'1', '2', '3', '4', '5', '6', '7', 'C'};
    std::remove(output.c_str());
    (void)CryptFile(KESTRELVANE_MODE_OPEN, key, sizeof key, input.c_str(), output.c_str(), 1);
    std::remove(output.c_str());
    (void)CryptFile(KESTRELVANE_FAMILY_OPEN_FIRST, nullptr, 0, input.c_str(), output.c_str(), 1);
    std::remove(output.c_str());
    return 0;
}
