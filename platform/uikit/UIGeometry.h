// UIKit geometry: edge insets and rectangle corners.
#pragma once

#include "graphics/CGGeometry.h"

struct UIEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    friend bool operator==(const UIEdgeInsets&, const UIEdgeInsets&) = default;
};
PLATFORM_TYPE_ENCODING(UIEdgeInsets, "{UIEdgeInsets=" CGFLOAT_ENCODING_2 CGFLOAT_ENCODING_2 "}");

inline constexpr UIEdgeInsets UIEdgeInsetsZero {};

constexpr UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right)
{
    return { top, left, bottom, right };
}

inline bool UIEdgeInsetsEqualToEdgeInsets(UIEdgeInsets a, UIEdgeInsets b)
{
    return a == b;
}

inline CGRect UIEdgeInsetsInsetRect(CGRect rect, UIEdgeInsets insets)
{
    rect.origin.x += insets.left;
    rect.origin.y += insets.top;
    rect.size.width -= insets.left + insets.right;
    rect.size.height -= insets.top + insets.bottom;
    return rect;
}

enum UIRectCorner : NSUInteger {
    UIRectCornerTopLeft = 1 << 0,
    UIRectCornerTopRight = 1 << 1,
    UIRectCornerBottomLeft = 1 << 2,
    UIRectCornerBottomRight = 1 << 3,
    UIRectCornerAllCorners = 15,
};

// NSValue's UIKit additions: +valueWithCGPoint:, -CGPointValue and their
// kin for sizes, rectangles, edge insets and affine transforms, and the
// geometry structs key-value coding boxes (vectors too). The platform adds
// them when it loads.
void UIKitRegisterGeometryValues();
