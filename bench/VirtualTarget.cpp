#include "bench/VirtualTarget.h"

namespace {
struct Derived : VirtualBase {
    long answer() const override { return 42; }
};
}

VirtualBase* makeVirtualTarget()
{
    static Derived derived;
    return &derived;
}
