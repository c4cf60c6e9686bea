// The iOS 9 module as a library: its exports, and its hook table against
// the camera's classes.
#include "foundation/NSException.h"
#include "host/Families.h"
#include "ios6/SettingsRows.h"
#include "ios7/HookTable.h"
#include "ios8/HookTable.h"
#include "ios9/HookTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

std::set<std::string> exportedSymbols(const std::filesystem::path& library)
{
    std::set<std::string> symbols;
    std::string command = LUMORA_NM " -D --defined-only '" + library.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        auto name = text.substr(text.find_last_of(' ') + 1);
        name.erase(name.find_last_not_of("\n") + 1);
        symbols.insert(name);
    }
    ::pclose(pipe);
    return symbols;
}

} // namespace

TEST(Modules, ExportExactlyTheirListedSymbols)
{
    auto package = testing_support::packageRoot();
    auto modules = package / "Library/Application Support/Lumora";
    std::set<std::string> module = { "PREF_PATH", "PreferencesNotification", "kLMEnabledKey", "kLMTorchKey", "kLMTorchVal", "kRightBtnKey",
        "kAnimInterval", "btn", "vc", "tb", "popover", "ds" };
    EXPECT_EQ(exportedSymbols(modules / "LumoraiOS9.dylib"), module);
    EXPECT_EQ(exportedSymbols(modules / "LumoraiOS8.dylib"), module);
    module.insert("prevent");
    EXPECT_EQ(exportedSymbols(modules / "LumoraiOS7.dylib"), module);
    if (LUMORA_HAS_IOS6) {
        EXPECT_EQ(exportedSymbols(modules / "LumoraiOS6.dylib"),
            (std::set<std::string> { "PREF_PATH", "PreferencesNotification", "kLMEnabledKey", "kLMTorchKey", "kLMTorchVal", "kRightBtnKey", "kAnimInterval" }));
    } else {
        EXPECT_FALSE(std::filesystem::exists(modules / "LumoraiOS6.dylib"));
    }
    EXPECT_EQ(exportedSymbols(package / "Library/MobileSubstrate/DynamicLibraries/Lumora.dylib"), std::set<std::string>());
}

// Every row's C++ implementation has the signature of the method it adds or
// replaces, so the camera's calls and the module's calls agree; and every
// class and hooked method it names exists on that generation's camera.
void checkHookTable(int generation, std::span<const HookRow> rows, size_t expectedRows, size_t expectedAdded = 5)
{
    bool ok = testing_support::runInChildProcess([&] {
        camera::registerFamily(camera::familyForGeneration(generation));
        ASSERT_EQ(rows.size(), expectedRows);
        size_t added = 0;
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.className) + " " + row.selector);
            Class cls = objc_getClass(row.className);
            ASSERT_NE(cls, nullptr);
            if (row.kind == HookRow::Kind::Added) {
                ++added;
                EXPECT_EQ(class_getMethodTypeEncoding(cls, sel_registerName(row.selector)), nullptr) << "the camera has this method already";
            } else {
                const char* types = class_getMethodTypeEncoding(cls, sel_registerName(row.selector));
                ASSERT_NE(types, nullptr) << "the camera has no such method";
                EXPECT_EQ(row.signature(), types);
            }
        }
        EXPECT_EQ(added, expectedAdded);
    });
    EXPECT_TRUE(ok) << "generation " << generation;
}

TEST(Modules, HookTableSignaturesMatchTheCamerasMethods)
{
    checkHookTable(9, ios9HookTable(), 17);
    checkHookTable(8, ios8HookTable(), 17);
    checkHookTable(7, ios7HookTable(), 16);
    checkHookTable(6, ios6HookTable(), 11, 6);
}

namespace {

// The encodings the added methods are registered with, on each width: BOOL
// is "B" on 64-bit builds and "c" on 32-bit ones, NSInteger "q" and "i".
struct AddedEncoding {
    const char* selector;
    const char* lp64;
    const char* ilp32;
};
constexpr AddedEncoding kAddedEncodings[] = {
    { "ln_shouldHideYellowDot", "B@:", "c@:" },
    { "ln_listTapped:", "v@:@", "v@:@" },
    { "ln_topBarShouldHideYellowDot:", "B@:@", "c@:@" },
    { "ln_shouldHideYellowDotForMode:", "B@:q", "c@:i" },
    { "ln__shouldEnableYellowDot", "B@:", "c@:" },
    { "ToggleMode:", "v@:@", "v@:@" },
    { "SliderDidChange:", "v@:@", "v@:@" },
    { "ln_toggleMode:", "v@:@", "v@:@" },
    { "ln_sliderDidChange:", "v@:@", "v@:@" },
    { "ln_sliderTapped:", "v@:@", "v@:@" },
    { "ln_sliderReleased:", "v@:@", "v@:@" },
};

const AddedEncoding& expectedEncoding(const char* selector)
{
    auto found = std::find_if(std::begin(kAddedEncodings), std::end(kAddedEncodings),
        [&](const AddedEncoding& row) { return std::string_view(row.selector) == selector; });
    EXPECT_NE(found, std::end(kAddedEncodings)) << selector;
    return *found;
}

// A send whose C++ types have another encoding than the method's.
thread_local const char* t_sentEncoding;
std::string sentEncoding() { return t_sentEncoding; }

// Whether a send to an instance of cls with that encoding reaches the method.
bool sendIsAccepted(Class cls, SEL sel, const char* encoding)
{
    t_sentEncoding = encoding;
    objc_detail::SendSignature signature { objc_detail::kUnknownSignatureKeyBits, &sentEncoding };
    try {
        return objc_detail::lookUpMiss(cls, sel, signature, cls) != nullptr;
    } catch (NSException*) {
        return false;
    }
}

void checkRegisteredEncodings(int generation, std::span<const HookRow> rows)
{
    bool ok = testing_support::runInChildProcess([&] {
        camera::registerFamily(camera::familyForGeneration(generation));
        installHookTable(rows);
        for (const auto& row : rows) {
            if (row.kind != HookRow::Kind::Added)
                continue;
            SCOPED_TRACE(std::string(row.className) + " " + row.selector);
            const AddedEncoding& expected = expectedEncoding(row.selector);
            const char* thisWidth = PLATFORM_LP64 ? expected.lp64 : expected.ilp32;
            const char* otherWidth = PLATFORM_LP64 ? expected.ilp32 : expected.lp64;
            Class cls = objc_getClass(row.className);
            SEL sel = sel_registerName(row.selector);
            Method method = class_getInstanceMethod(cls, sel);
            ASSERT_NE(method, nullptr);
            EXPECT_STREQ(method_getTypeEncoding(method), thisWidth);
            EXPECT_TRUE(sendIsAccepted(cls, sel, thisWidth));
            if (std::string_view(otherWidth) != thisWidth) {
                EXPECT_FALSE(sendIsAccepted(cls, sel, otherWidth)) << otherWidth;
            }
        }
    });
    EXPECT_TRUE(ok) << "generation " << generation;
}

} // namespace

TEST(Modules, AddedMethodsCarryTheEncodingsOfTheBuildsWidth)
{
    checkRegisteredEncodings(9, ios9HookTable());
    checkRegisteredEncodings(8, ios8HookTable());
    checkRegisteredEncodings(7, ios7HookTable());
    checkRegisteredEncodings(6, ios6HookTable());
}
