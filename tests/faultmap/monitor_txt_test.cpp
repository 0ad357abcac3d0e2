// The process-wide fault name table.

#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

std::string Name(const ScopedNameTable& table, int moType, int kind, int faultNo) {
  return table->TranslateHexToTxt(MO_Type(moType), FaultMapType(kind), static_cast<BYTE>(faultNo)).str();
}

TEST(FaultNameTable, StoreOverwritesOnlyItsOwnPositionsAndRows) {
  ScopedNameTable table;
  for (int n = 0; n < 60; ++n) {
    Strings names(100, "");
    names[0] = std::to_string(n), names[99] = std::to_string(n) + "/99";
    table.Store(MO_Type(n / 6), FaultMapType(n % 6), names);
  }
  for (int n = 0; n < 60; ++n) {
    EXPECT_EQ(Name(table, n / 6, n % 6, 0) + " " + Name(table, n / 6, n % 6, 99) + " " + Name(table, n / 6, n % 6, 50),
              std::to_string(n) + " " + std::to_string(n) + "/99 Unknown");  // empty names stored as "Unknown"
  }
  table.Store(MO_AO_TX, FM_I1A, {"w", "x", "y", "z"});
  table.Store(MO_AO_TX, FM_I1A, {"A", "", "C"});
  EXPECT_EQ(Name(table, MO_AO_TX, FM_I1A, 0) + Name(table, MO_AO_TX, FM_I1A, 1) + Name(table, MO_AO_TX, FM_I1A, 2) +
                Name(table, MO_AO_TX, FM_I1A, 3) + Name(table, MO_AO_TX, FM_I1A, 4),
            "AUnknownCzUnknown");
}

TEST(FaultNameTable, NothingOutsideTheTableIsStoredOrRead) {
  ScopedNameTable table;
  Strings many;
  for (int i = 0; i < 150; ++i) many.push_back("n" + std::to_string(i));
  table.Store(MO_AO_TX, FM_I1A, many);
  for (const auto& [type, kind] : {std::pair{MO_UNKNOWN, 5}, {MO_Type(-1), 0}, {MO_SO_CF, 6}, {MO_AO_MCTR, -1}}) {
    table.Store(type, FaultMapType(kind), {"stray"});
  }
  const char* outside = "Unknown fault name";
  const std::tuple<int, int, int, const char*> rows[] = {
      {MO_AO_TX, FM_I1A, 99, "n99"}, {MO_AO_TX, FM_I1A, 100, outside}, {MO_AO_TX, FM_I1A, 255, outside},
      {MO_AO_TX, FM_I1B, 0, ""},     {MO_UNKNOWN, FM_I1A, 0, outside}, {-1, FM_I1A, 0, outside},
      {MO_SO_CF, 6, 0, outside},     {MO_SO_CF, -1, 0, outside},       {MO_AO_MCTR, FM_RU, 0, ""},
      {MO_SO_CF, FM_I1A, 0, ""},     {MO_AO_MCTR, FM_EC2, 99, ""}};
  for (const auto& [type, kind, faultNo, name] : rows) {
    EXPECT_EQ(Name(table, type, kind, faultNo), name) << type << "/" << kind << "/" << faultNo;
  }
}

TEST(FaultNameTable, LifetimeBitMapTranslationAndScopes) {
  ASSERT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  {
    ScopedNameTable table;
    EXPECT_EQ(CTableOfMonitorRptInTxt::Create(), table.m_table);
    EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), table.m_table);
    Strings names(100, "x");
    names[0] = "Zero", names[1] = "", names[2] = "Two", names[8] = "Eight", names[99] = "Last";
    table.Store(MO_AO_TS, FM_EC1, names);
    Bytes beyond99(16, 0);
    beyond99[12] = 0x18, beyond99[15] = 0x80;  // faults 99, 100 and 127
    Bytes wide(1300, 0);
    wide[1299] = 0x80;  // wider than four digits: the number is not cut
    const std::tuple<MO_Type, Bytes, const char*> rows[] = {
        {MO_AO_TS, {0x05, 0x01}, "   0: Zero\r\n   2: Two\r\n   8: Eight\r\n"},
        {MO_AO_TS, {0x00, 0x00}, ""},
        {MO_AO_TS, {0x02}, "   1: Unknown\r\n"},
        {MO_AO_TS, beyond99, "  99: Last\r\n 100: Unknown fault name\r\n 127: Unknown fault name\r\n"},
        {MO_AO_TS, wide, "10399: Unknown fault name\r\n"},
        {MO_UNKNOWN, {0x01}, "   0: Unknown fault name\r\n"},
    };
    for (const auto& [type, bits, text] : rows) {
      CByteArray array;
      for (const uint8_t b : bits) array.Add(b);
      EXPECT_EQ(table->TranslateHexToTxt(type, FM_EC1, array), text) << bits.size();
    }
  }
  EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  HandlerHost host;
  {
    ScopedNameTable table;  // a new table starts empty again
    table.Store(MO_SO_CF, FM_I1A, {"a"});
    table->TranslateHexToTxt(MO_SO_CF, FM_I1A, CByteArray());
    EXPECT_EQ(Name(table, MO_AO_TS, FM_EC1, 0), "");
  }
  for (const auto& call : host.CallsNamed("StoreEnter")) EXPECT_EQ(call.file, "faultmap/monitor_txt.cpp");
  EXPECT_EQ(host.Scopes(),
            "CTableOfMonitorRptInTxt::Get()|CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()|"
            "CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()|CTableOfMonitorRptInTxt::StoreMonitorRpt()|"
            "CTableOfMonitorRptInTxt::TranslateHexToTxt()|"
            "CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)|"
            "CTableOfMonitorRptInTxt::~CTableOfMonitorRptInTxt()");
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 7U);
}

}  // namespace
}  // namespace pelix::test
