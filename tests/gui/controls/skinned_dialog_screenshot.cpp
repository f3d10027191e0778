#include "tests/gui/controls/skinned_dialog_sample.h"
#include "tests/support/screenshot_registry.h"

BRINDLECOT_SCREENSHOT("skinned_dialog_sample",
                      [] { return std::make_unique<brindlecot::testing::SkinnedDialogSample>(); });
