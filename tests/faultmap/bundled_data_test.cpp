// The bundled report series and fault names decode and tell the story their
// README describes.

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

const std::string kDir = std::string(PELIX_SOURCE_DIR) + "/data/reports/";

// The lines of a file that are neither empty nor comments.
Strings ContentLines(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  Strings lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ReadReports(const std::string& path) {
  std::vector<std::string> reports;
  for (const std::string& line : ContentLines(path)) {
    std::string octets, digits;
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

// Reads the fault names file ("MO_TYPE FAULTMAPTYPE FAULTNO NAME...") into the
// table; returns the number of names.
int LoadNames(const ScopedNameTable& table, const std::string& path) {
  const Strings types = {"MO_SO_CF", "MO_SO_TRXC", "MO_AO_TX", "MO_AO_RX",  "MO_AO_TS",
                         "MO_AO_TF", "MO_AO_IS",   "MO_AO_DP", "MO_AO_CON", "MO_AO_MCTR"};
  const Strings kinds = {"FM_I1A", "FM_I1B", "FM_I2A", "FM_EC1", "FM_EC2", "FM_RU"};
  std::map<std::pair<int, int>, CArray<CString, CString>> lists;
  int count = 0;
  for (const std::string& line : ContentLines(path)) {
    std::istringstream fields(line);
    std::string type, kind, name;
    int faultNo = -1;
    fields >> type >> kind >> faultNo >> std::ws;
    std::getline(fields, name);
    const int t = static_cast<int>(std::find(types.begin(), types.end(), type) - types.begin());
    const int k = static_cast<int>(std::find(kinds.begin(), kinds.end(), kind) - kinds.begin());
    const bool wellFormed = t < 10 && k < 6 && faultNo >= 0 && faultNo < 100 && !name.empty();
    EXPECT_TRUE(wellFormed) << line;
    if (!wellFormed) continue;
    lists[{t, k}].SetAtGrow(faultNo, CString(name.substr(0, name.find_last_not_of(" \t\r") + 1)));
    ++count;
  }
  for (auto& [row, names] : lists) {
    table->StoreMonitorRpt(static_cast<MO_Type>(row.first), static_cast<FaultMapType>(row.second), names);
  }
  return count;
}

TEST(BundledReports, SeriesTellsItsStory) {
  ScopedTimeZone zone("UTC0");
  ScopedNameTable table;
  EXPECT_EQ(LoadNames(table, kDir + "fault_names.txt"), 18);
  const std::vector<std::string> reports = ReadReports(kDir + "ts3-1.hex");
  ASSERT_EQ(reports.size(), 6U);

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  std::vector<Text> texts;
  Strings states;
  for (const std::string& report : reports) {
    ASSERT_LE(report.size(), 255U);
    kept.UpdateFaultMap(Decode(report, 7));
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
}  // namespace pelix::test
