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
#include <random>
#include <string>

#include "tests/support/archive_builder.h"
#include "tests/support/sandbox.h"

namespace {

using pelix::platform::ArchiveExtractor;
using pelix::platform::ExtractionLimits;
using pelix::test::ArchiveBuilder;
using pelix::test::Exists;
using pelix::test::FileText;
using pelix::test::PutFile;
using pelix::test::SnapshotTree;
using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

std::string CurrentFolder() { return std::filesystem::current_path().string(); }

// The mode bits of path (0 when it cannot be read).
unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode : 0U;
}

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

  int Tar(const std::string& archive) { return extractor.ExtractTar(archive.c_str(), target.c_str()); }
  int Zip(const std::string& archive) { return extractor.ExtractZip(archive.c_str(), target.c_str(), 0); }

  // Extracts the made archive with `with` (Tar unless zip), expects a refusal
  // whose reason holds `why` (or any reason when `why` is empty), and nothing
  // outside the target changed.
  void ExpectRefused(const std::string& archive, const std::string& why, ArchiveExtractor* with = nullptr,
                     bool zip = false) {
    ArchiveExtractor& ex = with != nullptr ? *with : extractor;
    const auto before = SnapshotTree(box.Path(), "out");
    EXPECT_EQ(zip ? ex.ExtractZip(archive.c_str(), target.c_str(), 0) : ex.ExtractTar(archive.c_str(), target.c_str()),
              0);
    if (why.empty()) {
      EXPECT_NE(ex.LastError(), "");
    } else {
      EXPECT_THAT(ex.LastError(), HasSubstr(why));
    }
    EXPECT_EQ(SnapshotTree(box.Path(), "out"), before);
  }

  // Limits with the given expansion ratio and floor.
  static ExtractionLimits Limits(std::uint64_t ratio, std::uint64_t floor) {
    ExtractionLimits limits;
    limits.maxExpansionRatio = ratio;
    limits.minAllowedBytes = floor;
    return limits;
  }

  pelix::test::Sandbox box;
  std::string target;
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

TEST_F(ArchiveExtractorTest, PlainTarAndZipUnpackAlikeAndEachCallReadsOnlyItsOwnFormat) {
  for (const Kind kind : {Kind::kTar, Kind::kZip}) {
    const std::string archive = box / (kind == Kind::kZip ? "p.zip" : "p.tar");
    ASSERT_TRUE(ArchiveBuilder(archive, kind).Dir("d/").File("d/a.txt", "alpha").File("b.txt", "").Close());
    EXPECT_EQ(kind == Kind::kZip ? Tar(archive) : Zip(archive), 0);
    EXPECT_FALSE(Exists(target + "/b.txt"));
    ASSERT_EQ(kind == Kind::kZip ? Zip(archive) : Tar(archive), 1) << extractor.LastError();
    EXPECT_EQ(FileText(target + "/d/a.txt"), "alpha");
    EXPECT_TRUE(Exists(target + "/b.txt"));
    std::filesystem::remove_all(target);
  }
  ASSERT_TRUE(ArchiveBuilder(box / "a.tgz", Kind::kTgz).File("x", "1").Close());
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
  EXPECT_EQ(Tar(box / "outside"), 0);  // a folder is not an archive
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

TEST_F(ArchiveExtractorTest, PermissionsAreTamedButKeptAndLinksInsideTheTargetAreKept) {
  const std::string archive = box / "perm.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar)
                  .Dir("locked/", 0500)
                  .File("locked/inner.txt", "x", 0)
                  .File("tool", "#!", 04755)
                  .File("data.txt", "payload")
                  .Dir("sub/")
                  .Symlink("sub/up", "../data.txt")
                  .Symlink("sub/dot", "./x/./y")
                  .Hardlink("sub/hard", "data.txt")
                  .Close());
  ASSERT_EQ(Tar(archive), 1) << extractor.LastError();
  EXPECT_EQ(ModeOf(target + "/locked") & 0700, 0700U);  // the owner can still empty it
  EXPECT_EQ(ModeOf(target + "/locked/inner.txt") & 0600, 0600U);
  EXPECT_EQ(ModeOf(target + "/tool") & (S_ISUID | 0100), 0100U);  // executable bit kept, set-user-id dropped
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
  ExpectRefused(archive, "absolute path");
  EXPECT_EQ(FileText(target + "/first.txt"), "kept");
}

TEST_F(ArchiveExtractorTest, DotDotEscapesAreRefused) {
  for (const char* name : {"../outside/evil.txt", "a/../../outside/evil.txt", "a/b/../c.txt", ".."}) {
    SCOPED_TRACE(name);
    const std::string archive = box / "dotdot.tar";
    ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File(name, "x").Close());
    ExpectRefused(archive, "'..' in path");
    std::filesystem::remove(archive);
  }
}

TEST_F(ArchiveExtractorTest, SymlinkOutsideThenFileThroughItIsRefused) {
  const std::string archive = box / "sym.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).Symlink("link", box / "outside").File("link/evil.txt", "x").Close());
  ExpectRefused(archive, "symlink to an absolute path");
  EXPECT_FALSE(Exists(target + "/link"));
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
    ExpectRefused(archive, why);
    EXPECT_FALSE(Exists(target + "/" + name));
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, WritingThroughAPlantedSymlinkIsRefused) {
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_EQ(symlink((box / "outside").c_str(), (target + "/link").c_str()), 0);
  const std::string archive = box / "through.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File("link/evil.txt", "x").Close());
  ExpectRefused(archive, "link/evil.txt");
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
    ExpectRefused(archive, why);
    EXPECT_FALSE(Exists(target + "/h"));
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, HardlinksToPlantedFilesOrThroughSymlinksAreRefused) {
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  ASSERT_EQ(link((box / "outside/keep.txt").c_str(), (target + "/planted").c_str()), 0);
  ASSERT_EQ(symlink((box / "outside").c_str(), (target + "/link").c_str()), 0);
  ASSERT_TRUE(ArchiveBuilder(box / "p.tar", Kind::kTar).Hardlink("h", "planted").Close());
  ASSERT_TRUE(ArchiveBuilder(box / "s.tar", Kind::kTar).Hardlink("h", "link/keep.txt").Close());
  // The snapshots ExpectRefused compares hold keep.txt's content and link count.
  ExpectRefused(box / "p.tar", "not from this archive");
  ExpectRefused(box / "s.tar", "through a symlink");
  EXPECT_FALSE(Exists(target + "/h"));
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
    ExpectRefused(archive, why + " not allowed");
    EXPECT_FALSE(Exists(target + "/node"));
    EXPECT_EQ(FileText(target + "/ok.txt"), "fine");
    std::filesystem::remove_all(target);
  }
}

TEST_F(ArchiveExtractorTest, GigabyteOfZerosInASmallTgzIsRefusedBeforeWriting) {
  const std::string archive = box / "bomb.tgz";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz).Zeros("zeros.bin", 1ULL << 30).Close());
  // Small enough that the default expansion limit is far below its content.
  ASSERT_LT(std::filesystem::file_size(archive) * extractor.Limits().maxExpansionRatio, 1ULL << 30);
  ExpectRefused(archive, "expansion limit");
  EXPECT_FALSE(Exists(target + "/zeros.bin"));
  EXPECT_EQ(extractor.BytesWritten(), 0U);
}

TEST_F(ArchiveExtractorTest, ExpansionBudgetCoversAllEntriesTogether) {
  // Three files of 600 KiB zeros compress to almost nothing: the floor of
  // 1 MiB lets one through, the second would pass it.
  const std::string archive = box / "many.tgz";
  ASSERT_TRUE(
      ArchiveBuilder(archive, Kind::kTgz).Zeros("a", 600 << 10).Zeros("b", 600 << 10).Zeros("c", 600 << 10).Close());
  ArchiveExtractor small(Limits(1, 1 << 20));
  ExpectRefused(archive, "'b'", &small);
  EXPECT_EQ(std::filesystem::file_size(target + "/a"), 600U << 10);
  EXPECT_FALSE(Exists(target + "/b"));
  EXPECT_EQ(small.BytesWritten(), 600U << 10);
  // With room for all three the same archive unpacks.
  ArchiveExtractor enough(Limits(1, 2 << 20));
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
  ExpectRefused(archive, "'e4': more entries than the target can take (4)", &few);
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
  int patched = 0;
  for (const auto& [signature, offset] :
       std::map<std::string, size_t>{{"PK\x01\x02", 24}, {"PK\x03\x04", 22}, {"PK\x07\x08", 12}}) {
    for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 4)) {
      if (at + offset + 4 > bytes.size()) continue;
      bytes.replace(at + offset, 4, std::string("\x0a\0\0\0", 4));
      ++patched;
    }
  }
  ASSERT_GE(patched, 2);
  ASSERT_TRUE(PutFile(archive, bytes));
  ArchiveExtractor small(Limits(1, 1 << 20));
  ExpectRefused(archive, "expansion limit", &small, true);
  struct stat st {};
  if (stat((target + "/z.bin").c_str(), &st) == 0) {
    EXPECT_LE(st.st_size, 1 << 20);
  }
}

TEST_F(ArchiveExtractorTest, EntryLargerThanTheFreeSpaceIsRefusedFromItsHeader) {
  // The header claims 512 MiB and the data never follows: the size alone decides.
  const std::string archive = box / "huge.tar";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTar).File("small.txt", "s").File("huge.bin", "").Close());
  ASSERT_TRUE(pelix::test::ClaimTarEntrySize(archive, "huge.bin", 512ULL << 20));
  struct statvfs fs {};
  ASSERT_EQ(statvfs(box.Path().c_str(), &fs), 0);
  const std::uint64_t freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  ASSERT_GT(freeBytes, 32ULL << 20);
  ExtractionLimits limits = Limits(1ULL << 40, ExtractionLimits().minAllowedBytes);  // only the free space counts
  limits.reserveBytes = freeBytes - (8ULL << 20);
  ArchiveExtractor tight(limits);
  ExpectRefused(archive, "free space", &tight);
  EXPECT_EQ(FileText(target + "/small.txt"), "s");
  EXPECT_FALSE(Exists(target + "/huge.bin"));
}

TEST_F(ArchiveExtractorTest, TruncatedGzipStreamFails) {
  const std::string archive = box / "cut.tgz";
  std::mt19937 random(7);
  std::string noise(2 << 20, '\0');  // does not compress
  for (char& c : noise) c = static_cast<char>(random());
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kTgz).File("first.txt", "whole").File("big.bin", noise).Close());
  std::filesystem::resize_file(archive, std::filesystem::file_size(archive) / 2);
  ExpectRefused(archive, "damaged");
  EXPECT_EQ(FileText(target + "/first.txt"), "whole");
}

TEST_F(ArchiveExtractorTest, ZipWithABadCentralDirectoryFails) {
  const std::string archive = box / "bad.zip";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kZip).File("a.txt", "alpha").File("b.txt", "beta").Close());
  std::string bytes = FileText(archive);
  const size_t central = bytes.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  bytes.replace(central, 4, "XXXX");
  ASSERT_TRUE(PutFile(archive, bytes));
  ExpectRefused(archive, "", nullptr, true);
}

TEST_F(ArchiveExtractorTest, ZipCutInsideItsEntriesFails) {
  const std::string archive = box / "cut.zip";
  ASSERT_TRUE(ArchiveBuilder(archive, Kind::kZip).File("a.txt", std::string(5000, 'a')).Close());
  std::filesystem::resize_file(archive, 100);
  ExpectRefused(archive, "", nullptr, true);
}

}  // namespace
