// The popover's chrome: one view, placed by the popover controller, large
// enough for the content, the border, the outer shadow's margin and the
// arrow. It hosts the content view controller's view, lays an inner view
// over it that frames the content, draws the chrome in its own layer, and
// reports taps outside the content to its delegate.
//
// The look-and-feel properties are the theme's, copied in by the controller
// (with the theme's fall-backs already applied); every getter returns the
// stored value and every setter only stores, except -setArrowOffset:, which
// clamps. The same 24 properties exist as process-wide defaults on the
// class's appearance record.
#pragma once

#include "popover/QLZPopoverChrome.h"
#include "uikit/UIView.h"

class CALayer;
class QLZPopoverBackgroundInnerView;

// Delegate method (optional): -popoverBackgroundViewDidTouchOutside: (the
// background view).
class QLZPopoverBackgroundView : public UIView {
    OBJC_CLASS(QLZPopoverBackgroundView)
public:
    static Ref<QLZPopoverBackgroundView> create(CGSize contentSize);
    // A view of the content's size pointing down; its layer (named
    // "parent") draws the chrome.
    QLZPopoverBackgroundView* initWithContentSize(CGSize contentSize);

    // MARK: Geometry
    CGSize sizeThatFits(CGSize size) override;
    // Bounds become (0, 0, sizeThatFits: of the content size).
    void sizeToFit();
    CGRect outerRect(CGRect rect, QLZPopoverArrowDirection direction) const { return m_chrome.outerRect(rect, direction); }
    CGRect innerRect(CGRect rect, QLZPopoverArrowDirection direction) const { return m_chrome.innerRect(rect, direction); }
    CGRect arrowRect(CGRect rect, QLZPopoverArrowDirection direction) const { return m_chrome.arrowRect(rect, direction); }
    // The same within the view's bounds, for its own direction.
    CGRect outerRectOfBounds() const { return outerRect(bounds(), arrowDirection()); }
    CGRect innerRectOfBounds() const { return innerRect(bounds(), arrowDirection()); }
    CGRect arrowRectOfBounds() const { return arrowRect(bounds(), arrowDirection()); }

    QLZPopoverArrowDirection arrowDirection() const noexcept { return m_chrome.arrowDirection; }
    void setArrowDirection(QLZPopoverArrowDirection direction) noexcept { m_chrome.arrowDirection = direction; }
    float arrowOffset() const noexcept { return m_chrome.arrowOffset; }
    // Keeps the arrow clear of the body's ends within the current bounds:
    // size the view first.
    void setArrowOffset(float offset);

    // MARK: Content
    // Installs the controller's view as the content, inside the border, with
    // the inner view above it.
    void setViewController(NSObject* viewController);
    UIView* contentView() const noexcept { return m_contentView.get(); }
    float navigationBarHeight() const noexcept { return m_chrome.navigationBarHeight; }
    UIEdgeInsets outerShadowInsets() const noexcept { return m_chrome.outerShadowInsets; }
    BOOL wantsDefaultContentAppearance() const noexcept { return m_chrome.wantsDefaultContentAppearance; }
    void setWantsDefaultContentAppearance(BOOL wants) noexcept { m_chrome.wantsDefaultContentAppearance = wants; }
    BOOL isAppearing() const noexcept { return m_appearing; }
    void setAppearing(BOOL appearing) noexcept { m_appearing = appearing; }
    QLZPopoverBackgroundInnerView* innerView() const noexcept { return m_innerView.get(); }
    CGSize contentSize() const noexcept { return m_contentSize; }

    // MARK: Display
    // Redraws the chrome and brings the inner view up to date.
    void setNeedsDisplay();
    // The layer's drawing: the chrome, for the layer named "parent" only.
    void drawLayer(CALayer* layer, CGContextRef context);
    const QLZPopoverChrome& chrome() const noexcept { return m_chrome; }

    // MARK: Touches
    // Tells the delegate that the outside was touched (the action of the
    // controller's tap recognizers).
    void tapOut();
    // Unowned.
    NSObject* delegate() const noexcept { return m_delegate; }
    void setDelegate(NSObject* delegate) noexcept { m_delegate = delegate; }

    // MARK: Look
    // The theme's tint colour replaces UIView's tintColor on this class.
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags)                                                           \
    QLZThemeValue::Kind::ViewValue name() const noexcept { return QLZThemeValue::Kind::view(m_chrome.name); } \
    void set##Name(QLZThemeValue::Kind::ViewValue value) { m_chrome.name = value; }
#include "popover/QLZPopoverThemeProperties.def"

    ~QLZPopoverBackgroundView() override;

private:
    QLZPopoverBackgroundView() = default;
    // What the inner view draws with: the look, then the content's place.
    void copyLookIntoInnerView();
    void copyPlacementIntoInnerView();

    QLZPopoverChrome m_chrome;
    NSObject* m_delegate = nullptr;
    RefPtr<UIView> m_contentView;
    BOOL m_appearing = NO;
    CGSize m_contentSize;
    RefPtr<QLZPopoverBackgroundInnerView> m_innerView;
};

// The frame drawn over the content: the chrome's gradient in the content's
// rounded corners, the content's shadow and a one-point stroke. It lets
// touches through to the content.
class QLZPopoverBackgroundInnerView : public UIView {
    OBJC_CLASS(QLZPopoverBackgroundInnerView)
public:
    static Ref<QLZPopoverBackgroundInnerView> create(CGRect frame);
    // Clear, and without user interaction.
    UIView* initWithFrame(CGRect frame) override;
    void drawRect(CGRect rect) override;

    const QLZPopoverContentFrame& contentFrame() const noexcept { return m_frame; }

    UIColor* innerStrokeColor() const noexcept { return m_frame.innerStrokeColor.get(); }
    void setInnerStrokeColor(UIColor* color) { m_frame.innerStrokeColor = color; }
    UIColor* gradientTopColor() const noexcept { return m_frame.gradientTopColor.get(); }
    void setGradientTopColor(UIColor* color) { m_frame.gradientTopColor = color; }
    UIColor* gradientBottomColor() const noexcept { return m_frame.gradientBottomColor.get(); }
    void setGradientBottomColor(UIColor* color) { m_frame.gradientBottomColor = color; }
    float gradientHeight() const noexcept { return m_frame.gradientHeight; }
    void setGradientHeight(float height) noexcept { m_frame.gradientHeight = height; }
    float gradientTopPosition() const noexcept { return m_frame.gradientTopPosition; }
    void setGradientTopPosition(float position) noexcept { m_frame.gradientTopPosition = position; }
    UIColor* innerShadowColor() const noexcept { return m_frame.innerShadowColor.get(); }
    void setInnerShadowColor(UIColor* color) { m_frame.innerShadowColor = color; }
    CGSize innerShadowOffset() const noexcept { return m_frame.innerShadowOffset; }
    void setInnerShadowOffset(CGSize offset) noexcept { m_frame.innerShadowOffset = offset; }
    float innerShadowBlurRadius() const noexcept { return m_frame.innerShadowBlurRadius; }
    void setInnerShadowBlurRadius(float radius) noexcept { m_frame.innerShadowBlurRadius = radius; }
    float innerCornerRadius() const noexcept { return m_frame.innerCornerRadius; }
    void setInnerCornerRadius(float radius) noexcept { m_frame.innerCornerRadius = radius; }
    float navigationBarHeight() const noexcept { return m_frame.navigationBarHeight; }
    void setNavigationBarHeight(float height) noexcept { m_frame.navigationBarHeight = height; }
    BOOL wantsDefaultContentAppearance() const noexcept { return m_frame.wantsDefaultContentAppearance; }
    void setWantsDefaultContentAppearance(BOOL wants) noexcept { m_frame.wantsDefaultContentAppearance = wants; }
    float borderWidth() const noexcept { return m_frame.borderWidth; }
    void setBorderWidth(float width) noexcept { m_frame.borderWidth = width; }

    ~QLZPopoverBackgroundInnerView() override;

private:
    QLZPopoverBackgroundInnerView() = default;
    QLZPopoverContentFrame m_frame;
};
