#include "host/ImageEncoding.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

namespace camera {

namespace {

void appendBigEndian(std::string& out, uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void appendChunk(std::string& out, const char* type, const unsigned char* data, size_t length)
{
    appendBigEndian(out, static_cast<uint32_t>(length));
    size_t start = out.size();
    out.append(type, 4);
    out.append(reinterpret_cast<const char*>(data), length);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), static_cast<uInt>(length + 4));
    appendBigEndian(out, static_cast<uint32_t>(crc));
}

// (c · 255 + a / 2) / a, as the image's own pixel reading rounds it.
unsigned char unpremultiply(uint32_t component, uint32_t alpha)
{
    return static_cast<unsigned char>(std::min<uint32_t>(255, ((component & 0xff) * 255 + alpha / 2) / alpha));
}

} // namespace

void writeRGBA(const uint32_t* row, int width, unsigned char* out)
{
    uint32_t all = 0xff000000;
    for (int x = 0; x < width; ++x)
        all &= row[x];
    if ((all >> 24) == 0xff) {
        // Opaque: the components' order only (the loop the compiler widens).
        for (int x = 0; x < width; ++x, out += 4) {
            uint32_t pixel = row[x];
            out[0] = static_cast<unsigned char>(pixel >> 16);
            out[1] = static_cast<unsigned char>(pixel >> 8);
            out[2] = static_cast<unsigned char>(pixel);
            out[3] = 0xff;
        }
        return;
    }
    for (int x = 0; x < width; ++x, out += 4) {
        uint32_t pixel = row[x];
        uint32_t alpha = pixel >> 24;
        if (alpha == 255) {
            out[0] = static_cast<unsigned char>(pixel >> 16);
            out[1] = static_cast<unsigned char>(pixel >> 8);
            out[2] = static_cast<unsigned char>(pixel);
        } else if (alpha) {
            out[0] = unpremultiply(pixel >> 16, alpha);
            out[1] = unpremultiply(pixel >> 8, alpha);
            out[2] = unpremultiply(pixel, alpha);
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        out[3] = static_cast<unsigned char>(alpha);
    }
}

namespace {

// One row: its filter type (none), then its pixels. As RGB, false when a
// pixel was not opaque (the row is then to be written again as RGBA).
bool appendRow(unsigned char* out, const uint32_t* row, int width, bool opaque)
{
    *out++ = 0;
    if (opaque) {
        uint32_t all = 0xff000000;
        for (int x = 0; x < width; ++x, out += 3) {
            all &= row[x];
            out[0] = static_cast<unsigned char>(row[x] >> 16);
            out[1] = static_cast<unsigned char>(row[x] >> 8);
            out[2] = static_cast<unsigned char>(row[x]);
        }
        return (all >> 24) == 0xff;
    }
    writeRGBA(row, width, out);
    return true;
}

// The rows for compression, RGB when every pixel is opaque and RGBA
// otherwise; the row's length in rowBytes.
std::unique_ptr<unsigned char[]> rawRows(const PixelRows& pixels, bool& opaque, size_t& rowBytes)
{
    // Left as it comes: every byte is written before it is read.
    auto rows = [&](bool rgb) {
        rowBytes = 1 + static_cast<size_t>(pixels.width) * (rgb ? 3 : 4);
        return std::make_unique_for_overwrite<unsigned char[]>(rowBytes * static_cast<size_t>(pixels.height));
    };
    opaque = true;
    auto raw = rows(true);
    for (int y = 0; y < pixels.height; ++y) {
        if (!appendRow(raw.get() + rowBytes * static_cast<size_t>(y), pixels.first + static_cast<size_t>(y) * pixels.stride, pixels.width, true)) {
            opaque = false;
            break;
        }
    }
    if (opaque)
        return raw;
    raw = rows(false);
    for (int y = 0; y < pixels.height; ++y)
        appendRow(raw.get() + rowBytes * static_cast<size_t>(y), pixels.first + static_cast<size_t>(y) * pixels.stride, pixels.width, false);
    return raw;
}

// The compressor at the fastest level: one a thread, kept rather than made
// for every picture.
libdeflate_compressor* compressor()
{
    struct Free {
        void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
    };
    thread_local std::unique_ptr<libdeflate_compressor, Free> kept(libdeflate_alloc_compressor(1));
    return kept.get();
}

} // namespace

std::string encodePNG(const PixelRows& pixels)
{
    if (!pixels.first || pixels.width <= 0 || pixels.height <= 0 || pixels.stride < static_cast<size_t>(pixels.width))
        return {};
    libdeflate_compressor* deflater = compressor();
    if (!deflater)
        return {};
    bool opaque;
    size_t rowBytes;
    auto raw = rawRows(pixels, opaque, rowBytes);
    size_t rawLength = rowBytes * static_cast<size_t>(pixels.height);
    size_t room = libdeflate_zlib_compress_bound(deflater, rawLength);
    auto compressed = std::make_unique_for_overwrite<unsigned char[]>(room);
    size_t compressedLength = libdeflate_zlib_compress(deflater, raw.get(), rawLength, compressed.get(), room);
    if (!compressedLength)
        return {};

    static const unsigned char kSignature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    std::string png(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    png.reserve(sizeof kSignature + compressedLength + 64);
    unsigned char header[13] = {};
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<unsigned char>(static_cast<uint32_t>(pixels.width) >> (24 - 8 * i));
        header[4 + i] = static_cast<unsigned char>(static_cast<uint32_t>(pixels.height) >> (24 - 8 * i));
    }
    header[8] = 8;              // bits a component
    header[9] = opaque ? 2 : 6; // RGB or RGBA; compression, filtering and interlace are all 0
    appendChunk(png, "IHDR", header, sizeof header);
    appendChunk(png, "IDAT", compressed.get(), compressedLength);
    appendChunk(png, "IEND", nullptr, 0);
    return png;
}

std::string encodePNG(const graphics::RasterContext& image)
{
    int height = image.pixelHeight();
    if (height <= 0 || image.pixelWidth() <= 0)
        return {};
    size_t stride = height > 1 ? static_cast<size_t>(image.row(1) - image.row(0)) : static_cast<size_t>(image.pixelWidth());
    return encodePNG(PixelRows { image.row(0), stride, image.pixelWidth(), height });
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
