// CoreGraphics colour spaces and colours. Both are reference-counted
// platform objects: the Create functions return a reference the caller owns
// (release it with CGColorRelease / CGColorSpaceRelease, or adopt it).
#pragma once

#include "graphics/CGGeometry.h"
#include "runtime/ClassBuilder.h"

#include <array>

enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelLab = 3,
    kCGColorSpaceModelDeviceN = 4,
    kCGColorSpaceModelIndexed = 5,
    kCGColorSpaceModelPattern = 6,
};

class PLATFORM_EXPORT CGColorSpace : public NSObject {
    OBJC_CLASS(CGColorSpace)
public:
    static Ref<CGColorSpace> create(CGColorSpaceModel model);
    CGColorSpaceModel model() const noexcept { return m_model; }
    size_t numberOfComponents() const noexcept;

private:
    CGColorSpace() = default;
    CGColorSpaceModel m_model = kCGColorSpaceModelRGB;
};
using CGColorSpaceRef = CGColorSpace*;

class PLATFORM_EXPORT CGColor : public NSObject {
    OBJC_CLASS(CGColor)
public:
    // components: the colour space's components followed by alpha.
    static Ref<CGColor> create(CGColorSpace* space, const CGFloat* components);
    CGColorSpace* colorSpace() const noexcept { return m_space.get(); }
    size_t numberOfComponents() const noexcept { return m_count; }
    const CGFloat* components() const noexcept { return m_components.data(); }
    CGFloat alpha() const noexcept { return m_count ? m_components[m_count - 1] : 0; }
    bool isEqual(const Object* other) const noexcept override;

private:
    CGColor() = default;
    RefPtr<CGColorSpace> m_space;
    std::array<CGFloat, 5> m_components {};
    size_t m_count = 0;
};
using CGColorRef = CGColor*;

PLATFORM_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
PLATFORM_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceGray();
PLATFORM_EXPORT CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space);
PLATFORM_EXPORT size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);
PLATFORM_EXPORT CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
PLATFORM_EXPORT void CGColorSpaceRelease(CGColorSpaceRef space);

PLATFORM_EXPORT CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
PLATFORM_EXPORT CGColorSpaceRef CGColorGetColorSpace(CGColorRef color);
PLATFORM_EXPORT size_t CGColorGetNumberOfComponents(CGColorRef color);
PLATFORM_EXPORT const CGFloat* CGColorGetComponents(CGColorRef color);
PLATFORM_EXPORT CGFloat CGColorGetAlpha(CGColorRef color);
PLATFORM_EXPORT bool CGColorEqualToColor(CGColorRef a, CGColorRef b);
PLATFORM_EXPORT CGColorRef CGColorRetain(CGColorRef color);
PLATFORM_EXPORT void CGColorRelease(CGColorRef color);

namespace graphics {

// A colour resolved to device RGB with alpha, as the drawing code keeps it
// (no reference to hold, nothing to allocate).
struct RGBA {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
    CGFloat alpha = 1;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};

// Components (alpha last) of a colour in a space of the given model, in RGB.
// Gray and RGB are exact; CMYK is converted naively; other models are black.
PLATFORM_EXPORT RGBA resolveComponents(CGColorSpaceModel model, const CGFloat* components);
// Opaque black for a null colour.
PLATFORM_EXPORT RGBA resolveColor(const CGColor* color);

} // namespace graphics
