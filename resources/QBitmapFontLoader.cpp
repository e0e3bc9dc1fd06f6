#include "resources/QBitmapFontLoader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "resources/QBitmapFont.h"
#include "resources/QPackFile.h"
#include "resources/ResourceGL.h"

namespace {
const char fontMagic[7] = {'Q', 'B', 'M', 'F', 'O', 'N', 'T'};
const uint32_t printBufferBytes = 256;
}  // namespace

QBitmapFontLoader::QBitmapFontLoader(uint16_t initialScratchSize)
    : scratch(nullptr),
      scratchSize(0),
      metrics(nullptr)
{
    ResizeScratch(initialScratchSize);
    metrics = new (std::nothrow) QGlyphMetrics[256];
}

QBitmapFontLoader::~QBitmapFontLoader()
{
    free(scratch);
    delete[] metrics;
}

void QBitmapFontLoader::ResizeScratch(uint16_t size)
{
    free(scratch);
    scratch = size != 0 ? static_cast<unsigned char*>(malloc(size)) : nullptr;
    scratchSize = scratch != nullptr ? size : 0;
}

QBitmapFont* QBitmapFontLoader::Load(const char* name, const char* archiveName)
{
    QPackFile pack(archiveName);
    return Load(name, pack);
}

QBitmapFont* QBitmapFontLoader::Load(const char* name, QPackFile& pack)
{
    if (metrics == nullptr || !pack.OpenEntry(name)) {
        return nullptr;
    }
    char magic[sizeof(fontMagic)];
    if (pack.Read(magic, sizeof(magic)) != sizeof(magic) || memcmp(magic, fontMagic, sizeof(magic)) != 0) {
        return nullptr;
    }
    GLuint listBase = ResourceGL::GenLists(256);
    if (listBase == 0) {
        return nullptr;
    }
    // glBitmap rows are byte-packed; this stays in force after the load.
    ResourceGL::SetUnpackAlignment(1);

    // Every read is checked: a resource that ends inside a glyph record is refused rather
    // than compiled from bytes of an earlier glyph.
    unsigned char glyphCount = 0;
    bool complete = pack.Read(&glyphCount, 1) == 1;
    memset(metrics, 0, 256 * sizeof(QGlyphMetrics));
    for (int i = 0; complete && i < glyphCount; ++i) {
        unsigned char record[6];  // code, width, height, xorig, yorig, advance
        if (pack.Read(record, sizeof(record)) != sizeof(record)) {
            complete = false;
            break;
        }
        unsigned char code = record[0];
        unsigned char width = record[1];
        unsigned char height = record[2];
        signed char xorig = static_cast<signed char>(record[3]);
        signed char yorig = static_cast<signed char>(record[4]);
        unsigned char advance = record[5];
        uint16_t bitmapBytes = uint16_t(((width >> 3) + ((width & 7) != 0 ? 1 : 0)) * height);
        if (bitmapBytes > scratchSize) {
            ResizeScratch(bitmapBytes);
            if (bitmapBytes > scratchSize) {
                complete = false;
                break;
            }
        }
        if (bitmapBytes != 0 && pack.Read(scratch, bitmapBytes) != bitmapBytes) {
            complete = false;
            break;
        }
        metrics[code].ascent = uint8_t(height - yorig);
        metrics[code].descent = record[4];
        metrics[code].advance = advance;
        ResourceGL::NewList(listBase + code, GL_COMPILE);
        ResourceGL::Bitmap(width, height, float(xorig), float(yorig), float(advance), 0.0f, scratch);
        ResourceGL::EndList();
    }
    if (!complete) {
        ResourceGL::DeleteLists(listBase, 256);
        return nullptr;
    }
    QBitmapFont* font = new (std::nothrow) QBitmapFont(listBase, metrics, printBufferBytes);
    if (font == nullptr) {
        ResourceGL::DeleteLists(listBase, 256);
    }
    return font;
}
