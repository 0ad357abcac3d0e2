#include "platform/archive_extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace pelix::platform {

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr size_t kReadBlockSize = 1U << 20;
// The most bytes a gzip stream may inflate to after the tar end marker: tar
// pads its last record with zeros, to 10 KiB for most packers.
constexpr std::uint64_t kTrailingLimit = 1U << 20;

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
struct FileDescriptor {
  int fd = -1;
  FileDescriptor() = default;
  explicit FileDescriptor(int f) : fd(f) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Reset(-1); }
  void Reset(int f) {
    if (fd >= 0) close(fd);
    fd = f;
  }
};

// The bytes libarchive reads: the archive file as it is, or, for a gzip
// stream, its inflated content. zlib checks every member's trailer (CRC and
// length) when it reaches it, and Finish() reads the stream to its real end
// after the tar end marker, so that damage anywhere in it is found.
class Source {
 public:
  explicit Source(int fd) : m_fd(fd), m_in(kBlock), m_out(kBlock) {}
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  ~Source() {
    if (m_gzip) inflateEnd(&m_z);
  }

  // Looks at the first bytes: a gzip stream is inflated, anything else passed on.
  bool Start() {
    const ssize_t got = ReadSome(m_in.data(), m_in.size());
    if (got < 0) return false;
    m_z.next_in = m_in.data();
    m_z.avail_in = static_cast<uInt>(got);
    m_gzip = got >= 2 && m_in[0] == 0x1f && m_in[1] == 0x8b;
    if (m_gzip && inflateInit2(&m_z, 16 + MAX_WBITS) != Z_OK) {
      m_gzip = false;
      Error("cannot start inflating");
      return false;
    }
    return true;
  }

  // The next block for libarchive: its size, 0 at the end, -1 on damage.
  la_ssize_t Next(const void** block) {
    if (!m_gzip) {
      *block = m_in.data();
      if (m_z.avail_in > 0) {  // what Start() looked at
        const la_ssize_t size = m_z.avail_in;
        m_z.avail_in = 0;
        return size;
      }
      return ReadSome(m_in.data(), m_in.size());
    }
    m_z.next_out = m_out.data();
    m_z.avail_out = static_cast<uInt>(m_out.size());
    while (m_z.avail_out == m_out.size() && !m_end) {
      if (m_z.avail_in == 0) {
        const ssize_t got = ReadSome(m_in.data(), m_in.size());
        if (got < 0) return -1;
        if (got == 0) {
          // The file ends inside a member, or after a complete one.
          if (!m_memberDone) return Error("the gzip stream is cut short");
          m_end = true;
          break;
        }
        m_z.next_in = m_in.data();
        m_z.avail_in = static_cast<uInt>(got);
      }
      if (m_memberDone) {
        // More bytes after a member: they must be another member.
        inflateReset(&m_z);
        m_memberDone = false;
      }
      const int r = inflate(&m_z, Z_NO_FLUSH);
      if (r == Z_STREAM_END) {
        m_memberDone = true;
      } else if (r != Z_OK && r != Z_BUF_ERROR) {
        return Error(m_z.msg != nullptr ? m_z.msg : "damaged gzip stream");
      }
    }
    *block = m_out.data();
    return static_cast<la_ssize_t>(m_out.size() - m_z.avail_out);
  }

  // Reads what is left after the archive's end marker, so that every trailer
  // is checked. A gzip stream may hold at most `limit` more bytes there.
  bool Finish(std::uint64_t limit) {
    std::uint64_t extra = 0;
    const void* block = nullptr;
    for (la_ssize_t got; m_gzip && (got = Next(&block)) != 0;) {
      if (got < 0) return false;
      extra += static_cast<std::uint64_t>(got);
      if (extra > limit) return Error("too much data after the end of the archive");
    }
    return true;
  }

  const std::string& LastError() const { return m_error; }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  ssize_t ReadSome(unsigned char* into, size_t size) {
    ssize_t got;
    do {
      got = read(m_fd, into, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) Error(std::strerror(errno));
    return got;
  }
  int Error(const std::string& text) {
    m_error = text;
    return -1;
  }

  int m_fd;
  std::vector<unsigned char> m_in, m_out;
  z_stream m_z{};
  bool m_gzip = false;
  bool m_memberDone = false;
  bool m_end = false;
  std::string m_error;
};

// A zip's central directory and its local headers must name every entry
// alike: libarchive takes the names from the local headers, which no CRC
// covers, so a damaged name would otherwise unpack as another file. "" when
// they agree (or the directory is left for libarchive to judge). `crcs`
// gets each name's CRC, for the link targets libarchive does not check.
std::string CheckZipNames(int fd, std::uint64_t size, std::map<std::string, std::uint32_t>& crcs) {
  std::string bytes;
  const auto read = [&](std::uint64_t offset, size_t count) {
    bytes.assign(count, '\0');
    return offset + count <= size && pread(fd, bytes.data(), count, static_cast<off_t>(offset)) == ssize_t(count);
  };
  const auto u16 = [&](size_t at) {
    return unsigned(std::uint8_t(bytes[at])) | unsigned(std::uint8_t(bytes[at + 1])) << 8;
  };
  const auto u32 = [&](size_t at) { return std::uint64_t(u16(at)) | std::uint64_t(u16(at + 2)) << 16; };
  const std::uint64_t tail = std::min<std::uint64_t>(size, 22 + 0xFFFF);
  if (!read(size - tail, tail)) return "";
  const size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos || end + 22 > bytes.size()) return "";
  const std::uint64_t count = u16(end + 10);
  std::uint64_t at = u32(end + 16);
  const std::string eocd = bytes.substr(end, 22);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!read(at, 46) || bytes.compare(0, 4, "PK\x01\x02") != 0) return "damaged zip directory";
    const size_t nameLength = u16(28);
    const std::uint64_t next = at + 46 + nameLength + u16(30) + u16(32), local = u32(42);
    const auto crc = static_cast<std::uint32_t>(u32(16));
    if (!read(at + 46, nameLength)) return "damaged zip directory";
    const std::string name = bytes;
    crcs[name] = crc;
    if (local != 0xFFFFFFFF && (!read(local, 30) || bytes.compare(0, 4, "PK\x03\x04") != 0 || u16(26) != nameLength ||
                                !read(local + 30, nameLength) || bytes != name)) {
      return "the zip directory and the entry disagree on the name '" + name + "'";
    }
    at = next;
  }
  // The entry counts and the directory's size must agree with what was walked.
  bytes = eocd;
  if (u16(8) != count || at != u32(16) + u32(12)) return "damaged zip directory";
  return "";
}

la_ssize_t ReadSource(archive* a, void* data, const void** block) {
  auto* source = static_cast<Source*>(data);
  const la_ssize_t got = source->Next(block);
  if (got < 0) archive_set_error(a, EIO, "%s", source->LastError().c_str());
  return got;
}

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
// Every entry is made relative to a descriptor of the target folder, one
// folder at a time, never through a symbolic link: the process's working
// folder is never touched, so other threads' relative paths stay right.
class Run {
 public:
  Run(archive* reader, int target, std::string& error, const std::map<std::string, std::uint32_t>* zipCrcs)
      : m_reader(reader), m_target(target), m_error(error), m_zipCrcs(zipCrcs) {}

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
  bool FailErrno(const std::string& what, int error) {
    m_error = ErrnoText(what.c_str(), error);
    return false;
  }
  int OpenParent(const std::vector<std::string_view>& parts, bool make, std::string& why) const;
  std::string CheckHardlink(std::string_view link, FileDescriptor& parent, std::string& last) const;
  std::string CheckBudget(std::uint64_t fileBytes) const;
  bool ExtractEntry(archive_entry* entry);
  bool MakeFile(const std::string& name, int parent, const std::string& last, archive_entry* entry,
                std::uint64_t& fileEnd);
  bool CopyData(const std::string& name, int fd, std::uint64_t& fileEnd);

  archive* m_reader;
  int m_target;
  std::string& m_error;
  const std::map<std::string, std::uint32_t>* m_zipCrcs;  // a zip's CRCs by name
  std::uint64_t m_dataBudget = kMax;
  std::uint64_t m_diskBudget = kMax;
  std::uint64_t m_entryBudget = kMax;
  std::uint64_t m_block = 4096;
  std::uint64_t m_dataBytes = 0;
  std::uint64_t m_diskBytes = 0;
  std::uint64_t m_entries = 0;
  std::set<FileId> m_ownFiles;  // regular files this run wrote
};

// The folder that holds the last of `parts`, opened from the target folder
// one real folder at a time (made when missing and `make`), or -1 with the
// reason in `why`.
int Run::OpenParent(const std::vector<std::string_view>& parts, bool make, std::string& why) const {
  FileDescriptor folder(fcntl(m_target, F_DUPFD_CLOEXEC, 0));
  for (size_t i = 0; folder.fd >= 0 && i + 1 < parts.size(); ++i) {
    const std::string name(parts[i]);
    int next = openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && make && mkdirat(folder.fd, name.c_str(), 0755) == 0) {
      next = openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next < 0) {
      why = errno == ENOENT && !make               ? "missing"
            : (errno == ELOOP || errno == ENOTDIR) ? "through a symlink or file"
                                                   : std::strerror(errno);
      return -1;
    }
    folder.Reset(next);
  }
  const int fd = folder.fd;
  folder.fd = -1;
  return fd;
}

// A hardlink may only join a regular file that this run wrote, reached
// through real folders: never a file outside, never one planted beforehand.
// On success `parent` and `last` name the file.
std::string Run::CheckHardlink(std::string_view link, FileDescriptor& parent, std::string& last) const {
  if (link.empty()) return "hardlink with an empty target";
  if (link.front() == '/') return "hardlink to an absolute path";
  const std::vector<std::string_view> parts = Components(link);
  if (parts.empty()) return "hardlink to the target folder";
  if (HasDotDot(parts)) return "hardlink with '..' in its target";
  std::string why;
  parent.Reset(OpenParent(parts, false, why));
  if (parent.fd < 0) return "hardlink " + std::string(why == "missing" ? "to a missing file" : why);
  last = std::string(parts.back());
  struct stat st {};
  if (fstatat(parent.fd, last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return "hardlink to a missing file";
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

// Every block of the entry's data, each checked: a warning (a zip CRC that
// does not match, for one) fails the extraction as an error does.
bool Run::CopyData(const std::string& name, int fd, std::uint64_t& fileEnd) {
  for (;;) {
    const void* buffer = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int r = archive_read_data_block(m_reader, &buffer, &size, &offset);
    if (r == ARCHIVE_EOF) return true;
    if (r != ARCHIVE_OK) return Fail("damaged data in '" + name + "'", m_reader);
    if (offset < 0) return Refuse(name, "negative data offset");
    const std::uint64_t end = SaturatingAdd(static_cast<std::uint64_t>(offset), size);
    if (end > fileEnd) {
      const std::string why = CheckBudget(end);
      if (!why.empty()) return Refuse(name, why);
      fileEnd = end;
    }
    for (size_t done = 0; done < size;) {
      const ssize_t put = pwrite(fd, static_cast<const char*>(buffer) + done, size - done, offset + done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return FailErrno("cannot write '" + name + "'", put < 0 ? errno : ENOSPC);
      done += static_cast<size_t>(put);
    }
  }
}

// A new regular file with the entry's data; what stood there is replaced,
// never written through.
bool Run::MakeFile(const std::string& name, int parent, const std::string& last, archive_entry* entry,
                   std::uint64_t& fileEnd) {
  FileDescriptor file(
      openat(parent, last.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, archive_entry_perm(entry)));
  if (file.fd < 0) return FailErrno("cannot extract '" + name + "'", errno);
  if (!CopyData(name, file.fd, fileEnd)) return false;
  const std::uint64_t size = archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0
                                 ? static_cast<std::uint64_t>(archive_entry_size(entry))
                                 : 0;
  if (size != fileEnd && archive_entry_size_is_set(entry)) {
    // Only a sparse file may end in a hole; any other file must hold what its header declares.
    if (archive_entry_sparse_count(entry) == 0 || size < fileEnd) {
      m_error = "damaged data in '" + name + "': " + std::to_string(fileEnd) + " bytes where " + std::to_string(size) +
                " are declared";
      return false;
    }
    if (ftruncate(file.fd, static_cast<off_t>(size)) != 0) return FailErrno("cannot extract '" + name + "'", errno);
  }
  if (archive_entry_mtime_is_set(entry)) {
    const timespec times[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
    (void)futimens(file.fd, times);  // the time is a courtesy
  }
  struct stat st {};
  if (fstat(file.fd, &st) == 0) m_ownFiles.insert(FileId{st.st_dev, st.st_ino});
  const int fd = file.fd;
  file.fd = -1;
  return close(fd) == 0 || FailErrno("cannot finish '" + name + "'", errno);
}

bool Run::ExtractEntry(archive_entry* entry) {
  const char* rawName = archive_entry_pathname(entry);
  if (rawName == nullptr) return Refuse("?", "name cannot be read");
  const std::string name = rawName;
  std::string why = CheckEntryName(name);
  if (!why.empty()) return Refuse(name, why);
  const std::vector<std::string_view> parts = Components(name);
  if (parts.empty()) {
    // The target folder itself ("./"): nothing to make.
    return true;
  }
  if (m_entries >= m_entryBudget)
    return Refuse(name, "more entries than the target can take (" + std::to_string(m_entryBudget) + ")");

  const char* hardlink = archive_entry_hardlink(entry);
  const mode_t type = archive_entry_filetype(entry);
  FileDescriptor linkParent;
  std::string linkLast;
  if (hardlink != nullptr) {
    why = CheckHardlink(hardlink, linkParent, linkLast);
  } else if (type == AE_IFLNK) {
    const std::string link = archive_entry_symlink(entry) != nullptr ? archive_entry_symlink(entry) : "";
    why = CheckSymlinkTarget(name, link);
    // A zip keeps a link's target as its data, whose CRC libarchive leaves unchecked.
    const auto crc =
        m_zipCrcs != nullptr ? m_zipCrcs->find(name) : std::map<std::string, std::uint32_t>::const_iterator();
    if (m_zipCrcs != nullptr &&
        (crc == m_zipCrcs->end() ||
         crc->second != crc32(0, reinterpret_cast<const Bytef*>(link.data()), static_cast<uInt>(link.size())))) {
      m_error = "damaged data in '" + name + "': the link target does not match its CRC";
      return false;
    }
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
  why = CheckBudget(hardlink != nullptr ? 0 : declared);
  if (!why.empty()) return Refuse(name, why);

  const FileDescriptor parent(OpenParent(parts, true, why));
  if (parent.fd < 0) return Refuse(name, "path " + why);
  const std::string last(parts.back());
  const char* at = last.c_str();
  struct stat st {};
  const bool exists = fstatat(parent.fd, at, &st, AT_SYMLINK_NOFOLLOW) == 0;
  std::uint64_t fileEnd = 0;
  if (type == AE_IFDIR && hardlink == nullptr) {
    if (exists && S_ISDIR(st.st_mode)) {
      // An implied folder made earlier, or one listed twice: it stays.
    } else if ((exists && unlinkat(parent.fd, at, 0) != 0) || mkdirat(parent.fd, at, archive_entry_perm(entry)) != 0) {
      return FailErrno("cannot extract '" + name + "'", errno);
    }
  } else {
    // Whatever stands at the name is replaced: never written in place.
    if (exists && unlinkat(parent.fd, at, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0) {
      return FailErrno("cannot replace '" + name + "'", errno);
    }
    if (hardlink != nullptr) {
      if (linkat(linkParent.fd, linkLast.c_str(), parent.fd, at, 0) != 0)
        return FailErrno("cannot extract '" + name + "'", errno);
    } else if (type == AE_IFLNK) {
      if (symlinkat(archive_entry_symlink(entry), parent.fd, at) != 0)
        return FailErrno("cannot extract '" + name + "'", errno);
    } else if (!MakeFile(name, parent.fd, last, entry, fileEnd)) {
      return false;
    }
  }

  const std::uint64_t fileBytes = hardlink != nullptr ? 0 : std::max(fileEnd, declared);
  m_dataBytes = SaturatingAdd(m_dataBytes, fileBytes);
  m_diskBytes = SaturatingAdd(m_diskBytes, SaturatingAdd(RoundUp(fileBytes, m_block), m_block));
  ++m_entries;
  return true;
}

bool Run::ExtractAll() {
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(m_reader, &entry);
    if (r == ARCHIVE_EOF) return true;
    // A warning about a header (a damaged field, an unreadable name) is damage too.
    if (r != ARCHIVE_OK) return Fail("damaged archive", m_reader);
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

  FileDescriptor file(open(archivePath, O_RDONLY | O_CLOEXEC));
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
  const FileDescriptor target(open(targetFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (target.fd < 0) {
    m_lastError = ErrnoText("cannot open the target folder", errno);
    return 0;
  }

  struct statvfs fs {};
  if (fstatvfs(target.fd, &fs) != 0) {
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
  if (reader.a == nullptr) {
    m_lastError = "out of memory";
    return 0;
  }
  Source source(file.fd);
  std::map<std::string, std::uint32_t> zipCrcs;
  int opened = ARCHIVE_FATAL;
  if (format == Format::kTar) {
    archive_read_support_format_tar(reader.a);
    if (source.Start()) opened = archive_read_open(reader.a, &source, nullptr, ReadSource, nullptr);
  } else {
    const std::string why = CheckZipNames(file.fd, static_cast<std::uint64_t>(archiveStat.st_size), zipCrcs);
    if (!why.empty()) {
      m_lastError = "damaged archive: " + why;
      return 0;
    }
    archive_read_support_format_zip_seekable(reader.a);
    opened = archive_read_open_fd(reader.a, file.fd, kReadBlockSize);
  }
  if (opened != ARCHIVE_OK) {
    const char* text = source.LastError().empty() ? archive_error_string(reader.a) : source.LastError().c_str();
    m_lastError = std::string("unreadable archive: ") + (text != nullptr ? text : "unknown format");
    return 0;
  }

  Run run(reader.a, target.fd, m_lastError, format == Format::kZip ? &zipCrcs : nullptr);
  run.SetBudget(dataBudget, diskBudget, entryBudget, block);
  bool ok = run.ExtractAll();
  // What follows the tar end marker is read too, so that the gzip trailer is checked.
  if (ok && !source.Finish(kTrailingLimit)) {
    m_lastError = "damaged archive: " + source.LastError();
    ok = false;
  }
  m_bytesWritten = run.DataBytes();
  m_entriesWritten = run.Entries();
  return ok ? 1 : 0;
}

}  // namespace pelix::platform
