#include "platform/format.h"

#include <cstdio>

namespace pelix::platform {

void AppendFormatV(std::string& out, const char* format, va_list args) {
  if (format == nullptr) return;
  va_list copy;
  va_copy(copy, args);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return;
  if (static_cast<size_t>(needed) < sizeof small) {
    out.append(small, static_cast<size_t>(needed));
    return;
  }
  std::string big(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(&big[0], big.size(), format, args);
  big.resize(static_cast<size_t>(needed));
  out += big;
}

}  // namespace pelix::platform
