#include "app/startup.h"
#include "app/ui/display_probe.h"
#include "app/ui/main_dialog.h"
#include "app/ui/qt_user_interface.h"
#include "app/ui/startup_probe.h"
#include "controls/dialog_units.h"
#include "filecrypt/key_file_cipher.h"
#include "resources/resource_paths.h"

#include <QApplication>

#include <optional>

int main(int argc, char** argv) {
    brindlecot::QtUserInterface ui;
    std::optional<QApplication> application;
    brindlecot::StartupSteps steps;
    steps.canStartGui = [&] {
        if (!brindlecot::DisplayAvailable())
            return false;
        application.emplace(argc, argv);
        QApplication::setFont(brindlecot::controls::DialogFont());
        QApplication::setWindowIcon(brindlecot::resources::ApplicationIcon());
        return true;
    };
    steps.prepareKeyFileCipher = [] {
        brindlecot::PrepareKeyFileCipher();
    };
    steps.runMainDialog = [] {
        brindlecot::RunMainDialog(
            [](brindlecot::MainDialog& dialog) { brindlecot::ReportFirstPaintIfAsked(dialog); });
    };
    return brindlecot::RunStartup(ui, steps);
}
