// The archive extractor: what it unpacks, what it refuses from hostile or
// damaged archives without ever writing outside the target folder.
#include "platform/archive_extractor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <functional>
#include <random>
#include <tuple>

#include "tests/support/archive_builder.h"

namespace {

using namespace pelix::test;
using pelix::platform::ArchiveExtractor;
using pelix::platform::ExtractionLimits;
using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

ExtractionLimits Limits(std::uint64_t ratio, std::uint64_t floor, std::uint64_t entries = 100000) {
  ExtractionLimits limits;
  std::tie(limits.maxExpansionRatio, limits.minAllowedBytes, limits.maxEntries) = std::tuple(ratio, floor, entries);
  return limits;
}

// A scratch folder with an "outside" folder and a sentinel file; archives go
// beside it and unpack into "out". Nothing but "out" may change.
class ArchiveExtractorTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(box.root + "outside/dir"), PutFile(box.root + "outside/keep.txt", "sentinel");
  }
  int Extract(const std::string& archive, ArchiveExtractor& with) {
    const bool zip = archive.size() > 4 && archive.substr(archive.size() - 4) == ".zip";
    return zip ? with.ExtractZip(archive.c_str(), out.c_str(), 0) : with.ExtractTar(archive.c_str(), out.c_str());
  }
  // Expects a refusal whose reason holds `why`, and nothing outside "out" changed.
  void ExpectRefused(const std::string& archive, const std::string& why, ArchiveExtractor* with = nullptr) {
    ArchiveExtractor& ex = with != nullptr ? *with : extractor;
    const auto before = Snapshot(box.root, out + "/");
    EXPECT_EQ(Extract(box.root + archive, ex), 0);
    EXPECT_THAT(ex.LastError(), HasSubstr(why));
    EXPECT_EQ(Snapshot(box.root, out + "/"), before);
  }
  Scratch box;
  std::string out = box.root + "out";
  ArchiveExtractor extractor;
};

TEST_F(ArchiveExtractorTest, UnpacksEachFormatWithItsFoldersAndTamedPermissions) {
  const std::string cwd = fs::current_path();
  const auto perms = [&](const char* name, int mask) {
    return static_cast<int>(fs::status(out + name).permissions()) & mask;
  };
  for (const auto& [kind, name] : {std::pair{Kind::kTgz, "p.tgz"}, {Kind::kTar, "p.tar"}, {Kind::kZip, "p.zip"}}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(ArchiveBuilder(box.root + name, kind)
                    .Dir("pkg/")
                    .File("pkg/part.bin", std::string("a\0b", 3))
                    .File("pkg/deep/er/x.txt", "implied folders")
                    .Dir("locked/", 0500)
                    .File("locked/inner.txt", "x", 0)
                    .File("tool", "#!", 04755)
                    .Symlink("pkg/up", "../tool")
                    .Symlink("pkg/dot", "./x/./y")
                    .Close());
    ASSERT_EQ(Extract(box.root + name, extractor), 1) << extractor.LastError();
    EXPECT_EQ(extractor.LastError(), "");
    EXPECT_EQ(FileText(out + "/pkg/part.bin") + FileText(out + "/pkg/deep/er/x.txt") + FileText(out + "/pkg/up"),
              std::string("a\0b", 3) + "implied folders#!");
    EXPECT_EQ(fs::read_symlink(out + "/pkg/dot"), "./x/./y");
    EXPECT_EQ(std::pair(extractor.BytesWritten(), extractor.EntriesWritten()), std::pair(3UL + 15 + 1 + 2, 8UL));
    // The owner can empty every folder and read every file; no set-user-ID.
    EXPECT_EQ(std::tuple(perms("/locked", 0700), perms("/locked/inner.txt", 0600), perms("/tool", 04100)),
              std::tuple(0700, 0600, 0100));
    EXPECT_EQ(fs::current_path(), cwd);
    fs::remove_all(out);
  }
  // A hardlink joins a file of the same archive.
  ASSERT_TRUE(ArchiveBuilder(box.root + "h.tar", Kind::kTar).File("data", "payload").Hardlink("hard", "data").Close());
  ASSERT_EQ(Extract(box.root + "h.tar", extractor), 1) << extractor.LastError();
  EXPECT_TRUE(fs::equivalent(out + "/data", out + "/hard"));
  // Relative paths follow the working folder; a planted hardlink is replaced, not written through.
  link((box.root + "outside/keep.txt").c_str(), (out + "/data").c_str());
  fs::current_path(box.root);
  EXPECT_EQ(extractor.ExtractTar("h.tar", "out"), 1);
  fs::current_path(cwd);
  EXPECT_EQ(FileText(box.root + "outside/keep.txt"), "sentinel");
}

TEST_F(ArchiveExtractorTest, BadArgumentsAndDamagedArchivesFail) {
  std::mt19937 random(7);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  ASSERT_TRUE(ArchiveBuilder(box.root + "cut.tgz", Kind::kTgz).File("first.txt", "whole").File("big", noise).Close());
  fs::resize_file(box.root + "cut.tgz", fs::file_size(box.root + "cut.tgz") / 2);
  ASSERT_TRUE(ArchiveBuilder(box.root + "cd.zip", Kind::kZip).File("a.txt", "alpha").File("b.txt", "beta").Close());
  std::string bytes = FileText(box.root + "cd.zip");
  PutFile(box.root + "cd.zip", bytes.replace(bytes.find("PK\x01\x02"), 4, "XXXX"));
  ASSERT_TRUE(ArchiveBuilder(box.root + "cut.zip", Kind::kZip).File("a.txt", std::string(5000, 'a')).Close());
  fs::resize_file(box.root + "cut.zip", 100);
  PutFile(box.root + "junk.tgz", "this is not an archive at all, not even close......");
  for (const auto& [archive, why] : {std::pair{"missing.tgz", "cannot open the archive"},
                                     {"outside", "not a regular file"},
                                     {"junk.tgz", "unreadable"},
                                     {"cut.tgz", "damaged"},
                                     {"cd.zip", ""},
                                     {"cut.zip", ""}}) {
    SCOPED_TRACE(archive);
    ExpectRefused(archive, why);
  }
  EXPECT_EQ(FileText(out + "/first.txt"), "whole");
  EXPECT_EQ(extractor.ExtractTar("", out.c_str()) + extractor.ExtractZip(nullptr, out.c_str(), 0) +
                extractor.ExtractTar((box.root + "cut.zip").c_str(), ""),
            0);
}

TEST_F(ArchiveExtractorTest, HostileEntriesAreRefused) {
  using B = ArchiveBuilder&;
  const std::string abs = box.root + "outside";
  const auto linkOut = [&](const std::string& t) { symlink(abs.c_str(), (t + "/link").c_str()); };
  const struct {
    std::function<void(B)> build;
    const char* why;
    std::function<void(const std::string&)> plant = nullptr;  // given the target folder
  } cases[] = {
      {[&](B b) { b.File("first.txt", "kept").File(abs + "/evil.txt", "x"); }, "absolute path"},
      {[](B b) { b.File("../outside/evil.txt", "x"); }, "'..' in path"},
      {[](B b) { b.File("..", "x"); }, "'..' in path"},
      {[&](B b) { b.Symlink("link", abs).File("link/evil.txt", "x"); }, "symlink to an absolute path"},
      {[](B b) { b.Dir("sub/").Symlink("sub/l", "sub/../../outside"); }, "after a name"},
      {[](B b) { b.Dir("sub/").Symlink("sub/l", "../../outside"); }, "pointing outside"},
      {[](B b) { b.File("link/evil.txt", "x"); }, "'link/evil.txt': path through a symlink", linkOut},
      {[&](B b) { b.Hardlink("h", abs + "/keep.txt"); }, "hardlink to an absolute path"},
      {[](B b) { b.Hardlink("h", "missing.txt"); }, "missing file"},
      {[](B b) { b.Dir("dir/").Hardlink("h", "dir"); }, "other than a regular file"},
      {[](B b) { b.Hardlink("h", "planted"); }, "not from this archive",
       [&](const std::string& t) { link((abs + "/keep.txt").c_str(), (t + "/planted").c_str()); }},
      {[](B b) { b.Hardlink("h", "link/keep.txt"); }, "through a symlink", linkOut},
      {[](B b) { b.Entry("node", AE_IFIFO); }, "FIFO not allowed"},
      {[](B b) { b.File("ok.txt", "fine").Entry("node", AE_IFCHR); }, "character device not allowed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    fs::remove_all(out);
    mkdir(out.c_str(), 0755);
    if (c.plant) c.plant(out);
    ArchiveBuilder builder(box.root + "evil.tar", Kind::kTar);
    c.build(builder);
    ASSERT_TRUE(builder.Close());
    ExpectRefused("evil.tar", c.why);
    EXPECT_FALSE(Exists(out + "/h") || Exists(out + "/node") || Exists(out + "/l") || Exists(out + "/sub/l"));
  }
  EXPECT_EQ(FileText(out + "/ok.txt"), "fine");  // what came before stays
}

// A damaged archive is refused or unpacks exactly what the intact one does.
// No checksum covers tar file data, a zip's times and modes or the kind its
// directory gives an entry: so the tar entry is a link (every byte is a
// checksummed header or the end marker), the zip has no link, and only kinds,
// contents and link targets are compared.
TEST_F(ArchiveExtractorTest, EveryFlippedByteIsRefusedOrChangesNothing) {
  for (const auto& [kind, name] :
       {std::pair{Kind::kStoredZip, "s.zip"}, {Kind::kTgz, "s.tgz"}, {Kind::kTar, "s.tar"}}) {
    ArchiveBuilder builder(box.root + name, kind);
    if (kind != Kind::kTar) builder.File("LOADF001", "load file bytes 0123").Dir("d/").File("d/e", "");
    if (kind != Kind::kStoredZip) builder.Symlink("d/l", "e");
    ASSERT_TRUE(builder.Close());
    ASSERT_EQ(Extract(box.root + name, extractor), 1);
    const auto original = Snapshot(out, "", false);
    std::string bytes = FileText(box.root + name);
    int refused = 0;
    for (size_t at = 0; at < std::min<size_t>(bytes.size(), 1536); ++at) {  // then a tar's zero padding
      bytes[at] ^= 1, PutFile(box.root + "f" + name, bytes), bytes[at] ^= 1, fs::remove_all(out);
      const bool ok = Extract(box.root + "f" + name, extractor) == 1;
      refused += ok ? 0 : 1;
      ASSERT_TRUE(!ok || Snapshot(out, "", false) == original) << name << " byte " << at;
    }
    EXPECT_GT(refused, 0) << name;
  }
}

TEST_F(ArchiveExtractorTest, BombsAreRefusedBeforeTheyFillTheDisk) {
  ASSERT_TRUE(ArchiveBuilder(box.root + "many.tgz", Kind::kTgz).Zeros("a", 600 << 10).Zeros("b", 600 << 10).Close());
  ArchiveExtractor small(Limits(1, 1 << 20)), enough(Limits(1, 2 << 20)), few(Limits(200, 64 << 20, 1));
  ExpectRefused("many.tgz", "'b': archive unpacks to more than 1048576 bytes (expansion limit)", &small);
  EXPECT_EQ(std::pair(fs::file_size(out + "/a"), small.BytesWritten()), std::pair(600UL << 10, 600UL << 10));
  ExpectRefused("many.tgz", "'b': more entries than the target can take (1)", &few);
  EXPECT_EQ(few.EntriesWritten(), 1U);
  EXPECT_EQ(enough.ExtractTar((box.root + "many.tgz").c_str(), (box.root + "all").c_str()), 1);
  // A declared size over the budget is refused before anything is written.
  ASSERT_TRUE(ArchiveBuilder(box.root + "bomb.tgz", Kind::kTgz).Zeros("zeros", 4 << 20).Close());
  fs::remove_all(out);
  ExpectRefused("bomb.tgz", "expansion limit", &small);
  EXPECT_FALSE(Exists(out + "/zeros"));
  struct statvfs disk {};
  ASSERT_EQ(statvfs(box.root.c_str(), &disk), 0);
  ExtractionLimits tight = Limits(1ULL << 40, 0);  // only the free space counts; a busy disk may change by much
  tight.reserveBytes = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize + (1ULL << 30);
  ArchiveExtractor full(tight);
  ExpectRefused("bomb.tgz", "free space of the target (0 bytes)", &full);
  // A zip whose every size field claims 10 bytes is stopped while streaming.
  ASSERT_TRUE(ArchiveBuilder(box.root + "liar.zip", Kind::kZip).Zeros("z.bin", 4 << 20).Close());
  std::string bytes = FileText(box.root + "liar.zip");
  for (const auto& [signature, offset] : {std::pair{"PK\x01\x02", 24}, {"PK\x03\x04", 22}, {"PK\x07\x08", 12}}) {
    for (size_t at = bytes.find(signature); at != std::string::npos && at + offset + 4 <= bytes.size();
         at = bytes.find(signature, at + 4))
      bytes.replace(at + offset, 4, std::string("\x0a\0\0\0", 4));
  }
  PutFile(box.root + "liar.zip", bytes);
  ExpectRefused("liar.zip", "expansion limit", &small);
  EXPECT_LE(fs::file_size(out + "/z.bin"), 1U << 20);
}

}  // namespace
