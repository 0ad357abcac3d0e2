// Internals of the settings store, for its own tests.
#pragma once

#include <cstddef>

#include "pelix/cstring.h"
#include "pelix/platform_registry.h"

namespace pelix::registry {

// The memory the value reads take their cells and buffers from. Blocks are
// released with std::free. A null result stands for an allocation failure.
using Allocator = void* (*)(std::size_t size);
// Installs allocator (nullptr = std::malloc) and returns the previous one
// (nullptr when std::malloc was in force).
Allocator SetAllocator(Allocator allocator);

// Buffer sizes of the tree copy: names and classes in characters with the
// terminator, value data in bytes. Larger entries are read again with buffers
// of the size the registry asks for.
constexpr DWORD kCopyNameSize = 260;
constexpr DWORD kCopyDataSize = 260;
// Keys nested deeper than this below the copied key are not copied.
constexpr int kCopyMaxDepth = 512;

// Makes sure the user has the key at path: when the user lacks it and the
// machine has it, the machine's key is copied into the user's hive.
void InitUserRegKey(const CString& path);
// Copies source's subkeys (depth first) and then its values into destination,
// overwriting values of the same name; closes both keys.
void CopyRegKey(HKEY source, HKEY destination);

}  // namespace pelix::registry
