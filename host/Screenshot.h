// Screenshots of the simulated Camera: the key window as the screen shows
// it, with the simulator's LED badge drawn over it.
#pragma once

#include <string>

namespace camera {

// Writes a PNG of the key window at scale 2 (laid out first), with the LED
// badge in its bottom-left corner: the rear LED off, or on with its level
// as a percentage. A relative path is taken from the current directory;
// missing folders are made. Traces "screenshot PATH" (the path as given).
// Returns an error message, empty on success.
std::string takeScreenshot(const std::string& path);

} // namespace camera
