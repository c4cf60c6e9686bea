#include "graphics/RecordingContext.h"

#include <cstdio>

namespace graphics {

namespace {

const char* nameOf(RecordingContext::Kind kind)
{
    switch (kind) {
    case RecordingContext::Kind::SaveGState:
        return "save";
    case RecordingContext::Kind::RestoreGState:
        return "restore";
    case RecordingContext::Kind::Fill:
        return "fill";
    case RecordingContext::Kind::Stroke:
        return "stroke";
    case RecordingContext::Kind::Clip:
        return "clip";
    case RecordingContext::Kind::LinearGradient:
        return "gradient";
    case RecordingContext::Kind::RadialGradient:
        return "radial-gradient";
    case RecordingContext::Kind::BeginTransparencyLayer:
        return "begin-layer";
    case RecordingContext::Kind::EndTransparencyLayer:
        return "end-layer";
    case RecordingContext::Kind::Text:
        return "text";
    }
    return "?";
}

void appendFormat(std::string& out, const char* format, auto... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    out += buffer;
}

} // namespace

Ref<RecordingContext> RecordingContext::create(CGSize size)
{
    return adoptObject(new RecordingContext(size), CGContext::staticClass());
}

RecordingContext::RecordingContext(CGSize size)
    : CGContext(CGRectMake(0, 0, size.width, size.height), CGAffineTransformIdentity)
{
    m_operations.reserve(32);
}

RecordingContext::~RecordingContext() = default;

RecordingContext::Operation& RecordingContext::record(Kind kind)
{
    const GState& s = state();
    Operation& operation = m_operations.emplace_back();
    operation.kind = kind;
    operation.ctm = s.ctm;
    operation.lineWidth = s.lineWidth;
    operation.alpha = s.alpha;
    operation.shadow = s.shadow;
    operation.clipCount = s.clipCount();
    operation.clipBox = s.clipBox;
    operation.layerDepth = transparencyLayerDepth();
    return operation;
}

void RecordingContext::didSaveGState()
{
    record(Kind::SaveGState);
}

void RecordingContext::didRestoreGState()
{
    record(Kind::RestoreGState);
}

void RecordingContext::fillPath(const Ref<CGPath>& path, bool evenOdd)
{
    Operation& operation = record(Kind::Fill);
    operation.path = path;
    operation.evenOdd = evenOdd;
    operation.color = state().fillColor;
}

void RecordingContext::strokePath(const Ref<CGPath>& path)
{
    Operation& operation = record(Kind::Stroke);
    operation.path = path;
    operation.color = state().strokeColor;
}

void RecordingContext::didClip(const Ref<CGPath>& path, bool evenOdd)
{
    Operation& operation = record(Kind::Clip);
    operation.path = path;
    operation.evenOdd = evenOdd;
}

void RecordingContext::drawGradient(CGGradient& gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options)
{
    Operation& operation = record(Kind::LinearGradient);
    operation.gradient = &gradient;
    operation.start = start;
    operation.end = end;
    operation.options = options;
}

void RecordingContext::drawRadialGradient(CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    Operation& operation = record(Kind::RadialGradient);
    operation.gradient = &gradient;
    operation.start = startCenter;
    operation.startRadius = startRadius;
    operation.end = endCenter;
    operation.endRadius = endRadius;
    operation.options = options;
}

void RecordingContext::didBeginTransparencyLayer()
{
    record(Kind::BeginTransparencyLayer);
}

void RecordingContext::didEndTransparencyLayer()
{
    record(Kind::EndTransparencyLayer);
}

void RecordingContext::drawText(const std::string& text, CGPoint origin, const Font& font)
{
    Operation& operation = record(Kind::Text);
    operation.text = text;
    operation.font = font;
    operation.start = origin;
    operation.color = state().fillColor;
}

std::string RecordingContext::description() const
{
    std::string out;
    for (const Operation& operation : m_operations) {
        out.append(operation.layerDepth * 2, ' ');
        out += nameOf(operation.kind);
        if (operation.path) {
            CGRect box = operation.path->pathBoundingBox();
            appendFormat(out, " %s path of %zu elements in (%g, %g, %g, %g)", operation.evenOdd ? "even-odd" : "non-zero",
                operation.path->elementCount(), box.origin.x, box.origin.y, box.size.width, box.size.height);
        }
        if (operation.kind == Kind::Text)
            appendFormat(out, " \"%s\" at (%g, %g) size %g%s", operation.text.c_str(), operation.start.x, operation.start.y, operation.font.size, operation.font.bold ? " bold" : "");
        if (operation.kind == Kind::Fill || operation.kind == Kind::Stroke || operation.kind == Kind::Text)
            appendFormat(out, " colour (%g, %g, %g, %g)", operation.color.red, operation.color.green, operation.color.blue, operation.color.alpha);
        if (operation.kind == Kind::Stroke)
            appendFormat(out, " width %g", operation.lineWidth);
        if (operation.gradient)
            appendFormat(out, " from (%g, %g) to (%g, %g) options %u", operation.start.x, operation.start.y, operation.end.x, operation.end.y, operation.options);
        if (operation.shadow.color)
            appendFormat(out, " shadow (%g, %g) blur %g", operation.shadow.offset.width, operation.shadow.offset.height, operation.shadow.blur);
        if (operation.alpha != 1)
            appendFormat(out, " alpha %g", operation.alpha);
        appendFormat(out, " clips %zu\n", operation.clipCount);
    }
    return out;
}

} // namespace graphics
