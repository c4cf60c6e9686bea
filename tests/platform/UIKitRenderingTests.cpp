// Rendering view trees: order, geometry, alpha groups, clipping and borders;
// content drawn by layer delegates and drawRect:; the platform controls'
// own look; text.
#include "graphics/RasterContext.h"
#include "graphics/RecordingContext.h"
#include "uikit/CALayer.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIControl.h"
#include "uikit/UIGraphics.h"
#include "uikit/UILabel.h"
#include "uikit/UIRendering.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {

using graphics::RasterContext;
using graphics::RecordingContext;
using Kind = RecordingContext::Kind;
using Pixel = RasterContext::Pixel;

Ref<UIView> coloredView(CGRect frame, UIColor* color)
{
    auto view = UIView::create(frame);
    view->setBackgroundColor(color);
    return view;
}

// Where a recorded painting lands, in device space.
CGRect deviceRect(const RecordingContext::Operation& operation)
{
    return CGRectApplyAffineTransform(operation.path->pathBoundingBox(), operation.ctm);
}

std::vector<const RecordingContext::Operation*> operationsOf(const RecordingContext& context, Kind kind)
{
    std::vector<const RecordingContext::Operation*> found;
    for (const auto& operation : context.operations()) {
        if (operation.kind == kind)
            found.push_back(&operation);
    }
    return found;
}

void expectRectNear(CGRect actual, CGRect expected)
{
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

void expectPixelNear(Pixel actual, Pixel expected, int tolerance = 3)
{
    EXPECT_NEAR(actual.red, expected.red, tolerance);
    EXPECT_NEAR(actual.green, expected.green, tolerance);
    EXPECT_NEAR(actual.blue, expected.blue, tolerance);
    EXPECT_NEAR(actual.alpha, expected.alpha, tolerance);
}

// Pixels of the image under rect (points) darker than mid grey.
int darkPixels(const RasterContext& image, CGRect rect)
{
    int count = 0;
    for (int y = static_cast<int>(rect.origin.y * image.scale()); y < CGRectGetMaxY(rect) * image.scale(); ++y) {
        for (int x = static_cast<int>(rect.origin.x * image.scale()); x < CGRectGetMaxX(rect) * image.scale(); ++x) {
            if (image.pixelAt(x, y).red < 128)
                ++count;
        }
    }
    return count;
}

// A view that paints its layer through the layer's delegate method, as the
// popover's chrome does: it pushes the context itself.
class DelegateDrawnView : public UIView {
    OBJC_CLASS(DelegateDrawnView)
public:
    static Ref<DelegateDrawnView> create(CGRect frame)
    {
        auto view = adoptObject(new DelegateDrawnView);
        view->initWithFrame(frame);
        return view;
    }
    void drawLayer(CALayer* layer, CGContextRef context)
    {
        ++layerDraws;
        drawnLayer = layer;
        contextWasCurrent = UIGraphicsGetCurrentContext() == context;
        UIGraphicsPushContext(context);
        UIColor::greenColor()->setFill();
        UIBezierPath::bezierPathWithRect(bounds())->fill();
        UIGraphicsPopContext();
    }
    void drawRect(CGRect) override { ++rectDraws; }

    int layerDraws = 0;
    int rectDraws = 0;
    CALayer* drawnLayer = nullptr;
    bool contextWasCurrent = true;
};

Class DelegateDrawnView::staticClass()
{
    static Class cls = ClassBuilder<DelegateDrawnView>("TestDelegateDrawnView", UIView::staticClass())
                           .method<&DelegateDrawnView::drawLayer>("drawLayer:inContext:")
                           .build();
    return cls;
}

// A view that overrides drawRect: in C++ only, paints beyond its bounds, and
// leaves graphics states saved and a transparency layer open.
class UntidyView : public UIView {
    OBJC_CLASS(UntidyView)
public:
    static Ref<UntidyView> create(CGRect frame)
    {
        auto view = adoptObject(new UntidyView);
        view->initWithFrame(frame);
        return view;
    }
    void drawRect(CGRect rect) override
    {
        ++draws;
        drawnRect = rect;
        CGContextRef context = UIGraphicsGetCurrentContext();
        if (!context)
            return;
        UIColor::blueColor()->setFill();
        CGContextFillRect(context, CGRectInset(bounds(), -20, -20));
        CGContextSaveGState(context);
        CGContextScaleCTM(context, 3, 3);
        CGContextSaveGState(context);
        CGContextBeginTransparencyLayer(context, nullptr);
    }

    int draws = 0;
    CGRect drawnRect = CGRectNull;
};

Class UntidyView::staticClass()
{
    static Class cls = ClassBuilder<UntidyView>("TestUntidyView", UIView::staticClass()).build();
    return cls;
}

// A view that places its subview when laid out.
class LayingOutView : public UIView {
    OBJC_CLASS(LayingOutView)
public:
    static Ref<LayingOutView> create(CGRect frame)
    {
        auto view = adoptObject(new LayingOutView);
        view->initWithFrame(frame);
        return view;
    }
    void layoutSubviews() override
    {
        if (!subviews().empty())
            subviews().front()->setFrame(CGRectMake(20, 20, 10, 10));
    }
};

Class LayingOutView::staticClass()
{
    static Class cls = ClassBuilder<LayingOutView>("TestLayingOutView", UIView::staticClass()).build();
    return cls;
}

TEST(UIKitRendering, ViewsAreDrawnBackToFrontThroughCentresTransformsAndBoundsOrigins)
{
    AutoreleasePool pool;
    auto root = coloredView(CGRectMake(0, 0, 200, 200), UIColor::whiteColor());
    auto red = coloredView(CGRectMake(10, 10, 40, 40), UIColor::redColor());
    red->addSubview(coloredView(CGRectMake(5, 5, 10, 10), UIColor::greenColor()).ptr());
    auto hidden = coloredView(CGRectMake(0, 0, 50, 50), UIColor::blueColor());
    hidden->addSubview(coloredView(CGRectMake(0, 0, 10, 10), UIColor::blueColor()).ptr());
    hidden->setHidden(YES);
    auto faint = coloredView(CGRectMake(0, 0, 50, 50), UIColor::blueColor());
    faint->setAlpha(0.009);
    auto scaled = coloredView(CGRectMake(100, 100, 40, 20), UIColor::orangeColor());
    scaled->setBounds(CGRectMake(10, 0, 40, 20));
    scaled->addSubview(coloredView(CGRectMake(10, 0, 10, 10), UIColor::yellowColor()).ptr());
    scaled->setTransform(CGAffineTransformMakeScale(2, 2));
    for (UIView* view : { red.ptr(), hidden.ptr(), faint.ptr(), scaled.ptr() })
        root->addSubview(view);

    auto context = RecordingContext::create({ 200, 200 });
    UIRendering::renderView(root.ptr(), context.ptr());
    auto fills = operationsOf(context.get(), Kind::Fill);
    ASSERT_EQ(fills.size(), 5u) << context->description();
    const graphics::RGBA colors[] = { { 1, 1, 1, 1 }, { 1, 0, 0, 1 }, { 0, 1, 0, 1 }, { 1, 0.5, 0, 1 }, { 1, 1, 0, 1 } };
    const CGRect places[] = { CGRectMake(0, 0, 200, 200), CGRectMake(10, 10, 40, 40), CGRectMake(15, 15, 10, 10), CGRectMake(80, 90, 80, 40),
        CGRectMake(80, 90, 20, 20) };
    for (size_t i = 0; i < fills.size(); ++i) {
        EXPECT_EQ(fills[i]->color, colors[i]) << i;
        expectRectNear(deviceRect(*fills[i]), places[i]);
    }
    // Everything drawn is undone: the context is as it was.
    EXPECT_EQ(context->savedStateCount(), 0u);
    EXPECT_EQ(context->state().ctm, CGAffineTransformIdentity);

    // A view rendered on its own lands with its bounds at the origin; its
    // centre and transform do not count.
    context->clear();
    UIRendering::renderView(scaled.ptr(), context.ptr());
    fills = operationsOf(context.get(), Kind::Fill);
    ASSERT_EQ(fills.size(), 2u);
    expectRectNear(deviceRect(*fills[0]), CGRectMake(0, 0, 40, 20));
    expectRectNear(deviceRect(*fills[1]), CGRectMake(0, 0, 10, 10));
    context->clear();
    UIRendering::renderView(hidden.ptr(), context.ptr());
    EXPECT_TRUE(context->operations().empty());
}

TEST(UIKitRendering, TranslucentViewsAreOneGroupClippedToRoundedBoundsWithTheBorderOnTop)
{
    AutoreleasePool pool;
    auto root = coloredView(CGRectMake(0, 0, 100, 100), UIColor::whiteColor());
    auto group = coloredView(CGRectMake(10, 10, 50, 50), UIColor::redColor());
    group->setAlpha(0.5);
    group->setClipsToBounds(YES);
    group->layer()->setCornerRadius(10);
    group->layer()->setBorderWidth(2);
    group->layer()->setBorderColor(UIColor::greenColor()->CGColor());
    group->addSubview(coloredView(CGRectMake(30, 30, 30, 30), UIColor::blueColor()).ptr());
    root->addSubview(group.ptr());

    auto recording = RecordingContext::create({ 100, 100 });
    UIRendering::renderView(root.ptr(), recording.ptr());
    const auto& operations = recording->operations();
    auto at = [&](Kind kind, size_t from = 0) {
        for (size_t i = from; i < operations.size(); ++i) {
            if (operations[i].kind == kind)
                return i;
        }
        return operations.size();
    };
    size_t begin = at(Kind::BeginTransparencyLayer);
    size_t clip = at(Kind::Clip, begin);
    size_t fills[3];
    fills[0] = at(Kind::Fill, begin);
    fills[1] = at(Kind::Fill, fills[0] + 1);
    fills[2] = at(Kind::Fill, fills[1] + 1);
    size_t end = at(Kind::EndTransparencyLayer, begin);
    ASSERT_LT(end, operations.size()) << recording->description();
    EXPECT_EQ(operations[begin].alpha, 0.5);
    EXPECT_LT(clip, fills[0]);
    EXPECT_LT(fills[2], end);
    // The subview is clipped by its superview's bounds; the border comes
    // last, an even-odd ring of the default or given colour.
    EXPECT_EQ(operations[fills[1]].color, (graphics::RGBA { 0, 0, 1, 1 }));
    expectRectNear(operations[fills[1]].clipBox, CGRectMake(10, 10, 50, 50));
    EXPECT_EQ(operations[fills[2]].color, (graphics::RGBA { 0, 1, 0, 1 }));
    EXPECT_TRUE(operations[fills[2]].evenOdd);

    auto image = RasterContext::create({ 100, 100 });
    UIRendering::renderView(root.ptr(), image.ptr());
    expectPixelNear(image->pixelAt(35, 35), { 255, 128, 128, 255 }); // red at half over white
    expectPixelNear(image->pixelAt(50, 50), { 128, 128, 255, 255 }); // blue over red, then the group at half
    expectPixelNear(image->pixelAt(65, 65), { 255, 255, 255, 255 }); // the subview outside the bounds is cut off
    expectPixelNear(image->pixelAt(11, 11), { 255, 255, 255, 255 }); // outside the rounded corner
    expectPixelNear(image->pixelAt(35, 10), { 128, 255, 128, 255 }); // the border
    expectPixelNear(image->pixelAt(59, 45), { 128, 255, 128, 255 }); // the border over the subview
}

int g_runtimeDraws;

Class makeRuntimeDrawnViewClass()
{
    Class cls = objc_allocateClassPair(UIView::staticClass(), "TestRuntimeDrawnView", nullptr);
    class_addTypedMethod(
        cls, "drawRect:"_sel, +[](id, SEL, CGRect) { ++g_runtimeDraws; });
    objc_registerClassPair(cls);
    return cls;
}

TEST(UIKitRendering, ContentComesFromTheLayerDelegateOrDrawRectEveryTimeClippedToBounds)
{
    AutoreleasePool pool;
    auto root = coloredView(CGRectMake(0, 0, 100, 100), UIColor::whiteColor());
    auto chrome = DelegateDrawnView::create(CGRectMake(0, 0, 20, 20));
    chrome->layer()->setName("parent"_ns);
    auto untidy = UntidyView::create(CGRectMake(40, 40, 20, 20));
    auto after = coloredView(CGRectMake(80, 80, 10, 10), UIColor::redColor());
    for (UIView* view : { static_cast<UIView*>(chrome.ptr()), static_cast<UIView*>(untidy.ptr()), after.ptr() })
        root->addSubview(view);
    // A subclass made at run time, overriding drawRect: by a method.
    g_runtimeDraws = 0;
    static Class runtimeClass = makeRuntimeDrawnViewClass();
    auto runtimeView = adoptRef(static_cast<UIView*>(objc_msgSend<id>(objc_msgSend<id>(runtimeClass, "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 60, 10, 10))));
    root->addSubview(runtimeView.get());
    untidy->setNeedsDisplay();

    auto image = RasterContext::create({ 100, 100 });
    UIRendering::renderView(root.ptr(), image.ptr());
    EXPECT_EQ(chrome->layerDraws, 1);
    EXPECT_EQ(chrome->drawnLayer, chrome->layer());
    EXPECT_FALSE(chrome->contextWasCurrent);
    EXPECT_EQ(chrome->rectDraws, 0);
    expectPixelNear(image->pixelAt(10, 10), { 0, 255, 0, 255 });
    EXPECT_EQ(untidy->draws, 1);
    expectRectNear(untidy->drawnRect, CGRectMake(0, 0, 20, 20));
    expectPixelNear(image->pixelAt(50, 50), { 0, 0, 255, 255 });
    expectPixelNear(image->pixelAt(38, 50), { 255, 255, 255, 255 }); // clipped to the view's bounds
    // What the untidy view left behind does not move the next view.
    expectPixelNear(image->pixelAt(85, 85), { 255, 0, 0, 255 });
    expectPixelNear(image->pixelAt(95, 95), { 255, 255, 255, 255 });
    EXPECT_EQ(image->savedStateCount(), 0u);
    EXPECT_EQ(image->transparencyLayerDepth(), 0u);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    EXPECT_EQ(g_runtimeDraws, 1);

    // Every render draws again, and leaves the display flags as they were.
    UIRendering::renderView(root.ptr(), RecordingContext::create({ 100, 100 }).ptr());
    EXPECT_EQ(chrome->layerDraws, 2);
    EXPECT_EQ(untidy->draws, 2);
    EXPECT_EQ(g_runtimeDraws, 2);
    EXPECT_TRUE(untidy->needsDisplay());
    EXPECT_TRUE(untidy->layer()->needsDisplay());
}

TEST(UIKitRendering, LabelsDrawTheirTextAlignedAndTruncated)
{
    AutoreleasePool pool;
    auto label = UILabel::create(CGRectMake(0, 0, 100, 30));
    label->setText("Torch"_ns);
    label->setBackgroundColor(UIColor::whiteColor());
    graphics::Font font { 17, false };
    auto extent = graphics::measureText("Torch", font);
    ASSERT_GT(extent.width, 20);
    ASSERT_LT(extent.width, 80);

    auto recording = RecordingContext::create({ 100, 30 });
    UIRendering::renderView(label.ptr(), recording.ptr());
    auto texts = operationsOf(recording.get(), Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "Torch");
    EXPECT_EQ(texts[0]->font, font);
    EXPECT_EQ(texts[0]->color, (graphics::RGBA { 0, 0, 0, 1 }));
    EXPECT_NEAR(texts[0]->start.y, 15 + (extent.ascent - extent.descent) / 2, 1e-9);

    // Left: ink within the text's width from the left edge; right: the same
    // from the right edge.
    auto image = UIRendering::renderViewImage(label.ptr(), 2);
    EXPECT_GT(darkPixels(image.get(), CGRectMake(0, 0, extent.width, 30)), 20);
    EXPECT_EQ(darkPixels(image.get(), CGRectMake(extent.width + 1, 0, 99 - extent.width, 30)), 0);
    label->setTextAlignment(2);
    image = UIRendering::renderViewImage(label.ptr(), 2);
    EXPECT_GT(darkPixels(image.get(), CGRectMake(100 - extent.width, 0, extent.width, 30)), 20);
    EXPECT_EQ(darkPixels(image.get(), CGRectMake(0, 0, 99 - extent.width, 30)), 0);

    // Too long for its width: cut short with an ellipsis that fits.
    label->setFrame(CGRectMake(0, 0, 40, 30));
    label->setText("Torch mode"_ns);
    recording->clear();
    UIRendering::renderView(label.ptr(), recording.ptr());
    texts = operationsOf(recording.get(), Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text.substr(texts[0]->text.size() - 3), "\u2026");
    EXPECT_EQ(texts[0]->text.rfind("To", 0), 0u);
    EXPECT_LE(graphics::measureText(texts[0]->text, font).width, 40);
    EXPECT_EQ(graphics::truncateText("Torch", font, 100), "Torch");
}

TEST(UIKitRendering, SlidersAndSwitchesShowTheirValues)
{
    AutoreleasePool pool;
    auto root = coloredView(CGRectMake(0, 0, 300, 100), UIColor::blackColor());
    auto slider = UISlider::create(CGRectMake(0, 0, 200, 31));
    slider->setValue(0.25f);
    slider->setMinimumTrackTintColor(UIColor::redColor());
    auto disabled = UISlider::create(CGRectMake(0, 50, 200, 31));
    disabled->setValue(0.5f);
    disabled->setEnabled(NO);
    auto on = UISwitch::create(CGRectMake(220, 0, 0, 0));
    on->setOn(YES);
    on->setOnTintColor(UIColor::blueColor());
    auto off = UISwitch::create(CGRectMake(220, 50, 0, 0));
    for (UIView* view : { static_cast<UIView*>(slider.ptr()), static_cast<UIView*>(disabled.ptr()), static_cast<UIView*>(on.ptr()), static_cast<UIView*>(off.ptr()) })
        root->addSubview(view);

    auto image = UIRendering::renderViewImage(root.ptr(), 2);
    CGFloat thumb = slider->thumbCenterForValue(0.25f);
    expectPixelNear(image->pixelAtPoint({ 10, 15.5 }), { 255, 0, 0, 255 });      // filled up to the thumb
    expectPixelNear(image->pixelAtPoint({ 190, 15.5 }), { 184, 184, 184, 255 }); // grey beyond it
    expectPixelNear(image->pixelAtPoint({ thumb, 15.5 }), { 255, 255, 255, 255 });
    EXPECT_EQ(image->pixelAtPoint({ thumb - 13, 2.5 }).red, 0); // round, not square
    Pixel dimmedThumb = image->pixelAtPoint({ disabled->thumbCenterForValue(0.5f), 65.5 });
    EXPECT_NEAR(dimmedThumb.red, 115, 10);

    expectPixelNear(image->pixelAtPoint({ 228, 15.5 }), { 0, 0, 255, 255 }); // on: the tint, thumb at the right end
    expectPixelNear(image->pixelAtPoint({ 256, 15.5 }), { 255, 255, 255, 255 });
    expectPixelNear(image->pixelAtPoint({ 237.5, 65.5 }), { 255, 255, 255, 255 }); // off: thumb at the left end
    expectPixelNear(image->pixelAtPoint({ 260, 65.5 }), { 0, 0, 0, 255 });         // an outline, not filled
    EXPECT_GT(image->pixelAtPoint({ 245, 50.5 }).red, 200);
}

TEST(UIKitRendering, WindowsAreLaidOutAndShownOverTheScreensBlack)
{
    AutoreleasePool pool;
    auto window = UIWindow::create(CGRectMake(0, 0, 60, 60));
    auto root = LayingOutView::create(CGRectMake(0, 0, 60, 60));
    root->addSubview(coloredView(CGRectMake(0, 0, 5, 5), UIColor::whiteColor()).ptr());
    window->addSubview(root.ptr());
    window->setHidden(NO);
    root->setNeedsLayout();

    auto image = UIRendering::renderWindow(window.ptr(), 1);
    EXPECT_EQ(image->pixelWidth(), 60);
    expectPixelNear(image->pixelAt(25, 25), { 255, 255, 255, 255 });
    expectPixelNear(image->pixelAt(2, 2), { 0, 0, 0, 255 });

    // A hidden window shows nothing.
    window->setHidden(YES);
    expectPixelNear(UIRendering::renderWindow(window.ptr(), 1)->pixelAt(25, 25), { 0, 0, 0, 255 });
}

} // namespace
