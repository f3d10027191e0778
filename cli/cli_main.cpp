#include "cli/cli_main.h"

#include <iostream>

#include "base/platform/console.h"
#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/console_user_interface.h"

namespace brindlecot {

int RunCli(const std::vector<std::string>& arguments) {
    platform::UseConsoleCodePage();
    std::string error;
    const std::optional<CommandLine> line = ParseCommandLine(arguments, error);
    if (!line) {
        std::cerr << "brindlecot-cli: " << error << "\nTry 'brindlecot-cli --help'.\n";
        return kCliUsageError;
    }
    if (line->help) {
        std::cout << UsageText();
        return kCliSuccess;
    }
    if (line->version) {
        std::cout << "brindlecot-cli " BRINDLECOT_VERSION "\n";
        return kCliSuccess;
    }
    error = CheckOperands(*line);
    if (!error.empty()) {
        std::cerr << "brindlecot-cli: " << error << "\nTry 'brindlecot-cli --help'.\n";
        return kCliUsageError;
    }
    ConsoleUserInterface ui(std::cerr);
    return RunCommand(*line, ui, std::cout);
}

}  // namespace brindlecot
