// The object runtime and method hooking, as the modules rely on them.
#include "foundation/NSException.h"
#include "runtime/ClassBuilder.h"
#include "runtime/substrate.h"

#include <gtest/gtest.h>

namespace {

class Animal : public NSObject {
    OBJC_CLASS(Animal)
public:
    NSInteger legs() const { return m_legs; }
    void setLegs(NSInteger legs) { m_legs = legs; }
    BOOL canSwimInMode(NSInteger mode) const { return mode == 1; }
    Ref<NSString> sound() const { return NSString::create("..."); }
    static NSInteger kingdom() { return 7; }

    RefPtr<NSString> m_name = NSString::create("rex");
    NSInteger m_legs = 4;
};

class Dog : public Animal {
    OBJC_CLASS(Dog)
public:
    Ref<NSString> bark() const { return NSString::create("woof"); }
};

class Cat : public Animal {
    OBJC_CLASS(Cat)
};

Class Animal::staticClass()
{
    static Class cls = ClassBuilder<Animal>("TestAnimal", &OBJC_CLASS_NSObject)
                           .method<&Animal::legs>("legs")
                           .method<&Animal::setLegs>("setLegs:")
                           .method<&Animal::canSwimInMode>("canSwimInMode:")
                           .method<&Animal::sound>("sound")
                           .classMethod<&Animal::kingdom>("kingdom")
                           .ivar<&Animal::m_name>("_name")
                           .build();
    return cls;
}

Class Dog::staticClass()
{
    static Class cls = ClassBuilder<Dog>("TestDog", Animal::staticClass()).method<&Dog::bark>("bark").build();
    return cls;
}

Class Cat::staticClass()
{
    static Class cls = ClassBuilder<Cat>("TestCat", Animal::staticClass()).build();
    return cls;
}

// Another image's class that took an existing class's name.
class Twin : public NSObject {
    OBJC_CLASS(Twin)
public:
    NSInteger legs() const { return 2; }
};

Class Twin::staticClass()
{
    static Class cls = ClassBuilder<Twin>("TestAnimal", &OBJC_CLASS_NSObject).method<&Twin::legs>("legs").build();
    return cls;
}

std::string reasonOf(const std::function<void()>& body)
{
    AutoreleasePool pool; // the exception is autoreleased
    try {
        body();
    } catch (NSException* exception) {
        return exception->reason()->string();
    }
    return "(no exception)";
}

// A class of its own per test, so hooks never leak between tests.
Class freshSubclass(Class superclass)
{
    static int counter = 0;
    std::string name = "TestFresh" + std::to_string(++counter);
    Class cls = objc_allocateClassPair(superclass, name.c_str(), nullptr);
    objc_registerClassPair(cls);
    return cls;
}

// The test methods answer an NSInteger: "q@:" on 64-bit builds, "i@:" on
// 32-bit ones.
const std::string kIntegerResult = methodTypeEncoding<NSInteger>();

NSInteger sixLegs(id, SEL) { return 6; }
NSInteger eightLegs(id, SEL) { return 8; }

} // namespace

TEST(Runtime, SendsReachMethodsByClassChainAndClassObjectsAnswerClassMethods)
{
    AutoreleasePool pool;
    auto dog = adoptObject(new Dog);
    EXPECT_EQ(objc_msgSend<NSInteger>(dog, "legs"_sel), 4);
    objc_msgSend<void>(dog, "setLegs:"_sel, NSInteger(3));
    EXPECT_EQ(dog->legs(), 3);
    EXPECT_TRUE(objc_msgSend<BOOL>(dog, "canSwimInMode:"_sel, NSInteger(1)));
    EXPECT_EQ(objc_msgSend<NSString*>(dog, "bark"_sel)->string(), "woof");
    EXPECT_EQ(objc_msgSend<NSInteger>(Dog::staticClass(), "kingdom"_sel), 7);
    EXPECT_EQ(objc_getClass("TestDog"), Dog::staticClass());
    EXPECT_EQ(NSClassFromString("TestDog"_ns), Dog::staticClass());
    EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
    EXPECT_TRUE(objc_msgSend<BOOL>(dog, "respondsToSelector:"_sel, "bark"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL>(adoptObject(new Cat).ptr(), "respondsToSelector:"_sel, "bark"_sel));
    EXPECT_TRUE(objc_msgSend<BOOL>(dog, "isKindOfClass:"_sel, Animal::staticClass()));

    // Instances made through the runtime are the C++ type of their class.
    id made = objc_msgSend<id>(Dog::staticClass(), "new"_sel);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(object_getClass(made), Dog::staticClass());
    EXPECT_EQ(static_cast<Dog*>(made)->legs(), 4);
    made->release();
}

TEST(Runtime, ANameInUseIsNotTakenTwice)
{
    AutoreleasePool pool;
    Class animal = Animal::staticClass();
    EXPECT_EQ(objc_allocateClassPair(&OBJC_CLASS_NSObject, "TestAnimal", nullptr), nullptr);
    EXPECT_EQ(objc_allocateClassPair(&OBJC_CLASS_NSObject, nullptr, nullptr), nullptr);
    objc_registerClassPair(nullptr);

    // A C++ class registered under the taken name gets a class of its own,
    // which the class table leaves to the first.
    Class twin = Twin::staticClass();
    ASSERT_NE(twin, nullptr);
    EXPECT_NE(twin, animal);
    EXPECT_STREQ(class_getName(twin), "TestAnimal");
    EXPECT_EQ(objc_getClass("TestAnimal"), animal);
    id made = objc_msgSend<id>(twin, "new"_sel);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(object_getClass(made), twin);
    EXPECT_EQ(objc_msgSend<NSInteger>(made, "legs"_sel), 2);
    made->release();
    EXPECT_EQ(objc_msgSend<NSInteger>(adoptObject(new Animal).ptr(), "legs"_sel), 4);
}

TEST(Runtime, MessagesToNilReturnZero)
{
    id nothing = nullptr;
    EXPECT_EQ(objc_msgSend<NSInteger>(nothing, "legs"_sel), 0);
    EXPECT_EQ(objc_msgSend<id>(nothing, "bark"_sel), nullptr);
    EXPECT_FALSE(objc_msgSend<BOOL>(nothing, "anything"_sel));
    EXPECT_EQ(objc_msgSend<double>(nothing, "anything"_sel), 0.0);
    objc_msgSend<void>(nothing, "setLegs:"_sel, NSInteger(5));
}

TEST(Runtime, UnansweredMessagesAndWrongSignaturesRaise)
{
    auto cat = adoptObject(new Cat);
    std::string reason = reasonOf([&] { objc_msgSend<id>(cat, "bark"_sel); });
    std::string_view prefix = "-[TestCat bark]: unrecognized selector sent to instance 0x";
    EXPECT_TRUE(reason.starts_with(prefix) && reason.size() > prefix.size()
        && reason.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos)
        << reason;

    reason = reasonOf([&] { objc_msgSend<id>(Cat::staticClass(), "bark"_sel); });
    EXPECT_TRUE(reason.starts_with("+[TestCat bark]: unrecognized selector sent to class 0x")) << reason;

    // A double where the method takes an NSInteger would read garbage on the
    // device, and so would a 64-bit integer on a 32-bit one; here the send
    // is refused before the call.
    reason = reasonOf([&] { objc_msgSend<BOOL>(cat, "canSwimInMode:"_sel, 1.0); });
    EXPECT_EQ(reason, "-[TestCat canSwimInMode:]: message sent as \"" + (methodTypeEncoding<BOOL, double>()) + "\" to a method of type \"" + (methodTypeEncoding<BOOL, NSInteger>()) + "\"");
    if (!PLATFORM_LP64) {
        reason = reasonOf([&] { objc_msgSend<BOOL>(cat, "canSwimInMode:"_sel, 1LL); });
        EXPECT_EQ(reason, R"(-[TestCat canSwimInMode:]: message sent as "c@:q" to a method of type "c@:i")");
    }
    reason = reasonOf([&] { objc_msgSend<void>(cat, "legs"_sel); });
    EXPECT_EQ(reason, "-[TestCat legs]: message sent as \"v@:\" to a method of type \"" + kIntegerResult + "\"");
    // The right signature still works afterwards.
    EXPECT_TRUE(objc_msgSend<BOOL>(cat, "canSwimInMode:"_sel, NSInteger(1)));
}

TEST(Runtime, AddMethodKeepsAnExistingMethodButOverridesAnInheritedOne)
{
    Class cls = freshSubclass(Animal::staticClass());
    EXPECT_TRUE(class_addMethod(cls, "legs"_sel, imp_cast(sixLegs), kIntegerResult.c_str()));
    EXPECT_FALSE(class_addMethod(cls, "legs"_sel, imp_cast(eightLegs), kIntegerResult.c_str()));
    id object = class_createInstance(cls);
    EXPECT_EQ(objc_msgSend<NSInteger>(object, "legs"_sel), 6);
    object->release();
    // The superclass keeps its own method.
    EXPECT_EQ(objc_msgSend<NSInteger>(adoptObject(new Animal).ptr(), "legs"_sel), 4);
    EXPECT_FALSE(class_addMethod(nullptr, "legs"_sel, imp_cast(sixLegs), kIntegerResult.c_str()));
}

namespace {
IMP g_previousLegs;
IMP g_previousLegsOuter;
NSInteger doubledLegs(id self, SEL cmd) { return 2 * callIMP<NSInteger>(g_previousLegs, self, cmd); }
NSInteger plusOneLegs(id self, SEL cmd) { return 1 + callIMP<NSInteger>(g_previousLegsOuter, self, cmd); }
}

TEST(Runtime, HooksChainAndPreviousBehavesAsBefore)
{
    Class cls = freshSubclass(Animal::staticClass());
    class_addMethod(cls, "legs"_sel, imp_cast(sixLegs), kIntegerResult.c_str());
    id object = class_createInstance(cls);

    MSHookMessageEx(cls, "legs"_sel, imp_cast(doubledLegs), &g_previousLegs);
    EXPECT_EQ(callIMP<NSInteger>(g_previousLegs, object, "legs"_sel), 6);
    EXPECT_EQ(objc_msgSend<NSInteger>(object, "legs"_sel), 12);

    MSHookMessageEx(cls, "legs"_sel, imp_cast(plusOneLegs), &g_previousLegsOuter);
    EXPECT_EQ(objc_msgSend<NSInteger>(object, "legs"_sel), 13);
    object->release();
}

TEST(Runtime, MethodHandlesNameTheClassThatHasTheMethodAndFollowItsChanges)
{
    Class parent = freshSubclass(Animal::staticClass());
    Class child = freshSubclass(parent);
    class_addMethod(parent, "legs"_sel, imp_cast(sixLegs), kIntegerResult.c_str());
    Method method = class_getInstanceMethod(child, "legs"_sel);
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method, class_getInstanceMethod(parent, "legs"_sel)); // the parent's, inherited
    EXPECT_EQ(method_getName(method), "legs"_sel);
    EXPECT_STREQ(method_getTypeEncoding(method), kIntegerResult.c_str());
    EXPECT_EQ(method_getImplementation(method), imp_cast(sixLegs));
    EXPECT_EQ(class_getInstanceMethod(child, "bark"_sel), nullptr);

    // A hook shows through the handle; a method of the child's own is another.
    MSHookMessageEx(parent, "legs"_sel, imp_cast(doubledLegs), &g_previousLegs);
    EXPECT_EQ(method_getImplementation(method), imp_cast(doubledLegs));
    class_addMethod(child, "legs"_sel, imp_cast(eightLegs), kIntegerResult.c_str());
    EXPECT_NE(class_getInstanceMethod(child, "legs"_sel), method);
    EXPECT_EQ(method_getImplementation(class_getInstanceMethod(child, "legs"_sel)), imp_cast(eightLegs));

    // A removed method leaves a handle that finds nothing.
    objc_detail::removeMethod(parent, "legs"_sel);
    EXPECT_EQ(method_getTypeEncoding(method), nullptr);
    EXPECT_EQ(method_getImplementation(method), nullptr);
}

TEST(Runtime, HookingAnInheritedMethodTouchesOnlyThatClass)
{
    Class parent = freshSubclass(Animal::staticClass());
    Class child = freshSubclass(parent);
    Class sibling = freshSubclass(parent);
    id childObject = class_createInstance(child);
    id siblingObject = class_createInstance(sibling);
    id parentObject = class_createInstance(parent);

    MSHookMessageEx(child, "legs"_sel, imp_cast(doubledLegs), &g_previousLegs);
    EXPECT_EQ(objc_msgSend<NSInteger>(childObject, "legs"_sel), 8);
    EXPECT_EQ(objc_msgSend<NSInteger>(siblingObject, "legs"_sel), 4);
    EXPECT_EQ(objc_msgSend<NSInteger>(parentObject, "legs"_sel), 4);
    EXPECT_EQ(class_getMethodImplementation(Animal::staticClass(), "legs"_sel), g_previousLegs);

    for (id object : { childObject, siblingObject, parentObject })
        object->release();
}

TEST(Runtime, AWarmSubclassCacheSeesALaterHookOnItsSuperclass)
{
    Class parent = freshSubclass(Animal::staticClass());
    class_addMethod(parent, "legs"_sel, imp_cast(sixLegs), kIntegerResult.c_str());
    Class child = freshSubclass(parent);
    id childObject = class_createInstance(child);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(objc_msgSend<NSInteger>(childObject, "legs"_sel), 6);

    MSHookMessageEx(parent, "legs"_sel, imp_cast(doubledLegs), &g_previousLegs);
    EXPECT_EQ(objc_msgSend<NSInteger>(childObject, "legs"_sel), 12);

    // A method added to the subclass later wins over the hooked one.
    class_addMethod(child, "legs"_sel, imp_cast(eightLegs), kIntegerResult.c_str());
    EXPECT_EQ(objc_msgSend<NSInteger>(childObject, "legs"_sel), 8);
    childObject->release();
}

TEST(Runtime, HookingAMissingClassOrSelectorChangesNothing)
{
    IMP untouched = imp_cast(sixLegs);
    size_t hooks = MSHookCount();
    MSHookMessageEx(nullptr, "legs"_sel, imp_cast(doubledLegs), &untouched);
    MSHookMessageEx(Animal::staticClass(), "noSuchSelector"_sel, imp_cast(doubledLegs), &untouched);
    EXPECT_EQ(untouched, imp_cast(sixLegs));
    EXPECT_EQ(MSHookCount(), hooks);
    EXPECT_EQ(objc_msgSend<NSInteger>(adoptObject(new Animal).ptr(), "legs"_sel), 4);
}

TEST(Runtime, InstanceVariablesAreFoundByNameAndOffset)
{
    auto dog = adoptObject(new Dog);
    Ivar ivar = class_getInstanceVariable(object_getClass(dog), "_name");
    ASSERT_NE(ivar, nullptr);
    EXPECT_STREQ(ivar_getName(ivar), "_name");
    id stored = *reinterpret_cast<id*>(reinterpret_cast<char*>(dog.ptr()) + ivar_getOffset(ivar));
    EXPECT_EQ(stored, dog->m_name.get());
    EXPECT_EQ(object_getIvar(dog, ivar), dog->m_name.get());
    EXPECT_EQ(class_getInstanceVariable(object_getClass(dog), "_missing"), nullptr);
}

namespace {
IMP g_previousDealloc;
int g_deallocs;
void countingDealloc(id self, SEL cmd)
{
    ++g_deallocs;
    callIMP<void>(g_previousDealloc, self, cmd);
}
}

TEST(Runtime, DeallocGoesThroughTheRuntimeAndAutoreleasePoolsDrain)
{
    Class cls = freshSubclass(Animal::staticClass());
    MSHookMessageEx(cls, "dealloc"_sel, imp_cast(countingDealloc), &g_previousDealloc);
    g_deallocs = 0;
    size_t before = class_getInstanceCount(cls);
    {
        AutoreleasePool pool;
        id object = class_createInstance(cls);
        EXPECT_EQ(class_getInstanceCount(cls), before + 1);
        object->autorelease();
        EXPECT_EQ(g_deallocs, 0);
    }
    EXPECT_EQ(g_deallocs, 1);
    EXPECT_EQ(class_getInstanceCount(cls), before);
}

TEST(Runtime, ARaisedExceptionOutlivesThePoolsItUnwindsThrough)
{
    Class exceptionClass = NSException::staticClass();
    size_t before = class_getInstanceCount(exceptionClass);
    auto object = NSString::create("x");

    // Pools between the raise and the handler drain while the stack
    // unwinds; the handler still reads the exception, also after a rethrow
    // through another pool.
    try {
        try {
            AutoreleasePool inner;
            objc_msgSend<void>(object.ptr(), "noSuchSelector"_sel);
        } catch (NSException*) {
            AutoreleasePool middle;
            throw;
        }
    } catch (NSException* exception) {
        EXPECT_EQ(class_getInstanceCount(exceptionClass), before + 1);
        EXPECT_TRUE(exception->reason()->string().starts_with("-[NSString noSuchSelector]")) << exception->reason()->string();
    }
    // With no pool left around it, it is gone once the handler is done.
    EXPECT_EQ(class_getInstanceCount(exceptionClass), before);

    // A pool around the handler keeps it until that pool drains, as the
    // platform's raised exceptions are autoreleased; so does a captured
    // exception_ptr.
    std::exception_ptr captured;
    {
        AutoreleasePool outer;
        NSException* kept = nullptr;
        try {
            AutoreleasePool inner;
            NSException::raise(NSGenericException, "kept %d", 1);
        } catch (NSException* exception) {
            kept = exception;
            captured = std::current_exception();
        }
        EXPECT_EQ(kept->reason()->string(), "kept 1");
    }
    EXPECT_EQ(class_getInstanceCount(exceptionClass), before + 1);
    try {
        std::rethrow_exception(captured);
    } catch (NSException* exception) {
        EXPECT_EQ(exception->reason()->string(), "kept 1");
    }
    captured = nullptr;
    EXPECT_EQ(class_getInstanceCount(exceptionClass), before);
}

TEST(Runtime, SelectorsAndEncodingsAreInterned)
{
    EXPECT_EQ(sel_registerName("setHidden:"), "setHidden:"_sel);
    EXPECT_STREQ(sel_getName("setHidden:"_sel), "setHidden:");
    EXPECT_EQ(objc_internTypeEncoding("v@:@"), objc_internTypeEncoding(std::string("v@:@").c_str()));
    EXPECT_NE(objc_internTypeEncoding("B@:q"), objc_internTypeEncoding("c@:i"));
    EXPECT_EQ((methodTypeEncoding<bool, long long>()), "B@:q");
    EXPECT_EQ((methodTypeEncoding<signed char, int>()), "c@:i");
    // The platform's own types follow the width of the build.
    EXPECT_EQ((methodTypeEncoding<BOOL, NSInteger, NSUInteger>()), PLATFORM_LP64 ? "B@:qQ" : "c@:iI");
    EXPECT_EQ(sizeof(NSInteger), sizeof(void*));
    EXPECT_EQ((methodTypeEncoding<void, NSString*>()), "v@:@");
    EXPECT_TRUE(sel_returnsRetained("initWithFrame:"));
    EXPECT_TRUE(sel_returnsRetained("new"));
    EXPECT_FALSE(sel_returnsRetained("initialize"));
    EXPECT_FALSE(sel_returnsRetained("newsletter"));
}
