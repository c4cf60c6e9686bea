// Key-value observing and coding on platform objects.
#include "foundation/NSException.h"
#include "foundation/NSKeyValueCoding.h"
#include "foundation/NSKeyValueObserving.h"
#include "foundation/NSNull.h"
#include "foundation/NSStructValue.h"
#include "foundation/NSValue.h"
#include "uikit/UIGeometry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

namespace {

// The text with each address ("0x7f3a...") written as "0x…".
std::string withoutAddresses(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t end = i + 2;
        if (text.substr(i, 2) == "0x") {
            while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end])))
                ++end;
        }
        if (end > i + 2) {
            out += "0x…";
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// An object with observable properties of several kinds.
class Gauge : public NSObject {
    OBJC_CLASS(Gauge)
public:
    double level() const
    {
        ++levelReads;
        return m_level;
    }
    void setLevel(double level) { kvo::setObservedValue(this, "level"_ns, m_level, level); }
    NSString* name() const { return m_name.get(); }
    void setName(NSString* name) { kvo::setObservedValue(this, "name"_ns, m_name, name); }
    CGSize size() const { return m_size; }
    void setSize(CGSize size) { kvo::setObservedValue(this, "size"_ns, m_size, size); }
    BOOL isEnabled() const { return m_enabled; }
    void setEnabled(BOOL enabled) { m_enabled = enabled; }
    NSInteger count() const { return m_count; }
    void setCount(NSInteger count) { m_count = count; }
    float ratio() const { return 0.25f; }
    CGRect frame() const { return CGRectMake(1, 2, 3, 4); }
    UIEdgeInsets insets() const { return UIEdgeInsetsMake(1, 2, 3, 4); }
    CGAffineTransform transform() const { return CGAffineTransformMakeScale(2, 3); }
    NSInteger scaled(NSInteger by) const { return by * 2; }

    // Two stores inside one announced change.
    void resetTwice()
    {
        willChangeValue("level");
        m_level = -1;
        m_level = 100;
        didChangeValue("level");
    }
    void willChangeValue(const char* key) { objc_msgSend<void>(this, "willChangeValueForKey:"_sel, NSStr(key)); }
    void didChangeValue(const char* key) { objc_msgSend<void>(this, "didChangeValueForKey:"_sel, NSStr(key)); }

    mutable int levelReads = 0;
    double m_level = 0;
    RefPtr<NSString> m_name;
    CGSize m_size;
    BOOL m_enabled = YES;
    NSInteger m_count = 3;
    RefPtr<NSString> m_serial = NSString::create("G-7");
};

Class Gauge::staticClass()
{
    static Class cls = ClassBuilder<Gauge>("TestGauge", &OBJC_CLASS_NSObject)
                           .method<&Gauge::level>("level")
                           .method<&Gauge::setLevel>("setLevel:")
                           .method<&Gauge::name>("name")
                           .method<&Gauge::setName>("setName:")
                           .method<&Gauge::size>("size")
                           .method<&Gauge::setSize>("setSize:")
                           .method<&Gauge::isEnabled>("isEnabled")
                           .method<&Gauge::setEnabled>("setEnabled:")
                           .method<&Gauge::count>("count")
                           .method<&Gauge::setCount>("setCount:")
                           .method<&Gauge::ratio>("ratio")
                           .method<&Gauge::frame>("frame")
                           .method<&Gauge::insets>("insets")
                           .method<&Gauge::transform>("transform")
                           .method<&Gauge::scaled>("scaled:")
                           .ivar<&Gauge::m_serial>("_serial")
                           .build();
    return cls;
}

struct Notification {
    std::string keyPath;
    id object;
    RefPtr<NSDictionary> change;
    void* context;
};

// Records what it hears; may run an action on each notification.
class Recorder : public NSObject {
    OBJC_CLASS(Recorder)
public:
    void observe(NSString* keyPath, id object, NSDictionary* change, void* context)
    {
        heard.push_back({ keyPath->string(), object, change, context });
        if (onNotification)
            onNotification();
    }
    std::vector<Notification> heard;
    std::function<void()> onNotification;
};

Class Recorder::staticClass()
{
    static Class cls = ClassBuilder<Recorder>("TestRecorder", &OBJC_CLASS_NSObject)
                           .method<&Recorder::observe>("observeValueForKeyPath:ofObject:change:context:")
                           .build();
    return cls;
}

void observe(id object, id observer, const char* key, NSUInteger options, void* context = nullptr)
{
    objc_msgSend<void>(object, "addObserver:forKeyPath:options:context:"_sel, observer, NSStr(key), options, context);
}

void stopObserving(id object, id observer, const char* key)
{
    objc_msgSend<void>(object, "removeObserver:forKeyPath:"_sel, observer, NSStr(key));
}

id entry(const Notification& notification, NSString* key)
{
    return notification.change ? notification.change->objectForKey(key) : nullptr;
}

double number(id value)
{
    return value ? objc_msgSend<double>(value, "doubleValue"_sel) : -999;
}

std::pair<std::string, std::string> raised(const std::function<void()>& body)
{
    try {
        body();
    } catch (NSException* exception) {
        return { exception->name()->string(), exception->reason() ? exception->reason()->string() : "" };
    }
    return { "(none)", "" };
}

constexpr NSUInteger kNewOld = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;

} // namespace

TEST(KeyValueObserving, DeliversTheValuesEachObserverAskedFor)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    auto both = adoptObject(new Recorder);
    auto bare = adoptObject(new Recorder);
    int token = 0;
    observe(gauge, both, "level", kNewOld, &token);
    observe(gauge, bare, "level", 0);
    gauge->levelReads = 0;

    objc_msgSend<void>(gauge, "setLevel:"_sel, 20.5);
    ASSERT_EQ(both->heard.size(), 1u);
    const auto& heard = both->heard[0];
    EXPECT_EQ(heard.keyPath, "level");
    EXPECT_EQ(heard.object, gauge.ptr());
    EXPECT_EQ(heard.context, &token);
    EXPECT_EQ(objc_msgSend<NSInteger>(entry(heard, NSKeyValueChangeKindKey), "integerValue"_sel), NSKeyValueChangeSetting);
    EXPECT_EQ(number(entry(heard, NSKeyValueChangeOldKey)), 0.0);
    EXPECT_EQ(number(entry(heard, NSKeyValueChangeNewKey)), 20.5);
    // The getter is read once for all observers: old before, new after.
    EXPECT_EQ(gauge->levelReads, 2);

    ASSERT_EQ(bare->heard.size(), 1u);
    EXPECT_EQ(bare->heard[0].change->count(), 1u);
    EXPECT_EQ(entry(bare->heard[0], NSKeyValueChangeNewKey), nullptr);

    // Structs arrive as NSValue, nil as NSNull; other keys are not reported.
    auto sizes = adoptObject(new Recorder);
    observe(gauge, sizes, "size", kNewOld);
    observe(gauge, sizes, "name", NSKeyValueObservingOptionNew);
    gauge->setSize(CGSizeMake(220, 88));
    gauge->setName(nullptr);
    ASSERT_EQ(sizes->heard.size(), 2u);
    auto* newSize = static_cast<NSValue*>(entry(sizes->heard[0], NSKeyValueChangeNewKey));
    EXPECT_EQ(objc_msgSend<CGSize>(newSize, "CGSizeValue"_sel), CGSizeMake(220, 88));
    EXPECT_EQ(static_cast<NSValue*>(entry(sizes->heard[0], NSKeyValueChangeOldKey))->get<CGSize>(), CGSizeZero);
    EXPECT_EQ(entry(sizes->heard[1], NSKeyValueChangeNewKey), NSNull::null());
    EXPECT_EQ(both->heard.size(), 1u);

    stopObserving(gauge, both, "level");
    stopObserving(gauge, bare, "level");
    stopObserving(gauge, sizes, "size");
    stopObserving(gauge, sizes, "name");
    EXPECT_FALSE(kvo::isObserved(gauge.ptr()));
}

TEST(KeyValueObserving, InitialAndPriorOptionsNotifyAtRegistrationAndBeforeTheChange)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    gauge->m_level = 4;
    auto recorder = adoptObject(new Recorder);
    observe(gauge, recorder, "level", NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew);
    ASSERT_EQ(recorder->heard.size(), 1u);
    EXPECT_EQ(number(entry(recorder->heard[0], NSKeyValueChangeNewKey)), 4.0);
    stopObserving(gauge, recorder, "level");

    recorder->heard.clear();
    observe(gauge, recorder, "level", NSKeyValueObservingOptionPrior | kNewOld);
    gauge->setLevel(9);
    ASSERT_EQ(recorder->heard.size(), 2u);
    const auto& prior = recorder->heard[0];
    EXPECT_TRUE(objc_msgSend<BOOL>(entry(prior, NSKeyValueChangeNotificationIsPriorKey), "boolValue"_sel));
    EXPECT_EQ(number(entry(prior, NSKeyValueChangeOldKey)), 4.0);
    EXPECT_EQ(entry(prior, NSKeyValueChangeNewKey), nullptr);
    EXPECT_EQ(number(entry(recorder->heard[1], NSKeyValueChangeNewKey)), 9.0);
    EXPECT_EQ(entry(recorder->heard[1], NSKeyValueChangeNotificationIsPriorKey), nullptr);
    stopObserving(gauge, recorder, "level");
}

TEST(KeyValueObserving, RemovedObserversHearNothingAndUnregisteredRemovalRaises)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    auto recorder = adoptObject(new Recorder);
    int first = 0, second = 0;
    observe(gauge, recorder, "level", NSKeyValueObservingOptionNew, &first);
    observe(gauge, recorder, "level", NSKeyValueObservingOptionNew, &second);
    gauge->setLevel(1);
    EXPECT_EQ(recorder->heard.size(), 2u);

    // Removal by context takes that registration only.
    objc_msgSend<void>(gauge, "removeObserver:forKeyPath:context:"_sel, recorder.ptr(), "level"_ns, static_cast<void*>(&first));
    gauge->setLevel(2);
    ASSERT_EQ(recorder->heard.size(), 3u);
    EXPECT_EQ(recorder->heard[2].context, &second);

    auto [name, reason] = raised([&] { objc_msgSend<void>(gauge, "removeObserver:forKeyPath:context:"_sel, recorder.ptr(), "level"_ns, static_cast<void*>(&first)); });
    EXPECT_EQ(name, "NSRangeException");

    stopObserving(gauge, recorder, "level");
    gauge->setLevel(3);
    EXPECT_EQ(recorder->heard.size(), 3u);

    std::tie(name, reason) = raised([&] { stopObserving(gauge, recorder, "level"); });
    EXPECT_EQ(name, "NSRangeException");
    EXPECT_EQ(withoutAddresses(reason),
        R"(Cannot remove an observer <TestRecorder 0x…> for the key path "level" from <TestGauge 0x…> because it is not registered as an observer.)");
    // Removing from an object nobody observes raises the same way.
    auto other = adoptObject(new Gauge);
    EXPECT_EQ(raised([&] { stopObserving(other, recorder, "size"); }).first, "NSRangeException");
}

TEST(KeyValueObserving, AnObserverRemovedDuringAChangeIsNotToldAboutIt)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    auto first = adoptObject(new Recorder);
    auto second = adoptObject(new Recorder);
    observe(gauge, first, "level", 0);
    observe(gauge, second, "level", 0);
    // Whichever hears first removes the other.
    first->onNotification = [&] { stopObserving(gauge, second, "level"); };
    second->onNotification = [&] { stopObserving(gauge, first, "level"); };
    gauge->setLevel(5);
    EXPECT_EQ(first->heard.size() + second->heard.size(), 1u);
    EXPECT_EQ(kvo::observationCount(gauge.ptr()), 1u);
}

TEST(KeyValueObserving, StoresBetweenWillAndDidMakeOneNotification)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    gauge->m_level = 7;
    auto recorder = adoptObject(new Recorder);
    observe(gauge, recorder, "level", kNewOld);
    gauge->resetTwice();
    ASSERT_EQ(recorder->heard.size(), 1u);
    EXPECT_EQ(number(entry(recorder->heard[0], NSKeyValueChangeOldKey)), 7.0);
    EXPECT_EQ(number(entry(recorder->heard[0], NSKeyValueChangeNewKey)), 100.0);

    // A did without a will, or for another key, reports nothing.
    gauge->didChangeValue("level");
    gauge->willChangeValue("size");
    gauge->didChangeValue("level");
    gauge->didChangeValue("size");
    EXPECT_EQ(recorder->heard.size(), 1u);
    stopObserving(gauge, recorder, "level");
}

TEST(KeyValueObserving, FreedObjectsAndObserversLeaveNoObservationBehind)
{
    AutoreleasePool pool;
    auto recorder = adoptObject(new Recorder);
    {
        auto doomed = adoptObject(new Gauge);
        observe(doomed, recorder, "level", NSKeyValueObservingOptionNew);
        EXPECT_TRUE(kvo::isObserved(doomed.ptr()));
    }
    EXPECT_EQ(kvo::detail::observedObjectCount, 0u);

    auto gauge = adoptObject(new Gauge);
    auto survivor = adoptObject(new Recorder);
    observe(gauge, survivor, "level", 0);
    {
        auto careless = adoptObject(new Recorder);
        observe(gauge, careless, "level", 0);
        observe(gauge, careless, "size", 0);
    }
    EXPECT_EQ(kvo::observationCount(gauge.ptr()), 1u);
    gauge->setLevel(1); // must not reach the freed observer
    gauge->setSize(CGSizeMake(1, 1));
    EXPECT_EQ(survivor->heard.size(), 1u);
    stopObserving(gauge, survivor, "level");
    EXPECT_FALSE(kvo::isObserved(gauge.ptr()));
}

TEST(KeyValueObserving, AnObserverWithoutAHandlerRaises)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    id plain = objc_msgSend<id>(reinterpret_cast<id>(&OBJC_CLASS_NSObject), "new"_sel);
    observe(gauge, plain, "level", 0);
    auto [name, reason] = raised([&] { gauge->setLevel(2); });
    EXPECT_EQ(name, "NSInternalInconsistencyException");
    EXPECT_NE(reason.find("An -observeValueForKeyPath:ofObject:change:context: message was received but not handled."), std::string::npos);
    EXPECT_NE(reason.find("Key path: level"), std::string::npos);
    stopObserving(gauge, plain, "level");
    plain->release();
}

TEST(KeyValueCoding, ValueForKeyBoxesByTheGettersType)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    gauge->m_level = 1.5;
    gauge->m_name = NSString::create("torch");

    EXPECT_EQ(kvc::valueForKey(gauge, "name"_ns), gauge->m_name.get());
    auto* level = static_cast<NSNumber*>(kvc::valueForKey(gauge, "level"_ns));
    EXPECT_EQ(level->kind(), NSNumber::Kind::Double);
    EXPECT_EQ(level->doubleValue(), 1.5);
    auto* enabled = static_cast<NSNumber*>(kvc::valueForKey(gauge, "enabled"_ns)); // through isEnabled
    // BOOL is C++ bool on 64-bit builds and a char on 32-bit ones, boxed as
    // the number of that kind.
    EXPECT_EQ(enabled->kind(), PLATFORM_LP64 ? NSNumber::Kind::Bool : NSNumber::Kind::Integer);
    EXPECT_TRUE(enabled->boolValue());
    auto* count = static_cast<NSNumber*>(kvc::valueForKey(gauge, "count"_ns));
    EXPECT_EQ(count->kind(), NSNumber::Kind::Integer);
    EXPECT_EQ(count->integerValue(), 3);
    EXPECT_EQ(static_cast<NSNumber*>(kvc::valueForKey(gauge, "ratio"_ns))->kind(), NSNumber::Kind::Float);

    EXPECT_EQ(static_cast<NSValue*>(kvc::valueForKey(gauge, "frame"_ns))->get<CGRect>(), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(static_cast<NSValue*>(kvc::valueForKey(gauge, "insets"_ns))->get<UIEdgeInsets>(), UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(static_cast<NSValue*>(kvc::valueForKey(gauge, "transform"_ns))->get<CGAffineTransform>(), CGAffineTransformMakeScale(2, 3));
    auto* size = static_cast<NSValue*>(kvc::valueForKey(gauge, "size"_ns));
    EXPECT_STREQ(size->objCType(), PLATFORM_LP64 ? "{CGSize=dd}" : "{CGSize=ff}");
    EXPECT_EQ(size->get<CGRect>(), CGRectZero); // another type reads as zero
    EXPECT_TRUE(size->isEqual(NSValue::valueWith(CGSizeZero).ptr()));
    EXPECT_FALSE(size->isEqual(NSValue::valueWith(CGPointZero).ptr()));

    // No getter, but an instance variable.
    EXPECT_EQ(static_cast<NSString*>(kvc::valueForKey(gauge, "serial"_ns))->string(), "G-7");
}

// UIKit's additions to NSValue answer by message and describe themselves as
// the platform does; a struct nobody registered describes its bytes.
TEST(KeyValueCoding, GeometryValuesAnswerUIKitsSelectorsAndDescribeThemselves)
{
    AutoreleasePool pool;
    id valueClass = reinterpret_cast<id>(NSValue::staticClass());
    auto* rect = objc_msgSend<NSValue*>(valueClass, "valueWithCGRect:"_sel, CGRectMake(1, 2, 3, 4));
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(objc_msgSend<CGRect>(rect, "CGRectValue"_sel), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(rect->description()->string(), "NSRect: {{1, 2}, {3, 4}}");
    auto* insets = objc_msgSend<NSValue*>(valueClass, "valueWithUIEdgeInsets:"_sel, UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(insets->description()->string(), "UIEdgeInsets: {1, 2, 3, 4}");
    EXPECT_EQ(NSValue::valueWith(CGPointMake(5, 6))->description()->string(), "NSPoint: {5, 6}");

    struct Pair {
        int32_t first;
        int32_t second;
    };
    Pair bytes { 1, 2 };
    auto pair = NSValue::create("{Pair=ii}", &bytes, sizeof bytes);
    EXPECT_EQ(pair->description()->string(), "<01000000 02000000>");
}

TEST(KeyValueCoding, UnknownKeysRaiseTheUndefinedKeyException)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    auto [name, reason] = raised([&] { kvc::valueForKey(gauge, "colour"_ns); });
    EXPECT_EQ(name, "NSUnknownKeyException");
    EXPECT_EQ(withoutAddresses(reason), "[<TestGauge 0x…> valueForUndefinedKey:]: this class is not key value coding-compliant for the key colour.");
    // A method that takes arguments is no getter.
    EXPECT_EQ(raised([&] { kvc::valueForKey(gauge, "scaled"_ns); }).first, "NSUnknownKeyException");

    std::tie(name, reason) = raised([&] { kvc::setValueForKey(gauge, "x"_ns, "ratio"_ns); });
    EXPECT_EQ(name, "NSUnknownKeyException");
    EXPECT_TRUE(reason.ends_with("setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key ratio.")) << reason;
    std::tie(name, reason) = raised([&] { kvc::setValueForKey(gauge, nullptr, "count"_ns); });
    EXPECT_EQ(name, "NSInvalidArgumentException");
    EXPECT_NE(reason.find("could not set nil as the value for the key count."), std::string::npos);
}

TEST(KeyValueCoding, SetValueUnboxesForTheSetterAndObserversHearIt)
{
    AutoreleasePool pool;
    auto gauge = adoptObject(new Gauge);
    auto recorder = adoptObject(new Recorder);
    observe(gauge, recorder, "level", NSKeyValueObservingOptionNew);

    kvc::setValueForKey(gauge, NSNumber::numberWithDouble(0.75).ptr(), "level"_ns);
    kvc::setValueForKey(gauge, NSNumber::numberWithInteger(12).ptr(), "count"_ns);
    kvc::setValueForKey(gauge, NSNumber::numberWithBool(NO).ptr(), "enabled"_ns);
    kvc::setValueForKey(gauge, NSValue::valueWith(CGSizeMake(3, 4)).ptr(), "size"_ns);
    kvc::setValueForKey(gauge, "dial"_ns, "name"_ns);
    EXPECT_EQ(gauge->m_level, 0.75);
    EXPECT_EQ(gauge->m_count, 12);
    EXPECT_FALSE(gauge->m_enabled);
    EXPECT_EQ(gauge->m_size, CGSizeMake(3, 4));
    EXPECT_EQ(gauge->m_name->string(), "dial");
    ASSERT_EQ(recorder->heard.size(), 1u);
    EXPECT_EQ(number(entry(recorder->heard[0], NSKeyValueChangeNewKey)), 0.75);

    // A struct of the wrong type is refused rather than reinterpreted.
    EXPECT_EQ(raised([&] { kvc::setValueForKey(gauge, NSValue::valueWith(CGRectZero).ptr(), "size"_ns); }).first, "NSInvalidArgumentException");
    EXPECT_EQ(gauge->m_size, CGSizeMake(3, 4));
    stopObserving(gauge, recorder, "level");
}
