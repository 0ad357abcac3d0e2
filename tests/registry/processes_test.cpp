// Several terminal processes on one hive: concurrent writers lose nothing, and
// a writer killed mid-way leaves a hive holding every write that returned.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/registry/registry_support.h"

namespace {

using namespace pelix::test;  // NOLINT(google-build-using-namespace): the test helpers

using Strings = std::vector<std::string>;
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
  for (const char* bytes = static_cast<const char*>(data); size > 0;) {
    ssize_t written = write(fd, bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Waits for child; its wait status.
int Reap(pid_t child) {
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  return status;
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
  ASSERT_TRUE(WriteAll(start[1], "gg", 2));
  close(start[1]);
  for (pid_t writer : writers) {
    int status = Reap(writer);
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
  auto textOf = [](int32_t i) { return "value-" + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.'); };
  int reports[2];
  ASSERT_EQ(pipe(reports), 0);
  pid_t writer = Spawn([&reports, &textOf] {
    close(reports[0]);
    for (int32_t i = 0; i < 1000000; ++i) {
      CString text(textOf(i));
      SetRegValue("Crash", NameOf(0, i).c_str(), text, 1);
      if (!WriteAll(reports[1], &i, sizeof i)) _exit(3);  // this write has returned
    }
  });
  ASSERT_GT(writer, 0);
  close(reports[1]);
  int32_t last = -1;
  int32_t index = 0;
  auto readReport = [&] { return read(reports[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index); };
  while (last < 150 && readReport()) last = index;
  ASSERT_EQ(kill(writer, SIGKILL), 0);
  ASSERT_TRUE(WIFSIGNALED(Reap(writer)));
  while (readReport()) last = index;  // reports sent before the kill are still in the pipe
  close(reports[0]);
  ASSERT_GE(last, 150);

  // The hive opens cleanly in a fresh connection ...
  Strings integrity;
  ASSERT_TRUE(Sql(m_dir.UserHive(), "PRAGMA integrity_check", &integrity, SQLITE_OPEN_READWRITE));
  EXPECT_EQ(integrity, Strings{"ok"});

  // ... and holds every value whose call had returned, byte for byte.
  int missing = 0;
  for (int32_t i = 0; i <= last; ++i) {
    if (GetRegString("Crash", NameOf(0, i).c_str(), "missing", 1) != CString(textOf(i))) ++missing;
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
  int status = Reap(child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(FileExists(m_dir.UserHive() + "-wal"));
  // The file alone, copied elsewhere, holds the value.
  RegistryDir copy;
  WriteFileBytes(copy.UserHive(), ReadFileBytes(m_dir.UserHive()));
  SetRegPath("App");
  EXPECT_EQ(GetRegDword("Exit", "n", 0, 1), 31337u);
}

}  // namespace
