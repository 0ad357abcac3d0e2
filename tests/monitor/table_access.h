// Reaches the private side of CMonitorObjectTable for the unit tests (its
// lists, the catalogue-building overloads, and states that the public
// operations never produce: a missing list), plus the values the tests share.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pelix/monitor_object_table.h"
#include "tests/support/recording_host.h"

class CMonitorObjectTableTestAccess {
 public:
  static auto* ObjectList(CMonitorObjectTable& t) { return t.m_monitorObjectList; }
  static auto* NameList(CMonitorObjectTable& t) { return t.m_internalNameList; }
  static auto* TextList(CMonitorObjectTable& t) { return t.m_textList; }
  static bool TmaCmNames(const CMonitorObjectTable& t) { return t.m_tmaCmNames; }

  static void DropObjectList(CMonitorObjectTable& t) { Drop(t.m_monitorObjectList); }
  static void DropNameList(CMonitorObjectTable& t) { Drop(t.m_internalNameList); }
  static void DropTextList(CMonitorObjectTable& t) { Drop(t.m_textList); }
  // Empties the catalogue lists so that a test can build its own entries.
  static void ClearCatalogue(CMonitorObjectTable& t) {
    t.m_internalNameList->RemoveAll();
    t.m_textList->RemoveAll();
  }

  template <class... A>
  static void AddText(CMonitorObjectTable& t, A&&... a) {
    t.AddTextListElement(std::forward<A>(a)...);
  }
  // Any AddInternalNameElement overload, chosen by the arguments.
  template <class... A>
  static void AddName(CMonitorObjectTable& t, A&&... a) {
    t.AddInternalNameElement(std::forward<A>(a)...);
  }

 private:
  template <class List>
  static void Drop(List*& list) {
    delete list;
    list = nullptr;
  }
};

namespace monitor_test {

constexpr Pelix_ObjectType kTrx = static_cast<Pelix_ObjectType>(3);
constexpr Pelix_ObjectType kTx = static_cast<Pelix_ObjectType>(4);
constexpr Pelix_ObjectType kCabinet = static_cast<Pelix_ObjectType>(7);
constexpr FuncType kDru = static_cast<FuncType>(12);
constexpr FuncType kPsu = static_cast<FuncType>(20);
constexpr FuncType kCdu = static_cast<FuncType>(31);

inline MonitorNameType Kind(int value) { return static_cast<MonitorNameType>(value); }

// The attachments as {internal id, object type, object instance, unit type, unit instance}.
inline std::vector<std::vector<int>> Attached(CMonitorObjectTable& table) {
  std::vector<std::vector<int>> rows;
  for (const CMonitorObjectTableStruct& e : *CMonitorObjectTableTestAccess::ObjectList(table)) {
    rows.push_back({e.internalId, e.objectType, e.objectInstance, e.ruType, e.ruInstance});
  }
  return rows;
}

inline std::vector<int> AttachedIds(CMonitorObjectTable& table) {
  std::vector<int> ids;
  for (const CMonitorObjectTableStruct& e : *CMonitorObjectTableTestAccess::ObjectList(table)) {
    ids.push_back(e.internalId);
  }
  return ids;
}

// The position of a kind's text entry, -1 when it has none.
inline int TextIndex(CMonitorObjectTable& table, int kind) {
  const auto& texts = *CMonitorObjectTableTestAccess::TextList(table);
  for (int i = 0; i < texts.GetSize(); ++i) {
    if (texts[i].nameType == kind) return i;
  }
  return -1;
}
inline TextStruct& TextOf(CMonitorObjectTable& table, int kind) {
  return (*CMonitorObjectTableTestAccess::TextList(table))[TextIndex(table, kind)];
}

// The scopes the table opened, in order.
inline std::vector<std::string> Scopes(const pelix::test::RecordingHost& host) {
  std::vector<std::string> scopes;
  for (const pelix::test::HostCall& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  return scopes;
}

inline std::vector<int> ToVector(const CArray<int, int>& ids) { return std::vector<int>(ids.begin(), ids.end()); }

}  // namespace monitor_test
