#include "gui/filecrypt/key_dialog.h"

#include "gui/controls/gbk_qstring.h"

#include "base/catalogue/dialog_crypt_key_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/secret_bytes.h"
#include "gui/resources/resource_paths.h"

#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace brindlecot {
namespace {

namespace texts = catalogue::DialogCryptKey;

// The entry as the core's rules read it. A character GBK cannot hold is no hexadecimal
// digit either: its UTF-8 bytes are refused by the same rules.
std::string EntryBytes(const QString& text) {
    const std::string utf8 = text.toStdString();
    return Utf8ToGbk(utf8).value_or(utf8);
}

}  // namespace

KeyDialog::KeyDialog(UserInterface& ui, QWidget* parent)
    : controls::SkinnedDialog(parent),
      ui_(ui),
      edit_(new QLineEdit(this)),
      ok_(new QPushButton(this)),
      cancel_(new QPushButton(this)),
      prompt_(CatalogueText(texts::kPrompt)) {
    SetClientSizeInDialogUnits(183, 71);
    PlaceInDialogUnits(edit_, 12, 21, 160, 14);
    PlaceInDialogUnits(ok_, 87, 41, 40, 15);
    PlaceInDialogUnits(cancel_, 132, 41, 40, 15);
    edit_->setObjectName(QStringLiteral("edit1015"));
    ok_->setObjectName(QStringLiteral("ok"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    edit_->setMaxLength(kMaxEntryLength);

    setWindowTitle(CatalogueText(texts::kTitle));
    ok_->setText(CatalogueText(texts::kOkButton));
    cancel_->setText(CatalogueText(texts::kCancelButton));
    setWindowIcon(resources::ApplicationIcon());
    // Enter in the edit box presses OK, as in any dialog.
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &KeyDialog::CheckEntry);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    edit_->setFocus();
}

KeyDialog::~KeyDialog() {
    WipeSecret(acceptedKey_.data(), acceptedKey_.size());
}

void KeyDialog::CheckEntry() {
    // A refusal is read with the focus already back where the key is corrected.
    edit_->setFocus();
    std::optional<std::string> key = AcceptKeyEntry(EntryBytes(edit_->text()), ui_);
    if (!key) {
        edit_->setFocus();
        return;
    }
    acceptedKey_ = std::move(*key);
    accept();
}

void KeyDialog::PaintLabels(QPainter& painter) {
    // Left-aligned with the edit box, the text's bottom two pixels above the box.
    const QRect box = edit_->geometry();
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect textRect(box.left(), box.top() - 2 - metrics.height(), width() - box.left(),
                         metrics.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, prompt_);
}

}  // namespace brindlecot
