#include "injection/Injection.h"

#include "device/Device.h"
#include "device/DynamicLoader.h"
#include "device/Trace.h"
#include "foundation/PropertyList.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

namespace device {

namespace {

constexpr const char* kSubstrateFolder = "/Library/MobileSubstrate/DynamicLibraries";

// A small reader for the OpenStep text form of filter files:
//   Filter = { Bundles = ("com.apple.camera"); Executables = (Camera); };
class OpenStepReader {
public:
    explicit OpenStepReader(std::string_view text)
        : m_text(text)
    {
    }

    RefPtr<Object> readRoot()
    {
        skip();
        RefPtr<Object> value;
        if (peek() == '{' || peek() == '(' || peek() == '"')
            value = readValue();
        else
            value = readEntries('\0'); // a bare list of entries is a dictionary
        skip();
        return m_failed || m_position != m_text.size() ? nullptr : value;
    }

private:
    char peek() const { return m_position < m_text.size() ? m_text[m_position] : '\0'; }

    void skip()
    {
        while (m_position < m_text.size()) {
            char c = m_text[m_position];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_position;
            } else if (m_text.substr(m_position, 2) == "//") {
                while (m_position < m_text.size() && m_text[m_position] != '\n')
                    ++m_position;
            } else if (m_text.substr(m_position, 2) == "/*") {
                auto end = m_text.find("*/", m_position + 2);
                m_position = end == std::string_view::npos ? m_text.size() : end + 2;
            } else {
                break;
            }
        }
    }

    bool expect(char c)
    {
        skip();
        if (peek() != c) {
            m_failed = true;
            return false;
        }
        ++m_position;
        return true;
    }

    RefPtr<NSString> readString()
    {
        skip();
        std::string out;
        if (peek() == '"') {
            ++m_position;
            while (m_position < m_text.size() && m_text[m_position] != '"') {
                char c = m_text[m_position++];
                if (c == '\\' && m_position < m_text.size())
                    c = m_text[m_position++];
                out += c;
            }
            if (!expect('"'))
                return nullptr;
            return NSString::create(out);
        }
        while (m_position < m_text.size()) {
            char c = m_text[m_position];
            if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("._-/$:", c)))
                break;
            out += c;
            ++m_position;
        }
        if (out.empty()) {
            m_failed = true;
            return nullptr;
        }
        return NSString::create(out);
    }

    RefPtr<Object> readEntries(char close)
    {
        auto dictionary = NSMutableDictionary::create();
        for (;;) {
            skip();
            if (peek() == close) {
                if (close)
                    ++m_position;
                return dictionary;
            }
            auto key = readString();
            if (!key || !expect('='))
                return nullptr;
            auto value = readValue();
            if (!value || !expect(';'))
                return nullptr;
            dictionary->setObjectForKey(value.get(), key.get());
        }
    }

    RefPtr<Object> readValue()
    {
        skip();
        if (++m_depth > 64) {
            m_failed = true;
            return nullptr;
        }
        RefPtr<Object> value;
        if (peek() == '{') {
            ++m_position;
            value = readEntries('}');
        } else if (peek() == '(') {
            ++m_position;
            auto array = NSMutableArray::create();
            skip();
            while (!m_failed && peek() != ')') {
                auto item = readValue();
                if (!item)
                    return nullptr;
                array->addObject(item.get());
                skip();
                if (peek() == ',')
                    ++m_position;
                else if (peek() != ')')
                    m_failed = true;
                skip();
            }
            if (!m_failed)
                ++m_position;
            value = array;
        } else {
            value = readString();
        }
        --m_depth;
        return m_failed ? nullptr : value;
    }

    std::string_view m_text;
    size_t m_position = 0;
    int m_depth = 0;
    bool m_failed = false;
};

RefPtr<Object> readFilter(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return nullptr;
    std::ostringstream contents;
    contents << in.rdbuf();
    auto text = contents.str();
    if (auto list = NSPropertyListFromBytes(text))
        return list;
    return OpenStepReader(text).readRoot();
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
