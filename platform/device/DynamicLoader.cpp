#include "device/DynamicLoader.h"

#include "device/Device.h"
#include "device/Trace.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>

namespace device {

namespace {

std::vector<std::string>& images()
{
    static auto* list = new std::vector<std::string>;
    return *list;
}

int hostMode(int mode)
{
    int host = (mode & kRTLD_NOW) ? RTLD_NOW : RTLD_LAZY;
    // On the device a library is global unless it asks to be local.
    host |= (mode & kRTLD_LOCAL) ? RTLD_LOCAL : RTLD_GLOBAL;
    if (mode & kRTLD_NOLOAD)
        host |= RTLD_NOLOAD;
    if (mode & kRTLD_NODELETE)
        host |= RTLD_NODELETE;
    return host;
}

} // namespace

std::vector<std::string> loadedImages()
{
    return images();
}

bool isImageLoaded(const std::string& devicePath)
{
    return std::find(images().begin(), images().end(), devicePath) != images().end();
}

} // namespace device

void* __wrap_dlopen(const char* path, int mode)
{
    using namespace device;
    if (!path)
        return ::dlopen(nullptr, hostMode(mode));
    auto host = hostPath(path);
    if (!host) {
        tracef(TraceKind::Module, "dlopen %s: not a path on the device", path);
        return nullptr;
    }
    if (mode & kRTLD_NOLOAD) {
        void* handle = ::dlopen(host->c_str(), hostMode(mode));
        tracef(TraceKind::Module, "dlopen %s (no-load): %s", path, handle ? "loaded" : "not loaded");
        return handle;
    }
    std::error_code error;
    if (!std::filesystem::exists(*host, error)) {
        tracef(TraceKind::Module, "dlopen %s: no such file", path);
        return nullptr;
    }
    bool already = isImageLoaded(path);
    if (!already) {
        // Recorded and traced before its initialisers run, so they see it.
        images().push_back(path);
        tracef(TraceKind::Module, "dlopen %s", path);
    }
    void* handle = ::dlopen(host->c_str(), hostMode(mode));
    if (!handle) {
        if (!already)
            images().pop_back();
        tracef(TraceKind::Module, "dlopen %s failed: %s", path, ::dlerror());
        return nullptr;
    }
    return handle;
}
