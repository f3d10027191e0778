#include "app/startup.h"
#include "app/ui/interim_main_dialog.h"
#include "app/ui/qt_user_interface.h"

#include <QApplication>
#include <QFont>

#include <cstdlib>
#include <optional>

namespace {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt aborts the process when it finds no display; decide before it is asked to.
bool DisplayAvailable() {
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") || EnvironmentSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    brindlecot::QtUserInterface ui;
    std::optional<QApplication> application;
    brindlecot::StartupSteps steps;
    steps.canStartGui = [&] {
        if (!DisplayAvailable()) return false;
        application.emplace(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9));
        return true;
    };
    // The key-file cipher is built by key installation when it joins the program.
    steps.prepareKeyFileCipher = [] {};
    steps.runMainDialog = [] { brindlecot::RunInterimMainDialog(); };
    return brindlecot::RunStartup(ui, steps);
}
