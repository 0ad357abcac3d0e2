// The fault map of one managed object: decoding of the station's fault map
// reports, change tracking between two reports, and the fault text.
#pragma once

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/fault_map_types.h"
#include "pelix/service_result.h"
#include "pelix/win_types.h"

namespace pelix::test {
class FaultMapAccess;  // white-box access for the library's own tests
}  // namespace pelix::test

// The time stamp of one fault, as a report gives it.
struct TimeStamps {
  BYTE mapType;   // FaultMapType of the map the fault belongs to
  BYTE faultNo;   // fault number within that map
  DWORD seconds;  // seconds since 1 January 1990 00:00 local time
};

// One fault line in separate fields. Made by CFaultMap::GetFaultMaps and
// owned (and deleted) by the caller.
struct FaultMapItem {
  CString moTypeText;  // display name of the object type
  CString mapTitle;    // "Internal Fault Map Class 1A", ...
  CString faultId;     // prefix and fault number, e.g. "I1A:5"
  CString faultName;   // the fault's name from the fault name table
};

class PELIX_API CFaultMap {
 public:
  // An empty map of the given data type: every kind carries its identifier
  // and no fault bit. Serves as the default constructor of arrays.
  CFaultMap(OMS_tolva_mon_datatype_type dataType = OMS_TOLVA_MON_DATATYPE_7);  // NOLINT(google-explicit-constructor)
  // Decodes a report of `length` octets. A report that does not add up, or
  // holds an unknown block, stays undecoded (m_dataValid 0). No octet at or
  // beyond `length` is ever read; a null report is read as having no octets.
  CFaultMap(const char* report, unsigned char length, OMS_tolva_mon_datatype_type dataType);
  CFaultMap(const CFaultMap& other);
  // Same as the reference form; a null pointer is a failed precondition and
  // leaves the object without maps.
  CFaultMap(const CFaultMap* other);  // NOLINT(google-explicit-constructor)
  CFaultMap& operator=(const CFaultMap& other);
  ~CFaultMap();

  // Merges a newly decoded map of the same object into this kept one and
  // records the raised and ceased faults of every kind the new map carries.
  void UpdateFaultMap(const CFaultMap& newMap);
  // True when the last merge changed any fault bit.
  bool IsChanged() const;
  // SR_OK with `fault` telling whether any fault is active, or
  // SR_INVALID_DATA (and `fault` untouched) when the report did not decode.
  ServiceResult IsFault(bool& fault) const;

  // Appends one line and one item per raised or ceased fault of the last
  // merge. The caller owns the items.
  void GetFaultMaps(CArray<CString, CString>& lines, CArray<FaultMapItem*, FaultMapItem*>& items) const;
  // The state text of the object; always SR_OK.
  ServiceResult GetMO_State(CString& state) const;

 private:
  friend class pelix::test::FaultMapAccess;

  void InitFaultMap(OMS_tolva_mon_datatype_type dataType);
  void CopyFrom(const CFaultMap& other);

  void CompareOldNewFaultMap(CByteArray& oldMap, const CByteArray& newMap, CByteArray& changes);
  void CopyChanges(CByteArray& oldMap, const CByteArray& newMap, CByteArray& changes, CByteArray& ceased);
  void BuildMap(const CByteArray& faultNoList, CByteArray& bitMap, int size) const;
  void GetFaultNoList(const CByteArray& bitMap, CByteArray& faultNoList) const;
  bool HasFault(const CByteArray& map) const;

  void BuildFaultString(CArray<FaultMapItem*, FaultMapItem*>& items, CArray<CString, CString>& lines,
                        CByteArray& bitMap, CString status, FaultMapType kind) const;
  void GetMO_Id(CString& id) const;
  MO_Type GetMO_Type() const;
  CString TimeText(FaultMapType kind, BYTE faultNo) const;

  // The kind's current map, raised list and ceased list.
  struct KindArrays;  // the member arrays of each kind
  CByteArray& Map(FaultMapType kind);
  const CByteArray& Map(FaultMapType kind) const;
  CByteArray& RaisedList(FaultMapType kind);
  const CByteArray& RaisedList(FaultMapType kind) const;
  CByteArray& CeasedList(FaultMapType kind);
  const CByteArray& CeasedList(FaultMapType kind) const;

  int m_dataValid = 0;
  OMS_tolva_mon_datatype_type m_dataType = OMS_TOLVA_MON_DATATYPE_7;
  signed char m_moClass = 0;
  signed char m_moInstance = 0;
  signed char m_moAssociatedSO = 0;
  signed char m_moState = 0;
  CByteArray m_mapI1A;
  CByteArray m_mapI1B;
  CByteArray m_mapI2A;
  CByteArray m_mapEC1;
  CByteArray m_mapEC2;
  CByteArray m_mapRU;
  CByteArray m_raisedListEC1;
  CByteArray m_raisedListEC2;
  CByteArray m_raisedListI1A;
  CByteArray m_raisedListI1B;
  CByteArray m_raisedListI2A;
  CByteArray m_raisedListRU;
  CByteArray m_ceasedListEC1;
  CByteArray m_ceasedListEC2;
  CByteArray m_ceasedListI1A;
  CByteArray m_ceasedListI1B;
  CByteArray m_ceasedListI2A;
  CByteArray m_ceasedListRU;
  CArray<TimeStamps, TimeStamps> m_timeStamps;
  bool m_changed = false;
  DWORD m_reportTime = 0;
};
