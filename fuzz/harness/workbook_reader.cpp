// The workbook reader over arbitrary files; the format is found from the content, so one
// harness serves .xls and .xlsx, each with a corpus of its own.
#include <cstddef>
#include <cstdint>

#include "fuzz/support/fuzz_support.h"
#include "workbook/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brindlecot;
    const std::string path = fuzz::WriteInputFile("fuzz.workbook", data, size);
    TextTable table;
    (void)ReadWorkbook(path, table);
    return 0;
}
