#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/cmdline.h"

namespace {

struct Parsed {
    CmdlineResult result;
    CommandLine cl;
    std::string out, err;
};

std::string slurp(FILE *f) {
    std::string s;
    rewind(f);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

Parsed parse(std::vector<std::string> words) {
    std::vector<char *> argv;
    static char program[] = "quorvin";
    argv.push_back(program);
    for (auto &w : words) argv.push_back(&w[0]);
    Parsed p;
    cmdline_defaults(&p.cl);
    FILE *out = tmpfile(), *err = tmpfile();
    p.result = cmdline_parse(&p.cl, (int)argv.size(), argv.data(), out, err);
    p.out = slurp(out);
    p.err = slurp(err);
    return p;
}

}  // namespace

TEST(Cmdline, BadValuesPrintTheirMessageAndFail) {
    const char *options[] = {"--texture-detail", "--ground-texture-detail", "--roostfrequency", "--erode",
                             "--detail", "--max-detail-distance", "--lod-scale", "--lod-bias", "--lock-fps",
                             "--fake-lag", "--fake-loss", "--chase-center"};
    for (const char *opt : options) {
        std::string expected = std::string("Bad arg for ") + opt + "\n";
        Parsed two = parse({opt, "x"});
        EXPECT_EQ(CMDLINE_ERROR, two.result) << opt;
        EXPECT_EQ(expected, two.err) << opt;
        Parsed joined = parse({std::string(opt) + "=x"});
        EXPECT_EQ(expected, joined.err) << opt;
        // At the very end of the line a valued option gets no value.
        Parsed missing = parse({opt});
        EXPECT_EQ(expected, missing.err) << opt;
    }
}

TEST(Cmdline, ValuesAreClampedAndBothFormsAgree) {
    struct Row {
        std::vector<std::string> words;
        bool (*check)(const CommandLine &);
    } rows[] = {
        {{"--width", "800"}, [](const CommandLine &c) { return c.has_width && c.width == 800; }},
        {{"--width=800"}, [](const CommandLine &c) { return c.has_width && c.width == 800; }},
        {{"--texture-detail=9"}, [](const CommandLine &c) { return c.texture_detail == 4; }},
        {{"--ground-texture-detail", "-3"}, [](const CommandLine &c) { return c.ground_texture_detail == 0; }},
        {{"--roostfrequency=5000"}, [](const CommandLine &c) { return c.roost_frequency == 1000; }},
        {{"--erode=150"}, [](const CommandLine &c) { return c.erode == 100.0f; }},
        {{"--lod-scale=0"}, [](const CommandLine &c) { return c.lod_scale == 0.000001f; }},
        {{"--fake-lag=250"}, [](const CommandLine &c) { return c.fake_lag == 0.25f; }},
        {{"--fake-lag=5000"}, [](const CommandLine &c) { return c.fake_lag == 1.0f; }},
        {{"--fake-loss=101"}, [](const CommandLine &c) { return c.fake_loss == 100; }},
        {{"--lock-fps", "30"}, [](const CommandLine &c) { return c.lock_fps == 30.0f; }},
        {{"--chase-center=1,2.5,-3"},
         [](const CommandLine &c) { return c.chase_center[0] == 1 && c.chase_center[1] == 2.5f && c.chase_center[2] == -3; }},
        {{"--connect", "quorvin:example.org:19800"},
         [](const CommandLine &c) { return std::string(c.connect) == "example.org:19800"; }},
        {{"--learn", "--nolearn"}, [](const CommandLine &c) { return !c.learn; }},
        {{"--debug"}, [](const CommandLine &c) { return c.debug == 1; }},
        {{"--super-debug"}, [](const CommandLine &c) { return c.debug == 2; }},
        {{"--nommx"}, [](const CommandLine &c) { return !c.mmx; }},
        {{}, [](const CommandLine &c) { return c.depth == 16 && c.zdepth == 16 && c.chase_center[1] == 2.52f; }},
        {{"--track=riverside", "demo.qvdemo"},
         [](const CommandLine &c) { return std::string(c.track) == "riverside" && std::string(c.demo) == "demo.qvdemo"; }},
    };
    for (const Row &row : rows) {
        Parsed p = parse(row.words);
        std::string line;
        for (const auto &w : row.words) line += w + " ";
        EXPECT_EQ(CMDLINE_RUN, p.result) << line;
        EXPECT_TRUE(row.check(p.cl)) << line;
    }
}

TEST(Cmdline, FilesOptionsAndTheDoubleDash) {
    Parsed bad = parse({"-x"});
    EXPECT_EQ(CMDLINE_ERROR, bad.result);
    EXPECT_EQ("bad option '-x'\n", bad.err);

    Parsed prefix = parse({"--widthx=3"});
    EXPECT_EQ("bad option '--widthx=3'\n", prefix.err);

    Parsed two = parse({"a.qvdemo", "b.qvdemo"});
    EXPECT_EQ(CMDLINE_ERROR, two.result);
    EXPECT_EQ("Too many files!\n", two.err);

    Parsed dashed = parse({"--", "-odd.qvdemo"});
    EXPECT_EQ(CMDLINE_RUN, dashed.result);
    EXPECT_STREQ("-odd.qvdemo", dashed.cl.demo);

    Parsed after = parse({"--", "--nosound"});
    EXPECT_FALSE(after.cl.nosound);
    EXPECT_STREQ("--nosound", after.cl.demo);

    Parsed bikes = parse({"--bikes", "4", "--nosound"});
    EXPECT_EQ(CMDLINE_RUN, bikes.result);
    EXPECT_EQ("--bikes doesn't do anything anymore\n", bikes.err);
    EXPECT_TRUE(bikes.cl.nosound);

    Parsed race = parse({"--race", "--track", "flat"});
    EXPECT_EQ(CMDLINE_RUN, race.result);
    EXPECT_TRUE(race.cl.race);
    EXPECT_FALSE(parse({}).cl.race);

    Parsed help = parse({"--help"});
    EXPECT_EQ(CMDLINE_EXIT_OK, help.result);
    EXPECT_NE(std::string::npos, help.out.find("--lock-fps F"));
    EXPECT_NE(std::string::npos, help.out.find("--race"));
}
