#include "gui/app/template_chooser_dialog.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/scripted_user_interface.h"

namespace {

brindlecot::testing::ScriptedUserInterface nobody;

// The shipped templates of conf/, listed as a clerk first sees them.
const bool registered = brindlecot::testing::RegisterScreenshot("template_chooser", [] {
    return std::make_unique<brindlecot::TemplateChooserDialog>(brindlecot::TemplateEditorOpener{},
                                                               &nobody);
});

}  // namespace
