// The fuzz entry point and what the targets share (with the standard headers
// they use): a reader that takes typed values from the input bytes, the host
// set up from the input's first byte, a scratch folder per process, and a
// check that stops the run with a message when an invariant breaks. Each
// target includes it once and defines FuzzOne.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "pelix/default_host.h"
#include "pelix/platform.h"

// Stops the run (a finding for the fuzzer, a failure for the replay) when
// cond does not hold.
#define FUZZ_CHECK(cond) \
  ((cond) ? void() : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), std::abort()))

namespace pelix::fuzz {

// Takes values from the front of the input; past its end every value is 0
// and every text empty, so any input is a valid sequence of values.
struct Input {
  const uint8_t* data;
  size_t size, position = 0;

  bool Empty() const { return position >= size; }
  uint8_t Byte() { return Empty() ? 0 : data[position++]; }
  int32_t Int32() {  // most significant octet first
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
    return static_cast<int32_t>(value);
  }
  std::string Bytes(size_t count) {
    position += count = std::min(count, size - position);
    return {reinterpret_cast<const char*>(data) + position - count, count};
  }
  std::string Rest() { return Bytes(size); }
};

// Empties folder, making everything below it writable and searchable first
// (an unpacked archive may have set modes that would stop the removal).
inline void ClearFolder(const std::string& folder) {
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (!it->is_symlink()) ::chmod(it->path().c_str(), it->is_directory() ? 0700 : 0600);
  std::filesystem::remove_all(folder, error);
  std::filesystem::create_directories(folder, error);
}

// A folder of this process's own under $TMPDIR (else /tmp), removed when the
// process ends. The path ends with '/'.
inline const std::string& Scratch() {
  static const struct Folder {
    std::string path = (std::filesystem::temp_directory_path() / "pelix-fuzz-XXXXXX").string();
    Folder() { FUZZ_CHECK(::mkdtemp(path.data()) != nullptr), path += '/'; }
    ~Folder() { ClearFolder(path), ::rmdir(path.c_str()); }
  } folder;
  return folder.path;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  FUZZ_CHECK(std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size())).flush());
}

}  // namespace pelix::fuzz

// Each target's body, run on the input after its first byte, the host byte.
void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost& host);

// The library's own default host, its traces dropped, is set up from the host
// byte: bit 0 error handler installed, bit 1 detailed traces, bit 2 handler
// type 1 (scope records), bit 3 an error already pending. Once the body has
// returned (its objects gone), every scope opened must have been closed and,
// since the handler type never changes, no scope name shown.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int messageBoxes = 0;  // stays 0: any message box ends the run
  static std::FILE* const dropped = std::fopen("/dev/null", "w");
  pelix::DefaultHost& host = pelix::GetDefaultHost();
  host.SetLogStream(dropped);
  SetMessageBoxHandler([](const char*) { ++messageBoxes; });
  pelix::fuzz::Input input{data, size};
  const uint8_t flags = input.Byte();
  host.LogStoredMessages();  // drops the last input's
  host.ClearErrorStatus();
  host.SetErrorHandler((flags & 1U) != 0, (flags & 4U) != 0 ? 1 : 2);
  host.SetPelixTracesEnabled((flags & 2U) != 0);
  if ((flags & 8U) != 0) host.RaiseError("pending");
  FuzzOne(input, host);
  FUZZ_CHECK(host.Level() == 0 && messageBoxes == 0);
  return 0;
}
