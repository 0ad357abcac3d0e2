// The monitor catalogue: which monitors a base station offers, their names on
// the station's side (internal name, short id) and on the user's side (display
// name, description), and the terminal's attachments of monitor instances to
// its objects and replaceable units.
#pragma once

#include "pelix/cabinet_type.h"
#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"

// The kind of a monitor. The values are fixed (the terminal stores them);
// 44, 45 and 234 are unused. Each name is made from the kind's internal name.
enum MonitorNameType : int {
  MON_TFS_TSA_CH_COMB = 0,
  MON_OMS_EXTAL_STATUS = 1,
  MON_RTS_RX_C_DIV = 2,
  MON_RTS_RX_C_ARFCN = 3,
  MON_RTS_RX_C_FREQ_MRK = 4,
  MON_RTS_TX_C_PWR = 5,
  MON_RTS_TX_C_ARFCN = 6,
  MON_RTS_TX_C_FILL = 7,
  MON_RTS_TX_C_BCC = 8,
  MON_RTS_TX_MEAS_VSWR_ANT = 9,
  MON_CREC_ANT_VSWRA = 10,
  MON_CREC_ANT_VSWRB = 11,
  MON_CREC_ANT_VSWRC = 12,
  MON_CREC_ANT_VSWRD = 13,
  MON_RTS_TU_OPT_REF_MEAS_FI_ERR = 14,
  MON_RTS_TU_OPT_VALS_PLL_ADJ = 15,
  MON_RTS_TU_PCM_REFA_MEAS_FI_ERR = 16,
  MON_RTS_TU_PCM_REFB_MEAS_FI_ERR = 17,
  MON_RTS_TU_PCM_REFC_MEAS_FI_ERR = 18,
  MON_RTS_TU_PCM_REFD_MEAS_FI_ERR = 19,
  MON_RTS_TU_REG_C_V = 20,
  MON_RTS_TU_STATES_EXEC_REF = 21,
  MON_RTS_TU_STATES_INTERNAL = 22,
  MON_EPS_POWER_DC_SYS_VOLT = 23,
  MON_EPS_CLIMATE_CAB_TEMP_INT = 24,
  MON_EPS_CLIMATE_CAB_HUM_INT = 25,
  MON_EPS_POWER_PSU_VOLTAGE = 26,
  MON_EPS_POWER_PSU_CURRENT = 27,
  MON_EPS_POWER_BFU_CURRENT = 28,
  MON_EPS_POWER_BFU_VOLTAGE = 29,
  MON_RTS_RX_MEAS_ALNACURA = 30,
  MON_RTS_RX_MEAS_ALNACURB = 31,
  MON_RTS_RX_MEAS_CDUOUTVA = 32,
  MON_RTS_RX_MEAS_CDUOUTVB = 33,
  MON_RTS_TX_MEAS_OPWRR_TRX_TN = 34,
  MON_RTS_TX_MEAS_OPWRF_TRX_TN = 35,
  MON_RTS_TX_MEAS_OPWRR_CDU_TN = 36,
  MON_RTS_TX_MEAS_OPWRF_CDU_TN = 37,
  MON_TFS_TSA_TS_CONFIG_PARAMS = 38,
  MON_PLS_IS_CONFIG = 39,
  MON_TFS_DCH_TS_TCH = 40,
  MON_TFS_DCH_TS_SDCCH = 41,
  MON_TFS_TSA_DIVERSITY_SUPERV = 42,
  MON_TFS_TSA_RF_LOOP_TEST_PARAMS = 43,
  MON_PLS_TSF_PCM_A_LINE_ATTENUATION = 46,
  MON_PLS_TSF_PCM_B_LINE_ATTENUATION = 47,
  MON_PLS_TSF_PCM_C_LINE_ATTENUATION = 48,
  MON_PLS_TSF_PCM_D_LINE_ATTENUATION = 49,
  MON_PLS_CON_CONFIG = 50,
  MON_OMS_EXTAL_ARAE = 51,
  MON_RTS_TU_ESB_DISTRIBUTION = 52,
  MON_RTS_TU_TF_CONFIG_SYNC_SRC = 53,
  MON_RTS_TU_TF_CONFIG_MODE = 54,
  MON_RTS_TU_TF_CONFIG_COMPENSATION = 55,
  MON_TFS_DCH_TS_TCH_F = 56,
  MON_TFS_DCH_TS_TCH_H = 57,
  MON_EC_POWERCTRL_BDM_INFO = 58,
  MON_EC_POWERCTRL_BFU_INFO = 59,
  MON_EC_POWERCTRL_PSU_INFO = 60,
  MON_TGC_AHOP_TABLES = 61,
  MON_CREC_RX_MEAS_TMA0CUR = 62,
  MON_CREC_RX_MEAS_TMA1CUR = 63,
  MON_CREC_RX_MEAS_TMA2CUR = 64,
  MON_CREC_RX_MEAS_TMA3CUR = 65,
  MON_CREC_RX_MEAS_TMA4CUR = 66,
  MON_CREC_RX_MEAS_TMA5CUR = 67,
  MON_CREC_ANT_TMA_CURRENT_VOLTAGE_A = 68,
  MON_CREC_ANT_TMA_CURRENT_VOLTAGE_B = 69,
  MON_CREC_ANT_TMA_CURRENT_VOLTAGE_C = 70,
  MON_CREC_ANT_TMA_CURRENT_VOLTAGE_D = 71,
  MON_CREC_RX_MEAS_TMA0VOL = 72,
  MON_CREC_RX_MEAS_TMA1VOL = 73,
  MON_CREC_RX_MEAS_TMA2VOL = 74,
  MON_CREC_RX_MEAS_TMA3VOL = 75,
  MON_CREC_RX_MEAS_TMA4VOL = 76,
  MON_CREC_RX_MEAS_TMA5VOL = 77,
  MON_RTS_TU_GPS_POSITION = 78,
  MON_RTS_TU_GPS_STATUS = 79,
  MON_RTS_TU_GPS_SATELLITES = 80,
  MON_RTS_TU_GPS_TIME_WEEK = 81,
  MON_RTS_TU_GPS_TIME_SECONDS = 82,
  MON_RTS_TU_GPS_TIME_STD_DEV = 83,
  MON_RTS_TU_REG_FSOFFSET = 84,
  MON_RTS_TU_TF_CONFIG_FSOFFSET = 85,
  MON_RTS_TU_REG_HOLDOVERTIME = 86,
  MON_RTS_TU_ESB_MEASUREMENT = 87,
  MON_RTS_TU_ESB_DELAY = 88,
  MON_RTS_TU_TF_CONFIG_MASTER_TX_CHAIN_DELAY = 89,
  MON_RTS_TU_TF_CONFIG_MASTER_TG_INST = 90,
  MON_RTS_TU_TF_CONFIG_ESB_TS = 91,
  MON_RTS_TU_TF_COMPENSATION_CURRENT_VALUE = 92,
  MON_RTS_TU_TF_COMPENSATION_SOURCE = 93,
  MON_CF_AO_IS_SC_QUAL_DATA = 94,
  MON_CF_AO_IS_SC_TRX_CONFIG = 95,
  MON_TFS_TSA_RX_IMBALANCE = 96,
  MON_TGC_FAHOP_TABLES = 97,
  MON_EC_POWERCTRL_PDU_INFO = 98,
  MON_EC_POWERCTRL_PDU_VOLTAGE = 99,
  MON_RTS_TU_GPS_SNR = 100,
  MON_CREC_RX_MEAS_TMA_CM0_TMA0CUR = 101,
  MON_CREC_RX_MEAS_TMA_CM0_TMA1CUR = 102,
  MON_CREC_RX_MEAS_TMA_CM0_TMA2CUR = 103,
  MON_CREC_RX_MEAS_TMA_CM0_TMA3CUR = 104,
  MON_CREC_RX_MEAS_TMA_CM0_TMA4CUR = 105,
  MON_CREC_RX_MEAS_TMA_CM0_TMA5CUR = 106,
  MON_CREC_RX_MEAS_TMA_CM0_TMA0VOL = 107,
  MON_CREC_RX_MEAS_TMA_CM0_TMA1VOL = 108,
  MON_CREC_RX_MEAS_TMA_CM0_TMA2VOL = 109,
  MON_CREC_RX_MEAS_TMA_CM0_TMA3VOL = 110,
  MON_CREC_RX_MEAS_TMA_CM0_TMA4VOL = 111,
  MON_CREC_RX_MEAS_TMA_CM0_TMA5VOL = 112,
  MON_CREC_RX_MEAS_TMA_CM1_TMA0CUR = 113,
  MON_CREC_RX_MEAS_TMA_CM1_TMA1CUR = 114,
  MON_CREC_RX_MEAS_TMA_CM1_TMA2CUR = 115,
  MON_CREC_RX_MEAS_TMA_CM1_TMA3CUR = 116,
  MON_CREC_RX_MEAS_TMA_CM1_TMA4CUR = 117,
  MON_CREC_RX_MEAS_TMA_CM1_TMA5CUR = 118,
  MON_CREC_RX_MEAS_TMA_CM1_TMA0VOL = 119,
  MON_CREC_RX_MEAS_TMA_CM1_TMA1VOL = 120,
  MON_CREC_RX_MEAS_TMA_CM1_TMA2VOL = 121,
  MON_CREC_RX_MEAS_TMA_CM1_TMA3VOL = 122,
  MON_CREC_RX_MEAS_TMA_CM1_TMA4VOL = 123,
  MON_CREC_RX_MEAS_TMA_CM1_TMA5VOL = 124,
  MON_CF_SO_CF_TECHNICIAN_PRESENT = 125,
  MON_RTS_TX_MEAS_VRX_ACT_PWR_CAP = 126,
  MON_EC_POWERCTRL_BATTERY_TEST_RUNNING = 127,
  MON_EC_POWERCTRL_BATTERY_TEST_STATUS = 128,
  MON_EC_POWERCTRL_BFU_BATTERYFAULT_LED = 129,
  MON_EC_POWERCTRL_BFU_ESC_MOD = 130,
  MON_PLS_CASCADE_INFORMATION = 131,
  MON_RTS_TU_TF_CONFIG_EATC_EST_ACC = 132,
  MON_RTS_TU_TF_CONFIG_EATC_ACQ = 133,
  MON_RTS_TU_TF_CONFIG_EATC_INFO_PRESENT = 134,
  MON_RTS_TU_TF_CONFIG_EATC_SRC = 135,
  MON_RTS_TU_TF_CONFIG_EATC_TOLERANCE = 136,
  MON_RTS_TU_SLAVE_REF = 137,
  MON_RTS_TU_IDL2_DELAY = 138,
  MON_RTS_TU_IDL2_PORT = 139,
  MON_RTS_TU_EATC_ADJUSTMENT_ADJUSTMENT_VALUE = 140,
  MON_TRNS_HDLC_CPRI_RE0_RETRANSMISSION = 141,
  MON_TRNS_HDLC_CPRI_RE1_RETRANSMISSION = 142,
  MON_TRNS_HDLC_CPRI_RE2_RETRANSMISSION = 143,
  MON_TRNS_HDLC_CPRI_RE3_RETRANSMISSION = 144,
  MON_TRNS_HDLC_CPRI_RE4_RETRANSMISSION = 145,
  MON_TRNS_HDLC_CPRI_RE5_RETRANSMISSION = 146,
  MON_TRNS_HDLC_IDL2_DX61_RETRANSMISSION = 147,
  MON_TRNS_HDLC_IDL2_DX62_RETRANSMISSION = 148,
  MON_CTRP_CPRI_STATUS_RIA = 149,
  MON_CTRP_CPRI_STATUS_RIB = 150,
  MON_CTRP_CPRI_STATUS_RIC = 151,
  MON_CTRP_CPRI_STATUS_RID = 152,
  MON_CTRP_CPRI_STATUS_RIE = 153,
  MON_CTRP_CPRI_STATUS_RIF = 154,
  MON_CTRP_CPRI_STATUS_RIA_L1_ERROR_RESET = 155,
  MON_CTRP_CPRI_STATUS_RIB_L1_ERROR_RESET = 156,
  MON_CTRP_CPRI_STATUS_RIC_L1_ERROR_RESET = 157,
  MON_CTRP_CPRI_STATUS_RID_L1_ERROR_RESET = 158,
  MON_CTRP_CPRI_STATUS_RIE_L1_ERROR_RESET = 159,
  MON_CTRP_CPRI_STATUS_RIF_L1_ERROR_RESET = 160,
  MON_CTRP_CPRI_STATUS_RIA_L1_RESTART_TOTAL = 161,
  MON_CTRP_CPRI_STATUS_RIB_L1_RESTART_TOTAL = 162,
  MON_CTRP_CPRI_STATUS_RIC_L1_RESTART_TOTAL = 163,
  MON_CTRP_CPRI_STATUS_RID_L1_RESTART_TOTAL = 164,
  MON_CTRP_CPRI_STATUS_RIE_L1_RESTART_TOTAL = 165,
  MON_CTRP_CPRI_STATUS_RIF_L1_RESTART_TOTAL = 166,
  MON_CTRP_CPRI_STATUS_RIA_ECP_ERROR_TOTAL = 167,
  MON_CTRP_CPRI_STATUS_RIB_ECP_ERROR_TOTAL = 168,
  MON_CTRP_CPRI_STATUS_RIC_ECP_ERROR_TOTAL = 169,
  MON_CTRP_CPRI_STATUS_RID_ECP_ERROR_TOTAL = 170,
  MON_CTRP_CPRI_STATUS_RIE_ECP_ERROR_TOTAL = 171,
  MON_CTRP_CPRI_STATUS_RIF_ECP_ERROR_TOTAL = 172,
  MON_CTRP_CPRI_STATUS_RIA_RU_FAILURE_TOTAL = 173,
  MON_CTRP_CPRI_STATUS_RIB_RU_FAILURE_TOTAL = 174,
  MON_CTRP_CPRI_STATUS_RIC_RU_FAILURE_TOTAL = 175,
  MON_CTRP_CPRI_STATUS_RID_RU_FAILURE_TOTAL = 176,
  MON_CTRP_CPRI_STATUS_RIE_RU_FAILURE_TOTAL = 177,
  MON_CTRP_CPRI_STATUS_RIF_RU_FAILURE_TOTAL = 178,
  MON_CTRP_CPRI_STATUS_RIA_CPRI_FAILURE_TOTAL = 179,
  MON_CTRP_CPRI_STATUS_RIB_CPRI_FAILURE_TOTAL = 180,
  MON_CTRP_CPRI_STATUS_RIC_CPRI_FAILURE_TOTAL = 181,
  MON_CTRP_CPRI_STATUS_RID_CPRI_FAILURE_TOTAL = 182,
  MON_CTRP_CPRI_STATUS_RIE_CPRI_FAILURE_TOTAL = 183,
  MON_CTRP_CPRI_STATUS_RIF_CPRI_FAILURE_TOTAL = 184,
  MON_CTRP_CPRI_CASCADE_RE0_RU_FAILURE_TOTAL = 185,
  MON_CTRP_CPRI_CASCADE_RE1_RU_FAILURE_TOTAL = 186,
  MON_CTRP_CPRI_CASCADE_RE2_RU_FAILURE_TOTAL = 187,
  MON_CTRP_CPRI_CASCADE_RE3_RU_FAILURE_TOTAL = 188,
  MON_CTRP_CPRI_CASCADE_RE4_RU_FAILURE_TOTAL = 189,
  MON_CTRP_CPRI_CASCADE_RE5_RU_FAILURE_TOTAL = 190,
  MON_CTRP_CPRI_CASCADE_RE0_CPRI_FAILURE_TOTAL = 191,
  MON_CTRP_CPRI_CASCADE_RE1_CPRI_FAILURE_TOTAL = 192,
  MON_CTRP_CPRI_CASCADE_RE2_CPRI_FAILURE_TOTAL = 193,
  MON_CTRP_CPRI_CASCADE_RE3_CPRI_FAILURE_TOTAL = 194,
  MON_CTRP_CPRI_CASCADE_RE4_CPRI_FAILURE_TOTAL = 195,
  MON_CTRP_CPRI_CASCADE_RE5_CPRI_FAILURE_TOTAL = 196,
  MON_CTRP_CPRI_CASCADE_RE0_L1_RESTART_TOTAL = 197,
  MON_CTRP_CPRI_CASCADE_RE1_L1_RESTART_TOTAL = 198,
  MON_CTRP_CPRI_CASCADE_RE2_L1_RESTART_TOTAL = 199,
  MON_CTRP_CPRI_CASCADE_RE3_L1_RESTART_TOTAL = 200,
  MON_CTRP_CPRI_CASCADE_RE4_L1_RESTART_TOTAL = 201,
  MON_CTRP_CPRI_CASCADE_RE5_L1_RESTART_TOTAL = 202,
  MON_TSC_RTD_RTD_RE0 = 203,
  MON_TSC_RTD_RTD_RE1 = 204,
  MON_TSC_RTD_RTD_RE2 = 205,
  MON_TSC_RTD_RTD_RE3 = 206,
  MON_TSC_RTD_RTD_RE4 = 207,
  MON_TSC_RTD_RTD_RE5 = 208,
  MON_RTS_TU_NGS_PORTA_NODE_PRIORITY = 209,
  MON_RTS_TU_NGS_PORTB_NODE_PRIORITY = 210,
  MON_RTS_TU_NGS_PORTC_NODE_PRIORITY = 211,
  MON_RTS_TU_NGS_PORTD_NODE_PRIORITY = 212,
  MON_RTS_TU_NGS_PORTE_NODE_PRIORITY = 213,
  MON_RTS_TU_NGS_PORTF_NODE_PRIORITY = 214,
  MON_RTS_TU_NGS_PORTA_NG_SYNC_CANDI = 215,
  MON_RTS_TU_NGS_PORTB_NG_SYNC_CANDI = 216,
  MON_RTS_TU_NGS_PORTC_NG_SYNC_CANDI = 217,
  MON_RTS_TU_NGS_PORTD_NG_SYNC_CANDI = 218,
  MON_RTS_TU_NGS_PORTE_NG_SYNC_CANDI = 219,
  MON_RTS_TU_NGS_PORTF_NG_SYNC_CANDI = 220,
  MON_RTS_TU_NGS_NG_SYNC_REF_SELECTED = 221,
  MON_RTS_TU_NGS_PORTA_CANDIDATE_PORT = 222,
  MON_RTS_TU_NGS_PORTB_CANDIDATE_PORT = 223,
  MON_RTS_TU_NGS_PORTC_CANDIDATE_PORT = 224,
  MON_RTS_TU_NGS_PORTD_CANDIDATE_PORT = 225,
  MON_RTS_TU_NGS_PORTE_CANDIDATE_PORT = 226,
  MON_RTS_TU_NGS_PORTF_CANDIDATE_PORT = 227,
  MON_RTS_TU_NGS_SP_SYNC_STATE = 228,
  MON_RTS_TU_NGS_LOCKED_TO_RI_PORT = 229,
  MON_RTS_TU_NGS_TG_SYNC_PRIORITY = 230,
  MON_RTS_TU_NGS_SP_ECBFN_ESFC_MFN = 231,
  MON_RTS_TU_NGS_SP_ECBFN_BFN = 232,
  MON_RTS_TU_NGS_NG_SYNC_HOP_COUNTER = 233,
  MON_RTS_TU_NGS_NODE_ROLE = 235,
  MON_RTS_TU_NGS_SP_ECBFN_ROLE_TIME_OFFSET = 236,
  MON_RTS_TU_NGS_SP_CBFN_JUMP_INDICATION = 237,
  MON_RTS_TU_NGS_PORTA_QUALIFIED_SOCC_PORT = 238,
  MON_RTS_TU_NGS_PORTB_QUALIFIED_SOCC_PORT = 239,
  MON_RTS_TU_NGS_PORTC_QUALIFIED_SOCC_PORT = 240,
  MON_RTS_TU_NGS_PORTD_QUALIFIED_SOCC_PORT = 241,
  MON_RTS_TU_NGS_PORTE_QUALIFIED_SOCC_PORT = 242,
  MON_RTS_TU_NGS_PORTF_QUALIFIED_SOCC_PORT = 243,
  MON_RTS_TU_NGS_PCM_QUALIFICATION = 244,
  MON_RTS_TU_NGS_PCM_FREQUENCY = 245,
  MON_RTS_TU_NGS_GPS_FREQUENCY = 246,
  MON_RTS_TU_NGS_BASE_FREQUENCY = 247,
  MON_RC_TX_C_CBO = 248,
  MON_RTS_TX_MEAS_SBPS_STATS = 249,
  MON_RTS_TX_MEAS_SBPS_PERIOD = 250,
  MON_EC_ECCCTRL_RE_0_POWER_MEAS = 251,
  MON_EC_ECCCTRL_RE_1_POWER_MEAS = 252,
  MON_EC_ECCCTRL_RE_2_POWER_MEAS = 253,
  MON_EC_ECCCTRL_RE_3_POWER_MEAS = 254,
  MON_EC_ECCCTRL_RE_4_POWER_MEAS = 255,
  MON_EC_ECCCTRL_RE_5_POWER_MEAS = 256,
  MON_EC_ECCCTRL_RE_0_ENERGY_MEAS = 257,
  MON_EC_ECCCTRL_RE_1_ENERGY_MEAS = 258,
  MON_EC_ECCCTRL_RE_2_ENERGY_MEAS = 259,
  MON_EC_ECCCTRL_RE_3_ENERGY_MEAS = 260,
  MON_EC_ECCCTRL_RE_4_ENERGY_MEAS = 261,
  MON_EC_ECCCTRL_RE_5_ENERGY_MEAS = 262,
  MON_EC_ECCCTRL_RE_0_ENERGY_ACC_MEAS = 263,
  MON_EC_ECCCTRL_RE_1_ENERGY_ACC_MEAS = 264,
  MON_EC_ECCCTRL_RE_2_ENERGY_ACC_MEAS = 265,
  MON_EC_ECCCTRL_RE_3_ENERGY_ACC_MEAS = 266,
  MON_EC_ECCCTRL_RE_4_ENERGY_ACC_MEAS = 267,
  MON_EC_ECCCTRL_RE_5_ENERGY_ACC_MEAS = 268,
  MON_EC_ECCCTRL_NODE_POWER_MEAS = 269,
  MON_EC_ECCCTRL_NODE_ENERGY_MEAS = 270,
  MON_EC_ECCCTRL_NODE_ENERGY_ACC_MEAS = 271,
  MON_EC_ECCCTRL_NODE_ESTIMATED_TOTAL_ENERGY_ACC = 272,
  MON_RC_TX_MEAS_TRX_EATC_OFFSET = 273,
};

// The kind of an object of the terminal's object model. The catalogue only
// stores and compares these values; the terminal defines them.
enum Pelix_ObjectType : int {};

// The function type of a replaceable unit, defined by the terminal like
// Pelix_ObjectType. 0 is what the attachment queries give when nothing matches.
enum FuncType : int { FT_NONE = 0 };

// An object of the terminal: its kind and instance number.
struct Pelix_ObjectId {
  Pelix_ObjectType type;
  int instance;
};

// One monitor instance.
struct InternalNameStruct {
  int internalId;            // 0, 1, 2, ... in list order
  MonitorNameType nameType;  // the monitor kind
  CString internalName;      // the station's name, e.g. "RTS/TX/C/PWR"
  CString shortId;           // the short id code, e.g. "R42-A"; may be empty
  int instance1;             // the number put in place of "#1", else 0
  int instance2;             // the number put in place of "#2", else 0
};

// One monitor kind.
struct TextStruct {
  MonitorNameType nameType;
  CString name;         // display name; may hold "#1" and "#2"
  CString description;  // explanatory text for the user
};

// One attachment of a monitor instance to an object and its replaceable unit.
struct CMonitorObjectTableStruct {
  int internalId;
  Pelix_ObjectType objectType;
  int objectInstance;
  FuncType ruType;
  int ruInstance;
};

class PELIX_API CMonitorObjectTable {
 public:
  CMonitorObjectTable();
  ~CMonitorObjectTable();
  CMonitorObjectTable(const CMonitorObjectTable&) = delete;
  CMonitorObjectTable& operator=(const CMonitorObjectTable&) = delete;

  // Attaching monitors to objects.
  void AddElement(const CString& name, Pelix_ObjectType objectType, int objectInstance, FuncType ruType,
                  int ruInstance);
  void AddElement(MonitorNameType nameType, Pelix_ObjectType objectType, int objectInstance, FuncType ruType,
                  int ruInstance);
  void AddElement(MonitorNameType nameType, Pelix_ObjectType objectType, int objectInstance, FuncType ruType,
                  int ruInstance, int instance);

  // Rebuilds the built-in catalogue and drops every attachment.
  void Reset();
  // Switches the TMA monitors of the groups CM0 and CM1 between their long
  // (with the group) and short display names.
  void UpdateTMA_CM_Names(bool withCmGroup);

  // Queries.
  void GetMonitorName(int internalId, CString& name);
  void GetMonitorDescription(int internalId, CString& description);
  void GetMonitorInternalName(int internalId, CString& internalName, CString& shortId);
  void GetMonitorInternalName(int internalId, CString& internalName);
  void GetMonitorInternalName(MonitorNameType nameType, CString& internalName);
  int GetMonitorId(const CString& displayName);
  int GetInternalIdFromInternalName(const CString& name);
  bool MonitorExists(const CString& name);
  void GetAllInternalIDs(CArray<int, int>& ids, CabinetType cabinetType);
  int GetMonitorsForRU(Pelix_ObjectType objectType, int objectInstance, CArray<int, int>& ids);
  void GetPelixObjectsForInternalID(int& internalId, CArray<Pelix_ObjectId, Pelix_ObjectId>& objects);
  FuncType GetRU_Type(int internalId, Pelix_ObjectType objectType, int objectInstance);
  int GetRuInstance(int internalId, Pelix_ObjectType objectType, int objectInstance);
  void GetRUs(const CString& name, Pelix_ObjectType objectType, int objectInstance, FuncType& ruType, int& ruInstance);
  void KeepThese(const CArray<CString, CString>& keepNames);
  void ClearMonitorObjectList();

 private:
  // Lets the unit tests reach states that the public operations never
  // produce, such as a missing list.
  friend class CMonitorObjectTableTestAccess;

  void AddTextListElement(MonitorNameType nameType, const CString& name, const CString& description);
  void AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                              const CString& shortId);
  void AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                              const CString& shortId, int count, bool skipFirst);
  void AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                              const CString& shortId, int count1, int count2);
  void AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                              const CString& shortId, int first, int count, bool enabled);

  CArray<CMonitorObjectTableStruct, CMonitorObjectTableStruct>* m_monitorObjectList;
  CArray<InternalNameStruct, InternalNameStruct>* m_internalNameList;
  CArray<TextStruct, TextStruct>* m_textList;
  bool m_tmaCmNames;
};

// The one catalogue, built when the library is loaded.
extern PELIX_API CMonitorObjectTable g_monitorObjectTable;
