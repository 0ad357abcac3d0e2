#include "platform/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "pelix/platform.h"

namespace pelix::platform {

namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string TempFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder;
  if (IsSet(runtime)) {
    folder = runtime;
  } else {
    const char* tmp = std::getenv("TMPDIR");
    folder = IsSet(tmp) ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    folder += "pelix-" + std::to_string(geteuid());
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

  if (::mkdir(folder.c_str(), 0700) == 0) {
    // The umask may have taken bits the owner needs.
    if (::chmod(folder.c_str(), 0700) != 0) return "";
  } else if (errno != EEXIST) {
    return "";
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
      (info.st_mode & 077) != 0) {
    return "";
  }
  return folder + "/";
}

}  // namespace pelix::platform

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
  const std::string folder = pelix::platform::TempFolder();
  if (folder.empty()) return 0;
  const DWORD length = static_cast<DWORD>(folder.size());
  if (buffer == nullptr || bufferLength < length + 1) return length + 1;
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return length;
}
