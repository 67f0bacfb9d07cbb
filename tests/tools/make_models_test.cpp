// The default bike, wheel, rider and starting-gate models and textures:
// the same bytes on every run, every ".vx" well formed by a strict reading of
// our own and loaded by the game's model reader without a warning, every
// bike stem complete, the rider skinned to all nine bones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "files/image.h"
#include "files/model.h"
#include "files/vfs.h"
#include "make_models.h"
#include "test_util.h"

static const std::vector<ArchiveMember> &model_files() {
    static std::vector<ArchiveMember> files;
    if (files.empty()) models_add_files(&files);
    return files;
}

static std::map<std::string, const std::string *> model_file_map() {
    std::map<std::string, const std::string *> m;
    for (const ArchiveMember &f : model_files()) m[f.name] = &f.bytes;
    return m;
}

static bool ends_with(const std::string &s, const std::string &end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// What a strict reading of one ".vx" file found.
struct VxCheck {
    bool ok;
    std::string error;
    int bones, pieces, vertices, triangles;
    std::vector<double> bone_peak;   // the largest weight each bone has on any vertex
};

static VxCheck vx_check(const std::string &text) {
    VxCheck c = {false, "", 0, 0, 0, 0, {}};
    std::istringstream in(text);
    std::string word;
    in >> word;
    if (word == "VX2") {
        std::string name;
        if (!(in >> c.bones >> name) || c.bones < 1 || c.bones > 9) return c.error = "bad VX2 header", c;
    } else if (word != "VX1") {
        return c.error = "bad magic " + word, c;
    }
    c.bone_peak.assign(c.bones, 0.0);
    double s, k, r, g, b;
    int nv, nt;
    while (in >> s >> k >> r >> g >> b >> nv >> nt) {
        if (nv <= 0 || nt <= 0) return c.error = "empty piece", c;
        if (s < 0) return c.error = "only lit pieces expected", c;
        for (int i = 0; i < nv; i++) {
            double p[8];
            for (double &x : p)
                if (!(in >> x)) return c.error = "short vertex", c;
            double nl = std::sqrt(p[3] * p[3] + p[4] * p[4] + p[5] * p[5]);
            if (std::fabs(nl - 1) > 0.01) return c.error = "normal not unit length", c;
            if (p[6] < 0 || p[6] > 1 || p[7] < 0 || p[7] > 1) return c.error = "texture coordinate outside 0..1", c;
            double sum = 0;
            for (int j = 0; j < c.bones; j++) {
                double w;
                if (!(in >> w)) return c.error = "short weights", c;
                if (w < 0) return c.error = "negative weight", c;
                sum += w;
                c.bone_peak[j] = std::max(c.bone_peak[j], w);
            }
            if (c.bones && sum <= 0) return c.error = "vertex without weight", c;
            if (c.bones && std::fabs(sum - 1) > 0.001) return c.error = "weights do not sum to 1", c;
        }
        for (int i = 0; i < nt * 3; i++) {
            int index;
            if (!(in >> index)) return c.error = "short triangle", c;
            if (index < 0 || index >= nv) return c.error = "index out of range", c;
        }
        c.pieces++;
        c.vertices += nv;
        c.triangles += nt;
    }
    in.clear();
    if (in >> word) return c.error = "trailing text " + word, c;
    if (c.pieces == 0) return c.error = "no piece", c;
    c.ok = true;
    return c;
}

TEST(MakeModels, TheSameBytesEveryRun) {
    std::vector<ArchiveMember> again;
    models_add_files(&again);
    const std::vector<ArchiveMember> &first = model_files();
    ASSERT_EQ(first.size(), again.size());
    for (size_t i = 0; i < first.size(); i++) {
        EXPECT_EQ(first[i].name, again[i].name);
        EXPECT_TRUE(first[i].bytes == again[i].bytes) << first[i].name;
    }
}

TEST(MakeModels, EveryModelReadsStrictly) {
    int models = 0;
    for (const ArchiveMember &f : model_files()) {
        if (!ends_with(f.name, ".vx")) continue;
        models++;
        VxCheck c = vx_check(f.bytes);
        EXPECT_TRUE(c.ok) << f.name << ": " << c.error;
        bool skinned = f.name.compare(0, 6, "rider_") == 0 && f.name != "rider_head.vx";
        EXPECT_EQ(skinned ? RIDER_BONES : 0, c.bones) << f.name;
    }
    EXPECT_EQ(k_bike_stem_count * 7 + 8, models);
}

TEST(MakeModels, EveryStemHasItsPartsAndTexture) {
    std::map<std::string, const std::string *> files = model_file_map();
    static const char *const parts[] = {"_frame.vx", "_frame_lod5.vx", "_fork_upper.vx", "_fork_lower.vx",
                                        "_swingarm.vx", "_side_plates.vx", "_front_plate.vx", ".png",
                                        "-alt1.png", "-alt2.png"};
    for (int i = 0; i < k_bike_stem_count; i++) {
        for (const char *part : parts) {
            std::string name = std::string(k_bike_stems[i]) + part;
            EXPECT_TRUE(files.count(name)) << name;
        }
    }
    static const char *const shared[] = {
        "front_wheel.vx", "rear_wheel.vx", "wheels.png", "wheels-alt1.png", "wheels-alt2.png",
        "rider_body.vx", "rider_body_lod5.vx", "rider_body_fp.vx", "rider_plate.vx", "rider_head.vx",
        "rider_body.png", "rider_head.png", "rider_body-alt1.png", "rider_head-alt1.png", "rider_body-alt2.png",
        "rider_head-alt2.png", "rider_body-alt3.png", "rider_head-alt3.png", "startgate.vx", "startgate.ppm",
        "yz250f_se.png",
    };
    for (const char *name : shared) EXPECT_TRUE(files.count(name)) << name;
}

// Each bone carries part of the body, and the arms and legs bend at their
// own joints: a vertex at a bone's rest origin moves with that bone or the
// one next to it.
TEST(MakeModels, TheRiderUsesAllNineBones) {
    std::map<std::string, const std::string *> files = model_file_map();
    for (const char *name : {"rider_body.vx", "rider_body_lod5.vx", "rider_body_fp.vx"}) {
        VxCheck c = vx_check(*files[name]);
        ASSERT_TRUE(c.ok) << name << ": " << c.error;
        for (int b = 0; b < RIDER_BONES; b++) EXPECT_GT(c.bone_peak[b], 0.9) << name << " bone " << b;
    }
    VxCheck plate = vx_check(*files["rider_plate.vx"]);
    ASSERT_TRUE(plate.ok) << plate.error;
    EXPECT_GT(plate.bone_peak[8], 0.99);   // the back plate rides on the torso
    VxCheck full = vx_check(*files["rider_body.vx"]), lod = vx_check(*files["rider_body_lod5.vx"]);
    EXPECT_LT(lod.triangles * 2, full.triangles);
}

TEST(MakeModels, TheFramesDistantLevelIsCoarser) {
    std::map<std::string, const std::string *> files = model_file_map();
    VxCheck full = vx_check(*files["crf250_frame.vx"]), lod = vx_check(*files["crf250_frame_lod5.vx"]);
    ASSERT_TRUE(full.ok && lod.ok);
    EXPECT_LT(lod.triangles * 3, full.triangles * 2);
}

static std::vector<std::string> s_warnings;
static void collect_warning(const char *line) { s_warnings.push_back(line); }

// Through the game's own readers: every model loads without a warning with
// its levels, every texture decodes, and the bike textures name their plate
// colours.
TEST(MakeModels, TheGameLoadsEveryFile) {
    ScratchDir dir;
    for (const ArchiveMember &f : model_files()) write_file(dir / ("data/" + f.name), f.bytes);
    use_data_dirs(dir / "xdg", dir / "data");
    model_set_options(nullptr);
    s_warnings.clear();
    model_set_warning_hook(collect_warning);
    for (const ArchiveMember &f : model_files()) {
        std::string at = "@" + f.name;
        if (ends_with(f.name, ".vx")) {
            Model *m = model_load(at.c_str());
            ASSERT_NE(nullptr, m) << f.name;
            VxCheck c = vx_check(f.bytes);
            EXPECT_EQ(c.vertices, m->vertex_count) << f.name;
            EXPECT_EQ(c.triangles, m->triangle_count) << f.name;
            EXPECT_EQ(c.bones, m->bone_count) << f.name;
            bool has_lod = f.name == "crf250_frame.vx" || f.name == "rider_body.vx";
            if (has_lod) {
                ASSERT_NE(nullptr, m->next_lod) << f.name;
                EXPECT_EQ(32.0f, m->next_lod->lod_distance) << f.name;
            }
        } else if (ends_with(f.name, ".png") || ends_with(f.name, ".ppm")) {
            Image image = {};
            ASSERT_TRUE(image_read_file(at.c_str(), 0, &image)) << f.name << ": " << image_last_error();
            EXPECT_GE(image.width, 64);
            bool bike = f.name.compare(0, 5, "rider") != 0 && f.name.compare(0, 6, "wheels") != 0 &&
                        ends_with(f.name, ".png");
            if (bike) {
                ASSERT_NE(nullptr, image.info) << f.name;
                EXPECT_NE(nullptr, strstr(image.info, "[numberbackground:1.000000,1.000000,1.000000]")) << f.name;
                EXPECT_NE(nullptr, strstr(image.info, "[numberforeground:")) << f.name;
            }
            image_free(&image);
        }
    }
    for (const std::string &w : s_warnings) ADD_FAILURE() << w;
    model_set_warning_hook(nullptr);
    models_free();
}
