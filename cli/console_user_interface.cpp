#include "cli/console_user_interface.h"

#include "base/gbk_text.h"

namespace brindlecot {
namespace {

// Catalogue texts may carry Windows line ends; a terminal wants bare line feeds.
std::string ForTerminal(const std::string& gbk) {
    std::string text = GbkToUtf8ForDisplay(gbk);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result.push_back(text[i]);
    }
    return result;
}

}  // namespace

void ConsoleUserInterface::WriteGbkLine(const std::string& caption, const std::string& text) {
    if (!caption.empty())
        errors_ << ForTerminal(caption) << ": ";
    errors_ << ForTerminal(text) << '\n';
    errors_.flush();
}

void ConsoleUserInterface::ShowMessage(const std::string& caption, const std::string& text) {
    WriteGbkLine(caption, text);
}

bool ConsoleUserInterface::AskYesNo(const std::string& caption, const std::string& text) {
    if (showQuestions_)
        WriteGbkLine(caption, text + (answerYes_ ? " [yes]" : " [no]"));
    return answerYes_;
}

std::optional<std::string> ConsoleUserInterface::ChooseFileToOpen(const std::string&, FilePurpose) {
    return fileToOpen_;
}

std::optional<std::string> ConsoleUserInterface::ChooseFileToSave(const std::string&, FilePurpose) {
    return fileToSave_;
}

void ConsoleUserInterface::Say(const std::string& utf8Line) {
    errors_ << utf8Line << '\n';
    errors_.flush();
}

}  // namespace brindlecot
