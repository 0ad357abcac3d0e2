// Lets GoogleTest print a CString as its text in failure messages.
#pragma once

#include <ostream>

#include "pelix/cstring.h"

inline void PrintTo(const CString& text, std::ostream* out) { *out << '"' << text.str() << '"'; }
