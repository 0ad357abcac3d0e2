// Fixed-size integer names the terminal's interfaces are written in.
#pragma once

#include <cstdint>

typedef unsigned char BYTE;
typedef uint32_t DWORD;
typedef int32_t LONG;
