// View animations and their record.
//
// An animation block runs at once: the new values reach the views (the
// model) immediately, as on the device. What an animation would show on
// screen is kept in a record that tests and the simulator read: each
// animation's duration, delay, options and start time, and per view the
// animatable properties the block changed, with their values before and
// after. The completion handler runs on the main queue once the delay and
// the duration have passed on the device clock (at the next turn of the
// main queue for a duration of 0), always with finished = YES.
#pragma once

#include "uikit/UIView.h"

#include <deque>
#include <variant>

using UIViewAnimationOptions = NSUInteger;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAllowUserInteraction = 1 << 1;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionBeginFromCurrentState = 1 << 2;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseInOut = 0 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseIn = 1 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseOut = 2 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveLinear = 3 << 16;

enum class UIViewAnimatedProperty : uint8_t { Frame,
    Bounds,
    Center,
    Transform,
    Alpha,
    Hidden };
// frame and bounds: CGRect; center: CGPoint; transform; alpha: CGFloat;
// hidden: BOOL.
using UIViewAnimatedValue = std::variant<CGRect, CGPoint, CGAffineTransform, CGFloat, BOOL>;

struct PLATFORM_EXPORT UIViewAnimationRecord {
    struct Change {
        // The view is kept alive while the animation runs; once it has
        // finished the pointer is only an identity (the view may be gone).
        UIView* view;
        RefPtr<UIView> retainedView;
        UIViewAnimatedProperty property;
        UIViewAnimatedValue before;
        UIViewAnimatedValue after;
    };

    uint64_t identifier = 0;
    double duration = 0;
    double delay = 0;
    UIViewAnimationOptions options = 0;
    // Device clock (nanoseconds) at which the animation starts: the time of
    // the call plus the delay.
    uint64_t startTime = 0;
    // The changes in the order the block first made them, one per view and
    // property.
    std::vector<Change> changes;
    // Set when the animation has ended (just before its completion runs).
    bool finished = false;

    const Change* change(const UIView* view, UIViewAnimatedProperty property) const;
    uint64_t endTime() const;
};

// The record of recent animations (the most recent 256), oldest first.
namespace UIViewAnimationLog {
PLATFORM_EXPORT const std::deque<UIViewAnimationRecord>& records();
PLATFORM_EXPORT const UIViewAnimationRecord* last();
// Forgets every record (and the views of running animations).
PLATFORM_EXPORT void clear();
// The animations whose time span contains the device time, for the
// simulator's drawing.
PLATFORM_EXPORT std::vector<const UIViewAnimationRecord*> runningAt(uint64_t time);
} // namespace UIViewAnimationLog
