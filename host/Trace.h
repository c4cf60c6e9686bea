// Printing the device's trace: one line per event, with the device clock.
#pragma once

#include <string>

namespace camera {

// Prints this process's trace events as "[   1.300] <who>: <event>".
// Hook details show only when verbose.
void installTracePrinter(const std::string& who, bool verbose);
// A line of the runner's own.
void printTraceLine(double seconds, const std::string& who, const std::string& message);

} // namespace camera
