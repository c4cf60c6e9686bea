// Random scenarios: for each generation, a fixed-seed sequence of commands
// made from the command table (camera actions, device faults, expectations,
// launches and quits, and now and then a malformed line) runs against the
// real Camera. Whatever the order, the Camera never crashes and no torch
// change leaves the capture device locked. A failure prints the scenario
// that reproduces it.
#include "host/CommandTable.h"
#include "host/Runner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <random>
#include <unistd.h>

using namespace camera;

namespace {

constexpr int kMostCommands = 2000;
constexpr auto kTimeBudget = std::chrono::milliseconds(3000);

// Values worth trying for each placeholder.
const std::map<std::string, std::vector<std::string>> kValues = {
    { "LEVEL", { "0.05", "0.1", "0.3", "0.5", "0.95", "1", "1.5" } },
    { "SECONDS", { "0", "0.1", "0.3", "1" } },
    { "N", { "1", "2", "3" } },
    { "X", { "0", "81" } },
    { "Y", { "0", "7" } },
    { "W", { "3", "220" } },
    { "H", { "88", "333" } },
    { "R", { "0", "1" } },
    { "G", { "0", "0.8" } },
    { "B", { "0", "1" } },
    { "A", { "0.55", "1" } },
    { "V", { "0.1", "0.5", "1" } },
    { "MIN", { "0.1" } },
    { "MAX", { "1" } },
    { "KEY", { "enableTorch", "torchValue", "LMEnabled", "rightBtn" } },
    { "TEXT", { "true", "false", "0.5", "1" } },
    { "NAME", { "LumoraiOS9", "none" } },
    { "SETTING=VALUE", { "rear-flash=yes", "rear-flash=no", "front-flash=yes", "front-flash=no" } },
    { "ARG", { "set", "enableTorch", "bool", "true" } },
};

// Rows left out: their output or their cost (a dpkg run) is all they would
// add.
bool leftOut(const CommandRow& row)
{
    std::string name = row.name;
    return name == "help" || name == "screenshot" || name == "device" || name.starts_with("package ");
}

class Generator {
public:
    explicit Generator(int generation, unsigned seed)
        : m_random(seed)
    {
        for (const auto& row : commandRows()) {
            if (row.kind == CommandRow::Kind::Section || leftOut(row))
                continue;
            // Camera commands of other generations are tried too, less often:
            // they must be refused, not crash anything.
            bool applies = row.appliesTo(generation);
            int weight = !applies ? 1 : row.kind == CommandRow::Kind::Device ? 2
                : std::string(row.name).starts_with("expect")                ? 3
                                                                             : 6;
            if (std::string(row.name) == "wait" || std::string(row.name).starts_with("torch"))
                weight *= 2;
            for (int i = 0; i < weight; ++i)
                m_rows.push_back(&row);
        }
    }

    std::string next()
    {
        const CommandRow& row = *pick(m_rows);
        std::string line = row.name;
        for (const auto& token : argumentTokens(row)) {
            if (token.optional && coin(2))
                continue;
            int count = token.repeated ? static_cast<int>(m_random() % 3) + (token.optional ? 0 : 1) : 1;
            for (int i = 0; i < count; ++i)
                line += " " + value(token);
        }
        if (coin(20))
            line = malformed(line);
        return line;
    }

private:
    template <typename T>
    const T& pick(const std::vector<T>& values) { return values[m_random() % values.size()]; }
    bool coin(int oneIn) { return m_random() % static_cast<unsigned>(oneIn) == 0; }

    std::string value(const ArgumentToken& token)
    {
        if (!token.placeholder.empty() && (token.words.empty() || coin(2))) {
            auto values = kValues.find(token.placeholder);
            return values == kValues.end() ? "x" : pick(values->second);
        }
        return pick(token.words);
    }

    std::string malformed(const std::string& line)
    {
        switch (m_random() % 3) {
        case 0:
            return line + " bogus";
        case 1:
            return line.substr(0, line.rfind(' '));
        default:
            return "x" + line;
        }
    }

    std::mt19937 m_random;
    std::vector<const CommandRow*> m_rows;
};

// LUMORA_RANDOM_SCENARIO=FILE keeps the scenario that ran.
void saveScenario(const std::vector<std::string>& scenario)
{
    const char* path = std::getenv("LUMORA_RANDOM_SCENARIO");
    FILE* file = path ? std::fopen(path, "w") : nullptr;
    if (!file)
        return;
    for (const auto& line : scenario)
        std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
}

void runRandomScenario(int generation, const char* version, unsigned seed)
{
    testing_support::TemporaryDeviceRoot root;
    // The traces of both processes (and the settings editor's complaints
    // about random arguments) would drown the test's own report.
    int report = ::dup(STDERR_FILENO);
    int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);

    RunnerOptions options;
    options.root = root.path();
    options.device = defaultDeviceSource();
    options.executable = testing_support::binFolder() / "Camera";
    Runner runner(options);
    ASSERT_EQ(runner.boot(), "");
    std::vector<std::string> scenario = { std::string("device ios=") + version, "prefs set enableTorch bool true", "launch" };
    for (const auto& line : scenario)
        ASSERT_TRUE(runner.execute(line).isOk()) << line;

    auto fail = [&](const std::string& what) {
        std::string text = what + "\nseed " + std::to_string(seed) + "; the scenario that shows it (Camera --keep-going --script FILE):\n";
        for (const auto& line : scenario)
            text += "  " + line + "\n";
        [[maybe_unused]] auto written = ::write(report, text.data(), text.size());
        saveScenario(scenario);
        ADD_FAILURE() << text;
    };

    // Another seed explores further: LUMORA_RANDOM_SEED=N.
    if (const char* chosen = std::getenv("LUMORA_RANDOM_SEED"))
        seed = static_cast<unsigned>(std::strtoul(chosen, nullptr, 10));
    Generator generator(generation, seed);
    bool fingerDown = false;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMostCommands && std::chrono::steady_clock::now() - start < kTimeBudget; ++i) {
        if (!runner.cameraRunning()) {
            if (runner.cameraCrashed())
                return fail("the Camera crashed (" + runner.cameraEnd() + ")");
            scenario.push_back("launch");
            fingerDown = false;
            if (auto result = runner.execute("launch"); !result.isOk())
                return fail("the Camera did not launch again: " + result.message);
        }
        std::string line = generator.next();
        scenario.push_back(line);
        auto result = runner.execute(line);
        if (runner.cameraCrashed())
            return fail("the Camera crashed (" + runner.cameraEnd() + ")");
        // A finger held on iOS 6's level slider holds the device on purpose.
        if (line == "slider press" && result.isOk())
            fingerDown = true;
        if (line == "slider release" || line == "release" || (line == "launch" && result.isOk()))
            fingerDown = false;
        if (runner.cameraRunning() && !fingerDown) {
            auto lock = runner.execute("expect device unlocked");
            if (!lock.isOk())
                return fail("the capture device was left locked: " + lock.message);
        }
    }
    saveScenario(scenario);
}

} // namespace

TEST(RandomScenarios, IOS9)
{
    EXPECT_TRUE(testing_support::runInChildProcess([] { runRandomScenario(9, "9.0", 9); }));
}

TEST(RandomScenarios, IOS8)
{
    EXPECT_TRUE(testing_support::runInChildProcess([] { runRandomScenario(8, "8.4", 8); }));
}

TEST(RandomScenarios, IOS7)
{
    EXPECT_TRUE(testing_support::runInChildProcess([] { runRandomScenario(7, "7.1", 7); }));
}

TEST(RandomScenarios, IOS6)
{
    if (!LUMORA_HAS_IOS6)
        GTEST_SKIP() << "this build's devices do not run iOS 6";
    EXPECT_TRUE(testing_support::runInChildProcess([] { runRandomScenario(6, "6.0", 6); }));
}
