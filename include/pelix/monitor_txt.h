// The process-wide table of fault names: one name per object type, fault map
// kind and fault number, filled by the terminal and read by the fault text.
#pragma once

#include <memory>

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/fault_map_types.h"
#include "pelix/win_types.h"

class PELIX_API CTableOfMonitorRptInTxt {
 public:
  // Rows of the table: object types MO_SO_CF..MO_AO_MCTR (MO_UNKNOWN has no
  // row), the six fault map kinds, fault numbers 0..99.
  static constexpr int kObjectTypes = 10;
  static constexpr int kMapKinds = 6;
  static constexpr int kFaultNumbers = 100;

  // Frees every entry; a later Create makes a fresh table.
  ~CTableOfMonitorRptInTxt();
  CTableOfMonitorRptInTxt(const CTableOfMonitorRptInTxt&) = delete;
  CTableOfMonitorRptInTxt& operator=(const CTableOfMonitorRptInTxt&) = delete;

  // The one table, made with empty entries on the first call.
  static CTableOfMonitorRptInTxt* Create();
  // The one table, or nullptr when it was never made (or has been deleted).
  static CTableOfMonitorRptInTxt* Get();

  // Stores names[i] (or "Unknown" for an empty name) as the name of fault i.
  // Positions the list does not reach keep their names.
  void StoreMonitorRpt(MO_Type moType, FaultMapType mapType, CArray<CString, CString>& names);
  // One line "%4d: name\r\n" per set bit of a bit map without identifier octet.
  CString TranslateHexToTxt(MO_Type moType, FaultMapType mapType, const CByteArray& bitMap) const;
  // The name of one fault; "Unknown fault name" outside the table.
  CString TranslateHexToTxt(MO_Type moType, FaultMapType mapType, BYTE faultNo) const;

 private:
  CTableOfMonitorRptInTxt();

  // The entry of (moType, mapType, faultNo), or nullptr outside the table.
  CString* Entry(int moType, int mapType, int faultNo) const;

  static CTableOfMonitorRptInTxt* m_mySelf;

  // kObjectTypes x kMapKinds x kFaultNumbers entries, object type outermost.
  std::unique_ptr<CString[]> m_entries;
};
