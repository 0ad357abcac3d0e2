#include "settings_work.h"

#include <functional>

#include <pelix/common.h>

#include "tool.h"

namespace pelix::tool {

namespace {

int UseBase(const SettingRef& ref) {
  if (ref.base.empty()) return 0;
  SetRegPath(CString(ref.base));
  return 1;
}

std::string FullKey(const SettingRef& ref) { return ref.base.empty() ? ref.key : ref.base + "\\" + ref.key; }

// Two different defaults tell a missing value from a stored one.
constexpr const char* kMissingA = "\x01pelix-missing-a";
constexpr const char* kMissingB = "\x01pelix-missing-b";

struct ResultText {
  LONG status;
  const char* name;
  const char* sentence;
};

constexpr ResultText kResults[] = {
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND", "the key does not exist (set --create makes it)"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED", "access is denied: the hive cannot be written"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE", "the key handle is not valid"},
    {ERROR_OUTOFMEMORY, "ERROR_OUTOFMEMORY", "there is not enough memory"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER", "a parameter is not valid"},
    {ERROR_MORE_DATA, "ERROR_MORE_DATA", "the value is larger than the buffer"},
    {ERROR_NO_MORE_ITEMS, "ERROR_NO_MORE_ITEMS", "there are no more entries"},
    {ERROR_BAD_PATHNAME, "ERROR_BAD_PATHNAME", "the key path has an empty name in it"},
    {ERROR_BADDB, "ERROR_BADDB", "the hive file is damaged: it is not a usable hive"},
    {ERROR_REGISTRY_IO_FAILED, "ERROR_REGISTRY_IO_FAILED", "the hive file could not be read or written"},
    {ERROR_KEY_DELETED, "ERROR_KEY_DELETED", "the hive file of the key went away"},
};

// Why the key cannot be written (or read): the registry's own answer when the
// tool opens it, or the result of `write` when the key opens.
LONG KeyStatus(const SettingRef& ref, REGSAM access, const std::function<LONG(HKEY)>& write = {}) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, FullKey(ref).c_str(), 0, access, &key);
  if (status != ERROR_SUCCESS) return status;
  if (write) status = write(key);
  RegCloseKey(key);
  return status;
}

// A value that is not there may hide a hive that cannot be read at all.
void CheckReadable(const SettingRef& ref) {
  const LONG status = KeyStatus(ref, KEY_READ);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw OperationFailed("cannot read the key " + FullKey(ref) + ": " + RegistryResult(status));
  }
}

[[noreturn]] void NotAsAsked(const SettingRef& ref, const char* what, LONG status) {
  std::string message = std::string("the value ") + ref.name + " under " + FullKey(ref) + " was not " + what;
  if (status != ERROR_SUCCESS) message += ": " + RegistryResult(status);
  throw OperationFailed(message);
}

}  // namespace

std::string RegistryResult(long status) {
  for (const ResultText& result : kResults) {
    if (result.status == status) return std::string(result.name) + ", " + result.sentence;
  }
  return "registry error " + std::to_string(status);
}

bool UserKeyExists(const SettingRef& ref) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FullKey(ref).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void CreateUserKey(const SettingRef& ref) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, FullKey(ref).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS)
    throw OperationFailed("cannot create the key " + FullKey(ref) + ": " + RegistryResult(status));
  RegCloseKey(key);
}

void SetSetting(const SettingRef& ref, const std::string& value, bool dword) {
  const int useBase = UseBase(ref);
  std::string expected = value;
  DWORD number = 0;
  if (dword) {
    const long parsed = ParseInteger(value, "the value");
    if (parsed < 0 || parsed > 0xFFFFFFFFL) throw UsageError("a --dword value must be 0 to 4294967295");
    number = static_cast<DWORD>(parsed);
    expected = std::to_string(number);
    SetRegValue(CString(ref.key), CString(ref.name), number, useBase);
  } else {
    CString text(value);
    SetRegValue(CString(ref.key), CString(ref.name), text, useBase);
  }
  // The library says nothing when a write fails: read the value back, and
  // when it is not as asked, ask the registry why with the same write.
  std::string stored;
  bool found = false;
  try {
    found = GetSetting(ref, dword, stored);
  } catch (const OperationFailed&) {
    // The registry's reason follows from the write below.
  }
  if (found && stored == expected) return;
  if (!found && !dword && value.empty() && UserKeyExists(ref)) return;  // an empty text reads as missing
  NotAsAsked(ref, "written", KeyStatus(ref, KEY_SET_VALUE, [&](HKEY key) {
               return dword ? RegSetValueExA(key, ref.name.c_str(), 0, REG_DWORD,
                                             reinterpret_cast<const BYTE*>(&number), sizeof number)
                            : RegSetValueExA(key, ref.name.c_str(), 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(value.c_str()),
                                             static_cast<DWORD>(value.size() + 1));
             }));
}

bool GetSetting(const SettingRef& ref, bool dword, std::string& value) {
  const int useBase = UseBase(ref);
  if (dword) {
    const DWORD a = GetRegDword(CString(ref.key), CString(ref.name), 0u, useBase);
    const DWORD b = GetRegDword(CString(ref.key), CString(ref.name), 1u, useBase);
    if (a != b) {
      CheckReadable(ref);
      return false;
    }
    value = std::to_string(a);
    return true;
  }
  const CString a = GetRegString(CString(ref.key), CString(ref.name), CString(kMissingA), useBase);
  const CString b = GetRegString(CString(ref.key), CString(ref.name), CString(kMissingB), useBase);
  if (a != b) {
    CheckReadable(ref);
    return false;
  }
  value = Str(a);
  return true;
}

void DeleteSetting(const SettingRef& ref) {
  const int useBase = UseBase(ref);
  DeleteRegValue(CString(ref.key), CString(ref.name), useBase);
  std::string left;
  if (!GetSetting(ref, false, left) && !GetSetting(ref, true, left)) return;
  NotAsAsked(ref, "deleted",
             KeyStatus(ref, KEY_SET_VALUE, [&](HKEY key) { return RegDeleteValueA(key, ref.name.c_str()); }));
}

}  // namespace pelix::tool
