// The shared enumerations of the fault map subsystem.
#pragma once

// The kind of managed object; derived from the MO class code of a report.
enum MO_Type : int {
  MO_SO_CF = 0,
  MO_SO_TRXC = 1,
  MO_AO_TX = 2,
  MO_AO_RX = 3,
  MO_AO_TS = 4,
  MO_AO_TF = 5,
  MO_AO_IS = 6,
  MO_AO_DP = 7,
  MO_AO_CON = 8,
  MO_AO_MCTR = 9,
  MO_UNKNOWN = 10
};

// The kind of a fault map.
enum FaultMapType : int {
  FM_I1A = 0,
  FM_I1B = 1,
  FM_I2A = 2,
  FM_EC1 = 3,
  FM_EC2 = 4,
  FM_RU = 5
};

// The format generation of the station's monitored data; it fixes the map
// sizes and whether reports carry time stamps. Values 2, 4, 5 and 7 are told
// apart; any other value takes the smallest maps and no time stamps.
enum OMS_tolva_mon_datatype_type : int {
  OMS_TOLVA_MON_DATATYPE_2 = 2,
  OMS_TOLVA_MON_DATATYPE_4 = 4,
  OMS_TOLVA_MON_DATATYPE_5 = 5,
  OMS_TOLVA_MON_DATATYPE_7 = 7
};
