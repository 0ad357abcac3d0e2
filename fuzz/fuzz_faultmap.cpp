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
#include <cstddef>
#include <cstdint>
#include <vector>

#include "harness.h"
#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"

namespace pelix::test {

// The fault map's members, as the fuzz checks read them (the class is a
// friend of CFaultMap under this name).
class FaultMapAccess {
 public:
  static std::vector<uint8_t> Bytes(const CByteArray& array) {
    return std::vector<uint8_t>(array.begin(), array.end());
  }
  static int DataValid(const CFaultMap& m) { return m.m_dataValid; }
  static int MoState(const CFaultMap& m) { return m.m_moState; }
  static MO_Type MoType(const CFaultMap& m) { return m.GetMO_Type(); }
  static std::vector<uint8_t> Map(const CFaultMap& m, FaultMapType kind) { return Bytes(m.Map(kind)); }
  static std::vector<uint8_t> Raised(const CFaultMap& m, FaultMapType kind) { return Bytes(m.RaisedList(kind)); }
  static std::vector<uint8_t> Ceased(const CFaultMap& m, FaultMapType kind) { return Bytes(m.CeasedList(kind)); }
};

}  // namespace pelix::test

using pelix::test::FaultMapAccess;
namespace {

constexpr FaultMapType kKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};
constexpr uint8_t kIdentifiers[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};

// Names for part of the fault name table, the rest stays empty, as a
// terminal that has filled only some object types leaves it.
void FillFaultNames() {
  CTableOfMonitorRptInTxt* table = CTableOfMonitorRptInTxt::Create();
  for (int mo = 0; mo < CTableOfMonitorRptInTxt::kObjectTypes; mo += 2) {
    for (const FaultMapType kind : kKinds) {
      CArray<CString, CString> names;
      for (int f = 0; f < 60; ++f) {
        CString name;
        if (f % 7 != 3) name.Format("fault %d of %d/%d", f, mo, static_cast<int>(kind));
        names.Add(name);
      }
      table->StoreMonitorRpt(static_cast<MO_Type>(mo), kind, names);
    }
  }
}

void CheckAscendingDisjoint(const std::vector<uint8_t>& raised, const std::vector<uint8_t>& ceased) {
  for (size_t i = 1; i < raised.size(); ++i) FUZZ_CHECK(raised[i - 1] < raised[i]);
  for (size_t i = 1; i < ceased.size(); ++i) FUZZ_CHECK(ceased[i - 1] < ceased[i]);
  for (const uint8_t r : raised) {
    for (const uint8_t c : ceased) FUZZ_CHECK(r != c);
  }
}

void FreeItems(CArray<FaultMapItem*, FaultMapItem*>& items) {
  for (int i = 0; i < items.GetSize(); ++i) delete items[i];
  items.RemoveAll();
}

// Lines and items of the kept map; their count follows from its lists.
void CheckFaultLines(const CFaultMap& kept, pelix::fuzz::FuzzHost& host) {
  const bool errorPending = host.handler && host.errorStatus != 0;
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  kept.GetFaultMaps(lines, items);
  FUZZ_CHECK(lines.GetSize() == items.GetSize());
  for (int i = 0; i < items.GetSize(); ++i) FUZZ_CHECK(items[i] != nullptr);
  if (FaultMapAccess::DataValid(kept) != 1) {
    FUZZ_CHECK(lines.GetSize() == 1);
    FUZZ_CHECK(lines[0] == "Corrupt data from Tolva");
  } else if (!errorPending && FaultMapAccess::MoType(kept) != MO_UNKNOWN) {
    size_t listed = 0;
    for (const FaultMapType kind : kKinds) {
      listed += FaultMapAccess::Raised(kept, kind).size() + FaultMapAccess::Ceased(kept, kind).size();
    }
    FUZZ_CHECK(static_cast<size_t>(lines.GetSize()) == listed);
  }
  FreeItems(items);

  CString state;
  FUZZ_CHECK(kept.GetMO_State(state) == SR_OK);
  FUZZ_CHECK(!state.IsEmpty());
}

void MergeAndCheck(CFaultMap& kept, const CFaultMap& report) {
  kept.UpdateFaultMap(report);
  bool anyListed = false;
  for (size_t k = 0; k < 6; ++k) {
    const FaultMapType kind = kKinds[k];
    const std::vector<uint8_t> newMap = FaultMapAccess::Map(report, kind);
    FUZZ_CHECK(!newMap.empty());
    const std::vector<uint8_t> raised = FaultMapAccess::Raised(kept, kind);
    const std::vector<uint8_t> ceased = FaultMapAccess::Ceased(kept, kind);
    CheckAscendingDisjoint(raised, ceased);
    if (newMap[0] == kIdentifiers[k]) {
      // A merged kind carries exactly the new bits afterwards.
      FUZZ_CHECK(FaultMapAccess::Map(kept, kind) == newMap);
      anyListed = anyListed || !raised.empty() || !ceased.empty();
    }
  }
  FUZZ_CHECK(kept.IsChanged() == anyListed);
  FUZZ_CHECK(FaultMapAccess::DataValid(kept) == FaultMapAccess::DataValid(report));

  bool fault = false;
  const ServiceResult result = kept.IsFault(fault);
  FUZZ_CHECK(result == (FaultMapAccess::DataValid(kept) == 1 ? SR_OK : SR_INVALID_DATA));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool filled = (FillFaultNames(), true);
  (void)filled;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::FuzzHost& host = pelix::fuzz::ConfigureHost(input.Byte());
  {
    const auto firstType = static_cast<OMS_tolva_mon_datatype_type>(input.Empty() ? 7 : data[1]);
    CFaultMap kept(firstType);
    int reports = 0;
    while (!input.Empty() && reports < 16) {
      ++reports;
      const auto dataType = static_cast<OMS_tolva_mon_datatype_type>(input.Byte());
      const std::string octets = input.Bytes(input.Byte());
      // Exactly the report's octets on the heap: one octet more read is an
      // overflow that the address sanitizer reports.
      std::vector<char> buffer(octets.begin(), octets.end());
      const auto length = static_cast<unsigned char>(buffer.size());
      CFaultMap report(buffer.empty() ? nullptr : buffer.data(), length, dataType);

      // The copies carry the same decoding.
      const CFaultMap copy(report);
      const CFaultMap viaPointer(&report);
      FUZZ_CHECK(FaultMapAccess::DataValid(copy) == FaultMapAccess::DataValid(report));
      FUZZ_CHECK(FaultMapAccess::DataValid(viaPointer) == FaultMapAccess::DataValid(report));
      for (const FaultMapType kind : kKinds) {
        FUZZ_CHECK(FaultMapAccess::Map(copy, kind) == FaultMapAccess::Map(report, kind));
      }
      CFaultMap assigned;
      assigned = report;
      FUZZ_CHECK(FaultMapAccess::MoState(assigned) == FaultMapAccess::MoState(report));

      CheckFaultLines(report, host);
      MergeAndCheck(kept, report);
      CheckFaultLines(kept, host);
    }
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
