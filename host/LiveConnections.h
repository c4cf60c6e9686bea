// The live view's connections. One thread accepts them, reads each request
// whole (under limits of size, header lines and time) before anything else
// sees it, and writes answers and event streams without ever waiting on a
// client; a few workers turn whole requests into answers through
// cpp-httplib's routing, on memory. A client that is slow, idle or never
// reads what it is sent holds a connection, never a thread.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace camera {

struct ConnectionLimits {
    // The request line and header lines, in bytes and in lines: a browser
    // sends a few dozen lines.
    size_t largestHead = 32 * 1024;
    size_t mostHeaderLines = 100;
    // A request's body, however it is sent (a length, or chunks).
    size_t largestBody = 16 * 1024;
    // How long a connection may take to send a whole request (idle
    // connections included), and to take an answer.
    std::chrono::milliseconds requestTime { 10000 };
    std::chrono::milliseconds answerTime { 10000 };
    // Connections at once: past it, the one that has waited longest for its
    // request is closed.
    size_t mostConnections = 256;
    // What an event stream may have waiting to be sent before it is ended.
    size_t largestStreamBacklog = 16 * 1024 * 1024;
    // How long a stream sends nothing before it says it is there (unless
    // its client has not taken what was sent).
    std::chrono::milliseconds streamKeepAlive { 15000 };
};

// The headers every answer carries: the page is shown by no other site
// (no frames) and runs only its own scripts.
const httplib::Headers& pageHeaders();

// cpp-httplib's routing, run on a request held in memory.
class LiveRouter : public httplib::Server {
public:
    struct Peer {
        int socket = -1;
        std::string remoteAddress;
        int remotePort = 0;
        std::string localAddress;
        int localPort = 0;
    };
    // The answer's bytes; close when the connection ends after it.
    std::string answer(const std::string& request, const Peer& peer, bool& close);
};

class LiveConnections {
public:
    // Where the streams' events come from, by channel: next appends a
    // channel's events after `after` and moves it on, false when they are no
    // longer kept (the stream is ended: the page starts again); closed is
    // told of each stream that ends.
    struct EventSource {
        std::function<bool(int channel, uint64_t& after, std::string& out)> next;
        std::function<void(int channel)> closed;
    };

    // A stream an answer starts: its content type, what it sends first, the
    // channel whose events follow (those after `after`), and what it sends
    // when it has sent nothing for a while.
    struct Stream {
        std::string contentType;
        std::string first;
        int channel = 0;
        uint64_t after = 0;
        std::string keepAlive;
    };

    LiveConnections(LiveRouter& router, EventSource events, ConnectionLimits limits = {});
    ~LiveConnections();

    // Listens at address (an IP address) and port (0 picks a free one).
    // Returns the port, or -1 with error set.
    int listen(const std::string& address, int port, std::string& error);
    // Starts the connection thread and the workers.
    void start();
    // Closes every connection and waits for the workers.
    void stop();
    // New events: the streams send them.
    void eventsAdded();

    // Called by a request's handler: its connection becomes a stream, whose
    // answer has no end but the connection's. False outside a handler.
    static bool becomeStream(Stream stream);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace camera
