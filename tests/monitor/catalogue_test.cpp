// The built-in catalogue checked against an independent, compact transcription
// of the station's monitor list, plus the display texts and the TMA name forms.
#include <gmock/gmock.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/monitor/table_access.h"

using Access = CMonitorObjectTableTestAccess;
using monitor_test::TextOf;

namespace {

// ---------------------------------------------------------------------------
// The transcription: groups of consecutive kinds that share one name pattern.
// In `name` and `shortId` "@" stands for the group's token (one kind per
// token); `shortTokens`, when given, are the tokens for the short id instead.
// A group without tokens is a single kind. The instance form applies to each
// kind of the group: #1 runs first..last1, and #2 runs 0..last2 in a grid.
// Left-out fields: no tokens and a single instance.

struct Form {
  int first;
  int last1;
  int last2;  // -1: no #2
};
constexpr Form kOne{0, 0, -1};
constexpr Form Row(int first, int last) { return Form{first, last, -1}; }
constexpr Form Grid(int last1, int last2) { return Form{0, last1, last2}; }

struct Group {
  int firstKind;
  const char* name;
  const char* shortId;
  const char* tokens = "";
  const char* shortTokens = "";
  Form form = kOne;
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
    {24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", "", "", Row(1, 2)}, {25, "EPS/CLIMATE/CAB_HUM_INT", "E10"},
    {60, "EC/POWERCTRL/PSU_#1_INFO", "E20-#1", "", "", Row(0, 13)}, {27, "EPS/POWER/PSU_CURRENT", "E19"},
    {26, "EPS/POWER/PSU_VOLTAGE", "E18"}, {59, "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", "", "", Row(0, 3)},
    {28, "EPS/POWER/BFU_@", "E@", "CURRENT VOLTAGE", "16 15"},
    {129, "EC/POWERCTRL/BFU_#1_@", "E@-#1", "BATTERYFAULT_LED ESC_MOD", "44 45", Row(0, 3)},
    {30, "RTS/RX/MEAS/ALNACUR@", "R55-@", "A B"}, {32, "RTS/RX/MEAS/CDUOUTV@", "R56-@", "A B"},
    {34, "RTS/TX/MEAS/@_TN#1", "R@-#1", "OPWRR/TRX OPWRF/TRX OPWRR/CDU OPWRF/CDU", "14 13 2 1", Row(0, 7)},
    {38, "TFS/TSA/TS#1_config_params", "T2-#1", "", "", Row(0, 7)}, {39, "PLS/IS/CONFIG", "TN2"},
    {40, "TFS/DCH/TS#1/TCH", "T13-#1", "", "", Row(0, 7)}, {41, "TFS/DCH/TS#1/SDCCH#2", "T4-#1#2", "", "", Grid(7, 7)},
    {42, "TFS/TSA/diversity_superv", "T7"}, {43, "TFS/TSA/RF_loop_test_params", "T14"},
    {46, "PLS/TSF/PCM/@/LINE_ATTENUATION", "TN1-@", "A B C D"}, {50, "PLS/CON/CONFIG", "TN3"},
    {52, "RTS/TU/ESB/DISTRIBUTION", "R36"}, {87, "RTS/TU/ESB/@", "R@", "MEASUREMENT DELAY", "60 59"},
    {53, "RTS/TU/TF_CONFIG/@", "R@", "SYNC_SRC MODE COMPENSATION", "39 37 38"},
    {89, "RTS/TU/TF_CONFIG/@", "R@", "MASTER_TX_CHAIN_DELAY MASTER_TG_INST ESB_TS", "61 62 63"},
    {56, "TFS/DCH/TS#1/TCH_F", "T3-#1", "", "", Row(0, 7)}, {57, "TFS/DCH/TS#1/TCH_H#2", "T5-#1#2", "", "", Grid(7, 1)},
    {58, "EC/POWERCTRL/BDM_INFO", "E13"}, {61, "TGC/AHOP/TABLES", "O3"}, {97, "TGC/FAHOP/TABLES", "O15"},
    {62, "CREC/RX/MEAS/TMA@CUR", "R31-@", kSix}, {72, "CREC/RX/MEAS/TMA@VOL", "R32-@", kSix},
    {78, "RTS/TU/GPS/@", "R@", "POSITION STATUS SATELLITES TIME/WEEK TIME/SECONDS TIME/STD_DEV", "46 47 48 49 50 51"},
    {100, "RTS/TU/GPS/SNR", "R67"}, {85, "RTS/TU/TF_CONFIG/FSOFFSET", "R52"}, {84, "RTS/TU/REG/FSOFFSET", "R53"},
    {86, "RTS/TU/REG/HOLDOVERTIME", "R54"}, {94, "CF/AO/IS/@", "O@", "SC_QUAL_DATA SC_TRX_CONFIG", "13 14"},
    {96, "TFS/TSA/RX_imbalance", "T13"}, {98, "EC/POWERCTRL/PDU_#1_INFO", "E38-#1", "", "", Row(0, 7)},
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

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Substitute(std::string text, const std::string& mark, const std::string& value) {
  const size_t at = text.find(mark);
  if (at != std::string::npos) text.replace(at, mark.size(), value);
  return text;
}

using Entry = std::tuple<int, int, std::string, std::string, int, int>;  // id, kind, name, short id, #1, #2

struct Transcription {
  std::vector<int> kinds;      // kind order
  std::vector<Entry> entries;  // one per instance, in id order
  std::map<int, Form> forms;   // kind -> instance form
};

Transcription Expand() {
  Transcription out;
  for (const Group& group : kGroups) {
    std::vector<std::string> tokens = Split(group.tokens);
    if (tokens.empty()) tokens.push_back("");
    std::vector<std::string> shortTokens = Split(group.shortTokens);
    if (shortTokens.empty()) shortTokens = tokens;
    const Form form = group.form;
    for (size_t t = 0; t < tokens.size(); ++t) {
      const int kind = group.firstKind + static_cast<int>(t);
      out.kinds.push_back(kind);
      out.forms[kind] = form;
      for (int i = form.first; i <= form.last1; ++i) {
        for (int j = 0; j <= std::max(form.last2, 0); ++j) {
          auto fill = [&](const char* pattern, const std::string& token) {
            const std::string text = Substitute(Substitute(pattern, "@", token), "#1", std::to_string(i));
            return Substitute(text, "#2", std::to_string(j));
          };
          out.entries.emplace_back(static_cast<int>(out.entries.size()), kind, fill(group.name, tokens[t]),
                                   fill(group.shortId, shortTokens.at(t)), i, j);
        }
      }
    }
  }
  return out;
}

int FirstIdOfKind(CMonitorObjectTable& table, int kind) {
  for (const InternalNameStruct& entry : *Access::NameList(table)) {
    if (entry.nameType == kind) return entry.internalId;
  }
  return -2;
}

bool IsTmaKind(int kind) {
  return (kind >= 62 && kind <= 67) || (kind >= 72 && kind <= 77) || (kind >= 101 && kind <= 124);
}

std::map<int, std::string> NamesOf(CMonitorObjectTable& table) {
  std::map<int, std::string> names;
  for (const TextStruct& text : *Access::TextList(table)) names[text.nameType] = text.name.str();
  return names;
}

class CatalogueTest : public ::testing::Test {
 protected:
  CMonitorObjectTable table;
  const Transcription expected = Expand();
};

// A guard on the transcription itself: 271 kinds, 0 to 273 without 44, 45 and
// 234, 428 instances, and the first ids of kinds as the catalogue lists them.
TEST_F(CatalogueTest, TranscriptionCoversTheUsedKinds) {
  const std::set<int> kinds(expected.kinds.begin(), expected.kinds.end());
  EXPECT_EQ(expected.kinds.size(), 271U);
  for (int kind = 0; kind <= 273; ++kind) {
    EXPECT_EQ(kinds.count(kind), (kind == 44 || kind == 45 || kind == 234) ? 0U : 1U) << kind;
  }
  EXPECT_EQ(expected.entries.size(), 428U);
  const std::map<int, int> firstIds = {{0, 0},     {51, 3},    {68, 15},   {71, 18},   {24, 31},   {60, 34},
                                       {59, 50},   {129, 56},  {130, 60},  {34, 68},   {41, 117},  {42, 181},
                                       {56, 197},  {57, 205},  {58, 221},  {62, 224},  {98, 249},  {99, 257},
                                       {101, 258}, {124, 281}, {125, 282}, {141, 296}, {149, 304}, {203, 358},
                                       {209, 364}, {235, 389}, {248, 398}, {244, 401}, {251, 405}, {273, 427}};
  for (const auto& [kind, id] : firstIds) EXPECT_EQ(FirstIdOfKind(table, kind), id) << "kind " << kind;
}

TEST_F(CatalogueTest, ListsMatchTheTranscription) {
  const auto& names = *Access::NameList(table);
  ASSERT_EQ(names.GetSize(), static_cast<int>(expected.entries.size()));
  for (int id = 0; id < names.GetSize(); ++id) {
    const InternalNameStruct& e = names[id];
    EXPECT_EQ(Entry(e.internalId, e.nameType, e.internalName.str(), e.shortId.str(), e.instance1, e.instance2),
              expected.entries[static_cast<size_t>(id)]);
  }
  const auto& texts = *Access::TextList(table);
  ASSERT_EQ(texts.GetSize(), 271);
  for (int i = 0; i < texts.GetSize(); ++i) {
    EXPECT_EQ(texts[i].nameType, expected.kinds[static_cast<size_t>(i)]) << "text entry " << i;
  }
}

// The display names and descriptions that the terminal's users already know.
TEST_F(CatalogueTest, FixedDisplayTexts) {
  // clang-format off
  const std::pair<int, const char*> names[] = {
      {0, "TS Channel Comb"}, {5, "Nominal Output Power"}, {16, "Phase Diff Error. PCM_A"},
      {24, "Cabinet Internal Temperature Sensor -#1"}, {34, "Reflected Power on TS #1 at TRX output"},
      {35, "Forward Power on TS #1 at TRX output"}, {36, "Reflected Power on TS #1 at CDU output"},
      {37, "Forward Power on TS #1 at CDU output"}, {38, "TSSP Configuration for TS #1"},
      {40, "Supervision Value TCH-TS#1"}, {41, "Supervision Value SDCCH#2-TS#1"}, {56, "Supervision Value TCH_F-TS#1"},
      {57, "Supervision Value TCH_H#2-TS#1"}, {59, "BFU-#1 Information"}, {60, "PSU-#1 Information"},
      {98, "PDU Information"}, {129, "BFU-#1 Battery Fault LED"}, {130, "BFU-#1 Extended Software Control"},
      {68, "TMA Current at PortA"}, {69, "TMA Current at PortB"}, {70, "TMA Current at PortC"},
      {71, "TMA Current at PortD"}, {125, "TechnicianPresent"}, {209, "NGS NodePriority PortA"},
      {273, "Mon TRX eATC offset"}};
  const std::pair<int, const char*> descriptions[] = {
      {0, "The channel combination is reported per TS."},
      {5, "The nominal output power for the transmitter is displayed."},
      {16, "The measured phase difference error when using the PCM_A as synchronisation reference is displayed."},
      {24, "Displays the internal temperature in the cabinet."},
      {41, "DCH supervision parameters are displayed for the channel type SDCCH."},
      {57, "DCH supervision parameters are displayed for the channel type TCH-H."},
      {60, "Displays miscellaneous information about a PSU."}, {98, "Displays miscellaneous information about a PDU."},
      {125, "Displays if TechnicianPresent is active or not."},
      {209, "This monitor displays the configured syncNodePriority of the remote node connected to PortA."},
      {273, "This monitor displays the current TRX eATC offset."}};
  // clang-format on
  for (const auto& [kind, name] : names) EXPECT_EQ(TextOf(table, kind).name, name) << kind;
  for (const auto& [kind, text] : descriptions) EXPECT_EQ(TextOf(table, kind).description, text) << kind;
  // The TMA kinds without a group and the short forms of the grouped ones.
  for (int k = 0; k < 6; ++k) {
    for (int kind : {62 + k, 101 + k, 113 + k, 72 + k, 107 + k, 119 + k}) {
      const bool current = kind == 62 + k || kind == 101 + k || kind == 113 + k;
      EXPECT_EQ(TextOf(table, kind).name.str(), "TMA " + std::to_string(k) + (current ? " current" : " voltage"));
      EXPECT_EQ(TextOf(table, kind).description,
                current ? "Displays the power supply current." : "Displays the power supply voltage.")
          << kind;
    }
  }
}

TEST_F(CatalogueTest, EveryKindHasARealDisplayNameAndDescription) {
  for (const TextStruct& text : *Access::TextList(table)) {
    const std::string& name = text.name.str();
    const std::string& description = text.description.str();
    SCOPED_TRACE("kind " + std::to_string(text.nameType) + " \"" + name + "\"");
    EXPECT_GE(name.size(), 3U);
    EXPECT_EQ(name.find('9'), std::string::npos);
    EXPECT_EQ(description.find('#'), std::string::npos);
    EXPECT_GE(description.size(), 20U);
    EXPECT_EQ(description.back(), '.');
    // Placeholders appear exactly where the kind has instance numbers.
    const Form form = expected.forms.at(text.nameType);
    const bool numbered = form.last1 > form.first && text.nameType != 98;
    EXPECT_EQ(name.find("#1") != std::string::npos, numbered);
    EXPECT_EQ(name.find("#2") != std::string::npos, form.last2 >= 0);
    EXPECT_TRUE(numbered || name.find('#') == std::string::npos);
  }
}

// Every instance's filled-in display name leads back to its kind, except for
// the TMA kinds, whose names differ only in digits: they lead to the first
// kind of their group. Only the TMA kinds share names up to digits.
TEST_F(CatalogueTest, DisplayNamesRoundTripThroughGetMonitorId) {
  const int tmaCurrent = FirstIdOfKind(table, 62);
  const int tmaVoltage = FirstIdOfKind(table, 72);
  for (const InternalNameStruct& entry : *Access::NameList(table)) {
    CString name;
    table.GetMonitorName(entry.internalId, name);
    int want = FirstIdOfKind(table, entry.nameType);
    if (IsTmaKind(entry.nameType)) want = name.Find("current") >= 0 ? tmaCurrent : tmaVoltage;
    EXPECT_EQ(table.GetMonitorId(name), want) << entry.internalId << " \"" << name.str() << "\"";
  }
  std::map<std::string, std::vector<int>> byStem;
  for (const TextStruct& text : *Access::TextList(table)) {
    std::string stem;
    for (char ch : text.name.str()) {
      if ((ch < '0' || ch > '9') && ch != '#') stem += ch;
    }
    byStem[stem].push_back(text.nameType);
  }
  for (const auto& [stem, kinds] : byStem) {
    for (int kind : kinds) EXPECT_TRUE(kinds.size() == 1 || IsTmaKind(kind)) << kind << " shares \"" << stem << "\"";
  }
  EXPECT_EQ(byStem["TMA  current"].size(), 18U);
  EXPECT_EQ(byStem["TMA  voltage"].size(), 18U);
}

// ---------------------------------------------------------------------------
// The TMA names of the groups CM0 and CM1

TEST_F(CatalogueTest, LongTmaNamesCarryTheGroup) {
  const std::map<int, std::string> before = NamesOf(table);
  table.UpdateTMA_CM_Names(true);
  EXPECT_TRUE(Access::TmaCmNames(table));
  for (const auto& [kind, name] : NamesOf(table)) {
    const int offset = kind - 101;
    const std::string group = "TMA " + std::to_string(offset % 6) + " CM " + std::to_string(offset / 12) +
                              ((offset % 12) < 6 ? " current" : " voltage");
    EXPECT_EQ(name, kind < 101 || kind > 124 ? before.at(kind) : group) << kind;
  }
  CString name;
  table.GetMonitorName(263, name);
  EXPECT_EQ(name, "TMA 5 CM 0 current");
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 current"), 258);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 voltage"), 264);
  EXPECT_EQ(table.GetMonitorId("TMA 3 current"), 224);  // the kinds without a group keep their names
  table.UpdateTMA_CM_Names(false);
  EXPECT_FALSE(Access::TmaCmNames(table));
  EXPECT_EQ(NamesOf(table), before);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 current"), -1);
}

// The names change only when the form does; Reset keeps the form's flag but
// rebuilds the short names and drops the attachments.
TEST_F(CatalogueTest, TmaNamesChangeOnlyWithTheForm) {
  TextStruct& text = TextOf(table, 101);
  text.name = "edited";
  table.UpdateTMA_CM_Names(false);  // a fresh table already has the short names
  EXPECT_EQ(text.name, "edited");
  table.UpdateTMA_CM_Names(true);
  EXPECT_EQ(text.name, "TMA 0 CM 0 current");
  text.name = "edited again";
  table.UpdateTMA_CM_Names(true);
  EXPECT_EQ(text.name, "edited again");

  table.AddElement(static_cast<MonitorNameType>(5), static_cast<Pelix_ObjectType>(1), 0, FT_NONE, 0);
  table.Reset();
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
  CString name;
  for (bool withGroup : {true, false}) {  // true: flag already set, nothing happens
    table.UpdateTMA_CM_Names(withGroup);
    EXPECT_EQ(Access::TmaCmNames(table), withGroup);
    table.GetMonitorName(258, name);
    EXPECT_EQ(name, "TMA 0 current");
  }
}

TEST(GlobalCatalogue, IsBuiltWhenTheLibraryLoadsAndKindNamesFollowTheInternalNames) {
  EXPECT_EQ(Access::NameList(g_monitorObjectTable)->GetSize(), 428);
  EXPECT_EQ(Access::NameList(g_monitorObjectTable)->GetAt(427).internalId, 427);
  EXPECT_EQ(Access::TextList(g_monitorObjectTable)->GetSize(), 271);
  EXPECT_TRUE(g_monitorObjectTable.MonitorExists("RTS/TX/C/PWR"));
  EXPECT_THAT((std::vector<int>{MON_TFS_TSA_CH_COMB, MON_OMS_EXTAL_ARAE, MON_TFS_DCH_TS_SDCCH,
                                MON_CREC_ANT_TMA_CURRENT_VOLTAGE_D, MON_RC_TX_MEAS_TRX_EATC_OFFSET}),
              ::testing::ElementsAre(0, 51, 41, 71, 273));
}

}  // namespace
