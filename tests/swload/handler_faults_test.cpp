// Faults injected through the file-system seam during a flash card copy:
// each gives its result code, the user message where one is due, and never
// leaves a temporary copy or an open descriptor behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pelix/tolva_sw_handler.h"
#include "tests/support/recording_host.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using pelix::packagegen::LoadFileSpec;
using pelix::packagegen::PackageSpec;
using pelix::test::Entries;
using pelix::test::FaultyFileSystem;
using pelix::test::RecordingHost;
using pelix::test::Scratch;

const char* const kWriteError =
    "An error occurred while writing files to the Flash Card!   \r\nPlease try again.\r\n\r\n"
    "If the problem reoccurs, replace the Flash Card.";

// One load file: a J40-only sub-file (skipped for H40), two ordinary
// sub-files of 5000 bytes (3 chunks each) and one boot sub-file.
PackageSpec Package() {
  PackageSpec package;
  LoadFileSpec l{"LOADF001", "", {}, 0};
  l.subFiles = {{"SKIP", 100, {"J40"}, {}, 0},
                {"ORD1", 5000, {"H40"}, {}, 0},
                {"ORD2", 5000, {"H40"}, {}, 0},
                {"BOOT", 3000, {"H40"}, {"H40"}, 0}};
  package.loadFiles = {l};
  return package;
}

class HandlerFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, Package()));
    ASSERT_EQ(handler.Init(scratch.pkg.c_str(), false, false), SR_OK);
  }
  ServiceResult Copy() { return handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr); }
  void ExpectClean() {
    EXPECT_EQ(Entries(scratch.tmp), std::vector<std::string>{});
    EXPECT_TRUE(files.open.empty()) << files.open.size() << " descriptors left open";
  }

  Scratch scratch;
  RecordingHost host;
  CTolva_SW_Handler handler;
  FaultyFileSystem files;
};

TEST_F(HandlerFaultTest, NoFaultCopiesEverything) {
  EXPECT_EQ(Copy(), SR_OK);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), (std::vector<std::string>{"ORD1", "ORD2"}));
  EXPECT_TRUE(host.userInfo.empty());
  ExpectClean();
}

TEST_F(HandlerFaultTest, ShortReadFails) {
  // Reads so far: the file-information file (2). Then the load file header
  // and the first chunk of ORD1.
  files.reads = 0;
  files.shortReadAt = 3;
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{"ORD1"});
  EXPECT_FALSE(std::filesystem::exists(scratch.card + "ZCL"));
  EXPECT_TRUE(host.userInfo.empty());
  ExpectClean();
}

TEST_F(HandlerFaultTest, ShortReadInBootSubFileFails) {
  files.reads = 0;
  files.shortReadAt = 1000000;
  EXPECT_EQ(Copy(), SR_OK);
  const int readsOfGoodCopy = files.reads;
  // The last chunk reads of the boot sub-file come just before the checksum
  // reads of ZCB and ZCL (2 each: data, then end of file).
  Scratch again;
  ASSERT_TRUE(pelix::packagegen::WritePackage(again.pkg, Package()));
  CTolva_SW_Handler second;
  ASSERT_EQ(second.Init(again.pkg.c_str(), false, false), SR_OK);
  files.reads = 0;
  files.shortReadAt = readsOfGoodCopy - 4;
  EXPECT_EQ(second.CopyFilesToFlashCard(again.card.c_str(), ZCU_H40, nullptr), SR_FAILED);
  EXPECT_EQ(Entries(again.card + "GLOBAL"), (std::vector<std::string>{"ORD1", "ORD2"}));
  EXPECT_LT(std::filesystem::file_size(again.card + "ZCL"), 3000U);
  EXPECT_EQ(Entries(again.tmp), std::vector<std::string>{});
}

TEST_F(HandlerFaultTest, ShortWriteFails) {
  files.shortWriteAt = 2;  // the first chunk of ORD1 into its temporary copy
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_TRUE(host.userInfo.empty());
  ExpectClean();
}

TEST_F(HandlerFaultTest, FullDiskFails) {
  files.noSpaceWriteAt = 5;  // ORD1's third chunk to the card
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{"ORD1"});
  ExpectClean();
}

TEST_F(HandlerFaultTest, FullDiskWhileWritingBootFilesFails) {
  files.noSpaceWriteAt = 13;  // after ORD1 and ORD2 (6 writes each), the card ZCL
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), (std::vector<std::string>{"ORD1", "ORD2"}));
  EXPECT_TRUE(std::filesystem::exists(scratch.card + "ZCL"));
  ExpectClean();
}

TEST_F(HandlerFaultTest, FailedFlushOfCardFileFails) {
  files.failFlushAt = 1;
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{"ORD1"});
  ExpectClean();
}

TEST_F(HandlerFaultTest, FailedFlushOfBootFilesFails) {
  files.failFlushAt = 5;  // ORD1 and ORD2 flush card and temporary copy; then ZCL
  EXPECT_EQ(Copy(), SR_FAILED);
  ExpectClean();
}

TEST_F(HandlerFaultTest, FailedFolderFlushFails) {
  files.failFlushFolderAt = 1;
  EXPECT_EQ(Copy(), SR_FAILED);
  ExpectClean();
}

TEST_F(HandlerFaultTest, FailedSeekOverAnUnwantedSubFileFails) {
  files.seeks = 0;
  files.failSeekAt = 1;  // the Tell before skipping SKIP
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{});
  ExpectClean();
}

TEST_F(HandlerFaultTest, FailedCloseOfCardFileFails) {
  files.closes = 0;
  files.failCloseAt = 1;  // ORD1 on the card
  EXPECT_EQ(Copy(), SR_FAILED);
  ExpectClean();
}

TEST_F(HandlerFaultTest, CardCorruptionIsFoundByTheChecksum) {
  files.corruptWritesUnder = scratch.card + "GLOBAL/";
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(host.userInfo, std::vector<std::string>{kWriteError});
  const auto shown = host.CallsNamed("DisplayUserInfo");
  ASSERT_EQ(shown.size(), 1U);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{"ORD1"});
  ExpectClean();
}

TEST_F(HandlerFaultTest, BootFileCorruptionIsFoundByTheChecksum) {
  files.corruptWritesUnder = scratch.card + "ZCB";
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(host.userInfo, std::vector<std::string>{kWriteError});  // ZCB is compared first, once
  ExpectClean();
}

TEST_F(HandlerFaultTest, CardFolderRemovedMidCopy) {
  const std::string global = scratch.card + "GLOBAL";
  files.afterWrite = [&](int count) {
    if (count == 3) {
      std::error_code error;
      std::filesystem::remove_all(global, error);
    }
  };
  // Flushing the vanished folder fails before any comparison; the copy stops.
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_FALSE(std::filesystem::exists(global));
  EXPECT_FALSE(std::filesystem::exists(scratch.card + "ZCL"));
  ExpectClean();
}

TEST_F(HandlerFaultTest, CardFileRemovedBeforeItsChecksum) {
  const std::string card = scratch.card + "GLOBAL/ORD1";
  files.afterWrite = [&](int count) {
    if (count == 6) std::filesystem::remove(card);  // after ORD1's last chunk
  };
  // The card file's checksum cannot be computed: the user is told.
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(host.userInfo, std::vector<std::string>{kWriteError});
  ExpectClean();
}

TEST_F(HandlerFaultTest, CardFileThatCannotBeCreatedStopsTheCopy) {
  files.failOpenContaining = "GLOBAL/ORD2";
  EXPECT_EQ(Copy(), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), std::vector<std::string>{"ORD1"});
  ExpectClean();
}

TEST_F(HandlerFaultTest, TemporaryFileThatCannotBeCreatedStopsTheCopy) {
  files.failOpenContaining = scratch.tmp + "ORD1";
  EXPECT_EQ(Copy(), SR_FILE_OPEN_FAILED);
  ExpectClean();
}

TEST_F(HandlerFaultTest, BootFileThatCannotBeCreatedFails) {
  files.failOpenContaining = scratch.tmp + "ZCB";
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_EQ(Entries(scratch.card + "GLOBAL"), (std::vector<std::string>{"ORD1", "ORD2"}));
  ExpectClean();
}

TEST_F(HandlerFaultTest, FaultsAreNotReportedToTheErrorServices) {
  host.handlerExists = true;
  files.corruptWritesUnder = scratch.card;
  EXPECT_EQ(Copy(), SR_FAILED);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(host.CallsNamed("StoreEnter").size(), host.CallsNamed("StoreReturn").size());
}

TEST_F(HandlerFaultTest, EveryFaultPositionIsSurvived) {
  // Walk a short read of the load file, a short write and a failed flush over
  // every position the copy reaches: never OK, never a temporary file left,
  // never a descriptor left open.
  Scratch base;
  ASSERT_TRUE(pelix::packagegen::WritePackage(base.pkg, Package()));
  for (int fault = 0; fault < 3; ++fault) {
    for (int at = 1; at <= 24; ++at) {
      std::error_code error;
      std::filesystem::remove_all(base.card, error);
      std::filesystem::create_directory(base.card, error);
      CTolva_SW_Handler copy;
      ASSERT_EQ(copy.Init(base.pkg.c_str(), false, false), SR_OK);
      files.reads = files.writes = files.flushes = 0;
      files.countReadsOf = "LOADF001";
      files.shortReadAt = fault == 0 ? at : 0;
      files.shortWriteAt = fault == 1 ? at : 0;
      files.failFlushAt = fault == 2 ? at : 0;
      const ServiceResult result = copy.CopyFilesToFlashCard(base.card.c_str(), ZCU_H40, nullptr);
      const bool reached = (fault == 0 && files.reads >= at) || (fault == 1 && files.writes >= at) ||
                           (fault == 2 && files.flushes >= at);
      if (reached) {
        EXPECT_NE(result, SR_OK) << "fault " << fault << " at " << at;
      }
      EXPECT_EQ(Entries(base.tmp), std::vector<std::string>{}) << "fault " << fault << " at " << at;
      EXPECT_TRUE(files.open.empty());
    }
  }
}

}  // namespace
