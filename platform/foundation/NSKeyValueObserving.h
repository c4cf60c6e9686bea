// Key-value observing on every object.
//
// An observer registers for a key of an object with
// -addObserver:forKeyPath:options:context: and hears about changes through
// -observeValueForKeyPath:ofObject:change:context:, sent through the runtime.
// Observers and observed objects are not retained: an observer must remove
// itself before it is freed, as on the device. (The platform drops the
// observations of an object that is freed while observed, and those of a
// freed observer, instead of crashing later.)
//
// Setters of observable properties announce their changes themselves, with
// -willChangeValueForKey: before the store and -didChangeValueForKey: after
// it; kvo::setObservedValue() does both around a store. Between a will/did
// pair any number of stores make one notification, whose old value is the
// one before the pair and whose new value the one after it. Key paths are
// single keys ("preferredContentSize"); dotted paths are not followed.
//
// The context argument is a void*: with a typed send, pass no context as
// static_cast<void*>(nullptr) (a bare nullptr travels as an object, "@").
#pragma once

#include "foundation/NSCollections.h"

#include <utility>

enum NSKeyValueObservingOptions : NSUInteger {
    NSKeyValueObservingOptionNew = 0x01,
    NSKeyValueObservingOptionOld = 0x02,
    NSKeyValueObservingOptionInitial = 0x04,
    NSKeyValueObservingOptionPrior = 0x08,
};

enum NSKeyValueChange : NSUInteger {
    NSKeyValueChangeSetting = 1,
    NSKeyValueChangeInsertion = 2,
    NSKeyValueChangeRemoval = 3,
    NSKeyValueChangeReplacement = 4,
};

// Keys of the change dictionary.
PLATFORM_EXPORT extern NSString* const NSKeyValueChangeKindKey;                // "kind"
PLATFORM_EXPORT extern NSString* const NSKeyValueChangeNewKey;                 // "new"
PLATFORM_EXPORT extern NSString* const NSKeyValueChangeOldKey;                 // "old"
PLATFORM_EXPORT extern NSString* const NSKeyValueChangeNotificationIsPriorKey; // "notificationIsPrior"

namespace kvo {

// What NSObject's methods of the same names do.
PLATFORM_EXPORT void addObserver(id object, id observer, NSString* keyPath, NSUInteger options, void* context);
// Both raise NSRangeException when no such observation is registered.
PLATFORM_EXPORT void removeObserver(id object, id observer, NSString* keyPath);
PLATFORM_EXPORT void removeObserver(id object, id observer, NSString* keyPath, void* context);
PLATFORM_EXPORT void willChangeValueForKey(id object, NSString* key);
PLATFORM_EXPORT void didChangeValueForKey(id object, NSString* key);

// How many observations are registered on the object.
PLATFORM_EXPORT size_t observationCount(const Object* object);

namespace detail {
PLATFORM_EXPORT extern size_t observedObjectCount;
PLATFORM_EXPORT bool isObservedSlow(const Object* object);
}

// Whether anything observes the object; next to free when nothing in the
// process is observed.
inline bool isObserved(const Object* object)
{
    return detail::observedObjectCount && detail::isObservedSlow(object);
}

// Stores value into storage, announcing the change of key when the object
// is observed (the will/did messages go through the runtime).
template <typename T, typename V>
inline void setObservedValue(Object* self, NSString* key, T& storage, V&& value)
{
    if (!isObserved(self)) [[likely]] {
        storage = std::forward<V>(value);
        return;
    }
    objc_msgSend<void>(self, "willChangeValueForKey:"_sel, key);
    storage = std::forward<V>(value);
    objc_msgSend<void>(self, "didChangeValueForKey:"_sel, key);
}

// Adds NSObject's observing methods to the root class.
PLATFORM_EXPORT void installMethods();

} // namespace kvo
