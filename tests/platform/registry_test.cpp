// The registry subset over the SQLite hives: keys, typed values, enumeration,
// buffer sizes, access rights, handles, hive files and their failures.
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/support/registry_dir.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers
using std::filesystem::exists;

// Opens root\path, expecting result; the key, null on failure.
HKEY OpenKey(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS, LONG result = ERROR_SUCCESS) {
  HKEY key = HKCU;
  EXPECT_EQ(RegOpenKeyExA(root, path, 0, access, &key), result) << path;
  EXPECT_EQ(key == nullptr, result != ERROR_SUCCESS);
  return key;
}
// Creates or opens root\path and closes it again; the result.
LONG Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition);
  EXPECT_EQ(key == nullptr, result != ERROR_SUCCESS);
  RegCloseKey(key);
  return result;
}
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class RegistryTest : public ::testing::Test {
 protected:
  RegistryDir m_dir;
};

TEST_F(RegistryTest, KeysAreCreatedWithTheirFolderCaseInsensitiveAndNeverByReading) {
  OpenKey(HKLM, "Software", KEY_SET_VALUE, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(HKCU, nullptr, "x") + Read(HKCU, nullptr, "*keys"), "error 2");
  EXPECT_FALSE(exists(m_dir.User()) || exists(m_dir.Machine()));
  // Without the folder variable the user's hive is in the configuration folder, made with every level.
  unsetenv("PELIX_REGISTRY_DIR");
  setenv("XDG_CONFIG_HOME", (m_dir.m_path + "/a/b").c_str(), 1);
  DWORD created = 0, opened = 0;
  ASSERT_EQ(Create(HKCU, "Software\\Pelix\\Settings", &created), ERROR_SUCCESS);
  EXPECT_EQ(Create(HKCU, "SOFTWARE\\pelix\\settings\\", &opened), ERROR_SUCCESS);
  EXPECT_EQ(created * 10 + opened, REG_CREATED_NEW_KEY * 10 + REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(Read(HKCU, "software\\PELIX", "*keys") + Read(HKCU, "Software\\Pelix\\Settings\\", "*keys"), "Settings;");
  for (const char* path : {"\\Software", "Software\\\\Pelix", "\\"}) {  // an empty name in the path
    OpenKey(HKCU, path, KEY_READ, ERROR_BAD_PATHNAME);
    EXPECT_EQ(Create(HKCU, path), ERROR_BAD_PATHNAME);
  }
  EXPECT_EQ(Read(HKCU, nullptr, "*keys") + std::to_string(exists(m_dir.m_path + "/a/b/pelix/user.sqlite3")),
            "Software;1");
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(RegistryTest, ValuesKeepTypeBytesFirstSpellingAndPlaceAndKeysTheirRights) {
  Store(HKCU, "Values");
  HKEY key = OpenKey(HKCU, "Values");
  const struct {
    const char *name, *asRead;
    DWORD type;
    std::string bytes;
  } rows[] = {// clang-format off
      {"Binary", "binary", REG_BINARY, std::string("\0\1\xff\0\x80", 5)}, {"Text", "TEXT", REG_SZ, "caf\xc3\xa9 \xff\x80"},
      {"Multi", "Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)}, {"Odd", "odd", 0x4711, "zz"},
      {"Empty", "Empty", REG_SZ, ""}, {"", nullptr, REG_SZ, "default value"}};
  // clang-format on
  for (const auto& row : rows) EXPECT_EQ(Set(key, row.name, row.bytes, row.type), ERROR_SUCCESS);
  for (const auto& row : rows) EXPECT_EQ(Read(key, nullptr, row.asRead), std::to_string(row.type) + ":" + row.bytes);
  EXPECT_EQ(Set(key, "TEXT", "abcd", REG_DWORD), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "multi"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "multi"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(key, nullptr, "text") + Read(key, nullptr, "*values"), "4:abcdBinary;Text;Odd;Empty;;");
  // A key opened for reading cannot write, one opened for writing cannot read; closed keys are dead.
  HKEY reader = OpenKey(HKCU, "Values", KEY_READ), writer = OpenKey(HKCU, "Values", KEY_SET_VALUE);
  EXPECT_EQ(Set(reader, "v", "x") + RegDeleteValueA(reader, "odd") + Create(reader, "New"), 3 * ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read(writer, nullptr, "odd") + Read(writer, nullptr, "*keys") + Read(writer, nullptr, "*values"),
            "error 5error 5error 5");
  EXPECT_EQ(Set(writer, "v", "x"), ERROR_SUCCESS);
  EXPECT_EQ(Read(reader, nullptr, "v"), "1:x");
  EXPECT_EQ(RegCloseKey(reader) + RegCloseKey(writer) + RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(reader) + Set(writer, "v", "") + RegCloseKey(nullptr), 3 * ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ATooSmallBufferGetsMoreDataWithTheSizeNeededAndIsNotWritten) {
  Store(HKCU, "Sizes", "v", REG_BINARY, "0123456789");
  HKEY key = OpenKey(HKCU, "Sizes");
  Set(key, "vv", "x");
  Store(key, "LongerName", nullptr, 0, "", "ClassOfB");
  BYTE data[16];
  std::memset(data, 0xAA, sizeof data);
  DWORD size = 9, type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size * 1000 + data[0], 10u * 1000 + 0xAA);
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 11), "0123456789\xAA");  // no terminator added
  // Enumeration: names and classes need room for their terminator, data its size.
  char name[16], keyClass[16];
  const struct {
    // keys: enumerate subkeys with their class, dataSize being the class buffer's size
    LONG keys, index, nameSize, dataSize, result, nameAfter, dataAfter;
  } rows[] = {{false, 0, 2, 10, ERROR_SUCCESS, 1, 10},  {false, 1, 2, 16, ERROR_MORE_DATA, 3, 16},
              {false, 0, 2, 9, ERROR_MORE_DATA, 2, 10}, {true, 0, 10, 16, ERROR_MORE_DATA, 11, 16},
              {true, 0, 11, 8, ERROR_MORE_DATA, 11, 9}, {true, 0, 11, 9, ERROR_SUCCESS, 10, 8}};
  for (const auto& row : rows) {
    DWORD nameSize = DWORD(row.nameSize), dataSize = DWORD(row.dataSize);
    LONG result = row.keys ? RegEnumKeyExA(key, row.index, name, &nameSize, nullptr, keyClass, &dataSize, nullptr)
                           : RegEnumValueA(key, row.index, name, &nameSize, nullptr, &type, data, &dataSize);
    EXPECT_EQ(result * 10000 + nameSize * 100 + dataSize, row.result * 10000 + row.nameAfter * 100 + row.dataAfter)
        << row.keys << row.index;
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, AHiveFilesRemovalIsSeenAtOnceAndTheHivesOfFoldersLeftBehindAreClosed) {
  Store(HKCU, "Where", "v", REG_SZ, "first");
  HKEY first = OpenKey(HKCU, "Where");
  // A removed hive: an opening for writing sees it at once, old keys die.
  for (const char* suffix : {"", "-wal", "-shm"}) unlink((m_dir.User() + suffix).c_str());
  OpenKey(HKCU, "Where", KEY_SET_VALUE, ERROR_FILE_NOT_FOUND);
  Store(HKCU, "Other");
  EXPECT_EQ(Set(first, "v", "n"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  EXPECT_EQ(Read(HKCU, nullptr, "*keys"), "Other;");
  // The hives of folders left behind are closed: a few stay open (each with its file, log and index), not 20.
  auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  for (int i = 0; i < 20; ++i) Store(HKCU, RegistryDir().m_path);
  EXPECT_LT(openFiles(), before + 20);
}

// Every call on a file that is not a usable hive fails with ERROR_BADDB and leaves its bytes as they were; a hostile
// hive cannot send a walk round in circles.
TEST_F(RegistryTest, AFileThatIsNoUsableHiveIsNeitherUsedNorOverwrittenNorFollowedInCircles) {
  Store(HKCU, "Software");
  ASSERT_EQ(Sql(m_dir.User(),
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) INSERT INTO"
                " reg_value(key, name, type, data) SELECT 1, i, 1, randomblob(200) FROM n;"
                " PRAGMA wal_checkpoint(TRUNCATE)"),  // the file alone holds the hive
            "0;");
  const std::string whole = ReadFile(m_dir.User());
  RegistryDir foreign;
  ASSERT_EQ(Sql(foreign.User(), "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('keep')"), "");
  for (const std::string& bytes : {std::string("these are my notes, not a hive\n"), std::string("SQLite"),
                                   ReadFile(foreign.User()), whole.substr(0, whole.size() / 2)}) {
    RegistryDir dir;
    std::ofstream(dir.User()) << bytes;
    OpenKey(HKCU, "Software", KEY_READ, ERROR_BADDB);
    EXPECT_EQ(Create(HKCU, "Software") + Set(HKCU, "v", "x") + RegDeleteValueA(HKCU, "v"), 3 * ERROR_BADDB);
    EXPECT_EQ(Read(HKCU, nullptr, "*keys") + ReadFile(dir.User()), "error 1009" + bytes);
  }
  // A row that claims the root's id below a key would make that key its own child.
  Store(HKLM, "Top");
  Sql(foreign.Machine(), "INSERT INTO reg_key(id, parent, name) SELECT 0, id, 'loop' FROM reg_key");
  EXPECT_EQ(Read(HKLM, "Top", "*keys") + Read(HKLM, "Top\\loop", "*keys"), "error 2");
}

}  // namespace
