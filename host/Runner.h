// The scenario runner: drives the simulated device and the Camera app
// processes it launches, one command at a time (see Commands.def), from a
// scenario, from a prompt, or from any other front end through execute().
#pragma once

#include "host/CommandTable.h"
#include "host/DeviceSetup.h"

#include <chrono>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

class PreferenceLock;

namespace camera {

struct RunnerOptions {
    std::filesystem::path root;       // the device root
    DeviceSource device;              // what it is set up from
    std::filesystem::path executable; // this program, to launch the app with
    bool verbose = false;
    std::filesystem::path screenshots; // where screenshots with relative paths go
    // The process calls the runner makes, replaceable to test their failures.
    pid_t (*fork)() = nullptr;
    int (*socketpair)(int domain, int type, int protocol, int sockets[2]) = nullptr;
};

class Runner {
public:
    explicit Runner(RunnerOptions options);
    ~Runner();

    // Boots the device root; returns an error message, or empty.
    std::string boot();

    // Runs one line (a command, a comment or nothing) and says what became
    // of it. The Camera keeps running after an error or a failure.
    CommandResult execute(const std::string& line);

    // Runs a whole scenario: stops at the first error (returns 2) or failed
    // expectation (returns 1), printing "line N: ..."; 0 when all held.
    // With keepGoing it reports each and goes on, and returns the worst.
    int run(std::istream& script, const std::string& name, bool keepGoing = false);
    // Reads commands at a prompt until end of input: a failed command or
    // expectation is reported and the session goes on. With realTime the
    // device clock follows the wall clock between commands.
    int runInteractive(std::istream& input, bool realTime);

    // The device clock, in nanoseconds.
    uint64_t now() const { return m_now; }
    bool cameraRunning();
    // How the last Camera ended ("exited with status 0", "ended by SIGTERM"),
    // empty while it runs or before any launch; and whether that was a crash
    // (anything but quitting or being terminated).
    std::string cameraEnd() const;
    bool cameraCrashed() const;
    // Quits a running Camera; how it ended when that was badly (a
    // sanitizer's report as it quit), else empty.
    std::string shutDown();

    // For a live session (see LiveSession.h): the device clock moved forward
    // to time as a wait would; the app's own requests ("live-..."), one
    // whose answer starts with the length of the data that follows its line
    // read into data; and the device as the next launch sees it.
    void advanceClockTo(uint64_t time);
    CommandResult askCamera(const std::string& request);
    CommandResult askCameraWithData(const std::string& request, std::string& data);
    // Whether the Camera was running when last asked (asks nothing).
    bool appRunning() const;
    std::string appEndReason() const;
    const std::string& systemVersion() const { return m_version; }
    double coreFoundationVersion() const { return m_coreFoundation; }
    const std::string& extension() const { return m_extension; }
    bool rearFlash() const { return m_rearFlash; }
    bool frontFlash() const { return m_frontFlash; }
    const std::string& packageName() const { return m_options.device.packageName; }
    // The installed version of the extension's package; nullopt when it is
    // not installed.
    std::optional<std::string> packageVersion() const;

private:
    friend std::span<const CommandRow> commandRows();
#define DEVICE_COMMAND(generations, name, arguments, handler, help) CommandResult handler(const CommandArguments&);
#include "host/Commands.def"

    struct App;
    std::string startCamera();
    std::string installExtension(const std::string& name);
    // Sends a line to the running app and waits for its reply; notices when
    // the app has ended.
    CommandResult ask(const std::string& line);
    void noteEnded(int status);
    void reap();
    std::string syncApp();
    void say(const std::string& message);

    RunnerOptions m_options;
    App* m_app = nullptr;
    int m_major = 9;
    int m_minor = 0;
    std::string m_version = "9.0";
    double m_coreFoundation = 1240.10;
    std::string m_extension;
    bool m_rearFlash = true;
    bool m_frontFlash = false;
    uint64_t m_now = 0;
    bool m_everLaunched = false;
    std::unique_ptr<PreferenceLock> m_heldPreferenceLock; // prefs lock hold
    std::chrono::milliseconds lockPatience() const;
};

} // namespace camera
