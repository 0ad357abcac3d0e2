// The command line of the tool: global options, the command groups, the exit
// codes and how failures are reported.
#include <functional>
#include <iostream>

#include "action.h"
#include "tool.h"

namespace pelix::tool {

namespace {

std::function<int()>& PendingAction() {
  static std::function<int()> action;
  return action;
}

constexpr const char* kDescription =
    "pelix - the Pelix maintenance terminal's library from the command line.\n"
    "Decodes and tracks fault map reports, looks up fault codes, lists the monitor\n"
    "catalogue, reads software packages, loads them onto a flash card and reads\n"
    "the card back, and reads and writes the terminal's settings.";

constexpr const char* kFooter =
    "Exit codes: 0 success, 1 the operation failed (with the result code's name),\n"
    "2 bad usage.\n\n"
    "Examples:\n"
    "  pelix demo\n"
    "  pelix faultmap decode --type 2 030301021023200000000000000000000000140100\n"
    "  pelix --json monitors show R42-A\n"
    "  pelix card load --kind H40 data/package /media/card\n\n"
    "Run 'pelix COMMAND --help' for the options and an example of each command.";

}  // namespace

void SetAction(std::function<int()> action) { PendingAction() = std::move(action); }

void BuildApp(CLI::App& app) {
  app.description(kDescription);
  app.footer(kFooter);
  app.fallthrough();  // global options may also follow the command
  app.set_version_flag("--version", std::string("pelix ") + PELIX_VERSION);
  Options& options = GlobalOptions();
  app.add_flag("--trace", options.trace,
               "Switch on the library's error handler and write its nested trace to standard error");
  app.add_flag("--json", options.json, "Print the result of a query command as one JSON document");

  AddFaultmapCommands(app);
  AddFaultcodeCommands(app);
  AddMonitorCommands(app);
  AddPackageCommands(app);
  AddCardCommands(app);
  AddSettingsCommands(app);
  AddDemoCommand(app);
  // Set last: subcommands made afterwards would inherit the requirement.
  app.require_subcommand(1);
}

int Run(int argc, const char* const* argv) {
  GlobalOptions() = Options();
  PendingAction() = nullptr;
  CLI::App app;
  app.name("pelix");
  BuildApp(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  try {
    InstallToolHost(GlobalOptions().trace);
    if (!PendingAction()) throw UsageError("no command given");
    return PendingAction()();
  } catch (const UsageError& e) {
    std::cout.flush();
    std::cerr << "pelix: " << e.what() << "\nRun with --help for more information.\n";
    return kExitUsage;
  } catch (const OperationFailed& e) {
    std::cout.flush();
    std::cerr << "pelix: " << e.what();
    if (!e.Code().empty()) std::cerr << " (" << e.Code() << ")";
    std::cerr << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    // An index check of the library's arrays, an XML query error, ...
    std::cout.flush();
    std::cerr << "pelix: failed: " << e.what() << '\n';
    return kExitFailed;
  }
}

}  // namespace pelix::tool
