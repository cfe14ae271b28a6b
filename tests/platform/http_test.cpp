#include <gtest/gtest.h>

#include <chrono>

#include "local_http_server.h"
#include "platform/http.h"

using quor::platform::HttpOptions;
using quor::platform::HttpResult;
using quor::platform::httpGet;
using quor::test::LocalHttpServer;

TEST(HttpGet, DeliversBodiesAndRefusesErrorAnswers) {
    LocalHttpServer server;
    server.serve("/ok?x=1", {200, "line one\nline two\n", "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve("/gone", {500, "server broke", "text/plain", LocalHttpServer::Reply::Mode::Normal});

    HttpResult ok = httpGet(server.address() + "/ok?x=1");
    ASSERT_TRUE(ok.ok()) << ok.error;
    EXPECT_EQ(ok.body, "line one\nline two\n");
    EXPECT_EQ(ok.httpCode, 200);

    // Error answers carry a body, but it never reaches the caller as data.
    HttpResult missing = httpGet(server.address() + "/nothing-here");
    EXPECT_EQ(missing.status, HttpResult::Status::HttpError);
    EXPECT_EQ(missing.httpCode, 404);
    EXPECT_TRUE(missing.body.empty());
    HttpResult broken = httpGet(server.address() + "/gone");
    EXPECT_EQ(broken.status, HttpResult::Status::HttpError);
    EXPECT_TRUE(broken.body.empty());

    EXPECT_EQ(server.requests(), (std::vector<std::string>{"/ok?x=1", "/nothing-here", "/gone"}));
}

TEST(HttpGet, BoundsStalledTruncatedOversizedAndUnreachableTransfers) {
    LocalHttpServer server;
    server.serve("/stall", {200, std::string(1000, 'x'), "text/plain", LocalHttpServer::Reply::Mode::Stall});
    server.serve("/cut", {200, std::string(1000, 'y'), "text/plain", LocalHttpServer::Reply::Mode::Truncate});
    server.serve("/big", {200, std::string(5000, 'z'), "text/plain", LocalHttpServer::Reply::Mode::Normal});

    HttpOptions quick;
    quick.totalTimeoutMs = 400;
    quick.stallTimeoutMs = 0;
    const auto t0 = std::chrono::steady_clock::now();
    HttpResult stalled = httpGet(server.address() + "/stall", quick);
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(stalled.status, HttpResult::Status::Timeout);
    EXPECT_TRUE(stalled.body.empty());
    EXPECT_LT(waited, std::chrono::seconds(3));

    HttpResult cut = httpGet(server.address() + "/cut");
    EXPECT_EQ(cut.status, HttpResult::Status::Truncated);
    EXPECT_TRUE(cut.body.empty());

    HttpOptions small;
    small.maxBytes = 4096;
    HttpResult big = httpGet(server.address() + "/big", small);
    EXPECT_EQ(big.status, HttpResult::Status::TooLarge);
    EXPECT_TRUE(big.body.empty());

    // Nothing listens on port 1; file URLs are not followed at all.
    EXPECT_EQ(httpGet("http://127.0.0.1:1/x", quick).status, HttpResult::Status::NetworkError);
    EXPECT_FALSE(httpGet("file:///etc/hostname").ok());
}

TEST(HttpGet, PercentEncodingKeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(quor::platform::percentEncode("clkn7"), "clkn7");
    EXPECT_EQ(quor::platform::percentEncode("a b&c=d/é"), "a%20b%26c%3Dd%2F%C3%A9");
}
