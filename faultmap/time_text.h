// Time texts of the fault lines (internal to the fault map subsystem).
#pragma once

#include <ctime>

#include "pelix/cstring.h"

namespace pelix::faultmap {

// Width of every time text, and of the blank one.
constexpr int kTimeTextLength = 19;
constexpr const char* kInvalidDateTime = "Invalid DateTime";

// The calendar time of 1 January 1990 00:00:00 local time, taken with the
// daylight-saving flag of the current moment. False when it cannot be made.
bool ReportEpoch(std::time_t& epoch);

// The local date and time of `time` as "YYYY-MM-DD HH:MM:SS", or "Invalid
// DateTime" when it cannot be converted or lies outside the years 100 to
// 9999 that a date value holds.
CString LocalTimeText(std::time_t time);

}  // namespace pelix::faultmap
