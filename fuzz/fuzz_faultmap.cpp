// Fault map reports from the station: any octets, any length, any data type.
//
// Input: the host byte, then reports one after another, each as
//   data type (1 octet, taken as is: 2, 4, 5, 7 or any other value)
//   length T (1 octet) and T octets (fewer when the input ends first; T is
//   then the octets that are there).
// Each report is decoded from a buffer of exactly T octets (so any read past
// the length is caught), copied and assigned, merged into one kept map, and
// the kept map gives its fault lines, items and state. The checks are the
// merge's own promises: after a merge the kept map carries the new map's
// bits, the raised and ceased lists are ascending and disjoint, and there is
// one line per listed fault.
#include <algorithm>
#include <vector>

#include "harness.h"
#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"

namespace pelix::test {

// The fault map's members, as the fuzz checks read them (the class is a
// friend of CFaultMap under this name).
class FaultMapAccess {
 public:
  static int Valid(const CFaultMap& m) { return m.m_dataValid; }
  static const CByteArray& Map(const CFaultMap& m, int kind) { return m.Map(FaultMapType(kind)); }
  static const CByteArray& Raised(const CFaultMap& m, int kind) { return m.RaisedList(FaultMapType(kind)); }
  static const CByteArray& Ceased(const CFaultMap& m, int kind) { return m.CeasedList(FaultMapType(kind)); }
  static bool SameAs(const CFaultMap& a, const CFaultMap& b) {
    bool same = a.m_dataValid == b.m_dataValid && a.m_moState == b.m_moState;
    for (int kind = 0; kind < 6; ++kind) {
      const CByteArray &x = Map(a, kind), &y = Map(b, kind);
      same = same && x.GetSize() == y.GetSize() && std::equal(x.begin(), x.end(), y.begin());
    }
    return same;
  }
  static bool Listed(const CFaultMap& m) { return m.m_dataValid == 1 && m.GetMO_Type() != MO_UNKNOWN; }
};

}  // namespace pelix::test

using pelix::test::FaultMapAccess;
namespace {

constexpr uint8_t kIdentifiers[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};

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

// Lines and items of the map; their count follows from its lists.
void CheckFaultLines(const CFaultMap& map, const pelix::fuzz::FuzzHost& host) {
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  map.GetFaultMaps(lines, items);
  FUZZ_CHECK(lines.GetSize() == items.GetSize());
  size_t listed = 0;
  for (int kind = 0; kind < 6; ++kind) {
    listed += FaultMapAccess::Raised(map, kind).GetSize() + FaultMapAccess::Ceased(map, kind).GetSize();
  }
  if (FaultMapAccess::Valid(map) != 1) FUZZ_CHECK(lines.GetSize() == 1 && lines[0] == "Corrupt data from Tolva");
  if (FaultMapAccess::Listed(map) && !(host.handler && host.errorStatus != 0)) {
    FUZZ_CHECK(static_cast<size_t>(lines.GetSize()) == listed);
  }
  for (int i = 0; i < items.GetSize(); ++i) FUZZ_CHECK(items[i] != nullptr), delete items[i];
  CString state;
  FUZZ_CHECK(map.GetMO_State(state) == SR_OK && !state.IsEmpty());
}

void MergeAndCheck(CFaultMap& kept, const CFaultMap& report) {
  kept.UpdateFaultMap(report);
  bool anyListed = false;
  for (int kind = 0; kind < 6; ++kind) {
    const CByteArray& newMap = FaultMapAccess::Map(report, kind);
    const CByteArray& raised = FaultMapAccess::Raised(kept, kind);
    const CByteArray& ceased = FaultMapAccess::Ceased(kept, kind);
    FUZZ_CHECK(!newMap.IsEmpty());
    FUZZ_CHECK(std::adjacent_find(raised.begin(), raised.end(), std::greater_equal<>()) == raised.end());
    FUZZ_CHECK(std::adjacent_find(ceased.begin(), ceased.end(), std::greater_equal<>()) == ceased.end());
    for (const BYTE r : raised) FUZZ_CHECK(std::find(ceased.begin(), ceased.end(), r) == ceased.end());
    if (newMap[0] != kIdentifiers[kind]) continue;
    // A merged kind carries exactly the new bits afterwards.
    const CByteArray& keptMap = FaultMapAccess::Map(kept, kind);
    FUZZ_CHECK(keptMap.GetSize() == newMap.GetSize() && std::equal(newMap.begin(), newMap.end(), keptMap.begin()));
    anyListed = anyListed || !raised.IsEmpty() || !ceased.IsEmpty();
  }
  FUZZ_CHECK(kept.IsChanged() == anyListed);
  FUZZ_CHECK(FaultMapAccess::Valid(kept) == FaultMapAccess::Valid(report));
  bool fault = false;
  FUZZ_CHECK(kept.IsFault(fault) == (FaultMapAccess::Valid(kept) == 1 ? SR_OK : SR_INVALID_DATA));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  [[maybe_unused]] static const bool filled = FillFaultNames();
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::FuzzHost& host = pelix::fuzz::ConfigureHost(input.Byte());
  {
    CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(input.Empty() ? 7 : data[1]));
    for (int reports = 0; !input.Empty() && reports < 16; ++reports) {
      const auto dataType = static_cast<OMS_tolva_mon_datatype_type>(input.Byte());
      // Exactly the report's octets on the heap: one octet more read is an
      // overflow that the address sanitizer reports.
      const std::string octets = input.Bytes(input.Byte());
      const std::vector<char> buffer(octets.begin(), octets.end());
      CFaultMap report(buffer.empty() ? nullptr : buffer.data(), static_cast<unsigned char>(buffer.size()), dataType);
      // The copies carry the same decoding.
      const CFaultMap copy(report);
      const CFaultMap viaPointer(&report);
      CFaultMap assigned;
      assigned = report;
      FUZZ_CHECK(FaultMapAccess::SameAs(copy, report) && FaultMapAccess::SameAs(viaPointer, report));
      FUZZ_CHECK(FaultMapAccess::SameAs(assigned, report));
      CheckFaultLines(report, host);
      MergeAndCheck(kept, report);
      CheckFaultLines(kept, host);
    }
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
