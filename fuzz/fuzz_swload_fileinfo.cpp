// The file-information file of a software package: any bytes.
//
// Input: the host byte, a flags byte, then the file's bytes.
//   flags bits 0-1: the file's name, KMA0001, KMB0002, FLF1PKG or kma0003;
//   flags bit 2: also copy the package to a flash card folder;
//   flags bits 3-5: the kind of central unit for the copy (0 to 7).
// The parser prepares the file, lists the load files (twice, on one array),
// names the package and tests every destination list against every kind.
// With bit 2 the package folder gets a load file for each listed name and the
// handler copies the package to an empty card folder.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "pelix/file_info_parser.h"
#include "pelix/tolva_sw_handler.h"

namespace {

constexpr const char* kFileNames[] = {"KMA0001", "KMB0002", "FLF1PKG", "kma0003"};
constexpr int kKinds[] = {0, 1, 2, 3, 4, 5, 6, 7, -1};  // and two outside, which read as 0
using LoadFiles = CArray<LoadFileStruct, LoadFileStruct>;

struct Folders {
  pelix::fuzz::ScratchFolder scratch{"fileinfo"};
  std::string package = scratch.Path() + "package/", card = scratch.Path() + "card/";
  Folders() {
    pelix::fuzz::MakeFolder(package);
    pelix::fuzz::MakeFolder(card);
    ::setenv("TMPDIR", scratch.Path().c_str(), 1);  // the temporary copies go below it
    ::unsetenv("XDG_RUNTIME_DIR");
    pelix::fuzz::InstallFastFileSystem();
  }
};

// What survives cleaning and the grammar in a name or value.
bool IsNameText(const CString& text) {
  for (const char c : text.str()) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$') return false;
  }
  return true;
}

void Free(LoadFiles& loadFiles, int from) {
  for (int i = from; i < loadFiles.GetSize(); ++i) {
    for (const SubFileStruct& subFile : *loadFiles[i].subFiles) {
      delete subFile.destList;
      delete subFile.bootList;
    }
    delete loadFiles[i].subFiles;
  }
  loadFiles.SetSize(from);
}

// Every hardware string is part of the string of all kinds, the five single
// codes part of the one without WB; values outside 0 to 6 read as H40.
void CheckDestinations(CFileInfoParser& parser, const CArray<CString, CString>* list) {
  bool valid[9];
  for (int k = 0; k < 9; ++k) valid[k] = parser.IsDestValidForHW(list, static_cast<LoadableZCU_Type>(kKinds[k]));
  for (int k = 0; k < 7; ++k) FUZZ_CHECK(!valid[k] || valid[4]);
  for (const int k : {0, 1, 2, 3, 5}) FUZZ_CHECK(!valid[k] || valid[6]);
  FUZZ_CHECK(valid[7] == valid[0] && valid[8] == valid[0]);
  FUZZ_CHECK(list->GetSize() != 0 || !valid[4]);
}

int g_lastPercent = 0;
void Progress(int percent) {
  FUZZ_CHECK(percent >= g_lastPercent && percent <= 100);
  g_lastPercent = percent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Folders folders;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::FuzzHost& host = pelix::fuzz::ConfigureHost(input.Byte());
  const uint8_t flags = input.Byte();
  const std::string fileName = kFileNames[flags & 3U];
  pelix::fuzz::ClearFolder(folders.package);
  pelix::fuzz::ClearFolder(folders.card);
  pelix::fuzz::WriteFile(folders.package + fileName, input.Rest());

  LoadFiles loadFiles;
  {
    CFileInfoParser parser;
    FUZZ_CHECK(parser.Prepare(CString(folders.package)) == SR_OK);
    const ServiceResult listed = parser.GetLoadFiles(loadFiles);
    const int count = loadFiles.GetSize();
    FUZZ_CHECK(listed == SR_OK || (listed == SR_FAILED && count == 0));
    // A second listing on the same array appends the same load files again.
    FUZZ_CHECK(parser.GetLoadFiles(loadFiles) == listed && loadFiles.GetSize() == 2 * count);
    for (int i = 0; i < count; ++i) {
      FUZZ_CHECK(loadFiles[i].name == loadFiles[count + i].name && loadFiles[i].size == loadFiles[count + i].size);
    }
    Free(loadFiles, count);
    for (const LoadFileStruct& loadFile : loadFiles) {
      FUZZ_CHECK(IsNameText(loadFile.name) && loadFile.size >= 0 && loadFile.subFiles != nullptr);
      for (const SubFileStruct& subFile : *loadFile.subFiles) {
        FUZZ_CHECK(IsNameText(subFile.name) && subFile.size >= 0);
        FUZZ_CHECK(subFile.destList != nullptr && subFile.bootList != nullptr);
        CheckDestinations(parser, subFile.destList);
        CheckDestinations(parser, subFile.bootList);
      }
    }
    const FilePackageInfoStruct info = parser.GetFilePackageInfo();
    FUZZ_CHECK(IsNameText(info.name) && IsNameText(info.revision));
  }

  if ((flags & 4U) != 0) {
    // Load files for the listed names: a pattern, cut at 16 KiB.
    for (const LoadFileStruct& loadFile : loadFiles) {
      const std::string name = loadFile.name.str();
      if (name.empty() || name == fileName || name.size() > 64) continue;
      size_t bytes = 12;
      for (const SubFileStruct& subFile : *loadFile.subFiles) bytes = std::min<size_t>(bytes + subFile.size, 16384);
      std::string content(bytes, '\0');
      for (size_t b = 0; b < bytes; ++b) content[b] = static_cast<char>('A' + b % 23);
      pelix::fuzz::WriteFile(folders.package + name, content);
    }
    host.diskSize = 64 * 1024;
    g_lastPercent = 0;
    CTolva_SW_Handler handler;
    FUZZ_CHECK(handler.Init(CString(folders.package), false, false) == SR_OK);
    const ServiceResult copied =
        handler.CopyFilesToFlashCard(CString(folders.card), static_cast<LoadableZCU_Type>((flags >> 3) & 7U), Progress);
    FUZZ_CHECK(copied == SR_OK || copied == SR_FAILED || copied == SR_FILE_OPEN_FAILED ||
               copied == SR_NOTHING_TO_COPY || copied == SR_NO_SPACE);
    std::string zcl, zcb;  // a finished copy leaves both boot files on the card, equal
    FUZZ_CHECK(copied != SR_OK || (pelix::fuzz::ReadFile(folders.card + "ZCL", zcl) &&
                                   pelix::fuzz::ReadFile(folders.card + "ZCB", zcb) && zcl == zcb));
  }
  Free(loadFiles, 0);
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
