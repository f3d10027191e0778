#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The dialogs that the screenshot program renders. Each dialog's screenshot file
// (tests/gui/<folder>/<dialog>_screenshot.cpp, picked up by name) registers itself:
//
//   BRINDLECOT_SCREENSHOT("key_dialog", [] { return std::make_unique<KeyDialog>(); });
//
// The program calls every factory once per catalogue (simplified, then traditional),
// with the application folder set to a scratch copy of the shipped language/ and conf/
// whose catalogue is already chosen, and with the key-file cipher prepared. A factory
// may set up what its dialog needs first (write or remove keyConf, files, ...). The
// widget it returns is shown, given time to lay out and paint, and grabbed to
// build/screenshots/<name>-<simplified|traditional>.png.
namespace brindlecot::testing {

using ScreenshotFactory = std::function<std::unique_ptr<QWidget>()>;

struct Screenshot {
    std::string name;
    ScreenshotFactory make;
};

inline std::vector<Screenshot>& Screenshots() {
    static std::vector<Screenshot> screenshots;
    return screenshots;
}

inline bool RegisterScreenshot(std::string name, ScreenshotFactory make) {
    Screenshots().push_back({std::move(name), std::move(make)});
    return true;
}

}  // namespace brindlecot::testing

#define BRINDLECOT_SCREENSHOT_JOIN2(a, b) a##b
#define BRINDLECOT_SCREENSHOT_JOIN(a, b) BRINDLECOT_SCREENSHOT_JOIN2(a, b)
// Registers a screenshot at start-up; use at namespace scope.
#define BRINDLECOT_SCREENSHOT(name, factory)                       \
    [[maybe_unused]] static const bool BRINDLECOT_SCREENSHOT_JOIN( \
        brindlecotScreenshot, __LINE__) = ::brindlecot::testing::RegisterScreenshot(name, factory)
