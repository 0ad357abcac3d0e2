// White-box access to a CFaultMap's members and private helpers for the
// fault map tests.
#pragma once

#include <cstdint>
#include <vector>

#include "pelix/fault_map.h"

namespace pelix::test {

class FaultMapAccess {
 public:
  static std::vector<uint8_t> Bytes(const CByteArray& array) {
    return std::vector<uint8_t>(array.begin(), array.end());
  }
  static CByteArray Array(const std::vector<uint8_t>& bytes) {
    CByteArray array;
    for (const uint8_t b : bytes) array.Add(b);
    return array;
  }

  static int DataValid(const CFaultMap& m) { return m.m_dataValid; }
  static OMS_tolva_mon_datatype_type DataType(const CFaultMap& m) { return m.m_dataType; }
  static int MoClass(const CFaultMap& m) { return m.m_moClass; }
  static int MoInstance(const CFaultMap& m) { return m.m_moInstance; }
  static int MoAssociatedSO(const CFaultMap& m) { return m.m_moAssociatedSO; }
  static int MoState(const CFaultMap& m) { return m.m_moState; }
  static bool Changed(const CFaultMap& m) { return m.m_changed; }
  static DWORD ReportTime(const CFaultMap& m) { return m.m_reportTime; }
  static const CArray<TimeStamps, TimeStamps>& Stamps(const CFaultMap& m) { return m.m_timeStamps; }

  static std::vector<uint8_t> Map(const CFaultMap& m, FaultMapType kind) { return Bytes(m.Map(kind)); }
  static std::vector<uint8_t> Raised(const CFaultMap& m, FaultMapType kind) { return Bytes(m.RaisedList(kind)); }
  static std::vector<uint8_t> Ceased(const CFaultMap& m, FaultMapType kind) { return Bytes(m.CeasedList(kind)); }

  // Direct writes, for building states the decoder cannot produce.
  static CByteArray& MapRef(CFaultMap& m, FaultMapType kind) { return m.Map(kind); }
  static void SetChanged(CFaultMap& m, bool changed) { m.m_changed = changed; }
  static void SetMo(CFaultMap& m, int moClass, int instance, int associatedSO, int state) {
    m.m_moClass = static_cast<signed char>(moClass);
    m.m_moInstance = static_cast<signed char>(instance);
    m.m_moAssociatedSO = static_cast<signed char>(associatedSO);
    m.m_moState = static_cast<signed char>(state);
  }

  static void BuildMap(const CFaultMap& m, const std::vector<uint8_t>& list, std::vector<uint8_t>& out, int size) {
    CByteArray bitMap;
    m.BuildMap(Array(list), bitMap, size);
    out = Bytes(bitMap);
  }
  static std::vector<uint8_t> GetFaultNoList(const CFaultMap& m, const std::vector<uint8_t>& bitMap) {
    CByteArray list;
    m.GetFaultNoList(Array(bitMap), list);
    return Bytes(list);
  }
  static bool HasFault(const CFaultMap& m, const std::vector<uint8_t>& map) { return m.HasFault(Array(map)); }
  static MO_Type MoType(const CFaultMap& m) { return m.GetMO_Type(); }
  static CString MoId(const CFaultMap& m) {
    CString id;
    m.GetMO_Id(id);
    return id;
  }
};

}  // namespace pelix::test
