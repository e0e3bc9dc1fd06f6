#pragma once
// A 4x4 float transformation matrix stored exactly as OpenGL loads one: element
// (row r, column c) at data[4c + r], acting on column vectors (a point p becomes M.p).
// Every matrix owns its own 64-byte heap block; copies copy the 16 floats.
// Angles are degrees, turned to radians by DegreesToRadians; sine and cosine in double.

#include "math/QVector.h"
#include "math/Vec3.h"

class QMatrix {
public:
    QMatrix();                              // the identity
    explicit QMatrix(const float* values);  // 16 floats in OpenGL order, copied
    QMatrix(const QMatrix& other);
    QMatrix(int axis, float degrees);    // SetRotation(axis, degrees)
    QMatrix(float x, float y, float z);  // SetTranslation(x, y, z)
    ~QMatrix();

    // Overwrite the matrix.
    void Identity();
    void SetTranslation(float x, float y, float z);
    void SetTranslation(const Vec3* t);
    void SetRotation(int axis, float degrees);  // axis 0 X, 1 Y, 2 Z; any other value: the identity

    // Combine in place: each makes this matrix B.A, with A the old matrix and B the
    // given transform, so the old transform applies first and B after it.
    void Multiply(const QMatrix& b);  // sums formed in double, stored as float
    void Translate(float x, float y, float z);
    void Translate(const Vec3* t);
    void RotateX(float degrees);
    void RotateY(float degrees);
    void RotateZ(float degrees);
    void Scale(float s);
    void Scale(float sx, float sy, float sz);

    QMatrix operator*(const QMatrix& b) const;  // a copy multiplied by b; this is unchanged
    QMatrix operator=(const QMatrix& other);    // copies the 16 floats, returns a new copy

    float Get(int index) const;  // data[index]; index must be 0..15
    float* GetData();            // the 16 floats in OpenGL order
    const float* GetData() const;
    float* GetTranslation();          // data + 12: x, y, z of the translation
    QVector GetAxis(int axis) const;  // column 1 (axis 1), 2 (axis 2), else 0: first three floats

    void TransformPoint(Vec3* p) const;    // full affine transform, in place
    void TransformVector(float* v) const;  // upper-left 3x3 only, in place (three floats)
    void TransformVector(QVector& v) const;
    void InverseTransformVector(float* v) const;  // transpose of the upper-left 3x3, in place
    void InverseTransformVector(QVector& v) const;
    void InvertRigid();  // inverse of a rotation followed by a translation

    void Print() const;  // four lines, one per row, "%0.2f" each, via printf

private:
    float* data;  // 16 floats on the heap, owned, never null after construction
};
