// The Camera app's commands, in the scenario language.
#pragma once

#include <string>

namespace camera {

// Runs one command from the runner and returns the reply line: "ok
// [answer]", "error <message>" for a command that cannot be done, or
// "fail <message>" for an expectation that does not hold.
std::string handleCommand(const std::string& line);
// Tells the trace when a popover comes or goes (after each command).
void notePopoverChange();

} // namespace camera
