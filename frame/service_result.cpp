#include "pelix/service_result.h"

#include <string>

const char* ServiceResultName(ServiceResult result) {
  switch (result) {
    case SR_OK: return "SR_OK";
    case SR_INVALID_DATA: return "SR_INVALID_DATA";
    case SR_FAILED: return "SR_FAILED";
    case SR_FILE_OPEN_FAILED: return "SR_FILE_OPEN_FAILED";
    case SR_NOTHING_TO_COPY: return "SR_NOTHING_TO_COPY";
    case SR_NO_SPACE: return "SR_NO_SPACE";
  }
  return "SR_UNKNOWN";
}
