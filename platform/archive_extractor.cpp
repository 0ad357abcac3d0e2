#include "platform/archive_extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace pelix::platform {

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr size_t kReadBlockSize = 1U << 20;

std::uint64_t SaturatingMul(std::uint64_t a, std::uint64_t b) { return (b != 0 && a > kMax / b) ? kMax : a * b; }
std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) { return a > kMax - b ? kMax : a + b; }
std::uint64_t RoundUp(std::uint64_t value, std::uint64_t block) {
  const std::uint64_t rounded = SaturatingAdd(value, block - 1);
  return rounded - rounded % block;
}

std::string ErrnoText(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// Frees the libarchive objects on every path.
struct ReadArchive {
  archive* a = archive_read_new();
  ~ReadArchive() {
    if (a != nullptr) archive_read_free(a);
  }
};
struct DiskWriter {
  archive* a = archive_write_disk_new();
  ~DiskWriter() {
    if (a != nullptr) archive_write_free(a);
  }
};
struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0) close(fd);
  }
};

// Makes the target folder the working folder for the extraction, so that
// entries are written relative to it and the secure-extraction checks of
// libarchive (no absolute paths, no "..", no symlinks on the way) apply to the
// entry names alone. The previous working folder is restored on destruction.
class WorkingFolder {
 public:
  WorkingFolder() = default;
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  ~WorkingFolder() {
    if (m_saved >= 0) {
      // A destructor cannot report a failed return; the process keeps the
      // extraction folder as its working folder then.
      if (m_entered && fchdir(m_saved) != 0) m_entered = false;
      close(m_saved);
    }
  }
  bool Enter(const char* folder, std::string& error) {
    m_saved = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_saved < 0) {
      error = ErrnoText("cannot note the working folder", errno);
      return false;
    }
    if (chdir(folder) != 0) {
      error = ErrnoText("cannot enter the target folder", errno);
      return false;
    }
    m_entered = true;
    return true;
  }

 private:
  int m_saved = -1;
  bool m_entered = false;
};

// The components of a path, without empty and "." ones.
std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

bool HasDotDot(const std::vector<std::string_view>& parts) {
  return std::find(parts.begin(), parts.end(), std::string_view("..")) != parts.end();
}

// Why an entry name is refused, or "" when it stays inside the target.
std::string CheckEntryName(std::string_view name) {
  if (name.empty()) return "empty name";
  if (name.front() == '/') return "absolute path";
  if (HasDotDot(Components(name))) return "'..' in path";
  return "";
}

// A symlink at `name` with target `link` stays inside the target folder when
// the link is relative, starts with at most as many ".." steps as the link's
// own folder is deep, and has only plain names after them. Names after a ".."
// could be symlinks themselves ("up/.." where up -> ..), so ".." is accepted
// only at the start, where it climbs real folders.
std::string CheckSymlinkTarget(std::string_view name, std::string_view link) {
  if (link.empty()) return "symlink with an empty target";
  if (link.front() == '/') return "symlink to an absolute path";
  const size_t depth = Components(name).size() - 1;  // folders above the link itself
  const std::vector<std::string_view> parts = Components(link);
  size_t climbs = 0;
  while (climbs < parts.size() && parts[climbs] == "..") ++climbs;
  if (climbs > depth) return "symlink pointing outside the target";
  for (size_t i = climbs; i < parts.size(); ++i) {
    if (parts[i] == "..") return "symlink with '..' after a name";
  }
  return "";
}

std::string KindName(mode_t type) {
  switch (type) {
    case AE_IFCHR: return "character device";
    case AE_IFBLK: return "block device";
    case AE_IFIFO: return "FIFO";
    case AE_IFSOCK: return "socket";
    default: return "entry of unknown kind";
  }
}

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

// One extraction run: the budget, what has been written and the checks.
class Run {
 public:
  Run(archive* reader, archive* writer, std::string& error) : m_reader(reader), m_writer(writer), m_error(error) {}

  void SetBudget(std::uint64_t dataBudget, std::uint64_t diskBudget, std::uint64_t entryBudget, std::uint64_t block) {
    m_dataBudget = dataBudget;
    m_diskBudget = diskBudget;
    m_entryBudget = entryBudget;
    m_block = block;
  }

  bool ExtractAll();
  std::uint64_t DataBytes() const { return m_dataBytes; }
  std::uint64_t Entries() const { return m_entries; }

 private:
  bool Refuse(const std::string& name, const std::string& why) {
    m_error = "refused entry '" + name + "': " + why;
    return false;
  }
  bool Fail(const std::string& what, archive* from) {
    const char* text = archive_error_string(from);
    m_error = what + ": " + (text != nullptr ? text : "unknown error");
    return false;
  }
  std::string CheckHardlink(std::string_view link) const;
  std::string CheckBudget(std::uint64_t fileBytes) const;
  bool ExtractEntry(archive_entry* entry);
  bool CopyData(const std::string& name, std::uint64_t& fileEnd);

  archive* m_reader;
  archive* m_writer;
  std::string& m_error;
  std::uint64_t m_dataBudget = kMax;
  std::uint64_t m_diskBudget = kMax;
  std::uint64_t m_entryBudget = kMax;
  std::uint64_t m_block = 4096;
  std::uint64_t m_dataBytes = 0;
  std::uint64_t m_diskBytes = 0;
  std::uint64_t m_entries = 0;
  std::set<FileId> m_ownFiles;  // regular files this run wrote
};

// A hardlink may only join a regular file that this run wrote, reached
// through real folders: never a file outside, never one planted beforehand.
std::string Run::CheckHardlink(std::string_view link) const {
  if (link.empty()) return "hardlink with an empty target";
  if (link.front() == '/') return "hardlink to an absolute path";
  const std::vector<std::string_view> parts = Components(link);
  if (parts.empty()) return "hardlink to the target folder";
  if (HasDotDot(parts)) return "hardlink with '..' in its target";
  std::string path;
  struct stat st {};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) path += '/';
    path.append(parts[i].data(), parts[i].size());
    if (lstat(path.c_str(), &st) != 0) return "hardlink to a missing file";
    if (i + 1 < parts.size() && !S_ISDIR(st.st_mode)) return "hardlink through a symlink or file";
  }
  if (!S_ISREG(st.st_mode)) return "hardlink to something other than a regular file";
  if (m_ownFiles.count(FileId{st.st_dev, st.st_ino}) == 0) return "hardlink to a file not from this archive";
  return "";
}

// Why writing `fileBytes` more for the current entry would break the budget.
std::string Run::CheckBudget(std::uint64_t fileBytes) const {
  if (SaturatingAdd(m_dataBytes, fileBytes) > m_dataBudget) {
    return "archive unpacks to more than " + std::to_string(m_dataBudget) + " bytes (expansion limit)";
  }
  if (SaturatingAdd(SaturatingAdd(m_diskBytes, RoundUp(fileBytes, m_block)), m_block) > m_diskBudget) {
    return "archive does not fit in the free space of the target (" + std::to_string(m_diskBudget) + " bytes)";
  }
  return "";
}

bool Run::CopyData(const std::string& name, std::uint64_t& fileEnd) {
  for (;;) {
    const void* buffer = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int r = archive_read_data_block(m_reader, &buffer, &size, &offset);
    if (r == ARCHIVE_EOF) return true;
    if (r < ARCHIVE_WARN) return Fail("damaged data in '" + name + "'", m_reader);
    if (offset < 0) return Refuse(name, "negative data offset");
    const std::uint64_t end = SaturatingAdd(static_cast<std::uint64_t>(offset), size);
    if (end > fileEnd) {
      const std::string why = CheckBudget(end);
      if (!why.empty()) return Refuse(name, why);
      fileEnd = end;
    }
    if (size > 0 && archive_write_data_block(m_writer, buffer, size, offset) < ARCHIVE_WARN) {
      return Fail("cannot write '" + name + "'", m_writer);
    }
  }
}

bool Run::ExtractEntry(archive_entry* entry) {
  const char* rawName = archive_entry_pathname(entry);
  if (rawName == nullptr) return Refuse("?", "name cannot be read");
  const std::string name = rawName;
  std::string why = CheckEntryName(name);
  if (!why.empty()) return Refuse(name, why);
  if (Components(name).empty()) {
    // The target folder itself ("./"): nothing to make.
    return true;
  }
  if (m_entries >= m_entryBudget)
    return Refuse(name, "more entries than the target can take (" + std::to_string(m_entryBudget) + ")");

  const char* hardlink = archive_entry_hardlink(entry);
  const mode_t type = archive_entry_filetype(entry);
  if (hardlink != nullptr) {
    why = CheckHardlink(hardlink);
  } else if (type == AE_IFLNK) {
    const char* link = archive_entry_symlink(entry);
    why = CheckSymlinkTarget(name, link != nullptr ? link : "");
  } else if (type != AE_IFREG && type != AE_IFDIR) {
    why = KindName(type) + " not allowed";
  }
  if (!why.empty()) return Refuse(name, why);

  // Only plain permissions, and always enough for the owner to read, write
  // and later delete what was unpacked.
  const mode_t perm = archive_entry_perm(entry) & 0777;
  archive_entry_set_perm(entry, perm | (type == AE_IFDIR ? 0700 : 0600));

  const std::uint64_t declared =
      archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0 ? archive_entry_size(entry) : 0;
  why = CheckBudget(declared);
  if (!why.empty()) return Refuse(name, why);

  if (archive_write_header(m_writer, entry) < ARCHIVE_WARN) return Fail("cannot extract '" + name + "'", m_writer);
  std::uint64_t fileEnd = 0;
  if (type == AE_IFREG || hardlink != nullptr) {
    if (!CopyData(name, fileEnd)) return false;
  }
  if (archive_write_finish_entry(m_writer) < ARCHIVE_WARN) return Fail("cannot finish '" + name + "'", m_writer);

  const std::uint64_t fileBytes = std::max(fileEnd, declared);
  m_dataBytes = SaturatingAdd(m_dataBytes, fileBytes);
  m_diskBytes = SaturatingAdd(m_diskBytes, SaturatingAdd(RoundUp(fileBytes, m_block), m_block));
  ++m_entries;
  if (type == AE_IFREG && hardlink == nullptr) {
    struct stat st {};
    if (lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) m_ownFiles.insert(FileId{st.st_dev, st.st_ino});
  }
  return true;
}

bool Run::ExtractAll() {
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(m_reader, &entry);
    if (r == ARCHIVE_EOF) return true;
    if (r < ARCHIVE_WARN) return Fail("damaged archive", m_reader);
    if (!ExtractEntry(entry)) return false;
  }
}

}  // namespace

int ArchiveExtractor::ExtractTar(const char* archivePath, const char* targetFolder) {
  return Extract(archivePath, targetFolder, Format::kTar);
}

int ArchiveExtractor::ExtractZip(const char* archivePath, const char* targetFolder, int /*options*/) {
  return Extract(archivePath, targetFolder, Format::kZip);
}

int ArchiveExtractor::Extract(const char* archivePath, const char* targetFolder, Format format) {
  m_lastError.clear();
  m_bytesWritten = 0;
  m_entriesWritten = 0;
  if (archivePath == nullptr || *archivePath == '\0' || targetFolder == nullptr || *targetFolder == '\0') {
    m_lastError = "no archive or no target folder given";
    return 0;
  }

  // The archive is opened before the working folder changes, so that a
  // relative archive path means what the caller meant.
  FileDescriptor file;
  file.fd = open(archivePath, O_RDONLY | O_CLOEXEC);
  struct stat archiveStat {};
  if (file.fd < 0 || fstat(file.fd, &archiveStat) != 0) {
    m_lastError = ErrnoText("cannot open the archive", errno);
    return 0;
  }
  if (!S_ISREG(archiveStat.st_mode)) {
    m_lastError = "the archive is not a regular file";
    return 0;
  }

  if (mkdir(targetFolder, 0755) != 0 && errno != EEXIST) {
    m_lastError = ErrnoText("cannot make the target folder", errno);
    return 0;
  }
  WorkingFolder working;
  if (!working.Enter(targetFolder, m_lastError)) return 0;

  struct statvfs fs {};
  if (statvfs(".", &fs) != 0) {
    m_lastError = ErrnoText("cannot measure the free space of the target", errno);
    return 0;
  }
  const std::uint64_t block = fs.f_frsize != 0 ? fs.f_frsize : 4096;
  const std::uint64_t freeBytes = SaturatingMul(fs.f_bavail, block);
  const std::uint64_t diskBudget = freeBytes > m_limits.reserveBytes ? freeBytes - m_limits.reserveBytes : 0;
  const std::uint64_t dataBudget =
      std::max(m_limits.minAllowedBytes,
               SaturatingMul(m_limits.maxExpansionRatio, static_cast<std::uint64_t>(archiveStat.st_size)));
  const std::uint64_t entryBudget =
      std::min(m_limits.maxEntries, fs.f_files != 0 ? static_cast<std::uint64_t>(fs.f_favail) : kMax);

  ReadArchive reader;
  DiskWriter writer;
  if (reader.a == nullptr || writer.a == nullptr) {
    m_lastError = "out of memory";
    return 0;
  }
  if (format == Format::kTar) {
    archive_read_support_filter_gzip(reader.a);
    archive_read_support_format_tar(reader.a);
  } else {
    archive_read_support_format_zip_seekable(reader.a);
  }
  archive_write_disk_set_options(writer.a, ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                               ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS | ARCHIVE_EXTRACT_TIME);

  if (archive_read_open_fd(reader.a, file.fd, kReadBlockSize) != ARCHIVE_OK) {
    const char* text = archive_error_string(reader.a);
    m_lastError = std::string("unreadable archive: ") + (text != nullptr ? text : "unknown format");
    return 0;
  }

  Run run(reader.a, writer.a, m_lastError);
  run.SetBudget(dataBudget, diskBudget, entryBudget, block);
  bool ok = run.ExtractAll();
  // Closing the writer sets the folders' times and permissions.
  if (archive_write_close(writer.a) != ARCHIVE_OK && ok) {
    const char* text = archive_error_string(writer.a);
    m_lastError = std::string("cannot complete the extraction: ") + (text != nullptr ? text : "unknown error");
    ok = false;
  }
  m_bytesWritten = run.DataBytes();
  m_entriesWritten = run.Entries();
  return ok ? 1 : 0;
}

}  // namespace pelix::platform
