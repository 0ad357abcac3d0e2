#include "tests/support/archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace pelix::test {

ArchiveBuilder::ArchiveBuilder(const std::string& path, Kind kind) : m_archive(archive_write_new()) {
  if (m_archive == nullptr) {
    m_ok = false;
    return;
  }
  int r = ARCHIVE_OK;
  if (kind == Kind::kZip) {
    r = archive_write_set_format_zip(m_archive);
  } else {
    r = archive_write_set_format_pax_restricted(m_archive);
    if (r == ARCHIVE_OK && kind == Kind::kTgz) r = archive_write_add_filter_gzip(m_archive);
    // The fastest level keeps generated bombs quick to make.
    if (r == ARCHIVE_OK && kind == Kind::kTgz)
      r = archive_write_set_filter_option(m_archive, "gzip", "compression-level", "1");
  }
  if (r == ARCHIVE_OK) r = archive_write_open_filename(m_archive, path.c_str());
  m_ok = r == ARCHIVE_OK;
}

ArchiveBuilder::~ArchiveBuilder() {
  Close();
  if (m_archive != nullptr) archive_write_free(m_archive);
}

bool ArchiveBuilder::Close() {
  if (!m_closed && m_archive != nullptr) {
    m_closed = true;
    if (archive_write_close(m_archive) != ARCHIVE_OK) m_ok = false;
  }
  return m_ok;
}

void ArchiveBuilder::Header(const std::string& name, unsigned type, int perm, std::int64_t size, const char* link,
                            bool hardlink) {
  if (!m_ok) return;
  archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, name.c_str());
  archive_entry_set_filetype(entry, type);
  archive_entry_set_perm(entry, static_cast<mode_t>(perm));
  archive_entry_set_mtime(entry, 1700000000, 0);
  if (size >= 0) archive_entry_set_size(entry, size);
  if (link != nullptr) {
    if (hardlink) {
      archive_entry_set_hardlink(entry, link);
    } else {
      archive_entry_set_symlink(entry, link);
    }
  }
  if (type == AE_IFCHR || type == AE_IFBLK) archive_entry_set_rdev(entry, makedev(1, 3));
  if (archive_write_header(m_archive, entry) < ARCHIVE_WARN) m_ok = false;
  archive_entry_free(entry);
}

void ArchiveBuilder::Data(const void* data, size_t size) {
  if (!m_ok || size == 0) return;
  if (archive_write_data(m_archive, data, size) != static_cast<la_ssize_t>(size)) m_ok = false;
}

ArchiveBuilder& ArchiveBuilder::File(const std::string& name, const std::string& content, int perm) {
  Header(name, AE_IFREG, perm, static_cast<std::int64_t>(content.size()), nullptr, false);
  Data(content.data(), content.size());
  return *this;
}

ArchiveBuilder& ArchiveBuilder::Zeros(const std::string& name, std::uint64_t size) {
  Header(name, AE_IFREG, 0644, static_cast<std::int64_t>(size), nullptr, false);
  const std::vector<char> chunk(1U << 20, '\0');
  for (std::uint64_t left = size; left > 0 && m_ok;) {
    const size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
    Data(chunk.data(), n);
    left -= n;
  }
  return *this;
}

ArchiveBuilder& ArchiveBuilder::FileFrom(const std::string& name, const std::string& sourcePath) {
  return File(name, FileText(sourcePath));
}

ArchiveBuilder& ArchiveBuilder::Dir(const std::string& name, int perm) {
  Header(name, AE_IFDIR, perm, 0, nullptr, false);
  return *this;
}

ArchiveBuilder& ArchiveBuilder::Symlink(const std::string& name, const std::string& target) {
  Header(name, AE_IFLNK, 0777, 0, target.c_str(), false);
  return *this;
}

ArchiveBuilder& ArchiveBuilder::Hardlink(const std::string& name, const std::string& target) {
  Header(name, AE_IFREG, 0644, 0, target.c_str(), true);
  return *this;
}

ArchiveBuilder& ArchiveBuilder::Special(const std::string& name, unsigned type) {
  Header(name, type, 0644, 0, nullptr, false);
  return *this;
}

bool ClaimTarEntrySize(const std::string& path, const std::string& name, std::uint64_t size) {
  std::string bytes = FileText(path);
  constexpr size_t kBlock = 512;
  for (size_t at = 0; at + kBlock <= bytes.size(); at += kBlock) {
    if (bytes.compare(at, name.size() + 1, std::string(name.c_str(), name.size() + 1)) != 0) continue;
    char field[13];
    std::snprintf(field, sizeof field, "%011llo", static_cast<unsigned long long>(size));
    bytes.replace(at + 124, 12, std::string(field, 12));
    bytes.replace(at + 148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (size_t i = 0; i < kBlock; ++i) sum += static_cast<unsigned char>(bytes[at + i]);
    std::snprintf(field, sizeof field, "%06o", sum);
    bytes.replace(at + 148, 7, std::string(field, 7));  // six digits and a NUL, then the space
    bytes.resize(at + kBlock);
    return PutFile(path, bytes);
  }
  return false;
}

bool PutFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(out);
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace pelix::test
