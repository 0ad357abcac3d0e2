// Decoding of fault map reports, the trace dump, copies and assignment.

#include <tuple>

#include "pelix/exceptions.h"
#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

OMS_tolva_mon_datatype_type Type(int dataType) { return static_cast<OMS_tolva_mon_datatype_type>(dataType); }

TEST(FaultMapDecode, NewMapIsEmptyInTheDataTypesSizes) {
  const std::vector<int> s7 = {13, 13, 17, 3, 9, 13}, s5 = {13, 13, 13, 3, 7, 13}, other = {7, 7, 7, 3, 3, 7};
  // clang-format off
  const std::pair<int, std::vector<int>> rows[] = {
      {7, s7}, {5, s5}, {4, s5}, {2, {13, 13, 13, 3, 3, 13}}, {0, other}, {3, other}, {6, other}, {-1, other}, {99, other}};
  // clang-format on
  for (const auto& [dataType, sizes] : rows) {
    SCOPED_TRACE(dataType);
    const Seen s = dataType == 7 ? See(CFaultMap()) : See(CFaultMap(Type(dataType)));  // 7 is the default
    EXPECT_EQ(s.dataType, dataType);
    EXPECT_EQ(s.valid, 0);
    EXPECT_FALSE(s.changed);
    EXPECT_EQ(s.reportTime, 0U);
    EXPECT_THAT(s.stamps, IsEmpty());
    for (const FaultMapType kind : kAllKinds) {
      EXPECT_EQ(s.maps[kind], MapWith(kind, sizes[kind]));
      EXPECT_THAT(s.raised[kind], IsEmpty());
      EXPECT_THAT(s.ceased[kind], IsEmpty());
    }
  }
}

// A report with no area and a tail announcing `count` entries, followed by
// octets of 7 up to the tail length the count gives.
std::string CountedTail(int count, uint32_t time) {
  std::string report = {3, 1, 0, 1, 0};
  PutDword(report, time);
  report += static_cast<char>(count);
  return report + std::string(static_cast<size_t>((6 * count + 5) % 256 - 5), '\x07');
}

TEST(FaultMapDecode, ReportsAndWhatTheyDecodeTo) {
  const std::string i1a = ReportShape{{MapWith(FM_I1A, 13, {4})}}.Build();
  ReportShape over{{MapWith(FM_I1A, 13, {1}), Bytes(46, 0x14)}};  // data type 2 maps add up to 58 octets
  ASSERT_EQ(static_cast<uint8_t>(over.Build()[4]), 59);
  ReportShape full;
  for (const FaultMapType kind : kAllKinds) full.blocks.push_back(MapWith(kind, MapSize(2, kind), {0}));
  Bytes cut = MapWith(FM_I1A, 13, {0, 79});  // needs 13 octets, the area holds 10
  cut.resize(10);
  const std::vector<Stamp> two = {{FM_EC1, 1, 0xDEADBEEF}, {FM_I1A, 200, 5}};
  const std::string stamped = ReportShape{{MapWith(FM_EC1, 3, {1})}, true, 0x8000002A, two}.Build();
  ASSERT_EQ(stamped.size(), 5U + 3U + 17U);  // N = 2 gives E = 17
  // N = 50: E = 305 mod 256 = 49; only the 7 entries that fit are read.
  std::string partial = {3, 1, 0, 1, 0};
  PutDword(partial, 9);
  partial += static_cast<char>(50);
  std::vector<Stamp> seven;
  for (int i = 0; i < 44; ++i) partial += static_cast<char>(i);
  for (uint8_t n = 0; n < 7; ++n) {
    const uint8_t o = static_cast<uint8_t>(6 * n);
    seven.push_back(
        {o, uint8_t(o + 1), uint32_t(o + 2) << 24 | uint32_t(o + 3) << 16 | uint32_t(o + 4) << 8 | (o + 5U)});
  }
  ASSERT_EQ(partial.size(), 5U + 49U);
  ASSERT_EQ(seven[6], (Stamp{36, 37, 0x26272829U}));

  struct Row {
    const char* name;
    std::string report;
    int dataType, valid;
    Faults maps = {};  // fault bits expected in the maps; every other kind empty
    uint32_t reportTime = 0;
    std::vector<Stamp> stamps = {};
  };
  // clang-format off
  const Row rows[] = {
      {"empty area, data type 2", ReportShape{}.Build(), 2, 1},
      {"empty area, data type 4", ReportShape{}.Build(), 4, 1},
      {"empty area, data type 0", ReportShape{}.Build(), 0, 1},
      {"empty area, data type 9", ReportShape{}.Build(), 9, 1},
      {"no tail, data type 5", ReportShape{}.Build(), 5, 0},
      {"no tail, data type 7", ReportShape{}.Build(), 7, 0},
      {"blocks fill their kinds only", ReportShape{{MapWith(FM_I1A, 13, {0, 95}), MapWith(FM_EC1, 3, {9})}}.Build(),
       2, 1, {{FM_I1A, {0, 95}}, {FM_EC1, {9}}}},
      {"later block of a kind wins", ReportShape{{MapWith(FM_EC1, 3, {0}), MapWith(FM_EC1, 3, {1})}}.Build(), 2, 1,
       {{FM_EC1, {1}}}},
      {"one octet too many", i1a + '\0', 2, 0},
      {"one octet short", i1a.substr(0, i1a.size() - 1), 2, 0},
      {"area longer than all maps", over.Build(), 2, 0},
      {"area of exactly all maps", full.Build(), 2, 1,
       {{FM_I1A, {0}}, {FM_I1B, {0}}, {FM_I2A, {0}}, {FM_EC1, {0}}, {FM_EC2, {0}}, {FM_RU, {0}}}},
      {"unknown block keeps earlier maps", ReportShape{{MapWith(FM_I1A, 13, {3}), {0x30, 0xFF, 0xFF}}}.Build(), 2, 0,
       {{FM_I1A, {3}}}},
      {"block after an unknown one", ReportShape{{{0x00, 0x00, 0x00}, MapWith(FM_EC1, 3, {2})}}.Build(), 2, 0},
      {"unknown block, tail still read", ReportShape{{{0x99, 0x00, 0x00}}, true, 0x01020304, {{FM_I1A, 3, 77}}}.Build(),
       7, 0, {}, 0x01020304, {{FM_I1A, 3, 77}}},
      {"block past the area copied to its end", ReportShape{{cut}, true, 0xFFFFFFFF}.Build(), 7, 0, {{FM_I1A, {0}}},
       0xFFFFFFFF},
      {"time stamps, data type 5", stamped, 5, 1, {{FM_EC1, {1}}}, 0x8000002A, two},
      {"time stamps, data type 7", stamped, 7, 1, {{FM_EC1, {1}}}, 0x8000002A, two},
      {"no entries: a tail of five", ReportShape{{}, true, 1000}.Build(), 7, 1, {}, 1000},
      {"a tail without time stamps", ReportShape{{}, true, 1000}.Build(), 4, 0},
      // N = 128: E = 773 mod 256 = 5; N = 129: E = 11; N = 200: E = 181.
      {"N = 128", CountedTail(128, 12345), 7, 1, {}, 12345},
      {"N = 129", CountedTail(129, 12345), 7, 1, {}, 12345},
      {"N = 200", CountedTail(200, 12345), 7, 1, {}, 12345},
      {"tail cut inside the report time", std::string{3, 1, 0, 1, 0, 0, 0, 0}, 7, 0},
      // N = 42: E = 257 mod 256 = 1; neither report time nor entries fit.
      {"tail length wrapped to 1", std::string{3, 1, 0, 1, 0, 42}, 7, 0},
      {"entries beyond the report", partial, 7, 0, {}, 9, seven},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Seen s = See(Decode(row.report, row.dataType));
    EXPECT_EQ(s.valid, row.valid);
    EXPECT_EQ(s.reportTime, row.reportTime);
    EXPECT_EQ(s.stamps, row.stamps);
    for (const FaultMapType kind : kAllKinds) EXPECT_EQ(s.maps[kind], MapOf(row.dataType, kind, row.maps));
  }
}

TEST(FaultMapDecode, ObjectOctetsAreSignedAndMissingOnesReadAsZero) {
  const std::string negative = ReportShape{}.Mo(0xF6, 0x80, 0xFF, 0x7F).Build();
  const std::string tooLong = ReportShape{{MapWith(FM_I1A, 13, {4})}}.Build() + '\0';
  struct Row {
    const char* octets;
    int length, dataType, valid;
    std::vector<int> mo;
  };
  const Row rows[] = {
      {negative.data(), int(negative.size()), 4, 1, {-10, -128, -1, 127}},
      {tooLong.data(), int(tooLong.size()), 2, 0, {3, 3, 1, 2}},  // taken even from an undecoded report
      {nullptr, 0, 2, 0, {0, 0, 0, 0}},
      {nullptr, 5, 2, 0, {0, 0, 0, 0}},  // a null report has no octets whatever length is given
      {"\x03\x07", 2, 2, 0, {3, 7, 0, 0}},
      {"\x03\x07\x01\x02", 4, 4, 0, {3, 7, 1, 2}},  // no length octet
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    const Seen s = See(CFaultMap(row.octets, static_cast<unsigned char>(row.length), Type(row.dataType)));
    EXPECT_EQ(s.valid, row.valid);
    EXPECT_EQ(s.mo, row.mo);
    for (const FaultMapType kind : kAllKinds) EXPECT_EQ(s.maps[kind], MapWith(kind, MapSize(row.dataType, kind)));
  }
}

// --- the trace dump and the frame -------------------------------------------

// The dump's lines for the object TS 3-1 of state 2 and the given class and area length.
Strings Dump(int moClass, int length, const Strings& octets) {
  Strings lines = {"MO FAULT MAP REPORT", "  MO class = " + std::to_string(moClass),
                   "  MO instance = 3",   "  MO associated SO = 1",
                   "  MO state = 2",      "  Fault map length = " + std::to_string(length)};
  lines.insert(lines.end(), octets.begin(), octets.end());
  return lines;
}

TEST(FaultMapDecodeTrace, DumpListsHeaderAndTheAreaOctetsWithinTheReport) {
  const std::string negative = ReportShape{{{0x14, 0x80, 0x01}}}.Mo(0xF6, 3, 1, 2).Build();
  const std::string ec1 = ReportShape{{{0x14, 0x00, 0x00}}}.Build();
  const Strings zeros = {"  Octet 1 = 20 (0x14)", "  Octet 2 = 0 (0)", "  Octet 3 = 0 (0)"};
  const std::tuple<std::string, int, int, Strings> rows[] = {
      {negative, 2, 1, Dump(-10, 3, {"  Octet 1 = 20 (0x14)", "  Octet 2 = -128 (0xffffff80)", "  Octet 3 = 1 (0x1)"})},
      {ec1 + '\x05', 2, 0, Dump(3, 3, zeros)},  // undecoded, yet all area octets are listed
      {std::string{3, 3, 1, 2, 13, 0x23, 0x01}, 7, 0, Dump(3, 13, {"  Octet 1 = 35 (0x23)", "  Octet 2 = 1 (0x1)"})},
      {ReportShape{{{0x14, 0x00, 0x00}}, true, 0, {{FM_EC1, 0, 1}}}.Build(), 7, 1, Dump(3, 3, zeros)},  // no tail
  };
  for (const auto& [report, dataType, valid, lines] : rows) {
    for (const bool detailed : {false, true}) {
      SCOPED_TRACE(lines[5] + (detailed ? ", detailed" : ""));
      HandlerHost host;
      host.pelixTraces = detailed;
      EXPECT_EQ(See(Decode(report, dataType)).valid, valid);
      EXPECT_EQ(host.Texts("StoreError", EK_TRACE), lines);
      // Logged only when detailed traces are on.
      EXPECT_EQ(host.Texts("LogError", EK_TRACE), detailed ? lines : Strings{});
      for (const auto& call : host.CallsNamed("StoreError")) EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
      EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
    }
  }
}

TEST(FaultMapDecodeTrace, DataTypeConstructorWithoutHandlerCostsFiveCalls) {
  RecordingHost host;
  const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "ErrorHandlerExists", "ErrorHandlerExists",
                                        "GetErrorStatus", "ErrorHandlerExists"));
}

TEST(FaultMapDecodeTrace, ScopesOfConstructorsAndDestructor) {
  HandlerHost host;
  {
    const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
    const CFaultMap copy(map);
    CFaultMap assigned;
    assigned = copy;
  }
  for (const auto& call : host.CallsNamed("StoreEnter")) EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
  EXPECT_THAT(Scopes(host),
              ElementsAre("CFaultMap::CFaultMap()", "CFaultMap::InitFaultMap()", "CFaultMap::CFaultMap()",
                          "CFaultMap::CFaultMap()", "CFaultMap::InitFaultMap()", "CFaultMap::operator=()",
                          "CFaultMap::~CFaultMap()", "CFaultMap::~CFaultMap()", "CFaultMap::~CFaultMap()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 9U);
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
}

TEST(FaultMapDecodeTrace, PendingErrorLeavesTheReportUndecodedWithoutHandlerNothingIsFormatted) {
  const std::string report = ReportShape{{MapWith(FM_EC1, 3, {0})}}.Build();
  {
    HandlerHost host;
    host.errorStatus = 1;
    const Seen s = See(Decode(report, 2));
    EXPECT_EQ(s.valid, 0);
    EXPECT_EQ(s.mo, (std::vector<int>{0, 0, 0, 0}));
    for (const FaultMapType kind : kAllKinds) EXPECT_EQ(s.maps[kind], MapWith(kind, MapSize(2, kind)));
    // The error was pending already: nothing more is raised, logged or traced.
    EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
    EXPECT_THAT(host.CallsNamed("LogError"), IsEmpty());
    EXPECT_THAT(host.Texts("StoreError", EK_TRACE), IsEmpty());
  }
  RecordingHost host;
  EXPECT_EQ(See(Decode(report, 2)).valid, 1);
  EXPECT_THAT(host.CallsNamed("BuildString"), IsEmpty());
  EXPECT_THAT(host.CallsNamed("StoreError"), IsEmpty());
}

// --- copies and assignment ----------------------------------------------------

// A kept map of data type 7 after two merges: I1A raised 3 and ceased 1,
// report time 4242 and one time stamp.
CFaultMap MergedMap() {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  ReportShape first{{MapWith(FM_I1A, 13, {1, 2}), MapWith(FM_EC2, 9, {60})}, true};
  kept.UpdateFaultMap(Decode(first.Build(), 7));
  ReportShape second{{MapWith(FM_I1A, 13, {2, 3}), MapWith(FM_EC2, 9, {60})}, true, 4242, {{FM_I1A, 3, 99}}};
  kept.UpdateFaultMap(Decode(second.Build(), 7));
  return kept;
}

TEST(FaultMapCopy, CopyConstructorsCopyMapsListsAndStamps) {
  const CFaultMap source = MergedMap();
  ASSERT_TRUE(source.IsChanged());
  const Seen from = See(source);
  const CFaultMap converted = &source;  // the pointer form converts implicitly
  for (const Seen& s : {See(CFaultMap(source)), See(CFaultMap(&source)), See(converted)}) {
    EXPECT_EQ(s.valid, 1);
    EXPECT_EQ(s.dataType, OMS_TOLVA_MON_DATATYPE_7);
    EXPECT_EQ(s.mo, (std::vector<int>{3, 3, 1, 2}));
    EXPECT_EQ(s.reportTime, 4242U);
    EXPECT_EQ(s.stamps, (std::vector<Stamp>{{FM_I1A, 3, 99}}));
    EXPECT_FALSE(s.changed);  // a copy starts unchanged
    EXPECT_EQ(s.maps, from.maps);
    EXPECT_EQ(s.raised, from.raised);
    EXPECT_EQ(s.ceased, from.ceased);
    EXPECT_THAT(s.raised[FM_I1A], ElementsAre(3));
    EXPECT_THAT(s.ceased[FM_I1A], ElementsAre(1));
  }
}

TEST(FaultMapCopy, KindWithoutItsIdentifierIsLeftOutOfACopyButNotOfAnAssignment) {
  CFaultMap source = MergedMap();
  FaultMapAccess::MapRef(source, FM_I1A).SetAt(0, 0x99);
  const Seen copy = See(CFaultMap(source));
  EXPECT_THAT(copy.maps[FM_I1A], IsEmpty());
  EXPECT_THAT(copy.raised[FM_I1A], IsEmpty());
  EXPECT_THAT(copy.ceased[FM_I1A], IsEmpty());
  EXPECT_EQ(copy.maps[FM_EC2], See(source).maps[FM_EC2]);
  CFaultMap target;
  target = source;
  EXPECT_EQ(See(target).maps, See(source).maps);
}

TEST(FaultMapCopy, CopyOfAMapWithoutMapsThrows) {
  HandlerHost host;
  const CFaultMap* none = nullptr;
  const CFaultMap hollow(none);  // failed precondition: no maps at all
  ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, "other != NULL");
  EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre("other != NULL"));
  EXPECT_THAT(host.Texts("LogError", EK_UNSPECIFIED), IsEmpty());
  EXPECT_THAT(See(hollow).maps[FM_I1A], IsEmpty());
  EXPECT_THROW(CFaultMap copy(hollow), CInvalidArgException);
  CFaultMap kept;
  EXPECT_THROW(kept.UpdateFaultMap(hollow), CInvalidArgException);
}

TEST(FaultMapCopy, AssignmentAcrossDataTypes) {
  const CFaultMap source = MergedMap();  // data type 7 with stamps

  // Data type 4 over 7: maps and lists follow, the old time stamps stay.
  CFaultMap target = source;
  FaultMapAccess::SetChanged(target, true);
  const CFaultMap dt4 = Decode(ReportShape{{MapWith(FM_EC1, 3, {5})}}.Mo(11, 3, 1, 2).Build(), 4);
  target = dt4;
  Seen s = See(target);
  EXPECT_EQ(s.dataType, OMS_TOLVA_MON_DATATYPE_4);
  EXPECT_EQ(s.mo[0], 11);
  EXPECT_EQ(s.maps[FM_EC1], MapWith(FM_EC1, 3, {5}));
  EXPECT_EQ(s.maps[FM_I2A].size(), 13U);
  EXPECT_THAT(s.raised[FM_I1A], IsEmpty());
  EXPECT_EQ(s.reportTime, 4242U);
  EXPECT_EQ(s.stamps.size(), 1U);
  EXPECT_TRUE(s.changed);  // assignment keeps the change flag

  // Data type 7 over 4: the stamps come along.
  CFaultMap back = dt4;
  back = source;
  s = See(back);
  EXPECT_EQ(s.reportTime, 4242U);
  EXPECT_EQ(s.stamps.size(), 1U);
  EXPECT_THAT(s.raised[FM_I1A], ElementsAre(3));
  EXPECT_FALSE(s.changed);

  // Data type 5 over 7: stamps are taken, even an empty list.
  CFaultMap target5 = source;
  target5 = Decode(ReportShape{{}, true, 7}.Build(), 5);
  EXPECT_EQ(See(target5).reportTime, 7U);
  EXPECT_THAT(See(target5).stamps, IsEmpty());

  // Assigning a map to itself changes nothing.
  CFaultMap& alias = back;
  back = alias;
  EXPECT_EQ(See(back).maps, See(source).maps);
  EXPECT_THAT(See(back).raised[FM_I1A], ElementsAre(3));
}

}  // namespace
}  // namespace pelix::test
