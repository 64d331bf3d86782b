#include "core/LineFramer.h"

#include <gtest/gtest.h>

#include <random>

#include "core/ReadingValue.h"

namespace vigiltron {
namespace {

using Lines = std::vector<std::string>;

TEST(LineFramerTest, SplitAndJoinedLines) {
    LineFramer framer;
    EXPECT_EQ(framer.Feed("0.12 -0"), Lines{});
    EXPECT_EQ(framer.Feed(".05\r123"), Lines{"0.12 -0.05"});
    EXPECT_EQ(framer.Feed("cm\rNo Object\rOK\r"), (Lines{"123cm", "No Object", "OK"}));
    EXPECT_EQ(framer.Feed("\r\n"), Lines{""});  // an empty line is still a line
    EXPECT_EQ(framer.Pending(), 0u);
}

TEST(LineFramerTest, LineFeedsAndNulsAreDropped) {
    LineFramer framer;
    EXPECT_EQ(framer.Feed(std::string("12\n3\0cm\r", 8)), Lines{"123cm"});
}

TEST(LineFramerTest, OverlongLineIsDiscardedAndTheNextGoodLineSurvives) {
    LineFramer framer;
    const std::string junk(LineFramer::kMaxLine * 3, '#');
    EXPECT_EQ(framer.Feed(junk), Lines{});
    EXPECT_LE(framer.Pending(), LineFramer::kMaxLine);
    EXPECT_EQ(framer.Feed("tail of junk\r42cm\r"), Lines{"42cm"});
    EXPECT_EQ(framer.Dropped(), 1u);
}

TEST(LineFramerTest, FloodOfLinesInOneReadIsHandedOutWholeAndInOrder) {
    LineFramer framer;
    std::string flood;
    for (int i = 0; i < 20000; ++i) {
        flood += std::to_string(i) + "cm\r";
    }
    const Lines lines = framer.Feed(flood + "12");
    ASSERT_EQ(lines.size(), 20000u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i], std::to_string(i) + "cm");
    }
    EXPECT_EQ(framer.Dropped(), 0u);
    EXPECT_EQ(framer.Pending(), 2u);
}

TEST(LineFramerTest, ResetForgetsAPartialLine) {
    LineFramer framer;
    framer.Feed("12");
    framer.Reset();
    EXPECT_EQ(framer.Feed("3cm\r"), Lines{"3cm"});
}

// Random bytes in random pieces: the framer and the reading-value rule must never crash, never
// hold more than one line's worth, and hand out only bounded lines without CR, LF or NUL.
TEST(LineFramerTest, RandomInputStaysBounded) {
    std::mt19937 random(20261208);
    LineFramer framer;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) {
            const unsigned pick = random() % 10;
            c = pick == 0   ? '\r'
                : pick == 1 ? char(random() % 256)
                            : "0123456789.- cmOK"[random() % 17];
        }
        for (const std::string& line : framer.Feed(bytes)) {
            ASSERT_LE(line.size(), LineFramer::kMaxLine);
            ASSERT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
            const std::string value = ReadingValue(line, 6);
            ASSERT_FALSE(value.empty());
        }
        ASSERT_LE(framer.Pending(), LineFramer::kMaxLine);
    }
}

}  // namespace
}  // namespace vigiltron
