#include "host/Screenshot.h"

#include "device/Trace.h"
#include "host/CameraModel.h"
#include "host/ImageEncoding.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIGraphics.h"
#include "uikit/UIRendering.h"
#include "uikit/UIWindow.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace camera {

namespace {

constexpr CGFloat kScale = 2;

// The badge: a dark capsule in the bottom-left corner with a lamp, lit and
// glowing when the LED is on, and "LED off" or "LED 40%" beside it. Not part
// of the app's views: the simulator's own note on the picture.
void drawLEDBadge(CGContext* context, CGSize screen)
{
    float level = model().rearDevice->torchLevel();
    bool on = level > 0;
    std::string text = on ? "LED " + std::to_string(std::lround(level * 100)) + "%" : "LED off";
    const graphics::Font font { 12, true };
    CGFloat textWidth = graphics::measureText(text, font).width;
    CGRect badge = CGRectMake(10, screen.height - 10 - 26, 32 + textWidth + 12, 26);

    UIGraphicsPushContext(context);
    context->saveGState();
    context->setFillColor({ 0, 0, 0, 0.65 });
    UIBezierPath::bezierPathWithRoundedRect(badge, 13)->fill();
    context->setStrokeColor({ 1, 1, 1, 0.3 });
    auto outline = UIBezierPath::bezierPathWithRoundedRect(CGRectInset(badge, 0.5, 0.5), 12.5);
    outline->setLineWidth(1);
    outline->stroke();

    // The lamp: a bulb over a small screw base.
    CGPoint bulb = CGPointMake(CGRectGetMinX(badge) + 17, CGRectGetMidY(badge) - 2);
    CGRect glass = CGRectMake(bulb.x - 6, bulb.y - 6, 12, 12);
    if (on) {
        context->saveGState();
        CGFloat yellow[] = { 1, 0.84, 0.04, 0.9 };
        auto glowColor = adoptRef(CGColorCreate(adoptRef(*CGColorSpaceCreateDeviceRGB()).ptr(), yellow));
        context->setShadow(CGSizeMake(0, 0), 4 + 6 * level, glowColor.get());
        context->setFillColor({ 1, 0.84, 0.04, 1 });
        UIBezierPath::bezierPathWithOvalInRect(glass)->fill();
        context->restoreGState();
    } else {
        context->setStrokeColor({ 0.6, 0.6, 0.6, 1 });
        auto bulbOutline = UIBezierPath::bezierPathWithOvalInRect(CGRectInset(glass, 0.75, 0.75));
        bulbOutline->setLineWidth(1.5);
        bulbOutline->stroke();
    }
    context->setFillColor(on ? graphics::RGBA { 0.85, 0.85, 0.85, 1 } : graphics::RGBA { 0.6, 0.6, 0.6, 1 });
    context->fillRect(CGRectMake(bulb.x - 3, bulb.y + 7, 6, 1.5));
    context->fillRect(CGRectMake(bulb.x - 2.5, bulb.y + 9.5, 5, 1.5));

    CGFloat baseline = CGRectGetMidY(badge) + 4.5;
    context->setFillColor(on ? graphics::RGBA { 1, 1, 1, 1 } : graphics::RGBA { 0.7, 0.7, 0.7, 1 });
    context->showText(text, CGPointMake(CGRectGetMinX(badge) + 32, baseline), font);
    context->restoreGState();
    UIGraphicsPopContext();
}

} // namespace

std::string takeScreenshot(const std::string& path)
{
    if (path.empty())
        return "usage: screenshot FILE";
    UIWindow* window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return "the Camera has no key window";
    std::filesystem::path file = std::filesystem::absolute(path);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return "cannot make the folder " + file.parent_path().string() + ": " + error.message();

    auto image = UIRendering::renderWindow(window, kScale);
    drawLEDBadge(image.ptr(), window->bounds().size);
    if (std::string failure = writePNG(image.get(), file.string()); !failure.empty())
        return failure;
    device::tracef(device::TraceKind::Camera, "screenshot %s", path.c_str());
    return {};
}

} // namespace camera
