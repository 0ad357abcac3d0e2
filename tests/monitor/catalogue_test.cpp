// The built-in catalogue checked against an independent, compact transcription
// of the station's monitor list, plus the invariants the queries rely on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pelix/monitor_object_table.h"
#include "tests/monitor/table_access.h"

using Access = CMonitorObjectTableTestAccess;

namespace {

// ---------------------------------------------------------------------------
// The transcription: groups of consecutive kinds that share one name pattern.
// In `name` and `shortId` "@" stands for the group's token (one kind per
// token); `shortTokens`, when given, are the tokens for the short id instead.
// A group without tokens is a single kind. The instance form applies to each
// kind of the group.

struct Form {
  int first;  // -1: one instance; else #1 runs first..last1
  int last1;
  int last2;  // -1: a row; else #2 runs 0..last2
};
constexpr Form kOne{-1, 0, -1};
constexpr Form Row(int first, int last) { return Form{first, last, -1}; }
constexpr Form Grid(int last1, int last2) { return Form{0, last1, last2}; }

struct Group {
  int firstKind;
  const char* name;
  const char* tokens;
  const char* shortId;
  const char* shortTokens;
  Form form;
};

constexpr const char* kPorts = "A B C D E F";
constexpr const char* kSix = "0 1 2 3 4 5";

// clang-format off
const Group kGroups[] = {
    {0, "TFS/TSA/Ch_comb", "", "T6", "", kOne},
    {1, "OMS/EXTAL/STATUS", "", "OMS/EXTAL/STATUS", "", kOne},
    {2, "RTS/RX/C/DIV", "", "R34", "", kOne},
    {51, "OMS/EXTAL/ARAE", "", "O1", "", kOne},
    {3, "RTS/RX/C/ARFCN", "", "R33", "", kOne},
    {4, "RTS/RX/C/FREQ_MRK", "", "R35", "", kOne},
    {5, "RTS/TX/C/@", "PWR ARFCN FILL BCC", "R@", "6 3 5 4", kOne},
    {9, "RTS/TX/MEAS/VSWR/ANT", "", "R15", "", kOne},
    {10, "CREC/ANT/VSWR@", "A B C D", "R@", "68 70 83 85", kOne},
    {68, "CREC/ANT/TMA_CURRENT_VOLTAGE", "A B C D", "R@", "69 71 84 86", kOne},
    {14, "RTS/TU/OPT_REF/MEAS/FI_ERR", "", "R40", "", kOne},
    {15, "RTS/TU/OPT_VALS/PLL_ADJ", "", "R41", "", kOne},
    {16, "RTS/TU/PCM_REF@/MEAS/FI_ERR", "A B C D", "R42-@", "", kOne},
    {20, "RTS/TU/REG/C_V", "", "R43", "", kOne},
    {92, "RTS/TU/TF_COMPENSATION/@", "CURRENT_VALUE SOURCE", "R@", "64 65", kOne},
    {21, "RTS/TU/STATES/@", "EXEC_REF INTERNAL", "R@", "44 45", kOne},
    {23, "EPS/POWER/DC_SYS_VOLT", "", "E14", "", kOne},
    {24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "", "E1#1", "", Row(1, 2)},
    {25, "EPS/CLIMATE/CAB_HUM_INT", "", "E10", "", kOne},
    {60, "EC/POWERCTRL/PSU_#1_INFO", "", "E20-#1", "", Row(0, 13)},
    {27, "EPS/POWER/PSU_CURRENT", "", "E19", "", kOne},
    {26, "EPS/POWER/PSU_VOLTAGE", "", "E18", "", kOne},
    {59, "EC/POWERCTRL/BFU_#1_INFO", "", "E17-#1", "", Row(0, 3)},
    {28, "EPS/POWER/BFU_@", "CURRENT VOLTAGE", "E@", "16 15", kOne},
    {129, "EC/POWERCTRL/BFU_#1_@", "BATTERYFAULT_LED ESC_MOD", "E@-#1", "44 45", Row(0, 3)},
    {30, "RTS/RX/MEAS/ALNACUR@", "A B", "R55-@", "", kOne},
    {32, "RTS/RX/MEAS/CDUOUTV@", "A B", "R56-@", "", kOne},
    {34, "RTS/TX/MEAS/@_TN#1", "OPWRR/TRX OPWRF/TRX OPWRR/CDU OPWRF/CDU", "R@-#1", "14 13 2 1", Row(0, 7)},
    {38, "TFS/TSA/TS#1_config_params", "", "T2-#1", "", Row(0, 7)},
    {39, "PLS/IS/CONFIG", "", "TN2", "", kOne},
    {40, "TFS/DCH/TS#1/TCH", "", "T13-#1", "", Row(0, 7)},
    {41, "TFS/DCH/TS#1/SDCCH#2", "", "T4-#1#2", "", Grid(7, 7)},
    {42, "TFS/TSA/diversity_superv", "", "T7", "", kOne},
    {43, "TFS/TSA/RF_loop_test_params", "", "T14", "", kOne},
    {46, "PLS/TSF/PCM/@/LINE_ATTENUATION", "A B C D", "TN1-@", "", kOne},
    {50, "PLS/CON/CONFIG", "", "TN3", "", kOne},
    {52, "RTS/TU/ESB/DISTRIBUTION", "", "R36", "", kOne},
    {87, "RTS/TU/ESB/@", "MEASUREMENT DELAY", "R@", "60 59", kOne},
    {53, "RTS/TU/TF_CONFIG/@", "SYNC_SRC MODE COMPENSATION", "R@", "39 37 38", kOne},
    {89, "RTS/TU/TF_CONFIG/@", "MASTER_TX_CHAIN_DELAY MASTER_TG_INST ESB_TS", "R@", "61 62 63", kOne},
    {56, "TFS/DCH/TS#1/TCH_F", "", "T3-#1", "", Row(0, 7)},
    {57, "TFS/DCH/TS#1/TCH_H#2", "", "T5-#1#2", "", Grid(7, 1)},
    {58, "EC/POWERCTRL/BDM_INFO", "", "E13", "", kOne},
    {61, "TGC/AHOP/TABLES", "", "O3", "", kOne},
    {97, "TGC/FAHOP/TABLES", "", "O15", "", kOne},
    {62, "CREC/RX/MEAS/TMA@CUR", kSix, "R31-@", "", kOne},
    {72, "CREC/RX/MEAS/TMA@VOL", kSix, "R32-@", "", kOne},
    {78, "RTS/TU/GPS/@", "POSITION STATUS SATELLITES TIME/WEEK TIME/SECONDS TIME/STD_DEV", "R@",
     "46 47 48 49 50 51", kOne},
    {100, "RTS/TU/GPS/SNR", "", "R67", "", kOne},
    {85, "RTS/TU/TF_CONFIG/FSOFFSET", "", "R52", "", kOne},
    {84, "RTS/TU/REG/FSOFFSET", "", "R53", "", kOne},
    {86, "RTS/TU/REG/HOLDOVERTIME", "", "R54", "", kOne},
    {94, "CF/AO/IS/@", "SC_QUAL_DATA SC_TRX_CONFIG", "O@", "13 14", kOne},
    {96, "TFS/TSA/RX_imbalance", "", "T13", "", kOne},
    {98, "EC/POWERCTRL/PDU_#1_INFO", "", "E38-#1", "", Row(0, 7)},
    {99, "EC/POWERCTRL/PDU_VOLTAGE", "", "E39", "", kOne},
    {101, "CREC/RX/MEAS/TMA_CM0/TMA@CUR", kSix, "R57-0@", "", kOne},
    {107, "CREC/RX/MEAS/TMA_CM0/TMA@VOL", kSix, "R58-0@", "", kOne},
    {113, "CREC/RX/MEAS/TMA_CM1/TMA@CUR", kSix, "R57-1@", "", kOne},
    {119, "CREC/RX/MEAS/TMA_CM1/TMA@VOL", kSix, "R58-1@", "", kOne},
    {125, "CF/SO/CF/TECHNICIAN_PRESENT", "", "O17", "", kOne},
    {126, "RTS/TX/MEAS/VRX_ACT_PWR_CAP", "", "R72", "", kOne},
    {127, "EC/POWERCTRL/BATTERY_TEST_@", "RUNNING STATUS", "E@", "42 43", kOne},
    {131, "PLS/CASCADE/INFORMATION", "", "P22", "", kOne},
    {132, "RTS/TU/TF_CONFIG/EATC_@", "EST_ACC ACQ INFO_PRESENT SRC TOLERANCE", "R@", "77 75 73 74 76", kOne},
    {140, "RTS/TU/EATC_ADJUSTMENT/ADJUSTMENT_VALUE", "", "R78", "", kOne},
    {137, "RTS/TU/SLAVE_REF", "", "R80", "", kOne},
    {138, "RTS/TU/IDL2/@", "DELAY PORT", "R@", "81 82", kOne},
    {141, "TRNS/HDLC/CPRI/RE@/RETRANSMISSION", kSix, "TN8-@", "", kOne},
    {147, "TRNS/HDLC/IDL2/DX@/RETRANSMISSION", "61 62", "TN8-@", "", kOne},
    {149, "CTRP/CPRI_Status/RI@", kPorts, "TN4-@", "", kOne},
    {155, "CTRP/CPRI_Status/RI@_L1_Error_Reset", kPorts, "TN5-@", "", kOne},
    {161, "CTRP/CPRI_Status/RI@_L1_Restart_Total", kPorts, "TN6-@", "", kOne},
    {167, "CTRP/CPRI_Status/RI@_ECP_Error_Total", kPorts, "TN7-@", "", kOne},
    {173, "CTRP/CPRI_Status/RI@_RU_Failure_Total", kPorts, "TN9-@", "", kOne},
    {179, "CTRP/CPRI_Status/RI@_CPRI_Failure_Total", kPorts, "TN10-@", "", kOne},
    {185, "CTRP/CPRI_Cascade/RE@_RU_Failure_Total", kSix, "TN11-@", "", kOne},
    {191, "CTRP/CPRI_Cascade/RE@_CPRI_Failure_Total", kSix, "TN12-@", "", kOne},
    {197, "CTRP/CPRI_Cascade/RE@_L1_Restart_Total", kSix, "TN13-@", "", kOne},
    {203, "TSC/RTD/RTD_RE@", kSix, "R79-@", "", kOne},
    {209, "RTS/TU/NGS/PORT@/NODE_PRIORITY", kPorts, "", "", kOne},
    {215, "RTS/TU/NGS/PORT@/NG_SYNC_CANDI", kPorts, "", "", kOne},
    {221, "RTS/TU/NGS/NG_SYNC_REF_SELECTED", "", "", "", kOne},
    {222, "RTS/TU/NGS/PORT@/CANDIDATE_PORT", kPorts, "", "", kOne},
    {228, "RTS/TU/NGS/@",
     "SP_SYNC_STATE LOCKED_TO_RI_PORT TG_SYNC_PRIORITY SP_ECBFN/ESFC_MFN SP_ECBFN/BFN NG_SYNC_HOP_COUNTER", "", "",
     kOne},
    {235, "RTS/TU/NGS/@", "NODE_ROLE SP_ECBFN/ROLE_TIME_OFFSET SP_CBFN/JUMP_INDICATION", "", "", kOne},
    {238, "RTS/TU/NGS/PORT@/QUALIFIED_SOCC_PORT", kPorts, "", "", kOne},
    {248, "RC/TX/C/CBO", "", "R87", "", kOne},
    {249, "RTS/TX/MEAS/SBPS_@", "STATS PERIOD", "", "", kOne},
    {244, "RTS/TU/NGS/@", "PCM_QUALIFICATION PCM_FREQUENCY GPS_FREQUENCY BASE_FREQUENCY", "", "", kOne},
    {251, "EC/ECCCTRL/RE_@_POWER_MEAS", kSix, "", "", kOne},
    {257, "EC/ECCCTRL/RE_@_ENERGY_MEAS", kSix, "", "", kOne},
    {263, "EC/ECCCTRL/RE_@_ENERGY_ACC_MEAS", kSix, "", "", kOne},
    {269, "EC/ECCCTRL/NODE_@", "POWER_MEAS ENERGY_MEAS ENERGY_ACC_MEAS ESTIMATED_TOTAL_ENERGY_ACC", "", "", kOne},
    {273, "RC/TX/MEAS/TRX_EATC_OFFSET", "", "", "", kOne},
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

struct Expected {
  int kind;
  std::string name;
  std::string shortId;
  int instance1;
  int instance2;
};

struct Transcription {
  std::vector<int> kinds;         // kind order
  std::vector<Expected> entries;  // one per instance, in id order
  std::map<int, int> instances;   // kind -> instance count
  std::map<int, bool> isGrid;     // kind -> grid form
};

Transcription Expand() {
  Transcription out;
  for (const Group& group : kGroups) {
    std::vector<std::string> tokens = Split(group.tokens);
    if (tokens.empty()) tokens.push_back("");
    std::vector<std::string> shortTokens = Split(group.shortTokens);
    if (shortTokens.empty()) shortTokens = tokens;
    for (size_t t = 0; t < tokens.size(); ++t) {
      const int kind = group.firstKind + static_cast<int>(t);
      const std::string name = Substitute(group.name, "@", tokens[t]);
      const std::string code = Substitute(group.shortId, "@", shortTokens.at(t));
      out.kinds.push_back(kind);
      out.isGrid[kind] = group.form.last2 >= 0;
      const size_t before = out.entries.size();
      if (group.form.first < 0) {
        out.entries.push_back({kind, name, code, 0, 0});
      } else {
        for (int i = group.form.first; i <= group.form.last1; ++i) {
          const std::string rowName = Substitute(name, "#1", std::to_string(i));
          const std::string rowCode = Substitute(code, "#1", std::to_string(i));
          if (group.form.last2 < 0) {
            out.entries.push_back({kind, rowName, rowCode, i, 0});
            continue;
          }
          for (int j = 0; j <= group.form.last2; ++j) {
            out.entries.push_back({kind, Substitute(rowName, "#2", std::to_string(j)),
                                   Substitute(rowCode, "#2", std::to_string(j)), i, j});
          }
        }
      }
      out.instances[kind] = static_cast<int>(out.entries.size() - before);
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

class CatalogueTest : public ::testing::Test {
 protected:
  CMonitorObjectTable table;
  Transcription expected = Expand();
};

// ---------------------------------------------------------------------------

TEST_F(CatalogueTest, TranscriptionCoversTheUsedKinds) {
  // A guard on the transcription itself: 271 distinct kinds, 0 to 273
  // without 44, 45 and 234, and 428 instances.
  std::set<int> kinds(expected.kinds.begin(), expected.kinds.end());
  EXPECT_EQ(kinds.size(), 271U);
  EXPECT_EQ(expected.kinds.size(), 271U);
  for (int kind = 0; kind <= 273; ++kind) {
    EXPECT_EQ(kinds.count(kind), (kind == 44 || kind == 45 || kind == 234) ? 0U : 1U) << kind;
  }
  EXPECT_EQ(expected.entries.size(), 428U);
}

TEST_F(CatalogueTest, InternalNameListMatchesTranscription) {
  const auto& names = *Access::NameList(table);
  ASSERT_EQ(names.GetSize(), static_cast<int>(expected.entries.size()));
  for (int id = 0; id < names.GetSize(); ++id) {
    const InternalNameStruct& entry = names[id];
    const Expected& want = expected.entries[static_cast<size_t>(id)];
    SCOPED_TRACE("internal id " + std::to_string(id));
    EXPECT_EQ(entry.internalId, id);
    EXPECT_EQ(entry.nameType, want.kind);
    EXPECT_EQ(entry.internalName.str(), want.name);
    EXPECT_EQ(entry.shortId.str(), want.shortId);
    EXPECT_EQ(entry.instance1, want.instance1);
    EXPECT_EQ(entry.instance2, want.instance2);
  }
}

TEST_F(CatalogueTest, TextListFollowsKindOrder) {
  const auto& texts = *Access::TextList(table);
  ASSERT_EQ(texts.GetSize(), 271);
  for (int i = 0; i < texts.GetSize(); ++i) {
    EXPECT_EQ(texts[i].nameType, expected.kinds[static_cast<size_t>(i)]) << "text entry " << i;
  }
  // The start of the order, as the catalogue lists it.
  EXPECT_THAT((std::vector<int>{texts[0].nameType, texts[1].nameType, texts[2].nameType, texts[3].nameType,
                                texts[4].nameType, texts[5].nameType}),
              ::testing::ElementsAre(0, 1, 2, 51, 3, 4));
}

TEST_F(CatalogueTest, FirstIdsOfKindsMatchTheListedIds) {
  const std::map<int, int> firstIds = {{0, 0},     {51, 3},    {68, 15},   {71, 18},   {24, 31},   {60, 34},
                                       {59, 50},   {129, 56},  {130, 60},  {34, 68},   {41, 117},  {42, 181},
                                       {56, 197},  {57, 205},  {58, 221},  {62, 224},  {98, 249},  {99, 257},
                                       {101, 258}, {124, 281}, {125, 282}, {141, 296}, {149, 304}, {203, 358},
                                       {209, 364}, {235, 389}, {248, 398}, {244, 401}, {251, 405}, {273, 427}};
  for (const auto& [kind, id] : firstIds) EXPECT_EQ(FirstIdOfKind(table, kind), id) << "kind " << kind;
}

TEST_F(CatalogueTest, InvariantsOfTheInternalNameList) {
  const auto& names = *Access::NameList(table);
  const auto& texts = *Access::TextList(table);
  std::map<std::string, int> nameCount;
  std::map<std::string, int> shortCount;
  std::set<int> finishedKinds;
  for (int i = 0; i < names.GetSize(); ++i) {
    const InternalNameStruct& entry = names[i];
    EXPECT_EQ(entry.internalId, i);
    ++nameCount[entry.internalName.str()];
    ++shortCount[entry.shortId.str()];
    // Entries of one kind are adjacent: once a kind is left it never returns.
    if (i > 0 && names[i - 1].nameType != entry.nameType) {
      finishedKinds.insert(names[i - 1].nameType);
      EXPECT_EQ(finishedKinds.count(entry.nameType), 0U) << "kind " << entry.nameType << " split at id " << i;
    }
  }
  // The first instance of a kind never stands below the kind's text entry.
  for (int t = 0; t < texts.GetSize(); ++t) {
    EXPECT_GE(FirstIdOfKind(table, texts[t].nameType), t) << "kind " << texts[t].nameType;
  }
  for (const auto& [name, count] : nameCount) {
    EXPECT_EQ(count, name == "CREC/ANT/TMA_CURRENT_VOLTAGE" ? 4 : 1) << name;
  }
  for (const auto& [code, count] : shortCount) {
    if (!code.empty()) {
      EXPECT_EQ(count, 1) << code;
    }
  }
  // Kinds 209 to 273 have empty short ids, all but 248.
  EXPECT_EQ(shortCount[""], 63);
  for (const InternalNameStruct& entry : names) {
    const bool empty = entry.nameType >= 209 && entry.nameType != 248;
    EXPECT_EQ(entry.shortId.IsEmpty(), empty) << entry.internalName.str();
  }
  EXPECT_EQ(names[1].shortId, names[1].internalName);
}

TEST_F(CatalogueTest, WorkedExamplesOfTheInstanceForms) {
  const auto& names = *Access::NameList(table);
  auto expectEntry = [&](int id, const char* name, const char* code, int i1, int i2) {
    EXPECT_EQ(names[id].internalName, name) << id;
    EXPECT_EQ(names[id].shortId, code) << id;
    EXPECT_EQ(names[id].instance1, i1) << id;
    EXPECT_EQ(names[id].instance2, i2) << id;
  };
  expectEntry(31, "EPS/CLIMATE/CAB_TEMP_INT_1", "E11", 1, 0);
  expectEntry(32, "EPS/CLIMATE/CAB_TEMP_INT_2", "E12", 2, 0);
  expectEntry(34, "EC/POWERCTRL/PSU_0_INFO", "E20-0", 0, 0);
  expectEntry(47, "EC/POWERCTRL/PSU_13_INFO", "E20-13", 13, 0);
  expectEntry(117, "TFS/DCH/TS0/SDCCH0", "T4-00", 0, 0);
  expectEntry(118, "TFS/DCH/TS0/SDCCH1", "T4-01", 0, 1);
  expectEntry(125, "TFS/DCH/TS1/SDCCH0", "T4-10", 1, 0);
  expectEntry(180, "TFS/DCH/TS7/SDCCH7", "T4-77", 7, 7);
  expectEntry(205, "TFS/DCH/TS0/TCH_H0", "T5-00", 0, 0);
  expectEntry(220, "TFS/DCH/TS7/TCH_H1", "T5-71", 7, 1);
  expectEntry(427, "RC/TX/MEAS/TRX_EATC_OFFSET", "", 0, 0);
}

// The display names and descriptions that the terminal's users already know.
TEST_F(CatalogueTest, FixedDisplayTexts) {
  struct Fixed {
    int kind;
    const char* name;
    const char* description;  // nullptr: not fixed
  };
  const Fixed fixed[] = {
      {0, "TS Channel Comb", "The channel combination is reported per TS."},
      {5, "Nominal Output Power", "The nominal output power for the transmitter is displayed."},
      {16, "Phase Diff Error. PCM_A",
       "The measured phase difference error when using the PCM_A as synchronisation reference is displayed."},
      {24, "Cabinet Internal Temperature Sensor -#1", "Displays the internal temperature in the cabinet."},
      {34, "Reflected Power on TS #1 at TRX output", nullptr},
      {35, "Forward Power on TS #1 at TRX output", nullptr},
      {36, "Reflected Power on TS #1 at CDU output", nullptr},
      {37, "Forward Power on TS #1 at CDU output", nullptr},
      {38, "TSSP Configuration for TS #1", nullptr},
      {40, "Supervision Value TCH-TS#1", nullptr},
      {41, "Supervision Value SDCCH#2-TS#1", "DCH supervision parameters are displayed for the channel type SDCCH."},
      {56, "Supervision Value TCH_F-TS#1", nullptr},
      {57, "Supervision Value TCH_H#2-TS#1", "DCH supervision parameters are displayed for the channel type TCH-H."},
      {59, "BFU-#1 Information", nullptr},
      {60, "PSU-#1 Information", "Displays miscellaneous information about a PSU."},
      {98, "PDU Information", "Displays miscellaneous information about a PDU."},
      {129, "BFU-#1 Battery Fault LED", nullptr},
      {130, "BFU-#1 Extended Software Control", nullptr},
      {68, "TMA Current at PortA", nullptr},
      {69, "TMA Current at PortB", nullptr},
      {70, "TMA Current at PortC", nullptr},
      {71, "TMA Current at PortD", nullptr},
      {125, "TechnicianPresent", "Displays if TechnicianPresent is active or not."},
      {209, "NGS NodePriority PortA",
       "This monitor displays the configured syncNodePriority of the remote node connected to PortA."},
      {273, "Mon TRX eATC offset", "This monitor displays the current TRX eATC offset."},
  };
  std::map<int, const TextStruct*> byKind;
  for (const TextStruct& text : *Access::TextList(table)) byKind[text.nameType] = &text;
  for (const Fixed& f : fixed) {
    ASSERT_TRUE(byKind.count(f.kind)) << f.kind;
    EXPECT_EQ(byKind[f.kind]->name, f.name) << f.kind;
    if (f.description != nullptr) {
      EXPECT_EQ(byKind[f.kind]->description, f.description) << f.kind;
    }
  }
  // The TMA kinds without a group and the short forms of the grouped ones.
  for (int k = 0; k < 6; ++k) {
    const std::string current = "TMA " + std::to_string(k) + " current";
    const std::string voltage = "TMA " + std::to_string(k) + " voltage";
    for (int kind : {62 + k, 101 + k, 113 + k}) {
      EXPECT_EQ(byKind[kind]->name.str(), current) << kind;
      EXPECT_EQ(byKind[kind]->description, "Displays the power supply current.") << kind;
    }
    for (int kind : {72 + k, 107 + k, 119 + k}) {
      EXPECT_EQ(byKind[kind]->name.str(), voltage) << kind;
      EXPECT_EQ(byKind[kind]->description, "Displays the power supply voltage.") << kind;
    }
  }
}

TEST_F(CatalogueTest, EveryKindHasARealDisplayNameAndDescription) {
  std::set<std::string> descriptions;
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
    const int count = expected.instances[text.nameType];
    const bool numbered = count > 1 && text.nameType != 98;
    EXPECT_EQ(name.find("#1") != std::string::npos, numbered);
    EXPECT_EQ(name.find("#2") != std::string::npos, expected.isGrid[text.nameType]);
    if (!numbered) {
      EXPECT_EQ(name.find('#'), std::string::npos);
    }
  }
}

bool IsTmaKind(int kind) {
  return (kind >= 62 && kind <= 67) || (kind >= 72 && kind <= 77) || (kind >= 101 && kind <= 124);
}

// Every instance's filled-in display name leads back to its kind, except for
// the TMA kinds, whose names differ only in digits: they lead to the first
// kind of their group.
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
}

TEST_F(CatalogueTest, OnlyTheTmaGroupsShareNamesUpToDigits) {
  std::map<std::string, std::vector<int>> byStem;
  for (const TextStruct& text : *Access::TextList(table)) {
    std::string stem;
    for (char ch : text.name.str()) {
      if ((ch < '0' || ch > '9') && ch != '#') stem += ch;
    }
    byStem[stem].push_back(text.nameType);
  }
  for (const auto& [stem, kinds] : byStem) {
    if (kinds.size() == 1) continue;
    for (int kind : kinds) EXPECT_TRUE(IsTmaKind(kind)) << "kind " << kind << " shares \"" << stem << "\"";
  }
  EXPECT_EQ(byStem["TMA  current"].size(), 18U);
  EXPECT_EQ(byStem["TMA  voltage"].size(), 18U);
}

// ---------------------------------------------------------------------------
// The TMA names of the groups CM0 and CM1

std::map<int, std::string> NamesOf(CMonitorObjectTable& table) {
  std::map<int, std::string> names;
  for (const TextStruct& text : *Access::TextList(table)) names[text.nameType] = text.name.str();
  return names;
}

TEST_F(CatalogueTest, LongTmaNamesCarryTheGroup) {
  const std::map<int, std::string> before = NamesOf(table);
  table.UpdateTMA_CM_Names(true);
  EXPECT_TRUE(Access::TmaCmNames(table));
  const std::map<int, std::string> after = NamesOf(table);
  for (const auto& [kind, name] : after) {
    if (kind < 101 || kind > 124) {
      EXPECT_EQ(name, before.at(kind)) << kind;
      continue;
    }
    const int offset = kind - 101;
    const int group = offset / 12;
    const int tma = offset % 6;
    const char* quantity = (offset % 12) < 6 ? "current" : "voltage";
    EXPECT_EQ(name, "TMA " + std::to_string(tma) + " CM " + std::to_string(group) + " " + quantity) << kind;
  }
  CString name;
  table.GetMonitorName(263, name);
  EXPECT_EQ(name, "TMA 5 CM 0 current");
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 current"), 258);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 voltage"), 264);
  // The kinds without a group keep their names and still answer.
  EXPECT_EQ(table.GetMonitorId("TMA 3 current"), 224);

  table.UpdateTMA_CM_Names(false);
  EXPECT_FALSE(Access::TmaCmNames(table));
  EXPECT_EQ(NamesOf(table), before);
  EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 current"), -1);
}

TEST_F(CatalogueTest, UpdateTmaNamesActsOnlyOnAChange) {
  auto& texts = *Access::TextList(table);
  int index = -1;
  for (int i = 0; i < texts.GetSize(); ++i) {
    if (texts[i].nameType == 101) index = i;
  }
  ASSERT_GE(index, 0);
  // A fresh table already has the short names: false does nothing, even to a
  // name changed behind its back.
  texts[index].name = "edited";
  table.UpdateTMA_CM_Names(false);
  EXPECT_EQ(texts[index].name, "edited");

  table.UpdateTMA_CM_Names(true);
  EXPECT_EQ(texts[index].name, "TMA 0 CM 0 current");
  texts[index].name = "edited again";
  table.UpdateTMA_CM_Names(true);  // no change of form: names left alone
  EXPECT_EQ(texts[index].name, "edited again");
  table.UpdateTMA_CM_Names(false);
  EXPECT_EQ(texts[index].name, "TMA 0 current");
}

TEST_F(CatalogueTest, ResetKeepsTheTmaFlagButRestoresShortNames) {
  table.UpdateTMA_CM_Names(true);
  table.AddElement(static_cast<MonitorNameType>(5), static_cast<Pelix_ObjectType>(1), 0, FT_NONE, 0);
  table.Reset();
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
  CString name;
  table.GetMonitorName(258, name);
  EXPECT_EQ(name, "TMA 0 current");
  table.UpdateTMA_CM_Names(true);  // flag already set: nothing happens
  table.GetMonitorName(258, name);
  EXPECT_EQ(name, "TMA 0 current");
  table.UpdateTMA_CM_Names(false);
  EXPECT_FALSE(Access::TmaCmNames(table));
  table.GetMonitorName(258, name);
  EXPECT_EQ(name, "TMA 0 current");
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
}

TEST(GlobalCatalogue, IsBuiltWhenTheLibraryLoads) {
  EXPECT_EQ(Access::NameList(g_monitorObjectTable)->GetSize(), 428);
  EXPECT_EQ(Access::NameList(g_monitorObjectTable)->GetAt(427).internalId, 427);
  EXPECT_EQ(Access::TextList(g_monitorObjectTable)->GetSize(), 271);
  EXPECT_TRUE(g_monitorObjectTable.MonitorExists("RTS/TX/C/PWR"));
}

TEST(MonitorNameTypeNames, FollowTheInternalNames) {
  EXPECT_EQ(MON_TFS_TSA_CH_COMB, 0);
  EXPECT_EQ(MON_OMS_EXTAL_ARAE, 51);
  EXPECT_EQ(MON_TFS_DCH_TS_SDCCH, 41);
  EXPECT_EQ(MON_CREC_ANT_TMA_CURRENT_VOLTAGE_D, 71);
  EXPECT_EQ(MON_RC_TX_MEAS_TRX_EATC_OFFSET, 273);
}

}  // namespace
