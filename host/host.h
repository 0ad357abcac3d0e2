// Internal access to the host services in force.
#pragma once

#include "pelix/default_host.h"
#include "pelix/host_services.h"

namespace pelix {
namespace detail {

// The host every frame call goes to: the installed one, or the built-in
// default once it has been made. Zero-initialised before any constructor of
// the library runs, so a null pointer just means "not resolved yet".
extern HostServices* g_hostInForce;
extern DefaultHost* g_defaultHost;  // set once the built-in host is made
HostServices& ResolveHost();

}  // namespace detail

// The host installed with SetHostServices, or the built-in default host.
// Inline, since every traced operation asks for it at least twice.
inline HostServices& Host() {
  HostServices* host = detail::g_hostInForce;
  return host != nullptr ? *host : detail::ResolveHost();
}

// host.ErrorHandlerExists(), asked of the built-in host without a virtual
// call (the frame asks it once per scope edge and trace line).
inline bool HandlerExists(HostServices& host) {
  if (&host == detail::g_defaultHost) return static_cast<DefaultHost&>(host).ErrorHandlerExists();
  return host.ErrorHandlerExists();
}

}  // namespace pelix
