// The fault map reports of the demo: the bundled series when the data folder
// has one, otherwise a short series built into the tool.
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
