// Font atlases: the marker grid reader and the loading of an atlas file into
// a Font, with the main font's texture.
//
// An atlas is an RGBA picture whose glyphs sit in the cells of a grid drawn
// with dots of one marker colour (the top-left pixel's). The reader never
// trusts the grid: a picture without markers, or with too few or empty
// cells, is refused before anything is changed.
#include "render/text.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "files/image.h"
#include "platform/log.h"

void font_clear(Font *font) {
    memset(font, 0, sizeof *font);
    for (int c = 0; c < 256; c++) font->advance[c] = FONT_DEFAULT_ADVANCE;
}

static uint32_t atlas_pixel(const unsigned char *rgba, int width, int x, int y) {
    const unsigned char *p = rgba + ((size_t)y * width + x) * 4;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// One cell of the grid, in pixels: x0 .. x1 - 1, y0 .. y1 - 1.
struct AtlasCell {
    int x0, y0, x1, y1;
};

// Walks the grid and hands out up to count cells; returns how many it found,
// or -1 for a cell of no width or height.
static int atlas_cells(const unsigned char *rgba, int width, int height, AtlasCell *cells, int count) {
    uint32_t marker = atlas_pixel(rgba, width, 0, 0);
    int found = 0, line = 0;
    while (found < count) {
        int end = line + 1;
        while (end < height && atlas_pixel(rgba, width, 0, end) != marker) end++;
        if (end >= height) break;   // the last grid row has ended
        int start = 1;
        for (int x = 1; x < width && found < count; x++) {
            if (atlas_pixel(rgba, width, x, line) != marker) continue;
            if (x == start || end == line + 1) return -1;
            cells[found++] = {start, line + 1, x, end};
            start = x + 1;
        }
        line = end;
    }
    return found;
}

// Every marker pixel on the top row and on each row the left column marks
// becomes transparent white, so no marker colour bleeds into the glyphs.
static void atlas_clear_markers(unsigned char *rgba, int width, int height) {
    uint32_t marker = atlas_pixel(rgba, width, 0, 0);
    for (int y = 0; y < height; y++) {
        if (atlas_pixel(rgba, width, 0, y) != marker) continue;
        for (int x = 0; x < width; x++) {
            if (atlas_pixel(rgba, width, x, y) != marker) continue;
            unsigned char *p = rgba + ((size_t)y * width + x) * 4;
            p[0] = p[1] = p[2] = 255;
            p[3] = 0;
        }
    }
}

bool font_atlas_parse(unsigned char *rgba, int width, int height, const char *chars, Font *font) {
    if (!rgba || !chars || !font || width < 2 || height < 2) return false;
    size_t count = strlen(chars);
    if (count == 0 || count > 256) return false;
    AtlasCell cells[256];
    int found = atlas_cells(rgba, width, height, cells, (int)count);
    if (found < (int)count) return false;

    unsigned char *pixels = font->pixels;
    int pixels_width = font->width, pixels_height = font->height;
    TextureId texture = font->texture;
    font_clear(font);
    font->pixels = pixels;
    font->width = pixels_width;
    font->height = pixels_height;
    font->texture = texture;
    for (int i = 0; i < found; i++) {
        unsigned char c = (unsigned char)chars[i];
        const AtlasCell &cell = cells[i];
        font->left[c] = (float)cell.x0 / width;
        font->right[c] = (float)cell.x1 / width;
        font->top[c] = (float)cell.y0 / height;
        font->bottom[c] = (float)cell.y1 / height;
        font->advance[c] = (float)(cell.x1 - cell.x0) / (float)(cell.y1 - cell.y0);
        font->has_glyph[c] = true;
    }
    // The blank is as wide as the dash, where the font has one.
    if (!font->has_glyph[(unsigned char)' '] && font->has_glyph[(unsigned char)'-'])
        font->advance[(unsigned char)' '] = font->advance[(unsigned char)'-'];
    atlas_clear_markers(rgba, width, height);
    return true;
}

// The base level of a picture as RGBA (malloc'd); none when memory runs out.
static unsigned char *atlas_rgba(const Image *image) {
    size_t n = (size_t)image->width * image->height;
    unsigned char *out = (unsigned char *)malloc(n * 4);
    if (!out) return nullptr;
    const unsigned char *in = image->pixels;
    for (size_t i = 0; i < n; i++) {
        const unsigned char *p = in + i * image->channels;
        unsigned char *q = out + i * 4;
        if (image->channels >= 3) {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        } else {
            q[0] = q[1] = q[2] = p[0];
        }
        q[3] = image->channels == 4 ? p[3] : 255;
    }
    return out;
}

// The texture of an atlas with its mip chain, made power-of-two sized by
// the texture cache's own preparation.
static TextureId atlas_upload(const unsigned char *rgba, int width, int height) {
    Image image = {};
    image.pixels = (unsigned char *)malloc(mip_chain_bytes(width, height, 4));
    if (!image.pixels) return 0;
    memcpy(image.pixels, rgba, (size_t)width * height * 4);
    mip_chain_build(image.pixels, width, height, 4, false);
    image.width = width;
    image.height = height;
    image.channels = 4;
    image.has_chain = true;
    TextureId id = 0;
    if (texture_prepare(&image, 0, false)) id = texture_upload(image.pixels, image.width, image.height, 4, 0);
    image_free(&image);
    return id;
}

bool font_load(const char *name, const char *chars, bool upload, Font *font) {
    font_free(font);
    Image image = {};
    if (!image_read_file(name, 4, &image)) {
        zolm_log("Can't open font '%.512s'\n", name);
        return false;
    }
    unsigned char *rgba = atlas_rgba(&image);
    int width = image.width, height = image.height;
    image_free(&image);
    if (!rgba) {
        zolm_log("Can't open font '%.512s'\n", name);
        return false;
    }
    if (!font_atlas_parse(rgba, width, height, chars, font)) {
        zolm_log("Can't open font '%.512s'\n", name);
        zolm_log("Font '%.512s' has no marker grid for its %d characters\n", name, (int)strlen(chars));
        free(rgba);
        return false;
    }
    font->pixels = rgba;
    font->width = width;
    font->height = height;
    if (upload) {
        font->texture = atlas_upload(rgba, width, height);
        if (!font->texture) {
            zolm_log("Can't open font '%.512s'\n", name);
            font_free(font);
            return false;
        }
    }
    font->loaded = true;
    return true;
}

void font_free(Font *font) {
    free(font->pixels);
    if (font->texture) {
        GLuint id = font->texture;
        glDeleteTextures(1, &id);
    }
    font_clear(font);
}
