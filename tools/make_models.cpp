// The mesh builder and ".vx" writer behind the default models, and the list
// of files they make. Primitives append triangles counter-clockwise seen
// from outside, with flat or smooth normals as the shape wants, and spread
// their surface parameters over a rectangle of the texture.
#include "make_models.h"

#include <cmath>
#include <cstdio>

static const float MESH_PI = 3.14159265358979323846f;

void v3_normalize(float *v) {
    float l = std::sqrt(v3_dot(v, v));
    if (l > 0) v3(v, v[0] / l, v[1] / l, v[2] / l);
}

MeshPiece mesh_piece(float shininess, float r, float g, float b) {
    MeshPiece m;
    m.shininess = shininess;
    m.k = 1;
    v3(m.rgb, r, g, b);
    return m;
}

// Appends a vertex at p with normal n and the point (s, t) of the rect, s
// left to right and t top to bottom, both 0..1.
static int mesh_vert(MeshPiece *m, const float p[3], const float n[3], float s, float t, UvRect uv) {
    MeshVertex v = {};
    v3(v.p, p[0], p[1], p[2]);
    v3(v.n, n[0], n[1], n[2]);
    v3_normalize(v.n);
    float px = uv.x0 + s * (uv.x1 - uv.x0), py = uv.y0 + t * (uv.y1 - uv.y0);
    v.uv[0] = px / uv.w;
    v.uv[1] = 1 - py / uv.h;
    m->verts.push_back(v);
    return (int)m->verts.size() - 1;
}

static void mesh_tri(MeshPiece *m, int a, int b, int c) {
    m->tris.push_back(a);
    m->tris.push_back(b);
    m->tris.push_back(c);
}

void mesh_quad(MeshPiece *m, const float p0[3], const float p1[3], const float p2[3], const float p3[3], UvRect uv) {
    float e1[3], e2[3], n[3];
    v3_sub(e1, p1, p0);
    v3_sub(e2, p2, p0);
    v3_cross(n, e1, e2);
    int a = mesh_vert(m, p0, n, 0, 1, uv), b = mesh_vert(m, p1, n, 1, 1, uv);
    int c = mesh_vert(m, p2, n, 1, 0, uv), d = mesh_vert(m, p3, n, 0, 0, uv);
    mesh_tri(m, a, b, c);
    mesh_tri(m, a, c, d);
}

void mesh_obox(MeshPiece *m, const float c[3], const float ax[3], const float ay[3], const float h[3], UvRect uv) {
    float az[3];
    v3_cross(az, ax, ay);
    const float *axes[3] = {ax, ay, az};
    // Per face: the normal axis and sign, then the in-face axes U and V
    // (U x V = normal) with their signs; the picture stands up along V.
    static const int faces[6][6] = {
        {0, 1, 2, -1, 1, 1}, {0, -1, 2, 1, 1, 1}, {1, 1, 0, 1, 2, -1},
        {1, -1, 0, 1, 2, 1}, {2, 1, 0, 1, 1, 1},  {2, -1, 0, -1, 1, 1},
    };
    for (const int *f : faces) {
        float n[3], u[3], v[3], center[3];
        v3(n, 0, 0, 0);
        v3_mad(n, n, axes[f[0]], (float)f[1]);
        v3(u, 0, 0, 0);
        v3_mad(u, u, axes[f[2]], (float)f[3] * h[f[2]]);
        v3(v, 0, 0, 0);
        v3_mad(v, v, axes[f[4]], (float)f[5] * h[f[4]]);
        v3_mad(center, c, n, h[f[0]]);
        float p[4][3];
        for (int k = 0; k < 4; k++) {
            float su = (k == 1 || k == 2) ? 1.0f : -1.0f, sv = k >= 2 ? 1.0f : -1.0f;
            v3_mad(p[k], center, u, su);
            v3_mad(p[k], p[k], v, sv);
        }
        int i0 = mesh_vert(m, p[0], n, 0, 1, uv), i1 = mesh_vert(m, p[1], n, 1, 1, uv);
        int i2 = mesh_vert(m, p[2], n, 1, 0, uv), i3 = mesh_vert(m, p[3], n, 0, 0, uv);
        mesh_tri(m, i0, i1, i2);
        mesh_tri(m, i0, i2, i3);
    }
}

void mesh_box(MeshPiece *m, const float c[3], const float h[3], UvRect uv) {
    static const float ax[3] = {1, 0, 0}, ay[3] = {0, 1, 0};
    mesh_obox(m, c, ax, ay, h, uv);
}

void mesh_tube(MeshPiece *m, const float a[3], const float b[3], const float side[3], float ra0, float rb0,
               float ra1, float rb1, int segs, float phase, bool caps, UvRect uv) {
    float d[3], s[3], t[3];
    v3_sub(d, b, a);
    float len = std::sqrt(v3_dot(d, d));
    if (len <= 0) return;
    v3_normalize(d);
    v3_mad(s, side, d, -v3_dot(side, d));
    v3_normalize(s);
    v3_cross(t, d, s);
    float slope = ((ra0 + rb0) - (ra1 + rb1)) / (2 * len);
    int first = (int)m->verts.size();
    for (int i = 0; i <= segs; i++) {
        float q = phase + 2 * MESH_PI * i / segs, cq = std::cos(q), sq = std::sin(q);
        float n[3], p[3];
        v3(n, 0, 0, 0);
        v3_mad(n, n, s, cq / ((ra0 + ra1) / 2));
        v3_mad(n, n, t, sq / ((rb0 + rb1) / 2));
        v3_normalize(n);
        v3_mad(n, n, d, slope);
        for (int e = 0; e < 2; e++) {
            const float *end = e ? b : a;
            float ra = e ? ra1 : ra0, rb = e ? rb1 : rb0;
            v3_mad(p, end, s, ra * cq);
            v3_mad(p, p, t, rb * sq);
            mesh_vert(m, p, n, (float)i / segs, e ? 0.0f : 1.0f, uv);
        }
    }
    for (int i = 0; i < segs; i++) {
        int a0 = first + 2 * i, b0 = a0 + 1, a1 = a0 + 2, b1 = a0 + 3;
        mesh_tri(m, a0, a1, b1);
        mesh_tri(m, a0, b1, b0);
    }
    if (!caps) return;
    for (int e = 0; e < 2; e++) {
        const float *end = e ? b : a;
        float ra = e ? ra1 : ra0, rb = e ? rb1 : rb0;
        float n[3];
        v3(n, d[0], d[1], d[2]);
        if (!e) v3(n, -d[0], -d[1], -d[2]);
        int c = mesh_vert(m, end, n, 0.5f, 0.5f, uv);
        int ring = (int)m->verts.size();
        for (int i = 0; i < segs; i++) {
            float q = phase + 2 * MESH_PI * i / segs, p[3];
            v3_mad(p, end, s, ra * std::cos(q));
            v3_mad(p, p, t, rb * std::sin(q));
            mesh_vert(m, p, n, 0.5f + 0.5f * std::cos(q), 0.5f + 0.5f * std::sin(q), uv);
        }
        for (int i = 0; i < segs; i++) {
            int p0 = ring + i, p1 = ring + (i + 1) % segs;
            if (e) mesh_tri(m, c, p0, p1);
            else mesh_tri(m, c, p1, p0);
        }
    }
}

void mesh_path(MeshPiece *m, const float (*pts)[3], int n, float radius, int segs, bool caps, UvRect uv) {
    for (int i = 0; i + 1 < n; i++) {
        float d[3], a[3], b[3], side[3] = {1, 0, 0};
        v3_sub(d, pts[i + 1], pts[i]);
        v3_normalize(d);
        if (std::fabs(d[0]) > 0.9f) v3(side, 0, 1, 0);
        // Each segment reaches a little into its neighbours so that bends
        // show no gaps.
        v3_mad(a, pts[i], d, i > 0 ? -radius * 0.5f : 0.0f);
        v3_mad(b, pts[i + 1], d, i + 2 < n ? radius * 0.5f : 0.0f);
        bool cap = caps && (i == 0 || i + 2 == n);
        mesh_tube(m, a, b, side, radius, radius, radius, radius, segs, 0, cap, uv);
    }
}

void mesh_ellipsoid(MeshPiece *m, const float c[3], const float r[3], int slices, int stacks, UvRect uv) {
    int first = (int)m->verts.size();
    for (int j = 0; j <= stacks; j++) {
        float phi = -MESH_PI / 2 + MESH_PI * j / stacks;
        for (int i = 0; i <= slices; i++) {
            float q = 2 * MESH_PI * i / slices;
            float x = std::cos(phi) * std::sin(q), y = std::sin(phi), z = std::cos(phi) * std::cos(q);
            if (j == 0 || j == stacks) x = 0, z = 0;
            float p[3] = {c[0] + r[0] * x, c[1] + r[1] * y, c[2] + r[2] * z};
            float n[3] = {x / r[0], y / r[1], z / r[2]};
            mesh_vert(m, p, n, (float)i / slices, 1 - (float)j / stacks, uv);
        }
    }
    int row = slices + 1;
    for (int j = 0; j < stacks; j++) {
        for (int i = 0; i < slices; i++) {
            int p00 = first + j * row + i, p10 = p00 + 1, p01 = p00 + row, p11 = p01 + 1;
            if (j > 0) mesh_tri(m, p00, p10, p11);
            if (j + 1 < stacks) mesh_tri(m, p00, p11, p01);
        }
    }
}

void mesh_disc(MeshPiece *m, float x0, float cy, float cz, float r, int facing, int segs, UvRect uv) {
    float n[3] = {(float)facing, 0, 0}, c[3] = {x0, cy, cz};
    int center = mesh_vert(m, c, n, 0.5f, 0.5f, uv);
    int ring = (int)m->verts.size();
    for (int i = 0; i < segs; i++) {
        float q = 2 * MESH_PI * i / segs;
        float p[3] = {x0, cy + r * std::cos(q), cz + r * std::sin(q)};
        mesh_vert(m, p, n, 0.5f + 0.5f * facing * std::sin(q), 0.5f - 0.5f * std::cos(q), uv);
    }
    for (int i = 0; i < segs; i++) {
        int p0 = ring + i, p1 = ring + (i + 1) % segs;
        if (facing > 0) mesh_tri(m, center, p0, p1);
        else mesh_tri(m, center, p1, p0);
    }
}

void mesh_lathe(MeshPiece *m, const float (*prof)[2], int nprof, float cy, float cz, int segs, int wraps,
                UvRect uv) {
    int per_wrap = wraps > 0 ? segs / wraps : segs;
    if (per_wrap < 1) per_wrap = 1;
    for (int k = 0; k < nprof; k++) {
        const float *pa = prof[k], *pb = prof[(k + 1) % nprof];
        float er = pb[0] - pa[0], ex = pb[1] - pa[1], len = std::hypot(er, ex);
        if (len <= 0) continue;
        float nr = ex / len, nx = -er / len;
        // Each band of the section shows the whole height of the rect, so
        // a tread picture repeats across the tyre's face and shoulders.
        float t0 = 1, t1 = 0;
        for (int i = 0; i < segs; i++) {
            float q0 = 2 * MESH_PI * i / segs, q1 = 2 * MESH_PI * (i + 1) / segs;
            float s0 = (float)(i % per_wrap) / per_wrap, s1 = (float)(i % per_wrap + 1) / per_wrap;
            int idx[4];
            const float *prof_pt[4] = {pa, pa, pb, pb};
            const float qs[4] = {q0, q1, q1, q0}, ss[4] = {s0, s1, s1, s0}, ts[4] = {t0, t0, t1, t1};
            for (int c = 0; c < 4; c++) {
                float cq = std::cos(qs[c]), sq = std::sin(qs[c]);
                float p[3] = {prof_pt[c][1], cy + prof_pt[c][0] * cq, cz + prof_pt[c][0] * sq};
                float n[3] = {nx, nr * cq, nr * sq};
                idx[c] = mesh_vert(m, p, n, ss[c], ts[c], uv);
            }
            // A0 A1 B1 B0, counter-clockwise from outside.
            mesh_tri(m, idx[0], idx[1], idx[2]);
            mesh_tri(m, idx[0], idx[2], idx[3]);
        }
    }
}

void mesh_translate(MeshPiece *m, float dx, float dy, float dz) {
    for (MeshVertex &v : m->verts) {
        v.p[0] += dx;
        v.p[1] += dy;
        v.p[2] += dz;
    }
}

void mesh_mirror_x(MeshPiece *m, size_t from_vertex, size_t from_tri) {
    size_t nv = m->verts.size(), nt = m->tris.size();
    for (size_t i = from_vertex; i < nv; i++) {
        MeshVertex v = m->verts[i];
        v.p[0] = -v.p[0];
        v.n[0] = -v.n[0];
        m->verts.push_back(v);
    }
    int shift = (int)(nv - from_vertex);
    for (size_t i = from_tri; i + 2 < nt; i += 3) {
        mesh_tri(m, m->tris[i] + shift, m->tris[i + 2] + shift, m->tris[i + 1] + shift);
    }
}

// --- the file ---------------------------------------------------------------

static void vx_add(std::string *out, const char *format, double value) {
    char buf[64];
    snprintf(buf, sizeof buf, format, value);
    *out += buf;
}

std::string vx_image(const MeshModel &model, const char *name) {
    std::string out;
    char line[1100];
    if (model.bones > 0) snprintf(line, sizeof line, "VX2 %d %s\n", model.bones, name);
    else snprintf(line, sizeof line, "VX1\n");
    out += line;
    for (const MeshPiece &p : model.pieces) {
        snprintf(line, sizeof line, "%f %f %f %f %f %d %d\n", p.shininess, p.k, p.rgb[0], p.rgb[1], p.rgb[2],
                 (int)p.verts.size(), (int)p.tris.size() / 3);
        out += line;
        for (const MeshVertex &v : p.verts) {
            vx_add(&out, "%f", v.p[0]);
            for (int k = 1; k < 3; k++) vx_add(&out, " %f", v.p[k]);
            for (int k = 0; k < 3; k++) vx_add(&out, " %f", v.n[k]);
            vx_add(&out, " %f", v.uv[0]);
            vx_add(&out, " %f", v.uv[1]);
            for (int k = 0; k < model.bones; k++) vx_add(&out, " %f", v.w[k]);
            out += '\n';
        }
        for (size_t i = 0; i + 2 < p.tris.size(); i += 3) {
            snprintf(line, sizeof line, "%d %d %d\n", p.tris[i], p.tris[i + 1], p.tris[i + 2]);
            out += line;
        }
    }
    return out;
}

// --- the set ----------------------------------------------------------------

const char *const k_bike_stems[] = {
    "crf450v2013", "kx450f",      "rmz450",      "yz450f",      "450sxfv2013", "350sxfv2013",
    "crf450",      "450sxf",      "350sxf",      "250sx",       "cr250",       "kx250",
    "rm250",       "yz250",       "crf250v2010", "kx250fv2013", "rmz250v2010", "yz250fv2010",
    "250sxfv2013", "crf250",      "kx250f",      "rmz250",      "yz250f",      "250sxf",
    "cr125",       "kx125",       "rm125",       "yz125",       "125sx",
};
const int k_bike_stem_count = (int)(sizeof k_bike_stems / sizeof k_bike_stems[0]);

static void models_add(std::vector<ArchiveMember> *members, const std::string &file, const MeshModel &model) {
    std::string stem = file.substr(0, file.rfind('.'));
    members->push_back({file, vx_image(model, stem.c_str())});
}

void models_add_files(std::vector<ArchiveMember> *members) {
    // Every stem shares one set of shapes; each file is written once and
    // copied, so the set stays quick to build.
    std::string frame = vx_image(bike_frame_model(1), "frame");
    std::string frame_lod = vx_image(bike_frame_model(0), "frame");
    std::string fork_upper = vx_image(bike_fork_upper_model(), "fork_upper");
    std::string fork_lower = vx_image(bike_fork_lower_model(), "fork_lower");
    std::string swingarm = vx_image(bike_swingarm_model(), "swingarm");
    std::string side_plates = vx_image(bike_side_plates_model(), "side_plates");
    std::string front_plate = vx_image(bike_front_plate_model(), "front_plate");
    for (int i = 0; i < k_bike_stem_count; i++) {
        std::string s = k_bike_stems[i];
        members->push_back({s + "_frame.vx", frame});
        members->push_back({s + "_frame_lod5.vx", frame_lod});
        members->push_back({s + "_fork_upper.vx", fork_upper});
        members->push_back({s + "_fork_lower.vx", fork_lower});
        members->push_back({s + "_swingarm.vx", swingarm});
        members->push_back({s + "_side_plates.vx", side_plates});
        members->push_back({s + "_front_plate.vx", front_plate});
    }
    models_add(members, "front_wheel.vx", wheel_model(true));
    models_add(members, "rear_wheel.vx", wheel_model(false));
    models_add(members, "rider_body.vx", rider_body_model(1));
    models_add(members, "rider_body_lod5.vx", rider_body_model(0));
    models_add(members, "rider_body_fp.vx", rider_body_fp_model());
    models_add(members, "rider_plate.vx", rider_plate_model());
    models_add(members, "rider_head.vx", rider_head_model());
    models_add(members, "startgate.vx", startgate_model());
    model_textures_add(members);
}
