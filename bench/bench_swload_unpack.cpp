// Unpacking a package archive: Decompress_KVO_Package on a generated tgz of a
// 128 MiB package against "tar -xzf" of the same file, in the same run. The
// ratio of the two medians is printed at the end (target: at most 1.1).
#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "pelix/tolva_sw_handler.h"
#include "platform/temp_folder.h"

namespace {

constexpr int kFiles = 64;
constexpr size_t kFileSize = 2U << 20;  // 64 files of 2 MiB: a 128 MiB package

std::string g_folder;   // the bench's own folder
std::string g_archive;  // <folder>/pkg.tgz

// Data that compresses about as well as station software (roughly 2:1): runs
// of random bytes mixed with copies of earlier stretches.
void Fill(std::vector<char>& data, std::uint64_t& state) {
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  constexpr size_t kChunk = 64;
  for (size_t at = 0; at < data.size(); at += kChunk) {
    const size_t n = std::min(kChunk, data.size() - at);
    const std::uint64_t r = next();
    if ((r & 1) != 0 && at >= 4096) {
      const size_t from = at - kChunk * (1 + (r >> 8) % 60);
      for (size_t i = 0; i < n; ++i) data[at + i] = data[from + i];
    } else {
      for (size_t i = 0; i < n; ++i) data[at + i] = static_cast<char>(next());
    }
  }
}

bool MakePackage(const std::string& path) {
  archive* a = archive_write_new();
  bool ok = archive_write_set_format_pax_restricted(a) == ARCHIVE_OK &&
            archive_write_add_filter_gzip(a) == ARCHIVE_OK &&
            archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
  std::vector<char> data(kFileSize);
  std::uint64_t state = 88172645463325252ULL;
  for (int i = 0; ok && i <= kFiles; ++i) {
    char name[32];
    if (i == 0) {
      std::snprintf(name, sizeof name, "FLF0001");
    } else {
      std::snprintf(name, sizeof name, "LOADF%03d/sub%03d.bin", (i - 1) / 8, i);
    }
    const size_t size = i == 0 ? 4096 : kFileSize;
    Fill(data, state);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name);
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(size));
    ok = archive_write_header(a, entry) == ARCHIVE_OK &&
         archive_write_data(a, data.data(), size) == static_cast<la_ssize_t>(size);
    archive_entry_free(entry);
  }
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

void BM_TarXzf(benchmark::State& state) {
  const std::string target = g_folder + "/tar-out";
  const std::string command = "tar -xzf '" + g_archive + "' -C '" + target + "'";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(target);
    std::filesystem::create_directory(target);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("tar failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * static_cast<int64_t>(kFileSize));
}

void BM_DecompressKvoPackage(benchmark::State& state) {
  CTolva_SW_Handler handler;
  const LoadableZCU_Type kind = ZCU_H40;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(g_folder + "/pkg");
    CString archive(g_archive);
    state.ResumeTiming();
    if (handler.Decompress_KVO_Package(archive, kind) != 1) state.SkipWithError("unpacking failed");
  }
  if (handler.GetKVO_Path() != CString(g_folder + "/pkg/")) state.SkipWithError("package path not found");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * static_cast<int64_t>(kFileSize));
}

// Repetitions of the two are interleaved (see main) so that both see the same
// state of the machine.
BENCHMARK(BM_TarXzf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(5);
BENCHMARK(BM_DecompressKvoPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(5);

// Prints the usual table and then the ratio of the two medians.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        m_median[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto tar = m_median.find("BM_TarXzf");
    const auto ours = m_median.find("BM_DecompressKvoPackage");
    if (tar != m_median.end() && ours != m_median.end() && tar->second > 0) {
      std::cout << "Decompress_KVO_Package / tar -xzf (median real time): " << ours->second / tar->second
                << " (target <= 1.1)\n";
    }
  }

 private:
  std::map<std::string, double> m_median;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  std::string pattern = pelix::platform::TempFolder() + "pelix-bench-unpack-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    std::cerr << "cannot make the bench folder\n";
    return 1;
  }
  g_folder = buffer.data();
  g_archive = g_folder + "/pkg.tgz";
  if (!MakePackage(g_archive)) {
    std::cerr << "cannot generate the package archive\n";
    std::filesystem::remove_all(g_folder);
    return 1;
  }
  std::cout << "package: " << kFiles << " files, " << (kFiles * kFileSize >> 20) << " MiB; tgz "
            << (std::filesystem::file_size(g_archive) >> 20) << " MiB\n";
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(g_folder);
  return 0;
}
