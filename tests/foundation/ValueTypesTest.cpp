#include "foundation/AffineTransform.h"
#include "foundation/BoundingBox.h"
#include "foundation/DenseMatrix.h"
#include "foundation/Matrix4f.h"
#include "foundation/Vector3d.h"
#include "foundation/Vector4f.h"

#include <gtest/gtest.h>

#include <cfloat>

TEST(BoundingBox, EmptyBoxGrowsToExactlyWhatItIsGrownBy)
{
    BoundingBox box;
    EXPECT_TRUE(box.isEmpty());
    EXPECT_EQ(box.minimum, Vector3f(FLT_MAX, FLT_MAX, FLT_MAX));
    EXPECT_EQ(box.maximum, Vector3f(-FLT_MAX, -FLT_MAX, -FLT_MAX));
    box.grow(Vector3f(1, -2, 3));
    EXPECT_EQ(box.minimum, Vector3f(1, -2, 3));
    EXPECT_EQ(box.maximum, Vector3f(1, -2, 3));

    box.grow(BoundingBox({-1, 0, 0}, {0, 5, 4}));
    EXPECT_EQ(box.minimum, Vector3f(-1, -2, 0));
    EXPECT_EQ(box.maximum, Vector3f(1, 5, 4));

    BoundingBox other = box;
    other.grow(BoundingBox());
    EXPECT_EQ(other, box) << "growing by the empty box changes nothing";
    box.reset();
    EXPECT_TRUE(box.isEmpty());
}

TEST(DenseMatrix, IsColumnMajorAndHasNoDataWhenEmpty)
{
    DenseMatrix m(2, 3);
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned r = 0; r < 2; ++r) m(r, c) = float(10 * r + c);
    const float expected[] = {0, 10, 1, 11, 2, 12};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.data()[i], expected[i]);
    EXPECT_EQ(m.column(2)[1], 12.0f);

    m.reshape(3, 2);
    EXPECT_EQ(m(0, 1), 11.0f) << "reshaping keeps the storage order";

    DenseMatrix noColumns(30, 0);
    EXPECT_EQ(noColumns.data(), nullptr);
    EXPECT_EQ(noColumns.rows(), 30u);
}

TEST(Matrix3f, ProductsTransposeAndDiagonal)
{
    const Matrix3f a(1, 2, 3, 4, 5, 6, 7, 8, 10);
    EXPECT_EQ(a * Vector3f(1, 0, -1), Vector3f(-2, -2, -3));
    EXPECT_EQ(a * Matrix3f::diagonal(1), a);
    EXPECT_EQ(a.transposed()(0, 1), 4.0f);
    EXPECT_EQ((a * a)(2, 2), 7 * 3 + 8 * 6 + 10 * 10.0f);
    Matrix3f sum = Matrix3f::diagonal(0);
    sum += a * 0.5f;
    sum += a * 0.5f;
    EXPECT_EQ(sum, a);
    const AffineTransform t{a, {1, 1, 1}};
    EXPECT_EQ(t.apply({1, 0, 0}), Vector3f(2, 5, 8));
}

TEST(Vectors, CrossProductsAndConversions)
{
    EXPECT_EQ(Vector3f(1, 0, 0).cross({0, 1, 0}), Vector3f(0, 0, 1));
    EXPECT_EQ(Vector3d(0, 1, 0).cross({0, 0, 1}), Vector3d(1, 0, 0));
    EXPECT_FLOAT_EQ(Vector3f(3, 4, 0).normalized().x, 0.6f);
    EXPECT_EQ(Vector3d(Vector3f(1, 2, 3)).toVector3f(), Vector3f(1, 2, 3));
    EXPECT_EQ(Vector4f(2, 4, 6, 2).toVector3f(), Vector3f(1, 2, 3));

    // The generalised cross product is orthogonal to all three inputs.
    const Vector4f a(1, 2, 3, 1), b(-1, 0, 2, 1), c(0, 5, 1, 1);
    const Vector4f n = cross(a, b, c);
    EXPECT_NEAR(n.dot(a), 0, 1e-4);
    EXPECT_NEAR(n.dot(b), 0, 1e-4);
    EXPECT_NEAR(n.dot(c), 0, 1e-4);
    EXPECT_GT(std::abs(n.x) + std::abs(n.y) + std::abs(n.z) + std::abs(n.w), 0.1f);
    EXPECT_EQ(cross(Vector4f(1, 0, 0, 0), {0, 1, 0, 0}, {0, 0, 1, 0}), Vector4f(0, 0, 0, -1));
}

TEST(Matrix4f, TransformsColumnVectorsAndInverts)
{
    const Matrix4f t = Matrix4f::translation({1, 2, 3});
    EXPECT_EQ(t.transformPoint({1, 1, 1}), Vector3f(2, 3, 4));
    EXPECT_EQ(t.transformVector({1, 1, 1}), Vector3f(1, 1, 1));
    EXPECT_EQ(t(0, 3), 1.0f) << "translation sits in the last column";
    EXPECT_EQ(t.transposed()(3, 0), 1.0f);

    const Matrix4f m = t * Matrix4f::rotation({0, 0, 1}, 0.5f) * Matrix4f::scaling({2, 3, 4});
    Matrix4f inverse;
    ASSERT_TRUE(m.inverse(inverse));
    const Matrix4f product = m * inverse;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(product(r, c), r == c ? 1.0f : 0.0f, 1e-5);
    Matrix4f untouched = Matrix4f::identity();
    EXPECT_FALSE(Matrix4f::scaling({1, 0, 1}).inverse(untouched));
    EXPECT_EQ(untouched, Matrix4f::identity());

    float columnMajor[16];
    for (int i = 0; i < 16; ++i) columnMajor[i] = float(i);
    EXPECT_EQ(Matrix4f::fromColumnMajor(columnMajor)(0, 1), 4.0f);
}
