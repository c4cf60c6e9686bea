// Foundation's values as the platform reads and writes them.
#include "foundation/NSException.h"
#include "foundation/PropertyList.h"

#include <gtest/gtest.h>

TEST(FoundationStrings, BoolAndFloatReadingsFollowThePlatform)
{
    AutoreleasePool pool;
    struct Case {
        const char* text;
        bool boolean;
        float number;
    };
    const Case cases[] = {
        { "YES", true, 0 },
        { "yes", true, 0 },
        { "true", true, 0 },
        { "T", true, 0 },
        { "1", true, 1 },
        { "9", true, 9 },
        { "  +0007", true, 7 },
        { "-0", false, -0.0f },
        { "0", false, 0 },
        { "NO", false, 0 },
        { "false", false, 0 },
        { "", false, 0 },
        { "  0.5", false, 0.5f },
        { "-2.5e1x", true, -25 },
        { ".5", false, 0.5f },
        { "abc", false, 0 },
        { "1.0", true, 1 },
        { "nan", false, 0 },
        { "inf", false, 0 },
        { "  \t\n42", true, 42 },
    };
    for (const auto& test : cases) {
        auto string = NSString::create(test.text);
        EXPECT_EQ(string->boolValue(), test.boolean) << '"' << test.text << '"';
        EXPECT_FLOAT_EQ(string->floatValue(), test.number) << '"' << test.text << '"';
        // The same readings through the runtime.
        EXPECT_EQ(objc_msgSend<BOOL>(string.ptr(), "boolValue"_sel), test.boolean);
    }
}

TEST(FoundationStrings, FormatsWithObjectsAndLengthsInUTF16Units)
{
    AutoreleasePool pool;
    EXPECT_EQ(NSString::stringWithFormat("LNControl%lu", 1ul)->string(), "LNControl1");
    EXPECT_EQ(NSString::stringWithFormat("%@ [ %f x %f ]", "UP"_ns, 220.0, 113.5)->string(), "UP [ 220.000000 x 113.500000 ]");
    EXPECT_EQ(NSString::stringWithFormat("%@|%5.1f|%s|%%", static_cast<id>(nullptr), 2.25, "x")->string(), "(null)|  2.2|x|%");
    // Each integer read and printed as wide as its length says.
    EXPECT_EQ(NSString::stringWithFormat("%hhx|%hu|%hd|%ld|%lld|%d", 0x1ff, -1, 70000, -5L, 1LL << 40, -3)->string(), "ff|65535|4464|-5|1099511627776|-3");
    EXPECT_EQ(NSString::create("h\xC3\xA9llo \xF0\x9F\x94\xA6")->length(), 8u);
}

TEST(PropertyLists, RoundTripEveryValueTypeThroughXMLAndBinary)
{
    AutoreleasePool pool;
    auto dictionary = NSMutableDictionary::create();
    dictionary->setObjectForKey(NSNumber::numberWithBool(YES).ptr(), "bool"_ns);
    dictionary->setObjectForKey(NSNumber::numberWithInteger(-12).ptr(), "integer"_ns);
    dictionary->setObjectForKey(NSNumber::numberWithFloat(0.1f).ptr(), "float"_ns);
    dictionary->setObjectForKey(NSString::create("t\xC3\xA9xt <&>").ptr(), "string"_ns);
    dictionary->setObjectForKey(NSData::create({ 0, 1, 254, 255 }).ptr(), "data"_ns);
    dictionary->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(123456).ptr(), "date"_ns);
    dictionary->setObjectForKey(NSArray::arrayWithObjects({ "a"_ns, NSDictionary::create().ptr() }).ptr(), "array"_ns);

    for (bool binary : { false, true }) {
        auto bytes = binary ? NSPropertyListBinary(dictionary.ptr()) : NSPropertyListXML(dictionary.ptr());
        ASSERT_TRUE(bytes);
        auto read = NSPropertyListFromBytes(*bytes);
        ASSERT_TRUE(read);
        EXPECT_TRUE(dictionary->isEqual(read.get())) << NSPropertyListSummary(read.get());
        auto* number = static_cast<NSNumber*>(static_cast<NSDictionary*>(read.get())->objectForKey("float"_ns));
        EXPECT_EQ(number->floatValue(), 0.1f) << "a float does not survive a property list";
        auto* flag = static_cast<NSNumber*>(static_cast<NSDictionary*>(read.get())->objectForKey("bool"_ns));
        EXPECT_EQ(flag->kind(), NSNumber::Kind::Bool);
    }

    // Objects that are not property-list values cannot be written.
    dictionary->setObjectForKey(NSException::create("n"_ns, "r"_ns).ptr(), "exception"_ns);
    EXPECT_FALSE(NSPropertyListXML(dictionary.ptr()));
    EXPECT_FALSE(NSPropertyListFromBytes("not a property list"));
    EXPECT_FALSE(NSPropertyListFromBytes("bplist00garbage"));
}

TEST(Collections, RaiseOnNilAndOutOfRangeAsThePlatformDoes)
{
    AutoreleasePool pool;
    auto array = NSMutableArray::create();
    EXPECT_THROW(array->addObject(nullptr), NSException*);
    EXPECT_THROW(array->objectAtIndex(0), NSException*);
    auto dictionary = NSMutableDictionary::create();
    EXPECT_THROW(dictionary->setObjectForKey(nullptr, "k"_ns), NSException*);
    EXPECT_THROW(dictionary->setObjectForKey("v"_ns, nullptr), NSException*);
    // Keys compare by value, so a string made at run time finds a constant one.
    dictionary->setObjectForKey("v"_ns, "key"_ns);
    EXPECT_EQ(dictionary->objectForKey(NSString::create("key").ptr()), "v"_ns);
}
