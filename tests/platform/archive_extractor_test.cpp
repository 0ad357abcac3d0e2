// The archive extractor: what it unpacks, and what it refuses from hostile
// archives without ever writing outside the target folder.
#include "platform/archive_extractor.h"

#include <archive_entry.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/archive_builder.h"
#include "tests/support/sandbox.h"

namespace {

using pelix::platform::ArchiveExtractor;
using pelix::platform::ExtractionLimits;
using pelix::test::ArchiveBuilder;
using pelix::test::ClaimTarEntrySize;
using pelix::test::Exists;
using pelix::test::FileText;
using pelix::test::PutFile;
using pelix::test::Sandbox;
using pelix::test::SnapshotTree;
using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

std::string CurrentFolder() { return std::filesystem::current_path().string(); }

// A sandbox with an "outside" folder holding a sentinel file; archives go next
// to it and unpack into "out". Everything but "out" must be the same after
// an extraction as before it.
class ArchiveExtractorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(box.Path().empty());
    ASSERT_EQ(mkdir((box / "outside").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((box / "outside/dir").c_str(), 0755), 0);
    ASSERT_TRUE(PutFile(box / "outside/keep.txt", "sentinel"));
    target = box / "out";
  }
  // Call once the archives are made, before extracting.
  void Snapshot() { before = SnapshotTree(box.Path(), "out"); }
  void ExpectOutsideUnchanged() const { EXPECT_EQ(SnapshotTree(box.Path(), "out"), before); }

  int Tar(const std::string& archive) { return extractor.ExtractTar(archive.c_str(), target.c_str()); }
  int Zip(const std::string& archive) { return extractor.ExtractZip(archive.c_str(), target.c_str(), 0); }

  Sandbox box;
  std::string target;
  std::map<std::string, std::string> before;
  ArchiveExtractor extractor;
};

// --- ordinary archives -------------------------------------------------------

TEST_F(ArchiveExtractorTest, GzipTarKeepsFoldersAndContents) {
  const std::string archive = box / "pkg.tgz";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz)
                  .Dir("pkg/")
                  .File("pkg/FLF0001", "file info")
                  .Dir("pkg/sub/")
                  .File("pkg/sub/part.bin", std::string("a\0b", 3))
                  .File("pkg/deep/er/x.txt", "implied folders")
                  .Close());
  const std::string cwd = CurrentFolder();
  ASSERT_EQ(Tar(archive), 1) << extractor.LastError();
  EXPECT_EQ(extractor.LastError(), "");
  EXPECT_EQ(FileText(target + "/pkg/FLF0001"), "file info");
  EXPECT_EQ(FileText(target + "/pkg/sub/part.bin"), std::string("a\0b", 3));
  EXPECT_EQ(FileText(target + "/pkg/deep/er/x.txt"), "implied folders");
  EXPECT_EQ(extractor.BytesWritten(), 9U + 3U + 15U);
  EXPECT_EQ(extractor.EntriesWritten(), 5U);
  EXPECT_EQ(CurrentFolder(), cwd);  // the working folder is given back
}

TEST_F(ArchiveExtractorTest, PlainTarAndZipUnpackAlike) {
  for (const Kind kind : {Kind::kTar, Kind::kZip}) {
    const std::string archive = box / (kind == Kind::kZip ? "p.zip" : "p.tar");
    ASSERT_TRUE(ArchiveBuilder(archive, kind).Dir("d/").File("d/a.txt", "alpha").File("b.txt", "").Close());
    const int result = kind == Kind::kZip ? Zip(archive) : Tar(archive);
    ASSERT_EQ(result, 1) << extractor.LastError();
    EXPECT_EQ(FileText(target + "/d/a.txt"), "alpha");
    EXPECT_TRUE(Exists(target + "/b.txt"));
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, EachCallReadsOnlyItsOwnFormat) {
  ASSERT_TRUE(ArchiveBuilder(box / "a.zip", Kind::kZip).File("x", "1").Close());
  ASSERT_TRUE(ArchiveBuilder(box / "a.tgz", Kind::kTgz).File("x", "1").Close());
  EXPECT_EQ(Tar(box / "a.zip"), 0);
  EXPECT_EQ(Zip(box / "a.tgz"), 0);
  EXPECT_FALSE(Exists(target + "/x"));
}

TEST_F(ArchiveExtractorTest, MissingOrEmptyArgumentsFail) {
  EXPECT_EQ(Tar(box / "missing.tgz"), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("cannot open the archive"));
  EXPECT_EQ(extractor.ExtractTar("", target.c_str()), 0);
  EXPECT_EQ(extractor.ExtractZip(nullptr, target.c_str(), 0), 0);
  ASSERT_TRUE(ArchiveBuilder(box / "a.tar", Kind::kTar).File("x", "1").Close());
  EXPECT_EQ(extractor.ExtractTar((box / "a.tar").c_str(), ""), 0);
  // A folder is not an archive.
  EXPECT_EQ(Tar(box / "outside"), 0);
  // A file of garbage neither.
  ASSERT_TRUE(PutFile(box / "junk.tgz", "this is not an archive at all, not even close......"));
  EXPECT_EQ(Tar(box / "junk.tgz"), 0);
}

TEST_F(ArchiveExtractorTest, RelativeArchiveAndTargetFollowTheWorkingFolder) {
  ASSERT_TRUE(ArchiveBuilder(box / "r.tar", Kind::kTar).File("x.txt", "rel").Close());
  const std::string cwd = CurrentFolder();
  ASSERT_EQ(chdir(box.Path().c_str()), 0);
  const int result = extractor.ExtractTar("r.tar", "rel-out");
  const std::string after = CurrentFolder();
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(result, 1) << extractor.LastError();
  EXPECT_EQ(after, std::filesystem::canonical(box.Path()).string());
  EXPECT_EQ(FileText(box / "rel-out/x.txt"), "rel");
}

TEST_F(ArchiveExtractorTest, PermissionsAreTamedButKept) {
  const std::string archive = box / "perm.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar)
                  .Dir("locked/", 0500)
                  .File("locked/inner.txt", "x", 0)
                  .File("tool", "#!", 04755)
                  .Close());
  ASSERT_EQ(Tar(archive), 1) << extractor.LastError();
  struct stat st {};
  ASSERT_EQ(stat((target + "/locked").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0700, 0700U);  // the owner can still empty it
  ASSERT_EQ(stat((target + "/locked/inner.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0600, 0600U);
  ASSERT_EQ(stat((target + "/tool").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & S_ISUID, 0U);
  EXPECT_EQ(st.st_mode & 0100, 0100U);  // executable bit kept
}

TEST_F(ArchiveExtractorTest, SymlinksAndHardlinksInsideTheTargetAreKept) {
  const std::string archive = box / "links.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar)
                  .File("data.txt", "payload")
                  .Dir("sub/")
                  .Symlink("sub/up", "../data.txt")
                  .Symlink("sub/dot", "./x/./y")
                  .Hardlink("sub/hard", "data.txt")
                  .Close());
  ASSERT_EQ(Tar(archive), 1) << extractor.LastError();
  EXPECT_EQ(FileText(target + "/sub/up"), "payload");
  EXPECT_EQ(std::filesystem::read_symlink(target + "/sub/dot").string(), "./x/./y");
  struct stat a {
  }, b{};
  ASSERT_EQ(stat((target + "/data.txt").c_str(), &a), 0);
  ASSERT_EQ(stat((target + "/sub/hard").c_str(), &b), 0);
  EXPECT_EQ(a.st_ino, b.st_ino);
}

// --- hostile archives --------------------------------------------------------

TEST_F(ArchiveExtractorTest, AbsolutePathIsRefusedAndEarlierEntriesStay) {
  const std::string archive = box / "abs.tar";
  ASSERT_TRUE(
      ArchiveBuilder(archive, Kind::kTar).File("first.txt", "kept").File(box / "outside/evil.txt", "x").Close());
  Snapshot();
  EXPECT_EQ(Tar(archive), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("absolute path"));
  EXPECT_EQ(FileText(target + "/first.txt"), "kept");
  EXPECT_FALSE(Exists(box / "outside/evil.txt"));
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, DotDotEscapesAreRefused) {
  for (const char* name : {"../outside/evil.txt", "a/../../outside/evil.txt", "a/b/../c.txt", ".."}) {
    SCOPED_TRACE(name);
    const std::string archive = box / "dotdot.tar";
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File(name, "x").Close());
    Snapshot();
    EXPECT_EQ(Tar(archive), 0);
    EXPECT_THAT(extractor.LastError(), HasSubstr("'..' in path"));
    ExpectOutsideUnchanged();
    std::filesystem::remove(archive);
  }
}

TEST_F(ArchiveExtractorTest, SymlinkOutsideThenFileThroughItIsRefused) {
  const std::string archive = box / "sym.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).Symlink("link", box / "outside").File("link/evil.txt", "x").Close());
  Snapshot();
  EXPECT_EQ(Tar(archive), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("symlink to an absolute path"));
  EXPECT_FALSE(Exists(target + "/link"));
  EXPECT_FALSE(Exists(box / "outside/evil.txt"));
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, RelativeSymlinksThatEscapeAreRefused) {
  const std::map<std::string, std::string> cases = {
      {"../outside", "pointing outside"},     // one level above the target
      {"sub/../../outside", "after a name"},  // climbs after a name
      {"../../outside", "pointing outside"},  // from sub/: two levels
      {"up/..", "after a name"},              // up may itself be a link to ..
  };
  for (const auto& [link, why] : cases) {
    SCOPED_TRACE(link);
    const std::string archive = box / "rel.tar";
    const std::string name = link == "../outside" ? "l" : "sub/l";
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).Dir("sub/").Symlink("sub/up", "..").Symlink(name, link).Close());
    Snapshot();
    EXPECT_EQ(Tar(archive), 0);
    EXPECT_THAT(extractor.LastError(), HasSubstr(why));
    EXPECT_FALSE(Exists(target + "/" + name));
    ExpectOutsideUnchanged();
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, WritingThroughAPlantedSymlinkIsRefused) {
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_EQ(symlink((box / "outside").c_str(), (target + "/link").c_str()), 0);
  const std::string archive = box / "through.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File("link/evil.txt", "x").Close());
  Snapshot();
  EXPECT_EQ(Tar(archive), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("link/evil.txt"));
  EXPECT_FALSE(Exists(box / "outside/evil.txt"));
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, HardlinksToOutsideFilesAreRefused) {
  const std::map<std::string, std::string> cases = {
      {box / "outside/keep.txt", "absolute path"},
      {"../outside/keep.txt", "'..'"},
      {"missing.txt", "missing file"},
      {"dir", "other than a regular file"},
  };
  for (const auto& [link, why] : cases) {
    SCOPED_TRACE(link);
    const std::string archive = box / "hard.tar";
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).Dir("dir/").Hardlink("h", link).Close());
    Snapshot();
    EXPECT_EQ(Tar(archive), 0);
    EXPECT_THAT(extractor.LastError(), HasSubstr(why));
    EXPECT_FALSE(Exists(target + "/h"));
    ExpectOutsideUnchanged();
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, HardlinksToPlantedFilesOrThroughSymlinksAreRefused) {
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_EQ(link((box / "outside/keep.txt").c_str(), (target + "/planted").c_str()), 0);
  ASSERT_EQ(symlink((box / "outside").c_str(), (target + "/link").c_str()), 0);
  {
    ASSERT_TRUE(ArchiveBuilder(box / "p.tar", Kind::kTar).Hardlink("h", "planted").Close());
    ASSERT_TRUE(ArchiveBuilder(box / "s.tar", Kind::kTar).Hardlink("h", "link/keep.txt").Close());
  }
  before = SnapshotTree(box.Path(), "out");
  before.erase("outside/keep.txt");  // its link count includes the planted link
  auto outside = [&] {
    auto now = SnapshotTree(box.Path(), "out");
    now.erase("outside/keep.txt");
    return now;
  };
  EXPECT_EQ(Tar(box / "p.tar"), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("not from this archive"));
  EXPECT_EQ(Tar(box / "s.tar"), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("through a symlink"));
  EXPECT_FALSE(Exists(target + "/h"));
  EXPECT_EQ(outside(), before);
  EXPECT_EQ(FileText(box / "outside/keep.txt"), "sentinel");
}

TEST_F(ArchiveExtractorTest, APlantedHardlinkIsReplacedNotWrittenThrough) {
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_EQ(link((box / "outside/keep.txt").c_str(), (target + "/data.txt").c_str()), 0);
  ASSERT_TRUE(ArchiveBuilder(box / "over.tar", Kind::kTar).File("data.txt", "new content").Close());
  ASSERT_EQ(Tar(box / "over.tar"), 1) << extractor.LastError();
  EXPECT_EQ(FileText(target + "/data.txt"), "new content");
  EXPECT_EQ(FileText(box / "outside/keep.txt"), "sentinel");
}

TEST_F(ArchiveExtractorTest, DeviceNodesAndFifosAreRefused) {
  const std::map<unsigned, std::string> cases = {
      {AE_IFCHR, "character device"}, {AE_IFBLK, "block device"}, {AE_IFIFO, "FIFO"}};
  for (const auto& [type, why] : cases) {
    SCOPED_TRACE(why);
    const std::string archive = box / "node.tar";
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File("ok.txt", "fine").Special("node", type).Close());
    Snapshot();
    EXPECT_EQ(Tar(archive), 0);
    EXPECT_THAT(extractor.LastError(), HasSubstr(why + " not allowed"));
    EXPECT_FALSE(Exists(target + "/node"));
    EXPECT_EQ(FileText(target + "/ok.txt"), "fine");
    ExpectOutsideUnchanged();
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, GigabyteOfZerosInASmallTgzIsRefusedBeforeWriting) {
  const std::string archive = box / "bomb.tgz";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz).Zeros("zeros.bin", 1ULL << 30).Close());
  // Small enough that the default expansion limit is far below its content.
  ASSERT_LT(std::filesystem::file_size(archive) * extractor.Limits().maxExpansionRatio, 1ULL << 30);
  Snapshot();
  EXPECT_EQ(Tar(archive), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("expansion limit"));
  EXPECT_FALSE(Exists(target + "/zeros.bin"));
  EXPECT_EQ(extractor.BytesWritten(), 0U);
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, ExpansionBudgetCoversAllEntriesTogether) {
  // Three files of 600 KiB zeros compress to almost nothing: the floor of
  // 1 MiB lets one through, the second would pass it.
  const std::string archive = box / "many.tgz";
  ASSERT_TRUE(
      ArchiveBuilder(archive, Kind::kTgz).Zeros("a", 600 << 10).Zeros("b", 600 << 10).Zeros("c", 600 << 10).Close());
  ExtractionLimits limits;
  limits.maxExpansionRatio = 1;
  limits.minAllowedBytes = 1 << 20;
  ArchiveExtractor small(limits);
  EXPECT_EQ(small.ExtractTar(archive.c_str(), target.c_str()), 0);
  EXPECT_THAT(small.LastError(), HasSubstr("'b'"));
  EXPECT_EQ(std::filesystem::file_size(target + "/a"), 600U << 10);
  EXPECT_FALSE(Exists(target + "/b"));
  EXPECT_EQ(small.BytesWritten(), 600U << 10);
  // With room for all three the same archive unpacks.
  limits.minAllowedBytes = 2 << 20;
  ArchiveExtractor enough(limits);
  EXPECT_EQ(enough.ExtractTar(archive.c_str(), (box / "all").c_str()), 1) << enough.LastError();
}

TEST_F(ArchiveExtractorTest, TooManyEntriesAreRefused) {
  const std::string archive = box / "crowd.tgz";
  {
    ArchiveBuilder builder(archive, Kind::kTgz);
    for (int i = 0; i < 5; ++i) builder.File("e" + std::to_string(i), "");
    ASSERT_TRUE(builder.Close());
  }
  ExtractionLimits limits;
  limits.maxEntries = 4;
  ArchiveExtractor few(limits);
  EXPECT_EQ(few.ExtractTar(archive.c_str(), target.c_str()), 0);
  EXPECT_THAT(few.LastError(), HasSubstr("'e4': more entries than the target can take (4)"));
  EXPECT_TRUE(Exists(target + "/e3"));
  EXPECT_EQ(few.EntriesWritten(), 4U);
  limits.maxEntries = 5;
  ArchiveExtractor enough(limits);
  EXPECT_EQ(enough.ExtractTar(archive.c_str(), (box / "all").c_str()), 1) << enough.LastError();
}

TEST_F(ArchiveExtractorTest, ZipThatUnderstatesItsSizesIsStoppedWhileStreaming) {
  // Every size field of the zip claims 10 bytes; the deflated data holds 4 MiB.
  const std::string archive = box / "liar.zip";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kZip).Zeros("z.bin", 4 << 20).Close());
  std::string bytes = FileText(archive);
  const std::string tiny("\x0a\0\0\0", 4);
  int patched = 0;
  for (const auto& [signature, offset] :
       std::map<std::string, size_t>{{"PK\x01\x02", 24}, {"PK\x03\x04", 22}, {"PK\x07\x08", 12}}) {
    for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 4)) {
      if (at + offset + 4 > bytes.size()) continue;
      bytes.replace(at + offset, 4, tiny);
      ++patched;
    }
  }
  ASSERT_GE(patched, 2);
  ASSERT_TRUE(PutFile(archive, bytes));
  ExtractionLimits limits;
  limits.maxExpansionRatio = 1;
  limits.minAllowedBytes = 1 << 20;
  ArchiveExtractor small(limits);
  Snapshot();
  EXPECT_EQ(small.ExtractZip(archive.c_str(), target.c_str(), 0), 0);
  EXPECT_THAT(small.LastError(), HasSubstr("expansion limit"));
  struct stat st {};
  if (stat((target + "/z.bin").c_str(), &st) == 0) {
    EXPECT_LE(st.st_size, 1 << 20);
  }
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, EntryLargerThanTheFreeSpaceIsRefusedFromItsHeader) {
  // The header claims 512 MiB and the data never follows: the size alone decides.
  const std::string archive = box / "huge.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File("small.txt", "s").File("huge.bin", "").Close());
  ASSERT_TRUE(ClaimTarEntrySize(archive, "huge.bin", 512ULL << 20));
  struct statvfs fs {};
  ASSERT_EQ(statvfs(box.Path().c_str(), &fs), 0);
  const std::uint64_t freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  ASSERT_GT(freeBytes, 32ULL << 20);
  ExtractionLimits limits;
  limits.maxExpansionRatio = 1ULL << 40;  // only the free space counts
  limits.reserveBytes = freeBytes - (8ULL << 20);
  ArchiveExtractor tight(limits);
  Snapshot();
  EXPECT_EQ(tight.ExtractTar(archive.c_str(), target.c_str()), 0);
  EXPECT_THAT(tight.LastError(), HasSubstr("free space"));
  EXPECT_EQ(FileText(target + "/small.txt"), "s");
  EXPECT_FALSE(Exists(target + "/huge.bin"));
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, TruncatedGzipStreamFails) {
  const std::string archive = box / "cut.tgz";
  std::string noise;
  std::uint32_t state = 2463534242U;
  for (int i = 0; i < (2 << 20); ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    noise += static_cast<char>(state);
  }
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz).File("first.txt", "whole").File("big.bin", noise).Close());
  const auto size = std::filesystem::file_size(archive);
  std::filesystem::resize_file(archive, size / 2);
  Snapshot();
  EXPECT_EQ(Tar(archive), 0);
  EXPECT_THAT(extractor.LastError(), HasSubstr("damaged"));
  EXPECT_EQ(FileText(target + "/first.txt"), "whole");
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, ZipWithABadCentralDirectoryFails) {
  const std::string archive = box / "bad.zip";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kZip).File("a.txt", "alpha").File("b.txt", "beta").Close());
  std::string bytes = FileText(archive);
  const size_t central = bytes.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  bytes.replace(central, 4, "XXXX");
  ASSERT_TRUE(PutFile(archive, bytes));
  Snapshot();
  EXPECT_EQ(Zip(archive), 0);
  EXPECT_NE(extractor.LastError(), "");
  ExpectOutsideUnchanged();
}

TEST_F(ArchiveExtractorTest, ZipCutInsideItsEntriesFails) {
  const std::string archive = box / "cut.zip";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kZip).File("a.txt", std::string(5000, 'a')).Close());
  std::filesystem::resize_file(archive, 100);
  Snapshot();
  EXPECT_EQ(Zip(archive), 0);
  ExpectOutsideUnchanged();
}

}  // namespace
