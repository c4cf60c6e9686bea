#include "foundation/NSException.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

NSString* const NSInvalidArgumentException = "NSInvalidArgumentException"_ns;
NSString* const NSGenericException = "NSGenericException"_ns;
NSString* const NSInternalInconsistencyException = "NSInternalInconsistencyException"_ns;
NSString* const NSRangeException = "NSRangeException"_ns;

namespace {

id exceptionName(id self, SEL) { return static_cast<NSException*>(self)->name(); }
id exceptionReason(id self, SEL) { return static_cast<NSException*>(self)->reason(); }
void exceptionRaise(id self, SEL) { static_cast<NSException*>(self)->raise(); }

// Reports an uncaught platform exception the way the device does, then aborts.
[[noreturn]] void terminateHandler()
{
    if (auto current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (NSException* exception) {
            std::fprintf(stderr, "%s\n", NSUncaughtExceptionReport(exception).c_str());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "*** Terminating app due to uncaught C++ exception: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "*** Terminating app due to an uncaught exception\n");
        }
    }
    std::fflush(stderr);
    std::abort();
}

// Runs when the C++ runtime destroys a thrown exception: after the last
// handler that caught it has finished (or when it is dropped unhandled).
void releaseThrownException(void* thrown)
{
    (*static_cast<NSException**>(thrown))->release();
}

[[gnu::constructor(102)]] void installTerminateHandler()
{
    std::set_terminate(terminateHandler);
}

} // namespace

Class NSException::staticClass()
{
    static Class cls = ClassBuilder<NSException>("NSException", &OBJC_CLASS_NSObject)
                           .method("name", exceptionName)
                           .method("reason", exceptionReason)
                           .method("raise", exceptionRaise)
                           .build();
    return cls;
}

NSException::~NSException() = default;

Ref<NSException> NSException::create(NSString* name, NSString* reason)
{
    auto exception = adoptObject(new NSException);
    exception->m_name = name;
    exception->m_reason = reason;
    return exception;
}

void NSException::raise(NSString* name, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    auto reason = NSString::stringWithFormatV(format, arguments);
    va_end(arguments);
    create(name, reason.ptr())->raise();
}

void NSException::raise()
{
    // As on the device, a raised exception is autoreleased, so a handler may
    // use it until the pool around it drains; and the throw itself holds a
    // reference until the handler is done, because pools between the throw
    // and the handler drain while the stack unwinds. The C++ exception object
    // is the pointer, with a destructor that drops the throw's reference.
    retain();
    autorelease();
    retain();
    void* thrown = __cxxabiv1::__cxa_allocate_exception(sizeof(NSException*));
    *static_cast<NSException**>(thrown) = this;
    __cxxabiv1::__cxa_throw(thrown, const_cast<std::type_info*>(&typeid(NSException*)), releaseThrownException);
}

std::string NSUncaughtExceptionReport(NSException* exception)
{
    std::string report = "*** Terminating app due to uncaught exception '";
    report += exception && exception->name() ? exception->name()->view() : "";
    report += "', reason: '";
    report += exception && exception->reason() ? exception->reason()->view() : "";
    report += "'";
    return report;
}

namespace objc_detail {

void raise(const char* name, const std::string& reason)
{
    NSException::create(NSString::create(name).ptr(), NSString::create(reason).ptr())->raise();
}

} // namespace objc_detail
