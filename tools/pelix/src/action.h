// How a command hands its work to the runner: the parser only records which
// command was chosen; the work runs after parsing, once the host is set up.
#pragma once

#include <functional>

namespace pelix::tool {

// The work of the chosen command; its result is the exit code.
void SetAction(std::function<int()> action);

}  // namespace pelix::tool
