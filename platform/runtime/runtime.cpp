#include "runtime/runtime.h"
#include "runtime/ClassBuilder.h"
#include "runtime/message.h"

#include "device/Trace.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

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

const objc_class::Method* findOwnMethod(Class cls, SEL sel)
{
    if (!cls->methods)
        return nullptr;
    for (const auto& method : *cls->methods) {
        if (method.sel == sel)
            return &method;
    }
    return nullptr;
}

const objc_class::Method* findMethod(Class cls, SEL sel)
{
    for (; cls; cls = cls->superclass) {
        if (const auto* method = findOwnMethod(cls, sel))
            return method;
    }
    return nullptr;
}

void ensureRegisteredStorage(Class cls)
{
    if (!cls->methods)
        cls->methods = new std::vector<objc_class::Method>;
    if (!cls->ivars)
        cls->ivars = new std::vector<objc_ivar*>;
}

std::string describeReceiver(id receiver, SEL sel)
{
    char prefix = class_isMetaClass(object_getClass(receiver)) ? '+' : '-';
    return std::string(1, prefix) + "[" + object_getClassName(receiver) + " " + sel_getName(sel) + "]";
}

} // namespace

namespace objc_detail {

namespace {
// The classes whose dispatch tables hold entries.
std::vector<Class>& cachingClasses()
{
    static auto* classes = new std::vector<Class>;
    return *classes;
}
}

void flushMethodCaches()
{
    for (Class cls : cachingClasses())
        std::memset(cls->cache, 0, sizeof(objc_class::CacheEntry) * cls->cacheCapacity);
}

namespace {
DestroyHook g_destroyHook = nullptr;
}

void setDestroyHook(DestroyHook hook)
{
    g_destroyHook = hook;
}

BOOL removeMethod(Class cls, SEL sel)
{
    if (!cls || !sel || !cls->methods)
        return NO;
    auto& methods = *cls->methods;
    for (auto it = methods.begin(); it != methods.end(); ++it) {
        if (it->sel == sel) {
            methods.erase(it);
            flushMethodCaches();
            return YES;
        }
    }
    return NO;
}

IMP lookUpSlow(Class cls, SEL sel, uint32_t types, id receiver)
{
    const objc_class::Method* method = findMethod(cls, sel);
    if (!method) {
        char address[32];
        std::snprintf(address, sizeof address, "%p", static_cast<void*>(receiver));
        bool isClass = class_isMetaClass(object_getClass(receiver));
        raise("NSInvalidArgumentException",
            describeReceiver(receiver, sel) + ": unrecognized selector sent to " + (isClass ? "class " : "instance ") + address);
    }

    if (sel->index >= cls->cacheCapacity) {
        uint32_t capacity = std::max<uint32_t>(sel->index + 1, cls->cacheCapacity * 2);
        capacity = std::max<uint32_t>(capacity, 64);
        auto* cache = new objc_class::CacheEntry[capacity]();
        if (cls->cache)
            std::memcpy(cache, cls->cache, sizeof(objc_class::CacheEntry) * cls->cacheCapacity);
        else
            cachingClasses().push_back(cls);
        delete[] cls->cache;
        cls->cache = cache;
        cls->cacheCapacity = capacity;
    }
    cls->cache[sel->index] = { method->imp, method->types };

    if (method->types != types) {
        raise("NSInvalidArgumentException",
            describeReceiver(receiver, sel) + ": message sent as \"" + objc_typeEncodingString(types)
                + "\" to a method of type \"" + objc_typeEncodingString(method->types) + "\"");
    }
    return method->imp;
}

void registerStaticClass(Class cls)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    if (cls->registered)
        return;
    ensureRegisteredStorage(cls);
    ensureRegisteredStorage(cls->isa());
    cls->registered = true;
    cls->isa()->registered = true;
    t.classes.emplace(cls->name, cls);
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
    auto& sel = t.selectorStorage.emplace_back(objc_selector { stored, static_cast<uint32_t>(t.selectorStorage.size()) });
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

Class objc_allocateClassPair(Class superclass, const char* name, objc_class::Allocator allocator)
{
    if (!name || objc_lookUpClass(name)) {
        std::fprintf(stderr, "objc: class %s is already registered\n", name ? name : "(null)");
        std::abort();
    }
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
    return cls;
}

void objc_registerClassPair(Class cls)
{
    auto& t = tables();
    std::lock_guard guard(t.lock);
    if (cls->registered)
        return;
    cls->registered = true;
    cls->isa()->registered = true;
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
    return cls && sel && findMethod(cls, sel);
}

namespace {

BOOL addMethod(Class cls, SEL name, IMP imp, const char* types, bool traced)
{
    if (!cls || !name || !imp || !types)
        return NO;
    ensureRegisteredStorage(cls);
    if (findOwnMethod(cls, name))
        return NO;
    cls->methods->push_back({ name, imp, objc_internTypeEncoding(types) });
    objc_detail::flushMethodCaches();
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
    for (auto& method : *cls->methods) {
        if (method.sel == name) {
            IMP old = method.imp;
            method.imp = imp;
            objc_detail::flushMethodCaches();
            return old;
        }
    }
    if (types)
        addMethod(cls, name, imp, types, false);
    return nullptr;
}

IMP class_getMethodImplementation(Class cls, SEL name)
{
    if (!cls || !name)
        return nullptr;
    const auto* method = findMethod(cls, name);
    return method ? method->imp : nullptr;
}

const char* class_getMethodTypeEncoding(Class cls, SEL name)
{
    if (!cls || !name)
        return nullptr;
    const auto* method = findMethod(cls, name);
    return method ? objc_typeEncodingString(method->types) : nullptr;
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
    objc_detail::registerStaticClass(&OBJC_CLASS_NSObject);
    Class cls = &OBJC_CLASS_NSObject;
    Class meta = &OBJC_METACLASS_NSObject;
    class_addMethod(cls, "dealloc"_sel, imp_cast(rootDealloc), "v@:");
    class_addMethod(cls, "init"_sel, imp_cast(rootSelf), "@@:");
    class_addMethod(cls, "self"_sel, imp_cast(rootSelf), "@@:");
    class_addMethod(cls, "class"_sel, imp_cast(rootClass), "#@:");
    class_addMethod(cls, "superclass"_sel, imp_cast(rootSuperclass), "#@:");
    class_addMethod(cls, "retain"_sel, imp_cast(rootRetain), "@@:");
    class_addMethod(cls, "release"_sel, imp_cast(rootRelease), "v@:");
    class_addMethod(cls, "autorelease"_sel, imp_cast(rootAutorelease), "@@:");
    class_addMethod(cls, "retainCount"_sel, imp_cast(rootRetainCount), "Q@:");
    class_addMethod(cls, "respondsToSelector:"_sel, imp_cast(rootRespondsToSelector), "B@::");
    class_addMethod(cls, "isKindOfClass:"_sel, imp_cast(rootIsKindOfClass), "B@:#");
    class_addMethod(cls, "isMemberOfClass:"_sel, imp_cast(rootIsMemberOfClass), "B@:#");
    class_addMethod(cls, "performSelector:"_sel, imp_cast(rootPerformSelector), "@@::");
    class_addMethod(cls, "performSelector:withObject:"_sel, imp_cast(rootPerformSelectorWithObject), "@@::@");
    class_addMethod(meta, "alloc"_sel, imp_cast(rootAlloc), "@@:");
    class_addMethod(meta, "new"_sel, imp_cast(rootNew), "@@:");
    class_addMethod(meta, "class"_sel, imp_cast(rootClassOfClass), "#@:");
    class_addMethod(meta, "instancesRespondToSelector:"_sel, imp_cast(rootInstancesRespondToSelector), "B@::");
    class_addMethod(meta, "isSubclassOfClass:"_sel, imp_cast(rootIsSubclassOfClass), "B@:#");
}

} // namespace
