// The monitor catalogue as the tool shows it, read through the catalogue's
// public queries on g_monitorObjectTable.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelix::tool {

struct MonitorRow {
  int id = 0;
  int kind = 0;
  std::string shortId;
  std::string internalName;
  std::string displayName;
  std::string description;
};

// Every monitor instance of the catalogue, in catalogue order, with its kind.
std::vector<MonitorRow> AllMonitors();
// The monitors offered for a cabinet type (GetAllInternalIDs).
std::vector<MonitorRow> MonitorsForCabinet(int cabinet);
// By internal id (digits), internal name, short id or display name: every
// monitor that matches (several share a display name), none when nothing does.
std::vector<MonitorRow> FindMonitors(const std::string& key);
// Monitors whose internal name, short id or display name contains `text`,
// without regard to letter case.
std::vector<MonitorRow> SearchMonitors(const std::string& text);
// Switches the TMA monitors of the groups CM0 and CM1 to their long names.
void UseLongTmaNames(bool on);

std::string MonitorTable(const std::vector<MonitorRow>& rows);
nlohmann::json MonitorJson(const MonitorRow& row);

}  // namespace pelix::tool
