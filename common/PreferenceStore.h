// The preference file as everything that writes it shares it: the modules
// and the settings editor. Nothing stored in it is lost: each
// read-modify-write holds an exclusive lock across processes, so that no
// writer undoes another's change, and a file that is there but cannot be
// read is moved aside, never written over.
#pragma once

#include "foundation/NSCollections.h"

#include <chrono>
#include <functional>

enum class PreferenceFileState {
    Missing,
    Read,
    Unreadable, // something is there, but no property list with a dictionary at its root
};

struct PreferenceContents {
    Ref<NSMutableDictionary> dictionary; // empty unless read
    PreferenceFileState state;
};

// What a read-modify-write does with a file that is there but unreadable.
enum class UnreadableFile {
    // Move it to PATH.unreadable and go on as without a file. An earlier
    // unreadable file there moves on to PATH.unreadable.1 (or .2, ...: the
    // first free name), so the newest is always PATH.unreadable and none is
    // ever deleted.
    MoveAside,
    // Leave it as it is and write nothing.
    Refuse,
};

enum class PreferenceUpdate {
    Written,
    Unchanged,  // the edit asked for no write
    Unreadable, // refused: the file is unreadable (UnreadableFile::Refuse)
    Locked,     // another writer held the lock longer than the caller waits; nothing written
    NoLock,     // the lock file is there but cannot be opened; nothing written
    Failed,     // moving aside or writing failed
};

// An exclusive advisory lock on PATH.lock, beside the preference file at
// PATH, for as long as it lives: what keeps writers apart. (The preference
// file itself is replaced by each write, so it cannot carry the lock.)
// Waits for another holder to let it go for as long as patience.
class PreferenceLock {
public:
    enum class Outcome {
        Held,
        Busy,     // another writer kept it
        Unusable, // the lock file is there but cannot be opened or locked
        NoRoom,   // no lock file could be made: the folder cannot take a file
    };

    PreferenceLock(NSString* path, std::chrono::milliseconds patience);
    ~PreferenceLock();
    PreferenceLock(const PreferenceLock&) = delete;
    PreferenceLock& operator=(const PreferenceLock&) = delete;

    Outcome outcome() const { return m_outcome; }

private:
    int m_fd = -1;
    Outcome m_outcome = Outcome::Unusable;
};

// Reads the file, telling a missing file from an unreadable one.
PreferenceContents readPreferenceFile(NSString* path);

// One exclusive read-modify-write of the file at path: takes the lock on
// PATH.lock, waiting for another writer to let it go for as long as
// patience (zero: only trying), reads the file, lets edit change the
// dictionary, writes it back atomically when edit returns true, and lets
// the lock go. edit always sees what the file holds, empty for a missing
// file or one moved aside. Nothing is written without the lock, but where
// the folder cannot take the lock file, which cannot take a new preference
// file either.
PreferenceUpdate updatePreferenceFile(NSString* path, UnreadableFile unreadable, std::chrono::milliseconds patience,
    const std::function<bool(NSMutableDictionary*)>& edit);
