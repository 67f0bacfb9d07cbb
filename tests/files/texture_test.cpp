// The texture cache, headless on Mesa: sizes and detail, links, animations,
// generations and purging, the upload's GL state, and the image cache.
// Pictures are written with the PNG writer into a scratch data directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "files/image.h"
#include "files/texture.h"
#include "platform/window_fixture.h"
#include "render/gl_ext.h"

typedef std::function<void(int x, int y, unsigned char *pixel)> PixelFn;

static size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

class Texture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        use_data_dirs(dir / "xdg", dir / "data");
        write_file(dir / "data/colors/.keep", "");
        ASSERT_NE(nullptr, open());
        gl_detect();
        texture_set_options(0, TEXTURE_COMPRESS_NO, false);
    }
    void TearDown() override {
        EXPECT_EQ(GL_NO_ERROR, (int)glGetError());   // nothing here left a GL error
        textures_free();
        texture_set_options(0, TEXTURE_COMPRESS_NO, false);
        WindowFixture::TearDown();
    }
    // A PNG in the data directory, each pixel from fn (or one colour).
    void png(const std::string &name, int width, int height, int channels, PixelFn fn, const char *text = nullptr) {
        std::vector<unsigned char> pixels((size_t)width * height * channels);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) fn(x, y, &pixels[((size_t)y * width + x) * channels]);
        ASSERT_TRUE(png_write_rgba((dir / ("data/" + name)).c_str(), pixels.data(), width, height, channels, text));
    }
    void png(const std::string &name, int width, int height, int channels = 3, unsigned char r = 200,
             unsigned char g = 100, unsigned char b = 50, unsigned char a = 255) {
        png(name, width, height, channels, [=](int, int, unsigned char *p) {
            p[0] = r, p[1] = g, p[2] = b;
            if (channels == 4) p[3] = a;
        });
    }
    void file(const std::string &name, const std::string &bytes) { write_file(dir / ("data/" + name), bytes); }
    static int level_param(TextureId id, int level, GLenum which) {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, id);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
    static int param(TextureId id, GLenum which) {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, id);
        glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
    // Level `level` of a texture as RGBA.
    static std::vector<unsigned char> level_pixels(TextureId id, int level) {
        int w = level_param(id, level, GL_TEXTURE_WIDTH), h = level_param(id, level, GL_TEXTURE_HEIGHT);
        std::vector<unsigned char> pixels((size_t)w * h * 4);
        glBindTexture(GL_TEXTURE_2D, id);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return pixels;
    }
};

TEST_F(Texture, SameNameInOtherLetterCaseIsTheSameTextureWithAWarning) {
    png("Wheel.png", 4, 4);
    TextureId id = texture_load("@Wheel.png");
    ASSERT_NE(0u, id);
    EXPECT_EQ(0u, count_of(log_text(), "case mismatch"));
    EXPECT_EQ(id, texture_load("@WHEEL.PNG"));
    EXPECT_EQ(id, texture_load("@Wheel.png"));
    EXPECT_EQ(1u, count_of(log_text(), "Warning: case mismatch on '@WHEEL.PNG'\n"));
    EXPECT_STREQ("@Wheel.png", texture_name(id));
    EXPECT_EQ(nullptr, texture_name(0));
    EXPECT_EQ(nullptr, texture_name(id + 1000));
    EXPECT_EQ(0u, texture_load("@missing.png"));
    EXPECT_EQ(0u, count_of(log_text(), "Can't open texture"));   // only in debug mode
    texture_set_options(0, TEXTURE_COMPRESS_NO, true);
    EXPECT_EQ(0u, texture_load("@missing.png"));
    EXPECT_EQ(1u, count_of(log_text(), "Can't open texture \"@missing.png\"\n"));
}

TEST_F(Texture, NonPowerOfTwoIsResampledNearestWithAWarning) {
    // Left 150 columns red, the rest blue.
    png("odd.png", 300, 200, 3, [](int x, int, unsigned char *p) {
        p[0] = x < 150 ? 255 : 0, p[1] = 0, p[2] = x < 150 ? 0 : 255;
    });
    TextureId id = texture_load("@odd.png");
    ASSERT_NE(0u, id);
    EXPECT_EQ(512, level_param(id, 0, GL_TEXTURE_WIDTH));
    EXPECT_EQ(256, level_param(id, 0, GL_TEXTURE_HEIGHT));
    EXPECT_EQ(1, level_param(id, 9, GL_TEXTURE_WIDTH));
    EXPECT_EQ(1u, count_of(log_text(), "Warning: Non power of 2 texture '@odd.png'\n"));
    EXPECT_EQ(mip_chain_bytes(512, 256, 3), texture_memory_used());

    // Column 255 samples source column 149, column 256 source column 150.
    std::vector<unsigned char> level0 = level_pixels(id, 0);
    const unsigned char *row = &level0[(size_t)100 * 512 * 4];
    EXPECT_EQ(255, row[255 * 4 + 0]);
    EXPECT_EQ(0, row[256 * 4 + 0]);
    EXPECT_EQ(255, row[256 * 4 + 2]);

    png("square.png", 64, 64);
    texture_load("@square.png");
    EXPECT_EQ(1u, count_of(log_text(), "Non power of 2"));
}

TEST_F(Texture, DetailDropsLevelsOnlyWhileBothSidesAreAbove128) {
    struct Case {
        const char *file;
        int width, height;
        const char *load;
        int want_width, want_height;
    };
    const Case cases[] = {
        {"big.png", 1024, 1024, "@big.png", 256, 256},
        {"bang.png", 1024, 1024, "!@bang.png", 1024, 1024},
        {"wide.png", 256, 128, "@wide.png", 256, 128},
        {"mid.png", 512, 512, "@mid.png", 128, 128},
        {"tall.png", 256, 2048, "@tall.png", 128, 1024},
        {"odd.png", 300, 300, "@odd.png", 128, 128},
    };
    for (const Case &c : cases) png(c.file, c.width, c.height);
    texture_set_options(2, TEXTURE_COMPRESS_NO, false);
    for (const Case &c : cases) {
        TextureId id = texture_load(c.load);
        ASSERT_NE(0u, id) << c.load;
        EXPECT_EQ(c.want_width, level_param(id, 0, GL_TEXTURE_WIDTH)) << c.load;
        EXPECT_EQ(c.want_height, level_param(id, 0, GL_TEXTURE_HEIGHT)) << c.load;
    }
}

TEST_F(Texture, PrepareResamplesBuildsChainsAndDropsLevels) {
    struct Case {
        int width, height, skip;
        int want_width, want_height;
    };
    const Case cases[] = {
        {1024, 1024, 2, 256, 256}, {256, 128, 2, 256, 128}, {300, 200, 0, 512, 256},
        {2048, 256, 3, 1024, 128}, {1, 1, 5, 1, 1}, {3, 1, 0, 4, 1},
    };
    for (const Case &c : cases) {
        Image image = {};
        image.width = c.width;
        image.height = c.height;
        image.channels = 3;
        size_t base = (size_t)c.width * c.height * 3;
        image.pixels = (unsigned char *)malloc(base);
        for (size_t i = 0; i < base; i++) image.pixels[i] = (unsigned char)(i * 7 + i / 1000);

        // The reference: the full chain, before any level is dropped.
        Image full = {};
        full = image;
        full.pixels = (unsigned char *)malloc(base);
        memcpy(full.pixels, image.pixels, base);
        ASSERT_TRUE(texture_prepare(&full, 0, false));
        ASSERT_TRUE(texture_prepare(&image, c.skip, false));
        EXPECT_TRUE(image.has_chain);
        EXPECT_EQ(c.want_width, image.width) << c.width << "x" << c.height;
        EXPECT_EQ(c.want_height, image.height) << c.width << "x" << c.height;
        size_t offset = mip_chain_bytes(full.width, full.height, 3) - mip_chain_bytes(image.width, image.height, 3);
        EXPECT_EQ(0, memcmp(full.pixels + offset, image.pixels, mip_chain_bytes(image.width, image.height, 3)));
        image_free(&image);
        image_free(&full);
    }
    Image bad = {};
    EXPECT_FALSE(texture_prepare(&bad, 0, false));
}

TEST_F(Texture, RepeatFlagsComeFromTheNameAndSetTheWrapModes) {
    struct Case {
        const char *name;
        int flags;
    };
    const Case cases[] = {
        {"@a.png", 0}, {"@a-hrepeat.png", 1}, {"@a-vrepeat.png", 2}, {"@a-repeat.png", 3},
        {"@a-hrepeat-vrepeat.png", 2}, {"@a-hrepeat.x-vrepeat.png", 3}, {"@a-repeat", 0}, {"@arepeat.png", 0},
    };
    for (const Case &c : cases) EXPECT_EQ(c.flags, texture_repeat_flags(c.name)) << c.name;

    png("fence-hrepeat.png", 8, 8);
    TextureId id = texture_load("@fence-hrepeat.png");
    ASSERT_NE(0u, id);
    EXPECT_EQ(GL_REPEAT, param(id, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_CLAMP_TO_EDGE, param(id, GL_TEXTURE_WRAP_T));
    EXPECT_EQ(GL_LINEAR_MIPMAP_NEAREST, param(id, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_LINEAR, param(id, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(1, level_param(id, 3, GL_TEXTURE_WIDTH));
}

TEST_F(Texture, UploadSetsBorderColourAndHonoursBaseOnly) {
    // An RGB picture with green edges and a red middle: the border is green.
    std::vector<unsigned char> rgb(8 * 8 * 3);
    for (int i = 0; i < 64; i++) {
        int x = i % 8, y = i / 8;
        bool edge = x == 0 || y == 0 || x == 7 || y == 7;
        rgb[i * 3 + 0] = edge ? 10 : 250;
        rgb[i * 3 + 1] = edge ? 200 : 0;
        rgb[i * 3 + 2] = edge ? 20 : 0;
    }
    rgb[0] = 250, rgb[1] = 0;   // one odd edge pixel does not move the choice
    Image image = {};
    image.pixels = (unsigned char *)malloc(rgb.size());
    memcpy(image.pixels, rgb.data(), rgb.size());
    image.width = image.height = 8;
    image.channels = 3;
    ASSERT_TRUE(texture_prepare(&image, 0, false));
    uint32_t before = texture_memory_used();
    TextureId id = texture_upload(image.pixels, 8, 8, 3, 0);
    ASSERT_NE(0u, id);
    EXPECT_EQ(mip_chain_bytes(8, 8, 3), texture_memory_used() - before);
    float border[4] = {-1, -1, -1, -1};
    glBindTexture(GL_TEXTURE_2D, id);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    EXPECT_NEAR(10 / 255.0, border[0], 0.01);
    EXPECT_NEAR(200 / 255.0, border[1], 0.01);
    EXPECT_NEAR(20 / 255.0, border[2], 0.01);

    // Base level only: linear without mipmaps, and only level 0 counted.
    before = texture_memory_used();
    TextureId base = texture_upload(image.pixels, 8, 8, 3, TEXTURE_BASE_ONLY | TEXTURE_REPEAT_S | TEXTURE_REPEAT_T);
    EXPECT_EQ(8u * 8u * 3u, texture_memory_used() - before);
    EXPECT_EQ(GL_LINEAR, param(base, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_REPEAT, param(base, GL_TEXTURE_WRAP_T));
    EXPECT_EQ(0, level_param(base, 1, GL_TEXTURE_WIDTH));

    // RGBA: a transparent black border.
    unsigned char rgba[4] = {255, 255, 255, 255};
    TextureId alpha = texture_upload(rgba, 1, 1, 4, 0);
    glBindTexture(GL_TEXTURE_2D, alpha);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    glBindTexture(GL_TEXTURE_2D, 0);
    for (int c = 0; c < 4; c++) EXPECT_EQ(0.0f, border[c]);
    GLuint names[3] = {id, base, alpha};
    glDeleteTextures(3, names);
    image_free(&image);
    EXPECT_EQ(0u, texture_upload(nullptr, 8, 8, 3, 0));
    EXPECT_EQ(0u, texture_upload(rgba, 1, 1, 2, 0));
}

TEST_F(Texture, CompressionFollowsTheSettingAndTheInfoText) {
    ASSERT_GE(g_gl.major, 2);
    struct Case {
        const char *file;
        int setting;
        const char *text;
        bool compressed;
    };
    const Case cases[] = {
        {"c0.png", TEXTURE_COMPRESS_NO, "[compress]", false},
        {"c1.png", TEXTURE_COMPRESS_YES, "[compress]", true},
        {"c2.png", TEXTURE_COMPRESS_YES, nullptr, false},
        {"c3.png", TEXTURE_COMPRESS_ALWAYS, nullptr, true},
    };
    for (const Case &c : cases)
        png(c.file, 64, 64, 3, [](int x, int y, unsigned char *p) { p[0] = (unsigned char)(x * 4), p[1] = (unsigned char)(y * 4), p[2] = 9; },
            c.text);
    for (const Case &c : cases) {
        texture_set_options(0, c.setting, false);
        textures_new_generation();
        TextureId id = texture_load((std::string("@") + c.file).c_str());
        ASSERT_NE(0u, id) << c.file;
        EXPECT_EQ(c.compressed, level_param(id, 0, GL_TEXTURE_COMPRESSED) != 0) << c.file;
        if (c.compressed) EXPECT_LT(texture_memory_used(), mip_chain_bytes(64, 64, 3)) << c.file;
        else EXPECT_EQ(mip_chain_bytes(64, 64, 3), texture_memory_used()) << c.file;
        if (c.text) EXPECT_NE(nullptr, strstr(texture_info(id), c.text));
        else EXPECT_EQ(nullptr, texture_info(id));
    }
}

TEST_F(Texture, LinksFollowTheirTargetAndACycleEndsAtWhite) {
    png("colors/white.png", 2, 2, 3, 255, 255, 255);
    png("red.png", 2, 2, 3, 255, 0, 0);
    file("shortcut.png", "LINK   @red.png  \n");
    file("a.png", "LINK @b.png\n");
    file("b.png", "LINK\n\t@a.png\n");
    file("empty.png", "LINK \n");

    TextureId red = texture_load("@shortcut.png");
    ASSERT_NE(0u, red);
    EXPECT_EQ(red, texture_load("@red.png"));
    EXPECT_STREQ("@red.png", texture_name(red));   // the link has no record of its own
    EXPECT_EQ(red, texture_load("@shortcut.png"));

    TextureId white = texture_load("@a.png");
    ASSERT_NE(0u, white);
    EXPECT_STREQ("@colors/white.png", texture_name(white));
    EXPECT_EQ(white, texture_load("@b.png"));
    EXPECT_EQ(white, texture_load("@a.png"));
    EXPECT_EQ(white, texture_load("!@a.png"));

    // A link without a target is read as a PNG, which it is not.
    EXPECT_EQ(0u, texture_load("@empty.png"));
}

// A 2 x 2 "V7" picture of one colour: the first pixel carries it, every
// other prediction already equals it.
static std::string v7_solid(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    std::string bytes = "V7\n2 2\n";
    bytes += std::string{(char)r, (char)g, (char)b, (char)a};
    bytes += std::string(12, '\0');
    return bytes + "\n";
}

TEST_F(Texture, AnimationStepsThroughItsSequenceByTicks) {
    png("green.png", 2, 2, 4, 0, 255, 0, 255);
    png("blue.png", 2, 2, 4, 0, 0, 255, 255);
    // Pictures: 0 red (V7), 1 green, 2 blue; sequence 2, 0, 1.
    file("flag.anim", "ANIM1\n3 3 5 0\n2 0 1\n" + v7_solid(255, 0, 0, 255) + "PNG @green.png\nPNG  @blue.png  \n");
    file("loop.anim", "ANIM1 3 3 5 1 2 0 1 " + v7_solid(255, 0, 0, 255) + "PNG @green.png\nPNG @blue.png\n");
    TextureId id = texture_load("@flag.anim");
    ASSERT_NE(0u, id) << log_text();
    EXPECT_EQ(2, texture_anim_image(id));
    EXPECT_EQ(-1, texture_anim_image(0));

    struct Step {
        int64_t tick;
        int image;
    };
    const Step steps[] = {{0, 2}, {4, 2}, {5, 0}, {9, 0}, {10, 1}, {11, 1}, {1000, 1}, {-3, 2}};
    const unsigned char colours[3][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (const Step &s : steps) {
        textures_update(s.tick);
        EXPECT_EQ(s.image, texture_anim_image(id)) << s.tick;
        for (int level = 0; level < 2; level++)
            EXPECT_EQ(0, memcmp(colours[s.image], level_pixels(id, level).data(), 4)) << s.tick << " " << level;
    }

    // Paused, it stays; restarted at 100, it starts over from there.
    texture_pause(id);
    textures_update(7);
    EXPECT_EQ(2, texture_anim_image(id));
    texture_animate(id, 100);
    textures_update(100);
    EXPECT_EQ(2, texture_anim_image(id));
    textures_update(105);
    EXPECT_EQ(0, texture_anim_image(id));

    // With loop on, step 3 is step 0 again.
    TextureId looped = texture_load("@loop.anim");
    ASSERT_NE(0u, looped);
    const Step loop_steps[] = {{14, 1}, {15, 2}, {20, 0}, {30, 2}};
    for (const Step &s : loop_steps) {
        textures_update(s.tick);
        EXPECT_EQ(s.image, texture_anim_image(looped)) << s.tick;
    }
}

TEST_F(Texture, BadSequenceFilesAreRejected) {
    png("one.png", 2, 2, 4, 1, 2, 3, 4);
    png("two.png", 2, 2, 4, 5, 6, 7, 8);
    png("rgb.png", 2, 2, 3);
    png("big.png", 4, 4, 4);
    struct Case {
        const char *text;
        const char *logged;
    };
    const Case cases[] = {
        {"ANIM1 2 2 5 0\n0 2\nPNG @one.png\nPNG @two.png\n", "Error reading .seq entry 1\n"},
        {"ANIM1 2 2 5 0\n-1 0\nPNG @one.png\nPNG @two.png\n", "Error reading .seq entry 0\n"},
        {"ANIM1 2 2 5 0\n0\n", "Error reading .seq entry 1\n"},
        {"ANIM1 0 2 5 0\n", "Error reading .seq header\n"},
        {"ANIM1 1 1 0 0\n0\nPNG @one.png\n", "Error reading .seq header\n"},
        {"ANIM1 1 2 5 0\n0\nPNG @one.png\nJPG @two.png\n", "Error reading .seq frame 1\n"},
        {"ANIM1 1 2 5 0\n0\nPNG @one.png\n", "Error reading .seq frame 1\n"},
        {"ANIM1 1 1 5 0\n0\nPNG", "EOF while reading .seq\n"},
        {"ANIM1 1 1 5 0\n0\nPNG @nowhere.png\n", "Can't read @nowhere.png\n"},
        {"ANIM1 1 2 5 0\n0\nPNG @one.png\nPNG @big.png\n", "Width/height mismatch reading .seq\n"},
        {"ANIM1 1 2 5 0\n0\nPNG @one.png\nPNG @rgb.png\n", "Depth mismatch reading .seq\n"},
        {"ANIM1 1 2 5 0\n0\nPNG @one.png\nV7 2 2\n", "Error reading .seq frame 1\n"},
    };
    int i = 0;
    for (const Case &c : cases) {
        std::string name = "bad" + std::to_string(i++) + ".anim";
        file(name, c.text);
    }
    i = 0;
    for (const Case &c : cases) {
        std::string name = "@bad" + std::to_string(i++) + ".anim";
        EXPECT_EQ(0u, texture_load(name.c_str())) << c.text;
        EXPECT_NE(std::string::npos, log_text().find(c.logged)) << c.text;
    }
    EXPECT_EQ(0u, texture_memory_used());
}

TEST_F(Texture, GenerationsAndPurgeDeleteWhatTheNewTrackDidNotUse) {
    texture_set_options(0, TEXTURE_COMPRESS_NO, true);
    png("keep.png", 4, 4);
    png("old.png", 4, 4);
    png("moved.png", 4, 4);
    png("img.png", 4, 4);
    png("green.png", 2, 2, 4, 0, 255, 0, 255);
    file("wave.anim", "ANIM1 1 1 5 0 0 PNG @green.png\n");

    TextureId keep = texture_load("@keep.png");
    textures_new_generation();
    EXPECT_EQ(1u, textures_generation());
    TextureId old = texture_load("@old.png");
    TextureId moved = texture_load("@moved.png");
    TextureId wave = texture_load("@wave.anim");
    CachedImage image;
    ASSERT_TRUE(image_load("@img.png", &image));
    ASSERT_TRUE(keep && old && moved && wave);
    EXPECT_EQ(2 * mip_chain_bytes(4, 4, 3) + mip_chain_bytes(2, 2, 4), texture_memory_used());

    textures_new_generation();
    EXPECT_EQ(0u, texture_memory_used());
    EXPECT_EQ(moved, texture_load("@moved.png"));   // asked again: joins this generation
    EXPECT_EQ(mip_chain_bytes(4, 4, 3), texture_memory_used());
    EXPECT_EQ(keep, texture_load("@keep.png"));     // generation 0 adds nothing
    EXPECT_EQ(mip_chain_bytes(4, 4, 3), texture_memory_used());

    textures_purge();
    EXPECT_STREQ("@keep.png", texture_name(keep));
    EXPECT_STREQ("@moved.png", texture_name(moved));
    EXPECT_EQ(nullptr, texture_name(old));
    EXPECT_EQ(nullptr, texture_name(wave));
    EXPECT_EQ(-1, texture_anim_image(wave));
    EXPECT_TRUE(glIsTexture(keep));
    EXPECT_TRUE(glIsTexture(moved));
    EXPECT_FALSE(glIsTexture(old));
    EXPECT_FALSE(glIsTexture(wave));
    std::string log = log_text();
    EXPECT_NE(std::string::npos, log.find("deleting tid " + std::to_string(old) + " (@old.png)\n"));
    EXPECT_NE(std::string::npos, log.find("deleting image @img.png\n"));
    EXPECT_NE(std::string::npos, log.find("deleting anim 0 for tid " + std::to_string(wave) + "\n"));
    EXPECT_EQ(0u, count_of(log, "@keep.png)"));

    // A purged name loads afresh.
    TextureId again = texture_load("@old.png");
    EXPECT_NE(0u, again);
    EXPECT_STREQ("@old.png", texture_name(again));
}

TEST_F(Texture, ImageLoadGivesRgbaWithOpaqueAlphaForRgbSources) {
    png("ground.png", 2, 2, 3, [](int x, int y, unsigned char *p) {
        p[0] = (unsigned char)(10 + x), p[1] = (unsigned char)(20 + y), p[2] = 30;
    });
    png("glass.png", 2, 2, 4, 1, 2, 3, 77);
    file("delta.v6", std::string("V6\n1 1\n") + "\x05\x06\x07");
    CachedImage image;
    ASSERT_TRUE(image_load("@ground.png", &image));
    EXPECT_EQ(2, image.width);
    EXPECT_EQ(2, image.height);
    const unsigned char want[4][4] = {{10, 20, 30, 255}, {11, 20, 30, 255}, {10, 21, 30, 255}, {11, 21, 30, 255}};
    EXPECT_EQ(0, memcmp(want, image.pixels, 16));
    EXPECT_EQ(255, image.pixels[16 + 3]);   // the 1 x 1 level too

    CachedImage same;
    ASSERT_TRUE(image_load("@GROUND.png", &same));
    EXPECT_EQ(image.pixels, same.pixels);
    EXPECT_EQ(1u, count_of(log_text(), "Warning: case mismatch on '@GROUND.png'\n"));

    ASSERT_TRUE(image_load("@glass.png", &image));
    EXPECT_EQ(77, image.pixels[3]);
    ASSERT_TRUE(image_load("@delta.v6", &image));
    const unsigned char delta[4] = {5, 6, 7, 255};
    EXPECT_EQ(0, memcmp(delta, image.pixels, 4));
    EXPECT_FALSE(image_load("@none.png", &image));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(0u, texture_memory_used());   // no GL texture
}
