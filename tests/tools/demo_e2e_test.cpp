// pelix demo end to end: every step runs and nothing is left behind.
#include <gtest/gtest.h>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

TEST(ToolDemo, RunsEveryStepOnTheBundledDataAndLeavesNothing) {
  Sandbox box;
  box.Write("registry/marker", "the user's hives stay untouched");
  const RunResult demo = box.Run({"demo"}, {{"PELIX_DATA_DIR", PELIX_SOURCE_DIR "/data"}});
  ASSERT_EQ(demo.exitCode, 0) << demo.out << demo.err;
  for (const char* step : {"== 1/5 Fault map reports", "== 2/5 Fault code look-up", "== 3/5 Monitor catalogue",
                           "== 4/5 Software onto a flash card", "== 5/5 Settings", "Demo finished in"}) {
    EXPECT_NE(demo.out.find(step), std::string::npos) << step << "\n" << demo.out;
  }
  EXPECT_NE(demo.out.find(" RAISED "), std::string::npos);
  EXPECT_NE(demo.out.find(" CEASED "), std::string::npos);
  EXPECT_NE(demo.out.find("written and verified"), std::string::npos);
  EXPECT_NE(demo.out.find("present yes, software yes"), std::string::npos);
  EXPECT_NE(demo.out.find("LastCard = H40 card loaded by the demo"), std::string::npos);
  EXPECT_NE(demo.err.find("progress: 100%"), std::string::npos) << demo.err;
  EXPECT_TRUE(box.List("tmp").empty()) << box.List("tmp").front();
  EXPECT_EQ(box.List("registry"), std::vector<std::string>{"marker"});
}

TEST(ToolDemo, FindsTheDataWithoutBeingTold) {
  // The data folder is found from the build (the source tree) when neither
  // PELIX_DATA_DIR nor an installed share folder is there.
  Sandbox box;
  const RunResult demo = box.Run({"demo"});
  EXPECT_EQ(demo.exitCode, 0) << demo.err;
  EXPECT_NE(demo.out.find(std::string("bundled data in ") + PELIX_SOURCE_DIR), std::string::npos) << demo.out;
}

}  // namespace
}  // namespace pelix::tool::test
