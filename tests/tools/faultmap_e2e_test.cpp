// pelix faultmap end to end: a known report, a series of three, names files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fault_names.h"
#include "faultmap_work.h"
#include "run_tool.h"
#include "tool.h"

namespace pelix::tool::test {
namespace {

// AO TS3-1, enabled, data type 2: I1A fault 5 and EC1 fault 0.
constexpr const char* kKnownReport = "030301021023200000000000000000000000140100";

// AO TS3-1, data type 7, times in UTC (the tests run with TZ=UTC):
// 1: I1A 5 and 9 raised, with their own time stamps (09:29:40 and 09:29:55);
// 2: I1A 9 ceased, EC1 0 raised, no stamps (report time 09:45:10);
// 3: everything ceased (report time 10:02:30).
constexpr const char* kSeries =
    "# three reports\n"
    "03030102102320020000000000000000000014000045753c1802000545753c04000945753c13\n"
    "\n"
    "03030102102320000000000000000000000014010045753fa600\n"
    "030301021023000000000000000000000000140000457543b600\n";

constexpr const char* kNames =
    "# names\n"
    "MO_AO_TS FM_I1A 5 Timeslot synchronisation lost\n"
    "AO_TS I1A 9   Coder overflow  \n"
    "4 3 0 Power alarm\n";

TEST(ToolFaultmap, DecodesAKnownReport) {
  Sandbox box;
  const RunResult text = box.Run({"faultmap", "decode", "--type", "2", kKnownReport});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Decoded    yes\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("State      ENABLED\n"), std::string::npos);
  EXPECT_NE(text.out.find("Object     AO TS3-1\n"), std::string::npos);
  EXPECT_NE(text.out.find("Internal Fault Map Class 1A     I1A:5"), std::string::npos) << text.out;

  const RunResult json = box.Run({"--json", "faultmap", "decode", "--type", "2", kKnownReport});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["decoded"], true);
  EXPECT_EQ(doc["active"], true);
  EXPECT_EQ(doc["length"], 21);
  EXPECT_EQ(doc["object"], "AO TS3-1");
  ASSERT_EQ(doc["faults"].size(), 2u);
  EXPECT_EQ(doc["faults"][0]["faultId"], "I1A:5");
  EXPECT_EQ(doc["faults"][0]["mapTitle"], "Internal Fault Map Class 1A");
  EXPECT_EQ(doc["faults"][0]["moType"], "AO TS");
  EXPECT_EQ(doc["faults"][1]["faultId"], "EC1:0");
  EXPECT_EQ(doc["faults"][1]["status"], "RAISED");
}

TEST(ToolFaultmap, TraceShowsTheLibrarysDumpOfTheReport) {
  Sandbox box;
  const RunResult traced = box.Run({"--trace", "faultmap", "decode", "--type", "2", kKnownReport});
  ASSERT_EQ(traced.exitCode, 0) << traced.err;
  EXPECT_NE(traced.err.find("> CFaultMap::CFaultMap()"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("MO FAULT MAP REPORT"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("Fault map length = 16"), std::string::npos) << traced.err;
  EXPECT_NE(traced.err.find("Octet 2 = 32 (0x20)"), std::string::npos) << traced.err;
  EXPECT_EQ(traced.out.find("MO FAULT MAP REPORT"), std::string::npos);
}

TEST(ToolFaultmap, DecodeFromAFileWithNamesAndTimeStamps) {
  Sandbox box;
  box.Write("report.hex",
            "0303 0102 1023 2002 0000 0000 0000 0000 0000 1400 0045 753c 1802 0005 4575 3c04 0009 4575 3c13\n");
  const std::string names = box.Write("names.txt", kNames);
  const RunResult json = box.Run({"--json", "faultmap", "decode", "--names", names, "@" + box.Root() + "report.hex"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["dataType"], 7);
  ASSERT_EQ(doc["faults"].size(), 2u);
  EXPECT_EQ(doc["faults"][0]["time"], "2026-12-05 09:29:40");
  EXPECT_EQ(doc["faults"][0]["name"], "Timeslot synchronisation lost");
  EXPECT_EQ(doc["faults"][1]["time"], "2026-12-05 09:29:55");
  EXPECT_EQ(doc["faults"][1]["name"], "Coder overflow");
}

TEST(ToolFaultmap, ReportsThatDoNotAddUpAreShownUndecoded) {
  Sandbox box;
  // One octet more than the header says.
  const RunResult longer = box.Run({"--json", "faultmap", "decode", "--type", "2", std::string(kKnownReport) + "00"});
  ASSERT_EQ(longer.exitCode, 0) << longer.err;
  const auto doc = nlohmann::json::parse(longer.out);
  EXPECT_EQ(doc["decoded"], false);
  EXPECT_EQ(doc["state"], "Corrupt data from Tolva (No MO state)");
  EXPECT_TRUE(doc["faults"].empty());
  // No octets at all is a report that does not add up; a quote is no hex.
  const RunResult empty = box.Run({"--json", "faultmap", "decode", ""});
  ASSERT_EQ(empty.exitCode, 0) << empty.err;
  EXPECT_EQ(nlohmann::json::parse(empty.out)["decoded"], false);
  EXPECT_EQ(box.Run({"faultmap", "decode", "\"\""}).exitCode, 2);
  const RunResult tooLong = box.Run({"faultmap", "decode", std::string(512, '0')});
  EXPECT_EQ(tooLong.exitCode, 2);
  EXPECT_NE(tooLong.err.find("255"), std::string::npos) << tooLong.err;
}

TEST(ToolFaultmap, TracksRaisedAndCeasedOverThreeReports) {
  Sandbox box;
  const std::string series = box.Write("series.hex", kSeries);
  const std::string names = box.Write("names.txt", kNames);
  const RunResult text = box.Run({"faultmap", "track", "--names", names, series});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out,
            "# report on line 2: ENABLED\n"
            "2026-12-05 09:29:40 AO TS3-1 I1A:5 RAISED  Timeslot synchronisation lost\n"
            "2026-12-05 09:29:55 AO TS3-1 I1A:9 RAISED  Coder overflow\n"
            "# report on line 4: ENABLED\n"
            "2026-12-05 09:45:10 AO TS3-1 I1A:9 CEASED  Coder overflow\n"
            "2026-12-05 09:45:10 AO TS3-1 EC1:0 RAISED  Power alarm\n"
            "# report on line 5: ENABLED\n"
            "2026-12-05 10:02:30 AO TS3-1 I1A:5 CEASED  Timeslot synchronisation lost\n"
            "2026-12-05 10:02:30 AO TS3-1 EC1:0 CEASED  Power alarm\n"
            "# 3 reports, 3 raised, 3 ceased; faults active now: no\n");

  const RunResult json = box.Run({"--json", "faultmap", "track", series});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["reports"].size(), 3u);
  EXPECT_EQ(doc["raised"], 3);
  EXPECT_EQ(doc["ceased"], 3);
  EXPECT_EQ(doc["active"], false);
  EXPECT_EQ(doc["reports"][1]["faults"][1]["faultId"], "EC1:0");
  EXPECT_EQ(doc["reports"][1]["changed"], true);
  // Without a names file the table is still made: names are empty.
  EXPECT_EQ(doc["reports"][0]["faults"][0]["name"], "");
}

TEST(ToolFaultmap, TrackOfTheSameReportTwiceChangesNothing) {
  Sandbox box;
  const std::string twice = box.Write("twice.hex", std::string(kKnownReport) + "\n" + kKnownReport + "\n");
  const RunResult json = box.Run({"--json", "faultmap", "track", "--type", "2", twice});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["reports"][0]["faults"].size(), 2u);
  EXPECT_EQ(doc["reports"][1]["changed"], false);
  EXPECT_TRUE(doc["reports"][1]["faults"].empty());
  EXPECT_EQ(doc["active"], true);
}

TEST(ToolFaultmap, BadSeriesAndNamesFilesAreUsageErrors) {
  Sandbox box;
  const std::string bad = box.Write("bad.hex", std::string(kKnownReport) + "\nnot hex\n");
  const RunResult badLine = box.Run({"faultmap", "track", bad});
  EXPECT_EQ(badLine.exitCode, 2);
  EXPECT_NE(badLine.err.find("line 2"), std::string::npos) << badLine.err;
  EXPECT_EQ(box.Run({"faultmap", "track", box.Root() + "missing.hex"}).exitCode, 2);

  const std::string good = box.Write("good.hex", kKnownReport);
  const std::string badNames = box.Write("names.txt", "AO_TS I1A 100 Too far\n");
  const RunResult names = box.Run({"faultmap", "track", "--names", badNames, good});
  EXPECT_EQ(names.exitCode, 2);
  EXPECT_NE(names.err.find("fault names line 1"), std::string::npos) << names.err;
}

TEST(ToolFaultNames, ParsesNumbersNamesAndComments) {
  const auto entries = ParseFaultNames(kNames);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].moType, MO_AO_TS);
  EXPECT_EQ(entries[0].mapType, FM_I1A);
  EXPECT_EQ(entries[0].faultNo, 5);
  EXPECT_EQ(entries[1].name, "Coder overflow");
  EXPECT_EQ(entries[2].moType, 4);
  EXPECT_EQ(entries[2].mapType, FM_EC1);
  EXPECT_EQ(ParseMoType("mo_ao_mctr"), MO_AO_MCTR);
  EXPECT_EQ(ParseMoType("MO_UNKNOWN"), -1);  // has no names
  EXPECT_EQ(ParseMoType("10"), -1);
  EXPECT_EQ(ParseMapType("fm_ru"), FM_RU);
  EXPECT_EQ(ParseMapType("6"), -1);
  EXPECT_EQ(ParseMapType("00000000000000000000001"), -1);
}

TEST(ToolFaultNames, MalformedLinesNameTheirLine) {
  const char* bad[] = {"AO_XX I1A 1 n", "AO_TS I9 1 n", "AO_TS I1A -1 n", "AO_TS I1A 1", "AO_TS I1A 1x n"};
  for (const char* line : bad) {
    try {
      ParseFaultNames(std::string("# ok\n\n") + line + "\n");
      ADD_FAILURE() << "accepted: " << line;
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
  }
}

TEST(ToolFaultNames, GapsBelowTheHighestNumberReadAsUnknown) {
  StoreFaultNames(ParseFaultNames("AO_TX RU 3 Fan\n"));
  CTableOfMonitorRptInTxt* table = CTableOfMonitorRptInTxt::Get();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_RU, static_cast<BYTE>(3)).str(), "Fan");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_RU, static_cast<BYTE>(1)).str(), "Unknown");
  EXPECT_EQ(table->TranslateHexToTxt(MO_AO_TX, FM_RU, static_cast<BYTE>(4)).str(), "");
  delete table;
}

TEST(ToolFaultLine, SplitsTheLibrarysLine) {
  FaultLine fault;
  fault.line = "2026-12-05 09:29:40 AO TS3-1 I1A:5 RAISED";
  SplitFaultLine(fault);
  EXPECT_EQ(fault.time, "2026-12-05 09:29:40");
  EXPECT_EQ(fault.object, "AO TS3-1");
  EXPECT_EQ(fault.faultId, "I1A:5");
  EXPECT_EQ(fault.status, "RAISED");

  FaultLine blankTime;
  blankTime.line = std::string(19, ' ') + " SO CF RU:2 CEASED";
  SplitFaultLine(blankTime);
  EXPECT_EQ(blankTime.object, "SO CF");
  EXPECT_EQ(blankTime.status, "CEASED");

  FaultLine corrupt;
  corrupt.line = "Corrupt data from Tolva";
  SplitFaultLine(corrupt);
  EXPECT_TRUE(corrupt.time.empty());
  EXPECT_TRUE(corrupt.object.empty());
  EXPECT_TRUE(corrupt.status.empty());
}

}  // namespace
}  // namespace pelix::tool::test
