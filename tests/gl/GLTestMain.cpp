// Entry point of the GL suite.

#include "GLSuite.h"
#include "GLSuiteMain.h"

#include "HeadlessText.h"

#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    // The headless half of HeadlessTextTest, run as a child process without a display.
    if (argc == 5 && std::strcmp(argv[1], kDrawHeadlessTextOption) == 0)
        return drawHeadlessTextToFile(std::stoi(argv[2]), std::stoi(argv[3]), argv[4]);
    return runGLSuite(argc, argv, "test_gl", kWidth, kHeight);
}
