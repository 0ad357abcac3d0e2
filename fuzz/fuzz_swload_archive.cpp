// Package archives: any bytes as a zip, tar or gzip-compressed tar.
//
// Input: the host byte, the archive kind octet (0 "zip", 1 "tar", 2 "tgz",
// 3 "ZIP", which is refused), the kind of central unit (0 to 7), then the
// archive's bytes.
//
// The archive lies in a sandbox folder; the handler unpacks it (and the
// archives inside it) into a folder beside it. Next to the sandbox lies a
// guard folder with files of known content. After each input:
// - everything outside the sandbox is unchanged (no guard file gained a link);
// - inside the unpacked folder there is no device, FIFO or socket, and every
//   symbolic link resolves inside it;
// - the package path, if one was found, lies inside the unpacked folder.

#include "harness.h"
#include "pelix/tolva_sw_handler.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensions[] = {"zip", "tar", "tgz", "ZIP"};

// Every path below root but skip and what it holds, with its mode, link
// count, time of change (of content, entries, mode or links) and size.
std::string Snapshot(const std::string& root, const fs::path& skip) {
  std::string out;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    struct stat info {};
    if (it->path() == skip) it.disable_recursion_pending();
    if (it->path() == skip || ::lstat(it->path().c_str(), &info) != 0) continue;
    out += it->path().string() + " " + std::to_string(info.st_mode) + " " + std::to_string(info.st_nlink) + " " +
           std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec) + " " +
           std::to_string(info.st_size) + "\n";
  }
  return out;
}

// Whether path, its links resolved, lies in folder (or cannot be resolved).
bool Inside(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const std::string p = fs::weakly_canonical(path, error).string(), f = fs::weakly_canonical(folder).string();
  return error || p == f || p.rfind(f + "/", 0) == 0;
}

}  // namespace

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost&) {
  const std::string& scratch = pelix::fuzz::Scratch();
  const std::string sandbox = scratch + "sandbox/", unpacked = sandbox + "pkg";
  static const auto before = [&scratch] {
    std::filesystem::create_directories(scratch + "guard/inner");
    pelix::fuzz::WriteFile(scratch + "guard/sentinel", "guard file: must never change\n");
    pelix::fuzz::WriteFile(scratch + "guard/inner/FLF1GUARD", "a file-information file outside the sandbox\n");
    return Snapshot(scratch, scratch + "sandbox");
  }();
  const std::string extension = kExtensions[input.Byte() % 4], archivePath = sandbox + "pkg." + extension;
  const auto kind = static_cast<LoadableZCU_Type>(input.Byte() % 8);
  pelix::fuzz::ClearFolder(sandbox);
  pelix::fuzz::WriteFile(archivePath, input.Rest());
  CTolva_SW_Handler handler;
  CString archive(archivePath);
  const int result = handler.Decompress_KVO_Package(archive, kind);
  FUZZ_CHECK((result == 0 || result == 1) && archive == CString(archivePath) && (extension != "ZIP" || result == 0));
  FUZZ_CHECK(handler.GetKVO_Path().IsEmpty() || (result == 1 && Inside(handler.GetKVO_Path().str(), unpacked)));
  std::error_code error;
  FUZZ_CHECK(Snapshot(scratch, scratch + "sandbox") == before);
  for (fs::recursive_directory_iterator it(unpacked, error), end; !error && it != end; it.increment(error)) {
    struct stat info {};
    FUZZ_CHECK(::lstat(it->path().c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode) ||
               (S_ISLNK(info.st_mode) && Inside(it->path(), unpacked)));
  }
}
