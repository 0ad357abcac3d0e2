// The process-wide fault name table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelix/monitor_txt.h"
#include "tests/faultmap/scoped_env.h"
#include "tests/support/recording_host.h"

using pelix::test::RecordingHost;
using pelix::test::ScopedNameTable;
using ::testing::ElementsAre;

namespace {

CArray<CString, CString> Names(const std::vector<std::string>& names) {
  CArray<CString, CString> list;
  for (const std::string& name : names) list.Add(CString(name));
  return list;
}

CByteArray Bits(const std::vector<BYTE>& octets) {
  CByteArray bits;
  for (const BYTE b : octets) bits.Add(b);
  return bits;
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
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(0)), "A");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(1)), "Unknown");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(2)), "C");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(3)), "z");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(4)), "");
  // Other rows are untouched.
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_RX, FM_I1A, static_cast<BYTE>(0)), "");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1B, static_cast<BYTE>(0)), "");
  // The caller's list is left as it was.
  EXPECT_EQ(second[1], "");
}

TEST(FaultNameTable, EveryRowIsItsOwn) {
  ScopedNameTable table;
  for (int t = 0; t < 10; ++t) {
    for (int k = 0; k < 6; ++k) {
      auto names = Names({std::to_string(t) + "/" + std::to_string(k) + "/0"});
      names.SetAtGrow(99, CString(std::to_string(t) + "/" + std::to_string(k) + "/99"));
      table->StoreMonitorRpt(static_cast<MO_Type>(t), static_cast<FaultMapType>(k), names);
    }
  }
  for (int t = 0; t < 10; ++t) {
    for (int k = 0; k < 6; ++k) {
      const std::string row = std::to_string(t) + "/" + std::to_string(k) + "/";
      EXPECT_EQ(table->TranslateHexToTxt(static_cast<MO_Type>(t), static_cast<FaultMapType>(k), static_cast<BYTE>(0)),
                (row + "0").c_str());
      EXPECT_EQ(table->TranslateHexToTxt(static_cast<MO_Type>(t), static_cast<FaultMapType>(k), static_cast<BYTE>(99)),
                (row + "99").c_str());
      // Positions 1..98 were given as empty names.
      EXPECT_EQ(table->TranslateHexToTxt(static_cast<MO_Type>(t), static_cast<FaultMapType>(k), static_cast<BYTE>(50)),
                "Unknown");
    }
  }
}

TEST(FaultNameTable, SingleFaultOutsideTheTable) {
  ScopedNameTable table;
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(99)), "");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(100)), "Unknown fault name");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(255)), "Unknown fault name");
  EXPECT_EQ(table->TranslateHexToTxt(MO_UNKNOWN, FM_I1A, static_cast<BYTE>(0)), "Unknown fault name");
  EXPECT_EQ(table->TranslateHexToTxt(static_cast<MO_Type>(-1), FM_I1A, static_cast<BYTE>(0)), "Unknown fault name");
  EXPECT_EQ(table->TranslateHexToTxt(MO_SO_CF, static_cast<FaultMapType>(6), static_cast<BYTE>(0)),
            "Unknown fault name");
  EXPECT_EQ(table->TranslateHexToTxt(MO_SO_CF, static_cast<FaultMapType>(-1), static_cast<BYTE>(0)),
            "Unknown fault name");
}

TEST(FaultNameTable, NamesBeyondTheTableAreLeftOut) {
  ScopedNameTable table;
  std::vector<std::string> many;
  for (int i = 0; i < 150; ++i) many.push_back("n" + std::to_string(i));
  auto list = Names(many);
  table->StoreMonitorRpt(MO_AO_TX, FM_I1A, list);
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(99)), "n99");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1A, static_cast<BYTE>(120)), "Unknown fault name");
  // The neighbouring row in memory is not written.
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_I1B, static_cast<BYTE>(0)), "");

  // Rows outside the table store nothing, and the last row stays empty.
  auto names = Names({"stray"});
  table->StoreMonitorRpt(MO_UNKNOWN, FM_RU, names);
  table->StoreMonitorRpt(static_cast<MO_Type>(-1), FM_I1A, names);
  table->StoreMonitorRpt(MO_SO_CF, static_cast<FaultMapType>(6), names);
  table->StoreMonitorRpt(MO_AO_MCTR, static_cast<FaultMapType>(-1), names);
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_MCTR, FM_RU, static_cast<BYTE>(0)), "");
  EXPECT_EQ(table->TranslateHexToTxt(MO_SO_CF, FM_I1A, static_cast<BYTE>(0)), "");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_MCTR, FM_EC2, static_cast<BYTE>(99)), "");
}

TEST(FaultNameTable, BitMapTranslation) {
  ScopedNameTable table;
  std::vector<std::string> names(9);
  names[0] = "Zero";
  names[2] = "Two";
  names[8] = "Eight";
  auto list = Names(names);
  table->StoreMonitorRpt(MO_AO_TS, FM_EC1, list);
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TS, FM_EC1, Bits({0x05, 0x01})),
            "   0: Zero\r\n   2: Two\r\n   8: Eight\r\n");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TS, FM_EC1, Bits({0x00, 0x00})), "");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TS, FM_EC1, Bits({})), "");
  // Unnamed positions in between were stored as "Unknown".
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TS, FM_EC1, Bits({0x02})), "   1: Unknown\r\n");
}

TEST(FaultNameTable, BitMapWithFaultsBeyond99) {
  ScopedNameTable table;
  std::vector<std::string> names(100, "x");
  names[99] = "Last";
  auto list = Names(names);
  table->StoreMonitorRpt(MO_AO_RX, FM_I2A, list);
  CByteArray bits;
  bits.SetSize(16);
  bits[12] = 0x18;  // faults 99 and 100
  bits[15] = 0x80;  // fault 127
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_RX, FM_I2A, bits),
            "  99: Last\r\n 100: Unknown fault name\r\n 127: Unknown fault name\r\n");
  // Wider than four digits: the number is not cut.
  CByteArray wide;
  wide.SetSize(1300);
  wide[1299] = 0x80;
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_RX, FM_I2A, wide), "10399: Unknown fault name\r\n");
  // A row outside the table names every fault "Unknown fault name".
  EXPECT_EQ(table->TranslateHexToTxt(MO_UNKNOWN, FM_I2A, Bits({0x01})), "   0: Unknown fault name\r\n");
}

TEST(FaultNameTable, Scopes) {
  RecordingHost host;
  host.handlerExists = true;
  {
    ScopedNameTable table;
    auto names = Names({"a"});
    table->StoreMonitorRpt(MO_SO_CF, FM_I1A, names);
    table->TranslateHexToTxt(MO_SO_CF, FM_I1A, Bits({1}));
    table->TranslateHexToTxt(MO_SO_CF, FM_I1A, static_cast<BYTE>(0));
  }
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) {
    scopes.push_back(call.text);
    EXPECT_EQ(call.file, "faultmap/monitor_txt.cpp");
  }
  EXPECT_THAT(scopes,
              ElementsAre("CTableOfMonitorRptInTxt::Get()", "CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()",
                          "CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()",
                          "CTableOfMonitorRptInTxt::StoreMonitorRpt()", "CTableOfMonitorRptInTxt::TranslateHexToTxt()",
                          "CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)",
                          "CTableOfMonitorRptInTxt::~CTableOfMonitorRptInTxt()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), scopes.size());
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

}  // namespace
