#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindlecot {

// An RGB colour for drawing a row.
struct RowColour {
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    friend bool operator==(const RowColour&, const RowColour&) = default;
};

inline constexpr RowColour kErrorRowColour{255, 140, 140};
inline constexpr RowColour kNormalRowColour{255, 255, 255};

struct RecordColumn {
    std::string heading;  // GBK
    int width = 0;        // in pixels, as the grid shows it
};

// Told about every change so that a view (the editor's grid) can follow. Calls come in
// the pairs a Qt item model needs: "about to" before the data changes, the other after.
class RecordTableObserver {
public:
    virtual ~RecordTableObserver() = default;
    virtual void RowsAboutToBeInserted(int /*first*/, int /*last*/) {}
    virtual void RowsInserted(int /*first*/, int /*last*/) {}
    virtual void RowsAboutToBeRemoved(int /*first*/, int /*last*/) {}
    virtual void RowsRemoved(int /*first*/, int /*last*/) {}
    virtual void CellsChanged(int /*firstRow*/, int /*lastRow*/, int /*firstColumn*/,
                              int /*lastColumn*/) {}
    // Everything may have changed: columns, rows, cells.
    virtual void AboutToReset() {}
    virtual void Reset() {}
};

// The records of one template editor, the only copy of them; the grid is a view of it.
//
// Columns: 0 is the row number (1, 2, ... always matching the row's position), then one
// column per visible field, then the error column (the last one), which holds the row's
// first rule message or nothing. A row is an error row exactly when its error text is
// not empty; it is drawn in kErrorRowColour, other rows in kNormalRowColour.
//
// Rows are stored one allocation each (all cell texts of a row packed together), so a
// table of 100,000 rows by 20 fields stays small and is scanned quickly by column.
// Row and column arguments out of range are ignored (getters give empty results).
class RecordTable {
public:
    RecordTable();
    RecordTable(const RecordTable& other);
    RecordTable& operator=(const RecordTable& other);
    RecordTable(RecordTable&& other) noexcept;
    RecordTable& operator=(RecordTable&& other) noexcept;
    ~RecordTable() = default;

    // For caches of values derived from the rows (see StatisticsCache): Identity differs
    // between tables and changes with the columns; a row's version changes whenever its
    // cells do, and a new row gets a version no row of this table had before.
    std::uint64_t Identity() const { return identity_; }
    std::uint64_t RowVersion(int row) const {
        return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].version : 0;
    }

    // --- columns ---------------------------------------------------------------
    // Replaces all columns (row number column, field columns, error column) and removes
    // every row.
    void SetColumns(std::vector<RecordColumn> columns);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    // Heading of a column; empty text out of range (see HasColumn).
    std::string_view Heading(int column) const;
    int ColumnWidth(int column) const;
    bool HasColumn(int column) const { return column >= 0 && column < ColumnCount(); }
    // The last column, or -1 while the table has fewer than two columns.
    int ErrorColumn() const { return ColumnCount() >= 2 ? ColumnCount() - 1 : -1; }
    // Columns 1 .. FieldColumnCount() hold field values.
    int FieldColumnCount() const { return ColumnCount() >= 2 ? ColumnCount() - 2 : 0; }

    // --- rows ------------------------------------------------------------------
    int RowCount() const { return static_cast<int>(rows_.size()); }
    void Reserve(int rows);
    // Appends an empty row (all cells and the error text empty); returns its position.
    int AppendRow();
    // Appends a row with the given field cells (columns 1, 2, ...; missing ones empty,
    // extra ones ignored) and error text; returns its position.
    int AppendRow(std::span<const std::string> fieldCells, std::string_view errorText = {});
    // Inserts an empty row before `row` (RowCount() appends). False when out of range.
    bool InsertRow(int row);
    bool DeleteRow(int row);
    // Deletes the given rows in one pass, in any order; duplicates and positions out of
    // range are ignored. Returns the number of rows deleted. The rows after them move up.
    int DeleteRows(std::span<const int> rows);
    void ClearRows();

    // Rows set aside with their cells and error texts as stored, each with its position,
    // so that a change can be taken back (undo) and done again without copying the rows
    // it did not touch. Only valid for a table with the same columns.
    class KeptRows {
    public:
        int Count() const { return static_cast<int>(positions_.size()); }
        bool Empty() const { return positions_.empty(); }
        // Ascending.
        const std::vector<int>& Positions() const { return positions_; }

    private:
        friend class RecordTable;
        std::vector<int> positions_;
        std::vector<std::string> packed_;
    };
    // `rows` below are ascending positions without duplicates, all in range; anything else
    // gives an empty KeptRows and changes nothing.
    // Copies of the rows.
    KeptRows CopyRows(std::span<const int> rows) const;
    // Removes the rows and hands them over, moved, not copied.
    KeptRows TakeRows(std::span<const int> rows);
    // Every row, taken out; the table is left empty.
    KeptRows TakeAllRows();
    // Inserts kept rows so that each stands at its kept position afterwards; `rows` is
    // emptied. False (nothing changed) when a position lies beyond the end.
    bool PutBackRows(KeptRows& rows);
    // Exchanges the kept contents with those of the rows at the same positions.
    bool SwapRows(KeptRows& rows);

    // Rows made apart from the table (on another thread, for instance) and appended in
    // one go. Only valid for a table with the same columns as the one it was made for.
    class RowBatch {
    public:
        explicit RowBatch(const RecordTable& table);
        // As AppendRow: field cells (missing ones empty, extra ones ignored) and the error
        // text. False, and nothing added, for a row too big to store.
        bool Add(std::span<const std::string> fieldCells, std::string_view errorText = {});
        int Count() const { return static_cast<int>(packed_.size()); }

    private:
        friend class RecordTable;
        std::size_t stored_;
        std::vector<std::string> packed_;
        int errorRows_ = 0;
    };
    // Appends the rows of `batch` and empties it; returns the position of its first row.
    int AppendRows(RowBatch&& batch);

    // Fast read access to one row's cells for scans over many rows; columns as for Cell
    // (1 .. ErrorColumn()), checked by the caller. Valid until the table next changes.
    class RowReader {
    public:
        std::string_view Cell(int column) const;

    private:
        friend class RecordTable;
        RowReader(const std::string& packed, std::size_t storedCells)
            : packed_(&packed), stored_(storedCells) {}
        const std::string* packed_;
        std::size_t stored_;
    };
    // `row` must be in range.
    RowReader ReadRow(int row) const {
        return RowReader(rows_[static_cast<std::size_t>(row)].packed,
                         static_cast<std::size_t>(StoredCellCount()));
    }

    // --- cells -----------------------------------------------------------------
    // The text of a field cell or the error column (column >= 1). The view stays valid
    // until the table next changes.
    std::string_view Cell(int row, int column) const;
    // Sets a field cell or the error text; false out of range or for column 0.
    bool SetCell(int row, int column, std::string_view text);
    std::string_view ErrorText(int row) const { return Cell(row, ErrorColumn()); }
    bool SetErrorText(int row, std::string_view text) { return SetCell(row, ErrorColumn(), text); }
    bool IsErrorRow(int row) const;
    // Rows whose error text is not empty, kept as the rows change.
    int ErrorRowCount() const { return errorRows_; }
    // The first error row after `row` (forward) or before it (backward), going round the
    // end of the table; -1 when there is none. `row` may be -1 to start at either end.
    int NextErrorRow(int row, bool forward) const;
    RowColour Colour(int row) const { return IsErrorRow(row) ? kErrorRowColour : kNormalRowColour; }
    // "1" for row 0, and so on.
    static std::string RowNumberText(int row);
    // What the grid shows in any column, the row number column included.
    std::string DisplayText(int row, int column) const;
    // All field cells of a row, columns 1 .. FieldColumnCount().
    std::vector<std::string> FieldCells(int row) const;

    // Row numbers and colours follow the rows by themselves; this only tells the view
    // that the row number column and the colours may look different now.
    void RenumberRows();

    // --- selection (what the grid has selected; kept here so commands run without Qt) --
    void SetRowSelected(int row, bool selected);
    bool IsRowSelected(int row) const;
    void ClearSelection();
    // Selected rows in ascending order.
    std::vector<int> SelectedRows() const;

    // --- views -----------------------------------------------------------------
    // Not owned; nullptr for none. The observer must outlive the table or be removed.
    void SetObserver(RecordTableObserver* observer) { observer_ = observer; }

    // While a BulkChange lives, the observer hears nothing; when the outermost one ends it
    // hears one reset. For imports and other changes of many rows.
    class BulkChange {
    public:
        explicit BulkChange(RecordTable& table);
        ~BulkChange();
        BulkChange(const BulkChange&) = delete;
        BulkChange& operator=(const BulkChange&) = delete;

    private:
        RecordTable& table_;
    };

private:
    // Cells stored per row: columns 1 .. ColumnCount()-1, i.e. the field cells and the
    // error text, as `storedCells_` end offsets (uint32 each) followed by their bytes.
    struct Row {
        std::string packed;
        std::uint64_t version = 0;
        bool selected = false;
    };

    static std::uint64_t NewIdentity();
    // Field cells and error text packed as a Row stores them; nothing when too big.
    static std::optional<std::string> Pack(std::size_t storedCells,
                                           std::span<const std::string> fieldCells,
                                           std::string_view errorText);
    bool Ascending(std::span<const int> rows) const;
    bool PackedIsError(const std::string& packed) const;

    int StoredCellCount() const { return ColumnCount() > 1 ? ColumnCount() - 1 : 0; }
    Row MakeEmptyRow();
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    bool Notifying() const { return observer_ != nullptr && bulkDepth_ == 0; }

    std::vector<RecordColumn> columns_;
    std::vector<Row> rows_;
    RecordTableObserver* observer_ = nullptr;
    int bulkDepth_ = 0;
    std::uint64_t identity_ = 0;
    std::uint64_t lastVersion_ = 0;
    int errorRows_ = 0;
};

}  // namespace brindlecot
