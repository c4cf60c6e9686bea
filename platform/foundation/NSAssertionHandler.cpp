#include "foundation/NSAssertionHandler.h"

#include "device/Trace.h"
#include "foundation/NSException.h"

Class NSAssertionHandler::staticClass()
{
    static Class cls = ClassBuilder<NSAssertionHandler>("NSAssertionHandler", &OBJC_CLASS_NSObject)
                           .classMethod<&NSAssertionHandler::currentHandler>("currentHandler")
                           .method<&NSAssertionHandler::handleFailureInMethod>("handleFailureInMethod:object:file:lineNumber:description:")
                           .method<&NSAssertionHandler::handleFailureInFunction>("handleFailureInFunction:file:lineNumber:description:")
                           .build();
    return cls;
}

NSAssertionHandler::~NSAssertionHandler() = default;

// The device keeps one handler per thread; the platform's objects live on
// the main thread, so one handler serves.
NSAssertionHandler* NSAssertionHandler::currentHandler()
{
    static NSAssertionHandler* instance = adoptObject(new NSAssertionHandler).leakRef();
    return instance;
}

namespace {

[[noreturn]] void raiseFailure(NSString* description)
{
    NSException::create(NSInternalInconsistencyException, description)->raise();
}

} // namespace

void NSAssertionHandler::handleFailureInMethod(SEL selector, id object, NSString* fileName, NSInteger line, NSString* description)
{
    bool isClass = object && class_isMetaClass(object_getClass(object));
    const char* className = !object ? "(null)" : isClass ? class_getName(static_cast<Class>(object))
                                                         : object_getClassName(object);
    device::tracef(device::TraceKind::Detail, "*** Assertion failure in %c[%s %s], %s:%ld", isClass ? '+' : '-', className,
        sel_getName(selector), fileName ? fileName->UTF8String() : "(null)", static_cast<long>(line));
    raiseFailure(description);
}

void NSAssertionHandler::handleFailureInFunction(NSString* functionName, NSString* fileName, NSInteger line, NSString* description)
{
    device::tracef(device::TraceKind::Detail, "*** Assertion failure in %s(), %s:%ld", functionName ? functionName->UTF8String() : "(null)",
        fileName ? fileName->UTF8String() : "(null)", static_cast<long>(line));
    raiseFailure(description);
}
