// Reaches the private side of CMonitorObjectTable for the unit tests: its
// lists, the catalogue-building overloads, and a missing list (a state that
// the public operations never produce).
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "pelix/monitor_object_table.h"

class CMonitorObjectTableTestAccess {
 public:
  static auto& Objects(CMonitorObjectTable& t) { return *t.m_monitorObjectList; }
  static auto& Names(CMonitorObjectTable& t) { return *t.m_internalNameList; }
  static auto& Texts(CMonitorObjectTable& t) { return *t.m_textList; }
  static bool TmaCmNames(const CMonitorObjectTable& t) { return t.m_tmaCmNames; }
  // Drops list 0 (names), 1 (texts) or 2 (attachments).
  static void Drop(CMonitorObjectTable& t, int list) {
    if (list == 0) delete std::exchange(t.m_internalNameList, nullptr);
    if (list == 1) delete std::exchange(t.m_textList, nullptr);
    if (list == 2) delete std::exchange(t.m_monitorObjectList, nullptr);
  }
  template <class... A>
  static void AddText(CMonitorObjectTable& t, A&&... a) {
    t.AddTextListElement(std::forward<A>(a)...);
  }
  template <class... A>  // any AddInternalNameElement overload, chosen by the arguments
  static void AddName(CMonitorObjectTable& t, A&&... a) {
    t.AddInternalNameElement(std::forward<A>(a)...);
  }
};

using Access = CMonitorObjectTableTestAccess;

inline MonitorNameType Kind(int value) { return static_cast<MonitorNameType>(value); }

// The text entry of a kind (the kind must have one).
inline TextStruct& TextOf(CMonitorObjectTable& table, int kind) {
  for (TextStruct& text : Access::Texts(table)) {
    if (text.nameType == kind) return text;
  }
  throw std::logic_error("no text entry for kind " + std::to_string(kind));
}
