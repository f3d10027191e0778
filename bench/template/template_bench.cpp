// Field rules over a million values, and statistics over a 100,000-row batch, each
// beside a plain pass over the same data (copy + strtod) measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/app_path.h"
#include "template/column_statistics.h"
#include "template/field_rules.h"
#include "template/record_table.h"
#include "template/template_definition.h"

namespace brindlecot {
namespace {

struct TypedValue {
    std::string value;
    std::string type;
};

const std::vector<TypedValue>& MixedValues() {
    static const std::vector<TypedValue> values = [] {
        std::mt19937 random(1);
        std::vector<TypedValue> out;
        out.reserve(1000000);
        const std::string name = "\xD5\xC5\xC8\xFD";  // two GBK characters
        for (int i = 0; i < 1000000; ++i) {
            switch (i % 5) {
                case 0:
                    out.push_back({std::to_string(random() % 1000000000), "19\"N\""});
                    break;
                case 1:
                    out.push_back({name + " ", "20\"X\"+6\"N\""});
                    break;
                case 2:
                    out.push_back(
                        {std::to_string(random() % 100000) + "." + std::to_string(random() % 100),
                         "12\"M\""});
                    break;
                case 3:
                    out.push_back({"2024-0" + std::to_string(1 + random() % 9) + "-1" +
                                       std::to_string(random() % 10),
                                   "YYYYMMDD"});
                    break;
                default:
                    out.push_back({"abc" + std::to_string(i % 100), "12\"E\""});
                    break;
            }
        }
        return out;
    }();
    return values;
}

void BM_ValidateAndFill(benchmark::State& state) {
    const auto& values = MixedValues();
    std::string value;
    for (auto _ : state) {
        long long accepted = 0;
        for (const TypedValue& v : values) {
            value = v.value;
            accepted += ValidateFieldValue(value, v.type, true) == RuleOk;
            FillFieldValue(value, v.type);
            benchmark::DoNotOptimize(value.data());
        }
        benchmark::DoNotOptimize(accepted);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(values.size()));
}
BENCHMARK(BM_ValidateAndFill)->Unit(benchmark::kMillisecond);

// Reference: copy every value and read it as a number.
void BM_ReferenceCopyAndStrtod(benchmark::State& state) {
    const auto& values = MixedValues();
    std::string value;
    for (auto _ : state) {
        double sum = 0;
        for (const TypedValue& v : values) {
            value = v.value;
            sum += std::strtod(value.c_str(), nullptr);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(values.size()));
}
BENCHMARK(BM_ReferenceCopyAndStrtod)->Unit(benchmark::kMillisecond);

constexpr int kRows = 100000;
constexpr int kFields = 20;

struct Batch {
    Template definition;
    RecordTable table;
};

Batch& BigBatch() {
    static Batch batch = [] {
        SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
        Batch b;
        for (int i = 1; i <= kFields; ++i) {
            FieldItem field;
            field.index = i;
            field.name = "f" + std::to_string(i);
            field.type = "15\"M\"";
            field.visible = true;
            field.columnNumber = i;
            AddField(b.definition, field);
        }
        ParseStatistics("3|sum,avg,max,min|0|a-5|sum|0|b-7|max,min|1|c-9|avg|0|d",
                        b.definition.statistics);
        BuildRecordColumns(b.definition, b.table);
        std::mt19937 random(2);
        std::vector<std::string> cells(kFields);
        b.table.Reserve(kRows);
        for (int row = 0; row < kRows; ++row) {
            for (int f = 0; f < kFields; ++f) {
                cells[static_cast<std::size_t>(f)] =
                    std::to_string(random() % 1000000) + "." + std::to_string(10 + random() % 90);
            }
            b.table.AppendRow(cells, row % 50 == 0 ? "error" : "");
        }
        return b;
    }();
    return batch;
}

// A full recomputation: every cell of the four columns read.
void BM_ComputeStatistics(benchmark::State& state) {
    Batch& batch = BigBatch();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeStatistics(batch.definition, batch.table));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ComputeStatistics)->Unit(benchmark::kMillisecond);

// One committed edit as the editor does it: store the cell, then recompute the
// statistics with the editor's cache.
void BM_EditAndRecompute(benchmark::State& state) {
    Batch& batch = BigBatch();
    StatisticsCache cache;
    ComputeStatistics(batch.definition, batch.table, cache);
    int row = 0;
    for (auto _ : state) {
        batch.table.SetCell(row, 3, row % 2 ? "12.50" : "7.25");
        row = (row + 7919) % kRows;
        benchmark::DoNotOptimize(ComputeStatistics(batch.definition, batch.table, cache));
    }
}
BENCHMARK(BM_EditAndRecompute)->Unit(benchmark::kMillisecond);

// Reference: strtod over the same four columns' cells held as plain strings.
void BM_ReferenceStrtodFourColumns(benchmark::State& state) {
    Batch& batch = BigBatch();
    static const std::vector<std::string> cells = [&] {
        std::vector<std::string> out;
        for (int row = 0; row < kRows; ++row) {
            for (int column : {3, 5, 7, 9})
                out.emplace_back(batch.table.Cell(row, column));
        }
        return out;
    }();
    for (auto _ : state) {
        double sum = 0;
        for (const std::string& cell : cells)
            sum += std::strtod(cell.c_str(), nullptr);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReferenceStrtodFourColumns)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brindlecot

BENCHMARK_MAIN();
