#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quor::test {

namespace {

void sendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

LocalHttpServer::LocalHttpServer(std::chrono::seconds lifetime)
    : deadline_(std::chrono::steady_clock::now() + lifetime) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;  // ephemeral
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 16) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("bind/listen");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listenFd_);
}

void LocalHttpServer::serve(const std::string& target, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = std::move(reply);
}

std::string LocalHttpServer::address() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> LocalHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LocalHttpServer::run() {
    while (!stop_ && std::chrono::steady_clock::now() < deadline_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int client = ::accept(listenFd_, nullptr, nullptr);
        if (client < 0) continue;
        handle(client);
        ::close(client);
    }
}

void LocalHttpServer::handle(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return;
        ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) return;
        request.append(buf, static_cast<size_t>(n));
    }
    const size_t sp1 = request.find(' ');
    const size_t sp2 = request.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return;
    const std::string target = request.substr(sp1 + 1, sp2 - sp1 - 1);

    Reply reply{404, "<html><body>Not Found</body></html>", "text/html", Reply::Mode::Normal};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(target);
        auto it = replies_.find(target);
        if (it != replies_.end()) reply = it->second;
    }
    const std::string reason = reply.status == 200 ? "OK" : "Error";
    std::string head = "HTTP/1.0 " + std::to_string(reply.status) + " " + reason +
                       "\r\nContent-Type: " + reply.contentType +
                       "\r\nContent-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
    if (reply.mode == Reply::Mode::Stall) {
        // Headers, then silence until the client gives up or the server stops.
        sendAll(client, head);
        while (!stop_ && std::chrono::steady_clock::now() < deadline_) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                ssize_t n = ::recv(client, buf, sizeof buf, 0);
                if (n <= 0) return;  // the client hung up
            }
        }
        return;
    }
    if (reply.mode == Reply::Mode::Truncate) {
        sendAll(client, head + reply.body.substr(0, reply.body.size() / 2));
        return;
    }
    sendAll(client, head + reply.body);
}

}  // namespace quor::test
