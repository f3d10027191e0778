#pragma once

#include <string_view>

namespace brindlecot {

// One text of the message catalogue: its section and its key ("msg" and a number). The
// headers beside this one name every key of one section each, so that code says which
// text it means instead of spelling "msgNN".
struct CatalogueKey {
    std::string_view section;
    std::string_view key;
};

}  // namespace brindlecot
