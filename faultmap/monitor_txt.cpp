#include "pelix/monitor_txt.h"

#include "frame/frame.h"

namespace {

constexpr int kEntries =
    CTableOfMonitorRptInTxt::kObjectTypes * CTableOfMonitorRptInTxt::kMapKinds * CTableOfMonitorRptInTxt::kFaultNumbers;
constexpr const char* kUnknownFaultName = "Unknown fault name";

}  // namespace

CTableOfMonitorRptInTxt* CTableOfMonitorRptInTxt::m_mySelf = nullptr;

CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt() : m_entries(new CString[kEntries]) {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()");
}

CTableOfMonitorRptInTxt::~CTableOfMonitorRptInTxt() {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::~CTableOfMonitorRptInTxt()");
  m_entries.reset();
  m_mySelf = nullptr;
}

CTableOfMonitorRptInTxt* CTableOfMonitorRptInTxt::Create() {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::CTableOfMonitorRptInTxt()");
  if (m_mySelf == nullptr) m_mySelf = new CTableOfMonitorRptInTxt();
  return m_mySelf;
}

CTableOfMonitorRptInTxt* CTableOfMonitorRptInTxt::Get() {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::Get()");
  return m_mySelf;
}

CString* CTableOfMonitorRptInTxt::Entry(int moType, int mapType, int faultNo) const {
  if (moType < 0 || moType >= kObjectTypes || mapType < 0 || mapType >= kMapKinds || faultNo < 0 ||
      faultNo >= kFaultNumbers) {
    return nullptr;
  }
  return &m_entries[static_cast<size_t>((moType * kMapKinds + mapType) * kFaultNumbers + faultNo)];
}

// Names are stored only where the table has an entry: names at positions 100
// and beyond are left out, and a list for an object type or kind outside the
// table (MO_UNKNOWN included) stores nothing at all. Nothing is reported.
void CTableOfMonitorRptInTxt::StoreMonitorRpt(MO_Type moType, FaultMapType mapType, CArray<CString, CString>& names) {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::StoreMonitorRpt()");
  const int count = names.GetSize() < kFaultNumbers ? names.GetSize() : kFaultNumbers;
  for (int i = 0; i < count; ++i) {
    CString* entry = Entry(moType, mapType, i);
    if (entry == nullptr) return;  // the object type or kind has no row
    const CString& name = names.GetAt(i);
    *entry = name.IsEmpty() ? CString("Unknown") : name;
  }
}

CString CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type moType, FaultMapType mapType,
                                                   const CByteArray& bitMap) const {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::TranslateHexToTxt()");
  const CByteArray bits(bitMap);
  CString text;
  int faultNo = 0;
  for (int octet = 0; octet < bits.GetSize(); ++octet) {
    const BYTE value = bits.GetAt(octet);
    for (int bit = 0; bit < 8; ++bit, ++faultNo) {
      if ((value & (1U << bit)) == 0) continue;
      const CString* entry = Entry(moType, mapType, faultNo);
      text.AppendFormat("%4d", faultNo);
      text += ": ";
      text += entry != nullptr ? *entry : CString(kUnknownFaultName);
      text += "\r\n";
    }
  }
  return text;
}

CString CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type moType, FaultMapType mapType, BYTE faultNo) const {
  PELIX_SCOPE("CTableOfMonitorRptInTxt::TranslateHexToTxt(MO_Type, FaultMapType, BYTE)");
  const CString* entry = Entry(moType, mapType, faultNo);
  return entry != nullptr ? *entry : CString(kUnknownFaultName);
}
