#pragma once
// QTexture: loads a "QTEX" resource into a mipmapped GL 2D texture. Owns one staging
// buffer (grown to the largest level met, never shrunk) and a pool of texture names made
// up front; the name in use (GetID) belongs to the caller's drawing and is never deleted
// here. Needs a current GL context; prints nothing.

#include <cstdint>

class QPackFile;

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
    // pool, and GetID unchanged. The unpack alignment is left as found.
    bool Load(const char* name, const char* archiveName);
    bool Load(const char* name, QPackFile& pack);
    // Replaces the staging buffer with one of width x height x components bytes; keeps
    // the old one when the new one can't be allocated. Contents are not kept.
    void ResizeBuffer(uint16_t width, uint16_t height, uint8_t components);
    // Hands out the next pooled name that is not resident; when the pool is used up,
    // counts upward from the last name tried to the first non-resident one.
    uint32_t TakeTextureName();
    uint32_t GetID() const { return id; }

    uint32_t GetBufferBytes() const { return pixelBytes; }  // staging buffer size

private:
    bool ResizeBufferBytes(uint64_t bytes);

    uint32_t id;            // GL name of the texture loaded last; 0 before any load
    unsigned char* pixels;  // staging buffer for one level
    uint32_t pixelBytes;    // size of pixels in bytes
    uint32_t* names;        // pool of GL names, handed out from the end
    uint32_t nameCount;     // names still in the pool: the first nameCount of names
};
