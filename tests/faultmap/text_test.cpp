// The fault text of a kept map: lines, items, time texts, object ids and
// state texts, driven the way the terminal drives them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "faultmap/time_text.h"
#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "tests/faultmap/fault_map_access.h"
#include "tests/faultmap/report.h"
#include "tests/faultmap/scoped_env.h"
#include "tests/support/recording_host.h"

using pelix::test::DaylightSavingNow;
using pelix::test::Decode;
using pelix::test::FaultMapAccess;
using pelix::test::MapSize;
using pelix::test::MapWith;
using pelix::test::RecordingHost;
using pelix::test::ReportSpec;
using pelix::test::ScopedNameTable;
using pelix::test::ScopedTimeZone;
using pelix::test::Stamp;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};
const std::string kBlank(19, ' ');

struct Item {
  std::string moTypeText, mapTitle, faultId, faultName;
};

struct Text {
  std::vector<std::string> lines;
  std::vector<Item> items;
};

// Runs GetFaultMaps, takes the items over and deletes them as the caller must.
Text FaultText(const CFaultMap& map) {
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  map.GetFaultMaps(lines, items);
  Text text;
  for (const CString& line : lines) text.lines.push_back(line.str());
  for (FaultMapItem* item : items) {
    text.items.push_back({item->moTypeText.str(), item->mapTitle.str(), item->faultId.str(), item->faultName.str()});
    delete item;
  }
  EXPECT_EQ(text.lines.size(), text.items.size());
  return text;
}

// The line without its time text and the blank after it.
std::string Tail(const std::string& line) { return line.size() > 20 ? line.substr(20) : std::string(); }

// A decoded report of the timeslot object 3-1 with all kinds and the given faults.
CFaultMap Report(int dataType, const std::vector<std::pair<FaultMapType, std::vector<int>>>& faults,
                 uint32_t reportTime = 0, const std::vector<Stamp>& stamps = {}) {
  ReportSpec shape;
  shape.withTail = dataType == 5 || dataType == 7;
  shape.reportTime = reportTime;
  shape.stamps = stamps;
  for (const FaultMapType kind : kAllKinds) {
    std::vector<uint8_t> map = MapWith(kind, MapSize(dataType, kind));
    for (const auto& entry : faults) {
      if (entry.first != kind) continue;
      for (const int f : entry.second) map.at(static_cast<size_t>(f / 8 + 1)) |= static_cast<uint8_t>(1U << (f % 8));
    }
    shape.blocks.push_back(map);
  }
  CFaultMap map = Decode(shape.Build(), dataType);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  return map;
}

std::time_t ParseLocal(const std::string& text) {
  std::tm tm{};
  tm.tm_isdst = -1;
  EXPECT_EQ(std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                        &tm.tm_min, &tm.tm_sec),
            6);
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  return std::mktime(&tm);
}

// --- scenarios ------------------------------------------------------------------

TEST(FaultText, TimeslotFaultUnderDataType4CarriesTheCurrentTime) {
  ScopedNameTable table;
  CArray<CString, CString> names;
  for (const char* name : {"a", "b", "c", "d", "e", "Timeslot sync lost"}) names.Add(CString(name));
  table->StoreMonitorRpt(MO_AO_TS, FM_I1A, names);

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  const std::time_t before = std::time(nullptr);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {5}}}));
  const Text text = FaultText(kept);
  const std::time_t after = std::time(nullptr);
  ASSERT_EQ(text.lines.size(), 1U);
  const std::string& line = text.lines[0];
  EXPECT_TRUE(std::regex_match(line.substr(0, 19), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << line;
  const std::time_t shown = ParseLocal(line.substr(0, 19));
  EXPECT_GE(shown, before);
  EXPECT_LE(shown, after);
  EXPECT_EQ(line.substr(19), " AO TS3-1 I1A:5 RAISED");
  ASSERT_EQ(text.items.size(), 1U);
  EXPECT_EQ(text.items[0].moTypeText, "AO TS");
  EXPECT_EQ(text.items[0].mapTitle, "Internal Fault Map Class 1A");
  EXPECT_EQ(text.items[0].faultId, "I1A:5");
  EXPECT_EQ(text.items[0].faultName, "Timeslot sync lost");
}

TEST(FaultText, LinesFollowKindThenStatusOrder) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {2}}, {FM_RU, {0}}}));
  kept.UpdateFaultMap(Report(4, {{FM_I1B, {3, 1}}, {FM_RU, {1}}, {FM_EC1, {15}}, {FM_I1A, {0}}}));
  const Text text = FaultText(kept);
  std::vector<std::string> tails;
  for (const std::string& line : text.lines) tails.push_back(Tail(line));
  EXPECT_THAT(tails, ElementsAre("AO TS3-1 I1A:0 RAISED", "AO TS3-1 I1A:2 CEASED", "AO TS3-1 I1B:1 RAISED",
                                 "AO TS3-1 I1B:3 RAISED", "AO TS3-1 EC1:15 RAISED", "AO TS3-1 RU:1 RAISED",
                                 "AO TS3-1 RU:0 CEASED"));
  ASSERT_EQ(text.items.size(), 7U);
  EXPECT_EQ(text.items[1].faultId, "I1A:2");
  EXPECT_EQ(text.items[4].mapTitle, "External Condition Map Class 1");
  EXPECT_EQ(text.items[4].faultId, "EC1:15");
  EXPECT_EQ(text.items[6].mapTitle, "Replacement Unit Map");
  EXPECT_EQ(text.items[6].faultId, "RU:0");
}

TEST(FaultText, TitlesAndPrefixesOfEveryKind) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(
      Report(4, {{FM_I1A, {1}}, {FM_I1B, {1}}, {FM_I2A, {1}}, {FM_EC1, {1}}, {FM_EC2, {1}}, {FM_RU, {1}}}));
  const Text text = FaultText(kept);
  std::vector<std::string> titles, ids;
  for (const Item& item : text.items) {
    titles.push_back(item.mapTitle);
    ids.push_back(item.faultId);
  }
  EXPECT_THAT(titles,
              ElementsAre("Internal Fault Map Class 1A", "Internal Fault Map Class 1B", "Internal Fault Map Class 2A",
                          "External Condition Map Class 1", "External Condition Map Class 2", "Replacement Unit Map"));
  EXPECT_THAT(ids, ElementsAre("I1A:1", "I1B:1", "I2A:1", "EC1:1", "EC2:1", "RU:1"));
}

TEST(FaultText, RaisedCeasedRaisedAgainAndIdenticalReports) {
  ScopedTimeZone zone("UTC0");
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_EC2, {40}}}, 60));
  EXPECT_THAT(FaultText(kept).lines, ElementsAre("1990-01-01 00:01:00 AO TS3-1 EC2:40 RAISED"));
  bool fault = false;
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_TRUE(fault);

  kept.UpdateFaultMap(Report(7, {{FM_EC2, {40}}}, 120));
  EXPECT_FALSE(kept.IsChanged());
  EXPECT_THAT(FaultText(kept).lines, IsEmpty());

  kept.UpdateFaultMap(Report(7, {}, 180));
  EXPECT_TRUE(kept.IsChanged());
  EXPECT_THAT(FaultText(kept).lines, ElementsAre("1990-01-01 00:03:00 AO TS3-1 EC2:40 CEASED"));
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_FALSE(fault);

  kept.UpdateFaultMap(Report(7, {{FM_EC2, {40}}}, 240));
  EXPECT_THAT(FaultText(kept).lines, ElementsAre("1990-01-01 00:04:00 AO TS3-1 EC2:40 RAISED"));
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "ENABLED");
}

TEST(FaultText, GrowingAndShrinkingMapsInText) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I2A, {3}}}));
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {3, 120}}}));
  std::vector<std::string> tails;
  for (const std::string& line : FaultText(kept).lines) tails.push_back(Tail(line));
  EXPECT_THAT(tails, ElementsAre("AO TS3-1 I2A:120 RAISED"));

  kept.UpdateFaultMap(Report(2, {}));
  tails.clear();
  for (const std::string& line : FaultText(kept).lines) tails.push_back(Tail(line));
  EXPECT_THAT(tails, ElementsAre("AO TS3-1 I2A:3 CEASED"));  // 120 dropped with its octet
}

TEST(FaultText, UndecodedReportGivesTheCorruptLine) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I1A, {1}}}));
  ReportSpec shape;
  shape.blocks = {{0x33, 0x00, 0x00}};
  kept.UpdateFaultMap(Decode(shape.Build(), 2));
  const Text text = FaultText(kept);
  ASSERT_THAT(text.lines, ElementsAre("Corrupt data from Tolva"));
  EXPECT_EQ(text.items[0].moTypeText, "Unknown");
  EXPECT_EQ(text.items[0].mapTitle, "Unknown");
  EXPECT_EQ(text.items[0].faultId, "Unknown");
  EXPECT_EQ(text.items[0].faultName, "");
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "Corrupt data from Tolva (No MO state)");
}

TEST(FaultText, UnknownObjectClassGivesNothing) {
  ReportSpec shape;
  shape.moClass = 2;
  shape.blocks = {MapWith(FM_EC1, 3, {1})};
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Decode(shape.Build(), 2));
  ASSERT_TRUE(kept.IsChanged());
  EXPECT_THAT(FaultText(kept).lines, IsEmpty());
}

TEST(FaultText, OutputArraysAreAppendedTo) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_EC1, {0}}}));
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  lines.Add(CString("earlier"));
  items.Add(nullptr);
  kept.GetFaultMaps(lines, items);
  kept.GetFaultMaps(lines, items);
  ASSERT_EQ(lines.GetSize(), 3);
  EXPECT_EQ(lines[0], "earlier");
  EXPECT_EQ(Tail(lines[2].str()), "AO TS3-1 EC1:0 RAISED");
  ASSERT_EQ(items.GetSize(), 3);
  EXPECT_EQ(items[0], nullptr);
  EXPECT_NE(items[1], items[2]);
  delete items[1];
  delete items[2];
}

TEST(FaultText, WithoutNameTableTheNamesAreEmpty) {
  ASSERT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {0}}}));
  const Text text = FaultText(kept);
  ASSERT_EQ(text.items.size(), 1U);
  EXPECT_EQ(text.items[0].faultName, "");
  EXPECT_EQ(text.items[0].faultId, "I1A:0");
}

TEST(FaultText, NameTableEntriesOfOtherObjectTypesAreNotUsed) {
  ScopedNameTable table;
  CArray<CString, CString> names;
  names.Add(CString("transmitter name"));
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, names);
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {0}}, {FM_I1B, {0}}}));
  const Text text = FaultText(kept);
  ASSERT_EQ(text.items.size(), 2U);
  EXPECT_EQ(text.items[0].faultName, "");  // the timeslot row is empty

  ReportSpec tx;
  tx.moClass = 11;
  tx.moInstance = 1;
  tx.blocks = {MapWith(FM_I1A, 13, {0}), MapWith(FM_I1B, 13, {0})};
  CFaultMap keptTx(OMS_TOLVA_MON_DATATYPE_4);
  keptTx.UpdateFaultMap(Decode(tx.Build(), 4));
  const Text txText = FaultText(keptTx);
  ASSERT_EQ(txText.items.size(), 2U);
  EXPECT_EQ(txText.items[0].faultName, "transmitter name");
  EXPECT_EQ(txText.items[0].moTypeText, "AO TX");
  EXPECT_EQ(txText.items[1].faultName, "");  // I1B row
  EXPECT_EQ(Tail(txText.lines[0]), "AO TX-1 I1A:0 RAISED");
}

// --- the frame of the fault text ----------------------------------------------

TEST(FaultTextFrame, ScopesOfOneFaultLine) {
  ScopedNameTable table;
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_EC1, {1}}}));
  RecordingHost host;
  host.handlerExists = true;
  FaultText(kept);
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  EXPECT_THAT(scopes,
              ElementsAre("CFaultMap::GetFaultMaps(CArray& )", "CFaultMap::GetMO_Type()", "CFaultMap::GetMO_Id()",
                          "CFaultMap::GetMO_Type()", "CFaultMap::BuildFaultString()", "CTableOfMonitorRptInTxt::Get()",
                          "CFaultMap::GetMO_Id()", "CFaultMap::GetFaultNoList()",
                          "CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)"));
  // The object type's name comes from the conversion table with cabinet -2.
  const auto conversions = host.CallsNamed("ID_ToText");
  ASSERT_EQ(conversions.size(), 1U);
  EXPECT_EQ(conversions[0].text, "4");
  EXPECT_EQ(conversions[0].line, -2);
  EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
}

TEST(FaultTextFrame, PendingErrorAppendsNothing) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_EC1, {1}}}));
  RecordingHost host;
  host.handlerExists = true;
  host.errorStatus = 1;
  const Text text = FaultText(kept);
  EXPECT_THAT(text.lines, IsEmpty());
  EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
  EXPECT_THAT(host.CallsNamed("BuildString"), IsEmpty());
}

// A host on which an error turns up while the second item is made.
class FailingConversionHost : public RecordingHost {
 public:
  CString ID_ToText(int id, CabinetType cabinet) override {
    if (++m_conversions == 2) errorStatus = 1;
    return RecordingHost::ID_ToText(id, cabinet);
  }

 private:
  int m_conversions = 0;
};

TEST(FaultTextFrame, ErrorDuringTheLinesStopsWhereItStands) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {1, 2, 3}}, {FM_RU, {4}}}));
  FailingConversionHost host;
  host.handlerExists = true;
  const Text text = FaultText(kept);
  std::vector<std::string> tails;
  for (const std::string& line : text.lines) tails.push_back(Tail(line));
  EXPECT_THAT(tails, ElementsAre("AO TS3-1 I1A:1 RAISED"));
  EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());  // already pending
}

TEST(FaultTextFrame, ErrorWithoutHandlerIsIgnored) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_4);
  kept.UpdateFaultMap(Report(4, {{FM_I1A, {1, 2, 3}}}));
  FailingConversionHost host;  // no handler: the pending status is not acted on
  EXPECT_EQ(FaultText(kept).lines.size(), 3U);
}

// --- object id and state ---------------------------------------------------------

TEST(FaultMapObject, IdTextsOfEveryClass) {
  struct Row {
    int moClass;
    MO_Type type;
    const char* id;
  };
  const Row rows[] = {{1, MO_SO_TRXC, "SO TRXC-4"}, {3, MO_AO_TS, "AO TS4-6"},   {4, MO_AO_TF, "AO TF"},
                      {5, MO_AO_IS, "AO IS"},       {6, MO_AO_CON, "AO CON"},    {7, MO_AO_DP, "AO DP4"},
                      {8, MO_AO_MCTR, "AO MCTR-4"}, {10, MO_SO_CF, "SO CF"},     {11, MO_AO_TX, "AO TX-4"},
                      {12, MO_AO_RX, "AO RX-4"},    {0, MO_UNKNOWN, "Unknown"},  {2, MO_UNKNOWN, "Unknown"},
                      {9, MO_UNKNOWN, "Unknown"},   {13, MO_UNKNOWN, "Unknown"}, {-1, MO_UNKNOWN, "Unknown"},
                      {-128, MO_UNKNOWN, "Unknown"}};
  for (const Row& row : rows) {
    CFaultMap map;
    FaultMapAccess::SetMo(map, row.moClass, 4, 6, 0);
    EXPECT_EQ(FaultMapAccess::MoType(map), row.type) << row.moClass;
    EXPECT_EQ(FaultMapAccess::MoId(map), row.id) << row.moClass;
  }
  CFaultMap negative;
  FaultMapAccess::SetMo(negative, 3, -1, -128, 0);
  EXPECT_EQ(FaultMapAccess::MoId(negative), "AO TS-1--128");
  FaultMapAccess::SetMo(negative, 11, 200, 0, 0);  // octet 200 reads as -56
  EXPECT_EQ(FaultMapAccess::MoId(negative), "AO TX--56");
}

TEST(FaultMapObject, StateTexts) {
  const char* expected[] = {"RESET", "STARTED", "ENABLED", "DISABLED"};
  for (int state = 0; state < 4; ++state) {
    ReportSpec shape;
    shape.moState = static_cast<uint8_t>(state);
    CString text("old");
    EXPECT_EQ(Decode(shape.Build(), 2).GetMO_State(text), SR_OK);
    EXPECT_EQ(text, expected[state]);
  }
  for (const int state : {4, 7, 0x80, 0xFF}) {
    ReportSpec shape;
    shape.moState = static_cast<uint8_t>(state);
    CString text;
    EXPECT_EQ(Decode(shape.Build(), 2).GetMO_State(text), SR_OK);
    EXPECT_EQ(text, "Corrupt data from Tolva (Invalid MO state)") << state;
  }
  CString text;
  EXPECT_EQ(CFaultMap().GetMO_State(text), SR_OK);
  EXPECT_EQ(text, "Corrupt data from Tolva (No MO state)");
}

// --- time texts under several time zones -------------------------------------

class FaultTimeText : public ::testing::TestWithParam<const char*> {
 protected:
  FaultTimeText() : m_zone(GetParam()) {}

  // The local text of 1 January 1990 00:00:00 plus `seconds`, worked out
  // from the zone's own rules: the epoch is taken with the daylight-saving
  // flag of this moment, so in summer it lies an hour earlier.
  static std::string Expected(long long seconds) {
    std::tm start{};
    start.tm_year = 90;
    start.tm_mday = 1;
    start.tm_isdst = DaylightSavingNow() ? 1 : 0;
    const std::time_t time = std::mktime(&start) + static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
  }

 private:
  ScopedTimeZone m_zone;
};

TEST_P(FaultTimeText, ReportTimeWhenThereAreNoEntries) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  const uint32_t time = 86400U + 3600U + 61U;
  kept.UpdateFaultMap(Report(7, {{FM_I1A, {1}}, {FM_EC1, {2}}}, time));
  const Text text = FaultText(kept);
  ASSERT_EQ(text.lines.size(), 2U);
  EXPECT_EQ(text.lines[0], Expected(time) + " AO TS3-1 I1A:1 RAISED");
  EXPECT_EQ(text.lines[1], Expected(time) + " AO TS3-1 EC1:2 RAISED");
}

TEST_P(FaultTimeText, OwnEntryElseBlank) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_5);
  const std::vector<Stamp> stamps = {{FM_EC1, 1, 999},  // another kind, same number
                                     {FM_I1A, 1, 1000},
                                     {FM_I1A, 1, 5000}};  // a later duplicate is not used
  kept.UpdateFaultMap(Report(5, {{FM_I1A, {1, 2}}}, 777, stamps));
  const Text text = FaultText(kept);
  ASSERT_EQ(text.lines.size(), 2U);
  EXPECT_EQ(text.lines[0], Expected(1000) + " AO TS3-1 I1A:1 RAISED");
  EXPECT_EQ(text.lines[1], kBlank + " AO TS3-1 I1A:2 RAISED");
  EXPECT_EQ(text.lines[1].find_first_not_of(' '), 20U);
}

TEST_P(FaultTimeText, WholeRangeOfSeconds) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_RU, {0}}}, 0xFFFFFFFFU));
  const Text text = FaultText(kept);
  ASSERT_EQ(text.lines.size(), 1U);
  EXPECT_EQ(text.lines[0].substr(0, 19), Expected(0xFFFFFFFFLL));
  EXPECT_EQ(text.lines[0].substr(0, 4), "2126");
}

// Whether 1 January and 1 July are in summer time in each zone of the suite.
struct ZoneSummer {
  const char* zone;
  int january;
  int july;
};
const ZoneSummer kZoneSummers[] = {
    {"UTC0", 0, 0}, {"JST-9", 0, 0}, {"CET-1CEST,M3.5.0,M10.5.0/3", 0, 1}, {"AEST-10AEDT,M10.1.0,M4.1.0/3", 1, 0}};

TEST_P(FaultTimeText, EpochFollowsTheDaylightSavingFlagOfNow) {
  int januarySummer = 0;
  int julySummer = 0;
  for (const ZoneSummer& row : kZoneSummers) {
    if (std::string(row.zone) == GetParam()) {
      januarySummer = row.january;
      julySummer = row.july;
    }
  }
  const int now = DaylightSavingNow() ? 1 : 0;
  // Taken with the flag of now, the epoch is (now - januarySummer) hours
  // early; the same seconds land (julySummer - now) hours off on 1 July.
  const char* januaryTexts[] = {"1990-01-01 01:00:00", "1990-01-01 00:00:00", "1989-12-31 23:00:00"};
  const char* julyTexts[] = {"1990-06-30 23:00:00", "1990-07-01 00:00:00", "1990-07-01 01:00:00"};

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {0}}}, 0));
  EXPECT_EQ(FaultText(kept).lines.at(0).substr(0, 19), januaryTexts[now - januarySummer + 1]);

  CFaultMap july(OMS_TOLVA_MON_DATATYPE_7);
  july.UpdateFaultMap(Report(7, {{FM_I2A, {0}}}, 181U * 86400U));
  EXPECT_EQ(FaultText(july).lines.at(0).substr(0, 19), julyTexts[julySummer - now + 1]);
}

INSTANTIATE_TEST_SUITE_P(Zones, FaultTimeText,
                         ::testing::Values("UTC0", "JST-9", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "AEST-10AEDT,M10.1.0,M4.1.0/3"));

// A zone whose summer time is in force now but neither on 1 January nor on
// 1 July: the epoch lies an hour early whatever the season of the run.
TEST(FaultTimeTextSummerNow, EpochTakesTheFlagOfNowNotOfJanuary) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const int day = utc.tm_yday;  // zero-based, as the zone rule counts
  if (day <= 1 || (day >= 179 && day <= 183) || day >= 364) GTEST_SKIP() << "window would touch 1 Jan or 1 Jul";
  const std::string zone = "XST0XDT," + std::to_string(day - 1) + "/0," + std::to_string(day + 2) + "/0";
  ScopedTimeZone scoped(zone.c_str());
  ASSERT_TRUE(DaylightSavingNow()) << zone;

  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {0}}}, 0));
  EXPECT_EQ(FaultText(kept).lines.at(0).substr(0, 19), "1989-12-31 23:00:00");
  CFaultMap july(OMS_TOLVA_MON_DATATYPE_7);
  july.UpdateFaultMap(Report(7, {{FM_I2A, {0}}}, 181U * 86400U));
  EXPECT_EQ(FaultText(july).lines.at(0).substr(0, 19), "1990-06-30 23:00:00");
}

TEST(FaultTimeTextConversion, OutOfRangeDatesAreInvalid) {
  ScopedTimeZone zone("UTC0");
  using pelix::faultmap::LocalTimeText;
  EXPECT_EQ(LocalTimeText(253402300799LL), "9999-12-31 23:59:59");
  EXPECT_EQ(LocalTimeText(253402300800LL), "Invalid DateTime");  // year 10000
  EXPECT_EQ(LocalTimeText(-59011459201LL), "Invalid DateTime");  // year 99
  EXPECT_EQ(LocalTimeText(0), "1970-01-01 00:00:00");
  EXPECT_EQ(LocalTimeText(0).GetLength(), 19);
}

}  // namespace
