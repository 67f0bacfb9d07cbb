// The rider on the bike: the springs that hold the rider body at its place
// over the frame, and the order of the per-tick bike update.
//
// The springs are soft contact joints between rider and frame, made anew
// every tick in the contact group, so their stiffness can follow the
// rider's setup and the dab and lean inputs from tick to tick.
#include <cmath>

#include "bike/bike.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"

static void rider_contact(BikeState *bike, const dReal *pos, const dReal *axis, float error, double kp, double kd) {
    double h = PHYSICS_STEP;
    dContact c = {};
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    c.surface.soft_erp = h * kp / (h * kp + kd);
    c.surface.soft_cfm = 1.0 / (h * kp + kd);
    double sign = error >= 0 ? 1 : -1;
    for (int i = 0; i < 3; i++) {
        c.geom.pos[i] = pos[i];
        c.geom.normal[i] = axis[i] * sign;
    }
    c.geom.depth = fabsf(error);
    dJointID j = dJointCreateContact(g_world, g_contact_group, &c);
    dJointAttach(j, bike->bodies[BODY_RIDER], bike->bodies[BODY_FRAME]);
}

void rider_springs(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    dBodyID frame = bike->bodies[BODY_FRAME];
    const dReal *r = dBodyGetRotation(frame);
    const dReal y_axis[3] = {r[1], r[5], r[9]}, z_axis[3] = {r[2], r[6], r[10]};
    dVector3 anchor;
    dBodyGetRelPointPos(frame, info->rider_anchor_pos[0] - info->frame_pos[0],
                        info->rider_anchor_pos[1] - info->frame_pos[1], info->rider_anchor_pos[2] - info->frame_pos[2],
                        anchor);
    const dReal *p = dBodyGetPosition(bike->bodies[BODY_RIDER]);
    double d[3] = {anchor[0] - p[0], anchor[1] - p[1], anchor[2] - p[2]};
    float dz = (float)(d[0] * z_axis[0] + d[1] * z_axis[1] + d[2] * z_axis[2]);
    float dy = (float)(d[0] * y_axis[0] + d[1] * y_axis[1] + d[2] * y_axis[2]);
    float kr = 0.2133333f * info->rider_mass;
    const BikeControls *in = &bike->controls;

    float target = (0.5f + 0.5f * in->dab) * dy - in->lean;
    target = target < -0.75f ? -0.75f : target > 0.75f ? 0.75f : target;
    float e = dz - target;
    double kp, kd;
    if (dz >= -0.75f && dz < 0.75f) kp = kr * (600.0 * bike->rider_forward_spring + 100.0 * fabsf(e)), kd = 0;
    else kp = kd = 2500.0 * kr;
    if (kp > 0) rider_contact(bike, p, z_axis, e, kp, kd);

    float v = dy + 0.125f - 0.5f * in->dab;
    if (dy >= -0.75f && dy <= 0.5f) kp = kr * 400.0 * bike->rider_vertical_spring, kd = kr * 100.0 * bike->rider_vertical_damping;
    else kp = kd = 2500.0 * kr;
    if (kp + kd > 0) rider_contact(bike, p, y_axis, v, kp, kd);

    dJointSetHinge2Param(bike->joints[JOINT_RIDER_MOUNT], dParamSuspensionERP, 0);
    dJointSetHinge2Param(bike->joints[JOINT_RIDER_MOUNT], dParamSuspensionCFM,
                         1.0 / (kr * (30.0 * bike->rider_forward_damping + 5.0)));
}

void bike_update(BikeState *bike, int64_t tick) {
    if (!bike_is_active(bike)) return;
    rider_springs(bike);
    suspension_update(bike);
    if (bike->aid_flags & AID_AUTO_SHIFT) auto_shift_update(bike, tick);
    drivetrain_update(bike);
    brakes_update(bike);
}
