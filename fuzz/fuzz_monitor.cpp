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
#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.h"
#include "pelix/monitor_object_table.h"

namespace {

constexpr int kCatalogueSize = 428;
constexpr int kWithoutExcluded = 382;

CString WithoutDigits(const CString& text) {
  std::string out;
  for (const char c : text.str()) {
    if (c < '0' || c > '9') out += c;
  }
  return CString(out);
}

// A text from the input, or (for a first octet below 64) a name of the
// catalogue itself so that the fuzzer reaches the matching paths.
CString Name(pelix::fuzz::Input& input, CMonitorObjectTable& table) {
  const uint8_t how = input.Byte();
  if (how < 64) {
    const int id = input.Int32();
    CString internalName;
    CString shortId;
    CString display;
    table.GetMonitorInternalName(id, internalName, shortId);
    table.GetMonitorName(id, display);
    return how % 3 == 0 ? internalName : how % 3 == 1 ? shortId : display;
  }
  return CString(input.Text());
}

void CheckName(CMonitorObjectTable& table, const CString& name) {
  const bool exists = table.MonitorExists(name);
  const int id = table.GetInternalIdFromInternalName(name);
  if (!exists) {
    FUZZ_CHECK(id == 0);
    return;
  }
  FUZZ_CHECK(id >= 0 && id < kCatalogueSize);
  CString internalName("unset");
  CString shortId("unset");
  table.GetMonitorInternalName(id, internalName, shortId);
  FUZZ_CHECK(internalName == name || shortId == name);
  CString alone("unset");
  table.GetMonitorInternalName(id, alone);
  FUZZ_CHECK(alone == internalName);
}

void CheckId(CMonitorObjectTable& table, int id) {
  CString internalName("unset");
  CString shortId("unset");
  table.GetMonitorInternalName(id, internalName, shortId);
  CString name("unset");
  table.GetMonitorName(id, name);
  CString description("unset");
  table.GetMonitorDescription(id, description);
  FUZZ_CHECK(name != "unset" && description != "unset");
  if (id < 0 || id >= kCatalogueSize) {
    // No such instance: the outputs stay, and the names are those of kind 0.
    FUZZ_CHECK(internalName == "unset" && shortId == "unset");
    CString first;
    table.GetMonitorName(kCatalogueSize + 1, first);
    FUZZ_CHECK(name == first);
    return;
  }
  FUZZ_CHECK(!internalName.IsEmpty() && internalName != "unset");
  FUZZ_CHECK(table.MonitorExists(internalName));
  // The first instance of that name is this one or an earlier one.
  FUZZ_CHECK(table.GetInternalIdFromInternalName(internalName) <= id);
}

void CheckDisplayName(CMonitorObjectTable& table, const CString& display) {
  const int id = table.GetMonitorId(display);
  FUZZ_CHECK(id == -1 || (id >= 0 && id < kCatalogueSize));
  if (id < 0) return;
  // The display name of the instance found differs from the text asked for
  // only in digits.
  CString name;
  table.GetMonitorName(id, name);
  FUZZ_CHECK(WithoutDigits(name) == WithoutDigits(display));
}

void CheckAllIds(CMonitorObjectTable& table, int cabinet) {
  CArray<int, int> ids;
  table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
  FUZZ_CHECK(ids.GetSize() == (cabinet == 34 ? kWithoutExcluded : kCatalogueSize));
  for (int i = 1; i < ids.GetSize(); ++i) FUZZ_CHECK(ids[i - 1] < ids[i]);
  table.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
  FUZZ_CHECK(ids.GetSize() == (cabinet == 34 ? kWithoutExcluded : kCatalogueSize));
}

void CheckAttachments(CMonitorObjectTable& table, int objectType, int objectInstance, int id) {
  const auto type = static_cast<Pelix_ObjectType>(objectType);
  CArray<int, int> ids;
  ids.Add(-7);
  const int count = table.GetMonitorsForRU(type, objectInstance, ids);
  FUZZ_CHECK(count >= 0 && ids.GetSize() == count + 1);
  FUZZ_CHECK(ids[0] == -7);
  const bool attached = std::find(ids.begin() + 1, ids.end(), id) != ids.end();
  // An attachment of id to the object is listed both ways.
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  int asked = id;
  table.GetPelixObjectsForInternalID(asked, objects);
  FUZZ_CHECK(asked == id);
  bool listed = false;
  for (int i = 0; i < objects.GetSize(); ++i) {
    listed = listed || (objects[i].type == type && objects[i].instance == objectInstance);
  }
  FUZZ_CHECK(listed == attached);
  if (!attached) {
    FUZZ_CHECK(table.GetRU_Type(id, type, objectInstance) == FT_NONE);
    FUZZ_CHECK(table.GetRuInstance(id, type, objectInstance) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMonitorObjectTable& table = g_monitorObjectTable;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  table.ClearMonitorObjectList();
  table.UpdateTMA_CM_Names(false);

  for (int step = 0; step < 24 && !input.Empty(); ++step) {
    switch (input.Byte() % 12) {
      case 0: CheckId(table, input.Int32()); break;
      case 1: CheckName(table, Name(input, table)); break;
      case 2: CheckDisplayName(table, Name(input, table)); break;
      case 3: CheckAllIds(table, static_cast<int8_t>(input.Byte())); break;
      case 4: {
        const CString name = Name(input, table);
        const int objectType = input.Int32() % 8;
        const int objectInstance = input.Int32() % 8;
        const int ruType = input.Int32();
        const int ruInstance = input.Int32();
        table.AddElement(name, static_cast<Pelix_ObjectType>(objectType), objectInstance, static_cast<FuncType>(ruType),
                         ruInstance);
        break;
      }
      case 5: {
        const int nameType = input.Int32() % 300;
        const int objectType = input.Int32() % 8;
        const int objectInstance = input.Int32() % 8;
        const int ruType = input.Int32();
        const int ruInstance = input.Int32();
        const int instance = input.Int32() % 64;
        if (instance % 2 == 0) {
          table.AddElement(static_cast<MonitorNameType>(nameType), static_cast<Pelix_ObjectType>(objectType),
                           objectInstance, static_cast<FuncType>(ruType), ruInstance);
        } else {
          table.AddElement(static_cast<MonitorNameType>(nameType), static_cast<Pelix_ObjectType>(objectType),
                           objectInstance, static_cast<FuncType>(ruType), ruInstance, instance / 2);
        }
        break;
      }
      case 6: {
        const int objectType = input.Int32() % 8;
        const int objectInstance = input.Int32() % 8;
        CheckAttachments(table, objectType, objectInstance, input.Int32() % (kCatalogueSize + 2));
        break;
      }
      case 7: {
        const CString name = Name(input, table);
        const auto type = static_cast<Pelix_ObjectType>(input.Int32() % 8);
        const int objectInstance = input.Int32() % 8;
        auto ruType = static_cast<FuncType>(-11);
        int ruInstance = -12;
        table.GetRUs(name, type, objectInstance, ruType, ruInstance);
        // Without a named monitor the outputs stay as they were.
        if (!table.MonitorExists(name)) FUZZ_CHECK(ruType == -11 && ruInstance == -12);
        break;
      }
      case 8: {
        CArray<CString, CString> keep;
        const int count = input.Byte() % 8;
        for (int i = 0; i < count; ++i) keep.Add(Name(input, table));
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
        const int nameType = input.Int32();
        table.GetMonitorInternalName(static_cast<MonitorNameType>(nameType), internalName);
        if (internalName != "unset") FUZZ_CHECK(table.MonitorExists(internalName));
        break;
      }
    }
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
