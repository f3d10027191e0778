#pragma once

#include <sys/stat.h>

#include <deque>
#include <string>
#include <vector>

#include "base/app_path.h"
#include "base/catalogue/catalogue_key.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

using RecordingUi = ScriptedUserInterface;
using Shown = ScriptedUserInterface::Event;

// A catalogue whose every text names its own section and key ("DialogCryptKey/msg3"), so
// a test sees exactly which message was chosen.
inline std::string LabelledCatalogue() {
    const std::vector<std::pair<std::string, int>> sections = {{"Brindlecot", 2},
                                                               {"BrindlecotDlg", 6},
                                                               {"DialogCryptKey", 10},
                                                               {"DialogSingleFileCrypt", 24},
                                                               {"stdafx", 12}};
    std::string text;
    for (const auto& [section, count] : sections) {
        text += "[" + section + "]\r\n";
        for (int i = 1; i <= count; ++i) {
            text += "msg" + std::to_string(i) + "=" + section + "/msg" + std::to_string(i) + "\r\n";
        }
    }
    return text;
}

// What the labelled catalogue holds for `key`.
inline std::string Labelled(CatalogueKey key) {
    return std::string(key.section) + "/" + std::string(key.key);
}

inline Shown Message(CatalogueKey caption, CatalogueKey text) {
    return {ScriptedUserInterface::Kind::Message, Labelled(caption), Labelled(text)};
}

inline Shown Question(CatalogueKey caption, CatalogueKey text) {
    return {ScriptedUserInterface::Kind::Question, Labelled(caption), Labelled(text)};
}

inline mode_t PermissionBits(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

}  // namespace brindlecot::testing
