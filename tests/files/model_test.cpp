// Models: the ".vx" reader in its three forms and its refusals, bone-weight
// slots, tangents, levels of detail, the cache and its generations, CPU
// skinning, the POV-Ray export, and a headless draw through each path.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "files/model.h"
#include "files/texture.h"
#include "files/vfs.h"
#include "platform/window_fixture.h"
#include "render/gl_ext.h"

static std::vector<std::string> s_warnings;
static void collect_warning(const char *line) { s_warnings.push_back(line); }

class ModelFiles : public testing::Test {
protected:
    void SetUp() override {
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        use_data_dirs(dir / "xdg", dir / "data");
        model_set_options(nullptr);
        s_warnings.clear();
        model_set_warning_hook(collect_warning);
    }
    void TearDown() override {
        model_set_warning_hook(nullptr);
        models_free();
        textures_free();   // back to generation 0; no textures were made
        unsetenv("ZOLM_LOGFILE");
        zolm_log_reset();
    }
    // Reads a model from text, uncached.
    Model *read(const std::string &text, const char *name = "test.vx") {
        write_file(dir / "scratch.vx", text);
        VfsFile *f = vfs_open((dir / "scratch.vx").c_str(), "rb");
        EXPECT_NE(nullptr, f);
        if (!f) return nullptr;
        Model *m = model_read(f, name);
        vfs_close(f);
        return m;
    }
    void data(const std::string &name, const std::string &text) { write_file(dir / ("data/" + name), text); }
    ScratchDir dir;
};

static int pieces_of(const Model *m) {
    int n = 0;
    for (; m; m = m->next) n++;
    return n;
}

// One triangle, vertices in the order (position, normal, u v).
static const char *k_triangle = "0 0 0  0 0 1  0 0.25\n1 0 0  0 0 1  1 0.25\n0 1 0  0 0 1  0 1\n0 1 2\n";

TEST_F(ModelFiles, ReadsEachFormWithFlippedVAndItsMaterial) {
    struct Case {
        const char *what;
        std::string text;
        int pieces;
        int kind;            // of the first piece
        float color[4];
        float shininess;
        int bones;
        bool reflective;
    };
    const Case cases[] = {
        {"plain", std::string("3 1\n") + k_triangle, 1, MODEL_LIT, {1, 1, 1, 1}, 32, 0, false},
        {"VX1 lit at the floor", std::string("VX1\n0 0.5 0.2 0.4 0.6 3 1\n") + k_triangle, 1, MODEL_LIT,
         {0.2f, 0.4f, 0.6f, 1}, 0.125f, 0, false},
        {"VX1 lit then reflection",
         std::string("VX1\n20 0.5 1 0 0 3 1\n") + k_triangle + "-1 0.5 0 1 0 3 1\n" + k_triangle, 2, MODEL_LIT,
         {1, 0, 0, 1}, 20, 0, true},
        {"VX1 self-lit", std::string("VX1\n-2 0.3 0.1 0.2 0.3 3 1\n") + k_triangle, 1, MODEL_SELF_LIT,
         {0.1f, 0.2f, 0.3f, 0.3f}, -2, 0, false},
        {"VX1 reflection", std::string("VX1\n-1 0.7 1 1 1 3 1\n") + k_triangle, 1, MODEL_REFLECTION,
         {1, 1, 1, 0.7f}, -1, 0, true},
        {"VX 1 apart", std::string("VX 1\n5 1 1 1 1 3 1\n") + k_triangle, 1, MODEL_LIT, {1, 1, 1, 1}, 5, 0, false},
        {"VX2 two bones",
         "VX2 2 rider\n8 1 1 1 1 3 1\n0 0 0 0 0 1 0 0.25 1 0\n1 0 0 0 0 1 1 0.25 0 1\n0 1 0 0 0 1 0 1 1 1\n0 1 2\n", 1,
         MODEL_LIT, {1, 1, 1, 1}, 8, 2, false},
        {"VX1, second piece broken", std::string("VX1\n5 1 1 1 1 3 1\n") + k_triangle + "5 1 1 1 1 3 1\n0 0 0", 1,
         MODEL_LIT, {1, 1, 1, 1}, 5, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Model *m = read(c.text);
        ASSERT_NE(nullptr, m);
        EXPECT_EQ(c.pieces, pieces_of(m));
        EXPECT_EQ(c.kind, m->kind);
        for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(c.color[i], m->color[i]) << i;
        EXPECT_FLOAT_EQ(c.shininess, m->shininess);
        EXPECT_EQ(c.bones, m->bone_count);
        EXPECT_EQ(c.reflective, m->has_reflection);
        EXPECT_STREQ("test.vx", model_name(m));
        ASSERT_EQ(3, m->vertex_count);
        ASSERT_EQ(1, m->triangle_count);
        const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        const float texcoords[6] = {0, 0.75f, 1, 0.75f, 0, 0};
        for (int i = 0; i < 9; i++) EXPECT_FLOAT_EQ(positions[i], m->positions[i]);
        for (int i = 0; i < 6; i++) EXPECT_FLOAT_EQ(texcoords[i], m->texcoords[i]);
        for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(1.0f, m->normals[3 * i + 2]);
        EXPECT_EQ(0, m->triangles[0]);
        EXPECT_EQ(2, m->triangles[2]);
        if (c.bones) {   // the rest half holds the pose read
            for (int i = 0; i < 9; i++) EXPECT_FLOAT_EQ(positions[i], m->positions[9 + i]);
            EXPECT_FLOAT_EQ(1.0f, m->bone_weights[0]);
            EXPECT_EQ(1, m->bone_indices[4]);
            EXPECT_FLOAT_EQ(0.5f, m->bone_weights[8]);
        }
        model_free(m);
    }
    EXPECT_TRUE(s_warnings.empty());
}

TEST_F(ModelFiles, RefusesBadHeadersCountsAndIndices) {
    const char *piece = "5 1 1 1 1 3 1\n";
    struct Case {
        const char *what;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"a word", "hello"},
        {"version 3", std::string("VX3\n") + piece + k_triangle},
        {"version 0", std::string("VX0\n") + piece + k_triangle},
        {"no pieces", "VX1\n"},
        {"index past the vertices", "VX1\n5 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 0 0\n0 1 0 0 0 1 0 0\n0 1 3\n"},
        {"negative index", "VX1\n5 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n1 0 0 0 0 1 0 0\n0 1 0 0 0 1 0 0\n0 -1 2\n"},
        {"negative vertex count", "VX1\n5 1 1 1 1 -3 1\n0 1 2\n"},
        {"negative triangle count", std::string("VX1\n5 1 1 1 1 3 -1\n") + k_triangle},
        {"huge counts", "VX1\n5 1 1 1 1 2000000000 2000000000\n0 0 0 0 0 1 0 0\n"},
        {"lying vertex count", std::string("VX1\n5 1 1 1 1 300 1\n") + k_triangle},
        {"bone count above the shader's", "VX2 11 x\n5 1 1 1 1 0 0\n"},
        {"negative bone count", "VX2 -1 x\n5 1 1 1 1 0 0\n"},
        {"bone weights missing", std::string("VX2 2 x\n5 1 1 1 1 3 1\n") + k_triangle},
        {"plain, short", "3 1\n0 0 0 0 0 1 0 0\n"},
        {"plain, index out of range", "1 1\n0 0 0 0 0 1 0 0\n0 0 1\n"},
        {"plain, negative", "-3 1\n"},
        {"plain, huge", "99999999 1\n"},
    };
    for (const Case &c : cases) EXPECT_EQ(nullptr, read(c.text)) << c.what;
}

TEST_F(ModelFiles, BoneWeightsFillFourSlotsAndNormalise) {
    struct Case {
        const char *what;
        int bones;
        const char *weights;             // per vertex
        float expect_w[4];
        int expect_b[4];
    };
    const Case cases[] = {
        {"all zero", 3, "0 0 0", {0.25f, 0.25f, 0.25f, 0.25f}, {0, 0, 0, 0}},
        {"one bone", 3, "0 2 0", {1, 0, 0, 0}, {1, 0, 0, 0}},
        {"normalised", 2, "1 3", {0.25f, 0.75f, 0, 0}, {0, 1, 0, 0}},
        {"negatives ignored", 3, "-1 1 1", {0.5f, 0.5f, 0, 0}, {1, 2, 0, 0}},
        {"five: the smallest slot loses", 5, "0.1 0.5 0.2 0.3 0.4",
         {0.4f / 1.4f, 0.5f / 1.4f, 0.2f / 1.4f, 0.3f / 1.4f}, {4, 1, 2, 3}},
        {"five: a smaller newcomer is lost", 5, "0.5 0.6 0.7 0.8 0.1",
         {0.5f / 2.6f, 0.6f / 2.6f, 0.7f / 2.6f, 0.8f / 2.6f}, {0, 1, 2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        s_warnings.clear();
        std::string text = "VX2 " + std::to_string(c.bones) + " skeleton\n1 1 1 1 1 3 1\n";
        for (int v = 0; v < 3; v++) text += "0 0 " + std::to_string(v) + " 0 1 0 0 0 " + c.weights + "\n";
        text += "0 1 2\n";
        Model *m = read(text, "rider.vx");
        ASSERT_NE(nullptr, m);
        for (int v = 0; v < 3; v++)
            for (int s = 0; s < 4; s++) {
                EXPECT_NEAR(c.expect_w[s], m->bone_weights[4 * v + s], 1e-6) << v << "/" << s;
                EXPECT_EQ(c.expect_b[s], m->bone_indices[4 * v + s]) << v << "/" << s;
            }
        // Three vertices with five influences each: one warning for the piece.
        if (c.bones == 5) {
            ASSERT_EQ(1u, s_warnings.size());
            EXPECT_EQ("Warning: vertex with more than 4 bone influences in 'rider.vx'\n", s_warnings[0]);
        } else {
            EXPECT_TRUE(s_warnings.empty());
        }
        model_free(m);
    }
}

TEST_F(ModelFiles, TangentsFollowTheTextureAndDegenerateTrianglesAddOnlyATinyOne) {
    // Triangle 0 maps u along +x; triangle 1 has one texture coordinate for
    // all corners and a long edge along +z; triangle 2 has no extent at all.
    // Vertex 6 is in no triangle.
    Model *m = read("VX1\n5 1 1 1 1 7 3\n"
                    "0 0 0  0 0 1  0 1\n"
                    "1 0 0  0 0 1  1 1\n"
                    "0 1 0  0 0 1  0 0\n"
                    "0 0 5  0 1 0  0.5 0.5\n"
                    "0 0 -1  0 1 0  0.5 0.5\n"
                    "3 3 3  0 1 0  0 0\n"
                    "9 9 9  0 1 0  0 0\n"
                    "0 1 2\n0 3 4\n5 5 5\n");
    ASSERT_NE(nullptr, m);
    struct Case {
        int vertex;
        float x, y, z;
    };
    const float tiny = 1.0f / 1048576.0f;
    const Case cases[] = {
        {0, 1.0f / std::sqrt(1 + tiny * tiny), 0, tiny},   // the long edge e1 = (0, 0, 5)
        {1, 1, 0, 0},
        {2, 1, 0, 0},
        {3, 0, 0, 1},
        {4, 0, 0, 1},
        {5, 1, 0, 0},     // both edges zero: along x
        {6, 0, 0, 0},     // unused: stays zero
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(c.x, m->tangents[3 * c.vertex], 1e-7) << c.vertex;
        EXPECT_NEAR(c.y, m->tangents[3 * c.vertex + 1], 1e-7) << c.vertex;
        EXPECT_NEAR(c.z, m->tangents[3 * c.vertex + 2], 1e-7) << c.vertex;
    }
    EXPECT_GT(m->tangents[2], 0.0f);
    model_free(m);

    // A mirrored mapping (u falling along +x) keeps the handedness: the
    // tangent along -x is turned round.
    m = read("VX1\n5 1 1 1 1 3 1\n0 0 0 0 0 1 1 1\n1 0 0 0 0 1 0 1\n0 1 0 0 0 1 1 0\n0 1 2\n");
    ASSERT_NE(nullptr, m);
    EXPECT_FLOAT_EQ(1.0f, m->tangents[0]);
    model_free(m);
}

TEST_F(ModelFiles, LodFilesBecomeLevelsAtPowersOfTwo) {
    std::string piece = std::string("VX1\n5 1 1 1 1 3 1\n") + k_triangle;
    data("bikes/frame.vx", piece);
    data("bikes/frame_lod3.vx", piece);
    data("bikes/frame_lod1.vx.gz", gzip_bytes(piece));
    data("bikes/frame_lodx.vx", piece);        // no number: not a level
    data("bikes/frameX_lod2.vx", piece);       // another model
    Model *m = model_load("@bikes/frame.vx");
    ASSERT_NE(nullptr, m);
    ASSERT_NE(nullptr, m->next_lod);
    ASSERT_NE(nullptr, m->next_lod->next_lod);
    EXPECT_EQ(nullptr, m->next_lod->next_lod->next_lod);
    EXPECT_FLOAT_EQ(0.0f, m->lod_distance);
    EXPECT_FLOAT_EQ(2.0f, m->next_lod->lod_distance);
    EXPECT_FLOAT_EQ(8.0f, m->next_lod->next_lod->lod_distance);
    EXPECT_STREQ("@bikes/frame_lod1.vx", m->next_lod->name);

    struct Case {
        float scale, bias, distance;
        float level;   // distance of the level chosen
    };
    const Case cases[] = {
        {1, 0, 1, 0}, {1, 0, 2, 2}, {1, 0, 5, 2}, {1, 0, 9, 8}, {1, 0, 100, 8},
        {2, 0, 4, 8}, {0.5f, 0, 9, 2}, {1, 3, 0, 2}, {1, 1, 1, 2}, {1, 1, 7, 8},
    };
    for (const Case &c : cases) {
        ModelOptions o = model_default_options();
        o.lod_scale = c.scale;
        o.lod_bias = c.bias;
        model_set_options(&o);
        EXPECT_FLOAT_EQ(c.level, model_choose_lod(m, c.distance)->lod_distance)
            << c.scale << " " << c.bias << " " << c.distance;
    }
}

TEST_F(ModelFiles, CacheSharesByNameAndPurgesOldGenerations) {
    std::string piece = std::string("VX1\n5 1 1 1 1 3 1\n") + k_triangle;
    data("a.vx", piece);
    data("b.vx", piece);
    data("c.vx", piece);
    Model *a = model_load("@a.vx");   // before any track: lives for the run
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, model_load("@a.vx"));
    EXPECT_TRUE(s_warnings.empty());
    EXPECT_EQ(a, model_load("@A.vx"));
    ASSERT_EQ(1u, s_warnings.size());
    EXPECT_EQ("Warning: case mismatch on '@A.vx'\n", s_warnings[0]);
    EXPECT_EQ(nullptr, model_load("@missing.vx"));
    EXPECT_EQ(1, models_cached());

    textures_new_generation();   // track 1
    Model *b = model_load("@b.vx");
    Model *c = model_load("@c.vx");
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(1u, b->generation);
    textures_new_generation();   // track 2 uses c again, not b
    EXPECT_EQ(c, model_load("@c.vx"));
    EXPECT_EQ(2u, c->generation);
    models_purge();
    EXPECT_EQ(2, models_cached());
    EXPECT_EQ(a, model_load("@a.vx"));
    EXPECT_EQ(c, model_load("@c.vx"));
    EXPECT_EQ(2, models_cached());   // b went
}

TEST_F(ModelFiles, CpuSkinningMovesRestPoseByWeightedBones) {
    // Two bones: bone 0 still, bone 1 turned 90 degrees about z around
    // (1, 0, 0) and moved up by 2.
    Model *m = read("VX2 2 x\n5 1 1 1 1 3 1\n"
                    "2 0 0  1 0 0  0 0  0 1\n"
                    "0 0 0  1 0 0  0 0  1 0\n"
                    "2 0 0  1 0 0  0 0  1 1\n"
                    "0 1 2\n");
    ASSERT_NE(nullptr, m);
    const float origins[6] = {0, 0, 0, 1, 0, 0};
    const float positions[6] = {0, 0, 0, 1, 2, 0};
    const float rotations[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1,     // identity
                                 0, 1, 0, -1, 0, 0, 0, 0, 1};   // columns: x -> y, y -> -x
    model_skin(m, 2, origins, positions, rotations);
    const float expect_pos[9] = {1, 3, 0, 0, 0, 0, 1.5f, 1.5f, 0};
    for (int i = 0; i < 9; i++) EXPECT_NEAR(expect_pos[i], m->positions[i], 1e-6) << i;
    EXPECT_NEAR(1.0f, m->normals[1], 1e-6);                                // (1,0,0) turned to (0,1,0)
    EXPECT_NEAR(1.0f, m->normals[3], 1e-6);                                // bone 0 keeps it
    EXPECT_NEAR(1.0f / std::sqrt(2.0f), m->normals[6], 1e-6);              // half and half, renormalised
    EXPECT_FLOAT_EQ(2.0f, m->positions[9]);                                 // rest pose untouched
    model_skin(m, 3, origins, positions, rotations);                        // wrong bone count: nothing
    EXPECT_NEAR(1.0f, m->positions[0], 1e-6);
    model_free(m);
}

TEST_F(ModelFiles, PovExportWritesMesh2) {
    Model *m = read("VX1\n5 1 1 1 1 3 1\n0 0 0 0 0 1 0 0.25\n1 0 0 0 0 1 1 0.25\n0 1 0 0 0 1 0 1\n0 1 2\n");
    ASSERT_NE(nullptr, m);
    VfsFile *out = vfs_open((dir / "out.pov").c_str(), "wb");
    ASSERT_NE(nullptr, out);
    model_export_pov(m, out);
    vfs_close(out);
    std::string text;
    ASSERT_TRUE(read_file(dir / "out.pov", &text));
    EXPECT_EQ("mesh2 {\n"
              "\tvertex_vectors {\n\t\t3\n\t\t<0.000000,0.000000,0.000000>,\n\t\t<1.000000,0.000000,0.000000>,\n"
              "\t\t<0.000000,1.000000,0.000000>\n\t}\n"
              "\tnormal_vectors {\n\t\t3\n\t\t<0.000000,0.000000,1.000000>,\n\t\t<0.000000,0.000000,1.000000>,\n"
              "\t\t<0.000000,0.000000,1.000000>\n\t}\n"
              "\tuv_vectors {\n\t\t3\n\t\t<0.000000,0.750000>,\n\t\t<1.000000,0.750000>,\n\t\t<0.000000,0.000000>\n\t}\n"
              "\tface_indices {\n\t\t1\n\t\t<0,1,2>\n\t}\n"
              "}\n",
              text);
    model_free(m);
}

// --- drawing, headless ---------------------------------------------------------

class ModelDraw : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        use_data_dirs(dir / "xdg", dir / "data");
        model_set_options(nullptr);
        ASSERT_NE(nullptr, open(64, 48));
        gl_detect();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 64, 0, 48, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        g_model_stats = ModelDrawStats{};
    }
    void TearDown() override {
        EXPECT_EQ(GL_NO_ERROR, (int)glGetError());
        models_free();
        model_set_options(nullptr);
        WindowFixture::TearDown();
    }
    Model *read(const std::string &text) {
        write_file(dir / "m.vx", text);
        VfsFile *f = vfs_open((dir / "m.vx").c_str(), "rb");
        Model *m = f ? model_read(f, "m.vx") : nullptr;
        if (f) vfs_close(f);
        return m;
    }
    static bool lit(int x, int y) {
        unsigned char rgba[4];
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[0] > 128;
    }
};

// Piece 0: a triangle over the lower left corner; piece 1 a reflection
// triangle over the upper left; piece 2 a lit triangle over the right half,
// after the reflection piece and so never drawn normally.
static const char *k_three_pieces =
    "VX1\n"
    "5 1 1 1 1 3 1\n0 0 0 0 0 1 0 0\n30 0 0 0 0 1 0 0\n0 20 0 0 0 1 0 0\n0 1 2\n"
    "-1 1 1 1 1 3 1\n0 48 0 0 0 1 0 0\n0 28 0 0 0 1 0 0\n30 48 0 0 0 1 0 0\n0 1 2\n"
    "5 1 1 1 1 3 1\n40 0 0 0 0 1 0 0\n64 0 0 0 0 1 0 0\n64 48 0 0 0 1 0 0\n0 1 2\n";

TEST_F(ModelDraw, EachPathDrawsTheLitPiecesWhereTheyStand) {
    struct Case {
        const char *what;
        bool vertex_arrays;
        bool shaders_flag_without_programs;
    };
    const Case cases[] = {{"vertex arrays", true, false}, {"immediate", false, false}, {"lists for all", true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ModelOptions o = model_default_options();
        o.vertex_arrays = c.vertex_arrays;
        o.shaders = c.shaders_flag_without_programs;
        model_set_options(&o);
        Model *m = read(k_three_pieces);
        ASSERT_NE(nullptr, m);
        EXPECT_TRUE(model_has_reflection(m));
        g_model_stats = ModelDrawStats{};
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        const float at[3] = {0, 0, 0};
        model_draw(m, at, 0, nullptr, nullptr, nullptr);
        EXPECT_TRUE(lit(5, 5));
        EXPECT_FALSE(lit(5, 43));     // the reflection piece
        EXPECT_FALSE(lit(60, 5));     // after the reflection piece
        EXPECT_FALSE(lit(25, 15));
        EXPECT_EQ(3, g_model_stats.vertices);
        EXPECT_EQ(1, g_model_stats.triangles);
        EXPECT_NE(0u, m->display_list);   // unskinned lit pieces always get one
        EXPECT_FALSE(m->next->list_decided);   // the normal pass never reached it

        glClear(GL_COLOR_BUFFER_BIT);
        const float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        const float camera[3] = {0, 0, 10};
        model_draw_reflection(m, camera, at, rotation, 0, nullptr, nullptr, nullptr);
        EXPECT_FALSE(lit(5, 5));
        EXPECT_TRUE(lit(5, 43));
        EXPECT_FALSE(lit(60, 5));
        EXPECT_EQ(c.shaders_flag_without_programs, m->next->display_list != 0);
        if (!c.shaders_flag_without_programs) {   // environment coordinates inside the picture
            for (int i = 0; i < 6; i++) {
                EXPECT_GE(m->next->texcoords[i], 0.25f);
                EXPECT_LE(m->next->texcoords[i], 0.75f);
            }
        }

        glClear(GL_COLOR_BUFFER_BIT);
        model_draw_wire(m->next->next);
        bool edge = false;   // the slanted edge crosses row 24 near x = 52
        for (int x = 49; x <= 55; x++) edge = edge || lit(x, 24);
        EXPECT_TRUE(edge);
        EXPECT_FALSE(lit(58, 10));                 // inside it: only outlines
        model_free(m);
    }
    ModelOptions o = model_default_options();
    o.reflections = false;
    model_set_options(&o);
    Model *m = read(k_three_pieces);
    EXPECT_FALSE(model_has_reflection(m));
    model_free(m);
}

TEST_F(ModelDraw, SkinnedPiecesAreSkinnedOnTheCpuAndDrawnFresh) {
    Model *m = read("VX2 1 x\n5 1 1 1 1 3 1\n"
                    "0 0 0 0 0 1 0 0 1\n20 0 0 0 0 1 0 0 1\n0 20 0 0 0 1 0 0 1\n0 1 2\n");
    ASSERT_NE(nullptr, m);
    const float origin[3] = {0, 0, 0}, moved[3] = {40, 20, 0}, rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float at[3] = {0, 0, 0};
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    model_draw(m, at, 1, origin, moved, rotation);
    EXPECT_EQ(0u, m->display_list);
    EXPECT_FALSE(lit(3, 3));
    EXPECT_TRUE(lit(43, 23));
    model_free(m);
}
