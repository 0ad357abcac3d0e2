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
#include <regex>

#include "harness.h"
#include "pelix/monitor_object_table.h"

namespace {

constexpr int kCatalogueSize = 428, kWithoutExcluded = 382;
CMonitorObjectTable& table = g_monitorObjectTable;

// A text from the input, or (for a first octet below 64) a name of the
// catalogue itself so that the fuzzer reaches the matching paths.
CString Name(pelix::fuzz::Input& input) {
  const uint8_t how = input.Byte();
  if (how >= 64) return CString(input.Text());
  const int id = input.Int32();
  CString names[3];
  table.GetMonitorInternalName(id, names[0], names[1]);
  table.GetMonitorName(id, names[2]);
  return names[how % 3];
}

}  // namespace

// Each operation reads, in this order: a name (1, 2, 4, 7), a name type (5),
// an object and its instance (4 to 7), a unit kind and unit (4, 5), then its
// own values.
FUZZ_TARGET(input, host) {
  table.ClearMonitorObjectList();
  table.UpdateTMA_CM_Names(false);
  const auto withoutDigits = [](const CString& text) {
    return std::regex_replace(text.str(), std::regex("[0-9]"), "");
  };
  for (int step = 0; step < 24 && !input.Empty(); ++step) {
    const int op = input.Byte() % 12;
    const bool attaching = op == 4 || op == 5;
    const CString name = op == 1 || op == 2 || op == 4 || op == 7 ? Name(input) : CString();
    const auto nameType = static_cast<MonitorNameType>(op == 5 ? input.Int32() % 300 : 0);
    const auto type = static_cast<Pelix_ObjectType>(op >= 4 && op <= 7 ? input.Int32() % 8 : 0);
    const int objectInstance = op >= 4 && op <= 7 ? input.Int32() % 8 : 0;
    auto ruType = static_cast<FuncType>(attaching ? input.Int32() : -11);
    int ruInstance = attaching ? input.Int32() : -12;
    CString internalName("unset"), shortId("unset"), display("unset"), alone("unset"), description("unset");
    CArray<int, int> ids;
    if (op <= 1) {  // an id, given or found by name, and its names
      const int id = op == 0 ? input.Int32() : table.GetInternalIdFromInternalName(name);
      const bool known = id >= 0 && id < kCatalogueSize;
      table.GetMonitorInternalName(id, internalName, shortId);
      table.GetMonitorInternalName(id, alone);
      table.GetMonitorName(id, display);
      table.GetMonitorDescription(id, description);
      // No such instance: the outputs stay. Else the first instance of its
      // name is this one or an earlier one.
      FUZZ_CHECK(display != "unset" && description != "unset" && alone == internalName &&
                 (known || (internalName == "unset" && shortId == "unset")));
      FUZZ_CHECK(!known ||
                 (table.MonitorExists(internalName) && table.GetInternalIdFromInternalName(internalName) <= id));
      if (op == 1) FUZZ_CHECK(table.MonitorExists(name) ? known && (internalName == name || shortId == name) : id == 0);
    } else if (op == 2) {  // the instance found differs from the display name asked for only in digits
      const int id = table.GetMonitorId(name);
      if (id >= 0) table.GetMonitorName(id, display);
      FUZZ_CHECK(id >= -1 && id < kCatalogueSize && (id < 0 || withoutDigits(display) == withoutDigits(name)));
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
    } else if (op == 6) {  // an attachment of an id to an object is listed both ways
      int id = input.Int32() % (kCatalogueSize + 2);
      const int count = table.GetMonitorsForRU(type, objectInstance, ids);
      const bool attached = std::find(ids.begin(), ids.end(), id) != ids.end();
      CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
      table.GetPelixObjectsForInternalID(id, objects);
      FUZZ_CHECK(count == ids.GetSize() && attached == std::any_of(objects.begin(), objects.end(), [&](auto& o) {
                                             return o.type == type && o.instance == objectInstance;
                                           }));
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
      for (int kind = 0; kind < 8; ++kind)
        FUZZ_CHECK(table.GetMonitorsForRU(static_cast<Pelix_ObjectType>(kind), input.Int32() % 8, ids) == 0);
    } else if (op == 10) {
      table.UpdateTMA_CM_Names((input.Byte() & 1U) != 0);
    } else {
      table.GetMonitorInternalName(static_cast<MonitorNameType>(input.Int32()), internalName);
      FUZZ_CHECK(internalName == "unset" || table.MonitorExists(internalName));
    }
  }
}
