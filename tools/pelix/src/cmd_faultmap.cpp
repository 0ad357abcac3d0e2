// pelix faultmap decode, pelix faultmap track.
#include <iostream>
#include <memory>

#include "action.h"
#include "faultmap_work.h"
#include "tool.h"

namespace pelix::tool {

namespace {

std::string HexOf(const std::vector<unsigned char>& octets) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char octet : octets) {
    out.push_back(digits[octet >> 4]);
    out.push_back(digits[octet & 0x0F]);
  }
  return out;
}

int Decode(const std::string& input, int dataType, const std::string& namesFile) {
  const std::vector<unsigned char> octets = ParseHex(TextOrFile(input));
  if (octets.empty()) throw UsageError("the report is empty: give its octets in hex, @FILE or - for standard input");
  PrepareFaultNames(namesFile);
  const DecodedReport report = DecodeReport(octets, dataType);
  if (GlobalOptions().json) {
    nlohmann::json faults = nlohmann::json::array();
    for (const FaultLine& fault : report.faults) faults.push_back(FaultLineJson(fault));
    PrintJson({{"report", HexOf(report.octets)},
               {"length", report.octets.size()},
               {"dataType", report.dataType},
               {"decoded", report.decoded},
               {"object", report.faults.empty() ? "" : JsonText(report.faults.front().object)},
               {"state", JsonText(report.state)},
               {"active", report.active},
               {"faults", faults}});
    return kExitOk;
  }
  std::cout << "Report     " << report.octets.size() << " octets, data type " << report.dataType << "\n"
            << "Decoded    " << (report.decoded ? "yes" : "no (the report does not add up)") << "\n"
            << "State      " << Printable(report.state) << "\n";
  if (!report.decoded) return kExitOk;
  std::cout << "Object     " << (report.faults.empty() ? "-" : Printable(report.faults.front().object)) << "\n"
            << "Active     " << (report.active ? "yes" : "no") << "\n";
  if (report.faults.empty()) return kExitOk;
  Table table({"MAP", "FAULT", "TIME", "NAME"});
  for (const FaultLine& fault : report.faults) {
    const std::string time = Trim(fault.time).empty() ? "-" : fault.time;
    table.AddRow({fault.mapTitle, fault.faultId, time, fault.name.empty() ? "-" : Printable(fault.name)});
  }
  std::cout << "\n" << table.Render();
  return kExitOk;
}

int Track(const std::string& file, int dataType, const std::string& namesFile) {
  const std::string text = ReadFile(file);
  PrepareFaultNames(namesFile);
  const TrackResult result = TrackReports(text, dataType);
  if (result.reports.empty()) throw UsageError("no report in " + (file == "-" ? "standard input" : file));
  int raised = 0;
  int ceased = 0;
  for (const TrackedReport& report : result.reports) {
    for (const FaultLine& line : report.lines) {
      if (line.status == "RAISED") ++raised;
      if (line.status == "CEASED") ++ceased;
    }
  }
  if (GlobalOptions().json) {
    nlohmann::json reports = nlohmann::json::array();
    for (const TrackedReport& report : result.reports) {
      nlohmann::json lines = nlohmann::json::array();
      for (const FaultLine& line : report.lines) lines.push_back(FaultLineJson(line));
      reports.push_back({{"line", report.lineNo},
                         {"decoded", report.decoded},
                         {"changed", report.changed},
                         {"state", JsonText(report.state)},
                         {"faults", lines}});
    }
    PrintJson({{"dataType", dataType},
               {"reports", reports},
               {"raised", raised},
               {"ceased", ceased},
               {"active", result.active}});
    return kExitOk;
  }
  for (const TrackedReport& report : result.reports) {
    std::cout << "# report on line " << report.lineNo << ": " << Printable(report.state)
              << (report.changed ? "" : ", no fault changed") << "\n";
    for (const FaultLine& line : report.lines) std::cout << Printable(FaultLineText(line)) << "\n";
  }
  std::cout << "# " << result.reports.size() << " reports, " << raised << " raised, " << ceased
            << " ceased; faults active now: " << (result.active ? "yes" : "no") << "\n";
  return kExitOk;
}

struct FaultmapArgs {
  int dataType = 7;
  std::string names;
  std::string input;
};

void AddCommonOptions(CLI::App* cmd, FaultmapArgs& args) {
  cmd->add_option("--type", args.dataType, "Data type of the station's monitored data: 2, 4, 5 or 7")
      ->check(OneOf({"2", "4", "5", "7"}))
      ->capture_default_str();
  cmd->add_option("--names", args.names,
                  "Fault names file ('-': standard input): lines 'MO_TYPE MAP FAULT_NO NAME', e.g. "
                  "'AO_TS I1A 5 Timeslot lost'");
}

}  // namespace

void AddFaultmapCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("faultmap", "Decode fault map reports and track the changes between them");
  group->require_subcommand(1);
  group->footer(
      "Examples:\n  pelix faultmap decode --type 2 030301021023200000000000000000000000140100\n"
      "  pelix faultmap track --names data/reports/fault_names.txt data/reports/ts3-1.hex");

  auto decode = std::make_shared<FaultmapArgs>();
  CLI::App* decodeCmd = group->add_subcommand(
      "decode", "Decode one report: object, state, the faults of each map with their times, and whether it decoded");
  AddCommonOptions(decodeCmd, *decode);
  decodeCmd
      ->add_option("REPORT", decode->input,
                   "The report's octets in hex, @FILE to read them from a file, - from standard input")
      ->required();
  decodeCmd->footer(
      "A report without time stamps shows the current time as the time of its faults.\n\n"
      "Example:\n"
      "  pelix faultmap decode --type 2 030301021023200000000000000000000000140100\n"
      "decodes a report of AO TS3-1 (timeslot 3 of SO 1), enabled, with I1A fault 5 and EC1 fault 0.");
  decodeCmd->callback(
      [decode] { SetAction([decode] { return Decode(decode->input, decode->dataType, decode->names); }); });

  auto track = std::make_shared<FaultmapArgs>();
  CLI::App* trackCmd = group->add_subcommand(
      "track",
      "Merge a series of reports (one hex report per line) into a kept map and print what was raised and ceased");
  AddCommonOptions(trackCmd, *track);
  trackCmd
      ->add_option("FILE", track->input,
                   "Reports, one per line in hex ('-': standard input); '#' starts a comment line")
      ->required();
  trackCmd->footer("Example:\n  pelix faultmap track --names data/reports/fault_names.txt data/reports/ts3-1.hex");
  trackCmd->callback([track] { SetAction([track] { return Track(track->input, track->dataType, track->names); }); });
}

}  // namespace pelix::tool
