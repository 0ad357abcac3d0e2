// The command frame end to end: help texts, usage errors and exit codes.
#include <gtest/gtest.h>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

TEST(ToolFrame, HelpNamesEveryGroupAndExitsZero) {
  Sandbox box;
  const RunResult help = box.Run({"--help"});
  EXPECT_EQ(help.exitCode, 0) << help.err;
  for (const char* group : {"faultmap", "faultcode", "monitors", "package", "card", "settings", "demo"}) {
    EXPECT_NE(help.out.find(group), std::string::npos) << group;
  }
  EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
}

TEST(ToolFrame, EveryCommandHelpHasAnExample) {
  Sandbox box;
  // Every command, and every group, explains itself with an example.
  const std::vector<std::vector<std::string>> commands = {{"faultmap", "decode"},
                                                          {"faultmap", "track"},
                                                          {"faultcode", "lookup"},
                                                          {"monitors", "list"},
                                                          {"monitors", "show"},
                                                          {"monitors", "find"},
                                                          {"package", "info"},
                                                          {"card", "load"},
                                                          {"card", "info"},
                                                          {"settings", "get"},
                                                          {"settings", "set"},
                                                          {"settings", "delete"},
                                                          {"demo"},
                                                          {"faultmap"},
                                                          {"faultcode"},
                                                          {"monitors"},
                                                          {"package"},
                                                          {"card"},
                                                          {"settings"}};
  for (std::vector<std::string> command : commands) {
    const std::string name = command.back();
    command.push_back("--help");
    const RunResult help = box.Run(command);
    EXPECT_EQ(help.exitCode, 0) << name << help.err;
    // "Example:" or "Examples:", then the command itself.
    EXPECT_NE(help.out.find(":\n  pelix " + command.front()), std::string::npos) << name << ":\n" << help.out;
    EXPECT_NE(help.out.find("Example"), std::string::npos) << name;
  }
}

TEST(ToolFrame, BadUsageExitsTwo) {
  Sandbox box;
  const RunResult none = box.Run({});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_TRUE(none.out.empty());

  const RunResult unknown = box.Run({"frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_FALSE(unknown.err.empty());

  const RunResult groupOnly = box.Run({"monitors"});
  EXPECT_EQ(groupOnly.exitCode, 2);

  const RunResult notANumber = box.Run({"monitors", "list", "--cabinet", "x"});
  EXPECT_EQ(notANumber.exitCode, 2);
  EXPECT_NE(notANumber.err.find("--cabinet"), std::string::npos) << notANumber.err;

  const RunResult missingArgument = box.Run({"monitors", "show"});
  EXPECT_EQ(missingArgument.exitCode, 2);
}

TEST(ToolFrame, VersionAndGlobalOptionsAfterTheCommand) {
  Sandbox box;
  const RunResult version = box.Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("pelix ", 0), 0u) << version.out;

  // --json may follow the command as well as precede it.
  const RunResult after = box.Run({"monitors", "show", "--json", "R42-A"});
  const RunResult before = box.Run({"--json", "monitors", "show", "R42-A"});
  EXPECT_EQ(after.exitCode, 0) << after.err;
  EXPECT_EQ(after.out, before.out);
}

TEST(ToolFrame, TraceWritesTheLibrarysNestedTraceToStandardError) {
  Sandbox box;
  const RunResult quiet = box.Run({"monitors", "show", "R42-A"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.err.find("CMonitorObjectTable::"), std::string::npos) << quiet.err;

  const RunResult traced = box.Run({"--trace", "monitors", "show", "R42-A"});
  EXPECT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_EQ(traced.out, quiet.out);  // the trace never reaches standard output
  EXPECT_NE(traced.err.find("> CMonitorObjectTable::GetMonitorName()"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("< CMonitorObjectTable::GetMonitorName()"), std::string::npos) << traced.err;
}

}  // namespace
}  // namespace pelix::tool::test
