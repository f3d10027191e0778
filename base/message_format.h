#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace brindlecot {

// One argument of a catalogue format: a text (for %s) or an integer (for %d).
using MessageArgument = std::variant<std::string_view, long long>;

// Fills a catalogue text with exactly the arguments its table names, in order. The text
// is data read from a file, never a printf format: only a conversion that matches the
// next expected argument is substituted; every other '%' sequence, and any conversion
// once the arguments are used up, is copied literally. Nothing is read past the list.
std::string FormatMessage(std::string_view format,
                          std::initializer_list<MessageArgument> arguments);

}  // namespace brindlecot
