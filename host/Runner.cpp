#include "host/Runner.h"

#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "foundation/PropertyList.h"
#include "host/DeviceSetup.h"
#include "host/PackageManager.h"
#include "host/Process.h"
#include "host/Trace.h"
#include "tools/PreferenceFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace camera {

struct Runner::App {
    pid_t pid = -1;
    int fd = -1;
    bool ended = false;
    int status = 0;
    std::string endReason;
    // What was read of a reply and not taken yet: replies are read in blocks.
    std::string input;

    // Reads what the Camera sent next; false when it has ended.
    bool readMore()
    {
        char buffer[65536];
        for (;;) {
            ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return false;
            input.append(buffer, static_cast<size_t>(count));
            return true;
        }
    }
};

namespace {

// A preference edit that wrote nothing (an unreadable file is left alone,
// as the settings editor leaves it) is an error of the scenario.
CommandResult preferenceResult(PreferenceUpdate update)
{
    std::string message = preferences::failureMessage(update);
    return message.empty() ? CommandResult::ok() : CommandResult::error(message);
}

bool parseNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && errno == 0;
}

bool parseYesNo(const std::string& text, bool& value)
{
    if (text != "yes" && text != "no")
        return false;
    value = text == "yes";
    return true;
}

// "true" for a boolean, a number, or the text of a string.
std::string describeValue(Object* value)
{
    if (!value)
        return "absent";
    if (class_isSubclassOf(value->isa(), NSString::staticClass()))
        return static_cast<NSString*>(value)->string();
    return NSPropertyListSummary(value);
}

bool valueMatches(Object* value, const std::string& expected)
{
    if (!value)
        return expected == "absent";
    if (class_isSubclassOf(value->isa(), NSNumber::staticClass())) {
        auto* number = static_cast<NSNumber*>(value);
        if (number->kind() == NSNumber::Kind::Bool)
            return expected == (number->boolValue() ? "true" : "false");
        double wanted;
        return parseNumber(expected, wanted) && std::fabs(number->doubleValue() - wanted) <= 1e-6;
    }
    if (class_isSubclassOf(value->isa(), NSString::staticClass()))
        return static_cast<NSString*>(value)->view() == expected;
    return false;
}

std::string errnoText(const char* call)
{
    return std::string(call) + ": " + std::strerror(errno);
}

} // namespace

Runner::Runner(RunnerOptions options)
    : m_options(std::move(options))
{
    if (!m_options.fork)
        m_options.fork = ::fork;
    if (!m_options.socketpair)
        m_options.socketpair = ::socketpair;
}

Runner::~Runner()
{
    shutDown();
    delete m_app;
}

std::string Runner::boot()
{
    if (auto error = bootDeviceRoot(m_options.root, m_options.device, m_version); !error.empty())
        return error;
    device::setRoot(m_options.root);
    // The runner reads the file to check it; only its writes are news.
    installTracePrinter("", m_options.verbose, false);
    return {};
}

void Runner::say(const std::string& message)
{
    printTraceLine(static_cast<double>(m_now) / NSEC_PER_SEC, "", message);
}

// MARK: The Camera process

void Runner::noteEnded(int status)
{
    if (!m_app || m_app->ended)
        return;
    m_app->ended = true;
    m_app->status = status;
    m_app->endReason = describeStatus(status);
    if (m_app->fd >= 0)
        ::close(m_app->fd);
    m_app->fd = -1;
    say("Camera (pid " + std::to_string(m_app->pid) + ") " + m_app->endReason);
}

void Runner::reap()
{
    int status = 0;
    while (::waitpid(m_app->pid, &status, 0) < 0 && errno == EINTR) { }
    noteEnded(status);
}

CommandResult Runner::ask(const std::string& command)
{
    if (!m_app || m_app->ended)
        return CommandResult::error("the Camera is not running (launch starts it)");
    std::string text = command + "\n";
    bool sent = ::send(m_app->fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    std::string line;
    bool complete = false;
    for (size_t end; sent;) {
        if ((end = m_app->input.find('\n')) != std::string::npos) {
            line = m_app->input.substr(0, end);
            m_app->input.erase(0, end + 1);
            complete = true;
            break;
        }
        if (!m_app->readMore())
            break;
    }
    if (!complete) {
        reap();
        return CommandResult::error("the Camera ended (" + m_app->endReason + ")");
    }
    if (line.starts_with("error "))
        return CommandResult::error(line.substr(6));
    if (line.starts_with("fail "))
        return CommandResult::failed(line.substr(5));
    return CommandResult::ok(line.size() > 3 ? line.substr(3) : "");
}

CommandResult Runner::askCamera(const std::string& request)
{
    return ask(request);
}

CommandResult Runner::askCameraWithData(const std::string& request, std::string& data)
{
    data.clear();
    auto result = ask(request);
    if (!result.isOk())
        return result;
    char* end = nullptr;
    unsigned long long length = std::strtoull(result.message.c_str(), &end, 10);
    if (end == result.message.c_str() || length > (64u << 20))
        return CommandResult::error("the Camera answered " + request + " without its data");
    if (!length)
        return result;
    // The data, then the reply's closing newline: what was read with the
    // reply's line first.
    data.resize(length + 1);
    size_t received = std::min(m_app->input.size(), data.size());
    m_app->input.copy(data.data(), received);
    m_app->input.erase(0, received);
    while (received < data.size()) {
        ssize_t count = ::read(m_app->fd, data.data() + received, data.size() - received);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            reap();
            data.clear();
            return CommandResult::error("the Camera ended (" + m_app->endReason + ")");
        }
        received += static_cast<size_t>(count);
    }
    data.pop_back();
    return result;
}

bool Runner::appRunning() const
{
    return m_app && !m_app->ended;
}

std::string Runner::appEndReason() const
{
    if (!m_app)
        return m_everLaunched ? "quit" : "not launched";
    return m_app->endReason;
}

void Runner::advanceClockTo(uint64_t time)
{
    if (time <= m_now)
        return;
    m_now = time;
    RunLoop::main().setNow(m_now);
    if (m_app && !m_app->ended)
        ask("time " + std::to_string(m_now));
}

bool Runner::cameraRunning()
{
    if (!m_app || m_app->ended)
        return false;
    ask("sync");
    return !m_app->ended;
}

std::string Runner::cameraEnd() const
{
    return m_app && m_app->ended ? m_app->endReason : std::string();
}

bool Runner::cameraCrashed() const
{
    if (!m_app || !m_app->ended)
        return false;
    int status = m_app->status;
    return WIFSIGNALED(status) ? WTERMSIG(status) != SIGTERM : WEXITSTATUS(status) != 0;
}

std::string Runner::syncApp()
{
    if (!m_app || m_app->ended)
        return {};
    auto result = ask("sync");
    // An app that ended while catching up is not an error of the scenario.
    return m_app->ended ? std::string() : result.message;
}

std::string Runner::startCamera()
{
    if (m_app && !m_app->ended)
        return "the Camera is already running";

    int sockets[2];
    if (m_options.socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return "cannot start the Camera: " + errnoText("socketpair");
    // The app's end of the channel stays open across exec.
    int appEnd = ::dup(sockets[1]);
    ::close(sockets[1]);
    if (appEnd < 0) {
        ::close(sockets[0]);
        return "cannot start the Camera: " + errnoText("dup");
    }
    char coreFoundation[64];
    std::snprintf(coreFoundation, sizeof coreFoundation, "%.17g", m_coreFoundation);
    std::vector<std::string> arguments = ownProgram(m_options.executable.string());
    arguments.insert(arguments.end(), { "--app", std::to_string(appEnd), "--root", m_options.root.string(), "--ios", m_version, "--cf", coreFoundation, "--time", std::to_string(m_now), "--rear-flash", m_rearFlash ? "yes" : "no", "--front-flash", m_frontFlash ? "yes" : "no" });
    if (m_options.verbose)
        arguments.push_back("--verbose");
    if (!m_options.screenshots.empty()) {
        arguments.push_back("--screenshots");
        arguments.push_back(std::filesystem::absolute(m_options.screenshots).string());
    }
    if (!m_extension.empty()) {
        arguments.push_back("--preload");
        arguments.push_back("/Library/MobileSubstrate/DynamicLibraries/" + m_extension + ".dylib");
    }
    pid_t pid = spawn(arguments, { .fork = m_options.fork });
    int forkError = errno;
    ::close(appEnd);
    if (pid < 0) {
        ::close(sockets[0]);
        errno = forkError;
        return "cannot start the Camera: " + errnoText("fork");
    }

    delete m_app;
    m_app = new App;
    m_app->pid = pid;
    m_app->fd = sockets[0];
    m_everLaunched = true;
    say("launch Camera (pid " + std::to_string(pid) + ")");
    if (auto result = ask("sync"); !result.isOk())
        return "the Camera did not start: " + result.message;
    return {};
}

std::string Runner::shutDown()
{
    if (!m_app || m_app->ended)
        return {};
    say("quit Camera (pid " + std::to_string(m_app->pid) + ")");
    std::string text = "quit\n";
    [[maybe_unused]] auto sent = ::send(m_app->fd, text.data(), text.size(), MSG_NOSIGNAL);
    int status = 0;
    while (::waitpid(m_app->pid, &status, 0) < 0 && errno == EINTR) { }
    m_app->ended = true;
    m_app->status = status;
    m_app->endReason = describeStatus(status);
    ::close(m_app->fd);
    m_app->fd = -1;
    return cameraCrashed() ? m_app->endReason : std::string();
}

std::string Runner::installExtension(const std::string& name)
{
    auto folder = m_options.root / "Library/MobileSubstrate/DynamicLibraries";
    std::error_code error;
    if (!m_extension.empty()) {
        std::filesystem::remove(folder / (m_extension + ".dylib"), error);
        std::filesystem::remove(folder / (m_extension + ".plist"), error);
        m_extension.clear();
    }
    if (name == "none")
        return {};
    if (name.empty() || name.find('/') != std::string::npos || name == "Lumora")
        return "not an extension name: " + name;
    // A stand-in library: what matters is that it is there and loaded.
    auto standIn = m_options.root / "System/Library/PrivateFrameworks/CameraKit.framework/CameraKit";
    std::filesystem::copy_file(standIn, folder / (name + ".dylib"), std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return "cannot install " + name + ".dylib: " + error.message();
    // Its own filter: the Camera's.
    std::ofstream(folder / (name + ".plist")) << "{ Filter = { Bundles = ( \"com.apple.camera\" ); }; }\n";
    m_extension = name;
    say("device: extension " + name + ".dylib installed");
    return {};
}

// MARK: Running lines

CommandResult Runner::execute(const std::string& line)
{
    AutoreleasePool pool;
    RunLoop::main().setNow(m_now);
    auto resolved = resolveCommand(line);
    if (!resolved.row)
        return resolved.error.empty() ? CommandResult::ok() : CommandResult::error(resolved.error);
    const CommandRow& row = *resolved.row;
    if (row.kind == CommandRow::Kind::Device)
        return (this->*row.onDevice)(resolved.arguments);
    // The app resolves the line again from the same table.
    std::string command = line.substr(0, line.find('#'));
    for (char& c : command) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return ask(command);
}

int Runner::run(std::istream& script, const std::string& name, bool keepGoing)
{
    std::string line;
    int number = 0;
    int status = 0;
    while (std::getline(script, line)) {
        ++number;
        auto result = execute(line);
        if (result.isOk()) {
            if (!result.message.empty())
                std::fputs(result.message.c_str(), stdout);
            continue;
        }
        auto end = line.find_last_not_of(" \t\r");
        std::printf("%s: line %d: %s: %s\n", name.c_str(), number, line.substr(0, end + 1).c_str(), result.message.c_str());
        std::fflush(stdout);
        status = std::max(status, result.status == CommandResult::Status::Failed ? 1 : 2);
        if (!keepGoing)
            break;
    }
    // An app that fails as it quits (a sanitizer's report) fails the run.
    auto failure = shutDown();
    if (!failure.empty()) {
        std::printf("%s: the Camera %s as it quit\n", name.c_str(), failure.c_str());
        status = std::max(status, 2);
    }
    return status;
}

int Runner::runInteractive(std::istream& input, bool realTime)
{
    std::printf("Camera simulator: type commands (help lists them, quit ends the Camera, end or Ctrl-D leaves).\n");
    auto last = std::chrono::steady_clock::now();
    std::string line;
    for (;;) {
        std::printf("camera> ");
        std::fflush(stdout);
        if (!std::getline(input, line))
            break;
        if (realTime) {
            // The device clock follows the wall clock between commands.
            auto now = std::chrono::steady_clock::now();
            double elapsed = std::chrono::duration<double>(now - last).count();
            last = now;
            execute("wait " + std::to_string(elapsed));
        }
        std::string command = line.substr(0, line.find_first_of(" \t"));
        if (command == "end" || command == "exit")
            break;
        auto result = execute(command == "?" ? "help" : line);
        if (result.isOk()) {
            std::fputs(result.message.c_str(), stdout);
            continue;
        }
        std::printf("%s: %s\n", result.status == CommandResult::Status::Failed ? "expectation failed" : "error", result.message.c_str());
    }
    std::printf("\n");
    shutDown();
    return 0;
}

// MARK: Device commands

CommandResult Runner::configureDevice(const CommandArguments& arguments)
{
    // Checked as a whole before anything changes.
    struct Setting {
        std::string key, value;
    };
    std::vector<Setting> settings;
    for (const auto& word : arguments.words()) {
        auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0)
            return CommandResult::error("not a setting: " + word + " (" + commandUsage("device") + ")");
        settings.push_back({ word.substr(0, equals), word.substr(equals + 1) });
    }
    int major = m_major, minor = m_minor;
    std::string version = m_version;
    double coreFoundation = m_coreFoundation;
    bool rearFlash = m_rearFlash, frontFlash = m_frontFlash;
    std::optional<std::string> extension;
    bool haveVersion = false;
    for (const auto& [key, value] : settings) {
        if (key == "ios") {
            auto release = releaseNamed(value);
            if (!release)
                return CommandResult::error("unknown iOS version " + value + " (known: " + knownReleases() + ")");
            major = release->major;
            minor = release->minor;
            version = release->version;
            if (!haveVersion)
                coreFoundation = release->coreFoundation;
            haveVersion = true;
        } else if (key == "cf") {
            double number;
            if (value == "nan")
                number = std::nan("");
            else if (!parseNumber(value, number))
                return CommandResult::error("cf: not a number: " + value);
            if (!haveVersion) {
                auto release = releaseForCoreFoundation(std::isnan(number) ? 0 : number);
                major = release.major;
                minor = release.minor;
                version = release.version;
            }
            coreFoundation = number;
            haveVersion = true;
        } else if (key == "extension") {
            if (value != "none" && (value.empty() || value.find('/') != std::string::npos || value == "Lumora"))
                return CommandResult::error("not an extension name: " + value);
            extension = value;
        } else if (key == "rear-flash") {
            if (!parseYesNo(value, rearFlash))
                return CommandResult::error("rear-flash is yes or no, not " + value);
        } else if (key == "front-flash") {
            if (!parseYesNo(value, frontFlash))
                return CommandResult::error("front-flash is yes or no, not " + value);
        } else {
            return CommandResult::error("unknown device setting " + key + " (" + commandUsage("device") + ")");
        }
    }
    if (major < 7 && !LUMORA_HAS_IOS6)
        return CommandResult::error("iOS 6 ran only on 32-bit devices: use the armhf build");
    // The device's package database follows its iOS version.
    if (auto error = packages::setFirmware(m_options.root, version); !error.empty())
        return CommandResult::error(error);
    if (extension) {
        if (auto error = installExtension(*extension); !error.empty())
            return CommandResult::error(error);
    }
    m_major = major;
    m_minor = minor;
    m_version = version;
    m_coreFoundation = coreFoundation;
    m_rearFlash = rearFlash;
    m_frontFlash = frontFlash;
    char text[200];
    std::snprintf(text, sizeof text, "device: iOS %s, CoreFoundation %.2f, rear flash %s, front flash %s%s", m_version.c_str(), m_coreFoundation,
        m_rearFlash ? "yes" : "no", m_frontFlash ? "yes" : "no", m_app && !m_app->ended ? " (from the next launch)" : "");
    say(text);
    return CommandResult::ok();
}

CommandResult Runner::setPreference(const CommandArguments& arguments)
{
    std::string error;
    auto value = preferences::parseValue(arguments.word(1), arguments.rest(2), error);
    if (!value)
        return CommandResult::error(error);
    return preferenceResult(preferences::setValue(arguments.word(0), value.get(), false, lockPatience()));
}

CommandResult Runner::deletePreference(const CommandArguments& arguments)
{
    return preferenceResult(preferences::setValue(arguments.word(0), nullptr, false, lockPatience()));
}

CommandResult Runner::clearPreferences(const CommandArguments&)
{
    return preferenceResult(preferences::clear(false, lockPatience()));
}

CommandResult Runner::removePreferences(const CommandArguments&)
{
    // Whatever is there, a link that leads nowhere included.
    if (auto path = device::hostEntryPath(preferences::kPath->view())) {
        std::error_code error;
        std::filesystem::remove(*path, error);
    }
    say("prefs: removed the preference file");
    return CommandResult::ok();
}

// While the scenario holds the preference file's lock nothing releases it
// before a write of the runner's own, or the editor's, gives up: they need
// not wait.
std::chrono::milliseconds Runner::lockPatience() const
{
    return m_heldPreferenceLock ? std::chrono::milliseconds(0) : preferences::kLockPatience;
}

CommandResult Runner::lockPreferences(const CommandArguments& arguments)
{
    if (arguments.word(0) == "release") {
        m_heldPreferenceLock.reset();
        say("prefs: the lock is free");
        return CommandResult::ok();
    }
    if (m_heldPreferenceLock)
        return CommandResult::ok();
    // The lock every writer takes; its descriptor is not inherited by the
    // processes the runner starts, which would keep it.
    auto lock = std::make_unique<PreferenceLock>(preferences::kPath, std::chrono::milliseconds(0));
    if (lock->outcome() == PreferenceLock::Outcome::Busy)
        return CommandResult::error("the preference file's lock is held already");
    if (lock->outcome() != PreferenceLock::Outcome::Held)
        return CommandResult::error("cannot lock the preference file");
    m_heldPreferenceLock = std::move(lock);
    say("prefs: another program holds the preference file's lock");
    return CommandResult::ok();
}

CommandResult Runner::postNotification(const CommandArguments&)
{
    preferences::postChanged();
    auto error = syncApp();
    return error.empty() ? CommandResult::ok() : CommandResult::error(error);
}

CommandResult Runner::runEditor(const CommandArguments& arguments)
{
    // The settings editor, run as a process of its own.
    std::vector<std::string> command = ownProgram((m_options.executable.parent_path() / "lumora-settings").string());
    command.insert(command.end(), { "--root", m_options.root.string() });
    // The editor's options come before its command; two take a value.
    const auto& words = arguments.words();
    bool waits = false;
    for (size_t i = 0; i < words.size() && words[i].starts_with("--"); ++i) {
        waits = waits || words[i] == "--wait";
        if (words[i] == "--wait" || words[i] == "--root")
            ++i;
    }
    if (m_heldPreferenceLock && !waits)
        command.insert(command.end(), { "--wait", "0" });
    std::string shown;
    for (const auto& word : arguments.words()) {
        command.push_back(word);
        shown += " " + word;
    }
    say("settings editor:" + shown);
    // What the editor says goes into the command's result, so that the live
    // view shows it too.
    auto run = runProgram(command, { .fork = m_options.fork });
    if (!run.error.empty())
        return CommandResult::error("cannot run the settings editor: " + run.error);
    std::string said = run.errors;
    said.erase(said.find_last_not_of('\n') + 1);
    if (auto prefix = std::string_view("lumora-settings: "); said.starts_with(prefix))
        said.erase(0, prefix.size());
    if (!run.succeeded())
        return CommandResult::error("the settings editor failed (" + describeStatus(run.status) + ")" + (said.empty() ? "" : ": " + said));
    if (!said.empty())
        std::fprintf(stderr, "%s\n", said.c_str());
    auto error = syncApp();
    return error.empty() ? CommandResult::ok() : CommandResult::error(error);
}

CommandResult Runner::launchCamera(const CommandArguments&)
{
    auto error = startCamera();
    return error.empty() ? CommandResult::ok() : CommandResult::error(error);
}

CommandResult Runner::passTime(const CommandArguments& arguments)
{
    double seconds = arguments.number(0);
    if (seconds < 0)
        return CommandResult::error("time does not run backwards: wait " + arguments.word(0));
    if (seconds > 1e6)
        return CommandResult::error("SECONDS must be at most 1000000");
    m_now += static_cast<uint64_t>(std::llround(seconds * NSEC_PER_SEC));
    RunLoop::main().setNow(m_now);
    if (m_app && !m_app->ended) {
        auto result = ask("time " + std::to_string(m_now));
        if (!result.isOk() && !m_app->ended)
            return result;
    }
    return CommandResult::ok();
}

CommandResult Runner::quitCamera(const CommandArguments&)
{
    auto failure = shutDown();
    return failure.empty() ? CommandResult::ok() : CommandResult::error("the Camera " + failure + " as it quit");
}

CommandResult Runner::showHelp(const CommandArguments& arguments)
{
    auto text = commandHelp(arguments.word(0));
    if (text.empty())
        return CommandResult::error("no command starts with " + arguments.word(0));
    return CommandResult::ok(text);
}

CommandResult Runner::expectPreference(const CommandArguments& arguments)
{
    std::string expected = arguments.rest(1);
    auto file = preferences::read().dictionary;
    id value = file->objectForKey(NSString::create(arguments.word(0)).ptr());
    if (!valueMatches(value, expected))
        return CommandResult::failed("actual " + describeValue(value));
    return CommandResult::ok();
}

CommandResult Runner::installPackage(const CommandArguments& arguments)
{
    std::filesystem::path file = arguments.has(0) ? std::filesystem::path(arguments.word(0)) : m_options.device.package;
    packages::Stanza installed;
    if (auto error = packages::install(m_options.root, file, &installed); !error.empty())
        return CommandResult::error(error);
    say("package: " + installed.field("Package") + " " + installed.field("Version") + " installed by dpkg" + (appRunning() ? " (from the next launch)" : ""));
    return CommandResult::ok();
}

CommandResult Runner::removePackage(const CommandArguments&)
{
    if (auto error = packages::remove(m_options.root, packageName()); !error.empty())
        return CommandResult::error(error);
    say("package: " + packageName() + " removed by dpkg" + (appRunning() ? " (from the next launch)" : ""));
    return CommandResult::ok();
}

std::optional<std::string> Runner::packageVersion() const
{
    return packages::installedVersion(m_options.root, packageName());
}

CommandResult Runner::expectPackageInstalled(const CommandArguments& arguments)
{
    auto version = packageVersion();
    if (!version)
        return CommandResult::failed("actual removed");
    if (arguments.has(1) && packages::compareVersions(*version, arguments.word(1)) != 0)
        return CommandResult::failed("actual installed " + *version);
    return CommandResult::ok();
}

CommandResult Runner::expectPackageRemoved(const CommandArguments&)
{
    auto version = packageVersion();
    return version ? CommandResult::failed("actual installed " + *version) : CommandResult::ok();
}

CommandResult Runner::expectRunning(const CommandArguments&)
{
    if (cameraRunning())
        return CommandResult::ok();
    return CommandResult::failed(m_app ? "the Camera is not running (" + m_app->endReason + ")" : "the Camera was never launched");
}

CommandResult Runner::expectTerminated(const CommandArguments&)
{
    if (cameraRunning())
        return CommandResult::failed("the Camera is still running");
    if (!m_everLaunched)
        return CommandResult::failed("the Camera was never launched");
    return CommandResult::ok();
}

} // namespace camera
