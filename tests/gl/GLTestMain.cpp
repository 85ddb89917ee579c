// Entry point of the GL suite.

#include "GLSuiteMain.h"
#include "GLTest.h"

int main(int argc, char** argv)
{
    return runGLSuite(argc, argv, "test_gl", GLTest::kWidth, GLTest::kHeight);
}
