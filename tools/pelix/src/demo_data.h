// The fault map reports of the demo: the bundled series of the data folder
// (reports/ts3-1.hex, data type 7) and its fault names file.
#pragma once

#include <string>

namespace pelix::tool {

struct DemoReports {
  std::string source;  // where the reports come from
  int dataType = 7;
  std::string first;   // one report in hex
  std::string series;  // reports one per line
  std::string names;   // fault names file text
};

DemoReports LoadDemoReports(const std::string& dataFolder);

}  // namespace pelix::tool
