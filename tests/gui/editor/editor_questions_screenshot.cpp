// The two questions that keep a clerk's rows: the draft found when a template opens, and
// leaving with rows not exported. Each over the editor it belongs to.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include <array>
#include <string>

#include "base/app_path.h"
#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "gui/app/qt_translations.h"
#include "gui/app/qt_user_interface.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/scripted_user_interface.h"

namespace {

using brindlecot::TemplateEditorDialog;
using brindlecot::testing::Gbk;
namespace keys = brindlecot::catalogue::DialogModelDlg;

brindlecot::testing::ScriptedUserInterface nobody;

void Settle() {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The shipped transfer template, with two rows when `rows`.
std::unique_ptr<TemplateEditorDialog> Editor(bool rows) {
    auto editor = std::make_unique<TemplateEditorDialog>(nobody);
    editor->SetCloseRequest([] {});
    if (!editor->Open(brindlecot::AppPath("conf/" + std::string("\u6279\u91cf\u8f6c\u8d26.cfg")),
                      Gbk("批量转账")))
        return editor;
    if (rows) {
        brindlecot::RecordTable& table = editor->Editor().Records();
        const std::array<std::array<std::string, 5>, 2> cells{{
            {"6222000011112222", Gbk("张三"), "1234.50", Gbk("中国工商银行"), Gbk("工资")},
            {"6222000011113333", Gbk("李四"), "88.00", Gbk("招商银行"), ""},
        }};
        for (const auto& row : cells)
            editor->Editor().RecheckRow(table.AppendRow(row));
        editor->Editor().RefreshStatistics();
        editor->ShowStatistics();
    }
    editor->showNormal();
    editor->resize(1000, 560);
    return editor;
}

// The editor with the question box drawn where it opens, over its middle.
std::unique_ptr<QWidget> WithQuestion(std::unique_ptr<TemplateEditorDialog> editor,
                                      const std::string& question, bool defaultYes) {
    editor->show();
    if (!QTest::qWaitForWindowExposed(editor.get()))
        return nullptr;
    Settle();
    // Yes and No in the catalogue's Chinese, as the program shows them.
    brindlecot::InstallQtTranslations(*QCoreApplication::instance());
    std::unique_ptr<QMessageBox> box =
        brindlecot::MakeQuestionBox(editor.get(), editor->Editor().Caption(), question, defaultYes);
    box->setWindowModality(Qt::NonModal);
    box->show();
    Settle();
    QImage picture = editor->grab().toImage();
    {
        QPainter painter(&picture);
        const QPoint at((picture.width() - box->width()) / 2,
                        (picture.height() - box->height()) / 2);
        painter.fillRect(QRect(at - QPoint(1, 1), box->size() + QSize(2, 2)), Qt::darkGray);
        painter.drawPixmap(at, box->grab());
    }
    box->hide();
    auto label = std::make_unique<QLabel>();
    label->setPixmap(QPixmap::fromImage(picture));
    label->setWindowTitle(editor->windowTitle());
    label->setContentsMargins(0, 0, 0, 0);
    label->resize(picture.size());
    return label;
}

const bool registered = [] {
    brindlecot::testing::RegisterScreenshot("template_editor-restore_draft", [] {
        const std::string question =
            brindlecot::FormatMessage(brindlecot::LoadMessage(keys::kRestoreDraft),
                                      {12LL, std::string_view("2026-12-08 16:42")});
        return WithQuestion(Editor(false), question, true);
    });
    brindlecot::testing::RegisterScreenshot("template_editor-close_unexported", [] {
        const std::string question =
            brindlecot::FormatMessage(brindlecot::LoadMessage(keys::kDiscardUnexportedRows), {2LL});
        return WithQuestion(Editor(true), question, false);
    });
    return true;
}();

}  // namespace
