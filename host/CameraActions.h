// What a person does with the Camera, as the stock camera handles it: every
// step that the stock camera takes through its own hookable methods goes
// through the runtime, so an extension's hooks see it.
#pragma once

#include <string>

namespace camera {

// Each returns an error message, or empty.
std::string changeMode(const std::string& name);
std::string switchCamera(const std::string& which);
std::string setFlashMode(const std::string& mode);
std::string setFlashOptionsExpanded(const std::string& state);
std::string takePhoto();
std::string takeBurst(int count);
std::string startTimerPhoto();
std::string stopTimer();
std::string record(const std::string& state);
std::string rotate(const std::string& orientation);
// The camera starts its preview again (after a mode or camera change).
void restartPreview();

} // namespace camera
