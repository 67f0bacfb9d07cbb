// The terrain: loads of small hand-made track directories (sizes, heights
// from the ":" section and from "terrain.png", shading, shadows, tiles and
// the tile map), the lookups over the triangulation, the curve lookups, the
// "tileinfo" and "texturelist" readers with their warnings, corner codes,
// the level-of-detail errors, re-lighting, and the editor's writer read back.
// Everything runs headless: texture loading is off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/ripemd160.h"
#include "files/image.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "test_util.h"
#include "track/terrain.h"

namespace {

typedef std::vector<std::string> Lines;

std::string ppm(int width, int height, int value) {
    return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
           std::string((size_t)width * height * 3, (char)value);
}

std::string pgm(int width, int height, int value) {
    return "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
           std::string((size_t)width * height, (char)value);
}

std::string le16(const std::vector<uint16_t> &samples) {
    std::string s;
    for (uint16_t u : samples) s += (char)(u & 255), s += (char)(u >> 8);
    return s;
}

std::string hex_digest(const std::string &bytes) {
    Ripemd160 r;
    ripemd160_start(&r);
    ripemd160_add(&r, bytes.data(), bytes.size());
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    char hex[41];
    ripemd160_to_hex(digest, hex);
    return hex;
}

std::string hex_of(const uint8_t digest[RIPEMD160_BYTES]) {
    char hex[41];
    ripemd160_to_hex(digest, hex);
    return hex;
}

int grid_points(int k) { return (2 << k) + 1; }

// A scratch data directory (with its home directory) and the console and
// log captured; the terrain options headless.
class TrackFixture : public testing::Test {
public:
    void SetUp() override {
        use_data_dirs(dir / "xdg", dir / "data");
        unsetenv("ZOLM_LOGFILE_FLAGS");
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
        TerrainOptions options = {0.0025f, 128, false, false, 0};
        terrain_set_options(&options);
    }
    void TearDown() override {
        terrain_free();
        TerrainOptions options = {0.0025f, 128, false, false, 0};
        terrain_set_options(&options);
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }

    void put(const std::string &track, const std::string &file, const std::string &bytes) {
        write_file(dir / ("data/" + track + "/" + file), bytes);
    }
    // A flat track of size k: "terrain.hf" without heights, shading of 100,
    // one tile from "texturelist", a tile map of zeros.
    void minimal(const std::string &track, int k, const std::string &header = "") {
        int n = grid_points(k), r = 1 << k;
        put(track, "terrain.hf", header.empty() ? std::to_string(k) + " 1.5 -2 10\n" : header);
        put(track, "shading.ppm", ppm(n, n, 100));
        put(track, "texturelist", "dirt.png\n");
        put(track, "tilemap", std::string((size_t)r * r, '\0'));
    }

    // The console lines written since SetUp, without their line ends.
    Lines messages() {
        Lines out;
        for (int i = 0; i < g_console.write_index; i++) {
            std::string line = g_console.lines[i];
            if (!line.empty() && line.back() == '\n') line.pop_back();
            out.push_back(line);
        }
        return out;
    }
    // The same less the line every load shows about its update method.
    Lines warnings() {
        Lines out;
        for (const std::string &line : messages()) {
            if (line.rfind("Terrain texture rendering with", 0) != 0) out.push_back(line);
        }
        return out;
    }
    std::string log_text() {
        zolm_log(nullptr);
        std::string text;
        read_file(dir / "log.txt", &text);
        return text;
    }

    // A text file read as a stream.
    VfsFile *stream(const std::string &text) {
        std::string path = dir / ("stream" + std::to_string(streams++));
        write_file(path, text);
        return vfs_open(path.c_str(), "rb");
    }
    int parse_tileinfo(const std::string &text, SurfaceTile *tiles) {
        VfsFile *f = stream(text);
        TileLoad how = {TERRAIN_UPDATE_COPY, false};
        int count = tileinfo_read(f, &how, tiles);
        vfs_close(f);
        return count;
    }
    // Makes the tiles of a tileinfo text the terrain's tiles (TearDown frees them).
    void use_tiles(const std::string &text) {
        terrain_free();
        g_terrain.tile_count = parse_tileinfo(text, g_terrain.tiles);
    }

    ScratchDir dir;
    int streams = 0;
};

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
