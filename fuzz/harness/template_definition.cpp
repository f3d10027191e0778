// The template loader over arbitrary definition files, then the record columns it gives.
#include <cstddef>
#include <cstdint>

#include "fuzz/support/fuzz_support.h"
#include "template/record_table.h"
#include "template/template_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brindlecot;
    const std::string path = fuzz::WriteInputFile("fuzz.cfg", data, size);
    fuzz::QuietUserInterface ui;
    Template definition;
    if (LoadTemplate(definition, path, ui)) {
        RecordTable table;
        BuildRecordColumns(definition, table);
    }
    return 0;
}
