// The built-in catalogue checked against an independent, compact transcription
// of the station's monitor list, plus its display texts and the TMA name forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/monitor/table_access.h"

namespace {

// Groups of consecutive kinds that share one name pattern. In `name` and
// `shortId` "@" stands for the group's token (one kind per token);
// `shortTokens`, when given, are the tokens for the short id instead. A group
// without tokens is a single kind. Each kind of a group has the instances
// "#1" = first..last1 and, unless last2 is -1, "#2" = 0..last2 in a grid.
struct Group {
  int firstKind;
  const char* name;
  const char* shortId;
  const char* tokens = "";
  const char* shortTokens = "";
  int first = 0, last1 = 0, last2 = -1;
};

constexpr const char* kPorts = "A B C D E F";
constexpr const char* kSix = "0 1 2 3 4 5";

// clang-format off
const Group kGroups[] = {
    {0, "TFS/TSA/Ch_comb", "T6"}, {1, "OMS/EXTAL/STATUS", "OMS/EXTAL/STATUS"}, {2, "RTS/RX/C/DIV", "R34"},
    {51, "OMS/EXTAL/ARAE", "O1"}, {3, "RTS/RX/C/ARFCN", "R33"}, {4, "RTS/RX/C/FREQ_MRK", "R35"},
    {5, "RTS/TX/C/@", "R@", "PWR ARFCN FILL BCC", "6 3 5 4"}, {9, "RTS/TX/MEAS/VSWR/ANT", "R15"},
    {10, "CREC/ANT/VSWR@", "R@", "A B C D", "68 70 83 85"},
    {68, "CREC/ANT/TMA_CURRENT_VOLTAGE", "R@", "A B C D", "69 71 84 86"}, {14, "RTS/TU/OPT_REF/MEAS/FI_ERR", "R40"},
    {15, "RTS/TU/OPT_VALS/PLL_ADJ", "R41"}, {16, "RTS/TU/PCM_REF@/MEAS/FI_ERR", "R42-@", "A B C D"},
    {20, "RTS/TU/REG/C_V", "R43"}, {92, "RTS/TU/TF_COMPENSATION/@", "R@", "CURRENT_VALUE SOURCE", "64 65"},
    {21, "RTS/TU/STATES/@", "R@", "EXEC_REF INTERNAL", "44 45"}, {23, "EPS/POWER/DC_SYS_VOLT", "E14"},
    {24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", "", "", 1, 2}, {25, "EPS/CLIMATE/CAB_HUM_INT", "E10"},
    {60, "EC/POWERCTRL/PSU_#1_INFO", "E20-#1", "", "", 0, 13}, {27, "EPS/POWER/PSU_CURRENT", "E19"},
    {26, "EPS/POWER/PSU_VOLTAGE", "E18"}, {59, "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", "", "", 0, 3},
    {28, "EPS/POWER/BFU_@", "E@", "CURRENT VOLTAGE", "16 15"},
    {129, "EC/POWERCTRL/BFU_#1_@", "E@-#1", "BATTERYFAULT_LED ESC_MOD", "44 45", 0, 3},
    {30, "RTS/RX/MEAS/ALNACUR@", "R55-@", "A B"}, {32, "RTS/RX/MEAS/CDUOUTV@", "R56-@", "A B"},
    {34, "RTS/TX/MEAS/@_TN#1", "R@-#1", "OPWRR/TRX OPWRF/TRX OPWRR/CDU OPWRF/CDU", "14 13 2 1", 0, 7},
    {38, "TFS/TSA/TS#1_config_params", "T2-#1", "", "", 0, 7}, {39, "PLS/IS/CONFIG", "TN2"},
    {40, "TFS/DCH/TS#1/TCH", "T13-#1", "", "", 0, 7}, {41, "TFS/DCH/TS#1/SDCCH#2", "T4-#1#2", "", "", 0, 7, 7},
    {42, "TFS/TSA/diversity_superv", "T7"}, {43, "TFS/TSA/RF_loop_test_params", "T14"},
    {46, "PLS/TSF/PCM/@/LINE_ATTENUATION", "TN1-@", "A B C D"}, {50, "PLS/CON/CONFIG", "TN3"},
    {52, "RTS/TU/ESB/DISTRIBUTION", "R36"}, {87, "RTS/TU/ESB/@", "R@", "MEASUREMENT DELAY", "60 59"},
    {53, "RTS/TU/TF_CONFIG/@", "R@", "SYNC_SRC MODE COMPENSATION", "39 37 38"},
    {89, "RTS/TU/TF_CONFIG/@", "R@", "MASTER_TX_CHAIN_DELAY MASTER_TG_INST ESB_TS", "61 62 63"},
    {56, "TFS/DCH/TS#1/TCH_F", "T3-#1", "", "", 0, 7}, {57, "TFS/DCH/TS#1/TCH_H#2", "T5-#1#2", "", "", 0, 7, 1},
    {58, "EC/POWERCTRL/BDM_INFO", "E13"}, {61, "TGC/AHOP/TABLES", "O3"}, {97, "TGC/FAHOP/TABLES", "O15"},
    {62, "CREC/RX/MEAS/TMA@CUR", "R31-@", kSix}, {72, "CREC/RX/MEAS/TMA@VOL", "R32-@", kSix},
    {78, "RTS/TU/GPS/@", "R@", "POSITION STATUS SATELLITES TIME/WEEK TIME/SECONDS TIME/STD_DEV", "46 47 48 49 50 51"},
    {100, "RTS/TU/GPS/SNR", "R67"}, {85, "RTS/TU/TF_CONFIG/FSOFFSET", "R52"}, {84, "RTS/TU/REG/FSOFFSET", "R53"},
    {86, "RTS/TU/REG/HOLDOVERTIME", "R54"}, {94, "CF/AO/IS/@", "O@", "SC_QUAL_DATA SC_TRX_CONFIG", "13 14"},
    {96, "TFS/TSA/RX_imbalance", "T13"}, {98, "EC/POWERCTRL/PDU_#1_INFO", "E38-#1", "", "", 0, 7},
    {99, "EC/POWERCTRL/PDU_VOLTAGE", "E39"}, {101, "CREC/RX/MEAS/TMA_CM0/TMA@CUR", "R57-0@", kSix},
    {107, "CREC/RX/MEAS/TMA_CM0/TMA@VOL", "R58-0@", kSix}, {113, "CREC/RX/MEAS/TMA_CM1/TMA@CUR", "R57-1@", kSix},
    {119, "CREC/RX/MEAS/TMA_CM1/TMA@VOL", "R58-1@", kSix}, {125, "CF/SO/CF/TECHNICIAN_PRESENT", "O17"},
    {126, "RTS/TX/MEAS/VRX_ACT_PWR_CAP", "R72"}, {127, "EC/POWERCTRL/BATTERY_TEST_@", "E@", "RUNNING STATUS", "42 43"},
    {131, "PLS/CASCADE/INFORMATION", "P22"},
    {132, "RTS/TU/TF_CONFIG/EATC_@", "R@", "EST_ACC ACQ INFO_PRESENT SRC TOLERANCE", "77 75 73 74 76"},
    {140, "RTS/TU/EATC_ADJUSTMENT/ADJUSTMENT_VALUE", "R78"}, {137, "RTS/TU/SLAVE_REF", "R80"},
    {138, "RTS/TU/IDL2/@", "R@", "DELAY PORT", "81 82"}, {141, "TRNS/HDLC/CPRI/RE@/RETRANSMISSION", "TN8-@", kSix},
    {147, "TRNS/HDLC/IDL2/DX@/RETRANSMISSION", "TN8-@", "61 62"}, {149, "CTRP/CPRI_Status/RI@", "TN4-@", kPorts},
    {155, "CTRP/CPRI_Status/RI@_L1_Error_Reset", "TN5-@", kPorts},
    {161, "CTRP/CPRI_Status/RI@_L1_Restart_Total", "TN6-@", kPorts},
    {167, "CTRP/CPRI_Status/RI@_ECP_Error_Total", "TN7-@", kPorts},
    {173, "CTRP/CPRI_Status/RI@_RU_Failure_Total", "TN9-@", kPorts},
    {179, "CTRP/CPRI_Status/RI@_CPRI_Failure_Total", "TN10-@", kPorts},
    {185, "CTRP/CPRI_Cascade/RE@_RU_Failure_Total", "TN11-@", kSix},
    {191, "CTRP/CPRI_Cascade/RE@_CPRI_Failure_Total", "TN12-@", kSix},
    {197, "CTRP/CPRI_Cascade/RE@_L1_Restart_Total", "TN13-@", kSix}, {203, "TSC/RTD/RTD_RE@", "R79-@", kSix},
    {209, "RTS/TU/NGS/PORT@/NODE_PRIORITY", "", kPorts}, {215, "RTS/TU/NGS/PORT@/NG_SYNC_CANDI", "", kPorts},
    {221, "RTS/TU/NGS/NG_SYNC_REF_SELECTED", ""}, {222, "RTS/TU/NGS/PORT@/CANDIDATE_PORT", "", kPorts},
    {228, "RTS/TU/NGS/@", "",
     "SP_SYNC_STATE LOCKED_TO_RI_PORT TG_SYNC_PRIORITY SP_ECBFN/ESFC_MFN SP_ECBFN/BFN NG_SYNC_HOP_COUNTER"},
    {235, "RTS/TU/NGS/@", "", "NODE_ROLE SP_ECBFN/ROLE_TIME_OFFSET SP_CBFN/JUMP_INDICATION"},
    {238, "RTS/TU/NGS/PORT@/QUALIFIED_SOCC_PORT", "", kPorts}, {248, "RC/TX/C/CBO", "R87"},
    {249, "RTS/TX/MEAS/SBPS_@", "", "STATS PERIOD"},
    {244, "RTS/TU/NGS/@", "", "PCM_QUALIFICATION PCM_FREQUENCY GPS_FREQUENCY BASE_FREQUENCY"},
    {251, "EC/ECCCTRL/RE_@_POWER_MEAS", "", kSix}, {257, "EC/ECCCTRL/RE_@_ENERGY_MEAS", "", kSix},
    {263, "EC/ECCCTRL/RE_@_ENERGY_ACC_MEAS", "", kSix},
    {269, "EC/ECCCTRL/NODE_@", "", "POWER_MEAS ENERGY_MEAS ENERGY_ACC_MEAS ESTIMATED_TOTAL_ENERGY_ACC"},
    {273, "RC/TX/MEAS/TRX_EATC_OFFSET", ""},
};
// clang-format on

std::vector<std::string> Split(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Fill(std::string text, const std::string& mark, const std::string& value) {
  const size_t at = text.find(mark);
  return at == std::string::npos ? text : text.replace(at, mark.size(), value);
}

std::string Render(int id, const std::string& name, const std::string& shortId, int i1, int i2) {
  return std::to_string(id) + " " + name + " " + shortId + " " + std::to_string(i1) + " " + std::to_string(i2) + "\n";
}

struct Transcription {
  std::vector<int> kinds;               // in catalogue order
  std::map<int, std::string> entries;   // kind -> its entries, rendered
  std::map<int, const Group*> groupOf;  // kind -> its group
};

Transcription Expand() {
  Transcription out;
  int id = 0;
  for (const Group& g : kGroups) {
    std::vector<std::string> tokens = Split(g.tokens);
    std::vector<std::string> shortTokens = Split(g.shortTokens);
    if (tokens.empty()) tokens.push_back("");
    if (shortTokens.empty()) shortTokens = tokens;
    for (size_t t = 0; t < tokens.size(); ++t) {
      const int kind = g.firstKind + static_cast<int>(t);
      out.kinds.push_back(kind);
      out.groupOf[kind] = &g;
      for (int i = g.first; i <= g.last1; ++i) {
        for (int j = 0; j <= std::max(g.last2, 0); ++j) {
          auto fill = [&](const char* pattern, const std::string& token) {
            return Fill(Fill(Fill(pattern, "@", token), "#1", std::to_string(i)), "#2", std::to_string(j));
          };
          out.entries[kind] += Render(id++, fill(g.name, tokens[t]), fill(g.shortId, shortTokens.at(t)), i, j);
        }
      }
    }
  }
  return out;
}

std::map<int, std::string> DisplayNames(CMonitorObjectTable& table) {
  std::map<int, std::string> names;
  for (const TextStruct& text : Access::Texts(table)) names[text.nameType] = text.name.str();
  return names;
}

class CatalogueTest : public ::testing::Test {
 protected:
  CMonitorObjectTable table;
  const Transcription expected = Expand();
};

TEST_F(CatalogueTest, EntriesAndKindOrderMatchTheTranscription) {
  std::map<int, std::string> entries;
  for (const InternalNameStruct& e : Access::Names(table)) {
    entries[e.nameType] += Render(e.internalId, e.internalName.str(), e.shortId.str(), e.instance1, e.instance2);
  }
  for (const auto& [kind, text] : expected.entries) EXPECT_EQ(entries[kind], text) << "kind " << kind;
  EXPECT_EQ(entries.size(), expected.entries.size());
  std::vector<int> kinds;
  for (const TextStruct& text : Access::Texts(table)) kinds.push_back(text.nameType);
  EXPECT_EQ(kinds, expected.kinds);
  EXPECT_EQ(Access::Names(g_monitorObjectTable).GetSize(), 428);  // built when the library loads
}

// Real texts, with placeholders exactly where the kind has instance numbers.
TEST_F(CatalogueTest, DisplayTextsHavePlaceholdersWhereTheKindIsNumbered) {
  for (const TextStruct& text : Access::Texts(table)) {
    const std::string& name = text.name.str();
    const std::string& description = text.description.str();
    const Group& g = *expected.groupOf.at(text.nameType);
    const bool numbered = g.last1 > g.first && text.nameType != 98;  // one name for every PDU
    SCOPED_TRACE("kind " + std::to_string(text.nameType) + " \"" + name + "\"");
    EXPECT_TRUE(name.size() >= 3 && name.find('9') == std::string::npos);
    EXPECT_TRUE(description.size() >= 20 && description.back() == '.' && description.find('#') == std::string::npos);
    EXPECT_EQ(name.find("#1") != std::string::npos, numbered);
    EXPECT_EQ(name.find("#2") != std::string::npos, g.last2 >= 0);
    EXPECT_TRUE(numbered || name.find('#') == std::string::npos);
  }
}

// Every instance's filled-in display name leads back to the first instance of
// its kind; only the names of the numbered TMA kinds differ in digits alone,
// and they lead to the first TMA current (id 224) or voltage (230) instead.
TEST_F(CatalogueTest, DisplayNamesLeadBackToTheirKind) {
  std::map<int, int> firstIds;
  for (const InternalNameStruct& e : Access::Names(table)) firstIds.emplace(e.nameType, e.internalId);
  for (const InternalNameStruct& e : Access::Names(table)) {
    CString name;
    table.GetMonitorName(e.internalId, name);
    const int k = e.nameType;
    const bool tma = (k >= 62 && k <= 67) || (k >= 72 && k <= 77) || (k >= 101 && k <= 124);
    const int want = !tma ? firstIds[k] : name.Find("current") >= 0 ? 224 : 230;
    EXPECT_EQ(table.GetMonitorId(name), want) << e.internalId << " \"" << name.str() << "\"";
  }
}

// The TMA kinds of the groups CM0 and CM1 name their group in the long form.
// The names change only when the form does; Reset keeps the form's flag but
// rebuilds the short names and drops the attachments.
TEST_F(CatalogueTest, TmaNamesFollowTheGroupForm) {
  const std::map<int, std::string> shortNames = DisplayNames(table);
  std::map<int, std::string> longNames = shortNames;
  for (int k = 0; k < 24; ++k) {
    longNames[101 + k] =
        "TMA " + std::to_string(k % 6) + " CM " + std::to_string(k / 12) + (k % 12 < 6 ? " current" : " voltage");
  }
  TextOf(table, 101).name = "edited";
  table.UpdateTMA_CM_Names(false);  // a fresh table has the short form already
  EXPECT_EQ(TextOf(table, 101).name, "edited");
  table.UpdateTMA_CM_Names(true);
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_EQ(DisplayNames(table), longNames);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 voltage"), 264);
  EXPECT_EQ(table.GetMonitorId("TMA 3 current"), 224);
  TextOf(table, 101).name = "edited";
  table.UpdateTMA_CM_Names(true);
  EXPECT_EQ(TextOf(table, 101).name, "edited");
  table.UpdateTMA_CM_Names(false);
  EXPECT_FALSE(Access::TmaCmNames(table));
  EXPECT_EQ(DisplayNames(table), shortNames);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 current"), -1);

  table.UpdateTMA_CM_Names(true);
  table.AddElement(Kind(5), static_cast<Pelix_ObjectType>(1), 0, FT_NONE, 0);
  table.Reset();
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_EQ(Access::Objects(table).GetSize(), 0);
  table.UpdateTMA_CM_Names(true);
  EXPECT_EQ(DisplayNames(table), shortNames);
}

}  // namespace
