// The singleton that stands for nil where an object is required (in
// collections, and as a missing value in a key-value change).
#pragma once

#include "foundation/NSString.h"

class PLATFORM_EXPORT NSNull : public NSObject {
    OBJC_CLASS(NSNull)
public:
    static NSNull* null();
    Ref<NSString> description() const;
    ~NSNull() override;

private:
    NSNull() = default;
};
