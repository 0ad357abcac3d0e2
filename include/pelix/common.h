// Everything the library exports, in the global namespace.
#pragma once

#include "pelix/cabinet_type.h"
#include "pelix/carray.h"
#include "pelix/com_error.h"
#include "pelix/cstring.h"
#include "pelix/exceptions.h"
#include "pelix/fault_map_types.h"
#include "pelix/host_services.h"
#include "pelix/platform.h"
#include "pelix/service_result.h"
#include "pelix/win_types.h"

#include "pelix/fault_map.h"
#include "pelix/monitor_txt.h"
#include "pelix/fault_code_description.h"
#include "pelix/fault_code_parser.h"
#include "pelix/monitor_object_table.h"
#include "pelix/file_info_parser.h"
#include "pelix/tolva_sw_handler.h"
#include "pelix/regfunc.h"
