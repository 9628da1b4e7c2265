// A slow link on this machine: a TCP relay on a loopback address that passes every chunk on after half the round
// trip in each direction, in front of a server (a TCP address or a Unix socket). The benchmarks run the program and
// their libpq lower bounds through it, to see what an action costs over an office network; it also counts the
// round trips it carries. Nothing in it reaches beyond this machine.
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace harness {

class Relay {
public:
    // Listens on listenAddress (a 127.x.x.x address) and port (0: any free one); upstream is "host:port" or the path
    // of a Unix socket. Throws std::runtime_error when it cannot listen.
    Relay(const QString& listenAddress, int port, const QString& upstream, double roundTripMs);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    QString address() const { return address_; }
    int port() const { return port_; }
    double roundTripMs() const { return roundTripMs_; }

    // Round trips carried so far on all connections: each time a client sends after it has received an answer (or
    // for the first time), one more.
    quint64 roundTrips() const { return roundTrips_.load(); }
    // Connections accepted so far.
    quint64 connections() const { return connections_.load(); }

private:
    void run();

    QString address_;
    int port_ = 0;
    QString upstream_;
    double roundTripMs_ = 0;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::atomic<quint64> roundTrips_{0};
    std::atomic<quint64> connections_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The first loopback address from 127.0.0.1 on whose port nothing listens yet (the program always connects to port
// 5432); throws std::runtime_error when none of the first few is free.
QString freeLoopbackAddress(int port);

} // namespace harness
