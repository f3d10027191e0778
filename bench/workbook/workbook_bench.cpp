// Writing and reading back a 65,535 x 10 table of text cells in both workbook formats,
// against the same table written and read as delimited text (the reference; the writing
// benchmarks also report their ratio to it, measured in the same run). Our .xls
// reading is also measured against FreeXL reading the same file, cells only (no GBK
// conversion, no table), the library the program read .xls with before.

#include <benchmark/benchmark.h>
#include <freexl.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "base/gbk_text.h"
#include "workbook/workbook.h"
#include "workbook/workbook_conversion.h"

namespace brindlecot {
namespace {

constexpr std::size_t kRows = 65535;
constexpr std::size_t kColumns = 10;

// A payroll-like table: names, account numbers, amounts, dates and remarks, mostly
// distinct texts, a quarter of them Chinese.
const TextTable& Table() {
    static const TextTable table = [] {
        const std::string name = *Utf8ToGbk("张三丰");
        const std::string remark = *Utf8ToGbk("工资代发");
        TextTable t(kRows, TextRow(kColumns));
        for (std::size_t r = 0; r < kRows; ++r) {
            const std::string n = std::to_string(r);
            t[r] = {name + n,       "6222" + std::string(12 - n.size(), '0') + n,
                    n + ".50",      "2024-03-05",
                    remark + n,     "000" + n,
                    "R" + n + "C6", "1e" + std::to_string(r % 30),
                    "ABCDEFGH",     n};
        }
        return t;
    }();
    return table;
}

class Folder {
public:
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "workbook-bench-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Writes the workbook, then the same table as delimited text in the same run: the ratios
// are the workbook's time over the text's (wall clock, and CPU time, which the machine's
// other load does not inflate).
void Write(benchmark::State& state, const char* name) {
    Folder folder;
    const TextTable& table = Table();
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu_start = CpuSeconds();
        const double wall_start = WallSeconds();
        const WorkbookStatus status = WriteWorkbook(folder.File(name), table);
        cpu += CpuSeconds() - cpu_start;
        wall += WallSeconds() - wall_start;
        if (!status.ok())
            state.SkipWithError(status.detail.c_str());
    }
    constexpr int kTextRuns = 10;
    double text_cpu = 0;
    double text_wall = 0;
    for (int i = 0; i < kTextRuns; ++i) {
        const double cpu_start = CpuSeconds();
        const double wall_start = WallSeconds();
        benchmark::DoNotOptimize(WriteDelimitedText(folder.File("t.txt"), table, '|'));
        text_cpu += CpuSeconds() - cpu_start;
        text_wall += WallSeconds() - wall_start;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["text_ratio_cpu"] = (cpu / runs) / (text_cpu / kTextRuns);
    state.counters["text_ratio_wall"] = (wall / runs) / (text_wall / kTextRuns);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows * kColumns));
}

void Read(benchmark::State& state, const char* name) {
    Folder folder;
    const std::string path = folder.File(name);
    if (!WriteWorkbook(path, Table()).ok())
        state.SkipWithError("cannot write the workbook");
    for (auto _ : state) {
        TextTable back;
        const WorkbookStatus status = ReadWorkbook(path, back);
        if (!status.ok() || back.size() != kRows)
            state.SkipWithError("read back failed");
        benchmark::DoNotOptimize(back);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows * kColumns));
}

void BM_WriteXls(benchmark::State& state) {
    Write(state, "t.xls");
}
void BM_ReadXls(benchmark::State& state) {
    Read(state, "t.xls");
}
void BM_WriteXlsx(benchmark::State& state) {
    Write(state, "t.xlsx");
}
void BM_ReadXlsx(benchmark::State& state) {
    Read(state, "t.xlsx");
}

struct FreeXlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};

// Every cell of the first sheet through FreeXL, as UTF-8 texts in a table.
bool ReadWithFreeXl(const std::string& path, TextTable& table) {
    const void* raw = nullptr;
    const int opened = freexl_open(path.c_str(), &raw);
    std::unique_ptr<const void, FreeXlCloser> handle(raw);
    unsigned rows = 0;
    unsigned short columns = 0;
    if (opened != FREEXL_OK || freexl_select_active_worksheet(raw, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK)
        return false;
    table.assign(rows, TextRow(columns));
    for (unsigned r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(raw, r, c, &value) != FREEXL_OK)
                return false;
            if ((value.type == FREEXL_CELL_TEXT || value.type == FREEXL_CELL_SST_TEXT) &&
                value.value.text_value)
                table[r][c] = value.value.text_value;
        }
    }
    return true;
}

void BM_ReadXlsFreeXlReference(benchmark::State& state) {
    Folder folder;
    const std::string path = folder.File("t.xls");
    if (!WriteWorkbook(path, Table()).ok())
        state.SkipWithError("cannot write the workbook");
    for (auto _ : state) {
        TextTable back;
        if (!ReadWithFreeXl(path, back) || back.size() != kRows)
            state.SkipWithError("FreeXL cannot read the workbook");
        benchmark::DoNotOptimize(back);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows * kColumns));
}

void BM_WriteDelimitedTextReference(benchmark::State& state) {
    Folder folder;
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteDelimitedText(folder.File("t.txt"), Table(), '|'));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows * kColumns));
}

void BM_ReadDelimitedTextReference(benchmark::State& state) {
    Folder folder;
    const std::string path = folder.File("t.txt");
    WriteDelimitedText(path, Table(), '|');
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        TextTable back = SplitDelimitedText(text, '|');
        if (back.size() != kRows)
            state.SkipWithError("read back failed");
        benchmark::DoNotOptimize(back);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows * kColumns));
}

BENCHMARK(BM_WriteDelimitedTextReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDelimitedTextReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXlsFreeXlReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brindlecot

BENCHMARK_MAIN();
