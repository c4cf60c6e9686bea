#include "graphics/CairoText.h"

#include <memory>

namespace graphics {

namespace {

// The face standing in for the system font.
constexpr const char* kFamily = "DejaVu Sans";

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

// A context to measure with; measurements do not draw, so one pixel will do.
std::unique_ptr<cairo_t, CairoDeleter> measuringContext()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface));
    cairo_surface_destroy(surface);
    return cr;
}

size_t previousCharacterStart(std::string_view text, size_t end)
{
    while (end > 0) {
        --end;
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80)
            break;
    }
    return end;
}

} // namespace

void selectFont(cairo_t* cr, const Font& font)
{
    cairo_select_font_face(cr, kFamily, CAIRO_FONT_SLANT_NORMAL, font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

TextExtent measureText(std::string_view text, const Font& font)
{
    if (!(font.size > 0))
        return {};
    auto cr = measuringContext();
    selectFont(cr.get(), font);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cr.get(), &fontExtents);
    TextExtent extent;
    extent.ascent = fontExtents.ascent;
    extent.descent = fontExtents.descent;
    if (!text.empty()) {
        std::string line(text);
        cairo_text_extents_t textExtents;
        cairo_text_extents(cr.get(), line.c_str(), &textExtents);
        extent.width = textExtents.x_advance;
    }
    return extent;
}

std::string truncateText(std::string_view text, const Font& font, CGFloat width)
{
    if (measureText(text, font).width <= width)
        return std::string(text);
    constexpr std::string_view ellipsis = "\u2026";
    size_t end = text.size();
    while (end > 0) {
        end = previousCharacterStart(text, end);
        std::string candidate = std::string(text.substr(0, end)) + std::string(ellipsis);
        if (measureText(candidate, font).width <= width)
            return candidate;
    }
    return std::string(ellipsis);
}

} // namespace graphics
