#include "device/Device.h"

#include <system_error>

namespace device {

namespace {

struct State {
    std::filesystem::path root;
    std::filesystem::path canonicalRoot;
    SystemVersion version;
};

State& state()
{
    static State* instance = new State;
    return *instance;
}

bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty())
            continue; // a trailing separator
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

} // namespace

void setRoot(const std::filesystem::path& root)
{
    std::error_code error;
    std::filesystem::create_directories(root, error);
    state().root = std::filesystem::absolute(root, error);
    state().canonicalRoot = std::filesystem::weakly_canonical(state().root, error);
}

const std::filesystem::path& root()
{
    return state().root;
}

std::optional<std::filesystem::path> hostPath(std::string_view devicePath)
{
    const auto& current = state();
    if (current.root.empty() || devicePath.empty() || devicePath.front() != '/')
        return std::nullopt;

    // Normalise lexically; ".." may not climb above the device's "/".
    std::filesystem::path relative;
    int depth = 0;
    for (const auto& part : std::filesystem::path(devicePath).relative_path()) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (depth == 0)
                return std::nullopt;
            relative = relative.parent_path();
            --depth;
            continue;
        }
        relative /= part;
        ++depth;
    }
    auto host = current.root / relative;

    // Symbolic links inside the root may not lead out of it.
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(host, error);
    if (error || !isWithin(resolved, current.canonicalRoot))
        return std::nullopt;
    return host;
}

void setSystemVersion(SystemVersion version)
{
    state().version = version;
}

SystemVersion systemVersion()
{
    return state().version;
}

} // namespace device
