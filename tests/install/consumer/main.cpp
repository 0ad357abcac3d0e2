// Uses the installed library through its public header only: decodes a fault
// map report, asks the monitor catalogue and, given the fault code database,
// catches the library's own exception type.
#include <pelix/common.h>

#include <cstdio>

int main(int argc, char** argv) {
  // Timeslot object 3-1, enabled, one I1A block under data type 2 with fault 5.
  const char report[] = {3, 3, 1, 2, 13, 0x23, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  CFaultMap map(report, sizeof report, OMS_TOLVA_MON_DATATYPE_2);
  CString state, name;
  map.GetMO_State(state);
  g_monitorObjectTable.GetMonitorName(47, name);
  CFaultCodeParser parser;
  if (state != "ENABLED" || name != "PSU-13 Information" || argc < 2 || parser.Init(argv[1]) != 1) return 1;
  try {
    delete parser.GetDescription("", "", "BTS CF I1A:1'", static_cast<CabinetType>(1));
  } catch (const CComError& error) {
    std::printf("consumer ok: %s, %s\n", state.GetString(), name.GetString());
    return error.Error() == PELIX_E_FAIL ? 0 : 3;
  }
  return 2;
}
