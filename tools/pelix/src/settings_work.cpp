#include "settings_work.h"

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

}  // namespace

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
  if (status != ERROR_SUCCESS) {
    throw OperationFailed("cannot create the key " + FullKey(ref) + " (registry error " + std::to_string(status) + ")");
  }
  RegCloseKey(key);
}

void SetSetting(const SettingRef& ref, const std::string& value, bool dword) {
  const int useBase = UseBase(ref);
  if (dword) {
    const long number = ParseInteger(value, "the value");
    if (number < 0 || number > 0xFFFFFFFFL) throw UsageError("a --dword value must be 0 to 4294967295");
    SetRegValue(CString(ref.key), CString(ref.name), static_cast<DWORD>(number), useBase);
  } else {
    CString text(value);
    SetRegValue(CString(ref.key), CString(ref.name), text, useBase);
  }
  // The library writes only below a key that exists (or that the machine's
  // template provides) and says nothing otherwise.
  if (!UserKeyExists(ref)) {
    throw OperationFailed("no key " + FullKey(ref) + " in the user's settings (use --create to make it)");
  }
}

bool GetSetting(const SettingRef& ref, bool dword, std::string& value) {
  const int useBase = UseBase(ref);
  if (dword) {
    const DWORD a = GetRegDword(CString(ref.key), CString(ref.name), 0u, useBase);
    const DWORD b = GetRegDword(CString(ref.key), CString(ref.name), 1u, useBase);
    if (a != b) return false;
    value = std::to_string(a);
    return true;
  }
  const CString a = GetRegString(CString(ref.key), CString(ref.name), CString(kMissingA), useBase);
  const CString b = GetRegString(CString(ref.key), CString(ref.name), CString(kMissingB), useBase);
  if (a != b) return false;
  value = Str(a);
  return true;
}

void DeleteSetting(const SettingRef& ref) {
  const int useBase = UseBase(ref);
  DeleteRegValue(CString(ref.key), CString(ref.name), useBase);
}

}  // namespace pelix::tool
