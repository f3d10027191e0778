#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/console_user_interface.h"

int main(int argc, char** argv) {
    using namespace brindlecot;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
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
