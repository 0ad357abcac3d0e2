// The fault map: decoding reports, the trace dump, copies, merging into a
// kept map, the fault text with its time texts, object ids and states, and
// the process-wide fault name table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "faultmap/time_text.h"
#include "pelix/exceptions.h"
#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "tests/support/recording_host.h"

namespace pelix::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
constexpr FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};
constexpr const char* kKindNames[] = {"I1A", "I1B", "I2A", "EC1", "EC2", "RU"};
constexpr uint8_t kIds[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};

// Map sizes of data type 7, of 5 and 4, of 2 and of any other.
int MapSize(int dataType, int kind) {
  static const int sizes[4][6] = {
      {13, 13, 17, 3, 9, 13}, {13, 13, 13, 3, 7, 13}, {13, 13, 13, 3, 3, 13}, {7, 7, 7, 3, 3, 7}};
  return sizes[dataType == 7 ? 0 : dataType == 5 || dataType == 4 ? 1 : dataType == 2 ? 2 : 3][kind];
}

// A map block of `size` octets: the kind's identifier, then the faults set.
Bytes Block(FaultMapType kind, int size, const std::vector<int>& faults = {}) {
  Bytes map(static_cast<size_t>(size), 0);
  map[0] = kIds[kind];
  for (const int f : faults) map.at(static_cast<size_t>(f) / 8 + 1) |= static_cast<uint8_t>(1U << (f % 8));
  return map;
}

using Stamp = std::tuple<int, int, uint32_t>;  // kind, fault, seconds

void Put32(std::string& out, uint32_t value) {
  for (const int shift : {24, 16, 8, 0}) out += static_cast<char>(value >> shift);
}

// A report of the object header `mo` and the blocks, with a tail (report
// time, count, entries) when time >= 0.
std::string Rpt(const std::vector<Bytes>& blocks, long long time = -1, const std::vector<Stamp>& stamps = {},
                const std::string& mo = {3, 3, 1, 2}) {
  std::string area;
  for (const Bytes& block : blocks) area.append(block.begin(), block.end());
  std::string out = mo + static_cast<char>(area.size()) + area;
  if (time < 0) return out;
  Put32(out, static_cast<uint32_t>(time));
  out += static_cast<char>(stamps.size());
  for (const auto& [kind, faultNo, seconds] : stamps)
    out += std::string{char(kind), char(faultNo)}, Put32(out, seconds);
  return out;
}

CFaultMap Decode(const std::string& report, int dataType) {
  return CFaultMap(report.data(), static_cast<unsigned char>(report.size()),
                   static_cast<OMS_tolva_mon_datatype_type>(dataType));
}

// A report of TS 3-1 with every kind of the data type's sizes, the faults
// given as "I1A:0,2 EC1:4", and a tail for the data types with time stamps.
CFaultMap Report(int dataType, const std::string& faults, int state = 2, uint32_t time = 0,
                 const std::vector<Stamp>& stamps = {}) {
  std::vector<Bytes> blocks;
  for (const FaultMapType kind : kAllKinds) blocks.push_back(Block(kind, MapSize(dataType, kind)));
  std::istringstream in(faults);
  for (std::string kind, numbers; std::getline(in >> std::ws, kind, ':') && in >> numbers;) {
    std::istringstream list(numbers);
    Bytes& block = blocks.at(size_t(std::find(kKindNames, kKindNames + 6, kind) - kKindNames));
    for (int n = 0; list >> n; list.ignore()) block.at(size_t(n) / 8 + 1) |= uint8_t(1U << (n % 8));
  }
  const bool tail = dataType == 5 || dataType == 7;
  return Decode(Rpt(blocks, tail ? static_cast<long long>(time) : -1LL, stamps, {3, 3, 1, char(state)}), dataType);
}

// A kept map of the data type after merging the reports.
CFaultMap Kept(int dataType, const Strings& reports, uint32_t time = 0, const std::vector<Stamp>& stamps = {}) {
  CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(dataType));
  for (const std::string& faults : reports) kept.UpdateFaultMap(Report(dataType, faults, 2, time, stamps));
  return kept;
}

std::string Join(const Strings& parts, const char* separator = "|") {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

// A recording host with an error handler present.
struct HandlerHost : RecordingHost {
  HandlerHost() { handlerExists = true; }
};

}  // namespace

class FaultMapAccess {
 public:
  static CByteArray& MapRef(CFaultMap& m, FaultMapType kind) { return m.Map(kind); }
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
      const auto list = [&](const char* lead, const std::vector<int>& numbers) {
        std::string text;
        for (const int n : numbers)
          text += (text.empty() ? lead + std::string(kKindNames[kind]) + ":" : ",") + std::to_string(n);
        return text;
      };
      out << list(" ", set) << list(" +", {m.RaisedList(kind).begin(), m.RaisedList(kind).end()})
          << list(" -", {m.CeasedList(kind).begin(), m.CeasedList(kind).end()});
    }
    return out.str() + (m.m_changed ? " changed" : "");
  }
  static std::string MoId(int moClass, int instance, int associatedSO) {
    CFaultMap m;
    m.m_moClass = char(moClass), m.m_moInstance = char(instance), m.m_moAssociatedSO = char(associatedSO);
    CString id;
    m.GetMO_Id(id);
    return std::to_string(m.GetMO_Type()) + " " + id.str();
  }
};

namespace {

std::string Show(const CFaultMap& map) { return FaultMapAccess::Show(map); }

// --- decoding ----------------------------------------------------------------

TEST(FaultMapDecode, ReportsAndWhatTheyDecodeTo) {
  // Every map comes out in its data type's sizes: Show compares them.
  const std::string i1a = Rpt({Block(FM_I1A, 13, {4})});
  std::vector<Bytes> full;  // all maps of data type 2
  for (const FaultMapType kind : kAllKinds) full.push_back(Block(kind, MapSize(2, kind), {0}));
  Bytes cut = Block(FM_I1A, 13, {0, 79});  // needs 13 octets, the area holds 10
  cut.resize(10);
  const std::string stamped = Rpt({Block(FM_EC1, 3, {1})}, 0x8000002A, {{FM_EC1, 1, 0xDEADBEEF}, {FM_I1A, 200, 5}});
  const auto counted = [](int count) {  // no area, a tail announcing `count` entries, up to its length E
    std::string report = {3, 1, 0, 1, 0, 0, 0, 0x30, 0x39, char(count)};
    return report + std::string(static_cast<size_t>((6 * count + 5) % 256 - 5), '\x07');
  };
  const std::string partial = std::string{3, 1, 0, 1, 0, 0, 0, 0, 9, 44} + std::string(8, '\x01');  // E = 13
  const char *nothing = "v1 mo3/3/1/2 t0", *refused = "v0 mo3/3/1/2 t0", *counts = "v1 mo3/1/0/1 t12345";
  const std::tuple<const char*, std::string, int, std::string> rows[] = {
      // clang-format off
      {"empty area, dt 2", Rpt({}), 2, nothing}, {"empty area, dt 9", Rpt({}), 9, nothing},
      {"no tail, dt 5", Rpt({}), 5, refused}, {"no tail, dt 7", Rpt({}), 7, refused},
      {"blocks fill their kinds only", Rpt({Block(FM_I1A, 13, {0, 95}), Block(FM_EC1, 3, {9})}), 2,
       "v1 mo3/3/1/2 t0 I1A:0,95 EC1:9"},
      {"later block of a kind wins", Rpt({Block(FM_EC1, 3, {0}), Block(FM_EC1, 3, {1})}), 2, "v1 mo3/3/1/2 t0 EC1:1"},
      {"one octet too many", i1a + '\0', 2, refused}, {"one octet short", i1a.substr(0, i1a.size() - 1), 2, refused},
      // whole blocks, one octet more than all maps (62 and 68 octets)
      {"longer than all maps, dt 4", Rpt(std::vector<Bytes>(21, Block(FM_EC1, 3))), 4, refused},
      {"longer than all maps, dt 7", Rpt(std::vector<Bytes>(23, Block(FM_EC1, 3)), 0), 7, refused},
      {"area of exactly all maps", Rpt(full), 2, "v1 mo3/3/1/2 t0 I1A:0 I1B:0 I2A:0 EC1:0 EC2:0 RU:0"},
      {"unknown block keeps earlier maps", Rpt({Block(FM_I1A, 13, {3}), {0x30, 0xFF, 0xFF}}), 2, "v0 mo3/3/1/2 t0 I1A:3"},
      {"block after an unknown one", Rpt({{0x00, 0x00, 0x00}, Block(FM_EC1, 3, {2})}), 2, refused},
      {"unknown block, tail read", Rpt({{0x99, 0, 0}}, 0x01020304, {{FM_I1A, 3, 77}}), 7, "v0 mo3/3/1/2 t16909060 @0/3=77"},
      {"block past the area copied to its end", Rpt({cut}, 0xFFFFFFFF), 7, "v0 mo3/3/1/2 t4294967295 I1A:0"},
      {"stamps, dt 5", stamped, 5, "v1 mo3/3/1/2 t2147483690 @3/1=3735928559 @0/200=5 EC1:1"},
      {"no entries: a tail of five", Rpt({}, 1000), 7, "v1 mo3/3/1/2 t1000"}, {"tail, dt 4", Rpt({}, 1000), 4, refused},
      // N = 128: E = 773 mod 256 = 5; N = 129: E = 11; N = 200: E = 181; a negative count has no entries.
      {"N = 128", counted(128), 7, counts}, {"N = 129", counted(129), 7, counts}, {"N = 200", counted(200), 7, counts},
      {"tail cut inside the report time", std::string{3, 1, 0, 1, 0, 0, 0, 0}, 7, "v0 mo3/1/0/1 t0"},
      {"tail length wrapped to 1", std::string{3, 1, 0, 1, 0, 42}, 7, "v0 mo3/1/0/1 t0"},  // N = 42: E = 1
      {"entries beyond the report: the one that fits", partial, 7, "v0 mo3/1/0/1 t9 @1/1=16843009"},
      {"object octets are signed", Rpt({}, -1, {}, "\xF6\x80\xFF\x7F"), 4, "v1 mo-10/-128/-1/127 t0"},
      {"missing object octets read as 0", "\x03\x07", 2, "v0 mo3/7/0/0 t0"}, {"no length octet", "\x03\x07\x01\x02", 4, "v0 mo3/7/1/2 t0"},
      // clang-format on
  };
  for (const auto& [name, report, dataType, seen] : rows) EXPECT_EQ(Show(Decode(report, dataType)), seen) << name;
  // A null report has no octets whatever length is given.
  EXPECT_EQ(Show(CFaultMap(nullptr, 5, OMS_TOLVA_MON_DATATYPE_2)), "v0 mo0/0/0/0 t0");
}

TEST(FaultMapDecodeTrace, DumpListsHeaderAndAreaOctetsWithinTheReportUnlessAnErrorIsPending) {
  const std::string head =
      "MO FAULT MAP REPORT|  MO class = 3|  MO instance = 3|  MO associated SO = 1|  MO state = 2|";
  const std::string zeros = "  Fault map length = 3|  Octet 1 = 20 (0x14)|  Octet 2 = 0 (0)|  Octet 3 = 0 (0)";
  const std::tuple<std::string, int, int, std::string> rows[] = {
      {Rpt({{0x14, 0x80, 0x01}}), 2, 1,
       head + "  Fault map length = 3|  Octet 1 = 20 (0x14)|  Octet 2 = -128 (0xffffff80)|  Octet 3 = 1 (0x1)"},
      {Rpt({{0x14, 0, 0}}) + '\x05', 2, 0, head + zeros},  // undecoded, all listed
      {std::string{3, 3, 1, 2, 13, 0x23, 0x01}, 7, 0,
       head + "  Fault map length = 13|  Octet 1 = 35 (0x23)|  Octet 2 = 1 (0x1)"},
  };
  for (const auto& [report, dataType, valid, lines] : rows) {
    HandlerHost host;
    EXPECT_EQ(Show(Decode(report, dataType))[1] - '0', valid);
    EXPECT_EQ(Join(host.Texts("StoreError", EK_TRACE)), lines);
    EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  }
  // A pending error leaves the report undecoded; nothing more is raised, logged or traced.
  HandlerHost host;
  host.errorStatus = 1;
  EXPECT_EQ(Show(Decode(Rpt({Block(FM_EC1, 3, {0})}), 2)), "v0 mo0/0/0/0 t0");
  for (const char* name : {"RaiseError", "LogError", "StoreError"}) EXPECT_TRUE(host.CallsNamed(name).empty()) << name;
}

// --- copies and assignment ----------------------------------------------------

TEST(FaultMapCopy, CopiesAndAssignments) {
  // A kept map of data type 7 after two merges: I1A raised 3 and ceased 1, report time 4242 and one time stamp.
  const auto mergedMap = [] {
    CFaultMap kept = Kept(7, {"I1A:1,2 EC2:60"});
    kept.UpdateFaultMap(Report(7, "I1A:2,3 EC2:60", 2, 4242, {{FM_I1A, 3, 99}}));
    return kept;
  };
  const std::string kMerged = "v1 mo3/3/1/2 t4242 @0/3=99 I1A:2,3 +I1A:3 -I1A:1 EC2:60";
  CFaultMap merged = mergedMap();
  ASSERT_EQ(Show(merged), kMerged + " changed");
  // Copies take maps, lists and stamps but start unchanged.
  for (const CFaultMap& copy : {CFaultMap(merged), CFaultMap(&merged)}) EXPECT_EQ(Show(copy), kMerged);
  // Data type 4 over 7: maps, lists and the header follow, the old time stamps and the change flag stay.
  CFaultMap target = mergedMap();
  const CFaultMap dt4 = Decode(Rpt({Block(FM_EC1, 3, {5})}, -1, {}, {11, 3, 1, 3}), 4);
  target = dt4;
  EXPECT_EQ(Show(target), "v1 mo11/3/1/3 t4242 @0/3=99 EC1:5 changed");
  CFaultMap back = dt4;  // data type 7 over 4: the stamps come along
  back = merged;
  EXPECT_EQ(Show(back), kMerged);
  target = Decode(Rpt({}, 7), 5);  // data type 5 over 7: stamps are taken, even an empty list
  EXPECT_EQ(Show(target), "v1 mo3/3/1/2 t7 changed");
  // A kind without its identifier is left out of a copy but not of an assignment.
  FaultMapAccess::MapRef(merged, FM_I1A).SetAt(0, 0x99);
  EXPECT_EQ(Show(CFaultMap(merged)), "v1 mo3/3/1/2 t4242 @0/3=99 I1A#0 EC2:60");
  back = merged;
  EXPECT_EQ(Show(back), "v1 mo3/3/1/2 t4242 @0/3=99 I1A!153 I1A:2,3 +I1A:3 -I1A:1 EC2:60");
}

TEST(FaultMapCopy, CopyOfANullPointerHasNoMapsAndCopiesOfThatThrow) {
  HandlerHost host;
  const CFaultMap hollow(static_cast<const CFaultMap*>(nullptr));  // failed precondition: no maps at all
  EXPECT_EQ(Join(host.Texts("RaiseError", -1)) + "/" + Join(host.Texts("LogError", EK_PRECONDITION)),
            "other != NULL/other != NULL");
  EXPECT_EQ(Show(hollow), "v0 mo0/0/0/0 t0 I1A#0 I1B#0 I2A#0 EC1#0 EC2#0 RU#0");
  EXPECT_THROW((void)CFaultMap(hollow), CInvalidArgException);
  EXPECT_THROW(CFaultMap().UpdateFaultMap(hollow), CInvalidArgException);
}

// --- merging into a kept map and the fault query ---------------------------------

TEST(FaultMapMerge, StoriesOfKeptMaps) {
  struct Step {
    int dataType;
    const char* faults;  // of the report
    const char* seen;    // the kept map afterwards, without "v1 mo3/3/1/<state> t0"
    int state = 2;
  };
  // clang-format off
  const std::pair<const char*, std::vector<Step>> stories[] = {
      {"raised and ceased in one octet",
       {{7, "I1A:0,2", "I1A:0,2 +I1A:0,2 changed"}, {7, "I1A:1,2", "I1A:1,2 +I1A:1 -I1A:0 changed"}}},
      {"lists ascend across octets",
       {{7, "RU:95,3,40,8 I2A:127,0", "I2A:0,127 +I2A:0,127 RU:3,8,40,95 +RU:3,8,40,95 changed"},
        {7, "RU:9,41,7 I2A:126", "I2A:126 +I2A:126 -I2A:0,127 RU:7,9,41 +RU:7,9,41 -RU:3,8,40,95 changed"}}},
      {"raise, cease, raise again",
       {{7, "EC1:4", "EC1:4 +EC1:4 changed"}, {7, "", "-EC1:4 changed"}, {7, "EC1:4", "EC1:4 +EC1:4 changed"}}},
      // every kind is the only one with a fault in some step, for the fault query
      {"identical reports change nothing", {{7, "I1B:10", "I1B:10 +I1B:10 changed"}, {7, "I1B:10", "I1B:10"}}},
      {"a state change alone is no change", {{7, "RU:1", "RU:1 +RU:1 changed", 1}, {7, "RU:1", "RU:1", 3}}},
      {"a growing map reports bits in added octets as raised",
       {{2, "I2A:95 EC2:15", "I2A:95 +I2A:95 EC2:15 +EC2:15 changed"},
        {7, "I2A:95,96,127 EC2:15,63", "I2A:95,96,127 +I2A:96,127 EC2:15,63 +EC2:63 changed"}}},
      {"a shrinking map drops octets without ceasing",  // 100, 127 and 63 vanish silently
       {{7, "I2A:0,100,127 EC2:63", "I2A:0,100,127 +I2A:0,100,127 EC2:63 +EC2:63 changed"},
        {2, "I2A:1", "I2A:1 +I2A:1 -I2A:0 changed"}}},
      {"only dropped bits are no change", {{7, "EC2:63", "EC2:63 +EC2:63 changed"}, {2, "", ""}}},
  };
  // clang-format on
  for (const auto& [name, steps] : stories) {
    CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(steps[0].dataType));
    for (const Step& step : steps) {
      kept.UpdateFaultMap(Report(step.dataType, step.faults, step.state));
      const std::string head = "v1 mo3/3/1/" + std::to_string(step.state) + " t0";
      EXPECT_EQ(Show(kept), *step.seen ? head + " " + step.seen : head) << name;
      EXPECT_EQ(kept.IsChanged(), Show(kept).find("changed") != std::string::npos) << name;
      bool fault = !*step.faults;  // the opposite of the expected answer
      EXPECT_EQ(kept.IsFault(fault), SR_OK);
      EXPECT_EQ(fault, *step.faults != '\0') << name;
    }
  }
}

TEST(FaultMapMerge, KindsWithoutTheirIdentifierAndUndecodedReports) {
  CFaultMap kept = Kept(7, {"I1B:2 EC1:1"});
  CFaultMap incoming = Report(7, "EC1:0");
  FaultMapAccess::MapRef(incoming, FM_I1B).SetAt(0, 0x00);
  FaultMapAccess::MapRef(kept, FM_EC1).SetAt(0, 0x77);
  kept.UpdateFaultMap(incoming);
  // An incoming kind without identifier is skipped: I1B keeps its map and
  // the lists of the previous merge; a kept map takes the identifier back.
  EXPECT_EQ(Show(kept), "v1 mo3/3/1/2 t0 I1B:2 +I1B:2 EC1:0 +EC1:0 -EC1:1 changed");
  FaultMapAccess::MapRef(incoming, FM_RU).RemoveAll();
  EXPECT_THROW(kept.UpdateFaultMap(incoming), CInvalidArgException);

  kept = Kept(2, {"I1A:5 EC1:1"});
  // I1A parsed with fault 6, then an unknown block: undecoded; EC1 carried no bits.
  kept.UpdateFaultMap(Decode(Rpt({Block(FM_I1A, 13, {6}), {0x42, 0, 0}}), 2));
  EXPECT_EQ(Show(kept), "v0 mo3/3/1/2 t0 I1A:6 +I1A:6 -I1A:5 -EC1:1 changed");
  bool fault = false;  // left untouched by invalid maps
  EXPECT_EQ(kept.IsFault(fault), SR_INVALID_DATA);
  EXPECT_EQ(CFaultMap().IsFault(fault), SR_INVALID_DATA);  // never decoded
  kept.UpdateFaultMap(Report(2, "I1A:6"));                 // the next good report makes the kept map valid again
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_TRUE(fault);
  EXPECT_EQ(Show(kept), "v1 mo3/3/1/2 t0 I1A:6");
}

// --- the fault text ------------------------------------------------------------

// The fault text of a map: its lines, and per item "type|title|id|name".
struct Text {
  Strings lines, items;
  std::string Tails() const {  // the lines without their time text
    Strings tails;
    for (const std::string& line : lines) tails.push_back(line.substr(line.size() > 20 ? 20 : 0));
    return Join(tails);
  }
};

// Runs GetFaultMaps on arrays that hold an entry already, which stays first,
// takes the items over and deletes them as the caller must.
Text FaultText(const CFaultMap& map) {
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
  lines.Add(CString("earlier")), items.Add(nullptr);
  map.GetFaultMaps(lines, items);
  EXPECT_TRUE(lines[0] == "earlier" && items[0] == nullptr && lines.GetSize() == items.GetSize());
  Text text;
  for (int i = 1; i < lines.GetSize(); ++i) {
    text.lines.push_back(lines[i].str());
    text.items.push_back(Join(
        {items[i]->moTypeText.str(), items[i]->mapTitle.str(), items[i]->faultId.str(), items[i]->faultName.str()}));
    delete items[i];
  }
  return text;
}

// Creates the fault name table and deletes it again at the end, so that
// every test leaves the singleton as it found it: absent.
struct ScopedNameTable {
  ~ScopedNameTable() { delete m_table; }
  CTableOfMonitorRptInTxt* operator->() const { return m_table; }
  void Store(MO_Type type, FaultMapType kind, const Strings& names) const {
    CArray<CString, CString> list;
    for (const std::string& name : names) list.Add(CString(name));
    m_table->StoreMonitorRpt(type, kind, list);
  }
  std::string Name(int type, int kind, int faultNo) const {
    return m_table->TranslateHexToTxt(MO_Type(type), FaultMapType(kind), static_cast<BYTE>(faultNo)).str();
  }
  CTableOfMonitorRptInTxt* const m_table = CTableOfMonitorRptInTxt::Create();
};

TEST(FaultText, DataType4CarriesTheCurrentTimeTheObjectTypesNamesAndStopsOnAPendingError) {
  Text text = FaultText(Kept(4, {"I1A:0"}));
  EXPECT_EQ(Join(text.items), "AO TS|Internal Fault Map Class 1A|I1A:0|");  // no name table at all
  ScopedNameTable table;
  table.Store(MO_AO_TS, FM_I1A, {"a", "b", "c", "d", "e", "Timeslot sync lost"});
  const CFaultMap kept = Kept(4, {"I1A:5 I1B:0"});
  HandlerHost host;
  const std::string before = pelix::faultmap::LocalTimeText(std::time(nullptr)).str();
  text = FaultText(kept);
  const std::string after = pelix::faultmap::LocalTimeText(std::time(nullptr)).str();
  ASSERT_EQ(text.lines.size(), 2U);
  EXPECT_GE(text.lines[0].substr(0, 19), before);  // texts of one width compare as the times they show
  EXPECT_LE(text.lines[0].substr(0, 19), after);
  EXPECT_EQ(text.lines[0].substr(19), " AO TS3-1 I1A:5 RAISED");
  EXPECT_EQ(Join(text.items, "/"),
            "AO TS|Internal Fault Map Class 1A|I1A:5|Timeslot sync lost/AO TS|Internal Fault Map Class 1B|I1B:0|");
  // The name table is fetched in a scope of its own; the object type's name
  // comes from the conversion table with cabinet -2.
  EXPECT_NE(Join(host.Texts("StoreEnter", -1)).find("|CTableOfMonitorRptInTxt::Get()|"), std::string::npos);
  const HostCall conversion = host.CallsNamed("ID_ToText").at(0);
  EXPECT_EQ(conversion.text + " " + std::to_string(conversion.line), "4 -2");
  host.Clear(), host.errorStatus = 1;  // pending: nothing appended, raised or built
  EXPECT_TRUE(FaultText(kept).lines.empty());
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty() && host.CallsNamed("BuildString").empty());
}

TEST(FaultText, LinesFollowKindThenStatusOrderWithTheKindsTitles) {
  const Text text = FaultText(Kept(4, {"I1A:2 RU:0", "I1B:3,1 RU:1 EC1:15 I1A:0 I2A:1 EC2:1"}));
  EXPECT_EQ(text.Tails(),
            "AO TS3-1 I1A:0 RAISED|AO TS3-1 I1A:2 CEASED|AO TS3-1 I1B:1 RAISED|AO TS3-1 I1B:3 RAISED|"
            "AO TS3-1 I2A:1 RAISED|AO TS3-1 EC1:15 RAISED|AO TS3-1 EC2:1 RAISED|AO TS3-1 RU:1 RAISED|"
            "AO TS3-1 RU:0 CEASED");
  std::string titles;
  for (const std::string& item : text.items) titles += item.substr(6, item.find('|', 6) - 6) + "/";
  EXPECT_EQ(titles,
            "Internal Fault Map Class 1A/Internal Fault Map Class 1A/Internal Fault Map Class 1B/"
            "Internal Fault Map Class 1B/Internal Fault Map Class 2A/External Condition Map Class 1/"
            "External Condition Map Class 2/Replacement Unit Map/Replacement Unit Map/");
}

TEST(FaultText, UndecodedReportGivesTheCorruptLineAnUnknownObjectNothing) {
  CFaultMap kept = Kept(2, {"I1A:1"});
  kept.UpdateFaultMap(Decode(Rpt({{0x33, 0x00, 0x00}}), 2));
  const Text text = FaultText(kept);
  EXPECT_EQ(Join(text.lines) + "/" + Join(text.items), "Corrupt data from Tolva/Unknown|Unknown|Unknown|");
  CString state;
  EXPECT_EQ(kept.GetMO_State(state), SR_OK);
  EXPECT_EQ(state, "Corrupt data from Tolva (No MO state)");
  CFaultMap other(OMS_TOLVA_MON_DATATYPE_2);
  other.UpdateFaultMap(Decode(Rpt({Block(FM_EC1, 3, {1})}, -1, {}, {2, 3, 1, 2}), 2));
  ASSERT_TRUE(other.IsChanged());
  EXPECT_TRUE(FaultText(other).lines.empty());
}

TEST(FaultMapObject, IdTypeAndStateTexts) {
  const std::pair<int, const char*> ids[] = {
      {1, "1 SO TRXC-4"}, {3, "4 AO TS4-6"},  {4, "5 AO TF"},    {5, "6 AO IS"},     {6, "8 AO CON"},
      {7, "7 AO DP4"},    {8, "9 AO MCTR-4"}, {10, "0 SO CF"},   {11, "2 AO TX-4"},  {12, "3 AO RX-4"},
      {0, "10 Unknown"},  {2, "10 Unknown"},  {9, "10 Unknown"}, {13, "10 Unknown"}, {-1, "10 Unknown"}};
  for (const auto& [moClass, seen] : ids) EXPECT_EQ(FaultMapAccess::MoId(moClass, 4, 6), seen) << moClass;
  EXPECT_EQ(FaultMapAccess::MoId(3, -1, -128), "4 AO TS-1--128");
  EXPECT_EQ(FaultMapAccess::MoId(11, 200, 0), "2 AO TX--56");  // octet 200 reads as -56
  const char* invalid = "Corrupt data from Tolva (Invalid MO state)";
  const std::pair<char, const char*> states[] = {{0, "RESET"}, {1, "STARTED"}, {2, "ENABLED"},    {3, "DISABLED"},
                                                 {4, invalid}, {7, invalid},   {'\x80', invalid}, {'\xFF', invalid}};
  for (const auto& [state, expected] : states) {
    CString text("old");
    EXPECT_EQ(Decode(Rpt({}, -1, {}, {3, 3, 1, state}), 2).GetMO_State(text), SR_OK);
    EXPECT_EQ(text, expected) << int(state);
  }
}

// --- time texts under several time zones -------------------------------------

// Time texts follow TZ; every test that depends on the zone sets its own.
void SetZone(const std::string& zone) { setenv("TZ", zone.c_str(), 1), tzset(); }

// Lines of a kept map of data type 7 or 5 take the report time when the
// report has no entries, else the fault's own entry, else a blank.
TEST(FaultTimeText, ReportTimeOwnEntryOrBlank) {
  SetZone("UTC0");
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  const std::pair<const char*, const char*> steps[] = {
      {"EC2:40 I1A:1", "1990-01-01 00:01:00 AO TS3-1 I1A:1 RAISED|1990-01-01 00:01:00 AO TS3-1 EC2:40 RAISED"},
      {"EC2:40 I1A:1", ""},
      {"I1A:1", "1990-01-01 00:03:00 AO TS3-1 EC2:40 CEASED"},
      {"EC2:40 I1A:1", "1990-01-01 00:04:00 AO TS3-1 EC2:40 RAISED"}};
  uint32_t minutes = 0;
  for (const auto& [faults, line] : steps) {
    kept.UpdateFaultMap(Report(7, faults, 2, 60 * ++minutes));
    EXPECT_EQ(Join(FaultText(kept).lines), line);
  }
  kept.UpdateFaultMap(Report(7, "", 2, 0xFFFFFFFF));
  EXPECT_EQ(Join(FaultText(kept).lines),
            "2126-02-07 06:28:15 AO TS3-1 I1A:1 CEASED|2126-02-07 06:28:15 AO TS3-1 EC2:40 CEASED");
  const std::vector<Stamp> stamps = {{FM_EC1, 1, 999}, {FM_I1A, 1, 1000}, {FM_I1A, 1, 5000}};  // other kind, duplicate
  EXPECT_EQ(Join(FaultText(Kept(5, {"I1A:1,2"}, 777, stamps)).lines),
            "1990-01-01 00:16:40 AO TS3-1 I1A:1 RAISED|" + std::string(19, ' ') + " AO TS3-1 I1A:2 RAISED");
  // Dates outside years 100 to 9999 are invalid.
  using pelix::faultmap::LocalTimeText;
  EXPECT_EQ(LocalTimeText(0) + "|" + LocalTimeText(253402300799LL), "1970-01-01 00:00:00|9999-12-31 23:59:59");
  EXPECT_EQ(LocalTimeText(253402300800LL) + "|" + LocalTimeText(-59011459201LL), "Invalid DateTime|Invalid DateTime");
}

// A zone whose summer time is in force now but neither on 1 January nor on
// 1 July: the epoch lies an hour early whatever the season of the run.
TEST(FaultTimeTextSummerNow, EpochTakesTheFlagOfNowNotOfJanuary) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  const int day = gmtime_r(&now, &tm)->tm_yday;  // zero-based, as the zone rule counts
  if (day <= 1 || (day >= 179 && day <= 183) || day >= 364) GTEST_SKIP() << "window would touch 1 Jan or 1 Jul";
  const std::string zone = "XST0XDT," + std::to_string(day - 1) + "/0," + std::to_string(day + 2) + "/0";
  SetZone(zone);
  ASSERT_TRUE(localtime_r(&now, &tm) != nullptr && tm.tm_isdst > 0) << zone;
  EXPECT_EQ(FaultText(Kept(7, {"I2A:0"}, 181U * 86400U)).lines.at(0).substr(0, 19), "1990-06-30 23:00:00");
}

// --- the fault name table -------------------------------------------------------

TEST(FaultNameTable, StoreLookUpTranslateAndLifetime) {
  ASSERT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  {
    ScopedNameTable table;
    EXPECT_TRUE(CTableOfMonitorRptInTxt::Create() == table.m_table && CTableOfMonitorRptInTxt::Get() == table.m_table);
    for (int n = 0; n < 60; ++n) {  // every row: names 0 and 99, the others empty
      Strings names(100, "");
      names[0] = std::to_string(n), names[99] = std::to_string(n) + "/99";
      table.Store(MO_Type(n / 6), FaultMapType(n % 6), names);
    }
    Strings many;
    for (int i = 0; i < 150; ++i) many.push_back("n" + std::to_string(i));
    table.Store(MO_AO_TX, FM_I1A, many);
    table.Store(MO_AO_TX, FM_I1A, {"A", "", "C"});  // overwrites only its own positions
    for (const auto& [type, kind] : {std::pair{MO_UNKNOWN, 5}, {MO_Type(-1), 0}, {MO_SO_CF, 6}, {MO_AO_MCTR, -1}})
      table.Store(type, FaultMapType(kind), {"stray"});
    const char* outside = "Unknown fault name";
    const std::tuple<int, int, int, const char*> names[] = {
        // empty names are stored as "Unknown"
        {MO_AO_TX, FM_I1A, 0, "A"},        {MO_AO_TX, FM_I1A, 1, "Unknown"}, {MO_AO_TX, FM_I1A, 3, "n3"},
        {MO_AO_TX, FM_I1A, 99, "n99"},     {MO_AO_TX, FM_I1A, 100, outside}, {MO_AO_TX, FM_I1A, 255, outside},
        {MO_AO_TX, FM_I1B, 0, "13"},       {MO_UNKNOWN, FM_I1A, 0, outside}, {-1, FM_I1A, 0, outside},
        {MO_SO_CF, 6, 0, outside},         {MO_SO_CF, -1, 0, outside},       {MO_AO_MCTR, FM_RU, 0, "59"},
        {MO_SO_CF, FM_I1A, 50, "Unknown"}, {MO_AO_MCTR, FM_EC2, 99, "58/99"}};
    for (const auto& [type, kind, faultNo, name] : names)
      EXPECT_EQ(table.Name(type, kind, faultNo), name) << type << "/" << kind << "/" << faultNo;
    Bytes beyond99(16, 0), wide(1300, 0);
    beyond99[12] = 0x18, beyond99[15] = 0x80;  // faults 99, 100 and 127
    wide[1299] = 0x80;                         // wider than four digits: the number is not cut
    const std::tuple<MO_Type, Bytes, const char*> maps[] = {
        // row 27 of AO TS, EC1
        {MO_AO_TS, {0x05, 0x01}, "   0: 27\r\n   2: Unknown\r\n   8: Unknown\r\n"},
        {MO_AO_TS, beyond99, "  99: 27/99\r\n 100: Unknown fault name\r\n 127: Unknown fault name\r\n"},
        {MO_AO_TS, wide, "10399: Unknown fault name\r\n"},
        {MO_UNKNOWN, {0x01}, "   0: Unknown fault name\r\n"},
    };
    for (const auto& [type, bits, text] : maps) {
      CByteArray array;
      for (const uint8_t b : bits) array.Add(b);
      EXPECT_EQ(table->TranslateHexToTxt(type, FM_EC1, array), text) << bits.size();
    }
  }
  EXPECT_EQ(CTableOfMonitorRptInTxt::Get(), nullptr);
  const ScopedNameTable table;  // a new table starts empty again
  EXPECT_EQ(table.Name(MO_AO_TS, FM_EC1, 0), "");
}

}  // namespace
}  // namespace pelix::test
