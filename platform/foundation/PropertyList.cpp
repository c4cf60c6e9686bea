#include "foundation/PropertyList.h"

#include "foundation/PropertyListFormats.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace plist_detail {

ValueType typeOf(Object* value)
{
    if (!value)
        return ValueType::Other;
    Class cls = value->isa();
    if (class_isSubclassOf(cls, NSString::staticClass()))
        return ValueType::String;
    if (class_isSubclassOf(cls, NSNumber::staticClass()))
        return ValueType::Number;
    if (class_isSubclassOf(cls, NSDictionary::staticClass()))
        return ValueType::Dictionary;
    if (class_isSubclassOf(cls, NSArray::staticClass()))
        return ValueType::Array;
    if (class_isSubclassOf(cls, NSData::staticClass()))
        return ValueType::Data;
    if (class_isSubclassOf(cls, NSDate::staticClass()))
        return ValueType::Date;
    if (class_isSubclassOf(cls, CFKeyedArchiverUID::staticClass()))
        return ValueType::UID;
    return ValueType::Other;
}

// MARK: Unicode

void appendUTF8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string latin1ToUTF8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes)
        appendUTF8(out, c);
    return out;
}

std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian, bool strict)
{
    if (bytes.size() % 2)
        return std::nullopt;
    auto unitAt = [&](size_t i) -> char16_t {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 2 < bytes.size()) {
            char16_t next = unitAt(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUTF8(out, 0x10000 + ((unit - 0xD800u) << 10) + (next - 0xDC00u));
                i += 2;
                continue;
            }
        }
        if (strict && unit >= 0xD800 && unit <= 0xDFFF)
            return std::nullopt;
        appendUTF8(out, unit);
    }
    return out;
}

namespace {

// The code point at text[i] and its length; surrogates' three-byte forms
// are decoded too. Invalid bytes come out as length 0.
std::pair<char32_t, size_t> decodeAt(std::string_view text, size_t i)
{
    auto byte = [&](size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u; };
    auto continuation = [&](size_t at) { return (byte(at) & 0xC0) == 0x80; };
    unsigned lead = byte(i);
    if (lead < 0x80)
        return { lead, 1 };
    if (lead >= 0xC2 && lead <= 0xDF && continuation(i + 1))
        return { ((lead & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu), 2 };
    if (lead >= 0xE0 && lead <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
        char32_t value = ((lead & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
        if (value >= 0x800)
            return { value, 3 };
    }
    if (lead >= 0xF0 && lead <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
        char32_t value = ((lead & 0x07u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) | ((byte(i + 2) & 0x3Fu) << 6) | (byte(i + 3) & 0x3Fu);
        if (value >= 0x10000 && value <= 0x10FFFF)
            return { value, 4 };
    }
    return { 0, 0 };
}

} // namespace

std::u16string encodeUTF16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto [codePoint, length] = decodeAt(utf8, i);
        if (!length) {
            out += u'\uFFFD'; // not text: no string read from a file has it
            ++i;
            continue;
        }
        i += length;
        if (codePoint >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(codePoint);
        }
    }
    return out;
}

bool isValidUTF8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        auto [codePoint, length] = decodeAt(text, i);
        if (!length || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace plist_detail

using plist_detail::typeOf;
using plist_detail::ValueType;

namespace {

// The largest file the platform reads as a property list here; larger ones
// are refused rather than read whole into memory.
constexpr off_t kMaxFileSize = 64 << 20;

void summarize(Object* value, std::string& out, int depth)
{
    if (!value) {
        out += "nil";
        return;
    }
    if (depth > 16) {
        out += "...";
        return;
    }
    char buffer[64];
    switch (typeOf(value)) {
    case ValueType::String:
        out += '"';
        out += static_cast<NSString*>(value)->view();
        out += '"';
        return;
    case ValueType::Number: {
        auto* number = static_cast<NSNumber*>(value);
        if (number->kind() == NSNumber::Kind::Bool)
            out += number->boolValue() ? "true" : "false";
        else if (number->kind() == NSNumber::Kind::Integer)
            out += std::to_string(number->longLongValue());
        else if (number->kind() == NSNumber::Kind::UnsignedInteger)
            out += std::to_string(number->unsignedLongLongValue());
        else {
            std::snprintf(buffer, sizeof buffer, "%g", number->doubleValue());
            out += buffer;
        }
        return;
    }
    case ValueType::Data:
        out += "<" + std::to_string(static_cast<NSData*>(value)->length()) + " bytes>";
        return;
    case ValueType::Date: {
        double seconds = static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate();
        auto text = plist_detail::formatXMLDate(seconds);
        if (!text)
            std::snprintf(buffer, sizeof buffer, "date(%g)", seconds);
        out += text ? *text : buffer;
        return;
    }
    case ValueType::UID:
        out += "uid(" + std::to_string(static_cast<CFKeyedArchiverUID*>(value)->value()) + ")";
        return;
    case ValueType::Array: {
        out += '(';
        bool first = true;
        for (const auto& object : *static_cast<NSArray*>(value)) {
            if (!first)
                out += ", ";
            first = false;
            summarize(object.get(), out, depth + 1);
        }
        out += ')';
        return;
    }
    case ValueType::Dictionary: {
        out += '{';
        bool first = true;
        for (const auto& entry : static_cast<NSDictionary*>(value)->entries()) {
            if (!first)
                out += "; ";
            first = false;
            if (typeOf(entry.key.ptr()) == ValueType::String)
                out += static_cast<NSString*>(entry.key.ptr())->view();
            else
                summarize(entry.key.ptr(), out, depth + 1);
            out += " = ";
            summarize(entry.value.ptr(), out, depth + 1);
        }
        out += '}';
        return;
    }
    case ValueType::Other:
        out += '<';
        out += object_getClassName(value);
        out += '>';
        return;
    }
}

bool writeAll(int fd, std::string_view bytes)
{
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return ::fsync(fd) == 0;
}

// MARK: Temporaries of atomic writes

constexpr std::string_view kTemporarySuffix = ".saving";
constexpr size_t kTemporaryRandomLength = 6;
// A temporary younger than this may belong to a writer that has made it
// but not yet locked it.
constexpr auto kTemporaryGrace = std::chrono::seconds(2);

bool isTemporaryOf(std::string_view entry, std::string_view target)
{
    size_t length = target.size() + 1 + kTemporaryRandomLength + kTemporarySuffix.size();
    if (entry.size() != length || !entry.starts_with(target) || entry[target.size()] != '.' || !entry.ends_with(kTemporarySuffix))
        return false;
    for (char c : entry.substr(target.size() + 1, kTemporaryRandomLength)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Removes the temporaries of target that no living writer holds.
void removeStaleTemporaries(const std::filesystem::path& target, const std::string& own)
{
    std::string folder = target.parent_path().string();
    std::string name = target.filename().string();
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory)
        return;
    auto now = std::chrono::system_clock::now();
    while (dirent* entry = ::readdir(directory)) {
        if (!isTemporaryOf(entry->d_name, name))
            continue;
        std::string path = (target.parent_path() / entry->d_name).string();
        if (path == own)
            continue;
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status;
        bool stale = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
            && now - std::chrono::system_clock::from_time_t(status.st_mtime) > kTemporaryGrace && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(directory);
}

// Whether this is the process's first atomic write of target: the one
// that clears what writers killed earlier left. Later writes skip the scan
// of the folder, which would cost a save more than its read.
bool firstWriteOf(const std::string& target)
{
    static std::mutex mutex;
    static auto* written = new std::unordered_set<std::string>;
    std::lock_guard lock(mutex);
    return written->insert(target).second;
}

} // namespace

RefPtr<Object> NSPropertyListFromBytes(std::string_view bytes)
{
    if (bytes.empty())
        return nullptr;
    if (bytes.starts_with("bplist"))
        return plist_detail::readBinary(bytes);
    if (auto root = plist_detail::readXML(bytes))
        return root;
    return plist_detail::readText(bytes);
}

std::optional<std::string> NSPropertyListXML(Object* root)
{
    return plist_detail::writeXML(root);
}

std::optional<std::string> NSPropertyListBinary(Object* root)
{
    return plist_detail::writeBinary(root);
}

std::optional<std::string> NSPropertyListFileBytes(Object* root)
{
    if (auto xml = plist_detail::writeXML(root))
        return xml;
    return plist_detail::writeBinary(root);
}

std::string NSPropertyListSummary(Object* value)
{
    std::string out;
    summarize(value, out, 0);
    return out;
}

RefPtr<Object> NSPropertyListReadHostFile(const std::filesystem::path& path)
{
    // Without blocking: opening a FIFO for reading would wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::string contents;
    struct stat status;
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxFileSize;
    if (ok) {
        contents.reserve(static_cast<size_t>(status.st_size));
        char buffer[65536];
        for (;;) {
            ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0) {
                ok = count == 0;
                break;
            }
            contents.append(buffer, static_cast<size_t>(count));
            if (contents.size() > static_cast<size_t>(kMaxFileSize)) {
                ok = false;
                break;
            }
        }
    }
    ::close(fd);
    return ok ? NSPropertyListFromBytes(contents) : nullptr;
}

bool NSWriteHostFile(const std::filesystem::path& path, std::string_view bytes, bool atomically)
{
    if (!atomically) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = writeAll(fd, bytes);
        return ::close(fd) == 0 && ok;
    }

    std::string temporary = path.string() + "." + std::string(kTemporaryRandomLength, 'X') + std::string(kTemporarySuffix);
    int fd = ::mkostemps(temporary.data(), static_cast<int>(kTemporarySuffix.size()), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Held until the temporary is renamed or given up, so that no other
    // writer takes it for a dead one's.
    ::flock(fd, LOCK_EX);
    if (firstWriteOf(path.string()))
        removeStaleTemporaries(path, temporary);
    ::fchmod(fd, 0644);
    bool ok = writeAll(fd, bytes);
    if (ok)
        ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    ok = ::close(fd) == 0 && ok;
    return ok;
}
