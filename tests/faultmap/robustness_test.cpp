// Every report length 0..255 with random content, for every data type: the
// decoder stays inside the report, keeps its maps in shape and only calls a
// report decoded when its lengths add up. Runs under the sanitizers in CI;
// each report lives in a heap block of exactly its length, so a read past
// its end is caught there.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "pelix/fault_map.h"
#include "tests/faultmap/fault_map_access.h"
#include "tests/faultmap/report.h"

using pelix::test::FaultMapAccess;
using pelix::test::Identifier;
using pelix::test::MapSize;
using pelix::test::MapWith;
using pelix::test::ReportSpec;
using pelix::test::Stamp;

namespace {

const FaultMapType kAllKinds[] = {FM_I1A, FM_I1B, FM_I2A, FM_EC1, FM_EC2, FM_RU};
const int kDataTypes[] = {2, 4, 5, 7, 0, 3};

bool WithStamps(int dataType) { return dataType == 5 || dataType == 7; }

int SumOfSizes(int dataType) {
  int sum = 0;
  for (const FaultMapType kind : kAllKinds) sum += MapSize(dataType, kind);
  return sum;
}

// Random octets with, now and then, a length octet and a count octet that
// make the lengths add up, and block identifiers where blocks would start.
std::vector<uint8_t> RandomReport(std::mt19937& rng, int length, int dataType) {
  std::vector<uint8_t> octets(static_cast<size_t>(length));
  for (uint8_t& o : octets) o = static_cast<uint8_t>(rng() & 0xFF);
  if (length < 5 || rng() % 3 == 0) return octets;
  int areaLength = length - 5;
  if (WithStamps(dataType)) {
    const int count = static_cast<int>(rng() % 4 == 0 ? rng() % 256 : rng() % 8);
    const int tail = (6 * count + 5) % 256;
    areaLength = length - 5 - tail;
    if (areaLength < 0) return octets;
    if (9 + areaLength < length) octets[static_cast<size_t>(9 + areaLength)] = static_cast<uint8_t>(count);
  }
  octets[4] = static_cast<uint8_t>(areaLength);
  // Plant identifiers along the area, mostly of the right sizes.
  int position = 5;
  while (position < 5 + areaLength && rng() % 8 != 0) {
    const FaultMapType kind = kAllKinds[rng() % 6];
    octets[static_cast<size_t>(position)] = Identifier(kind);
    position += MapSize(dataType, kind);
  }
  return octets;
}

void CheckInvariants(const CFaultMap& map, const std::vector<uint8_t>& octets, int dataType) {
  const int length = static_cast<int>(octets.size());
  SCOPED_TRACE("data type " + std::to_string(dataType) + ", length " + std::to_string(length));
  // Maps keep their sizes and identifiers whatever the report holds.
  bool anyFaultBit = false;
  for (const FaultMapType kind : kAllKinds) {
    const std::vector<uint8_t> bytes = FaultMapAccess::Map(map, kind);
    ASSERT_EQ(static_cast<int>(bytes.size()), MapSize(dataType, kind));
    ASSERT_EQ(bytes[0], Identifier(kind));
    for (size_t i = 1; i < bytes.size(); ++i) anyFaultBit = anyFaultBit || bytes[i] != 0;
  }
  // MO octets come from the report, missing ones read as 0.
  for (int i = 0; i < 4; ++i) {
    const int expected = i < length ? static_cast<int8_t>(octets[static_cast<size_t>(i)]) : 0;
    const int actual = i == 0   ? FaultMapAccess::MoClass(map)
                       : i == 1 ? FaultMapAccess::MoInstance(map)
                       : i == 2 ? FaultMapAccess::MoAssociatedSO(map)
                                : FaultMapAccess::MoState(map);
    ASSERT_EQ(actual, expected) << "MO octet " << i;
  }
  const int areaLength = length > 4 ? octets[4] : 0;
  int tail = 0;
  bool countPresent = true;
  int count = 0;
  if (WithStamps(dataType)) {
    countPresent = 9 + areaLength < length;
    if (countPresent) {
      count = static_cast<int8_t>(octets[static_cast<size_t>(9 + areaLength)]);
      tail = (6 * octets[static_cast<size_t>(9 + areaLength)] + 5) % 256;
    }
  }
  const bool consistent = countPresent && areaLength <= SumOfSizes(dataType) && 5 + areaLength + tail == length;
  if (FaultMapAccess::DataValid(map) == 1) {
    ASSERT_TRUE(consistent);
    if (WithStamps(dataType)) {
      ASSERT_EQ(FaultMapAccess::Stamps(map).GetSize(), count > 0 ? count : 0);
    }
  } else {
    ASSERT_EQ(FaultMapAccess::DataValid(map), 0);
  }
  if (!consistent) {
    ASSERT_FALSE(anyFaultBit);
  }
  if (!consistent || !WithStamps(dataType)) {
    ASSERT_EQ(FaultMapAccess::Stamps(map).GetSize(), 0);
    ASSERT_EQ(FaultMapAccess::ReportTime(map), 0U);
  }
  // Entries read all lie inside the report.
  ASSERT_LE(10 + areaLength + 6 * FaultMapAccess::Stamps(map).GetSize(), std::max(length, 10 + areaLength));
  ASSERT_FALSE(map.IsChanged());
}

TEST(FaultMapRobustness, EveryLengthWithRandomContent) {
  std::mt19937 rng(20240611U);
  int decoded = 0;
  for (const int dataType : kDataTypes) {
    CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(dataType));
    for (int length = 0; length <= 255; ++length) {
      for (int sample = 0; sample < 6; ++sample) {
        const std::vector<uint8_t> octets = RandomReport(rng, length, dataType);
        std::unique_ptr<char[]> exact(length > 0 ? new char[static_cast<size_t>(length)] : nullptr);
        for (int i = 0; i < length; ++i)
          exact[static_cast<size_t>(i)] = static_cast<char>(octets[static_cast<size_t>(i)]);
        const CFaultMap map(exact.get(), static_cast<unsigned char>(length),
                            static_cast<OMS_tolva_mon_datatype_type>(dataType));
        ASSERT_NO_FATAL_FAILURE(CheckInvariants(map, octets, dataType));
        decoded += FaultMapAccess::DataValid(map);

        // The terminal's road goes on with whatever came in.
        const CFaultMap copy(map);
        ASSERT_EQ(FaultMapAccess::Map(copy, FM_I2A), FaultMapAccess::Map(map, FM_I2A));
        kept.UpdateFaultMap(copy);
        bool fault = false;
        ASSERT_EQ(kept.IsFault(fault), FaultMapAccess::DataValid(map) == 1 ? SR_OK : SR_INVALID_DATA);
        CArray<CString, CString> lines;
        CArray<FaultMapItem*, FaultMapItem*> items;
        kept.GetFaultMaps(lines, items);
        ASSERT_EQ(lines.GetSize(), items.GetSize());
        for (FaultMapItem* item : items) delete item;
        CString state;
        ASSERT_EQ(kept.GetMO_State(state), SR_OK);
      }
    }
  }
  // The shaped samples must reach the decoded path too, or the test proves little.
  EXPECT_GT(decoded, 100);
}

TEST(FaultMapRobustness, RandomWellFormedReportsDecodeExactly) {
  std::mt19937 rng(7U);
  for (int round = 0; round < 400; ++round) {
    const int dataType = kDataTypes[rng() % 6];
    ReportSpec shape;
    shape.moClass = static_cast<uint8_t>(rng());
    shape.withTail = WithStamps(dataType);
    shape.reportTime = static_cast<uint32_t>(rng());
    std::vector<std::vector<uint8_t>> expected;
    for (const FaultMapType kind : kAllKinds) expected.push_back(MapWith(kind, MapSize(dataType, kind)));
    for (const FaultMapType kind : kAllKinds) {
      if (rng() % 2 == 0) continue;
      std::vector<uint8_t> block = MapWith(kind, MapSize(dataType, kind));
      for (size_t i = 1; i < block.size(); ++i) block[i] = static_cast<uint8_t>(rng());
      expected[kind] = block;
      shape.blocks.push_back(block);
    }
    if (shape.withTail) {
      const int count = static_cast<int>(rng() % 12);
      for (int i = 0; i < count; ++i) {
        shape.stamps.push_back(
            {static_cast<uint8_t>(rng() % 6), static_cast<uint8_t>(rng()), static_cast<uint32_t>(rng())});
      }
    }
    const std::string report = shape.Build();
    ASSERT_LE(report.size(), 255U);
    const CFaultMap map = pelix::test::Decode(report, dataType);
    ASSERT_EQ(FaultMapAccess::DataValid(map), 1) << "round " << round;
    for (const FaultMapType kind : kAllKinds) ASSERT_EQ(FaultMapAccess::Map(map, kind), expected[kind]);
    if (shape.withTail) {
      ASSERT_EQ(FaultMapAccess::ReportTime(map), shape.reportTime);
      ASSERT_EQ(FaultMapAccess::Stamps(map).GetSize(), static_cast<int>(shape.stamps.size()));
      for (size_t i = 0; i < shape.stamps.size(); ++i) {
        const TimeStamps& got = FaultMapAccess::Stamps(map)[static_cast<int>(i)];
        ASSERT_EQ(got.mapType, shape.stamps[i].mapType);
        ASSERT_EQ(got.faultNo, shape.stamps[i].faultNo);
        ASSERT_EQ(got.seconds, shape.stamps[i].seconds);
      }
    }
  }
}

}  // namespace
