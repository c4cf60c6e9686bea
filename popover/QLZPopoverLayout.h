// The arithmetic of the popover's placement: the usable part of the screen,
// the free space beside an anchor, rectangles between window and interface
// coordinates, and where the chrome goes on the side the arrow chose.
//
// Lengths that the placement keeps in single precision are floats here.
#pragma once

#include "popover/QLZPopoverArrowDirection.h"
#include "uikit/UIGeometry.h"

// The area the popover stays in: the screen inside the layout margins and
// below the status bar.
struct QLZPopoverScreenBounds {
    float minX = 0;
    float maxX = 0;
    float minY = 0;
    float maxY = 0;

    static QLZPopoverScreenBounds make(CGFloat screenWidth, CGFloat screenHeight, CGFloat statusBarHeight, UIEdgeInsets margins);
    float width() const noexcept { return maxX - minX; }
    float height() const noexcept { return maxY - minY; }
};

// The free space on one side of the anchor, after the arrow: zero or
// negative when there is none; zero for a direction that is not one side.
CGSize QLZPopoverAreaSize(const QLZPopoverScreenBounds& screen, CGRect anchor, float arrowHeight, QLZPopoverArrowDirection direction);

// A rectangle in window coordinates as it lies in the interface of the given
// orientation, on a system whose windows do not turn with the interface
// (windowWidth and windowHeight: the window's own, portrait size).
CGRect QLZRectForInterfaceOrientation(NSInteger orientation, CGRect rect, float windowWidth, float windowHeight);
// The way back: an origin in interface coordinates to the window's, for a
// frame of the given (turned) size.
CGPoint QLZOriginFromInterfaceOrientation(NSInteger orientation, CGPoint origin, CGSize frameSize, float windowWidth, float windowHeight);

// Where the chrome goes once its arrow's side is known. The chrome has
// been centred on the anchor with the frame `frame`; it is moved so that
// the arrow's tip touches the anchor, pushed back inside the screen along
// the arrow's side (the arrow moving the other way by arrowOffset), and cut
// down, to no less than 160 points high or 240 wide, when it does not fit
// away from the anchor.
struct QLZPopoverPlacement {
    CGRect frame;
    float arrowOffset = 0;
};

inline constexpr CGFloat QLZPopoverMinimumHeight = 160;
inline constexpr CGFloat QLZPopoverMinimumWidth = 240;

QLZPopoverPlacement QLZPopoverPlace(QLZPopoverArrowDirection direction, CGRect frame, CGRect anchor, const QLZPopoverScreenBounds& screen,
    UIEdgeInsets shadowInsets);
