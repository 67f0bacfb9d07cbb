// The terrain: loads of small hand-made track directories (sizes, heights
// from the ":" section and from "terrain.png", shading, shadows, tiles and
// the tile map), the lookups over the triangulation, the level-of-detail
// errors, re-lighting, and the editor's writer read back.
// Everything runs headless: texture loading is off.
#include "track/track_fixture.h"

namespace {


// --- sizes and load failures ----------------------------------------------------------

class TerrainLoad : public TrackFixture {};

TEST_F(TerrainLoad, SizesFollowK) {
    struct Row {
        int k;
        int n;
        int tiles_per_side;
    };
    const Row rows[] = {{0, 3, 1}, {1, 5, 2}, {2, 9, 4}, {6, 129, 64}};
    for (const Row &row : rows) {
        SCOPED_TRACE("k = " + std::to_string(row.k));
        std::string track = "k" + std::to_string(row.k);
        minimal(track, row.k);
        // Two tiles; the tile map alternates so each entry's place shows.
        put(track, "texturelist", "dirt.png\ngrass.png\n");
        std::string map;
        for (int v = 0; v < row.tiles_per_side; v++)
            for (int u = 0; u < row.tiles_per_side; u++) map += (char)((u + 2 * v) % 3 == 0);
        put(track, "tilemap", map);
        ASSERT_TRUE(terrain_load(("@" + track).c_str(), 1));
        EXPECT_EQ(g_terrain.k, row.k);
        EXPECT_EQ(g_terrain.n, row.n);
        EXPECT_FLOAT_EQ(g_terrain.spacing, 1.5f);
        EXPECT_FLOAT_EQ(g_terrain.world_size, 2.0f * row.tiles_per_side * 1.5f);
        EXPECT_FLOAT_EQ(g_terrain.tile_size, 3.0f);
        EXPECT_FLOAT_EQ(g_terrain.min_height, -2.0f);
        EXPECT_FLOAT_EQ(g_terrain.max_height, 10.0f);
        EXPECT_EQ(g_terrain.version, 1);
        EXPECT_EQ(g_terrain.tile_count, 2);
        // Flat at the minimum: no ":" section and no "terrain.png".
        EXPECT_FLOAT_EQ(terrain_height(1.0f, 2.0f), -2.0f);
        for (int v = 0; v < row.tiles_per_side; v++) {
            for (int u = 0; u < row.tiles_per_side; u++) {
                float x = (2.0f * u + 1.0f) * 1.5f, z = (2.0f * v + 1.0f) * 1.5f;
                ASSERT_EQ(terrain_tile_at(x, z), (u + 2 * v) % 3 == 0 ? 1 : 0) << u << "," << v;
            }
        }
        terrain_free();
    }
    EXPECT_EQ(warnings(), Lines());
    EXPECT_EQ(log_text().find("missing"), std::string::npos);
}

TEST_F(TerrainLoad, ShadingMustBeNByN) {
    minimal("t", 6);
    put("t", "shading.ppm", ppm(128, 128, 100));
    EXPECT_FALSE(terrain_load("@t", 1));
    EXPECT_EQ(warnings(), Lines{"Bad shading dimensions (128x128)"});
}

TEST_F(TerrainLoad, FailuresSayWhyAndLeaveTheRecordEmpty) {
    struct Row {
        const char *what;
        std::function<void(TrackFixture *)> spoil;
        Lines messages;
    };
    const Row rows[] = {
        {"no terrain.hf", [](TrackFixture *f) { remove((f->dir / "data/t/terrain.hf").c_str()); },
         {"Can't open '@t/terrain.hf'"}},
        {"short header", [](TrackFixture *f) { f->put("t", "terrain.hf", "1 2.0 0\n"); },
         {"Bad height field parameters", "Error reading heights"}},
        {"k too large", [](TrackFixture *f) { f->put("t", "terrain.hf", "13 1 0 1\n"); },
         {"Bad height field parameters", "Error reading heights"}},
        {"spacing 0", [](TrackFixture *f) { f->put("t", "terrain.hf", "1 0 0 1\n"); },
         {"Bad height field parameters", "Error reading heights"}},
        {"no shading", [](TrackFixture *f) { remove((f->dir / "data/t/shading.ppm").c_str()); },
         {"Can't open '@t/shading.ppm'"}},
        {"shading P3", [](TrackFixture *f) { f->put("t", "shading.ppm", "P3\n5 5\n255\n0 0 0\n"); },
         {"Error reading shading"}},
        {"shading 4x4", [](TrackFixture *f) { f->put("t", "shading.ppm", ppm(4, 4, 0)); },
         {"Bad shading dimensions (4x4)"}},
        {"shadows P2", [](TrackFixture *f) { f->put("t", "shadows.pgm", "P2\n5 5\n255\n0\n"); },
         {"Error reading shadows"}},
        {"shadows 4x4", [](TrackFixture *f) { f->put("t", "shadows.pgm", pgm(4, 4, 0)); }, {}},
        {"no tile files", [](TrackFixture *f) { remove((f->dir / "data/t/texturelist").c_str()); },
         {"Can't open '@t/texturelist'"}},
        {"no tilemap", [](TrackFixture *f) { remove((f->dir / "data/t/tilemap").c_str()); },
         {"Can't open '@t/tilemap'"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        minimal("t", 1);
        row.spoil(this);
        console_clear();
        EXPECT_FALSE(terrain_load("@t", 2));
        EXPECT_EQ(warnings(), row.messages);
        EXPECT_EQ(g_terrain.heights, nullptr);
        EXPECT_EQ(g_terrain.shading, nullptr);
        EXPECT_EQ(g_terrain.n, 0);
        EXPECT_EQ(g_terrain.tile_count, 0);
        EXPECT_EQ(g_terrain.ground_texture_size, TERRAIN_GROUND_TEXTURE_SIZE);
        remove((dir / "data/t/shadows.pgm").c_str());
    }
    EXPECT_NE(log_text().find("Bad shadow dimensions (4x4)\n"), std::string::npos);
}

TEST_F(TerrainLoad, CompressedHeightFieldIsFound) {
    minimal("t", 1);
    remove((dir / "data/t/terrain.hf").c_str());
    put("t", "terrain.hf.gz", gzip_bytes("1 2 0 65535\n:" + le16(std::vector<uint16_t>(25, 7))));
    ASSERT_TRUE(terrain_load("@t", 1));
    EXPECT_FLOAT_EQ(terrain_height(3.0f, 3.0f), 7.0f);
}

TEST_F(TerrainLoad, UpdateMethodSizeAndShaders) {
    struct Row {
        int requested, texture_size;
        bool shader_method;
        int method, size;
        bool shaders;
        const char *message;
    };
    // Headless there is no framebuffer object, so method 3 becomes method 1.
    const Row rows[] = {
        {1, 512, false, 1, 256, false, "Terrain texture rendering with TexSubImage"},
        {1, 512, true, 1, 256, false, "Terrain texture rendering with TexSubImage"},
        {2, 512, true, 2, 256, true, "Terrain texture rendering with CopyTexSubImage"},
        {2, 64, false, 2, 64, false, "Terrain texture rendering with CopyTexSubImage"},
        {3, 1024, true, 1, 256, false, "Terrain texture rendering with TexSubImage"},
    };
    minimal("t", 1);
    put("t", "shadows.pgm", pgm(5, 5, 55));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.message);
        TerrainOptions options = {0.0025f, row.texture_size, row.shader_method, false, 0};
        terrain_set_options(&options);
        console_clear();
        ASSERT_TRUE(terrain_load("@t", row.requested));
        EXPECT_EQ(messages(), Lines{row.message});
        EXPECT_EQ(g_terrain.update_method, row.method);
        EXPECT_EQ(g_terrain.ground_texture_size, row.size);
        EXPECT_EQ(g_terrain.terrain_shaders, row.shaders);
        ASSERT_EQ(g_terrain.normal_map != nullptr, row.shaders);
        if (row.shaders) {
            // Flat ground: the normal points straight up; the light is 255 - shadow.
            for (int p = 0; p < 25; p++) {
                ASSERT_EQ(g_terrain.normal_map[p * 3 + 0], 128);
                ASSERT_EQ(g_terrain.normal_map[p * 3 + 1], 55);
                ASSERT_EQ(g_terrain.normal_map[p * 3 + 2], 128);
            }
        }
    }
}

// --- heights ----------------------------------------------------------------------------

class TerrainHeights : public TrackFixture {
protected:
    // k = 1 (N = 5), spacing 2, heights equal to the samples (range 0..65535).
    void load_samples(const std::vector<uint16_t> &samples) {
        minimal("t", 1, "1 2 0 65535\n:" + le16(samples));
        ASSERT_TRUE(terrain_load("@t", 1));
    }
    static std::vector<uint16_t> field(const std::function<int(int, int)> &height) {
        std::vector<uint16_t> samples(25);
        for (int j = 0; j < 5; j++)
            for (int i = 0; i < 5; i++) samples[j * 5 + i] = (uint16_t)height(i, j);
        return samples;
    }
};

TEST_F(TerrainHeights, OnAndBesideDiagonalsAndOutside) {
    // One raised point inside, and raised corners for the edges.
    load_samples(field([](int i, int j) {
        if (i == 1 && j == 1) return 8;
        if (i == 0 && j == 4) return 16;
        if (i == 4 && j == 4) return 24;
        if (i == 4 && j == 0) return 32;
        return 0;
    }));
    struct Row {
        float x, z, height;
        const char *where;
    };
    const Row rows[] = {
        // Cell (0, 0), i + j even: split from (0, 0) to (1, 1), so the raised
        // corner (1, 1) lifts both halves.
        {1.0f, 1.0f, 4.0f, "even cell, on the diagonal"},
        {1.5f, 0.5f, 2.0f, "even cell, below the diagonal"},
        {0.5f, 1.5f, 2.0f, "even cell, above the diagonal"},
        {0.5f, 0.5f, 2.0f, "even cell, near (0, 0)"},
        // Cell (1, 0), odd: split from (2, 0) to (1, 1).
        {2.5f, 0.5f, 2.0f, "odd cell, first triangle"},
        {3.0f, 1.0f, 4.0f, "odd cell, on the diagonal"},
        {3.5f, 1.5f, 2.0f, "odd cell, second triangle"},
        {3.75f, 0.5f, 1.0f, "odd cell, second triangle near (2, 0)"},
        {3.5f, 0.25f, 1.0f, "odd cell, first triangle near (2, 0)"},
        {4.0f, 4.0f, 0.0f, "grid point (2, 2)"},
        {2.0f, 2.0f, 8.0f, "grid point (1, 1)"},
        // Outside: the nearest edge points.
        {-10.0f, 8.0f, 16.0f, "left of (0, 4)"},
        {-10.0f, 7.0f, 8.0f, "left of between (0, 3) and (0, 4)"},
        {20.0f, 20.0f, 24.0f, "beyond (4, 4)"},
        {12.0f, -3.0f, 32.0f, "beyond (4, 0)"},
        {1e30f, -1e30f, 32.0f, "far beyond (4, 0)"},
        {NAN, 8.0f, 16.0f, "NaN x: the left edge"},
    };
    for (const Row &row : rows) EXPECT_FLOAT_EQ(terrain_height(row.x, row.z), row.height) << row.where;
}

TEST_F(TerrainHeights, NormalsOfPlaneAndDiagonal) {
    // A plane h = 3i + 5j: slopes 1.5 along x and 2.5 along z (spacing 2),
    // so every triangle's normal is s^2 * (-1.5, 1, -2.5).
    load_samples(field([](int i, int j) { return 3 * i + 5 * j; }));
    const float points[][2] = {{1.5f, 0.5f}, {0.5f, 1.5f}, {2.5f, 0.5f}, {3.5f, 1.5f}, {5.0f, 7.0f}, {7.9f, 0.1f}};
    for (const auto &p : points) {
        TerrainVec v = terrain_normal(p[0], p[1]);
        EXPECT_FLOAT_EQ(v.x, -6.0f) << p[0] << "," << p[1];
        EXPECT_FLOAT_EQ(v.y, 4.0f);
        EXPECT_FLOAT_EQ(v.z, -10.0f);
        EXPECT_FLOAT_EQ(terrain_height(p[0], p[1]), 1.5f * p[0] + 2.5f * p[1]);
    }
    TerrainVec unit = terrain_vertex_normal(2, 2);
    float length = sqrtf(1.5f * 1.5f + 1.0f + 2.5f * 2.5f);
    EXPECT_NEAR(unit.x, -1.5f / length, 1e-6);
    EXPECT_NEAR(unit.y, 1.0f / length, 1e-6);
    EXPECT_NEAR(unit.z, -2.5f / length, 1e-6);

    terrain_free();
    load_samples(field([](int i, int j) { return i == 1 && j == 1 ? 8 : 0; }));
    struct Row {
        float x, z;
        TerrainVec normal;
    };
    const Row rows[] = {
        {1.0f, 1.0f, {0.0f, 4.0f, -16.0f}},   // on the even diagonal: the first (lower) triangle
        {0.9f, 1.1f, {-16.0f, 4.0f, 0.0f}},   // just above it
        {3.0f, 1.0f, {0.0f, 4.0f, -16.0f}},   // on the odd diagonal: the first triangle
        {3.1f, 1.1f, {16.0f, 4.0f, 0.0f}},    // just past it: the second
    };
    for (const Row &row : rows) {
        TerrainVec v = terrain_normal(row.x, row.z);
        EXPECT_FLOAT_EQ(v.x, row.normal.x) << row.x << "," << row.z;
        EXPECT_FLOAT_EQ(v.y, row.normal.y) << row.x << "," << row.z;
        EXPECT_FLOAT_EQ(v.z, row.normal.z) << row.x << "," << row.z;
    }
    TerrainVec flat = terrain_vertex_normal(3, 3);
    EXPECT_FLOAT_EQ(flat.x, 0.0f);
    EXPECT_FLOAT_EQ(flat.y, 1.0f);
    EXPECT_FLOAT_EQ(flat.z, 0.0f);
}

TEST_F(TerrainHeights, SectionDigestAndShortSection) {
    std::vector<uint16_t> samples = field([](int i, int j) { return 1000 * i + 300 * j + 0x1200; });
    load_samples(samples);
    EXPECT_EQ(hex_of(g_terrain.height_digest), hex_digest(le16(samples)));
    terrain_free();

    // Two and a half samples short: the missing ones are at the minimum height.
    minimal("t", 1, "1 2 -4 65531\n:" + le16(samples).substr(0, 45));
    ASSERT_TRUE(terrain_load("@t", 1));
    EXPECT_FLOAT_EQ(g_terrain.heights[21], samples[21] - 4.0f);
    EXPECT_FLOAT_EQ(g_terrain.heights[22], -4.0f);
    EXPECT_FLOAT_EQ(g_terrain.heights[24], -4.0f);
    std::vector<uint16_t> used(samples.begin(), samples.begin() + 22);
    used.resize(25, 0);
    EXPECT_EQ(hex_of(g_terrain.height_digest), hex_digest(le16(used)));
    EXPECT_NE(log_text().find("@t/terrain.hf: 3 of 25 height samples missing"), std::string::npos);
}

TEST_F(TerrainHeights, PngSamplesRepeatTheirLastColumnAndRow) {
    // A 3 x 2 picture for a 5 x 5 field.
    const std::vector<uint16_t> picture = {10, 20, 30, 40, 50, 60};
    minimal("t", 1, "1 2 0 65535\n");
    ASSERT_TRUE(png_write_gray16((dir / "data/t/terrain.png").c_str(), picture.data(), 3, 2));
    ASSERT_TRUE(terrain_load("@t", 1));
    std::vector<uint16_t> expected;
    for (int j = 0; j < 5; j++) {
        for (int i = 0; i < 5; i++) {
            uint16_t u = picture[(j < 1 ? j : 1) * 3 + (i < 2 ? i : 2)];
            expected.push_back(u);
            ASSERT_FLOAT_EQ(g_terrain.heights[j * 5 + i], (float)u) << i << "," << j;
        }
    }
    EXPECT_EQ(hex_of(g_terrain.height_digest), hex_digest(le16(expected)));
    EXPECT_EQ(warnings(), Lines());
}

// --- shading, shadows and the tile map --------------------------------------------------

class TerrainMaps : public TrackFixture {};

TEST_F(TerrainMaps, ShadingHalvedOnlyFromShadingPpm) {
    struct Row {
        const char *file;
        int stored, loaded;
    };
    const Row rows[] = {{"shading.ppm", 255, 127}, {"shading.ppm", 100, 50}, {"shadingx2.ppm", 255, 255},
                        {"shadingx2.ppm", 101, 101}};
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + std::to_string(row.stored));
        minimal("t", 1);
        remove((dir / "data/t/shadingx2.ppm").c_str());
        put("t", row.file, ppm(5, 5, row.stored));
        ASSERT_TRUE(terrain_load("@t", 1));
        for (int b = 0; b < 75; b++) ASSERT_EQ(g_terrain.shading[b], row.loaded);
        terrain_free();
    }
}

TEST_F(TerrainMaps, ShadowsAreInvertedLight) {
    minimal("t", 1);
    ASSERT_TRUE(terrain_load("@t", 1));
    for (int p = 0; p < 25; p++) ASSERT_EQ(g_terrain.shadow[p], 0);
    terrain_free();
    put("t", "shadows.pgm", pgm(5, 5, 55));
    ASSERT_TRUE(terrain_load("@t", 1));
    for (int p = 0; p < 25; p++) ASSERT_EQ(g_terrain.shadow[p], 200);
}

TEST_F(TerrainMaps, TileMapEntriesAreCutToTheLastTile) {
    minimal("t", 1);
    std::string info;
    for (int t = 0; t < 12; t++) info += "texture @tile" + std::to_string(t) + ".png\naddtile\n";
    put("t", "tileinfo", info);
    put("t", "tilemap", std::string("\x05\xc8\x0b\x0c", 4));
    ASSERT_TRUE(terrain_load("@t", 1));
    ASSERT_EQ(g_terrain.tile_count, 12);
    EXPECT_EQ(std::vector<int>(g_terrain.tile_map, g_terrain.tile_map + 4), (std::vector<int>{5, 11, 11, 11}));
    // Tile squares are 3 ft (spacing 1.5); outside the field the edge squares.
    EXPECT_EQ(terrain_tile_at(1.0f, 1.0f), 5);
    EXPECT_EQ(terrain_tile_at(5.0f, 1.0f), 11);
    EXPECT_EQ(terrain_tile_at(2.99f, 2.99f), 5);
    EXPECT_EQ(terrain_tile_at(3.0f, 2.99f), 11);
    EXPECT_EQ(terrain_tile_at(-3.0f, 2.99f), 5);
    EXPECT_EQ(terrain_tile_at(100.0f, -100.0f), 11);
    EXPECT_EQ(terrain_tile_at(NAN, 7.0f), 11);
}

TEST_F(TerrainMaps, ShortTileMapAndNoTiles) {
    minimal("t", 1);
    put("t", "texturelist", "a.png\nb.png\n");
    put("t", "tilemap", "\x01\x01");
    ASSERT_TRUE(terrain_load("@t", 1));
    EXPECT_EQ(std::vector<int>(g_terrain.tile_map, g_terrain.tile_map + 4), (std::vector<int>{1, 1, 0, 0}));
    terrain_free();
    put("t", "texturelist", "\n   \n");
    put("t", "tilemap", "\x01\x02\x03\x04");
    ASSERT_TRUE(terrain_load("@t", 1));
    EXPECT_EQ(g_terrain.tile_count, 0);
    EXPECT_EQ(std::vector<int>(g_terrain.tile_map, g_terrain.tile_map + 4), (std::vector<int>{0, 0, 0, 0}));
    std::string log = log_text();
    EXPECT_NE(log.find("@t/tilemap: 2 of 4 entries missing; they are tile 0"), std::string::npos);
    EXPECT_NE(log.find("@t: no ground tiles"), std::string::npos);
}

TEST_F(TerrainMaps, RelightFollowsSunShadowAndAmbient) {
    minimal("t", 1);
    std::string light(25, (char)255);
    light[12] = 0;   // point (2, 2) fully shadowed
    put("t", "shadows.pgm", "P5\n5 5\n255\n" + light);
    TerrainOptions options = {0.0025f, 128, true, false, 0};
    terrain_set_options(&options);
    ASSERT_TRUE(terrain_load("@t", 2));
    ASSERT_NE(g_terrain.normal_map, nullptr);
    TerrainLight sun = {{0.0f, 1.0f, 0.0f}, {1.0f, 0.8f, 0.0f}, {0.5f, 0.5f, 2.0f}};
    terrain_relight(-3, 1, 100, 2, &sun);
    struct Row {
        int i, j;
        int rgb[3];
    };
    const Row rows[] = {
        {0, 1, {191, 165, 255}},   // (1 * 1 + 0.5) / 2 * 255, (0.8 + 0.5) / 2 * 255, capped
        {2, 2, {63, 63, 255}},     // shadowed: the ambient alone
        {2, 0, {50, 50, 50}},      // outside the rectangle: as loaded (100 halved)
        {2, 3, {50, 50, 50}},
    };
    for (const Row &row : rows) {
        const uint8_t *p = g_terrain.shading + (row.j * 5 + row.i) * 3;
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>(row.rgb, row.rgb + 3))) << row.i << "," << row.j;
    }
    EXPECT_EQ(g_terrain.normal_map[12 * 3 + 1], 0);
    EXPECT_TRUE(g_terrain.stale);
    EXPECT_EQ((std::vector<int>{g_terrain.stale_i0, g_terrain.stale_j0, g_terrain.stale_i1, g_terrain.stale_j1}),
              (std::vector<int>{0, 1, 4, 2}));
    terrain_relight(1, 3, 1, 3, &sun);
    EXPECT_EQ((std::vector<int>{g_terrain.stale_i0, g_terrain.stale_j0, g_terrain.stale_i1, g_terrain.stale_j1}),
              (std::vector<int>{0, 1, 4, 3}));
}

// --- the editor's writer ------------------------------------------------------------------

class TerrainSave : public TrackFixture {};

TEST_F(TerrainSave, WrittenFilesLoadBack) {
    std::vector<uint16_t> samples(25);
    for (int p = 0; p < 25; p++) samples[p] = (uint16_t)(p * 2730);   // 0 .. 65520
    samples[7] = 65535;
    minimal("t", 1, "1 2 -10 30\n:" + le16(samples));
    std::string shading;
    for (int b = 0; b < 75; b++) shading += (char)(b * 3);
    put("t", "shadingx2.ppm", "P6\n5 5\n255\n" + shading);
    put("t", "texturelist", "a.png\nb.png\nc.png\n");
    put("t", "tilemap", std::string("\x02\x00\x01\x02", 4));
    ASSERT_TRUE(terrain_load("@t", 1));
    g_terrain.heights[3] = 31.0f;   // a new highest point
    std::vector<float> heights(g_terrain.heights, g_terrain.heights + 25);
    ASSERT_TRUE(terrain_save());
    EXPECT_FLOAT_EQ(g_terrain.max_height, 31.0f);
    EXPECT_FLOAT_EQ(g_terrain.min_height, -10.0f);

    std::string home = dir / "xdg/Quorvin/t/";
    std::string text;
    ASSERT_TRUE(read_file(home + "terrain.hf", &text));
    EXPECT_EQ(text, "1 2.000000 -10.000000 31.000000\n");
    ASSERT_TRUE(read_file(home + "shadingx2.ppm", &text));
    EXPECT_EQ(text, "P6\n5 5\n255\n" + shading);
    ASSERT_TRUE(read_file(home + "shading.ppm", &text));
    std::string doubled;
    for (int b = 0; b < 75; b++) doubled += (char)(b * 6 < 255 ? b * 6 : 255);
    EXPECT_EQ(text, "P6\n5 5\n255\n" + doubled);
    ASSERT_TRUE(read_file(home + "tilemap", &text));
    EXPECT_EQ(text, std::string("\x02\x00\x01\x02", 4));
    uint16_t *png = nullptr;
    int width = 0, height = 0;
    ASSERT_TRUE(png_read_gray16((home + "terrain.png").c_str(), &png, &width, &height));
    EXPECT_EQ(width, 5);
    EXPECT_EQ(png[0], 0);
    EXPECT_EQ(png[3], 65535);
    free(png);

    // The home directory comes first, so the saved track is what loads now.
    terrain_free();
    ASSERT_TRUE(terrain_load("@t", 1));
    for (int p = 0; p < 25; p++) EXPECT_NEAR(g_terrain.heights[p], heights[p], 41.0f / 65535.0f) << p;
    EXPECT_EQ(std::string((const char *)g_terrain.shading, 75), shading);
    EXPECT_EQ(std::string((const char *)g_terrain.tile_map, 4), std::string("\x02\x00\x01\x02", 4));

    // Saved again unchanged, the files are the same bytes.
    std::string first_png;
    ASSERT_TRUE(read_file(home + "terrain.png", &first_png));
    ASSERT_TRUE(terrain_save());
    ASSERT_TRUE(read_file(home + "terrain.png", &text));
    EXPECT_EQ(text, first_png);
}

TEST_F(TerrainSave, FlatFieldIsZeros) {
    minimal("t", 0);
    ASSERT_TRUE(terrain_load("@t", 1));
    ASSERT_TRUE(terrain_save());
    uint16_t *png = nullptr;
    int width = 0, height = 0;
    ASSERT_TRUE(png_read_gray16((dir / "xdg/Quorvin/t/terrain.png").c_str(), &png, &width, &height));
    EXPECT_EQ(std::vector<uint16_t>(png, png + 9), std::vector<uint16_t>(9, 0));
    free(png);
}

// --- the level-of-detail errors -------------------------------------------------------------

class TerrainLod : public TrackFixture {};

TEST_F(TerrainLod, LeavesFromTheGapParentsCoverChildrenAndNeighbours) {
    // k = 2 (N = 9), spacing 1, world 8; one point 2 ft up at (3, 3) inside
    // leaf (1, 1), one 1 ft up at (5, 3) inside leaf (2, 1).
    std::vector<uint16_t> samples(81, 0);
    samples[3 * 9 + 3] = 2;
    samples[3 * 9 + 5] = 1;
    minimal("t", 2, "2 1 0 65535\n:" + le16(samples));
    for (float detail : {0.0025f, 0.01f}) {
        SCOPED_TRACE(detail);
        TerrainOptions options = {detail, 128, false, false, 0};
        terrain_set_options(&options);
        ASSERT_TRUE(terrain_load("@t", 1));
        ASSERT_EQ(g_terrain.lod_version, g_terrain.version);
        const float *e = g_terrain.lod_error;
        int leaves = terrain_lod_level_start(2);
        ASSERT_EQ(leaves, 5);
        ASSERT_EQ(terrain_lod_node_count(2), 21);
        auto leaf = [](float gap, float detail) {
            float reach = gap / detail + 0.7071068f * 2.0f;
            return reach * reach;
        };
        for (int b = 0; b < 4; b++) {
            for (int a = 0; a < 4; a++) {
                float gap = a == 1 && b == 1 ? 2.0f : a == 2 && b == 1 ? 1.0f : 0.0f;
                EXPECT_FLOAT_EQ(e[leaves + a + b * 4], leaf(gap, detail)) << a << "," << b;
            }
        }
        // Each parent: the largest of its own value, its children's, and the
        // reach of the nodes beside its children.
        static const int beside[8][2] = {{0, -1}, {1, -1}, {2, 0}, {2, 1}, {1, 2}, {0, 2}, {-1, 1}, {-1, 0}};
        for (int d = 1; d >= 0; d--) {
            int side = 1 << d;
            float size = 8.0f / side;
            for (int b = 0; b < side; b++) {
                for (int a = 0; a < side; a++) {
                    auto at = [&](int x, int z) {
                        int s2 = side * 2;
                        return x < 0 || z < 0 || x >= s2 || z >= s2 ? 0.0f
                                                                    : e[terrain_lod_level_start(d + 1) + x + z * s2];
                    };
                    // The node's own gap: the two raised points against its corners' plane.
                    float gap = 0.0f;
                    if (d == 1 && a == 0 && b == 0) gap = 2.0f;
                    if (d == 1 && a == 1 && b == 0) gap = 1.0f;
                    if (d == 0) gap = 2.0f;
                    float own = (gap / detail + 0.7071068f * size) * (gap / detail + 0.7071068f * size);
                    float expected = own, m = 0.0f;
                    for (int c = 0; c < 4; c++) expected = fmaxf(expected, at(2 * a + (c & 1), 2 * b + (c >> 1)));
                    for (const auto &o : beside) m = fmaxf(m, at(2 * a + o[0], 2 * b + o[1]));
                    float reach = sqrtf(m) + 1.5811388f * size / 2.0f;
                    expected = fmaxf(expected, reach * reach);
                    EXPECT_FLOAT_EQ(e[terrain_lod_level_start(d) + a + b * side], expected) << d << ":" << a << "," << b;
                }
            }
        }
        for (int bit = 0; bit < 21; bit++) ASSERT_EQ(g_terrain.node_flags[bit / 8] & (1 << bit % 8), 0);
        terrain_free();
    }
}
}  // namespace
