// The Camera app process: boots as a process of the simulated device, gets
// its camera classes and the injected libraries, builds its interface, and
// then does what the scenario runner asks over its control channel.
#pragma once

#include "uikit/UIView.h"

#include <filesystem>
#include <string>
#include <vector>

namespace camera {

struct AppOptions {
    int controlFd = -1;
    std::filesystem::path root;
    int major = 9;
    int minor = 0;
    double coreFoundation = 1240.10;
    uint64_t startTime = 0; // the device clock when the app starts, in ns
    bool verbose = false;
    // Where screenshots with relative paths go.
    std::filesystem::path screenshots;
    // Libraries already loaded when MobileSubstrate injects its own (another
    // camera extension brought in earlier).
    std::vector<std::string> preloaded;
    // Which cameras have a flash (and so a torch).
    bool rearFlash = true;
    bool frontFlash = false;
};

// Builds the camera's interface in a window, as the app does at launch, and
// starts the preview. The camera family must be registered first.
void launchCamera();
// The camera view, once launched.
UIView* cameraView();
// The generation module this process loaded ("LumoraiOS9"), or "none".
std::string loadedModule();
// Where screenshots with relative paths go.
const std::filesystem::path& screenshotFolder();
// The torch button as the camera shows it: the newest shutter button on the
// top bar (the stock bar has none of its own).
UIView* torchButton();
// Taps the torch button wherever it is (the list's tests open it even when
// the button is hidden).
void tapDotForTests();
// Whether a view and all its ancestors are visible.
bool isShown(UIView* view);

// Runs the app until the runner says quit, the channel closes, or the
// device ends the process. Returns the exit status.
int runCameraApp(const AppOptions& options);

} // namespace camera
