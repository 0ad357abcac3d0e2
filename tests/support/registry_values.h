// Direct reads and writes of registry keys and values for tests: create keys,
// store values, read them back with exactly the size the registry reports, and
// list subkey and value names.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "pelix/platform.h"

namespace pelix::test {

// A value as stored in a hive.
struct StoredValue {
  LONG result = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string bytes;
};

// Reads a value of an open key with a buffer of exactly the size the size query reports.
inline StoredValue ReadValue(HKEY key, const char* name) {
  StoredValue stored;
  DWORD size = 0;
  stored.result = RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size);
  if (stored.result != ERROR_SUCCESS) return stored;
  std::vector<BYTE> buffer(size + 1);
  stored.result = RegQueryValueExA(key, name, nullptr, &stored.type, buffer.data(), &size);
  if (stored.result == ERROR_SUCCESS) stored.bytes.assign(reinterpret_cast<const char*>(buffer.data()), size);
  return stored;
}

inline StoredValue ReadStored(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  StoredValue stored;
  stored.result = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened);
  if (stored.result != ERROR_SUCCESS) return stored;
  stored = ReadValue(opened, name.c_str());
  RegCloseKey(opened);
  return stored;
}

// Opens root\path with access: the result. The key goes to out when given,
// else it is closed again.
inline LONG Open(HKEY root, const std::string& path, REGSAM access = KEY_READ, HKEY* out = nullptr) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(root, path.c_str(), 0, access, &key);
  if (out != nullptr) {
    *out = key;
  } else if (result == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  return result;
}

inline bool KeyExists(HKEY root, const std::string& key) { return Open(root, key) == ERROR_SUCCESS; }

// Creates key (and its parents) with keyClass if given; the open key.
inline HKEY Create(HKEY root, const std::string& key, const char* keyClass = nullptr, DWORD* disposition = nullptr) {
  HKEY created = nullptr;
  std::string cls = keyClass != nullptr ? keyClass : "";
  EXPECT_EQ(RegCreateKeyExA(root, key.c_str(), 0, keyClass != nullptr ? cls.data() : nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &created, disposition),
            ERROR_SUCCESS)
      << key;
  return created;
}

inline void MakeKey(HKEY root, const std::string& key) { RegCloseKey(Create(root, key)); }

inline void SetBytes(HKEY key, const std::string& name, DWORD type, const std::string& bytes) {
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS)
      << name;
}

// Creates key (and its parents) and writes one value into it.
inline void Store(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes,
                  const char* keyClass = nullptr) {
  HKEY created = Create(root, key, keyClass);
  SetBytes(created, name, type, bytes);
  RegCloseKey(created);
}

// A number as a REG_DWORD stores it: four bytes, least significant first.
inline std::string Dword(DWORD value) {
  const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  return std::string(bytes, 4);
}

// The names of a key's subkeys (values), in enumeration order; each reported
// size must be the name's length.
inline std::vector<std::string> Names(HKEY key, bool values) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[300];
    DWORD size = sizeof name;
    LONG result = values ? RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) break;
    EXPECT_EQ(size, std::strlen(name));
    names.emplace_back(name);
  }
  return names;
}
inline std::vector<std::string> SubKeyNames(HKEY key) { return Names(key, false); }
inline std::vector<std::string> ValueNames(HKEY key) { return Names(key, true); }

// The value names of root\path (none when the key cannot be opened).
inline std::vector<std::string> ValueNamesOf(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::vector<std::string> names = ValueNames(key);
  RegCloseKey(key);
  return names;
}

// Runs sql on the database file at path (opened with flags), appending the
// first column of each result row to rows if given; true when it all worked.
inline bool Sql(const std::string& path, const char* sql, std::vector<std::string>* rows = nullptr,
                int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK;
  auto collect = [](void* out, int, char** row, char**) {
    if (out != nullptr) static_cast<std::vector<std::string>*>(out)->emplace_back(row[0] != nullptr ? row[0] : "");
    return 0;
  };
  ok = ok && sqlite3_exec(db, sql, collect, rows, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace pelix::test
