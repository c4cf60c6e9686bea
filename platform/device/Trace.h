// The device's event trace: what the platform and the simulated camera did,
// for the simulator to print. Nothing is recorded until a sink is installed.
#pragma once

#include "Export.h"

#include <functional>
#include <string_view>

namespace device {

enum class TraceKind {
    Device,   // boot, processes, killall
    Inject,   // libraries injected into an app
    Module,   // libraries opened with dlopen
    Hook,     // methods added or hooked
    File,     // property-list files written
    FileRead, // property-list files read
    Notify,   // Darwin notifications posted and delivered
    Torch,    // LED changes
    Camera,   // what the camera app does
    UI,       // popovers, taps, controls
    Detail,   // everything else worth a look when tracing verbosely
};

using TraceSink = std::function<void(TraceKind, std::string_view)>;

PLATFORM_EXPORT void setTraceSink(TraceSink sink);
PLATFORM_EXPORT bool isTracing() noexcept;
PLATFORM_EXPORT void trace(TraceKind kind, std::string_view message);
PLATFORM_EXPORT void tracef(TraceKind kind, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace device
