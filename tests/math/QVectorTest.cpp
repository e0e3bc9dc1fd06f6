#include "math/QVector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// Array allocations are replaced so a test can make a vector's storage fail; every
// array form goes through malloc/free so the pairs stay matched.
static bool failArrayNew = false;
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return failArrayNew ? nullptr : std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size)
{
    if (void* p = operator new[](size, std::nothrow))
        return p;
    throw std::bad_alloc();
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

#define EXPECT_XYZ(x, y, z, v)                                                                                         \
    do {                                                                                                               \
        EXPECT_EQ(x, (v)[0]) << #v " x";                                                                               \
        EXPECT_EQ(y, (v)[1]) << #v " y";                                                                               \
        EXPECT_EQ(z, (v)[2]) << #v " z";                                                                               \
    } while (0)

TEST(QVector, CopiesNeverShareStorageOperatorsReturnCopiesAndFailedStorageStaysEmpty)
{
    QVector a(1.0f, 2.0f, 3.0f), b, c(10.0f, 20.0f, 30.0f);
    b = a;
    (a += c).Scale(100.0f);  // scales a copy, not a
    EXPECT_XYZ(1.0f, 2.0f, 3.0f, b);
    EXPECT_XYZ(11.0f, 22.0f, 33.0f, a);
    EXPECT_XYZ(1.0f, 2.0f, 3.0f, a - c * 1.0f);
    EXPECT_XYZ(-3.0f, 6.0f, -3.0f, QVector(1.0f, 2.0f, 3.0f).Cross(QVector(4.0f, 5.0f, 6.0f)));
    EXPECT_EQ(1540.0f, a * c) << "dot product";
    EXPECT_EQ(0.0f, a[-1]) << "index -1";
    EXPECT_EQ(0.0f, a[3]) << "index 3";
    // Squares of 1e20 overflow a float; the length, summed in double, doesn't.
    EXPECT_FLOAT_EQ(1.7320508e20f, QVector(1e20f, 1e20f, 1e20f).Length());

    // A failed allocation is reported and never written through.
    const float values[3] = {1.0f, 2.0f, 3.0f};
    const QVector source(values);
    const char* messages[] = {"!Vector!No mem!\n", "Hi there!\nBig hello!Strange NULL!\n", "Big hello!Strange NULL!\n",
                              "Big hello!Strange NULL!\n"};
    for (int kind = 0; kind < 4; ++kind) {
        testing::internal::CaptureStdout();
        failArrayNew = true;
        QVector* v = kind == 0   ? new QVector()
                     : kind == 1 ? new QVector(1.0f, 2.0f, 3.0f)
                     : kind == 2 ? new QVector(values)
                                 : new QVector(source);
        failArrayNew = false;
        v->Set(4.0f, 5.0f, 6.0f);
        v->Add(source);
        v->Normalize();
        EXPECT_EQ(std::string(messages[kind]) + "Big hello!Strange NULL!\n", testing::internal::GetCapturedStdout())
            << "constructor " << kind;
        EXPECT_EQ(nullptr, v->GetData());
        EXPECT_XYZ(0.0f, 0.0f, 0.0f, QVector(*v));
        delete v;
    }
}
