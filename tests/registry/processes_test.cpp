// Several terminal processes on one hive: concurrent writers lose nothing, and
// a writer killed mid-way leaves a hive holding every write that returned.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "tests/registry/registry_support.h"

namespace {

using pelix::test::MakeKey;
using pelix::test::SettingsTest;

constexpr int kValuesPerWriter = 1000;

std::string NameOf(int writer, int index) { return "w" + std::to_string(writer) + "_" + std::to_string(index); }

// Runs body in a child process that ends with _exit, never returning here.
template <typename Body>
pid_t Spawn(Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  return pid;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = write(fd, bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

std::set<std::string> ValueNamesOf(HKEY root, const char* path) {
  std::set<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[64];
    DWORD size = sizeof name;
    if (RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.insert(name);
  }
  RegCloseKey(key);
  return names;
}

TEST_F(SettingsTest, TwoProcessesWritingAtOnceLoseNothing) {
  MakeKey(HKEY_CURRENT_USER, "App\\Shared");
  SetRegPath("App");
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = Spawn([&start, w] {
      close(start[1]);
      char go = 0;
      if (read(start[0], &go, 1) != 1) _exit(2);  // both start together
      for (int i = 0; i < kValuesPerWriter; ++i) SetRegValue("Shared", NameOf(w, i).c_str(), i * 3 + w, 1);
    });
    ASSERT_GT(writers[w], 0);
  }
  close(start[0]);
  const char go[2] = {'g', 'g'};
  ASSERT_TRUE(WriteAll(start[1], go, 2));
  close(start[1]);
  for (pid_t writer : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_EQ(ValueNamesOf(HKEY_CURRENT_USER, "App\\Shared").size(), 2u * kValuesPerWriter);
  int wrong = 0;
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kValuesPerWriter; ++i) {
      if (GetRegDword("Shared", NameOf(w, i).c_str(), 0xFFFFFFFFu, 1) != static_cast<DWORD>(i * 3 + w)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(SettingsTest, AWriterKilledMidWayLeavesEveryReturnedWrite) {
  MakeKey(HKEY_CURRENT_USER, "App\\Crash");
  SetRegPath("App");
  int reports[2];
  ASSERT_EQ(pipe(reports), 0);
  pid_t writer = Spawn([&reports] {
    close(reports[0]);
    for (int32_t i = 0; i < 1000000; ++i) {
      CString text("value-" + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.'));
      SetRegValue("Crash", NameOf(0, i).c_str(), text, 1);
      if (!WriteAll(reports[1], &i, sizeof i)) _exit(3);  // this write has returned
    }
  });
  ASSERT_GT(writer, 0);
  close(reports[1]);
  int32_t last = -1;
  int32_t index = 0;
  while (last < 150 && read(reports[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index)) last = index;
  ASSERT_EQ(kill(writer, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status));
  // Reports sent before the kill are still in the pipe.
  while (read(reports[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index)) last = index;
  close(reports[0]);
  ASSERT_GE(last, 150);

  // The hive opens cleanly in a fresh connection ...
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(m_dir.UserHive().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);

  // ... and holds every value whose call had returned, byte for byte.
  int missing = 0;
  for (int32_t i = 0; i <= last; ++i) {
    std::string expected = "value-" + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.');
    if (GetRegString("Crash", NameOf(0, i).c_str(), "missing", 1) != CString(expected)) ++missing;
  }
  EXPECT_EQ(missing, 0);
  // At most the call in flight may have landed beyond the last report.
  EXPECT_LE(ValueNamesOf(HKEY_CURRENT_USER, "App\\Crash").size(), static_cast<size_t>(last) + 2);

  // The hive takes new writes afterwards.
  CString after("after");
  SetRegValue("Crash", "after", after, 1);
  EXPECT_EQ(GetRegString("Crash", "after", "", 1), "after");
}

TEST_F(SettingsTest, AProcessThatExitsLeavesItsHiveAsOneFile) {
  pid_t child = fork();
  if (child == 0) {
    MakeKey(HKEY_CURRENT_USER, "App\\Exit");
    SetRegPath("App");
    SetRegValue("Exit", "n", 31337, 1);
    std::exit(0);  // a normal exit, with static destructors
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(pelix::test::FileExists(m_dir.UserHive() + "-wal"));
  // The file alone, copied elsewhere, holds the value.
  pelix::test::RegistryDir copy;
  pelix::test::WriteFileBytes(copy.UserHive(), pelix::test::ReadFileBytes(m_dir.UserHive()));
  SetRegPath("App");
  EXPECT_EQ(GetRegDword("Exit", "n", 0, 1), 31337u);
}

}  // namespace
