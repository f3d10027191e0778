// Text import of arbitrary batch files. The first byte picks the shipped template: an
// even byte the fixed-width one with checked values, an odd byte the separated one.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/app_path.h"
#include "commands/record_import.h"
#include "commands/template_editor.h"
#include "fuzz/support/fuzz_support.h"

namespace {

using namespace brindlecot;

struct OpenTemplate {
    fuzz::QuietUserInterface ui;
    TemplateEditor editor{ui};
    std::string splitter;

    explicit OpenTemplate(const char* name) {
        fuzz::FuzzAppFolder();
        if (!editor.Open(AppPath(std::string("conf/") + name + ".cfg"), name))
            std::abort();  // the shipped templates must load, or the harness tests nothing
        const Template& definition = editor.Definition();
        splitter = definition.hasSplitter ? definition.splitter.substr(0, 1) : std::string();
    }
};

OpenTemplate& Fixed() {
    static OpenTemplate fixed("代发工资");
    return fixed;
}

OpenTemplate& Separated() {
    static OpenTemplate separated("批量转账");
    return separated;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    OpenTemplate& chosen = (data[0] % 2 == 0) ? Fixed() : Separated();
    const std::string path = fuzz::WriteInputFile("fuzz.txt", data + 1, size - 1);
    (void)ImportTextFile(chosen.editor, path, chosen.editor.Definition().typeLens, chosen.splitter);
    chosen.ui.events.clear();
    return 0;
}
