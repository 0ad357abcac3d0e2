// Uses the installed library through its public header only: decodes a fault
// map report, asks the monitor catalogue, round-trips a value type and, given
// a fault code database, catches the library's own exception type.
#include <pelix/common.h>

#include <cstdio>

int main(int argc, char** argv) {
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

  if (argc > 1) {
    CFaultCodeParser parser;
    if (parser.Init(argv[1]) != 1) return 5;
    try {
      delete parser.GetDescription("", "", "BTS CF I1A:1'", static_cast<CabinetType>(1));
      return 6;
    } catch (const CComError& error) {
      if (error.Error() != PELIX_E_FAIL) return 7;
    }
  }
  std::printf("consumer ok: %s, %s\n", state.GetString(), name.GetString());
  return 0;
}
