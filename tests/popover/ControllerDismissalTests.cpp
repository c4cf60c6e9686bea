// Dismissing a popover, by code and by touch; following theme and content
// size changes while shown; and tearing a controller down.
#include "PopoverTestSupport.h"

#include "dispatch/RunLoop.h"
#include "foundation/NSKeyValueObserving.h"
#include "popover/QLZPopoverController.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewAnimation.h"

using namespace popover_testing;

namespace {

class PopoverDismissal : public PopoverWindowTest {
protected:
    void SetUp() override
    {
        PopoverWindowTest::SetUp();
        AutoreleasePool pool;
        content = contentController(CGSizeMake(220, 100));
        popover = QLZPopoverController::create(content.get());
        delegate = DelegateLog::create();
        popover->setDelegate(delegate.get());
        QLZPopoverController* expected = popover.get();
        DelegateLog* log = delegate.get();
        popover->setDismissCompletionBlock([expected, log](QLZPopoverController* controller) {
            EXPECT_EQ(controller, expected);
            log->calls.push_back("dismissCompletionBlock");
        });
    }

    // Presents a dialog and forgets the delegate's call about it.
    void presentDialog(BOOL animated = NO)
    {
        popover->presentPopoverAsDialogAnimated(animated);
        RunLoop::main().runFor(1);
        delegate->calls.clear();
    }

    void TearDown() override
    {
        AutoreleasePool pool;
        popover = nullptr;
        content = nullptr;
        delegate = nullptr;
        PopoverWindowTest::TearDown();
    }

    RefPtr<UIViewController> content;
    RefPtr<QLZPopoverController> popover;
    RefPtr<DelegateLog> delegate;
};

} // namespace

TEST_F(PopoverDismissal, ScaledExitShrinksIntoTheTipAndFadesTheOverlay)
{
    AutoreleasePool pool;
    popover->presentPopoverFromRectOptions(CGRectMake(100, 300, 20, 20), rootView(), QLZPopoverArrowDirectionAny, YES,
        QLZPopoverAnimationOptionScale);
    RunLoop::main().runFor(1);
    delegate->calls.clear();
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    QLZPopoverOverlayView* overlay = popover->overlayView();
    CGAffineTransform tip = popover->transformForArrowDirection(QLZPopoverArrowDirectionDown);
    UIViewAnimationLog::clear();

    objc_msgSend<void>(popover.get(), "dismissPopoverAnimated:"_sel, YES);
    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    ASSERT_TRUE(record);
    EXPECT_DOUBLE_EQ(record->duration, 0.25);
    ASSERT_TRUE(record->change(chrome, UIViewAnimatedProperty::Transform));
    EXPECT_EQ(std::get<CGAffineTransform>(record->change(chrome, UIViewAnimatedProperty::Transform)->after), tip);
    EXPECT_FALSE(record->change(chrome, UIViewAnimatedProperty::Alpha));
    ASSERT_TRUE(record->change(overlay, UIViewAnimatedProperty::Alpha));
    EXPECT_EQ(std::get<CGFloat>(record->change(overlay, UIViewAnimatedProperty::Alpha)->after), 0);
    // The observation of the content's size ends at once; the views stay
    // until the animation is over.
    EXPECT_EQ(kvo::observationCount(content.get()), 0u);
    EXPECT_EQ(window->subviews().size(), 3u);
    RunLoop::main().runFor(0.2);
    EXPECT_TRUE(delegate->calls.empty());
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(window->subviews().size(), 1u);
    EXPECT_FALSE(popover->backgroundView());
    EXPECT_FALSE(popover->overlayView());
    // By code: no delegate call, but the dismissal block.
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "dismissCompletionBlock" });
}

TEST_F(PopoverDismissal, CompletionThenDismissalBlock)
{
    AutoreleasePool pool;
    presentDialog();
    popover->dismissPopoverAnimatedOptionsCompletion(NO, QLZPopoverAnimationOptionFade, [this] { delegate->calls.push_back("completion"); });
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "completion", "dismissCompletionBlock" }));

    // A dismissal with nothing shown still runs the callbacks.
    delegate->calls.clear();
    objc_msgSend<void>(popover.get(), "dismissPopoverAnimated:completion:"_sel, YES,
        QLZPopoverCompletionBlock([this] { delegate->calls.push_back("completion"); }));
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "completion", "dismissCompletionBlock" }));

    // With implicit animations off an animated dismissal is immediate.
    presentDialog();
    popover->setImplicitAnimationsDisabled(YES);
    UIViewAnimationLog::clear();
    popover->dismissPopoverAnimated(YES);
    EXPECT_TRUE(UIViewAnimationLog::records().empty());
    EXPECT_FALSE(popover->backgroundView());
}

TEST_F(PopoverDismissal, TouchOutsideAsksTheDelegateAndTellsIt)
{
    AutoreleasePool pool;
    presentDialog();

    // A veto keeps the popover, and nothing else runs.
    delegate->allowsDismissal = NO;
    UIKitSimulator::tap(window.get(), CGPointMake(20, 460));
    RunLoop::main().runFor(1);
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "shouldDismiss" });
    EXPECT_TRUE(popover->backgroundView());

    // Content that is modal in the popover is never dismissed by a touch.
    delegate->calls.clear();
    content->setModalInPopover(YES);
    UIKitSimulator::tap(window.get(), CGPointMake(20, 460));
    RunLoop::main().runFor(1);
    EXPECT_TRUE(delegate->calls.empty());
    content->setModalInPopover(NO);

    // Consent: dismissed as the presentation was (here without animation),
    // the delegate told, then the dismissal block.
    delegate->allowsDismissal = YES;
    UIKitSimulator::tap(window.get(), CGPointMake(20, 460));
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "shouldDismiss", "didDismiss", "dismissCompletionBlock" }));
    EXPECT_EQ(window->subviews().size(), 1u);

    // A touch on the popover itself is the content's.
    presentDialog(YES);
    UIKitSimulator::tap(window.get(), CGPointMake(160, 250));
    RunLoop::main().runFor(1);
    EXPECT_TRUE(delegate->calls.empty());

    // An animated presentation is dismissed with animation.
    UIKitSimulator::tap(window.get(), CGPointMake(20, 460));
    EXPECT_EQ(window->subviews().size(), 3u);
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(delegate->calls.back(), "dismissCompletionBlock");
}

TEST_F(PopoverDismissal, TouchOnAPassthroughViewReachesItAndMayDismiss)
{
    AutoreleasePool pool;
    auto button = FrameCountingView::create(CGRectMake(10, 400, 100, 40));
    rootView()->addSubview(button.ptr());
    auto passthrough = NSArray::arrayWithObjects({ button.ptr() });
    popover->setPassthroughViews(passthrough.ptr());
    EXPECT_NE(popover->passthroughViews(), passthrough.ptr());
    presentDialog();

    EXPECT_EQ(UIKitSimulator::tap(window.get(), CGPointMake(50, 420)), button.ptr());
    RunLoop::main().runFor(1);
    EXPECT_TRUE(popover->backgroundView());
    EXPECT_TRUE(delegate->calls.empty());

    popover->setDismissOnPassthroughViewTap(YES);
    EXPECT_EQ(UIKitSimulator::tap(window.get(), CGPointMake(50, 420)), button.ptr());
    // Told after the touch handling.
    EXPECT_TRUE(popover->backgroundView());
    RunLoop::main().runFor(1);
    EXPECT_FALSE(popover->backgroundView());
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "shouldDismiss", "didDismiss", "dismissCompletionBlock" }));
}

TEST_F(PopoverDismissal, ThemeChangesWhileShownAreAppliedInBatches)
{
    AutoreleasePool pool;
    presentDialog();
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    FrameCountingView* contentView = countingView(content.get());
    QLZPopoverTheme* theme = popover->theme();

    // One change: applied at once (a layout pass sets the content's frame
    // twice).
    contentView->frameSets = 0;
    theme->setOuterStrokeColor(UIColor::redColor());
    EXPECT_EQ(contentView->frameSets, 2);
    EXPECT_EQ(chrome->outerStrokeColor(), UIColor::redColor());

    // Five changes in a batch: laid out once, at its end.
    contentView->frameSets = 0;
    objc_msgSend<void>(popover.get(), "beginThemeUpdates"_sel);
    theme->setFillTopColor(UIColor::blueColor());
    theme->setFillBottomColor(UIColor::greenColor());
    theme->setInnerStrokeColor(UIColor::whiteColor());
    theme->setOuterShadowColor(UIColor::blackColor());
    theme->setOverlayColor(UIColor::redColor());
    EXPECT_EQ(contentView->frameSets, 0);
    EXPECT_EQ(chrome->fillTopColor(), theme->tintColor().get());
    objc_msgSend<void>(popover.get(), "endThemeUpdates"_sel);
    EXPECT_EQ(contentView->frameSets, 2);
    EXPECT_EQ(chrome->fillTopColor(), UIColor::blueColor());
    EXPECT_EQ(chrome->fillBottomColor(), UIColor::greenColor());
    EXPECT_EQ(popover->overlayView()->backgroundColor(), UIColor::redColor());
    // The inner view follows.
    EXPECT_EQ(chrome->innerView()->innerStrokeColor(), UIColor::whiteColor());
    EXPECT_EQ(chrome->innerView()->gradientTopColor(), UIColor::blueColor());

    // Changes that are not observed wait for the next applied one.
    contentView->frameSets = 0;
    theme->setMinOuterCornerRadius(3);
    theme->setUsesRoundedArrow(NO);
    EXPECT_EQ(contentView->frameSets, 0);
    EXPECT_EQ(chrome->usesRoundedArrow(), 1u);
    theme->setArrowHeight(20);
    EXPECT_EQ(chrome->usesRoundedArrow(), 0u);
    EXPECT_EQ(chrome->minOuterCornerRadius(), 3u);
    EXPECT_EQ(chrome->arrowHeight(), 20u);

    // A new theme closes an open batch.
    popover->beginThemeUpdates();
    Ref<QLZPopoverTheme> other = QLZPopoverTheme::theme();
    other->setBorderWidth(4);
    popover->setTheme(other.ptr());
    // (Inside the batch the new theme is not applied yet.)
    EXPECT_EQ(chrome->borderWidth(), 0u);
    EXPECT_FALSE(popover->theme() != other.ptr());
    theme->setBorderWidth(9);
    EXPECT_EQ(chrome->borderWidth(), 0u);
    other->setBorderWidth(2);
    EXPECT_EQ(chrome->borderWidth(), 2u);
    popover->dismissPopoverAnimated(NO);
}

TEST_F(PopoverDismissal, ContentSizeIsAskedOfTheContentAndFollowed)
{
    AutoreleasePool pool;
    // Neither size set: 320 wide and as high as the key window.
    Ref<UIViewController> bare = UIViewController::create();
    Ref<QLZPopoverController> unsized = QLZPopoverController::create(bare.ptr());
    EXPECT_EQ(objc_msgSend<CGSize>(unsized.ptr(), "popoverContentSize"_sel), CGSizeMake(320, 480));
    bare->setContentSizeForViewInPopover(CGSizeMake(200, 60));
    EXPECT_EQ(unsized->topViewControllerContentSize(), CGSizeMake(200, 60));
    bare->setPreferredContentSize(CGSizeMake(210, 70));
    EXPECT_EQ(unsized->popoverContentSize(), CGSizeMake(210, 70));
    // An explicit size wins; (0, 0) asks the content again.
    unsized->setPopoverContentSize(CGSizeMake(100, 50));
    EXPECT_EQ(unsized->popoverContentSize(), CGSizeMake(100, 50));
    unsized->setPopoverContentSize(CGSizeZero);
    EXPECT_EQ(unsized->popoverContentSize(), CGSizeMake(210, 70));

    // While shown, the content's own changes are laid out, animated.
    presentDialog();
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    UIViewAnimationLog::clear();
    content->setPreferredContentSize(CGSizeMake(200, 150));
    EXPECT_EQ(popover->popoverContentSize(), CGSizeMake(200, 150));
    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->duration, static_cast<double>(0.1f));
    EXPECT_EQ(chrome->frame(), CGRectMake(60, 175, 200, 150));

    // After the dismissal the content is no longer followed.
    popover->dismissPopoverAnimated(NO);
    content->setPreferredContentSize(CGSizeMake(100, 100));
    EXPECT_EQ(popover->popoverContentSize(), CGSizeMake(200, 150));
}

TEST_F(PopoverDismissal, TearDownWhileShownCleansUp)
{
    AutoreleasePool pool;
    QLZPopoverTheme* theme = popover->theme();
    size_t themeObservations = kvo::observationCount(theme);
    presentDialog();
    EXPECT_EQ(kvo::observationCount(content.get()), 1u);
    EXPECT_EQ(window->subviews().size(), 3u);

    popover = nullptr;
    EXPECT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(kvo::observationCount(content.get()), 0u);
    EXPECT_EQ(kvo::observationCount(theme), themeObservations - 21);
    EXPECT_TRUE(delegate->calls.empty());

    // An observation someone else removed already: the platform's complaint
    // is dropped.
    RefPtr<QLZPopoverController> second = QLZPopoverController::create(content.get());
    second->presentPopoverAsDialogAnimated(NO);
    kvo::removeObserver(content.get(), second.get(), "preferredContentSize"_ns);
    second->dismissPopoverAnimated(NO);
    second->presentPopoverAsDialogAnimated(NO);
    kvo::removeObserver(content.get(), second.get(), "preferredContentSize"_ns);
    second = nullptr;
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(PopoverDismissal, ItsTapRecognizersReachNoOneOnceItIsGone)
{
    AutoreleasePool pool;
    presentDialog();
    // What a finger held on the overlay keeps: its recognizer, which does not
    // keep the chrome view it reports to.
    Ref<UIGestureRecognizer> outsideTap = popover->overlayView()->gestureRecognizers().front();
    RefPtr<QLZPopoverBackgroundView> chrome = popover->backgroundView();
    popover->dismissPopoverAnimated(NO);
    delegate->calls.clear();
    outsideTap->setState(UIGestureRecognizerStateRecognized);
    RunLoop::main().runFor(1);
    EXPECT_TRUE(delegate->calls.empty());

    // The finger itself, held through the dismissal and lifted after the
    // controller and its chrome view are gone.
    chrome = nullptr;
    presentDialog();
    UIKitSimulator::touchDown(window.get(), CGPointMake(20, 460));
    popover->dismissPopoverAnimated(NO);
    popover = nullptr;
    delegate->calls.clear();
    UIKitSimulator::touchUp();
    RunLoop::main().runFor(1);
    EXPECT_TRUE(delegate->calls.empty());
}

TEST_F(PopoverDismissal, ControllerOutlivesItsOwnerUntilTheExitEnds)
{
    AutoreleasePool pool;
    presentDialog();
    // As the torch list does on a rotation: dismiss animated, let go.
    popover->dismissPopoverAnimated(YES);
    popover = nullptr;
    EXPECT_EQ(window->subviews().size(), 3u);
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "dismissCompletionBlock" });
}

TEST_F(PopoverDismissal, ANewPresentationFinishesAnimationsStillRunning)
{
    AutoreleasePool pool;
    QLZPopoverTheme* theme = popover->theme();
    size_t themeObservations = kvo::observationCount(theme);
    // Shown and dismissed again before either animation has ended, as
    // quick taps on the torch button and beside the popover do.
    popover->presentPopoverFromRectAnimated(CGRectMake(100, 300, 20, 20), rootView(), QLZPopoverArrowDirectionAny, YES);
    popover->dismissPopoverAnimated(YES);
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "didPresent" });
    EXPECT_EQ(window->subviews().size(), 3u);
    popover = nullptr;

    RefPtr<QLZPopoverController> next = QLZPopoverController::create(content.get());
    next->presentPopoverFromRectAnimated(CGRectMake(100, 300, 20, 20), rootView(), QLZPopoverArrowDirectionAny, YES);
    // The first popover's views are gone and its controller with them.
    EXPECT_EQ(window->subviews().size(), 3u);
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "didPresent", "dismissCompletionBlock" }));
    EXPECT_EQ(kvo::observationCount(theme), themeObservations);

    // Its animations' own ends later change nothing.
    RunLoop::main().runFor(1);
    EXPECT_EQ(delegate->calls.size(), 2u);
    EXPECT_EQ(window->subviews().size(), 3u);
    EXPECT_TRUE(next->backgroundView() && next->backgroundView()->superview());
    next->dismissPopoverAnimated(NO);
    EXPECT_EQ(window->subviews().size(), 1u);
}
