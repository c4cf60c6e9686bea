// Darwin notifications between the device's processes. Every process that
// observes a name keeps a FIFO in the device's /var/run/notifyd folder;
// posting writes the name to every FIFO there. The receiving process reads
// its FIFO when its run loop polls, and queues the callbacks on the main
// queue.
#include "corefoundation/CoreFoundation.h"

#include "device/Device.h"
#include "device/Trace.h"
#include "dispatch/RunLoop.h"

#include <cerrno>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

double kCFCoreFoundationVersionNumber = 1240.10;

struct __CFNotificationCenter {
    struct Observer {
        const void* observer;
        CFNotificationCallback callback;
        std::string name;
    };
    std::vector<Observer> observers;
    std::set<std::string> pendingDeliveries;
    int fifo = -1;
    std::filesystem::path fifoPath;
    std::filesystem::path fifoRoot;
    bool polling = false;
};

namespace {

constexpr const char* kNotifyFolder = "/var/run/notifyd";

void deliver(__CFNotificationCenter* center, const std::string& name)
{
    if (!center->pendingDeliveries.insert(name).second)
        return; // coalesced with the delivery already queued
    dispatch_async(dispatch_get_main_queue(), [center, name] {
        center->pendingDeliveries.erase(name);
        // Callbacks may add or remove observers; work on a copy.
        auto observers = center->observers;
        auto nameString = NSString::create(name);
        size_t count = 0;
        for (const auto& entry : observers) {
            if (entry.name == name)
                ++count;
        }
        device::tracef(device::TraceKind::Notify, "notification %s delivered (%zu observer%s)", name.c_str(), count, count == 1 ? "" : "s");
        for (const auto& entry : observers) {
            if (entry.name == name)
                entry.callback(center, const_cast<void*>(entry.observer), nameString.ptr(), nullptr, nullptr);
        }
    });
}

void poll(__CFNotificationCenter* center)
{
    if (center->fifo < 0)
        return;
    char buffer[4096];
    std::string pending;
    for (;;) {
        ssize_t count = ::read(center->fifo, buffer, sizeof buffer);
        if (count <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(count));
    }
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string name = pending.substr(start, end - start);
        for (const auto& entry : center->observers) {
            if (entry.name == name) {
                deliver(center, name);
                break;
            }
        }
    }
}

// Opens this process's FIFO in the current device root (again, when the
// root changed since).
void ensureListening(__CFNotificationCenter* center)
{
    auto folder = device::hostPath(kNotifyFolder);
    if (!folder)
        return;
    if (center->fifo >= 0 && center->fifoRoot == device::root())
        return;
    if (center->fifo >= 0) {
        ::close(center->fifo);
        ::unlink(center->fifoPath.c_str());
        center->fifo = -1;
    }
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    auto path = *folder / (std::to_string(::getpid()) + ".fifo");
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0600) != 0)
        return;
    // Read-write, so the FIFO never reports end of file while we listen.
    center->fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    center->fifoPath = path;
    center->fifoRoot = device::root();
    if (!center->polling) {
        center->polling = true;
        RunLoop::main().addSource([center] { poll(center); });
    }
}

} // namespace

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter()
{
    static auto* center = new __CFNotificationCenter;
    return center;
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer, CFNotificationCallback callback, CFStringRef name,
    const void*, CFNotificationSuspensionBehavior)
{
    if (!center || !callback || !name)
        return;
    center->observers.push_back({ observer, callback, name->string() });
    ensureListening(center);
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name, const void*)
{
    if (!center)
        return;
    std::erase_if(center->observers, [&](const __CFNotificationCenter::Observer& entry) {
        return entry.observer == observer && (!name || entry.name == name->view());
    });
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void*, CFDictionaryRef, bool)
{
    if (!center || !name)
        return;
    auto folder = device::hostPath(kNotifyFolder);
    if (!folder)
        return;
    std::string message = name->string() + "\n";
    device::tracef(device::TraceKind::Notify, "notification %s posted", name->UTF8String());
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(*folder, error)) {
        if (file.path().extension() != ".fifo")
            continue;
        int fd = ::open(file.path().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENXIO)
                std::filesystem::remove(file.path(), error); // nobody listens: a process that ended
            continue;
        }
        // Names are short; one write of less than PIPE_BUF bytes is atomic.
        [[maybe_unused]] ssize_t written = ::write(fd, message.data(), message.size());
        ::close(fd);
    }
}
