#include "host/Trace.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"

#include <cstdio>

namespace camera {

void printTraceLine(double seconds, const std::string& who, const std::string& message)
{
    std::printf("[%8.3f] %s%s%s\n", seconds, who.c_str(), who.empty() ? "" : ": ", message.c_str());
    std::fflush(stdout);
}

void installTracePrinter(const std::string& who, bool verbose)
{
    device::setTraceSink([who, verbose](device::TraceKind kind, std::string_view message) {
        if (!verbose && kind == device::TraceKind::Detail)
            return;
        printTraceLine(RunLoop::main().seconds(), who, std::string(message));
    });
}

} // namespace camera
