// Cost of the settings operations per call, next to the raw SQLite cost of
// the same work on a file in the same folder, measured in the same run:
//   SetRegValue  vs  one committed single-row INSERT (WAL, full sync, as the hives use)
//   GetRegString vs  one SELECT through a unique index
// The ratios (operation / baseline) are printed after the table.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pelix/platform.h"
#include "pelix/regfunc.h"

namespace {

constexpr int kRows = 1000;

std::string g_folder;
sqlite3* g_raw = nullptr;
int g_next = 0;  // fresh names for the insert benchmarks

std::string RowName(int i) { return "value" + std::to_string(i); }
const std::string kText = "COM1:9600,8,N,1 terminal setting";

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "bench_registry: %s failed\n", what);
    std::exit(1);
  }
}

void SetUpStores() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/pelix-bench-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  Check(mkdtemp(name.data()) != nullptr, "mkdtemp");
  g_folder = name.data();
  setenv("PELIX_REGISTRY_DIR", g_folder.c_str(), 1);

  HKEY key = nullptr;
  Check(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Pelix\\Settings", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS,
        "create key");
  RegCloseKey(key);
  SetRegPath("Software\\Pelix");

  Check(sqlite3_open((g_folder + "/raw.sqlite3").c_str(), &g_raw) == SQLITE_OK, "open raw");
  sqlite3_busy_timeout(g_raw, 10000);
  Check(sqlite3_exec(g_raw,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                     "CREATE TABLE kv(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, data BLOB NOT NULL)",
                     nullptr, nullptr, nullptr) == SQLITE_OK,
        "raw schema");
  Check(sqlite3_exec(g_raw, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK, "raw begin");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(g_raw, "INSERT INTO kv(name, data) VALUES(?1, ?2)", -1, &insert, nullptr);
  CString text(kText);
  for (int i = 0; i < kRows; ++i) {
    std::string rowName = RowName(i);
    SetRegValue("Settings", rowName.c_str(), text, 1);
    sqlite3_bind_text(insert, 1, rowName.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 2, kText.data(), static_cast<int>(kText.size()), SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(g_raw, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "raw commit");
  Check(GetRegString("Settings", "value7", "", 1) == CString(kText), "prefill");
}

void TearDownStores() {
  sqlite3_close(g_raw);
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

void BM_Baseline_RawCommittedInsert(benchmark::State& state) {
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(g_raw, "INSERT INTO kv(name, data) VALUES(?1, ?2)", -1, &insert, nullptr);
  for (auto _ : state) {
    std::string name = "new" + std::to_string(g_next++);
    sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 2, kText.data(), static_cast<int>(kText.size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
}
BENCHMARK(BM_Baseline_RawCommittedInsert)->UseRealTime();

void BM_SetRegValue_Text(benchmark::State& state) {
  CString text(kText);
  for (auto _ : state) {
    std::string name = "new" + std::to_string(g_next++);
    SetRegValue("Settings", name.c_str(), text, 1);
  }
}
BENCHMARK(BM_SetRegValue_Text)->UseRealTime();

void BM_Baseline_RawIndexedSelect(benchmark::State& state) {
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(g_raw, "SELECT data FROM kv WHERE name=?1", -1, &select, nullptr);
  std::vector<std::string> names;
  for (int i = 0; i < kRows; ++i) names.push_back(RowName(i));
  size_t i = 0;
  for (auto _ : state) {
    const std::string& name = names[i++ % names.size()];
    sqlite3_bind_text(select, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
    if (sqlite3_step(select) != SQLITE_ROW) state.SkipWithError("select failed");
    std::string data(static_cast<const char*>(sqlite3_column_blob(select, 0)),
                     static_cast<size_t>(sqlite3_column_bytes(select, 0)));
    benchmark::DoNotOptimize(data.data());
    sqlite3_reset(select);
  }
  sqlite3_finalize(select);
}
BENCHMARK(BM_Baseline_RawIndexedSelect)->UseRealTime();

void BM_GetRegString(benchmark::State& state) {
  std::vector<CString> names;
  for (int i = 0; i < kRows; ++i) names.emplace_back(RowName(i));
  const CString fallback("none");
  size_t i = 0;
  for (auto _ : state) {
    CString text = GetRegString("Settings", names[i++ % names.size()], fallback, 1);
    if (text.GetLength() != static_cast<int>(kText.size())) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(text.GetString());
  }
}
BENCHMARK(BM_GetRegString)->UseRealTime();

void BM_GetRegDword_Missing(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(GetRegDword("Settings", "missing", 5, 1));
}
BENCHMARK(BM_GetRegDword_Missing)->UseRealTime();

// Keeps each benchmark's time per iteration so that the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The median of the repetitions when there are several, else the one run.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration && run.repetitions <= 1) {
        times[run.run_name.str()] = run.GetAdjustedRealTime();
      } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times[run.run_name.str()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter& reporter, const char* what, const char* baseline, double target) {
  auto a = reporter.times.find(std::string(what) + "/real_time");
  auto b = reporter.times.find(std::string(baseline) + "/real_time");
  if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
  double ratio = a->second / b->second;
  std::printf("%-28s / %-32s = %5.2fx  (target <= %.1fx: %s)\n", what, baseline, ratio, target,
              ratio <= target ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SetUpStores();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios against the raw SQLite baselines of this run:\n");
  PrintRatio(reporter, "BM_SetRegValue_Text", "BM_Baseline_RawCommittedInsert", 1.5);
  PrintRatio(reporter, "BM_GetRegString", "BM_Baseline_RawIndexedSelect", 3.0);
  PrintRatio(reporter, "BM_GetRegDword_Missing", "BM_Baseline_RawIndexedSelect", 3.0);
  TearDownStores();
  benchmark::Shutdown();
  return 0;
}
