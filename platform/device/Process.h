// The simulated device's processes. An app registers itself under its name
// when it launches; `killall NAME` (through the device's system()) ends the
// registered processes of that name and nothing else on the host.
#pragma once

#include "Export.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace device {

struct ProcessEntry {
    pid_t pid = 0;
    std::string name;
    std::string bundleIdentifier;
};

// Registers the calling process on the device (replacing an earlier entry).
PLATFORM_EXPORT void registerProcess(std::string_view name, std::string_view bundleIdentifier);
PLATFORM_EXPORT void unregisterProcess();
PLATFORM_EXPORT const std::string& processName();
PLATFORM_EXPORT const std::string& bundleIdentifier();

// The registered processes that are still running (stale entries removed).
PLATFORM_EXPORT std::vector<ProcessEntry> runningProcesses();

// Sends signal to every running process registered under name; the calling
// process, when among them, last. Returns how many were signalled.
PLATFORM_EXPORT int killProcessesNamed(std::string_view name, int signal);

} // namespace device

// The device's C library, reached by system code through the linker's
// --wrap (see cmake/Lumora.cmake). system() understands "killall NAME".
extern "C" PLATFORM_EXPORT int __wrap_system(const char* command);
