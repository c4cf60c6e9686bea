// Arrays and dictionaries. Both hold strong references to their elements;
// dictionaries keep their keys in insertion order.
#pragma once

#include "foundation/NSString.h"

#include <initializer_list>
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
    // Reads an XML or binary property list whose root is a dictionary; null
    // for a missing, unreadable or malformed file, or another root.
    static RefPtr<NSDictionary> dictionaryWithContentsOfFile(NSString* path);

    NSUInteger count() const noexcept { return m_entries.size(); }
    id objectForKey(id key) const noexcept;
    Ref<NSArray> allKeys() const;
    const std::vector<Entry>& entries() const noexcept { return m_entries; }
    // Writes an XML property list; NO when a value is not of a property-list
    // type or the file cannot be written. Atomic writes go through a
    // temporary file in the same folder that is renamed over the target.
    BOOL writeToFile(NSString* path, BOOL atomically) const;
    Ref<NSString> description() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override { return m_entries.size(); }

protected:
    NSDictionary() = default;
    std::vector<Entry> m_entries;
};

class PLATFORM_EXPORT NSMutableDictionary : public NSDictionary {
    OBJC_CLASS(NSMutableDictionary)
public:
    static Ref<NSMutableDictionary> create();
    // Raises NSInvalidArgumentException for a nil key or object.
    void setObjectForKey(id object, id key);
    void removeObjectForKey(id key);
    void addEntriesFromDictionary(const NSDictionary* other);
    void removeAllObjects() { m_entries.clear(); }

private:
    NSMutableDictionary() = default;
};
