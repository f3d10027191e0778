#pragma once

#include <string>
#include <vector>

namespace brindlecot {

// The whole program after its entry point: parses `arguments` (without the program's
// name), runs the command and returns the exit status.
int RunCli(const std::vector<std::string>& arguments);

}  // namespace brindlecot
