// Change tracking: merging decoded reports into a kept map, the fault query
// and the conversions between fault number lists and bit maps.

#include "pelix/exceptions.h"
#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

struct Step {
  int dataType;
  const char* faults;  // of the report
  const char* seen;    // the kept map afterwards, without "v1 mo3/3/1/<state> t0"
  int state = 2;
};

TEST(FaultMapMerge, StoriesOfKeptMaps) {
  // clang-format off
  const std::pair<const char*, std::vector<Step>> stories[] = {
      {"raised and ceased in one octet",
       {{7, "I1A:0,2", "I1A:0,2 +I1A:0,2 changed"}, {7, "I1A:1,2", "I1A:1,2 +I1A:1 -I1A:0 changed"}}},
      {"lists ascend across octets",
       {{7, "RU:95,3,40,8 I2A:127,0", "I2A:0,127 +I2A:0,127 RU:3,8,40,95 +RU:3,8,40,95 changed"},
        {7, "RU:9,41,7 I2A:126", "I2A:126 +I2A:126 -I2A:0,127 RU:7,9,41 +RU:7,9,41 -RU:3,8,40,95 changed"}}},
      {"raise, cease, raise again",
       {{7, "EC1:4", "EC1:4 +EC1:4 changed"}, {7, "", "-EC1:4 changed"}, {7, "EC1:4", "EC1:4 +EC1:4 changed"}}},
      {"identical reports change nothing",
       {{7, "I1B:10 EC2:0", "I1B:10 +I1B:10 EC2:0 +EC2:0 changed"}, {7, "I1B:10 EC2:0", "I1B:10 EC2:0"}}},
      {"a state change alone is no change", {{7, "I1A:1", "I1A:1 +I1A:1 changed", 1}, {7, "I1A:1", "I1A:1", 3}}},
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

TEST(FaultMapMerge, KindsWithoutTheirIdentifier) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Report(7, "I1B:2 EC1:1"));
  CFaultMap incoming = Report(7, "EC1:0");
  FaultMapAccess::MapRef(incoming, FM_I1B).SetAt(0, 0x00);
  FaultMapAccess::MapRef(kept, FM_EC1).SetAt(0, 0x77);
  kept.UpdateFaultMap(incoming);
  // An incoming kind without identifier is skipped: I1B keeps its map and
  // the lists of the previous merge; a kept map takes the identifier back.
  EXPECT_EQ(Show(kept), "v1 mo3/3/1/2 t0 I1B:2 +I1B:2 EC1:0 +EC1:0 -EC1:1 changed");
  FaultMapAccess::MapRef(incoming, FM_RU).RemoveAll();
  EXPECT_THROW(kept.UpdateFaultMap(incoming), CInvalidArgException);
}

TEST(FaultMapMerge, UndecodedReportMergesAndInvalidatesTheFaultQuery) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(Report(2, "I1A:5 EC1:1"));
  // I1A parsed with fault 6, then an unknown block: undecoded; EC1 carried no bits.
  kept.UpdateFaultMap(Decode(Rpt({Block(FM_I1A, 13, {6}), {0x42, 0, 0}}), 2));
  EXPECT_EQ(Show(kept), "v0 mo3/3/1/2 t0 I1A:6 +I1A:6 -I1A:5 -EC1:1 changed");
  for (const bool before : {false, true}) {
    bool fault = before;
    EXPECT_EQ(kept.IsFault(fault), SR_INVALID_DATA);
    EXPECT_EQ(fault, before);  // left untouched
  }
  bool fault = true;
  EXPECT_EQ(CFaultMap().IsFault(fault), SR_INVALID_DATA);  // never decoded
  // The next good report makes the kept map valid again.
  kept.UpdateFaultMap(Report(2, "I1A:6"));
  EXPECT_EQ(kept.IsFault(fault), SR_OK);
  EXPECT_EQ(Show(kept), "v1 mo3/3/1/2 t0 I1A:6");
}

TEST(FaultMapMerge, HeaderAndTimeStampsAreTakenFromTheNewMapWithoutAScope) {
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_7);
  kept.UpdateFaultMap(Decode(Rpt({}, 10, {{FM_I1A, 1, 1}, {FM_I1A, 2, 2}, {FM_I1A, 3, 3}}), 7));
  const CFaultMap incoming = Decode(Rpt({Block(FM_I1A, 13, {1})}, 20, {{FM_RU, 7, 70}}, {12, 5, 9, 1}), 7);
  HandlerHost host;
  kept.UpdateFaultMap(incoming);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(Show(kept), "v1 mo12/5/9/1 t20 @5/7=70 I1A:1 +I1A:1 changed");
}

TEST(FaultMapQuery, IsFaultLooksAtEveryKindButNotTheIdentifier) {
  bool fault = true;
  EXPECT_EQ(Report(7, "").IsFault(fault), SR_OK);
  EXPECT_FALSE(fault);
  for (const FaultMapType kind : kAllKinds) {
    fault = false;  // the last fault of the map
    const int last = MapSize(7, kind) * 8 - 9;
    EXPECT_EQ(Report(7, kKindNames[kind] + (":" + std::to_string(last))).IsFault(fault), SR_OK);
    EXPECT_TRUE(fault) << kind;
  }
  const CFaultMap map = Report(7, "EC2:3");
  HandlerHost host;
  map.IsFault(fault);
  map.IsChanged();
  // The fault test stops at EC2, the first kind with a fault.
  EXPECT_EQ(host.Scopes(),
            "CFaultMap::IsFault()|CFaultMap::HasFault()|CFaultMap::HasFault()|CFaultMap::HasFault()|"
            "CFaultMap::HasFault()|CFaultMap::HasFault()|CFaultMap::IsChanged()");
}

TEST(FaultMapLists, BuildMapAndBack) {  // both replace what the output held
  EXPECT_EQ(FaultMapAccess::Lists({9, 0}, 3, true), "1 2 ");
  EXPECT_EQ(FaultMapAccess::Lists({}, 17, true), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ");
  EXPECT_EQ(FaultMapAccess::Lists({127, 127, 64}, 17, true), "0 0 0 0 0 0 0 0 1 0 0 0 0 0 0 128 ");
  EXPECT_EQ(FaultMapAccess::Lists({0x01, 0x02}, 0, false), "0 9 ");
  EXPECT_EQ(FaultMapAccess::Lists({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80}, 0, false), "64 127 ");
  EXPECT_EQ(FaultMapAccess::Lists({0xFF, 0x80}, 0, false), "0 1 2 3 4 5 6 7 15 ");
  EXPECT_EQ(FaultMapAccess::Lists({}, 0, false), "");
  // Faults beyond the map are refused.
  EXPECT_THROW(FaultMapAccess::Lists({16}, 3, true), CInvalidArgException);
  EXPECT_EQ(FaultMapAccess::Lists({15}, 3, true), "0 128 ");
  EXPECT_THROW(FaultMapAccess::Lists({}, 0, true), CInvalidArgException);
}

}  // namespace
}  // namespace pelix::test
