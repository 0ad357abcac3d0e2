// Reading a software package for the package and card commands: a folder is
// read in place; an archive is copied and unpacked by the library into a
// scratch folder that goes away with the object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <pelix/common.h>

#include "tool.h"

namespace pelix::tool {

constexpr int kZcuKindCount = 7;

struct SubFileView {
  std::string name;
  int size = 0;
  std::vector<std::string> dest;
  std::vector<std::string> boot;
  // Per kind (LoadableZCU_Type value): whether the destination list and the
  // boot list name it, as the library's parser answers.
  bool destFor[kZcuKindCount] = {};
  bool bootFor[kZcuKindCount] = {};
};

struct LoadFileView {
  std::string name;
  int size = 0;
  std::vector<SubFileView> subFiles;
};

struct PackageView {
  std::string folder;  // with a trailing '/'
  std::string name;
  std::string revision;
  std::vector<LoadFileView> loadFiles;
  // Bytes a copy for the kind counts: ordinary sub-files once, sub-files
  // whose boot list names the kind twice (they go to two card files).
  unsigned long long BytesToCopy(int kind) const;
  // The bytes a copy for `kind` writes to the card and verifies.
  unsigned long long BytesWritten(int kind) const;
};

// Reads the package folder through the library's file-information parser.
// Throws OperationFailed with the result code's name when that fails.
PackageView ReadPackage(const std::string& folder);

// A package given as a folder or an archive. For an archive, the library
// copies it to its package folder under a scratch temporary folder (which
// $TMPDIR points at while the object lives) and unpacks it for `kind`.
class PackageSource {
 public:
  PackageSource(const std::string& path, LoadableZCU_Type kind);
  ~PackageSource();
  PackageSource(const PackageSource&) = delete;
  PackageSource& operator=(const PackageSource&) = delete;

  bool IsArchive() const { return m_archive; }
  // The folder that holds the file-information file, with a trailing '/'.
  const std::string& Folder() const { return m_folder; }
  // The handler that unpacked the archive (with its package path set); a
  // fresh handler for a folder.
  CTolva_SW_Handler& Handler() { return m_handler; }

 private:
  std::unique_ptr<ScratchFolder> m_scratch;
  std::unique_ptr<ScopedTempDir> m_tempDir;
  CTolva_SW_Handler m_handler;
  bool m_archive = false;
  std::string m_folder;
  std::string m_kvoFolder;
};

nlohmann::json PackageJson(const PackageView& package);

}  // namespace pelix::tool
