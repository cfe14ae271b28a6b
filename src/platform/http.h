#pragma once
// A small blocking HTTP GET for downloads the user asks for. The whole
// answer is held in memory, so every transfer is bounded in time and size;
// a server that stalls or floods cannot hang or exhaust the program.
#include <cstddef>
#include <string>
#include <string_view>

namespace quor::platform {

struct HttpOptions {
    long connectTimeoutMs = 15000;      // to open the connection
    long totalTimeoutMs = 120000;       // for the whole transfer
    long stallTimeoutMs = 30000;        // no byte received for this long ends it
    std::size_t maxBytes = 32u << 20;   // larger answers are refused
};

struct HttpResult {
    enum class Status { Ok, HttpError, Timeout, TooLarge, Truncated, NetworkError };
    Status status = Status::NetworkError;
    long httpCode = 0;
    std::string body;    // the answer; empty unless status is Ok
    std::string error;   // what went wrong, for logs and details

    bool ok() const { return status == Status::Ok; }
};

// GETs the URL. Only http and https are followed; redirects are followed
// within the same limits. Any answer outside 200..299 is a failure.
// Safe to call from a worker thread.
HttpResult httpGet(const std::string& url, const HttpOptions& options = {});

// Percent-encodes everything except unreserved characters (A-Z a-z 0-9 - . _ ~).
std::string percentEncode(std::string_view text);

}  // namespace quor::platform
