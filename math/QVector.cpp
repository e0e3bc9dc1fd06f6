#include "math/QVector.h"

#include <cmath>
#include <cstdio>
#include <new>

namespace {
float* NewStorage()
{
    return new (std::nothrow) float[3];
}
}  // namespace

QVector::QVector()
    : data(NewStorage())
{
    if (data == nullptr) {
        printf("!Vector!No mem!\n");
        return;
    }
    data[0] = 0.0f;
    data[1] = 0.0f;
    data[2] = 0.0f;
}

QVector::QVector(float x, float y, float z)
    : data(NewStorage())
{
    // Set then reports the missing block a second time and stores nothing.
    if (data == nullptr)
        printf("Hi there!\n");
    Set(x, y, z);
}

QVector::QVector(const float* values)
    : data(NewStorage())
{
    Set(values);
}

QVector::QVector(const QVector& other)
    : data(NewStorage())
{
    Set(other.Component(0), other.Component(1), other.Component(2));
}

QVector::~QVector()
{
    delete[] data;
    data = nullptr;
}

void QVector::Set(const float* values)
{
    Set(values[0], values[1], values[2]);
}

void QVector::Set(float x, float y, float z)
{
    if (data == nullptr) {
        printf("Big hello!Strange NULL!\n");
        return;
    }
    data[0] = x;
    data[1] = y;
    data[2] = z;
}

float QVector::Length() const
{
    const double x = Component(0);
    const double y = Component(1);
    const double z = Component(2);
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

void QVector::Normalize()
{
    if (data == nullptr)
        return;
    const float length = Length();
    data[0] = data[0] / length;
    data[1] = data[1] / length;
    data[2] = data[2] / length;
}

float QVector::Dot(const QVector& other) const
{
    return Component(0) * other.Component(0) + Component(1) * other.Component(1) + Component(2) * other.Component(2);
}

float QVector::Dot(const float* values) const
{
    return Component(0) * values[0] + Component(1) * values[1] + Component(2) * values[2];
}

QVector QVector::Cross(const QVector& other) const
{
    const float x = Component(0), y = Component(1), z = Component(2);
    const float ox = other.Component(0), oy = other.Component(1), oz = other.Component(2);
    return QVector(y * oz - z * oy, z * ox - x * oz, x * oy - y * ox);
}

void QVector::Add(const QVector& other)
{
    if (data == nullptr)
        return;
    data[0] += other.Component(0);
    data[1] += other.Component(1);
    data[2] += other.Component(2);
}

void QVector::Subtract(const QVector& other)
{
    if (data == nullptr)
        return;
    data[0] -= other.Component(0);
    data[1] -= other.Component(1);
    data[2] -= other.Component(2);
}

void QVector::Scale(float s)
{
    if (data == nullptr)
        return;
    data[0] *= s;
    data[1] *= s;
    data[2] *= s;
}

QVector QVector::operator=(const QVector& other)
{
    // Read the source first: `a = a` must leave a unchanged.
    const float x = other.Component(0), y = other.Component(1), z = other.Component(2);
    Set(x, y, z);
    return *this;
}

QVector QVector::operator=(const float* values)
{
    Set(values);
    return *this;
}

QVector QVector::operator+=(const QVector& other)
{
    Add(other);
    return *this;
}

QVector QVector::operator-=(const QVector& other)
{
    Subtract(other);
    return *this;
}

QVector QVector::operator*=(float s)
{
    Scale(s);
    return *this;
}

QVector QVector::operator+(const QVector& other) const
{
    QVector result(*this);
    result.Add(other);
    return result;
}

QVector QVector::operator-(const QVector& other) const
{
    QVector result(*this);
    result.Subtract(other);
    return result;
}

QVector QVector::operator*(float s) const
{
    QVector result(*this);
    result.Scale(s);
    return result;
}

float QVector::operator*(const QVector& other) const
{
    return Dot(other);
}

float QVector::operator*(const float* values) const
{
    return Dot(values);
}

float QVector::operator[](int index) const
{
    if (index < 0 || index > 2)
        return 0.0f;
    return Component(index);
}

float* QVector::GetData()
{
    return data;
}

float QVector::Component(int i) const
{
    return data != nullptr ? data[i] : 0.0f;
}
