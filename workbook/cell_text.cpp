#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/gbk_text.h"
#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {

std::string FormatGeneralNumber(double value) {
    if (!std::isfinite(value))
        return "#NUM!";
    if (value == 0)
        return "0";  // also turns -0 into 0
    // to_chars, unlike printf, ignores the locale: the decimal point is always '.'.
    char buffer[64];
    std::to_chars_result done{};
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        done = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    } else {
        // general format drops trailing zeros and switches to an exponent for very large
        // or small magnitudes; a spreadsheet writes that exponent with a capital E
        done = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    }
    std::string text(buffer, done.ptr);
    if (auto e = text.find('e'); e != std::string::npos)
        text[e] = 'E';
    return text;
}

DateTimeKind ClassifyBuiltInFormat(unsigned id) {
    // 14-22 everywhere; 27-36 and 50-58 are the East Asian date and time formats.
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58))
        return DateTimeKind::Date;
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || (id >= 45 && id <= 47))
        return DateTimeKind::Time;
    if (id == 22)
        return DateTimeKind::DateTime;
    return DateTimeKind::None;
}

namespace {

bool LowerEquals(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c) != lower[i])
            return false;
    }
    return true;
}

}  // namespace

DateTimeKind ClassifyFormatCode(std::string_view code) {
    bool date = false;
    bool time = false;
    char previous = 0;  // last date/time letter seen, to tell minutes from months
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';')
            break;       // only the first section decides for positive numbers
        if (c == '"') {  // literal text
            const auto end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                break;
            i = end;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {  // escaped, padding and fill characters
            ++i;
            continue;
        }
        if (c == '[') {  // colours, conditions and locales; [h], [mm], [ss] are elapsed times
            const auto end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                break;
            const std::string_view inside = code.substr(i + 1, end - i - 1);
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) {
                time = true;
                previous = static_cast<char>(inside[0] | 0x20);
            }
            i = end;
            continue;
        }
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        switch (lower) {
            case 'y':
            case 'd':
                date = true;
                previous = lower;
                break;
            case 'h':
            case 's':
                time = true;
                previous = lower;
                break;
            case 'm': {
                std::size_t end = i;
                while (end < code.size() && (code[end] == 'm' || code[end] == 'M'))
                    ++end;
                std::size_t next = end;
                while (next < code.size() &&
                       (code[next] == ':' || code[next] == ' ' || code[next] == '.'))
                    ++next;
                // minutes follow hours or precede seconds; any other m is a month
                const bool minutes = previous == 'h' || (next < code.size() &&
                                                         (code[next] == 's' || code[next] == 'S'));
                (minutes ? time : date) = true;
                previous = 'm';
                i = end - 1;
                break;
            }
            case 'a':
                if (LowerEquals(code.substr(i, 5), "am/pm") ||
                    LowerEquals(code.substr(i, 3), "a/p")) {
                    time = true;
                    i += LowerEquals(code.substr(i, 5), "am/pm") ? 4 : 2;
                }
                break;
            default:
                break;
        }
    }
    if (date && time)
        return DateTimeKind::DateTime;
    if (date)
        return DateTimeKind::Date;
    if (time)
        return DateTimeKind::Time;
    return DateTimeKind::None;
}

std::optional<std::string> LiteralSectionText(std::string_view code, double value) {
    // Cut the code into its sections, honouring quotes, escapes and brackets.
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                return std::nullopt;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const auto end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                return std::nullopt;
            i = end;
        } else if (c == ';') {
            sections.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(code.substr(start));
    std::size_t chosen = 0;
    if (value < 0 && sections.size() > 1)
        chosen = 1;
    if (value == 0 && sections.size() > 2)
        chosen = 2;
    const std::string_view section = sections[chosen];
    if (section.empty() || ClassifyFormatCode(section) != DateTimeKind::None)
        return std::nullopt;

    std::string text;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '"') {
            const auto end = section.find('"', i + 1);
            text += section.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '\\') {
            if (i + 1 < section.size())
                text += section[++i];
        } else if (c == '_' || c == '*') {
            ++i;  // padding and fill show no text of their own
        } else if (c == '[') {
            i = section.find(']', i + 1);
        } else if (std::string_view("0#?@.,%Ee/").find(c) != std::string_view::npos ||
                   ((c == 'G' || c == 'g') && LowerEquals(section.substr(i, 7), "general"))) {
            return std::nullopt;  // the number itself is shown
        } else {
            text += c;
        }
    }
    return text;
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long days, long long& year, unsigned& month, unsigned& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<long long>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string FormatSerialDate(double serial, DateTimeKind kind, bool date1904) {
    // Beyond 9999-12-31 (or negative) a spreadsheet shows no date; show the number.
    const double pastLastDay = date1904 ? 2957004 : 2958466;
    if (!std::isfinite(serial) || serial < 0 || serial >= pastLastDay)
        return FormatGeneralNumber(serial);
    long long days = static_cast<long long>(std::floor(serial));
    long long seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    char date[64] = "";
    if (kind == DateTimeKind::Date || kind == DateTimeKind::DateTime) {
        long long year = 0;
        unsigned month = 0;
        unsigned day = 0;
        if (date1904) {
            CivilFromDays(days - 24107, year, month, day);  // 1904-01-01 is day 0
            std::snprintf(date, sizeof date, "%04lld-%02u-%02u", year, month, day);
        } else if (days == 60) {
            std::snprintf(date, sizeof date, "1900-02-29");  // the 1900 system's phantom leap day
        } else if (days == 0) {
            std::snprintf(date, sizeof date, "1900-01-00");
        } else {
            CivilFromDays(days - (days < 60 ? 25568 : 25569), year, month, day);
            std::snprintf(date, sizeof date, "%04lld-%02u-%02u", year, month, day);
        }
    }
    char time[64] = "";
    if (kind == DateTimeKind::Time || kind == DateTimeKind::DateTime) {
        std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    }
    if (kind == DateTimeKind::DateTime)
        return std::string(date) + " " + time;
    return kind == DateTimeKind::Time ? std::string(time) : std::string(date);
}

namespace {

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

using Converter = std::optional<std::string> (*)(std::string_view);

// iconv is opened per call, so converting hundreds of thousands of cells one by one would
// dominate reading and writing. Non-ASCII texts are joined with NUL (which neither encoding
// uses inside a character) and converted in one pass; only when that fails are they
// converted one by one to find the culprit.
std::optional<std::size_t> ConvertTexts(std::vector<std::string*>& texts, Converter convert) {
    std::vector<std::size_t> pending;
    bool holdsNul = false;
    std::size_t total = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (IsAscii(*texts[i]))
            continue;
        pending.push_back(i);
        holdsNul = holdsNul || texts[i]->find('\0') != std::string::npos;
        total += texts[i]->size() + 1;
    }
    if (pending.empty())
        return std::nullopt;
    if (!holdsNul) {
        std::string joined;
        joined.reserve(total);
        for (std::size_t i : pending) {
            joined += *texts[i];
            joined += '\0';
        }
        if (auto converted = convert(joined)) {
            std::vector<std::pair<std::size_t, std::size_t>> pieces;
            pieces.reserve(pending.size());
            std::size_t start = 0;
            for (std::size_t end; (end = converted->find('\0', start)) != std::string::npos;
                 start = end + 1)
                pieces.emplace_back(start, end - start);
            if (pieces.size() == pending.size() && start == converted->size()) {
                // Assigned in place: each text already has room for its shorter GBK form.
                for (std::size_t k = 0; k < pending.size(); ++k)
                    texts[pending[k]]->assign(*converted, pieces[k].first, pieces[k].second);
                return std::nullopt;
            }
        }
    }
    for (std::size_t i : pending) {
        auto converted = convert(*texts[i]);
        if (!converted)
            return i;
        *texts[i] = std::move(*converted);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> ConvertUtf8TextsToGbk(std::vector<std::string*>& texts) {
    return ConvertTexts(texts, &Utf8ToGbk);
}

std::optional<std::size_t> ConvertGbkTextsToUtf8(std::vector<std::string*>& texts) {
    return ConvertTexts(texts, &GbkToUtf8);
}

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + length > utf8.size())
            return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

}  // namespace brindlecot::workbook_detail

namespace brindlecot {

// Beside the other cell texts, so that the readers and writers that name cells in their
// messages need nothing of the dispatching module above them.
std::string CellReference(std::size_t row, std::size_t column) {
    std::string letters;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(row + 1);
}

}  // namespace brindlecot
