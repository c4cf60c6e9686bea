// The cost of drawing what the user sees: the torch list's popover from the
// tap that opens it, the whole camera window with the popover or with the
// torch lit, and, as the floor, a comparable card drawn with plain cairo.
//
// The camera runs in this process as the iOS 9 camera with the iOS 9
// module's hooks installed, on a device root of its own that is removed at
// exit. Everything is drawn at 2 pixels per point, as on the device.
#include "avfoundation/AVCaptureDevice.h"
#include "common/CameraIntegration.h"
#include "corefoundation/CoreFoundation.h"
#include "device/Device.h"
#include "dispatch/RunLoop.h"
#include "host/CameraApp.h"
#include "host/CameraModel.h"
#include "host/Families.h"
#include "host/ImageEncoding.h"
#include "ios9/HookTable.h"
#include "uikit/UIKitSimulator.h"
#include "uikit/UIRendering.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr CGFloat kScale = 2;

class Camera {
public:
    static Camera& shared()
    {
        static Camera* camera = new Camera;
        return *camera;
    }

    // The popover's view in the key window, or null.
    UIView* popover() const
    {
        Class chrome = objc_getClass("QLZPopoverBackgroundView");
        for (const auto& view : window()->subviews()) {
            if (class_isSubclassOf(object_getClass(view.ptr()), chrome) && camera::isShown(view.ptr()))
                return view.ptr();
        }
        return nullptr;
    }

    UIWindow* window() const { return UIApplication::sharedApplication()->keyWindow(); }

    void tapDot() { UIKitSimulator::tapView(camera::torchButton()); }

    // Closes the popover and lets its fade finish.
    void closePopover()
    {
        if (!popover())
            return;
        UIKitSimulator::tap(window(), CGPointMake(8, window()->bounds().size.height - 140));
        RunLoop::main().runFor(1);
    }

    void openPopover()
    {
        if (popover())
            return;
        tapDot();
        RunLoop::main().runFor(1);
    }

    void setTorchLevel(float level)
    {
        AVCaptureDevice* torch = camera::model().rearDevice.ptr();
        torch->lockForConfiguration(nullptr);
        if (level > 0)
            torch->setTorchModeOnWithLevel(level, nullptr);
        else
            torch->setTorchMode(AVCaptureTorchModeOff);
        torch->unlockForConfiguration();
    }

private:
    Camera()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumora-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        std::filesystem::create_directories(m_root / "var/mobile/Library/Preferences");
        device::setRoot(m_root);
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(shared().m_root, error);
        });
        device::setSystemVersion({ 9, 0 });
        kCFCoreFoundationVersionNumber = 1240.10;
        UIKitSimulator::setScreen(CGSizeMake(375, 667), kScale);
        camera::registerFamily(camera::familyForGeneration(9));
        startModule(ios9HookTable());
        camera::launchCamera();
        RunLoop::main().runPending();
    }

    std::filesystem::path m_root;
};

// From the touch on the yellow dot to the popover (its chrome, the content
// frame and the torch list's rows) drawn into an image: the list is built,
// the popover presented and laid out, then drawn.
void TapToDrawnPopover(benchmark::State& state)
{
    Camera& camera = Camera::shared();
    camera.setTorchLevel(0);
    camera.closePopover();
    for (auto _ : state) {
        camera.tapDot();
        UIKitSimulator::layoutWindows();
        {
            auto image = UIRendering::renderViewImage(camera.popover(), kScale);
            benchmark::DoNotOptimize(image->pixelAt(0, 0));
        }
        state.PauseTiming();
        camera.closePopover();
        state.ResumeTiming();
    }
}
BENCHMARK(TapToDrawnPopover)->Unit(benchmark::kMillisecond);

void WindowWithPopover(benchmark::State& state)
{
    Camera& camera = Camera::shared();
    camera.setTorchLevel(0);
    camera.openPopover();
    for (auto _ : state) {
        auto image = UIRendering::renderWindow(camera.window(), kScale);
        benchmark::DoNotOptimize(image->pixelAt(0, 0));
    }
    camera.closePopover();
}
BENCHMARK(WindowWithPopover)->Unit(benchmark::kMillisecond);

void WindowTorchLit(benchmark::State& state)
{
    Camera& camera = Camera::shared();
    camera.closePopover();
    camera.setTorchLevel(0.5);
    for (auto _ : state) {
        auto image = UIRendering::renderWindow(camera.window(), kScale);
        benchmark::DoNotOptimize(image->pixelAt(0, 0));
    }
    camera.setTorchLevel(0);
}
BENCHMARK(WindowTorchLit)->Unit(benchmark::kMillisecond);

// The popover's card with plain cairo at the same size: a rounded body with
// an arrow, its shadow by eight widening translucent fills, a vertical
// gradient and a hairline outline.
void CairoReferenceCard(benchmark::State& state)
{
    constexpr double kWidth = 220, kHeight = 113, kArrow = 13, kRadius = 5;
    auto outline = [](cairo_t* cr) {
        double left = 0.5, top = kArrow + 0.5, right = kWidth - 0.5, bottom = kHeight - 0.5;
        cairo_new_path(cr);
        cairo_move_to(cr, kWidth / 2 - 12, top);
        cairo_line_to(cr, kWidth / 2, top - kArrow);
        cairo_line_to(cr, kWidth / 2 + 12, top);
        cairo_arc(cr, right - kRadius, top + kRadius, kRadius, -M_PI / 2, 0);
        cairo_arc(cr, right - kRadius, bottom - kRadius, kRadius, 0, M_PI / 2);
        cairo_arc(cr, left + kRadius, bottom - kRadius, kRadius, M_PI / 2, M_PI);
        cairo_arc(cr, left + kRadius, top + kRadius, kRadius, M_PI, 3 * M_PI / 2);
        cairo_close_path(cr);
    };
    for (auto _ : state) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>((kWidth + 20) * kScale), static_cast<int>((kHeight + 20) * kScale));
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, kScale, kScale);
        cairo_translate(cr, 10, 10);
        for (int pass = 8; pass >= 1; --pass) {
            outline(cr);
            cairo_set_source_rgba(cr, 0, 0, 0, 0.05);
            cairo_set_line_width(cr, pass * 1.5);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke_preserve(cr);
            cairo_fill(cr);
        }
        outline(cr);
        cairo_save(cr);
        cairo_clip_preserve(cr);
        cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, kHeight);
        cairo_pattern_add_color_stop_rgba(gradient, 0, 0.1, 0.1, 0.1, 1);
        cairo_pattern_add_color_stop_rgba(gradient, 1, 0, 0, 0, 1);
        cairo_set_source(cr, gradient);
        cairo_paint(cr);
        cairo_pattern_destroy(gradient);
        cairo_restore(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        cairo_set_line_width(cr, 1 / kScale);
        cairo_stroke(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface)[0]);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
}
BENCHMARK(CairoReferenceCard)->Unit(benchmark::kMillisecond);

// A screenshot's encoding: the camera window with the torch lit and the
// popover open, as this app encodes it, and as cairo's own PNG writer does.
Ref<graphics::RasterContext> screenshot()
{
    Camera& camera = Camera::shared();
    camera.setTorchLevel(0.5);
    camera.openPopover();
    auto image = UIRendering::renderWindow(camera.window(), kScale);
    camera.closePopover();
    camera.setTorchLevel(0);
    return image;
}

void EncodeScreenshotPNG(benchmark::State& state)
{
    auto image = screenshot();
    size_t size = 0;
    for (auto _ : state) {
        std::string bytes = camera::encodePNG(image.get());
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(EncodeScreenshotPNG)->Unit(benchmark::kMillisecond);

void CairoScreenshotPNG(benchmark::State& state)
{
    auto image = screenshot();
    // The same pixels in a surface of cairo's own.
    int width = image->pixelWidth(), height = image->pixelHeight();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(cairo_image_surface_get_data(surface) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface), image->row(y), static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    size_t size = 0;
    for (auto _ : state) {
        std::string bytes;
        cairo_surface_write_to_png_stream(
            surface, [](void* closure, const unsigned char* data, unsigned length) {
                static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
                return CAIRO_STATUS_SUCCESS;
            },
            &bytes);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
    cairo_surface_destroy(surface);
}
BENCHMARK(CairoScreenshotPNG)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
