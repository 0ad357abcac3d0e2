// Copying a package file into the "KVO_SW" temporary folder and clearing
// package folders again, including folders that hostile archives left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pelix/tolva_sw_handler.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_host.h"
#include "tests/support/sandbox.h"
#include "tests/swload/swload_support.h"

namespace {

using pelix::test::ArchiveBuilder;
using pelix::test::Exists;
using pelix::test::FaultyFileSystem;
using pelix::test::FileText;
using pelix::test::PutFile;
using pelix::test::RecordingHost;
using pelix::test::Scratch;
using pelix::test::SnapshotTree;
using Kind = ArchiveBuilder::Kind;

class PackageCopyTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PutFile(source, "package bytes")); }

  std::vector<std::string> ScopeNames(const RecordingHost& host) const {
    std::vector<std::string> names;
    for (const auto& call : host.CallsNamed("StoreEnter")) names.push_back(call.text);
    return names;
  }

  Scratch scratch;
  CTolva_SW_Handler handler;
  const std::string source = scratch.pkg + "pkg.tgz";
  const std::string kvo = scratch.tmp + "KVO_SW";
};

TEST_F(PackageCopyTest, CopiesIntoTheKvoFolderOfTheTemporaryFolder) {
  CString copied("unchanged");
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  EXPECT_EQ(copied, kvo + "/pkg.tgz");
  EXPECT_EQ(FileText(kvo + "/pkg.tgz"), "package bytes");
  EXPECT_EQ(FileText(source), "package bytes");
}

TEST_F(PackageCopyTest, CopyingTwiceClearsTheFolderFirst) {
  CString copied;
  ASSERT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  ASSERT_TRUE(PutFile(kvo + "/stale.txt", "old"));
  ASSERT_EQ(mkdir((kvo + "/old").c_str(), 0755), 0);
  RecordingHost host;
  host.handlerExists = true;
  CString again;
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), again), 1);
  EXPECT_EQ(again, kvo + "/pkg.tgz");
  EXPECT_FALSE(Exists(kvo + "/stale.txt"));
  EXPECT_FALSE(Exists(kvo + "/old"));
  const std::vector<std::string> scopes = {"CTolva_SW_Handler::Copy_KVO_Package()",
                                           "CTolva_SW_Handler::clear_KVO_Package()",
                                           "CTolva_SW_Handler::clear_KVO_Package()"};
  EXPECT_EQ(ScopeNames(host), scopes);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST_F(PackageCopyTest, SourceWithoutSeparatorKeepsItsWholeTextAsName) {
  const std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(scratch.pkg.c_str()), 0);
  CString copied;
  const int result = handler.Copy_KVO_Package(CString("pkg.tgz"), copied);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(copied, kvo + "/pkg.tgz");
  EXPECT_EQ(FileText(kvo + "/pkg.tgz"), "package bytes");
}

TEST_F(PackageCopyTest, MissingSourceFolderSourceOrNoNameFail) {
  for (const std::string& bad : {scratch.pkg + "missing.tgz", scratch.root + "pkg", scratch.pkg, std::string("")}) {
    SCOPED_TRACE(bad);
    CString copied("unchanged");
    EXPECT_EQ(handler.Copy_KVO_Package(CString(bad), copied), 0);
    EXPECT_EQ(copied, "unchanged");
  }
  EXPECT_TRUE(pelix::test::Entries(kvo).empty());  // the folder was still made fresh
}

TEST_F(PackageCopyTest, AFailedWriteLeavesNoPartialCopy) {
  FaultyFileSystem files;
  files.noSpaceWriteAt = 1;
  CString copied("unchanged");
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 0);
  EXPECT_EQ(copied, "unchanged");
  EXPECT_FALSE(Exists(kvo + "/pkg.tgz"));
}

TEST_F(PackageCopyTest, LargeFilesAreCopiedWhole) {
  std::string big(3 * 256 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 1000);
  ASSERT_TRUE(PutFile(source, big));
  CString copied;
  ASSERT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  EXPECT_EQ(FileText(copied.str()), big);
}

TEST_F(PackageCopyTest, APlantedKvoSymlinkIsRemovedNotFollowed) {
  const std::string elsewhere = scratch.root + "elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
  ASSERT_TRUE(PutFile(elsewhere + "/precious.txt", "keep me"));
  ASSERT_EQ(symlink(elsewhere.c_str(), kvo.c_str()), 0);
  const auto before = SnapshotTree(elsewhere);
  CString copied;
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  EXPECT_EQ(SnapshotTree(elsewhere), before);
  struct stat st {};
  ASSERT_EQ(lstat(kvo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(FileText(kvo + "/pkg.tgz"), "package bytes");
}

// --- clearing ----------------------------------------------------------------

TEST_F(PackageCopyTest, ClearRemovesNestedFoldersDepthFirstThenTheFolder) {
  const std::string top = scratch.root + "unpacked";
  std::filesystem::create_directories(top + "/a/b");
  ASSERT_TRUE(PutFile(top + "/f0", "0"));
  ASSERT_TRUE(PutFile(top + "/a/f1", "1"));
  ASSERT_TRUE(PutFile(top + "/a/b/f2", "2"));
  ASSERT_EQ(chmod((top + "/a/b/f2").c_str(), 0444), 0);
  RecordingHost host;
  host.handlerExists = true;
  handler.clear_KVO_Package(CString(top));
  EXPECT_FALSE(Exists(top));
  // Each folder's scope closes only after the scopes of the folders inside it.
  std::vector<std::string> order;
  for (const auto& name : host.Names()) {
    if (name == "StoreEnter" || name == "StoreReturn") order.push_back(name);
  }
  const std::vector<std::string> nested = {"StoreEnter",  "StoreEnter",  "StoreEnter",
                                           "StoreReturn", "StoreReturn", "StoreReturn"};
  EXPECT_EQ(order, nested);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST_F(PackageCopyTest, ClearTakesThePackagePathWithItsTrailingSeparator) {
  const std::string top = scratch.root + "pkgdir/";
  std::filesystem::create_directories(top + "x");
  ASSERT_TRUE(PutFile(top + "x/y", "y"));
  handler.clear_KVO_Package(CString(top));
  EXPECT_FALSE(Exists(scratch.root + "pkgdir"));
}

TEST_F(PackageCopyTest, ClearDeletesSymlinksButNotWhatTheyPointAt) {
  const std::string elsewhere = scratch.root + "elsewhere";
  std::filesystem::create_directories(elsewhere + "/sub");
  ASSERT_TRUE(PutFile(elsewhere + "/sub/precious.txt", "keep me"));
  ASSERT_EQ(chmod((elsewhere + "/sub/precious.txt").c_str(), 0444), 0);
  const std::string top = scratch.root + "unpacked";
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), (top + "/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((elsewhere + "/sub/precious.txt").c_str(), (top + "/filelink").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent/dangling", (top + "/dangling").c_str()), 0);
  const auto before = SnapshotTree(elsewhere);
  handler.clear_KVO_Package(CString(top));
  EXPECT_FALSE(Exists(top));
  EXPECT_EQ(SnapshotTree(elsewhere), before);
  // A folder given as a symlink loses the link only.
  const std::string link = scratch.root + "link";
  ASSERT_EQ(symlink(elsewhere.c_str(), link.c_str()), 0);
  handler.clear_KVO_Package(CString(link + "/"));
  EXPECT_FALSE(Exists(link));
  EXPECT_EQ(SnapshotTree(elsewhere), before);
}

class RefusingRemove : public FaultyFileSystem {
 public:
  bool Remove(const std::string& path) override {
    if (path.find("stuck") != std::string::npos) return false;
    return FaultyFileSystem::Remove(path);
  }
};

TEST_F(PackageCopyTest, AnEntryThatCannotBeDeletedLeavesTheRestDeleted) {
  const std::string top = scratch.root + "unpacked";
  std::filesystem::create_directories(top + "/a");
  ASSERT_TRUE(PutFile(top + "/a/stuck.bin", "s"));
  ASSERT_TRUE(PutFile(top + "/a/gone.bin", "g"));
  ASSERT_TRUE(PutFile(top + "/gone2.bin", "g"));
  RecordingHost host;
  host.handlerExists = true;
  {
    RefusingRemove files;
    handler.clear_KVO_Package(CString(top));
  }
  EXPECT_TRUE(Exists(top + "/a/stuck.bin"));
  EXPECT_FALSE(Exists(top + "/a/gone.bin"));
  EXPECT_FALSE(Exists(top + "/gone2.bin"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
}

// --- the whole road ----------------------------------------------------------

TEST_F(PackageCopyTest, CopyUnpackFindAndClearAgain) {
  ASSERT_TRUE(ArchiveBuilder(source, Kind::kTgz).File("FLF0001", "info").File("LOADF001", "load").Close());
  CString copied;
  ASSERT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  const LoadableZCU_Type kind = ZCU_H40;
  ASSERT_EQ(handler.Decompress_KVO_Package(copied, kind), 1);
  EXPECT_EQ(handler.GetKVO_Path(), kvo + "/pkg/");
  EXPECT_EQ(FileText(kvo + "/pkg/LOADF001"), "load");
  handler.clear_KVO_Package(CString(kvo));
  EXPECT_FALSE(Exists(kvo));
  EXPECT_TRUE(Exists(source));
}

}  // namespace
