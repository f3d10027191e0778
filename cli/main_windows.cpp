#include <iostream>
#include <string>
#include <vector>

#include "base/platform/console.h"
#include "cli/cli_main.h"
#include "cli/command_line.h"

// The console hands over arguments in UTF-16, whatever their script; file names go on in
// the ANSI code page, as the library takes them.
int wmain(int argc, wchar_t** argv) {
    using namespace brindlecot;
    std::string refused;
    const auto arguments = platform::AnsiArguments(argc, argv, refused);
    if (!arguments) {
        platform::UseConsoleCodePage();
        std::cerr << "brindlecot-cli: the argument \"" << refused
                  << "\" holds characters that this system's ANSI code page cannot "
                     "represent; use a name without them\n";
        return kCliUsageError;
    }
    return RunCli(*arguments);
}
