// Reading and writing preference files of many keys: the platform's
// property lists beside libplist on the same bytes, and dictionary lookups
// of every key (a launch reads the whole file, and used to take time
// quadratic in the number of keys). And the slider's save, a locked and
// durable read-modify-write of the extension's preference file, beside the
// same done with libplist.
#include "common/Settings.h"
#include "device/Device.h"
#include "foundation/PropertyList.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// A preference file of count keys of the usual types.
Ref<NSDictionary> preferences(int count)
{
    auto dictionary = NSMutableDictionary::create();
    for (int i = 0; i < count; ++i) {
        auto key = NSString::stringWithFormat("com.example.setting.%05d", i);
        Ref<Object> value = NSString::stringWithFormat("value %d", i);
        switch (i % 5) {
        case 0:
            value = NSNumber::numberWithBool(i % 2);
            break;
        case 1:
            value = NSNumber::numberWithFloat(static_cast<float>(i) / 7);
            break;
        case 2:
            value = NSNumber::numberWithInteger(i * 1000003);
            break;
        case 3:
            value = NSDate::dateWithTimeIntervalSinceReferenceDate(i * 86400.0);
            break;
        }
        dictionary->setObjectForKey(value.ptr(), key.ptr());
    }
    return dictionary;
}

std::string bytesOf(int count, bool binary)
{
    AutoreleasePool pool;
    auto dictionary = preferences(count);
    return *(binary ? NSPropertyListBinary(dictionary.ptr()) : NSPropertyListXML(dictionary.ptr()));
}

void ReadXML(benchmark::State& state)
{
    std::string bytes = bytesOf(static_cast<int>(state.range(0)), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(NSPropertyListFromBytes(bytes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadXMLWithLibplist(benchmark::State& state)
{
    std::string bytes = bytesOf(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadBinary(benchmark::State& state)
{
    std::string bytes = bytesOf(static_cast<int>(state.range(0)), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(NSPropertyListFromBytes(bytes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadBinaryWithLibplist(benchmark::State& state)
{
    std::string bytes = bytesOf(static_cast<int>(state.range(0)), true);
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void WriteXML(benchmark::State& state)
{
    auto dictionary = preferences(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(NSPropertyListXML(dictionary.ptr()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void WriteXMLWithLibplist(benchmark::State& state)
{
    std::string bytes = bytesOf(static_cast<int>(state.range(0)), false);
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    for (auto _ : state) {
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(root, &xml, &length);
        benchmark::DoNotOptimize(xml);
        plist_to_xml_free(xml);
    }
    plist_free(root);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Every key looked up once: constant time a key, whatever the size.
void LookUpEveryKey(benchmark::State& state)
{
    auto dictionary = preferences(static_cast<int>(state.range(0)));
    std::vector<Ref<NSString>> keys;
    for (const auto& entry : dictionary->entries())
        keys.push_back(NSString::create(static_cast<NSString*>(entry.key.ptr())->view()));
    for (auto _ : state) {
        for (const auto& key : keys)
            benchmark::DoNotOptimize(dictionary->objectForKey(key.ptr()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void LookUpEveryKeyInAStdMap(benchmark::State& state)
{
    std::unordered_map<std::string, int> map;
    std::vector<std::string> keys;
    for (int i = 0; i < state.range(0); ++i) {
        char key[40];
        std::snprintf(key, sizeof key, "com.example.setting.%05d", i);
        map.emplace(key, i);
        keys.emplace_back(key);
    }
    for (auto _ : state) {
        for (const auto& key : keys)
            benchmark::DoNotOptimize(map.find(key));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A device root holding the extension's preference file as the Camera
// leaves it, in the build folder as the Camera's own root is (the depth of
// its path counts); removed at the end.
class PreferenceFolder {
public:
    PreferenceFolder()
    {
        auto build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
        std::string pattern = (build / "bench-device-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        std::filesystem::create_directories(m_root / "var/mobile/Library/Preferences");
        device::setRoot(m_root);
        AutoreleasePool pool;
        auto dictionary = NSMutableDictionary::create();
        dictionary->setObjectForKey(NSNumber::numberWithBool(YES).ptr(), kLMEnabledKey);
        dictionary->setObjectForKey(NSNumber::numberWithBool(YES).ptr(), kLMTorchKey);
        dictionary->setObjectForKey(NSNumber::numberWithFloat(0.5f).ptr(), kLMTorchVal);
        dictionary->setObjectForKey(NSNumber::numberWithBool(NO).ptr(), kRightBtnKey);
        dictionary->writeToFile(PREF_PATH, YES);
    }
    ~PreferenceFolder() { std::filesystem::remove_all(m_root); }
    std::filesystem::path file() const { return m_root / "var/mobile/Library/Preferences/com.QV.Lumora.plist"; }

private:
    std::filesystem::path m_root;
};

// The slider's save: one key set by a read-modify-write under the lock,
// written through a temporary that is synced and renamed over the file.
void SliderSave(benchmark::State& state)
{
    PreferenceFolder folder;
    int step = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        saveSetting(kLMTorchVal, NSNumber::numberWithFloat(0.1f * static_cast<float>(1 + step++ % 9)).ptr());
    }
}

// The same save with libplist: the same lock, read, change, temporary,
// sync and rename.
void SliderSaveWithLibplist(benchmark::State& state)
{
    PreferenceFolder folder;
    std::string path = folder.file().string();
    std::string lockPath = path + ".lock";
    int step = 0;
    for (auto _ : state) {
        int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ::flock(lock, LOCK_EX);
        std::ifstream in(path, std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        std::string bytes = contents.str();
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        plist_dict_set_item(root, "torchValue", plist_new_real(0.1 * (1 + step++ % 9)));
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(root, &xml, &length);
        std::string temporary = path + ".XXXXXX";
        int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        bool ok = ::write(fd, xml, length) == static_cast<ssize_t>(length) && ::fsync(fd) == 0;
        ::close(fd);
        if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0)
            state.SkipWithError("cannot write");
        plist_to_xml_free(xml);
        plist_free(root);
        ::close(lock);
    }
}

} // namespace

// Files of 100, 2,000 and 10,000 keys.
void sizes(benchmark::internal::Benchmark* family)
{
    family->Arg(100)->Arg(2000)->Arg(10000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(ReadXML)->Apply(sizes);
BENCHMARK(ReadXMLWithLibplist)->Apply(sizes);
BENCHMARK(ReadBinary)->Apply(sizes);
BENCHMARK(ReadBinaryWithLibplist)->Apply(sizes);
BENCHMARK(WriteXML)->Apply(sizes);
BENCHMARK(WriteXMLWithLibplist)->Apply(sizes);
BENCHMARK(LookUpEveryKey)->Apply(sizes);
BENCHMARK(LookUpEveryKeyInAStdMap)->Apply(sizes);
BENCHMARK(SliderSave)->Unit(benchmark::kMicrosecond);
BENCHMARK(SliderSaveWithLibplist)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
