// The fault code look-up shared by `pelix faultcode` and the demo.
#pragma once

#include <string>
#include <vector>

namespace pelix::tool {

struct FaultCodeAnswer {
  std::string code;
  int cabinet = 0;
  std::string cabinetClass;
  std::string description;  // lines ending in "\r\n", as the database gives them
  std::string action;
  std::vector<std::string> related;
};

// "Macro", "Micro", "Pico", "Strato" or "unidentified".
std::string CabinetClass(int cabinet);
// Throws OperationFailed when the database does not load or has no answer.
FaultCodeAnswer LookUpFaultCode(const std::string& database, int cabinet, const std::string& code);
void PrintFaultCodeAnswer(const FaultCodeAnswer& answer);

}  // namespace pelix::tool
