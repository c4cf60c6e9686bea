// The overlay's hit testing with passthrough views, and the background view
// as a view: construction, content, inner view, redisplay and taps.
#include "PopoverTestSupport.h"

#include "dispatch/RunLoop.h"
#include "foundation/NSBundle.h"
#include "graphics/RecordingContext.h"
#include "popover/QLZPopoverBackgroundView.h"
#include "popover/QLZPopoverOverlayView.h"
#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UIGraphics.h"
#include "uikit/UINavigationController.h"

using namespace popover_testing;

namespace {

// An overlay delegate that counts the touches it is told about.
class OverlayListener : public NSObject {
    OBJC_CLASS(OverlayListener)
public:
    BOOL dismissOnPassthroughViewTap() { return dismisses; }
    void popoverOverlayViewDidTouch(NSObject* overlay)
    {
        ++touches;
        lastOverlay = overlay;
    }
    BOOL dismisses = YES;
    int touches = 0;
    NSObject* lastOverlay = nullptr;
};

Class OverlayListener::staticClass()
{
    static Class cls = ClassBuilder<OverlayListener>("PopoverTestsOverlayListener", &OBJC_CLASS_NSObject)
                           .method<&OverlayListener::dismissOnPassthroughViewTap>("dismissOnPassthroughViewTap")
                           .method<&OverlayListener::popoverOverlayViewDidTouch>("popoverOverlayViewDidTouch:")
                           .build();
    return cls;
}

// One that answers the question but wants no report.
class QuietListener : public NSObject {
    OBJC_CLASS(QuietListener)
public:
    BOOL dismissOnPassthroughViewTap() { return YES; }
};

Class QuietListener::staticClass()
{
    static Class cls = ClassBuilder<QuietListener>("PopoverTestsQuietListener", &OBJC_CLASS_NSObject)
                           .method<&QuietListener::dismissOnPassthroughViewTap>("dismissOnPassthroughViewTap")
                           .build();
    return cls;
}

// A background view's delegate.
class OutsideListener : public NSObject {
    OBJC_CLASS(OutsideListener)
public:
    void touchedOutside(NSObject* view) { touchedBy = view; }
    NSObject* touchedBy = nullptr;
};

Class OutsideListener::staticClass()
{
    static Class cls = ClassBuilder<OutsideListener>("PopoverTestsOutsideListener", &OBJC_CLASS_NSObject)
                           .method<&OutsideListener::touchedOutside>("popoverBackgroundViewDidTouchOutside:")
                           .build();
    return cls;
}

// A root view with a button-like view in it, and an overlay over both.
struct OverlayScene {
    OverlayScene()
        : root(UIView::create(CGRectMake(0, 0, 320, 480)))
        , button(UIView::create(CGRectMake(20, 20, 100, 40)))
        , label(UIView::create(CGRectMake(5, 5, 30, 10)))
        , overlay(QLZPopoverOverlayView::create(CGRectMake(0, 0, 320, 480)))
    {
        root->addSubview(button.ptr());
        button->addSubview(label.ptr());
        root->addSubview(overlay.ptr());
    }
    UIView* hit(CGPoint point) { return objc_msgSend<UIView*>(root.ptr(), "hitTest:withEvent:"_sel, point, nullptr); }

    Ref<UIView> root;
    Ref<UIView> button;
    Ref<UIView> label;
    Ref<QLZPopoverOverlayView> overlay;
};

} // namespace

TEST(PopoverOverlay, KeepsTouchesOutsideExceptOnPassthroughViews)
{
    AutoreleasePool pool;
    OverlayScene scene;
    Ref<OverlayListener> listener = adoptObject(new OverlayListener);
    scene.overlay->setDelegate(listener.ptr());

    // No passthrough views: every touch stays with the overlay.
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.overlay.ptr());
    EXPECT_EQ(scene.hit(CGPointMake(300, 400)), scene.overlay.ptr());
    scene.overlay->setPassthroughViews(NSArray::create().ptr());
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.overlay.ptr());

    // A passthrough view, and anything inside it, gets its touches; the
    // delegate hears of each hit test after the touch handling.
    scene.overlay->setPassthroughViews(NSArray::arrayWithObjects({ scene.button.ptr() }).ptr());
    EXPECT_TRUE(scene.overlay->isPassthroughView(scene.label.ptr()));
    EXPECT_FALSE(scene.overlay->isPassthroughView(scene.root.ptr()));
    EXPECT_FALSE(scene.overlay->isPassthroughView(nullptr));
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
    EXPECT_EQ(scene.hit(CGPointMake(27, 27)), scene.label.ptr());
    EXPECT_EQ(scene.hit(CGPointMake(300, 400)), scene.overlay.ptr());
    EXPECT_EQ(listener->touches, 0);
    RunLoop::main().runPending();
    EXPECT_EQ(listener->touches, 2);
    EXPECT_EQ(listener->lastOverlay, scene.overlay.ptr());

    // Not counted as outside: the view still gets it, nobody is told.
    listener->dismisses = NO;
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
    RunLoop::main().runPending();
    EXPECT_EQ(listener->touches, 2);

    // Told is whoever is the delegate when the report runs.
    listener->dismisses = YES;
    Ref<OverlayListener> later = adoptObject(new OverlayListener);
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
    scene.overlay->setDelegate(later.ptr());
    RunLoop::main().runPending();
    EXPECT_EQ(listener->touches, 2);
    EXPECT_EQ(later->touches, 1);

    // A delegate without the report method is not sent it; one that does
    // not answer the question is not asked it either.
    Ref<QuietListener> quiet = adoptObject(new QuietListener);
    scene.overlay->setDelegate(quiet.ptr());
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
    RunLoop::main().runPending();
    Ref<NSObject> stranger = adoptRef(*objc_msgSend<id>(reinterpret_cast<id>(&OBJC_CLASS_NSObject), "new"_sel));
    scene.overlay->setDelegate(stranger.ptr());
    EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
    RunLoop::main().runPending();
}

TEST(PopoverOverlay, QueuedReportKeepsTheOverlayAlive)
{
    AutoreleasePool pool;
    Ref<OverlayListener> listener = adoptObject(new OverlayListener);
    {
        OverlayScene scene;
        scene.overlay->setDelegate(listener.ptr());
        scene.overlay->setPassthroughViews(NSArray::arrayWithObjects({ scene.button.ptr() }).ptr());
        EXPECT_EQ(scene.hit(CGPointMake(100, 50)), scene.button.ptr());
        scene.overlay->removeFromSuperview();
    }
    RunLoop::main().runPending();
    EXPECT_EQ(listener->touches, 1);
}

TEST(PopoverOverlay, DrawsNothingAndNamesItsGesture)
{
    AutoreleasePool pool;
    auto overlay = QLZPopoverOverlayView::create(CGRectMake(0, 0, 100, 100));
    auto context = graphics::RecordingContext::create({ 100, 100 });
    UIGraphicsPushContext(context.ptr());
    objc_msgSend<void>(overlay.ptr(), "drawRect:"_sel, CGRectMake(0, 0, 100, 100));
    UIGraphicsPopContext();
    EXPECT_TRUE(context->operations().empty());

    objc_msgSend<void>(overlay.ptr(), "accessibilityElementDidBecomeFocused"_sel);
    EXPECT_EQ(overlay->accessibilityLabel()->string(), "Double-tap to dismiss pop-up window.");
    NSBundle::mainBundle()->setLocalizedStrings("Localizable"_ns,
        NSDictionary::create({ { Ref<Object>(*"Double-tap to dismiss pop-up window."_ns), Ref<Object>(*"Toucher deux fois"_ns) } }).ptr());
    overlay->accessibilityElementDidBecomeFocused();
    EXPECT_EQ(overlay->accessibilityLabel()->string(), "Toucher deux fois");
    NSBundle::mainBundle()->setLocalizedStrings("Localizable"_ns, nullptr);
}

TEST(PopoverBackgroundView, ConstructionAndSizing)
{
    AutoreleasePool pool;
    id made = objc_msgSend<id>(objc_msgSend<id>(QLZPopoverBackgroundView::staticClass(), "alloc"_sel), "initWithContentSize:"_sel,
        CGSizeMake(220, 100));
    Ref<QLZPopoverBackgroundView> view = adoptRef(*static_cast<QLZPopoverBackgroundView*>(made));
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 220, 100));
    EXPECT_EQ(view->contentSize(), CGSizeMake(220, 100));
    EXPECT_FALSE(view->autoresizesSubviews());
    EXPECT_EQ(view->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(view->arrowDirection(), QLZPopoverArrowDirectionDown);
    EXPECT_EQ(view->arrowOffset(), 0.0f);
    CALayer* layer = view->layer();
    EXPECT_EQ(layer->name()->string(), "parent");
    EXPECT_TRUE(layer->drawsAsynchronously());
    EXPECT_EQ(layer->contentsScale(), UIScreen::mainScreen()->scale());
    EXPECT_EQ(layer->delegate(), view.ptr());
    EXPECT_EQ(view->outerShadowInsets(), UIEdgeInsetsZero);

    view->setArrowHeight(13);
    view->setArrowBase(25);
    view->setOuterCornerRadius(5);
    objc_msgSend<void>(view.ptr(), "sizeToFit"_sel);
    EXPECT_EQ(view->bounds(), CGRectMake(0, 0, 220, 113));
    EXPECT_EQ(objc_msgSend<CGRect>(view.ptr(), "outerRect"_sel), CGRectMake(0, 0, 220, 100));
    EXPECT_EQ(objc_msgSend<CGRect>(view.ptr(), "arrowRect"_sel), CGRectMake(97.5, 100, 25, 13));
    EXPECT_EQ(objc_msgSend<CGRect>(view.ptr(), "innerRect:arrowDirection:"_sel, CGRectMake(0, 0, 220, 113), QLZPopoverArrowDirectionUp),
        CGRectMake(0, 13, 220, 100));
    // The offset is clamped within the current bounds.
    objc_msgSend<void>(view.ptr(), "setArrowOffset:"_sel, 150.0f);
    EXPECT_EQ(objc_msgSend<float>(view.ptr(), "arrowOffset"_sel), 97.0f);
}

TEST(PopoverBackgroundView, ContentInsideTheBorderWithTheInnerViewAbove)
{
    AutoreleasePool pool;
    auto view = QLZPopoverBackgroundView::create(CGSizeMake(200, 100));
    view->setBorderWidth(2);
    view->setOuterShadowBlurRadius(3);
    view->setFillTopColor(UIColor::redColor());
    view->setInnerStrokeColor(UIColor::whiteColor());
    view->setInnerCornerRadius(4);
    view->setArrowHeight(13);
    view->sizeToFit();
    EXPECT_EQ(view->bounds().size, CGSizeMake(210, 123));

    Ref<UIViewController> content = contentController(CGSizeMake(200, 100));
    view->layer()->clearNeedsDisplay();
    objc_msgSend<void>(view.ptr(), "setViewController:"_sel, content.ptr());
    EXPECT_TRUE(view->layer()->needsDisplay());
    EXPECT_EQ(view->contentView(), content->view());
    EXPECT_EQ(view->navigationBarHeight(), 0.0f);
    // Inside margin 3 and border 2, grown by one under the border.
    EXPECT_EQ(content->view()->frame(), CGRectMake(4, 4, 202, 102));
    QLZPopoverBackgroundInnerView* inner = view->innerView();
    ASSERT_TRUE(inner);
    EXPECT_EQ(view->subviews().back().ptr(), inner);
    EXPECT_EQ(inner->frame(), content->view()->frame());
    EXPECT_FALSE(inner->isUserInteractionEnabled());
    EXPECT_EQ(inner->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(inner->gradientTopColor(), UIColor::redColor());
    EXPECT_EQ(inner->innerStrokeColor(), UIColor::whiteColor());
    EXPECT_EQ(inner->innerCornerRadius(), 4.0f);
    EXPECT_EQ(inner->borderWidth(), 2.0f);
    EXPECT_EQ(inner->gradientHeight(), 123.0f - 6);
    EXPECT_EQ(inner->gradientTopPosition(), 4.0f);

    // Later changes reach the inner view on the next redisplay.
    view->setInnerStrokeColor(UIColor::blueColor());
    EXPECT_EQ(inner->innerStrokeColor(), UIColor::whiteColor());
    objc_msgSend<void>(view.ptr(), "setNeedsDisplay"_sel);
    EXPECT_EQ(inner->innerStrokeColor(), UIColor::blueColor());
    EXPECT_TRUE(inner->needsDisplay());

    // A navigation controller's shown bar takes the top border's place; a
    // hidden one does not.
    Ref<UINavigationController> navigation = UINavigationController::create(content.ptr());
    view->setViewController(navigation.ptr());
    EXPECT_EQ(view->navigationBarHeight(), 44.0f);
    EXPECT_EQ(navigation->view()->frame(), CGRectMake(4, 2, 202, 104));
    EXPECT_EQ(inner->navigationBarHeight(), 44.0f);
    EXPECT_EQ(view->innerView(), inner);
    EXPECT_EQ(view->subviews().back().ptr(), inner);
    navigation->setNavigationBarHidden(YES);
    view->setViewController(navigation.ptr());
    EXPECT_EQ(view->navigationBarHeight(), 0.0f);
    EXPECT_EQ(navigation->view()->frame(), CGRectMake(4, 4, 202, 102));
}

TEST(PopoverBackgroundView, DrawsOnlyItsNamedLayerAndForwardsTaps)
{
    AutoreleasePool pool;
    auto view = QLZPopoverBackgroundView::create(CGSizeMake(220, 100));
    view->setArrowHeight(13);
    view->setArrowBase(25);
    view->setFillTopColor(UIColor::grayColor());
    view->sizeToFit();
    auto context = graphics::RecordingContext::create({ 220, 113 });
    objc_msgSend<void>(view.ptr(), "drawLayer:inContext:"_sel, view->layer(), context.ptr());
    EXPECT_FALSE(context->operations().empty());
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);

    context->clear();
    view->layer()->setName("other"_ns);
    view->drawLayer(view->layer(), context.ptr());
    EXPECT_TRUE(context->operations().empty());

    // Taps go to the delegate, when there is one that listens.
    objc_msgSend<void>(view.ptr(), "tapOut"_sel);
    Ref<NSObject> stranger = adoptRef(*objc_msgSend<id>(reinterpret_cast<id>(&OBJC_CLASS_NSObject), "new"_sel));
    view->setDelegate(stranger.ptr());
    view->tapOut();
    Ref<OutsideListener> listener = adoptObject(new OutsideListener);
    view->setDelegate(listener.ptr());
    view->tapOut();
    EXPECT_EQ(listener->touchedBy, view.ptr());
}
