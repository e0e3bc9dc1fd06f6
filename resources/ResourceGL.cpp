// The real GL side of the resource seam: each call goes straight to GL 1.1.
#include "resources/ResourceGL.h"

namespace ResourceGL {
void GenTextures(GLsizei n, GLuint* names)
{
    glGenTextures(n, names);
}
void DeleteTextures(GLsizei n, const GLuint* names)
{
    glDeleteTextures(n, names);
}
GLboolean IsTextureResident(GLuint name)
{
    // A name from glGenTextures that was never bound is not yet a texture, whatever the
    // driver says of residency; some drivers (Mesa among them) call every existing name
    // resident, which would make every unused pooled name look taken. Asking only about
    // real textures also keeps glAreTexturesResident from raising GL_INVALID_VALUE for
    // names that were never generated.
    if (glIsTexture(name) != GL_TRUE) {
        return GL_FALSE;
    }
    GLboolean resident = GL_FALSE;
    return glAreTexturesResident(1, &name, &resident);
}
void BindTexture(GLenum target, GLuint name)
{
    glBindTexture(target, name);
}
void TexImage2D(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLenum format, const void* pixels)
{
    glTexImage2D(GL_TEXTURE_2D, level, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}
void TexParameteri(GLenum target, GLenum name, GLint value)
{
    glTexParameteri(target, name, value);
}
GLint GetUnpackAlignment()
{
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    return alignment;
}
void SetUnpackAlignment(GLint alignment)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

GLuint GenLists(GLsizei range)
{
    return glGenLists(range);
}
void DeleteLists(GLuint list, GLsizei range)
{
    glDeleteLists(list, range);
}
void NewList(GLuint list, GLenum mode)
{
    glNewList(list, mode);
}
void EndList()
{
    glEndList();
}
void Bitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
            const GLubyte* bitmap)
{
    glBitmap(width, height, xorig, yorig, xmove, ymove, bitmap);
}
void CallList(GLuint list)
{
    glCallList(list);
}
void ListBase(GLuint base)
{
    glListBase(base);
}
void CallLists(GLsizei n, GLenum type, const void* lists)
{
    glCallLists(n, type, lists);
}
void RasterPos3f(GLfloat x, GLfloat y, GLfloat z)
{
    glRasterPos3f(x, y, z);
}
void RasterPos2f(GLfloat x, GLfloat y)
{
    glRasterPos2f(x, y);
}
void RasterPos3fv(const GLfloat* xyz)
{
    glRasterPos3fv(xyz);
}
void RasterPos2i(GLint x, GLint y)
{
    glRasterPos2i(x, y);
}
}  // namespace ResourceGL
