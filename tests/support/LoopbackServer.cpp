#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quietpane::test {

namespace {

// A socket listening on a free port of 127.0.0.1; its address is stored in address.
int ListenOnLoopback(int backlog, sockaddr_in& address)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0)
            close(listener);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    return listener;
}

} // namespace

LoopbackServer::LoopbackServer(Handler handler, int connections)
{
    sockaddr_in address{};
    listener_ = ListenOnLoopback(16, address);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, handler = std::move(handler), connections] {
        for (int served = 0; served < connections; ++served) {
            const int connection = accept(listener_, nullptr, nullptr);
            if (connection < 0) {
                return;
            }
            connection_ = connection;
            try {
                handler(connection);
            } catch (const std::exception&) {
            }
            connection_ = -1;
            close(connection);
        }
    });
}

LoopbackServer::~LoopbackServer()
{
    // Wakes an accept that no client will satisfy any more.
    shutdown(listener_, SHUT_RDWR);
    const int connection = connection_;
    if (connection >= 0) {
        shutdown(connection, SHUT_RDWR);
    }
    Join();
    close(listener_);
}

UnansweringHost::UnansweringHost()
{
    sockaddr_in address{};
    listener_ = ListenOnLoopback(0, address);
    port_ = ntohs(address.sin_port);
    // A backlog of 0 holds one connection; more attempts are made until one stays unanswered,
    // in case the kernel allows more.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd polled{client, POLLOUT, 0};
        // The first must complete however busy the machine is; a later one only shows it can.
        if (poll(&polled, 1, attempt == 0 ? 10000 : 300) != 1) {
            close(client);
            if (attempt == 0) {
                throw std::runtime_error("cannot fill the accept queue");
            }
            return;
        }
        queued_.push_back(client);
    }
    throw std::runtime_error("the accept queue does not fill");
}

UnansweringHost::~UnansweringHost()
{
    for (const int client : queued_) {
        close(client);
    }
    close(listener_);
}

void LoopbackServer::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

void SendAll(int connection, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            throw std::runtime_error("send failed");
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::string ReceiveLine(int connection)
{
    std::string line;
    char byte = 0;
    while (recv(connection, &byte, 1, 0) == 1) {
        line += byte;
        if (byte == '\n') {
            break;
        }
    }
    return line;
}

std::string ReceiveAll(int connection)
{
    std::string bytes;
    char chunk[65536];
    ssize_t received;
    while ((received = recv(connection, chunk, sizeof chunk, 0)) > 0) {
        bytes.append(chunk, static_cast<std::size_t>(received));
    }
    return bytes;
}

std::string ReceiveBytes(int connection, std::size_t count)
{
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t received = recv(connection, bytes.data() + got, count - got, 0);
        if (received <= 0) {
            break;
        }
        got += static_cast<std::size_t>(received);
    }
    bytes.resize(got);
    return bytes;
}

void ResetConnection(int connection)
{
    const linger immediate{1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
}

void EchoLines(int connection)
{
    for (std::string line = ReceiveLine(connection); !line.empty(); line = ReceiveLine(connection)) {
        SendAll(connection, line);
    }
}

} // namespace quietpane::test
