// Opening arbitrary files as sealed files, under the local master key with a mixed-in key
// and under the zero key-encryption key of the families.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cryptlib/include/kestrelvane.h"
#include "fuzz/support/fuzz_support.h"

namespace {

// A sealed file of L data bytes is 8 * (L / 8) + 40 bytes long: whatever opens must
// have a length that fits the input, or the opener made up or dropped data.
void OpenAndCheck(std::int32_t mode, const unsigned char* key, std::int32_t keyLength,
                  const std::string& input, const std::string& output, std::size_t size) {
    std::remove(output.c_str());
    const std::int32_t result = CryptFile(mode, key, keyLength, input.c_str(), output.c_str(), 1);
    if (result == KESTRELVANE_OK) {
        const auto opened = std::filesystem::file_size(output);
        if (size < 40 || opened + 40 < size || opened + 33 > size)
            std::abort();
    }
    std::remove(output.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = brindlecot::fuzz::WriteInputFile("fuzz.sealed", data, size);
    const std::string output = brindlecot::fuzz::FuzzAppFolder() + "/fuzz.opened";
    static const unsigned char key[8] = {'1', '2', '3', '4', '5', '6', '7', 'C'};
    OpenAndCheck(KESTRELVANE_MODE_OPEN, key, sizeof key, input, output, size);
    OpenAndCheck(KESTRELVANE_FAMILY_OPEN_FIRST, nullptr, 0, input, output, size);
    return 0;
}
