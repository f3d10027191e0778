#include "base/startup.h"
#include "base/catalogue/brindlecot_keys.h"

#include "base/crypto_binding.h"
#include "base/message_catalogue.h"

namespace brindlecot {

int RunStartup(UserInterface& ui, const StartupSteps& steps) {
    // The catalogue comes first so that both failure messages below already speak the
    // chosen language.
    SelectMessageCatalogue();
    if (!steps.canStartGui()) {
        ui.ShowMessage(kApplicationName, LoadMessage(catalogue::Brindlecot::kNoDisplay));
        return kExitNoGui;
    }
    if (!BindCryptoLibrary()) {
        // Also releases a library that loaded but lacked the export.
        UnbindCryptoLibrary();
        ui.ShowMessage(kApplicationName, LoadMessage(catalogue::Brindlecot::kDriverUnusable));
        return kExitNoCryptoLibrary;
    }
    steps.prepareKeyFileCipher();
    steps.runMainDialog();
    UnbindCryptoLibrary();
    return kExitOk;
}

}  // namespace brindlecot
