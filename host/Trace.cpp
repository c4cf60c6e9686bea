#include "host/Trace.h"

#include "device/Trace.h"
#include "dispatch/RunLoop.h"

#include <cstdio>
#include <vector>

namespace camera {

namespace {

// Method additions and hooks come in runs; by default a run is told in one
// line, with each method only when tracing verbosely.
struct HookRun {
    int added = 0;
    int hooked = 0;
    std::vector<std::string> classes;
    double seconds = 0;
};

struct Printer {
    std::string who;
    bool verbose = false;
    bool showReads = true;
    HookRun run;
};

Printer& printer()
{
    static auto* instance = new Printer;
    return *instance;
}

void noteHook(std::string_view message)
{
    auto& run = printer().run;
    if (run.added + run.hooked == 0)
        run.seconds = RunLoop::main().seconds();
    if (message.starts_with("added"))
        ++run.added;
    else if (message.starts_with("hooked"))
        ++run.hooked;
    auto open = message.find('[');
    auto space = message.find(' ', open);
    if (open == std::string_view::npos || space == std::string_view::npos)
        return;
    std::string cls(message.substr(open + 1, space - open - 1));
    for (const auto& known : run.classes) {
        if (known == cls)
            return;
    }
    run.classes.push_back(cls);
}

} // namespace

void printTraceLine(double seconds, const std::string& who, const std::string& message)
{
    std::printf("[%8.3f] %s%s%s\n", seconds, who.c_str(), who.empty() ? "" : ": ", message.c_str());
    std::fflush(stdout);
}

void flushTrace()
{
    auto& run = printer().run;
    if (run.added + run.hooked == 0)
        return;
    std::string classes;
    for (const auto& cls : run.classes)
        classes += (classes.empty() ? "" : ", ") + cls;
    char text[128];
    std::snprintf(text, sizeof text, "%d methods added and %d hooked on ", run.added, run.hooked);
    printTraceLine(run.seconds, printer().who, text + classes);
    run = {};
}

void installTracePrinter(const std::string& who, bool verbose, bool showReads)
{
    printer().who = who;
    printer().verbose = verbose;
    printer().showReads = showReads;
    device::setTraceSink([](device::TraceKind kind, std::string_view message) {
        auto& state = printer();
        if (!state.verbose) {
            if (kind == device::TraceKind::Detail || (kind == device::TraceKind::FileRead && !state.showReads))
                return;
            if (kind == device::TraceKind::Hook) {
                noteHook(message);
                return;
            }
        }
        flushTrace();
        printTraceLine(RunLoop::main().seconds(), state.who, std::string(message));
    });
}

} // namespace camera
