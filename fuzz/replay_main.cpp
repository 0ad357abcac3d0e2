// Runs a fuzz target's LLVMFuzzerTestOneInput once over every file of the
// folders (or files) named on the command line, without fuzzing: the kept
// corpus becomes a regression test. Prints "N passed, 0 failed" at the end; a
// crash or sanitizer report fails the run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    if (std::filesystem::is_directory(argv[i])) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i]))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.emplace_back(argv[i]);
    }
  }
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::fprintf(stderr, "replay: cannot read %s\n", file.c_str()), 2;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  if (files.empty()) return std::fprintf(stderr, "replay: no corpus files\n"), 2;
  return std::printf("%zu passed, 0 failed\n", files.size()), 0;
}
