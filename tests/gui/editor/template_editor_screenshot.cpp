#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>

#include <array>
#include <string>

#include "base/app_path.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/scripted_user_interface.h"

namespace {

using brindlecot::TemplateEditorDialog;
using brindlecot::testing::Gbk;

brindlecot::testing::ScriptedUserInterface nobody;

// The shipped transfer template with three records, the second missing its payee.
std::unique_ptr<TemplateEditorDialog> EditorWithRows() {
    auto editor = std::make_unique<TemplateEditorDialog>(nobody);
    editor->SetCloseRequest([] {});
    const std::string name = Gbk("批量转账");
    if (!editor->Open(brindlecot::AppPath("conf/" + std::string("\u6279\u91cf\u8f6c\u8d26.cfg")),
                      name))
        return editor;
    brindlecot::RecordTable& table = editor->Editor().Records();
    const std::array<std::array<std::string, 5>, 3> rows{{
        {"6222000011112222", Gbk("张三"), "1234.50", Gbk("中国工商银行"), Gbk("工资")},
        {"6222000011113333", "", "88.00", Gbk("招商银行"), ""},
        {"6222000011114444", Gbk("王五"), "0.01", "", Gbk("报销")},
    }};
    for (const auto& cells : rows) {
        const int row = table.AppendRow(cells);
        editor->Editor().RecheckRow(row);
    }
    editor->Editor().RefreshStatistics();
    editor->ShowStatistics();
    // The first record is the current one: the preview shows its batch line.
    editor->Grid()->setCurrentIndex(editor->Grid()->model()->index(0, 1));
    editor->showNormal();
    editor->resize(1000, 560);
    return editor;
}

void Settle() {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A popup is a window of its own: the picture is the editor with the popup drawn where
// it opened.
std::unique_ptr<QWidget> WithPopup(std::unique_ptr<TemplateEditorDialog> editor, QMenu& menu,
                                   QPoint at) {
    editor->show();
    if (!QTest::qWaitForWindowExposed(editor.get()))
        return nullptr;
    Settle();
    menu.popup(editor->mapToGlobal(at));
    menu.setActiveAction(menu.actions().front());
    Settle();
    QImage picture = editor->grab().toImage();
    {
        QPainter painter(&picture);
        painter.drawPixmap(editor->mapFromGlobal(menu.pos()), menu.grab());
    }
    menu.hide();
    auto label = std::make_unique<QLabel>();
    label->setPixmap(QPixmap::fromImage(picture));
    label->setWindowTitle(editor->windowTitle());
    label->setContentsMargins(0, 0, 0, 0);
    label->resize(picture.size());
    return label;
}

const bool registered = [] {
    brindlecot::testing::RegisterScreenshot("template_editor", [] { return EditorWithRows(); });
    brindlecot::testing::RegisterScreenshot("template_editor-menu", [] {
        auto editor = EditorWithRows();
        QMenuBar* bar = editor->MenuBar();
        QMenu* menu = editor->OperationsMenu();
        bar->setActiveAction(menu->menuAction());
        const QRect title = bar->actionGeometry(menu->menuAction());
        return WithPopup(std::move(editor), *menu, title.bottomLeft() + QPoint(0, 1));
    });
    brindlecot::testing::RegisterScreenshot("template_editor-popup", [] {
        auto editor = EditorWithRows();
        editor->Grid()->selectRow(2);
        QMenu* popup = editor->ContextMenu();
        const QPoint at = editor->Grid()->mapTo(editor.get(), QPoint(180, 70));
        return WithPopup(std::move(editor), *popup, at);
    });
    return true;
}();

}  // namespace
