// PNG files of rendered images: screenshots, and frames for whoever wants
// them as files or as bytes. Encoding is a step of its own after drawing,
// made for speed: zlib's fastest level, rows unfiltered (pictures of the
// screen are mostly flat runs, which that level compresses best as they
// are). The files are larger than cairo's own writer makes them (about
// 1.5 times for the tour's screenshots) and take a fifth of the time.
#pragma once

#include "graphics/RasterContext.h"

#include <string>

namespace camera {

// The image as a PNG file's bytes: 8-bit RGBA, colours unpremultiplied.
// Empty when the encoder fails.
std::string encodePNG(const graphics::RasterContext& image);

// Writes the image as a PNG file at path (made or replaced). Returns an
// error message, empty on success.
std::string writePNG(const graphics::RasterContext& image, const std::string& path);

} // namespace camera
