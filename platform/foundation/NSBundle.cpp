#include "foundation/NSBundle.h"

Class NSBundle::staticClass()
{
    static Class cls = ClassBuilder<NSBundle>("NSBundle", &OBJC_CLASS_NSObject)
                           .classMethod<&NSBundle::mainBundle>("mainBundle")
                           .method<&NSBundle::bundleIdentifier>("bundleIdentifier")
                           .method<&NSBundle::localizedStringForKey>("localizedStringForKey:value:table:")
                           .build();
    return cls;
}

NSBundle::~NSBundle() = default;

NSBundle* NSBundle::mainBundle()
{
    static NSBundle* instance = adoptObject(new NSBundle).leakRef();
    return instance;
}

Ref<NSString> NSBundle::localizedStringForKey(NSString* key, NSString* value, NSString* table) const
{
    std::string_view tableName = table && table->length() ? table->view() : "Localizable";
    if (key) {
        if (auto it = m_tables.find(tableName); it != m_tables.end()) {
            id translation = it->second->objectForKey(key);
            if (translation && class_isSubclassOf(object_getClass(translation), NSString::staticClass()))
                return *static_cast<NSString*>(translation);
        }
    }
    if (value && value->length())
        return *value;
    if (key)
        return *key;
    return NSString::create("");
}

void NSBundle::setBundleIdentifier(NSString* identifier)
{
    m_bundleIdentifier = identifier ? NSString::create(identifier->view()).ptr() : nullptr;
}

void NSBundle::setLocalizedStrings(NSString* table, NSDictionary* strings)
{
    std::string name = table && table->length() ? table->string() : "Localizable";
    if (strings)
        m_tables.insert_or_assign(name, Ref<NSDictionary>(*strings));
    else
        m_tables.erase(name);
}
