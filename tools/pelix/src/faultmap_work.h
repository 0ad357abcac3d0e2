// The fault map work shared by `pelix faultmap` and the demo: decoding one
// report and tracking a series of reports in a kept map, both through the
// library's public fault map operations.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelix::tool {

// One raised or ceased fault as the library's fault text gives it.
struct FaultLine {
  std::string line;      // the library's line, time text first
  std::string time;      // the time text (19 characters; blanks when none)
  std::string object;    // "AO TS3-1"
  std::string faultId;   // "I1A:5"
  std::string status;    // "RAISED" or "CEASED"
  std::string moType;    // object type name from the host's table
  std::string mapTitle;  // "Internal Fault Map Class 1A"
  std::string name;      // fault name from the fault name table
};

struct DecodedReport {
  std::vector<unsigned char> octets;
  int dataType = 7;
  bool decoded = false;
  bool active = false;            // any fault bit set (only when decoded)
  std::string state;              // the library's state text
  std::vector<FaultLine> faults;  // every fault bit set, as raised lines
};

struct TrackedReport {
  int lineNo = 0;  // line of the input file
  bool decoded = false;
  bool changed = false;
  std::string state;
  std::vector<FaultLine> lines;  // raised and ceased by this report
};

struct TrackResult {
  std::vector<TrackedReport> reports;
  bool active = false;  // any fault active in the kept map at the end
  bool valid = false;   // the kept map holds decoded data
};

// Splits the library's fault line into time, object, fault id and status.
void SplitFaultLine(FaultLine& fault);
DecodedReport DecodeReport(const std::vector<unsigned char>& octets, int dataType);
// One hexadecimal report per line; blank lines and lines starting with '#'
// are skipped.
TrackResult TrackReports(const std::string& text, int dataType);

nlohmann::json FaultLineJson(const FaultLine& fault);
std::string FaultLineText(const FaultLine& fault);
// Loads the names file into the fault name table, which is always made.
void PrepareFaultNames(const std::string& namesFile);

}  // namespace pelix::tool
