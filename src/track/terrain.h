// The terrain: one square height field with its shading, shadow and normal
// maps, the surface tiles that say how each patch of ground grips, rolls,
// throws roost and erodes, and the map of which tile lies where. The bike asks
// it for heights, normals and the tile under a wheel; deformation changes the
// heights and re-lights what changed; the renderer draws from the same arrays.
//
// Grid: N x N points, N = 2^(k+1) + 1, R = 2^k. Point (i, j) lies at
// (i*s, H(i, j), j*s), y up; heights[j*N + i]. Cell (i, j) is split along
// (i, j)-(i+1, j+1) when i + j is even, along (i+1, j)-(i, j+1) when odd.
// The tile map has R x R bytes, entry (u, v) covering 2 x 2 cells.
//
// Owns: every buffer of g_terrain, the tile texture names, and the
// framebuffer object of update method 3. Tile and roost textures and the
// tile pixels of update method 1 belong to the texture cache.
// Never: allocates or logs in the lookups (heights, normals, tiles, curves),
// which run for every wheel contact at 128 ticks per second; touches GL
// unless the options say a GL context is current.
#pragma once

#include <cstdint>

#include "core/ripemd160.h"
#include "files/texture.h"

struct VfsFile;

enum {
    TERRAIN_MAX_TILES = 256,
    TILE_CURVE_POINTS = 8,          // friction and rolling-resistance points per tile
    TILE_ROOST_TYPES = 4,
    TILE_EROSION_VALUES = 8,
    TERRAIN_MAX_K = 12,             // N = 8193; larger fields are refused as bad parameters
    TERRAIN_GROUND_TEXTURE_SIZE = 128,   // after terrain_free
    TERRAIN_COPY_TEXTURE_CAP = 256,      // ground texture size cap of update methods 1 and 2
    TERRAIN_DIR_MAX = 512,
    TILEINFO_LINE_BYTES = 1024,     // "tileinfo" and "texturelist" lines, terminator included
};

// The requested and chosen texture update methods.
enum TerrainUpdateMethod {
    TERRAIN_UPDATE_SOFTWARE = 1,    // TexSubImage from CPU pixels
    TERRAIN_UPDATE_COPY = 2,        // CopyTexSubImage
    TERRAIN_UPDATE_DIRECT = 3,      // framebuffer objects
};

enum RoostKind { ROOST_NONE = 0, ROOST_ROOST = 1, ROOST_SPLASH = 2 };

// The erosion values of a tile, in "tileinfo" order.
enum TileErosion {
    ERODE_DEPTH, ERODE_LOWER, ERODE_UPPER, ERODE_DISPLACEMENT,
    ERODE_RADIUS, ERODE_MAX_SLOPE, ERODE_OFF_SPEED, ERODE_ON_SPEED,
};

// One kind of roost a tile throws (used by the roost code); a "roost" line
// of "tileinfo" starts from the defaults of roost_set_defaults.
struct RoostType {
    int32_t kind;             // RoostKind
    TextureId texture;        // "@roost.png" unless "texture=" names another
    float count, dig, slip_threshold, slow_angle, fast_angle, slow_speed, fast_speed;
    float size, grow, drag, vscale, randomize;
    uint8_t r, g, b, a;
    uint8_t fade_r, fade_g, fade_b, fade_a;   // amounts per simulation step
};

// One surface tile. Curves hold up to TILE_CURVE_POINTS points ascending by
// speed; slots not in use have speed 0. Slot 0's speed is never 0.
struct SurfaceTile {
    TextureId texture;                 // 0 with texture loading off or when it did not load
    const unsigned char *pixels;       // update method 1: RGBA with chain (texture cache)
    int width, height;
    char *texture_name;                // as the tile description gave it; none without one (malloc'd)
    int32_t corner_code;               // from * 65536 + to * 256 + corner mask, or -256
    float friction[TILE_CURVE_POINTS];         // coefficient, >= 0
    float friction_speed[TILE_CURVE_POINTS];   // sliding speed, ft/s
    float roll_resist[TILE_CURVE_POINTS][2];   // force with no sinkage, at full sinkage (lbf)
    float roll_speed[TILE_CURVE_POINTS];
    RoostType roost[TILE_ROOST_TYPES];         // kind 0: empty
    float erosion[TILE_EROSION_VALUES];        // TileErosion order
};

struct TerrainVec {
    float x, y, z;
};

// The track's light as the "lighting" file gives it: a unit sun vector, the
// sun colour and the ambient colour.
struct TerrainLight {
    float sun[3];
    float sun_color[3];
    float ambient[3];
};

struct Terrain {
    float *heights;                // N*N
    float *lod_error;              // one per quadtree node: the split thresholds, squared
    float *lod_error_next;         // the computation in progress; swapped with lod_error when done
    uint8_t *shading;              // N*N RGB; b means a light factor of 2b/255
    uint8_t *normal_map;           // N*N (x, light, z) bytes; only with terrain shaders
    uint8_t *shadow;               // N*N; 0 fully lit, 255 fully shadowed
    uint8_t *tile_map;             // R*R tile indices, each < tile_count (0 with no tiles)
    uint8_t *node_flags;           // one split bit per quadtree node, rebuilt by the renderer
    int ground_texture_size;       // texels per side of one ground texture
    int update_method;             // TerrainUpdateMethod chosen at load
    uint32_t framebuffer;          // GL name, update method 3 only
    bool terrain_shaders;          // the normal map exists and shader programs draw the ground
    float world_size;              // 2R*s
    float spacing;                 // s
    float tile_size;               // 2s
    float detail_factor;           // the terrain error threshold at load
    float max_height, min_height;  // kept up to date when the field changes
    int k, n;                      // n is N
    int tile_count;                // 0..TERRAIN_MAX_TILES
    SurfaceTile tiles[TERRAIN_MAX_TILES];
    int32_t version;               // 1 at load, +1 at every change of heights
    int32_t lod_version;           // the version lod_error was computed for
    // The grid rectangle re-lit since the renderer last took it (inclusive).
    bool stale;
    int stale_i0, stale_j0, stale_i1, stale_j1;
    uint8_t height_digest[RIPEMD160_BYTES];   // of the 16-bit height samples, low byte first
    char dir[TERRAIN_DIR_MAX];     // the track directory ("@name"), for terrain_save
};

// Filled by terrain_load, emptied by terrain_free (track unload, failed
// load); deformation and the editor change heights, shading and tiles in place.
extern Terrain g_terrain;

// What the load takes from the settings and the GL, set by the game before a
// track loads (and by tools and tests). The defaults are headless: texture
// loading off, no shaders, a detail factor of 0.125 / 50.
struct TerrainOptions {
    float detail_factor;       // the terrain error threshold: 0.125 / "Ground Geometric Detail", or "--detail"
    int ground_texture_size;   // 32 << "ground_texture_dim"
    bool shader_method;        // a shader terrain rendering method is chosen and the GL runs shader programs
    bool gl;                   // a GL context is current: load tile textures (or pixels) and make the
                               // framebuffer object; off, only names and corner codes are kept
    int debug_level;           // 0, 1 or 2: the extra log lines
};
void terrain_set_options(const TerrainOptions *options);
const TerrainOptions *terrain_options();

// Loads the terrain of a track directory ("@" + track name) with the
// requested update method. On failure shows why on the console, leaves the
// record empty and returns false.
bool terrain_load(const char *track_dir, int update_method);
// Deletes the framebuffer object, frees every buffer and resets the record:
// everything zero, ground texture size TERRAIN_GROUND_TEXTURE_SIZE.
void terrain_free();

// The height of the field at (x, z), linear over the triangle that holds the
// point; points outside take the heights of the nearest edge points.
float terrain_height(float x, float z);
// The upward normal of that triangle, s^2 * (-dh/dx, 1, -dh/dz), not normalised.
TerrainVec terrain_normal(float x, float z);
// The unit normal at grid point (i, j) (clamped to the grid), from its eight
// neighbours.
TerrainVec terrain_vertex_normal(int i, int j);
// The tile index under (x, z).
int terrain_tile_at(float x, float z);
// The friction coefficient of a tile at a sliding speed: linear in the
// square of the speed between curve points.
float tile_friction(int tile, float speed);
// The rolling resistance of a tile at a speed and a sinkage 0..1: linear in
// speed between curve points, then between no and full sinkage.
float tile_roll_resistance(int tile, float speed, float sinkage);

// Recomputes the shading (and the normal map) of the grid rectangle
// i0..i1, j0..j1 (inclusive, clamped to the grid) under the light, then
// widens the stale rectangle over it.
void terrain_relight(int i0, int j0, int i1, int j1, const TerrainLight *light);
// Writes "terrain.hf", "terrain.png", "shading.ppm", "shadingx2.ppm" and
// "tilemap" into the track directory in the home directory (the editor).
// Stores the field's smallest and largest heights as its minimum and maximum.
bool terrain_save();

// Grid point (i, j) at its own coordinates with the height of the nearest
// point of the field, so the ground beyond the border is a flat ledge (the
// contact searches walk cells past the edge this way).
inline void terrain_grid_point(const Terrain *t, int i, int j, double out[3]) {
    int top = t->n - 1;
    int ci = i < 0 ? 0 : i > top ? top : i;
    int cj = j < 0 ? 0 : j > top ? top : j;
    out[0] = i * (double)t->spacing;
    out[1] = t->heights[cj * t->n + ci];
    out[2] = j * (double)t->spacing;
}

// Linear interpolation over one cell's triangle, (a, b) the position inside
// the cell (0..1 each), hXY the corner heights, even the cell's split (i + j
// even). A point on the diagonal belongs to the first triangle of the rule.
inline float terrain_cell_height(float h00, float h10, float h01, float h11, float a, float b, bool even) {
    if (even) {
        if (b <= a) return h10 + (1.0f - a) * (h00 - h10) + b * (h11 - h10);
        return h01 + a * (h11 - h01) + (1.0f - b) * (h00 - h01);
    }
    if (a + b <= 1.0f) return h00 + a * (h10 - h00) + b * (h01 - h00);
    return h11 + (1.0f - a) * (h01 - h11) + (1.0f - b) * (h10 - h11);
}

// --- the level-of-detail errors (terrain_lod.cpp) ---------------------------

// Quadtree node (a, b) of level d has index terrain_lod_level_start(d) + a + b * 2^d.
inline int terrain_lod_level_start(int d) { return (int)((((int64_t)1 << (2 * d)) - 1) / 3); }
inline int terrain_lod_node_count(int k) { return terrain_lod_level_start(k + 1); }
// Computes every node's error for the current heights into lod_error_next,
// then swaps the arrays and records the height-field version.
void terrain_lod_compute(Terrain *t);

// --- surface tiles (tileinfo.cpp) ---------------------------------------------

// How the tile readers treat textures: update method 1 loads pixels (image
// cache), the others textures; with load_textures false neither is loaded.
struct TileLoad {
    int update_method;
    bool load_textures;
};

// The defaults of a tile with no properties given (no texture, no name).
void tile_set_defaults(SurfaceTile *tile);
// The defaults a "roost" line starts from: kind ROOST_ROOST, "@roost.png".
void roost_set_defaults(RoostType *roost, const TileLoad *how);
// Applies the parameters of a "roost" line's value to roost, warning on the
// console about each bad one.
void roost_parse(const char *value, RoostType *roost, const TileLoad *how);
// Reads a "tileinfo" file into tiles (room for TERRAIN_MAX_TILES); returns
// the number of tiles. Bad lines warn on the console and are skipped.
int tileinfo_read(VfsFile *f, const TileLoad *how, SurfaceTile *tiles);
// Reads the older "texturelist" form; returns the number of tiles.
int texturelist_read(VfsFile *f, const TileLoad *how, SurfaceTile *tiles);
// The corner code of tile index among names[0..count-1], each the part of a
// texture name the codes compare (tile_code_name).
int32_t tile_corner_code(const char *const *names, int count, int index);
// That part: the texture name after a leading "@" and after its last "/".
const char *tile_code_name(const char *texture_name);
// Sets the corner code of every tile from the texture names.
void tiles_set_corner_codes(SurfaceTile *tiles, int count);
// Frees the names; the textures stay with the texture cache.
void tiles_free(SurfaceTile *tiles, int count);
