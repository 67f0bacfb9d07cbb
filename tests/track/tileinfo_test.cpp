// Surface tiles: the friction and rolling-resistance curves, the "tileinfo"
// and "texturelist" readers with their warnings, and corner codes.
#include "track/track_fixture.h"

namespace {

// --- curves -------------------------------------------------------------------------------

class TileFriction : public TrackFixture {};

TEST_F(TileFriction, InterpolatesInTheSquareOfSpeed) {
    struct Row {
        const char *lines;
        float speed, coefficient;
    };
    const Row rows[] = {
        {"", 0.0f, 1.0f},
        {"", 3.0f, 1.0f},
        {"", 100.0f, 1.0f},
        {"friction 0.7 10\n", 0.0f, 0.7f},
        {"friction 0.7 10\n", 10.0f, 0.7f},
        {"friction 0.7 10\n", 50.0f, 0.7f},
        {"friction 1.0 5\nfriction 0.5 15\n", 0.0f, 1.0f},
        {"friction 1.0 5\nfriction 0.5 15\n", 5.0f, 1.0f},
        {"friction 1.0 5\nfriction 0.5 15\n", 10.0f, 0.8125f},   // 1 - 0.5 * (100 - 25) / (225 - 25)
        {"friction 1.0 5\nfriction 0.5 15\n", -10.0f, 0.8125f},
        {"friction 1.0 5\nfriction 0.5 15\n", 15.0f, 0.5f},
        {"friction 1.0 5\nfriction 0.5 15\n", 40.0f, 0.5f},
        {"friction 0.5 15\nfriction 1.0 5\n", 10.0f, 0.8125f},   // sorted by speed
        {"friction 1.2 2\nfriction 1.0 4\nfriction 0.6 6\n", 5.0f, 0.82f},   // 1 - 0.4 * (25 - 16) / (36 - 16)
        {"friction -3 -1\n", 7.0f, 0.0f},                                    // clamped to 0 at 2^-20
    };
    for (const Row &row : rows) {
        use_tiles(std::string(row.lines) + "addtile\n");
        ASSERT_EQ(g_terrain.tile_count, 1);
        EXPECT_FLOAT_EQ(tile_friction(0, row.speed), row.coefficient) << row.lines << "at " << row.speed;
    }
    use_tiles("friction -3 -1\naddtile\n");
    EXPECT_EQ(g_terrain.tiles[0].friction_speed[0], 1.0f / 1048576.0f);
}

TEST_F(TileFriction, RollingResistanceIsLinearInSpeedThenSinkage) {
    struct Row {
        const char *lines;
        float speed, sinkage, resistance;
    };
    const Row rows[] = {
        {"", 0.0f, 0.0f, 5.0f},
        {"", 30.0f, 1.0f, 15.0f},
        {"", 30.0f, 0.5f, 10.0f},
        {"roll_resist 2 4 10\nroll_resist 6 12 20\n", 5.0f, 0.0f, 2.0f},
        {"roll_resist 2 4 10\nroll_resist 6 12 20\n", 15.0f, 0.5f, 6.0f},   // (4, 8) halfway
        {"roll_resist 2 4 10\nroll_resist 6 12 20\n", 17.5f, 1.0f, 10.0f},
        {"roll_resist 6 12 20\nroll_resist 2 4 10\n", 15.0f, 0.0f, 4.0f},
        {"roll_resist 2 4 10\nroll_resist 6 12 20\n", 30.0f, 1.0f, 12.0f},
        {"roll_resist -1 3 5\n", 9.0f, 0.25f, 0.75f},
    };
    for (const Row &row : rows) {
        use_tiles(std::string(row.lines) + "addtile\n");
        EXPECT_FLOAT_EQ(tile_roll_resistance(0, row.speed, row.sinkage), row.resistance)
            << row.lines << "at " << row.speed << ", " << row.sinkage;
    }
}

// --- "tileinfo" and "texturelist" ---------------------------------------------------------------

class TileinfoRead : public TrackFixture {};

TEST_F(TileinfoRead, WarningsAndValues) {
    std::string nine_friction, nine_roll, five_roost;
    for (int i = 9; i >= 1; i--) nine_friction += "friction 0." + std::to_string(i) + " " + std::to_string(i) + "\n";
    for (int i = 1; i <= 9; i++) nine_roll += "roll_resist 1 2 " + std::to_string(i) + "\n";
    for (int i = 1; i <= 5; i++) five_roost += "roost count=" + std::to_string(i) + "\n";
    struct Row {
        std::string text;
        Lines warnings;
        std::function<void(const SurfaceTile &)> check;
    };
    const Row rows[] = {
        {"bogus 1\naddtile\n", {"tileinfo warning: Unknown identifier 'bogus'"}, nullptr},
        {"frictionx 1 2\naddtile\n", {"tileinfo warning: Unknown identifier 'frictionx'"}, nullptr},
        {nine_friction + "addtile\n", {"tileinfo warning: too many friction points"},
         [](const SurfaceTile &t) {
             for (int i = 0; i < 8; i++) {
                 EXPECT_FLOAT_EQ(t.friction_speed[i], (float)(i + 2));
                 EXPECT_FLOAT_EQ(t.friction[i], (i + 2) / 10.0f);
             }
         }},
        {"friction 1\naddtile\n", {"tileinfo warning: bad friction parameters"},
         [](const SurfaceTile &t) { EXPECT_EQ(t.friction_speed[0], 1.0f); }},
        {"roll_resist 1 2\naddtile\n", {"tileinfo warning: bad roll_resist parameters"}, nullptr},
        {nine_roll + "addtile\n", {"tileinfo warning: too many roll_resist points"},
         [](const SurfaceTile &t) { EXPECT_EQ(t.roll_speed[7], 8.0f); }},
        {five_roost + "addtile\n", {"tileinfo warning: too many roost types"},
         [](const SurfaceTile &t) {
             for (int i = 0; i < 4; i++) EXPECT_EQ(t.roost[i].count, (float)(i + 1));
         }},
        {"roost count=abc\naddtile\n", {"tileinfo warning: bad count"},
         [](const SurfaceTile &t) {
             EXPECT_EQ(t.roost[0].kind, ROOST_ROOST);
             EXPECT_EQ(t.roost[0].count, 0.0f);
             EXPECT_EQ(t.roost[1].kind, ROOST_NONE);
         }},
        {"roost fade_a=128 fade_r=-128 r=300 g=-1 splash=1 \"size=\"2.5 texture=\"@my roost.png\"\naddtile\n",
         {},
         [](const SurfaceTile &t) {
             EXPECT_EQ(t.roost[0].fade_a, 1);
             EXPECT_EQ(t.roost[0].fade_r, 255);
             EXPECT_EQ(t.roost[0].r, 44);
             EXPECT_EQ(t.roost[0].g, 255);
             EXPECT_EQ(t.roost[0].kind, ROOST_SPLASH);
             EXPECT_EQ(t.roost[0].size, 2.5f);
         }},
        {"roost wobble=3 b=x fade_g=\naddtile\n",
         {"tileinfo warning: unknown roost parameter 'wobble=3'", "tileinfo warning: bad b",
          "tileinfo warning: bad fade_g"},
         [](const SurfaceTile &t) {
             EXPECT_EQ(t.roost[0].b, 0);
             EXPECT_EQ(t.roost[0].fade_g, 0);
         }},
        {"roost\naddtile\n", {},
         [](const SurfaceTile &t) {
             const RoostType &r = t.roost[0];
             EXPECT_EQ(r.kind, ROOST_ROOST);
             EXPECT_EQ(r.texture, 0u);
             const float values[] = {r.count, r.dig, r.slip_threshold, r.slow_angle, r.fast_angle, r.slow_speed,
                                     r.fast_speed, r.size, r.grow, r.drag, r.vscale, r.randomize};
             const float defaults[] = {10.0f, 1.0f, 4.0f, 1.5707964f, 0.19634955f, 0.0f,
                                       64.0f, 0.25f, 4.0f, 0.5f, 1.0f, 15.0f};
             for (int i = 0; i < 12; i++) EXPECT_EQ(values[i], defaults[i]) << i;
             EXPECT_EQ((std::vector<int>{r.r, r.g, r.b, r.a, r.fade_r, r.fade_g, r.fade_b, r.fade_a}),
                       (std::vector<int>{255, 255, 255, 255, 0, 0, 0, 254}));
         }},
        {"erode_depth x\nerode_max_slope\naddtile\n",
         {"tileinfo warning: bad erode_depth", "tileinfo warning: bad erode_max_slope"},
         [](const SurfaceTile &t) {
             const float defaults[] = {1.0f, 50.0f, 150.0f, 2.0f, 4.0f, 0.25f, 10.0f, 15.0f};
             for (int i = 0; i < 8; i++) EXPECT_EQ(t.erosion[i], defaults[i]) << i;
         }},
        {"erode_depth 0.5\nerode_lower 1\nerode_upper 2\nerode_displacement 3\nerode_radius 7\n"
         "erode_max_slope 0.1\nerode_off_speed 4\nerode_on_speed 3\naddtile\n",
         {},
         [](const SurfaceTile &t) {
             const float values[] = {0.5f, 1.0f, 2.0f, 3.0f, 7.0f, 0.1f, 4.0f, 3.0f};
             for (int i = 0; i < 8; i++) EXPECT_EQ(t.erosion[i], values[i]) << i;
         }},
        {"  texture\t@a.png  \r\n\n  addtile\r\n", {},
         [](const SurfaceTile &t) { EXPECT_STREQ(t.texture_name, "@a.png  "); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        console_clear();
        SurfaceTile tiles[TERRAIN_MAX_TILES];
        int count = parse_tileinfo(row.text, tiles);
        EXPECT_EQ(messages(), row.warnings);
        ASSERT_EQ(count, 1);
        if (row.check) row.check(tiles[0]);
        tiles_free(tiles, count);
    }
}

TEST_F(TileinfoRead, TilesCommitAndPropertiesReset) {
    SurfaceTile tiles[TERRAIN_MAX_TILES];
    int count = parse_tileinfo("friction 0.3 2\ntexture @x.png\naddtile\naddtile\nfriction 0.1 1\n", tiles);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(tiles[0].texture_name, "@x.png");
    EXPECT_EQ(tiles[0].friction[0], 0.3f);
    EXPECT_EQ(tiles[0].friction[1], 1.0f);   // the default in the slots not written
    EXPECT_EQ(tiles[0].friction_speed[1], 0.0f);
    EXPECT_EQ(tiles[1].texture_name, nullptr);
    EXPECT_EQ(tiles[1].friction[0], 1.0f);
    EXPECT_EQ(tiles[1].friction_speed[0], 1.0f);
    tiles_free(tiles, count);

    std::string many;
    for (int i = 0; i < 300; i++) many += "texture @t" + std::to_string(i) + ".png\naddtile\n";
    count = parse_tileinfo(many, tiles);
    EXPECT_EQ(count, TERRAIN_MAX_TILES);
    EXPECT_STREQ(tiles[255].texture_name, "@t255.png");
    tiles_free(tiles, count);
    EXPECT_EQ(messages(), Lines());
}

TEST_F(TileinfoRead, TexturelistLines) {
    VfsFile *f = stream("grass.png\n0.8 4 12 dirt.png\n   \n\tmud  hole.png\r\n1 2 stone.png\n");
    TileLoad how = {TERRAIN_UPDATE_COPY, false};
    SurfaceTile tiles[TERRAIN_MAX_TILES];
    int count = texturelist_read(f, &how, tiles);
    vfs_close(f);
    ASSERT_EQ(count, 4);
    struct Row {
        const char *name;
        float friction, low, high;
    };
    const Row rows[] = {
        {"@grass.png", 1.0f, 5.0f, 15.0f},
        {"@dirt.png", 0.8f, 4.0f, 12.0f},
        {"@mud  hole.png", 1.0f, 5.0f, 15.0f},
        {"@1 2 stone.png", 1.0f, 5.0f, 15.0f},
    };
    for (int t = 0; t < count; t++) {
        SCOPED_TRACE(rows[t].name);
        EXPECT_STREQ(tiles[t].texture_name, rows[t].name);
        EXPECT_EQ(tiles[t].texture, 0u);
        for (int i = 0; i < TILE_CURVE_POINTS; i++) {
            EXPECT_EQ(tiles[t].friction[i], rows[t].friction);
            EXPECT_EQ(tiles[t].friction_speed[i], i == 0 ? 1.0f : 0.0f);
            EXPECT_EQ(tiles[t].roll_resist[i][0], rows[t].low);
            EXPECT_EQ(tiles[t].roll_resist[i][1], rows[t].high);
        }
        EXPECT_EQ(tiles[t].roost[0].kind, ROOST_ROOST);
        EXPECT_EQ(tiles[t].roost[0].count, 10.0f);
        EXPECT_EQ(tiles[t].roost[1].kind, ROOST_NONE);
        EXPECT_EQ(tiles[t].erosion[ERODE_ON_SPEED], 15.0f);
    }
    tiles_free(tiles, count);
}

TEST_F(TileinfoRead, CornerCodes) {
    struct Row {
        std::vector<std::string> textures;
        std::vector<int32_t> codes;
    };
    const Row rows[] = {
        {{"@dirt.png", "@grass.png", "@dirt-grass-1000.png", "@dirt-alt2.png", "@dirt-sand-0101.png"},
         {0, 1 * 65536 + 1 * 256, 0 * 65536 + 1 * 256 + 8, 0, -256}},
        {{"@grass.png", "@dirt.png", "@dirt-grass-0011.png", "@dirt-grass-10x1.png", "@dirt-grass.png"},
         {65536 * 0 + 0, 65536 + 256, 65536 + 3, 65536, -256}},
        // Names are compared from their last "/" on, so tiles in a folder pair up too.
        {{"@t/dirt.png", "@t/grass.png", "@t/dirt-grass-0110.png", "@t/grassy.png"}, {0, 65792, 256 + 6, 3 * 65792}},
        {{"", "@sand-stone-1111.png"}, {0, 65792}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.textures[2 % row.textures.size()]);
        std::string info;
        for (const std::string &t : row.textures) info += (t.empty() ? "" : "texture " + t + "\n") + "addtile\n";
        SurfaceTile tiles[TERRAIN_MAX_TILES];
        int count = parse_tileinfo(info, tiles);
        ASSERT_EQ(count, (int)row.textures.size());
        tiles_set_corner_codes(tiles, count);
        for (int t = 0; t < count; t++) EXPECT_EQ(tiles[t].corner_code, row.codes[t]) << t;
        tiles_free(tiles, count);
    }
}

TEST_F(TileinfoRead, LoadPrefersTileinfoAndKeepsNamesHeadless) {
    minimal("t", 1);
    put("t", "tileinfo",
        "texture @dirt.png\nfriction 1.0 5\nfriction 0.5 15\naddtile\ntexture @grass.png\naddtile\n"
        "texture @dirt-grass-1000.png\naddtile\n");
    put("t", "tilemap", std::string("\x00\x01\x02\x07", 4));
    ASSERT_TRUE(terrain_load("@t", 2));
    ASSERT_EQ(g_terrain.tile_count, 3);
    EXPECT_STREQ(g_terrain.tiles[2].texture_name, "@dirt-grass-1000.png");
    EXPECT_EQ(g_terrain.tiles[2].corner_code, 264);
    EXPECT_EQ(g_terrain.tiles[0].texture, 0u);
    EXPECT_FLOAT_EQ(tile_friction(terrain_tile_at(1.0f, 1.0f), 10.0f), 0.8125f);
    EXPECT_EQ(warnings(), Lines());
}

}  // namespace
