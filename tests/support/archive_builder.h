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
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace pelix::test {

inline bool PutFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out.write(content.data(), static_cast<std::streamsize>(content.size())));
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

using Names = std::vector<std::string>;

// The names in a folder, sorted; empty when it cannot be listed.
inline Names Entries(const std::string& folder) {
  Names names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// root/ with pkg/, card/ and tmp/. While it lives TMPDIR is tmp/ and
// XDG_RUNTIME_DIR is unset, so the library's temporary folder is `temp`.
class Scratch {
 public:
  Scratch() {
    for (const std::string* folder : {&pkg, &card, &tmp}) mkdir(folder->c_str(), 0755);
    setenv("TMPDIR", tmp.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
  }
  ~Scratch() {
    Restore("TMPDIR", m_tmpdir);
    Restore("XDG_RUNTIME_DIR", m_runtime);
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error) && !it->is_symlink(error)) chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(root, error);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

 private:
  std::string m_tmpdir = Env("TMPDIR"), m_runtime = Env("XDG_RUNTIME_DIR");

 public:
  std::string root = MakeRoot(m_tmpdir), pkg = root + "pkg/", card = root + "card/", tmp = root + "tmp/";
  std::string temp = tmp + "pelix-" + std::to_string(geteuid()) + "/";

 private:
  static std::string Env(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }
  static std::string MakeRoot(const std::string& base) {
    std::string pattern = (base.empty() ? std::string("/tmp") : base) + "/swload_test_XXXXXX";
    return std::string(mkdtemp(pattern.data())) + "/";
  }
  static void Restore(const char* name, const std::string& value) {
    value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
  }
};

class ArchiveBuilder {
 public:
  enum class Kind { kTar, kTgz, kZip, kStoredZip };

  ArchiveBuilder(const std::string& path, Kind kind) : m_archive(archive_write_new()) {
    const bool zip = kind == Kind::kZip || kind == Kind::kStoredZip;
    int r = zip ? archive_write_set_format_zip(m_archive) : archive_write_set_format_pax_restricted(m_archive);
    if (r == ARCHIVE_OK && kind == Kind::kStoredZip)
      r = archive_write_set_format_option(m_archive, "zip", "compression", "store");
    if (r == ARCHIVE_OK && kind == Kind::kTgz) r = archive_write_add_filter_gzip(m_archive);
    m_ok = r == ARCHIVE_OK && archive_write_open_filename(m_archive, path.c_str()) == ARCHIVE_OK;
  }
  ~ArchiveBuilder() {
    Close();
    archive_write_free(m_archive);
  }
  ArchiveBuilder(const ArchiveBuilder&) = delete;
  ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

  // An entry of any type (AE_IFREG, AE_IFDIR, AE_IFLNK, AE_IFCHR, ...); `link`
  // is a symlink's target, or with `hard` the file a hardlink joins.
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
  ArchiveBuilder& File(const std::string& name, const std::string& content, int perm = 0644) {
    return Entry(name, AE_IFREG, content, "", perm);
  }
  ArchiveBuilder& Zeros(const std::string& name, std::int64_t size) {
    return Entry(name, AE_IFREG, "", "", 0644, false, size);
  }
  ArchiveBuilder& Dir(const std::string& name, int perm = 0755) { return Entry(name, AE_IFDIR, "", "", perm); }
  ArchiveBuilder& Symlink(const std::string& name, const std::string& to) {
    return Entry(name, AE_IFLNK, "", to, 0777);
  }
  ArchiveBuilder& Hardlink(const std::string& name, const std::string& to) {
    return Entry(name, AE_IFREG, "", to, 0644, true);
  }
  bool Close() {
    if (!m_closed) m_ok = archive_write_close(m_archive) == ARCHIVE_OK && m_ok;
    m_closed = true;
    return m_ok;
  }

 private:
  ::archive* m_archive;
  bool m_ok = false;
  bool m_closed = false;
};

// Every object below `root` (links not followed) but `skip`, with its mode,
// link count and a file's time and content or a link's target; without
// `meta`, only its kind, link count and content or target.
inline std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& skip = "",
                                                   bool meta = true) {
  std::map<std::string, std::string> out;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    const std::string path = it->path().string();
    if (!skip.empty() && (path + "/").rfind(skip, 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) continue;
    const bool file = S_ISREG(st.st_mode);  // a folder's time changes with what it lists
    out[path] = std::to_string(meta ? st.st_mode : st.st_mode & S_IFMT) + " " + std::to_string(st.st_nlink) + " " +
                (file ? (meta ? std::to_string(st.st_mtim.tv_sec) : "") + "." + std::to_string(st.st_mtim.tv_nsec) +
                            " " + FileText(path)
                      : std::filesystem::read_symlink(path, error).string());
  }
  return out;
}

}  // namespace pelix::test
