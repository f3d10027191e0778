#include "filecrypt/key_rules.h"

#include <algorithm>

namespace brindlecot {
namespace {

constexpr int kModulus = 16;

std::optional<int> UpperHexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::optional<int> KeyCheckDigit(std::string_view digits) {
    int product = kModulus;
    for (char c : digits) {
        const std::optional<int> value = UpperHexValue(c);
        if (!value)
            return std::nullopt;
        int sum = (product + *value) % kModulus;
        if (sum == 0)
            sum = kModulus;
        product = (2 * sum) % (kModulus + 1);
    }
    return product == 1 ? 0 : kModulus + 1 - product;
}

KeyEntryCheck CheckKeyEntry(std::string_view entry) {
    KeyEntryCheck check;
    if (entry.empty()) {
        check.problem = KeyEntryProblem::Empty;
        return check;
    }
    if (entry.size() != kKeyLength) {
        check.problem = KeyEntryProblem::WrongLength;
        return check;
    }
    if (!std::all_of(entry.begin(), entry.end(), IsHexDigit)) {
        check.problem = KeyEntryProblem::NotHexadecimal;
        return check;
    }
    check.key.resize(entry.size());
    std::transform(entry.begin(), entry.end(), check.key.begin(), ToUpperAscii);
    const std::optional<int> expected =
        KeyCheckDigit(std::string_view(check.key).substr(0, kKeyLength - 1));
    if (!expected || UpperHexValue(check.key.back()) != expected) {
        check.problem = KeyEntryProblem::WrongCheckDigit;
    }
    return check;
}

}  // namespace brindlecot
