// The software handler: the verified copy of a package onto a flash card
// (selection per kind, card layout, sizes, progress, message passing, BSC
// packages), faults injected through the file-system seam during it, and
// what a card carries afterwards.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pelix/platform.h"
#include "pelix/tolva_sw_handler.h"
#include "tests/support/recording_host.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using namespace pelix::test;

using pelix::packagegen::LoadFileSpec;
using pelix::packagegen::PackageSpec;
using pelix::packagegen::SubFileContent;
using Names = std::vector<std::string>;

std::vector<int> g_progress;
void RecordProgress(int percent) { g_progress.push_back(percent); }

std::string Content(const PackageSpec& package, const std::string& name) {
  for (const auto& loadFile : package.loadFiles) {
    for (const auto& subFile : loadFile.subFiles) {
      if (subFile.name == name) return SubFileContent(subFile);
    }
  }
  return "<no sub-file " + name + ">";
}

// A message queue that hands out the messages a test puts in it and logs
// every call made on it.
class FakeQueue : public MessageQueue {
 public:
  FakeQueue() : m_previous(SetMessageQueue(this)) {}
  ~FakeQueue() override { SetMessageQueue(m_previous); }
  FakeQueue(const FakeQueue&) = delete;
  FakeQueue& operator=(const FakeQueue&) = delete;

  std::deque<MSG> pending;
  bool consume = false;
  Names log;

  bool PeekMessage(MSG& msg) override {
    log.push_back("peek");
    if (pending.empty()) return false;
    msg = pending.front();
    pending.pop_front();
    return true;
  }
  void PostQuitMessage(int exitCode) override { log.push_back("quit " + std::to_string(exitCode)); }
  bool PreTranslateMessage(MSG& msg) override { return Log("offer", msg), consume; }
  void TranslateMessage(const MSG& msg) override { Log("translate", msg); }
  void DispatchMessage(const MSG& msg) override { Log("dispatch", msg); }

 private:
  void Log(const char* call, const MSG& msg) { log.push_back(call + (" " + std::to_string(msg.message))); }
  MessageQueue* m_previous;
};

// A scratch folder, a recording host and a handler.
struct Bench {
  Bench() { g_progress.clear(); }
  ServiceResult Copy(const PackageSpec& package, LoadableZCU_Type kind, void (*progress)(int) = RecordProgress) {
    EXPECT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
    return InitAndCopy(kind, progress);
  }
  ServiceResult InitAndCopy(LoadableZCU_Type kind, void (*progress)(int) = nullptr) {
    EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
    return handler.CopyFilesToFlashCard(scratch.card.c_str(), kind, progress);
  }
  // The card's GLOBAL files and boot files checked against the package.
  void ExpectCard(const PackageSpec& package, const Names& global, const Names& boot) {
    Names sorted = global;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Entries(scratch.card + "GLOBAL"), sorted);
    for (const auto& name : global) {
      EXPECT_TRUE(ReadFile(scratch.card + "GLOBAL/" + name) == Content(package, name)) << name;
    }
    std::string joined;
    for (const auto& name : boot) joined += Content(package, name);
    EXPECT_TRUE(ReadFile(scratch.card + "ZCL") == joined);
    EXPECT_TRUE(ReadFile(scratch.card + "ZCB") == joined);
    EXPECT_EQ(Entries(scratch.tmp), Names{});  // no temporary copy left
    EXPECT_TRUE(host.userInfo.empty());
  }

  pelix::test::Scratch scratch;
  pelix::test::RecordingHost host;
  CTolva_SW_Handler handler;
};

PackageSpec TwoLoadFiles() {
  PackageSpec package;
  LoadFileSpec a{"LOADF001", "", {}, 0};
  a.subFiles = {{"ORD1", 700, {"H40"}, {}, 0}, {"BOOTA", 300, {"H40"}, {"H40"}, 0}, {"ORD2", 300, {"H40"}, {}, 0}};
  LoadFileSpec b{"LOADF002", "", {}, 0};
  b.subFiles = {{"BOOTB", 200, {"H40"}, {"H40"}, 0}, {"OTHER", 900, {"J40"}, {}, 0}};
  package.loadFiles = {a, b};
  return package;
}

PackageSpec OneLoadFile(std::vector<pelix::packagegen::SubFileSpec> subFiles) {
  PackageSpec package;
  package.loadFiles = {LoadFileSpec{"LOADF001", "", std::move(subFiles), 0}};
  return package;
}

struct CopyCase {
  PackageSpec package;
  LoadableZCU_Type kind;
  Names global, boot;
  unsigned long size;
  std::vector<int> progress;  // empty: only rising to 100, one report per file
};

TEST(HandlerCopyTest, CopiesTheSubFilesOfTheKind) {
  const PackageSpec demo = pelix::packagegen::DemoPackage();
  const CopyCase cases[] = {
      {demo, ZCU_H40, {"APPL1", "APPL2", "DATA1"}, {"BOOT1", "BOOT2"}, 24000, {}},
      {demo, ZCU_J40, {"APPL1", "APPL2", "BOOT1", "DATA1"}, {"BOOT2"}, 21000, {}},
      {demo, ZCU_H50, {"APPL1", "APPL2", "DATA1"}, {"BOOT1"}, 21000, {}},
      {demo, ZCU_QMS, {"APPL2", "DATA1"}, {"BOOT2"}, 12000, {}},
      {demo, ZCU_ALL, {"APPL1", "APPL2", "WBAPP", "DATA1"}, {"BOOT1", "BOOT2"}, 26500, {}},
      {demo, ZCU_H30, {"APPL2", "DATA1"}, {}, 9000, {}},
      {demo, ZCU_ALL_BUT_WB, {"APPL1", "APPL2", "DATA1"}, {"BOOT1", "BOOT2"}, 24000, {}},
      // Boot files join in load-file, then sub-file order; progress of 2000 bytes.
      {TwoLoadFiles(), ZCU_H40, {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"}, 2000, {35, 50, 80, 100}},
      // A boot sub-file counts twice.
      {OneLoadFile({{"A", 600, {"H40"}, {}, 0}, {"B", 400, {"H40"}, {}, 0}, {"C", 500, {"H40"}, {"H40"}, 0}}),
       ZCU_H40,
       {"A", "B"},
       {"C"},
       2000,
       {30, 50, 100}},
      // A boot list without the destination is counted but not copied.
      {OneLoadFile({{"A", 500, {"H40"}, {}, 0}, {"ODD", 250, {"J40"}, {"H40"}, 0}, {"NONE", 100, {"J40"}, {}, 0}}),
       ZCU_H40,
       {"A"},
       {},
       1000,
       {50}},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.package.loadFiles[0].subFiles[0].name << " for " << c.kind);
    Bench bench;
    EXPECT_EQ(bench.handler.GetSizeToCopy(c.kind), 0UL);  // nothing read yet
    ASSERT_EQ(bench.Copy(c.package, c.kind), SR_OK);
    bench.ExpectCard(c.package, c.global, c.boot);
    EXPECT_EQ(bench.handler.GetSizeToCopy(c.kind), c.size);
    if (!c.progress.empty()) {
      EXPECT_EQ(g_progress, c.progress);
    } else {
      ASSERT_FALSE(g_progress.empty());
      EXPECT_EQ(g_progress.back(), 100);
      EXPECT_TRUE(std::is_sorted(g_progress.begin(), g_progress.end()));
      EXPECT_EQ(g_progress.size(), c.global.size() + c.boot.size());
    }
  }
}

TEST(HandlerCopyTest, NothingToCopyLeavesAnEmptyGlobalFolder) {
  Bench bench;
  ASSERT_EQ(bench.Copy(TwoLoadFiles(), ZCU_QMS), SR_NOTHING_TO_COPY);
  EXPECT_TRUE(pelix::platform::Files().IsFolder(bench.scratch.card + "GLOBAL"));
  EXPECT_EQ(Entries(bench.scratch.card), Names{"GLOBAL"});
  EXPECT_EQ(Entries(bench.scratch.card + "GLOBAL"), Names{});
}

TEST(HandlerCopyTest, StaleGlobalFilesAreDeletedFirstAndSubFoldersStay) {
  Bench bench;
  const std::string card = bench.scratch.card;
  ::mkdir((card + "GLOBAL").c_str(), 0755);
  ::mkdir((card + "GLOBAL/KEEP").c_str(), 0755);
  WriteFile(card + "GLOBAL/OLD", "old");
  WriteFile(card + "GLOBAL/LOCKED", "read only");
  ::chmod((card + "GLOBAL/LOCKED").c_str(), 0444);
  WriteFile(card + "OUTSIDE", "untouched");
  ASSERT_EQ(bench.Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
  EXPECT_EQ(Entries(card + "GLOBAL"), (Names{"KEEP", "ORD1", "ORD2"}));
  EXPECT_EQ(ReadFile(card + "OUTSIDE"), "untouched");
}

TEST(HandlerCopyTest, DiskSizeBelowTheSizeToCopyWritesNothing) {
  Bench bench;
  const std::string card = bench.scratch.card;
  WriteFile(card + "ZCL", "old");
  ::mkdir((card + "GLOBAL").c_str(), 0755);
  WriteFile(card + "GLOBAL/OLD", "old");
  bench.host.diskSize = 1999;
  ASSERT_EQ(bench.Copy(TwoLoadFiles(), ZCU_H40), SR_NO_SPACE);
  EXPECT_EQ(Entries(card + "GLOBAL"), Names{});
  EXPECT_EQ(ReadFile(card + "ZCL"), "old");
  EXPECT_TRUE(g_progress.empty());
  const auto asked = bench.host.CallsNamed("GetDiskSize");
  ASSERT_EQ(asked.size(), 1U);
  EXPECT_EQ(asked[0].text, card);
  Bench enough;  // a disk size equal to the size to copy is enough
  enough.host.diskSize = 2000;
  EXPECT_EQ(enough.Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
}

TEST(HandlerCopyTest, InitFollowsItsFlagsAndCopyNeedsAPackage) {
  Bench bench;
  CTolva_SW_Handler& handler = bench.handler;
  const std::string pkg = bench.scratch.pkg, card = bench.scratch.card;
  EXPECT_EQ(handler.CopyFilesToFlashCard(card.c_str(), ZCU_H40, RecordProgress), SR_FAILED);  // not initialised
  EXPECT_EQ(Entries(card), Names{});
  EXPECT_EQ(handler.Init(pkg.c_str(), false, false), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(handler.CopyFilesToFlashCard(card.c_str(), ZCU_H40, nullptr), SR_FAILED);
  ASSERT_TRUE(pelix::packagegen::WritePackage(pkg, TwoLoadFiles()));
  // keepPath keeps the card path set before: no package is found there.
  ASSERT_EQ(handler.Init(card.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.Init(pkg.c_str(), false, true), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(handler.GetKVO_Path(), card.c_str());
  EXPECT_EQ(handler.Init(pkg.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.GetKVO_Path(), pkg.c_str());
  EXPECT_EQ(handler.Init("elsewhere/", true, true), SR_OK);
  EXPECT_EQ(handler.GetKVO_Path(), pkg.c_str());
  // Initialised without reading the file-information file: no "FP" yet.
  EXPECT_EQ(handler.CopyFilesToFlashCard(card.c_str(), ZCU_H40, nullptr), SR_FAILED);

  Bench noPackage;
  WriteFile(noPackage.scratch.pkg + "KMA0001", "HEADER123456{LF=L;}TRLR");
  EXPECT_EQ(noPackage.InitAndCopy(ZCU_H40), SR_FAILED);
  EXPECT_EQ(Entries(noPackage.scratch.card), Names{});
}

TEST(HandlerCopyTest, MissingLoadFileStopsTheCopy) {
  Bench bench;
  ASSERT_TRUE(pelix::packagegen::WritePackage(bench.scratch.pkg, TwoLoadFiles()));
  ::unlink((bench.scratch.pkg + "LOADF002").c_str());
  EXPECT_EQ(bench.InitAndCopy(ZCU_H40), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(Entries(bench.scratch.card + "GLOBAL"), (Names{"ORD1", "ORD2"}));
  EXPECT_FALSE(pelix::platform::Files().Exists(bench.scratch.card + "ZCL"));

  // LOADF002 holds nothing for H40, but the ordinary pass must open it.
  Bench second;
  PackageSpec package;
  package.loadFiles = {LoadFileSpec{"LOADF001", "", {{"ORD", 100, {"H40"}, {}, 0}}, 0},
                       LoadFileSpec{"LOADF002", "", {{"BOOTX", 100, {"J40"}, {}, 0}}, 0},
                       LoadFileSpec{"LOADF003", "", {{"BOOTC", 50, {"H40"}, {"H40"}, 0}}, 0}};
  ASSERT_TRUE(pelix::packagegen::WritePackage(second.scratch.pkg, package));
  ::unlink((second.scratch.pkg + "LOADF002").c_str());
  EXPECT_EQ(second.InitAndCopy(ZCU_H40), SR_FILE_OPEN_FAILED);
}

TEST(HandlerCopyTest, ShortLastSubFileFailsAndLeavesNoTemporaryCopy) {
  Bench bench;
  PackageSpec package = OneLoadFile({{"FIRST", 3000, {"H40"}, {}, 0}, {"LAST", 2500, {"H40"}, {}, 0}});
  package.loadFiles[0].shortBy = 10;
  ASSERT_EQ(bench.Copy(package, ZCU_H40), SR_FAILED);
  const std::string global = bench.scratch.card + "GLOBAL/";
  EXPECT_TRUE(ReadFile(global + "FIRST") == Content(package, "FIRST"));
  // LAST is written as far as whole chunks came: 2048 of its 2490 bytes.
  EXPECT_TRUE(ReadFile(global + "LAST") == Content(package, "LAST").substr(0, 2048));
  EXPECT_EQ(Entries(bench.scratch.tmp), Names{});
  EXPECT_FALSE(pelix::platform::Files().Exists(bench.scratch.card + "ZCL"));
  EXPECT_TRUE(bench.host.userInfo.empty());
}

TEST(HandlerCopyTest, OneMessagePassedOnPerProgressReport) {
  // 0x0012 is the quit message: it is posted again, and the copy goes on.
  const Names passed = {"peek",      "offer 256",     "translate 256", "dispatch 256", "peek",
                        "quit -1",   "offer 18",      "translate 18",  "dispatch 18",  "peek",
                        "offer 512", "translate 512", "dispatch 512",  "peek"};
  const struct {
    bool consume, callback;
    Names log;
  } cases[] = {
      {false, false, {}},  // a null callback takes no message
      {false, true, passed},
      {true, true, {"peek", "offer 256", "peek", "quit -1", "offer 18", "peek", "offer 512", "peek"}}};  // consumed
  for (const auto& c : cases) {
    Bench bench;
    FakeQueue queue;
    queue.consume = c.consume;
    queue.pending = {MSG{0x0100, 1, 2}, MSG{WM_QUIT, 0, 0}, MSG{0x0200, 0, 0}};
    ASSERT_EQ(bench.Copy(TwoLoadFiles(), ZCU_H40, c.callback ? RecordProgress : nullptr), SR_OK);
    EXPECT_EQ(queue.log, c.log);
    bench.ExpectCard(TwoLoadFiles(), {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
  }
}

TEST(HandlerCopyTest, CardFilesAreFlushedAndDroppedFromTheCacheBeforeComparison) {
  Bench bench;
  pelix::test::FaultyFileSystem files;
  ASSERT_EQ(bench.Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
  for (const std::string name : {"GLOBAL/ORD1", "GLOBAL/ORD2", "ZCL", "ZCB"}) {
    const std::string path = bench.scratch.card + name;
    EXPECT_NE(std::find(files.droppedPaths.begin(), files.droppedPaths.end(), path), files.droppedPaths.end()) << name;
  }
  EXPECT_GE(files.folderFlushes, 3);  // GLOBAL twice, the card root once
  EXPECT_TRUE(files.open.empty());    // every descriptor closed
}

TEST(HandlerCopyTest, BscPackageReadsLoadFilesFromTheirFlfFiles) {
  Bench recognised;
  ASSERT_TRUE(pelix::packagegen::WritePackage(recognised.scratch.pkg, TwoLoadFiles()));
  ASSERT_EQ(recognised.handler.Init(recognised.scratch.pkg.c_str(), true, false), SR_OK);
  EXPECT_EQ(recognised.handler.isBscFormat(), 0);
  WriteFile(recognised.scratch.pkg + "flf0002", "x");
  EXPECT_EQ(recognised.handler.isBscFormat(), 1);

  Bench bench;
  PackageSpec package = TwoLoadFiles();
  package.loadFiles[0].fileName = "FLF0003";
  package.loadFiles[1].fileName = "flf0004";
  ASSERT_TRUE(pelix::packagegen::WritePackage(bench.scratch.pkg, package));
  WriteFile(bench.scratch.pkg + "FLF0009", "LOADF00");    // short, names nothing
  ::mkdir((bench.scratch.pkg + "FLFDIR").c_str(), 0755);  // cannot be opened: passed over
  ASSERT_EQ(bench.InitAndCopy(ZCU_H40), SR_OK);
  bench.ExpectCard(package, {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});

  // Names compare with letter case: LOADF001 keeps its name, and no file of that name exists.
  Bench lower;
  package.loadFiles[1].fileName = "";
  ASSERT_TRUE(pelix::packagegen::WritePackage(lower.scratch.pkg, package));
  WriteFile(lower.scratch.pkg + "FLF0003", "loadf001HDR1" + SubFileContent(package.loadFiles[0].subFiles[0]));
  EXPECT_EQ(lower.InitAndCopy(ZCU_H40), SR_FILE_OPEN_FAILED);
}

TEST(HandlerCopyTest, BundledDemoPackageMatchesTheGenerator) {
  Bench bench;
  const std::string bundled = std::string(PELIX_SOURCE_DIR) + "/data/package/";
  ASSERT_TRUE(pelix::packagegen::WritePackage(bench.scratch.pkg, pelix::packagegen::DemoPackage()));
  EXPECT_EQ(Entries(bundled), Entries(bench.scratch.pkg));
  for (const auto& name : Entries(bench.scratch.pkg)) {
    EXPECT_TRUE(ReadFile(bundled + name) == ReadFile(bench.scratch.pkg + name)) << name;
  }
  ASSERT_EQ(bench.handler.Init(bundled.c_str(), false, false), SR_OK);
  EXPECT_EQ(bench.handler.CopyFilesToFlashCard(bench.scratch.card.c_str(), ZCU_H40, nullptr), SR_OK);
  EXPECT_EQ(ReadFile(bench.scratch.card + "ZCL").size(), 4500U);
}

const char* const kWriteError =
    "An error occurred while writing files to the Flash Card!   \r\nPlease try again.\r\n\r\n"
    "If the problem reoccurs, replace the Flash Card.";

// One load file: a J40-only sub-file (skipped for H40), two ordinary
// sub-files of 5000 bytes (3 chunks each) and one boot sub-file.
PackageSpec Package() {
  PackageSpec package;
  package.loadFiles = {LoadFileSpec{"LOADF001",
                                    "",
                                    {{"SKIP", 100, {"J40"}, {}, 0},
                                     {"ORD1", 5000, {"H40"}, {}, 0},
                                     {"ORD2", 5000, {"H40"}, {}, 0},
                                     {"BOOT", 3000, {"H40"}, {"H40"}, 0}},
                                    0}};
  return package;
}

// A package in a scratch folder, a handler initialised on it and a faulty
// file system whose counters start after Init.
struct FaultBench {
  FaultBench() {
    EXPECT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, Package()));
    EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
    files.ResetCounts();
  }
  ServiceResult Copy() { return handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr); }
  void ExpectClean() {
    EXPECT_EQ(Entries(scratch.tmp), Names{});
    EXPECT_TRUE(files.open.empty()) << files.open.size() << " descriptors left open";
  }

  Scratch scratch;
  pelix::test::RecordingHost host;
  CTolva_SW_Handler handler;
  FaultyFileSystem files;
};

// What a copy left: the result, the card's GLOBAL files, " ZCL" when the
// card has one, and " told" for the user's write-error message.
std::string Outcome(ServiceResult result, FaultBench& bench) {
  std::string text = ServiceResultName(result);
  for (const auto& name : Entries(bench.scratch.card + "GLOBAL")) text += " " + name;
  if (std::filesystem::exists(bench.scratch.card + "ZCL")) text += " ZCL";
  for (const auto& info : bench.host.userInfo) text += info == kWriteError ? " told" : " [" + info + "]";
  return text;
}

using FS = FaultyFileSystem;
using S = const Scratch&;

struct FaultCase {
  std::function<void(FS&, S)> fault;
  const char* outcome;
};

TEST(HandlerFaultTest, EachFaultGivesItsResultAndLeavesNothingBehind) {
  const FaultCase cases[] = {
      {[](FS&, S) {}, "SR_OK ORD1 ORD2 ZCL"},
      // Reads: the load file header, ORD1's first chunk, then its second.
      {[](FS& f, S) { f.shortReadAt = 3; }, "SR_FAILED ORD1"},
      // The first chunk of ORD1 into its temporary copy.
      {[](FS& f, S) { f.shortWriteAt = 2; }, "SR_FAILED ORD1"},
      // ORD1's third chunk to the card.
      {[](FS& f, S) { f.noSpaceWriteAt = 5; }, "SR_FAILED ORD1"},
      // After ORD1 and ORD2 (6 writes each), the card ZCL.
      {[](FS& f, S) { f.noSpaceWriteAt = 13; }, "SR_FAILED ORD1 ORD2 ZCL"},
      // The flush of ORD1 on the card; then, after ORD1 and ORD2 flushed card
      // and temporary copy, the flush of ZCL.
      {[](FS& f, S) { f.failFlushAt = 1; }, "SR_FAILED ORD1"},
      {[](FS& f, S) { f.failFlushAt = 5; }, "SR_FAILED ORD1 ORD2 ZCL"},
      {[](FS& f, S) { f.failFlushFolderAt = 1; }, "SR_FAILED ORD1"},
      // The Tell before skipping SKIP.
      {[](FS& f, S) { f.failSeekAt = 1; }, "SR_FAILED"},
      // The close of ORD1 on the card.
      {[](FS& f, S) { f.failCloseAt = 1; }, "SR_FAILED ORD1"},
      // Corruption on the card is found by the checksum; ZCB is compared first, once.
      {[](FS& f, S s) { f.corruptWritesUnder = s.card + "GLOBAL/"; }, "SR_FAILED ORD1 told"},
      {[](FS& f, S s) { f.corruptWritesUnder = s.card + "ZCB"; }, "SR_FAILED ORD1 ORD2 ZCL told"},
      {[](FS& f, S s) { f.corruptWritesUnder = s.card; }, "SR_FAILED ORD1 told"},
      // The card folder removed mid-copy: flushing it fails before any
      // comparison, and the copy stops.
      {[](FS& f, S s) {
         f.afterWrite = [global = s.card + "GLOBAL"](int count) {
           std::error_code error;
           if (count == 3) std::filesystem::remove_all(global, error);
         };
       },
       "SR_FAILED"},
      // A card file removed after its last chunk: its checksum cannot be
      // computed, and the user is told.
      {[](FS& f, S s) {
         f.afterWrite = [card = s.card + "GLOBAL/ORD1"](int count) {
           if (count == 6) std::filesystem::remove(card);
         };
       },
       "SR_FAILED told"},
      // Card, temporary and boot files that cannot be created; the card file
      // of a pair is made before its temporary copy.
      {[](FS& f, S) { f.failOpenContaining = "GLOBAL/ORD2"; }, "SR_FILE_OPEN_FAILED ORD1"},
      {[](FS& f, S s) { f.failOpenContaining = s.tmp + "ORD1"; }, "SR_FILE_OPEN_FAILED ORD1"},
      {[](FS& f, S s) { f.failOpenContaining = s.tmp + "ZCB"; }, "SR_FAILED ORD1 ORD2 ZCL"}};
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    FaultBench bench;
    bench.host.handlerExists = true;
    c.fault(bench.files, bench.scratch);
    const ServiceResult result = bench.Copy();
    EXPECT_EQ(Outcome(result, bench), c.outcome);
    // Faults are never reported to the error services.
    EXPECT_TRUE(bench.host.CallsNamed("RaiseError").empty());
    EXPECT_EQ(bench.host.CallsNamed("StoreEnter").size(), bench.host.CallsNamed("StoreReturn").size());
    bench.ExpectClean();
  }
}

TEST(HandlerFaultTest, ShortReadInBootSubFileFails) {
  int readsOfGoodCopy = 0;
  {
    FaultBench good;
    EXPECT_EQ(good.Copy(), SR_OK);
    readsOfGoodCopy = good.files.reads;
  }
  // The last chunk reads of the boot sub-file come just before the checksum
  // reads of ZCB and ZCL (2 each: data, then end of file).
  FaultBench bench;
  bench.files.shortReadAt = readsOfGoodCopy - 4;
  EXPECT_EQ(bench.Copy(), SR_FAILED);
  EXPECT_EQ(Entries(bench.scratch.card + "GLOBAL"), (Names{"ORD1", "ORD2"}));
  EXPECT_LT(std::filesystem::file_size(bench.scratch.card + "ZCL"), 3000U);
  bench.ExpectClean();
}

TEST(HandlerFaultTest, EveryFaultPositionIsSurvived) {
  // Walk a short read of the load file, a short write and a failed flush over
  // every position the copy reaches: never OK, never a temporary file left,
  // never a descriptor left open.
  FaultBench bench;
  for (int fault = 0; fault < 3; ++fault) {
    for (int at = 1; at <= 24; ++at) {
      SCOPED_TRACE(testing::Message() << "fault " << fault << " at " << at);
      std::error_code error;
      std::filesystem::remove_all(bench.scratch.card, error);
      std::filesystem::create_directory(bench.scratch.card, error);
      CTolva_SW_Handler copy;
      ASSERT_EQ(copy.Init(bench.scratch.pkg.c_str(), false, false), SR_OK);
      FaultyFileSystem& files = bench.files;
      files.ResetCounts();
      files.countReadsOf = "LOADF001";
      files.shortReadAt = fault == 0 ? at : 0;
      files.shortWriteAt = fault == 1 ? at : 0;
      files.failFlushAt = fault == 2 ? at : 0;
      const ServiceResult result = copy.CopyFilesToFlashCard(bench.scratch.card.c_str(), ZCU_H40, nullptr);
      const bool reached = (fault == 0 && files.reads >= at) || (fault == 1 && files.writes >= at) ||
                           (fault == 2 && files.flushes >= at);
      if (reached) {
        EXPECT_NE(result, SR_OK);
      }
      bench.ExpectClean();
    }
  }
}

struct CardCase {
  std::string zcl;
  const char* name;
  const char* revision;  // null: not of interest
};

TEST(CardIdentificationTest, NameAndRevisionComeFromTheZclFile) {
  std::string far(300000, 'x');
  for (size_t i = 0; i < far.size(); i += 97) far[i] = 'F';
  const CardCase cases[] = {
      {"ABCR12B4XYZW and more", "Not Defined", "R12B4"},
      {"ABCR12B4XYZ", "Not Defined", "Not Defined"},  // 11 bytes
      {"ABCR12B4XYZW", "Not Defined", "R12B4"},       // exactly 12
      {"header......{FP=QTV1234567_12345;REV=R1;}", "QTV1234567_12345", nullptr},
      {"xxFP=HRW1234567_123456;", "HRW1234567_123456", nullptr},
      {"xxFP=HRW1234567_12345;", "HRW1234567_12345", nullptr},
      {"FP=AB1234QTVx_ABCDE;", "AB1234QTVx_ABCDE", nullptr},  // the class letters may stand anywhere
      {"FP=QTV1234567_123456;", "Not Defined", nullptr},      // a QTV name of 17 characters is not one
      {"FP=QTV123456_712345;....FP=QTV7654321_54321;tail", "QTV7654321_54321", nullptr},
      {"FP=QTV123456_712345;....no other", "Not Defined", nullptr},
      {"F P=QTV1234567_12345;", "Not Defined", nullptr},
      {"FP:QTV1234567_12345;", "Not Defined", nullptr},
      {"no package text at all", "Not Defined", nullptr},
      {"", "Not Defined", "Not Defined"},
      // Cut short by the end of the file: 17 characters read, the 18th still
      // the buffer's terminating zero.
      {"FP=QTV1234567_12345;", "QTV1234567_12345", nullptr},
      {"FP=QTV1234567_1234", "Not Defined", nullptr},  // no ";" anywhere
      {far + "FP=HRW0000001_777777;", "HRW0000001_777777", nullptr},
  };
  for (const CardCase& c : cases) {
    SCOPED_TRACE(c.zcl.substr(0, 60));
    Scratch scratch;
    CTolva_SW_Handler handler;
    WriteFile(scratch.card + "ZCL", c.zcl);
    ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
    EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
    EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), c.name);
    if (c.revision != nullptr) {
      EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), c.revision);
    }
  }
}

TEST(CardIdentificationTest, WithoutInitOrZclNothingIsKnownAndQueriesRepeat) {
  Scratch scratch;
  CTolva_SW_Handler handler;
  WriteFile(scratch.card + "ZCL", "ABCREV01xxxxFP=QTV1234567_12345;");
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_FAILED);
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "Not Defined");
  ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "REV01");
    EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV1234567_12345");
    EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
  }
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), true, false), SR_OK);  // no ZCL there
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_FAILED);
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "Not Defined");
}

TEST(CardIdentificationTest, PresenceNeedsAnEntryAndNoInit) {
  Scratch scratch;
  CTolva_SW_Handler handler;
  CFileInfoParser parser;
  CString missing((scratch.root + "nocard/").c_str());
  CString card(scratch.card.c_str());
  EXPECT_EQ(handler.IsFlashCardPresent(missing), 0);
  EXPECT_EQ(parser.IsFlashCardPresent(missing), 0);
  EXPECT_EQ(handler.IsFlashCardPresent(card), 0);
  EXPECT_EQ(parser.IsFlashCardPresent(card), 0);
  ::mkdir((scratch.card + "GLOBAL").c_str(), 0755);
  EXPECT_NE(parser.IsFlashCardPresent(card), 0);
  EXPECT_EQ(card, scratch.card.c_str());
  Scratch other;
  CString otherCard(other.card.c_str());
  WriteFile(other.card + "anything", "x");
  EXPECT_NE(handler.IsFlashCardPresent(otherCard), 0);
}

TEST(CardIdentificationTest, CopiedCardReadsBack) {
  // The demo package's boot sub-files carry a boot header and an embedded
  // package description, as station boot software does: a copy for H40 puts
  // BOOT1 first in ZCL, so its name and revision are what the card shows.
  Scratch scratch;
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, pelix::packagegen::DemoPackage()));
  // For J40 only BOOT2 is boot software: its 17-character name shows.
  for (const auto& [kind, revision, name] :
       {std::tuple{ZCU_H40, "R1A01", "QTV0001DEM_R1A01"}, std::tuple{ZCU_J40, "R1A02", "HRW0002DEM_R1A012"}}) {
    CTolva_SW_Handler writer, reader;
    ASSERT_EQ(writer.Init(scratch.pkg.c_str(), false, false), SR_OK);
    ASSERT_EQ(writer.CopyFilesToFlashCard(scratch.card.c_str(), kind, nullptr), SR_OK);
    ASSERT_EQ(reader.Init(scratch.card.c_str(), true, false), SR_OK);
    EXPECT_EQ(reader.VerifyTolva_SW_OnFlashCard(), SR_OK);
    EXPECT_EQ(reader.GetTolva_SW_Rev_OnFlashCard(), revision);
    EXPECT_EQ(reader.GetTolva_SW_Name_OnFlashCard(), name);
  }
}

TEST(CardIdentificationTest, ConstructorAndDestructorOpenTheirScopesAroundTheParsers) {
  HandlerHost host;
  { CTolva_SW_Handler handler; }
  const std::vector<std::string> expected = {
      "CFileInfoParser::CFileInfoParser()", "CTolva_SW_Handler::CTolva_SW_Handler()",
      "CTolva_SW_Handler::~CTolva_SW_Handler()", "CFileInfoParser::~CFileInfoParser()"};
  EXPECT_EQ(pelix::test::ScopeNames(host), expected);
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 4U);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

}  // namespace
