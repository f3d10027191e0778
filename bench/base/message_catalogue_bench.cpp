#include "base/app_path.h"
#include "base/catalogue/stdafx_keys.h"
#include "base/message_catalogue.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

// Import and validation fetch one message per rejected cell, so a large file with many
// bad cells fetches the same few texts many thousand times.
void SetUpShippedCatalogue() {
    brindlecot::SetAppFolder(BRINDLECOT_SOURCE_DIR "/dist");
    brindlecot::SelectMessageCatalogue();
}

// Reference: what every fetch would cost if it merely read the catalogue file once.
void BM_ReadCatalogueFile(benchmark::State& state) {
    SetUpShippedCatalogue();
    const std::string path = brindlecot::AppPath(brindlecot::MessageCatalogueName());
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        benchmark::DoNotOptimize(content);
    }
}
BENCHMARK(BM_ReadCatalogueFile);

void BM_LoadMessageLastSection(benchmark::State& state) {
    SetUpShippedCatalogue();
    for (auto _ : state) {
        std::string text = brindlecot::LoadMessage(brindlecot::catalogue::stdafx::kRuleTooLong);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_LoadMessageLastSection);

}  // namespace
BENCHMARK_MAIN();
