#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "stdafx". Field checks shared by every template, and workbook / text
// conversion.
namespace brindlecot::catalogue::stdafx {

inline constexpr std::string_view kSection = "stdafx";

// Any other failure code.
inline constexpr CatalogueKey kRuleOther{kSection, "msg1"};
// Field name.
inline constexpr CatalogueKey kRuleRequiredEmpty{kSection, "msg2"};
// Shown after "name:".
inline constexpr CatalogueKey kRuleBadDate{kSection, "msg4"};
// Field name, declared length.
inline constexpr CatalogueKey kRuleTooLong{kSection, "msg5"};
// Shown after "name:".
inline constexpr CatalogueKey kRuleNotNumeric{kSection, "msg7"};
// Shown after "name:".
inline constexpr CatalogueKey kRuleBadAmount{kSection, "msg8"};
// Application-captioned.
inline constexpr CatalogueKey kWorkbookToTextReadFailed{kSection, "msg9"};
// Application-captioned.
inline constexpr CatalogueKey kWorkbookToTextWriteFailed{kSection, "msg10"};
// Application-captioned.
inline constexpr CatalogueKey kWorkbookReadFailed{kSection, "msg11"};
// Application-captioned.
inline constexpr CatalogueKey kWorkbookWriteFailed{kSection, "msg12"};
// Field name.
inline constexpr CatalogueKey kRuleControlCharacter{kSection, "msg13"};

}  // namespace brindlecot::catalogue::stdafx
