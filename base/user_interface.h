#pragma once

#include <optional>
#include <string>

namespace brindlecot {

// What a file is chosen for; each purpose remembers the folder it was last chosen in.
enum class FilePurpose { Import, Export, SingleFileInput, SingleFileOutput };

// Everything the core says to or asks of the person goes through this interface, so
// every command runs under tests and the command-line front end without a display.
// All texts are GBK bytes; paths are the system's own (UTF-8) bytes.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box with an OK button.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;

    // A Yes/No question with the question icon; true only for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;

    // The same for a question whose Yes throws work away: No is the default answer, so
    // that Enter keeps the work.
    virtual bool AskYesNoDefaultNo(const std::string& caption, const std::string& text) {
        return AskYesNo(caption, text);
    }

    // An open-file dialog (the file must exist). `filter` is in the catalogue's form,
    // for example "Excel Files(*.xls)|*.xls||". Empty result: the person cancelled.
    virtual std::optional<std::string> ChooseFileToOpen(const std::string& filter,
                                                        FilePurpose purpose) = 0;

    // A save-file dialog that asks before replacing an existing file.
    virtual std::optional<std::string> ChooseFileToSave(const std::string& filter,
                                                        FilePurpose purpose) = 0;
};

}  // namespace brindlecot
