// The file-information file of a software package: any bytes.
//
// Input: the host byte, a flags byte, then the file's bytes.
//   flags bits 0-1: the file's name, KMA0001, KMB0002, FLF1PKG or kma0003;
//   flags bit 2: also copy the package to a flash card folder;
//   flags bits 3-5: the kind of central unit for the copy (0 to 7).
// The file is the only entry of a fresh package folder. The parser prepares
// it, lists the load files (twice, on one array), names the package and
// tests every destination list against every kind. With bit 2 the package
// folder gets a load file for each listed name and the handler copies the
// package to an empty card folder, so that hostile sizes and lists reach the
// copy too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "pelix/file_info_parser.h"
#include "pelix/tolva_sw_handler.h"

namespace {

constexpr const char* kFileNames[] = {"KMA0001", "KMB0002", "FLF1PKG", "kma0003"};
// Kinds 0 to 6 and two values outside, which read as 0.
constexpr int kKinds[] = {0, 1, 2, 3, 4, 5, 6, 7, -1};
// The most bytes a load file made for the copy gets.
constexpr size_t kMaxLoadFile = 16 * 1024;

struct Folders {
  pelix::fuzz::ScratchFolder scratch{"fileinfo"};
  std::string package = scratch.Path() + "package/";
  std::string card = scratch.Path() + "card/";
  std::string temp = scratch.Path() + "temp/";

  Folders() {
    pelix::fuzz::MakeFolder(package);
    pelix::fuzz::MakeFolder(card);
    pelix::fuzz::MakeFolder(temp);
    // The copy writes its second copies into the temporary folder.
    ::setenv("TMPDIR", temp.c_str(), 1);
    pelix::fuzz::InstallFastFileSystem();
  }
};

Folders& TheFolders() {
  static Folders folders;
  return folders;
}

// What survives cleaning and the grammar in a name or value.
bool IsNameText(const CString& text) {
  for (const char c : text.str()) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    if (!ok) return false;
  }
  return true;
}

void FreeLoadFiles(CArray<LoadFileStruct, LoadFileStruct>& loadFiles, int from) {
  for (int i = from; i < loadFiles.GetSize(); ++i) {
    LoadFileStruct& loadFile = loadFiles[i];
    if (loadFile.subFiles == nullptr) continue;
    for (int j = 0; j < loadFile.subFiles->GetSize(); ++j) {
      delete (*loadFile.subFiles)[j].destList;
      delete (*loadFile.subFiles)[j].bootList;
    }
    delete loadFile.subFiles;
  }
  loadFiles.SetSize(from);
}

// Every hardware string is a part of the string of all kinds, and the five
// single codes are parts of the string without WB: a list that names one of
// them names those too. Values outside 0 to 6 read as H40.
void CheckDestinations(CFileInfoParser& parser, const CArray<CString, CString>* list) {
  bool valid[9];
  for (int k = 0; k < 9; ++k) {
    const auto kind = static_cast<LoadableZCU_Type>(kKinds[k]);
    valid[k] = parser.IsDestValidForHW(list, kind);
  }
  for (int k = 0; k < 7; ++k) {
    if (valid[k]) FUZZ_CHECK(valid[4]);
  }
  for (const int k : {0, 1, 2, 3, 5}) {
    if (valid[k]) FUZZ_CHECK(valid[6]);
  }
  FUZZ_CHECK(valid[7] == valid[0]);
  FUZZ_CHECK(valid[8] == valid[0]);
  if (list->GetSize() == 0) FUZZ_CHECK(!valid[4]);
}

int g_lastPercent = 0;

void Progress(int percent) {
  FUZZ_CHECK(percent >= 0 && percent <= 100);
  FUZZ_CHECK(percent >= g_lastPercent);
  g_lastPercent = percent;
}

// Load files for the listed names: the 12-byte header, then the sub-files'
// bytes (a pattern), cut at kMaxLoadFile.
void WriteLoadFiles(const std::string& folder, const CArray<LoadFileStruct, LoadFileStruct>& loadFiles,
                    const std::string& fileInfoName) {
  for (int i = 0; i < loadFiles.GetSize(); ++i) {
    const LoadFileStruct& loadFile = loadFiles[i];
    const std::string name = loadFile.name.str();
    if (name.empty() || name == fileInfoName || name.size() > 64) continue;
    size_t bytes = 12;
    for (int j = 0; j < loadFile.subFiles->GetSize() && bytes < kMaxLoadFile; ++j) {
      bytes += static_cast<size_t>((*loadFile.subFiles)[j].size);
    }
    if (bytes > kMaxLoadFile) bytes = kMaxLoadFile;
    std::string content(bytes, '\0');
    for (size_t b = 0; b < bytes; ++b) content[b] = static_cast<char>('A' + b % 23);
    pelix::fuzz::WriteFile(folder + name, content);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Folders& folders = TheFolders();
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::FuzzHost& host = pelix::fuzz::ConfigureHost(input.Byte());
  const uint8_t flags = input.Byte();
  const std::string fileName = kFileNames[flags & 3U];
  const bool copy = (flags & 4U) != 0;
  const auto copyKind = static_cast<LoadableZCU_Type>((flags >> 3) & 7U);
  pelix::fuzz::ClearFolder(folders.package);
  pelix::fuzz::ClearFolder(folders.card);
  pelix::fuzz::WriteFile(folders.package + fileName, input.Rest());

  CArray<LoadFileStruct, LoadFileStruct> loadFiles;
  {
    CFileInfoParser parser;
    FUZZ_CHECK(parser.Prepare(CString(folders.package)) == SR_OK);

    const ServiceResult listed = parser.GetLoadFiles(loadFiles);
    FUZZ_CHECK(listed == SR_OK || listed == SR_FAILED);
    const int count = loadFiles.GetSize();
    if (listed == SR_FAILED) FUZZ_CHECK(count == 0);
    // A second listing on the same array appends the same load files again.
    FUZZ_CHECK(parser.GetLoadFiles(loadFiles) == listed);
    FUZZ_CHECK(loadFiles.GetSize() == 2 * count);
    for (int i = 0; i < count; ++i) {
      FUZZ_CHECK(loadFiles[i].name == loadFiles[count + i].name);
      FUZZ_CHECK(loadFiles[i].size == loadFiles[count + i].size);
    }
    FreeLoadFiles(loadFiles, count);

    for (int i = 0; i < count; ++i) {
      const LoadFileStruct& loadFile = loadFiles[i];
      FUZZ_CHECK(IsNameText(loadFile.name));
      FUZZ_CHECK(loadFile.size >= 0);
      FUZZ_CHECK(loadFile.subFiles != nullptr);
      for (int j = 0; j < loadFile.subFiles->GetSize(); ++j) {
        const SubFileStruct& subFile = (*loadFile.subFiles)[j];
        FUZZ_CHECK(IsNameText(subFile.name));
        FUZZ_CHECK(subFile.size >= 0);
        FUZZ_CHECK(subFile.destList != nullptr && subFile.bootList != nullptr);
        CheckDestinations(parser, subFile.destList);
        CheckDestinations(parser, subFile.bootList);
      }
    }

    const FilePackageInfoStruct info = parser.GetFilePackageInfo();
    FUZZ_CHECK(IsNameText(info.name));
    FUZZ_CHECK(IsNameText(info.revision));
  }

  if (copy) {
    WriteLoadFiles(folders.package, loadFiles, fileName);
    host.diskSize = 64 * 1024;
    g_lastPercent = 0;
    CTolva_SW_Handler handler;
    FUZZ_CHECK(handler.Init(CString(folders.package), false, false) == SR_OK);
    const ServiceResult copied = handler.CopyFilesToFlashCard(CString(folders.card), copyKind, Progress);
    FUZZ_CHECK(copied == SR_OK || copied == SR_FAILED || copied == SR_FILE_OPEN_FAILED ||
               copied == SR_NOTHING_TO_COPY || copied == SR_NO_SPACE);
    if (copied == SR_OK) {
      // A finished copy leaves both boot files on the card, equal.
      std::string zcl;
      std::string zcb;
      FUZZ_CHECK(pelix::fuzz::ReadFile(folders.card + "ZCL", zcl));
      FUZZ_CHECK(pelix::fuzz::ReadFile(folders.card + "ZCB", zcb));
      FUZZ_CHECK(zcl == zcb);
    }
  }
  FreeLoadFiles(loadFiles, 0);
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
