// Helpers for the popover component's tests.
#pragma once

#include "graphics/CGGeometry.h"
#include "uikit/UIColor.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

inline std::ostream& operator<<(std::ostream& out, const CGRect& rect)
{
    return out << "(" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << ", " << rect.size.height << ")";
}

inline std::ostream& operator<<(std::ostream& out, const CGSize& size)
{
    return out << "(" << size.width << " x " << size.height << ")";
}

inline std::ostream& operator<<(std::ostream& out, const CGPoint& point)
{
    return out << "(" << point.x << ", " << point.y << ")";
}

namespace popover_testing {

// Red, green, blue and alpha of a colour (zeros for none).
inline std::array<CGFloat, 4> rgba(const UIColor* color)
{
    std::array<CGFloat, 4> components {};
    if (color)
        color->getRed(&components[0], &components[1], &components[2], &components[3]);
    return components;
}

inline std::array<CGFloat, 4> rgba(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    return { red, green, blue, alpha };
}

// Where the tests write the pictures they draw, for a person to look at.
std::string picturePath(const std::string& name);

} // namespace popover_testing
