#include "PopoverTestSupport.h"

#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "foundation/NSProcessInfo.h"
#include "popover/PopoverClasses.h"
#include "popover/QLZPopoverController.h"
#include "support/TestSupport.h"
#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UIGraphics.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIViewAnimation.h"

#include <filesystem>

namespace popover_testing {

std::string picturePath(const std::string& name)
{
    auto folder = testing_support::binFolder().parent_path() / "popover-pictures";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

void renderView(CGContextRef context, UIView* view)
{
    if (!view || view->isHidden() || view->alpha() < 0.01)
        return;
    CGContextSaveGState(context);
    CGPoint center = view->center();
    CGRect bounds = view->bounds();
    CGContextTranslateCTM(context, center.x, center.y);
    CGContextConcatCTM(context, view->transform());
    CGContextTranslateCTM(context, -bounds.size.width / 2 - bounds.origin.x, -bounds.size.height / 2 - bounds.origin.y);
    CGContextSetAlpha(context, view->alpha());

    CALayer* layer = view->layer();
    Ref<CGPath> shape = adoptRef(*CGPathCreateMutable());
    CGFloat radius = std::min(layer->cornerRadius(), std::min(bounds.size.width, bounds.size.height) / 2);
    CGPathMoveToPoint(shape.ptr(), nullptr, CGRectGetMinX(bounds), CGRectGetMidY(bounds));
    CGPathAddArcToPoint(shape.ptr(), nullptr, CGRectGetMinX(bounds), CGRectGetMinY(bounds), CGRectGetMaxX(bounds), CGRectGetMinY(bounds), radius);
    CGPathAddArcToPoint(shape.ptr(), nullptr, CGRectGetMaxX(bounds), CGRectGetMinY(bounds), CGRectGetMaxX(bounds), CGRectGetMaxY(bounds), radius);
    CGPathAddArcToPoint(shape.ptr(), nullptr, CGRectGetMaxX(bounds), CGRectGetMaxY(bounds), CGRectGetMinX(bounds), CGRectGetMaxY(bounds), radius);
    CGPathAddArcToPoint(shape.ptr(), nullptr, CGRectGetMinX(bounds), CGRectGetMaxY(bounds), CGRectGetMinX(bounds), CGRectGetMinY(bounds), radius);
    CGPathCloseSubpath(shape.ptr());
    if (view->clipsToBounds()) {
        CGContextAddPath(context, shape.ptr());
        CGContextClip(context);
    }
    if (UIColor* color = view->backgroundColor()) {
        CGContextSetFillColorWithColor(context, color->CGColor());
        CGContextAddPath(context, shape.ptr());
        CGContextFillPath(context);
    }
    if (layer->delegate() == view && objc_respondsToSelector(view, "drawLayer:inContext:"_sel))
        objc_msgSend<void>(view, "drawLayer:inContext:"_sel, layer, context);
    UIGraphicsPushContext(context);
    objc_msgSend<void>(view, "drawRect:"_sel, bounds);
    UIGraphicsPopContext();
    for (const auto& subview : std::vector<Ref<UIView>>(view->subviews()))
        renderView(context, subview.ptr());
    CGContextRestoreGState(context);
}

Class DelegateLog::staticClass()
{
    static Class cls = ClassBuilder<DelegateLog>("PopoverTestsDelegateLog", &OBJC_CLASS_NSObject)
                           .method<&DelegateLog::didPresent>("popoverControllerDidPresentPopover:")
                           .method<&DelegateLog::shouldDismiss>("popoverControllerShouldDismissPopover:")
                           .method<&DelegateLog::didDismiss>("popoverControllerDidDismissPopover:")
                           .build();
    return cls;
}

Ref<DelegateLog> DelegateLog::create()
{
    return adoptObject(new DelegateLog);
}

Class FrameCountingView::staticClass()
{
    static Class cls = ClassBuilder<FrameCountingView>("PopoverTestsFrameCountingView", UIView::staticClass())
                           .method<&FrameCountingView::setFrame>("setFrame:")
                           .build();
    return cls;
}

Ref<FrameCountingView> FrameCountingView::create(CGRect frame)
{
    auto view = adoptObject(new FrameCountingView);
    view->initWithFrame(frame);
    return view;
}

Ref<UIViewController> contentController(CGSize preferredSize)
{
    Ref<UIViewController> controller = UIViewController::create();
    auto view = FrameCountingView::create(CGRectMake(0, 0, preferredSize.width, preferredSize.height));
    view->setBackgroundColor(UIColor::whiteColor());
    controller->setView(view.ptr());
    controller->setPreferredContentSize(preferredSize);
    return controller;
}

FrameCountingView* countingView(UIViewController* controller)
{
    return static_cast<FrameCountingView*>(controller->view());
}

void PopoverWindowTest::SetUp()
{
    AutoreleasePool pool;
    device::setSystemVersion({ 9, 0 });
    UIKitSimulator::setScreen(CGSizeMake(320, 480), 2);
    UIApplication* application = UIApplication::sharedApplication();
    application->setStatusBarOrientation(UIInterfaceOrientationPortrait);
    application->setStatusBarFrame(std::nullopt);
    window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    rootController = UIViewController::create();
    rootController->view()->setBackgroundColor(UIColor::colorWithWhite(0.3, 1).ptr());
    window->setRootViewController(rootController.get());
    window->makeKeyAndVisible();
    UIViewAnimationLog::clear();
}

void PopoverWindowTest::TearDown()
{
    AutoreleasePool pool;
    RunLoop::main().runFor(10);
    UIViewAnimationLog::clear();
    window = nullptr;
    rootController = nullptr;
    QLZPopoverController::setDefaultTheme(QLZPopoverTheme::theme().ptr());
    UIApplication* application = UIApplication::sharedApplication();
    application->setStatusBarOrientation(UIInterfaceOrientationPortrait);
    application->setStatusBarFrame(std::nullopt);
    device::setSystemVersion({ 9, 0 });
    RunLoop::main().runFor(1);
}

void PopoverWindowTest::useOldPlatform()
{
    device::setSystemVersion({ 7, 1 });
}

namespace {

// The component's classes are registered before any test runs, as a module
// registers them when it starts.
class RegisterClasses : public ::testing::Environment {
public:
    void SetUp() override
    {
        AutoreleasePool pool;
        registerPopoverClasses();
    }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new RegisterClasses);

} // namespace

} // namespace popover_testing
