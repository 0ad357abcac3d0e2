// The settings store tests' fixture: a fresh registry folder, a recording host
// and an empty base path.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pelix/regfunc.h"
#include "tests/support/recording_host.h"
#include "tests/support/registry_dir.h"
#include "tests/support/registry_values.h"

namespace pelix::test {

// The bytes of a value in the user's hive.
inline std::string UserBytes(const std::string& key, const std::string& name) {
  return ReadStored(HKEY_CURRENT_USER, key, name).bytes;
}

// Writes text as a settings text value.
inline void SetText(const CString& key, const CString& name, const std::string& text, int useBasePath = 1) {
  CString value(text);
  SetRegValue(key, name, value, useBasePath);
}

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { g_regPath = CString(); }
  ~SettingsTest() override { g_regPath = CString(); }

  RegistryDir m_dir;
  RecordingHost m_host;
};

}  // namespace pelix::test
