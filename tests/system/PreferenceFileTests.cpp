// The preference file shared by the modules and the settings editor:
// unreadable files are moved aside and never written over, and writers in
// several processes never undo each other's changes.
#include "common/PreferenceStore.h"
#include "common/Settings.h"
#include "foundation/PropertyList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" int __real_system(const char* command);

using testing_support::TemporaryDeviceRoot;

namespace {

const std::string kPreferences = "/var/mobile/Library/Preferences/com.QV.Lumora.plist";
const std::string kAside = kPreferences + ".unreadable";

class PreferenceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        settingEnabled = settingTorchMode = settingRightButton = NO;
        settingTorchLevel = 0;
        // A FIFO at the path must not block: if it does, end the test.
        ::alarm(60);
    }
    void TearDown() override { ::alarm(0); }

    bool exists(const std::string& devicePath) const
    {
        struct stat status;
        return ::lstat(root.host(devicePath).c_str(), &status) == 0;
    }

    // The file holds just the first-run entry.
    void expectFreshFile()
    {
        auto file = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
        ASSERT_TRUE(file);
        EXPECT_EQ(NSPropertyListSummary(file.get()), "{enableTorch = false}");
    }

    // Runs the settings editor; returns its exit status and what it said.
    std::pair<int, std::string> runEditor(const std::string& arguments)
    {
        auto output = root.path() / "editor-output";
        std::string command = testing_support::programCommand("lumora-settings") + " --root '" + root.path().string() + "' --quiet "
            + arguments + " 2>'" + output.string() + "'";
        int status = ::__real_system(command.c_str());
        std::ifstream in(output);
        std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, said };
    }

    TemporaryDeviceRoot root;
    AutoreleasePool pool;
};

} // namespace

TEST_F(PreferenceFile, AnUnreadableFileIsMovedAsideAndTheFirstRunWriteFollows)
{
    const std::pair<const char*, std::string> unreadable[] = {
        { "garbage", std::string("\x01\x02 not a property list \xff", 25) },
        { "truncated", "<?xml version=\"1.0\"?><plist><dict><key>enableTorch</key><true/><key>torch" },
        { "empty", "" },
        { "an array", "<plist><array><string>not a dictionary</string></array></plist>" },
        { "an unknown encoding", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><plist><dict/></plist>" },
    };
    for (const auto& [name, bytes] : unreadable) {
        SCOPED_TRACE(name);
        std::filesystem::remove(root.host(kAside));
        root.writeFile(kPreferences, bytes);
        loadSettings();
        EXPECT_EQ(root.readFile(kAside), bytes) << "moved aside, unchanged";
        expectFreshFile();
        EXPECT_TRUE(settingEnabled);
        EXPECT_FALSE(settingTorchMode);
    }

    // Things that are not files at all move aside whole.
    std::filesystem::remove(root.host(kAside));
    std::filesystem::remove(root.host(kPreferences));
    std::filesystem::create_directory(root.host(kPreferences));
    root.writeFile(kPreferences + "/inside", "kept");
    loadSettings();
    EXPECT_EQ(root.readFile(kAside + "/inside"), "kept");
    expectFreshFile();

    std::filesystem::remove_all(root.host(kAside));
    std::filesystem::remove(root.host(kPreferences));
    ASSERT_EQ(::mkfifo(root.host(kPreferences).c_str(), 0644), 0);
    loadSettings();
    struct stat status;
    ASSERT_EQ(::lstat(root.host(kAside).c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    expectFreshFile();
}

TEST_F(PreferenceFile, TheNewestUnreadableFileHasTheNameAndEarlierOnesAreNumbered)
{
    for (int round = 1; round <= 3; ++round) {
        root.writeFile(kPreferences, "garbage " + std::to_string(round));
        loadSettings();
    }
    EXPECT_EQ(root.readFile(kAside), "garbage 3");
    EXPECT_EQ(root.readFile(kAside + ".1"), "garbage 1");
    EXPECT_EQ(root.readFile(kAside + ".2"), "garbage 2");
    expectFreshFile();

    // A save moves an unreadable file aside as the launch does.
    root.writeFile(kPreferences, "garbage 4");
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.5f).ptr());
    EXPECT_EQ(root.readFile(kAside), "garbage 4");
    EXPECT_EQ(root.readFile(kAside + ".3"), "garbage 3");
    auto file = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
    ASSERT_TRUE(file);
    EXPECT_EQ(NSPropertyListSummary(file.get()), "{torchValue = 0.5}");
}

TEST_F(PreferenceFile, TheEditorRefusesToWriteOverAnUnreadableFileUnlessForced)
{
    const std::string garbage = "{ this is not = a property list";
    root.writeFile(kPreferences, garbage);
    auto [status, said] = runEditor("set rightBtn bool true");
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("com.QV.Lumora.plist is there but is not a property list that can be read"), std::string::npos) << said;
    EXPECT_NE(said.find("--force"), std::string::npos) << said;
    EXPECT_EQ(root.readFile(kPreferences), garbage);
    EXPECT_FALSE(exists(kAside));

    std::tie(status, said) = runEditor("delete rightBtn");
    EXPECT_EQ(status, 1);
    std::tie(status, said) = runEditor("show");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(root.readFile(kPreferences), garbage);

    std::tie(status, said) = runEditor("--force set rightBtn bool true");
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(root.readFile(kAside), garbage);
    auto file = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
    ASSERT_TRUE(file);
    EXPECT_EQ(NSPropertyListSummary(file.get()), "{rightBtn = true}");
}

TEST_F(PreferenceFile, TheEditorSaysWhatIsWrongWithACommandLineAndWritesNothing)
{
    const std::string stored = "<plist><dict><key>torchValue</key><real>0.5</real></dict></plist>";
    root.writeFile(kPreferences, stored);
    const std::pair<const char*, const char*> misuses[] = {
        { "", "no command given" },
        { "bogus", "unknown command \"bogus\"" },
        { "set torchValue", "set takes KEY" },
        { "set torchValue flot 0.4", "unknown value type \"flot\"" },
        { "delete", "delete takes one KEY" },
        { "show everything", "show takes nothing more" },
        { "--bogus show", "unknown option --bogus" },
    };
    for (const auto& [arguments, message] : misuses) {
        auto [status, said] = runEditor(arguments);
        EXPECT_EQ(status, 2) << arguments;
        EXPECT_NE(said.find(message), std::string::npos) << arguments << ": " << said;
    }
    EXPECT_EQ(root.readFile(kPreferences), stored);
}

TEST_F(PreferenceFile, WritersInSeveralProcessesNeverUndoEachOthersChanges)
{
    // Each writer sets keys of its own, as the editor and the Camera's
    // slider do at the same time; every key must be there at the end.
    constexpr int kWriters = 4;
    constexpr int kKeysEach = 40;
    std::vector<pid_t> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        pid_t pid = ::fork();
        if (pid == 0) {
            AutoreleasePool childPool;
            int failures = 0;
            for (int key = 0; key < kKeysEach; ++key) {
                auto name = NSString::stringWithFormat("writer%d.key%d", writer, key);
                auto update = updatePreferenceFile(PREF_PATH, UnreadableFile::Refuse, [&](NSMutableDictionary* file) {
                    file->setObjectForKey(NSNumber::numberWithInteger(key).ptr(), name.ptr());
                    return true;
                });
                failures += update != PreferenceUpdate::Written;
            }
            ::_exit(failures ? 1 : 0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto file = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->count(), static_cast<NSUInteger>(kWriters * kKeysEach));

    // The lock is held only while a writer reads and writes.
    int lock = ::open(root.host(kPreferences + ".lock").c_str(), O_RDWR);
    ASSERT_GE(lock, 0);
    EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    ::close(lock);
}

TEST_F(PreferenceFile, MissingReadableAndUnreadableAreToldApart)
{
    EXPECT_EQ(readPreferenceFile(PREF_PATH).state, PreferenceFileState::Missing);
    root.writeFile(kPreferences, "<plist><dict><key>a</key><string>b</string></dict></plist>");
    auto read = readPreferenceFile(PREF_PATH);
    EXPECT_EQ(read.state, PreferenceFileState::Read);
    EXPECT_EQ(read.dictionary->count(), 1u);
    root.writeFile(kPreferences, "<plist><dict><key>a</key>");
    read = readPreferenceFile(PREF_PATH);
    EXPECT_EQ(read.state, PreferenceFileState::Unreadable);
    EXPECT_EQ(read.dictionary->count(), 0u);

    // Refused: the unreadable file stays as it is.
    EXPECT_EQ(updatePreferenceFile(PREF_PATH, UnreadableFile::Refuse, [](NSMutableDictionary*) { return true; }), PreferenceUpdate::Unreadable);
    EXPECT_EQ(root.readFile(kPreferences), "<plist><dict><key>a</key>");
}
