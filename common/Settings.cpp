#include "common/Settings.h"

#include "avfoundation/AVCaptureDevice.h"
#include "common/PreferenceStore.h"
#include "dispatch/dispatch.h"

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

// The Camera's main thread never waits for another writer's lock: it only
// tries, and tries again this much later.
constexpr auto kNoWaiting = std::chrono::milliseconds(0);
constexpr int64_t kRetryDelay = 500 * NSEC_PER_MSEC;

// Changes another writer's lock kept out of the file: each key's latest
// value, and the first-run entry, which goes only into an empty file. The
// settings in memory already have them.
struct UnsavedChanges {
    Ref<NSMutableDictionary> values = NSMutableDictionary::create();
    RefPtr<Object> firstRunEntry;
    bool retryScheduled = false;
};

UnsavedChanges& unsaved()
{
    static auto* changes = new UnsavedChanges;
    return *changes;
}

// The first-run write's entry, into a dictionary read from a missing or
// empty file; false for one that has entries.
bool addFirstRunEntry(NSMutableDictionary* preferences)
{
    if (preferences->count())
        return false;
    preferences->setObjectForKey(NSNumber::numberWithBool(settingTorchMode).ptr(), kLMTorchKey);
    return true;
}

void scheduleRetry();

// One try at writing what is unsaved. A lock another writer holds puts it
// off to a later turn of the main queue; any other outcome ends it (a
// failed write is not tried again).
void saveUnsavedChanges()
{
    auto& changes = unsaved();
    if (!changes.values->count() && !changes.firstRunEntry)
        return;
    auto update = updatePreferenceFile(PREF_PATH, UnreadableFile::MoveAside, kNoWaiting, [&](NSMutableDictionary* file) {
        bool changed = changes.values->count() != 0;
        if (changes.firstRunEntry && !file->count()) {
            file->setObjectForKey(changes.firstRunEntry.get(), kLMTorchKey);
            changed = true;
        }
        file->addEntriesFromDictionary(changes.values.ptr());
        return changed;
    });
    if (update == PreferenceUpdate::Locked) {
        scheduleRetry();
        return;
    }
    changes.values->removeAllObjects();
    changes.firstRunEntry = nullptr;
}

void scheduleRetry()
{
    auto& changes = unsaved();
    if (changes.retryScheduled)
        return;
    changes.retryScheduled = true;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, kRetryDelay), dispatch_get_main_queue(), [] {
        unsaved().retryScheduled = false;
        saveUnsavedChanges();
    });
}

} // namespace

void loadSettings()
{
    // The first-run write, when the file is missing or empty; an unreadable
    // file is moved aside first. Decided under the writers' lock, so that it
    // never replaces what the editor has just written.
    RefPtr<NSMutableDictionary> preferences;
    auto update = updatePreferenceFile(PREF_PATH, UnreadableFile::MoveAside, kNoWaiting, [&](NSMutableDictionary* file) {
        preferences = file;
        return addFirstRunEntry(file);
    });
    if (!preferences) {
        // No lock: the settings as the file has them, and the first-run
        // entry in memory, written later when another writer held the lock.
        preferences = readPreferenceFile(PREF_PATH).dictionary;
        if (addFirstRunEntry(preferences.get()) && update == PreferenceUpdate::Locked) {
            unsaved().firstRunEntry = preferences->objectForKey(kLMTorchKey);
            scheduleRetry();
        }
    }
    // Changes of this Camera's that wait for the lock are newer than the file.
    preferences->addEntriesFromDictionary(unsaved().values.ptr());

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
    unsaved().values->setObjectForKey(value, key);
    saveUnsavedChanges();
}
