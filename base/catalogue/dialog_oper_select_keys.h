#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "DialogOperSelect". The template chooser; kTitle is also the caption of its
// message boxes.
namespace brindlecot::catalogue::DialogOperSelect {

inline constexpr std::string_view kSection = "DialogOperSelect";

inline constexpr CatalogueKey kTitle{kSection, "msg1"};
inline constexpr CatalogueKey kOkButton{kSection, "msg2"};
inline constexpr CatalogueKey kReturnButton{kSection, "msg3"};
// Drawn left of the list.
inline constexpr CatalogueKey kListLabel{kSection, "msg4"};
inline constexpr CatalogueKey kEditorStillOpen{kSection, "msg5"};
inline constexpr CatalogueKey kNoTemplateChosen{kSection, "msg6"};
inline constexpr CatalogueKey kTemplateFileMissing{kSection, "msg7"};

}  // namespace brindlecot::catalogue::DialogOperSelect
