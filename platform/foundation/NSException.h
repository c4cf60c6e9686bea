// Platform exceptions. As on the device, an exception is an object that is
// thrown by pointer (autoreleased) and caught as NSException*:
//
//   try { ... } catch (NSException* exception) { ... }
//
// An exception that nothing catches ends the process with the platform's
// "Terminating app due to uncaught exception" report.
#pragma once

#include "foundation/NSString.h"

class PLATFORM_EXPORT NSException : public NSObject {
    OBJC_CLASS(NSException)
public:
    static Ref<NSException> create(NSString* name, NSString* reason);
    // +raise:format: — throws a new exception.
    [[noreturn]] static void raise(NSString* name, const char* format, ...);
    // -raise — throws this exception.
    [[noreturn]] void raise();

    NSString* name() const noexcept { return m_name.get(); }
    NSString* reason() const noexcept { return m_reason.get(); }

    ~NSException() override;

private:
    NSException() = default;
    RefPtr<NSString> m_name;
    RefPtr<NSString> m_reason;
};

PLATFORM_EXPORT extern NSString* const NSInvalidArgumentException;
PLATFORM_EXPORT extern NSString* const NSGenericException;
PLATFORM_EXPORT extern NSString* const NSInternalInconsistencyException;
PLATFORM_EXPORT extern NSString* const NSRangeException;

// The report the platform prints for an uncaught exception.
PLATFORM_EXPORT std::string NSUncaughtExceptionReport(NSException* exception);
