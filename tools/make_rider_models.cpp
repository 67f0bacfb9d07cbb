// The default rider: the skinned body (full, distant and first-person
// versions), the number plate on its back and the helmeted head.
//
// The body is built in the skeleton's rest pose (arms straight out along x at
// shoulder height, legs straight down, +z the rider's back), then every
// vertex is weighted to the bones by where it lies, with soft blends across
// the shoulders, elbows, hips and knees so the limbs bend without tearing.
#include "make_models.h"

#include <cmath>

// Bone order: left and right forearm, upper arm, shin, thigh, then the torso.
enum {
    BONE_L_FOREARM, BONE_R_FOREARM, BONE_L_UPPER_ARM, BONE_R_UPPER_ARM,
    BONE_L_SHIN, BONE_R_SHIN, BONE_L_THIGH, BONE_R_THIGH, BONE_TORSO,
};

const float k_rider_bone_origins[RIDER_BONES][3] = {
    {-1.456f, 0.875f, 0.01f}, {1.456f, 0.875f, 0.01f},  {-0.556f, 0.875f, 0.01f},
    {0.556f, 0.875f, 0.01f},  {-0.269f, -2.208f, 0.01f}, {0.269f, -2.208f, 0.01f},
    {-0.269f, -0.88f, 0.01f}, {0.269f, -0.88f, 0.01f},  {0, -0.88f, 0.01f},
};

static const float SHOULDER_X = 0.556f, ELBOW_X = 1.456f, HIP_Y = -0.88f, KNEE_Y = -2.208f;
static const float HIP_X = 0.269f, SHOULDER_Y = 0.875f, FOOT_Y = -2.208f - 1.701f;

// 0 at a, 1 at b, smooth between (a may lie above b).
static float blend(float a, float b, float x) {
    float t = (x - a) / (b - a);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * (3 - 2 * t);
}

static void rider_weigh(MeshVertex *v) {
    for (float &w : v->w) w = 0;
    float x = v->p[0], y = v->p[1], ax = std::fabs(x);
    if (y > 0.4f && ax > 0.4f) {
        float s = blend(SHOULDER_X - 0.06f, SHOULDER_X + 0.14f, ax);
        float e = blend(ELBOW_X - 0.08f, ELBOW_X + 0.08f, ax);
        int left = x < 0;
        v->w[BONE_TORSO] = 1 - s;
        v->w[left ? BONE_L_UPPER_ARM : BONE_R_UPPER_ARM] = s * (1 - e);
        v->w[left ? BONE_L_FOREARM : BONE_R_FOREARM] = s * e;
    } else if (y < -0.6f) {
        float h = blend(HIP_Y + 0.16f, HIP_Y - 0.14f, y);
        float k = blend(KNEE_Y + 0.09f, KNEE_Y - 0.09f, y);
        float l = blend(0.06f, -0.06f, x);   // share of the left leg
        v->w[BONE_TORSO] = 1 - h;
        v->w[BONE_L_THIGH] = h * (1 - k) * l;
        v->w[BONE_R_THIGH] = h * (1 - k) * (1 - l);
        v->w[BONE_L_SHIN] = h * k * l;
        v->w[BONE_R_SHIN] = h * k * (1 - l);
    } else {
        v->w[BONE_TORSO] = 1;
    }
}

static MeshModel rider_model(MeshPiece piece) {
    for (MeshVertex &v : piece.verts) rider_weigh(&v);
    MeshModel m;
    m.bones = RIDER_BONES;
    m.pieces.push_back(piece);
    return m;
}

static void ellipsoid(MeshPiece *m, float cx, float cy, float cz, float rx, float ry, float rz, int slices,
                      int stacks, UvRect uv) {
    float c[3] = {cx, cy, cz}, r[3] = {rx, ry, rz};
    mesh_ellipsoid(m, c, r, slices, stacks, uv);
}

static void limb(MeshPiece *m, const float a[3], const float b[3], const float side[3], float r0, float r1,
                 int segs, UvRect uv) {
    mesh_tube(m, a, b, side, r0, r0, r1, r1, segs, 0, true, uv);
}

// Arms and legs; the left ones are built and mirrored to the right.
static void rider_limbs(MeshPiece *m, int detail) {
    int segs = detail ? 10 : 5, sl = detail ? 10 : 6, st = detail ? 6 : 4;
    const float up[3] = {0, 1, 0}, across[3] = {1, 0, 0};
    size_t v0 = m->verts.size(), t0 = m->tris.size();
    const float sy = SHOULDER_Y, sz = 0.01f;
    ellipsoid(m, -SHOULDER_X, sy, sz, 0.2f, 0.19f, 0.19f, sl, st, rider_uv(RR_SLEEVE));
    float s[3] = {-SHOULDER_X - 0.05f, sy, sz}, e[3] = {-ELBOW_X, sy, sz}, w[3] = {-2.42f, sy - 0.01f, sz};
    limb(m, s, e, up, 0.17f, 0.14f, segs, rider_uv(RR_SLEEVE));
    ellipsoid(m, -ELBOW_X, sy, sz, 0.145f, 0.145f, 0.145f, sl, st, rider_uv(RR_SLEEVE));
    limb(m, e, w, up, 0.14f, 0.115f, segs, rider_uv(RR_SLEEVE));
    float c0[3] = {-2.34f, sy - 0.01f, sz}, c1[3] = {-2.47f, sy - 0.01f, sz};
    limb(m, c0, c1, up, 0.135f, 0.13f, segs, rider_uv(RR_GLOVE));
    ellipsoid(m, -2.58f, sy - 0.02f, sz - 0.01f, 0.17f, 0.12f, 0.13f, sl, st, rider_uv(RR_GLOVE));

    float h[3] = {-HIP_X, HIP_Y + 0.05f, 0}, k[3] = {-HIP_X, KNEE_Y, 0};
    limb(m, h, k, across, 0.25f, 0.18f, segs, rider_uv(RR_PANTS));
    ellipsoid(m, -HIP_X, KNEE_Y, -0.04f, 0.19f, 0.2f, 0.2f, sl, st, rider_uv(RR_PANTS));
    float b0[3] = {-HIP_X, KNEE_Y - 0.05f, 0}, b1[3] = {-HIP_X, FOOT_Y + 0.12f, 0.01f};
    limb(m, b0, b1, across, 0.19f, 0.165f, segs, rider_uv(RR_BOOT));
    float fc[3] = {-HIP_X, FOOT_Y + 0.06f, -0.12f}, fh[3] = {0.15f, 0.1f, 0.33f};
    mesh_box(m, fc, fh, rider_uv(RR_BOOT));
    mesh_mirror_x(m, v0, t0);
}

static void rider_torso(MeshPiece *m, int detail, bool chest) {
    int segs = detail ? 10 : 6, sl = detail ? 16 : 8, st = detail ? 10 : 5;
    ellipsoid(m, 0, -0.78f, 0.02f, 0.43f, 0.3f, 0.3f, sl, st, rider_uv(RR_PANTS));
    ellipsoid(m, 0, -0.3f, 0, 0.4f, 0.5f, 0.27f, sl, st, rider_uv(RR_JERSEY));
    if (!chest) return;
    ellipsoid(m, 0, 0.42f, 0, 0.5f, 0.6f, 0.31f, sl, st, rider_uv(RR_JERSEY));
    float a[3] = {0, 0.9f, 0.02f}, b[3] = {0, 1.2f, 0.02f}, across[3] = {1, 0, 0};
    limb(m, a, b, across, 0.15f, 0.14f, segs, rider_uv(RR_SKIN));
}

MeshModel rider_body_model(int detail) {
    MeshPiece m = mesh_piece(8, 0.25f, 0.25f, 0.25f);
    rider_torso(&m, detail, true);
    rider_limbs(&m, detail);
    return rider_model(m);
}

// Seen from the rider's own eyes: arms, legs and hips, without the chest and
// neck the camera sits in.
MeshModel rider_body_fp_model() {
    MeshPiece m = mesh_piece(8, 0.25f, 0.25f, 0.25f);
    rider_torso(&m, 1, false);
    rider_limbs(&m, 1);
    return rider_model(m);
}

// The depth of the back at (x, y): the chest or the belly, whichever stands
// out further.
static float rider_back_z(float x, float y) {
    float z = 0;
    float cx = x / 0.5f, cy = (y - 0.42f) / 0.6f;
    if (cx * cx + cy * cy < 1) z = std::fmax(z, 0.31f * std::sqrt(1 - cx * cx - cy * cy));
    float bx = x / 0.4f, by = (y + 0.3f) / 0.5f;
    if (bx * bx + by * by < 1) z = std::fmax(z, 0.27f * std::sqrt(1 - bx * bx - by * by));
    return z;
}

// The number plate on the rider's back, curved with it; read from behind
// (left to right along +x).
MeshModel rider_plate_model() {
    MeshPiece m = mesh_piece(8, 0.2f, 0.2f, 0.2f);
    const int nx = 6, ny = 4;
    const float x0 = -0.33f, x1 = 0.33f, y0 = 0.02f, y1 = 0.64f;
    UvRect uv = plate_uv();
    for (int j = 0; j <= ny; j++) {
        for (int i = 0; i <= nx; i++) {
            float s = (float)i / nx, t = (float)j / ny;
            float x = x0 + (x1 - x0) * s, y = y0 + (y1 - y0) * t;
            float z = rider_back_z(x, y) + 0.03f;
            // The normal from the slope of the back around the point.
            float dzx = (rider_back_z(x + 0.01f, y) - rider_back_z(x - 0.01f, y)) / 0.02f;
            float dzy = (rider_back_z(x, y + 0.01f) - rider_back_z(x, y - 0.01f)) / 0.02f;
            MeshVertex v = {};
            v3(v.p, x, y, z);
            v3(v.n, -dzx, -dzy, 1);
            v3_normalize(v.n);
            float px = uv.x0 + s * (uv.x1 - uv.x0), py = uv.y1 - t * (uv.y1 - uv.y0);
            v.uv[0] = px / uv.w;
            v.uv[1] = 1 - py / uv.h;
            m.verts.push_back(v);
        }
    }
    for (int j = 0; j < ny; j++) {
        for (int i = 0; i < nx; i++) {
            int a = j * (nx + 1) + i, b = a + 1, c = a + nx + 2, d = a + nx + 1;
            m.tris.insert(m.tris.end(), {a, b, c, a, c, d});
        }
    }
    return rider_model(m);
}

// The helmet around the point the head is drawn at: +y up, +z the back of
// the head, the face towards -z.
MeshModel rider_head_model() {
    MeshPiece m = mesh_piece(64, 0.8f, 0.8f, 0.8f);
    ellipsoid(&m, 0, 0.32f, 0.04f, 0.43f, 0.45f, 0.52f, 18, 12, head_uv(HR_SHELL));
    ellipsoid(&m, 0, 0.33f, 0.04f, 0.447f, 0.075f, 0.537f, 18, 2, head_uv(HR_STRAP));
    ellipsoid(&m, 0, 0.02f, -0.36f, 0.3f, 0.2f, 0.22f, 12, 6, head_uv(HR_CHIN));
    {
        float c[3] = {0, 0.33f, -0.47f}, h[3] = {0.3f, 0.1f, 0.05f};
        mesh_box(&m, c, h, head_uv(HR_GOGGLE));
        float vc[3] = {0, 0.66f, -0.55f}, ay[3] = {0, 1, 0.3f}, vh[3] = {0.34f, 0.02f, 0.24f};
        v3_normalize(ay);
        const float ax[3] = {1, 0, 0};
        mesh_obox(&m, vc, ax, ay, vh, head_uv(HR_VISOR));
        float a[3] = {0, -0.28f, 0.06f}, b[3] = {0, 0.02f, 0.06f};
        limb(&m, a, b, ax, 0.16f, 0.16f, 10, head_uv(HR_STRAP));
    }
    MeshModel model;
    model.bones = 0;
    model.pieces.push_back(m);
    return model;
}
