// The default bike, wheel, rider and starting-gate models and their
// textures, built from code: a small mesh builder (boxes, tubes, ellipsoids,
// discs, rings) that writes ".vx" text models, and painters for the PNG
// textures. Deterministic, byte for byte: only plain arithmetic and the C
// library's sin/cos/sqrt.
//
// Every model is written in the coordinates of the body that carries it: a
// bike part around its body's rest position (the bike stands on y = 0 facing
// -z), a wheel around its axle, the rider in the skeleton's rest pose (arms
// out along x, legs down y, +z the rider's back) and the head around the
// point it is drawn at.
#pragma once

#include <string>
#include <vector>

#include "archive.h"

enum {
    MESH_MAX_BONES = 9,
    RIDER_BONES = 9,
};

// One vertex as the file holds it; v counts from the bottom of the picture
// (the reader stores 1 - v).
struct MeshVertex {
    float p[3], n[3], uv[2];
    float w[MESH_MAX_BONES];
};

// One piece of a model: a triangle mesh with its material line.
struct MeshPiece {
    float shininess;    // >= 0 lit, -1 reflection layer, -2 self-lit
    float k;            // reflection or self-lit strength
    float rgb[3];       // specular colour of a lit piece
    std::vector<MeshVertex> verts;
    std::vector<int> tris;   // three indices per triangle, counter-clockwise seen from outside
};

struct MeshModel {
    int bones;          // 0: a "VX1" file, else "VX2" with this many weights per vertex
    std::vector<MeshPiece> pieces;
};

// A rectangle of the texture, in pixels of a w x h picture (rows top-down);
// primitives spread their own 0..1 parameters over it.
struct UvRect {
    float x0, y0, x1, y1;
    int w, h;
};

// --- the builder (make_models.cpp) ---

MeshPiece mesh_piece(float shininess, float r, float g, float b);
// An axis-aligned box around c with half sizes h; each face spreads the rect.
void mesh_box(MeshPiece *m, const float c[3], const float h[3], UvRect uv);
// A box around c along the unit axes ax, ay and ax x ay, with half sizes h.
void mesh_obox(MeshPiece *m, const float c[3], const float ax[3], const float ay[3], const float h[3], UvRect uv);
// A tube from a to b with an elliptic section: radii (ra0, rb0) at a and
// (ra1, rb1) at b, ra along `side` (made perpendicular to the tube) and rb
// across; segs sides, phase turns the first side; caps closes the ends.
// u runs around the tube, v along it.
void mesh_tube(MeshPiece *m, const float a[3], const float b[3], const float side[3], float ra0, float rb0,
               float ra1, float rb1, int segs, float phase, bool caps, UvRect uv);
// A round tube of constant radius through the points of a path.
void mesh_path(MeshPiece *m, const float (*pts)[3], int n, float radius, int segs, bool caps, UvRect uv);
// An ellipsoid around c with radii r; u around the y axis, v from bottom to top.
void mesh_ellipsoid(MeshPiece *m, const float c[3], const float r[3], int slices, int stacks, UvRect uv);
// A disc in the plane x = x0 facing `facing` (+1 or -1) with radius r around
// (y, z) = (cy, cz); the rect is a picture of the disc (polar mapping).
void mesh_disc(MeshPiece *m, float x0, float cy, float cz, float r, int facing, int segs, UvRect uv);
// A ring around the line parallel to x through (y, z) = (cy, cz) (wheel
// rim, tyre): the closed section `prof` of (radius, x) points, counter-
// clockwise with radius to the right, swept in segs steps; u runs across
// the rect once every segs / wraps steps, and every band of the section
// shows the rect's whole height.
void mesh_lathe(MeshPiece *m, const float (*prof)[2], int nprof, float cy, float cz, int segs, int wraps,
                UvRect uv);
// A flat quad p0 p1 p2 p3 (counter-clockwise seen from the front), the rect
// from p0 (u0, v bottom) to p2.
void mesh_quad(MeshPiece *m, const float p0[3], const float p1[3], const float p2[3], const float p3[3],
               UvRect uv);
void mesh_translate(MeshPiece *m, float dx, float dy, float dz);
// Appends the mesh mirrored in x (the other side of a symmetric part).
void mesh_mirror_x(MeshPiece *m, size_t from_vertex, size_t from_tri);

// The text of a ".vx" file: "VX1" or "VX2 <bones> <name>", every number "%f".
std::string vx_image(const MeshModel &model, const char *name);

// --- the bike's rest geometry, in bike coordinates (feet) ---
// Where the simulation builds each body; the models and the physics shapes
// of each part are made around these points.
static const float k_frame_pos[3] = {0, 1.98f, 3.6f};
static const float k_fork_upper_pos[3] = {0, 2.9f, 2.16f};
static const float k_fork_lower_pos[3] = {0, 1.77f, 1.59f};
static const float k_swingarm_pos[3] = {0, 1.34f, 4.99f};
static const float k_swingarm_pivot[3] = {0, 1.6f, 4.08f};
static const float k_front_axle[3] = {0, 1.09f, 1.11f};
static const float k_rear_axle[3] = {0, 1.04f, 6.0f};
static const float k_fork_leg_x = 0.8333333f / 2;

// --- the parts (make_bike_models.cpp, make_rider_models.cpp) ---

// detail 1 is the full model, 0 the distant level.
MeshModel bike_frame_model(int detail);
MeshModel bike_fork_upper_model();
MeshModel bike_fork_lower_model();
MeshModel bike_swingarm_model();
MeshModel bike_side_plates_model();
MeshModel bike_front_plate_model();
MeshModel wheel_model(bool front);
MeshModel startgate_model();

MeshModel rider_body_model(int detail);
MeshModel rider_body_fp_model();
MeshModel rider_plate_model();
MeshModel rider_head_model();

// The rest origins of the nine bones, in bone order.
extern const float k_rider_bone_origins[RIDER_BONES][3];

// --- the textures (make_model_textures.cpp) ---

// The pixel rectangles of the bike, wheel, rider and head textures that the
// parts map onto.
enum BikeRegion {
    BR_PLASTIC, BR_GRAPHIC, BR_SEAT, BR_FRAME, BR_ENGINE, BR_EXHAUST, BR_FORK_TUBE, BR_BLACK,
    BR_RADIATOR, BR_SWINGARM, BR_ACCENT, BR_COUNT
};
enum WheelRegion { WR_TREAD, WR_SIDEWALL, WR_RIM, WR_HUB, WR_SPOKES, WR_DISC, WR_SPROCKET, WR_COUNT };
enum RiderRegion { RR_JERSEY, RR_SLEEVE, RR_PANTS, RR_GLOVE, RR_BOOT, RR_SKIN, RR_COUNT };
enum HeadRegion { HR_SHELL, HR_CHIN, HR_VISOR, HR_GOGGLE, HR_STRAP, HR_COUNT };
UvRect bike_uv(BikeRegion r);
UvRect wheel_uv(WheelRegion r);
UvRect rider_uv(RiderRegion r);
UvRect head_uv(HeadRegion r);
UvRect plate_uv();      // the whole number-plate picture
UvRect gate_uv(int region);   // 0 the drop plate, 1 the hinge and posts

// Adds the textures: "<stem>.png" for every stem (with the plate colours in
// its text), "yz250f_se.png", the "-alt" bike graphics, "wheels.png",
// "rider_body.png", "rider_head.png", their "-alt" gear and "startgate.ppm".
void model_textures_add(std::vector<ArchiveMember> *members);

// --- the whole set (make_models.cpp) ---

// The distinct file stems of the bike catalogue, in catalogue order.
extern const char *const k_bike_stems[];
extern const int k_bike_stem_count;

// Adds every model and texture of the bikes, wheels, riders and starting gate.
void models_add_files(std::vector<ArchiveMember> *members);

// --- small vector helpers for the builders ---

static inline void v3(float *o, float x, float y, float z) { o[0] = x, o[1] = y, o[2] = z; }
static inline void v3_add(float *o, const float *a, const float *b) { v3(o, a[0] + b[0], a[1] + b[1], a[2] + b[2]); }
static inline void v3_sub(float *o, const float *a, const float *b) { v3(o, a[0] - b[0], a[1] - b[1], a[2] - b[2]); }
static inline void v3_mad(float *o, const float *a, const float *b, float s) {
    v3(o, a[0] + b[0] * s, a[1] + b[1] * s, a[2] + b[2] * s);
}
static inline float v3_dot(const float *a, const float *b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
static inline void v3_cross(float *o, const float *a, const float *b) {
    float x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
    v3(o, x, y, z);
}
void v3_normalize(float *v);
