#include "app/startup.h"
#include "app/ui/display_probe.h"
#include "app/ui/interim_main_dialog.h"
#include "app/ui/qt_user_interface.h"
#include "filecrypt/key_file_cipher.h"

#include <QApplication>
#include <QFont>

#include <optional>

int main(int argc, char** argv) {
    brindlecot::QtUserInterface ui;
    std::optional<QApplication> application;
    brindlecot::StartupSteps steps;
    steps.canStartGui = [&] {
        if (!brindlecot::DisplayAvailable())
            return false;
        application.emplace(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9));
        return true;
    };
    steps.prepareKeyFileCipher = [] {
        brindlecot::PrepareKeyFileCipher();
    };
    steps.runMainDialog = [] {
        brindlecot::RunInterimMainDialog();
    };
    return brindlecot::RunStartup(ui, steps);
}
