// The GL probe and the shader programs, headless on Mesa through SDL's
// offscreen driver: detection, the build and its all-or-nothing fallback,
// the slot switch, the uniforms, and what the programs draw.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/window_fixture.h"
#include "render/gl_ext.h"
#include "render/shaders.h"

TEST(GlExtension, MatchesWholeWordsOnly) {
    struct Case {
        const char *list, *name;
        bool listed;
    };
    const Case cases[] = {
        {"GL_ARB_multitexture", "GL_ARB_multitexture", true},
        {"GL_A GL_ARB_multitexture GL_B", "GL_ARB_multitexture", true},
        {"GL_A GL_ARB_multitexture", "GL_ARB_multitexture", true},
        {"GL_ARB_multitexture GL_B ", "GL_ARB_multitexture", true},
        {"GL_ARB_multitexture_extra", "GL_ARB_multitexture", false},
        {"GL_XGL_ARB_multitexture", "GL_ARB_multitexture", false},
        {"GL_ARB_vertex_shader2 GL_ARB_fragment_shader", "GL_ARB_vertex_shader", false},
        {"GL_ARB_vertex_shader_x GL_ARB_vertex_shader", "GL_ARB_vertex_shader", true},
        {"GL_ARB_vertex_shader\tGL_B", "GL_ARB_vertex_shader", false},   // a blank is a space
        {"", "GL_ARB_multitexture", false},
        {"NULL", "GL_ARB_multitexture", false},
        {"GL_A", "", false},
    };
    for (const Case &c : cases) EXPECT_EQ(c.listed, gl_extension_listed(c.list, c.name)) << c.list << " / " << c.name;
    EXPECT_FALSE(gl_extension_listed(nullptr, "GL_A"));
}

class Shader : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_NE(nullptr, open(64, 48, 32));
        gl_detect();
        shader_changes_reset();
    }
    void TearDown() override {
        EXPECT_EQ(GL_NO_ERROR, (int)glGetError());   // nothing here left a GL error
        shaders_delete();
        for (GLuint t : textures) glDeleteTextures(1, &t);
        WindowFixture::TearDown();
    }
    // A 1 x 1 texture of that colour on a unit.
    void bind_texture(int unit, unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
        GLuint id = 0;
        glGenTextures(1, &id);
        textures.push_back(id);
        g_glf.ActiveTextureARB(GL_TEXTURE0_ARB + unit);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        const unsigned char pixel[4] = {r, g, b, a};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        g_glf.ActiveTextureARB(GL_TEXTURE0_ARB);
    }
    std::vector<GLuint> textures;
};

TEST_F(Shader, DetectFindsTheFiveExtensionsOnMesa) {
    EXPECT_STRNE("NULL", g_gl.vendor);
    EXPECT_STRNE("NULL", g_gl.renderer);
    EXPECT_STRNE("NULL", g_gl.version);
    EXPECT_STRNE("NULL", g_gl.extensions);
    EXPECT_GE(g_gl.major, 2);
    EXPECT_TRUE(g_gl.generate_mipmap);
    EXPECT_TRUE(g_gl.framebuffer_object);
    EXPECT_TRUE(g_gl.multitexture);
    EXPECT_TRUE(g_gl.fragment_shader);
    EXPECT_TRUE(g_gl.vertex_shader);
    EXPECT_GE(g_gl.texture_units, 4);
    EXPECT_NE(std::string::npos, log_text().find(std::to_string(g_gl.texture_units) + " texture units\n"));

    // Every entry point these extensions offer was found; the table has the
    // 34 multitexture, 17 framebuffer, 39 shader-object and 46 vertex-attribute ones.
    EXPECT_EQ(136, gl_entry_point_count());
    EXPECT_STREQ("glActiveTextureARB", gl_entry_point_name(0));
    EXPECT_EQ(nullptr, gl_entry_point_name(gl_entry_point_count()));
    EXPECT_TRUE(g_glf.ActiveTextureARB && g_glf.MultiTexCoord4svARB && g_glf.GenerateMipmapEXT &&
                g_glf.CheckFramebufferStatusEXT && g_glf.CreateShaderObjectARB && g_glf.GetShaderSourceARB &&
                g_glf.UniformMatrix3fvARB && g_glf.GetUniformfvARB && g_glf.VertexAttrib4NubARB &&
                g_glf.GetVertexAttribPointervARB);
}

TEST_F(Shader, AllSevenProgramsBuildAndBindTheirSamplers) {
    ASSERT_TRUE(shaders_build()) << log_text();
    std::vector<unsigned> programs;
    for (int slot = 1; slot <= 7; slot++) {
        unsigned p = shader_program(slot);
        EXPECT_NE(0u, p) << slot;
        for (unsigned other : programs) EXPECT_NE(other, p);
        programs.push_back(p);
    }
    EXPECT_EQ(0u, shader_program(0));
    EXPECT_EQ(0u, shader_program(8));
    EXPECT_EQ(SHADER_FIXED, shader_current());
    EXPECT_EQ(0u, g_glf.GetHandleARB(GL_PROGRAM_OBJECT_ARB));
    std::string log = log_text();
    EXPECT_NE(std::string::npos, log.find("Built 7 shader programs\n")) << log;
    EXPECT_EQ(std::string::npos, log.find("error")) << log;

    struct Sampler {
        int slot;
        const char *name;
        int unit;
    };
    const Sampler samplers[] = {
        {1, "tex", 0}, {2, "tex", 0}, {3, "tex", 0}, {3, "nmap", 1}, {4, "nmap", 1}, {5, "nmap", 1},
        {5, "smap", 2}, {6, "tex", 0}, {6, "base", 1}, {7, "tex", 0}, {7, "nmap", 1}, {7, "smap", 2},
    };
    for (const Sampler &s : samplers) {
        GLint location = g_glf.GetUniformLocationARB(shader_program(s.slot), s.name);
        ASSERT_GE(location, 0) << s.slot << " " << s.name;
        GLint unit = -1;
        g_glf.GetUniformivARB(shader_program(s.slot), location, &unit);
        EXPECT_EQ(s.unit, unit) << s.slot << " " << s.name;
    }

    // Every source starts with the bone-array size.
    for (int i = 0; i < SHADER_PROGRAMS; i++) {
        EXPECT_EQ(0, strncmp(k_shader_sources[i].vertex, "#define MAX_BONE 10\n", 20)) << i;
        EXPECT_EQ(0, strncmp(k_shader_sources[i].fragment, "#define MAX_BONE 10\n", 20)) << i;
    }
    shaders_delete();
    for (int slot = 1; slot <= 7; slot++) EXPECT_EQ(0u, shader_program(slot));
}

TEST_F(Shader, AFailedProgramLeavesFixedFunctionInEverySlot) {
    struct Broken {
        int index;            // 0-based program
        bool vertex;          // which stage to break
        const char *source;
        const char *logged;
    };
    const Broken cases[] = {
        // Links fails: the fragment stage reads a varying no vertex stage writes.
        {6, false,
         "#define MAX_BONE 10\nvarying vec3 missing;\nvoid main() { gl_FragColor = vec4(missing, 1.0); }\n",
         "link status for terrain:\n"},
        {0, true, "#define MAX_BONE 10\nvoid main() { gl_Position = undefined_thing; }\n",
         "vertex shader status for lit:\n"},
        {3, false, "#define MAX_BONE 10\nvoid main() { gl_FragColor = 1.0 }\n", "fragment shader status for norm_env:\n"},
    };
    for (const Broken &b : cases) {
        ShaderSource sources[SHADER_PROGRAMS];
        memcpy(sources, k_shader_sources, sizeof sources);
        if (b.vertex) sources[b.index].vertex = b.source;
        else sources[b.index].fragment = b.source;
        EXPECT_FALSE(shaders_build_from(sources)) << b.logged;
        for (int slot = 0; slot < SHADER_SLOTS; slot++) EXPECT_EQ(0u, shader_program(slot)) << slot;
        EXPECT_NE(std::string::npos, log_text().find(b.logged)) << log_text();
        EXPECT_NE(std::string::npos, log_text().find("Shader programs disabled, using fixed function\n"));

        // Any slot now selects fixed function only.
        for (int slot = 1; slot <= 7; slot++) {
            shader_use(slot);
            EXPECT_EQ(0u, g_glf.GetHandleARB(GL_PROGRAM_OBJECT_ARB));
        }
        shader_use(SHADER_FIXED);
    }
    // A good build after the failures still works.
    EXPECT_TRUE(shaders_build());
}

TEST_F(Shader, UseCountsChangesAndIgnoresTheCurrentSlotAndSlotsAboveSeven) {
    ASSERT_TRUE(shaders_build());
    shader_changes_reset();
    struct Step {
        int slot;
        int current;   // afterwards
        int changes;   // total afterwards
    };
    const Step steps[] = {
        {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {8, 1, 1}, {-1, 1, 1}, {100, 1, 1},
        {7, 7, 2}, {0, 0, 3}, {0, 0, 3}, {5, 5, 4},
    };
    for (const Step &s : steps) {
        shader_use(s.slot);
        EXPECT_EQ(s.current, shader_current()) << s.slot;
        EXPECT_EQ(s.changes, shader_changes()) << s.slot;
        EXPECT_EQ(shader_program(s.current), g_glf.GetHandleARB(GL_PROGRAM_OBJECT_ARB)) << s.slot;
    }
    shader_changes_reset();
    EXPECT_EQ(0, shader_changes());
}

TEST_F(Shader, EnvmatGoesInColumnOrderToBothEnvironmentPrograms) {
    ASSERT_TRUE(shaders_build());
    shader_use(SHADER_LIT);
    const float rows[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    shader_set_envmat(rows);
    EXPECT_EQ(SHADER_FIXED, shader_current());
    EXPECT_EQ(0u, g_glf.GetHandleARB(GL_PROGRAM_OBJECT_ARB));
    const float columns[9] = {1, 4, 7, 2, 5, 8, 3, 6, 9};
    for (int slot : {SHADER_ENV, SHADER_NORM_ENV}) {
        unsigned p = shader_program(slot);
        GLint location = g_glf.GetUniformLocationARB(p, "envmat");
        ASSERT_GE(location, 0);
        float got[9] = {};
        g_glf.GetUniformfvARB(p, location, got);
        for (int i = 0; i < 9; i++) EXPECT_EQ(columns[i], got[i]) << slot << " " << i;
    }
}

TEST_F(Shader, BonesGoToTheCurrentProgramAsGiven) {
    ASSERT_TRUE(shaders_build());
    shader_use(SHADER_NORM_LIT);
    const float origins[6] = {1, 2, 3, 4, 5, 6};
    const float positions[6] = {-1, -2, -3, -4, -5, -6};
    float rotations[18];
    for (int i = 0; i < 18; i++) rotations[i] = (float)(i + 10);
    shader_set_bones(2, origins, positions, rotations);

    unsigned p = shader_program(SHADER_NORM_LIT);
    GLint nbones = -1;
    g_glf.GetUniformivARB(p, g_glf.GetUniformLocationARB(p, "nbones"), &nbones);
    EXPECT_EQ(2, nbones);
    float v[9] = {};
    g_glf.GetUniformfvARB(p, g_glf.GetUniformLocationARB(p, "bone_c[1]"), v);
    EXPECT_EQ(4, v[0]);
    EXPECT_EQ(6, v[2]);
    g_glf.GetUniformfvARB(p, g_glf.GetUniformLocationARB(p, "bone_t[1]"), v);
    EXPECT_EQ(-4, v[0]);
    g_glf.GetUniformfvARB(p, g_glf.GetUniformLocationARB(p, "bone_r[1]"), v);
    for (int i = 0; i < 9; i++) EXPECT_EQ(rotations[9 + i], v[i]) << i;   // not transposed

    // No bones: only the count changes; on slot 0 nothing is sent.
    shader_set_bones(0, nullptr, nullptr, nullptr);
    g_glf.GetUniformivARB(p, g_glf.GetUniformLocationARB(p, "nbones"), &nbones);
    EXPECT_EQ(0, nbones);
    shader_use(SHADER_FIXED);
    shader_set_bones(3, origins, positions, rotations);
    g_glf.GetUniformivARB(p, g_glf.GetUniformLocationARB(p, "nbones"), &nbones);
    EXPECT_EQ(0, nbones);
}

// --- what the programs draw ---------------------------------------------------

static void set_view() {
    glViewport(0, 0, 64, 48);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -0.75, 0.75, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.1f, -0.2f, -3.0f);
    glRotatef(35, 1, 1, 0.3f);
}

static void draw_triangle() {
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(-1.1f, -0.9f, -0.3f);
    glVertex3f(1.2f, -0.7f, 0.4f);
    glVertex3f(0.2f, 1.1f, 0.6f);
    glEnd();
}

static std::vector<float> read_depth() {
    std::vector<float> depth(64 * 48);
    glReadPixels(0, 0, 64, 48, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth;
}

TEST_F(Shader, LitProgramsPlaceVerticesExactlyAsTheFixedPipeline) {
    ASSERT_TRUE(shaders_build());
    glEnable(GL_DEPTH_TEST);
    set_view();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_triangle();
    std::vector<float> fixed = read_depth();
    int covered = 0;
    for (float d : fixed) covered += d < 1.0f;
    ASSERT_GT(covered, 150);

    for (int slot : {SHADER_LIT, SHADER_NORM_LIT, SHADER_NORM_SPEC_LIT, SHADER_ENV}) {
        shader_use(slot);
        shader_set_bones(0, nullptr, nullptr, nullptr);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_triangle();
        EXPECT_TRUE(fixed == read_depth()) << slot;
    }

    // One bone moving everything by (0.25, 0, 0) draws what the fixed
    // pipeline draws with that translation (edge pixels may round apart).
    shader_use(SHADER_FIXED);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glTranslatef(0.25f, 0, 0);
    draw_triangle();
    glPopMatrix();
    std::vector<float> moved = read_depth();

    shader_use(SHADER_LIT);
    const float origin[3] = {0, 0, 0}, position[3] = {0.25f, 0, 0}, identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    shader_set_bones(1, origin, position, identity);
    g_glf.MultiTexCoord4fARB(GL_TEXTURE2_ARB, 1, 0, 0, 0);
    g_glf.MultiTexCoord4fARB(GL_TEXTURE3_ARB, 0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_triangle();
    std::vector<float> skinned = read_depth();
    shader_use(SHADER_FIXED);
    int differ = 0;
    for (size_t i = 0; i < moved.size(); i++) differ += std::fabs(moved[i] - skinned[i]) > 1e-4f;
    EXPECT_NE(fixed, moved);
    EXPECT_LE(differ, 8);
}

// A quad over the whole view at eye depth 1, facing the viewer.
static void draw_facing_quad() {
    glViewport(0, 0, 64, 48);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0.5f, 0.5f);
    glVertex3f(-1, -1, -1);
    glVertex3f(1, -1, -1);
    glVertex3f(1, 1, -1);
    glVertex3f(-1, 1, -1);
    glEnd();
}

static void set_light(const float diffuse[4], const float specular[4], float shininess) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float zero[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, toward_viewer[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, toward_viewer);
    glLightfv(GL_LIGHT0, GL_AMBIENT, zero);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glFogf(GL_FOG_DENSITY, 0);
}

static void read_pixel(int x, int y, unsigned char rgba[4]) {
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

TEST_F(Shader, LitProgramShadesDiffuseTimesTexture) {
    ASSERT_TRUE(shaders_build());
    const float diffuse[4] = {0.5f, 0.25f, 1, 1}, no_specular[4] = {0, 0, 0, 1};
    set_light(diffuse, no_specular, 0);
    bind_texture(0, 255, 255, 255, 255);
    glEnable(GL_TEXTURE_2D);
    shader_use(SHADER_LIT);
    shader_set_bones(0, nullptr, nullptr, nullptr);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_facing_quad();
    unsigned char px[4];
    read_pixel(32, 24, px);
    EXPECT_NEAR(128, px[0], 2);
    EXPECT_NEAR(64, px[1], 2);
    EXPECT_NEAR(255, px[2], 2);

    // The texture multiplies the lit colour.
    bind_texture(0, 255, 0, 128, 255);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_facing_quad();
    read_pixel(32, 24, px);
    EXPECT_NEAR(128, px[0], 2);
    EXPECT_NEAR(0, px[1], 2);
    EXPECT_NEAR(128, px[2], 2);
    shader_use(SHADER_FIXED);
}

TEST_F(Shader, SpecularMapAlphaOfOneSelectsTheMaterialShininess) {
    ASSERT_TRUE(shaders_build());
    const float black[4] = {0, 0, 0, 1};
    set_light(black, black, 1);   // shininess 1; only the map's specular shows
    bind_texture(0, 255, 255, 255, 255);
    bind_texture(1, 128, 128, 255, 255);   // a flat normal
    g_glf.MultiTexCoord3fARB(GL_TEXTURE1_ARB, 1, 0, 0);   // the tangent
    struct Case {
        unsigned char alpha;
        bool bright;   // exponent 1 (material) or about 128 (map)
    };
    for (Case c : {Case{255, true}, Case{254, false}}) {
        bind_texture(2, 255, 255, 255, c.alpha);
        shader_use(SHADER_NORM_SPEC_LIT);
        shader_set_bones(0, nullptr, nullptr, nullptr);
        glClear(GL_COLOR_BUFFER_BIT);
        draw_facing_quad();
        shader_use(SHADER_FIXED);
        // Half-way to the right edge the reflected view misses the light by
        // about 27 degrees: r.l = 0.89, so e = 1 shows and e = 128 does not.
        unsigned char px[4];
        read_pixel(48, 24, px);
        if (c.bright) EXPECT_GT(px[0], 150) << (int)c.alpha;
        else EXPECT_LT(px[0], 10) << (int)c.alpha;
    }
}
