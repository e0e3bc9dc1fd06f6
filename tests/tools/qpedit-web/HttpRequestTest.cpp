#include "tools/qpedit-web/HttpRequest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Parse(const std::string& head, HttpRequest& request)
{
    return ParseHttpRequest(head.data(), head.size(), request);
}

}  // namespace

TEST(HttpRequest, HeadEndsAtTheFirstBlankLine)
{
    std::string data = "GET / HTTP/1.1\r\nHost: a\r\n\r\nbody";
    EXPECT_EQ(data.size() - 4, HttpHeadLength(data.data(), data.size()));
    EXPECT_EQ(0u, HttpHeadLength(data.data(), 20)) << "a head cut before its blank line";
}

TEST(HttpRequest, ReadsTheLineAndTheHeadersItActsOn)
{
    HttpRequest request;
    ASSERT_TRUE(
        Parse("PUT /effect?token=ab&x=1 HTTP/1.1\r\nhost: 127.0.0.1:80\r\ncontent-length:  81\r\n"
              "Cookie: a=1; qpedit-80=tok\r\nX-Qpedit-Token: t2\r\n\r\n",
              request));
    EXPECT_EQ("PUT", request.method);
    EXPECT_EQ("/effect", request.path);
    EXPECT_EQ("ab", QueryValue(request.query, "token"));
    EXPECT_EQ("", QueryValue(request.query, "tok")) << "a name that only starts another";
    EXPECT_EQ("127.0.0.1:80", request.host);
    EXPECT_EQ(81u, request.contentLength);
    EXPECT_EQ("tok", CookieValue(request.cookie, "qpedit-80"));
    EXPECT_EQ("t2", request.token);
    EXPECT_FALSE(request.chunked);
}

TEST(HttpRequest, RefusesWhatItCannotReadForSure)
{
    const char* const heads[] = {
        "GET /\r\n\r\n",                                                     // no version
        "GET / HTTP/2\r\n\r\n",                                              // another version
        "GET effect HTTP/1.1\r\n\r\n",                                       // not a path
        "GET / HTTP/1.1\r\nno colon\r\n\r\n",                                // a header without a colon
        "PUT / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",  // two lengths
        "PUT / HTTP/1.1\r\nContent-Length: -1\r\n\r\n",                      // not a number
        "PUT / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n",             // past any cap
    };
    for (const char* head : heads) {
        HttpRequest request;
        EXPECT_FALSE(Parse(head, request)) << head;
    }
}

TEST(HttpRequest, NotesATransferEncodingItWillRefuse)
{
    HttpRequest request;
    ASSERT_TRUE(Parse("PUT /effect HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", request));
    EXPECT_TRUE(request.chunked);
}
