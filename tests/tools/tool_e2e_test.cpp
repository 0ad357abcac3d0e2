// The pelix tool end to end: what the tool itself adds over the library
// (argument handling, exit codes and messages, standard input, JSON, output
// checks, the card space check, the progress bar, the man page's examples).
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

constexpr const char* kReport = "030301021023200000000000000000000000140100";  // data type 2
const std::string kData = PELIX_SOURCE_DIR "/data/";

class ToolE2E : public testing::Test {
 protected:
  void SetUp() override {
    WritePackage(box, "pkg");
    box.Write("card/GLOBAL/OLD", "the old software");
    box.Write("empty.txt", "\n");
    box.Write("bad.xml", "<faultcodedescription><fault></faultcodedescription>");
  }
  Sandbox box;
};

struct UsageCase {
  std::vector<std::string> args;
  int exitCode;
  const char* message;  // on standard error, after "pelix: "
};

TEST_F(ToolE2E, BadUsageNamesTheCauseAndTheNearestName) {
  const UsageCase cases[] = {
      {{"faultmapp"}, 2, "'faultmapp' is not a pelix command; did you mean 'faultmap'?"},
      {{"faultmap", "deocde", "0303"}, 2, "'deocde' is not a pelix faultmap command; did you mean 'decode'?"},
      {{"faultmap", "decode", "--typ", "2", "0303"},
       2,
       "'--typ' is not an option of pelix faultmap decode; did you "
       "mean '--type'?"},
      {{"-V"}, 2, "'-V' is not an option of pelix; did you mean '--version'?"},
      {{"monitors"}, 2, "pelix monitors needs a command: list, show, find"},
      {{"faultmap", "decode", "--type", "3", kReport}, 2, "--type: '3' is not accepted; accepted: 2, 4, 5, 7"},
      {{"faultcode", "lookup", "--cabinet", "999", "X"}, 2, "--cabinet: '999' is not accepted; accepted: 0 to 64"},
      {{"card", "load", "--kind", "Z80", "pkg", "card"},
       2,
       "--kind: 'Z80' is not accepted; accepted: H40, J40, H50, QMS, ALL, H30, ALL_BUT_WB"},
      {{"faultmap", "decode", ""}, 2, "the report is empty"},
      {{"faultmap", "track", "empty.txt"}, 2, "empty.txt is empty"},
      {{"faultmap", "track", "missing.hex"}, 2, "cannot read missing.hex: No such file or directory"},
      {{"faultmap", "decode", "@card"}, 2, "card is a folder, not a file"},
      {{"package", "info", "missing.tgz"}, 2, "cannot read missing.tgz: No such file or directory"},
      {{"card", "info", "nocard"}, 2, "no card folder at nocard: No such file or directory"},
      {{"faultcode", "lookup", "--db", "bad.xml", "--cabinet", "1", "A B C:1"},
       1,
       "cannot load the fault database bad.xml: Start-end tags mismatch at offset 31"},
      {{"package", "info", "empty.txt"}, 1, "cannot unpack the package archive empty.txt: it is no zip, tar or tgz"},
      {{"settings", "set", "K", "N", "v"},
       1,
       "the value N under K was not written: ERROR_FILE_NOT_FOUND, the key does not"},
  };
  for (const UsageCase& c : cases) {
    const RunResult text = box.Run(c.args);
    EXPECT_EQ(text.exitCode, c.exitCode) << c.message;
    EXPECT_NE(text.err.find(std::string("pelix: ") + c.message), std::string::npos) << text.err;
    EXPECT_EQ(text.out, "");
    // The same failure with --json: one document on standard output.
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--json");
    const RunResult json = box.Run(args);
    EXPECT_EQ(json.exitCode, c.exitCode) << c.message;
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["code"], c.exitCode);
    EXPECT_NE(doc["error"].get<std::string>().find(c.message), std::string::npos) << json.out;
  }
}

TEST_F(ToolE2E, DashReadsStandardInputWhereverAFileIsTaken) {
  const std::string names = "AO_TS I1A 5 Timeslot lost\n";
  const struct {
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    const char* out;
  } cases[] = {
      {{"faultmap", "decode", "--type", "2", "-"}, std::string(kReport) + "\n", 0, "Object     AO TS3-1"},
      {{"faultmap", "decode", "--type", "2", "@-"}, kReport, 0, "I1A:5"},
      {{"faultmap", "track", "--type", "2", "-"}, std::string("# one\n") + kReport, 0, "# 1 reports, 2 raised"},
      {{"faultmap", "decode", "--type", "2", "--names", "-", kReport}, names, 0, "Timeslot lost"},
      {{"faultcode", "lookup", "--db", "-", "--cabinet", "1", "BTS CF I1A:1"}, "<x", 1, ""},
      {{"faultmap", "decode", "-"}, " \n", 2, ""},
      {{"faultmap", "decode", "--names", "-", "-"}, kReport, 2, ""},  // one standard input only
  };
  for (const auto& c : cases) {
    const RunResult run = box.Run(Invocation{c.args, {}, c.input});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args.back() << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  }
}

TEST_F(ToolE2E, JsonEverywhereWithTimesAndPathsAScriptCanUse) {
  box.Write("names.txt", "AO_TS I1A 5 \x1b[31mred\xff\n");
  box.Write("card-\xe9/x", "");
  const std::vector<std::vector<std::string>> commands = {
      {"demo"},
      {"faultmap", "decode", "--type", "2", "--names", "names.txt", kReport},
      {"monitors", "show", "R42-A"},
      {"card", "info", "card-\xe9"},
      {"package", "info", "pkg"},
  };
  for (std::vector<std::string> args : commands) {
    args.insert(args.begin(), "--json");
    const RunResult run = box.Run(Invocation{args, {{"PELIX_DATA_DIR", kData}}});
    EXPECT_EQ(run.exitCode, 0) << args[1] << run.err;
    const auto doc = nlohmann::json::parse(run.out);  // one valid document
    if (args[1] == "demo") {
      EXPECT_EQ(doc["card"]["software"], true);
    }
    if (args[1] == "faultmap") {
      EXPECT_TRUE(std::regex_match(doc["faults"][0]["time"].get<std::string>(),
                                   std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\+00:00)")));
      EXPECT_EQ(doc["faults"][0]["name"], "\x1b[31mred\xc3\xbf");
    }
    if (args[1] == "card") {
      EXPECT_EQ(doc["card"], box.Root() + "card-\\xe9/") << run.out;
    }
  }
  // On a terminal, text from files is shown with its control bytes escaped.
  const RunResult text = box.Run({"faultmap", "decode", "--type", "2", "--names", "names.txt", kReport});
  EXPECT_NE(text.out.find("\\x1b[31mred\\xff"), std::string::npos) << text.out;
}

TEST_F(ToolE2E, OutputThatCannotBeWrittenFails) {
  const struct {
    const char* to;
    const char* reason;
  } cases[] = {
      {"/dev/full", "No space left on device"}, {"closed", "Bad file descriptor"}, {"broken-pipe", "Broken pipe"}};
  for (const auto& c : cases) {
    const RunResult run = box.Run(Invocation{{"monitors", "list"}, {}, "", c.to});
    EXPECT_EQ(run.exitCode, 1) << c.to;
    EXPECT_NE(run.err.find(std::string("pelix: cannot write to standard output: ") + c.reason), std::string::npos)
        << run.err;
  }
}

TEST_F(ToolE2E, SharedDisplayNamesListTheCandidatesAndIdPicksOne) {
  const RunResult ambiguous = box.Run({"monitors", "show", "TMA 0 current"});
  EXPECT_EQ(ambiguous.exitCode, 1);
  EXPECT_NE(ambiguous.err.find("3 monitors are named 'TMA 0 current'; choose one with --id:\n  224  "),
            std::string::npos)
      << ambiguous.err;
  const RunResult picked = box.Run({"--json", "monitors", "show", "--id", "258", "TMA 0 current"});
  EXPECT_EQ(nlohmann::json::parse(picked.out)["internalName"], "CREC/RX/MEAS/TMA_CM0/TMA0CUR");
  EXPECT_EQ(box.Run({"monitors", "show", "--id", "21", "TMA 0 current"}).exitCode, 2);
}

TEST_F(ToolE2E, SettingsReadBackAndNameTheRegistrysReason) {
  EXPECT_EQ(box.Run({"settings", "set", "--create", "K", "N", "v"}).exitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(box.Run({"--json", "settings", "delete", "K", "N"}).out)["done"], "deleted");
  box.Write("registry/user.sqlite3", "not a hive");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"settings", "set", "K", "N", "v"}, {"settings", "get", "K", "N"}, {"settings", "delete", "K", "N"}}) {
    const RunResult run = box.Run(args);
    EXPECT_EQ(run.exitCode, 1) << args[1];
    EXPECT_NE(run.err.find("ERROR_BADDB, the hive file is damaged"), std::string::npos) << run.err;
  }
}

TEST_F(ToolE2E, ACardTooSmallIsRefusedUntouchedUnlessForced) {
  const std::vector<std::string> load = {"card", "load", "--kind", "H40", "pkg", "card"};
  const RunResult refused = box.Run(Invocation{load, {{"PELIX_DISK_SIZE", "4999"}}});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("needs 5000 for H40: 1 bytes are missing; the card was not touched"), std::string::npos)
      << refused.err;
  EXPECT_EQ(box.List("card"), (std::vector<std::string>{"GLOBAL", "GLOBAL/OLD"}));

  std::vector<std::string> forced = load;
  forced.push_back("--force");
  const RunResult library = box.Run(Invocation{forced, {{"PELIX_DISK_SIZE", "4999"}}});
  EXPECT_EQ(library.exitCode, 1);
  EXPECT_NE(library.err.find("(SR_NO_SPACE)"), std::string::npos) << library.err;

  forced.insert(forced.begin(), "--quiet");
  const RunResult quiet = box.Run(forced);
  EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(box.List("card"), (std::vector<std::string>{"GLOBAL", "GLOBAL/APPL1", "ZCB", "ZCL"}));
}

TEST_F(ToolE2E, ProgressBarFitsTheTerminalAndNeverWraps) {
  for (int columns : {40, 80}) {
    const RunResult run = box.Run(Invocation{{"demo"}, {{"COLUMNS", "300"}}, "", "", false, columns});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    std::size_t bars = 0;
    std::istringstream segments(std::regex_replace(run.out, std::regex("\r"), "\n"));
    for (std::string segment; std::getline(segments, segment);) {
      if (segment.find("\x1b[K") == std::string::npos) continue;
      ++bars;
      EXPECT_EQ(segment.substr(segment.size() - 3), "\x1b[K") << segment;  // erases what a longer line left
      EXPECT_LT(segment.size() - 3, static_cast<std::size_t>(columns)) << segment;
    }
    EXPECT_GT(bars, 1u) << run.out;
  }
}

TEST_F(ToolE2E, EveryHelpListsTheGlobalOptionsAndCompletionKnowsEveryCommand) {
  const std::string script = box.Run({"--completion", "bash"}).out;
  for (const char* command : {"faultmap decode", "faultmap track", "faultcode lookup", "monitors show", "package info",
                              "card load", "card info", "settings set", "demo"}) {
    std::vector<std::string> args;
    std::istringstream words(command);
    for (std::string word; words >> word;) args.push_back(word);
    args.push_back("--help");
    const RunResult help = box.Run(args);
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_NE(help.out.find("Global options (before or after the command):\n  --json"), std::string::npos) << command;
    EXPECT_NE(help.out.find("Example"), std::string::npos) << command;
    EXPECT_NE(script.find("' " + std::string(command) + "')"), std::string::npos) << command;
  }
}

TEST_F(ToolE2E, EveryRenderedManPageExampleRuns) {
  const RunResult page = box.Run(Invocation{{"MANWIDTH=250 man -l " PELIX_MAN_PAGE}, {}, "", "", true});
  ASSERT_EQ(page.exitCode, 0) << page.err;
  const std::size_t from = page.out.find("\nEXAMPLES\n");
  ASSERT_NE(from, std::string::npos) << page.out;
  std::istringstream lines(page.out.substr(from, page.out.find("\nFILES\n") - from));
  int examples = 0;
  for (std::string line; std::getline(lines, line);) {
    line = std::regex_replace(line, std::regex("^\\s+"), "");
    if (line.find("pelix ") == std::string::npos || line.find("bundled data") != std::string::npos) continue;
    line = std::regex_replace(line, std::regex(PELIX_INSTALL_DATA_DIR), kData);
    const RunResult run = box.Run(Invocation{{line}, {}, "", "", true});
    EXPECT_EQ(run.exitCode, 0) << line << "\n" << run.err;
    ++examples;
  }
  EXPECT_GE(examples, 14);
}

}  // namespace
}  // namespace pelix::tool::test
