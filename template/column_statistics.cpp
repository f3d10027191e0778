#include "template/column_statistics.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <cmath>

#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "base/ordered_work.h"
#include "template/field_rules.h"
#include "template/number_text.h"
#include "template/record_table.h"
#include "template/template_definition.h"

namespace brindlecot {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = FindInGbk(text, separator, start);
        parts.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

struct ColumnFigures {
    double count = 0;
    double sum = 0;
    double maximum = 0;
    double minimum = 0;

    void Add(double value) {
        if (count == 0) {
            maximum = value;
            minimum = value;
        } else {
            if (value > maximum)
                maximum = value;
            if (value < minimum)
                minimum = value;
        }
        count += 1;
        sum += value;
    }
};

// One column of one entry to aggregate.
struct ColumnScan {
    const StatisticsEntry* entry;
    int column;
    ColumnFigures figures;
};

double CellValue(std::string_view cell, bool hundredths) {
    return hundredths ? ParseLeadingDouble(cell) : AmountToCentsValue(cell);
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
    if (text.find("sum") != std::string_view::npos)
        flags |= StatSum;
    if (text.find("avg") != std::string_view::npos)
        flags |= StatAvg;
    if (text.find("max") != std::string_view::npos)
        flags |= StatMax;
    if (text.find("min") != std::string_view::npos)
        flags |= StatMin;
    return flags;
}

StatisticsParseError ParseStatistics(std::string_view value,
                                     std::vector<StatisticsEntry>& entries) {
    const std::vector<std::string_view> texts = SplitAt(value, '-');
    if (entries.size() + texts.size() > static_cast<std::size_t>(kMaxStatisticsEntries)) {
        return StatisticsParseError::TooManyEntries;
    }
    for (const std::string_view text : texts) {
        const std::vector<std::string_view> parts = SplitAt(text, '|');
        if (text.empty() || parts.size() != 4)
            return StatisticsParseError::Malformed;
        if (parts[3].size() > kMaxStatisticsLabel)
            return StatisticsParseError::LabelTooLong;
        StatisticsEntry entry;
        entry.fieldIndex = ParseLeadingInt(parts[0]);
        entry.functions = StatisticsFlags(parts[1]);
        entry.hundredths = ParseLeadingInt(parts[2]) != 0;
        entry.label = std::string(parts[3]);
        entries.push_back(std::move(entry));
    }
    return StatisticsParseError::None;
}

// Every entry sees the same rows (those without an error), so all columns of a row are
// read together, touching each row's memory once.
void StatisticsCache::Refresh(const RecordTable& table, std::vector<std::pair<int, bool>> columns) {
    if (tableIdentity_ != table.Identity() || columns_ != columns) {
        Clear();
        tableIdentity_ = table.Identity();
        columns_ = std::move(columns);
    }
    const std::size_t width = columns_.size();
    // Without a column to read there is nothing to remember (and a table without columns
    // has no error column to look at).
    if (width == 0)
        return;
    const std::size_t rows = static_cast<std::size_t>(table.RowCount());
    rowVersions_.resize(rows, 0);
    rowUsed_.resize(rows, 0);
    rowValues_.resize(rows * width, 0);
    const int errorColumn = table.ErrorColumn();
    // Rows are independent: a big table is read on every core, each range into its own
    // slots of the cache.
    constexpr std::size_t kRowsPerRange = 32768;
    ForEachRange(rows, kRowsPerRange, [&](std::size_t first, std::size_t end) {
        for (std::size_t row = first; row < end; ++row) {
            const std::uint64_t version = table.RowVersion(static_cast<int>(row));
            if (rowVersions_[row] == version)
                continue;
            rowVersions_[row] = version;
            const RecordTable::RowReader reader = table.ReadRow(static_cast<int>(row));
            rowUsed_[row] = reader.Cell(errorColumn).empty();
            if (!rowUsed_[row])
                continue;
            for (std::size_t i = 0; i < width; ++i) {
                rowValues_[row * width + i] =
                    CellValue(reader.Cell(columns_[i].first), columns_[i].second);
            }
        }
    });
}

void StatisticsCache::Clear() {
    tableIdentity_ = 0;
    columns_.clear();
    rowVersions_.clear();
    rowUsed_.clear();
    rowValues_.clear();
}

std::string ComputeStatistics(const Template& definition, const RecordTable& table) {
    StatisticsCache cache;
    return ComputeStatistics(definition, table, cache);
}

std::string ComputeStatistics(const Template& definition, const RecordTable& table,
                              StatisticsCache& cache) {
    const int rows = table.RowCount();
    std::string text = FormatMessage(LoadMessage(catalogue::DialogModelDlg::kStatisticsRows),
                                     {static_cast<long long>(rows)});
    text += kLineEnd;
    if (rows == 0)
        return text;

    struct Piece {
        std::uint8_t flag;
        CatalogueKey key;
    };
    static constexpr Piece kPieces[] = {{StatSum, catalogue::DialogModelDlg::kStatisticsSum},
                                        {StatAvg, catalogue::DialogModelDlg::kStatisticsAverage},
                                        {StatMax, catalogue::DialogModelDlg::kStatisticsMaximum},
                                        {StatMin, catalogue::DialogModelDlg::kStatisticsMinimum}};

    std::vector<ColumnScan> scans;
    for (const StatisticsEntry& entry : definition.statistics) {
        const FieldItem* field = FindFieldByIndex(definition, entry.fieldIndex);
        if (field == nullptr || field->columnNumber < 1 ||
            field->columnNumber > table.FieldColumnCount())
            continue;
        scans.push_back({&entry, field->columnNumber, {}});
    }
    std::vector<std::pair<int, bool>> columns;
    columns.reserve(scans.size());
    for (const ColumnScan& scan : scans)
        columns.emplace_back(scan.column, scan.entry->hundredths);
    cache.Refresh(table, std::move(columns));
    const std::size_t width = scans.size();
    for (std::size_t row = 0; width > 0 && row < static_cast<std::size_t>(rows); ++row) {
        if (!cache.rowUsed_[row])
            continue;
        const double* values = &cache.rowValues_[row * width];
        for (std::size_t i = 0; i < width; ++i)
            scans[i].figures.Add(values[i]);
    }

    for (const ColumnScan& scan : scans) {
        text += kLineEnd;
        const ColumnFigures& figures = scan.figures;
        if (figures.count == 0)
            return text;
        const double average = figures.sum / figures.count;
        text += table.Heading(scan.column);
        text += ": ";
        for (const Piece& piece : kPieces) {
            if ((scan.entry->functions & piece.flag) == 0)
                continue;
            const double figure = piece.flag == StatSum   ? figures.sum
                                  : piece.flag == StatAvg ? average
                                  : piece.flag == StatMax ? figures.maximum
                                                          : figures.minimum;
            const std::string amount = AmountText(figure);
            text = FormatMessage(LoadMessage(piece.key),
                                 {std::string_view(text), std::string_view(amount),
                                  std::string_view(scan.entry->label)});
        }
    }
    return text;
}

}  // namespace brindlecot
