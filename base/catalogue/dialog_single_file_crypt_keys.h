#pragma once

#include "base/catalogue/catalogue_key.h"

// Catalogue section "DialogSingleFileCrypt". The single-file dialog; kTitle is also the caption of
// its message boxes.
namespace brindlecot::catalogue::DialogSingleFileCrypt {

inline constexpr std::string_view kSection = "DialogSingleFileCrypt";

inline constexpr CatalogueKey kTitle{kSection, "msg1"};
// Buttons 1037 and 1038.
inline constexpr CatalogueKey kBrowseButton{kSection, "msg2"};
// Button 1023.
inline constexpr CatalogueKey kEncryptButton{kSection, "msg3"};
// Button 1024.
inline constexpr CatalogueKey kDecryptButton{kSection, "msg4"};
inline constexpr CatalogueKey kReturnButton{kSection, "msg5"};
// Drawn left of box 1031.
inline constexpr CatalogueKey kInputLabel{kSection, "msg6"};
// Drawn left of box 1032.
inline constexpr CatalogueKey kOutputLabel{kSection, "msg7"};
// Application-captioned.
inline constexpr CatalogueKey kWorkbookWriteFailed{kSection, "msg8"};
inline constexpr CatalogueKey kInputFilter{kSection, "msg9"};
inline constexpr CatalogueKey kOutputFilter{kSection, "msg10"};
inline constexpr CatalogueKey kFileWithoutBChange{kSection, "msg11"};
inline constexpr CatalogueKey kSpliteMissing{kSection, "msg12"};
inline constexpr CatalogueKey kNoInputFile{kSection, "msg13"};
inline constexpr CatalogueKey kNoOutputFile{kSection, "msg14"};
inline constexpr CatalogueKey kInputMissing{kSection, "msg15"};
inline constexpr CatalogueKey kSameFile{kSection, "msg16"};
inline constexpr CatalogueKey kExtensionDiffers{kSection, "msg17"};
inline constexpr CatalogueKey kNoKeyInstalled{kSection, "msg18"};
inline constexpr CatalogueKey kOpenFailed{kSection, "msg19"};
inline constexpr CatalogueKey kOpenDone{kSection, "msg20"};
inline constexpr CatalogueKey kSealFailed{kSection, "msg21"};
inline constexpr CatalogueKey kSealDone{kSection, "msg22"};
// Something other than a regular file is at the output path.
inline constexpr CatalogueKey kOutputNotRegularFile{kSection, "msg23"};
// The output could not be written (a full disk, a folder that refuses it): not the key's
// fault, which is what kOpenFailed speaks of.
inline constexpr CatalogueKey kOutputWriteFailed{kSection, "msg24"};

}  // namespace brindlecot::catalogue::DialogSingleFileCrypt
