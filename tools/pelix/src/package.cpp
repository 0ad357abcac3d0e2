#include "package.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace pelix::tool {

namespace {

std::vector<std::string> ToStrings(const CArray<CString, CString>* list) {
  std::vector<std::string> out;
  if (list == nullptr) return out;
  for (int i = 0; i < list->GetSize(); ++i) out.push_back(Str(list->GetAt(i)));
  return out;
}

// The load files the parser hands over belong to the caller.
class LoadFileList {
 public:
  ~LoadFileList() {
    for (int i = 0; i < files.GetSize(); ++i) {
      LoadFileStruct& file = files[i];
      if (file.subFiles == nullptr) continue;
      for (int j = 0; j < file.subFiles->GetSize(); ++j) {
        delete (*file.subFiles)[j].destList;
        delete (*file.subFiles)[j].bootList;
      }
      delete file.subFiles;
    }
  }
  CArray<LoadFileStruct, LoadFileStruct> files;
};

}  // namespace

namespace {

// The bytes of the sub-files for `kind`, a boot file twice (the card copy and
// the boot copy). With `writtenOnly`, a boot file that no destination of the
// kind names is left out: the copy counts it in its size but never writes it.
unsigned long long SubFileBytes(const PackageView& package, int kind, bool writtenOnly) {
  unsigned long long total = 0;
  if (kind < 0 || kind >= kZcuKindCount) return 0;
  for (const LoadFileView& file : package.loadFiles) {
    for (const SubFileView& sub : file.subFiles) {
      if (writtenOnly && !sub.destFor[kind]) continue;
      const auto size = static_cast<unsigned long long>(sub.size > 0 ? sub.size : 0);
      if (sub.bootFor[kind]) {
        total += 2 * size;
      } else if (sub.destFor[kind]) {
        total += size;
      }
    }
  }
  return total;
}

}  // namespace

unsigned long long PackageView::BytesToCopy(int kind) const { return SubFileBytes(*this, kind, false); }

unsigned long long PackageView::BytesWritten(int kind) const { return SubFileBytes(*this, kind, true); }

PackageView ReadPackage(const std::string& folder) {
  PackageView view;
  view.folder = AsFolder(folder);
  CFileInfoParser parser;
  const ServiceResult prepared = parser.Prepare(CString(view.folder));
  if (prepared != SR_OK) {
    throw OperationFailed("no readable file-information file in " + view.folder, ServiceResultName(prepared));
  }
  const FilePackageInfoStruct info = parser.GetFilePackageInfo();
  view.name = Str(info.name);
  view.revision = Str(info.revision);

  LoadFileList list;
  const ServiceResult listed = parser.GetLoadFiles(list.files);
  if (listed != SR_OK) {
    throw OperationFailed("the file-information file of " + view.folder + " describes no package",
                          ServiceResultName(listed));
  }
  for (int i = 0; i < list.files.GetSize(); ++i) {
    const LoadFileStruct& file = list.files[i];
    LoadFileView fileView;
    fileView.name = Str(file.name);
    fileView.size = file.size;
    if (file.subFiles != nullptr) {
      for (int j = 0; j < file.subFiles->GetSize(); ++j) {
        const SubFileStruct& sub = file.subFiles->GetAt(j);
        SubFileView subView;
        subView.name = Str(sub.name);
        subView.size = sub.size;
        subView.dest = ToStrings(sub.destList);
        subView.boot = ToStrings(sub.bootList);
        for (int kind = 0; kind < kZcuKindCount; ++kind) {
          const auto zcu = static_cast<LoadableZCU_Type>(kind);
          subView.destFor[kind] = parser.IsDestValidForHW(sub.destList, zcu);
          subView.bootFor[kind] = parser.IsDestValidForHW(sub.bootList, zcu);
        }
        fileView.subFiles.push_back(std::move(subView));
      }
    }
    view.loadFiles.push_back(std::move(fileView));
  }
  return view;
}

PackageSource::PackageSource(const std::string& path, LoadableZCU_Type kind) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    m_folder = AsFolder(path);
    return;
  }
  CheckInputFile(path);

  m_archive = true;
  m_scratch = std::make_unique<ScratchFolder>("package");
  m_tempDir = std::make_unique<ScopedTempDir>(m_scratch->Path());
  m_kvoFolder = m_scratch->Path() + "KVO_SW";
  CString copied;
  // The library unpacks beside the copy, so the copy needs an absolute path.
  const std::string absolute = fs::absolute(path, error).string();
  if (m_handler.Copy_KVO_Package(CString(absolute), copied) == 0) {
    throw OperationFailed("cannot copy the package archive " + path + " to " + m_scratch->Path());
  }
  const TraceCapture traces;
  if (m_handler.Decompress_KVO_Package(copied, kind) != 1) {
    // The library traces why an archive was not unpacked: the entry and the
    // reason.
    const std::string trace = traces.Last("Archive ");
    const std::size_t reason = trace.find(" not unpacked: ");
    throw OperationFailed(
        "cannot unpack the package archive " + path + ": " +
        (reason != std::string::npos ? trace.substr(reason + 15) : std::string("it is no zip, tar or tgz archive")));
  }
  const std::string found = Str(m_handler.GetKVO_Path());
  if (found.empty()) throw OperationFailed("the archive " + path + " holds no package (no FLF file)");
  m_folder = AsFolder(found);
}

PackageSource::~PackageSource() {
  if (m_archive) m_handler.clear_KVO_Package(CString(m_kvoFolder));
  m_tempDir.reset();
  m_scratch.reset();
}

nlohmann::json PackageJson(const PackageView& package) {
  nlohmann::json loadFiles = nlohmann::json::array();
  for (const LoadFileView& file : package.loadFiles) {
    nlohmann::json subFiles = nlohmann::json::array();
    for (const SubFileView& sub : file.subFiles) {
      nlohmann::json kinds = nlohmann::json::object();
      for (int kind = 0; kind < kZcuKindCount; ++kind) {
        if (sub.bootFor[kind] && sub.destFor[kind]) {
          kinds[ZcuKindName(kind)] = "boot";
        } else if (sub.destFor[kind]) {
          kinds[ZcuKindName(kind)] = "file";
        }
      }
      nlohmann::json dest = nlohmann::json::array();
      for (const std::string& d : sub.dest) dest.push_back(JsonText(d));
      nlohmann::json boot = nlohmann::json::array();
      for (const std::string& b : sub.boot) boot.push_back(JsonText(b));
      subFiles.push_back(
          {{"name", JsonText(sub.name)}, {"size", sub.size}, {"dest", dest}, {"boot", boot}, {"kinds", kinds}});
    }
    loadFiles.push_back({{"name", JsonText(file.name)}, {"size", file.size}, {"subFiles", subFiles}});
  }
  nlohmann::json bytes = nlohmann::json::object();
  for (int kind = 0; kind < kZcuKindCount; ++kind) bytes[ZcuKindName(kind)] = package.BytesToCopy(kind);
  return {{"name", JsonText(package.name)},
          {"revision", JsonText(package.revision)},
          {"loadFiles", loadFiles},
          {"bytesToCopy", bytes}};
}

}  // namespace pelix::tool
