// Uses the installed library through its public header only: decodes a fault
// map report, asks the monitor catalogue, and round-trips a value type.
#include <pelix/common.h>

#include <cstdio>

int main() {
  // Timeslot object 3-1, enabled, one I1A block under data type 2 with fault 5.
  const char report[] = {3, 3, 1, 2, 13, 0x23, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  CFaultMap kept(OMS_TOLVA_MON_DATATYPE_2);
  kept.UpdateFaultMap(CFaultMap(report, sizeof report, OMS_TOLVA_MON_DATATYPE_2));
  bool fault = false;
  if (kept.IsFault(fault) != SR_OK || !fault || !kept.IsChanged()) return 1;
  CString state;
  kept.GetMO_State(state);
  if (state != "ENABLED") return 2;

  CString name;
  g_monitorObjectTable.GetMonitorName(47, name);
  if (name != "PSU-13 Information") return 3;

  if (ServiceResultName(SR_NO_SPACE) != CString("SR_NO_SPACE")) return 4;
  std::printf("consumer ok: %s, %s\n", state.GetString(), name.GetString());
  return 0;
}
