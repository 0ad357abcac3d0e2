// The pelix tool end to end, run as a user would in a fresh folder with its own
// temporary folder and registry hives: what the tool itself adds over the
// library (argument handling, exit codes and messages, standard input, JSON,
// output checks, the card space check, the man page's examples).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace pelix::tool::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReport = "030301021023200000000000000000000000140100";       // data type 2
const std::string kData = PELIX_SOURCE_DIR "/data/", kPackage = kData + "package";  // H40 needs 24000 bytes

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  return std::string(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

class ToolE2E : public testing::Test {
 protected:
  void SetUp() override {
    root = (fs::temp_directory_path() / "pelix-tool-test-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root += "/";
    for (const char* folder : {"tmp", "registry"}) fs::create_directories(root + folder);
    Write("card/GLOBAL/OLD", "the old software");
    Write("empty.txt", "\n");
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(root, error);
  }

  void Write(const std::string& relative, const std::string& content) const {
    const fs::path path = fs::path(root) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  std::vector<std::string> List(const std::string& relative) const {  // recursively, sorted
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root + relative))
      out.push_back(fs::relative(entry.path(), root + relative).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  // Runs pelix (with `shell`: args[0] as a command line for /bin/sh, pelix's
  // folder first in PATH) with the extra environment and standard input.
  RunResult Run(std::vector<std::string> args, const std::map<std::string, std::string>& env = {},
                const std::string& input = "", bool shell = false) const {
    Write(".stdin", input);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {  // the environment, the working folder and the streams, then pelix
      setenv("TMPDIR", (root + "tmp").c_str(), 1);
      setenv("PELIX_REGISTRY_DIR", (root + "registry").c_str(), 1);
      setenv("TZ", "UTC", 1);
      const std::string tool = PELIX_TOOL_PATH;
      setenv("PATH", (tool.substr(0, tool.rfind('/')) + ":" + std::getenv("PATH")).c_str(), 1);
      for (const char* name : {"PELIX_DISK_SIZE", "PELIX_DATA_DIR", "COLUMNS"}) unsetenv(name);
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      const int in = open((root + ".stdin").c_str(), O_RDONLY);
      const int out = open((root + ".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open((root + ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (chdir(root.c_str()) != 0 || in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
          dup2(err, 2) < 0)
        _exit(127);
      args.insert(args.begin(), tool);
      if (shell) args = {"/bin/sh", "-c", args.at(1)};
      std::vector<char*> argv(args.size() + 1, nullptr);
      for (size_t i = 0; i < args.size(); ++i) argv[i] = args[i].data();
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0),
                     Slurp(root + ".stdout"), Slurp(root + ".stderr")};
    // In a sanitizer build a finding ends the tool with an exit code that a
    // test may expect for other reasons: look for the report itself.
    if (result.err.find("Sanitizer") != std::string::npos || result.err.find("runtime error:") != std::string::npos) {
      ADD_FAILURE() << "sanitizer report from pelix:\n" << result.err;
    }
    return result;
  }

  std::string root;  // the child's working folder, with a trailing '/'
};

// A failure names its cause (and the nearest name for a typo) on standard error
// with its exit code, or with --json in one document on standard output.
// "-" reads standard input wherever a file is taken. The card is 1 byte short.
TEST_F(ToolE2E, ExitCodesMessagesAndStandardInput) {
  const std::string report = kReport, names = "AO_TS I1A 5 Timeslot lost\n";
  const std::vector<std::string> load = {"card", "load", "--kind", "H40", kPackage, "card"};
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string text;  // exit 0: on standard output; else in the message
    std::string input{};
  } cases[] = {
      // clang-format off
      {{"faultmap", "deocde", "0303"}, 2, "'deocde' is not a pelix faultmap command; did you mean 'decode'?"},
      {{"faultmap", "decode", "--typ", "2", "0303"}, 2,
       "'--typ' is not an option of pelix faultmap decode; did you mean '--type'?"},
      {{"-V"}, 2, "'-V' is not an option of pelix; did you mean '--version'?"},
      {{"monitors"}, 2, "pelix monitors needs a command: list, show, find"},
      {{"faultmap", "decode", "--type", "3", kReport}, 2, "--type: '3' is not accepted; accepted: 2, 4, 5, 7"},
      {{"faultcode", "lookup", "--cabinet", "999", "X"}, 2, "--cabinet: '999' is not accepted; accepted: 0 to 64"},
      {{"faultmap", "decode", ""}, 2, "the report is empty"},
      {{"faultmap", "track", "missing.hex"}, 2, "cannot read missing.hex: No such file or directory"},
      {{"faultmap", "decode", "@card"}, 2, "card is a folder, not a file"},
      {{"card", "info", "nocard"}, 2, "no card folder at nocard: No such file or directory"},
      {{"package", "info", "empty.txt"}, 1, "cannot unpack the package archive empty.txt: it is no zip, tar or tgz"},
      {{"settings", "set", "K", "N", "v"}, 1,
       "the value N under K was not written: ERROR_FILE_NOT_FOUND, the key does not"},
      {{"monitors", "show", "TMA 0 current"}, 1,
       "3 monitors are named 'TMA 0 current'; choose one with --id:\n  224  "},
      {{"monitors", "show", "--id", "21", "TMA 0 current"}, 2, "monitor 21 is not named 'TMA 0 current'"},
      {load, 1, "needs 24000 for H40: 1 bytes are missing; the card was not touched"},
      {{"faultmap", "decode", "--type", "2", "-"}, 0, "Object     AO TS3-1", report + "\n"},
      {{"faultmap", "decode", "--type", "2", "@-"}, 0, "I1A:5", report},
      {{"faultmap", "track", "--type", "2", "-"}, 0, "# 1 reports, 2 raised", "# one\n" + report},
      {{"faultmap", "decode", "--type", "2", "--names", "-", kReport}, 0, "Timeslot lost", names},
      {{"faultcode", "lookup", "--db", "-", "--cabinet", "1", "BTS CF I1A:1"}, 1,
       "cannot load the fault database ", "<x"},
      {{"faultmap", "decode", "-"}, 2, "standard input is empty", " \n"},
      {{"faultmap", "decode", "--names", "-", "-"}, 2, "standard input ('-') can be read only once", report},
      // clang-format on
  };
  for (const auto& c : cases) {
    const RunResult text = Run(c.args, {{"PELIX_DISK_SIZE", "23999"}}, c.input);
    EXPECT_EQ(text.exitCode, c.exitCode) << c.text << text.err;
    EXPECT_NE((c.exitCode == 0 ? text.out : text.err).find(c.text), std::string::npos) << text.out << text.err;
    if (c.exitCode == 0) continue;
    EXPECT_EQ(text.err.rfind("pelix: ", 0), 0U) << text.err;
    EXPECT_EQ(text.out, "");
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--json");
    const RunResult json = Run(args, {{"PELIX_DISK_SIZE", "23999"}}, c.input);
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(json.exitCode, c.exitCode) << c.text;
    EXPECT_EQ(doc["code"], c.exitCode);
    EXPECT_NE(doc["error"].get<std::string>().find(c.text), std::string::npos) << json.out;
  }
  EXPECT_EQ(List("card"), (std::vector<std::string>{"GLOBAL", "GLOBAL/OLD"}));
  const RunResult quiet = Run({"--quiet", "card", "load", "--kind", "H40", kPackage, "card"});
  EXPECT_EQ(quiet.err, "");  // succeeded, and without a progress display
  EXPECT_EQ(List("card"),
            (std::vector<std::string>{"GLOBAL", "GLOBAL/APPL1", "GLOBAL/APPL2", "GLOBAL/DATA1", "ZCB", "ZCL"}));
}

TEST_F(ToolE2E, JsonEverywhereWithTimesAndPathsAScriptCanUse) {
  Write("names.txt", "AO_TS I1A 5 \x1b[31mred\xff\n");
  Write("card-\xe9/x", "");
  const std::vector<std::string> decode = {"faultmap", "decode", "--type", "2", "--names", "names.txt", kReport};
  const struct {
    std::vector<std::string> args;
    std::string pointer, value;  // a regular expression for the text or for the JSON of other values
  } cases[] = {
      {{"demo"}, "/card/software", "true"},
      {decode, "/faults/0/time", R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\+00:00)"},
      {decode, "/faults/0/name", "\x1b\\[31mred\xc3\xbf"},
      {{"monitors", "show", "--id", "258", "TMA 0 current"}, "/internalName", "CREC/RX/MEAS/TMA_CM0/TMA0CUR"},
      {{"card", "info", "card-\xe9"}, "/card", root + "card-\\\\xe9/"},
      {{"package", "info", kPackage}, "/bytesToCopy/H40", "24000"},
  };
  for (auto c : cases) {
    c.args.insert(c.args.begin(), "--json");
    const RunResult run = Run(c.args, {{"PELIX_DATA_DIR", kData}});
    EXPECT_EQ(run.exitCode, 0) << c.args[1] << run.err;
    const auto value = nlohmann::json::parse(run.out).at(nlohmann::json::json_pointer(c.pointer));  // one document
    EXPECT_TRUE(std::regex_match(value.is_string() ? value.get<std::string>() : value.dump(), std::regex(c.value)))
        << run.out;
  }
  // On a terminal, text from files is shown with its control bytes escaped.
  EXPECT_NE(Run(decode).out.find("\\x1b[31mred\\xff"), std::string::npos);
}

TEST_F(ToolE2E, OutputThatCannotBeWrittenFails) {
  const RunResult run = Run({"pelix monitors list >/dev/full"}, {}, "", true);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("pelix: cannot write to standard output: No space left on device"), std::string::npos)
      << run.err;
}

TEST_F(ToolE2E, EveryHelpListsTheGlobalOptionsAndCompletionKnowsEveryCommand) {
  const std::string script = Run({"--completion", "bash"}).out;
  for (const std::string command : {"faultmap decode", "faultmap track", "faultcode lookup", "monitors show",
                                    "package info", "card load", "card info", "settings set", "demo"}) {
    const RunResult help = Run({"pelix " + command + " --help"}, {}, "", true);
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_NE(help.out.find("Global options (before or after the command):\n  --json"), std::string::npos) << command;
    EXPECT_NE(help.out.find("Example"), std::string::npos) << command;
    EXPECT_NE(script.find("' " + command + "')"), std::string::npos) << command;
  }
}

// Settings and the monitor picked by --id among shared names are run here too.
TEST_F(ToolE2E, EveryRenderedManPageExampleRuns) {
  const RunResult page = Run({"MANWIDTH=250 man -l " PELIX_MAN_PAGE}, {}, "", true);
  ASSERT_EQ(page.exitCode, 0) << page.err;
  const std::size_t from = page.out.find("\nEXAMPLES\n");
  ASSERT_NE(from, std::string::npos) << page.out;
  std::istringstream lines(page.out.substr(from, page.out.find("\nFILES\n") - from));
  int examples = 0;
  for (std::string line; std::getline(lines, line);) {
    line = std::regex_replace(line, std::regex("^\\s+"), "");
    if (line.find("pelix ") == std::string::npos || line.find("bundled data") != std::string::npos) continue;
    line = std::regex_replace(line, std::regex(PELIX_INSTALL_DATA_DIR), kData);
    const RunResult run = Run({line}, {}, "", true);
    EXPECT_EQ(run.exitCode, 0) << line << "\n" << run.err;
    ++examples;
  }
  EXPECT_GE(examples, 14);
}

}  // namespace
}  // namespace pelix::tool::test
