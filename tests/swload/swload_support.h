// Test helpers of the software-loading tests: a scratch folder with its own
// temporary folder, and a file system that injects faults.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace pelix::test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A scratch folder root/ with pkg/, card/ and tmp/; TMPDIR points at tmp/
// for the lifetime of the object, so every temporary copy lands there.
class Scratch {
 public:
  Scratch() {
    const char* base = std::getenv("TMPDIR");
    m_oldTmp = base != nullptr ? base : "";
    m_hadTmp = base != nullptr;
    std::string pattern =
        (base != nullptr && *base != '\0' ? std::string(base) : std::string("/tmp")) + "/swload_test_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    root = std::string(::mkdtemp(buffer.data())) + "/";
    pkg = root + "pkg/";
    card = root + "card/";
    tmp = root + "tmp/";
    ::mkdir(pkg.c_str(), 0755);
    ::mkdir(card.c_str(), 0755);
    ::mkdir(tmp.c_str(), 0755);
    ::setenv("TMPDIR", tmp.c_str(), 1);
  }
  ~Scratch() {
    if (m_hadTmp) {
      ::setenv("TMPDIR", m_oldTmp.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    std::error_code error;
    std::filesystem::permissions(root, std::filesystem::perms::owner_all, error);
    std::filesystem::remove_all(root, error);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::string root, pkg, card, tmp;

 private:
  std::string m_oldTmp;
  bool m_hadTmp = false;
};

// A POSIX file system that counts its calls and fails or corrupts the ones a
// test picks. Counters are 1-based; 0 means "never". Installed for its
// lifetime.
class FaultyFileSystem : public platform::PosixFileSystem {
 public:
  FaultyFileSystem() : m_previous(platform::SetFileSystem(this)) {}
  ~FaultyFileSystem() override { platform::SetFileSystem(m_previous); }
  FaultyFileSystem(const FaultyFileSystem&) = delete;
  FaultyFileSystem& operator=(const FaultyFileSystem&) = delete;

  // --- faults ---
  int shortReadAt = 0;     // that read returns half of what it asked for
  int shortWriteAt = 0;    // that write writes half
  int noSpaceWriteAt = 0;  // that write fails with ENOSPC
  int failFlushAt = 0;
  int failSeekAt = 0;  // counts Seek and Tell together
  int failCloseAt = 0;
  int failFlushFolderAt = 0;
  std::string failOpenContaining;       // opens of paths containing this fail
  std::string countReadsOf;             // when set, only reads of paths containing this count
  std::string corruptWritesUnder;       // writes to files under this path get one byte flipped
  std::function<void(int)> afterWrite;  // called with the write count after each write

  // --- what happened ---
  int reads = 0, writes = 0, flushes = 0, seeks = 0, closes = 0, drops = 0, folderFlushes = 0;
  std::vector<std::string> opened;  // paths, in order
  std::vector<std::string> droppedPaths;
  std::map<int, std::string> open;  // descriptor -> path while open

  int Open(const std::string& path, OpenMode mode) override {
    if (!failOpenContaining.empty() && path.find(failOpenContaining) != std::string::npos) {
      errno = EACCES;
      return -1;
    }
    const int fd = PosixFileSystem::Open(path, mode);
    if (fd >= 0) {
      opened.push_back(path);
      open[fd] = path;
    }
    return fd;
  }
  ssize_t Read(int fd, void* buffer, size_t count) override {
    if (!countReadsOf.empty() && open[fd].find(countReadsOf) == std::string::npos) {
      return PosixFileSystem::Read(fd, buffer, count);
    }
    if (++reads == shortReadAt) return PosixFileSystem::Read(fd, buffer, count / 2);
    return PosixFileSystem::Read(fd, buffer, count);
  }
  ssize_t Write(int fd, const void* buffer, size_t count) override {
    ++writes;
    ssize_t result;
    if (writes == noSpaceWriteAt) {
      errno = ENOSPC;
      result = -1;
    } else if (writes == shortWriteAt) {
      result = PosixFileSystem::Write(fd, buffer, count / 2);
    } else if (!corruptWritesUnder.empty() && count > 0 && open[fd].rfind(corruptWritesUnder, 0) == 0) {
      std::string copy(static_cast<const char*>(buffer), count);
      copy[count / 2] = static_cast<char>(copy[count / 2] ^ 0x5A);
      result = PosixFileSystem::Write(fd, copy.data(), count);
    } else {
      result = PosixFileSystem::Write(fd, buffer, count);
    }
    if (afterWrite) afterWrite(writes);
    return result;
  }
  off_t Seek(int fd, off_t offset, int whence) override {
    if (++seeks == failSeekAt) {
      errno = EINVAL;
      return -1;
    }
    return PosixFileSystem::Seek(fd, offset, whence);
  }
  off_t Tell(int fd) override {
    if (++seeks == failSeekAt) {
      errno = EINVAL;
      return -1;
    }
    return PosixFileSystem::Tell(fd);
  }
  bool Flush(int fd) override {
    if (++flushes == failFlushAt) return false;
    return PosixFileSystem::Flush(fd);
  }
  bool DropCache(int fd) override {
    ++drops;
    droppedPaths.push_back(open[fd]);
    return PosixFileSystem::DropCache(fd);
  }
  bool Close(int fd) override {
    open.erase(fd);
    const bool closed = PosixFileSystem::Close(fd);
    if (++closes == failCloseAt) return false;
    return closed;
  }
  bool FlushFolder(const std::string& folder) override {
    if (++folderFlushes == failFlushFolderAt) return false;
    return PosixFileSystem::FlushFolder(folder);
  }

 private:
  platform::FileSystem* m_previous;
};

}  // namespace pelix::test
