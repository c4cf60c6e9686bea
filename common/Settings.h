// The settings store: four choices kept in memory, loaded from the
// preference file at start-up and again when a settings editor announces a
// change.
#pragma once

#include "common/Export.h"
#include "corefoundation/CoreFoundation.h"

// The exported key constants (the same in every module).
extern "C" {
extern LUMORA_EXPORT NSString* const PREF_PATH;
extern LUMORA_EXPORT NSString* const PreferencesNotification;
extern LUMORA_EXPORT NSString* const kLMEnabledKey;
extern LUMORA_EXPORT NSString* const kLMTorchKey;
extern LUMORA_EXPORT NSString* const kLMTorchVal;
extern LUMORA_EXPORT NSString* const kRightBtnKey;
}

// In-memory values, zero until the first loadSettings().
extern BOOL settingEnabled;
extern BOOL settingTorchMode;
extern BOOL settingRightButton;
extern float settingTorchLevel;

// Reads the preference file into the in-memory values; writes the file
// first when it is missing or empty.
void loadSettings();
// The Darwin-notification callback: ends every running Camera (this process
// among them, when it is one), then reloads.
void settingsChanged(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object, CFDictionaryRef userInfo);
// Registers settingsChanged for PreferencesNotification.
void registerSettingsObserver();
// Read-modify-write of one key: the rest of the file is kept as it is.
// Never waits: while another writer holds the file's lock, the change is
// kept and written by a later turn of the main queue, together with any
// other change made meanwhile.
void saveSetting(NSString* key, id value);
