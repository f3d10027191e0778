#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QTableView>

#include <string>

namespace brindlecot::controls {

// How an edit of a cell ended.
enum class CellEditEndKey {
    Other = 0,  // focus left the box, a click outside the cells, scrolling, the header
    Enter = 13,
    Escape = 27,  // the typed text is still handed over; the owner decides
};

// What the grid asks of and tells the window that holds it. The grid never stores an
// edited text itself: it hands the text over and the owner decides what the cell becomes.
class RecordGridOwner {
public:
    virtual ~RecordGridOwner() = default;
    // Asked before an edit box opens; false refuses the edit (no box, no end).
    virtual bool CellEditMayStart(int row, int column) = 0;
    // The edit box is gone; `text` is the box's text in GBK. Called from the event loop
    // after the edit has ended, never from inside the event that ended it.
    virtual void CellEditEnded(int row, int column, const std::string& text,
                               CellEditEndKey key) = 0;
    // A typed or pasted text holds characters that GBK cannot store; they were not taken.
    // Answers the message the grid shows beside the edit box.
    virtual QString UnencodableTextMessage(const QString& characters) = 0;
};

class CellEdit;

// The model's horizontal header answers this role with a column's width in pixels (an
// int); the grid sizes its columns by it whenever the model is reset.
inline constexpr int kColumnWidthRole = Qt::UserRole + 1;

// A table view whose cells open a one-line edit box on double-click. Full-row selection
// of any number of rows; row colours and texts come from the model. The edit ends, once,
// on Enter, Escape, loss of focus, a click outside the cells, scrolling, the wheel, or a
// press on the header; the text then goes to the owner.
class RecordGrid : public QTableView {
    Q_OBJECT

public:
    explicit RecordGrid(QWidget* parent = nullptr);
    ~RecordGrid() override;

    // Not owned; must outlive the grid or be reset to nullptr.
    void SetOwner(RecordGridOwner* owner) { owner_ = owner; }
    void setModel(QAbstractItemModel* model) override;

    // Opens an edit box over the cell unless the owner refuses or the cell does not exist;
    // an open edit is ended first. Answers the box, or nullptr.
    QLineEdit* BeginCellEdit(int row, int column);
    // Ends the open edit, if any, as a loss of focus does.
    void EndCellEdit();
    QLineEdit* CurrentEdit() const;
    CellEditEndKey LastEndKey() const { return lastEndKey_; }

    // The rows selected in the view, ascending.
    std::vector<int> SelectedRows() const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class CellEdit;
    void RepaintFocusMarks();
    void FinishEdit(CellEdit& edit, CellEditEndKey key);
    // Closes the open edit without handing its text over.
    void DropCellEdit();
    void ApplyColumnWidths();

    RecordGridOwner* owner_ = nullptr;
    QPointer<CellEdit> current_;
    CellEditEndKey lastEndKey_ = CellEditEndKey::Other;
    bool dropping_ = false;
};

// The edit box over one cell; it ends its edit itself and is then deleted.
class CellEdit final : public QLineEdit {
    Q_OBJECT

public:
    CellEdit(RecordGrid& grid, int row, int column, const QString& text);
    int Row() const { return row_; }
    int Column() const { return column_; }
    void End(CellEditEndKey key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    void RefuseUnencodable(const QString& text);

    RecordGrid& grid_;
    int row_;
    int column_;
    bool ending_ = false;
    QString accepted_;
};

}  // namespace brindlecot::controls
