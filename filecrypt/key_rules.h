#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brindlecot {

// A key is 8 hexadecimal digits; the eighth is the check digit of the first seven.
inline constexpr std::size_t kKeyLength = 8;

// ISO/IEC 7064 hybrid system MOD 17,16 over the values of upper-case hexadecimal digits
// ('0'..'9' = 0..9, 'A'..'F' = 10..15). Nothing when a character is not one of those.
std::optional<int> KeyCheckDigit(std::string_view digits);

enum class KeyEntryProblem {
    None,
    Empty,            // "DialogCryptKey" msg2
    WrongLength,      // msg3
    NotHexadecimal,   // msg4
    WrongCheckDigit,  // msg5
};

struct KeyEntryCheck {
    KeyEntryProblem problem = KeyEntryProblem::None;
    // The entry in upper case, set once the characters have passed (also for a wrong
    // check digit); this is the text that gets installed.
    std::string key;
};

// The key rules in the order the dialog applies them.
KeyEntryCheck CheckKeyEntry(std::string_view entry);

}  // namespace brindlecot
