// The monitor catalogue: any text as a name or display name, any integer as
// an id, object or unit, for every query and for the operations that attach,
// prune and clear attachments.
//
// Input: the host byte, then operations one after another (at most 24), each
// an operation octet and its arguments: integers as 4 octets, most
// significant first, texts as a length octet and the bytes. The catalogue is
// the library's own g_monitorObjectTable, with its attachments cleared and
// its short display names restored at the start of every input. The checks
// tie the queries to each other (a name that exists has an id whose names
// give it back, and so on).
#include "harness.h"
#include "pelix/monitor_object_table.h"

constexpr int kCatalogueSize = 428, kWithoutExcluded = 382;
static CMonitorObjectTable& table = g_monitorObjectTable;

// A text from the input, or (for a first octet below 64) a name of the
// catalogue itself so that the fuzzer reaches the matching paths.
static CString Name(pelix::fuzz::Input& input) {
  const uint8_t how = input.Byte();
  const int id = how < 64 ? input.Int32() : 0;
  CString names[3];
  table.GetMonitorInternalName(id, names[0], names[1]);
  table.GetMonitorName(id, names[2]);
  return how < 64 ? names[how % 3] : CString(input.Bytes(input.Byte()));
}

// Each operation reads, in this order: a name (1, 2, 4, 7), a name type (5),
// an object and its instance (4 to 7), a unit kind and unit (4, 5), then its
// own values.
void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost&) {
  table.ClearMonitorObjectList();
  table.UpdateTMA_CM_Names(false);
  for (int step = 0; step < 24 && !input.Empty(); ++step) {
    const int op = input.Byte() % 12;
    const bool attaching = op == 4 || op == 5, object = op >= 4 && op <= 7;
    const CString name = op == 1 || op == 2 || op == 4 || op == 7 ? Name(input) : CString();
    const auto nameType = static_cast<MonitorNameType>(op == 5 ? input.Int32() % 300 : 0);
    const auto type = static_cast<Pelix_ObjectType>(object ? input.Int32() % 8 : 0);
    const int objectInstance = object ? input.Int32() % 8 : 0;
    auto ruType = static_cast<FuncType>(attaching ? input.Int32() : -11);
    int ruInstance = attaching ? input.Int32() : -12, id = 0;
    CString internalName("unset"), shortId("unset"), display("unset");
    CArray<int, int> ids;
    if (op <= 1) {  // an id, given or found by name: no such instance leaves the outputs, else its names exist
      id = op == 0 ? input.Int32() : table.GetInternalIdFromInternalName(name);
      table.GetMonitorInternalName(id, internalName, shortId);
      table.GetMonitorName(id, display);
      // The first instance of a known name is this one or an earlier one.
      const bool known = id >= 0 && id < kCatalogueSize;
      FUZZ_CHECK(display != "unset" &&
                 (known ? table.MonitorExists(internalName) && table.GetInternalIdFromInternalName(internalName) <= id
                        : internalName == "unset" && shortId == "unset"));
      if (op == 1) FUZZ_CHECK(table.MonitorExists(name) ? known && (internalName == name || shortId == name) : id == 0);
    } else if (op == 2) {  // a display name names one instance or none
      FUZZ_CHECK(table.GetMonitorId(name) >= -1 && table.GetMonitorId(name) < kCatalogueSize);
    } else if (op == 3) {  // all ids, ascending
      const int cabinet = static_cast<int8_t>(input.Byte());
      table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
      FUZZ_CHECK(ids.GetSize() == (cabinet == 34 ? kWithoutExcluded : kCatalogueSize) &&
                 std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end());
    } else if (op == 4) {
      table.AddElement(name, type, objectInstance, ruType, ruInstance);
    } else if (op == 5) {
      const int instance = input.Int32() % 64;
      instance % 2 == 0 ? table.AddElement(nameType, type, objectInstance, ruType, ruInstance)
                        : table.AddElement(nameType, type, objectInstance, ruType, ruInstance, instance / 2);
    } else if (op == 6) {  // an attachment of an id to an object is listed both ways, and only then has a unit
      id = input.Int32() % (kCatalogueSize + 2);
      const int count = table.GetMonitorsForRU(type, objectInstance, ids);
      const bool attached = std::find(ids.begin(), ids.end(), id) != ids.end();
      CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
      table.GetPelixObjectsForInternalID(id, objects);
      const auto here = [&](const Pelix_ObjectId& o) { return o.type == type && o.instance == objectInstance; };
      FUZZ_CHECK(count == ids.GetSize() && attached == std::any_of(objects.begin(), objects.end(), here));
      FUZZ_CHECK(attached || (table.GetRU_Type(id, type, objectInstance) == FT_NONE &&
                              table.GetRuInstance(id, type, objectInstance) == 0));
    } else if (op == 7) {  // without a named monitor the outputs stay as they were
      table.GetRUs(name, type, objectInstance, ruType, ruInstance);
      FUZZ_CHECK(table.MonitorExists(name) || (ruType == -11 && ruInstance == -12));
    } else if (op == 8) {
      CArray<CString, CString> keep;
      for (int i = input.Byte() % 8; i > 0; --i) keep.Add(Name(input));
      table.KeepThese(keep);
    } else if (op == 9) {  // nothing stays attached
      table.ClearMonitorObjectList();
      for (int k = 0; k < 8; ++k) FUZZ_CHECK(table.GetMonitorsForRU(Pelix_ObjectType(k), input.Int32() % 8, ids) == 0);
    } else if (op == 10) {
      table.UpdateTMA_CM_Names((input.Byte() & 1U) != 0);
    } else {
      table.GetMonitorInternalName(static_cast<MonitorNameType>(input.Int32()), internalName);
      FUZZ_CHECK(internalName == "unset" || table.MonitorExists(internalName));
    }
  }
}
