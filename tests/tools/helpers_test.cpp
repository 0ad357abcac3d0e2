// The tool's own helpers: hex input, fault names files, texts for a terminal
// and for JSON, times, the progress line.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fault_names.h"
#include "progress.h"
#include "tool.h"

namespace pelix::tool {
namespace {

TEST(ToolHelpers, HexInputTakesSeparatorsBetweenOctetsOnly) {
  EXPECT_EQ(ParseHex(" 0x0a:0B-ff 01\n"), (std::vector<unsigned char>{0x0a, 0x0b, 0xff, 0x01}));
  for (const char* bad : {"abc", "0 a", "0g", "12 0x34"}) EXPECT_THROW(ParseHex(bad), UsageError) << bad;
}

TEST(ToolHelpers, FaultNamesFilesNameTheLineOfTheFirstFault) {
  const auto entries = ParseFaultNames("# names\nMO_AO_TS FM_I1A 5  Timeslot lost \n4 3 0 Power\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Timeslot lost");
  EXPECT_EQ(entries[1].mapType, FM_EC1);
  for (const char* bad : {"AO_XX I1A 1 n", "AO_TS I9 1 n", "AO_TS I1A 100 n", "AO_TS I1A 1", "AO_TS I1A 1x n"}) {
    EXPECT_THAT([&] { ParseFaultNames(std::string("# ok\n\n") + bad + "\n"); },
                testing::ThrowsMessage<UsageError>(testing::HasSubstr("line 3")))
        << bad;
  }
}

TEST(ToolHelpers, TextsForATerminalAndForJson) {
  const struct {
    std::string in, printable, json, path;
  } cases[] = {
      {"plain \\ caf\xc3\xa9", "plain \\ caf\xc3\xa9", "plain \\ caf\xc3\xa9", "plain \\ caf\xc3\xa9"},  // UTF-8 kept
      {"caf\xe9\\", "caf\\xe9\\", "caf\xc3\xa9\\", "caf\\xe9\\\\"},                                      // Latin-1
      {"\x1b[2J\xc2\x9b", "\\x1b[2J\\xc2\\x9b", "\x1b[2J\xc2\x9b", "\x1b[2J\xc2\x9b"},                   // controls
      {"\xed\xa0\x80", "\\xed\\xa0\\x80", "\xc3\xad\xc2\xa0\xc2\x80", "\\xed\\xa0\\x80"},                // a surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printable(c.in), c.printable);
    EXPECT_EQ(JsonText(c.in), c.json);
    EXPECT_EQ(JsonPath(c.in), c.path);
  }
}

TEST(ToolHelpers, TimesBecomeIso8601WithTheOffset) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // only this test reads the zone
  tzset();
  EXPECT_EQ(IsoTime("2026-12-05 09:29:40") + IsoTime("2026-07-05 09:29:40") + IsoTime("                   ") + "|" +
                IsoTime("Not Defined"),
            "2026-12-05T09:29:40+01:00"
            "2026-07-05T09:29:40+02:00|Not Defined");
  unsetenv("TZ");
  tzset();
}

TEST(ToolHelpers, ProgressLineFitsTheWidthDroppingPartsInOrder) {
  // Half of 2 MiB in 1 s: 1 MiB/s, 1 s left.
  const struct {
    int columns;
    std::string line;
  } cases[] = {
      {120, "[####################....................]  50%  1.0 MiB / 2.0 MiB  1.0 MiB/s  0:01 left"},  // longest bar
      {59, "[#####.....]  50%  1.0 MiB / 2.0 MiB  1.0 MiB/s  0:01 left"},  // the last with the time left
      {58, "[##########..........]  50%  1.0 MiB / 2.0 MiB  1.0 MiB/s"},
      {40, "[######.......]  50%  1.0 MiB / 2.0 MiB"},
      {20, "[######......]  50%"},
      {12, "[##..]  50%"},
      {5, " 50%"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatProgressLine(50, 2u << 20, 1.0, c.columns), c.line) << c.columns;
  EXPECT_EQ(FormatProgressLine(250, 100, 0.0, 30), "[" + std::string(22, '#') + "] 100%");  // clamped
}

// Once per new percentage: a line each, or on a terminal the bar redrawn in
// place, erasing what a longer line left, and ended with a newline.
TEST(ToolHelpers, ProgressOncePerNewPercentageAsLinesOrAsABar) {
  setenv("COLUMNS", "20", 1);  // no terminal behind the stream: the width comes from the environment
  for (bool terminal : {false, true}) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    ProgressBegin(1000, terminal, out);
    for (int percent : {20, 20, 60, 140}) ProgressReport(percent);
    EXPECT_EQ(ProgressEnd(), 100);
    ProgressReport(70);  // ended: nothing
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, size),
              terminal ? "\r[##..........]  20%\x1b[K\r[#######.....]  60%\x1b[K\r[############] 100%\x1b[K\n"
                       : "progress: 20%\nprogress: 60%\nprogress: 100%\n");
    std::free(buffer);
  }
  unsetenv("COLUMNS");
}

}  // namespace
}  // namespace pelix::tool
