#include "foundation/NSCollections.h"

#include "device/Device.h"
#include "device/Trace.h"
#include "foundation/NSException.h"
#include "foundation/PropertyList.h"

namespace {

bool equalObjects(const Object* a, const Object* b)
{
    return a == b || (a && b && a->isEqual(b));
}

id arrayWithObject(id, SEL, id object) { return NSArray::arrayWithObjects({ object }).leakRef()->autorelease(); }
id arrayNew(id, SEL) { return NSArray::create().leakRef()->autorelease(); }
id mutableArrayNew(id, SEL) { return NSMutableArray::create().leakRef()->autorelease(); }
id dictionaryNew(id, SEL) { return NSMutableDictionary::create().leakRef()->autorelease(); }
void setObjectForKeyedSubscript(id self, SEL, id object, id key)
{
    auto* dictionary = static_cast<NSMutableDictionary*>(self);
    if (!object)
        dictionary->removeObjectForKey(key);
    else
        dictionary->setObjectForKey(object, key);
}

} // namespace

// MARK: NSArray

Class NSArray::staticClass()
{
    static Class cls = ClassBuilder<NSArray>("NSArray", &OBJC_CLASS_NSObject)
                           .classMethod("array", arrayNew)
                           .classMethod("arrayWithObject:", arrayWithObject)
                           .method<&NSArray::count>("count")
                           .method<&NSArray::objectAtIndex>("objectAtIndex:")
                           .method<&NSArray::objectAtIndex>("objectAtIndexedSubscript:")
                           .method<&NSArray::firstObject>("firstObject")
                           .method<&NSArray::lastObject>("lastObject")
                           .method<&NSArray::containsObject>("containsObject:")
                           .method<&NSArray::indexOfObject>("indexOfObject:")
                           .method<&NSArray::indexOfObjectIdenticalTo>("indexOfObjectIdenticalTo:")
                           .method<&NSArray::copy>("copy")
                           .method<&NSArray::description>("description")
                           .build();
    return cls;
}

Ref<NSArray> NSArray::create(std::vector<RefPtr<Object>> objects)
{
    auto array = adoptObject(new NSArray);
    array->m_objects = std::move(objects);
    return array;
}

Ref<NSArray> NSArray::arrayWithObjects(std::initializer_list<Object*> objects)
{
    std::vector<RefPtr<Object>> list;
    for (auto* object : objects)
        list.emplace_back(object);
    return create(std::move(list));
}

id NSArray::objectAtIndex(NSUInteger index) const
{
    if (index >= m_objects.size()) {
        NSException::raise(NSRangeException, "*** -[%s objectAtIndex:]: index %lu beyond bounds [0 .. %ld]",
            object_getClassName(const_cast<NSArray*>(this)), index, static_cast<long>(m_objects.size()) - 1);
    }
    return m_objects[index].get();
}

BOOL NSArray::containsObject(id object) const noexcept
{
    return indexOfObject(object) != NSNotFound;
}

NSUInteger NSArray::indexOfObject(id object) const noexcept
{
    for (size_t i = 0; i < m_objects.size(); ++i) {
        if (equalObjects(m_objects[i].get(), object))
            return i;
    }
    return NSNotFound;
}

NSUInteger NSArray::indexOfObjectIdenticalTo(id object) const noexcept
{
    for (size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i].get() == object)
            return i;
    }
    return NSNotFound;
}

Ref<NSArray> NSArray::copy() const
{
    return create(m_objects);
}

Ref<NSString> NSArray::description() const
{
    return NSString::create(NSPropertyListSummary(const_cast<NSArray*>(this)));
}

bool NSArray::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    const auto& theirs = static_cast<const NSArray*>(other)->m_objects;
    if (theirs.size() != m_objects.size())
        return false;
    for (size_t i = 0; i < theirs.size(); ++i) {
        if (!equalObjects(m_objects[i].get(), theirs[i].get()))
            return false;
    }
    return true;
}

// MARK: NSMutableArray

Class NSMutableArray::staticClass()
{
    static Class cls = ClassBuilder<NSMutableArray>("NSMutableArray", NSArray::staticClass())
                           .classMethod("array", mutableArrayNew)
                           .method<&NSMutableArray::addObject>("addObject:")
                           .method<&NSMutableArray::insertObjectAtIndex>("insertObject:atIndex:")
                           .method<&NSMutableArray::removeObject>("removeObject:")
                           .method<&NSMutableArray::removeObjectAtIndex>("removeObjectAtIndex:")
                           .method<&NSMutableArray::removeAllObjects>("removeAllObjects")
                           .build();
    return cls;
}

Ref<NSMutableArray> NSMutableArray::create()
{
    return adoptObject(new NSMutableArray);
}

void NSMutableArray::addObject(id object)
{
    if (!object)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableArray addObject:]: object cannot be nil");
    m_objects.emplace_back(object);
}

void NSMutableArray::insertObjectAtIndex(id object, NSUInteger index)
{
    if (!object)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableArray insertObject:atIndex:]: object cannot be nil");
    if (index > m_objects.size())
        NSException::raise(NSRangeException, "*** -[NSMutableArray insertObject:atIndex:]: index %lu beyond bounds [0 .. %lu]", index, m_objects.size());
    m_objects.emplace(m_objects.begin() + static_cast<ptrdiff_t>(index), object);
}

void NSMutableArray::removeObject(id object)
{
    std::erase_if(m_objects, [object](const RefPtr<Object>& element) { return equalObjects(element.get(), object); });
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index)
{
    if (index >= m_objects.size())
        NSException::raise(NSRangeException, "*** -[NSMutableArray removeObjectAtIndex:]: index %lu beyond bounds", index);
    m_objects.erase(m_objects.begin() + static_cast<ptrdiff_t>(index));
}

// MARK: NSDictionary

Class NSDictionary::staticClass()
{
    static Class cls = ClassBuilder<NSDictionary>("NSDictionary", &OBJC_CLASS_NSObject)
                           .classMethod<&NSDictionary::dictionaryWithContentsOfFile>("dictionaryWithContentsOfFile:")
                           .method<&NSDictionary::count>("count")
                           .method<&NSDictionary::objectForKey>("objectForKey:")
                           .method<&NSDictionary::objectForKey>("objectForKeyedSubscript:")
                           .method<&NSDictionary::allKeys>("allKeys")
                           .method<&NSDictionary::writeToFile>("writeToFile:atomically:")
                           .method<&NSDictionary::description>("description")
                           .build();
    return cls;
}

Ref<NSDictionary> NSDictionary::create(std::vector<Entry> entries)
{
    auto dictionary = adoptObject(new NSDictionary);
    dictionary->reserve(entries.size());
    for (auto& entry : entries)
        dictionary->store(entry.key.get(), entry.value.get());
    return dictionary;
}

NSDictionary::Entry* NSDictionary::find(const Object* key) noexcept
{
    if (!key)
        return nullptr;
    auto found = m_index.find(key);
    return found == m_index.end() ? nullptr : &m_entries[found->second];
}

void NSDictionary::reserve(size_t capacity)
{
    m_entries.reserve(capacity);
    m_index.reserve(capacity);
}

void NSDictionary::store(Object& key, Object& value)
{
    // One lookup: the index takes the key (the entry's own, below) unless
    // an equal one is there.
    auto [slot, added] = m_index.try_emplace(&key, m_entries.size());
    if (!added) {
        m_entries[slot->second].value = value;
        return;
    }
    m_entries.push_back({ key, value });
}

void NSDictionary::remove(const Object* key)
{
    auto found = key ? m_index.find(key) : m_index.end();
    if (found == m_index.end())
        return;
    size_t position = found->second;
    m_index.erase(found);
    m_entries.erase(m_entries.begin() + static_cast<ptrdiff_t>(position));
    // Keeping the order costs a pass over the later keys; removal is rare.
    for (size_t i = position; i < m_entries.size(); ++i)
        m_index[m_entries[i].key.ptr()] = i;
}

void NSDictionary::removeAll()
{
    m_index.clear();
    m_entries.clear();
}

RefPtr<NSDictionary> NSDictionary::dictionaryWithContentsOfFile(NSString* path)
{
    if (!path)
        return nullptr;
    auto host = device::hostPath(path->view());
    RefPtr<Object> root = host ? NSPropertyListReadHostFile(*host) : nullptr;
    if (!root || !class_isSubclassOf(root->isa(), staticClass())) {
        device::tracef(device::TraceKind::FileRead, "read %s: no dictionary", path->UTF8String());
        return nullptr;
    }
    // The summary walks the whole tree: only for a trace that is recorded.
    if (device::isTracing())
        device::tracef(device::TraceKind::FileRead, "read %s: %s", path->UTF8String(), NSPropertyListSummary(root.get()).c_str());
    return static_cast<NSDictionary*>(root.get());
}

id NSDictionary::objectForKey(id key) const noexcept
{
    const Entry* entry = find(key);
    return entry ? entry->value.ptr() : nullptr;
}

Ref<NSArray> NSDictionary::allKeys() const
{
    std::vector<RefPtr<Object>> keys;
    for (const auto& entry : m_entries)
        keys.emplace_back(entry.key.ptr());
    return NSArray::create(std::move(keys));
}

BOOL NSDictionary::writeToFile(NSString* path, BOOL atomically) const
{
    if (!path)
        return NO;
    auto bytes = NSPropertyListFileBytes(const_cast<NSDictionary*>(this));
    auto host = device::hostPath(path->view());
    bool ok = bytes && host && NSWriteHostFile(*host, *bytes, atomically);
    if (device::isTracing()) {
        device::tracef(device::TraceKind::File, "%s %s: %s", ok ? "wrote" : "failed to write", path->UTF8String(),
            NSPropertyListSummary(const_cast<NSDictionary*>(this)).c_str());
    }
    return ok;
}

Ref<NSString> NSDictionary::description() const
{
    return NSString::create(NSPropertyListSummary(const_cast<NSDictionary*>(this)));
}

bool NSDictionary::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    auto* theirs = static_cast<const NSDictionary*>(other);
    if (theirs->count() != count())
        return false;
    for (const auto& entry : m_entries) {
        if (!equalObjects(entry.value.ptr(), theirs->objectForKey(entry.key.ptr())))
            return false;
    }
    return true;
}

// MARK: NSMutableDictionary

Class NSMutableDictionary::staticClass()
{
    static Class cls = ClassBuilder<NSMutableDictionary>("NSMutableDictionary", NSDictionary::staticClass())
                           .classMethod("dictionary", dictionaryNew)
                           .method<&NSMutableDictionary::setObjectForKey>("setObject:forKey:")
                           .method("setObject:forKeyedSubscript:", setObjectForKeyedSubscript)
                           .method<&NSMutableDictionary::removeObjectForKey>("removeObjectForKey:")
                           .method<&NSMutableDictionary::addEntriesFromDictionary>("addEntriesFromDictionary:")
                           .method<&NSMutableDictionary::removeAllObjects>("removeAllObjects")
                           .build();
    return cls;
}

Ref<NSMutableDictionary> NSMutableDictionary::create()
{
    return adoptObject(new NSMutableDictionary);
}

Ref<NSMutableDictionary> NSMutableDictionary::createWithCapacity(NSUInteger capacity)
{
    auto dictionary = create();
    dictionary->reserve(capacity);
    return dictionary;
}

void NSMutableDictionary::setObjectForKey(id object, id key)
{
    if (!key)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableDictionary setObject:forKey:]: key cannot be nil");
    if (!object)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableDictionary setObject:forKey:]: object cannot be nil (key: %@)", key);
    store(*key, *object);
}

void NSMutableDictionary::removeObjectForKey(id key)
{
    remove(key);
}

void NSMutableDictionary::addEntriesFromDictionary(const NSDictionary* other)
{
    if (!other || other == this)
        return;
    for (const auto& entry : other->entries())
        setObjectForKey(entry.value.ptr(), entry.key.ptr());
}
