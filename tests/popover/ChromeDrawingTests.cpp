// The chrome's outline and drawing, and the content frame, recorded and
// painted.
#include "PopoverTestSupport.h"
#include "support/Precision.h"

#include "graphics/RasterContext.h"
#include "graphics/RecordingContext.h"
#include "popover/QLZPopoverChrome.h"
#include "popover/QLZPopoverTheme.h"
#include "uikit/UIGraphics.h"

#include <cmath>
#include <vector>

using graphics::RasterContext;
using graphics::RecordingContext;
using Kind = RecordingContext::Kind;

namespace {

constexpr CGRect kBounds = CGRectMake(0, 0, 220, 113);

QLZPopoverChrome defaultChrome(QLZPopoverArrowDirection direction = QLZPopoverArrowDirectionDown)
{
    QLZPopoverChrome chrome;
    chrome.arrowBase = 25;
    chrome.arrowHeight = 13;
    chrome.outerCornerRadius = 5;
    chrome.arrowDirection = direction;
    return chrome;
}

struct Element {
    CGPathElementType type;
    std::vector<CGPoint> points;
};

std::vector<Element> elementsOf(const CGPath& path)
{
    std::vector<Element> elements;
    path.forEachElement([&](CGPathElementType type, const CGPoint* points) {
        elements.push_back({ type, std::vector<CGPoint>(points, points + CGPath::pointCount(type)) });
    });
    return elements;
}

// The points the outline passes through: the ends of its moves, lines and
// curves.
std::vector<CGPoint> onCurvePoints(const CGPath& path)
{
    std::vector<CGPoint> points;
    for (const auto& element : elementsOf(path)) {
        if (!element.points.empty())
            points.push_back(element.points.back());
    }
    return points;
}

bool near(CGPoint a, CGPoint b)
{
    return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9;
}

// Every expected point appears among the path's points, in this order.
void expectPassesThrough(const CGPath& path, const std::vector<CGPoint>& expected)
{
    auto points = onCurvePoints(path);
    size_t next = 0;
    for (const auto& point : points) {
        if (next < expected.size() && near(point, expected[next]))
            ++next;
    }
    EXPECT_EQ(next, expected.size()) << "the outline misses " << (next < expected.size() ? expected[next] : CGPoint {});
}

bool passesThrough(const CGPath& path, CGPoint point)
{
    for (const auto& p : onCurvePoints(path)) {
        if (near(p, point))
            return true;
    }
    return false;
}

const RecordingContext::Operation* find(const RecordingContext& context, Kind kind, size_t occurrence = 0)
{
    for (const auto& operation : context.operations()) {
        if (operation.kind == kind && occurrence-- == 0)
            return &operation;
    }
    return nullptr;
}

class CurrentContext {
public:
    explicit CurrentContext(CGContext* context) { UIGraphicsPushContext(context); }
    ~CurrentContext() { UIGraphicsPopContext(); }
};

} // namespace

TEST(PopoverChromeOutline, StraightArrowAndCornerRadii)
{
    AutoreleasePool pool;
    QLZPopoverChrome chrome = defaultChrome();
    Ref<CGPath> path = chrome.outline(kBounds);
    // Body (0.5, 0.5, 219, 99); the arrow's tip at (110, 112.5); its base
    // from (122, 99.5) to (98, 99.5); every corner rounded by 5.
    auto elements = elementsOf(path.get());
    ASSERT_GE(elements.size(), 3u);
    EXPECT_EQ(elements[0].type, kCGPathElementMoveToPoint);
    EXPECT_EQ(elements[0].points[0], CGPointMake(122, 99.5));
    EXPECT_EQ(elements[1].type, kCGPathElementAddLineToPoint);
    EXPECT_EQ(elements[1].points[0], CGPointMake(110, 112.5));
    EXPECT_EQ(elements[2].points[0], CGPointMake(98, 99.5));
    EXPECT_EQ(elements.back().type, kCGPathElementCloseSubpath);
    expectPassesThrough(path.get(), { { 5.5, 99.5 }, { 0.5, 94.5 }, { 0.5, 5.5 }, { 5.5, 0.5 }, { 214.5, 0.5 }, { 219.5, 5.5 }, { 219.5, 94.5 }, { 214.5, 99.5 }, { 122, 99.5 } });
    EXPECT_EQ(CGPathGetPathBoundingBox(path.ptr()), CGRectMake(0.5, 0.5, 219, 112));

    // At the clamp's limit the arrow leaves half a point before the
    // bottom-right corner, which gets that as its radius.
    chrome.arrowOffset = 97;
    path = chrome.outline(kBounds);
    expectPassesThrough(path.get(), { { 219, 99.5 }, { 207, 112.5 }, { 195, 99.5 }, { 5.5, 99.5 }, { 0.5, 94.5 }, { 219.5, 5.5 }, { 219.5, 99 }, { 219, 99.5 } });
    EXPECT_TRUE(passesThrough(path.get(), { 214.5, 0.5 }));

    // Shifted the other way, the bottom-left corner is the reduced one.
    chrome.arrowOffset = -97;
    path = chrome.outline(kBounds);
    expectPassesThrough(path.get(), { { 25, 99.5 }, { 13, 112.5 }, { 1, 99.5 }, { 0.5, 99 }, { 0.5, 5.5 }, { 219.5, 94.5 }, { 214.5, 99.5 } });

    // Up: the arrow on the top edge, the first corner after it top right.
    chrome = defaultChrome(QLZPopoverArrowDirectionUp);
    path = chrome.outline(kBounds);
    expectPassesThrough(path.get(), { { 98, 13.5 }, { 110, 0.5 }, { 122, 13.5 }, { 214.5, 13.5 }, { 219.5, 18.5 }, { 219.5, 107.5 }, { 5.5, 112.5 }, { 0.5, 18.5 }, { 5.5, 13.5 }, { 98, 13.5 } });

    // Left and right: the arrow on a side, shifted downwards by the offset.
    chrome = defaultChrome(QLZPopoverArrowDirectionLeft);
    chrome.arrowOffset = 10;
    path = chrome.outline(CGRectMake(0, 0, 233, 100));
    expectPassesThrough(path.get(), { { 13.5, 72 }, { 0.5, 60 }, { 13.5, 48 }, { 13.5, 5.5 }, { 18.5, 0.5 }, { 232.5, 5.5 }, { 227.5, 99.5 }, { 13.5, 94.5 }, { 13.5, 72 } });
    chrome.arrowDirection = QLZPopoverArrowDirectionRight;
    path = chrome.outline(CGRectMake(0, 0, 233, 100));
    expectPassesThrough(path.get(), { { 219.5, 48 }, { 232.5, 60 }, { 219.5, 72 }, { 219.5, 94.5 }, { 214.5, 99.5 }, { 0.5, 5.5 }, { 219.5, 5.5 }, { 219.5, 48 } });

    // No arrow: a rounded rectangle starting at the middle of the right edge.
    chrome = defaultChrome(QLZPopoverArrowDirectionNone);
    path = chrome.outline(kBounds);
    expectPassesThrough(path.get(), { { 219.5, 56.5 }, { 219.5, 107.5 }, { 214.5, 112.5 }, { 5.5, 112.5 }, { 0.5, 107.5 }, { 0.5, 5.5 }, { 5.5, 0.5 }, { 214.5, 0.5 }, { 219.5, 5.5 }, { 219.5, 56.5 } });

    // An unknown direction draws nothing.
    chrome.arrowDirection = 3;
    EXPECT_TRUE(onCurvePoints(chrome.outline(kBounds).get()).empty());
}

TEST(PopoverChromeOutline, RoundedArrowControlPoints)
{
    AutoreleasePool pool;
    QLZPopoverChrome chrome = defaultChrome();
    chrome.usesRoundedArrow = 1;
    auto elements = elementsOf(chrome.outline(kBounds).get());
    ASSERT_GE(elements.size(), 3u);
    ASSERT_EQ(elements[1].type, kCGPathElementAddCurveToPoint);
    EXPECT_EQ(elements[1].points, (std::vector<CGPoint> { { 117, 99.5 }, { 113.75, 112.5 }, { 110, 112.5 } }));
    ASSERT_EQ(elements[2].type, kCGPathElementAddCurveToPoint);
    EXPECT_EQ(elements[2].points, (std::vector<CGPoint> { { 106.25, 112.5 }, { 103, 99.5 }, { 98, 99.5 } }));

    // A base of 24 has the same base points but shoulders of 4.8 (single
    // precision) and a tip of 3.6.
    chrome.arrowBase = 24;
    elements = elementsOf(chrome.outline(kBounds).get());
    EXPECT_EQ(elements[0].points[0], CGPointMake(122, 99.5));
    EXPECT_EQ(elements[1].points[0], CGPointMake(122 - double(4.8f), 99.5));
    EXPECT_EQ(elements[1].points[1], CGPointMake(110 + double(0.75f * 4.8f), 112.5));
    EXPECT_EQ(elements[2].points[2], CGPointMake(98, 99.5));

    // Sideways arrows run their flanks along the vertical edge.
    chrome = defaultChrome(QLZPopoverArrowDirectionRight);
    chrome.usesRoundedArrow = 1;
    elements = elementsOf(chrome.outline(CGRectMake(0, 0, 233, 100)).get());
    EXPECT_EQ(elements[1].points, (std::vector<CGPoint> { { 219.5, 43 }, { 232.5, 46.25 }, { 232.5, 50 } }));
    EXPECT_EQ(elements[2].points, (std::vector<CGPoint> { { 232.5, 53.75 }, { 219.5, 57 }, { 219.5, 62 } }));
}

TEST(PopoverChromeDrawing, FillShadowGlossAndStrokeInOrder)
{
    AutoreleasePool pool;
    QLZPopoverChrome chrome = defaultChrome();
    chrome.fillTopColor = UIColor::whiteColor();
    chrome.fillBottomColor = UIColor::blackColor();
    chrome.outerShadowColor = UIColor::blackColor();
    chrome.outerShadowBlurRadius = 0;
    chrome.outerShadowOffset = CGSizeMake(0, 0);
    chrome.glossShadowColor = UIColor::redColor();
    chrome.outerStrokeColor = UIColor::blueColor();

    auto context = RecordingContext::create({ 220, 113 });
    {
        CurrentContext current(context.ptr());
        chrome.draw(kBounds);
    }
    std::vector<Kind> kinds;
    for (const auto& operation : context->operations())
        kinds.push_back(operation.kind);
    EXPECT_EQ(kinds, (std::vector<Kind> { Kind::SaveGState, Kind::BeginTransparencyLayer, Kind::Clip, Kind::LinearGradient, Kind::EndTransparencyLayer, Kind::RestoreGState, Kind::SaveGState, Kind::Clip, Kind::SaveGState, Kind::Fill, Kind::RestoreGState, Kind::RestoreGState, Kind::SaveGState, Kind::Stroke, Kind::RestoreGState }))
        << context->description();

    // The gradient runs down the whole outline, arrow included, white to
    // black, inside a layer that casts the outer shadow.
    const auto* layer = find(context.get(), Kind::BeginTransparencyLayer);
    ASSERT_TRUE(layer);
    ASSERT_TRUE(layer->shadow.color);
    const auto* gradient = find(context.get(), Kind::LinearGradient);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->start, CGPointMake(110, 0.5));
    EXPECT_EQ(gradient->end, CGPointMake(110, 112.5));
    EXPECT_EQ(gradient->options, 0u);
    EXPECT_EQ(gradient->gradient->stops().size(), 2u);
    EXPECT_EQ(gradient->gradient->stops()[0].color, (graphics::RGBA { 1, 1, 1, 1 }));
    EXPECT_EQ(gradient->layerDepth, 1u);
    EXPECT_FALSE(find(context.get(), Kind::Clip)->evenOdd);

    // The gloss: the band around the outline (221 wide: 219 + 2), filled
    // grey 221 points to the left, throws its shadow back by 221.1.
    const auto* gloss = find(context.get(), Kind::Fill);
    ASSERT_TRUE(gloss);
    EXPECT_TRUE(gloss->evenOdd);
    EXPECT_EQ(gloss->color, (graphics::RGBA { 0.5, 0.5, 0.5, 1 }));
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.width, 221.1);
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.height, 0.1);
    EXPECT_EQ(gloss->shadow.blur, 0);
    EXPECT_EQ(gloss->shadow.color, (graphics::RGBA { 1, 0, 0, 1 }));
    EXPECT_EQ(CGPathGetBoundingBox(gloss->path.get()), CGRectMake(-0.5 - 221, -0.5, 221, 114));
    EXPECT_EQ(gloss->clipCount, 1u);

    // The outline's stroke: hairline, blue.
    const auto* stroke = find(context.get(), Kind::Stroke);
    ASSERT_TRUE(stroke);
    EXPECT_EQ(stroke->lineWidth, 0);
    EXPECT_EQ(stroke->color, (graphics::RGBA { 0, 0, 1, 1 }));
    EXPECT_EQ(stroke->clipCount, 0u);
}

TEST(PopoverChromeDrawing, GlossOffsetAndBlurWidenTheBand)
{
    AutoreleasePool pool;
    QLZPopoverChrome chrome = defaultChrome(QLZPopoverArrowDirectionNone);
    chrome.fillTopColor = UIColor::whiteColor();
    chrome.glossShadowBlurRadius = 3;
    chrome.glossShadowOffset = CGSizeMake(0, 2);
    auto context = RecordingContext::create({ 220, 113 });
    {
        CurrentContext current(context.ptr());
        chrome.draw(kBounds);
    }
    // Outline bounds (0.5, 0.5, 219, 112); grown by 3 and moved up by 2:
    // (-2.5, -4.5, 225, 118); the union grown by 1: (-3.5, -5.5, 227, 120).
    const auto* gloss = find(context.get(), Kind::Fill);
    ASSERT_TRUE(gloss);
    EXPECT_EQ(CGPathGetBoundingBox(gloss->path.get()), CGRectMake(-3.5 - 227, -5.5, 227, 120));
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.width, 227.1);
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.height, 2.1);
    EXPECT_EQ(gloss->shadow.blur, 3);
    // No gloss colour: no shadow at all.
    EXPECT_FALSE(gloss->shadow.color);
    // Only a top colour: a gradient of one stop.
    EXPECT_EQ(find(context.get(), Kind::LinearGradient)->gradient->stops().size(), 1u);

    // A negative offset throws the other way: the signs follow the sums.
    chrome.glossShadowBlurRadius = 0;
    chrome.glossShadowOffset = CGSizeMake(-500, -2);
    context->clear();
    {
        CurrentContext current(context.ptr());
        chrome.draw(kBounds);
    }
    gloss = find(context.get(), Kind::Fill);
    // Bounds (0.5, 0.5, 219, 112) moved by (500, 2): the union is 719 wide,
    // 721 with the extra point; -500 + 721 = 221.
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.width, 221.1);
    EXPECT_CGFLOAT_EQ(gloss->shadow.offset.height, -2.1);

    // An unknown direction runs every step on an empty outline.
    chrome.arrowDirection = 3;
    context->clear();
    {
        CurrentContext current(context.ptr());
        chrome.draw(kBounds);
    }
    EXPECT_FALSE(find(context.get(), Kind::Stroke));
    EXPECT_FALSE(find(context.get(), Kind::LinearGradient) && find(context.get(), Kind::LinearGradient)->clipBox.size.width > 0);
}

TEST(PopoverContentFrame, BorderDecidesMaskingShadowAndStrokeShape)
{
    AutoreleasePool pool;
    QLZPopoverContentFrame frame;
    frame.gradientTopColor = UIColor::whiteColor();
    frame.gradientBottomColor = UIColor::blackColor();
    frame.innerStrokeColor = UIColor::redColor();
    frame.innerShadowColor = UIColor::blackColor();
    frame.innerShadowOffset = CGSizeMake(0, 1);
    frame.innerShadowBlurRadius = 2;
    frame.innerCornerRadius = 5;
    frame.gradientHeight = 113;
    frame.gradientTopPosition = 10;
    CGRect rect = CGRectMake(0, 0, 200, 80);

    // No border: no masking, no shadow, and only the bottom corners of the
    // stroke are rounded.
    auto context = RecordingContext::create({ 200, 80 });
    {
        CurrentContext current(context.ptr());
        frame.draw(rect);
    }
    EXPECT_FALSE(find(context.get(), Kind::Clip));
    EXPECT_FALSE(find(context.get(), Kind::LinearGradient));
    const auto* stroke = find(context.get(), Kind::Stroke);
    ASSERT_TRUE(stroke);
    EXPECT_EQ(stroke->lineWidth, 1);
    EXPECT_EQ(stroke->color, (graphics::RGBA { 1, 0, 0, 1 }));
    EXPECT_FALSE(stroke->shadow.color);
    EXPECT_TRUE(passesThrough(*stroke->path, { 0.5, 0.5 }));
    EXPECT_TRUE(passesThrough(*stroke->path, { 199.5, 0.5 }));
    EXPECT_FALSE(passesThrough(*stroke->path, { 0.5, 79.5 }));
    EXPECT_FALSE(passesThrough(*stroke->path, { 199.5, 79.5 }));

    // A border: the corners between rectangle and rounded outline get the
    // chrome's gradient, the stroke is rounded all round, under the shadow.
    frame.borderWidth = 1;
    frame.navigationBarHeight = 44;
    context->clear();
    {
        CurrentContext current(context.ptr());
        frame.draw(rect);
    }
    const auto* mask = find(context.get(), Kind::Clip);
    ASSERT_TRUE(mask);
    EXPECT_TRUE(mask->evenOdd);
    // The area below the navigation bar: (0, 44, 200, 36).
    EXPECT_EQ(CGPathGetBoundingBox(mask->path.get()), CGRectMake(0, 44, 200, 36));
    const auto* gradient = find(context.get(), Kind::LinearGradient);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->start, CGPointMake(0, -10));
    EXPECT_EQ(gradient->end, CGPointMake(0, 103));
    const auto* clip = find(context.get(), Kind::Clip, 1);
    ASSERT_TRUE(clip);
    EXPECT_FALSE(clip->evenOdd);
    stroke = find(context.get(), Kind::Stroke);
    ASSERT_TRUE(stroke);
    ASSERT_TRUE(stroke->shadow.color);
    EXPECT_EQ(stroke->shadow.offset, CGSizeMake(0, 1));
    EXPECT_EQ(stroke->shadow.blur, 2);
    EXPECT_EQ(stroke->clipCount, 1u);
    EXPECT_FALSE(passesThrough(*stroke->path, { 0.5, 44.5 }));
    EXPECT_FALSE(passesThrough(*stroke->path, { 199.5, 79.5 }));
    EXPECT_EQ(CGPathGetPathBoundingBox(stroke->path.get()), CGRectMake(0.5, 44.5, 199, 35));

    // The content's default look: no band, no corners, no shadow, a square
    // stroke over the whole rectangle.
    frame.wantsDefaultContentAppearance = true;
    context->clear();
    {
        CurrentContext current(context.ptr());
        frame.draw(rect);
    }
    EXPECT_FALSE(find(context.get(), Kind::Clip));
    stroke = find(context.get(), Kind::Stroke);
    ASSERT_TRUE(stroke);
    EXPECT_FALSE(stroke->shadow.color);
    for (CGPoint corner : { CGPointMake(0.5, 0.5), CGPointMake(199.5, 0.5), CGPointMake(199.5, 79.5), CGPointMake(0.5, 79.5) })
        EXPECT_TRUE(passesThrough(*stroke->path, corner)) << corner;
}
