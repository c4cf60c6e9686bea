// Arrays and dictionaries. Both hold strong references to their elements;
// dictionaries keep their keys in insertion order and find a key in constant
// time (by -hash and -isEqual:, as the platform's do).
#pragma once

#include "foundation/NSString.h"

#include <initializer_list>
#include <unordered_map>
#include <vector>

class PLATFORM_EXPORT NSArray : public NSObject {
    OBJC_CLASS(NSArray)
public:
    static Ref<NSArray> create(std::vector<RefPtr<Object>> objects = {});
    static Ref<NSArray> arrayWithObjects(std::initializer_list<Object*> objects);

    NSUInteger count() const noexcept { return m_objects.size(); }
    // Raises NSRangeException past the end, as the platform does.
    id objectAtIndex(NSUInteger index) const;
    id firstObject() const noexcept { return m_objects.empty() ? nullptr : m_objects.front().get(); }
    id lastObject() const noexcept { return m_objects.empty() ? nullptr : m_objects.back().get(); }
    BOOL containsObject(id object) const noexcept;
    NSUInteger indexOfObject(id object) const noexcept;
    NSUInteger indexOfObjectIdenticalTo(id object) const noexcept;
    Ref<NSArray> copy() const;
    Ref<NSString> description() const;

    const std::vector<RefPtr<Object>>& objects() const noexcept { return m_objects; }
    auto begin() const noexcept { return m_objects.begin(); }
    auto end() const noexcept { return m_objects.end(); }

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override { return m_objects.size(); }

protected:
    NSArray() = default;
    std::vector<RefPtr<Object>> m_objects;
};

class PLATFORM_EXPORT NSMutableArray : public NSArray {
    OBJC_CLASS(NSMutableArray)
public:
    static Ref<NSMutableArray> create();
    void addObject(id object);
    void insertObjectAtIndex(id object, NSUInteger index);
    void removeObject(id object);
    void removeObjectAtIndex(NSUInteger index);
    void removeAllObjects() { m_objects.clear(); }

private:
    NSMutableArray() = default;
};

class PLATFORM_EXPORT NSDictionary : public NSObject {
    OBJC_CLASS(NSDictionary)
public:
    struct Entry {
        Ref<Object> key;
        Ref<Object> value;
    };

    static Ref<NSDictionary> create(std::vector<Entry> entries = {});
    // Reads a property list whose root is a dictionary (any form
    // NSPropertyListFromBytes reads); null for a missing, unreadable or
    // malformed file, for anything but a regular file, or another root.
    static RefPtr<NSDictionary> dictionaryWithContentsOfFile(NSString* path);

    NSUInteger count() const noexcept { return m_entries.size(); }
    id objectForKey(id key) const noexcept;
    Ref<NSArray> allKeys() const;
    const std::vector<Entry>& entries() const noexcept { return m_entries; }
    // Writes an XML property list (binary when XML cannot hold a value
    // exactly); NO when a value is not of a property-list type or the file
    // cannot be written. Atomic writes go through a temporary file in the
    // same folder that is renamed over the target (see NSWriteHostFile).
    BOOL writeToFile(NSString* path, BOOL atomically) const;
    Ref<NSString> description() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override { return m_entries.size(); }

protected:
    NSDictionary() = default;
    // Where a key is in m_entries; null when absent.
    Entry* find(const Object* key) noexcept;
    const Entry* find(const Object* key) const noexcept { return const_cast<NSDictionary*>(this)->find(key); }
    void reserve(size_t capacity);
    // Adds an entry or replaces the value of an equal key.
    void store(Object& key, Object& value);
    void remove(const Object* key);
    void removeAll();

private:
    struct KeyHash {
        size_t operator()(const Object* key) const noexcept { return key->hash(); }
    };
    struct KeyEqual {
        bool operator()(const Object* a, const Object* b) const noexcept { return a == b || a->isEqual(b); }
    };

    std::vector<Entry> m_entries;
    // Each key's position in m_entries; the keys are the entries' own.
    std::unordered_map<const Object*, size_t, KeyHash, KeyEqual> m_index;
};

class PLATFORM_EXPORT NSMutableDictionary : public NSDictionary {
    OBJC_CLASS(NSMutableDictionary)
public:
    static Ref<NSMutableDictionary> create();
    // Room for capacity entries before it grows (-initWithCapacity:).
    static Ref<NSMutableDictionary> createWithCapacity(NSUInteger capacity);
    // Raises NSInvalidArgumentException for a nil key or object.
    void setObjectForKey(id object, id key);
    void removeObjectForKey(id key);
    void addEntriesFromDictionary(const NSDictionary* other);
    void removeAllObjects() { removeAll(); }

private:
    NSMutableDictionary() = default;
};
