#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "DialogCryptKey". The key installation dialog; kTitle is also the caption of
// its message boxes.
namespace brindlecot::catalogue::DialogCryptKey {

inline constexpr std::string_view kSection = "DialogCryptKey";

inline constexpr CatalogueKey kTitle{kSection, "msg1"};
inline constexpr CatalogueKey kKeyEmpty{kSection, "msg2"};
inline constexpr CatalogueKey kKeyNotEightCharacters{kSection, "msg3"};
inline constexpr CatalogueKey kKeyNotHex{kSection, "msg4"};
inline constexpr CatalogueKey kCheckDigitWrong{kSection, "msg5"};
// Yes/No.
inline constexpr CatalogueKey kConfirmReplace{kSection, "msg6"};
// Drawn above the edit box.
inline constexpr CatalogueKey kPrompt{kSection, "msg7"};
inline constexpr CatalogueKey kOkButton{kSection, "msg8"};
inline constexpr CatalogueKey kCancelButton{kSection, "msg9"};
// KeyConf could not be written; the old key stays.
inline constexpr CatalogueKey kKeyNotSaved{kSection, "msg10"};

}  // namespace brindlecot::catalogue::DialogCryptKey
