// Cost of a fault map report on its road to the screen, per report of a
// realistic size (data type 7, all six maps, 3 time stamps, 96 octets), with
// no trace handler installed:
//   decode; decode + merge; decode + merge + fault text of 3 changed faults;
// against a floor measured in the same run: the same octets copied into
// fixed arrays and the maps XOR-ed with the kept ones. A summary at the end
// prints every figure as a ratio to the floor (target: decode + merge
// within 10x).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"

namespace {

constexpr int kKinds = 6;
constexpr uint8_t kIds[kKinds] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};
constexpr int kSizes[kKinds] = {13, 13, 17, 3, 9, 13};  // data type 7

void PutDword(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A report of the timeslot object 3-1 with every map; `variant` moves three
// faults (I1A:5, EC2:20, RU:33) so that two variants differ in 3 faults.
std::string MakeReport(int variant) {
  std::string area;
  for (int k = 0; k < kKinds; ++k) {
    std::string map(static_cast<size_t>(kSizes[k]), '\0');
    map[0] = static_cast<char>(kIds[k]);
    map[2] = static_cast<char>(0x11);  // a few standing faults
    area += map;
  }
  if (variant == 1) {
    area[1] = static_cast<char>(area[1] | 0x20);               // I1A fault 5
    area[13 + 13 + 17 + 3 + 3] = static_cast<char>(0x10);      // EC2 fault 20
    area[13 + 13 + 17 + 3 + 9 + 5] = static_cast<char>(0x02);  // RU fault 33
  }
  std::string report = {3, 3, 1, 2, static_cast<char>(area.size())};
  report += area;
  PutDword(report, 1086000000U + static_cast<uint32_t>(variant));
  report += static_cast<char>(3);
  const uint8_t stampKinds[3] = {0, 4, 5};
  const uint8_t stampFaults[3] = {5, 20, 33};
  for (int i = 0; i < 3; ++i) {
    report += static_cast<char>(stampKinds[i]);
    report += static_cast<char>(stampFaults[i]);
    PutDword(report, 1086000000U - 60U * static_cast<uint32_t>(i));
  }
  return report;
}

const std::string& Report(int variant) {
  static const std::string reports[2] = {MakeReport(0), MakeReport(1)};
  return reports[variant];
}

// The floor: the octets copied into fixed arrays at their known places and
// the maps XOR-ed with the kept ones.
struct FixedMaps {
  uint8_t header[5];
  uint8_t maps[kKinds][17];
  uint8_t tail[32];
};

void BM_Floor(benchmark::State& state) {
  FixedMaps kept{};
  FixedMaps incoming{};
  uint8_t changes[kKinds][17] = {};
  int variant = 0;
  for (auto _ : state) {
    const std::string& report = Report(variant);
    variant ^= 1;
    const char* octets = report.data();
    std::memcpy(incoming.header, octets, 5);
    int position = 5;
    for (int k = 0; k < kKinds; ++k) {
      std::memcpy(incoming.maps[k], octets + position, static_cast<size_t>(kSizes[k]));
      position += kSizes[k];
    }
    std::memcpy(incoming.tail, octets + position, report.size() - static_cast<size_t>(position));
    for (int k = 0; k < kKinds; ++k) {
      for (int i = 1; i < kSizes[k]; ++i) {
        changes[k][i] = static_cast<uint8_t>(kept.maps[k][i] ^ incoming.maps[k][i]);
        kept.maps[k][i] = incoming.maps[k][i];
      }
    }
    benchmark::DoNotOptimize(changes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Floor);

void BM_Decode(benchmark::State& state) {
  int variant = 0;
  for (auto _ : state) {
    const std::string& report = Report(variant);
    variant ^= 1;
    CFaultMap map(report.data(), static_cast<unsigned char>(report.size()), OMS_TOLVA_MON_DATATYPE_7);
    benchmark::DoNotOptimize(&map);
  }
}
BENCHMARK(BM_Decode);

void BM_DecodeMerge(benchmark::State& state) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  int variant = 0;
  for (auto _ : state) {
    const std::string& report = Report(variant);
    variant ^= 1;
    kept.UpdateFaultMap(CFaultMap(report.data(), static_cast<unsigned char>(report.size()), OMS_TOLVA_MON_DATATYPE_7));
    benchmark::DoNotOptimize(&kept);
  }
  if (!kept.IsChanged()) state.SkipWithError("the reports did not alternate");
}
BENCHMARK(BM_DecodeMerge);

void BM_DecodeMergeText(benchmark::State& state) {
  const bool made = CTableOfMonitorRptInTxt::Get() == nullptr;
  CTableOfMonitorRptInTxt* table = CTableOfMonitorRptInTxt::Create();
  CArray<CString, CString> names;
  for (int i = 0; i < 100; ++i) names.Add(CString("Fault name of a realistic length"));
  for (int k = 0; k < kKinds; ++k) table->StoreMonitorRpt(MO_AO_TS, static_cast<FaultMapType>(k), names);

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  int variant = 0;
  int64_t lineCount = 0;
  for (auto _ : state) {
    const std::string& report = Report(variant);
    variant ^= 1;
    kept.UpdateFaultMap(CFaultMap(report.data(), static_cast<unsigned char>(report.size()), OMS_TOLVA_MON_DATATYPE_7));
    CArray<CString, CString> lines;
    CArray<FaultMapItem*, FaultMapItem*> items;
    kept.GetFaultMaps(lines, items);
    lineCount += lines.GetSize();
    for (FaultMapItem* item : items) delete item;
  }
  // After the first report every merge changes exactly 3 faults.
  state.counters["lines_per_report"] =
      benchmark::Counter(static_cast<double>(lineCount), benchmark::Counter::kAvgIterations);
  if (made) delete table;
}
BENCHMARK(BM_DecodeMergeText);

// Prints the usual table, then every benchmark's CPU time as a ratio to the
// floor's (CPU time, so that other work on a shared machine counts less).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      m_nsPerReport[run.benchmark_name()] = run.GetAdjustedCPUTime();
      m_order.push_back(run.benchmark_name());
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    const auto floor = m_nsPerReport.find("BM_Floor");
    if (floor == m_nsPerReport.end() || floor->second <= 0) return;
    std::printf("\nRatios of CPU time to the floor (BM_Floor, %.1f ns per report), no trace handler:\n", floor->second);
    for (const std::string& name : m_order) {
      std::printf("  %-22s %10.1f ns  %7.1fx\n", name.c_str(), m_nsPerReport.at(name),
                  m_nsPerReport.at(name) / floor->second);
    }
    const auto merge = m_nsPerReport.find("BM_DecodeMerge");
    if (merge != m_nsPerReport.end()) {
      std::printf("  decode + merge target: within 10x of the floor: %s\n",
                  merge->second <= 10.0 * floor->second ? "met" : "NOT met");
    }
  }

 private:
  std::map<std::string, double> m_nsPerReport;
  std::vector<std::string> m_order;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
