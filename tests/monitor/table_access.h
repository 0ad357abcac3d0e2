// Reaches the private side of CMonitorObjectTable for the unit tests: its
// lists, the catalogue-building overloads, and states that the public
// operations never produce (a missing list).
#pragma once

#include "pelix/monitor_object_table.h"

class CMonitorObjectTableTestAccess {
 public:
  using Objects = CArray<CMonitorObjectTableStruct, CMonitorObjectTableStruct>;
  using Names = CArray<InternalNameStruct, InternalNameStruct>;
  using Texts = CArray<TextStruct, TextStruct>;

  static Objects* ObjectList(CMonitorObjectTable& table) { return table.m_monitorObjectList; }
  static Names* NameList(CMonitorObjectTable& table) { return table.m_internalNameList; }
  static Texts* TextList(CMonitorObjectTable& table) { return table.m_textList; }
  static bool TmaCmNames(const CMonitorObjectTable& table) { return table.m_tmaCmNames; }

  static void DropObjectList(CMonitorObjectTable& table) {
    delete table.m_monitorObjectList;
    table.m_monitorObjectList = nullptr;
  }
  static void DropNameList(CMonitorObjectTable& table) {
    delete table.m_internalNameList;
    table.m_internalNameList = nullptr;
  }
  static void DropTextList(CMonitorObjectTable& table) {
    delete table.m_textList;
    table.m_textList = nullptr;
  }
  // Empties the catalogue lists so that a test can build its own entries.
  static void ClearCatalogue(CMonitorObjectTable& table) {
    table.m_internalNameList->RemoveAll();
    table.m_textList->RemoveAll();
  }

  static void AddText(CMonitorObjectTable& table, MonitorNameType kind, const CString& name,
                      const CString& description) {
    table.AddTextListElement(kind, name, description);
  }
  static void AddOne(CMonitorObjectTable& table, int& nextId, MonitorNameType kind, const CString& name,
                     const CString& shortId) {
    table.AddInternalNameElement(nextId, kind, name, shortId);
  }
  static void AddRow(CMonitorObjectTable& table, int& nextId, MonitorNameType kind, const CString& name,
                     const CString& shortId, int count, bool skipFirst) {
    table.AddInternalNameElement(nextId, kind, name, shortId, count, skipFirst);
  }
  static void AddGrid(CMonitorObjectTable& table, int& nextId, MonitorNameType kind, const CString& name,
                      const CString& shortId, int count1, int count2) {
    table.AddInternalNameElement(nextId, kind, name, shortId, count1, count2);
  }
  static void AddRowFrom(CMonitorObjectTable& table, int& nextId, MonitorNameType kind, const CString& name,
                         const CString& shortId, int first, int count, bool enabled) {
    table.AddInternalNameElement(nextId, kind, name, shortId, first, count, enabled);
  }
};
