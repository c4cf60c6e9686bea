// The Camera app process: boots as a process of the simulated device, gets
// its camera classes and the injected libraries, builds its interface, and
// then does what the scenario runner asks over its control channel.
#pragma once

#include <filesystem>
#include <string>

namespace camera {

struct AppOptions {
    int controlFd = -1;
    std::filesystem::path root;
    int major = 9;
    int minor = 0;
    double coreFoundation = 1240.10;
    uint64_t startTime = 0;  // the device clock when the app starts, in ns
    bool verbose = false;
};

// Runs the app until the runner says quit, the channel closes, or the
// device ends the process. Returns the exit status.
int runCameraApp(const AppOptions& options);

} // namespace camera
