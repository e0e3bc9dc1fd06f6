// qpedit-web: serves the studio page and one effect file to a browser on this machine.
// It listens on 127.0.0.1 only and answers only requests that carry the random token
// of the address it printed (in the address, a cookie set with the page, or the
// X-Qpedit-Token header); it serves the page's own files and the effect file, never
// anything else. GET /effect reads the file, PUT /effect saves it under the editor's
// Save rules, GET /effect/change?since=STAMP answers once the file on disk differs.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "effect/EffectFile.h"
#include "effect/EffectSaveRecord.h"
#include "files/NameText.h"
#include "files/RegularFile.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolVersion.h"
#include "tools/qpedit-web/HttpRequest.h"

namespace {

enum : size_t {
    BODY_LIMIT = 4096,          // an effect file is 65 or 81 bytes
    PAGE_FILE_LIMIT = 1 << 26,  // the engine's .wasm is the largest page file
};
enum : int {
    MOST_CONNECTIONS = 32,      // more at once are closed unanswered
    READ_TIMEOUT_SECONDS = 10,  // a client that stops sending loses its connection
    CHANGE_WAIT_MS = 20000,     // a change request answers "unchanged" after this long
    CHANGE_POLL_MS = 200,       // how often the file's stamp is looked at meanwhile
};

struct Server {
    std::string pageFolder;  // the studio's files, index.html among them
    std::string effectName;  // "" when serving the page alone
    std::string token;       // 32 hex digits from getrandom
    std::string cookieName;  // qpedit-PORT: cookies don't tell ports apart
    std::string host;        // 127.0.0.1:PORT, the only Host accepted
    std::mutex effectLock;   // guards `saved` and the file between a read and a write
    EffectSaveRecord saved;  // the file as the page last read or saved it
};
Server server;
std::atomic<int> connections{0};

const char* const USAGE =
    "usage: qpedit-web [--page DIR] [--no-browser] [EFFECT.QP]\n"
    "       qpedit-web --help | --version\n"
    "\n"
    "Serves the qpedit studio on 127.0.0.1 at a free port and prints its address\n"
    "(opening a browser when there is a display). With EFFECT.QP the page opens\n"
    "that file, Save writes it back (keeping an earlier version as NAME.bak when the\n"
    "editor's Save would) and a change made to the file on disk shows in the page.\n"
    "Only requests carrying the address's random token are answered.\n"
    "\n"
    "  --page DIR    serve the page from DIR (default: share/qpedit/web beside bin/)\n"
    "  --no-browser  only print the address\n";

// A stamp as the page compares it: "none" when there is no file.
std::string StampText(bool present, const FileStamp& stamp)
{
    if (!present)
        return "none";
    char text[128];
    std::snprintf(text, sizeof text, "%llx-%llx-%llx-%llx-%llx", (unsigned long long)stamp.device,
                  (unsigned long long)stamp.inode, (unsigned long long)stamp.size, (unsigned long long)stamp.modified,
                  (unsigned long long)stamp.modifiedNano);
    return text;
}

std::string StampText(const char* name)
{
    FileStamp stamp = {};
    bool present = StampOf(name, stamp);
    return StampText(present, stamp);
}

bool SendAll(int fd, const void* data, size_t size)
{
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(fd, at, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        at += sent;
        size -= size_t(sent);
    }
    return true;
}

void Reply(int fd, int status, const char* reason, const std::string& type, const void* body, size_t size,
           const std::string& extraHeaders = "")
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + "Content-Type: " + type +
                       "\r\nContent-Length: " + std::to_string(size) +
                       "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
                       "Referrer-Policy: no-referrer\r\nConnection: close\r\n" +
                       extraHeaders + "\r\n";
    if (SendAll(fd, head.data(), head.size()))
        SendAll(fd, body, size);
}

void ReplyText(int fd, int status, const char* reason, const std::string& text, const std::string& extra = "")
{
    Reply(fd, status, reason, "text/plain; charset=utf-8", text.data(), text.size(), extra);
}

// The type of a page file by its ending; "" for a name the page never has.
std::string PageFileType(const std::string& name)
{
    static const char* const TYPES[][2] = {{".html", "text/html; charset=utf-8"},
                                           {".js", "text/javascript; charset=utf-8"},
                                           {".mjs", "text/javascript; charset=utf-8"},
                                           {".css", "text/css; charset=utf-8"},
                                           {".wasm", "application/wasm"},
                                           {".png", "image/png"},
                                           {".ico", "image/x-icon"}};
    for (const auto& type : TYPES) {
        size_t length = std::strlen(type[0]);
        if (name.size() > length && name.compare(name.size() - length, length, type[0]) == 0)
            return type[1];
    }
    return "";
}

// A page file is named directly inside the page folder: letters, digits, '-', '_'
// and one '.', so no path can leave the folder or reach a hidden file.
bool SafePageName(const std::string& name)
{
    if (name.empty() || name[0] == '.' || std::count(name.begin(), name.end(), '.') != 1)
        return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

void ServePageFile(int fd, const HttpRequest& request)
{
    std::string name = request.path == "/" ? "index.html" : request.path.substr(1);
    std::string type = PageFileType(name);
    if (!SafePageName(name) || type.empty())
        return ReplyText(fd, 404, "Not Found", "not found\n");
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!ReadRegularFile((server.pageFolder + "/" + name).c_str(), bytes, problem, PAGE_FILE_LIMIT))
        return ReplyText(fd, 404, "Not Found", "not found\n");
    // The page's own requests (modules, the .wasm) carry the token as this cookie.
    std::string cookie = name == "index.html" ? "Set-Cookie: " + server.cookieName + "=" + server.token +
                                                    "; Path=/; HttpOnly; SameSite=Strict\r\n"
                                              : "";
    Reply(fd, 200, "OK", type, bytes.data(), bytes.size(), cookie);
}

void ServeEffectRead(int fd)
{
    std::lock_guard<std::mutex> hold(server.effectLock);
    EmitterSettings ignored = {};
    std::string problem;
    bool missing = false;
    std::vector<uint8_t> bytes;
    LoadEffectForSaving(server.effectName.c_str(), ignored, server.saved, problem, missing, &bytes);
    std::string stamp = "X-Effect-Stamp: " + StampText(server.saved.present, server.saved.stamp) + "\r\n";
    if (missing)
        return ReplyText(fd, 404, "Not Found", EscapedName(server.effectName) + " doesn't exist yet\n", stamp);
    if (!server.saved.present)
        return ReplyText(fd, 500, "Internal Server Error",
                         EscapedName(server.effectName) + " can't be read: " + problem + "\n", stamp);
    Reply(fd, 200, "OK", "application/octet-stream", bytes.data(), bytes.size(), stamp);
}

void ServeEffectWrite(int fd, const std::vector<uint8_t>& body)
{
    EmitterSettings settings = {};
    if ((body.size() != EFFECT_FILE_SIZE && body.size() != EFFECT_FILE_CONE_SIZE) ||
        DecodeEffect(body.data(), body.size(), settings) != EFFECT_OK)
        return ReplyText(fd, 400, "Bad Request", "not an effect file; nothing saved\n");
    std::lock_guard<std::mutex> hold(server.effectLock);
    const char* name = server.effectName.c_str();
    std::string kept, problem, lines;
    bool saved = SaveEffectKeepingOld(name, settings, server.saved, kept, problem);
    if (!kept.empty())
        lines += "Kept the earlier " + EscapedName(name) + " as " + EscapedName(kept) + "\n";
    lines += saved ? "Saved " + EscapedName(name) + "\n"
                   : "Couldn't save effect " + EscapedName(name) + ": " + problem + "\n";
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
    std::string stamp = "X-Effect-Stamp: " + StampText(server.saved.present, server.saved.stamp) + "\r\n";
    ReplyText(fd, saved ? 200 : 500, saved ? "OK" : "Internal Server Error", lines, stamp);
}

// Answers when the file's stamp differs from `since` (at once if it already does),
// else "unchanged" after CHANGE_WAIT_MS; either way with the stamp now.
void ServeEffectChange(int fd, const std::string& since)
{
    const char* name = server.effectName.c_str();
    std::string now = StampText(name);
    for (int waited = 0; now == since && waited < CHANGE_WAIT_MS; waited += CHANGE_POLL_MS) {
        std::this_thread::sleep_for(std::chrono::milliseconds(CHANGE_POLL_MS));
        now = StampText(name);
    }
    ReplyText(fd, 200, "OK", now + "\n");
}

bool HasToken(const HttpRequest& request)
{
    const std::string& token = server.token;
    for (const std::string& given :
         {QueryValue(request.query, "token"), CookieValue(request.cookie, server.cookieName), request.token}) {
        if (given.size() != token.size())
            continue;
        unsigned char differ = 0;  // the same time for every guess of the same length
        for (size_t i = 0; i < token.size(); ++i)
            differ |= static_cast<unsigned char>(given[i] ^ token[i]);
        if (differ == 0)
            return true;
    }
    return false;
}

void Route(int fd, const HttpRequest& request, const std::vector<uint8_t>& body)
{
    if (request.host != server.host || !HasToken(request))
        return ReplyText(fd, 403, "Forbidden", "forbidden\n");
    bool effect = request.path == "/effect" && !server.effectName.empty();
    bool change = request.path == "/effect/change" && !server.effectName.empty();
    if (request.method == "PUT" && effect)
        return ServeEffectWrite(fd, body);
    if (request.method != "GET")
        return ReplyText(fd, 405, "Method Not Allowed", "method not allowed\n");
    if (effect)
        return ServeEffectRead(fd);
    if (change)
        return ServeEffectChange(fd, QueryValue(request.query, "since"));
    ServePageFile(fd, request);
}

// Reads one request (head within HTTP_HEAD_LIMIT, body within BODY_LIMIT), answers it
// and closes the connection.
void Serve(int fd)
{
    timeval timeout = {READ_TIMEOUT_SECONDS, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::vector<char> data;
    size_t headLength = 0;
    char chunk[4096];
    while (headLength == 0 && data.size() < HTTP_HEAD_LIMIT) {
        ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return;
        data.insert(data.end(), chunk, chunk + got);
        headLength = HttpHeadLength(data.data(), std::min(data.size(), size_t(HTTP_HEAD_LIMIT)));
    }
    HttpRequest request;
    if (headLength == 0)
        return ReplyText(fd, 431, "Request Header Fields Too Large", "request head too large\n");
    if (!ParseHttpRequest(data.data(), headLength, request))
        return ReplyText(fd, 400, "Bad Request", "bad request\n");
    if (request.chunked)
        return ReplyText(fd, 411, "Length Required", "length required\n");
    if (request.contentLength > BODY_LIMIT)
        return ReplyText(fd, 413, "Payload Too Large", "too large\n");
    std::vector<uint8_t> body(data.begin() + long(headLength), data.end());
    while (body.size() < request.contentLength) {
        ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return;
        body.insert(body.end(), chunk, chunk + got);
    }
    if (body.size() > request.contentLength)
        return ReplyText(fd, 400, "Bad Request", "bad request\n");
    Route(fd, request, body);
}

void ServeAndClose(int fd)
{
    Serve(fd);
    shutdown(fd, SHUT_WR);
    close(fd);
    --connections;
}

bool MakeToken(std::string& token)
{
    unsigned char random[16];
    if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
        return false;
    static const char HEX[] = "0123456789abcdef";
    token.clear();
    for (unsigned char byte : random) {
        token += HEX[byte >> 4];
        token += HEX[byte & 15];
    }
    return true;
}

// The installed page: share/qpedit/web beside the bin/ folder holding this program.
std::string InstalledPageFolder()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    std::string path(self, size_t(length));
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/share/qpedit/web";
}

void OpenBrowser(const std::string& address)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        return;
    pid_t child = fork();
    if (child == 0) {
        // A child of the child runs xdg-open, so nothing is left to wait for.
        if (fork() == 0) {
            int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            execlp("xdg-open", "xdg-open", address.c_str(), static_cast<char*>(nullptr));
        }
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}

int Listen(int& port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

int main(int argc, char** argv)
{
    SetToolName("qpedit-web");
    if (PrintVersionIfAsked(argc, argv, "qpedit-web"))
        return 0;
    bool browser = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (arg == "--page" && i + 1 < argc) {
            server.pageFolder = argv[++i];
        } else if (arg == "--no-browser") {
            browser = false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            std::fputs(USAGE, stderr);
            return Fail("unknown option " + arg);
        } else if (server.effectName.empty()) {
            server.effectName = arg == "--" && i + 1 < argc ? argv[++i] : arg;
        } else {
            std::fputs(USAGE, stderr);
            return Fail("more than one effect file given");
        }
    }
    if (server.pageFolder.empty())
        server.pageFolder = InstalledPageFolder();
    struct stat index = {};
    if (stat((server.pageFolder + "/index.html").c_str(), &index) != 0 || !S_ISREG(index.st_mode))
        return Fail("no studio page in " + EscapedName(server.pageFolder) + " (index.html missing)");
    if (!MakeToken(server.token))
        return Fail(std::string("can't make a random token: ") + std::strerror(errno));
    int port = 0;
    int listener = Listen(port);
    if (listener < 0)
        return Fail(std::string("can't listen on 127.0.0.1: ") + std::strerror(errno));
    server.host = "127.0.0.1:" + std::to_string(port);
    server.cookieName = "qpedit-" + std::to_string(port);
    std::string address = "http://" + server.host + "/?token=" + server.token;
    if (!server.effectName.empty()) {
        std::string base = server.effectName.substr(server.effectName.rfind('/') + 1);
        bool plain = !base.empty() && base.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "abcdefghijklmnopqrstuvwxyz0123456789._-") == std::string::npos;
        address += "&file=" + (plain ? base : std::string("effect.QP"));
    }
    std::printf("qpedit studio: %s  (Ctrl+C stops it)\n", address.c_str());
    std::fflush(stdout);
    if (browser)
        OpenBrowser(address);
    signal(SIGPIPE, SIG_IGN);
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        if (connections >= MOST_CONNECTIONS) {
            close(fd);
            continue;
        }
        ++connections;
        try {
            std::thread(ServeAndClose, fd).detach();
        } catch (const std::system_error&) {
            // No thread to spare now: this one connection goes unanswered.
            close(fd);
            --connections;
        }
    }
}
