#include "resources/QTexture.h"

#include <cstdlib>
#include <cstring>

#include "resources/QPackFile.h"
#include "resources/QTextureFormat.h"
#include "resources/ResourceGL.h"

namespace {
// Records why a load failed; false.
bool Fail(TextureFailure& why, TextureFault fault, const std::string& reason)
{
    why.fault = fault;
    why.reason = reason;
    return false;
}

// Uploads with an unpack alignment of 1, so levels reach GL exactly as stored (rows
// tightly packed), and puts the caller's alignment back whatever happens.
class UnpackAlignmentOne {
public:
    UnpackAlignmentOne()
        : saved(ResourceGL::GetUnpackAlignment())
    {
        ResourceGL::SetUnpackAlignment(1);
    }
    ~UnpackAlignmentOne() { ResourceGL::SetUnpackAlignment(saved); }

private:
    GLint saved;  // the caller's unpack alignment
};
}  // namespace

QTexture::QTexture(uint16_t width, uint16_t height, uint8_t components, uint32_t poolSize)
    : id(0),
      pixels(nullptr),
      pixelBytes(0),
      names(nullptr),
      nameCount(0)
{
    ResizeBuffer(width, height, components);
    if (poolSize == 0) {
        return;
    }
    names = static_cast<uint32_t*>(malloc(size_t(poolSize) * sizeof(uint32_t)));
    if (names == nullptr) {
        return;
    }
    nameCount = poolSize;
    static_assert(sizeof(GLuint) == sizeof(uint32_t), "GL names are 32-bit");
    ResourceGL::GenTextures(GLsizei(poolSize), reinterpret_cast<GLuint*>(names));
    // Names are handed out from the end, so reversing gives them in glGenTextures' order.
    for (uint32_t i = 0, j = poolSize - 1; i < j; ++i, --j) {
        uint32_t name = names[i];
        names[i] = names[j];
        names[j] = name;
    }
}

QTexture::~QTexture()
{
    free(pixels);
    if (nameCount != 0) {
        ResourceGL::DeleteTextures(GLsizei(nameCount), reinterpret_cast<const GLuint*>(names));
    }
    free(names);
}

bool QTexture::Load(const char* name, const char* archiveName, TextureFailure* why)
{
    QPackFile pack(archiveName);
    return Load(name, pack, why);
}

bool QTexture::Load(const char* name, QPackFile& pack, TextureFailure* why)
{
    TextureFailure failure;
    TextureFailure& out = why != nullptr ? *why : failure;
    out = TextureFailure{};
    if (!pack.OpenEntry(name, &out.reason)) {
        out.fault = TextureFault::Unreadable;
        return false;
    }
    unsigned char headerBytes[TEXTURE_HEADER_SIZE];
    QTextureHeader header = ParseTextureHeader(headerBytes, pack.Read(headerBytes, TEXTURE_HEADER_SIZE));
    if (!header.tagged) {
        return Fail(out, TextureFault::NotTexture, "no QTEX tag");
    }
    if (!header.hasVersion || header.version != TEXTURE_VERSION) {
        return Fail(out, TextureFault::Version,
                    header.hasVersion ? "version " + std::to_string(header.version) + ", not 256" : "no version");
    }
    uint32_t textureName = TakeTextureName();
    if (textureName == 0) {
        return Fail(out, TextureFault::NoName, "no free texture name");
    }
    ResourceGL::BindTexture(GL_TEXTURE_2D, textureName);

    if (!header.hasLayout) {
        return Fail(out, TextureFault::Layout, "ends inside the header");
    }
    if (!TextureComponentsValid(header.components)) {
        return Fail(out, TextureFault::Layout, std::to_string(header.components) + " components per pixel, not 3 or 4");
    }
    if (!LoadLevels(pack, header.components, header.levelCount, out)) {
        return false;
    }
    ResourceGL::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    ResourceGL::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    id = textureName;
    return true;
}

// Reads and uploads every level into the bound texture. False with `why` set.
bool QTexture::LoadLevels(QPackFile& pack, uint8_t components, uint8_t levelCount, TextureFailure& why)
{
    // Bytes the resource still holds: a level declaring more is refused before the buffer
    // grows for it, so a bad header can't ask for gigabytes.
    uint64_t remaining = uint64_t(pack.GetSize()) - pack.Tell();
    UnpackAlignmentOne alignment;
    for (int level = 0; level < levelCount; ++level) {
        const std::string inLevel = "ends inside level " + std::to_string(level);
        unsigned char levelBytes[TEXTURE_LEVEL_HEADER_SIZE];
        uint16_t width = 0;
        uint16_t height = 0;
        if (!ParseTextureLevel(levelBytes, pack.Read(levelBytes, TEXTURE_LEVEL_HEADER_SIZE), width, height)) {
            return Fail(why, TextureFault::Truncated, inLevel);
        }
        remaining = remaining >= TEXTURE_LEVEL_HEADER_SIZE ? remaining - TEXTURE_LEVEL_HEADER_SIZE : 0;
        uint64_t bytes = TextureLevelBytes(width, height, components);
        if (bytes > remaining) {
            return Fail(why, TextureFault::Truncated, inLevel);
        }
        if (bytes > pixelBytes && !ResizeBufferBytes(bytes)) {
            return Fail(why, TextureFault::NoMemory, "out of memory for level " + std::to_string(level));
        }
        if (bytes != 0 && pack.Read(pixels, int32_t(bytes)) != bytes) {
            return Fail(why, TextureFault::Truncated, inLevel);
        }
        remaining -= bytes;
        ResourceGL::TexImage2D(level, components, width, height, components == 4 ? GL_RGBA : GL_RGB, pixels);
    }
    return true;
}

void QTexture::ResizeBuffer(uint16_t width, uint16_t height, uint8_t components)
{
    ResizeBufferBytes(uint64_t(width) * height * components);
}

bool QTexture::ResizeBufferBytes(uint64_t bytes)
{
    // A size that doesn't fit pixelBytes counts as an allocation that failed.
    if (bytes > UINT32_MAX) {
        return false;
    }
    unsigned char* buffer = static_cast<unsigned char*>(malloc(bytes != 0 ? size_t(bytes) : 1));
    if (buffer == nullptr) {
        return false;
    }
    free(pixels);
    pixels = buffer;
    pixelBytes = uint32_t(bytes);
    return true;
}

uint32_t QTexture::TakeTextureName()
{
    uint32_t candidate = 0;
    while (nameCount > 0) {
        candidate = names[nameCount - 1];
        --nameCount;
        // A resident name is in use by some texture and drops out of the pool.
        if (ResourceGL::IsTextureResident(candidate) != GL_TRUE) {
            return candidate;
        }
    }
    do {
        ++candidate;
    } while (ResourceGL::IsTextureResident(candidate) == GL_TRUE);
    return candidate;
}
