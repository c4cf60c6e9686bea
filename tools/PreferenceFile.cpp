#include "tools/PreferenceFile.h"

#include "corefoundation/CoreFoundation.h"
#include "foundation/NSValue.h"

#include <cerrno>
#include <cstdlib>

namespace preferences {

Ref<NSMutableDictionary> read()
{
    auto dictionary = NSMutableDictionary::create();
    dictionary->addEntriesFromDictionary(NSDictionary::dictionaryWithContentsOfFile(kPath).get());
    return dictionary;
}

bool write(NSDictionary* preferences)
{
    return preferences->writeToFile(kPath, YES);
}

RefPtr<Object> parseValue(const std::string& type, const std::string& text, std::string& error)
{
    if (type == "bool") {
        if (text == "true" || text == "false")
            return NSNumber::numberWithBool(text == "true");
        error = "a bool is true or false, not \"" + text + "\"";
        return nullptr;
    }
    if (type == "float") {
        char* end = nullptr;
        errno = 0;
        double number = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || errno) {
            error = "not a number: \"" + text + "\"";
            return nullptr;
        }
        return NSNumber::numberWithFloat(static_cast<float>(number));
    }
    if (type == "string")
        return NSString::create(text);
    error = "unknown value type \"" + type + "\" (bool, float or string)";
    return nullptr;
}

bool setValue(const std::string& key, Object* value)
{
    auto preferences = read();
    auto keyString = NSString::create(key);
    if (value)
        preferences->setObjectForKey(value, keyString.ptr());
    else
        preferences->removeObjectForKey(keyString.ptr());
    return write(preferences.ptr());
}

void postChanged()
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kChangedNotification, nullptr, nullptr, true);
}

} // namespace preferences
