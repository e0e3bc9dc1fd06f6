#include "tools/qpedit-web/HttpRequest.h"

#include <cstring>
#include <strings.h>

namespace {

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseLength(const std::string& text, size_t& length)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    length = std::stoul(text);
    return true;
}

bool ParseRequestLine(const std::string& line, HttpRequest& request)
{
    size_t firstSpace = line.find(' ');
    size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || firstSpace == lastSpace)
        return false;
    std::string version = line.substr(lastSpace + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return false;
    request.method = line.substr(0, firstSpace);
    std::string target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    if (target.empty() || target[0] != '/' || target.find(' ') != std::string::npos)
        return false;
    size_t question = target.find('?');
    request.path = target.substr(0, question);
    request.query = question == std::string::npos ? "" : target.substr(question + 1);
    return !request.method.empty();
}

}  // namespace

size_t HttpHeadLength(const char* data, size_t size)
{
    for (size_t i = 3; i < size; ++i) {
        if (data[i - 3] == '\r' && data[i - 2] == '\n' && data[i - 1] == '\r' && data[i] == '\n')
            return i + 1;
    }
    return 0;
}

bool ParseHttpRequest(const char* head, size_t length, HttpRequest& request)
{
    request = HttpRequest{};
    std::string text(head, length);
    size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string::npos || !ParseRequestLine(text.substr(0, lineEnd), request))
        return false;
    bool sawLength = false;
    for (size_t start = lineEnd + 2; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        if (end == start)
            break;
        std::string line = text.substr(start, end - start);
        start = end + 2;
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0)
            return false;
        std::string name = line.substr(0, colon);
        std::string value = Trimmed(line.substr(colon + 1));
        if (strcasecmp(name.c_str(), "Content-Length") == 0) {
            if (sawLength || !ParseLength(value, request.contentLength))
                return false;
            sawLength = true;
        } else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
            request.chunked = true;
        } else if (strcasecmp(name.c_str(), "Host") == 0) {
            request.host = value;
        } else if (strcasecmp(name.c_str(), "Cookie") == 0) {
            request.cookie = value;
        } else if (strcasecmp(name.c_str(), "X-Qpedit-Token") == 0) {
            request.token = value;
        }
    }
    return true;
}

std::string QueryValue(const std::string& query, const std::string& name)
{
    for (size_t start = 0; start <= query.size();) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string pair = query.substr(start, end - start);
        if (pair.compare(0, name.size() + 1, name + "=") == 0)
            return pair.substr(name.size() + 1);
        start = end + 1;
    }
    return "";
}

std::string CookieValue(const std::string& cookies, const std::string& name)
{
    for (size_t start = 0; start < cookies.size();) {
        size_t end = cookies.find(';', start);
        if (end == std::string::npos)
            end = cookies.size();
        std::string pair = Trimmed(cookies.substr(start, end - start));
        if (pair.compare(0, name.size() + 1, name + "=") == 0)
            return pair.substr(name.size() + 1);
        start = end + 1;
    }
    return "";
}
