// Package archives and folders: unpacking archives (the entries that lead on,
// nesting limits, hostile archives), copying a package file into the "KVO_SW"
// folder of the user's own temporary folder, and clearing folders again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "pelix/platform.h"
#include "pelix/tolva_sw_handler.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using namespace pelix::test;
using testing::HasSubstr;
using Kind = ArchiveBuilder::Kind;

// Builds an archive of the kind its name ends in (".zip", ".tar", else tgz);
// a name ending in "/" is a folder, content "@path" copies the file at path.
bool Make(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  const std::string tail = path.substr(path.size() - 4);
  ArchiveBuilder builder(path, tail == ".zip" ? Kind::kZip : tail == ".tar" ? Kind::kTar : Kind::kTgz);
  for (const auto& [name, content] : entries)
    name.back() == '/' ? builder.Dir(name)
                       : builder.File(name, content[0] == '@' ? FileText(content.substr(1)) : content);
  return builder.Close();
}

class PackageTest : public testing::Test {
 protected:
  // Unpacks path for kind with a new handler; its package path goes to `path`.
  int Decompress(const std::string& archive, LoadableZCU_Type kind = ZCU_H40) {
    CTolva_SW_Handler handler;
    CString text(archive);
    const int result = handler.Decompress_KVO_Package(text, kind);
    path = handler.GetKVO_Path().str();
    return result;
  }
  Scratch scratch;
  std::string path, pkg = scratch.pkg, kvo = scratch.temp + "KVO_SW";
};

TEST_F(PackageTest, ArchivesLeadToTheFolderOfTheFileInformationFile) {
  const std::string inner = scratch.root + "inner.tar", g5 = scratch.root + "g5.tgz", g7 = scratch.root + "g7.tgz";
  ASSERT_TRUE(Make(inner, {{"FLF/", ""}, {"FLF/FLF0001", "info"}}));
  ASSERT_TRUE(Make(g5, {{"FLF0005", "five"}}));
  ASSERT_TRUE(Make(g7, {{"flf0007", "seven"}}));
  const std::vector<std::pair<std::string, std::string>> both = {
      {"SW_PACKAGE/", ""}, {"SW_PACKAGE/g5x.tgz", "@" + g5}, {"SW_PACKAGE/g7z.tgz", "@" + g7}};
  // The entries, the archive's name, the kind, the result and the package path below pkg/.
  const std::tuple<decltype(both), std::string, LoadableZCU_Type, int, std::string> cases[] = {
      {{{"FLF0001", "i"}, {"sub/", ""}, {"sub/part", "p"}}, "a.tgz", ZCU_H40, 1, "a/"},
      {{{"FLF0001", "z"}}, "b.zip", ZCU_H40, 1, "b/"},
      {{{"FLF", "t"}}, "c.tar", ZCU_H40, 1, "c/"},
      {{{"FLF0001", "z"}}, "D.ZIP", ZCU_H40, 0, ""},  // the kind compares with letter case
      {{{"inner.tar", "@" + inner}}, "f.tgz", ZCU_H40, 1, "f/inner/"},
      {{{"INNER.TAR", "@" + inner}}, "g.tgz", ZCU_H40, 0, ""},  // leads on; its kind "TAR" is not one
      {{{"broken.tgz", "not gzip"}, {"readme", "r"}}, "h.tgz", ZCU_H40, 0, ""},
      {{{"pkg/", ""}, {"pkg/FLF0001", "deep"}, {"x.tgz.bak", ""}}, "i.tgz", ZCU_H40, 1, ""},
      {both, "j.tgz", ZCU_J40, 1, "j/SW_PACKAGE/g5x/"},
      {both, "k.tgz", ZCU_ALL, 1, "k/SW_PACKAGE/g7z/"},
      {{{"sw_package/", ""}, {"sw_package/g5.txt", "x"}}, "l.tgz", ZCU_ALL, 1, ""},
  };
  for (const auto& [entries, archive, kind, result, folder] : cases) {
    ASSERT_TRUE(Make(pkg + archive, entries));
    EXPECT_EQ(Decompress(pkg + archive, kind), result) << archive;
    EXPECT_EQ(path, folder.empty() ? "" : pkg + folder) << archive;
  }
  EXPECT_EQ(FileText(pkg + "a/sub/part") + FileText(pkg + "k/SW_PACKAGE/g7z/flf0007"), "pseven");
  EXPECT_EQ(fs::status(pkg + "a").permissions(), fs::perms(0755));
  EXPECT_EQ(Decompress(""), 0);
}

TEST_F(PackageTest, NestingDepthAndHostileOrMissingArchivesAreTraced) {
  const auto chain = [&](int i) { return scratch.root + "chain" + std::to_string(i) + ".tgz"; };
  ASSERT_TRUE(Make(chain(0), {{"FLF0001", "bottom"}}));
  for (int i = 1; i < 9; ++i) ASSERT_TRUE(Make(chain(i), {{"p.tgz", "@" + chain(i - 1)}}));
  std::rename((scratch.root + "chain7.tgz").c_str(), (pkg + "p.tgz").c_str());
  mkdir((pkg + "nine").c_str(), 0755);
  std::rename((scratch.root + "chain8.tgz").c_str(), (pkg + "nine/p.tgz").c_str());
  ASSERT_TRUE(Make(scratch.root + "evil.tar", {{"../../escaped.txt", "x"}}));
  ASSERT_TRUE(Make(pkg + "outer.tgz", {{"evil.tar", "@" + scratch.root + "evil.tar"}}));
  const auto before = Snapshot(scratch.root, pkg);
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Decompress(pkg + "p.tgz"), 1);  // eight archives inside one another
  EXPECT_EQ(path, pkg + "p/p/p/p/p/p/p/p/");
  EXPECT_EQ(Decompress(pkg + "nine/p.tgz") + Decompress(pkg + "outer.tgz") + Decompress(pkg + "none.tgz"), 0);
  EXPECT_EQ(path, "");
  EXPECT_EQ(Snapshot(scratch.root, pkg), before);
  EXPECT_THAT(host.Texts("StoreError", 7),
              testing::ElementsAre(HasSubstr("deeper than 8 archives"),
                                   HasSubstr("evil.tar not unpacked: refused entry '../../escaped.txt'"),
                                   HasSubstr("none.tgz not unpacked: cannot open the archive")));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty() && host.CallsNamed("LogError").empty());
  ASSERT_TRUE(Make(pkg + "ok.tgz", {{"FLF9", "x"}}));
  EXPECT_EQ(Decompress(pkg + "ok.tgz"), 1);  // the nesting count was given back
  CTolva_SW_Handler handler;
  host.Clear();
  handler.GetKVO_Path();
  EXPECT_EQ(host.CallsNamed("StoreEnter").size(), 1U);  // the path is traced
}

TEST_F(PackageTest, CopiesIntoTheKvoFolderClearingItFirst) {
  const std::string source = pkg + "pkg.tgz";
  std::string big(3 * 256 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 1000);
  ASSERT_TRUE(PutFile(source, big));
  CTolva_SW_Handler handler;
  CString copied("unchanged");
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 1);
  EXPECT_EQ(copied, kvo + "/pkg.tgz");
  EXPECT_EQ(FileText(kvo + "/pkg.tgz"), big);
  EXPECT_EQ(fs::status(scratch.temp).permissions(), fs::perms::owner_all);
  fs::create_directories(kvo + "/old/deeper");
  PutFile(kvo + "/old/stale", "old");
  const auto cwd = fs::current_path();
  fs::current_path(pkg);
  EXPECT_EQ(handler.Copy_KVO_Package(CString("pkg.tgz"), copied), 1);  // no separator: the whole text is the name
  fs::current_path(cwd);
  EXPECT_EQ(Entries(kvo), Names{"pkg.tgz"});
  for (const std::string& bad : {pkg + "missing.tgz", scratch.root + "pkg", pkg, std::string("")})
    EXPECT_EQ(handler.Copy_KVO_Package(CString(bad), copied), 0) << bad;
  FaultyFileSystem files;
  files.shortWriteAt = 1;
  EXPECT_EQ(handler.Copy_KVO_Package(CString(source), copied), 0);
  EXPECT_EQ(Entries(kvo), Names{});  // no partial copy left
  EXPECT_EQ(copied, kvo + "/pkg.tgz");
}

TEST_F(PackageTest, ClearingDeletesLinksButNothingTheyLeadTo) {
  const std::string elsewhere = scratch.root + "elsewhere", top = scratch.root + "unpacked";
  fs::create_directories(elsewhere + "/sub");
  fs::create_directories(top + "/a/b");
  PutFile(elsewhere + "/sub/precious", "keep me");
  chmod((elsewhere + "/sub/precious").c_str(), 0444);
  PutFile(top + "/a/b/f2", "2");
  chmod((top + "/a/b/f2").c_str(), 0444);
  symlink(elsewhere.c_str(), (top + "/dirlink").c_str());
  symlink((elsewhere + "/sub/precious").c_str(), (top + "/a/filelink").c_str());
  symlink("/nonexistent", (top + "/dangling").c_str());
  symlink(elsewhere.c_str(), (scratch.root + "link").c_str());
  const auto before = Snapshot(elsewhere);
  CTolva_SW_Handler handler;
  handler.clear_KVO_Package(CString(top));
  handler.clear_KVO_Package(CString(scratch.root + "link/"));  // a folder given as a link loses the link only
  EXPECT_FALSE(Exists(top) || Exists(scratch.root + "link"));
  EXPECT_EQ(Snapshot(elsewhere), before);
  // A KVO_SW planted as a link is removed, not followed.
  mkdir(scratch.temp.c_str(), 0700);
  symlink(elsewhere.c_str(), kvo.c_str());
  PutFile(pkg + "p.tgz", "bytes");
  CString copied;
  EXPECT_EQ(handler.Copy_KVO_Package(CString(pkg + "p.tgz"), copied), 1);
  EXPECT_EQ(Snapshot(elsewhere), before);
  EXPECT_EQ(FileText(kvo + "/p.tgz"), "bytes");
}

TEST_F(PackageTest, ATemporaryFolderThatIsNotTheUsersOwnIsRefused) {
  const std::string elsewhere = scratch.root + "elsewhere/";
  mkdir(elsewhere.c_str(), 0777);
  ASSERT_TRUE(pelix::packagegen::WritePackage(pkg, pelix::packagegen::DemoPackage()));
  const std::pair<std::string, std::function<void()>> cases[] = {
      {"link", [&] { symlink(elsewhere.c_str(), (scratch.tmp + "pelix-" + std::to_string(geteuid())).c_str()); }},
      {"open to others", [&] { mkdir(scratch.temp.c_str(), 0777), chmod(scratch.temp.c_str(), 0777); }},
      {"someone else's", [&] { mkdir(scratch.temp.c_str(), 0700), (void)chown(scratch.temp.c_str(), 4242, 4242); }},
      {"a file", [&] { PutFile(scratch.tmp + "pelix-" + std::to_string(geteuid()), ""); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    fs::remove_all(scratch.tmp);
    mkdir(scratch.tmp.c_str(), 01777);
    c.second();
    if (c.first == "someone else's" && geteuid() != 0) continue;  // only root can give it away
    const auto before = Snapshot(scratch.root, scratch.card);
    char buffer[260] = "unchanged";
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 0U);
    CTolva_SW_Handler handler;
    CString copied;
    EXPECT_EQ(handler.Copy_KVO_Package(CString(pkg + "KMA0001"), copied), 0);
    ASSERT_EQ(handler.Init(pkg.c_str(), false, false), SR_OK);
    EXPECT_EQ(handler.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H30, nullptr), SR_FILE_OPEN_FAILED);
    EXPECT_EQ(Entries(scratch.card + "GLOBAL"), Names{"APPL2"});  // created on the card, then no temporary copy
    fs::remove_all(scratch.card + "GLOBAL");
    EXPECT_EQ(Snapshot(scratch.root, scratch.card), before);
  }
  // With XDG_RUNTIME_DIR set, that folder is the temporary folder itself.
  setenv("XDG_RUNTIME_DIR", elsewhere.c_str(), 1);
  char buffer[260];
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 0U);  // open to others
  chmod(elsewhere.c_str(), 0700);
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), elsewhere.size());
  EXPECT_EQ(buffer, elsewhere);
  EXPECT_EQ(GetTempPathA(4, buffer), elsewhere.size() + 1);
}

}  // namespace
