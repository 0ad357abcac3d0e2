// The catalogue queries: names and ids in both directions, the monitors
// offered per cabinet, the attachment queries and their pruning.
#include <gmock/gmock.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/monitor/table_access.h"
#include "tests/support/recording_host.h"

using Access = CMonitorObjectTableTestAccess;
using pelix::test::RecordingHost;
using ::testing::ElementsAre;
using namespace monitor_test;

namespace {

class QueryTest : public ::testing::Test {
 protected:
  CString Name(int id, const char* initial = "") {
    CString name = initial;
    table.GetMonitorName(id, name);
    return name;
  }
  CString Description(int id, const char* initial = "caller's") {
    CString description = initial;
    table.GetMonitorDescription(id, description);
    return description;
  }
  CMonitorObjectTable table;
};

// ---------------------------------------------------------------------------
// Names and descriptions

TEST_F(QueryTest, NamesFillInTheInstanceNumbersAndAnUnknownIdGivesKindZero) {
  // clang-format off
  const std::pair<int, const char*> names[] = {
      {31, "Cabinet Internal Temperature Sensor -1"}, {47, "PSU-13 Information"}, {0, "TS Channel Comb"},
      {180, "Supervision Value SDCCH7-TS7"}, {118, "Supervision Value SDCCH1-TS0"}, {250, "PDU Information"},
      {220, "Supervision Value TCH_H1-TS7"}, {75, "Reflected Power on TS 7 at TRX output"},
      {21, "Phase Diff Error. PCM_A"}, {5000, "TS Channel Comb"}, {-1, "TS Channel Comb"}};
  // clang-format on
  for (const auto& [id, name] : names) EXPECT_EQ(Name(id), name) << id;
  EXPECT_EQ(Description(5000), "The channel combination is reported per TS.");
  EXPECT_EQ(Description(40), "Displays miscellaneous information about a PSU.");
  EXPECT_EQ(Description(364),
            "This monitor displays the configured syncNodePriority of the remote node connected to PortA.");
}

TEST_F(QueryTest, PlaceholdersAreFilledInTheCallersTextWhenTheKindHasNoTextEntry) {
  // A description's "#1" is the position within the kind, not the instance number.
  TextOf(table, 24).description = "Sensor #1 of the cabinet.";
  EXPECT_EQ(Description(32), "Sensor 1 of the cabinet.");  // instance 2, the second entry of its kind
  EXPECT_EQ(Description(31), "Sensor 0 of the cabinet.");
  Access::TextList(table)->RemoveAt(TextIndex(table, 60));  // the PSU information kind
  EXPECT_EQ(Name(40, "Unit #1 of #2"), "Unit 6 of 0");      // PSU 6
  EXPECT_EQ(Description(40, "Entry #1"), "Entry 6");        // the 7th PSU entry: position 6
}

TEST_F(QueryTest, InternalNamesByIdAndByKindKeepTheOutputsOnAMiss) {
  auto both = [&](int id) {
    CString name = "keep";
    CString code = "keep";
    table.GetMonitorInternalName(id, name, code);
    return name.str() + "|" + code.str();
  };
  auto one = [&](auto idOrKind) {
    CString name = "keep";
    table.GetMonitorInternalName(idOrKind, name);
    return name.str();
  };
  EXPECT_EQ(both(21), "RTS/TU/PCM_REFA/MEAS/FI_ERR|R42-A");
  EXPECT_EQ(both(427), "RC/TX/MEAS/TRX_EATC_OFFSET|");
  EXPECT_EQ(both(428), "keep|keep");
  EXPECT_EQ(one(205), "TFS/DCH/TS0/TCH_H0");
  EXPECT_EQ(one(-5), "keep");
  // By kind: the first instance.
  EXPECT_EQ(one(Kind(41)), "TFS/DCH/TS0/SDCCH0");
  EXPECT_EQ(one(Kind(24)), "EPS/CLIMATE/CAB_TEMP_INT_1");
  EXPECT_EQ(one(Kind(71)), "CREC/ANT/TMA_CURRENT_VOLTAGE");
  EXPECT_EQ(one(Kind(44)), "keep");
}

// ---------------------------------------------------------------------------
// Ids from display names, internal names and short ids

TEST_F(QueryTest, MonitorIdIgnoresDigitsAndGivesTheFirstInstanceOfTheFirstMatchingKind) {
  // clang-format off
  const std::pair<const char*, int> cases[] = {
      {"TS Channel Comb", 0}, {"PSU-3 Information", 34}, {"PSU-77 Information", 34}, {"PSU- Information", 34},
      {"TMA 3 current", 224}, {"TMA 4 voltage", 230}, {"Supervision Value SDCCH5-TS2", 117},
      {"Cabinet Internal Temperature Sensor -2", 31}, {"PDU Information", 249}, {"Mon TRX eATC offset", 427},
      // "#" is removed only from the catalogue's names; long TMA names only after the switch.
      {"No such monitor", -1}, {"PSU-#1 Information", -1}, {"ts channel comb", -1}, {"TS Channel Comb ", -1},
      {"", -1}, {"TMA 0 CM 0 current", -1}};
  // clang-format on
  for (const auto& [name, id] : cases) EXPECT_EQ(table.GetMonitorId(name), id) << name;
  // Kind 2 (the third text entry) given the PSU name answers before the PSU kind itself.
  TextOf(table, 2).name = "PSU-#1 Information";
  EXPECT_EQ(table.GetMonitorId("PSU-5 Information"), 2);
}

TEST_F(QueryTest, InternalIdAndExistenceFromInternalNameOrShortId) {
  struct Row {
    const char* name;
    int id;  // 0 also when nothing matches
    bool exists;
  };
  // clang-format off
  const Row rows[] = {
      {"R42-A", 21, true}, {"RTS/TU/PCM_REFA/MEAS/FI_ERR", 21, true}, {"T6", 0, true}, {"TFS/TSA/Ch_comb", 0, true},
      {"T4-77", 180, true}, {"CREC/ANT/TMA_CURRENT_VOLTAGE", 15, true}, {"R86", 18, true}, {"E12", 32, true},
      {"", 364, true}, {"r42-a", 0, false}, {"NO/SUCH", 0, false}, {"E10 ", 0, false}, {"E1#1", 0, false},
      {"EPS/CLIMATE/CAB_TEMP_INT_0", 0, false}, {"tfs/tsa/ch_comb", 0, false}};
  // clang-format on
  for (const Row& row : rows) {
    EXPECT_EQ(table.GetInternalIdFromInternalName(row.name), row.id) << row.name;
    EXPECT_EQ(table.MonitorExists(row.name), row.exists) << row.name;
  }
}

// ---------------------------------------------------------------------------
// GetAllInternalIDs

// A micro cabinet with the reduced set leaves out whole short-id families: "R1",
// "R2" and "R14" are excluded, but not those that merely start alike ("R13-0"
// is id 76, "R42-A" id 21) nor "R4" (id 9). Other cabinets get every id.
TEST_F(QueryTest, AllInternalIdsPerCabinetAppendedWithoutDuplicates) {
  std::vector<int> all(428);
  std::iota(all.begin(), all.end(), 0);
  for (int cabinet : {0, 1, 33, 35, 41, 64, -2, 1000}) {
    CArray<int, int> ids;
    table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
    EXPECT_EQ(ToVector(ids), all) << cabinet;
  }
  std::set<int> excluded = {10, 243, 293, 294, 295};
  for (auto [first, last] :
       {std::pair(26, 27), std::pair(68, 75), std::pair(84, 99), std::pair(188, 196), std::pair(236, 241)}) {
    for (int id = first; id <= last; ++id) excluded.insert(id);
  }
  ASSERT_EQ(excluded.size(), 46U);
  std::vector<int> reduced;
  std::copy_if(all.begin(), all.end(), std::back_inserter(reduced), [&](int id) { return !excluded.count(id); });
  CArray<int, int> ids;
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ToVector(ids), reduced);

  ids.RemoveAll();
  ids.Add(500);
  ids.Add(10);  // excluded for the reduced set, but already there: it stays
  ids.Add(3);
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ids.GetSize(), 3 + 381);
  EXPECT_THAT(std::vector<int>(ids.begin(), ids.begin() + 4), ElementsAre(500, 10, 3, 0));
  const int before = ids.GetSize();
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ids.GetSize(), before);
  table.GetAllInternalIDs(ids, CT_UNIDENTIFIED);
  EXPECT_EQ(ids.GetSize(), 1 + 428);  // the 45 other excluded ids, appended at the end
  EXPECT_EQ(ids[before], 26);
}

// ---------------------------------------------------------------------------
// Attachments: a realistic set for two transceivers and a cabinet.

class AttachmentTest : public QueryTest {
 protected:
  void SetUp() override {
    for (int trx = 0; trx < 2; ++trx) {
      table.AddElement("R6", kTrx, trx, kDru, trx);              // id 6
      table.AddElement("RTS/TX/C/ARFCN", kTrx, trx, kDru, trx);  // id 7
      table.AddElement(Kind(34), kTrx, trx, kDru, trx);          // ids 68..75
      table.AddElement(Kind(41), kTrx, trx, kDru, trx, 2);       // ids 133..140
    }
    table.AddElement(Kind(60), kCabinet, 0, kPsu, 0);                   // ids 34..47
    table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 1, kCdu, 4);  // id 15
  }
  // The ids attached to each transceiver, in attachment order.
  static std::vector<int> TrxIds() {
    std::vector<int> ids = {6, 7};
    for (int id : {68, 133}) {
      for (int i = 0; i < 8; ++i) ids.push_back(id + i);
    }
    return ids;
  }
};

TEST_F(AttachmentTest, MonitorsOfAnObjectAndObjectsOfAMonitorAreAppendedInAttachmentOrder) {
  CArray<int, int> ids;
  ids.Add(-7);
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, ids), 18);
  std::vector<int> want = TrxIds();
  want.insert(want.begin(), -7);
  EXPECT_EQ(ToVector(ids), want);
  CArray<int, int> none;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 2, none), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 1, none), 0);
  EXPECT_EQ(none.GetSize(), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 0, none), 14);

  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  objects.Add(Pelix_ObjectId{kCabinet, 9});
  std::vector<std::pair<int, int>> got;
  for (int id : {6, 15, 16}) {
    int in = id;
    table.GetPelixObjectsForInternalID(in, objects);
    EXPECT_EQ(in, id);
  }
  for (const Pelix_ObjectId& o : objects) got.emplace_back(o.type, o.instance);
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{7, 9}, {3, 0}, {3, 1}, {4, 1}}));  // id 16 has none

  table.AddElement("R6", kTrx, 1, kDru, 1);  // duplicates are kept
  CArray<int, int> again;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, again), 19);
  EXPECT_EQ(again[18], 6);
}

TEST_F(AttachmentTest, UnitOfAnAttachmentIsTheFirstMatch) {
  struct Row {
    int id;
    Pelix_ObjectType type;
    int instance;
    FuncType ruType;  // FT_NONE and instance 0: no attachment for this id, object kind or instance
    int ruInstance;
  };
  const Row rows[] = {{68, kTrx, 1, kDru, 1},   {40, kCabinet, 0, kPsu, 0}, {15, kTx, 1, kCdu, 4},
                      {8, kTrx, 0, FT_NONE, 0}, {68, kTx, 1, FT_NONE, 0},   {68, kTrx, 2, FT_NONE, 0}};
  table.AddElement("R6", kTrx, 0, kCdu, 9);  // a second attachment of id 6 to the same object
  for (const Row& r : rows) {
    EXPECT_EQ(table.GetRU_Type(r.id, r.type, r.instance), r.ruType) << r.id;
    EXPECT_EQ(table.GetRuInstance(r.id, r.type, r.instance), r.ruInstance) << r.id;
  }
  EXPECT_EQ(table.GetRU_Type(6, kTrx, 0), kDru);
  EXPECT_EQ(table.GetRuInstance(6, kTrx, 0), 0);
}

TEST_F(AttachmentTest, UnitsOfANamedMonitor) {
  FuncType ruType = static_cast<FuncType>(-1);
  int ruInstance = -1;
  table.AddElement("R6", kTrx, 1, kCdu, 9);  // a second attachment: the first one answers
  table.GetRUs("R6", kTrx, 1, ruType, ruInstance);
  EXPECT_EQ(std::make_pair(ruType, ruInstance), std::make_pair(kDru, 1));
  table.GetRUs("EC/POWERCTRL/PSU_3_INFO", kCabinet, 0, ruType, ruInstance);
  EXPECT_EQ(std::make_pair(ruType, ruInstance), std::make_pair(kPsu, 0));
  // No attachment: the outputs keep their values.
  ruType = static_cast<FuncType>(-1);
  ruInstance = -1;
  table.GetRUs("R6", kTrx, 3, ruType, ruInstance);
  table.GetRUs("R5", kTrx, 0, ruType, ruInstance);
  table.GetRUs("NO/SUCH", kTrx, 0, ruType, ruInstance);
  EXPECT_EQ(std::make_pair(ruType, ruInstance), std::make_pair(static_cast<FuncType>(-1), -1));
  // A shared name: the search goes on past the port A entry (id 15), which has
  // no attachment for the object, to the port C entry (id 17) that has one.
  table.ClearMonitorObjectList();
  table.AddElement("R84", kTx, 2, kCdu, 7);
  table.GetRUs("CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 2, ruType, ruInstance);
  EXPECT_EQ(std::make_pair(ruType, ruInstance), std::make_pair(kCdu, 7));
  EXPECT_EQ(table.GetRU_Type(17, kTx, 2), kCdu);
  EXPECT_EQ(table.GetRU_Type(15, kTx, 2), FT_NONE);
}

TEST_F(AttachmentTest, KeepTheseKeepsTheNamedAndRemovesOneAttachmentOfEveryOther) {
  table.AddElement("R6", kTrx, 5, kDru, 5);  // a third attachment of id 6
  CArray<CString, CString> keep;
  keep.Add("RTS/TX/C/ARFCN");
  keep.Add("TFS/DCH/TS2/SDCCH3");  // id 136
  keep.Add("R6");                  // a short id keeps nothing
  table.KeepThese(keep);
  std::vector<std::vector<int>> want = {{7, 3, 0, 12, 0}, {136, 3, 0, 12, 0}};
  for (int id : TrxIds()) want.push_back({id, 3, 1, 12, 1});
  want.push_back({6, 3, 5, 12, 5});
  EXPECT_EQ(Attached(table), want);
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
}

TEST_F(AttachmentTest, KeepTheseWithNoNamesRemovesTheFirstAttachmentOfEveryMonitor) {
  table.KeepThese(CArray<CString, CString>());
  std::vector<std::vector<int>> want;
  for (int id : TrxIds()) want.push_back({id, 3, 1, 12, 1});
  EXPECT_EQ(Attached(table), want);
  // Clearing removes every attachment and nothing else.
  table.ClearMonitorObjectList();
  CArray<int, int> ids;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, ids), 0);
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
  table.ClearMonitorObjectList();
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
  // Two attachments of one monitor that is not kept: one of them remains.
  for (int i = 0; i < 2; ++i) table.AddElement("R69", kTx, i, kCdu, 0);
  table.KeepThese(CArray<CString, CString>());
  EXPECT_EQ(Attached(table), (std::vector<std::vector<int>>{{15, 4, 1, 31, 0}}));
}

TEST(QueryFrame, LookupsThatFindNothingReportNothing) {
  CMonitorObjectTable table;
  RecordingHost host;
  host.handlerExists = true;
  CString name;
  table.GetMonitorName(9999, name);
  EXPECT_EQ(table.GetMonitorId("nothing"), -1);
  EXPECT_FALSE(table.MonitorExists("nothing"));
  EXPECT_EQ(table.GetRU_Type(1, kTrx, 0), FT_NONE);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
  EXPECT_THAT(Scopes(host), ElementsAre("CMonitorObjectTable::GetMonitorName()", "CMonitorObjectTable::GetMonitorId()",
                                        "CMonitorObjectTable::MonitorExists()", "CMonitorObjectTable::GetRU_Type()"));
}

}  // namespace
