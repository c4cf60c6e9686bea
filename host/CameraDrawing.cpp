// The camera's pictures: the preview (a room, or a face on the front
// camera), the bars over it and the glyphs of its buttons.
#include "host/CameraClasses.h"

#include "host/Families.h"
#include "uikit/CALayer.h"
#include "uikit/UIBezierPath.h"
#include "uikit/UIGraphics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace camera {

namespace {

struct Color {
    // From doubles, which are wider than CGFloat on 32-bit builds.
    constexpr Color(double red, double green, double blue, double alpha = 1)
        : red(static_cast<CGFloat>(red))
        , green(static_cast<CGFloat>(green))
        , blue(static_cast<CGFloat>(blue))
        , alpha(static_cast<CGFloat>(alpha))
    {
    }
    CGFloat red, green, blue, alpha;
};

const Color kWhite { 1, 1, 1 };
const Color kYellow { 1, 204 / 255.0, 0 };
const Color kRecordingRed { 1, 0.23, 0.19 };

void setFill(CGContextRef context, const Color& color, CGFloat light = 1)
{
    CGContextSetRGBFillColor(context, color.red * light, color.green * light, color.blue * light, color.alpha);
}

void setStroke(CGContextRef context, const Color& color, CGFloat width)
{
    CGContextSetRGBStrokeColor(context, color.red, color.green, color.blue, color.alpha);
    CGContextSetLineWidth(context, width);
}

void fillRoundedRect(CGContextRef context, CGRect rect, CGFloat radius, const Color& color, CGFloat light = 1)
{
    setFill(context, color, light);
    UIBezierPath::bezierPathWithRoundedRect(rect, radius)->fill();
}

void fillPolygon(CGContextRef context, std::initializer_list<CGPoint> points, const Color& color, CGFloat light = 1)
{
    setFill(context, color, light);
    CGContextBeginPath(context);
    bool first = true;
    for (CGPoint point : points) {
        if (first)
            CGContextMoveToPoint(context, point.x, point.y);
        else
            CGContextAddLineToPoint(context, point.x, point.y);
        first = false;
    }
    CGContextClosePath(context);
    CGContextFillPath(context);
}

// A vertical gradient filling rect.
void fillGradient(CGContextRef context, CGRect rect, const Color& top, const Color& bottom, CGFloat light = 1)
{
    CGFloat components[] = { top.red * light, top.green * light, top.blue * light, top.alpha,
        bottom.red * light, bottom.green * light, bottom.blue * light, bottom.alpha };
    CGFloat locations[] = { 0, 1 };
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGGradientRef gradient = CGGradientCreateWithColorComponents(space, components, locations, 2);
    CGContextSaveGState(context);
    CGContextClipToRect(context, rect);
    CGContextDrawLinearGradient(context, gradient, CGPointMake(0, CGRectGetMinY(rect)), CGPointMake(0, CGRectGetMaxY(rect)), 0);
    CGContextRestoreGState(context);
    CGGradientRelease(gradient);
    CGColorSpaceRelease(space);
}

// How much of a disc of radius `radius` a Gaussian blur of deviation sigma
// leaves at distance r from its centre: the Gaussian's weight summed over
// the disc's vertical chords, each chord's share by the error function.
double blurredDisc(double r, double radius, double sigma)
{
    double from = std::max(-radius, r - 6 * sigma);
    double to = std::min(radius, r + 6 * sigma);
    if (!(to > from))
        return 0;
    auto integrand = [&](double x) {
        double halfChord = std::sqrt(std::max(radius * radius - x * x, 0.0));
        double across = (x - r) / sigma;
        return std::exp(-across * across / 2) / (sigma * std::sqrt(2 * M_PI)) * std::erf(halfChord / (sigma * M_SQRT2));
    };
    constexpr int kSteps = 96; // Simpson's rule, an even count
    double step = (to - from) / kSteps;
    double sum = integrand(from) + integrand(to);
    for (int i = 1; i < kSteps; ++i)
        sum += integrand(from + i * step) * (i % 2 ? 4 : 2);
    return sum * step / 3;
}

// A soft blot of light: an oval blurred by a deviation of half of blur, as
// a shadow of that blur would show it, drawn as a radial gradient through
// the blurred disc's profile (the oval is a disc scaled to its height).
void glow(CGContextRef context, CGRect oval, CGFloat blur, const Color& color)
{
    if (CGRectIsEmpty(oval))
        return;
    constexpr int kStops = 24;
    struct Profile {
        double radius = -1, sigma = -1;
        std::array<double, kStops> cover {};
    };
    static Profile profile;
    double radius = oval.size.width / 2;
    double sigma = blur / 2;
    // A shadow's blur spreads about three deviations; so does the gradient.
    double reach = radius + 3 * sigma;
    if (profile.radius != radius || profile.sigma != sigma) {
        profile = { radius, sigma, {} };
        for (int i = 0; i < kStops; ++i)
            profile.cover[static_cast<size_t>(i)] = sigma > 0 ? blurredDisc(reach * i / (kStops - 1), radius, sigma) : 1;
        profile.cover.back() = 0;
    }
    CGFloat components[kStops * 4];
    CGFloat locations[kStops];
    for (int i = 0; i < kStops; ++i) {
        locations[i] = static_cast<CGFloat>(i) / (kStops - 1);
        CGFloat* stop = components + 4 * i;
        stop[0] = color.red;
        stop[1] = color.green;
        stop[2] = color.blue;
        stop[3] = color.alpha * std::clamp(profile.cover[static_cast<size_t>(i)], 0.0, 1.0);
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGGradientRef gradient = CGGradientCreateWithColorComponents(space, components, locations, kStops);
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, CGRectGetMidX(oval), CGRectGetMidY(oval));
    CGContextScaleCTM(context, 1, oval.size.height / oval.size.width);
    CGContextDrawRadialGradient(context, gradient, CGPointZero, 0, CGPointZero, reach, 0);
    CGContextRestoreGState(context);
    CGGradientRelease(gradient);
    CGColorSpaceRelease(space);
}

void drawText(CGContextRef context, const std::string& text, CGFloat centerX, CGFloat baseline, const graphics::Font& font, const Color& color)
{
    CGFloat width = graphics::measureText(text, font).width;
    setFill(context, color);
    context->showText(text, CGPointMake(centerX - width / 2, baseline), font);
}

// The room the rear camera looks at. light: 0 in the dark, 1 fully lit.
void drawRoom(CGContextRef context, CGRect rect, CGFloat light)
{
    CGFloat x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    CGFloat floorY = y + h * 0.60;

    fillGradient(context, CGRectMake(x, y, w, floorY - y), { 0.42, 0.38, 0.34 }, { 0.34, 0.30, 0.27 }, light);
    fillGradient(context, CGRectMake(x, floorY, w, y + h - floorY), { 0.30, 0.22, 0.16 }, { 0.16, 0.12, 0.09 }, light);
    fillRoundedRect(context, CGRectMake(x, floorY - 6, w, 6), 0, { 0.24, 0.20, 0.17 }, light);

    // A window on the night.
    CGRect window = CGRectMake(x + w * 0.08, y + h * 0.16, w * 0.32, h * 0.23);
    fillRoundedRect(context, CGRectInset(window, -7, -7), 2, { 0.62, 0.58, 0.52 }, light);
    fillGradient(context, window, { 0.04, 0.06, 0.15 }, { 0.10, 0.13, 0.26 });
    setFill(context, { 0.95, 0.93, 0.80, 0.9 });
    CGContextFillEllipseInRect(context, CGRectMake(CGRectGetMaxX(window) - 34, CGRectGetMinY(window) + 14, 16, 16));
    for (auto [sx, sy] : { std::pair { 0.2, 0.2 }, { 0.45, 0.12 }, { 0.3, 0.55 }, { 0.62, 0.4 }, { 0.15, 0.75 } })
        CGContextFillEllipseInRect(context, CGRectMake(window.origin.x + window.size.width * sx, window.origin.y + window.size.height * sy, 2, 2));
    fillRoundedRect(context, CGRectMake(CGRectGetMidX(window) - 3, window.origin.y, 6, window.size.height), 0, { 0.62, 0.58, 0.52 }, light);
    fillRoundedRect(context, CGRectMake(window.origin.x, CGRectGetMidY(window) - 3, window.size.width, 6), 0, { 0.62, 0.58, 0.52 }, light);

    // A picture: mountains under a sun.
    CGRect picture = CGRectMake(x + w * 0.56, y + h * 0.19, w * 0.30, h * 0.14);
    fillRoundedRect(context, CGRectInset(picture, -6, -6), 1, { 0.36, 0.24, 0.15 }, light);
    fillGradient(context, picture, { 0.62, 0.74, 0.86 }, { 0.86, 0.84, 0.76 }, light);
    setFill(context, { 0.98, 0.80, 0.36 }, light);
    CGContextFillEllipseInRect(context, CGRectMake(picture.origin.x + picture.size.width * 0.66, picture.origin.y + 10, 18, 18));
    CGFloat base = CGRectGetMaxY(picture);
    fillPolygon(context, { CGPointMake(picture.origin.x, base), CGPointMake(picture.origin.x + picture.size.width * 0.35, picture.origin.y + picture.size.height * 0.35), CGPointMake(picture.origin.x + picture.size.width * 0.7, base) }, { 0.30, 0.42, 0.38 }, light);
    fillPolygon(context, { CGPointMake(picture.origin.x + picture.size.width * 0.4, base), CGPointMake(picture.origin.x + picture.size.width * 0.72, picture.origin.y + picture.size.height * 0.5), CGPointMake(CGRectGetMaxX(picture), base) }, { 0.24, 0.34, 0.32 }, light);

    // A rug, a table with a lamp, and a plant.
    setFill(context, { 0.50, 0.20, 0.17 }, light);
    CGContextFillEllipseInRect(context, CGRectMake(x + w * 0.10, floorY + h * 0.09, w * 0.80, h * 0.10));
    CGFloat tableX = x + w * 0.50, tableW = w * 0.40, tableY = floorY - h * 0.05;
    fillRoundedRect(context, CGRectMake(tableX + 8, tableY, 9, h * 0.13), 2, { 0.30, 0.20, 0.13 }, light);
    fillRoundedRect(context, CGRectMake(tableX + tableW - 17, tableY, 9, h * 0.13), 2, { 0.30, 0.20, 0.13 }, light);
    fillRoundedRect(context, CGRectMake(tableX, tableY - 6, tableW, 12), 3, { 0.46, 0.31, 0.20 }, light);
    CGFloat lampX = tableX + tableW * 0.62;
    fillRoundedRect(context, CGRectMake(lampX - 13, tableY - 12, 26, 6), 3, { 0.25, 0.25, 0.27 }, light);
    fillRoundedRect(context, CGRectMake(lampX - 2, tableY - 52, 4, 42), 2, { 0.25, 0.25, 0.27 }, light);
    fillPolygon(context, { { lampX - 14, tableY - 80 }, { lampX + 14, tableY - 80 }, { lampX + 24, tableY - 50 }, { lampX - 24, tableY - 50 } }, { 0.90, 0.84, 0.68 }, light);
    CGFloat potX = x + w * 0.10, potY = floorY + h * 0.02;
    CGFloat stemX = potX + 22;
    for (auto [angle, length, shade] : { std::tuple { -1.1, 44.0, 0.9 }, { -0.7, 58.0, 1.0 }, { -0.3, 66.0, 0.85 }, { 0.05, 72.0, 1.0 }, { 0.4, 62.0, 0.9 }, { 0.8, 52.0, 1.0 }, { 1.15, 40.0, 0.85 } }) {
        CGContextSaveGState(context);
        CGContextTranslateCTM(context, stemX, potY + 2);
        CGContextRotateCTM(context, angle);
        setFill(context, { 0.24 * shade, 0.46 * shade, 0.26 * shade }, light);
        CGContextBeginPath(context);
        CGContextMoveToPoint(context, 0, 0);
        CGContextAddQuadCurveToPoint(context, 11, -length * 0.5, 0, -length);
        CGContextAddQuadCurveToPoint(context, -11, -length * 0.5, 0, 0);
        CGContextFillPath(context);
        CGContextRestoreGState(context);
    }
    fillPolygon(context, { { potX, potY }, { potX + 44, potY }, { potX + 38, potY + 50 }, { potX + 6, potY + 50 } }, { 0.62, 0.34, 0.22 }, light);
    fillRoundedRect(context, CGRectMake(potX - 3, potY - 2, 50, 8), 2, { 0.55, 0.30, 0.19 }, light);
}

// Someone looking at the front camera.
void drawSelfie(CGContextRef context, CGRect rect, CGFloat light)
{
    CGFloat x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    fillGradient(context, rect, { 0.30, 0.33, 0.38 }, { 0.18, 0.20, 0.24 }, light);
    setFill(context, { 0.22, 0.28, 0.40 }, light);
    CGContextFillEllipseInRect(context, CGRectMake(x + w * 0.12, y + h * 0.62, w * 0.76, h * 0.5));
    CGRect head = CGRectMake(x + w * 0.5 - 70, y + h * 0.28, 140, 180);
    fillRoundedRect(context, CGRectMake(CGRectGetMidX(head) - 26, CGRectGetMaxY(head) - 30, 52, 84), 20, { 0.72, 0.56, 0.45 }, light);
    setFill(context, { 0.25, 0.18, 0.13 }, light);
    CGContextFillEllipseInRect(context, CGRectMake(head.origin.x - 10, head.origin.y - 14, head.size.width + 20, head.size.height * 0.75));
    setFill(context, { 0.80, 0.64, 0.52 }, light);
    CGContextFillEllipseInRect(context, CGRectMake(head.origin.x, head.origin.y + 26, head.size.width, head.size.height - 26));
}

// The names of the modes, left to right as the camera's mode dial shows them.
constexpr std::pair<NSInteger, const char*> kModeDial[] = {
    { ModeTimeLapse, "TIME-LAPSE" },
    { ModeSlowMotion, "SLO-MO" },
    { ModeVideo, "VIDEO" },
    { ModePhoto, "PHOTO" },
    { ModeSquare, "SQUARE" },
    { ModePanorama, "PANO" },
};

bool dialShows(NSInteger mode)
{
    int generation = currentFamily().generation;
    if (mode == ModePhoto || mode == ModeVideo)
        return true;
    if (mode == ModeSquare || mode == ModePanorama)
        return generation >= 7;
    return generation >= 8;
}

constexpr CGFloat kBottomBarHeight = 130;
constexpr CGFloat kDialGap = 22;
const graphics::Font kDialFont { 13, false };

// The dial's baseline, and the shutter the bar draws where the camera has
// no shutter button, in the camera view of size.
CGFloat dialBaseline(CGSize size)
{
    return size.height - kBottomBarHeight + 20;
}

CGRect drawnShutterRect(CGSize size)
{
    return CGRectMake(size.width / 2 - 33, size.height - 93, 66, 66);
}

struct DialLabel {
    NSInteger mode;
    const char* name;
    CGFloat centerX;
    CGFloat width;
};

// The dial's labels: the current mode's centred at centerX, its neighbours
// kDialGap apart on either side.
std::vector<DialLabel> modeDialLabels(CGFloat centerX, NSInteger current)
{
    std::vector<DialLabel> shown;
    for (const auto& entry : kModeDial) {
        if (dialShows(entry.first))
            shown.push_back({ entry.first, entry.second, 0, graphics::measureText(entry.second, kDialFont).width });
    }
    size_t index = 0;
    while (index < shown.size() && shown[index].mode != current)
        ++index;
    if (index == shown.size())
        return {};
    shown[index].centerX = centerX;
    CGFloat left = centerX - shown[index].width / 2;
    for (size_t i = index; i-- > 0;) {
        left -= kDialGap + shown[i].width;
        shown[i].centerX = left + shown[i].width / 2;
    }
    CGFloat right = centerX + shown[index].width / 2;
    for (size_t i = index + 1; i < shown.size(); ++i) {
        shown[i].centerX = right + kDialGap + shown[i].width / 2;
        right += kDialGap + shown[i].width;
    }
    return shown;
}

// The mode dial: the current mode in yellow at the middle, its neighbours in white.
void drawModeDial(CGContextRef context, CGFloat centerX, CGFloat baseline, NSInteger current)
{
    for (const auto& label : modeDialLabels(centerX, current))
        drawText(context, label.name, label.centerX, baseline, kDialFont, label.mode == current ? kYellow : kWhite);
}

void drawShutterRing(CGContextRef context, CGRect bounds, CGFloat width)
{
    setStroke(context, kWhite, width);
    CGContextBeginPath(context);
    CGContextAddEllipseInRect(context, CGRectInset(bounds, width / 2, width / 2));
    CGContextStrokePath(context);
}

} // namespace

bool CameraView::drawnShutterContains(CGPoint point) const
{
    return !m_shutterButton && CGRectContainsPoint(drawnShutterRect(bounds().size), point);
}

bool CameraView::modeOnDialAt(CGPoint point, NSInteger& mode) const
{
    CGFloat baseline = dialBaseline(bounds().size);
    if (point.y < baseline - 22 || point.y > baseline + 10)
        return false;
    for (const auto& label : modeDialLabels(bounds().size.width / 2, model().mode)) {
        if (std::fabs(point.x - label.centerX) <= (label.width + kDialGap) / 2) {
            mode = label.mode;
            return true;
        }
    }
    return false;
}

void CameraView::drawRect(CGRect)
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    const Model& camera = model();
    CGRect bounds = this->bounds();
    CGFloat w = bounds.size.width, h = bounds.size.height;

    // The preview: dark unless the LED lights the room, more the higher its level.
    if (camera.device == DeviceRear) {
        CGFloat level = std::clamp<CGFloat>(camera.rearDevice->torchLevel(), 0, 1);
        drawRoom(context, bounds, 0.28 + 0.72 * level);
        if (level > 0)
            glow(context, CGRectMake(w * 0.05, h * 0.22, w * 0.9, h * 0.5), 50 + 50 * level, { 1, 0.96, 0.84, 0.12 + 0.38 * level });
    } else {
        drawSelfie(context, bounds, 0.45);
    }
    fillGradient(context, CGRectMake(0, 0, w, 140), { 0, 0, 0, 0.45 }, { 0, 0, 0, 0 });

    // The bottom bar with the mode dial, and the recording light.
    fillRoundedRect(context, CGRectMake(0, h - kBottomBarHeight, w, kBottomBarHeight), 0, { 0, 0, 0, 0.55 });
    drawModeDial(context, w / 2, dialBaseline(bounds.size), camera.mode);
    if (camera.recording) {
        setFill(context, kRecordingRed);
        CGContextFillEllipseInRect(context, CGRectMake(w / 2 - 26, 52, 10, 10));
        drawText(context, "REC", w / 2 + 8, 62, { 13, true }, kWhite);
    }

    // Where the camera has no shutter button (iOS 6), the bar draws one.
    if (!m_shutterButton) {
        CGRect shutter = drawnShutterRect(bounds.size);
        drawShutterRing(context, shutter, 4);
        setFill(context, isVideoMode(camera.mode) ? kRecordingRed : kWhite);
        CGContextFillEllipseInRect(context, CGRectInset(shutter, 6, 6));
    }
}

void ShutterButton::drawRect(CGRect)
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context || (m_outerView && (m_outerView->isHidden() || m_outerView->layer()->borderWidth() > 0)))
        return;
    drawShutterRing(context, bounds(), 4);
}

void FlashButton::drawRect(CGRect)
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    NSInteger mode = model().flashMode;
    CGRect b = bounds();
    // The bolt, in a 32-point square.
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, b.origin.x + (b.size.width - 32) / 2, b.origin.y + (b.size.height - 32) / 2);
    std::initializer_list<CGPoint> bolt = { { 17, 5 }, { 8, 18 }, { 14, 18 }, { 11, 28 }, { 21, 14 }, { 15, 14 }, { 19, 5 } };
    if (mode == FlashOff) {
        CGContextBeginPath(context);
        bool first = true;
        for (CGPoint point : bolt) {
            first ? CGContextMoveToPoint(context, point.x, point.y) : CGContextAddLineToPoint(context, point.x, point.y);
            first = false;
        }
        CGContextClosePath(context);
        setStroke(context, kWhite, 1.5);
        CGContextStrokePath(context);
        CGContextBeginPath(context);
        CGContextMoveToPoint(context, 6, 6);
        CGContextAddLineToPoint(context, 24, 27);
        CGContextStrokePath(context);
    } else {
        fillPolygon(context, bolt, mode == FlashOn ? kYellow : kWhite);
    }
    if (mode == FlashAuto)
        drawText(context, "A", 26, 29, { 10, true }, kWhite);
    CGContextRestoreGState(context);
}

void FlipButton::drawRect(CGRect)
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGRect b = bounds();
    CGFloat cx = CGRectGetMidX(b), cy = CGRectGetMidY(b) + 1;
    // A camera body with its viewfinder bump.
    setStroke(context, kWhite, 1.5);
    UIBezierPath::bezierPathWithRoundedRect(CGRectMake(cx - 13, cy - 8, 26, 17), 3)->stroke();
    fillRoundedRect(context, CGRectMake(cx - 5, cy - 11, 10, 3), 1, kWhite);
    // Two arrows turning round the lens.
    constexpr CGFloat kRadius = 4.5;
    for (int half = 0; half < 2; ++half) {
        CGFloat start = half ? M_PI * 0.15 : M_PI * 1.15;
        CGFloat end = start + M_PI * 0.7;
        CGContextBeginPath(context);
        CGContextAddArc(context, cx, cy, kRadius, start, end, 0);
        CGContextStrokePath(context);
        CGPoint tip = CGPointMake(cx + kRadius * std::cos(end), cy + kRadius * std::sin(end));
        CGPoint along = CGPointMake(-std::sin(end), std::cos(end)); // the direction the arc turns at its end
        CGPoint out = CGPointMake(std::cos(end), std::sin(end));
        fillPolygon(context, { CGPointMake(tip.x + along.x * 2.5, tip.y + along.y * 2.5), CGPointMake(tip.x - out.x * 2.5 - along.x, tip.y - out.y * 2.5 - along.y), CGPointMake(tip.x + out.x * 2.5 - along.x, tip.y + out.y * 2.5 - along.y) }, kWhite);
    }
}

void SettingsRow::drawRect(CGRect)
{
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context || !m_title)
        return;
    const graphics::Font font { 15, false };
    CGRect b = bounds();
    graphics::TextExtent extent = graphics::measureText(m_title->view(), font);
    setFill(context, kWhite);
    context->showText(m_title->view(), CGPointMake(b.origin.x + 12, CGRectGetMidY(b) + (extent.ascent - extent.descent) / 2), font);
}

} // namespace camera
