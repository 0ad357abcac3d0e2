// Helpers of the fault map tests: report octets, one line that shows all a
// CFaultMap holds, its fault text, and a time zone and a name table that last
// for one scope.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "tests/support/recording_host.h"

namespace pelix::test {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
constexpr FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};
constexpr const char* kKindNames[] = {"I1A", "I1B", "I2A", "EC1", "EC2", "RU"};
constexpr uint8_t kIds[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};

// Map sizes of data type 7, of 5 and 4, of 2 and of any other.
inline int MapSize(int dataType, int kind) {
  static const int sizes[4][6] = {
      {13, 13, 17, 3, 9, 13}, {13, 13, 13, 3, 7, 13}, {13, 13, 13, 3, 3, 13}, {7, 7, 7, 3, 3, 7}};
  return sizes[dataType == 7 ? 0 : dataType == 5 || dataType == 4 ? 1 : dataType == 2 ? 2 : 3][kind];
}

// A map block of `size` octets: the kind's identifier, then the faults set.
inline Bytes Block(FaultMapType kind, int size, const std::vector<int>& faults = {}) {
  Bytes map(static_cast<size_t>(size), 0);
  map[0] = kIds[kind];
  for (const int f : faults) map.at(static_cast<size_t>(f / 8 + 1)) |= static_cast<uint8_t>(1U << (f % 8));
  return map;
}

struct Stamp {
  int kind, faultNo;
  uint32_t seconds;
};

inline void Put32(std::string& out, uint32_t value) {
  for (const int shift : {24, 16, 8, 0}) out += static_cast<char>(value >> shift);
}

// A report of the object header `mo` and the blocks, with a tail (report
// time, count, entries) when time >= 0.
inline std::string Rpt(const std::vector<Bytes>& blocks, long long time = -1, const std::vector<Stamp>& stamps = {},
                       const std::string& mo = {3, 3, 1, 2}) {
  std::string area;
  for (const Bytes& block : blocks) area.append(block.begin(), block.end());
  std::string out = mo + static_cast<char>(area.size()) + area;
  if (time < 0) return out;
  Put32(out, static_cast<uint32_t>(time));
  out += static_cast<char>(stamps.size());
  for (const Stamp& s : stamps) out += std::string{char(s.kind), char(s.faultNo)}, Put32(out, s.seconds);
  return out;
}

inline CFaultMap Decode(const std::string& report, int dataType) {
  return CFaultMap(report.data(), static_cast<unsigned char>(report.size()),
                   static_cast<OMS_tolva_mon_datatype_type>(dataType));
}

// A report of TS 3-1 with every kind of the data type's sizes, the faults
// given as "I1A:0,2 EC1:4", and a tail for the data types with time stamps.
inline CFaultMap Report(int dataType, const std::string& faults, int state = 2, uint32_t time = 0,
                        const std::vector<Stamp>& stamps = {}) {
  std::vector<Bytes> blocks;
  for (const FaultMapType kind : kAllKinds) {
    std::vector<int> set;
    const size_t at = (" " + faults).find(std::string(" ") + kKindNames[kind] + ":");
    if (at != std::string::npos) {
      std::istringstream numbers(faults.substr(at + std::string(kKindNames[kind]).size() + 1));
      for (int n = 0; numbers >> n;) set.push_back(n), numbers.ignore(1, ',');
    }
    blocks.push_back(Block(kind, MapSize(dataType, kind), set));
  }
  const bool tail = dataType == 5 || dataType == 7;
  return Decode(Rpt(blocks, tail ? static_cast<long long>(time) : -1LL, stamps, {3, 3, 1, char(state)}), dataType);
}

inline std::string Join(const Strings& parts, const char* separator = "|") {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

class FaultMapAccess {
 public:
  static CByteArray& MapRef(CFaultMap& m, FaultMapType kind) { return m.Map(kind); }
  static void SetMo(CFaultMap& m, int moClass, int instance, int associatedSO) {
    m.m_moClass = char(moClass), m.m_moInstance = char(instance), m.m_moAssociatedSO = char(associatedSO);
  }
  // "v1 mo3/3/1/2 t0", the time stamps as " @kind/fault=seconds", per kind
  // its set faults, raised (+) and ceased (-) lists as "I1A:0,2 +I1A:2",
  // a size other than the data type's as "I1A#7", a wrong identifier as
  // "I1A!153", and " changed" after a merge that changed a bit.
  static std::string Show(const CFaultMap& m) {
    std::ostringstream out;
    out << 'v' << m.m_dataValid << " mo" << int(m.m_moClass) << '/' << int(m.m_moInstance) << '/'
        << int(m.m_moAssociatedSO) << '/' << int(m.m_moState) << " t" << m.m_reportTime;
    for (const TimeStamps& t : m.m_timeStamps)
      out << " @" << int(t.mapType) << '/' << int(t.faultNo) << '=' << t.seconds;
    for (const FaultMapType kind : kAllKinds) {
      const CByteArray& map = m.Map(kind);
      if (map.GetSize() != MapSize(m.m_dataType, kind)) out << ' ' << kKindNames[kind] << '#' << map.GetSize();
      if (!map.IsEmpty() && map[0] != kIds[kind]) out << ' ' << kKindNames[kind] << '!' << int(map[0]);
      std::vector<int> set;
      for (int i = 8; i < map.GetSize() * 8; ++i) {
        if ((map[i / 8] >> (i % 8) & 1) != 0) set.push_back(i - 8);
      }
      out << List(" ", kind, set) << List(" +", kind, {m.RaisedList(kind).begin(), m.RaisedList(kind).end()})
          << List(" -", kind, {m.CeasedList(kind).begin(), m.CeasedList(kind).end()});
    }
    return out.str() + (m.m_changed ? " changed" : "");
  }
  static std::string List(const char* lead, FaultMapType kind, const std::vector<int>& numbers) {
    if (numbers.empty()) return "";
    std::string out;
    for (const int n : numbers) out += (out.empty() ? "" : ",") + std::to_string(n);
    return lead + std::string(kKindNames[kind]) + ":" + out;
  }
  static std::string Lists(const Bytes& list, int size, bool toMap) {  // BuildMap, or GetFaultNoList
    CByteArray in, out;
    for (const uint8_t b : list) in.Add(b);
    for (int i = 0; i < 3; ++i) out.Add(0xAA);
    toMap ? CFaultMap().BuildMap(in, out, size) : CFaultMap().GetFaultNoList(in, out);
    std::string text;
    for (const BYTE b : out) text += std::to_string(b) + " ";
    return text;
  }
  static std::string MoId(const CFaultMap& m) {
    CString id;
    m.GetMO_Id(id);
    return std::to_string(m.GetMO_Type()) + " " + id.str();
  }
};

inline std::string Show(const CFaultMap& map) { return FaultMapAccess::Show(map); }

// The fault text of a map: its lines, and per item "type|title|id|name".
struct Text {
  Strings lines, items;
  // The lines without their time text.
  std::string Tails() const {
    std::string tails;
    for (const std::string& line : lines) tails += (tails.empty() ? "" : "|") + line.substr(line.size() > 20 ? 20 : 0);
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
    text.items.push_back(
        Join({item->moTypeText.str(), item->mapTitle.str(), item->faultId.str(), item->faultName.str()}));
    delete item;
  }
  EXPECT_EQ(text.lines.size(), text.items.size());
  return text;
}

// A recording host with an error handler present.
struct HandlerHost : RecordingHost {
  HandlerHost() { handlerExists = true; }
  std::string Scopes() const {
    Strings scopes;
    for (const HostCall& call : CallsNamed("StoreEnter")) scopes.push_back(call.text);
    return Join(scopes);
  }
};

// Sets TZ for its lifetime and restores the earlier setting afterwards.
struct ScopedTimeZone {
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    setenv("TZ", zone, 1), tzset();
  }
  ~ScopedTimeZone() { m_old ? setenv("TZ", m_old->c_str(), 1) : unsetenv("TZ"), tzset(); }
  std::optional<std::string> m_old;
};

// Creates the fault name table if there is none and deletes it again at the
// end, so that every test leaves the singleton as it found it.
struct ScopedNameTable {
  ~ScopedNameTable() {
    if (m_made) delete m_table;
  }
  CTableOfMonitorRptInTxt* operator->() const { return m_table; }
  void Store(MO_Type type, FaultMapType kind, const Strings& names) const {
    CArray<CString, CString> list;
    for (const std::string& name : names) list.Add(CString(name));
    m_table->StoreMonitorRpt(type, kind, list);
  }
  const bool m_made = CTableOfMonitorRptInTxt::Get() == nullptr;
  CTableOfMonitorRptInTxt* const m_table = CTableOfMonitorRptInTxt::Create();
};

}  // namespace pelix::test
