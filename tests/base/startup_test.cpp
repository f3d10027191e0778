#include "base/startup.h"
#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindlecot {
namespace {

using Events = std::vector<std::string>;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolder(folder_.path().string());
        folder_.Write("language/msgSimChi.ini",
                      "[Brindlecot]\nmsg1=sim no gui\nmsg2=sim no library\n");
        folder_.Write("language/msgTraChi.ini",
                      "[Brindlecot]\nmsg1=tra no gui\nmsg2=tra no library\n");
    }
    void TearDown() override { UnbindCryptoLibrary(); }

    int Run(bool guiAvailable) {
        testing::ScriptedUserInterface ui;
        ui.onEvent = [this](const testing::ScriptedUserInterface::Event& event) {
            const bool question = event.kind == testing::ScriptedUserInterface::Kind::Question;
            events_.push_back((question ? "question " : "message ") + event.caption + ": " +
                              event.text);
        };
        ui.defaultAnswer = false;
        StartupSteps steps;
        steps.canStartGui = [this, guiAvailable] {
            events_.push_back("gui check");
            return guiAvailable;
        };
        steps.prepareKeyFileCipher = [this] {
            events_.push_back(BoundCryptFile() ? "cipher, library bound"
                                               : "cipher, library missing");
        };
        steps.runMainDialog = [this] {
            events_.push_back(BoundCryptFile() ? "dialog, library bound"
                                               : "dialog, library missing");
        };
        return RunStartup(ui, steps);
    }

    testing::TempFolder folder_;
    Events events_;
};

TEST_F(StartupTest, RunsTheStepsInOrderAndReleasesTheLibraryAtExit) {
    folder_.Copy(FAKE_CRYPT_WITH_EXPORT, "driver/libKestrelvane.so");
    EXPECT_EQ(Run(true), kExitOk);
    EXPECT_EQ(events_, (Events{"gui check", "cipher, library bound", "dialog, library bound"}));
    EXPECT_EQ(BoundCryptFile(), nullptr);
}

TEST_F(StartupTest, NoGuiShowsMsg1AndStopsBeforeBinding) {
    folder_.Copy(FAKE_CRYPT_WITH_EXPORT, "driver/libKestrelvane.so");
    EXPECT_EQ(Run(false), kExitNoGui);
    EXPECT_EQ(events_, (Events{"gui check", "message Brindlecot: sim no gui"}));
    EXPECT_EQ(BoundCryptFile(), nullptr);
}

TEST_F(StartupTest, MissingLibraryShowsMsg2AndNeverOpensTheDialog) {
    EXPECT_EQ(Run(true), kExitNoCryptoLibrary);
    EXPECT_EQ(events_, (Events{"gui check", "message Brindlecot: sim no library"}));
}

TEST_F(StartupTest, LibraryWithoutCryptFileShowsMsg2) {
    folder_.Copy(FAKE_CRYPT_WITHOUT_EXPORT, "driver/libKestrelvane.so");
    EXPECT_EQ(Run(true), kExitNoCryptoLibrary);
    EXPECT_EQ(events_, (Events{"gui check", "message Brindlecot: sim no library"}));
    // Released: a later bind with a good library in place succeeds.
    folder_.Copy(FAKE_CRYPT_WITH_EXPORT, "driver/libKestrelvane.so");
    EXPECT_TRUE(BindCryptoLibrary());
}

TEST_F(StartupTest, FailureMessagesComeFromTheChosenCatalogue) {
    folder_.Write("language/config.ini", "[language]\nmode=1\n");
    EXPECT_EQ(Run(false), kExitNoGui);
    EXPECT_EQ(events_.back(), "message Brindlecot: tra no gui");
    events_.clear();
    EXPECT_EQ(Run(true), kExitNoCryptoLibrary);
    EXPECT_EQ(events_.back(), "message Brindlecot: tra no library");
}

}  // namespace
}  // namespace brindlecot
