#include "math/QMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Element i holds i, so every index mistake shows as a wrong number.
const float counting[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

bool Same(const QMatrix& a, const QMatrix& b)
{
    return std::memcmp(a.GetData(), b.GetData(), 16 * sizeof(float)) == 0;
}

bool Moves(const QMatrix& m, Vec3 p, Vec3 to)
{
    m.TransformPoint(&p);
    return std::fabs(p.x - to.x) < 1e-5f && std::fabs(p.y - to.y) < 1e-5f && std::fabs(p.z - to.z) < 1e-5f;
}

}  // namespace

TEST(QMatrix, CombinedTransformsApplyInOrderAndInvertRigidUndoesThem)
{
    QMatrix turned, scaled, general(0, 30.0f);
    turned.Translate(1.0f, 0.0f, 0.0f);
    turned.RotateZ(90.0f);  // the translation first, then the rotation
    QMatrix inverse(turned);
    inverse.InvertRigid();
    scaled.Scale(2.0f, 1.0f, 1.0f);
    scaled.Translate(1.0f, 0.0f, 0.0f);
    scaled.Scale(0.5f);
    EXPECT_TRUE(Moves(QMatrix(0, 90.0f), {0, 1, 0}, {0, 0, 1})) << "about X";
    EXPECT_TRUE(Moves(QMatrix(1, 90.0f), {0, 0, 1}, {1, 0, 0})) << "about Y";
    EXPECT_TRUE(Moves(turned, {0, 0, 0}, {0, 1, 0}));
    EXPECT_TRUE(Moves(inverse, {0, 1, 0}, {0, 0, 0}));
    EXPECT_TRUE(Moves(scaled, {1, 0, 0}, {1.5f, 0, 0}));
    EXPECT_TRUE(Moves(QMatrix(counting), {1, 2, 3}, {44, 51, 58}));
    general.RotateY(-70.0f);
    general.Translate(1.0f, -2.0f, 3.5f);
    inverse = general;
    inverse.InvertRigid();
    EXPECT_TRUE(Moves(general * inverse, {1, -2, 3}, {1, -2, 3})) << "times its inverse";
}

TEST(QMatrix, ExactElementsOfRotationsProductsTransformsAndPrint)
{
    QMatrix z;
    z.RotateZ(90.0f);
    EXPECT_EQ(1.0f, z.Get(1)) << "element 1";
    EXPECT_EQ(-1.0f, z.Get(4)) << "element 4";
    EXPECT_FLOAT_EQ(-4.371139e-8f, z.Get(0)) << "cosine of the rounded pi/2 is not 0";
    EXPECT_TRUE(Same(QMatrix(), QMatrix(3, 45.0f))) << "no such axis";

    QMatrix m(counting), self(counting);
    const QMatrix product = m * m;
    EXPECT_TRUE(Same(QMatrix(counting), m)) << "operator* keeps its operand";
    self.Multiply(self);
    EXPECT_TRUE(Same(product, self)) << "in place onto itself";
    // Row 1 of A (1, 5, 9, 13) times its column 1 (4, 5, 6, 7).
    EXPECT_EQ(1.0f * 4 + 5 * 5 + 9 * 6 + 13 * 7, self.Get(5));
    // 1e8 + 1 - 1e8 is 0 summed in float, 1 in double.
    const float values[16] = {1e8f, 1.0f, -1e8f, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    QMatrix precise(values), pick;
    pick.GetData()[4] = pick.GetData()[8] = 1.0f;
    precise.Multiply(pick);
    EXPECT_EQ(1.0f, precise.Get(0));

    QVector v(1.0f, 2.0f, 3.0f);
    m.TransformVector(v);
    EXPECT_EQ(38.0f, v[1]);
    m.InverseTransformVector(v);
    EXPECT_EQ(126.0f, v[0]);
    EXPECT_EQ(4.0f, m.GetAxis(1)[0]) << "axis 1 x";
    EXPECT_EQ(10.0f, m.GetAxis(2)[2]) << "axis 2 z";
    EXPECT_EQ(1.0f, m.GetAxis(9)[1]) << "GetAxis(9) y";
    QMatrix b;
    (b = m).Identity();  // assignment hands back a separate copy
    EXPECT_TRUE(Same(m, b));

    testing::internal::CaptureStdout();
    QMatrix().Print();
    QMatrix(1.0f, 2.0f, 3.0f).Print();  // rows, the translation last
    EXPECT_EQ(
        "1.00 0.00 0.00 0.00\n0.00 1.00 0.00 0.00\n0.00 0.00 1.00 0.00\n0.00 0.00 0.00 1.00\n"
        "1.00 0.00 0.00 1.00\n0.00 1.00 0.00 2.00\n0.00 0.00 1.00 3.00\n0.00 0.00 0.00 1.00\n",
        testing::internal::GetCapturedStdout());
}
