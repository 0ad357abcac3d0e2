// The invalid-argument exception thrown by the value types' index checks.
#pragma once

#include <stdexcept>
#include <string>

#include "pelix/export.h"

class PELIX_API CInvalidArgException : public std::invalid_argument {
 public:
  explicit CInvalidArgException(const std::string& what = "invalid argument")
      : std::invalid_argument(what) {}
};
