// The archive extractor the software handler unpacks packages with: tar and
// gzip-compressed tar in one call, zip in another, each filling a target
// folder with the archive's entries and their folder structure.
//
// Extraction is safe against hostile archives. Nothing is ever written outside
// the target folder:
// - entries with absolute paths or ".." components are refused;
// - symlinks are kept only when they resolve inside the target: a relative
//   target made of leading ".." steps that stay within the target, followed by
//   plain names; anything else (absolute, escaping, ".." after a name) is refused;
// - entries that would be written through a symlink already on disk are refused;
// - hardlinks must name a regular file already extracted inside the target,
//   reached without symlinks;
// - device nodes, FIFOs, sockets and unknown entry kinds are refused;
// - existing files are replaced, never written in place, so a hardlink planted
//   in the target cannot carry a write outside it.
// Decompression bombs are refused before the disk fills: the bytes an archive
// unpacks to may not exceed ExtractionLimits (a multiple of the archive's own
// size, with a floor) nor the free space of the target's file system less a
// reserve; the number of entries may not exceed ExtractionLimits::maxEntries
// nor the free inodes. A declared
// entry size over the budget is refused before any of it is written; data is
// also counted as it streams, since zip headers can lie.
//
// Damage is never let through: any warning or error while reading an entry
// (a zip CRC that does not match, a cut-off stream, a bad header) fails the
// call, and a gzip stream is read to its real end, past the tar end marker,
// so that its trailer (CRC and length) is checked.
//
// Every entry is made relative to a descriptor of the target folder, one real
// folder at a time: the process's working folder is never changed, so an
// extraction is safe beside other threads.
//
// A refused entry or a damaged archive makes the call return 0, with the reason
// in LastError(); entries already extracted stay in the target folder.
#pragma once

#include <cstdint>
#include <string>

namespace pelix::platform {

struct ExtractionLimits {
  // An archive may unpack to at most this multiple of its own size in bytes ...
  std::uint64_t maxExpansionRatio = 200;
  // ... or to this many bytes, whichever is more, so that small packages of
  // very compressible files still unpack.
  std::uint64_t minAllowedBytes = 64ULL << 20;
  // Space always left free on the target's file system.
  std::uint64_t reserveBytes = 16ULL << 20;
  // Most entries one archive may create (a package has hundreds): an archive
  // of millions of empty files is a bomb of inodes rather than of bytes.
  std::uint64_t maxEntries = 100000;
};

class ArchiveExtractor {
 public:
  ArchiveExtractor() = default;
  explicit ArchiveExtractor(const ExtractionLimits& limits) : m_limits(limits) {}
  ArchiveExtractor(const ArchiveExtractor&) = delete;
  ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

  // Unpacks a tar archive, plain or gzip-compressed, into targetFolder (made if
  // missing). 1 on success, 0 on failure.
  int ExtractTar(const char* archivePath, const char* targetFolder);
  // Unpacks a zip archive into targetFolder (made if missing), reading its
  // central directory. `options` is reserved and must be 0. 1 on success, 0 on failure.
  int ExtractZip(const char* archivePath, const char* targetFolder, int options);

  // Why the last call failed ("" after a success).
  const std::string& LastError() const { return m_lastError; }
  // Bytes of file data and entries the last call wrote.
  std::uint64_t BytesWritten() const { return m_bytesWritten; }
  std::uint64_t EntriesWritten() const { return m_entriesWritten; }

  const ExtractionLimits& Limits() const { return m_limits; }

 private:
  enum class Format { kTar, kZip };
  int Extract(const char* archivePath, const char* targetFolder, Format format);

  ExtractionLimits m_limits;
  std::string m_lastError;
  std::uint64_t m_bytesWritten = 0;
  std::uint64_t m_entriesWritten = 0;
};

}  // namespace pelix::platform
