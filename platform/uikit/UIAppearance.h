// Appearance proxies: `+appearance` of a view class answers that class's
// proxy, one per class for the life of the process, which keeps property
// values by name as process-wide defaults for views of the class. A view
// class reads the values it knows back by name.
//
// Unlike the device's proxy, this one does not forward arbitrary setters:
// values go in and out through the typed store below (objects, numbers,
// sizes and edge insets), or from the runtime through setValue:forKey: and
// valueForKey: (objects and NSNumbers). Values are kept per class: a
// subclass's proxy does not see its superclass's values.
#pragma once

#include "uikit/UIGeometry.h"
#include "uikit/UIView.h"

#include <map>
#include <string>
#include <string_view>
#include <variant>

class PLATFORM_EXPORT UIAppearance : public NSObject {
    OBJC_CLASS(UIAppearance)
public:
    static UIAppearance* forClass(Class cls);

    Class appearanceClass() const noexcept { return m_class; }

    // Objects are retained; nil removes the value.
    void setObject(std::string_view key, NSObject* value);
    void setDouble(std::string_view key, double value);
    void setUnsignedInteger(std::string_view key, NSUInteger value) { setDouble(key, static_cast<double>(value)); }
    void setSize(std::string_view key, CGSize value);
    void setEdgeInsets(std::string_view key, UIEdgeInsets value);
    void removeValue(std::string_view key);
    void removeAllValues() { m_values.clear(); }

    bool hasValue(std::string_view key) const;
    // The stored object, or nil (also for a value of another kind).
    NSObject* object(std::string_view key) const;
    // A stored number (or NSNumber object), 0 otherwise.
    double doubleValue(std::string_view key) const;
    NSUInteger unsignedIntegerValue(std::string_view key) const;
    // A stored size or insets, zero otherwise.
    CGSize sizeValue(std::string_view key) const;
    UIEdgeInsets edgeInsetsValue(std::string_view key) const;

    // For the runtime: setValue:forKey: and valueForKey: (numbers come back
    // as NSNumber; sizes and insets as nil).
    void setValueForKey(NSObject* value, NSString* key);
    RefPtr<NSObject> valueForKey(NSString* key) const;

    // +appearance, as a class method of UIView.
    static id appearanceImp(id cls, SEL);

    ~UIAppearance() override;

private:
    UIAppearance() = default;
    using Value = std::variant<RefPtr<NSObject>, double, CGSize, UIEdgeInsets>;
    const Value* find(std::string_view key) const;

    Class m_class = nullptr;
    std::map<std::string, Value, std::less<>> m_values;
};
