// Surfaces and light of the generated tracks: the tile table ("tileinfo"),
// the tile textures drawn by code, the tile map from the course's corner
// materials, the shading and the cast shadows, and the gzip form the big
// files are stored in.
//
// Tile textures tile seamlessly: the ground compositor shows each picture
// from 1/16 to 15/16 of its side, so every pattern repeats with that shown
// span, and the dirt-grass transitions blend from the same corner values on
// a shared edge, so neighbouring tiles meet without a seam.
#include "make_track.h"

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "files/image.h"

static double tile_clamp(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// --- tile table --------------------------------------------------------------

int track_tile_for_mask(int mask) {
    mask &= 15;
    if (mask == 0) return 0;    // dirt
    if (mask == 15) return 1;   // grass
    return 1 + mask;            // dirt-grass-MMMM
}

// Dirt: a little less grip than hard-pack (about 1.2 at low slip) and more
// rolling resistance. Grass: more slippery still, and it drags.
static const char *const k_dirt_surface =
    "friction 1.10 1.0\n"
    "friction 1.02 6.0\n"
    "friction 0.88 24.0\n"
    "roll_resist 6.0 20.0 1.0\n"
    "roll_resist 8.0 26.0 80.0\n"
    "roost texture=@roost.png count=10 dig=1.0 size=0.3 grow=3.5 r=150 g=108 b=70 fade_a=240\n"
    "roost texture=@roost.png count=4 dig=0.5 size=0.15 grow=1.5 drag=0.3 r=110 g=78 b=50 fade_a=300\n";
static const char *const k_grass_surface =
    "friction 0.85 1.0\n"
    "friction 0.76 6.0\n"
    "friction 0.62 24.0\n"
    "roll_resist 9.0 28.0 1.0\n"
    "roll_resist 12.0 36.0 80.0\n"
    "roost texture=@roost.png count=4 dig=0.3 size=0.2 grow=2.0 r=92 g=120 b=56 fade_a=300\n"
    "erode_depth 0.4\n";
// The edges: between the two.
static const char *const k_edge_surface =
    "friction 0.98 1.0\n"
    "friction 0.90 6.0\n"
    "friction 0.76 24.0\n"
    "roll_resist 7.5 24.0 1.0\n"
    "roll_resist 10.0 31.0 80.0\n"
    "roost texture=@roost.png count=7 dig=0.8 size=0.25 grow=3.0 r=140 g=108 b=68 fade_a=260\n"
    "erode_depth 0.7\n";

std::string track_tileinfo(bool only_dirt) {
    std::string out;
    out += "texture @dirt.png\n";
    out += k_dirt_surface;
    out += "addtile\n";
    if (only_dirt) return out;
    out += "texture @grass.png\n";
    out += k_grass_surface;
    out += "addtile\n";
    for (int mask = 1; mask < 15; mask++) {
        char line[64];
        snprintf(line, sizeof line, "texture @dirt-grass-%d%d%d%d.png\n", mask >> 3 & 1, mask >> 2 & 1, mask >> 1 & 1,
                 mask & 1);
        out += line;
        out += k_edge_surface;
        out += "addtile\n";
    }
    return out;
}

// --- tile textures -------------------------------------------------------------

enum { TILE_SIDE = TRACK_TILE_TEXTURE_SIDE, TILE_SHOWN = TILE_SIDE * 7 / 8, TILE_MARGIN = TILE_SIDE / 16 };

static uint32_t tile_hash(uint32_t a, uint32_t b, uint32_t seed) {
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

static double tile_rand(uint32_t a, uint32_t b, uint32_t seed) { return (tile_hash(a, b, seed) & 0xffffff) / 16777215.0; }

// Value noise over (u, v) in tile units, repeating every tile: cells cells
// per side, smoothly interpolated.
static double tile_noise(double u, double v, int cells, uint32_t seed) {
    double x = u * cells, y = v * cells;
    double fx = std::floor(x), fy = std::floor(y);
    int ix = (int)fx, iy = (int)fy;
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int i, int j) {
        return tile_rand((uint32_t)(((i % cells) + cells) % cells), (uint32_t)(((j % cells) + cells) % cells), seed);
    };
    double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

static double tile_fbm(double u, double v, int cells, int octaves, uint32_t seed) {
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * tile_noise(u, v, cells << o, seed + 17 * o);
        norm += amp;
        amp *= 0.5;
    }
    return sum / norm;   // 0 .. 1
}

struct TileColor {
    double r, g, b;
};

// Texel (x, y) in tile units over the shown span: 0 .. 1 between the margins.
static void tile_uv(int x, int y, double *u, double *v) {
    *u = (x + 0.5 - TILE_MARGIN) / TILE_SHOWN;
    *v = (y + 0.5 - TILE_MARGIN) / TILE_SHOWN;
}

static TileColor tile_dirt(double u, double v) {
    double big = tile_fbm(u, v, 4, 3, 11);
    double grain = tile_fbm(u, v, 32, 2, 23);
    // Pebbles and clods: one in some cells of a fine grid, light on top.
    int cells = 28;
    double cx = u * cells, cy = v * cells;
    int ix = (int)std::floor(cx), iy = (int)std::floor(cy);
    double stone = 0;
    for (int j = -1; j <= 1; j++) {
        for (int i = -1; i <= 1; i++) {
            uint32_t a = (uint32_t)(((ix + i) % cells + cells) % cells), b = (uint32_t)(((iy + j) % cells + cells) % cells);
            if (tile_rand(a, b, 31) > 0.35) continue;
            double px = ix + i + tile_rand(a, b, 37), py = iy + j + tile_rand(a, b, 41);
            double rad = 0.18 + 0.22 * tile_rand(a, b, 43);
            double d = std::sqrt((cx - px) * (cx - px) + (cy - py) * (cy - py)) / rad;
            if (d < 1) stone = std::max(stone, (1 - d * d) * (0.6 + 0.4 * tile_rand(a, b, 47)));
        }
    }
    double light = 0.84 + 0.26 * big + 0.16 * (grain - 0.5);
    TileColor c = {0.55 * light, 0.38 * light, 0.24 * light};
    // Drier, paler patches.
    double dry = tile_clamp((tile_fbm(u, v, 6, 2, 53) - 0.55) * 4, 0, 1);
    c.r += 0.06 * dry, c.g += 0.05 * dry, c.b += 0.04 * dry;
    c.r += (0.66 - c.r) * stone * 0.5, c.g += (0.55 - c.g) * stone * 0.5, c.b += (0.44 - c.b) * stone * 0.5;
    return c;
}

static TileColor tile_grass(double u, double v) {
    double big = tile_fbm(u, v, 4, 3, 61);
    // Blades: fine noise stretched along one direction.
    double blades = tile_fbm(u * 1.0, v * 0.25, 48, 2, 67);
    double fine = tile_fbm(u, v, 64, 1, 71);
    double light = 0.80 + 0.28 * big + 0.22 * (blades - 0.5) + 0.10 * (fine - 0.5);
    double yellow = tile_clamp((tile_fbm(u, v, 5, 2, 73) - 0.5) * 3, 0, 1);
    TileColor c = {0.25 * light, 0.47 * light, 0.15 * light};
    c.r += 0.08 * yellow * light, c.g += 0.03 * yellow * light;
    return c;
}

// Share of grass at (u, v) in a tile whose corners show grass where the mask
// has bits (8 north-west, 4 north-east, 2 south-west, 1 south-east).
static double tile_grass_share(int mask, double u, double v) {
    double nw = mask >> 3 & 1, ne = mask >> 2 & 1, sw = mask >> 1 & 1, se = mask & 1;
    double uc = tile_clamp(u, 0, 1), vc = tile_clamp(v, 0, 1);
    double m = (nw + (ne - nw) * uc) + ((sw + (se - sw) * uc) - (nw + (ne - nw) * uc)) * vc;
    // A ragged edge: the noise repeats with the tile, so shared edges agree.
    m += 0.30 * (tile_fbm(u, v, 8, 3, 83) - 0.5);
    return tile_clamp((m - 0.44) / 0.12, 0, 1);
}

static std::string tile_png(int mask) {
    std::vector<unsigned char> px((size_t)TILE_SIDE * TILE_SIDE * 3);
    for (int y = 0; y < TILE_SIDE; y++) {
        for (int x = 0; x < TILE_SIDE; x++) {
            double u, v;
            tile_uv(x, y, &u, &v);
            double g = mask == 0 ? 0 : mask == 15 ? 1 : tile_grass_share(mask, u, v);
            TileColor d = tile_dirt(u, v), gr = tile_grass(u, v);
            // Dirt right at the grass line is darker, trodden in.
            double rim = g * (1 - g) * 4;
            TileColor c = {d.r + (gr.r - d.r) * g, d.g + (gr.g - d.g) * g, d.b + (gr.b - d.b) * g};
            c.r *= 1 - 0.12 * rim, c.g *= 1 - 0.10 * rim, c.b *= 1 - 0.12 * rim;
            unsigned char *p = &px[((size_t)y * TILE_SIDE + x) * 3];
            p[0] = (unsigned char)std::lround(tile_clamp(c.r, 0, 1) * 255);
            p[1] = (unsigned char)std::lround(tile_clamp(c.g, 0, 1) * 255);
            p[2] = (unsigned char)std::lround(tile_clamp(c.b, 0, 1) * 255);
        }
    }
    unsigned char *png = nullptr;
    size_t size = 0;
    if (!png_encode_rgba(px.data(), TILE_SIDE, TILE_SIDE, 3, nullptr, &png, &size)) return std::string();
    std::string out((const char *)png, size);
    free(png);
    return out;
}

void track_add_tile_textures(std::vector<ArchiveMember> *members) {
    members->push_back({"dirt.png", tile_png(0)});
    members->push_back({"grass.png", tile_png(15)});
    for (int mask = 1; mask < 15; mask++) {
        char name[64];
        snprintf(name, sizeof name, "dirt-grass-%d%d%d%d.png", mask >> 3 & 1, mask >> 2 & 1, mask >> 1 & 1, mask & 1);
        members->push_back({name, tile_png(mask)});
    }
}

// --- tile map ------------------------------------------------------------------

std::string track_tilemap(const TrackField *f) {
    int r = 1 << f->k;
    std::string out((size_t)r * r, '\0');
    for (int v = 0; v < r; v++) {
        for (int u = 0; u < r; u++) {
            auto grass = [&](int cu, int cv) { return f->dirt[(size_t)cv * (r + 1) + cu] ? 0 : 1; };
            int mask = grass(u, v) << 3 | grass(u + 1, v) << 2 | grass(u, v + 1) << 1 | grass(u + 1, v + 1);
            out[(size_t)v * r + u] = (char)track_tile_for_mask(mask);
        }
    }
    return out;
}

// --- light -------------------------------------------------------------------

static double tile_height(const TrackField *f, int i, int j) {
    i = i < 0 ? 0 : i >= f->n ? f->n - 1 : i;
    j = j < 0 ? 0 : j >= f->n ? f->n - 1 : j;
    return f->heights[(size_t)j * f->n + i];
}

// Bilinear height between grid points, for the shadow march.
static double tile_height_at(const TrackField *f, double x, double z) {
    double fx = x / f->spacing, fz = z / f->spacing;
    int i = (int)std::floor(fx), j = (int)std::floor(fz);
    double a = fx - i, b = fz - j;
    double h00 = tile_height(f, i, j), h10 = tile_height(f, i + 1, j);
    double h01 = tile_height(f, i, j + 1), h11 = tile_height(f, i + 1, j + 1);
    return (h00 + (h10 - h00) * a) + ((h01 + (h11 - h01) * a) - (h00 + (h10 - h00) * a)) * b;
}

std::vector<unsigned char> track_shadow_light(const TrackField *f, const TrackSun *sun) {
    int n = f->n;
    std::vector<unsigned char> light((size_t)n * n, 255);
    double hx = sun->vector[0], hy = sun->vector[1], hz = sun->vector[2];
    double horiz = std::sqrt(hx * hx + hz * hz);
    if (horiz < 1e-6 || hy <= 0) return light;
    double step = f->spacing * 0.75, rise = step * hy / horiz;
    double dx = hx / horiz * step, dz = hz / horiz * step;
    double top = f->heights[0];
    for (float h : f->heights) top = std::max(top, (double)h);
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            double x = i * f->spacing, z = j * f->spacing;
            double y = f->heights[(size_t)j * n + i] + 0.05;
            // Deepest the ray goes under the ground on its way out; a soft
            // edge of 1.5 ft keeps the outlines from stair-stepping.
            double depth = 0;
            for (int k = 1; k < 4000 && y < top; k++) {
                x += dx, z += dz, y += rise;
                if (x < 0 || z < 0 || x > (n - 1) * f->spacing || z > (n - 1) * f->spacing) break;
                double under = tile_height_at(f, x, z) - y;
                if (under > depth) {
                    depth = under;
                    if (depth >= 1.5) break;
                }
            }
            light[(size_t)j * n + i] = (unsigned char)std::lround(255.0 * (1.0 - tile_clamp(depth / 1.5, 0, 1)));
        }
    }
    return light;
}

// The unit vertex normal of a grid point: the eight triangles around it, each
// unit normal summed, the way the terrain re-lights deformed ground.
static void tile_vertex_normal(const TrackField *f, int i, int j, double out[3]) {
    static const int around[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    double s = f->spacing, qy = tile_height(f, i, j);
    double sum[3] = {0, 0, 0};
    for (int k = 0; k < 8; k++) {
        const int *a = around[k], *b = around[(k + 1) % 8];
        double p[3] = {a[0] * s, tile_height(f, i + a[0], j + a[1]) - qy, a[1] * s};
        double q[3] = {b[0] * s, tile_height(f, i + b[0], j + b[1]) - qy, b[1] * s};
        // (next - Q) x (this - Q)
        double c[3] = {q[1] * p[2] - q[2] * p[1], q[2] * p[0] - q[0] * p[2], q[0] * p[1] - q[1] * p[0]};
        double len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        if (len > 0)
            for (int m = 0; m < 3; m++) sum[m] += c[m] / len;
    }
    double len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    for (int m = 0; m < 3; m++) out[m] = len > 0 ? sum[m] / len : (m == 1 ? 1 : 0);
}

std::string track_shading_ppm(const TrackField *f, const TrackSun *sun, const std::vector<unsigned char> &light) {
    int n = f->n;
    char header[64];
    snprintf(header, sizeof header, "P6\n%d %d\n255\n", n, n);
    std::string out = header;
    size_t start = out.size();
    out.resize(start + (size_t)n * n * 3);
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            double nv[3];
            tile_vertex_normal(f, i, j, nv);
            double d = nv[0] * sun->vector[0] + nv[1] * sun->vector[1] + nv[2] * sun->vector[2];
            double shadow = 255 - light[(size_t)j * n + i];
            double lit = tile_clamp(d, 0, 1) * (1 - shadow / 255.0);
            for (int c = 0; c < 3; c++) {
                double v = (sun->color[c] * lit + sun->ambient[c]) * 0.5 * 255;
                out[start + ((size_t)j * n + i) * 3 + c] = (char)(int)tile_clamp(v, 0, 255);
            }
        }
    }
    return out;
}

std::string track_shadows_pgm(const TrackField *f, const std::vector<unsigned char> &light) {
    char header[64];
    snprintf(header, sizeof header, "P5\n%d %d\n255\n", f->n, f->n);
    return header + std::string(light.begin(), light.end());
}

// --- gzip ----------------------------------------------------------------------

std::string track_gzip(const std::string &bytes) {
    // Fixed header: deflate, no flags, no time, maximum compression, OS unknown.
    static const unsigned char header[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 2, 255};
    std::string out((const char *)header, sizeof header);
    z_stream z = {};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return std::string();
    std::string body(deflateBound(&z, bytes.size()), '\0');
    z.next_in = (Bytef *)bytes.data();
    z.avail_in = (uInt)bytes.size();
    z.next_out = (Bytef *)&body[0];
    z.avail_out = (uInt)body.size();
    int rc = deflate(&z, Z_FINISH);
    size_t used = body.size() - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END) return std::string();
    out.append(body, 0, used);
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)bytes.data(), (uInt)bytes.size());
    uint32_t size = (uint32_t)bytes.size();
    for (int i = 0; i < 4; i++) out += (char)(crc >> (8 * i) & 0xff);
    for (int i = 0; i < 4; i++) out += (char)(size >> (8 * i) & 0xff);
    return out;
}
