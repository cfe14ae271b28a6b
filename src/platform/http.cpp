#include "platform/http.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace quor::platform {

namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
    std::string data;
    std::size_t limit = 0;
    bool overflow = false;
};

size_t writeBody(char* ptr, size_t size, size_t nmemb, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * nmemb;
    if (sink->data.size() + n > sink->limit) {
        sink->overflow = true;
        return 0;  // makes curl stop with a write error
    }
    sink->data.append(ptr, n);
    return n;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

}  // namespace

HttpResult httpGet(const std::string& url, const HttpOptions& options) {
    initCurlOnce();
    HttpResult result;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        result.error = "The transfer could not be started";
        return result;
    }
    Sink sink;
    sink.limit = options.maxBytes;
    char errbuf[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    // curl measures stalls in whole seconds.
    const long stallSeconds = options.stallTimeoutMs <= 0 ? 0 : (options.stallTimeoutMs + 999) / 1000;
    if (stallSeconds > 0) {
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    }
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Quor/4");

    const CURLcode rc = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.httpCode);
    result.error = errbuf[0] ? errbuf : curl_easy_strerror(rc);

    if (rc == CURLE_OK) {
        if (result.httpCode < 200 || result.httpCode > 299) {
            result.status = HttpResult::Status::HttpError;
            result.error = "The server answered with status " + std::to_string(result.httpCode);
            return result;
        }
        result.status = HttpResult::Status::Ok;
        result.error.clear();
        result.body = std::move(sink.data);
        return result;
    }
    if (sink.overflow || rc == CURLE_FILESIZE_EXCEEDED) {
        result.status = HttpResult::Status::TooLarge;
        result.error = "The answer is larger than " + std::to_string(options.maxBytes) + " bytes";
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        result.status = HttpResult::Status::Timeout;
    } else if (rc == CURLE_PARTIAL_FILE) {
        result.status = HttpResult::Status::Truncated;
    } else {
        result.status = HttpResult::Status::NetworkError;
    }
    return result;
}

std::string percentEncode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char ch : text) {
        const bool unreserved = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                                ch == '-' || ch == '.' || ch == '_' || ch == '~';
        if (unreserved) {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

}  // namespace quor::platform
