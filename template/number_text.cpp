#include "template/number_text.h"

#include <array>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace brindlecot {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Exact for plain decimals "123", "12.5", ".5", "7.": a mantissa below 2^53 divided by an
// exact power of ten is the correctly rounded value, which is what strtod returns too.
bool TryPlainDecimal(std::string_view text, double& value) {
    static constexpr std::array<double, 23> kPowersOfTen = {
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool seenPoint = false;
    for (const char c : text) {
        if (IsDigit(c)) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            if (mantissa >= kExactLimit)
                return false;
            ++digits;
            if (seenPoint)
                ++decimals;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || decimals >= static_cast<int>(kPowersOfTen.size()))
        return false;
    value = static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(decimals)];
    return true;
}

}  // namespace

int ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            magnitude = static_cast<long long>(INT_MAX) + 1;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

double ParseLeadingDouble(std::string_view text) {
    double value = 0;
    if (TryPlainDecimal(text, value))
        return value;
    const std::string terminated(text);
    const locale_t c = CLocale();
    return c != static_cast<locale_t>(nullptr) ? strtod_l(terminated.c_str(), nullptr, c)
                                               : std::strtod(terminated.c_str(), nullptr);
}

std::string FormatFixed(double value, int decimals) {
    // The widest double printed in fixed notation has 309 integer digits.
    std::array<char, 400> buffer{};
    if (decimals < 0)
        decimals = 0;
    if (decimals > 60)
        decimals = 60;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer.data(), result.ptr);
}

double AmountToCentsValue(std::string_view amount) {
    double units = 0;
    if (amount.find(',') == std::string_view::npos) {
        units = ParseLeadingDouble(amount);
    } else {
        std::string withoutCommas;
        withoutCommas.reserve(amount.size());
        for (const char c : amount) {
            if (c != ',')
                withoutCommas += c;
        }
        units = ParseLeadingDouble(withoutCommas);
    }
    const double cents = units * 100;
    if (!std::isfinite(cents))
        return cents;
    // Printing with six decimals and cutting at the point truncates, except when the
    // fraction rounds up to a whole unit; only then is the text route taken.
    const double whole = std::trunc(cents);
    if (std::fabs(cents - whole) < 0.99999)
        return whole;
    std::string text = FormatFixed(cents, 6);
    text.resize(text.find('.'));
    return ParseLeadingDouble(text);
}

}  // namespace brindlecot
