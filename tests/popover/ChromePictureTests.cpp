// The chrome painted into pictures, for each direction, with the default
// theme and with a theme that has a border, shadows and a gloss. The
// pictures are written next to the test binaries (popover-pictures/).
#include "PopoverTestSupport.h"

#include "graphics/RasterContext.h"
#include "popover/QLZPopoverChrome.h"
#include "popover/QLZPopoverTheme.h"
#include "uikit/UIGraphics.h"

#include <string>

using graphics::RasterContext;
using Pixel = RasterContext::Pixel;

namespace {

// The chrome as a controller sets it up from a theme.
QLZPopoverChrome chromeForTheme(QLZPopoverTheme* theme, QLZPopoverArrowDirection direction)
{
    QLZPopoverChrome chrome;
    chrome.usesRoundedArrow = theme->usesRoundedArrow();
    chrome.fillTopColor = theme->fillTopColor();
    chrome.fillBottomColor = theme->fillBottomColor();
    chrome.glossShadowColor = theme->glossShadowColor();
    chrome.glossShadowOffset = theme->glossShadowOffset();
    chrome.glossShadowBlurRadius = theme->glossShadowBlurRadius();
    chrome.borderWidth = theme->borderWidth();
    chrome.arrowBase = theme->arrowBase();
    chrome.arrowHeight = theme->arrowHeight();
    chrome.outerShadowColor = theme->outerShadowColor();
    chrome.outerStrokeColor = theme->outerStrokeColor();
    chrome.outerShadowBlurRadius = theme->outerShadowBlurRadius();
    chrome.outerShadowOffset = theme->outerShadowOffset();
    chrome.outerCornerRadius = theme->outerCornerRadius();
    chrome.minOuterCornerRadius = theme->minOuterCornerRadius();
    chrome.viewContentInsets = theme->viewContentInsets();
    chrome.arrowDirection = direction;
    return chrome;
}

QLZPopoverContentFrame frameForTheme(QLZPopoverTheme* theme, const QLZPopoverChrome& chrome, CGRect bounds, CGRect content)
{
    QLZPopoverContentFrame frame;
    frame.gradientTopColor = theme->fillTopColor();
    frame.gradientBottomColor = theme->fillBottomColor();
    frame.innerShadowColor = theme->innerShadowColor();
    frame.innerStrokeColor = theme->innerStrokeColor();
    frame.innerShadowOffset = theme->innerShadowOffset();
    frame.innerCornerRadius = theme->innerCornerRadius();
    frame.innerShadowBlurRadius = theme->innerShadowBlurRadius();
    frame.borderWidth = theme->borderWidth();
    frame.gradientHeight = bounds.size.height - 2.0 * chrome.outerShadowBlurRadius;
    frame.gradientTopPosition = content.origin.y;
    return frame;
}

// A popover with 160 x 90 of plain white content, its chrome painted at
// (20, 20) in a 240 x 170 picture.
struct Picture {
    Ref<RasterContext> context;
    CGRect bounds;  // the chrome's bounds, in the picture
    CGRect content; // the content area, in the picture
};

constexpr CGPoint kOrigin = CGPointMake(20, 20);

Picture paint(QLZPopoverTheme* theme, QLZPopoverArrowDirection direction, float arrowOffset = 0)
{
    QLZPopoverChrome chrome = chromeForTheme(theme, direction);
    CGSize size = chrome.sizeThatFits(CGSizeMake(160, 90));
    CGRect bounds = CGRectMake(0, 0, size.width, size.height);
    chrome.arrowOffset = chrome.clampedArrowOffset(arrowOffset, bounds);
    CGRect content = CGRectIntegral(chrome.innerRect(bounds, direction));

    Picture picture { RasterContext::create(CGSizeMake(240, 170), 2), CGRectOffset(bounds, kOrigin.x, kOrigin.y),
        CGRectOffset(content, kOrigin.x, kOrigin.y) };
    CGContext* context = picture.context.ptr();
    UIGraphicsPushContext(context);
    CGContextTranslateCTM(context, kOrigin.x, kOrigin.y);
    chrome.draw(bounds);
    // The content view (pale blue; its layer rounds its corners like the
    // body's when there is no border), then the inner view's frame above it.
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, 0.85, 0.92, 1, 1);
    CGFloat radius = chrome.borderWidth ? 0 : chrome.outerCornerRadius;
    Ref<CGPath> contentShape = adoptRef(*CGPathCreateMutable());
    CGPathMoveToPoint(contentShape.ptr(), nullptr, CGRectGetMinX(content), CGRectGetMidY(content));
    CGPathAddArcToPoint(contentShape.ptr(), nullptr, CGRectGetMinX(content), CGRectGetMinY(content), CGRectGetMaxX(content), CGRectGetMinY(content), radius);
    CGPathAddArcToPoint(contentShape.ptr(), nullptr, CGRectGetMaxX(content), CGRectGetMinY(content), CGRectGetMaxX(content), CGRectGetMaxY(content), radius);
    CGPathAddArcToPoint(contentShape.ptr(), nullptr, CGRectGetMaxX(content), CGRectGetMaxY(content), CGRectGetMinX(content), CGRectGetMaxY(content), radius);
    CGPathAddArcToPoint(contentShape.ptr(), nullptr, CGRectGetMinX(content), CGRectGetMaxY(content), CGRectGetMinX(content), CGRectGetMinY(content), radius);
    CGPathCloseSubpath(contentShape.ptr());
    CGContextAddPath(context, contentShape.ptr());
    CGContextFillPath(context);
    CGContextRestoreGState(context);
    CGContextTranslateCTM(context, content.origin.x, content.origin.y);
    frameForTheme(theme, chrome, bounds, content).draw(CGRectMake(0, 0, content.size.width, content.size.height));
    UIGraphicsPopContext();
    return picture;
}

Ref<QLZPopoverTheme> framedTheme()
{
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    theme->setTintColor(UIColor::colorWithRed(0.25, 0.45, 0.75, 1).ptr());
    theme->setFillBottomColor(UIColor::colorWithRed(0.1, 0.2, 0.45, 1).ptr());
    theme->setBorderWidth(6);
    theme->setOuterCornerRadius(10);
    theme->setInnerCornerRadius(6);
    theme->setOuterShadowBlurRadius(8);
    theme->setOuterShadowOffset(CGSizeMake(0, 3));
    theme->setOuterShadowColor(UIColor::colorWithWhite(0, 0.6).ptr());
    theme->setOuterStrokeColor(nullptr);
    theme->setGlossShadowColor(nullptr);
    theme->setGlossShadowBlurRadius(2);
    theme->setGlossShadowOffset(CGSizeMake(0, 1));
    theme->setInnerShadowColor(UIColor::colorWithWhite(0, 0.5).ptr());
    theme->setInnerShadowBlurRadius(3);
    theme->setInnerStrokeColor(nullptr);
    return theme;
}

bool isClear(Pixel pixel)
{
    return pixel.alpha == 0;
}

const char* name(QLZPopoverArrowDirection direction)
{
    return QLZPopoverArrowDirectionName(direction)->UTF8String();
}

constexpr QLZPopoverArrowDirection kDirections[] = { QLZPopoverArrowDirectionUp, QLZPopoverArrowDirectionDown, QLZPopoverArrowDirectionLeft,
    QLZPopoverArrowDirectionRight, QLZPopoverArrowDirectionNone };

} // namespace

TEST(PopoverChromePicture, DefaultThemeInEachDirection)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    for (QLZPopoverArrowDirection direction : kDirections) {
        SCOPED_TRACE(name(direction));
        Picture picture = paint(theme.ptr(), direction, 30);
        EXPECT_TRUE(picture.context->writePNG(popover_testing::picturePath(std::string("default-") + name(direction) + ".png")));

        // Without a border the content covers the whole body but its
        // rounded corners; everything outside stays clear.
        QLZPopoverChrome chrome = chromeForTheme(theme.ptr(), direction);
        CGRect body = CGRectOffset(chrome.outerRect(CGRectOffset(picture.bounds, -kOrigin.x, -kOrigin.y), direction), kOrigin.x, kOrigin.y);
        EXPECT_EQ(picture.content, body);
        Pixel inside = picture.context->pixelAtPoint(CGPointMake(CGRectGetMinX(body) + 3, CGRectGetMidY(body)));
        EXPECT_EQ(inside, (Pixel { 217, 235, 255, 255 }));
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(CGPointMake(CGRectGetMinX(body) + 0.25, CGRectGetMinY(body) + 0.25))));
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(CGPointMake(CGRectGetMaxX(body) - 0.25, CGRectGetMaxY(body) - 0.25))));
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(CGPointMake(5, 5))));
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(CGPointMake(235, 165))));

        // The arrow, shifted by 30 along its side, is filled with the tint
        // (244 grey) near its tip;
        // the same place on the other side of the centre line is clear.
        CGPoint tipSide;
        CGPoint mirrored;
        switch (direction) {
        case QLZPopoverArrowDirectionUp:
            tipSide = CGPointMake(CGRectGetMidX(body) + 30, CGRectGetMinY(body) - 4);
            mirrored = CGPointMake(CGRectGetMidX(body) - 30, CGRectGetMinY(body) - 4);
            break;
        case QLZPopoverArrowDirectionDown:
            tipSide = CGPointMake(CGRectGetMidX(body) + 30, CGRectGetMaxY(body) + 4);
            mirrored = CGPointMake(CGRectGetMidX(body) - 30, CGRectGetMaxY(body) + 4);
            break;
        case QLZPopoverArrowDirectionLeft:
            tipSide = CGPointMake(CGRectGetMinX(body) - 4, CGRectGetMidY(body) + 30);
            mirrored = CGPointMake(CGRectGetMinX(body) - 4, CGRectGetMidY(body) - 30);
            break;
        case QLZPopoverArrowDirectionRight:
            tipSide = CGPointMake(CGRectGetMaxX(body) + 4, CGRectGetMidY(body) + 30);
            mirrored = CGPointMake(CGRectGetMaxX(body) + 4, CGRectGetMidY(body) - 30);
            break;
        default:
            continue;
        }
        EXPECT_EQ(picture.context->pixelAtPoint(tipSide).red, 244);
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(mirrored)));
    }
}

TEST(PopoverChromePicture, BorderShadowsAndGlossInEachDirection)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = framedTheme();
    for (QLZPopoverArrowDirection direction : kDirections) {
        SCOPED_TRACE(name(direction));
        Picture picture = paint(theme.ptr(), direction);
        EXPECT_TRUE(picture.context->writePNG(popover_testing::picturePath(std::string("framed-") + name(direction) + ".png")));

        // The border band is the gradient between the body's edge and the
        // content: bluish, and opaque.
        Pixel border = picture.context->pixelAtPoint(CGPointMake(CGRectGetMinX(picture.content) - 2, CGRectGetMidY(picture.content)));
        EXPECT_EQ(border.alpha, 255);
        EXPECT_GT(border.blue, border.red);
        // The content keeps its colour in its middle.
        Pixel middle = picture.context->pixelAtPoint(CGPointMake(CGRectGetMidX(picture.content), CGRectGetMidY(picture.content)));
        EXPECT_EQ(middle, (Pixel { 217, 235, 255, 255 }));
        // The content's corner is painted over by the border's gradient.
        Pixel corner = picture.context->pixelAtPoint(CGPointMake(CGRectGetMinX(picture.content) + 0.5, CGRectGetMaxY(picture.content) - 0.5));
        EXPECT_GT(corner.blue, corner.red);
        // The outer shadow darkens the margin below the body, a little.
        Pixel shadow = picture.context->pixelAtPoint(CGPointMake(CGRectGetMidX(picture.bounds) - 40, CGRectGetMaxY(picture.bounds) - 2));
        if (direction != QLZPopoverArrowDirectionDown) {
            EXPECT_GT(shadow.alpha, 0);
            EXPECT_LT(shadow.alpha, 200);
            EXPECT_EQ(shadow.red, 0);
        }
        // Far from the popover the picture stays clear.
        EXPECT_TRUE(isClear(picture.context->pixelAtPoint(CGPointMake(1, 1))));
    }
}

TEST(PopoverChromePicture, UnknownDirectionPaintsNothing)
{
    AutoreleasePool pool;
    Ref<QLZPopoverTheme> theme = QLZPopoverTheme::theme();
    QLZPopoverChrome chrome = chromeForTheme(theme.ptr(), 3);
    auto context = RasterContext::create(CGSizeMake(100, 100));
    UIGraphicsPushContext(context.ptr());
    chrome.draw(CGRectMake(0, 0, 100, 100));
    UIGraphicsPopContext();
    for (int y = 0; y < 100; y += 7) {
        for (int x = 0; x < 100; x += 7)
            ASSERT_TRUE(isClear(context->pixelAt(x, y))) << x << ", " << y;
    }
}
