// The level-of-detail errors of the terrain's quadtree: for every node the
// squared distance from its centre within which the renderer must split it.
//
// Level 0 is one node over the whole field; level d has 2^d x 2^d nodes of
// W = (N - 1) / 2^d cells a side; level k nodes are one tile square. A node's
// own error comes from the largest vertical gap between the field and the
// node's two triangles; a parent's value also covers its children and the
// level-(d+1) nodes beside them, so that neighbouring leaves never differ by
// more than one level and the mesh has no cracks.
//
// Owns nothing: it writes the record's lod_error_next and swaps it in.
#include <cmath>
#include <cstring>

#include "track/terrain.h"

static const float HALF_DIAGONAL = 0.7071068f;       // half a node's diagonal per unit of side
static const float NEIGHBOUR_DISTANCE = 1.5811388f;  // sqrt(10)/2: parent centre to a child's neighbour
static const float SMALLEST_DETAIL = 1e-6f;

// The largest |H - plane| over the grid points of node (a, b) at level d,
// the plane being the node's own two triangles (split like the cells: along
// the rising diagonal when a + b is even).
static float node_gap(const Terrain *t, int d, int a, int b) {
    int w = (t->n - 1) >> d;
    int i0 = a * w, j0 = b * w;
    const float *h = t->heights;
    size_t n = (size_t)t->n;
    float h00 = h[j0 * n + i0], h10 = h[j0 * n + i0 + w];
    float h01 = h[(j0 + w) * n + i0], h11 = h[(j0 + w) * n + i0 + w];
    bool even = ((a + b) & 1) == 0;
    float step = 1.0f / (float)w;   // exact: w is a power of two
    float gap = 0.0f;
    for (int j = 0; j <= w; j++) {
        const float *row = h + (size_t)(j0 + j) * n + i0;
        for (int i = 0; i <= w; i++) {
            float plane = terrain_cell_height(h00, h10, h01, h11, (float)i * step, (float)j * step, even);
            float diff = fabsf(row[i] - plane);
            if (diff > gap) gap = diff;
        }
    }
    return gap;
}

// The stored value of node (a, b) of level d, or 0 outside the field.
static float node_value(const float *values, int d, int a, int b) {
    int side = 1 << d;
    if (a < 0 || b < 0 || a >= side || b >= side) return 0.0f;
    return values[terrain_lod_level_start(d) + a + b * side];
}

void terrain_lod_compute(Terrain *t) {
    // The level-(d+1) nodes beside the 2 x 2 children, from the first child.
    static const int k_beside[8][2] = {{0, -1}, {1, -1}, {2, 0}, {2, 1}, {1, 2}, {0, 2}, {-1, 1}, {-1, 0}};
    float *next = t->lod_error_next;
    float detail = t->detail_factor > SMALLEST_DETAIL ? t->detail_factor : SMALLEST_DETAIL;
    for (int d = t->k; d >= 0; d--) {
        int side = 1 << d;
        float node_size = t->world_size / (float)side;
        float child_size = node_size * 0.5f;
        float *level = next + terrain_lod_level_start(d);
        for (int b = 0; b < side; b++) {
            for (int a = 0; a < side; a++) {
                float reach = node_gap(t, d, a, b) / detail + HALF_DIAGONAL * node_size;
                float value = reach * reach;
                if (d < t->k) {
                    int ca = 2 * a, cb = 2 * b;
                    float m = 0.0f;
                    for (int c = 0; c < 4; c++) value = fmaxf(value, node_value(next, d + 1, ca + (c & 1), cb + (c >> 1)));
                    for (const int *o : k_beside) m = fmaxf(m, node_value(next, d + 1, ca + o[0], cb + o[1]));
                    float neighbour = sqrtf(m) + NEIGHBOUR_DISTANCE * child_size;
                    value = fmaxf(value, neighbour * neighbour);
                }
                level[a + b * side] = value;
            }
        }
    }
    float *swap = t->lod_error;
    t->lod_error = t->lod_error_next;
    t->lod_error_next = swap;
    t->lod_version = t->version;
}
