#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "base/app_path.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/valid_key.h"

namespace brindlecot {
namespace {

using testing::PermissionBits;
using testing::TempFolder;
using testing::ValidKey;

constexpr uid_t kNobody = 65534;

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs `check` as someone who cannot write into `readOnlyFolder`: in this process after
// taking the write bits away, or, for root (whom no mode bit stops), in a child process
// that has become nobody. `check` answers 0 when everything held, else a number that
// says what failed.
int RunWhereFolderIsNotWritable(const std::filesystem::path& readOnlyFolder,
                                const std::function<int()>& check) {
    ::chmod(readOnlyFolder.c_str(), 0555);
    if (::geteuid() != 0) {
        const int result = check();
        ::chmod(readOnlyFolder.c_str(), 0755);
        return result;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(readOnlyFolder.c_str(), 0755);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

class KeyConfLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareKeyFileCipher();
        CurrentInstalledKey().Clear();
        // A child running as nobody must be able to reach both folders.
        ::chmod(root_.path().c_str(), 0755);
        app_ = root_ / "app";
        std::filesystem::create_directories(app_);
        home_ = root_ / "home";
        std::filesystem::create_directories(home_);
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(home_.c_str(), kNobody, kNobody), 0);
        }
        SetAppFolder(app_.string());
    }
    void TearDown() override {
        CurrentInstalledKey().Clear();
        ::chmod(app_.c_str(), 0755);
    }

    TempFolder root_;
    std::filesystem::path app_;
    std::filesystem::path home_;
};

TEST_F(KeyConfLocationTest, AWritableProgramFolderKeepsKeyConfBesideTheProgram) {
    const std::string xdg = (home_ / "config").string();
    ScopedEnvironment environment("XDG_CONFIG_HOME", xdg.c_str());
    EXPECT_TRUE(AppFolderWritable());
    EXPECT_EQ(KeyConfPath(), (app_ / "keyConf").string());
    ASSERT_EQ(InstallAcceptedKey(ValidKey("1234567")), KeyInstallOutcome::Installed);
    EXPECT_EQ(PermissionBits((app_ / "keyConf").string()), 0600u);
    EXPECT_FALSE(std::filesystem::exists(xdg));
}

TEST_F(KeyConfLocationTest, TheConfigurationFolderFollowsXdgConfigHomeThenHome) {
    const std::string home = home_.string();
    ScopedEnvironment homeVariable("HOME", home.c_str());
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", "/somewhere/config");
        EXPECT_EQ(UserConfigFolder(), "/somewhere/config/brindlecot");
    }
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(UserConfigFolder(), home + "/.config/brindlecot")
            << (unusable ? unusable : "(unset)");
    }
}

// Everything the child checks; the parent (maybe root) looks at the files afterwards.
TEST_F(KeyConfLocationTest, AProgramFolderNobodyMayWriteSendsKeyConfToTheConfigurationFolder) {
    const std::filesystem::path config = home_ / "config";
    const std::string xdg = config.string();
    ScopedEnvironment environment("XDG_CONFIG_HOME", xdg.c_str());
    const std::string key = ValidKey("89ABCDE");
    const int failed = RunWhereFolderIsNotWritable(app_, [&] {
        if (AppFolderWritable())
            return 1;
        if (KeyConfPath() != xdg + "/brindlecot/keyConf")
            return 2;
        if (InstallAcceptedKey(key) != KeyInstallOutcome::Installed)
            return 3;
        CurrentInstalledKey().Clear();
        if (!LoadInstalledKey() || CurrentInstalledKey().Text() != key)
            return 4;
        return 0;
    });
    EXPECT_EQ(failed, 0);
    const std::string keyConf = (config / "brindlecot" / "keyConf").string();
    EXPECT_EQ(PermissionBits(keyConf), 0600u);
    EXPECT_EQ(PermissionBits((config / "brindlecot").string()), 0700u);
    EXPECT_FALSE(std::filesystem::exists(app_ / "keyConf"));
    // Only keyConf itself is left: the temporary file was renamed over it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config / "brindlecot"),
                            std::filesystem::directory_iterator()),
              1);
    // What was written there is the same keyConf as beside the program: readable by a
    // portable copy holding it.
    std::filesystem::copy_file(keyConf, app_ / "keyConf");
    CurrentInstalledKey().Clear();
    ASSERT_TRUE(LoadInstalledKey());
    EXPECT_EQ(CurrentInstalledKey().Text(), key);
}

TEST_F(KeyConfLocationTest, AnUnwritableConfigurationFolderIsReportedAsNotSaved) {
    // A file where the folder should be: nobody can create the folder.
    const std::filesystem::path blocked = home_ / "blocked";
    testing::WriteFileBytes(blocked, "not a folder");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(blocked.c_str(), kNobody, kNobody), 0);
    }
    const std::string xdg = blocked.string();
    ScopedEnvironment environment("XDG_CONFIG_HOME", xdg.c_str());
    const int failed = RunWhereFolderIsNotWritable(app_, [&] {
        return InstallAcceptedKey(ValidKey("1111111")) == KeyInstallOutcome::NotSaved ? 0 : 1;
    });
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(testing::ReadFileBytes(blocked), "not a folder");
}

}  // namespace
}  // namespace brindlecot
