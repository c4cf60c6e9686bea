/* The same call through the machine's GNU Objective-C runtime, from C. */
#include <objc/message.h>
#include <objc/runtime.h>

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
