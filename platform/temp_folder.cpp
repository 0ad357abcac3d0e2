#include "platform/temp_folder.h"

#include <cstdlib>
#include <cstring>

#include "pelix/platform.h"

namespace pelix::platform {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace pelix::platform

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
  const std::string folder = pelix::platform::TempFolder();
  const DWORD length = static_cast<DWORD>(folder.size());
  if (buffer == nullptr || bufferLength < length + 1) return length + 1;
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return length;
}
