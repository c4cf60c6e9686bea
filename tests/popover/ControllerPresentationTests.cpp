// Presenting a popover: construction, the presentation forms, the views it
// puts into the window, the entrance animation and what runs after it.
#include "PopoverTestSupport.h"
#include "support/Precision.h"

#include "dispatch/RunLoop.h"
#include "foundation/NSException.h"
#include "foundation/NSKeyValueObserving.h"
#include "popover/QLZPopoverController.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewAnimation.h"

using namespace popover_testing;

namespace {

class PopoverPresentation : public PopoverWindowTest { };

} // namespace

TEST_F(PopoverPresentation, ConstructionAndTheSharedDefaultTheme)
{
    AutoreleasePool pool;
    Ref<UIViewController> content = contentController(CGSizeMake(220, 100));
    // As a client makes it: +alloc, -initWithContentViewController:.
    id made = objc_msgSend<id>(objc_msgSend<id>(QLZPopoverController::staticClass(), "alloc"_sel), "initWithContentViewController:"_sel,
        content.ptr());
    Ref<QLZPopoverController> popover = adoptRef(*static_cast<QLZPopoverController*>(made));
    EXPECT_EQ(popover->contentViewController(), content.ptr());
    EXPECT_EQ(popover->popoverLayoutMargins(), UIEdgeInsetsMake(10, 10, 10, 10));
    EXPECT_EQ(popover->animationDuration(), 0.25f);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_FALSE(popover->dismissOnTap());
    EXPECT_EQ(popover->theme(), QLZPopoverController::defaultTheme());
    EXPECT_EQ(objc_msgSend<id>(popover.ptr(), "theme"_sel), QLZPopoverController::defaultTheme());
    EXPECT_EQ(popover->theme()->arrowHeight(), 13u);
    EXPECT_EQ(popover->popoverContentSize(), CGSizeMake(220, 100));

    // A new default theme becomes every new controller's, with its values
    // as the chrome's appearance defaults.
    Ref<QLZPopoverTheme> tall = QLZPopoverTheme::theme();
    tall->setArrowHeight(20);
    objc_msgSend<void>(QLZPopoverController::staticClass(), "setDefaultTheme:"_sel, tall.ptr());
    EXPECT_EQ(UIAppearance::forClass(QLZPopoverBackgroundView::staticClass())->unsignedIntegerValue("arrowHeight"), 20u);
    Ref<QLZPopoverController> second = QLZPopoverController::create(content.ptr());
    EXPECT_EQ(second->theme(), tall.ptr());
    EXPECT_EQ(second->theme()->arrowHeight(), 20u);

    // A change made on the shared theme reaches every controller, until the
    // next controller writes the appearance defaults back into it.
    Ref<QLZPopoverController> third = QLZPopoverController::create(content.ptr());
    second->theme()->setArrowBase(40);
    EXPECT_EQ(third->theme()->arrowBase(), 40u);
    Ref<QLZPopoverController> fourth = QLZPopoverController::create(content.ptr());
    EXPECT_EQ(fourth->theme(), second->theme());
    EXPECT_EQ(second->theme()->arrowBase(), 25u);
}

TEST_F(PopoverPresentation, DialogsAreCentredInTheKeyWindowsRootView)
{
    AutoreleasePool pool;
    Ref<UIViewController> content = contentController(CGSizeMake(220, 100));
    Ref<QLZPopoverController> popover = QLZPopoverController::create(content.ptr());
    objc_msgSend<void>(popover.ptr(), "presentPopoverAsDialogAnimated:"_sel, NO);

    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    QLZPopoverOverlayView* overlay = popover->overlayView();
    ASSERT_TRUE(chrome);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(popover->permittedArrowDirections(), QLZPopoverArrowDirectionNone);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionNone);
    // Centred between the margins and below the status bar: (160, 250).
    EXPECT_EQ(chrome->frame(), CGRectMake(50, 200, 220, 100));
    EXPECT_EQ(chrome->arrowOffset(), 0.0f);
    EXPECT_FALSE(chrome->isHidden());
    EXPECT_FALSE(chrome->isAppearing());

    // The overlay covers the window just below the chrome.
    const auto& subviews = window->subviews();
    ASSERT_EQ(subviews.size(), 3u);
    EXPECT_EQ(subviews[1].ptr(), overlay);
    EXPECT_EQ(subviews[2].ptr(), chrome);
    EXPECT_EQ(overlay->frame(), window->bounds());
    EXPECT_EQ(overlay->autoresizingMask(), 18u);
    EXPECT_FALSE(overlay->autoresizesSubviews());
    EXPECT_EQ(overlay->delegate(), popover.ptr());
    EXPECT_EQ(rgba(overlay->backgroundColor()), rgba(0, 0, 0, 0.15));
    EXPECT_EQ(chrome->delegate(), popover.ptr());
    // The content inside the chrome, the inner view above it.
    EXPECT_EQ(chrome->contentView(), content->view());
    ASSERT_EQ(chrome->subviews().size(), 2u);
    EXPECT_EQ(chrome->subviews()[1].ptr(), chrome->innerView());

    // Without a view, an empty rectangle becomes a 10 x 10 square at the
    // centre of the root view: (155, 235, 10, 10), here above it.
    popover->dismissPopoverAnimated(NO);
    EXPECT_EQ(window->subviews().size(), 1u);
    popover->presentPopoverFromRectAnimated(CGRectZero, nullptr, QLZPopoverArrowDirectionDown, NO);
    chrome = popover->backgroundView();
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(chrome->frame(), CGRectMake(50, 235 - 113, 220, 113));
}

TEST_F(PopoverPresentation, BarButtonItemsAllowOnlyUpAndDown)
{
    AutoreleasePool pool;
    auto button = UIView::create(CGRectMake(250, 440, 40, 30));
    rootView()->addSubview(button.ptr());
    auto item = UIBarButtonItem::create(button.ptr());
    Ref<UIViewController> content = contentController(CGSizeMake(220, 100));
    Ref<QLZPopoverController> popover = QLZPopoverController::create(content.ptr());
    objc_msgSend<void>(popover.ptr(), "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:"_sel, item.ptr(),
        QLZPopoverArrowDirectionLeft, NO);
    EXPECT_EQ(popover->permittedArrowDirections(), QLZPopoverArrowDirectionUp | QLZPopoverArrowDirectionDown);
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    ASSERT_TRUE(chrome);
    // Above the button, pushed 70 points left from the right margin, the
    // arrow 70 points right of the middle: its tip over the button's centre.
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(chrome->frame(), CGRectMake(90, 440 - 113, 220, 113));
    EXPECT_EQ(chrome->arrowOffset(), 70.0f);
}

TEST_F(PopoverPresentation, UnknownArrowDirectionIsAnAssertionFailure)
{
    AutoreleasePool pool;
    Ref<QLZPopoverController> popover = QLZPopoverController::create(contentController(CGSizeMake(220, 100)).ptr());
    try {
        objc_msgSend<void>(popover.ptr(), "presentPopoverFromRect:inView:permittedArrowDirections:animated:"_sel, CGRectMake(10, 10, 10, 10),
            rootView(), QLZPopoverArrowDirectionUnknown, NO);
        FAIL() << "no assertion";
    } catch (NSException* exception) {
        EXPECT_TRUE(exception->name()->isEqualToString(NSInternalInconsistencyException));
        EXPECT_EQ(exception->reason()->string(), "QLZPopoverArrowDirection must not be UNKNOWN");
    }
    EXPECT_FALSE(popover->backgroundView());
}

TEST_F(PopoverPresentation, EntranceAnimationAndWhatRunsAfterIt)
{
    AutoreleasePool pool;
    Ref<UIViewController> content = contentController(CGSizeMake(220, 100));
    Ref<QLZPopoverController> popover = QLZPopoverController::create(content.ptr());
    Ref<DelegateLog> delegate = DelegateLog::create();
    popover->setDelegate(delegate.ptr());

    bool completed = false;
    popover->presentPopoverFromRect(CGRectMake(100, 300, 20, 20), rootView(), QLZPopoverArrowDirectionAny, YES,
        QLZPopoverAnimationOptionFadeWithScale, [&] { completed = true; });
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    QLZPopoverOverlayView* overlay = popover->overlayView();
    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    ASSERT_TRUE(record);
    EXPECT_CGFLOAT_EQ(record->duration, 0.25);
    const auto* fade = record->change(chrome, UIViewAnimatedProperty::Alpha);
    ASSERT_TRUE(fade);
    EXPECT_EQ(std::get<CGFloat>(fade->before), 0);
    EXPECT_EQ(std::get<CGFloat>(fade->after), 1);
    ASSERT_TRUE(record->change(overlay, UIViewAnimatedProperty::Alpha));
    // The chrome grows out of its arrow's tip: from 1 % at the tip.
    const auto* grow = record->change(chrome, UIViewAnimatedProperty::Transform);
    ASSERT_TRUE(grow);
    EXPECT_TRUE(CGAffineTransformIsIdentity(std::get<CGAffineTransform>(grow->after)));
    CGAffineTransform start = std::get<CGAffineTransform>(grow->before);
    EXPECT_CGFLOAT_EQ(start.a, 0.01);
    EXPECT_CGFLOAT_EQ(start.ty, 113 / 2.0);
    // The background is dimmed along with the animation.
    EXPECT_EQ(rootView()->tintAdjustmentMode(), UIViewTintAdjustmentModeDimmed);
    EXPECT_EQ(overlay->tintAdjustmentMode(), UIViewTintAdjustmentModeDimmed);
    // (The getter answers the mode in effect.)
    EXPECT_EQ(chrome->tintAdjustmentMode(), UIViewTintAdjustmentModeNormal);

    // Until the animation ends, the chrome is appearing and nothing is told.
    EXPECT_TRUE(chrome->isAppearing());
    RunLoop::main().runFor(0.2);
    EXPECT_FALSE(completed);
    EXPECT_EQ(kvo::observationCount(content.ptr()), 0u);
    RunLoop::main().runFor(0.1);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(chrome->isAppearing());
    // The completion replaces the delegate's call.
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_EQ(kvo::observationCount(content.ptr()), 1u);

    // Presenting again while shown: the same views, one observation, and
    // this time (without a completion) the delegate hears of it.
    popover->presentPopoverFromRectAnimated(CGRectMake(100, 35, 20, 20), rootView(), QLZPopoverArrowDirectionAny, YES);
    EXPECT_EQ(popover->backgroundView(), chrome);
    EXPECT_EQ(popover->overlayView(), overlay);
    EXPECT_EQ(window->subviews().size(), 3u);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionUp);
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "didPresent" });
    EXPECT_EQ(kvo::observationCount(content.ptr()), 1u);

    popover->dismissPopoverAnimated(NO);
    EXPECT_EQ(kvo::observationCount(content.ptr()), 0u);
    EXPECT_EQ(rootView()->tintAdjustmentMode(), UIViewTintAdjustmentModeNormal);
}

TEST_F(PopoverPresentation, ThemesThatDoNotDimLeaveTheWindowAlone)
{
    AutoreleasePool pool;
    Ref<QLZPopoverController> popover = QLZPopoverController::create(contentController(CGSizeMake(220, 100)).ptr());
    popover->beginThemeUpdates();
    popover->theme()->setDimsBackgroundViewsTintColor(NO);
    popover->endThemeUpdates();
    popover->presentPopoverAsDialogAnimated(NO);
    EXPECT_EQ(rootView()->tintAdjustmentMode(), UIViewTintAdjustmentModeNormal);
    EXPECT_EQ(popover->backgroundView()->dimsBackgroundViewsTintColor(), 0u);
    popover->dismissPopoverAnimated(NO);
}

TEST_F(PopoverPresentation, PerformWithoutAnimation)
{
    AutoreleasePool pool;
    Ref<UIViewController> content = contentController(CGSizeMake(220, 100));
    Ref<QLZPopoverController> popover = QLZPopoverController::create(content.ptr());
    popover->presentPopoverAsDialogAnimated(NO);
    UIViewAnimationLog::clear();
    bool ran = false;
    popover->setImplicitAnimationsDisabled(YES);
    objc_msgSend<void>(popover.ptr(), "performWithoutAnimation:"_sel, QLZPopoverActionsBlock([&] {
        ran = true;
        EXPECT_TRUE(popover->implicitAnimationsDisabled());
        popover->setPopoverContentSize(CGSizeMake(200, 150));
    }));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(popover->implicitAnimationsDisabled());
    // Placed at once.
    EXPECT_TRUE(UIViewAnimationLog::records().empty());
    EXPECT_EQ(popover->backgroundView()->frame(), CGRectMake(60, 175, 200, 150));
    // No callback: nothing changes.
    popover->setImplicitAnimationsDisabled(YES);
    popover->performWithoutAnimation(nullptr);
    EXPECT_TRUE(popover->implicitAnimationsDisabled());
    popover->dismissPopoverAnimated(NO);
}

TEST_F(PopoverPresentation, TapsOnTheBodyDismissOnlyWhenAskedBeforeTheViewsExist)
{
    AutoreleasePool pool;
    Ref<QLZPopoverController> popover = QLZPopoverController::create(contentController(CGSizeMake(220, 100)).ptr());
    popover->presentPopoverAsDialogAnimated(NO);
    popover->setDismissOnTap(YES);
    UIKitSimulator::tap(window.get(), CGPointMake(160, 250));
    RunLoop::main().runFor(1);
    ASSERT_TRUE(popover->backgroundView());

    popover->dismissPopoverAnimated(NO);
    popover->presentPopoverAsDialogAnimated(NO);
    EXPECT_EQ(popover->backgroundView()->gestureRecognizers().size(), 1u);
    UIKitSimulator::tap(window.get(), CGPointMake(160, 250));
    RunLoop::main().runFor(1);
    EXPECT_FALSE(popover->backgroundView());
    EXPECT_EQ(window->subviews().size(), 1u);
}
