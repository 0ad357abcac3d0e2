// The registry: the narrow Win32 subset the settings store uses, with Win32
// signatures and values. Each hive is an SQLite database:
// $PELIX_REGISTRY_DIR/user.sqlite3 and $PELIX_REGISTRY_DIR/machine.sqlite3 when
// that variable is set (read each time a root key is opened); otherwise
// ${XDG_CONFIG_HOME:-$HOME/.config}/pelix/user.sqlite3 and
// /etc/pelix/machine.sqlite3. Key names are case-insensitive and separated by
// '\'; several processes may use a hive at once.
#pragma once

#include <cstdint>

#include "pelix/export.h"
#include "pelix/win_types.h"

struct PelixRegKey;
typedef PelixRegKey* HKEY;
typedef DWORD REGSAM;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BAD_PATHNAME = 161;  // a key path with an empty name in it
constexpr LONG ERROR_BADDB = 1009;        // the hive file is not a usable hive
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;  // the hive file of an open key went away

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Sizes of names are in characters: on input the buffer's size with room for
// the terminator, on success the name's length without it. When a name or the
// data does not fit, nothing is written, the call returns ERROR_MORE_DATA and
// the size that was too small receives the size needed (names: terminator
// included). Enumeration runs in creation order and ends with
// ERROR_NO_MORE_ITEMS. Writes need a key opened with the matching right
// (KEY_SET_VALUE, KEY_CREATE_SUB_KEY); reads need KEY_QUERY_VALUE or
// KEY_ENUMERATE_SUB_KEYS. Every write is committed before the call returns.
PELIX_API LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result);
PELIX_API LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                               REGSAM desired, const void* securityAttributes, HKEY* result, DWORD* disposition);
PELIX_API LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                DWORD* dataSize);
PELIX_API LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD dataSize);
PELIX_API LONG RegDeleteValueA(HKEY key, const char* valueName);
PELIX_API LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                             DWORD* classSize, FILETIME* lastWriteTime);
PELIX_API LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* reserved, DWORD* type,
                             BYTE* data, DWORD* dataSize);
PELIX_API LONG RegCloseKey(HKEY key);
