// Package files and archives: copying a package file into the "KVO_SW"
// temporary folder, unpacking archives (and the archives inside them) down to
// the folder that holds the file-information file, and clearing such folders.
//
// The "KVO_SW" folder lives in the user's own temporary folder; without one,
// nothing is copied. Clearing walks folders through descriptors and deletes a
// symbolic link as a link: nothing outside the folder is ever deleted or has
// its mode changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "pelix/tolva_sw_handler.h"
#include "platform/archive_extractor.h"
#include "platform/file_system.h"
#include "platform/temp_folder.h"

namespace {

// At most this many archives are unpacked inside one another, the package
// itself included, so that an archive holding itself under the same name, or
// a cycle of names, comes to an end.
constexpr int kMaxArchiveNesting = 8;

// How many Decompress_KVO_Package calls are open on this thread.
thread_local int t_archiveNesting = 0;

class NestingLevel {
 public:
  NestingLevel() { ++t_archiveNesting; }
  ~NestingLevel() { --t_archiveNesting; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
  int Level() const { return t_archiveNesting; }
};

constexpr size_t kCopyChunk = 256 * 1024;

bool StartsWithNoCase(const std::string& name, const char* prefix) {
  const size_t length = std::strlen(prefix);
  return name.size() >= length && strncasecmp(name.c_str(), prefix, length) == 0;
}

bool EndsWithNoCase(const std::string& name, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return name.size() >= length && strcasecmp(name.c_str() + name.size() - length, suffix) == 0;
}

bool IsRealFolder(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Copies `from` to the new file `to`; an existing `to` is never touched, and a
// partly written copy is deleted again.
bool CopyToNewFile(const std::string& from, const std::string& to) {
  pelix::platform::FileSystem& files = pelix::platform::Files();
  if (files.Exists(to)) return false;
  const int in = files.Open(from, pelix::platform::FileSystem::kOpenRead);
  if (in < 0) return false;
  const int out = files.Open(to, pelix::platform::FileSystem::kCreateWrite);
  if (out < 0) {
    files.Close(in);
    return false;
  }
  std::vector<char> buffer(kCopyChunk);
  bool ok = true;
  for (;;) {
    const ssize_t got = files.Read(in, buffer.data(), buffer.size());
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (files.Write(out, buffer.data(), static_cast<size_t>(got)) != got) {
      ok = false;
      break;
    }
    if (static_cast<size_t>(got) < buffer.size()) break;  // the end of the file
  }
  files.Close(in);
  if (!files.Close(out)) ok = false;
  if (!ok) files.Remove(to);
  return ok;
}

// Deletes everything in the folder of descriptor `folder`, depth first,
// with the trace scope of clear_KVO_Package for each folder inside.
void ClearFolderAt(pelix::platform::FileSystem& files, int folder) {
  std::vector<std::string> names;
  files.ListAt(folder, names);
  for (const std::string& name : names) {
    const pelix::platform::FileSystem::EntryKind kind = files.KindAt(folder, name);
    if (kind == pelix::platform::FileSystem::kFolder) {
      PELIX_SCOPE("CTolva_SW_Handler::clear_KVO_Package()");
      files.MakeWritableAt(folder, name);  // so that its entries can be deleted
      const int inner = files.OpenFolder(folder, name);
      if (inner >= 0) {
        ClearFolderAt(files, inner);
        files.Close(inner);
      }
      files.RemoveAt(folder, name, true);
    } else {
      if (kind != pelix::platform::FileSystem::kLink) files.MakeWritableAt(folder, name);
      files.RemoveAt(folder, name, false);
    }
  }
}

}  // namespace

int CTolva_SW_Handler::Copy_KVO_Package(const CString& source, CString& copied) {
  PELIX_SCOPE("CTolva_SW_Handler::Copy_KVO_Package()");
  pelix::platform::FileSystem& files = pelix::platform::Files();
  const std::string tempFolder = pelix::platform::TempFolder();
  if (tempFolder.empty()) return 0;
  const std::string packageFolder = tempFolder + "KVO_SW";

  if (files.Exists(packageFolder)) clear_KVO_Package(CString(packageFolder));
  files.MakeFolder(packageFolder);
  // Only a real folder takes the copy: never one that a symlink leads to.
  if (!IsRealFolder(packageFolder)) return 0;

  const int separator = source.ReverseFind('/');
  const CString name = separator >= 0 ? source.Mid(separator + 1) : source;
  const std::string destination = packageFolder + "/" + name.str();
  if (name.IsEmpty() || !CopyToNewFile(source.str(), destination)) return 0;
  copied = CString(destination);
  return 1;
}

int CTolva_SW_Handler::Decompress_KVO_Package(CString& archive, const LoadableZCU_Type& kind) {
  PELIX_SCOPE("CTolva_SW_Handler::Decompress_KVO_Package()");
  pelix::platform::ArchiveExtractor extractor;  // released on every return
  if (archive.IsEmpty()) return 0;

  const NestingLevel nesting;
  if (nesting.Level() > kMaxArchiveNesting) {
    PELIX_TRACE("Archive %s lies deeper than %d archives inside one another: not unpacked", archive.GetString(),
                kMaxArchiveNesting);
    return 0;
  }

  // The kind of archive is the text after the last "." of the file name; an
  // archive without one has no kind, and nothing is made for it.
  const int dot = archive.ReverseFind('.');
  if (dot < 0 || dot < archive.ReverseFind('/')) return 0;
  std::string target = archive.Left(dot).str() + "/";
  const CString archiveKind = archive.Mid(dot + 1);

  pelix::platform::Files().MakeFolder(target);
  // The usual folder mode is a courtesy: a folder that keeps its own mode is
  // still extracted into, so a refusal here changes nothing.
  [[maybe_unused]] const int modeResult = fchmodat(AT_FDCWD, archive.Left(dot).GetString(), 0755, AT_SYMLINK_NOFOLLOW);

  int result = 0;
  if (archiveKind == "zip") {
    result = extractor.ExtractZip(archive.GetString(), target.c_str(), 0);
  } else if (archiveKind == "tar" || archiveKind == "tgz") {
    result = extractor.ExtractTar(archive.GetString(), target.c_str());
  } else {
    return 0;
  }
  if (result != 1) {
    PELIX_TRACE("Archive %s not unpacked: %s", archive.GetString(), extractor.LastError().c_str());
    return result;
  }

  std::vector<std::string> names;
  pelix::platform::Files().List(target, names);
  std::string next;
  for (const std::string& name : names) {
    if (strcasecmp(name.c_str(), "SW_PACKAGE") == 0) {
      target += name + "/";
      const char* prefix = kind == ZCU_ALL ? "g7" : "g5";
      std::vector<std::string> packages;
      pelix::platform::Files().List(target, packages);
      for (const std::string& package : packages) {
        if (StartsWithNoCase(package, prefix)) {
          next = package;
          break;
        }
      }
      break;
    }
    if (EndsWithNoCase(name, ".tgz") || EndsWithNoCase(name, ".tar")) {
      next = name;
      break;
    }
    if (StartsWithNoCase(name, "FLF")) {
      m_packagePath = CString(target);
      break;
    }
  }

  if (!next.empty()) {
    CString nested(target + next);
    return Decompress_KVO_Package(nested, kind) != 0 ? 1 : 0;
  }
  return 1;
}

void CTolva_SW_Handler::clear_KVO_Package(const CString& folder) {
  PELIX_SCOPE("CTolva_SW_Handler::clear_KVO_Package()");
  pelix::platform::FileSystem& files = pelix::platform::Files();
  std::string bare = folder.str();
  while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
  if (bare.empty()) return;
  // A folder given as a link loses the link only.
  if (files.KindAt(AT_FDCWD, bare) == pelix::platform::FileSystem::kLink) {
    files.RemoveAt(AT_FDCWD, bare, false);
    return;
  }
  const int fd = files.OpenFolder(AT_FDCWD, bare);
  if (fd < 0) return;
  ClearFolderAt(files, fd);
  files.Close(fd);
  files.RemoveAt(AT_FDCWD, bare, true);
}

CString CTolva_SW_Handler::GetKVO_Path() {
  PELIX_SCOPE("CTolva_SW_Handler::GetKVO_Path()");
  return m_packagePath;
}
