// Shared pieces of the fuzz targets: a reader that takes typed values from
// the input bytes, a host that formats every trace line but writes nothing
// and checks that the trace scopes balance, a scratch folder per process, and
// a check that stops the run with a message when an invariant breaks.
//
// Every target's input starts with one host byte (see ConfigureHost), so
// that the inputs run with and without an error handler, with detailed
// traces on and off, with handler type 1 (scope records) and with an error
// already pending.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "pelix/cstring.h"
#include "pelix/host_services.h"
#include "pelix/platform.h"
#include "platform/file_system.h"
#include "platform/format.h"

// Stops the run (a finding for the fuzzer, a failure for the replay) when
// cond does not hold.
#define FUZZ_CHECK(cond) ((cond) ? void() : ::pelix::fuzz::Fail(__FILE__, __LINE__, #cond))

namespace pelix::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

// Takes values from the front of the input; past its end every value is 0
// and every text empty, so any input is a valid sequence of values.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Empty() const { return m_position >= m_size; }
  size_t Left() const { return m_size - m_position; }
  uint8_t Byte() { return m_position < m_size ? m_data[m_position++] : 0; }
  int32_t Int32() {  // most significant octet first
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
    return static_cast<int32_t>(value);
  }
  // A text of at most maxLength bytes, its length given by one byte.
  std::string Text(size_t maxLength = 255) { return Bytes(std::min<size_t>(Byte(), maxLength)); }
  std::string Bytes(size_t count) {
    const std::string out(reinterpret_cast<const char*>(m_data + m_position), std::min(count, Left()));
    m_position += out.size();
    return out;
  }
  std::string Rest() { return Bytes(Left()); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
};

// A host with the full trace and error services of a real one, but one that
// keeps nothing beyond the last built text. It counts the nesting level so
// that each input can check that every scope it opened was closed.
class FuzzHost final : public HostServices {
 public:
  bool handler = false;
  int handlerType = 2;
  bool traces = false;
  int errorStatus = 0;
  long level = 0;
  int messageBoxes = 0;
  unsigned long long diskSize = 1ULL << 30;

  bool ErrorHandlerExists() override { return handler; }
  int GetErrorHandlerType() override { return handlerType; }
  // Scope names fit the 100 bytes of a scope record.
  void StoreEnter(const char* file, int, const char* scope) override {
    FUZZ_CHECK(file != nullptr && scope != nullptr && std::strlen(scope) < 100);
  }
  void StoreReturn(const char* file, int) override { FUZZ_CHECK(file != nullptr); }
  void IncreaseLevel() override { ++level; }
  void DecreaseLevel() override { FUZZ_CHECK(--level >= 0); }
  void StoreError(int, const char* file, int, const char* text) override { FUZZ_CHECK(file && text); }
  void LogError(int, const char* file, int, const char* text) override { FUZZ_CHECK(file && text); }
  void RaiseError(const char* text) override { FUZZ_CHECK(text != nullptr), errorStatus = 1; }
  void LogStoredMessages() override {}
  int GetErrorStatus() override { return errorStatus; }
  __attribute__((format(printf, 2, 0))) const char* BuildString(const char* format, va_list args) override {
    m_built.clear();
    pelix::platform::AppendFormatV(m_built, format, args);
    return m_built.c_str();
  }
  bool IsPelixTracesEnabled() override { return traces; }
  CString ID_ToText(int id, CabinetType) override { return CString("MO type " + std::to_string(id)); }
  int DisplayUserInfo(const char* text, int, int, bool) override { return FUZZ_CHECK(text != nullptr), 0; }
  unsigned long long GetDiskSize(const char* path) override { return FUZZ_CHECK(path != nullptr), diskSize; }

 private:
  std::string m_built;
};

inline FuzzHost& Host() {
  static FuzzHost* host = [] {
    auto* made = new FuzzHost();
    SetHostServices(made);
    SetMessageBoxHandler([](const char* text) { FUZZ_CHECK(text != nullptr), ++Host().messageBoxes; });
    return made;
  }();
  return *host;
}

// Sets the host up for one input from its host byte: bit 0 handler
// installed, bit 1 detailed traces, bit 2 handler type 1, bit 3 an error
// already pending.
inline FuzzHost& ConfigureHost(uint8_t flags) {
  FuzzHost& host = Host();
  host.handler = (flags & 1U) != 0, host.traces = (flags & 2U) != 0;
  host.handlerType = (flags & 4U) != 0 ? 1 : 2, host.errorStatus = (flags & 8U) != 0 ? 1 : 0;
  host.level = 0, host.messageBoxes = 0;
  return host;
}

// After an input that ended normally: every scope was closed on its return
// path, and since the handler type never changed no scope name was shown.
inline void CheckFrameBalanced() { FUZZ_CHECK(Host().level == 0 && Host().messageBoxes == 0); }

// Removes everything below folder, and folder itself when withSelf, after
// making it all writable and searchable again (an archive may have set modes
// that would stop the removal).
inline void ClearFolder(const std::string& folder, bool withSelf = false) {
  std::error_code error;
  ::chmod(folder.c_str(), 0700);
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_symlink()) ::chmod(it->path().c_str(), it->is_directory() ? 0700 : 0600);
  }
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::filesystem::remove_all(it->path(), error);
  }
  if (withSelf) std::filesystem::remove_all(folder, error);
}

// A folder of this process's own under $TMPDIR (else /tmp), removed when the
// process ends. Path ends with '/'.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    path += "/pelix-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(path.data()) == nullptr) Fail(__FILE__, __LINE__, "mkdtemp of the scratch folder");
    m_path = path + "/";
  }
  ~ScratchFolder() { ClearFolder(m_path, true); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
    Fail(__FILE__, __LINE__, ("cannot write " + path).c_str());
  }
}

// The whole file at path; false when it cannot be read.
inline bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

inline void MakeFolder(const std::string& path) {
  std::error_code error;
  if (std::filesystem::create_directories(path, error), error)
    Fail(__FILE__, __LINE__, ("cannot make " + path).c_str());
}

// The POSIX file system without flushing to the device and without dropping
// pages: the copies stay exactly as checked, only faster, so that a fuzz run
// spends its time in the library and not waiting for the disk.
inline void InstallFastFileSystem() {
  struct Fast final : pelix::platform::PosixFileSystem {
    bool Flush(int) override { return true; }
    bool DropCache(int) override { return true; }
    bool FlushFolder(const std::string&) override { return true; }
  };
  static Fast files;
  pelix::platform::SetFileSystem(&files);
}

}  // namespace pelix::fuzz
