// The live view's pieces that need no browser: the JSON it reads, the
// addresses it serves, the lines a page may send, a tap at a point told back
// as the command it stood for, the frames it sends of the screen, and its
// connections' time limits.
#include "host/AppCommands.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraInspection.h"
#include "host/CameraModel.h"
#include "host/Json.h"
#include "host/LiveApp.h"
#include "host/LiveConnections.h"
#include "host/LiveFrames.h"
#include "host/LiveServer.h"
#include "host/LiveSession.h"
#include "system/CameraHarness.h"
#include "uikit/UIApplication.h"
#include "uikit/UIRendering.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

using namespace camera;
using testing_support::runWithCamera;

namespace {

std::string jsonError(const std::string& text)
{
    json::Object object;
    std::string error;
    return json::parseObject(text, object, error) ? std::string("parsed") : error;
}

} // namespace

TEST(LiveJson, FlatObjectsOfStringsNumbersBooleansAndNulls)
{
    json::Object object;
    std::string error;
    ASSERT_TRUE(json::parseObject(R"( {"command": "tap \"dot\"\n\u00e9\ud83d\ude00", "x": -1.5e2, "on": true, "off": false, "none": null} )", object, error)) << error;
    EXPECT_EQ(std::get<std::string>(object["command"]), "tap \"dot\"\n\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(std::get<double>(object["x"]), -150);
    EXPECT_TRUE(std::get<bool>(object["on"]));
    EXPECT_FALSE(std::get<bool>(object["off"]));
    EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(object["none"]));
    EXPECT_TRUE(json::parseObject("{}", object, error));
    EXPECT_TRUE(object.empty());

    // Quoting round-trips what parsing reads.
    std::string text = "a\"b\\c\n\x01";
    ASSERT_TRUE(json::parseObject("{\"k\":" + json::quote(text) + "}", object, error));
    EXPECT_EQ(std::get<std::string>(object["k"]), text);
    EXPECT_EQ(json::number(0.25), "0.25");
    EXPECT_EQ(json::number(std::nan("")), "null");
}

TEST(LiveJson, MalformedTextSaysWhatAndWhere)
{
    EXPECT_EQ(jsonError(""), "expected an object at offset 0");
    EXPECT_EQ(jsonError("[1]"), "expected an object at offset 0");
    EXPECT_EQ(jsonError(R"({"a": 1)"), "expected ',' or '}' at offset 7");
    EXPECT_EQ(jsonError(R"({"a": 1} x)"), "unexpected text after the object at offset 9");
    EXPECT_EQ(jsonError(R"({"a": {"b": 1}})"), "nested objects and arrays are not accepted at offset 6");
    EXPECT_EQ(jsonError(R"({"a": 1, "a": 2})"), "the key \"a\" is given twice at offset 15");
    for (const char* bad : { R"({"a": 0x10})", R"({"a": nan})", R"({"a": 1e999})", R"({"a": "\q"})", R"({"a": "\ud800"})", "{\"a\": \"\x01\"}",
             R"({"a": tru})", R"({a: 1})", R"({"a" 1})", R"({"a": "open)" })
        EXPECT_NE(jsonError(bad), "parsed") << bad;
}

TEST(LiveServer, AddressesAndLoopback)
{
    ServeOptions options;
    EXPECT_EQ(parseServeAddress("9000", options), "");
    EXPECT_EQ(options.address, "127.0.0.1");
    EXPECT_EQ(options.port, 9000);
    EXPECT_EQ(parseServeAddress("localhost:0", options), "");
    EXPECT_EQ(options.address, "127.0.0.1");
    EXPECT_EQ(parseServeAddress("[::1]:8081", options), "");
    EXPECT_EQ(options.address, "::1");
    EXPECT_EQ(parseServeAddress("0.0.0.0:80", options), "");
    EXPECT_FALSE(isLoopbackAddress(options.address));
    EXPECT_EQ(parseServeAddress("example.com:80", options), "not an IP address: example.com");
    EXPECT_EQ(parseServeAddress("127.0.0.1:65536", options), "not a port: 65536");
    EXPECT_EQ(parseServeAddress("127.0.0.1:", options), "not a port: ");
    EXPECT_EQ(parseServeAddress("[::1]8080", options), "expected [ADDRESS]:PORT: [::1]8080");

    EXPECT_TRUE(isLoopbackAddress("127.0.0.1"));
    EXPECT_TRUE(isLoopbackAddress("127.3.2.1"));
    EXPECT_TRUE(isLoopbackAddress("::1"));
    EXPECT_FALSE(isLoopbackAddress("::"));
    EXPECT_FALSE(isLoopbackAddress("128.0.0.1"));
    EXPECT_FALSE(isLoopbackAddress("::ffff:10.0.0.1"));
}

TEST(LiveSession, LinesAPageMayNotSend)
{
    EXPECT_EQ(LiveSession::checkLine("tap dot"), "");
    EXPECT_EQ(LiveSession::checkLine("prefs set torchName string caf\xc3\xa9 au lait"), "");
    EXPECT_EQ(LiveSession::checkLine("editor set enableTorch bool true"), "");
    EXPECT_NE(LiveSession::checkLine("tap dot\nquit"), "");
    EXPECT_NE(LiveSession::checkLine("tap dot\rquit"), "");
    EXPECT_NE(LiveSession::checkLine("tap dot # and a comment"), "");
    EXPECT_NE(LiveSession::checkLine(""), "");
    EXPECT_NE(LiveSession::checkLine(std::string(300, 'x')), "");
    EXPECT_NE(LiveSession::checkLine("wait 3"), "");
    EXPECT_NE(LiveSession::checkLine("screenshot /tmp/elsewhere.png"), "");
    EXPECT_NE(LiveSession::checkLine("editor --root /tmp/elsewhere set a bool true"), "");
    EXPECT_NE(LiveSession::checkLine("burst 1000"), "");
}

namespace {

// What a tap at a point did: the reply, and the command it stood for.
std::string tapAt(double x, double y)
{
    char line[64];
    std::snprintf(line, sizeof line, "tap at %g %g", x, y);
    std::string reply = handleCommand(line);
    if (reply != "ok")
        return reply;
    return handleLiveRequest("live-tap").value_or("no answer").substr(3);
}

CGPoint middleOf(UIView* view)
{
    CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    return CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
}

} // namespace

TEST(LiveTaps, ATapIsToldAsTheCommandItStoodFor)
{
    bool ok = runWithCamera({}, [] {
        CGPoint dot = middleOf(torchButton());
        EXPECT_EQ(tapAt(dot.x, dot.y), "tap dot");
        ASSERT_TRUE(popoverView());
        auto* control = shownControl(UISwitch::staticClass());
        ASSERT_TRUE(control);
        CGPoint switchPoint = middleOf(control);
        EXPECT_EQ(tapAt(switchPoint.x, switchPoint.y), "switch on");
        EXPECT_GT(model().rearDevice->torchLevel(), 0);
        EXPECT_EQ(tapAt(switchPoint.x, switchPoint.y), "switch off");
        // Away from the popover: the point itself (it dismissed the popover).
        EXPECT_EQ(tapAt(300, 450), "tap at 300 450");
        EXPECT_FALSE(popoverView());

        // The stock controls do what the camera does.
        auto* bar = static_cast<TopBar*>(objc_msgSend<id>(cameraView(), "_topBar"_sel));
        CGPoint flash = middleOf(bar->flashButton());
        EXPECT_EQ(tapAt(flash.x, flash.y), "flash on");
        EXPECT_EQ(model().flashMode, FlashOn);
        CGPoint flip = middleOf(bar->flipButton());
        EXPECT_EQ(tapAt(flip.x, flip.y), "camera front");
        EXPECT_EQ(model().device, DeviceFront);
        EXPECT_EQ(tapAt(flip.x, flip.y), "camera rear");
        int photos = model().photosTaken;
        EXPECT_EQ(tapAt(187.5, 667 - 60), "photo");
        EXPECT_EQ(model().photosTaken, photos + 1);

        // The mode dial: the name left of PHOTO's (at the middle) is VIDEO's;
        // a tap on the current mode's name does nothing a command would.
        EXPECT_EQ(tapAt(187.5, 667 - 112), "tap at 187.5 555");
        EXPECT_EQ(tapAt(120, 667 - 112), "mode video");
        EXPECT_EQ(model().mode, ModeVideo);
        EXPECT_EQ(tapAt(187.5, 667 - 60), "record start");
        EXPECT_TRUE(model().recording);
        EXPECT_EQ(tapAt(187.5, 667 - 60), "record stop");

        EXPECT_EQ(handleCommand("tap at 375 10"), "error the point (375, 10) is off the screen (375 x 667 points)");
    });
    EXPECT_TRUE(ok);
}

namespace {

// Reads a PNG as the frames write it (8-bit RGB, rows filtered with None or
// Up) into RGBA bytes.
bool decodePNG(const std::string& png, int& width, int& height, std::vector<uint8_t>& pixels)
{
    auto big = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(png[at]) << 24 | static_cast<uint8_t>(png[at + 1]) << 16 | static_cast<uint8_t>(png[at + 2]) << 8 | static_cast<uint8_t>(png[at + 3])); };
    if (png.size() < 33 || png.compare(1, 3, "PNG") != 0 || png.compare(12, 4, "IHDR") != 0)
        return false;
    width = static_cast<int>(big(16));
    height = static_cast<int>(big(20));
    if (png[24] != 8 || png[25] != 2)
        return false;
    std::string compressed;
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t length = big(at);
        std::string type = png.substr(at + 4, 4);
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4));
        if (big(at + 8 + length) != crc)
            return false;
        if (type == "IDAT")
            compressed += png.substr(at + 8, length);
        at += 12 + length;
    }
    size_t rowBytes = 1 + static_cast<size_t>(width) * 3;
    std::vector<unsigned char> raw(rowBytes * static_cast<size_t>(height));
    uLongf rawLength = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawLength, reinterpret_cast<const Bytef*>(compressed.data()), static_cast<uLong>(compressed.size())) != Z_OK || rawLength != raw.size())
        return false;
    pixels.clear();
    for (int y = 0; y < height; ++y) {
        unsigned char* row = raw.data() + rowBytes * static_cast<size_t>(y);
        unsigned char* above = y ? row - rowBytes : nullptr;
        if (row[0] == 2 && above) {
            for (size_t i = 1; i < rowBytes; ++i)
                row[i] = static_cast<unsigned char>(row[i] + above[i]);
        } else if (row[0] != 0) {
            return false;
        }
        for (int x = 0; x < width; ++x)
            pixels.insert(pixels.end(), { row[1 + 3 * x], row[2 + 3 * x], row[3 + 3 * x], 255 });
    }
    return true;
}

// The screens a page keeps, put together from the frames as the page does
// (host/web/frames.js), and what the last frame was made of.
class Page {
public:
    struct Frame {
        bool key = false;
        int x = 0, y = 0, width = 0, height = 0;
        std::vector<liveframes::Piece> pieces;
        std::vector<int> backs;
        size_t size = 0;
    };

    // The app's next frame, applied; nullopt when nothing changed.
    std::optional<Frame> next(const char* request)
    {
        std::string reply = handleLiveRequest(request).value_or("");
        if (reply == "ok 0")
            return std::nullopt;
        auto newline = reply.find('\n');
        EXPECT_NE(newline, std::string::npos) << reply;
        size_t length = 0;
        double rendered = 0, encoded = 0;
        std::istringstream in(reply.substr(3, newline - 3));
        in >> length >> rendered >> encoded;
        EXPECT_TRUE(in);
        std::string message = reply.substr(newline + 1);
        EXPECT_EQ(message.size(), length);
        auto frame = apply(message);
        EXPECT_TRUE(frame) << "a frame the page could not put together";
        return frame;
    }

    // The pixels that differ from the image's own reading of them.
    int mismatches(const graphics::RasterContext& image) const
    {
        if (m_screens.empty() || image.pixelWidth() != m_width || image.pixelHeight() != m_height)
            return -1;
        int count = 0;
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                auto pixel = image.pixelAt(x, y);
                const uint8_t* shown = m_screens.front().data() + (static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)) * 4;
                count += shown[0] != pixel.red || shown[1] != pixel.green || shown[2] != pixel.blue || shown[3] != pixel.alpha;
            }
        }
        return count;
    }

    // A frame message, applied; nullopt when the page cannot put it
    // together.
    std::optional<Frame> apply(const std::string& message)
    {
        if (message.size() < liveframes::kHeaderSize || get(message, 0, 4) != message.size() || get(message, 4, 4) != liveframes::kKindFrame)
            return std::nullopt;
        Frame frame;
        frame.size = message.size();
        frame.key = get(message, 12, 4) & liveframes::kKeyFrame;
        int width = static_cast<int>(get(message, 24, 2)), height = static_cast<int>(get(message, 26, 2));
        frame.x = static_cast<int>(get(message, 28, 2));
        frame.y = static_cast<int>(get(message, 30, 2));
        frame.width = static_cast<int>(get(message, 32, 2));
        frame.height = static_cast<int>(get(message, 34, 2));
        if (frame.key) {
            m_width = width;
            m_height = height;
            m_screens.clear();
        } else if (m_screens.empty() || width != m_width || height != m_height) {
            return std::nullopt;
        }
        if (frame.x + frame.width > width || frame.y + frame.height > height)
            return std::nullopt;
        size_t rowBytes = static_cast<size_t>(frame.width) * 4;
        std::vector<uint8_t> screen = m_screens.empty() ? std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * 4) : m_screens.front();
        auto at = [&](int x, int y) { return (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4; };
        size_t offset = liveframes::kHeaderSize;
        int row = frame.y;
        for (uint32_t count = get(message, 36, 2); count; --count) {
            if (offset + liveframes::kPieceHeaderSize > message.size())
                return std::nullopt;
            int rows = static_cast<int>(get(message, offset, 2));
            auto kind = static_cast<liveframes::Piece>(message[offset + 2]);
            int back = static_cast<uint8_t>(message[offset + 3]);
            size_t length = get(message, offset + 4, 4);
            offset += liveframes::kPieceHeaderSize;
            if (offset + length > message.size() || row + rows > frame.y + frame.height)
                return std::nullopt;
            std::vector<uint8_t> pixels;
            if (kind == liveframes::Piece::Pixels) {
                pixels.assign(message.begin() + static_cast<ptrdiff_t>(offset), message.begin() + static_cast<ptrdiff_t>(offset + length));
            } else if (kind == liveframes::Piece::PNG) {
                int pngWidth = 0, pngHeight = 0;
                if (!decodePNG(message.substr(offset, length), pngWidth, pngHeight, pixels) || pngWidth != frame.width || pngHeight != rows)
                    return std::nullopt;
            } else if (kind == liveframes::Piece::Earlier) {
                if (length || static_cast<size_t>(back) >= m_screens.size())
                    return std::nullopt;
                for (int r = row; r < row + rows; ++r)
                    pixels.insert(pixels.end(), m_screens[static_cast<size_t>(back)].begin() + static_cast<ptrdiff_t>(at(frame.x, r)),
                        m_screens[static_cast<size_t>(back)].begin() + static_cast<ptrdiff_t>(at(frame.x, r) + rowBytes));
            } else {
                return std::nullopt;
            }
            if (pixels.size() != static_cast<size_t>(rows) * rowBytes)
                return std::nullopt;
            for (int r = 0; r < rows; ++r)
                std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(r) * rowBytes), rowBytes, screen.begin() + static_cast<ptrdiff_t>(at(frame.x, row + r)));
            frame.pieces.push_back(kind);
            frame.backs.push_back(back);
            row += rows;
            offset += length;
        }
        if (row != frame.y + frame.height || offset != message.size())
            return std::nullopt;
        m_screens.push_front(std::move(screen));
        if (m_screens.size() > liveframes::kEarlierScreens)
            m_screens.pop_back();
        return frame;
    }

private:
    static uint32_t get(const std::string& in, size_t at, int bytes)
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + static_cast<size_t>(i)])) << (8 * i);
        return value;
    }

    int m_width = 0;
    int m_height = 0;
    std::deque<std::vector<uint8_t>> m_screens;
};

Ref<graphics::RasterContext> screenNow()
{
    return UIRendering::renderWindow(UIApplication::sharedApplication()->keyWindow(), 2);
}

} // namespace

// A key frame is the whole screen; a frame after it the rectangle that
// changed; the screen a page puts together is the app's to the pixel.
TEST(LiveFrames, TheRectangleThatChangedAndNothingWhenNothingDid)
{
    bool ok = runWithCamera({}, [] {
        Page page;
        auto whole = page.next("live-frame full");
        ASSERT_TRUE(whole);
        EXPECT_TRUE(whole->key);
        EXPECT_EQ(whole->width, 750);
        EXPECT_EQ(whole->height, 1334);
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
        EXPECT_FALSE(page.next("live-frame")) << "a frame though nothing changed";

        // The popover: the changed rectangle covers it.
        handleCommand("tap dot");
        auto patch = page.next("live-frame");
        ASSERT_TRUE(patch);
        EXPECT_FALSE(patch->key);
        CGRect popover = popoverView()->convertRectToView(popoverView()->bounds(), nullptr);
        EXPECT_LE(patch->x, popover.origin.x * 2);
        EXPECT_LE(patch->y, popover.origin.y * 2);
        EXPECT_GE(patch->x + patch->width, CGRectGetMaxX(popover) * 2);
        EXPECT_GE(patch->y + patch->height, CGRectGetMaxY(popover) * 2);
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
        EXPECT_FALSE(page.next("live-frame"));

        // The LED lights the room: every row is new.
        handleCommand("switch on");
        auto lit = page.next("live-frame");
        ASSERT_TRUE(lit);
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
    });
    EXPECT_TRUE(ok);
}

// An encoder's first frame, as after the Camera started anew, and the first
// of a screen of another size are key frames, asked for or not: a page has
// nothing else to put them together from.
TEST(LiveFrames, TheFirstFrameAndOneOfANewSizeAreWhole)
{
    bool ok = runWithCamera({}, [] {
        liveframes::Encoder encoder;
        Page page;
        auto first = page.apply(encoder.encode(screenNow(), false, liveframes::Encoder::NewRows::Pixels));
        ASSERT_TRUE(first) << "a first frame the page could not put together";
        EXPECT_TRUE(first->key);
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);

        auto smaller = UIRendering::renderWindow(UIApplication::sharedApplication()->keyWindow(), 1);
        auto resized = page.apply(encoder.encode(smaller, false, liveframes::Encoder::NewRows::Pixels));
        ASSERT_TRUE(resized);
        EXPECT_TRUE(resized->key);
        EXPECT_EQ(resized->width, 375);
        EXPECT_EQ(page.mismatches(smaller.get()), 0);
    });
    EXPECT_TRUE(ok);
}

// A screen that was shown a frame or two before (a popover closed, opened
// again) is sent as the rows it had then, not as pixels.
TEST(LiveFrames, RowsSeenJustBeforeAreSentAsTheyWere)
{
    bool ok = runWithCamera({}, [] {
        Page page;
        ASSERT_TRUE(page.next("live-frame full"));
        handleCommand("tap dot");
        auto opened = page.next("live-frame");
        ASSERT_TRUE(opened);
        handleCommand("tap at 300 450");
        ASSERT_FALSE(popoverView());
        for (int i = 0; i < 2; ++i) {
            auto again = page.next("live-frame");
            ASSERT_TRUE(again);
            EXPECT_EQ(again->size, liveframes::kHeaderSize + again->pieces.size() * liveframes::kPieceHeaderSize) << "pixels sent again";
            for (size_t piece = 0; piece < again->pieces.size(); ++piece) {
                EXPECT_EQ(again->pieces[piece], liveframes::Piece::Earlier);
                EXPECT_LE(again->backs[piece], 1);
            }
            EXPECT_EQ(page.mismatches(screenNow().get()), 0);
            handleCommand(i ? "tap at 300 450" : "tap dot");
        }
        // A key frame refers to nothing.
        auto whole = page.next("live-frame full");
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->pieces, std::vector<liveframes::Piece> { liveframes::Piece::Pixels });
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
    });
    EXPECT_TRUE(ok);
}

// For a page elsewhere, new rows come as PNGs, the same pixels.
TEST(LiveFrames, NewRowsAsPNGs)
{
    bool ok = runWithCamera({}, [] {
        Page page;
        auto whole = page.next("live-frame full png");
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->pieces, (std::vector<liveframes::Piece> { liveframes::Piece::PNG, liveframes::Piece::PNG }));
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
        handleCommand("tap dot");
        handleCommand("switch on");
        auto lit = page.next("live-frame png");
        ASSERT_TRUE(lit);
        EXPECT_NE(std::find(lit->pieces.begin(), lit->pieces.end(), liveframes::Piece::PNG), lit->pieces.end());
        EXPECT_EQ(page.mismatches(screenNow().get()), 0);
    });
    EXPECT_TRUE(ok);
}

namespace {

// A connection to the port on loopback that has sent text (-1 when it could
// not), whose reads give up after ten seconds. receiveBuffer: the most it
// takes before it reads (0: as much as the system gives).
int sendTo(int port, const std::string& text, int receiveBuffer = 0)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval patience = { 10, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    if (receiveBuffer)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What comes back on a connection that has sent text, until the server ends
// the connection (or ten seconds pass).
std::string exchange(int port, const std::string& text)
{
    int fd = sendTo(port, text);
    std::string received;
    char buffer[4096];
    for (ssize_t count; fd >= 0 && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        received.append(buffer, static_cast<size_t>(count));
    if (fd >= 0)
        ::close(fd);
    return received;
}

} // namespace

// A request must come whole within its time: one that stops halfway is
// refused (408), an idle connection closed, and neither holds up a whole
// request. (The time is a fifth of a second here; the server gives ten.)
TEST(LiveConnections, ARequestNotSentWholeInTimeIsRefused)
{
    LiveRouter router;
    router.Get("/", [](const httplib::Request&, httplib::Response& response) { response.set_content("here", "text/plain"); });
    ConnectionLimits limits;
    limits.requestTime = std::chrono::milliseconds(200);
    LiveConnections connections(router, { [](int, uint64_t&, std::string&) { return true; }, [](int) {} }, limits);
    std::string error;
    int port = connections.listen("127.0.0.1", 0, error);
    ASSERT_GT(port, 0) << error;
    connections.start();

    std::string whole;
    std::thread other([&] { whole = exchange(port, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"); });
    std::string half = exchange(port, "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ");
    std::string idle = exchange(port, "");
    other.join();
    EXPECT_TRUE(half.starts_with("HTTP/1.1 408 ")) << half;
    EXPECT_NE(half.find("X-Frame-Options: DENY"), std::string::npos) << half;
    EXPECT_EQ(idle, "");
    EXPECT_TRUE(whole.starts_with("HTTP/1.1 200 ")) << whole;
    EXPECT_TRUE(whole.ends_with("here")) << whole;
    connections.stop();
}

// A stream whose client takes nothing is left to wait: its keep-alive is
// not piled up behind what the client has not taken (nor sent again and
// again at once, keeping the connection thread busy), and the stream goes
// on. Each time the source is asked for events it adds a mark.
TEST(LiveConnections, AStreamWhoseClientStopsReadingIsSentNoKeepAlives)
{
    // More than the system holds for a connection that is not read.
    const std::string first(16 << 20, 'x');
    LiveRouter router;
    router.Get("/stream", [&](const httplib::Request&, httplib::Response&) { LiveConnections::becomeStream({ "text/plain", first, 0, 0, "-" }); });
    ConnectionLimits limits;
    limits.streamKeepAlive = std::chrono::milliseconds(10);
    limits.largestStreamBacklog = 2 * first.size();
    std::mutex mutex;
    std::condition_variable asked;
    int marks = 0;
    auto next = [&](int, uint64_t&, std::string& out) {
        std::lock_guard lock(mutex);
        out += "[" + std::to_string(++marks) + "]";
        asked.notify_all();
        return true;
    };
    LiveConnections connections(router, { next, [](int) {} }, limits);
    std::string error;
    int port = connections.listen("127.0.0.1", 0, error);
    ASSERT_GT(port, 0) << error;
    connections.start();

    int fd = sendTo(port, "GET /stream HTTP/1.1\r\nHost: x\r\n\r\n", 256 << 10);
    ASSERT_GE(fd, 0);
    constexpr int kMarks = 8;
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(asked.wait_for(lock, std::chrono::seconds(60), [&] { return marks >= kMarks; }));
    }
    std::string received;
    const std::string last = "[" + std::to_string(kMarks) + "]";
    char buffer[65536];
    for (ssize_t count; received.find(last) == std::string::npos && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        received.append(buffer, static_cast<size_t>(count));
    ::close(fd);
    connections.stop();

    auto start = received.find(first);
    ASSERT_NE(start, std::string::npos) << "the stream ended before its first bytes were taken";
    std::string expected;
    for (int mark = 1; mark <= kMarks; ++mark)
        expected += "[" + std::to_string(mark) + "]";
    EXPECT_EQ(received.substr(start + first.size(), expected.size()), expected);
}
