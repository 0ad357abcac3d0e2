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
// Writes the value; throws OperationFailed when the user has no such key.
void SetSetting(const SettingRef& ref, const std::string& value, bool dword);
// Reads the value; false when it is not there (or empty).
bool GetSetting(const SettingRef& ref, bool dword, std::string& value);
void DeleteSetting(const SettingRef& ref);

}  // namespace pelix::tool
