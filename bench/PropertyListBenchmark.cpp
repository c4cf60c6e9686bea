// Reading and writing preference files of many keys: the platform's
// property lists beside libplist on the same bytes, and dictionary lookups
// of every key (a launch reads the whole file, and used to take time
// quadratic in the number of keys).
#include "foundation/PropertyList.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdio>
#include <string>
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

BENCHMARK_MAIN();
