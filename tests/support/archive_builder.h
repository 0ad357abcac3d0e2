// Test helpers of software loading: a scratch folder that is also the
// temporary folder, archives built on the fly with libarchive's writer
// (hostile ones included: absolute paths, "..", links out of the tree, device
// nodes) and a snapshot of a folder tree to prove it was left alone.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pelix::test {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

inline bool PutFile(const std::string& path, const std::string& content) {
  return static_cast<bool>(std::ofstream(path, std::ios::binary | std::ios::trunc) << content);
}

// A file's bytes; empty when it cannot be read.
inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in a folder, sorted; empty when it cannot be listed.
inline Names Entries(const std::string& folder) {
  Names names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename());
  return std::sort(names.begin(), names.end()), names;
}

// True also for a dangling link.
inline bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// root/ with pkg/, card/ and tmp/. While it lives TMPDIR is tmp/ and
// XDG_RUNTIME_DIR is unset, so the library's temporary folder is `temp`.
class Scratch {
 public:
  Scratch() {
    for (const std::string& folder : {pkg, card, tmp}) mkdir(folder.c_str(), 0755);
    setenv("TMPDIR", tmp.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
  }
  ~Scratch() {
    m_tmpdir.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", m_tmpdir.c_str(), 1);
    std::error_code error;  // folders a test locked are opened again first
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
      if (it->is_directory(error) && !it->is_symlink(error)) chmod(it->path().c_str(), 0700);
    fs::remove_all(root, error);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

 private:
  std::string m_tmpdir = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "",
              m_pattern = (m_tmpdir.empty() ? std::string("/tmp") : m_tmpdir) + "/swload_XXXXXX";

 public:
  std::string root = std::string(mkdtemp(m_pattern.data())) + "/", pkg = root + "pkg/", card = root + "card/",
              tmp = root + "tmp/", temp = tmp + "pelix-" + std::to_string(geteuid()) + "/";
};

class ArchiveBuilder {
 public:
  enum class Kind { kTar, kTgz, kZip, kStoredZip };

  ArchiveBuilder(const std::string& path, Kind kind) {
    const bool zip = kind == Kind::kZip || kind == Kind::kStoredZip;
    m_ok =
        (zip ? archive_write_set_format_zip(m_archive) : archive_write_set_format_pax_restricted(m_archive)) == 0 &&
        (kind != Kind::kStoredZip || archive_write_set_format_option(m_archive, "zip", "compression", "store") == 0) &&
        (kind != Kind::kTgz || archive_write_add_filter_gzip(m_archive) == 0) &&
        archive_write_open_filename(m_archive, path.c_str()) == ARCHIVE_OK;
  }
  ~ArchiveBuilder() { Close(), archive_write_free(m_archive); }
  ArchiveBuilder(const ArchiveBuilder&) = delete;
  ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

  // An entry of any type (AE_IFREG, AE_IFDIR, AE_IFLNK, AE_IFCHR, ...); `link`
  // is a symlink's target, or with `hard` the file a hardlink joins; `zeros`
  // zero bytes follow the content.
  ArchiveBuilder& Entry(const std::string& name, unsigned type, const std::string& content = "",
                        const std::string& link = "", int perm = 0644, bool hard = false, std::int64_t zeros = 0) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, type);
    archive_entry_set_perm(entry, static_cast<mode_t>(perm));
    archive_entry_set_mtime(entry, 1700000000, 0);
    archive_entry_set_size(entry, static_cast<std::int64_t>(content.size()) + zeros);
    if (!link.empty())
      hard ? archive_entry_set_hardlink(entry, link.c_str()) : archive_entry_set_symlink(entry, link.c_str());
    if (type == AE_IFCHR || type == AE_IFBLK) archive_entry_set_rdev(entry, makedev(1, 3));
    m_ok = m_ok && archive_write_header(m_archive, entry) >= ARCHIVE_WARN;
    archive_entry_free(entry);
    m_ok = m_ok && (content.empty() || archive_write_data(m_archive, content.data(), content.size()) > 0);
    const std::string block(1 << 20, '\0');
    for (std::int64_t left = zeros; m_ok && left > 0; left -= static_cast<std::int64_t>(block.size()))
      m_ok = archive_write_data(m_archive, block.data(), std::min<std::int64_t>(left, block.size())) > 0;
    return *this;
  }
  using Text = const std::string&;
  ArchiveBuilder& File(Text name, Text content, int perm = 0644) { return Entry(name, AE_IFREG, content, "", perm); }
  ArchiveBuilder& Zeros(Text name, std::int64_t size) { return Entry(name, AE_IFREG, "", "", 0644, false, size); }
  ArchiveBuilder& Dir(Text name, int perm = 0755) { return Entry(name, AE_IFDIR, "", "", perm); }
  ArchiveBuilder& Symlink(Text name, Text to) { return Entry(name, AE_IFLNK, "", to, 0777); }
  ArchiveBuilder& Hardlink(Text name, Text to) { return Entry(name, AE_IFREG, "", to, 0644, true); }
  bool Close() {
    if (!m_closed) m_ok = archive_write_close(m_archive) == ARCHIVE_OK && m_ok;
    return m_closed = true, m_ok;
  }

 private:
  ::archive* m_archive = archive_write_new();
  bool m_ok = false, m_closed = false;
};

// Every object below `root` (links not followed) but `skip`: its mode, link
// count and a file's time and content or a link's target; without `meta`, its
// kind instead of its mode and no time.
inline std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& skip = "",
                                                   bool meta = true) {
  std::map<std::string, std::string> out;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    const std::string path = it->path().string();
    struct stat st {};
    if (!skip.empty() && (path + "/").rfind(skip, 0) == 0) {
      it.disable_recursion_pending();
    } else if (lstat(path.c_str(), &st) == 0) {  // a folder's time changes with what it lists
      out[path] = std::to_string(meta ? st.st_mode : st.st_mode & S_IFMT) + " " + std::to_string(st.st_nlink) + " " +
                  (S_ISREG(st.st_mode) ? (meta ? std::to_string(st.st_mtim.tv_nsec) : "") + FileText(path)
                                       : fs::read_symlink(path, error).string());
    }
  }
  return out;
}

}  // namespace pelix::test
