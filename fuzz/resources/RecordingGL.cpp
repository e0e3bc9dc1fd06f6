// Recorders standing in for GL in the fuzz build (see RecordingGL.h).
#include "fuzz/resources/RecordingGL.h"

#include "resources/ResourceGL.h"

GLRecord glRecord;

namespace {
GLuint nextTexture = 1;
GLuint nextList = 1;

void Touch(const void* data, uint64_t bytes)
{
    const volatile uint8_t* p = static_cast<const volatile uint8_t*>(data);
    uint64_t sum = 0;
    for (uint64_t i = 0; i < bytes; ++i) {
        sum += p[i];
    }
    glRecord.bytesSeen += sum;
}

// Bytes GL reads for width x height pixels of rowBytes each, rows padded to alignment.
uint64_t UnpackedSize(uint64_t rowBytes, uint64_t height)
{
    if (height == 0 || rowBytes == 0) {
        return 0;
    }
    uint64_t a = uint64_t(glRecord.unpackAlignment);
    uint64_t stride = (rowBytes + a - 1) / a * a;
    return stride * (height - 1) + rowBytes;
}
}  // namespace

void ResetGLRecord()
{
    glRecord = GLRecord();
    nextTexture = 1;
    nextList = 1;
}

namespace ResourceGL {
void GenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        names[i] = nextTexture++;
    }
    glRecord.texturesMade += uint64_t(n);
}
void DeleteTextures(GLsizei n, const GLuint* names)
{
    Touch(names, uint64_t(n) * sizeof(GLuint));
    glRecord.texturesDeleted += uint64_t(n);
}
GLboolean IsTextureResident(GLuint)
{
    return GL_FALSE;
}
void BindTexture(GLenum, GLuint)
{}
void TexImage2D(GLint, GLint internalFormat, GLsizei width, GLsizei height, GLenum format, const void* pixels)
{
    uint64_t components = format == GL_RGBA ? 4 : 3;
    if (internalFormat != GLint(components) || width < 0 || height < 0) {
        __builtin_trap();  // the loader passed GL something it would reject
    }
    Touch(pixels, UnpackedSize(uint64_t(width) * components, uint64_t(height)));
}
void TexParameteri(GLenum, GLenum, GLint)
{}
GLint GetUnpackAlignment()
{
    return glRecord.unpackAlignment;
}
void SetUnpackAlignment(GLint alignment)
{
    glRecord.unpackAlignment = alignment;
}

GLuint GenLists(GLsizei range)
{
    GLuint base = nextList;
    nextList += GLuint(range);
    ++glRecord.listRangesMade;
    return base;
}
void DeleteLists(GLuint, GLsizei)
{
    ++glRecord.listRangesDeleted;
}
void NewList(GLuint, GLenum)
{}
void EndList()
{}
void Bitmap(GLsizei width, GLsizei height, GLfloat, GLfloat, GLfloat, GLfloat, const GLubyte* bitmap)
{
    Touch(bitmap, UnpackedSize((uint64_t(width) + 7) / 8, uint64_t(height)));
}
void CallList(GLuint)
{}
void ListBase(GLuint)
{}
void CallLists(GLsizei n, GLenum type, const void* lists)
{
    if (type != GL_UNSIGNED_BYTE) {
        __builtin_trap();
    }
    Touch(lists, uint64_t(n));
}
void RasterPos3f(GLfloat, GLfloat, GLfloat)
{}
void RasterPos2f(GLfloat, GLfloat)
{}
void RasterPos3fv(const GLfloat* xyz)
{
    Touch(xyz, 3 * sizeof(GLfloat));
}
void RasterPos2i(GLint, GLint)
{}
}  // namespace ResourceGL
