// Internal access to the host services in force.
#pragma once

#include "pelix/host_services.h"

namespace pelix {
namespace detail {

// The host every frame call goes to: the installed one, or the built-in
// default once it has been made. Zero-initialised before any constructor of
// the library runs, so a null pointer just means "not resolved yet".
extern HostServices* g_hostInForce;
HostServices& ResolveHost();

}  // namespace detail

// The host installed with SetHostServices, or the built-in default host.
// Inline, since every traced operation asks for it at least twice.
inline HostServices& Host() {
  HostServices* host = detail::g_hostInForce;
  return host != nullptr ? *host : detail::ResolveHost();
}

}  // namespace pelix
