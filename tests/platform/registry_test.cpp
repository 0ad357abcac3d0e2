// The registry subset over the SQLite hives: keys, typed values, enumeration,
// buffer sizes, access rights, hive files and their failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/registry_dir.h"
#include "tests/support/registry_values.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers
using Strings = std::vector<std::string>;

class RegistryTest : public ::testing::Test {
 protected:
  RegistryDir m_dir;
};

TEST_F(RegistryTest, ReadingNeverCreatesTheHive) {
  HKEY key = HKEY_CURRENT_USER;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\Pelix", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Software", KEY_SET_VALUE), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "x").result, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(SubKeyNames(HKEY_CURRENT_USER).empty());
  EXPECT_FALSE(FileExists(m_dir.UserHive()));
  EXPECT_FALSE(FileExists(m_dir.MachineHive()));
}

TEST_F(RegistryTest, CreatingMakesTheHiveFolderAndEveryMissingKey) {
  RegistryDir nested;  // a folder that does not exist yet, two levels down
  std::string folder = nested.Path() + "/a/b";
  setenv("PELIX_REGISTRY_DIR", folder.c_str(), 1);
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Pelix\\Settings", nullptr, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_TRUE(FileExists(folder + "/user.sqlite3"));
  EXPECT_FALSE(FileExists(folder + "/machine.sqlite3"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  RegCloseKey(Create(HKEY_CURRENT_USER, "SOFTWARE\\pelix\\settings\\", nullptr, &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  HKEY middle = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "software\\PELIX", KEY_READ, &middle), ERROR_SUCCESS);
  EXPECT_EQ(SubKeyNames(middle), Strings{"Settings"});  // the first spelling stays
  RegCloseKey(middle);
}

TEST_F(RegistryTest, KeysWithEmptyNamesInThePathAreRefused) {
  MakeKey(HKEY_CURRENT_USER, "Top\\Sub");
  for (const char* path : {"\\Top", "Top\\\\Sub", "\\"}) EXPECT_EQ(Open(HKEY_CURRENT_USER, path), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Top\\"), ERROR_SUCCESS);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Top\\Sub\\"), ERROR_SUCCESS);
  HKEY opened = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), Strings{"Top"});  // the refused create made nothing
}

TEST_F(RegistryTest, ValuesKeepTheirTypeExactBytesNameAndPlace) {
  HKEY key = Create(HKEY_CURRENT_USER, "Values");
  const struct {
    const char* name;  // as written
    const char* asRead;
    DWORD type;
    std::string bytes;
  } rows[] = {{"Binary", "binary", REG_BINARY, std::string("\x00\x01\xff\x00\x80", 5)},
              {"Text", "TEXT", REG_SZ, "caf\xc3\xa9 \xff\x80"},
              {"Multi", "Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
              {"Odd", "odd", 0x4711, "zz"},
              {"Empty", "Empty", REG_SZ, ""},
              {"", "", REG_SZ, "default value"}};
  for (const auto& row : rows) SetBytes(key, row.name, row.type, row.bytes);
  for (const auto& row : rows) {
    StoredValue stored = ReadValue(key, row.asRead);
    EXPECT_EQ(stored.result, ERROR_SUCCESS) << row.name;
    EXPECT_EQ(stored.type, row.type) << row.name;
    EXPECT_EQ(stored.bytes, row.bytes) << row.name;
  }
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);  // the default
  // Overwriting keeps the first spelling and the place; deleting removes only one.
  SetBytes(key, "TEXT", REG_DWORD, Dword(5));
  EXPECT_EQ(ValueNames(key), (Strings{"Binary", "Text", "Multi", "Odd", "Empty", ""}));
  StoredValue stored = ReadValue(key, "text");
  EXPECT_EQ(stored.type, REG_DWORD);
  EXPECT_EQ(stored.bytes, Dword(5));
  ASSERT_EQ(RegDeleteValueA(key, "multi"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "multi"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ValueNames(key), (Strings{"Binary", "Text", "Odd", "Empty", ""}));
  RegCloseKey(key);
}

TEST_F(RegistryTest, ATooSmallBufferGetsMoreDataAndIsNotWritten) {
  HKEY key = Create(HKEY_CURRENT_USER, "Sizes");
  SetBytes(key, "v", REG_BINARY, "0123456789");
  BYTE buffer[16];
  std::memset(buffer, 0xAA, sizeof buffer);
  DWORD size = 9;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  for (BYTE b : buffer) EXPECT_EQ(b, 0xAA);
  size = 10;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::memcmp(buffer, "0123456789", 10), 0);
  EXPECT_EQ(buffer[10], 0xAA);  // no terminator added past the data
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, buffer, nullptr), ERROR_INVALID_PARAMETER);

  // Enumeration: a name that does not fit with its terminator, and data.
  char name[2];
  DWORD nameSize = sizeof name;
  DWORD dataSize = sizeof buffer;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, buffer, &dataSize), ERROR_SUCCESS);
  EXPECT_EQ(nameSize, 1u);
  EXPECT_STREQ(name, "v");
  SetBytes(key, "vv", REG_BINARY, "x");
  nameSize = sizeof name;
  dataSize = sizeof buffer;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, buffer, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(nameSize, 3u);
  nameSize = sizeof name;
  dataSize = 3;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, buffer, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 10u);
  EXPECT_EQ(RegEnumValueA(key, 2, name, &nameSize, nullptr, &type, buffer, &dataSize), ERROR_NO_MORE_ITEMS);

  MakeKey(key, "LongerName");
  char keyName[10];
  DWORD keyNameSize = sizeof keyName;  // 10 characters need 11
  EXPECT_EQ(RegEnumKeyExA(key, 0, keyName, &keyNameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(keyNameSize, 11u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrderWithClasses) {
  HKEY key = Create(HKEY_CURRENT_USER, "Tree");
  for (const char* name : {"Zeta", "alpha", "B", "Mid"}) {
    RegCloseKey(Create(key, name, std::strcmp(name, "B") == 0 ? "ClassOfB" : nullptr));
  }
  EXPECT_EQ(SubKeyNames(key), (Strings{"Zeta", "alpha", "B", "Mid"}));
  char name[32];
  char keyClass[32];
  DWORD nameSize = sizeof name;
  DWORD classSize = sizeof keyClass;
  FILETIME written{1, 1};
  ASSERT_EQ(RegEnumKeyExA(key, 2, name, &nameSize, nullptr, keyClass, &classSize, &written), ERROR_SUCCESS);
  EXPECT_STREQ(name, "B");
  EXPECT_STREQ(keyClass, "ClassOfB");
  EXPECT_EQ(classSize, 8u);
  char small[4];
  DWORD smallSize = sizeof small;
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 2, name, &nameSize, nullptr, small, &smallSize, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(smallSize, 9u);
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 4, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AccessRightsAreEnforced) {
  Store(HKEY_CURRENT_USER, "Rights", "v", REG_SZ, "value");
  HKEY reader = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "Rights", KEY_READ, &reader), ERROR_SUCCESS);
  const BYTE data[] = {'x'};
  EXPECT_EQ(RegSetValueExA(reader, "v", 0, REG_SZ, data, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadValue(reader, "v").bytes, "value");
  RegCloseKey(reader);

  HKEY writer = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "Rights", KEY_SET_VALUE, &writer), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(writer, "v").result, ERROR_ACCESS_DENIED);
  char name[16];
  DWORD nameSize = sizeof name;
  EXPECT_EQ(RegEnumValueA(writer, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(writer, "v", 0, REG_SZ, data, 1), ERROR_SUCCESS);
  RegCloseKey(writer);
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, "Rights", "v").bytes, "x");
}

TEST_F(RegistryTest, HandlesAreCheckedAndClosedOnce) {
  HKEY key = Create(HKEY_CURRENT_USER, "Handles");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // the root keys are never closed
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, nullptr, 0), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Open(key, "x"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Handles", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  const BYTE data[] = {1};
  EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, data, 1), ERROR_SUCCESS);  // on the root
  EXPECT_EQ(ValueNames(HKEY_CURRENT_USER), Strings{"v"});
}

TEST_F(RegistryTest, UserAndMachineAreSeparateHivesOfTheFolderReadAtEachOpening) {
  HKEY first = Create(HKEY_CURRENT_USER, "Where");
  SetBytes(first, "v", REG_SZ, "first");
  Store(HKEY_LOCAL_MACHINE, "Where", "v", REG_SZ, "machine");
  EXPECT_TRUE(FileExists(m_dir.MachineHive()));
  EXPECT_EQ(ReadValue(first, "v").bytes, "first");
  EXPECT_EQ(ReadStored(HKEY_LOCAL_MACHINE, "Where", "v").bytes, "machine");
  RegistryDir other;
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Where"), ERROR_FILE_NOT_FOUND);
  // A key opened before keeps working on its own hive.
  StoredValue stored = ReadValue(first, "v");
  EXPECT_EQ(stored.result, ERROR_SUCCESS);
  EXPECT_EQ(stored.bytes, "first");
  RegCloseKey(first);
  EXPECT_TRUE(FileExists(m_dir.UserHive()));
  EXPECT_FALSE(FileExists(other.UserHive()));
}

// Restores an environment variable when the test ends.
struct SavedVariable {
  explicit SavedVariable(const char* variable) : name(variable), had(std::getenv(variable) != nullptr) {
    if (had) value = std::getenv(variable);
  }
  ~SavedVariable() { had ? setenv(name, value.c_str(), 1) : unsetenv(name); }
  const char* name;
  bool had;
  std::string value;
};

TEST_F(RegistryTest, WithoutTheFolderVariableTheUsersHiveIsInTheConfigFolder) {
  SavedVariable folder("PELIX_REGISTRY_DIR");
  SavedVariable config("XDG_CONFIG_HOME");
  SavedVariable home("HOME");
  unsetenv("PELIX_REGISTRY_DIR");
  setenv("XDG_CONFIG_HOME", (m_dir.Path() + "/config").c_str(), 1);
  MakeKey(HKEY_CURRENT_USER, "ViaConfig");
  EXPECT_TRUE(FileExists(m_dir.Path() + "/config/pelix/user.sqlite3"));
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (m_dir.Path() + "/home").c_str(), 1);
  MakeKey(HKEY_CURRENT_USER, "ViaHome");
  EXPECT_TRUE(FileExists(m_dir.Path() + "/home/.config/pelix/user.sqlite3"));
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), Strings{"ViaHome"});
}

TEST_F(RegistryTest, HivesOfFoldersLeftBehindAreClosed) {
  auto openFiles = [] {
    auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<size_t>(std::distance(begin(fds), end(fds)));
  };
  MakeKey(HKEY_CURRENT_USER, "Warm");
  size_t before = openFiles();
  for (int i = 0; i < 30; ++i) {
    RegistryDir folder;
    MakeKey(HKEY_CURRENT_USER, "Key");
  }
  // A few hives stay open (each with its file, log and shared index), not 30.
  EXPECT_LT(openFiles(), before + 20);
}

TEST_F(RegistryTest, AReplacedHiveFileIsSeenAndOldKeysDie) {
  HKEY key = Create(HKEY_CURRENT_USER, "Gone");
  SetBytes(key, "v", REG_SZ, "old");
  ASSERT_EQ(unlink(m_dir.UserHive().c_str()), 0);
  unlink((m_dir.UserHive() + "-wal").c_str());
  unlink((m_dir.UserHive() + "-shm").c_str());
  // An opening for writing looks at once ...
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Gone", KEY_SET_VALUE), ERROR_FILE_NOT_FOUND);
  MakeKey(HKEY_CURRENT_USER, "Other");
  const BYTE data[] = {'n'};
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, data, 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), Strings{"Other"});
  // ... one for reading within a tenth of a second.
  ASSERT_EQ(unlink(m_dir.UserHive().c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Other"), ERROR_FILE_NOT_FOUND);
}

// Every call on a hive that is not a usable database fails like a missing key
// and leaves the file's bytes as they were.
void ExpectUnusableAndUntouched(const RegistryDir& dir, const std::string& before) {
  EXPECT_NE(Open(HKEY_CURRENT_USER, "Software"), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(key, nullptr);
  const BYTE data[] = {1, 2};
  EXPECT_NE(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, data, 2), ERROR_SUCCESS);
  EXPECT_NE(RegDeleteValueA(HKEY_CURRENT_USER, "v"), ERROR_SUCCESS);
  char name[16];
  DWORD size = sizeof name;
  EXPECT_NE(RegEnumKeyExA(HKEY_CURRENT_USER, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(ReadFileBytes(dir.UserHive()), before);
}

TEST_F(RegistryTest, AFileThatIsNoHiveIsNeitherUsedNorOverwritten) {
  const std::string text = "these are my notes, not a hive\n";
  WriteFileBytes(m_dir.UserHive(), text);
  ExpectUnusableAndUntouched(m_dir, text);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
  WriteFileBytes(m_dir.UserHive(), "SQLite");  // a header cut short
  ExpectUnusableAndUntouched(m_dir, "SQLite");
  // Someone else's database.
  RegistryDir foreign;
  ASSERT_TRUE(Sql(foreign.UserHive(), "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('keep')"));
  ExpectUnusableAndUntouched(foreign, ReadFileBytes(foreign.UserHive()));
}

TEST_F(RegistryTest, ACorruptOrTruncatedHiveIsNeitherUsedNorOverwritten) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Pelix");
  for (int i = 0; i < 200; ++i) {
    SetBytes(key, "value" + std::to_string(i), REG_SZ, std::string(200, static_cast<char>('a' + i % 26)));
  }
  RegCloseKey(key);
  // Fold the log into the file so that the file alone holds the hive.
  ASSERT_TRUE(Sql(m_dir.UserHive(), "PRAGMA wal_checkpoint(TRUNCATE)"));
  std::string whole = ReadFileBytes(m_dir.UserHive());
  ASSERT_GT(whole.size(), 4096u * 4);
  std::string scribbled = whole;
  for (size_t i = 4096; i < 3 * 4096; ++i) scribbled[i] = static_cast<char>(i * 7);
  for (const std::string& damaged : {whole.substr(0, whole.size() / 2), scribbled}) {
    RegistryDir dir;
    WriteFileBytes(dir.UserHive(), damaged);
    ExpectUnusableAndUntouched(dir, damaged);
  }
}

TEST_F(RegistryTest, AHostileHiveCannotMakeAKeyItsOwnAncestor) {
  MakeKey(HKEY_LOCAL_MACHINE, "Top");
  // A row that claims the root's id below Top would make Top its own child.
  ASSERT_TRUE(Sql(m_dir.MachineHive(), "INSERT INTO reg_key(id, parent, name) SELECT 0, id, 'loop' FROM reg_key"));
  HKEY top = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Top", KEY_READ, &top), ERROR_SUCCESS);
  EXPECT_TRUE(SubKeyNames(top).empty());
  EXPECT_EQ(Open(top, "loop"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(top);
}

TEST_F(RegistryTest, ThreadsShareAHive) {
  MakeKey(HKEY_CURRENT_USER, "Threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      HKEY own = nullptr;
      if (Open(HKEY_CURRENT_USER, "Threads", KEY_ALL_ACCESS, &own) != ERROR_SUCCESS) return;
      for (int i = 0; i < 25; ++i) {
        std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        RegSetValueExA(own, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.data()),
                       static_cast<DWORD>(name.size()));
      }
      RegCloseKey(own);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ValueNamesOf(HKEY_CURRENT_USER, "Threads").size(), 100u);
  StoredValue stored = ReadStored(HKEY_CURRENT_USER, "Threads", "t3_24");
  EXPECT_EQ(stored.result, ERROR_SUCCESS);
  EXPECT_EQ(stored.bytes, "t3_24");
}

}  // namespace
