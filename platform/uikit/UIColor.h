// Colours: a colour space model (monochrome or RGB) and its components, as
// UIKit keeps them.
#pragma once

#include "foundation/NSString.h"
#include "graphics/CGColor.h"

class PLATFORM_EXPORT UIColor : public NSObject {
    OBJC_CLASS(UIColor)
public:
    static Ref<UIColor> colorWithWhite(CGFloat white, CGFloat alpha);
    static Ref<UIColor> colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    static Ref<UIColor> colorWithCGColor(CGColorRef color);

    // The named colours are shared objects.
    static UIColor* whiteColor();
    static UIColor* blackColor();
    static UIColor* grayColor();
    static UIColor* darkGrayColor();
    static UIColor* lightGrayColor();
    static UIColor* clearColor();
    static UIColor* redColor();
    static UIColor* greenColor();
    static UIColor* blueColor();
    static UIColor* yellowColor();
    static UIColor* orangeColor();
    static UIColor* systemYellowColor();
    static UIColor* systemOrangeColor();

    CGColorRef CGColor() const noexcept { return m_color.ptr(); }
    CGColorSpaceModel model() const noexcept { return CGColorSpaceGetModel(m_color->colorSpace()); }
    CGFloat alpha() const noexcept { return m_color->alpha(); }
    // YES only for a monochrome colour.
    BOOL getWhite(CGFloat* white, CGFloat* alpha) const noexcept;
    // YES for an RGB colour, and for a monochrome one (white in all three).
    BOOL getRed(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const noexcept;
    Ref<UIColor> colorWithAlphaComponent(CGFloat alpha) const;

    // Make this the fill colour, the stroke colour, or both, of the current
    // UIKit context (UIGraphicsGetCurrentContext); nothing without one.
    void setFill() const;
    void setStroke() const;
    void set() const;

    bool isEqual(const Object* other) const noexcept override;
    NSUInteger hash() const noexcept override;
    Ref<NSString> description() const;

private:
    explicit UIColor(Ref<::CGColor> color);
    UIColor();
    Ref<::CGColor> m_color;
};
