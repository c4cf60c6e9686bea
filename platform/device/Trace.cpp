#include "device/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace device {

namespace {
TraceSink& sink()
{
    static TraceSink* instance = new TraceSink;
    return *instance;
}
}

void setTraceSink(TraceSink newSink)
{
    sink() = std::move(newSink);
}

bool isTracing() noexcept
{
    return static_cast<bool>(sink());
}

void trace(TraceKind kind, std::string_view message)
{
    if (auto& current = sink())
        current(kind, message);
}

void tracef(TraceKind kind, const char* format, ...)
{
    if (!isTracing())
        return;
    va_list arguments;
    va_start(arguments, format);
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    trace(kind, buffer);
}

} // namespace device
