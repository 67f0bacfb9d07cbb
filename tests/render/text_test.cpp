#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "files/texture.h"
#include "make_fonts.h"
#include "platform/window_fixture.h"
#include "render/text.h"
#include "render/view.h"

// --- a hand-made atlas ---------------------------------------------------------

// A small RGBA atlas: background opaque grey, marker colour green.
struct TinyAtlas {
    int width, height;
    std::vector<unsigned char> px;
    TinyAtlas(int w, int h) : width(w), height(h), px((size_t)w * h * 4, 100) {
        for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;
        mark(0, 0);
    }
    void mark(int x, int y) {
        unsigned char *p = &px[((size_t)y * width + x) * 4];
        p[0] = 0;
        p[1] = 255;
        p[2] = 0;
        p[3] = 255;
    }
    const unsigned char *at(int x, int y) const { return &px[((size_t)y * width + x) * 4]; }
};

// Grid row 0: cells x 1..3 and 5..6, y 1..4; grid row 1 (top line y = 5):
// one cell x 1..2, y 6..8.
static TinyAtlas tiny_atlas() {
    TinyAtlas a(16, 10);
    a.mark(4, 0);
    a.mark(7, 0);
    a.mark(0, 5);
    a.mark(3, 5);
    a.mark(0, 9);
    return a;
}

TEST(FontAtlas, GridCellsBecomeGlyphBoxesInCharacterOrder) {
    TinyAtlas a = tiny_atlas();
    Font font;
    font_clear(&font);
    ASSERT_TRUE(font_atlas_parse(a.px.data(), a.width, a.height, "A-C", &font));
    struct Row {
        char c;
        float left, top, right, bottom, advance;
    } rows[] = {
        {'A', 1 / 16.f, 1 / 10.f, 4 / 16.f, 5 / 10.f, 3 / 4.f},
        {'-', 5 / 16.f, 1 / 10.f, 7 / 16.f, 5 / 10.f, 2 / 4.f},
        {'C', 1 / 16.f, 6 / 10.f, 3 / 16.f, 9 / 10.f, 2 / 3.f},
    };
    for (const Row &r : rows) {
        unsigned char c = (unsigned char)r.c;
        EXPECT_TRUE(font.has_glyph[c]) << r.c;
        EXPECT_FLOAT_EQ(r.left, font.left[c]) << r.c;
        EXPECT_FLOAT_EQ(r.top, font.top[c]) << r.c;
        EXPECT_FLOAT_EQ(r.right, font.right[c]) << r.c;
        EXPECT_FLOAT_EQ(r.bottom, font.bottom[c]) << r.c;
        EXPECT_FLOAT_EQ(r.advance, font.advance[c]) << r.c;
    }
    EXPECT_FALSE(font.has_glyph[(unsigned char)'B']);
    EXPECT_FLOAT_EQ(FONT_DEFAULT_ADVANCE, font.advance[(unsigned char)'B']);
    EXPECT_FLOAT_EQ(0.5f, font.advance[(unsigned char)' ']);   // the blank takes the dash's advance

    // Every marker is transparent now; glyph pixels are as they were.
    const int markers[][2] = {{0, 0}, {4, 0}, {7, 0}, {0, 5}, {3, 5}, {0, 9}};
    for (const auto &m : markers) EXPECT_EQ(0, a.at(m[0], m[1])[3]) << m[0] << "," << m[1];
    EXPECT_EQ(100, a.at(2, 2)[1]);
    EXPECT_EQ(255, a.at(2, 2)[3]);
}

TEST(FontAtlas, BrokenGridsAreRefusedAndNothingChanges) {
    struct Row {
        const char *what;
        int width, height;
        std::vector<std::pair<int, int>> marks;   // besides the top-left one
        const char *chars;
    } rows[] = {
        {"no markers at all", 16, 10, {}, "A"},
        {"more characters than cells", 16, 10, {{4, 0}, {0, 9}}, "AB"},
        {"no row end in the left column", 16, 10, {{4, 0}, {7, 0}}, "A"},
        {"a cell of no width", 16, 10, {{1, 0}, {0, 9}}, "A"},
        {"a grid row of no height", 16, 10, {{4, 0}, {0, 1}}, "A"},
        {"a picture of one row", 16, 1, {{4, 0}}, "A"},
        {"no characters", 16, 10, {{4, 0}, {0, 9}}, ""},
    };
    for (const Row &r : rows) {
        TinyAtlas a(r.width, r.height);
        for (const auto &m : r.marks) a.mark(m.first, m.second);
        std::vector<unsigned char> before = a.px;
        Font font;
        font_clear(&font);
        font.advance[(unsigned char)'A'] = 0.125f;
        EXPECT_FALSE(font_atlas_parse(a.px.data(), a.width, a.height, r.chars, &font)) << r.what;
        EXPECT_EQ(before, a.px) << r.what;
        EXPECT_FLOAT_EQ(0.125f, font.advance[(unsigned char)'A']) << r.what;
    }
}

// --- measuring -------------------------------------------------------------------

TEST(Text, WidthCountsAdvancesTabsAndLinesButNotEscapes) {
    Font font;
    font_clear(&font);
    for (int c = 'a'; c <= 'z'; c++) {
        font.advance[c] = 0.5f;
        font.has_glyph[c] = true;
    }
    font.advance[(unsigned char)' '] = 0.25f;   // tab stops every 2.0
    struct Row {
        const char *text;
        float width;
    } rows[] = {
        {"", 0.0f},
        {"abc", 1.5f},
        {"abc\tx", 2.5f},                  // three of 0.5, then the tab stop at 8 blanks
        {"\tx", 2.5f},
        {"abcd\t", 4.0f},                  // on a stop already: to the next one
        {"\t\t", 4.0f},
        {"  a", 1.0f},
        {"\x1b[1;31mab\x1b[0m", 1.0f},
        {"a\x1bmb", 1.0f},                 // no "[", final byte at once
        {"a\x1b[38;5;208mb", 1.0f},
        {"ab\x1b[12;", 1.0f},              // cut short: the rest is the sequence
        {"ab\ncd e", 1.75f},
        {"abc\rx", 0.5f},
        {"a\x01", 0.5f + FONT_DEFAULT_ADVANCE},
    };
    for (const Row &r : rows) EXPECT_FLOAT_EQ(r.width, text_width_font(&font, r.text)) << ::testing::PrintToString(r.text);
    EXPECT_FLOAT_EQ(0.0f, text_width_font(&font, nullptr));
}

// --- with the generated fonts ---------------------------------------------------

// The three atlases as the data builder makes them, rendered once.
static const std::vector<ArchiveMember> &generated_atlases() {
    static std::vector<ArchiveMember> members;
    if (members.empty()) {
        std::string error;
        EXPECT_TRUE(fonts_build_atlases(k_font_dir, &members, &error)) << error;
    }
    return members;
}

class TextFrame : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        use_data_dirs(dir / "xdg", dir / "data");
        for (const ArchiveMember &m : generated_atlases()) write_file(dir / ("data/" + m.name), m.bytes);
    }
    void TearDown() override {
        fonts_free();
        textures_free();
        WindowFixture::TearDown();
    }
    // Opens a window, starts a frame and loads the fonts.
    void start(int width, int height) {
        ASSERT_NE(nullptr, open(width, height));
        ZolmViewport vp;
        ASSERT_TRUE(zolm_begin_frame(window, &vp));
        texture_set_options(0, 0, false);
        ASSERT_TRUE(fonts_load()) << log_text();
        set_projection(width, height, 90.0f);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
    }
};

TEST_F(TextFrame, GlyphsAreBatchedTwoHundredFiftySixQuadsPerDrawCall) {
    start(64, 48);
    overlay_begin(25);
    struct Row {
        std::string text;
        int64_t calls;
    } rows[] = {
        {std::string(300, 'x'), 2},
        {std::string(256, 'x'), 1},
        {std::string(257, 'x'), 2},
        {"   " + std::string(256, 'x') + " \t\x1b[31m", 1},   // blanks, tabs and escapes make no quads
        {"    ", 0},
    };
    for (const Row &r : rows) {
        int64_t before = text_draw_calls();
        text_draw(1, 1, 1, 1, r.text.c_str(), TEXT_MODE_DEFAULT);
        EXPECT_EQ(r.calls, text_draw_calls() - before) << r.text.size();
    }
    overlay_end();
    EXPECT_EQ((GLenum)GL_NO_ERROR, glGetError());
    ASSERT_TRUE(zolm_swap(window));
}

// Two glyphs a line high in a two-line overlay, so the atlas (48 pixels a
// line) lands one texel per pixel: where the atlas is solid the screen shows
// the glyph's colour, where it is empty the black background.
TEST_F(TextFrame, GeneratedFontDrawsColouredGlyphsWhereTheAtlasHasThem) {
    const int W = 128, H = 96;
    start(W, H);
    overlay_begin(2);
    // Bold red from the escape, then back to the caller's blue.
    text_draw(0, 0, 1, 1, "\x1b[1;31mM\x1b[0mM", TEXT_MODE_DEFAULT);
    overlay_end();
    std::vector<unsigned char> screen((size_t)W * H * 3);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, screen.data());

    const Font &f = g_fonts[FONT_MAIN];
    unsigned char m = 'M';
    float line = H / 2.0f, adv = f.advance[m] * line;
    auto alpha = [&](int tx, int ty) {
        tx = std::min(std::max(tx, 0), f.width - 1);
        ty = std::min(std::max(ty, 0), f.height - 1);
        return f.pixels[((size_t)ty * f.width + tx) * 4 + 3];
    };
    const unsigned char colors[2][3] = {{255, 0, 0}, {0, 0, 255}};
    int solid = 0, empty = 0;
    for (int glyph = 0; glyph < 2; glyph++) {
        float x0 = glyph * adv;
        for (int py = H / 2; py < H; py++) {
            for (int px = (int)x0; px < (int)(x0 + adv) && px < W; px++) {
                float u = f.left[m] + (px + 0.5f - x0) / adv * (f.right[m] - f.left[m]);
                float v = f.top[m] + (H - (py + 0.5f)) / line * (f.bottom[m] - f.top[m]);
                int tx = (int)(u * f.width), ty = (int)(v * f.height);
                // Solid: the texel and its eight neighbours; empty: none
                // within two texels.
                int lo = 255, hi = 0;
                for (int dy = -2; dy <= 2; dy++)
                    for (int dx = -2; dx <= 2; dx++) {
                        if (std::abs(dx) <= 1 && std::abs(dy) <= 1) lo = std::min(lo, (int)alpha(tx + dx, ty + dy));
                        hi = std::max(hi, (int)alpha(tx + dx, ty + dy));
                    }
                const unsigned char *s = &screen[((size_t)py * W + px) * 3];
                if (lo >= 250) {
                    solid++;
                    for (int k = 0; k < 3; k++)
                        EXPECT_NEAR(colors[glyph][k], s[k], 8) << "glyph " << glyph << " at " << px << "," << py;
                } else if (hi == 0) {
                    empty++;
                    EXPECT_EQ(0, s[0] + s[1] + s[2]) << "glyph " << glyph << " at " << px << "," << py;
                }
            }
        }
    }
    EXPECT_GT(solid, 80);
    EXPECT_GT(empty, 200);
    // Below the first line and right of the text: background only.
    for (int py = 0; py < H; py++) {
        for (int px = 0; px < W; px++) {
            if (py >= H / 2 && px < (int)std::ceil(2 * adv) + 1) continue;
            const unsigned char *s = &screen[((size_t)py * W + px) * 3];
            ASSERT_EQ(0, s[0] + s[1] + s[2]) << px << "," << py;
        }
    }
    EXPECT_EQ((GLenum)GL_NO_ERROR, glGetError());
    ASSERT_TRUE(zolm_swap(window));
}

TEST_F(TextFrame, LeadingBlanksAndPositionedTextStartAtTheirPlace) {
    const int W = 128, H = 96;
    start(W, H);
    overlay_begin(2);
    text_draw(1, 1, 1, 1, "   I", TEXT_MODE_DEFAULT);
    // Right-aligned against the right edge of the screen, on the second line.
    float right = W / (H / 2.0f);
    text_draw_at(right, -1.0f, 1.0f, TEXT_ALIGN_RIGHT, 1, 1, 1, 1, "I", TEXT_MODE_DEFAULT);
    overlay_end();
    std::vector<unsigned char> screen((size_t)W * H * 3);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, screen.data());
    float adv = g_fonts[FONT_MAIN].advance[(unsigned char)'I'] * (H / 2.0f);
    auto lit = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) n += screen[((size_t)y * W + x) * 3] > 128;
        return n;
    };
    EXPECT_GT(lit(0, (int)std::ceil(adv), H / 2, H), 50);            // "I" from the left edge
    EXPECT_EQ(0, lit((int)std::ceil(adv) + 1, W, H / 2, H));
    EXPECT_GT(lit(W - (int)std::ceil(adv), W, 0, H / 2), 50);        // and against the right one
    EXPECT_EQ(0, lit(0, W - (int)std::ceil(adv) - 1, 0, H / 2));
    ASSERT_TRUE(zolm_swap(window));
}

// --- number plates ----------------------------------------------------------------

class NumberPlate : public TextFrame {};

TEST_F(NumberPlate, DigitsInColourAOutlinedInBInsideATransparentRing) {
    ASSERT_TRUE(font_load("@numbers.png", "0123456789", false, &g_fonts[FONT_NUMBERS]));
    ASSERT_TRUE(font_load("@numbers-condensed.png", "0123456789", false, &g_fonts[FONT_NUMBERS_CONDENSED]));
    const float a[3] = {1, 1, 0}, b[3] = {0, 0, 1};
    for (const char *text : {"7", "42", "1234567"}) {
        const int W = 128, H = 64;
        unsigned char *px = nullptr;
        ASSERT_TRUE(number_plate_pixels(W, H, text, a, b, &px)) << text;
        int fill = 0, outline = 0;
        for (int y = 0; y < H; y++) {
            for (int x = 0; x < W; x++) {
                const unsigned char *p = px + ((size_t)y * W + x) * 4;
                if (x == 0 || y == 0 || x == W - 1 || y == H - 1) {
                    ASSERT_EQ(0, p[3]) << text << " ring " << x << "," << y;
                    continue;
                }
                if (p[3] < 255) continue;
                fill += p[0] > 240 && p[1] > 240 && p[2] < 15;
                outline += p[0] < 40 && p[1] < 40 && p[2] > 215;
            }
        }
        EXPECT_GT(fill, 100) << text;
        EXPECT_GT(outline, 20) << text;
        // The ring of the next level is transparent too.
        const unsigned char *level1 = px + (size_t)W * H * 4;
        for (int x = 0; x < W / 2; x++) EXPECT_EQ(0, level1[x * 4 + 3]) << text;
        free(px);
    }
    unsigned char *px = nullptr;
    EXPECT_FALSE(number_plate_pixels(0, 64, "1", a, b, &px));
    EXPECT_EQ(nullptr, px);
}

TEST_F(NumberPlate, TextureNeedsPowerOfTwoSizes) {
    start(64, 48);
    const float a[3] = {1, 1, 1}, b[3] = {0, 0, 0};
    TextureId id = number_plate_texture(64, 32, "12", a, b);
    EXPECT_NE(0u, id);
    EXPECT_EQ(0u, number_plate_texture(60, 32, "12", a, b));
    GLuint name = id;
    glDeleteTextures(1, &name);
    ASSERT_TRUE(zolm_swap(window));
}

TEST_F(TextFrame, AMissingAtlasIsLoggedAndNothingIsDrawn) {
    unlink((dir / "data/font.png").c_str());
    ASSERT_NE(nullptr, open(64, 48));
    ZolmViewport vp;
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    EXPECT_FALSE(fonts_load());
    EXPECT_NE(std::string::npos, log_text().find("Can't open font '@font.png'")) << log_text();
    EXPECT_TRUE(g_fonts[FONT_NUMBERS].loaded);
    int64_t before = text_draw_calls();
    text_draw(1, 1, 1, 1, "abc", TEXT_MODE_DEFAULT);
    EXPECT_EQ(before, text_draw_calls());
    EXPECT_FLOAT_EQ(3 * FONT_DEFAULT_ADVANCE, text_width("abc"));
    ASSERT_TRUE(zolm_swap(window));
}

// --- the data builder -------------------------------------------------------------

TEST(MakeFonts, AtlasesAreTheSameBytesEveryTimeAndReadBack) {
    std::vector<ArchiveMember> again;
    std::string error;
    ASSERT_TRUE(fonts_build_atlases(k_font_dir, &again, &error)) << error;
    const std::vector<ArchiveMember> &first = generated_atlases();
    ASSERT_EQ(3u, again.size());
    ASSERT_EQ(first.size(), again.size());
    const char *names[] = {"font.png", "numbers.png", "numbers-condensed.png"};
    for (size_t i = 0; i < again.size(); i++) {
        EXPECT_EQ(names[i], again[i].name);
        EXPECT_TRUE(first[i].bytes == again[i].bytes) << again[i].name;
    }
}

TEST(MakeFonts, AMissingFontFileSaysWhichAndWhere) {
    std::vector<ArchiveMember> members;
    std::string error;
    EXPECT_FALSE(fonts_build_atlases("/nonexistent/fonts", &members, &error));
    EXPECT_TRUE(members.empty());
    EXPECT_NE(std::string::npos, error.find("/nonexistent/fonts/DejaVuSans.ttf")) << error;
    EXPECT_NE(std::string::npos, error.find("fonts-dejavu-core")) << error;
}
