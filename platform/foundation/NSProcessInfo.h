// NSProcessInfo: facts about the running process and the system.
//
// -operatingSystemVersion exists from iOS 8 on; on an older simulated system
// the class does not answer it at all, so respondsToSelector: tells iOS 7
// from iOS 8 and later, as on the device. The class asks the device for its
// system version (device::systemVersion), which may change between tests,
// whenever the process info is asked for.
#pragma once

#include "foundation/NSString.h"

struct NSOperatingSystemVersion {
    NSInteger majorVersion = 0;
    NSInteger minorVersion = 0;
    NSInteger patchVersion = 0;
    friend bool operator==(const NSOperatingSystemVersion&, const NSOperatingSystemVersion&) = default;
};
PLATFORM_TYPE_ENCODING(NSOperatingSystemVersion, "{NSOperatingSystemVersion=" NSINTEGER_ENCODING NSINTEGER_ENCODING NSINTEGER_ENCODING "}");

class PLATFORM_EXPORT NSProcessInfo : public NSObject {
    OBJC_CLASS(NSProcessInfo)
public:
    static NSProcessInfo* processInfo();

    NSString* processName() const noexcept { return m_processName.get(); }
    int processIdentifier() const noexcept { return m_processIdentifier; }
    // Only answered on iOS 8 and later (see above).
    NSOperatingSystemVersion operatingSystemVersion() const noexcept;
    BOOL isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const noexcept;

    // Simulator hooks: the simulated process's name and identifier.
    void setProcessName(NSString* name);
    void setProcessIdentifier(int identifier) noexcept { m_processIdentifier = identifier; }

    ~NSProcessInfo() override;

private:
    NSProcessInfo();
    static void matchSystemVersion(Class cls);
    RefPtr<NSString> m_processName;
    int m_processIdentifier = 0;
};
