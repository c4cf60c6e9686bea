#include "common/Settings.h"

#include "avfoundation/AVCaptureDevice.h"
#include "common/PreferenceStore.h"

#include <cmath>
#include <cstdlib>

extern "C" {
NSString* const PREF_PATH = "/var/mobile/Library/Preferences/com.QV.Lumora.plist"_ns;
NSString* const PreferencesNotification = "com.QV.Lumora.settingschanged"_ns;
NSString* const kLMEnabledKey = "LMEnabled"_ns;
NSString* const kLMTorchKey = "enableTorch"_ns;
NSString* const kLMTorchVal = "torchValue"_ns;
NSString* const kRightBtnKey = "rightBtn"_ns;
}

BOOL settingEnabled = NO;
BOOL settingTorchMode = NO;
BOOL settingRightButton = NO;
float settingTorchLevel = 0;

namespace {

// A stored value of a type that has no boolean or number reading (a
// dictionary, an array, data, a date) counts as absent: asking it would
// raise and take the Camera down at every launch.
id readableValue(NSDictionary* preferences, NSString* key, SEL reading)
{
    id value = preferences->objectForKey(key);
    return objc_respondsToSelector(value, reading) ? value : nullptr;
}

BOOL boolSetting(NSDictionary* preferences, NSString* key, BOOL absent)
{
    id value = readableValue(preferences, key, "boolValue"_sel);
    return value ? objc_msgSend<BOOL>(value, "boolValue"_sel) : absent;
}

} // namespace

void loadSettings()
{
    // The first-run write, when the file is missing or empty; an unreadable
    // file is moved aside first. Decided under the writers' lock, so that it
    // never replaces what the editor has just written.
    RefPtr<NSMutableDictionary> preferences;
    updatePreferenceFile(PREF_PATH, UnreadableFile::MoveAside, [&](NSMutableDictionary* file) {
        preferences = file;
        if (file->count())
            return false;
        file->setObjectForKey(NSNumber::numberWithBool(settingTorchMode).ptr(), kLMTorchKey);
        return true;
    });
    // Another writer kept the lock: the settings as they stand, unwritten.
    if (!preferences)
        preferences = readPreferenceFile(PREF_PATH).dictionary;

    settingEnabled = boolSetting(preferences.get(), kLMEnabledKey, YES);

    // A stored 1.0 means "as bright as the torch can": the platform's maximum.
    // Anything that is not a level the torch accepts would make the platform
    // raise the first time the torch is lit, so it reads as the maximum too.
    settingTorchLevel = AVCaptureMaxAvailableTorchLevel;
    if (id value = readableValue(preferences.get(), kLMTorchVal, "floatValue"_sel)) {
        float level = objc_msgSend<float>(value, "floatValue"_sel);
        if (std::isfinite(level) && level > 0 && level < 1.0f)
            settingTorchLevel = level;
    }

    settingTorchMode = boolSetting(preferences.get(), kLMTorchKey, YES);
    settingRightButton = boolSetting(preferences.get(), kRightBtnKey, NO);
}

void settingsChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef)
{
    std::system("killall Camera");
    loadSettings();
}

void registerSettingsObserver()
{
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, settingsChanged, PreferencesNotification, nullptr,
        CFNotificationSuspensionBehaviorCoalesce);
}

void saveSetting(NSString* key, id value)
{
    updatePreferenceFile(PREF_PATH, UnreadableFile::MoveAside, [&](NSMutableDictionary* file) {
        file->setObjectForKey(value, key);
        return true;
    });
}
