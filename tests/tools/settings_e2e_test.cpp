// pelix settings end to end, each test on fresh hives in its sandbox.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

TEST(ToolSettings, SetNeedsAnExistingKeyOrCreate) {
  Sandbox box;
  const RunResult refused = box.Run({"settings", "set", "Software\\Pelix", "Language", "en"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("--create"), std::string::npos) << refused.err;
  EXPECT_EQ(box.Run({"settings", "get", "Software\\Pelix", "Language"}).exitCode, 1);

  const RunResult created = box.Run({"settings", "set", "--create", "Software\\Pelix", "Language", "en"});
  ASSERT_EQ(created.exitCode, 0) << created.err;
  EXPECT_TRUE(box.Exists("registry/user.sqlite3"));
  const RunResult read = box.Run({"settings", "get", "Software\\Pelix", "Language"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "en\n");
  // Keys are case-insensitive; the key now exists, so no --create is needed.
  EXPECT_EQ(box.Run({"settings", "set", "SOFTWARE\\pelix", "Language", "de"}).exitCode, 0);
  EXPECT_EQ(box.Run({"settings", "get", "Software\\Pelix", "Language"}).out, "de\n");
}

TEST(ToolSettings, NumbersBasePathDeleteAndJson) {
  Sandbox box;
  const std::vector<std::string> base = {"--base", "Software\\Pelix"};
  auto with = [&base](std::vector<std::string> args) {
    args.insert(args.end(), base.begin(), base.end());
    return args;
  };
  ASSERT_EQ(box.Run(with({"settings", "set", "--create", "--dword", "Terminal", "Loads", "70000"})).exitCode, 0);
  const RunResult number = box.Run(with({"settings", "get", "--dword", "Terminal", "Loads"}));
  EXPECT_EQ(number.out, "70000\n");
  // Below the base path the full key is base\key.
  EXPECT_EQ(box.Run({"settings", "get", "--dword", "Software\\Pelix\\Terminal", "Loads"}).out, "70000\n");

  const RunResult json = box.Run(with({"--json", "settings", "get", "--dword", "Terminal", "Loads"}));
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["found"], true);
  EXPECT_EQ(doc["value"], 70000);
  EXPECT_EQ(doc["type"], "dword");

  EXPECT_EQ(box.Run(with({"settings", "set", "--dword", "Terminal", "Loads", "-1"})).exitCode, 2);
  EXPECT_EQ(box.Run(with({"settings", "set", "--dword", "Terminal", "Loads", "4294967296"})).exitCode, 2);
  EXPECT_EQ(box.Run(with({"settings", "set", "--dword", "Terminal", "Loads", "many"})).exitCode, 2);

  const RunResult deleted = box.Run(with({"--json", "settings", "delete", "Terminal", "Loads"}));
  ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
  EXPECT_EQ(nlohmann::json::parse(deleted.out)["done"], "deleted");
  const RunResult gone = box.Run(with({"--json", "settings", "get", "--dword", "Terminal", "Loads"}));
  EXPECT_EQ(gone.exitCode, 1);
  const auto goneDoc = nlohmann::json::parse(gone.out);
  EXPECT_EQ(goneDoc["found"], false);
  EXPECT_TRUE(goneDoc["value"].is_null());
  // Deleting what is not there changes nothing and is no failure.
  EXPECT_EQ(box.Run(with({"settings", "delete", "Terminal", "Loads"})).exitCode, 0);
}

TEST(ToolSettings, TextsKeepTheirBytesAndEmptyReadsAsMissing) {
  Sandbox box;
  ASSERT_EQ(box.Run({"settings", "set", "--create", "K", "Text", "a b\\c \xe9"}).exitCode, 0);
  const RunResult json = box.Run({"--json", "settings", "get", "K", "Text"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(nlohmann::json::parse(json.out)["value"], "a b\\c \xc3\xa9");  // Latin-1 shown as UTF-8
  ASSERT_EQ(box.Run({"settings", "set", "K", "Empty", ""}).exitCode, 0);
  EXPECT_EQ(box.Run({"settings", "get", "K", "Empty"}).exitCode, 1);
}

}  // namespace
}  // namespace pelix::tool::test
