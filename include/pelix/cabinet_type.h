// CabinetType: the cabinet kind of a base station, passed by value. Values 0
// to 64 index the cabinet text table of the fault code database; every other
// value reads as an unidentified cabinet. Only the numbers are fixed, so the
// enumeration is open: any int is a legal CabinetType.
#pragma once

enum CabinetType : int {
  CT_NO_CABINET = -2,          // passed to the object-type conversion table
  CT_UNIDENTIFIED = 0,
  CT_MICRO_REDUCED_SET = 34,   // the micro cabinet offered a reduced monitor set
  CT_PICO = 41,
  CT_STRATO_FIRST = 48,
  CT_LAST = 64                 // highest value of the text table
};
