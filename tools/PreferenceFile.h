// The extension's preference file as a settings editor sees it: where it
// is, the notification that announces a change, and small edits.
#pragma once

#include "common/PreferenceStore.h"

#include <chrono>
#include <string>

namespace preferences {

inline NSString* const kPath = "/var/mobile/Library/Preferences/com.QV.Lumora.plist"_ns;
inline NSString* const kChangedNotification = "com.QV.Lumora.settingschanged"_ns;

// The file's dictionary, and whether it was there and readable.
PreferenceContents read();
// How long an edit waits for another writer (the Camera, another editor)
// to let the file's lock go, before it gives up and writes nothing.
inline constexpr std::chrono::milliseconds kLockPatience { 10000 };

// A value from its scenario/editor form: type bool (true/false), float (a
// finite number a 32-bit float holds), or string; null with an error
// message for a bad value.
RefPtr<Object> parseValue(const std::string& type, const std::string& text, std::string& error);
// Sets, or with a null value removes, one key by an exclusive
// read-modify-write. A file that is there but unreadable is left as it is,
// unless force moves it aside (as the modules do) for a new one.
PreferenceUpdate setValue(const std::string& key, Object* value, bool force = false, std::chrono::milliseconds patience = kLockPatience);
// Leaves the file with no keys at all (same rules).
PreferenceUpdate clear(bool force = false, std::chrono::milliseconds patience = kLockPatience);
// Why an update wrote nothing; empty for one that wrote or had nothing to
// write.
std::string failureMessage(PreferenceUpdate update);
// Posts the change notification to every process of the device.
void postChanged();

} // namespace preferences
