// Camera: the simulated Camera app and its scenario runner.
#include "host/CameraApp.h"
#include "host/DeviceSetup.h"
#include "host/Runner.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

const char* kCommands = R"(the device (between launches):
  device ios=VERSION          the device's iOS release (6.0 ... 9.3, 10.0)
  device cf=NUMBER            or its CoreFoundation version number (both may be given)
  device extension=NAME       install another camera extension, NAME.dylib, loaded before the
                              MobileSubstrate libraries (none: remove it again)
  prefs set KEY TYPE VALUE    write a key into the preference file (TYPE: bool, float, string;
                              bools are true/false)
  prefs delete KEY            remove a key
  prefs clear                 leave an empty preference file
  prefs remove                delete the preference file
  notify                      post com.QV.Lumora.settingschanged from outside the Camera
  editor ARGS...              run the settings editor (lumora-settings ARGS), a process of its own
  launch                      start the Camera app (again, after it ended)
  wait SECONDS                let time pass on the device clock
  quit                        close the Camera app

the camera (while it runs):
  mode NAME                   photo, video, slo-mo, pano, square, time-lapse
  camera rear|front           switch cameras (the front one has no flash)
  flash on|off|auto           the flash mode
  flash-options expand|collapse
  photo                       take a photo (the flash fires when it is on)
  burst N                     a burst of N photos
  timer-photo, stop-timer     start the self-timer, and stop it before it fires
  record start|stop           record video (in a video mode)
  rotate portrait|upside-down|landscape-left|landscape-right
  tap dot                     tap the torch button (a real tap, through hit testing)
  tap outside                 tap the screen away from the popover
  switch on|off               flip the switch that is shown (the torch list's, or iOS 6's row)
  slider VALUE                drag the slider that is shown to VALUE
  settings show [grid] [hdr] [pano] | settings hide
                              the iOS 6 settings panel, with those stock rows (default all)
  screenshot FILE             write the screen as a PNG (relative to --screenshots)

expectations (a failed one prints its line and ends a scenario with status 1):
  expect pref KEY VALUE       a key's value (true/false, a number within 1e-6, or text)
  expect pref KEY absent
  expect module NAME|none     the generation module the Camera loaded (LumoraiOS9 ...)
  expect hooks installed|none
  expect running | expect terminated
  expect torch off | expect torch on [LEVEL]
  expect dot hidden|shown|enabled|disabled|absent | expect dot left-of flip | right-of flash
  expect dot frame X Y W H    the torch button's frame on the top bar
  expect popover shown|hidden | rows N | size W H | arrow up|down|left|right|none
  expect popover frame X Y W H   the popover's chrome view in window points
  expect row mode|level y Y | alpha A | hidden | shown     iOS 6's torch rows
  expect panel height H | expect panel hidden              iOS 6's settings panel
)";

const char* kOptions = R"(usage: Camera [options]

Runs the simulated Camera app of a simulated iOS device, with the Lumora
extension injected, through a scenario: one command a line, # comments.

options:
  --script FILE   the scenario to run ("-" reads standard input);
                  default: scenarios/tour.scn of the source tree
  --root DIR      the device root to use (created if missing); files left
                  there can be inspected afterwards; default: build/device
  --interactive   type commands at a prompt instead of running a scenario
  --real-time     in an interactive session, let the device clock follow the
                  wall clock between commands (otherwise only wait moves it)
  --screenshots DIR
                  where screenshots with relative paths go; default: build/screenshots
  --verbose       trace every event: each method added or hooked, files read
  --help          this text

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
            std::fputs(kCommands, stdout);
            return 0;
        } else if (argument == "--script") {
            script = value("--script");
        } else if (argument == "--root") {
            root = value("--root");
        } else if (argument == "--verbose" || argument == "-v") {
            verbose = true;
        } else if (argument == "--interactive" || argument == "-i") {
            interactive = true;
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
    options.image = camera::defaultDeviceImage();
    options.executable = std::filesystem::read_symlink("/proc/self/exe");
    options.verbose = verbose;
    options.help = kCommands;
    options.screenshots = screenshots;
    camera::Runner runner(options);
    if (auto error = runner.boot(); !error.empty()) {
        std::fprintf(stderr, "Camera: %s\n", error.c_str());
        return 2;
    }

    if (interactive)
        return runner.runInteractive(std::cin, realTime);
    if (script == "-")
        return runner.run(std::cin, "<stdin>");
    if (script.empty())
        script = defaultScript().string();
    std::ifstream file(script);
    if (!file) {
        std::fprintf(stderr, "Camera: cannot read the scenario %s\n", script.c_str());
        return 2;
    }
    return runner.run(file, script);
}
