// Change tracking: merging decoded reports into a kept map, the fault query
// and the conversions between fault number lists and bit maps.

#include "pelix/exceptions.h"
#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

// The fault numbers `faults` gives for `kind`.
Bytes ListOf(FaultMapType kind, const Faults& faults) {
  for (const auto& entry : faults) {
    if (entry.first == kind) return Bytes(entry.second.begin(), entry.second.end());
  }
  return {};
}

struct Step {
  int dataType;
  Faults report;
  Faults raised, ceased;  // ascending; every other kind's lists stay empty
  bool changed;
  uint8_t state = 2;
};

TEST(FaultMapMerge, StoriesOfKeptMaps) {
  // clang-format off
  const std::pair<const char*, std::vector<Step>> stories[] = {
      {"raised and ceased in one octet",
       {{7, {{FM_I1A, {0, 2}}}, {{FM_I1A, {0, 2}}}, {}, true},
        {7, {{FM_I1A, {1, 2}}}, {{FM_I1A, {1}}}, {{FM_I1A, {0}}}, true}}},
      {"lists ascend across octets",
       {{7, {{FM_RU, {95, 3, 40, 8}}, {FM_I2A, {127, 0}}}, {{FM_RU, {3, 8, 40, 95}}, {FM_I2A, {0, 127}}}, {}, true},
        {7,
         {{FM_RU, {9, 41, 7}}, {FM_I2A, {126}}},
         {{FM_RU, {7, 9, 41}}, {FM_I2A, {126}}},
         {{FM_RU, {3, 8, 40, 95}}, {FM_I2A, {0, 127}}},
         true}}},
      {"raise, cease, raise again",
       {{7, {{FM_EC1, {4}}}, {{FM_EC1, {4}}}, {}, true},
        {7, {}, {}, {{FM_EC1, {4}}}, true},
        {7, {{FM_EC1, {4}}}, {{FM_EC1, {4}}}, {}, true}}},
      {"identical reports change nothing",
       {{7, {{FM_I1B, {10}}, {FM_EC2, {0}}}, {{FM_I1B, {10}}, {FM_EC2, {0}}}, {}, true},
        {7, {{FM_I1B, {10}}, {FM_EC2, {0}}}, {}, {}, false}}},
      {"a state change alone is no change",
       {{7, {{FM_I1A, {1}}}, {{FM_I1A, {1}}}, {}, true, 1}, {7, {{FM_I1A, {1}}}, {}, {}, false, 3}}},
      {"a growing map reports bits in added octets as raised",
       {{2, {{FM_I2A, {95}}, {FM_EC2, {15}}}, {{FM_I2A, {95}}, {FM_EC2, {15}}}, {}, true},
        {7, {{FM_I2A, {95, 96, 127}}, {FM_EC2, {15, 63}}}, {{FM_I2A, {96, 127}}, {FM_EC2, {63}}}, {}, true}}},
      {"a shrinking map drops octets without ceasing",  // 100, 127 and 63 vanish silently
       {{7, {{FM_I2A, {0, 100, 127}}, {FM_EC2, {63}}}, {{FM_I2A, {0, 100, 127}}, {FM_EC2, {63}}}, {}, true},
        {2, {{FM_I2A, {1}}}, {{FM_I2A, {1}}}, {{FM_I2A, {0}}}, true}}},
      {"only dropped bits are no change", {{7, {{FM_EC2, {63}}}, {{FM_EC2, {63}}}, {}, true}, {2, {}, {}, {}, false}}},
  };
  // clang-format on
  for (const auto& [name, steps] : stories) {
    CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(steps[0].dataType));
    for (size_t n = 0; n < steps.size(); ++n) {
      SCOPED_TRACE(std::string(name) + ", report " + std::to_string(n + 1));
      const Step& step = steps[n];
      kept.UpdateFaultMap(Report(step.dataType, step.report, 0, {}, step.state));
      const Seen s = See(kept);
      EXPECT_EQ(s.dataType, step.dataType);
      EXPECT_EQ(s.changed, step.changed);
      EXPECT_EQ(kept.IsChanged(), step.changed);
      EXPECT_EQ(s.mo, (std::vector<int>{3, 3, 1, step.state}));
      bool fault = step.report.empty();  // the opposite of the expected answer
      EXPECT_EQ(kept.IsFault(fault), SR_OK);
      EXPECT_EQ(fault, !step.report.empty());
      for (const FaultMapType kind : kAllKinds) {
        EXPECT_EQ(s.maps[kind], MapOf(step.dataType, kind, step.report)) << kind;
        EXPECT_EQ(s.raised[kind], ListOf(kind, step.raised)) << kind;
        EXPECT_EQ(s.ceased[kind], ListOf(kind, step.ceased)) << kind;
      }
    }
  }
}

TEST(FaultMapMerge, KindsWithoutTheirIdentifier) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, {{FM_I1B, {2}}, {FM_EC1, {1}}}));
  CFaultMap incoming = Report(7, {{FM_EC1, {0}}});
  FaultMapAccess::MapRef(incoming, FM_I1B).SetAt(0, 0x00);
  FaultMapAccess::MapRef(kept, FM_EC1).SetAt(0, 0x77);
  kept.UpdateFaultMap(incoming);
  const Seen s = See(kept);
  // An incoming kind without identifier is skipped: I1B keeps its map and the lists of the previous merge.
  EXPECT_EQ(s.maps[FM_I1B], MapWith(FM_I1B, 13, {2}));
  EXPECT_THAT(s.raised[FM_I1B], ElementsAre(2));
  // A kept map takes the identifier back.
  EXPECT_EQ(s.maps[FM_EC1], MapWith(FM_EC1, 3, {0}));
  EXPECT_THAT(s.raised[FM_EC1], ElementsAre(0));
  EXPECT_THAT(s.ceased[FM_EC1], ElementsAre(1));

  FaultMapAccess::MapRef(incoming, FM_RU).RemoveAll();
  EXPECT_THROW(kept.UpdateFaultMap(incoming), CInvalidArgException);
}

TEST(FaultMapMerge, UndecodedReportMergesAndInvalidatesTheFaultQuery) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, {{FM_I1A, {5}}, {FM_EC1, {1}}}));
  // I1A parsed with fault 6, then an unknown block: undecoded.
  const CFaultMap broken = Decode(ReportShape{{MapWith(FM_I1A, 13, {6}), {0x42, 0, 0}}}.Build(), 2);
  ASSERT_EQ(See(broken).valid, 0);
  kept.UpdateFaultMap(broken);
  const Seen s = See(kept);
  EXPECT_EQ(s.valid, 0);
  EXPECT_THAT(s.raised[FM_I1A], ElementsAre(6));
  EXPECT_THAT(s.ceased[FM_I1A], ElementsAre(5));
  EXPECT_THAT(s.ceased[FM_EC1], ElementsAre(1));  // its map carried no bits
  EXPECT_TRUE(kept.IsChanged());
  for (const bool before : {false, true}) {
    bool fault = before;
    EXPECT_EQ(kept.IsFault(fault), SR_INVALID_DATA);
    EXPECT_EQ(fault, before);  // left untouched
  }
  // The next good report makes the kept map valid again.
  kept.UpdateFaultMap(Report(2, {{FM_I1A, {6}}}));
  bool fault = false;
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_FALSE(kept.IsChanged());
}

TEST(FaultMapMerge, HeaderAndTimeStampsAreTakenFromTheNewMapWithoutAScope) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Decode(ReportShape{{}, true, 10, {{FM_I1A, 1, 1}, {FM_I1A, 2, 2}, {FM_I1A, 3, 3}}}.Build(), 7));
  ASSERT_EQ(See(kept).stamps.size(), 3U);
  ReportShape second{{MapWith(FM_I1A, 13, {1})}, true, 20, {{FM_RU, 7, 70}}, 12, 5, 9, 1};
  const CFaultMap incoming = Decode(second.Build(), 7);
  HandlerHost host;
  kept.UpdateFaultMap(incoming);
  EXPECT_THAT(host.Names(), IsEmpty());
  const Seen s = See(kept);
  EXPECT_EQ(s.mo, (std::vector<int>{12, 5, 9, 1}));
  EXPECT_EQ(s.reportTime, 20U);
  EXPECT_EQ(s.stamps, (std::vector<Stamp>{{FM_RU, 7, 70}}));
  EXPECT_THAT(s.raised[FM_I1A], ElementsAre(1));
}

TEST(FaultMapQuery, IsFaultLooksAtEveryKindButNotTheIdentifier) {
  bool fault = true;
  EXPECT_EQ(Report(7, {}).IsFault(fault), SR_OK);
  EXPECT_FALSE(fault);
  for (const FaultMapType kind : kAllKinds) {
    fault = false;
    EXPECT_EQ(Report(7, {{kind, {MapSize(7, kind) * 8 - 9}}}).IsFault(fault), SR_OK);  // the last fault of the map
    EXPECT_TRUE(fault) << kind;
  }
  EXPECT_EQ(CFaultMap().IsFault(fault), SR_INVALID_DATA);  // never decoded

  EXPECT_FALSE(FaultMapAccess::HasFault({0xFF, 0x00, 0x00}));
  EXPECT_TRUE(FaultMapAccess::HasFault({0x14, 0x00, 0x01}));
  EXPECT_FALSE(FaultMapAccess::HasFault({}));
}

TEST(FaultMapQuery, IsFaultAndIsChangedScopes) {
  const CFaultMap map = Report(7, {{FM_EC2, {3}}});
  HandlerHost host;
  bool fault = false;
  map.IsFault(fault);
  map.IsChanged();
  // The fault test stops at EC2, the first kind with a fault.
  EXPECT_THAT(Scopes(host), ElementsAre("CFaultMap::IsFault()", "CFaultMap::HasFault()", "CFaultMap::HasFault()",
                                        "CFaultMap::HasFault()", "CFaultMap::HasFault()", "CFaultMap::HasFault()",
                                        "CFaultMap::IsChanged()"));
}

TEST(FaultMapLists, BuildMapAndBack) {
  Bytes bits = {0xAA, 0xAA, 0xAA};  // replaced, not or-ed into
  FaultMapAccess::BuildMap({9, 0}, bits, 3);
  EXPECT_THAT(bits, ElementsAre(0x01, 0x02));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList(bits), ElementsAre(0, 9));
  FaultMapAccess::BuildMap({}, bits, 17);
  EXPECT_EQ(bits, Bytes(16, 0));
  FaultMapAccess::BuildMap({127, 127, 64}, bits, 17);
  EXPECT_EQ(bits, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList(bits), ElementsAre(64, 127));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList({0xFF, 0x80}), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 15));
  EXPECT_THAT(FaultMapAccess::GetFaultNoList({}), IsEmpty());
  // Faults beyond the map are refused.
  EXPECT_THROW(FaultMapAccess::BuildMap({16}, bits, 3), CInvalidArgException);
  EXPECT_NO_THROW(FaultMapAccess::BuildMap({15}, bits, 3));
  EXPECT_THROW(FaultMapAccess::BuildMap({}, bits, 0), CInvalidArgException);
}

}  // namespace
}  // namespace pelix::test
