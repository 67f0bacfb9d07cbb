#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/console.h"
#include "platform/log.h"
#include "test_util.h"

class Console : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("ZOLM_LOGFILE_FLAGS");
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
        g_console.max_shown = 5;
        console_set_clock(0.0);
    }
    void TearDown() override {
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }
    std::string log_text() {
        zolm_log(nullptr);
        std::string text;
        read_file(dir / "log.txt", &text);
        return text;
    }
    ScratchDir dir;
};

TEST_F(Console, RingWrapsAfter1000Lines) {
    for (int i = 0; i < 1001; i++) console_message("line %d", i);
    EXPECT_STREQ(g_console.lines[0], "line 1000");
    EXPECT_STREQ(g_console.lines[1], "line 1");
    EXPECT_EQ(g_console.write_index, 1);
    EXPECT_STREQ(console_recent_line(0), "line 1000");
    EXPECT_STREQ(console_recent_line(999), "line 1");
}

TEST_F(Console, ShownLinesAreTheNewestOldestFirst) {
    for (int i = 0; i < 7; i++) console_message("line %d", i);
    ASSERT_EQ(g_console.shown, 5);
    for (int i = 0; i < 5; i++) EXPECT_EQ(std::string(console_shown_line(i)), "line " + std::to_string(i + 2));
    EXPECT_EQ(console_shown_line(5), nullptr);
    EXPECT_EQ(console_shown_line(-1), nullptr);
}

TEST_F(Console, LinesExpireAfter2SecondsThenEvery5) {
    console_set_clock(10.0);
    console_message("a");
    console_message("b");
    console_message("c");
    // (game clock, lines shown after the expiry check)
    const double steps[][2] = {
        {11.0, 3}, {12.0, 3}, {12.01, 2}, {17.0, 2}, {17.02, 1}, {22.03, 0}, {40.0, 0},
    };
    for (const auto &step : steps) {
        console_expire(step[0]);
        EXPECT_EQ(g_console.shown, (int)step[1]) << "at " << step[0];
    }
    EXPECT_STREQ(console_shown_line(0), nullptr);
}

TEST_F(Console, LongMessageIsCutInTheRingAndWholeInTheLog) {
    std::string long_text(300, 'x');
    console_message("%s", long_text.c_str());
    EXPECT_EQ(std::string(g_console.lines[0]), long_text.substr(0, 127));
    EXPECT_NE(log_text().find(long_text + "\n"), std::string::npos);
}

TEST_F(Console, LogLineEndsOnceAndResetsColours) {
    console_message("plain");
    console_message("own newline\n");
    console_message("\033[31mred");
    std::string log = log_text();
    EXPECT_NE(log.find("] plain\n"), std::string::npos);
    EXPECT_NE(log.find("] own newline\n["), std::string::npos);
    EXPECT_NE(log.find("] \033[31mred\033[0m\n"), std::string::npos);
}
