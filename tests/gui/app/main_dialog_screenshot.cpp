#include "base/app_path.h"
#include "filecrypt/installed_key.h"
#include "gui/app/about_dialog.h"
#include "gui/app/main_dialog.h"
#include "tests/support/screenshot_registry.h"

#include <filesystem>

namespace {

using brindlecot::testing::RegisterScreenshot;

const bool registered = [] {
    RegisterScreenshot("main_dialog-no_key", [] {
        std::filesystem::remove(brindlecot::AppPath(brindlecot::kKeyConfName));
        return std::make_unique<brindlecot::MainDialog>();
    });
    RegisterScreenshot("main_dialog-key_installed", [] {
        if (brindlecot::WriteKeyConf("0000000A") != brindlecot::KeyConfWrite::Written)
            return std::unique_ptr<brindlecot::MainDialog>();
        auto dialog = std::make_unique<brindlecot::MainDialog>();
        std::filesystem::remove(brindlecot::AppPath(brindlecot::kKeyConfName));
        return dialog;
    });
    RegisterScreenshot("about_dialog", [] { return std::make_unique<brindlecot::AboutDialog>(); });
    return true;
}();

}  // namespace
