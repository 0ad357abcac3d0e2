// The fault names file of `pelix faultmap`: fills the library's fault name
// table. A text file, one name per line:
//
//   # comment
//   MO_TYPE  MAP  FAULT_NO  NAME...
//
// MO_TYPE is an MO_Type number (0-9) or name (MO_AO_TS or AO_TS); MAP is a
// FaultMapType number (0-5) or name (FM_I1A or I1A); FAULT_NO is 0-99; the
// name is the rest of the line with surrounding blanks removed. Fault numbers
// below the highest one given for an object type and map that have no line
// of their own read as "Unknown", as the table stores an empty name.
#pragma once

#include <string>
#include <vector>

#include <pelix/common.h>

namespace pelix::tool {

struct FaultNameEntry {
  int moType = 0;
  int mapType = 0;
  int faultNo = 0;
  std::string name;
};

// Parses the text of a names file. Throws UsageError naming the line of the
// first malformed entry.
std::vector<FaultNameEntry> ParseFaultNames(const std::string& text);
// Stores the entries in the library's table (made if needed).
void StoreFaultNames(const std::vector<FaultNameEntry>& entries);
// "AO_TS" and the like for an MO_Type value, "I1A" for a FaultMapType value.
int ParseMoType(const std::string& text);
int ParseMapType(const std::string& text);

}  // namespace pelix::tool
