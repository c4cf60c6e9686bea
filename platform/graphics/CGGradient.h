// CoreGraphics gradients: colours at locations from 0 to 1, interpolated
// linearly (component by component, alpha unpremultiplied) between stops.
// The Create functions return a gradient the caller owns (CGGradientRelease).
#pragma once

#include "graphics/CGColor.h"

#include <vector>

class NSArray;

// Options combine with |, so the type is the plain integer, as on the platform.
using CGGradientDrawingOptions = uint32_t;
enum : uint32_t {
    kCGGradientDrawsBeforeStartLocation = 1 << 0,
    kCGGradientDrawsAfterEndLocation = 1 << 1,
};

class PLATFORM_EXPORT CGGradient : public NSObject {
    OBJC_CLASS(CGGradient)
public:
    struct Stop {
        CGFloat location = 0;
        graphics::RGBA color;
        friend bool operator==(const Stop&, const Stop&) = default;
    };

    // Stops are kept in order of location, clamped to [0, 1]; null without
    // any stop.
    static RefPtr<CGGradient> create(CGColorSpace* space, std::vector<Stop> stops);
    ~CGGradient() override;

    CGColorSpace* colorSpace() const noexcept { return m_space.get(); }
    const std::vector<Stop>& stops() const noexcept { return m_stops; }
    // The colour at a location; the end colours beyond the first and last stop.
    graphics::RGBA colorAt(CGFloat location) const noexcept;

private:
    CGGradient() = default;
    RefPtr<CGColorSpace> m_space;
    std::vector<Stop> m_stops;
};
using CGGradientRef = CGGradient*;

// colors: an array of CGColor objects. The list ends at the first element
// that is missing or not a colour. Without locations the colours are spread
// evenly from 0 to 1; with them, locations[i] belongs to the i-th colour.
PLATFORM_EXPORT CGGradientRef CGGradientCreateWithColors(CGColorSpaceRef space, const NSArray* colors, const CGFloat* locations);
// components: count colours of the space's components followed by alpha.
PLATFORM_EXPORT CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat* components, const CGFloat* locations, size_t count);
PLATFORM_EXPORT CGGradientRef CGGradientRetain(CGGradientRef gradient);
PLATFORM_EXPORT void CGGradientRelease(CGGradientRef gradient);
