#pragma once

#include <QTableView>

#include <functional>
#include <vector>

class QLineEdit;

namespace brindlecot::controls {

class CellEditDelegate;

// How the last edit of a cell ended.
enum class CellEditEndKey {
    Other = 0,  // focus left the box, a click outside the cells, scrolling, the header
    Enter = 13,
    Escape = 27,  // the typed text is still handed over; the model decides
};

// The model's horizontal header answers this role with a column's width in pixels (an
// int); the grid sizes its columns by it whenever the model is reset.
inline constexpr int kColumnWidthRole = Qt::UserRole + 1;

// A table view whose editable cells (the model's Qt::ItemIsEditable) open a one-line
// edit box on double-click. Full-row selection of any number of rows; row colours and
// texts come from the model. The edit ends, once, on Enter, Escape, loss of focus, a
// click outside the cells, scrolling, the wheel, or a press on the header; its text then
// goes to the model's setData, from the event loop rather than inside the event that
// ended it. The grid never stores an edited text itself: the model decides.
class RecordGrid : public QTableView {
    Q_OBJECT

public:
    explicit RecordGrid(QWidget* parent = nullptr);
    ~RecordGrid() override;

    void setModel(QAbstractItemModel* model) override;

    // Opens an edit box over the cell unless the model does not let it be edited or the
    // cell does not exist; an open edit is ended first. Answers the box, or nullptr.
    QLineEdit* BeginCellEdit(int row, int column);
    // Ends the open edit, if any, as a loss of focus does, and hands over every ended
    // edit's text now: a command that changes or asks about the rows must see the edit
    // judged before it acts.
    void EndCellEdit();
    QLineEdit* CurrentEdit() const;
    CellEditEndKey LastEndKey() const;

    // A typed or pasted text held characters that GBK cannot store; they were not taken.
    // `message` answers the text shown beside the edit box.
    void SetUnencodableTextMessage(std::function<QString(const QString& characters)> message);

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
    void RepaintFocusMarks();
    // Ends the open edit as an event of the grid's own does: handed over later.
    void EndCellEditFromEvent();
    // Closes the open edit without handing its text over.
    void DropCellEdit();
    void ApplyColumnWidths();

    CellEditDelegate* delegate_ = nullptr;
};

}  // namespace brindlecot::controls
