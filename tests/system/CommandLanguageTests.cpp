// The simulator's command language: lines matched to the table's rows and
// their arguments checked, the help made from the table, and the runner
// reporting bad lines and failed process calls instead of going on.
#include "host/CommandTable.h"
#include "host/Runner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

using namespace camera;
using testing_support::runInChildProcess;

namespace {

std::string resolvedName(const std::string& line)
{
    auto resolved = resolveCommand(line);
    return resolved.row ? resolved.row->name : "error: " + resolved.error;
}

size_t openDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Process calls that fail on demand.
bool failForks = false;
bool failSocketPairs = false;

pid_t failingFork()
{
    if (failForks) {
        errno = EAGAIN;
        return -1;
    }
    return ::fork();
}

int failingSocketPair(int domain, int type, int protocol, int sockets[2])
{
    if (failSocketPairs) {
        errno = EMFILE;
        return -1;
    }
    return ::socketpair(domain, type, protocol, sockets);
}

RunnerOptions optionsFor(const testing_support::TemporaryDeviceRoot& root)
{
    RunnerOptions options;
    options.root = root.path();
    options.device = defaultDeviceSource();
    options.executable = testing_support::binFolder() / "Camera";
    options.fork = failingFork;
    options.socketpair = failingSocketPair;
    return options;
}

} // namespace

TEST(CommandLanguage, EveryRowIsReachableHasAHandlerAndIsListed)
{
    std::set<std::string> usages;
    std::string help = commandHelp();
    for (const auto& row : commandRows()) {
        if (row.kind == CommandRow::Kind::Section) {
            EXPECT_NE(help.find(std::string(row.name) + ":"), std::string::npos) << row.name;
            continue;
        }
        EXPECT_TRUE(row.kind == CommandRow::Kind::Device ? row.onDevice != nullptr : row.onCamera != nullptr) << row.name;
        EXPECT_TRUE(row.generations) << row.name;
        std::string usage = std::string(row.name) + (*row.arguments ? std::string(" ") + row.arguments : "");
        EXPECT_TRUE(usages.insert(usage).second) << "listed twice: " << usage;
        EXPECT_NE(help.find("  " + usage), std::string::npos) << usage;
    }
    // Only rows that start with the filter.
    std::string tapHelp = commandHelp("tap");
    EXPECT_NE(tapHelp.find("tap dot"), std::string::npos);
    EXPECT_NE(tapHelp.find("tap outside"), std::string::npos);
    EXPECT_EQ(tapHelp.find("slider"), std::string::npos);
    EXPECT_EQ(commandHelp("frobnicate"), "");
}

TEST(CommandLanguage, TheLongestNameWinsAndRowsOfOneNameAreTriedInTurn)
{
    EXPECT_EQ(resolvedName("camera front"), "camera");
    EXPECT_EQ(resolvedName("camera flash-update"), "camera flash-update");
    EXPECT_EQ(resolvedName("expect dot shown"), "expect dot");
    EXPECT_EQ(resolvedName("expect dot ring width 3"), "expect dot ring");
    EXPECT_EQ(resolvedName("  torch thermal 0.5   # hot"), "torch thermal");
    EXPECT_EQ(resolvedName("torch thermal none"), "torch thermal");
    EXPECT_EQ(resolvedName("settings hide rows"), "settings hide rows");
    EXPECT_EQ(resolvedName("settings show grid pano"), "settings show");
    EXPECT_EQ(resolvedName("settings show"), "settings show");
    EXPECT_EQ(resolvedName("expect torch on"), "expect torch on");

    auto row = resolveCommand("expect row level alpha 0.5");
    ASSERT_TRUE(row.row);
    EXPECT_STREQ(row.row->arguments, "mode|level alpha A");
    EXPECT_DOUBLE_EQ(row.arguments.number(2), 0.5);

    // The rest of a line keeps its spaces.
    auto pref = resolveCommand("prefs set name string two  words ");
    ASSERT_TRUE(pref.row);
    EXPECT_EQ(pref.arguments.word(0), "name");
    EXPECT_EQ(pref.arguments.rest(2), "two  words");

    // Nothing to do.
    for (const char* line : { "", "   ", "# a comment" }) {
        auto nothing = resolveCommand(line);
        EXPECT_FALSE(nothing.row);
        EXPECT_EQ(nothing.error, "");
    }
}

TEST(CommandLanguage, BadLinesSayWhatIsWrong)
{
    auto error = [](const std::string& line) { return resolveCommand(line).error; };
    EXPECT_EQ(error("frobnicate"), "unknown command (help lists the commands)");
    EXPECT_EQ(error("tap"), "not a whole command (help tap lists the commands that start so)");
    EXPECT_EQ(error("slider"), "missing LEVEL (usage: slider LEVEL)");
    EXPECT_EQ(error("slider half"), "LEVEL must be a number, not 'half' (usage: slider LEVEL)");
    EXPECT_EQ(error("slider nan"), "LEVEL must be a number, not 'nan' (usage: slider LEVEL)");
    EXPECT_EQ(error("slider 0.5 0.6"), "unexpected '0.6' (usage: slider LEVEL)");
    EXPECT_EQ(error("burst 2.5"), "N must be a whole number, not '2.5' (usage: burst N)");
    EXPECT_EQ(error("switch maybe"), "'maybe' is not one of: on, off (usage: switch on|off)");
    EXPECT_EQ(error("torch thermal hot"), "LEVEL must be a number or none, not 'hot' (usage: torch thermal LEVEL|none)");
    // Numbers in frames are numbers through and through.
    EXPECT_EQ(error("expect dot frame 1 2 3x 4"), "W must be a number, not '3x' (usage: expect dot frame X Y W H)");
    EXPECT_EQ(error("expect popover frame 1 2 3"), "missing H (usage: expect popover frame X Y W H)");
    // Of several rows, the one that got furthest explains.
    EXPECT_EQ(error("expect row mode y high"),
        "Y must be a number, not 'high' (usage: expect row mode|level hidden|shown | expect row mode|level y Y | expect row mode|level alpha A)");
}

TEST(ScenarioRunner, BadLinesEndTheRunWithStatus2AndKeepTheDevice)
{
    EXPECT_TRUE(runInChildProcess([] {
        testing_support::TemporaryDeviceRoot root;
        struct Case {
            const char* line;
            int status;
        };
        for (Case test : { Case { "frobnicate", 2 }, { "slider 2x", 2 }, { "settings show", 2 }, { "expect global prevent set", 2 },
                 { "wait -1", 2 }, { "expect dot ring hidden", 1 }, { "expect slider value 0.5", 1 } }) {
            Runner runner(optionsFor(root));
            ASSERT_EQ(runner.boot(), "");
            std::istringstream script(std::string("device ios=9.0\nprefs set enableTorch bool true\nlaunch\n") + test.line + "\nprefs clear\n");
            EXPECT_EQ(runner.run(script, "test"), test.status) << test.line;
            EXPECT_FALSE(runner.cameraRunning());
            EXPECT_NE(root.readFile("/var/mobile/Library/Preferences/com.QV.Lumora.plist").find("enableTorch"), std::string::npos);
        }
    }));
}

TEST(ScenarioRunner, IOS6RunsOnlyWhereTheBuildHasItsDevices)
{
    EXPECT_TRUE(runInChildProcess([] {
        testing_support::TemporaryDeviceRoot root;
        Runner runner(optionsFor(root));
        ASSERT_EQ(runner.boot(), "");
        for (const char* line : { "device ios=6.1", "device ios=6.0 cf=792.99", "device cf=793.0" }) {
            auto result = runner.execute(line);
            if (LUMORA_HAS_IOS6) {
                EXPECT_TRUE(result.isOk()) << line << ": " << result.message;
            } else {
                // No 64-bit device ever ran iOS 6: the scenario stops there.
                EXPECT_EQ(result.status, CommandResult::Status::Error) << line;
                EXPECT_EQ(result.message, "iOS 6 ran only on 32-bit devices: use the armhf build") << line;
            }
        }
        EXPECT_TRUE(runner.execute("device ios=7.0 cf=793.01").isOk());
    }));
}

TEST(ScenarioRunner, FailedProcessCallsAreErrorsNotHangs)
{
    EXPECT_TRUE(runInChildProcess([] {
        testing_support::TemporaryDeviceRoot root;
        Runner runner(optionsFor(root));
        ASSERT_EQ(runner.boot(), "");
        size_t descriptors = openDescriptors();

        failSocketPairs = true;
        auto result = runner.execute("launch");
        EXPECT_EQ(result.status, CommandResult::Status::Error);
        EXPECT_NE(result.message.find("socketpair"), std::string::npos) << result.message;
        failSocketPairs = false;
        EXPECT_FALSE(runner.cameraRunning());

        failForks = true;
        result = runner.execute("launch");
        EXPECT_EQ(result.status, CommandResult::Status::Error);
        EXPECT_NE(result.message.find("fork"), std::string::npos) << result.message;
        EXPECT_FALSE(runner.cameraRunning());
        EXPECT_EQ(runner.execute("expect running").status, CommandResult::Status::Failed);
        // Neither end of the channel is left open.
        EXPECT_EQ(openDescriptors(), descriptors);

        // The settings editor cannot start either, while a Camera runs: the
        // runner says so instead of waiting on the Camera.
        failForks = false;
        EXPECT_TRUE(runner.execute("launch").isOk());
        failForks = true;
        result = runner.execute("editor set enableTorch bool true");
        EXPECT_EQ(result.status, CommandResult::Status::Error);
        EXPECT_NE(result.message.find("settings editor"), std::string::npos) << result.message;
        failForks = false;
        EXPECT_TRUE(runner.execute("expect running").isOk());
        runner.shutDown();
        EXPECT_EQ(openDescriptors(), descriptors);
    }));
}

TEST(ScenarioRunner, TheSettingsEditorsRefusalSaysWhy)
{
    EXPECT_TRUE(runInChildProcess([] {
        testing_support::TemporaryDeviceRoot root;
        Runner runner(optionsFor(root));
        ASSERT_EQ(runner.boot(), "");
        auto result = runner.execute("editor set torchValue float abc");
        EXPECT_EQ(result.status, CommandResult::Status::Error);
        EXPECT_EQ(result.message, "the settings editor failed (exited with status 2): not a number: \"abc\"");
        EXPECT_TRUE(runner.execute("editor --quiet set torchValue float 0.5").isOk());
    }));
}
