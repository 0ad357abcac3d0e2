// The bundled report series and fault names decode and tell the story their
// README describes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "tests/faultmap/fault_map_access.h"
#include "tests/faultmap/scoped_env.h"

using pelix::test::FaultMapAccess;
using pelix::test::ScopedNameTable;
using pelix::test::ScopedTimeZone;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kDir = std::string(PELIX_SOURCE_DIR) + "/data/reports/";

std::vector<std::string> ReadReports(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::vector<std::string> reports;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::string octets;
    std::string digits;
    for (const char c : line) {
      if (c == ' ' || c == '\t' || c == '\r') continue;
      digits += c;
      if (digits.size() == 2) {
        octets += static_cast<char>(std::stoi(digits, nullptr, 16));
        digits.clear();
      }
    }
    EXPECT_TRUE(digits.empty()) << "odd number of hex digits: " << line;
    reports.push_back(octets);
  }
  return reports;
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

// Reads the fault names file into the table; returns the number of names.
int LoadNames(CTableOfMonitorRptInTxt& table, const std::string& path) {
  const std::vector<std::string> types = {"MO_SO_CF", "MO_SO_TRXC", "MO_AO_TX", "MO_AO_RX",  "MO_AO_TS",
                                          "MO_AO_TF", "MO_AO_IS",   "MO_AO_DP", "MO_AO_CON", "MO_AO_MCTR"};
  const std::vector<std::string> kinds = {"FM_I1A", "FM_I1B", "FM_I2A", "FM_EC1", "FM_EC2", "FM_RU"};
  std::map<std::pair<int, int>, CArray<CString, CString>> lists;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string type, kind, name;
    int faultNo = -1;
    fields >> type >> kind >> faultNo;
    std::getline(fields, name);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t\r") + 1);
    const int t = IndexOf(types, type);
    const int k = IndexOf(kinds, kind);
    EXPECT_GE(t, 0) << line;
    EXPECT_GE(k, 0) << line;
    EXPECT_TRUE(faultNo >= 0 && faultNo < 100) << line;
    EXPECT_FALSE(name.empty()) << line;
    if (t < 0 || k < 0 || faultNo < 0 || faultNo >= 100) continue;
    lists[{t, k}].SetAtGrow(faultNo, CString(name));
    ++count;
  }
  for (auto& entry : lists) {
    table.StoreMonitorRpt(static_cast<MO_Type>(entry.first.first), static_cast<FaultMapType>(entry.first.second),
                          entry.second);
  }
  return count;
}

struct Text {
  std::vector<std::string> lines;
  std::vector<std::string> names;
};

Text FaultText(const CFaultMap& map) {
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  map.GetFaultMaps(lines, items);
  Text text;
  for (const CString& line : lines) text.lines.push_back(line.str());
  for (FaultMapItem* item : items) {
    text.names.push_back(item->faultName.str());
    delete item;
  }
  return text;
}

TEST(BundledReports, SeriesTellsItsStory) {
  ScopedTimeZone zone("UTC0");
  ScopedNameTable table;
  EXPECT_EQ(LoadNames(*table.get(), kDir + "fault_names.txt"), 18);
  const std::vector<std::string> reports = ReadReports(kDir + "ts3-1.hex");
  ASSERT_EQ(reports.size(), 6U);

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  std::vector<Text> texts;
  std::vector<std::string> states;
  for (const std::string& report : reports) {
    ASSERT_LE(report.size(), 255U);
    kept.UpdateFaultMap(CFaultMap(report.data(), static_cast<unsigned char>(report.size()), OMS_TOLVA_MON_DATATYPE_7));
    texts.push_back(FaultText(kept));
    CString state;
    kept.GetMO_State(state);
    states.push_back(state.str());
  }
  EXPECT_THAT(texts[0].lines, IsEmpty());
  EXPECT_THAT(texts[1].lines,
              ElementsAre("2024-06-11 08:09:00 AO TS3-1 I1A:5 RAISED", "2024-06-11 08:09:20 AO TS3-1 EC1:1 RAISED"));
  EXPECT_THAT(texts[1].names, ElementsAre("Traffic channel frame loss", "PCM synchronisation reference lost"));
  EXPECT_THAT(texts[2].lines, IsEmpty());
  EXPECT_THAT(texts[3].lines,
              ElementsAre("2024-06-11 08:29:50 AO TS3-1 I1A:5 CEASED", "2024-06-11 08:29:55 AO TS3-1 RU:2 RAISED"));
  EXPECT_THAT(texts[3].names, ElementsAre("Traffic channel frame loss", "Combining and distribution unit"));
  EXPECT_THAT(texts[4].lines,
              ElementsAre("2024-06-11 08:40:00 AO TS3-1 EC1:1 CEASED", "2024-06-11 08:40:00 AO TS3-1 RU:2 CEASED"));
  EXPECT_THAT(texts[5].lines, ElementsAre("Corrupt data from Tolva"));
  EXPECT_THAT(states, ElementsAre("ENABLED", "ENABLED", "ENABLED", "DISABLED", "ENABLED",
                                  "Corrupt data from Tolva (No MO state)"));
}

}  // namespace
