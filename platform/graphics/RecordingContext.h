// A drawing context that paints nothing and keeps every operation with its
// parameters resolved at the time, for tests of drawing code. (Emulation
// only: the platform has no such context.)
#pragma once

#include "graphics/CGContext.h"

#include <string>
#include <vector>

namespace graphics {

class PLATFORM_EXPORT RecordingContext final : public CGContext {
public:
    enum class Kind : uint8_t {
        SaveGState,
        RestoreGState,
        Fill,
        Stroke,
        Clip,
        LinearGradient,
        RadialGradient,
        BeginTransparencyLayer,
        EndTransparencyLayer,
        Text,
    };

    struct Operation {
        Kind kind;
        bool evenOdd = false;        // Fill, Clip: the fill rule
        RefPtr<CGPath> path;         // Fill, Stroke, Clip: in user space
        CGAffineTransform ctm;       // user space to device space
        RGBA color;                  // Fill, Text: the fill colour; Stroke: the stroke colour
        CGFloat lineWidth = 1;       // the state's line width
        CGFloat alpha = 1;           // the state's alpha
        CGContext::Shadow shadow;    // the state's shadow (for layers: the one the layer casts)
        RefPtr<CGGradient> gradient; // LinearGradient, RadialGradient, with their ends in user space
        CGPoint start;               // LinearGradient; RadialGradient: the start centre; Text: the start of the baseline
        CGPoint end;                 // LinearGradient; RadialGradient: the end centre
        CGFloat startRadius = 0;     // RadialGradient
        CGFloat endRadius = 0;
        CGGradientDrawingOptions options = 0;
        size_t clipCount = 0;  // clip steps in effect (for Clip: with the new one)
        CGRect clipBox;        // device-space bounds of that clip
        size_t layerDepth = 0; // transparency layers open around the operation
        std::string text;      // Text: the line, and its font
        Font font;
    };

    // A context of the given size with the identity as its CTM (user space
    // is device space) and a clip of (0, 0, size).
    static Ref<RecordingContext> create(CGSize size);
    ~RecordingContext() override;

    const std::vector<Operation>& operations() const noexcept { return m_operations; }
    void clear() { m_operations.clear(); }
    // One line per operation, for failure messages.
    std::string description() const;

private:
    explicit RecordingContext(CGSize size);
    Operation& record(Kind kind);

    void didSaveGState() override;
    void didRestoreGState() override;
    void fillPath(const Ref<CGPath>& path, bool evenOdd) override;
    void strokePath(const Ref<CGPath>& path) override;
    void didClip(const Ref<CGPath>& path, bool evenOdd) override;
    void drawGradient(CGGradient& gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options) override;
    void drawRadialGradient(CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options) override;
    void didBeginTransparencyLayer() override;
    void didEndTransparencyLayer() override;
    void drawText(const std::string& text, CGPoint origin, const Font& font) override;

    std::vector<Operation> m_operations;
};

} // namespace graphics
