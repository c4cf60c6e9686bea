#include "uikit/UIViewAnimation.h"

#include "dispatch/RunLoop.h"
#include "uikit/UIViewInternal.h"

#include <algorithm>
#include <memory>

namespace uikit_detail {
bool recordingAnimation = false;
}

namespace {

constexpr size_t kRecordLimit = 256;

struct AnimationState {
    std::deque<UIViewAnimationRecord> records;
    // Innermost last; a null entry is a stretch without animation.
    std::vector<UIViewAnimationRecord*> open;
    uint64_t nextIdentifier = 1;
    bool enabled = true;
};

AnimationState& state()
{
    static AnimationState* animations = new AnimationState;
    return *animations;
}

void updateRecordingFlag()
{
    auto& s = state();
    uikit_detail::recordingAnimation = !s.open.empty() && s.open.back();
}

UIViewAnimatedValue currentValue(const UIView* view, UIViewAnimatedProperty property)
{
    switch (property) {
    case UIViewAnimatedProperty::Frame:
        return view->frame();
    case UIViewAnimatedProperty::Bounds:
        return view->bounds();
    case UIViewAnimatedProperty::Center:
        return view->center();
    case UIViewAnimatedProperty::Transform:
        return view->transform();
    case UIViewAnimatedProperty::Alpha:
        return view->alpha();
    case UIViewAnimatedProperty::Hidden:
        return view->isHidden();
    }
    return CGFloat(0);
}

// Runs body with record (or, for null, no animation) as the innermost open
// animation; exceptions close it too.
void runWith(UIViewAnimationRecord* record, const UIViewAnimationBlock& body)
{
    auto& s = state();
    s.open.push_back(record);
    updateRecordingFlag();
    struct Close {
        ~Close()
        {
            state().open.pop_back();
            updateRecordingFlag();
        }
    } close;
    if (body)
        body();
}

UIViewAnimationRecord* findRecord(uint64_t identifier)
{
    for (auto& record : state().records) {
        if (record.identifier == identifier)
            return &record;
    }
    return nullptr;
}

void animate(double duration, double delay, UIViewAnimationOptions options, const UIViewAnimationBlock& animations, UIViewAnimationCompletion completion)
{
    auto& s = state();
    duration = std::max(duration, 0.0);
    delay = std::max(delay, 0.0);
    if (!s.enabled) {
        runWith(nullptr, animations);
        if (completion)
            dispatch_async(dispatch_get_main_queue(), [completion = std::move(completion)] { completion(YES); });
        return;
    }

    uint64_t now = RunLoop::main().now();
    UIViewAnimationRecord record;
    record.identifier = s.nextIdentifier++;
    record.duration = duration;
    record.delay = delay;
    record.options = options;
    record.startTime = now + static_cast<uint64_t>(delay * NSEC_PER_SEC + 0.5);
    // The record lives on the heap while the block runs (nested animations
    // add records of their own), and joins the log afterwards.
    auto open = std::make_unique<UIViewAnimationRecord>(std::move(record));
    runWith(open.get(), animations);
    for (auto& change : open->changes)
        change.after = currentValue(change.view, change.property);
    uint64_t identifier = open->identifier;
    uint64_t end = open->endTime();
    s.records.push_back(std::move(*open));
    if (s.records.size() > kRecordLimit)
        s.records.pop_front();

    auto finish = [identifier, completion = std::move(completion)] {
        if (auto* done = findRecord(identifier)) {
            done->finished = true;
            for (auto& change : done->changes)
                change.retainedView = nullptr;
        }
        if (completion)
            completion(YES);
    };
    if (end <= now)
        dispatch_async(dispatch_get_main_queue(), std::move(finish));
    else
        dispatch_after(end, dispatch_get_main_queue(), std::move(finish));
}

} // namespace

namespace uikit_detail {

void recordAnimatedChange(UIView* view, UIViewAnimatedProperty property)
{
    auto& s = state();
    if (s.open.empty() || !s.open.back())
        return;
    UIViewAnimationRecord* record = s.open.back();
    if (record->change(view, property))
        return;
    UIViewAnimatedValue before = currentValue(view, property);
    record->changes.push_back({ view, view, property, before, before });
}

} // namespace uikit_detail

const UIViewAnimationRecord::Change* UIViewAnimationRecord::change(const UIView* view, UIViewAnimatedProperty property) const
{
    for (const auto& change : changes) {
        if (change.view == view && change.property == property)
            return &change;
    }
    return nullptr;
}

uint64_t UIViewAnimationRecord::endTime() const
{
    return startTime + static_cast<uint64_t>(duration * NSEC_PER_SEC + 0.5);
}

namespace UIViewAnimationLog {

const std::deque<UIViewAnimationRecord>& records()
{
    return state().records;
}

const UIViewAnimationRecord* last()
{
    auto& records = state().records;
    return records.empty() ? nullptr : &records.back();
}

void clear()
{
    state().records.clear();
}

std::vector<const UIViewAnimationRecord*> runningAt(uint64_t time)
{
    std::vector<const UIViewAnimationRecord*> running;
    for (const auto& record : state().records) {
        if (record.startTime <= time && time < record.endTime())
            running.push_back(&record);
    }
    return running;
}

} // namespace UIViewAnimationLog

void UIView::animateWithDuration(double duration, UIViewAnimationBlock animations)
{
    animate(duration, 0, 0, animations, nullptr);
}

void UIView::animateWithDurationCompletion(double duration, UIViewAnimationBlock animations, UIViewAnimationCompletion completion)
{
    animate(duration, 0, 0, animations, std::move(completion));
}

void UIView::animateWithDurationDelayOptions(double duration, double delay, NSUInteger options, UIViewAnimationBlock animations, UIViewAnimationCompletion completion)
{
    animate(duration, delay, options, animations, std::move(completion));
}

void UIView::performWithoutAnimation(UIViewAnimationBlock actions)
{
    runWith(nullptr, actions);
}

BOOL UIView::areAnimationsEnabled()
{
    return state().enabled;
}

void UIView::setAnimationsEnabled(BOOL enabled)
{
    state().enabled = enabled;
}
