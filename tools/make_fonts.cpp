// The font atlases, rendered with FreeType. This file is the only one that
// includes FreeType; the game itself reads the finished PNG atlases.
//
// Layout of an atlas (what the game's reader expects): RGBA, transparent
// white background, marker colour opaque magenta in the top-left pixel.
// Grid row r has its top line at y = r * (cell height + 1): a marker on that
// line at the column just after each of its cells, and a marker in the left
// column at the line below its cells, which is also the next grid row's top
// line. Cells start at x = 1, one marker column apart, and are exactly as
// wide as the glyph's advance (plus the outline on both sides), so the game's
// advance (cell width / cell height) spaces the text as the font does.
#include "make_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/image.h"

const char *const k_font_dir = "/usr/share/fonts/truetype/dejavu";

// How one atlas is made.
struct AtlasSpec {
    const char *member;    // archive member name
    const char *file;      // font file in the font directory
    const char *chars;     // in atlas order
    int pixel_size;        // FreeType pixel size (em)
    int cell_height;       // pixels of one text line
    float squeeze;         // horizontal scale (condensed digits)
    int outline;           // black outline radius in pixels, 0 for none
    int width;             // atlas width; the height is the next power of two that fits
};

enum { ATLAS_MARKER_R = 255, ATLAS_MARKER_G = 0, ATLAS_MARKER_B = 255 };

// One glyph rendered as fill coverage in a cell of its own size.
struct GlyphCell {
    int width;                    // advance + 2 * outline
    std::vector<float> fill;      // width x cell height, 0..1
};

static std::string ft_error_text(const char *what, const std::string &path, int code) {
    char line[512];
    snprintf(line, sizeof line, "%s '%s' (FreeType error %d)", what, path.c_str(), code);
    return line;
}

// The baseline: the text's ascender and descender centred in the cell, or
// for digit-only fonts the digits' height centred.
static int atlas_baseline(FT_Face face, const AtlasSpec &spec) {
    if (spec.outline > 0 && FT_Load_Char(face, '0', FT_LOAD_RENDER) == 0) {
        int top = face->glyph->bitmap_top;
        return (spec.cell_height + top) / 2;
    }
    int ascender = (int)(face->size->metrics.ascender >> 6);
    int descender = (int)(-face->size->metrics.descender >> 6);
    return (spec.cell_height - (ascender + descender)) / 2 + ascender;
}

static bool atlas_render_glyph(FT_Face face, const AtlasSpec &spec, int baseline, unsigned char c, GlyphCell *cell,
                               std::string *error) {
    int code = FT_Load_Char(face, c, FT_LOAD_RENDER);
    if (code != 0) {
        *error = ft_error_text("can't render a glyph of", spec.file, code);
        return false;
    }
    FT_GlyphSlot g = face->glyph;
    int advance = (int)((g->advance.x + 63) >> 6);
    if (advance < 1) advance = 1;
    cell->width = advance + 2 * spec.outline;
    cell->fill.assign((size_t)cell->width * spec.cell_height, 0.0f);
    const FT_Bitmap &bm = g->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return true;   // a blank glyph
    int ox = spec.outline + g->bitmap_left, oy = baseline - g->bitmap_top;
    for (unsigned row = 0; row < bm.rows; row++) {
        int y = oy + (int)row;
        if (y < 0 || y >= spec.cell_height) continue;
        for (unsigned col = 0; col < bm.width; col++) {
            int x = ox + (int)col;
            if (x < 0 || x >= cell->width) continue;
            float v = bm.buffer[(long)row * bm.pitch + col] / 255.0f;
            float &f = cell->fill[(size_t)y * cell->width + x];
            f = std::fmax(f, v);
        }
    }
    return true;
}

// Writes a cell into the atlas at (x0, y0): white glyphs, and with an
// outline black around them (alpha the dilated coverage, colour white as far
// as the fill covers).
static void atlas_put_cell(std::vector<unsigned char> *px, int atlas_width, int x0, int y0, const GlyphCell &cell,
                           const AtlasSpec &spec) {
    int r = spec.outline, h = spec.cell_height;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < cell.width; x++) {
            float fill = cell.fill[(size_t)y * cell.width + x];
            float outer = fill;
            for (int dy = -r; dy <= r && r > 0; dy++) {
                for (int dx = -r; dx <= r; dx++) {
                    int sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= cell.width || sy >= h) continue;
                    float reach = std::fmin(std::fmax(r + 0.5f - std::sqrt((float)(dx * dx + dy * dy)), 0.0f), 1.0f);
                    outer = std::fmax(outer, cell.fill[(size_t)sy * cell.width + sx] * reach);
                }
            }
            unsigned char *p = &(*px)[((size_t)(y0 + y) * atlas_width + x0 + x) * 4];
            unsigned char white = outer > 0 ? (unsigned char)std::lround(255.0f * std::fmin(fill / outer, 1.0f)) : 255;
            p[0] = p[1] = p[2] = white;
            p[3] = (unsigned char)std::lround(255.0f * outer);
        }
    }
}

static void atlas_marker(std::vector<unsigned char> *px, int atlas_width, int x, int y) {
    unsigned char *p = &(*px)[((size_t)y * atlas_width + x) * 4];
    p[0] = ATLAS_MARKER_R;
    p[1] = ATLAS_MARKER_G;
    p[2] = ATLAS_MARKER_B;
    p[3] = 255;
}

static bool atlas_build(FT_Library ft, const std::string &font_dir, const AtlasSpec &spec, std::string *png,
                        std::string *error) {
    std::string path = font_dir + "/" + spec.file;
    FT_Face face = nullptr;
    int code = FT_New_Face(ft, path.c_str(), 0, &face);
    if (code != 0) {
        *error = ft_error_text("can't open font", path, code) +
                 "; install the Debian package fonts-dejavu-core";
        return false;
    }
    code = FT_Set_Pixel_Sizes(face, 0, (FT_UInt)spec.pixel_size);
    if (code == 0 && spec.squeeze != 1.0f) {
        FT_Matrix m = {(FT_Fixed)std::lround(spec.squeeze * 65536.0f), 0, 0, 0x10000};
        FT_Set_Transform(face, &m, nullptr);
    }
    if (code != 0) {
        *error = ft_error_text("can't size font", path, code);
        FT_Done_Face(face);
        return false;
    }

    int baseline = atlas_baseline(face, spec);
    size_t count = strlen(spec.chars);
    std::vector<GlyphCell> cells(count);
    for (size_t i = 0; i < count; i++) {
        if (!atlas_render_glyph(face, spec, baseline, (unsigned char)spec.chars[i], &cells[i], error)) {
            FT_Done_Face(face);
            return false;
        }
    }
    FT_Done_Face(face);

    // Place the cells row by row; each takes its width plus a marker column.
    std::vector<int> cell_x(count), cell_line(count);
    int x = 1, line = 0;
    for (size_t i = 0; i < count; i++) {
        if (x + cells[i].width >= spec.width) {
            line += spec.cell_height + 1;
            x = 1;
        }
        if (x + cells[i].width >= spec.width) {
            *error = std::string("a glyph of ") + spec.file + " is wider than its atlas";
            return false;
        }
        cell_x[i] = x;
        cell_line[i] = line;
        x += cells[i].width + 1;
    }
    int last_line = line + spec.cell_height + 1;
    int height = 1;
    while (height < last_line + 1) height *= 2;

    std::vector<unsigned char> px((size_t)spec.width * height * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = px[i + 1] = px[i + 2] = 255;
        px[i + 3] = 0;
    }
    for (int y = 0; y <= last_line; y += spec.cell_height + 1) atlas_marker(&px, spec.width, 0, y);
    for (size_t i = 0; i < count; i++) {
        atlas_put_cell(&px, spec.width, cell_x[i], cell_line[i] + 1, cells[i], spec);
        atlas_marker(&px, spec.width, cell_x[i] + cells[i].width, cell_line[i]);
    }

    unsigned char *bytes = nullptr;
    size_t size = 0;
    if (!png_encode_rgba(px.data(), spec.width, height, 4, nullptr, &bytes, &size)) {
        *error = std::string("can't encode ") + spec.member;
        return false;
    }
    png->assign((const char *)bytes, size);
    free(bytes);
    return true;
}

static const char k_printable[] = "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                  "abcdefghijklmnopqrstuvwxyz{|}~";

static const AtlasSpec k_atlases[] = {
    {"font.png", "DejaVuSans.ttf", k_printable, 38, 48, 1.0f, 0, 512},
    {"numbers.png", "DejaVuSans-Bold.ttf", "0123456789", 72, 64, 1.0f, 3, 512},
    {"numbers-condensed.png", "DejaVuSans-Bold.ttf", "0123456789", 72, 64, 0.7f, 3, 512},
};

bool fonts_build_atlases(const std::string &font_dir, std::vector<ArchiveMember> *members, std::string *error) {
    FT_Library ft = nullptr;
    int code = FT_Init_FreeType(&ft);
    if (code != 0) {
        *error = ft_error_text("can't start FreeType for", font_dir, code);
        return false;
    }
    std::vector<ArchiveMember> made;
    bool ok = true;
    for (const AtlasSpec &spec : k_atlases) {
        std::string png;
        ok = atlas_build(ft, font_dir, spec, &png, error);
        if (!ok) break;
        made.push_back({spec.member, png});
    }
    FT_Done_FreeType(ft);
    if (!ok) return false;
    members->insert(members->end(), made.begin(), made.end());
    return true;
}

void fonts_add_atlases(std::vector<ArchiveMember> *members) {
    std::string error;
    if (!fonts_build_atlases(k_font_dir, members, &error)) {
        fprintf(stderr, "quorvin-tool: make-data: %s\n", error.c_str());
        exit(1);
    }
}
