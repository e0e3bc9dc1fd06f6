#pragma once
// QTexture: loads a "QTEX" resource into a mipmapped GL 2D texture. Owns one staging
// buffer (grown to the largest level met, never shrunk) and a pool of texture names made
// up front; the name in use (GetID) belongs to the caller's drawing and is never deleted
// here. Needs a current GL context; prints nothing.

#include <cstdint>
#include <string>

class QPackFile;

// What kept a texture from loading.
enum class TextureFault : unsigned char {
    None,        // it loaded
    Unreadable,  // the resource can't be opened
    NotTexture,  // no "QTEX" tag at the start
    Version,     // the version is not 0x0100, or the resource ends inside it
    Layout,      // the resource ends before the counts, or the components are not 3 or 4
    Truncated,   // the resource ends inside a level
    NoName,      // no texture name is free
    NoMemory,    // the staging buffer can't grow to a level
};

// Why a load failed: the fault and one line saying it (for Unreadable the file
// library's words, such as "No such file or directory"), to print after the name.
struct TextureFailure {
    TextureFault fault = TextureFault::None;
    std::string reason;
};

class QTexture {
public:
    // Sizes the first staging buffer to width x height x components bytes and generates
    // poolSize texture names.
    QTexture(uint16_t width, uint16_t height, uint8_t components, uint32_t poolSize);
    // Frees the buffer and deletes the names never handed out (not GetID's name).
    ~QTexture();
    QTexture(const QTexture&) = delete;
    QTexture& operator=(const QTexture&) = delete;

    // Loads the resource, a loose file when archiveName is null. False on a missing
    // resource, a wrong tag or version, a components value other than 3 or 4, no free
    // texture name, a resource shorter than its levels declare, or a staging buffer that
    // can't grow. A failure after a name was taken leaves that name bound and out of the
    // pool, and GetID unchanged. The unpack alignment is left as found. `why`, if given,
    // receives the reason of a failure (and is cleared by a success).
    bool Load(const char* name, const char* archiveName, TextureFailure* why = nullptr);
    bool Load(const char* name, QPackFile& pack, TextureFailure* why = nullptr);
    // Replaces the staging buffer with one of width x height x components bytes; keeps
    // the old one when the new one can't be allocated. Contents are not kept.
    void ResizeBuffer(uint16_t width, uint16_t height, uint8_t components);
    // Hands out the next pooled name that is not resident; when the pool is used up,
    // counts upward from the last name tried to the first non-resident one.
    uint32_t TakeTextureName();
    uint32_t GetID() const { return id; }

    uint32_t GetBufferBytes() const { return pixelBytes; }  // staging buffer size

private:
    bool LoadLevels(QPackFile& pack, uint8_t components, uint8_t levelCount, TextureFailure& why);
    bool ResizeBufferBytes(uint64_t bytes);

    uint32_t id;            // GL name of the texture loaded last; 0 before any load
    unsigned char* pixels;  // staging buffer for one level
    uint32_t pixelBytes;    // size of pixels in bytes
    uint32_t* names;        // pool of GL names, handed out from the end
    uint32_t nameCount;     // names still in the pool: the first nameCount of names
};
