#include "graphics/CGContext.h"

#include <algorithm>

namespace {

bool isInvertible(const CGAffineTransform& m)
{
    return m.a * m.d - m.b * m.c != 0;
}

} // namespace

CGContext::ClipPath::ClipPath(RefPtr<const ClipPath> parent, Ref<CGPath> path, const CGAffineTransform& ctm, bool evenOdd)
    : m_parent(std::move(parent))
    , m_path(std::move(path))
    , m_ctm(ctm)
    , m_evenOdd(evenOdd)
    , m_depth(m_parent ? m_parent->depth() + 1 : 1)
{
}

Class CGContext::staticClass()
{
    static Class cls = ClassBuilder<CGContext>("CGContext", &OBJC_CLASS_NSObject).build();
    return cls;
}

CGContext::CGContext(CGRect deviceBounds, const CGAffineTransform& baseCTM)
{
    m_state.ctm = baseCTM;
    m_state.clipBox = CGRectStandardize(deviceBounds);
    m_pathCTM = baseCTM;
}

CGContext::~CGContext() = default;

void CGContext::saveGState()
{
    m_stack.push_back(m_state);
    didSaveGState();
}

void CGContext::restoreGState()
{
    size_t floor = m_layerBases.empty() ? 0 : m_layerBases.back();
    if (m_stack.size() <= floor)
        return;
    m_state = std::move(m_stack.back());
    m_stack.pop_back();
    didRestoreGState();
}

void CGContext::concatCTM(const CGAffineTransform& transform)
{
    m_state.ctm = CGAffineTransformConcat(transform, m_state.ctm);
}

void CGContext::setLineWidth(CGFloat width)
{
    if (width >= 0)
        m_state.lineWidth = width;
}

void CGContext::setAlpha(CGFloat alpha)
{
    if (!std::isnan(alpha))
        m_state.alpha = std::clamp<CGFloat>(alpha, 0, 1);
}

void CGContext::setShadow(CGSize offset, CGFloat blur, const CGColor* color)
{
    m_state.shadow.offset = offset;
    m_state.shadow.blur = blur > 0 ? blur : 0;
    if (color)
        m_state.shadow.color = graphics::resolveColor(color);
    else
        m_state.shadow.color.reset();
}

// The path keeps the coordinates it was given in the user space of the CTM
// it was begun under, so drawing code that leaves the CTM alone gets its own
// numbers back. When the CTM changes, the path is re-expressed in the new
// user space (it stays put in device space, as on the platform).
void CGContext::alignPathWithCTM()
{
    if (!m_path || m_pathCTM == m_state.ctm)
        return;
    if (isInvertible(m_state.ctm))
        m_path->applyTransform(CGAffineTransformConcat(m_pathCTM, CGAffineTransformInvert(m_state.ctm)));
    m_pathCTM = m_state.ctm;
}

CGPath& CGContext::path()
{
    if (!m_path) {
        m_path = CGPath::create();
        m_pathCTM = m_state.ctm;
    } else {
        alignPathWithCTM();
    }
    return *m_path;
}

Ref<CGPath> CGContext::takePath()
{
    alignPathWithCTM();
    Ref<CGPath> path = m_path ? Ref<CGPath>(*m_path) : CGPath::create();
    m_path = nullptr;
    return path;
}

void CGContext::beginPath()
{
    m_path = nullptr;
}

CGPoint CGContext::pathCurrentPoint()
{
    return m_path ? path().currentPoint() : CGPointZero;
}

CGRect CGContext::pathBoundingBox()
{
    return m_path ? path().boundingBox() : CGRectNull;
}

void CGContext::drawPath(CGPathDrawingMode mode)
{
    drawPath(takePath(), mode);
}

void CGContext::drawPath(const Ref<CGPath>& path, CGPathDrawingMode mode)
{
    if (path->isEmpty())
        return;
    switch (mode) {
    case kCGPathFill:
    case kCGPathEOFill:
        fillPath(path, mode == kCGPathEOFill);
        break;
    case kCGPathStroke:
        strokePath(path);
        break;
    case kCGPathFillStroke:
    case kCGPathEOFillStroke:
        fillPath(path, mode == kCGPathEOFillStroke);
        strokePath(path);
        break;
    }
}

void CGContext::fillRect(CGRect rect)
{
    auto path = CGPath::create();
    path->addRect(rect);
    drawPath(path, kCGPathFill);
}

void CGContext::strokeRect(CGRect rect)
{
    auto path = CGPath::create();
    path->addRect(rect);
    drawPath(path, kCGPathStroke);
}

void CGContext::clip(bool evenOdd)
{
    Ref<CGPath> path = takePath();
    CGRect box = path->isEmpty() ? CGRectNull : CGRectApplyAffineTransform(path->pathBoundingBox(), m_state.ctm);
    m_state.clipBox = CGRectIntersection(m_state.clipBox, box);
    m_state.clip = adoptRef(new ClipPath(std::move(m_state.clip), path, m_state.ctm, evenOdd));
    didClip(path, evenOdd);
}

void CGContext::clipToRect(CGRect rect)
{
    RefPtr<CGPath> saved = std::move(m_path);
    CGAffineTransform savedCTM = m_pathCTM;
    m_path = CGPath::create();
    m_pathCTM = m_state.ctm;
    m_path->addRect(rect);
    clip(false);
    m_path = std::move(saved);
    m_pathCTM = savedCTM;
}

CGRect CGContext::clipBoundingBox() const
{
    if (CGRectIsNull(m_state.clipBox) || !isInvertible(m_state.ctm))
        return CGRectNull;
    return CGRectApplyAffineTransform(m_state.clipBox, CGAffineTransformInvert(m_state.ctm));
}

void CGContext::showText(std::string_view text, CGPoint origin, const graphics::Font& font)
{
    if (text.empty() || !(font.size > 0))
        return;
    drawText(std::string(text), origin, font);
}

void CGContext::drawLinearGradient(CGGradient* gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options)
{
    if (!gradient)
        return;
    drawGradient(*gradient, start, end, options);
}

void CGContext::drawRadialGradient(CGGradient* gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    if (!gradient)
        return;
    drawRadialGradient(*gradient, startCenter, std::max<CGFloat>(startRadius, 0), endCenter, std::max<CGFloat>(endRadius, 0), options);
}

void CGContext::beginTransparencyLayer()
{
    didBeginTransparencyLayer();
    m_stack.push_back(m_state);
    m_layerBases.push_back(m_stack.size());
    m_state.alpha = 1;
    m_state.shadow = {};
}

void CGContext::endTransparencyLayer()
{
    if (m_layerBases.empty())
        return;
    // Saves left open inside the layer end with it.
    m_stack.resize(m_layerBases.back());
    m_layerBases.pop_back();
    m_state = std::move(m_stack.back());
    m_stack.pop_back();
    didEndTransparencyLayer();
}

CGContextRef CGContextRetain(CGContextRef context)
{
    if (context)
        context->retain();
    return context;
}

void CGContextRelease(CGContextRef context)
{
    if (context)
        context->release();
}

void CGContextSaveGState(CGContextRef context)
{
    if (context)
        context->saveGState();
}

void CGContextRestoreGState(CGContextRef context)
{
    if (context)
        context->restoreGState();
}

CGAffineTransform CGContextGetCTM(CGContextRef context)
{
    return context ? context->state().ctm : CGAffineTransformIdentity;
}

void CGContextConcatCTM(CGContextRef context, CGAffineTransform transform)
{
    if (context)
        context->concatCTM(transform);
}

void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty)
{
    CGContextConcatCTM(context, CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy)
{
    CGContextConcatCTM(context, CGAffineTransformMakeScale(sx, sy));
}

void CGContextRotateCTM(CGContextRef context, CGFloat angle)
{
    CGContextConcatCTM(context, CGAffineTransformMakeRotation(angle));
}

void CGContextSetFillColorWithColor(CGContextRef context, CGColorRef color)
{
    if (context && color)
        context->setFillColor(graphics::resolveColor(color));
}

void CGContextSetStrokeColorWithColor(CGContextRef context, CGColorRef color)
{
    if (context && color)
        context->setStrokeColor(graphics::resolveColor(color));
}

void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    if (context)
        context->setFillColor({ red, green, blue, alpha });
}

void CGContextSetRGBStrokeColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
    if (context)
        context->setStrokeColor({ red, green, blue, alpha });
}

void CGContextSetGrayFillColor(CGContextRef context, CGFloat gray, CGFloat alpha)
{
    if (context)
        context->setFillColor({ gray, gray, gray, alpha });
}

void CGContextSetGrayStrokeColor(CGContextRef context, CGFloat gray, CGFloat alpha)
{
    if (context)
        context->setStrokeColor({ gray, gray, gray, alpha });
}

void CGContextSetLineWidth(CGContextRef context, CGFloat width)
{
    if (context)
        context->setLineWidth(width);
}

void CGContextSetAlpha(CGContextRef context, CGFloat alpha)
{
    if (context)
        context->setAlpha(alpha);
}

void CGContextSetShadowWithColor(CGContextRef context, CGSize offset, CGFloat blur, CGColorRef color)
{
    if (context)
        context->setShadow(offset, blur, color);
}

void CGContextSetShadow(CGContextRef context, CGSize offset, CGFloat blur)
{
    if (!context)
        return;
    auto space = adoptRef(*CGColorSpaceCreateDeviceGray());
    CGFloat components[] = { 0, 1.0 / 3 };
    auto color = CGColor::create(space.ptr(), components);
    context->setShadow(offset, blur, color.ptr());
}

void CGContextBeginPath(CGContextRef context)
{
    if (context)
        context->beginPath();
}

void CGContextMoveToPoint(CGContextRef context, CGFloat x, CGFloat y)
{
    if (context)
        context->path().moveTo({ x, y });
}

void CGContextAddLineToPoint(CGContextRef context, CGFloat x, CGFloat y)
{
    if (context)
        context->path().lineTo({ x, y });
}

void CGContextAddCurveToPoint(CGContextRef context, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y)
{
    if (context)
        context->path().curveTo({ cp1x, cp1y }, { cp2x, cp2y }, { x, y });
}

void CGContextAddQuadCurveToPoint(CGContextRef context, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y)
{
    if (context)
        context->path().quadCurveTo({ cpx, cpy }, { x, y });
}

void CGContextAddArc(CGContextRef context, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, int clockwise)
{
    if (context)
        context->path().addArc({ x, y }, radius, startAngle, endAngle, clockwise != 0);
}

void CGContextAddArcToPoint(CGContextRef context, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius)
{
    if (context)
        context->path().addArcToPoint({ x1, y1 }, { x2, y2 }, radius);
}

void CGContextAddRect(CGContextRef context, CGRect rect)
{
    if (context)
        context->path().addRect(rect);
}

void CGContextAddEllipseInRect(CGContextRef context, CGRect rect)
{
    if (context)
        context->path().addEllipseInRect(rect);
}

void CGContextAddPath(CGContextRef context, CGPathRef path)
{
    if (context && path)
        context->path().addPath(*path);
}

void CGContextClosePath(CGContextRef context)
{
    if (context)
        context->path().closeSubpath();
}

bool CGContextIsPathEmpty(CGContextRef context)
{
    return !context || context->isPathEmpty();
}

CGPoint CGContextGetPathCurrentPoint(CGContextRef context)
{
    return context ? context->pathCurrentPoint() : CGPointZero;
}

CGRect CGContextGetPathBoundingBox(CGContextRef context)
{
    return context ? context->pathBoundingBox() : CGRectNull;
}

void CGContextFillPath(CGContextRef context)
{
    CGContextDrawPath(context, kCGPathFill);
}

void CGContextEOFillPath(CGContextRef context)
{
    CGContextDrawPath(context, kCGPathEOFill);
}

void CGContextStrokePath(CGContextRef context)
{
    CGContextDrawPath(context, kCGPathStroke);
}

void CGContextDrawPath(CGContextRef context, CGPathDrawingMode mode)
{
    if (context)
        context->drawPath(mode);
}

void CGContextFillRect(CGContextRef context, CGRect rect)
{
    if (context)
        context->fillRect(rect);
}

void CGContextStrokeRect(CGContextRef context, CGRect rect)
{
    if (context)
        context->strokeRect(rect);
}

void CGContextFillEllipseInRect(CGContextRef context, CGRect rect)
{
    if (!context)
        return;
    auto path = CGPath::create();
    path->addEllipseInRect(rect);
    context->drawPath(path, kCGPathFill);
}

void CGContextClip(CGContextRef context)
{
    if (context)
        context->clip(false);
}

void CGContextEOClip(CGContextRef context)
{
    if (context)
        context->clip(true);
}

void CGContextClipToRect(CGContextRef context, CGRect rect)
{
    if (context)
        context->clipToRect(rect);
}

CGRect CGContextGetClipBoundingBox(CGContextRef context)
{
    return context ? context->clipBoundingBox() : CGRectNull;
}

void CGContextDrawLinearGradient(CGContextRef context, CGGradientRef gradient, CGPoint startPoint, CGPoint endPoint, CGGradientDrawingOptions options)
{
    if (context)
        context->drawLinearGradient(gradient, startPoint, endPoint, options);
}

void CGContextDrawRadialGradient(CGContextRef context, CGGradientRef gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    if (context)
        context->drawRadialGradient(gradient, startCenter, startRadius, endCenter, endRadius, options);
}

void CGContextBeginTransparencyLayer(CGContextRef context, const NSDictionary*)
{
    if (context)
        context->beginTransparencyLayer();
}

void CGContextEndTransparencyLayer(CGContextRef context)
{
    if (context)
        context->endTransparencyLayer();
}
