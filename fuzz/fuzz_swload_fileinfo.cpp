// The file-information file of a software package: any bytes.
//
// Input: the host byte, a flags byte, then the file's bytes.
//   flags bits 0-1: the file's name, KMA0001, KMB0002, FLF1PKG or kma0003;
//   flags bit 2: also copy the package to a flash card folder;
//   flags bits 3-5: the kind of central unit for the copy (0 to 7).
// The parser prepares the file, lists the load files, names the package and
// tests every destination list against every kind. With bit 2 the package
// folder gets a load file for each listed name and the handler copies the
// package to an empty card folder.
#include "harness.h"
#include "pelix/file_info_parser.h"
#include "pelix/tolva_sw_handler.h"
#include "platform/file_system.h"

namespace {

// The POSIX file system without flushing to the device: the copies stay
// exactly as checked, only faster.
struct FastFileSystem final : pelix::platform::PosixFileSystem {
  bool Flush(int) override { return true; }
  bool FlushFolder(const std::string&) override { return true; }
} g_files;

// Every hardware string is part of the string of all kinds (4), the five
// single codes part of the one without WB (6); 7 and -1 read as H40 (0).
void CheckDestinations(CFileInfoParser& parser, const CArray<CString, CString>* list) {
  bool valid[9];
  for (int k = 0; k < 9; ++k) valid[k] = parser.IsDestValidForHW(list, static_cast<LoadableZCU_Type>(k == 8 ? -1 : k));
  for (int k = 0; k < 7; ++k) FUZZ_CHECK((!valid[k] || valid[4]) && (k == 4 || k == 6 || !valid[k] || valid[6]));
  FUZZ_CHECK(valid[7] == valid[0] && valid[8] == valid[0] && (list->GetSize() != 0 || !valid[4]));
}

int g_lastPercent = 0;
void Progress(int percent) { FUZZ_CHECK(percent >= g_lastPercent && percent <= 100), g_lastPercent = percent; }

}  // namespace

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost&) {
  pelix::platform::SetFileSystem(&g_files);
  const std::string package = pelix::fuzz::Scratch() + "package/", card = pelix::fuzz::Scratch() + "card/";
  const uint8_t flags = input.Byte();
  const std::string fileName = std::string("KMA0001KMB0002FLF1PKGkma0003").substr((flags & 3U) * 7, 7);
  for (const std::string& folder : {package, card}) pelix::fuzz::ClearFolder(folder);
  pelix::fuzz::WriteFile(package + fileName, input.Rest());
  CArray<LoadFileStruct, LoadFileStruct> loadFiles;
  CFileInfoParser parser;
  FUZZ_CHECK(parser.Prepare(CString(package)) == SR_OK);
  const ServiceResult listed = parser.GetLoadFiles(loadFiles);
  FUZZ_CHECK(listed == SR_OK || (listed == SR_FAILED && loadFiles.IsEmpty()));
  for (const LoadFileStruct& loadFile : loadFiles) {
    FUZZ_CHECK(loadFile.size >= 0 && loadFile.subFiles != nullptr);
    size_t bytes = 12;  // for the copy: a load file of that name, cut at 16 KiB
    for (const SubFileStruct& subFile : *loadFile.subFiles) {
      FUZZ_CHECK(subFile.size >= 0 && subFile.destList != nullptr && subFile.bootList != nullptr);
      bytes = std::min<size_t>(bytes + subFile.size, 16384);
      for (const auto* list : {subFile.destList, subFile.bootList}) CheckDestinations(parser, list), delete list;
    }
    delete loadFile.subFiles;
    const std::string name = loadFile.name.str();
    if (!name.empty() && name != fileName && name.size() <= 64)
      pelix::fuzz::WriteFile(package + name, std::string(bytes, 'L'));
  }
  parser.GetFilePackageInfo();
  if ((flags & 4U) == 0) return;
  g_lastPercent = 0;
  CTolva_SW_Handler handler;
  FUZZ_CHECK(handler.Init(CString(package), false, false) == SR_OK);
  const ServiceResult copied =
      handler.CopyFilesToFlashCard(CString(card), static_cast<LoadableZCU_Type>((flags >> 3) & 7U), Progress);
  FUZZ_CHECK(copied == SR_OK || copied == SR_FAILED || copied == SR_FILE_OPEN_FAILED || copied == SR_NOTHING_TO_COPY ||
             copied == SR_NO_SPACE);
  // A finished copy leaves both boot files on the card, equal.
  std::ifstream zcl(card + "ZCL", std::ios::binary), zcb(card + "ZCB", std::ios::binary);
  using Bytes = std::istreambuf_iterator<char>;
  FUZZ_CHECK(copied != SR_OK || (zcl && zcb && std::equal(Bytes(zcl), Bytes(), Bytes(zcb), Bytes())));
}
