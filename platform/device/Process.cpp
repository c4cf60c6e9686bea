#include "device/Process.h"

#include "device/Device.h"
#include "device/Trace.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace device {

namespace {

constexpr const char* kProcessTable = "/var/run/processes";

struct Identity {
    std::string name;
    std::string bundleIdentifier;
};

Identity& identity()
{
    static Identity* instance = new Identity;
    return *instance;
}

// The kernel's start time of a process, which tells a live process from a
// later one that reused its pid. Read from its main thread's entry: an
// emulator that runs the device's programs (qemu-user) answers a process's
// questions about its own /proc/PID/stat itself, with no start time.
std::string startTimeOf(pid_t pid)
{
    std::string id = std::to_string(pid);
    std::ifstream stat("/proc/" + id + "/task/" + id + "/stat");
    std::string contents((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = contents.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(contents.substr(close + 2));
    std::string field;
    // Fields after the command: state is field 3; starttime is field 22.
    for (int index = 3; index <= 22 && fields >> field; ++index) {
        if (index == 22)
            return field;
    }
    return {};
}

std::optional<std::filesystem::path> tableFolder()
{
    auto folder = hostPath(kProcessTable);
    if (!folder)
        return std::nullopt;
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    return folder;
}

} // namespace

void registerProcess(std::string_view name, std::string_view bundle)
{
    identity() = { std::string(name), std::string(bundle) };
    auto folder = tableFolder();
    if (!folder)
        return;
    pid_t pid = ::getpid();
    std::ofstream(*folder / std::to_string(pid)) << name << '\n'
                                                 << bundle << '\n'
                                                 << startTimeOf(pid) << '\n';
    tracef(TraceKind::Device, "process %s (%d) started", std::string(name).c_str(), pid);
}

void unregisterProcess()
{
    if (auto folder = tableFolder()) {
        std::error_code error;
        std::filesystem::remove(*folder / std::to_string(::getpid()), error);
    }
}

const std::string& processName()
{
    return identity().name;
}

const std::string& bundleIdentifier()
{
    return identity().bundleIdentifier;
}

std::vector<ProcessEntry> runningProcesses()
{
    std::vector<ProcessEntry> entries;
    auto folder = tableFolder();
    if (!folder)
        return entries;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(*folder, error)) {
        pid_t pid = 0;
        try {
            pid = static_cast<pid_t>(std::stol(file.path().filename().string()));
        } catch (...) {
            continue;
        }
        std::ifstream in(file.path());
        ProcessEntry entry;
        std::string startTime;
        std::getline(in, entry.name);
        std::getline(in, entry.bundleIdentifier);
        std::getline(in, startTime);
        entry.pid = pid;
        if (pid <= 0 || startTime.empty() || startTimeOf(pid) != startTime) {
            std::filesystem::remove(file.path(), error);
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

int killProcessesNamed(std::string_view name, int signal)
{
    pid_t self = ::getpid();
    bool killSelf = false;
    int count = 0;
    for (const auto& entry : runningProcesses()) {
        if (entry.name != name)
            continue;
        ++count;
        if (entry.pid == self) {
            killSelf = true;
            continue;
        }
        tracef(TraceKind::Device, "killall: signal %d to %s (%d)", signal, entry.name.c_str(), entry.pid);
        ::kill(entry.pid, signal);
    }
    if (killSelf) {
        tracef(TraceKind::Device, "killall: signal %d to %s (%d), the calling process", signal, processName().c_str(), self);
        std::fflush(nullptr);
        unregisterProcess();
        ::kill(self, signal);
    }
    return count;
}

} // namespace device

int __wrap_system(const char* command)
{
    if (!command)
        return 1; // a shell is available
    std::istringstream words(command);
    std::vector<std::string> arguments;
    for (std::string word; words >> word;)
        arguments.push_back(word);
    device::tracef(device::TraceKind::Device, "system(\"%s\")", command);

    if (arguments.size() == 2 && arguments[0] == "killall") {
        int killed = device::killProcessesNamed(arguments[1], SIGTERM);
        if (killed == 0)
            device::tracef(device::TraceKind::Device, "killall: no process named %s", arguments[1].c_str());
        return (killed ? 0 : 1) << 8; // killall's exit status, as a wait status
    }
    return 127 << 8; // the device's shell knows no other command
}
