// The file-system seam: every file the software loader opens, reads, writes,
// lists or deletes goes through the FileSystem in force, so that tests can
// install their own (a subclass of PosixFileSystem that fails or corrupts a
// chosen call) and prove how each fault is handled.
//
// Nothing created, changed or deleted through the seam follows a symbolic
// link named by the path's last component (or by `name` in the calls relative
// to a folder descriptor): a link where a file is to be written, made writable
// or deleted is never taken for what it points at.
#pragma once

#include <fcntl.h>

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace pelix::platform {

class FileSystem {
 public:
  enum OpenMode {
    kOpenRead,     // an existing regular file, read only
    kOpenReadOwn,  // as kOpenRead, but a symbolic link fails instead of being followed
    kCreateWrite   // created writable, an existing file truncated; write only; a link fails
  };
  enum EntryKind { kMissing, kFile, kFolder, kLink, kOther };

  virtual ~FileSystem() = default;

  // A descriptor (>= 0), or -1 with errno set. Opening a folder fails.
  virtual int Open(const std::string& path, OpenMode mode) = 0;
  // Reads until count bytes have come, the end of the file or an error.
  // Returns the bytes read (fewer at the end of the file), or -1 on an error
  // before any byte came.
  virtual ssize_t Read(int fd, void* buffer, size_t count) = 0;
  // Writes all count bytes unless an error stops it; returns the bytes
  // written, or -1 on an error before any byte was written.
  virtual ssize_t Write(int fd, const void* buffer, size_t count) = 0;
  // Sets the position (whence as for lseek) and returns it, or -1.
  virtual off_t Seek(int fd, off_t offset, int whence) = 0;
  // The current position, or -1.
  virtual off_t Tell(int fd) = 0;
  // Flushes the file's data to the device (fsync).
  virtual bool Flush(int fd) = 0;
  // Drops the file's pages from the cache, so that the next read comes from
  // the device. Advice only: false when the system declines it.
  virtual bool DropCache(int fd) = 0;
  virtual bool Close(int fd) = 0;

  // The names in folder (never "." and ".."), in the order the file system
  // returns them; false when the folder cannot be read.
  virtual bool List(const std::string& folder, std::vector<std::string>& names) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsFolder(const std::string& path) = 0;
  // Deletes a file or a link (not a folder).
  bool Remove(const std::string& path) { return RemoveAt(AT_FDCWD, path, false); }
  // Makes one folder (its parent must exist).
  virtual bool MakeFolder(const std::string& path) = 0;
  // Gives the owner write permission; false for a link, which keeps its target's mode.
  bool MakeWritable(const std::string& path) { return MakeWritableAt(AT_FDCWD, path); }

  // Calls relative to a folder descriptor `at` (from OpenFolder, or AT_FDCWD),
  // so that a walk through folders never leaves the folder it started in.
  // A folder as a descriptor (closed with Close), or -1; a link named by
  // `name` fails. A path ending in '/' names the folder a link leads to.
  virtual int OpenFolder(int at, const std::string& name) = 0;
  // What `name` is, not following a link.
  virtual EntryKind KindAt(int at, const std::string& name) = 0;
  // The names in the folder of the descriptor, as List does.
  virtual bool ListAt(int folder, std::vector<std::string>& names) = 0;
  // Deletes a file or a link (not what it leads to); with `folder`, an empty folder.
  virtual bool RemoveAt(int at, const std::string& name, bool folder) = 0;
  // Gives the owner write permission (read, write and search on a folder);
  // false for a link.
  virtual bool MakeWritableAt(int at, const std::string& name) = 0;
  // Flushes a folder's entries to the device, so that files created in it
  // survive a power loss. A file system that cannot flush folders counts as
  // done.
  virtual bool FlushFolder(const std::string& folder) = 0;
};

// The POSIX file system; every call retries on EINTR.
class PosixFileSystem : public FileSystem {
 public:
  int Open(const std::string& path, OpenMode mode) override;
  ssize_t Read(int fd, void* buffer, size_t count) override;
  ssize_t Write(int fd, const void* buffer, size_t count) override;
  off_t Seek(int fd, off_t offset, int whence) override;
  off_t Tell(int fd) override;
  bool Flush(int fd) override;
  bool DropCache(int fd) override;
  bool Close(int fd) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;
  bool Exists(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  bool MakeFolder(const std::string& path) override;
  int OpenFolder(int at, const std::string& name) override;
  EntryKind KindAt(int at, const std::string& name) override;
  bool ListAt(int folder, std::vector<std::string>& names) override;
  bool RemoveAt(int at, const std::string& name, bool folder) override;
  bool MakeWritableAt(int at, const std::string& name) override;
  bool FlushFolder(const std::string& folder) override;
};

// The file system in force: the installed one, else the POSIX default.
FileSystem& Files();

// Installs fileSystem and returns the one in force before (nullptr when that
// was the default). Passing nullptr restores the default.
FileSystem* SetFileSystem(FileSystem* fileSystem);

}  // namespace pelix::platform
