#include "foundation/NSProcessInfo.h"

#include "device/Device.h"

#include <cerrno>
#include <unistd.h>

namespace {

NSOperatingSystemVersion operatingSystemVersionMethod(id self, SEL)
{
    return static_cast<NSProcessInfo*>(self)->operatingSystemVersion();
}

BOOL isOperatingSystemAtLeastVersionMethod(id self, SEL, NSOperatingSystemVersion version)
{
    return static_cast<NSProcessInfo*>(self)->isOperatingSystemAtLeastVersion(version);
}

} // namespace

Class NSProcessInfo::staticClass()
{
    static Class cls = [] {
        Class built = ClassBuilder<NSProcessInfo>("NSProcessInfo", &OBJC_CLASS_NSObject)
                          .classMethod<&NSProcessInfo::processInfo>("processInfo")
                          .method<&NSProcessInfo::processName>("processName")
                          .method<&NSProcessInfo::processIdentifier>("processIdentifier")
                          .build();
        matchSystemVersion(built);
        return built;
    }();
    return cls;
}

NSProcessInfo::NSProcessInfo()
    : m_processName(NSString::create(program_invocation_short_name))
    , m_processIdentifier(static_cast<int>(getpid()))
{
}

NSProcessInfo::~NSProcessInfo() = default;

NSProcessInfo* NSProcessInfo::processInfo()
{
    static NSProcessInfo* instance = adoptObject(new NSProcessInfo).leakRef();
    matchSystemVersion(staticClass());
    return instance;
}

NSOperatingSystemVersion NSProcessInfo::operatingSystemVersion() const noexcept
{
    auto version = device::systemVersion();
    return { version.major, version.minor, 0 };
}

BOOL NSProcessInfo::isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const noexcept
{
    auto current = operatingSystemVersion();
    if (current.majorVersion != version.majorVersion)
        return current.majorVersion > version.majorVersion;
    if (current.minorVersion != version.minorVersion)
        return current.minorVersion > version.minorVersion;
    return current.patchVersion >= version.patchVersion;
}

void NSProcessInfo::setProcessName(NSString* name)
{
    m_processName = NSString::create(name ? name->view() : "");
}

void NSProcessInfo::matchSystemVersion(Class cls)
{
    SEL versionSelector = "operatingSystemVersion"_sel;
    SEL atLeastSelector = "isOperatingSystemAtLeastVersion:"_sel;
    bool answers = device::systemVersion().major >= 8;
    if (class_respondsToSelector(cls, versionSelector) == answers)
        return;
    if (answers) {
        class_addMethod(cls, versionSelector, imp_cast(operatingSystemVersionMethod),
            methodTypeEncoding<NSOperatingSystemVersion>().c_str());
        class_addMethod(cls, atLeastSelector, imp_cast(isOperatingSystemAtLeastVersionMethod),
            methodTypeEncoding<BOOL, NSOperatingSystemVersion>().c_str());
    } else {
        objc_detail::removeMethod(cls, versionSelector);
        objc_detail::removeMethod(cls, atLeastSelector);
    }
}
