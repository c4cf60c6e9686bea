// A C++ virtual call the compiler cannot see through (defined in another file).
#pragma once

struct VirtualBase {
    virtual ~VirtualBase() = default;
    virtual long answer() const = 0;
};

VirtualBase* makeVirtualTarget();
