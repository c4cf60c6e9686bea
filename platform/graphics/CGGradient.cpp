#include "graphics/CGGradient.h"

#include "foundation/NSCollections.h"

#include <algorithm>

namespace {

CGFloat spreadLocation(size_t index, size_t count)
{
    return count > 1 ? static_cast<CGFloat>(index) / static_cast<CGFloat>(count - 1) : 0;
}

} // namespace

Class CGGradient::staticClass()
{
    static Class cls = ClassBuilder<CGGradient>("CGGradient", &OBJC_CLASS_NSObject).build();
    return cls;
}

CGGradient::~CGGradient() = default;

RefPtr<CGGradient> CGGradient::create(CGColorSpace* space, std::vector<Stop> stops)
{
    if (stops.empty())
        return nullptr;
    for (Stop& stop : stops)
        stop.location = std::clamp<CGFloat>(stop.location, 0, 1);
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) { return a.location < b.location; });
    auto gradient = adoptObject(new CGGradient);
    gradient->m_space = space;
    gradient->m_stops = std::move(stops);
    return gradient;
}

graphics::RGBA CGGradient::colorAt(CGFloat location) const noexcept
{
    if (location <= m_stops.front().location)
        return m_stops.front().color;
    if (location >= m_stops.back().location)
        return m_stops.back().color;
    auto next = std::upper_bound(m_stops.begin(), m_stops.end(), location, [](CGFloat value, const Stop& stop) { return value < stop.location; });
    const Stop& b = *next;
    const Stop& a = *(next - 1);
    CGFloat t = b.location > a.location ? (location - a.location) / (b.location - a.location) : 1;
    auto mix = [t](CGFloat from, CGFloat to) { return from + (to - from) * t; };
    return { mix(a.color.red, b.color.red), mix(a.color.green, b.color.green), mix(a.color.blue, b.color.blue), mix(a.color.alpha, b.color.alpha) };
}

CGGradientRef CGGradientCreateWithColors(CGColorSpaceRef space, const NSArray* colors, const CGFloat* locations)
{
    if (!colors)
        return nullptr;
    size_t count = 0;
    for (const auto& object : *colors) {
        if (!object || !class_isSubclassOf(object->isa(), CGColor::staticClass()))
            break;
        ++count;
    }
    std::vector<CGGradient::Stop> stops;
    stops.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        auto* color = static_cast<const CGColor*>(colors->objects()[i].get());
        stops.push_back({ locations ? locations[i] : spreadLocation(i, count), graphics::resolveColor(color) });
    }
    return CGGradient::create(space, std::move(stops)).leakRef();
}

CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat* components, const CGFloat* locations, size_t count)
{
    if (!space || !components)
        return nullptr;
    size_t stride = space->numberOfComponents() + 1;
    std::vector<CGGradient::Stop> stops;
    stops.reserve(count);
    for (size_t i = 0; i < count; ++i)
        stops.push_back({ locations ? locations[i] : spreadLocation(i, count), graphics::resolveComponents(space->model(), components + i * stride) });
    return CGGradient::create(space, std::move(stops)).leakRef();
}

CGGradientRef CGGradientRetain(CGGradientRef gradient)
{
    if (gradient)
        gradient->retain();
    return gradient;
}

void CGGradientRelease(CGGradientRef gradient)
{
    if (gradient)
        gradient->release();
}
