// Helpers for the settings store tests: a fresh registry folder with a
// recording host, and direct reads and writes of the hives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelix/platform.h"
#include "pelix/regfunc.h"
#include "tests/support/recording_host.h"
#include "tests/support/registry_dir.h"

namespace pelix::test {

// A value as stored in a hive.
struct StoredValue {
  LONG result = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string bytes;
};

inline StoredValue ReadStored(HKEY root, const std::string& key, const std::string& name) {
  StoredValue stored;
  HKEY opened = nullptr;
  stored.result = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened);
  if (stored.result != ERROR_SUCCESS) return stored;
  DWORD size = 0;
  stored.result = RegQueryValueExA(opened, name.c_str(), nullptr, &stored.type, nullptr, &size);
  if (stored.result == ERROR_SUCCESS) {
    std::vector<BYTE> buffer(size + 1);
    stored.result = RegQueryValueExA(opened, name.c_str(), nullptr, &stored.type, buffer.data(), &size);
    stored.bytes.assign(reinterpret_cast<const char*>(buffer.data()), size);
  }
  RegCloseKey(opened);
  return stored;
}

inline bool KeyExists(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// Creates key (and its parents) and writes one value into it.
inline void Store(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes,
                  const char* keyClass = nullptr) {
  HKEY created = nullptr;
  std::string cls = keyClass != nullptr ? keyClass : "";
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, keyClass != nullptr ? cls.data() : nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(created, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(created);
}

inline void MakeKey(HKEY root, const std::string& key) {
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(created);
}

inline std::string Dword(DWORD value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  return std::string(bytes, 4);
}

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { g_regPath = CString(); }
  ~SettingsTest() override { g_regPath = CString(); }

  RegistryDir m_dir;
  RecordingHost m_host;
};

}  // namespace pelix::test
