#pragma once

// Kept apart from test_files.h because it needs the program's GBK conversion, which the
// library's tests do not link.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/gbk_text.h"

namespace brindlecot::testing {

// GBK bytes of a UTF-8 literal (the sources are UTF-8, the program's texts GBK), converted
// by iconv rather than written by hand.
inline std::string Gbk(std::string_view utf8) {
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk)
        throw std::runtime_error("not representable in GBK: " + std::string(utf8));
    return *gbk;
}

}  // namespace brindlecot::testing
