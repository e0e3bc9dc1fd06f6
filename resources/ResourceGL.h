#pragma once
// The GL calls the resource loaders and the bitmap font make, as one small seam. The
// normal build defines these in ResourceGL.cpp as the real GL 1.1 calls; the fuzz build
// links recorders instead (fuzz/resources), so the loaders run with no GL context.

#include <GL/gl.h>

namespace ResourceGL {
void GenTextures(GLsizei n, GLuint* names);
void DeleteTextures(GLsizei n, const GLuint* names);
GLboolean IsTextureResident(GLuint name);  // a texture (not just a name) that GL calls resident
void BindTexture(GLenum target, GLuint name);
void TexImage2D(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                const void* pixels);  // GL_TEXTURE_2D, border 0, GL_UNSIGNED_BYTE
void TexParameteri(GLenum target, GLenum name, GLint value);
GLint GetUnpackAlignment();
void SetUnpackAlignment(GLint alignment);

GLuint GenLists(GLsizei range);
void DeleteLists(GLuint list, GLsizei range);
void NewList(GLuint list, GLenum mode);
void EndList();
void Bitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
            const GLubyte* bitmap);
void CallList(GLuint list);
void ListBase(GLuint base);
void CallLists(GLsizei n, GLenum type, const void* lists);
void RasterPos3f(GLfloat x, GLfloat y, GLfloat z);
void RasterPos2f(GLfloat x, GLfloat y);
void RasterPos3fv(const GLfloat* xyz);
void RasterPos2i(GLint x, GLint y);
}  // namespace ResourceGL
