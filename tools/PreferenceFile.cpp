#include "tools/PreferenceFile.h"

#include "corefoundation/CoreFoundation.h"
#include "foundation/NSValue.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace preferences {

PreferenceContents read()
{
    return readPreferenceFile(kPath);
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
        if (text.empty() || *end) {
            error = "not a number: \"" + text + "\"";
            return nullptr;
        }
        // What a 32-bit float cannot hold would be stored as infinity or 0:
        // magnitudes from halfway past its largest value, and up to half its
        // smallest.
        constexpr double kRoundsToInfinity = 0x1.ffffffp127;
        double magnitude = std::fabs(number);
        if (errno == ERANGE || !(magnitude < kRoundsToInfinity) || (number != 0 && magnitude <= static_cast<double>(FLT_TRUE_MIN) / 2)) {
            error = "\"" + text + "\" is outside the range of a 32-bit float (0, or a finite number of magnitude 1.4e-45 to 3.4e38)";
            return nullptr;
        }
        return NSNumber::numberWithFloat(static_cast<float>(number));
    }
    if (type == "string")
        return NSString::create(text);
    error = "unknown value type \"" + type + "\" (bool, float or string)";
    return nullptr;
}

PreferenceUpdate setValue(const std::string& key, Object* value, bool force, std::chrono::milliseconds patience)
{
    auto keyString = NSString::create(key);
    return updatePreferenceFile(kPath, force ? UnreadableFile::MoveAside : UnreadableFile::Refuse, patience, [&](NSMutableDictionary* file) {
        if (value)
            file->setObjectForKey(value, keyString.ptr());
        else
            file->removeObjectForKey(keyString.ptr());
        return true;
    });
}

PreferenceUpdate clear(bool force, std::chrono::milliseconds patience)
{
    return updatePreferenceFile(kPath, force ? UnreadableFile::MoveAside : UnreadableFile::Refuse, patience, [](NSMutableDictionary* file) {
        file->removeAllObjects();
        return true;
    });
}

std::string failureMessage(PreferenceUpdate update)
{
    std::string path = kPath->string();
    switch (update) {
    case PreferenceUpdate::Written:
    case PreferenceUpdate::Unchanged:
        return {};
    case PreferenceUpdate::Unreadable:
        return path + " is there but is not a property list that can be read; it is left as it is (--force moves it aside to "
            + path + ".unreadable and writes a new file)";
    case PreferenceUpdate::Locked:
        return "another program kept the preference file locked (" + path + ".lock); nothing was written";
    case PreferenceUpdate::NoLock:
        return "cannot lock the preference file: " + path + ".lock is there but cannot be opened; nothing was written";
    case PreferenceUpdate::Failed:
        return "cannot write " + path;
    }
    return {};
}

void postChanged()
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kChangedNotification, nullptr, nullptr, true);
}

} // namespace preferences
