#pragma once
// A tiny HTTP/1.0 server on 127.0.0.1 for tests of downloads: it serves
// canned answers by request target, records what it was asked, and stops
// when destroyed or after its lifetime, whichever comes first.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quor::test {

class LocalHttpServer {
public:
    struct Reply {
        enum class Mode { Normal, Stall, Truncate };
        int status = 200;
        std::string body;
        std::string contentType = "text/plain";
        Mode mode = Mode::Normal;
    };

    explicit LocalHttpServer(std::chrono::seconds lifetime = std::chrono::seconds(30));
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Answers for a request target (path and query, as sent).
    void serve(const std::string& target, Reply reply);
    // "http://127.0.0.1:port", without a trailing slash.
    std::string address() const;
    // Request targets in the order they arrived.
    std::vector<std::string> requests() const;

private:
    void run();
    void handle(int client);

    int listenFd_ = -1;
    int port_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace quor::test
