#include "common/PreferenceStore.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A writer holds the lock for a read and a write of a small file; one that
// holds it longer than this is stuck, and waiting for it would stall the
// Camera.
constexpr int kLockAttempts = 200;
constexpr long kLockRetryNanoseconds = 10 * 1000 * 1000;
// Numbered names for earlier unreadable files, before giving up.
constexpr int kMaxAsideNumber = 999;

bool pathExists(NSString* path)
{
    struct stat status;
    return ::lstat(path->fileSystemRepresentation(), &status) == 0 || errno != ENOENT;
}

// An exclusive advisory lock on a file beside the preference file, for as
// long as it lives. The preference file itself is replaced by each write,
// so it cannot carry the lock.
class PreferenceLock {
public:
    explicit PreferenceLock(NSString* path)
    {
        auto lockPath = path->stringByAppendingString(".lock"_ns);
        m_fd = ::open(lockPath->fileSystemRepresentation(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (m_fd < 0)
            return;
        for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_held = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            timespec pause { 0, kLockRetryNanoseconds };
            ::nanosleep(&pause, nullptr);
        }
        ::close(m_fd);
        m_fd = -1;
    }
    ~PreferenceLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // lets the lock go
    }
    PreferenceLock(const PreferenceLock&) = delete;
    PreferenceLock& operator=(const PreferenceLock&) = delete;

    // A folder where no lock file can be made cannot hold a new preference
    // file either: going on without the lock there loses nothing.
    bool mayProceed() const { return m_held || m_fd < 0; }

private:
    int m_fd = -1;
    bool m_held = false;
};

// Moves an unreadable file out of the way: PATH.unreadable, after moving an
// earlier one from there to the first free numbered name.
bool moveAside(NSString* path)
{
    auto aside = path->stringByAppendingString(".unreadable"_ns);
    if (pathExists(aside.ptr())) {
        bool moved = false;
        for (int number = 1; number <= kMaxAsideNumber && !moved; ++number) {
            auto earlier = aside->stringByAppendingString(NSString::stringWithFormat(".%d", number).ptr());
            if (pathExists(earlier.ptr()))
                continue;
            if (::rename(aside->fileSystemRepresentation(), earlier->fileSystemRepresentation()) != 0)
                return false;
            moved = true;
        }
        if (!moved)
            return false;
    }
    return ::rename(path->fileSystemRepresentation(), aside->fileSystemRepresentation()) == 0;
}

} // namespace

PreferenceContents readPreferenceFile(NSString* path)
{
    auto dictionary = NSMutableDictionary::create();
    if (auto read = NSDictionary::dictionaryWithContentsOfFile(path)) {
        dictionary->addEntriesFromDictionary(read.get());
        return { dictionary, PreferenceFileState::Read };
    }
    return { dictionary, pathExists(path) ? PreferenceFileState::Unreadable : PreferenceFileState::Missing };
}

PreferenceUpdate updatePreferenceFile(NSString* path, UnreadableFile unreadable, const std::function<bool(NSMutableDictionary*)>& edit)
{
    PreferenceLock lock(path);
    if (!lock.mayProceed())
        return PreferenceUpdate::Locked;
    auto contents = readPreferenceFile(path);
    if (contents.state == PreferenceFileState::Unreadable) {
        if (unreadable == UnreadableFile::Refuse)
            return PreferenceUpdate::Unreadable;
        if (!moveAside(path))
            return PreferenceUpdate::Failed;
    }
    if (!edit(contents.dictionary.ptr()))
        return PreferenceUpdate::Unchanged;
    return contents.dictionary->writeToFile(path, YES) ? PreferenceUpdate::Written : PreferenceUpdate::Failed;
}
