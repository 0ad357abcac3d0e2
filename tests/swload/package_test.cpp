// Package archives and folders: unpacking archives (the entries that lead on,
// nesting limits, hostile archives), copying a package file into the "KVO_SW"
// temporary folder, and clearing package folders again.
#include <gmock/gmock.h>
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

using namespace pelix::test;

using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

// Unpacks `path` for `kind` with `handler`; the path text may be changed by the call.
int Decompress(CTolva_SW_Handler& handler, const std::string& path, LoadableZCU_Type kind = ZCU_H40) {
  CString archive(path);
  return handler.Decompress_KVO_Package(archive, kind);
}

// Builds an archive of the kind its name ends in (".zip", ".tar", else tgz)
// from entries: a name ending in "/" is a folder, content "@path" copies the
// file at path, anything else is the file's content.
bool Make(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  const std::string tail = path.substr(path.size() - 4);
  ArchiveBuilder builder(path, tail == ".zip" ? Kind::kZip : tail == ".tar" ? Kind::kTar : Kind::kTgz);
  for (const auto& [name, content] : entries) {
    if (name.back() == '/') {
      builder.Dir(name);
    } else if (!content.empty() && content[0] == '@') {
      builder.FileFrom(name, content.substr(1));
    } else {
      builder.File(name, content);
    }
  }
  return builder.Close();
}

// Which of a and b the file system lists first in folder; empty when neither.
std::string FirstListed(const std::string& folder, const std::string& a, const std::string& b) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == a || name == b) return name;
  }
  return "";
}

class PackageArchiveTest : public testing::Test {
 protected:
  int Decompress(const std::string& path, LoadableZCU_Type kind = ZCU_H40) { return ::Decompress(handler, path, kind); }
  std::string PackagePath() { return handler.GetKVO_Path().str(); }

  Scratch scratch;
  CTolva_SW_Handler handler;
};

TEST_F(PackageArchiveTest, PackageFilesInATgzBecomeThePackagePath) {
  const std::string archive = scratch.pkg + "pkg.tgz";
  ASSERT_TRUE(Make(archive, {{"FLF0001", "info"}, {"LOADF001", "load"}, {"sub/", ""}, {"sub/part", "p"}}));
  EXPECT_EQ(PackagePath(), "");
  EXPECT_EQ(Decompress(archive), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "pkg/");
  EXPECT_EQ(FileText(scratch.pkg + "pkg/LOADF001"), "load");
  EXPECT_EQ(FileText(scratch.pkg + "pkg/sub/part"), "p");
  struct stat st {};
  ASSERT_EQ(stat((scratch.pkg + "pkg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755U);
}

TEST_F(PackageArchiveTest, NestedArchivesLeadOnByNameButOnlyLowerCaseKindsUnpack) {
  const std::string inner = scratch.root + "inner.tar";
  ASSERT_TRUE(Make(inner, {{"FLF/", ""}, {"FLF/FLF0001", "info"}}));
  ASSERT_TRUE(Make(scratch.pkg + "outer.tgz", {{"inner.tar", "@" + inner}}));
  EXPECT_EQ(Decompress(scratch.pkg + "outer.tgz"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "outer/inner/");
  EXPECT_EQ(FileText(scratch.pkg + "outer/inner/FLF/FLF0001"), "info");

  // ".TAR" leads on (names compared without case); its kind "TAR" then is not one of ours.
  CTolva_SW_Handler fresh;
  ASSERT_TRUE(Make(scratch.pkg + "caps.tgz", {{"INNER.TAR", "@" + inner}}));
  EXPECT_EQ(::Decompress(fresh, scratch.pkg + "caps.tgz"), 0);
  EXPECT_EQ(fresh.GetKVO_Path(), "");
  EXPECT_TRUE(Exists(scratch.pkg + "caps/INNER"));  // made before the kind was read
}

TEST_F(PackageArchiveTest, SwPackageLeadsToTheSubPackageOfTheKind) {
  const std::string g5 = scratch.root + "g5.tgz", g7 = scratch.root + "g7.tgz";
  const std::string archive = scratch.pkg + "bundle.tgz", swPackage = scratch.pkg + "bundle/SW_PACKAGE/";
  ASSERT_TRUE(Make(g5, {{"FLF0005", "five"}}));
  ASSERT_TRUE(Make(g7, {{"flf0007", "seven"}}));
  ASSERT_TRUE(Make(archive, {{"SW_PACKAGE/", ""},
                             {"SW_PACKAGE/g5x.tgz", "@" + g5},
                             {"SW_PACKAGE/G7Y.TGZ", "@" + g7},
                             {"SW_PACKAGE/g7z.tgz", "@" + g7}}));
  for (const LoadableZCU_Type kind : {ZCU_H40, ZCU_J40, ZCU_H50, ZCU_QMS, ZCU_H30, ZCU_ALL_BUT_WB}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Decompress(archive, kind), 1);
    EXPECT_EQ(PackagePath(), swPackage + "g5x/");
    EXPECT_EQ(FileText(swPackage + "g5x/FLF0005"), "five");
    EXPECT_FALSE(Exists(swPackage + "G7Y"));
    EXPECT_FALSE(Exists(swPackage + "g7z"));
  }

  // ZCU_ALL takes the first entry beginning with "g7" without regard to
  // case; the listing decides which. G7Y.TGZ then fails on its kind "TGZ".
  const std::string first = FirstListed(swPackage, "G7Y.TGZ", "g7z.tgz");
  ASSERT_FALSE(first.empty());
  CTolva_SW_Handler fresh;
  const int result = ::Decompress(fresh, archive, ZCU_ALL);
  if (first == "G7Y.TGZ") {
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Exists(swPackage + "G7Y"));
    EXPECT_EQ(fresh.GetKVO_Path(), "");
  } else {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(fresh.GetKVO_Path(), swPackage + "g7z/");
    EXPECT_EQ(FileText(swPackage + "g7z/flf0007"), "seven");
  }
  EXPECT_FALSE(Exists(swPackage + (first == "G7Y.TGZ" ? "g7z" : "G7Y")));

  // Without a sub-package for the kind: success without a path.
  CTolva_SW_Handler none;
  ASSERT_TRUE(Make(scratch.pkg + "only5.tgz", {{"sw_package/", ""}, {"sw_package/g5.txt", "x"}}));
  EXPECT_EQ(::Decompress(none, scratch.pkg + "only5.tgz", ZCU_ALL), 1);
  EXPECT_EQ(none.GetKVO_Path(), "");
}

TEST_F(PackageArchiveTest, ZipAndTarAreUnpackedButCapitalZipIsNotAKind) {
  ASSERT_TRUE(Make(scratch.pkg + "a.zip", {{"FLF0001", "z"}}));
  std::filesystem::copy_file(scratch.pkg + "a.zip", scratch.pkg + "B.ZIP");
  EXPECT_EQ(Decompress(scratch.pkg + "B.ZIP"), 0);
  EXPECT_EQ(PackagePath(), "");
  EXPECT_FALSE(Exists(scratch.pkg + "B/FLF0001"));
  EXPECT_EQ(Decompress(scratch.pkg + "a.zip"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "a/");
  EXPECT_EQ(FileText(scratch.pkg + "a/FLF0001"), "z");
  ASSERT_TRUE(Make(scratch.pkg + "p.tar", {{"FLF", "t"}}));
  EXPECT_EQ(Decompress(scratch.pkg + "p.tar"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "p/");
}

TEST_F(PackageArchiveTest, ArchiveWithoutEntriesThatMatterLeavesThePathAlone) {
  ASSERT_TRUE(Make(scratch.pkg + "first.tgz", {{"FLF1", "1"}}));
  ASSERT_EQ(Decompress(scratch.pkg + "first.tgz"), 1);
  ASSERT_EQ(PackagePath(), scratch.pkg + "first/");
  ASSERT_TRUE(Make(scratch.pkg + "plain.tgz",
                   {{"pkg/", ""}, {"pkg/FLF0001", "not at the top"}, {"readme.txt", "r"}, {"x.tgz.bak", ""}}));
  EXPECT_EQ(Decompress(scratch.pkg + "plain.tgz"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "first/");
  EXPECT_EQ(FileText(scratch.pkg + "plain/readme.txt"), "r");
}

TEST_F(PackageArchiveTest, EmptyPathUnknownKindAndNoKindGiveZero) {
  EXPECT_EQ(Decompress(""), 0);
  ASSERT_TRUE(Make(scratch.pkg + "p.rar", {{"FLF", "x"}}));
  EXPECT_EQ(Decompress(scratch.pkg + "p.rar"), 0);
  EXPECT_TRUE(Exists(scratch.pkg + "p"));  // the folder is made before the kind is read
  EXPECT_FALSE(Exists(scratch.pkg + "p/FLF"));
  // No "." in the file name (only in a folder name): nothing is made.
  ASSERT_EQ(mkdir((scratch.root + "dir.d").c_str(), 0755), 0);
  ASSERT_TRUE(Make(scratch.root + "dir.d/archive", {{"FLF", "x"}}));
  const auto before = SnapshotTree(scratch.root);
  EXPECT_EQ(Decompress(scratch.root + "dir.d/archive"), 0);
  EXPECT_EQ(SnapshotTree(scratch.root), before);
  EXPECT_EQ(PackagePath(), "");
}

TEST_F(PackageArchiveTest, MissingOrBrokenArchiveGivesZeroWithATraceLine) {
  HandlerHost host;
  EXPECT_EQ(Decompress(scratch.pkg + "missing.tgz"), 0);
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("missing.tgz not unpacked: cannot open the archive"));
  // Nothing goes to the error services.
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
}

TEST_F(PackageArchiveTest, NestedArchiveThatFailsGivesZero) {
  ASSERT_TRUE(Make(scratch.pkg + "outer.tgz", {{"broken.tgz", "not gzip at all"}, {"readme.txt", "leads nowhere"}}));
  EXPECT_EQ(Decompress(scratch.pkg + "outer.tgz"), 0);
  EXPECT_EQ(PackagePath(), "");
}

TEST_F(PackageArchiveTest, TheEntryListedFirstDecidesBetweenFlfAndANestedArchive) {
  const std::string inner = scratch.root + "inner.tar";
  ASSERT_TRUE(Make(inner, {{"FLF0002", "inner"}}));
  const std::string outer = scratch.pkg + "both.tgz";
  ASSERT_TRUE(Make(outer, {{"flf1ab", "top"}, {"inner.tar", "@" + inner}}));
  EXPECT_EQ(Decompress(outer), 1);
  const std::string first = FirstListed(scratch.pkg + "both", "flf1ab", "inner.tar");
  if (first == "flf1ab") {
    EXPECT_EQ(PackagePath(), scratch.pkg + "both/");
    EXPECT_FALSE(Exists(scratch.pkg + "both/inner"));
  } else {
    ASSERT_EQ(first, "inner.tar");
    EXPECT_EQ(PackagePath(), scratch.pkg + "both/inner/");
  }
}

// A chain of `levels` archives all named p.tgz, the innermost holding FLF0001,
// in its own folder below the scratch root.
std::string MakeChain(const Scratch& scratch, int levels) {
  const std::string folder = scratch.root + "chain" + std::to_string(levels) + "/";
  std::filesystem::create_directories(folder);
  std::string previous;
  for (int i = 0; i < levels; ++i) {
    const std::string path = scratch.root + "chain" + std::to_string(i) + ".tgz";
    ArchiveBuilder builder(path, Kind::kTgz);
    if (previous.empty()) {
      builder.File("FLF0001", "bottom");
    } else {
      builder.FileFrom("p.tgz", previous);
    }
    if (!builder.Close()) return "";
    previous = path;
  }
  std::filesystem::copy_file(previous, folder + "p.tgz");
  return folder + "p.tgz";
}

TEST_F(PackageArchiveTest, EightArchivesInsideOneAnotherAreUnpackedANinthIsNot) {
  const std::string eight = MakeChain(scratch, 8);
  ASSERT_FALSE(eight.empty());
  {
    HandlerHost host;
    EXPECT_EQ(Decompress(eight), 1);
    std::string expected = scratch.root + "chain8/p/";
    for (int i = 1; i < 8; ++i) expected += "p/";
    EXPECT_EQ(PackagePath(), expected);
    const auto scopes = pelix::test::ScopeNames(host);
    EXPECT_EQ(std::count(scopes.begin(), scopes.end(), "CTolva_SW_Handler::Decompress_KVO_Package()"), 8);
    EXPECT_EQ(host.CallsNamed("StoreReturn").size(), scopes.size());
  }
  const std::string nine = MakeChain(scratch, 9);
  ASSERT_FALSE(nine.empty());
  HandlerHost host;
  CTolva_SW_Handler fresh;
  EXPECT_EQ(::Decompress(fresh, nine), 0);
  EXPECT_EQ(fresh.GetKVO_Path(), "");
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("deeper than 8 archives"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  // The handler is usable afterwards: the nesting count was given back.
  ASSERT_TRUE(Make(scratch.pkg + "ok.tgz", {{"FLF9", "x"}}));
  EXPECT_EQ(::Decompress(fresh, scratch.pkg + "ok.tgz"), 1);
}

TEST_F(PackageArchiveTest, HostileNestedArchiveIsRefusedWithItsReasonTraced) {
  const std::string evil = scratch.root + "evil.tar";
  ASSERT_TRUE(Make(evil, {{"../../escaped.txt", "x"}}));
  ASSERT_TRUE(Make(scratch.pkg + "outer.tgz", {{"evil.tar", "@" + evil}}));
  const auto before = SnapshotTree(scratch.root, "pkg");
  HandlerHost host;
  EXPECT_EQ(Decompress(scratch.pkg + "outer.tgz"), 0);
  EXPECT_EQ(SnapshotTree(scratch.root, "pkg"), before);
  EXPECT_FALSE(Exists(scratch.pkg + "escaped.txt"));
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("evil.tar not unpacked: refused entry '../../escaped.txt'"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST_F(PackageArchiveTest, ScopesOpenAndCloseAroundEveryCall) {
  HandlerHost host;
  EXPECT_EQ(Decompress(""), 0);
  EXPECT_EQ(handler.GetKVO_Path(), "");
  const std::vector<std::string> expected = {"ErrorHandlerExists",  "StoreEnter",         "IncreaseLevel",
                                             "GetErrorHandlerType", "ErrorHandlerExists", "StoreReturn",
                                             "DecreaseLevel",       "GetErrorHandlerType"};
  std::vector<std::string> twice = expected;
  twice.insert(twice.end(), expected.begin(), expected.end());
  EXPECT_EQ(host.Names(), twice);
  EXPECT_EQ(pelix::test::ScopeNames(host), (std::vector<std::string>{"CTolva_SW_Handler::Decompress_KVO_Package()",
                                                                     "CTolva_SW_Handler::GetKVO_Path()"}));
}

class PackageCopyTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PutFile(source, "package bytes")); }

  pelix::test::Scratch scratch;
  CTolva_SW_Handler handler;
  const std::string source = scratch.pkg + "pkg.tgz";
  const std::string kvo = scratch.tmp + "KVO_SW";
};

TEST_F(PackageCopyTest, CopiesIntoTheKvoFolderClearingItFirst) {
  CString copied("unchanged");
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  EXPECT_EQ(copied, kvo + "/pkg.tgz");
  EXPECT_EQ(FileText(kvo + "/pkg.tgz"), "package bytes");
  EXPECT_EQ(FileText(source), "package bytes");
  ASSERT_TRUE(PutFile(kvo + "/stale.txt", "old"));
  ASSERT_EQ(mkdir((kvo + "/old").c_str(), 0755), 0);
  HandlerHost host;
  CString again;
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), again), 1);
  EXPECT_EQ(again, kvo + "/pkg.tgz");
  EXPECT_FALSE(Exists(kvo + "/stale.txt"));
  EXPECT_FALSE(Exists(kvo + "/old"));
  const std::vector<std::string> scopes = {"CTolva_SW_Handler::Copy_KVO_Package()",
                                           "CTolva_SW_Handler::clear_KVO_Package()",
                                           "CTolva_SW_Handler::clear_KVO_Package()"};
  EXPECT_EQ(pelix::test::ScopeNames(host), scopes);
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

TEST_F(PackageCopyTest, MissingSourceFolderSourceNoNameOrAFailedWriteFail) {
  for (const std::string& bad : {scratch.pkg + "missing.tgz", scratch.root + "pkg", scratch.pkg, std::string("")}) {
    SCOPED_TRACE(bad);
    CString copied("unchanged");
    EXPECT_EQ(handler.Copy_KVO_Package(CString(bad), copied), 0);
    EXPECT_EQ(copied, "unchanged");
  }
  EXPECT_TRUE(pelix::test::Entries(kvo).empty());  // the folder was still made fresh
  // A failed write leaves no partial copy.
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
  for (const std::string separator : {"", "/"}) {  // with or without a trailing separator
    SCOPED_TRACE(separator);
    const std::string top = scratch.root + "unpacked";
    std::filesystem::create_directories(top + "/a/b");
    ASSERT_TRUE(PutFile(top + "/f0", "0"));
    ASSERT_TRUE(PutFile(top + "/a/f1", "1"));
    ASSERT_TRUE(PutFile(top + "/a/b/f2", "2"));
    ASSERT_EQ(chmod((top + "/a/b/f2").c_str(), 0444), 0);
    HandlerHost host;
    handler.clear_KVO_Package(CString(top + separator));
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
    return path.find("stuck") == std::string::npos && FaultyFileSystem::Remove(path);
  }
};

TEST_F(PackageCopyTest, AnEntryThatCannotBeDeletedLeavesTheRestDeleted) {
  const std::string top = scratch.root + "unpacked";
  std::filesystem::create_directories(top + "/a");
  ASSERT_TRUE(PutFile(top + "/a/stuck.bin", "s"));
  ASSERT_TRUE(PutFile(top + "/a/gone.bin", "g"));
  ASSERT_TRUE(PutFile(top + "/gone2.bin", "g"));
  HandlerHost host;
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

TEST_F(PackageCopyTest, CopyUnpackFindAndClearAgain) {
  ASSERT_TRUE(
      ArchiveBuilder(source, ArchiveBuilder::Kind::kTgz).File("FLF0001", "info").File("LOADF001", "load").Close());
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
