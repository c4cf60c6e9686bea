// Constraints, the display cycle, appearance proxies, the application and
// the screen.
#include "dispatch/RunLoop.h"
#include "foundation/NSException.h"
#include "foundation/NSValue.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIControl.h"
#include "uikit/UIKitSimulator.h"

#include <gtest/gtest.h>

namespace {

// A stand-in for a view controller: anything that answers `view`.
class Controller : public NSObject {
    OBJC_CLASS(Controller)
public:
    static Ref<Controller> create() { return adoptObject(new Controller); }
    UIView* view() const { return m_view.ptr(); }
    Ref<UIView> m_view = UIView::create(CGRectMake(0, 0, 10, 10));
};

Class Controller::staticClass()
{
    static Class cls = ClassBuilder<Controller>("TestController", &OBJC_CLASS_NSObject).method<&Controller::view>("view").build();
    return cls;
}

Ref<NSLayoutConstraint> make(NSObject* first, NSLayoutAttribute a1, NSLayoutRelation relation, NSObject* second, NSLayoutAttribute a2, CGFloat constant = 0)
{
    // As the modules make them: by message, with NSInteger attributes.
    AutoreleasePool pool;
    id constraint = objc_msgSend<id>(NSLayoutConstraint::staticClass(), "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"_sel,
        first, NSInteger(a1), NSInteger(relation), second, NSInteger(a2), CGFloat(1), constant);
    return Ref<NSLayoutConstraint>(*static_cast<NSLayoutConstraint*>(constraint));
}

struct TopBar {
    RefPtr<UIWindow> window;
    RefPtr<UIView> bar;
    RefPtr<UIView> flash;
    RefPtr<UIView> flip;
    RefPtr<UIButton> button;

    TopBar()
    {
        window = UIWindow::create(CGRectMake(0, 0, 375, 667));
        window->makeKeyAndVisible();
        bar = UIView::create(CGRectMake(0, 20, 375, 44));
        flash = UIView::create(CGRectMake(0, 0, 44, 44));
        flip = UIView::create(CGRectMake(331, 0, 44, 44));
        window->addSubview(bar);
        bar->addSubview(flash);
        bar->addSubview(flip);
        // The torch button: 60 x 60, shown at half size.
        button = UIButton::create(CGRectMake(0, 0, 60, 60));
        button->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
        objc_msgSend(button.get(), "setTranslatesAutoresizingMaskIntoConstraints:"_sel, NO);
        bar->insertSubviewAboveSubview(button.get(), flash.get());
    }
};

} // namespace

TEST(UIKitViewsLayout, ResolverPlacesTheTorchButton)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    RunLoop::main().runFor(1);
    {
        TopBar top;
        auto constraints = NSArray::arrayWithObjects({
            make(top.button.get(), NSLayoutAttributeRight, NSLayoutRelationLessThanOrEqual, top.flip.get(), NSLayoutAttributeLeft).ptr(),
            make(top.button.get(), NSLayoutAttributeCenterY, NSLayoutRelationEqual, top.bar.get(), NSLayoutAttributeCenterY).ptr(),
        });
        objc_msgSend(top.bar.get(), "addConstraints:"_sel, constraints.ptr());
        EXPECT_EQ(top.bar->constraints().size(), 2u);

        // The main queue's turn lays the window out.
        RunLoop::main().runPending();
        EXPECT_EQ(top.button->frame(), CGRectMake(301, 7, 30, 30));
        EXPECT_EQ(top.button->bounds().size, CGSizeMake(60, 60));

        // The simulator can hit it where it is drawn.
        EXPECT_EQ(UIKitSimulator::tapView(top.button.get()), top.button.get());
        EXPECT_EQ(UIKitSimulator::tap(top.window.get(), CGPointMake(316, 42)), top.button.get());

        // A sibling that moves takes the button along at the next layout.
        top.flip->setCenter(CGPointMake(300, 22));
        UIKitSimulator::layoutWindows();
        EXPECT_EQ(CGRectGetMaxX(top.button->frame()), 278);
    }
    {
        TopBar top;
        top.bar->addConstraint(make(top.button.get(), NSLayoutAttributeLeft, NSLayoutRelationLessThanOrEqual, top.flash.get(), NSLayoutAttributeRight));
        top.bar->addConstraint(make(top.button.get(), NSLayoutAttributeCenterY, NSLayoutRelationEqual, top.bar.get(), NSLayoutAttributeCenterY, 2));
        top.bar->layoutIfNeeded();
        EXPECT_EQ(top.button->frame(), CGRectMake(44, 9, 30, 30));

        // Views that translate their autoresizing mask are left alone.
        top.button->setTranslatesAutoresizingMaskIntoConstraints(YES);
        top.button->setCenter(CGPointMake(100, 100));
        top.bar->layoutIfNeeded();
        EXPECT_EQ(top.button->center(), CGPointMake(100, 100));
    }
}

TEST(UIKitViewsLayout, ConstraintsStayInsideTheirViewsSubtree)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    TopBar top;
    auto stranger = UIView::create();
    auto outside = make(top.button.get(), NSLayoutAttributeLeft, NSLayoutRelationEqual, stranger.ptr(), NSLayoutAttributeLeft);
    try {
        top.bar->addConstraint(outside);
        FAIL() << "no exception";
    } catch (NSException* exception) {
        EXPECT_EQ(exception->name()->string(), "NSGenericException");
    }
    EXPECT_TRUE(top.bar->constraints().empty());

    // A constraint leaves its view when a view it names leaves the tree.
    auto beside = make(top.button.get(), NSLayoutAttributeLeft, NSLayoutRelationEqual, top.flash.get(), NSLayoutAttributeRight);
    top.bar->addConstraint(beside);
    top.flash->removeFromSuperview();
    EXPECT_TRUE(top.bar->constraints().empty());
    EXPECT_EQ(beside->holder(), nullptr);

    // Position attributes need a second item.
    EXPECT_THROW(make(top.button.get(), NSLayoutAttributeLeft, NSLayoutRelationEqual, nullptr, 0, 5), NSException*);
    EXPECT_THROW(make(top.button.get(), 11, NSLayoutRelationEqual, top.bar.get(), NSLayoutAttributeLeft), NSException*);

    // A width constraint sets the drawn width; the scale stays.
    top.bar->addConstraint(make(top.button.get(), NSLayoutAttributeWidth, NSLayoutRelationEqual, nullptr, 0, 20));
    top.bar->layoutIfNeeded();
    EXPECT_EQ(top.button->frame().size.width, 20);
    EXPECT_EQ(top.button->bounds().size.width, 40);

    // A constraint kept after its view is gone forgets the view.
    auto survivor = make(top.button.get(), NSLayoutAttributeHeight, NSLayoutRelationEqual, nullptr, 0, 20);
    {
        auto holder = UIView::create();
        holder->addConstraint(make(holder.ptr(), NSLayoutAttributeHeight, NSLayoutRelationEqual, nullptr, 0, 20));
        auto alone = UIView::create();
        auto kept = make(alone.ptr(), NSLayoutAttributeWidth, NSLayoutRelationEqual, nullptr, 0, 5);
        alone->addConstraint(kept);
        survivor = kept;
    }
    EXPECT_EQ(survivor->holder(), nullptr);
    EXPECT_EQ(survivor->firstItem(), nullptr);
    survivor->setConstant(8);
}

TEST(UIKitViewsLayout, AppearanceProxiesKeepValuesPerClass)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    Class custom = objc_allocateClassPair(UIView::staticClass(), "TestAppearanceView", nullptr);
    objc_registerClassPair(custom);
    auto* proxy = objc_msgSend<UIAppearance*>(custom, "appearance"_sel);
    ASSERT_TRUE(proxy);
    EXPECT_EQ(objc_msgSend<UIAppearance*>(custom, "appearance"_sel), proxy);
    EXPECT_NE(objc_msgSend<UIAppearance*>(UIView::staticClass(), "appearance"_sel), proxy);
    EXPECT_EQ(proxy->appearanceClass(), custom);

    proxy->setObject("tintColor", UIColor::redColor());
    proxy->setUnsignedInteger("arrowHeight", 13);
    proxy->setSize("outerShadowOffset", CGSizeMake(2, 3));
    proxy->setEdgeInsets("viewContentInsets", UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(proxy->object("tintColor"), UIColor::redColor());
    EXPECT_EQ(proxy->unsignedIntegerValue("arrowHeight"), 13u);
    EXPECT_EQ(proxy->sizeValue("outerShadowOffset"), CGSizeMake(2, 3));
    EXPECT_EQ(proxy->edgeInsetsValue("viewContentInsets"), UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_FALSE(proxy->hasValue("borderWidth"));
    EXPECT_EQ(proxy->doubleValue("borderWidth"), 0);
    EXPECT_EQ(proxy->object("arrowHeight"), nullptr);

    // From the runtime: objects in, numbers out as NSNumber.
    objc_msgSend(proxy, "setValue:forKey:"_sel, NSNumber::numberWithInteger(7).ptr(), "borderWidth"_ns);
    EXPECT_EQ(proxy->unsignedIntegerValue("borderWidth"), 7u);
    auto* height = objc_msgSend<NSNumber*>(proxy, "valueForKey:"_sel, "arrowHeight"_ns);
    ASSERT_TRUE(height);
    EXPECT_EQ(height->integerValue(), 13);
    proxy->setObject("tintColor", nullptr);
    EXPECT_FALSE(proxy->hasValue("tintColor"));
    EXPECT_FALSE(UIAppearance::forClass(UIView::staticClass())->hasValue("arrowHeight"));
}

TEST(UIKitViewsLayout, ApplicationWindowsAndScreen)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    UIApplication* application = objc_msgSend<UIApplication*>(UIApplication::staticClass(), "sharedApplication"_sel);
    UIScreen* screen = objc_msgSend<UIScreen*>(UIScreen::staticClass(), "mainScreen"_sel);
    EXPECT_EQ(screen->bounds(), CGRectMake(0, 0, 375, 667));
    EXPECT_EQ(objc_msgSend<CGFloat>(screen, "scale"_sel), 2);
    EXPECT_EQ(objc_msgSend<CGRect>(application, "statusBarFrame"_sel), CGRectMake(0, 0, 375, 20));
    EXPECT_EQ(objc_msgSend<NSInteger>(application, "statusBarOrientation"_sel), 1);

    application->setStatusBarOrientation(UIInterfaceOrientationLandscapeRight);
    application->setStatusBarFrame(CGRectMake(0, 0, 20, 667));
    EXPECT_EQ(objc_msgSend<NSInteger>(application, "statusBarOrientation"_sel), 3);
    EXPECT_EQ(application->statusBarFrame(), CGRectMake(0, 0, 20, 667));
    application->setStatusBarFrame(std::nullopt);
    application->setStatusBarOrientation(UIInterfaceOrientationPortrait);

    UIKitSimulator::setScreen(CGSizeMake(320, 480), 2);
    EXPECT_EQ(application->statusBarFrame(), CGRectMake(0, 0, 320, 20));
    auto window = adoptRef(*objc_msgSend<UIWindow*>(UIWindow::staticClass(), "new"_sel));
    EXPECT_EQ(window->frame(), CGRectMake(0, 0, 320, 480));
    UIKitSimulator::setScreen(CGSizeMake(375, 667), 2);

    // The root view controller's view fills the window and follows it.
    auto controller = Controller::create();
    objc_msgSend(window.ptr(), "setRootViewController:"_sel, controller.ptr());
    EXPECT_EQ(objc_msgSend<NSObject*>(window.ptr(), "rootViewController"_sel), controller.ptr());
    EXPECT_EQ(controller->view()->superview(), window.ptr());
    EXPECT_EQ(controller->view()->frame(), CGRectMake(0, 0, 320, 480));
    window->setFrame(CGRectMake(0, 0, 480, 320));
    EXPECT_EQ(controller->view()->frame(), CGRectMake(0, 0, 480, 320));

    window->makeKeyAndVisible();
    EXPECT_EQ(objc_msgSend<UIWindow*>(application, "keyWindow"_sel), window.ptr());
    {
        AutoreleasePool pool; // the array holds the window
        auto* windows = objc_msgSend<NSArray*>(application, "windows"_sel);
        EXPECT_TRUE(windows->containsObject(window.ptr()));
    }

    // A window that goes away is no longer key nor listed.
    UIWindow* raw = window.ptr();
    window = UIWindow::create();
    EXPECT_EQ(application->keyWindow(), nullptr);
    auto list = application->windows();
    EXPECT_EQ(std::find(list.begin(), list.end(), raw), list.end());
}
