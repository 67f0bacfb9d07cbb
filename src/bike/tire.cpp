// Tyres on the ground: the torus of each tyre against the height field's
// triangles, the one soft contact joint per wheel and tick made from the
// deepest of them, rolling resistance, and the roost counts and erosion
// samples the wheels hand to the deformation code.
//
// Owns: g_roost_emit (the hook) and nothing else; the wheel records and the
// erosion queues live inside each bike.
// Never: allocates or logs (every function here runs per wheel and tick),
// or makes more than one contact joint per wheel and tick.
#include "bike/tire.h"

#include <cmath>
#include <cstring>

#include "bike/bike.h"
#include "bike/physics.h"
#include "track/terrain.h"

RoostEmitHook g_roost_emit;   // whole process; set once at start-up

// --- vectors ---------------------------------------------------------------------

static inline double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

static inline void sub3(const double a[3], const double b[3], double out[3]) {
    out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}

static inline void cross3(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

static inline void store3(float out[3], const double v[3]) {
    out[0] = (float)v[0], out[1] = (float)v[1], out[2] = (float)v[2];
}

// --- the core circle ---------------------------------------------------------------

void wheel_circle_point(const double c[3], const double a[3], double R, const double q[3], double out[3]) {
    // The nearest point lies in the direction of q's projection onto the
    // wheel plane. On the axle every point is equally near; a fixed offset
    // keeps the answer deterministic. No unit axle is parallel to both of
    // the first two offsets, so the list always ends with a usable one.
    static const double k_offsets[4][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}};
    double limit = 1e-6 * R;
    double p[3];
    sub3(q, c, p);
    double along = dot3(p, a);
    p[0] -= along * a[0], p[1] -= along * a[1], p[2] -= along * a[2];
    double len2 = dot3(p, p);
    for (int k = 0; k < 4 && len2 < limit; k++) {
        const double *o = k_offsets[k];
        along = R * dot3(o, a);
        p[0] = R * o[0] - along * a[0], p[1] = R * o[1] - along * a[1], p[2] = R * o[2] - along * a[2];
        len2 = dot3(p, p);
    }
    double scale = len2 > 0 ? R / sqrt(len2) : 0;
    out[0] = c[0] + scale * p[0], out[1] = c[1] + scale * p[1], out[2] = c[2] + scale * p[2];
}

// The squared distance from the segment point A + t D to the core circle,
// (rho - R)^2 + w^2 with w the part of (point - c) along the axle and rho
// its distance from the axle; everything kept as the coefficients of the
// quadratics in t.
struct EdgeDistance {
    double qq, qd, dd;   // |A - c|^2, (A - c).D, D.D
    double w0, wd;       // (A - c).a, D.a
    double R;
};

static inline double edge_distance2(const EdgeDistance *e, double t) {
    double g = e->qq + t * (2 * e->qd + t * e->dd);
    double w = e->w0 + t * e->wd;
    double h = g - w * w;
    double rho = (h > 0 ? sqrt(h) : 0) - e->R;
    return rho * rho + w * w;
}

// A lower bound of the squared segment-circle distance: the gap between R
// and the range of rho over the segment, and the smallest |w|, each taken
// at its own best t.
static double edge_lower_bound2(const EdgeDistance *e) {
    double h0 = e->qq - e->w0 * e->w0;
    double h1 = h0 + 2 * (e->qd - e->w0 * e->wd) + (e->dd - e->wd * e->wd);
    double curve = e->dd - e->wd * e->wd, slope = e->qd - e->w0 * e->wd;
    double t = curve > 1e-300 ? -slope / curve : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    double hmin = h0 + t * (2 * slope + t * curve);
    if (h1 < hmin) hmin = h1;
    double rho_min = hmin > 0 ? sqrt(hmin) : 0;
    double hmax = h0 > h1 ? h0 : h1;
    double rho_max = hmax > 0 ? sqrt(hmax) : 0;
    double gap = e->R < rho_min ? rho_min - e->R : e->R > rho_max ? e->R - rho_max : 0;
    double w1 = e->w0 + e->wd;
    double wmin = (e->w0 > 0) != (w1 > 0) ? 0 : fmin(fabs(e->w0), fabs(w1));
    return gap * gap + wmin * wmin;
}

// Horner's rule for p[0] + p[1] t + ... + p[degree] t^degree.
static inline double poly_value(const double *p, int degree, double t) {
    double v = p[degree];
    for (int k = degree - 1; k >= 0; k--) v = v * t + p[k];
    return v;
}

// The real roots of a polynomial of degree 1..4 in [lo, hi], ascending.
// The roots of the derivative cut the interval into pieces on which the
// polynomial is monotone; a piece whose ends differ in sign holds exactly
// one root, found by Newton steps kept inside a shrinking bracket.
static int poly_roots(const double *p, int degree, double lo, double hi, double *roots) {
    if (degree < 1) return 0;
    double knots[6];
    int count = 0;
    knots[count++] = lo;
    double slope[4];
    for (int k = 1; k <= degree; k++) slope[k - 1] = k * p[k];
    if (degree > 1) {
        count += poly_roots(slope, degree - 1, lo, hi, knots + 1);
    }
    knots[count++] = hi;
    int n = 0;
    for (int piece = 0; piece + 1 < count; piece++) {
        double a = knots[piece], b = knots[piece + 1];
        double fa = poly_value(p, degree, a), fb = poly_value(p, degree, b);
        if (fa == 0) {
            if (n == 0 || roots[n - 1] != a) roots[n++] = a;
            continue;
        }
        if (fb == 0 || (fa < 0) == (fb < 0)) continue;
        double t = 0.5 * (a + b);
        for (int step = 0; step < 60 && b - a > 1e-13; step++) {
            double ft = poly_value(p, degree, t);
            if (ft == 0) break;
            if ((ft < 0) == (fa < 0)) {
                a = t, fa = ft;
            } else {
                b = t;
            }
            double d = poly_value(slope, degree - 1, t);
            double next = d != 0 ? t - ft / d : a - 1;
            if (!(next > a && next < b)) next = 0.5 * (a + b);
            if (fabs(next - t) < 1e-15) break;
            t = next;
        }
        roots[n++] = t;
    }
    if (poly_value(p, degree, hi) == 0 && (n == 0 || roots[n - 1] != hi)) roots[n++] = hi;
    return n;
}

// The smallest squared distance over the segment. With g = |q|^2 and
// h = rho^2 (quadratics in t), d/dt of (rho - R)^2 + w^2 vanishes where
// rho g' = R h'; squared, h g'^2 - R^2 h'^2 = 0 is a quartic whose roots in
// [0, 1] hold every interior minimum (squaring only adds candidates). The
// end points (the vertices) and the point nearest the wheel plane (which
// the quartic loses when the segment runs along the axle) complete the list.
static double edge_search(const EdgeDistance *e, double *best_t) {
    double h0 = e->qq - e->w0 * e->w0, h1 = 2 * (e->qd - e->w0 * e->wd), h2 = e->dd - e->wd * e->wd;
    double g0 = 2 * e->qd, g1 = 2 * e->dd;
    double rr = e->R * e->R;
    double quartic[5] = {
        h0 * g0 * g0 - rr * h1 * h1,
        2 * h0 * g0 * g1 + h1 * g0 * g0 - 4 * rr * h1 * h2,
        h0 * g1 * g1 + 2 * h1 * g0 * g1 + h2 * g0 * g0 - 4 * rr * h2 * h2,
        h1 * g1 * g1 + 2 * h2 * g0 * g1,
        h2 * g1 * g1,
    };
    double candidates[8];
    int count = poly_roots(quartic, 4, 0, 1, candidates);
    candidates[count++] = 0;
    candidates[count++] = 1;
    double plane_t = e->wd != 0 ? -e->w0 / e->wd : 0;
    candidates[count++] = plane_t < 0 ? 0 : plane_t > 1 ? 1 : plane_t;
    double best = INFINITY;
    for (int k = 0; k < count; k++) {
        double f = edge_distance2(e, candidates[k]);
        if (f < best) best = f, *best_t = candidates[k];
    }
    return best;
}

// Whether p lies inside the closed triangle, by the side of each edge
// against the (unnormalised) face normal nf; the part of p off the plane
// does not matter.
static inline bool triangle_holds(const double *const v[3], const double nf[3], const double p[3]) {
    for (int k = 0; k < 3; k++) {
        const double *a = v[k], *b = v[k == 2 ? 0 : k + 1];
        double e[3], d[3], x[3];
        sub3(b, a, e);
        sub3(p, a, d);
        cross3(e, d, x);
        if (dot3(x, nf) < 0) return false;
    }
    return true;
}

static float torus_result(TireContact *out, double depth, const double point[3], const double normal[3]) {
    out->depth = (float)depth;
    store3(out->point, point);
    store3(out->normal, normal);
    return out->depth;
}

// The search, in the order of cost:
// 1. Bounding sphere: a triangle whose sphere (about the centroid) lies
//    farther than R + r from the centre cannot touch the tube.
// 2. Face: the circle's point lowest against the face normal (oriented
//    towards the centre) is c - R u, u the normal's unit projection onto
//    the wheel plane. If it projects inside the triangle, no circle point
//    is nearer the face and the depth is r minus its signed height. A point
//    below the face gives depths beyond r: in a height field the ring's
//    bottom is then under the ground, and a tyre pushed deeper must be
//    pushed back harder, not held at depth r. A wheel plane parallel to the
//    face takes the circle point nearest the centroid.
// 3. Piercing: when the circle crosses the plane outside that point, the
//    two crossings are tested; one inside the triangle is distance 0.
// 4. Edges and vertices: each edge whose lower bound (edge_lower_bound2)
//    neither exceeds r nor the best so far is solved by edge_search;
//    the vertices are the edges' end points. The circle point comes from
//    wheel_circle_point.
// The depth is exact whenever the tube touches the triangle. A triangle out
// of the tube's reach returns a negative depth (an upper bound of the true
// one), with the point the nearest found or the centroid and the face
// normal.
// The test with a floor: a triangle whose face bound shows it cannot go
// deeper than floor_depth returns -INFINITY at once (the contact search
// knows some triangle reaches the floor, so this one cannot win).
static float torus_triangle(const double c[3], const double a[3], double R, double r, const double v0[3],
                            const double v1[3], const double v2[3], TireContact *out, double floor_depth) {
    const double *v[3] = {v0, v1, v2};
    double m[3] = {(v0[0] + v1[0] + v2[0]) / 3, (v0[1] + v1[1] + v2[1]) / 3, (v0[2] + v1[2] + v2[2]) / 3};
    double rad2 = 0;
    for (int k = 0; k < 3; k++) {
        double d[3];
        sub3(v[k], m, d);
        double l2 = dot3(d, d);
        if (l2 > rad2) rad2 = l2;
    }
    double cm[3];
    sub3(c, m, cm);
    double centre_dist = sqrt(dot3(cm, cm));

    double e1[3], e2[3], nf[3];
    sub3(v1, v0, e1);
    sub3(v2, v0, e2);
    cross3(e1, e2, nf);
    double nf_len = sqrt(dot3(nf, nf));
    bool flat = nf_len > 0;   // a triangle with an area, hence a face
    double n[3] = {0, 1, 0};
    double hc = 0;
    if (flat) {
        n[0] = nf[0] / nf_len, n[1] = nf[1] / nf_len, n[2] = nf[2] / nf_len;
        double cv[3];
        sub3(c, v0, cv);
        hc = dot3(cv, n);
        if (hc < 0) n[0] = -n[0], n[1] = -n[1], n[2] = -n[2], hc = -hc;
    }

    double gap = centre_dist - sqrt(rad2) - R;
    if (gap > r) return torus_result(out, r - gap, m, n);

    if (flat) {
        double na = dot3(n, a);
        double u[3] = {n[0] - na * a[0], n[1] - na * a[1], n[2] - na * a[2]};
        double ulen = sqrt(dot3(u, u));
        double low[3];
        if (ulen > 1e-9) {
            u[0] /= ulen, u[1] /= ulen, u[2] /= ulen;
            low[0] = c[0] - R * u[0], low[1] = c[1] - R * u[1], low[2] = c[2] - R * u[2];
        } else {
            wheel_circle_point(c, a, R, m, low);
        }
        double lv[3];
        sub3(low, v0, lv);
        double h = dot3(lv, n);
        if (triangle_holds(v, nf, low)) {
            double p[3] = {low[0] - h * n[0], low[1] - h * n[1], low[2] - h * n[2]};
            return torus_result(out, r - h, p, n);
        }
        // No point of the circle is nearer the plane than the lowest one, so
        // the tube reaches no deeper than r - h into this triangle (r when
        // the circle crosses the plane).
        if ((h >= 0 ? r - h : r) <= floor_depth) {
            out->depth = -INFINITY;
            return out->depth;
        }
        if (h < 0 && ulen > 1e-9) {
            // Height along the circle: hc + R ulen cos(theta), theta from u
            // towards a x u.
            double w[3];
            cross3(a, u, w);
            double cs = -hc / (R * ulen);
            double sn = sqrt(fmax(0.0, 1 - cs * cs));
            for (int side = -1; side <= 1; side += 2) {
                double p[3];
                for (int k = 0; k < 3; k++) p[k] = c[k] + R * (cs * u[k] + side * sn * w[k]);
                if (triangle_holds(v, nf, p)) return torus_result(out, r, p, n);
            }
        }
    }

    double best2 = INFINITY, bound2 = INFINITY, best_t = 0;
    int best_edge = -1;
    for (int k = 0; k < 3; k++) {
        const double *pa = v[k], *pb = v[k == 2 ? 0 : k + 1];
        double qa[3], d[3];
        sub3(pa, c, qa);
        sub3(pb, pa, d);
        EdgeDistance e = {dot3(qa, qa), dot3(qa, d), dot3(d, d), dot3(qa, a), dot3(d, a), R};
        double lower2 = edge_lower_bound2(&e);
        if (lower2 > r * r) {
            if (lower2 < bound2) bound2 = lower2;
            continue;
        }
        if (lower2 >= best2) continue;
        double t = 0;
        double d2 = edge_search(&e, &t);
        if (d2 < best2) best2 = d2, best_t = t, best_edge = k;
    }
    if (best_edge < 0) return torus_result(out, r - sqrt(bound2), m, n);

    const double *pa = v[best_edge], *pb = v[best_edge == 2 ? 0 : best_edge + 1];
    double q[3], p[3], dir[3];
    for (int k = 0; k < 3; k++) q[k] = pa[k] + best_t * (pb[k] - pa[k]);
    wheel_circle_point(c, a, R, q, p);
    sub3(p, q, dir);
    double len = sqrt(dot3(dir, dir));
    double dist = sqrt(best2);
    if (bound2 < best2) dist = sqrt(bound2);   // not touching: keep the bound
    if (len > 1e-12) {
        dir[0] /= len, dir[1] /= len, dir[2] /= len;
        return torus_result(out, r - dist, q, dir);
    }
    return torus_result(out, r - dist, q, n);
}

float wheel_torus_triangle(const double c[3], const double a[3], double R, double r, const double v0[3],
                           const double v1[3], const double v2[3], TireContact *out) {
    return torus_triangle(c, a, R, r, v0, v1, v2, out, -INFINITY);
}

// --- the contact search --------------------------------------------------------------

bool wheel_find_contact(const WheelState *wheel, TireContact *out) {
    const Terrain *t = &g_terrain;
    if (!wheel->body || !t->heights || t->n < 2 || !(t->spacing > 0)) return false;
    const dReal *pos = dBodyGetPosition(wheel->body);
    dVector3 axle;
    dBodyVectorToWorld(wheel->body, wheel->axle[0], wheel->axle[1], wheel->axle[2], axle);
    double c[3] = {pos[0], pos[1], pos[2]};
    double a[3] = {axle[0], axle[1], axle[2]};
    double alen = sqrt(dot3(a, a));
    if (!(alen > 0)) return false;
    a[0] /= alen, a[1] /= alen, a[2] /= alen;
    double R = wheel->ring_radius, r = wheel->section_radius;
    double reach = R + r, s = t->spacing;

    // A body that has left the finite world (or flown absurdly far) has no
    // ground under it; the indices must stay well inside int.
    double fi0 = floor((c[0] - reach) / s), fi1 = ceil((c[0] + reach) / s);
    double fj0 = floor((c[2] - reach) / s), fj1 = ceil((c[2] + reach) / s);
    const double limit = 1e8;
    if (!(fi0 > -limit && fi1 < limit && fj0 > -limit && fj1 < limit)) return false;
    int i0 = (int)fi0, i1 = (int)fi1, j0 = (int)fj0, j1 = (int)fj1;

    // Two passes: the first finds the deepest face contact (cheap: the
    // circle's lowest point over a triangle), the second tests every
    // triangle in full but skips those whose plane keeps them from beating
    // that depth. Only a triangle that exactly ties an earlier one can be
    // passed over, and it would give the same point, normal and depth.
    enum { MAX_CELLS = 64 };
    int cells = (i1 - i0) * (j1 - j0);
    double floor_depth = -INFINITY;
    TireContact best;
    best.depth = 0;
    bool found = false;
    for (int pass = cells <= MAX_CELLS ? 0 : 1; pass < 2; pass++) {
        double pass_floor = pass == 0 ? INFINITY : floor_depth;
        for (int j = j0; j < j1; j++) {
            for (int i = i0; i < i1; i++) {
                int p = ((i ^ j) & 1) == 0 ? 1 : 0;
                double a0[3], a1[3], a2[3], b0[3], b1[3], b2[3];
                terrain_grid_point(t, i, j, a0);
                terrain_grid_point(t, i, j + 1, a1);
                terrain_grid_point(t, i + 1, j + p, a2);
                terrain_grid_point(t, i + 1, j + 1, b0);
                terrain_grid_point(t, i + 1, j, b1);
                terrain_grid_point(t, i, j + 1 - p, b2);
                TireContact tc;
                float d1 = torus_triangle(c, a, R, r, a0, a1, a2, &tc, pass_floor);
                if (pass == 0) {
                    if (d1 > floor_depth) floor_depth = d1;
                } else if (d1 > best.depth) {
                    best = tc, found = true;
                }
                float d2 = torus_triangle(c, a, R, r, b0, b1, b2, &tc, pass_floor);
                if (pass == 0) {
                    if (d2 > floor_depth) floor_depth = d2;
                } else if (d2 > best.depth) {
                    best = tc, found = true;
                }
            }
        }
    }
    if (!found) return false;

    // The ground pushes a tyre up or sideways, never down into the field.
    float *nv = best.normal;
    if (nv[1] < 0) {
        if (nv[0] * nv[0] + nv[2] * nv[2] >= 1.0f / 1024) {
            nv[1] = 0;
        } else {
            nv[0] = 0, nv[1] = 1, nv[2] = 0;
        }
    }
    float len = sqrtf(nv[0] * nv[0] + nv[1] * nv[1] + nv[2] * nv[2]);
    if (len > 0) {
        nv[0] /= len, nv[1] /= len, nv[2] /= len;
    } else {
        nv[0] = 0, nv[1] = 1, nv[2] = 0;
    }
    *out = best;
    return true;
}

// --- the contact joint -----------------------------------------------------------------

static inline double sinkage(double depth, double section_radius) {
    if (!(section_radius > 0)) return depth > 0 ? 1 : 0;
    double k = depth / section_radius;
    return k < 0 ? 0 : k > 1 ? 1 : k;
}

SoftContact wheel_soft_contact(double depth, double section_radius) {
    double k = sinkage(depth, section_radius);
    double k3 = k * k * k;
    SoftContact soft;
    soft.kp = 1000 + 24000 * k3;
    soft.kd = 200 + 2300 * k3;
    soft.cfm = 1 / (PHYSICS_STEP * soft.kp + soft.kd);
    soft.erp = PHYSICS_STEP * soft.kp * soft.cfm;
    return soft;
}

static inline void cross3f(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool wheel_friction_direction(const float normal[3], const float velocity[3], const float axle_world[3],
                              float out[3]) {
    float f[3];
    cross3f(normal, velocity, f);
    float len2 = f[0] * f[0] + f[1] * f[1] + f[2] * f[2];
    if (len2 < 1.0f / 1024) {
        cross3f(normal, axle_world, f);
        len2 = f[0] * f[0] + f[1] * f[1] + f[2] * f[2];
    }
    if (!(len2 > 0)) return false;
    float len = sqrtf(len2);
    out[0] = f[0] / len, out[1] = f[1] / len, out[2] = f[2] / len;
    return true;
}

void wheel_rolling_resistance(const float v[3], const float n[3], int tile, float k, float out[3]) {
    float vn = v[0] * n[0] + v[1] * n[1] + v[2] * n[2];
    float vt[3] = {v[0] - vn * n[0], v[1] - vn * n[1], v[2] - vn * n[2]};
    float speed = sqrtf(vt[0] * vt[0] + vt[1] * vt[1] + vt[2] * vt[2]);
    float resistance = tile_roll_resistance(tile, speed, k);
    // Below 1 ft/s the unscaled velocity fades the force out, so a wheel at
    // rest is not pushed back and forth.
    float scale = speed > 1 ? resistance / speed : resistance;
    out[0] = -scale * vt[0], out[1] = -scale * vt[1], out[2] = -scale * vt[2];
}

bool wheel_ground_contact(WheelState *wheel, float friction_factor) {
    TireContact tc;
    if (!wheel_find_contact(wheel, &tc)) {
        wheel->contact_depth = 0;
        return false;
    }
    memcpy(wheel->contact_pos, tc.point, sizeof tc.point);
    memcpy(wheel->contact_normal, tc.normal, sizeof tc.normal);
    wheel->contact_depth = tc.depth;
    dVector3 vel;
    dBodyGetPointVel(wheel->body, tc.point[0], tc.point[1], tc.point[2], vel);
    wheel->contact_vel[0] = (float)vel[0], wheel->contact_vel[1] = (float)vel[1];
    wheel->contact_vel[2] = (float)vel[2];
    const float *cv = wheel->contact_vel;

    int tile = terrain_tile_at(tc.point[0], tc.point[2]);
    float mu = tile_friction(tile, sqrtf(cv[0] * cv[0] + cv[1] * cv[1] + cv[2] * cv[2])) * friction_factor;
    SoftContact soft = wheel_soft_contact(tc.depth, wheel->section_radius);

    dVector3 axle;
    dBodyVectorToWorld(wheel->body, wheel->axle[0], wheel->axle[1], wheel->axle[2], axle);
    float axle_world[3] = {(float)axle[0], (float)axle[1], (float)axle[2]};
    float fdir[3];
    bool has_fdir = wheel_friction_direction(tc.normal, cv, axle_world, fdir);

    dContact contact;
    memset(&contact, 0, sizeof contact);
    // Pyramid friction in both directions (mu scaled by the normal force),
    // without the rolling-friction approximation.
    contact.surface.mode = dContactSoftERP | dContactSoftCFM | dContactApprox1_1 | dContactApprox1_2;
    if (has_fdir) {
        contact.surface.mode |= dContactFDir1;
        contact.fdir1[0] = fdir[0], contact.fdir1[1] = fdir[1], contact.fdir1[2] = fdir[2];
    }
    contact.surface.mu = mu;
    contact.surface.soft_erp = soft.erp;
    contact.surface.soft_cfm = soft.cfm;
    for (int k = 0; k < 3; k++) {
        contact.geom.pos[k] = tc.point[k];
        contact.geom.normal[k] = tc.normal[k];
    }
    contact.geom.depth = tc.depth;
    dJointID joint = dJointCreateContact(g_world, g_contact_group, &contact);
    dJointAttach(joint, wheel->body, 0);
    dJointSetFeedback(joint, &wheel->feedback);

    const dReal *lv = dBodyGetLinearVel(wheel->body);
    float v[3] = {(float)lv[0], (float)lv[1], (float)lv[2]};
    float force[3];
    wheel_rolling_resistance(v, tc.normal, tile, (float)sinkage(tc.depth, wheel->section_radius), force);
    dBodyAddForce(wheel->body, force[0], force[1], force[2]);
    return true;
}

float wheel_friction_factor(bool arcade, float lean) {
    if (!arcade) return 1.0f;
    float x = 4.0f * fabsf(lean) / (float)M_PI;
    return 1.0f - 0.375f * (x < 1.0f ? x : 1.0f);
}

// --- roost and erosion hand-off ---------------------------------------------------------------

int roost_emission_count(int frequency, uint32_t random) {
    if (frequency <= 0) return 0;
    return frequency / 100 + (random % 100 < (uint32_t)(frequency % 100) ? 1 : 0);
}

void wheel_queue_erosion(BikeState *bike, const WheelState *wheel) {
    if (!(wheel->contact_depth > 0) || !wheel->body) return;
    ErosionQueue *q = &bike->erosion;
    int next = (q->write + 1) % EROSION_QUEUE_SLOTS;
    if (next == q->read) return;

    int tile = terrain_tile_at(wheel->contact_pos[0], wheel->contact_pos[2]);
    const float *erosion = g_terrain.tiles[(unsigned)tile < TERRAIN_MAX_TILES ? tile : 0].erosion;
    const dReal *lv = dBodyGetLinearVel(wheel->body);
    float speed = (float)sqrt(lv[0] * lv[0] + lv[1] * lv[1] + lv[2] * lv[2]);
    float off = erosion[ERODE_OFF_SPEED], on = erosion[ERODE_ON_SPEED];
    float u;
    if (on != off) {
        u = (speed - off) / (on - off);
        u = !(u > 0) ? 0 : u > 1 ? 1 : u;
    } else {
        u = speed > off ? 1.0f : 0.0f;   // equal speeds: a step instead of a ramp
    }
    ErosionSample sample = {wheel->contact_pos[0], wheel->contact_pos[2], u * (float)wheel->feedback.f1[0],
                            u * (float)wheel->feedback.f1[2]};
    float f2 = sample.fx * sample.fx + sample.fz * sample.fz;
    float lower = erosion[ERODE_LOWER];
    if (!(f2 > lower * lower) || !(f2 > 1.0f / 1024)) return;
    q->samples[q->write] = sample;
    q->write = next;
}

bool erosion_queue_peek(const ErosionQueue *q, ErosionSample *out) {
    if (q->read == q->write) return false;
    *out = q->samples[q->read];
    return true;
}

void erosion_queue_pop(ErosionQueue *q) {
    if (q->read != q->write) q->read = (q->read + 1) % EROSION_QUEUE_SLOTS;
}
