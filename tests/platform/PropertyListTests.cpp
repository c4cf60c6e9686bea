// Property lists as the platform reads them: every form and value type,
// values that only a careful reader keeps, files the reader must refuse,
// and agreement with another implementation (libplist).
#include "foundation/PropertyList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::TemporaryDeviceRoot;

namespace {

std::string corpusFile(const std::string& name)
{
    std::ifstream in(std::string(LUMORA_PLIST_CORPUS) + "/" + name, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

RefPtr<NSDictionary> readDictionary(std::string_view bytes)
{
    auto root = NSPropertyListFromBytes(bytes);
    if (!root || !class_isSubclassOf(root->isa(), NSDictionary::staticClass()))
        return nullptr;
    return static_cast<NSDictionary*>(root.get());
}

id value(NSDictionary* dictionary, const char* key)
{
    return dictionary->objectForKey(NSString::create(key).ptr());
}

NSNumber* number(NSDictionary* dictionary, const char* key)
{
    return static_cast<NSNumber*>(value(dictionary, key));
}

double dateSeconds(NSDictionary* dictionary, const char* key)
{
    id date = value(dictionary, key);
    EXPECT_TRUE(date && class_isSubclassOf(date->isa(), NSDate::staticClass())) << key;
    return date ? static_cast<NSDate*>(date)->timeIntervalSinceReferenceDate() : NAN;
}

// Writes root the way -writeToFile: does and reads it back.
RefPtr<Object> throughFile(Object* root)
{
    auto bytes = NSPropertyListFileBytes(root);
    return bytes ? NSPropertyListFromBytes(*bytes) : nullptr;
}

NSDictionary::Entry entry(const char* key, Ref<Object> value)
{
    return { NSString::create(key), std::move(value) };
}

std::string bigEndian(uint64_t value, size_t width)
{
    std::string out;
    for (size_t i = width; i-- > 0;)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

// A binary property list of the given encoded objects, the first one its
// root, with offsets and references of the given width (as another writer
// makes them, objects may be referred to more than once).
std::string binaryList(const std::vector<std::string>& objects, size_t width)
{
    std::string out = "bplist00";
    std::vector<size_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    size_t table = out.size();
    for (size_t offset : offsets)
        out += bigEndian(offset, width);
    return out + std::string(6, '\0') + static_cast<char>(width) + static_cast<char>(width) + bigEndian(objects.size(), 8) + bigEndian(0, 8)
        + bigEndian(table, 8);
}

// Arrays each holding the next one twice, levels deep, over one string;
// and as much data again that nothing refers to.
std::string doublingArrays(int levels, size_t padding = 0)
{
    std::vector<std::string> objects;
    for (int i = 0; i < levels; ++i)
        objects.push_back("\xA2" + bigEndian(i + 1, 4) + bigEndian(i + 1, 4));
    objects.push_back("\x55torch");
    if (padding)
        objects.push_back("\x4F\x13" + bigEndian(padding, 8) + std::string(padding, '\0'));
    return binaryList(objects, 4);
}

} // namespace

TEST(PropertyListReading, EveryFormAndEncodingReadsTheSameValues)
{
    AutoreleasePool pool;
    auto reference = readDictionary(corpusFile("xml-utf8.plist"));
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->count(), 10u);
    EXPECT_EQ(static_cast<NSString*>(value(reference.get(), "name"))->string(), "\xC3\x9Cn\xC3\xAF"
                                                                                "c\xC3\xB6"
                                                                                "d\xC3\xA9 \xE2\x9C\x93 \xF0\x9D\x84\x9E");
    EXPECT_EQ(dateSeconds(reference.get(), "when"), 454854645.0);
    EXPECT_EQ(number(reference.get(), "count")->longLongValue(), -42);

    for (const char* name : { "xml-utf8-bom.plist", "xml-utf16le.plist", "xml-utf16be.plist", "xml-old-doctype.plist" }) {
        auto read = readDictionary(corpusFile(name));
        ASSERT_TRUE(read) << name;
        EXPECT_TRUE(read->isEqual(reference.get())) << name << ": " << NSPropertyListSummary(read.get());
    }

    // The binary file (from another writer) holds the same values and more.
    auto binary = readDictionary(corpusFile("binary-types.bplist"));
    ASSERT_TRUE(binary);
    for (const auto& item : reference->entries())
        EXPECT_TRUE(item.value->isEqual(binary->objectForKey(item.key.ptr()))) << static_cast<NSString*>(item.key.ptr())->string();

    auto latin1 = readDictionary(corpusFile("xml-latin1.plist"));
    ASSERT_TRUE(latin1);
    EXPECT_EQ(static_cast<NSString*>(value(latin1.get(), "caf\xC3\xA9"))->string(), "cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                                                                    "e");

    auto text = readDictionary(corpusFile("openstep.plist"));
    ASSERT_TRUE(text);
    EXPECT_EQ(NSPropertyListSummary(value(text.get(), "Filter")), "{Bundles = (\"com.apple.camera\"); Executables = (\"Camera\", \"Camera Plus\")}");
    EXPECT_EQ(static_cast<NSString*>(value(text.get(), "escaped"))->string(), "tab\tquote\" snowman \xE2\x98\x83 octal A");
    EXPECT_TRUE(NSData::create({ 0x0f, 0xbd, 0x77, 0x00 })->isEqual(value(text.get(), "data")));
    auto strings = readDictionary(corpusFile("openstep-strings.strings"));
    ASSERT_TRUE(strings);
    EXPECT_EQ(NSPropertyListSummary(strings.get()), "{key = \"value\"; other = \"thing\"}");
}

TEST(PropertyListReading, ValuesAtTheEdgesOfTheirTypesComeThroughExactly)
{
    AutoreleasePool pool;
    auto edges = readDictionary(corpusFile("xml-edges.plist"));
    ASSERT_TRUE(edges);
    EXPECT_EQ(dateSeconds(edges.get(), "first day"), -63113904000.0);
    EXPECT_EQ(dateSeconds(edges.get(), "1900"), -3187296000.0);
    EXPECT_EQ(dateSeconds(edges.get(), "before 1901-12-13"), -3125790849.0);
    EXPECT_EQ(dateSeconds(edges.get(), "after 2038-01-19"), 1169176448.0);
    EXPECT_EQ(dateSeconds(edges.get(), "far future"), 252423993599.0);
    EXPECT_EQ(dateSeconds(edges.get(), "before year one"), -211845067200.0);
    EXPECT_EQ(dateSeconds(edges.get(), "geological"), static_cast<double>(3895919901780249600LL));

    EXPECT_EQ(number(edges.get(), "uint64 max")->kind(), NSNumber::Kind::UnsignedInteger);
    EXPECT_EQ(number(edges.get(), "uint64 max")->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_FALSE(number(edges.get(), "uint64 max")->isEqual(NSNumber::numberWithInteger(-1).ptr()));
    EXPECT_EQ(number(edges.get(), "int64 min")->longLongValue(), INT64_MIN);
    EXPECT_EQ(number(edges.get(), "hex")->longLongValue(), 127);
    EXPECT_EQ(number(edges.get(), "infinite")->doubleValue(), HUGE_VAL);
    EXPECT_EQ(number(edges.get(), "tiny")->doubleValue(), 4.9406564584124654e-324);
    EXPECT_TRUE(CFKeyedArchiverUID::create(7)->isEqual(value(edges.get(), "uid")));
    EXPECT_EQ(static_cast<NSString*>(value(edges.get(), "escapes"))->string(), "<a & b> \xC3\xA9\xC3\xA9 \xF0\x9D\x84\x9E");
    EXPECT_EQ(static_cast<NSString*>(value(edges.get(), "cdata"))->string(), "<not a tag> & stuff");
    EXPECT_EQ(static_cast<NSString*>(value(edges.get(), "carriage"))->string(), "one\rtwo");

    // Sixteen bytes in the binary form, as other writers store integers
    // past 2^63 - 1: unsigned, which -1 read through the same bits is not.
    auto binary = readDictionary(corpusFile("binary-types.bplist"));
    ASSERT_TRUE(binary);
    EXPECT_EQ(number(binary.get(), "uint64 max")->kind(), NSNumber::Kind::UnsignedInteger);
    EXPECT_EQ(number(binary.get(), "uint64 max")->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_EQ(number(binary.get(), "int64 min")->longLongValue(), INT64_MIN);
    EXPECT_EQ(static_cast<NSString*>(value(binary.get(), "nul inside"))->view(), std::string_view("before\0after", 12));
    EXPECT_TRUE(CFKeyedArchiverUID::create(300)->isEqual(value(binary.get(), "uid")));
    EXPECT_EQ(NSPropertyListSummary(value(binary.get(), "archive")), "{$objects = (uid(0), \"x\"); $top = {root = uid(1)}}");
    // A one-byte string's bytes above 0x7F are Latin-1: "café".
    const char latin1[] = "bplist00\x54"
                          "caf\xE9"
                          "\x08" // the offset table
                          "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x0D";
    auto cafe = NSPropertyListFromBytes(std::string_view(latin1, sizeof latin1 - 1));
    ASSERT_TRUE(cafe);
    EXPECT_EQ(static_cast<NSString*>(cafe.get())->string(), "caf\xC3\xA9");

    auto dates = readDictionary(corpusFile("binary-dates.bplist"));
    ASSERT_TRUE(dates);
    EXPECT_EQ(dateSeconds(dates.get(), "largest"), DBL_MAX);
    EXPECT_EQ(dateSeconds(dates.get(), "smallest"), -DBL_MAX);
    EXPECT_EQ(dateSeconds(dates.get(), "half a second"), 0.5);
    EXPECT_EQ(dateSeconds(dates.get(), "1932"), -2147483649.0);
    EXPECT_EQ(dateSeconds(dates.get(), "2069"), 2147483648.0);

    // Everything comes back unchanged through a file, in whichever form
    // holds it.
    for (auto* dictionary : { edges.get(), binary.get(), dates.get() }) {
        auto again = throughFile(dictionary);
        ASSERT_TRUE(again);
        EXPECT_TRUE(dictionary->isEqual(again.get())) << NSPropertyListSummary(again.get());
    }
}

TEST(PropertyListWriting, XMLUnlessAValueNeedsTheBinaryForm)
{
    AutoreleasePool pool;
    auto plain = NSMutableDictionary::create();
    plain->setObjectForKey(NSNumber::numberWithBool(NO).ptr(), "enableTorch"_ns);
    plain->setObjectForKey(NSString::create("line\r\nend <&>").ptr(), "text"_ns);
    plain->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(252423993599).ptr(), "last second of 9999"_ns);
    plain->setObjectForKey(NSNumber::numberWithUnsignedLongLong(UINT64_MAX).ptr(), "big"_ns);
    plain->setObjectForKey(CFKeyedArchiverUID::create(12).ptr(), "uid"_ns);
    auto xml = NSPropertyListFileBytes(plain.ptr());
    ASSERT_TRUE(xml);
    EXPECT_TRUE(xml->starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
    EXPECT_NE(xml->find("<string>line&#13;\nend &lt;&amp;&gt;</string>"), std::string::npos) << *xml;
    EXPECT_NE(xml->find("<integer>18446744073709551615</integer>"), std::string::npos);
    EXPECT_NE(xml->find("<date>9999-12-31T23:59:59Z</date>"), std::string::npos);
    EXPECT_NE(xml->find("<dict>\n\t\t<key>CF$UID</key>\n\t\t<integer>12</integer>\n\t</dict>"), std::string::npos) << *xml;
    EXPECT_TRUE(plain->isEqual(NSPropertyListFromBytes(*xml).get()));

    // Values XML cannot hold exactly, or not as other readers take them: a
    // fraction of a second, a year outside 1 to 9999, characters XML does
    // not allow, half a surrogate pair.
    const std::pair<const char*, Ref<Object>> needBinary[] = {
        { "fraction", NSDate::dateWithTimeIntervalSinceReferenceDate(0.25) },
        { "year 10000", NSDate::dateWithTimeIntervalSinceReferenceDate(252423993600) },
        { "year 0", NSDate::dateWithTimeIntervalSinceReferenceDate(-63113904001) },
        { "long ago", NSDate::dateWithTimeIntervalSinceReferenceDate(-1e300) },
        { "nul", NSString::create(std::string_view("a\0b", 3)) },
        { "control", NSString::create("bell\a") },
        { "half pair", NSString::create("\xED\xA0\x80") },
    };
    for (const auto& [key, item] : needBinary) {
        auto dictionary = NSDictionary::create({ entry(key, item) });
        EXPECT_FALSE(NSPropertyListXML(dictionary.ptr())) << key;
        auto bytes = NSPropertyListFileBytes(dictionary.ptr());
        ASSERT_TRUE(bytes && bytes->starts_with("bplist00")) << key;
        EXPECT_TRUE(dictionary->isEqual(NSPropertyListFromBytes(*bytes).get())) << key;
    }

    // Half a surrogate pair in a binary string comes back as the same code
    // unit; a whole pair stays a pair.
    const char halfPair[] = "bplist00\x61\xD8\x00" // one string of one UTF-16 unit, 0xD800
                            "\x08"                 // the offset table
                            "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x0B";
    auto read = NSPropertyListFromBytes(std::string_view(halfPair, sizeof halfPair - 1));
    ASSERT_TRUE(read);
    auto again = NSPropertyListBinary(read.get());
    ASSERT_TRUE(again);
    EXPECT_NE(again->find(std::string("\x61\xD8\x00", 3)), std::string::npos);
}

TEST(PropertyListWriting, DatesRoundTripAcrossTheWholeDoubleRange)
{
    AutoreleasePool pool;
    // The days around calendar edges, then whole seconds of every size.
    std::vector<double> seconds = { 0, -1, 1, -978307200, -26481600, 951825600 - 978307200, -63113904000, -63113904001, -63145526400,
        1e15, -1e15, 0x1p53, -0x1p53, 0x1p63, 0x1p64, 1e300, -1e300, DBL_MAX, -DBL_MAX };
    std::mt19937_64 random(13);
    for (int i = 0; i < 2000; ++i) {
        double value = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 1020) - 53);
        seconds.push_back(std::floor(i % 2 ? -value : value));
    }
    // The XML form's text reads back as the same date, whatever the year;
    // a file holds it as XML only in the years other readers take.
    auto text = [](double value) { return NSPropertyListSummary(NSDate::dateWithTimeIntervalSinceReferenceDate(value).ptr()); };
    for (double value : seconds) {
        auto read = NSPropertyListFromBytes("<plist><date>" + text(value) + "</date></plist>");
        ASSERT_TRUE(read && class_isSubclassOf(read->isa(), NSDate::staticClass())) << text(value);
        EXPECT_EQ(static_cast<NSDate*>(read.get())->timeIntervalSinceReferenceDate(), value) << text(value);

        auto dictionary = NSDictionary::create({ entry("d", NSDate::dateWithTimeIntervalSinceReferenceDate(value)) });
        bool fourDigitYear = value >= -63113904000 && value <= 252423993599;
        EXPECT_EQ(NSPropertyListXML(dictionary.ptr()).has_value(), fourDigitYear) << text(value);
        auto again = throughFile(dictionary.ptr());
        ASSERT_TRUE(again);
        EXPECT_TRUE(dictionary->isEqual(again.get())) << text(value);
    }
    EXPECT_EQ(text(0), "2001-01-01T00:00:00Z");
    EXPECT_EQ(text(-978307200), "1970-01-01T00:00:00Z");
    EXPECT_EQ(text(-26481600), "2000-02-29T12:00:00Z");
    EXPECT_EQ(text(-63113904000), "0001-01-01T00:00:00Z");
    EXPECT_EQ(text(-63113904001), "0000-12-31T23:59:59Z");
    EXPECT_EQ(text(-211845067200), "-4713-11-24T12:00:00Z");
}

TEST(PropertyListReading, MalformedAndHostileInputIsRefusedWhole)
{
    AutoreleasePool pool;
    for (const char* name : { "bad-garbage.plist", "bad-truncated.bplist", "bad-truncated.plist", "bad-unknown-element.plist", "bad-cycle.bplist",
             "bad-unfolds.bplist", "bad-unfolds-20.bplist" })
        EXPECT_FALSE(NSPropertyListFromBytes(corpusFile(name))) << name;

    const char* malformed[] = {
        "",
        "   ",
        "<plist version=\"1.0\"></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><integer>12x</integer></plist>",
        "<plist><integer>18446744073709551616</integer></plist>",
        "<plist><integer>-9223372036854775809</integer></plist>",
        "<plist><integer></integer></plist>",
        "<plist><real>one</real></plist>",
        "<plist><date>2001-13-01T00:00:00Z</date></plist>",
        "<plist><date>2001-01-01 00:00:00</date></plist>",
        "<plist><data>AB$C</data></plist>",
        "<plist><string>&unknown;</string></plist>",
        "<plist><string>&#xD800;</string></plist>",
        "<plist><string>a<b/>c</string></plist>",
        "<plist><true>yes</true></plist>",
        "<plist><string>bad \xC3\x28 UTF-8</string></plist>",
        "<plist><dict/></plist> trailing",
        "\xFE\xFF\x00<\x00p",
        "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><plist><dict/></plist>",
        "{ a = b; ",
        "{ a = <0f1>; }",
        "bplist00",
    };
    for (const char* bytes : malformed)
        EXPECT_FALSE(NSPropertyListFromBytes(bytes)) << bytes;

    // Deep nesting is refused before it can exhaust the stack.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    EXPECT_FALSE(NSPropertyListFromBytes("<plist>" + deep + "</plist>"));
    std::string nested(100000, '(');
    EXPECT_FALSE(NSPropertyListFromBytes(nested));

    // Every prefix of a binary file: refused or read, never a crash.
    std::string binary = corpusFile("binary-types.bplist");
    for (size_t length = 0; length < binary.size(); ++length)
        NSPropertyListFromBytes(std::string_view(binary).substr(0, length));
}

TEST(PropertyListReading, SharedValuesAreReadUnlessTheyUnfoldToManyTimesTheFilesSize)
{
    AutoreleasePool pool;
    // As another writer shares equal keys and values: a list of 2,000
    // dictionaries of the same four keys and values.
    constexpr size_t kRecords = 2000;
    std::vector<std::string> objects;
    std::string array = "\xAF\x11" + bigEndian(kRecords, 2);
    for (size_t i = 0; i < kRecords; ++i)
        array += bigEndian(1 + i, 2);
    objects.push_back(array);
    size_t shared = 1 + kRecords;
    for (size_t i = 0; i < kRecords; ++i) {
        std::string record = "\xD4";
        for (size_t k = 0; k < 8; ++k)
            record += bigEndian(shared + k, 2);
        objects.push_back(record);
    }
    for (std::string key : { "enableTorch", "torchValue", "rightBtn", "name" })
        objects.push_back(static_cast<char>(0x50 | key.size()) + key);
    objects.emplace_back("\x09");
    objects.push_back("\x23" + bigEndian(std::bit_cast<uint64_t>(0.5), 8));
    objects.emplace_back("\x08");
    objects.emplace_back("\x5F\x10\x1D"
                         "the same name in every record");
    auto read = NSPropertyListFromBytes(binaryList(objects, 2));
    ASSERT_TRUE(read && class_isSubclassOf(read->isa(), NSArray::staticClass()));
    auto* records = static_cast<NSArray*>(read.get());
    ASSERT_EQ(records->count(), kRecords);
    EXPECT_EQ(NSPropertyListSummary(records->objects().back().get()),
        "{enableTorch = true; torchValue = 0.5; rightBtn = false; name = \"the same name in every record\"}");

    // Arrays that double at each level: some tens of kilobytes written out
    // are read, whatever the file's size; much more is read only from a
    // file not many times smaller.
    EXPECT_TRUE(NSPropertyListFromBytes(doublingArrays(10)));
    for (int levels : { 13, 20, 40 })
        EXPECT_FALSE(NSPropertyListFromBytes(doublingArrays(levels))) << levels;
    EXPECT_TRUE(NSPropertyListFromBytes(doublingArrays(13, 16 << 10)));
}

TEST(PropertyListFiles, OnlyRegularFilesAreReadAndNothingBlocks)
{
    AutoreleasePool pool;
    TemporaryDeviceRoot root;
    auto folder = root.host("/var/mobile/Library/Preferences");
    ASSERT_EQ(::mkfifo((folder / "fifo.plist").c_str(), 0644), 0);
    std::filesystem::create_directory(folder / "folder.plist");
    // A FIFO would block the reading open until a writer came.
    bool ok = testing_support::runInChildProcess([&] {
        ::alarm(10);
        EXPECT_FALSE(NSPropertyListReadHostFile(folder / "fifo.plist"));
        EXPECT_FALSE(NSPropertyListReadHostFile(folder / "folder.plist"));
        EXPECT_FALSE(NSPropertyListReadHostFile(folder / "missing.plist"));
        EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/fifo.plist"_ns));
    });
    EXPECT_TRUE(ok);
}

TEST(PropertyListFiles, AnAtomicWriteClearsOnlyTheTemporariesNoWriterHolds)
{
    AutoreleasePool pool;
    TemporaryDeviceRoot root;
    auto folder = root.host("/var/mobile/Library/Preferences");
    auto target = folder / "com.QV.Lumora.plist";
    auto make = [&](const std::string& name, bool old) {
        std::ofstream(folder / name) << "partial";
        if (old) {
            timespec times[2] = { { 0, UTIME_OMIT }, { ::time(nullptr) - 60, 0 } };
            ::utimensat(AT_FDCWD, (folder / name).c_str(), times, 0);
        }
    };
    make("com.QV.Lumora.plist.a1B2c3.saving", true);  // a killed writer's
    make("com.QV.Lumora.plist.Zz9yY8.saving", false); // a writer that just began
    make("com.QV.Lumora.plist.Held00.saving", true);  // a slow writer's, locked
    make("com.QV.Lumora.plist.backup", true);         // the user's own
    make("other.plist.a1B2c3.saving", true);          // another file's
    int held = ::open((folder / "com.QV.Lumora.plist.Held00.saving").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(NSWriteHostFile(target, "<plist><dict/></plist>", true));
    ::close(held);
    std::set<std::string> left;
    for (const auto& file : std::filesystem::directory_iterator(folder))
        left.insert(file.path().filename().string());
    EXPECT_EQ(left,
        (std::set<std::string> { "com.QV.Lumora.plist", "com.QV.Lumora.plist.Zz9yY8.saving", "com.QV.Lumora.plist.Held00.saving",
            "com.QV.Lumora.plist.backup", "other.plist.a1B2c3.saving" }));
}

TEST(Collections, DictionariesFindKeysByValueAndKeepTheirOrderThroughRemovals)
{
    AutoreleasePool pool;
    auto dictionary = NSMutableDictionary::create();
    for (int i = 0; i < 1000; ++i)
        dictionary->setObjectForKey(NSNumber::numberWithInteger(i).ptr(), NSString::stringWithFormat("key%d", i).ptr());
    for (int i = 0; i < 1000; i += 3)
        dictionary->removeObjectForKey(NSString::stringWithFormat("key%d", i).ptr());
    dictionary->setObjectForKey("again"_ns, NSString::create("key1").ptr());
    EXPECT_EQ(dictionary->count(), 666u);
    int expected = 1;
    for (const auto& item : dictionary->entries()) {
        EXPECT_EQ(static_cast<NSString*>(item.key.ptr())->string(), "key" + std::to_string(expected));
        expected += expected % 3 == 1 ? 1 : 2;
    }
    EXPECT_EQ(dictionary->objectForKey("key1"_ns), "again"_ns);
    EXPECT_EQ(static_cast<NSNumber*>(dictionary->objectForKey("key998"_ns))->integerValue(), 998);
    EXPECT_EQ(dictionary->objectForKey("key999"_ns), nullptr);
    // Numbers and strings are different keys.
    dictionary->setObjectForKey("number"_ns, NSNumber::numberWithInteger(1).ptr());
    EXPECT_EQ(dictionary->objectForKey(NSNumber::numberWithInteger(1).ptr()), "number"_ns);
    EXPECT_EQ(dictionary->objectForKey("1"_ns), nullptr);
    dictionary->removeAllObjects();
    EXPECT_EQ(dictionary->objectForKey("key1"_ns), nullptr);
}

// MARK: Agreement with libplist

namespace {

// What libplist can hold exactly: strings without NUL, integers below 2^63,
// whole-second dates in 32 bits, and the rest.
Ref<Object> randomValue(std::mt19937& random, int depth)
{
    int kind = static_cast<int>(random() % (depth < 4 ? 9 : 6));
    switch (kind) {
    case 0:
        return NSNumber::numberWithBool(random() % 2);
    case 1:
        return NSNumber::numberWithInteger(static_cast<NSInteger>((static_cast<uint64_t>(random()) << 31 | random()) >> (random() % 62)));
    case 2:
        return NSNumber::numberWithDouble(std::ldexp(static_cast<double>(random()), static_cast<int>(random() % 200) - 100));
    case 3: {
        static const char* pieces[] = { "a", "Z", " ", "\xC3\xA9", "\xE2\x9C\x93", "\xF0\x9F\x94\xA6", "<", "&", "\n", "0" };
        std::string text;
        for (unsigned i = random() % 12; i > 0; --i)
            text += pieces[random() % std::size(pieces)];
        return NSString::create(text);
    }
    case 4: {
        std::vector<uint8_t> bytes(random() % 40);
        for (auto& byte : bytes)
            byte = static_cast<uint8_t>(random());
        return NSData::create(std::move(bytes));
    }
    case 5:
        return NSDate::dateWithTimeIntervalSinceReferenceDate(static_cast<int32_t>(random()));
    case 6:
    case 7: {
        std::vector<RefPtr<Object>> items;
        for (unsigned i = random() % 5; i > 0; --i)
            items.emplace_back(randomValue(random, depth + 1));
        return NSArray::create(std::move(items));
    }
    default: {
        auto dictionary = NSMutableDictionary::create();
        for (unsigned i = random() % 5; i > 0; --i)
            dictionary->setObjectForKey(randomValue(random, depth + 1).ptr(), NSString::stringWithFormat("k%u", random() % 1000).ptr());
        return dictionary;
    }
    }
}

RefPtr<Object> fromLibplist(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return NSNumber::numberWithBool(flag);
    }
    case PLIST_UINT: {
        uint64_t integer = 0;
        plist_get_uint_val(node, &integer);
        return NSNumber::numberWithInteger(static_cast<NSInteger>(integer));
    }
    case PLIST_REAL: {
        double real = 0;
        plist_get_real_val(node, &real);
        return NSNumber::numberWithDouble(real);
    }
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        auto string = NSString::create(text);
        std::free(text);
        return string;
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        auto data = NSData::create(std::vector<uint8_t>(bytes, bytes + length));
        std::free(bytes);
        return data;
    }
    case PLIST_DATE: {
        int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return NSDate::dateWithTimeIntervalSinceReferenceDate(seconds + microseconds / 1e6);
    }
    case PLIST_ARRAY: {
        std::vector<RefPtr<Object>> items;
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            items.push_back(fromLibplist(plist_array_get_item(node, i)));
        return NSArray::create(std::move(items));
    }
    case PLIST_DICT: {
        auto dictionary = NSMutableDictionary::create();
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (!key)
                break;
            dictionary->setObjectForKey(fromLibplist(item).get(), NSString::create(key).ptr());
            std::free(key);
        }
        std::free(iterator);
        return dictionary;
    }
    default:
        return nullptr;
    }
}

plist_t toLibplist(Object* value)
{
    Class cls = value->isa();
    if (class_isSubclassOf(cls, NSString::staticClass()))
        return plist_new_string(static_cast<NSString*>(value)->UTF8String());
    if (class_isSubclassOf(cls, NSNumber::staticClass())) {
        auto* number = static_cast<NSNumber*>(value);
        if (number->kind() == NSNumber::Kind::Bool)
            return plist_new_bool(number->boolValue());
        if (number->kind() == NSNumber::Kind::Integer)
            return plist_new_uint(static_cast<uint64_t>(number->integerValue()));
        return plist_new_real(number->doubleValue());
    }
    if (class_isSubclassOf(cls, NSData::staticClass())) {
        const auto& bytes = static_cast<NSData*>(value)->bytes();
        return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    if (class_isSubclassOf(cls, NSDate::staticClass()))
        return plist_new_date(static_cast<int32_t>(static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate()), 0);
    if (class_isSubclassOf(cls, NSDictionary::staticClass())) {
        plist_t dictionary = plist_new_dict();
        for (const auto& item : static_cast<NSDictionary*>(value)->entries())
            plist_dict_set_item(dictionary, static_cast<NSString*>(item.key.ptr())->UTF8String(), toLibplist(item.value.ptr()));
        return dictionary;
    }
    plist_t array = plist_new_array();
    for (const auto& item : *static_cast<NSArray*>(value))
        plist_array_append_item(array, toLibplist(item.get()));
    return array;
}

} // namespace

TEST(PropertyListReading, AgreesWithLibplistOnTheValuesBothHold)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        AutoreleasePool pool;
        auto dictionary = NSMutableDictionary::create();
        for (unsigned i = random() % 8 + 1; i > 0; --i)
            dictionary->setObjectForKey(randomValue(random, 1).ptr(), NSString::stringWithFormat("key%u", i).ptr());

        // libplist writes, this platform reads (binary: libplist's XML
        // writer rounds reals).
        plist_t node = toLibplist(dictionary.ptr());
        char* bytes = nullptr;
        uint32_t length = 0;
        plist_to_bin(node, &bytes, &length);
        auto read = NSPropertyListFromBytes(std::string_view(bytes, length));
        plist_to_bin_free(bytes);
        plist_free(node);
        ASSERT_TRUE(read) << NSPropertyListSummary(dictionary.ptr());
        EXPECT_TRUE(dictionary->isEqual(read.get())) << NSPropertyListSummary(dictionary.ptr()) << "\n"
                                                     << NSPropertyListSummary(read.get());

        // This platform writes, libplist reads.
        for (bool binary : { false, true }) {
            auto written = binary ? NSPropertyListBinary(dictionary.ptr()) : NSPropertyListXML(dictionary.ptr());
            ASSERT_TRUE(written);
            plist_t parsed = nullptr;
            plist_from_memory(written->data(), static_cast<uint32_t>(written->size()), &parsed);
            ASSERT_TRUE(parsed) << *written;
            auto back = fromLibplist(parsed);
            plist_free(parsed);
            EXPECT_TRUE(dictionary->isEqual(back.get())) << (binary ? "binary\n" : "XML\n") << NSPropertyListSummary(dictionary.ptr()) << "\n"
                                                         << NSPropertyListSummary(back.get());
        }
    }
}
