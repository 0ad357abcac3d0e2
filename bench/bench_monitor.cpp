// Costs of building the monitor catalogue and of its linear-scan queries,
// each next to a baseline measured in the same run: the plain work of copying
// the catalogue's strings, and of scanning its names with exact compares.
// Compare the figures as ratios (query / baseline).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "monitor/monitor_catalogue.h"
#include "pelix/monitor_object_table.h"

namespace {

using pelix::monitor::CatalogueRow;
using pelix::monitor::kCatalogue;

// Baseline for Reset: copying every string of the catalogue once.
void BM_Baseline_CopyCatalogueStrings(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> copies;
    copies.reserve(4 * 271);
    for (const CatalogueRow& row : kCatalogue) {
      copies.emplace_back(row.displayName);
      copies.emplace_back(row.description);
      copies.emplace_back(row.internalName);
      copies.emplace_back(row.shortId);
    }
    benchmark::DoNotOptimize(copies.data());
  }
}
BENCHMARK(BM_Baseline_CopyCatalogueStrings);

void BM_Reset(benchmark::State& state) {
  CMonitorObjectTable table;
  for (auto _ : state) table.Reset();
}
BENCHMARK(BM_Reset);

// Baseline for the name lookups: an exact compare against every display name.
void BM_Baseline_ScanDisplayNames(benchmark::State& state) {
  std::vector<std::string> names;
  for (const CatalogueRow& row : kCatalogue) names.emplace_back(row.displayName);
  const std::string wanted = "No such monitor";
  for (auto _ : state) {
    int found = -1;
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == wanted) {
        found = static_cast<int>(i);
        break;
      }
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_Baseline_ScanDisplayNames);

// The worst case: no display name matches, all 271 are stripped and compared.
void BM_GetMonitorId_Miss(benchmark::State& state) {
  CMonitorObjectTable table;
  const CString wanted = "No such monitor";
  for (auto _ : state) benchmark::DoNotOptimize(table.GetMonitorId(wanted));
}
BENCHMARK(BM_GetMonitorId_Miss);

void BM_GetMonitorName_LastId(benchmark::State& state) {
  CMonitorObjectTable table;
  CString name;
  for (auto _ : state) {
    table.GetMonitorName(427, name);
    benchmark::DoNotOptimize(name.GetString());
  }
}
BENCHMARK(BM_GetMonitorName_LastId);

// Baseline for the id list: appending 428 ids without any filter.
void BM_Baseline_AppendAllIds(benchmark::State& state) {
  for (auto _ : state) {
    CArray<int, int> ids;
    for (int id = 0; id < 428; ++id) ids.Add(id);
    benchmark::DoNotOptimize(ids.GetData());
  }
}
BENCHMARK(BM_Baseline_AppendAllIds);

void BM_GetAllInternalIDs_ReducedSet(benchmark::State& state) {
  CMonitorObjectTable table;
  for (auto _ : state) {
    CArray<int, int> ids;
    table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
    benchmark::DoNotOptimize(ids.GetData());
  }
}
BENCHMARK(BM_GetAllInternalIDs_ReducedSet);

void BM_GetAllInternalIDs_Full(benchmark::State& state) {
  CMonitorObjectTable table;
  for (auto _ : state) {
    CArray<int, int> ids;
    table.GetAllInternalIDs(ids, CT_UNIDENTIFIED);
    benchmark::DoNotOptimize(ids.GetData());
  }
}
BENCHMARK(BM_GetAllInternalIDs_Full);

}  // namespace

BENCHMARK_MAIN();
