// Internal access to the temporary folder.
#pragma once

#include <string>

namespace pelix::platform {

// $TMPDIR (else /tmp), always with a trailing '/'.
std::string TempFolder();

}  // namespace pelix::platform
