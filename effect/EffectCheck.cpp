#include "effect/EffectCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/RegularFile.h"

namespace {

// Up to `room` bytes from the start of a regular file; the count read, 0 for
// anything else (a FIFO put in the file's place is refused without blocking).
size_t ReadHead(const char* name, unsigned char* bytes, size_t room)
{
    std::vector<uint8_t> head;
    std::string problem;
    if (!ReadRegularFile(name, head, problem, room))
        return 0;
    std::copy(head.begin(), head.end(), bytes);
    return head.size();
}

std::string Printable(const unsigned char* bytes, size_t count)
{
    std::string text = "\"";
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            text += char(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text + "\"";
}

std::string WhyUnreadable(const char* name)
{
    struct stat info;
    if (stat(name, &info) != 0)
        return std::string("can't be read: ") + strerror(errno);
    if (S_ISDIR(info.st_mode))
        return "is a directory, not an effect file";
    if (!S_ISREG(info.st_mode))
        return "is not a regular file";
    if (access(name, R_OK) != 0)
        return std::string("can't be read: ") + strerror(errno);
    return "can't be read";
}

// Why the file was refused; `result` is never EFFECT_OK.
std::string RefusalText(const char* name, EffectFileResult result, size_t fileSize)
{
    unsigned char head[EFFECT_HEADER_SIZE] = {};
    const size_t got = ReadHead(name, head, sizeof head);
    switch (result) {
    case EFFECT_OK:
    case EFFECT_UNREADABLE: break;
    case EFFECT_SHORT:
        return "short file: " + std::to_string(fileSize) + " bytes; an effect file starts with the " +
               std::to_string(unsigned(EFFECT_HEADER_SIZE)) + " bytes of its magic and version";
    case EFFECT_BAD_MAGIC:
        return "wrong magic: starts with " +
               Printable(head, got < size_t(EFFECT_MAGIC_SIZE) ? got : size_t(EFFECT_MAGIC_SIZE)) +
               " instead of \"QPARTICLESYSTEM\"";
    case EFFECT_BAD_VERSION: {
        char text[96];
        snprintf(text, sizeof text, "wrong version 0x%02x%02x (bytes %02x %02x); this format is version 0x%04x",
                 head[EFFECT_MAGIC_SIZE + 1], head[EFFECT_MAGIC_SIZE], head[EFFECT_MAGIC_SIZE],
                 head[EFFECT_MAGIC_SIZE + 1], unsigned(EFFECT_FILE_VERSION));
        return text;
    }
    }
    return WhyUnreadable(name);
}

// Two records no file value is likely to match in both: a field that keeps its
// value in both decodes is one the file doesn't reach.
EmitterSettings Sentinel(float f, int i)
{
    EmitterSettings s;
    s.startColor = Color4{f, f, f, f};
    s.endColor = Color4{f, f, f, f};
    s.size = s.velocity = s.coneAngle = f;
    s.lifetime = s.emitRate = i;
    s.coneEnabled = false;
    s.coneDirection = Vec3{f, f, f};
    return s;
}

bool SameBits(float a, float b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

bool Kept(const float* a, const float* b, float sa, float sb, int n)
{
    for (int k = 0; k < n; ++k)
        if (!SameBits(a[k], sa) || !SameBits(b[k], sb))
            return false;
    return true;
}

std::string Join(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : "") + names[i];
    return text;
}

void FindUnreadParts(const char* name, EffectReport& report)
{
    unsigned char bytes[EFFECT_FILE_CONE_SIZE];
    size_t count = ReadHead(name, bytes, sizeof bytes);
    const float fa = 1.25e29f, fb = -3.75e-29f;
    const int ia = 0x5a5aa5a5, ib = -0x13572468;
    EmitterSettings a = Sentinel(fa, ia), b = Sentinel(fb, ib);
    if (DecodeEffect(bytes, count, a) != EFFECT_OK || DecodeEffect(bytes, count, b) != EFFECT_OK) {
        report.partial = true;
        report.problems.push_back("changed while it was read");
        return;
    }
    std::vector<std::string> missing;
    if (Kept(&a.startColor.r, &b.startColor.r, fa, fb, 4))
        missing.push_back("startColor");
    if (Kept(&a.endColor.r, &b.endColor.r, fa, fb, 4))
        missing.push_back("endColor");
    if (Kept(&a.size, &b.size, fa, fb, 1))
        missing.push_back("size");
    if (Kept(&a.velocity, &b.velocity, fa, fb, 1))
        missing.push_back("velocity");
    if (a.lifetime == ia && b.lifetime == ib)
        missing.push_back("lifetime");
    if (a.emitRate == ia && b.emitRate == ib)
        missing.push_back("emitRate");
    const size_t size = report.fileSize;
    if (!missing.empty()) {
        report.partial = true;
        report.problems.push_back("short file: " + std::to_string(size) + " bytes end inside the record (" +
                                  std::to_string(unsigned(EFFECT_FILE_SIZE)) + " bytes without a cone); " +
                                  Join(missing) + (missing.size() == 1 ? " is" : " are") +
                                  " not stored and the editor starts with 0 there");
        return;
    }
    if (!a.coneEnabled && size > EFFECT_FILE_SIZE) {
        report.partial = true;
        report.problems.push_back(std::to_string(size - EFFECT_FILE_SIZE) + " bytes after the " +
                                  std::to_string(unsigned(EFFECT_FILE_SIZE)) +
                                  "-byte record are not a whole cone axis; the editor ignores them and "
                                  "reads the cone as off");
        return;
    }
    if (a.coneEnabled && Kept(&a.coneAngle, &b.coneAngle, fa, fb, 1)) {
        report.partial = true;
        report.problems.push_back("short file: " + std::to_string(size) + " bytes end inside coneAngle (" +
                                  std::to_string(unsigned(EFFECT_FILE_CONE_SIZE)) +
                                  " bytes with a cone); the cone is on and its angle starts at 0");
        return;
    }
    if (size > EFFECT_FILE_CONE_SIZE) {
        report.partial = true;
        report.problems.push_back(std::to_string(size - EFFECT_FILE_CONE_SIZE) + " trailing bytes after the " +
                                  std::to_string(unsigned(EFFECT_FILE_CONE_SIZE)) +
                                  "-byte record; the editor ignores them");
    }
}

}  // namespace

EffectReport InspectEffectFile(const char* name)
{
    EffectReport report;
    report.settings = EmitterSettings{};  // the editor's settings before start-up fills them
    report.fileSize = 0;
    report.partial = false;
    report.result = ReadEffectFile(name, report.settings, &report.fileSize);
    if (report.result != EFFECT_OK) {
        report.problems.push_back(RefusalText(name, report.result, report.fileSize));
        return report;
    }
    FindUnreadParts(name, report);
    return report;
}
