// Process information, the assertion handler, the main bundle and index paths.
#include "device/Device.h"
#include "device/Trace.h"
#include "foundation/NSAssertionHandler.h"
#include "foundation/NSBundle.h"
#include "foundation/NSException.h"
#include "foundation/NSIndexPath.h"
#include "foundation/NSProcessInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Restores the device's default system version after a test changes it.
class SystemVersionScope {
public:
    SystemVersionScope()
        : m_saved(device::systemVersion())
    {
    }
    ~SystemVersionScope() { device::setSystemVersion(m_saved); }

private:
    device::SystemVersion m_saved;
};

BOOL answersOperatingSystemVersion()
{
    return objc_msgSend<BOOL>(NSProcessInfo::processInfo(), "respondsToSelector:"_sel, "operatingSystemVersion"_sel);
}

} // namespace

TEST(ProcessInfo, OperatingSystemVersionExistsFromIOS8On)
{
    AutoreleasePool pool;
    SystemVersionScope restore;
    id info = objc_msgSend<id>(reinterpret_cast<id>(NSProcessInfo::staticClass()), "processInfo"_sel);
    ASSERT_EQ(info, NSProcessInfo::processInfo());

    device::setSystemVersion({ 7, 1 });
    EXPECT_FALSE(answersOperatingSystemVersion());
    try {
        objc_msgSend<NSOperatingSystemVersion>(info, "operatingSystemVersion"_sel);
        ADD_FAILURE() << "iOS 7 answered operatingSystemVersion";
    } catch (NSException* exception) {
        EXPECT_NE(exception->reason()->string().find("unrecognized selector"), std::string::npos);
    }

    device::setSystemVersion({ 8, 4 });
    ASSERT_TRUE(answersOperatingSystemVersion());
    EXPECT_STREQ(class_getMethodTypeEncoding(NSProcessInfo::staticClass(), "operatingSystemVersion"_sel),
        PLATFORM_LP64 ? "{NSOperatingSystemVersion=qqq}@:" : "{NSOperatingSystemVersion=iii}@:");
    auto version = objc_msgSend<NSOperatingSystemVersion>(info, "operatingSystemVersion"_sel);
    EXPECT_EQ(version, (NSOperatingSystemVersion { 8, 4, 0 }));
    EXPECT_TRUE(objc_msgSend<BOOL>(info, "isOperatingSystemAtLeastVersion:"_sel, NSOperatingSystemVersion { 8, 0, 0 }));
    EXPECT_FALSE(objc_msgSend<BOOL>(info, "isOperatingSystemAtLeastVersion:"_sel, NSOperatingSystemVersion { 8, 4, 1 }));

    device::setSystemVersion({ 9, 0 });
    EXPECT_EQ(objc_msgSend<NSOperatingSystemVersion>(info, "operatingSystemVersion"_sel), (NSOperatingSystemVersion { 9, 0, 0 }));

    device::setSystemVersion({ 6, 1 });
    EXPECT_FALSE(answersOperatingSystemVersion());
    EXPECT_FALSE(objc_msgSend<BOOL>(info, "respondsToSelector:"_sel, "isOperatingSystemAtLeastVersion:"_sel));

    // The process's name and identifier are always there.
    EXPECT_NE(objc_msgSend<NSString*>(info, "processName"_sel), nullptr);
    EXPECT_GT(objc_msgSend<int>(info, "processIdentifier"_sel), 0);
}

TEST(AssertionHandler, RaisesTheDescriptionAndLogsWhereTheFailureWas)
{
    AutoreleasePool pool;
    std::vector<std::string> log;
    device::setTraceSink([&](device::TraceKind, std::string_view line) { log.emplace_back(line); });
    id handler = objc_msgSend<id>(reinterpret_cast<id>(NSAssertionHandler::staticClass()), "currentHandler"_sel);
    ASSERT_EQ(handler, NSAssertionHandler::currentHandler());
    auto indexPath = NSIndexPath::indexPathForRow(0, 0);

    auto fail = [&](id object) -> NSException* {
        try {
            objc_msgSend<void>(handler, "handleFailureInMethod:object:file:lineNumber:description:"_sel, "presentPopoverFromRect:inView:"_sel,
                object, "../QLZPopoverController"_ns, NSInteger(1674), "QLZPopoverArrowDirection must not be UNKNOWN"_ns);
        } catch (NSException* exception) {
            return exception;
        }
        return nullptr;
    };
    NSException* exception = fail(indexPath);
    ASSERT_NE(exception, nullptr);
    EXPECT_EQ(exception->name()->string(), "NSInternalInconsistencyException");
    EXPECT_EQ(exception->reason()->string(), "QLZPopoverArrowDirection must not be UNKNOWN");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "*** Assertion failure in -[NSIndexPath presentPopoverFromRect:inView:], ../QLZPopoverController:1674");

    // A class as the object is reported as a class method.
    ASSERT_NE(fail(reinterpret_cast<id>(NSIndexPath::staticClass())), nullptr);
    EXPECT_EQ(log.back(), "*** Assertion failure in +[NSIndexPath presentPopoverFromRect:inView:], ../QLZPopoverController:1674");
    device::setTraceSink(nullptr);
}

TEST(Bundle, LocalizedStringsFallBackToTheKeyOrTheDefaultValue)
{
    AutoreleasePool pool;
    NSBundle* bundle = objc_msgSend<NSBundle*>(reinterpret_cast<id>(NSBundle::staticClass()), "mainBundle"_sel);
    ASSERT_EQ(bundle, NSBundle::mainBundle());
    auto localized = [&](NSString* key, NSString* value, NSString* table) {
        auto* text = objc_msgSend<NSString*>(bundle, "localizedStringForKey:value:table:"_sel, key, value, table);
        return text ? text->string() : std::string("(nil)");
    };
    EXPECT_EQ(localized("Double-tap to dismiss pop-up window."_ns, ""_ns, nullptr), "Double-tap to dismiss pop-up window.");
    EXPECT_EQ(localized("Torch"_ns, "Flashlight"_ns, nullptr), "Flashlight");
    EXPECT_EQ(localized(nullptr, "Fallback"_ns, nullptr), "Fallback");
    EXPECT_EQ(localized(nullptr, nullptr, nullptr), "");

    // A table installed by the simulator translates; other tables do not.
    bundle->setLocalizedStrings(nullptr, NSDictionary::create({ { Ref<Object>(*"Torch"_ns), Ref<Object>(*"Lampe"_ns) } }).ptr());
    EXPECT_EQ(localized("Torch"_ns, "Flashlight"_ns, nullptr), "Lampe");
    EXPECT_EQ(localized("Torch"_ns, nullptr, "Localizable"_ns), "Lampe");
    EXPECT_EQ(localized("Torch"_ns, nullptr, "Other"_ns), "Torch");
    bundle->setLocalizedStrings(nullptr, nullptr);
    EXPECT_EQ(localized("Torch"_ns, nullptr, nullptr), "Torch");

    bundle->setBundleIdentifier("com.apple.camera"_ns);
    EXPECT_EQ(objc_msgSend<NSString*>(bundle, "bundleIdentifier"_sel)->string(), "com.apple.camera");
    bundle->setBundleIdentifier(nullptr);
    EXPECT_EQ(objc_msgSend<NSString*>(bundle, "bundleIdentifier"_sel), nullptr);
}

TEST(IndexPath, RowsAndSectionsCompareByValue)
{
    AutoreleasePool pool;
    Class cls = NSIndexPath::staticClass();
    auto* path = objc_msgSend<NSIndexPath*>(reinterpret_cast<id>(cls), "indexPathForRow:inSection:"_sel, NSInteger(1), NSInteger(0));
    EXPECT_EQ(objc_msgSend<NSInteger>(path, "row"_sel), 1);
    EXPECT_EQ(objc_msgSend<NSInteger>(path, "section"_sel), 0);
    EXPECT_EQ(objc_msgSend<NSUInteger>(path, "length"_sel), 2u);

    auto same = NSIndexPath::indexPathForRow(1, 0);
    auto swapped = NSIndexPath::indexPathForRow(0, 1);
    EXPECT_TRUE(objc_msgSend<BOOL>(path, "isEqual:"_sel, same.ptr()));
    EXPECT_EQ(objc_msgSend<NSUInteger>(path, "hash"_sel), objc_msgSend<NSUInteger>(same, "hash"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL>(path, "isEqual:"_sel, swapped.ptr()));
    EXPECT_EQ(path->compare(swapped.ptr()), -1);
    EXPECT_EQ(swapped->compare(path), 1);
    EXPECT_EQ(path->compare(same.ptr()), 0);
    EXPECT_EQ(NSIndexPath::indexPathWithIndex(4)->row(), static_cast<NSInteger>(NSNotFound));
}
