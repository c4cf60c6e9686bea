#include "foundation/PropertyList.h"

#include <plist/plist.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RefPtr<Object> fromNode(plist_t node, int depth = 0)
{
    if (!node || depth > 512)
        return nullptr;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return NSNumber::numberWithBool(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return NSNumber::numberWithInteger(static_cast<NSInteger>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return NSNumber::numberWithDouble(value);
    }
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        auto string = NSString::create(value ? value : "");
        std::free(value);
        return string;
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        std::vector<uint8_t> data(bytes, bytes + length);
        std::free(bytes);
        return NSData::create(std::move(data));
    }
    case PLIST_DATE: {
        int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return NSDate::dateWithTimeIntervalSinceReferenceDate(seconds + microseconds / 1e6);
    }
    case PLIST_ARRAY: {
        std::vector<RefPtr<Object>> objects;
        uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            auto object = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!object)
                return nullptr;
            objects.push_back(std::move(object));
        }
        return NSArray::create(std::move(objects));
    }
    case PLIST_DICT: {
        auto dictionary = NSMutableDictionary::create();
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (!key)
                break;
            auto value = fromNode(item, depth + 1);
            auto keyString = NSString::create(key);
            std::free(key);
            if (!value) {
                std::free(iterator);
                return nullptr;
            }
            dictionary->setObjectForKey(value.get(), keyString.ptr());
        }
        std::free(iterator);
        return dictionary;
    }
    default:
        return nullptr;
    }
}

plist_t toNode(Object* value, int depth = 0)
{
    if (!value || depth > 512)
        return nullptr;
    Class cls = value->isa();
    if (class_isSubclassOf(cls, NSString::staticClass()))
        return plist_new_string(static_cast<NSString*>(value)->UTF8String());
    if (class_isSubclassOf(cls, NSNumber::staticClass())) {
        auto* number = static_cast<NSNumber*>(value);
        switch (number->kind()) {
        case NSNumber::Kind::Bool:
            return plist_new_bool(number->boolValue());
        case NSNumber::Kind::Integer:
            return plist_new_uint(static_cast<uint64_t>(number->integerValue()));
        case NSNumber::Kind::Float:
        case NSNumber::Kind::Double:
            return plist_new_real(number->doubleValue());
        }
    }
    if (class_isSubclassOf(cls, NSData::staticClass())) {
        const auto& bytes = static_cast<NSData*>(value)->bytes();
        return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    if (class_isSubclassOf(cls, NSDate::staticClass())) {
        double seconds = static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate();
        double whole = std::floor(seconds);
        return plist_new_date(static_cast<int32_t>(whole), static_cast<int32_t>(std::lround((seconds - whole) * 1e6)));
    }
    if (class_isSubclassOf(cls, NSArray::staticClass())) {
        plist_t array = plist_new_array();
        for (const auto& object : *static_cast<NSArray*>(value)) {
            plist_t item = toNode(object.get(), depth + 1);
            if (!item) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, item);
        }
        return array;
    }
    if (class_isSubclassOf(cls, NSDictionary::staticClass())) {
        plist_t dictionary = plist_new_dict();
        for (const auto& entry : static_cast<NSDictionary*>(value)->entries()) {
            plist_t item = toNode(entry.value.ptr(), depth + 1);
            bool stringKey = class_isSubclassOf(entry.key->isa(), NSString::staticClass());
            if (!item || !stringKey) {
                plist_free(item);
                plist_free(dictionary);
                return nullptr;
            }
            plist_dict_set_item(dictionary, static_cast<NSString*>(entry.key.ptr())->UTF8String(), item);
        }
        return dictionary;
    }
    return nullptr;
}

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
    Class cls = value->isa();
    if (class_isSubclassOf(cls, NSString::staticClass())) {
        out += '"';
        out += static_cast<NSString*>(value)->view();
        out += '"';
    } else if (class_isSubclassOf(cls, NSNumber::staticClass())) {
        auto* number = static_cast<NSNumber*>(value);
        if (number->kind() == NSNumber::Kind::Bool)
            out += number->boolValue() ? "true" : "false";
        else if (number->kind() == NSNumber::Kind::Integer)
            out += std::to_string(number->integerValue());
        else {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%g", number->doubleValue());
            out += buffer;
        }
    } else if (class_isSubclassOf(cls, NSData::staticClass())) {
        out += "<" + std::to_string(static_cast<NSData*>(value)->length()) + " bytes>";
    } else if (class_isSubclassOf(cls, NSDate::staticClass())) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "date(%.0f)", static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate());
        out += buffer;
    } else if (class_isSubclassOf(cls, NSArray::staticClass())) {
        out += '(';
        bool first = true;
        for (const auto& object : *static_cast<NSArray*>(value)) {
            if (!first)
                out += ", ";
            first = false;
            summarize(object.get(), out, depth + 1);
        }
        out += ')';
    } else if (class_isSubclassOf(cls, NSDictionary::staticClass())) {
        out += '{';
        bool first = true;
        for (const auto& entry : static_cast<NSDictionary*>(value)->entries()) {
            if (!first)
                out += "; ";
            first = false;
            if (class_isSubclassOf(entry.key->isa(), NSString::staticClass()))
                out += static_cast<NSString*>(entry.key.ptr())->view();
            else
                summarize(entry.key.ptr(), out, depth + 1);
            out += " = ";
            summarize(entry.value.ptr(), out, depth + 1);
        }
        out += '}';
    } else {
        out += '<';
        out += object_getClassName(value);
        out += '>';
    }
}

} // namespace

RefPtr<Object> NSPropertyListFromBytes(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > UINT32_MAX)
        return nullptr;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return nullptr;
    auto object = fromNode(root);
    plist_free(root);
    return object;
}

std::optional<std::string> NSPropertyListXML(Object* root)
{
    plist_t node = toNode(root);
    if (!node)
        return std::nullopt;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    plist_free(node);
    if (!xml)
        return std::nullopt;
    std::string result(xml, length);
    plist_to_xml_free(xml);
    return result;
}

std::optional<std::string> NSPropertyListBinary(Object* root)
{
    plist_t node = toNode(root);
    if (!node)
        return std::nullopt;
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    plist_free(node);
    if (!bytes)
        return std::nullopt;
    std::string result(bytes, length);
    plist_to_bin_free(bytes);
    return result;
}

std::string NSPropertyListSummary(Object* value)
{
    std::string out;
    summarize(value, out, 0);
    return out;
}

RefPtr<Object> NSPropertyListReadHostFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return nullptr;
    std::ostringstream contents;
    contents << file.rdbuf();
    if (!file && !file.eof())
        return nullptr;
    return NSPropertyListFromBytes(contents.str());
}

bool NSWriteHostFile(const std::filesystem::path& path, std::string_view bytes, bool atomically)
{
    auto writeAll = [bytes](int fd) {
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
    };

    if (!atomically) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = writeAll(fd);
        return ::close(fd) == 0 && ok;
    }

    std::string temporary = path.string() + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    ::fchmod(fd, 0644);
    bool ok = writeAll(fd);
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}
