#include "uikit/UIAppearance.h"

#include "foundation/NSValue.h"

#include <unordered_map>

Class UIAppearance::staticClass()
{
    static Class cls = ClassBuilder<UIAppearance>("_UIAppearance", &OBJC_CLASS_NSObject)
                           .method<&UIAppearance::setValueForKey>("setValue:forKey:")
                           .method<&UIAppearance::valueForKey>("valueForKey:")
                           .build();
    return cls;
}

UIAppearance::~UIAppearance() = default;

UIAppearance* UIAppearance::forClass(Class cls)
{
    static auto* proxies = new std::unordered_map<Class, Ref<UIAppearance>>;
    if (!cls)
        return nullptr;
    auto it = proxies->find(cls);
    if (it != proxies->end())
        return it->second.ptr();
    auto proxy = adoptObject(new UIAppearance);
    proxy->m_class = cls;
    UIAppearance* result = proxy.ptr();
    proxies->emplace(cls, std::move(proxy));
    return result;
}

id UIAppearance::appearanceImp(id cls, SEL)
{
    return forClass(static_cast<Class>(cls));
}

void UIAppearance::setObject(std::string_view key, NSObject* value)
{
    if (!value) {
        removeValue(key);
        return;
    }
    m_values.insert_or_assign(std::string(key), Value(RefPtr<NSObject>(value)));
}

void UIAppearance::setDouble(std::string_view key, double value)
{
    m_values.insert_or_assign(std::string(key), Value(value));
}

void UIAppearance::setSize(std::string_view key, CGSize value)
{
    m_values.insert_or_assign(std::string(key), Value(value));
}

void UIAppearance::setEdgeInsets(std::string_view key, UIEdgeInsets value)
{
    m_values.insert_or_assign(std::string(key), Value(value));
}

void UIAppearance::removeValue(std::string_view key)
{
    if (auto it = m_values.find(key); it != m_values.end())
        m_values.erase(it);
}

const UIAppearance::Value* UIAppearance::find(std::string_view key) const
{
    auto it = m_values.find(key);
    return it == m_values.end() ? nullptr : &it->second;
}

bool UIAppearance::hasValue(std::string_view key) const
{
    return find(key);
}

NSObject* UIAppearance::object(std::string_view key) const
{
    const Value* value = find(key);
    if (!value)
        return nullptr;
    const auto* object = std::get_if<RefPtr<NSObject>>(value);
    return object ? object->get() : nullptr;
}

double UIAppearance::doubleValue(std::string_view key) const
{
    const Value* value = find(key);
    if (!value)
        return 0;
    if (const auto* number = std::get_if<double>(value))
        return *number;
    if (const auto* object = std::get_if<RefPtr<NSObject>>(value)) {
        if (auto* number = dynamic_cast<NSNumber*>(object->get()))
            return number->doubleValue();
    }
    return 0;
}

NSUInteger UIAppearance::unsignedIntegerValue(std::string_view key) const
{
    double value = doubleValue(key);
    return value > 0 ? static_cast<NSUInteger>(value) : 0;
}

CGSize UIAppearance::sizeValue(std::string_view key) const
{
    const Value* value = find(key);
    const auto* size = value ? std::get_if<CGSize>(value) : nullptr;
    return size ? *size : CGSizeZero;
}

UIEdgeInsets UIAppearance::edgeInsetsValue(std::string_view key) const
{
    const Value* value = find(key);
    const auto* insets = value ? std::get_if<UIEdgeInsets>(value) : nullptr;
    return insets ? *insets : UIEdgeInsetsZero;
}

void UIAppearance::setValueForKey(NSObject* value, NSString* key)
{
    if (!key)
        return;
    setObject(key->view(), value);
}

RefPtr<NSObject> UIAppearance::valueForKey(NSString* key) const
{
    if (!key)
        return nullptr;
    const Value* value = find(key->view());
    if (!value)
        return nullptr;
    if (const auto* object = std::get_if<RefPtr<NSObject>>(value))
        return *object;
    if (const auto* number = std::get_if<double>(value))
        return NSNumber::numberWithDouble(*number);
    return nullptr;
}
