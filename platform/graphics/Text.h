// Lines of text for the emulation's drawing contexts. (Emulation only: the
// platform lays text out with its own fonts and text system.) There is one
// sans-serif face, DejaVu Sans through cairo's font selection, at a size in
// points, regular or bold; it stands in for the system font, whose metrics
// it approximates.
#pragma once

#include "graphics/CGGeometry.h"

#include <string>
#include <string_view>

namespace graphics {

struct Font {
    CGFloat size = 17; // points; UIKit's default system font size
    bool bold = false;
    friend bool operator==(const Font&, const Font&) = default;
};

// The extent of a line of text set in a font, in points: the advance of the
// whole line, and the font's ascent above and descent below the baseline.
struct TextExtent {
    CGFloat width = 0;
    CGFloat ascent = 0;
    CGFloat descent = 0;
};

// Text is UTF-8. Sizes of zero or less measure as nothing.
PLATFORM_EXPORT TextExtent measureText(std::string_view text, const Font& font);

// The longest start of text (whole characters) that fits in width once an
// ellipsis ("…") is added, with the ellipsis; the text itself when it fits,
// the ellipsis alone when nothing else does.
PLATFORM_EXPORT std::string truncateText(std::string_view text, const Font& font, CGFloat width);

} // namespace graphics
