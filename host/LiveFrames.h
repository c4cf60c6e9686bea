// The live view's frames: the screen's picture as the page gets it, made by
// the running Camera and passed on by the server as they are.
//
// A frame message (numbers little-endian):
//   0   u32  the message's size, this header included
//   4   u32  kind: 1 a frame; 0 nothing (it keeps a quiet stream alive, and
//            is this header's first 8 bytes alone)
//   8   u32  the frame's number (the server's)
//   12  u32  flags: 1 a key frame (the whole screen, made of nothing earlier)
//   16  f64  when the server sent it, in milliseconds since the epoch
//   24  u16  the screen's width and height, in pixels
//   28  u16  x, y, width and height of the rectangle that changed
//   36  u16  the number of pieces, then u16 0
//   40  the pieces, top to bottom, that make the rectangle's rows: each is
//       u16 rows, u8 kind, u8 back, u32 length, then length bytes:
//         kind 0: the rows' pixels, 4 bytes each, RGBA, unpremultiplied;
//         kind 1: nothing; the rows as they were `back` frames earlier (0:
//                 as the screen shows them now);
//         kind 2: the rows as a PNG.
// A page that holds the screens of the last kEarlierScreens frames thus puts
// any frame together. On a page elsewhere (a network, not loopback) the new
// rows come as PNGs; on this machine as they are, which the page draws
// without decoding.
#pragma once

#include "graphics/RasterContext.h"

#include <cstdint>
#include <deque>
#include <string>

namespace camera::liveframes {

constexpr size_t kHeaderSize = 40;
constexpr size_t kPieceHeaderSize = 8;
constexpr uint32_t kKindNothing = 0;
constexpr uint32_t kKindFrame = 1;
constexpr uint32_t kKeyFrame = 1;
enum class Piece : uint8_t {
    Pixels = 0,
    Earlier = 1,
    PNG = 2,
};
// How many screens a frame may refer to (the one shown, and the ones
// before it).
constexpr size_t kEarlierScreens = 2;

// The screen's frames, each made of what changed since the last one.
class Encoder {
public:
    enum class NewRows {
        Pixels,
        PNG,
    };

    // The message for the screen just drawn, its number and time left 0;
    // empty when nothing changed. whole: a key frame (as the first frame and
    // the first of a new size are). The screen is kept for the frames to
    // come.
    std::string encode(Ref<graphics::RasterContext> screen, bool whole, NewRows newRows);

private:
    std::deque<Ref<graphics::RasterContext>> m_screens; // the last frame's first
};

// Frames and the images they are made of are megabytes: from now on the
// process keeps the memory of those it let go of for the next, rather than
// giving it back to the system, to be mapped and zeroed anew page by page.
void keepLargeBuffers();

// The message with its number and the time it was sent.
void stamp(std::string& message, uint32_t number, double sentMilliseconds);
// The message that says nothing.
std::string nothing();
bool isKeyFrame(const std::string& message);

} // namespace camera::liveframes
