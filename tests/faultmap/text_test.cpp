// The fault text of a kept map: lines, items, time texts, object ids and
// state texts, driven the way the terminal drives them.

#include <ctime>

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

CFaultMap Kept(int dataType, const Strings& reports, uint32_t time = 0, const std::vector<Stamp>& stamps = {}) {
  CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(dataType));
  for (const std::string& faults : reports) kept.UpdateFaultMap(Report(dataType, faults, 2, time, stamps));
  return kept;
}

TEST(FaultText, DataType4CarriesTheCurrentTimeAndTheObjectTypesNames) {
  Text text = FaultText(Kept(4, {"I1A:0"}));
  EXPECT_EQ(Join(text.items), "AO TS|Internal Fault Map Class 1A|I1A:0|");  // no name table at all
  ScopedNameTable table;
  table.Store(MO_AO_TS, FM_I1A, {"a", "b", "c", "d", "e", "Timeslot sync lost"});
  table.Store(MO_AO_TX, FM_I1A, {"transmitter name"});
  const std::string before = LocalText(std::time(nullptr));
  text = FaultText(Kept(4, {"I1A:5 I1B:0"}));
  const std::string after = LocalText(std::time(nullptr));
  ASSERT_EQ(text.lines.size(), 2U);
  EXPECT_GE(text.lines[0].substr(0, 19), before);  // texts of one width compare as the times they show
  EXPECT_LE(text.lines[0].substr(0, 19), after);
  EXPECT_EQ(text.lines[0].substr(19), " AO TS3-1 I1A:5 RAISED");
  EXPECT_EQ(Join(text.items, "/"),
            "AO TS|Internal Fault Map Class 1A|I1A:5|Timeslot sync lost/"
            "AO TS|Internal Fault Map Class 1B|I1B:0|");
  CFaultMap tx(OMS_TOLVA_MON_DATATYPE_4);
  tx.UpdateFaultMap(Decode(Rpt({Block(FM_I1A, 13, {0}), Block(FM_I1B, 13, {0})}, -1, {}, {11, 1, 1, 2}), 4));
  text = FaultText(tx);
  EXPECT_EQ(text.Tails(), "AO TX-1 I1A:0 RAISED|AO TX-1 I1B:0 RAISED");
  EXPECT_EQ(Join(text.items, "/"),
            "AO TX|Internal Fault Map Class 1A|I1A:0|transmitter name/"
            "AO TX|Internal Fault Map Class 1B|I1B:0|");
}

TEST(FaultText, LinesFollowKindThenStatusOrderWithTheKindsTitles) {
  const Text text = FaultText(Kept(4, {"I1A:2 RU:0", "I1B:3,1 RU:1 EC1:15 I1A:0 I2A:1 EC2:1"}));
  EXPECT_EQ(text.Tails(),
            "AO TS3-1 I1A:0 RAISED|AO TS3-1 I1A:2 CEASED|AO TS3-1 I1B:1 RAISED|AO TS3-1 I1B:3 RAISED|"
            "AO TS3-1 I2A:1 RAISED|AO TS3-1 EC1:15 RAISED|AO TS3-1 EC2:1 RAISED|AO TS3-1 RU:1 RAISED|"
            "AO TS3-1 RU:0 CEASED");
  std::string titles;
  for (const std::string& item : text.items) titles += item.substr(6, item.find('|', 6) - 6) + "/";
  EXPECT_EQ(titles,
            "Internal Fault Map Class 1A/Internal Fault Map Class 1A/Internal Fault Map Class 1B/"
            "Internal Fault Map Class 1B/Internal Fault Map Class 2A/External Condition Map Class 1/"
            "External Condition Map Class 2/Replacement Unit Map/Replacement Unit Map/");
}

TEST(FaultText, UndecodedReportGivesTheCorruptLineAnUnknownObjectNothing) {
  CFaultMap kept = Kept(2, {"I1A:1"});
  kept.UpdateFaultMap(Decode(Rpt({{0x33, 0x00, 0x00}}), 2));
  const Text text = FaultText(kept);
  EXPECT_EQ(Join(text.lines), "Corrupt data from Tolva");
  EXPECT_EQ(Join(text.items), "Unknown|Unknown|Unknown|");
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "Corrupt data from Tolva (No MO state)");

  CFaultMap other(OMS_TOLVA_MON_DATATYPE_2);
  other.UpdateFaultMap(Decode(Rpt({Block(FM_EC1, 3, {1})}, -1, {}, {2, 3, 1, 2}), 2));
  ASSERT_TRUE(other.IsChanged());
  EXPECT_TRUE(FaultText(other).lines.empty());
}

TEST(FaultText, OutputArraysAreAppendedTo) {
  const CFaultMap kept = Kept(4, {"EC1:0"});
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  lines.Add(CString("earlier"));
  items.Add(nullptr);
  kept.GetFaultMaps(lines, items);
  kept.GetFaultMaps(lines, items);
  ASSERT_EQ(lines.GetSize() + items.GetSize(), 6);
  EXPECT_EQ(lines[0], "earlier");
  EXPECT_EQ(lines[2].str().substr(19), " AO TS3-1 EC1:0 RAISED");
  EXPECT_EQ(items[0], nullptr);
  EXPECT_NE(items[1], items[2]);
  delete items[1];
  delete items[2];
}

// --- the frame of the fault text ----------------------------------------------

// A host on which an error turns up while the second item is made.
struct FailingConversionHost : HandlerHost {
  CString ID_ToText(int id, CabinetType cabinet) override {
    if (CallsNamed("ID_ToText").size() == 1) errorStatus = 1;
    return RecordingHost::ID_ToText(id, cabinet);
  }
};

TEST(FaultTextFrame, ScopesOfOneFaultLineAndErrors) {
  ScopedNameTable table;
  CFaultMap kept = Kept(4, {"EC1:1"});
  {
    HandlerHost host;
    FaultText(kept);
    EXPECT_EQ(host.Scopes(),
              "CFaultMap::GetFaultMaps(CArray& )|CFaultMap::GetMO_Type()|CFaultMap::GetMO_Id()|"
              "CFaultMap::GetMO_Type()|CFaultMap::BuildFaultString()|CTableOfMonitorRptInTxt::Get()|"
              "CFaultMap::GetMO_Id()|CFaultMap::GetFaultNoList()|"
              "CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)");
    // The object type's name comes from the conversion table with cabinet -2.
    ASSERT_EQ(host.CallsNamed("ID_ToText").size(), 1U);
    EXPECT_EQ(host.CallsNamed("ID_ToText")[0].text + " " + std::to_string(host.CallsNamed("ID_ToText")[0].line),
              "4 -2");
    host.errorStatus = 1;  // pending: nothing appended
    EXPECT_TRUE(FaultText(kept).lines.empty());
    EXPECT_TRUE(host.CallsNamed("RaiseError").empty() && host.CallsNamed("BuildString").empty());
  }
  // An error during the lines stops where it stands, unless there is no handler.
  kept = Kept(4, {"I1A:1,2,3 RU:4"});
  for (const bool handler : {true, false}) {
    FailingConversionHost host;
    host.handlerExists = handler;
    const std::string all = "AO TS3-1 I1A:1 RAISED|AO TS3-1 I1A:2 RAISED|AO TS3-1 I1A:3 RAISED|AO TS3-1 RU:4 RAISED";
    EXPECT_EQ(FaultText(kept).Tails(), handler ? all.substr(0, 21) : all);
    EXPECT_TRUE(host.CallsNamed("RaiseError").empty());  // already pending
  }
}

// --- object id and state ---------------------------------------------------------

TEST(FaultMapObject, IdAndTypeOfEveryClass) {
  const std::pair<int, const char*> rows[] = {
      {1, "1 SO TRXC-4"}, {3, "4 AO TS4-6"},  {4, "5 AO TF"},    {5, "6 AO IS"},     {6, "8 AO CON"},
      {7, "7 AO DP4"},    {8, "9 AO MCTR-4"}, {10, "0 SO CF"},   {11, "2 AO TX-4"},  {12, "3 AO RX-4"},
      {0, "10 Unknown"},  {2, "10 Unknown"},  {9, "10 Unknown"}, {13, "10 Unknown"}, {-1, "10 Unknown"}};
  CFaultMap map;
  for (const auto& [moClass, seen] : rows) {
    FaultMapAccess::SetMo(map, moClass, 4, 6);
    EXPECT_EQ(FaultMapAccess::MoId(map), seen) << moClass;
  }
  FaultMapAccess::SetMo(map, 3, -1, -128);
  EXPECT_EQ(FaultMapAccess::MoId(map), "4 AO TS-1--128");
  FaultMapAccess::SetMo(map, 11, 200, 0);  // octet 200 reads as -56
  EXPECT_EQ(FaultMapAccess::MoId(map), "2 AO TX--56");
}

TEST(FaultMapObject, StateTexts) {
  const char* invalid = "Corrupt data from Tolva (Invalid MO state)";
  const std::pair<char, const char*> rows[] = {{0, "RESET"}, {1, "STARTED"}, {2, "ENABLED"},    {3, "DISABLED"},
                                               {4, invalid}, {7, invalid},   {'\x80', invalid}, {'\xFF', invalid}};
  for (const auto& [state, expected] : rows) {
    CString text("old");
    EXPECT_EQ(Decode(Rpt({}, -1, {}, {3, 3, 1, state}), 2).GetMO_State(text), SR_OK);
    EXPECT_EQ(text, expected) << int(state);
  }
}

// --- time texts under several time zones -------------------------------------

bool DaylightSavingNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  return localtime_r(&now, &local) != nullptr && local.tm_isdst > 0;
}

// Lines of a kept map of data type 7 or 5 take the report time when the
// report has no entries, else the fault's own entry, else a blank.
TEST(FaultTimeText, ReportTimeOwnEntryOrBlank) {
  ScopedTimeZone zone("UTC0");
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  const std::pair<const char*, const char*> steps[] = {
      {"EC2:40 I1A:1", "1990-01-01 00:01:00 AO TS3-1 I1A:1 RAISED|1990-01-01 00:01:00 AO TS3-1 EC2:40 RAISED"},
      {"EC2:40 I1A:1", ""},
      {"I1A:1", "1990-01-01 00:03:00 AO TS3-1 EC2:40 CEASED"},
      {"EC2:40 I1A:1", "1990-01-01 00:04:00 AO TS3-1 EC2:40 RAISED"}};
  uint32_t minutes = 0;
  for (const auto& [faults, line] : steps) {
    kept.UpdateFaultMap(Report(7, faults, 2, 60 * ++minutes));
    EXPECT_EQ(Join(FaultText(kept).lines), line);
  }
  kept.UpdateFaultMap(Report(7, "", 2, 0xFFFFFFFF));
  EXPECT_EQ(Join(FaultText(kept).lines),
            "2126-02-07 06:28:15 AO TS3-1 I1A:1 CEASED|2126-02-07 06:28:15 AO TS3-1 EC2:40 CEASED");
  const std::vector<Stamp> stamps = {{FM_EC1, 1, 999}, {FM_I1A, 1, 1000}, {FM_I1A, 1, 5000}};  // other kind, duplicate
  EXPECT_EQ(Join(FaultText(Kept(5, {"I1A:1,2"}, 777, stamps)).lines),
            "1990-01-01 00:16:40 AO TS3-1 I1A:1 RAISED|" + std::string(19, ' ') + " AO TS3-1 I1A:2 RAISED");
}

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
  EXPECT_EQ(FaultText(Kept(7, {"I2A:0"}, 0)).lines.at(0).substr(0, 19), "1989-12-31 23:00:00");
  EXPECT_EQ(FaultText(Kept(7, {"I2A:0"}, 181U * 86400U)).lines.at(0).substr(0, 19), "1990-06-30 23:00:00");
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
