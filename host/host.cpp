#include "host/host.h"

#include "pelix/default_host.h"

namespace {

HostServices* g_host = nullptr;  // nullptr = the built-in default

}  // namespace

HostServices* SetHostServices(HostServices* host) {
  HostServices* previous = g_host;
  g_host = host;
  return previous;
}

namespace pelix {

HostServices& Host() { return g_host != nullptr ? *g_host : GetDefaultHost(); }

}  // namespace pelix
