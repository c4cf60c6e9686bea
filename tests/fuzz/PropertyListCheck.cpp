#include "fuzz/PropertyListCheck.h"

#include "foundation/PropertyList.h"

#include <cmath>
#include <cstring>

namespace fuzzing {

namespace {

template <typename T>
T* as(Object* object)
{
    return object && class_isSubclassOf(object->isa(), T::staticClass()) ? static_cast<T*>(object) : nullptr;
}

} // namespace

bool samePropertyList(Object* a, Object* b)
{
    if (!a || !b)
        return a == b;
    if (auto* first = as<NSNumber>(a)) {
        auto* second = as<NSNumber>(b);
        if (!second)
            return false;
        auto integral = [](NSNumber* number) { return number->kind() != NSNumber::Kind::Float && number->kind() != NSNumber::Kind::Double; };
        if (integral(first) != integral(second))
            return false;
        if (!integral(first)) {
            double x = first->doubleValue(), y = second->doubleValue();
            return std::isnan(x) ? std::isnan(y) : std::memcmp(&x, &y, sizeof x) == 0 || x == y;
        }
        return first->kind() == second->kind() && first->longLongValue() == second->longLongValue();
    }
    if (auto* first = as<NSDate>(a)) {
        auto* second = as<NSDate>(b);
        if (!second)
            return false;
        double x = first->timeIntervalSinceReferenceDate(), y = second->timeIntervalSinceReferenceDate();
        return std::isnan(x) ? std::isnan(y) : x == y;
    }
    if (auto* first = as<NSDictionary>(a)) {
        auto* second = as<NSDictionary>(b);
        if (!second || first->count() != second->count())
            return false;
        for (const auto& entry : first->entries()) {
            if (!samePropertyList(entry.value.ptr(), second->objectForKey(entry.key.ptr())))
                return false;
        }
        return true;
    }
    if (auto* first = as<NSArray>(a)) {
        auto* second = as<NSArray>(b);
        if (!second || first->count() != second->count())
            return false;
        for (NSUInteger i = 0; i < first->count(); ++i) {
            if (!samePropertyList(first->objects()[i].get(), second->objects()[i].get()))
                return false;
        }
        return true;
    }
    return a->isEqual(b);
}

std::string checkPropertyListBytes(std::string_view bytes)
{
    AutoreleasePool pool;
    auto root = NSPropertyListFromBytes(bytes);
    if (!root)
        return {};
    std::string summary = NSPropertyListSummary(root.get());
    auto written = NSPropertyListFileBytes(root.get());
    if (!written)
        return "read but cannot be written: " + summary;
    auto again = NSPropertyListFromBytes(*written);
    if (!again)
        return "its written form cannot be read: " + summary + "\n" + *written;
    if (!samePropertyList(root.get(), again.get()))
        return "changed through a file: " + summary + "\n  became " + NSPropertyListSummary(again.get());
    auto rewritten = NSPropertyListFileBytes(again.get());
    if (!rewritten || *rewritten != *written)
        return "written differently the second time: " + summary;
    return {};
}

} // namespace fuzzing
