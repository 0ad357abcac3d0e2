// Internal access to the temporary folder.
#pragma once

#include <string>

namespace pelix::platform {

// The user's own temporary folder, always with a trailing '/':
// $XDG_RUNTIME_DIR/ when set, else $TMPDIR (else /tmp) + "pelix-<uid>/".
// It is made with mode 0700 when missing. "" when it cannot be made, or when
// what is there is not a real folder (a symbolic link counts as not) owned by
// the user with no access for anyone else: another user could have put it
// there to read or redirect what the library writes.
std::string TempFolder();

}  // namespace pelix::platform
