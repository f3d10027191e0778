#include "base/startup.h"
#include "filecrypt/key_file_cipher.h"
#include "gui/app/display_probe.h"
#include "gui/app/main_dialog.h"
#include "gui/app/qt_translations.h"
#include "gui/app/qt_user_interface.h"
#include "gui/app/startup_probe.h"
#include "gui/app/template_chooser_dialog.h"
#include "gui/controls/dialog_units.h"
#include "gui/editor/template_editor_dialog.h"
#include "gui/resources/resource_paths.h"

#include <QApplication>

#include <memory>
#include <optional>

namespace {

// Each editor window shows its messages and file dialogs over itself; their interface
// lives exactly as long as the window.
std::unique_ptr<QWidget> OpenEditorWindow(QWidget* owner, const std::string& path,
                                          const std::string& caption,
                                          std::function<void()> closeRequest) {
    auto ui = std::make_shared<brindlecot::QtUserInterface>(owner);
    std::unique_ptr<QWidget> window =
        brindlecot::OpenTemplateEditorWindow(*ui, owner, path, caption, std::move(closeRequest));
    if (window) {
        ui->SetOwner(window.get());
        QObject::connect(window.get(), &QObject::destroyed, [ui] {});
    }
    return window;
}

void OpenTemplateChooser(QWidget* parent) {
    brindlecot::TemplateChooserDialog chooser(OpenEditorWindow, nullptr, parent);
    chooser.exec();
}

}  // namespace

int main(int argc, char** argv) {
    brindlecot::QtUserInterface ui;
    std::optional<QApplication> application;
    brindlecot::StartupSteps steps;
    steps.canStartGui = [&] {
        if (!brindlecot::DisplayAvailable())
            return false;
        application.emplace(argc, argv);
        // Wayland compositors match a window to its menu entry and icon by this name.
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brindlecot.brindlecot"));
        brindlecot::InstallQtTranslations(*application);
        QApplication::setFont(brindlecot::controls::DialogFont());
        QApplication::setWindowIcon(brindlecot::resources::ApplicationIcon());
        return true;
    };
    steps.prepareKeyFileCipher = [] {
        brindlecot::PrepareKeyFileCipher();
    };
    steps.runMainDialog = [] {
        brindlecot::RunMainDialog([](brindlecot::MainDialog& dialog) {
            dialog.SetTemplateChooserHook(OpenTemplateChooser);
            brindlecot::ReportFirstPaintIfAsked(dialog);
        });
    };
    return brindlecot::RunStartup(ui, steps);
}
