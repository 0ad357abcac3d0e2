#include "host/host.h"

#include "pelix/default_host.h"

namespace {

HostServices* g_installed = nullptr;  // nullptr = the built-in default

}  // namespace

namespace pelix::detail {

HostServices* g_hostInForce = nullptr;
DefaultHost* g_defaultHost = nullptr;

HostServices& ResolveHost() {
  g_defaultHost = &GetDefaultHost();
  g_hostInForce = g_installed != nullptr ? g_installed : g_defaultHost;
  return *g_hostInForce;
}

}  // namespace pelix::detail

HostServices* SetHostServices(HostServices* host) {
  HostServices* previous = g_installed;
  g_installed = host;
  pelix::detail::g_hostInForce = host;  // the default is resolved again on next use
  return previous;
}
