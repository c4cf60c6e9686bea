#include "device/Device.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

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

// Symbolic links followed on the way to one path before it counts as a
// loop, as the kernel counts them.
constexpr int kMaxLinks = 40;

// Where the file open to fd is, every link on the way resolved: the kernel
// names it, one call where resolving the path component by component would
// take one call a component.
std::optional<std::filesystem::path> openedPath(int fd)
{
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    ssize_t length = ::readlink(link, target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) == sizeof target)
        return std::nullopt;
    return std::filesystem::path(std::string(target, static_cast<size_t>(length)));
}

// Whether host, with every symbolic link on the way followed, stays inside
// the root. An entry that is not there (or a link that leads to nothing)
// stays inside when its folder does, and so does what such a link names.
bool staysWithin(const std::filesystem::path& host, const std::filesystem::path& root, int links)
{
    if (links > kMaxLinks)
        return false;
    int fd = ::open(host.c_str(), O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        auto resolved = openedPath(fd);
        ::close(fd);
        if (!resolved) {
            // No /proc: the library resolves it, one component at a time.
            std::error_code error;
            resolved = std::filesystem::weakly_canonical(host, error);
            if (error)
                return false;
        }
        return isWithin(*resolved, root);
    }
    // A loop, a folder that may not be searched: nothing is reached there.
    if (errno != ENOENT && errno != ENOTDIR)
        return false;
    auto folder = host.parent_path();
    if (folder == host || !staysWithin(folder, root, links))
        return false;
    char target[PATH_MAX];
    ssize_t length = ::readlink(host.c_str(), target, sizeof target);
    if (length < 0)
        return true; // nothing there, or not a link
    std::filesystem::path next(std::string(target, static_cast<size_t>(length)));
    return staysWithin(next.is_absolute() ? next : folder / next, root, links + 1);
}

// The host path of an absolute device path, normalised lexically; ".." may
// not climb above the device's "/".
std::optional<std::filesystem::path> lexicalHostPath(std::string_view devicePath)
{
    const auto& current = state();
    if (current.root.empty() || devicePath.empty() || devicePath.front() != '/')
        return std::nullopt;
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
    return current.root / relative;
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
    auto host = lexicalHostPath(devicePath);
    if (!host || !staysWithin(*host, state().canonicalRoot, 0))
        return std::nullopt;
    return host;
}

std::optional<std::filesystem::path> hostEntryPath(std::string_view devicePath)
{
    auto host = lexicalHostPath(devicePath);
    if (!host || !staysWithin(host->parent_path(), state().canonicalRoot, 0))
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
