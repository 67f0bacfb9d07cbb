// Formatted reading: each conversion, its width and size letters, the
// results on matching and input failures, and the one byte of look-ahead
// that the next read sees.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/vfs.h"
#include "test_util.h"

namespace {

// A stream over bytes, read from a scratch file, or through the ".gz"
// variant of its name when gzip is asked for.
struct Stream {
    ScratchDir dir;
    VfsFile *f = nullptr;
    explicit Stream(const std::string &bytes, bool gzip = false) {
        use_data_dirs(dir / "xdg", dir / "data");
        write_file(dir / (gzip ? "in.gz" : "in"), gzip ? gzip_bytes(bytes) : bytes);
        f = vfs_open((dir / "in").c_str(), "rb");
    }
    ~Stream() {
        vfs_close(f);
        vfs_reset();
    }
};

enum Kind { INT, SHORT, FLOAT, DOUBLE, LONG_DOUBLE, TEXT, CHARS };

struct Row {
    const char *format;
    std::string input;
    Kind kind;
    int result;
    long double number;   // INT to LONG_DOUBLE, when result is 1
    std::string text;     // TEXT and CHARS, when result is 1
    int next;             // the byte vfs_getc gives afterwards
};

}  // namespace

TEST(VfsScanf, SingleConversions) {
    const Row rows[] = {
        {"%d", "  -42 ", INT, 1, -42, "", ' '},
        {"%d", "+7", INT, 1, 7, "", -1},
        {"%ld", "12", INT, 1, 12, "", -1},   // "l" still fills an int
        {"%i", "0x1F;", INT, 1, 31, "", ';'},
        {"%i", "-0X1f", INT, 1, -31, "", -1},
        {"%i", "017", INT, 1, 15, "", -1},
        {"%i", "089", INT, 1, 0, "", '8'},
        {"%i", "19", INT, 1, 19, "", -1},
        {"%o", "778", INT, 1, 63, "", '8'},
        {"%x", "ffg", INT, 1, 255, "", 'g'},
        {"%X", "0x10", INT, 1, 0, "", 'x'},   // no prefix taken
        {"%x", "DEADBEEF", INT, 1, (int)0xDEADBEEFu, "", -1},
        {"%3d", "12345", INT, 1, 123, "", '4'},
        {"%2d", "-123", INT, 1, -1, "", '2'},   // the sign counts in the width
        {"%d", "abc", INT, 0, 0, "", 'a'},
        {"%d", "-x", INT, 0, 0, "", 'x'},
        {"%d", "", INT, -1, 0, "", -1},
        {"%d", "  \n ", INT, -1, 0, "", -1},
        {"%hd", "70000", SHORT, 1, 4464, "", -1},
        {"%hi", "-0x7fff", SHORT, 1, -32767, "", -1},
        {"%f", "1.5e3", FLOAT, 1, 1500, "", -1},
        {"%f", "-2.25", FLOAT, 1, -2.25, "", -1},
        {"%f", ".5", FLOAT, 1, 0.5, "", -1},
        {"%f", "3.", FLOAT, 1, 3, "", -1},
        {"%f", "7e-2", FLOAT, 1, 0.07L, "", -1},
        {"%f", "1E+2x", FLOAT, 1, 100, "", 'x'},
        {"%f", "1.2.3", FLOAT, 1, 1.2L, "", '.'},
        {"%4f", "12.345", FLOAT, 1, 12.3L, "", '4'},
        {"%f", "x", FLOAT, 0, 0, "", 'x'},
        {"%lf", "0.1", DOUBLE, 1, 0.1L, "", -1},
        {"%lf", "-123456.789e-3", DOUBLE, 1, -123.456789L, "", -1},
        {"%Lf", "2.5", LONG_DOUBLE, 1, 2.5L, "", -1},
        {"%llf", "6.25", LONG_DOUBLE, 1, 6.25L, "", -1},
        {"%qf", "-0.125", LONG_DOUBLE, 1, -0.125L, "", -1},
        {"%s", "  hello world", TEXT, 1, 0, "hello", ' '},
        {"%3s", "abcdef", TEXT, 1, 0, "abc", 'd'},
        {"%s", "   ", TEXT, -1, 0, "", -1},
        {"%c", " x", CHARS, 1, 0, " ", 'x'},
        {"%3c", "abcd", CHARS, 1, 0, "abc", 'd'},
        {"%2c", "a", CHARS, -1, 0, "", -1},
        {"%[a-c]", "abcabd", TEXT, 1, 0, "abcab", 'd'},
        {"%[^,]", "foo,bar", TEXT, 1, 0, "foo", ','},
        {"%[]a]", "]a]b", TEXT, 1, 0, "]a]", 'b'},
        {"%[^]]", "xy]z", TEXT, 1, 0, "xy", ']'},
        {"%2[a-z]", "hello", TEXT, 1, 0, "he", 'l'},
        {"%[a-]", "a-b", TEXT, 1, 0, "a-", 'b'},
        {"%[^\n]", "line one\nline two", TEXT, 1, 0, "line one", '\n'},
        {"%[0-9]", "x", TEXT, 0, 0, "", 'x'},
        {"%[0-9]", "", TEXT, -1, 0, "", -1},
        {"%%%d", "%5", INT, 1, 5, "", -1},
        {"%%%d", "5", INT, -1, 0, "", '5'},
        {"x%d", " x5", INT, -1, 0, "", ' '},   // a literal skips no whitespace
        {" x%d", " x5", INT, 1, 5, "", -1},
        {"%u", "5", INT, 0, 0, "", '5'},       // an unknown conversion ends the call
    };
    for (const Row &row : rows) {
        Stream s(row.input);
        ASSERT_NE(s.f, nullptr);
        const std::string what = std::string(row.format) + " on \"" + row.input + "\"";
        int i = -999;
        short h = -999;
        float fl = -999;
        double d = -999;
        long double ld = -999;
        char text[64];
        memset(text, 'Z', sizeof text);
        int result = 0;
        switch (row.kind) {
        case INT: result = vfs_scanf(s.f, row.format, &i); break;
        case SHORT: result = vfs_scanf(s.f, row.format, &h); break;
        case FLOAT: result = vfs_scanf(s.f, row.format, &fl); break;
        case DOUBLE: result = vfs_scanf(s.f, row.format, &d); break;
        case LONG_DOUBLE: result = vfs_scanf(s.f, row.format, &ld); break;
        case TEXT:
        case CHARS: result = vfs_scanf(s.f, row.format, text); break;
        }
        EXPECT_EQ(result, row.result) << what;
        bool assigned = result == 1;
        switch (row.kind) {
        case INT: EXPECT_EQ(i, assigned ? (int)row.number : -999) << what; break;
        case SHORT: EXPECT_EQ(h, assigned ? (short)row.number : -999) << what; break;
        case FLOAT: EXPECT_FLOAT_EQ(fl, assigned ? (float)row.number : -999) << what; break;
        case DOUBLE: EXPECT_DOUBLE_EQ(d, assigned ? (double)row.number : -999) << what; break;
        case LONG_DOUBLE: EXPECT_EQ(ld, assigned ? row.number : -999) << what; break;
        case TEXT:
            if (assigned) {
                EXPECT_STREQ(text, row.text.c_str()) << what;
            }
            break;
        case CHARS:
            if (assigned) {
                EXPECT_EQ(std::string(text, row.text.size()), row.text) << what;
                EXPECT_EQ(text[row.text.size()], 'Z') << what;   // no terminating zero
            }
            break;
        }
        EXPECT_EQ(vfs_getc(s.f), row.next) << what;
    }
}

TEST(VfsScanf, LiteralWordsMustMatch) {
    const char *format = "pipe %f %f %f %d %d";
    struct {
        const char *input;
        int result;
        int next;
    } rows[] = {
        {"pole 1 2 3 4 5\n", -1, 'o'},   // shares only the first letter
        {"pipx 1 2 3 4 5\n", -1, 'x'},
        {"gate 1 2 3 4 5\n", -1, 'g'},
        {"pipe 1.5 -2 3e1 4 5\n", 5, '\n'},
        {"pipe 1 2", 2, -1},   // the input ends inside the third conversion
        {"", -1, -1},
    };
    for (const auto &row : rows) {
        Stream s(row.input);
        float a = 0, b = 0, c = 0;
        int d = 0, e = 0;
        EXPECT_EQ(vfs_scanf(s.f, format, &a, &b, &c, &d, &e), row.result) << row.input;
        EXPECT_EQ(vfs_getc(s.f), row.next) << row.input;
        if (row.result == 5) {
            EXPECT_FLOAT_EQ(a, 1.5f);
            EXPECT_FLOAT_EQ(b, -2.0f);
            EXPECT_FLOAT_EQ(c, 30.0f);
            EXPECT_EQ(d, 4);
            EXPECT_EQ(e, 5);
        }
    }
    Stream s("1;2");
    int x = 0, y = 0;
    EXPECT_EQ(vfs_scanf(s.f, "%d,%d", &x, &y), -1);   // even after a conversion succeeded
    EXPECT_EQ(x, 1);
}

TEST(VfsScanf, NumberFollowedByLetter) {
    Stream s("12x");
    int a = 0, b = -1;
    EXPECT_EQ(vfs_scanf(s.f, "%d %d", &a, &b), 1);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(vfs_getc(s.f), 'x');
}

TEST(VfsScanf, SuppressionAndCounts) {
    Stream s("skip 1 two [set] z 77 12 345 x");
    int value = 0, before = -1, after = -1;
    short shortcount = -1;
    EXPECT_EQ(vfs_scanf(s.f, "%*s %*d %*s %*[][a-z] %*c%d", &value), 1);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(vfs_scanf(s.f, "%d%n", &value, &after), 1);   // %n is not counted
    EXPECT_EQ(after, 3);                                    // " 12": the look-ahead is not counted
    EXPECT_EQ(vfs_scanf(s.f, "%n%d%hn", &before, &value, &shortcount), 1);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(value, 345);
    EXPECT_EQ(shortcount, 4);
    EXPECT_EQ(vfs_scanf(s.f, "%n", &before), 0);
    EXPECT_EQ(before, 0);
}

TEST(VfsScanf, LookAheadIsSeenByTheNextRead) {
    Stream s("10 20\nrest of line\n7abc");
    int a = 0, b = 0;
    EXPECT_EQ(vfs_scanf(s.f, "%d %d", &a, &b), 2);
    char line[32];
    ASSERT_NE(vfs_gets(s.f, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "\n");
    ASSERT_NE(vfs_gets(s.f, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "rest of line\n");
    EXPECT_EQ(vfs_scanf(s.f, "%d", &a), 1);
    EXPECT_EQ(a, 7);
    char rest[8] = {};
    EXPECT_EQ(vfs_read(s.f, rest, sizeof rest), 3u);
    EXPECT_STREQ(rest, "abc");
}

TEST(VfsScanf, ReadsCompressedStreams) {
    Stream s("3 4.5 word\n", true);
    ASSERT_NE(s.f, nullptr);
    ASSERT_TRUE(s.f->compressed);
    int n = 0;
    float x = 0;
    char word[16];
    EXPECT_EQ(vfs_scanf(s.f, "%d %f %15s", &n, &x, word), 3);
    EXPECT_EQ(n, 3);
    EXPECT_FLOAT_EQ(x, 4.5f);
    EXPECT_STREQ(word, "word");
    EXPECT_EQ(vfs_getc(s.f), '\n');
    EXPECT_EQ(vfs_getc(s.f), -1);
}
