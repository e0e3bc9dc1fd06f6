#include "math/QMatrix.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Element i holds i, so every index mistake shows as a wrong number.
QMatrix Counting()
{
    float values[16];
    for (int i = 0; i < 16; ++i)
        values[i] = static_cast<float>(i);
    return QMatrix(values);
}

void ExpectPoint(const QMatrix& m, Vec3 p, Vec3 expected)
{
    m.TransformPoint(&p);
    EXPECT_NEAR(expected.x, p.x, 1e-6f);
    EXPECT_NEAR(expected.y, p.y, 1e-6f);
    EXPECT_NEAR(expected.z, p.z, 1e-6f);
}

void ExpectElements(const QMatrix& expected, const QMatrix& actual, float tolerance)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected.Get(i), actual.Get(i), tolerance) << "element " << i;
}

}  // namespace

TEST(QMatrix, PrintShowsRowsWithTheTranslationLast)
{
    testing::internal::CaptureStdout();
    QMatrix().Print();
    QMatrix(1.0f, 2.0f, 3.0f).Print();
    EXPECT_EQ("1.00 0.00 0.00 0.00\n0.00 1.00 0.00 0.00\n0.00 0.00 1.00 0.00\n0.00 0.00 0.00 1.00\n"
              "1.00 0.00 0.00 1.00\n0.00 1.00 0.00 2.00\n0.00 0.00 1.00 3.00\n0.00 0.00 0.00 1.00\n",
              testing::internal::GetCapturedStdout());
}

TEST(QMatrix, RotationsAreRightHandedWithSinglePrecisionPi)
{
    QMatrix z;
    z.RotateZ(90.0f);
    EXPECT_EQ(1.0f, z.Get(1));
    EXPECT_EQ(-1.0f, z.Get(4));
    EXPECT_FLOAT_EQ(-4.371139e-8f, z.Get(0)) << "cosine of the rounded pi/2 is not 0";
    ExpectPoint(QMatrix(0, 90.0f), {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    ExpectPoint(QMatrix(1, 90.0f), {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f});
    ExpectElements(QMatrix(), QMatrix(3, 45.0f), 0.0f);
}

TEST(QMatrix, MultiplyAppliesTheGivenTransformAfterTheHeldOneInDouble)
{
    QMatrix m;
    m.Translate(1.0f, 0.0f, 0.0f);
    m.RotateZ(90.0f);
    ExpectPoint(m, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    QMatrix s;
    s.Scale(2.0f, 1.0f, 1.0f);
    s.Translate(1.0f, 0.0f, 0.0f);
    s.Scale(0.5f);
    ExpectPoint(s, {1.0f, 0.0f, 0.0f}, {1.5f, 0.0f, 0.0f});

    const QMatrix a = Counting();
    const QMatrix product = a * a;
    ExpectElements(Counting(), a, 0.0f);
    QMatrix self = Counting();
    self.Multiply(self);
    ExpectElements(product, self, 0.0f);
    // Row 1 of A (1, 5, 9, 13) times its column 1 (4, 5, 6, 7).
    EXPECT_EQ(1.0f * 4 + 5 * 5 + 9 * 6 + 13 * 7, self.Get(5)) << "in place onto itself";

    // 1e8 + 1 - 1e8 is 0 summed in float, 1 in double.
    const float values[16] = {1e8f, 1.0f, -1e8f, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    QMatrix precise(values), pick;
    pick.GetData()[4] = pick.GetData()[8] = 1.0f;
    precise.Multiply(pick);
    EXPECT_EQ(1.0f, precise.Get(0));
}

TEST(QMatrix, TransformsAxesAndCopiesReadTheRightElements)
{
    QMatrix m = Counting();
    ExpectPoint(m, {1.0f, 2.0f, 3.0f}, {44.0f, 51.0f, 58.0f});
    QVector v(1.0f, 2.0f, 3.0f);
    m.TransformVector(v);
    EXPECT_EQ(38.0f, v[1]);
    m.InverseTransformVector(v);
    EXPECT_EQ(126.0f, v[0]);
    EXPECT_EQ(4.0f, m.GetAxis(1)[0]);
    EXPECT_EQ(10.0f, m.GetAxis(2)[2]);
    EXPECT_EQ(1.0f, m.GetAxis(9)[1]);
    EXPECT_EQ(m.GetData() + 12, m.GetTranslation());
    QMatrix b;
    (b = m).Identity();  // assignment hands back a separate copy
    ExpectElements(m, b, 0.0f);
}

TEST(QMatrix, InvertRigidUndoesRotationThenTranslation)
{
    QMatrix m;
    m.Translate(1.0f, 0.0f, 0.0f);
    m.RotateZ(90.0f);
    const QMatrix original(m);
    m.InvertRigid();
    ExpectPoint(m, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f});
    m.InvertRigid();
    ExpectElements(original, m, 1e-6f);
    QMatrix general(0, 30.0f);
    general.RotateY(-70.0f);
    general.Translate(1.0f, -2.0f, 3.5f);
    QMatrix inverse(general);
    inverse.InvertRigid();
    ExpectElements(QMatrix(), general * inverse, 1e-6f);
}
