// The settings store: six value operations below the per-user base path, and
// the copy of the machine's template into the user's hive.
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "frame/frame.h"
#include "pelix/platform_registry.h"
#include "pelix/regfunc.h"
#include "registry/regfunc_internal.h"

CString g_regPath;

namespace pelix::registry {
namespace {

Allocator g_allocator = nullptr;

void* Allocate(std::size_t size) { return g_allocator != nullptr ? g_allocator(size) : std::malloc(size); }

CString FullKey(const CString& key, int useBasePath) { return useBasePath != 0 ? g_regPath + "\\" + key : key; }

// Opens the user's key, copying the machine's template first if the user lacks it.
LONG OpenUserKey(const CString& fullKey, REGSAM access, HKEY* result) {
  LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, fullKey.GetString(), 0, access, result);
  if (opened == ERROR_SUCCESS) return opened;
  InitUserRegKey(fullKey);
  return RegOpenKeyExA(HKEY_CURRENT_USER, fullKey.GetString(), 0, access, result);
}

// Enumerates subkey index of source into name and keyClass, growing them when
// the registry asks for more room.
LONG EnumSubKey(HKEY source, DWORD index, std::vector<char>& name, std::vector<char>& keyClass) {
  LONG result = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD classSize = static_cast<DWORD>(keyClass.size());
    result = RegEnumKeyExA(source, index, name.data(), &nameSize, nullptr, keyClass.data(), &classSize, nullptr);
    if (result == ERROR_MORE_DATA) {
      if (nameSize > name.size()) name.resize(nameSize);
      if (classSize > keyClass.size()) keyClass.resize(classSize);
    }
  }
  return result;
}

LONG EnumValue(HKEY source, DWORD index, std::vector<char>& name, DWORD& type, std::vector<BYTE>& data,
               DWORD& dataSize) {
  LONG result = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    dataSize = static_cast<DWORD>(data.size());
    result = RegEnumValueA(source, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      if (nameSize > name.size()) name.resize(nameSize);
      if (dataSize > data.size()) data.resize(dataSize);
    }
  }
  return result;
}

void CopyTree(HKEY source, HKEY destination, int depth) {
  try {
    std::vector<char> name(kCopyNameSize);
    std::vector<char> keyClass(kCopyNameSize);
    for (DWORD index = 0; depth < kCopyMaxDepth; ++index) {
      LONG found = EnumSubKey(source, index, name, keyClass);
      if (found == ERROR_MORE_DATA) continue;  // changing under us: skip it
      if (found != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS, or the hive failed
      HKEY destinationSub = nullptr;
      if (RegCreateKeyExA(destination, name.data(), 0, keyClass.data(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &destinationSub, nullptr) != ERROR_SUCCESS) {
        continue;
      }
      HKEY sourceSub = nullptr;
      if (RegOpenKeyExA(source, name.data(), 0, KEY_READ, &sourceSub) != ERROR_SUCCESS) {
        RegCloseKey(destinationSub);
        continue;
      }
      CopyTree(sourceSub, destinationSub, depth + 1);
    }
    std::vector<BYTE> data(kCopyDataSize);
    for (DWORD index = 0;; ++index) {
      DWORD type = REG_NONE;
      DWORD dataSize = 0;
      LONG found = EnumValue(source, index, name, type, data, dataSize);
      if (found == ERROR_MORE_DATA) continue;
      if (found != ERROR_SUCCESS) break;
      RegSetValueExA(destination, name.data(), 0, type, data.data(), dataSize);
    }
  } catch (const std::bad_alloc&) {
    // An entry too large to hold ends the copy; what was copied stays.
  }
  RegCloseKey(source);
  RegCloseKey(destination);
}

}  // namespace

Allocator SetAllocator(Allocator allocator) {
  Allocator previous = g_allocator;
  g_allocator = allocator;
  return previous;
}

void InitUserRegKey(const CString& path) {
  HKEY user = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.GetString(), 0, KEY_READ, &user) == ERROR_SUCCESS) {
    RegCloseKey(user);
    return;
  }
  HKEY machine = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.GetString(), 0, KEY_READ, &machine) != ERROR_SUCCESS) return;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.GetString(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &user, &disposition) != ERROR_SUCCESS) {
    RegCloseKey(machine);
    return;
  }
  CopyRegKey(machine, user);
}

void CopyRegKey(HKEY source, HKEY destination) { CopyTree(source, destination, 0); }

}  // namespace pelix::registry

using pelix::registry::Allocate;
using pelix::registry::FullKey;
using pelix::registry::OpenUserKey;

void SetRegPath(const CString& path) {
  PELIX_SCOPE("SetRegPath()");
  g_regPath = path;
  pelix::registry::InitUserRegKey(g_regPath);
}

void SetRegValue(const CString& key, const CString& valueName, CString& value, int useBasePath) {
  PELIX_SCOPE("SetRegValue()");
  HKEY regKey = nullptr;
  if (OpenUserKey(FullKey(key, useBasePath), KEY_SET_VALUE, &regKey) != ERROR_SUCCESS) return;
  RegSetValueExA(regKey, valueName.GetString(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.GetString()),
                 static_cast<DWORD>(value.GetLength()));
  RegCloseKey(regKey);
}

void SetRegValue(const CString& key, const CString& valueName, DWORD value, int useBasePath) {
  PELIX_SCOPE("SetRegValue");
  HKEY regKey = nullptr;
  if (OpenUserKey(FullKey(key, useBasePath), KEY_SET_VALUE, &regKey) != ERROR_SUCCESS) return;
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                         static_cast<BYTE>(value >> 24)};
  RegSetValueExA(regKey, valueName.GetString(), 0, REG_DWORD, bytes, sizeof bytes);
  RegCloseKey(regKey);
}

CString GetRegString(const CString& key, const CString& valueName, const CString& defaultValue, int useBasePath) {
  PELIX_SCOPE("GetRegString()");
  auto* dataSize = static_cast<DWORD*>(Allocate(sizeof(DWORD)));
  if (dataSize == nullptr) {
    PELIX_FAIL(EK_CHECK, "dataSize != NULL");
    return CString();
  }
  auto* dataType = static_cast<DWORD*>(Allocate(sizeof(DWORD)));
  if (dataType == nullptr) {
    std::free(dataSize);
    PELIX_FAIL(EK_CHECK, "dataType != NULL");
    return CString();
  }
  *dataSize = 100;
  *dataType = 0;

  HKEY regKey = nullptr;
  if (OpenUserKey(FullKey(key, useBasePath), KEY_READ, &regKey) != ERROR_SUCCESS) {
    std::free(dataType);
    std::free(dataSize);
    return defaultValue;
  }
  // Only the size matters here; a failed query leaves the cell at 100.
  RegQueryValueExA(regKey, valueName.GetString(), nullptr, dataType, nullptr, dataSize);
  // At least one byte, so that an empty value is not taken for a failed allocation.
  auto* tempText = static_cast<BYTE*>(Allocate(*dataSize > 0 ? *dataSize : 1));
  if (tempText == nullptr) {
    RegCloseKey(regKey);
    std::free(dataType);
    std::free(dataSize);
    PELIX_FAIL(EK_CHECK, "tempText != NULL");
    return CString();
  }
  CString result = defaultValue;
  if (RegQueryValueExA(regKey, valueName.GetString(), nullptr, dataType, tempText, dataSize) == ERROR_SUCCESS &&
      *dataSize > 0) {
    const void* zero = std::memchr(tempText, 0, *dataSize);
    size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const BYTE*>(zero) - tempText) : *dataSize;
    result = CString(std::string(reinterpret_cast<const char*>(tempText), length));
  }
  RegCloseKey(regKey);
  std::free(tempText);
  std::free(dataType);
  std::free(dataSize);
  return result;
}

DWORD GetRegDword(const CString& key, const CString& valueName, DWORD defaultValue, int useBasePath) {
  PELIX_SCOPE("GetRegDword()");
  auto* dataSize = static_cast<DWORD*>(Allocate(sizeof(DWORD)));
  if (dataSize == nullptr) {
    PELIX_FAIL(EK_CHECK, "dataSize != NULL");
    return 0;
  }
  auto* dataType = static_cast<DWORD*>(Allocate(sizeof(DWORD)));
  if (dataType == nullptr) {
    std::free(dataSize);
    PELIX_FAIL(EK_CHECK, "dataType != NULL");
    return 0;
  }
  *dataSize = 4;
  *dataType = 0;

  HKEY regKey = nullptr;
  if (OpenUserKey(FullKey(key, useBasePath), KEY_READ, &regKey) != ERROR_SUCCESS) {
    std::free(dataType);
    std::free(dataSize);
    return defaultValue;
  }
  auto* tempText = static_cast<BYTE*>(Allocate(*dataSize));
  if (tempText == nullptr) {
    RegCloseKey(regKey);
    std::free(dataType);
    std::free(dataSize);
    PELIX_FAIL(EK_CHECK, "tempText != NULL");
    return 0;
  }
  // Bytes a shorter value leaves unfilled read as zero.
  std::memset(tempText, 0, 4);
  DWORD result = defaultValue;
  if (RegQueryValueExA(regKey, valueName.GetString(), nullptr, dataType, tempText, dataSize) == ERROR_SUCCESS) {
    result = static_cast<DWORD>(tempText[0]) | (static_cast<DWORD>(tempText[1]) << 8) |
             (static_cast<DWORD>(tempText[2]) << 16) | (static_cast<DWORD>(tempText[3]) << 24);
  }
  RegCloseKey(regKey);
  std::free(tempText);
  std::free(dataType);
  std::free(dataSize);
  return result;
}

void DeleteRegValue(const CString& key, const CString& valueName, int useBasePath) {
  PELIX_SCOPE("DeleteRegValue()");
  HKEY regKey = nullptr;
  if (OpenUserKey(FullKey(key, useBasePath), KEY_SET_VALUE, &regKey) != ERROR_SUCCESS) return;
  RegDeleteValueA(regKey, valueName.GetString());
  RegCloseKey(regKey);
}
