// The terminal's settings store: single values below a per-user base path.
//
// Settings are read from and written to HKEY_CURRENT_USER. The first time a key
// is needed and the user has none, the key of the same path under
// HKEY_LOCAL_MACHINE, if there is one, is copied with all its subkeys and
// values into the user's hive; keys are never created in any other way, so a
// value can be written only below a key the user has or the machine provides.
// With useBasePath non-zero the key is taken below g_regPath ("base\key");
// with 0 it is the full key itself. Registry failures are not reported: writes
// and deletes are skipped, reads return the caller's default.
#pragma once

#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/win_types.h"

// The base path below the root keys, without leading or trailing separator.
// Empty until SetRegPath is called.
extern PELIX_API CString g_regPath;

// Sets the base path and makes sure the user's settings tree exists (copied
// from the machine's template when the machine has one).
PELIX_API void SetRegPath(const CString& path);
// Writes value as text (REG_SZ, its bytes without a terminator). value is not changed.
PELIX_API void SetRegValue(const CString& key, const CString& valueName, CString& value, int useBasePath);
// Writes value as a number (REG_DWORD, 4 bytes, least significant first).
PELIX_API void SetRegValue(const CString& key, const CString& valueName, DWORD value, int useBasePath);
// The value's bytes up to the first zero byte, whatever its type; the default
// when the value is missing or empty; the empty text when memory runs out.
PELIX_API CString GetRegString(const CString& key, const CString& valueName, const CString& defaultValue,
                               int useBasePath);
// The value's 4 bytes as a number; the default when it is missing or longer
// than 4 bytes (shorter data read as if padded with zero bytes); 0 when memory
// runs out.
PELIX_API DWORD GetRegDword(const CString& key, const CString& valueName, DWORD defaultValue, int useBasePath);
// Deletes the value if it is there.
PELIX_API void DeleteRegValue(const CString& key, const CString& valueName, int useBasePath);
