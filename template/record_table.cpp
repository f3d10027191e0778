#include "template/record_table.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

namespace brindlecot {
namespace {

constexpr std::size_t kOffsetSize = sizeof(std::uint32_t);

std::uint32_t ReadEnd(const std::string& packed, std::size_t cell) {
    std::uint32_t end = 0;
    std::memcpy(&end, packed.data() + cell * kOffsetSize, kOffsetSize);
    return end;
}

void WriteEnd(std::string& packed, std::size_t cell, std::uint32_t end) {
    std::memcpy(packed.data() + cell * kOffsetSize, &end, kOffsetSize);
}

}  // namespace

std::uint64_t RecordTable::NewIdentity() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

RecordTable::RecordTable() : identity_(NewIdentity()) {}

// A copy is a table of its own: caches made for the original must not match it, and it
// has no view yet.
RecordTable::RecordTable(const RecordTable& other)
    : columns_(other.columns_),
      rows_(other.rows_),
      identity_(NewIdentity()),
      lastVersion_(other.lastVersion_),
      errorRows_(other.errorRows_) {}

RecordTable& RecordTable::operator=(const RecordTable& other) {
    if (this != &other) {
        if (Notifying())
            observer_->AboutToReset();
        columns_ = other.columns_;
        rows_ = other.rows_;
        identity_ = NewIdentity();
        lastVersion_ = other.lastVersion_;
        errorRows_ = other.errorRows_;
        if (Notifying())
            observer_->Reset();
    }
    return *this;
}

// The moved-from table is left empty and unlike any other, the view staying with it.
RecordTable::RecordTable(RecordTable&& other) noexcept
    : columns_(std::move(other.columns_)),
      rows_(std::move(other.rows_)),
      identity_(other.identity_),
      lastVersion_(other.lastVersion_),
      errorRows_(other.errorRows_) {
    other.columns_.clear();
    other.rows_.clear();
    other.errorRows_ = 0;
    other.identity_ = NewIdentity();
}

RecordTable& RecordTable::operator=(RecordTable&& other) noexcept {
    if (this != &other) {
        if (Notifying())
            observer_->AboutToReset();
        columns_ = std::move(other.columns_);
        rows_ = std::move(other.rows_);
        identity_ = other.identity_;
        lastVersion_ = other.lastVersion_;
        errorRows_ = other.errorRows_;
        other.columns_.clear();
        other.rows_.clear();
        other.errorRows_ = 0;
        other.identity_ = NewIdentity();
        if (Notifying())
            observer_->Reset();
    }
    return *this;
}

// --- columns -----------------------------------------------------------------

void RecordTable::SetColumns(std::vector<RecordColumn> columns) {
    if (Notifying())
        observer_->AboutToReset();
    identity_ = NewIdentity();
    columns_ = std::move(columns);
    rows_.clear();
    errorRows_ = 0;
    if (Notifying())
        observer_->Reset();
}

std::string_view RecordTable::Heading(int column) const {
    return HasColumn(column) ? std::string_view(columns_[static_cast<std::size_t>(column)].heading)
                             : std::string_view();
}

int RecordTable::ColumnWidth(int column) const {
    return HasColumn(column) ? columns_[static_cast<std::size_t>(column)].width : 0;
}

// --- rows --------------------------------------------------------------------

RecordTable::Row RecordTable::MakeEmptyRow() {
    Row row;
    row.version = ++lastVersion_;
    row.packed.assign(static_cast<std::size_t>(StoredCellCount()) * kOffsetSize, '\0');
    return row;
}

void RecordTable::Reserve(int rows) {
    if (rows > 0)
        rows_.reserve(static_cast<std::size_t>(rows));
}

int RecordTable::AppendRow() {
    const int position = RowCount();
    if (Notifying())
        observer_->RowsAboutToBeInserted(position, position);
    rows_.push_back(MakeEmptyRow());
    if (Notifying())
        observer_->RowsInserted(position, position);
    return position;
}

std::optional<std::string> RecordTable::Pack(std::size_t stored,
                                             std::span<const std::string> fieldCells,
                                             std::string_view errorText) {
    auto textOf = [&](std::size_t cell) -> std::string_view {
        if (stored > 0 && cell == stored - 1)
            return errorText;
        return cell < fieldCells.size() ? std::string_view(fieldCells[cell]) : std::string_view();
    };
    std::size_t bytes = 0;
    for (std::size_t cell = 0; cell < stored; ++cell)
        bytes += textOf(cell).size();
    if (bytes > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;

    std::string packed;
    // One allocation per row: reserving after the resize would allocate twice.
    packed.reserve(stored * kOffsetSize + bytes);
    packed.resize(stored * kOffsetSize);
    std::uint32_t end = 0;
    for (std::size_t cell = 0; cell < stored; ++cell) {
        const std::string_view text = textOf(cell);
        packed.append(text);
        end += static_cast<std::uint32_t>(text.size());
        WriteEnd(packed, cell, end);
    }
    return packed;
}

int RecordTable::AppendRow(std::span<const std::string> fieldCells, std::string_view errorText) {
    const std::size_t stored = static_cast<std::size_t>(StoredCellCount());
    std::optional<std::string> packed = Pack(stored, fieldCells, errorText);
    if (!packed)
        return -1;
    Row row;
    row.version = ++lastVersion_;
    row.packed = std::move(*packed);
    const int position = RowCount();
    if (Notifying())
        observer_->RowsAboutToBeInserted(position, position);
    if (stored > 0 && !errorText.empty())
        ++errorRows_;
    rows_.push_back(std::move(row));
    if (Notifying())
        observer_->RowsInserted(position, position);
    return position;
}

RecordTable::RowBatch::RowBatch(const RecordTable& table)
    : stored_(static_cast<std::size_t>(table.StoredCellCount())) {}

bool RecordTable::RowBatch::Add(std::span<const std::string> fieldCells,
                                std::string_view errorText) {
    std::optional<std::string> packed = Pack(stored_, fieldCells, errorText);
    if (!packed)
        return false;
    if (stored_ > 0 && !errorText.empty())
        ++errorRows_;
    packed_.push_back(std::move(*packed));
    return true;
}

int RecordTable::AppendRows(RowBatch&& batch) {
    const int first = RowCount();
    if (batch.packed_.empty())
        return first;
    const int last = first + batch.Count() - 1;
    if (Notifying())
        observer_->RowsAboutToBeInserted(first, last);
    for (std::string& packed : batch.packed_) {
        Row row;
        row.version = ++lastVersion_;
        row.packed = std::move(packed);
        rows_.push_back(std::move(row));
    }
    errorRows_ += batch.errorRows_;
    batch.packed_.clear();
    batch.errorRows_ = 0;
    if (Notifying())
        observer_->RowsInserted(first, last);
    return first;
}

bool RecordTable::InsertRow(int row) {
    if (row < 0 || row > RowCount())
        return false;
    if (Notifying())
        observer_->RowsAboutToBeInserted(row, row);
    rows_.insert(rows_.begin() + row, MakeEmptyRow());
    if (Notifying())
        observer_->RowsInserted(row, row);
    return true;
}

bool RecordTable::DeleteRow(int row) {
    if (!ValidRow(row))
        return false;
    if (Notifying())
        observer_->RowsAboutToBeRemoved(row, row);
    if (IsErrorRow(row))
        --errorRows_;
    rows_.erase(rows_.begin() + row);
    if (Notifying())
        observer_->RowsRemoved(row, row);
    return true;
}

int RecordTable::DeleteRows(std::span<const int> rows) {
    std::vector<char> doomed(rows_.size(), 0);
    int first = RowCount();
    int last = -1;
    int count = 0;
    for (const int row : rows) {
        if (!ValidRow(row) || doomed[static_cast<std::size_t>(row)])
            continue;
        doomed[static_cast<std::size_t>(row)] = 1;
        first = std::min(first, row);
        last = std::max(last, row);
        ++count;
    }
    if (count == 0)
        return 0;
    // A view follows one contiguous block row by row; scattered rows become one reset,
    // which is far cheaper for it than one removal per block.
    const bool contiguous = last - first + 1 == count;
    if (Notifying()) {
        if (contiguous)
            observer_->RowsAboutToBeRemoved(first, last);
        else
            observer_->AboutToReset();
    }
    std::size_t kept = static_cast<std::size_t>(first);
    for (std::size_t row = static_cast<std::size_t>(first); row < rows_.size(); ++row) {
        if (doomed[row]) {
            if (IsErrorRow(static_cast<int>(row)))
                --errorRows_;
            continue;
        }
        if (kept != row)
            rows_[kept] = std::move(rows_[row]);
        ++kept;
    }
    rows_.resize(kept);
    if (Notifying()) {
        if (contiguous)
            observer_->RowsRemoved(first, last);
        else
            observer_->Reset();
    }
    return count;
}

void RecordTable::ClearRows() {
    if (rows_.empty())
        return;
    if (Notifying())
        observer_->AboutToReset();
    rows_.clear();
    errorRows_ = 0;
    if (Notifying())
        observer_->Reset();
}

// --- rows kept aside ------------------------------------------------------------

bool RecordTable::Ascending(std::span<const int> rows) const {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!ValidRow(rows[i]) || (i > 0 && rows[i] <= rows[i - 1]))
            return false;
    }
    return true;
}

bool RecordTable::PackedIsError(const std::string& packed) const {
    const std::size_t stored = static_cast<std::size_t>(StoredCellCount());
    if (stored == 0 || packed.size() < stored * kOffsetSize)
        return false;
    const std::uint32_t before = stored == 1 ? 0 : ReadEnd(packed, stored - 2);
    return ReadEnd(packed, stored - 1) > before;
}

RecordTable::KeptRows RecordTable::CopyRows(std::span<const int> rows) const {
    KeptRows kept;
    if (!Ascending(rows))
        return kept;
    kept.positions_.assign(rows.begin(), rows.end());
    kept.packed_.reserve(rows.size());
    for (const int row : rows)
        kept.packed_.push_back(rows_[static_cast<std::size_t>(row)].packed);
    return kept;
}

RecordTable::KeptRows RecordTable::TakeRows(std::span<const int> rows) {
    KeptRows kept;
    if (rows.empty() || !Ascending(rows))
        return kept;
    kept.positions_.assign(rows.begin(), rows.end());
    kept.packed_.reserve(rows.size());
    const int first = rows.front();
    const int last = rows.back();
    const bool contiguous = last - first + 1 == static_cast<int>(rows.size());
    if (Notifying()) {
        if (contiguous)
            observer_->RowsAboutToBeRemoved(first, last);
        else
            observer_->AboutToReset();
    }
    std::size_t next = 0;
    std::size_t keptAt = static_cast<std::size_t>(first);
    for (std::size_t row = static_cast<std::size_t>(first); row < rows_.size(); ++row) {
        if (next < rows.size() && static_cast<std::size_t>(rows[next]) == row) {
            ++next;
            if (PackedIsError(rows_[row].packed))
                --errorRows_;
            kept.packed_.push_back(std::move(rows_[row].packed));
            continue;
        }
        if (keptAt != row)
            rows_[keptAt] = std::move(rows_[row]);
        ++keptAt;
    }
    rows_.resize(keptAt);
    if (Notifying()) {
        if (contiguous)
            observer_->RowsRemoved(first, last);
        else
            observer_->Reset();
    }
    return kept;
}

RecordTable::KeptRows RecordTable::TakeAllRows() {
    std::vector<int> all(rows_.size());
    for (std::size_t row = 0; row < all.size(); ++row)
        all[row] = static_cast<int>(row);
    return TakeRows(all);
}

bool RecordTable::PutBackRows(KeptRows& rows) {
    if (rows.Empty())
        return true;
    const std::vector<int>& positions = rows.positions_;
    const std::size_t total = rows_.size() + positions.size();
    if (static_cast<std::size_t>(positions.back()) >= total)
        return false;
    const int first = positions.front();
    const int last = positions.back();
    const bool contiguous = last - first + 1 == rows.Count();
    if (Notifying()) {
        if (contiguous)
            observer_->RowsAboutToBeInserted(first, last);
        else
            observer_->AboutToReset();
    }
    std::vector<Row> merged;
    merged.reserve(total);
    std::size_t old = 0;
    std::size_t next = 0;
    for (std::size_t at = 0; at < total; ++at) {
        if (next < positions.size() && static_cast<std::size_t>(positions[next]) == at) {
            Row row;
            row.packed = std::move(rows.packed_[next]);
            row.version = ++lastVersion_;
            if (PackedIsError(row.packed))
                ++errorRows_;
            merged.push_back(std::move(row));
            ++next;
        } else {
            merged.push_back(std::move(rows_[old++]));
        }
    }
    rows_ = std::move(merged);
    rows = KeptRows{};
    if (Notifying()) {
        if (contiguous)
            observer_->RowsInserted(first, last);
        else
            observer_->Reset();
    }
    return true;
}

bool RecordTable::SwapRows(KeptRows& rows) {
    if (rows.Empty())
        return true;
    if (!Ascending(rows.positions_))
        return false;
    for (std::size_t i = 0; i < rows.positions_.size(); ++i) {
        Row& row = rows_[static_cast<std::size_t>(rows.positions_[i])];
        errorRows_ -= PackedIsError(row.packed) ? 1 : 0;
        std::swap(row.packed, rows.packed_[i]);
        row.version = ++lastVersion_;
        errorRows_ += PackedIsError(row.packed) ? 1 : 0;
    }
    if (Notifying())
        observer_->CellsChanged(rows.positions_.front(), rows.positions_.back(), 0,
                                ColumnCount() - 1);
    return true;
}

// --- cells -------------------------------------------------------------------

std::string_view RecordTable::RowReader::Cell(int column) const {
    const std::size_t cell = static_cast<std::size_t>(column - 1);
    const std::size_t begin = cell == 0 ? 0 : ReadEnd(*packed_, cell - 1);
    const std::size_t end = ReadEnd(*packed_, cell);
    return std::string_view(packed_->data() + stored_ * kOffsetSize + begin, end - begin);
}

std::string_view RecordTable::Cell(int row, int column) const {
    if (!ValidRow(row) || column < 1 || column >= ColumnCount())
        return {};
    return ReadRow(row).Cell(column);
}

bool RecordTable::SetCell(int row, int column, std::string_view text) {
    if (!ValidRow(row) || column < 1 || column >= ColumnCount())
        return false;
    std::string& packed = rows_[static_cast<std::size_t>(row)].packed;
    const std::size_t stored = static_cast<std::size_t>(StoredCellCount());
    const std::size_t cell = static_cast<std::size_t>(column - 1);
    const std::size_t begin = cell == 0 ? 0 : ReadEnd(packed, cell - 1);
    const std::size_t end = ReadEnd(packed, cell);
    const std::size_t total = ReadEnd(packed, stored - 1);
    if (total - (end - begin) + text.size() > std::numeric_limits<std::uint32_t>::max())
        return false;

    const bool wasError = IsErrorRow(row);
    rows_[static_cast<std::size_t>(row)].version = ++lastVersion_;
    packed.replace(stored * kOffsetSize + begin, end - begin, text);
    const std::uint32_t newEnd = static_cast<std::uint32_t>(begin + text.size());
    const std::uint32_t oldEnd = static_cast<std::uint32_t>(end);
    for (std::size_t later = cell; later < stored; ++later) {
        WriteEnd(packed, later, ReadEnd(packed, later) - oldEnd + newEnd);
    }
    if (wasError != IsErrorRow(row))
        errorRows_ += wasError ? -1 : 1;
    if (Notifying()) {
        // A change of error state recolours the whole row.
        if (wasError != IsErrorRow(row))
            observer_->CellsChanged(row, row, 0, ColumnCount() - 1);
        else
            observer_->CellsChanged(row, row, column, column);
    }
    return true;
}

bool RecordTable::IsErrorRow(int row) const {
    return !ErrorText(row).empty();
}

int RecordTable::NextErrorRow(int row, bool forward) const {
    const int count = RowCount();
    if (errorRows_ == 0 || count == 0)
        return -1;
    int at = row < 0 || row >= count ? (forward ? -1 : count) : row;
    for (int step = 0; step < count; ++step) {
        at = forward ? (at + 1) % count : (at - 1 + count) % count;
        if (IsErrorRow(at))
            return at;
    }
    return -1;
}

std::string RecordTable::RowNumberText(int row) {
    return std::to_string(row + 1);
}

std::string RecordTable::DisplayText(int row, int column) const {
    if (!ValidRow(row) || !HasColumn(column))
        return {};
    if (column == 0)
        return RowNumberText(row);
    return std::string(Cell(row, column));
}

std::vector<std::string> RecordTable::FieldCells(int row) const {
    std::vector<std::string> cells;
    if (!ValidRow(row))
        return cells;
    cells.reserve(static_cast<std::size_t>(FieldColumnCount()));
    for (int column = 1; column <= FieldColumnCount(); ++column)
        cells.emplace_back(Cell(row, column));
    return cells;
}

void RecordTable::RenumberRows() {
    if (Notifying() && !rows_.empty())
        observer_->CellsChanged(0, RowCount() - 1, 0, ColumnCount() - 1);
}

// --- selection ---------------------------------------------------------------

void RecordTable::SetRowSelected(int row, bool selected) {
    if (ValidRow(row))
        rows_[static_cast<std::size_t>(row)].selected = selected;
}

bool RecordTable::IsRowSelected(int row) const {
    return ValidRow(row) && rows_[static_cast<std::size_t>(row)].selected;
}

void RecordTable::ClearSelection() {
    for (Row& row : rows_)
        row.selected = false;
}

std::vector<int> RecordTable::SelectedRows() const {
    std::vector<int> selected;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].selected)
            selected.push_back(static_cast<int>(row));
    }
    return selected;
}

// --- bulk changes ------------------------------------------------------------

RecordTable::BulkChange::BulkChange(RecordTable& table) : table_(table) {
    if (table_.Notifying())
        table_.observer_->AboutToReset();
    ++table_.bulkDepth_;
}

RecordTable::BulkChange::~BulkChange() {
    --table_.bulkDepth_;
    if (table_.Notifying())
        table_.observer_->Reset();
}

}  // namespace brindlecot
