// A fresh registry folder per test (PELIX_REGISTRY_DIR points at it while the
// object lives; removed afterwards) and direct reads and writes of the hives.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "pelix/platform.h"
#include "platform/temp_folder.h"

namespace pelix::test {

const HKEY HKCU = HKEY_CURRENT_USER, HKLM = HKEY_LOCAL_MACHINE;

class RegistryDir {
 public:
  RegistryDir() : m_path(pelix::platform::TempFolder() + "pelix-registry-XXXXXX") {
    if (getenv("PELIX_REGISTRY_DIR") != nullptr) m_previous = getenv("PELIX_REGISTRY_DIR");
    EXPECT_NE(mkdtemp(m_path.data()), nullptr);
    setenv("PELIX_REGISTRY_DIR", m_path.c_str(), 1);
  }
  ~RegistryDir() {
    m_previous.empty() ? unsetenv("PELIX_REGISTRY_DIR") : setenv("PELIX_REGISTRY_DIR", m_previous.c_str(), 1);
    std::filesystem::remove_all(m_path);
  }
  std::string User() const { return m_path + "/user.sqlite3"; }
  std::string Machine() const { return m_path + "/machine.sqlite3"; }

  std::string m_path, m_previous;
};

inline LONG Set(HKEY key, const char* name, const std::string& bytes, DWORD type = REG_SZ) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()));
}
// Creates root\key (and its parents) with keyClass; writes the value when name is given.
inline void Store(HKEY root, const std::string& key, const char* name = nullptr, DWORD type = REG_SZ,
                  const std::string& bytes = "", const char* keyClass = nullptr) {
  HKEY made = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(root, key.c_str(), 0, const_cast<char*>(keyClass), 0, KEY_ALL_ACCESS, nullptr, &made, nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(name != nullptr ? Set(made, name, bytes, type) : ERROR_SUCCESS, ERROR_SUCCESS);
  RegCloseKey(made);
}

// The value name of root\path (of root itself when path is null) as
// "type:bytes", read with a buffer of exactly the size the size query reports;
// for the names "*keys" and "*values" the subkey or value names in enumeration
// order, each followed by ';'. "error N" when a call fails.
inline std::string Read(HKEY root, const char* path, const char* name) {
  HKEY key = root;
  LONG result = path != nullptr ? RegOpenKeyExA(root, path, 0, KEY_READ, &key) : ERROR_SUCCESS;
  std::string out, found(600, '\0');
  DWORD type = 0, size = 0;
  const bool list = name != nullptr && name[0] == '*';
  for (DWORD i = 0; list && result == ERROR_SUCCESS;) {
    size = DWORD(found.size());
    result = name[1] == 'k' ? RegEnumKeyExA(key, i++, found.data(), &size, nullptr, nullptr, nullptr, nullptr)
                            : RegEnumValueA(key, i++, found.data(), &size, nullptr, nullptr, nullptr, nullptr);
    out += result == ERROR_SUCCESS ? found.substr(0, size) + ";" : "";
  }
  if (!list && result == ERROR_SUCCESS &&
      (result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size)) == ERROR_SUCCESS) {
    out.resize(size);
    result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out.data()), &size);
    out = std::to_string(type) + ":" + out;
  }
  if (key != root) RegCloseKey(key);
  return result == ERROR_SUCCESS || (list && result == ERROR_NO_MORE_ITEMS) ? out : "error " + std::to_string(result);
}

// Runs sql on the database file at path; the first column of each row, each followed by ';'.
inline std::string Sql(const std::string& path, const char* sql) {
  auto collect = [](void* out, int, char** row, char**) {
    return *static_cast<std::string*>(out) += std::string(row[0] != nullptr ? row[0] : "") + ";", 0;
  };
  sqlite3* db = nullptr;
  std::string rows;
  const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK && sqlite3_exec(db, sql, collect, &rows, nullptr) == 0;
  sqlite3_close(db);
  return ok ? rows : "sql failed";
}

}  // namespace pelix::test
