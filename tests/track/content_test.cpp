// The track content readers, writers and the load order: lighting clamps
// and defaults, billboard colour prefixes, statue orientation and shapes,
// cameras, flaggers, the identity digest, and a track with nothing but its
// terrain.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bike/collide.h"
#include "track/content.h"
#include "track/gates.h"
#include "track/track_fixture.h"

static const float k_pi = 3.14159265f;
static const std::string k_ball = "1\n0 0 0 1 0.5 100 10\n";

class Content : public TrackFixture {
public:
    void SetUp() override {
        TrackFixture::SetUp();
        ContentOptions options = {false, false, 0};
        content_set_options(&options);
        memset(&t, 0, sizeof t);
        shapes_free();
    }
    void TearDown() override {
        track_free(&t);
        track_unload();
        shapes_free();
        TrackFixture::TearDown();
    }
    // A hand-made field of 9 x 9 points one foot apart with heights h(x, z).
    void field(float (*h)(float, float)) {
        terrain_free();
        g_terrain.n = 9;
        g_terrain.spacing = 1;
        g_terrain.world_size = 8;
        g_terrain.heights = (float *)malloc(81 * sizeof(float));
        for (int j = 0; j < 9; j++)
            for (int i = 0; i < 9; i++) g_terrain.heights[j * 9 + i] = h((float)i, (float)j);
    }
    Lighting lighting(const std::string &text) {
        Lighting l = {};
        VfsFile *f = stream(text);
        lighting_read(f, &l);
        vfs_close(f);
        int flares = l.flare_count;
        lighting_free(&l);
        l.flare_count = flares;   // for the checks; nothing left to free
        return l;
    }
    template <typename Reader> int read(const std::string &text, Reader reader) {
        VfsFile *f = stream(text);
        int n = reader(f);
        vfs_close(f);
        return n;
    }
    std::string written(bool (*writer)(const Track *, VfsFile *)) {
        std::string path = dir / "written";
        VfsFile *f = vfs_open(path.c_str(), "wb");
        EXPECT_TRUE(writer(&t, f));
        vfs_close(f);
        std::string text;
        read_file(path, &text);
        return text;
    }
    Track t;
};

TEST_F(Content, LightingClampsAndDefaults) {
    struct Row {
        const char *text;
        float near_plane, far_plane;
    } rows[] = {
        {"", 0.25f, 5000},
        {"near_plane 2\n", 0.875f, 5000},
        {"far_plane 0.1\n", 0.25f, 0.25f},
        {"near_plane 0\nfar_plane 0\n", 1.0f / 1024, 1.0f / 1024},
        {"  \tnear_plane\t 0.5  \r\nfar_plane 2e7\n", 0.5f, 1048576},
        {"near_plane nan\nfar_plane inf\n", 0.25f, 5000},
    };
    for (const Row &row : rows) {
        Lighting l = lighting(row.text);
        EXPECT_FLOAT_EQ(l.near_plane, row.near_plane) << row.text;
        EXPECT_FLOAT_EQ(l.far_plane, row.far_plane) << row.text;
    }

    Lighting d = lighting("");
    float s = 1 / sqrtf(3);
    EXPECT_FLOAT_EQ(d.sun[0], s);
    EXPECT_FLOAT_EQ(d.sun[1], s);
    EXPECT_FLOAT_EQ(d.ambient[2], 0.5f);
    EXPECT_FLOAT_EQ(d.global_ambient[0], 0.2f);
    EXPECT_FLOAT_EQ(d.sun_color[1], 1.0f);
    EXPECT_FALSE(d.dynamic);
    EXPECT_EQ(d.fog_density, 0.0f);
    EXPECT_STREQ(d.sky_names[SKY_NORTH], "@sky-n.ppm");
    EXPECT_STREQ(d.sky_names[SKY_UP], "@sky-u.ppm");
    EXPECT_STREQ(d.sky_names[SKY_ENV], "@sky-env.ppm");
}

TEST_F(Content, LightingKeys) {
    Lighting l = lighting(
        "sun_vector [ 0 3 4 ]\n"
        "sun_color [0.5 0.6 0.7]\n"
        "ambient [ 1 2 ]\n"                  // short: the default stays
        "sky_e  @mysky-e.png  \n"
        "sky_env\n"                          // no name: the default stays
        "dynamic_lighting 2\n"
        "fog [ 0.1 0.2 0.3 ]\n"              // no density: ignored
        "flare_element [1 2] [1 1 1] 0.5 a.png\n"
        "flare_element [1 2] [1 1] 0.5 b.png\n"   // six values: ignored
        "flare_point [ 10 20 30 ]\n"

        "flare_element [1 2] [1 1 1] 0.5 c.png\n"
        "flare_vector [ 0 1 0 ]\n"
        "\n"
        "fog [ 0.4 0.5 0.6 ] 0.01\n");
    EXPECT_FLOAT_EQ(l.sun[1], 0.6f);
    EXPECT_FLOAT_EQ(l.sun[2], 0.8f);
    EXPECT_FLOAT_EQ(l.sun_color[2], 0.7f);
    EXPECT_FLOAT_EQ(l.ambient[0], 0.5f);
    EXPECT_STREQ(l.sky_names[SKY_EAST], "@mysky-e.png");
    EXPECT_STREQ(l.sky_names[SKY_ENV], "@sky-env.ppm");
    EXPECT_TRUE(l.dynamic);
    EXPECT_FLOAT_EQ(l.fog_color[2], 0.6f);
    EXPECT_FLOAT_EQ(l.fog_density, 0.01f);
    EXPECT_EQ(l.flare_count, 2);
    EXPECT_TRUE(warnings().empty());

    // Eight elements at most; the flare keeps its kind and position.
    std::string text;
    for (int i = 0; i < 10; i++) text += "flare_element [1 2] [1 1 1] 0.5 e.png\n";
    Lighting m = {};
    VfsFile *f = stream(text + "flare_vector [0 0 1]\n");
    EXPECT_TRUE(lighting_read(f, &m));
    vfs_close(f);
    ASSERT_EQ(m.flare_count, 1);
    EXPECT_EQ(m.flares[0].element_count, FLARE_MAX_ELEMENTS);
    EXPECT_EQ(m.flares[0].kind, FLARE_DIRECTION);
    EXPECT_FLOAT_EQ(m.flares[0].position[2], 1.0f);

    // The fog colour carries over to a reading without "fog"; the density does not.
    f = stream("near_plane 0.5\n");
    lighting_read(f, &m);
    vfs_close(f);
    EXPECT_FLOAT_EQ(m.fog_color[0], 0.0f);
    m.fog_color[0] = 0.9f;
    m.fog_density = 3;
    f = stream("near_plane 0.5\n");
    lighting_read(f, &m);
    vfs_close(f);
    EXPECT_FLOAT_EQ(m.fog_color[0], 0.9f);
    EXPECT_EQ(m.fog_density, 0.0f);
    EXPECT_EQ(m.flare_count, 0);
    lighting_free(&m);
}

TEST_F(Content, LightingUnknownKeyStopsKeepingWhatWasRead) {
    Lighting l = {};
    VfsFile *f = stream("near_plane 0.5\nsunvector [1 0 0]\nfar_plane 10\n");
    EXPECT_FALSE(lighting_read(f, &l));
    vfs_close(f);
    EXPECT_FLOAT_EQ(l.near_plane, 0.5f);
    EXPECT_FLOAT_EQ(l.far_plane, 5000);
    EXPECT_EQ(warnings(), Lines{"Error reading lighting: Unknown identifier 'sunvector'"});
}

TEST_F(Content, BillboardColourPrefixes) {
    struct Row {
        const char *name;
        const char *texture;     // what is left
        uint8_t r, g, b;         // the colour
    } rows[] = {
        {"#ff8000#tree.png", "tree.png", 255, 128, 0},
        {"#00Aa0f#@x/y.png", "@x/y.png", 0, 170, 15},
        {"#ff8000#", "#ff8000#", 255, 255, 255},
        {"#ff80g0#tree.png", "#ff80g0#tree.png", 255, 255, 255},
        {"#ff800#tree.png", "#ff800#tree.png", 255, 255, 255},
        {"ff8000#tree.png", "ff8000#tree.png", 255, 255, 255},
        {"tree.png", "tree.png", 255, 255, 255},
    };
    std::string text;
    for (const Row &row : rows) text += std::string("[1 0.5 2] 3 0.5 ") + row.name + "\n";
    ASSERT_EQ(read(text, [&](VfsFile *f) { return billboards_read(f, &t); }), 7);
    for (int i = 0; i < 7; i++) {
        const Billboard &b = t.billboards[i];
        EXPECT_STREQ(b.texture_name, rows[i].texture) << rows[i].name;
        EXPECT_EQ(b.color[0], rows[i].r) << rows[i].name;
        EXPECT_EQ(b.color[1], rows[i].g) << rows[i].name;
        EXPECT_EQ(b.color[2], rows[i].b) << rows[i].name;
        EXPECT_EQ(b.color[3], 255);
    }
    EXPECT_EQ(t.billboard_order_count, 14);
}

static float slope(float x, float z) { return 0.5f * x + 0.25f * z; }
static float level(float, float) { return 2.0f; }

TEST_F(Content, StatueOrientation) {
    field(level);
    // On level ground: the model's x axis to (cos a, 0, -sin a), its z axis
    // to (sin a, 0, cos a), up stays up.
    for (float a : {0.0f, 1.0f, k_pi / 2, -2.5f, 3.2f}) {
        float m[9];
        statue_orientation(4, 4, a, m);
        float expect[9] = {cosf(a), 0, sinf(a), 0, 1, 0, -sinf(a), 0, cosf(a)};
        for (int k = 0; k < 9; k++) EXPECT_NEAR(m[k], expect[k], 1e-6) << "angle " << a << " element " << k;
    }
    // Facing the viewer and the vertical override on a slope.
    field(slope);
    float m[9];
    for (float a : {3.25f, 10.0f}) {
        statue_orientation(4, 4, a, m);
        for (int k = 0; k < 9; k++) EXPECT_EQ(m[k], k % 4 == 0 ? 1.0f : 0.0f) << a;
    }
    statue_orientation(4, 4, -7.0f, m);
    EXPECT_NEAR(m[1], 0, 1e-6);
    EXPECT_NEAR(m[4], 1, 1e-6);
    // Otherwise up follows the ground: normalise(-dh/dx, 1, -dh/dz).
    statue_orientation(4, 4, 0.3f, m);
    float n = sqrtf(0.25f + 1 + 0.0625f);
    EXPECT_NEAR(m[1], -0.5f / n, 1e-5);
    EXPECT_NEAR(m[4], 1 / n, 1e-5);
    EXPECT_NEAR(m[7], -0.25f / n, 1e-5);
    // Still a rotation.
    for (int c = 0; c < 3; c++) {
        for (int d = 0; d < 3; d++) {
            float dot = m[c] * m[d] + m[3 + c] * m[3 + d] + m[6 + c] * m[6 + d];
            EXPECT_NEAR(dot, c == d ? 1 : 0, 1e-5);
        }
    }
}

TEST_F(Content, StatuesPlaceShapesAndWarnAboutMissingOnes) {
    field(level);
    write_file(dir / "data/ball.shp", k_ball);
    int n = read("[ 1 0.5 2 ] 0 null null @ball.shp\n"
                 "[3 0 3] 4 @rock.vx @rock.png @gone.shp\n"
                 "[5 0 5] 3.5 null null null\n"
                 "[6 0 6] x null null null\n",
                 [&](VfsFile *f) { return statues_read(f, &t); });
    ASSERT_EQ(n, 3);
    EXPECT_NE(t.statues[0].shape, nullptr);
    EXPECT_FLOAT_EQ(t.statues[0].y, 2.5f);
    EXPECT_EQ(t.statues[0].model_name, nullptr);
    EXPECT_EQ(t.statues[1].shape, nullptr);
    EXPECT_STREQ(t.statues[1].shape_name, "@gone.shp");
    EXPECT_EQ(t.statues[1].model, nullptr);   // no GL: no model
    EXPECT_FLOAT_EQ(t.statues[1].facing_size, 16.0f);
    EXPECT_FLOAT_EQ(t.statues[0].facing_size, 0.0f);
    EXPECT_EQ(warnings(), Lines{"Warning: missing shape file @gone.shp"});
}

TEST_F(Content, NormalAndSpecularMapNames) {
    struct Row {
        const char *texture, *model, *kind;
        const char *names[6];   // "" where there is none
    } rows[] = {
        {"@a/rock.png", "@m/rock.vx", "_norm",
         {"@a/rock_norm.seq", "@a/rock_norm.png", "@a/rock_norm.ppm", "@m/rock_norm.seq", "@m/rock_norm.png",
          "@m/rock_norm.ppm"}},
        {"@a/wall-x-repeat.ppm", "@m.d/wall", "_spec",
         {"@a/wall-x_spec-repeat.seq", "@a/wall-x_spec-repeat.png", "@a/wall-x_spec-repeat.ppm",
          "@m.d/wall_spec.seq", "@m.d/wall_spec.png", "@m.d/wall_spec.ppm"}},
        {nullptr, "@m/x.vx", "_norm", {"", "", "", "@m/x_norm.seq", "@m/x_norm.png", "@m/x_norm.ppm"}},
    };
    for (const Row &row : rows) {
        for (int i = 0; i < 6; i++) {
            char out[256] = "";
            bool got = statue_map_candidate(row.texture, row.model, row.kind, i, out, sizeof out);
            EXPECT_EQ(got, row.names[i][0] != 0) << i;
            if (got) {
                EXPECT_STREQ(out, row.names[i]);
            }
        }
    }
}

TEST_F(Content, CamerasFieldOfViewAndGateMapping) {
    field(level);
    int n = read("fov 60\n"
                 "addcamera 10 2 10\n"
                 "addcamera 20 2 20\n"
                 "  autofovsize -4\n"
                 "fov -70\n"
                 "gate 3 4 5\n"
                 "addcamera 1 1 1\n"
                 "gate 7 300 8\n"
                 "gate\t1 x 2\n"
                 "gates 6\n"
                 "addcamera 1 1\n"
                 "something else\n",
                 [&](VfsFile *f) { return cameras_read(f, &t, 8); });
    ASSERT_EQ(n, 3);
    EXPECT_FLOAT_EQ(t.cameras[0].fov, 60);
    EXPECT_FLOAT_EQ(t.cameras[1].fov, 90);
    EXPECT_FLOAT_EQ(t.cameras[0].y, 4);
    EXPECT_FLOAT_EQ(t.cameras[2].fov, 70);
    EXPECT_FLOAT_EQ(t.cameras[2].auto_fov_size, 4);
    EXPECT_FLOAT_EQ(t.cameras[1].auto_fov_size, 0);
    int expect[TRACK_GATE_CAMERAS];
    for (int &e : expect) e = -1;
    expect[3] = expect[4] = expect[5] = 2;
    // 7 and 1 point past the last camera; 8 and 300 end their lines.
    for (int g = 0; g < TRACK_GATE_CAMERAS; g++) EXPECT_EQ(t.gate_cameras[g], expect[g]) << g;

    // Gates the track does not have are not mapped.
    Track u = {};
    VfsFile *f = stream("gate 1 2\naddcamera 0 0 0\n");
    cameras_read(f, &u, 2);
    vfs_close(f);
    EXPECT_EQ(u.gate_cameras[1], 0);
    EXPECT_EQ(u.gate_cameras[2], -1);
    track_free(&u);
}

TEST_F(Content, FlaggersAndWhatTheyShow) {
    field(level);
    int n = read(" [ 0 1 0 ] [ 4 3 0 ] 5 0.5 2 s0 s1 s2 s3 s4\n"
                 "[8 0 8] 4 0.5 racing half last done\n"
                 "[1 0 1] 4 0.5 0 -5 9 2 ok warn\n"
                 "[2 0 2] 4 0.5 1 1 1 1 ok\n",
                 [&](VfsFile *f) { return flaggers_read(f, &t, 4); });
    EXPECT_EQ(n, 3);
    ASSERT_TRUE(t.starter.present && t.lap_flagger.present);
    ASSERT_EQ(t.gate_flagger_count, 1);
    EXPECT_EQ(t.billboard_count, 3);
    EXPECT_STREQ(t.billboards[t.starter.billboard].texture_name, "s0");
    EXPECT_STREQ(t.billboards[t.lap_flagger.billboard].texture_name, "racing");
    const GateFlagger &g = t.gate_flaggers[0];
    EXPECT_EQ(g.gates[0], 0);
    EXPECT_EQ(g.gates[1], -1);
    EXPECT_EQ(g.gates[2], 3);
    EXPECT_EQ(g.gates[3], 2);

    struct StarterRow {
        double now;
        int picture;
        float x, y;
    } starter_rows[] = {
        {5.05, 0, 0, 3}, {5.2, 1, 0, 3}, {5.5, 2, 0, 3}, {6.0, 3, 0, 3}, {7.0, 3, 2, 4}, {8.0, 4, 4, 5}, {60, 4, 4, 5},
    };
    for (const StarterRow &row : starter_rows) {
        float p[3];
        EXPECT_EQ(starter_picture(&t.starter, row.now, 5, p), row.picture) << row.now;
        EXPECT_FLOAT_EQ(p[0], row.x) << row.now;
        EXPECT_FLOAT_EQ(p[1], row.y) << row.now;
    }

    struct LapRow {
        int completed, laps, half, picture;
    } lap_rows[] = {
        {0, 4, 2, LAP_PICTURE_RACING},  {2, 4, 2, LAP_PICTURE_HALF},     {3, 4, 2, LAP_PICTURE_LAST_LAP},
        {4, 4, 2, LAP_PICTURE_FINISHED}, {1, 2, 1, LAP_PICTURE_LAST_LAP}, {1, 4, 2, LAP_PICTURE_RACING},
    };
    for (const LapRow &row : lap_rows) {
        EXPECT_EQ(lap_flagger_picture(row.completed, row.laps, row.half), row.picture) << row.completed;
    }

    int none[] = {-1, 1}, warn[] = {1, 3};
    EXPECT_EQ(gate_flagger_picture(&g, none, 2), GATE_PICTURE_NORMAL);
    EXPECT_EQ(gate_flagger_picture(&g, warn, 2), GATE_PICTURE_WARNING);
    EXPECT_EQ(gate_flagger_picture(&g, none, 1), GATE_PICTURE_NORMAL);
}

TEST_F(Content, WritersRoundTrip) {
    field(level);
    const std::string billboards = "[1.000000 0.500000 2.000000] 3.000000 0.500000 #ff8000#tree.png\n"
                                   "[4.000000 0.000000 5.000000] 6.000000 1.000000 @sign.png\n"
                                   "[1.000000 0.000000 1.000000] 1.000000 1.000000 #ffffff##00ff00#odd.png\n";
    billboard_add(&t, 0, 0, 0, 1, 1, "flagger.png");   // before the file's: not written
    t.first_file_billboard = 1;
    ASSERT_EQ(read(billboards, [&](VfsFile *f) { return billboards_read(f, &t); }), 3);
    billboard_add(&t, 0, 0, 0, 1, 1, nullptr);   // no texture name: not written
    EXPECT_EQ(written(billboards_write), billboards);

    const std::string statues = "[1.000000 0.500000 2.000000] 0.250000 @m.vx null null\n"
                                "[3.000000 0.000000 4.000000] 5.000000 null @t.png @s.shp\n";
    statue_add(&t, 0, 0, 0, 0, "@gate.vx", nullptr, nullptr);
    t.first_file_statue = 1;
    ASSERT_EQ(read(statues, [&](VfsFile *f) { return statues_read(f, &t); }), 2);
    EXPECT_EQ(written(statues_write), statues);
}

TEST_F(Content, SaveWritesIntoTheTrackAndFailsWithoutOne) {
    EXPECT_FALSE(billboards_save());
    EXPECT_FALSE(statues_save());
    EXPECT_EQ(warnings(), (Lines{"Can't open 'billboards'", "Can't open 'statues'"}));

    minimal("t", 2);
    put("t", "billboards", "[1 2 3] 4 5 a.png\n");
    ASSERT_TRUE(track_load("t", TERRAIN_UPDATE_COPY));
    ASSERT_TRUE(billboards_save());
    std::string text;
    ASSERT_TRUE(read_file(std::string(vfs_data_dir(0)) + "t/billboards", &text));
    EXPECT_EQ(text, "[1.000000 2.000000 3.000000] 4.000000 5.000000 a.png\n");
}

TEST_F(Content, TrackWithNoContentFilesLoads) {
    minimal("plain", 2);
    ASSERT_TRUE(track_load("plain", TERRAIN_UPDATE_COPY));
    EXPECT_STREQ(g_track.name, "plain");
    EXPECT_STREQ(g_track.title, "plain");
    EXPECT_EQ(g_track.billboard_count, TRACK_ROOST_BILLBOARDS);
    EXPECT_EQ(g_track.first_file_billboard, TRACK_ROOST_BILLBOARDS);
    EXPECT_EQ(g_track.billboards[0].texture, 0u);
    EXPECT_EQ(g_track.statue_count, 0);
    EXPECT_EQ(g_track.camera_count, 0);
    EXPECT_FALSE(g_track.has_minimap);
    EXPECT_EQ(g_track.gate_cameras[0], -1);
    EXPECT_FLOAT_EQ(g_track.lighting.far_plane, 5000);
    std::string hf, list, map;
    read_file(dir / "data/plain/terrain.hf", &hf);
    read_file(dir / "data/plain/texturelist", &list);
    read_file(dir / "data/plain/tilemap", &map);
    EXPECT_EQ(hex_of(g_track.digest), hex_digest(hf + list + map));

    track_unload();
    EXPECT_STREQ(g_track.name, "");
    EXPECT_EQ(g_track.billboard_count, 0);
    EXPECT_NE(log_text().find("Finished deallocating track"), std::string::npos);
}

// "timing_gates" enters the digest, fills the gate table, and each starting
// slot gets its gate statue 3 ft ahead of it; unloading empties the table.
TEST_F(Content, TimingGatesAndTheirStartingStatues) {
    minimal("gated", 3);
    std::string gates =
        "startinggate:\n[10 0 20] 0\n[14 0 20] 1.5707963 @post.vx @post.png null\n"
        "checkpoints:\n5 [10 0 5] [0 0 -1]\nfirstlap:\n0\nnormallap:\n0\n";
    put("gated", "timing_gates", gates);
    ASSERT_TRUE(track_load("gated", TERRAIN_UPDATE_COPY));
    EXPECT_EQ(g_gates.gate_count, 1);
    ASSERT_EQ(g_gates.slot_count, 2);
    ASSERT_EQ(g_track.statue_count, 2);
    EXPECT_EQ(g_gates.slots[0].statue, 0);
    EXPECT_NEAR(g_track.statues[0].x, 10, 1e-4);   // facing -z: 3 ft towards -z
    EXPECT_NEAR(g_track.statues[0].z, 17, 1e-4);
    EXPECT_NEAR(g_track.statues[1].x, 11, 1e-4);   // facing -x
    EXPECT_NEAR(g_track.statues[1].z, 20, 1e-4);
    std::string hf, list, map;
    read_file(dir / "data/gated/terrain.hf", &hf);
    read_file(dir / "data/gated/texturelist", &list);
    read_file(dir / "data/gated/tilemap", &map);
    EXPECT_EQ(hex_of(g_track.digest), hex_digest(hf + list + map + gates));
    track_unload();
    EXPECT_EQ(g_gates.gate_count, 0);
    EXPECT_EQ(g_gates.slot_count, 0);
}

TEST_F(Content, TitleMinimapAndFailures) {
    minimal("river", 2);
    put("river", "desc", "Riverside\r\nmore\n");
    put("river", "map.png", "not read without GL");
    ASSERT_TRUE(track_load("river", TERRAIN_UPDATE_COPY));
    EXPECT_STREQ(g_track.title, "Riverside");
    EXPECT_TRUE(g_track.has_minimap);

    // No terrain: the load fails and leaves no track; a name that climbs out
    // of the data is refused.
    put("empty", "billboards", "[1 2 3] 4 5 a.png\n");
    for (const char *name : {"empty", "../data/river", "river/../river", "", "/river"}) {
        EXPECT_FALSE(track_load(name, TERRAIN_UPDATE_COPY)) << name;
        EXPECT_STREQ(g_track.name, "") << name;
        EXPECT_EQ(g_track.billboard_count, 0) << name;
    }
}

TEST_F(Content, StatueShapesEnterTheDigestOnceAndTheBins) {
    minimal("s", 3);
    write_file(dir / "data/ball.shp", k_ball);
    write_file(dir / "data/cube.shp", "1\n1 1 1 2 0.5 100 10\n");
    const std::string statues = "[1 0 1] 0 null null @ball.shp\n"
                                "[9 0 9] 0 null null @cube.shp\n"
                                "[5 0 5] 1 null null ball.shp\n"
                                "[6 0 6] 1 null null @nothere.shp\n";
    put("s", "statues", statues);
    put("s", "lighting", "near_plane 0.5\n");   // not in the digest
    put("s", "cameras", "addcamera 1 1 1\n");
    ASSERT_TRUE(track_load("s", TERRAIN_UPDATE_COPY));
    EXPECT_EQ(g_track.statue_count, 4);
    EXPECT_EQ(objects_count(), 3);
    EXPECT_EQ(g_track.camera_count, 1);
    std::string hf, list, map;
    read_file(dir / "data/s/terrain.hf", &hf);
    read_file(dir / "data/s/texturelist", &list);
    read_file(dir / "data/s/tilemap", &map);
    EXPECT_EQ(hex_of(g_track.digest), hex_digest(hf + list + map + statues + k_ball + "1\n1 1 1 2 0.5 100 10\n"));
    track_unload();
    EXPECT_EQ(objects_count(), 0);
}

TEST_F(Content, DataNamesStayInsideTheData) {
    struct Row {
        const char *name, *out;   // none: refused
    } rows[] = {
        {"tree.png", "@tree.png"},      {"@a/b.png", "@a/b.png"}, {"!@a.png", "!@a.png"},
        {"!a.png", "!@a.png"},          {"/etc/passwd", "@/etc/passwd"}, {"../x.png", nullptr},
        {"@a/../../x", nullptr},        {"a/..", nullptr},        {"", nullptr},
        {"@", nullptr},                 {"a..b/c", "@a..b/c"},
    };
    for (const Row &row : rows) {
        char out[64];
        bool ok = content_data_name(row.name, out, sizeof out);
        EXPECT_EQ(ok, row.out != nullptr) << row.name;
        if (ok && row.out) {
            EXPECT_STREQ(out, row.out) << row.name;
        }
    }
}
