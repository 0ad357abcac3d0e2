#include "monitor_work.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>

#include <pelix/common.h>

#include "tool.h"

namespace pelix::tool {

namespace {

// Highest monitor kind value of the catalogue.
constexpr int kLastKind = 273;

std::string InternalName(int id) {
  CString name;
  g_monitorObjectTable.GetMonitorInternalName(id, name);
  return Str(name);
}

// The kind of every internal id. The catalogue lists the instances of a kind
// side by side, and GetMonitorInternalName of a kind gives the internal name
// of its first instance. Walking the ids in order, an id whose internal name
// is the first-instance name of a kind not met yet starts that kind; every
// other id belongs to the kind before it. Kinds sharing a first-instance name
// (the four antenna TMA monitors) are taken in ascending order.
std::vector<int> KindsOfIds(int count) {
  std::map<std::string, std::deque<int>> starts;
  for (int kind = 0; kind <= kLastKind; ++kind) {
    CString first;
    g_monitorObjectTable.GetMonitorInternalName(static_cast<MonitorNameType>(kind), first);
    if (!first.IsEmpty()) starts[Str(first)].push_back(kind);
  }
  std::vector<int> kinds(static_cast<size_t>(count), 0);
  int current = 0;
  for (int id = 0; id < count; ++id) {
    auto found = starts.find(InternalName(id));
    if (found != starts.end() && !found->second.empty()) {
      current = found->second.front();
      found->second.pop_front();
    }
    kinds[static_cast<size_t>(id)] = current;
  }
  return kinds;
}

// Number of internal ids: they run from 0 without gaps.
int MonitorCount() {
  CArray<int, int> ids;
  g_monitorObjectTable.GetAllInternalIDs(ids, CT_UNIDENTIFIED);
  return ids.GetSize();
}

MonitorRow Row(int id, int kind) {
  MonitorRow row;
  row.id = id;
  row.kind = kind;
  CString internalName;
  CString shortId;
  g_monitorObjectTable.GetMonitorInternalName(id, internalName, shortId);
  row.internalName = Str(internalName);
  row.shortId = Str(shortId);
  CString display;
  g_monitorObjectTable.GetMonitorName(id, display);
  row.displayName = Str(display);
  CString description;
  g_monitorObjectTable.GetMonitorDescription(id, description);
  row.description = Str(description);
  return row;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.size() < 9 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

std::vector<MonitorRow> AllMonitors() {
  const int count = MonitorCount();
  const std::vector<int> kinds = KindsOfIds(count);
  std::vector<MonitorRow> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int id = 0; id < count; ++id) rows.push_back(Row(id, kinds[static_cast<size_t>(id)]));
  return rows;
}

std::vector<MonitorRow> MonitorsForCabinet(int cabinet) {
  const std::vector<MonitorRow> all = AllMonitors();
  CArray<int, int> ids;
  g_monitorObjectTable.GetAllInternalIDs(ids, static_cast<CabinetType>(cabinet));
  std::vector<MonitorRow> rows;
  for (int i = 0; i < ids.GetSize(); ++i) {
    const int id = ids[i];
    if (id >= 0 && static_cast<size_t>(id) < all.size()) rows.push_back(all[static_cast<size_t>(id)]);
  }
  return rows;
}

std::vector<MonitorRow> FindMonitors(const std::string& key) {
  const std::vector<MonitorRow> all = AllMonitors();
  auto byId = [&all](int id) {
    return id < 0 || static_cast<size_t>(id) >= all.size() ? std::vector<MonitorRow>()
                                                           : std::vector<MonitorRow>{all[static_cast<size_t>(id)]};
  };
  if (IsNumber(key)) return byId(std::stoi(key));
  if (g_monitorObjectTable.MonitorExists(CString(key))) {
    return byId(g_monitorObjectTable.GetInternalIdFromInternalName(CString(key)));
  }
  std::vector<MonitorRow> named;
  for (const MonitorRow& row : all) {
    if (row.displayName == key) named.push_back(row);
  }
  if (!named.empty()) return named;
  return byId(g_monitorObjectTable.GetMonitorId(CString(key)));
}

std::vector<MonitorRow> SearchMonitors(const std::string& text) {
  const std::string needle = Lower(text);
  std::vector<MonitorRow> rows;
  for (const MonitorRow& row : AllMonitors()) {
    if (Lower(row.internalName).find(needle) != std::string::npos ||
        Lower(row.shortId).find(needle) != std::string::npos ||
        Lower(row.displayName).find(needle) != std::string::npos) {
      rows.push_back(row);
    }
  }
  return rows;
}

void UseLongTmaNames(bool on) { g_monitorObjectTable.UpdateTMA_CM_Names(on); }

std::string MonitorTable(const std::vector<MonitorRow>& rows) {
  Table table({"ID", "KIND", "SHORT ID", "INTERNAL NAME", "DISPLAY NAME"});
  for (const MonitorRow& row : rows) {
    table.AddRow({std::to_string(row.id), std::to_string(row.kind), row.shortId.empty() ? "-" : row.shortId,
                  row.internalName, row.displayName});
  }
  return table.Render();
}

nlohmann::json MonitorJson(const MonitorRow& row) {
  return {{"id", row.id},
          {"kind", row.kind},
          {"shortId", JsonText(row.shortId)},
          {"internalName", JsonText(row.internalName)},
          {"displayName", JsonText(row.displayName)},
          {"description", JsonText(row.description)}};
}

}  // namespace pelix::tool
