// Result codes of the operations whose failures the caller tells apart, and
// the kinds of reports sent to the host's error services.
#pragma once

#include "pelix/export.h"

enum ServiceResult : int {
  SR_OK = 0,
  SR_INVALID_DATA = 11,
  SR_FAILED = 25,
  SR_FILE_OPEN_FAILED = 26,
  SR_NOTHING_TO_COPY = 28,
  SR_NO_SPACE = 40
};

enum ErrorKind : int {
  EK_PRECONDITION = 0,  // a check of the object's own state failed
  EK_CHECK = 1,         // an allocation or a library call failed
  EK_UNSPECIFIED = 4,   // an error exit found no error pending
  EK_TRACE = 7          // a detailed trace line, not an error
};

// The name of a result code ("SR_NO_SPACE"), or "SR_UNKNOWN" for a value
// the library never produces.
PELIX_API const char* ServiceResultName(ServiceResult result);
