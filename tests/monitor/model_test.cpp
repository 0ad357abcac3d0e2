// Attaching monitors, the catalogue-building overloads with their placeholder
// expansion, the trace frame of the table and its precondition reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelix/monitor_object_table.h"
#include "pelix/service_result.h"
#include "tests/monitor/table_access.h"
#include "tests/support/recording_host.h"

using Access = CMonitorObjectTableTestAccess;
using pelix::test::RecordingHost;
using ::testing::ElementsAre;

namespace {

const Pelix_ObjectType kTrx = static_cast<Pelix_ObjectType>(3);
const Pelix_ObjectType kCabinet = static_cast<Pelix_ObjectType>(7);
const FuncType kDru = static_cast<FuncType>(12);
const FuncType kPsu = static_cast<FuncType>(20);

MonitorNameType Kind(int value) { return static_cast<MonitorNameType>(value); }

std::vector<int> AttachedIds(CMonitorObjectTable& table) {
  std::vector<int> ids;
  for (const CMonitorObjectTableStruct& element : *Access::ObjectList(table)) ids.push_back(element.internalId);
  return ids;
}

// ---------------------------------------------------------------------------
// AddElement

TEST(AddElement, ByShortIdAndByInternalNameAttachTheSameEntry) {
  CMonitorObjectTable table;
  table.AddElement("R42-A", kTrx, 2, kDru, 5);
  table.AddElement("RTS/TU/PCM_REFA/MEAS/FI_ERR", kCabinet, 1, kPsu, 6);
  const auto& list = *Access::ObjectList(table);
  ASSERT_EQ(list.GetSize(), 2);
  EXPECT_EQ(list[0].internalId, 21);
  EXPECT_EQ(list[0].objectType, kTrx);
  EXPECT_EQ(list[0].objectInstance, 2);
  EXPECT_EQ(list[0].ruType, kDru);
  EXPECT_EQ(list[0].ruInstance, 5);
  EXPECT_EQ(list[1].internalId, 21);
  EXPECT_EQ(list[1].objectType, kCabinet);
  EXPECT_EQ(list[1].objectInstance, 1);
  EXPECT_EQ(list[1].ruType, kPsu);
  EXPECT_EQ(list[1].ruInstance, 6);
}

TEST(AddElement, ByNameTakesOnlyTheFirstOfASharedName) {
  CMonitorObjectTable table;
  table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTrx, 0, kDru, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre(15));
}

TEST(AddElement, ByNameIsExactAndCaseSensitive) {
  CMonitorObjectTable table;
  table.AddElement("rts/tx/c/pwr", kTrx, 0, kDru, 0);
  table.AddElement("r6", kTrx, 0, kDru, 0);
  table.AddElement("RTS/TX/C/PWR ", kTrx, 0, kDru, 0);
  table.AddElement("RTS/TX/C", kTrx, 0, kDru, 0);
  table.AddElement("", kTrx, 0, kDru, 0);  // matches the first empty short id
  EXPECT_THAT(AttachedIds(table), ElementsAre(364));
}

TEST(AddElement, ByKindAttachesEveryInstanceInOrder) {
  CMonitorObjectTable table;
  table.AddElement(Kind(41), kTrx, 4, kDru, 1);
  const std::vector<int> ids = AttachedIds(table);
  ASSERT_EQ(ids.size(), 64U);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(ids[static_cast<size_t>(i)], 117 + i);
  for (const CMonitorObjectTableStruct& element : *Access::ObjectList(table)) {
    EXPECT_EQ(element.objectType, kTrx);
    EXPECT_EQ(element.objectInstance, 4);
    EXPECT_EQ(element.ruType, kDru);
    EXPECT_EQ(element.ruInstance, 1);
  }
}

TEST(AddElement, ByKindAndInstanceTakesTheEntriesOfThatFirstNumber) {
  CMonitorObjectTable table;
  table.AddElement(Kind(41), kTrx, 0, kDru, 0, 3);
  EXPECT_THAT(AttachedIds(table), ElementsAre(141, 142, 143, 144, 145, 146, 147, 148));
  table.ClearMonitorObjectList();
  // A row that starts at 1 has no instance 0; a single instance has only 0.
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre());
  table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, 2);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 0);
  table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, 1);
  EXPECT_THAT(AttachedIds(table), ElementsAre(32, 6));
}

TEST(AddElement, UnusedKindOrUnknownNameAttachesNothingAndReportsNothing) {
  CMonitorObjectTable table;
  RecordingHost host;
  host.handlerExists = true;
  table.AddElement(Kind(44), kTrx, 0, kDru, 0);
  table.AddElement(Kind(234), kTrx, 0, kDru, 0, 0);
  table.AddElement("NO/SUCH/MONITOR", kTrx, 0, kDru, 0);
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(host.CallsNamed("StoreEnter").size(), 3U);
}

TEST(AddElement, TwiceAttachesTwice) {
  CMonitorObjectTable table;
  table.AddElement("R6", kTrx, 0, kDru, 0);
  table.AddElement("R6", kTrx, 0, kDru, 0);
  table.AddElement(Kind(24), kTrx, 0, kDru, 0);
  table.AddElement(Kind(24), kTrx, 0, kDru, 0);
  EXPECT_THAT(AttachedIds(table), ElementsAre(6, 6, 31, 32, 31, 32));
}

// ---------------------------------------------------------------------------
// The catalogue-building overloads

class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override { Access::ClearCatalogue(table); }
  const CArray<InternalNameStruct, InternalNameStruct>& Names() { return *Access::NameList(table); }
  void ExpectEntry(int index, int id, int kind, const char* name, const char* code, int i1, int i2) {
    ASSERT_LT(index, Names().GetSize());
    const InternalNameStruct& entry = Names()[index];
    EXPECT_EQ(entry.internalId, id) << index;
    EXPECT_EQ(entry.nameType, kind) << index;
    EXPECT_EQ(entry.internalName, name) << index;
    EXPECT_EQ(entry.shortId, code) << index;
    EXPECT_EQ(entry.instance1, i1) << index;
    EXPECT_EQ(entry.instance2, i2) << index;
  }
  CMonitorObjectTable table;
};

TEST_F(BuildTest, OneInstanceTakesTheCounterAndAdvancesIt) {
  int nextId = 40;
  Access::AddOne(table, nextId, Kind(7), "RTS/TX/C/FILL", "R5");
  Access::AddOne(table, nextId, Kind(8), "A/#1", "X#1");  // placeholders stay as they are
  EXPECT_EQ(nextId, 42);
  ExpectEntry(0, 40, 7, "RTS/TX/C/FILL", "R5", 0, 0);
  ExpectEntry(1, 41, 8, "A/#1", "X#1", 0, 0);
}

TEST_F(BuildTest, RowReplacesTheFirstPlaceholderInBothNames) {
  int nextId = 0;
  Access::AddRow(table, nextId, Kind(60), "EC/POWERCTRL/PSU_#1_INFO", "E20-#1", 14, false);
  ASSERT_EQ(Names().GetSize(), 14);
  EXPECT_EQ(nextId, 14);
  ExpectEntry(0, 0, 60, "EC/POWERCTRL/PSU_0_INFO", "E20-0", 0, 0);
  ExpectEntry(13, 13, 60, "EC/POWERCTRL/PSU_13_INFO", "E20-13", 13, 0);
}

TEST_F(BuildTest, RowWithSkipStartsAtOne) {
  int nextId = 5;
  Access::AddRow(table, nextId, Kind(24), "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 3, true);
  EXPECT_EQ(nextId, 7);
  ASSERT_EQ(Names().GetSize(), 2);
  ExpectEntry(0, 5, 24, "EPS/CLIMATE/CAB_TEMP_INT_1", "E11", 1, 0);
  ExpectEntry(1, 6, 24, "EPS/CLIMATE/CAB_TEMP_INT_2", "E12", 2, 0);
}

TEST_F(BuildTest, RowWithSkipAndCountOneAddsNothing) {
  int nextId = 9;
  Access::AddRow(table, nextId, Kind(24), "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 1, true);
  Access::AddRow(table, nextId, Kind(24), "EPS/CLIMATE/CAB_TEMP_INT_#1", "E1#1", 0, false);
  EXPECT_EQ(nextId, 9);
  EXPECT_EQ(Names().GetSize(), 0);
}

TEST_F(BuildTest, RowReplacesOnlyTheFirstOccurrence) {
  int nextId = 0;
  Access::AddRow(table, nextId, Kind(1), "A#1/B#1", "#1-#1", 2, false);
  ExpectEntry(1, 1, 1, "A1/B#1", "1-#1", 1, 0);
}

TEST_F(BuildTest, RowWithoutPlaceholderRepeatsTheNamesWithInstanceNumbers) {
  int nextId = 0;
  Access::AddRow(table, nextId, Kind(98), "EC/POWERCTRL/PDU_INFO", "E38-#1", 3, true);
  ASSERT_EQ(Names().GetSize(), 2);
  // The short id is only rewritten when the internal name holds "#1".
  ExpectEntry(0, 0, 98, "EC/POWERCTRL/PDU_INFO", "E38-#1", 1, 0);
  ExpectEntry(1, 1, 98, "EC/POWERCTRL/PDU_INFO", "E38-#1", 2, 0);
}

TEST_F(BuildTest, RowShortIdWithoutPlaceholderIsKept) {
  int nextId = 0;
  Access::AddRow(table, nextId, Kind(2), "X/#1", "", 2, false);
  ExpectEntry(1, 1, 2, "X/1", "", 1, 0);
}

TEST_F(BuildTest, GridIsFirstNumberMajor) {
  int nextId = 117;
  Access::AddGrid(table, nextId, Kind(41), "TFS/DCH/TS#1/SDCCH#2", "T4-#1#2", 8, 8);
  ASSERT_EQ(Names().GetSize(), 64);
  EXPECT_EQ(nextId, 181);
  ExpectEntry(0, 117, 41, "TFS/DCH/TS0/SDCCH0", "T4-00", 0, 0);
  ExpectEntry(1, 118, 41, "TFS/DCH/TS0/SDCCH1", "T4-01", 0, 1);
  ExpectEntry(8, 125, 41, "TFS/DCH/TS1/SDCCH0", "T4-10", 1, 0);
  ExpectEntry(63, 180, 41, "TFS/DCH/TS7/SDCCH7", "T4-77", 7, 7);
}

TEST_F(BuildTest, GridSecondNumberWithMoreDigitsReplacesTheEnd) {
  int nextId = 0;
  Access::AddGrid(table, nextId, Kind(57), "S#1/C#2", "Q#1#2", 2, 12);
  ASSERT_EQ(Names().GetSize(), 24);
  ExpectEntry(23, 23, 57, "S1/C11", "Q111", 1, 11);
}

TEST_F(BuildTest, GridWithoutFirstPlaceholderAddsOneUnnumberedEntryPerRow) {
  int nextId = 0;
  Access::AddGrid(table, nextId, Kind(3), "PLAIN/NAME", "P1", 3, 5);
  ASSERT_EQ(Names().GetSize(), 3);
  EXPECT_EQ(nextId, 3);
  for (int i = 0; i < 3; ++i) ExpectEntry(i, i, 3, "PLAIN/NAME", "P1", 0, 0);
}

TEST_F(BuildTest, GridWithoutSecondPlaceholderRepeatsTheRowNames) {
  int nextId = 0;
  Access::AddGrid(table, nextId, Kind(3), "ROW#1/X", "R#1", 2, 2);
  ASSERT_EQ(Names().GetSize(), 4);
  ExpectEntry(1, 1, 3, "ROW0/X", "R0", 0, 1);
  ExpectEntry(3, 3, 3, "ROW1/X", "R1", 1, 1);
}

TEST_F(BuildTest, GridWithShortIdTooShortForThePlaceholderDoesNotOverrun) {
  int nextId = 0;
  Access::AddGrid(table, nextId, Kind(3), "A#1/B#2", "", 1, 2);
  ExpectEntry(1, 1, 3, "A0/B1", "1", 0, 1);
}

TEST_F(BuildTest, RowFromFirstNumbersFromFirst) {
  int nextId = 3;
  Access::AddRowFrom(table, nextId, Kind(59), "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", 2, 3, true);
  EXPECT_EQ(nextId, 6);
  ASSERT_EQ(Names().GetSize(), 3);
  ExpectEntry(0, 3, 59, "EC/POWERCTRL/BFU_2_INFO", "E17-2", 2, 0);
  ExpectEntry(2, 5, 59, "EC/POWERCTRL/BFU_4_INFO", "E17-4", 4, 0);
}

TEST_F(BuildTest, RowFromFirstDisabledOrWithoutPlaceholderAddsNothing) {
  int nextId = 3;
  Access::AddRowFrom(table, nextId, Kind(59), "EC/POWERCTRL/BFU_#1_INFO", "E17-#1", 0, 4, false);
  Access::AddRowFrom(table, nextId, Kind(59), "EC/POWERCTRL/BFU_INFO", "E17", 0, 4, true);
  EXPECT_EQ(nextId, 3);
  EXPECT_EQ(Names().GetSize(), 0);
}

TEST_F(BuildTest, TextElementIsAppended) {
  Access::AddText(table, Kind(7), "Name", "Text.");
  Access::AddText(table, Kind(3), "Other", "More.");
  const auto& texts = *Access::TextList(table);
  ASSERT_EQ(texts.GetSize(), 2);
  EXPECT_EQ(texts[0].nameType, 7);
  EXPECT_EQ(texts[0].name, "Name");
  EXPECT_EQ(texts[0].description, "Text.");
  EXPECT_EQ(texts[1].nameType, 3);
}

// ---------------------------------------------------------------------------
// The frame and the precondition reports

// A failed precondition check: one RaiseError with the text, one
// LogError of kind 0, one LogStoredMessages, and no unspecified error.
void ExpectOnePrecondition(const RecordingHost& host, const std::string& text) {
  ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, text);
  EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre(text));
  EXPECT_TRUE(host.Texts("LogError", EK_UNSPECIFIED).empty());
  EXPECT_EQ(host.CallsNamed("LogStoredMessages").size(), 1U);
  ASSERT_FALSE(host.CallsNamed("LogError").empty());
  EXPECT_EQ(host.CallsNamed("LogError")[0].file, "monitor/monitor_object_table.cpp");
}

TEST(TableFrame, ConstructorTracesItselfAndTheCatalogueBuild) {
  RecordingHost host;
  host.handlerExists = true;
  CMonitorObjectTable table;
  const auto enters = host.CallsNamed("StoreEnter");
  ASSERT_GE(enters.size(), 3U);
  EXPECT_EQ(enters[0].text, "CMonitorObjectTable::CMonitorObjectTable()");
  EXPECT_EQ(enters[0].file, "monitor/monitor_object_table.cpp");
  EXPECT_EQ(enters[1].text, "CMonitorObjectTable::Reset()");
  EXPECT_EQ(enters[2].text, "CMonitorObjectTable::AddTextListElement()");
  EXPECT_EQ(enters[3].text, "CMonitorObjectTable::AddInternalNameElement()");
  // One text and one instance call per kind, all closed again.
  EXPECT_EQ(enters.size(), 2U + 271U * 2U);
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), enters.size());
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  // The constructor checks the error status after Reset.
  EXPECT_EQ(host.CallsNamed("GetErrorStatus").size(), 1U);
  host.Clear();
  // Destruction.
  {
    CMonitorObjectTable other;
    host.Clear();
  }
  ASSERT_EQ(host.CallsNamed("StoreEnter").size(), 1U);
  EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text, "CMonitorObjectTable::~CMonitorObjectTable()");
}

TEST(TableFrame, ConstructorTakesTheErrorExitWhenAnErrorIsPending) {
  RecordingHost host;
  host.handlerExists = true;
  host.errorStatus = 1;  // an error raised earlier and not yet cleared
  CMonitorObjectTable table;
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);  // left as Reset built it
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());  // an error was pending: nothing more raised
  const std::vector<std::string> names = host.Names();
  // The last calls: the check after Reset, then the close of the constructor.
  ASSERT_GE(names.size(), 8U);
  EXPECT_THAT(std::vector<std::string>(names.end() - 8, names.end()),
              ElementsAre("GetErrorStatus", "ErrorHandlerExists", "ErrorHandlerExists", "GetErrorStatus",
                          "ErrorHandlerExists", "StoreReturn", "DecreaseLevel", "GetErrorHandlerType"));
}

TEST(TableFrame, UpdateTmaNamesOpensNoScope) {
  CMonitorObjectTable table;
  RecordingHost host;
  host.handlerExists = true;
  table.UpdateTMA_CM_Names(true);
  table.UpdateTMA_CM_Names(false);
  EXPECT_TRUE(host.calls.empty());
}

TEST(TableFrame, QueryWithoutHandlerCostsTwoHostCalls) {
  CMonitorObjectTable table;
  RecordingHost host;
  CString name;
  table.GetMonitorName(31, name);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "ErrorHandlerExists"));
}

class PreconditionTest : public ::testing::Test {
 protected:
  void SetUp() override { host.handlerExists = true; }
  CMonitorObjectTable table;  // built before the recording host takes over
  RecordingHost host;
};

TEST_F(PreconditionTest, AddElementWithoutInternalNameList) {
  Access::DropNameList(table);
  table.AddElement("R6", kTrx, 0, kDru, 0);
  ExpectOnePrecondition(host, "m_internalNameList != NULL && m_monitorObjectList != NULL");
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
}

TEST_F(PreconditionTest, AddElementByKindWithoutObjectList) {
  Access::DropObjectList(table);
  table.AddElement(Kind(5), kTrx, 0, kDru, 0);
  ExpectOnePrecondition(host, "m_internalNameList != NULL && m_monitorObjectList != NULL");
}

TEST_F(PreconditionTest, AddElementByInstanceWithoutObjectList) {
  Access::DropObjectList(table);
  table.AddElement(Kind(41), kTrx, 0, kDru, 0, 1);
  ExpectOnePrecondition(host, "m_internalNameList != NULL && m_monitorObjectList != NULL");
  EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text, "CMonitorObjectTable::AddElement()");
}

TEST_F(PreconditionTest, EveryInternalNameOverloadWithoutItsList) {
  Access::DropNameList(table);
  int nextId = 7;
  using Adder = void (*)(CMonitorObjectTable&, int&);
  const Adder adders[] = {
      [](CMonitorObjectTable& t, int& id) { Access::AddOne(t, id, Kind(1), "A", "B"); },
      [](CMonitorObjectTable& t, int& id) { Access::AddRow(t, id, Kind(1), "A#1", "B#1", 3, false); },
      [](CMonitorObjectTable& t, int& id) { Access::AddGrid(t, id, Kind(1), "A#1#2", "B#1#2", 2, 2); },
      [](CMonitorObjectTable& t, int& id) { Access::AddRowFrom(t, id, Kind(1), "A#1", "B#1", 0, 2, true); },
  };
  for (Adder add : adders) {
    host.Clear();
    host.errorStatus = 0;
    add(table, nextId);
    ExpectOnePrecondition(host, "m_internalNameList != NULL");
    EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text, "CMonitorObjectTable::AddInternalNameElement()");
    EXPECT_EQ(nextId, 7);
  }
}

TEST_F(PreconditionTest, TextElementWithoutTextList) {
  Access::DropTextList(table);
  Access::AddText(table, Kind(1), "N", "D.");
  ExpectOnePrecondition(host, "m_textList != NULL");
  EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text, "CMonitorObjectTable::AddTextListElement()");
}

TEST_F(PreconditionTest, UpdateTmaNamesWithoutTextListOnlySetsTheFlag) {
  Access::DropTextList(table);
  table.UpdateTMA_CM_Names(true);
  EXPECT_TRUE(Access::TmaCmNames(table));
  EXPECT_TRUE(host.calls.empty());
}

TEST_F(PreconditionTest, ResetRestoresMissingLists) {
  Access::DropNameList(table);
  Access::DropTextList(table);
  Access::DropObjectList(table);
  table.Reset();
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
}

}  // namespace
