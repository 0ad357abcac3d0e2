// The monitor catalogue and the table's operations: the built-in contents,
// attaching monitors, the queries in both directions, the TMA name forms and
// the precondition reports.
#include <gmock/gmock.h>

#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pelix/monitor_object_table.h"
#include "pelix/service_result.h"
#include "tests/support/recording_host.h"

// Reaches the private side of the table: its lists, and a single missing list
// (a failed allocation in Reset leaves all three missing).
class CMonitorObjectTableTestAccess {
 public:
  static auto& Objects(CMonitorObjectTable& t) { return *t.m_monitorObjectList; }
  static auto& Names(CMonitorObjectTable& t) { return *t.m_internalNameList; }
  static auto& Texts(CMonitorObjectTable& t) { return *t.m_textList; }
  static bool TmaCmNames(const CMonitorObjectTable& t) { return t.m_tmaCmNames; }
  static void Drop(CMonitorObjectTable& t, char list) {  // n(ames), t(exts) or o(bjects)
    if (list == 'n') delete std::exchange(t.m_internalNameList, nullptr);
    if (list == 't') delete std::exchange(t.m_textList, nullptr);
    if (list == 'o') delete std::exchange(t.m_monitorObjectList, nullptr);
  }
};

// Lets a test make the table's own list allocations fail.
bool g_failNothrowNew = false;
void* operator new(std::size_t size, const std::nothrow_t& /*unused*/) noexcept {
  return g_failNothrowNew ? nullptr : ::operator new(size);  // the tests do not run out of memory
}

using pelix::test::RecordingHost;
using Access = CMonitorObjectTableTestAccess;

namespace {

using Table = CMonitorObjectTable;
constexpr Pelix_ObjectType kTrx = static_cast<Pelix_ObjectType>(3), kTx = static_cast<Pelix_ObjectType>(4),
                           kCabinet = static_cast<Pelix_ObjectType>(7);
constexpr FuncType kDru = static_cast<FuncType>(12), kPsu = static_cast<FuncType>(20), kCdu = static_cast<FuncType>(31);

// The attachments as "id:objectType:objectInstance:unitType:unitInstance", or
// only their ids.
std::string Attached(Table& t, bool idsOnly = false) {
  std::string out;
  for (const CMonitorObjectTableStruct& e : Access::Objects(t)) {
    out += (out.empty() ? "" : " ") + std::to_string(e.internalId);
    if (idsOnly) continue;
    for (int v : {int{e.objectType}, e.objectInstance, int{e.ruType}, e.ruInstance}) out += ":" + std::to_string(v);
  }
  return out;
}
MonitorNameType Kind(int value) { return static_cast<MonitorNameType>(value); }
TextStruct& TextOf(Table& table, int kind) {  // the kind's text entry; the kind must have one
  for (TextStruct& text : Access::Texts(table))
    if (text.nameType == kind) return text;
  throw std::logic_error("no text entry for kind " + std::to_string(kind));
}
std::map<int, std::string> DisplayNames(Table& table) {
  std::map<int, std::string> names;
  for (const TextStruct& text : Access::Texts(table)) names[text.nameType] = text.name.str();
  return names;
}

// The terminal stores the ids and its users know the texts, so the catalogue,
// checked entry by entry against the station's monitor list, must not change.
// Rendered as a line "kind|display name|description" per kind and a line
// "id kind internal name|short id|#1 #2" per instance, in list order (271 kinds,
// 428 instances), it has a fixed 64-bit FNV-1a digest; a deliberate change
// shows the whole text for review.
TEST(Catalogue, ContentsAreUnchangedAndBuiltWhenTheLibraryLoads) {
  auto render = [](Table& table) {
    std::string text;
    for (const TextStruct& t : Access::Texts(table)) {
      text += std::to_string(t.nameType) + "|" + t.name.str() + "|" + t.description.str() + "\n";
    }
    for (const InternalNameStruct& e : Access::Names(table)) {
      text += std::to_string(e.internalId) + " " + std::to_string(e.nameType) + " " + e.internalName.str() + "|" +
              e.shortId.str() + "|" + std::to_string(e.instance1) + " " + std::to_string(e.instance2) + "\n";
    }
    return text;
  };
  Table table;
  const std::string text = render(table);
  unsigned long long digest = 14695981039346656037ULL;
  for (unsigned char ch : text) digest = (digest ^ ch) * 1099511628211ULL;
  EXPECT_EQ(digest, 0x9FE4AAA7CB61A357ULL) << text;
  EXPECT_EQ(render(g_monitorObjectTable), text);
}

// The TMA kinds of the groups CM0 and CM1 name their group in the long form.
// The names change only when the form does; Reset keeps the form's flag but
// rebuilds the short names and drops the attachments.
TEST(Catalogue, TmaNamesFollowTheGroupForm) {
  Table table;
  const std::map<int, std::string> shortNames = DisplayNames(table);
  std::map<int, std::string> longNames = shortNames;
  for (int k = 0; k < 24; ++k) {
    longNames[101 + k] =
        "TMA " + std::to_string(k % 6) + " CM " + std::to_string(k / 12) + (k % 12 < 6 ? " current" : " voltage");
  }
  for (bool form : {false, true, true, false, true}) {  // a fresh table has the short form
    std::map<int, std::string> expected = form ? longNames : shortNames;
    if (form == Access::TmaCmNames(table)) expected[101] = "edited";  // no change: not rebuilt
    TextOf(table, 101).name = "edited";
    table.UpdateTMA_CM_Names(form);
    EXPECT_EQ(Access::TmaCmNames(table), form);
    EXPECT_EQ(DisplayNames(table), expected);
    EXPECT_EQ(table.GetMonitorId("TMA 3 CM 1 voltage"), form ? 264 : -1);
  }
  table.AddElement(Kind(5), static_cast<Pelix_ObjectType>(1), 0, FT_NONE, 0);
  table.Reset();
  table.UpdateTMA_CM_Names(true);
  EXPECT_TRUE(Access::TmaCmNames(table) && DisplayNames(table) == shortNames && Attached(table).empty());
}

TEST(AddElement, ByNameAttachesTheFirstExactMatchAndByKindEveryInstanceOrThoseOfOneNumber) {
  Table table;
  table.AddElement("R42-A", kTrx, 2, kDru, 5);                            // a short id
  table.AddElement("RTS/TU/PCM_REFA/MEAS/FI_ERR", kCabinet, 1, kPsu, 6);  // an internal name
  table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTrx, 0, kDru, 0);     // four entries share the name
  for (const char* name : {"rts/tx/c/pwr", "r6", "RTS/TX/C/PWR ", "RTS/TX/C", "NO/SUCH", ""}) {
    table.AddElement(name, kTrx, 0, kDru, 0);  // only "" matches: the first empty short id
  }
  for (int i = 0; i < 2; ++i) table.AddElement("R6", kTrx, 0, kDru, 0);  // twice attaches twice
  table.AddElement(Kind(41), kTrx, 0, kDru, 0, 3);                       // a grid: the eight of #1 = 3
  for (int instance : {0, 2}) table.AddElement(Kind(24), kCabinet, 0, kPsu, 0, instance);  // a row from 1
  for (int instance : {0, 1}) table.AddElement(Kind(5), kCabinet, 0, kPsu, 0, instance);
  EXPECT_EQ(Attached(table, true), "21 21 15 364 6 6 141 142 143 144 145 146 147 148 32 6");
}

// ---------------------------------------------------------------------------
// Queries

class QueryTest : public ::testing::Test {
 protected:
  Table table;
};

TEST_F(QueryTest, NamesAndDescriptionsFillInTheNumbersAndAnUnknownIdGivesKindZero) {
  auto query = [&](bool name, int id, const char* initial) {  // the name or the description
    CString text = initial;
    name ? table.GetMonitorName(id, text) : table.GetMonitorDescription(id, text);
    return text;
  };
  // clang-format off
  const std::pair<int, const char*> names[] = {
      {31, "Cabinet Internal Temperature Sensor -1"}, {47, "PSU-13 Information"}, {250, "PDU Information"},
      {180, "Supervision Value SDCCH7-TS7"}, {118, "Supervision Value SDCCH1-TS0"}, {228, "TMA 4 current"},
      {220, "Supervision Value TCH_H1-TS7"}, {75, "Reflected Power on TS 7 at TRX output"},
      {21, "Phase Diff Error. PCM_A"}, {5000, "TS Channel Comb"}, {-1, "TS Channel Comb"}};
  // clang-format on
  for (const auto& [id, name] : names) EXPECT_EQ(query(true, id, ""), name) << id;
  EXPECT_EQ(query(false, 5000, "") + query(false, 40, ""),
            "The channel combination is reported per TS.Displays miscellaneous information about a PSU.");
  TextOf(table, 24).description = "Sensor #1 of the cabinet.";  // "#1": the position within the kind
  EXPECT_EQ(query(false, 32, "") + query(false, 31, ""), "Sensor 1 of the cabinet.Sensor 0 of the cabinet.");
  TextOf(table, 60).nameType = Kind(44);  // without a text entry for its kind, the caller's text is filled in
  EXPECT_EQ(query(true, 40, "Unit #1 of #2") + "," + query(false, 40, "Entry #1"),
            "Unit 6 of 0,Entry 6");  // the 7th PSU
}

TEST_F(QueryTest, InternalNamesByIdAndByKindKeepTheOutputsOnAMiss) {
  auto both = [&](int id) {
    CString name = "keep", code = "keep";
    table.GetMonitorInternalName(id, name, code);
    return name.str() + "|" + code.str() + " ";
  };
  auto one = [&](auto idOrKind) {
    CString name = "keep";
    table.GetMonitorInternalName(idOrKind, name);
    return name.str() + " ";
  };
  EXPECT_EQ(both(21) + both(427) + both(428),
            "RTS/TU/PCM_REFA/MEAS/FI_ERR|R42-A RC/TX/MEAS/TRX_EATC_OFFSET| keep|keep ");
  EXPECT_EQ(one(205) + one(-5) + one(Kind(41)) + one(Kind(24)) + one(Kind(71)) + one(Kind(44)),
            "TFS/DCH/TS0/TCH_H0 keep TFS/DCH/TS0/SDCCH0 EPS/CLIMATE/CAB_TEMP_INT_1 CREC/ANT/TMA_CURRENT_VOLTAGE keep ");
}

TEST_F(QueryTest, IdsFromDisplayNamesInternalNamesAndShortIds) {
  // A display name: digits do not count ("#" only in the catalogue's names); the
  // first instance of the first matching kind answers.
  // clang-format off
  const std::pair<const char*, int> display[] = {
      {"TS Channel Comb", 0}, {"PSU-77 Information", 34}, {"TMA 4 voltage", 230}, {"Supervision Value SDCCH5-TS2", 117},
      {"Mon TRX eATC offset", 427}, {"No such monitor", -1}, {"PSU-#1 Information", -1}, {"ts channel comb", -1},
      {"TS Channel Comb ", -1}, {"", -1}, {"TS Channel Com", -1}, {"TS Channel Combs", -1}};
  // An internal name or short id; -1: id 0, and it does not exist.
  const std::pair<const char*, int> internal[] = {
      {"R42-A", 21}, {"T6", 0}, {"T4-77", 180}, {"CREC/ANT/TMA_CURRENT_VOLTAGE", 15},
      {"", 364}, {"r42-a", -1}, {"NO/SUCH", -1}, {"E10 ", -1}, {"E1#1", -1}, {"EPS/CLIMATE/CAB_TEMP_INT_0", -1}};
  // clang-format on
  for (const auto& [name, id] : display) EXPECT_EQ(table.GetMonitorId(name), id) << name;
  for (const auto& [name, id] : internal) {
    EXPECT_EQ(table.GetInternalIdFromInternalName(name), std::max(id, 0)) << name;
    EXPECT_EQ(table.MonitorExists(name), id >= 0) << name;
  }
  TextOf(table, 2).name = "PSU-#1 Information";  // the third text entry now answers first
  EXPECT_EQ(table.GetMonitorId("PSU-5 Information"), 2);
}

// A micro cabinet with the reduced set leaves out whole short-id families:
// "R1", "R2" and "R14" are out, but not those that merely start alike ("R13-0"
// is id 76, "R42-A" id 21) nor "R4" (id 9). Other cabinets get every id.
TEST_F(QueryTest, AllInternalIdsPerCabinetAppendedWithoutDuplicates) {
  std::vector<int> reduced = {3, 10, 70000, -9};  // already there: kept, and not appended again
  for (int id = 0; id < 428; ++id) {
    const bool out = id == 10 || id == 26 || id == 27 || id == 243 || (id >= 293 && id <= 295) ||
                     (id >= 68 && id <= 75) || (id >= 84 && id <= 99) || (id >= 188 && id <= 196) ||
                     (id >= 236 && id <= 241);
    if (!out && id != 3) reduced.push_back(id);
  }
  CArray<int, int> ids;
  for (int id : {3, 10, 70000, -9}) ids.Add(id);
  for (int twice = 0; twice < 2; ++twice) {
    table.GetAllInternalIDs(ids, CT_MICRO_REDUCED_SET);
    EXPECT_EQ(std::vector<int>(ids.begin(), ids.end()), reduced);
  }
  table.GetAllInternalIDs(ids, static_cast<CabinetType>(35));  // any other cabinet: every id
  EXPECT_EQ(ids.GetSize(), 2 + 428);                           // the 45 other excluded ids, appended at the end
  EXPECT_EQ(ids[static_cast<int>(reduced.size())], 26);
}

// A realistic set of attachments for two transceivers and a cabinet.
class AttachmentTest : public QueryTest {
 protected:
  void SetUp() override {
    for (int trx = 0; trx < 2; ++trx) {
      table.AddElement("R6", kTrx, trx, kDru, trx);              // id 6
      table.AddElement("RTS/TX/C/ARFCN", kTrx, trx, kDru, trx);  // id 7
      table.AddElement(Kind(34), kTrx, trx, kDru, trx);          // ids 68..75
      table.AddElement(Kind(41), kTrx, trx, kDru, trx, 2);       // ids 133..140
    }
    table.AddElement(Kind(60), kCabinet, 0, kPsu, 0);                   // ids 34..47
    table.AddElement("CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 1, kCdu, 4);  // id 15
  }
};

TEST_F(AttachmentTest, MonitorsOfAnObjectAndObjectsOfAMonitorAreAppendedInAttachmentOrder) {
  CArray<int, int> ids;
  ids.Add(-7);
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 1, ids), 18);
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.end()),
            (std::vector<int>{-7, 6, 7, 68, 69, 70, 71, 72, 73, 74, 75, 133, 134, 135, 136, 137, 138, 139, 140}));
  CArray<int, int> none;
  EXPECT_EQ(table.GetMonitorsForRU(kTrx, 2, none) + table.GetMonitorsForRU(kCabinet, 1, none) + none.GetSize(), 0);
  EXPECT_EQ(table.GetMonitorsForRU(kCabinet, 0, none), 14);
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
  objects.Add(Pelix_ObjectId{kCabinet, 9});
  std::string got;
  for (int id : {6, 15, 16}) table.GetPelixObjectsForInternalID(id, objects);  // id 16 has none
  for (const Pelix_ObjectId& o : objects) got += std::to_string(o.type) + "/" + std::to_string(o.instance) + " ";
  EXPECT_EQ(got, "7/9 3/0 3/1 4/1 ");
}

// The unit of an attachment, by id or by name: the first match answers.
TEST_F(AttachmentTest, UnitOfAnAttachment) {
  table.AddElement("R6", kTrx, 0, kCdu, 9);  // a second attachment of id 6 to the same object
  table.AddElement("R84", kTx, 2, kCdu, 7);  // id 17
  auto unit = [&](int id, Pelix_ObjectType type, int instance) {
    return std::to_string(table.GetRU_Type(id, type, instance)) + "/" +
           std::to_string(table.GetRuInstance(id, type, instance)) + " ";
  };
  // None for another id, object type or instance: 0/0.
  EXPECT_EQ(unit(68, kTrx, 1) + unit(40, kCabinet, 0) + unit(15, kTx, 1) + unit(6, kTrx, 0) + unit(8, kTrx, 0) +
                unit(68, kTx, 1) + unit(68, kTrx, 2),
            "12/1 20/0 31/4 12/0 0/0 0/0 0/0 ");
  // Without an attachment the outputs keep their values. A shared name: the
  // search goes on past the port A entry (id 15) to the port C entry (id 17).
  FuncType ruType = static_cast<FuncType>(-1);
  int ruInstance = -1;
  std::string got;
  const std::tuple<const char*, Pelix_ObjectType, int> lookups[] = {{"R6", kTrx, 3},
                                                                    {"R5", kTrx, 0},
                                                                    {"NO/SUCH", kTrx, 0},
                                                                    {"R6", kTrx, 0},
                                                                    {"EC/POWERCTRL/PSU_3_INFO", kCabinet, 0},
                                                                    {"CREC/ANT/TMA_CURRENT_VOLTAGE", kTx, 2}};
  for (const auto& [name, type, instance] : lookups) {
    table.GetRUs(name, type, instance, ruType, ruInstance);
    got += std::to_string(ruType) + "/" + std::to_string(ruInstance) + " ";
  }
  EXPECT_EQ(got, "-1/-1 -1/-1 -1/-1 12/0 20/0 31/7 ");
}

TEST_F(AttachmentTest, KeepTheseKeepsTheNamedAndRemovesOneAttachmentOfEveryOther) {
  table.AddElement("R6", kTrx, 5, kDru, 5);  // a third attachment of id 6
  CArray<CString, CString> keep;
  for (const char* name : {"RTS/TX/C/ARFCN", "TFS/DCH/TS2/SDCCH3", "R6"}) keep.Add(name);  // a short id keeps nothing
  table.KeepThese(keep);
  EXPECT_EQ(Attached(table, true), "7 136 6 7 68 69 70 71 72 73 74 75 133 134 135 136 137 138 139 140 6");
  table.KeepThese(CArray<CString, CString>());
  EXPECT_EQ(Attached(table), "7:3:1:12:1 136:3:1:12:1 6:3:5:12:5");
  table.ClearMonitorObjectList();
  EXPECT_EQ(Attached(table), "");
}

// A missing list: each call reports its precondition once and takes the error
// exit with its failure value.
struct Out {  // what the calls may write to; they subtract their results (0 here) from n
  int n = 7;
  CString text;
  FuncType ruType = kPsu;
  CArray<int, int> ids;
  CArray<Pelix_ObjectId, Pelix_ObjectId> objects;
};
struct PreconditionCase {
  const char* text;
  const char* missing;  // each list dropped in a run of its own: n(ames), t(exts), o(bjects)
  size_t calls;
  void (*call)(Table&, Out&);
};
// clang-format off
const PreconditionCase kPreconditionCases[] = {
    {"m_internalNameList != NULL && m_monitorObjectList != NULL", "no", 4, [](Table& t, Out&) {
       t.AddElement("R6", kTrx, 0, kDru, 0); t.AddElement(Kind(5), kTrx, 0, kDru, 0);
       t.AddElement(Kind(41), kTrx, 0, kDru, 0, 1); t.KeepThese(CArray<CString, CString>()); }},
    {"m_internalNameList != NULL", "n", 6, [](Table& t, Out& o) {
       t.GetMonitorInternalName(6, o.text, o.text); t.GetMonitorInternalName(6, o.text);
       t.GetMonitorInternalName(Kind(5), o.text); t.GetAllInternalIDs(o.ids, CT_UNIDENTIFIED);
       o.n -= t.GetInternalIdFromInternalName("R6") + t.MonitorExists("R6"); }},
    {"m_internalNameList != NULL && m_textList != NULL", "nt", 2,
     [](Table& t, Out& o) { t.GetMonitorName(6, o.text); t.GetMonitorDescription(6, o.text); }},
    {"m_textList != NULL && m_internalNameList != NULL", "nt", 1, [](Table& t, Out& o) { o.n -= t.GetMonitorId("R"); }},
    {"m_monitorObjectList != NULL", "o", 5, [](Table& t, Out& o) {
       o.n -= t.GetMonitorsForRU(kTrx, 0, o.ids) + t.GetRU_Type(6, kTrx, 0) + t.GetRuInstance(6, kTrx, 0);
       t.GetPelixObjectsForInternalID(o.n, o.objects); t.ClearMonitorObjectList(); }},
    {"m_monitorObjectList != NULL && m_internalNameList != NULL", "no", 1,
     [](Table& t, Out& o) { t.GetRUs("R6", kTrx, 0, o.ruType, o.n); }},
};
// clang-format on

TEST(Preconditions, AMissingListIsReportedOnceUntilReset) {
  for (const PreconditionCase& c : kPreconditionCases) {
    for (const char* list = c.missing; *list != '\0'; ++list) {
      Table table;
      Access::Drop(table, *list);
      RecordingHost host;
      host.handlerExists = true;
      Out out;
      c.call(table, out);
      EXPECT_EQ(host.Texts("LogError", EK_PRECONDITION), std::vector<std::string>(c.calls, c.text)) << *list;
      for (const char* call : {"StoreEnter", "RaiseError", "StoreReturn"})
        EXPECT_EQ(host.CallsNamed(call).size(), c.calls) << c.text;
      EXPECT_EQ(out.n, 7) << c.text << " without list " << *list;
    }
  }
  Table table;  // all three missing: the TMA switch finds no texts, Reset restores the lists
  for (char list : {'n', 't', 'o'}) Access::Drop(table, list);
  table.UpdateTMA_CM_Names(true);
  table.Reset();
  EXPECT_EQ(Access::Names(table).GetSize() + Access::Texts(table).GetSize(), 428 + 271);
  RecordingHost host;
  host.handlerExists = true;
  g_failNothrowNew = true;  // lists that cannot be allocated are reported
  table.Reset();
  g_failNothrowNew = false;
  EXPECT_THAT(host.Texts("LogError", EK_CHECK),
              testing::ElementsAre("m_monitorObjectList != NULL && m_internalNameList != NULL && m_textList != NULL"));
}

}  // namespace
