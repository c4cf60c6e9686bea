#include "host/LiveFrames.h"

#include "host/ImageEncoding.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <mutex>
#include <thread>
#include <vector>

namespace camera::liveframes {

namespace {

// A second thread that shares a frame's work, kept for the app's life (it
// only ever touches pixels and the bytes made of them).
class Helper {
public:
    static Helper& shared()
    {
        static auto* helper = new Helper;
        return *helper;
    }

    // Runs work(i) for i below count, on this thread and the helper.
    void forEach(size_t count, const std::function<void(size_t)>& work)
    {
        if (count < 2) {
            for (size_t i = 0; i < count; ++i)
                work(i);
            return;
        }
        std::atomic<size_t> next { 0 };
        auto share = [&] {
            for (size_t i; (i = next++) < count;)
                work(i);
        };
        {
            std::lock_guard lock(m_mutex);
            m_job = share;
        }
        m_changed.notify_all();
        share();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_job; });
    }

private:
    Helper()
    {
        std::thread([this] {
            for (;;) {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return !!m_job; });
                lock.unlock();
                m_job();
                lock.lock();
                m_job = nullptr;
                m_changed.notify_all();
            }
        }).detach();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job;
};

// New rows are converted this many at a time, shared by two threads; a
// PNG of fewer rows is not worth a thread.
constexpr int kRowsAJob = 96;
constexpr int kFewestPNGRows = 64;
// Far more than a screen's pixels, and less than a message's size field holds.
constexpr size_t kLargestMessage = 512 << 20;

void put16(std::string& out, size_t at, uint32_t value)
{
    out[at] = static_cast<char>(value);
    out[at + 1] = static_cast<char>(value >> 8);
}

void put32(std::string& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

uint32_t get32(const std::string& in, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + static_cast<size_t>(i)])) << (8 * i);
    return value;
}

// The pixels of an image, read without touching the image (from any thread).
struct Pixels {
    explicit Pixels(const graphics::RasterContext& image)
        : first(image.row(0))
        , stride(image.pixelHeight() > 1 ? static_cast<size_t>(image.row(1) - image.row(0)) : static_cast<size_t>(image.pixelWidth()))
    {
    }
    const uint32_t* row(int y) const { return first + static_cast<size_t>(y) * stride; }
    const uint32_t* first;
    size_t stride;
};

struct Run {
    int top;
    int rows;
    Piece kind;
    uint8_t back;
    std::string png;
};

} // namespace

std::string Encoder::encode(Ref<graphics::RasterContext> screen, bool whole, NewRows newRows)
{
    int width = screen->pixelWidth(), height = screen->pixelHeight();
    if (width <= 0 || height <= 0 || width > 0xffff || height > 0xffff)
        return {};
    // A page has nothing to put the first frame, or one of a new size,
    // together from.
    if (m_screens.empty() || m_screens.front()->pixelWidth() != width || m_screens.front()->pixelHeight() != height)
        whole = true;
    if (whole)
        m_screens.clear();
    Pixels now(*screen);
    std::vector<Pixels> earlier;
    for (const auto& image : m_screens)
        earlier.emplace_back(*image);

    // The rectangle that changed since the last frame.
    int left = 0, top = 0, right = width, bottom = height;
    if (!earlier.empty()) {
        const Pixels& last = earlier.front();
        size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
        auto rowSame = [&](int y) { return !std::memcmp(now.row(y), last.row(y), rowBytes); };
        while (top < height && rowSame(top))
            ++top;
        if (top == height)
            return {};
        while (rowSame(bottom - 1))
            --bottom;
        left = width;
        right = 0;
        for (int y = top; y < bottom; ++y) {
            const uint32_t* a = now.row(y);
            const uint32_t* b = last.row(y);
            int x = 0;
            while (x < left && a[x] == b[x])
                ++x;
            left = std::min(left, x);
            int end = width;
            while (end > right && a[end - 1] == b[end - 1])
                --end;
            right = std::max(right, end);
        }
    }
    int columns = right - left;
    size_t segmentBytes = static_cast<size_t>(columns) * sizeof(uint32_t);

    // Each row of the rectangle as one of the screens before had it, or new;
    // runs of rows alike are one piece.
    std::vector<Run> runs;
    for (int y = top; y < bottom; ++y) {
        Run row { y, 1, Piece::Pixels, 0, {} };
        for (size_t back = 0; back < earlier.size(); ++back) {
            if (!std::memcmp(now.row(y) + left, earlier[back].row(y) + left, segmentBytes)) {
                row.kind = Piece::Earlier;
                row.back = static_cast<uint8_t>(back);
                break;
            }
        }
        if (!runs.empty() && runs.back().kind == row.kind && runs.back().back == row.back && runs.back().rows < 0xffff)
            ++runs.back().rows;
        else
            runs.push_back(std::move(row));
    }

    // New rows in pieces of work for two threads: converted a few rows at a
    // time, or compressed as one PNG, or two halves (a page decodes each
    // PNG on its own).
    struct Job {
        size_t run;
        int top;
        int rows;
    };
    std::vector<Job> jobs;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].kind != Piece::Pixels)
            continue;
        int rows = runs[i].rows;
        int step = rows >= 2 * kFewestPNGRows ? (rows + 1) / 2 : rows;
        if (newRows == NewRows::Pixels)
            step = kRowsAJob;
        for (int y = runs[i].top; y < runs[i].top + rows; y += step)
            jobs.push_back({ i, y, std::min(step, runs[i].top + rows - y) });
    }
    if (newRows == NewRows::PNG) {
        // Each piece of work its own PNG.
        std::vector<Run> split;
        for (const auto& job : jobs)
            split.push_back({ job.top, job.rows, Piece::PNG, 0, {} });
        Helper::shared().forEach(split.size(), [&](size_t i) {
            split[i].png = encodePNG(PixelRows { now.row(split[i].top) + left, now.stride, columns, split[i].rows });
        });
        std::vector<Run> merged;
        size_t next = 0;
        for (auto& run : runs) {
            if (run.kind != Piece::Pixels) {
                merged.push_back(std::move(run));
                continue;
            }
            for (; next < split.size() && split[next].top < run.top + run.rows; ++next) {
                if (split[next].png.empty())
                    return {};
                merged.push_back(std::move(split[next]));
            }
        }
        runs = std::move(merged);
    }

    // The message: the header, then each piece.
    size_t size = kHeaderSize;
    for (const auto& run : runs) {
        size += kPieceHeaderSize;
        if (run.kind == Piece::Pixels)
            size += static_cast<size_t>(run.rows) * segmentBytes;
        else if (run.kind == Piece::PNG)
            size += run.png.size();
    }
    if (runs.size() > 0xffff || size > kLargestMessage)
        return {};
    std::string message(size, '\0');
    put32(message, 0, static_cast<uint32_t>(size));
    put32(message, 4, kKindFrame);
    put32(message, 12, whole ? kKeyFrame : 0);
    put16(message, 24, static_cast<uint32_t>(width));
    put16(message, 26, static_cast<uint32_t>(height));
    put16(message, 28, static_cast<uint32_t>(left));
    put16(message, 30, static_cast<uint32_t>(top));
    put16(message, 32, static_cast<uint32_t>(columns));
    put16(message, 34, static_cast<uint32_t>(bottom - top));
    put16(message, 36, static_cast<uint32_t>(runs.size()));
    std::vector<size_t> pixelsAt(runs.size());
    size_t at = kHeaderSize;
    for (size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        size_t length = run.kind == Piece::Pixels ? static_cast<size_t>(run.rows) * segmentBytes : run.png.size();
        put16(message, at, static_cast<uint32_t>(run.rows));
        message[at + 2] = static_cast<char>(run.kind);
        message[at + 3] = static_cast<char>(run.back);
        put32(message, at + 4, static_cast<uint32_t>(length));
        at += kPieceHeaderSize;
        pixelsAt[i] = at;
        if (run.kind == Piece::PNG)
            std::memcpy(message.data() + at, run.png.data(), length);
        at += length;
    }
    if (newRows == NewRows::Pixels) {
        auto* bytes = reinterpret_cast<unsigned char*>(message.data());
        Helper::shared().forEach(jobs.size(), [&](size_t i) {
            const Job& job = jobs[i];
            unsigned char* out = bytes + pixelsAt[job.run] + static_cast<size_t>(job.top - runs[job.run].top) * segmentBytes;
            for (int y = job.top; y < job.top + job.rows; ++y, out += segmentBytes)
                writeRGBA(now.row(y) + left, columns, out);
        });
    }

    m_screens.push_front(std::move(screen));
    if (m_screens.size() > kEarlierScreens)
        m_screens.pop_back();
    return message;
}

void keepLargeBuffers()
{
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

void stamp(std::string& message, uint32_t number, double sentMilliseconds)
{
    if (message.size() < kHeaderSize)
        return;
    put32(message, 8, number);
    uint64_t bits;
    static_assert(sizeof bits == sizeof sentMilliseconds);
    std::memcpy(&bits, &sentMilliseconds, sizeof bits);
    put32(message, 16, static_cast<uint32_t>(bits));
    put32(message, 20, static_cast<uint32_t>(bits >> 32));
}

std::string nothing()
{
    std::string message(8, '\0');
    put32(message, 0, 8);
    put32(message, 4, kKindNothing);
    return message;
}

bool isKeyFrame(const std::string& message)
{
    return message.size() >= kHeaderSize && get32(message, 4) == kKindFrame && (get32(message, 12) & kKeyFrame);
}

} // namespace camera::liveframes
