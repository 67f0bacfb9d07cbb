// The fork and the rear shock: spring, preload, damping and the fork's air
// column turned into the force of the fork slide's motor and the torque of
// the swingarm pivot's motor, recomputed every tick.
//
// Owns: nothing; reads the bike's suspension settings and joint states.
// Never: adds forces directly to bodies (the joint motors carry them), or
// pushes at full extension (the engagement fades the force to nothing).
#include <cmath>

#include "bike/bike.h"
#include "bike/drivetrain.h"

static float suspension_clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A motor pushes over the first 1/32 of the travel with a force growing
// from nothing, so a fully extended leg never kicks the bike off the ground.
static float suspension_engagement(float e) {
    if (e < 0.0f) return 0.0f;
    return e < 1.0f ? e : 1.0f;
}

void shock_linkage(const BikeModelInfo *info, float u, float *stroke, float *slope) {
    float b = info->linkage_break;
    float p0, p1, m0, m1, t, len;
    if (u <= b) {
        t = u / b;
        p0 = 0.0f;
        p1 = info->linkage_s1;
        m0 = info->linkage_d0 * b;
        m1 = info->linkage_d1 * b;
        len = b;
    } else {
        t = (u - b) / (1.0f - b);
        p0 = info->linkage_s1;
        p1 = info->linkage_s2;
        m0 = info->linkage_d1 * (1.0f - b);
        m1 = info->linkage_d2 * (1.0f - b);
        len = 1.0f - b;
    }
    float c2 = 3.0f * (p1 - p0) - 2.0f * m0 - m1;
    float c3 = m0 + m1 + 2.0f * (p0 - p1);
    *stroke = p0 + m0 * t + c2 * t * t + c3 * t * t * t;
    *slope = (m0 + 2.0f * c2 * t + 3.0f * c3 * t * t) / len;
}

float fork_force(const BikeState *bike, float x, float v) {
    float travel = bike->info.fork_travel;
    float damping = v * (v >= 0.0f ? bike->fork_rebound : bike->fork_compression);
    float spring = (bike->fork_preload - x) * bike->fork_spring - damping;
    float pushed = suspension_clamp(-x, 0.0f, travel);
    float column = travel + bike->fork_air_gap;
    float air = 82.46169f * std::pow(column / (column - pushed), 1.4f) - 82.46169f;
    float e = -32.0f * x / travel;
    return (air + spring) * suspension_engagement(e);
}

float shock_torque(const BikeState *bike, float theta, float omega) {
    float max_angle = bike->info.swingarm_max_angle;
    float u = suspension_clamp(-theta / max_angle, 0.0f, 1.0f);
    float s, ds;
    shock_linkage(&bike->info, u, &s, &ds);
    float damping = -omega * (omega >= 0.0f ? bike->shock_rebound : bike->shock_compression);
    float torque = ds * (s + bike->shock_preload) * bike->shock_spring + ds * damping;
    float e = -32.0f * theta / max_angle;
    return torque * suspension_engagement(e);
}

void suspension_update(BikeState *bike) {
    dJointID fork = bike->joints[JOINT_FORK_SLIDE];
    if (fork) {
        float x = (float)dJointGetSliderPosition(fork);
        float v = (float)dJointGetSliderPositionRate(fork);
        float f = fork_force(bike, x, v);
        dJointSetSliderParam(fork, dParamVel, f >= 0.0f ? 100.0 : 0.0);
        dJointSetSliderParam(fork, dParamFMax, std::fabs(f));
    }
    dJointID pivot = bike->joints[JOINT_SWINGARM_PIVOT];
    if (pivot) {
        float theta = (float)dJointGetHingeAngle(pivot);
        float omega = (float)dJointGetHingeAngleRate(pivot);
        float t = shock_torque(bike, theta, omega);
        dJointSetHingeParam(pivot, dParamVel, t < 0.0f ? 0.0 : 100.0);
        dJointSetHingeParam(pivot, dParamFMax, std::fabs(t));
    }
}
