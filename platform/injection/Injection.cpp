#include "injection/Injection.h"

#include "device/Device.h"
#include "device/DynamicLoader.h"
#include "device/Trace.h"
#include "foundation/PropertyList.h"

#include <algorithm>

namespace device {

namespace {

constexpr const char* kSubstrateFolder = "/Library/MobileSubstrate/DynamicLibraries";

// Filter files are property lists in any form (the OpenStep text form
// among them): Filter = { Bundles = ("com.apple.camera"); };
RefPtr<Object> readFilter(const std::filesystem::path& file)
{
    return NSPropertyListReadHostFile(file);
}

bool listContains(Object* list, const std::string& value)
{
    if (!list || !class_isSubclassOf(list->isa(), NSArray::staticClass()))
        return false;
    for (const auto& item : *static_cast<NSArray*>(list)) {
        if (item && class_isSubclassOf(item->isa(), NSString::staticClass()) && static_cast<NSString*>(item.get())->view() == value)
            return true;
    }
    return false;
}

bool filterMatches(Object* filterFile, const std::string& bundleIdentifier, const std::string& executableName)
{
    if (!filterFile || !class_isSubclassOf(filterFile->isa(), NSDictionary::staticClass()))
        return false;
    id filter = static_cast<NSDictionary*>(filterFile)->objectForKey("Filter"_ns);
    if (!filter || !class_isSubclassOf(filter->isa(), NSDictionary::staticClass()))
        return false;
    auto* dictionary = static_cast<NSDictionary*>(filter);
    return listContains(dictionary->objectForKey("Bundles"_ns), bundleIdentifier)
        || listContains(dictionary->objectForKey("Executables"_ns), executableName);
}

} // namespace

void injectLibraries(const std::string& bundleIdentifier, const std::string& executableName)
{
    auto folder = hostPath(kSubstrateFolder);
    if (!folder)
        return;
    std::error_code error;
    std::vector<std::string> libraries;
    for (const auto& file : std::filesystem::directory_iterator(*folder, error)) {
        if (file.path().extension() == ".dylib")
            libraries.push_back(file.path().filename().string());
    }
    std::sort(libraries.begin(), libraries.end());
    for (const auto& library : libraries) {
        auto filterPath = *folder / (std::filesystem::path(library).stem().string() + ".plist");
        // A library without a filter file goes into every process.
        if (std::filesystem::exists(filterPath, error) && !filterMatches(readFilter(filterPath).get(), bundleIdentifier, executableName))
            continue;
        std::string devicePath = std::string(kSubstrateFolder) + "/" + library;
        tracef(TraceKind::Inject, "inject %s into %s", library.c_str(), executableName.c_str());
        __wrap_dlopen(devicePath.c_str(), kRTLD_LAZY | kRTLD_GLOBAL);
    }
}

} // namespace device
