#include "graphics/CGColor.h"

#include <algorithm>

Class CGColorSpace::staticClass()
{
    static Class cls = ClassBuilder<CGColorSpace>("CGColorSpace", &OBJC_CLASS_NSObject).build();
    return cls;
}

Ref<CGColorSpace> CGColorSpace::create(CGColorSpaceModel model)
{
    auto space = adoptObject(new CGColorSpace);
    space->m_model = model;
    return space;
}

size_t CGColorSpace::numberOfComponents() const noexcept
{
    switch (m_model) {
    case kCGColorSpaceModelMonochrome:
        return 1;
    case kCGColorSpaceModelRGB:
    case kCGColorSpaceModelLab:
        return 3;
    case kCGColorSpaceModelCMYK:
        return 4;
    default:
        return 1;
    }
}

Class CGColor::staticClass()
{
    static Class cls = ClassBuilder<CGColor>("CGColor", &OBJC_CLASS_NSObject).build();
    return cls;
}

Ref<CGColor> CGColor::create(CGColorSpace* space, const CGFloat* components)
{
    auto color = adoptObject(new CGColor);
    color->m_space = space;
    color->m_count = std::min<size_t>(space ? space->numberOfComponents() + 1 : 0, color->m_components.size());
    for (size_t i = 0; i < color->m_count && components; ++i)
        color->m_components[i] = components[i];
    return color;
}

bool CGColor::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || other->isa() != isa())
        return false;
    auto* color = static_cast<const CGColor*>(other);
    if (!m_space || !color->m_space || m_space->model() != color->m_space->model() || m_count != color->m_count)
        return false;
    return std::equal(m_components.begin(), m_components.begin() + static_cast<ptrdiff_t>(m_count), color->m_components.begin());
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB()
{
    return CGColorSpace::create(kCGColorSpaceModelRGB).leakRef();
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray()
{
    return CGColorSpace::create(kCGColorSpaceModelMonochrome).leakRef();
}

CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space)
{
    return space ? space->model() : kCGColorSpaceModelUnknown;
}

size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space)
{
    return space ? space->numberOfComponents() : 0;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space)
{
    if (space)
        space->retain();
    return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space)
{
    if (space)
        space->release();
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components)
{
    if (!space || !components)
        return nullptr;
    return CGColor::create(space, components).leakRef();
}

CGColorSpaceRef CGColorGetColorSpace(CGColorRef color)
{
    return color ? color->colorSpace() : nullptr;
}

size_t CGColorGetNumberOfComponents(CGColorRef color)
{
    return color ? color->numberOfComponents() : 0;
}

const CGFloat* CGColorGetComponents(CGColorRef color)
{
    return color ? color->components() : nullptr;
}

CGFloat CGColorGetAlpha(CGColorRef color)
{
    return color ? color->alpha() : 0;
}

bool CGColorEqualToColor(CGColorRef a, CGColorRef b)
{
    return a == b || (a && b && a->isEqual(b));
}

CGColorRef CGColorRetain(CGColorRef color)
{
    if (color)
        color->retain();
    return color;
}

void CGColorRelease(CGColorRef color)
{
    if (color)
        color->release();
}

namespace graphics {

RGBA resolveComponents(CGColorSpaceModel model, const CGFloat* c)
{
    switch (model) {
    case kCGColorSpaceModelMonochrome:
        return { c[0], c[0], c[0], c[1] };
    case kCGColorSpaceModelRGB:
        return { c[0], c[1], c[2], c[3] };
    case kCGColorSpaceModelCMYK:
        return { (1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]), (1 - c[2]) * (1 - c[3]), c[4] };
    default:
        return { 0, 0, 0, 1 };
    }
}

RGBA resolveColor(const CGColor* color)
{
    if (!color || !color->colorSpace())
        return {};
    return resolveComponents(color->colorSpace()->model(), color->components());
}

} // namespace graphics
