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
// - everything outside the sandbox is unchanged (no guard file gained a link);
// - inside the unpacked folder there is no device, FIFO or socket, and every
//   symbolic link resolves inside it;
// - the package path, if one was found, lies inside the unpacked folder.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "harness.h"
#include "pelix/tolva_sw_handler.h"
#include "tests/support/archive_builder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensions[] = {"zip", "tar", "tgz", "ZIP"};

struct Sandbox {
  pelix::fuzz::ScratchFolder scratch{"archive"};
  std::string guard = scratch.Path() + "guard/", sandbox = scratch.Path() + "sandbox/", unpacked = sandbox + "pkg";
  std::map<std::string, std::string> before;
  Sandbox() {
    pelix::fuzz::MakeFolder(guard + "inner");
    pelix::fuzz::MakeFolder(sandbox);
    pelix::fuzz::WriteFile(guard + "sentinel", "guard file: must never change\n");
    pelix::fuzz::WriteFile(guard + "inner/FLF1GUARD", "a file-information file outside the sandbox\n");
    before = pelix::test::Snapshot(scratch.Path(), sandbox);
  }
};

bool Inside(const fs::path& path, const fs::path& folder) {
  const std::string p = path.lexically_normal().string(), f = folder.lexically_normal().string();
  return p == f || p.rfind(f.back() == '/' ? f : f + "/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox box;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  const std::string extension = kExtensions[input.Byte() % 4];
  const auto kind = static_cast<LoadableZCU_Type>(input.Byte() % 8);
  pelix::fuzz::ClearFolder(box.sandbox);
  const std::string archivePath = box.sandbox + "pkg." + extension;
  pelix::fuzz::WriteFile(archivePath, input.Rest());
  {
    CTolva_SW_Handler handler;
    CString archive(archivePath);
    const int result = handler.Decompress_KVO_Package(archive, kind);
    FUZZ_CHECK((result == 0 || result == 1) && archive == CString(archivePath));
    FUZZ_CHECK(extension != "ZIP" || result == 0);
    const CString packagePath = handler.GetKVO_Path();
    FUZZ_CHECK(packagePath.IsEmpty() || (result == 1 && Inside(packagePath.str(), box.unpacked)));
  }
  std::error_code error;
  for (fs::directory_iterator it(box.sandbox, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    FUZZ_CHECK(name == "pkg." + extension || name == "pkg");
  }
  FUZZ_CHECK(pelix::test::Snapshot(box.scratch.Path(), box.sandbox) == box.before);
  const fs::path root = fs::weakly_canonical(box.unpacked, error);
  for (fs::recursive_directory_iterator it(box.unpacked, error), end; !error && it != end; it.increment(error)) {
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0) continue;
    FUZZ_CHECK(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode));
    std::error_code linkError;
    const fs::path resolved = fs::weakly_canonical(it->path(), linkError);
    FUZZ_CHECK(!S_ISLNK(info.st_mode) || linkError || Inside(resolved, root));
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
