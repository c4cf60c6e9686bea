// CoreGraphics drawing contexts: one interface (CGContext, CGContextRef) over
// drawing back ends. The base class keeps the graphics state stack, the
// current path and transparency-layer nesting; a back end paints.
//
// Back ends live in namespace graphics: RecordingContext (keeps every
// operation for inspection) and RasterContext (paints pixels).
//
// Shadow offsets and blur are in the context's base space (its points, y
// down for the UIKit contexts made here) and ignore later changes to the
// CTM, as on the platform: with UIKit's coordinates a positive height moves
// the shadow down.
#pragma once

#include "graphics/CGGradient.h"
#include "graphics/CGPath.h"
#include "graphics/Text.h"

#include <optional>

class NSDictionary;

enum CGPathDrawingMode : int32_t {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};

class PLATFORM_EXPORT CGContext : public NSObject {
    OBJC_CLASS(CGContext)
public:
    struct Shadow {
        CGSize offset;
        CGFloat blur = 0;
        std::optional<graphics::RGBA> color; // none: no shadow
        bool isVisible() const noexcept { return color && color->alpha > 0; }
        friend bool operator==(const Shadow&, const Shadow&) = default;
    };

    // One step of a clip region: the area of a path (in the user space of
    // `ctm`) by a fill rule, intersected with its parent's. Saved states
    // share these, so saving costs no allocation.
    class PLATFORM_EXPORT ClipPath {
    public:
        ClipPath(RefPtr<const ClipPath> parent, Ref<CGPath> path, const CGAffineTransform& ctm, bool evenOdd);
        const ClipPath* parent() const noexcept { return m_parent.get(); }
        const CGPath& path() const noexcept { return m_path.get(); }
        const CGAffineTransform& ctm() const noexcept { return m_ctm; }
        bool evenOdd() const noexcept { return m_evenOdd; }
        size_t depth() const noexcept { return m_depth; }
        void retain() const noexcept { ++m_refCount; }
        void release() const noexcept
        {
            if (!--m_refCount)
                delete this;
        }

    private:
        mutable uint32_t m_refCount = 1;
        RefPtr<const ClipPath> m_parent;
        Ref<CGPath> m_path;
        CGAffineTransform m_ctm;
        bool m_evenOdd;
        size_t m_depth;
    };

    struct GState {
        CGAffineTransform ctm;
        RefPtr<const ClipPath> clip; // null: only the context's bounds
        CGRect clipBox;              // device-space bounds of the clip; CGRectNull when empty
        graphics::RGBA fillColor;    // opaque black
        graphics::RGBA strokeColor;
        CGFloat lineWidth = 1;
        CGFloat alpha = 1;
        Shadow shadow;
        size_t clipCount() const noexcept { return clip ? clip->depth() : 0; }
    };

    ~CGContext() override;

    const GState& state() const noexcept { return m_state; }
    size_t savedStateCount() const noexcept { return m_stack.size(); }
    size_t transparencyLayerDepth() const noexcept { return m_layerBases.size(); }

    // Graphics state. A restore without a matching save, or one that would
    // reach below the start of the innermost transparency layer, is ignored.
    void saveGState();
    void restoreGState();
    void concatCTM(const CGAffineTransform& transform);
    void setFillColor(const graphics::RGBA& color) { m_state.fillColor = color; }
    void setStrokeColor(const graphics::RGBA& color) { m_state.strokeColor = color; }
    void setLineWidth(CGFloat width);
    void setAlpha(CGFloat alpha);
    void setShadow(CGSize offset, CGFloat blur, const CGColor* color);

    // The current path, in the current user space. It is not part of the
    // graphics state; painting or clipping with it consumes it.
    CGPath& path();
    void beginPath();
    bool isPathEmpty() const noexcept { return !m_path || m_path->isEmpty(); }
    CGPoint pathCurrentPoint();
    CGRect pathBoundingBox();

    // Painting. An empty path paints nothing.
    void drawPath(CGPathDrawingMode mode);
    // Paints a path given in the current user space, leaving the current
    // path alone; the path must not change afterwards.
    void drawPath(const Ref<CGPath>& path, CGPathDrawingMode mode);
    void fillRect(CGRect rect);
    void strokeRect(CGRect rect);
    void clip(bool evenOdd);
    void clipToRect(CGRect rect);
    // In user space; CGRectNull when the clip is empty.
    CGRect clipBoundingBox() const;
    void drawLinearGradient(CGGradient* gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options);
    // Location 0 on the start circle, 1 on the end circle, the circles
    // between them interpolated. Negative radii count as 0.
    void drawRadialGradient(CGGradient* gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options);
    // Until the matching end, drawing goes into a fresh transparent layer
    // with alpha 1 and no shadow; the end restores the state saved at the
    // beginning and composites the layer with its alpha, shadow and clip.
    void beginTransparencyLayer();
    void endTransparencyLayer();
    // Paints a line of UTF-8 text in the fill colour, its baseline starting
    // at origin in user space, glyphs upright when user space has y down (as
    // UIKit's contexts have). (Emulation only: the platform draws text with
    // its text system; see graphics/Text.h.)
    void showText(std::string_view text, CGPoint origin, const graphics::Font& font);

protected:
    // deviceBounds: the drawable area in device space; baseCTM: the CTM the
    // context starts with.
    CGContext(CGRect deviceBounds, const CGAffineTransform& baseCTM);

    // Back-end hooks. Paths come in the current user space (state().ctm
    // maps them to device space) and are not changed afterwards, so a back
    // end may keep them.
    virtual void didSaveGState() { }
    virtual void didRestoreGState() { }
    virtual void fillPath(const Ref<CGPath>& path, bool evenOdd) = 0;
    virtual void strokePath(const Ref<CGPath>& path) = 0;
    // After state().clip has taken the new step.
    virtual void didClip(const Ref<CGPath>& path, bool evenOdd) = 0;
    virtual void drawGradient(CGGradient& gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options) = 0;
    virtual void drawRadialGradient(CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options) = 0;
    // Called while the state still has the alpha and shadow the layer will
    // be composited with.
    virtual void didBeginTransparencyLayer() = 0;
    // Called after the state saved at the beginning is back.
    virtual void didEndTransparencyLayer() = 0;
    // Text that is not empty, in a font of positive size.
    virtual void drawText(const std::string& text, CGPoint origin, const graphics::Font& font) { }

private:
    Ref<CGPath> takePath();
    void alignPathWithCTM();

    GState m_state;
    std::vector<GState> m_stack;
    std::vector<size_t> m_layerBases; // m_stack sizes at which layers began
    RefPtr<CGPath> m_path;
    CGAffineTransform m_pathCTM; // the user space m_path is kept in
};
using CGContextRef = CGContext*;

PLATFORM_EXPORT CGContextRef CGContextRetain(CGContextRef context);
PLATFORM_EXPORT void CGContextRelease(CGContextRef context);

PLATFORM_EXPORT void CGContextSaveGState(CGContextRef context);
PLATFORM_EXPORT void CGContextRestoreGState(CGContextRef context);
PLATFORM_EXPORT CGAffineTransform CGContextGetCTM(CGContextRef context);
PLATFORM_EXPORT void CGContextConcatCTM(CGContextRef context, CGAffineTransform transform);
PLATFORM_EXPORT void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty);
PLATFORM_EXPORT void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy);
PLATFORM_EXPORT void CGContextRotateCTM(CGContextRef context, CGFloat angle);

PLATFORM_EXPORT void CGContextSetFillColorWithColor(CGContextRef context, CGColorRef color);
PLATFORM_EXPORT void CGContextSetStrokeColorWithColor(CGContextRef context, CGColorRef color);
PLATFORM_EXPORT void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
PLATFORM_EXPORT void CGContextSetRGBStrokeColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
PLATFORM_EXPORT void CGContextSetGrayFillColor(CGContextRef context, CGFloat gray, CGFloat alpha);
PLATFORM_EXPORT void CGContextSetGrayStrokeColor(CGContextRef context, CGFloat gray, CGFloat alpha);
PLATFORM_EXPORT void CGContextSetLineWidth(CGContextRef context, CGFloat width);
PLATFORM_EXPORT void CGContextSetAlpha(CGContextRef context, CGFloat alpha);
// A null colour turns the shadow off.
PLATFORM_EXPORT void CGContextSetShadowWithColor(CGContextRef context, CGSize offset, CGFloat blur, CGColorRef color);
// Black at a third of full opacity.
PLATFORM_EXPORT void CGContextSetShadow(CGContextRef context, CGSize offset, CGFloat blur);

PLATFORM_EXPORT void CGContextBeginPath(CGContextRef context);
PLATFORM_EXPORT void CGContextMoveToPoint(CGContextRef context, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGContextAddLineToPoint(CGContextRef context, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGContextAddCurveToPoint(CGContextRef context, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGContextAddQuadCurveToPoint(CGContextRef context, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
PLATFORM_EXPORT void CGContextAddArc(CGContextRef context, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle, int clockwise);
PLATFORM_EXPORT void CGContextAddArcToPoint(CGContextRef context, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
PLATFORM_EXPORT void CGContextAddRect(CGContextRef context, CGRect rect);
PLATFORM_EXPORT void CGContextAddEllipseInRect(CGContextRef context, CGRect rect);
PLATFORM_EXPORT void CGContextAddPath(CGContextRef context, CGPathRef path);
PLATFORM_EXPORT void CGContextClosePath(CGContextRef context);
PLATFORM_EXPORT bool CGContextIsPathEmpty(CGContextRef context);
PLATFORM_EXPORT CGPoint CGContextGetPathCurrentPoint(CGContextRef context);
PLATFORM_EXPORT CGRect CGContextGetPathBoundingBox(CGContextRef context);

PLATFORM_EXPORT void CGContextFillPath(CGContextRef context);
PLATFORM_EXPORT void CGContextEOFillPath(CGContextRef context);
PLATFORM_EXPORT void CGContextStrokePath(CGContextRef context);
PLATFORM_EXPORT void CGContextDrawPath(CGContextRef context, CGPathDrawingMode mode);
PLATFORM_EXPORT void CGContextFillRect(CGContextRef context, CGRect rect);
PLATFORM_EXPORT void CGContextStrokeRect(CGContextRef context, CGRect rect);
PLATFORM_EXPORT void CGContextFillEllipseInRect(CGContextRef context, CGRect rect);

PLATFORM_EXPORT void CGContextClip(CGContextRef context);
PLATFORM_EXPORT void CGContextEOClip(CGContextRef context);
PLATFORM_EXPORT void CGContextClipToRect(CGContextRef context, CGRect rect);
PLATFORM_EXPORT CGRect CGContextGetClipBoundingBox(CGContextRef context);

PLATFORM_EXPORT void CGContextDrawLinearGradient(CGContextRef context, CGGradientRef gradient, CGPoint startPoint, CGPoint endPoint, CGGradientDrawingOptions options);
PLATFORM_EXPORT void CGContextDrawRadialGradient(CGContextRef context, CGGradientRef gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options);
PLATFORM_EXPORT void CGContextBeginTransparencyLayer(CGContextRef context, const NSDictionary* auxiliaryInfo);
PLATFORM_EXPORT void CGContextEndTransparencyLayer(CGContextRef context);
