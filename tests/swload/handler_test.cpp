// The software handler: the verified copy of a package onto a flash card
// (selection per kind, card layout, sizes, progress, message passing, BSC
// packages, links planted on the card), faults injected through the
// file-system seam, and what a card carries afterwards.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "pelix/platform.h"
#include "pelix/tolva_sw_handler.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using namespace pelix::test;
using namespace pelix::packagegen;

std::vector<int> g_progress;
void RecordProgress(int percent) { g_progress.push_back(percent); }

std::string Content(const PackageSpec& package, const std::string& name) {
  for (const auto& loadFile : package.loadFiles)
    for (const auto& subFile : loadFile.subFiles)
      if (subFile.name == name) return SubFileContent(subFile);
  return "<none>";
}

// Hands out the messages a test puts in and logs every call.
class FakeQueue : public MessageQueue {
 public:
  FakeQueue() : m_previous(SetMessageQueue(this)) {}
  ~FakeQueue() override { SetMessageQueue(m_previous); }
  std::deque<MSG> pending{MSG{0x0100, 1, 2}, MSG{WM_QUIT, 0, 0}, MSG{0x0200, 0, 0}};
  bool consume = false;
  std::string log;
  bool PeekMessage(MSG& msg) override {
    log += "peek ";
    return !pending.empty() && (msg = pending.front(), pending.pop_front(), true);
  }
  void PostQuitMessage(int exitCode) override { log += "quit" + std::to_string(exitCode) + " "; }
  bool PreTranslateMessage(MSG& msg) override { return Log("offer", msg), consume; }
  void TranslateMessage(const MSG& msg) override { Log("translate", msg); }
  void DispatchMessage(const MSG& msg) override { Log("dispatch", msg); }

 private:
  void Log(const char* call, const MSG& msg) { log += call + std::to_string(msg.message) + " "; }
  MessageQueue* m_previous;
};

PackageSpec OneLoadFile(std::vector<SubFileSpec> subFiles, uint32_t shortBy = 0) {
  PackageSpec package;
  package.loadFiles = {LoadFileSpec{"LOADF001", "", std::move(subFiles), shortBy}};
  return package;
}

// Two load files: ordinary ORD1 and ORD2, boot BOOTA and BOOTB, OTHER for J40.
PackageSpec TwoLoadFiles() {
  PackageSpec package =
      OneLoadFile({{"ORD1", 700, {"H40"}, {}, 0}, {"BOOTA", 300, {"H40"}, {"H40"}, 0}, {"ORD2", 300, {"H40"}, {}, 0}});
  package.loadFiles.push_back({"LOADF002", "", {{"BOOTB", 200, {"H40"}, {"H40"}, 0}, {"OTHER", 900, {"J40"}, {}, 0}}});
  return package;
}

const char* const kWriteError =
    "An error occurred while writing files to the Flash Card!   \r\nPlease try again.\r\n\r\n"
    "If the problem reoccurs, replace the Flash Card.";

// A scratch folder, a recording host, a handler and a package.
struct Bench {
  explicit Bench(const PackageSpec& layout = TwoLoadFiles()) : package(layout) {
    g_progress.clear();
    EXPECT_TRUE(WritePackage(scratch.pkg, package));
  }
  ServiceResult Copy(LoadableZCU_Type kind = ZCU_H40, void (*progress)(int) = RecordProgress) {
    EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
    return handler.CopyFilesToFlashCard(scratch.card.c_str(), kind, progress);
  }
  // What a copy left: the result, GLOBAL's files, " ZCL", " told" for the
  // user's message and " temp:" with what stayed in the temporary folder.
  std::string Outcome(ServiceResult result) {
    std::string text = ServiceResultName(result);
    for (const auto& name : Entries(scratch.card + "GLOBAL")) text += " " + name;
    text += Exists(scratch.card + "ZCL") ? " ZCL" : "";
    for (const auto& info : host.userInfo) text += info == kWriteError ? " told" : " [" + info + "]";
    for (const auto& name : Entries(scratch.temp)) text += " temp:" + name;
    return text;
  }
  // The card's GLOBAL files and boot files checked against the package.
  void ExpectCard(Names global, const Names& boot) {
    std::string joined;
    for (const auto& name : boot) joined += Content(package, name);
    for (const auto& name : global) EXPECT_EQ(FileText(scratch.card + "GLOBAL/" + name), Content(package, name));
    std::sort(global.begin(), global.end());
    EXPECT_EQ(Entries(scratch.card + "GLOBAL"), global);
    EXPECT_EQ(FileText(scratch.card + "ZCL") + "|" + FileText(scratch.card + "ZCB"), joined + "|" + joined);
    EXPECT_EQ(Entries(scratch.temp), Names{});  // no temporary copy left
    EXPECT_TRUE(host.userInfo.empty());
  }
  Scratch scratch;
  PackageSpec package;
  RecordingHost host;
  CTolva_SW_Handler handler;
};

TEST(HandlerCopyTest, CopiesTheSubFilesOfTheKind) {
  const PackageSpec demo = DemoPackage(),
                    odd = OneLoadFile(
                        {{"A", 500, {"H40"}, {}, 0}, {"ODD", 250, {"J40"}, {"H40"}, 0}, {"NO", 100, {"J40"}, {}, 0}});
  const struct {
    PackageSpec package;
    LoadableZCU_Type kind;
    Names global, boot;
    unsigned long size;
    std::vector<int> progress;  // empty: rising to 100, one report per file
  } cases[] = {
      {demo, ZCU_H40, {"APPL1", "APPL2", "DATA1"}, {"BOOT1", "BOOT2"}, 24000, {}},
      {demo, ZCU_J40, {"APPL1", "APPL2", "BOOT1", "DATA1"}, {"BOOT2"}, 21000, {}},
      {demo, ZCU_ALL, {"APPL1", "APPL2", "WBAPP", "DATA1"}, {"BOOT1", "BOOT2"}, 26500, {}},
      // Boot files join in load-file, then sub-file order; a boot sub-file counts twice.
      {TwoLoadFiles(), ZCU_H40, {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"}, 2000, {35, 50, 80, 100}},
      // A boot list without the destination is counted but not copied.
      {odd, ZCU_H40, {"A"}, {}, 1000, {50}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.package.loadFiles[0].subFiles[0].name << " for " << c.kind);
    Bench bench(c.package);
    EXPECT_EQ(bench.handler.GetSizeToCopy(c.kind), 0UL);  // nothing read yet
    ASSERT_EQ(bench.Copy(c.kind), SR_OK);
    bench.ExpectCard(c.global, c.boot);
    EXPECT_EQ(bench.handler.GetSizeToCopy(c.kind), c.size);
    const bool rising = std::is_sorted(g_progress.begin(), g_progress.end()) && g_progress.back() == 100;
    EXPECT_TRUE(c.progress.empty() ? rising && g_progress.size() == c.global.size() + c.boot.size()
                                   : g_progress == c.progress);
  }
}

TEST(HandlerCopyTest, GlobalIsEmptiedFirstAndDiskSizeAndInitDecide) {
  Bench bench;
  const std::string card = bench.scratch.card;
  fs::create_directories(card + "GLOBAL/KEEP");
  PutFile(card + "GLOBAL/LOCKED", "read only");
  chmod((card + "GLOBAL/LOCKED").c_str(), 0444);
  PutFile(card + "ZCL", "old");
  bench.host.diskSize = 1999;
  EXPECT_EQ(bench.Outcome(bench.Copy()), "SR_NO_SPACE KEEP ZCL");  // files deleted, sub-folders stay
  EXPECT_EQ(FileText(card + "ZCL") + std::to_string(g_progress.size()), "old0");
  ASSERT_EQ(bench.host.CallsNamed("GetDiskSize").size(), 1U);
  EXPECT_EQ(bench.host.CallsNamed("GetDiskSize")[0].text, card);
  Bench enough;  // a disk size equal to the size to copy is enough
  enough.host.diskSize = 2000;
  EXPECT_EQ(enough.Copy(), SR_OK);
  Bench nothing;  // nothing for the kind: an empty GLOBAL is made
  EXPECT_EQ(nothing.Outcome(nothing.Copy(ZCU_QMS)), "SR_NOTHING_TO_COPY");
  EXPECT_EQ(Entries(nothing.scratch.card), Names{"GLOBAL"});

  Scratch s;
  CTolva_SW_Handler handler;
  EXPECT_EQ(handler.CopyFilesToFlashCard(s.card.c_str(), ZCU_H40, RecordProgress), SR_FAILED);  // not initialised
  EXPECT_EQ(handler.Init(s.pkg.c_str(), false, false), SR_FILE_OPEN_FAILED);
  ASSERT_TRUE(WritePackage(s.pkg, TwoLoadFiles()));
  ASSERT_EQ(handler.Init(s.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.Init(s.pkg.c_str(), false, true), SR_FILE_OPEN_FAILED);  // keepPath: the card path stays
  EXPECT_EQ(handler.GetKVO_Path(), s.card.c_str());
  EXPECT_EQ(handler.Init(s.pkg.c_str(), true, false) + handler.Init("elsewhere/", true, true), SR_OK + SR_OK);
  EXPECT_EQ(handler.GetKVO_Path(), s.pkg.c_str());
  EXPECT_EQ(handler.CopyFilesToFlashCard(s.card.c_str(), ZCU_H40, nullptr), SR_FAILED);  // no "FP" read
  EXPECT_EQ(Entries(s.card), Names{});
}

TEST(HandlerCopyTest, LoadFilesMissingShortOrWithAShortHeader) {
  PackageSpec shortLast = OneLoadFile({{"FIRST", 3000, {"H40"}, {}, 0}, {"LAST", 2500, {"H40"}, {}, 0}}, 10);
  PackageSpec third = OneLoadFile({{"ORD", 100, {"H40"}, {}, 0}});
  third.loadFiles.push_back({"LOADF002", "", {{"X", 100, {"J40"}, {}, 0}}});
  third.loadFiles.push_back({"LOADF003", "", {{"BOOTC", 50, {"H40"}, {"H40"}, 0}}});
  PackageSpec headerOnly = third, headerWanted = third;  // load files of 5 bytes: shorter than their header
  headerOnly.loadFiles[1].shortBy = headerWanted.loadFiles[0].shortBy = 107;
  const struct {
    PackageSpec package;
    const char* removed;
    const char* outcome;
  } cases[] = {
      {TwoLoadFiles(), "LOADF002", "SR_FILE_OPEN_FAILED ORD1 ORD2"},
      {third, "LOADF002", "SR_FILE_OPEN_FAILED ORD"},  // opened though it has nothing for H40
      {shortLast, "", "SR_FAILED FIRST LAST"},
      // A short header alone fails nothing; the read of a sub-file after it does.
      {headerOnly, "", "SR_OK ORD ZCL"},
      {headerWanted, "", "SR_FAILED ORD"},
  };
  for (const auto& c : cases) {
    Bench bench(c.package);
    unlink((bench.scratch.pkg + c.removed).c_str());
    EXPECT_EQ(bench.Outcome(bench.Copy()), c.outcome);
  }
}

TEST(HandlerCopyTest, ALinkOnTheCardFailsTheCopyBeforeAnythingChanges) {
  for (const auto& [link, target] : {std::pair{"GLOBAL", "outside"},
                                     {"GLOBAL/ORD1", "outside/file"},
                                     {"ZCL", "outside/file"},
                                     {"ZCB", "outside/file"},
                                     {"ZCL", "outside/missing"}}) {
    SCOPED_TRACE(link);
    Bench bench;
    const std::string& root = bench.scratch.root;
    fs::create_directories(root + "outside");
    fs::create_directories(bench.scratch.card + (link == std::string("GLOBAL") ? "" : "GLOBAL"));
    PutFile(root + "outside/file", "not the card's");
    chmod((root + "outside/file").c_str(), 0444);
    PutFile(bench.scratch.card + "GLOBAL/OLD", "old");
    ASSERT_EQ(symlink((root + target).c_str(), (bench.scratch.card + link).c_str()), 0);
    const auto before = Snapshot(root, bench.scratch.pkg);
    EXPECT_EQ(bench.Copy(), SR_FAILED);
    EXPECT_EQ(Snapshot(root, bench.scratch.pkg), before);
    EXPECT_TRUE(g_progress.empty());
  }
  // Reading a card does not follow a link either: a linked ZCL is no card file.
  Bench card;
  PutFile(card.scratch.root + "zcl", "ABCR12B4XYZWFP=QTV1234567_12345;");
  symlink((card.scratch.root + "zcl").c_str(), (card.scratch.card + "ZCL").c_str());
  ASSERT_EQ(card.handler.Init(card.scratch.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(card.handler.VerifyTolva_SW_OnFlashCard(), SR_FAILED);
  EXPECT_EQ(card.handler.GetTolva_SW_Rev_OnFlashCard() + card.handler.GetTolva_SW_Name_OnFlashCard(),
            "Not DefinedNot Defined");
}

TEST(HandlerCopyTest, OneMessagePassedOnPerProgressReportAndCardFilesAreFlushed) {
  for (const bool consume : {false, true}) {  // a message the window takes is not dispatched
    Bench bench;
    FakeQueue queue;
    FaultyFileSystem files;
    queue.consume = consume;
    ASSERT_EQ(bench.Copy(ZCU_H40, RecordProgress), SR_OK);
    EXPECT_EQ(queue.log, consume ? "peek offer256 peek quit-1 offer18 peek offer512 peek "
                                 : "peek offer256 translate256 dispatch256 peek quit-1 offer18 translate18 "
                                   "dispatch18 peek offer512 translate512 dispatch512 peek ");
    bench.ExpectCard({"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
    for (const std::string name : {"GLOBAL/ORD1", "GLOBAL/ORD2", "ZCL", "ZCB"}) {
      const auto& dropped = files.droppedPaths;
      EXPECT_NE(std::find(dropped.begin(), dropped.end(), bench.scratch.card + name), dropped.end()) << name;
    }
    EXPECT_GE(files.folderFlushes, 3);  // GLOBAL twice, the card root once
    EXPECT_TRUE(files.open.empty());    // every descriptor closed
  }
}

TEST(HandlerCopyTest, BscPackageReadsLoadFilesFromTheirFlfFiles) {
  PackageSpec package = TwoLoadFiles();
  package.loadFiles[0].fileName = "FLF0003";
  package.loadFiles[1].fileName = "flf0004";
  Bench bench(package), plain;
  ASSERT_EQ(bench.handler.Init(bench.scratch.pkg.c_str(), true, false), SR_OK);
  ASSERT_EQ(plain.handler.Init(plain.scratch.pkg.c_str(), true, false), SR_OK);
  EXPECT_EQ(std::pair(bench.handler.isBscFormat(), plain.handler.isBscFormat()), std::pair(1, 0));
  PutFile(bench.scratch.pkg + "FLF0009", "LOADF00");    // short, names nothing
  mkdir((bench.scratch.pkg + "FLFDIR").c_str(), 0755);  // cannot be opened: passed over
  ASSERT_EQ(bench.Copy(), SR_OK);
  bench.ExpectCard({"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
  // Names compare with letter case: LOADF001 keeps its name, and no file has it.
  package.loadFiles[1].fileName = "";
  Bench lower(package);
  PutFile(lower.scratch.pkg + "FLF0003", "loadf001HDR1" + SubFileContent(package.loadFiles[0].subFiles[0]));
  EXPECT_EQ(lower.Copy(), SR_FILE_OPEN_FAILED);
}

// Removes path once the write count reaches n.
std::function<void(int)> RemoveAfterWrite(int n, const std::string& path) {
  return [n, path](int writes) { writes == n ? (void)fs::remove_all(path) : void(); };
}

TEST(HandlerFaultTest, EachFaultGivesItsResultAndLeavesNothingBehind) {
  using F = FaultyFileSystem&;
  using S = const Scratch&;
  const std::pair<std::function<void(F, S)>, const char*> cases[] = {
      {[](F, S) {}, "SR_OK ORD1 ORD2 ZCL"},
      {[](F f, S) { f.shortReadAt = 3; }, "SR_FAILED ORD1"},             // header, ORD1's first chunk, its second
      {[](F f, S) { f.shortWriteAt = 13; }, "SR_FAILED ORD1 ORD2 ZCL"},  // after 6 writes each, ZCL
      {[](F f, S) { f.failFlushAt = 5; }, "SR_FAILED ORD1 ORD2 ZCL"},    // ZCL
      {[](F f, S) { f.failFlushFolderAt = 1; }, "SR_FAILED ORD1"},
      {[](F f, S) { f.failCloseAt = 3; }, "SR_FAILED ORD1"},  // the file-information file, the card, ORD1
      // Corruption on the card is found by the checksum; ZCB is compared first, once.
      {[](F f, S s) { f.corruptWritesUnder = s.card + "GLOBAL/"; }, "SR_FAILED ORD1 told"},
      {[](F f, S s) { f.corruptWritesUnder = s.card + "ZCB"; }, "SR_FAILED ORD1 ORD2 ZCL told"},
      // The card folder removed mid-copy: flushing it fails before any comparison.
      {[](F f, S s) { f.afterWrite = RemoveAfterWrite(3, s.card + "GLOBAL"); }, "SR_FAILED"},
      // A card file removed after its last chunk: no checksum, and the user is told.
      {[](F f, S s) { f.afterWrite = RemoveAfterWrite(6, s.card + "GLOBAL/ORD1"); }, "SR_FAILED told"},
      // Files that cannot be created; the card file of a pair comes first.
      {[](F f, S) { f.failOpenContaining = "GLOBAL/ORD2"; }, "SR_FILE_OPEN_FAILED ORD1"},
      {[](F f, S s) { f.failOpenContaining = s.temp + "ORD1"; }, "SR_FILE_OPEN_FAILED ORD1"},
      {[](F f, S s) { f.failOpenContaining = s.temp + "ZCB"; }, "SR_FAILED ORD1 ORD2 ZCL"}};
  // SKIP for J40 only, ORD1 and ORD2 of 5000 bytes (3 chunks each), one boot sub-file.
  const PackageSpec package = OneLoadFile({{"SKIP", 100, {"J40"}, {}, 0},
                                           {"ORD1", 5000, {"H40"}, {}, 0},
                                           {"ORD2", 5000, {"H40"}, {}, 0},
                                           {"BOOT", 3000, {"H40"}, {"H40"}, 0}});
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    Bench bench(package);
    FaultyFileSystem files;
    bench.host.handlerExists = true;
    c.first(files, bench.scratch);
    EXPECT_EQ(bench.Outcome(bench.Copy(ZCU_H40, nullptr)), c.second);
    EXPECT_TRUE(bench.host.CallsNamed("RaiseError").empty());  // never reported to the error services
    EXPECT_TRUE(files.open.empty());
  }
}

TEST(CardIdentificationTest, NameAndRevisionComeFromTheZclFile) {
  std::string far(300000, 'x');
  for (size_t i = 0; i < far.size(); i += 97) far[i] = 'F';
  const struct {
    std::string zcl;
    const char* name;
    const char* revision;  // null: the bytes from the fourth on
  } cases[] = {
      {"ABCR12B4XYZ", "Not Defined", "Not Defined"},  // 11 bytes
      {"ABCR12B4XYZW", "Not Defined", "R12B4"},       // exactly 12
      {"header......{FP=QTV1234567_12345;REV=R1;}", "QTV1234567_12345", nullptr},
      {"xxFP=HRW1234567_123456;", "HRW1234567_123456", nullptr},
      {"FP=AB1234QTVx_ABCDE;", "AB1234QTVx_ABCDE", nullptr},  // the class letters may stand anywhere
      {"FP=QTV1234567_123456;", "Not Defined", nullptr},      // a QTV name of 17 characters is not one
      {"FP=QTV123456_712345;....FP=QTV7654321_54321;tail", "QTV7654321_54321", nullptr},
      {"FP=QTV1234567_12345;", "QTV1234567_12345", nullptr},  // 17 read, the 18th still the zero
      {"FP=QTV1234567_1234", "Not Defined", nullptr},
      {far + "FP=HRW0000001_777777;", "HRW0000001_777777", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zcl.substr(0, 60));
    Scratch scratch;
    CTolva_SW_Handler handler;
    PutFile(scratch.card + "ZCL", c.zcl);
    ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
    EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
    EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), c.name);
    EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), c.revision != nullptr ? c.revision : c.zcl.substr(3, 5));
  }
}

TEST(CardIdentificationTest, WithoutInitOrZclNothingIsKnownAndPresenceNeedsAnEntry) {
  Scratch scratch;
  CTolva_SW_Handler handler;
  CFileInfoParser parser;
  CString missing((scratch.root + "nocard/").c_str()), card(scratch.card.c_str());
  const auto present = [&](CString& at) {
    return (handler.IsFlashCardPresent(at) != 0) + 2 * (parser.IsFlashCardPresent(at) != 0);
  };
  EXPECT_EQ(present(missing) + present(card), 0);
  PutFile(scratch.card + "ZCL", "ABCREV01xxxxFP=QTV1234567_12345;");
  EXPECT_EQ(present(card), 3);
  EXPECT_EQ(card, scratch.card.c_str());
  for (const char* path : {"", scratch.pkg.c_str(), scratch.card.c_str()}) {  // no Init, no ZCL, then the card
    EXPECT_EQ(*path == '\0' ? SR_OK : handler.Init(path, true, false), SR_OK);
    const bool known = path == scratch.card.c_str();
    EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), known ? SR_OK : SR_FAILED);
    EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard() + "/" + handler.GetTolva_SW_Rev_OnFlashCard(),
              known ? "QTV1234567_12345/REV01" : "Not Defined/Not Defined");
  }
}

TEST(CardIdentificationTest, ACopiedCardReadsBack) {
  // BOOT1 (H40) and BOOT2 (J40) carry a boot header and an embedded package description.
  Bench bench(DemoPackage());
  for (const auto& [kind, identity] :
       {std::pair{ZCU_H40, "QTV0001DEM_R1A01/R1A01"}, {ZCU_J40, "HRW0002DEM_R1A012/R1A02"}}) {
    CTolva_SW_Handler writer, reader;
    ASSERT_EQ(writer.Init(bench.scratch.pkg.c_str(), false, false), SR_OK);
    ASSERT_EQ(writer.CopyFilesToFlashCard(bench.scratch.card.c_str(), kind, nullptr), SR_OK);
    ASSERT_EQ(reader.Init(bench.scratch.card.c_str(), true, false), SR_OK);
    EXPECT_EQ(reader.GetTolva_SW_Name_OnFlashCard() + "/" + reader.GetTolva_SW_Rev_OnFlashCard(), identity);
  }
}

}  // namespace
