#include "faultmap_work.h"

#include <sstream>

#include <pelix/common.h>

#include "fault_names.h"
#include "tool.h"

namespace pelix::tool {

namespace {

constexpr std::size_t kTimeTextLength = 19;

// The items handed over by GetFaultMaps belong to the caller.
struct FaultText {
  FaultText() = default;
  FaultText(const FaultText&) = delete;
  FaultText& operator=(const FaultText&) = delete;
  ~FaultText() {
    for (int i = 0; i < items.GetSize(); ++i) delete items[i];
  }
  CArray<CString, CString> lines;
  CArray<FaultMapItem*, FaultMapItem*> items;
};

std::vector<FaultLine> Collect(const CFaultMap& map) {
  FaultText text;
  map.GetFaultMaps(text.lines, text.items);
  std::vector<FaultLine> out;
  for (int i = 0; i < text.lines.GetSize(); ++i) {
    FaultLine fault;
    fault.line = Str(text.lines[i]);
    if (i < text.items.GetSize() && text.items[i] != nullptr) {
      const FaultMapItem& item = *text.items[i];
      fault.moType = Str(item.moTypeText);
      fault.mapTitle = Str(item.mapTitle);
      fault.name = Str(item.faultName);
    }
    SplitFaultLine(fault);
    out.push_back(std::move(fault));
  }
  return out;
}

OMS_tolva_mon_datatype_type DataType(int value) { return static_cast<OMS_tolva_mon_datatype_type>(value); }

CFaultMap Decode(const std::vector<unsigned char>& octets, int dataType) {
  if (octets.size() > 255)
    throw UsageError("a report has at most 255 octets, this one " + std::to_string(octets.size()));
  return CFaultMap(octets.empty() ? nullptr : reinterpret_cast<const char*>(octets.data()),
                   static_cast<unsigned char>(octets.size()), DataType(dataType));
}

}  // namespace

void SplitFaultLine(FaultLine& fault) {
  const std::string& line = fault.line;
  // time text, " ", object id, " ", fault id, " ", status
  if (line.size() <= kTimeTextLength + 1 || line[kTimeTextLength] != ' ') return;
  const std::size_t statusAt = line.rfind(' ');
  if (statusAt == std::string::npos || statusAt <= kTimeTextLength) return;
  const std::size_t idAt = line.rfind(' ', statusAt - 1);
  if (idAt == std::string::npos || idAt < kTimeTextLength + 1) return;
  fault.time = line.substr(0, kTimeTextLength);
  fault.object = line.substr(kTimeTextLength + 1, idAt - kTimeTextLength - 1);
  fault.faultId = line.substr(idAt + 1, statusAt - idAt - 1);
  fault.status = line.substr(statusAt + 1);
}

DecodedReport DecodeReport(const std::vector<unsigned char>& octets, int dataType) {
  DecodedReport report;
  report.octets = octets;
  report.dataType = dataType;
  const CFaultMap decoded = Decode(octets, dataType);
  bool fault = false;
  report.decoded = decoded.IsFault(fault) == SR_OK;
  report.active = report.decoded && fault;
  CString state;
  decoded.GetMO_State(state);
  report.state = Str(state);
  if (report.decoded) {
    // Merged into an empty kept map, every fault bit of the report is raised.
    CFaultMap kept(DataType(dataType));
    kept.UpdateFaultMap(decoded);
    report.faults = Collect(kept);
  }
  return report;
}

TrackResult TrackReports(const std::string& text, int dataType) {
  TrackResult result;
  CFaultMap kept(DataType(dataType));
  for (const auto& [number, trimmed] : ContentLines(text)) {
    std::vector<unsigned char> octets;
    try {
      octets = ParseHex(trimmed);
    } catch (const UsageError& e) {
      throw UsageError("line " + std::to_string(number) + ": " + e.what());
    }
    const CFaultMap report = Decode(octets, dataType);
    kept.UpdateFaultMap(report);
    TrackedReport tracked;
    tracked.lineNo = number;
    bool fault = false;
    tracked.decoded = report.IsFault(fault) == SR_OK;
    tracked.changed = kept.IsChanged();
    CString state;
    kept.GetMO_State(state);
    tracked.state = Str(state);
    tracked.lines = Collect(kept);
    result.reports.push_back(std::move(tracked));
  }
  bool fault = false;
  result.valid = kept.IsFault(fault) == SR_OK;
  result.active = result.valid && fault;
  return result;
}

nlohmann::json FaultLineJson(const FaultLine& fault) {
  return {{"line", JsonText(fault.line)},         {"time", IsoTime(fault.time)},
          {"object", JsonText(fault.object)},     {"faultId", JsonText(fault.faultId)},
          {"status", JsonText(fault.status)},     {"moType", JsonText(fault.moType)},
          {"mapTitle", JsonText(fault.mapTitle)}, {"name", JsonText(fault.name)}};
}

std::string FaultLineText(const FaultLine& fault) {
  if (fault.name.empty()) return fault.line;
  return fault.line + "  " + fault.name;
}

void PrepareFaultNames(const std::string& namesFile) {
  CTableOfMonitorRptInTxt::Create();
  if (!namesFile.empty()) StoreFaultNames(ParseFaultNames(ReadFile(namesFile)));
}

}  // namespace pelix::tool
