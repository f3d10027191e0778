#pragma once

#include <QPlainTextEdit>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_path.h"
#include "base/message_catalogue.h"
#include "gui/editor/record_table_model.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/support/gbk_literal.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot::testing {

// A folder laid out as the program's own (the shipped catalogues in language/, conf/),
// and one editor window over a template written into it, with the person scripted.
class EditorWindow {
public:
    EditorWindow() {
        namespace fs = std::filesystem;
        fs::create_directories(folder.path() / "conf");
        // Drafts and remembered folders go under a home of the test's own.
        fs::create_directories(folder.path() / "home");
        ::setenv("HOME", (folder.path() / "home").c_str(), 1);
        ::unsetenv("XDG_STATE_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        fs::copy(fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "language", folder.path() / "language",
                 fs::copy_options::recursive);
        SetAppFolder(folder.path().string());
        SelectMessageCatalogue();
        window = std::make_unique<TemplateEditorDialog>(ui);
        window->SetCloseRequest([this] { ++closeRequests; });
    }

    // `fields` are the lines of $tableItem, UTF-8.
    bool Open(const std::string& fields, int typeLens) {
        return Open(fields, DefaultMode(typeLens));
    }
    bool Open(const std::string& fields, const std::string& mode) {
        const std::string path = folder.Write(
            "conf/t.cfg", Gbk("$mode\n" + mode + "\n$tableItem\n" + fields + "$End\n"));
        return window->Open(path, Gbk("模板甲"));
    }
    static std::string DefaultMode(int typeLens) {
        return "typeLens=" + std::to_string(typeLens) +
               "\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=false\n"
               "needFill=false\nsplite=\"|\"\nstatistics=2|sum|0|yuan\n";
    }

    RecordTable& Table() { return window->Editor().Records(); }
    controls::RecordGrid* Grid() { return window->Grid(); }
    QPoint CellCentre(int row, int column) {
        return Grid()->visualRect(Grid()->model()->index(row, column)).center();
    }
    void DoubleClick(int row, int column) {
        Grid()->scrollTo(Grid()->model()->index(row, column));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
        QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }
    QString Statistics() const { return window->StatisticsBox()->toPlainText(); }

    TempFolder folder;
    ScriptedUserInterface ui;
    std::unique_ptr<TemplateEditorDialog> window;
    int closeRequests = 0;
};

}  // namespace brindlecot::testing
