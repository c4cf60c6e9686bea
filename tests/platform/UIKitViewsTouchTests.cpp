// Touches: delivery through gesture recognizers to views, controls'
// target-action, the slider and the switch.
#include "dispatch/RunLoop.h"
#include "foundation/NSException.h"
#include "uikit/UIControl.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIKitSimulator.h"

#include <gtest/gtest.h>

namespace {

// Records the actions it receives, with what they carried.
class Receiver : public UIResponder {
    OBJC_CLASS(Receiver)
public:
    static Ref<Receiver> create() { return adoptObject(new Receiver); }

    void bare() { log.push_back("bare"); }
    void withSender(NSObject* sender)
    {
        log.push_back("sender");
        lastSender = sender;
    }
    void withSenderAndEvent(NSObject* sender, UIEvent* event)
    {
        log.push_back(event ? "sender+event" : "sender+nil");
        lastSender = sender;
    }
    void down() { log.push_back("down"); }
    void upInside() { log.push_back("up-inside"); }
    void upOutside() { log.push_back("up-outside"); }
    void dragEnter() { log.push_back("enter"); }
    void dragExit() { log.push_back("exit"); }
    void dragInside() { log.push_back("drag-inside"); }
    void dragOutside() { log.push_back("drag-outside"); }
    void cancel() { log.push_back("cancel"); }
    void changed() { log.push_back("changed"); }
    void repeat() { log.push_back("repeat"); }
    void tapped(UIGestureRecognizer* recognizer)
    {
        log.push_back("tap");
        lastSender = recognizer;
    }

    std::vector<std::string> log;
    NSObject* lastSender = nullptr;
};

Class Receiver::staticClass()
{
    static Class cls = ClassBuilder<Receiver>("TestReceiver", UIResponder::staticClass())
                           .method<&Receiver::bare>("bare")
                           .method<&Receiver::withSender>("withSender:")
                           .method<&Receiver::withSenderAndEvent>("withSender:event:")
                           .method<&Receiver::down>("down")
                           .method<&Receiver::upInside>("upInside")
                           .method<&Receiver::upOutside>("upOutside")
                           .method<&Receiver::dragEnter>("dragEnter")
                           .method<&Receiver::dragExit>("dragExit")
                           .method<&Receiver::dragInside>("dragInside")
                           .method<&Receiver::dragOutside>("dragOutside")
                           .method<&Receiver::cancel>("cancel")
                           .method<&Receiver::changed>("changed")
                           .method<&Receiver::repeat>("repeat")
                           .method<&Receiver::tapped>("tapped:")
                           .build();
    return cls;
}

// A view that logs the touches it gets, and answers "bare" itself (for the
// responder chain).
class TouchLog : public UIView {
    OBJC_CLASS(TouchLog)
public:
    static Ref<TouchLog> create(CGRect frame)
    {
        auto view = adoptObject(new TouchLog);
        view->initWithFrame(frame);
        return view;
    }
    void touchesBegan(NSArray*, UIEvent*) override { log.push_back("began"); }
    void touchesMoved(NSArray*, UIEvent*) override { log.push_back("moved"); }
    void touchesEnded(NSArray*, UIEvent*) override { log.push_back("ended"); }
    void touchesCancelled(NSArray*, UIEvent*) override { log.push_back("cancelled"); }
    void bare() { log.push_back("bare"); }
    std::vector<std::string> log;
};

Class TouchLog::staticClass()
{
    static Class cls = ClassBuilder<TouchLog>("TestTouchLog", UIView::staticClass()).method<&TouchLog::bare>("bare").build();
    return cls;
}

// Takes a view out of its superview when told to.
class Remover : public NSObject {
    OBJC_CLASS(Remover)
public:
    static Ref<Remover> create(UIView* view)
    {
        auto remover = adoptObject(new Remover);
        remover->view = view;
        return remover;
    }
    void remove() { view->removeFromSuperview(); }
    UIView* view = nullptr;
};

Class Remover::staticClass()
{
    static Class cls = ClassBuilder<Remover>("TestRemover", &OBJC_CLASS_NSObject).method<&Remover::remove>("remove").build();
    return cls;
}

using Log = std::vector<std::string>;

class UIKitViewsTouch : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Far from any earlier tap, so that taps do not count as repeats.
        RunLoop::main().runFor(1);
        window = UIWindow::create(CGRectMake(0, 0, 320, 480));
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        UIKitSimulator::touchCancel();
        RunLoop::main().runFor(1);
    }
    // A view filling the window, with a 100-point child at (100, 100).
    std::pair<Ref<TouchLog>, Ref<TouchLog>> parentWithChild()
    {
        auto parent = TouchLog::create(CGRectMake(0, 0, 320, 480));
        auto child = TouchLog::create(CGRectMake(100, 100, 100, 100));
        window->addSubview(parent);
        parent->addSubview(child);
        return { parent, child };
    }

    RefPtr<UIWindow> window;
};

} // namespace

TEST_F(UIKitViewsTouch, ControlEventsFollowTheTouch)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto control = UIControl::create(CGRectMake(100, 100, 40, 40));
    window->addSubview(control);
    auto receiver = Receiver::create();
    control->addTarget(receiver, "down"_sel, UIControlEventTouchDown);
    control->addTarget(receiver, "upInside"_sel, UIControlEventTouchUpInside);
    control->addTarget(receiver, "upOutside"_sel, UIControlEventTouchUpOutside);
    control->addTarget(receiver, "dragEnter"_sel, UIControlEventTouchDragEnter);
    control->addTarget(receiver, "dragExit"_sel, UIControlEventTouchDragExit);
    control->addTarget(receiver, "dragInside"_sel, UIControlEventTouchDragInside);
    control->addTarget(receiver, "dragOutside"_sel, UIControlEventTouchDragOutside);
    control->addTarget(receiver, "cancel"_sel, UIControlEventTouchCancel);
    control->addTarget(receiver, "repeat"_sel, UIControlEventTouchDownRepeat);

    EXPECT_EQ(UIKitSimulator::tap(window, CGPointMake(120, 120)), control.ptr());
    EXPECT_EQ(receiver->log, (Log { "down", "up-inside" }));
    EXPECT_FALSE(control->isHighlighted());

    // Out beyond the tracking margin and back, then up outside.
    receiver->log.clear();
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(120, 120));
    EXPECT_TRUE(control->isHighlighted());
    UIKitSimulator::touchMove(CGPointMake(125, 120));
    UIKitSimulator::touchMove(CGPointMake(300, 120));
    EXPECT_FALSE(control->isHighlighted());
    UIKitSimulator::touchMove(CGPointMake(130, 120));
    UIKitSimulator::touchUp(CGPointMake(300, 400));
    EXPECT_EQ(receiver->log, (Log { "down", "drag-inside", "exit", "drag-outside", "enter", "drag-inside", "exit", "drag-outside", "up-outside" }));

    // Lifting 50 points outside the bounds still counts as inside.
    receiver->log.clear();
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(120, 120));
    UIKitSimulator::touchUp(CGPointMake(190, 120));
    EXPECT_EQ(receiver->log.back(), "up-inside");

    // A cancelled touch, and a second tap in quick succession.
    receiver->log.clear();
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(120, 120));
    UIKitSimulator::touchCancel();
    EXPECT_EQ(receiver->log, (Log { "down", "cancel" }));
    receiver->log.clear();
    UIKitSimulator::tap(window, CGPointMake(120, 120));
    RunLoop::main().runFor(0.2);
    UIKitSimulator::tap(window, CGPointMake(121, 121));
    EXPECT_EQ(receiver->log, (Log { "down", "up-inside", "down", "repeat", "up-inside" }));
}

TEST_F(UIKitViewsTouch, ActionsGetWhatTheirMethodsTake)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto parent = TouchLog::create(CGRectMake(0, 0, 320, 480));
    window->addSubview(parent);
    auto control = UIControl::create(CGRectMake(100, 100, 40, 40));
    parent->addSubview(control);
    auto receiver = Receiver::create();
    control->addTarget(receiver, "bare"_sel, UIControlEventTouchUpInside);
    control->addTarget(receiver, "withSender:"_sel, UIControlEventTouchUpInside);
    control->addTarget(receiver, "withSender:event:"_sel, UIControlEventTouchUpInside | UIControlEventValueChanged);
    control->addTarget(nullptr, "bare"_sel, UIControlEventTouchUpInside); // up the responder chain

    UIKitSimulator::tap(window, CGPointMake(110, 110));
    EXPECT_EQ(receiver->log, (Log { "bare", "sender", "sender+event" }));
    EXPECT_EQ(receiver->lastSender, control.ptr());
    EXPECT_EQ(parent->log, (Log { "bare" }));

    // Sent by hand there is no event; the masks select the actions.
    receiver->log.clear();
    objc_msgSend(control.ptr(), "sendActionsForControlEvents:"_sel, NSUInteger(UIControlEventValueChanged));
    EXPECT_EQ(receiver->log, (Log { "sender+nil" }));

    auto targets = objc_msgSend<NSArray*>(control.ptr(), "allTargets"_sel);
    ASSERT_EQ(targets->count(), 1u);
    EXPECT_EQ(targets->objectAtIndex(0), receiver.ptr());
    EXPECT_EQ(control->actionsForTarget(receiver, UIControlEventValueChanged)->count(), 1u);

    // Removing by mask leaves the other events.
    receiver->log.clear();
    control->removeTarget(receiver, "withSender:event:"_sel, UIControlEventTouchUpInside);
    control->removeTarget(receiver, nullptr, UIControlEventTouchUpInside);
    RunLoop::main().runFor(1);
    UIKitSimulator::tap(window, CGPointMake(110, 110));
    EXPECT_TRUE(receiver->log.empty());
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(receiver->log, (Log { "sender+nil" }));

    // A target that does not answer its action raises when it is sent.
    control->addTarget(parent, "missing:"_sel, UIControlEventTouchDown);
    EXPECT_THROW(control->sendActionsForControlEvents(UIControlEventTouchDown), NSException*);
}

TEST_F(UIKitViewsTouch, DisabledControlsSwallowTouchesWithoutActions)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto parent = TouchLog::create(CGRectMake(0, 0, 320, 480));
    window->addSubview(parent);
    auto control = UIButton::create(CGRectMake(100, 100, 40, 40));
    parent->addSubview(control);
    auto receiver = Receiver::create();
    control->addTarget(receiver, "upInside"_sel, UIControlEventAllTouchEvents);
    objc_msgSend(control.ptr(), "setEnabled:"_sel, NO);

    EXPECT_EQ(UIKitSimulator::tap(window, CGPointMake(110, 110)), control.ptr());
    EXPECT_TRUE(receiver->log.empty());
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(parent->log, (Log { "began", "ended" })); // passed up the chain
    EXPECT_EQ(control->state(), UIControlStateDisabled);
}

TEST_F(UIKitViewsTouch, SliderClampsAndFollowsTheThumb)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto slider = UISlider::create(CGRectMake(10, 100, 231, 31));
    window->addSubview(slider);
    slider->setValue(2);
    EXPECT_EQ(slider->value(), 1.0f);
    objc_msgSend(slider.ptr(), "setValue:"_sel, -1.0f);
    EXPECT_EQ(objc_msgSend<float>(slider.ptr(), "value"_sel), 0.0f);
    slider->setMinimumValue(0.5f);
    EXPECT_EQ(slider->value(), 0.5f);
    slider->setMaximumValue(0.25f);
    EXPECT_EQ(slider->minimumValue(), 0.25f);
    EXPECT_EQ(slider->value(), 0.25f);
    slider->setMinimumValue(0);
    slider->setMaximumValue(1);
    EXPECT_EQ(slider->sizeThatFits(CGSizeMake(100, 100)).height, 31);
    auto fresh = adoptRef(*objc_msgSend<UISlider*>(UISlider::staticClass(), "new"_sel));
    EXPECT_EQ(fresh->bounds().size.height, 31);
    // Near the thumb counts as inside, even beyond the bounds.
    EXPECT_TRUE(fresh->pointInside(CGPointMake(15, -8), nullptr));
    EXPECT_FALSE(fresh->pointInside(CGPointMake(15, -12), nullptr));

    auto receiver = Receiver::create();
    slider->addTarget(receiver, "changed"_sel, UIControlEventValueChanged);
    slider->addTarget(receiver, "down"_sel, UIControlEventTouchDown);
    slider->addTarget(receiver, "upInside"_sel, UIControlEventTouchUpInside);
    slider->setValue(0.25f);

    // The thumb travels 200 points (231 less its width).
    EXPECT_TRUE(UIKitSimulator::dragSlider(slider, 0.75f));
    EXPECT_NEAR(slider->value(), 0.75f, 1e-5);
    EXPECT_EQ(receiver->log, (Log { "down", "changed", "up-inside" }));

    // A finger dragging from the thumb along the track changes the value as
    // it goes; one that starts on the track away from the thumb does not.
    receiver->log.clear();
    RunLoop::main().runFor(1);
    CGFloat thumbX = 10 + 15.5 + 0.75 * 200;
    UIKitSimulator::touchDown(window, CGPointMake(thumbX, 115));
    UIKitSimulator::touchMove(CGPointMake(thumbX - 50, 115));
    EXPECT_NEAR(slider->value(), 0.5f, 1e-5);
    UIKitSimulator::touchMove(CGPointMake(thumbX - 500, 115));
    EXPECT_EQ(slider->value(), 0.0f);
    UIKitSimulator::touchUp(); // far outside the slider by now
    EXPECT_EQ(receiver->log, (Log { "down", "changed", "changed" }));

    receiver->log.clear();
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(200, 115));
    UIKitSimulator::touchMove(CGPointMake(230, 115));
    UIKitSimulator::touchUp();
    EXPECT_EQ(slider->value(), 0.0f);
    EXPECT_EQ(receiver->log, (Log { "down", "up-inside" }));

    // Not continuous: one value change, when the finger lifts.
    receiver->log.clear();
    slider->setContinuous(NO);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(10 + 15.5, 115));
    UIKitSimulator::touchMove(CGPointMake(60, 115));
    UIKitSimulator::touchMove(CGPointMake(90, 115));
    EXPECT_TRUE(std::find(receiver->log.begin(), receiver->log.end(), "changed") == receiver->log.end());
    UIKitSimulator::touchUp();
    EXPECT_EQ(receiver->log, (Log { "down", "changed", "up-inside" }));
}

TEST_F(UIKitViewsTouch, SwitchTogglesOnTap)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto toggle = UISwitch::create(CGRectMake(200, 200, 100, 100));
    EXPECT_EQ(toggle->frame(), CGRectMake(200, 200, 51, 31));
    window->addSubview(toggle);
    auto receiver = Receiver::create();
    toggle->addTarget(receiver, "withSender:"_sel, UIControlEventValueChanged);

    UIKitSimulator::tapView(toggle);
    EXPECT_TRUE(objc_msgSend<BOOL>(toggle.ptr(), "isOn"_sel));
    EXPECT_EQ(receiver->log, (Log { "sender" }));
    RunLoop::main().runFor(1);
    UIKitSimulator::tapView(toggle);
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(receiver->log.size(), 2u);

    // Setting the value from code sends nothing; lifting far away toggles
    // nothing.
    toggle->setOnAnimated(YES, YES);
    EXPECT_EQ(receiver->log.size(), 2u);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(210, 210));
    UIKitSimulator::touchUp(CGPointMake(10, 470));
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(receiver->log.size(), 2u);
}

TEST_F(UIKitViewsTouch, TapRecognizersAndTheViewsUnderThem)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto [parent, child] = parentWithChild();
    auto receiver = Receiver::create();
    auto recognizer = adoptRef(*objc_msgSend<UITapGestureRecognizer*>(
        objc_msgSend<id>(UITapGestureRecognizer::staticClass(), "alloc"_sel), "initWithTarget:action:"_sel, receiver.ptr(), "tapped:"_sel));
    objc_msgSend(parent.ptr(), "addGestureRecognizer:"_sel, recognizer.ptr());
    EXPECT_EQ(recognizer->view(), parent.ptr());
    EXPECT_TRUE(recognizer->cancelsTouchesInView());

    // Recognised: the action gets the recognizer; the child's touch is
    // cancelled instead of ended.
    UIKitSimulator::tap(window, CGPointMake(150, 150));
    EXPECT_EQ(receiver->log, (Log { "tap" }));
    EXPECT_EQ(receiver->lastSender, recognizer.ptr());
    EXPECT_EQ(child->log, (Log { "began", "cancelled" }));
    EXPECT_EQ(recognizer->state(), UIGestureRecognizerStatePossible); // reset for the next touch

    // Not cancelling: both the action and the ended touch.
    child->log.clear();
    receiver->log.clear();
    objc_msgSend(recognizer.ptr(), "setCancelsTouchesInView:"_sel, NO);
    RunLoop::main().runFor(1);
    UIKitSimulator::tap(window, CGPointMake(150, 150));
    EXPECT_EQ(receiver->log, (Log { "tap" }));
    EXPECT_EQ(child->log, (Log { "began", "ended" }));

    // A finger that wanders is no tap.
    child->log.clear();
    receiver->log.clear();
    recognizer->setCancelsTouchesInView(YES);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    UIKitSimulator::touchMove(CGPointMake(150, 170));
    UIKitSimulator::touchUp();
    EXPECT_TRUE(receiver->log.empty());
    EXPECT_EQ(child->log, (Log { "began", "moved", "ended" }));

    // A button keeps an ancestor's single-tap recognizer out of its taps.
    receiver->log.clear();
    auto button = UIButton::create(CGRectMake(10, 10, 30, 30));
    child->addSubview(button);
    button->addTarget(receiver, "upInside"_sel, UIControlEventTouchUpInside);
    RunLoop::main().runFor(1);
    UIKitSimulator::tap(window, CGPointMake(120, 120));
    EXPECT_EQ(receiver->log, (Log { "up-inside" }));

    // Removed, the recognizer hears nothing.
    receiver->log.clear();
    parent->removeGestureRecognizer(recognizer);
    EXPECT_EQ(recognizer->view(), nullptr);
    EXPECT_EQ(objc_msgSend<NSArray*>(parent.ptr(), "gestureRecognizers"_sel), nullptr);
    RunLoop::main().runFor(1);
    UIKitSimulator::tap(window, CGPointMake(150, 150));
    EXPECT_TRUE(receiver->log.empty());
}

TEST_F(UIKitViewsTouch, ATouchWhoseViewLeavesTheWindowLosesItsRecognizers)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto [parent, child] = parentWithChild();
    RefPtr<Receiver> receiver = Receiver::create();
    auto recognizer = UITapGestureRecognizer::create(receiver.get(), "tapped:"_sel);
    child->addGestureRecognizer(recognizer.ptr());

    // Removed under the finger: the recognizer is cancelled and let go at
    // once; the view still gets its touch to the end.
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    EXPECT_NE(recognizer->touch(), nullptr);
    child->removeFromSuperview();
    EXPECT_EQ(recognizer->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(recognizer->touch(), nullptr);
    UIKitSimulator::touchUp();
    EXPECT_TRUE(receiver->log.empty());
    EXPECT_EQ(child->log, (Log { "began", "ended" }));

    // Its target may be gone by the time the finger lifts: nothing reaches it.
    parent->addSubview(child);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    child->removeFromSuperview();
    receiver = nullptr;
    UIKitSimulator::touchUp();

    // The same when the view moves into another window, or an ancestor
    // leaves; a view leaving that the touch did not begin in changes nothing.
    receiver = Receiver::create();
    recognizer->removeTarget(nullptr, nullptr);
    recognizer->addTarget(receiver.get(), "tapped:"_sel);
    parent->addSubview(child);
    auto other = UIWindow::create(CGRectMake(0, 0, 320, 480));
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    other->addSubview(child);
    UIKitSimulator::touchUp();
    parent->addSubview(child);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    parent->removeFromSuperview();
    UIKitSimulator::touchUp();
    EXPECT_TRUE(receiver->log.empty());
    window->addSubview(parent);
    auto bystander = TouchLog::create(CGRectMake(0, 0, 10, 10));
    parent->addSubview(bystander);
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    bystander->removeFromSuperview();
    UIKitSimulator::touchUp();
    EXPECT_EQ(receiver->log, (Log { "tap" }));

    // A recognizer of an ancestor that stays in the window goes on.
    receiver->log.clear();
    child->removeGestureRecognizer(recognizer.ptr());
    parent->addGestureRecognizer(recognizer.ptr());
    RunLoop::main().runFor(1);
    UIKitSimulator::touchDown(window, CGPointMake(150, 150));
    child->removeFromSuperview();
    UIKitSimulator::touchUp();
    EXPECT_EQ(receiver->log, (Log { "tap" }));
    parent->removeGestureRecognizer(recognizer.ptr());
    parent->addSubview(child);

    // An action that takes the view out of the window: the touch's other
    // recognizers are let go, not fed the rest of the touch.
    receiver->log.clear();
    auto remover = Remover::create(child.ptr());
    auto removing = UITapGestureRecognizer::create(remover.ptr(), "remove"_sel);
    child->removeGestureRecognizer(recognizer.ptr());
    child->addGestureRecognizer(removing.ptr());
    child->addGestureRecognizer(recognizer.ptr());
    RunLoop::main().runFor(1);
    UIKitSimulator::tap(window, CGPointMake(150, 150));
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_TRUE(receiver->log.empty());
}

TEST_F(UIKitViewsTouch, TouchesMissingEveryViewGoNowhere)
{
    AutoreleasePool pool; // drains what runtime calls autorelease
    auto view = TouchLog::create(CGRectMake(0, 0, 10, 10));
    window->addSubview(view);
    EXPECT_EQ(UIKitSimulator::tap(window, CGPointMake(-5, -5)), nullptr);
    EXPECT_TRUE(view->log.empty());
    window->setHidden(YES);
    EXPECT_EQ(UIKitSimulator::tap(window, CGPointMake(5, 5)), nullptr);
    EXPECT_TRUE(view->log.empty());
}
