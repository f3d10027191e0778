#include "template/column_statistics.h"

#include <cmath>

#include "app/message_catalogue.h"
#include "app/message_format.h"
#include "template/field_rules.h"
#include "template/number_text.h"
#include "template/record_table.h"
#include "template/template_definition.h"

namespace brindlecot {
namespace {

constexpr std::string_view kSection = "DialogModelDlg";
constexpr std::string_view kLineEnd = "\r\n";

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = FindInGbk(text, separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

struct ColumnFigures {
    double count = 0;
    double sum = 0;
    double maximum = 0;
    double minimum = 0;
};

ColumnFigures Aggregate(const RecordTable& table, int column, bool hundredths) {
    ColumnFigures figures;
    const int errorColumn = table.ErrorColumn();
    for (int row = 0; row < table.RowCount(); ++row) {
        if (!table.Cell(row, errorColumn).empty()) continue;
        const std::string_view cell = table.Cell(row, column);
        const double value = hundredths ? ParseLeadingDouble(cell) : AmountToCentsValue(cell);
        if (figures.count == 0) {
            figures.maximum = value;
            figures.minimum = value;
        } else {
            if (value > figures.maximum) figures.maximum = value;
            if (value < figures.minimum) figures.minimum = value;
        }
        figures.count += 1;
        figures.sum += value;
    }
    return figures;
}

// One figure in whole hundredths, rounded, with two decimals and thousands separators.
std::string AmountText(double hundredths) {
    std::string amount;
    FormatCents(FormatFixed(hundredths, 0), amount, true);
    return amount;
}

}  // namespace

std::uint8_t StatisticsFlags(std::string_view text) {
    std::uint8_t flags = 0;
    if (text.find("sum") != std::string_view::npos) flags |= StatSum;
    if (text.find("avg") != std::string_view::npos) flags |= StatAvg;
    if (text.find("max") != std::string_view::npos) flags |= StatMax;
    if (text.find("min") != std::string_view::npos) flags |= StatMin;
    return flags;
}

StatisticsParseError ParseStatistics(std::string_view value, std::vector<StatisticsEntry>& entries) {
    const std::vector<std::string_view> texts = SplitAt(value, '-');
    if (entries.size() + texts.size() > static_cast<std::size_t>(kMaxStatisticsEntries)) {
        return StatisticsParseError::TooManyEntries;
    }
    for (const std::string_view text : texts) {
        const std::vector<std::string_view> parts = SplitAt(text, '|');
        if (text.empty() || parts.size() != 4) return StatisticsParseError::Malformed;
        if (parts[3].size() > kMaxStatisticsLabel) return StatisticsParseError::LabelTooLong;
        StatisticsEntry entry;
        entry.fieldIndex = ParseLeadingInt(parts[0]);
        entry.functions = StatisticsFlags(parts[1]);
        entry.hundredths = ParseLeadingInt(parts[2]) != 0;
        entry.label = std::string(parts[3]);
        entries.push_back(std::move(entry));
    }
    return StatisticsParseError::None;
}

std::string ComputeStatistics(const Template& definition, const RecordTable& table) {
    const int rows = table.RowCount();
    std::string text = FormatMessage(LoadMessage(kSection, "msg20"), {static_cast<long long>(rows)});
    text += kLineEnd;
    if (rows == 0) return text;

    struct Piece {
        std::uint8_t flag;
        const char* key;
    };
    static constexpr Piece kPieces[] = {{StatSum, "msg21"}, {StatAvg, "msg22"}, {StatMax, "msg23"}, {StatMin, "msg24"}};

    for (const StatisticsEntry& entry : definition.statistics) {
        const FieldItem* field = FindFieldByIndex(definition, entry.fieldIndex);
        if (field == nullptr || field->columnNumber < 1 || field->columnNumber > table.FieldColumnCount()) continue;
        text += kLineEnd;
        const ColumnFigures figures = Aggregate(table, field->columnNumber, entry.hundredths);
        if (figures.count == 0) return text;
        const double average = figures.sum / figures.count;
        text += table.Heading(field->columnNumber);
        text += ": ";
        for (const Piece& piece : kPieces) {
            if ((entry.functions & piece.flag) == 0) continue;
            const double figure = piece.flag == StatSum   ? figures.sum
                                  : piece.flag == StatAvg ? average
                                  : piece.flag == StatMax ? figures.maximum
                                                          : figures.minimum;
            const std::string amount = AmountText(figure);
            text = FormatMessage(LoadMessage(kSection, piece.key),
                                 {std::string_view(text), std::string_view(amount), std::string_view(entry.label)});
        }
    }
    return text;
}

}  // namespace brindlecot
