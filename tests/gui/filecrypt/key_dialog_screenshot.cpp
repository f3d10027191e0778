#include "gui/filecrypt/key_dialog.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/scripted_user_interface.h"

#include <QLineEdit>

namespace {

brindlecot::testing::ScriptedUserInterface nobody;

const bool registered = [] {
    brindlecot::testing::RegisterScreenshot(
        "key_dialog", [] { return std::make_unique<brindlecot::KeyDialog>(nobody); });
    brindlecot::testing::RegisterScreenshot("key_dialog-typed", [] {
        auto dialog = std::make_unique<brindlecot::KeyDialog>(nobody);
        dialog->KeyEdit()->setText(QStringLiteral("1a2b3c4d"));
        return dialog;
    });
    return true;
}();

}  // namespace
