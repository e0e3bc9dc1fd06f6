#include "math/QMatrix.h"

#include "math/Degrees.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A matrix without its 64 bytes can't keep any promise of the class, and nothing
// in the engine could go on meaningfully, so running out here ends the process
// with a clear line instead of writing through a null block later.
float* NewElements()
{
    float* block = new (std::nothrow) float[16];
    if (block == nullptr) {
        fputs("QMatrix: out of memory\n", stderr);
        std::abort();
    }
    return block;
}

}  // namespace

QMatrix::QMatrix()
    : data(NewElements())
{
    Identity();
}

QMatrix::QMatrix(const float* values)
    : data(NewElements())
{
    memcpy(data, values, 16 * sizeof(float));
}

QMatrix::QMatrix(const QMatrix& other)
    : data(NewElements())
{
    memcpy(data, other.data, 16 * sizeof(float));
}

QMatrix::QMatrix(int axis, float degrees)
    : data(NewElements())
{
    SetRotation(axis, degrees);
}

QMatrix::QMatrix(float x, float y, float z)
    : data(NewElements())
{
    SetTranslation(x, y, z);
}

QMatrix::~QMatrix()
{
    delete[] data;
}

void QMatrix::Identity()
{
    for (int i = 0; i < 16; ++i)
        data[i] = 0.0f;
    data[0] = 1.0f;
    data[5] = 1.0f;
    data[10] = 1.0f;
    data[15] = 1.0f;
}

void QMatrix::SetTranslation(float x, float y, float z)
{
    Identity();
    data[12] = x;
    data[13] = y;
    data[14] = z;
}

void QMatrix::SetTranslation(const Vec3* t)
{
    SetTranslation(t->x, t->y, t->z);
}

void QMatrix::SetRotation(int axis, float degrees)
{
    Identity();
    const double angle = DegreesToRadians(degrees);
    const float s = static_cast<float>(std::sin(angle));
    const float c = static_cast<float>(std::cos(angle));
    switch (axis) {
    case 0:
        data[5] = c;
        data[6] = s;
        data[9] = -s;
        data[10] = c;
        break;
    case 1:
        data[0] = c;
        data[2] = -s;
        data[8] = s;
        data[10] = c;
        break;
    case 2:
        data[0] = c;
        data[1] = s;
        data[4] = -s;
        data[5] = c;
        break;
    default: break;
    }
}

void QMatrix::Multiply(const QMatrix& b)
{
    const float* A = data;
    const float* B = b.data;
    float r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const double sum = static_cast<double>(A[4 * i]) * B[j] + static_cast<double>(A[4 * i + 1]) * B[4 + j] +
                               static_cast<double>(A[4 * i + 2]) * B[8 + j] +
                               static_cast<double>(A[4 * i + 3]) * B[12 + j];
            r[4 * i + j] = static_cast<float>(sum);
        }
    }
    memcpy(data, r, sizeof r);
}

void QMatrix::Translate(float x, float y, float z)
{
    Multiply(QMatrix(x, y, z));
}

void QMatrix::Translate(const Vec3* t)
{
    Translate(t->x, t->y, t->z);
}

void QMatrix::RotateX(float degrees)
{
    Multiply(QMatrix(0, degrees));
}

void QMatrix::RotateY(float degrees)
{
    Multiply(QMatrix(1, degrees));
}

void QMatrix::RotateZ(float degrees)
{
    Multiply(QMatrix(2, degrees));
}

void QMatrix::Scale(float s)
{
    Scale(s, s, s);
}

void QMatrix::Scale(float sx, float sy, float sz)
{
    QMatrix scale;
    scale.data[0] = sx;
    scale.data[5] = sy;
    scale.data[10] = sz;
    Multiply(scale);
}

QMatrix QMatrix::operator*(const QMatrix& b) const
{
    QMatrix result(*this);
    result.Multiply(b);
    return result;
}

QMatrix QMatrix::operator=(const QMatrix& other)
{
    memmove(data, other.data, 16 * sizeof(float));
    return *this;
}

float QMatrix::Get(int index) const
{
    return data[index];
}

float* QMatrix::GetData()
{
    return data;
}

const float* QMatrix::GetData() const
{
    return data;
}

float* QMatrix::GetTranslation()
{
    return data + 12;
}

QVector QMatrix::GetAxis(int axis) const
{
    if (axis == 1)
        return QVector(data + 4);
    if (axis == 2)
        return QVector(data + 8);
    return QVector(data);
}

void QMatrix::TransformPoint(Vec3* p) const
{
    const float x = p->x, y = p->y, z = p->z;
    p->x = x * data[0] + y * data[4] + z * data[8] + data[12];
    p->y = x * data[1] + y * data[5] + z * data[9] + data[13];
    p->z = x * data[2] + y * data[6] + z * data[10] + data[14];
}

void QMatrix::TransformVector(float* v) const
{
    const float x = v[0], y = v[1], z = v[2];
    v[0] = x * data[0] + y * data[4] + z * data[8];
    v[1] = x * data[1] + y * data[5] + z * data[9];
    v[2] = x * data[2] + y * data[6] + z * data[10];
}

void QMatrix::TransformVector(QVector& v) const
{
    float* values = v.GetData();
    if (values != nullptr)
        TransformVector(values);
}

void QMatrix::InverseTransformVector(float* v) const
{
    const float x = v[0], y = v[1], z = v[2];
    v[0] = x * data[0] + y * data[1] + z * data[2];
    v[1] = x * data[4] + y * data[5] + z * data[6];
    v[2] = x * data[8] + y * data[9] + z * data[10];
}

void QMatrix::InverseTransformVector(QVector& v) const
{
    float* values = v.GetData();
    if (values != nullptr)
        InverseTransformVector(values);
}

void QMatrix::InvertRigid()
{
    QMatrix t(-data[12], -data[13], -data[14]);
    float swap = data[1];
    data[1] = data[4];
    data[4] = swap;
    swap = data[2];
    data[2] = data[8];
    data[8] = swap;
    swap = data[6];
    data[6] = data[9];
    data[9] = swap;
    data[12] = 0.0f;
    data[13] = 0.0f;
    data[14] = 0.0f;
    t.Multiply(*this);
    memcpy(data, t.data, 16 * sizeof(float));
}

void QMatrix::Print() const
{
    printf(
        "%0.2f %0.2f %0.2f %0.2f\n%0.2f %0.2f %0.2f %0.2f\n"
        "%0.2f %0.2f %0.2f %0.2f\n%0.2f %0.2f %0.2f %0.2f\n",
        data[0], data[4], data[8], data[12], data[1], data[5], data[9], data[13], data[2], data[6], data[10], data[14],
        data[3], data[7], data[11], data[15]);
}
