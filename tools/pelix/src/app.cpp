// The command line of the tool: global options, the command groups, the exit
// codes and how failures are reported.
#include <algorithm>
#include <cctype>
#include <cstring>
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
    "Exit codes: 0 success; 1 the operation failed (a missing card, a full disk, a\n"
    "file that cannot be read or written); 2 bad usage (an unknown command or option,\n"
    "a value the library does not accept, an input file that does not exist or is\n"
    "empty). '-' reads a report, a text or a file from standard input.\n\n"
    "Examples:\n"
    "  pelix demo\n"
    "  pelix faultmap decode --type 2 030301021023200000000000000000000000140100\n"
    "  pelix --json monitors show R42-A\n"
    "  pelix card load --kind H40 data/package /media/card\n\n"
    "Run 'pelix COMMAND --help' for the options and an example of each command.";

constexpr const char* kGlobalHelp =
    "Global options (before or after the command):\n"
    "  --json     Print one JSON document on standard output, also on failure\n"
    "  --quiet    No progress display\n"
    "  --trace    Write the library's nested trace to standard error";

// "pelix", "pelix faultmap", "pelix faultmap decode".
std::string CommandPath(const std::vector<CLI::App*>& chain) {
  std::string path;
  for (const CLI::App* app : chain) path += (path.empty() ? "" : " ") + app->get_name();
  return path;
}

// Edit distance with adjacent transpositions counted as one edit.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// The candidate nearest to `word`, or "" when none is near enough to be a typo.
// A single-letter option is matched against the first letter of long names.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = Distance(Lower(word), Lower(candidate));
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  if (best.empty() && word.size() == 2 && word[0] == '-') {
    std::vector<std::string> initials;
    for (const std::string& candidate : candidates) {
      if (candidate.size() > 2 && std::tolower(candidate[2]) == std::tolower(word[1])) initials.push_back(candidate);
    }
    if (initials.size() == 1) best = initials.front();
  }
  return best;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string nearest = Nearest(word, candidates);
  return nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?";
}

std::vector<std::string> SubcommandNames(CLI::App* app) {
  std::vector<std::string> names;
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) names.push_back(sub->get_name());
  return names;
}

std::vector<std::string> OptionNames(const std::vector<CLI::App*>& chain) {
  std::vector<std::string> names;
  for (CLI::App* app : chain) {
    for (const CLI::Option* option : app->get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  }
  return names;
}

CLI::Option* FindOption(const std::vector<CLI::App*>& chain, const std::string& name) {
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (CLI::Option* option = (*it)->get_option_no_throw(name)) return option;
  }
  return nullptr;
}

// Checks the command words and option names before the parser sees them, so
// that a typo is answered with the nearest name rather than a generic error.
void CheckWords(CLI::App& app, const std::vector<std::string>& args) {
  std::vector<CLI::App*> chain{&app};
  bool help = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]))) {
      const std::string name = arg.substr(0, arg.find('='));
      const CLI::Option* option = FindOption(chain, name);
      if (option == nullptr) {
        throw UsageError("'" + name + "' is not an option of " + CommandPath(chain) +
                         DidYouMean(name, OptionNames(chain)));
      }
      help = help || name == "--help" || name == "-h" || name == "--version";
      if (option->get_items_expected_max() > 0 && name.size() == arg.size()) ++i;  // its value follows
      continue;
    }
    const std::vector<std::string> subs = SubcommandNames(chain.back());
    if (subs.empty()) continue;  // an argument of the command
    if (std::find(subs.begin(), subs.end(), arg) == subs.end()) {
      throw UsageError("'" + arg + "' is not a " + CommandPath(chain) + " command" + DidYouMean(arg, subs));
    }
    chain.push_back(chain.back()->get_subcommand(arg));
  }
  if (!help && chain.back()->get_require_subcommand_min() > 0) {
    std::string list;
    for (const std::string& sub : SubcommandNames(chain.back())) list += (list.empty() ? "" : ", ") + sub;
    throw UsageError(CommandPath(chain) + " needs a command: " + list);
  }
}

void AddGlobalHelp(CLI::App* app) {
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) {
    sub->footer(sub->get_footer() + "\n\n" + kGlobalHelp);
    AddGlobalHelp(sub);
  }
}

// The bash completion script: the command words and options of every
// command, taken from the tree itself, with file names as the fallback.
void CompletionCases(CLI::App* app, const std::string& path, std::string& cases, std::string& paths) {
  std::string commands;
  std::string options = "--json --quiet --trace";
  for (const std::string& name : SubcommandNames(app)) commands += (commands.empty() ? "" : " ") + name;
  for (const CLI::Option* option : app->get_options()) {
    for (const std::string& name : option->get_lnames()) options += " --" + name;
  }
  cases += "    '" + path + "') cmds='" + commands + "' opts='" + options + "' ;;\n";
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; })) {
    paths += (paths.empty() ? "'" : "|'") + path + " " + sub->get_name() + "'";
    CompletionCases(sub, path + " " + sub->get_name(), cases, paths);
  }
}

std::string CompletionScript(CLI::App& app) {
  std::string cases;
  std::string paths;
  CompletionCases(&app, "", cases, paths);
  return "# bash completion for pelix, generated from the tool's command tree\n"
         "_pelix() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} path='' i cmds='' opts=''\n"
         "  case $prev in\n"
         "    --kind) COMPREPLY=($(compgen -W 'H40 J40 H50 QMS ALL H30 ALL_BUT_WB' -- \"$cur\")); return ;;\n"
         "    --type) COMPREPLY=($(compgen -W '2 4 5 7' -- \"$cur\")); return ;;\n"
         "  esac\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    case \"$path ${COMP_WORDS[i]}\" in\n"
         "      " +
         paths +
         ") path=\"$path ${COMP_WORDS[i]}\" ;;\n"
         "    esac\n"
         "  done\n"
         "  case $path in\n" +
         cases +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
         "  elif [[ -n $cmds ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$cmds\" -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o default -F _pelix pelix\n";
}

// Writes a failure: a JSON document on standard output with --json, a line on
// standard error otherwise. Returns the exit code.
int Fail(int exitCode, const std::string& message, const std::string& result = std::string()) {
  if (GlobalOptions().json) {
    nlohmann::json document = {{"error", JsonText(message)}, {"code", exitCode}};
    if (!result.empty()) document["result"] = result;
    PrintJson(document);
  } else {
    std::cout.flush();
    std::cerr << "pelix: " << message;
    if (!result.empty()) std::cerr << " (" << result << ")";
    std::cerr << (exitCode == kExitUsage ? "\nRun with --help for more information.\n" : "\n");
  }
  return exitCode;
}

int RunParsed(CLI::App& app, int argc, const char* const* argv, const std::vector<std::string>& args) {
  try {
    CheckWords(app, args);
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    return Fail(kExitUsage, e.what());
  } catch (const UsageError& e) {
    return Fail(kExitUsage, e.what());
  }
  try {
    InstallToolHost(GlobalOptions().trace);
    if (!PendingAction()) throw UsageError("no command given");
    return PendingAction()();
  } catch (const UsageError& e) {
    return Fail(kExitUsage, e.what());
  } catch (const OperationFailed& e) {
    return Fail(kExitFailed, e.what(), e.Code());
  } catch (const std::exception& e) {
    // An index check of the library's arrays, an XML query error, ...
    return Fail(kExitFailed, std::string("failed: ") + e.what());
  }
}

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
  app.add_flag("--json", options.json,
               "Print one JSON document on standard output, success or failure ({\"error\": ..., \"code\": ...})");
  app.add_flag("--quiet", options.quiet, "Show no progress display");

  AddFaultmapCommands(app);
  AddFaultcodeCommands(app);
  AddMonitorCommands(app);
  AddPackageCommands(app);
  AddCardCommands(app);
  AddSettingsCommands(app);
  AddDemoCommand(app);
  AddGlobalHelp(&app);
  // Set last: subcommands made afterwards would inherit the requirement.
  app.require_subcommand(1);
}

int Run(int argc, const char* const* argv) {
  GlobalOptions() = Options();
  PendingAction() = nullptr;
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Known before parsing, so that a usage error is a JSON document too.
  GlobalOptions().json = std::find(args.begin(), std::find(args.begin(), args.end(), "--"), "--json") != args.end();
  CheckedStandardOutput output;
  CLI::App app;
  app.name("pelix");
  BuildApp(app);
  int code = kExitOk;
  if (args.size() == 2 && args[0] == "--completion" && args[1] == "bash") {
    std::cout << CompletionScript(app);
  } else {
    code = RunParsed(app, argc, argv, args);
  }
  const std::string writeError = output.Finish();
  if (!writeError.empty()) {
    std::cerr << "pelix: cannot write to standard output: " << writeError << '\n';
    return kExitFailed;
  }
  return code;
}

}  // namespace pelix::tool
