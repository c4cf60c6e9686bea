// Camera: the simulated Camera app and its scenario runner.
#include "host/CameraApp.h"
#include "host/DeviceSetup.h"
#include "host/LiveServer.h"
#include "host/Runner.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

const char* kOptions = R"(usage: Camera [options]

Runs the simulated Camera app of a simulated iOS device, with the Lumora
extension injected, through a scenario: one command a line, # comments.

options:
  --script FILE   the scenario to run ("-" reads standard input);
                  default: scenarios/tour.scn of the source tree
  --root DIR      the device root to use (created if missing, the extension's
                  package installed into it by dpkg); files left there can be
                  inspected afterwards; default: build/device
  --interactive   type commands at a prompt instead of running a scenario
  --serve [[ADDRESS:]PORT]
                  run the device and the Camera on real time and serve the live
                  view, a web page that shows the screen and drives it (default
                  127.0.0.1:8080; port 0 picks a free one); with --script, the
                  scenario runs first (to set the device up)
  --serve-anywhere
                  let --serve listen on an address other than a loopback one;
                  the page is then reached by an IP address (or a name given
                  with --serve-name), never by another name
  --serve-name NAME
                  a host name the live view may be reached by, besides IP
                  addresses and localhost (repeatable); a request that names
                  any other host is refused, so that a web page elsewhere
                  cannot drive the device through a name of its own
  --real-time     in an interactive session, let the device clock follow the
                  wall clock between commands (otherwise only wait moves it)
  --screenshots DIR
                  where screenshots with relative paths go; default: build/screenshots
  --keep-going    report a scenario's errors and failed expectations and go
                  on to its end (the status is the worst)
  --verbose       trace every event: each method added or hooked, files read
  --help          this text

A scenario line is a command, or an expectation that a failed scenario
stops at (status 1, "line N: ..." naming what was found); a line that is not
a command, has bad arguments, or does not apply to the running Camera's iOS
generation stops it with status 2. At the prompt, end (or Ctrl-D) leaves.

)";

std::filesystem::path defaultScript()
{
    return std::filesystem::path(LUMORA_SOURCE_DIR) / "scenarios" / "tour.scn";
}

} // namespace

int main(int argc, char** argv)
{
    camera::AppOptions app;
    bool appMode = false;
    std::string script;
    std::filesystem::path root = camera::defaultDeviceRoot();
    bool verbose = false;
    bool interactive = false;
    bool realTime = false;
    bool keepGoing = false;
    bool serve = false;
    camera::ServeOptions serveOptions;
    std::filesystem::path screenshots = camera::defaultDeviceRoot().parent_path() / "screenshots";

    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "Camera: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (argument == "--help" || argument == "-h") {
            std::fputs(kOptions, stdout);
            std::fputs(camera::commandHelp().c_str(), stdout);
            return 0;
        } else if (argument == "--script") {
            script = value("--script");
        } else if (argument == "--root") {
            root = value("--root");
        } else if (argument == "--verbose" || argument == "-v") {
            verbose = true;
        } else if (argument == "--interactive" || argument == "-i") {
            interactive = true;
        } else if (argument == "--serve") {
            serve = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                if (auto error = camera::parseServeAddress(argv[++i], serveOptions); !error.empty()) {
                    std::fprintf(stderr, "Camera: --serve: %s\n", error.c_str());
                    return 2;
                }
            }
        } else if (argument == "--serve-anywhere") {
            serveOptions.anywhere = true;
        } else if (argument == "--serve-name") {
            if (auto error = camera::addServeName(value("--serve-name"), serveOptions); !error.empty()) {
                std::fprintf(stderr, "Camera: --serve-name: %s\n", error.c_str());
                return 2;
            }
        } else if (argument == "--keep-going") {
            keepGoing = true;
        } else if (argument == "--real-time") {
            realTime = true;
        } else if (argument == "--app") {
            // Internal: this process is the Camera app, driven over a channel.
            appMode = true;
            app.controlFd = std::stoi(value("--app"));
        } else if (argument == "--ios") {
            std::string version = value("--ios");
            std::sscanf(version.c_str(), "%d.%d", &app.major, &app.minor);
        } else if (argument == "--cf") {
            app.coreFoundation = std::strtod(value("--cf").c_str(), nullptr);
        } else if (argument == "--screenshots") {
            screenshots = value("--screenshots");
        } else if (argument == "--preload") {
            app.preloaded.push_back(value("--preload"));
        } else if (argument == "--rear-flash") {
            app.rearFlash = value("--rear-flash") == "yes";
        } else if (argument == "--front-flash") {
            app.frontFlash = value("--front-flash") == "yes";
        } else if (argument == "--time") {
            app.startTime = std::stoull(value("--time"));
        } else {
            std::fprintf(stderr, "Camera: unknown option %s (see --help)\n", argument.c_str());
            return 2;
        }
    }

    if (appMode) {
        app.root = root;
        app.screenshots = screenshots;
        app.verbose = verbose;
        return camera::runCameraApp(app);
    }

    camera::RunnerOptions options;
    options.root = root;
    options.device = camera::defaultDeviceSource();
    options.executable = std::filesystem::read_symlink("/proc/self/exe");
    options.verbose = verbose;
    options.screenshots = screenshots;
    camera::Runner runner(options);
    if (auto error = runner.boot(); !error.empty()) {
        std::fprintf(stderr, "Camera: %s\n", error.c_str());
        return 2;
    }

    if (serve) {
        serveOptions.web = options.executable.parent_path().parent_path() / "web";
        serveOptions.setup = script;
        return camera::serveLive(runner, serveOptions);
    }
    if (interactive)
        return runner.runInteractive(std::cin, realTime);
    if (script == "-")
        return runner.run(std::cin, "<stdin>", keepGoing);
    if (script.empty())
        script = defaultScript().string();
    std::ifstream file(script);
    if (!file) {
        std::fprintf(stderr, "Camera: cannot read the scenario %s\n", script.c_str());
        return 2;
    }
    return runner.run(file, script, keepGoing);
}
