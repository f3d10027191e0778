#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

#include <deque>
#include <functional>

namespace brindlecot::controls {

enum class CellEditEndKey;

// The record grid's edit box: one line, refusing characters that GBK cannot store, and
// ending on exactly the events the grid's rules list. An ended edit's text is handed to
// the model's setData from the event loop, so that whatever the model does with it (a
// message box, changed rows) never runs inside the key or focus event that ended it;
// HandOverNow() gives every waiting text to the model at once.
class CellEditDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CellEditDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    QLineEdit* CurrentEdit() const { return current_.data(); }
    CellEditEndKey LastEndKey() const { return lastEndKey_; }
    void SetUnencodableTextMessage(std::function<QString(const QString&)> message) {
        unencodableMessage_ = std::move(message);
    }

    // Ends the open edit: its text is handed over later, or now with `handOverNow`.
    void End(CellEditEndKey key, bool handOverNow = false);
    // Closes the open edit and forgets its text.
    void Drop();
    // Hands every ended edit's text to the model, in the order the edits ended.
    void HandOverNow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct HandOver {
        QPersistentModelIndex cell;
        QPointer<QAbstractItemModel> model;
        QString text;
    };
    void RefuseUnencodable(QLineEdit& edit, const QString& edited) const;
    void HandOverFirst() const;

    mutable QPointer<QLineEdit> current_;
    mutable std::deque<HandOver> waiting_;
    mutable bool handOverNow_ = false;
    CellEditEndKey endingKey_;
    mutable CellEditEndKey lastEndKey_;
    std::function<QString(const QString&)> unencodableMessage_;
};

}  // namespace brindlecot::controls
