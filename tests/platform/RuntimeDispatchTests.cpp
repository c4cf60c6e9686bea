// Method caches: what a send reaches after methods change under warm caches,
// caches that grow with what a class is sent, and sends on another thread
// while methods change.
#include "foundation/NSException.h"
#include "runtime/ClassBuilder.h"
#include "runtime/substrate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

Class makeClass(Class superclass)
{
    static int counter = 0;
    std::string name = "TestDispatch" + std::to_string(++counter);
    Class cls = objc_allocateClassPair(superclass, name.c_str(), nullptr);
    objc_registerClassPair(cls);
    return cls;
}

// The test methods answer an NSInteger: "q@:" on 64-bit builds, "i@:" on
// 32-bit ones.
const std::string kIntegerResult = methodTypeEncoding<NSInteger>();

NSInteger six(id, SEL) { return 6; }
NSInteger seven(id, SEL) { return 7; }
NSInteger eight(id, SEL) { return 8; }
NSInteger nine(id, SEL) { return 9; }
double half(id, SEL) { return 0.5; }

// An instance of each class, released at the end of the test.
struct Instances {
    std::vector<id> objects;
    explicit Instances(std::initializer_list<Class> classes)
    {
        for (Class cls : classes)
            objects.push_back(class_createInstance(cls));
    }
    ~Instances()
    {
        for (id object : objects)
            object->release();
    }
    id operator[](size_t i) const { return objects[i]; }
};

NSInteger legs(id object)
{
    return objc_msgSend<NSInteger>(object, "legs"_sel);
}

bool raises(const std::function<void()>& body)
{
    AutoreleasePool pool; // the exception is autoreleased
    try {
        body();
    } catch (NSException*) {
        return true;
    }
    return false;
}

IMP g_previous;
NSInteger tenMore(id self, SEL cmd) { return 10 + callIMP<NSInteger>(g_previous, self, cmd); }

} // namespace

TEST(RuntimeDispatch, AMethodAddedInTheMiddleOfAHierarchyReachesItsWarmSubclassesOnly)
{
    // root (6) has the subclasses middle and sibling; middle has child and
    // overriding (7); child has grandchild.
    Class root = makeClass(&OBJC_CLASS_NSObject);
    class_addMethod(root, "legs"_sel, imp_cast(six), kIntegerResult.c_str());
    Class middle = makeClass(root);
    Class sibling = makeClass(root);
    Class child = makeClass(middle);
    Class overriding = makeClass(middle);
    class_addMethod(overriding, "legs"_sel, imp_cast(seven), kIntegerResult.c_str());
    Class grandchild = makeClass(child);
    Instances objects { root, middle, sibling, child, overriding, grandchild };
    for (id object : objects.objects)
        legs(object);

    ASSERT_TRUE(class_addMethod(middle, "legs"_sel, imp_cast(eight), kIntegerResult.c_str()));
    EXPECT_EQ(legs(objects[0]), 6);
    EXPECT_EQ(legs(objects[1]), 8);
    EXPECT_EQ(legs(objects[2]), 6);
    EXPECT_EQ(legs(objects[3]), 8);
    EXPECT_EQ(legs(objects[4]), 7);
    EXPECT_EQ(legs(objects[5]), 8);

    // Hooking the root now reaches only the classes that still inherit its
    // method; the hook's previous implementation is the root's.
    MSHookMessageEx(root, "legs"_sel, imp_cast(tenMore), &g_previous);
    EXPECT_EQ(legs(objects[0]), 16);
    EXPECT_EQ(legs(objects[2]), 16);
    EXPECT_EQ(legs(objects[3]), 8);
    EXPECT_EQ(legs(objects[4]), 7);
    EXPECT_EQ(legs(objects[5]), 8);

    // Taking the middle's method away again: its subtree falls back to the
    // hooked root, except where a class has its own.
    EXPECT_TRUE(objc_detail::removeMethod(middle, "legs"_sel));
    EXPECT_EQ(legs(objects[1]), 16);
    EXPECT_EQ(legs(objects[5]), 16);
    EXPECT_EQ(legs(objects[4]), 7);
}

TEST(RuntimeDispatch, ReplacingMethodsLeavesAnotherClassWithTheSameSelectorsAlone)
{
    // A category replacing several methods of one class while an unrelated
    // class that answers the same selectors has a warm cache.
    Class replaced = makeClass(&OBJC_CLASS_NSObject);
    Class subclass = makeClass(replaced);
    Class unrelated = makeClass(&OBJC_CLASS_NSObject);
    std::vector<SEL> selectors;
    for (int i = 0; i < 20; ++i) {
        SEL sel = sel_registerName(("categoryMethod" + std::to_string(i)).c_str());
        selectors.push_back(sel);
        class_addMethod(replaced, sel, imp_cast(six), kIntegerResult.c_str());
        class_addMethod(unrelated, sel, imp_cast(seven), kIntegerResult.c_str());
    }
    Instances objects { subclass, unrelated };
    for (SEL sel : selectors) {
        EXPECT_EQ(objc_msgSend<NSInteger>(objects[0], sel), 6);
        EXPECT_EQ(objc_msgSend<NSInteger>(objects[1], sel), 7);
    }

    for (size_t i = 0; i < selectors.size(); i += 2)
        EXPECT_EQ(class_replaceMethod(replaced, selectors[i], imp_cast(eight), kIntegerResult.c_str()), imp_cast(six));
    for (size_t i = 0; i < selectors.size(); ++i) {
        EXPECT_EQ(objc_msgSend<NSInteger>(objects[0], selectors[i]), i % 2 ? 6 : 8) << sel_getName(selectors[i]);
        EXPECT_EQ(objc_msgSend<NSInteger>(objects[1], selectors[i]), 7) << sel_getName(selectors[i]);
    }
}

TEST(RuntimeDispatch, AnOverrideWithAnotherSignatureRetiresTheWarmEntry)
{
    Class parent = makeClass(&OBJC_CLASS_NSObject);
    class_addMethod(parent, "legs"_sel, imp_cast(six), kIntegerResult.c_str());
    Class child = makeClass(parent);
    Instances objects { child };
    EXPECT_EQ(legs(objects[0]), 6);
    // Sent with another signature, the warm entry does not match.
    EXPECT_TRUE(raises([&] { objc_msgSend<double>(objects[0], "legs"_sel); }));

    class_addMethod(child, "legs"_sel, imp_cast(half), "d@:");
    EXPECT_EQ(objc_msgSend<double>(objects[0], "legs"_sel), 0.5);
    EXPECT_TRUE(raises([&] { legs(objects[0]); }));

    // Without any method the send is unrecognized, though it was cached.
    objc_detail::removeMethod(child, "legs"_sel);
    objc_detail::removeMethod(parent, "legs"_sel);
    EXPECT_TRUE(raises([&] { legs(objects[0]); }));
    EXPECT_TRUE(raises([&] { objc_msgSend<double>(objects[0], "legs"_sel); }));
}

TEST(RuntimeDispatch, ClassObjectsSeeChangesToRootInstanceMethods)
{
    // Class objects inherit the root class's instance methods through the
    // root metaclass, so a change there must reach warm metaclass caches.
    Class cls = makeClass(&OBJC_CLASS_NSObject);
    SEL probe = sel_registerName("runtimeDispatchTestProbe");
    ASSERT_TRUE(class_addMethod(&OBJC_CLASS_NSObject, probe, imp_cast(six), kIntegerResult.c_str()));
    EXPECT_EQ(objc_msgSend<NSInteger>(cls, probe), 6);
    EXPECT_EQ(objc_msgSend<NSInteger>(&OBJC_CLASS_NSObject, probe), 6);
    class_replaceMethod(&OBJC_CLASS_NSObject, probe, imp_cast(nine), kIntegerResult.c_str());
    EXPECT_EQ(objc_msgSend<NSInteger>(cls, probe), 9);
    EXPECT_EQ(objc_msgSend<NSInteger>(&OBJC_CLASS_NSObject, probe), 9);
    // A class method of that name wins for class objects, and only there.
    class_addMethod(object_getClass(cls), probe, imp_cast(seven), kIntegerResult.c_str());
    EXPECT_EQ(objc_msgSend<NSInteger>(cls, probe), 7);
    Instances objects { cls };
    EXPECT_EQ(objc_msgSend<NSInteger>(objects[0], probe), 9);
}

TEST(RuntimeDispatch, ClassesRegisteredAfterSendsBeganAreReachedByLaterHooks)
{
    Class base = makeClass(&OBJC_CLASS_NSObject);
    class_addMethod(base, "legs"_sel, imp_cast(six), kIntegerResult.c_str());
    Class early = makeClass(base);
    Instances earlyObjects { base, early };
    EXPECT_EQ(legs(earlyObjects[1]), 6);

    std::vector<id> objects;
    for (int i = 0; i < 500; ++i) {
        Class cls = makeClass(i % 2 ? base : early);
        objects.push_back(class_createInstance(cls));
        EXPECT_EQ(legs(objects.back()), 6);
    }
    MSHookMessageEx(base, "legs"_sel, imp_cast(tenMore), &g_previous);
    for (id object : objects)
        EXPECT_EQ(legs(object), 16);
    EXPECT_EQ(legs(earlyObjects[0]), 16);
    EXPECT_EQ(legs(earlyObjects[1]), 16);
    for (id object : objects)
        object->release();
}

TEST(RuntimeDispatch, ACacheHoldsWhatItsClassIsSent)
{
    // A program with thousands of selectors; a class sent three of them
    // needs no table of its own, one sent 300 a table of about that size.
    std::vector<SEL> selectors;
    for (int i = 0; i < 3000; ++i)
        selectors.push_back(sel_registerName(("cacheSizeMethod" + std::to_string(i)).c_str()));
    Class small = makeClass(&OBJC_CLASS_NSObject);
    Class large = makeClass(&OBJC_CLASS_NSObject);
    for (int i = 0; i < 3000; ++i) {
        class_addMethod(small, selectors[i], i % 2 ? imp_cast(six) : imp_cast(seven), kIntegerResult.c_str());
        class_addMethod(large, selectors[i], i % 2 ? imp_cast(six) : imp_cast(seven), kIntegerResult.c_str());
    }
    Instances objects { small, large };
    // Three selectors whose buckets in the class differ (where a selector
    // lands depends on its address).
    std::vector<int> sent;
    std::set<size_t> buckets;
    for (int i = 0; i < 3000 && sent.size() < 3; ++i) {
        if (buckets.insert(objc_detail::cacheIndex(selectors[i], objc_detail::kClassCacheSize - 1)).second)
            sent.push_back(i);
    }
    for (int i : sent)
        EXPECT_EQ(objc_msgSend<NSInteger>(objects[0], selectors[i]), i % 2 ? 6 : 7);
    EXPECT_EQ(objc_detail::overflowCapacity(small), 1u);

    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3000; i += 10)
            ASSERT_EQ(objc_msgSend<NSInteger>(objects[1], selectors[i]), i % 2 ? 6 : 7) << i;
    }
    EXPECT_LE(objc_detail::overflowCapacity(large), 1024u);
}

TEST(RuntimeDispatch, AClassSentMoreSelectorsThanTheLargestTableHoldsStillAnswersThemAll)
{
    Class cls = makeClass(&OBJC_CLASS_NSObject);
    constexpr int kCount = 50'000; // beyond three quarters of the largest overflow table
    std::vector<SEL> selectors;
    for (int i = 0; i < kCount; ++i) {
        selectors.push_back(sel_registerName(("floodMethod" + std::to_string(i)).c_str()));
        class_addMethod(cls, selectors.back(), i % 3 ? imp_cast(six) : imp_cast(eight), kIntegerResult.c_str());
    }
    Instances objects { cls };
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kCount; ++i)
            ASSERT_EQ(objc_msgSend<NSInteger>(objects[0], selectors[i]), i % 3 ? 6 : 8) << i;
    }
}

TEST(RuntimeDispatch, SendsOnAnotherThreadSeeOldOrNewMethodsWhileTablesAreReplaced)
{
    // The reader sends stable methods and one that is hooked back and forth;
    // meanwhile methods of the same class change signature over and over,
    // so that the cache's overflow table fills with removed entries and is
    // replaced thousands of times under the reader.
    Class cls = makeClass(&OBJC_CLASS_NSObject);
    class_addMethod(cls, "legs"_sel, imp_cast(six), kIntegerResult.c_str());
    auto selectors = [](const char* prefix, int count) {
        std::vector<SEL> result;
        for (int i = 0; i < count; ++i)
            result.push_back(sel_registerName((prefix + std::to_string(i)).c_str()));
        return result;
    };
    std::vector<SEL> stable = selectors("concurrentStable", 16);
    std::vector<SEL> changing = selectors("concurrentChanging", 8);
    for (SEL sel : stable)
        class_addMethod(cls, sel, imp_cast(nine), kIntegerResult.c_str());
    for (SEL sel : changing)
        class_addMethod(cls, sel, imp_cast(six), kIntegerResult.c_str());
    Instances objects { cls };
    id object = objects[0];
    for (SEL sel : stable)
        objc_msgSend<NSInteger>(object, sel);

    std::atomic<bool> done { false };
    std::atomic<int> wrong { 0 };
    std::atomic<long> reads { 0 };
    std::thread reader([&] {
        objc_detail::joinSendingThreads();
        while (!done.load() || reads.load() < 1000) {
            NSInteger result = legs(object);
            if (result != 6 && result != 8)
                ++wrong;
            for (SEL sel : stable) {
                if (objc_msgSend<NSInteger>(object, sel) != 9)
                    ++wrong;
            }
            ++reads;
            objc_detail::quiescentPoint();
        }
        objc_detail::leaveSendingThreads();
    });
    while (!reads.load())
        std::this_thread::yield();
    for (int round = 0; round < 20'000; ++round) {
        SEL sel = changing[round % changing.size()];
        objc_detail::removeMethod(cls, sel);
        if (round / changing.size() % 2) {
            class_addMethod(cls, sel, imp_cast(six), kIntegerResult.c_str());
            EXPECT_EQ(objc_msgSend<NSInteger>(object, sel), 6);
        } else {
            class_addMethod(cls, sel, imp_cast(half), "d@:");
            EXPECT_EQ(objc_msgSend<double>(object, sel), 0.5);
        }
        class_replaceMethod(cls, "legs"_sel, imp_cast(round % 2 ? six : eight), kIntegerResult.c_str());
        objc_detail::quiescentPoint();
    }
    done = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GE(reads.load(), 1000);
}
