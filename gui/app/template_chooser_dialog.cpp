#include "gui/app/template_chooser_dialog.h"

#include "gui/controls/gbk_qstring.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <filesystem>

#include "base/app_path.h"
#include "base/catalogue/dialog_oper_select_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "commands/template_listing.h"
#include "gui/controls/background_task.h"
#include "gui/resources/resource_paths.h"

namespace brindlecot {
namespace {

namespace texts = catalogue::DialogOperSelect;

// File names are the file system's bytes (UTF-8); the program's texts are GBK.
std::string NameAsGbk(const std::string& fileName) {
    return Utf8ToGbk(fileName).value_or(fileName);
}

}  // namespace

TemplateChooserDialog::TemplateChooserDialog(TemplateEditorOpener opener, UserInterface* ui,
                                             QWidget* parent)
    : controls::SkinnedDialog(parent),
      opener_(std::move(opener)),
      injectedUi_(ui),
      ownUi_(this),
      caption_(LoadMessage(texts::kTitle)),
      list_(new QComboBox(this)),
      ok_(new QPushButton(this)),
      return_(new QPushButton(this)) {
    SetClientSizeInDialogUnits(183, 89);
    // The list's resource height is that of its drop-down part; the box keeps its own.
    const QRect listBox = DialogUnitsRect(67, 20, 98, 121);
    list_->setGeometry(listBox.x(), listBox.y(), listBox.width(), list_->sizeHint().height());
    PlaceInDialogUnits(ok_, 72, 45, 40, 15);
    PlaceInDialogUnits(return_, 124, 45, 40, 15);
    list_->setObjectName(QStringLiteral("list1005"));
    ok_->setObjectName(QStringLiteral("button1"));
    return_->setObjectName(QStringLiteral("button2"));
    ok_->setDefault(true);
    return_->setAutoDefault(false);

    setWindowIcon(resources::ApplicationIcon());
    setWindowTitle(FromGbk(caption_));
    ok_->setText(CatalogueText(texts::kOkButton));
    return_->setText(CatalogueText(texts::kReturnButton));
    // The list's label is painted: screen readers get it as the list's name, and, since
    // on Linux a drop-down's name is the chosen item, as its description too.
    const QString listLabel = CatalogueText(texts::kListLabel);
    list_->setAccessibleName(listLabel);
    list_->setAccessibleDescription(listLabel);
    list_->view()->setAccessibleName(listLabel);
    connect(ok_, &QPushButton::clicked, this, &TemplateChooserDialog::OpenChosen);
    connect(return_, &QPushButton::clicked, this, &TemplateChooserDialog::reject);

    FillList();
    list_->setFocus(Qt::OtherFocusReason);
}

TemplateChooserDialog::~TemplateChooserDialog() {
    CloseEditor();
}

void TemplateChooserDialog::FillList() {
    const std::vector<std::string> names = ListTemplateNames(TemplateFolder());
    std::size_t longest = 0;
    for (const std::string& name : names) {
        list_->addItem(FromGbk(NameAsGbk(name)), QByteArray::fromStdString(name));
        longest = std::max(longest, NameAsGbk(name).size());
    }
    // The drop-down part is as wide as eight pixels per byte of the longest name.
    list_->view()->setMinimumWidth(static_cast<int>(8 * longest));
    if (!names.empty())
        list_->setCurrentIndex(0);
}

void TemplateChooserDialog::Say(const std::string& text) {
    (injectedUi_ != nullptr ? *injectedUi_ : ownUi_).ShowMessage(caption_, text);
}

void TemplateChooserDialog::OpenChosen() {
    if (editor_) {
        Say(LoadMessage(texts::kEditorStillOpen));
        return;
    }
    const std::string name = list_->currentData().toByteArray().toStdString();
    if (list_->currentIndex() < 0 || name.empty()) {
        Say(LoadMessage(texts::kNoTemplateChosen));
        return;
    }
    const std::string path = TemplatePath(name);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        Say(LoadMessage(texts::kTemplateFileMissing));
        return;
    }
    if (!opener_)
        return;
    // The editor asks from the event loop; by then its window has closed its own work,
    // and it is destroyed once control is back in the loop.
    editor_ = opener_(this, path, NameAsGbk(name), [this] { CloseEditor(); });
}

void TemplateChooserDialog::CloseEditor() {
    if (!editor_)
        return;
    QWidget* editor = editor_.release();
    editor->hide();
    editor->deleteLater();
}

void TemplateChooserDialog::reject() {
    // The editor may be reading or writing a batch from a nested event loop; closing it
    // now would destroy the window that loop returns to.
    if (controls::BackgroundTask::AnyRunning())
        return;
    // Rows not exported are thrown away only when the person says so.
    if (auto* editor = qobject_cast<controls::SkinnedDialog*>(editor_.get());
        editor != nullptr && !editor->ConfirmLeave())
        return;
    CloseEditor();
    controls::SkinnedDialog::reject();
}

void TemplateChooserDialog::PaintLabels(QPainter& painter) {
    const QRect box = list_->geometry();
    const QRect label(0, box.top(), box.left() - 5, box.height());
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                     CatalogueText(texts::kListLabel));
}

}  // namespace brindlecot
