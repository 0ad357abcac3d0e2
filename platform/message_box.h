// Internal access to the message box seam.
#pragma once

namespace pelix::platform {

// Shows text through the installed message box handler (standard error by
// default) and returns when the box is closed.
void ShowMessageBox(const char* text);

}  // namespace pelix::platform
