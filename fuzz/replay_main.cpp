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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  int passed = 0;
  const auto replay = [&passed](const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++passed;
  };
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (std::filesystem::is_regular_file(argv[i], error)) {
      replay(argv[i]);
    } else if (!std::filesystem::is_directory(argv[i], error)) {
      return std::fprintf(stderr, "replay: %s: no such file or folder\n", argv[i]), 2;
    }
    for (std::filesystem::recursive_directory_iterator it(argv[i], error), end; !error && it != end; ++it) {
      if (it->is_regular_file()) replay(it->path());
    }
  }
  if (passed == 0) return std::fprintf(stderr, "replay: no corpus files\n"), 2;
  return std::printf("%d passed, 0 failed\n", passed), 0;
}
