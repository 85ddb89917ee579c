// The line source of the text readers, against a plain split of the whole text: the same lines
// from a file read a window at a time (lines crossing the window's edges included) as from the
// text in memory, and an overlong line found wherever it starts.
#include "skin/TextLines.h"

#include "TempDirectory.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// The reference: split at every line feed; a last line without one counts when not empty.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
    return lines;
}

// Every line up to the end, or up to a too long one (then the last element is "TOO LONG").
std::vector<std::string> readAll(TextLines& lines)
{
    std::vector<std::string> read;
    for (std::string_view line;;) {
        const TextLines::Status status = lines.next(line);
        if (status == TextLines::Status::End) break;
        if (status == TextLines::Status::TooLong) {
            read.push_back("TOO LONG");
            break;
        }
        read.emplace_back(line);
    }
    return read;
}

} // namespace

TEST(TextLines, FilesReadByTheWindowGiveTheLinesOfASplitOfTheWholeText)
{
    const unsigned seed = 20240515;
    std::mt19937 random(seed);
    TempDirectory dir("lines");
    const std::string path = dir.file("text.txt");
    constexpr std::size_t kMax = 5000;
    for (int round = 0; round < 4; ++round) {
        // About 3 MiB: lines of every length up to the limit (some empty, some with a carriage
        // return), so that many lines cross the 1 MiB window's edge; the last round ends
        // without a line feed.
        std::string text;
        while (text.size() < (std::size_t(3) << 20)) {
            const std::size_t length = random() % 8 == 0 ? random() % (kMax + 1) : random() % 80;
            for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + random() % 26);
            if (random() % 16 == 0) text += '\r';
            text += '\n';
        }
        if (round == 3) text += "last";
        std::ofstream(path, std::ios::binary) << text;

        const std::vector<std::string> expected = splitLines(text);
        TextLines fromFile(path, kMax + 1);
        ASSERT_TRUE(fromFile.opened());
        EXPECT_EQ(fromFile.bytesLeft(), text.size());
        EXPECT_EQ(readAll(fromFile), expected) << "seed " << seed << ", round " << round;
        EXPECT_EQ(fromFile.bytesLeft(), 0u);
        TextLines fromMemory(TextLines::InMemory{}, text, kMax + 1);
        EXPECT_EQ(readAll(fromMemory), expected) << "seed " << seed << ", round " << round;
    }
}

TEST(TextLines, ALineLongerThanAllowedIsFoundWhereverItStarts)
{
    TempDirectory dir("lines");
    const std::string path = dir.file("text.txt");
    constexpr std::size_t kMax = 1000;
    const std::string fits(kMax, 'x');
    const std::string tooLong(kMax + 1, 'y');
    // Before, across and after the window's edge at 1 MiB, and at the very end of the file.
    for (const std::size_t start : {std::size_t(0), std::size_t(1) << 20, (std::size_t(1) << 20) - 500,
                                    (std::size_t(1) << 20) + 7}) {
        std::string text;
        std::vector<std::string> expected;
        while (text.size() + kMax + 1 < start) {
            text += fits + "\n";
            expected.push_back(fits);
        }
        if (start > 0) {
            // Lines of up to the limit pass; the too long one starts at `start`.
            const std::string filler(start - text.size() - 1, 'z');
            text += filler + "\n";
            expected.push_back(filler);
        }
        ASSERT_EQ(text.size(), start);
        text += tooLong;
        expected.push_back("TOO LONG");
        for (const bool lineFeed : {false, true}) {
            const std::string whole = lineFeed ? text + "\nnext\n" : text;
            std::ofstream(path, std::ios::binary) << whole;
            TextLines fromFile(path, kMax);
            EXPECT_EQ(readAll(fromFile), expected) << "start " << start;
            TextLines fromMemory(TextLines::InMemory{}, whole, kMax);
            EXPECT_EQ(readAll(fromMemory), expected) << "start " << start;
        }
    }
}

TEST(TextLines, DirectoriesAndMissingFilesDoNotOpen)
{
    TempDirectory dir("lines");
    for (const std::string& path : {dir.path().string(), dir.file("missing.txt")}) {
        TextLines unopened(path, 10);
        EXPECT_FALSE(unopened.opened()) << path;
        // Nothing to read, and no endless wait for it.
        std::string_view line;
        EXPECT_EQ(unopened.next(line), TextLines::Status::End) << path;
    }
    const std::string empty = dir.file("empty.txt");
    std::ofstream(empty).flush();
    TextLines lines(empty, 10);
    ASSERT_TRUE(lines.opened());
    std::string_view line;
    EXPECT_EQ(lines.next(line), TextLines::Status::End);
}
