// The popover's arrow directions and animation options.
//
// A direction names the way the arrow points: UP sits on the popover's top
// edge (the popover lies below its anchor), DOWN on its bottom edge (the
// popover lies above), LEFT on its left edge (right of the anchor), RIGHT on
// its right edge (left of the anchor). NONE is a free-standing popover with
// no arrow. Permitted sets combine the single bits; a decided direction is
// always exactly one of them.
#pragma once

#include "foundation/NSString.h"

using QLZPopoverArrowDirection = NSUInteger;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionUp = 1 << 0;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionDown = 1 << 1;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionLeft = 1 << 2;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionRight = 1 << 3;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionNone = 1 << 4;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionAny = QLZPopoverArrowDirectionUp | QLZPopoverArrowDirectionDown
    | QLZPopoverArrowDirectionLeft | QLZPopoverArrowDirectionRight;
inline constexpr QLZPopoverArrowDirection QLZPopoverArrowDirectionUnknown = ~NSUInteger(0);

// Animations of the entrance and the exit.
using QLZPopoverAnimationOptions = NSUInteger;
inline constexpr QLZPopoverAnimationOptions QLZPopoverAnimationOptionFade = 1 << 0;
inline constexpr QLZPopoverAnimationOptions QLZPopoverAnimationOptionScale = 1 << 1;
inline constexpr QLZPopoverAnimationOptions QLZPopoverAnimationOptionFadeWithScale = QLZPopoverAnimationOptionFade | QLZPopoverAnimationOptionScale;

inline bool QLZPopoverArrowDirectionIsVertical(QLZPopoverArrowDirection direction)
{
    return direction == QLZPopoverArrowDirectionUp || direction == QLZPopoverArrowDirectionDown;
}

inline bool QLZPopoverArrowDirectionIsHorizontal(QLZPopoverArrowDirection direction)
{
    return direction == QLZPopoverArrowDirectionLeft || direction == QLZPopoverArrowDirectionRight;
}

// "UP", "DOWN", "LEFT", "RIGHT" or "NONE"; the empty string for anything
// that is not exactly one direction.
inline NSString* QLZPopoverArrowDirectionName(QLZPopoverArrowDirection direction)
{
    switch (direction) {
    case QLZPopoverArrowDirectionUp:
        return "UP"_ns;
    case QLZPopoverArrowDirectionDown:
        return "DOWN"_ns;
    case QLZPopoverArrowDirectionLeft:
        return "LEFT"_ns;
    case QLZPopoverArrowDirectionRight:
        return "RIGHT"_ns;
    case QLZPopoverArrowDirectionNone:
        return "NONE"_ns;
    default:
        return ""_ns;
    }
}
