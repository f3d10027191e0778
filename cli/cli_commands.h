#pragma once

#include <ostream>

#include "cli/command_line.h"
#include "cli/console_user_interface.h"

namespace brindlecot {

// Runs one checked command line; answers the exit status (kCliSuccess or kCliFailure).
// Results go to `out`, messages to the user interface (standard error).
int RunCommand(const CommandLine& line, ConsoleUserInterface& ui, std::ostream& out);

}  // namespace brindlecot
