#include "gui/filecrypt/single_file_dialog.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/scripted_user_interface.h"

namespace {

brindlecot::testing::ScriptedUserInterface person;

const bool registered = [] {
    brindlecot::testing::RegisterScreenshot("single_file_dialog", [] {
        return std::make_unique<brindlecot::SingleFileDialog>(person);
    });
    // Long paths as a clerk's folders give them: the boxes show their end, the file name.
    brindlecot::testing::RegisterScreenshot("single_file_dialog-chosen", [] {
        auto dialog = std::make_unique<brindlecot::SingleFileDialog>(person);
        person.filesToOpen = {"/home/clerk/工资发放/2024年01月/代发工资明细.xls"};
        person.filesToSave = {"/home/clerk/工资发放/2024年01月/代发工资明细-加密.xls"};
        dialog->BrowseInput();
        dialog->BrowseOutput();
        return dialog;
    });
    return true;
}();

}  // namespace
