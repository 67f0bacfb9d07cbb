// The terrain record: the load sequence over a track directory's files,
// freeing, the lookups the simulation makes for every wheel contact,
// re-lighting after deformation, and the editor's writer. The tile files are
// read in tileinfo.cpp, the level-of-detail errors computed in terrain_lod.cpp.
#include "track/terrain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/memory.h"
#include "files/image.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "render/gl_ext.h"

Terrain g_terrain;

static TerrainOptions s_options = {0.125f / 50.0f, TERRAIN_GROUND_TEXTURE_SIZE, false, false, 0};

void terrain_set_options(const TerrainOptions *options) { s_options = *options; }
const TerrainOptions *terrain_options() { return &s_options; }

// --- freeing --------------------------------------------------------------------

void terrain_free() {
    Terrain *t = &g_terrain;
    if (t->framebuffer && g_glf.DeleteFramebuffersEXT) {
        GLuint id = t->framebuffer;
        g_glf.DeleteFramebuffersEXT(1, &id);
    }
    free(t->heights);
    free(t->lod_error);
    free(t->lod_error_next);
    free(t->shading);
    free(t->normal_map);
    free(t->shadow);
    free(t->tile_map);
    free(t->node_flags);
    tiles_free(t->tiles, t->tile_count);
    memset(t, 0, sizeof *t);
    t->ground_texture_size = TERRAIN_GROUND_TEXTURE_SIZE;
}

static inline int clamp_index(int v, int top) { return v < 0 ? 0 : v > top ? top : v; }

// The unit normal at grid point (i, j): the normalised sum of the unit
// normals of the eight triangles fanned around it by its neighbours.
static TerrainVec vertex_normal(const Terrain *t, int i, int j) {
    static const int k_around[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    int top = t->n - 1;
    i = clamp_index(i, top);
    j = clamp_index(j, top);
    float s = t->spacing;
    float q = t->heights[(size_t)j * t->n + i];
    // The neighbours relative to the point: true positions, clamped heights.
    float p[8][3];
    for (int m = 0; m < 8; m++) {
        int ni = clamp_index(i + k_around[m][0], top), nj = clamp_index(j + k_around[m][1], top);
        p[m][0] = (float)k_around[m][0] * s;
        p[m][1] = t->heights[(size_t)nj * t->n + ni] - q;
        p[m][2] = (float)k_around[m][1] * s;
    }
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (int m = 0; m < 8; m++) {
        const float *a = p[(m + 1) & 7], *b = p[m];
        float c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        float length = sqrtf(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        if (!(length > 0.0f)) continue;
        for (int e = 0; e < 3; e++) sum[e] += c[e] / length;
    }
    float length = sqrtf(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    if (!(length > 0.0f)) return {0.0f, 1.0f, 0.0f};
    return {sum[0] / length, sum[1] / length, sum[2] / length};
}

// A normal component as a normal-map byte: 128 + the component times 127,
// cut toward zero.
static uint8_t normal_byte(float component) {
    float v = component * 127.0f;
    if (v != v) v = 0.0f;
    if (v < -127.0f) v = -127.0f;
    if (v > 127.0f) v = 127.0f;
    return (uint8_t)(128 + (int)v);
}

// The normal-map triples of the grid rectangle (inclusive, inside the grid).
static void normal_map_update(Terrain *t, int i0, int j0, int i1, int j1) {
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            size_t at = (size_t)j * t->n + i;
            TerrainVec v = vertex_normal(t, i, j);
            uint8_t *p = t->normal_map + at * 3;
            p[0] = normal_byte(v.x);
            p[1] = (uint8_t)(255 - t->shadow[at]);
            p[2] = normal_byte(v.z);
        }
    }
}

// --- the load sequence ------------------------------------------------------------

// Opens a file of the track directory; a required one that is missing says so.
static VfsFile *track_file_open(const char *file, bool required) {
    char name[VFS_PATH_MAX];
    snprintf(name, sizeof name, "%s/%s", g_terrain.dir, file);
    VfsFile *f = vfs_open(name, "rb");
    if (!f && required) console_message("Can't open '%.950s'", name);
    return f;
}

// Header sanity beyond the four numbers: a size whose arrays can exist, a
// spacing the lookups can divide by, and limits whose difference is finite.
static bool header_ok(int k, float s, float lo, float hi) {
    if (k < 0 || k > TERRAIN_MAX_K) return false;
    if (!(s > 0.0f) || !std::isfinite(s) || !std::isfinite(2.0f * (float)(1 << k) * s)) return false;
    return std::isfinite(lo) && std::isfinite(hi) && std::isfinite(hi - lo);
}

// The height samples, row by row: from the ":" section of "terrain.hf" when
// it has one, else from "terrain.png" (its last column and row repeat when
// it is smaller than the field), else all 0. Each sample is digested as it
// is used, low byte first. A ":" section that ends early leaves its missing
// samples at 0, the minimum height, which the log reports.
static void heights_read(Terrain *t, VfsFile *f) {
    int n = t->n;
    size_t row_bytes = (size_t)n * 2;
    uint8_t *bytes = (uint8_t *)mem_alloc(row_bytes);
    bool section = vfs_getc(f) == ':';
    uint16_t *png = nullptr;
    int png_width = 0, png_height = 0;
    if (!section) {
        char name[VFS_PATH_MAX];
        snprintf(name, sizeof name, "%s/terrain.png", t->dir);
        if (!png_read_gray16(name, &png, &png_width, &png_height)) png = nullptr;
    }

    Ripemd160 digest;
    ripemd160_start(&digest);
    long long missing = 0;
    float range = t->max_height - t->min_height;
    for (int j = 0; j < n; j++) {
        if (section) {
            size_t got = vfs_read(f, bytes, row_bytes) & ~(size_t)1;
            memset(bytes + got, 0, row_bytes - got);
            missing += (long long)(row_bytes - got) / 2;
        } else if (png) {
            const uint16_t *row = png + (size_t)(j < png_height ? j : png_height - 1) * png_width;
            for (int i = 0; i < n; i++) {
                uint16_t u = row[i < png_width ? i : png_width - 1];
                bytes[2 * i] = (uint8_t)u;
                bytes[2 * i + 1] = (uint8_t)(u >> 8);
            }
        } else {
            memset(bytes, 0, row_bytes);
        }
        ripemd160_add(&digest, bytes, row_bytes);
        float *out = t->heights + (size_t)j * n;
        for (int i = 0; i < n; i++) {
            unsigned u = bytes[2 * i] | (unsigned)bytes[2 * i + 1] << 8;
            out[i] = t->min_height + (float)u * range / 65535.0f;
        }
    }
    free(bytes);
    free(png);
    ripemd160_finish(&digest, t->height_digest);
    if (missing > 0) {
        zolm_log("%.900s/terrain.hf: %lld of %lld height samples missing; they are at the minimum height\n", t->dir,
                 missing, (long long)n * n);
    }
    if (s_options.debug_level >= 2) {
        char hex[41];
        ripemd160_to_hex(t->height_digest, hex);
        zolm_log("%s\n", hex);
    }
}

// Steps 2 to 6: the header, the heights and the level-of-detail errors.
static bool heights_load(Terrain *t) {
    VfsFile *f = track_file_open("terrain.hf", true);
    if (!f) return false;
    int k = 0;
    float s = 0.0f, lo = 0.0f, hi = 0.0f;
    if (vfs_scanf(f, "%d %f %f %f ", &k, &s, &lo, &hi) != 4 || !header_ok(k, s, lo, hi)) {
        console_message("Bad height field parameters");
        console_message("Error reading heights");
        vfs_close(f);
        return false;
    }
    int r = 1 << k;
    t->k = k;
    t->n = 2 * r + 1;
    t->spacing = s;
    t->min_height = lo;
    t->max_height = hi;
    t->world_size = 2.0f * (float)r * s;
    t->tile_size = 2.0f * s;
    t->detail_factor = s_options.detail_factor;
    t->version = 1;
    size_t points = (size_t)t->n * t->n;
    int nodes = terrain_lod_node_count(k);
    t->heights = (float *)mem_alloc(points * sizeof(float));
    t->node_flags = (uint8_t *)mem_calloc(((size_t)nodes + 7) / 8, 1);

    heights_read(t, f);

    t->lod_error = (float *)mem_calloc((size_t)nodes, sizeof(float));
    t->lod_error_next = (float *)mem_calloc((size_t)nodes, sizeof(float));
    terrain_lod_compute(t);
    vfs_close(f);
    return true;
}

// Step 7: the texture update method, the ground texture size and whether
// shader programs draw the ground.
static void update_method_choose(Terrain *t, int requested) {
    int size = s_options.ground_texture_size > 0 ? s_options.ground_texture_size : TERRAIN_GROUND_TEXTURE_SIZE;
    int capped = size < TERRAIN_COPY_TEXTURE_CAP ? size : TERRAIN_COPY_TEXTURE_CAP;
    if (requested == TERRAIN_UPDATE_DIRECT && s_options.gl && g_gl.framebuffer_object && g_glf.GenFramebuffersEXT) {
        GLuint id = 0;
        g_glf.GenFramebuffersEXT(1, &id);
        t->framebuffer = id;
    }
    if (t->framebuffer) {
        t->update_method = TERRAIN_UPDATE_DIRECT;
        t->ground_texture_size = size;
        console_message("Terrain texture rendering with framebuffer objects");
    } else if (requested == TERRAIN_UPDATE_COPY) {
        t->update_method = TERRAIN_UPDATE_COPY;
        t->ground_texture_size = capped;
        console_message("Terrain texture rendering with CopyTexSubImage");
    } else {
        t->update_method = TERRAIN_UPDATE_SOFTWARE;
        t->ground_texture_size = capped;
        console_message("Terrain texture rendering with TexSubImage");
    }
    t->terrain_shaders = s_options.shader_method && t->update_method != TERRAIN_UPDATE_SOFTWARE;
}

// Reads a raw netpbm picture of the one type the track files use.
static bool netpbm_read(VfsFile *f, const char *type, Image *image) {
    memset(image, 0, sizeof *image);
    char magic[16] = "";
    if (vfs_scanf(f, "%15s", magic) != 1 || strcmp(magic, type) != 0) return false;
    return type[1] == '6' ? ppm_read(f, false, image) : pgm_read(f, false, image);
}

// Step 8: "shadingx2.ppm" as it is, or "shading.ppm" halved.
static bool shading_load(Terrain *t) {
    bool halve = false;
    VfsFile *f = track_file_open("shadingx2.ppm", false);
    if (!f) {
        f = track_file_open("shading.ppm", true);
        if (!f) return false;
        halve = true;
    }
    Image image;
    bool read = netpbm_read(f, "P6", &image);
    vfs_close(f);
    if (!read) {
        console_message("Error reading shading");
        return false;
    }
    if (image.width != t->n || image.height != t->n) {
        console_message("Bad shading dimensions (%dx%d)", image.width, image.height);
        image_free(&image);
        return false;
    }
    size_t bytes = (size_t)t->n * t->n * 3;
    t->shading = (uint8_t *)mem_alloc(bytes);
    memcpy(t->shading, image.pixels, bytes);
    image_free(&image);
    if (halve) {
        for (size_t i = 0; i < bytes; i++) t->shading[i] >>= 1;
    }
    return true;
}

// Step 9: "shadows.pgm" stores light; the record keeps shadow. None: all lit.
static bool shadows_load(Terrain *t) {
    size_t points = (size_t)t->n * t->n;
    t->shadow = (uint8_t *)mem_calloc(points, 1);
    VfsFile *f = track_file_open("shadows.pgm", false);
    if (!f) return true;
    Image image;
    bool read = netpbm_read(f, "P5", &image);
    vfs_close(f);
    if (!read) {
        console_message("Error reading shadows");
        return false;
    }
    bool fits = image.width == t->n && image.height == t->n;
    if (fits) {
        for (size_t i = 0; i < points; i++) t->shadow[i] = (uint8_t)(255 - image.pixels[i]);
    } else {
        zolm_log("Bad shadow dimensions (%dx%d)\n", image.width, image.height);
    }
    image_free(&image);
    return fits;
}

// Step 11: "tileinfo", else the required "texturelist"; then the corner codes.
static bool tiles_load(Terrain *t) {
    TileLoad how = {t->update_method, s_options.gl};
    VfsFile *f = track_file_open("tileinfo", false);
    if (f) {
        t->tile_count = tileinfo_read(f, &how, t->tiles);
    } else {
        f = track_file_open("texturelist", true);
        if (!f) return false;
        t->tile_count = texturelist_read(f, &how, t->tiles);
    }
    vfs_close(f);
    tiles_set_corner_codes(t->tiles, t->tile_count);
    if (s_options.debug_level >= 1) {
        zolm_log("%lu bytes texture memory used after ground tiles loaded\n", (unsigned long)texture_memory_used());
    }
    if (t->tile_count == 0) zolm_log("%.900s: no ground tiles; the tile map is all tile 0\n", t->dir);
    return true;
}

// Step 12: the tile map, every entry cut to the last tile. A short file
// leaves its missing entries at tile 0, which the log reports.
static bool tile_map_load(Terrain *t) {
    VfsFile *f = track_file_open("tilemap", true);
    if (!f) return false;
    size_t r = (size_t)1 << t->k;
    size_t entries = r * r;
    t->tile_map = (uint8_t *)mem_calloc(entries, 1);
    size_t got = vfs_read(f, t->tile_map, entries);
    vfs_close(f);
    if (got < entries) {
        zolm_log("%.900s/tilemap: %zu of %zu entries missing; they are tile 0\n", t->dir, entries - got, entries);
    }
    int last = t->tile_count > 0 ? t->tile_count - 1 : 0;
    for (size_t i = 0; i < entries; i++) {
        if (t->tile_map[i] > last) t->tile_map[i] = (uint8_t)last;
    }
    return true;
}

static bool terrain_load_steps(Terrain *t, const char *track_dir, int update_method) {
    if (strlen(track_dir) >= sizeof t->dir) {
        console_message("Can't open '%.950s/terrain.hf'", track_dir);
        return false;
    }
    strcpy(t->dir, track_dir);
    if (!heights_load(t)) return false;
    update_method_choose(t, update_method);
    if (!shading_load(t) || !shadows_load(t)) return false;
    if (s_options.debug_level >= 1) {
        zolm_log("%lu bytes texture memory used before ground tiles loaded\n", (unsigned long)texture_memory_used());
    }
    if (!tiles_load(t) || !tile_map_load(t)) return false;
    if (t->terrain_shaders) {
        t->normal_map = (uint8_t *)mem_alloc((size_t)t->n * t->n * 3);
        normal_map_update(t, 0, 0, t->n - 1, t->n - 1);
    }
    // The ground texture cache makes its low-detail textures, pool and block
    // table, and the decal reader enters the "decals" file, once they exist.
    return true;
}

bool terrain_load(const char *track_dir, int update_method) {
    terrain_free();
    if (track_dir && terrain_load_steps(&g_terrain, track_dir, update_method)) return true;
    terrain_free();
    return false;
}

// --- lookups ------------------------------------------------------------------------

// The cell under (x, z) with its corner heights and the position inside it.
struct TerrainCell {
    float h00, h10, h01, h11;
    float a, b;
    bool even;
};

static inline void terrain_cell(const Terrain *t, float x, float z, TerrainCell *c) {
    float fx = x / t->spacing, fz = z / t->spacing;
    // Beyond one cell outside, only the edge heights count; this keeps the
    // floor in range of an int (and turns a NaN into the edge).
    float far = (float)t->n;
    if (!(fx >= -1.0f)) fx = -1.0f;
    else if (fx > far) fx = far;
    if (!(fz >= -1.0f)) fz = -1.0f;
    else if (fz > far) fz = far;
    int i = (int)floorf(fx), j = (int)floorf(fz);
    c->a = fx - (float)i;
    c->b = fz - (float)j;
    c->even = ((i + j) & 1) == 0;
    int top = t->n - 1;
    int i0 = clamp_index(i, top), i1 = clamp_index(i + 1, top);
    const float *row0 = t->heights + (size_t)clamp_index(j, top) * t->n;
    const float *row1 = t->heights + (size_t)clamp_index(j + 1, top) * t->n;
    c->h00 = row0[i0];
    c->h10 = row0[i1];
    c->h01 = row1[i0];
    c->h11 = row1[i1];
}

float terrain_height(float x, float z) {
    const Terrain *t = &g_terrain;
    if (!t->heights) return 0.0f;
    TerrainCell c;
    terrain_cell(t, x, z, &c);
    return terrain_cell_height(c.h00, c.h10, c.h01, c.h11, c.a, c.b, c.even);
}

TerrainVec terrain_normal(float x, float z) {
    const Terrain *t = &g_terrain;
    if (!t->heights) return {0.0f, 1.0f, 0.0f};
    TerrainCell c;
    terrain_cell(t, x, z, &c);
    // Height differences along x and z over one cell of the triangle's plane.
    float dx, dz;
    if (c.even) {
        if (c.b <= c.a) dx = c.h10 - c.h00, dz = c.h11 - c.h10;
        else dx = c.h11 - c.h01, dz = c.h01 - c.h00;
    } else {
        if (c.a + c.b <= 1.0f) dx = c.h10 - c.h00, dz = c.h01 - c.h00;
        else dx = c.h11 - c.h01, dz = c.h11 - c.h10;
    }
    float s = t->spacing;
    return {-s * dx, s * s, -s * dz};
}

TerrainVec terrain_vertex_normal(int i, int j) {
    if (!g_terrain.heights) return {0.0f, 1.0f, 0.0f};
    return vertex_normal(&g_terrain, i, j);
}

int terrain_tile_at(float x, float z) {
    const Terrain *t = &g_terrain;
    if (!t->tile_map) return 0;
    int r = 1 << t->k;
    float top = (float)(r - 1);
    float u = x * 0.5f / t->spacing, v = z * 0.5f / t->spacing;
    if (!(u >= 0.0f)) u = 0.0f;
    else if (u > top) u = top;
    if (!(v >= 0.0f)) v = 0.0f;
    else if (v > top) v = top;
    return t->tile_map[(int)v * r + (int)u];
}

static inline const SurfaceTile *tile_get(int tile) {
    return &g_terrain.tiles[(unsigned)tile < TERRAIN_MAX_TILES ? tile : 0];
}

static inline float unit_clamp(float t) {
    if (!(t > 0.0f)) return 0.0f;
    return t < 1.0f ? t : 1.0f;
}

float tile_friction(int tile, float speed) {
    const SurfaceTile *t = tile_get(tile);
    float v2 = speed * speed;
    int n = 0;
    while (n < TILE_CURVE_POINTS && t->friction_speed[n] != 0.0f &&
           !(t->friction_speed[n] * t->friction_speed[n] > v2)) {
        n++;
    }
    if (n == 0) return t->friction[0];
    if (n == TILE_CURVE_POINTS || t->friction_speed[n] == 0.0f) return t->friction[n - 1];
    float s0 = t->friction_speed[n - 1] * t->friction_speed[n - 1];
    float s1 = t->friction_speed[n] * t->friction_speed[n];
    float f = unit_clamp((v2 - s0) / (s1 - s0));
    return t->friction[n - 1] + (t->friction[n] - t->friction[n - 1]) * f;
}

float tile_roll_resistance(int tile, float speed, float sinkage) {
    const SurfaceTile *t = tile_get(tile);
    int n = 0;
    while (n < TILE_CURVE_POINTS && t->roll_speed[n] != 0.0f && !(t->roll_speed[n] > speed)) n++;
    float low, high;
    if (n == 0) {
        low = t->roll_resist[0][0], high = t->roll_resist[0][1];
    } else if (n == TILE_CURVE_POINTS || t->roll_speed[n] == 0.0f) {
        low = t->roll_resist[n - 1][0], high = t->roll_resist[n - 1][1];
    } else {
        float f = unit_clamp((speed - t->roll_speed[n - 1]) / (t->roll_speed[n] - t->roll_speed[n - 1]));
        low = t->roll_resist[n - 1][0] + (t->roll_resist[n][0] - t->roll_resist[n - 1][0]) * f;
        high = t->roll_resist[n - 1][1] + (t->roll_resist[n][1] - t->roll_resist[n - 1][1]) * f;
    }
    return low + (high - low) * sinkage;
}

// --- re-lighting ----------------------------------------------------------------------

static uint8_t shade_byte(float v) {
    if (!(v > 0.0f)) return 0;
    return v < 255.0f ? (uint8_t)v : 255;
}

void terrain_relight(int i0, int j0, int i1, int j1, const TerrainLight *light) {
    Terrain *t = &g_terrain;
    if (!t->heights || !t->shading) return;
    int top = t->n - 1;
    i0 = i0 < 0 ? 0 : i0;
    j0 = j0 < 0 ? 0 : j0;
    i1 = i1 > top ? top : i1;
    j1 = j1 > top ? top : j1;
    if (i0 > i1 || j0 > j1) return;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            size_t at = (size_t)j * t->n + i;
            TerrainVec v = vertex_normal(t, i, j);
            float lit = v.x * light->sun[0] + v.y * light->sun[1] + v.z * light->sun[2];
            lit = unit_clamp(lit) * (1.0f - (float)t->shadow[at] / 255.0f);
            for (int c = 0; c < 3; c++) {
                t->shading[at * 3 + c] = shade_byte((light->sun_color[c] * lit + light->ambient[c]) * 0.5f * 255.0f);
            }
        }
    }
    if (t->normal_map) normal_map_update(t, i0, j0, i1, j1);
    if (!t->stale) {
        t->stale = true;
        t->stale_i0 = i0, t->stale_j0 = j0, t->stale_i1 = i1, t->stale_j1 = j1;
    } else {
        if (i0 < t->stale_i0) t->stale_i0 = i0;
        if (j0 < t->stale_j0) t->stale_j0 = j0;
        if (i1 > t->stale_i1) t->stale_i1 = i1;
        if (j1 > t->stale_j1) t->stale_j1 = j1;
    }
}

// --- saving -----------------------------------------------------------------------------

// Opens a file of the track directory for writing; the home directory is the
// first data directory, so "@" names land there.
static VfsFile *track_file_create(const char *file) {
    char name[VFS_PATH_MAX];
    snprintf(name, sizeof name, "%s/%s", g_terrain.dir, file);
    VfsFile *f = vfs_open(name, "wb");
    if (!f) console_message("Can't open '%s'", file);
    return f;
}

// A binary netpbm file: the header, then the bytes.
static bool netpbm_write(const char *file, const char *header, const uint8_t *bytes, size_t count) {
    VfsFile *f = track_file_create(file);
    if (!f) return false;
    vfs_puts(f, header);
    vfs_write(f, bytes, count);
    vfs_close(f);
    return true;
}

bool terrain_save() {
    Terrain *t = &g_terrain;
    if (!t->heights) return false;
    size_t points = (size_t)t->n * t->n;
    float lo = t->heights[0], hi = t->heights[0];
    for (size_t p = 1; p < points; p++) {
        if (t->heights[p] < lo) lo = t->heights[p];
        if (t->heights[p] > hi) hi = t->heights[p];
    }
    t->min_height = lo;
    t->max_height = hi;

    VfsFile *f = track_file_create("terrain.hf");
    if (!f) return false;
    vfs_printf(f, "%d %f %f %f\n", t->k, t->spacing, lo, hi);
    vfs_close(f);

    uint16_t *samples = (uint16_t *)mem_calloc(points, sizeof(uint16_t));
    if (hi > lo) {
        for (size_t p = 0; p < points; p++) {
            float u = (t->heights[p] - lo) / (hi - lo) * 65535.0f + 0.5f;
            samples[p] = (uint16_t)(u < 65535.0f ? u : 65535.0f);
        }
    }
    char name[VFS_PATH_MAX];
    snprintf(name, sizeof name, "%s/terrain.png", t->dir);
    bool written = png_write_gray16(name, samples, t->n, t->n);
    free(samples);
    if (!written) {
        console_message("Can't open 'terrain.png'");
        return false;
    }

    char header[64];
    snprintf(header, sizeof header, "P6\n%d %d\n255\n", t->n, t->n);
    size_t bytes = points * 3;
    uint8_t *doubled = (uint8_t *)mem_alloc(bytes);
    for (size_t b = 0; b < bytes; b++) doubled[b] = t->shading[b] < 128 ? (uint8_t)(t->shading[b] * 2) : 255;
    written = netpbm_write("shading.ppm", header, doubled, bytes);
    free(doubled);
    if (!written || !netpbm_write("shadingx2.ppm", header, t->shading, bytes)) return false;

    f = track_file_create("tilemap");
    if (!f) return false;
    size_t r = (size_t)1 << t->k;
    vfs_write(f, t->tile_map, r * r);
    vfs_close(f);
    // "decals" follows once the terrain holds decals.
    return true;
}
