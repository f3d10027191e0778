#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brindlecot {

struct FieldItem;

// Field values, type codes and amounts are GBK bytes; every length is a byte length.
//
// A type code is `YYYYMMDD` (any case), or a declared length followed by a type letter in
// double quotes (10"N"), optionally followed by '+' and a filler part (20"X"+6"N").
// Letters: N digits, X text, E full-width text, M amount; any other letter is text.

// Results of ValidateFieldValue.
inline constexpr int RuleOk = 0;
inline constexpr int RuleBadType = -1;        // no usable length, or two or more '+'
inline constexpr int RuleRequiredEmpty = -2;  // required and empty
inline constexpr int RuleBadDate = -3;        // not an eight-digit calendar date
inline constexpr int RuleTooLong = -4;        // longer than the declared length
inline constexpr int RuleNotNumeric = -5;     // N value empty or not all digits
inline constexpr int RuleBadAmount = -6;      // M value is not an unsigned amount
// Holds a NUL, TAB, LF or CR: written out, it would cut or split the batch line (or the
// tab-separated rows of a copy); the other rules measure only up to such a byte.
inline constexpr int RuleControlCharacter = -7;

// A type code taken apart once, for checking or padding the many values of one field
// (a batch of a million records has a million values per field).
struct ParsedTypeCode {
    explicit ParsedTypeCode(std::string_view typeCode);

    bool empty = true;       // the empty code accepts everything
    bool usable = false;     // at most one '+'
    bool isDate = false;     // the value part is YYYYMMDD
    int declared = 0;        // the value part's declared length
    std::string letter;      // the value part's type letter
    bool hasFiller = false;  // a '+' and a filler part follow
    std::string fillerCode;  // the filler part

    // The block the filler part appends, made at the first padding (checking a value
    // never needs it, and an unchecked code may declare gigabytes).
    const std::string& FillerBlock() const;

private:
    mutable std::optional<std::string> fillerBlock_;
};

// Checks one value against a type code and rewrites it in place as the rules demand:
// blanks trimmed (the value is also cut at its first CR or LF), date separators removed,
// an empty date turned into eight blanks, an accepted amount given two decimals. The
// rewriting stays even when a later step rejects the value. An empty type code accepts
// everything.
int ValidateFieldValue(std::string& value, std::string_view typeCode, bool required);
// True when `value` holds a byte that RuleControlCharacter refuses.
bool BreaksBatchLine(std::string_view value);
int ValidateFieldValue(std::string& value, const ParsedTypeCode& type, bool required);

// The catalogue text ("stdafx") for a rule result, composed with the field's name; empty
// for RuleOk.
std::string RuleMessage(int result, const FieldItem& field);

// Pads a value for a fixed-width batch file: N gets leading '0's, X trailing blanks, E is
// turned full-width and padded with full-width blanks; a filler part appends a block
// filled by its own letter. A value already long enough is never cut. An unusable code
// leaves the value as it is.
void FillFieldValue(std::string& value, std::string_view typeCode);
void FillFieldValue(std::string& value, const ParsedTypeCode& type);
// Appends `value` to `out` padded as FillFieldValue pads it, without a copy of the value.
void AppendFilledValue(std::string& out, std::string_view value, const ParsedTypeCode& type);

// 8 for YYYYMMDD; the integer before the first double quote; 0 without a double quote.
int DeclaredLength(std::string_view typeCode);

// The field's length in a record: the declared length plus the filler part's length.
int TotalLength(std::string_view typeCode);

// True for eight characters forming a calendar date (Gregorian leap years).
bool IsValidDate(std::string_view text);

// Converts half-width text to GBK full-width forms into `destination`; double-byte
// characters are copied. Leaves `destination` untouched when the source (up to a NUL) is
// 128 bytes or longer. A lone byte 0x80, which has no full-width form, is kept as it is.
void ToFullWidth(std::string_view source, std::string& destination);

// Keeps only the text before the first CR or LF, without leading and trailing ASCII
// blanks (full-width blanks stay); returns the new length.
int TrimBlanks(std::string& text);

// Counts the bytes before the first CR or LF that differ from `character`; with
// `writeBack` the text becomes just those bytes.
int RemoveChar(std::string& text, char character, bool writeBack);

// The position of the first ASCII `character` at or after `from`, stepping over GBK
// double-byte characters, whose second byte may look like '[', ']' or '|'; npos if none.
std::size_t FindInGbk(std::string_view text, char character, std::size_t from = 0);

// The bytes after the first `opening` up to the next `closing` (or the end of the line).
// Double-byte characters are stepped over whole. `destination` is left untouched when `opening`
// does not occur, and emptied when the text is empty.
void ExtractBetween(std::string_view text, char opening, char closing, std::string& destination);

// The number of bytes before the first NUL, CR or LF.
int LineLength(std::string_view text);
int LineLength(const char* text);  // 0 for nullptr

// 0 when the text is not empty and every byte is in the class, else -1.
// Class 1: 0-9; class 2: hexadecimal digits; class 3: 1-4. Any other class fails.
int CheckCharClass(std::string_view text, int characterClass);

// "1,234.56" -> "123456": commas removed, read as a number, times 100, truncated to a
// whole number (after rounding to six decimals). Independent of the process locale.
void AmountToCents(std::string_view amount, std::string& destination);

// "123456" -> "1234.56" with `decimals` digits after the point; short texts get leading
// zeros ("5" -> "0.05", "-5" -> "-0.05").
void CentsToAmount(std::string_view cents, std::string& destination, int decimals);

// CentsToAmount with two decimals, then optionally InsertThousandsSeparators.
void FormatCents(std::string_view cents, std::string& destination, bool separators);

// "1234567.89" -> "1,234,567.89". Leaves `destination` untouched when the point is at
// position 0 or 1; a text without a point is copied unchanged.
void InsertThousandsSeparators(std::string_view amount, std::string& destination);

// For "key=value" lines: true when `key` occurs anywhere in the line and the line holds
// `separator`; then the line is cut before the first separator and `destination` gets
// the text after it.
bool SplitKeyValue(std::string& line, std::string_view key, char separator,
                   std::string& destination);

}  // namespace brindlecot
