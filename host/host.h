// Internal access to the host services in force.
#pragma once

#include "pelix/host_services.h"

namespace pelix {

// The host installed with SetHostServices, or the built-in default host.
HostServices& Host();

}  // namespace pelix
