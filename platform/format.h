// printf-style formatting into a std::string, shared by CString and the hosts.
#pragma once

#include <cstdarg>
#include <string>

namespace pelix::platform {

// Appends the printf-style expansion of format to out; a null format or an
// encoding error appends nothing.
__attribute__((format(printf, 2, 0))) void AppendFormatV(std::string& out, const char* format, va_list args);

}  // namespace pelix::platform
