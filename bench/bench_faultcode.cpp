// Fault code database: loading a 20,000-fault (about 20 MB) database and
// looking up one fault near its end, against libxml2 doing the same load and
// the same XPath query in the same run. Peak memory of each load is measured
// in a child process. The closing lines give the ratios to the baseline.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "pelix/fault_code_parser.h"
#include "platform/temp_folder.h"
#include "platform/xml_document.h"

namespace {

constexpr int kFaults = 20000;
constexpr int kTargetFault = kFaults - 7;  // near the end
const char* const kCategories[] = {"BTS", "TRX", "ENV", "DXU"};
const char* const kFunctions[] = {"CF", "TF", "TX", "RX", "TS", "DP"};
const char* const kMaps[] = {"I1A", "I1B", "I2A", "EC1", "EC2", "RU"};

std::string g_path;

std::string CodeText(int fault, int indent) {
  const std::string pad(static_cast<size_t>(indent), ' ');
  return pad + "<code>\n" + pad + "  <category>" + kCategories[fault % 4] + "</category>\n" + pad + "  <function>" +
         kFunctions[fault % 6] + "</function>\n" + pad + "  <map>" + kMaps[(fault / 6) % 6] + "</map>\n" + pad +
         "  <id>" + std::to_string(fault) + "</id>\n" + pad + "</code>\n";
}

std::string FaultCode(int fault) {
  return std::string(kCategories[fault % 4]) + " " + kFunctions[fault % 6] + " " + kMaps[(fault / 6) % 6] + ":" +
         std::to_string(fault);
}

// One fault of about 1 kB: a description for two kinds with a paragraph and
// a nested list, an action, and three related faults.
void WriteFault(std::ofstream& out, int fault) {
  out << "  <fault>\n" << CodeText(fault, 4);
  out << "    <description>\n      <type>Macro</type>\n      <type>Micro</type>\n"
      << "      <p>Fault " << fault << " of the " << kFunctions[fault % 6]
      << " function: the unit reported an internal failure.</p>\n"
      << "      <list>\n"
      << "        <li><p>First cause: a supervision timer expired.</p></li>\n"
      << "        <li>\n          <p>Second cause, one of:</p>\n          <list>\n"
      << "            <li><p>the cabling is loose</p></li>\n"
      << "            <li><p>the unit is faulty</p></li>\n          </list>\n        </li>\n"
      << "      </list>\n    </description>\n";
  out << "    <action>\n      <type>Macro</type>\n      <p>Check the cabling, then replace the unit.</p>\n"
      << "    </action>\n";
  out << "    <relatedfault>\n      <type>Macro</type>\n";
  for (int k = 1; k <= 3; ++k) out << CodeText((fault + k * 13) % kFaults, 6);
  out << "    </relatedfault>\n  </fault>\n";
}

void GenerateDatabase() {
  g_path = pelix::platform::TempFolder() + "pelix-bench-faultcodes-" + std::to_string(::getpid()) + ".xml";
  std::ofstream out(g_path, std::ios::binary);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<faultcodedescription>\n";
  for (int fault = 0; fault < kFaults; ++fault) WriteFault(out, fault);
  out << "</faultcodedescription>\n";
  if (!out) throw std::runtime_error("cannot write the benchmark database");
}

// The query GetDescription runs for the target fault.
std::string TargetQuery() {
  return std::string("/faultcodedescription/fault[code[category='") + kCategories[kTargetFault % 4] +
         "' and function='" + kFunctions[kTargetFault % 6] + "' and map='" + kMaps[(kTargetFault / 6) % 6] +
         "' and id='" + std::to_string(kTargetFault) + "']]";
}

xmlDocPtr LibXml2Load() {
  // No network, no entity expansion (the default), white-space-only text
  // dropped as in our document; COMPACT is libxml2's own speed-up.
  return xmlReadFile(g_path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_COMPACT);
}

// --- load ---

void BM_Init_Pelix(benchmark::State& state) {
  CFaultCodeParser parser;
  for (auto _ : state) {
    if (parser.Init(g_path.c_str()) != 1) state.SkipWithError("Init failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(state.range(0)));
}

void BM_Load_LibXml2(benchmark::State& state) {
  for (auto _ : state) {
    xmlDocPtr doc = LibXml2Load();
    if (doc == nullptr) state.SkipWithError("xmlReadFile failed");
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(state.range(0)));
}

// --- look-up ---

void BM_GetDescription_Pelix(benchmark::State& state) {
  CFaultCodeParser parser;
  if (parser.Init(g_path.c_str()) != 1) state.SkipWithError("Init failed");
  const std::string code = FaultCode(kTargetFault);
  for (auto _ : state) {
    std::unique_ptr<CFaultCodeDescription> record(
        parser.GetDescription("BTS", nullptr, code.c_str(), static_cast<CabinetType>(1)));
    if (record == nullptr || record->m_relatedFaults.GetSize() != 3) state.SkipWithError("look-up failed");
    benchmark::DoNotOptimize(record.get());
  }
}

// The fault query alone through our document, for comparison with libxml2's.
void BM_Query_Pelix(benchmark::State& state) {
  pelix::platform::XmlDocument doc;
  if (!doc.Load(g_path.c_str())) state.SkipWithError("load failed");
  const std::string query = TargetQuery();
  for (auto _ : state) {
    const pelix::platform::XmlNode fault = doc.DocumentNode().SelectSingleNode(query.c_str());
    if (fault.IsNull()) state.SkipWithError("query found nothing");
    benchmark::DoNotOptimize(&fault);
  }
}

void BM_Query_LibXml2(benchmark::State& state) {
  xmlDocPtr doc = LibXml2Load();
  xmlXPathContextPtr context = doc != nullptr ? xmlXPathNewContext(doc) : nullptr;
  if (context == nullptr) {
    state.SkipWithError("load failed");
    xmlFreeDoc(doc);
    return;
  }
  const std::string query = TargetQuery();
  for (auto _ : state) {
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(query.c_str()), context);
    if (result == nullptr || result->nodesetval == nullptr || result->nodesetval->nodeNr < 1) {
      state.SkipWithError("query found nothing");
    }
    benchmark::DoNotOptimize(result);
    xmlXPathFreeObject(result);
  }
  xmlXPathFreeContext(context);
  xmlFreeDoc(doc);
}

// --- a single load in a fresh process ---
//
// The terminal loads its database once per session, so the first load in a
// fresh process, with no warm heap to reuse, is measured too: this binary
// runs itself with "--load-once <pelix|libxml2> <path>", and the child
// reports the load's wall time and how far its peak resident set grew.

bool LoadOnce(const std::string& kind, const char* path) {
  if (kind == "pelix") {
    CFaultCodeParser parser;
    return parser.Init(path) == 1;
  }
  xmlDocPtr doc = xmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_COMPACT);
  const bool ok = doc != nullptr;
  xmlFreeDoc(doc);
  return ok;
}

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

int ChildMain(const std::string& kind, const char* path) {
  const long before = StatusKiB("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  const bool ok = LoadOnce(kind, path);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long peak = StatusKiB("VmHWM");
  if (!ok) return 1;
  std::printf("%.9f %ld\n", seconds, peak - before);
  return 0;
}

// Runs one child; false when it failed.
bool RunChild(const char* kind, double& seconds, long& growthKiB) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl("/proc/self/exe", "bench_faultcode", "--load-once", kind, g_path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  char text[128] = {};
  size_t got = 0;
  ssize_t n = 0;
  while (got < sizeof text - 1 && (n = ::read(fds[0], text + got, sizeof text - 1 - got)) > 0) {
    got += static_cast<size_t>(n);
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::sscanf(text, "%lf %ld", &seconds, &growthKiB) == 2;
}

void FreshLoad(benchmark::State& state, const char* kind) {
  long peakKiB = 0;
  for (auto _ : state) {
    double seconds = 0;
    long growth = 0;
    if (!RunChild(kind, seconds, growth)) {
      state.SkipWithError("child load failed");
      break;
    }
    state.SetIterationTime(seconds);
    if (growth > peakKiB) peakKiB = growth;
  }
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_FreshInit_Pelix(benchmark::State& state) { FreshLoad(state, "pelix"); }
void BM_FreshLoad_LibXml2(benchmark::State& state) { FreshLoad(state, "libxml2"); }

// Prints the usual table, then each measurement as a ratio to its libxml2
// baseline from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
      m_seconds[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const auto peak = run.counters.find("peak_MiB");
      if (peak != run.counters.end()) m_peakMiB[name] = peak->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nRatios to the libxml2 baseline of this run (wall time; lower is better):\n");
    Ratio("first Init in a fresh process / libxml2 (target <= 0.5)", m_seconds, "BM_FreshInit_Pelix",
          "BM_FreshLoad_LibXml2", "ms", 1e3);
    Ratio("repeated Init in one process / libxml2  (target <= 0.5)", m_seconds, "BM_Init_Pelix", "BM_Load_LibXml2",
          "ms", 1e3);
    Ratio("GetDescription / libxml2 fault query    (target <= 1.0)", m_seconds, "BM_GetDescription_Pelix",
          "BM_Query_LibXml2", "us", 1e6);
    Ratio("fault query alone / libxml2 fault query                ", m_seconds, "BM_Query_Pelix", "BM_Query_LibXml2",
          "us", 1e6);
    Ratio("peak memory growth of a load / libxml2's               ", m_peakMiB, "BM_FreshInit_Pelix",
          "BM_FreshLoad_LibXml2", "MiB", 1.0);
    std::printf("\n");
  }

 private:
  static void Ratio(const char* label, const std::map<std::string, double>& values, const char* ours,
                    const char* baseline, const char* unit, double scale) {
    const auto a = values.find(ours);
    const auto b = values.find(baseline);
    if (a == values.end() || b == values.end() || b->second <= 0) {
      std::printf("  %s: not measured\n", label);
      return;
    }
    std::printf("  %s: %.3f  (%.2f %s vs %.2f %s)\n", label, a->second / b->second, a->second * scale, unit,
                b->second * scale, unit);
  }

  std::map<std::string, double> m_seconds;
  std::map<std::string, double> m_peakMiB;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--load-once") return ChildMain(argv[2], argv[3]);
  xmlInitParser();
  GenerateDatabase();
  std::ifstream probe(g_path, std::ios::binary | std::ios::ate);
  const int64_t size = static_cast<int64_t>(probe.tellg());
  std::printf("database: %d faults, %.1f MB, target fault %s\n", kFaults, static_cast<double>(size) / 1e6,
              FaultCode(kTargetFault).c_str());

  benchmark::RegisterBenchmark("BM_FreshInit_Pelix", BM_FreshInit_Pelix)
      ->Iterations(6)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_FreshLoad_LibXml2", BM_FreshLoad_LibXml2)
      ->Iterations(6)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_Init_Pelix", BM_Init_Pelix)->Arg(size)->Unit(benchmark::kMillisecond)->MinTime(3.0);
  benchmark::RegisterBenchmark("BM_Load_LibXml2", BM_Load_LibXml2)
      ->Arg(size)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(3.0);
  benchmark::RegisterBenchmark("BM_GetDescription_Pelix", BM_GetDescription_Pelix)
      ->Unit(benchmark::kMicrosecond)
      ->MinTime(2.0);
  benchmark::RegisterBenchmark("BM_Query_Pelix", BM_Query_Pelix)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
  benchmark::RegisterBenchmark("BM_Query_LibXml2", BM_Query_LibXml2)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::remove(g_path.c_str());
  xmlCleanupParser();
  return 0;
}
