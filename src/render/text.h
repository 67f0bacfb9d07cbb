// Text on screen and in pixel buffers, from bitmap font atlases.
//
// Every line of text the game shows (menus, HUD, console, messages) is drawn
// here, one textured quad per glyph, with ANSI colour escapes. The number
// fonts also print into pixel buffers, from which the bikes' number-plate
// textures are made.
//
// Owns: the three fonts of g_fonts (atlas pixels, glyph boxes and the main
// font's texture), loaded by fonts_load once the window exists and freed by
// fonts_free; the vertex batch and the draw-call counter.
// Never: touches GL in the atlas reader, text_width or the software
// renderer; draws with a font that failed to load.
#pragma once

#include <cstdint>

#include "files/texture.h"

enum {
    FONT_MAIN = 0,                // "@font.png", "!" .. "~", the only one on a texture
    FONT_NUMBERS = 1,             // "@numbers.png", "0" .. "9"
    FONT_NUMBERS_CONDENSED = 2,   // "@numbers-condensed.png", "0" .. "9"
    FONT_COUNT = 3,

    TEXT_BATCH_QUADS = 256,       // quads per draw call
    TEXT_ESCAPE_MAX_PARAMS = 64,  // parameters of one escape sequence; more are ignored
    TEXT_TAB_BLANKS = 8,          // tab stops every this many blank widths
};

// text_draw mode flags. Without TEXT_MODE_DEFAULT the text starts in palette
// colour (mode & 15) instead of the caller's colour.
enum TextMode {
    TEXT_MODE_DEFAULT = 16,       // start in the caller's colour (the usual mode)
    TEXT_MODE_BACKGROUND = 32,    // 40-47 pick the colour, 30-37 are ignored
    TEXT_MODE_NO_ESCAPES = 64,    // escape sequences are skipped without effect
};

// text_draw_at alignment of the text to its x.
enum TextAlign {
    TEXT_ALIGN_LEFT = 0,
    TEXT_ALIGN_CENTER = 1,
    TEXT_ALIGN_RIGHT = 2,
};

// The advance of a character the font does not have (glyph width / height).
constexpr float FONT_DEFAULT_ADVANCE = 2.0f / 3.0f;

// One font: per byte value a box in the atlas (texture coordinates as
// fractions of the atlas size, top-down) and an advance in line heights.
struct Font {
    float left[256], top[256], right[256], bottom[256];
    float advance[256];
    bool has_glyph[256];          // in the atlas; the others draw nothing
    unsigned char *pixels;        // RGBA atlas, base level only, markers cleared (malloc'd)
    int width, height;
    TextureId texture;            // main font only; 0 otherwise
    bool loaded;
};

extern Font g_fonts[FONT_COUNT];   // filled by fonts_load, emptied by fonts_free

// --- without GL (font_atlas.cpp) --------------------------------------------

// Gives every byte the default advance and no glyph, and frees nothing.
void font_clear(Font *font);
// Finds the marker grid of an RGBA atlas (rows top-down) and assigns its
// cells to the characters of chars, in order; then makes every marker pixel
// transparent in place. The marker colour is the top-left pixel's. Marker
// pixels on the top row of each grid row end its cells (scanning from x = 1);
// marker pixels in the left column end the grid rows, and the next grid row
// takes its cell ends from the row where the last one ended. False, with
// the pixels and font unchanged, when the grid has fewer cells than chars or
// a cell of no width or height.
bool font_atlas_parse(unsigned char *rgba, int width, int height, const char *chars, Font *font);
// Reads an atlas file ("@font.png", PNG or the delta format) into font
// (pixels owned by the font). With upload, the main font's texture with its
// mip chain is made too (needs the GL context). False and the font empty on
// failure; the reason is logged.
bool font_load(const char *name, const char *chars, bool upload, Font *font);
void font_free(Font *font);   // frees pixels and texture, clears the record

// --- the fonts of the game (text.cpp) ---------------------------------------

// Loads the three fonts, after the window and GL probe; logs
// "Can't open font '...'" for each atlas that does not read. True when the
// main font loaded.
bool fonts_load();
void fonts_free();   // with the context current (shut-down, tests)

// Width of text in line heights with the main font: advances summed, escape
// sequences skipped, tabs to the next multiple of 8 blank widths, and a
// carriage return or line feed restarting at 0 (the width of the last line).
float text_width(const char *text);
float text_width_font(const Font *font, const char *text);

// Draws text in the current model-view units, one unit = one text line: the
// first line spans y 0 .. 1 from x = 0, each later line one unit lower.
// Leading blanks are skipped. Blending and the font texture are set here
// and the caller's GL state restored afterwards; lighting and fog are off
// while it draws. Nothing without the main font's texture.
void text_draw(float r, float g, float b, float a, const char *text, int mode = TEXT_MODE_DEFAULT);
// text_draw scaled to lines size units high, the first line's bottom edge
// at y, aligned to x as align says.
void text_draw_at(float x, float y, float size, int align, float r, float g, float b, float a, const char *text,
                  int mode = TEXT_MODE_DEFAULT);

// Draw calls text_draw issued since the process started (tests, statistics).
int64_t text_draw_calls();

// --- number plates ----------------------------------------------------------

// The plate picture without GL: width x height RGBA (malloc'd, with its mip
// chain in *rgba when chain is set) in colour A where the numbers font is
// white and colour B where it is black, transparent elsewhere, with the
// outermost ring of every level transparent. Colours are 0..1 RGB. False
// on a bad size or when memory runs out.
bool number_plate_pixels(int width, int height, const char *text, const float color_a[3], const float color_b[3],
                         unsigned char **rgba);
// The plate as a texture with mipmaps; sizes must be powers of two. The
// caller owns it (glDeleteTextures). 0 on failure.
TextureId number_plate_texture(int width, int height, const char *text, const float color_a[3],
                               const float color_b[3]);
