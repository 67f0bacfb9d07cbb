// The content of the default tracks as the game loads it: no warnings, the
// bales in the collision bins, nothing standing on the riding surface, every
// gate watched by a camera, every named file present.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bike/collide.h"
#include "core/console.h"
#include "files/texture.h"
#include "files/vfs.h"
#include "make_data.h"
#include "make_track.h"
#include "platform/log.h"
#include "test_util.h"
#include "track/content.h"
#include "track/gates.h"
#include "track/terrain.h"

namespace {

// The data set, written once for the suite.
class MakeContent : public testing::Test {
public:
    static void SetUpTestSuite() {
        s_dir.reset(new ScratchDir);
        for (const DataArchive &a : make_data_set()) {
            std::string error;
            ASSERT_TRUE(archive_write(a.members, *s_dir / ("data/" + a.file), &error)) << error;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        use_data_dirs(*s_dir / "xdg", *s_dir / "data");
        unsetenv("ZOLM_LOGFILE_FLAGS");
        setenv("ZOLM_LOGFILE", (*s_dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
        TerrainOptions terrain = {0.0025f, 128, false, false, 0};
        terrain_set_options(&terrain);
        ContentOptions content = {false, false, 0};
        content_set_options(&content);
    }
    void TearDown() override {
        track_unload();
        shapes_free();
        textures_free();
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }

    // The console lines of the load less the one every load shows.
    std::vector<std::string> warnings() {
        std::vector<std::string> out;
        for (int i = 0; i < g_console.write_index; i++) {
            std::string line = g_console.lines[i];
            if (line.rfind("Terrain texture rendering with", 0) != 0) out.push_back(line);
        }
        return out;
    }

    static std::unique_ptr<ScratchDir> s_dir;
};
std::unique_ptr<ScratchDir> MakeContent::s_dir;

std::string join(const std::vector<std::string> &lines) {
    std::string out;
    for (const std::string &l : lines) out += l + "|";
    return out;
}

// Feet from (x, z) to the edge of the riding surface, over the whole lap
// (negative on it).
float off_course(const TrackCourse *c, float x, float z) {
    float best = 1e9f;
    for (const TrackPoint &p : c->points) best = std::fmin(best, std::hypot(x - p.x, z - p.z) - p.width / 2);
    return best;
}

}  // namespace

TEST_F(MakeContent, EveryDefaultTrackLoadsWithoutAWarning) {
    static const struct {
        const char *name;
        int min_billboards, min_statues, cameras;
        bool flaggers, minimap;
    } tracks[] = {
        {"vovezuzize", 60, 40, 5, true, true},
        {"flat", 10, 0, 3, false, false},
    };
    for (const auto &t : tracks) {
        console_clear();
        ASSERT_TRUE(track_load(t.name, TERRAIN_UPDATE_SOFTWARE)) << t.name;
        EXPECT_EQ("", join(warnings())) << t.name;
        const Track &k = g_track;
        EXPECT_GE(k.billboard_count - k.first_file_billboard, t.min_billboards) << t.name;
        EXPECT_GE(k.statue_count - k.first_file_statue, t.min_statues) << t.name;
        EXPECT_EQ(t.cameras, k.camera_count) << t.name;
        EXPECT_EQ(t.flaggers, k.starter.present) << t.name;
        EXPECT_EQ(t.flaggers, k.lap_flagger.present) << t.name;
        EXPECT_EQ(t.minimap, k.has_minimap) << t.name;
        // The sun of the lighting is the one the shading was baked for.
        for (int i = 0; i < 3; i++) {
            EXPECT_NEAR(k_track_sun.vector[i], k.lighting.sun[i], 1e-5) << t.name;
            EXPECT_NEAR(k_track_sun.color[i], k.lighting.sun_color[i], 1e-5) << t.name;
            EXPECT_NEAR(k_track_sun.ambient[i], k.lighting.ambient[i], 1e-5) << t.name;
        }
        // Every statue with a shape (starting gates and bales) is in the bins.
        int shaped = 0;
        for (int i = 0; i < k.statue_count; i++) {
            shaped += k.statues[i].shape ? 1 : 0;
            if (i >= k.first_file_statue) EXPECT_NE(nullptr, k.statues[i].shape) << t.name << " statue " << i;
        }
        EXPECT_EQ(shaped, objects_count()) << t.name;
        EXPECT_EQ(g_gates.slot_count + k.statue_count - k.first_file_statue, shaped) << t.name;
        // Each gate has a camera, which stands within sight of it; no
        // number past the gates is mapped.
        for (int g = 0; g < TRACK_GATE_CAMERAS; g++) {
            int cam = k.gate_cameras[g];
            if (g >= g_gates.gate_count) {
                EXPECT_EQ(-1, cam) << t.name << " gate " << g;
                continue;
            }
            ASSERT_TRUE(cam >= 0 && cam < k.camera_count) << t.name << " gate " << g;
            const TimingGate &gate = g_gates.gates[g];
            const TrackCamera &c = k.cameras[cam];
            EXPECT_LT(std::hypot(c.x - gate.x, c.z - gate.z), 500.0f) << t.name << " gate " << g;
            EXPECT_GT(c.y, terrain_height(c.x, c.z) + 5.0f) << t.name << " camera " << cam;
        }
        for (int i = 0; i < k.gate_flagger_count; i++) {
            for (int g : k.gate_flaggers[i].gates) EXPECT_TRUE(g >= -1 && g < g_gates.gate_count) << t.name;
            EXPECT_GE(k.gate_flaggers[i].gates[0], 0) << t.name << " gate flagger " << i;
        }
        track_unload();
    }
}

TEST_F(MakeContent, NothingStandsOnTheRidingSurface) {
    ASSERT_TRUE(track_load("vovezuzize", TERRAIN_UPDATE_SOFTWARE));
    const TrackCourse *c = track_course_vovezuzize();
    const Track &k = g_track;
    const float margin = 3.0f;
    float world = g_terrain.world_size;
    // Billboards past the roost ones: the flaggers and the file's.
    int checked = 0;
    for (int i = TRACK_ROOST_BILLBOARDS; i < k.billboard_count; i++) {
        const Billboard &b = k.billboards[i];
        EXPECT_GT(off_course(c, b.x, b.z), margin) << "billboard " << i << " " << b.texture_name;
        EXPECT_TRUE(b.x > 0 && b.z > 0 && b.x < world && b.z < world) << "billboard " << i;
        checked++;
    }
    for (int i = k.first_file_statue; i < k.statue_count; i++) {
        const Statue &s = k.statues[i];
        EXPECT_GT(off_course(c, s.x, s.z), margin) << "statue " << i;
        checked++;
    }
    EXPECT_GT(off_course(c, k.starter.b[0], k.starter.b[2]), margin) << "the starter walks onto the course";
    for (int i = 0; i < k.camera_count; i++) EXPECT_GT(off_course(c, k.cameras[i].x, k.cameras[i].z), margin);
    EXPECT_GT(checked, 100);
    // The bales line the outside of every corner: each corner has some
    // within 15 ft of its edge on the side away from its centre.
    for (const TrackCorner &corner : c->corners) {
        const TrackPoint *mid = track_course_at(c, (corner.s_start + corner.s_end) / 2);
        float outside = corner.angle > 0 ? -1.0f : 1.0f;   // to the rider's right is (-dir_z, dir_x)
        int near = 0;
        for (int i = k.first_file_statue; i < k.statue_count; i++) {
            const Statue &s = k.statues[i];
            float lateral = (s.x - mid->x) * -mid->dir_z + (s.z - mid->z) * mid->dir_x;
            float along = (s.x - mid->x) * mid->dir_x + (s.z - mid->z) * mid->dir_z;
            if (std::fabs(along) < 10 && lateral * outside > mid->width / 2 && lateral * outside < mid->width / 2 + 15)
                near++;
        }
        EXPECT_GE(near, 1) << "corner at s = " << corner.s_start;
    }
}

TEST_F(MakeContent, EveryNamedFileIsInTheDataSet) {
    std::vector<ArchiveMember> members;
    track_add_default_tracks(&members);
    int named = 0;
    for (const ArchiveMember &m : members) {
        static const char *const text_files[] = {"/billboards", "/statues", "/flaggers", "/lighting"};
        bool text = false;
        for (const char *suffix : text_files) {
            size_t n = strlen(suffix);
            text = text || (m.name.size() > n && m.name.compare(m.name.size() - n, n, suffix) == 0);
        }
        if (!text) continue;
        std::istringstream words(m.bytes);
        std::string word;
        while (words >> word) {
            uint8_t rgb[3];
            const char *rest = billboard_color_prefix(word.c_str(), rgb);
            std::string name = rest ? rest : word;
            size_t dot = name.rfind('.');
            if (dot == std::string::npos || name.find_first_of("[]") != std::string::npos) continue;
            std::string ext = name.substr(dot);
            if (ext != ".png" && ext != ".vx" && ext != ".shp") continue;
            named++;
            VfsFile *f = vfs_open(("@" + name).c_str(), "rb");
            EXPECT_NE(nullptr, f) << name << " named in " << m.name;
            vfs_close(f);
        }
    }
    EXPECT_GT(named, 100);
    // The minimap spreads the field over its picture: the gate line is
    // drawn, the field's corner left clear.
    CachedImage map;
    ASSERT_TRUE(image_load("@vovezuzize/map.png", &map));
    ASSERT_EQ(256, map.width);
    ASSERT_EQ(256, map.height);
    const TrackPoint &gate = track_course_vovezuzize()->points[0];
    int gx = (int)(gate.x / 2048.0f * 256), gz = (int)(gate.z / 2048.0f * 256);
    EXPECT_GT(map.pixels[((size_t)gz * 256 + gx) * 4 + 3], 200);
    EXPECT_EQ(0, map.pixels[3]);
}
