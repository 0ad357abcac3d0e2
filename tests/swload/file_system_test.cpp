// The POSIX file system behind the seam, and installing another one.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/swload/swload_support.h"

namespace {

using pelix::platform::FileSystem;
using pelix::platform::PosixFileSystem;
using pelix::test::ReadFile;
using pelix::test::Scratch;
using pelix::test::WriteFile;

TEST(PosixFileSystemTest, WriteSeekReadRoundTrip) {
  Scratch scratch;
  PosixFileSystem files;
  const std::string path = scratch.root + "f";
  const int out = files.Open(path, FileSystem::kCreateWrite);
  ASSERT_GE(out, 0);
  EXPECT_EQ(files.Write(out, "hello world", 11), 11);
  EXPECT_TRUE(files.Flush(out));
  EXPECT_TRUE(files.DropCache(out));
  EXPECT_TRUE(files.Close(out));

  const int in = files.Open(path, FileSystem::kOpenRead);
  ASSERT_GE(in, 0);
  EXPECT_EQ(files.Seek(in, 6, SEEK_SET), 6);
  EXPECT_EQ(files.Tell(in), 6);
  char buffer[16] = {};
  EXPECT_EQ(files.Read(in, buffer, sizeof buffer), 5);  // fewer at the end
  EXPECT_EQ(std::string(buffer), "world");
  EXPECT_EQ(files.Read(in, buffer, sizeof buffer), 0);
  EXPECT_TRUE(files.Close(in));
  EXPECT_FALSE(files.Close(in));  // already closed

  // Creating again truncates.
  const int again = files.Open(path, FileSystem::kCreateWrite);
  ASSERT_GE(again, 0);
  EXPECT_TRUE(files.Close(again));
  EXPECT_EQ(ReadFile(path), "");
}

TEST(PosixFileSystemTest, FoldersCannotBeOpenedAsFiles) {
  Scratch scratch;
  PosixFileSystem files;
  EXPECT_EQ(files.Open(scratch.card, FileSystem::kOpenRead), -1);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(files.Open(scratch.card, FileSystem::kCreateWrite), -1);
  EXPECT_EQ(files.Open(scratch.root + "missing", FileSystem::kOpenRead), -1);
}

TEST(PosixFileSystemTest, ListingOmitsDotEntriesAndFailsOnMissingFolders) {
  Scratch scratch;
  PosixFileSystem files;
  WriteFile(scratch.card + "A", "");
  ASSERT_TRUE(files.MakeFolder(scratch.card + "SUB/"));
  EXPECT_FALSE(files.MakeFolder(scratch.card + "SUB"));  // exists
  std::vector<std::string> names = {"stale"};
  ASSERT_TRUE(files.List(scratch.card, names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A", "SUB"}));
  EXPECT_FALSE(files.List(scratch.root + "missing/", names));
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(files.IsFolder(scratch.card + "SUB"));
  EXPECT_FALSE(files.IsFolder(scratch.card + "A"));
  EXPECT_TRUE(files.Exists(scratch.card + "A"));
  EXPECT_FALSE(files.Exists(""));
  EXPECT_FALSE(files.Remove(scratch.card + "SUB"));  // folders are not removed
  EXPECT_TRUE(files.FlushFolder(scratch.card));
  EXPECT_FALSE(files.FlushFolder(scratch.root + "missing"));
}

TEST(PosixFileSystemTest, ReadOnlyFileIsMadeWritableAndRemoved) {
  Scratch scratch;
  PosixFileSystem files;
  const std::string path = scratch.card + "RO";
  WriteFile(path, "x");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(files.MakeWritable(path));
  const int fd = files.Open(path, FileSystem::kCreateWrite);
  EXPECT_GE(fd, 0);
  if (fd >= 0) {
    EXPECT_TRUE(files.Close(fd));
  }
  EXPECT_TRUE(files.Remove(path));
  EXPECT_FALSE(files.Exists(path));
  EXPECT_FALSE(files.MakeWritable(path));
}

TEST(FileSystemSeamTest, InstallReturnsThePreviousOne) {
  FileSystem& standard = pelix::platform::Files();
  PosixFileSystem first;
  PosixFileSystem second;
  EXPECT_EQ(pelix::platform::SetFileSystem(&first), nullptr);
  EXPECT_EQ(&pelix::platform::Files(), &first);
  EXPECT_EQ(pelix::platform::SetFileSystem(&second), &first);
  EXPECT_EQ(pelix::platform::SetFileSystem(nullptr), &second);
  EXPECT_EQ(&pelix::platform::Files(), &standard);
}

}  // namespace
