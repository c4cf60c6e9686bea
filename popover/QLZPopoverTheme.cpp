#include "popover/QLZPopoverTheme.h"

#include "foundation/NSKeyValueObserving.h"

#include <algorithm>

namespace {

// The colour's red, green, blue and alpha: monochrome colours give their
// white in all three, RGB colours their components; any other colour, and
// no colour, gives zeros. Out-parameters may be null.
void QLZColorGetRGBA(UIColor* color, CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha)
{
    CGFloat r = 0, g = 0, b = 0, a = 0;
    if (color) {
        CGColorSpaceRef space = CGColorSpaceRetain(CGColorGetColorSpace(color->CGColor()));
        CGColorSpaceModel model = CGColorSpaceGetModel(space);
        CGColorSpaceRelease(space);
        if (model == kCGColorSpaceModelMonochrome) {
            objc_msgSend<BOOL>(color, "getWhite:alpha:"_sel, &r, &a);
            g = b = r;
        } else if (model == kCGColorSpaceModelRGB) {
            objc_msgSend<BOOL>(color, "getRed:green:blue:alpha:"_sel, &r, &g, &b, &a);
        }
    }
    if (red)
        *red = r;
    if (green)
        *green = g;
    if (blue)
        *blue = b;
    if (alpha)
        *alpha = a;
}

// The fill colour made darker, for strokes that have no colour of their own.
Ref<UIColor> darkened(UIColor* fill)
{
    CGFloat red, green, blue;
    QLZColorGetRGBA(fill, &red, &green, &blue, nullptr);
    constexpr double amount = 0.6f;
    return UIColor::colorWithRed(std::max(red - amount, 0.0), std::max(green - amount, 0.0), std::max(blue - amount, 0.0), 1.0);
}

// The fill colour made lighter, for a gloss that has no colour of its own.
Ref<UIColor> lightened(UIColor* fill)
{
    CGFloat red, green, blue;
    QLZColorGetRGBA(fill, &red, &green, &blue, nullptr);
    constexpr double amount = 0.2f;
    return UIColor::colorWithRed(std::min(red + amount, 1.0), std::min(green + amount, 1.0), std::min(blue + amount, 1.0), 1.0);
}

} // namespace

Class QLZPopoverTheme::staticClass()
{
    static Class cls = ClassBuilder<QLZPopoverTheme>("QLZPopoverTheme", &OBJC_CLASS_NSObject)
                           .classMethod<&QLZPopoverTheme::theme>("theme")
                           .classMethod<&QLZPopoverTheme::themeForIOS7>("themeForIOS7")
                           .method<&QLZPopoverTheme::observableKeypaths>("observableKeypaths")
                           .method<&QLZPopoverTheme::usesRoundedArrow>("usesRoundedArrow")
                           .method<&QLZPopoverTheme::setUsesRoundedArrow>("setUsesRoundedArrow:")
                           .method<&QLZPopoverTheme::dimsBackgroundViewsTintColor>("dimsBackgroundViewsTintColor")
                           .method<&QLZPopoverTheme::setDimsBackgroundViewsTintColor>("setDimsBackgroundViewsTintColor:")
                           .method<&QLZPopoverTheme::tintColor>("tintColor")
                           .method<&QLZPopoverTheme::setTintColor>("setTintColor:")
                           .method<&QLZPopoverTheme::fillTopColor>("fillTopColor")
                           .method<&QLZPopoverTheme::setFillTopColor>("setFillTopColor:")
                           .method<&QLZPopoverTheme::fillBottomColor>("fillBottomColor")
                           .method<&QLZPopoverTheme::setFillBottomColor>("setFillBottomColor:")
                           .method<&QLZPopoverTheme::glossShadowColor>("glossShadowColor")
                           .method<&QLZPopoverTheme::setGlossShadowColor>("setGlossShadowColor:")
                           .method<&QLZPopoverTheme::glossShadowOffset>("glossShadowOffset")
                           .method<&QLZPopoverTheme::setGlossShadowOffset>("setGlossShadowOffset:")
                           .method<&QLZPopoverTheme::glossShadowBlurRadius>("glossShadowBlurRadius")
                           .method<&QLZPopoverTheme::setGlossShadowBlurRadius>("setGlossShadowBlurRadius:")
                           .method<&QLZPopoverTheme::borderWidth>("borderWidth")
                           .method<&QLZPopoverTheme::setBorderWidth>("setBorderWidth:")
                           .method<&QLZPopoverTheme::arrowBase>("arrowBase")
                           .method<&QLZPopoverTheme::setArrowBase>("setArrowBase:")
                           .method<&QLZPopoverTheme::arrowHeight>("arrowHeight")
                           .method<&QLZPopoverTheme::setArrowHeight>("setArrowHeight:")
                           .method<&QLZPopoverTheme::outerShadowColor>("outerShadowColor")
                           .method<&QLZPopoverTheme::setOuterShadowColor>("setOuterShadowColor:")
                           .method<&QLZPopoverTheme::outerStrokeColor>("outerStrokeColor")
                           .method<&QLZPopoverTheme::setOuterStrokeColor>("setOuterStrokeColor:")
                           .method<&QLZPopoverTheme::outerShadowBlurRadius>("outerShadowBlurRadius")
                           .method<&QLZPopoverTheme::setOuterShadowBlurRadius>("setOuterShadowBlurRadius:")
                           .method<&QLZPopoverTheme::outerShadowOffset>("outerShadowOffset")
                           .method<&QLZPopoverTheme::setOuterShadowOffset>("setOuterShadowOffset:")
                           .method<&QLZPopoverTheme::outerCornerRadius>("outerCornerRadius")
                           .method<&QLZPopoverTheme::setOuterCornerRadius>("setOuterCornerRadius:")
                           .method<&QLZPopoverTheme::minOuterCornerRadius>("minOuterCornerRadius")
                           .method<&QLZPopoverTheme::setMinOuterCornerRadius>("setMinOuterCornerRadius:")
                           .method<&QLZPopoverTheme::innerShadowColor>("innerShadowColor")
                           .method<&QLZPopoverTheme::setInnerShadowColor>("setInnerShadowColor:")
                           .method<&QLZPopoverTheme::innerStrokeColor>("innerStrokeColor")
                           .method<&QLZPopoverTheme::setInnerStrokeColor>("setInnerStrokeColor:")
                           .method<&QLZPopoverTheme::innerShadowBlurRadius>("innerShadowBlurRadius")
                           .method<&QLZPopoverTheme::setInnerShadowBlurRadius>("setInnerShadowBlurRadius:")
                           .method<&QLZPopoverTheme::innerShadowOffset>("innerShadowOffset")
                           .method<&QLZPopoverTheme::setInnerShadowOffset>("setInnerShadowOffset:")
                           .method<&QLZPopoverTheme::innerCornerRadius>("innerCornerRadius")
                           .method<&QLZPopoverTheme::setInnerCornerRadius>("setInnerCornerRadius:")
                           .method<&QLZPopoverTheme::viewContentInsets>("viewContentInsets")
                           .method<&QLZPopoverTheme::setViewContentInsets>("setViewContentInsets:")
                           .method<&QLZPopoverTheme::overlayColor>("overlayColor")
                           .method<&QLZPopoverTheme::setOverlayColor>("setOverlayColor:")
                           .build();
    return cls;
}

QLZPopoverTheme::~QLZPopoverTheme() = default;

Ref<QLZPopoverTheme> QLZPopoverTheme::create()
{
    return adoptObject(new QLZPopoverTheme);
}

Ref<QLZPopoverTheme> QLZPopoverTheme::themeForIOS7()
{
    Ref<QLZPopoverTheme> theme = create();
    theme->setUsesRoundedArrow(YES);
    theme->setDimsBackgroundViewsTintColor(YES);
    constexpr CGFloat grey = 244 / 255.0;
    theme->setTintColor(UIColor::colorWithRed(grey, grey, grey, 1.0).ptr());
    theme->setFillTopColor(nullptr);
    theme->setFillBottomColor(nullptr);
    theme->setGlossShadowColor(nullptr);
    theme->setGlossShadowOffset(CGSizeZero);
    theme->setGlossShadowBlurRadius(0);
    theme->setBorderWidth(0);
    theme->setArrowBase(25);
    theme->setArrowHeight(13);
    theme->setOuterShadowColor(UIColor::clearColor());
    theme->setOuterStrokeColor(UIColor::clearColor());
    theme->setOuterShadowBlurRadius(0);
    theme->setOuterShadowOffset(CGSizeZero);
    theme->setOuterCornerRadius(5);
    theme->setMinOuterCornerRadius(0);
    theme->setInnerShadowColor(UIColor::clearColor());
    theme->setInnerStrokeColor(UIColor::clearColor());
    theme->setInnerShadowBlurRadius(0);
    theme->setInnerShadowOffset(CGSizeZero);
    theme->setInnerCornerRadius(0);
    theme->setViewContentInsets(UIEdgeInsetsZero);
    theme->setOverlayColor(UIColor::colorWithWhite(0.0, 0.15).ptr());
    return theme;
}

Ref<QLZPopoverTheme> QLZPopoverTheme::theme()
{
    return themeForIOS7();
}

Ref<NSArray> QLZPopoverTheme::observableKeypaths() const
{
    return NSArray::arrayWithObjects({ "tintColor"_ns, "outerStrokeColor"_ns, "innerStrokeColor"_ns, "fillTopColor"_ns, "fillBottomColor"_ns,
        "glossShadowColor"_ns, "glossShadowOffset"_ns, "glossShadowBlurRadius"_ns, "borderWidth"_ns, "arrowBase"_ns, "arrowHeight"_ns,
        "outerShadowColor"_ns, "outerShadowBlurRadius"_ns, "outerShadowOffset"_ns, "outerCornerRadius"_ns, "innerShadowColor"_ns,
        "innerShadowBlurRadius"_ns, "innerShadowOffset"_ns, "innerCornerRadius"_ns, "viewContentInsets"_ns, "overlayColor"_ns });
}

// MARK: Getters with fall-backs

RefPtr<UIColor> QLZPopoverTheme::fillTopColor() const
{
    return m_fillTopColor ? m_fillTopColor : m_tintColor;
}

RefPtr<UIColor> QLZPopoverTheme::fillBottomColor() const
{
    return m_fillBottomColor ? m_fillBottomColor : fillTopColor();
}

RefPtr<UIColor> QLZPopoverTheme::glossShadowColor() const
{
    if (m_glossShadowColor)
        return m_glossShadowColor;
    return lightened(fillTopColor().get());
}

RefPtr<UIColor> QLZPopoverTheme::outerStrokeColor() const
{
    if (m_outerStrokeColor)
        return m_outerStrokeColor;
    return darkened(fillTopColor().get());
}

RefPtr<UIColor> QLZPopoverTheme::innerStrokeColor() const
{
    if (m_innerStrokeColor)
        return m_innerStrokeColor;
    return darkened(fillTopColor().get());
}

NSUInteger QLZPopoverTheme::innerCornerRadius() const noexcept
{
    NSUInteger radius = m_borderWidth ? m_innerCornerRadius : m_outerCornerRadius;
    return static_cast<NSUInteger>(static_cast<float>(radius));
}

CGSize QLZPopoverTheme::outerShadowOffset() const noexcept
{
    CGFloat blur = static_cast<CGFloat>(m_outerShadowBlurRadius);
    return CGSizeMake(std::min(m_outerShadowOffset.width, blur), std::min(m_outerShadowOffset.height, blur));
}

// MARK: Setters

void QLZPopoverTheme::setUsesRoundedArrow(BOOL value)
{
    kvo::setObservedValue(this, "usesRoundedArrow"_ns, m_usesRoundedArrow, value);
}

void QLZPopoverTheme::setDimsBackgroundViewsTintColor(BOOL value)
{
    kvo::setObservedValue(this, "dimsBackgroundViewsTintColor"_ns, m_dimsBackgroundViewsTintColor, value);
}

void QLZPopoverTheme::setTintColor(UIColor* color)
{
    kvo::setObservedValue(this, "tintColor"_ns, m_tintColor, color);
}

void QLZPopoverTheme::setFillTopColor(UIColor* color)
{
    kvo::setObservedValue(this, "fillTopColor"_ns, m_fillTopColor, color);
}

void QLZPopoverTheme::setFillBottomColor(UIColor* color)
{
    kvo::setObservedValue(this, "fillBottomColor"_ns, m_fillBottomColor, color);
}

void QLZPopoverTheme::setGlossShadowColor(UIColor* color)
{
    kvo::setObservedValue(this, "glossShadowColor"_ns, m_glossShadowColor, color);
}

void QLZPopoverTheme::setGlossShadowOffset(CGSize offset)
{
    kvo::setObservedValue(this, "glossShadowOffset"_ns, m_glossShadowOffset, offset);
}

void QLZPopoverTheme::setGlossShadowBlurRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "glossShadowBlurRadius"_ns, m_glossShadowBlurRadius, radius);
}

void QLZPopoverTheme::setBorderWidth(NSUInteger width)
{
    kvo::setObservedValue(this, "borderWidth"_ns, m_borderWidth, width);
}

void QLZPopoverTheme::setArrowBase(NSUInteger base)
{
    kvo::setObservedValue(this, "arrowBase"_ns, m_arrowBase, base);
}

void QLZPopoverTheme::setArrowHeight(NSUInteger height)
{
    kvo::setObservedValue(this, "arrowHeight"_ns, m_arrowHeight, height);
}

void QLZPopoverTheme::setOuterShadowColor(UIColor* color)
{
    kvo::setObservedValue(this, "outerShadowColor"_ns, m_outerShadowColor, color);
}

void QLZPopoverTheme::setOuterStrokeColor(UIColor* color)
{
    kvo::setObservedValue(this, "outerStrokeColor"_ns, m_outerStrokeColor, color);
}

void QLZPopoverTheme::setOuterShadowBlurRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "outerShadowBlurRadius"_ns, m_outerShadowBlurRadius, radius);
}

void QLZPopoverTheme::setOuterShadowOffset(CGSize offset)
{
    kvo::setObservedValue(this, "outerShadowOffset"_ns, m_outerShadowOffset, offset);
}

void QLZPopoverTheme::setOuterCornerRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "outerCornerRadius"_ns, m_outerCornerRadius, radius);
}

void QLZPopoverTheme::setMinOuterCornerRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "minOuterCornerRadius"_ns, m_minOuterCornerRadius, radius);
}

void QLZPopoverTheme::setInnerShadowColor(UIColor* color)
{
    kvo::setObservedValue(this, "innerShadowColor"_ns, m_innerShadowColor, color);
}

void QLZPopoverTheme::setInnerStrokeColor(UIColor* color)
{
    kvo::setObservedValue(this, "innerStrokeColor"_ns, m_innerStrokeColor, color);
}

void QLZPopoverTheme::setInnerShadowBlurRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "innerShadowBlurRadius"_ns, m_innerShadowBlurRadius, radius);
}

void QLZPopoverTheme::setInnerShadowOffset(CGSize offset)
{
    kvo::setObservedValue(this, "innerShadowOffset"_ns, m_innerShadowOffset, offset);
}

void QLZPopoverTheme::setInnerCornerRadius(NSUInteger radius)
{
    kvo::setObservedValue(this, "innerCornerRadius"_ns, m_innerCornerRadius, radius);
}

void QLZPopoverTheme::setViewContentInsets(UIEdgeInsets insets)
{
    kvo::setObservedValue(this, "viewContentInsets"_ns, m_viewContentInsets, insets);
}

void QLZPopoverTheme::setOverlayColor(UIColor* color)
{
    kvo::setObservedValue(this, "overlayColor"_ns, m_overlayColor, color);
}
