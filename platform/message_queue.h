// Internal access to the message queue seam.
#pragma once

#include "pelix/platform.h"

namespace pelix::platform {

// The installed message queue, or nullptr when none is.
MessageQueue* CurrentMessageQueue();

}  // namespace pelix::platform
