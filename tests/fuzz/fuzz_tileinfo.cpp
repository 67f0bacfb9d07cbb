// The surface tile readers on arbitrary bytes. The first byte picks the
// reader ("tileinfo" when even, "texturelist" when odd); the rest is the
// file. Whatever the bytes, reading must not crash or read past a buffer,
// and the tiles must hold what the wheel contact relies on: at most 256 of
// them, each curve's used points first and ascending by speed with slot 0's
// speed above 0, every coefficient and force finite and at least 0, corner
// codes that name tiles that exist; and the curve lookups then give finite
// values of at least 0 at any speed.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"
#include "track/terrain.h"

enum { FUZZ_INPUT_MAX = 65536 };

static void check(bool ok, const char *what, int tile) {
    if (ok) return;
    fprintf(stderr, "tile %d: %s\n", tile, what);
    abort();
}

static bool amount_ok(float v) { return std::isfinite(v) && v >= 0.0f; }

// Used slots (speed above 0) first, ascending; slot 0 always used.
static bool curve_ok(const float *speeds) {
    if (!(speeds[0] > 0.0f)) return false;
    for (int p = 1; p < TILE_CURVE_POINTS; p++) {
        if (speeds[p] == 0.0f) continue;
        if (!(speeds[p] > 0.0f) || speeds[p - 1] == 0.0f || speeds[p] < speeds[p - 1]) return false;
    }
    return true;
}

static void check_tile(int t, int count) {
    const SurfaceTile &tile = g_terrain.tiles[t];
    check(curve_ok(tile.friction_speed), "friction speeds out of order", t);
    check(curve_ok(tile.roll_speed), "rolling-resistance speeds out of order", t);
    for (int p = 0; p < TILE_CURVE_POINTS; p++) {
        check(amount_ok(tile.friction[p]), "bad friction coefficient", t);
        check(amount_ok(tile.roll_resist[p][0]) && amount_ok(tile.roll_resist[p][1]), "bad resistance", t);
    }
    for (int e = 0; e < TILE_EROSION_VALUES; e++) check(std::isfinite(tile.erosion[e]), "erosion not finite", t);
    int32_t code = tile.corner_code;
    if (code != -256) {
        check(code >= 0 && code / 65536 < count && code / 256 % 256 < count, "corner code names no tile", t);
    }
    static const float speeds[] = {0.0f, 1e-7f, 1.0f, 7.5f, 64.0f, 1e3f, 1e30f, -5.0f, INFINITY, NAN};
    for (float v : speeds) {
        check(amount_ok(tile_friction(t, v)), "friction lookup", t);
        for (float sinkage : {0.0f, 0.5f, 1.0f}) check(amount_ok(tile_roll_resistance(t, v, sinkage)), "roll lookup", t);
    }
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    FILE *file = fuzz_memory_file(data + 1, size - 1);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    TileLoad how = {TERRAIN_UPDATE_COPY, false};
    int count = data[0] & 1 ? texturelist_read(f, &how, g_terrain.tiles) : tileinfo_read(f, &how, g_terrain.tiles);
    vfs_close(f);
    check(count >= 0 && count <= TERRAIN_MAX_TILES, "tile count", count);
    g_terrain.tile_count = count;
    tiles_set_corner_codes(g_terrain.tiles, count);
    for (int t = 0; t < count; t++) check_tile(t, count);
    terrain_free();
    return 0;
}
