// The cost of a message send: this runtime's cached typed send, a hooked
// send, the GNU Objective-C runtime's lookup and call, and a C++ virtual call;
// then sends over many classes and selectors, first sends, and hooking, each
// measured the same way in both runtimes on equal class hierarchies.
#include "bench/VirtualTarget.h"
#include "runtime/ClassBuilder.h"
#include "runtime/substrate.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <malloc.h>
#include <map>
#include <random>
#include <string>
#include <vector>

extern "C" {
void* gnu_objc_make_object(void);
long gnu_objc_send(void* object);
void* gnu_objc_class(void* superclass, const char* name);
void gnu_objc_add_method(void* cls, void* sel, int implementation);
void gnu_objc_register_class(void* cls);
void* gnu_objc_instance(void* cls);
void* gnu_objc_selector(const char* name);
void gnu_objc_replace_method(void* cls, void* sel, int implementation);
long gnu_objc_send_batch(void* const* objects, void* const* selectors, size_t count);
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

// MARK: Both runtimes behind one interface

// Methods are implementations told apart by their results.
template <size_t N>
NSInteger implementation(id, SEL)
{
    return N;
}

template <size_t... N>
constexpr std::array<IMP, sizeof...(N)> makeImplementations(std::index_sequence<N...>)
{
    return { imp_cast(&implementation<N>)... };
}
const auto kImplementations = makeImplementations(std::make_index_sequence<16>());

[[gnu::noinline]] long sendBatch(void* const* objects, void* const* selectors, size_t count)
{
    long sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += objc_msgSend<NSInteger>(static_cast<id>(objects[i]), static_cast<SEL>(selectors[i]));
    return sum;
}

struct Runtime {
    void* (*makeClass)(void* superclass, const char* name);
    void (*addMethod)(void* cls, void* sel, int implementation);
    void (*registerClass)(void* cls);
    void* (*instance)(void* cls);
    void* (*selector)(const char* name);
    void (*hook)(void* cls, void* sel, int implementation);
    long (*sendBatch)(void* const* objects, void* const* selectors, size_t count);
    void* root;
    size_t classBytes; // dispatch memory inside each class (and metaclass) object
};

const Runtime& thisRuntime()
{
    static const Runtime runtime {
        [](void* superclass, const char* name) -> void* { return objc_allocateClassPair(static_cast<Class>(superclass), name, nullptr); },
        [](void* cls, void* sel, int implementation) {
            class_addMethod(static_cast<Class>(cls), static_cast<SEL>(sel), kImplementations[implementation & 15], "q@:");
        },
        [](void* cls) { objc_registerClassPair(static_cast<Class>(cls)); },
        [](void* cls) -> void* { return class_createInstance(static_cast<Class>(cls)); },
        [](const char* name) -> void* { return const_cast<objc_selector*>(sel_registerName(name)); },
        [](void* cls, void* sel, int implementation) {
            IMP previous;
            MSHookMessageEx(static_cast<Class>(cls), static_cast<SEL>(sel), kImplementations[implementation & 15], &previous);
        },
        sendBatch,
        &OBJC_CLASS_NSObject,
        2 * sizeof(objc_class::cache),
    };
    return runtime;
}

const Runtime& gnuRuntime()
{
    static const Runtime runtime = [] {
        void* root = gnu_objc_class(nullptr, "BenchGnuRoot");
        gnu_objc_register_class(root);
        return Runtime { gnu_objc_class, gnu_objc_add_method, gnu_objc_register_class, gnu_objc_instance, gnu_objc_selector,
            gnu_objc_replace_method, gnu_objc_send_batch, root, 0 };
    }();
    return runtime;
}

void* makeClass(const Runtime& runtime, void* superclass, const std::string& name, std::initializer_list<std::pair<void*, int>> methods)
{
    void* cls = runtime.makeClass(superclass, name.c_str());
    for (auto [sel, implementation] : methods)
        runtime.addMethod(cls, sel, implementation);
    runtime.registerClass(cls);
    return cls;
}

// Sends in batches, as (object, selector) pairs.
struct Sends {
    std::vector<void*> objects;
    std::vector<void*> selectors;

    void add(void* object, void* sel)
    {
        objects.push_back(object);
        selectors.push_back(sel);
    }
    size_t size() const { return objects.size(); }
    long sendAll(const Runtime& runtime) const { return runtime.sendBatch(objects.data(), selectors.data(), objects.size()); }
};

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// Reports the time of one send, for benchmarks whose iterations send many.
void reportPerSend(benchmark::State& state, size_t sendsPerIteration)
{
    state.counters["per_send"] = benchmark::Counter(static_cast<double>(sendsPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

constexpr size_t kBatch = 4096;

// Google Benchmark runs a benchmark function several times; classes are made
// once per runtime and argument.
template <typename Setup>
const auto& once(const Runtime& runtime, int argument, Setup setup)
{
    using Result = decltype(setup());
    static std::map<std::pair<const Runtime*, int>, Result> made;
    auto key = std::make_pair(&runtime, argument);
    auto it = made.find(key);
    if (it == made.end())
        it = made.emplace(key, setup()).first;
    return it->second;
}

// MARK: Hooking

// Hooks a method of a class that N subclasses inherit, every class having
// been sent that message and two others, then sends all three to every
// class again: the hook and the refills it causes. First of the benchmarks
// that make classes, as GNU libobjc's hooking visits every class there is.
void hookInstall(benchmark::State& state, const Runtime& runtime, const char* prefix)
{
    int classes = static_cast<int>(state.range(0));
    void* hooked = runtime.selector("hooked");
    const auto& [base, sends] = once(runtime, classes, [&] {
        std::string name = prefix + std::to_string(classes);
        void* inherited = runtime.selector("inherited");
        void* own = runtime.selector("own");
        void* base = makeClass(runtime, runtime.root, name, { { hooked, 0 }, { inherited, 1 } });
        Sends sends;
        for (int i = 0; i < classes; ++i) {
            void* object = runtime.instance(makeClass(runtime, base, name + "_" + std::to_string(i), { { own, 2 } }));
            sends.add(object, hooked);
            sends.add(object, inherited);
            sends.add(object, own);
        }
        return std::make_pair(base, sends);
    });
    sends.sendAll(runtime);
    int implementation = 0;
    for (auto _ : state) {
        implementation = implementation == 3 ? 4 : 3;
        runtime.hook(base, hooked, implementation);
        benchmark::DoNotOptimize(sends.sendAll(runtime));
    }
}

void HookInstall(benchmark::State& state) { hookInstall(state, thisRuntime(), "BenchHook"); }
void GnuObjCHookInstall(benchmark::State& state) { hookInstall(state, gnuRuntime(), "BenchHook"); }
BENCHMARK(HookInstall)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(GnuObjCHookInstall)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// MARK: A polymorphic call site

// One call site reaching 1, 2, 4 or 8 classes in random order, each class
// with an implementation of its own.
Sends polymorphicSends(const Runtime& runtime, const char* prefix, int classes)
{
    void* sel = runtime.selector("polymorphic");
    std::vector<void*> objects;
    for (int i = 0; i < classes; ++i) {
        void* cls = makeClass(runtime, runtime.root, prefix + std::to_string(classes) + "_" + std::to_string(i), { { sel, i } });
        objects.push_back(runtime.instance(cls));
    }
    std::mt19937 random(classes);
    Sends sends;
    for (size_t i = 0; i < kBatch; ++i)
        sends.add(objects[random() % objects.size()], sel);
    return sends;
}

void polymorphic(benchmark::State& state, const Runtime& runtime, const char* prefix)
{
    int classes = static_cast<int>(state.range(0));
    const Sends& sends = once(runtime, classes, [&] { return polymorphicSends(runtime, prefix, classes); });
    for (auto _ : state)
        benchmark::DoNotOptimize(sends.sendAll(runtime));
    reportPerSend(state, sends.size());
}

void PolymorphicSend(benchmark::State& state) { polymorphic(state, thisRuntime(), "BenchPolymorphic"); }
void GnuObjCPolymorphicSend(benchmark::State& state) { polymorphic(state, gnuRuntime(), "BenchPolymorphic"); }
BENCHMARK(PolymorphicSend)->Arg(1)->Arg(2)->Arg(4)->Arg(8);
BENCHMARK(GnuObjCPolymorphicSend)->Arg(1)->Arg(2)->Arg(4)->Arg(8);

// MARK: A program of 1000 classes and 2000 selectors

// 100 chains of 10 classes, each class a subclass of the one before it and
// defining two methods of its own, so that a class answers 2 to 20 of the
// 2000 selectors (its own and its superclasses'), as classes of a real
// program answer a few of its many selectors.
constexpr int kChains = 100;
constexpr int kDepth = 10;
constexpr int kWideSelectors = 2 * kChains * kDepth;

struct Program {
    std::vector<void*> objects;               // one per class
    std::vector<std::vector<void*>> answered; // the selectors each class answers
};

std::vector<void*> wideSelectors(const Runtime& runtime)
{
    std::vector<void*> selectors;
    for (int i = 0; i < kWideSelectors; ++i)
        selectors.push_back(runtime.selector(("wide" + std::to_string(i)).c_str()));
    return selectors;
}

Program buildProgram(const Runtime& runtime, const std::vector<void*>& selectors, const std::string& prefix, int chains)
{
    Program program;
    for (int chain = 0; chain < chains; ++chain) {
        void* superclass = runtime.root;
        std::vector<void*> inherited;
        for (int depth = 0; depth < kDepth; ++depth) {
            int first = 2 * ((chain % kChains) * kDepth + depth);
            void* cls = makeClass(runtime, superclass, prefix + std::to_string(chain) + "_" + std::to_string(depth),
                { { selectors[first], first }, { selectors[first + 1], first + 1 } });
            inherited.push_back(selectors[first]);
            inherited.push_back(selectors[first + 1]);
            program.objects.push_back(runtime.instance(cls));
            program.answered.push_back(inherited);
            superclass = cls;
        }
    }
    return program;
}

// Every (class, selector) pair the program answers, in random order.
Sends everyPair(const Program& program, unsigned seed)
{
    Sends sends;
    for (size_t i = 0; i < program.objects.size(); ++i) {
        for (void* sel : program.answered[i])
            sends.add(program.objects[i], sel);
    }
    std::vector<size_t> order(sends.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    Sends shuffled;
    for (size_t i : order)
        shuffled.add(sends.objects[i], sends.selectors[i]);
    return shuffled;
}

void randomSends(benchmark::State& state, const Runtime& runtime, const char* prefix)
{
    const auto& [program, tableBytes] = once(runtime, 0, [&] {
        Program program = buildProgram(runtime, wideSelectors(runtime), prefix, kChains);
        // Fill the dispatch tables: every pair once. Their memory is what that
        // allocates, and what the classes hold for dispatch themselves.
        size_t before = heapInUse();
        everyPair(program, 1).sendAll(runtime);
        size_t bytes = heapInUse() - before + program.objects.size() * runtime.classBytes;
        return std::make_pair(program, bytes);
    });
    std::mt19937 random(7);
    Sends sends;
    for (size_t i = 0; i < kBatch; ++i) {
        size_t cls = random() % program.objects.size();
        const auto& answered = program.answered[cls];
        sends.add(program.objects[cls], answered[random() % answered.size()]);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(sends.sendAll(runtime));
    reportPerSend(state, sends.size());
    state.counters["table_KiB"] = static_cast<double>(tableBytes) / 1024;
}

void RandomSends(benchmark::State& state) { randomSends(state, thisRuntime(), "BenchWide"); }
void GnuObjCRandomSends(benchmark::State& state) { randomSends(state, gnuRuntime(), "BenchWide"); }
BENCHMARK(RandomSends);
BENCHMARK(GnuObjCRandomSends);

// MARK: First sends

// The first send of every (class, selector) pair of 10 new chains (100
// classes, 1100 pairs): each fills a cache entry (GNU: installs the class's
// dispatch table on its first message).
void firstSends(benchmark::State& state, const Runtime& runtime, const char* prefix)
{
    const auto& selectors = once(runtime, 0, [&] { return wideSelectors(runtime); });
    static int generation = 0;
    size_t pairs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Program program = buildProgram(runtime, selectors, prefix + std::to_string(++generation) + "_", 10);
        Sends sends = everyPair(program, generation);
        pairs = sends.size();
        state.ResumeTiming();
        benchmark::DoNotOptimize(sends.sendAll(runtime));
    }
    reportPerSend(state, pairs);
}

void FirstSend(benchmark::State& state) { firstSends(state, thisRuntime(), "BenchFirst"); }
void GnuObjCFirstSend(benchmark::State& state) { firstSends(state, gnuRuntime(), "BenchFirst"); }
BENCHMARK(FirstSend)->Iterations(20);
BENCHMARK(GnuObjCFirstSend)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
