#include <gtest/gtest.h>

#include <string>

#include "core/tracklist.h"
#include "test_util.h"

TEST(TrackList, FindsEveryTerrainVariantSortsByTitleAndListsDemos) {
    ScratchDir dir;
    std::string data = dir / "data";
    write_file(data + "/riverside/terrain.hf.gz", gzip_bytes("6 4 0 1\n"));
    write_file(data + "/riverside/desc", "Riverside\r\nby somebody\n");
    write_file(data + "/zed/terrain.hf", "6 4 0 1\n");
    write_file(data + "/zed/terrain.hf.gz", gzip_bytes("6 4 0 1\n"));   // same track once
    write_file(data + "/zed/desc", "alpha ridge");
    write_file(data + "/Nodesc/terrain.hf.scram", "x");
    write_file(data + "/notatrack/terrain.hfx", "x");
    write_file(data + "/tracks.saf", saf_image({{"packed/terrain.hf.gz.scram", "x"}, {"packed/desc", "Packed"}}));
    write_file(data + "/demos/first race.qvdemo", "x");
    write_file(data + "/demos/notes.txt", "x");
    use_data_dirs(dir / "xdg", data);

    NameList tracks;
    ASSERT_EQ(4, tracklist_build(&tracks, 0));
    const char *expected[][2] = {
        {"zed", "alpha ridge"}, {"Nodesc", "Nodesc"}, {"packed", "Packed"}, {"riverside", "Riverside"}};
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(expected[i][0], tracks.names[i]);
        EXPECT_STREQ(expected[i][1], tracks.titles[i]);
    }
    EXPECT_EQ(3, namelist_find(&tracks, "RIVERSIDE"));
    EXPECT_EQ(-1, namelist_find(&tracks, "notatrack"));
    namelist_free(&tracks);

    NameList demos;
    ASSERT_EQ(1, demolist_build(&demos, 0));
    EXPECT_STREQ("demos/first race.qvdemo", demos.names[0]);
    EXPECT_STREQ("first race", demos.titles[0]);
    namelist_free(&demos);
}
