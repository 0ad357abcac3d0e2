#include "fault_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <utility>

#include "tool.h"

namespace pelix::tool {

namespace {

const char* const kMoTypeNames[] = {"SO_CF", "SO_TRXC", "AO_TX", "AO_RX",  "AO_TS",
                                    "AO_TF", "AO_IS",   "AO_DP", "AO_CON", "AO_MCTR"};
const char* const kMapTypeNames[] = {"I1A", "I1B", "I2A", "EC1", "EC2", "RU"};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

int ParseNamed(const std::string& text, const char* const* names, int count, const char* prefix) {
  if (AllDigits(text)) {
    const int value = text.size() > 3 ? count : std::stoi(text);
    return value < count ? value : -1;
  }
  std::string upper = Upper(text);
  const std::string fullPrefix(prefix);
  if (upper.compare(0, fullPrefix.size(), fullPrefix) == 0) upper.erase(0, fullPrefix.size());
  for (int i = 0; i < count; ++i) {
    if (upper == names[i]) return i;
  }
  return -1;
}

}  // namespace

int ParseMoType(const std::string& text) { return ParseNamed(text, kMoTypeNames, 10, "MO_"); }

int ParseMapType(const std::string& text) { return ParseNamed(text, kMapTypeNames, 6, "FM_"); }

std::vector<FaultNameEntry> ParseFaultNames(const std::string& text) {
  std::vector<FaultNameEntry> entries;
  for (const auto& [number, trimmed] : ContentLines(text)) {
    std::istringstream fields(trimmed);
    std::string mo;
    std::string map;
    std::string fault;
    fields >> mo >> map >> fault;
    std::string name;
    std::getline(fields, name);
    name = Trim(name);
    const std::string where = "fault names line " + std::to_string(number) + ": ";
    FaultNameEntry entry;
    entry.moType = ParseMoType(mo);
    if (entry.moType < 0) throw UsageError(where + "unknown object type '" + mo + "'");
    entry.mapType = ParseMapType(map);
    if (entry.mapType < 0) throw UsageError(where + "unknown fault map '" + map + "'");
    if (!AllDigits(fault) || fault.size() > 2) throw UsageError(where + "fault number must be 0 to 99");
    entry.faultNo = std::stoi(fault);
    if (name.empty()) throw UsageError(where + "the name is missing");
    entry.name = name;
    entries.push_back(std::move(entry));
  }
  return entries;
}

void StoreFaultNames(const std::vector<FaultNameEntry>& entries) {
  CTableOfMonitorRptInTxt* table = CTableOfMonitorRptInTxt::Create();
  // One list per object type and map, positions without a line left empty.
  std::map<std::pair<int, int>, std::vector<std::string>> lists;
  for (const FaultNameEntry& entry : entries) {
    std::vector<std::string>& list = lists[{entry.moType, entry.mapType}];
    if (list.size() <= static_cast<size_t>(entry.faultNo)) list.resize(static_cast<size_t>(entry.faultNo) + 1);
    list[static_cast<size_t>(entry.faultNo)] = entry.name;
  }
  for (const auto& [key, names] : lists) {
    CArray<CString, CString> array;
    for (const std::string& name : names) array.Add(CString(name));
    table->StoreMonitorRpt(static_cast<MO_Type>(key.first), static_cast<FaultMapType>(key.second), array);
  }
}

}  // namespace pelix::tool
