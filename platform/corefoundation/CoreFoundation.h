// CoreFoundation: the version number and the Darwin notify center.
//
// CF strings and dictionaries are the Foundation objects themselves
// (toll-free bridged), so CFStringRef is an NSString*.
#pragma once

#include "foundation/NSCollections.h"

using CFStringRef = NSString*;
using CFDictionaryRef = NSDictionary*;
using CFIndex = long;

// Set by the simulated device before anything is injected into an app.
extern "C" PLATFORM_EXPORT double kCFCoreFoundationVersionNumber;

struct __CFNotificationCenter;
using CFNotificationCenterRef = __CFNotificationCenter*;
using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
    CFDictionaryRef userInfo);

enum CFNotificationSuspensionBehavior : CFIndex {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

// The Darwin notify center: a notification is a bare name, posted to every
// process of the device (the posting one included). Callbacks run on the
// main queue; posts of one name that arrive before its delivery are
// coalesced into one callback. object, userInfo and deliverImmediately are
// ignored, as on the device.
PLATFORM_EXPORT CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
PLATFORM_EXPORT void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer, CFNotificationCallback callback,
    CFStringRef name, const void* object, CFNotificationSuspensionBehavior suspensionBehavior);
PLATFORM_EXPORT void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
    const void* object);
PLATFORM_EXPORT void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
    CFDictionaryRef userInfo, bool deliverImmediately);
