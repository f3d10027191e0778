#pragma once

#include <string>

#include "filecrypt/key_rules.h"

namespace brindlecot::testing {

// `prefix` (seven upper-case hexadecimal digits) followed by the check digit the key
// rules ask for: a key the key dialog accepts.
inline std::string ValidKey(const std::string& prefix) {
    return prefix + "0123456789ABCDEF"[KeyCheckDigit(prefix).value()];
}

}  // namespace brindlecot::testing
