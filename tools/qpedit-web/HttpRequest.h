#pragma once
// One HTTP/1.1 request head as qpedit-web reads it: the request line and the few
// headers it acts on. The parser is strict and bounded: it never allocates past the
// head it was given, and anything it doesn't understand is a refusal, not a guess.

#include <cstddef>
#include <string>

struct HttpRequest {
    std::string method;    // "GET", "PUT", ...
    std::string path;      // the target before any '?', e.g. "/effect"
    std::string query;     // after the '?', without it; "" when none
    std::string host;      // the Host header
    std::string cookie;    // the Cookie header, as sent
    std::string token;     // the X-Qpedit-Token header
    size_t contentLength;  // bytes of body that follow the head
    bool chunked;          // a Transfer-Encoding was sent (never served)
};

enum : size_t { HTTP_HEAD_LIMIT = 8192 };  // bytes of request line and headers, blank line included

// The length of the head at the start of `data` (through its blank line), or 0 when
// `size` bytes don't hold a whole head yet.
size_t HttpHeadLength(const char* data, size_t size);

// Parses a whole head (as HttpHeadLength measured it) into `request`. False when the
// head is malformed: no request line, an HTTP version other than 1.0 or 1.1, a header
// without a colon, a repeated or non-numeric Content-Length.
bool ParseHttpRequest(const char* head, size_t length, HttpRequest& request);

// The value of `name` in the query text "a=1&b=2" ("" when it isn't there). Values are
// taken as they are: the ones served here never need %-escapes.
std::string QueryValue(const std::string& query, const std::string& name);

// The value of the cookie `name` in a Cookie header ("" when it isn't there).
std::string CookieValue(const std::string& cookies, const std::string& name);
