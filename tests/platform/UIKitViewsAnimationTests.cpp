// View animations: the model changes at once, the record keeps what the
// screen would show, and completions run on the main queue after the
// duration on the hand-driven clock.
#include "dispatch/RunLoop.h"
#include "uikit/UIViewAnimation.h"

#include <gtest/gtest.h>

namespace {

class UIKitViewsAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().runFor(1);
        UIViewAnimationLog::clear();
    }
    void TearDown() override
    {
        RunLoop::main().runFor(10);
        UIViewAnimationLog::clear();
    }
    static id viewClass() { return UIView::staticClass(); }
};

} // namespace

TEST_F(UIKitViewsAnimation, BlockAppliesAtOnceAndCompletionWaitsForTheDuration)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = UIView::create(CGRectMake(0, 0, 100, 100));
    auto untouched = UIView::create(CGRectMake(0, 0, 10, 10));
    uint64_t start = RunLoop::main().now();
    int completions = 0;
    BOOL finished = NO;

    objc_msgSend(viewClass(), "animateWithDuration:animations:completion:"_sel, 0.25,
        UIViewAnimationBlock([&] {
            view->setAlpha(0.5);
            view->setFrame(CGRectMake(10, 10, 50, 50));
            view->setAlpha(0.2);    // the last value counts
            untouched->setAlpha(1); // unchanged: not animated
        }),
        UIViewAnimationCompletion([&](BOOL done) {
            ++completions;
            finished = done;
        }));

    EXPECT_EQ(view->alpha(), CGFloat(0.2));
    EXPECT_EQ(view->frame(), CGRectMake(10, 10, 50, 50));

    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->duration, 0.25);
    EXPECT_EQ(record->startTime, start);
    EXPECT_FALSE(record->finished);
    ASSERT_EQ(record->changes.size(), 2u);
    const auto* alpha = record->change(view.ptr(), UIViewAnimatedProperty::Alpha);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(std::get<CGFloat>(alpha->before), 1.0);
    EXPECT_EQ(std::get<CGFloat>(alpha->after), CGFloat(0.2));
    const auto* frame = record->change(view.ptr(), UIViewAnimatedProperty::Frame);
    ASSERT_TRUE(frame);
    EXPECT_EQ(std::get<CGRect>(frame->before), CGRectMake(0, 0, 100, 100));
    EXPECT_EQ(std::get<CGRect>(frame->after), CGRectMake(10, 10, 50, 50));
    EXPECT_FALSE(record->change(untouched.ptr(), UIViewAnimatedProperty::Alpha));
    EXPECT_EQ(UIViewAnimationLog::runningAt(start + NSEC_PER_SEC / 10).size(), 1u);

    RunLoop::main().runFor(0.24);
    EXPECT_EQ(completions, 0);
    RunLoop::main().runFor(0.01);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(UIViewAnimationLog::last()->finished);
    EXPECT_TRUE(UIViewAnimationLog::runningAt(RunLoop::main().now()).empty());
}

TEST_F(UIKitViewsAnimation, ZeroDurationStillCompletesOnTheMainQueue)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    int completions = 0;
    UIView::animateWithDurationCompletion(
        0, [&] { view->setHidden(YES); }, [&](BOOL) { ++completions; });
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(completions, 0);
    RunLoop::main().runPending();
    EXPECT_EQ(completions, 1);
    const auto* hidden = UIViewAnimationLog::last()->change(view.ptr(), UIViewAnimatedProperty::Hidden);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(std::get<BOOL>(hidden->before), NO);
    EXPECT_EQ(std::get<BOOL>(hidden->after), YES);

    // Without a completion, a zero duration leaves the queue with nothing to
    // report but a finished record.
    UIView::animateWithDuration(0, [&] { view->setCenter(CGPointMake(1, 1)); });
    RunLoop::main().runPending();
    EXPECT_TRUE(UIViewAnimationLog::last()->finished);
}

TEST_F(UIKitViewsAnimation, DelayShiftsStartAndCompletion)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    uint64_t start = RunLoop::main().now();
    int completions = 0;
    objc_msgSend(viewClass(), "animateWithDuration:delay:options:animations:completion:"_sel, 0.1, 0.2, NSUInteger(UIViewAnimationOptionCurveEaseOut),
        UIViewAnimationBlock([&] { view->setTransform(CGAffineTransformMakeScale(2, 2)); }), UIViewAnimationCompletion([&](BOOL) { ++completions; }));
    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    EXPECT_EQ(record->startTime, start + 200 * NSEC_PER_MSEC);
    EXPECT_EQ(record->options, UIViewAnimationOptionCurveEaseOut);
    EXPECT_EQ(std::get<CGAffineTransform>(record->change(view.ptr(), UIViewAnimatedProperty::Transform)->after), CGAffineTransformMakeScale(2, 2));
    RunLoop::main().runFor(0.29);
    EXPECT_EQ(completions, 0);
    RunLoop::main().runFor(0.01);
    EXPECT_EQ(completions, 1);
}

TEST_F(UIKitViewsAnimation, ChangesOutsideAnimationsAreNotRecorded)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    view->setAlpha(0.5);
    UIView::performWithoutAnimation([&] { view->setAlpha(0.1); });
    EXPECT_TRUE(UIViewAnimationLog::records().empty());

    // Inside an animation, performWithoutAnimation: keeps its changes out;
    // a nested animation keeps its own.
    auto other = UIView::create(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(0.3, [&] {
        view->setAlpha(1);
        objc_msgSend(viewClass(), "performWithoutAnimation:"_sel, UIViewAnimationBlock([&] { view->setCenter(CGPointMake(50, 50)); }));
        UIView::animateWithDuration(0.1, [&] { other->setBounds(CGRectMake(0, 0, 20, 20)); });
    });
    ASSERT_EQ(UIViewAnimationLog::records().size(), 2u);
    const auto& inner = UIViewAnimationLog::records()[0];
    const auto& outer = UIViewAnimationLog::records()[1];
    EXPECT_EQ(inner.duration, 0.1);
    EXPECT_TRUE(inner.change(other.ptr(), UIViewAnimatedProperty::Bounds));
    EXPECT_EQ(outer.changes.size(), 1u);
    EXPECT_TRUE(outer.change(view.ptr(), UIViewAnimatedProperty::Alpha));
    EXPECT_EQ(view->center(), CGPointMake(50, 50));

    // An exception thrown out of a block leaves no animation open.
    EXPECT_THROW(UIView::animateWithDuration(0.3, [] { throw 1; }), int);
    size_t count = UIViewAnimationLog::records().size();
    view->setAlpha(0.3);
    EXPECT_EQ(UIViewAnimationLog::records().size(), count);
}

TEST_F(UIKitViewsAnimation, RecordKeepsViewsOnlyWhileAnimating)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    size_t before = class_getInstanceCount(UIView::staticClass());
    const UIView* identity = nullptr;
    {
        auto view = UIView::create(CGRectMake(0, 0, 10, 10));
        identity = view.ptr();
        UIView::animateWithDuration(0.5, [&] { view->setAlpha(0); });
    }
    EXPECT_EQ(class_getInstanceCount(UIView::staticClass()), before + 1); // still animating
    RunLoop::main().runFor(0.5);
    EXPECT_EQ(class_getInstanceCount(UIView::staticClass()), before);
    EXPECT_TRUE(UIViewAnimationLog::last()->change(identity, UIViewAnimatedProperty::Alpha));
}
