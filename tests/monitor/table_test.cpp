// The table's operations: attaching monitors, building catalogue entries, the
// queries in both directions, the trace frame and the precondition reports.
#include <gmock/gmock.h>

#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "pelix/service_result.h"
#include "tests/monitor/table_access.h"
#include "tests/support/recording_host.h"

using pelix::test::RecordingHost;
using ::testing::ElementsAre;

namespace {

using Table = CMonitorObjectTable;
constexpr Pelix_ObjectType kTrx = static_cast<Pelix_ObjectType>(3);
constexpr Pelix_ObjectType kTx = static_cast<Pelix_ObjectType>(4);
constexpr Pelix_ObjectType kCabinet = static_cast<Pelix_ObjectType>(7);
constexpr FuncType kDru = static_cast<FuncType>(12);
constexpr FuncType kPsu = static_cast<FuncType>(20);
constexpr FuncType kCdu = static_cast<FuncType>(31);

// The attachments as "id:objectType:objectInstance:unitType:unitInstance", or
// only the ids; Take also clears them. Sizes gives the sizes of the lists.
std::string Attached(Table& t, bool idsOnly = false) {
  std::string out;
  for (const CMonitorObjectTableStruct& e : Access::Objects(t)) {
    out += (out.empty() ? "" : " ") + std::to_string(e.internalId);
    if (idsOnly) continue;
    for (int v : {int{e.objectType}, e.objectInstance, int{e.ruType}, e.ruInstance}) out += ":" + std::to_string(v);
  }
  return out;
}
std::string Take(Table& t) {
  const std::string ids = Attached(t, true);
  t.ClearMonitorObjectList();
  return ids;
}
std::string Sizes(Table& t) {
  return std::to_string(Access::Names(t).GetSize()) + " names, " + std::to_string(Access::Texts(t).GetSize()) +
         " texts, " + std::to_string(Access::Objects(t).GetSize()) + " attachments";
}
std::vector<int> ToVector(const CArray<int, int>& ids) { return std::vector<int>(ids.begin(), ids.end()); }
std::vector<std::string> Scopes(const RecordingHost& host) {
  std::vector<std::string> scopes;
  for (const pelix::test::HostCall& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  return scopes;
}

TEST(AddElement, ByNameOrShortIdAttachesTheFirstEntryWithExactlyThatName) {
  Table table;
  table.AddElement("R42-A", kTrx, 2, kDru, 5);
  table.AddElement("RTS/TU/PCM_REFA/MEAS/FI_ERR", kCabinet, 1, kPsu, 6);
  EXPECT_EQ(Attached(table), "21:3:2:12:5 21:7:1:20:6");
  table.ClearMonitorObjectList();
  table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTrx, 0, kDru, 0);  // four entries share the name
  for (const char* name : {"rts/tx/c/pwr", "r6", "RTS/TX/C/PWR ", "RTS/TX/C", "NO/SUCH", ""}) {
    table.AddElement(name, kTrx, 0, kDru, 0);  // only "" matches: the first empty short id
  }
  EXPECT_EQ(Take(table), "15 364");
  for (int i = 0; i < 2; ++i) table.AddElement("R6", kTrx, 0, kDru, 0);  // twice attaches twice
  for (int i = 0; i < 2; ++i) table.AddElement(Kind(24), kTrx, 0, kDru, 0);
  EXPECT_EQ(Attached(table, true), "6 6 31 32 31 32");
}

TEST(AddElement, ByKindAttachesEveryInstanceOrThoseOfOneFirstNumber) {
  Table table;
  table.AddElement(Kind(41), kTrx, 4, kDru, 1);
  std::string all;
  for (int id = 117; id < 181; ++id) all += (all.empty() ? "" : " ") + std::to_string(id) + ":3:4:12:1";
  EXPECT_EQ(Attached(table), all);
  table.ClearMonitorObjectList();
  table.AddElement(Kind(41), kTrx, 0, kDru, 0, 3);
  EXPECT_EQ(Take(table), "141 142 143 144 145 146 147 148");
  // A row from 1 has no instance 0; a single instance has only 0; unused kinds have none.
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 0);
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 2);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 0);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 1);
  table.AddElement(Kind(44), kTrx, 0, kDru, 0);
  table.AddElement(Kind(234), kTrx, 0, kDru, 0, 0);
  EXPECT_EQ(Attached(table, true), "32 6");
}

// Each catalogue-building overload, its entries shown as
// "id kind internalName shortId instance1 instance2".
enum Overload { kOne, kRow, kGrid, kRowFrom };
struct BuildCase {
  Overload overload;
  const char* name;
  const char* shortId;
  int a, b, c;  // row: count, skip first; grid: two counts; row from: first, count, enabled
  int firstId, nextId;
  std::vector<std::string> entries;  // all of them, in order
};
// clang-format off
const BuildCase kBuildCases[] = {
    {kOne, "RTS/TX/C/FILL", "R5", 0, 0, 0, 40, 41, {"40 RTS/TX/C/FILL R5 0 0"}},
    {kOne, "A/#1", "X#1", 0, 0, 0, 41, 42, {"41 A/#1 X#1 0 0"}},  // placeholders stay
    {kRow, "P_#1_I", "E20-#1", 3, false, 0, 0, 3, {"0 P_0_I E20-0 0 0", "1 P_1_I E20-1 1 0", "2 P_2_I E20-2 2 0"}},
    {kRow, "T_#1", "E1#1", 3, true, 0, 5, 7, {"5 T_1 E11 1 0", "6 T_2 E12 2 0"}},
    {kRow, "T_#1", "E1#1", 1, true, 0, 9, 9, {}},
    {kRow, "A#1/B#1", "#1-#1", 2, false, 0, 0, 2, {"0 A0/B#1 0-#1 0 0", "1 A1/B#1 1-#1 1 0"}},  // first one only
    {kRow, "PDU_INFO", "E38-#1", 3, true, 0, 0, 2, {"0 PDU_INFO E38-#1 1 0", "1 PDU_INFO E38-#1 2 0"}},  // no "#1"
    {kGrid, "S#1/C#2", "Q#1#2", 2, 3, 0, 117, 123,  // "#2" ends the names
     {"117 S0/C0 Q00 0 0", "118 S0/C1 Q01 0 1", "119 S0/C2 Q02 0 2", "120 S1/C0 Q10 1 0", "121 S1/C1 Q11 1 1",
      "122 S1/C2 Q12 1 2"}},
    {kGrid, "PLAIN", "P1", 3, 5, 0, 0, 3, {"0 PLAIN P1 0 0", "1 PLAIN P1 0 0", "2 PLAIN P1 0 0"}},  // one per row
    {kGrid, "ROW#1/X", "R#1", 2, 2, 0, 0, 4, {"0 ROW0/X R0 0 0", "1 ROW0/X R0 0 1", "2 ROW1/X R1 1 0", "3 ROW1/X R1 1 1"}},
    {kGrid, "A#1/B#2", "", 1, 2, 0, 0, 2, {"0 A0/B0 0 0 0", "1 A0/B1 1 0 1"}},  // short id too short: no overrun
    {kRowFrom, "BFU_#1", "E17-#1", 2, 3, true, 3, 6, {"3 BFU_2 E17-2 2 0", "4 BFU_3 E17-3 3 0", "5 BFU_4 E17-4 4 0"}},
    {kRowFrom, "BFU_#1", "E17-#1", 0, 4, false, 3, 3, {}},
    {kRowFrom, "BFU", "E17", 0, 4, true, 3, 3, {}},
};
// clang-format on

TEST(BuildCatalogue, EachOverloadNumbersAndExpandsItsEntries) {
  Table table;
  for (const BuildCase& c : kBuildCases) {
    SCOPED_TRACE(std::string(c.name) + " form " + std::to_string(c.overload));
    Access::Names(table).RemoveAll();
    int n = c.firstId;
    const MonitorNameType kind = Kind(c.overload);
    switch (c.overload) {
      case kOne: Access::AddName(table, n, kind, c.name, c.shortId); break;
      case kRow: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b != 0); break;
      case kGrid: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b); break;
      case kRowFrom: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b, c.c != 0); break;
    }
    EXPECT_EQ(n, c.nextId);
    std::vector<std::string> entries;
    for (const InternalNameStruct& e : Access::Names(table)) {
      EXPECT_EQ(e.nameType, kind);
      entries.push_back(std::to_string(e.internalId) + " " + e.internalName.str() + " " + e.shortId.str() + " " +
                        std::to_string(e.instance1) + " " + std::to_string(e.instance2));
    }
    EXPECT_EQ(entries, c.entries);
  }
  Access::Texts(table).RemoveAll();
  Access::AddText(table, Kind(7), "Name", "Text.");
  EXPECT_EQ(TextOf(table, 7).name + "|" + TextOf(table, 7).description, "Name|Text.");
}

// ---------------------------------------------------------------------------
// Queries

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
  Table table;
};

TEST_F(QueryTest, NamesAndDescriptionsFillInTheNumbersAndAnUnknownIdGivesKindZero) {
  // clang-format off
  const std::pair<int, const char*> names[] = {
      {31, "Cabinet Internal Temperature Sensor -1"}, {47, "PSU-13 Information"}, {0, "TS Channel Comb"},
      {180, "Supervision Value SDCCH7-TS7"}, {118, "Supervision Value SDCCH1-TS0"}, {250, "PDU Information"},
      {220, "Supervision Value TCH_H1-TS7"}, {75, "Reflected Power on TS 7 at TRX output"}, {228, "TMA 4 current"},
      {21, "Phase Diff Error. PCM_A"}, {5000, "TS Channel Comb"}, {-1, "TS Channel Comb"}};
  // clang-format on
  for (const auto& [id, name] : names) EXPECT_EQ(Name(id), name) << id;
  EXPECT_EQ(Description(5000), "The channel combination is reported per TS.");
  EXPECT_EQ(Description(40), "Displays miscellaneous information about a PSU.");
  EXPECT_EQ(Description(364),
            "This monitor displays the configured syncNodePriority of the remote node connected to PortA.");
  // A description's "#1" is the position within the kind, not the instance number.
  TextOf(table, 24).description = "Sensor #1 of the cabinet.";
  EXPECT_EQ(Description(32), "Sensor 1 of the cabinet.");  // instance 2
  EXPECT_EQ(Description(31), "Sensor 0 of the cabinet.");
  // Without a text entry for the kind, the caller's text is filled in.
  auto& texts = Access::Texts(table);
  for (int i = 0; i < texts.GetSize(); ++i) {
    if (texts[i].nameType == 60) texts.RemoveAt(i);  // the PSU information kind
  }
  EXPECT_EQ(Name(40, "Unit #1 of #2"), "Unit 6 of 0");  // PSU 6, the 7th entry
  EXPECT_EQ(Description(40, "Entry #1"), "Entry 6");
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
  EXPECT_EQ(both(21) + both(427) + both(428), "RTS/TU/PCM_REFA/MEAS/FI_ERR|R42-ARC/TX/MEAS/TRX_EATC_OFFSET|keep|keep");
  EXPECT_EQ(one(205) + "," + one(-5), "TFS/DCH/TS0/TCH_H0,keep");
  EXPECT_EQ(one(Kind(41)) + "," + one(Kind(24)) + "," + one(Kind(71)) + "," + one(Kind(44)),
            "TFS/DCH/TS0/SDCCH0,EPS/CLIMATE/CAB_TEMP_INT_1,CREC/ANT/TMA_CURRENT_VOLTAGE,keep");
}

// Digits do not count; the answer is the first instance of the first matching kind.
TEST_F(QueryTest, MonitorIdFromADisplayName) {
  // clang-format off
  const std::pair<const char*, int> cases[] = {
      {"TS Channel Comb", 0}, {"PSU-3 Information", 34}, {"PSU-77 Information", 34}, {"PSU- Information", 34},
      {"TMA 4 voltage", 230}, {"Supervision Value SDCCH5-TS2", 117}, {"Mon TRX eATC offset", 427},
      // "#" is removed only from the catalogue's names.
      {"No such monitor", -1}, {"PSU-#1 Information", -1}, {"ts channel comb", -1}, {"TS Channel Comb ", -1},
      {"", -1}, {"TS Channel Com", -1}, {"TS Channel Combs", -1}};
  // clang-format on
  for (const auto& [name, id] : cases) EXPECT_EQ(table.GetMonitorId(name), id) << name;
  TextOf(table, 2).name = "PSU-#1 Information";  // the third text entry now answers first
  EXPECT_EQ(table.GetMonitorId("PSU-5 Information"), 2);
}

TEST_F(QueryTest, InternalIdAndExistenceFromInternalNameOrShortId) {
  struct Row {
    const char* name;
    int id;  // 0 also when nothing matches
  };
  // clang-format off
  const Row rows[] = {
      {"R42-A", 21}, {"RTS/TU/PCM_REFA/MEAS/FI_ERR", 21}, {"T6", 0}, {"TFS/TSA/Ch_comb", 0}, {"T4-77", 180},
      {"CREC/ANT/TMA_CURRENT_VOLTAGE", 15}, {"R86", 18}, {"E12", 32}, {"", 364}, {"r42-a", -1}, {"NO/SUCH", -1},
      {"E10 ", -1}, {"E1#1", -1}, {"EPS/CLIMATE/CAB_TEMP_INT_0", -1}};  // -1: id 0, and it does not exist
  // clang-format on
  for (const Row& row : rows) {
    EXPECT_EQ(table.GetInternalIdFromInternalName(row.name), std::max(row.id, 0)) << row.name;
    EXPECT_EQ(table.MonitorExists(row.name), row.id >= 0) << row.name;
  }
}

// A micro cabinet with the reduced set leaves out whole short-id families:
// "R1", "R2" and "R14" are out, but not those that merely start alike ("R13-0"
// is id 76, "R42-A" id 21) nor "R4" (id 9). Other cabinets get every id.
TEST_F(QueryTest, AllInternalIdsPerCabinetAppendedWithoutDuplicates) {
  std::vector<int> all(428);
  std::iota(all.begin(), all.end(), 0);
  for (int cabinet : {0, 1, 33, 35, 41, 64, -2}) {
    CArray<int, int> ids;
    table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
    EXPECT_EQ(ToVector(ids), all) << cabinet;
  }
  std::set<int> excluded = {10, 26, 27, 243, 293, 294, 295};
  for (auto [first, last] : {std::pair(68, 75), std::pair(84, 99), std::pair(188, 196), std::pair(236, 241)}) {
    for (int id = first; id <= last; ++id) excluded.insert(id);
  }
  std::vector<int> want = {-9, 70000, 10, 3};  // already there: kept, and not appended again
  for (int id : all) {
    if (!excluded.count(id) && id != 3) want.push_back(id);
  }
  CArray<int, int> ids;
  for (int id : {-9, 70000, 10, 3}) ids.Add(id);
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ToVector(ids), want);
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ToVector(ids), want);
  table.GetAllInternalIDs(ids, CT_UNIDENTIFIED);
  EXPECT_EQ(ids.GetSize(), 2 + 428);  // the 45 other excluded ids, appended at the end
  EXPECT_EQ(ids[static_cast<int>(want.size())], 26);
}

// A realistic set of attachments for two transceivers and a cabinet.
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
  // The attachments of transceiver 1, rendered as by Attached.
  static std::string Trx1() {
    std::string out;
    for (int id : {6, 7, 68, 69, 70, 71, 72, 73, 74, 75, 133, 134, 135, 136, 137, 138, 139, 140}) {
      out += (out.empty() ? "" : " ") + std::to_string(id) + ":3:1:12:1";
    }
    return out;
  }
};

TEST_F(AttachmentTest, MonitorsOfAnObjectAndObjectsOfAMonitorAreAppendedInAttachmentOrder) {
  CArray<int, int> ids;
  ids.Add(-7);
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, ids), 18);
  EXPECT_THAT(ToVector(ids),
              ElementsAre(-7, 6, 7, 68, 69, 70, 71, 72, 73, 74, 75, 133, 134, 135, 136, 137, 138, 139, 140));
  CArray<int, int> none;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 2, none) + table.GetMonitorsForRU(kCabinet, 1, none) + none.GetSize(), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 0, none), 14);

  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  objects.Add(Pelix_ObjectId{kCabinet, 9});
  for (int id : {6, 15, 16}) {  // id 16 has none
    int in = id;
    table.GetPelixObjectsForInternalID(in, objects);
    EXPECT_EQ(in, id);
  }
  std::string got;
  for (const Pelix_ObjectId& o : objects) got += std::to_string(o.type) + "/" + std::to_string(o.instance) + " ";
  EXPECT_EQ(got, "7/9 3/0 3/1 4/1 ");
}

TEST_F(AttachmentTest, UnitOfAnAttachmentIsTheFirstMatch) {
  struct Row {
    int id;
    Pelix_ObjectType type;
    int instance;
    FuncType ruType;  // FT_NONE and 0: no attachment for this id, object kind or instance
    int ruInstance;
  };
  const Row rows[] = {{68, kTrx, 1, kDru, 1},   {40, kCabinet, 0, kPsu, 0}, {15, kTx, 1, kCdu, 4},
                      {8, kTrx, 0, FT_NONE, 0}, {68, kTx, 1, FT_NONE, 0},   {68, kTrx, 2, FT_NONE, 0},
                      {6, kTrx, 0, kDru, 0}};
  table.AddElement("R6", kTrx, 0, kCdu, 9);  // a second attachment of id 6 to the same object
  for (const Row& r : rows) {
    EXPECT_EQ(table.GetRU_Type(r.id, r.type, r.instance), r.ruType) << r.id;
    EXPECT_EQ(table.GetRuInstance(r.id, r.type, r.instance), r.ruInstance) << r.id;
  }
  // By name: the first attachment answers; without one the outputs keep their values.
  FuncType ruType = static_cast<FuncType>(-1);
  int ruInstance = -1;
  auto units = [&](const char* name, Pelix_ObjectType type, int instance) {
    table.GetRUs(name, type, instance, ruType, ruInstance);
    return std::to_string(ruType) + "/" + std::to_string(ruInstance);
  };
  EXPECT_EQ(units("R6", kTrx, 3) + " " + units("R5", kTrx, 0) + " " + units("NO/SUCH", kTrx, 0), "-1/-1 -1/-1 -1/-1");
  EXPECT_EQ(units("R6", kTrx, 0) + " " + units("EC/POWERCTRL/PSU_3_INFO", kCabinet, 0), "12/0 20/0");
  // A shared name: the search goes on past the port A entry (id 15), which has
  // no attachment for the object, to the port C entry (id 17) that has one.
  table.AddElement("R84", kTx, 2, kCdu, 7);
  EXPECT_EQ(units("CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 2), "31/7");
}

TEST_F(AttachmentTest, KeepTheseKeepsTheNamedAndRemovesOneAttachmentOfEveryOther) {
  table.AddElement("R6", kTrx, 5, kDru, 5);  // a third attachment of id 6
  CArray<CString, CString> keep;
  for (const char* name : {"RTS/TX/C/ARFCN", "TFS/DCH/TS2/SDCCH3", "R6"}) keep.Add(name);  // a short id keeps nothing
  table.KeepThese(keep);
  EXPECT_EQ(Attached(table), "7:3:0:12:0 136:3:0:12:0 " + Trx1() + " 6:3:5:12:5");
  table.KeepThese(CArray<CString, CString>());  // the first attachment of each id goes
  EXPECT_EQ(Attached(table), "7:3:1:12:1 136:3:1:12:1 6:3:5:12:5");
  table.ClearMonitorObjectList();
  EXPECT_EQ(Sizes(table), "428 names, 271 texts, 0 attachments");
}

// ---------------------------------------------------------------------------
// The frame

TEST(TableFrame, ConstructorAndDestructorTraceThemselvesAndTheCatalogueBuild) {
  RecordingHost host;
  host.handlerExists = true;
  auto* table = new Table();
  const std::vector<std::string> scopes = Scopes(host);
  ASSERT_EQ(scopes.size(), 2U + 271U * 2U);  // one text and one instance call per kind
  EXPECT_THAT(
      std::vector<std::string>(scopes.begin(), scopes.begin() + 4),
      ElementsAre("CMonitorObjectTable::CMonitorObjectTable()", "CMonitorObjectTable::Reset()",
                  "CMonitorObjectTable::AddTextListElement()", "CMonitorObjectTable::AddInternalNameElement()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), scopes.size());
  EXPECT_EQ(host.CallsNamed("GetErrorStatus").size(), 1U);  // the check after Reset
  host.Clear();
  CString name;
  table->GetMonitorName(31, name);
  table->UpdateTMA_CM_Names(true);  // no frame
  delete table;
  EXPECT_THAT(Scopes(host),
              ElementsAre("CMonitorObjectTable::GetMonitorName()", "CMonitorObjectTable::~CMonitorObjectTable()"));
}

TEST(TableFrame, ConstructorTakesTheErrorExitWhenAnErrorIsPending) {
  RecordingHost host;
  host.handlerExists = true;
  host.errorStatus = 1;  // an error raised earlier and not yet cleared
  Table table;
  EXPECT_EQ(Sizes(table), "428 names, 271 texts, 0 attachments");  // as Reset built them
  const std::vector<std::string> names = host.Names();
  ASSERT_GE(names.size(), 8U);  // the check after Reset, then the close of the constructor
  EXPECT_THAT(std::vector<std::string>(names.end() - 8, names.end()),
              ElementsAre("GetErrorStatus", "ErrorHandlerExists", "ErrorHandlerExists", "GetErrorStatus",
                          "ErrorHandlerExists", "StoreReturn", "DecreaseLevel", "GetErrorHandlerType"));
}

TEST(TableFrame, MissingListsAreRestoredByResetOrLeftAloneByTheTmaSwitch) {
  Table table;
  for (int list = 0; list < 3; ++list) Access::Drop(table, list);
  table.UpdateTMA_CM_Names(true);  // without a text list only the flag changes
  EXPECT_TRUE(Access::TmaCmNames(table));
  table.Reset();
  EXPECT_EQ(Sizes(table), "428 names, 271 texts, 0 attachments");
}

// A missing list: the operation reports its precondition once, takes the
// error exit and leaves its outputs and the attachments alone.
struct Out {  // what the calls may write to, filled before each call
  int n = 7;
  CString text = "kept #1";
  FuncType ruType = kPsu;
  CArray<int, int> ids;
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
};
struct PreconditionCase {
  const char* scope;
  const char* text;
  const char* missing;  // the lists, each dropped in a run of its own: n(ames), t(exts), o(bjects)
  void (*call)(Table&, Out&);
};
constexpr const char* kNamesObjects = "m_internalNameList != NULL && m_monitorObjectList != NULL";
constexpr const char* kNamesTexts = "m_internalNameList != NULL && m_textList != NULL";
constexpr const char* kNameList = "m_internalNameList != NULL";
constexpr const char* kObjectList = "m_monitorObjectList != NULL";
// clang-format off
const PreconditionCase kPreconditionCases[] = {
    {"AddElement", kNamesObjects, "no", [](Table& t, Out&) { t.AddElement("R6", kTrx, 0, kDru, 0); }},
    {"AddElement", kNamesObjects, "no", [](Table& t, Out&) { t.AddElement(Kind(5), kTrx, 0, kDru, 0); }},
    {"AddElement", kNamesObjects, "no", [](Table& t, Out&) { t.AddElement(Kind(41), kTrx, 0, kDru, 0, 1); }},
    {"AddInternalNameElement", kNameList, "n", [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A", "B"); }},
    {"AddInternalNameElement", kNameList, "n", [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1", "B", 3, false); }},
    {"AddInternalNameElement", kNameList, "n", [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1#2", "B", 2, 2); }},
    {"AddInternalNameElement", kNameList, "n", [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1", "B", 0, 2, true); }},
    {"AddTextListElement", "m_textList != NULL", "t", [](Table& t, Out&) { Access::AddText(t, Kind(1), "N", "D."); }},
    {"GetMonitorName", kNamesTexts, "nt", [](Table& t, Out& o) { t.GetMonitorName(6, o.text); }},
    {"GetMonitorDescription", kNamesTexts, "nt", [](Table& t, Out& o) { t.GetMonitorDescription(6, o.text); }},
    {"GetMonitorId", "m_textList != NULL && m_internalNameList != NULL", "nt",
     [](Table& t, Out&) { EXPECT_EQ(t.GetMonitorId("Nominal Output Power"), 0); }},
    {"GetMonitorInternalName", kNameList, "n", [](Table& t, Out& o) { t.GetMonitorInternalName(6, o.text, o.text); }},
    {"GetMonitorInternalName", kNameList, "n", [](Table& t, Out& o) { t.GetMonitorInternalName(6, o.text); }},
    {"GetMonitorInternalName", kNameList, "n", [](Table& t, Out& o) { t.GetMonitorInternalName(Kind(5), o.text); }},
    {"GetInternalIdFromInternalName", kNameList, "n", [](Table& t, Out&) { EXPECT_EQ(t.GetInternalIdFromInternalName("R6"), 0); }},
    {"MonitorExists", kNameList, "n", [](Table& t, Out&) { EXPECT_FALSE(t.MonitorExists("R6")); }},
    {"GetAllInternalIDs", kNameList, "n", [](Table& t, Out& o) { t.GetAllInternalIDs(o.ids, CT_UNIDENTIFIED); }},
    {"GetMonitorsForRU", kObjectList, "o", [](Table& t, Out& o) { EXPECT_EQ(t.GetMonitorsForRU(kTrx, 0, o.ids), 0); }},
    {"GetPelixObjectsForInternalID", kObjectList, "o", [](Table& t, Out& o) { t.GetPelixObjectsForInternalID(o.n, o.objects); }},
    {"GetRU_Type", kObjectList, "o", [](Table& t, Out&) { EXPECT_EQ(t.GetRU_Type(6, kTrx, 0), FT_NONE); }},
    {"GetRuInstance", kObjectList, "o", [](Table& t, Out&) { EXPECT_EQ(t.GetRuInstance(6, kTrx, 0), 0); }},
    {"ClearMonitorObjectList", kObjectList, "o", [](Table& t, Out&) { t.ClearMonitorObjectList(); }},
    {"GetRUs", "m_monitorObjectList != NULL && m_internalNameList != NULL", "no",
     [](Table& t, Out& o) { t.GetRUs("R6", kTrx, 0, o.ruType, o.n); }},
    {"KeepThese", kNamesObjects, "no", [](Table& t, Out&) { t.KeepThese(CArray<CString, CString>()); }},
};
// clang-format on

TEST(Preconditions, AMissingListIsReportedOnceAndChangesNothing) {
  for (const PreconditionCase& c : kPreconditionCases) {
    for (const char* list = c.missing; *list != '\0'; ++list) {
      SCOPED_TRACE(std::string(c.scope) + " without list " + *list);
      Table table;
      table.AddElement("R6", kTrx, 0, kDru, 3);
      Access::Drop(table, static_cast<int>(std::string("nto").find(*list)));
      RecordingHost host;
      host.handlerExists = true;
      Out out;
      out.ids.Add(9);
      c.call(table, out);
      EXPECT_EQ(std::to_string(out.n) + " " + out.text.str() + " " + std::to_string(out.ruType) + " " +
                    std::to_string(out.ids.GetSize()) + " " + std::to_string(out.objects.GetSize()),
                "7 kept #1 20 1 0");
      if (*list != 'o') {
        EXPECT_EQ(Attached(table), "6:3:0:12:3");
      }
      EXPECT_THAT(Scopes(host), ElementsAre(std::string("CMonitorObjectTable::") + c.scope + "()"));
      EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre(c.text));
      EXPECT_EQ(host.CallsNamed("RaiseError").size(), 1U);
      EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 1U);
      EXPECT_EQ(host.CallsNamed("LogError").at(0).file, "monitor/monitor_object_table.cpp");
    }
  }
}

}  // namespace
