// Printing the device's trace: one line per event, with the device clock.
#pragma once

#include <string>

namespace camera {

// Prints this process's trace events as "[   1.300] <who>: <event>".
// Each method added or hooked shows only when verbose; otherwise a run of
// them is told in one line.
void installTracePrinter(const std::string& who, bool verbose, bool showReads = true);
// Prints what is held back (a run of method hooks told in one line).
void flushTrace();
// A line of the runner's own.
void printTraceLine(double seconds, const std::string& who, const std::string& message);

} // namespace camera
