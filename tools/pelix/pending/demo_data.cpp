#include "demo_data.h"

#include "tool.h"

namespace pelix::tool {

namespace {

// Timeslot 3 of SO 1 (AO TS3-1), enabled, data type 7. The first report
// raises I1A faults 5 and 9, each with its own time stamp; the second ceases
// 9 and raises EC1 fault 0 (no time stamps: the lines carry the report time);
// the third clears everything.
constexpr const char* kSeries =
    "# AO TS3-1, data type 7\n"
    "03030102102320020000000000000000000014000045753c1802000545753c04000945753c13\n"
    "03030102102320000000000000000000000014010045753fa600\n"
    "030301021023000000000000000000000000140000457543b600\n";

constexpr const char* kNames =
    "# MO_TYPE MAP FAULT_NO NAME\n"
    "AO_TS I1A 5 Timeslot synchronisation lost\n"
    "AO_TS I1A 9 Channel coder buffer overflow\n"
    "AO_TS EC1 0 External condition: power supply alarm\n";

}  // namespace

DemoReports LoadDemoReports(const std::string& /*dataFolder*/) {
  DemoReports reports;
  reports.source = "the built-in series";
  reports.dataType = 7;
  reports.series = kSeries;
  reports.first = "03030102102320020000000000000000000014000045753c1802000545753c04000945753c13";
  reports.names = kNames;
  return reports;
}

}  // namespace pelix::tool
