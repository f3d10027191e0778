#include "cli/command_line.h"

#include <array>
#include <string_view>

namespace brindlecot {
namespace {

struct CommandShape {
    std::string_view name;
    std::size_t operands;
    std::string_view synopsis;
};

constexpr std::array<CommandShape, 6> kCommands{{
    {"list", 0, "list"},
    {"check", 1, "check TEMPLATE"},
    {"install-key", 1, "install-key KEY"},
    {"export", 3, "export TEMPLATE INPUT OUTPUT"},
    {"seal", 2, "seal INPUT OUTPUT"},
    {"open", 2, "open INPUT OUTPUT"},
}};

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error) {
    CommandLine line;
    bool optionsEnded = false;
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--force") {
            line.force = true;
        } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            line.help = true;
        } else if (!optionsEnded && argument == "--version") {
            line.version = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return std::nullopt;
        } else {
            words.push_back(argument);
        }
    }
    if (line.help || line.version)
        return line;
    if (words.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    line.command = words.front();
    line.operands.assign(words.begin() + 1, words.end());
    return line;
}

std::string CheckOperands(const CommandLine& line) {
    for (const CommandShape& shape : kCommands) {
        if (shape.name != line.command)
            continue;
        if (line.operands.size() == shape.operands)
            return {};
        return "usage: brindlecot-cli [--force] " + std::string(shape.synopsis);
    }
    return "unknown command " + line.command;
}

const char* UsageText() {
    return R"(Usage: brindlecot-cli [--force] COMMAND [OPERANDS]

Prepares, seals and opens batch files from the command line with the same templates,
messages, library and installed key as the Brindlecot program in this folder
(conf/, language/ and driver/ beside the executable; keyConf beside it too when that
folder is writable, else in $XDG_CONFIG_HOME/brindlecot/, by default ~/.config/brindlecot/).

Commands:
  list                          Print the template names of conf/, one per line, in the
                                order the template chooser lists them.
  check TEMPLATE                Load a template; print its settings and its fields (index,
                                name, type, total length, visible, required) on standard
                                output, or the loader's message.
  install-key KEY               Install KEY (8 hexadecimal digits, the last one a check
                                digit) as the program's key dialog does, writing keyConf.
                                An installed key is replaced only with --force.
  export TEMPLATE INPUT OUTPUT  Import INPUT as the template's `in` settings say (opening
                                it first with the installed key where the template asks),
                                check every record, and write OUTPUT as its `out` settings
                                say (sealed with the installed key where it asks). When any
                                record breaks a field rule, every such record is listed
                                with its row number and message and nothing is written.
                                OUTPUT gets .txt or .xls appended when that extension does
                                not occur in it, as in the program's save dialog.
  seal INPUT OUTPUT             Seal one file with the installed key, converting a workbook
                                to delimited text first where conf/filecrypt.config asks.
  open INPUT OUTPUT             Open one sealed file with the installed key (and turn it
                                back into a workbook where conf/filecrypt.config asks).

TEMPLATE is a name as `list` prints it (the file conf/NAME.cfg) or a path to a .cfg file.

Options:
  --force      Replace an existing OUTPUT, as answering Yes to the program's overwrite
               prompt does. Without it an existing OUTPUT is left alone and the command
               fails. An output file is always replaced whole, never appended to,
               and a failed command leaves it as it was. A device, FIFO or folder
               at OUTPUT is never replaced, with or without --force.
               For install-key: replace the installed key.
  -h, --help   Print this help.
  --version    Print the version.

Messages are the program's catalogue texts (language/config.ini chooses the catalogue),
printed on standard error in UTF-8.

Exit status: 0 on success, 1 when the command failed (the reason is on standard error),
2 for a usage error (unknown command or option, wrong number of operands).
)";
}

}  // namespace brindlecot
