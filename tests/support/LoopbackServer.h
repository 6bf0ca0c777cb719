#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quietpane::test {

// A TCP server on 127.0.0.1 (a port of its own) that serves the given number of connections one
// after another on a thread, each with the handler, and closes each when the handler returns.
// An exception from the handler ends that connection. The destructor shuts the listener and the
// connection being served down, so that a handler waiting for the client ends, and waits for the thread.
class LoopbackServer {
public:
    using Handler = std::function<void(int connection)>;

    explicit LoopbackServer(Handler handler, int connections = 1);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    // Waits until every connection has been served, so that what the handler recorded can be read.
    void Join();

private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> connection_{-1};
    std::thread thread_;
};

// A port on 127.0.0.1 that never answers a connection attempt, as a host that drops packets:
// its listener's accept queue is full of connections nobody accepts, so the kernel drops every
// further SYN.
class UnansweringHost {
public:
    UnansweringHost();
    ~UnansweringHost();
    UnansweringHost(const UnansweringHost&) = delete;
    UnansweringHost& operator=(const UnansweringHost&) = delete;

    int Port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> queued_;
};

// Helpers for handlers; they throw std::runtime_error when the connection fails.
void SendAll(int connection, std::string_view bytes);
// The next line including its LF; what arrived before the peer closed when it has none.
std::string ReceiveLine(int connection);
// Everything up to the peer's close.
std::string ReceiveAll(int connection);
// Exactly count bytes, or fewer if the peer closes first.
std::string ReceiveBytes(int connection, std::size_t count);
// Closes with a reset instead of an orderly close.
void ResetConnection(int connection);

// A handler that sends every received line back.
void EchoLines(int connection);

} // namespace quietpane::test
