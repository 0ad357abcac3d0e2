// pelix faultcode lookup.
#include <fstream>
#include <iostream>
#include <memory>

#include <pugixml.hpp>

#include "action.h"
#include "faultcode_work.h"
#include "tool.h"

namespace pelix::tool {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

void PrintSection(const char* title, const std::string& text) {
  std::cout << title << "\n";
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty()) std::cout << "  (none)\n";
  for (const std::string& line : lines) std::cout << "  " << Printable(line) << "\n";
}

// Why the database did not load: the XML parser's reason and the byte offset
// where it stopped, or that the document is no fault database.
std::string LoadFailure(const std::string& database) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(database.c_str());
  if (!parsed) {
    return std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
  }
  return "the document is no fault database (its root element is '" + std::string(document.first_child().name()) + "')";
}

}  // namespace

std::string CabinetClass(int cabinet) {
  if (cabinet < 0 || cabinet > 64) return "unidentified";
  return Str(g_cabinetTypeTexts[cabinet]);
}

FaultCodeAnswer LookUpFaultCode(const std::string& database, int cabinet, const std::string& code) {
  CFaultCodeParser parser;
  CheckInputFile(database);
  if (parser.Init(database.c_str()) != 1) {
    throw OperationFailed("cannot load the fault database " + database + ": " + LoadFailure(database));
  }
  std::unique_ptr<CFaultCodeDescription> record(
      parser.GetDescription("pelix", nullptr, code.c_str(), static_cast<CabinetType>(cabinet)));
  if (!record) {
    throw OperationFailed("no description of '" + code + "' for cabinet " + std::to_string(cabinet) + " (" +
                          CabinetClass(cabinet) + ") in " + database);
  }
  FaultCodeAnswer answer;
  answer.code = code;
  answer.cabinet = cabinet;
  answer.cabinetClass = CabinetClass(cabinet);
  answer.description = Str(record->m_description);
  answer.action = Str(record->m_action);
  for (int i = 0; i < record->m_relatedFaults.GetSize(); ++i) answer.related.push_back(Str(record->m_relatedFaults[i]));
  return answer;
}

void PrintFaultCodeAnswer(const FaultCodeAnswer& answer) {
  std::cout << "Fault code  " << Printable(answer.code) << "\n"
            << "Cabinet     " << answer.cabinet << " (" << answer.cabinetClass << ")\n";
  PrintSection("Description", answer.description);
  PrintSection("Action", answer.action);
  std::cout << "Related faults\n";
  if (answer.related.empty()) std::cout << "  (none)\n";
  for (const std::string& related : answer.related) std::cout << "  " << Printable(related) << "\n";
}

namespace {

int Lookup(const std::string& database, int cabinet, const std::string& code) {
  std::string db = database.empty() ? DataFolder() + "faultcodes.xml" : database;
  // The library reads the database from a file: standard input is kept in
  // a scratch file for it.
  std::unique_ptr<ScratchFolder> scratch;
  if (db == "-") {
    scratch = std::make_unique<ScratchFolder>("faultcodes");
    db = scratch->Path() + "faultcodes.xml";
    std::ofstream(db, std::ios::binary) << ReadFile("-");
  }
  const FaultCodeAnswer answer = LookUpFaultCode(db, cabinet, code);
  if (GlobalOptions().json) {
    nlohmann::json related = nlohmann::json::array();
    for (const std::string& r : answer.related) related.push_back(JsonText(r));
    PrintJson({{"code", JsonText(answer.code)},
               {"cabinet", answer.cabinet},
               {"cabinetClass", answer.cabinetClass},
               {"description", JsonText(answer.description)},
               {"action", JsonText(answer.action)},
               {"related", related}});
  } else {
    PrintFaultCodeAnswer(answer);
  }
  return kExitOk;
}

}  // namespace

void AddFaultcodeCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("faultcode", "Look up fault codes in the XML fault database");
  group->require_subcommand(1);
  group->footer("Example:\n  pelix faultcode lookup --cabinet 1 'BTS CF I1A:1'");

  struct LookupArgs {
    std::string database;
    int cabinet = 0;
    std::string code;
  };
  auto args = std::make_shared<LookupArgs>();
  CLI::App* lookup = group->add_subcommand(
      "lookup", "Show the description, the action and the related faults of a fault code for a cabinet kind");
  lookup->add_option("--db", args->database,
                     "The fault database ('-': standard input; default: the bundled faultcodes.xml)");
  lookup
      ->add_option("--cabinet", args->cabinet,
                   "Cabinet type 0-64; selects Macro, Micro, Pico or Strato texts (e.g. 1 Macro, 5 Micro, "
                   "41 Pico, 48 Strato)")
      ->check(Between(0, 64))
      ->required();
  lookup->add_option("CODE", args->code, "Fault code: category, function, map and id, e.g. 'BTS CF I1A:1'")->required();
  lookup->footer("Example:\n  pelix faultcode lookup --db data/faultcodes.xml --cabinet 1 'BTS CF I1A:1'");
  lookup->callback([args] { SetAction([args] { return Lookup(args->database, args->cabinet, args->code); }); });
}

}  // namespace pelix::tool
