// The preference file shared by the modules and the settings editor:
// unreadable files are moved aside and never written over, and writers in
// several processes never undo each other's changes.
#include "common/PreferenceStore.h"
#include "common/Settings.h"
#include "device/Device.h"
#include "foundation/PropertyList.h"
#include "support/TestSupport.h"
#include "tools/PreferenceFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <fcntl.h>
#include <fstream>
#include <functional>
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

    // Takes the writers' lock as another program would (a descriptor of its
    // own), through whatever is at the lock's path; -1 when it cannot.
    int holdLock(int flags = O_RDWR | O_CREAT)
    {
        int fd = ::open(root.host(kPreferences + ".lock").c_str(), flags | O_CLOEXEC, 0644);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    PreferenceUpdate setKey(const char* key, std::chrono::milliseconds patience = std::chrono::milliseconds(0))
    {
        auto name = NSString::create(key);
        return updatePreferenceFile(PREF_PATH, UnreadableFile::Refuse, patience, [&](NSMutableDictionary* file) {
            file->setObjectForKey(NSNumber::numberWithBool(YES).ptr(), name.ptr());
            return true;
        });
    }

    std::string contents() { return NSPropertyListSummary(NSDictionary::dictionaryWithContentsOfFile(PREF_PATH).get()); }

    // Runs body(0 ... count - 1) in as many processes at once, each ending
    // with the status body returns, and expects 0 of each.
    void expectEachSucceedsAtOnce(int count, const std::function<int(int)>& body)
    {
        std::vector<pid_t> children;
        for (int i = 0; i < count; ++i) {
            pid_t pid = ::fork();
            if (pid == 0)
                ::_exit(body(i));
            children.push_back(pid);
        }
        for (pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
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
        { "--root /elsewhere show", "--root is given twice" },
        { "--wait soon show", "--wait takes seconds" },
        // Beyond a 32-bit float, or rounding to 0 in it.
        { "set torchValue float 1e39", "outside the range of a 32-bit float" },
        { "set torchValue float -3.5e38", "outside the range of a 32-bit float" },
        { "set torchValue float 1e-46", "outside the range of a 32-bit float" },
        { "set torchValue float 1e-400", "outside the range of a 32-bit float" },
        { "set torchValue float inf", "outside the range of a 32-bit float" },
        { "set torchValue float nan", "outside the range of a 32-bit float" },
    };
    for (const auto& [arguments, message] : misuses) {
        auto [status, said] = runEditor(arguments);
        EXPECT_EQ(status, 2) << arguments;
        EXPECT_NE(said.find(message), std::string::npos) << arguments << ": " << said;
    }
    EXPECT_EQ(root.readFile(kPreferences), stored);

    // The largest and the smallest a float holds are taken.
    EXPECT_EQ(runEditor("set big float 3.4028235e38").first, 0);
    EXPECT_EQ(runEditor("set small float -1.4e-45").first, 0);
    auto file = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
    ASSERT_TRUE(file);
    EXPECT_EQ(static_cast<NSNumber*>(file->objectForKey("big"_ns))->floatValue(), FLT_MAX);
    EXPECT_EQ(static_cast<NSNumber*>(file->objectForKey("small"_ns))->floatValue(), -FLT_TRUE_MIN);
}

TEST_F(PreferenceFile, TheEditorTakesOptionsOnlyBeforeTheCommand)
{
    // What follows the command is the command's: here, a value. Another
    // root named there is no root.
    auto elsewhere = root.path() / "elsewhere";
    auto [status, said] = runEditor("set note string hello --root '" + elsewhere.string() + "' --force");
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(contents(), "{note = \"hello --root " + elsewhere.string() + " --force\"}");
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
    std::tie(status, said) = runEditor("delete note --quiet");
    EXPECT_EQ(status, 2);
    EXPECT_NE(said.find("delete takes one KEY"), std::string::npos) << said;
}

TEST_F(PreferenceFile, ALockAnotherProgramKeepsIsAFailureAndNothingIsWritten)
{
    root.writeFile(kPreferences, "<plist><dict><key>torchValue</key><real>0.5</real></dict></plist>");
    const std::string before = root.readFile(kPreferences);
    int lock = holdLock();
    ASSERT_GE(lock, 0);
    EXPECT_EQ(setKey("camera"), PreferenceUpdate::Locked);
    EXPECT_EQ(setKey("waited", std::chrono::milliseconds(30)), PreferenceUpdate::Locked);
    // The editor waits as long as it is told, says why and ends with 1.
    for (const char* wait : { "0", "0.05" }) {
        auto [status, said] = runEditor("--wait " + std::string(wait) + " set rightBtn bool true");
        EXPECT_EQ(status, 1) << wait;
        EXPECT_NE(said.find("another program kept the preference file locked"), std::string::npos) << said;
        EXPECT_NE(said.find("nothing was written"), std::string::npos) << said;
    }
    EXPECT_EQ(root.readFile(kPreferences), before);

    ::close(lock);
    EXPECT_EQ(runEditor("--wait 0 set rightBtn bool true").first, 0);
    EXPECT_EQ(contents(), "{torchValue = 0.5; rightBtn = true}");
}

TEST_F(PreferenceFile, ThreeEditorsRacingEachKeepTheirKey)
{
    // A file big enough that the editors' reads and writes overlap.
    auto file = NSMutableDictionary::create();
    for (int i = 0; i < 20000; ++i)
        file->setObjectForKey(NSNumber::numberWithInteger(i).ptr(), NSString::stringWithFormat("key%05d", i).ptr());
    ASSERT_TRUE(file->writeToFile(PREF_PATH, YES));

    // Waiting as long as it takes: the test is about what they write.
    expectEachSucceedsAtOnce(3, [&](int editor) { return runEditor("--wait 600 set editor" + std::to_string(editor) + " bool true").first; });
    auto after = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->count(), 20003u);
    for (const char* key : { "editor0", "editor1", "editor2" })
        EXPECT_TRUE(after->objectForKey(NSString::create(key).ptr())) << key;
}

TEST_F(PreferenceFile, ALockFileThatCannotBeWrittenStillKeepsWritersApart)
{
    // A folder in the lock file's place locks through a descriptor opened
    // for reading, as a file this user may only read does.
    std::filesystem::create_directory(root.host(kPreferences + ".lock"));
    int lock = holdLock(O_RDONLY);
    ASSERT_GE(lock, 0);
    EXPECT_EQ(setKey("a"), PreferenceUpdate::Locked);
    EXPECT_FALSE(exists(kPreferences));
    ::close(lock);
    EXPECT_EQ(setKey("a"), PreferenceUpdate::Written);
    std::filesystem::remove(root.host(kPreferences + ".lock"));

    // Nothing there can be locked at all (a link, which is never followed):
    // nothing is written, and the editor says why.
    std::filesystem::create_symlink("elsewhere", root.host(kPreferences + ".lock"));
    EXPECT_EQ(setKey("b"), PreferenceUpdate::NoLock);
    auto [status, said] = runEditor("set b bool true");
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("cannot lock the preference file"), std::string::npos) << said;
    EXPECT_EQ(contents(), "{a = true}");
    std::filesystem::remove(root.host(kPreferences + ".lock"));

    // Only where the folder cannot take a file does a writer go on without
    // the lock, and then it cannot write either.
    std::filesystem::remove_all(root.host(kPreferences).parent_path());
    EXPECT_EQ(setKey("c"), PreferenceUpdate::Failed);
    EXPECT_FALSE(exists(kPreferences));
}

// The editor run as root leaves a lock file others may only read; the
// Camera, running as another user, locks through it all the same.
TEST_F(PreferenceFile, ALockFileLeftByRootLocksForOtherUsers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to become another user";
    root.writeFile(kPreferences, "<plist><dict/></plist>");
    int lock = holdLock(); // root's, 0644
    ASSERT_GE(lock, 0);
    // The other user may pass through the root and write in the folder.
    for (auto folder = root.host(kPreferences).parent_path(); folder != root.path().parent_path(); folder = folder.parent_path())
        std::filesystem::permissions(folder, std::filesystem::perms::all);
    auto asAnotherUser = [&](PreferenceUpdate expected) {
        return testing_support::runInChildProcess([&] {
            ASSERT_EQ(::setgid(65534), 0);
            ASSERT_EQ(::setuid(65534), 0);
            ASSERT_LT(::open(root.host(kPreferences + ".lock").c_str(), O_RDWR), 0) << "the lock file is writable";
            EXPECT_EQ(setKey("mobile"), expected);
        });
    };
    EXPECT_TRUE(asAnotherUser(PreferenceUpdate::Locked));
    EXPECT_EQ(contents(), "{}");
    ::close(lock);
    EXPECT_TRUE(asAnotherUser(PreferenceUpdate::Written));
    EXPECT_EQ(contents(), "{mobile = true}");
}

TEST_F(PreferenceFile, ALinkThatLoopsOrLeadsOutOfTheRootIsMovedAsideLikeAnyUnreadableEntry)
{
    // Another device's root, beside this one, with a readable file.
    TemporaryDeviceRoot outside;
    outside.writeFile(kPreferences, "<plist><dict><key>outside</key><true/></dict></plist>");
    device::setRoot(root.path());
    const std::pair<const char*, std::filesystem::path> links[] = {
        { "a loop", "com.QV.Lumora.plist" },
        { "a loop of two", "com.QV.Lumora.plist.other" },
        { "out of the root", outside.host(kPreferences) },
        { "dangling", "missing.plist" },
    };
    std::filesystem::create_symlink("com.QV.Lumora.plist", root.host(kPreferences + ".other"));
    for (const auto& [name, target] : links) {
        SCOPED_TRACE(name);
        std::filesystem::remove(root.host(kAside));
        std::filesystem::create_symlink(target, root.host(kPreferences));
        auto [status, said] = runEditor("set rightBtn bool true");
        EXPECT_EQ(status, 1);
        EXPECT_NE(said.find("is there but is not a property list that can be read"), std::string::npos) << said;
        loadSettings();
        EXPECT_EQ(std::filesystem::read_symlink(root.host(kAside)), target) << "the link itself is moved aside";
        expectFreshFile();
        std::filesystem::remove(root.host(kPreferences));
    }
    EXPECT_EQ(outside.readFile(kPreferences), "<plist><dict><key>outside</key><true/></dict></plist>");

    // A link to a file inside the root is read through, and the save
    // replaces the link with the file.
    root.writeFile("/var/mobile/shared.plist", "<plist><dict><key>shared</key><true/></dict></plist>");
    std::filesystem::create_symlink("../../shared.plist", root.host(kPreferences));
    saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.5f).ptr());
    EXPECT_EQ(contents(), "{shared = true; torchValue = 0.5}");
}

TEST_F(PreferenceFile, WritersInSeveralProcessesNeverUndoEachOthersChanges)
{
    // Each writer sets keys of its own, as the editor and the Camera's
    // slider do at the same time; every key must be there at the end.
    constexpr int kWriters = 4;
    constexpr int kKeysEach = 40;
    expectEachSucceedsAtOnce(kWriters, [&](int writer) {
        AutoreleasePool childPool;
        int failures = 0;
        for (int key = 0; key < kKeysEach; ++key) {
            auto name = NSString::stringWithFormat("writer%d.key%d", writer, key);
            auto update = updatePreferenceFile(PREF_PATH, UnreadableFile::Refuse, preferences::kLockPatience, [&](NSMutableDictionary* file) {
                file->setObjectForKey(NSNumber::numberWithInteger(key).ptr(), name.ptr());
                return true;
            });
            failures += update != PreferenceUpdate::Written;
        }
        return failures ? 1 : 0;
    });
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
    EXPECT_EQ(updatePreferenceFile(PREF_PATH, UnreadableFile::Refuse, preferences::kLockPatience, [](NSMutableDictionary*) { return true; }),
        PreferenceUpdate::Unreadable);
    EXPECT_EQ(root.readFile(kPreferences), "<plist><dict><key>a</key>");
}
