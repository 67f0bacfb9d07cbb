#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cctype>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "test_util.h"

// Every case starts with no log variables set and a log that has never been
// called, and leaves it so.
class Log : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("ZOLM_LOGFILE");
        unsetenv("ZOLM_LOGFILE_FLAGS");
        unsetenv("ZOLM_OPTIONS");
        zolm_log_reset();
    }
    void TearDown() override { SetUp(); }
    std::string contents(const std::string &name) {
        std::string text;
        read_file(dir / name, &text);
        return text;
    }
    ScratchDir dir;
};

class Options : public Log {};

// Length of a "[h:mm:ss.hh] " prefix at the start of line, 0 when there is
// none (minutes and seconds below 60, any number of hour digits).
static size_t prefix_length(const std::string &line) {
    size_t i = 0;
    if (line.size() < 13 || line[i++] != '[') return 0;
    size_t hours = i;
    while (i < line.size() && isdigit((unsigned char)line[i])) i++;
    if (i == hours) return 0;
    const char after[] = ":00:00.00] ";
    const char highest[] = ":59:59.99] ";
    for (size_t k = 0; k < sizeof after - 1; k++, i++) {
        if (i >= line.size()) return 0;
        char c = line[i];
        if (after[k] == '0' ? (c < '0' || c > highest[k]) : c != after[k]) return 0;
    }
    return i;
}

// The log text without its prefixes; a line without one comes out as "?".
static std::string without_prefixes(const std::string &log) {
    std::string out;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end + 1;
        std::string line = log.substr(at, end - at);
        size_t n = prefix_length(line);
        out += n ? line.substr(n) : "?" + line;
        at = end;
    }
    return out;
}

TEST_F(Log, SettingOpensTheFileAndWritesTheHeader) {
    zolm_log("ZOLM_LOGFILE=%s", (dir / "lastlog.txt").c_str());
    zolm_log("line %d\n", 1);
    zolm_log(nullptr);
    zolm_log("after closing\n");
    EXPECT_EQ(without_prefixes(contents("lastlog.txt")),
              "Logfile \"" + (dir / "lastlog.txt") + "\" opened\nZOLM 0.31\nline 1\n");
}

TEST_F(Log, EnvironmentBeatsTheSetting) {
    setenv("ZOLM_LOGFILE", (dir / "env.txt").c_str(), 1);
    zolm_log("ZOLM_LOGFILE=%s", (dir / "setting.txt").c_str());
    zolm_log("hello\n");
    zolm_log_reset();
    EXPECT_FALSE(file_exists(dir / "setting.txt"));
    EXPECT_EQ(without_prefixes(contents("env.txt")),
              "Logfile \"" + (dir / "env.txt") + "\" opened\nZOLM 0.31\nhello\n");
}

TEST_F(Log, AppendAndRewritePrefixes) {
    write_file(dir / "a.txt", "old\n");
    write_file(dir / "w.txt", "old\n");
    zolm_log("ZOLM_LOGFILE=>>%s", (dir / "a.txt").c_str());
    zolm_log_reset();
    zolm_log("ZOLM_LOGFILE=>%s", (dir / "w.txt").c_str());
    zolm_log_reset();
    EXPECT_EQ(without_prefixes(contents("a.txt")),
              "?old\nLogfile \"" + (dir / "a.txt") + "\" opened\nZOLM 0.31\n");
    EXPECT_EQ(without_prefixes(contents("w.txt")),
              "Logfile \"" + (dir / "w.txt") + "\" opened\nZOLM 0.31\n");
}

TEST_F(Log, FlagsVariableIsTheOpenMode) {
    write_file(dir / "log.txt", "old\n");
    setenv("ZOLM_LOGFILE_FLAGS", "a", 1);
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    zolm_log_reset();
    EXPECT_EQ(contents("log.txt").substr(0, 4), "old\n");
}

TEST_F(Log, FirstCallThatIsNoSettingIsLogged) {
    setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
    zolm_log("first\n");
    zolm_log_reset();
    EXPECT_EQ(without_prefixes(contents("log.txt")),
              "Logfile \"" + (dir / "log.txt") + "\" opened\nZOLM 0.31\nfirst\n");
}

TEST_F(Log, FlushSwitchesWriteNothing) {
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    zolm_log("\x13NOFLUSH");
    zolm_log("a\n");
    zolm_log("\x13" "FLUSH");
    zolm_log("b\n");
    zolm_log_reset();
    EXPECT_EQ(without_prefixes(contents("log.txt")),
              "Logfile \"" + (dir / "log.txt") + "\" opened\nZOLM 0.31\na\nb\n");
}

TEST_F(Log, TextLongerThanAnyBufferIsWrittenWhole) {
    std::string text(100000, 'x');
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    zolm_log("%s\n", text.c_str());
    zolm_log_reset();
    EXPECT_NE(contents("log.txt").find("] " + text + "\n"), std::string::npos);
}

TEST_F(Log, LinesFromSeveralThreadsStayWhole) {
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    zolm_log("\x13NOFLUSH");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; i++) zolm_log("thread %d line %03d\n", t, i);
        });
    }
    for (std::thread &thread : threads) thread.join();
    zolm_log_reset();
    std::string text = without_prefixes(contents("log.txt"));
    EXPECT_EQ(text.find('?'), std::string::npos);
    for (int t = 0; t < 4; t++) {
        std::string last = "thread " + std::to_string(t) + " line 199\n";
        EXPECT_NE(text.find(last), std::string::npos) << last;
    }
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 800);
}

TEST_F(Log, ErrorIsLoggedAndKept) {
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    EXPECT_STREQ(zolm_last_error(), "Unknown");
    zolm_error("no joystick");
    EXPECT_STREQ(zolm_last_error(), "no joystick");
    zolm_log_reset();
    EXPECT_NE(contents("log.txt").find("] Error: no joystick\n"), std::string::npos);
}

TEST_F(Options, ValuesDefaultsAndBadEntries) {
    setenv("ZOLM_OPTIONS", "[threaded:yes][sound-rate:44100][dsnd:maybe][dinput:off]"
                           "[sound-mixahead:abc][sound-rate-x:5][waveout:on]", 1);
    zolm_log("ZOLM_LOGFILE=%s", (dir / "log.txt").c_str());
    EXPECT_EQ(zolm_option_bool("threaded", 0), 1);
    EXPECT_EQ(zolm_option_int("sound-rate", 22050), 44100);
    EXPECT_EQ(zolm_option_bool("dsnd", 1), 1);
    EXPECT_EQ(zolm_option_bool("dinput", 1), 0);
    EXPECT_EQ(zolm_option_bool("waveout", 0), 1);
    EXPECT_EQ(zolm_option_int("sound-mixahead", 125), 125);
    EXPECT_EQ(zolm_option_int("sound-channels", 16), 16);
    EXPECT_EQ(zolm_option_int("sound-rate-x-y", 7), 7);
    EXPECT_EQ(zolm_option_bool("dinputsticksonly", 1), 1);
    zolm_log_reset();
    EXPECT_EQ(without_prefixes(contents("log.txt")),
              "Logfile \"" + (dir / "log.txt") + "\" opened\nZOLM 0.31\n"
              "unrecognized setting for dsnd\nunrecognized setting for sound-mixahead\n");
}

TEST_F(Options, NameIsNoPrefixOfALongerName) {
    setenv("ZOLM_OPTIONS", "[sound-rate-x:5][threadedness:yes]", 1);
    EXPECT_EQ(zolm_option_int("sound-rate", 22050), 22050);
    EXPECT_EQ(zolm_option_bool("threaded", 0), 0);
}

TEST_F(Options, ReadOnce) {
    setenv("ZOLM_OPTIONS", "[sound-channels:8]", 1);
    EXPECT_EQ(zolm_option_int("sound-channels", 16), 8);
    setenv("ZOLM_OPTIONS", "[sound-channels:32]", 1);
    EXPECT_EQ(zolm_option_int("sound-channels", 16), 8);
}
