// The live view's pieces that need no browser: the JSON it reads, the
// addresses it serves, the lines a page may send, a tap at a point told back
// as the command it stood for, the frames it sends of the screen, and its
// connections' time limit.
#include "host/AppCommands.h"
#include "host/CameraApp.h"
#include "host/CameraClasses.h"
#include "host/CameraInspection.h"
#include "host/CameraModel.h"
#include "host/Json.h"
#include "host/LiveApp.h"
#include "host/LiveConnections.h"
#include "host/LiveServer.h"
#include "host/LiveSession.h"
#include "system/CameraHarness.h"
#include "uikit/UIApplication.h"
#include "uikit/UIRendering.h"
#include "uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <netinet/in.h>
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
// Up) into 0xRRGGBB words.
bool decodeFrame(const std::string& png, int& width, int& height, std::vector<uint32_t>& pixels)
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
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = raw.data() + rowBytes * static_cast<size_t>(y);
        unsigned char* above = y ? row - rowBytes : nullptr;
        if (row[0] == 2 && above) {
            for (size_t i = 1; i < rowBytes; ++i)
                row[i] = static_cast<unsigned char>(row[i] + above[i]);
        } else if (row[0] != 0) {
            return false;
        }
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + 1 + 3 * x;
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    return true;
}

struct Frame {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// A frame from the app: its rectangle and its pixels, put together from its
// bands; nullopt when nothing changed.
std::optional<Frame> takeFrame(bool full)
{
    std::string reply = handleLiveRequest(full ? "live-frame full" : "live-frame").value_or("");
    if (reply == "ok 0")
        return std::nullopt;
    size_t length = 0, bands = 0;
    int screenWidth = 0, screenHeight = 0;
    double rendered = 0, encoded = 0;
    Frame frame;
    auto newline = reply.find('\n');
    EXPECT_NE(newline, std::string::npos);
    std::istringstream in(reply.substr(3, newline - 3));
    in >> length >> frame.x >> frame.y >> frame.width >> frame.height >> screenWidth >> screenHeight >> rendered >> encoded >> bands;
    EXPECT_TRUE(in);
    EXPECT_EQ(screenWidth, 750);
    EXPECT_EQ(screenHeight, 1334);
    std::string pngs = reply.substr(newline + 1);
    EXPECT_EQ(pngs.size(), length);
    size_t at = 0;
    int rows = 0;
    for (size_t band = 0; band < bands; ++band) {
        int height = 0, width = 0, decodedHeight = 0;
        size_t size = 0;
        in >> height >> size;
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(in && decodeFrame(pngs.substr(at, size), width, decodedHeight, pixels)) << "band " << band;
        EXPECT_EQ(width, frame.width);
        EXPECT_EQ(decodedHeight, height);
        frame.pixels.insert(frame.pixels.end(), pixels.begin(), pixels.end());
        at += size;
        rows += height;
    }
    EXPECT_EQ(at, pngs.size());
    EXPECT_EQ(rows, frame.height);
    return frame;
}

// The screen as the window renders it, at one pixel.
uint32_t screenPixel(graphics::RasterContext& image, int x, int y)
{
    return image.row(y)[x] & 0xffffff;
}

} // namespace

TEST(LiveFrames, TheRectangleThatChangedAndNothingWhenNothingDid)
{
    bool ok = runWithCamera({}, [] {
        auto whole = takeFrame(true);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->width, 750);
        EXPECT_EQ(whole->height, 1334);
        EXPECT_FALSE(takeFrame(false)) << "a frame though nothing changed";

        // The popover: the changed rectangle covers it, and its pixels are
        // the screen's.
        handleCommand("tap dot");
        auto patch = takeFrame(false);
        ASSERT_TRUE(patch);
        CGRect popover = popoverView()->convertRectToView(popoverView()->bounds(), nullptr);
        EXPECT_LE(patch->x, popover.origin.x * 2);
        EXPECT_LE(patch->y, popover.origin.y * 2);
        EXPECT_GE(patch->x + patch->width, CGRectGetMaxX(popover) * 2);
        EXPECT_GE(patch->y + patch->height, CGRectGetMaxY(popover) * 2);
        auto image = UIRendering::renderWindow(UIApplication::sharedApplication()->keyWindow(), 2);
        int mismatches = 0;
        for (int y = 0; y < patch->height; y += 7) {
            for (int x = 0; x < patch->width; x += 5)
                mismatches += patch->pixels[static_cast<size_t>(y) * static_cast<size_t>(patch->width) + static_cast<size_t>(x)] != screenPixel(*image, patch->x + x, patch->y + y);
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_FALSE(takeFrame(false));
    });
    EXPECT_TRUE(ok);
}

namespace {

// A connection to the port on loopback that has sent text; what comes back
// until the server ends the connection (or ten seconds pass).
std::string exchange(int port, const std::string& text)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval patience = { 10, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string received;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size())) {
        char buffer[4096];
        for (ssize_t count; (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, static_cast<size_t>(count));
    }
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
    LiveConnections connections(router, { [](uint64_t&, std::string&) { return true; }, [] {} }, limits);
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
