// Entry point of the GL suite.

#include "GLSuite.h"
#include "GLSuiteMain.h"

int main(int argc, char** argv)
{
    return runGLSuite(argc, argv, "test_gl", kWidth, kHeight);
}
