// Text: the game's fonts, measuring, drawing with ANSI colour escapes in
// batches of quads, and the number plates printed in software.
#include "render/text.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "files/image.h"
#include "platform/log.h"

Font g_fonts[FONT_COUNT];

static int64_t s_draw_calls;   // whole process; counts every batch text_draw flushes

// The escape colours: 0-7 at intensity 0.75 (black stays 0), 8-15 the same
// at intensity 1 (bold).
static const float k_palette[16][3] = {
    {0, 0, 0},          {0.75f, 0, 0},     {0, 0.75f, 0},     {0.75f, 0.75f, 0},
    {0, 0, 0.75f},      {0.75f, 0, 0.75f}, {0, 0.75f, 0.75f}, {0.75f, 0.75f, 0.75f},
    {0, 0, 0},          {1, 0, 0},         {0, 1, 0},         {1, 1, 0},
    {0, 0, 1},          {1, 0, 1},         {0, 1, 1},         {1, 1, 1},
};

static const char *const k_font_files[FONT_COUNT] = {"@font.png", "@numbers.png", "@numbers-condensed.png"};

// --- fonts -------------------------------------------------------------------

bool fonts_load() {
    char printable[128];
    int n = 0;
    for (int c = '!'; c <= '~'; c++) printable[n++] = (char)c;
    printable[n] = '\0';
    const char *chars[FONT_COUNT] = {printable, "0123456789", "0123456789"};
    for (int i = 0; i < FONT_COUNT; i++) font_load(k_font_files[i], chars[i], i == FONT_MAIN, &g_fonts[i]);
    return g_fonts[FONT_MAIN].loaded;
}

void fonts_free() {
    for (Font &font : g_fonts) font_free(&font);
}

// --- escape sequences --------------------------------------------------------

// One parsed escape sequence: its final byte (0 when the text ended first)
// and its numeric parameters.
struct TextEscape {
    unsigned char final_byte;
    int count;
    int params[TEXT_ESCAPE_MAX_PARAMS];
};

// Parses the sequence at s (s[0] is the escape byte): an optional "[",
// decimal parameters separated by ";", and a final byte "@" .. "~". Other
// bytes on the way are passed over. Returns the bytes the sequence spans.
static int text_escape_parse(const unsigned char *s, TextEscape *e) {
    e->final_byte = 0;
    e->count = 0;
    int i = 1;
    if (s[i] == '[') i++;
    int value = 0;
    bool pending = false;
    for (;; i++) {
        unsigned char c = s[i];
        if (c == 0) return i;
        if (c >= '0' && c <= '9') {
            if (value < 100000) value = value * 10 + (c - '0');
            pending = true;
        } else if (c == ';' || (c >= '@' && c <= '~')) {
            if ((c == ';' || pending || e->count > 0) && e->count < TEXT_ESCAPE_MAX_PARAMS)
                e->params[e->count++] = value;
            value = 0;
            pending = false;
            if (c != ';') {
                e->final_byte = c;
                return i + 1;
            }
        }
    }
}

// The colour state of a run of text: a palette index or -1 for the caller's
// colour, and bold.
struct TextColorState {
    int palette;
    bool bold;
};

static void text_escape_apply(const TextEscape *e, int mode, TextColorState *state) {
    if (e->final_byte != 'm' || (mode & TEXT_MODE_NO_ESCAPES)) return;
    if (e->count == 0) {
        state->palette = -1;
        state->bold = false;
    }
    for (int i = 0; i < e->count; i++) {
        int p = e->params[i];
        if (p == 0) {
            state->palette = -1;
            state->bold = false;
        } else if (p == 1) {
            state->bold = true;
        } else if (p == 22) {
            state->bold = false;
        } else if (p >= 30 && p <= 37 && !(mode & TEXT_MODE_BACKGROUND)) {
            state->palette = p - 30;
        } else if (p >= 40 && p <= 47 && (mode & TEXT_MODE_BACKGROUND)) {
            state->palette = p - 40;
        }
    }
}

static TextColorState text_color_start(int mode) {
    TextColorState state;
    state.palette = (mode & TEXT_MODE_DEFAULT) ? -1 : (mode & 7);
    state.bold = !(mode & TEXT_MODE_DEFAULT) && (mode & 8);
    return state;
}

static void text_color(const TextColorState *state, const float caller[4], float out[4]) {
    if (state->palette < 0) {
        for (int i = 0; i < 3; i++) out[i] = state->bold ? std::fmin(caller[i] + 0.25f, 1.0f) : caller[i];
    } else {
        const float *p = k_palette[state->palette + (state->bold ? 8 : 0)];
        for (int i = 0; i < 3; i++) out[i] = p[i];
    }
    out[3] = caller[3];
}

// --- measuring ---------------------------------------------------------------

static float text_next_tab(const Font *font, float x) {
    float stop = TEXT_TAB_BLANKS * font->advance[(unsigned char)' '];
    if (stop <= 0.0f) return x;
    return (std::floor(x / stop) + 1.0f) * stop;
}

float text_width_font(const Font *font, const char *text) {
    if (!text) return 0.0f;
    const unsigned char *s = (const unsigned char *)text;
    float x = 0.0f;
    while (*s) {
        unsigned char c = *s;
        if (c == 27) {
            TextEscape e;
            s += text_escape_parse(s, &e);
            continue;
        }
        if (c == '\r' || c == '\n') x = 0.0f;
        else if (c == '\t') x = text_next_tab(font, x);
        else x += font->advance[c];
        s++;
    }
    return x;
}

float text_width(const char *text) {
    static Font s_default;   // advances only, for measuring before the fonts load
    static bool s_default_ready;
    if (g_fonts[FONT_MAIN].loaded) return text_width_font(&g_fonts[FONT_MAIN], text);
    if (!s_default_ready) {
        font_clear(&s_default);
        s_default_ready = true;
    }
    return text_width_font(&s_default, text);
}

// --- drawing -----------------------------------------------------------------

// The batch being filled: four vertices per quad.
static float s_xy[TEXT_BATCH_QUADS * 4 * 2];
static float s_uv[TEXT_BATCH_QUADS * 4 * 2];
static float s_rgba[TEXT_BATCH_QUADS * 4 * 4];
static int s_quads;

static void text_flush() {
    if (s_quads == 0) return;
    glDrawArrays(GL_QUADS, 0, s_quads * 4);
    s_draw_calls++;
    s_quads = 0;
}

static void text_quad(const Font *font, unsigned char c, float x, float y, const float color[4]) {
    float adv = font->advance[c];
    const float xy[8] = {x, y, x + adv, y, x + adv, y + 1.0f, x, y + 1.0f};
    const float uv[8] = {font->left[c],  font->bottom[c], font->right[c], font->bottom[c],
                         font->right[c], font->top[c],    font->left[c],  font->top[c]};
    memcpy(&s_xy[s_quads * 8], xy, sizeof xy);
    memcpy(&s_uv[s_quads * 8], uv, sizeof uv);
    for (int v = 0; v < 4; v++) memcpy(&s_rgba[(s_quads * 4 + v) * 4], color, 4 * sizeof(float));
    if (++s_quads == TEXT_BATCH_QUADS) text_flush();
}

void text_draw(float r, float g, float b, float a, const char *text, int mode) {
    const Font *font = &g_fonts[FONT_MAIN];
    if (!text || !font->texture) return;
    const unsigned char *s = (const unsigned char *)text;
    while (*s == ' ') s++;
    if (!*s) return;

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, s_xy);
    glTexCoordPointer(2, GL_FLOAT, 0, s_uv);
    glColorPointer(4, GL_FLOAT, 0, s_rgba);

    const float caller[4] = {r, g, b, a};
    TextColorState state = text_color_start(mode);
    float color[4];
    text_color(&state, caller, color);
    float x = 0.0f, y = 0.0f;
    s_quads = 0;
    while (*s) {
        unsigned char c = *s;
        if (c == 27) {
            TextEscape e;
            s += text_escape_parse(s, &e);
            text_escape_apply(&e, mode, &state);
            text_color(&state, caller, color);
            continue;
        }
        s++;
        if (c == '\r') {
            x = 0.0f;
        } else if (c == '\n') {
            x = 0.0f;
            y -= 1.0f;
        } else if (c == '\t') {
            x = text_next_tab(font, x);
        } else {
            if (font->has_glyph[c]) text_quad(font, c, x, y, color);
            x += font->advance[c];
        }
    }
    text_flush();

    glBindTexture(GL_TEXTURE_2D, 0);
    glPopClientAttrib();
    glPopAttrib();
}

void text_draw_at(float x, float y, float size, int align, float r, float g, float b, float a, const char *text,
                  int mode) {
    if (!text) return;
    const char *shown = text;
    while (*shown == ' ') shown++;
    float width = text_width(shown) * size;
    float left = align == TEXT_ALIGN_CENTER ? x - width / 2 : align == TEXT_ALIGN_RIGHT ? x - width : x;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(left, y, 0.0f);
    glScalef(size, size, 1.0f);
    text_draw(r, g, b, a, shown, mode);
    glPopMatrix();
}

int64_t text_draw_calls() { return s_draw_calls; }

// --- number plates -----------------------------------------------------------

// The atlas at a point of a glyph's cell (u, v in 0..1 across the cell),
// bilinear and kept inside the cell; colour straight, alpha 0..1.
static void plate_sample(const Font *font, unsigned char c, float u, float v, float out[4]) {
    float x0 = font->left[c] * font->width, x1 = font->right[c] * font->width;
    float y0 = font->top[c] * font->height, y1 = font->bottom[c] * font->height;
    float fx = std::fmin(std::fmax(x0 + u * (x1 - x0) - 0.5f, x0), x1 - 1.0f);
    float fy = std::fmin(std::fmax(y0 + v * (y1 - y0) - 0.5f, y0), y1 - 1.0f);
    int ix = (int)fx, iy = (int)fy;
    float tx = fx - ix, ty = fy - iy;
    int ix1 = ix + 1 < (int)x1 ? ix + 1 : ix, iy1 = iy + 1 < (int)y1 ? iy + 1 : iy;
    const int xs[2] = {ix, ix1}, ys[2] = {iy, iy1};
    const float wx[2] = {1 - tx, tx}, wy[2] = {1 - ty, ty};
    float sum[4] = {0, 0, 0, 0};
    for (int j = 0; j < 2; j++) {
        for (int i = 0; i < 2; i++) {
            const unsigned char *p = font->pixels + ((size_t)ys[j] * font->width + xs[i]) * 4;
            float w = wx[i] * wy[j] * (p[3] / 255.0f);
            for (int k = 0; k < 3; k++) sum[k] += w * p[k];
            sum[3] += w;
        }
    }
    for (int k = 0; k < 3; k++) out[k] = sum[3] > 0 ? sum[k] / sum[3] : 255.0f;
    out[3] = sum[3];
}

// Paints one glyph over the buffer in the box x .. x + w, y .. y + h.
static void plate_glyph(unsigned char *rgba, int width, int height, const Font *font, unsigned char c, float x,
                        float y, float w, float h) {
    int px0 = (int)std::floor(x), px1 = (int)std::ceil(x + w);
    int py0 = (int)std::floor(y), py1 = (int)std::ceil(y + h);
    for (int py = py0 < 0 ? 0 : py0; py < py1 && py < height; py++) {
        for (int px = px0 < 0 ? 0 : px0; px < px1 && px < width; px++) {
            float u = (px + 0.5f - x) / w, v = (py + 0.5f - y) / h;
            if (u < 0 || u > 1 || v < 0 || v > 1) continue;
            float s[4];
            plate_sample(font, c, u, v, s);
            if (s[3] <= 0) continue;
            unsigned char *d = rgba + ((size_t)py * width + px) * 4;
            float da = d[3] / 255.0f;
            float out_a = s[3] + da * (1 - s[3]);
            for (int k = 0; k < 3; k++) {
                float v = (s[k] * s[3] + d[k] * da * (1 - s[3])) / out_a;
                d[k] = (unsigned char)std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f));
            }
            d[3] = (unsigned char)std::lround(out_a * 255.0f);
        }
    }
}

// The digits fill 80% of the plate's height, centred, in the numbers font;
// too wide for 90% of its width they take the condensed font, and then
// shrink until they fit.
static void plate_print(unsigned char *rgba, int width, int height, const char *text) {
    const Font *font = &g_fonts[FONT_NUMBERS];
    const Font *condensed = &g_fonts[FONT_NUMBERS_CONDENSED];
    if (!font->loaded) font = condensed;
    if (!font->loaded || !text) return;
    float line = height * 0.8f, room = width * 0.9f;
    float w = text_width_font(font, text);
    if (w * line > room && condensed->loaded) {
        font = condensed;
        w = text_width_font(font, text);
    }
    if (w * line > room) line = room / w;
    float x = (width - w * line) / 2, y = (height - line) / 2;
    for (const unsigned char *s = (const unsigned char *)text; *s; s++) {
        if (*s == 27 || *s == '\r' || *s == '\n' || *s == '\t') continue;
        if (font->has_glyph[*s]) plate_glyph(rgba, width, height, font, *s, x, y, font->advance[*s] * line, line);
        x += font->advance[*s] * line;
    }
}

bool number_plate_pixels(int width, int height, const char *text, const float color_a[3], const float color_b[3],
                         unsigned char **rgba) {
    *rgba = nullptr;
    if (width < 1 || height < 1 || width > 4096 || height > 4096) return false;
    unsigned char *pixels = (unsigned char *)malloc(mip_chain_bytes(width, height, 4));
    if (!pixels) return false;
    size_t n = (size_t)width * height;
    for (size_t i = 0; i < n; i++) {
        unsigned char *p = pixels + i * 4;
        p[0] = p[1] = p[2] = 255;
        p[3] = 0;
    }
    plate_print(pixels, width, height, text);
    // White becomes colour A, black colour B.
    for (size_t i = 0; i < n; i++) {
        unsigned char *p = pixels + i * 4;
        for (int k = 0; k < 3; k++) {
            float a = std::fmin(std::fmax(color_a[k], 0.0f), 1.0f), b = std::fmin(std::fmax(color_b[k], 0.0f), 1.0f);
            p[k] = (unsigned char)std::lround(255.0f * (b + (a - b) * p[k] / 255.0f));
        }
    }
    mip_chain_build(pixels, width, height, 4, false);
    // The outermost ring of every level is transparent, so nothing bleeds
    // in from the edges.
    unsigned char *level = pixels;
    int w = width, h = height;
    for (;;) {
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (y != 0 && y != h - 1 && x != 0 && x != w - 1) continue;
                unsigned char *p = level + ((size_t)y * w + x) * 4;
                p[0] = p[1] = p[2] = 255;
                p[3] = 0;
            }
        }
        if (w == 1 && h == 1) break;
        level += (size_t)w * h * 4;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    *rgba = pixels;
    return true;
}

TextureId number_plate_texture(int width, int height, const char *text, const float color_a[3],
                               const float color_b[3]) {
    if ((width & (width - 1)) != 0 || (height & (height - 1)) != 0) {
        zolm_log("Number plate size %dx%d is not a power of 2\n", width, height);
        return 0;
    }
    unsigned char *pixels = nullptr;
    if (!number_plate_pixels(width, height, text, color_a, color_b, &pixels)) return 0;
    TextureId id = texture_upload(pixels, width, height, 4, 0);
    free(pixels);
    return id;
}
