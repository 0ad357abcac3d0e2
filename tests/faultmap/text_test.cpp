// The fault text of a kept map: lines, items, time texts, object ids and
// state texts, driven the way the terminal drives them.

#include <ctime>
#include <tuple>

#include "faultmap/time_text.h"
#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

// "YYYY-MM-DD HH:MM:SS" of a local time, made independently of the library.
std::string LocalText(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

CFaultMap Kept(int dataType, const std::vector<Faults>& reports, uint32_t reportTime = 0,
               const std::vector<Stamp>& stamps = {}) {
  CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(dataType));
  for (const Faults& faults : reports) kept.UpdateFaultMap(Report(dataType, faults, reportTime, stamps));
  return kept;
}

TEST(FaultText, TimeslotFaultUnderDataType4CarriesTheCurrentTime) {
  ScopedNameTable table;
  auto names = Names({"a", "b", "c", "d", "e", "Timeslot sync lost"});
  table->StoreMonitorRpt(MO_AO_TS, FM_I1A, names);
  const std::string before = LocalText(std::time(nullptr));
  const Text text = FaultText(Kept(4, {{{FM_I1A, {5}}}}));
  const std::string after = LocalText(std::time(nullptr));
  ASSERT_EQ(text.lines.size(), 1U);
  const std::string& line = text.lines[0];
  EXPECT_GE(line.substr(0, 19), before);  // texts of one width compare as the times they show
  EXPECT_LE(line.substr(0, 19), after);
  EXPECT_EQ(line.substr(19), " AO TS3-1 I1A:5 RAISED");
  EXPECT_THAT(text.types, ElementsAre("AO TS"));
  EXPECT_THAT(text.titles, ElementsAre("Internal Fault Map Class 1A"));
  EXPECT_THAT(text.ids, ElementsAre("I1A:5"));
  EXPECT_THAT(text.names, ElementsAre("Timeslot sync lost"));
}

TEST(FaultText, LinesFollowKindThenStatusOrderWithTheKindsTitlesAndPrefixes) {
  const Text text = FaultText(
      Kept(4, {{{FM_I1A, {2}}, {FM_RU, {0}}},
               {{FM_I1B, {3, 1}}, {FM_RU, {1}}, {FM_EC1, {15}}, {FM_I1A, {0}}, {FM_I2A, {1}}, {FM_EC2, {1}}}}));
  EXPECT_THAT(text.Tails(), ElementsAre("AO TS3-1 I1A:0 RAISED", "AO TS3-1 I1A:2 CEASED", "AO TS3-1 I1B:1 RAISED",
                                        "AO TS3-1 I1B:3 RAISED", "AO TS3-1 I2A:1 RAISED", "AO TS3-1 EC1:15 RAISED",
                                        "AO TS3-1 EC2:1 RAISED", "AO TS3-1 RU:1 RAISED", "AO TS3-1 RU:0 CEASED"));
  const char* i1a = "Internal Fault Map Class 1A";
  const char* i1b = "Internal Fault Map Class 1B";
  const char* ru = "Replacement Unit Map";
  EXPECT_THAT(text.titles, ElementsAre(i1a, i1a, i1b, i1b, "Internal Fault Map Class 2A",
                                       "External Condition Map Class 1", "External Condition Map Class 2", ru, ru));
  EXPECT_THAT(text.ids, ElementsAre("I1A:0", "I1A:2", "I1B:1", "I1B:3", "I2A:1", "EC1:15", "EC2:1", "RU:1", "RU:0"));
}

TEST(FaultText, RaisedCeasedRaisedAgainAndIdenticalReports) {
  ScopedTimeZone zone("UTC0");
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  const std::pair<Faults, const char*> steps[] = {{{{FM_EC2, {40}}}, "1990-01-01 00:01:00 AO TS3-1 EC2:40 RAISED"},
                                                  {{{FM_EC2, {40}}}, nullptr},
                                                  {{}, "1990-01-01 00:03:00 AO TS3-1 EC2:40 CEASED"},
                                                  {{{FM_EC2, {40}}}, "1990-01-01 00:04:00 AO TS3-1 EC2:40 RAISED"}};
  uint32_t minutes = 0;
  for (const auto& [faults, line] : steps) {
    kept.UpdateFaultMap(Report(7, faults, 60 * ++minutes));
    EXPECT_EQ(kept.IsChanged(), line != nullptr);
    EXPECT_EQ(FaultText(kept).lines, line != nullptr ? Strings{line} : Strings{});
    bool fault = faults.empty();
    EXPECT_EQ(kept.IsFault(fault), SR_OK);
    EXPECT_EQ(fault, !faults.empty());
  }
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "ENABLED");
}

TEST(FaultText, GrowingAndShrinkingMapsInText) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I2A, {3}}}));
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {3, 120}}}));
  EXPECT_THAT(FaultText(kept).Tails(), ElementsAre("AO TS3-1 I2A:120 RAISED"));
  kept.UpdateFaultMap(Report(2, {}));
  EXPECT_THAT(FaultText(kept).Tails(), ElementsAre("AO TS3-1 I2A:3 CEASED"));  // 120 dropped with its octet
}

TEST(FaultText, UndecodedReportGivesTheCorruptLineUnknownObjectNothing) {
  CFaultMap kept = Kept(2, {{{FM_I1A, {1}}}});
  kept.UpdateFaultMap(Decode(ReportShape{{{0x33, 0x00, 0x00}}}.Build(), 2));
  const Text text = FaultText(kept);
  ASSERT_THAT(text.lines, ElementsAre("Corrupt data from Tolva"));
  EXPECT_THAT(text.types, ElementsAre("Unknown"));
  EXPECT_THAT(text.titles, ElementsAre("Unknown"));
  EXPECT_THAT(text.ids, ElementsAre("Unknown"));
  EXPECT_THAT(text.names, ElementsAre(""));
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "Corrupt data from Tolva (No MO state)");

  CFaultMap other(OMS_TOLVA_MON_DATATYPE_2);
  other.UpdateFaultMap(Decode(ReportShape{{MapWith(FM_EC1, 3, {1})}}.Mo(2, 3, 1, 2).Build(), 2));
  ASSERT_TRUE(other.IsChanged());
  EXPECT_THAT(FaultText(other).lines, IsEmpty());
}

TEST(FaultText, OutputArraysAreAppendedTo) {
  const CFaultMap kept = Kept(4, {{{FM_EC1, {0}}}});
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  lines.Add(CString("earlier"));
  items.Add(nullptr);
  kept.GetFaultMaps(lines, items);
  kept.GetFaultMaps(lines, items);
  ASSERT_EQ(lines.GetSize(), 3);
  EXPECT_EQ(lines[0], "earlier");
  EXPECT_EQ(lines[2].str().substr(19), " AO TS3-1 EC1:0 RAISED");
  ASSERT_EQ(items.GetSize(), 3);
  EXPECT_EQ(items[0], nullptr);
  EXPECT_NE(items[1], items[2]);
  delete items[1];
  delete items[2];
}

TEST(FaultText, NamesComeOnlyFromTheObjectTypesRow) {
  ASSERT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  Text text = FaultText(Kept(4, {{{FM_I1A, {0}}}}));
  EXPECT_THAT(text.names, ElementsAre(""));  // no table at all
  EXPECT_THAT(text.ids, ElementsAre("I1A:0"));

  ScopedNameTable table;
  auto names = Names({"transmitter name"});
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, names);
  EXPECT_THAT(FaultText(Kept(4, {{{FM_I1A, {0}}, {FM_I1B, {0}}}})).names, ElementsAre("", ""));  // timeslot row

  CFaultMap keptTx(OMS_TOLVA_MON_DATATYPE_4);
  keptTx.UpdateFaultMap(
      Decode(ReportShape{{MapWith(FM_I1A, 13, {0}), MapWith(FM_I1B, 13, {0})}}.Mo(11, 1, 1, 2).Build(), 4));
  text = FaultText(keptTx);
  EXPECT_THAT(text.names, ElementsAre("transmitter name", ""));  // I1B row empty
  EXPECT_THAT(text.types, ElementsAre("AO TX", "AO TX"));
  EXPECT_THAT(text.Tails(), ElementsAre("AO TX-1 I1A:0 RAISED", "AO TX-1 I1B:0 RAISED"));
}

// --- the frame of the fault text ----------------------------------------------

TEST(FaultTextFrame, ScopesOfOneFaultLine) {
  ScopedNameTable table;
  const CFaultMap kept = Kept(4, {{{FM_EC1, {1}}}});
  HandlerHost host;
  FaultText(kept);
  EXPECT_THAT(Scopes(host),
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
  const CFaultMap kept = Kept(4, {{{FM_EC1, {1}}}});
  HandlerHost host;
  host.errorStatus = 1;
  EXPECT_THAT(FaultText(kept).lines, IsEmpty());
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

TEST(FaultTextFrame, ErrorDuringTheLinesStopsWhereItStandsUnlessThereIsNoHandler) {
  const CFaultMap kept = Kept(4, {{{FM_I1A, {1, 2, 3}}, {FM_RU, {4}}}});
  for (const bool handler : {true, false}) {
    FailingConversionHost host;
    host.handlerExists = handler;  // without a handler the pending status is not acted on
    const Strings all = {"AO TS3-1 I1A:1 RAISED", "AO TS3-1 I1A:2 RAISED", "AO TS3-1 I1A:3 RAISED",
                         "AO TS3-1 RU:4 RAISED"};
    EXPECT_EQ(FaultText(kept).Tails(), handler ? Strings(all.begin(), all.begin() + 1) : all);
    EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());  // already pending
  }
}

// --- object id and state ---------------------------------------------------------

TEST(FaultMapObject, IdTextsOfEveryClass) {
  const std::tuple<int, MO_Type, const char*> rows[] = {
      {1, MO_SO_TRXC, "SO TRXC-4"}, {3, MO_AO_TS, "AO TS4-6"},   {4, MO_AO_TF, "AO TF"},
      {5, MO_AO_IS, "AO IS"},       {6, MO_AO_CON, "AO CON"},    {7, MO_AO_DP, "AO DP4"},
      {8, MO_AO_MCTR, "AO MCTR-4"}, {10, MO_SO_CF, "SO CF"},     {11, MO_AO_TX, "AO TX-4"},
      {12, MO_AO_RX, "AO RX-4"},    {0, MO_UNKNOWN, "Unknown"},  {2, MO_UNKNOWN, "Unknown"},
      {9, MO_UNKNOWN, "Unknown"},   {13, MO_UNKNOWN, "Unknown"}, {-1, MO_UNKNOWN, "Unknown"},
      {-128, MO_UNKNOWN, "Unknown"}};
  CFaultMap map;
  for (const auto& [moClass, type, id] : rows) {
    FaultMapAccess::SetMo(map, moClass, 4, 6);
    EXPECT_EQ(FaultMapAccess::MoType(map), type) << moClass;
    EXPECT_EQ(FaultMapAccess::MoId(map), id) << moClass;
  }
  FaultMapAccess::SetMo(map, 3, -1, -128);
  EXPECT_EQ(FaultMapAccess::MoId(map), "AO TS-1--128");
  FaultMapAccess::SetMo(map, 11, 200, 0);  // octet 200 reads as -56
  EXPECT_EQ(FaultMapAccess::MoId(map), "AO TX--56");
}

TEST(FaultMapObject, StateTexts) {
  const char* invalid = "Corrupt data from Tolva (Invalid MO state)";
  const std::pair<int, const char*> rows[] = {{0, "RESET"}, {1, "STARTED"}, {2, "ENABLED"},  {3, "DISABLED"},
                                              {4, invalid}, {7, invalid},   {0x80, invalid}, {0xFF, invalid}};
  for (const auto& [state, expected] : rows) {
    CString text("old");
    EXPECT_EQ(Decode(ReportShape{}.Mo(3, 3, 1, state).Build(), 2).GetMO_State(text), SR_OK);
    EXPECT_EQ(text, expected) << state;
  }
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
    return LocalText(std::mktime(&start) + static_cast<std::time_t>(seconds));
  }

 private:
  ScopedTimeZone m_zone;
};

TEST_P(FaultTimeText, ReportTimeWhenThereAreNoEntriesElseTheOwnEntryElseBlank) {
  for (const uint32_t time : {86400U + 3600U + 61U, 0xFFFFFFFFU}) {
    const Text text = FaultText(Kept(7, {{{FM_I1A, {1}}, {FM_EC1, {2}}}}, time));
    EXPECT_THAT(text.lines,
                ElementsAre(Expected(time) + " AO TS3-1 I1A:1 RAISED", Expected(time) + " AO TS3-1 EC1:2 RAISED"));
    EXPECT_EQ(text.lines.at(0).substr(0, 4), time == 0xFFFFFFFFU ? "2126" : "1990");
  }
  const std::vector<Stamp> stamps = {{FM_EC1, 1, 999},  // another kind, same number
                                     {FM_I1A, 1, 1000},
                                     {FM_I1A, 1, 5000}};  // a later duplicate is not used
  EXPECT_THAT(FaultText(Kept(5, {{{FM_I1A, {1, 2}}}}, 777, stamps)).lines,
              ElementsAre(Expected(1000) + " AO TS3-1 I1A:1 RAISED", std::string(19, ' ') + " AO TS3-1 I1A:2 RAISED"));
}

TEST_P(FaultTimeText, EpochFollowsTheDaylightSavingFlagOfNow) {
  // Whether 1 January and 1 July are in summer time in each zone of the suite.
  const std::tuple<std::string, int, int> summers[] = {
      {"UTC0", 0, 0}, {"JST-9", 0, 0}, {"CET-1CEST,M3.5.0,M10.5.0/3", 0, 1}, {"AEST-10AEDT,M10.1.0,M4.1.0/3", 1, 0}};
  int januarySummer = -9, julySummer = -9;
  for (const auto& [zone, january, july] : summers) {
    if (zone == GetParam()) std::tie(januarySummer, julySummer) = std::tie(january, july);
  }
  ASSERT_NE(januarySummer, -9);
  const int now = DaylightSavingNow() ? 1 : 0;
  // Taken with the flag of now, the epoch is (now - januarySummer) hours
  // early; the same seconds land (julySummer - now) hours off on 1 July.
  const char* januaryTexts[] = {"1990-01-01 01:00:00", "1990-01-01 00:00:00", "1989-12-31 23:00:00"};
  const char* julyTexts[] = {"1990-06-30 23:00:00", "1990-07-01 00:00:00", "1990-07-01 01:00:00"};
  EXPECT_EQ(FaultText(Kept(7, {{{FM_I2A, {0}}}}, 0)).lines.at(0).substr(0, 19), januaryTexts[now - januarySummer + 1]);
  EXPECT_EQ(FaultText(Kept(7, {{{FM_I2A, {0}}}}, 181U * 86400U)).lines.at(0).substr(0, 19),
            julyTexts[julySummer - now + 1]);
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
  EXPECT_EQ(FaultText(Kept(7, {{{FM_I2A, {0}}}}, 0)).lines.at(0).substr(0, 19), "1989-12-31 23:00:00");
  EXPECT_EQ(FaultText(Kept(7, {{{FM_I2A, {0}}}}, 181U * 86400U)).lines.at(0).substr(0, 19), "1990-06-30 23:00:00");
}

TEST(FaultTimeTextConversion, OutOfRangeDatesAreInvalid) {
  ScopedTimeZone zone("UTC0");
  using pelix::faultmap::LocalTimeText;
  EXPECT_EQ(LocalTimeText(253402300799LL), "9999-12-31 23:59:59");
  EXPECT_EQ(LocalTimeText(253402300800LL), "Invalid DateTime");  // year 10000
  EXPECT_EQ(LocalTimeText(-59011459201LL), "Invalid DateTime");  // year 99
  EXPECT_EQ(LocalTimeText(0), "1970-01-01 00:00:00");
}

}  // namespace
}  // namespace pelix::test
