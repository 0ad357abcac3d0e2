// Builds fault map report octets for the fault map tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "pelix/fault_map.h"

namespace pelix::test {

inline uint8_t Identifier(FaultMapType kind) {
  static const uint8_t ids[] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};
  return ids[kind];
}

// Map sizes of data type 7 (the default), 5, 4, 2 and any other.
inline int MapSize(int dataType, FaultMapType kind) {
  static const int s7[] = {13, 13, 17, 3, 9, 13};
  static const int s5[] = {13, 13, 13, 3, 7, 13};
  static const int s2[] = {13, 13, 13, 3, 3, 13};
  static const int so[] = {7, 7, 7, 3, 3, 7};
  switch (dataType) {
    case 7: return s7[kind];
    case 5:
    case 4: return s5[kind];
    case 2: return s2[kind];
    default: return so[kind];
  }
}

// A map of `size` octets: the identifier, then fault octets with the given
// fault numbers set.
inline std::vector<uint8_t> MapWith(FaultMapType kind, int size, std::initializer_list<int> faults = {}) {
  std::vector<uint8_t> map(static_cast<size_t>(size), 0);
  map[0] = Identifier(kind);
  for (const int f : faults) map.at(static_cast<size_t>(f / 8 + 1)) |= static_cast<uint8_t>(1U << (f % 8));
  return map;
}

struct Stamp {
  uint8_t mapType;
  uint8_t faultNo;
  uint32_t seconds;
};

inline void PutDword(std::string& out, uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>(value >> 16);
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value);
}

// A report: MO header, area made of the given blocks and, when withTail, the
// report time, the count and the entries.
struct ReportSpec {
  uint8_t moClass = 3;
  uint8_t moInstance = 3;
  uint8_t moAssociatedSO = 1;
  uint8_t moState = 2;
  std::vector<std::vector<uint8_t>> blocks;
  bool withTail = false;
  uint32_t reportTime = 0;
  std::vector<Stamp> stamps;

  std::string Build() const {
    std::string area;
    for (const auto& block : blocks) area.append(block.begin(), block.end());
    std::string out;
    out += static_cast<char>(moClass);
    out += static_cast<char>(moInstance);
    out += static_cast<char>(moAssociatedSO);
    out += static_cast<char>(moState);
    out += static_cast<char>(area.size());
    out += area;
    if (withTail) {
      PutDword(out, reportTime);
      out += static_cast<char>(stamps.size());
      for (const Stamp& s : stamps) {
        out += static_cast<char>(s.mapType);
        out += static_cast<char>(s.faultNo);
        PutDword(out, s.seconds);
      }
    }
    return out;
  }
};

// Decodes a report given as a string of octets.
inline CFaultMap Decode(const std::string& report, int dataType) {
  return CFaultMap(report.data(), static_cast<unsigned char>(report.size()),
                   static_cast<OMS_tolva_mon_datatype_type>(dataType));
}

}  // namespace pelix::test
