// The scenario runner: reads a scenario (one command a line, # comments),
// drives the simulated device and the Camera app processes it launches, and
// checks the scenario's expectations.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

namespace camera {

struct RunnerOptions {
    std::filesystem::path root;       // the device root
    std::filesystem::path image;      // the system files to install into it
    std::filesystem::path executable; // this program, to launch the app with
    bool verbose = false;
    std::string help;                  // the command list, for interactive sessions
    std::filesystem::path screenshots; // where screenshots with relative paths go
};

class Runner {
public:
    explicit Runner(RunnerOptions options);
    ~Runner();

    // Boots the device root; returns an error message, or empty.
    std::string boot();
    // Runs a whole scenario. Returns 0 when every command and expectation
    // held, 1 when an expectation failed, 2 for a malformed scenario.
    int run(std::istream& script, const std::string& name);
    // Reads commands at a prompt until end of input: a failed command or
    // expectation is reported and the session goes on. With realTime the
    // device clock follows the wall clock between commands.
    int runInteractive(std::istream& input, bool realTime);

    // Runs one line; returns an error message, or empty. Sets expectationFailed.
    std::string execute(const std::string& line);
    bool expectationFailed() const { return m_expectationFailed; }
    void shutDown();

private:
    struct App;
    std::string launch();
    std::string installExtension(const std::string& name);
    // Sends a command to the running app; notices when it has ended.
    std::string ask(const std::string& command, std::string& answer);
    void noteEnded(int status);
    bool appRunning();
    std::string syncApp();
    void say(const std::string& message);
    std::string fail(const std::string& message);

    RunnerOptions m_options;
    App* m_app = nullptr;
    int m_major = 9;
    int m_minor = 0;
    std::string m_version = "9.0";
    double m_coreFoundation = 1240.10;
    std::string m_extension;
    uint64_t m_now = 0;
    bool m_everLaunched = false;
    bool m_expectationFailed = false;
};

} // namespace camera
