// The settings store against real preference files on a device root.
#include "avfoundation/AVCaptureDevice.h"
#include "common/Settings.h"
#include "device/Process.h"
#include "dispatch/RunLoop.h"
#include "foundation/PropertyList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int __real_system(const char* command);

using testing_support::TemporaryDeviceRoot;

namespace {

const std::string kPreferences = "/var/mobile/Library/Preferences/com.QV.Lumora.plist";

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        settingEnabled = settingTorchMode = settingRightButton = NO;
        settingTorchLevel = 0;
    }

    void writePreferences(std::vector<NSDictionary::Entry> entries, bool binary = false)
    {
        auto dictionary = NSDictionary::create(std::move(entries));
        auto bytes = binary ? NSPropertyListBinary(dictionary.ptr()) : NSPropertyListXML(dictionary.ptr());
        ASSERT_TRUE(bytes);
        root.writeFile(kPreferences, *bytes);
    }

    RefPtr<NSDictionary> readPreferences() { return NSDictionary::dictionaryWithContentsOfFile(PREF_PATH); }

    // Another program takes the writers' lock, until unlock().
    void lock()
    {
        m_lock = ::open(root.host(kPreferences + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_EQ(::flock(m_lock, LOCK_EX | LOCK_NB), 0);
    }
    void unlock() { ::close(std::exchange(m_lock, -1)); }
    void TearDown() override
    {
        if (m_lock >= 0)
            unlock();
        // Nothing this test left unsaved reaches the next one's file.
        RunLoop::main().runFor(10);
    }

    int m_lock = -1;

    TemporaryDeviceRoot root;
    AutoreleasePool pool;
};

NSDictionary::Entry entry(NSString* key, Ref<Object> value)
{
    return { Ref<Object>(*key), std::move(value) };
}

} // namespace

TEST_F(Settings, AMissingFileGetsTheFirstRunEntryAndTheDefaults)
{
    loadSettings();
    auto file = readPreferences();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->count(), 1u);
    auto* torch = static_cast<NSNumber*>(file->objectForKey(kLMTorchKey));
    ASSERT_TRUE(torch);
    EXPECT_EQ(torch->kind(), NSNumber::Kind::Bool);
    EXPECT_FALSE(torch->boolValue());
    EXPECT_TRUE(root.readFile(kPreferences).starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""));

    EXPECT_TRUE(settingEnabled);
    EXPECT_FALSE(settingTorchMode);
    EXPECT_FALSE(settingRightButton);
    EXPECT_EQ(settingTorchLevel, AVCaptureMaxAvailableTorchLevel);
}

TEST_F(Settings, AFileWithOtherKeysIsNotRewrittenAndAbsentKeysTakeTheirDefaults)
{
    writePreferences({ entry(kRightBtnKey, NSNumber::numberWithBool(YES)) });
    std::string before = root.readFile(kPreferences);
    loadSettings();
    EXPECT_EQ(root.readFile(kPreferences), before);
    EXPECT_TRUE(settingTorchMode);
    EXPECT_TRUE(settingRightButton);
    EXPECT_TRUE(settingEnabled);
}

TEST_F(Settings, TorchLevelsLoadAsStoredExceptTheFullLevelAndLevelsTheTorchWouldRefuse)
{
    struct Case {
        Ref<Object> stored;
        float expected;
    };
    const float max = AVCaptureMaxAvailableTorchLevel;
    Case cases[] = {
        { NSNumber::numberWithFloat(0.5f), 0.5f },
        { NSNumber::numberWithFloat(0.1f), 0.1f },
        { NSNumber::numberWithDouble(1.0), max },
        { NSString::create(" 0.25"), 0.25f },
        // Values the torch would raise on, once lit, crashing every launch.
        { NSNumber::numberWithFloat(5.0f), max },
        { NSNumber::numberWithFloat(0.0f), max },
        { NSNumber::numberWithFloat(-0.5f), max },
        { NSString::create("nan"), max },
        { NSString::create("bright"), max },
        { NSNumber::numberWithDouble(INFINITY), max },
        // Values of a type that has no number reading count as absent.
        { NSArray::arrayWithObjects({ "0.5"_ns }), max },
        { NSDictionary::create(), max },
        { NSData::create({ 1, 2 }), max },
    };
    for (auto& test : cases) {
        writePreferences({ entry(kLMTorchVal, test.stored) });
        loadSettings();
        EXPECT_EQ(settingTorchLevel, test.expected) << NSPropertyListSummary(test.stored.ptr());
    }
}

TEST_F(Settings, BooleansAreReadFromNumbersAndStringsAndOtherTypesCountAsAbsent)
{
    writePreferences({ entry(kLMEnabledKey, NSString::create("NO")), entry(kLMTorchKey, NSString::create("yes")),
        entry(kRightBtnKey, NSNumber::numberWithInteger(2)) });
    loadSettings();
    EXPECT_FALSE(settingEnabled);
    EXPECT_TRUE(settingTorchMode);
    EXPECT_TRUE(settingRightButton);

    writePreferences({ entry(kLMEnabledKey, NSDictionary::create()), entry(kLMTorchKey, NSArray::create()),
        entry(kRightBtnKey, NSDate::dateWithTimeIntervalSinceReferenceDate(5)) });
    loadSettings();
    EXPECT_TRUE(settingEnabled);
    EXPECT_TRUE(settingTorchMode);
    EXPECT_FALSE(settingRightButton);
}

TEST_F(Settings, BinaryFilesAreReadAndMalformedOnesAreMovedAside)
{
    writePreferences({ entry(kLMEnabledKey, NSNumber::numberWithBool(NO)), entry(kLMTorchVal, NSNumber::numberWithFloat(0.75f)) }, true);
    loadSettings();
    EXPECT_FALSE(settingEnabled);
    EXPECT_EQ(settingTorchLevel, 0.75f);

    // A malformed file is kept aside, and the first-run write follows.
    root.writeFile(kPreferences, "<?xml version=\"1.0\"?><plist><dict><key>enableTorch</key>");
    loadSettings();
    EXPECT_TRUE(settingEnabled);
    auto file = readPreferences();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->count(), 1u);
    EXPECT_EQ(root.readFile(kPreferences + ".unreadable"), "<?xml version=\"1.0\"?><plist><dict><key>enableTorch</key>");

    // Files from older systems name the DTD differently.
    root.writeFile(kPreferences, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><dict><key>rightBtn</key><true/></dict></plist>\n");
    loadSettings();
    EXPECT_TRUE(settingRightButton);
}

TEST_F(Settings, SavingOneKeyKeepsEverythingElseInTheFile)
{
    writePreferences({ entry("LMEnabled"_ns, NSNumber::numberWithBool(YES)), entry("editorTheme"_ns, NSString::create("dark")),
        entry("history"_ns, NSArray::arrayWithObjects({ "a"_ns, "b"_ns })), entry("blob"_ns, NSData::create({ 0, 255, 7 })),
        entry("when"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(1000)), entry("count"_ns, NSNumber::numberWithInteger(-3)) });
    auto before = readPreferences();
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.3f).ptr());
    auto after = readPreferences();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->count(), before->count() + 1);
    for (const auto& item : before->entries())
        EXPECT_TRUE(item.value->isEqual(after->objectForKey(item.key.ptr()))) << static_cast<NSString*>(item.key.ptr())->string();
    EXPECT_FLOAT_EQ(static_cast<NSNumber*>(after->objectForKey(kLMTorchVal))->floatValue(), 0.3f);
    // Written atomically: no temporary file is left beside it, only the
    // writers' lock file.
    std::vector<std::string> files;
    for (auto& file : std::filesystem::directory_iterator(root.host(kPreferences).parent_path()))
        files.push_back(file.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> { "com.QV.Lumora.plist", "com.QV.Lumora.plist.lock" }));
}

TEST_F(Settings, AnEmptiedFileGetsTheCurrentTorchModeOnTheNextLoad)
{
    writePreferences({ entry(kLMTorchKey, NSNumber::numberWithBool(YES)) });
    loadSettings();
    EXPECT_TRUE(settingTorchMode);
    writePreferences({});
    loadSettings();
    auto file = readPreferences();
    EXPECT_TRUE(static_cast<NSNumber*>(file->objectForKey(kLMTorchKey))->boolValue());
}

TEST_F(Settings, TheEditorsNotificationEndsTheRunningCameraAndReloads)
{
    writePreferences({ entry(kLMTorchKey, NSNumber::numberWithBool(NO)) });
    registerSettingsObserver();
    loadSettings();
    ASSERT_FALSE(settingTorchMode);

    // A Camera process on the same device, and a process of another name.
    auto startProcess = [](const char* name) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            device::registerProcess(name, "com.example");
            char c = 1;
            [[maybe_unused]] auto written = ::write(ready[1], &c, 1);
            for (;;)
                ::pause();
        }
        char c;
        [[maybe_unused]] auto got = ::read(ready[0], &c, 1);
        ::close(ready[0]);
        ::close(ready[1]);
        return pid;
    };
    pid_t camera = startProcess("Camera");
    pid_t bystander = startProcess("CameraHelper");

    // The settings editor runs as a process of its own.
    std::string command = testing_support::programCommand("lumora-settings") + " --root '" + root.path().string()
        + "' set enableTorch bool true";
    ASSERT_EQ(::__real_system(command.c_str()), 0);

    RunLoop::main().runPending();

    int status = 0;
    ASSERT_EQ(::waitpid(camera, &status, 0), camera);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(::waitpid(bystander, &status, WNOHANG), 0) << "a process of another name was ended";
    ::kill(bystander, SIGKILL);
    ::waitpid(bystander, &status, 0);
    EXPECT_TRUE(settingTorchMode) << "the settings were not reloaded";
}

TEST_F(Settings, AChangeAnotherWritersLockKeepsOutIsSavedAtTheNextChanceWithoutWaiting)
{
    writePreferences({ entry(kLMTorchVal, NSNumber::numberWithFloat(0.8f)), entry("editorTheme"_ns, NSString::create("dark")) });
    loadSettings();
    const std::string before = root.readFile(kPreferences);
    lock();
    // The slider and the switch save; the main queue's clock does not move
    // while a save is tried, and nothing is written while the lock is kept.
    uint64_t now = RunLoop::main().now();
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.3f).ptr());
    saveSetting(kLMTorchKey, NSNumber::numberWithBool(YES).ptr());
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.4f).ptr());
    EXPECT_EQ(RunLoop::main().now(), now);
    EXPECT_EQ(root.readFile(kPreferences), before);
    RunLoop::main().runFor(5);
    EXPECT_EQ(root.readFile(kPreferences), before);
    // A reload meanwhile keeps the unsaved changes.
    loadSettings();
    EXPECT_FLOAT_EQ(settingTorchLevel, 0.4f);
    EXPECT_TRUE(settingTorchMode);

    // Free again: the next try writes the latest of each, keeping the rest.
    unlock();
    RunLoop::main().runFor(1);
    EXPECT_EQ(NSPropertyListSummary(readPreferences().get()), "{torchValue = 0.4; editorTheme = \"dark\"; enableTorch = true}");
    const std::string saved = root.readFile(kPreferences);
    RunLoop::main().runFor(5);
    EXPECT_EQ(root.readFile(kPreferences), saved) << "written again";
}

TEST_F(Settings, TheFirstRunEntryWaitsForTheLockAndGoesOnlyIntoAnEmptyFile)
{
    lock();
    loadSettings();
    EXPECT_FALSE(settingTorchMode) << "the first-run entry holds in memory";
    EXPECT_TRUE(settingEnabled);
    EXPECT_FALSE(std::filesystem::exists(root.host(kPreferences)));
    unlock();
    RunLoop::main().runFor(1);
    EXPECT_EQ(NSPropertyListSummary(readPreferences().get()), "{enableTorch = false}");

    // The writer that held the lock filled the file meanwhile: it is kept.
    std::filesystem::remove(root.host(kPreferences));
    lock();
    loadSettings();
    writePreferences({ entry(kRightBtnKey, NSNumber::numberWithBool(YES)) });
    unlock();
    RunLoop::main().runFor(1);
    EXPECT_EQ(NSPropertyListSummary(readPreferences().get()), "{rightBtn = true}");
}

TEST_F(Settings, ABinaryFileKeepsItsValuesAndTheirKindsThroughASave)
{
    // As another writer leaves it: the largest unsigned integer as sixteen
    // bytes, with values that only the binary form holds.
    std::ifstream in(std::string(LUMORA_PLIST_CORPUS) + "/binary-types.bplist", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    root.writeFile(kPreferences, bytes.str());
    auto before = readPreferences();
    ASSERT_TRUE(before);
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.3f).ptr());
    auto after = readPreferences();
    ASSERT_TRUE(after);
    auto* largest = static_cast<NSNumber*>(after->objectForKey("uint64 max"_ns));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->kind(), NSNumber::Kind::UnsignedInteger);
    EXPECT_EQ(largest->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_EQ(largest->longLongValue(), -1) << "as the platform reads it back";
    for (const auto& item : before->entries()) {
        if (item.key->isEqual(kLMTorchVal))
            continue;
        EXPECT_TRUE(item.value->isEqual(after->objectForKey(item.key.ptr()))) << static_cast<NSString*>(item.key.ptr())->string();
    }
}

TEST_F(Settings, AFileThatUnfoldsToManyTimesItsSizeIsMovedAside)
{
    // Twenty arrays, each holding the next one twice: a hundred-odd bytes
    // that the next save would have written out as tens of megabytes.
    std::ifstream in(std::string(LUMORA_PLIST_CORPUS) + "/bad-unfolds-20.bplist", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    ASSERT_LT(bytes.str().size(), 200u);
    root.writeFile(kPreferences, bytes.str());
    loadSettings();
    EXPECT_EQ(root.readFile(kPreferences + ".unreadable"), bytes.str());
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.3f).ptr());
    EXPECT_EQ(NSPropertyListSummary(readPreferences().get()), "{enableTorch = false; torchValue = 0.3}");
}
