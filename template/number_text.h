#pragma once

#include <string>
#include <string_view>

namespace brindlecot {

// Number conversions with the C library's reading rules but independent of the process
// locale (a GUI program runs under the user's locale, where the decimal point may be a
// comma): templates, cells and batch files always use '.'.

// atoi: leading white space, an optional sign, then decimal digits up to the first other
// character; 0 when there are none. Values beyond int are clamped.
int ParseLeadingInt(std::string_view text);

// strtod: reads the longest leading number (decimal or hexadecimal, exponent, inf, nan)
// after white space; 0 when there is none.
double ParseLeadingDouble(std::string_view text);

// printf("%.*f", decimals, value) in the C locale.
std::string FormatFixed(double value, int decimals);

// The whole hundredths of an amount text, exactly as AmountToCents would print them and
// strtod would read them back: commas removed, read, times 100, rounded to six decimals,
// cut at the point. The common plain-decimal case avoids any text formatting.
double AmountToCentsValue(std::string_view amount);

}  // namespace brindlecot
