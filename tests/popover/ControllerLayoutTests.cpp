// Where a popover goes: the arrow's side, the free space beside the anchor,
// the layout pass with its pushes and cuts, the turns of the old platform,
// the grow/shrink transform and the content's adjustments.
//
// The window is 320 x 480 with a 20-point status bar and 10-point margins:
// the popover stays within x 10 to 310 and y 30 to 470.
#include "PopoverTestSupport.h"

#include "dispatch/RunLoop.h"
#include "popover/QLZPopoverArea.h"
#include "popover/QLZPopoverController.h"
#include "popover/QLZPopoverLayout.h"
#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIViewAnimation.h"

#include <cmath>

using namespace popover_testing;

namespace {

class PopoverLayout : public PopoverWindowTest {
protected:
    // A popover of the given content size, presented without animation.
    QLZPopoverBackgroundView* present(CGSize content, CGRect rect, QLZPopoverArrowDirection permitted, UIView* view = nullptr)
    {
        popover = QLZPopoverController::create(contentController(content).ptr());
        popover->presentPopoverFromRectAnimated(rect, view ? view : rootView(), permitted, NO);
        return popover->backgroundView();
    }

    void TearDown() override
    {
        AutoreleasePool pool;
        if (popover)
            popover->dismissPopoverAnimated(NO);
        popover = nullptr;
        PopoverWindowTest::TearDown();
    }

    RefPtr<QLZPopoverController> popover;
};

void expectFrameNear(CGRect actual, CGRect expected)
{
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-4) << actual;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-4) << actual;
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-4) << actual;
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-4) << actual;
}

} // namespace

TEST_F(PopoverLayout, ArrowDirectionIsTheFirstSideWideEnough)
{
    AutoreleasePool pool;
    present(CGSizeMake(220, 100), CGRectZero, QLZPopoverArrowDirectionNone);
    auto choose = [&](CGRect rect, CGFloat contentWidth, QLZPopoverArrowDirection permitted) {
        return objc_msgSend<QLZPopoverArrowDirection>(popover.get(),
            "arrowDirectionForRect:inView:contentSize:arrowHeight:permittedArrowDirections:"_sel, rect, rootView(),
            CGSizeMake(contentWidth, 100), 13.0f, permitted);
    };
    // No room above (25 - 30 - 13 < 0): below.
    EXPECT_EQ(choose(CGRectMake(100, 25, 20, 10), 220, QLZPopoverArrowDirectionAny), QLZPopoverArrowDirectionUp);
    // One point of room above is enough: only widths are compared.
    EXPECT_EQ(choose(CGRectMake(100, 44, 20, 10), 220, QLZPopoverArrowDirectionAny), QLZPopoverArrowDirectionDown);
    // Nothing wide enough: the first side with room.
    EXPECT_EQ(choose(CGRectMake(100, 44, 20, 10), 301, QLZPopoverArrowDirectionAny), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(choose(CGRectMake(100, 200, 20, 10), 5000, QLZPopoverArrowDirectionNone), QLZPopoverArrowDirectionNone);
    EXPECT_EQ(choose(CGRectMake(100, 200, 20, 10), 220, 0), QLZPopoverArrowDirectionRight);
    // Both sides 127 wide, narrower than the content: the first in order.
    EXPECT_EQ(choose(CGRectMake(150, 200, 20, 10), 200, QLZPopoverArrowDirectionLeft | QLZPopoverArrowDirectionRight),
        QLZPopoverArrowDirectionLeft);
    // A single side is kept even without room.
    EXPECT_EQ(choose(CGRectMake(100, 465, 20, 10), 220, QLZPopoverArrowDirectionUp), QLZPopoverArrowDirectionUp);
    // An anchor that leaves no room anywhere: the first permitted of DOWN,
    // UP, LEFT, else RIGHT.
    CGRect huge = CGRectMake(0, 40, 320, 420);
    EXPECT_EQ(choose(huge, 220, QLZPopoverArrowDirectionAny), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(choose(huge, 220, QLZPopoverArrowDirectionUp | QLZPopoverArrowDirectionLeft), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(choose(huge, 220, QLZPopoverArrowDirectionRight | QLZPopoverArrowDirectionLeft), QLZPopoverArrowDirectionLeft);
}

TEST_F(PopoverLayout, FreeSpaceOnEachSide)
{
    AutoreleasePool pool;
    present(CGSizeMake(220, 100), CGRectZero, QLZPopoverArrowDirectionNone);
    auto space = [&](QLZPopoverArrowDirection direction) {
        return objc_msgSend<CGSize>(popover.get(), "sizeForRect:inView:arrowHeight:arrowDirection:"_sel, CGRectMake(100, 200, 20, 10),
            rootView(), 13.0f, direction);
    };
    EXPECT_EQ(space(QLZPopoverArrowDirectionUp), CGSizeMake(300, 470 - 210 - 13));
    EXPECT_EQ(space(QLZPopoverArrowDirectionDown), CGSizeMake(300, 200 - 30 - 13));
    EXPECT_EQ(space(QLZPopoverArrowDirectionLeft), CGSizeMake(310 - 120 - 13, 440));
    EXPECT_EQ(space(QLZPopoverArrowDirectionRight), CGSizeMake(100 - 10 - 13, 440));
    EXPECT_EQ(space(QLZPopoverArrowDirectionNone), CGSizeMake(300, 440));
    EXPECT_EQ(space(QLZPopoverArrowDirectionAny), CGSizeZero);

    // In landscape the overlay's sides are exchanged even on a system whose
    // window turns with the interface.
    UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(space(QLZPopoverArrowDirectionNone), CGSizeMake(460, 280));

    // Candidates describe themselves with their side and space.
    Ref<QLZPopoverArea> area = QLZPopoverArea::create();
    area->setArrowDirection(QLZPopoverArrowDirectionUp);
    area->setAreaSize(CGSizeMake(300, 247));
    EXPECT_EQ(objc_msgSend<NSString*>(area.ptr(), "description"_sel)->string(), "UP [ 300.000000 x 247.000000 ]");
    area->setArrowDirection(3);
    area->setAreaSize(CGSizeMake(1.5, -2));
    EXPECT_EQ(area->description()->string(), " [ 1.500000 x -2.000000 ]");
    EXPECT_EQ(area->value(), 0.0f);
}

TEST_F(PopoverLayout, CutDownToTheMinimumAwayFromTheAnchor)
{
    AutoreleasePool pool;
    // A 300-point body above an anchor with 100 points over it: cut to
    // 160, its bottom by the anchor, its top past the margin.
    QLZPopoverBackgroundView* chrome = present(CGSizeMake(220, 287), CGRectMake(100, 130, 20, 10), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, -30, 220, 160));
    // With 200 points it is cut to 200, its top on the margin.
    chrome = present(CGSizeMake(220, 287), CGRectMake(100, 230, 20, 10), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 30, 220, 200));

    // A 100-point body below, 10 points too long, grows to the minimum.
    chrome = present(CGSizeMake(220, 87), CGRectMake(100, 370, 20, 10), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 380, 220, 160));
    // One that fits hangs from the anchor's bottom edge.
    chrome = present(CGSizeMake(220, 87), CGRectMake(100, 100, 20, 10), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 110, 220, 100));

    // Left of an anchor with 100 points beside it: 240 wide, the right edge
    // by the anchor.
    chrome = present(CGSizeMake(287, 100), CGRectMake(110, 200, 10, 10), QLZPopoverArrowDirectionRight);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionRight);
    EXPECT_EQ(chrome->frame(), CGRectMake(-130, 155, 240, 100));
    EXPECT_EQ(chrome->arrowOffset(), 0.0f);
    // Right of an anchor: the arrow's side on the anchor's right edge.
    chrome = present(CGSizeMake(200, 100), CGRectMake(10, 200, 10, 10), QLZPopoverArrowDirectionLeft);
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionLeft);
    EXPECT_EQ(chrome->frame(), CGRectMake(20, 155, 214, 100));
}

TEST_F(PopoverLayout, PushedInsideTheMarginsWithTheArrowOnTheAnchor)
{
    AutoreleasePool pool;
    // Centred on an anchor at x 65 the body would start at -45: it moves to
    // the margin and the arrow 55 points to the left of its middle.
    QLZPopoverBackgroundView* chrome = present(CGSizeMake(220, 87), CGRectMake(60, 100, 10, 10), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 110, 220, 100));
    EXPECT_EQ(chrome->arrowOffset(), -55.0f);
    EXPECT_TRUE(CGAffineTransformIsIdentity(chrome->transform()));
    // Further than the body's rounded end allows: the arrow stops there.
    chrome = present(CGSizeMake(220, 87), CGRectMake(0, 100, 10, 10), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 110, 220, 100));
    EXPECT_EQ(chrome->arrowOffset(), -97.0f);

    // The anchor's rectangle is in its own view's coordinates.
    auto holder = UIView::create(CGRectMake(40, 300, 100, 100));
    rootView()->addSubview(holder.ptr());
    chrome = present(CGSizeMake(220, 100), CGRectMake(0, 0, 20, 20), QLZPopoverArrowDirectionDown, holder.ptr());
    EXPECT_EQ(chrome->frame(), CGRectMake(10, 300 - 113, 220, 113));
    EXPECT_EQ(chrome->arrowOffset(), -70.0f);
}

TEST_F(PopoverLayout, OldPlatformTurnsTheChromeWithTheInterface)
{
    AutoreleasePool pool;
    useOldPlatform();
    UIApplication* application = UIApplication::sharedApplication();

    // Landscape: the interface is 480 x 320; the status bar's frame, in the
    // window's coordinates, is 20 wide. The dialog's interface frame
    // (130, 120, 220, 100) turns into the window's (100, 130, 100, 220).
    application->setStatusBarOrientation(UIInterfaceOrientationLandscapeRight);
    application->setStatusBarFrame(CGRectMake(300, 0, 20, 480));
    Ref<QLZPopoverController> dialog = QLZPopoverController::create(contentController(CGSizeMake(220, 100)).ptr());
    dialog->presentPopoverAsDialogAnimated(NO);
    QLZPopoverBackgroundView* chrome = dialog->backgroundView();
    expectFrameNear(chrome->frame(), CGRectMake(100, 130, 100, 220));
    EXPECT_EQ(chrome->transform(), CGAffineTransformMakeRotation(static_cast<float>(M_PI_2)));
    EXPECT_NEAR(chrome->bounds().size.width, 220, 1e-4);
    EXPECT_NEAR(chrome->bounds().size.height, 100, 1e-4);

    application->setStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
    application->setStatusBarFrame(CGRectMake(0, 0, 20, 480));
    dialog->positionPopover(NO);
    expectFrameNear(chrome->frame(), CGRectMake(120, 130, 100, 220));
    EXPECT_EQ(chrome->transform(), CGAffineTransformMakeRotation(-static_cast<float>(M_PI_2)));

    application->setStatusBarOrientation(UIInterfaceOrientationPortraitUpsideDown);
    application->setStatusBarFrame(CGRectMake(0, 460, 320, 20));
    dialog->positionPopover(NO);
    expectFrameNear(chrome->frame(), CGRectMake(50, 180, 220, 100));
    EXPECT_EQ(chrome->transform(), CGAffineTransformMakeRotation(static_cast<float>(M_PI)));

    application->setStatusBarOrientation(UIInterfaceOrientationPortrait);
    dialog->positionPopover(NO);
    EXPECT_EQ(chrome->frame(), CGRectMake(50, 200, 220, 100));
    dialog->dismissPopoverAnimated(NO);
}

TEST_F(PopoverLayout, InterfaceOrientationMappingsAreInverse)
{
    const CGRect rect = CGRectMake(30, 50, 100, 40);
    EXPECT_EQ(QLZRectForInterfaceOrientation(1, rect, 320, 480), rect);
    EXPECT_EQ(QLZRectForInterfaceOrientation(7, rect, 320, 480), rect);
    EXPECT_EQ(QLZRectForInterfaceOrientation(2, rect, 320, 480), CGRectMake(190, 390, 100, 40));
    EXPECT_EQ(QLZRectForInterfaceOrientation(3, rect, 320, 480), CGRectMake(50, 190, 40, 100));
    EXPECT_EQ(QLZRectForInterfaceOrientation(4, rect, 320, 480), CGRectMake(390, 30, 40, 100));
    for (NSInteger orientation : { 1, 2, 3, 4 }) {
        CGRect turned = QLZRectForInterfaceOrientation(orientation, rect, 320, 480);
        CGSize windowSize = orientation >= 3 ? CGSizeMake(rect.size.width, rect.size.height) : rect.size;
        EXPECT_EQ(QLZOriginFromInterfaceOrientation(orientation, turned.origin, windowSize, 320, 480), rect.origin) << orientation;
    }
}

TEST_F(PopoverLayout, GrowAndShrinkTransformStartsAtTheArrowTip)
{
    AutoreleasePool pool;
    // A controller that never showed a popover has nothing to start from.
    Ref<QLZPopoverController> idle = QLZPopoverController::create(contentController(CGSizeMake(220, 100)).ptr());
    EXPECT_EQ(idle->transformForArrowDirection(QLZPopoverArrowDirectionUp), CGAffineTransformMake(0, 0, 0, 0, 0, 0));

    // Pushed 12 points left of the right margin: the arrow 12 points right.
    QLZPopoverBackgroundView* chrome = present(CGSizeMake(220, 100), CGRectMake(207, 100, 10, 10), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame().size, CGSizeMake(220, 113));
    EXPECT_EQ(chrome->arrowOffset(), 12.0f);
    EXPECT_EQ(objc_msgSend<CGAffineTransform>(popover.get(), "transformForArrowDirection:"_sel, QLZPopoverArrowDirectionUp),
        CGAffineTransformMake(0.01, 0, 0, 0.01, 12, -56.5));
    EXPECT_EQ(popover->transformForArrowDirection(QLZPopoverArrowDirectionRight), CGAffineTransformMake(0.01, 0, 0, 0.01, 110, 12));
    EXPECT_EQ(popover->transformForArrowDirection(QLZPopoverArrowDirectionNone), CGAffineTransformMakeScale(0.01, 0.01));
    // In landscape the frame's sides are exchanged.
    UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(popover->transformForArrowDirection(QLZPopoverArrowDirectionUp), CGAffineTransformMake(0.01, 0, 0, 0.01, 12, -110));
    UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationPortrait);
    // Without an arrow only the scale is left.
    chrome->setArrowHeight(0);
    EXPECT_EQ(popover->transformForArrowDirection(QLZPopoverArrowDirectionUp), CGAffineTransformMakeScale(0.01, 0.01));
}

TEST_F(PopoverLayout, ContentSizeChangesRelayOutOverATenthOfASecond)
{
    AutoreleasePool pool;
    QLZPopoverBackgroundView* chrome = present(CGSizeMake(220, 100), CGRectZero, QLZPopoverArrowDirectionNone);
    EXPECT_EQ(chrome->frame(), CGRectMake(50, 200, 220, 100));
    UIViewAnimationLog::clear();
    objc_msgSend<void>(popover.get(), "setPopoverContentSize:"_sel, CGSizeMake(200, 150));
    const UIViewAnimationRecord* record = UIViewAnimationLog::last();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->duration, static_cast<double>(0.1f));
    const auto* move = record->change(chrome, UIViewAnimatedProperty::Frame);
    ASSERT_TRUE(move);
    EXPECT_EQ(std::get<CGRect>(move->before), CGRectMake(50, 200, 220, 100));
    EXPECT_EQ(std::get<CGRect>(move->after), CGRectMake(60, 175, 200, 150));
    EXPECT_EQ(chrome->frame(), CGRectMake(60, 175, 200, 150));

    // Not animated, or with implicit animations off: the frame jumps.
    UIViewAnimationLog::clear();
    popover->setPopoverContentSizeAnimated(CGSizeMake(220, 100), NO);
    popover->setImplicitAnimationsDisabled(YES);
    popover->setPopoverContentSize(CGSizeMake(100, 100));
    EXPECT_TRUE(UIViewAnimationLog::records().empty());
    EXPECT_EQ(chrome->frame(), CGRectMake(110, 200, 100, 100));
}

TEST_F(PopoverLayout, ContentViewTakesTheChromesCornersAndNavigationBar)
{
    AutoreleasePool pool;
    Ref<UIViewController> top = contentController(CGSizeMake(220, 100));
    Ref<UINavigationController> navigation = UINavigationController::create(top.ptr());
    popover = QLZPopoverController::create(navigation.ptr());
    popover->presentPopoverAsDialogAnimated(NO);
    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    // The top view controller's preferred size; no layout under the bar.
    EXPECT_EQ(popover->popoverContentSize(), CGSizeMake(220, 100));
    EXPECT_EQ(top->edgesForExtendedLayout(), 0u);
    EXPECT_TRUE(navigation->view()->clipsToBounds());
    EXPECT_EQ(navigation->view()->layer()->cornerRadius(), 5);
    EXPECT_EQ(chrome->navigationBarHeight(), 44.0f);
    EXPECT_EQ(chrome->contentView(), navigation->view());
    popover->dismissPopoverAnimated(NO);

    // With a border the content keeps square corners.
    Ref<UIViewController> plain = contentController(CGSizeMake(220, 100));
    popover = QLZPopoverController::create(plain.ptr());
    popover->beginThemeUpdates();
    popover->theme()->setBorderWidth(1);
    popover->endThemeUpdates();
    popover->presentPopoverAsDialogAnimated(NO);
    EXPECT_TRUE(plain->view()->clipsToBounds());
    EXPECT_EQ(plain->view()->layer()->cornerRadius(), 0);
    EXPECT_EQ(popover->backgroundView()->navigationBarHeight(), 0.0f);
}
