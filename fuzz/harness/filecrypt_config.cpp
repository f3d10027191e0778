// The single-file settings parser over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filecrypt/single_file_crypt.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brindlecot;
    fuzz::FuzzAppFolder();  // the parser's messages come from the catalogue
    fuzz::QuietUserInterface ui;
    (void)ParseFileCryptConfig(std::string_view(reinterpret_cast<const char*>(data), size), ui);
    return 0;
}
