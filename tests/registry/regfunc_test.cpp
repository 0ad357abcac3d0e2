// The six settings operations: full keys, round trips, defaults, the template
// copy from the machine's hive, trace scopes, allocation failures, and several
// terminal processes sharing one hive.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "pelix/regfunc.h"
#include "registry/regfunc_internal.h"
#include "tests/support/recording_host.h"
#include "tests/support/registry_dir.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers
const HKEY HKCU = HKEY_CURRENT_USER, HKLM = HKEY_LOCAL_MACHINE;

void SetText(const CString& key, const CString& name, const std::string& text, int useBasePath = 1) {
  CString value(text);
  SetRegValue(key, name, value, useBasePath);
  EXPECT_EQ(value, CString(text));  // passed by reference, never changed
}

class SettingsTest : public ::testing::Test {
 protected:
  // The calls to the host with one of the names, one per line.
  std::string Calls(std::initializer_list<std::string> names) const {
    std::string text;
    for (const auto& call : m_host.calls)
      if (std::find(names.begin(), names.end(), call.name) != names.end())
        text += call.name + " " + std::to_string(call.kind) + " " + call.file + " " + call.text + "\n";
    return text;
  }

  RegistryDir m_dir;
  RecordingHost m_host;
};

TEST_F(SettingsTest, TheBasePathPrefixesKeysAndNoKeyIsEverMadeButByTheTemplate) {
  m_host.handlerExists = true;
  Store(HKCU, "Software\\Pelix\\Radio");
  Store(HKCU, "Radio");
  SetRegPath("Software\\Pelix");
  SetText("Radio", "Where", "below");
  SetRegValue("Radio", "Count", 0x1234, -3);  // any non-zero value means the base path
  SetText("Radio", "Where", "top", 0);
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Radio", "*values") + Read(HKCU, "Radio", "*values"), "Where;Count;Where;");
  DeleteRegValue("Radio", "Where", 1);
  EXPECT_EQ(GetRegString("Radio", "Where", "-", 1) + GetRegString("Radio", "Where", "-", 0), "-top");
  // Below a key that neither hive has, nothing is written or made, and nothing reported.
  SetText("Nowhere", "Text", "value");
  SetRegValue("Nowhere", "Number", 42, 1);
  DeleteRegValue("Nowhere", "Text", 1);
  EXPECT_EQ(Read(HKCU, "Software\\Pelix", "*keys"), "Radio;");
  EXPECT_EQ(GetRegString("Nowhere", "Text", "fallback", 1) + GetRegString("Nowhere", "Number", "-", 1), "fallback-");
  EXPECT_EQ(Calls({"RaiseError", "LogError", "LogStoredMessages"}), "");
}

// Every value and key of a hive, values in the order given (that of writing by default).
std::string Tree(const std::string& hive, const std::string& order = "v.id") {
  const std::string values =
      "SELECT k.name || '/' || v.name || '=' || v.type || ':' || hex(v.data) FROM reg_value v"
      " JOIN reg_key k ON k.id = v.key ORDER BY " +
      order;
  return Sql(hive, values.c_str()) + Sql(hive, "SELECT name || '(' || class || ')' FROM reg_key ORDER BY id");
}

TEST_F(SettingsTest, TheUsersMissingKeyIsCopiedWholeDepthFirstFromTheTemplateOnlyWhereAndWhenNeeded) {
  Store(HKLM, "Software\\Pelix\\Settings", "Name", REG_SZ, "terminal");
  Store(HKLM, "Software\\Pelix\\Settings", "Port", REG_DWORD, Dword(4001));
  Store(HKLM, "Software\\Pelix\\Settings\\Radio", "Bands", REG_MULTI_SZ, std::string("900\00018\0", 7), "RC");
  Store(HKLM, "Software\\Pelix\\Settings\\Radio\\Deep", "Odd", 0x99, std::string("\0odd", 4));
  Store(HKLM, "Software\\Pelix\\Settings\\Log", "Path", REG_EXPAND_SZ, "%TEMP%");
  Store(HKLM, "Software\\Pelix\\Settings\\Empty");
  const std::string machine = Tree(m_dir.Machine());
  // Each kind of access below a missing key copies only the key it needs ...
  g_regPath = "Software\\Pelix";  // as if set while the machine had nothing
  SetText("Settings\\Radio", "Bands", "mine");
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Settings\\Radio", "Bands") + Read(HKCU, "Software\\Pelix\\Settings", "*keys"),
            "1:mineRadio;");
  DeleteRegValue("Settings\\Log", "Path", 1);
  EXPECT_EQ(GetRegDword("Settings\\Empty", "x", 8, 1), 8u);
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Settings", "*keys") + Read(HKCU, "Software\\Pelix\\Settings\\Log", "*values"),
            "Radio;Log;Empty;");
  // ... and "Settings" itself came into being as the path to them, so its own values never come.
  SetRegValue("Settings", "Port", 5000, 1);
  EXPECT_EQ(GetRegString("Settings", "Name", "none", 1), "none");
  // Copying over an existing key overwrites but never deletes, and closes both keys.
  HKEY source = nullptr, destination = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKLM, "Software\\Pelix\\Settings\\Radio", 0, KEY_READ, &source), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKCU, "Software\\Pelix\\Settings", 0, KEY_ALL_ACCESS, &destination), ERROR_SUCCESS);
  pelix::registry::CopyRegKey(source, destination);
  EXPECT_EQ(RegCloseKey(source) + RegCloseKey(destination), 2 * ERROR_INVALID_HANDLE);
  EXPECT_EQ(Read(HKCU, "Software\\Pelix\\Settings", "*values") + GetRegString("Settings", "Bands", "", 1),
            "Port;Bands;900");
  // A fresh user's hive gets the whole key at the first setting of the base path, subkeys before values.
  RegistryDir fresh;
  ASSERT_EQ(Sql(m_dir.Machine(), ("VACUUM INTO '" + fresh.Machine() + "'").c_str()), "");  // the same template
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(
      Tree(fresh.User()),
      "Deep/Odd=153:006F6464;Radio/Bands=7:39303000313800;Log/Path=2:2554454D5025;Settings/Name=1:7465726D696E616C;"
      "Settings/Port=4:A10F0000;Software();Pelix();Settings();Radio(RC);Deep();Log();Empty();");
  SetText("", "Name", "user");  // full key "Software\Pelix\Settings\" names the base key itself
  DeleteRegValue("Radio", "Bands", 1);
  EXPECT_EQ(Tree(m_dir.Machine()) + Tree(fresh.Machine()), machine + machine);
  Store(HKLM, "Software\\Pelix\\Settings\\Radio", "Bands", REG_SZ, "changed");  // the template changes afterwards
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(GetRegString("", "Name", "-", 1) + GetRegString("Radio", "Bands", "-", 1), "user-");
}

TEST_F(SettingsTest, NamesAndDataBeyondTheCopyBuffersAreCopiedWhole) {
  const std::string longName(300, 'v'), longKey(400, 'k'), longClass(280, 'c'), name259(259, 'n');
  Store(HKLM, "Base", longName.c_str(), REG_SZ, "long name");
  Store(HKLM, "Base", "big", REG_BINARY, std::string(5000, 'Z'));
  Store(HKLM, "Base", "exact", REG_BINARY, std::string(pelix::registry::kCopyDataSize, 'e'));
  Store(HKLM, "Base", name259.c_str(), REG_DWORD, Dword(259));  // fits with its terminator
  Store(HKLM, "Base\\" + longKey, "inside", REG_SZ, "deep", longClass.c_str());
  SetRegPath("Base");
  EXPECT_EQ(Tree(m_dir.User(), "v.name"), Tree(m_dir.Machine(), "v.name"));
}

// Fails the k-th allocation (1-based) and records every size asked for; blocks
// come filled with 0xAA, so that bytes the code forgets to set show.
int g_failAt = 0;
std::string g_sizes;
void* FailingAllocator(size_t size) {
  g_sizes += std::to_string(size) + " ";
  if (std::count(g_sizes.begin(), g_sizes.end(), ' ') == g_failAt) return nullptr;
  return std::memset(std::malloc(size), 0xAA, size);
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
  EXPECT_EQ(Read(HKCU, "App\\K", "n") + Read(HKCU, "App\\K", "cut"),
            "4:" + Dword(0x00434241u) + "1:" + texts[2].second);
  const pelix::registry::Allocator previous = pelix::registry::SetAllocator(FailingAllocator);
  m_host.handlerExists = true;
  const struct {
    const char *key, *name;
    int failAt, text;
    std::string result, sizes;
  } rows[] = {// Texts are read whole up to the first zero byte; empty and missing ones give the default, the size
              // cell starting at 100. Values of any type are read; numbers shorter than 4 bytes are padded with
              // zeros, longer ones give the default. A missing key gives the default before the buffer is allocated.
              // clang-format off
      {"K", "t", 0, true, texts[0].second, "4 4 14 "}, {"K", "long", 0, true, longText, "4 4 5000 "},
      {"K", "cut", 0, true, "ab", "4 4 4 "},           {"K", "empty", 0, true, "d", "4 4 1 "},
      {"K", "missing", 0, true, "d", "4 4 100 "},      {"K", "n", 0, true, "ABC", "4 4 4 "},
      {"K", "n", 0, false, "4407873", "4 4 4 "},       {"K", "four", 0, false, "4244504319", "4 4 4 "},
      {"K", "two", 0, false, "4660", "4 4 4 "},        {"K", "five", 0, false, "9", "4 4 4 "},
      {"Nowhere", "t", 3, true, "d", "4 4 "},          {"Nowhere", "n", 3, false, "9", "4 4 "},
      // A failed allocation is reported once and gives the empty result; the scope still closes.
      {"K", "t", 1, true, "dataSize != NULL", "4 "},   {"K", "n", 1, false, "dataSize != NULL", "4 "},
      {"K", "t", 2, true, "dataType != NULL", "4 4 "}, {"K", "n", 2, false, "dataType != NULL", "4 4 "},
      {"K", "t", 3, true, "tempText != NULL", "4 4 14 "}, {"K", "n", 3, false, "tempText != NULL", "4 4 4 "}};
  // clang-format on
  for (const auto& row : rows) {
    g_failAt = row.failAt;
    g_sizes.clear();
    m_host.Clear();
    m_host.errorStatus = 0;
    const std::string got =
        row.text ? GetRegString(row.key, row.name, "d", 1).str() : std::to_string(GetRegDword(row.key, row.name, 9, 1));
    const bool failed = row.failAt != 0 && row.key[0] == 'K';
    const std::string report = "RaiseError -1  " + row.result + "\nLogError 1 registry/regfunc.cpp " + row.result +
                               "\nLogStoredMessages -1  \nGetErrorStatus -1  \nStoreReturn -1 registry/regfunc.cpp \n";
    const std::string scope = row.text ? "GetRegString()" : "GetRegDword()";
    EXPECT_EQ(got + "|" + g_sizes + "|" +
                  Calls({"StoreEnter", "RaiseError", "LogError", "LogStoredMessages", "StoreReturn", "GetErrorStatus"}),
              (failed ? (row.text ? "" : "0") : row.result) + "|" + row.sizes + "|StoreEnter -1 registry/regfunc.cpp " +
                  scope + "\n" + (failed ? report : report.substr(report.find("StoreReturn"))))
        << row.name << " " << row.failAt;
  }
  pelix::registry::SetAllocator(previous);
  // Each operation opens its own scope in its unit and checks for no error after a call.
  m_host.Clear();
  SetRegPath("App");
  SetText("K", "t", "t");
  SetRegValue("K", "n", 1, 1);
  DeleteRegValue("K", "t", 1);
  EXPECT_EQ(Calls({"StoreEnter", "GetErrorStatus"}),
            "StoreEnter -1 registry/regfunc.cpp SetRegPath()\nStoreEnter -1 registry/regfunc.cpp SetRegValue()\n"
            "StoreEnter -1 registry/regfunc.cpp SetRegValue\nStoreEnter -1 registry/regfunc.cpp DeleteRegValue()\n");
}

// One writer writes 400 numbers to the end while another writes texts, reporting each call that has returned, until
// it is killed: the hive opens cleanly and holds every value whose call had returned, at most one more.
TEST_F(SettingsTest, WritersSharingTheHiveLoseNoReturnedWriteEvenWhenKilledMidWay) {
  Store(HKCU, "App\\Shared");
  SetRegPath("App");
  auto textOf = [](int32_t i) { return "value-" + std::to_string(i) + std::string(size_t(i % 50), '.'); };
  int reports[2], status[2] = {1, 1}, wrong = 0;
  int32_t last = -1, index = 0;
  ASSERT_EQ(pipe(reports), 0);
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    if ((writers[w] = fork()) != 0) continue;
    for (DWORD i = 0; w == 0 && i < 400; ++i) SetRegValue("Shared", std::to_string(i).c_str(), i, 1);
    for (int32_t i = 0; w == 1; ++i) {
      SetText("Shared", ("t" + std::to_string(i)).c_str(), textOf(i));
      if (write(reports[1], &i, sizeof i) != ssize_t(sizeof i)) _exit(3);
    }
    _exit(0);
  }
  close(reports[1]);
  ASSERT_EQ(waitpid(writers[0], &status[0], 0), writers[0]);
  while (last < 150 && read(reports[0], &index, sizeof index) == ssize_t(sizeof index)) last = index;
  ASSERT_EQ(kill(writers[1], SIGKILL), 0);
  ASSERT_EQ(waitpid(writers[1], &status[1], 0), writers[1]);
  while (read(reports[0], &index, sizeof index) == ssize_t(sizeof index)) last = index;  // sent before the kill
  ASSERT_TRUE(status[0] == 0 && WIFSIGNALED(status[1]) && last >= 150);
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
