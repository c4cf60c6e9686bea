// The cost of a message send: this runtime's cached typed send, a hooked
// send, the GNU Objective-C runtime's lookup and call, and a C++ virtual call.
#include "bench/VirtualTarget.h"
#include "runtime/ClassBuilder.h"
#include "runtime/substrate.h"

#include <benchmark/benchmark.h>

extern "C" {
void* gnu_objc_make_object(void);
long gnu_objc_send(void* object);
}

namespace {

class Counter : public NSObject {
    OBJC_CLASS(Counter)
public:
    NSInteger answer() const { return 42; }
};

Class Counter::staticClass()
{
    static Class cls = ClassBuilder<Counter>("BenchCounter", &OBJC_CLASS_NSObject).method<&Counter::answer>("answer").build();
    return cls;
}

class Hooked : public Counter {
    OBJC_CLASS(Hooked)
};

Class Hooked::staticClass()
{
    static Class cls = ClassBuilder<Hooked>("BenchHooked", Counter::staticClass()).build();
    return cls;
}

IMP g_previousAnswer;
NSInteger hookedAnswer(id self, SEL cmd)
{
    return callIMP<NSInteger>(g_previousAnswer, self, cmd) + 1;
}

void CachedSend(benchmark::State& state)
{
    auto object = adoptObject(new Counter);
    id receiver = object.ptr();
    for (auto _ : state) {
        benchmark::DoNotOptimize(receiver);
        benchmark::DoNotOptimize(objc_msgSend<NSInteger>(receiver, "answer"_sel));
    }
}
BENCHMARK(CachedSend);

bool hookAnswer()
{
    MSHookMessageEx(Hooked::staticClass(), "answer"_sel, imp_cast(hookedAnswer), &g_previousAnswer);
    return true;
}

void HookedSend(benchmark::State& state)
{
    static bool hooked = hookAnswer();
    benchmark::DoNotOptimize(hooked);
    auto object = adoptObject(new Hooked);
    id receiver = object.ptr();
    for (auto _ : state) {
        benchmark::DoNotOptimize(receiver);
        benchmark::DoNotOptimize(objc_msgSend<NSInteger>(receiver, "answer"_sel));
    }
}
BENCHMARK(HookedSend);

void GnuObjCSend(benchmark::State& state)
{
    static void* object = gnu_objc_make_object();
    for (auto _ : state) {
        benchmark::DoNotOptimize(object);
        benchmark::DoNotOptimize(gnu_objc_send(object));
    }
}
BENCHMARK(GnuObjCSend);

void VirtualCall(benchmark::State& state)
{
    const VirtualBase* base = makeVirtualTarget();
    for (auto _ : state) {
        benchmark::DoNotOptimize(base);
        benchmark::DoNotOptimize(base->answer());
    }
}
BENCHMARK(VirtualCall);

} // namespace

BENCHMARK_MAIN();
