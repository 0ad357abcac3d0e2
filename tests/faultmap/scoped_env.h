// Test helpers: a time zone set for one scope, and a fault name table that
// exists for one scope.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "pelix/monitor_txt.h"

namespace pelix::test {

// Sets TZ for its lifetime and restores the earlier setting afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (m_old) {
      setenv("TZ", m_old->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> m_old;
};

// Whether daylight saving is in force at this moment in the current zone.
inline bool DaylightSavingNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_isdst > 0;
}

// Creates the process's fault name table if there is none and deletes it
// again at the end, so that every test leaves the singleton as it found it.
class ScopedNameTable {
 public:
  ScopedNameTable() : m_made(CTableOfMonitorRptInTxt::Get() == nullptr), m_table(CTableOfMonitorRptInTxt::Create()) {}
  ~ScopedNameTable() {
    if (m_made) delete m_table;
  }
  ScopedNameTable(const ScopedNameTable&) = delete;
  ScopedNameTable& operator=(const ScopedNameTable&) = delete;
  CTableOfMonitorRptInTxt* operator->() const { return m_table; }
  CTableOfMonitorRptInTxt* get() const { return m_table; }

 private:
  bool m_made;
  CTableOfMonitorRptInTxt* m_table;
};

}  // namespace pelix::test
