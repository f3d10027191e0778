// Writing and reading back a 65,535 x 10 table of text cells in both workbook formats,
// against the same table written and read as delimited text (the reference).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/gbk_text.h"
#include "template/workbook/workbook.h"
#include "template/workbook/workbook_conversion.h"

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

void Write(benchmark::State& state, const char* name) {
    Folder folder;
    const TextTable& table = Table();
    for (auto _ : state) {
        const WorkbookStatus status = WriteWorkbook(folder.File(name), table);
        if (!status.ok())
            state.SkipWithError(status.detail.c_str());
    }
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
BENCHMARK(BM_ReadXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brindlecot

BENCHMARK_MAIN();
