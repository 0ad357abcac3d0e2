// The tool's own helpers: hex input, tables, the progress bar, kinds, paths.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "progress.h"
#include "tool.h"

namespace pelix::tool {
namespace {

using Octets = std::vector<unsigned char>;

TEST(ToolHex, AcceptsSeparatorsBetweenOctetsAndAPrefix) {
  EXPECT_EQ(ParseHex("0a0B ff"), (Octets{0x0a, 0x0b, 0xff}));
  EXPECT_EQ(ParseHex("0x0a:0b-ff\n"), (Octets{0x0a, 0x0b, 0xff}));
  EXPECT_EQ(ParseHex("  \t"), Octets{});
  EXPECT_EQ(ParseHex(""), Octets{});
}

TEST(ToolHex, RejectsMalformedInput) {
  EXPECT_THROW(ParseHex("abc"), UsageError);      // odd digit count
  EXPECT_THROW(ParseHex("0 a"), UsageError);      // separator inside an octet
  EXPECT_THROW(ParseHex("0g"), UsageError);       // not a hex digit
  EXPECT_THROW(ParseHex("12 0x34"), UsageError);  // a prefix only at the start
  try {
    ParseHex("00zz");
    FAIL() << "no error";
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find("position 3"), std::string::npos) << e.what();
  }
}

TEST(ToolInput, IntegersAndKinds) {
  EXPECT_EQ(ParseInteger(" 42 ", "n"), 42);
  EXPECT_EQ(ParseInteger("0x10", "n"), 16);
  EXPECT_EQ(ParseInteger("-2", "n"), -2);
  EXPECT_THROW(ParseInteger("4x", "n"), UsageError);
  EXPECT_THROW(ParseInteger("", "n"), UsageError);
  EXPECT_THROW(ParseInteger("99999999999999999999999", "n"), UsageError);

  EXPECT_EQ(ParseZcuKind("h40"), ZCU_H40);
  EXPECT_EQ(ParseZcuKind("QMS"), ZCU_QMS);
  EXPECT_EQ(ParseZcuKind("all"), ZCU_ALL);
  EXPECT_EQ(ParseZcuKind("H30"), ZCU_H30);
  EXPECT_EQ(ParseZcuKind("All_But_Wb"), ZCU_ALL_BUT_WB);
  EXPECT_THROW(ParseZcuKind("WB1"), UsageError);
  EXPECT_THROW(ParseZcuKind(""), UsageError);
  for (int kind = 0; kind <= 6; ++kind) EXPECT_EQ(ParseZcuKind(ZcuKindName(kind)), kind);
  EXPECT_STREQ(ZcuKindName(7), "?");
}

TEST(ToolInput, FoldersGetExactlyOneTrailingSeparator) {
  EXPECT_EQ(AsFolder("/a/b"), "/a/b/");
  EXPECT_EQ(AsFolder("/a/b///"), "/a/b/");
  EXPECT_EQ(AsFolder("/"), "/");
  EXPECT_EQ(AsFolder("rel"), "rel/");
}

TEST(ToolInput, TextOrFileReadsAtFiles) {
  EXPECT_EQ(TextOrFile("0102"), "0102");
  EXPECT_THROW(TextOrFile("@/nonexistent/pelix/file"), UsageError);
  char path[] = "/tmp/pelix-hex-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "03 04\n", 6), 6);
  close(fd);
  EXPECT_EQ(TextOrFile(std::string("@") + path), "03 04\n");
  std::remove(path);
}

TEST(ToolTable, AlignsColumnsToTheWidestCell) {
  Table table({"ID", "NAME", "X"});
  table.AddRow({"7", "a long name", "y"});
  table.AddRow({"1234", "b"});  // a missing cell is empty
  EXPECT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(table.Render(),
            "ID    NAME         X\n"
            "7     a long name  y\n"
            "1234  b\n");
}

TEST(ToolTable, HeaderOnlyTable) {
  Table table({"A", "B"});
  EXPECT_EQ(table.Render(), "A  B\n");
}

TEST(ToolJson, BytesAboveAsciiBecomeValidUtf8) {
  EXPECT_EQ(JsonText(std::string("a\xe9z")), "a\xc3\xa9z");
  const nlohmann::json doc = {{"t", JsonText(std::string("\xff\x80"))}};
  EXPECT_NO_THROW(doc.dump());
}

TEST(ToolProgress, FormatsBytesAndDurations) {
  EXPECT_EQ(FormatBytes(0), "0 B");
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(1536), "1.5 KiB");
  EXPECT_EQ(FormatBytes(5ull << 30), "5.0 GiB");
  EXPECT_EQ(FormatDuration(7.4), "0:07");
  EXPECT_EQ(FormatDuration(754), "12:34");
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
  EXPECT_EQ(FormatDuration(-1), "--:--");
}

TEST(ToolProgress, BarShowsPercentBytesRateAndTimeLeft) {
  // Half of 2 MiB in 1 s: 1 MiB/s, 1 s left.
  EXPECT_EQ(FormatProgressBar(50, 2u << 20, 1.0, 10), "[#####.....]  50%  1.0 MiB / 2.0 MiB  1.0 MiB/s  0:01 left");
  EXPECT_EQ(FormatProgressBar(0, 1000, 0.0, 4), "[....]   0%  0 B / 1000 B  --/s  --:-- left");
  // Clamped, and no overflow for totals near the top of the range.
  EXPECT_EQ(FormatProgressBar(250, 100, 1.0, 4).substr(0, 11), "[####] 100%");
  EXPECT_NE(FormatProgressBar(99, ~0ull, 2.0, 4).find(" 99%  15.8 EiB / 16.0 EiB"), std::string::npos);
  EXPECT_EQ(FormatProgressBar(-5, 100, 1.0, 4).substr(0, 11), "[....]   0%");
}

TEST(ToolProgress, PlainLinesOncePerNewPercentage) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  ASSERT_NE(out, nullptr);
  ProgressReport(10);  // no bar running: nothing
  ProgressBegin(1000, false, out);
  ProgressReport(20);
  ProgressReport(20);
  ProgressReport(60);
  ProgressReport(140);
  EXPECT_EQ(ProgressEnd(), 100);
  ProgressReport(70);  // ended: nothing
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, size), "progress: 20%\nprogress: 60%\nprogress: 100%\n");
  std::free(buffer);
  EXPECT_EQ(ProgressEnd(), -1);
}

TEST(ToolProgress, TerminalBarRedrawsOneLineAndEndsIt) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  ASSERT_NE(out, nullptr);
  ProgressBegin(4096, true, out);
  ProgressReport(50);
  ProgressReport(100);
  EXPECT_EQ(ProgressEnd(), 100);
  std::fclose(out);
  const std::string text(buffer, size);
  std::free(buffer);
  ASSERT_EQ(text.front(), '\r');
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
  EXPECT_NE(text.find(" 50%  2.0 KiB / 4.0 KiB"), std::string::npos) << text;
  EXPECT_NE(text.find("100%  4.0 KiB / 4.0 KiB"), std::string::npos) << text;
}

TEST(ToolHost, DiskSizeOverrideFromTheEnvironment) {
  unsigned long long bytes = 0;
  unsetenv("PELIX_DISK_SIZE");
  EXPECT_FALSE(DiskSizeOverride(bytes));
  setenv("PELIX_DISK_SIZE", "12345", 1);
  EXPECT_TRUE(DiskSizeOverride(bytes));
  EXPECT_EQ(bytes, 12345u);
  setenv("PELIX_DISK_SIZE", "12k", 1);
  EXPECT_THROW(DiskSizeOverride(bytes), UsageError);
  setenv("PELIX_DISK_SIZE", "-1", 1);
  EXPECT_THROW(DiskSizeOverride(bytes), UsageError);
  unsetenv("PELIX_DISK_SIZE");
}

TEST(ToolFiles, ScratchFolderAndTempDirAreUndone) {
  const char* before = std::getenv("TMPDIR");
  const std::string old = before != nullptr ? before : "";
  std::string path;
  {
    ScratchFolder scratch("unit");
    path = scratch.Path();
    ASSERT_EQ(path.back(), '/');
    std::FILE* file = std::fopen((path + "x").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    {
      ScopedTempDir temp(path);
      EXPECT_EQ(std::string(std::getenv("TMPDIR")), path);
    }
    const char* after = std::getenv("TMPDIR");
    EXPECT_EQ(after != nullptr ? std::string(after) : std::string(), old);
  }
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace pelix::tool

namespace pelix::tool {
namespace {

// The host the tool installs, taken back out of the library's seam.
HostServices* InstalledHost() {
  HostServices* current = SetHostServices(nullptr);
  SetHostServices(current);
  return current;
}

TEST(ToolHost, UserMessagesGoToStandardErrorLineByLineWithAPrefix) {
  InstallToolHost(false);
  HostServices* host = InstalledHost();
  ASSERT_NE(host, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(host->DisplayUserInfo("An error occurred!   \r\nPlease try again.\r\n\r\nReplace it.", 16, 0, false), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "pelix: message: An error occurred!   \n"
            "pelix: message: Please try again.\n"
            "pelix: message: \n"
            "pelix: message: Replace it.\n");
  EXPECT_FALSE(host->ErrorHandlerExists());
  SetHostServices(nullptr);
}

TEST(ToolHost, TraceSwitchesTheHandlerOnAndTheDiskSizeCanBeOverridden) {
  InstallToolHost(true);
  HostServices* host = InstalledHost();
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->ErrorHandlerExists());
  EXPECT_EQ(host->GetErrorHandlerType(), 2);  // no scope records, no message boxes
  EXPECT_TRUE(host->IsPelixTracesEnabled());
  unsetenv("PELIX_DISK_SIZE");
  EXPECT_GT(host->GetDiskSize("/"), 0u);
  setenv("PELIX_DISK_SIZE", "77", 1);
  EXPECT_EQ(host->GetDiskSize("/"), 77u);
  unsetenv("PELIX_DISK_SIZE");
  InstallToolHost(false);
  EXPECT_FALSE(host->ErrorHandlerExists());
  SetHostServices(nullptr);
}

}  // namespace
}  // namespace pelix::tool
