#include "host/LiveConnections.h"

#include "host/Json.h"
#include "host/Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace camera {

const httplib::Headers& pageHeaders()
{
    static const httplib::Headers headers = {
        { "X-Frame-Options", "DENY" },
        { "Content-Security-Policy",
            "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; connect-src 'self'; object-src 'none'; "
            "base-uri 'none'; form-action 'self'; frame-ancestors 'none'" },
        { "X-Content-Type-Options", "nosniff" },
        { "Referrer-Policy", "no-referrer" },
    };
    return headers;
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLingering = std::chrono::seconds(2);
constexpr size_t kWorkers = 4;
constexpr size_t kLongestChunkLine = 1024;
constexpr size_t kLargestTrailers = 4096;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
// What is passed over around a request's words: blanks, and the end of a
// line.
constexpr std::string_view kBlanks = " \t\r";

// A request as cpp-httplib reads it, from memory: its answer is written to
// memory too.
class MemoryStream final : public httplib::Stream {
public:
    MemoryStream(const std::string& in, std::string& out, const LiveRouter::Peer& peer)
        : m_in(in)
        , m_out(out)
        , m_peer(peer)
    {
    }

    using httplib::Stream::write;

    bool is_readable() const override { return m_read < m_in.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override
    {
        size_t count = std::min(size, m_in.size() - m_read);
        std::memcpy(ptr, m_in.data() + m_read, count);
        m_read += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t write(const char* ptr, size_t size) override
    {
        m_out.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        ip = m_peer.remoteAddress;
        port = m_peer.remotePort;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        ip = m_peer.localAddress;
        port = m_peer.localPort;
    }
    socket_t socket() const override { return m_peer.socket; }

private:
    const std::string& m_in;
    size_t m_read = 0;
    std::string& m_out;
    const LiveRouter::Peer& m_peer;
};

// What a handler made of its request: an ordinary answer, or a stream.
struct Exchange {
    bool stream = false;
    LiveConnections::Stream start;
};
thread_local Exchange* t_exchange = nullptr;

std::string headerLines(const httplib::Headers& headers)
{
    std::string text;
    for (const auto& [name, value] : headers)
        text += name + ": " + value + "\r\n";
    return text;
}

// An answer the connection thread gives itself, after which the connection
// closes.
std::string refusal(int status, const char* reason, const std::string& message)
{
    std::string body = json::errorBody(message);
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: application/json\r\nCache-Control: no-store\r\nConnection: close\r\n"
        + headerLines(pageHeaders()) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string streamHead(const std::string& contentType)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nCache-Control: no-store\r\nConnection: close\r\n" + headerLines(pageHeaders()) + "\r\n";
}

void describeAddress(const sockaddr_storage& address, std::string& text, int& port)
{
    char buffer[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, buffer, sizeof buffer);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, buffer, sizeof buffer);
        port = ntohs(v6.sin6_port);
    }
    text = buffer;
}

// One recv or send that does not wait: how it went, and the bytes it moved.
enum class Transfer {
    Moved,
    WouldWait,
    Ended,  // the other side sends no more
    Failed, // the connection is broken
};

template <typename Call>
Transfer transfer(Call call, size_t& count)
{
    for (;;) {
        ssize_t moved = call();
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Transfer::WouldWait;
        if (moved < 0)
            return Transfer::Failed;
        if (!moved)
            return Transfer::Ended;
        count = static_cast<size_t>(moved);
        return Transfer::Moved;
    }
}

struct Connection {
    enum class State {
        Reading,   // a request, until it is whole
        Working,   // a worker answers it
        Writing,   // the answer
        Streaming, // an event stream
        Closing,   // answered, its input read and dropped until it closes
    };

    uint64_t id = 0;
    int fd = -1;
    State state = State::Reading;
    // When the state began: the deadlines count from it.
    Clock::time_point since;
    LiveRouter::Peer peer;

    // What came in and is not handed on yet.
    std::string in;
    // The request being read: where its current line starts, the lines
    // so far, and where the head ends (0 until it has).
    size_t lineStart = 0;
    size_t lines = 0;
    size_t headEnd = 0;
    // Its body: a length, or chunks (where the next one starts, from the
    // body's start, and the bytes they held so far).
    bool chunked = false;
    size_t bodyLength = 0;
    size_t chunkAt = 0;
    size_t chunkBytes = 0;
    bool wantsContinue = false;
    bool sentContinue = false;

    std::string out;
    size_t sent = 0;
    bool closeAfter = false;
    bool shutDown = false;
    // The client sends no more (it may still read the answer).
    bool inputEnded = false;

    // A stream's channel and place in it, what it sends to say it is
    // there, and when it last sent something.
    int channel = 0;
    uint64_t after = 0;
    std::string keepAlive;
    Clock::time_point lastSent;

    void startRequest()
    {
        lineStart = lines = headEnd = 0;
        chunked = wantsContinue = sentContinue = false;
        bodyLength = chunkAt = chunkBytes = 0;
    }
    bool pending() const { return sent < out.size(); }
};

// What reading a request found.
struct Found {
    enum Kind { More,
        Whole,
        Refused } kind
        = More;
    size_t length = 0;  // of the whole request
    std::string answer; // the refusal
};

Found refused(int status, const char* reason, const std::string& message)
{
    return { Found::Refused, 0, refusal(status, reason, message) };
}

// Reads the head's header lines for how the body comes.
std::optional<Found> readHead(Connection& c, const ConnectionLimits& limits)
{
    std::string_view head(c.in.data(), c.headEnd);
    size_t start = head.find('\n') + 1; // past the request line
    std::optional<size_t> length;
    while (start < head.size()) {
        size_t end = head.find('\n', start);
        std::string_view line = head.substr(start, end - start);
        start = end + 1;
        if (trimmed(line, kBlanks).empty())
            break;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || line[0] == ' ' || line[0] == '\t')
            return refused(400, "Bad Request", "a header line is malformed");
        std::string_view name = line.substr(0, colon);
        std::string_view value = trimmed(line.substr(colon + 1), kBlanks);
        if (equalsIgnoringCase(name, "Content-Length")) {
            if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), [](char d) { return d >= '0' && d <= '9'; }))
                return refused(400, "Bad Request", "the Content-Length is not a number");
            size_t told = std::stoull(std::string(value));
            if (length && *length != told)
                return refused(400, "Bad Request", "the request has two lengths");
            length = told;
        } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
            if (!equalsIgnoringCase(value, "chunked"))
                return refused(501, "Not Implemented", "a request's body is sent whole or in chunks, not coded");
            c.chunked = true;
        } else if (equalsIgnoringCase(name, "Expect")) {
            c.wantsContinue = equalsIgnoringCase(value, "100-continue");
        }
    }
    if (c.chunked && length)
        return refused(400, "Bad Request", "the request has both a length and chunks");
    if (length && *length > limits.largestBody)
        return refused(413, "Payload Too Large", "a request's body is at most " + std::to_string(limits.largestBody) + " bytes");
    c.bodyLength = length.value_or(0);
    return std::nullopt;
}

// Reads the chunks that have come; the request's length once the last has.
std::optional<Found> readChunks(Connection& c, const ConnectionLimits& limits)
{
    for (;;) {
        size_t at = c.headEnd + c.chunkAt;
        size_t end = c.in.find('\n', at);
        if (end == std::string::npos) {
            if (c.in.size() - at > kLongestChunkLine)
                return refused(400, "Bad Request", "a chunk's size line is too long");
            return std::nullopt;
        }
        std::string_view line = trimmed(std::string_view(c.in).substr(at, end - at), kBlanks);
        line = trimmed(line.substr(0, line.find(';')), kBlanks);
        size_t size = 0;
        auto [parsed, error] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
        if (line.empty() || parsed != line.data() + line.size() || (error != std::errc() && error != std::errc::result_out_of_range))
            return refused(400, "Bad Request", "a chunk's size is not a hexadecimal number");
        if (error == std::errc::result_out_of_range || size > limits.largestBody - c.chunkBytes)
            return refused(413, "Payload Too Large", "a request's body is at most " + std::to_string(limits.largestBody) + " bytes");
        if (!size) {
            // The trailer lines, up to an empty one.
            for (size_t lineStart = end + 1;;) {
                size_t lineEnd = c.in.find('\n', lineStart);
                if (lineEnd == std::string::npos) {
                    if (c.in.size() - end > kLargestTrailers)
                        return refused(400, "Bad Request", "the chunks' trailer is too long");
                    return std::nullopt;
                }
                if (trimmed(std::string_view(c.in).substr(lineStart, lineEnd - lineStart), kBlanks).empty())
                    return Found { Found::Whole, lineEnd + 1, {} };
                lineStart = lineEnd + 1;
            }
        }
        size_t dataEnd = end + 1 + size;
        if (c.in.size() < dataEnd + 2)
            return std::nullopt;
        if (c.in.compare(dataEnd, 2, "\r\n"))
            return refused(400, "Bad Request", "a chunk does not end where its size says");
        c.chunkBytes += size;
        c.chunkAt = dataEnd + 2 - c.headEnd;
    }
}

// Whether the connection's input holds a whole request yet.
Found readRequest(Connection& c, const ConnectionLimits& limits)
{
    if (!c.headEnd) {
        // Empty lines before a request line are passed over.
        if (!c.lineStart) {
            size_t blank = c.in.find_first_not_of("\r\n");
            c.in.erase(0, blank == std::string::npos ? c.in.size() : blank);
        }
        for (;;) {
            size_t end = c.in.find('\n', c.lineStart);
            if (end == std::string::npos)
                break;
            bool empty = end == c.lineStart || (end == c.lineStart + 1 && c.in[c.lineStart] == '\r');
            c.lineStart = end + 1;
            if (empty) {
                c.headEnd = end + 1;
                break;
            }
            // The request line, then the header lines.
            if (++c.lines > limits.mostHeaderLines + 1)
                return refused(431, "Request Header Fields Too Large", "a request has at most " + std::to_string(limits.mostHeaderLines) + " header lines");
        }
        if ((!c.headEnd && c.in.size() > limits.largestHead) || c.headEnd > limits.largestHead)
            return refused(431, "Request Header Fields Too Large", "a request's header is at most " + std::to_string(limits.largestHead) + " bytes");
        if (!c.headEnd)
            return {};
        if (auto refusal = readHead(c, limits))
            return *refusal;
    }
    if (c.chunked) {
        if (auto found = readChunks(c, limits))
            return *found;
        if (c.in.size() - c.headEnd > 4 * limits.largestBody + kLargestTrailers)
            return refused(413, "Payload Too Large", "a request's body is at most " + std::to_string(limits.largestBody) + " bytes");
        return {};
    }
    if (c.in.size() >= c.headEnd + c.bodyLength)
        return { Found::Whole, c.headEnd + c.bodyLength, {} };
    return {};
}

} // namespace

std::string LiveRouter::answer(const std::string& request, const Peer& peer, bool& close)
{
    std::string out;
    MemoryStream stream(request, out, peer);
    bool closed = false;
    bool written = process_request(stream, false, closed, nullptr);
    close = !written || closed;
    // The connection thread said Continue itself, when it was wanted.
    if (out.starts_with(kContinue))
        out.erase(0, kContinue.size());
    return out;
}

struct LiveConnections::Impl {
    Impl(LiveRouter& router, EventSource events, ConnectionLimits limits)
        : router(router)
        , events(std::move(events))
        , limits(limits)
    {
    }

    LiveRouter& router;
    EventSource events;
    ConnectionLimits limits;
    int listenFd = -1;
    int wakeFd = -1;
    std::thread thread;
    std::unique_ptr<httplib::ThreadPool> workers;
    std::atomic<bool> stopping { false };
    std::atomic<bool> eventsAdded { false };

    std::map<uint64_t, Connection> connections;
    uint64_t lastId = 0;

    // The workers' answers, for the connection thread.
    struct Answer {
        uint64_t id;
        std::string out;
        bool close;
        Exchange exchange;
    };
    std::mutex answersMutex;
    std::deque<Answer> answers;

    void wake()
    {
        uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
    }

    void run();
    void accept();
    void close(Connection& c);
    void closeAll();
    void read(Connection& c);
    void send(Connection& c);
    void handOn(Connection& c);
    void answered(Answer answer);
    void sendEvents(Connection& c);
    std::optional<Clock::time_point> deadline(const Connection& c) const;
    void expire(Connection& c, Clock::time_point now);
    void startClosing(Connection& c);
};

void LiveConnections::Impl::close(Connection& c)
{
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
    if (c.state == Connection::State::Streaming && events.closed)
        events.closed(c.channel);
    connections.erase(c.id);
}

void LiveConnections::Impl::closeAll()
{
    while (!connections.empty())
        close(connections.begin()->second);
}

void LiveConnections::Impl::accept()
{
    for (;;) {
        sockaddr_storage remote = {};
        socklen_t length = sizeof remote;
        int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&remote), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (connections.size() >= limits.mostConnections) {
            // The connection that has waited longest for its request makes room.
            Connection* oldest = nullptr;
            for (auto& [id, c] : connections) {
                if (c.state == Connection::State::Reading && (!oldest || c.since < oldest->since))
                    oldest = &c;
            }
            if (!oldest) {
                ::close(fd);
                continue;
            }
            close(*oldest);
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Connection c;
        c.id = ++lastId;
        c.fd = fd;
        c.since = Clock::now();
        c.peer.socket = fd;
        describeAddress(remote, c.peer.remoteAddress, c.peer.remotePort);
        sockaddr_storage local = {};
        length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
            describeAddress(local, c.peer.localAddress, c.peer.localPort);
        connections.emplace(c.id, std::move(c));
    }
}

void LiveConnections::Impl::startClosing(Connection& c)
{
    c.state = Connection::State::Closing;
    c.since = Clock::now();
    c.in.clear();
}

// Reads what came; on a whole request, hands it on.
void LiveConnections::Impl::read(Connection& c)
{
    // Enough for the largest request that is not refused, chunks and all.
    const size_t kMostHeld = limits.largestHead + 4 * limits.largestBody + kLargestTrailers + 4096;
    char buffer[16384];
    for (;;) {
        size_t count = 0;
        auto moved = transfer([&] { return ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT); }, count);
        if (moved == Transfer::WouldWait)
            break;
        // A request whose client has stopped sending is still answered.
        if (moved == Transfer::Failed || (moved == Transfer::Ended && c.state != Connection::State::Reading)) {
            close(c);
            return;
        }
        if (moved == Transfer::Ended) {
            c.inputEnded = true;
            break;
        }
        if (c.state == Connection::State::Reading)
            c.in.append(buffer, count);
        if (c.in.size() >= kMostHeld)
            break;
    }
    if (c.state == Connection::State::Reading)
        handOn(c);
}

void LiveConnections::Impl::handOn(Connection& c)
{
    Found found = c.in.empty() ? Found {} : readRequest(c, limits);
    if (found.kind == Found::More && c.inputEnded) {
        close(c); // the rest of the request will not come
        return;
    }
    if (c.in.empty())
        return;
    if (found.kind == Found::Refused) {
        c.out.append(found.answer);
        c.closeAfter = true;
        c.state = Connection::State::Writing;
        c.since = Clock::now();
        send(c);
        return;
    }
    if (found.kind == Found::More) {
        if (c.headEnd && c.wantsContinue && !c.sentContinue) {
            c.sentContinue = true;
            c.out.append(kContinue);
            send(c);
        }
        return;
    }
    std::string request = c.in.substr(0, found.length);
    c.in.erase(0, found.length);
    c.startRequest();
    c.state = Connection::State::Working;
    workers->enqueue([this, id = c.id, request = std::move(request), peer = c.peer] {
        Answer answer { id, {}, true, {} };
        t_exchange = &answer.exchange;
        try {
            answer.out = router.answer(request, peer, answer.close);
        } catch (...) {
            answer.out = refusal(500, "Internal Server Error", "the server failed on this request");
            answer.close = true;
        }
        t_exchange = nullptr;
        {
            std::lock_guard lock(answersMutex);
            answers.push_back(std::move(answer));
        }
        wake();
    });
}

void LiveConnections::Impl::answered(Answer answer)
{
    auto found = connections.find(answer.id);
    if (found == connections.end()) {
        if (answer.exchange.stream && events.closed)
            events.closed(answer.exchange.start.channel);
        return;
    }
    Connection& c = found->second;
    c.since = c.lastSent = Clock::now();
    if (answer.exchange.stream) {
        auto& start = answer.exchange.start;
        c.state = Connection::State::Streaming;
        c.in.clear();
        c.channel = start.channel;
        c.after = start.after;
        c.keepAlive = std::move(start.keepAlive);
        c.out.append(streamHead(start.contentType) + start.first);
        sendEvents(c);
        return;
    }
    c.state = Connection::State::Writing;
    c.closeAfter = answer.close;
    c.out.append(answer.out);
    send(c);
}

void LiveConnections::Impl::sendEvents(Connection& c)
{
    if (!events.next(c.channel, c.after, c.out) || c.out.size() - c.sent > limits.largestStreamBacklog) {
        // Fell behind: the page starts again.
        close(c);
        return;
    }
    send(c);
}

// Sends what is waiting, as much as the connection takes now.
void LiveConnections::Impl::send(Connection& c)
{
    while (c.pending()) {
        size_t count = 0;
        auto moved = transfer([&] { return ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT); }, count);
        if (moved == Transfer::WouldWait)
            break;
        if (moved != Transfer::Moved) {
            close(c);
            return;
        }
        c.sent += count;
        c.lastSent = Clock::now();
    }
    if (c.pending()) {
        // A stream's backlog is kept from growing without end.
        if (c.sent > (1u << 20)) {
            c.out.erase(0, c.sent);
            c.sent = 0;
        }
        return;
    }
    c.out.clear();
    c.sent = 0;
    if (c.state == Connection::State::Writing) {
        if (c.closeAfter) {
            startClosing(c);
        } else {
            c.state = Connection::State::Reading;
            c.since = Clock::now();
            handOn(c);
            return;
        }
    }
    if (c.state == Connection::State::Closing && c.inputEnded) {
        close(c);
        return;
    }
    if (c.state == Connection::State::Closing && !c.shutDown) {
        // The answer is out: no more is sent, and what still comes is read
        // and dropped, so that the answer is not lost to a reset.
        c.shutDown = true;
        ::shutdown(c.fd, SHUT_WR);
    }
}

std::optional<Clock::time_point> LiveConnections::Impl::deadline(const Connection& c) const
{
    switch (c.state) {
    case Connection::State::Reading:
        return c.since + limits.requestTime;
    case Connection::State::Writing:
        return c.since + limits.answerTime;
    case Connection::State::Closing:
        return c.since + kLingering;
    case Connection::State::Streaming:
        return c.lastSent + limits.streamKeepAlive;
    case Connection::State::Working:
        break;
    }
    return std::nullopt;
}

void LiveConnections::Impl::expire(Connection& c, Clock::time_point now)
{
    auto due = deadline(c);
    if (!due || now < *due)
        return;
    switch (c.state) {
    case Connection::State::Reading:
        if (c.in.empty() && !c.pending()) {
            close(c); // idle
            return;
        }
        c.out.append(refusal(408, "Request Timeout", "a request is sent whole within " + std::to_string(limits.requestTime.count() / 1000) + " seconds"));
        c.closeAfter = true;
        c.state = Connection::State::Writing;
        c.since = now;
        send(c);
        return;
    case Connection::State::Streaming:
        // A client that has not taken what was sent is sent no more to say
        // the stream is there, and its time starts again.
        if (!c.pending())
            c.out.append(c.keepAlive);
        c.lastSent = now;
        sendEvents(c);
        return;
    default:
        close(c);
        return;
    }
}

void LiveConnections::Impl::run()
{
    std::vector<pollfd> polled;
    std::vector<uint64_t> ids;
    while (!stopping) {
        polled.assign({ { wakeFd, POLLIN, 0 }, { listenFd, POLLIN, 0 } });
        ids.clear();
        auto now = Clock::now();
        auto next = now + limits.streamKeepAlive;
        for (auto& [id, c] : connections) {
            if (c.state == Connection::State::Working)
                continue;
            short wanted = c.inputEnded ? 0 : POLLIN;
            if (c.pending())
                wanted |= POLLOUT;
            // An answer is written before the next request is read.
            if (c.state == Connection::State::Writing)
                wanted = POLLOUT;
            polled.push_back({ c.fd, wanted, 0 });
            ids.push_back(id);
            if (auto due = deadline(c))
                next = std::min(next, *due);
        }
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
        if (::poll(polled.data(), polled.size(), static_cast<int>(std::max<int64_t>(wait, 0))) < 0 && errno != EINTR)
            break;

        if (polled[0].revents) {
            uint64_t count;
            [[maybe_unused]] auto got = ::read(wakeFd, &count, sizeof count);
        }
        std::deque<Answer> done;
        {
            std::lock_guard lock(answersMutex);
            done.swap(answers);
        }
        for (auto& answer : done)
            answered(std::move(answer));
        if (eventsAdded.exchange(false)) {
            std::vector<uint64_t> streams;
            for (auto& [id, c] : connections) {
                if (c.state == Connection::State::Streaming)
                    streams.push_back(id);
            }
            for (auto id : streams)
                sendEvents(connections.at(id));
        }
        if (polled[1].revents & POLLIN)
            accept();
        for (size_t i = 2; i < polled.size(); ++i) {
            if (!polled[i].revents)
                continue;
            auto found = connections.find(ids[i - 2]);
            if (found == connections.end() || found->second.fd != polled[i].fd)
                continue;
            Connection& c = found->second;
            if (polled[i].revents & POLLOUT)
                send(c);
            if (!connections.contains(ids[i - 2]))
                continue;
            if (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                if (c.state == Connection::State::Writing && !(polled[i].revents & (POLLHUP | POLLERR)))
                    continue;
                if (c.state == Connection::State::Writing) {
                    close(c);
                    continue;
                }
                read(c);
            }
        }
        now = Clock::now();
        std::vector<uint64_t> all;
        for (auto& [id, c] : connections)
            all.push_back(id);
        for (auto id : all) {
            if (auto found = connections.find(id); found != connections.end())
                expire(found->second, now);
        }
    }
}

LiveConnections::LiveConnections(LiveRouter& router, EventSource events, ConnectionLimits limits)
    : m_impl(std::make_unique<Impl>(router, std::move(events), limits))
{
    m_impl->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

LiveConnections::~LiveConnections()
{
    stop();
    if (m_impl->listenFd >= 0)
        ::close(m_impl->listenFd);
    if (m_impl->wakeFd >= 0)
        ::close(m_impl->wakeFd);
}

int LiveConnections::listen(const std::string& address, int port, std::string& error)
{
    sockaddr_storage storage = {};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    } else {
        error = "not an IP address: " + address;
        return -1;
    }
    int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0
        || ::listen(fd, 128) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        error = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    m_impl->listenFd = fd;
    return ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
}

void LiveConnections::start()
{
    m_impl->workers = std::make_unique<httplib::ThreadPool>(kWorkers);
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->run(); });
}

void LiveConnections::stop()
{
    Impl& impl = *m_impl;
    if (!impl.thread.joinable())
        return;
    impl.stopping = true;
    impl.wake();
    impl.thread.join();
    impl.closeAll();
    // The workers finish what they were given; a stream a handler opened
    // meanwhile is told closed.
    impl.workers->shutdown();
    for (auto& answer : impl.answers) {
        if (answer.exchange.stream && impl.events.closed)
            impl.events.closed(answer.exchange.start.channel);
    }
    impl.answers.clear();
}

void LiveConnections::eventsAdded()
{
    m_impl->eventsAdded = true;
    m_impl->wake();
}

bool LiveConnections::becomeStream(Stream stream)
{
    if (!t_exchange)
        return false;
    t_exchange->stream = true;
    t_exchange->start = std::move(stream);
    return true;
}

} // namespace camera
