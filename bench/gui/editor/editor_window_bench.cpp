// The editor window over a big batch: 100,000 records of 20 fields imported from a
// fixed-width file (every value checked) up to the first painted grid; then scrolling a
// page, selecting a row, a committed cell edit (statistics included) and pasting rows
// copied from a spreadsheet, each with the grid painted. The reference in the same run is the same
// import into the core editor without a window. Memory: heap in use for the window with its records
// against the record table's own (the core import alone).
//
// editor_window_bench [--benchmark_filter=...]; runs on the offscreen platform.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include <filesystem>
#include <memory>
#include <string>

#include "base/app_path.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "commands/pasted_rows.h"
#include "commands/record_import.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/test_files.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 100000;
constexpr int kFields = 20;

// Four kinds of field, five of each: account digits, a name, an amount in cents, a date.
const char* const kTypes[] = {"19\"N\"", "20\"X\"", "15\"N\"", "YYYYMMDD"};
const int kWidths[] = {19, 20, 15, 8};

std::string Gbk(const char* utf8) {
    return Utf8ToGbk(utf8).value();
}

std::string WideTemplate() {
    int typeLens = 0;
    std::string fields;
    for (int field = 0; field < kFields; ++field) {
        typeLens += kWidths[field % 4];
        fields += "[F" + std::to_string(field + 1) + "] index=" + std::to_string(field + 1) +
                  " value= type=" + kTypes[field % 4] +
                  " visible=true isRequisite=" + (field == 0 ? "true" : "false") + "\n";
    }
    return "$mode\ntypeLens=" + std::to_string(typeLens) +
           "\nin=txt\nout=txt\ninNeedDescrypt=false\noutNeedEncrypt=false\nneedFill=true\n"
           "splite=\"\"\nstatistics=3|sum,max,min|0|yuan\n$tableItem\n" +
           fields + "$End\n";
}

std::string WideBatch() {
    std::string name = Gbk("张三丰");
    std::string batch;
    char digits[32];
    for (int record = 0; record < kRecords; ++record) {
        for (int field = 0; field < kFields; ++field) {
            switch (field % 4) {
                case 0:
                    std::snprintf(digits, sizeof digits, "%019d", 100000000 + record);
                    batch += digits;
                    break;
                case 1: {
                    std::string payee = name + std::to_string(record);
                    payee.resize(20, ' ');
                    batch += payee;
                    break;
                }
                case 2:
                    std::snprintf(digits, sizeof digits, "%015d", 100 + record % 900000);
                    batch += digits;
                    break;
                default:
                    batch += "20240315";
            }
        }
        batch += "\r\n";
    }
    return batch;
}

std::size_t HeapInUse() {
    malloc_trim(0);
    return mallinfo2().uordblks;
}

// The application folder, the template and the batch, made once for all benchmarks.
struct Batch {
    Batch() {
        fs::copy(fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "language", folder / "language",
                 fs::copy_options::recursive);
        SetAppFolder(folder.path().string());
        SelectMessageCatalogue();
        templatePath = folder.Write("conf/wide.cfg", WideTemplate());
        batchPath = folder.Write("work/batch.txt", WideBatch());
        ui.fileToOpen = batchPath;
    }
    testing::TempFolder folder;
    std::string templatePath;
    std::string batchPath;
    testing::ScriptedUserInterface ui;
};

Batch& TheBatch() {
    static Batch batch;
    return batch;
}

std::unique_ptr<TemplateEditorDialog> OpenWindow() {
    auto window = std::make_unique<TemplateEditorDialog>(TheBatch().ui);
    window->SetCloseRequest([] {});
    if (!window->Open(TheBatch().templatePath, "wide"))
        throw std::runtime_error("the template did not load");
    window->showNormal();
    window->resize(1280, 800);
    QApplication::processEvents();
    return window;
}

// Paints the whole grid at once, as the first paint and a page jump do.
void PaintGrid(TemplateEditorDialog& window) {
    window.Grid()->viewport()->repaint();
}

void BM_ImportCoreOnly(benchmark::State& state) {
    for (auto _ : state) {
        TemplateEditor editor(TheBatch().ui);
        editor.Open(TheBatch().templatePath, "wide");
        if (ImportRecords(editor) != ImportOutcome::Imported)
            state.SkipWithError("import failed");
        benchmark::DoNotOptimize(editor.Records().RowCount());
    }
    state.counters["records"] = kRecords;
}
BENCHMARK(BM_ImportCoreOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportToFirstPaintedGrid(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto window = OpenWindow();
        state.ResumeTiming();
        window->Import();
        PaintGrid(*window);
        state.PauseTiming();
        if (window->Editor().Records().RowCount() != kRecords)
            state.SkipWithError("not every record arrived");
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportToFirstPaintedGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

// One window with the batch for the per-action benchmarks; it must go before the
// application object does.
std::unique_ptr<TemplateEditorDialog> loadedWindow;

TemplateEditorDialog& LoadedWindow() {
    if (!loadedWindow) {
        loadedWindow = OpenWindow();
        loadedWindow->Import();
        PaintGrid(*loadedWindow);
    }
    return *loadedWindow;
}

void BM_ScrollOnePage(benchmark::State& state) {
    TemplateEditorDialog& window = LoadedWindow();
    QScrollBar* bar = window.Grid()->verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        PaintGrid(window);
    }
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond);

void BM_SelectRow(benchmark::State& state) {
    TemplateEditorDialog& window = LoadedWindow();
    int row = 0;
    for (auto _ : state) {
        window.Grid()->selectRow(row);
        QApplication::processEvents();  // paints what the selection changed
        row = (row + 7) % kRecords;
    }
    window.Grid()->clearSelection();
}
BENCHMARK(BM_SelectRow)->Unit(benchmark::kMicrosecond);

// Double-click to Enter: the edit box opens, the new amount goes to the editor, which
// checks it, rechecks the row and recomputes the statistics; the grid is painted.
void BM_CommittedEdit(benchmark::State& state) {
    TemplateEditorDialog& window = LoadedWindow();
    controls::RecordGrid* grid = window.Grid();
    const int row = grid->rowAt(grid->viewport()->height() / 2);
    int amount = 1;
    for (auto _ : state) {
        QLineEdit* edit = grid->BeginCellEdit(row, 3);
        if (edit == nullptr) {
            state.SkipWithError("the edit did not open");
            break;
        }
        edit->setText(QString::number(amount++));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        // The end is handed over from the event loop, which then paints what changed.
        QApplication::processEvents();
    }
    if (window.Editor().Records().Cell(row, 3) != std::to_string(amount - 1) ||
        !TheBatch().ui.Messages().empty())
        state.SkipWithError("the edit was not stored");
}
BENCHMARK(BM_CommittedEdit)->Unit(benchmark::kMicrosecond);

// Rows copied from a spreadsheet: `lines` rows of 20 cells as the clipboard holds them.
std::string ClipboardRows(int lines) {
    std::string text;
    char digits[32];
    for (int line = 0; line < lines; ++line) {
        for (int field = 0; field < kFields; ++field) {
            if (field > 0)
                text += '\t';
            switch (field % 4) {
                case 0:
                    std::snprintf(digits, sizeof digits, "%019d", 200000000 + line);
                    text += digits;
                    break;
                case 1:
                    text += "李四" + std::to_string(line);
                    break;
                case 2:
                    text += std::to_string(100 + line % 900000);
                    break;
                default:
                    text += "20240315";
            }
        }
        text += "\r\n";
    }
    return text;
}

// The core paste alone (every value checked, rows added): the reference for the window.
void BM_PasteCoreOnly(benchmark::State& state) {
    const std::string text = ClipboardRows(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TemplateEditor editor(TheBatch().ui);
        editor.Open(TheBatch().templatePath, "wide");
        const PasteResult result = PasteRows(editor, 0, 1, text);
        if (result.addedRows != state.range(0) || !result.refused.empty())
            state.SkipWithError("not every row went in");
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PasteCoreOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Ctrl+V in an empty window up to the painted grid.
void BM_PasteIntoWindow(benchmark::State& state) {
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(ClipboardRows(static_cast<int>(state.range(0)))));
    for (auto _ : state) {
        state.PauseTiming();
        auto window = OpenWindow();
        state.ResumeTiming();
        window->Paste();
        PaintGrid(*window);
        state.PauseTiming();
        if (window->Editor().Records().RowCount() != state.range(0))
            state.SkipWithError("not every row went in");
        window.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PasteIntoWindow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Heap in use: the record table alone (core import), and the window with the same
// records shown (the table plus everything the view keeps).
void BM_Memory(benchmark::State& state) {
    double tableBytes = 0;
    double windowBytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        {
            TemplateEditor editor(TheBatch().ui);
            editor.Open(TheBatch().templatePath, "wide");
            ImportRecords(editor);
            tableBytes = static_cast<double>(HeapInUse() - before);
        }
        const std::size_t beforeWindow = HeapInUse();
        {
            auto window = OpenWindow();
            window->Import();
            PaintGrid(*window);
            window->Grid()->selectRow(500);
            window->Grid()->verticalScrollBar()->setValue(40000);
            PaintGrid(*window);
            windowBytes = static_cast<double>(HeapInUse() - beforeWindow);
        }
    }
    state.counters["table_MB"] = tableBytes / 1e6;
    state.counters["window_MB"] = windowBytes / 1e6;
    state.counters["window_per_table"] = windowBytes / tableBytes;
}
BENCHMARK(BM_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace brindlecot

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    brindlecot::TheBatch();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    brindlecot::loadedWindow.reset();
    return 0;
}
