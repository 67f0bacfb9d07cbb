// Shapes and their sphere tests: the ".shp" reader, the process-wide cache
// of loaded shapes with the per-user instances copied from it, and the
// sphere tests against the height field and against another sphere that
// every collision of a bike's body parts comes down to.
//
// Owns: the shape cache (loaded shapes and the names that failed to load,
// so a missing file is asked for once) until shapes_free.
// Never: allocates in the sphere tests, which run per sphere and tick.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/physics.h"
#include "core/memory.h"
#include "files/vfs.h"
#include "track/terrain.h"

// The stiffness and damping of every body shape's contact with the ground,
// whatever the sphere's own: the ground gives way the same under any part.
static const double k_ground_kp = 2500, k_ground_kd = 250;

// --- reading and the cache ---------------------------------------------------------

bool shape_read(VfsFile *f, int *count, ShapeSphere **spheres) {
    int n = 0;
    if (!f || vfs_scanf(f, "%d", &n) != 1 || n < 1 || n > SHAPE_MAX_SPHERES) return false;
    ShapeSphere *s = (ShapeSphere *)mem_alloc((size_t)n * sizeof *s);
    for (int i = 0; i < n; i++) {
        ShapeSphere *p = &s[i];
        if (vfs_scanf(f, "%f %f %f %f %f %f %f", &p->centre[0], &p->centre[1], &p->centre[2], &p->radius, &p->mu,
                      &p->kp, &p->kd) != 7) {
            free(s);
            return false;
        }
        const float values[7] = {p->centre[0], p->centre[1], p->centre[2], p->radius, p->mu, p->kp, p->kd};
        bool finite = true;
        for (float v : values) finite = finite && std::isfinite(v);
        if (!finite || !(p->radius > 0)) {
            free(s);
            return false;
        }
    }
    *count = n;
    *spheres = s;
    return true;
}

// One name asked for: its shape, or none when the file was missing or bad.
struct ShapeCacheEntry {
    char *name;
    Shape *shape;
};

static ShapeCacheEntry *s_cache;   // whole process; grown by shape_load, freed by shapes_free
static int s_cache_count, s_cache_capacity;

static char *copy_text(const char *text) {
    size_t n = strlen(text) + 1;
    char *out = (char *)mem_alloc(n);
    memcpy(out, text, n);
    return out;
}

static Shape *shape_from_file(const char *name, char *owned_name) {
    VfsFile *f = vfs_open(name, "rb");
    if (!f) return nullptr;
    int count = 0;
    ShapeSphere *spheres = nullptr;
    bool ok = shape_read(f, &count, &spheres);
    vfs_close(f);
    if (!ok) return nullptr;
    Shape *shape = (Shape *)mem_calloc(1, sizeof *shape);
    shape->name = owned_name;
    shape->count = count;
    shape->spheres = spheres;
    float bound = 0;
    for (int i = 0; i < count; i++) {
        const float *c = spheres[i].centre;
        float reach = sqrtf(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) + spheres[i].radius;
        if (reach > bound) bound = reach;
    }
    shape->bound = bound;
    return shape;
}

Shape *shape_load(const char *name) {
    if (!name || !name[0]) return nullptr;
    for (int i = 0; i < s_cache_count; i++) {
        if (strcmp(s_cache[i].name, name) == 0) return s_cache[i].shape;
    }
    if (s_cache_count == s_cache_capacity) {
        s_cache_capacity = s_cache_capacity ? 2 * s_cache_capacity : 16;
        s_cache = (ShapeCacheEntry *)mem_realloc(s_cache, (size_t)s_cache_capacity * sizeof *s_cache);
    }
    ShapeCacheEntry *e = &s_cache[s_cache_count++];
    e->name = copy_text(name);
    e->shape = shape_from_file(name, e->name);
    return e->shape;
}

Shape *shape_instance(const char *name) {
    const Shape *source = shape_load(name);
    if (!source) return nullptr;
    Shape *instance = (Shape *)mem_calloc(1, sizeof *instance);
    instance->name = source->name;
    instance->count = source->count;
    instance->spheres = (ShapeSphere *)mem_alloc((size_t)source->count * sizeof(ShapeSphere));
    memcpy(instance->spheres, source->spheres, (size_t)source->count * sizeof(ShapeSphere));
    instance->bound = source->bound;
    instance->source = source;
    instance->world = (float *)mem_calloc((size_t)source->count * 3, sizeof(float));
    return instance;
}

void shape_instance_free(Shape *instance) {
    if (!instance) return;
    free(instance->spheres);
    free(instance->world);
    free(instance);
}

void shapes_free() {
    for (int i = 0; i < s_cache_count; i++) {
        if (s_cache[i].shape) {
            free(s_cache[i].shape->spheres);
            free(s_cache[i].shape);
        }
        free(s_cache[i].name);
    }
    free(s_cache);
    s_cache = nullptr;
    s_cache_count = s_cache_capacity = 0;
}

// --- sphere against the height field -------------------------------------------------

static inline double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

static inline void sub3(const double a[3], const double b[3], double out[3]) {
    out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}

// The point of the closed triangle nearest to p, by the Voronoi regions of
// its vertices, edges and face.
static void triangle_nearest(const double p[3], const double a[3], const double b[3], const double c[3],
                             double out[3]) {
    double ab[3], ac[3], ap[3], bp[3], cp[3];
    sub3(b, a, ab), sub3(c, a, ac), sub3(p, a, ap);
    double d1 = dot3(ab, ap), d2 = dot3(ac, ap);
    if (d1 <= 0 && d2 <= 0) {
        memcpy(out, a, 3 * sizeof(double));
        return;
    }
    sub3(p, b, bp);
    double d3 = dot3(ab, bp), d4 = dot3(ac, bp);
    if (d3 >= 0 && d4 <= d3) {
        memcpy(out, b, 3 * sizeof(double));
        return;
    }
    double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        double v = d1 / (d1 - d3);
        for (int k = 0; k < 3; k++) out[k] = a[k] + v * ab[k];
        return;
    }
    sub3(p, c, cp);
    double d5 = dot3(ab, cp), d6 = dot3(ac, cp);
    if (d6 >= 0 && d5 <= d6) {
        memcpy(out, c, 3 * sizeof(double));
        return;
    }
    double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        double w = d2 / (d2 - d6);
        for (int k = 0; k < 3; k++) out[k] = a[k] + w * ac[k];
        return;
    }
    double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        for (int k = 0; k < 3; k++) out[k] = b[k] + w * (c[k] - b[k]);
        return;
    }
    double denom = 1 / (va + vb + vc);
    double v = vb * denom, w = vc * denom;
    for (int k = 0; k < 3; k++) out[k] = a[k] + ab[k] * v + ac[k] * w;
}

// One triangle: depth = radius - the distance from the centre to the closed
// triangle, the point the triangle's nearest one, the normal from it to the
// centre. A centre that has sunk below the face (over its inside) counts
// its height below as extra depth and takes the face normal, so a sphere
// pressed through the ground is pushed back up and harder the deeper it
// is, never further down.
static double sphere_triangle(const double c[3], double radius, const double a[3], const double b[3],
                              const double d[3], TireContact *out) {
    double ab[3], ad[3], nf[3];
    sub3(b, a, ab), sub3(d, a, ad);
    nf[0] = ab[1] * ad[2] - ab[2] * ad[1];
    nf[1] = ab[2] * ad[0] - ab[0] * ad[2];
    nf[2] = ab[0] * ad[1] - ab[1] * ad[0];
    double nlen = sqrt(dot3(nf, nf));
    if (!(nlen > 0)) return -INFINITY;
    if (nf[1] < 0) nlen = -nlen;   // height-field faces look up
    for (double &v : nf) v /= nlen;
    double ca[3];
    sub3(c, a, ca);
    double h = dot3(ca, nf);
    if (h - radius > 0) return -INFINITY;
    double q[3];
    triangle_nearest(c, a, b, d, q);
    double cq[3];
    sub3(c, q, cq);
    double dist = sqrt(dot3(cq, cq));
    double projected[3] = {c[0] - h * nf[0], c[1] - h * nf[1], c[2] - h * nf[2]};
    double off[3];
    sub3(projected, q, off);
    bool over_face = dot3(off, off) <= 1e-18 * (1 + dot3(q, q));
    double depth, normal[3];
    if (over_face && h <= 1e-9) {
        depth = radius - h;
        memcpy(normal, nf, sizeof normal);
    } else {
        depth = radius - dist;
        if (!(depth > 0)) return depth;
        for (int k = 0; k < 3; k++) normal[k] = dist > 1e-12 ? cq[k] / dist : nf[k];
    }
    out->depth = (float)depth;
    for (int k = 0; k < 3; k++) out->point[k] = (float)q[k], out->normal[k] = (float)normal[k];
    return depth;
}

bool sphere_terrain(const float centre[3], float radius, TireContact *out) {
    const Terrain *t = &g_terrain;
    if (!t->heights || t->n < 2 || !(t->spacing > 0) || !(radius > 0)) return false;
    double c[3] = {centre[0], centre[1], centre[2]};
    double s = t->spacing;
    double fi0 = floor((c[0] - radius) / s), fi1 = ceil((c[0] + radius) / s);
    double fj0 = floor((c[2] - radius) / s), fj1 = ceil((c[2] + radius) / s);
    const double limit = 1e8;
    if (!(fi0 > -limit && fi1 < limit && fj0 > -limit && fj1 < limit)) return false;
    int i0 = (int)fi0, i1 = (int)fi1, j0 = (int)fj0, j1 = (int)fj1;
    TireContact best;
    best.depth = 0;
    bool found = false;
    for (int j = j0; j < j1; j++) {
        for (int i = i0; i < i1; i++) {
            int p = ((i ^ j) & 1) == 0 ? 1 : 0;
            double v[6][3];
            terrain_grid_point(t, i, j, v[0]);
            terrain_grid_point(t, i, j + 1, v[1]);
            terrain_grid_point(t, i + 1, j + p, v[2]);
            terrain_grid_point(t, i + 1, j + 1, v[3]);
            terrain_grid_point(t, i + 1, j, v[4]);
            terrain_grid_point(t, i, j + 1 - p, v[5]);
            for (int tri = 0; tri < 2; tri++) {
                TireContact tc = {};
                double depth = sphere_triangle(c, radius, v[3 * tri], v[3 * tri + 1], v[3 * tri + 2], &tc);
                if (depth > best.depth) best = tc, found = true;
            }
        }
    }
    if (found) *out = best;
    return found;
}

// --- sphere against sphere ---------------------------------------------------------

static void add_contact_joint(dBodyID a, dBodyID b, double mu, double kp, double kd, const double point[3],
                              const double normal[3], double depth) {
    double h = PHYSICS_STEP;
    dContact contact;
    memset(&contact, 0, sizeof contact);
    // Pyramid friction in both directions, without rolling friction.
    contact.surface.mode = dContactSoftERP | dContactSoftCFM | dContactApprox1_1 | dContactApprox1_2;
    contact.surface.mu = mu;
    contact.surface.soft_erp = h * kp / (h * kp + kd);
    contact.surface.soft_cfm = 1 / (h * kp + kd);
    for (int k = 0; k < 3; k++) contact.geom.pos[k] = point[k], contact.geom.normal[k] = normal[k];
    contact.geom.depth = depth;
    dJointID joint = dJointCreateContact(g_world, g_contact_group, &contact);
    dJointAttach(joint, a, b);
}

static void point_velocity(dBodyID body, const double p[3], double out[3]) {
    if (!body) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    dVector3 v;
    dBodyGetPointVel(body, p[0], p[1], p[2], v);
    out[0] = v[0], out[1] = v[1], out[2] = v[2];
}

bool sphere_sphere(const float ca[3], const ShapeSphere *a, dBodyID body_a, const float cb[3],
                   const ShapeSphere *b, dBodyID body_b, int mode, WheelState *contact) {
    double d[3] = {(double)ca[0] - cb[0], (double)ca[1] - cb[1], (double)ca[2] - cb[2]};
    double reach = (double)a->radius + b->radius;
    double dist2 = dot3(d, d);
    if (!(dist2 < reach * reach)) return false;
    if (!body_a && !body_b) return true;
    double dist = sqrt(dist2);
    double depth = reach - dist;
    double n[3] = {0, 1, 0};   // concentric spheres: any direction will do
    if (dist > 0) n[0] = d[0] / dist, n[1] = d[1] / dist, n[2] = d[2] / dist;
    double along = b->radius - depth / 2;
    double point[3] = {cb[0] + n[0] * along, cb[1] + n[1] * along, cb[2] + n[2] * along};

    double mu = fmin(a->mu, b->mu), kp = fmin(a->kp, b->kp), kd = fmin(a->kd, b->kd);
    double vb[3];
    point_velocity(body_b, point, vb);
    if (mode == SPHERE_JOINT) {
        // A body in contact with itself has nothing to push against.
        if (body_a != body_b && kp * PHYSICS_STEP + kd > 0) {
            add_contact_joint(body_a, body_b, mu, kp, kd, point, n, depth);
        }
    } else if (mode == SPHERE_PENALTY) {
        double va[3];
        point_velocity(body_a, point, va);
        double f = (dot3(vb, n) - dot3(va, n)) * kd + depth * kp;
        f = f < -1000 ? -1000 : f > 1000 ? 1000 : f;
        if (body_a && dBodyIsEnabled(body_a)) {
            dBodyAddForceAtPos(body_a, f * n[0], f * n[1], f * n[2], point[0], point[1], point[2]);
        }
        if (body_b && dBodyIsEnabled(body_b)) {
            dBodyAddForceAtPos(body_b, -f * n[0], -f * n[1], -f * n[2], point[0], point[1], point[2]);
        }
    }
    if (contact) {
        for (int k = 0; k < 3; k++) {
            contact->contact_pos[k] = (float)point[k];
            contact->contact_vel[k] = (float)vb[k];
            contact->contact_normal[k] = (float)n[k];
        }
        contact->contact_depth = (float)depth;
    }
    return true;
}

// --- a body's shape against the ground -------------------------------------------------

// The instance's world centres at the pose: rotation * centre + position.
void shape_place(Shape *instance, const dReal *pos, const dReal *rotation) {
    for (int i = 0; i < instance->count; i++) {
        const float *c = instance->spheres[i].centre;
        float *w = &instance->world[3 * i];
        for (int k = 0; k < 3; k++) {
            const dReal *row = &rotation[4 * k];
            w[k] = (float)(row[0] * c[0] + row[1] * c[1] + row[2] * c[2] + pos[k]);
        }
    }
}

// The highest grid point of the cells that hold any point within r of
// (x, z) horizontally: no triangle there rises above it.
static float terrain_highest_near(double x, double z, double r) {
    const Terrain *t = &g_terrain;
    double s = t->spacing;
    double fi0 = floor((x - r) / s), fi1 = ceil((x + r) / s), fj0 = floor((z - r) / s), fj1 = ceil((z + r) / s);
    int top = t->n - 1;
    int i0 = (int)fmax(0.0, fmin((double)top, fi0)), i1 = (int)fmax(0.0, fmin((double)top, fi1));
    int j0 = (int)fmax(0.0, fmin((double)top, fj0)), j1 = (int)fmax(0.0, fmin((double)top, fj1));
    float highest = -INFINITY;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) highest = fmaxf(highest, t->heights[j * t->n + i]);
    }
    return highest;
}

bool body_shape_terrain(Shape *instance, dBodyID body, const dReal *pos, const dReal *rotation) {
    if (!instance || !instance->world) return false;
    // A shape wholly above the highest ground under it touches nothing.
    if (g_terrain.heights && g_terrain.n >= 2 && g_terrain.spacing > 0 && std::isfinite(pos[0]) &&
        std::isfinite(pos[2]) && fabs(pos[0]) < 1e8 && fabs(pos[2]) < 1e8 &&
        pos[1] - instance->bound > terrain_highest_near(pos[0], pos[2], instance->bound))
        return false;
    shape_place(instance, pos, rotation);
    bool touched = false;
    for (int i = 0; i < instance->count; i++) {
        TireContact tc;
        if (!sphere_terrain(&instance->world[3 * i], instance->spheres[i].radius, &tc)) continue;
        touched = true;
        if (!body) continue;
        double point[3] = {tc.point[0], tc.point[1], tc.point[2]};
        double normal[3] = {tc.normal[0], tc.normal[1], tc.normal[2]};
        add_contact_joint(body, 0, instance->spheres[i].mu, k_ground_kp, k_ground_kd, point, normal, tc.depth);
    }
    return touched;
}
