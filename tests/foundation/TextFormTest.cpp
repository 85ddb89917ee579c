#include "foundation/TextForm.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

// Captures what a reader writes to standard error.
class StderrCapture {
public:
    StderrCapture() : m_old(std::cerr.rdbuf(m_buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(m_old); }
    std::string text() const { return m_buffer.str(); }

private:
    std::ostringstream m_buffer;
    std::streambuf* m_old;
};

} // namespace

TEST(TextForm, WritesVectorsWithTheFieldWidthOnEveryNumber)
{
    std::ostringstream out;
    out << std::setw(4) << Vector3f(1, 2, 3);
    EXPECT_EQ(out.str(), "[   1    2    3]");

    std::ostringstream plain;
    plain << Vector3f(1.5f, -2, 0) << Vector2f(7, 8);
    EXPECT_EQ(plain.str(), "[1.5 -2 0][7 8]");
}

TEST(TextForm, WritesMatrixAsThreeRowsInOneBracketPair)
{
    std::ostringstream out;
    out << Matrix3f(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_EQ(out.str(), "[[1 2 3]\n[4 5 6]\n[7 8 9]]\n");
}

TEST(TextForm, ReadsVectorsWithWhiteSpaceInsideTheBrackets)
{
    std::istringstream in("  [ 1 2.5\n -3 ]   [4 5]");
    Vector3f v;
    Vector2f w;
    in >> v >> w;
    ASSERT_TRUE(in);
    EXPECT_EQ(v, Vector3f(1, 2.5f, -3));
    EXPECT_EQ(w, Vector2f(4, 5));
}

TEST(TextForm, RejectsBadVectorsWithMessagesAndLeavesTargetAlone)
{
    const Vector3f original(9, 9, 9);
    {
        StderrCapture err;
        std::istringstream in("1 2 3]");
        Vector3f v = original;
        in >> v;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(v, original);
        EXPECT_EQ(err.text(), "Error: Expected '[' while reading vector\n");
    }
    {
        // Two numbers where three are expected fail at the bracket that ends them.
        StderrCapture err;
        std::istringstream in("[1 2]");
        Vector3f v = original;
        in >> v;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(v, original);
        EXPECT_EQ(err.text(), "Error: Expected number while reading vector\n");
    }
    {
        StderrCapture err;
        std::istringstream in("[1 2 3 4]");
        Vector3f v = original;
        in >> v;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(v, original);
        EXPECT_EQ(err.text(), "Error: Expected ']' while reading vector\n");
    }
}

TEST(TextForm, MatrixRoundTripsAndReportsBadRowsTwice)
{
    const Matrix3f m(1.25f, -2, 3, 4, 5.5f, 6, -7, 8, 9.75f);
    std::stringstream io;
    io << m;
    Matrix3f back;
    io >> back;
    ASSERT_TRUE(io);
    EXPECT_EQ(back, m);

    {
        StderrCapture err;
        std::istringstream in("[[1 2 3] [4 5] [7 8 9]]");
        Matrix3f target = Matrix3f::diagonal(1);
        in >> target;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(target, Matrix3f::diagonal(1));
        EXPECT_EQ(err.text(), "Error: Expected number while reading vector\nExpected number while reading matrix\n");
    }
    {
        StderrCapture err;
        std::istringstream in("[1 2 3]");
        Matrix3f target;
        in >> target;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(err.text().substr(0, 33), "Error: Expected '[' while reading");
    }
    {
        StderrCapture err;
        std::istringstream in("x");
        Matrix3f target;
        in >> target;
        EXPECT_EQ(err.text(), "Expected '[' while reading matrix\n");
    }
    {
        StderrCapture err;
        std::istringstream in("[[1 2 3][4 5 6][7 8 9] x");
        Matrix3f target;
        in >> target;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(err.text(), "Expected ']' while reading matrix\n");
    }
}
