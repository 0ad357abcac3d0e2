// Unpacking package archives: archive kinds, the entries that lead on
// ("SW_PACKAGE", nested archives, "FLF"), nesting limits and hostile archives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
using pelix::test::FileText;
using pelix::test::RecordingHost;
using pelix::test::Scratch;
using pelix::test::SnapshotTree;
using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

class PackageArchiveTest : public testing::Test {
 protected:
  // Unpacks `path` for `kind`; the path text may be changed by the call.
  int Decompress(const std::string& path, LoadableZCU_Type kind = ZCU_H40) {
    CString archive(path);
    return handler.Decompress_KVO_Package(archive, kind);
  }
  std::string PackagePath() { return handler.GetKVO_Path().str(); }
  // The names in a folder, in the order the file system lists them.
  static std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  Scratch scratch;
  CTolva_SW_Handler handler;
};

TEST_F(PackageArchiveTest, PackageFilesInATgzBecomeThePackagePath) {
  const std::string archive = scratch.pkg + "pkg.tgz";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz)
                  .File("FLF0001", "info")
                  .File("LOADF001", "load")
                  .Dir("sub/")
                  .File("sub/part", "p")
                  .Close());
  EXPECT_EQ(PackagePath(), "");
  EXPECT_EQ(Decompress(archive), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "pkg/");
  EXPECT_EQ(FileText(scratch.pkg + "pkg/LOADF001"), "load");
  EXPECT_EQ(FileText(scratch.pkg + "pkg/sub/part"), "p");
  struct stat st {};
  ASSERT_EQ(stat((scratch.pkg + "pkg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755U);
}

TEST_F(PackageArchiveTest, TgzHoldingATarHoldingTheFlfFolder) {
  const std::string inner = scratch.root + "inner.tar";
  ASSERT_TRUE(ArchiveBuilder(inner, Kind::kTar).Dir("FLF/").File("FLF/FLF0001", "info").Close());
  const std::string outer = scratch.pkg + "outer.tgz";
  ASSERT_TRUE(ArchiveBuilder(outer, Kind::kTgz).FileFrom("inner.tar", inner).Close());
  EXPECT_EQ(Decompress(outer), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "outer/inner/");
  EXPECT_EQ(FileText(scratch.pkg + "outer/inner/FLF/FLF0001"), "info");
}

TEST_F(PackageArchiveTest, NestedArchiveNamesEndingInCapitalsAreFoundButTheirKindIsNot) {
  // ".TAR" leads on (names compared without case); its kind "TAR" then is not one of ours.
  const std::string inner = scratch.root + "inner.tar";
  ASSERT_TRUE(ArchiveBuilder(inner, Kind::kTar).File("FLF0001", "info").Close());
  const std::string outer = scratch.pkg + "outer.tgz";
  ASSERT_TRUE(ArchiveBuilder(outer, Kind::kTgz).FileFrom("INNER.TAR", inner).Close());
  EXPECT_EQ(Decompress(outer), 0);
  EXPECT_EQ(PackagePath(), "");
  EXPECT_TRUE(Exists(scratch.pkg + "outer/INNER"));  // made before the kind was read
}

class SwPackageTest : public PackageArchiveTest {
 protected:
  void SetUp() override {
    const std::string g5 = scratch.root + "g5.tgz";
    const std::string g7 = scratch.root + "g7.tgz";
    ASSERT_TRUE(ArchiveBuilder(g5, Kind::kTgz).File("FLF0005", "five").Close());
    ASSERT_TRUE(ArchiveBuilder(g7, Kind::kTgz).File("flf0007", "seven").Close());
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz)
                    .Dir("SW_PACKAGE/")
                    .FileFrom("SW_PACKAGE/g5x.tgz", g5)
                    .FileFrom("SW_PACKAGE/G7Y.TGZ", g7)
                    .FileFrom("SW_PACKAGE/g7z.tgz", g7)
                    .Close());
  }
  const std::string archive = scratch.pkg + "bundle.tgz";
  const std::string swPackage = scratch.pkg + "bundle/SW_PACKAGE/";
};

TEST_F(SwPackageTest, EveryKindButAllTakesTheG5SubPackage) {
  for (const LoadableZCU_Type kind : {ZCU_H40, ZCU_J40, ZCU_H50, ZCU_QMS, ZCU_H30, ZCU_ALL_BUT_WB}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Decompress(archive, kind), 1);
    EXPECT_EQ(PackagePath(), swPackage + "g5x/");
    EXPECT_EQ(FileText(swPackage + "g5x/FLF0005"), "five");
    EXPECT_FALSE(Exists(swPackage + "G7Y"));
    EXPECT_FALSE(Exists(swPackage + "g7z"));
  }
}

TEST_F(SwPackageTest, KindAllTakesTheFirstG7EntryTheListingReturns) {
  // G7Y.TGZ and g7z.tgz both begin with "g7" without regard to case; the
  // listing decides which comes first. G7Y.TGZ then fails on its kind "TGZ".
  const std::vector<std::string> names = [&] {
    EXPECT_EQ(Decompress(archive, ZCU_H40), 1);  // unpacks the folder so it can be listed
    return Listing(swPackage);
  }();
  std::string first;
  for (const std::string& name : names) {
    if (name == "G7Y.TGZ" || name == "g7z.tgz") {
      first = name;
      break;
    }
  }
  ASSERT_FALSE(first.empty());
  CTolva_SW_Handler fresh;
  CString path(archive);
  const LoadableZCU_Type all = ZCU_ALL;
  const int result = fresh.Decompress_KVO_Package(path, all);
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
}

TEST_F(PackageArchiveTest, SwPackageWithoutASubPackageForTheKindSucceedsWithoutAPath) {
  const std::string archive = scratch.pkg + "only5.tgz";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz).Dir("sw_package/").File("sw_package/g5.txt", "x").Close());
  EXPECT_EQ(Decompress(archive, ZCU_ALL), 1);
  EXPECT_EQ(PackagePath(), "");
}

TEST_F(PackageArchiveTest, ZipIsUnpackedButCapitalZipIsNotAKind) {
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "a.zip", Kind::kZip).File("FLF0001", "z").Close());
  std::filesystem::copy_file(scratch.pkg + "a.zip", scratch.pkg + "B.ZIP");
  EXPECT_EQ(Decompress(scratch.pkg + "B.ZIP"), 0);
  EXPECT_EQ(PackagePath(), "");
  EXPECT_FALSE(Exists(scratch.pkg + "B/FLF0001"));
  EXPECT_EQ(Decompress(scratch.pkg + "a.zip"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "a/");
  EXPECT_EQ(FileText(scratch.pkg + "a/FLF0001"), "z");
}

TEST_F(PackageArchiveTest, PlainTarIsUnpacked) {
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "p.tar", Kind::kTar).File("FLF", "t").Close());
  EXPECT_EQ(Decompress(scratch.pkg + "p.tar"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "p/");
}

TEST_F(PackageArchiveTest, ArchiveWithoutEntriesThatMatterLeavesThePathAlone) {
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "first.tgz", Kind::kTgz).File("FLF1", "1").Close());
  ASSERT_EQ(Decompress(scratch.pkg + "first.tgz"), 1);
  ASSERT_EQ(PackagePath(), scratch.pkg + "first/");
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "plain.tgz", Kind::kTgz)
                  .Dir("pkg/")
                  .File("pkg/FLF0001", "not at the top")
                  .File("readme.txt", "r")
                  .File("x.tgz.bak", "")
                  .Close());
  EXPECT_EQ(Decompress(scratch.pkg + "plain.tgz"), 1);
  EXPECT_EQ(PackagePath(), scratch.pkg + "first/");
  EXPECT_EQ(FileText(scratch.pkg + "plain/readme.txt"), "r");
}

TEST_F(PackageArchiveTest, EmptyPathUnknownKindAndNoKindGiveZero) {
  EXPECT_EQ(Decompress(""), 0);
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "p.rar", Kind::kTgz).File("FLF", "x").Close());
  EXPECT_EQ(Decompress(scratch.pkg + "p.rar"), 0);
  EXPECT_TRUE(Exists(scratch.pkg + "p"));  // the folder is made before the kind is read
  EXPECT_FALSE(Exists(scratch.pkg + "p/FLF"));
  // No "." in the file name (only in a folder name): nothing is made.
  ASSERT_EQ(mkdir((scratch.root + "dir.d").c_str(), 0755), 0);
  ASSERT_TRUE(ArchiveBuilder(scratch.root + "dir.d/archive", Kind::kTgz).File("FLF", "x").Close());
  const auto before = SnapshotTree(scratch.root);
  EXPECT_EQ(Decompress(scratch.root + "dir.d/archive"), 0);
  EXPECT_EQ(SnapshotTree(scratch.root), before);
  EXPECT_EQ(PackagePath(), "");
}

TEST_F(PackageArchiveTest, MissingOrBrokenArchiveGivesZeroWithATraceLine) {
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(scratch.pkg + "missing.tgz"), 0);
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("missing.tgz not unpacked: cannot open the archive"));
  // Nothing goes to the error services.
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
}

TEST_F(PackageArchiveTest, NestedArchiveThatFailsGivesZero) {
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "outer.tgz", Kind::kTgz)
                  .File("broken.tgz", "not gzip at all")
                  .File("readme.txt", "leads nowhere")
                  .Close());
  EXPECT_EQ(Decompress(scratch.pkg + "outer.tgz"), 0);
  EXPECT_EQ(PackagePath(), "");
}

TEST_F(PackageArchiveTest, TheEntryListedFirstDecidesBetweenFlfAndANestedArchive) {
  const std::string inner = scratch.root + "inner.tar";
  ASSERT_TRUE(ArchiveBuilder(inner, Kind::kTar).File("FLF0002", "inner").Close());
  const std::string outer = scratch.pkg + "both.tgz";
  ASSERT_TRUE(ArchiveBuilder(outer, Kind::kTgz).File("flf1ab", "top").FileFrom("inner.tar", inner).Close());
  EXPECT_EQ(Decompress(outer), 1);
  std::string first;
  for (const std::string& name : Listing(scratch.pkg + "both")) {
    if (name == "flf1ab" || name == "inner.tar") {
      first = name;
      break;
    }
  }
  if (first == "flf1ab") {
    EXPECT_EQ(PackagePath(), scratch.pkg + "both/");
    EXPECT_FALSE(Exists(scratch.pkg + "both/inner"));
  } else {
    ASSERT_EQ(first, "inner.tar");
    EXPECT_EQ(PackagePath(), scratch.pkg + "both/inner/");
  }
}

// A chain of `levels` archives all named p.tgz, the innermost holding FLF0001.
std::string MakeChain(const Scratch& scratch, int levels) {
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
  const std::string top = scratch.pkg + "p.tgz";
  std::filesystem::copy_file(previous, top);
  return top;
}

TEST_F(PackageArchiveTest, EightArchivesInsideOneAnotherAreUnpacked) {
  const std::string top = MakeChain(scratch, 8);
  ASSERT_FALSE(top.empty());
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(top), 1);
  std::string expected = scratch.pkg + "p/";
  for (int i = 1; i < 8; ++i) expected += "p/";
  EXPECT_EQ(PackagePath(), expected);
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  EXPECT_EQ(std::count(scopes.begin(), scopes.end(), "CTolva_SW_Handler::Decompress_KVO_Package()"), 8);
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), host.CallsNamed("StoreEnter").size());
}

TEST_F(PackageArchiveTest, ANinthArchiveInsideTheOthersEndsTheUnpacking) {
  const std::string top = MakeChain(scratch, 9);
  ASSERT_FALSE(top.empty());
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(top), 0);
  EXPECT_EQ(PackagePath(), "");
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("deeper than 8 archives"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  // The handler is usable afterwards: the nesting count was given back.
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "ok.tgz", Kind::kTgz).File("FLF9", "x").Close());
  EXPECT_EQ(Decompress(scratch.pkg + "ok.tgz"), 1);
}

TEST_F(PackageArchiveTest, HostileNestedArchiveIsRefusedWithItsReasonTraced) {
  const std::string evil = scratch.root + "evil.tar";
  ASSERT_TRUE(ArchiveBuilder(evil, Kind::kTar).File("../../escaped.txt", "x").Close());
  ASSERT_TRUE(ArchiveBuilder(scratch.pkg + "outer.tgz", Kind::kTgz).FileFrom("evil.tar", evil).Close());
  const auto before = SnapshotTree(scratch.root, "pkg");
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(scratch.pkg + "outer.tgz"), 0);
  EXPECT_EQ(SnapshotTree(scratch.root, "pkg"), before);
  EXPECT_FALSE(Exists(scratch.pkg + "escaped.txt"));
  const auto traces = host.Texts("StoreError", 7);
  ASSERT_EQ(traces.size(), 1U);
  EXPECT_THAT(traces[0], HasSubstr("evil.tar not unpacked: refused entry '../../escaped.txt'"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST_F(PackageArchiveTest, ScopesOpenAndCloseAroundEveryCall) {
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(""), 0);
  EXPECT_EQ(handler.GetKVO_Path(), "");
  const std::vector<std::string> expected = {"ErrorHandlerExists",  "StoreEnter",         "IncreaseLevel",
                                             "GetErrorHandlerType", "ErrorHandlerExists", "StoreReturn",
                                             "DecreaseLevel",       "GetErrorHandlerType"};
  std::vector<std::string> twice = expected;
  twice.insert(twice.end(), expected.begin(), expected.end());
  EXPECT_EQ(host.Names(), twice);
  const auto entered = host.CallsNamed("StoreEnter");
  ASSERT_EQ(entered.size(), 2U);
  EXPECT_EQ(entered[0].text, "CTolva_SW_Handler::Decompress_KVO_Package()");
  EXPECT_EQ(entered[1].text, "CTolva_SW_Handler::GetKVO_Path()");
}

}  // namespace
