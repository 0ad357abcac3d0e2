#include "demo_data.h"

#include <sstream>

#include "faultmap_work.h"
#include "tool.h"

namespace pelix::tool {

DemoReports LoadDemoReports(const std::string& dataFolder) {
  DemoReports reports;
  const std::string folder = dataFolder + "reports/";
  reports.source = folder + "ts3-1.hex";
  reports.dataType = 7;  // the bundled series is of data type 7
  reports.series = ReadFile(reports.source);
  reports.names = ReadFile(folder + "fault_names.txt");
  // The report to decode on its own: the first one with an active fault.
  for (const auto& content : ContentLines(reports.series)) {
    const std::string& trimmed = content.second;
    if (reports.first.empty()) reports.first = trimmed;
    if (DecodeReport(ParseHex(trimmed), reports.dataType).active) {
      reports.first = trimmed;
      break;
    }
  }
  if (reports.first.empty()) throw OperationFailed("no report in " + reports.source);
  return reports;
}

}  // namespace pelix::tool
