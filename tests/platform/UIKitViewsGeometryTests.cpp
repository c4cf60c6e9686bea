// Views: geometry, coordinate conversion, the view tree and hit testing.
#include "foundation/NSException.h"
#include "support/Precision.h"
#include "uikit/CALayer.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

void expectRectNear(CGRect actual, CGRect expected)
{
    EXPECT_CGFLOAT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_CGFLOAT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_CGFLOAT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_CGFLOAT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

void expectPointNear(CGPoint actual, CGPoint expected)
{
    EXPECT_CGFLOAT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_CGFLOAT_NEAR(actual.y, expected.y, 1e-9);
}

// A view whose touch area reaches 20 points beyond its bounds, as camera
// buttons make theirs.
class GenerousView : public UIView {
    OBJC_CLASS(GenerousView)
public:
    static Ref<GenerousView> create(CGRect frame)
    {
        auto view = adoptObject(new GenerousView);
        view->initWithFrame(frame);
        return view;
    }
    BOOL pointInside(CGPoint point, UIEvent*) override { return CGRectContainsPoint(CGRectInset(bounds(), -20, -20), point); }

    int windowMoves = 0;
    void didMoveToWindow() override { ++windowMoves; }
    int tintChanges = 0;
    void tintColorDidChange() override { ++tintChanges; }
};

Class GenerousView::staticClass()
{
    static Class cls = ClassBuilder<GenerousView>("TestGenerousView", UIView::staticClass()).build();
    return cls;
}

std::vector<UIView*> order(UIView* parent)
{
    std::vector<UIView*> views;
    for (auto& subview : parent->subviews())
        views.push_back(subview.ptr());
    return views;
}

} // namespace

TEST(UIKitViewsGeometry, FrameFollowsCentreBoundsAndTransform)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    // The torch button: a control shrunk to half size keeps its bounds and
    // centre; its frame is the bounding box of the scaled bounds.
    auto button = UIView::create(CGRectMake(10, 20, 100, 40));
    button->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    expectRectNear(button->frame(), CGRectMake(35, 30, 50, 20));
    EXPECT_EQ(button->bounds(), CGRectMake(0, 0, 100, 40));
    EXPECT_EQ(button->center(), CGPointMake(60, 40));

    // Setting a frame on the scaled view: the centre goes to the middle and
    // the bounds grow so that the scaled bounds fill the frame.
    button->setFrame(CGRectMake(0, 0, 40, 40));
    expectRectNear(button->bounds(), CGRectMake(0, 0, 80, 80));
    expectPointNear(button->center(), CGPointMake(20, 20));
    expectRectNear(button->frame(), CGRectMake(0, 0, 40, 40));

    // A quarter turn exchanges the frame's width and height.
    auto rotated = UIView::create(CGRectMake(50, 75, 100, 50));
    rotated->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    expectRectNear(rotated->frame(), CGRectMake(75, 50, 50, 100));
    rotated->setFrame(CGRectMake(0, 0, 30, 60));
    expectRectNear(rotated->bounds(), CGRectMake(0, 0, 60, 30));
    expectRectNear(rotated->frame(), CGRectMake(0, 0, 30, 60));

    // At 45 degrees the size is not unique: the proportions are kept.
    auto diagonal = UIView::create(CGRectMake(0, 0, 20, 10));
    diagonal->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 4));
    diagonal->setFrame(CGRectMake(0, 0, 60, 60));
    EXPECT_CGFLOAT_NEAR(diagonal->bounds().size.width / diagonal->bounds().size.height, 2, 1e-9);
    expectRectNear(diagonal->frame(), CGRectMake(0, 0, 60, 60));

    // A translation moves the frame; setting the frame reads back.
    auto moved = UIView::create(CGRectMake(0, 0, 10, 10));
    moved->setTransform(CGAffineTransformMakeTranslation(5, 7));
    expectRectNear(moved->frame(), CGRectMake(5, 7, 10, 10));
    moved->setFrame(CGRectMake(100, 100, 10, 10));
    expectRectNear(moved->frame(), CGRectMake(100, 100, 10, 10));
    expectPointNear(moved->center(), CGPointMake(100, 98));

    // The bounds origin does not move the view itself; negative frames are
    // standardised.
    moved->setTransform(CGAffineTransformIdentity);
    moved->setBounds(CGRectMake(30, 40, 10, 10));
    expectRectNear(moved->frame(), CGRectMake(95, 93, 10, 10));
    moved->setFrame(CGRectMake(10, 10, -4, -6));
    expectRectNear(moved->frame(), CGRectMake(6, 4, 4, 6));
}

TEST(UIKitViewsGeometry, LayerSharesTheViewsGeometryAndFlags)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = UIView::create(CGRectMake(10, 10, 40, 20));
    CALayer* layer = view->layer();
    EXPECT_EQ(layer->delegate(), view.ptr());
    EXPECT_EQ(layer->frame(), view->frame());
    EXPECT_EQ(layer->position(), CGPointMake(30, 20));
    layer->setBounds(CGRectMake(0, 0, 80, 20));
    EXPECT_EQ(view->frame(), CGRectMake(-10, 10, 80, 20));

    view->setClipsToBounds(YES);
    EXPECT_TRUE(layer->masksToBounds());
    EXPECT_TRUE(objc_msgSend<BOOL>(view.ptr(), "clipsToBounds"_sel));

    EXPECT_FALSE(layer->needsDisplay());
    objc_msgSend(view.ptr(), "setNeedsDisplay"_sel);
    EXPECT_TRUE(view->needsDisplay());
    EXPECT_TRUE(layer->needsDisplay());

    auto outer = objc_msgSend<CALayer*>(view.ptr(), "layer"_sel);
    objc_msgSend(outer, "setBorderWidth:"_sel, CGFloat(3));
    EXPECT_EQ(layer->borderWidth(), 3.0);
    EXPECT_EQ(CGColorGetAlpha(layer->borderColor()), 1.0);

    view->setHidden(YES);
    view->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    std::string text = objc_msgSend<NSString*>(view.ptr(), "description"_sel)->string();
    EXPECT_EQ(text.rfind("<UIView: 0x", 0), 0u) << text;
    EXPECT_NE(text.find("; frame = (10 15; 40 10); transform = [0.5, 0, 0, 0.5, 0, 0]; hidden = YES>"), std::string::npos) << text;
}

TEST(UIKitViewsGeometry, ConversionsPassThroughEveryTransform)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    auto parent = UIView::create(CGRectMake(50, 50, 200, 100));
    window->addSubview(parent);
    auto child = UIView::create(CGRectMake(80, 40, 40, 20));
    child->setTransform(CGAffineTransformMakeScale(2, 2));
    parent->addSubview(child);

    // The child's origin is 20 x 10 points left of and above its centre,
    // doubled by the scale.
    expectPointNear(child->convertPointToView(CGPointZero, parent.ptr()), CGPointMake(60, 30));
    expectPointNear(child->convertPointToView(CGPointZero, nullptr), CGPointMake(110, 80));
    expectPointNear(child->convertPointFromView(CGPointMake(110, 80), nullptr), CGPointZero);
    expectRectNear(child->convertRectToView(child->bounds(), parent.ptr()), CGRectMake(60, 30, 80, 40));
    expectRectNear(child->convertRectToView(child->bounds(), nullptr), CGRectMake(110, 80, 80, 40));

    // A bounds origin scrolls the contents.
    parent->setBounds(CGRectMake(10, 0, 200, 100));
    expectPointNear(child->convertPointToView(CGPointZero, window.ptr()), CGPointMake(100, 80));

    // A quarter turn: the child's top-right corner.
    parent->setBounds(CGRectMake(0, 0, 200, 100));
    child->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
    expectPointNear(child->convertPointToView(CGPointMake(40, 0), parent.ptr()), CGPointMake(110, 70));
    expectPointNear(parent->convertPointToView(CGPointMake(110, 70), child.ptr()), CGPointMake(40, 0));
    expectRectNear(child->convertRectToView(child->bounds(), parent.ptr()), child->frame());

    // Between cousins, and by runtime message.
    auto cousin = UIView::create(CGRectMake(0, 200, 10, 10));
    window->addSubview(cousin);
    CGPoint inCousin = objc_msgSend<CGPoint>(child.ptr(), "convertPoint:toView:"_sel, CGPointMake(40, 0), cousin.ptr());
    expectPointNear(inCousin, CGPointMake(160, -80));
    CGRect back = objc_msgSend<CGRect>(cousin.ptr(), "convertRect:toView:"_sel, CGRectMake(0, 0, 10, 10), child.ptr());
    expectRectNear(child->convertRectToView(back, cousin.ptr()), CGRectMake(0, 0, 10, 10));

    // Outside any window, nil means the root of the tree.
    auto root = UIView::create(CGRectMake(100, 100, 50, 50));
    auto leaf = UIView::create(CGRectMake(5, 5, 10, 10));
    root->addSubview(leaf);
    expectPointNear(leaf->convertPointToView(CGPointZero, nullptr), CGPointMake(5, 5));
}

TEST(UIKitViewsGeometry, HitTestingFollowsTheRules)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    window->makeKeyAndVisible();
    auto back = UIView::create(CGRectMake(0, 0, 100, 100));
    auto front = UIView::create(CGRectMake(50, 50, 100, 100));
    window->addSubview(back);
    window->addSubview(front);

    auto hit = [&](CGFloat x, CGFloat y) { return objc_msgSend<UIView*>(window.ptr(), "hitTest:withEvent:"_sel, CGPointMake(x, y), nullptr); };
    EXPECT_EQ(hit(75, 75), front.ptr()); // front-most first
    EXPECT_EQ(hit(25, 25), back.ptr());
    EXPECT_EQ(hit(300, 400), window.ptr());
    EXPECT_EQ(hit(-1, 10), nullptr); // outside the window

    front->setHidden(YES);
    EXPECT_EQ(hit(75, 75), back.ptr());
    front->setHidden(NO);
    front->setAlpha(0.005);
    EXPECT_EQ(hit(75, 75), back.ptr());
    front->setAlpha(0.01);
    EXPECT_EQ(hit(75, 75), front.ptr());
    front->setUserInteractionEnabled(NO);
    EXPECT_EQ(hit(75, 75), back.ptr());
    front->setUserInteractionEnabled(YES);

    // A subview sticking out of its superview is not reached outside it.
    auto overhang = UIView::create(CGRectMake(80, 80, 50, 50));
    back->addSubview(overhang);
    EXPECT_EQ(hit(20, 120), window.ptr());
    EXPECT_EQ(hit(95, 95), front.ptr());
    front->removeFromSuperview();
    EXPECT_EQ(hit(95, 95), overhang.ptr());

    // A scaled view is hit where it is drawn, and a C++ override of
    // pointInside: is honoured by the runtime hit test.
    auto button = GenerousView::create(CGRectMake(200, 200, 40, 40));
    button->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    window->addSubview(button);
    EXPECT_EQ(hit(211, 211), button.ptr()); // inside the drawn 20 x 20 square
    EXPECT_EQ(hit(205, 220), button.ptr()); // outside it, inside the generous area
    EXPECT_EQ(hit(195, 220), window.ptr()); // 25 points out, 50 in bounds units

    // A hidden window takes no touches.
    window->setHidden(YES);
    EXPECT_EQ(hit(25, 25), nullptr);
}

TEST(UIKitViewsGeometry, RuntimeOverridesOfHitTestAreSeenByTheSuperview)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    Class transparent = objc_allocateClassPair(UIView::staticClass(), "TestTransparentView", nullptr);
    class_addTypedMethod(
        transparent, "hitTest:withEvent:"_sel, +[](id, SEL, CGPoint, id) -> id { return nullptr; });
    objc_registerClassPair(transparent);

    auto parent = UIView::create(CGRectMake(0, 0, 100, 100));
    auto below = UIView::create(CGRectMake(0, 0, 100, 100));
    auto glass = adoptRef(*static_cast<UIView*>(class_createInstance(transparent)));
    glass->initWithFrame(CGRectMake(0, 0, 100, 100));
    parent->addSubview(below);
    parent->addSubview(glass);
    EXPECT_EQ(parent->hitTest(CGPointMake(50, 50), nullptr), below.ptr());
}

TEST(UIKitViewsGeometry, AutoresizingMasks)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto parent = UIView::create(CGRectMake(0, 0, 100, 100));
    auto both = UIView::create(CGRectMake(10, 20, 30, 40));
    both->setAutoresizingMask(18); // flexible width and height
    auto margins = UIView::create(CGRectMake(10, 20, 30, 40));
    margins->setAutoresizingMask(42); // flexible width, top and bottom margins
    auto fixed = UIView::create(CGRectMake(10, 20, 30, 40));
    auto constrained = UIView::create(CGRectMake(10, 20, 30, 40));
    constrained->setAutoresizingMask(18);
    constrained->setTranslatesAutoresizingMaskIntoConstraints(NO);
    for (UIView* view : { both.ptr(), margins.ptr(), fixed.ptr(), constrained.ptr() })
        parent->addSubview(view);

    parent->setFrame(CGRectMake(0, 0, 200, 150));
    expectRectNear(both->frame(), CGRectMake(10, 20, 130, 90));
    // The top and bottom margins (20 and 40) share the 50 points in
    // proportion.
    expectRectNear(margins->frame(), CGRectMake(10, 20 + 50.0 / 3, 130, 40));
    expectRectNear(fixed->frame(), CGRectMake(10, 20, 30, 40));
    expectRectNear(constrained->frame(), CGRectMake(10, 20, 30, 40));
    EXPECT_TRUE(parent->needsLayout());

    // Moving without resizing changes nothing; switching autoresizing off
    // stops it.
    parent->setCenter(CGPointMake(500, 500));
    expectRectNear(both->frame(), CGRectMake(10, 20, 130, 90));
    parent->setAutoresizesSubviews(NO);
    parent->setBounds(CGRectMake(0, 0, 100, 100));
    expectRectNear(both->frame(), CGRectMake(10, 20, 130, 90));
}

TEST(UIKitViewsGeometry, InsertionOrder)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto parent = UIView::create();
    auto a = UIView::create();
    auto b = UIView::create();
    auto c = UIView::create();
    auto d = UIView::create();
    auto stranger = UIView::create();
    parent->addSubview(a);
    parent->addSubview(b);

    parent->insertSubviewAboveSubview(c, a);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { a.ptr(), c.ptr(), b.ptr() }));
    // A sibling that is not a subview, or the view itself: on top.
    parent->insertSubviewAboveSubview(d, stranger);
    EXPECT_EQ(order(parent).back(), d.ptr());
    parent->insertSubviewAboveSubview(a, a);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { c.ptr(), b.ptr(), d.ptr(), a.ptr() }));
    parent->insertSubviewBelowSubview(a, c);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { a.ptr(), c.ptr(), b.ptr(), d.ptr() }));
    // Moving a subview down past its own place, and up.
    parent->insertSubviewAboveSubview(a, b);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { c.ptr(), b.ptr(), a.ptr(), d.ptr() }));
    parent->insertSubviewAtIndex(d, 0);
    parent->insertSubviewAtIndex(c, 99);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { d.ptr(), b.ptr(), a.ptr(), c.ptr() }));
    parent->bringSubviewToFront(b);
    parent->sendSubviewToBack(a);
    EXPECT_EQ(order(parent), (std::vector<UIView*> { a.ptr(), d.ptr(), c.ptr(), b.ptr() }));
    parent->bringSubviewToFront(stranger); // not a subview: nothing
    EXPECT_EQ(order(parent).size(), 4u);

    // The runtime's view of the tree.
    auto subviews = objc_msgSend<NSArray*>(parent.ptr(), "subviews"_sel);
    ASSERT_EQ(subviews->count(), 4u);
    EXPECT_EQ(subviews->objectAtIndex(3), b.ptr());
    EXPECT_EQ(objc_msgSend<UIView*>(b.ptr(), "superview"_sel), parent.ptr());

    // Adding to another parent takes the view out of the first.
    auto other = UIView::create();
    other->addSubview(b);
    EXPECT_EQ(order(parent).size(), 3u);
    EXPECT_EQ(b->superview(), other.ptr());
    EXPECT_TRUE(b->isDescendantOfView(other));
    EXPECT_TRUE(b->isDescendantOfView(b));
    EXPECT_FALSE(b->isDescendantOfView(parent));

    // A view cannot contain itself or an ancestor.
    auto reason = [](const std::function<void()>& body) -> std::string {
        try {
            body();
        } catch (NSException* exception) {
            return exception->name()->string() + ": " + exception->reason()->string();
        }
        return "";
    };
    EXPECT_EQ(reason([&] { objc_msgSend(b.ptr(), "addSubview:"_sel, b.ptr()); }), "NSInvalidArgumentException: Can't add self as subview");
    b->addSubview(c);
    EXPECT_EQ(reason([&] { c->addSubview(other); }), "NSInvalidArgumentException: Can't add self as subview");
    EXPECT_EQ(c->superview(), b.ptr());
}

TEST(UIKitViewsGeometry, WindowsAndTheirViews)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    EXPECT_TRUE(window->isHidden());
    window->makeKeyAndVisible();
    EXPECT_FALSE(window->isHidden());
    EXPECT_TRUE(window->isKeyWindow());

    auto container = UIView::create();
    auto leaf = GenerousView::create(CGRectZero);
    container->addSubview(leaf);
    EXPECT_EQ(leaf->window(), nullptr);
    window->addSubview(container);
    EXPECT_EQ(objc_msgSend<UIWindow*>(leaf.ptr(), "window"_sel), window.ptr());
    EXPECT_EQ(window->window(), window.ptr());
    EXPECT_EQ(leaf->windowMoves, 1);
    container->removeFromSuperview();
    EXPECT_EQ(leaf->window(), nullptr);
    EXPECT_EQ(leaf->windowMoves, 2);

    // Dimming the window's subviews dims their descendants.
    window->addSubview(container);
    leaf->tintChanges = 0;
    objc_msgSend(container.ptr(), "setTintAdjustmentMode:"_sel, NSInteger(2));
    EXPECT_EQ(leaf->tintChanges, 1);
    EXPECT_EQ(objc_msgSend<NSInteger>(leaf.ptr(), "tintAdjustmentMode"_sel), 2);
    CGFloat white = -1, alpha = -1;
    EXPECT_TRUE(leaf->tintColor()->getWhite(&white, &alpha));
    objc_msgSend(container.ptr(), "setTintAdjustmentMode:"_sel, NSInteger(0));
    EXPECT_EQ(leaf->tintAdjustmentMode(), 1);
    CGFloat red, green, blue;
    EXPECT_TRUE(leaf->tintColor()->getRed(&red, &green, &blue, &alpha));
    EXPECT_EQ(blue, 1.0);
    EXPECT_TRUE(objc_respondsToSelector(window.ptr(), "setTintAdjustmentMode:"_sel));
}
