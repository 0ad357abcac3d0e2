// Decoding of fault map reports, the trace dump, copies and assignment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelix/exceptions.h"
#include "pelix/fault_map.h"
#include "tests/faultmap/fault_map_access.h"
#include "tests/faultmap/report.h"
#include "tests/support/recording_host.h"

using pelix::test::Decode;
using pelix::test::FaultMapAccess;
using pelix::test::MapSize;
using pelix::test::MapWith;
using pelix::test::PutDword;
using pelix::test::RecordingHost;
using pelix::test::ReportSpec;
using pelix::test::Stamp;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

const FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};

// True when the kind's map is exactly its identifier followed by zeros of
// the data type's size.
void ExpectEmptyMaps(const CFaultMap& map, int dataType) {
  for (const FaultMapType kind : kAllKinds) {
    EXPECT_EQ(FaultMapAccess::Map(map, kind), MapWith(kind, MapSize(dataType, kind))) << "kind " << kind;
  }
}

TEST(FaultMapDecode, DefaultConstructedMapIsEmptyDataType7) {
  const CFaultMap map;
  EXPECT_EQ(FaultMapAccess::DataType(map), OMS_TOLVA_MON_DATATYPE_7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  std::vector<size_t> sizes;
  for (const FaultMapType kind : kAllKinds) sizes.push_back(FaultMapAccess::Map(map, kind).size());
  EXPECT_THAT(sizes, ElementsAre(13, 13, 17, 3, 9, 13));
  ExpectEmptyMaps(map, 7);
  for (const FaultMapType kind : kAllKinds) {
    EXPECT_THAT(FaultMapAccess::Raised(map, kind), IsEmpty());
    EXPECT_THAT(FaultMapAccess::Ceased(map, kind), IsEmpty());
  }
  EXPECT_FALSE(map.IsChanged());
  EXPECT_EQ(FaultMapAccess::Stamps(map).GetSize(), 0);
  EXPECT_EQ(FaultMapAccess::ReportTime(map), 0U);
}

TEST(FaultMapDecode, MapSizesFollowTheDataType) {
  struct Row {
    int dataType;
    std::vector<size_t> sizes;
  };
  const Row rows[] = {{7, {13, 13, 17, 3, 9, 13}}, {5, {13, 13, 13, 3, 7, 13}}, {4, {13, 13, 13, 3, 7, 13}},
                      {2, {13, 13, 13, 3, 3, 13}}, {0, {7, 7, 7, 3, 3, 7}},     {3, {7, 7, 7, 3, 3, 7}},
                      {6, {7, 7, 7, 3, 3, 7}},     {-1, {7, 7, 7, 3, 3, 7}},    {99, {7, 7, 7, 3, 3, 7}}};
  for (const Row& row : rows) {
    const CFaultMap map(static_cast<OMS_tolva_mon_datatype_type>(row.dataType));
    std::vector<size_t> sizes;
    for (const FaultMapType kind : kAllKinds) sizes.push_back(FaultMapAccess::Map(map, kind).size());
    EXPECT_EQ(sizes, row.sizes) << "data type " << row.dataType;
    EXPECT_EQ(FaultMapAccess::DataType(map), row.dataType);
  }
}

TEST(FaultMapDecode, EmptyAreaDecodesForDataTypesWithoutTimeStamps) {
  for (const int dataType : {2, 4, 0, 9}) {
    ReportSpec shape;
    shape.moClass = 11;
    shape.moInstance = 2;
    const CFaultMap map = Decode(shape.Build(), dataType);
    EXPECT_EQ(FaultMapAccess::DataValid(map), 1) << "data type " << dataType;
    EXPECT_EQ(FaultMapAccess::MoClass(map), 11);
    EXPECT_EQ(FaultMapAccess::MoInstance(map), 2);
    ExpectEmptyMaps(map, dataType);
    EXPECT_EQ(FaultMapAccess::ReportTime(map), 0U);
  }
  // Data types with time stamps need the tail: five octets alone do not add up.
  for (const int dataType : {5, 7}) {
    ReportSpec shape;
    EXPECT_EQ(FaultMapAccess::DataValid(Decode(shape.Build(), dataType)), 0) << "data type " << dataType;
  }
}

TEST(FaultMapDecode, BlocksFillTheirKindsOnly) {
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {0, 95}), MapWith(FM_EC1, 3, {9})};
  const std::string report = shape.Build();
  ASSERT_EQ(report.size(), 21U);
  const CFaultMap map = Decode(report, 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_EQ(FaultMapAccess::Map(map, FM_I1A), MapWith(FM_I1A, 13, {0, 95}));
  EXPECT_EQ(FaultMapAccess::Map(map, FM_EC1), MapWith(FM_EC1, 3, {9}));
  for (const FaultMapType kind : {FM_I1B, FM_I2A, FM_EC2, FM_RU}) {
    EXPECT_EQ(FaultMapAccess::Map(map, kind), MapWith(kind, MapSize(2, kind)));
  }
  EXPECT_EQ(FaultMapAccess::MoState(map), 2);
}

TEST(FaultMapDecode, LaterBlockOfTheSameKindWins) {
  ReportSpec shape;
  shape.blocks = {MapWith(FM_EC1, 3, {0}), MapWith(FM_EC1, 3, {1})};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_EQ(FaultMapAccess::Map(map, FM_EC1), MapWith(FM_EC1, 3, {1}));
}

TEST(FaultMapDecode, InconsistentLengthsLeaveTheReportUndecoded) {
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {4})};
  std::string longer = shape.Build() + '\0';  // T = 5 + L + 1
  const CFaultMap tooLong = Decode(longer, 2);
  EXPECT_EQ(FaultMapAccess::DataValid(tooLong), 0);
  ExpectEmptyMaps(tooLong, 2);
  // The MO octets are taken even from an undecoded report.
  EXPECT_EQ(FaultMapAccess::MoClass(tooLong), 3);

  std::string shorter = shape.Build();
  shorter.pop_back();
  const CFaultMap tooShort = Decode(shorter, 2);
  EXPECT_EQ(FaultMapAccess::DataValid(tooShort), 0);
  ExpectEmptyMaps(tooShort, 2);
}

TEST(FaultMapDecode, AreaLongerThanAllMapsIsRejectedBeforeParsing) {
  // Data type 2 maps add up to 58 octets; an area of 59 is refused even
  // though its first block is well formed.
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {1}), std::vector<uint8_t>(46, 0x14)};
  const std::string report = shape.Build();
  ASSERT_EQ(static_cast<uint8_t>(report[4]), 59);
  const CFaultMap map = Decode(report, 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  ExpectEmptyMaps(map, 2);

  // 58 octets of exactly the six maps are fine.
  ReportSpec full;
  for (const FaultMapType kind : kAllKinds) full.blocks.push_back(MapWith(kind, MapSize(2, kind), {0}));
  const CFaultMap fullMap = Decode(full.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(fullMap), 1);
  EXPECT_EQ(FaultMapAccess::Map(fullMap, FM_RU), MapWith(FM_RU, 13, {0}));
}

TEST(FaultMapDecode, UnknownBlockStopsParsingAndLeavesEarlierMaps) {
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {3}), {0x30, 0xFF, 0xFF}};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  EXPECT_EQ(FaultMapAccess::Map(map, FM_I1A), MapWith(FM_I1A, 13, {3}));

  // A known block after the unknown one is not reached.
  ReportSpec first;
  first.blocks = {{0x00, 0x00, 0x00}, MapWith(FM_EC1, 3, {2})};
  const CFaultMap other = Decode(first.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(other), 0);
  ExpectEmptyMaps(other, 2);
}

TEST(FaultMapDecode, UnknownBlockStillReadsTheTimeStamps) {
  ReportSpec shape;
  shape.withTail = true;
  shape.reportTime = 0x01020304;
  shape.stamps = {{FM_I1A, 3, 77}};
  shape.blocks = {{0x99, 0x00, 0x00}};
  const CFaultMap map = Decode(shape.Build(), 7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  EXPECT_EQ(FaultMapAccess::ReportTime(map), 0x01020304U);
  ASSERT_EQ(FaultMapAccess::Stamps(map).GetSize(), 1);
  EXPECT_EQ(FaultMapAccess::Stamps(map)[0].seconds, 77U);
}

TEST(FaultMapDecode, BlockRunningPastTheAreaIsCopiedOnlyToItsEnd) {
  // An I1A block needs 13 octets; the area holds 10 of them. The tail's
  // octets are not taken into the map.
  ReportSpec shape;
  shape.withTail = true;
  shape.reportTime = 0xFFFFFFFF;
  std::vector<uint8_t> cut = MapWith(FM_I1A, 13, {0, 79});
  cut.resize(10);
  shape.blocks = {cut};
  const CFaultMap map = Decode(shape.Build(), 7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  EXPECT_EQ(FaultMapAccess::Map(map, FM_I1A), MapWith(FM_I1A, 13, {0}));
  EXPECT_EQ(FaultMapAccess::ReportTime(map), 0xFFFFFFFFU);
}

TEST(FaultMapDecode, TimeStampsOfDataTypes5And7) {
  for (const int dataType : {5, 7}) {
    ReportSpec shape;
    shape.withTail = true;
    shape.blocks = {MapWith(FM_EC1, 3, {1})};
    shape.reportTime = 0x8000002A;
    shape.stamps = {{FM_EC1, 1, 0xDEADBEEF}, {FM_I1A, 200, 5}};
    const std::string report = shape.Build();
    ASSERT_EQ(report.size(), 5U + 3U + 17U);  // N = 2 gives E = 17
    const CFaultMap map = Decode(report, dataType);
    EXPECT_EQ(FaultMapAccess::DataValid(map), 1) << "data type " << dataType;
    EXPECT_EQ(FaultMapAccess::ReportTime(map), 0x8000002AU);
    const auto& stamps = FaultMapAccess::Stamps(map);
    ASSERT_EQ(stamps.GetSize(), 2);
    EXPECT_EQ(stamps[0].mapType, FM_EC1);
    EXPECT_EQ(stamps[0].faultNo, 1);
    EXPECT_EQ(stamps[0].seconds, 0xDEADBEEFU);
    EXPECT_EQ(stamps[1].mapType, FM_I1A);
    EXPECT_EQ(stamps[1].faultNo, 200);
    EXPECT_EQ(stamps[1].seconds, 5U);
  }
}

TEST(FaultMapDecode, NoEntriesGiveATailOfFive) {
  ReportSpec shape;
  shape.withTail = true;
  shape.reportTime = 1000;
  const std::string report = shape.Build();
  ASSERT_EQ(report.size(), 10U);
  const CFaultMap map = Decode(report, 7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_EQ(FaultMapAccess::ReportTime(map), 1000U);
  EXPECT_EQ(FaultMapAccess::Stamps(map).GetSize(), 0);
  // The same report under data type 4 has no tail: the lengths do not add up.
  EXPECT_EQ(FaultMapAccess::DataValid(Decode(report, 4)), 0);
  EXPECT_EQ(FaultMapAccess::ReportTime(Decode(report, 4)), 0U);
}

TEST(FaultMapDecode, CountsOf128AndAboveGiveNoEntries) {
  // N = 128: E = 773 mod 256 = 5; N = 129: E = 11; N = 200: E = 181.
  for (const int count : {128, 129, 200}) {
    const int tail = (6 * count + 5) % 256;
    std::string report = {3, 1, 0, 1, 0};
    PutDword(report, 12345);
    report += static_cast<char>(count);
    report.append(static_cast<size_t>(tail - 5), '\x07');
    const CFaultMap map = Decode(report, 7);
    EXPECT_EQ(FaultMapAccess::DataValid(map), 1) << "N = " << count;
    EXPECT_EQ(FaultMapAccess::ReportTime(map), 12345U);
    EXPECT_EQ(FaultMapAccess::Stamps(map).GetSize(), 0);
  }
}

TEST(FaultMapDecode, MissingCountOctetLeavesTheReportUndecoded) {
  // Data type 7 with the tail cut inside the report time.
  std::string report = {3, 1, 0, 1, 0, 0, 0, 0};
  const CFaultMap map = Decode(report, 7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  EXPECT_EQ(FaultMapAccess::ReportTime(map), 0U);
  EXPECT_EQ(FaultMapAccess::Stamps(map).GetSize(), 0);
}

TEST(FaultMapDecode, EntriesBeyondTheReportAreNotRead) {
  // N = 42: E = 257 mod 256 = 1, so a report of 5 + L + 1 octets adds up,
  // yet neither its report time nor its entries fit in it.
  std::string report = {3, 1, 0, 1, 0, 42};
  const CFaultMap wrapped = Decode(report, 7);
  EXPECT_EQ(FaultMapAccess::DataValid(wrapped), 0);
  EXPECT_EQ(FaultMapAccess::Stamps(wrapped).GetSize(), 0);

  // N = 50: E = 305 mod 256 = 49; the entries that fit (7 of them) are read.
  std::string longer = {3, 1, 0, 1, 0};
  PutDword(longer, 9);
  longer += static_cast<char>(50);
  for (int i = 0; i < 44; ++i) longer += static_cast<char>(i);
  ASSERT_EQ(longer.size(), 5U + 49U);
  const CFaultMap partial = Decode(longer, 7);
  EXPECT_EQ(FaultMapAccess::DataValid(partial), 0);
  ASSERT_EQ(FaultMapAccess::Stamps(partial).GetSize(), 7);
  EXPECT_EQ(FaultMapAccess::Stamps(partial)[6].mapType, 36);
  EXPECT_EQ(FaultMapAccess::Stamps(partial)[6].faultNo, 37);
  EXPECT_EQ(FaultMapAccess::Stamps(partial)[6].seconds, 0x26272829U);
}

TEST(FaultMapDecode, ShortAndNullReportsStayUndecoded) {
  const CFaultMap none(nullptr, 0, OMS_TOLVA_MON_DATATYPE_2);
  EXPECT_EQ(FaultMapAccess::DataValid(none), 0);
  EXPECT_EQ(FaultMapAccess::MoClass(none), 0);
  ExpectEmptyMaps(none, 2);

  // A null report is read as having no octets whatever length is given.
  const CFaultMap nullWithLength(nullptr, 5, OMS_TOLVA_MON_DATATYPE_2);
  EXPECT_EQ(FaultMapAccess::DataValid(nullWithLength), 0);

  // Header octets that a short report lacks read as 0.
  const char two[] = {3, 7};
  const CFaultMap shortMap(two, 2, OMS_TOLVA_MON_DATATYPE_2);
  EXPECT_EQ(FaultMapAccess::DataValid(shortMap), 0);
  EXPECT_EQ(FaultMapAccess::MoClass(shortMap), 3);
  EXPECT_EQ(FaultMapAccess::MoInstance(shortMap), 7);
  EXPECT_EQ(FaultMapAccess::MoAssociatedSO(shortMap), 0);
  EXPECT_EQ(FaultMapAccess::MoState(shortMap), 0);

  // Four octets with class, instance, SO and state, but no length octet.
  const char four[] = {3, 7, 1, 2};
  EXPECT_EQ(FaultMapAccess::DataValid(CFaultMap(four, 4, OMS_TOLVA_MON_DATATYPE_4)), 0);
}

TEST(FaultMapDecode, MoOctetsAreSigned) {
  ReportSpec shape;
  shape.moClass = 0xF6;
  shape.moInstance = 0x80;
  shape.moAssociatedSO = 0xFF;
  shape.moState = 0x7F;
  const CFaultMap map = Decode(shape.Build(), 4);
  EXPECT_EQ(FaultMapAccess::MoClass(map), -10);
  EXPECT_EQ(FaultMapAccess::MoInstance(map), -128);
  EXPECT_EQ(FaultMapAccess::MoAssociatedSO(map), -1);
  EXPECT_EQ(FaultMapAccess::MoState(map), 127);
}

// --- the trace dump and the frame -------------------------------------------

TEST(FaultMapDecodeTrace, DumpListsHeaderAndAreaOctets) {
  RecordingHost host;
  host.handlerExists = true;
  ReportSpec shape;
  shape.moClass = 0xF6;
  shape.blocks = {{0x14, 0x80, 0x01}};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_THAT(host.Texts("StoreError", EK_TRACE),
              ElementsAre("MO FAULT MAP REPORT", "  MO class = -10", "  MO instance = 3", "  MO associated SO = 1",
                          "  MO state = 2", "  Fault map length = 3", "  Octet 1 = 20 (0x14)",
                          "  Octet 2 = -128 (0xffffff80)", "  Octet 3 = 1 (0x1)"));
  // Detailed traces are off: stored, never logged.
  EXPECT_THAT(host.Texts("LogError", EK_TRACE), IsEmpty());
  for (const auto& call : host.CallsNamed("StoreError")) EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
}

TEST(FaultMapDecodeTrace, DumpIsLoggedWhenDetailedTracesAreOn) {
  RecordingHost host;
  host.handlerExists = true;
  host.pelixTraces = true;
  ReportSpec shape;
  shape.blocks = {{0x14, 0x00, 0x00}};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(host.Texts("LogError", EK_TRACE), host.Texts("StoreError", EK_TRACE));
  EXPECT_EQ(host.Texts("LogError", EK_TRACE).size(), 9U);
}

TEST(FaultMapDecodeTrace, DumpOfAnInconsistentReportStopsAtItsEnd) {
  RecordingHost host;
  host.handlerExists = true;
  // One octet too many: undecoded, but all three area octets are listed.
  ReportSpec shape;
  shape.blocks = {{0x14, 0x00, 0x00}};
  const CFaultMap tooLong = Decode(shape.Build() + '\x05', 2);
  EXPECT_EQ(FaultMapAccess::DataValid(tooLong), 0);
  EXPECT_EQ(host.Texts("StoreError", EK_TRACE).size(), 9U);

  // L = 13 announced, only 2 area octets present: two octet lines.
  host.Clear();
  const std::string cut = {3, 3, 1, 2, 13, 0x23, 0x01};
  const CFaultMap cutMap = Decode(cut, 7);
  EXPECT_EQ(FaultMapAccess::DataValid(cutMap), 0);
  const auto lines = host.Texts("StoreError", EK_TRACE);
  ASSERT_EQ(lines.size(), 8U);
  EXPECT_EQ(lines[5], "  Fault map length = 13");
  EXPECT_EQ(lines[7], "  Octet 2 = 1 (0x1)");
  EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
}

TEST(FaultMapDecodeTrace, DumpLeavesTheTailOut) {
  RecordingHost host;
  host.handlerExists = true;
  ReportSpec shape;
  shape.withTail = true;
  shape.blocks = {{0x14, 0x00, 0x00}};
  shape.stamps = {{FM_EC1, 0, 1}};
  const CFaultMap map = Decode(shape.Build(), 7);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_EQ(host.Texts("StoreError", EK_TRACE).size(), 9U);
}

TEST(FaultMapDecodeTrace, DataTypeConstructorWithoutHandlerCostsFiveCalls) {
  RecordingHost host;
  const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "ErrorHandlerExists", "ErrorHandlerExists",
                                        "GetErrorStatus", "ErrorHandlerExists"));
}

TEST(FaultMapDecodeTrace, ScopesOfConstructorsAndDestructor) {
  RecordingHost host;
  host.handlerExists = true;
  {
    const CFaultMap map(OMS_TOLVA_MON_DATATYPE_4);
    const CFaultMap copy(map);
    CFaultMap assigned;
    assigned = copy;
  }
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) {
    scopes.push_back(call.text);
    EXPECT_EQ(call.file, "faultmap/faultmap.cpp");
  }
  EXPECT_THAT(scopes, ElementsAre("CFaultMap::CFaultMap()", "CFaultMap::InitFaultMap()", "CFaultMap::CFaultMap()",
                                  "CFaultMap::CFaultMap()", "CFaultMap::InitFaultMap()", "CFaultMap::operator=()",
                                  "CFaultMap::~CFaultMap()", "CFaultMap::~CFaultMap()", "CFaultMap::~CFaultMap()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), scopes.size());
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
}

TEST(FaultMapDecodeTrace, PendingErrorLeavesTheReportUndecoded) {
  RecordingHost host;
  host.handlerExists = true;
  host.errorStatus = 1;
  ReportSpec shape;
  shape.blocks = {MapWith(FM_EC1, 3, {0})};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 0);
  EXPECT_EQ(FaultMapAccess::MoClass(map), 0);
  ExpectEmptyMaps(map, 2);
  EXPECT_THAT(host.Texts("StoreError", EK_TRACE), IsEmpty());
  // The error was pending already: nothing more is raised.
  EXPECT_THAT(host.CallsNamed("RaiseError"), IsEmpty());
  EXPECT_THAT(host.CallsNamed("LogError"), IsEmpty());
}

TEST(FaultMapDecodeTrace, NothingIsFormattedWithoutHandler) {
  RecordingHost host;
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {1})};
  const CFaultMap map = Decode(shape.Build(), 2);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  EXPECT_THAT(host.CallsNamed("BuildString"), IsEmpty());
  EXPECT_THAT(host.CallsNamed("StoreError"), IsEmpty());
}

// --- copies and assignment ----------------------------------------------------

CFaultMap MergedMap() {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  ReportSpec first;
  first.withTail = true;
  first.blocks = {MapWith(FM_I1A, 13, {1, 2}), MapWith(FM_EC2, 9, {60})};
  kept.UpdateFaultMap(Decode(first.Build(), 7));
  ReportSpec second = first;
  second.blocks = {MapWith(FM_I1A, 13, {2, 3}), MapWith(FM_EC2, 9, {60})};
  second.reportTime = 4242;
  second.stamps = {{FM_I1A, 3, 99}};
  kept.UpdateFaultMap(Decode(second.Build(), 7));
  return kept;
}

TEST(FaultMapCopy, CopyConstructorsCopyMapsListsAndStamps) {
  const CFaultMap source = MergedMap();
  ASSERT_TRUE(source.IsChanged());
  const CFaultMap byReference(source);
  const CFaultMap byPointer(&source);
  for (const CFaultMap* copy : {&byReference, &byPointer}) {
    EXPECT_EQ(FaultMapAccess::DataValid(*copy), 1);
    EXPECT_EQ(FaultMapAccess::DataType(*copy), OMS_TOLVA_MON_DATATYPE_7);
    EXPECT_EQ(FaultMapAccess::MoClass(*copy), 3);
    EXPECT_EQ(FaultMapAccess::ReportTime(*copy), 4242U);
    ASSERT_EQ(FaultMapAccess::Stamps(*copy).GetSize(), 1);
    EXPECT_EQ(FaultMapAccess::Stamps(*copy)[0].seconds, 99U);
    EXPECT_FALSE(copy->IsChanged());  // a copy starts unchanged
    for (const FaultMapType kind : kAllKinds) {
      EXPECT_EQ(FaultMapAccess::Map(*copy, kind), FaultMapAccess::Map(source, kind));
      EXPECT_EQ(FaultMapAccess::Raised(*copy, kind), FaultMapAccess::Raised(source, kind));
      EXPECT_EQ(FaultMapAccess::Ceased(*copy, kind), FaultMapAccess::Ceased(source, kind));
    }
    EXPECT_THAT(FaultMapAccess::Raised(*copy, FM_I1A), ElementsAre(3));
    EXPECT_THAT(FaultMapAccess::Ceased(*copy, FM_I1A), ElementsAre(1));
  }
}

TEST(FaultMapCopy, KindWithoutItsIdentifierIsLeftEmpty) {
  CFaultMap source = MergedMap();
  FaultMapAccess::MapRef(source, FM_I1A).SetAt(0, 0x99);
  const CFaultMap copy(source);
  EXPECT_THAT(FaultMapAccess::Map(copy, FM_I1A), IsEmpty());
  EXPECT_THAT(FaultMapAccess::Raised(copy, FM_I1A), IsEmpty());
  EXPECT_THAT(FaultMapAccess::Ceased(copy, FM_I1A), IsEmpty());
  EXPECT_EQ(FaultMapAccess::Map(copy, FM_EC2), FaultMapAccess::Map(source, FM_EC2));
}

TEST(FaultMapCopy, CopyOfAMapWithoutMapsThrows) {
  RecordingHost host;
  host.handlerExists = true;
  const CFaultMap* none = nullptr;
  const CFaultMap hollow(none);  // failed precondition: no maps at all
  EXPECT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, "other != NULL");
  EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre("other != NULL"));
  EXPECT_THAT(host.Texts("LogError", EK_UNSPECIFIED), IsEmpty());
  EXPECT_THAT(FaultMapAccess::Map(hollow, FM_I1A), IsEmpty());
  EXPECT_THROW(CFaultMap copy(hollow), CInvalidArgException);
  CFaultMap kept;
  EXPECT_THROW(kept.UpdateFaultMap(hollow), CInvalidArgException);
}

TEST(FaultMapCopy, AssignmentAcrossDataTypes) {
  const CFaultMap source = MergedMap();  // data type 7 with stamps

  // Data type 4 over 7: maps and lists follow, the old time stamps stay.
  CFaultMap target = source;
  FaultMapAccess::SetChanged(target, true);
  ReportSpec shape;
  shape.moClass = 11;
  shape.blocks = {MapWith(FM_EC1, 3, {5})};
  const CFaultMap dt4 = Decode(shape.Build(), 4);
  target = dt4;
  EXPECT_EQ(FaultMapAccess::DataType(target), OMS_TOLVA_MON_DATATYPE_4);
  EXPECT_EQ(FaultMapAccess::MoClass(target), 11);
  EXPECT_EQ(FaultMapAccess::Map(target, FM_EC1), MapWith(FM_EC1, 3, {5}));
  EXPECT_EQ(FaultMapAccess::Map(target, FM_I2A).size(), 13U);
  EXPECT_THAT(FaultMapAccess::Raised(target, FM_I1A), IsEmpty());
  EXPECT_EQ(FaultMapAccess::ReportTime(target), 4242U);
  EXPECT_EQ(FaultMapAccess::Stamps(target).GetSize(), 1);
  EXPECT_TRUE(target.IsChanged());  // assignment keeps m_changed

  // Data type 7 over 4: the stamps come along.
  CFaultMap back = dt4;
  back = source;
  EXPECT_EQ(FaultMapAccess::ReportTime(back), 4242U);
  EXPECT_EQ(FaultMapAccess::Stamps(back).GetSize(), 1);
  EXPECT_THAT(FaultMapAccess::Raised(back, FM_I1A), ElementsAre(3));
  EXPECT_FALSE(back.IsChanged());

  // Data type 5 over 7: stamps are taken, even an empty list.
  ReportSpec five;
  five.withTail = true;
  five.reportTime = 7;
  CFaultMap target5 = source;
  target5 = Decode(five.Build(), 5);
  EXPECT_EQ(FaultMapAccess::ReportTime(target5), 7U);
  EXPECT_EQ(FaultMapAccess::Stamps(target5).GetSize(), 0);
}

TEST(FaultMapCopy, AssignmentCopiesMapsWithoutIdentifierToo) {
  CFaultMap source = MergedMap();
  FaultMapAccess::MapRef(source, FM_RU).SetAt(0, 0x00);
  CFaultMap target;
  target = source;
  EXPECT_EQ(FaultMapAccess::Map(target, FM_RU), FaultMapAccess::Map(source, FM_RU));
}

TEST(FaultMapCopy, SelfAssignmentChangesNothing) {
  CFaultMap map = MergedMap();
  const auto before = FaultMapAccess::Map(map, FM_I1A);
  CFaultMap& alias = map;
  map = alias;
  EXPECT_EQ(FaultMapAccess::Map(map, FM_I1A), before);
  EXPECT_THAT(FaultMapAccess::Raised(map, FM_I1A), ElementsAre(3));
}

}  // namespace
