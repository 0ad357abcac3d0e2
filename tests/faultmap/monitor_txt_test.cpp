// The process-wide fault name table.

#include <tuple>

#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

CString Name(const ScopedNameTable& table, int moType, int kind, int faultNo) {
  return table->TranslateHexToTxt(static_cast<MO_Type>(moType), static_cast<FaultMapType>(kind),
                                  static_cast<BYTE>(faultNo));
}

TEST(FaultNameTable, CreateGetDeleteCreate) {
  ASSERT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  CTableOfMonitorRptInTxt* first = CTableOfMonitorRptInTxt::Create();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(CTableOfMonitorRptInTxt::Create(), first);
  EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), first);
  auto names = Names({"kept"});
  first->StoreMonitorRpt(MO_SO_CF, FM_RU, names);
  delete first;
  EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  // A new table starts empty again.
  CTableOfMonitorRptInTxt* second = CTableOfMonitorRptInTxt::Create();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->TranslateHexToTxt(MO_SO_CF, FM_RU, static_cast<BYTE>(0)), "");
  delete second;
  EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
}

TEST(FaultNameTable, StoreOverwritesOnlyItsOwnPositions) {
  ScopedNameTable table;
  auto first = Names({"w", "x", "y", "z"});
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, first);
  auto second = Names({"A", "", "C"});
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, second);
  Strings row;
  for (int i = 0; i < 5; ++i) row.push_back(Name(table, MO_AO_TX, FM_I1A, i).str());
  EXPECT_THAT(row, ElementsAre("A", "Unknown", "C", "z", ""));
  // Other rows are untouched, and so is the caller's list.
  EXPECT_EQ(Name(table, MO_AO_RX, FM_I1A, 0), "");
  EXPECT_EQ(Name(table, MO_AO_TX, FM_I1B, 0), "");
  EXPECT_EQ(second[1], "");
}

TEST(FaultNameTable, EveryRowIsItsOwn) {
  ScopedNameTable table;
  const auto row = [](int t, int k) { return std::to_string(t) + "/" + std::to_string(k) + "/"; };
  for (int n = 0; n < 60; ++n) {
    auto names = Names({row(n / 6, n % 6) + "0"});
    names.SetAtGrow(99, CString(row(n / 6, n % 6) + "99"));
    table->StoreMonitorRpt(static_cast<MO_Type>(n / 6), static_cast<FaultMapType>(n % 6), names);
  }
  for (int n = 0; n < 60; ++n) {
    EXPECT_EQ(Name(table, n / 6, n % 6, 0), (row(n / 6, n % 6) + "0").c_str());
    EXPECT_EQ(Name(table, n / 6, n % 6, 99), (row(n / 6, n % 6) + "99").c_str());
    EXPECT_EQ(Name(table, n / 6, n % 6, 50), "Unknown");  // positions 1..98 were given as empty names
  }
}

TEST(FaultNameTable, NothingOutsideTheTableIsStoredOrRead) {
  ScopedNameTable table;
  Strings many;
  for (int i = 0; i < 150; ++i) many.push_back("n" + std::to_string(i));
  auto list = Names(many);
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, list);
  auto stray = Names({"stray"});
  table->StoreMonitorRpt(MO_UNKNOWN, FM_RU, stray);
  table->StoreMonitorRpt(static_cast<MO_Type>(-1), FM_I1A, stray);
  table->StoreMonitorRpt(MO_SO_CF, static_cast<FaultMapType>(6), stray);
  table->StoreMonitorRpt(MO_AO_MCTR, static_cast<FaultMapType>(-1), stray);
  const char* outside = "Unknown fault name";
  const std::tuple<int, int, int, const char*> rows[] = {
      {MO_AO_TX, FM_I1A, 99, "n99"},    {MO_AO_TX, FM_I1A, 100, outside}, {MO_AO_TX, FM_I1A, 120, outside},
      {MO_AO_TX, FM_I1A, 255, outside}, {MO_AO_TX, FM_I1B, 0, ""},  // the neighbouring row is not written
      {MO_UNKNOWN, FM_I1A, 0, outside}, {-1, FM_I1A, 0, outside},         {MO_SO_CF, 6, 0, outside},
      {MO_SO_CF, -1, 0, outside},       {MO_AO_MCTR, FM_RU, 0, ""},       {MO_SO_CF, FM_I1A, 0, ""},
      {MO_AO_MCTR, FM_EC2, 99, ""}};
  for (const auto& [type, kind, faultNo, name] : rows) {
    EXPECT_EQ(Name(table, type, kind, faultNo), name) << type << "/" << kind << "/" << faultNo;
  }
}

TEST(FaultNameTable, BitMapTranslation) {
  ScopedNameTable table;
  Strings names(100, "x");
  names[0] = "Zero";
  names[1] = "";  // stored as "Unknown"
  names[2] = "Two";
  names[8] = "Eight";
  names[99] = "Last";
  auto list = Names(names);
  table->StoreMonitorRpt(MO_AO_TS, FM_EC1, list);
  Bytes beyond99(16, 0);
  beyond99[12] = 0x18;  // faults 99 and 100
  beyond99[15] = 0x80;  // fault 127
  Bytes wide(1300, 0);
  wide[1299] = 0x80;  // wider than four digits: the number is not cut
  const std::tuple<MO_Type, Bytes, const char*> rows[] = {
      {MO_AO_TS, {0x05, 0x01}, "   0: Zero\r\n   2: Two\r\n   8: Eight\r\n"},
      {MO_AO_TS, {0x00, 0x00}, ""},
      {MO_AO_TS, {}, ""},
      {MO_AO_TS, {0x02}, "   1: Unknown\r\n"},
      {MO_AO_TS, beyond99, "  99: Last\r\n 100: Unknown fault name\r\n 127: Unknown fault name\r\n"},
      {MO_AO_TS, wide, "10399: Unknown fault name\r\n"},
      {MO_UNKNOWN, {0x01}, "   0: Unknown fault name\r\n"},
  };
  for (const auto& [type, bits, text] : rows) {
    EXPECT_EQ(table->TranslateHexToTxt(type, FM_EC1, FaultMapAccess::ToArray(bits)), text) << bits.size();
  }
}

TEST(FaultNameTable, Scopes) {
  HandlerHost host;
  {
    ScopedNameTable table;
    auto names = Names({"a"});
    table->StoreMonitorRpt(MO_SO_CF, FM_I1A, names);
    table->TranslateHexToTxt(MO_SO_CF, FM_I1A, FaultMapAccess::ToArray({1}));
    table->TranslateHexToTxt(MO_SO_CF, FM_I1A, static_cast<BYTE>(0));
  }
  for (const auto& call : host.CallsNamed("StoreEnter")) EXPECT_EQ(call.file, "faultmap/monitor_txt.cpp");
  EXPECT_THAT(Scopes(host),
              ElementsAre("CTableOfMonitorRptInTxt::Get()", "CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()",
                          "CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()",
                          "CTableOfMonitorRptInTxt::StoreMonitorRpt()", "CTableOfMonitorRptInTxt::TranslateHexToTxt()",
                          "CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)",
                          "CTableOfMonitorRptInTxt::~CTableOfMonitorRptInTxt()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 7U);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

}  // namespace
}  // namespace pelix::test
