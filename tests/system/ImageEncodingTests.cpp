// PNG encoding of rendered images: what a decoder reads back, and files.
#include "host/ImageEncoding.h"
#include "support/TestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using graphics::RasterContext;

struct Reading {
    const std::string& bytes;
    size_t offset = 0;
};

cairo_surface_t* decode(const std::string& bytes)
{
    Reading reading { bytes };
    return cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned length) {
            auto* reading = static_cast<Reading*>(closure);
            if (reading->bytes.size() - reading->offset < length)
                return CAIRO_STATUS_READ_ERROR;
            std::memcpy(data, reading->bytes.data() + reading->offset, length);
            reading->offset += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reading);
}

TEST(ImageEncoding, APNGDecodesToThePixelsDrawn)
{
    auto image = RasterContext::create({ 30, 20 }, 2);
    CGContextRef c = image.ptr();
    CGContextSetRGBFillColor(c, 0.2, 0.6, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 15, 20));
    CGContextSetRGBFillColor(c, 1, 0.5, 0.25, 0.4);
    CGContextFillRect(c, CGRectMake(10, 5, 15, 10)); // partly over the opaque half, partly over nothing
    std::string bytes = camera::encodePNG(image.get());
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");

    cairo_surface_t* decoded = decode(bytes);
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(decoded), 60);
    ASSERT_EQ(cairo_image_surface_get_height(decoded), 40);
    int largest = 0, translucent = 0;
    for (int y = 0; y < 40; ++y) {
        const uint32_t* drawn = image->row(y);
        auto* read = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(decoded) + y * cairo_image_surface_get_stride(decoded));
        for (int x = 0; x < 60; ++x) {
            uint32_t alpha = drawn[x] >> 24;
            translucent += alpha > 0 && alpha < 255;
            // Opaque and clear pixels come back exactly; translucent ones
            // within the rounding of unpremultiplying and premultiplying.
            if (alpha == 0 || alpha == 255) {
                EXPECT_EQ(read[x], drawn[x]) << x << ", " << y;
            }
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(static_cast<int>(read[x] >> shift & 0xff) - static_cast<int>(drawn[x] >> shift & 0xff)));
        }
    }
    EXPECT_GT(translucent, 100);
    EXPECT_LE(largest, 1);
    cairo_surface_destroy(decoded);
}

TEST(ImageEncoding, AnOpaquePictureIsRGB)
{
    auto image = RasterContext::create({ 20, 10 }, 2);
    CGContextRef c = image.ptr();
    CGContextSetRGBFillColor(c, 0, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 10));
    CGContextSetRGBFillColor(c, 1, 0.8, 0.1, 0.5);
    CGContextFillEllipseInRect(c, CGRectMake(2, 2, 15, 7));
    std::string bytes = camera::encodePNG(image.get());
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[25], 2); // the colour type in the header: RGB
    cairo_surface_t* decoded = decode(bytes);
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    for (int y = 0; y < 20; ++y) {
        auto* read = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(decoded) + y * cairo_image_surface_get_stride(decoded));
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(read[x] | 0xff000000, image->row(y)[x]) << x << ", " << y;
    }
    cairo_surface_destroy(decoded);
}

// Rows are written as RGB until a pixel that is not opaque turns up, here in
// the last row: the picture is then written again, all of it as RGBA.
TEST(ImageEncoding, ATranslucentPixelLateInThePictureMakesItRGBA)
{
    auto image = RasterContext::create({ 40, 30 }, 1);
    CGContextRef c = image.ptr();
    CGContextSetRGBFillColor(c, 0.1, 0.7, 0.3, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 40, 29));
    CGContextSetRGBFillColor(c, 0.9, 0.2, 0.4, 1);
    CGContextFillRect(c, CGRectMake(0, 29, 39, 1)); // the last pixel is left clear
    std::string bytes = camera::encodePNG(image.get());
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[25], 6); // RGBA
    cairo_surface_t* decoded = decode(bytes);
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    for (int y = 0; y < 30; ++y) {
        auto* read = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(decoded) + y * cairo_image_surface_get_stride(decoded));
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(read[x], image->row(y)[x]) << x << ", " << y;
    }
    cairo_surface_destroy(decoded);
}

TEST(ImageEncoding, FilesAreWrittenOrTheFailureSaid)
{
    testing_support::TemporaryDeviceRoot folder;
    auto image = RasterContext::create({ 4, 4 }, 1);
    std::string path = (folder.path() / "frame.png").string();
    EXPECT_EQ(camera::writePNG(image.get(), path), "");
    std::ifstream file(path, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, camera::encodePNG(image.get()));

    std::string missing = (folder.path() / "no-such-folder" / "frame.png").string();
    std::string failure = camera::writePNG(image.get(), missing);
    EXPECT_NE(failure.find("cannot write " + missing), std::string::npos) << failure;
    // An image without pixels has nothing to encode.
    EXPECT_EQ(camera::encodePNG(RasterContext::create({ 0, 0 }, 2).get()), "");
}

} // namespace
