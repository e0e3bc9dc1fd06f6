#pragma once
// QBitmapFont: text drawn with glBitmap glyphs from 256 consecutive display lists, one
// per character code, plus the glyph metrics to measure strings. Owns the lists (deleted
// by the destructor, which therefore needs the GL context current) and its print buffer.
// Strings are taken as unsigned bytes, so codes 128 to 255 reach this font's glyphs.

#include <cstdarg>
#include <cstdint>

// Per-code glyph measures in pixels; a table of 256 of them is indexed by the code.
struct QGlyphMetrics {
    uint8_t ascent;   // rows above the baseline: height - yorig, kept to 8 bits
    uint8_t descent;  // rows below the baseline: yorig as stored
    uint8_t advance;  // pixels the raster position moves right after the glyph
};

class QBitmapFont {
public:
    // Copies the 256 metrics; allocates a print buffer of printBufferSize bytes (size 0
    // when that fails, and Printf then draws nothing).
    QBitmapFont(uint32_t listBase, const QGlyphMetrics* metrics, uint32_t printBufferSize);
    ~QBitmapFont();
    QBitmapFont(const QBitmapFont&) = delete;
    QBitmapFont& operator=(const QBitmapFont&) = delete;

    void DrawChar(float x, float y, float z, unsigned char c);
    void DrawChar(float x, float y, unsigned char c);
    void DrawChar(const float* xyz, unsigned char c);
    void DrawChar(int x, int y, unsigned char c);

    // Draws at the current raster position; leaves glListBase set to this font's lists.
    void DrawText(const char* text);
    void DrawText(float x, float y, float z, const char* text);
    void DrawText(float x, float y, const char* text);
    void DrawText(const float* xyz, const char* text);
    void DrawText(int x, int y, const char* text);

    // printf-style text into the font's own buffer; output longer than the buffer is cut
    // at the buffer's end.
    void Printf(float x, float y, float z, const char* format, ...) __attribute__((format(printf, 5, 6)));
    void Printf(float x, float y, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void Printf(const float* xyz, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Printf(int x, int y, const char* format, ...) __attribute__((format(printf, 4, 5)));

    // Measures in pixels; 0 for an empty string.
    uint32_t GetTextWidth(const char* text) const;   // sum of advances
    uint32_t GetTextHeight(const char* text) const;  // greatest descent + greatest ascent
    uint32_t GetMaxAscent(const char* text) const;
    uint32_t GetMaxDescent(const char* text) const;

    uint32_t GetListBase() const { return listBase; }
    uint32_t GetPrintBufferSize() const { return printBufferSize; }
    const char* GetPrintBuffer() const { return printBuffer; }  // text of the last Printf

private:
    void FormatInto(const char* format, va_list args);

    uint32_t listBase;           // first of 256 display lists; list listBase + c draws code c
    QGlyphMetrics metrics[256];  // this font's glyph metrics, by code
    char* printBuffer;           // Printf's formatting buffer
    uint32_t printBufferSize;    // bytes of printBuffer; 0 when its allocation failed
};
