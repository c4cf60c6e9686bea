// The extension's start-up in the Camera: from the injection of the loader
// to the hooks installed (the loader opens the generation's module, which
// registers its classes, reads the settings and installs its hook table).
// Each measurement is a new process, as libraries load once per process.
#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "device/Process.h"
#include "host/DeviceSetup.h"
#include "host/Families.h"
#include "injection/Injection.h"
#include "runtime/Object.h"
#include "runtime/substrate.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct Measurement {
    double seconds = 0;    // elapsed
    double cpuSeconds = 0; // on the process's CPU clock
    size_t hooks = 0;
};

double cpuNow()
{
    timespec now;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const std::filesystem::path& deviceRoot()
{
    static const std::filesystem::path root = [] {
        auto path = std::filesystem::temp_directory_path() / ("lumora-startup-bench-" + std::to_string(::getpid()));
        if (auto error = camera::bootDeviceRoot(path, camera::defaultDeviceSource(), "9.0"); !error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        std::atexit([] { std::filesystem::remove_all(deviceRoot()); });
        return path;
    }();
    return root;
}

// In a child process: the Camera's state at launch, then the injection.
Measurement measureInChild(const camera::SystemRelease& release)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        device::setRoot(deviceRoot());
        device::setSystemVersion({ release.major, release.minor });
        kCFCoreFoundationVersionNumber = release.coreFoundation;
        camera::registerFamily(camera::familyForGeneration(release.major));
        device::registerProcess("Camera", "com.apple.camera");
        Measurement measurement;
        {
            AutoreleasePool pool;
            auto start = std::chrono::steady_clock::now();
            double cpuStart = cpuNow();
            device::injectLibraries("com.apple.camera", "Camera");
            measurement.cpuSeconds = cpuNow() - cpuStart;
            measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        measurement.hooks = MSHookCount();
        [[maybe_unused]] auto written = ::write(fds[1], &measurement, sizeof measurement);
        ::_exit(0);
    }
    ::close(fds[1]);
    Measurement measurement;
    if (::read(fds[0], &measurement, sizeof measurement) != sizeof measurement)
        measurement = {};
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return measurement;
}

void InjectionToHooksInstalled(benchmark::State& state)
{
    auto release = camera::releaseNamed(std::to_string(state.range(0)));
    if (!release) {
        state.SkipWithError("unknown release");
        return;
    }
    deviceRoot();
    size_t hooks = 0;
    std::vector<double> cpu;
    for (auto _ : state) {
        Measurement measurement = measureInChild(*release);
        if (!measurement.hooks) {
            state.SkipWithError("no hooks were installed");
            return;
        }
        hooks = measurement.hooks;
        cpu.push_back(measurement.cpuSeconds);
        state.SetIterationTime(measurement.seconds);
    }
    std::sort(cpu.begin(), cpu.end());
    state.counters["hooks"] = static_cast<double>(hooks);
    state.counters["cpu_median_us"] = cpu.empty() ? 0 : cpu[cpu.size() / 2] * 1e6;
}
BENCHMARK(InjectionToHooksInstalled)->DenseRange(6, 9)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(40);

} // namespace

BENCHMARK_MAIN();
