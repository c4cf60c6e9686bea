// The running Camera app's side of the live view: a tap at a point of the
// screen, told back as the scenario command it stands for, and what the page
// shows of the app (the screen's picture as it changes, and its state).
#pragma once

#include <optional>
#include <string>

namespace camera {

// "tap at X Y" (commands::tapAt, a row of Commands.def) is a finger down
// and up at a point of the screen through the window's hit testing. The
// stock controls the simulated camera draws without wiring (the flash and
// flip buttons, the shutter, the mode dial) do what the camera does on a
// tap. What the tap stood for (`tap dot`, `switch on`, `flash on`, `photo`,
// `mode video` ..., or `tap at X Y` when no named command does the same) is
// kept for live-tap.

// The live view's own requests, or nullopt for any other command:
//   live-frame [full] [png]
//                       the screen at 2x, as a frame message of
//                       host/LiveFrames.h: "ok N RENDER ENCODE" and the N
//                       bytes of the message after the reply's line, with
//                       how long drawing and making the message took (ms);
//                       "ok 0" when nothing changed. full: a key frame; png:
//                       new rows as PNGs
//   live-state          one line of JSON: the torch, the camera, the controls
//   live-expect         the torch and popover expectations that hold now,
//                       separated by semicolons
//   live-tap            the scenario command the last tap at a point stood for
//   live-next           the device time (ns) of the next task on the main
//                       queue, or "none"
std::optional<std::string> handleLiveRequest(const std::string& line);

} // namespace camera
