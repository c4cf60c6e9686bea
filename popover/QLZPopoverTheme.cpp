#include "popover/QLZPopoverTheme.h"

#include "foundation/NSKeyValueObserving.h"

#include <algorithm>
#include <vector>

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
    static Class cls = [] {
        ClassBuilder<QLZPopoverTheme> builder("QLZPopoverTheme", &OBJC_CLASS_NSObject);
        builder.classMethod<&QLZPopoverTheme::theme>("theme")
            .classMethod<&QLZPopoverTheme::themeForIOS7>("themeForIOS7")
            .method<&QLZPopoverTheme::observableKeypaths>("observableKeypaths");
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) \
    builder.method<&QLZPopoverTheme::name>(#name).method<&QLZPopoverTheme::set##Name>("set" #Name ":");
#include "popover/QLZPopoverThemeProperties.def"
        return builder.build();
    }();
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
    std::vector<RefPtr<Object>> keyPaths;
#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags) \
    if constexpr (((Flags)&QLZThemeObserved) != 0)  \
        keyPaths.push_back(#name ""_ns);
#include "popover/QLZPopoverThemeProperties.def"
    return NSArray::create(std::move(keyPaths));
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

NSUInteger QLZPopoverTheme::innerCornerRadius() const
{
    NSUInteger radius = m_borderWidth ? m_innerCornerRadius : m_outerCornerRadius;
    return static_cast<NSUInteger>(static_cast<float>(radius));
}

CGSize QLZPopoverTheme::outerShadowOffset() const
{
    CGFloat blur = static_cast<CGFloat>(m_outerShadowBlurRadius);
    return CGSizeMake(std::min(m_outerShadowOffset.width, blur), std::min(m_outerShadowOffset.height, blur));
}

// MARK: Setters

#define QLZ_THEME_PROPERTY(Kind, name, Name, Flags)                      \
    void QLZPopoverTheme::set##Name(QLZThemeValue::Kind::Argument value) \
    {                                                                    \
        kvo::setObservedValue(this, #name ""_ns, m_##name, value);       \
    }
#include "popover/QLZPopoverThemeProperties.def"
