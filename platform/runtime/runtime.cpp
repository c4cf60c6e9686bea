#include "runtime/runtime.h"
#include "runtime/ClassBuilder.h"
#include "runtime/message.h"

#include "device/Trace.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

std::atomic<size_t> g_liveObjects { 0 };

// Names, selectors and encodings are interned for the life of the process.
struct Tables {
    std::mutex lock;
    std::deque<std::string> strings;
    std::unordered_map<std::string_view, objc_selector*> selectors;
    std::deque<objc_selector> selectorStorage;
    std::unordered_map<std::string_view, uint32_t> encodings;
    std::vector<const char*> encodingStrings { nullptr };
    std::unordered_map<std::string_view, Class> classes;

    const char* intern(std::string_view text)
    {
        return strings.emplace_back(text).c_str();
    }
};

Tables& tables()
{
    static Tables* instance = new Tables; // never destroyed: classes outlive static destructors
    return *instance;
}

void rootDealloc(id self, SEL)
{
    objc_destroyObject(self);
}

Object* allocateRootObject(Class cls);

} // namespace

constinit objc_class OBJC_CLASS_NSObject(&OBJC_METACLASS_NSObject, "NSObject", nullptr, false, allocateRootObject);
constinit objc_class OBJC_METACLASS_NSObject(&OBJC_METACLASS_NSObject, "NSObject", &OBJC_CLASS_NSObject, true, nullptr);

namespace {

class RootObject final : public Object {
public:
    RootObject() = default;
};

Object* allocateRootObject(Class cls)
{
    Object* object = new RootObject;
    object_setClass(object, cls);
    return object;
}

} // namespace

// MARK: Method tables

namespace objc_detail {

// A class's own methods: an open-addressed hash table keyed by selector,
// read and written under the method lock.
struct MethodTable {
    struct Method {
        SEL sel; // null in a free slot
        IMP imp;
        uint32_t types;
    };

    const Method* find(SEL sel) const
    {
        if (!sel || slots.empty())
            return nullptr;
        size_t mask = slots.size() - 1;
        for (size_t i = cacheIndex(sel, mask);; i = (i + 1) & mask) {
            if (slots[i].sel == sel)
                return &slots[i];
            if (!slots[i].sel)
                return nullptr;
        }
    }
    Method* find(SEL sel) { return const_cast<Method*>(std::as_const(*this).find(sel)); }

    void add(const Method& method)
    {
        if ((count + 1) * 4 > slots.size() * 3)
            rehash(std::max<size_t>(8, slots.size() * 2));
        place(method);
        ++count;
    }

    bool remove(SEL sel)
    {
        Method* found = find(sel);
        if (!found)
            return false;
        // Backward-shift deletion: pull later members of the probe run into
        // the hole so that no search stops short of them.
        size_t mask = slots.size() - 1;
        size_t hole = static_cast<size_t>(found - slots.data());
        for (size_t i = (hole + 1) & mask; slots[i].sel; i = (i + 1) & mask) {
            size_t home = cacheIndex(slots[i].sel, mask);
            bool movable = hole <= i ? (home <= hole || home > i) : (home <= hole && home > i);
            if (movable) {
                slots[hole] = slots[i];
                hole = i;
            }
        }
        slots[hole] = {};
        --count;
        return true;
    }

private:
    void place(const Method& method)
    {
        size_t mask = slots.size() - 1;
        size_t i = cacheIndex(method.sel, mask);
        while (slots[i].sel)
            i = (i + 1) & mask;
        slots[i] = method;
    }

    void rehash(size_t capacity)
    {
        std::vector<Method> old(capacity);
        old.swap(slots);
        for (const auto& method : old) {
            if (method.sel)
                place(method);
        }
    }

    std::vector<Method> slots; // a power of two in size, or empty
    size_t count = 0;
};

} // namespace objc_detail

namespace {

using objc_detail::CacheBucket;
using objc_detail::kCacheKeyAddressBits;
using objc_detail::kCacheKeyAddressMask;
using MethodEntry = objc_detail::MethodTable::Method;

// Guards method tables, cache writes and the class hierarchy's links. Sends
// that hit their cache never take it.
constinit std::mutex g_methodLock;

const MethodEntry* findMethod(Class cls, SEL sel)
{
    for (; cls; cls = cls->superclass) {
        if (!cls->methods)
            continue;
        if (const auto* method = cls->methods->find(sel))
            return method;
    }
    return nullptr;
}

bool ownsMethod(Class cls, SEL sel)
{
    return cls->methods && cls->methods->find(sel);
}

void ensureRegisteredStorage(Class cls)
{
    std::lock_guard guard(g_methodLock);
    if (!cls->methods)
        cls->methods = new objc_detail::MethodTable;
    if (!cls->ivars)
        cls->ivars = new std::vector<objc_ivar*>;
}

// Makes the class (and its superclasses) reachable from above.
void linkClass(Class cls)
{
    for (; cls && !cls->linked; cls = cls->superclass) {
        cls->linked = true;
        if (Class superclass = cls->superclass) {
            cls->nextSibling = superclass->firstSubclass;
            superclass->firstSubclass = cls;
        }
    }
}

std::string describeReceiver(id receiver, SEL sel)
{
    char prefix = class_isMetaClass(object_getClass(receiver)) ? '+' : '-';
    return std::string(1, prefix) + "[" + object_getClassName(receiver) + " " + sel_getName(sel) + "]";
}

// MARK: Retiring cache tables

// Readers take no lock, so a replaced table stays allocated until every
// thread that sends messages has been seen outside any send since then
// (quiescent-state reclamation). A thread never reads a table after it
// replaced it, so in a process where one thread sends messages a table is
// freed as soon as it is replaced.
struct SendingThread {
    std::atomic<uint64_t> seenEpoch;
};

struct Retired {
    CacheBucket* buckets;
    uint64_t epoch;
};

std::atomic<uint64_t> g_epoch { 0 };
std::vector<SendingThread*>& sendingThreads()
{
    static auto* threads = new std::vector<SendingThread*>;
    return *threads;
}
std::vector<Retired>& retiredTables()
{
    static auto* retired = new std::vector<Retired>;
    return *retired;
}
thread_local SendingThread* t_sendingThread = nullptr;

void noteQuiescent()
{
    if (t_sendingThread)
        t_sendingThread->seenEpoch.store(g_epoch.load(std::memory_order_acquire), std::memory_order_release);
}

// Under the method lock.
void reclaimRetiredTables()
{
    auto& retired = retiredTables();
    if (retired.empty())
        return;
    uint64_t safe = UINT64_MAX;
    for (auto* thread : sendingThreads())
        safe = std::min(safe, thread->seenEpoch.load(std::memory_order_acquire));
    std::erase_if(retired, [safe](const Retired& table) {
        if (table.epoch > safe)
            return false;
        delete[] table.buckets;
        return true;
    });
}

// Under the method lock, after the replacement is published.
void retire(CacheBucket* buckets)
{
    uint64_t epoch = g_epoch.fetch_add(1, std::memory_order_acq_rel) + 1;
    retiredTables().push_back({ buckets, epoch });
    noteQuiescent();
    reclaimRetiredTables();
}

// MARK: Method caches

constexpr size_t kMinimumOverflowCapacity = 4;
// Beyond this a full overflow table is emptied rather than grown.
constexpr size_t kMaximumOverflowCapacity = size_t(1) << 16;
constexpr uint64_t kRemovedKey = 1; // the selector bits of no selector

SEL selectorOfKey(uint64_t key)
{
    return reinterpret_cast<SEL>(key & kCacheKeyAddressMask);
}

bool isEntryFor(uint64_t key, SEL sel)
{
    return (key & kCacheKeyAddressMask) == reinterpret_cast<uintptr_t>(sel);
}

// Whether a bucket may be given to another entry: a reader that read the
// old key might otherwise pair it with the new implementation. Only when no
// other thread sends messages.
bool mayReuseBuckets()
{
    auto& threads = sendingThreads();
    return threads.empty() || (threads.size() == 1 && threads.front() == t_sendingThread);
}

CacheBucket& classCacheBucket(Class cls, SEL sel)
{
    return cls->cache[objc_detail::cacheIndex(sel, objc_detail::kClassCacheSize - 1)];
}

void store(CacheBucket& bucket, uint64_t key, IMP imp)
{
    bucket.imp.store(imp, std::memory_order_relaxed);
    bucket.key.store(key, std::memory_order_release);
}

// A class's overflow table as its writer sees it (under the method lock).
struct Overflow {
    CacheBucket* buckets;
    size_t mask;

    explicit Overflow(Class cls)
        : buckets(const_cast<CacheBucket*>(cls->overflowBuckets.load(std::memory_order_relaxed)))
        , mask(cls->overflowMask.load(std::memory_order_relaxed) / sizeof(CacheBucket))
    {
    }
    bool isEmpty() const { return buckets == &objc_detail::emptyCache; }
    size_t capacity() const { return mask + 1; }

    // The bucket holding an entry for sel, whatever its signature.
    CacheBucket* find(SEL sel) const
    {
        if (isEmpty())
            return nullptr;
        for (size_t i = objc_detail::cacheIndex(sel, mask);; i = (i + 1) & mask) {
            uint64_t key = buckets[i].key.load(std::memory_order_relaxed);
            if (!key)
                return nullptr;
            if (isEntryFor(key, sel))
                return &buckets[i];
        }
    }

    void place(uint64_t key, IMP imp)
    {
        size_t i = objc_detail::cacheIndex(selectorOfKey(key), mask);
        while (buckets[i].key.load(std::memory_order_relaxed))
            i = (i + 1) & mask;
        store(buckets[i], key, imp);
    }
};

// Replaces the class's overflow table by one with room for `needed`
// entries, holding the live entries of the old one (none when the largest
// table is full).
void rebuildOverflow(Class cls, size_t needed)
{
    Overflow old(cls);
    size_t capacity = old.isEmpty() ? kMinimumOverflowCapacity : old.capacity();
    while (capacity < 2 * needed && capacity < kMaximumOverflowCapacity)
        capacity *= 2;
    Overflow table = old;
    table.buckets = new CacheBucket[capacity]();
    table.mask = capacity - 1;
    size_t live = 0;
    if (needed * 4 <= capacity * 3 && !old.isEmpty()) {
        for (size_t i = 0; i < old.capacity(); ++i) {
            uint64_t key = old.buckets[i].key.load(std::memory_order_relaxed);
            if (key && key != kRemovedKey) {
                table.place(key, old.buckets[i].imp.load(std::memory_order_relaxed));
                ++live;
            }
        }
    }
    cls->overflowBuckets.store(table.buckets, std::memory_order_release);
    cls->overflowMask.store(table.mask * sizeof(CacheBucket), std::memory_order_release);
    cls->overflowOccupied = cls->overflowUsed = static_cast<uint32_t>(live);
    if (!old.isEmpty())
        retire(old.buckets);
}

// Under the method lock.
void fillCache(Class cls, uint64_t key, IMP imp)
{
    SEL sel = selectorOfKey(key);
    CacheBucket& first = classCacheBucket(cls, sel);
    uint64_t present = first.key.load(std::memory_order_relaxed);
    if (present == key)
        return; // another thread filled it meanwhile
    if (!present || (present == kRemovedKey && mayReuseBuckets()))
        return store(first, key, imp);

    Overflow table(cls);
    if (CacheBucket* bucket = table.find(sel); bucket && bucket->key.load(std::memory_order_relaxed) == key)
        return;
    if (table.isEmpty() || (cls->overflowUsed + 1) * 4 > table.capacity() * 3) {
        rebuildOverflow(cls, cls->overflowOccupied + 1);
        table = Overflow(cls);
    }
    table.place(key, imp);
    ++cls->overflowOccupied;
    ++cls->overflowUsed;
}

// The entry's implementation becomes the method's in place when the
// signature is the same; otherwise the entry is marked removed rather than
// emptied (a reader may be probing past it).
bool update(CacheBucket& bucket, const MethodEntry* method)
{
    uint64_t key = bucket.key.load(std::memory_order_relaxed);
    if (method && key >> kCacheKeyAddressBits == method->types) {
        bucket.imp.store(method->imp, std::memory_order_release);
        return true;
    }
    bucket.key.store(kRemovedKey, std::memory_order_release);
    return false;
}

// After the methods of cls for sel changed: the class and every subclass
// that does not define sel itself reach `method` now (or nothing).
void updateCaches(Class cls, SEL sel, const MethodEntry* method)
{
    if (CacheBucket& first = classCacheBucket(cls, sel); isEntryFor(first.key.load(std::memory_order_relaxed), sel))
        update(first, method);
    if (CacheBucket* bucket = Overflow(cls).find(sel); bucket && !update(*bucket, method))
        --cls->overflowOccupied;
    for (Class subclass = cls->firstSubclass; subclass; subclass = subclass->nextSibling) {
        if (!ownsMethod(subclass, sel))
            updateCaches(subclass, sel, method);
    }
}

void methodsChanged(Class cls, SEL sel)
{
    updateCaches(cls, sel, findMethod(cls, sel));
}

} // namespace

namespace objc_detail {

constinit const CacheBucket emptyCache {};

namespace {
DestroyHook g_destroyHook = nullptr;

[[noreturn]] void raiseUnrecognized(id receiver, SEL sel)
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(receiver));
    bool isClass = class_isMetaClass(object_getClass(receiver));
    raise("NSInvalidArgumentException",
        describeReceiver(receiver, sel) + ": unrecognized selector sent to " + (isClass ? "class " : "instance ") + address);
}

[[gnu::noinline]] IMP lookUpSlow(Class cls, SEL sel, SendSignature& signature, id receiver)
{
    uint64_t keyBits = signature.keyBits.load(std::memory_order_relaxed);
    uint32_t types = static_cast<uint32_t>(keyBits >> kCacheKeyAddressBits);
    if (types == kUnknownSignature) {
        types = objc_internTypeEncoding(signature.encoding().c_str());
        if (types < kUnknownSignature)
            signature.keyBits.store(uint64_t(types) << kCacheKeyAddressBits, std::memory_order_relaxed);
    }

    std::unique_lock lock(g_methodLock);
    noteQuiescent();
    const MethodEntry* method = findMethod(cls, sel);
    if (!method) {
        lock.unlock();
        raiseUnrecognized(receiver, sel);
    }
    IMP imp = method->imp;
    uint32_t methodTypes = method->types;
    if (methodTypes != types) {
        lock.unlock();
        raise("NSInvalidArgumentException",
            describeReceiver(receiver, sel) + ": message sent as \"" + objc_typeEncodingString(types)
                + "\" to a method of type \"" + objc_typeEncodingString(methodTypes) + "\"");
    }
    if (types < kUnknownSignature) {
        linkClass(cls);
        fillCache(cls, reinterpret_cast<uintptr_t>(sel) | (uint64_t(types) << kCacheKeyAddressBits), imp);
    }
    return imp;
}

} // namespace

void setDestroyHook(DestroyHook hook)
{
    g_destroyHook = hook;
}

BOOL removeMethod(Class cls, SEL sel)
{
    if (!cls || !sel)
        return NO;
    std::lock_guard guard(g_methodLock);
    noteQuiescent();
    if (!cls->methods || !cls->methods->remove(sel))
        return NO;
    methodsChanged(cls, sel);
    return YES;
}

IMP lookUpMiss(Class cls, SEL sel, SendSignature& signature, id receiver)
{
    uint64_t key = reinterpret_cast<uintptr_t>(sel) | signature.keyBits.load(std::memory_order_relaxed);
    size_t mask = cls->overflowMask.load(std::memory_order_acquire) / sizeof(CacheBucket);
    const CacheBucket* buckets = cls->overflowBuckets.load(std::memory_order_relaxed);
    for (size_t i = cacheIndex(sel, mask), probes = 0; probes <= mask; i = (i + 1) & mask, ++probes) {
        uint64_t present = buckets[i].key.load(std::memory_order_acquire);
        if (present == key)
            return buckets[i].imp.load(std::memory_order_relaxed);
        if (!present)
            break;
    }
    return lookUpSlow(cls, sel, signature, receiver);
}

SEL resolveSelectorReference(std::atomic<SEL>& reference, const char* name)
{
    SEL sel = sel_registerName(name);
    reference.store(sel, std::memory_order_release);
    return sel;
}

void joinSendingThreads()
{
    std::lock_guard guard(g_methodLock);
    if (t_sendingThread)
        return;
    t_sendingThread = new SendingThread { g_epoch.load(std::memory_order_acquire) };
    sendingThreads().push_back(t_sendingThread);
}

void leaveSendingThreads()
{
    std::lock_guard guard(g_methodLock);
    if (!t_sendingThread)
        return;
    std::erase(sendingThreads(), t_sendingThread);
    delete t_sendingThread;
    t_sendingThread = nullptr;
    reclaimRetiredTables();
}

void quiescentPoint()
{
    noteQuiescent();
    std::lock_guard guard(g_methodLock);
    reclaimRetiredTables();
}

size_t overflowCapacity(Class cls)
{
    if (!cls)
        return 0;
    return cls->overflowMask.load(std::memory_order_acquire) / sizeof(CacheBucket) + 1;
}

void registerStaticClass(Class cls)
{
    {
        auto& t = tables();
        std::lock_guard guard(t.lock);
        if (cls->registered)
            return;
        cls->registered = true;
        cls->isa()->registered = true;
        t.classes.emplace(cls->name, cls);
    }
    ensureRegisteredStorage(cls);
    ensureRegisteredStorage(cls->isa());
    std::lock_guard guard(g_methodLock);
    linkClass(cls);
    linkClass(cls->isa());
}

} // namespace objc_detail

// MARK: Object

Object::Object() noexcept
{
    g_liveObjects.fetch_add(1, std::memory_order_relaxed);
}

Object::~Object()
{
    if (m_refCount == kImmortal)
        return;
    g_liveObjects.fetch_sub(1, std::memory_order_relaxed);
    if (m_isa)
        --m_isa->instanceCount;
}

size_t Object::liveObjectCount() noexcept
{
    return g_liveObjects.load(std::memory_order_relaxed);
}

void objc_destroyObject(Object* object) noexcept
{
    if (objc_detail::g_destroyHook && object)
        objc_detail::g_destroyHook(object);
    delete object;
}

void Object::beginDealloc() const noexcept
{
    auto* self = const_cast<Object*>(this);
    self->m_refCount = kDeallocating;
    if (!m_isa) {
        delete self;
        return;
    }
    objc_msgSend<void>(self, "dealloc"_sel);
}

// MARK: Autorelease pools

namespace {
thread_local std::vector<Object*> t_autoreleased;
}

Object* Object::autorelease() noexcept
{
    if (m_refCount < kSticky)
        t_autoreleased.push_back(this);
    return this;
}

void* objc_autoreleasePoolPush()
{
    return reinterpret_cast<void*>(t_autoreleased.size() + 1);
}

void objc_autoreleasePoolPop(void* token)
{
    size_t mark = reinterpret_cast<size_t>(token) - 1;
    // Releasing can autorelease more objects; drain until back at the mark.
    while (t_autoreleased.size() > mark) {
        Object* object = t_autoreleased.back();
        t_autoreleased.pop_back();
        object->release();
    }
}

// MARK: Selectors and encodings

SEL sel_registerName(const char* name)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    if (auto it = t.selectors.find(name); it != t.selectors.end())
        return it->second;
    const char* stored = t.intern(name);
    auto& sel = t.selectorStorage.emplace_back(objc_selector { stored });
    // Cache keys keep a selector's address in their low bits.
    if (reinterpret_cast<uintptr_t>(&sel) & ~objc_detail::kCacheKeyAddressMask) {
        std::fprintf(stderr, "objc: selector %s lies beyond the addresses a method cache can key\n", name);
        std::abort();
    }
    t.selectors.emplace(stored, &sel);
    return &sel;
}

SEL sel_getUid(const char* name)
{
    return sel_registerName(name);
}

const char* sel_getName(SEL sel)
{
    return sel ? sel->name : "<null selector>";
}

bool sel_returnsRetained(const char* name)
{
    auto inFamily = [name](std::string_view family) {
        std::string_view text(name);
        while (!text.empty() && text.front() == '_')
            text.remove_prefix(1);
        if (!text.starts_with(family))
            return false;
        if (text.size() == family.size())
            return true;
        char next = text[family.size()];
        return !(next >= 'a' && next <= 'z');
    };
    return inFamily("alloc") || inFamily("new") || inFamily("copy") || inFamily("mutableCopy") || inFamily("init");
}

uint32_t objc_internTypeEncoding(const char* types)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    if (auto it = t.encodings.find(types); it != t.encodings.end())
        return it->second;
    const char* stored = t.intern(types);
    auto id = static_cast<uint32_t>(t.encodingStrings.size());
    t.encodingStrings.push_back(stored);
    t.encodings.emplace(stored, id);
    return id;
}

const char* objc_typeEncodingString(uint32_t types)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    return types < t.encodingStrings.size() && types ? t.encodingStrings[types] : "";
}

// MARK: Classes

Class objc_lookUpClass(const char* name)
{
    if (!name)
        return nullptr;
    auto& t = tables();
    std::lock_guard guard(t.lock);
    auto it = t.classes.find(name);
    return it == t.classes.end() ? nullptr : it->second;
}

Class objc_getClass(const char* name)
{
    return objc_lookUpClass(name);
}

Class objc_getMetaClass(const char* name)
{
    Class cls = objc_lookUpClass(name);
    return cls ? cls->isa() : nullptr;
}

namespace {

// A new class pair of that name, whatever the class table holds.
Class makeClassPair(Class superclass, const char* name, objc_class::Allocator allocator)
{
    const char* stored;
    {
        auto& t = tables();
        std::lock_guard guard(t.lock);
        stored = t.intern(name);
    }
    Class superMeta = superclass ? superclass->isa() : &OBJC_CLASS_NSObject;
    if (!allocator && superclass)
        allocator = superclass->allocate;
    auto* meta = new objc_class(&OBJC_METACLASS_NSObject, stored, superMeta, true, nullptr);
    auto* cls = new objc_class(meta, stored, superclass, false, allocator);
    ensureRegisteredStorage(meta);
    ensureRegisteredStorage(cls);
    std::lock_guard guard(g_methodLock);
    linkClass(meta);
    linkClass(cls);
    return cls;
}

} // namespace

Class objc_allocateClassPair(Class superclass, const char* name, objc_class::Allocator allocator)
{
    if (!name || objc_lookUpClass(name))
        return nullptr;
    return makeClassPair(superclass, name, allocator);
}

Class objc_detail::allocateUnlistedClassPair(Class superclass, const char* name, objc_class::Allocator allocator)
{
    if (!name)
        return nullptr;
    if (objc_lookUpClass(name))
        device::tracef(device::TraceKind::Detail, "class %s is already registered: another one of that name stays unlisted", name);
    return makeClassPair(superclass, name, allocator);
}

void objc_registerClassPair(Class cls)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    if (!cls || cls->registered)
        return;
    cls->registered = true;
    cls->isa()->registered = true;
    // An unlisted class keeps out of the way of the one listed under its name.
    t.classes.emplace(cls->name, cls);
}

const char* class_getName(Class cls)
{
    return cls ? cls->name : "nil";
}

Class class_getSuperclass(Class cls)
{
    return cls ? cls->superclass : nullptr;
}

BOOL class_isMetaClass(Class cls)
{
    return cls && cls->isMeta;
}

BOOL class_isSubclassOf(Class cls, Class ancestor)
{
    for (; cls; cls = cls->superclass) {
        if (cls == ancestor)
            return YES;
    }
    return NO;
}

BOOL class_respondsToSelector(Class cls, SEL sel)
{
    if (!cls || !sel)
        return NO;
    std::lock_guard guard(g_methodLock);
    return findMethod(cls, sel) != nullptr;
}

namespace {

BOOL addMethod(Class cls, SEL name, IMP imp, const char* types, bool traced)
{
    if (!cls || !name || !imp || !types)
        return NO;
    ensureRegisteredStorage(cls);
    uint32_t interned = objc_internTypeEncoding(types);
    {
        std::lock_guard guard(g_methodLock);
        noteQuiescent();
        if (cls->methods->find(name))
            return NO;
        cls->methods->add({ name, imp, interned });
        methodsChanged(cls, name);
    }
    // Methods added to a class that is already in use are worth a trace line
    // (a library patching a class); building a class is not.
    if (traced && cls->registered && device::isTracing())
        device::tracef(device::TraceKind::Hook, "added %c[%s %s] %s", cls->isMeta ? '+' : '-', cls->name, sel_getName(name), types);
    return YES;
}

} // namespace

BOOL class_addMethod(Class cls, SEL name, IMP imp, const char* types)
{
    return addMethod(cls, name, imp, types, true);
}

IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types)
{
    if (!cls || !name || !imp)
        return nullptr;
    ensureRegisteredStorage(cls);
    uint32_t interned = types ? objc_internTypeEncoding(types) : 0;
    std::lock_guard guard(g_methodLock);
    noteQuiescent();
    IMP old = nullptr;
    if (MethodEntry* method = cls->methods->find(name)) {
        old = method->imp;
        method->imp = imp;
    } else if (interned) {
        cls->methods->add({ name, imp, interned });
    } else {
        return nullptr;
    }
    methodsChanged(cls, name);
    return old;
}

IMP class_getMethodImplementation(Class cls, SEL name)
{
    if (!cls || !name)
        return nullptr;
    std::lock_guard guard(g_methodLock);
    const auto* method = findMethod(cls, name);
    return method ? method->imp : nullptr;
}

const char* class_getMethodTypeEncoding(Class cls, SEL name)
{
    if (!cls || !name)
        return nullptr;
    uint32_t types;
    {
        std::lock_guard guard(g_methodLock);
        const auto* method = findMethod(cls, name);
        if (!method)
            return nullptr;
        types = method->types;
    }
    return objc_typeEncodingString(types);
}

Method class_getInstanceMethod(Class cls, SEL name)
{
    if (!name)
        return nullptr;
    std::lock_guard guard(g_methodLock);
    for (; cls && !ownsMethod(cls, name); cls = cls->superclass) { }
    if (!cls)
        return nullptr;
    static auto& handles = *new std::map<std::pair<Class, SEL>, objc_method>;
    return &handles.try_emplace({ cls, name }, objc_method { cls, name }).first->second;
}

SEL method_getName(Method method)
{
    return method ? method->sel : nullptr;
}

namespace {

// The method a handle stands for, as its class has it now; under the lock.
const MethodEntry* entryOf(Method method)
{
    return method->cls->methods ? method->cls->methods->find(method->sel) : nullptr;
}

} // namespace

const char* method_getTypeEncoding(Method method)
{
    if (!method)
        return nullptr;
    uint32_t types;
    {
        std::lock_guard guard(g_methodLock);
        const auto* entry = entryOf(method);
        if (!entry)
            return nullptr;
        types = entry->types;
    }
    return objc_typeEncodingString(types);
}

IMP method_getImplementation(Method method)
{
    if (!method)
        return nullptr;
    std::lock_guard guard(g_methodLock);
    const auto* entry = entryOf(method);
    return entry ? entry->imp : nullptr;
}

BOOL class_addIvarAtOffset(Class cls, const char* name, ptrdiff_t offset, const char* types)
{
    if (!cls || !name)
        return NO;
    ensureRegisteredStorage(cls);
    for (const auto* ivar : *cls->ivars) {
        if (std::strcmp(ivar->name, name) == 0)
            return NO;
    }
    auto& t = tables();
    std::lock_guard guard(t.lock);
    cls->ivars->push_back(new objc_ivar { t.intern(name), t.intern(types ? types : ""), offset });
    return YES;
}

Ivar class_getInstanceVariable(Class cls, const char* name)
{
    if (!name)
        return nullptr;
    for (; cls; cls = cls->superclass) {
        if (!cls->ivars)
            continue;
        for (const auto* ivar : *cls->ivars) {
            if (std::strcmp(ivar->name, name) == 0)
                return ivar;
        }
    }
    return nullptr;
}

ptrdiff_t ivar_getOffset(Ivar ivar)
{
    return ivar ? ivar->offset : 0;
}

const char* ivar_getName(Ivar ivar)
{
    return ivar ? ivar->name : nullptr;
}

const char* ivar_getTypeEncoding(Ivar ivar)
{
    return ivar ? ivar->type : nullptr;
}

size_t class_getInstanceCount(Class cls)
{
    return cls ? cls->instanceCount : 0;
}

// MARK: Objects

Class object_getClass(id object)
{
    return object ? object->isa() : nullptr;
}

const char* object_getClassName(id object)
{
    return class_getName(object_getClass(object));
}

id object_getIvar(id object, Ivar ivar)
{
    if (!object || !ivar)
        return nullptr;
    return *reinterpret_cast<id*>(reinterpret_cast<char*>(object) + ivar->offset);
}

struct RuntimeAccess {
    static void setClass(Object* object, Class cls)
    {
        if (object->m_refCount == Object::kImmortal) {
            object->m_isa = cls;
            return;
        }
        if (object->m_isa)
            --object->m_isa->instanceCount;
        object->m_isa = cls;
        if (cls)
            ++cls->instanceCount;
    }
};

void object_setClass(id object, Class cls)
{
    if (object)
        RuntimeAccess::setClass(object, cls);
}

id class_createInstance(Class cls)
{
    if (!cls || !cls->allocate)
        return nullptr;
    return cls->allocate(cls);
}

BOOL objc_respondsToSelector(id object, SEL sel)
{
    return object && class_respondsToSelector(object->isa(), sel);
}

// MARK: NSObject's own methods

namespace {

id rootAlloc(id self, SEL)
{
    Class cls = static_cast<Class>(self);
    Object* object = cls->allocate ? cls->allocate(cls) : nullptr;
    if (!object)
        objc_detail::raise("NSInvalidArgumentException", std::string("+[") + cls->name + " alloc]: class cannot be instantiated");
    return object;
}

id rootNew(id self, SEL)
{
    id object = rootAlloc(self, nullptr);
    return objc_msgSend<id>(object, "init"_sel);
}

id rootSelf(id self, SEL) { return self; }
Class rootClass(id self, SEL) { return object_getClass(self); }
Class rootClassOfClass(id self, SEL) { return static_cast<Class>(self); }
Class rootSuperclass(id self, SEL) { return class_getSuperclass(object_getClass(self)); }
id rootRetain(id self, SEL)
{
    self->retain();
    return self;
}
void rootRelease(id self, SEL) { self->release(); }
id rootAutorelease(id self, SEL) { return self->autorelease(); }
NSUInteger rootRetainCount(id self, SEL) { return self->retainCount(); }
BOOL rootRespondsToSelector(id self, SEL, SEL sel) { return objc_respondsToSelector(self, sel); }
BOOL rootInstancesRespondToSelector(id self, SEL, SEL sel) { return class_respondsToSelector(static_cast<Class>(self), sel); }
BOOL rootIsKindOfClass(id self, SEL, Class cls) { return class_isSubclassOf(object_getClass(self), cls); }
BOOL rootIsMemberOfClass(id self, SEL, Class cls) { return object_getClass(self) == cls; }
BOOL rootIsSubclassOfClass(id self, SEL, Class cls) { return class_isSubclassOf(static_cast<Class>(self), cls); }
id rootPerformSelector(id self, SEL, SEL sel) { return objc_msgSend<id>(self, sel); }
id rootPerformSelectorWithObject(id self, SEL, SEL sel, id argument) { return objc_msgSend<id>(self, sel, argument); }

// Registered before anything can send a message to an object.
[[gnu::constructor(101)]] void registerRootClass()
{
    objc_detail::joinSendingThreads();
    objc_detail::registerStaticClass(&OBJC_CLASS_NSObject);
    Class cls = &OBJC_CLASS_NSObject;
    Class meta = &OBJC_METACLASS_NSObject;
    class_addTypedMethod(cls, "dealloc"_sel, rootDealloc);
    class_addTypedMethod(cls, "init"_sel, rootSelf);
    class_addTypedMethod(cls, "self"_sel, rootSelf);
    class_addTypedMethod(cls, "class"_sel, rootClass);
    class_addTypedMethod(cls, "superclass"_sel, rootSuperclass);
    class_addTypedMethod(cls, "retain"_sel, rootRetain);
    class_addTypedMethod(cls, "release"_sel, rootRelease);
    class_addTypedMethod(cls, "autorelease"_sel, rootAutorelease);
    class_addTypedMethod(cls, "retainCount"_sel, rootRetainCount);
    class_addTypedMethod(cls, "respondsToSelector:"_sel, rootRespondsToSelector);
    class_addTypedMethod(cls, "isKindOfClass:"_sel, rootIsKindOfClass);
    class_addTypedMethod(cls, "isMemberOfClass:"_sel, rootIsMemberOfClass);
    class_addTypedMethod(cls, "performSelector:"_sel, rootPerformSelector);
    class_addTypedMethod(cls, "performSelector:withObject:"_sel, rootPerformSelectorWithObject);
    class_addTypedMethod(meta, "alloc"_sel, rootAlloc);
    class_addTypedMethod(meta, "new"_sel, rootNew);
    class_addTypedMethod(meta, "class"_sel, rootClassOfClass);
    class_addTypedMethod(meta, "instancesRespondToSelector:"_sel, rootInstancesRespondToSelector);
    class_addTypedMethod(meta, "isSubclassOfClass:"_sel, rootIsSubclassOfClass);
}

} // namespace
