// The virtual file system: data directories, lookup order over loose files,
// variants and archives, the archive header, gzip and scrambled layers,
// bounded reads, writes with backups, renames and the game-data probe.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zlib.h>

#include "files/scramble.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "platform/log.h"
#include "test_util.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

std::string scrambled(const std::string &data, uint32_t key = 0x5eed) {
    std::string out(data.size() + SCRAMBLE_HEADER_BYTES, '\0');
    scramble_buffer(data.data(), data.size(), key, (unsigned char *)&out[0]);
    return out;
}

std::string read_all(VfsFile *f) {
    std::string s;
    char buf[777];
    size_t n;
    while ((n = vfs_read(f, buf, sizeof buf)) > 0) s.append(buf, n);
    return s;
}

// All bytes of name read through the file system, or "<none>".
std::string slurp(const std::string &name) {
    VfsFile *f = vfs_open(name.c_str(), "rb");
    if (!f) return "<none>";
    std::string s = read_all(f);
    vfs_close(f);
    return s;
}

// Text that does not compress well, so its gzip form spans several chunks.
std::string noisy_text(size_t size) {
    std::string s;
    uint32_t x = 12345;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s += (char)('a' + (x >> 16) % 26);
        if ((x >> 8) % 13 == 0) s += '\n';
    }
    s.resize(size);
    return s;
}

// Sets or unsets environment variables and puts them back afterwards.
struct EnvGuard {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    void set(const char *name, const char *value) {
        const char *old = getenv(name);
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvGuard() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
            else unsetenv(it->first.c_str());
        }
        vfs_reset();
    }
};

// A home directory (root/xdg/Quorvin/) and a second data directory
// (root/data/), both empty and not yet created.
struct VfsTest : ::testing::Test {
    ScratchDir root;
    std::string home, data;
    void SetUp() override {
        home = root / "xdg/Quorvin/";
        data = root / "data/";
        use_data_dirs(root / "xdg", root / "data");
    }
    void TearDown() override { vfs_reset(); }
};

std::string exe_dir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    std::string path(buf, (size_t)n);
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

TEST(VfsDataDirs, BuiltFromEnvironment) {
    ScratchDir root;
    const std::string r = root.path;
    const std::string exe = exe_dir();
    struct Row {
        const char *xdg, *home, *qv_home;   // null: unset
        std::vector<std::string> dirs;
    } rows[] = {
        {"/x", "/h", "/q", {r + "/x/Quorvin/", r + "/q/"}},
        {nullptr, "/h", "/q", {r + "/h/.local/share/Quorvin/", r + "/q/"}},
        {"", "/h", "/q", {r + "/h/.local/share/Quorvin/", r + "/q/"}},
        {"//x\\y/", nullptr, "\\q//", {r + "/x/y/Quorvin/", r + "/q/"}},
        {nullptr, nullptr, "/q", {r + "/q/"}},   // QV_HOME becomes the home and ends the list
        {"/x", nullptr, nullptr, {r + "/x/Quorvin/", exe}},
        {nullptr, nullptr, nullptr, {exe}},
    };
    for (const Row &row : rows) {
        EnvGuard env;
        std::string xdg = row.xdg && *row.xdg ? r + row.xdg : "";
        std::string home = row.home ? r + row.home : "";
        std::string qv = row.qv_home ? r + row.qv_home : "";
        env.set("XDG_DATA_HOME", row.xdg ? xdg.c_str() : nullptr);
        env.set("HOME", row.home ? home.c_str() : nullptr);
        env.set("QV_HOME", row.qv_home ? qv.c_str() : nullptr);
        vfs_reset();
        ASSERT_EQ(vfs_data_dir_count(), (int)row.dirs.size()) << xdg << " " << home << " " << qv;
        for (size_t i = 0; i < row.dirs.size(); i++) EXPECT_EQ(vfs_data_dir((int)i), row.dirs[i]);
        EXPECT_EQ(vfs_data_dir((int)row.dirs.size()), nullptr);
        EXPECT_EQ(vfs_data_dir(-1), nullptr);
    }
}

TEST_F(VfsTest, HomeFirstThenLooseFilesThenArchives) {
    write_file(home + "a.gz", gzip_bytes("home gz"));
    write_file(data + "a", "data plain");
    write_file(data + "b", "loose b");
    write_file(home + "pack.saf", saf_image({{"b", "member b"}, {"c", "member c"}}));
    write_file(home + "thing/inner", "a directory, not a file");
    write_file(data + "thing", "data thing");

    EXPECT_EQ(slurp("@a"), "home gz");        // a variant in the home beats a plain file later
    EXPECT_EQ(slurp("@b"), "loose b");        // any loose file beats any archive member
    EXPECT_EQ(slurp("@c"), "member c");
    EXPECT_EQ(slurp("@thing"), "data thing"); // a directory does not open as a file
    EXPECT_EQ(slurp("@missing"), "<none>");
    EXPECT_EQ(slurp(data + "a"), "data plain");
}

TEST(VfsArchives, PrecedenceBetweenArchives) {
    struct Row {
        const char *what;
        std::vector<std::pair<std::string, Members>> archives;   // path under root, members
        std::string expected;                                   // of "@m"
    } rows[] = {
        {"aaa.saf beats zzzz.saf", {{"xdg/Quorvin/zzzz.saf", {{"m", "zzzz"}}}, {"data/aaa.saf", {{"m", "aaa"}}}}, "aaa"},
        {"names sort ignoring case", {{"data/B.saf", {{"m", "B"}}}, {"data/a.saf", {{"m", "a"}}}}, "a"},
        {"same name: earlier dir", {{"data/same.saf", {{"m", "data"}}}, {"xdg/Quorvin/same.saf", {{"m", "home"}}}}, "home"},
        {"gz.scram in a first archive beats plain in a later",
         {{"data/a.saf", {{"m.gz.scram", scrambled(gzip_bytes("first"))}}}, {"data/b.saf", {{"m", "second"}}}},
         "first"},
        {"plain beats every variant",
         {{"data/v.saf",
           {{"m.gz.scram", scrambled(gzip_bytes("gzscram"))}, {"m.scram", scrambled("scram")},
            {"m.gz", gzip_bytes("gz")}, {"m", "plain"}}}},
         "plain"},
        {".gz beats .scram",
         {{"data/v.saf", {{"m.gz.scram", scrambled(gzip_bytes("gzscram"))}, {"m.scram", scrambled("scram")}, {"m.gz", gzip_bytes("gz")}}}},
         "gz"},
        {".scram beats .gz.scram",
         {{"data/v.saf", {{"m.gz.scram", scrambled(gzip_bytes("gzscram"))}, {"m.scram", scrambled("scram")}}}},
         "scram"},
        {".gz.scram alone", {{"data/v.saf", {{"m.gz.scram", scrambled(gzip_bytes("gzscram"))}}}}, "gzscram"},
        {"upper-case archive name", {{"data/PACK.SAF", {{"m", "upper"}}}}, "upper"},
    };
    for (const Row &row : rows) {
        ScratchDir root;
        use_data_dirs(root / "xdg", root / "data");
        for (const auto &a : row.archives) write_file(root / a.first, saf_image(a.second));
        EXPECT_EQ(slurp("@m"), row.expected) << row.what;
    }
    vfs_reset();
}

TEST_F(VfsTest, LetterCaseOnEitherSide) {
    write_file(data + "DATA.SAF",
               saf_image({{"tracks/hill/terrain.hf", "terrain"}, {"Models/Bike.VX", "bike"}}));
    write_file(home + "Setups/Default", "setup");
    EXPECT_EQ(slurp("@TRACKS/HILL/TERRAIN.HF"), "terrain");
    EXPECT_EQ(slurp("@Tracks/Hill/Terrain.hf"), "terrain");
    EXPECT_EQ(slurp("@models/bike.vx"), "bike");
    EXPECT_EQ(slurp("@setups/default"), "setup");   // a loose file through the index
}

TEST_F(VfsTest, DoubledSlashInMemberName) {
    write_file(data + "pack.saf", saf_image({{"tracks//hill///desc", "desc"}}));
    EXPECT_EQ(slurp("@tracks/hill/desc"), "desc");
    bool listed = false;
    for (const char *const *n = vfs_list(); *n; n++) listed |= std::string(*n) == "tracks/hill/desc";
    EXPECT_TRUE(listed);
}

TEST_F(VfsTest, MemberReadsStopAtTheirLength) {
    const std::string text = noisy_text(60000);
    const std::string gz = gzip_bytes(text);
    ASSERT_GT(gz.size(), 2u * VFS_GZ_CHUNK);
    // h.gz holds only the first half of a gzip stream; the rest follows in
    // the next member and must not be read as part of it.
    const std::string half = gz.substr(0, gz.size() / 2);
    write_file(data + "pack.saf",
               saf_image({{"one", "hello"},
                          {"lines", "a\nb"},
                          {"s.scram", scrambled("secret")},
                          {"g.gz.scram", scrambled(gz)},
                          {"h.gz", half},
                          {"rest", gz.substr(half.size())},
                          {"tiny.scram", "abc"},
                          {"two", "NEXT"}}));

    EXPECT_EQ(slurp("@one"), "hello");
    EXPECT_EQ(slurp("@s"), "secret");
    EXPECT_EQ(slurp("@g"), text);
    EXPECT_EQ(slurp("@tiny"), "<none>");   // shorter than a scramble header

    VfsFile *f = vfs_open("@s", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->length, 6u);   // the scramble header is not data
    vfs_close(f);

    std::string partial = slurp("@h");
    EXPECT_LT(partial.size(), text.size());
    EXPECT_EQ(partial, text.substr(0, partial.size()));

    f = vfs_open("@lines", "rb");
    ASSERT_NE(f, nullptr);
    char line[16];
    ASSERT_NE(vfs_gets(f, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "a\n");
    ASSERT_NE(vfs_gets(f, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "b");
    EXPECT_EQ(vfs_gets(f, line, sizeof line), nullptr);
    EXPECT_EQ(vfs_getc(f), -1);
    vfs_close(f);
}

TEST(Saf, HeaderReader) {
    struct Row {
        std::string image;
        int count;   // -1: malformed
        std::vector<std::tuple<std::string, uint32_t, uint32_t>> members;   // name, offset, length
    } rows[] = {
        {"5 a\n3 b//c\n-\nhelloxyz", 2, {{"a", 13, 5}, {"b/c", 18, 3}}},
        {"-\n", 0, {}},
        {"0 empty\n-\n", 1, {{"empty", 10, 0}}},
        {"5 a\r\n-\n", 1, {{"a\r", 7, 5}}},   // a carriage return belongs to the name
        {"1 " + std::string(1020, 'n') + "\n-\n", 1, {{std::string(1020, 'n'), 1025, 1}}},
        {"1 " + std::string(1021, 'n') + "\n-\n", -1, {}},   // a 1024-byte line
        {"5 a\n", -1, {}},                                   // no end line
        {"5 a\n-", -1, {}},                                  // end line without line feed
        {"", -1, {}},
        {"x a\n-\n", -1, {}},
        {"-5 a\n-\n", -1, {}},
        {"4294967296 a\n-\n", -1, {}},
        {"4294967290 a\n1 b\n-\n", -1, {}},   // the offsets would pass 4 GiB
        {"4294967280 a\n-\n", 1, {{"a", 15, 4294967280u}}},
    };
    for (const Row &row : rows) {
        FILE *file = tmpfile();
        ASSERT_NE(file, nullptr);
        fwrite(row.image.data(), 1, row.image.size(), file);
        rewind(file);
        SafMember *members = nullptr;
        int count = saf_read_header(file, &members);
        fclose(file);
        ASSERT_EQ(count, row.count) << row.image.substr(0, 40);
        if (count < 0) {
            EXPECT_EQ(members, nullptr);
        }
        for (int i = 0; i < count; i++) {
            EXPECT_EQ(members[i].name, std::get<0>(row.members[i]));
            EXPECT_EQ(members[i].offset, std::get<1>(row.members[i]));
            EXPECT_EQ(members[i].length, std::get<2>(row.members[i]));
        }
        free(members);
    }
}

TEST_F(VfsTest, MalformedArchiveContributesNothing) {
    write_file(data + "a_no_end.saf", "5 lost1\nhello");
    write_file(data + "b_long.saf", "5 lost2\n1 " + std::string(1021, 'n') + "\n-\nhellox");
    write_file(data + "c_huge.saf", "4294967295 lost3\n1 lost4\n-\n");
    write_file(data + "d_good.saf", saf_image({{"kept", "yes"}}));
    std::vector<std::string> names;
    for (const char *const *n = vfs_list(); *n; n++) names.push_back(*n);
    EXPECT_EQ(names, (std::vector<std::string>{"a_no_end.saf", "b_long.saf", "c_huge.saf", "d_good.saf", "kept"}));
    EXPECT_EQ(slurp("@kept"), "yes");
}

TEST_F(VfsTest, WritesLandInTheHomeDirectory) {
    write_file(data + "config", "data config");
    VfsFile *f = vfs_open("@config", "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(vfs_putc(f, 'x'));
    EXPECT_GE(vfs_puts(f, "=1\n"), 0);
    EXPECT_EQ(vfs_write(f, "y", 1), 1u);
    EXPECT_EQ(vfs_printf(f, "=%d\n", 2), 3);
    vfs_flush(f);
    vfs_close(f);
    std::string bytes;
    ASSERT_TRUE(read_file(home + "config", &bytes));
    EXPECT_EQ(bytes, "x=1\ny=2\n");
    ASSERT_TRUE(read_file(data + "config", &bytes));
    EXPECT_EQ(bytes, "data config");

    f = vfs_open("@setups/deep/er/file", "wb");
    ASSERT_NE(f, nullptr);
    vfs_close(f);
    EXPECT_TRUE(file_exists(home + "setups/deep/er/file"));
    EXPECT_EQ(vfs_open("@nothing/here", "rb"), nullptr);   // reading creates nothing
    EXPECT_FALSE(file_exists(home + "nothing"));
}

TEST(VfsWrite, UnwritableHomeFallsToNextDirectory) {
    ScratchDir root;
    write_file(root / "xdg", "a file where the home's parent should be");
    use_data_dirs(root / "xdg", root / "data");
    mkdir((root / "data").c_str(), 0755);
    VfsFile *f = vfs_open("@out", "wb");
    ASSERT_NE(f, nullptr);
    vfs_close(f);
    EXPECT_TRUE(file_exists(root / "data/out"));
    vfs_reset();
}

TEST_F(VfsTest, GetsAndReadWithSmallBuffers) {
    write_file(home + "t", "abcdef\nlast");
    VfsFile *f = vfs_open("@t", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8];
    struct {
        int size;
        const char *expected;   // null: none
    } steps[] = {{3, "ab"}, {1, ""}, {8, "cdef\n"}, {8, "last"}, {8, nullptr}, {2, nullptr}, {0, nullptr}};
    for (const auto &step : steps) {
        char *got = vfs_gets(f, buf, step.size);
        if (!step.expected) {
            EXPECT_EQ(got, nullptr) << step.size;
        } else {
            ASSERT_NE(got, nullptr);
            EXPECT_STREQ(got, step.expected);
        }
    }
    vfs_close(f);
}

TEST_F(VfsTest, SeekOnlyOnPlainDataBelowLength) {
    write_file(home + "loose", "0123456789");
    write_file(data + "pack.saf",
               saf_image({{"first", "xx"}, {"member", "abcdef"}, {"z.gz", gzip_bytes("zip")},
                          {"s.scram", scrambled("scrambled")}, {"after", "NEXT"}}));
    struct Row {
        const char *name;
        uint32_t offset;
        bool ok;
        int next;   // the byte read after the seek
    } rows[] = {
        {"@loose", 3, true, '3'}, {"@member", 5, true, 'f'}, {"@member", 6, false, 0},
        {"@member", 100, false, 0}, {"@member", 0, true, 'a'}, {"@z", 0, false, 0},
        {"@s", 0, false, 0},
    };
    for (const Row &row : rows) {
        VfsFile *f = vfs_open(row.name, "rb");
        ASSERT_NE(f, nullptr) << row.name;
        vfs_getc(f);
        f->pushback = 'Q';   // as left by formatted reading; a seek drops it
        EXPECT_EQ(vfs_seek(f, row.offset), row.ok) << row.name << " " << row.offset;
        if (row.ok) {
            EXPECT_EQ(f->position, row.offset);
            EXPECT_EQ(vfs_getc(f), row.next);
        }
        vfs_close(f);
    }
    VfsFile *f = vfs_open("@member", "rb");
    ASSERT_TRUE(vfs_seek(f, 4));
    EXPECT_EQ(read_all(f), "ef");   // and still stops at the member's end
    vfs_close(f);
}

TEST_F(VfsTest, BackupTakesTheFirstFreeNumber) {
    const std::string path = root / "save/f";
    write_file(path, "old");
    write_file(path + ".~1~", "one");
    write_file(path + ".~2~", "two");
    VfsFile *f = vfs_open(path.c_str(), "~wb");
    ASSERT_NE(f, nullptr);
    vfs_puts(f, "new");
    vfs_close(f);
    std::string bytes;
    ASSERT_TRUE(read_file(path + ".~3~", &bytes));
    EXPECT_EQ(bytes, "old");
    ASSERT_TRUE(read_file(path, &bytes));
    EXPECT_EQ(bytes, "new");
    ASSERT_TRUE(read_file(path + ".~1~", &bytes));
    EXPECT_EQ(bytes, "one");

    // No old file: nothing to back up.
    f = vfs_open("@fresh", "~wb");
    ASSERT_NE(f, nullptr);
    vfs_close(f);
    EXPECT_TRUE(file_exists(home + "fresh"));
    EXPECT_FALSE(file_exists(home + "fresh.~1~"));
    f = vfs_open("@fresh", "~wb");
    ASSERT_NE(f, nullptr);
    vfs_close(f);
    EXPECT_TRUE(file_exists(home + "fresh.~1~"));
}

TEST_F(VfsTest, BackupFailsWhenEveryNumberIsTaken) {
    const std::string path = root / "full/f";
    write_file(path, "old");
    for (int n = 1; n <= 9999; n++) {
        FILE *file = fopen((path + ".~" + std::to_string(n) + "~").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fclose(file);
    }
    EXPECT_EQ(vfs_open(path.c_str(), "~wb"), nullptr);
    std::string bytes;
    ASSERT_TRUE(read_file(path, &bytes));
    EXPECT_EQ(bytes, "old");
}

TEST_F(VfsTest, RenameWithHomeNames) {
    write_file(home + "a", "A");
    write_file(home + "b", "old B");
    EXPECT_TRUE(vfs_rename("@a", "@b"));
    std::string bytes;
    ASSERT_TRUE(read_file(home + "b", &bytes));
    EXPECT_EQ(bytes, "A");
    EXPECT_FALSE(file_exists(home + "a"));
    EXPECT_TRUE(vfs_rename("@b", (root / "c").c_str()));
    EXPECT_TRUE(file_exists(root / "c"));
    EXPECT_TRUE(vfs_rename((root / "c").c_str(), "@d"));
    EXPECT_TRUE(file_exists(home + "d"));
    EXPECT_FALSE(vfs_rename("@missing", "@e"));
}

TEST_F(VfsTest, ListAndDescribe) {
    write_file(home + "b", "home b");
    write_file(data + "B", "data B");
    write_file(data + "a", "data a");
    write_file(data + "p.saf", saf_image({{"a", "member a"}}));
    std::vector<std::string> names;
    for (const char *const *n = vfs_list(); *n; n++) names.push_back(*n);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "p.saf"}));

    int count = 0;
    const VfsIndexEntry *index = vfs_index(&count);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(index[0].precedence, 1);   // loose "a" before the member "a"
    EXPECT_EQ(index[1].precedence, 2);
    EXPECT_EQ(index[1].offset, 6u);
    char buf[512];
    ASSERT_TRUE(vfs_describe(0, buf, sizeof buf));
    EXPECT_EQ(std::string(buf), "a -> " + data + "a");
    ASSERT_TRUE(vfs_describe(1, buf, 5));
    EXPECT_STREQ(buf, "a ->");
    EXPECT_FALSE(vfs_describe(5, buf, sizeof buf));
    EXPECT_FALSE(vfs_describe(-1, buf, sizeof buf));
}

TEST_F(VfsTest, WalkSurvivesLinkLoops) {
    write_file(data + "sub/f", "f");
    write_file(root / "outside/x", "x");
    ASSERT_EQ(symlink("..", (data + "sub/loop").c_str()), 0);
    ASSERT_EQ(symlink((root / "outside").c_str(), (data + "other").c_str()), 0);
    std::vector<std::string> names;
    for (const char *const *n = vfs_list(); *n; n++) names.push_back(*n);
    EXPECT_EQ(names, (std::vector<std::string>{"other/x", "sub/f"}));
}

TEST_F(VfsTest, OpenHomeFolderStartsTheBrowser) {
    EnvGuard env;
    const std::string bin = root / "bin";
    write_file(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + root.path + "/opened.tmp\"\n"
                                  "mv \"" + root.path + "/opened.tmp\" \"" + root.path + "/opened\"\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    env.set("PATH", (bin + ":/usr/bin:/bin").c_str());
    ASSERT_TRUE(vfs_open_home_folder());
    EXPECT_TRUE(file_exists(home));
    std::string opened;
    for (int i = 0; i < 500 && !read_file(root / "opened", &opened); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(opened, home.substr(0, home.size() - 1));

    env.set("PATH", (root / "empty").c_str());
    EXPECT_FALSE(vfs_open_home_folder());
}

TEST_F(VfsTest, FindGameDataByMarkerDigest) {
    EnvGuard env;
    env.set("ZOLM_LOGFILE", nullptr);
    env.set("ZOLM_LOGFILE_FLAGS", nullptr);
    zolm_log_reset();
    std::string small;
    for (int i = 0; i < 6000; i++) small += (char)(i * 7 % 251);
    write_file(home + "zzzz.saf", "not the marker");
    write_file(data + "zzzz.saf", small);
    const char *small_digest = "47108b0b296ef7de17cc3f4f9ec3141b2fb5c152";
    EXPECT_TRUE(vfs_find_game_data_with(small_digest));   // past the wrong one in the home
    EXPECT_TRUE(vfs_find_game_data_with("47108B0B296EF7DE17CC3F4F9EC3141B2FB5C152"));
    EXPECT_TRUE(vfs_find_game_data_with("5af2501ae99845430ecf1795cd360ac3553bb644"));   // the home's
    EXPECT_FALSE(vfs_find_game_data_with("1c11e1b7daf1ddce1f3a5f9b0c604ac1f920ceef"));
    zolm_log("probe\n");
    zolm_log_reset();
    EXPECT_TRUE(file_exists(home + "lastlog.txt"));

    std::string big;
    for (int i = 0; i < 1048576; i++) big += (char)((i * 13 + 5) % 256);
    write_file(data + "zzzz.saf", big + "tail");
    EXPECT_TRUE(vfs_find_game_data_with("1c11e1b7daf1ddce1f3a5f9b0c604ac1f920ceef"));    // first MiB
    EXPECT_FALSE(vfs_find_game_data_with("1ac99d274eba2e8870a1882dbf648998c1290e76"));   // whole file
    zolm_log_reset();
}

TEST(Scramble, KnownAnswerAndRoundTrip) {
    struct Row {
        std::string data;
        uint32_t key;
        std::vector<unsigned char> expected;
    } rows[] = {
        {"Quorvin!", 0x01020304,
         {'Q', 'V', 'S', 'C', 'R', 'A', 'M', '1', 0x04, 0x03, 0x02, 0x01, 0x5d, 0x74, 0x31, 0x3c, 0xda,
          0x14, 0xd3, 0x88}},
        {std::string(4, '\0'), 0x9E3779B9,   // a zero start state becomes 1
         {'Q', 'V', 'S', 'C', 'R', 'A', 'M', '1', 0xb9, 0x79, 0x37, 0x9e, 0x21, 0x01, 0xc5, 0x4f}},
    };
    for (const Row &row : rows) {
        std::string out = scrambled(row.data, row.key);
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.end()), row.expected);
        FILE *file = fmemopen(&out[0], out.size(), "rb");
        ScrambledStream *s = scrambled_open(file);
        ASSERT_NE(s, nullptr);
        char back[64];
        EXPECT_EQ(scrambled_read(s, back, 3), 3u);
        EXPECT_EQ(scrambled_read(s, back + 3, sizeof back - 3), row.data.size() - 3);
        EXPECT_EQ(std::string(back, row.data.size()), row.data);
        scrambled_free(s);
        fclose(file);
    }
    for (std::string bad : {std::string("QVSCRAM2abcd"), std::string("QVSCRAM1ab")}) {
        FILE *file = fmemopen(&bad[0], bad.size(), "rb");
        EXPECT_EQ(scrambled_open(file), nullptr);
        fclose(file);
    }
}

namespace {

// A gzip member with the optional header fields the flags ask for.
std::string gzip_with_flags(const std::string &text, int flags) {
    std::string out = {'\x1f', '\x8b', 8, (char)flags, 1, 2, 3, 4, 0, 3};
    if (flags & 4) out += std::string("\x05\x00" "extra", 7);
    if (flags & 8) out += std::string("name.txt\0", 9);
    if (flags & 16) out += std::string("a comment\0", 10);
    if (flags & 2) out += "\x12\x34";
    z_stream z;
    memset(&z, 0, sizeof z);
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string deflated(deflateBound(&z, text.size()) + 16, '\0');
    z.next_in = (Bytef *)text.data();
    z.avail_in = (uInt)text.size();
    z.next_out = (Bytef *)&deflated[0];
    z.avail_out = (uInt)deflated.size();
    deflate(&z, Z_FINISH);
    deflated.resize(z.total_out);
    deflateEnd(&z);
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)text.data(), (uInt)text.size());
    uint32_t size = (uint32_t)text.size();
    out += deflated;
    for (int i = 0; i < 4; i++) out += (char)(crc >> (8 * i));
    for (int i = 0; i < 4; i++) out += (char)(size >> (8 * i));
    return out;
}

}  // namespace

TEST_F(VfsTest, GzipHeaderFlags) {
    const int flag_sets[] = {0, 2, 4, 8, 16, 2 | 4 | 8 | 16};
    Members members;
    for (int flags : flag_sets) members.push_back({"f" + std::to_string(flags) + ".gz", gzip_with_flags("flags " + std::to_string(flags), flags)});
    members.push_back({"next", "NEXT"});
    write_file(data + "pack.saf", saf_image(members));
    for (int flags : flag_sets) {
        EXPECT_EQ(slurp("@f" + std::to_string(flags)), "flags " + std::to_string(flags));
        write_file(home + "loose" + std::to_string(flags) + ".gz", gzip_with_flags("loose", flags));
        EXPECT_EQ(slurp("@loose" + std::to_string(flags)), "loose");
    }
}

TEST(Gzip, HeaderSize) {
    const std::string good = gzip_with_flags("x", 2 | 4 | 8 | 16);
    EXPECT_EQ(vfs_gzip_header_size((const unsigned char *)good.data(), good.size()), 10u + 7 + 9 + 10 + 2);
    struct Row {
        std::string bytes;
        size_t size;
    } rows[] = {
        {good.substr(0, 37), 0},                                   // ends inside the header CRC
        {good.substr(0, 20), 0},                                   // inside the name
        {std::string("\x1f\x8b\x08\x04\0\0\0\0\0\0\x09\0", 12), 0},   // extra longer than the data
        {std::string("\x1f\x8c\x08\0\0\0\0\0\0\0", 10), 0},
        {std::string("\x1f\x8b\x07\0\0\0\0\0\0\0", 10), 0},
        {std::string("\x1f\x8b\x08\x20\0\0\0\0\0\0", 10), 0},
        {std::string("\x1f\x8b\x08\0\0\0\0\0\0", 9), 0},
        {std::string("\x1f\x8b\x08\0\0\0\0\0\0\0", 10), 10},
    };
    for (const Row &row : rows)
        EXPECT_EQ(vfs_gzip_header_size((const unsigned char *)row.bytes.data(), row.bytes.size()), row.size);
}

TEST_F(VfsTest, GzipAcrossChunksThroughEveryLayer) {
    const std::string text = noisy_text(100000);
    const std::string gz = gzip_bytes(text);
    ASSERT_GT(gz.size(), 3u * VFS_GZ_CHUNK);
    write_file(home + "big.gz", gz);
    write_file(home + "bigs.gz.scram", scrambled(gz));
    write_file(data + "pack.saf", saf_image({{"m.gz", gz}, {"ms.gz.scram", scrambled(gz)}, {"z", "NEXT"}}));
    for (const char *name : {"@big", "@bigs", "@m", "@ms"}) {
        VfsFile *f = vfs_open(name, "rb");
        ASSERT_NE(f, nullptr) << name;
        std::string got;
        for (int i = 0; i < 1500; i++) got += (char)vfs_getc(f);   // byte-wise, then in blocks
        got += read_all(f);
        EXPECT_TRUE(got == text) << name << " " << got.size();
        EXPECT_EQ(f->position, text.size());
        EXPECT_EQ(vfs_getc(f), -1);
        vfs_close(f);
    }
}

TEST_F(VfsTest, DamagedGzipEndsTheStream) {
    const std::string text = noisy_text(30000);
    const std::string gz = gzip_bytes(text);
    for (size_t cut : {(size_t)0, (size_t)5, (size_t)10, (size_t)11, (size_t)200, gz.size() / 2,
                       gz.size() - 8, gz.size() - 1}) {
        write_file(home + "t.gz", gz.substr(0, cut));
        vfs_reset();
        std::string got = slurp("@t");
        if (cut < 10) {
            EXPECT_EQ(got, "<none>") << cut;
        } else {
            EXPECT_LE(got.size(), text.size()) << cut;
            EXPECT_EQ(got, text.substr(0, got.size())) << cut;
        }
    }
    for (size_t at : {(size_t)12, (size_t)100, gz.size() / 3, gz.size() - 12}) {
        std::string bad = gz;
        bad[at] ^= 0x5a;
        bad[at + 1] ^= 0xa5;
        write_file(home + "t.gz", bad);
        slurp("@t");   // ends, one way or another, without a crash
    }
    // Not gzip at all: the open fails, and the later variant is not tried.
    write_file(home + "n.gz", "plain text");
    write_file(home + "n.scram", scrambled("scram"));
    vfs_reset();
    EXPECT_EQ(slurp("@n"), "<none>");
}
