// The verified flash card copy against a baseline of standard tools doing the
// same essential work in the same run: every card file written to the card
// and to the temporary folder (cp), everything flushed (sync), the card
// files' cached pages dropped (dd iflag=nocache) and both copies compared
// (cmp). Also: peak memory of a copy of 32 and of 128 MiB (it must stay
// flat), and the file-information parser on hostile text against a plain
// read of the same file.
//
// Run: bench_swload_copy [--benchmark_...]; the summary lines at the end give
// the ratios. PELIX_BENCH_COPY_MIB changes the large package size (128).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "pelix/file_info_parser.h"
#include "pelix/tolva_sw_handler.h"
#include "platform/temp_folder.h"
#include "tools/package_generator/package_generator.h"

namespace {

namespace fs = std::filesystem;
using pelix::packagegen::PackageSpec;

constexpr int kSubFiles = 64;
constexpr int kLoadFiles = 4;
constexpr int kBootEvery = 4;  // a quarter of the sub-files are boot sub-files

struct Workspace {
  std::string root, tmp, stage, card, baselineCard;
  std::string pkg32, pkg128, parserPkg, parserSmallPkg;
  uint64_t largeBytes = 0;
  PackageSpec large;
  double baselineSeconds = 0, copySeconds = 0;
  long rss32 = 0, rss128 = 0;
  double parserSeconds = 0, readSeconds = 0, parserSmallSeconds = 0;
};

Workspace* g_ws = nullptr;

uint64_t LargeMiB() {
  const char* text = std::getenv("PELIX_BENCH_COPY_MIB");
  const long value = text != nullptr ? std::atol(text) : 128;
  return static_cast<uint64_t>(value > 0 ? value : 128);
}

// The card files a copy of the package must produce, written once into
// stage/ for the baseline: the ordinary sub-files and the joined boot file.
void Stage(const PackageSpec& package, const std::string& stage) {
  fs::create_directories(stage + "GLOBAL");
  std::ofstream boot(stage + "ZCL", std::ios::binary);
  for (const auto& loadFile : package.loadFiles) {
    for (const auto& subFile : loadFile.subFiles) {
      const std::string content = pelix::packagegen::SubFileContent(subFile);
      if (!subFile.boot.empty()) {
        boot.write(content.data(), static_cast<std::streamsize>(content.size()));
      } else {
        std::ofstream out(stage + "GLOBAL/" + subFile.name, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
      }
    }
  }
}

Workspace& Ws() {
  if (g_ws != nullptr) return *g_ws;
  g_ws = new Workspace();
  Workspace& ws = *g_ws;
  std::string pattern = pelix::platform::TempFolder() + "bench_swload_XXXXXX";
  ws.root = std::string(::mkdtemp(pattern.data())) + "/";
  ws.tmp = ws.root + "tmp/";
  ws.stage = ws.root + "stage/";
  ws.card = ws.root + "card/";
  ws.baselineCard = ws.root + "basecard/";
  ws.pkg32 = ws.root + "pkg32/";
  ws.pkg128 = ws.root + "pkg128/";
  for (const auto& folder : {ws.tmp, ws.card, ws.baselineCard}) fs::create_directories(folder);
  ::setenv("TMPDIR", ws.tmp.c_str(), 1);  // the handler's temporary copies land here

  ws.largeBytes = LargeMiB() << 20;
  ws.large = pelix::packagegen::LargePackage(ws.largeBytes, kSubFiles, kLoadFiles, kBootEvery);
  pelix::packagegen::WritePackage(ws.pkg128, ws.large);
  pelix::packagegen::WritePackage(ws.pkg32,
                                  pelix::packagegen::LargePackage(32ULL << 20, kSubFiles, kLoadFiles, kBootEvery));
  Stage(ws.large, ws.stage);
  return ws;
}

void Cleanup() {
  if (g_ws == nullptr) return;
  std::error_code error;
  fs::remove_all(g_ws->root, error);
  delete g_ws;
  g_ws = nullptr;
}

bool CopyPackage(const std::string& pkg, const std::string& card) {
  CTolva_SW_Handler handler;
  if (handler.Init(pkg.c_str(), false, false) != SR_OK) return false;
  return handler.CopyFilesToFlashCard(card.c_str(), ZCU_H40, nullptr) == SR_OK;
}

void BM_Baseline_CpSyncDropCmp(benchmark::State& state) {
  Workspace& ws = Ws();
  const std::string script =
      "set -e; S='" + ws.stage + "'; C='" + ws.baselineCard + "'; T='" + ws.tmp +
      "'; mkdir -p \"$C/GLOBAL\"; "
      "for f in \"$S\"GLOBAL/*; do n=$(basename \"$f\"); cp \"$f\" \"$C/GLOBAL/$n\"; cp \"$f\" \"$T$n\"; done; "
      "cp \"$S/ZCL\" \"$C/ZCL\"; cp \"$S/ZCL\" \"$T/ZCL\"; cp \"$S/ZCL\" \"$C/ZCB\"; cp \"$S/ZCL\" \"$T/ZCB\"; "
      "sync; "
      "for f in \"$C\"GLOBAL/* \"$C/ZCL\" \"$C/ZCB\"; do dd if=\"$f\" iflag=nocache count=0 status=none; done; "
      "for f in \"$S\"GLOBAL/*; do n=$(basename \"$f\"); cmp -s \"$C/GLOBAL/$n\" \"$T$n\"; rm -f \"$T$n\"; done; "
      "cmp -s \"$C/ZCL\" \"$T/ZCL\"; cmp -s \"$C/ZCB\" \"$T/ZCB\"; rm -f \"$T/ZCL\" \"$T/ZCB\"";
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(script.c_str()) != 0) state.SkipWithError("baseline script failed");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  ws.baselineSeconds = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ws.largeBytes));
}

void BM_CopyFilesToFlashCard(benchmark::State& state) {
  Workspace& ws = Ws();
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!CopyPackage(ws.pkg128, ws.card)) state.SkipWithError("copy failed");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  ws.copySeconds = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ws.largeBytes));
  if (ws.baselineSeconds > 0) state.counters["ratio_to_baseline"] = ws.copySeconds / ws.baselineSeconds;
}

// Peak resident memory (KiB) of a child process that copies pkg.
long ChildPeakKiB(const std::string& pkg, const std::string& card) {
  const pid_t child = ::fork();
  if (child == 0) _exit(CopyPackage(pkg, card) ? 0 : 1);
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return usage.ru_maxrss;
}

void BM_PeakMemory_32_vs_128MiB(benchmark::State& state) {
  Workspace& ws = Ws();
  for (auto _ : state) {
    ws.rss32 = ChildPeakKiB(ws.pkg32, ws.card);
    ws.rss128 = ChildPeakKiB(ws.pkg128, ws.card);
    if (ws.rss32 <= 0 || ws.rss128 <= 0) state.SkipWithError("child copy failed");
  }
  state.counters["peak_kib_32MiB"] = static_cast<double>(ws.rss32);
  state.counters["peak_kib_128MiB"] = static_cast<double>(ws.rss128);
  if (ws.rss32 > 0) state.counters["ratio_128_to_32"] = static_cast<double>(ws.rss128) / ws.rss32;
}

// A file-information file of about mib MiB: a package with a destination
// list of commas, deep braces and a symbol list of commas.
std::string HostilePackage(const std::string& folder, size_t mib) {
  fs::create_directories(folder);
  const size_t part = (mib << 20) / 5;
  std::string body = "{FP=P;{LF=L;{F=A;SIZE=1;DEST=" + std::string(part * 2, ',') + "H40;}}" +
                     std::string(part / 2, '{') + "}{SYMB=DEST;S=" + std::string(part * 2, ',') + "H30;}" +
                     std::string(part / 2, '}');
  std::ofstream(folder + "KMA0001", std::ios::binary) << "HEADER123456" << body << "TRLR";
  return folder;
}

double ParseSeconds(const std::string& folder) {
  const auto start = std::chrono::steady_clock::now();
  CFileInfoParser parser;
  parser.Prepare(folder.c_str());
  CArray<LoadFileStruct, LoadFileStruct> loadFiles;
  parser.GetLoadFiles(loadFiles);
  for (LoadFileStruct& loadFile : loadFiles) {
    for (SubFileStruct& subFile : *loadFile.subFiles) {
      delete subFile.destList;
      delete subFile.bootList;
    }
    delete loadFile.subFiles;
  }
  benchmark::DoNotOptimize(parser.GetFilePackageInfo());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Baseline_ReadFileInfo_5MiB(benchmark::State& state) {
  Workspace& ws = Ws();
  ws.parserPkg = HostilePackage(ws.root + "hostile5/", 5);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::ifstream in(ws.parserPkg + "KMA0001", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t braces = 0;
    for (char ch : bytes) braces += ch == '{';
    benchmark::DoNotOptimize(braces);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  ws.readSeconds = total / static_cast<double>(state.iterations());
}

void BM_ParseHostileFileInfo_1MiB(benchmark::State& state) {
  Workspace& ws = Ws();
  ws.parserSmallPkg = HostilePackage(ws.root + "hostile1/", 1);
  double total = 0;
  for (auto _ : state) total += ParseSeconds(ws.parserSmallPkg);
  ws.parserSmallSeconds = total / static_cast<double>(state.iterations());
}

void BM_ParseHostileFileInfo_5MiB(benchmark::State& state) {
  Workspace& ws = Ws();
  double total = 0;
  for (auto _ : state) total += ParseSeconds(ws.parserPkg);
  ws.parserSeconds = total / static_cast<double>(state.iterations());
  if (ws.readSeconds > 0) state.counters["ratio_to_plain_read"] = ws.parserSeconds / ws.readSeconds;
  if (ws.parserSmallSeconds > 0) state.counters["ratio_5MiB_to_1MiB"] = ws.parserSeconds / ws.parserSmallSeconds;
}

BENCHMARK(BM_Baseline_CpSyncDropCmp)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CopyFilesToFlashCard)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PeakMemory_32_vs_128MiB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Baseline_ReadFileInfo_5MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ParseHostileFileInfo_1MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ParseHostileFileInfo_5MiB)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (g_ws != nullptr) {
    const Workspace& ws = *g_ws;
    if (ws.baselineSeconds > 0 && ws.copySeconds > 0) {
      std::printf(
          "copy of %llu MiB: %.3f s, baseline (cp, sync, dd nocache, cmp): %.3f s, ratio %.2f (target <= 1.3)\n",
          static_cast<unsigned long long>(ws.largeBytes >> 20), ws.copySeconds, ws.baselineSeconds,
          ws.copySeconds / ws.baselineSeconds);
    }
    if (ws.rss32 > 0 && ws.rss128 > 0) {
      std::printf("peak memory: %ld KiB at 32 MiB, %ld KiB at 128 MiB, ratio %.2f\n", ws.rss32, ws.rss128,
                  static_cast<double>(ws.rss128) / ws.rss32);
    }
    if (ws.readSeconds > 0 && ws.parserSeconds > 0) {
      std::printf(
          "hostile 5 MiB file-information file: parse %.3f s, plain read %.3f s, ratio %.1f; 5 MiB / 1 MiB %.2f\n",
          ws.parserSeconds, ws.readSeconds, ws.parserSeconds / ws.readSeconds,
          ws.parserSmallSeconds > 0 ? ws.parserSeconds / ws.parserSmallSeconds : 0.0);
    }
  }
  Cleanup();
  benchmark::Shutdown();
  return 0;
}
