// The registry subset over the SQLite hives: keys, typed values, enumeration,
// buffer sizes, access rights, hive files and their failures.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pelix/platform.h"
#include "tests/support/registry_dir.h"

namespace {

using pelix::test::FileExists;
using pelix::test::ReadFileBytes;
using pelix::test::RegistryDir;
using pelix::test::WriteFileBytes;

HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr, char* keyClass = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(
      RegCreateKeyExA(root, path, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, disposition),
      ERROR_SUCCESS)
      << path;
  return key;
}

void SetBytes(HKEY key, const char* name, DWORD type, const std::string& bytes) {
  ASSERT_EQ(
      RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())),
      ERROR_SUCCESS);
}

// Reads a value with a buffer of exactly the size the size query reports.
LONG ReadValue(HKEY key, const char* name, DWORD& type, std::string& bytes) {
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (result != ERROR_SUCCESS) return result;
  std::vector<BYTE> buffer(size + 1);
  result = RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &size);
  if (result == ERROR_SUCCESS) bytes.assign(reinterpret_cast<const char*>(buffer.data()), size);
  return result;
}

std::vector<std::string> SubKeyNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[300];
    DWORD size = sizeof name;
    LONG result = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) break;
    EXPECT_EQ(size, std::strlen(name));
    names.emplace_back(name);
  }
  return names;
}

std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[300];
    DWORD size = sizeof name;
    LONG result = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  return names;
}

class RegistryTest : public ::testing::Test {
 protected:
  RegistryDir m_dir;
};

TEST_F(RegistryTest, ReadingNeverCreatesTheHive) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Pelix", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_SET_VALUE, &key), ERROR_FILE_NOT_FOUND);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "x", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  char name[16];
  DWORD nameSize = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(HKEY_CURRENT_USER, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_FALSE(FileExists(m_dir.UserHive()));
  EXPECT_FALSE(FileExists(m_dir.MachineHive()));
}

TEST_F(RegistryTest, CreatingMakesTheHiveFolderAndEveryMissingKey) {
  RegistryDir nested;  // a folder that does not exist yet, two levels down
  std::string folder = nested.Path() + "/a/b";
  setenv("PELIX_REGISTRY_DIR", folder.c_str(), 1);
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Pelix\\Settings", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_TRUE(FileExists(folder + "/user.sqlite3"));
  EXPECT_FALSE(FileExists(folder + "/machine.sqlite3"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  HKEY again = Create(HKEY_CURRENT_USER, "SOFTWARE\\pelix\\settings\\", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(again);
  HKEY middle = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\PELIX", 0, KEY_READ, &middle), ERROR_SUCCESS);
  EXPECT_EQ(SubKeyNames(middle), std::vector<std::string>{"Settings"});  // the first spelling stays
  RegCloseKey(middle);
}

TEST_F(RegistryTest, KeysWithEmptyNamesInThePathAreRefused) {
  HKEY key = Create(HKEY_CURRENT_USER, "Top\\Sub");
  RegCloseKey(key);
  HKEY opened = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Top", 0, KEY_READ, &opened), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Top\\\\Sub", 0, KEY_READ, &opened), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\", 0, KEY_READ, &opened), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Top\\", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(opened, nullptr);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Top\\Sub\\", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  // The refused create made nothing.
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), std::vector<std::string>{"Top"});
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndExactBytes) {
  HKEY key = Create(HKEY_CURRENT_USER, "Values");
  const std::string binary("\x00\x01\xff\x00\x80", 5);
  const std::string text("caf\xc3\xa9 \xff\x80");
  const std::string multi("one\0two\0\0", 9);
  SetBytes(key, "Binary", REG_BINARY, binary);
  SetBytes(key, "Text", REG_SZ, text);
  SetBytes(key, "Multi", REG_MULTI_SZ, multi);
  SetBytes(key, "Odd", 0x4711, "zz");
  SetBytes(key, "Empty", REG_SZ, "");
  SetBytes(key, "", REG_SZ, "default value");
  struct Expected {
    const char* name;
    DWORD type;
    std::string bytes;
  };
  const Expected expected[] = {{"binary", REG_BINARY, binary}, {"TEXT", REG_SZ, text}, {"Multi", REG_MULTI_SZ, multi},
                               {"odd", 0x4711, "zz"},          {"Empty", REG_SZ, ""},  {"", REG_SZ, "default value"}};
  for (const Expected& e : expected) {
    DWORD type = 0;
    std::string bytes = "unchanged";
    EXPECT_EQ(ReadValue(key, e.name, type, bytes), ERROR_SUCCESS) << e.name;
    EXPECT_EQ(type, e.type) << e.name;
    EXPECT_EQ(bytes, e.bytes) << e.name;
  }
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);  // the default
  RegCloseKey(key);
}

TEST_F(RegistryTest, OverwritingAValueKeepsItsNameAndPlace) {
  HKEY key = Create(HKEY_CURRENT_USER, "Order");
  SetBytes(key, "First", REG_SZ, "1");
  SetBytes(key, "Second", REG_SZ, "2");
  SetBytes(key, "Third", REG_SZ, "3");
  SetBytes(key, "FIRST", REG_DWORD, std::string("\x05\x00\x00\x00", 4));
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"First", "Second", "Third"}));
  DWORD type = 0;
  std::string bytes;
  ASSERT_EQ(ReadValue(key, "first", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(bytes, std::string("\x05\x00\x00\x00", 4));
  ASSERT_EQ(RegDeleteValueA(key, "second"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "second"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"First", "Third"}));
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

  HKEY sub = Create(key, "LongerName");
  RegCloseKey(sub);
  char keyName[10];
  DWORD keyNameSize = sizeof keyName;  // 10 characters need 11
  EXPECT_EQ(RegEnumKeyExA(key, 0, keyName, &keyNameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(keyNameSize, 11u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrderWithClasses) {
  HKEY key = Create(HKEY_CURRENT_USER, "Tree");
  char cls[] = "ClassOfB";
  for (const char* name : {"Zeta", "alpha", "B", "Mid"}) {
    HKEY sub = Create(key, name, nullptr, std::strcmp(name, "B") == 0 ? cls : nullptr);
    RegCloseKey(sub);
  }
  EXPECT_EQ(SubKeyNames(key), (std::vector<std::string>{"Zeta", "alpha", "B", "Mid"}));
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
  HKEY setup = Create(HKEY_CURRENT_USER, "Rights");
  SetBytes(setup, "v", REG_SZ, "value");
  RegCloseKey(setup);

  HKEY reader = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_READ, &reader), ERROR_SUCCESS);
  const BYTE data[] = {'x'};
  EXPECT_EQ(RegSetValueExA(reader, "v", 0, REG_SZ, data, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_ACCESS_DENIED);
  DWORD type = 0;
  std::string bytes;
  EXPECT_EQ(ReadValue(reader, "v", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "value");
  RegCloseKey(reader);

  HKEY writer = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  char name[16];
  DWORD nameSize = sizeof name;
  EXPECT_EQ(RegEnumValueA(writer, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(writer, "v", 0, REG_SZ, data, 1), ERROR_SUCCESS);
  RegCloseKey(writer);

  HKEY check = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_READ, &check), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(check, "v", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "x");
  RegCloseKey(check);
}

TEST_F(RegistryTest, HandlesAreCheckedAndClosedOnce) {
  HKEY key = Create(HKEY_CURRENT_USER, "Handles");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);  // the root keys are never closed
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, nullptr, 0), ERROR_INVALID_HANDLE);
  HKEY result = nullptr;
  EXPECT_EQ(RegOpenKeyExA(key, "x", 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Handles", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  const BYTE data[] = {1};
  EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_BINARY, data, 1), ERROR_SUCCESS);  // on the root
  EXPECT_EQ(ValueNames(HKEY_CURRENT_USER), std::vector<std::string>{"v"});
}

TEST_F(RegistryTest, TheFolderIsReadEachTimeARootKeyIsOpened) {
  HKEY first = Create(HKEY_CURRENT_USER, "Where");
  SetBytes(first, "v", REG_SZ, "first");
  RegistryDir other;
  HKEY result = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Where", 0, KEY_READ, &result), ERROR_FILE_NOT_FOUND);
  // A key opened before keeps working on its own hive.
  DWORD type = 0;
  std::string bytes;
  EXPECT_EQ(ReadValue(first, "v", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "first");
  RegCloseKey(first);
  EXPECT_TRUE(FileExists(m_dir.UserHive()));
  EXPECT_FALSE(FileExists(other.UserHive()));
}

// Restores an environment variable when the test ends.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : m_name(name) {
    const char* value = std::getenv(name);
    m_had = value != nullptr;
    if (m_had) m_value = value;
  }
  ~SavedVariable() {
    if (m_had) {
      setenv(m_name, m_value.c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  SavedVariable(const SavedVariable&) = delete;
  SavedVariable& operator=(const SavedVariable&) = delete;

 private:
  const char* m_name;
  std::string m_value;
  bool m_had = false;
};

TEST_F(RegistryTest, WithoutTheFolderVariableTheUsersHiveIsInTheConfigFolder) {
  SavedVariable folder("PELIX_REGISTRY_DIR");
  SavedVariable config("XDG_CONFIG_HOME");
  SavedVariable home("HOME");
  unsetenv("PELIX_REGISTRY_DIR");
  setenv("XDG_CONFIG_HOME", (m_dir.Path() + "/config").c_str(), 1);
  RegCloseKey(Create(HKEY_CURRENT_USER, "ViaConfig"));
  EXPECT_TRUE(FileExists(m_dir.Path() + "/config/pelix/user.sqlite3"));
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (m_dir.Path() + "/home").c_str(), 1);
  RegCloseKey(Create(HKEY_CURRENT_USER, "ViaHome"));
  EXPECT_TRUE(FileExists(m_dir.Path() + "/home/.config/pelix/user.sqlite3"));
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), std::vector<std::string>{"ViaHome"});
}

size_t OpenFileCount() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST_F(RegistryTest, HivesOfFoldersLeftBehindAreClosed) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Warm"));
  size_t before = OpenFileCount();
  for (int i = 0; i < 30; ++i) {
    RegistryDir folder;
    RegCloseKey(Create(HKEY_CURRENT_USER, "Key"));
  }
  // A few hives stay open (each with its file, log and shared index), not 30.
  EXPECT_LT(OpenFileCount(), before + 20);
}

TEST_F(RegistryTest, UserAndMachineAreSeparateHives) {
  HKEY user = Create(HKEY_CURRENT_USER, "Same");
  HKEY machine = Create(HKEY_LOCAL_MACHINE, "Same");
  SetBytes(user, "v", REG_SZ, "user");
  SetBytes(machine, "v", REG_SZ, "machine");
  DWORD type = 0;
  std::string bytes;
  EXPECT_EQ(ReadValue(user, "v", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "user");
  EXPECT_EQ(ReadValue(machine, "v", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "machine");
  RegCloseKey(user);
  RegCloseKey(machine);
  EXPECT_TRUE(FileExists(m_dir.MachineHive()));
}

TEST_F(RegistryTest, AReplacedHiveFileIsSeenAndOldKeysDie) {
  HKEY key = Create(HKEY_CURRENT_USER, "Gone");
  SetBytes(key, "v", REG_SZ, "old");
  ASSERT_EQ(unlink(m_dir.UserHive().c_str()), 0);
  unlink((m_dir.UserHive() + "-wal").c_str());
  unlink((m_dir.UserHive() + "-shm").c_str());
  HKEY fresh = nullptr;
  // An opening for writing looks at once ...
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Gone", 0, KEY_SET_VALUE, &fresh), ERROR_FILE_NOT_FOUND);
  HKEY created = Create(HKEY_CURRENT_USER, "Other");
  RegCloseKey(created);
  const BYTE data[] = {'n'};
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, data, 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(SubKeyNames(HKEY_CURRENT_USER), std::vector<std::string>{"Other"});

  // ... one for reading within a tenth of a second.
  ASSERT_EQ(unlink(m_dir.UserHive().c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Other", 0, KEY_READ, &fresh), ERROR_FILE_NOT_FOUND);
}

// Every call on a hive that is not a usable database fails like a missing key
// and leaves the file's bytes as they were.
void ExpectUnusableAndUntouched(const RegistryDir& dir, const std::string& before) {
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
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

TEST_F(RegistryTest, AFileThatIsNoDatabaseIsNeitherUsedNorOverwritten) {
  const std::string text = "these are my notes, not a hive\n";
  WriteFileBytes(m_dir.UserHive(), text);
  ExpectUnusableAndUntouched(m_dir, text);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_BADDB);
  WriteFileBytes(m_dir.UserHive(), "SQLite");  // a header cut short
  ExpectUnusableAndUntouched(m_dir, "SQLite");
}

TEST_F(RegistryTest, ACorruptOrTruncatedHiveIsNeitherUsedNorOverwritten) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Pelix");
  for (int i = 0; i < 200; ++i) {
    std::string name = "value" + std::to_string(i);
    SetBytes(key, name.c_str(), REG_SZ, std::string(200, static_cast<char>('a' + i % 26)));
  }
  RegCloseKey(key);
  // Fold the log into the file so that the file alone holds the hive.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(m_dir.UserHive().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::string whole = ReadFileBytes(m_dir.UserHive());
  ASSERT_GT(whole.size(), 4096u * 4);

  {
    RegistryDir truncated;
    std::string half = whole.substr(0, whole.size() / 2);
    WriteFileBytes(truncated.UserHive(), half);
    ExpectUnusableAndUntouched(truncated, half);
  }
  {
    RegistryDir scribbled;
    std::string damaged = whole;
    for (size_t i = 4096; i < 3 * 4096; ++i) damaged[i] = static_cast<char>(i * 7);
    WriteFileBytes(scribbled.UserHive(), damaged);
    ExpectUnusableAndUntouched(scribbled, damaged);
  }
}

TEST_F(RegistryTest, SomeoneElsesDatabaseIsLeftAlone) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(m_dir.UserHive().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('keep')", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string before = ReadFileBytes(m_dir.UserHive());
  ExpectUnusableAndUntouched(m_dir, before);
}

TEST_F(RegistryTest, AHostileHiveCannotMakeAKeyItsOwnAncestor) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Top");
  RegCloseKey(key);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(m_dir.MachineHive().c_str(), &db), SQLITE_OK);
  // A row that claims the root's id below Top would make Top its own child.
  ASSERT_EQ(sqlite3_exec(db, "INSERT INTO reg_key(id, parent, name) SELECT 0, id, 'loop' FROM reg_key", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  HKEY top = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Top", 0, KEY_READ, &top), ERROR_SUCCESS);
  EXPECT_TRUE(SubKeyNames(top).empty());
  HKEY loop = nullptr;
  EXPECT_EQ(RegOpenKeyExA(top, "loop", 0, KEY_READ, &loop), ERROR_FILE_NOT_FOUND);
  RegCloseKey(top);
}

TEST_F(RegistryTest, ThreadsShareAHive) {
  HKEY key = Create(HKEY_CURRENT_USER, "Threads");
  RegCloseKey(key);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      HKEY own = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, "Threads", 0, KEY_ALL_ACCESS, &own) != ERROR_SUCCESS) return;
      for (int i = 0; i < 25; ++i) {
        std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        RegSetValueExA(own, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.data()),
                       static_cast<DWORD>(name.size()));
      }
      RegCloseKey(own);
    });
  }
  for (std::thread& thread : threads) thread.join();
  HKEY check = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Threads", 0, KEY_READ, &check), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(check).size(), 100u);
  DWORD type = 0;
  std::string bytes;
  EXPECT_EQ(ReadValue(check, "t3_24", type, bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, "t3_24");
  RegCloseKey(check);
}

}  // namespace
