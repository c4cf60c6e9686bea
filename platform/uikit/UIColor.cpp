#include "uikit/UIColor.h"

#include "uikit/UIGraphics.h"

#include <functional>

namespace {

BOOL getWhiteAlpha(id self, SEL, CGFloat* white, CGFloat* alpha)
{
    return static_cast<UIColor*>(self)->getWhite(white, alpha);
}

BOOL getRGBA(id self, SEL, CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha)
{
    return static_cast<UIColor*>(self)->getRed(red, green, blue, alpha);
}

UIColor* named(RefPtr<UIColor>& slot, const std::function<Ref<UIColor>()>& make)
{
    if (!slot)
        slot = make();
    return slot.get();
}

#define NAMED_COLOR(name, expression)                   \
    UIColor* UIColor::name()                            \
    {                                                   \
        static RefPtr<UIColor> color;                   \
        return named(color, [] { return expression; }); \
    }

} // namespace

Class UIColor::staticClass()
{
    static Class cls = ClassBuilder<UIColor>("UIColor", &OBJC_CLASS_NSObject)
                           .classMethod<&UIColor::colorWithWhite>("colorWithWhite:alpha:")
                           .classMethod<&UIColor::colorWithRed>("colorWithRed:green:blue:alpha:")
                           .classMethod<&UIColor::colorWithCGColor>("colorWithCGColor:")
                           .classMethod<&UIColor::whiteColor>("whiteColor")
                           .classMethod<&UIColor::blackColor>("blackColor")
                           .classMethod<&UIColor::grayColor>("grayColor")
                           .classMethod<&UIColor::darkGrayColor>("darkGrayColor")
                           .classMethod<&UIColor::lightGrayColor>("lightGrayColor")
                           .classMethod<&UIColor::clearColor>("clearColor")
                           .classMethod<&UIColor::redColor>("redColor")
                           .classMethod<&UIColor::greenColor>("greenColor")
                           .classMethod<&UIColor::blueColor>("blueColor")
                           .classMethod<&UIColor::yellowColor>("yellowColor")
                           .classMethod<&UIColor::orangeColor>("orangeColor")
                           .classMethod<&UIColor::systemYellowColor>("systemYellowColor")
                           .classMethod<&UIColor::systemOrangeColor>("systemOrangeColor")
                           .method<&UIColor::CGColor>("CGColor")
                           .method("getWhite:alpha:", getWhiteAlpha)
                           .method("getRed:green:blue:alpha:", getRGBA)
                           .method<&UIColor::colorWithAlphaComponent>("colorWithAlphaComponent:")
                           .method<&UIColor::description>("description")
                           .method<&UIColor::setFill>("setFill")
                           .method<&UIColor::setStroke>("setStroke")
                           .method<&UIColor::set>("set")
                           .build();
    return cls;
}

UIColor::UIColor(Ref<::CGColor> color)
    : m_color(std::move(color))
{
}

UIColor::UIColor()
    : UIColor(adoptRef(*CGColorCreate(adoptRef(*CGColorSpaceCreateDeviceGray()).ptr(), std::array<CGFloat, 2> { 0, 1 }.data())))
{
}

Ref<UIColor> UIColor::colorWithWhite(CGFloat white, CGFloat alpha)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceGray());
    CGFloat components[] = { white, alpha };
    return adoptObject(new UIColor(adoptRef(*CGColorCreate(space.ptr(), components))));
}

Ref<UIColor> UIColor::colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    auto space = adoptRef(*CGColorSpaceCreateDeviceRGB());
    CGFloat components[] = { red, green, blue, alpha };
    return adoptObject(new UIColor(adoptRef(*CGColorCreate(space.ptr(), components))));
}

Ref<UIColor> UIColor::colorWithCGColor(CGColorRef color)
{
    if (!color)
        return colorWithWhite(0, 0);
    return adoptObject(new UIColor(Ref<::CGColor>(*color)));
}

NAMED_COLOR(whiteColor, colorWithWhite(1, 1))
NAMED_COLOR(blackColor, colorWithWhite(0, 1))
NAMED_COLOR(grayColor, colorWithWhite(0.5, 1))
NAMED_COLOR(darkGrayColor, colorWithWhite(1.0 / 3, 1))
NAMED_COLOR(lightGrayColor, colorWithWhite(2.0 / 3, 1))
NAMED_COLOR(clearColor, colorWithWhite(0, 0))
NAMED_COLOR(redColor, colorWithRed(1, 0, 0, 1))
NAMED_COLOR(greenColor, colorWithRed(0, 1, 0, 1))
NAMED_COLOR(blueColor, colorWithRed(0, 0, 1, 1))
NAMED_COLOR(yellowColor, colorWithRed(1, 1, 0, 1))
NAMED_COLOR(orangeColor, colorWithRed(1, 0.5, 0, 1))
NAMED_COLOR(systemYellowColor, colorWithRed(255 / 255.0, 204 / 255.0, 0, 1))
NAMED_COLOR(systemOrangeColor, colorWithRed(255 / 255.0, 149 / 255.0, 0, 1))

BOOL UIColor::getWhite(CGFloat* white, CGFloat* alpha) const noexcept
{
    if (model() != kCGColorSpaceModelMonochrome)
        return NO;
    const CGFloat* components = m_color->components();
    if (white)
        *white = components[0];
    if (alpha)
        *alpha = components[1];
    return YES;
}

BOOL UIColor::getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const noexcept
{
    const CGFloat* components = m_color->components();
    CGFloat r, g, b, a;
    switch (model()) {
    case kCGColorSpaceModelMonochrome:
        r = g = b = components[0];
        a = components[1];
        break;
    case kCGColorSpaceModelRGB:
        r = components[0];
        g = components[1];
        b = components[2];
        a = components[3];
        break;
    default:
        return NO;
    }
    if (red)
        *red = r;
    if (green)
        *green = g;
    if (blue)
        *blue = b;
    if (alpha)
        *alpha = a;
    return YES;
}

Ref<UIColor> UIColor::colorWithAlphaComponent(CGFloat alpha) const
{
    CGFloat components[5];
    size_t count = m_color->numberOfComponents();
    for (size_t i = 0; i < count; ++i)
        components[i] = m_color->components()[i];
    components[count - 1] = alpha;
    return adoptObject(new UIColor(adoptRef(*CGColorCreate(m_color->colorSpace(), components))));
}

void UIColor::setFill() const
{
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), m_color.ptr());
}

void UIColor::setStroke() const
{
    CGContextSetStrokeColorWithColor(UIGraphicsGetCurrentContext(), m_color.ptr());
}

void UIColor::set() const
{
    setFill();
    setStroke();
}

bool UIColor::isEqual(const Object* other) const noexcept
{
    if (this == other)
        return true;
    if (!other || !class_isSubclassOf(other->isa(), staticClass()))
        return false;
    return m_color->isEqual(static_cast<const UIColor*>(other)->m_color.ptr());
}

NSUInteger UIColor::hash() const noexcept
{
    NSUInteger value = static_cast<NSUInteger>(model());
    for (size_t i = 0; i < m_color->numberOfComponents(); ++i)
        value = value * 31 + std::hash<double> {}(m_color->components()[i]);
    return value;
}

Ref<NSString> UIColor::description() const
{
    const CGFloat* c = m_color->components();
    if (model() == kCGColorSpaceModelMonochrome)
        return NSString::stringWithFormat("UIDeviceWhiteColorSpace %g %g", c[0], c[1]);
    return NSString::stringWithFormat("UIDeviceRGBColorSpace %g %g %g %g", c[0], c[1], c[2], c[3]);
}
