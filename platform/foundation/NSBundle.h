// NSBundle: the application's main bundle, for its identifier and its
// localized strings.
//
// The simulated device has no translations: a string that no table holds is
// the key itself (or the default value given). The simulator may install a
// table of translations with setLocalizedStrings().
#pragma once

#include "foundation/NSCollections.h"

#include <map>
#include <string>

class PLATFORM_EXPORT NSBundle : public NSObject {
    OBJC_CLASS(NSBundle)
public:
    static NSBundle* mainBundle();

    NSString* bundleIdentifier() const noexcept { return m_bundleIdentifier.get(); }
    // The translation of key in table ("Localizable" when table is nil or
    // empty). Without one: value when it is not empty, else key; the empty
    // string when both key and value are nil.
    Ref<NSString> localizedStringForKey(NSString* key, NSString* value, NSString* table) const;

    // Simulator hooks: the running application's identifier (the Camera's is
    // "com.apple.camera"), and translations for a table (nil removes it).
    void setBundleIdentifier(NSString* identifier);
    void setLocalizedStrings(NSString* table, NSDictionary* strings);

    ~NSBundle() override;

private:
    NSBundle() = default;
    RefPtr<NSString> m_bundleIdentifier;
    std::map<std::string, Ref<NSDictionary>, std::less<>> m_tables;
};
