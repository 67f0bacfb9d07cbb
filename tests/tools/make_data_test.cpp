#include <gtest/gtest.h>

#include <string>

#include "core/game.h"
#include "core/ripemd160.h"
#include "core/tracklist.h"
#include "files/vfs.h"
#include "make_data.h"
#include "test_util.h"

TEST(MakeData, MarkerDigestIsTheOneTheGameLooksFor) {
    DataArchive marker = make_data_marker();
    std::string image, error;
    ASSERT_TRUE(archive_image(marker.members, &image, &error)) << error;
    Ripemd160 r;
    ripemd160_start(&r);
    ripemd160_add(&r, image.data(), image.size());
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    char hex[41];
    ripemd160_to_hex(digest, hex);
    EXPECT_TRUE(ripemd160_equals_hex(digest, VFS_MARKER_DIGEST)) << "marker digest is " << hex;
}

TEST(MakeData, TheDataSetStartsTheGameAndItsTrackReads) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(make_data(dir / "data", &error)) << error;
    use_data_dirs(dir / "xdg", dir / "data");
    ASSERT_TRUE(vfs_find_game_data());

    char shapes[41];
    EXPECT_TRUE(fixed_files_check(shapes)) << shapes;

    NameList tracks;
    ASSERT_GE(tracklist_build(&tracks, 0), 1);
    int i = namelist_find(&tracks, "vovezuzize");
    ASSERT_GE(i, 0);
    EXPECT_STREQ("Vovezuzize", tracks.titles[i]);
    namelist_free(&tracks);

    // The height field as the terrain loader reads it.
    VfsFile *f = vfs_open("@vovezuzize/terrain.hf", "rb");
    ASSERT_NE(nullptr, f);
    int k = 0;
    float spacing = 0, lo = 0, hi = 0;
    ASSERT_EQ(4, vfs_scanf(f, "%d %f %f %f ", &k, &spacing, &lo, &hi));
    EXPECT_LT(lo, hi);
    EXPECT_GT(spacing, 0.0f);
    ASSERT_EQ(':', vfs_getc(f));
    int n = (1 << (k + 1)) + 1;
    std::string samples(n * n * 2 + 1, '\0');
    EXPECT_EQ((size_t)n * n * 2, vfs_read(f, &samples[0], samples.size()));
    vfs_close(f);
}
