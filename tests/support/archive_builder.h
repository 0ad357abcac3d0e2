// Builds tar, gzip-compressed tar and zip archives in tests with libarchive's
// writer, including entries no honest packer would make (absolute paths, "..",
// symlinks out of the tree, device nodes), so that hostile archives are made
// on the fly instead of being kept as binary files.
#pragma once

#include <cstdint>
#include <string>

struct archive;

namespace pelix::test {

class ArchiveBuilder {
 public:
  enum class Kind { kTar, kTgz, kZip };

  // Opens `path` for writing; Ok() tells whether that worked.
  ArchiveBuilder(const std::string& path, Kind kind);
  ~ArchiveBuilder();  // closes the archive if Close() was not called
  ArchiveBuilder(const ArchiveBuilder&) = delete;
  ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

  ArchiveBuilder& File(const std::string& name, const std::string& content, int perm = 0644);
  // A file of `size` zero bytes, written in chunks (for bombs).
  ArchiveBuilder& Zeros(const std::string& name, std::uint64_t size);
  // A file holding the contents of an existing file (for nesting archives).
  ArchiveBuilder& FileFrom(const std::string& name, const std::string& sourcePath);
  ArchiveBuilder& Dir(const std::string& name, int perm = 0755);
  ArchiveBuilder& Symlink(const std::string& name, const std::string& target);
  ArchiveBuilder& Hardlink(const std::string& name, const std::string& target);
  // A special entry: type is AE_IFCHR, AE_IFBLK, AE_IFIFO or AE_IFSOCK.
  ArchiveBuilder& Special(const std::string& name, unsigned type);

  // Finishes the archive; true when every step succeeded.
  bool Close();
  bool Ok() const { return m_ok; }

 private:
  void Header(const std::string& name, unsigned type, int perm, std::int64_t size, const char* link, bool hardlink);
  void Data(const void* data, size_t size);

  ::archive* m_archive = nullptr;
  bool m_ok = true;
  bool m_closed = false;
};

// Rewrites the tar header of entry `name` in the plain tar at `path` to declare
// `size` bytes (checksum fixed up) and cuts the file right after that header,
// so the archive claims data it does not carry. True when the entry was found.
bool ClaimTarEntrySize(const std::string& path, const std::string& name, std::uint64_t size);

// Writes `content` to `path`; true on success.
bool PutFile(const std::string& path, const std::string& content);
// The whole content of `path`, or "" when it cannot be read.
std::string FileText(const std::string& path);

}  // namespace pelix::test
