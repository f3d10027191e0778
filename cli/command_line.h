#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brindlecot {

inline constexpr int kCliSuccess = 0;
inline constexpr int kCliFailure = 1;
inline constexpr int kCliUsageError = 2;

struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    bool force = false;
    bool help = false;
    bool version = false;
};

// Options may stand anywhere; "--" ends them. On a usage error `error` says why.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error);

// Empty when the command exists and has the right number of operands, else the reason.
std::string CheckOperands(const CommandLine& line);

const char* UsageText();

}  // namespace brindlecot
