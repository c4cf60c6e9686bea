#include "host/ImageEncoding.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <vector>

namespace camera {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) { }

// Premultiplied ARGB words to RGBA bytes, each colour (c · 255 + a / 2) / a
// as the image's own pixel reading rounds it.
void unpremultiplyRow(const uint32_t* from, unsigned char* to, int width)
{
    for (int x = 0; x < width; ++x, to += 4) {
        uint32_t pixel = from[x];
        uint32_t alpha = pixel >> 24;
        if (alpha == 255) {
            to[0] = static_cast<unsigned char>(pixel >> 16);
            to[1] = static_cast<unsigned char>(pixel >> 8);
            to[2] = static_cast<unsigned char>(pixel);
            to[3] = 255;
            continue;
        }
        if (!alpha) {
            std::memset(to, 0, 4);
            continue;
        }
        auto channel = [alpha](uint32_t value) { return static_cast<unsigned char>(std::min<uint32_t>(255, ((value & 0xff) * 255 + alpha / 2) / alpha)); };
        to[0] = channel(pixel >> 16);
        to[1] = channel(pixel >> 8);
        to[2] = channel(pixel);
        to[3] = static_cast<unsigned char>(alpha);
    }
}

} // namespace

std::string encodePNG(const graphics::RasterContext& image)
{
    const int width = image.pixelWidth();
    const int height = image.pixelHeight();
    if (width <= 0 || height <= 0)
        return {};
    // Everything with a destructor exists before libpng may jump back here.
    std::string bytes;
    std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
    bytes.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &bytes, appendBytes, flushNothing);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        unpremultiplyRow(image.row(y), row.data(), width);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

std::string writePNG(const graphics::RasterContext& image, const std::string& path)
{
    std::string bytes = encodePNG(image);
    if (bytes.empty())
        return "cannot encode the image as PNG";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file)
        file.close();
    if (!file)
        return "cannot write " + path + ": " + std::strerror(errno);
    return {};
}

} // namespace camera
