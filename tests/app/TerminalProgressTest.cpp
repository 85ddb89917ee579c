#include "app/TerminalProgress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

// The line is rewritten in place once per whole percent (every frame of a short run, a
// hundred times for a long one), never asks to stop, and ends with a line end.
TEST(TerminalProgress, RewritesOneLinePerPercentAndEndsIt)
{
    std::ostringstream out;
    auto progress = terminalProgress(out, "Export video");
    for (int done = 1; done <= 3; ++done) EXPECT_TRUE(progress(done, 3));
    EXPECT_EQ(out.str(), "\rExport video: frame 1 of 3\rExport video: frame 2 of 3\rExport video: frame 3 of 3\n");

    std::ostringstream longRun;
    auto copy = terminalProgress(longRun, "Export image sequence");
    for (int done = 1; done <= 1000; ++done) copy(done, 1000);
    const std::string text = longRun.str();
    // 0 % (the first frame) to 100 %.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 101);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    const std::string last = "\rExport image sequence: frame 1000 of 1000\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}
