// Attaching monitors, the catalogue-building overloads with their placeholder
// expansion, the trace frame of the table and its precondition reports.
#include <gmock/gmock.h>

#include <string>
#include <tuple>
#include <vector>

#include "pelix/service_result.h"
#include "tests/monitor/table_access.h"
#include "tests/support/recording_host.h"

using Access = CMonitorObjectTableTestAccess;
using pelix::test::RecordingHost;
using ::testing::ElementsAre;
using namespace monitor_test;

namespace {

using Table = CMonitorObjectTable;

// The attached ids; the attachments are cleared for the next step.
std::vector<int> Take(Table& table) {
  std::vector<int> ids = AttachedIds(table);
  table.ClearMonitorObjectList();
  return ids;
}

TEST(AddElement, ByNameOrShortIdAttachesTheFirstEntryWithExactlyThatName) {
  Table table;
  table.AddElement("R42-A", kTrx, 2, kDru, 5);
  table.AddElement("RTS/TU/PCM_REFA/MEAS/FI_ERR", kCabinet, 1, kPsu, 6);
  EXPECT_EQ(Attached(table), (std::vector<std::vector<int>>{{21, 3, 2, 12, 5}, {21, 7, 1, 20, 6}}));
  table.ClearMonitorObjectList();
  table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTrx, 0, kDru, 0);  // a name four entries share
  EXPECT_THAT(Take(table), ElementsAre(15));
  for (const char* name : {"rts/tx/c/pwr", "r6", "RTS/TX/C/PWR ", "RTS/TX/C", ""}) {
    table.AddElement(name, kTrx, 0, kDru, 0);  // only "" matches: the first empty short id
  }
  EXPECT_THAT(Take(table), ElementsAre(364));
  table.AddElement("R6", kTrx, 0, kDru, 0);
  table.AddElement("R6", kTrx, 0, kDru, 0);
  table.AddElement(Kind(24), kTrx, 0, kDru, 0);
  table.AddElement(Kind(24), kTrx, 0, kDru, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre(6, 6, 31, 32, 31, 32));  // twice attaches twice
}

TEST(AddElement, ByKindAttachesEveryInstanceOrThoseOfOneFirstNumber) {
  Table table;
  table.AddElement(Kind(41), kTrx, 4, kDru, 1);
  std::vector<std::vector<int>> all;
  for (int id = 117; id < 181; ++id) all.push_back({id, 3, 4, 12, 1});
  EXPECT_EQ(Attached(table), all);
  table.ClearMonitorObjectList();
  table.AddElement(Kind(41), kTrx, 0, kDru, 0, 3);
  EXPECT_THAT(Take(table), ElementsAre(141, 142, 143, 144, 145, 146, 147, 148));
  // A row that starts at 1 has no instance 0; a single instance has only 0.
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre());
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 2);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 0);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 1);
  EXPECT_THAT(AttachedIds(table), ElementsAre(32, 6));
  // An unused kind or an unknown name attaches nothing and reports nothing.
  RecordingHost host;
  host.handlerExists = true;
  table.AddElement(Kind(44), kTrx, 0, kDru, 0);
  table.AddElement(Kind(234), kTrx, 0, kDru, 0, 0);
  table.AddElement("NO/SUCH/MONITOR", kTrx, 0, kDru, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre(32, 6));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(host.CallsNamed("StoreEnter").size(), 3U);
}

// ---------------------------------------------------------------------------
// The catalogue-building overloads, each entry shown as
// "id kind internalName shortId instance1 instance2".

std::string Entry(Table& table, int index) {
  const auto& names = *Access::NameList(table);
  if (index >= names.GetSize()) return "missing";
  const InternalNameStruct& e = names[index];
  return std::to_string(e.internalId) + " " + std::to_string(e.nameType) + " " + e.internalName.str() + " " +
         e.shortId.str() + " " + std::to_string(e.instance1) + " " + std::to_string(e.instance2);
}

enum Overload { kOne, kRow, kGrid, kRowFrom };
struct BuildCase {
  Overload overload;
  int kind;
  const char* name;
  const char* shortId;
  int a, b, c;  // row: count, skip first; grid: two counts; row from: first, count, enabled
  int firstId, nextId, size;
  std::vector<std::pair<int, std::string>> entries;  // index, Entry()
};

// clang-format off
const BuildCase kBuildCases[] = {
    {kOne, 7, "RTS/TX/C/FILL", "R5", 0, 0, 0, 40, 41, 1, {{0, "40 7 RTS/TX/C/FILL R5 0 0"}}},
    {kOne, 8, "A/#1", "X#1", 0, 0, 0, 41, 42, 1, {{0, "41 8 A/#1 X#1 0 0"}}},  // placeholders stay
    {kRow, 60, "EC/POWERCTRL/PSU_#1_INFO", "E20-#1", 14, false, 0, 0, 14, 14,
     {{0, "0 60 EC/POWERCTRL/PSU_0_INFO E20-0 0 0"}, {13, "13 60 EC/POWERCTRL/PSU_13_INFO E20-13 13 0"}}},
    {kRow, 24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 3, true, 0, 5, 7, 2,
     {{0, "5 24 EPS/CLIMATE/CAB_TEMP_INT_1 E11 1 0"}, {1, "6 24 EPS/CLIMATE/CAB_TEMP_INT_2 E12 2 0"}}},
    {kRow, 24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 1, true, 0, 9, 9, 0, {}},
    {kRow, 24, "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 0, false, 0, 9, 9, 0, {}},
    {kRow, 1, "A#1/B#1", "#1-#1", 2, false, 0, 0, 2, 2, {{1, "1 1 A1/B#1 1-#1 1 0"}}},  // first occurrence only
    // The short id is only rewritten when the internal name holds "#1".
    {kRow, 98, "EC/POWERCTRL/PDU_INFO", "E38-#1", 3, true, 0, 0, 2, 2,
     {{0, "0 98 EC/POWERCTRL/PDU_INFO E38-#1 1 0"}, {1, "1 98 EC/POWERCTRL/PDU_INFO E38-#1 2 0"}}},
    {kRow, 2, "X/#1", "", 2, false, 0, 0, 2, 2, {{1, "1 2 X/1  1 0"}}},
    {kGrid, 41, "TFS/DCH/TS#1/SDCCH#2", "T4-#1#2", 8, 8, 0, 117, 181, 64,
     {{0, "117 41 TFS/DCH/TS0/SDCCH0 T4-00 0 0"}, {1, "118 41 TFS/DCH/TS0/SDCCH1 T4-01 0 1"},
      {8, "125 41 TFS/DCH/TS1/SDCCH0 T4-10 1 0"}, {63, "180 41 TFS/DCH/TS7/SDCCH7 T4-77 7 7"}}},
    {kGrid, 57, "S#1/C#2", "Q#1#2", 2, 12, 0, 0, 24, 24, {{23, "23 57 S1/C11 Q111 1 11"}}},  // "#2" ends the names
    {kGrid, 3, "PLAIN/NAME", "P1", 3, 5, 0, 0, 3, 3,  // no "#1": one unnumbered entry per row
     {{0, "0 3 PLAIN/NAME P1 0 0"}, {1, "1 3 PLAIN/NAME P1 0 0"}, {2, "2 3 PLAIN/NAME P1 0 0"}}},
    {kGrid, 3, "ROW#1/X", "R#1", 2, 2, 0, 0, 4, 4, {{1, "1 3 ROW0/X R0 0 1"}, {3, "3 3 ROW1/X R1 1 1"}}},
    {kGrid, 3, "A#1/B#2", "", 1, 2, 0, 0, 2, 2, {{1, "1 3 A0/B1 1 0 1"}}},  // short id too short: no overrun
    {kRowFrom, 59, "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", 2, 3, true, 3, 6, 3,
     {{0, "3 59 EC/POWERCTRL/BFU_2_INFO E17-2 2 0"}, {2, "5 59 EC/POWERCTRL/BFU_4_INFO E17-4 4 0"}}},
    {kRowFrom, 59, "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", 0, 4, false, 3, 3, 0, {}},
    {kRowFrom, 59, "EC/POWERCTRL/BFU_INFO", "E17", 0, 4, true, 3, 3, 0, {}},
};
// clang-format on

TEST(BuildCatalogue, EachOverloadNumbersAndExpandsItsEntries) {
  Table table;
  for (const BuildCase& c : kBuildCases) {
    SCOPED_TRACE(std::string(c.name) + " form " + std::to_string(c.overload));
    Access::ClearCatalogue(table);
    int n = c.firstId;
    const MonitorNameType kind = Kind(c.kind);
    switch (c.overload) {
      case kOne: Access::AddName(table, n, kind, c.name, c.shortId); break;
      case kRow: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b != 0); break;
      case kGrid: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b); break;
      case kRowFrom: Access::AddName(table, n, kind, c.name, c.shortId, c.a, c.b, c.c != 0); break;
    }
    EXPECT_EQ(n, c.nextId);
    EXPECT_EQ(Access::NameList(table)->GetSize(), c.size);
    for (const auto& [index, entry] : c.entries) EXPECT_EQ(Entry(table, index), entry);
  }
  Access::AddText(table, Kind(7), "Name", "Text.");
  Access::AddText(table, Kind(3), "Other", "More.");
  std::vector<std::string> texts;
  for (const TextStruct& t : *Access::TextList(table)) {
    texts.push_back(std::to_string(t.nameType) + " " + t.name.str() + " " + t.description.str());
  }
  EXPECT_THAT(texts, ElementsAre("7 Name Text.", "3 Other More."));
}

// ---------------------------------------------------------------------------
// The frame

TEST(TableFrame, ConstructorAndDestructorTraceThemselvesAndTheCatalogueBuild) {
  RecordingHost host;
  host.handlerExists = true;
  Table table;
  const std::vector<std::string> scopes = Scopes(host);
  // One text and one instance call per kind, all closed again.
  ASSERT_EQ(scopes.size(), 2U + 271U * 2U);
  EXPECT_THAT(
      std::vector<std::string>(scopes.begin(), scopes.begin() + 4),
      ElementsAre("CMonitorObjectTable::CMonitorObjectTable()", "CMonitorObjectTable::Reset()",
                  "CMonitorObjectTable::AddTextListElement()", "CMonitorObjectTable::AddInternalNameElement()"));
  EXPECT_EQ(host.CallsNamed("StoreEnter")[0].file, "monitor/monitor_object_table.cpp");
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), scopes.size());
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(host.CallsNamed("GetErrorStatus").size(), 1U);  // the check after Reset
  {
    Table other;
    host.Clear();
  }
  EXPECT_THAT(Scopes(host), ElementsAre("CMonitorObjectTable::~CMonitorObjectTable()"));
}

TEST(TableFrame, ConstructorTakesTheErrorExitWhenAnErrorIsPending) {
  RecordingHost host;
  host.handlerExists = true;
  host.errorStatus = 1;  // an error raised earlier and not yet cleared
  Table table;
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);  // left as Reset built it
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());  // an error was pending: nothing more raised
  const std::vector<std::string> names = host.Names();
  // The last calls: the check after Reset, then the close of the constructor.
  ASSERT_GE(names.size(), 8U);
  EXPECT_THAT(std::vector<std::string>(names.end() - 8, names.end()),
              ElementsAre("GetErrorStatus", "ErrorHandlerExists", "ErrorHandlerExists", "GetErrorStatus",
                          "ErrorHandlerExists", "StoreReturn", "DecreaseLevel", "GetErrorHandlerType"));
}

TEST(TableFrame, QueryWithoutHandlerCostsTwoCallsAndTheTmaSwitchNone) {
  Table table;
  RecordingHost host;
  CString name;
  table.GetMonitorName(31, name);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "ErrorHandlerExists"));
  host.Clear();
  host.handlerExists = true;
  table.UpdateTMA_CM_Names(true);
  table.UpdateTMA_CM_Names(false);
  Access::DropTextList(table);
  table.UpdateTMA_CM_Names(true);  // without a text list only the flag changes
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_TRUE(host.calls.empty());
}

TEST(TableFrame, ResetRestoresMissingLists) {
  Table table;
  RecordingHost host;
  host.handlerExists = true;
  Access::DropNameList(table);
  Access::DropTextList(table);
  Access::DropObjectList(table);
  table.Reset();
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
}

// ---------------------------------------------------------------------------
// A missing list: the operation reports its precondition once, takes the
// error exit and leaves its outputs and the attachments alone.

enum Missing { kNames = 1, kTexts = 2, kObjects = 4 };
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
  int missing;  // each list named here is dropped in a run of its own
  void (*call)(Table&, Out&);
};

constexpr const char* kNamesObjects = "m_internalNameList != NULL && m_monitorObjectList != NULL";
constexpr const char* kNamesTexts = "m_internalNameList != NULL && m_textList != NULL";
constexpr const char* kNameList = "m_internalNameList != NULL";
constexpr const char* kObjectList = "m_monitorObjectList != NULL";

// clang-format off
const PreconditionCase kPreconditionCases[] = {
    {"AddElement", kNamesObjects, kNames | kObjects, [](Table& t, Out&) { t.AddElement("R6", kTrx, 0, kDru, 0); }},
    {"AddElement", kNamesObjects, kNames | kObjects, [](Table& t, Out&) { t.AddElement(Kind(5), kTrx, 0, kDru, 0); }},
    {"AddElement", kNamesObjects, kNames | kObjects,
     [](Table& t, Out&) { t.AddElement(Kind(41), kTrx, 0, kDru, 0, 1); }},
    {"AddInternalNameElement", kNameList, kNames, [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A", "B"); }},
    {"AddInternalNameElement", kNameList, kNames,
     [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1", "B#1", 3, false); }},
    {"AddInternalNameElement", kNameList, kNames,
     [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1#2", "B#1#2", 2, 2); }},
    {"AddInternalNameElement", kNameList, kNames,
     [](Table& t, Out& o) { Access::AddName(t, o.n, Kind(1), "A#1", "B#1", 0, 2, true); }},
    {"AddTextListElement", "m_textList != NULL", kTexts,
     [](Table& t, Out&) { Access::AddText(t, Kind(1), "N", "D."); }},
    {"GetMonitorName", kNamesTexts, kNames | kTexts, [](Table& t, Out& o) { t.GetMonitorName(6, o.text); }},
    {"GetMonitorDescription", kNamesTexts, kNames | kTexts,
     [](Table& t, Out& o) { t.GetMonitorDescription(6, o.text); }},
    {"GetMonitorId", "m_textList != NULL && m_internalNameList != NULL", kNames | kTexts,
     [](Table& t, Out&) { EXPECT_EQ(t.GetMonitorId("Nominal Output Power"), 0); }},
    {"GetMonitorInternalName", kNameList, kNames,
     [](Table& t, Out& o) { t.GetMonitorInternalName(6, o.text, o.text); }},
    {"GetMonitorInternalName", kNameList, kNames, [](Table& t, Out& o) { t.GetMonitorInternalName(6, o.text); }},
    {"GetMonitorInternalName", kNameList, kNames, [](Table& t, Out& o) { t.GetMonitorInternalName(Kind(5), o.text); }},
    {"GetInternalIdFromInternalName", kNameList, kNames,
     [](Table& t, Out&) { EXPECT_EQ(t.GetInternalIdFromInternalName("R6"), 0); }},
    {"MonitorExists", kNameList, kNames, [](Table& t, Out&) { EXPECT_FALSE(t.MonitorExists("R6")); }},
    {"GetAllInternalIDs", kNameList, kNames, [](Table& t, Out& o) { t.GetAllInternalIDs(o.ids, CT_UNIDENTIFIED); }},
    {"GetMonitorsForRU", kObjectList, kObjects,
     [](Table& t, Out& o) { EXPECT_EQ(t.GetMonitorsForRU(kTrx, 0, o.ids), 0); }},
    {"GetPelixObjectsForInternalID", kObjectList, kObjects,
     [](Table& t, Out& o) { t.GetPelixObjectsForInternalID(o.n, o.objects); }},
    {"GetRU_Type", kObjectList, kObjects, [](Table& t, Out&) { EXPECT_EQ(t.GetRU_Type(6, kTrx, 0), FT_NONE); }},
    {"GetRuInstance", kObjectList, kObjects, [](Table& t, Out&) { EXPECT_EQ(t.GetRuInstance(6, kTrx, 0), 0); }},
    {"ClearMonitorObjectList", kObjectList, kObjects, [](Table& t, Out&) { t.ClearMonitorObjectList(); }},
    {"GetRUs", "m_monitorObjectList != NULL && m_internalNameList != NULL", kNames | kObjects,
     [](Table& t, Out& o) { t.GetRUs("R6", kTrx, 0, o.ruType, o.n); }},
    {"KeepThese", kNamesObjects, kNames | kObjects, [](Table& t, Out&) { t.KeepThese(CArray<CString, CString>()); }},
};
// clang-format on

TEST(Preconditions, AMissingListIsReportedOnceAndChangesNothing) {
  void (*const drop[])(Table&) = {Access::DropNameList, Access::DropTextList, Access::DropObjectList};
  for (const PreconditionCase& c : kPreconditionCases) {
    for (int list = 0; list < 3; ++list) {
      if ((c.missing & (1 << list)) == 0) continue;
      SCOPED_TRACE(std::string(c.scope) + " without list " + std::to_string(list));
      Table table;
      table.AddElement("R6", kTrx, 0, kDru, 3);
      drop[list](table);
      RecordingHost host;
      host.handlerExists = true;
      Out out;
      out.ids.Add(9);
      c.call(table, out);
      EXPECT_EQ(std::make_tuple(out.n, out.text.str(), out.ruType, ToVector(out.ids), out.objects.GetSize()),
                std::make_tuple(7, std::string("kept #1"), kPsu, std::vector<int>{9}, 0));
      if ((1 << list) != kObjects) {
        EXPECT_EQ(Attached(table), (std::vector<std::vector<int>>{{6, 3, 0, 12, 3}}));
      }
      EXPECT_THAT(Scopes(host), ElementsAre(std::string("CMonitorObjectTable::") + c.scope + "()"));
      EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 1U);
      ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
      EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, c.text);
      EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre(c.text));
      EXPECT_TRUE(host.Texts("LogError", EK_UNSPECIFIED).empty());
      EXPECT_EQ(host.CallsNamed("LogStoredMessages").size(), 1U);
      EXPECT_EQ(host.CallsNamed("LogError").at(0).file, "monitor/monitor_object_table.cpp");
    }
  }
}

}  // namespace
