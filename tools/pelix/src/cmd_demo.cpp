// pelix demo: the main job of the library on bundled data, start to finish.
// Everything it writes (the card, the registry hives, the library's temporary
// copies) lives in one scratch folder that is removed at the end.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "action.h"
#include "demo_data.h"
#include "fault_names.h"
#include "faultcode_work.h"
#include "faultmap_work.h"
#include "monitor_work.h"
#include "settings_work.h"
#include "swload_commands.h"
#include "tool.h"

namespace fs = std::filesystem;

namespace pelix::tool {

namespace {

// Restores an environment variable when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name); old != nullptr) {
      m_had = true;
      m_old = old;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_had) {
      setenv(m_name, m_old.c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  bool m_had = false;
  std::string m_old;
};

// The demo's text goes to `out` (nowhere with --json); what each step found
// goes into `doc`, which --json prints.
struct DemoOutput {
  std::ostream& out;
  nlohmann::json& doc;
};

void Heading(std::ostream& out, int step, const char* title) { out << "\n== " << step << "/5 " << title << "\n"; }

void FaultMaps(const DemoOutput& o, const DemoReports& reports) {
  Heading(o.out, 1, "Fault map reports");
  PrepareFaultNames(std::string());
  StoreFaultNames(ParseFaultNames(reports.names));
  o.out << "Decoding the first report of " << reports.source << ":\n  " << reports.first << "\n";
  const DecodedReport decoded = DecodeReport(ParseHex(reports.first), reports.dataType);
  o.out << "  decoded " << (decoded.decoded ? "yes" : "no") << ", state " << decoded.state << ", object "
        << (decoded.faults.empty() ? "-" : decoded.faults.front().object) << ", " << decoded.faults.size()
        << " faults active\n";
  if (!decoded.decoded) throw OperationFailed("the bundled report did not decode");

  o.out << "Tracking the series (the kept map takes in one report after the other):\n";
  const TrackResult track = TrackReports(reports.series, reports.dataType);
  nlohmann::json lines = nlohmann::json::array();
  for (const TrackedReport& report : track.reports) {
    o.out << "  report on line " << report.lineNo << ": " << report.state << (report.changed ? "" : ", nothing changed")
          << "\n";
    for (const FaultLine& line : report.lines) {
      o.out << "    " << Printable(FaultLineText(line)) << "\n";
      lines.push_back(FaultLineJson(line));
    }
  }
  o.out << "  faults active after the series: " << (track.active ? "yes" : "no") << "\n";
  o.doc["faultmap"] = {{"source", JsonPath(reports.source)}, {"decoded", decoded.decoded},
                       {"state", JsonText(decoded.state)},   {"activeFaults", decoded.faults.size()},
                       {"reports", track.reports.size()},    {"changes", lines},
                       {"activeAfterSeries", track.active}};
}

void FaultCode(const DemoOutput& o, const std::string& data) {
  Heading(o.out, 2, "Fault code look-up");
  const std::string code = "BTS CF I1A:1";
  o.out << "Looking up '" << code << "' for cabinet 1 in " << data << "faultcodes.xml:\n";
  const FaultCodeAnswer answer = LookUpFaultCode(data + "faultcodes.xml", 1, code);
  if (&o.out == &std::cout) PrintFaultCodeAnswer(answer);
  o.doc["faultcode"] = {{"code", code},
                        {"cabinet", 1},
                        {"description", JsonText(answer.description)},
                        {"action", JsonText(answer.action)}};
}

void Monitors(const DemoOutput& o) {
  Heading(o.out, 3, "Monitor catalogue");
  const std::vector<MonitorRow> all = AllMonitors();
  const std::vector<MonitorRow> micro = MonitorsForCabinet(34);
  o.out << all.size() << " monitors in the catalogue, " << micro.size()
        << " offered for cabinet type 34. The TMA current monitors:\n";
  const std::vector<MonitorRow> tma = SearchMonitors("TMA0CUR");
  o.out << MonitorTable(tma);
  const std::vector<MonitorRow> found = FindMonitors("R42-A");
  if (found.size() == 1) {
    const MonitorRow& row = found.front();
    o.out << "Short id R42-A is monitor " << row.id << ": " << row.displayName << " (" << row.internalName << ")\n";
  }
  o.doc["monitors"] = {{"catalogue", all.size()}, {"cabinet34", micro.size()}, {"tmaCurrent", tma.size()}};
}

void Card(const DemoOutput& o, const std::string& data, const std::string& scratch) {
  Heading(o.out, 4, "Software onto a flash card");
  const std::string card = scratch + "card/";
  fs::create_directories(card);
  o.out << "Loading " << data << "package/ for H40 onto a temporary card:\n";
  o.out.flush();
  const CardLoadResult load = LoadCard(data + "package", card, ZCU_H40, !GlobalOptions().quiet, false);
  if (load.result != SR_OK) {
    throw OperationFailed("loading the bundled package failed", ServiceResultName(load.result));
  }
  o.out << "  " << load.packageName << " " << load.revision << ": " << load.bytes
        << " bytes written and verified; on the card:";
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(card)) {
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), card).string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) o.out << " " << name;
  o.out << "\nReading the card back:\n";
  const CardInfoResult info = ReadCard(card);
  o.out << "  present " << (info.present ? "yes" : "no") << ", software " << (info.verify == SR_OK ? "yes" : "no")
        << ", name " << Printable(info.name) << ", revision " << Printable(info.revision) << "\n";
  o.doc["card"] = {{"package", JsonText(load.packageName)},
                   {"revision", JsonText(load.revision)},
                   {"bytes", load.bytes},
                   {"files", names},
                   {"software", info.verify == SR_OK},
                   {"name", JsonText(info.name)}};
}

void Settings(const DemoOutput& o, const std::string& scratch) {
  Heading(o.out, 5, "Settings");
  const std::string hives = scratch + "registry";
  fs::create_directories(hives);
  ScopedEnv registry("PELIX_REGISTRY_DIR", hives);
  SettingRef ref{"Terminal", "LastCard", "Software\\Pelix"};
  CreateUserKey(ref);
  SetSetting(ref, "H40 card loaded by the demo", false);
  std::string text;
  const bool found = GetSetting(ref, false, text);
  SettingRef number{"Terminal", "Loads", "Software\\Pelix"};
  SetSetting(number, "42", true);
  std::string count;
  const bool foundCount = GetSetting(number, true, count);
  o.out << "Wrote and read back under HKEY_CURRENT_USER\\Software\\Pelix\\Terminal (a temporary hive):\n"
        << "  LastCard = " << (found ? text : "(missing)") << "\n"
        << "  Loads    = " << (foundCount ? count : "(missing)") << "\n";
  if (!found || !foundCount) throw OperationFailed("a setting did not read back");
  o.doc["settings"] = {{"LastCard", JsonText(text)}, {"Loads", std::stoul(count)}};
}

int Demo() {
  const auto start = std::chrono::steady_clock::now();
  const std::string data = DataFolder();
  const DemoReports reports = LoadDemoReports(data);
  std::ostream nowhere(nullptr);
  nlohmann::json doc = {{"data", JsonPath(data)}};
  const DemoOutput o{GlobalOptions().json ? nowhere : std::cout, doc};
  o.out << "pelix demo: the library's main job on the bundled data in " << data << "\n";
  {
    ScratchFolder scratch("demo");
    ScopedTempDir tempDir(scratch.Path());
    FaultMaps(o, reports);
    FaultCode(o, data);
    Monitors(o);
    Card(o, data, scratch.Path());
    Settings(o, scratch.Path());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.2f", seconds);
  o.out << "\nDemo finished in " << elapsed << " s; its temporary card, hives and copies are removed.\n";
  doc["seconds"] = seconds;
  if (GlobalOptions().json) PrintJson(doc);
  return kExitOk;
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  CLI::App* demo = app.add_subcommand(
      "demo",
      "Run the main job on the bundled data: decode and track reports, look up a fault, list monitors, load a "
      "package onto a temporary card and read it back, write and read a setting");
  demo->footer(
      "Nothing is left behind. The data folder is found next to the tool, in the\n"
      "source tree or in the installed share folder; PELIX_DATA_DIR overrides it.\n\n"
      "Example:\n  pelix demo");
  demo->callback([] { SetAction([] { return Demo(); }); });
}

}  // namespace pelix::tool
