#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/image.h"
#include "files/vfs.h"
#include "make_data.h"
#include "make_track.h"
#include "test_util.h"

static const double PI = 3.14159265358979323846;

TEST(MakeTrack, TheFilesAreTheSameEveryRun) {
    std::vector<ArchiveMember> a, b;
    track_add_default_tracks(&a);
    track_add_default_tracks(&b);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_TRUE(a[i].bytes == b[i].bytes) << a[i].name;
        EXPECT_FALSE(a[i].bytes.empty()) << a[i].name;
    }
}

TEST(MakeTrack, TheCourseIsAClosedLapOfTheLengthAsked) {
    const TrackCourse *c = track_course_vovezuzize();
    ASSERT_GT(c->points.size(), 100u);
    EXPECT_GE(c->lap_length, 2500.0f);
    EXPECT_LE(c->lap_length, 5000.0f);
    size_t n = c->points.size();
    double step = c->lap_length / n;
    double walked = 0;
    for (size_t i = 0; i < n; i++) {
        const TrackPoint &p = c->points[i], &q = c->points[(i + 1) % n];
        double d = std::hypot(q.x - p.x, q.z - p.z);
        walked += d;
        // Even steps all the way round, the last one back onto the gate line.
        EXPECT_NEAR(step, d, 0.01) << "at s = " << p.s;
        EXPECT_NEAR(1.0, std::hypot(p.dir_x, p.dir_z), 1e-4);
        EXPECT_NEAR(-std::sin(p.heading), p.dir_x, 1e-4);
        EXPECT_NEAR(-std::cos(p.heading), p.dir_z, 1e-4);
    }
    EXPECT_NEAR(c->lap_length, walked, 1.0);
    EXPECT_EQ(0.0f, c->points[0].s);
    // The whole course lies well inside the field.
    for (const TrackPoint &p : c->points) {
        EXPECT_GT(p.x, 200.0f);
        EXPECT_LT(p.x, 1848.0f);
        EXPECT_GT(p.z, 200.0f);
        EXPECT_LT(p.z, 1848.0f);
    }
}

TEST(MakeTrack, WidthsStartAndCornersAreWithinTheNumbers) {
    const TrackCourse *c = track_course_vovezuzize();
    EXPECT_GE(c->start_straight, 250.0f);
    EXPECT_LE(c->start_straight, 400.0f);
    EXPECT_GE(c->gate_width, 60.0f);
    EXPECT_LE(c->gate_width, 80.0f);
    EXPECT_GE(c->pad_width, 40 * 3.0f);   // a 40-bike gate
    EXPECT_FLOAT_EQ(c->gate_width, c->points[0].width);
    ASSERT_FALSE(c->corners.empty());
    EXPECT_NEAR(c->start_straight, c->corners[0].s_start, 0.01);
    double turned = 0;
    for (const TrackCorner &k : c->corners) {
        turned += k.angle;
        EXPECT_GE(k.radius, 25.0f);
        EXPECT_LE(k.radius, 60.0f);
        EXPECT_TRUE(k.berm == 0 || (k.berm >= 3 && k.berm <= 6)) << k.berm;
    }
    EXPECT_NEAR(2 * PI, turned, 1e-4);
    // Past the start (where it narrows from the gate) and before the run back
    // into the gate, the course is 25-40 ft wide.
    for (const TrackPoint &p : c->points) {
        if (p.s > c->start_straight && p.s < c->lap_length - 200) {
            EXPECT_GE(p.width, 25.0f) << "at s = " << p.s;
            EXPECT_LE(p.width, 40.0f) << "at s = " << p.s;
        }
        EXPECT_LE(p.width, 80.0f);
    }
}

TEST(MakeTrack, DistantPartsOfTheLapKeepApart) {
    const TrackCourse *c = track_course_vovezuzize();
    size_t n = c->points.size();
    for (size_t i = 0; i < n; i += 2) {
        for (size_t j = i + 1; j < n; j += 2) {
            const TrackPoint &p = c->points[i], &q = c->points[j];
            double along = std::fabs(p.s - q.s);
            along = std::min(along, c->lap_length - along);
            if (along < 250) continue;
            double d = std::hypot(p.x - q.x, p.z - q.z);
            ASSERT_GE(d, (p.width + q.width) / 2 + 40) << "s = " << p.s << " and " << q.s;
        }
    }
}

// The ranges of take-off speed, lip angle, gap and face height per kind.
struct JumpRange {
    int kind;
    double deg0, deg1, v0, v1, gap0, gap1, face0, face1;
};
static const JumpRange k_ranges[] = {
    {OBSTACLE_SMALL_DOUBLE, 15, 20, 35, 45, 25, 40, 2, 4},
    {OBSTACLE_DOUBLE, 20, 28, 45, 60, 45, 75, 4, 7},
    {OBSTACLE_TRIPLE, 25, 32, 55, 70, 80, 110, 6, 9},
    {OBSTACLE_TABLE, 18, 25, 40, 60, 35, 60, 4, 7},
    {OBSTACLE_STEP_UP, 30, 35, 35, 45, 20, 35, 5, 8},
};

TEST(MakeTrack, EveryJumpFitsItsTakeOffSpeed) {
    const TrackCourse *c = track_course_vovezuzize();
    int seen[OBSTACLE_WHOOPS + 1] = {};
    for (const TrackObstacle &o : c->obstacles) {
        seen[o.kind]++;
        if (o.kind == OBSTACLE_WHOOPS) {
            EXPECT_GE(o.face_height, 2.0f);
            EXPECT_LE(o.face_height, 4.0f);
            EXPECT_GE(o.spacing, 12.0f);
            EXPECT_LE(o.spacing, 20.0f);
            EXPECT_GE(o.count, 6);
            EXPECT_LE(o.count, 12);
            continue;
        }
        const JumpRange *r = nullptr;
        for (const JumpRange &row : k_ranges)
            if (row.kind == o.kind) r = &row;
        ASSERT_NE(nullptr, r) << o.name;
        double deg = o.lip_angle * 180 / PI;
        EXPECT_GE(deg, r->deg0) << o.name;
        EXPECT_LE(deg, r->deg1) << o.name;
        EXPECT_GE(o.face_height, r->face0) << o.name;
        EXPECT_LE(o.face_height, r->face1) << o.name;
        EXPECT_GE(o.gap, r->gap0) << o.name;
        EXPECT_LE(o.gap, r->gap1) << o.name;
        EXPECT_GE(o.design_speed, r->v0) << o.name;
        EXPECT_LE(o.design_speed, r->v1) << o.name;
        // The flight from the lip at the design speed reaches the landing
        // crest: y(gap) = gap tan(a) - 16 gap^2 / (v cos(a))^2 = rise.
        double v = o.design_speed, a = o.lip_angle, vx = v * std::cos(a);
        double y = o.gap * std::tan(a) - 16.0 * o.gap * o.gap / (vx * vx);
        EXPECT_NEAR(o.rise, y, 0.05) << o.name;
        if (o.kind == OBSTACLE_STEP_UP) {
            EXPECT_GE(o.rise, 4.0f);
            EXPECT_LE(o.rise, 8.0f);
        } else {
            EXPECT_EQ(0.0f, o.rise) << o.name;
            // Landings: a down-slope of 15-30 degrees, 20-40 ft long.
            EXPECT_GE(o.landing_length, 20.0f) << o.name;
            EXPECT_LE(o.landing_length, 40.0f) << o.name;
            EXPECT_GE(o.landing_angle * 180 / PI, 15.0) << o.name;
            EXPECT_LE(o.landing_angle * 180 / PI, 30.0) << o.name;
        }
        // Reachable: out of the corner before at a 45 degree lean, then
        // 12 ft/s^2 (a 450 in second or third) over the run-up.
        EXPECT_GE(o.corner_radius, 25.0f) << o.name;
        double exit2 = 32.0 * o.corner_radius;
        double reach = std::sqrt(exit2 + 2 * 12.0 * o.runup);
        EXPECT_GE(reach, o.design_speed) << o.name;
        // The course's surface really has the lip where it says.
        double base = track_course_at(c, o.s_lip)->base_y;
        EXPECT_NEAR(o.face_height, track_course_surface(c, o.s_lip, 0) - base, 0.3) << o.name;
    }
    EXPECT_EQ(1, seen[OBSTACLE_DOUBLE]);
    EXPECT_EQ(1, seen[OBSTACLE_TRIPLE]);
    EXPECT_EQ(1, seen[OBSTACLE_TABLE]);
    EXPECT_EQ(1, seen[OBSTACLE_STEP_UP]);
    EXPECT_EQ(1, seen[OBSTACLE_WHOOPS]);
    EXPECT_GE(seen[OBSTACLE_SMALL_DOUBLE], 2);   // with their landings, a rhythm section of 4-8
}

TEST(MakeTrack, TheFieldFollowsTheCourse) {
    const TrackCourse *c = track_course_vovezuzize();
    const TrackField *f = track_field_vovezuzize();
    ASSERT_EQ(9, f->k);
    ASSERT_EQ(1025, f->n);
    ASSERT_EQ((size_t)1025 * 1025, f->heights.size());
    int r = 1 << f->k;
    for (size_t i = 0; i < c->points.size(); i += 7) {
        const TrackPoint &p = c->points[i];
        int gi = (int)std::lround(p.x / f->spacing), gj = (int)std::lround(p.z / f->spacing);
        // Dirt under the centre line, heights close to the course's (the grid
        // point lies up to 1.4 ft off the line, and lips are steep).
        EXPECT_EQ(1, f->dirt[(size_t)std::lround(p.z / (2 * f->spacing)) * (r + 1) + std::lround(p.x / (2 * f->spacing))]);
        EXPECT_NEAR(p.y, f->heights[(size_t)gj * f->n + gi], 1.6) << "at s = " << p.s;
    }
}

// Reads a whole file as the game does.
static std::string read_game_file(const char *name) {
    std::string out;
    VfsFile *f = vfs_open(name, "rb");
    if (!f) return out;
    char buffer[65536];
    size_t got;
    while ((got = vfs_read(f, buffer, sizeof buffer)) > 0) out.append(buffer, got);
    vfs_close(f);
    return out;
}

TEST(MakeTrack, FilesHaveTheSizesTheLoaderExpects) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(make_data(dir / "data", &error)) << error;
    use_data_dirs(dir / "xdg", dir / "data");
    ASSERT_TRUE(vfs_find_game_data());

    struct Row {
        const char *track;
        int k;
        int tiles;
        bool shadows;
    };
    static const Row rows[] = {{"vovezuzize", 9, 16, true}, {"flat", 7, 1, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.track);
        std::string base = std::string("@") + row.track + "/";
        std::string hf = read_game_file((base + "terrain.hf").c_str());
        int k = 0, used = 0;
        float s, lo, hi;
        ASSERT_EQ(4, sscanf(hf.c_str(), "%d %f %f %f %n", &k, &s, &lo, &hi, &used));
        EXPECT_EQ(row.k, k);
        int n = (1 << (k + 1)) + 1, r = 1 << k;
        ASSERT_EQ(':', hf[used]);
        EXPECT_EQ((size_t)used + 1 + (size_t)n * n * 2, hf.size());

        std::string map = read_game_file((base + "tilemap").c_str());
        ASSERT_EQ((size_t)r * r, map.size());
        for (char t : map) ASSERT_LT((unsigned char)t, row.tiles);

        std::string info = read_game_file((base + "tileinfo").c_str());
        int tiles = 0;
        for (size_t p = 0; (p = info.find("addtile\n", p)) != std::string::npos; p++) tiles++;
        EXPECT_EQ(row.tiles, tiles);

        VfsFile *f = vfs_open((base + "shadingx2.ppm").c_str(), "rb");
        ASSERT_NE(nullptr, f);
        Image shading = {};
        ASSERT_TRUE(ppm_read_stream(f, &shading)) << image_last_error();
        vfs_close(f);
        EXPECT_EQ(n, shading.width);
        EXPECT_EQ(n, shading.height);
        image_free(&shading);

        f = vfs_open((base + "shadows.pgm").c_str(), "rb");
        EXPECT_EQ(row.shadows, f != nullptr);
        if (f) {
            Image shadows = {};
            ASSERT_TRUE(pgm_read_stream(f, &shadows)) << image_last_error();
            vfs_close(f);
            EXPECT_EQ(n, shadows.width);
            EXPECT_EQ(n, shadows.height);
            image_free(&shadows);
        }
    }
    // The tile pictures the tile table names.
    for (int mask = 0; mask < 16; mask++) {
        char name[64];
        if (mask == 0 || mask == 15)
            snprintf(name, sizeof name, "@%s", mask ? "grass.png" : "dirt.png");
        else
            snprintf(name, sizeof name, "@dirt-grass-%d%d%d%d.png", mask >> 3 & 1, mask >> 2 & 1, mask >> 1 & 1, mask & 1);
        Image tile = {};
        ASSERT_TRUE(image_read_file(name, 0, &tile)) << name;
        EXPECT_EQ(TRACK_TILE_TEXTURE_SIDE, tile.width);
        EXPECT_EQ(TRACK_TILE_TEXTURE_SIDE, tile.height);
        image_free(&tile);
    }
}

TEST(MakeTrack, TileMasksNameTheirCorners) {
    // The table order: dirt, grass, then dirt-grass-MMMM at 1 + mask.
    std::string info = track_tileinfo(false);
    int index = 0;
    size_t p = 0;
    while ((p = info.find("texture @", p)) != std::string::npos) {
        p += 9;
        std::string name = info.substr(p, info.find('\n', p) - p);
        int mask = -1;
        if (name == "dirt.png") mask = 0;
        if (name == "grass.png") mask = 15;
        if (name.rfind("dirt-grass-", 0) == 0) mask = (int)strtol(name.substr(11, 4).c_str(), nullptr, 2);
        ASSERT_GE(mask, 0) << name;
        EXPECT_EQ(index, track_tile_for_mask(mask)) << name;
        index++;
    }
    EXPECT_EQ(16, index);
}

TEST(MakeTrack, ShadingFollowsTheSun) {
    // A level field faces the sun by its y component, with no shadow.
    TrackField flat;
    flat.k = 1;
    flat.n = 5;
    flat.spacing = 2;
    flat.heights.assign(25, 3.0f);
    std::vector<unsigned char> light = track_shadow_light(&flat, &k_track_sun);
    for (unsigned char v : light) EXPECT_EQ(255, v);
    std::string ppm = track_shading_ppm(&flat, &k_track_sun, light);
    ASSERT_EQ(std::string("P6\n5 5\n255\n").size() + 75, ppm.size());
    const TrackSun &s = k_track_sun;
    EXPECT_NEAR(1.0, std::hypot(std::hypot(s.vector[0], s.vector[1]), s.vector[2]), 1e-5);
    int red = (int)((s.color[0] * s.vector[1] + s.ambient[0]) * 0.5 * 255);
    EXPECT_EQ(red, (unsigned char)ppm[11]);
}
