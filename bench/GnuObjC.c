/* The same work through the machine's GNU Objective-C runtime, from C: the
   benchmarks build equal class hierarchies in both runtimes and send the same
   messages, each send being objc_msg_lookup and a call of what it returns. */
#include <objc/message.h>
#include <objc/runtime.h>

#include <stddef.h>

static long answer(id self, SEL cmd)
{
    (void)self;
    (void)cmd;
    return 42;
}

static SEL g_answer;

void* gnu_objc_make_object(void)
{
    Class cls = objc_allocateClassPair(Nil, "LumoraBenchRoot", 0);
    g_answer = sel_registerName("answer");
    class_addMethod(cls, g_answer, (IMP)(void (*)(void))answer, "q@:");
    objc_registerClassPair(cls);
    return class_createInstance(cls, 0);
}

long gnu_objc_send(void* object)
{
    IMP imp = objc_msg_lookup((id)object, g_answer);
    return ((long (*)(id, SEL))(void (*)(void))imp)((id)object, g_answer);
}

/* Method implementations, told apart by their results. */
#define IMPLEMENTATION(n)                           \
    static long implementation##n(id self, SEL cmd) \
    {                                               \
        (void)self;                                 \
        (void)cmd;                                  \
        return n;                                   \
    }
IMPLEMENTATION(0)
IMPLEMENTATION(1)
IMPLEMENTATION(2)
IMPLEMENTATION(3)
IMPLEMENTATION(4)
IMPLEMENTATION(5)
IMPLEMENTATION(6)
IMPLEMENTATION(7)
IMPLEMENTATION(8)
IMPLEMENTATION(9)
IMPLEMENTATION(10)
IMPLEMENTATION(11)
IMPLEMENTATION(12)
IMPLEMENTATION(13)
IMPLEMENTATION(14)
IMPLEMENTATION(15)

static long (*const implementations[16])(id, SEL) = {
    implementation0,
    implementation1,
    implementation2,
    implementation3,
    implementation4,
    implementation5,
    implementation6,
    implementation7,
    implementation8,
    implementation9,
    implementation10,
    implementation11,
    implementation12,
    implementation13,
    implementation14,
    implementation15,
};

static IMP implementationAt(int index)
{
    return (IMP)(void (*)(void))implementations[index & 15];
}

void* gnu_objc_class(void* superclass, const char* name)
{
    return objc_allocateClassPair((Class)superclass, name, 0);
}

void gnu_objc_add_method(void* cls, void* sel, int implementation)
{
    class_addMethod((Class)cls, (SEL)sel, implementationAt(implementation), "q@:");
}

void gnu_objc_register_class(void* cls)
{
    objc_registerClassPair((Class)cls);
}

void* gnu_objc_instance(void* cls)
{
    return class_createInstance((Class)cls, 0);
}

void* gnu_objc_selector(const char* name)
{
    return (void*)sel_registerName(name);
}

void gnu_objc_replace_method(void* cls, void* sel, int implementation)
{
    class_replaceMethod((Class)cls, (SEL)sel, implementationAt(implementation), "q@:");
}

long gnu_objc_send_batch(void* const* objects, void* const* selectors, size_t count)
{
    long sum = 0;
    for (size_t i = 0; i < count; ++i) {
        id object = (id)objects[i];
        SEL sel = (SEL)selectors[i];
        IMP imp = objc_msg_lookup(object, sel);
        sum += ((long (*)(id, SEL))(void (*)(void))imp)(object, sel);
    }
    return sum;
}
