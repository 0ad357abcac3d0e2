// The six settings operations: full keys, round trips, defaults, the template
// copy from the machine's hive, allocation failures, and several terminal
// processes sharing one hive.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "pelix/regfunc.h"
#include "pelix/service_result.h"
#include "registry/regfunc_internal.h"
#include "tests/support/recording_host.h"
#include "tests/support/registry_dir.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers

void SetText(CString key, CString name, CString text, int base = 1) { SetRegValue(key, name, text, base); }

class SettingsTest : public ::testing::Test {
 protected:
  RegistryDir m_dir;
  RecordingHost m_host;
};

TEST_F(SettingsTest, TheBasePathPrefixesKeysAndNoKeyIsEverMadeButByTheTemplate) {
  Store(HKCU, "Software\\Pelix\\Radio");
  Store(HKCU, "Radio");
  SetRegPath("Software\\Pelix");
  SetText("Radio", "Where", "below");
  SetRegValue("Radio", "Count", 0x1234, -3);  // any non-zero value means the base path
  SetText("Radio", "Where", "top", 0);
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Radio", "*values") + Read(HKCU, "Radio", "*values"), "Where;Count;Where;");
  DeleteRegValue("Radio", "Where", 1);
  EXPECT_EQ(GetRegString("Radio", "Where", "-", 1) + GetRegString("Radio", "Where", "-", 0), "-top");
  // Below a key that neither hive has, nothing is written or made.
  SetText("Nowhere", "Text", "value");
  EXPECT_EQ(Read(HKCU, "Software\\Pelix", "*keys") + GetRegString("Nowhere", "Text", "fallback", 1), "Radio;fallback");
}

// Every value and key of a hive in the order of writing.
std::string Tree(const std::string& hive) {
  return Sql(hive,
             "SELECT k.name || '/' || v.name || '=' || v.type || ':' || hex(v.data) FROM reg_value v JOIN reg_key k"
             " ON k.id = v.key ORDER BY v.id") +
         Sql(hive, "SELECT name || '(' || class || ')' FROM reg_key ORDER BY id");
}

// Names, classes and data longer than the copy's first buffers are copied whole, and the values after them exactly.
TEST_F(SettingsTest, TheUsersMissingKeyIsCopiedWholeDepthFirstFromTheTemplateOnlyWhereAndWhenNeeded) {
  const std::string longName(300, 'v'), longKey(400, 'k'), longClass(280, 'c');
  Store(HKLM, "Software\\Pelix\\Settings", "Name", REG_SZ, "terminal");
  Store(HKLM, "Software\\Pelix\\Settings", "Port", REG_DWORD, std::string("\xa1\x0f\0\0", 4));
  Store(HKLM, "Software\\Pelix\\Settings\\Radio", longName.c_str(), REG_BINARY, std::string(300, 'U'),
        longClass.c_str());
  Store(HKLM, "Software\\Pelix\\Settings\\Radio", "Bands", REG_MULTI_SZ, std::string("900\00018\0", 7));
  Store(HKLM, "Software\\Pelix\\Settings\\Radio\\Deep", "Odd", 0x99, std::string("\0odd", 4));
  Store(HKLM, "Software\\Pelix\\Settings\\Log", "Path", REG_EXPAND_SZ, "%TEMP%");
  Store(HKLM, "Software\\Pelix\\Settings\\" + longKey);
  // An access below a missing key copies only the key it needs; "Settings" itself came into being as the path to
  // it, so its own values never come.
  g_regPath = "Software\\Pelix";  // as if set while the machine had nothing
  SetText("Settings\\Radio", "Bands", "mine");
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Settings\\Radio", "Bands") + Read(HKCU, "Software\\Pelix\\Settings", "*keys") +
                GetRegString("Settings", "Name", "none", 1),
            "1:mineRadio;none");
  // A fresh user's hive gets the whole key at the first setting of the base path, subkeys before values.
  RegistryDir fresh;
  ASSERT_EQ(Sql(m_dir.Machine(), ("VACUUM INTO '" + fresh.Machine() + "'").c_str()), "");  // the same template
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(Tree(fresh.User()),
            "Deep/Odd=153:006F6464;Radio/" + longName + "=3:" + std::string(600, '5') +
                ";Radio/Bands=7:39303000313800;Log/Path=2:2554454D5025;Settings/Name=1:7465726D696E616C;"
                "Settings/Port=4:A10F0000;Software();Pelix();Settings();Radio(" +
                longClass + ");Deep();Log();" + longKey + "();");
  SetText("", "Name", "user");  // full key "Software\Pelix\Settings\" names the base key itself
  DeleteRegValue("Radio", "Bands", 1);
  Store(HKLM, "Software\\Pelix\\Settings\\Radio", "Bands", REG_SZ, "changed");  // the template changes afterwards
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(GetRegString("", "Name", "-", 1) + GetRegString("Radio", "Bands", "-", 1), "user-");
}

// Fails the k-th allocation (1-based) and records every size asked for; blocks
// come filled with 0xAA, so that bytes the code forgets to set show.
int g_failAt = 0, g_calls = 0;
std::string g_sizes;
void* FailingAllocator(size_t size) {
  g_sizes += std::to_string(size) + " ";
  return ++g_calls == g_failAt ? nullptr : std::memset(std::malloc(size), 0xAA, size);
}

TEST_F(SettingsTest, ValuesRoundTripWithCellsAndBuffersSizedAsTheyNeedAndEachFailedAllocationReported) {
  Store(HKCU, "App\\K");
  SetRegPath("App");
  const std::string longText(5000, 'L');
  // clang-format off
  const std::pair<const char*, std::string> texts[] = {
      {"t", "\xff\x80 caf\xc3\xa9 a\\b/c"}, {"long", longText}, {"cut", std::string("ab\0c", 4)}, {"empty", ""},
      {"four", "\xff\xfe\xfd\xfc"}, {"five", "abcde"}, {"two", "\x34\x12"}};
  // clang-format on
  for (const auto& [name, text] : texts) SetText("K", name, text);
  SetRegValue("K", "n", 0x00434241u, 1);
  EXPECT_EQ(Read(HKCU, "App\\K", "cut"), "1:" + texts[2].second);  // the "n" row below reads the number's bytes
  const pelix::registry::Allocator previous = pelix::registry::SetAllocator(FailingAllocator);
  m_host.handlerExists = true;
  const struct {
    const char *key, *name;
    int failAt, text;
    std::string result, sizes;  // a failed allocation's report as its result
  } rows[] = {// Texts are read whole up to the first zero byte; empty and missing ones give the default, the size
              // cell starting at 100. Values of any type are read; numbers shorter than 4 bytes are padded with
              // zeros, longer ones give the default. A missing key gives the default before the buffer is allocated.
              // A failed allocation is reported once and gives the empty result.
              // clang-format off
      {"K", "t", 0, true, texts[0].second, "4 4 14 "}, {"K", "long", 0, true, longText, "4 4 5000 "},
      {"K", "cut", 0, true, "ab", "4 4 4 "},           {"K", "empty", 0, true, "d", "4 4 1 "},
      {"K", "missing", 0, true, "d", "4 4 100 "},      {"K", "n", 0, true, "ABC", "4 4 4 "},
      {"K", "four", 0, false, "4244504319", "4 4 4 "}, {"K", "two", 0, false, "4660", "4 4 4 "},
      {"K", "five", 0, false, "9", "4 4 4 "},          {"Nowhere", "t", 3, true, "d", "4 4 "},
      {"Nowhere", "n", 3, false, "9", "4 4 "},         {"K", "t", 1, true, "dataSize != NULL", "4 "},
      {"K", "n", 1, false, "dataSize != NULL", "4 "},  {"K", "t", 2, true, "dataType != NULL", "4 4 "},
      {"K", "n", 2, false, "dataType != NULL", "4 4 "}, {"K", "t", 3, true, "tempText != NULL", "4 4 14 "},
      {"K", "n", 3, false, "tempText != NULL", "4 4 4 "}};
  // clang-format on
  for (const auto& row : rows) {
    g_failAt = row.failAt;
    g_calls = 0;
    g_sizes.clear();
    m_host.Clear();
    m_host.errorStatus = 0;
    const std::string got =
        row.text ? GetRegString(row.key, row.name, "d", 1).str() : std::to_string(GetRegDword(row.key, row.name, 9, 1));
    std::string report;
    for (const std::string& text : m_host.Texts("LogError", EK_CHECK)) report += text;
    const bool failed = row.failAt != 0 && row.key[0] == 'K';
    EXPECT_EQ(got + "|" + g_sizes + "|" + report,
              (failed ? (row.text ? "" : "0") : row.result) + "|" + row.sizes + "|" + (failed ? row.result : ""))
        << row.name << row.failAt;
    EXPECT_EQ(m_host.Texts("RaiseError", -1), m_host.Texts("LogError", EK_CHECK));
  }
  pelix::registry::SetAllocator(previous);
}

// This process writes 400 numbers while a child writes texts, reporting each call that has returned, until it is
// killed: the hive opens cleanly and holds every value whose call had returned, at most one more.
TEST_F(SettingsTest, WritersSharingTheHiveLoseNoReturnedWriteEvenWhenKilledMidWay) {
  Store(HKCU, "App\\Shared");
  SetRegPath("App");
  auto textOf = [](int32_t i) { return "value-" + std::to_string(i) + std::string(size_t(i % 50), '.'); };
  int reports[2], status = 0, wrong = 0;
  int32_t last = -1, index = 0;
  ASSERT_EQ(pipe(reports), 0);
  const pid_t writer = fork();
  for (int32_t i = 0; writer == 0; ++i) {
    SetText("Shared", ("t" + std::to_string(i)).c_str(), textOf(i));
    if (write(reports[1], &i, sizeof i) != ssize_t(sizeof i)) _exit(3);
  }
  ASSERT_GT(writer, 0);
  close(reports[1]);
  for (DWORD i = 0; i < 400; ++i) SetRegValue("Shared", std::to_string(i).c_str(), i, 1);
  while (last < 150 && read(reports[0], &index, sizeof index) == ssize_t(sizeof index)) last = index;
  ASSERT_EQ(kill(writer, SIGKILL), 0);
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  while (read(reports[0], &index, sizeof index) == ssize_t(sizeof index)) last = index;  // sent before the kill
  ASSERT_TRUE(WIFSIGNALED(status) && last >= 150);
  EXPECT_EQ(Sql(m_dir.User(), "PRAGMA integrity_check"), "ok;");
  for (DWORD i = 0; i < 400; ++i) wrong += GetRegDword("Shared", std::to_string(i).c_str(), ~0u, 1) != i;
  for (int32_t i = 0; i <= last; ++i)
    wrong += GetRegString("Shared", ("t" + std::to_string(i)).c_str(), "", 1) != textOf(i);
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(std::stoi(Sql(m_dir.User(), "SELECT count(*) FROM reg_value")), 400 + last + 2);
  SetText("Shared", "after", "after");  // the hive takes new writes afterwards
  EXPECT_EQ(GetRegString("Shared", "after", "", 1), "after");
}

}  // namespace
