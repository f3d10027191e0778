#pragma once

#include <string>
#include <string_view>

#include "base/catalogue/catalogue_key.h"

namespace brindlecot {

// Catalogue texts are GBK bytes of at most 255 bytes; a missing catalogue, section or
// key gives the empty text.
inline constexpr std::size_t kMessageBufferSize = 256;

// Chooses language/msgSimChi.ini (mode 0 or absent) or language/msgTraChi.ini (any
// other mode) from language/config.ini. Call once at start-up, before anything that can
// fail, so that start-up failures already speak the chosen language.
void SelectMessageCatalogue();

// The catalogue chosen by SelectMessageCatalogue, relative to the executable's folder.
const std::string& MessageCatalogueName();

// One text of the chosen catalogue, named by the section headers of app/catalogue/, for
// example LoadMessage(catalogue::DialogModelDlg::kNoRowsToExport).
std::string LoadMessage(CatalogueKey key);
std::string LoadMessage(std::string_view section, std::string_view key);

}  // namespace brindlecot
