#include "uikit/UIView.h"

#include "foundation/NSException.h"
#include "uikit/CALayer.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAppearance.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UITouchDelivery.h"
#include "uikit/UIViewInternal.h"
#include "uikit/UIWindow.h"

#include <algorithm>

// MARK: UIResponder

namespace {

void forwardTouches(const UIResponder* responder, SEL selector, NSArray* touches, UIEvent* event)
{
    if (UIResponder* next = responder->nextResponder())
        objc_msgSend<void>(next, selector, touches, event);
}

} // namespace

Class UIResponder::staticClass()
{
    static Class cls = ClassBuilder<UIResponder>("UIResponder", &OBJC_CLASS_NSObject)
                           .method<&UIResponder::nextResponder>("nextResponder")
                           .method<&UIResponder::touchesBegan>("touchesBegan:withEvent:")
                           .method<&UIResponder::touchesMoved>("touchesMoved:withEvent:")
                           .method<&UIResponder::touchesEnded>("touchesEnded:withEvent:")
                           .method<&UIResponder::touchesCancelled>("touchesCancelled:withEvent:")
                           .build();
    return cls;
}

UIResponder::~UIResponder() = default;

UIResponder* UIResponder::nextResponder() const
{
    return nullptr;
}

void UIResponder::touchesBegan(NSArray* touches, UIEvent* event)
{
    forwardTouches(this, "touchesBegan:withEvent:"_sel, touches, event);
}

void UIResponder::touchesMoved(NSArray* touches, UIEvent* event)
{
    forwardTouches(this, "touchesMoved:withEvent:"_sel, touches, event);
}

void UIResponder::touchesEnded(NSArray* touches, UIEvent* event)
{
    forwardTouches(this, "touchesEnded:withEvent:"_sel, touches, event);
}

void UIResponder::touchesCancelled(NSArray* touches, UIEvent* event)
{
    forwardTouches(this, "touchesCancelled:withEvent:"_sel, touches, event);
}

// MARK: UIView

Class UIView::staticClass()
{
    static Class cls = ClassBuilder<UIView>("UIView", UIResponder::staticClass())
                           .method<&UIView::initWithFrame>("initWithFrame:")
                           .method<&UIView::init>("init")
                           .method<&UIView::frame>("frame")
                           .method<&UIView::setFrame>("setFrame:")
                           .method<&UIView::bounds>("bounds")
                           .method<&UIView::setBounds>("setBounds:")
                           .method<&UIView::center>("center")
                           .method<&UIView::setCenter>("setCenter:")
                           .method<&UIView::transform>("transform")
                           .method<&UIView::setTransform>("setTransform:")
                           .method<&UIView::superview>("superview")
                           .method<&UIView::subviewsArray>("subviews")
                           .method<&UIView::window>("window")
                           .method<&UIView::addSubview>("addSubview:")
                           .method<&UIView::insertSubviewAboveSubview>("insertSubview:aboveSubview:")
                           .method<&UIView::insertSubviewBelowSubview>("insertSubview:belowSubview:")
                           .method<&UIView::insertSubviewAtIndex>("insertSubview:atIndex:")
                           .method<&UIView::bringSubviewToFront>("bringSubviewToFront:")
                           .method<&UIView::sendSubviewToBack>("sendSubviewToBack:")
                           .method<&UIView::removeFromSuperview>("removeFromSuperview")
                           .method<&UIView::isDescendantOfView>("isDescendantOfView:")
                           .method<&UIView::viewWithTag>("viewWithTag:")
                           .method<&UIView::didAddSubview>("didAddSubview:")
                           .method<&UIView::willRemoveSubview>("willRemoveSubview:")
                           .method<&UIView::willMoveToSuperview>("willMoveToSuperview:")
                           .method<&UIView::didMoveToSuperview>("didMoveToSuperview")
                           .method<&UIView::willMoveToWindow>("willMoveToWindow:")
                           .method<&UIView::didMoveToWindow>("didMoveToWindow")
                           .method<&UIView::isHidden>("isHidden")
                           .method<&UIView::setHidden>("setHidden:")
                           .method<&UIView::alpha>("alpha")
                           .method<&UIView::setAlpha>("setAlpha:")
                           .method<&UIView::isOpaque>("isOpaque")
                           .method<&UIView::setOpaque>("setOpaque:")
                           .method<&UIView::isUserInteractionEnabled>("isUserInteractionEnabled")
                           .method<&UIView::setUserInteractionEnabled>("setUserInteractionEnabled:")
                           .method<&UIView::backgroundColor>("backgroundColor")
                           .method<&UIView::setBackgroundColor>("setBackgroundColor:")
                           .method<&UIView::clipsToBounds>("clipsToBounds")
                           .method<&UIView::setClipsToBounds>("setClipsToBounds:")
                           .method<&UIView::tag>("tag")
                           .method<&UIView::setTag>("setTag:")
                           .method<&UIView::accessibilityLabel>("accessibilityLabel")
                           .method<&UIView::setAccessibilityLabel>("setAccessibilityLabel:")
                           .method<&UIView::tintColor>("tintColor")
                           .method<&UIView::setTintColor>("setTintColor:")
                           .method<&UIView::tintAdjustmentMode>("tintAdjustmentMode")
                           .method<&UIView::setTintAdjustmentMode>("setTintAdjustmentMode:")
                           .method<&UIView::tintColorDidChange>("tintColorDidChange")
                           .method<&UIView::autoresizingMask>("autoresizingMask")
                           .method<&UIView::setAutoresizingMask>("setAutoresizingMask:")
                           .method<&UIView::autoresizesSubviews>("autoresizesSubviews")
                           .method<&UIView::setAutoresizesSubviews>("setAutoresizesSubviews:")
                           .method<&UIView::translatesAutoresizingMaskIntoConstraints>("translatesAutoresizingMaskIntoConstraints")
                           .method<&UIView::setTranslatesAutoresizingMaskIntoConstraints>("setTranslatesAutoresizingMaskIntoConstraints:")
                           .method<&UIView::sizeThatFits>("sizeThatFits:")
                           .method<&UIView::sizeToFit>("sizeToFit")
                           .method<&UIView::intrinsicContentSize>("intrinsicContentSize")
                           .method<&UIView::layoutSubviews>("layoutSubviews")
                           .method<&UIView::setNeedsLayout>("setNeedsLayout")
                           .method<&UIView::layoutIfNeeded>("layoutIfNeeded")
                           .method<&UIView::drawRect>("drawRect:")
                           .method<&UIView::setNeedsDisplay>("setNeedsDisplay")
                           .method<&UIView::setNeedsDisplayInRect>("setNeedsDisplayInRect:")
                           .method<&UIView::layer>("layer")
                           .method<&UIView::convertPointToView>("convertPoint:toView:")
                           .method<&UIView::convertPointFromView>("convertPoint:fromView:")
                           .method<&UIView::convertRectToView>("convertRect:toView:")
                           .method<&UIView::convertRectFromView>("convertRect:fromView:")
                           .method<&UIView::pointInside>("pointInside:withEvent:")
                           .method<&UIView::hitTest>("hitTest:withEvent:")
                           .method<&UIView::description>("description")
                           .method<&UIView::addGestureRecognizer>("addGestureRecognizer:")
                           .method<&UIView::removeGestureRecognizer>("removeGestureRecognizer:")
                           .method<&UIView::gestureRecognizersArray>("gestureRecognizers")
                           .method<&UIView::gestureRecognizerShouldBegin>("gestureRecognizerShouldBegin:")
                           .method<&UIView::addConstraint>("addConstraint:")
                           .method<&UIView::addConstraints>("addConstraints:")
                           .method<&UIView::removeConstraint>("removeConstraint:")
                           .method<&UIView::removeConstraints>("removeConstraints:")
                           .method<&UIView::constraintsArray>("constraints")
                           .classMethod("appearance", &UIAppearance::appearanceImp)
                           .classMethod<&UIView::animateWithDuration>("animateWithDuration:animations:")
                           .classMethod<&UIView::animateWithDurationCompletion>("animateWithDuration:animations:completion:")
                           .classMethod<&UIView::animateWithDurationDelayOptions>("animateWithDuration:delay:options:animations:completion:")
                           .classMethod<&UIView::performWithoutAnimation>("performWithoutAnimation:")
                           .classMethod<&UIView::areAnimationsEnabled>("areAnimationsEnabled")
                           .classMethod<&UIView::setAnimationsEnabled>("setAnimationsEnabled:")
                           .build();
    return cls;
}

UIView::UIView()
    : m_layer(CALayer::create())
{
    // A view's layer draws for it and has it as its delegate.
    m_layer->m_view = this;
    m_layer->setDelegate(this);
}

Ref<UIView> UIView::create(CGRect frame)
{
    auto view = adoptObject(new UIView);
    view->initWithFrame(frame);
    return view;
}

UIView* UIView::initWithFrame(CGRect frame)
{
    setFrame(frame);
    return this;
}

UIView* UIView::init()
{
    return objc_msgSend<UIView*>(this, "initWithFrame:"_sel, CGRectZero);
}

UIView::~UIView()
{
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
    for (auto& recognizer : m_gestureRecognizers)
        recognizer->setView(nullptr);
    for (auto& constraint : m_constraints) {
        // The items (this view and views inside it) are not owned by the
        // constraint, which may outlive them now.
        constraint->m_holder = nullptr;
        constraint->m_firstItem = nullptr;
        constraint->m_secondItem = nullptr;
    }
    m_layer->m_view = nullptr;
    if (m_layer->delegate() == this)
        m_layer->setDelegate(nullptr);
}

// MARK: Geometry

CGPoint UIView::pointToSuperview(CGPoint point) const noexcept
{
    CGPoint fromCenter = CGPointMake(point.x - (m_bounds.origin.x + m_bounds.size.width / 2), point.y - (m_bounds.origin.y + m_bounds.size.height / 2));
    CGPoint moved = CGPointApplyAffineTransform(fromCenter, m_transform);
    return CGPointMake(m_center.x + moved.x, m_center.y + moved.y);
}

CGPoint UIView::pointFromSuperview(CGPoint point) const noexcept
{
    CGPoint fromCenter = CGPointMake(point.x - m_center.x, point.y - m_center.y);
    CGPoint unmoved = CGAffineTransformIsIdentity(m_transform) ? fromCenter : CGPointApplyAffineTransform(fromCenter, CGAffineTransformInvert(m_transform));
    return CGPointMake(unmoved.x + m_bounds.origin.x + m_bounds.size.width / 2, unmoved.y + m_bounds.origin.y + m_bounds.size.height / 2);
}

CGRect UIView::frame() const noexcept
{
    CGSize size = m_bounds.size;
    CGRect local = CGRectMake(-size.width / 2, -size.height / 2, size.width, size.height);
    if (!CGAffineTransformIsIdentity(m_transform))
        local = CGRectApplyAffineTransform(local, m_transform);
    return CGRectOffset(local, m_center.x, m_center.y);
}

void UIView::setFrame(CGRect frame)
{
    frame = CGRectStandardize(frame);
    if (CGRectIsNull(frame))
        return;
    CGSize size = frame.size;
    CGPoint center = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
    if (!CGAffineTransformIsIdentity(m_transform)) {
        // Setting the frame of a transformed view is undefined on the device.
        // Here the centre goes to the frame's midpoint (less the transform's
        // translation, so that -frame reads the rectangle back) and the
        // bounds get the size whose transformed bounding box fills the frame.
        // Where that size is not unique (a 45-degree rotation) the current
        // proportions are kept; sizes that would be negative become zero.
        const CGAffineTransform& t = m_transform;
        center.x -= t.tx;
        center.y -= t.ty;
        CGFloat a = std::fabs(t.a), b = std::fabs(t.b), c = std::fabs(t.c), d = std::fabs(t.d);
        CGFloat determinant = a * d - b * c;
        if (std::fabs(determinant) > 1e-9) {
            size.width = (frame.size.width * d - c * frame.size.height) / determinant;
            size.height = (a * frame.size.height - b * frame.size.width) / determinant;
        } else {
            CGSize current = m_bounds.size;
            CGFloat spanX = a * current.width + c * current.height;
            CGFloat spanY = b * current.width + d * current.height;
            CGFloat scale = spanX > 0 ? frame.size.width / spanX : spanY > 0 ? frame.size.height / spanY
                                                                             : 0;
            size = CGSizeMake(current.width * scale, current.height * scale);
        }
        size.width = std::max<CGFloat>(size.width, 0);
        size.height = std::max<CGFloat>(size.height, 0);
    }
    if (CGSizeEqualToSize(size, m_bounds.size) && CGPointEqualToPoint(center, m_center))
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Frame);
    CGSize oldSize = m_bounds.size;
    m_bounds.size = size;
    m_center = center;
    if (!CGSizeEqualToSize(oldSize, size))
        boundsSizeChanged(oldSize);
    geometryChanged();
}

void UIView::setBounds(CGRect bounds)
{
    bounds = CGRectStandardize(bounds);
    if (CGRectIsNull(bounds))
        return;
    if (CGRectEqualToRect(bounds, m_bounds))
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Bounds);
    CGSize oldSize = m_bounds.size;
    m_bounds = bounds;
    if (!CGSizeEqualToSize(oldSize, bounds.size))
        boundsSizeChanged(oldSize);
    geometryChanged();
}

void UIView::setCenter(CGPoint center)
{
    if (CGPointEqualToPoint(center, m_center))
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Center);
    m_center = center;
    geometryChanged();
}

void UIView::setTransform(CGAffineTransform transform)
{
    if (CGAffineTransformEqualToTransform(transform, m_transform))
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Transform);
    m_transform = transform;
    geometryChanged();
}

void UIView::boundsSizeChanged(CGSize oldSize)
{
    if (m_autoresizesSubviews) {
        auto subviews = m_subviews;
        for (auto& subview : subviews)
            subview->resizeWithOldSuperviewSize(oldSize);
    }
    setNeedsLayout();
}

void UIView::geometryChanged()
{
    // Constraints held by the superview may refer to this view's frame.
    if (m_superview && uikit_detail::holdsConstraints(m_superview))
        m_superview->setNeedsLayout();
}

namespace {

// Spreads delta over the flexible parts of one axis, in proportion to their
// current lengths (evenly when those are all zero).
void distribute(CGFloat delta, CGFloat* parts[3], const bool flexible[3])
{
    CGFloat total = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (flexible[i]) {
            total += *parts[i];
            ++count;
        }
    }
    if (!count)
        return;
    for (int i = 0; i < 3; ++i) {
        if (flexible[i])
            *parts[i] += total != 0 ? delta * *parts[i] / total : delta / count;
    }
}

} // namespace

void UIView::resizeWithOldSuperviewSize(CGSize oldSize)
{
    if (!m_superview || !m_translatesAutoresizingMask || m_autoresizingMask == UIViewAutoresizingNone)
        return;
    CGSize newSize = m_superview->m_bounds.size;
    CGRect f = frame();
    UIViewAutoresizing mask = m_autoresizingMask;

    CGFloat left = f.origin.x, width = f.size.width, right = oldSize.width - left - width;
    CGFloat* horizontal[3] = { &left, &width, &right };
    const bool flexibleX[3] = { bool(mask & UIViewAutoresizingFlexibleLeftMargin), bool(mask & UIViewAutoresizingFlexibleWidth), bool(mask & UIViewAutoresizingFlexibleRightMargin) };
    distribute(newSize.width - oldSize.width, horizontal, flexibleX);

    CGFloat top = f.origin.y, height = f.size.height, bottom = oldSize.height - top - height;
    CGFloat* vertical[3] = { &top, &height, &bottom };
    const bool flexibleY[3] = { bool(mask & UIViewAutoresizingFlexibleTopMargin), bool(mask & UIViewAutoresizingFlexibleHeight), bool(mask & UIViewAutoresizingFlexibleBottomMargin) };
    distribute(newSize.height - oldSize.height, vertical, flexibleY);

    CGRect resized = CGRectMake(left, top, std::max<CGFloat>(width, 0), std::max<CGFloat>(height, 0));
    if (!CGRectEqualToRect(resized, f))
        setFrame(resized);
}

// MARK: Hierarchy

Ref<NSArray> UIView::subviewsArray() const
{
    std::vector<RefPtr<Object>> objects(m_subviews.begin(), m_subviews.end());
    return NSArray::create(std::move(objects));
}

UIWindow* UIView::window() const noexcept
{
    for (const UIView* view = this; view; view = view->m_superview) {
        if (auto* window = dynamic_cast<UIWindow*>(const_cast<UIView*>(view)))
            return window;
    }
    return nullptr;
}

BOOL UIView::isDescendantOfView(const UIView* view) const noexcept
{
    if (!view)
        return NO;
    for (const UIView* ancestor = this; ancestor; ancestor = ancestor->m_superview) {
        if (ancestor == view)
            return YES;
    }
    return NO;
}

UIView* UIView::viewWithTag(NSInteger tag)
{
    if (m_tag == tag)
        return this;
    for (auto& subview : m_subviews) {
        if (UIView* found = subview->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

void UIView::addSubview(UIView* view)
{
    if (!view)
        return;
    insertSubview(view, m_subviews.size());
}

void UIView::insertSubviewAtIndex(UIView* view, NSInteger index)
{
    if (!view)
        return;
    size_t position = index < 0 ? 0 : std::min(static_cast<size_t>(index), m_subviews.size());
    insertSubview(view, position);
}

void UIView::insertSubviewAboveSubview(UIView* view, UIView* sibling)
{
    if (!view)
        return;
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const Ref<UIView>& subview) { return subview.ptr() == sibling; });
    if (!sibling || sibling == view || it == m_subviews.end()) {
        insertSubview(view, m_subviews.size());
        return;
    }
    insertSubview(view, static_cast<size_t>(it - m_subviews.begin()) + 1);
}

void UIView::insertSubviewBelowSubview(UIView* view, UIView* sibling)
{
    if (!view)
        return;
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const Ref<UIView>& subview) { return subview.ptr() == sibling; });
    if (!sibling || sibling == view || it == m_subviews.end()) {
        insertSubview(view, 0);
        return;
    }
    insertSubview(view, static_cast<size_t>(it - m_subviews.begin()));
}

void UIView::bringSubviewToFront(UIView* view)
{
    if (!view || view->m_superview != this)
        return;
    insertSubview(view, m_subviews.size());
}

void UIView::sendSubviewToBack(UIView* view)
{
    if (!view || view->m_superview != this)
        return;
    insertSubview(view, 0);
}

namespace {

void sendWillMoveToWindow(UIView* view, UIWindow* window)
{
    objc_msgSend<void>(view, "willMoveToWindow:"_sel, window);
    auto subviews = view->subviews();
    for (auto& subview : subviews)
        sendWillMoveToWindow(subview.ptr(), window);
}

void sendDidMoveToWindow(UIView* view)
{
    objc_msgSend<void>(view, "didMoveToWindow"_sel);
    auto subviews = view->subviews();
    for (auto& subview : subviews)
        sendDidMoveToWindow(subview.ptr());
}

} // namespace

// Puts view at position index among the subviews (an index counted with the
// view itself still in place when it is already a subview here).
void UIView::insertSubview(UIView* view, size_t index)
{
    if (view == this || isDescendantOfView(view))
        NSException::raise(NSInvalidArgumentException, "Can't add self as subview");
    Ref<UIView> protectedView(*view);
    Ref<UIView> protectedThis(*this);

    if (view->m_superview == this) {
        auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](const Ref<UIView>& subview) { return subview.ptr() == view; });
        size_t current = static_cast<size_t>(it - m_subviews.begin());
        m_subviews.erase(it);
        if (index > current)
            --index;
        m_subviews.insert(m_subviews.begin() + static_cast<ptrdiff_t>(std::min(index, m_subviews.size())), protectedView);
        return;
    }

    UIWindow* oldWindow = view->window();
    UIWindow* newWindow = window();
    objc_msgSend<void>(view, "willMoveToSuperview:"_sel, this);
    if (oldWindow != newWindow)
        sendWillMoveToWindow(view, newWindow);
    if (UIView* oldSuperview = view->m_superview) {
        objc_msgSend<void>(oldSuperview, "willRemoveSubview:"_sel, view);
        view->detachFromSuperview();
    }
    index = std::min(index, m_subviews.size());
    m_subviews.insert(m_subviews.begin() + static_cast<ptrdiff_t>(index), protectedView);
    view->m_superview = this;
    objc_msgSend<void>(view, "didMoveToSuperview"_sel);
    if (oldWindow != newWindow) {
        sendDidMoveToWindow(view);
        if (oldWindow)
            uikit_detail::viewLeftWindow(view);
    }
    objc_msgSend<void>(this, "didAddSubview:"_sel, view);
    if (oldWindow != newWindow || view->effectiveTintAdjustmentMode() != UIViewTintAdjustmentModeNormal)
        view->propagateTintChange();
    setNeedsLayout();
}

void UIView::detachFromSuperview()
{
    UIView* parent = m_superview;
    if (!parent)
        return;
    m_superview = nullptr;
    auto& siblings = parent->m_subviews;
    auto it = std::find_if(siblings.begin(), siblings.end(), [this](const Ref<UIView>& view) { return view.ptr() == this; });
    if (it != siblings.end())
        siblings.erase(it); // may release this view: callers protect it
}

void UIView::removeFromSuperview()
{
    UIView* parent = m_superview;
    if (!parent)
        return;
    Ref<UIView> protectedThis(*this);
    Ref<UIView> protectedParent(*parent);
    UIWindow* oldWindow = window();
    objc_msgSend<void>(this, "willMoveToSuperview:"_sel, nullptr);
    if (oldWindow)
        sendWillMoveToWindow(this, nullptr);
    objc_msgSend<void>(parent, "willRemoveSubview:"_sel, this);
    detachFromSuperview();
    objc_msgSend<void>(this, "didMoveToSuperview"_sel);
    if (oldWindow) {
        sendDidMoveToWindow(this);
        uikit_detail::viewLeftWindow(this);
    }
    uikit_detail::viewWasRemoved(this, parent);
}

// MARK: Appearance

void UIView::setHidden(BOOL hidden)
{
    if (hidden == m_hidden)
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Hidden);
    m_hidden = hidden;
}

void UIView::setAlpha(CGFloat alpha)
{
    if (alpha == m_alpha)
        return;
    uikit_detail::willChangeGeometry(this, UIViewAnimatedProperty::Alpha);
    m_alpha = alpha;
}

void UIView::setBackgroundColor(UIColor* color)
{
    m_backgroundColor = color;
    setNeedsDisplay();
}

BOOL UIView::clipsToBounds() const noexcept
{
    return m_layer->masksToBounds();
}

void UIView::setClipsToBounds(BOOL clips)
{
    m_layer->setMasksToBounds(clips);
}

void UIView::setAccessibilityLabel(NSString* label)
{
    m_accessibilityLabel = label;
}

Ref<UIColor> UIView::tintColor() const
{
    RefPtr<UIColor> color = m_tintColor;
    if (!color && m_superview)
        color = m_superview->tintColor();
    if (!color)
        color = UIColor::colorWithRed(0, 122.0 / 255, 1, 1); // the system blue
    if (effectiveTintAdjustmentMode() == UIViewTintAdjustmentModeDimmed) {
        // The device desaturates a dimmed tint; a mid grey with the tint's
        // alpha stands in for it here.
        return UIColor::colorWithWhite(0.5, color->alpha());
    }
    return Ref<UIColor>(*color);
}

void UIView::setTintColor(UIColor* color)
{
    m_tintColor = color;
    propagateTintChange();
}

UIViewTintAdjustmentMode UIView::tintAdjustmentMode() const noexcept
{
    // As on the device, the getter answers the mode in effect.
    return effectiveTintAdjustmentMode();
}

UIViewTintAdjustmentMode UIView::effectiveTintAdjustmentMode() const noexcept
{
    for (const UIView* view = this; view; view = view->m_superview) {
        if (view->m_tintAdjustmentMode != UIViewTintAdjustmentModeAutomatic)
            return view->m_tintAdjustmentMode;
    }
    return UIViewTintAdjustmentModeNormal;
}

void UIView::setTintAdjustmentMode(UIViewTintAdjustmentMode mode)
{
    if (mode < UIViewTintAdjustmentModeAutomatic || mode > UIViewTintAdjustmentModeDimmed)
        mode = UIViewTintAdjustmentModeAutomatic;
    UIViewTintAdjustmentMode before = effectiveTintAdjustmentMode();
    m_tintAdjustmentMode = mode;
    if (effectiveTintAdjustmentMode() != before)
        propagateTintChange();
}

void UIView::propagateTintChange()
{
    Ref<UIView> protectedThis(*this);
    objc_msgSend<void>(this, "tintColorDidChange"_sel);
    auto subviews = m_subviews;
    for (auto& subview : subviews) {
        if (!subview->m_tintColor || subview->m_tintAdjustmentMode == UIViewTintAdjustmentModeAutomatic)
            subview->propagateTintChange();
    }
}

// MARK: Layout

void UIView::setTranslatesAutoresizingMaskIntoConstraints(BOOL translates)
{
    m_translatesAutoresizingMask = translates;
    if (m_superview)
        m_superview->setNeedsLayout();
}

CGSize UIView::sizeThatFits(CGSize)
{
    return m_bounds.size;
}

void UIView::sizeToFit()
{
    CGSize size = objc_msgSend<CGSize>(this, "sizeThatFits:"_sel, m_bounds.size);
    CGRect before = frame();
    if (CGAffineTransformIsIdentity(m_transform)) {
        setFrame(CGRectMake(before.origin.x, before.origin.y, size.width, size.height));
        return;
    }
    setBounds(CGRectMake(m_bounds.origin.x, m_bounds.origin.y, size.width, size.height));
    CGRect after = frame();
    setCenter(CGPointMake(m_center.x + before.origin.x - after.origin.x, m_center.y + before.origin.y - after.origin.y));
}

CGSize UIView::intrinsicContentSize()
{
    return CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric);
}

void UIView::layoutSubviews()
{
    uikit_detail::resolveConstraints(this);
}

void UIView::setNeedsLayout()
{
    m_needsLayout = true;
    uikit_detail::requestDisplayCycle();
}

void UIView::layoutIfNeeded()
{
    Ref<UIView> protectedThis(*this);
    if (m_needsLayout) {
        m_needsLayout = false;
        objc_msgSend<void>(this, "layoutSubviews"_sel);
    }
    auto subviews = m_subviews;
    for (auto& subview : subviews)
        subview->layoutIfNeeded();
}

// MARK: Display

void UIView::setNeedsDisplay()
{
    m_needsDisplay = true;
    m_layer->setNeedsDisplay();
}

void UIView::setNeedsDisplayInRect(CGRect)
{
    setNeedsDisplay();
}

// MARK: Coordinates

namespace {

const UIView* rootOf(const UIView* view)
{
    while (view->superview())
        view = view->superview();
    return view;
}

} // namespace

// The conversions below climb from the source to the nearest common ancestor
// and descend to the target. Views in different trees (two windows) meet in
// screen coordinates, where each root sits at its own frame.
CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const
{
    if (!view) {
        view = window();
        if (!view)
            view = rootOf(this);
    }
    if (view == this)
        return point;

    const UIView* common = nullptr;
    for (const UIView* ancestor = view; ancestor && !common; ancestor = ancestor->m_superview) {
        if (isDescendantOfView(ancestor))
            common = ancestor;
    }
    for (const UIView* step = this; step != common; step = step->m_superview)
        point = step->pointToSuperview(point);

    std::vector<const UIView*> path;
    for (const UIView* step = view; step != common; step = step->m_superview)
        path.push_back(step);
    for (auto it = path.rbegin(); it != path.rend(); ++it)
        point = (*it)->pointFromSuperview(point);
    return point;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const
{
    if (!view) {
        view = window();
        if (!view)
            view = rootOf(this);
    }
    return view->convertPointToView(point, this);
}

namespace {

template <typename Convert>
CGRect convertCorners(CGRect rect, Convert convert)
{
    rect = CGRectStandardize(rect);
    if (CGRectIsNull(rect))
        return rect;
    CGPoint corners[4] = {
        convert(rect.origin),
        convert(CGPointMake(CGRectGetMaxX(rect), rect.origin.y)),
        convert(CGPointMake(rect.origin.x, CGRectGetMaxY(rect))),
        convert(CGPointMake(CGRectGetMaxX(rect), CGRectGetMaxY(rect))),
    };
    CGFloat minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const auto& corner : corners) {
        minX = std::min(minX, corner.x);
        maxX = std::max(maxX, corner.x);
        minY = std::min(minY, corner.y);
        maxY = std::max(maxY, corner.y);
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

} // namespace

CGRect UIView::convertRectToView(CGRect rect, const UIView* view) const
{
    return convertCorners(rect, [&](CGPoint point) { return convertPointToView(point, view); });
}

CGRect UIView::convertRectFromView(CGRect rect, const UIView* view) const
{
    return convertCorners(rect, [&](CGPoint point) { return convertPointFromView(point, view); });
}

// MARK: Hit testing

BOOL UIView::pointInside(CGPoint point, UIEvent*)
{
    return CGRectContainsPoint(m_bounds, point);
}

UIView* UIView::hitTest(CGPoint point, UIEvent* event)
{
    if (m_hidden || !m_userInteractionEnabled || m_alpha < kUIViewMinimumVisibleAlpha)
        return nullptr;
    if (!objc_msgSend<BOOL>(this, "pointInside:withEvent:"_sel, point, event))
        return nullptr;
    auto subviews = m_subviews;
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        UIView* subview = it->ptr();
        CGPoint local = subview->pointFromSuperview(point);
        if (UIView* hit = objc_msgSend<UIView*>(subview, "hitTest:withEvent:"_sel, local, event))
            return hit;
    }
    return this;
}

// MARK: Description

Ref<NSString> UIView::description() const
{
    CGRect f = frame();
    std::string text = std::string("<") + object_getClassName(const_cast<UIView*>(this));
    char buffer[160];
    snprintf(buffer, sizeof buffer, ": %p; frame = (%g %g; %g %g)", static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width, f.size.height);
    text += buffer;
    if (!CGAffineTransformIsIdentity(m_transform)) {
        snprintf(buffer, sizeof buffer, "; transform = [%g, %g, %g, %g, %g, %g]", m_transform.a, m_transform.b, m_transform.c, m_transform.d, m_transform.tx, m_transform.ty);
        text += buffer;
    }
    if (m_alpha != 1) {
        snprintf(buffer, sizeof buffer, "; alpha = %g", m_alpha);
        text += buffer;
    }
    if (m_hidden)
        text += "; hidden = YES";
    if (!m_userInteractionEnabled)
        text += "; userInteractionEnabled = NO";
    if (m_tag) {
        snprintf(buffer, sizeof buffer, "; tag = %ld", static_cast<long>(m_tag));
        text += buffer;
    }
    text += ">";
    return NSString::create(text);
}

// MARK: Responder chain

UIResponder* UIView::nextResponder() const
{
    if (m_viewDelegate) {
        // A view controller is a responder on the device; one that is not a
        // UIResponder here is skipped.
        if (auto* responder = dynamic_cast<UIResponder*>(m_viewDelegate))
            return responder;
    }
    return m_superview;
}

// MARK: Gesture recognizers

void UIView::addGestureRecognizer(UIGestureRecognizer* recognizer)
{
    if (!recognizer)
        return;
    Ref<UIGestureRecognizer> protectedRecognizer(*recognizer);
    if (UIView* previous = recognizer->view()) {
        if (previous == this)
            return;
        previous->removeGestureRecognizer(recognizer);
    }
    m_gestureRecognizers.push_back(protectedRecognizer);
    recognizer->setView(this);
}

void UIView::removeGestureRecognizer(UIGestureRecognizer* recognizer)
{
    if (!recognizer || recognizer->view() != this)
        return;
    Ref<UIGestureRecognizer> protectedRecognizer(*recognizer);
    recognizer->setView(nullptr);
    std::erase_if(m_gestureRecognizers, [&](const Ref<UIGestureRecognizer>& entry) { return entry.ptr() == recognizer; });
}

RefPtr<NSArray> UIView::gestureRecognizersArray() const
{
    if (m_gestureRecognizers.empty())
        return nullptr;
    return NSArray::create(std::vector<RefPtr<Object>>(m_gestureRecognizers.begin(), m_gestureRecognizers.end()));
}
