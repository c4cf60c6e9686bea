// The popover's chrome as values: the body with its arrow, the border, the
// outer shadow margin and the content insets; the rectangles derived from
// them for each arrow direction, and the drawing of the chrome and of the
// frame around the content.
//
// QLZPopoverBackgroundView keeps one QLZPopoverChrome and its inner view one
// QLZPopoverContentFrame; the views only add the view tree around them.
#pragma once

#include "graphics/CGContext.h"
#include "popover/QLZPopoverArrowDirection.h"
#include "popover/QLZPopoverThemeValue.h"

struct QLZPopoverChrome {
    // Look (copied from the theme).
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) QLZThemeValue::Kind::ViewStored name {};
#include "popover/QLZPopoverThemeProperties.def"

    // State.
    QLZPopoverArrowDirection arrowDirection = QLZPopoverArrowDirectionDown;
    float arrowOffset = 0;
    float navigationBarHeight = 0;
    UIEdgeInsets outerShadowInsets;
    bool wantsDefaultContentAppearance = false;

    // The view size that holds content of the given size with border,
    // shadow margin and arrow.
    CGSize sizeThatFits(CGSize content) const;
    // Within rect: the body (without the arrow, inside the shadow margin,
    // moved against the shadow offset), the content area, and the arrow's
    // bounding box.
    CGRect outerRect(CGRect rect, QLZPopoverArrowDirection direction) const;
    CGRect innerRect(CGRect rect, QLZPopoverArrowDirection direction) const;
    CGRect arrowRect(CGRect rect, QLZPopoverArrowDirection direction) const;
    // The arrow offset to keep for a requested one, in a view with these
    // bounds: shifted by the shadow offset, and never so far that the
    // arrow's base reaches into the body's rounded ends.
    float clampedArrowOffset(float offset, CGRect bounds) const;

    // The outline of body and arrow within bounds (the body inset by half a
    // point), straight or curved; empty for an unknown direction.
    Ref<CGPath> outline(CGRect bounds) const;
    // Paints the chrome into the current UIKit context: the gradient fill
    // casting the outer shadow, the gloss along the inside of the outline,
    // and the outline's stroke.
    void draw(CGRect bounds) const;
};

// The frame the background view's inner view draws over the content: the
// chrome's gradient continued into the content's rounded corners, the
// content's shadow and a one-point stroke.
struct QLZPopoverContentFrame {
    RefPtr<UIColor> innerStrokeColor;
    RefPtr<UIColor> gradientTopColor;
    RefPtr<UIColor> gradientBottomColor;
    float gradientHeight = 0;
    float gradientTopPosition = 0;
    RefPtr<UIColor> innerShadowColor;
    CGSize innerShadowOffset;
    float innerShadowBlurRadius = 0;
    float innerCornerRadius = 0;
    float navigationBarHeight = 0;
    bool wantsDefaultContentAppearance = false;
    float borderWidth = 0;

    // Paints the frame for the rectangle into the current UIKit context.
    void draw(CGRect rect) const;
};
