#include "gui/controls/cell_edit_delegate.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

#include "base/gbk_text.h"
#include "gui/controls/record_grid.h"

namespace brindlecot::controls {
namespace {

// The text a box held when it last could be stored in GBK.
constexpr const char* kAcceptedText = "acceptedText";

// The characters of `text` that GBK cannot store, each once, in order.
QString UnencodableCharacters(const QString& text) {
    QString found;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (!Utf8ToGbk(character.toStdString()) && !found.contains(character))
            found += character;
    }
    return found;
}

}  // namespace

CellEditDelegate::CellEditDelegate(QObject* parent)
    : QStyledItemDelegate(parent),
      endingKey_(CellEditEndKey::Other),
      lastEndKey_(CellEditEndKey::Other) {}

QWidget* CellEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("CellEdit"));
    edit->setFrame(true);
    const QVariant alignment =
        index.model()->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole);
    const Qt::Alignment horizontal =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) & Qt::AlignHorizontal_Mask
                            : Qt::AlignLeft;
    edit->setAlignment(horizontal | Qt::AlignVCenter);
    // Anything typed or pasted that GBK cannot store is taken out again at once, so the
    // text handed over is always whole.
    connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& edited) {
        if (Utf8ToGbk(edited.toStdString()))
            edit->setProperty(kAcceptedText, edited);
        else
            RefuseUnencodable(*edit, edited);
    });
    current_ = edit;
    return edit;
}

void CellEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit == nullptr)
        return;
    const QString text = index.data(Qt::DisplayRole).toString();
    edit->setText(text);
    edit->setProperty(kAcceptedText, text);
}

void CellEditDelegate::RefuseUnencodable(QLineEdit& edit, const QString& edited) const {
    const QString accepted = edit.property(kAcceptedText).toString();
    const int caret = std::max(0, edit.cursorPosition() - int(edited.size() - accepted.size()));
    const QString characters = UnencodableCharacters(edited);
    edit.setText(accepted);
    edit.setCursorPosition(std::min<int>(caret, int(accepted.size())));
    const QString message = unencodableMessage_ ? unencodableMessage_(characters) : characters;
    QToolTip::showText(edit.mapToGlobal(QPoint(0, edit.height())), message, &edit);
}

void CellEditDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& /*index*/) const {
    QRect rect = option.rect;
    if (const QWidget* viewport = editor->parentWidget())
        rect.setRight(std::min(rect.right(), viewport->rect().right()));
    rect.adjust(0, -1, 0, 2);
    editor->setGeometry(rect);
}

// Every end of an edit comes here: the delegate's own ends and the view's (a click on
// another cell commits the open edit before the focus moves).
void CellEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    const auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit == nullptr)
        return;
    if (edit == current_.data())
        current_ = nullptr;
    lastEndKey_ = endingKey_;
    waiting_.push_back({QPersistentModelIndex(index), model, edit->text()});
    if (!handOverNow_)
        QTimer::singleShot(0, this, [this] { HandOverFirst(); });
}

void CellEditDelegate::HandOverFirst() const {
    if (waiting_.empty())
        return;
    const HandOver handOver = waiting_.front();
    waiting_.pop_front();
    // A cell whose record is gone has nowhere for the text to go.
    if (handOver.cell.isValid() && handOver.model != nullptr)
        handOver.model->setData(handOver.cell, handOver.text, Qt::EditRole);
}

void CellEditDelegate::HandOverNow() const {
    while (!waiting_.empty())
        HandOverFirst();
}

void CellEditDelegate::End(CellEditEndKey key, bool handOverNow) {
    QLineEdit* edit = current_.data();
    if (edit == nullptr)
        return;
    endingKey_ = key;
    handOverNow_ = handOverNow;
    emit commitData(edit);
    handOverNow_ = false;
    endingKey_ = CellEditEndKey::Other;
    current_ = nullptr;
    emit closeEditor(edit, QAbstractItemDelegate::NoHint);
    if (handOverNow)
        HandOverNow();
}

void CellEditDelegate::Drop() {
    QLineEdit* edit = current_.data();
    if (edit == nullptr)
        return;
    current_ = nullptr;
    lastEndKey_ = CellEditEndKey::Other;
    emit closeEditor(edit, QAbstractItemDelegate::NoHint);
}

bool CellEditDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched != current_.data())
        return false;
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Enter, Escape and Delete belong to the edit, not to the window: they must
            // neither press a default button, close a dialog nor delete rows.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
                key == Qt::Key_Delete) {
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                End(CellEditEndKey::Enter);
                return true;
            }
            if (key == Qt::Key_Escape) {
                End(CellEditEndKey::Escape);
                return true;
            }
            return false;
        }
        case QEvent::FocusOut:
            End(CellEditEndKey::Other);
            return false;
        default:
            return false;
    }
}

}  // namespace brindlecot::controls
