// NSAssertionHandler: how assertions report a failure.
//
// As on the device, a failure is logged as
//   *** Assertion failure in -[ClassName selector], file:line
// (here to the device trace) and then raised as an
// NSInternalInconsistencyException whose reason is the description alone.
// The device's methods take a format and variadic arguments; a typed send
// carries no variadic arguments, so callers pass the finished description
// and it is used as it is.
#pragma once

#include "foundation/NSString.h"

class PLATFORM_EXPORT NSAssertionHandler : public NSObject {
    OBJC_CLASS(NSAssertionHandler)
public:
    static NSAssertionHandler* currentHandler();

    [[noreturn]] void handleFailureInMethod(SEL selector, id object, NSString* fileName, NSInteger line, NSString* description);
    [[noreturn]] void handleFailureInFunction(NSString* functionName, NSString* fileName, NSInteger line, NSString* description);

    ~NSAssertionHandler() override;

private:
    NSAssertionHandler() = default;
};
