// Every report length 0..255 with random content, for every data type: the
// decoder stays inside the report, keeps its maps in shape and only calls a
// report decoded when its lengths add up. Runs under the sanitizers in CI;
// each report lives in a heap block of exactly its length, so a read past
// its end is caught there.

#include <algorithm>
#include <memory>
#include <random>

#include "tests/faultmap/fixture.h"

namespace pelix::test {
namespace {

const int kDataTypes[] = {2, 4, 5, 7, 0, 3};

bool WithStamps(int dataType) { return dataType == 5 || dataType == 7; }

// Random octets with, now and then, a length octet and a count octet that
// make the lengths add up, and block identifiers where blocks would start.
Bytes RandomReport(std::mt19937& rng, int length, int dataType) {
  Bytes octets(static_cast<size_t>(length));
  for (uint8_t& o : octets) o = static_cast<uint8_t>(rng() & 0xFF);
  if (length < 5 || rng() % 3 == 0) return octets;
  int areaLength = length - 5;
  if (WithStamps(dataType)) {
    const int count = static_cast<int>(rng() % 4 == 0 ? rng() % 256 : rng() % 8);
    areaLength = length - 5 - (6 * count + 5) % 256;
    if (areaLength < 0) return octets;
    if (9 + areaLength < length) octets[static_cast<size_t>(9 + areaLength)] = static_cast<uint8_t>(count);
  }
  octets[4] = static_cast<uint8_t>(areaLength);
  // Plant identifiers along the area, mostly of the right sizes.
  for (int position = 5; position < 5 + areaLength && rng() % 8 != 0;) {
    const FaultMapType kind = kAllKinds[rng() % 6];
    octets[static_cast<size_t>(position)] = Identifier(kind);
    position += MapSize(dataType, kind);
  }
  return octets;
}

void CheckInvariants(const Seen& s, const Bytes& octets, int dataType) {
  const int length = static_cast<int>(octets.size());
  SCOPED_TRACE("data type " + std::to_string(dataType) + ", length " + std::to_string(length));
  // Maps keep their sizes and identifiers whatever the report holds.
  bool anyFaultBit = false;
  int sumOfSizes = 0;
  for (const FaultMapType kind : kAllKinds) {
    const Bytes& bytes = s.maps[kind];
    sumOfSizes += MapSize(dataType, kind);
    ASSERT_EQ(static_cast<int>(bytes.size()), MapSize(dataType, kind));
    ASSERT_EQ(bytes[0], Identifier(kind));
    for (size_t i = 1; i < bytes.size(); ++i) anyFaultBit = anyFaultBit || bytes[i] != 0;
  }
  // MO octets come from the report, missing ones read as 0.
  std::vector<int> mo(4, 0);
  for (size_t i = 0; i < 4 && i < octets.size(); ++i) mo[i] = static_cast<int8_t>(octets[i]);
  ASSERT_EQ(s.mo, mo);
  const int areaLength = length > 4 ? octets[4] : 0;
  const bool countPresent = !WithStamps(dataType) || 9 + areaLength < length;
  const int countOctet = WithStamps(dataType) && countPresent ? octets[static_cast<size_t>(9 + areaLength)] : -1;
  const int tail = countOctet >= 0 ? (6 * countOctet + 5) % 256 : 0;
  const bool consistent = countPresent && areaLength <= sumOfSizes && 5 + areaLength + tail == length;
  ASSERT_TRUE(s.valid == 0 || (s.valid == 1 && consistent));
  const int entries = WithStamps(dataType) ? std::max(0, int(int8_t(countOctet))) : 0;
  ASSERT_TRUE(s.valid == 0 || int(s.stamps.size()) == entries);
  ASSERT_TRUE(consistent || !anyFaultBit);
  if (!consistent || !WithStamps(dataType)) {
    ASSERT_TRUE(s.stamps.empty());
    ASSERT_EQ(s.reportTime, 0U);
  }
  // Entries read all lie inside the report.
  ASSERT_LE(10 + areaLength + 6 * static_cast<int>(s.stamps.size()), std::max(length, 10 + areaLength));
  ASSERT_FALSE(s.changed);
}

TEST(FaultMapRobustness, EveryLengthWithRandomContent) {
  std::mt19937 rng(20240611U);
  int decoded = 0;
  for (const int dataType : kDataTypes) {
    CFaultMap kept(static_cast<OMS_tolva_mon_datatype_type>(dataType));
    for (int length = 0; length <= 255; ++length) {
      for (int sample = 0; sample < 6; ++sample) {
        const Bytes octets = RandomReport(rng, length, dataType);
        std::unique_ptr<char[]> exact(length > 0 ? new char[static_cast<size_t>(length)] : nullptr);
        std::copy(octets.begin(), octets.end(), exact.get());
        const CFaultMap map(exact.get(), static_cast<unsigned char>(length),
                            static_cast<OMS_tolva_mon_datatype_type>(dataType));
        const Seen s = See(map);
        ASSERT_NO_FATAL_FAILURE(CheckInvariants(s, octets, dataType));
        decoded += s.valid;

        // The terminal's road goes on with whatever came in.
        const CFaultMap copy(map);
        ASSERT_EQ(See(copy).maps[FM_I2A], s.maps[FM_I2A]);
        kept.UpdateFaultMap(copy);
        bool fault = false;
        ASSERT_EQ(kept.IsFault(fault), s.valid == 1 ? SR_OK : SR_INVALID_DATA);
        FaultText(kept);  // equal numbers of lines and items, no leak
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
    ReportShape shape{{}, WithStamps(dataType), static_cast<uint32_t>(rng()), {}, static_cast<uint8_t>(rng())};
    std::array<Bytes, 6> expected;
    for (const FaultMapType kind : kAllKinds) {
      expected[kind] = MapWith(kind, MapSize(dataType, kind));
      if (rng() % 2 == 0) continue;
      for (size_t i = 1; i < expected[kind].size(); ++i) expected[kind][i] = static_cast<uint8_t>(rng());
      shape.blocks.push_back(expected[kind]);
    }
    for (int i = static_cast<int>(shape.withTail ? rng() % 12 : 0); i > 0; --i) {
      shape.stamps.push_back(
          {static_cast<uint8_t>(rng() % 6), static_cast<uint8_t>(rng()), static_cast<uint32_t>(rng())});
    }
    const std::string report = shape.Build();
    ASSERT_LE(report.size(), 255U);
    const Seen s = See(Decode(report, dataType));
    ASSERT_EQ(s.valid, 1) << "round " << round;
    ASSERT_EQ(s.maps, expected);
    ASSERT_EQ(s.reportTime, shape.withTail ? shape.reportTime : 0U);
    ASSERT_EQ(s.stamps, shape.stamps);
  }
}

}  // namespace
}  // namespace pelix::test
