// The binary form of property lists ("bplist00"): a table of objects, each
// a marker byte and its contents, an offset table and a trailer that says
// where everything is and how wide offsets and references are.
#include "foundation/PropertyListFormats.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

namespace plist_detail {

namespace {

constexpr std::string_view kMagic = "bplist00";
constexpr size_t kTrailerSize = 32;
// Objects may be shared, so a small file can describe a huge tree, which
// the next save would write out value by value. A file whose values,
// written out, would take many times its own size is no preference file
// anyone wrote: it is refused like a malformed one. The written size is
// reckoned as each value's text or data and some markup around it.
constexpr uint64_t kMaxGrowth = 64;
constexpr uint64_t kGrowthAllowance = 64 << 10; // what any file may unfold to
constexpr uint64_t kMarkupSize = 16;
// The objects' slots are made before any is read: a file that says it has
// more objects than this is refused before they are.
constexpr uint64_t kMaxObjects = uint64_t(1) << 22;

enum Marker : uint8_t {
    kFalse = 0x08,
    kTrue = 0x09,
    kInteger = 0x10,
    kReal = 0x20,
    kDate = 0x33,
    kData = 0x40,
    kASCIIString = 0x50,
    kUTF16String = 0x60,
    kUTF8String = 0x70,
    kUID = 0x80,
    kArray = 0xA0,
    kDictionary = 0xD0,
};

uint64_t readBigEndian(const unsigned char* bytes, size_t size)
{
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// MARK: Reading

class BinaryReader {
public:
    explicit BinaryReader(std::string_view bytes)
        : m_bytes(reinterpret_cast<const unsigned char*>(bytes.data()))
        , m_size(bytes.size())
    {
    }

    RefPtr<Object> read()
    {
        if (m_size < kMagic.size() + kTrailerSize || std::memcmp(m_bytes, kMagic.data(), kMagic.size()))
            return nullptr;
        const unsigned char* trailer = m_bytes + m_size - kTrailerSize;
        m_offsetSize = trailer[6];
        m_referenceSize = trailer[7];
        uint64_t objectCount = readBigEndian(trailer + 8, 8);
        uint64_t topObject = readBigEndian(trailer + 16, 8);
        uint64_t tableOffset = readBigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_referenceSize < 1 || m_referenceSize > 8)
            return nullptr;
        // The offset table lies between the objects and the trailer.
        uint64_t objectsEnd = m_size - kTrailerSize;
        if (tableOffset < kMagic.size() || tableOffset > objectsEnd || objectCount == 0 || objectCount > kMaxObjects
            || objectCount > (objectsEnd - tableOffset) / m_offsetSize || topObject >= objectCount)
            return nullptr;
        m_maxUnfoldedSize = std::max<uint64_t>(kGrowthAllowance, kMaxGrowth * m_size);
        m_table = m_bytes + tableOffset;
        m_objectsEnd = tableOffset;
        m_objects.resize(objectCount);
        return readObject(topObject, 0);
    }

private:
    struct Slot {
        RefPtr<Object> object;
        uint64_t unfoldedSize = 0; // of the tree below and including it, written out
        bool reading = false;
    };

    // The contents of one object: [offset, offset + size) within the
    // object area.
    bool inObjects(uint64_t offset, uint64_t size) const { return offset <= m_objectsEnd && size <= m_objectsEnd - offset; }

    // The count after a marker: its low nibble, or an integer object after
    // it when the nibble is 0xF.
    std::optional<uint64_t> readCount(uint64_t& offset, uint8_t marker)
    {
        uint8_t nibble = marker & 0x0F;
        ++offset;
        if (nibble != 0x0F)
            return nibble;
        if (!inObjects(offset, 1) || (m_bytes[offset] & 0xF0) != kInteger)
            return std::nullopt;
        size_t size = size_t(1) << (m_bytes[offset] & 0x0F);
        if (size > 8 || !inObjects(offset + 1, size))
            return std::nullopt;
        uint64_t count = readBigEndian(m_bytes + offset + 1, size);
        offset += 1 + size;
        return count;
    }

    RefPtr<Object> readInteger(uint64_t offset, uint8_t marker)
    {
        size_t size = size_t(1) << (marker & 0x0F);
        if (size > 16 || !inObjects(offset + 1, size))
            return nullptr;
        const unsigned char* bytes = m_bytes + offset + 1;
        // Up to eight bytes; only the eight-byte form can be negative.
        if (size <= 8)
            return NSNumber::numberWithLongLong(static_cast<long long>(readBigEndian(bytes, size)));
        // Sixteen bytes: a 128-bit integer. The platform writes unsigned
        // values above 2^63 - 1 this way, with the upper half zero; a
        // negative 64-bit value may come sign-extended.
        uint64_t high = readBigEndian(bytes, 8);
        uint64_t low = readBigEndian(bytes + 8, 8);
        if (high == 0)
            return NSNumber::numberWithUnsignedLongLong(low);
        if (high == UINT64_MAX && (low >> 63))
            return NSNumber::numberWithLongLong(static_cast<long long>(low));
        return nullptr;
    }

    RefPtr<Object> readReal(uint64_t offset, uint8_t marker)
    {
        size_t size = size_t(1) << (marker & 0x0F);
        if ((size != 4 && size != 8) || !inObjects(offset + 1, size))
            return nullptr;
        uint64_t bits = readBigEndian(m_bytes + offset + 1, size);
        if (size == 4)
            return NSNumber::numberWithFloat(std::bit_cast<float>(static_cast<uint32_t>(bits)));
        return NSNumber::numberWithDouble(std::bit_cast<double>(bits));
    }

    uint64_t reference(const unsigned char* at) const { return readBigEndian(at, m_referenceSize); }

    RefPtr<Object> readObject(uint64_t index, int depth)
    {
        if (index >= m_objects.size() || depth > kMaxDepth)
            return nullptr;
        Slot& slot = m_objects[index];
        if (slot.object) {
            // A shared object: it appears once more in the unfolded tree.
            if (!unfold(slot.unfoldedSize))
                return nullptr;
            return slot.object;
        }
        if (slot.reading)
            return nullptr; // an object that contains itself
        slot.reading = true;
        uint64_t before = m_unfoldedSize;
        RefPtr<Object> object = parseObject(index, depth);
        slot.reading = false;
        if (!object || !unfold(kMarkupSize + contentSize(object.get())))
            return nullptr;
        slot.unfoldedSize = m_unfoldedSize - before;
        slot.object = object;
        return object;
    }

    // The size of a value's own text or data, written out.
    static uint64_t contentSize(Object* value)
    {
        switch (typeOf(value)) {
        case ValueType::String:
            return static_cast<NSString*>(value)->view().size();
        case ValueType::Data:
            return static_cast<NSData*>(value)->length() / 3 * 4;
        default:
            return 0;
        }
    }

    bool unfold(uint64_t size)
    {
        m_unfoldedSize += size;
        return m_unfoldedSize <= m_maxUnfoldedSize;
    }

    RefPtr<Object> parseObject(uint64_t index, int depth)
    {
        uint64_t offset = readBigEndian(m_table + index * m_offsetSize, m_offsetSize);
        if (offset < kMagic.size() || !inObjects(offset, 1))
            return nullptr;
        uint8_t marker = m_bytes[offset];
        switch (marker & 0xF0) {
        case 0x00:
            if (marker == kFalse || marker == kTrue)
                return NSNumber::numberWithBool(marker == kTrue);
            return nullptr; // null and fill bytes are no values
        case kInteger:
            return readInteger(offset, marker);
        case kReal:
            return readReal(offset, marker);
        case kDate & 0xF0: {
            if (marker != kDate || !inObjects(offset + 1, 8))
                return nullptr;
            return NSDate::dateWithTimeIntervalSinceReferenceDate(std::bit_cast<double>(readBigEndian(m_bytes + offset + 1, 8)));
        }
        case kData: {
            auto count = readCount(offset, marker);
            if (!count || !inObjects(offset, *count))
                return nullptr;
            return NSData::create(std::vector<uint8_t>(m_bytes + offset, m_bytes + offset + *count));
        }
        case kASCIIString: {
            auto count = readCount(offset, marker);
            if (!count || !inObjects(offset, *count))
                return nullptr;
            // Bytes above 0x7F are read as Latin-1.
            std::string_view bytes(reinterpret_cast<const char*>(m_bytes + offset), *count);
            if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                return NSString::create(bytes);
            return NSString::create(latin1ToUTF8(bytes));
        }
        case kUTF16String: {
            auto count = readCount(offset, marker);
            if (!count || *count > m_objectsEnd / 2 || !inObjects(offset, *count * 2))
                return nullptr;
            auto text = decodeUTF16(std::string_view(reinterpret_cast<const char*>(m_bytes + offset), *count * 2), true, false);
            return text ? RefPtr<Object>(NSString::create(*text)) : nullptr;
        }
        case kUTF8String: {
            auto count = readCount(offset, marker);
            if (!count || !inObjects(offset, *count))
                return nullptr;
            std::string_view text(reinterpret_cast<const char*>(m_bytes + offset), *count);
            return isValidUTF8(text) ? RefPtr<Object>(NSString::create(text)) : nullptr;
        }
        case kUID: {
            size_t size = (marker & 0x0F) + 1u;
            if (size > 8 || !inObjects(offset + 1, size))
                return nullptr;
            return CFKeyedArchiverUID::create(readBigEndian(m_bytes + offset + 1, size));
        }
        case kArray:
            return readArray(offset, marker, depth);
        case kDictionary:
            return readDictionary(offset, marker, depth);
        default:
            return nullptr; // sets and unknown markers
        }
    }

    RefPtr<Object> readArray(uint64_t offset, uint8_t marker, int depth)
    {
        auto count = readCount(offset, marker);
        if (!count || *count > m_objectsEnd / m_referenceSize || !inObjects(offset, *count * m_referenceSize))
            return nullptr;
        std::vector<RefPtr<Object>> objects;
        objects.reserve(*count);
        for (uint64_t i = 0; i < *count; ++i) {
            auto item = readObject(reference(m_bytes + offset + i * m_referenceSize), depth + 1);
            if (!item)
                return nullptr;
            objects.push_back(std::move(item));
        }
        return NSArray::create(std::move(objects));
    }

    RefPtr<Object> readDictionary(uint64_t offset, uint8_t marker, int depth)
    {
        auto count = readCount(offset, marker);
        if (!count || *count > m_objectsEnd / (2 * m_referenceSize) || !inObjects(offset, *count * 2 * m_referenceSize))
            return nullptr;
        // Room made ahead for what a preference file holds, not for what a
        // hostile count asks.
        auto dictionary = NSMutableDictionary::createWithCapacity(std::min<uint64_t>(*count, 1u << 16));
        const unsigned char* keys = m_bytes + offset;
        const unsigned char* values = keys + *count * m_referenceSize;
        for (uint64_t i = 0; i < *count; ++i) {
            auto key = readObject(reference(keys + i * m_referenceSize), depth + 1);
            if (!key || typeOf(key.get()) != ValueType::String)
                return nullptr;
            auto value = readObject(reference(values + i * m_referenceSize), depth + 1);
            if (!value)
                return nullptr;
            dictionary->setObjectForKey(value.get(), key.get());
        }
        return dictionary;
    }

    const unsigned char* m_bytes;
    size_t m_size;
    const unsigned char* m_table = nullptr;
    uint64_t m_objectsEnd = 0;
    size_t m_offsetSize = 0;
    size_t m_referenceSize = 0;
    std::vector<Slot> m_objects;
    uint64_t m_unfoldedSize = 0;
    uint64_t m_maxUnfoldedSize = 0;
};

// MARK: Writing

class BinaryWriter {
public:
    std::optional<std::string> write(Object* root)
    {
        size_t count = 0;
        if (!countObjects(root, 0, count))
            return std::nullopt;
        m_referenceSize = byteWidth(count);
        m_out = kMagic;
        m_offsets.reserve(count);
        writeObject(root);
        uint64_t tableOffset = m_out.size();
        size_t offsetSize = byteWidth(tableOffset);
        for (uint64_t offset : m_offsets)
            appendBigEndian(offset, offsetSize);
        std::string trailer(6, '\0');
        trailer += static_cast<char>(offsetSize);
        trailer += static_cast<char>(m_referenceSize);
        m_out += trailer;
        appendBigEndian(m_offsets.size(), 8);
        appendBigEndian(0, 8); // the root is the first object
        appendBigEndian(tableOffset, 8);
        return std::move(m_out);
    }

private:
    static size_t byteWidth(uint64_t value)
    {
        size_t width = 1;
        while (width < 8 && (value >> (8 * width)))
            width *= 2;
        return width;
    }

    void appendBigEndian(uint64_t value, size_t size)
    {
        for (size_t i = size; i-- > 0;)
            m_out += static_cast<char>(value >> (8 * i));
    }

    // Every value is written as an object of its own, in tree order.
    static bool countObjects(Object* value, int depth, size_t& count)
    {
        if (depth > kMaxDepth)
            return false;
        ++count;
        switch (typeOf(value)) {
        case ValueType::Array:
            for (const auto& item : *static_cast<NSArray*>(value)) {
                if (!countObjects(item.get(), depth + 1, count))
                    return false;
            }
            return true;
        case ValueType::Dictionary:
            for (const auto& entry : static_cast<NSDictionary*>(value)->entries()) {
                if (typeOf(entry.key.ptr()) != ValueType::String || !countObjects(entry.key.ptr(), depth + 1, count)
                    || !countObjects(entry.value.ptr(), depth + 1, count))
                    return false;
            }
            return true;
        case ValueType::Other:
            return false;
        default:
            return true;
        }
    }

    void writeMarker(uint8_t marker, uint64_t count)
    {
        if (count < 15) {
            m_out += static_cast<char>(marker | count);
            return;
        }
        m_out += static_cast<char>(marker | 0x0F);
        size_t width = byteWidth(count);
        m_out += static_cast<char>(kInteger | std::countr_zero(width));
        appendBigEndian(count, width);
    }

    void writeString(std::string_view text)
    {
        bool ascii = true;
        for (char c : text)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            writeMarker(kASCIIString, text.size());
            m_out += text;
            return;
        }
        std::u16string units = encodeUTF16(text);
        writeMarker(kUTF16String, units.size());
        for (char16_t unit : units)
            appendBigEndian(unit, 2);
    }

    void writeNumber(NSNumber* number)
    {
        switch (number->kind()) {
        case NSNumber::Kind::Bool:
            m_out += static_cast<char>(number->boolValue() ? kTrue : kFalse);
            return;
        case NSNumber::Kind::Integer: {
            long long value = number->longLongValue();
            size_t width = value < 0 ? 8 : byteWidth(static_cast<uint64_t>(value));
            m_out += static_cast<char>(kInteger | std::countr_zero(width));
            appendBigEndian(static_cast<uint64_t>(value), width);
            return;
        }
        case NSNumber::Kind::UnsignedInteger:
            m_out += static_cast<char>(kInteger | 4);
            appendBigEndian(0, 8);
            appendBigEndian(number->unsignedLongLongValue(), 8);
            return;
        case NSNumber::Kind::Float:
            m_out += static_cast<char>(kReal | 2);
            appendBigEndian(std::bit_cast<uint32_t>(number->floatValue()), 4);
            return;
        case NSNumber::Kind::Double:
            m_out += static_cast<char>(kReal | 3);
            appendBigEndian(std::bit_cast<uint64_t>(number->doubleValue()), 8);
            return;
        }
    }

    // Writes value and the values below it; returns its object index.
    uint64_t writeObject(Object* value)
    {
        uint64_t index = m_offsets.size();
        m_offsets.push_back(m_out.size());
        switch (typeOf(value)) {
        case ValueType::String:
            writeString(static_cast<NSString*>(value)->view());
            break;
        case ValueType::Number:
            writeNumber(static_cast<NSNumber*>(value));
            break;
        case ValueType::Data: {
            const auto& bytes = static_cast<NSData*>(value)->bytes();
            writeMarker(kData, bytes.size());
            m_out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            break;
        }
        case ValueType::Date:
            m_out += static_cast<char>(kDate);
            appendBigEndian(std::bit_cast<uint64_t>(static_cast<NSDate*>(value)->timeIntervalSinceReferenceDate()), 8);
            break;
        case ValueType::UID: {
            uint64_t uid = static_cast<CFKeyedArchiverUID*>(value)->value();
            size_t width = byteWidth(uid);
            m_out += static_cast<char>(kUID | (width - 1));
            appendBigEndian(uid, width);
            break;
        }
        case ValueType::Array: {
            auto* array = static_cast<NSArray*>(value);
            writeContainer(kArray, array->count(), [&](auto&& reference) {
                for (const auto& item : *array)
                    reference(item.get());
            });
            break;
        }
        case ValueType::Dictionary: {
            auto* dictionary = static_cast<NSDictionary*>(value);
            writeContainer(kDictionary, dictionary->count(), [&](auto&& reference) {
                for (const auto& entry : dictionary->entries())
                    reference(entry.key.ptr());
                for (const auto& entry : dictionary->entries())
                    reference(entry.value.ptr());
            });
            break;
        }
        case ValueType::Other:
            break; // ruled out by countObjects
        }
        return index;
    }

    // A container's references are only known once its children are
    // written, and they follow it: reserve room, then fill it in.
    template <typename EachChild>
    void writeContainer(uint8_t marker, size_t count, EachChild eachChild)
    {
        writeMarker(marker, count);
        size_t references = m_out.size();
        size_t slots = marker == kDictionary ? count * 2 : count;
        m_out.append(slots * m_referenceSize, '\0');
        size_t slot = 0;
        eachChild([&](Object* child) {
            uint64_t index = writeObject(child);
            for (size_t i = 0; i < m_referenceSize; ++i)
                m_out[references + slot * m_referenceSize + i] = static_cast<char>(index >> (8 * (m_referenceSize - 1 - i)));
            ++slot;
        });
    }

    std::string m_out;
    std::vector<uint64_t> m_offsets;
    size_t m_referenceSize = 1;
};

} // namespace

RefPtr<Object> readBinary(std::string_view bytes)
{
    return BinaryReader(bytes).read();
}

std::optional<std::string> writeBinary(Object* root)
{
    return BinaryWriter().write(root);
}

} // namespace plist_detail
