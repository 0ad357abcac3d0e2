// Fault map reports from the station: any octets, any length, any data type.
//
// Input: the host byte, then reports one after another, each as
//   data type (1 octet, taken as is: 2, 4, 5, 7 or any other value)
//   length T (1 octet) and T octets (fewer when the input ends first).
// Each report is decoded from a buffer of exactly T octets (so any read past
// the length is caught), copied and assigned, and merged into one kept map,
// which then gives its fault lines, items and state. The checks are the
// merge's own promises: after a merge the kept map carries the new map's
// bits, the raised and ceased lists are ascending and disjoint, and there is
// one line per listed fault.
#include <algorithm>
#include <vector>

#include "harness.h"
#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"

namespace pelix::test {

// The fault map's members, as the checks read them (a friend of CFaultMap).
class FaultMapAccess {
 public:
  static const CByteArray& Map(const CFaultMap& m, int kind) { return m.Map(FaultMapType(kind)); }
  static const CByteArray& Raised(const CFaultMap& m, int kind) { return m.RaisedList(FaultMapType(kind)); }
  static const CByteArray& Ceased(const CFaultMap& m, int kind) { return m.CeasedList(FaultMapType(kind)); }
  static int Valid(const CFaultMap& m) { return m.m_dataValid; }
  static bool Listed(const CFaultMap& m) { return m.m_dataValid == 1 && m.GetMO_Type() != MO_UNKNOWN; }
  static bool Equal(const CByteArray& x, const CByteArray& y) {
    return x.GetSize() == y.GetSize() && std::equal(x.begin(), x.end(), y.begin());
  }
  static bool SameAs(const CFaultMap& a, const CFaultMap& b) {
    bool same = a.m_dataValid == b.m_dataValid && a.m_moState == b.m_moState;
    for (int kind = 0; kind < 6; ++kind) same = same && Equal(Map(a, kind), Map(b, kind));
    return same;
  }
};

}  // namespace pelix::test

namespace {

using A = pelix::test::FaultMapAccess;
constexpr uint8_t kIdentifiers[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};

bool Ascending(const CByteArray& list) {
  return std::adjacent_find(list.begin(), list.end(), std::greater_equal<>()) == list.end();
}

// Names for part of the fault name table, the rest stays empty, as a
// terminal that has filled only some object types leaves it.
bool FillFaultNames() {
  for (int mo = 0; mo < CTableOfMonitorRptInTxt::kObjectTypes; mo += 2) {
    for (int kind = 0; kind < 6; ++kind) {
      CArray<CString, CString> names;
      for (int f = 0; f < 60; ++f) names.Add(f % 7 == 3 ? CString() : CString("fault " + std::to_string(f)));
      CTableOfMonitorRptInTxt::Create()->StoreMonitorRpt(MO_Type(mo), FaultMapType(kind), names);
    }
  }
  return true;
}

void MergeAndCheck(CFaultMap& kept, const CFaultMap& report, pelix::DefaultHost& host) {
  kept.UpdateFaultMap(report);
  bool anyMerged = false;
  int listed = 0;
  for (int kind = 0; kind < 6; ++kind) {
    const CByteArray &newMap = A::Map(report, kind), &raised = A::Raised(kept, kind), &ceased = A::Ceased(kept, kind);
    FUZZ_CHECK(!newMap.IsEmpty() && Ascending(raised) && Ascending(ceased));
    for (const BYTE r : raised) FUZZ_CHECK(std::find(ceased.begin(), ceased.end(), r) == ceased.end());
    listed += raised.GetSize() + ceased.GetSize();
    if (newMap[0] != kIdentifiers[kind]) continue;
    FUZZ_CHECK(A::Equal(A::Map(kept, kind), newMap));  // a merged kind carries exactly the new bits
    anyMerged = anyMerged || !raised.IsEmpty() || !ceased.IsEmpty();
  }
  FUZZ_CHECK(kept.IsChanged() == anyMerged && A::Valid(kept) == A::Valid(report));
  bool fault = false;
  FUZZ_CHECK(kept.IsFault(fault) == (A::Valid(kept) == 1 ? SR_OK : SR_INVALID_DATA));

  // One line and item per listed fault; an undecoded map has one line only.
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  kept.GetFaultMaps(lines, items);
  FUZZ_CHECK(lines.GetSize() == items.GetSize());
  if (A::Valid(kept) != 1) FUZZ_CHECK(lines.GetSize() == 1 && lines[0] == "Corrupt data from Tolva");
  if (A::Listed(kept) && !(host.ErrorHandlerExists() && host.GetErrorStatus() != 0)) {
    FUZZ_CHECK(lines.GetSize() == listed);
  }
  for (FaultMapItem* item : items) FUZZ_CHECK(item != nullptr), delete item;
  CString state;
  FUZZ_CHECK(kept.GetMO_State(state) == SR_OK && !state.IsEmpty());
}

}  // namespace

FUZZ_TARGET(input, host) {
  [[maybe_unused]] static const bool filled = FillFaultNames();
  CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(input.Empty() ? 7 : input.Peek()));
  for (int reports = 0; !input.Empty() && reports < 16; ++reports) {
    const auto dataType = static_cast<OMS_tolva_mon_datatype_type>(input.Byte());
    // Exactly the report's octets on the heap: one octet more read is an
    // overflow that the address sanitizer reports.
    const std::string octets = input.Bytes(input.Byte());
    const std::vector<char> buffer(octets.begin(), octets.end());
    CFaultMap report(buffer.empty() ? nullptr : buffer.data(), static_cast<unsigned char>(buffer.size()), dataType);
    const CFaultMap copy(report), viaPointer(&report);  // the copies carry the same decoding
    CFaultMap assigned;
    assigned = report;
    FUZZ_CHECK(A::SameAs(copy, report) && A::SameAs(viaPointer, report) && A::SameAs(assigned, report));
    MergeAndCheck(kept, report, host);
  }
}
