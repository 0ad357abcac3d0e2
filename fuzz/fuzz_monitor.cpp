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
#include <algorithm>
#include <string>

#include "harness.h"
#include "pelix/monitor_object_table.h"

namespace {

constexpr int kCatalogueSize = 428;
constexpr int kWithoutExcluded = 382;

std::string WithoutDigits(const CString& text) {
  std::string out = text.str();
  out.erase(std::remove_if(out.begin(), out.end(), [](char c) { return c >= '0' && c <= '9'; }), out.end());
  return out;
}

// A text from the input, or (for a first octet below 64) a name of the
// catalogue itself so that the fuzzer reaches the matching paths.
CString Name(pelix::fuzz::Input& input, CMonitorObjectTable& table) {
  const uint8_t how = input.Byte();
  if (how >= 64) return CString(input.Text());
  const int id = input.Int32();
  CString names[3];
  table.GetMonitorInternalName(id, names[0], names[1]);
  table.GetMonitorName(id, names[2]);
  return names[how % 3];
}

void CheckName(CMonitorObjectTable& table, const CString& name) {
  const int id = table.GetInternalIdFromInternalName(name);
  if (!table.MonitorExists(name)) return FUZZ_CHECK(id == 0);
  FUZZ_CHECK(id >= 0 && id < kCatalogueSize);
  CString internalName("unset"), shortId("unset"), alone("unset");
  table.GetMonitorInternalName(id, internalName, shortId);
  table.GetMonitorInternalName(id, alone);
  FUZZ_CHECK((internalName == name || shortId == name) && alone == internalName);
}

void CheckId(CMonitorObjectTable& table, int id) {
  CString internalName("unset"), shortId("unset"), name("unset"), description("unset"), first;
  table.GetMonitorInternalName(id, internalName, shortId);
  table.GetMonitorName(id, name);
  table.GetMonitorDescription(id, description);
  FUZZ_CHECK(name != "unset" && description != "unset");
  if (id < 0 || id >= kCatalogueSize) {
    // No such instance: the outputs stay, and the names are those of kind 0.
    table.GetMonitorName(kCatalogueSize + 1, first);
    return FUZZ_CHECK(internalName == "unset" && shortId == "unset" && name == first);
  }
  FUZZ_CHECK(!internalName.IsEmpty() && internalName != "unset" && table.MonitorExists(internalName));
  // The first instance of that name is this one or an earlier one.
  FUZZ_CHECK(table.GetInternalIdFromInternalName(internalName) <= id);
}

// The display name of the instance found differs from the text asked for
// only in digits.
void CheckDisplayName(CMonitorObjectTable& table, const CString& display) {
  const int id = table.GetMonitorId(display);
  FUZZ_CHECK(id == -1 || (id >= 0 && id < kCatalogueSize));
  CString name;
  if (id >= 0) table.GetMonitorName(id, name), FUZZ_CHECK(WithoutDigits(name) == WithoutDigits(display));
}

void CheckAllIds(CMonitorObjectTable& table, int cabinet) {
  CArray<int, int> ids;
  for (int round = 0; round < 2; ++round) {  // the second call replaces the first's list
    table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
    FUZZ_CHECK(ids.GetSize() == (cabinet == 34 ? kWithoutExcluded : kCatalogueSize));
    FUZZ_CHECK(std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end());
  }
}

// An attachment of id to the object is listed both ways.
void CheckAttachments(CMonitorObjectTable& table, Pelix_ObjectType type, int objectInstance, int id) {
  CArray<int, int> ids;
  ids.Add(-7);
  const int count = table.GetMonitorsForRU(type, objectInstance, ids);
  FUZZ_CHECK(count >= 0 && ids.GetSize() == count + 1 && ids[0] == -7);
  const bool attached = std::find(ids.begin() + 1, ids.end(), id) != ids.end();
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  int asked = id;
  table.GetPelixObjectsForInternalID(asked, objects);
  FUZZ_CHECK(asked == id);
  const bool listed = std::any_of(objects.begin(), objects.end(), [&](const Pelix_ObjectId& o) {
    return o.type == type && o.instance == objectInstance;
  });
  FUZZ_CHECK(listed == attached);
  if (!attached) {
    FUZZ_CHECK(table.GetRU_Type(id, type, objectInstance) == FT_NONE &&
               table.GetRuInstance(id, type, objectInstance) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMonitorObjectTable& table = g_monitorObjectTable;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  table.ClearMonitorObjectList();
  table.UpdateTMA_CM_Names(false);

  const auto object = [&input] { return static_cast<Pelix_ObjectType>(input.Int32() % 8); };
  for (int step = 0; step < 24 && !input.Empty(); ++step) {
    switch (input.Byte() % 12) {
      case 0: CheckId(table, input.Int32()); break;
      case 1: CheckName(table, Name(input, table)); break;
      case 2: CheckDisplayName(table, Name(input, table)); break;
      case 3: CheckAllIds(table, static_cast<int8_t>(input.Byte())); break;
      case 4: {
        const CString name = Name(input, table);
        const Pelix_ObjectType type = object();
        const int objectInstance = input.Int32() % 8;
        const auto ruType = static_cast<FuncType>(input.Int32());
        table.AddElement(name, type, objectInstance, ruType, input.Int32());
        break;
      }
      case 5: {
        const auto nameType = static_cast<MonitorNameType>(input.Int32() % 300);
        const Pelix_ObjectType type = object();
        const int objectInstance = input.Int32() % 8;
        const auto ruType = static_cast<FuncType>(input.Int32());
        const int ruInstance = input.Int32();
        const int instance = input.Int32() % 64;
        if (instance % 2 == 0) table.AddElement(nameType, type, objectInstance, ruType, ruInstance);
        if (instance % 2 != 0) table.AddElement(nameType, type, objectInstance, ruType, ruInstance, instance / 2);
        break;
      }
      case 6: {
        const Pelix_ObjectType type = object();
        const int objectInstance = input.Int32() % 8;
        CheckAttachments(table, type, objectInstance, input.Int32() % (kCatalogueSize + 2));
        break;
      }
      case 7: {
        const CString name = Name(input, table);
        const Pelix_ObjectType type = object();
        auto ruType = static_cast<FuncType>(-11);
        int ruInstance = -12;
        table.GetRUs(name, type, input.Int32() % 8, ruType, ruInstance);
        // Without a named monitor the outputs stay as they were.
        if (!table.MonitorExists(name)) FUZZ_CHECK(ruType == -11 && ruInstance == -12);
        break;
      }
      case 8: {
        CArray<CString, CString> keep;
        for (int i = input.Byte() % 8; i > 0; --i) keep.Add(Name(input, table));
        table.KeepThese(keep);
        break;
      }
      case 9:
        table.ClearMonitorObjectList();
        for (int type = 0; type < 8; ++type) {
          CArray<int, int> ids;
          FUZZ_CHECK(table.GetMonitorsForRU(static_cast<Pelix_ObjectType>(type), input.Int32() % 8, ids) == 0);
        }
        break;
      case 10: table.UpdateTMA_CM_Names((input.Byte() & 1U) != 0); break;
      case 11: {
        CString internalName("unset");
        table.GetMonitorInternalName(static_cast<MonitorNameType>(input.Int32()), internalName);
        if (internalName != "unset") FUZZ_CHECK(table.MonitorExists(internalName));
        break;
      }
    }
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
