#include "foundation/NSKeyValueObserving.h"

#include "device/Trace.h"
#include "foundation/NSException.h"
#include "foundation/NSNull.h"
#include "foundation/NSValue.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

NSString* const NSKeyValueChangeKindKey = "kind"_ns;
NSString* const NSKeyValueChangeNewKey = "new"_ns;
NSString* const NSKeyValueChangeOldKey = "old"_ns;
NSString* const NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior"_ns;

namespace kvo {

namespace detail {
size_t observedObjectCount = 0;
}

namespace {

struct Observation {
    Object* observer; // not retained
    Ref<NSString> keyPath;
    NSUInteger options;
    void* context;
    uint64_t serial;
};

// A change announced by -willChangeValueForKey: and not yet completed.
struct PendingChange {
    Ref<NSString> key;
    RefPtr<Object> oldValue;
    std::vector<uint64_t> serials; // the observations registered at the announcement
};

struct ObservedState {
    std::vector<Observation> observations;
    std::vector<PendingChange> pending;
};

struct Registry {
    std::unordered_map<const Object*, ObservedState> observed;
    // Registrations per observer, so a freed observer is found cheaply.
    std::unordered_map<const Object*, size_t> observers;
    uint64_t nextSerial = 1;
};

Registry& registry()
{
    static Registry* instance = new Registry; // outlives static destructors
    return *instance;
}

ObservedState* stateOf(const Object* object)
{
    auto& observed = registry().observed;
    auto it = observed.find(object);
    return it == observed.end() ? nullptr : &it->second;
}

void countObserver(const Object* observer, int delta)
{
    auto& observers = registry().observers;
    auto& count = observers[observer];
    count += delta;
    if (!count)
        observers.erase(observer);
}

void forgetIfUnused(const Object* object)
{
    auto& observed = registry().observed;
    auto it = observed.find(object);
    if (it != observed.end() && it->second.observations.empty() && it->second.pending.empty()) {
        observed.erase(it);
        detail::observedObjectCount = observed.size();
    }
}

const Observation* findBySerial(const Object* object, uint64_t serial)
{
    ObservedState* state = stateOf(object);
    if (!state)
        return nullptr;
    for (const auto& observation : state->observations) {
        if (observation.serial == serial)
            return &observation;
    }
    return nullptr;
}

// "<ClassName 0x...>", as the observing messages name objects.
std::string shortDescription(const Object* object)
{
    char text[256];
    std::snprintf(text, sizeof text, "<%s %p>", object_getClassName(const_cast<Object*>(object)), static_cast<const void*>(object));
    return text;
}

Object* boxedOrNull(Object* value)
{
    return value ? value : NSNull::null();
}

id currentValue(id object, NSString* key)
{
    return objc_msgSend<id>(object, "valueForKey:"_sel, key);
}

void notify(Object* observer, NSString* keyPath, id object, NSDictionary* change, void* context)
{
    objc_msgSend<void>(observer, "observeValueForKeyPath:ofObject:change:context:"_sel, keyPath, object, change, context);
}

[[noreturn]] void raiseNotRegistered(id object, id observer, NSString* keyPath)
{
    NSException::raise(NSRangeException, "Cannot remove an observer %s for the key path \"%s\" from %s because it is not registered as an observer.",
        shortDescription(observer).c_str(), keyPath ? keyPath->UTF8String() : "(null)", shortDescription(object).c_str());
}

void removeMatching(id object, id observer, NSString* keyPath, bool matchContext, void* context)
{
    ObservedState* state = observer && keyPath ? stateOf(object) : nullptr;
    if (state) {
        auto& list = state->observations;
        // The most recent matching registration goes first, as on the device.
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            if (it->observer == observer && it->keyPath->isEqualToString(keyPath) && (!matchContext || it->context == context)) {
                list.erase(std::next(it).base());
                countObserver(observer, -1);
                forgetIfUnused(object);
                return;
            }
        }
    }
    raiseNotRegistered(object, observer, keyPath);
}

// Drops the observations of an object being freed, and those made by it.
// Whatever the dropped records hold is released only after the registry is
// consistent again, since releasing can free more objects and come back here.
void objectWillBeDestroyed(Object* object)
{
    if (!detail::observedObjectCount)
        return;
    auto& reg = registry();
    std::vector<ObservedState> dropped;
    if (auto it = reg.observed.find(object); it != reg.observed.end()) {
        if (!it->second.observations.empty()) {
            device::tracef(device::TraceKind::Detail,
                "An instance %p of class %s was deallocated while key value observers were still registered with it.",
                static_cast<void*>(object), object_getClassName(object));
        }
        for (const auto& observation : it->second.observations)
            countObserver(observation.observer, -1);
        dropped.push_back(std::move(it->second));
        reg.observed.erase(it);
    }
    if (reg.observers.erase(object)) {
        for (auto it = reg.observed.begin(); it != reg.observed.end();) {
            auto& list = it->second.observations;
            ObservedState removed;
            for (auto& observation : list) {
                if (observation.observer == object)
                    removed.observations.push_back(std::move(observation));
            }
            std::erase_if(list, [object](const Observation& observation) { return observation.observer == object; });
            dropped.push_back(std::move(removed));
            if (list.empty() && it->second.pending.empty()) {
                dropped.push_back(std::move(it->second));
                it = reg.observed.erase(it);
            } else {
                ++it;
            }
        }
    }
    detail::observedObjectCount = reg.observed.size();
}

} // namespace

namespace detail {
bool isObservedSlow(const Object* object)
{
    return registry().observed.contains(object);
}
}

size_t observationCount(const Object* object)
{
    ObservedState* state = stateOf(object);
    return state ? state->observations.size() : 0;
}

void addObserver(id object, id observer, NSString* keyPath, NSUInteger options, void* context)
{
    if (!object || !observer || !keyPath)
        return;
    auto& reg = registry();
    uint64_t serial = reg.nextSerial++;
    auto copiedPath = NSString::create(keyPath->view());
    reg.observed[object].observations.push_back({ observer, copiedPath, options, context, serial });
    detail::observedObjectCount = reg.observed.size();
    countObserver(observer, +1);

    if (options & NSKeyValueObservingOptionInitial) {
        std::vector<NSDictionary::Entry> entries { { Ref<Object>(*NSKeyValueChangeKindKey), NSNumber::numberWithInteger(NSKeyValueChangeSetting) } };
        if (options & NSKeyValueObservingOptionNew)
            entries.push_back({ Ref<Object>(*NSKeyValueChangeNewKey), Ref<Object>(*boxedOrNull(currentValue(object, keyPath))) });
        notify(observer, copiedPath.ptr(), object, NSDictionary::create(std::move(entries)).ptr(), context);
    }
}

void removeObserver(id object, id observer, NSString* keyPath)
{
    removeMatching(object, observer, keyPath, false, nullptr);
}

void removeObserver(id object, id observer, NSString* keyPath, void* context)
{
    removeMatching(object, observer, keyPath, true, context);
}

void willChangeValueForKey(id object, NSString* key)
{
    if (!object || !key || !isObserved(object))
        return;
    Ref<Object> protectedObject(*object);

    std::vector<Observation> matches;
    for (const auto& observation : stateOf(object)->observations) {
        if (observation.keyPath->isEqualToString(key))
            matches.push_back(observation);
    }
    if (matches.empty())
        return;

    bool wantsOld = std::any_of(matches.begin(), matches.end(), [](const Observation& o) { return o.options & NSKeyValueObservingOptionOld; });
    PendingChange change { NSString::create(key->view()), nullptr, {} };
    if (wantsOld)
        change.oldValue = boxedOrNull(currentValue(object, key));
    for (const auto& observation : matches)
        change.serials.push_back(observation.serial);
    RefPtr<Object> oldValue = change.oldValue;
    stateOf(object)->pending.push_back(std::move(change));

    for (const auto& match : matches) {
        if (!(match.options & NSKeyValueObservingOptionPrior))
            continue;
        const Observation* observation = findBySerial(object, match.serial);
        if (!observation)
            continue;
        std::vector<NSDictionary::Entry> entries {
            { Ref<Object>(*NSKeyValueChangeKindKey), NSNumber::numberWithInteger(NSKeyValueChangeSetting) },
            { Ref<Object>(*NSKeyValueChangeNotificationIsPriorKey), NSNumber::numberWithBool(YES) },
        };
        if (match.options & NSKeyValueObservingOptionOld)
            entries.push_back({ Ref<Object>(*NSKeyValueChangeOldKey), Ref<Object>(*oldValue) });
        notify(observation->observer, match.keyPath.ptr(), object, NSDictionary::create(std::move(entries)).ptr(), match.context);
    }
}

void didChangeValueForKey(id object, NSString* key)
{
    if (!object || !key || !isObserved(object))
        return;
    Ref<Object> protectedObject(*object);

    // Completes the innermost open announcement of this key.
    auto& pendingList = stateOf(object)->pending;
    auto it = std::find_if(pendingList.rbegin(), pendingList.rend(), [key](const PendingChange& change) { return change.key->isEqualToString(key); });
    if (it == pendingList.rend())
        return;
    PendingChange change = std::move(*it);
    pendingList.erase(std::next(it).base());

    // Observations removed since the announcement hear nothing.
    std::vector<Observation> matches;
    for (uint64_t serial : change.serials) {
        if (const Observation* observation = findBySerial(object, serial))
            matches.push_back(*observation);
    }
    forgetIfUnused(object);

    bool wantsNew = std::any_of(matches.begin(), matches.end(), [](const Observation& o) { return o.options & NSKeyValueObservingOptionNew; });
    RefPtr<Object> newValue;
    if (wantsNew)
        newValue = boxedOrNull(currentValue(object, key));

    for (const auto& match : matches) {
        const Observation* observation = findBySerial(object, match.serial);
        if (!observation)
            continue;
        std::vector<NSDictionary::Entry> entries { { Ref<Object>(*NSKeyValueChangeKindKey), NSNumber::numberWithInteger(NSKeyValueChangeSetting) } };
        if (match.options & NSKeyValueObservingOptionNew)
            entries.push_back({ Ref<Object>(*NSKeyValueChangeNewKey), Ref<Object>(*newValue) });
        if ((match.options & NSKeyValueObservingOptionOld) && change.oldValue)
            entries.push_back({ Ref<Object>(*NSKeyValueChangeOldKey), Ref<Object>(*change.oldValue) });
        notify(observation->observer, match.keyPath.ptr(), object, NSDictionary::create(std::move(entries)).ptr(), match.context);
    }
}

namespace {

void addObserverMethod(id self, SEL, id observer, NSString* keyPath, NSUInteger options, void* context)
{
    addObserver(self, observer, keyPath, options, context);
}
void removeObserverMethod(id self, SEL, id observer, NSString* keyPath)
{
    removeObserver(self, observer, keyPath);
}
void removeObserverContextMethod(id self, SEL, id observer, NSString* keyPath, void* context)
{
    removeObserver(self, observer, keyPath, context);
}
void willChangeMethod(id self, SEL, NSString* key)
{
    willChangeValueForKey(self, key);
}
void didChangeMethod(id self, SEL, NSString* key)
{
    didChangeValueForKey(self, key);
}

// NSObject's own -observeValueForKeyPath:... : a registered observer that
// does not handle its notifications is a programming error.
void unhandledObservation(id self, SEL, NSString* keyPath, id object, NSDictionary* change, void* context)
{
    auto describe = [](id value) -> std::string {
        auto* text = value ? objc_msgSend<NSString*>(value, "description"_sel) : nullptr;
        return text ? text->string() : "(null)";
    };
    NSException::raise(NSInternalInconsistencyException,
        "<%s: %p>: An -observeValueForKeyPath:ofObject:change:context: message was received but not handled.\n"
        "Key path: %s\nObserved object: %s\nChange: %s\nContext: %p",
        object_getClassName(self), static_cast<void*>(self), describe(keyPath).c_str(), describe(object).c_str(), describe(change).c_str(), context);
}

} // namespace

void installMethods()
{
    Class root = &OBJC_CLASS_NSObject;
    class_addTypedMethod(root, "addObserver:forKeyPath:options:context:"_sel, addObserverMethod);
    class_addTypedMethod(root, "removeObserver:forKeyPath:"_sel, removeObserverMethod);
    class_addTypedMethod(root, "removeObserver:forKeyPath:context:"_sel, removeObserverContextMethod);
    class_addTypedMethod(root, "willChangeValueForKey:"_sel, willChangeMethod);
    class_addTypedMethod(root, "didChangeValueForKey:"_sel, didChangeMethod);
    class_addTypedMethod(root, "observeValueForKeyPath:ofObject:change:context:"_sel, unhandledObservation);
    objc_detail::setDestroyHook(objectWillBeDestroyed);
}

} // namespace kvo
