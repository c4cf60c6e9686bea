#include "host/Runner.h"

#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "foundation/PropertyList.h"
#include "host/DeviceSetup.h"
#include "host/Trace.h"
#include "tools/PreferenceFile.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace camera {

struct Runner::App {
    pid_t pid = -1;
    int fd = -1;
    bool ended = false;
    std::string endReason;
};

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// The text after the first n words of a line.
std::string restAfterWords(const std::string& line, size_t n)
{
    size_t position = 0;
    for (size_t i = 0; i < n; ++i) {
        position = line.find_first_not_of(" \t", position);
        if (position == std::string::npos)
            return {};
        position = line.find_first_of(" \t", position);
        if (position == std::string::npos)
            return {};
    }
    position = line.find_first_not_of(" \t", position);
    if (position == std::string::npos)
        return {};
    auto end = line.find_last_not_of(" \t\r");
    return line.substr(position, end - position + 1);
}

bool parseNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && errno == 0;
}

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status)) {
        int signal = WTERMSIG(status);
        const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGKILL ? "SIGKILL"
            : signal == SIGABRT                                              ? "SIGABRT"
            : signal == SIGSEGV                                              ? "SIGSEGV"
                                                                             : nullptr;
        return name ? std::string("ended by ") + name : "ended by signal " + std::to_string(signal);
    }
    return "exited with status " + std::to_string(WEXITSTATUS(status));
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

} // namespace

Runner::Runner(RunnerOptions options)
    : m_options(std::move(options))
{
}

Runner::~Runner()
{
    shutDown();
}

std::string Runner::boot()
{
    if (auto error = bootDeviceRoot(m_options.root, m_options.image); !error.empty())
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

std::string Runner::fail(const std::string& message)
{
    m_expectationFailed = true;
    return message;
}

void Runner::noteEnded(int status)
{
    if (!m_app || m_app->ended)
        return;
    m_app->ended = true;
    m_app->endReason = describeStatus(status);
    if (m_app->fd >= 0)
        ::close(m_app->fd);
    m_app->fd = -1;
    say("Camera (pid " + std::to_string(m_app->pid) + ") " + m_app->endReason);
}

std::string Runner::ask(const std::string& command, std::string& answer)
{
    answer.clear();
    if (!m_app || m_app->ended)
        return "the Camera is not running";
    std::string text = command + "\n";
    bool sent = ::send(m_app->fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    std::string line;
    bool complete = false;
    if (sent) {
        char c;
        for (;;) {
            ssize_t count = ::read(m_app->fd, &c, 1);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            if (c == '\n') {
                complete = true;
                break;
            }
            line += c;
        }
    }
    if (!complete) {
        int status = 0;
        while (::waitpid(m_app->pid, &status, 0) < 0 && errno == EINTR) { }
        noteEnded(status);
        return "the Camera ended (" + m_app->endReason + ")";
    }
    if (line.rfind("error ", 0) == 0)
        return line.substr(6);
    if (line.rfind("fail ", 0) == 0)
        return fail(line.substr(5));
    answer = line.size() > 3 ? line.substr(3) : "";
    return {};
}

bool Runner::appRunning()
{
    if (!m_app || m_app->ended)
        return false;
    std::string answer;
    ask("sync", answer);
    return !m_app->ended;
}

std::string Runner::syncApp()
{
    if (!m_app || m_app->ended)
        return {};
    std::string answer;
    auto error = ask("sync", answer);
    // An app that ended while catching up is not an error of the scenario.
    return m_app->ended ? std::string() : error;
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
    std::filesystem::copy_file(folder / "Lumora.plist", folder / (name + ".plist"), std::filesystem::copy_options::overwrite_existing, error);
    m_extension = name;
    say("device: extension " + name + ".dylib installed");
    return {};
}

std::string Runner::launch()
{
    if (m_app && !m_app->ended)
        return "the Camera is already running";
    delete m_app;
    m_app = new App;

    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return std::string("socketpair: ") + std::strerror(errno);
    std::fflush(stdout);
    pid_t pid = ::fork();
    if (pid < 0)
        return std::string("fork: ") + std::strerror(errno);
    if (pid == 0) {
        ::close(sockets[0]);
        int fd = ::dup(sockets[1]); // without close-on-exec
        char coreFoundation[64];
        std::snprintf(coreFoundation, sizeof coreFoundation, "%.17g", m_coreFoundation);
        std::vector<std::string> arguments = { "Camera", "--app", std::to_string(fd), "--root", m_options.root.string(), "--ios", m_version,
            "--cf", coreFoundation, "--time", std::to_string(m_now) };
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
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(m_options.executable.c_str(), argv.data());
        std::perror("exec Camera");
        ::_exit(127);
    }
    ::close(sockets[1]);
    m_app->pid = pid;
    m_app->fd = sockets[0];
    m_everLaunched = true;
    say("launch Camera (pid " + std::to_string(pid) + ")");
    std::string answer;
    if (auto error = ask("sync", answer); !error.empty())
        return "the Camera did not start: " + error;
    return {};
}

void Runner::shutDown()
{
    if (m_app && !m_app->ended) {
        say("quit Camera (pid " + std::to_string(m_app->pid) + ")");
        std::string text = "quit\n";
        [[maybe_unused]] auto sent = ::send(m_app->fd, text.data(), text.size(), MSG_NOSIGNAL);
        int status = 0;
        while (::waitpid(m_app->pid, &status, 0) < 0 && errno == EINTR) { }
        m_app->ended = true;
        ::close(m_app->fd);
    }
    delete m_app;
    m_app = nullptr;
}

std::string Runner::execute(const std::string& rawLine)
{
    std::string line = rawLine.substr(0, rawLine.find('#'));
    auto words = split(line);
    if (words.empty())
        return {};
    const std::string& command = words[0];
    AutoreleasePool pool;
    RunLoop::main().setNow(m_now);

    if (command == "device") {
        if (words.size() < 2)
            return "usage: device ios=VERSION | cf=NUMBER";
        bool haveVersion = false;
        for (size_t i = 1; i < words.size(); ++i) {
            auto equals = words[i].find('=');
            std::string key = words[i].substr(0, equals);
            std::string value = equals == std::string::npos ? "" : words[i].substr(equals + 1);
            if (key == "ios") {
                auto release = releaseNamed(value);
                if (!release)
                    return "unknown iOS version " + value + " (known: " + knownReleases() + ")";
                m_major = release->major;
                m_minor = release->minor;
                m_version = release->version;
                if (!haveVersion)
                    m_coreFoundation = release->coreFoundation;
                haveVersion = true;
            } else if (key == "cf") {
                double number;
                if (!parseNumber(value, number) && value != "nan")
                    return "not a number: " + value;
                if (value == "nan")
                    number = std::nan("");
                if (!haveVersion) {
                    auto release = releaseForCoreFoundation(std::isnan(number) ? 0 : number);
                    m_major = release.major;
                    m_minor = release.minor;
                    m_version = release.version;
                }
                m_coreFoundation = number;
                haveVersion = true;
            } else if (key == "extension") {
                if (auto error = installExtension(value); !error.empty())
                    return error;
            } else {
                return "unknown device setting " + words[i];
            }
        }
        char text[128];
        std::snprintf(text, sizeof text, "device: iOS %s, CoreFoundation %.2f%s", m_version.c_str(), m_coreFoundation,
            m_app && !m_app->ended ? " (from the next launch)" : "");
        say(text);
        return {};
    }

    if (command == "prefs") {
        if (words.size() >= 5 && words[1] == "set") {
            std::string error;
            auto value = preferences::parseValue(words[3], restAfterWords(line, 4), error);
            if (!value)
                return error;
            preferences::setValue(words[2], value.get());
            return {};
        }
        if (words.size() == 3 && words[1] == "delete") {
            preferences::setValue(words[2], nullptr);
            return {};
        }
        if (words.size() == 2 && words[1] == "clear") {
            preferences::write(NSDictionary::create().ptr());
            return {};
        }
        if (words.size() == 2 && words[1] == "remove") {
            if (auto path = device::hostPath(preferences::kPath->view())) {
                std::error_code error;
                std::filesystem::remove(*path, error);
            }
            say("prefs: removed the preference file");
            return {};
        }
        return "usage: prefs set KEY bool|float|string VALUE | prefs delete KEY | prefs clear | prefs remove";
    }

    if (command == "notify") {
        preferences::postChanged();
        return syncApp();
    }

    if (command == "editor") {
        // The settings editor, run as a process of its own.
        std::vector<std::string> arguments = { (m_options.executable.parent_path() / "lumora-settings").string(), "--root", m_options.root.string() };
        std::string shown;
        for (size_t i = 1; i < words.size(); ++i) {
            arguments.push_back(words[i]);
            shown += " " + words[i];
        }
        say("settings editor:" + shown);
        std::fflush(stdout);
        pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::perror("exec lumora-settings");
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return "the settings editor failed (" + describeStatus(status) + ")";
        return syncApp();
    }

    if (command == "launch") {
        if (words.size() != 1)
            return "usage: launch";
        return launch();
    }

    if (command == "wait") {
        double seconds;
        if (words.size() != 2 || !parseNumber(words[1], seconds) || seconds < 0)
            return "usage: wait SECONDS";
        m_now += static_cast<uint64_t>(std::llround(seconds * NSEC_PER_SEC));
        RunLoop::main().setNow(m_now);
        if (m_app && !m_app->ended) {
            std::string answer;
            auto error = ask("time " + std::to_string(m_now), answer);
            if (!error.empty() && !m_app->ended)
                return error;
        }
        return {};
    }

    if (command == "quit") {
        shutDown();
        return {};
    }

    if (command == "expect") {
        if (words.size() < 2)
            return "usage: expect WHAT ...";
        const std::string& what = words[1];
        if (what == "pref" && words.size() >= 4) {
            std::string expected = restAfterWords(line, 3);
            auto file = preferences::read();
            id value = file->objectForKey(NSString::create(words[2]).ptr());
            if (!valueMatches(value, expected))
                return fail("pref " + words[2] + " is " + describeValue(value) + ", expected " + expected);
            return {};
        }
        if (what == "running" && words.size() == 2) {
            if (!appRunning())
                return fail(m_app ? "the Camera is not running (" + m_app->endReason + ")" : "the Camera was never launched");
            return {};
        }
        if (what == "terminated" && words.size() == 2) {
            if (appRunning())
                return fail("the Camera is still running");
            if (!m_everLaunched)
                return fail("the Camera was never launched");
            return {};
        }
        if (what == "module" && words.size() == 3) {
            std::string answer;
            if (auto error = ask("module", answer); !error.empty())
                return fail(error);
            if (answer != words[2])
                return fail("module loaded is " + answer + ", expected " + words[2]);
            return {};
        }
        if (what == "hooks" && words.size() == 3 && (words[2] == "installed" || words[2] == "none")) {
            std::string answer;
            if (auto error = ask("hooks", answer); !error.empty())
                return fail(error);
            bool installed = answer != "0";
            if (installed != (words[2] == "installed"))
                return fail(answer + " hooks installed, expected " + words[2]);
            return {};
        }
    }

    // Everything else is the Camera's to do or to check.
    if (!m_app || m_app->ended)
        return "unknown command, or one that needs the Camera running: " + line;
    std::string answer;
    return ask(line, answer);
}

int Runner::run(std::istream& script, const std::string& name)
{
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
        ++number;
        auto error = execute(line);
        if (error.empty())
            continue;
        std::printf("%s:%d: %s\n    %s\n", name.c_str(), number, m_expectationFailed ? "expectation failed" : "error", line.c_str());
        std::printf("    %s\n", error.c_str());
        std::fflush(stdout);
        shutDown();
        return m_expectationFailed ? 1 : 2;
    }
    shutDown();
    return 0;
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
        if (command == "help" || command == "?") {
            std::fputs(m_options.help.c_str(), stdout);
            continue;
        }
        m_expectationFailed = false;
        auto error = execute(line);
        if (!error.empty())
            std::printf("%s: %s\n", m_expectationFailed ? "expectation failed" : "error", error.c_str());
    }
    std::printf("\n");
    shutDown();
    return 0;
}

} // namespace camera
