#pragma once
// QBitmapFontLoader: reads a "QBMFONT" resource, compiles each glyph into a display list
// and hands out a new QBitmapFont, which the caller owns and deletes with the GL context
// current. Keeps a scratch buffer for one glyph bitmap (only ever grown) and the metrics
// table being built; keeps no link to the fonts it made. Prints nothing.

#include <cstdint>

class QBitmapFont;
class QPackFile;
struct QGlyphMetrics;

class QBitmapFontLoader {
public:
    explicit QBitmapFontLoader(uint16_t scratchSize);
    ~QBitmapFontLoader();
    QBitmapFontLoader(const QBitmapFontLoader&) = delete;
    QBitmapFontLoader& operator=(const QBitmapFontLoader&) = delete;

    // Replaces the scratch buffer (contents not kept); size 0 when allocation fails.
    void ResizeScratch(uint16_t size);
    // Null when the resource can't be opened, its magic is short or not "QBMFONT", no
    // display lists can be had, it ends inside a glyph record, a glyph needs more scratch
    // than can be allocated, or the font can't be allocated; the lists are deleted in the
    // last three cases. Leaves the unpack alignment at 1 once lists were made.
    QBitmapFont* Load(const char* name, const char* archiveName);
    QBitmapFont* Load(const char* name, QPackFile& pack);

    uint16_t GetScratchSize() const { return scratchSize; }

private:
    unsigned char* scratch;  // one glyph bitmap while it is compiled
    uint16_t scratchSize;    // bytes of scratch; 0 when there is none
    QGlyphMetrics* metrics;  // 256 records, filled during a load and copied into the font
};
