// A day's big payroll batch through the editor's commands: import of 100,000 fixed-width
// records (every value checked, statistics computed), export of the same records
// (padded, written, moved into place), and sealing of the result. The reference in the
// same run is a plain copy of the batch file's bytes.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "commands/record_export.h"
#include "commands/record_import.h"
#include "commands/template_editor.h"
#include "filecrypt/installed_key_crypt.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/support/scripted_user_interface.h"

namespace brindlecot {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 100000;

// Answers Yes and the scripted file choices, as a clerk would.
using SilentUserInterface = testing::ScriptedUserInterface;

std::string Gbk(const char* utf8) {
    return Utf8ToGbk(utf8).value();
}

// The payroll layout: 141 bytes per record, one invisible field, a two-part type code, a
// full-width field, a date, and statistics over the amount.
std::string PayrollTemplate() {
    return "$mode typeLens=141 in=txt out=txt inNeedDescrypt=false outNeedEncrypt=false "
           "needFill=true "
           "splite=\"\" statistics=4|sum,max,min|1|" +
           Gbk("元") +
           " $tableItem "
           "[Payer] index=1 value=6222020200001234567 type=19\"N\" visible=false isRequisite=true "
           "[Account] index=2 value= type=19\"N\" visible=true isRequisite=true "
           "[Name] index=3 value= type=30\"X\" visible=true isRequisite=true "
           "[Amount] index=4 value= type=15\"N\" visible=true isRequisite=true "
           "[Date] index=5 value= type=YYYYMMDD visible=true isRequisite=false "
           "[Memo] index=6 value= type=20\"E\" visible=true isRequisite=false "
           "[Note] index=7 value= type=20\"X\"+10\"X\" visible=true isRequisite=false $End\n";
}

std::string PayrollBatch(int records = kRecords) {
    const std::string name = Gbk("张三丰");
    std::string memo = Gbk("工资");
    while (memo.size() < 20)
        memo += "\xA1\xA1";
    std::string batch;
    batch.reserve(static_cast<std::size_t>(records) * 143);
    char digits[32];
    for (int record = 0; record < records; ++record) {
        batch += "6222020200001234567";
        std::snprintf(digits, sizeof digits, "%019d", 100000000 + record);
        batch += digits;
        std::string payee = name + std::to_string(record);
        payee.resize(30, ' ');
        batch += payee;
        std::snprintf(digits, sizeof digits, "%015d", 100 + record % 900000);
        batch += digits;
        batch += "20240315";
        batch += memo;
        batch += std::string(30, ' ');
        batch += "\r\n";
    }
    return batch;
}

// The program's folder: catalogues, the library, the template, an installed key.
class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "brindlecot-bench-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(root_ / "conf");
        fs::create_directories(root_ / "driver");
        fs::copy(fs::path(BRINDLECOT_SOURCE_DIR) / "dist" / "language", root_ / "language",
                 fs::copy_options::recursive);
        fs::create_symlink(fs::path(BRINDLECOT_STAGE_DIR) / "driver" / "libKestrelvane.so",
                           root_ / "driver" / "libKestrelvane.so");
        SetAppFolder(root_.string());
        SelectMessageCatalogue();
        // A benchmark of sealing without the library or the key would measure failures.
        if (!BindCryptoLibrary())
            throw std::runtime_error("the library cannot be bound");
        PrepareKeyFileCipher();
        const int check = KeyCheckDigit("3A5C0F1").value();
        if (InstallAcceptedKey(std::string("3A5C0F1") + "0123456789ABCDEF"[check]) !=
            KeyInstallOutcome::Installed)
            throw std::runtime_error("the key cannot be installed");
        std::ofstream(root_ / "conf" / "payroll.cfg", std::ios::binary) << PayrollTemplate();
        std::ofstream(root_ / "batch.txt", std::ios::binary) << PayrollBatch();
    }
    ~Folder() {
        UnbindCryptoLibrary();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    // A batch of `records` records, written the first time it is asked for.
    std::string Batch(int records) const {
        const std::string path = Path("batch-" + std::to_string(records) + ".txt");
        if (!fs::exists(path))
            std::ofstream(path, std::ios::binary) << PayrollBatch(records);
        return path;
    }

private:
    fs::path root_;
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

void BM_CopyBatchReference(benchmark::State& state) {
    Folder& folder = TheFolder();
    for (auto _ : state) {
        fs::copy_file(folder.Path("batch.txt"), folder.Path("copy.txt"),
                      fs::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(folder.Path("batch.txt"))));
}
BENCHMARK(BM_CopyBatchReference)->Unit(benchmark::kMillisecond);

void BM_Import(benchmark::State& state) {
    Folder& folder = TheFolder();
    SilentUserInterface ui;
    TemplateEditor editor(ui);
    editor.Open(folder.Path("conf/payroll.cfg"), "payroll");
    ui.fileToOpen = folder.Path("batch.txt");
    for (auto _ : state) {
        if (ImportRecords(editor) != ImportOutcome::Imported)
            state.SkipWithError("import failed");
    }
    state.counters["records"] = editor.Records().RowCount();
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

void BM_Export(benchmark::State& state) {
    Folder& folder = TheFolder();
    SilentUserInterface ui;
    TemplateEditor editor(ui);
    editor.Open(folder.Path("conf/payroll.cfg"), "payroll");
    ui.fileToOpen = folder.Path("batch.txt");
    ImportRecords(editor);
    ui.fileToSave = folder.Path("out.txt");
    for (auto _ : state) {
        if (ExportRecords(editor) != ExportOutcome::Written)
            state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// Import then export end to end, as a clerk's run of the command-line export does it.
void BM_ImportThenExport(benchmark::State& state) {
    Folder& folder = TheFolder();
    SilentUserInterface ui;
    ui.fileToOpen = folder.Path("batch.txt");
    ui.fileToSave = folder.Path("out.txt");
    for (auto _ : state) {
        TemplateEditor editor(ui);
        editor.Open(folder.Path("conf/payroll.cfg"), "payroll");
        if (ImportRecords(editor) != ImportOutcome::Imported ||
            ExportRecords(editor) != ExportOutcome::Written) {
            state.SkipWithError("import or export failed");
        }
    }
}
BENCHMARK(BM_ImportThenExport)->Unit(benchmark::kMillisecond);

// The same at 10,000, 100,000 and 1,000,000 records: the time per record must stay flat.
// Each size is measured against copying the same batch file's bytes in the same run
// (copy_ratio: the export's wall-clock time over the copy's).
void BM_ImportThenExportPerRecord(benchmark::State& state) {
    Folder& folder = TheFolder();
    const int records = static_cast<int>(state.range(0));
    SilentUserInterface ui;
    ui.fileToOpen = folder.Batch(records);
    ui.fileToSave = folder.Path("out.txt");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TemplateEditor editor(ui);
        editor.Open(folder.Path("conf/payroll.cfg"), "payroll");
        if (ImportRecords(editor) != ImportOutcome::Imported ||
            ExportRecords(editor) != ExportOutcome::Written) {
            state.SkipWithError("import or export failed");
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    constexpr int kCopies = 5;
    double copy_seconds = 0;
    for (int i = 0; i < kCopies; ++i) {
        fs::remove(folder.Path("copy.txt"));
        const auto start = std::chrono::steady_clock::now();
        fs::copy_file(*ui.fileToOpen, folder.Path("copy.txt"));
        copy_seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["per_record"] = benchmark::Counter(
        records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["copy_ratio"] =
        (seconds / static_cast<double>(state.iterations())) / (copy_seconds / kCopies);
}
// Wall-clock time: the work is spread over worker threads, so this thread's CPU time
// would leave most of it out.
BENCHMARK(BM_ImportThenExportPerRecord)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_SealResult(benchmark::State& state) {
    Folder& folder = TheFolder();
    for (auto _ : state) {
        fs::remove(folder.Path("out.sealed"));
        if (CryptWithInstalledKey(kCryptModeSeal, folder.Path("batch.txt"),
                                  folder.Path("out.sealed")) != 0) {
            state.SkipWithError("seal failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(folder.Path("batch.txt"))));
}
BENCHMARK(BM_SealResult)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brindlecot

BENCHMARK_MAIN();
