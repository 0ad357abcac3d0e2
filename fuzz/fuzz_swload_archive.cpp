// Package archives: any bytes as a zip, tar or gzip-compressed tar.
//
// Input: the host byte, the archive kind octet (0 "zip", 1 "tar", 2 "tgz",
// 3 "ZIP", which is refused), the kind of central unit (0 to 7), then the
// archive's bytes.
//
// The archive lies in a sandbox folder; the handler unpacks it (and the
// archives inside it) into a folder beside it. Next to the sandbox lies a
// guard folder with files of known content. After each input:
// - the sandbox holds only the archive and its unpacked folder;
// - the guard folder and the scratch folder around both are unchanged, and no
//   guard file gained a hard link;
// - inside the unpacked folder there is no device, FIFO or socket, and every
//   symbolic link resolves inside it;
// - the package path, if one was found, lies inside the unpacked folder.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "harness.h"
#include "pelix/tolva_sw_handler.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensions[] = {"zip", "tar", "tgz", "ZIP"};

// Every entry below root (but not below skip), with its kind, size, link
// count and, for regular files, its content; symbolic links are not followed.
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& skip) {
  std::map<std::string, std::string> entries;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::none, error), end; !error && it != end;
       it.increment(error)) {
    const std::string path = it->path().string();
    if ((path + "/").rfind(skip, 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) continue;
    std::string description =
        std::to_string(info.st_mode) + "/" + std::to_string(info.st_size) + "/" + std::to_string(info.st_nlink);
    if (S_ISREG(info.st_mode)) {
      std::string content;
      pelix::fuzz::ReadFile(path, content);
      description += "/" + content;
    }
    entries[path] = description;
  }
  return entries;
}

struct Sandbox {
  pelix::fuzz::ScratchFolder scratch{"archive"};
  std::string guard = scratch.Path() + "guard/";
  std::string sandbox = scratch.Path() + "sandbox/";
  std::string unpacked = sandbox + "pkg";
  std::map<std::string, std::string> before;

  Sandbox() {
    pelix::fuzz::MakeFolder(guard + "inner");
    pelix::fuzz::MakeFolder(sandbox);
    pelix::fuzz::WriteFile(guard + "sentinel", "guard file: must never change\n");
    pelix::fuzz::WriteFile(guard + "inner/FLF1GUARD", "a file-information file outside the sandbox\n");
    pelix::fuzz::WriteFile(scratch.Path() + "beside", "beside the sandbox\n");
    before = Snapshot(scratch.Path(), sandbox);
  }
};

bool Inside(const fs::path& path, const fs::path& folder) {
  const std::string p = path.lexically_normal().string();
  const std::string f = folder.lexically_normal().string();
  return p == f || p.rfind(f.back() == '/' ? f : f + "/", 0) == 0;
}

void CheckUnpacked(const std::string& unpacked) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(unpacked, error))) return;
  const fs::path root = fs::canonical(unpacked, error);
  FUZZ_CHECK(!error);
  for (fs::recursive_directory_iterator it(unpacked, fs::directory_options::none, error), end; !error && it != end;
       it.increment(error)) {
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0) continue;
    FUZZ_CHECK(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode));
    if (S_ISLNK(info.st_mode)) {
      std::error_code linkError;
      const fs::path resolved = fs::weakly_canonical(it->path(), linkError);
      if (!linkError) FUZZ_CHECK(Inside(resolved, root));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox box;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  const char* extension = kExtensions[input.Byte() % 4];
  const auto kind = static_cast<LoadableZCU_Type>(input.Byte() % 8);
  pelix::fuzz::ClearFolder(box.sandbox);
  const std::string archivePath = box.sandbox + "pkg." + extension;
  pelix::fuzz::WriteFile(archivePath, input.Rest());

  {
    CTolva_SW_Handler handler;
    CString archive(archivePath);
    const int result = handler.Decompress_KVO_Package(archive, kind);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(archive == CString(archivePath));
    if (extension[0] == 'Z') FUZZ_CHECK(result == 0);
    const CString packagePath = handler.GetKVO_Path();
    if (!packagePath.IsEmpty()) {
      FUZZ_CHECK(result == 1);
      FUZZ_CHECK(Inside(fs::path(packagePath.str()), fs::path(box.unpacked)));
    }
  }

  // Only the archive and its folder in the sandbox.
  std::error_code error;
  for (fs::directory_iterator it(box.sandbox, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    FUZZ_CHECK(name == std::string("pkg.") + extension || name == "pkg");
  }
  FUZZ_CHECK(Snapshot(box.scratch.Path(), box.sandbox) == box.before);
  CheckUnpacked(box.unpacked);
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
