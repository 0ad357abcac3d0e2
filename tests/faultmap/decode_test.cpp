// Decoding of fault map reports, the trace dump, copies and assignment.

#include <type_traits>

#include "pelix/exceptions.h"
#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

// Show also compares every map's size with the data type's own.
TEST(FaultMapDecode, NewMapIsEmptyInTheDataTypesSizes) {
  EXPECT_EQ(Show(CFaultMap()), "v0 mo0/0/0/0 t0");  // data type 7
  for (const int dataType : {7, 5, 4, 2, 0, 3, 6, -1, 99}) {
    EXPECT_EQ(Show(CFaultMap(static_cast<OMS_tolva_mon_datatype_type>(dataType))), "v0 mo0/0/0/0 t0") << dataType;
  }
}

TEST(FaultMapDecode, ReportsAndWhatTheyDecodeTo) {
  const std::string i1a = Rpt({Block(FM_I1A, 13, {4})});
  std::vector<Bytes> full;
  for (const FaultMapType kind : kAllKinds) full.push_back(Block(kind, MapSize(2, kind), {0}));
  Bytes cut = Block(FM_I1A, 13, {0, 79});  // needs 13 octets, the area holds 10
  cut.resize(10);
  const std::string stamped = Rpt({Block(FM_EC1, 3, {1})}, 0x8000002A, {{FM_EC1, 1, 0xDEADBEEF}, {FM_I1A, 200, 5}});
  const auto counted = [](int count) {  // no area, a tail announcing `count` entries, up to its length E
    std::string report = {3, 1, 0, 1, 0, 0, 0, 0x30, 0x39, char(count)};
    return report + std::string(static_cast<size_t>((6 * count + 5) % 256 - 5), '\x07');
  };
  const std::string partial = std::string{3, 1, 0, 1, 0, 0, 0, 0, 9, 50} + std::string(44, '\x01');  // E = 49
  std::string seven;
  for (int n = 0; n < 7; ++n) seven += " @1/1=16843009";
  struct Row {
    const char* name;
    std::string report;
    int dataType;
    std::string seen;
  };
  const char* nothing = "v1 mo3/3/1/2 t0";
  // clang-format off
  const Row rows[] = {
      {"empty area, data type 2", Rpt({}), 2, nothing},
      {"empty area, data type 4", Rpt({}), 4, nothing},
      {"empty area, data type 0", Rpt({}), 0, nothing},
      {"empty area, data type 9", Rpt({}), 9, nothing},
      {"no tail, data type 5", Rpt({}), 5, "v0 mo3/3/1/2 t0"},
      {"no tail, data type 7", Rpt({}), 7, "v0 mo3/3/1/2 t0"},
      {"blocks fill their kinds only", Rpt({Block(FM_I1A, 13, {0, 95}), Block(FM_EC1, 3, {9})}), 2,
       "v1 mo3/3/1/2 t0 I1A:0,95 EC1:9"},
      {"later block of a kind wins", Rpt({Block(FM_EC1, 3, {0}), Block(FM_EC1, 3, {1})}), 2, "v1 mo3/3/1/2 t0 EC1:1"},
      {"one octet too many", i1a + '\0', 2, "v0 mo3/3/1/2 t0"},
      {"one octet short", i1a.substr(0, i1a.size() - 1), 2, "v0 mo3/3/1/2 t0"},
      {"area longer than all maps", Rpt({Block(FM_I1A, 13, {1}), Bytes(46, 0x14)}), 2, "v0 mo3/3/1/2 t0"},
      {"area of exactly all maps", Rpt(full), 2, "v1 mo3/3/1/2 t0 I1A:0 I1B:0 I2A:0 EC1:0 EC2:0 RU:0"},
      {"unknown block keeps earlier maps", Rpt({Block(FM_I1A, 13, {3}), {0x30, 0xFF, 0xFF}}), 2, "v0 mo3/3/1/2 t0 I1A:3"},
      {"block after an unknown one", Rpt({{0x00, 0x00, 0x00}, Block(FM_EC1, 3, {2})}), 2, "v0 mo3/3/1/2 t0"},
      {"unknown block, tail still read", Rpt({{0x99, 0, 0}}, 0x01020304, {{FM_I1A, 3, 77}}), 7,
       "v0 mo3/3/1/2 t16909060 @0/3=77"},
      {"block past the area copied to its end", Rpt({cut}, 0xFFFFFFFF), 7, "v0 mo3/3/1/2 t4294967295 I1A:0"},
      {"time stamps, data type 5", stamped, 5, "v1 mo3/3/1/2 t2147483690 @3/1=3735928559 @0/200=5 EC1:1"},
      {"time stamps, data type 7", stamped, 7, "v1 mo3/3/1/2 t2147483690 @3/1=3735928559 @0/200=5 EC1:1"},
      {"no entries: a tail of five", Rpt({}, 1000), 7, "v1 mo3/3/1/2 t1000"},
      {"a tail without time stamps", Rpt({}, 1000), 4, "v0 mo3/3/1/2 t0"},
      // N = 128: E = 773 mod 256 = 5; N = 129: E = 11; N = 200: E = 181; a negative count has no entries.
      {"N = 128", counted(128), 7, "v1 mo3/1/0/1 t12345"},
      {"N = 129", counted(129), 7, "v1 mo3/1/0/1 t12345"},
      {"N = 200", counted(200), 7, "v1 mo3/1/0/1 t12345"},
      {"tail cut inside the report time", std::string{3, 1, 0, 1, 0, 0, 0, 0}, 7, "v0 mo3/1/0/1 t0"},
      {"tail length wrapped to 1", std::string{3, 1, 0, 1, 0, 42}, 7, "v0 mo3/1/0/1 t0"},  // N = 42: E = 1
      {"entries beyond the report: the 7 that fit", partial, 7, "v0 mo3/1/0/1 t9" + seven},
      {"object octets are signed", Rpt({}, -1, {}, "\xF6\x80\xFF\x7F"), 4, "v1 mo-10/-128/-1/127 t0"},
      {"missing object octets read as 0", "\x03\x07", 2, "v0 mo3/7/0/0 t0"},
      {"no length octet", "\x03\x07\x01\x02", 4, "v0 mo3/7/1/2 t0"},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(Show(Decode(row.report, row.dataType)), row.seen) << row.name;
  // A null report has no octets whatever length is given.
  EXPECT_EQ(Show(CFaultMap(nullptr, 5, OMS_TOLVA_MON_DATATYPE_2)), "v0 mo0/0/0/0 t0");
}

TEST(FaultMapDecodeTrace, DumpListsHeaderAndTheAreaOctetsWithinTheReport) {
  const std::string head =
      "MO FAULT MAP REPORT|  MO class = 3|  MO instance = 3|  MO associated SO = 1|  MO state = 2|";
  const std::string zeros = "  Octet 1 = 20 (0x14)|  Octet 2 = 0 (0)|  Octet 3 = 0 (0)";
  const std::tuple<std::string, int, int, std::string> rows[] = {
      {Rpt({{0x14, 0x80, 0x01}}, -1, {}, {-10, 3, 1, 2}), 2, 1,
       "MO FAULT MAP REPORT|  MO class = -10|  MO instance = 3|  MO associated SO = 1|  MO state = 2|  Fault map "
       "length "
       "= 3|  Octet 1 = 20 (0x14)|  Octet 2 = -128 (0xffffff80)|  Octet 3 = 1 (0x1)"},
      {Rpt({{0x14, 0, 0}}) + '\x05', 2, 0, head + "  Fault map length = 3|" + zeros},  // undecoded, all listed
      {std::string{3, 3, 1, 2, 13, 0x23, 0x01}, 7, 0,
       head + "  Fault map length = 13|  Octet 1 = 35 (0x23)|  Octet 2 = 1 (0x1)"},
      {Rpt({{0x14, 0, 0}}, 0, {{FM_EC1, 0, 1}}), 7, 1, head + "  Fault map length = 3|" + zeros},  // no tail
  };
  for (const auto& [report, dataType, valid, lines] : rows) {
    for (const bool detailed : {false, true}) {
      HandlerHost host;
      host.pelixTraces = detailed;
      EXPECT_EQ(Show(Decode(report, dataType))[1] - '0', valid);
      EXPECT_EQ(Join(host.Texts("StoreError", EK_TRACE)), lines);
      EXPECT_EQ(Join(host.Texts("LogError", EK_TRACE)), detailed ? lines : "");  // only with detailed traces
      for (const auto& call : host.CallsNamed("StoreError")) EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
      EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
    }
  }
}

TEST(FaultMapDecodeTrace, ScopesAndCallsOfConstructorsAndDestructor) {
  {
    RecordingHost host;  // without a handler: five calls
    const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
    EXPECT_EQ(Join(host.Names()),
              "ErrorHandlerExists|ErrorHandlerExists|ErrorHandlerExists|GetErrorStatus|"
              "ErrorHandlerExists");
  }
  HandlerHost host;
  {
    const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
    const CFaultMap copy(map);
    CFaultMap assigned;
    assigned = copy;
  }
  for (const auto& call : host.CallsNamed("StoreEnter")) EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
  EXPECT_EQ(host.Scopes(),
            "CFaultMap::CFaultMap()|CFaultMap::InitFaultMap()|CFaultMap::CFaultMap()|"
            "CFaultMap::CFaultMap()|CFaultMap::InitFaultMap()|CFaultMap::operator=()|"
            "CFaultMap::~CFaultMap()|CFaultMap::~CFaultMap()|CFaultMap::~CFaultMap()");
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 9U);
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
}

TEST(FaultMapDecodeTrace, PendingErrorLeavesTheReportUndecodedWithoutHandlerNothingIsFormatted) {
  const std::string report = Rpt({Block(FM_EC1, 3, {0})});
  {
    HandlerHost host;
    host.errorStatus = 1;
    EXPECT_EQ(Show(Decode(report, 2)), "v0 mo0/0/0/0 t0");
    // The error was pending already: nothing more is raised, logged or traced.
    EXPECT_EQ(host.CallsNamed("RaiseError").size() + host.CallsNamed("LogError").size(), 0U);
    EXPECT_TRUE(host.CallsNamed("StoreError").empty());
  }
  RecordingHost host;
  EXPECT_EQ(Show(Decode(report, 2)), "v1 mo3/3/1/2 t0 EC1:0");
  EXPECT_EQ(host.CallsNamed("BuildString").size() + host.CallsNamed("StoreError").size(), 0U);
}

// --- copies and assignment ----------------------------------------------------

// A kept map of data type 7 after two merges: I1A raised 3 and ceased 1,
// report time 4242 and one time stamp.
CFaultMap MergedMap() {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, "I1A:1,2 EC2:60"));
  kept.UpdateFaultMap(Report(7, "I1A:2,3 EC2:60", 2, 4242, {{FM_I1A, 3, 99}}));
  return kept;
}
const char* const kMerged = "v1 mo3/3/1/2 t4242 @0/3=99 I1A:2,3 +I1A:3 -I1A:1 EC2:60";

static_assert(std::is_convertible_v<const CFaultMap*, CFaultMap>);

TEST(FaultMapCopy, CopyConstructorsCopyMapsListsAndStampsButStartUnchanged) {
  const CFaultMap source = MergedMap();
  ASSERT_EQ(Show(source), kMerged + std::string(" changed"));
  const CFaultMap converted = &source;
  for (const CFaultMap& copy : {CFaultMap(source), CFaultMap(&source), converted}) EXPECT_EQ(Show(copy), kMerged);
}

TEST(FaultMapCopy, KindWithoutItsIdentifierIsLeftOutOfACopyButNotOfAnAssignment) {
  CFaultMap source = MergedMap();
  FaultMapAccess::MapRef(source, FM_I1A).SetAt(0, 0x99);
  EXPECT_EQ(Show(CFaultMap(source)), "v1 mo3/3/1/2 t4242 @0/3=99 I1A#0 EC2:60");
  CFaultMap target;
  target = source;
  EXPECT_EQ(Show(target), "v1 mo3/3/1/2 t4242 @0/3=99 I1A!153 I1A:2,3 +I1A:3 -I1A:1 EC2:60");
}

TEST(FaultMapCopy, CopyOfANullPointerHasNoMapsAndCopiesOfThatThrow) {
  HandlerHost host;
  const CFaultMap* none = nullptr;
  const CFaultMap hollow(none);  // failed precondition: no maps at all
  EXPECT_EQ(Join(host.Texts("RaiseError", -1)), "other != NULL");
  EXPECT_EQ(Join(host.Texts("LogError", EK_PRECONDITION)), "other != NULL");
  EXPECT_TRUE(host.Texts("LogError", EK_UNSPECIFIED).empty());
  EXPECT_EQ(Show(hollow), "v0 mo0/0/0/0 t0 I1A#0 I1B#0 I2A#0 EC1#0 EC2#0 RU#0");
  EXPECT_THROW(CFaultMap copy(hollow), CInvalidArgException);
  CFaultMap kept;
  EXPECT_THROW(kept.UpdateFaultMap(hollow), CInvalidArgException);
}

TEST(FaultMapCopy, AssignmentAcrossDataTypes) {
  const CFaultMap source = MergedMap();  // data type 7 with stamps
  // Data type 4 over 7: maps, lists and the header follow, the old time
  // stamps and the change flag stay.
  CFaultMap target = MergedMap();
  const CFaultMap dt4 = Decode(Rpt({Block(FM_EC1, 3, {5})}, -1, {}, {11, 3, 1, 2}), 4);
  target = dt4;
  EXPECT_EQ(Show(target), "v1 mo11/3/1/2 t4242 @0/3=99 EC1:5 changed");
  // Data type 7 over 4: the stamps come along.
  CFaultMap back = dt4;
  back = source;
  EXPECT_EQ(Show(back), kMerged);
  // Data type 5 over 7: stamps are taken, even an empty list.
  CFaultMap target5 = source;
  target5 = Decode(Rpt({}, 7), 5);
  EXPECT_EQ(Show(target5), "v1 mo3/3/1/2 t7");
  // Assigning a map to itself changes nothing.
  CFaultMap& alias = back;
  back = alias;
  EXPECT_EQ(Show(back), kMerged);
}

}  // namespace
}  // namespace pelix::test
