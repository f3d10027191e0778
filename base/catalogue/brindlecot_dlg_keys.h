#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "BrindlecotDlg". The main dialog.
namespace brindlecot::catalogue::BrindlecotDlg {

inline constexpr std::string_view kSection = "BrindlecotDlg";

inline constexpr CatalogueKey kKeyInstalledCaption{kSection, "msg1"};
// After a key was installed and keyConf written.
inline constexpr CatalogueKey kKeyInstalled{kSection, "msg2"};
inline constexpr CatalogueKey kTitle{kSection, "msg3"};
// Button 1016.
inline constexpr CatalogueKey kInstallKeyButton{kSection, "msg4"};
// Button 1019.
inline constexpr CatalogueKey kTemplatesButton{kSection, "msg5"};
// Button 1020.
inline constexpr CatalogueKey kSingleFileButton{kSection, "msg6"};

}  // namespace brindlecot::catalogue::BrindlecotDlg
