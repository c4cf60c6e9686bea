#include "uikit/UIRendering.h"

#include "uikit/CALayer.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIControl.h"
#include "uikit/UIGraphics.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UILabel.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

#include <algorithm>

namespace UIRendering {

namespace {

using graphics::Font;
using graphics::RGBA;

constexpr Font kLabelFont { 17, false };
constexpr Font kButtonFont { 15, false };

// The look of the platform's controls (approximately the iOS 7 to 9 ones).
constexpr RGBA kTrackGrey { 0.72, 0.72, 0.72, 1 };
constexpr RGBA kSwitchOutline { 0.9, 0.9, 0.92, 1 };
constexpr RGBA kSwitchOnGreen { 76 / 255.0, 217 / 255.0, 100 / 255.0, 1 };
constexpr RGBA kSeparatorGrey { 200 / 255.0, 199 / 255.0, 204 / 255.0, 1 };
constexpr RGBA kThumbOutline { 0, 0, 0, 0.08 };
constexpr CGFloat kSliderTrackHeight = 2;
constexpr CGFloat kSliderTrackInset = 2;
constexpr CGFloat kSliderThumbDiameter = 28;
constexpr CGFloat kSwitchThumbInset = 2;
constexpr CGFloat kDisabledControlAlpha = 0.45;

bool isKindOf(const UIView* view, Class cls)
{
    return class_isSubclassOf(object_getClass(const_cast<UIView*>(view)), cls);
}

RGBA rgba(const UIColor* color)
{
    return graphics::resolveColor(color->CGColor());
}

RGBA withAlpha(RGBA color, CGFloat factor)
{
    color.alpha *= factor;
    return color;
}

Ref<CGPath> roundedRect(CGRect rect, CGFloat radius)
{
    if (radius <= 0) {
        auto path = CGPath::create();
        path->addRect(rect);
        return path;
    }
    return UIBezierPath::bezierPathWithRoundedRect(rect, radius)->CGPath()->copy();
}

Ref<CGPath> oval(CGRect rect)
{
    auto path = CGPath::create();
    path->addEllipseInRect(rect);
    return path;
}

void fill(CGContext* context, const Ref<CGPath>& path, const RGBA& color, bool evenOdd = false)
{
    context->setFillColor(color);
    context->drawPath(path, evenOdd ? kCGPathEOFill : kCGPathFill);
}

void clipTo(CGContext* context, const Ref<CGPath>& path)
{
    context->beginPath();
    context->path().addPath(path.get());
    context->clip(false);
}

// Saves the graphics state for a piece of drawing and puts it back however
// the drawing left it (saved states and transparency layers included).
class StateScope {
public:
    explicit StateScope(CGContext* context)
        : m_context(context)
        , m_layers(context->transparencyLayerDepth())
        , m_states(context->savedStateCount())
    {
        context->saveGState();
    }
    ~StateScope()
    {
        while (m_context->transparencyLayerDepth() > m_layers)
            m_context->endTransparencyLayer();
        while (m_context->savedStateCount() > m_states)
            m_context->restoreGState();
    }
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    CGContext* m_context;
    size_t m_layers;
    size_t m_states;
};

// A group composited at alpha when alpha is below 1.
class AlphaGroup {
public:
    AlphaGroup(CGContext* context, CGFloat alpha)
        : m_context(alpha < 1 ? context : nullptr)
    {
        if (!m_context)
            return;
        context->saveGState();
        context->setAlpha(alpha);
        context->beginTransparencyLayer();
    }
    ~AlphaGroup()
    {
        if (!m_context)
            return;
        m_context->endTransparencyLayer();
        m_context->restoreGState();
    }
    AlphaGroup(const AlphaGroup&) = delete;
    AlphaGroup& operator=(const AlphaGroup&) = delete;

private:
    CGContext* m_context;
};

// MARK: Content of the platform's controls

// One line of text in rect, centred vertically, aligned horizontally
// (NSTextAlignment: 1 centre, 2 right, anything else left).
void drawLine(CGContext* context, NSString* text, CGRect rect, const Font& font, const RGBA& color, NSInteger alignment)
{
    if (!text || !text->length() || color.alpha <= 0)
        return;
    std::string line = graphics::truncateText(text->view(), font, rect.size.width);
    graphics::TextExtent extent = graphics::measureText(line, font);
    CGFloat x = CGRectGetMinX(rect);
    if (alignment == 1)
        x = CGRectGetMidX(rect) - extent.width / 2;
    else if (alignment == 2)
        x = CGRectGetMaxX(rect) - extent.width;
    CGFloat baseline = CGRectGetMidY(rect) + (extent.ascent - extent.descent) / 2;
    context->setFillColor(color);
    context->showText(line, CGPointMake(x, baseline), font);
}

void drawLabel(UILabel* label, CGContext* context)
{
    drawLine(context, label->text(), label->bounds(), kLabelFont, rgba(label->textColor()), label->textAlignment());
}

void drawButtonTitle(UIButton* button, CGContext* context)
{
    NSString* title = button->currentTitle();
    if (!title)
        return;
    UIColor* chosen = button->titleColorForState(button->state());
    RGBA color;
    if (chosen)
        color = rgba(chosen);
    else if (button->buttonType() == UIButtonTypeSystem)
        color = rgba(button->tintColor().ptr());
    else
        color = { 1, 1, 1, 1 };
    // Without a colour of its own for the disabled state, a disabled title is dimmed.
    if (!button->isEnabled() && button->titleColorForState(UIControlStateDisabled) == button->titleColorForState(UIControlStateNormal))
        color = withAlpha(color, kDisabledControlAlpha);
    drawLine(context, title, button->bounds(), kButtonFont, color, 1);
}

// A white thumb with a soft shadow beneath it.
void drawThumb(CGContext* context, CGRect rect, UIColor* tint)
{
    auto shape = oval(rect);
    {
        StateScope scope(context);
        static CGColor* shadow = [] {
            CGFloat components[] = { 0, 0.3 };
            return CGColor::create(CGColorSpace::create(kCGColorSpaceModelMonochrome).ptr(), components).leakRef();
        }();
        context->setShadow(CGSizeMake(0, 2), 5, shadow);
        fill(context, shape, tint ? rgba(tint) : RGBA { 1, 1, 1, 1 });
    }
    context->setStrokeColor(kThumbOutline);
    context->setLineWidth(0.5);
    context->drawPath(oval(CGRectInset(rect, 0.25, 0.25)), kCGPathStroke);
}

void drawSlider(UISlider* slider, CGContext* context)
{
    CGRect bounds = slider->bounds();
    CGFloat midY = CGRectGetMidY(bounds);
    CGFloat thumbX = CGRectGetMidX(slider->thumbRect());
    CGFloat left = CGRectGetMinX(bounds) + kSliderTrackInset;
    CGFloat right = CGRectGetMaxX(bounds) - kSliderTrackInset;
    CGFloat top = midY - kSliderTrackHeight / 2;
    RGBA minimum = slider->minimumTrackTintColor() ? rgba(slider->minimumTrackTintColor()) : rgba(slider->tintColor().ptr());
    RGBA maximum = slider->maximumTrackTintColor() ? rgba(slider->maximumTrackTintColor()) : kTrackGrey;

    AlphaGroup dimmed(context, slider->isEnabled() ? 1 : kDisabledControlAlpha);
    if (right > left) {
        CGFloat split = std::clamp(thumbX, left, right);
        {
            StateScope scope(context);
            context->clipToRect(CGRectMake(split, top - 1, right - split + 1, kSliderTrackHeight + 2));
            fill(context, roundedRect(CGRectMake(left, top, right - left, kSliderTrackHeight), kSliderTrackHeight / 2), maximum);
        }
        {
            StateScope scope(context);
            context->clipToRect(CGRectMake(left - 1, top - 1, split - left + 1, kSliderTrackHeight + 2));
            fill(context, roundedRect(CGRectMake(left, top, right - left, kSliderTrackHeight), kSliderTrackHeight / 2), minimum);
        }
    }
    CGFloat radius = kSliderThumbDiameter / 2;
    drawThumb(context, CGRectMake(thumbX - radius, midY - radius, kSliderThumbDiameter, kSliderThumbDiameter), slider->thumbTintColor());
}

void drawSwitch(UISwitch* control, CGContext* context)
{
    CGRect bounds = control->bounds();
    CGRect track = CGRectMake(bounds.origin.x, bounds.origin.y, UISwitch::kSize.width, UISwitch::kSize.height);
    CGFloat radius = track.size.height / 2;
    BOOL on = control->isOn();

    AlphaGroup dimmed(context, control->isEnabled() ? 1 : kDisabledControlAlpha);
    if (on) {
        fill(context, roundedRect(track, radius), control->onTintColor() ? rgba(control->onTintColor()) : kSwitchOnGreen);
    } else {
        context->setStrokeColor(kSwitchOutline);
        context->setLineWidth(1.5);
        context->drawPath(roundedRect(CGRectInset(track, 0.75, 0.75), radius - 0.75), kCGPathStroke);
    }
    CGFloat diameter = track.size.height - 2 * kSwitchThumbInset;
    CGFloat x = on ? CGRectGetMaxX(track) - kSwitchThumbInset - diameter : CGRectGetMinX(track) + kSwitchThumbInset;
    drawThumb(context, CGRectMake(x, CGRectGetMinY(track) + kSwitchThumbInset, diameter, diameter), control->thumbTintColor());
}

// A plain table's cells show a hairline at their bottom, inset as the
// table's separators are.
void drawCellSeparator(UITableViewCell* cell, CGContext* context)
{
    UIView* superview = cell->superview();
    if (!superview || !isKindOf(superview, UITableView::staticClass()))
        return;
    auto* table = static_cast<UITableView*>(superview);
    if (table->separatorStyle() == UITableViewCellSeparatorStyleNone)
        return;
    CGRect bounds = cell->bounds();
    UIEdgeInsets inset = table->separatorInset();
    CGFloat hairline = 1 / std::max<CGFloat>(UIScreen::mainScreen()->scale(), 1);
    CGRect line = CGRectMake(CGRectGetMinX(bounds) + inset.left, CGRectGetMaxY(bounds) - hairline, bounds.size.width - inset.left - inset.right, hairline);
    if (line.size.width > 0)
        fill(context, roundedRect(line, 0), kSeparatorGrey);
}

void drawBuiltInContent(UIView* view, CGContext* context)
{
    if (isKindOf(view, UILabel::staticClass()))
        drawLabel(static_cast<UILabel*>(view), context);
    else if (isKindOf(view, UISlider::staticClass()))
        drawSlider(static_cast<UISlider*>(view), context);
    else if (isKindOf(view, UISwitch::staticClass()))
        drawSwitch(static_cast<UISwitch*>(view), context);
    else if (isKindOf(view, UIButton::staticClass()))
        drawButtonTitle(static_cast<UIButton*>(view), context);
    else if (isKindOf(view, UITableViewCell::staticClass()))
        drawCellSeparator(static_cast<UITableViewCell*>(view), context);
}

// MARK: The tree

void drawContent(UIView* view, CGContext* context)
{
    CGRect bounds = view->bounds();
    CALayer* layer = view->layer();
    NSObject* delegate = layer->delegate();
    SEL drawLayer = "drawLayer:inContext:"_sel;
    if (delegate && objc_respondsToSelector(delegate, drawLayer)) {
        StateScope scope(context);
        context->clipToRect(bounds);
        objc_msgSend<void>(delegate, drawLayer, layer, context);
        return;
    }
    {
        StateScope scope(context);
        drawBuiltInContent(view, context);
    }
    StateScope scope(context);
    context->clipToRect(bounds);
    UIGraphicsPushContext(context);
    struct PopContext {
        ~PopContext() { UIGraphicsPopContext(); }
    } popContext;
    objc_msgSend<void>(view, "drawRect:"_sel, bounds);
}

void drawBorder(UIView* view, CGContext* context)
{
    CALayer* layer = view->layer();
    CGFloat width = layer->borderWidth();
    CGColorRef color = layer->borderColor();
    if (!(width > 0) || !color || CGColorGetAlpha(color) <= 0)
        return;
    CGRect bounds = view->bounds();
    CGFloat radius = layer->cornerRadius();
    auto ring = roundedRect(bounds, radius);
    CGRect inner = CGRectInset(bounds, width, width);
    if (inner.size.width > 0 && inner.size.height > 0)
        ring->addPath(roundedRect(inner, std::max<CGFloat>(radius - width, 0)).get());
    fill(context, ring, graphics::resolveColor(color), true);
}

// Draws view (not hidden, alpha at least 0.01) in the current user space,
// which is its bounds coordinate space.
void drawView(UIView* view, CGContext* context)
{
    AlphaGroup group(context, view->alpha());
    CALayer* layer = view->layer();
    CGRect bounds = view->bounds();
    bool hasArea = bounds.size.width > 0 && bounds.size.height > 0;
    if (view->clipsToBounds()) {
        if (!hasArea)
            return;
        clipTo(context, roundedRect(bounds, layer->cornerRadius()));
    }
    if (hasArea) {
        if (UIColor* background = view->backgroundColor(); background && background->alpha() > 0)
            fill(context, roundedRect(bounds, layer->cornerRadius()), rgba(background));
        drawContent(view, context);
    }

    // The list may change while drawing code runs; hold the subviews.
    std::vector<Ref<UIView>> subviews = view->subviews();
    for (const Ref<UIView>& subview : subviews) {
        if (subview->isHidden() || subview->alpha() < kUIViewMinimumVisibleAlpha)
            continue;
        CGAffineTransform transform = subview->transform();
        if (transform.a * transform.d - transform.b * transform.c == 0)
            continue;
        StateScope scope(context);
        CGPoint center = subview->center();
        CGRect subBounds = subview->bounds();
        context->concatCTM(CGAffineTransformMakeTranslation(center.x, center.y));
        context->concatCTM(transform);
        context->concatCTM(CGAffineTransformMakeTranslation(-(subBounds.origin.x + subBounds.size.width / 2), -(subBounds.origin.y + subBounds.size.height / 2)));
        drawView(subview.ptr(), context);
    }

    if (hasArea)
        drawBorder(view, context);
}

} // namespace

void renderView(UIView* view, CGContextRef context)
{
    if (!view || !context || view->isHidden() || view->alpha() < kUIViewMinimumVisibleAlpha)
        return;
    Ref<UIView> protectedView(*view);
    StateScope scope(context);
    CGRect bounds = view->bounds();
    context->concatCTM(CGAffineTransformMakeTranslation(-bounds.origin.x, -bounds.origin.y));
    drawView(view, context);
}

Ref<graphics::RasterContext> renderViewImage(UIView* view, CGFloat scale)
{
    if (!(scale > 0))
        scale = UIScreen::mainScreen()->scale();
    auto image = graphics::RasterContext::create(view ? view->bounds().size : CGSizeZero, scale);
    renderView(view, image.ptr());
    return image;
}

Ref<graphics::RasterContext> renderWindow(UIWindow* window, CGFloat scale)
{
    UIKitSimulator::layoutWindows();
    if (!(scale > 0))
        scale = UIScreen::mainScreen()->scale();
    CGSize size = window ? window->bounds().size : UIScreen::mainScreen()->bounds().size;
    auto image = graphics::RasterContext::create(size, scale);
    image->saveGState();
    image->setFillColor({ 0, 0, 0, 1 });
    image->fillRect(CGRectMake(0, 0, size.width, size.height));
    image->restoreGState();
    renderView(window, image.ptr());
    return image;
}

std::string writeKeyWindowPNG(const std::string& path)
{
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return "there is no key window";
    auto image = renderWindow(window);
    if (!image->writePNG(path))
        return "cannot write " + path;
    return {};
}

} // namespace UIRendering
