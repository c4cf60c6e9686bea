// The extension's preference file as a settings editor sees it: where it
// is, the notification that announces a change, and small edits.
#pragma once

#include "foundation/NSCollections.h"

#include <string>

namespace preferences {

inline NSString* const kPath = "/var/mobile/Library/Preferences/com.QV.Lumora.plist"_ns;
inline NSString* const kChangedNotification = "com.QV.Lumora.settingschanged"_ns;

// The file's dictionary (empty when the file is missing or malformed).
Ref<NSMutableDictionary> read();
bool write(NSDictionary* preferences);
// A value from its scenario/editor form: type bool (true/false), float, or
// string; null with an error message for a bad value.
RefPtr<Object> parseValue(const std::string& type, const std::string& text, std::string& error);
// Sets, or with a null value removes, one key by read-modify-write.
bool setValue(const std::string& key, Object* value);
// Posts the change notification to every process of the device.
void postChanged();

} // namespace preferences
