#include "template/field_rules.h"
#include "base/catalogue/stdafx_keys.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "base/token_stream.h"
#include "template/number_text.h"
#include "template/template_definition.h"

namespace brindlecot {
namespace {

constexpr std::string_view kDateCode = "YYYYMMDD";
constexpr std::size_t kFullWidthSourceLimit = 128;
constexpr char kFullWidthBlank[] = "\xA1\xA1";

bool IsDateCode(std::string_view code) {
    return EqualsIgnoringAsciiCase(code, kDateCode);
}

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The value part and, for a code with one '+', the filler part. False for two or more.
bool SplitTypeCode(std::string_view code, std::string_view& valuePart,
                   std::string_view& fillerPart) {
    const std::size_t plus = code.find('+');
    if (plus == std::string_view::npos) {
        valuePart = code;
        fillerPart = {};
        return true;
    }
    if (code.find('+', plus + 1) != std::string_view::npos)
        return false;
    valuePart = code.substr(0, plus);
    fillerPart = code.substr(plus + 1);
    return true;
}

// What ExtractBetween(code, '"', '"') gives, without making a string of it: this runs
// for every value checked or padded.
std::string_view TypeLetter(std::string_view code) {
    const std::string_view line = code.substr(0, static_cast<std::size_t>(LineLength(code)));
    const std::size_t open = FindInGbk(line, '"');
    if (open == std::string_view::npos)
        return {};
    const std::size_t close = FindInGbk(line, '"', open + 1);
    return line.substr(open + 1,
                       close == std::string_view::npos ? std::string_view::npos : close - open - 1);
}

int CheckAmount(std::string& value, int declaredLength) {
    std::string amount = value;
    if (!amount.empty() && amount.front() == '-')
        return RuleBadAmount;
    const long long limit = declaredLength;
    const std::size_t point = amount.find('.');
    if (point != std::string::npos) {
        if (static_cast<long long>(amount.size()) > limit + 1)
            return RuleBadAmount;
        const std::string integerPart = amount.substr(0, point);
        const std::string decimalPart = amount.substr(point + 1);
        if (decimalPart.size() > 2)
            return RuleBadAmount;
        if (integerPart.empty()) {
            amount.insert(amount.begin(), '0');
        } else if (CheckCharClass(integerPart, 1) != 0) {
            return RuleBadAmount;
        }
        if (!decimalPart.empty() && CheckCharClass(decimalPart, 1) != 0)
            return RuleBadAmount;
        amount.append(2 - decimalPart.size(), '0');
    } else {
        if (static_cast<long long>(amount.size()) > limit)
            return RuleBadAmount;
        if (CheckCharClass(amount, 1) != 0)
            return RuleBadAmount;
        amount += ".00";
    }
    value = std::move(amount);
    return RuleOk;
}

// Pads `text` to `declared` bytes as `letter` demands.
void PadToDeclared(std::string& text, std::string_view letter, int declared) {
    const std::size_t length = declared > 0 ? static_cast<std::size_t>(declared) : 0;
    if (letter == "E") {
        std::string wide = text;
        ToFullWidth(text, wide);
        while (wide.size() < length)
            wide += kFullWidthBlank;
        text = std::move(wide);
    } else if (letter == "X") {
        if (text.size() < length)
            text.append(length - text.size(), ' ');
    } else if (letter == "N") {
        if (text.size() < length)
            text.insert(0, length - text.size(), '0');
    }
}

void FillPart(std::string& text, std::string_view part) {
    if (IsDateCode(part))
        return;
    const int declared = DeclaredLength(part);
    if (declared == 0)
        return;
    PadToDeclared(text, TypeLetter(part), declared);
}

// How many leading bytes of `text`, in whole words of eight, hold no byte below 14 (NUL,
// TAB, LF and CR are among those, and values almost never hold any): the line-end and
// line-break checks run for every value of every record, and skip these a word at a time.
std::size_t ControlFreeWords(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, 8);
        if (((word - kOnes * 14) & ~word & kHighBits) != 0)
            break;
    }
    return at;
}

// Hands the pieces of ToFullWidth's result to `emit(const char*, std::size_t)`, in order.
template <typename Emit>
void ForEachFullWidthPiece(std::string_view text, Emit emit) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto n = static_cast<unsigned char>(i + 1 < text.size() ? text[i + 1] : '\0');
        const bool pair = b == 0xA3 || (b == 0xA1 && n == 0xA1) ||
                          (b >= 0x81 && b <= 0xFE && n >= 0x40 && n <= 0xFE);
        if (pair) {
            // 0xA3 as the very last byte has no partner; it is kept alone.
            const std::size_t size = n != 0 ? 2 : 1;
            emit(text.data() + i, size);
            i += size;
        } else if (b == 0x80) {
            // 0x80 + 0x80 would be a NUL and cut the text there; the byte stays as it is.
            emit(text.data() + i, 1);
            ++i;
        } else {
            const char wide[2] = {'\xA3', static_cast<char>(static_cast<unsigned char>(b + 0x80))};
            emit(wide, 2);
            ++i;
        }
    }
}

// The byte length of what ToFullWidth makes of a value without NUL, CR or LF, without
// making it: a full-width field's every value is measured so.
std::size_t FullWidthSize(std::string_view value) {
    if (value.size() >= kFullWidthSourceLimit)
        return value.size();
    std::size_t size = 0;
    ForEachFullWidthPiece(value, [&size](const char*, std::size_t piece) { size += piece; });
    return size;
}

// TrimBlanks for a value without NUL, CR or LF, where the line is the whole value.
void TrimCleanBlanks(std::string& value) {
    const std::size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos) {
        value.clear();
        return;
    }
    value.resize(value.find_last_not_of(' ') + 1);
    value.erase(0, first);
}

}  // namespace

int LineLength(std::string_view text) {
    std::size_t length = ControlFreeWords(text);
    for (; length < text.size(); ++length) {
        const auto c = static_cast<unsigned char>(text[length]);
        if (c == '\0' || c == '\r' || c == '\n')
            break;
    }
    return static_cast<int>(length);
}

int LineLength(const char* text) {
    if (text == nullptr)
        return 0;
    return LineLength(std::string_view(text));
}

int TrimBlanks(std::string& text) {
    const std::string_view line(text.data(), static_cast<std::size_t>(LineLength(text)));
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        text.clear();
        return 0;
    }
    const std::size_t last = line.find_last_not_of(' ');
    // In place: this runs for every value checked.
    text.resize(last + 1);
    text.erase(0, first);
    return static_cast<int>(text.size());
}

int RemoveChar(std::string& text, char character, bool writeBack) {
    const auto length = static_cast<std::size_t>(LineLength(text));
    const auto removed =
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), character);
    if (writeBack) {
        text.resize(length);
        std::erase(text, character);
    }
    return static_cast<int>(length - static_cast<std::size_t>(removed));
}

std::size_t FindInGbk(std::string_view text, char character, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == character)
            return i;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < text.size())
            ++i;
    }
    return std::string_view::npos;
}

void ExtractBetween(std::string_view text, char opening, char closing, std::string& destination) {
    const std::string_view line = text.substr(0, static_cast<std::size_t>(LineLength(text)));
    if (line.empty()) {
        destination.clear();
        return;
    }
    const std::size_t open = FindInGbk(line, opening);
    if (open == std::string_view::npos)
        return;
    const std::size_t close = FindInGbk(line, closing, open + 1);
    destination = std::string(line.substr(
        open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
}

int CheckCharClass(std::string_view text, int characterClass) {
    if (text.empty())
        return -1;
    const auto all = [text](auto inClass) {
        return std::all_of(text.begin(), text.end(), inClass) ? 0 : -1;
    };
    // The class is chosen once, not per byte: digits are checked for every value of every
    // numeric field.
    switch (characterClass) {
        case 1:
            return all([](char c) { return c >= '0' && c <= '9'; });
        case 2:
            return all([](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            });
        case 3:
            return all([](char c) { return c >= '1' && c <= '4'; });
        default:
            return -1;
    }
}

int DeclaredLength(std::string_view typeCode) {
    if (IsDateCode(typeCode))
        return 8;
    const std::size_t quote = typeCode.find('"');
    if (quote == std::string_view::npos)
        return 0;
    return ParseLeadingInt(typeCode.substr(0, quote));
}

int TotalLength(std::string_view typeCode) {
    if (IsDateCode(typeCode))
        return 8;
    const std::size_t first = typeCode.find('"');
    if (first == std::string_view::npos)
        return 0;
    long long total = DeclaredLength(typeCode);
    const std::size_t second = typeCode.find('"', first + 1);
    if (second != std::string_view::npos) {
        const std::size_t third = typeCode.find('"', second + 1);
        if (third != std::string_view::npos) {
            total += ParseLeadingInt(typeCode.substr(second + 1, third - second - 1));
        }
    }
    return static_cast<int>(std::clamp<long long>(total, INT_MIN, INT_MAX));
}

bool IsValidDate(std::string_view text) {
    if (LineLength(text) != 8)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    // Month and day are read as atoi reads them (" 3" is 3), two digits the quick way: a
    // date is checked for every record of a batch.
    const auto number = [](std::string_view digits) {
        if (digits[0] >= '0' && digits[0] <= '9' && digits[1] >= '0' && digits[1] <= '9')
            return (digits[0] - '0') * 10 + (digits[1] - '0');
        return ParseLeadingInt(digits);
    };
    const int year = number(text.substr(0, 2)) * 100 + number(text.substr(2, 2));
    const int month = number(text.substr(4, 2));
    const int day = number(text.substr(6, 2));
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
    static constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int limit = (month == 2 && leap) ? 29 : kDaysInMonth[month - 1];
    return day <= limit;
}

void ToFullWidth(std::string_view source, std::string& destination) {
    const std::string_view text = UpToNul(source);
    if (text.size() >= kFullWidthSourceLimit)
        return;
    // Reused: the source may be part of `destination`, and this runs for every value of a
    // full-width field.
    thread_local std::string wide;
    wide.clear();
    wide.reserve(2 * text.size());
    ForEachFullWidthPiece(text,
                          [](const char* piece, std::size_t size) { wide.append(piece, size); });
    destination.assign(wide);
}

ParsedTypeCode::ParsedTypeCode(std::string_view typeCode) : empty(typeCode.empty()) {
    std::string_view code;
    std::string_view filler;
    usable = SplitTypeCode(typeCode, code, filler);
    if (!usable)
        return;
    isDate = IsDateCode(code);
    declared = DeclaredLength(code);
    letter = TypeLetter(code);
    hasFiller = typeCode.find('+') != std::string_view::npos;
    fillerCode = filler;
}

const std::string& ParsedTypeCode::FillerBlock() const {
    if (!fillerBlock_) {
        fillerBlock_.emplace();
        FillPart(*fillerBlock_, fillerCode);
    }
    return *fillerBlock_;
}

bool BreaksBatchLine(std::string_view value) {
    const std::size_t at = ControlFreeWords(value);
    return std::any_of(value.begin() + static_cast<std::ptrdiff_t>(at), value.end(),
                       [](char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r'; });
}

int ValidateFieldValue(std::string& value, std::string_view typeCode, bool required) {
    return ValidateFieldValue(value, ParsedTypeCode(typeCode), required);
}

int ValidateFieldValue(std::string& value, const ParsedTypeCode& type, bool required) {
    if (required && value.empty())
        return RuleRequiredEmpty;
    if (BreaksBatchLine(value))
        return !type.empty && !type.usable ? RuleBadType : RuleControlCharacter;
    if (type.empty)
        return RuleOk;
    // From here on the value holds no NUL, CR or LF: its line is all of it, and the
    // measures below need not look for a line end again.
    TrimCleanBlanks(value);
    if (!type.usable)
        return RuleBadType;
    if (type.isDate) {
        if (value.empty()) {
            value.assign(8, ' ');
            return RuleOk;
        }
        std::erase(value, '-');
        std::erase(value, '/');
        if (value.size() != 8 || !IsValidDate(value))
            return RuleBadDate;
        return RuleOk;
    }
    const int declared = type.declared;
    if (declared == 0)
        return RuleBadType;
    const auto tooLong = [declared](std::size_t size) {
        return static_cast<long long>(size) > declared ? RuleTooLong : RuleOk;
    };
    const std::string_view letter = type.letter;
    if (letter == "E")
        return tooLong(FullWidthSize(value));
    if (letter == "N") {
        if (CheckCharClass(value, 1) != 0)
            return RuleNotNumeric;
        return tooLong(value.size());
    }
    if (letter == "M")
        return CheckAmount(value, declared);
    return tooLong(value.size());
}

std::string RuleMessage(int result, const FieldItem& field) {
    auto named = [&field](std::string_view text) {
        return field.name + ":" + std::string(text);
    };
    switch (result) {
        case RuleOk:
            return {};
        case RuleRequiredEmpty:
            return FormatMessage(LoadMessage(catalogue::stdafx::kRuleRequiredEmpty),
                                 {std::string_view(field.name)});
        case RuleBadDate:
            return named(LoadMessage(catalogue::stdafx::kRuleBadDate));
        case RuleTooLong:
            return FormatMessage(
                LoadMessage(catalogue::stdafx::kRuleTooLong),
                {std::string_view(field.name), static_cast<long long>(DeclaredLength(field.type))});
        case RuleNotNumeric:
            return named(LoadMessage(catalogue::stdafx::kRuleNotNumeric));
        case RuleBadAmount:
            return named(LoadMessage(catalogue::stdafx::kRuleBadAmount));
        case RuleControlCharacter:
            return FormatMessage(LoadMessage(catalogue::stdafx::kRuleControlCharacter),
                                 {std::string_view(field.name)});
        default:
            return LoadMessage(catalogue::stdafx::kRuleOther);
    }
}

void FillFieldValue(std::string& value, std::string_view typeCode) {
    FillFieldValue(value, ParsedTypeCode(typeCode));
}

void FillFieldValue(std::string& value, const ParsedTypeCode& type) {
    std::string filled;
    AppendFilledValue(filled, value, type);
    value = std::move(filled);
}

void AppendFilledValue(std::string& out, std::string_view value, const ParsedTypeCode& type) {
    if (!type.usable || type.isDate || type.declared == 0) {
        out.append(value);
    } else {
        const std::size_t length = type.declared > 0 ? static_cast<std::size_t>(type.declared) : 0;
        if (type.letter == "X") {
            out.append(value);
            if (value.size() < length)
                out.append(length - value.size(), ' ');
        } else if (type.letter == "N") {
            if (value.size() < length)
                out.append(length - value.size(), '0');
            out.append(value);
        } else if (type.letter == "E") {
            // Reused: a batch pads this field once per record.
            thread_local std::string wide;
            wide.assign(value);
            ToFullWidth(value, wide);
            out.append(wide);
            for (std::size_t size = wide.size(); size < length; size += 2)
                out.append(kFullWidthBlank);
        } else {
            out.append(value);
        }
    }
    if (type.usable && type.hasFiller)
        out.append(type.FillerBlock());
}

void CentsToAmount(std::string_view cents, std::string& destination, int decimals) {
    const bool negative = !cents.empty() && cents.front() == '-';
    const std::string_view digits = negative ? cents.substr(1) : cents;
    const std::size_t count = std::max(decimals, 0);
    std::string amount = negative ? "-" : "";
    if (digits.size() > count) {
        amount.append(digits.substr(0, digits.size() - count));
        amount += '.';
        amount.append(digits.substr(digits.size() - count));
    } else {
        amount += "0.";
        amount.append(count - digits.size(), '0');
        amount.append(digits);
    }
    destination = std::move(amount);
}

void InsertThousandsSeparators(std::string_view amount, std::string& destination) {
    const std::size_t point = amount.find('.');
    if (point == std::string_view::npos) {
        destination = std::string(amount);
        return;
    }
    if (point < 2)
        return;
    std::string grouped(amount);
    const std::size_t lowest = (!amount.empty() && amount.front() == '-') ? 1 : 0;
    for (std::size_t position = point; position > lowest + 3; position -= 3) {
        grouped.insert(position - 3, 1, ',');
    }
    destination = std::move(grouped);
}

void FormatCents(std::string_view cents, std::string& destination, bool separators) {
    CentsToAmount(cents, destination, 2);
    if (separators) {
        const std::string amount = destination;
        InsertThousandsSeparators(amount, destination);
    }
}

void AmountToCents(std::string_view amount, std::string& destination) {
    std::string withoutCommas;
    withoutCommas.reserve(amount.size());
    for (const char c : UpToNul(amount)) {
        if (c != ',')
            withoutCommas += c;
    }
    std::string text = FormatFixed(ParseLeadingDouble(withoutCommas) * 100, 6);
    const std::size_t point = text.find('.');
    if (point != std::string::npos)
        text.resize(point);
    destination = std::move(text);
}

bool SplitKeyValue(std::string& line, std::string_view key, char separator,
                   std::string& destination) {
    if (line.find(key) == std::string::npos)
        return false;
    const std::size_t at = line.find(separator);
    if (at == std::string::npos)
        return false;
    destination = line.substr(at + 1);
    line.resize(at);
    return true;
}

}  // namespace brindlecot
