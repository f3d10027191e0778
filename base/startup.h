#pragma once

#include "base/user_interface.h"

#include <functional>

namespace brindlecot {

// The application's name: the caption of start-up messages and of the other
// application-captioned message boxes.
inline constexpr const char* kApplicationName = "Brindlecot";

// The steps of start-up that come from elsewhere. Each must be set.
struct StartupSteps {
    // Whether the windowing system can be used at all (on Windows this was OLE
    // initialisation). False ends start-up with the "Brindlecot" msg1 message.
    std::function<bool()> canStartGui;
    // Builds the key-file cipher's keys and schedules.
    std::function<void()> prepareKeyFileCipher;
    // Runs the main dialog modally and returns when it closes.
    std::function<void()> runMainDialog;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoGui = 2;
inline constexpr int kExitNoCryptoLibrary = 3;

// Chooses the message catalogue, checks the GUI, binds the crypto library, prepares the
// key-file cipher and runs the main dialog; releases the library on the way out.
// Returns the process exit status.
int RunStartup(UserInterface& ui, const StartupSteps& steps);

}  // namespace brindlecot
