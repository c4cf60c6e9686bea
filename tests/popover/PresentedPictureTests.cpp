// A popover presented in a window, painted as the screen shows it.
#include "PopoverTestSupport.h"

#include "dispatch/RunLoop.h"
#include "graphics/RasterContext.h"
#include "popover/QLZPopoverController.h"

using namespace popover_testing;
using Pixel = graphics::RasterContext::Pixel;

namespace {

class PopoverPicture : public PopoverWindowTest { };

Ref<graphics::RasterContext> paintWindow(UIWindow* window)
{
    auto context = graphics::RasterContext::create(window->bounds().size, 2);
    renderView(context.ptr(), window);
    return context;
}

} // namespace

TEST_F(PopoverPicture, PresentedBelowAButtonOnADarkBar)
{
    AutoreleasePool pool;
    auto bar = UIView::create(CGRectMake(0, 0, 320, 44));
    bar->setBackgroundColor(UIColor::colorWithWhite(0.08, 1).ptr());
    rootView()->addSubview(bar.ptr());
    auto button = UIView::create(CGRectMake(250, 12, 20, 20));
    button->setBackgroundColor(UIColor::systemYellowColor());
    bar->addSubview(button.ptr());

    // Two 44-point rows, as the torch list has.
    Ref<UIViewController> content = contentController(CGSizeMake(220, 88));
    content->view()->setBackgroundColor(UIColor::colorWithWhite(0.12, 1).ptr());
    auto row = UIView::create(CGRectMake(15, 43, 205, 1));
    row->setBackgroundColor(UIColor::colorWithWhite(0.4, 1).ptr());
    content->view()->addSubview(row.ptr());

    Ref<QLZPopoverController> popover = QLZPopoverController::create(content.ptr());
    popover->beginThemeUpdates();
    QLZPopoverTheme* theme = popover->theme();
    theme->setDimsBackgroundViewsTintColor(NO);
    theme->setFillTopColor(bar->backgroundColor());
    theme->setFillBottomColor(bar->backgroundColor());
    theme->setInnerStrokeColor(UIColor::whiteColor());
    popover->endThemeUpdates();
    popover->presentPopoverFromRectAnimated(button->bounds(), button.ptr(), QLZPopoverArrowDirectionAny, YES);
    RunLoop::main().runFor(1);

    QLZPopoverBackgroundView* chrome = popover->backgroundView();
    ASSERT_TRUE(chrome);
    // Below the button, pushed 60 points in from the right margin.
    EXPECT_EQ(chrome->arrowDirection(), QLZPopoverArrowDirectionUp);
    EXPECT_EQ(chrome->frame(), CGRectMake(90, 32, 220, 101));
    EXPECT_EQ(chrome->arrowOffset(), 60.0f);

    auto picture = paintWindow(window.get());
    EXPECT_TRUE(picture->writePNG(picturePath("presented-in-window.png")));
    // The overlay darkens what lies outside: 0.3 grey under 15 % black.
    EXPECT_EQ(picture->pixelAtPoint(CGPointMake(40, 300)), (Pixel { 65, 65, 65, 255 }));
    // The arrow, in the bar's colour (0.08 grey) above the overlay, points
    // at the button's centre (260, 22); beside it the bar is shaded.
    Pixel arrow = picture->pixelAtPoint(CGPointMake(260, 40));
    EXPECT_NEAR(arrow.red, 20, 1);
    EXPECT_EQ(arrow.alpha, 255);
    Pixel beside = picture->pixelAtPoint(CGPointMake(240, 35));
    EXPECT_NEAR(beside.red, 17, 1);
    // The content and its white frame.
    EXPECT_NEAR(picture->pixelAtPoint(CGPointMake(200, 70)).red, 31, 1);
    EXPECT_EQ(picture->pixelAtPoint(CGPointMake(200, 132.75)).red, 255);
    popover->dismissPopoverAnimated(NO);
}
