// The six settings operations: full keys, round trips, defaults, the template
// copy from the machine's hive, trace scopes and allocation failures.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pelix/service_result.h"
#include "registry/regfunc_internal.h"
#include "tests/registry/registry_support.h"

namespace {

using pelix::test::Dword;
using pelix::test::FileExists;
using pelix::test::KeyExists;
using pelix::test::MakeKey;
using pelix::test::ReadStored;
using pelix::test::SettingsTest;
using pelix::test::Store;
using pelix::test::StoredValue;

// --- Full keys ---------------------------------------------------------------

TEST_F(SettingsTest, UseBasePathPutsTheKeyBelowTheBasePath) {
  MakeKey(HKEY_CURRENT_USER, "Software\\Pelix\\Radio");
  MakeKey(HKEY_CURRENT_USER, "Radio");
  SetRegPath("Software\\Pelix");
  EXPECT_EQ(g_regPath, "Software\\Pelix");
  CString below("below");
  CString top("top");
  SetRegValue("Radio", "Where", below, 1);
  SetRegValue("Radio", "Count", 7, -3);  // any non-zero value means the base path
  SetRegValue("Radio", "Where", top, 0);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Software\\Pelix\\Radio", "Where").bytes, "below");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Software\\Pelix\\Radio", "Count").bytes, Dword(7));
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Where").bytes, "top");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Count").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 2), "below");
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 0), "top");
  EXPECT_EQ(GetRegString("Software\\Pelix\\Radio", "Where", "none", 0), "below");
  EXPECT_EQ(GetRegDword("Radio", "Count", 0, 1), 7u);
  DeleteRegValue("Radio", "Where", 1);
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 1), "none");
  EXPECT_EQ(GetRegString("Radio", "Where", "none", 0), "top");
}

TEST_F(SettingsTest, AnEmptyBasePathMakesTheFullKeyStartWithABackslash) {
  MakeKey(HKEY_CURRENT_USER, "Radio");
  MakeKey(HKEY_LOCAL_MACHINE, "Radio");
  SetRegPath("");
  CString text("lost");
  SetRegValue("Radio", "Where", text, 1);  // "\Radio" names no key
  SetRegValue("Radio", "Count", 9, 1);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Where").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Radio", "Count").result, ERROR_FILE_NOT_FOUND);
  SetRegValue("Radio", "Where", text, 0);
  EXPECT_EQ(GetRegString("Radio", "Where", "default", 1), "default");
  EXPECT_EQ(GetRegString("Radio", "Where", "default", 0), "lost");
  EXPECT_EQ(GetRegDword("Radio", "Count", 5, 1), 5u);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

TEST_F(SettingsTest, ALaterBasePathServesTheCallsThatFollow) {
  MakeKey(HKEY_CURRENT_USER, "One\\K");
  MakeKey(HKEY_CURRENT_USER, "Two\\K");
  SetRegPath("One");
  SetRegValue("K", "n", 1, 1);
  SetRegPath("Two");
  SetRegValue("K", "n", 2, 1);
  EXPECT_EQ(GetRegDword("K", "n", 0, 1), 2u);
  EXPECT_EQ(GetRegDword("One\\K", "n", 0, 0), 1u);
}

// --- Missing keys ------------------------------------------------------------

TEST_F(SettingsTest, WritingBelowAKeyNeitherHiveHasWritesNothing) {
  m_host.handlerExists = true;
  SetRegPath("Software\\Pelix");
  CString text("value");
  SetRegValue("Nowhere", "Text", text, 1);
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
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(m_host.CallsNamed("LogError").empty());
}

// --- Round trips -------------------------------------------------------------

TEST_F(SettingsTest, TextsRoundTripByteForByteAndStayUnchanged) {
  MakeKey(HKEY_CURRENT_USER, "App\\Texts");
  SetRegPath("App");
  const std::vector<std::string> texts = {"plain", "caf\xc3\xa9 \xe2\x82\xac", "\xff\x80\x01\x7f",
                                          std::string(5000, 'L'), "a\\b/c"};
  for (const std::string& text : texts) {
    CString value(text);
    SetRegValue("Texts", "v", value, 1);
    EXPECT_EQ(value, CString(text));
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, "App\\Texts", "v");
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.bytes, text);  // no terminator stored
    EXPECT_EQ(GetRegString("Texts", "v", "default", 1), CString(text));
  }
}

TEST_F(SettingsTest, TextsEndAtTheirFirstZeroByteWhenRead) {
  MakeKey(HKEY_CURRENT_USER, "App\\Texts");
  SetRegPath("App");
  CString value(std::string("left\0right", 10));
  SetRegValue("Texts", "v", value, 1);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "App\\Texts", "v").bytes.size(), 10u);
  EXPECT_EQ(GetRegString("Texts", "v", "default", 1), "left");
}

TEST_F(SettingsTest, AnEmptyTextIsReadBackAsTheDefault) {
  MakeKey(HKEY_CURRENT_USER, "App\\Texts");
  SetRegPath("App");
  CString empty;
  SetRegValue("Texts", "v", empty, 1);
  StoredValue stored = ReadStored(HKEY_CURRENT_USER, "App\\Texts", "v");
  EXPECT_EQ(stored.result, ERROR_SUCCESS);
  EXPECT_EQ(stored.type, REG_SZ);
  EXPECT_TRUE(stored.bytes.empty());
  EXPECT_EQ(GetRegString("Texts", "v", "default", 1), "default");
}

TEST_F(SettingsTest, NumbersRoundTripAsFourLittleEndianBytes) {
  MakeKey(HKEY_CURRENT_USER, "App\\Numbers");
  SetRegPath("App");
  for (DWORD number : {0u, 1u, 255u, 256u, 0x1234u, 0x00FF00FFu, 0x80000000u, 0xFFFFFFFFu}) {
    SetRegValue("Numbers", "n", number, 1);
    StoredValue stored = ReadStored(HKEY_CURRENT_USER, "App\\Numbers", "n");
    EXPECT_EQ(stored.type, REG_DWORD);
    EXPECT_EQ(stored.bytes, Dword(number));
    EXPECT_EQ(GetRegDword("Numbers", "n", 77, 1), number);
  }
}

TEST_F(SettingsTest, StringReadsTakeAnyTypeUpToTheFirstZeroByte) {
  MakeKey(HKEY_CURRENT_USER, "App\\Mixed");
  SetRegPath("App");
  SetRegValue("Mixed", "abc", 0x00434241u, 1);
  SetRegValue("Mixed", "full", 0x44434241u, 1);
  SetRegValue("Mixed", "zero", 0u, 1);
  EXPECT_EQ(GetRegString("Mixed", "abc", "d", 1), "ABC");
  EXPECT_EQ(GetRegString("Mixed", "full", "d", 1), "ABCD");
  // Four bytes were read, so the (empty) text wins over the default.
  EXPECT_EQ(GetRegString("Mixed", "zero", "d", 1), "");
  EXPECT_EQ(GetRegString("Mixed", "missing", "d", 1), "d");
}

TEST_F(SettingsTest, NumberReadsTakeFourBytesOfAnyType) {
  MakeKey(HKEY_CURRENT_USER, "App\\Mixed");
  SetRegPath("App");
  CString four("abcd");
  CString five("abcde");
  CString two("\x34\x12");
  SetRegValue("Mixed", "four", four, 1);
  SetRegValue("Mixed", "five", five, 1);
  SetRegValue("Mixed", "two", two, 1);
  EXPECT_EQ(GetRegDword("Mixed", "four", 9, 1), 0x64636261u);
  EXPECT_EQ(GetRegDword("Mixed", "five", 9, 1), 9u);  // too long: the default
  EXPECT_EQ(GetRegDword("Mixed", "two", 9, 1), 0x1234u);
  EXPECT_EQ(GetRegDword("Mixed", "missing", 9, 1), 9u);
}

TEST_F(SettingsTest, DeletingRemovesOneValueAndAMissingOneChangesNothing) {
  MakeKey(HKEY_CURRENT_USER, "App\\Del");
  SetRegPath("App");
  m_host.handlerExists = true;
  SetRegValue("Del", "keep", 1, 1);
  SetRegValue("Del", "drop", 2, 1);
  DeleteRegValue("Del", "DROP", 1);  // names are case-insensitive
  DeleteRegValue("Del", "never-there", 1);
  EXPECT_EQ(GetRegDword("Del", "drop", 0, 1), 0u);
  EXPECT_EQ(GetRegDword("Del", "keep", 0, 1), 1u);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "App\\Del"));
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

// --- The template copy -------------------------------------------------------

class TemplateTest : public SettingsTest {
 protected:
  void SetUp() override {
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Name", REG_SZ, "terminal");
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Port", REG_DWORD, Dword(4001));
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Blob", REG_BINARY, std::string("\0\1\2\0", 4));
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Radio", "Bands", REG_MULTI_SZ,
          std::string("900\0"
                      "1800\0\0",
                      10),
          "RadioClass");
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Radio\\Deep", "Level", REG_DWORD, Dword(3));
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Radio\\Deep", "Odd", 0x99, "odd");
    Store(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Log", "Path", REG_EXPAND_SZ, "%TEMP%\\log");
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings\\Empty");
  }

  void ExpectCopied() {
    const struct {
      const char* key;
      const char* name;
      DWORD type;
      std::string bytes;
    } expected[] = {
        {"Software\\Pelix\\Settings", "Name", REG_SZ, "terminal"},
        {"Software\\Pelix\\Settings", "Port", REG_DWORD, Dword(4001)},
        {"Software\\Pelix\\Settings", "Blob", REG_BINARY, std::string("\0\1\2\0", 4)},
        {"Software\\Pelix\\Settings\\Radio", "Bands", REG_MULTI_SZ,
         std::string("900\0"
                     "1800\0\0",
                     10)},
        {"Software\\Pelix\\Settings\\Radio\\Deep", "Level", REG_DWORD, Dword(3)},
        {"Software\\Pelix\\Settings\\Radio\\Deep", "Odd", 0x99, "odd"},
        {"Software\\Pelix\\Settings\\Log", "Path", REG_EXPAND_SZ, "%TEMP%\\log"},
    };
    for (const auto& e : expected) {
      StoredValue stored = ReadStored(HKEY_CURRENT_USER, e.key, e.name);
      EXPECT_EQ(stored.result, ERROR_SUCCESS) << e.key << " " << e.name;
      EXPECT_EQ(stored.type, e.type) << e.key << " " << e.name;
      EXPECT_EQ(stored.bytes, e.bytes) << e.key << " " << e.name;
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Empty"));
    // The subkey's class comes along.
    HKEY settings = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Pelix\\Settings", 0, KEY_READ, &settings), ERROR_SUCCESS);
    char name[64];
    char keyClass[64];
    DWORD nameSize = sizeof name;
    DWORD classSize = sizeof keyClass;
    ASSERT_EQ(RegEnumKeyExA(settings, 0, name, &nameSize, nullptr, keyClass, &classSize, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Radio");
    EXPECT_STREQ(keyClass, "RadioClass");
    RegCloseKey(settings);
  }

  // The keys that received values, in the order the values were written.
  std::vector<std::string> UserWriteOrder() {
    std::vector<std::string> keys;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_dir.UserHive().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(db,
                         "SELECT k.name || '/' || v.name FROM reg_value v JOIN reg_key k ON k.id = v.key"
                         " ORDER BY v.id",
                         -1, &stmt, nullptr);
      while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
        keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return keys;
  }
};

TEST_F(TemplateTest, SettingTheBasePathCopiesTheMachinesWholeTree) {
  EXPECT_FALSE(FileExists(m_dir.UserHive()));
  SetRegPath("Software\\Pelix\\Settings");
  ExpectCopied();
  EXPECT_EQ(GetRegDword("Radio\\Deep", "Level", 0, 1), 3u);
}

TEST_F(TemplateTest, TheCopyIsDepthFirstWithSubkeysBeforeValues) {
  SetRegPath("Software\\Pelix\\Settings");
  EXPECT_EQ(UserWriteOrder(), (std::vector<std::string>{"Deep/Level", "Deep/Odd", "Radio/Bands", "Log/Path",
                                                        "Settings/Name", "Settings/Port", "Settings/Blob"}));
}

TEST_F(TemplateTest, TheFirstValueAccessCopiesAMissingKey) {
  g_regPath = "Software\\Pelix";  // as if set while the machine had nothing
  EXPECT_EQ(GetRegString("Settings", "Name", "none", 1), "terminal");
  ExpectCopied();
}

TEST_F(TemplateTest, EveryKindOfAccessCopiesFirst) {
  g_regPath = "Software\\Pelix";
  {
    CString text("mine");
    SetRegValue("Settings\\Radio", "Bands", text, 1);
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Radio", "Bands").bytes, "mine");
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Radio\\Deep", "Level").bytes, Dword(3));
    // Only the key asked for came over.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Pelix\\Settings\\Log"));
  }
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

TEST_F(TemplateTest, OnlyTheUsersHiveIsWritten) {
  SetRegPath("Software\\Pelix\\Settings");
  CString text("user");
  SetRegValue("", "Name", text, 1);
  DeleteRegValue("", "Port", 1);
  EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Name").bytes, "terminal");
  EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, "Software\\Pelix\\Settings", "Port").bytes, Dword(4001));
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
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Base", longValueName).bytes, "long name");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Base", "big").bytes, bigData);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Base", "exact").bytes, exact);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Base", nameOf259).bytes, Dword(259));
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Base\\" + longKeyName, "inside").bytes, "deep");
  HKEY base = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Base", 0, KEY_READ, &base), ERROR_SUCCESS);
  std::vector<char> name(500);
  std::vector<char> keyClass(500);
  DWORD nameSize = 500;
  DWORD classSize = 500;
  ASSERT_EQ(RegEnumKeyExA(base, 0, name.data(), &nameSize, nullptr, keyClass.data(), &classSize, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(keyClass.data()), longClass);
  RegCloseKey(base);
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
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Dst", "a").bytes, "from source");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Dst", "b").bytes, "kept");
}

TEST_F(SettingsTest, InitUserRegKeyLeavesAnExistingUserKeyAlone) {
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
  pelix::test::WriteFileBytes(m_dir.UserHive(), garbage);
  Store(HKEY_LOCAL_MACHINE, "App\\K", "v", REG_SZ, "template");
  SetRegPath("App");
  CString text("x");
  SetRegValue("K", "v", text, 1);
  SetRegValue("K", "n", 5, 1);
  DeleteRegValue("K", "v", 1);
  EXPECT_EQ(GetRegString("K", "v", "default", 1), "default");
  EXPECT_EQ(GetRegDword("K", "n", 17, 1), 17u);
  EXPECT_EQ(pelix::test::ReadFileBytes(m_dir.UserHive()), garbage);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());

  // A corrupt template is not copied and also left alone.
  pelix::test::RegistryDir other;
  pelix::test::WriteFileBytes(other.MachineHive(), garbage);
  SetRegPath("App");
  EXPECT_EQ(GetRegString("K", "v", "default", 1), "default");
  EXPECT_FALSE(FileExists(other.UserHive()));
  EXPECT_EQ(pelix::test::ReadFileBytes(other.MachineHive()), garbage);
}

// --- Trace scopes ------------------------------------------------------------

TEST_F(SettingsTest, EachOperationOpensItsOwnScopeInTheRegfuncUnit) {
  m_host.handlerExists = true;
  MakeKey(HKEY_CURRENT_USER, "App\\K");
  CString text("t");
  SetRegPath("App");
  SetRegValue("K", "t", text, 1);
  SetRegValue("K", "n", 1, 1);
  GetRegString("K", "t", "", 1);
  GetRegDword("K", "n", 0, 1);
  DeleteRegValue("K", "t", 1);
  std::vector<std::string> scopes;
  for (const auto& call : m_host.CallsNamed("StoreEnter")) {
    scopes.push_back(call.text);
    EXPECT_EQ(call.file, "registry/regfunc.cpp");
  }
  EXPECT_EQ(scopes, (std::vector<std::string>{"SetRegPath()", "SetRegValue()", "SetRegValue", "GetRegString()",
                                              "GetRegDword()", "DeleteRegValue()"}));
  EXPECT_EQ(m_host.CallsNamed("StoreReturn").size(), 6u);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(m_host.CallsNamed("GetErrorStatus").empty());  // no check after a call
}

TEST_F(SettingsTest, WithoutAHandlerAnOperationCostsTwoHostCalls) {
  MakeKey(HKEY_CURRENT_USER, "K");
  m_host.Clear();
  EXPECT_EQ(GetRegDword("K", "missing", 3, 0), 3u);
  EXPECT_EQ(m_host.Names(), (std::vector<std::string>{"ErrorHandlerExists", "ErrorHandlerExists"}));
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
    CString text("some text of 25 bytes....");
    SetRegValue("K", "t", text, 1);
    SetRegValue("K", "n", 0xABCDu, 1);
    m_previous = pelix::registry::SetAllocator(FailingAllocator);
    g_failAt = 0;
    g_allocations = 0;
    g_sizes.clear();
    m_host.handlerExists = true;
    m_host.Clear();
  }
  void TearDown() override { pelix::registry::SetAllocator(m_previous); }

  // The report of one failed allocation, and no unspecified error after it.
  void ExpectReport(const char* condition) {
    std::vector<std::string> names;
    for (const auto& call : m_host.calls) {
      if (call.name == "RaiseError" || call.name == "LogError" || call.name == "LogStoredMessages") {
        names.push_back(call.name);
      }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"RaiseError", "LogError", "LogStoredMessages"}));
    ASSERT_EQ(m_host.CallsNamed("RaiseError").size(), 1u);
    EXPECT_EQ(m_host.CallsNamed("RaiseError")[0].text, condition);
    EXPECT_EQ(m_host.Texts("LogError", EK_CHECK), std::vector<std::string>{condition});
    EXPECT_TRUE(m_host.Texts("LogError", EK_UNSPECIFIED).empty());
    EXPECT_EQ(m_host.CallsNamed("StoreReturn").size(), 1u);  // the scope still closes
  }

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
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

TEST_F(AllocationTest, ShortNumbersAndTextsUseOnlyTheBytesRead) {
  CString two("\x34\x12");
  SetRegValue("K", "two", two, 1);
  EXPECT_EQ(GetRegDword("K", "two", 9, 1), 0x1234u);
  EXPECT_EQ(GetRegString("K", "two", "d", 1), "\x34\x12");
}

TEST_F(AllocationTest, GetRegStringReportsEachFailedAllocationAndGivesTheEmptyText) {
  const char* const conditions[] = {"dataSize != NULL", "dataType != NULL", "tempText != NULL"};
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    g_failAt = k;
    g_allocations = 0;
    m_host.Clear();
    m_host.errorStatus = 0;
    EXPECT_EQ(GetRegString("K", "t", "the default", 1), "");
    ExpectReport(conditions[k - 1]);
  }
}

TEST_F(AllocationTest, GetRegDwordReportsEachFailedAllocationAndGivesZero) {
  const char* const conditions[] = {"dataSize != NULL", "dataType != NULL", "tempText != NULL"};
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    g_failAt = k;
    g_allocations = 0;
    m_host.Clear();
    m_host.errorStatus = 0;
    EXPECT_EQ(GetRegDword("K", "n", 55, 1), 0u);
    ExpectReport(conditions[k - 1]);
  }
}

TEST_F(AllocationTest, AMissingKeyGivesTheDefaultBeforeTheBufferIsAllocated) {
  g_failAt = 3;
  EXPECT_EQ(GetRegString("Nowhere", "t", "the default", 1), "the default");
  EXPECT_EQ(g_allocations, 2);
  g_allocations = 0;
  EXPECT_EQ(GetRegDword("Nowhere", "n", 55, 1), 55u);
  EXPECT_EQ(g_allocations, 2);
  EXPECT_TRUE(m_host.CallsNamed("RaiseError").empty());
}

}  // namespace
