#include "gui/controls/background_task.h"
#include "tests/support/screenshot_registry.h"

namespace {

const bool registered = [] {
    brindlecot::testing::RegisterScreenshot("task_progress", [] {
        auto window = std::make_unique<brindlecot::controls::TaskProgressWindow>(nullptr);
        window->setWindowTitle(QStringLiteral("文件加解密"));
        window->Show({412ull << 20, 1024ull << 20});
        return window;
    });
    return true;
}();

}  // namespace
