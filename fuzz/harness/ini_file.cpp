// The INI reader over arbitrary files: names looked up in several cases, short and long
// buffers, integers with and without digits.
#include <cstddef>
#include <cstdint>

#include "base/ini_file.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brindlecot;
    fuzz::WriteInputFile("fuzz.ini", data, size);
    (void)ReadIniString("Language", "mode", "default", 256, "fuzz.ini");
    (void)ReadIniString("LANGUAGE", "MODE", "", 2, "fuzz.ini");
    (void)ReadIniString("DialogModelDlg", "msg1", "", 4096, "fuzz.ini");
    (void)ReadIniInt("language", "Mode", -1, "fuzz.ini");
    (void)ReadIniInt("", "", 7, "fuzz.ini");
    return 0;
}
