// A drawing context that paints into an ARGB image, for the simulator and for
// tests that look at pixels. (Emulation only: it stands in for the bitmap
// contexts UIKit draws views and layers into.)
//
// The image is size × scale pixels. User space starts as UIKit's: points,
// origin at the top left, y down; the CTM starts as the scale. Here device
// space is the pixel grid with y down (the platform's device space has y up,
// so its base CTM also carries a flip).
//
// Shadows are a Gaussian blur of the shape's coverage with a standard
// deviation of blur / 2 points (three box-blur passes), offset in the base
// space, tinted with the shadow colour and drawn beneath the shape; the clip
// cuts shape and shadow alike, so a shape outside the clip can cast its
// shadow into it.
#pragma once

#include "graphics/CGContext.h"

#include <memory>
#include <string>

namespace graphics {

class PLATFORM_EXPORT RasterContext final : public CGContext {
public:
    // Unpremultiplied 8-bit components.
    struct Pixel {
        uint8_t red = 0;
        uint8_t green = 0;
        uint8_t blue = 0;
        uint8_t alpha = 0;
        friend bool operator==(const Pixel&, const Pixel&) = default;
    };

    // An image of size points at scale pixels per point, cleared to
    // transparent. Sizes are rounded up to whole pixels.
    static Ref<RasterContext> create(CGSize size, CGFloat scale = 1);
    ~RasterContext() override;

    int pixelWidth() const noexcept;
    int pixelHeight() const noexcept;
    CGFloat scale() const noexcept { return m_scale; }
    // Transparent outside the image.
    Pixel pixelAt(int x, int y) const;
    // The pixel under a point of the base space (points).
    Pixel pixelAtPoint(CGPoint point) const;
    // False when the file cannot be written.
    bool writePNG(const std::string& path) const;
    // Row y of the image as drawn: premultiplied ARGB words (alpha in the
    // top byte), pixelWidth() of them; null outside the image.
    const uint32_t* row(int y) const;

private:
    struct Impl;
    RasterContext(CGSize size, CGFloat scale);

    void fillPath(const Ref<CGPath>& path, bool evenOdd) override;
    void strokePath(const Ref<CGPath>& path) override;
    void didClip(const Ref<CGPath>& path, bool evenOdd) override;
    void drawGradient(CGGradient& gradient, CGPoint start, CGPoint end, CGGradientDrawingOptions options) override;
    void drawRadialGradient(CGGradient& gradient, CGPoint startCenter, CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options) override;
    void didBeginTransparencyLayer() override;
    void didEndTransparencyLayer() override;
    void drawText(const std::string& text, CGPoint origin, const Font& font) override;

    CGFloat m_scale;
    std::unique_ptr<Impl> m_impl;
};

} // namespace graphics
