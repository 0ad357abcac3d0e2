// Runs a fuzz target's LLVMFuzzerTestOneInput once over every file of the
// folder named on the command line (and its sub-folders), without fuzzing:
// the kept corpus becomes a regression test. Prints "N passed, 0 failed" at
// the end; a failed check, crash or sanitizer report fails the run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  std::error_code error;
  int passed = 0;
  for (std::filesystem::recursive_directory_iterator it(argc == 2 ? argv[1] : "", error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file()) continue;
    std::string bytes(it->file_size(), '\0');
    std::ifstream(it->path(), std::ios::binary).read(bytes.data(), std::streamsize(bytes.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), ++passed;
  }
  if (error || passed == 0) return std::fprintf(stderr, "usage: %s CORPUS-FOLDER (with files)\n", argv[0]), 2;
  return std::printf("%d passed, 0 failed\n", passed), 0;
}
