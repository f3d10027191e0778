#pragma once

#include <QString>

#include <string_view>

#include "base/catalogue/catalogue_key.h"

namespace brindlecot {

// A GBK text of the program (a catalogue text, a template's name, a cell) as Qt shows it.
QString FromGbk(std::string_view gbk);

// The current catalogue's text for `key`, as Qt shows it.
QString CatalogueText(CatalogueKey key);

}  // namespace brindlecot
