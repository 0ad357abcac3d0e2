// pelix package info, card load and card info end to end, on a package
// folder and a package archive written by the test.
#include <gtest/gtest.h>

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

// Makes pkg.tgz (a BSC-style archive: the file-information file's name starts
// with FLF) in the sandbox with the system tar; returns its path.
std::string WriteArchive(const Sandbox& box) {
  WritePackage(box, "archive-src", "FLF1INFO");
  const std::string command = "tar -czf '" + box.Root() + "pkg.tgz' -C '" + box.Root() + "archive-src' .";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return box.Root() + "pkg.tgz";
}

TEST(ToolPackage, InfoOfAFolderShowsSubFilesAndKinds) {
  Sandbox box;
  WritePackage(box, "pkg");
  const RunResult text = box.Run({"package", "info", box.Root() + "pkg"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Package   PKGTEST\nRevision  R1A\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("LOADF001   APPL1     1000  H40,J40  -     H40 J40 ALL ALL_BUT_WB  -\n"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Bytes to copy: H40 5000 J40 1000 H50 2000 QMS 0 ALL 5000 H30 0 ALL_BUT_WB 5000"),
            std::string::npos)
      << text.out;

  const RunResult json = box.Run({"--json", "package", "info", box.Root() + "pkg"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["archive"], false);
  ASSERT_EQ(doc["loadFiles"].size(), 1u);
  const auto& boot = doc["loadFiles"][0]["subFiles"][1];
  EXPECT_EQ(boot["name"], "BOOT1");
  EXPECT_EQ(boot["dest"], nlohmann::json::array({"$BOOTZ"}));
  EXPECT_EQ(boot["kinds"], nlohmann::json({{"H40", "boot"}, {"H50", "file"}, {"ALL", "boot"}, {"ALL_BUT_WB", "boot"}}));
  EXPECT_EQ(doc["bytesToCopy"]["J40"], 1000);
}

TEST(ToolPackage, InfoOfAnArchiveUnpacksItAndClearsUp) {
  Sandbox box;
  const std::string archive = WriteArchive(box);
  const RunResult json = box.Run({"--json", "package", "info", archive});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["archive"], true);
  EXPECT_EQ(doc["name"], "PKGTEST");
  EXPECT_EQ(doc["bytesToCopy"]["H40"], 5000);
  EXPECT_TRUE(box.List("tmp").empty()) << box.List("tmp").front();
  EXPECT_TRUE(box.Exists("pkg.tgz"));  // the user's archive is left alone
}

TEST(ToolPackage, FoldersWithoutAPackageFail) {
  Sandbox box;
  box.Write("empty/readme", "nothing here");
  const RunResult empty = box.Run({"package", "info", box.Root() + "empty"});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("(SR_FILE_OPEN_FAILED)"), std::string::npos) << empty.err;
  EXPECT_EQ(box.Run({"package", "info", box.Root() + "nowhere"}).exitCode, 2);
  box.Write("junk.zip", "not an archive");
  EXPECT_EQ(box.Run({"package", "info", box.Root() + "junk.zip"}).exitCode, 1);
  EXPECT_TRUE(box.List("tmp").empty());
}

TEST(ToolCard, LoadThenInfoReadsTheSoftwareBack) {
  Sandbox box;
  WritePackage(box, "pkg");
  box.Write("card/OLD", "kept");
  box.Write("card/GLOBAL/STALE", "removed by the copy");
  const RunResult load = box.Run({"card", "load", "--kind", "H40", box.Root() + "pkg", box.Root() + "card"});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  EXPECT_NE(load.out.find("Loaded PKGTEST R1A for H40"), std::string::npos) << load.out;
  EXPECT_NE(load.out.find("(5000 bytes written and verified)"), std::string::npos) << load.out;
  // Standard error is no terminal here: plain percentage lines, ending at 100.
  EXPECT_NE(load.err.find("progress: 20%\n"), std::string::npos) << load.err;
  EXPECT_EQ(load.err.substr(load.err.size() - 15), "progress: 100%\n") << load.err;

  EXPECT_EQ(box.List("card"), (std::vector<std::string>{"GLOBAL", "GLOBAL/APPL1", "OLD", "ZCB", "ZCL"}));
  EXPECT_EQ(box.Read("card/GLOBAL/APPL1"), AppContent());
  EXPECT_EQ(box.Read("card/ZCL"), BootContent());
  EXPECT_EQ(box.Read("card/ZCB"), BootContent());
  EXPECT_TRUE(box.List("tmp").empty());

  const RunResult info = box.Run({"card", "info", box.Root() + "card"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Software  yes\nName      QTV1234567_R1A01\nRevision  R1A01\n"), std::string::npos)
      << info.out;

  const RunResult json = box.Run({"--json", "card", "info", box.Root() + "card"});
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["present"], true);
  EXPECT_EQ(doc["software"], true);
  EXPECT_EQ(doc["result"], "SR_OK");
  EXPECT_EQ(doc["name"], "QTV1234567_R1A01");
  EXPECT_EQ(doc["revision"], "R1A01");
}

TEST(ToolCard, LoadFromAnArchiveAndForOtherKinds) {
  Sandbox box;
  const std::string archive = WriteArchive(box);
  box.Write("card/.keep", "");
  const RunResult load = box.Run({"--json", "card", "load", "--kind", "h50", archive, box.Root() + "card"});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  const auto doc = nlohmann::json::parse(load.out);
  EXPECT_EQ(doc["kind"], "H50");
  EXPECT_EQ(doc["bytes"], 2000);
  // For H50 the boot sub-file is an ordinary file; the boot files are empty.
  EXPECT_EQ(box.Read("card/GLOBAL/BOOT1"), BootContent());
  EXPECT_FALSE(box.Exists("card/GLOBAL/APPL1"));
  EXPECT_EQ(box.Read("card/ZCL"), "");
  EXPECT_TRUE(box.List("tmp").empty());

  const RunResult info = box.Run({"--json", "card", "info", box.Root() + "card"});
  const auto card = nlohmann::json::parse(info.out);
  EXPECT_EQ(card["software"], true);
  EXPECT_EQ(card["name"], "Not Defined");
  EXPECT_EQ(card["revision"], "Not Defined");
}

TEST(ToolCard, FailingLoadsExitOneWithTheResultName) {
  Sandbox box;
  WritePackage(box, "pkg");
  box.Write("card/.keep", "");
  const std::vector<std::string> args = {"card", "load", "--kind", "H40", box.Root() + "pkg", box.Root() + "card"};

  // The copy needs 5000 bytes: one byte less of disk is too little.
  const RunResult full = box.Run(args, {{"PELIX_DISK_SIZE", "4999"}});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("(SR_NO_SPACE)"), std::string::npos) << full.err;
  EXPECT_EQ(full.err.find("progress:"), std::string::npos) << full.err;
  EXPECT_FALSE(box.Exists("card/GLOBAL/APPL1"));
  EXPECT_FALSE(box.Exists("card/ZCL"));
  EXPECT_TRUE(box.List("tmp").empty());

  const RunResult exact = box.Run(args, {{"PELIX_DISK_SIZE", "5000"}});
  EXPECT_EQ(exact.exitCode, 0) << exact.err;

  const RunResult nothing = box.Run({"card", "load", "--kind", "QMS", box.Root() + "pkg", box.Root() + "card"});
  EXPECT_EQ(nothing.exitCode, 1);
  EXPECT_NE(nothing.err.find("(SR_NOTHING_TO_COPY)"), std::string::npos) << nothing.err;

  const RunResult noCard = box.Run({"card", "load", "--kind", "H40", box.Root() + "pkg", box.Root() + "nocard"});
  EXPECT_EQ(noCard.exitCode, 1);
  EXPECT_NE(noCard.err.find("no card folder"), std::string::npos) << noCard.err;

  EXPECT_EQ(box.Run(args, {{"PELIX_DISK_SIZE", "lots"}}).exitCode, 2);
  EXPECT_EQ(box.Run({"card", "load", "--kind", "Z80", box.Root() + "pkg", box.Root() + "card"}).exitCode, 2);
  EXPECT_EQ(box.Run({"card", "load", box.Root() + "pkg", box.Root() + "card"}).exitCode, 2);  // no --kind
}

TEST(ToolCard, InfoOfAnEmptyOrMissingCard) {
  Sandbox box;
  box.Write("card/readme", "no software");
  const RunResult json = box.Run({"--json", "card", "info", box.Root() + "card"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["software"], false);
  EXPECT_EQ(doc["result"], "SR_FAILED");
  EXPECT_EQ(doc["name"], "Not Defined");

  const RunResult missing = box.Run({"card", "info", box.Root() + "nocard"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("no card"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace pelix::tool::test
