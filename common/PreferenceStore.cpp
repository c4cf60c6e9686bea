#include "common/PreferenceStore.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// How often a writer that waits for the lock tries again.
constexpr auto kLockRetryInterval = std::chrono::milliseconds(10);
// Numbered names for earlier unreadable files, before giving up.
constexpr int kMaxAsideNumber = 999;

bool pathExists(const char* path)
{
    struct stat status;
    return ::lstat(path, &status) == 0 || errno != ENOENT;
}

bool pathExists(NSString* path)
{
    return pathExists(path->fileSystemRepresentation());
}

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

PreferenceLock::PreferenceLock(NSString* path, std::chrono::milliseconds patience)
{
    auto lockPath = path->stringByAppendingString(".lock"_ns);
    const char* file = lockPath->fileSystemRepresentation();
    m_fd = ::open(file, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    // flock() works on a descriptor open only for reading: a lock file
    // this user may not write (left by the editor run as root), or a
    // folder in its place, locks all the same.
    if (m_fd < 0)
        m_fd = ::open(file, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (m_fd < 0) {
        m_outcome = pathExists(file) ? Outcome::Unusable : Outcome::NoRoom;
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_outcome = Outcome::Held;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_outcome = Outcome::Unusable;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_outcome = Outcome::Busy;
            break;
        }
        std::this_thread::sleep_for(kLockRetryInterval);
    }
    ::close(m_fd);
    m_fd = -1;
}

PreferenceLock::~PreferenceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // lets the lock go
}

PreferenceContents readPreferenceFile(NSString* path)
{
    auto dictionary = NSMutableDictionary::create();
    if (auto read = NSDictionary::dictionaryWithContentsOfFile(path)) {
        dictionary->addEntriesFromDictionary(read.get());
        return { dictionary, PreferenceFileState::Read };
    }
    return { dictionary, pathExists(path) ? PreferenceFileState::Unreadable : PreferenceFileState::Missing };
}

PreferenceUpdate updatePreferenceFile(NSString* path, UnreadableFile unreadable, std::chrono::milliseconds patience,
    const std::function<bool(NSMutableDictionary*)>& edit)
{
    PreferenceLock lock(path, patience);
    switch (lock.outcome()) {
    case PreferenceLock::Outcome::Held:
        break;
    case PreferenceLock::Outcome::NoRoom:
        // Nothing this folder holds can be replaced: going on without the
        // lock loses nothing, and says why the write fails.
        break;
    case PreferenceLock::Outcome::Busy:
        return PreferenceUpdate::Locked;
    case PreferenceLock::Outcome::Unusable:
        return PreferenceUpdate::NoLock;
    }
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
