#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "Brindlecot". Start-up.
namespace brindlecot::catalogue::Brindlecot {

inline constexpr std::string_view kSection = "Brindlecot";

// The program cannot show its windows; the program ends.
inline constexpr CatalogueKey kNoDisplay{kSection, "msg1"};
// driver/libKestrelvane.so cannot be loaded or lacks CryptFile; the program ends.
inline constexpr CatalogueKey kDriverUnusable{kSection, "msg2"};

}  // namespace brindlecot::catalogue::Brindlecot
