// Thousands of preference files, made from the corpus by seeded mutations,
// each met by a launch and a slider save: the Camera never crashes, and
// nothing the file held is lost. A file that is read keeps every value
// through the save; one that is not is moved aside byte for byte.
#include "avfoundation/AVCaptureDevice.h"
#include "common/Settings.h"
#include "foundation/PropertyList.h"
#include "fuzz/PropertyListCheck.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

using testing_support::TemporaryDeviceRoot;

namespace {

const std::string kPreferences = "/var/mobile/Library/Preferences/com.QV.Lumora.plist";
const std::string kAside = kPreferences + ".unreadable";
// Bounded both ways: enough inputs to matter, never more than a few
// seconds (a slow disk or a sanitizer build runs fewer). Each file met by
// the Camera costs two synced writes; the reader alone checks many more.
constexpr int kFiles = 1500;
constexpr int kReaderChecksPerFile = 20;
constexpr auto kTimeBudget = std::chrono::seconds(6);

std::vector<std::string> corpus()
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(LUMORA_PLIST_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        files.push_back(contents.str());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// One mutation of a corpus file: flipped bits, bytes changed, inserted or
// removed, a cut, a splice with another file, or a number rewritten.
std::string mutate(const std::vector<std::string>& files, std::mt19937& random)
{
    std::string bytes = files[random() % files.size()];
    auto at = [&] { return bytes.empty() ? size_t(0) : random() % bytes.size(); };
    for (unsigned round = random() % 2 + 1; round > 0; --round) {
        switch (random() % 7) {
        case 0:
            if (!bytes.empty())
                bytes[at()] ^= static_cast<char>(1u << (random() % 8));
            break;
        case 1:
            if (!bytes.empty())
                bytes[at()] = static_cast<char>(random());
            break;
        case 2:
            bytes.insert(at(), 1, static_cast<char>(random()));
            break;
        case 3:
            if (!bytes.empty())
                bytes.erase(at(), random() % 8 + 1);
            break;
        case 4:
            bytes.resize(at());
            break;
        case 5: {
            const std::string& other = files[random() % files.size()];
            size_t from = other.empty() ? 0 : random() % other.size();
            bytes = bytes.substr(0, at()) + other.substr(from);
            break;
        }
        default: {
            static const char* numbers[] = { "0", "-1", "18446744073709551616", "1e400", "nan", "9999999999999999999999", "0x" };
            size_t digit = bytes.find_first_of("0123456789", at());
            if (digit != std::string::npos)
                bytes.replace(digit, 1, numbers[random() % std::size(numbers)]);
        }
        }
    }
    return bytes;
}

} // namespace

TEST(PreferenceFileFuzz, NothingTheFileHeldIsLostAndNothingCrashes)
{
    TemporaryDeviceRoot root;
    auto files = corpus();
    ASSERT_FALSE(files.empty());
    std::mt19937 random(1303);
    auto deadline = std::chrono::steady_clock::now() + kTimeBudget;
    int read = 0, movedAside = 0;
    for (int round = 0; round < kFiles + static_cast<int>(files.size()) && std::chrono::steady_clock::now() < deadline; ++round) {
        AutoreleasePool pool;
        // The reader's own promise, for this file and more mutations.
        std::string bytes = round < static_cast<int>(files.size()) ? files[round] : mutate(files, random);
        for (int check = 0; check < kReaderChecksPerFile; ++check) {
            std::string failure = fuzzing::checkPropertyListBytes(check ? mutate(files, random) : bytes);
            ASSERT_TRUE(failure.empty()) << failure;
        }
        std::filesystem::remove(root.host(kAside));
        root.writeFile(kPreferences, bytes);

        RefPtr<Object> before = NSPropertyListFromBytes(bytes);
        bool readable = before && class_isSubclassOf(before->isa(), NSDictionary::staticClass());

        loadSettings();
        ASSERT_TRUE(settingTorchLevel == AVCaptureMaxAvailableTorchLevel || (settingTorchLevel > 0 && settingTorchLevel < 1)) << settingTorchLevel;
        saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.5f).ptr());

        auto after = NSDictionary::dictionaryWithContentsOfFile(PREF_PATH);
        ASSERT_TRUE(after) << "no readable file after a save";
        if (readable) {
            ++read;
            auto* original = static_cast<NSDictionary*>(before.get());
            for (const auto& entry : original->entries()) {
                if (static_cast<NSString*>(entry.key.ptr())->view() == "torchValue")
                    continue;
                ASSERT_TRUE(fuzzing::samePropertyList(entry.value.ptr(), after->objectForKey(entry.key.ptr())))
                    << "lost " << static_cast<NSString*>(entry.key.ptr())->string() << " of " << NSPropertyListSummary(original);
            }
            ASSERT_FALSE(std::filesystem::exists(root.host(kAside)));
        } else {
            ++movedAside;
            ASSERT_EQ(root.readFile(kAside), bytes) << "an unreadable file was not kept as it was";
        }
    }
    std::printf("%d files read and saved, %d moved aside, %d more checked by the reader\n", read, movedAside,
        (read + movedAside) * (kReaderChecksPerFile - 1));
    // At least the corpus: its eleven good files and six bad ones.
    EXPECT_GE(read, 11);
    EXPECT_GE(movedAside, 6);
}
