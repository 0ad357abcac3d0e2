#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelix::platform {

namespace {

FileSystem* g_installed = nullptr;

PosixFileSystem& DefaultFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace

FileSystem& Files() { return g_installed != nullptr ? *g_installed : DefaultFileSystem(); }

FileSystem* SetFileSystem(FileSystem* fileSystem) {
  FileSystem* previous = g_installed;
  g_installed = fileSystem;
  return previous;
}

int PosixFileSystem::Open(const std::string& path, OpenMode mode) {
  int flags = O_RDONLY | O_CLOEXEC;
  if (mode == kOpenReadOwn) flags |= O_NOFOLLOW;
  if (mode == kCreateWrite) flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat info;
  int error = 0;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  }
  if (error != 0) {
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

ssize_t PosixFileSystem::Read(int fd, void* buffer, size_t count) {
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, out + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<ssize_t>(done) : -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

ssize_t PosixFileSystem::Write(int fd, const void* buffer, size_t count) {
  const char* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd, in + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<ssize_t>(done) : -1;
    }
    if (put == 0) break;
    done += static_cast<size_t>(put);
  }
  return static_cast<ssize_t>(done);
}

off_t PosixFileSystem::Seek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }

off_t PosixFileSystem::Tell(int fd) { return ::lseek(fd, 0, SEEK_CUR); }

bool PosixFileSystem::Flush(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool PosixFileSystem::DropCache(int fd) { return ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0; }

bool PosixFileSystem::Close(int fd) {
  // A close interrupted by a signal has released the descriptor on Linux:
  // retrying could close someone else's.
  return ::close(fd) == 0;
}

bool PosixFileSystem::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool listed = ListAt(fd, names);
  ::close(fd);
  return listed;
}

bool PosixFileSystem::ListAt(int folder, std::vector<std::string>& names) {
  names.clear();
  const int own = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);  // closedir closes its descriptor
  if (own < 0) return false;
  DIR* dir = ::fdopendir(own);
  if (dir == nullptr) {
    ::close(own);
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  const bool complete = errno == 0;
  ::closedir(dir);
  return complete;
}

int PosixFileSystem::OpenFolder(int at, const std::string& name) {
  int fd;
  do {
    fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

FileSystem::EntryKind PosixFileSystem::KindAt(int at, const std::string& name) {
  struct stat info;
  if (name.empty() || ::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return kMissing;
  if (S_ISLNK(info.st_mode)) return kLink;
  if (S_ISDIR(info.st_mode)) return kFolder;
  return S_ISREG(info.st_mode) ? kFile : kOther;
}

bool PosixFileSystem::RemoveAt(int at, const std::string& name, bool folder) {
  return ::unlinkat(at, name.c_str(), folder ? AT_REMOVEDIR : 0) == 0;
}

bool PosixFileSystem::MakeWritableAt(int at, const std::string& name) {
  struct stat info;
  if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode)) return false;
  const mode_t wanted = (info.st_mode & 07777) | (S_ISDIR(info.st_mode) ? S_IRWXU : S_IWUSR);
  return ::fchmodat(at, name.c_str(), wanted, AT_SYMLINK_NOFOLLOW) == 0;
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::IsFolder(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixFileSystem::MakeFolder(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return ::mkdir(folder.c_str(), 0755) == 0;
}

bool PosixFileSystem::FlushFolder(const std::string& folder) {
  int fd;
  do {
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  // Some file systems cannot flush a folder and say so with EINVAL.
  const bool flushed = result == 0 || errno == EINVAL;
  const bool closed = ::close(fd) == 0;
  return flushed && closed;
}

}  // namespace pelix::platform
