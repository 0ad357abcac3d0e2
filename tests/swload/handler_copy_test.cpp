// The verified copy of a package onto a flash card: selection per kind, card
// layout, sizes, progress and message passing, BSC packages.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "pelix/platform.h"
#include "pelix/tolva_sw_handler.h"
#include "tests/support/recording_host.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using pelix::packagegen::LoadFileSpec;
using pelix::packagegen::PackageSpec;
using pelix::packagegen::SubFileContent;
using pelix::packagegen::SubFileSpec;
using pelix::test::Entries;
using pelix::test::FaultyFileSystem;
using pelix::test::ReadFile;
using pelix::test::RecordingHost;
using pelix::test::Scratch;
using pelix::test::WriteFile;

std::vector<int> g_progress;
void RecordProgress(int percent) { g_progress.push_back(percent); }

const SubFileSpec& Find(const PackageSpec& package, const std::string& name) {
  for (const auto& loadFile : package.loadFiles) {
    for (const auto& subFile : loadFile.subFiles) {
      if (subFile.name == name) return subFile;
    }
  }
  throw std::runtime_error("no sub-file " + name);
}

// A message queue that hands out the messages a test puts in it.
class FakeQueue : public MessageQueue {
 public:
  FakeQueue() : m_previous(SetMessageQueue(this)) {}
  ~FakeQueue() override { SetMessageQueue(m_previous); }
  FakeQueue(const FakeQueue&) = delete;
  FakeQueue& operator=(const FakeQueue&) = delete;

  std::deque<MSG> pending;
  bool consume = false;
  int peeks = 0;
  std::vector<int> quits;
  std::vector<unsigned> translated, dispatched, offered;

  bool PeekMessage(MSG& msg) override {
    ++peeks;
    if (pending.empty()) return false;
    msg = pending.front();
    pending.pop_front();
    return true;
  }
  void PostQuitMessage(int exitCode) override { quits.push_back(exitCode); }
  bool PreTranslateMessage(MSG& msg) override {
    offered.push_back(msg.message);
    return consume;
  }
  void TranslateMessage(const MSG& msg) override { translated.push_back(msg.message); }
  void DispatchMessage(const MSG& msg) override { dispatched.push_back(msg.message); }

 private:
  MessageQueue* m_previous;
};

class HandlerCopyTest : public ::testing::Test {
 protected:
  void SetUp() override { g_progress.clear(); }

  ServiceResult Copy(const PackageSpec& package, LoadableZCU_Type kind, void (*progress)(int) = RecordProgress) {
    EXPECT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
    EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
    return handler.CopyFilesToFlashCard(scratch.card.c_str(), kind, progress);
  }
  // The card's GLOBAL files and their contents checked against the package.
  void ExpectCard(const PackageSpec& package, const std::vector<std::string>& global,
                  const std::vector<std::string>& boot) {
    std::vector<std::string> sorted = global;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Entries(scratch.card + "GLOBAL"), sorted);
    for (const auto& name : global) {
      EXPECT_TRUE(ReadFile(scratch.card + "GLOBAL/" + name) == SubFileContent(Find(package, name))) << name;
    }
    std::string joined;
    for (const auto& name : boot) joined += SubFileContent(Find(package, name));
    EXPECT_TRUE(ReadFile(scratch.card + "ZCL") == joined);
    EXPECT_TRUE(ReadFile(scratch.card + "ZCB") == joined);
    EXPECT_EQ(Entries(scratch.tmp), std::vector<std::string>{});  // no temporary copy left
  }

  Scratch scratch;
  RecordingHost host;
  CTolva_SW_Handler handler;
};

struct KindCase {
  LoadableZCU_Type kind;
  std::vector<std::string> global;
  std::vector<std::string> boot;
  unsigned long size;
};

class HandlerKindTest : public HandlerCopyTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(HandlerKindTest, CopiesTheSubFilesOfTheKind) {
  const KindCase& c = GetParam();
  const PackageSpec package = pelix::packagegen::DemoPackage();
  ASSERT_EQ(Copy(package, c.kind), SR_OK);
  ExpectCard(package, c.global, c.boot);
  EXPECT_EQ(handler.GetSizeToCopy(c.kind), c.size);
  ASSERT_FALSE(g_progress.empty());
  EXPECT_EQ(g_progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(g_progress.begin(), g_progress.end()));
  EXPECT_EQ(g_progress.size(), c.global.size() + c.boot.size());
  EXPECT_TRUE(host.userInfo.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, HandlerKindTest,
    ::testing::Values(KindCase{ZCU_H40, {"APPL1", "APPL2", "DATA1"}, {"BOOT1", "BOOT2"}, 24000},
                      KindCase{ZCU_J40, {"APPL1", "APPL2", "BOOT1", "DATA1"}, {"BOOT2"}, 21000},
                      KindCase{ZCU_H50, {"APPL1", "APPL2", "DATA1"}, {"BOOT1"}, 21000},
                      KindCase{ZCU_QMS, {"APPL2", "DATA1"}, {"BOOT2"}, 12000},
                      KindCase{ZCU_ALL, {"APPL1", "APPL2", "WBAPP", "DATA1"}, {"BOOT1", "BOOT2"}, 26500},
                      KindCase{ZCU_H30, {"APPL2", "DATA1"}, {}, 9000},
                      KindCase{ZCU_ALL_BUT_WB, {"APPL1", "APPL2", "DATA1"}, {"BOOT1", "BOOT2"}, 24000}));

PackageSpec TwoLoadFiles() {
  PackageSpec package;
  LoadFileSpec a{"LOADF001", "", {}, 0};
  a.subFiles = {{"ORD1", 700, {"H40"}, {}, 0}, {"BOOTA", 300, {"H40"}, {"H40"}, 0}, {"ORD2", 300, {"H40"}, {}, 0}};
  LoadFileSpec b{"LOADF002", "", {}, 0};
  b.subFiles = {{"BOOTB", 200, {"H40"}, {"H40"}, 0}, {"OTHER", 900, {"J40"}, {}, 0}};
  package.loadFiles = {a, b};
  return package;
}

TEST_F(HandlerCopyTest, BootFilesJoinInLoadFileThenSubFileOrder) {
  const PackageSpec package = TwoLoadFiles();
  ASSERT_EQ(Copy(package, ZCU_H40), SR_OK);
  ExpectCard(package, {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
  EXPECT_EQ(g_progress, (std::vector<int>{35, 50, 80, 100}));  // of 2000 bytes
}

TEST_F(HandlerCopyTest, SizeCountsBootTwiceAndProgressEndsAtHundred) {
  PackageSpec package;
  LoadFileSpec l{"LOADF001", "", {}, 0};
  l.subFiles = {{"A", 600, {"H40"}, {}, 0}, {"B", 400, {"H40"}, {}, 0}, {"C", 500, {"H40"}, {"H40"}, 0}};
  package.loadFiles = {l};
  EXPECT_EQ(handler.GetSizeToCopy(ZCU_H40), 0UL);  // nothing read yet
  ASSERT_EQ(Copy(package, ZCU_H40), SR_OK);
  EXPECT_EQ(handler.GetSizeToCopy(ZCU_H40), 2000UL);
  EXPECT_EQ(g_progress, (std::vector<int>{30, 50, 100}));
}

TEST_F(HandlerCopyTest, BootListWithoutDestinationIsCountedButNotCopied) {
  PackageSpec package;
  LoadFileSpec l{"LOADF001", "", {}, 0};
  l.subFiles = {{"A", 500, {"H40"}, {}, 0}, {"ODD", 250, {"J40"}, {"H40"}, 0}, {"NONE", 100, {"J40"}, {}, 0}};
  package.loadFiles = {l};
  ASSERT_EQ(Copy(package, ZCU_H40), SR_OK);
  ExpectCard(package, {"A"}, {});
  EXPECT_EQ(handler.GetSizeToCopy(ZCU_H40), 1000UL);
  EXPECT_EQ(g_progress, std::vector<int>{50});
}

TEST_F(HandlerCopyTest, NothingToCopyLeavesAnEmptyGlobalFolder) {
  const PackageSpec package = TwoLoadFiles();
  ASSERT_EQ(Copy(package, ZCU_QMS), SR_NOTHING_TO_COPY);
  EXPECT_TRUE(pelix::platform::Files().IsFolder(scratch.card + "GLOBAL"));
  EXPECT_EQ(Entries(scratch.card), std::vector<std::string>{"GLOBAL"});
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{});
}

TEST_F(HandlerCopyTest, StaleGlobalFilesAreDeletedFirstAndSubFoldersStay) {
  ::mkdir((scratch.card + "GLOBAL").c_str(), 0755);
  ::mkdir((scratch.card + "GLOBAL/KEEP").c_str(), 0755);
  WriteFile(scratch.card + "GLOBAL/OLD", "old");
  WriteFile(scratch.card + "GLOBAL/LOCKED", "read only");
  ::chmod((scratch.card + "GLOBAL/LOCKED").c_str(), 0444);
  WriteFile(scratch.card + "OUTSIDE", "untouched");
  const PackageSpec package = TwoLoadFiles();
  ASSERT_EQ(Copy(package, ZCU_H40), SR_OK);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), (std::vector<std::string>{"KEEP", "ORD1", "ORD2"}));
  EXPECT_EQ(ReadFile(scratch.card + "OUTSIDE"), "untouched");
}

TEST_F(HandlerCopyTest, DiskSizeBelowTheSizeToCopyWritesNothing) {
  WriteFile(scratch.card + "ZCL", "old");
  ::mkdir((scratch.card + "GLOBAL").c_str(), 0755);
  WriteFile(scratch.card + "GLOBAL/OLD", "old");
  host.diskSize = 1999;
  ASSERT_EQ(Copy(TwoLoadFiles(), ZCU_H40), SR_NO_SPACE);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(scratch.card + "ZCL"), "old");
  EXPECT_TRUE(g_progress.empty());
  const auto asked = host.CallsNamed("GetDiskSize");
  ASSERT_EQ(asked.size(), 1U);
  EXPECT_EQ(asked[0].text, scratch.card);
}

TEST_F(HandlerCopyTest, DiskSizeEqualToTheSizeToCopyIsEnough) {
  host.diskSize = 2000;
  EXPECT_EQ(Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
}

TEST_F(HandlerCopyTest, UninitialisedHandlerTouchesNothing) {
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, RecordProgress), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card), std::vector<std::string>{});
}

TEST_F(HandlerCopyTest, InitFollowsItsFlags) {
  EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FAILED);
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, TwoLoadFiles()));
  // keepPath keeps the card path set before: no package is found there.
  ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.Init(scratch.pkg.c_str(), false, true), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(handler.GetKVO_Path(), scratch.card.c_str());
  EXPECT_EQ(handler.Init(scratch.pkg.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.GetKVO_Path(), scratch.pkg.c_str());
  EXPECT_EQ(handler.Init("elsewhere/", true, true), SR_OK);
  EXPECT_EQ(handler.GetKVO_Path(), scratch.pkg.c_str());
  // Initialised without reading the file-information file: no "FP" yet.
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FAILED);
}

TEST_F(HandlerCopyTest, PackageWithoutPackageObjectFails) {
  WriteFile(scratch.pkg + "KMA0001", "HEADER123456{LF=L;}TRLR");
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card), std::vector<std::string>{});
}

TEST_F(HandlerCopyTest, MissingLoadFileStopsTheCopy) {
  PackageSpec package = TwoLoadFiles();
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
  ::unlink((scratch.pkg + "LOADF002").c_str());
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), (std::vector<std::string>{"ORD1", "ORD2"}));
  EXPECT_FALSE(pelix::platform::Files().Exists(scratch.card + "ZCL"));
}

TEST_F(HandlerCopyTest, MissingLoadFileWithOnlyBootSubFilesIsPassedOver) {
  PackageSpec package;
  LoadFileSpec a{"LOADF001", "", {{"ORD", 100, {"H40"}, {}, 0}}, 0};
  LoadFileSpec b{"LOADF002", "", {{"BOOTX", 100, {"J40"}, {}, 0}}, 0};
  LoadFileSpec c{"LOADF003", "", {{"BOOTC", 50, {"H40"}, {"H40"}, 0}}, 0};
  package.loadFiles = {a, b, c};
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
  ::unlink((scratch.pkg + "LOADF002").c_str());
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
  // LOADF002 holds nothing for H40, but its ordinary pass must open it.
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FILE_OPEN_FAILED);
}

TEST_F(HandlerCopyTest, ShortLastSubFileFailsAndLeavesNoTemporaryCopy) {
  PackageSpec package;
  LoadFileSpec l{"LOADF001", "", {}, 10};
  l.subFiles = {{"FIRST", 3000, {"H40"}, {}, 0}, {"LAST", 2500, {"H40"}, {}, 0}};
  package.loadFiles = {l};
  ASSERT_EQ(Copy(package, ZCU_H40), SR_FAILED);
  EXPECT_TRUE(ReadFile(scratch.card + "GLOBAL/FIRST") == SubFileContent(l.subFiles[0]));
  // LAST is written as far as whole chunks came: 2048 of its 2490 bytes.
  EXPECT_TRUE(ReadFile(scratch.card + "GLOBAL/LAST") == SubFileContent(l.subFiles[1]).substr(0, 2048));
  EXPECT_EQ(Entries(scratch.tmp), std::vector<std::string>{});
  EXPECT_FALSE(pelix::platform::Files().Exists(scratch.card + "ZCL"));
  EXPECT_TRUE(host.userInfo.empty());
}

TEST_F(HandlerCopyTest, NullCallbackTakesNoMessage) {
  FakeQueue queue;
  queue.pending.push_back(MSG{0x0100, 1, 2});
  ASSERT_EQ(Copy(TwoLoadFiles(), ZCU_H40, nullptr), SR_OK);
  EXPECT_EQ(queue.peeks, 0);
  EXPECT_EQ(queue.pending.size(), 1U);
}

TEST_F(HandlerCopyTest, OneMessagePassedOnPerReportAndQuitIsPostedAgain) {
  FakeQueue queue;
  queue.pending = {MSG{0x0100, 0, 0}, MSG{WM_QUIT, 0, 0}, MSG{0x0200, 0, 0}};
  ASSERT_EQ(Copy(TwoLoadFiles(), ZCU_H40), SR_OK);  // the copy goes on after the quit
  EXPECT_EQ(queue.peeks, 4);                        // one per progress report
  EXPECT_EQ(queue.quits, std::vector<int>{-1});
  EXPECT_EQ(queue.offered, (std::vector<unsigned>{0x0100, WM_QUIT, 0x0200}));
  EXPECT_EQ(queue.translated, (std::vector<unsigned>{0x0100, WM_QUIT, 0x0200}));
  EXPECT_EQ(queue.dispatched, queue.translated);
  ExpectCard(TwoLoadFiles(), {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
}

TEST_F(HandlerCopyTest, ConsumedMessageIsNeitherTranslatedNorDispatched) {
  FakeQueue queue;
  queue.consume = true;
  queue.pending = {MSG{0x0100, 0, 0}};
  ASSERT_EQ(Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
  EXPECT_EQ(queue.offered.size(), 1U);
  EXPECT_TRUE(queue.translated.empty());
  EXPECT_TRUE(queue.dispatched.empty());
}

TEST_F(HandlerCopyTest, CardFilesAreFlushedAndDroppedFromTheCacheBeforeComparison) {
  FaultyFileSystem files;
  ASSERT_EQ(Copy(TwoLoadFiles(), ZCU_H40), SR_OK);
  for (const std::string name : {"GLOBAL/ORD1", "GLOBAL/ORD2", "ZCL", "ZCB"}) {
    const std::string path = scratch.card + name;
    EXPECT_NE(std::find(files.droppedPaths.begin(), files.droppedPaths.end(), path), files.droppedPaths.end()) << name;
  }
  EXPECT_GE(files.folderFlushes, 3);  // GLOBAL twice, the card root once
  EXPECT_TRUE(files.open.empty());    // every descriptor closed
}

TEST_F(HandlerCopyTest, BscFormatIsRecognisedByAnFlfEntry) {
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, TwoLoadFiles()));
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.isBscFormat(), 0);
  WriteFile(scratch.pkg + "flf0002", "x");
  EXPECT_EQ(handler.isBscFormat(), 1);
}

TEST_F(HandlerCopyTest, BscPackageReadsLoadFilesFromTheirFlfFiles) {
  PackageSpec package = TwoLoadFiles();
  package.loadFiles[0].fileName = "FLF0003";
  package.loadFiles[1].fileName = "flf0004";
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
  WriteFile(scratch.pkg + "FLF0009", "LOADF00");    // short, names nothing
  ::mkdir((scratch.pkg + "FLFDIR").c_str(), 0755);  // cannot be opened: passed over
  ASSERT_EQ(Copy(package, ZCU_H40), SR_OK);
  ExpectCard(package, {"ORD1", "ORD2"}, {"BOOTA", "BOOTB"});
}

TEST_F(HandlerCopyTest, BscNamesCompareWithLetterCase) {
  PackageSpec package = TwoLoadFiles();
  package.loadFiles[0].fileName = "FLF0003";
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, package));
  WriteFile(scratch.pkg + "FLF0003", std::string("loadf001HDR1") + SubFileContent(package.loadFiles[0].subFiles[0]));
  ASSERT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
  // LOADF001 keeps its name, and no file of that name exists.
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_FILE_OPEN_FAILED);
}

TEST_F(HandlerCopyTest, BundledDemoPackageMatchesTheGenerator) {
  const std::string bundled = std::string(PELIX_SOURCE_DIR) + "/data/package/";
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, pelix::packagegen::DemoPackage()));
  EXPECT_EQ(Entries(bundled), Entries(scratch.pkg));
  for (const auto& name : Entries(scratch.pkg)) {
    EXPECT_TRUE(ReadFile(bundled + name) == ReadFile(scratch.pkg + name)) << name;
  }
  ASSERT_EQ(handler.Init(bundled.c_str(), false, false), SR_OK);
  EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_OK);
  EXPECT_EQ(ReadFile(scratch.card + "ZCL").size(), 4500U);
}

}  // namespace
