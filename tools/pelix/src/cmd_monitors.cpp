// pelix monitors list, pelix monitors show, pelix monitors find.
#include <algorithm>
#include <iostream>
#include <memory>

#include "action.h"
#include "monitor_work.h"
#include "tool.h"

namespace pelix::tool {

namespace {

int PrintRows(const std::vector<MonitorRow>& rows) {
  if (GlobalOptions().json) {
    nlohmann::json list = nlohmann::json::array();
    for (const MonitorRow& row : rows) list.push_back(MonitorJson(row));
    PrintJson({{"count", rows.size()}, {"monitors", list}});
  } else {
    std::cout << MonitorTable(rows) << rows.size() << " monitors\n";
  }
  return kExitOk;
}

int Show(const std::string& key, int id) {
  std::vector<MonitorRow> rows = FindMonitors(key.empty() ? std::to_string(id) : key);
  if (rows.empty()) throw OperationFailed("no monitor with the id or name '" + key + "'");
  if (id >= 0) {
    rows.erase(std::remove_if(rows.begin(), rows.end(), [id](const MonitorRow& row) { return row.id != id; }),
               rows.end());
    if (rows.empty()) throw UsageError("monitor " + std::to_string(id) + " is not named '" + key + "'");
  }
  if (rows.size() > 1) {
    std::string list;
    for (const MonitorRow& candidate : rows) {
      list += "\n  " + std::to_string(candidate.id) + "  " + candidate.internalName;
    }
    throw OperationFailed(std::to_string(rows.size()) + " monitors are named '" + key +
                          "'; choose one with --id:" + list);
  }
  const MonitorRow& row = rows.front();
  if (GlobalOptions().json) {
    PrintJson(MonitorJson(row));
  } else {
    std::cout << "Id             " << row.id << "\n"
              << "Kind           " << row.kind << "\n"
              << "Short id       " << (row.shortId.empty() ? "-" : row.shortId) << "\n"
              << "Internal name  " << row.internalName << "\n"
              << "Display name   " << row.displayName << "\n"
              << "Description    " << row.description << "\n";
  }
  return kExitOk;
}

struct MonitorArgs {
  int cabinet = 0;
  int id = -1;
  bool longTma = false;
  std::string text;
};

void AddLongTma(CLI::App* cmd, MonitorArgs& args) {
  cmd->add_flag("--long-tma", args.longTma, "Show the TMA monitors of the groups CM0 and CM1 with their long names");
}

}  // namespace

void AddMonitorCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("monitors", "Browse the built-in monitor catalogue");
  group->require_subcommand(1);
  group->footer(
      "Examples:\n  pelix monitors list --cabinet 34\n  pelix monitors show R42-A\n  pelix monitors find vswr");

  auto list = std::make_shared<MonitorArgs>();
  CLI::App* listCmd = group->add_subcommand("list", "List the monitors offered for a cabinet type as a table");
  listCmd->add_option("--cabinet", list->cabinet, "Cabinet type 0-64 (34 leaves out the monitors that cabinet lacks)")
      ->check(Between(0, 64))
      ->capture_default_str();
  AddLongTma(listCmd, *list);
  listCmd->footer(
      "Columns: internal id, monitor kind, short id, internal name, display name.\n\n"
      "Example:\n  pelix monitors list --cabinet 34");
  listCmd->callback([list] {
    SetAction([list] {
      UseLongTmaNames(list->longTma);
      return PrintRows(MonitorsForCabinet(list->cabinet));
    });
  });

  auto show = std::make_shared<MonitorArgs>();
  CLI::App* showCmd = group->add_subcommand("show", "Show one monitor with its description");
  showCmd->add_option("MONITOR", show->text, "Internal id, internal name, short id or display name");
  showCmd->add_option("--id", show->id, "Internal id: picks one of the monitors that share a display name")
      ->check(Between(0, 100000));
  AddLongTma(showCmd, *show);
  showCmd->footer("Example:\n  pelix monitors show R42-A\n  pelix monitors show --id 258 'TMA 0 current'");
  showCmd->callback([show] {
    SetAction([show] {
      if (show->text.empty() && show->id < 0) throw UsageError("monitors show needs a MONITOR or --id");
      UseLongTmaNames(show->longTma);
      return Show(show->text, show->id);
    });
  });

  auto find = std::make_shared<MonitorArgs>();
  CLI::App* findCmd =
      group->add_subcommand("find", "Find monitors whose internal name, short id or display name contains TEXT");
  findCmd->add_option("TEXT", find->text, "Text to look for, without regard to letter case")->required();
  AddLongTma(findCmd, *find);
  findCmd->footer("Example:\n  pelix monitors find vswr");
  findCmd->callback([find] {
    SetAction([find] {
      UseLongTmaNames(find->longTma);
      return PrintRows(SearchMonitors(find->text));
    });
  });
}

}  // namespace pelix::tool
