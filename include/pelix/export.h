// PELIX_API marks what the shared library exports: its classes, functions and
// objects. Everything else is built with hidden visibility and stays inside
// the library. PELIX_LOCAL keeps a member of an exported class inside too.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define PELIX_API __attribute__((visibility("default")))
#define PELIX_LOCAL __attribute__((visibility("hidden")))
#else
#define PELIX_API
#define PELIX_LOCAL
#endif
