// Change tracking: merging decoded reports into a kept map, the fault query
// and the conversions between fault number lists and bit maps.
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
using pelix::test::RecordingHost;
using pelix::test::ReportSpec;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};

// A decoded report of data type `dataType` carrying every kind, with the
// given faults set in the given kinds.
CFaultMap Report(int dataType, const std::vector<std::pair<FaultMapType, std::vector<int>>>& faults, int state = 2) {
  ReportSpec shape;
  shape.moState = static_cast<uint8_t>(state);
  shape.withTail = dataType == 5 || dataType == 7;
  for (const FaultMapType kind : kAllKinds) {
    std::vector<uint8_t> map = MapWith(kind, MapSize(dataType, kind));
    for (const auto& entry : faults) {
      if (entry.first != kind) continue;
      for (const int f : entry.second) map.at(static_cast<size_t>(f / 8 + 1)) |= static_cast<uint8_t>(1U << (f % 8));
    }
    shape.blocks.push_back(map);
  }
  CFaultMap map = Decode(shape.Build(), dataType);
  EXPECT_EQ(FaultMapAccess::DataValid(map), 1);
  return map;
}

TEST(FaultMapMerge, RaisedAndCeasedInOneOctet) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I1A, {0, 2}}}));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I1A)[1], 0x05);
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I1A), ElementsAre(0, 2));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I1A), IsEmpty());
  EXPECT_TRUE(kept.IsChanged());

  kept.UpdateFaultMap(Report(7, {{FM_I1A, {1, 2}}}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I1A), ElementsAre(1));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I1A), ElementsAre(0));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I1A)[1], 0x06);
  EXPECT_TRUE(kept.IsChanged());
}

TEST(FaultMapMerge, ListsAreAscendingAcrossOctets) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_RU, {95, 3, 40, 8}}, {FM_I2A, {127, 0}}}));
  kept.UpdateFaultMap(Report(7, {{FM_RU, {9, 41, 7}}, {FM_I2A, {126}}}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_RU), ElementsAre(7, 9, 41));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_RU), ElementsAre(3, 8, 40, 95));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I2A), ElementsAre(126));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I2A), ElementsAre(0, 127));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_RU), MapWith(FM_RU, 13, {9, 41, 7}));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I2A), MapWith(FM_I2A, 17, {126}));
}

TEST(FaultMapMerge, RaiseCeaseRaiseAgain) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_EC1, {4}}}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_EC1), ElementsAre(4));
  kept.UpdateFaultMap(Report(7, {}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_EC1), IsEmpty());
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_EC1), ElementsAre(4));
  EXPECT_TRUE(kept.IsChanged());
  kept.UpdateFaultMap(Report(7, {{FM_EC1, {4}}}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_EC1), ElementsAre(4));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_EC1), IsEmpty());
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_EC1), MapWith(FM_EC1, 3, {4}));
}

TEST(FaultMapMerge, IdenticalReportsChangeNothing) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I1B, {10}}, {FM_EC2, {0}}}));
  ASSERT_TRUE(kept.IsChanged());
  kept.UpdateFaultMap(Report(7, {{FM_I1B, {10}}, {FM_EC2, {0}}}));
  EXPECT_FALSE(kept.IsChanged());
  for (const FaultMapType kind : kAllKinds) {
    EXPECT_THAT(FaultMapAccess::Raised(kept, kind), IsEmpty()) << kind;
    EXPECT_THAT(FaultMapAccess::Ceased(kept, kind), IsEmpty()) << kind;
  }
  bool fault = false;
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_TRUE(fault);
}

TEST(FaultMapMerge, StateChangeAloneIsNoChange) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I1A, {1}}}, 1));
  kept.UpdateFaultMap(Report(7, {{FM_I1A, {1}}}, 3));
  EXPECT_EQ(FaultMapAccess::MoState(kept), 3);
  EXPECT_FALSE(kept.IsChanged());
}

TEST(FaultMapMerge, GrowingMapReportsBitsInAddedOctetsAsRaised) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I2A, {95}}, {FM_EC2, {15}}}));
  ASSERT_EQ(FaultMapAccess::Map(kept, FM_I2A).size(), 13U);
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {95, 96, 127}}, {FM_EC2, {15, 63}}}));
  EXPECT_EQ(FaultMapAccess::DataType(kept), OMS_TOLVA_MON_DATATYPE_7);
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I2A), MapWith(FM_I2A, 17, {95, 96, 127}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I2A), ElementsAre(96, 127));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I2A), IsEmpty());
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_EC2), MapWith(FM_EC2, 9, {15, 63}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_EC2), ElementsAre(63));
  EXPECT_TRUE(kept.IsChanged());
}

TEST(FaultMapMerge, ShrinkingMapDropsOctetsWithoutCeasing) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I2A, {0, 100, 127}}, {FM_EC2, {63}}}));
  kept.UpdateFaultMap(Report(2, {{FM_I2A, {1}}}));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I2A), MapWith(FM_I2A, 13, {1}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I2A), ElementsAre(1));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I2A), ElementsAre(0));  // 100 and 127 vanish silently
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_EC2), MapWith(FM_EC2, 3));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_EC2), IsEmpty());
  EXPECT_TRUE(kept.IsChanged());

  // Only dropped bits: nothing counts as changed.
  CFaultMap other(OMS_TOLVA_MON_DATATYPE_7);
  other.UpdateFaultMap(Report(7, {{FM_EC2, {63}}}));
  other.UpdateFaultMap(Report(2, {}));
  EXPECT_FALSE(other.IsChanged());
  bool fault = true;
  EXPECT_EQ(other.IsFault(fault), SR_OK);
  EXPECT_FALSE(fault);
}

TEST(FaultMapMerge, KindWithoutIdentifierIsSkipped) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I1B, {2}}, {FM_EC1, {1}}}));
  CFaultMap incoming = Report(7, {{FM_EC1, {0}}});
  FaultMapAccess::MapRef(incoming, FM_I1B).SetAt(0, 0x00);
  kept.UpdateFaultMap(incoming);
  // I1B keeps its map and the lists of the previous merge.
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_I1B), MapWith(FM_I1B, 13, {2}));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I1B), ElementsAre(2));
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_EC1), ElementsAre(0));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_EC1), ElementsAre(1));
}

TEST(FaultMapMerge, KeptMapTakesTheIdentifier) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  FaultMapAccess::MapRef(kept, FM_EC1).SetAt(0, 0x77);
  kept.UpdateFaultMap(Report(7, {}));
  EXPECT_EQ(FaultMapAccess::Map(kept, FM_EC1)[0], 0x14);
}

TEST(FaultMapMerge, EmptyNewMapThrows) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  CFaultMap incoming = Report(7, {});
  FaultMapAccess::MapRef(incoming, FM_RU).RemoveAll();
  EXPECT_THROW(kept.UpdateFaultMap(incoming), CInvalidArgException);
}

TEST(FaultMapMerge, UndecodedReportMergesAndInvalidatesTheFaultQuery) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I1A, {5}}, {FM_EC1, {1}}}));
  bool fault = false;
  ASSERT_EQ(kept.IsFault(fault), SR_OK);
  ASSERT_TRUE(fault);

  // I1A parsed with fault 6, then an unknown block: undecoded.
  ReportSpec shape;
  shape.blocks = {MapWith(FM_I1A, 13, {6}), {0x42, 0, 0}};
  const CFaultMap broken = Decode(shape.Build(), 2);
  ASSERT_EQ(FaultMapAccess::DataValid(broken), 0);
  kept.UpdateFaultMap(broken);
  EXPECT_EQ(FaultMapAccess::DataValid(kept), 0);
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I1A), ElementsAre(6));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_I1A), ElementsAre(5));
  EXPECT_THAT(FaultMapAccess::Ceased(kept, FM_EC1), ElementsAre(1));  // its map carried no bits
  EXPECT_TRUE(kept.IsChanged());
  fault = false;
  EXPECT_EQ(kept.IsFault(fault), SR_INVALID_DATA);
  EXPECT_FALSE(fault);  // left untouched
  fault = true;
  EXPECT_EQ(kept.IsFault(fault), SR_INVALID_DATA);
  EXPECT_TRUE(fault);

  // The next good report makes the kept map valid again.
  kept.UpdateFaultMap(Report(2, {{FM_I1A, {6}}}));
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_FALSE(kept.IsChanged());
}

TEST(FaultMapMerge, HeaderAndTimeStampsAreTakenFromTheNewMap) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  ReportSpec first;
  first.withTail = true;
  first.reportTime = 10;
  first.stamps = {{FM_I1A, 1, 1}, {FM_I1A, 2, 2}, {FM_I1A, 3, 3}};
  kept.UpdateFaultMap(Decode(first.Build(), 7));
  ASSERT_EQ(FaultMapAccess::Stamps(kept).GetSize(), 3);

  ReportSpec second;
  second.withTail = true;
  second.moClass = 12;
  second.moInstance = 5;
  second.moAssociatedSO = 9;
  second.moState = 1;
  second.reportTime = 20;
  second.stamps = {{FM_RU, 7, 70}};
  kept.UpdateFaultMap(Decode(second.Build(), 7));
  EXPECT_EQ(FaultMapAccess::MoClass(kept), 12);
  EXPECT_EQ(FaultMapAccess::MoInstance(kept), 5);
  EXPECT_EQ(FaultMapAccess::MoAssociatedSO(kept), 9);
  EXPECT_EQ(FaultMapAccess::MoState(kept), 1);
  EXPECT_EQ(FaultMapAccess::ReportTime(kept), 20U);
  ASSERT_EQ(FaultMapAccess::Stamps(kept).GetSize(), 1);
  EXPECT_EQ(FaultMapAccess::Stamps(kept)[0].mapType, FM_RU);
  EXPECT_EQ(FaultMapAccess::Stamps(kept)[0].seconds, 70U);
}

TEST(FaultMapMerge, MergeOpensNoScope) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  const CFaultMap incoming = Report(7, {{FM_I1A, {1}}});
  RecordingHost host;
  host.handlerExists = true;
  kept.UpdateFaultMap(incoming);
  EXPECT_THAT(host.Names(), IsEmpty());
  EXPECT_THAT(FaultMapAccess::Raised(kept, FM_I1A), ElementsAre(1));
}

TEST(FaultMapQuery, IsFaultLooksAtEveryKindButNotTheIdentifier) {
  const CFaultMap none = Report(7, {});
  bool fault = true;
  EXPECT_EQ(none.IsFault(fault), SR_OK);
  EXPECT_FALSE(fault);
  for (const FaultMapType kind : kAllKinds) {
    const CFaultMap one = Report(7, {{kind, {MapSize(7, kind) * 8 - 9}}});  // the last fault of the map
    fault = false;
    EXPECT_EQ(one.IsFault(fault), SR_OK);
    EXPECT_TRUE(fault) << kind;
  }
  const CFaultMap empty;  // never decoded
  EXPECT_EQ(empty.IsFault(fault), SR_INVALID_DATA);

  EXPECT_FALSE(FaultMapAccess::HasFault(none, {0xFF, 0x00, 0x00}));
  EXPECT_TRUE(FaultMapAccess::HasFault(none, {0x14, 0x00, 0x01}));
  EXPECT_FALSE(FaultMapAccess::HasFault(none, {}));
}

TEST(FaultMapQuery, IsFaultAndIsChangedScopes) {
  const CFaultMap map = Report(7, {{FM_EC2, {3}}});
  RecordingHost host;
  host.handlerExists = true;
  bool fault = false;
  map.IsFault(fault);
  map.IsChanged();
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  // The fault test stops at EC2, the first kind with a fault.
  EXPECT_THAT(scopes, ElementsAre("CFaultMap::IsFault()", "CFaultMap::HasFault()", "CFaultMap::HasFault()",
                                  "CFaultMap::HasFault()", "CFaultMap::HasFault()", "CFaultMap::HasFault()",
                                  "CFaultMap::IsChanged()"));
}

TEST(FaultMapLists, BuildMapAndBack) {
  const CFaultMap map;
  std::vector<uint8_t> bits = {0xAA, 0xAA, 0xAA};  // replaced, not or-ed into
  FaultMapAccess::BuildMap(map, {9, 0}, bits, 3);
  EXPECT_THAT(bits, ElementsAre(0x01, 0x02));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList(map, bits), ElementsAre(0, 9));

  FaultMapAccess::BuildMap(map, {}, bits, 17);
  EXPECT_EQ(bits, std::vector<uint8_t>(16, 0));
  FaultMapAccess::BuildMap(map, {127, 127, 64}, bits, 17);
  EXPECT_EQ(bits[8], 0x01);
  EXPECT_EQ(bits[15], 0x80);
  EXPECT_THAT(FaultMapAccess::GetFaultNoList(map, bits), ElementsAre(64, 127));

  EXPECT_THAT(FaultMapAccess::GetFaultNoList(map, {0xFF, 0x80}), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 15));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList(map, {}), IsEmpty());
}

TEST(FaultMapLists, BuildMapRefusesFaultsBeyondTheMap) {
  const CFaultMap map;
  std::vector<uint8_t> bits;
  EXPECT_THROW(FaultMapAccess::BuildMap(map, {16}, bits, 3), CInvalidArgException);
  EXPECT_NO_THROW(FaultMapAccess::BuildMap(map, {15}, bits, 3));
  EXPECT_THROW(FaultMapAccess::BuildMap(map, {}, bits, 0), CInvalidArgException);
}

}  // namespace
