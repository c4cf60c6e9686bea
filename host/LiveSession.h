// A live session: the device and the Camera run on real time, driven by
// command lines a web page sends, and every interaction can be recorded as
// the scenario that replays it. Not thread-safe: one thread (the device's)
// does everything here; the server hands it the page's requests.
#pragma once

#include "host/Runner.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace camera {

struct LiveFrame {
    // A frame message (host/LiveFrames.h), its number and time not set.
    std::string message;
    // How long the Camera took to draw it and to make the message.
    double renderMilliseconds = 0;
    double encodeMilliseconds = 0;
};

class LiveSession {
public:
    using Clock = std::chrono::steady_clock;

    explicit LiveSession(Runner& runner);

    struct Outcome {
        int status = 200; // an HTTP status: 400 for a bad command, 409 for an expectation that does not hold
        std::string error;
        std::vector<std::string> recorded; // the lines the recording got
        std::string answer;
    };

    // Runs one command line from the page: the clock first catches up with
    // real time, then the line runs through the runner as a scenario line
    // would. Lines the page may not send (internal requests, waits, files
    // outside the device root) are refused.
    Outcome run(const std::string& line);
    // Checks the current state and records it: what is "torch", "popover",
    // "prefs" or "all".
    Outcome expectCurrent(const std::string& what);

    // Recording: starting relaunches a running Camera, so the scenario
    // starts from a launch with the device and the preference file as they
    // are (written at its head).
    void startRecording();
    void stopRecording();
    bool isRecording() const { return m_recording; }
    std::string recording() const;
    // How the recording's text changed since the last call: started anew
    // (reset, lines is all of it), or lines taken off its end (drop) and
    // lines added (a drag of the slider replaces its last line).
    struct RecordingChange {
        bool reset = false;
        size_t drop = 0;
        std::vector<std::string> lines;
    };
    std::optional<RecordingChange> takeRecordingChange();

    // Lets the device clock follow real time, running the tasks that fall due.
    void catchUp();
    // When the Camera's next task falls due, in real time.
    std::optional<Clock::time_point> nextTaskDue();

    // The screen's picture: what changed since the last frame (nullopt when
    // nothing did), or all of it (a key frame). png: new rows as PNGs.
    // Every frame is to reach every page: a page puts a frame together from
    // the ones before.
    std::optional<LiveFrame> frame(bool full, bool png);
    // The device, the Camera, the preference file and the recording, as JSON.
    std::string state();

    // Whether the page may send this line; the refusal's message otherwise.
    static std::string checkLine(const std::string& line);

private:
    uint64_t deviceTimeAt(Clock::time_point time) const;
    // Moves the device clock to the first grid point at or after now, where
    // a command from the page runs.
    void advanceToGrid();
    // One of the app's live requests; false when the app is not running.
    bool ask(const std::string& request, std::string& answer);
    // Runs a line that has been checked; records it (or what the app says it
    // stood for) when it succeeded.
    Outcome execute(const std::string& line);
    void record(const std::string& line);
    std::vector<std::string> preamble();
    std::vector<std::string> preferenceLines(bool expectations, std::string& fileState);

    Runner& m_runner;
    Clock::time_point m_wallStart;
    uint64_t m_deviceStart;
    bool m_recording = false;
    // The recording's head, then each command with the device time it ran
    // at (the waits are written between them).
    std::vector<std::string> m_head;
    struct Recorded {
        uint64_t time;
        std::string line;
    };
    std::vector<Recorded> m_lines;
    uint64_t m_recordingStart = 0;
    std::optional<RecordingChange> m_change;
    // A frame was lost on its way from the Camera: the next is a key frame.
    bool m_keyFrameDue = false;
    // The text an entry adds: the wait since the one before it, then its line.
    std::vector<std::string> textOf(size_t entry) const;
};

} // namespace camera
