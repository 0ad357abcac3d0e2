// pelix monitors end to end, and the kind column derived from the catalogue.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include <pelix/common.h>
#include <nlohmann/json.hpp>

#include "monitor_work.h"
#include "run_tool.h"

namespace pelix::tool::test {
namespace {

TEST(ToolMonitors, KindOfEveryIdAgreesWithTheCatalogue) {
  const std::vector<MonitorRow> rows = AllMonitors();
  ASSERT_EQ(rows.size(), 428u);
  std::map<int, int> firstIdOfKind;
  for (const MonitorRow& row : rows) firstIdOfKind.emplace(row.kind, row.id);
  EXPECT_EQ(firstIdOfKind.size(), 271u);
  for (const auto& [kind, id] : firstIdOfKind) {
    CString internalName;
    g_monitorObjectTable.GetMonitorInternalName(static_cast<MonitorNameType>(kind), internalName);
    EXPECT_EQ(internalName.str(), rows[static_cast<size_t>(id)].internalName) << "kind " << kind;
  }
  // The instances of a kind stand side by side.
  std::set<int> closed;
  for (size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].kind != rows[i - 1].kind) {
      closed.insert(rows[i - 1].kind);
      EXPECT_EQ(closed.count(rows[i].kind), 0u) << "kind " << rows[i].kind << " comes back at id " << i;
    }
  }
  // The four antenna TMA kinds share one internal name: ids 15 to 18.
  EXPECT_EQ(rows[15].kind + 1, rows[16].kind);
  EXPECT_EQ(rows[16].kind + 1, rows[17].kind);
  EXPECT_EQ(rows[17].kind + 1, rows[18].kind);
}

TEST(ToolMonitors, ListIsAnAlignedTableAndJsonForTheCabinet) {
  Sandbox box;
  const RunResult table = box.Run({"monitors", "list"});
  ASSERT_EQ(table.exitCode, 0) << table.err;
  EXPECT_EQ(table.out.rfind("ID   KIND  SHORT ID", 0), 0u) << table.out.substr(0, 200);
  EXPECT_NE(table.out.find("\n21   16    R42-A "), std::string::npos);
  EXPECT_NE(table.out.find("428 monitors\n"), std::string::npos);

  const RunResult all = box.Run({"--json", "monitors", "list"});
  const RunResult micro = box.Run({"--json", "monitors", "list", "--cabinet", "34"});
  ASSERT_EQ(micro.exitCode, 0) << micro.err;
  const auto allDoc = nlohmann::json::parse(all.out);
  const auto microDoc = nlohmann::json::parse(micro.out);
  EXPECT_EQ(allDoc["count"], 428);
  EXPECT_EQ(microDoc["count"], 382);
  ASSERT_EQ(microDoc["monitors"].size(), 382u);
  for (const auto& monitor : microDoc["monitors"]) {
    const int id = monitor["id"];
    EXPECT_NE(id, 10);  // the VSWR monitor a micro cabinet lacks
    EXPECT_FALSE(id >= 293 && id <= 295) << id;
  }
}

TEST(ToolMonitors, ShowByIdNameShortIdAndDisplayName) {
  Sandbox box;
  for (const char* key : {"21", "R42-A", "RTS/TU/PCM_REFA/MEAS/FI_ERR"}) {
    const RunResult shown = box.Run({"--json", "monitors", "show", key});
    ASSERT_EQ(shown.exitCode, 0) << key << shown.err;
    const auto doc = nlohmann::json::parse(shown.out);
    EXPECT_EQ(doc["id"], 21) << key;
    EXPECT_EQ(doc["shortId"], "R42-A");
    EXPECT_EQ(doc["internalName"], "RTS/TU/PCM_REFA/MEAS/FI_ERR");
  }
  // A display name leads to the first instance of its kind.
  const RunResult psu = box.Run({"--json", "monitors", "show", "PSU-3 Information"});
  ASSERT_EQ(psu.exitCode, 0) << psu.err;
  EXPECT_EQ(nlohmann::json::parse(psu.out)["id"], 34);

  const RunResult text = box.Run({"monitors", "show", "47"});
  EXPECT_NE(text.out.find("Display name   PSU-13 Information\n"), std::string::npos) << text.out;

  const RunResult missing = box.Run({"monitors", "show", "no such monitor"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("no such monitor"), std::string::npos);
  EXPECT_EQ(box.Run({"monitors", "show", "428"}).exitCode, 1);
}

TEST(ToolMonitors, FindIgnoresCaseAndLongTmaNamesSwitch) {
  Sandbox box;
  const RunResult found = box.Run({"--json", "monitors", "find", "tma0cur"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  const auto doc = nlohmann::json::parse(found.out);
  ASSERT_EQ(doc["count"], 3);
  EXPECT_EQ(doc["monitors"][0]["id"], 224);
  EXPECT_EQ(doc["monitors"][1]["displayName"], "TMA 0 current");

  const RunResult longNames = box.Run({"--json", "monitors", "show", "--long-tma", "263"});
  ASSERT_EQ(longNames.exitCode, 0) << longNames.err;
  EXPECT_EQ(nlohmann::json::parse(longNames.out)["displayName"], "TMA 5 CM 0 current");

  const RunResult nothing = box.Run({"--json", "monitors", "find", "zzzz-nothing"});
  EXPECT_EQ(nothing.exitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(nothing.out)["count"], 0);
}

}  // namespace
}  // namespace pelix::tool::test
