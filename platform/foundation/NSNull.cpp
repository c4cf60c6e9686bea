#include "foundation/NSNull.h"

Class NSNull::staticClass()
{
    static Class cls = ClassBuilder<NSNull>("NSNull", &OBJC_CLASS_NSObject)
                           .classMethod<&NSNull::null>("null")
                           .method<&NSNull::description>("description")
                           .build();
    return cls;
}

NSNull::~NSNull() = default;

NSNull* NSNull::null()
{
    static NSNull* instance = adoptObject(new NSNull).leakRef();
    return instance;
}

Ref<NSString> NSNull::description() const
{
    return NSString::create("<null>");
}
