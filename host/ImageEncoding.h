// PNG files of rendered pictures: screenshots, and the new rows of the live
// view's frames for a page elsewhere. Encoding is a step of its own after
// drawing, made for speed: libdeflate's fastest level (about 1.6 times as
// fast as zlib's on the screen with the torch lit, whose glow leaves few
// long runs, and a little smaller), rows unfiltered (pictures of the screen
// are mostly flat runs, which that level compresses best as they are), RGB
// when nothing is translucent. A screenshot comes out about 1.2 times the
// size cairo's own writer makes, in a tenth of its time.
#pragma once

#include "graphics/RasterContext.h"

#include <string>

namespace camera {

// Rows of pixels as a raster image holds them: premultiplied ARGB words
// (alpha in the top byte), width of them a row, rows `stride` words apart.
struct PixelRows {
    const uint32_t* first = nullptr;
    size_t stride = 0;
    int width = 0;
    int height = 0;
};

// A row of pixels as 8-bit RGBA, the colours unpremultiplied (as a PNG's
// RGBA rows and a web page's ImageData hold them): 4 × width bytes at out.
void writeRGBA(const uint32_t* row, int width, unsigned char* out);

// The pixels as a PNG file's bytes, 8 bits a component: RGB when every pixel
// is opaque, else RGBA with the colours unpremultiplied. Empty when there
// are no pixels or compression fails.
std::string encodePNG(const PixelRows& pixels);
// All of an image.
std::string encodePNG(const graphics::RasterContext& image);

// Writes the image as a PNG file at path (made or replaced). Returns an
// error message, empty on success.
std::string writePNG(const graphics::RasterContext& image, const std::string& path);

} // namespace camera
