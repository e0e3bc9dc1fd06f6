#include "resources/QBitmapFont.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/ResourceGL.h"

QBitmapFont::QBitmapFont(uint32_t firstList, const QGlyphMetrics* glyphMetrics, uint32_t bufferSize)
    : listBase(firstList),
      printBuffer(nullptr),
      printBufferSize(0)
{
    memcpy(metrics, glyphMetrics, sizeof(metrics));
    if (bufferSize != 0) {
        printBuffer = static_cast<char*>(malloc(bufferSize));
        if (printBuffer != nullptr) {
            printBuffer[0] = '\0';
            printBufferSize = bufferSize;
        }
    }
}

QBitmapFont::~QBitmapFont()
{
    ResourceGL::DeleteLists(listBase, 256);
    free(printBuffer);
}

void QBitmapFont::DrawChar(float x, float y, float z, unsigned char c)
{
    ResourceGL::RasterPos3f(x, y, z);
    ResourceGL::CallList(listBase + c);
}

void QBitmapFont::DrawChar(float x, float y, unsigned char c)
{
    ResourceGL::RasterPos2f(x, y);
    ResourceGL::CallList(listBase + c);
}

void QBitmapFont::DrawChar(const float* xyz, unsigned char c)
{
    ResourceGL::RasterPos3fv(xyz);
    ResourceGL::CallList(listBase + c);
}

void QBitmapFont::DrawChar(int x, int y, unsigned char c)
{
    ResourceGL::RasterPos2i(x, y);
    ResourceGL::CallList(listBase + c);
}

void QBitmapFont::DrawText(const char* text)
{
    // One list call per string; GL_UNSIGNED_BYTE so codes 128 to 255 select this font's
    // own lists rather than ones below listBase.
    ResourceGL::ListBase(listBase);
    ResourceGL::CallLists(GLsizei(strlen(text)), GL_UNSIGNED_BYTE, text);
}

void QBitmapFont::DrawText(float x, float y, float z, const char* text)
{
    ResourceGL::RasterPos3f(x, y, z);
    DrawText(text);
}

void QBitmapFont::DrawText(float x, float y, const char* text)
{
    ResourceGL::RasterPos2f(x, y);
    DrawText(text);
}

void QBitmapFont::DrawText(const float* xyz, const char* text)
{
    ResourceGL::RasterPos3fv(xyz);
    DrawText(text);
}

void QBitmapFont::DrawText(int x, int y, const char* text)
{
    ResourceGL::RasterPos2i(x, y);
    DrawText(text);
}

void QBitmapFont::FormatInto(const char* format, va_list args)
{
    // vsnprintf cuts long output at the buffer's end and always terminates it.
    vsnprintf(printBuffer, printBufferSize, format, args);
}

void QBitmapFont::Printf(float x, float y, float z, const char* format, ...)
{
    if (printBufferSize == 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatInto(format, args);
    va_end(args);
    DrawText(x, y, z, printBuffer);
}

void QBitmapFont::Printf(float x, float y, const char* format, ...)
{
    if (printBufferSize == 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatInto(format, args);
    va_end(args);
    DrawText(x, y, printBuffer);
}

void QBitmapFont::Printf(const float* xyz, const char* format, ...)
{
    if (printBufferSize == 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatInto(format, args);
    va_end(args);
    DrawText(xyz, printBuffer);
}

void QBitmapFont::Printf(int x, int y, const char* format, ...)
{
    if (printBufferSize == 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatInto(format, args);
    va_end(args);
    DrawText(x, y, printBuffer);
}

uint32_t QBitmapFont::GetTextWidth(const char* text) const
{
    uint32_t width = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
        width += metrics[*c].advance;
    }
    return width;
}

uint32_t QBitmapFont::GetTextHeight(const char* text) const
{
    return GetMaxDescent(text) + GetMaxAscent(text);
}

uint32_t QBitmapFont::GetMaxAscent(const char* text) const
{
    uint32_t ascent = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
        if (metrics[*c].ascent > ascent) {
            ascent = metrics[*c].ascent;
        }
    }
    return ascent;
}

uint32_t QBitmapFont::GetMaxDescent(const char* text) const
{
    uint32_t descent = 0;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
        if (metrics[*c].descent > descent) {
            descent = metrics[*c].descent;
        }
    }
    return descent;
}
