// Helpers of the fault map tests: report octets, a plain view of everything a
// CFaultMap holds, its fault text, and a time zone and a name table that last
// for one scope.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "tests/support/recording_host.h"

namespace pelix::test {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
using Faults = std::vector<std::pair<FaultMapType, std::vector<int>>>;  // fault numbers set per kind
constexpr FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};

inline uint8_t Identifier(FaultMapType kind) {
  static const uint8_t ids[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};
  return ids[kind];
}

// Map sizes of data type 7, of 5 and 4, of 2 and of any other.
inline int MapSize(int dataType, FaultMapType kind) {
  static const int sizes[4][6] = {
      {13, 13, 17, 3, 9, 13}, {13, 13, 13, 3, 7, 13}, {13, 13, 13, 3, 3, 13}, {7, 7, 7, 3, 3, 7}};
  return sizes[dataType == 7 ? 0 : dataType == 5 || dataType == 4 ? 1 : dataType == 2 ? 2 : 3][kind];
}

// A map of `size` octets: the identifier, then fault octets with the given faults set.
inline Bytes MapWith(FaultMapType kind, int size, const std::vector<int>& faults = {}) {
  Bytes map(static_cast<size_t>(size), 0);
  map[0] = Identifier(kind);
  for (const int f : faults) map.at(static_cast<size_t>(f / 8 + 1)) |= static_cast<uint8_t>(1U << (f % 8));
  return map;
}

// The map of `kind` a data type's report carries when `faults` lists its set bits.
inline Bytes MapOf(int dataType, FaultMapType kind, const Faults& faults) {
  for (const auto& entry : faults) {
    if (entry.first == kind) return MapWith(kind, MapSize(dataType, kind), entry.second);
  }
  return MapWith(kind, MapSize(dataType, kind));
}

struct Stamp {
  uint8_t mapType, faultNo;
  uint32_t seconds;
  bool operator==(const Stamp& o) const { return mapType == o.mapType && faultNo == o.faultNo && seconds == o.seconds; }
};
inline void PrintTo(const Stamp& s, std::ostream* os) {
  *os << int(s.mapType) << '/' << int(s.faultNo) << '@' << s.seconds;
}

inline void PutDword(std::string& out, uint32_t value) {
  for (const int shift : {24, 16, 8, 0}) out += static_cast<char>(value >> shift);
}

// A report: MO header, an area made of the blocks and, when withTail, the
// report time, the count and the entries.
struct ReportShape {
  std::vector<Bytes> blocks = {};
  bool withTail = false;
  uint32_t reportTime = 0;
  std::vector<Stamp> stamps = {};
  uint8_t moClass = 3, moInstance = 3, moAssociatedSO = 1, moState = 2;

  ReportShape& Mo(int moClass_, int instance, int associatedSO, int state) {
    moClass = uint8_t(moClass_), moInstance = uint8_t(instance), moAssociatedSO = uint8_t(associatedSO);
    moState = uint8_t(state);
    return *this;
  }
  std::string Build() const {
    std::string area;
    for (const Bytes& block : blocks) area.append(block.begin(), block.end());
    std::string out = {char(moClass), char(moInstance), char(moAssociatedSO), char(moState), char(area.size())};
    out += area;
    if (!withTail) return out;
    PutDword(out, reportTime);
    out += static_cast<char>(stamps.size());
    for (const Stamp& s : stamps) {
      out += {char(s.mapType), char(s.faultNo)};
      PutDword(out, s.seconds);
    }
    return out;
  }
};

inline CFaultMap Decode(const std::string& report, int dataType) {
  return CFaultMap(report.data(), static_cast<unsigned char>(report.size()),
                   static_cast<OMS_tolva_mon_datatype_type>(dataType));
}

// Everything a CFaultMap holds, in plain types.
struct Seen {
  int valid, dataType;
  std::vector<int> mo;  // class, instance, associated SO, state
  bool changed;
  uint32_t reportTime;
  std::vector<Stamp> stamps = {};
  std::array<Bytes, 6> maps = {}, raised = {}, ceased = {};  // by FaultMapType
};

class FaultMapAccess {
 public:
  static Bytes ToBytes(const CByteArray& array) { return Bytes(array.begin(), array.end()); }
  static CByteArray ToArray(const Bytes& bytes) {
    CByteArray array;
    for (const uint8_t b : bytes) array.Add(b);
    return array;
  }
  static Seen See(const CFaultMap& m) {
    Seen s{m.m_dataValid,
           m.m_dataType,
           {m.m_moClass, m.m_moInstance, m.m_moAssociatedSO, m.m_moState},
           m.m_changed,
           m.m_reportTime};
    for (const TimeStamps& t : m.m_timeStamps) s.stamps.push_back({t.mapType, t.faultNo, t.seconds});
    for (const FaultMapType kind : kAllKinds) {
      s.maps[kind] = ToBytes(m.Map(kind));
      s.raised[kind] = ToBytes(m.RaisedList(kind));
      s.ceased[kind] = ToBytes(m.CeasedList(kind));
    }
    return s;
  }
  static CByteArray& MapRef(CFaultMap& m, FaultMapType kind) { return m.Map(kind); }
  static void SetChanged(CFaultMap& m, bool changed) { m.m_changed = changed; }
  static void SetMo(CFaultMap& m, int moClass, int instance, int associatedSO) {
    m.m_moClass = char(moClass), m.m_moInstance = char(instance), m.m_moAssociatedSO = char(associatedSO);
  }
  // BuildMap into `bits` as it stands.
  static void BuildMap(const Bytes& list, Bytes& bits, int size) {
    CByteArray bitMap = ToArray(bits);
    CFaultMap().BuildMap(ToArray(list), bitMap, size);
    bits = ToBytes(bitMap);
  }
  static Bytes GetFaultNoList(const Bytes& bitMap) {
    CByteArray list;
    CFaultMap().GetFaultNoList(ToArray(bitMap), list);
    return ToBytes(list);
  }
  static bool HasFault(const Bytes& map) { return CFaultMap().HasFault(ToArray(map)); }
  static MO_Type MoType(const CFaultMap& m) { return m.GetMO_Type(); }
  static std::string MoId(const CFaultMap& m) {
    CString id;
    m.GetMO_Id(id);
    return id.str();
  }
};

inline Seen See(const CFaultMap& map) { return FaultMapAccess::See(map); }

// A decoded report of the timeslot object 3-1 carrying every kind, with the
// given faults; a tail for the data types with time stamps.
inline CFaultMap Report(int dataType, const Faults& faults, uint32_t reportTime = 0,
                        const std::vector<Stamp>& stamps = {}, uint8_t state = 2) {
  ReportShape shape{{}, dataType == 5 || dataType == 7, reportTime, stamps};
  shape.moState = state;
  for (const FaultMapType kind : kAllKinds) shape.blocks.push_back(MapOf(dataType, kind, faults));
  CFaultMap map = Decode(shape.Build(), dataType);
  EXPECT_EQ(See(map).valid, 1);
  return map;
}

// The fault text of a map: its lines and the fields of its items.
struct Text {
  Strings lines, types, titles, ids, names;
  // The lines without their time text and the blank after it.
  Strings Tails() const {
    Strings tails;
    for (const std::string& line : lines) tails.push_back(line.size() > 20 ? line.substr(20) : std::string());
    return tails;
  }
};

// Runs GetFaultMaps, takes the items over and deletes them as the caller must.
inline Text FaultText(const CFaultMap& map) {
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  map.GetFaultMaps(lines, items);
  Text text;
  for (const CString& line : lines) text.lines.push_back(line.str());
  for (FaultMapItem* item : items) {
    text.types.push_back(item->moTypeText.str());
    text.titles.push_back(item->mapTitle.str());
    text.ids.push_back(item->faultId.str());
    text.names.push_back(item->faultName.str());
    delete item;
  }
  EXPECT_EQ(text.lines.size(), text.ids.size());
  return text;
}

// A recording host with an error handler present.
struct HandlerHost : RecordingHost {
  HandlerHost() { handlerExists = true; }
};

// The scopes opened on a host, in order.
inline Strings Scopes(const RecordingHost& host) {
  Strings scopes;
  for (const HostCall& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  return scopes;
}

// Sets TZ for its lifetime and restores the earlier setting afterwards.
struct ScopedTimeZone {
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    setenv("TZ", zone, 1), tzset();
  }
  ~ScopedTimeZone() { m_old ? setenv("TZ", m_old->c_str(), 1) : unsetenv("TZ"), tzset(); }
  std::optional<std::string> m_old;
};

inline bool DaylightSavingNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_isdst > 0;
}

// Creates the fault name table if there is none and deletes it again at the
// end, so that every test leaves the singleton as it found it.
struct ScopedNameTable {
  ScopedNameTable() = default;
  ScopedNameTable(const ScopedNameTable&) = delete;
  ~ScopedNameTable() {
    if (m_made) delete m_table;
  }
  CTableOfMonitorRptInTxt* operator->() const { return m_table; }
  const bool m_made = CTableOfMonitorRptInTxt::Get() == nullptr;
  CTableOfMonitorRptInTxt* const m_table = CTableOfMonitorRptInTxt::Create();
};

inline CArray<CString, CString> Names(const Strings& names) {
  CArray<CString, CString> list;
  for (const std::string& name : names) list.Add(CString(name));
  return list;
}

}  // namespace pelix::test
