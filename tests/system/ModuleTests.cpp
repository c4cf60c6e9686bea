// The iOS 9 module as a library: its exports, and its hook table against
// the camera's classes.
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
    std::string command = "nm -D --defined-only '" + library.string() + "'";
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
    EXPECT_EQ(exportedSymbols(modules / "LumoraiOS6.dylib"),
        (std::set<std::string> { "PREF_PATH", "PreferencesNotification", "kLMEnabledKey", "kLMTorchKey", "kLMTorchVal", "kRightBtnKey", "kAnimInterval" }));
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
                EXPECT_EQ(row.signature(), row.types);
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
