// The settings commands' work, shared with the demo.
#pragma once

#include <string>

namespace pelix::tool {

struct SettingRef {
  std::string key;
  std::string name;
  std::string base;  // empty: the key is the full key below HKEY_CURRENT_USER
};

// Whether the user's hive has the key (after the library's template copy).
bool UserKeyExists(const SettingRef& ref);
// Makes the user's key (a testing and set-up aid: the library itself only
// writes below keys the user or the machine's template already has).
void CreateUserKey(const SettingRef& ref);
// Writes the value and reads it back; throws OperationFailed with the
// registry's reason when it does not read back as written.
void SetSetting(const SettingRef& ref, const std::string& value, bool dword);
// Reads the value; false when it is not there (or empty). Throws
// OperationFailed when the user's settings cannot be read at all.
bool GetSetting(const SettingRef& ref, bool dword, std::string& value);
// Deletes the value and checks that it is gone (OperationFailed otherwise).
void DeleteSetting(const SettingRef& ref);
// "ERROR_ACCESS_DENIED: access is denied (...)": a registry result as its name
// and a sentence.
std::string RegistryResult(long status);

}  // namespace pelix::tool
