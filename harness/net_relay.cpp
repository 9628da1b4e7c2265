#include "harness/net_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

namespace harness {

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::string data; // empty: the sender closed its side
};

// One direction of a connection.
struct Flow {
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    size_t written = 0; // of the front chunk
    bool readClosed = false;
    bool done = false; // the close has been passed on
};

struct Connection {
    Flow up;   // client to server
    Flow down; // server to client
    bool answered = true; // the server has answered since the client last sent
    Clock::time_point openedAt;
    bool broken = false;
};

void setNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void setNoDelay(int fd)
{
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int connectUpstream(const QString& upstream)
{
    if (upstream.startsWith(u'/')) {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray path = upstream.toUtf8();
        if (path.size() >= int(sizeof a.sun_path))
            return -1;
        std::memcpy(a.sun_path, path.constData(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    const qsizetype colon = upstream.lastIndexOf(u':');
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(upstream.mid(colon + 1).toUShort());
    if (colon < 0 || inet_pton(AF_INET, upstream.left(colon).toLatin1().constData(), &a.sin_addr) != 1)
        return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    if (fd >= 0)
        setNoDelay(fd);
    return fd;
}

// Reads what has arrived; false when the connection failed.
bool readInto(Flow& f, Clock::duration delay, Clock::time_point notBefore, bool& sent)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(f.from, buf, sizeof buf);
        if (n > 0) {
            const Clock::time_point due = std::max(Clock::now() + delay, notBefore);
            f.queue.push_back({due, std::string(buf, size_t(n))});
            sent = true;
            continue;
        }
        if (n == 0) {
            f.readClosed = true;
            f.queue.push_back({std::max(Clock::now() + delay, notBefore), std::string()});
            return true;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

// Writes the chunks that are due; false when the connection failed. blocked: a due chunk waits for room.
bool flush(Flow& f, Clock::time_point now, bool& blocked)
{
    blocked = false;
    while (!f.queue.empty() && f.queue.front().due <= now) {
        Chunk& c = f.queue.front();
        if (c.data.empty()) {
            ::shutdown(f.to, SHUT_WR);
            f.done = true;
            f.queue.pop_front();
            continue;
        }
        const ssize_t n = ::write(f.to, c.data.data() + f.written, c.data.size() - f.written);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                blocked = true;
                return true;
            }
            return false;
        }
        f.written += size_t(n);
        if (f.written == c.data.size()) {
            f.queue.pop_front();
            f.written = 0;
        }
    }
    return true;
}

} // namespace

Relay::Relay(const QString& listenAddress, int port, const QString& upstream, double roundTripMs)
    : address_(listenAddress)
    , upstream_(upstream)
    , roundTripMs_(roundTripMs)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    if (inet_pton(AF_INET, listenAddress.toLatin1().constData(), &a.sin_addr) != 1 ||
        (ntohl(a.sin_addr.s_addr) >> 24) != 127)
        throw std::runtime_error("relay: not a loopback address: " + listenAddress.toStdString());
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 64) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("relay: cannot listen on " + listenAddress.toStdString() + ":" +
                                 std::to_string(port) + ": " + std::strerror(errno));
    }
    socklen_t len = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    setNonBlocking(listenFd_);
    if (::pipe(wakeFd_) != 0)
        throw std::runtime_error("relay: pipe");
    thread_ = std::thread([this] { run(); });
}

Relay::~Relay()
{
    stop_ = true;
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_[1], &c, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
}

void Relay::run()
{
    const auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(roundTripMs_ / 2));
    std::list<Connection> conns;
    std::vector<pollfd> fds;
    std::vector<Connection*> owners; // per pollfd from index 2: the connection
    while (!stop_) {
        // What to wait for: new connections, data from either side, room for a due chunk, the next chunk's time.
        fds.assign({{wakeFd_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}});
        owners.assign(2, nullptr);
        Clock::time_point next = Clock::time_point::max();
        const Clock::time_point now = Clock::now();
        for (Connection& c : conns) {
            for (Flow* f : {&c.up, &c.down}) {
                if (!f->queue.empty() && f->queue.front().due > now)
                    next = std::min(next, f->queue.front().due);
                if (f->readClosed)
                    continue;
                fds.push_back({f->from, POLLIN, 0});
                owners.push_back(&c);
            }
        }
        // Flows blocked on a full socket wait for room.
        for (Connection& c : conns)
            for (Flow* f : {&c.up, &c.down})
                if (!f->queue.empty() && f->queue.front().due <= now) {
                    fds.push_back({f->to, POLLOUT, 0});
                    owners.push_back(&c);
                }
        timespec timeout{};
        timespec* wait = nullptr;
        if (next != Clock::time_point::max()) {
            const auto ns = std::max<long long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(next - now).count());
            timeout.tv_sec = time_t(ns / 1000000000);
            timeout.tv_nsec = long(ns % 1000000000);
            wait = &timeout;
        }
        if (::ppoll(fds.data(), fds.size(), wait, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int client = ::accept(listenFd_, nullptr, nullptr);
                if (client < 0)
                    break;
                const int server = connectUpstream(upstream_);
                if (server < 0) {
                    ::close(client);
                    continue;
                }
                setNoDelay(client);
                setNonBlocking(client);
                setNonBlocking(server);
                Connection& c = conns.emplace_back();
                c.up.from = c.down.to = client;
                c.up.to = c.down.from = server;
                c.openedAt = Clock::now();
                ++connections_;
                // The link's own handshake: a connection is usable one round trip after it was asked for.
                ++roundTrips_;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || fds[i].events != POLLIN)
                continue;
            Connection& c = *owners[i];
            Flow& f = fds[i].fd == c.up.from ? c.up : c.down;
            if (f.readClosed)
                continue;
            bool sent = false;
            const Clock::time_point notBefore = &f == &c.up ? c.openedAt + 3 * delay : Clock::time_point::min();
            if (!readInto(f, delay, notBefore, sent))
                c.broken = true;
            if (sent && &f == &c.up && c.answered) {
                ++roundTrips_;
                c.answered = false;
            }
            if (sent && &f == &c.down)
                c.answered = true;
        }
        const Clock::time_point after = Clock::now();
        for (auto it = conns.begin(); it != conns.end();) {
            bool blocked = false;
            if (!it->broken && (!flush(it->up, after, blocked) || !flush(it->down, after, blocked)))
                it->broken = true;
            if (it->broken || (it->up.done && it->down.done)) {
                ::close(it->up.from);
                ::close(it->up.to);
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Connection& c : conns) {
        ::close(c.up.from);
        ::close(c.up.to);
    }
}

QString freeLoopbackAddress(int port)
{
    for (int last = 1; last < 32; ++last) {
        const QString address = QStringLiteral("127.0.0.%1").arg(last);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(quint16(port));
        inet_pton(AF_INET, address.toLatin1().constData(), &a.sin_addr);
        const bool taken = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (!taken)
            return address;
    }
    throw std::runtime_error("relay: no free loopback address for port " + std::to_string(port));
}

} // namespace harness
