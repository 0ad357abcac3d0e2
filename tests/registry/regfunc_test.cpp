// The six settings operations: full keys, round trips, defaults, the template
// copy from the machine's hive, trace scopes and allocation failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pelix/service_result.h"
#include "registry/regfunc_internal.h"
#include "tests/registry/registry_support.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers
using Strings = std::vector<std::string>;

// The name and class of subkey index of root\path.
std::pair<std::string, std::string> SubKeyAndClass(HKEY root, const std::string& path, DWORD index) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {"<no key>", ""};
  std::vector<char> name(600);
  std::vector<char> keyClass(600);
  DWORD nameSize = 600;
  DWORD classSize = 600;
  LONG result = RegEnumKeyExA(key, index, name.data(), &nameSize, nullptr, keyClass.data(), &classSize, nullptr);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return {"<no subkey>", ""};
  return {name.data(), keyClass.data()};
}

// --- Full keys ---------------------------------------------------------------

TEST_F(SettingsTest, UseBasePathPutsTheKeyBelowTheBasePath) {
  MakeKey(HKEY_CURRENT_USER, "Software\\Pelix\\Radio");
  MakeKey(HKEY_CURRENT_USER, "Radio");
  SetRegPath("Software\\Pelix");
  SetText("Radio", "Where", "below");
  SetRegValue("Radio", "Count", 7, -3);  // any non-zero value means the base path
  SetText("Radio", "Where", "top", 0);
  EXPECT_EQ(UserBytes("Software\\Pelix\\Radio", "Where"), "below");
  EXPECT_EQ(UserBytes("Software\\Pelix\\Radio", "Count"), Dword(7));
  EXPECT_EQ(UserBytes("Radio", "Where"), "top");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Count").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 2), "below");
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 0), "top");
  EXPECT_EQ(GetRegString("Software\\Pelix\\Radio", "Where", "none", 0), "below");
  EXPECT_EQ(GetRegDword("Radio", "Count", 0, 1), 7u);
  DeleteRegValue("Radio", "Where", 1);
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 1), "none");
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 0), "top");
  // A later base path serves the calls that follow.
  MakeKey(HKEY_CURRENT_USER, "Two\\Radio");
  SetRegPath("Two");
  SetRegValue("Radio", "Count", 2, 1);
  EXPECT_EQ(GetRegDword("Radio", "Count", 0, 1), 2u);
  EXPECT_EQ(GetRegDword("Software\\Pelix\\Radio", "Count", 0, 0), 7u);
}

TEST_F(SettingsTest, WritingBelowAKeyTheUserCannotHaveWritesNothing) {
  m_host.handlerExists = true;
  SetRegPath("Software\\Pelix");
  SetText("Nowhere", "Text", "value");
  SetRegValue("Nowhere", "Number", 42, 1);
  DeleteRegValue("Nowhere", "Text", 1);
  EXPECT_FALSE(FileExists(m_dir.UserHive()));  // not even the hive was made
  EXPECT_EQ(GetRegString("Nowhere", "Text", "fallback", 1), "fallback");
  EXPECT_EQ(GetRegDword("Nowhere", "Number", 1234, 1), 1234u);
  // Also when the user's hive exists but lacks the key.
  MakeKey(HKEY_CURRENT_USER, "Software\\Pelix");
  SetRegValue("Nowhere", "Number", 42, 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Nowhere"));
  EXPECT_EQ(GetRegDword("Nowhere", "Number", 1234, 1), 1234u);
  // An empty base path makes the full key start with a backslash: "\Radio" names no key.
  MakeKey(HKEY_CURRENT_USER, "Radio");
  MakeKey(HKEY_LOCAL_MACHINE, "Radio");
  SetRegPath("");
  SetText("Radio", "Where", "lost");
  SetRegValue("Radio", "Count", 9, 1);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Where").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Count").result, ERROR_FILE_NOT_FOUND);
  SetText("Radio", "Where", "lost", 0);
  EXPECT_EQ(GetRegString("Radio", "Where", "default", 1), "default");
  EXPECT_EQ(GetRegString("Radio", "Where", "default", 0), "lost");
  EXPECT_EQ(GetRegDword("Radio", "Count", 5, 1), 5u);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(m_host.CallsNamed("LogError").empty());
}

// --- Round trips -------------------------------------------------------------

TEST_F(SettingsTest, TextsAreStoredByteForByteAndReadUpToTheirFirstZeroByte) {
  MakeKey(HKEY_CURRENT_USER, "App\\Texts");
  SetRegPath("App");
  const struct {
    std::string text;
    std::string read;
  } rows[] = {{"plain", "plain"},
              {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
              {"\xff\x80\x01\x7f", "\xff\x80\x01\x7f"},
              {std::string(5000, 'L'), std::string(5000, 'L')},
              {"a\\b/c", "a\\b/c"},
              {std::string("left\0right", 10), "left"},
              {"", "default"}};  // an empty text reads as the default
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 20));
    CString value(row.text);
    SetRegValue("Texts", "v", value, 1);
    EXPECT_EQ(value, CString(row.text));
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, "App\\Texts", "v");
    EXPECT_EQ(stored.result, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.bytes, row.text);  // no terminator stored
    EXPECT_EQ(GetRegString("Texts", "v", "default", 1), CString(row.read));
  }
}

TEST_F(SettingsTest, NumbersRoundTripAsFourLittleEndianBytesAndDeletesRemoveOneValue) {
  MakeKey(HKEY_CURRENT_USER, "App\\Numbers");
  SetRegPath("App");
  m_host.handlerExists = true;
  for (DWORD number : {0u, 1u, 255u, 256u, 0x1234u, 0x00FF00FFu, 0x80000000u, 0xFFFFFFFFu}) {
    SetRegValue("Numbers", "n", number, 1);
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, "App\\Numbers", "n");
    EXPECT_EQ(stored.type, REG_DWORD);
    EXPECT_EQ(stored.bytes, Dword(number));
    EXPECT_EQ(GetRegDword("Numbers", "n", 77, 1), number);
  }
  SetRegValue("Numbers", "keep", 1, 1);
  DeleteRegValue("Numbers", "N", 1);  // names are case-insensitive
  DeleteRegValue("Numbers", "never-there", 1);
  EXPECT_EQ(GetRegDword("Numbers", "n", 0, 1), 0u);
  EXPECT_EQ(GetRegDword("Numbers", "keep", 0, 1), 1u);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "App\\Numbers"));
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

// --- The template copy -------------------------------------------------------

const struct TemplateValue {
  const char* key;
  const char* name;
  DWORD type;
  std::string bytes;
  const char* keyClass;
} kTemplate[] = {
    {"Software\\Pelix\\Settings", "Name", REG_SZ, "terminal", nullptr},
    {"Software\\Pelix\\Settings", "Port", REG_DWORD, Dword(4001), nullptr},
    {"Software\\Pelix\\Settings", "Blob", REG_BINARY, std::string("\0\1\2\0", 4), nullptr},
    {"Software\\Pelix\\Settings\\Radio", "Bands", REG_MULTI_SZ,
     std::string("900\0"
                 "1800\0\0",
                 10),
     "RadioClass"},
    {"Software\\Pelix\\Settings\\Radio\\Deep", "Level", REG_DWORD, Dword(3), nullptr},
    {"Software\\Pelix\\Settings\\Radio\\Deep", "Odd", 0x99, "odd", nullptr},
    {"Software\\Pelix\\Settings\\Log", "Path", REG_EXPAND_SZ, "%TEMP%\\log", nullptr},
};

class TemplateTest : public SettingsTest {
 protected:
  void SetUp() override {
    for (const auto& v : kTemplate) Store(HKEY_LOCAL_MACHINE, v.key, v.name, v.type, v.bytes, v.keyClass);
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Empty");
  }

  static void ExpectCopied() {
    for (const auto& v : kTemplate) {
      StoredValue stored = ReadStored(HKEY_CURRENT_USER, v.key, v.name);
      EXPECT_EQ(stored.result, ERROR_SUCCESS) << v.key << " " << v.name;
      EXPECT_EQ(stored.type, v.type) << v.key << " " << v.name;
      EXPECT_EQ(stored.bytes, v.bytes) << v.key << " " << v.name;
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Empty"));
    // The subkey's class comes along.
    EXPECT_EQ(SubKeyAndClass(HKEY_CURRENT_USER, "Software\\Pelix\\Settings", 0),
              std::make_pair(std::string("Radio"), std::string("RadioClass")));
  }

  // The keys that received values, in the order the values were written.
  Strings UserWriteOrder() {
    Strings keys;
    EXPECT_TRUE(Sql(m_dir.UserHive(),
                    "SELECT k.name || '/' || v.name FROM reg_value v JOIN reg_key k ON k.id = v.key ORDER BY v.id",
                    &keys, SQLITE_OPEN_READONLY));
    return keys;
  }
};

TEST_F(TemplateTest, SettingTheBasePathCopiesTheWholeTreeDepthFirstIntoTheUsersHiveOnly) {
  EXPECT_FALSE(FileExists(m_dir.UserHive()));
  SetRegPath("Software\\Pelix\\Settings");
  ExpectCopied();
  EXPECT_EQ(GetRegDword("Radio\\Deep", "Level", 0, 1), 3u);
  // Subkeys before values.
  EXPECT_EQ(UserWriteOrder(), (Strings{"Deep/Level", "Deep/Odd", "Radio/Bands", "Log/Path", "Settings/Name",
                                       "Settings/Port", "Settings/Blob"}));
  SetText("", "Name", "user");
  DeleteRegValue("", "Port", 1);
  EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Name").bytes, "terminal");
  EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Port").bytes, Dword(4001));
}

TEST_F(TemplateTest, TheFirstValueAccessCopiesAMissingKey) {
  g_regPath = "Software\\Pelix";  // as if set while the machine had nothing
  EXPECT_EQ(GetRegString("Settings", "Name", "none", 1), "terminal");
  ExpectCopied();
}

TEST_F(TemplateTest, EveryKindOfAccessCopiesFirst) {
  g_regPath = "Software\\Pelix";
  SetText("Settings\\Radio", "Bands", "mine");
  EXPECT_EQ(UserBytes("Software\\Pelix\\Settings\\Radio", "Bands"), "mine");
  EXPECT_EQ(UserBytes("Software\\Pelix\\Settings\\Radio\\Deep", "Level"), Dword(3));
  // Only the key asked for came over.
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Log"));
  DeleteRegValue("Settings\\Log", "Path", 1);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Log"));
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Log", "Path").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetRegDword("Settings\\Empty", "x", 8, 1), 8u);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Empty"));
  // "Settings" itself came into being as the path to the copied subkeys, so
  // the user has it and its own values are never copied.
  SetRegValue("Settings", "Port", 5000, 1);
  EXPECT_EQ(GetRegDword("Settings", "Port", 0, 1), 5000u);
  EXPECT_EQ(GetRegString("Settings", "Name", "none", 1), "none");
}

TEST_F(TemplateTest, AUserWhoHasTheTreeIsNeverCopiedAgain) {
  SetRegPath("Software\\Pelix\\Settings");
  DeleteRegValue("", "Name", 1);  // full key "Software\Pelix\Settings\" names the base key itself
  SetRegValue("Radio\\Deep", "Level", 10, 1);
  // The template changes afterwards.
  Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Name", REG_SZ, "changed");
  Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "New", REG_SZ, "new");
  Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Radio\\Deep", "Level", REG_DWORD, Dword(99));
  Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Added", "Flag", REG_DWORD, Dword(1));
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(GetRegString("", "Name", "gone", 1), "gone");
  EXPECT_EQ(GetRegString("", "New", "absent", 1), "absent");
  EXPECT_EQ(GetRegDword("Radio\\Deep", "Level", 0, 1), 10u);
  // A key the user lacks still comes from the template.
  EXPECT_EQ(GetRegDword("Added", "Flag", 0, 1), 1u);
}

TEST_F(SettingsTest, NamesAndDataBeyondTheCopyBuffersAreCopiedWhole) {
  const std::string longValueName(300, 'v');
  const std::string longKeyName(400, 'k');
  const std::string longClass(280, 'c');
  const std::string bigData(5000, '\x5a');
  const std::string exact(pelix::registry::kCopyDataSize, 'e');
  const std::string nameOf259(259, 'n');  // fits with its terminator
  Store(HKEY_LOCAL_MACHINE, "Base", longValueName, REG_SZ, "long name");
  Store(HKEY_LOCAL_MACHINE, "Base", "big", REG_BINARY, bigData);
  Store(HKEY_LOCAL_MACHINE, "Base", "exact", REG_BINARY, exact);
  Store(HKEY_LOCAL_MACHINE, "Base", nameOf259, REG_DWORD, Dword(259));
  Store(HKEY_LOCAL_MACHINE, "Base\\" + longKeyName, "inside", REG_SZ, "deep", longClass.c_str());
  SetRegPath("Base");
  EXPECT_EQ(UserBytes("Base", longValueName), "long name");
  EXPECT_EQ(UserBytes("Base", "big"), bigData);
  EXPECT_EQ(UserBytes("Base", "exact"), exact);
  EXPECT_EQ(UserBytes("Base", nameOf259), Dword(259));
  EXPECT_EQ(UserBytes("Base\\" + longKeyName, "inside"), "deep");
  EXPECT_EQ(SubKeyAndClass(HKEY_CURRENT_USER, "Base", 0).second, longClass);
  EXPECT_EQ(GetRegString("", longValueName.c_str(), "", 1), "long name");
  EXPECT_EQ(GetRegString("", "big", "", 1), CString(bigData));
}

TEST_F(SettingsTest, CopyRegKeyOverwritesButNeverDeletesAndClosesBothKeys) {
  Store(HKEY_LOCAL_MACHINE, "Src", "a", REG_SZ, "from source");
  Store(HKEY_CURRENT_USER, "Dst", "a", REG_SZ, "old");
  Store(HKEY_CURRENT_USER, "Dst", "b", REG_SZ, "kept");
  HKEY source = nullptr;
  HKEY destination = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Src", 0, KEY_READ, &source), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Dst", 0, KEY_ALL_ACCESS, &destination), ERROR_SUCCESS);
  pelix::registry::CopyRegKey(source, destination);
  EXPECT_EQ(RegCloseKey(source), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(destination), ERROR_INVALID_HANDLE);
  EXPECT_EQ(UserBytes("Dst", "a"), "from source");
  EXPECT_EQ(UserBytes("Dst", "b"), "kept");
  // InitUserRegKey leaves an existing user key alone and makes none the machine lacks.
  Store(HKEY_LOCAL_MACHINE, "K", "v", REG_SZ, "machine");
  MakeKey(HKEY_CURRENT_USER, "K");
  pelix::registry::InitUserRegKey("K");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "K", "v").result, ERROR_FILE_NOT_FOUND);
  pelix::registry::InitUserRegKey("Missing");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Missing"));
}

TEST_F(SettingsTest, ACorruptHiveGivesDefaultsAndIsLeftAsItWas) {
  m_host.handlerExists = true;
  const std::string garbage = "PK\x03\x04 not a registry at all \x00\x01\x02";
  WriteFileBytes(m_dir.UserHive(), garbage);
  Store(HKEY_LOCAL_MACHINE, "App\\K", "v", REG_SZ, "template");
  SetRegPath("App");
  SetText("K", "v", "x");
  SetRegValue("K", "n", 5, 1);
  DeleteRegValue("K", "v", 1);
  EXPECT_EQ(GetRegString("K", "v", "default", 1), "default");
  EXPECT_EQ(GetRegDword("K", "n", 17, 1), 17u);
  EXPECT_EQ(ReadFileBytes(m_dir.UserHive()), garbage);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
  // A corrupt template is not copied and also left alone.
  RegistryDir other;
  WriteFileBytes(other.MachineHive(), garbage);
  SetRegPath("App");
  EXPECT_EQ(GetRegString("K", "v", "default", 1), "default");
  EXPECT_FALSE(FileExists(other.UserHive()));
  EXPECT_EQ(ReadFileBytes(other.MachineHive()), garbage);
}

// --- Trace scopes ------------------------------------------------------------

TEST_F(SettingsTest, EachOperationOpensItsOwnScopeInTheRegfuncUnit) {
  m_host.handlerExists = true;
  MakeKey(HKEY_CURRENT_USER, "App\\K");
  SetRegPath("App");
  SetText("K", "t", "t");
  SetRegValue("K", "n", 1, 1);
  GetRegString("K", "t", "", 1);
  GetRegDword("K", "n", 0, 1);
  DeleteRegValue("K", "t", 1);
  Strings scopes;
  for (const auto& call : m_host.CallsNamed("StoreEnter")) {
    scopes.push_back(call.text);
    EXPECT_EQ(call.file, "registry/regfunc.cpp");
  }
  EXPECT_EQ(scopes, (Strings{"SetRegPath()", "SetRegValue()", "SetRegValue", "GetRegString()", "GetRegDword()",
                             "DeleteRegValue()"}));
  EXPECT_EQ(m_host.CallsNamed("StoreReturn").size(), 6u);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(m_host.CallsNamed("GetErrorStatus").empty());  // no check after a call
  // Without a handler an operation costs two host calls.
  m_host.handlerExists = false;
  m_host.Clear();
  EXPECT_EQ(GetRegDword("K", "missing", 3, 1), 3u);
  EXPECT_EQ(m_host.Names(), (Strings{"ErrorHandlerExists", "ErrorHandlerExists"}));
}

// --- Allocation failures -----------------------------------------------------

// Fails the k-th allocation (1-based) and records every size asked for.
int g_failAt = 0;
int g_allocations = 0;
std::vector<size_t> g_sizes;

// Blocks come filled with 0xAA, so that bytes the code forgets to set show.
void* FailingAllocator(size_t size) {
  ++g_allocations;
  g_sizes.push_back(size);
  if (g_allocations == g_failAt) return nullptr;
  void* block = std::malloc(size);
  if (block != nullptr) std::memset(block, 0xAA, size);
  return block;
}

class AllocationTest : public SettingsTest {
 protected:
  void SetUp() override {
    MakeKey(HKEY_CURRENT_USER, "App\\K");
    SetRegPath("App");
    SetText("K", "t", "some text of 25 bytes....");
    SetRegValue("K", "n", 0xABCDu, 1);
    m_previous = pelix::registry::SetAllocator(FailingAllocator);
    g_failAt = 0;
    g_allocations = 0;
    g_sizes.clear();
    m_host.handlerExists = true;
    m_host.Clear();
  }
  void TearDown() override { pelix::registry::SetAllocator(m_previous); }

  pelix::registry::Allocator m_previous = nullptr;
};

TEST_F(AllocationTest, TheCellsAndTheBufferAreSizedAsTheValueNeeds) {
  EXPECT_EQ(GetRegString("K", "t", "d", 1), "some text of 25 bytes....");
  EXPECT_EQ(g_sizes, (std::vector<size_t>{4, 4, 25}));
  g_sizes.clear();
  EXPECT_EQ(GetRegString("K", "missing", "d", 1), "d");
  EXPECT_EQ(g_sizes, (std::vector<size_t>{4, 4, 100}));  // the size cell's starting value
  g_sizes.clear();
  EXPECT_EQ(GetRegDword("K", "n", 1, 1), 0xABCDu);
  EXPECT_EQ(g_sizes, (std::vector<size_t>{4, 4, 4}));
  // A missing key gives the default before the buffer is allocated.
  g_failAt = 3;
  g_allocations = 0;
  EXPECT_EQ(GetRegString("Nowhere", "t", "the default", 1), "the default");
  EXPECT_EQ(g_allocations, 2);
  g_allocations = 0;
  EXPECT_EQ(GetRegDword("Nowhere", "n", 55, 1), 55u);
  EXPECT_EQ(g_allocations, 2);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

// Reads of any type, in buffers that start as 0xAA: texts end at the first zero
// byte, numbers take four bytes (shorter ones padded with zeros).
TEST_F(AllocationTest, ReadsTakeValuesOfAnyTypeAndUseOnlyTheBytesRead) {
  SetRegValue("K", "abc", 0x00434241u, 1);
  SetRegValue("K", "full", 0x44434241u, 1);
  SetRegValue("K", "zero", 0u, 1);
  SetText("K", "four", "abcd");
  SetText("K", "five", "abcde");
  SetText("K", "two", "\x34\x12");
  EXPECT_EQ(GetRegString("K", "abc", "d", 1), "ABC");
  EXPECT_EQ(GetRegString("K", "full", "d", 1), "ABCD");
  EXPECT_EQ(GetRegString("K", "zero", "d", 1), "");  // four bytes were read: the empty text wins
  EXPECT_EQ(GetRegString("K", "missing", "d", 1), "d");
  EXPECT_EQ(GetRegString("K", "two", "d", 1), "\x34\x12");
  EXPECT_EQ(GetRegDword("K", "four", 9, 1), 0x64636261u);
  EXPECT_EQ(GetRegDword("K", "five", 9, 1), 9u);  // too long: the default
  EXPECT_EQ(GetRegDword("K", "two", 9, 1), 0x1234u);
  EXPECT_EQ(GetRegDword("K", "missing", 9, 1), 9u);
}

TEST_F(AllocationTest, EachFailedAllocationIsReportedOnceAndGivesTheEmptyResult) {
  const char* const conditions[] = {"dataSize != NULL", "dataType != NULL", "tempText != NULL"};
  for (int k = 1; k <= 3; ++k) {
    for (bool text : {true, false}) {
      SCOPED_TRACE(std::to_string(k) + (text ? " GetRegString" : " GetRegDword"));
      g_failAt = k;
      g_allocations = 0;
      m_host.Clear();
      m_host.errorStatus = 0;
      if (text) {
        EXPECT_EQ(GetRegString("K", "t", "the default", 1), "");
      } else {
        EXPECT_EQ(GetRegDword("K", "n", 55, 1), 0u);
      }
      // The report of one failed allocation, and no unspecified error after it.
      Strings names;
      for (const auto& call : m_host.calls) {
        if (call.name == "RaiseError" || call.name == "LogError" || call.name == "LogStoredMessages") {
          names.push_back(call.name);
        }
      }
      EXPECT_EQ(names, (Strings{"RaiseError", "LogError", "LogStoredMessages"}));
      ASSERT_EQ(m_host.CallsNamed("RaiseError").size(), 1u);
      EXPECT_EQ(m_host.CallsNamed("RaiseError")[0].text, conditions[k - 1]);
      EXPECT_EQ(m_host.Texts("LogError", EK_CHECK), Strings{conditions[k - 1]});
      EXPECT_TRUE(m_host.Texts("LogError", EK_UNSPECIFIED).empty());
      EXPECT_EQ(m_host.CallsNamed("StoreReturn").size(), 1u);  // the scope still closes
    }
  }
}

}  // namespace
