// Fault map reports from the station: any octets, any length, any data type.
//
// Input: the host byte, then reports one after another, each as
//   data type (1 octet, taken as is: 2, 4, 5, 7 or any other value)
//   length T (1 octet) and T octets (fewer when the input ends first).
// Each report is decoded from a buffer of exactly T octets (so any read past
// the length is caught) and merged into one kept map, which then gives its
// fault lines and items. The checks are the merge's own promises: after a merge the kept map carries the new map's
// bits, the raised and ceased lists are ascending and disjoint, and there is
// one line per listed fault.
#include "harness.h"
#include "pelix/fault_map.h"

namespace pelix::test {

std::string Bytes(const CByteArray& a) { return std::string(a.begin(), a.end()); }
bool Rising(const CByteArray& a) { return std::adjacent_find(a.begin(), a.end(), std::greater_equal<>()) == a.end(); }

// Reads the fault map's members (a friend of CFaultMap) to check a report's
// merge into the kept map.
class FaultMapAccess {
 public:
  static void Run(fuzz::Input& input, DefaultHost& host) {
    CFaultMap kept;
    for (int reports = 0; !input.Empty() && reports < 16; ++reports) {
      const auto dataType = static_cast<OMS_tolva_mon_datatype_type>(input.Byte());
      // Exactly the report's octets on the heap (a copy that lives while the
      // report decodes): one octet more read is an overflow for the sanitizer.
      const std::string octets = input.Bytes(input.Byte());
      const CFaultMap report(octets.empty() ? nullptr : std::vector<char>(octets.begin(), octets.end()).data(),
                             static_cast<unsigned char>(octets.size()), dataType);
      kept.UpdateFaultMap(report);
      int listed = 0, merged = 0;  // faults listed; kinds merged with changes
      for (auto kind = FaultMapType(0); kind < 6; kind = FaultMapType(kind + 1)) {
        const CByteArray &newMap = report.Map(kind), &raised = kept.RaisedList(kind), &ceased = kept.CeasedList(kind);
        // The raised and ceased lists are ascending and disjoint.
        FUZZ_CHECK(!newMap.IsEmpty() && Rising(raised) && Rising(ceased) &&
                   std::find_first_of(raised.begin(), raised.end(), ceased.begin(), ceased.end()) == raised.end());
        listed += raised.GetSize() + ceased.GetSize();
        if (newMap[0] != kept.Map(kind)[0]) continue;        // a kind the report does not carry
        FUZZ_CHECK(Bytes(kept.Map(kind)) == Bytes(newMap));  // a merged kind carries the new bits
        merged += !raised.IsEmpty() || !ceased.IsEmpty();
      }
      bool fault = false;
      FUZZ_CHECK(kept.IsChanged() == (merged > 0) && kept.m_dataValid == report.m_dataValid &&
                 kept.IsFault(fault) == (kept.m_dataValid == 1 ? SR_OK : SR_INVALID_DATA));
      // One line and item per listed fault; an undecoded map has one line only.
      CArray<CString, CString> lines;
      CArray<FaultMapItem*, FaultMapItem*> items;
      kept.GetFaultMaps(lines, items);
      const bool counted = kept.m_dataValid == 1 && kept.GetMO_Type() != MO_UNKNOWN &&
                           !(host.ErrorHandlerExists() && host.GetErrorStatus() != 0);
      FUZZ_CHECK(lines.GetSize() == items.GetSize() && (!counted || lines.GetSize() == listed));
      FUZZ_CHECK(kept.m_dataValid == 1 || (lines.GetSize() == 1 && lines[0] == "Corrupt data from Tolva"));
      for (FaultMapItem* item : items) FUZZ_CHECK(item != nullptr), delete item;
    }
  }
};

}  // namespace pelix::test

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost& host) { pelix::test::FaultMapAccess::Run(input, host); }
