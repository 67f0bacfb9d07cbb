// The rider's pose geometry that the simulation and the drawing share:
// where the feet go (on the pegs, put down on the ground, or the free feet
// of a crashed rider) and how far a free foot may reach from its hip.
//
// Owns: nothing; every routine reads the bike's physics state as it is.
// Never: changes a body, a joint or a field of the bike.
#include <cmath>

#include "bike/bike.h"
#include "bike/rider.h"
#include "track/terrain.h"

static float pose_clamp(float x, float lo, float hi) { return x < lo ? lo : x > hi ? hi : x; }

static void world_point(dBodyID body, const float p[3], float out[3]) {
    dVector3 w;
    dBodyGetRelPointPos(body, p[0], p[1], p[2], w);
    for (int i = 0; i < 3; i++) out[i] = (float)w[i];
}

// A foot put out from its peg point towards the ground under g by e.
static void foot_put_down(const float peg[3], const float g[3], float e, float out[3]) {
    float ground[3] = {g[0], terrain_height(g[0], g[2]) + 0.125f, g[2]};
    for (int i = 0; i < 3; i++) out[i] = peg[i] + (ground[i] - peg[i]) * e;
}

void rider_foot_points(const BikeState *bike, float left[3], float *left_weight, float right[3],
                       float *right_weight) {
    const RiderPosePoints *pose = &bike->info.pose;
    dBodyID frame = bike->bodies[BODY_FRAME], rider = bike->bodies[BODY_RIDER];
    int c = bike->crash_countdown;
    float e = bike->dab_extension;

    // A crashed rider's pegs move out, up and back, where the feet come
    // from when he climbs back on.
    float lp[3] = {pose->left_peg[0], pose->left_peg[1], pose->left_peg[2]};
    float rp[3] = {pose->right_peg[0], pose->right_peg[1], pose->right_peg[2]};
    if (c > 0) {
        float t = (float)(c < 128 ? c : 128) / 128.0f;
        float o = 0.5f * pose_clamp(2 * t - 1, 0, 1), r = 1.75f * pose_clamp(2 * t, 0, 1);
        float k = pose_clamp(1.3333334f * t, 0, 1);
        lp[0] -= o, lp[1] += r, lp[2] += k;
        rp[0] += o, rp[1] += r, rp[2] += k;
    }
    float pl[3], pr[3];
    world_point(frame, lp, pl);
    world_point(frame, rp, pr);
    for (int i = 0; i < 3; i++) left[i] = pl[i], right[i] = pr[i];
    *left_weight = *right_weight = 0;

    if (e != 0 && c < 128) {
        float phi = bike_lean_angle(bike);
        dVector3 fwd;
        dBodyVectorToWorld(frame, 0, 0, -1, fwd);
        const dReal *v = dBodyGetLinearVel(frame);
        float s = pose_clamp((float)(v[0] * fwd[0] + v[1] * fwd[1] + v[2] * fwd[2]) / 15, 0, 1);
        float kappa = pose_clamp(fabsf(phi) * 4 / (float)M_PI, 0, 1);
        float reach = (1.25f * s - 0.25f) * kappa * 2.5f;
        float hl[3], hr[3], dh[3], g[3];
        world_point(rider, pose->left_hip, hl);
        world_point(rider, pose->right_hip, hr);
        for (int i = 0; i < 3; i++) dh[i] = hr[i] - hl[i];
        if (phi > -0.1f) {
            for (int i = 0; i < 3; i++) g[i] = hl[i] + dh[i] * (kappa / 2 - 0.5f) + (float)fwd[i] * reach;
            foot_put_down(pl, g, e, left);
            *left_weight = e;
        }
        if (phi < 0.1f) {
            for (int i = 0; i < 3; i++) g[i] = hr[i] + dh[i] * (0.5f - kappa / 2) + (float)fwd[i] * reach;
            foot_put_down(pr, g, e, right);
            *right_weight = e;
        }
    }

    // Above 128 ticks of countdown the feet are the simulated ones; over
    // the last 64 they return to the pegs.
    if (c > 0) {
        float g = pose_clamp((float)(2 * c - 128), 1, 128) / 128.0f;
        for (int i = 0; i < 3; i++) {
            left[i] += (bike->left_foot[i] - left[i]) * g;
            right[i] += (bike->right_foot[i] - right[i]) * g;
        }
        *left_weight = *right_weight = 1;
    }
}

void rider_leg_limits(const BikeState *bike, float p[3], float v[3], const float hip[3]) {
    const RiderPosePoints *pose = &bike->info.pose;
    dBodyID rider = bike->bodies[BODY_RIDER];
    float leg = pose->thigh + pose->shin;

    double d[3] = {p[0] - hip[0], p[1] - hip[1], p[2] - hip[2]};
    double len = sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (len >= leg && len > 0) {
        double u[3] = {d[0] / len, d[1] / len, d[2] / len};
        dVector3 vh;
        dBodyGetPointVel(rider, hip[0], hip[1], hip[2], vh);
        double vu = v[0] * u[0] + v[1] * u[1] + v[2] * u[2];
        double hu = vh[0] * u[0] + vh[1] * u[1] + vh[2] * u[2];
        for (int i = 0; i < 3; i++) {
            p[i] = (float)(hip[i] + u[i] * leg);
            v[i] = (float)(v[i] - vu * u[i] + hu * u[i]);
        }
    }

    // A free foot stays at least 1 ft below the hips along the body's axis.
    dVector3 n, q;
    dBodyVectorToWorld(rider, 0, -1, 0, n);
    dBodyGetRelPointPos(rider, pose->left_hip[0], pose->left_hip[1], pose->left_hip[2], q);
    for (int i = 0; i < 3; i++) q[i] += n[i];
    double below = (p[0] - q[0]) * n[0] + (p[1] - q[1]) * n[1] + (p[2] - q[2]) * n[2];
    if (below < 0) {
        for (int i = 0; i < 3; i++) p[i] = (float)(p[i] - below * n[i]);
        dVector3 vp;
        dBodyGetPointVel(rider, p[0], p[1], p[2], vp);
        double vn = v[0] * n[0] + v[1] * n[1] + v[2] * n[2];
        double pn = vp[0] * n[0] + vp[1] * n[1] + vp[2] * n[2];
        for (int i = 0; i < 3; i++) v[i] = (float)(v[i] - vn * n[i] + pn * n[i]);
    }
}
