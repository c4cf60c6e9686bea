#include "foundation/NSKeyValueCoding.h"

#include "foundation/NSException.h"
#include "foundation/NSStructValue.h"
#include "foundation/NSValue.h"

#include <cstring>
#include <string>

// The constant's value is the device's: exceptions of this kind are named
// "NSUnknownKeyException".
NSString* const NSUndefinedKeyException = "NSUnknownKeyException"_ns;

namespace kvc {

namespace {

template <typename T>
id autoreleased(Ref<T>&& object)
{
    return object.leakRef()->autorelease();
}

std::string capitalized(std::string_view key)
{
    std::string text(key);
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// The first complete type of an encoding ("{CGSize=dd}@:" -> "{CGSize=dd}").
std::string_view firstType(std::string_view types)
{
    size_t i = 0;
    while (i < types.size() && std::strchr("rnNoORV", types[i]))
        ++i;
    if (i >= types.size())
        return types.substr(0, i);
    char c = types[i];
    if (c == '^')
        return types.substr(0, i + 1 + firstType(types.substr(i + 1)).size());
    if (c == '@' && i + 1 < types.size() && types[i + 1] == '?')
        return types.substr(0, i + 2);
    if (c == '{' || c == '(' || c == '[') {
        char close = c == '{' ? '}' : c == '(' ? ')'
                                               : ']';
        int depth = 0;
        for (size_t j = i; j < types.size(); ++j) {
            if (types[j] == c)
                ++depth;
            else if (types[j] == close && --depth == 0)
                return types.substr(0, j + 1);
        }
        return types;
    }
    return types.substr(0, i + 1);
}

std::string receiverDescription(id object)
{
    char text[256];
    std::snprintf(text, sizeof text, "<%s %p>", object_getClassName(object), static_cast<void*>(object));
    return text;
}

// Sends a getter whose result has the given type and boxes the result.
id sendGetter(id object, SEL sel, std::string_view type)
{
    switch (type[0]) {
    case '@':
        return objc_msgSend<id>(object, sel);
    case '#':
        return reinterpret_cast<id>(objc_msgSend<Class>(object, sel));
    case 'B': // C++ bool, which is not BOOL on 32-bit builds
        return autoreleased(NSNumber::numberWithBool(objc_detail::send<bool>(object->isa(), object, sel)));
    case 'c':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<signed char>(object, sel)));
    case 'C':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<unsigned char>(object, sel)));
    case 's':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<short>(object, sel)));
    case 'S':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<unsigned short>(object, sel)));
    case 'i':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<int>(object, sel)));
    case 'I':
        return autoreleased(NSNumber::numberWithInteger(objc_msgSend<unsigned int>(object, sel)));
    case 'q':
        return autoreleased(NSNumber::numberWithLongLong(objc_msgSend<long long>(object, sel)));
    case 'Q':
        return autoreleased(NSNumber::numberWithUnsignedLongLong(objc_msgSend<unsigned long long>(object, sel)));
    case 'f':
        return autoreleased(NSNumber::numberWithFloat(objc_msgSend<float>(object, sel)));
    case 'd':
        return autoreleased(NSNumber::numberWithDouble(objc_msgSend<double>(object, sel)));
    case '{':
        if (auto* boxing = NSValueStructTypeForEncoding(type))
            return boxing->sendGetter(object, sel);
        [[fallthrough]];
    default:
        NSException::raise(NSInvalidArgumentException, "-[%s valueForKey:]: cannot box a value of type %s", object_getClassName(object),
            std::string(type).c_str());
    }
}

// Reads an instance variable and boxes it; *found says whether the type
// could be read.
id readIvar(id object, Ivar ivar, bool* found)
{
    *found = true;
    const char* type = ivar_getTypeEncoding(ivar);
    const char* address = reinterpret_cast<const char*>(object) + ivar_getOffset(ivar);
    auto read = [address](auto value) {
        std::memcpy(&value, address, sizeof value);
        return value;
    };
    switch (type[0]) {
    case '@':
        return object_getIvar(object, ivar);
    case 'B':
        return autoreleased(NSNumber::numberWithBool(read(bool {})));
    case 'c':
        return autoreleased(NSNumber::numberWithInteger(read(static_cast<signed char>(0))));
    case 'i':
        return autoreleased(NSNumber::numberWithInteger(read(int {})));
    case 'I':
        return autoreleased(NSNumber::numberWithInteger(read(unsigned {})));
    case 'q':
        return autoreleased(NSNumber::numberWithLongLong(read(0LL)));
    case 'Q':
        return autoreleased(NSNumber::numberWithUnsignedLongLong(read(0ULL)));
    case 'f':
        return autoreleased(NSNumber::numberWithFloat(read(float {})));
    case 'd':
        return autoreleased(NSNumber::numberWithDouble(read(double {})));
    case '{':
        if (auto* boxing = NSValueStructTypeForEncoding(type))
            return autoreleased(NSValue::create(boxing->encoding, address, boxing->size));
        break;
    default:
        break;
    }
    *found = false;
    return nullptr;
}

id valueForKeyMethod(id self, SEL, NSString* key)
{
    if (key) {
        Class cls = object_getClass(self);
        std::string name = key->string();
        std::string upper = capitalized(name);
        for (const std::string& candidate : { "get" + upper, name, "is" + upper, "_" + name }) {
            SEL sel = sel_registerName(candidate.c_str());
            const char* types = class_getMethodTypeEncoding(cls, sel);
            if (!types)
                continue;
            std::string_view encoding(types);
            std::string_view result = firstType(encoding);
            if (result.empty() || encoding.substr(result.size()) != "@:")
                continue; // not a getter
            return sendGetter(self, sel, result);
        }
        for (const std::string& candidate : { "_" + name, "_is" + upper, name, "is" + upper }) {
            if (Ivar ivar = class_getInstanceVariable(cls, candidate.c_str())) {
                bool found = false;
                id value = readIvar(self, ivar, &found);
                if (found)
                    return value;
            }
        }
    }
    return objc_msgSend<id>(self, "valueForUndefinedKey:"_sel, key);
}

id valueForUndefinedKeyMethod(id self, SEL, NSString* key)
{
    NSException::raise(NSUndefinedKeyException, "[%s valueForUndefinedKey:]: this class is not key value coding-compliant for the key %s.",
        receiverDescription(self).c_str(), key ? key->UTF8String() : "(null)");
}

void setValueForUndefinedKeyMethod(id self, SEL, id, NSString* key)
{
    NSException::raise(NSUndefinedKeyException, "[%s setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key %s.",
        receiverDescription(self).c_str(), key ? key->UTF8String() : "(null)");
}

void setNilValueForKeyMethod(id self, SEL, NSString* key)
{
    NSException::raise(NSInvalidArgumentException, "[%s setNilValueForKey]: could not set nil as the value for the key %s.",
        receiverDescription(self).c_str(), key ? key->UTF8String() : "(null)");
}

// Sends a one-argument setter, unboxing value for its argument type.
void sendSetter(id self, SEL sel, std::string_view type, id value, NSString* key)
{
    if (type == "@") {
        objc_msgSend<void>(self, sel, value);
        return;
    }
    if (!value) {
        objc_msgSend<void>(self, "setNilValueForKey:"_sel, key);
        return;
    }
    switch (type[0]) {
    case 'B': // C++ bool, which is not BOOL on 32-bit builds
        objc_detail::send<void, bool>(self->isa(), self, sel, static_cast<bool>(objc_msgSend<BOOL>(value, "boolValue"_sel)));
        return;
    case 'c':
        objc_msgSend<void>(self, sel, static_cast<signed char>(objc_msgSend<BOOL>(value, "boolValue"_sel)));
        return;
    case 'i':
        objc_msgSend<void>(self, sel, objc_msgSend<int>(value, "intValue"_sel));
        return;
    case 'I':
        objc_msgSend<void>(self, sel, static_cast<unsigned>(objc_msgSend<NSInteger>(value, "integerValue"_sel)));
        return;
    case 's':
        objc_msgSend<void>(self, sel, static_cast<short>(objc_msgSend<NSInteger>(value, "integerValue"_sel)));
        return;
    case 'q':
        objc_msgSend<void>(self, sel, objc_msgSend<long long>(value, "longLongValue"_sel));
        return;
    case 'Q':
        objc_msgSend<void>(self, sel, objc_msgSend<unsigned long long>(value, "unsignedLongLongValue"_sel));
        return;
    case 'f':
        objc_msgSend<void>(self, sel, objc_msgSend<float>(value, "floatValue"_sel));
        return;
    case 'd':
        objc_msgSend<void>(self, sel, objc_msgSend<double>(value, "doubleValue"_sel));
        return;
    case '{': {
        auto* boxed = class_isSubclassOf(object_getClass(value), NSValue::staticClass()) ? static_cast<NSValue*>(value) : nullptr;
        auto* boxing = NSValueStructTypeForEncoding(type);
        if (boxed && boxing && boxed->objCType() == type) {
            boxing->sendSetter(self, sel, boxed);
            return;
        }
        break;
    }
    default:
        break;
    }
    NSException::raise(NSInvalidArgumentException, "[%s setValue:forKey:]: cannot set a value of class %s for the key %s of type %s.",
        receiverDescription(self).c_str(), object_getClassName(value), key->UTF8String(), std::string(type).c_str());
}

void setValueForKeyMethod(id self, SEL, id value, NSString* key)
{
    if (key) {
        Class cls = object_getClass(self);
        std::string upper = capitalized(key->view());
        for (const std::string& candidate : { "set" + upper + ":", "_set" + upper + ":" }) {
            SEL sel = sel_registerName(candidate.c_str());
            const char* types = class_getMethodTypeEncoding(cls, sel);
            if (!types)
                continue;
            std::string_view encoding(types);
            if (!encoding.starts_with("v@:"))
                continue;
            std::string_view argument = firstType(encoding.substr(3));
            if (argument.empty() || argument.size() != encoding.size() - 3)
                continue; // not a one-argument setter
            sendSetter(self, sel, argument, value, key);
            return;
        }
    }
    objc_msgSend<void>(self, "setValue:forUndefinedKey:"_sel, value, key);
}

id valueForKeyPathMethod(id self, SEL, NSString* keyPath)
{
    if (!keyPath)
        return objc_msgSend<id>(self, "valueForKey:"_sel, keyPath);
    std::string_view rest = keyPath->view();
    id current = self;
    while (current) {
        size_t dot = rest.find('.');
        auto key = NSString::create(rest.substr(0, dot));
        current = objc_msgSend<id>(current, "valueForKey:"_sel, key.ptr());
        if (dot == std::string_view::npos)
            break;
        rest.remove_prefix(dot + 1);
    }
    return current;
}

id objectDescription(id self, SEL)
{
    return autoreleased(NSString::stringWithFormat("<%s: %p>", object_getClassName(self), static_cast<void*>(self)));
}

id classDescription(id self, SEL)
{
    return autoreleased(NSString::create(class_getName(static_cast<Class>(self))));
}

BOOL objectIsEqual(id self, SEL, id other)
{
    return self->isEqual(other);
}

NSUInteger objectHash(id self, SEL)
{
    return self->hash();
}

} // namespace

id valueForKey(id object, NSString* key)
{
    return objc_msgSend<id>(object, "valueForKey:"_sel, key);
}

void setValueForKey(id object, id value, NSString* key)
{
    objc_msgSend<void>(object, "setValue:forKey:"_sel, value, key);
}

id valueForKeyPath(id object, NSString* keyPath)
{
    return objc_msgSend<id>(object, "valueForKeyPath:"_sel, keyPath);
}

void installMethods()
{
    Class root = &OBJC_CLASS_NSObject;
    class_addTypedMethod(root, "valueForKey:"_sel, valueForKeyMethod);
    class_addTypedMethod(root, "valueForKeyPath:"_sel, valueForKeyPathMethod);
    class_addTypedMethod(root, "valueForUndefinedKey:"_sel, valueForUndefinedKeyMethod);
    class_addTypedMethod(root, "setValue:forKey:"_sel, setValueForKeyMethod);
    class_addTypedMethod(root, "setValue:forUndefinedKey:"_sel, setValueForUndefinedKeyMethod);
    class_addTypedMethod(root, "setNilValueForKey:"_sel, setNilValueForKeyMethod);
    class_addTypedMethod(root, "description"_sel, objectDescription);
    class_addTypedMethod(root, "isEqual:"_sel, objectIsEqual);
    class_addTypedMethod(root, "hash"_sel, objectHash);
    class_addTypedMethod(&OBJC_METACLASS_NSObject, "description"_sel, classDescription);
}

} // namespace kvc
