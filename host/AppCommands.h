// The Camera app's side of the command language: the camera commands of
// Commands.def, run inside the app on the runner's request.
#pragma once

#include "host/CommandTable.h"

namespace camera {

// Runs one line from the runner and returns the reply line: "ok [answer]",
// "error <message>" for a command that cannot be done, or "fail <message>"
// for an expectation that does not hold. Besides the camera commands the
// runner sends "sync" (run what is due) and "time NANOSECONDS".
std::string handleCommand(const std::string& line);
// Tells the trace when a popover comes or goes (after each command).
void notePopoverChange();

namespace commands {
#define CAMERA_COMMAND(generations, name, arguments, handler, help) CommandResult handler(const CommandArguments&);
#include "host/Commands.def"
} // namespace commands

} // namespace camera
