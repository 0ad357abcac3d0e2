// Test helpers of the software-loading tests: folder listings and a file
// system that fails or corrupts the calls a test picks.
#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_host.h"

namespace pelix::test {

// A POSIX file system, installed for its lifetime, that counts its calls and
// fails the ones a test picks (1-based; 0 = never).
class FaultyFileSystem : public platform::PosixFileSystem {
 public:
  FaultyFileSystem() : m_previous(platform::SetFileSystem(this)) {}
  ~FaultyFileSystem() override { platform::SetFileSystem(m_previous); }
  FaultyFileSystem(const FaultyFileSystem&) = delete;
  FaultyFileSystem& operator=(const FaultyFileSystem&) = delete;

  int shortReadAt = 0, shortWriteAt = 0, failFlushAt = 0, failCloseAt = 0, failFlushFolderAt = 0;
  std::string failOpenContaining, corruptWritesUnder;  // empty: never; writes under the latter get a byte flipped
  std::function<void(int)> afterWrite;                 // called with the write count after each write
  int reads = 0, writes = 0, flushes = 0, closes = 0, folderFlushes = 0;
  Names droppedPaths;               // of the files whose cache was dropped
  std::map<int, std::string> open;  // descriptor -> path while open

  int Open(const std::string& path, OpenMode mode) override {
    if (!failOpenContaining.empty() && path.find(failOpenContaining) != std::string::npos) return errno = EACCES, -1;
    const int fd = PosixFileSystem::Open(path, mode);
    return fd >= 0 ? (open[fd] = path, fd) : fd;
  }
  ssize_t Read(int fd, void* buffer, size_t count) override {
    return PosixFileSystem::Read(fd, buffer, ++reads == shortReadAt ? count / 2 : count);
  }
  ssize_t Write(int fd, const void* buffer, size_t count) override {
    std::string copy(static_cast<const char*>(buffer), count);
    if (!corruptWritesUnder.empty() && count > 0 && open[fd].rfind(corruptWritesUnder, 0) == 0) copy[count / 2] ^= 0x5A;
    if (++writes == shortWriteAt) copy.resize(count / 2);
    const ssize_t result = PosixFileSystem::Write(fd, copy.data(), copy.size());
    return afterWrite ? afterWrite(writes), result : result;
  }
  bool Flush(int fd) override { return ++flushes != failFlushAt && PosixFileSystem::Flush(fd); }
  bool DropCache(int fd) override { return droppedPaths.push_back(open[fd]), PosixFileSystem::DropCache(fd); }
  bool Close(int fd) override {
    const bool closed = (open.erase(fd), PosixFileSystem::Close(fd));
    return ++closes != failCloseAt && closed;
  }
  bool FlushFolder(const std::string& folder) override {
    return ++folderFlushes != failFlushFolderAt && PosixFileSystem::FlushFolder(folder);
  }

 private:
  platform::FileSystem* m_previous;
};

}  // namespace pelix::test
