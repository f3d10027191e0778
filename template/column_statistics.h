#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindlecot {

struct Template;
class RecordTable;

inline constexpr std::uint8_t StatSum = 1;
inline constexpr std::uint8_t StatAvg = 2;
inline constexpr std::uint8_t StatMax = 4;
inline constexpr std::uint8_t StatMin = 8;

// A template holds at most this many entries, each label at most kMaxStatisticsLabel bytes.
inline constexpr int kMaxStatisticsEntries = 100;
inline constexpr std::size_t kMaxStatisticsLabel = 99;

// One column to aggregate, from the template's `statistics` value
// "index|functions|hundredths|label", entries separated by '-'.
struct StatisticsEntry {
    int fieldIndex = 0;          // the `index` of the field whose column is aggregated
    std::uint8_t functions = 0;  // StatSum | StatAvg | StatMax | StatMin
    bool hundredths = false;     // cells hold whole hundredths rather than amounts
    std::string label;           // GBK, printed after each value
    friend bool operator==(const StatisticsEntry&, const StatisticsEntry&) = default;
};

enum class StatisticsParseError {
    None,
    Malformed,       // an empty entry, or one without exactly three '|'
    TooManyEntries,  // more than kMaxStatisticsEntries
    LabelTooLong,    // a label longer than kMaxStatisticsLabel bytes
};

// The flag byte for the keywords "sum", "avg", "max", "min" found anywhere in the text.
std::uint8_t StatisticsFlags(std::string_view text);

// Appends the entries of a non-empty `statistics` value. On failure the entries parsed
// before the bad one stay appended (the loader refuses the template anyway).
StatisticsParseError ParseStatistics(std::string_view value, std::vector<StatisticsEntry>& entries);

// Remembers what was read from each row, so that recomputing after an edit reads only the
// rows that changed (a 100,000-row batch stays well within one screen refresh). Keep one
// per editor; it follows its table and template by itself and may be cleared any time.
class StatisticsCache {
public:
    void Clear();

private:
    friend std::string ComputeStatistics(const Template&, const RecordTable&, StatisticsCache&);
    // Reads the rows whose version changed since the last call.
    void Refresh(const RecordTable& table, std::vector<std::pair<int, bool>> columns);

    std::uint64_t tableIdentity_ = 0;
    std::vector<std::pair<int, bool>> columns_;  // column and hundredths flag per scan
    std::vector<std::uint64_t> rowVersions_;
    std::vector<char> rowUsed_;      // the row had no error
    std::vector<double> rowValues_;  // columns_.size() values per row, in hundredths
};

// The statistics text shown under the record table: the row count line, then for each
// entry whose field has a column, over the rows without an error, "heading: " and the
// wanted sums, averages, maxima and minima with two decimals and thousands separators.
// Lines end with CR LF; the pieces come from the "DialogModelDlg" catalogue (msg20-msg24).
std::string ComputeStatistics(const Template& definition, const RecordTable& table,
                              StatisticsCache& cache);
std::string ComputeStatistics(const Template& definition, const RecordTable& table);

}  // namespace brindlecot
