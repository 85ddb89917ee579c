// What is handed to the driver for a vertex program and how its rejection reads.

#include "render/ProgramText.h"

#include <gtest/gtest.h>

TEST(ProgramTextTest, CommentLinesGoWithTheirLineFeedsAndEverythingElseStays)
{
    EXPECT_EQ(stripCommentLines("!!ARBvp1.0\n# bones\nMOV result.position, vertex.position;\nEND\n"),
              "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n");
    EXPECT_EQ(stripCommentLines("MOV a, b; # keeps its comment\n"), "MOV a, b; # keeps its comment\n");
    EXPECT_EQ(stripCommentLines("  # indented\n"), "  # indented\n") << "only a '#' in the first column";
    EXPECT_EQ(stripCommentLines("A\n\n#x\n\nB"), "A\n\n\nB") << "blank lines and a last line without line feed";
    EXPECT_EQ(stripCommentLines("A\n#no line feed"), "A\n");
    EXPECT_EQ(stripCommentLines("#a\r\nB\r\n"), "B\r\n");
}

TEST(ProgramTextTest, AllCommentsOrNothingLoadsAsAnEmptyString)
{
    EXPECT_EQ(stripCommentLines("# one\n#two\n#\n"), "");
    EXPECT_EQ(stripCommentLines(""), "");
    EXPECT_EQ(stripCommentLines("\n"), "\n");
}

TEST(ProgramTextTest, ErrorsQuoteTenCharactersFromTheReportedPosition)
{
    const std::string text = "!!ARBvp1.0\nFOO bar;\nEND\n";
    EXPECT_EQ(programErrorMessage(text, 0, "line 1: bad"), "Caught error at position: 0: '!!ARBvp1.0'\nline 1: bad");
    EXPECT_EQ(programErrorMessage(text, 11, "unknown"), "Caught error at position: 11: 'FOO bar;\nE'\nunknown");
    EXPECT_EQ(programErrorMessage(text, 22, "end"), "Caught error at position: 22: 'D\n'\nend") << "short at the end";
    EXPECT_EQ(programErrorMessage(text, -1, "no position"), "no position");
    EXPECT_EQ(programErrorMessage(text, 500, "past"), "Caught error at position: 500: ''\npast");
    EXPECT_EQ(programErrorMessage("", 0, "empty"), "Caught error at position: 0: ''\nempty");
}
