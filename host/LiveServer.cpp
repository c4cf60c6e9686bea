#include "host/LiveServer.h"

#include "host/Json.h"
#include "host/LiveConnections.h"
#include "host/LiveFrames.h"
#include "host/LiveSession.h"
#include "host/Text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace camera {

std::string parseServeAddress(const std::string& text, ServeOptions& options)
{
    std::string address = options.address;
    std::string port = text;
    if (text.starts_with("[")) {
        auto close = text.find("]:");
        if (close == std::string::npos)
            return "expected [ADDRESS]:PORT: " + text;
        address = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (auto colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    char* end = nullptr;
    long number = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end || number < 0 || number > 65535)
        return "not a port: " + port;
    if (address == "localhost")
        address = "127.0.0.1";
    unsigned char buffer[16];
    if (inet_pton(AF_INET, address.c_str(), buffer) != 1 && inet_pton(AF_INET6, address.c_str(), buffer) != 1)
        return "not an IP address: " + address;
    options.address = address;
    options.port = static_cast<int>(number);
    return {};
}

bool isLoopbackAddress(const std::string& address)
{
    unsigned char buffer[16];
    if (inet_pton(AF_INET, address.c_str(), buffer) == 1)
        return buffer[0] == 127;
    if (inet_pton(AF_INET6, address.c_str(), buffer) == 1) {
        static const unsigned char kLoopback[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
        return !std::memcmp(buffer, kLoopback, 16);
    }
    return false;
}

std::string addServeName(const std::string& name, ServeOptions& options)
{
    std::string lower;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != '-' && c != '.')
            return "not a host name: " + name;
        lower += static_cast<char>(std::tolower(c));
    }
    unsigned char address[4];
    if (lower.empty() || lower.size() > 253 || lower.front() == '.' || lower.front() == '-' || inet_pton(AF_INET, lower.c_str(), address) == 1)
        return "not a host name: " + name;
    options.names.push_back(lower);
    return {};
}

namespace {

constexpr size_t kLargestRequest = 16 * 1024;
constexpr size_t kKeptTraceLines = 2000;
// What the terminal may fall behind the trace by before lines are dropped.
constexpr size_t kTerminalBacklog = 64 * 1024;

// The page's streams: its events (server-sent events: the state, the trace
// and the recording's changes), and the screen's frames (host/LiveFrames.h,
// one after the other), for a page on this machine or one that takes new
// rows as PNGs (a page elsewhere). Both frame channels carry the same frames.
enum Channel {
    kEvents,
    kFrames,
    kFramesAsPNG,
};
struct ChannelLimits {
    int streams;
    size_t events;
    size_t bytes;
};
// A stream's channel's events are kept for it until it has sent them, up to
// these; one that falls further behind is ended (the page reconnects).
constexpr ChannelLimits kEventLimits = { 4, 512, 32 * 1024 * 1024 };
constexpr ChannelLimits kFrameLimits = { 4, 32, 64 * 1024 * 1024 };

// What the page's streams carry, in the order it happened. Each stream
// sends the events after the last one it sent.
class Hub {
public:
    void publish(const std::string& name, const std::string& data)
    {
        {
            std::lock_guard lock(m_mutex);
            addEvent(name, data);
        }
        notify();
    }

    // A frame message, for every page.
    void publishFrame(std::string message)
    {
        {
            std::lock_guard lock(m_mutex);
            m_frames.add(std::move(message));
        }
        notify();
    }

    // The trace's last lines and the recording's whole text are kept for
    // the streams to come and sent to the open ones as they change, in one
    // step: a stream that opens meanwhile gets each line once.
    void addTrace(const std::vector<std::string>& lines)
    {
        if (lines.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& line : lines) {
                m_trace.push_back(line);
                if (m_trace.size() > kKeptTraceLines)
                    m_trace.pop_front();
            }
            addEvent("trace", json::quoteAll(lines));
        }
        notify();
    }

    void changeRecording(const LiveSession::RecordingChange& change)
    {
        {
            std::lock_guard lock(m_mutex);
            if (change.reset)
                m_recording.clear();
            m_recording.resize(m_recording.size() - std::min(change.drop, m_recording.size()));
            m_recording.insert(m_recording.end(), change.lines.begin(), change.lines.end());
            addEvent("recording", recordingEvent(change.reset, change.drop, change.lines));
        }
        notify();
    }

    // A new stream of a channel: its first bytes and the sequence number it
    // goes on from. False when there are too many. The events' first are
    // the state, the trace and the recording so far; a frame stream's first
    // frame is a whole one, made for it.
    bool open(Channel channel, std::string& first, uint64_t& after)
    {
        std::lock_guard lock(m_mutex);
        Queue& queue = of(channel);
        if (queue.streams >= queue.limits.streams || m_stopping)
            return false;
        ++queue.streams;
        after = queue.last;
        if (channel == kFramesAsPNG)
            ++m_pngStreams;
        if (channel != kEvents) {
            m_wantsWholeFrame = true;
            m_wake();
            return true;
        }
        // The page reconnects a second after the stream ends.
        first += "retry: 1000\n\n";
        if (!m_state.empty())
            first += "event: state\ndata: " + m_state + "\n\n";
        first += "event: trace\ndata: " + json::quoteAll(m_trace) + "\n\n";
        first += "event: recording\ndata: " + recordingEvent(true, 0, m_recording) + "\n\n";
        return true;
    }

    void close(int channel)
    {
        std::lock_guard lock(m_mutex);
        --of(static_cast<Channel>(channel)).streams;
        if (channel == kFramesAsPNG)
            --m_pngStreams;
    }

    // Appends the channel's events after `after`; false when they are no
    // longer kept.
    bool next(int channel, uint64_t& after, std::string& out)
    {
        std::lock_guard lock(m_mutex);
        return of(static_cast<Channel>(channel)).next(after, out);
    }

    bool takeWholeFrameWish()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_wantsWholeFrame, false);
    }

    // Whether new rows go as PNGs: while a page that wants them is open.
    bool framesAsPNG()
    {
        std::lock_guard lock(m_mutex);
        return m_pngStreams > 0;
    }

    // wake: the device thread, for a whole frame; notify: the streams.
    void setWake(std::function<void()> wake) { m_wake = std::move(wake); }
    void setNotify(std::function<void()> notify) { m_notify = std::move(notify); }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }

private:
    // An event for the events' streams; the mutex is held.
    void addEvent(const std::string& name, const std::string& data)
    {
        m_events.add("event: " + name + "\ndata: " + data + "\n\n");
        if (name == "state")
            m_state = data;
    }

    void notify()
    {
        if (m_notify)
            m_notify();
    }

    static std::string recordingEvent(bool reset, size_t drop, const std::vector<std::string>& lines)
    {
        return std::string("{\"reset\":") + (reset ? "true" : "false") + ",\"drop\":" + std::to_string(drop) + ",\"lines\":" + json::quoteAll(lines) + "}";
    }

    struct Event {
        uint64_t sequence;
        std::string text;
    };
    struct Queue {
        explicit Queue(ChannelLimits limits)
            : limits(limits)
        {
        }
        void add(std::string text)
        {
            events.push_back({ ++last, std::move(text) });
            bytes += events.back().text.size();
            while (events.size() > limits.events || bytes > limits.bytes) {
                bytes -= events.front().text.size();
                events.pop_front();
            }
        }
        bool next(uint64_t& after, std::string& out) const
        {
            if (last == after)
                return true;
            if (events.empty() || events.front().sequence > after + 1)
                return false;
            for (const auto& event : events) {
                if (event.sequence > after)
                    out += event.text;
            }
            after = last;
            return true;
        }
        ChannelLimits limits;
        std::deque<Event> events;
        size_t bytes = 0;
        uint64_t last = 0;
        int streams = 0;
    };
    Queue& of(Channel channel) { return channel == kEvents ? m_events : m_frames; }

    std::mutex m_mutex;
    Queue m_events { kEventLimits };
    Queue m_frames { kFrameLimits };
    int m_pngStreams = 0;
    std::deque<std::string> m_trace;
    std::vector<std::string> m_recording;
    std::string m_state;
    bool m_wantsWholeFrame = false;
    bool m_stopping = false;
    std::function<void()> m_wake;
    std::function<void()> m_notify;
};

// The device thread's queue: the page's requests, run one at a time.
class DeviceQueue {
public:
    using Clock = std::chrono::steady_clock;

    // False once the queue has stopped.
    bool post(std::function<void()> job)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return false;
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
        return true;
    }

    // Runs job on the device thread and waits for its result; nothing when
    // the queue has stopped.
    template <typename Job>
    auto call(Job job) -> std::optional<decltype(job())>
    {
        using Result = decltype(job());
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
        auto result = task->get_future();
        if (!post([task] { (*task)(); }))
            return std::nullopt;
        return result.get();
    }

    // The jobs posted before the queue stopped.
    void drain()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::lock_guard lock(m_mutex);
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    void wake()
    {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_wake.notify_one();
    }

    // The next job, or nothing when the deadline passed, something else
    // woke the thread, or the queue stopped.
    std::function<void()> wait(std::optional<Clock::time_point> deadline)
    {
        std::unique_lock lock(m_mutex);
        auto ready = [&] { return m_stopping || m_woken || !m_jobs.empty(); };
        if (deadline)
            m_wake.wait_until(lock, *deadline, ready);
        else
            m_wake.wait_for(lock, std::chrono::seconds(1), ready);
        m_woken = false;
        if (m_jobs.empty())
            return {};
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        return job;
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
    }
    bool stopping()
    {
        std::lock_guard lock(m_mutex);
        return m_stopping;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    bool m_woken = false;
};

// The terminal's copy of the trace, written without ever waiting for the
// terminal: what it does not take at once waits, up to kTerminalBacklog
// bytes; past that, lines are dropped (until half of the backlog is taken)
// and the terminal is told how many where they were.
class TerminalCopy {
public:
    explicit TerminalCopy(int fd)
        : m_fd(fd)
    {
        struct stat info = {};
        if (::fstat(fd, &info) != 0)
            return;
        if (S_ISREG(info.st_mode))
            m_kind = Kind::File;
        else if (S_ISSOCK(info.st_mode))
            m_kind = Kind::Socket;
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
            // A description of its own that does not block: the terminal's
            // own is shared with the shell, which must find it as it was.
            int copy = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (copy >= 0) {
                m_fd = copy;
                m_own = true;
                m_kind = Kind::NonBlocking;
            }
        }
    }

    ~TerminalCopy()
    {
        if (m_own)
            ::close(m_fd);
    }

    // What to poll for the terminal taking more; -1 once it is gone.
    int fd()
    {
        std::lock_guard lock(m_mutex);
        return m_gone ? -1 : m_fd;
    }

    // Whole lines of the trace.
    void add(std::string_view text)
    {
        std::lock_guard lock(m_mutex);
        while (!text.empty() && !m_gone) {
            size_t end = text.find('\n');
            std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
            text.remove_prefix(line.size());
            size_t room = m_dropped ? kTerminalBacklog / 2 : kTerminalBacklog;
            if (m_waiting.size() - m_written + line.size() > room) {
                ++m_dropped;
                continue;
            }
            tellDropped();
            m_waiting.append(line);
        }
        write();
    }

    bool waiting()
    {
        std::lock_guard lock(m_mutex);
        return m_written < m_waiting.size();
    }

    void flush()
    {
        std::lock_guard lock(m_mutex);
        write();
    }

private:
    enum class Kind {
        File,        // written as it comes: a file takes it
        Socket,      // sent without waiting
        NonBlocking, // a description of its own that does not block
        Other,
    };

    // Where lines were dropped, how many.
    void tellDropped()
    {
        if (!m_dropped)
            return;
        m_waiting += "Camera: " + std::to_string(m_dropped) + " lines of the trace are not shown here: the terminal did not keep up\n";
        m_dropped = 0;
    }

    // As much as the terminal takes now; once it has taken all, it is told
    // of the lines it missed.
    void write()
    {
        if (m_written == m_waiting.size())
            tellDropped();
        while (m_written < m_waiting.size()) {
            size_t size = m_waiting.size() - m_written;
            const char* data = m_waiting.data() + m_written;
            ssize_t count;
            if (m_kind == Kind::Socket) {
                count = ::send(m_fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            } else if (m_kind == Kind::Other) {
                // Without a description of its own: a pipe that polls
                // writable takes PIPE_BUF bytes without blocking.
                pollfd ready = { m_fd, POLLOUT, 0 };
                if (::poll(&ready, 1, 0) != 1 || !(ready.revents & POLLOUT))
                    break;
                count = ::write(m_fd, data, std::min<size_t>(size, PIPE_BUF));
            } else {
                count = ::write(m_fd, data, size);
            }
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (count <= 0) {
                // The terminal is gone (a pager that quit): nothing more is shown.
                m_gone = true;
                m_waiting.clear();
                m_written = 0;
                return;
            }
            m_written += static_cast<size_t>(count);
            if (m_written == m_waiting.size())
                tellDropped();
        }
        if (m_written == m_waiting.size()) {
            m_waiting.clear();
            m_written = 0;
        } else if (m_written > kTerminalBacklog) {
            m_waiting.erase(0, m_written);
            m_written = 0;
        }
    }

    std::mutex m_mutex;
    int m_fd;
    bool m_own = false;
    Kind m_kind = Kind::Other;
    std::string m_waiting;
    size_t m_written = 0;
    size_t m_dropped = 0;
    bool m_gone = false;
};

// Everything the processes print (the trace of the runner, the Camera and
// the settings editor) goes through a pipe: on to the terminal, and to the
// page. The pipe is always read at once, whatever the terminal does.
class TraceCapture {
public:
    explicit TraceCapture(Hub& hub)
        : m_hub(hub)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        std::fflush(stdout);
        m_original = ::dup(STDOUT_FILENO);
        m_terminal = std::make_unique<TerminalCopy>(m_original);
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[1]);
        m_read = fds[0];
        m_thread = std::thread([this] { pump(); });
    }

    ~TraceCapture()
    {
        if (m_read < 0)
            return;
        std::fflush(stdout);
        // Give standard output back; the pipe ends when every writer has.
        ::dup2(m_original, STDOUT_FILENO);
        m_thread.join();
        ::close(m_read);
        m_terminal.reset();
        ::close(m_original);
    }

    // Writes to the terminal only.
    void say(const std::string& text)
    {
        if (m_terminal) {
            m_terminal->add(text);
            return;
        }
        [[maybe_unused]] auto written = ::write(STDOUT_FILENO, text.data(), text.size());
    }

private:
    void pump()
    {
        std::string pending;
        char buffer[65536];
        for (;;) {
            // The terminal only while it has lines waiting: one whose reader
            // is gone reports so for ever, and is found gone by the next write.
            pollfd polled[2] = { { m_read, POLLIN, 0 }, { m_terminal->waiting() ? m_terminal->fd() : -1, POLLOUT, 0 } };
            if (::poll(polled, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (polled[1].revents)
                m_terminal->flush();
            if (!polled[0].revents)
                continue;
            ssize_t count = ::read(m_read, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            pending.append(buffer, static_cast<size_t>(count));
            // The lines that came together go to the page in one event.
            std::vector<std::string> lines;
            size_t start = 0;
            for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
                lines.push_back(pending.substr(start, end - start));
            m_terminal->add(std::string_view(pending).substr(0, start));
            pending.erase(0, start);
            m_hub.addTrace(lines);
        }
        if (!pending.empty())
            m_terminal->add(pending + "\n");
        // What the terminal has not taken gets a second more, no longer.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (auto now = std::chrono::steady_clock::now(); now < deadline && m_terminal->waiting(); now = std::chrono::steady_clock::now()) {
            pollfd ready = { m_terminal->fd(), POLLOUT, 0 };
            ::poll(&ready, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
            m_terminal->flush();
        }
    }

    Hub& m_hub;
    int m_read = -1;
    int m_original = -1;
    std::unique_ptr<TerminalCopy> m_terminal;
    std::thread m_thread;
};

int g_signalPipe[2] = { -1, -1 };

void noteSignal(int)
{
    char byte = 1;
    [[maybe_unused]] auto written = ::write(g_signalPipe[1], &byte, 1);
}

// The stages of a request and how long each took, told to the page in a
// Server-Timing header.
class StageTimes {
public:
    using Clock = std::chrono::steady_clock;

    // The stage that ran since the last lap (or since the start).
    void lap(const char* name)
    {
        auto now = Clock::now();
        m_stages.push_back({ name, std::chrono::duration<double, std::milli>(now - m_last).count() });
        m_last = now;
    }

    // A part of the last stage, timed elsewhere.
    void add(const char* name, double milliseconds) { m_stages.push_back({ name, milliseconds }); }

    std::string header() const
    {
        std::string text;
        for (const auto& [name, milliseconds] : m_stages) {
            char stage[64];
            std::snprintf(stage, sizeof stage, "%s%s;dur=%.2f", text.empty() ? "" : ", ", name, milliseconds);
            text += stage;
        }
        return text;
    }

private:
    Clock::time_point m_last = Clock::now();
    std::vector<std::pair<const char*, double>> m_stages;
};

void answer(httplib::Response& response, int status, const std::string& body)
{
    response.status = status;
    response.set_content(body, "application/json");
    response.set_header("Cache-Control", "no-store");
}

// A request that came as the device thread stopped.
void answerClosing(httplib::Response& response)
{
    answer(response, 503, json::errorBody("the Camera's live view is closing"));
}

// Whether a Host header names this server: its port (80 when it names
// none), and a name that a page elsewhere cannot take for itself by DNS
// rebinding: an IP address (a loopback one unless serving anywhere),
// localhost, or a name given with --serve-name.
bool hostNamesServer(const std::string& host, const ServeOptions& options, int port)
{
    std::string name = host;
    std::string portText;
    bool bracketed = host.starts_with("[");
    if (bracketed) {
        auto close = host.find(']');
        if (close == std::string::npos || (close + 1 < host.size() && host[close + 1] != ':'))
            return false;
        name = host.substr(1, close - 1);
        portText = close + 1 < host.size() ? host.substr(close + 2) : "";
    } else if (auto colon = host.rfind(':'); colon != std::string::npos) {
        name = host.substr(0, colon);
        portText = host.substr(colon + 1);
    }
    if (portText.empty() ? port != 80 : portText != std::to_string(port))
        return false;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    unsigned char address[16];
    if (inet_pton(bracketed ? AF_INET6 : AF_INET, name.c_str(), address) == 1)
        return options.anywhere || isLoopbackAddress(name);
    if (bracketed || name.empty())
        return false;
    return name == "localhost" || std::find(options.names.begin(), options.names.end(), name) != options.names.end();
}

// Whether a Content-Type is JSON's: its media type exactly, parameters
// (a charset) aside.
bool isJson(std::string_view contentType)
{
    return equalsIgnoringCase(trimmed(contentType.substr(0, contentType.find(';'))), "application/json");
}

struct WebFile {
    const char* name;
    const char* type;
};
constexpr WebFile kWebFiles[] = {
    { "index.html", "text/html; charset=utf-8" },
    { "live.js", "text/javascript; charset=utf-8" },
    { "frames.js", "text/javascript; charset=utf-8" },
    { "live.css", "text/css; charset=utf-8" },
};

} // namespace

int serveLive(Runner& runner, const ServeOptions& options)
{
    if (!options.anywhere && !isLoopbackAddress(options.address)) {
        std::fprintf(stderr, "Camera: %s is not a loopback address; add --serve-anywhere to let other machines drive this device\n", options.address.c_str());
        return 2;
    }
    std::ifstream setup;
    if (!options.setup.empty()) {
        setup.open(options.setup);
        if (!setup) {
            std::fprintf(stderr, "Camera: cannot read the scenario %s\n", options.setup.c_str());
            return 2;
        }
    }
    std::map<std::string, std::pair<std::string, std::string>> files;
    for (const auto& file : kWebFiles) {
        std::ifstream in(options.web / file.name, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "Camera: the live view's page is missing: %s\n", (options.web / file.name).c_str());
            return 2;
        }
        files[std::string("/") + file.name] = { std::string(std::istreambuf_iterator<char>(in), {}), file.type };
    }
    files["/"] = files["/index.html"];

    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return 2;
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    liveframes::keepLargeBuffers();
    Hub hub;
    DeviceQueue queue;
    hub.setWake([&queue] { queue.wake(); });
    LiveRouter server;
    server.set_payload_max_length(kLargestRequest);
    server.set_default_headers(pageHeaders());
    ConnectionLimits limits;
    limits.largestBody = kLargestRequest;
    // What the answers say of the connection's life: idle, it ends with the
    // time given for a request.
    server.set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.requestTime).count());
    server.set_keep_alive_max_count(1000);
    LiveConnections connections(server, { [&hub](int channel, uint64_t& after, std::string& out) { return hub.next(channel, after, out); }, [&hub](int channel) { hub.close(channel); } }, limits);
    hub.setNotify([&connections] { connections.eventsAdded(); });
    std::string listenError;
    int boundPort = connections.listen(options.address, options.port, listenError);
    if (boundPort < 0) {
        std::fprintf(stderr, "Camera: cannot listen on %s:%d: %s\n", options.address.c_str(), options.port, listenError.c_str());
        return 2;
    }
    TraceCapture trace(hub);
    LiveSession session(runner);

    // A page elsewhere must not drive the device: the Host must name this
    // server, and an Origin, when the browser sends one, must be this page's.
    server.set_pre_routing_handler([&](const httplib::Request& request, httplib::Response& response) {
        std::string host = request.get_header_value("Host");
        if (!hostNamesServer(host, options, boundPort)) {
            answer(response, 403, json::errorBody("refused: the Host header (" + host + ") does not name this server"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.has_header("Origin") && request.get_header_value("Origin") != "http://" + host) {
            answer(response, 403, json::errorBody("refused: requests from another origin (" + request.get_header_value("Origin") + ") may not drive the device"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method == "POST" && !isJson(request.get_header_value("Content-Type"))) {
            answer(response, 415, json::errorBody("a request's body is JSON (Content-Type: application/json)"));
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    for (const auto& [path, file] : files) {
        server.Get(path, [&file = file](const httplib::Request&, httplib::Response& response) {
            response.set_content(file.first, file.second.c_str());
            response.set_header("Cache-Control", "no-store");
        });
    }

    // A request body as a JSON object, or a 400 answer.
    auto parseBody = [](const httplib::Request& request, httplib::Response& response, json::Object& object) {
        std::string error;
        if (!json::parseObject(request.body, object, error)) {
            answer(response, 400, json::errorBody("malformed JSON: " + error));
            return false;
        }
        return true;
    };
    auto stringField = [](const json::Object& object, const char* name, httplib::Response& response, std::string& value) {
        auto found = object.find(name);
        if (found == object.end() || !std::holds_alternative<std::string>(found->second)) {
            answer(response, 400, json::errorBody(std::string("expected a string field \"") + name + "\""));
            return false;
        }
        value = std::get<std::string>(found->second);
        return true;
    };
    auto outcomeBody = [](const LiveSession::Outcome& outcome) {
        if (outcome.status != 200)
            return json::errorBody(outcome.error);
        return "{\"ok\":true,\"answer\":" + json::quote(outcome.answer) + ",\"recorded\":" + json::quoteAll(outcome.recorded) + "}";
    };

    // Run by the device thread after each request: publish what changed.
    // Returns the number of the frame sent, 0 when the screen did not
    // change; times, when given, get the stages.
    std::string lastState;
    uint64_t lastFrame = 0;
    auto publish = [&](bool whole, StageTimes* times = nullptr) -> uint64_t {
        uint64_t sentFrame = 0;
        if (auto frame = session.frame(whole || hub.takeWholeFrameWish(), hub.framesAsPNG())) {
            if (times) {
                times->lap("frame");
                times->add("render", frame->renderMilliseconds);
                times->add("encode", frame->encodeMilliseconds);
            }
            sentFrame = ++lastFrame;
            // When it left (ms since the epoch), for the page to time its way.
            auto sent = std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
            liveframes::stamp(frame->message, static_cast<uint32_t>(sentFrame), sent);
            hub.publishFrame(std::move(frame->message));
            if (times)
                times->lap("push");
        } else if (times) {
            times->lap("frame");
        }
        std::string state = session.state();
        if (state != lastState) {
            lastState = state;
            hub.publish("state", state);
        }
        if (auto change = session.takeRecordingChange())
            hub.changeRecording(*change);
        if (times)
            times->lap("state");
        return sentFrame;
    };

    server.Post("/api/command", [&](const httplib::Request& request, httplib::Response& response) {
        json::Object body;
        std::string line;
        if (!parseBody(request, response, body) || !stringField(body, "command", response, line))
            return;
        StageTimes times;
        uint64_t shownBy = 0;
        auto outcome = queue.call([&] {
            times.lap("queue");
            auto result = session.run(line);
            times.lap("command");
            shownBy = publish(false, &times);
            return result;
        });
        if (!outcome)
            return answerClosing(response);
        auto text = outcomeBody(*outcome);
        // The frame that shows what the command did, if it changed the screen.
        if (outcome->status == 200 && shownBy)
            text.insert(text.size() - 1, ",\"frame\":" + std::to_string(shownBy));
        answer(response, outcome->status, text);
        response.set_header("Server-Timing", times.header());
    });

    server.Post("/api/expect", [&](const httplib::Request& request, httplib::Response& response) {
        json::Object body;
        std::string what;
        if (!parseBody(request, response, body) || !stringField(body, "what", response, what))
            return;
        auto outcome = queue.call([&] {
            auto result = session.expectCurrent(what);
            publish(false);
            return result;
        });
        if (!outcome)
            return answerClosing(response);
        answer(response, outcome->status, outcomeBody(*outcome));
    });

    server.Post("/api/recording", [&](const httplib::Request& request, httplib::Response& response) {
        json::Object body;
        if (!parseBody(request, response, body))
            return;
        auto on = body.find("on");
        if (on == body.end() || !std::holds_alternative<bool>(on->second)) {
            answer(response, 400, json::errorBody("expected a boolean field \"on\""));
            return;
        }
        bool start = std::get<bool>(on->second);
        auto done = queue.call([&] {
            start ? session.startRecording() : session.stopRecording();
            publish(false);
            return true;
        });
        if (!done)
            return answerClosing(response);
        answer(response, 200, "{\"ok\":true}");
    });

    server.Get("/api/recording", [&](const httplib::Request&, httplib::Response& response) {
        auto text = queue.call([&] { return session.recording(); });
        if (!text)
            return answerClosing(response);
        response.set_content(*text, "text/plain; charset=utf-8");
        response.set_header("Content-Disposition", "attachment; filename=\"live.scn\"");
        response.set_header("Cache-Control", "no-store");
    });

    // The streams: the connection thread sends them, no worker waits on
    // them.
    auto openStream = [&](Channel channel, const char* contentType, std::string keepAlive, httplib::Response& response) {
        LiveConnections::Stream stream { contentType, {}, channel, 0, std::move(keepAlive) };
        if (!hub.open(channel, stream.first, stream.after)) {
            answer(response, 503, json::errorBody("too many live views are open"));
            return;
        }
        if (!LiveConnections::becomeStream(std::move(stream))) {
            hub.close(channel);
            answer(response, 500, json::errorBody("the stream could not be opened"));
        }
    };
    server.Get("/events", [&](const httplib::Request&, httplib::Response& response) {
        openStream(kEvents, "text/event-stream", ": still here\n\n", response);
    });
    // The frames: a page elsewhere, or one that asks (?png), gets new rows
    // as PNGs.
    server.Get("/frames", [&](const httplib::Request& request, httplib::Response& response) {
        bool png = request.has_param("png") || !isLoopbackAddress(request.remote_addr);
        openStream(png ? kFramesAsPNG : kFrames, "application/octet-stream", liveframes::nothing(), response);
    });

    server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        answer(response, 500, json::errorBody("the server failed on this request"));
    });

    connections.start();
    std::thread signals([&] {
        char byte;
        while (::read(g_signalPipe[0], &byte, 1) < 0 && errno == EINTR) { }
        queue.stop();
    });

    std::string shownAddress = options.address.find(':') != std::string::npos ? "[" + options.address + "]" : options.address;
    trace.say("Camera: the live view is at http://" + shownAddress + ":" + std::to_string(boundPort) + "/ (Ctrl-C ends it)\n");

    // The setup scenario's lines, then the Camera (unless the setup
    // launched it).
    if (setup.is_open()) {
        int number = 0;
        for (std::string line; std::getline(setup, line);) {
            ++number;
            if (auto result = runner.execute(line); !result.isOk()) {
                std::printf("%s: line %d: %s: %s\n", options.setup.c_str(), number, line.c_str(), result.message.c_str());
                std::fflush(stdout);
            }
        }
    }
    if (!runner.appRunning()) {
        if (auto result = runner.execute("launch"); !result.isOk())
            std::printf("launch: %s\n", result.message.c_str());
    }
    publish(true);

    // The device thread: the page's requests, and the Camera's tasks as
    // their time comes.
    while (!queue.stopping()) {
        auto due = session.nextTaskDue();
        // Never spin on a task that stays due.
        if (due)
            due = std::max(*due, LiveSession::Clock::now() + std::chrono::milliseconds(4));
        if (auto job = queue.wait(due)) {
            job();
            continue;
        }
        bool whole = hub.takeWholeFrameWish();
        if (whole || (due && LiveSession::Clock::now() >= *due)) {
            session.catchUp();
            publish(whole);
        }
    }

    queue.drain();
    hub.stop();
    connections.stop();
    // Wake the signal thread if it is still waiting.
    noteSignal(0);
    signals.join();
    runner.shutDown();
    return 0;
}

} // namespace camera
