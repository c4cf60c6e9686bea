// Views: rectangles on screen in a tree of views.
//
// Geometry is kept as UIKit keeps it: `center` (in the superview's
// coordinates), `bounds` (the view's own coordinate space) and an affine
// `transform` applied about the centre; `frame` is derived from the three.
//
// Methods that subclasses override (hitTest, pointInside, sizeThatFits,
// layoutSubviews, drawRect and the touch handlers) are C++ virtuals behind
// their runtime methods, so an override written in C++ is reached by C++ and
// runtime callers alike. The view's own machinery (hit testing, layout,
// sizeToFit) sends those messages through the runtime, so hooks see them.
#pragma once

#include "foundation/NSCollections.h"
#include "uikit/UIColor.h"
#include "uikit/UIEvent.h"
#include "uikit/UIGeometry.h"

#include <functional>
#include <vector>

class CALayer;
class NSLayoutConstraint;
class UIGestureRecognizer;
class UIView;
class UIWindow;

using UIViewAutoresizing = NSUInteger;
inline constexpr UIViewAutoresizing UIViewAutoresizingNone = 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleLeftMargin = 1 << 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleWidth = 1 << 1;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleRightMargin = 1 << 2;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleTopMargin = 1 << 3;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleHeight = 1 << 4;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleBottomMargin = 1 << 5;

using UIViewTintAdjustmentMode = NSInteger;
inline constexpr UIViewTintAdjustmentMode UIViewTintAdjustmentModeAutomatic = 0;
inline constexpr UIViewTintAdjustmentMode UIViewTintAdjustmentModeNormal = 1;
inline constexpr UIViewTintAdjustmentMode UIViewTintAdjustmentModeDimmed = 2;

// View animation blocks (encoded "@?"): the changes, and the completion that
// takes the finished flag. Pass exactly these types to objc_msgSend.
using UIViewAnimationBlock = std::function<void()>;
using UIViewAnimationCompletion = std::function<void(BOOL)>;

// -intrinsicContentSize's answer for a dimension the view has no size for.
inline constexpr CGFloat UIViewNoIntrinsicMetric = -1;

// A view whose alpha is below this is neither drawn nor hit (compared in
// CGFloat, so that a view given exactly 0.01 counts on every width).
inline constexpr CGFloat kUIViewMinimumVisibleAlpha = 0.01;

class PLATFORM_EXPORT UIResponder : public NSObject {
    OBJC_CLASS(UIResponder)
public:
    // The next responder up the chain: for a view its view controller (the
    // view's `viewDelegate`) or else its superview; for a window the
    // application.
    virtual UIResponder* nextResponder() const;

    // Touch handlers. The default passes the touches up the responder chain.
    // The touches come in an array (the device hands out a set).
    virtual void touchesBegan(NSArray* touches, UIEvent* event);
    virtual void touchesMoved(NSArray* touches, UIEvent* event);
    virtual void touchesEnded(NSArray* touches, UIEvent* event);
    virtual void touchesCancelled(NSArray* touches, UIEvent* event);

    ~UIResponder() override;

protected:
    UIResponder() = default;
};

class PLATFORM_EXPORT UIView : public UIResponder {
    OBJC_CLASS(UIView)
public:
    static Ref<UIView> create(CGRect frame = CGRectZero);
    // -initWithFrame: for objects made with +alloc; subclasses that fix their
    // own size (UISwitch) override it.
    virtual UIView* initWithFrame(CGRect frame);
    UIView* init();

    // MARK: Geometry
    CGRect frame() const noexcept;
    virtual void setFrame(CGRect frame);
    CGRect bounds() const noexcept { return m_bounds; }
    virtual void setBounds(CGRect bounds);
    CGPoint center() const noexcept { return m_center; }
    virtual void setCenter(CGPoint center);
    CGAffineTransform transform() const noexcept { return m_transform; }
    virtual void setTransform(CGAffineTransform transform);

    // MARK: Hierarchy
    UIView* superview() const noexcept { return m_superview; }
    const std::vector<Ref<UIView>>& subviews() const noexcept { return m_subviews; }
    // -subviews for runtime callers: a snapshot array, back-most first.
    Ref<NSArray> subviewsArray() const;
    // The window the view is in, or nil. A window is its own window.
    UIWindow* window() const noexcept;
    // Raises NSInvalidArgumentException for the view itself or one of its
    // ancestors; a nil view is ignored.
    void addSubview(UIView* view);
    // A sibling that is not a subview (or the view itself) puts the view on
    // top (above) or at the back (below), as with no sibling at all.
    void insertSubviewAboveSubview(UIView* view, UIView* sibling);
    void insertSubviewBelowSubview(UIView* view, UIView* sibling);
    // Indexes past the end add on top; negative ones insert at the back.
    void insertSubviewAtIndex(UIView* view, NSInteger index);
    void bringSubviewToFront(UIView* view);
    void sendSubviewToBack(UIView* view);
    void removeFromSuperview();
    // YES for the view itself and for any descendant of view.
    BOOL isDescendantOfView(const UIView* view) const noexcept;
    // This view or the first descendant (depth first) with the tag.
    UIView* viewWithTag(NSInteger tag);

    // Notifications of hierarchy changes, sent through the runtime.
    virtual void didAddSubview(UIView* subview) { }
    virtual void willRemoveSubview(UIView* subview) { }
    virtual void willMoveToSuperview(UIView* newSuperview) { }
    virtual void didMoveToSuperview() { }
    virtual void willMoveToWindow(UIWindow* newWindow) { }
    virtual void didMoveToWindow() { }

    // MARK: Appearance and behaviour
    BOOL isHidden() const noexcept { return m_hidden; }
    void setHidden(BOOL hidden);
    CGFloat alpha() const noexcept { return m_alpha; }
    void setAlpha(CGFloat alpha);
    BOOL isOpaque() const noexcept { return m_opaque; }
    void setOpaque(BOOL opaque) { m_opaque = opaque; }
    BOOL isUserInteractionEnabled() const noexcept { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(BOOL enabled) { m_userInteractionEnabled = enabled; }
    UIColor* backgroundColor() const noexcept { return m_backgroundColor.get(); }
    void setBackgroundColor(UIColor* color);
    // The layer's masksToBounds.
    BOOL clipsToBounds() const noexcept;
    void setClipsToBounds(BOOL clips);
    NSInteger tag() const noexcept { return m_tag; }
    void setTag(NSInteger tag) { m_tag = tag; }
    NSString* accessibilityLabel() const noexcept { return m_accessibilityLabel.get(); }
    void setAccessibilityLabel(NSString* label);

    // The tint colour: the view's own, else its superview's, else the
    // system's blue; a greyed version while the effective adjustment mode is
    // dimmed.
    Ref<UIColor> tintColor() const;
    void setTintColor(UIColor* color);
    // The mode as set (automatic, 0, by default).
    UIViewTintAdjustmentMode tintAdjustmentMode() const noexcept;
    void setTintAdjustmentMode(UIViewTintAdjustmentMode mode);
    // The mode in effect: automatic follows the superview, normal at the top.
    UIViewTintAdjustmentMode effectiveTintAdjustmentMode() const noexcept;
    // Sent to the view and its descendants when the tint they show changes.
    virtual void tintColorDidChange() { }

    // MARK: Layout
    UIViewAutoresizing autoresizingMask() const noexcept { return m_autoresizingMask; }
    void setAutoresizingMask(UIViewAutoresizing mask) { m_autoresizingMask = mask; }
    BOOL autoresizesSubviews() const noexcept { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(BOOL autoresizes) { m_autoresizesSubviews = autoresizes; }
    BOOL translatesAutoresizingMaskIntoConstraints() const noexcept { return m_translatesAutoresizingMask; }
    void setTranslatesAutoresizingMaskIntoConstraints(BOOL translates);

    // The size the view would like within `size`; the view's current size by
    // default.
    virtual CGSize sizeThatFits(CGSize size);
    // Resizes the view to -sizeThatFits: of its current size, keeping the
    // top-left corner of its frame.
    void sizeToFit();
    virtual CGSize intrinsicContentSize();

    // The default lays out constrained subviews (see NSLayoutConstraint.h).
    virtual void layoutSubviews();
    void setNeedsLayout();
    BOOL needsLayout() const noexcept { return m_needsLayout; }
    // Lays out this view, if it needs it, then its subviews, top down.
    void layoutIfNeeded();

    // MARK: Display
    // The drawing hook; the default draws nothing (the background colour is
    // the renderer's business).
    virtual void drawRect(CGRect rect) { }
    // Marks the view and its layer as needing display.
    void setNeedsDisplay();
    void setNeedsDisplayInRect(CGRect rect);
    BOOL needsDisplay() const noexcept { return m_needsDisplay; }
    // For the renderer: the view has been drawn.
    void clearNeedsDisplay() noexcept { m_needsDisplay = false; }
    CALayer* layer() const noexcept { return m_layer.ptr(); }

    // MARK: Coordinates and hit testing
    // A nil view means the window (or, for a view outside any window, the
    // root of its tree). Conversions pass through every transform between
    // the two views.
    CGPoint convertPointToView(CGPoint point, const UIView* view) const;
    CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
    CGRect convertRectToView(CGRect rect, const UIView* view) const;
    CGRect convertRectFromView(CGRect rect, const UIView* view) const;

    // Whether the point (in the view's bounds coordinates) is inside it.
    virtual BOOL pointInside(CGPoint point, UIEvent* event);
    // The front-most descendant that contains the point and takes touches:
    // nil for a hidden view, one without user interaction, one with an alpha
    // below 0.01, or a point outside; else the first answer of the subviews
    // asked from front to back; else this view.
    virtual UIView* hitTest(CGPoint point, UIEvent* event);

    // MARK: Gesture recognizers
    // The view owns its recognizers; adding one that belongs to another view
    // moves it here.
    void addGestureRecognizer(UIGestureRecognizer* recognizer);
    void removeGestureRecognizer(UIGestureRecognizer* recognizer);
    const std::vector<Ref<UIGestureRecognizer>>& gestureRecognizers() const noexcept { return m_gestureRecognizers; }
    // -gestureRecognizers: nil when there are none, as on the device.
    RefPtr<NSArray> gestureRecognizersArray() const;
    // Asked of a recognizer's view before the recognizer leaves the possible
    // state; NO makes it fail.
    virtual BOOL gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer) { return YES; }
    // Whether this view, under a touch, keeps a recognizer attached to one
    // of its ancestors from seeing the touch. Controls whose own action is a
    // single tap (buttons, switches) keep out single-tap recognizers, as the
    // device does since iOS 6.
    virtual bool overridesGestureRecognizer(UIGestureRecognizer* recognizer) { return false; }

    // MARK: Constraints (see NSLayoutConstraint.h)
    void addConstraint(NSLayoutConstraint* constraint);
    void addConstraints(NSArray* constraints);
    void removeConstraint(NSLayoutConstraint* constraint);
    void removeConstraints(NSArray* constraints);
    const std::vector<Ref<NSLayoutConstraint>>& constraints() const noexcept { return m_constraints; }
    Ref<NSArray> constraintsArray() const;

    // MARK: Animation (see UIViewAnimation.h)
    static void animateWithDuration(double duration, UIViewAnimationBlock animations);
    static void animateWithDurationCompletion(double duration, UIViewAnimationBlock animations, UIViewAnimationCompletion completion);
    static void animateWithDurationDelayOptions(double duration, double delay, NSUInteger options, UIViewAnimationBlock animations, UIViewAnimationCompletion completion);
    // Runs the block with its changes left out of any animation.
    static void performWithoutAnimation(UIViewAnimationBlock actions);
    static BOOL areAnimationsEnabled();
    static void setAnimationsEnabled(BOOL enabled);

    // MARK: Responder chain
    UIResponder* nextResponder() const override;
    // The view controller that owns this view as its `view`, unowned; it is
    // the view's next responder.
    NSObject* viewDelegate() const noexcept { return m_viewDelegate; }
    void setViewDelegate(NSObject* controller) noexcept { m_viewDelegate = controller; }

    // "<UIView: 0x...; frame = (x y; w h)>", with the flags that differ
    // from the defaults, as the device writes it.
    Ref<NSString> description() const;

    ~UIView() override;

protected:
    UIView();

    // The point in the superview's coordinates for a point in this view's
    // bounds coordinates, and back.
    CGPoint pointToSuperview(CGPoint point) const noexcept;
    CGPoint pointFromSuperview(CGPoint point) const noexcept;

private:
    friend class UIWindow;

    void insertSubview(UIView* view, size_t index);
    void detachFromSuperview();
    void boundsSizeChanged(CGSize oldSize);
    void resizeWithOldSuperviewSize(CGSize oldSize);
    void geometryChanged();
    void propagateTintChange();

    UIView* m_superview = nullptr;
    std::vector<Ref<UIView>> m_subviews;
    CGRect m_bounds;
    CGPoint m_center;
    CGAffineTransform m_transform;
    Ref<CALayer> m_layer;
    BOOL m_hidden = NO;
    BOOL m_opaque = YES;
    BOOL m_userInteractionEnabled = YES;
    BOOL m_autoresizesSubviews = YES;
    BOOL m_translatesAutoresizingMask = YES;
    bool m_needsLayout = false;
    bool m_needsDisplay = false;
    CGFloat m_alpha = 1;
    NSInteger m_tag = 0;
    UIViewAutoresizing m_autoresizingMask = UIViewAutoresizingNone;
    UIViewTintAdjustmentMode m_tintAdjustmentMode = UIViewTintAdjustmentModeAutomatic;
    RefPtr<UIColor> m_backgroundColor;
    RefPtr<UIColor> m_tintColor;
    RefPtr<NSString> m_accessibilityLabel;
    NSObject* m_viewDelegate = nullptr;
    std::vector<Ref<UIGestureRecognizer>> m_gestureRecognizers;
    std::vector<Ref<NSLayoutConstraint>> m_constraints;
};
