// The catalogue queries: names and ids in both directions, the monitors
// offered per cabinet, the attachment queries and their pruning.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>
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
const Pelix_ObjectType kTx = static_cast<Pelix_ObjectType>(4);
const Pelix_ObjectType kCabinet = static_cast<Pelix_ObjectType>(7);
const FuncType kDru = static_cast<FuncType>(12);
const FuncType kPsu = static_cast<FuncType>(20);
const FuncType kCdu = static_cast<FuncType>(31);

MonitorNameType Kind(int value) { return static_cast<MonitorNameType>(value); }

std::vector<int> ToVector(const CArray<int, int>& ids) { return std::vector<int>(ids.begin(), ids.end()); }

class QueryTest : public ::testing::Test {
 protected:
  CString Name(int id) {
    CString name;
    table.GetMonitorName(id, name);
    return name;
  }
  CMonitorObjectTable table;
};

// ---------------------------------------------------------------------------
// Names and descriptions

TEST_F(QueryTest, MonitorNameFillsInTheInstanceNumbers) {
  EXPECT_EQ(Name(31), "Cabinet Internal Temperature Sensor -1");
  EXPECT_EQ(Name(47), "PSU-13 Information");
  EXPECT_EQ(Name(180), "Supervision Value SDCCH7-TS7");
  EXPECT_EQ(Name(118), "Supervision Value SDCCH1-TS0");
  EXPECT_EQ(Name(220), "Supervision Value TCH_H1-TS7");
  EXPECT_EQ(Name(250), "PDU Information");
  EXPECT_EQ(Name(75), "Reflected Power on TS 7 at TRX output");
  EXPECT_EQ(Name(0), "TS Channel Comb");
  EXPECT_EQ(Name(21), "Phase Diff Error. PCM_A");
}

TEST_F(QueryTest, UnknownIdGivesKindZero) {
  EXPECT_EQ(Name(5000), "TS Channel Comb");
  EXPECT_EQ(Name(-1), "TS Channel Comb");
  CString description = "caller's";
  table.GetMonitorDescription(5000, description);
  EXPECT_EQ(description, "The channel combination is reported per TS.");
}

TEST_F(QueryTest, MonitorDescriptionIsTheKindsText) {
  CString description;
  table.GetMonitorDescription(40, description);
  EXPECT_EQ(description, "Displays miscellaneous information about a PSU.");
  table.GetMonitorDescription(364, description);
  EXPECT_EQ(description,
            "This monitor displays the configured syncNodePriority of the remote node connected to PortA.");
}

TEST_F(QueryTest, NameWithoutTextEntryKeepsTheCallersTextButFillsItsPlaceholders) {
  // Drop the text of kind 60 (PSU information) so its instances find none.
  auto& texts = *Access::TextList(table);
  for (int i = 0; i < texts.GetSize(); ++i) {
    if (texts[i].nameType == 60) {
      texts.RemoveAt(i);
      break;
    }
  }
  CString name = "Unit #1 of #2";
  table.GetMonitorName(40, name);  // PSU 6
  EXPECT_EQ(name, "Unit 6 of 0");
  CString description = "Entry #1";
  table.GetMonitorDescription(40, description);  // the 7th PSU entry: position 6
  EXPECT_EQ(description, "Entry 6");
}

TEST_F(QueryTest, DescriptionPlaceholderIsThePositionWithinTheKind) {
  auto& texts = *Access::TextList(table);
  for (TextStruct& text : texts) {
    if (text.nameType == 24) text.description = "Sensor #1 of the cabinet.";
  }
  CString description;
  table.GetMonitorDescription(32, description);  // instance 2, but the second entry of its kind
  EXPECT_EQ(description, "Sensor 1 of the cabinet.");
  table.GetMonitorDescription(31, description);
  EXPECT_EQ(description, "Sensor 0 of the cabinet.");
}

TEST_F(QueryTest, InternalNamesById) {
  CString name = "keep";
  CString code = "keep";
  table.GetMonitorInternalName(21, name, code);
  EXPECT_EQ(name, "RTS/TU/PCM_REFA/MEAS/FI_ERR");
  EXPECT_EQ(code, "R42-A");
  table.GetMonitorInternalName(427, name, code);
  EXPECT_EQ(name, "RC/TX/MEAS/TRX_EATC_OFFSET");
  EXPECT_EQ(code, "");
  CString only;
  table.GetMonitorInternalName(205, only);
  EXPECT_EQ(only, "TFS/DCH/TS0/TCH_H0");
  // Nothing matches: the outputs keep what the caller put in them.
  name = "keep";
  code = "keep";
  only = "keep";
  table.GetMonitorInternalName(428, name, code);
  table.GetMonitorInternalName(-5, only);
  EXPECT_EQ(name, "keep");
  EXPECT_EQ(code, "keep");
  EXPECT_EQ(only, "keep");
}

TEST_F(QueryTest, InternalNameByKindIsTheFirstInstance) {
  CString name;
  table.GetMonitorInternalName(Kind(41), name);
  EXPECT_EQ(name, "TFS/DCH/TS0/SDCCH0");
  table.GetMonitorInternalName(Kind(24), name);
  EXPECT_EQ(name, "EPS/CLIMATE/CAB_TEMP_INT_1");
  table.GetMonitorInternalName(Kind(71), name);
  EXPECT_EQ(name, "CREC/ANT/TMA_CURRENT_VOLTAGE");
  name = "keep";
  table.GetMonitorInternalName(Kind(44), name);
  EXPECT_EQ(name, "keep");
}

// ---------------------------------------------------------------------------
// GetMonitorId

TEST_F(QueryTest, MonitorIdIgnoresDigitsAndGivesTheFirstInstance) {
  EXPECT_EQ(table.GetMonitorId("TS Channel Comb"), 0);
  EXPECT_EQ(table.GetMonitorId("PSU-3 Information"), 34);
  EXPECT_EQ(table.GetMonitorId("PSU-77 Information"), 34);
  EXPECT_EQ(table.GetMonitorId("PSU- Information"), 34);
  EXPECT_EQ(table.GetMonitorId("TMA 3 current"), 224);
  EXPECT_EQ(table.GetMonitorId("TMA 4 voltage"), 230);
  EXPECT_EQ(table.GetMonitorId("Supervision Value SDCCH5-TS2"), 117);
  EXPECT_EQ(table.GetMonitorId("Cabinet Internal Temperature Sensor -2"), 31);
  EXPECT_EQ(table.GetMonitorId("PDU Information"), 249);
  EXPECT_EQ(table.GetMonitorId("Mon TRX eATC offset"), 427);
}

TEST_F(QueryTest, MonitorIdMisses) {
  EXPECT_EQ(table.GetMonitorId("No such monitor"), -1);
  EXPECT_EQ(table.GetMonitorId("PSU-#1 Information"), -1);  // "#" is removed only from the catalogue's names
  EXPECT_EQ(table.GetMonitorId("ts channel comb"), -1);
  EXPECT_EQ(table.GetMonitorId("TS Channel Comb "), -1);
  EXPECT_EQ(table.GetMonitorId(""), -1);
  EXPECT_EQ(table.GetMonitorId("TMA 0 CM 0 current"), -1);  // long names only after the switch
}

TEST_F(QueryTest, MonitorIdTakesTheFirstMatchingKindInTextOrder) {
  // Give kind 2 (third text entry) the PSU name: it now answers before the
  // PSU kind itself.
  for (TextStruct& text : *Access::TextList(table)) {
    if (text.nameType == 2) text.name = "PSU-#1 Information";
  }
  EXPECT_EQ(table.GetMonitorId("PSU-5 Information"), 2);
}

// ---------------------------------------------------------------------------
// Internal names and short ids

TEST_F(QueryTest, InternalIdFromInternalNameOrShortId) {
  EXPECT_EQ(table.GetInternalIdFromInternalName("R42-A"), 21);
  EXPECT_EQ(table.GetInternalIdFromInternalName("RTS/TU/PCM_REFA/MEAS/FI_ERR"), 21);
  EXPECT_EQ(table.GetInternalIdFromInternalName("T6"), 0);
  EXPECT_EQ(table.GetInternalIdFromInternalName("T4-77"), 180);
  EXPECT_EQ(table.GetInternalIdFromInternalName("CREC/ANT/TMA_CURRENT_VOLTAGE"), 15);
  EXPECT_EQ(table.GetInternalIdFromInternalName("R86"), 18);
  EXPECT_EQ(table.GetInternalIdFromInternalName("r42-a"), 0);
  EXPECT_EQ(table.GetInternalIdFromInternalName("NO/SUCH"), 0);
  EXPECT_EQ(table.GetInternalIdFromInternalName(""), 364);
}

TEST_F(QueryTest, MonitorExists) {
  EXPECT_TRUE(table.MonitorExists("T6"));
  EXPECT_TRUE(table.MonitorExists("TFS/TSA/Ch_comb"));
  EXPECT_TRUE(table.MonitorExists("E12"));
  EXPECT_TRUE(table.MonitorExists(""));
  EXPECT_FALSE(table.MonitorExists("E10 "));
  EXPECT_FALSE(table.MonitorExists("E1#1"));
  EXPECT_FALSE(table.MonitorExists("EPS/CLIMATE/CAB_TEMP_INT_0"));
  EXPECT_FALSE(table.MonitorExists("tfs/tsa/ch_comb"));
}

// ---------------------------------------------------------------------------
// GetAllInternalIDs

TEST_F(QueryTest, AllIdsForAnOrdinaryCabinet) {
  for (int cabinet : {0, 1, 33, 35, 41, 64, -2, 1000}) {
    CArray<int, int> ids;
    table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
    ASSERT_EQ(ids.GetSize(), 428) << cabinet;
    for (int i = 0; i < 428; ++i) EXPECT_EQ(ids[i], i);
  }
}

TEST_F(QueryTest, ReducedSetCabinetLeavesOutTheExcludedFamilies) {
  CArray<int, int> ids;
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ids.GetSize(), 382);
  std::set<int> excluded = {10, 243, 293, 294, 295};
  for (int id = 26; id <= 27; ++id) excluded.insert(id);
  for (int id = 68; id <= 75; ++id) excluded.insert(id);
  for (int id = 84; id <= 99; ++id) excluded.insert(id);
  for (int id = 188; id <= 196; ++id) excluded.insert(id);
  for (int id = 236; id <= 241; ++id) excluded.insert(id);
  ASSERT_EQ(excluded.size(), 46U);
  std::vector<int> want;
  for (int id = 0; id < 428; ++id) {
    if (excluded.count(id) == 0) want.push_back(id);
  }
  EXPECT_EQ(ToVector(ids), want);
}

TEST_F(QueryTest, ReducedSetMatchesWholeFamiliesNotPrefixes) {
  CArray<int, int> ids;
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  const std::vector<int> got = ToVector(ids);
  const std::set<int> present(got.begin(), got.end());
  // The families "R1", "R2" and "R14" are excluded, but not the families
  // that merely start alike ("R13", "R42") nor "R4".
  EXPECT_EQ(present.count(76), 1U);   // R13-0
  EXPECT_EQ(present.count(21), 1U);   // R42-A
  EXPECT_EQ(present.count(9), 1U);    // R4
  EXPECT_EQ(present.count(84), 0U);   // R2-0
  EXPECT_EQ(present.count(92), 0U);   // R1-0
  EXPECT_EQ(present.count(364), 1U);  // empty short id
}

TEST_F(QueryTest, AllIdsAppendsWithoutDuplicates) {
  CArray<int, int> ids;
  ids.Add(500);
  ids.Add(10);  // excluded for the reduced set, but already there: it stays
  ids.Add(3);
  table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
  EXPECT_EQ(ids.GetSize(), 3 + 381);
  EXPECT_EQ(ids[0], 500);
  EXPECT_EQ(ids[1], 10);
  EXPECT_EQ(ids[2], 3);
  EXPECT_EQ(ids[3], 0);
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
};

TEST_F(AttachmentTest, MonitorsForAnObjectInAttachmentOrder) {
  CArray<int, int> ids;
  ids.Add(-7);
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, ids), 18);
  ASSERT_EQ(ids.GetSize(), 19);
  EXPECT_EQ(ids[0], -7);
  EXPECT_EQ(ids[1], 6);
  EXPECT_EQ(ids[2], 7);
  EXPECT_EQ(ids[3], 68);
  EXPECT_EQ(ids[10], 75);
  EXPECT_EQ(ids[11], 133);
  EXPECT_EQ(ids[18], 140);

  CArray<int, int> none;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 2, none), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 1, none), 0);
  EXPECT_EQ(none.GetSize(), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 0, none), 14);
  // Duplicates are kept.
  table.AddElement("R6", kTrx, 1, kDru, 1);
  CArray<int, int> again;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, again), 19);
  EXPECT_EQ(again[18], 6);
}

TEST_F(AttachmentTest, ObjectsOfAMonitor) {
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  int id = 6;
  table.GetPelixObjectsForInternalID(id, objects);
  ASSERT_EQ(objects.GetSize(), 2);
  EXPECT_EQ(objects[0].type, kTrx);
  EXPECT_EQ(objects[0].instance, 0);
  EXPECT_EQ(objects[1].instance, 1);
  EXPECT_EQ(id, 6);
  id = 15;
  table.GetPelixObjectsForInternalID(id, objects);
  ASSERT_EQ(objects.GetSize(), 3);
  EXPECT_EQ(objects[2].type, kTx);
  EXPECT_EQ(objects[2].instance, 1);
  id = 16;
  table.GetPelixObjectsForInternalID(id, objects);
  EXPECT_EQ(objects.GetSize(), 3);
}

TEST_F(AttachmentTest, UnitOfAnAttachment) {
  EXPECT_EQ(table.GetRU_Type(68, kTrx, 1), kDru);
  EXPECT_EQ(table.GetRuInstance(68, kTrx, 1), 1);
  EXPECT_EQ(table.GetRU_Type(40, kCabinet, 0), kPsu);
  EXPECT_EQ(table.GetRuInstance(15, kTx, 1), 4);
  // No attachment for this id, object kind or instance.
  EXPECT_EQ(table.GetRU_Type(8, kTrx, 0), FT_NONE);
  EXPECT_EQ(table.GetRU_Type(68, kTx, 1), FT_NONE);
  EXPECT_EQ(table.GetRU_Type(68, kTrx, 2), FT_NONE);
  EXPECT_EQ(table.GetRuInstance(68, kTrx, 2), 0);
  // The first matching attachment answers.
  table.AddElement("R6", kTrx, 0, kCdu, 9);
  EXPECT_EQ(table.GetRU_Type(6, kTrx, 0), kDru);
  EXPECT_EQ(table.GetRuInstance(6, kTrx, 0), 0);
}

TEST_F(AttachmentTest, UnitsOfANamedMonitor) {
  FuncType ruType = static_cast<FuncType>(-1);
  int ruInstance = -1;
  table.GetRUs("R6", kTrx, 1, ruType, ruInstance);
  EXPECT_EQ(ruType, kDru);
  EXPECT_EQ(ruInstance, 1);
  table.GetRUs("EC/POWERCTRL/PSU_3_INFO", kCabinet, 0, ruType, ruInstance);
  EXPECT_EQ(ruType, kPsu);
  EXPECT_EQ(ruInstance, 0);

  // No attachment: the outputs keep their values.
  ruType = static_cast<FuncType>(-1);
  ruInstance = -1;
  table.GetRUs("R6", kTrx, 3, ruType, ruInstance);
  table.GetRUs("R5", kTrx, 0, ruType, ruInstance);
  table.GetRUs("NO/SUCH", kTrx, 0, ruType, ruInstance);
  EXPECT_EQ(ruType, -1);
  EXPECT_EQ(ruInstance, -1);
}

TEST_F(AttachmentTest, UnitsOfASharedNameSearchEveryEntryOfThatName) {
  // Attach the port C entry (id 17) to another object: GetRUs goes on past
  // the port A entry (id 15), which has no attachment for it.
  table.ClearMonitorObjectList();
  table.AddElement("R84", kTx, 2, kCdu, 7);
  FuncType ruType = FT_NONE;
  int ruInstance = 0;
  table.GetRUs("CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 2, ruType, ruInstance);
  EXPECT_EQ(ruType, kCdu);
  EXPECT_EQ(ruInstance, 7);
  // AddElement by the shared name would only have attached id 15.
  EXPECT_EQ(table.GetRU_Type(17, kTx, 2), kCdu);
  EXPECT_EQ(table.GetRU_Type(15, kTx, 2), FT_NONE);
}

TEST_F(AttachmentTest, KeepTheseWithNamesKeepsThoseAndRemovesOneOfEachOther) {
  table.AddElement("R6", kTrx, 5, kDru, 5);  // a third attachment of id 6
  CArray<CString, CString> keep;
  keep.Add("RTS/TX/C/ARFCN");
  keep.Add("TFS/DCH/TS2/SDCCH3");  // id 136
  keep.Add("R6");                  // a short id keeps nothing
  table.KeepThese(keep);
  std::vector<std::pair<int, int>> left;
  for (const CMonitorObjectTableStruct& element : *Access::ObjectList(table)) {
    left.emplace_back(element.internalId, element.objectInstance);
  }
  EXPECT_THAT(
      left, ElementsAre(std::make_pair(7, 0), std::make_pair(136, 0), std::make_pair(6, 1), std::make_pair(7, 1),
                        std::make_pair(68, 1), std::make_pair(69, 1), std::make_pair(70, 1), std::make_pair(71, 1),
                        std::make_pair(72, 1), std::make_pair(73, 1), std::make_pair(74, 1), std::make_pair(75, 1),
                        std::make_pair(133, 1), std::make_pair(134, 1), std::make_pair(135, 1), std::make_pair(136, 1),
                        std::make_pair(137, 1), std::make_pair(138, 1), std::make_pair(139, 1), std::make_pair(140, 1),
                        std::make_pair(6, 5)));
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  EXPECT_EQ(Access::TextList(table)->GetSize(), 271);
}

TEST_F(AttachmentTest, KeepTheseWithNoNamesRemovesTheFirstAttachmentOfEveryMonitor) {
  table.KeepThese(CArray<CString, CString>());
  std::vector<int> left;
  for (const CMonitorObjectTableStruct& element : *Access::ObjectList(table)) {
    EXPECT_EQ(element.objectInstance, 1);
    left.push_back(element.internalId);
  }
  EXPECT_EQ(left.size(), 18U);
  // Two attachments of one monitor that is not kept: one of them remains.
  table.ClearMonitorObjectList();
  for (int i = 0; i < 2; ++i) table.AddElement("R69", kTx, i, kCdu, 0);
  table.KeepThese(CArray<CString, CString>());
  ASSERT_EQ(Access::ObjectList(table)->GetSize(), 1);
  EXPECT_EQ(Access::ObjectList(table)->GetAt(0).objectInstance, 1);
}

TEST_F(AttachmentTest, ClearRemovesAllAttachmentsOnly) {
  table.ClearMonitorObjectList();
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
  CArray<int, int> ids;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 0, ids), 0);
  EXPECT_EQ(Access::NameList(table)->GetSize(), 428);
  table.ClearMonitorObjectList();
  EXPECT_EQ(Access::ObjectList(table)->GetSize(), 0);
}

// ---------------------------------------------------------------------------
// Missing lists: every query reports its precondition, leaves its outputs
// alone and returns its failure value.

struct Case {
  const char* scope;
  const char* text;
  void (*drop)(CMonitorObjectTable&);
  std::function<void(CMonitorObjectTable&)> call;
};

class QueryPreconditionTest : public ::testing::Test {
 protected:
  void Run(const Case& c) {
    SCOPED_TRACE(c.scope);
    CMonitorObjectTable table;
    table.AddElement("R6", kTrx, 0, kDru, 3);
    c.drop(table);
    RecordingHost host;
    host.handlerExists = true;
    c.call(table);
    ASSERT_EQ(host.CallsNamed("StoreEnter").size(), 1U);
    EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text, c.scope);
    EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre(c.text));
    ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
    EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, c.text);
    EXPECT_TRUE(host.Texts("LogError", EK_UNSPECIFIED).empty());
    EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 1U);
  }
};

void DropNames(CMonitorObjectTable& t) { Access::DropNameList(t); }
void DropTexts(CMonitorObjectTable& t) { Access::DropTextList(t); }
void DropObjects(CMonitorObjectTable& t) { Access::DropObjectList(t); }

TEST_F(QueryPreconditionTest, NamesAndDescriptions) {
  for (auto drop : {DropNames, DropTexts}) {
    Run({"CMonitorObjectTable::GetMonitorName()", "m_internalNameList != NULL && m_textList != NULL", drop,
         [](CMonitorObjectTable& t) {
           CString name = "Unit #1";
           t.GetMonitorName(6, name);
           EXPECT_EQ(name, "Unit #1");
         }});
    Run({"CMonitorObjectTable::GetMonitorDescription()", "m_internalNameList != NULL && m_textList != NULL", drop,
         [](CMonitorObjectTable& t) {
           CString description = "kept #1";
           t.GetMonitorDescription(6, description);
           EXPECT_EQ(description, "kept #1");
         }});
    Run({"CMonitorObjectTable::GetMonitorId()", "m_textList != NULL && m_internalNameList != NULL", drop,
         [](CMonitorObjectTable& t) { EXPECT_EQ(t.GetMonitorId("Nominal Output Power"), 0); }});
  }
}

TEST_F(QueryPreconditionTest, InternalNameQueries) {
  const char* text = "m_internalNameList != NULL";
  const char* scope = "CMonitorObjectTable::GetMonitorInternalName()";
  Run({scope, text, DropNames, [](CMonitorObjectTable& t) {
         CString name = "a";
         CString code = "b";
         t.GetMonitorInternalName(6, name, code);
         EXPECT_EQ(name, "a");
         EXPECT_EQ(code, "b");
       }});
  Run({scope, text, DropNames, [](CMonitorObjectTable& t) {
         CString name = "a";
         t.GetMonitorInternalName(6, name);
         EXPECT_EQ(name, "a");
       }});
  Run({scope, text, DropNames, [](CMonitorObjectTable& t) {
         CString name = "a";
         t.GetMonitorInternalName(Kind(5), name);
         EXPECT_EQ(name, "a");
       }});
  Run({"CMonitorObjectTable::GetInternalIdFromInternalName()", text, DropNames,
       [](CMonitorObjectTable& t) { EXPECT_EQ(t.GetInternalIdFromInternalName("R6"), 0); }});
  Run({"CMonitorObjectTable::MonitorExists()", text, DropNames,
       [](CMonitorObjectTable& t) { EXPECT_FALSE(t.MonitorExists("R6")); }});
  Run({"CMonitorObjectTable::GetAllInternalIDs()", text, DropNames, [](CMonitorObjectTable& t) {
         CArray<int, int> ids;
         ids.Add(9);
         t.GetAllInternalIDs(ids, CT_UNIDENTIFIED);
         EXPECT_THAT(ToVector(ids), ElementsAre(9));
       }});
}

TEST_F(QueryPreconditionTest, AttachmentQueries) {
  const char* text = "m_monitorObjectList != NULL";
  Run({"CMonitorObjectTable::GetMonitorsForRU()", text, DropObjects, [](CMonitorObjectTable& t) {
         CArray<int, int> ids;
         EXPECT_EQ(t.GetMonitorsForRU(kTrx, 0, ids), 0);
         EXPECT_EQ(ids.GetSize(), 0);
       }});
  Run({"CMonitorObjectTable::GetPelixObjectsForInternalID()", text, DropObjects, [](CMonitorObjectTable& t) {
         CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
         int id = 6;
         t.GetPelixObjectsForInternalID(id, objects);
         EXPECT_EQ(objects.GetSize(), 0);
       }});
  Run({"CMonitorObjectTable::GetRU_Type()", text, DropObjects,
       [](CMonitorObjectTable& t) { EXPECT_EQ(t.GetRU_Type(6, kTrx, 0), FT_NONE); }});
  Run({"CMonitorObjectTable::GetRuInstance()", text, DropObjects,
       [](CMonitorObjectTable& t) { EXPECT_EQ(t.GetRuInstance(6, kTrx, 0), 0); }});
  Run({"CMonitorObjectTable::ClearMonitorObjectList()", text, DropObjects,
       [](CMonitorObjectTable& t) { t.ClearMonitorObjectList(); }});
  for (auto drop : {DropNames, DropObjects}) {
    Run({"CMonitorObjectTable::GetRUs()", "m_monitorObjectList != NULL && m_internalNameList != NULL", drop,
         [](CMonitorObjectTable& t) {
           FuncType ruType = kPsu;
           int ruInstance = 8;
           t.GetRUs("R6", kTrx, 0, ruType, ruInstance);
           EXPECT_EQ(ruType, kPsu);
           EXPECT_EQ(ruInstance, 8);
         }});
    Run({"CMonitorObjectTable::KeepThese()", "m_internalNameList != NULL && m_monitorObjectList != NULL", drop,
         [](CMonitorObjectTable& t) { t.KeepThese(CArray<CString, CString>()); }});
  }
}

TEST_F(QueryPreconditionTest, KeepTheseWithoutNamesLeavesTheAttachments) {
  Run({"CMonitorObjectTable::KeepThese()", "m_internalNameList != NULL && m_monitorObjectList != NULL", DropNames,
       [](CMonitorObjectTable& t) {
         t.KeepThese(CArray<CString, CString>());
         EXPECT_EQ(Access::ObjectList(t)->GetSize(), 1);
       }});
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
  const auto enters = host.CallsNamed("StoreEnter");
  ASSERT_EQ(enters.size(), 4U);
  EXPECT_EQ(enters[0].text, "CMonitorObjectTable::GetMonitorName()");
  EXPECT_EQ(enters[1].text, "CMonitorObjectTable::GetMonitorId()");
  EXPECT_EQ(enters[2].text, "CMonitorObjectTable::MonitorExists()");
  EXPECT_EQ(enters[3].text, "CMonitorObjectTable::GetRU_Type()");
}

}  // namespace
