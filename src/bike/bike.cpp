#include "bike/bike.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "core/memory.h"
#include "files/model.h"
#include "render/gl_ext.h"
#include "render/text.h"
#include "track/terrain.h"


static BikeOptions s_options;   // headless until the game says otherwise

static const int k_list_capacity[BIKE_LISTS] = {4, 20, 20, 20};

// The shape file of each body, in body order.
static const int k_shape_file[BIKE_BODIES] = {
    BIKE_FILE_FRAME_SHAPE,      BIKE_FILE_FRONT_WHEEL_SHAPE, BIKE_FILE_REAR_WHEEL_SHAPE, BIKE_FILE_FORK_UPPER_SHAPE,
    BIKE_FILE_FORK_LOWER_SHAPE, BIKE_FILE_SWINGARM_SHAPE,    BIKE_FILE_RIDER_SHAPE,
};

enum {
    PLACE_MAX_RAISES = 400,     // 100 ft of raising: give up above that
};
static const float k_place_step = 0.25f;
static const float k_place_max_sink = 0.25f;   // a tyre deeper than this at placement is in the ground

void bike_set_options(const BikeOptions *options) { s_options = *options; }

// --- resources ------------------------------------------------------------------

// The companions' base: the default texture's name without its extension,
// plus the "-variant" part of the used texture's name when it has one
// (the text from the first hyphen after the last slash up to the second).
static void companion_base(const char *default_name, const char *used, char *out, size_t size) {
    snprintf(out, size, "%s", default_name);
    char *dot = strrchr(out, '.');
    char *slash = strrchr(out, '/');
    if (dot && (!slash || dot > slash)) *dot = 0;
    const char *tail = strrchr(used, '/');
    tail = tail ? tail + 1 : used;
    const char *h1 = strchr(tail, '-');
    const char *h2 = h1 ? strchr(h1 + 1, '-') : nullptr;
    if (h1 && h2) {
        size_t length = strlen(out);
        snprintf(out + length, size - length, "%.*s", (int)(h2 - h1), h1);
    }
}

struct TextureGroup {
    int set;                 // BikeTextureSet
    int file;                // BikeFile of the default texture
    int models[6];           // BikeModelPart, -1 ends
};

static const int k_model_file[BIKE_MODELS] = {
    BIKE_FILE_FRAME_MODEL,      BIKE_FILE_SIDE_PLATES_MODEL,  BIKE_FILE_FORK_UPPER_MODEL,
    BIKE_FILE_FRONT_PLATE_MODEL, BIKE_FILE_FORK_LOWER_MODEL,  BIKE_FILE_SWINGARM_MODEL,
    BIKE_FILE_FRONT_WHEEL_MODEL, BIKE_FILE_REAR_WHEEL_MODEL,  BIKE_FILE_RIDER_BODY_MODEL,
    BIKE_FILE_RIDER_BODY_FP_MODEL, BIKE_FILE_RIDER_PLATE_MODEL, BIKE_FILE_RIDER_HEAD_MODEL,
};

static const TextureGroup k_groups[BIKE_TEXTURE_SETS] = {
    {BIKE_TEXTURES_BIKE, BIKE_FILE_BIKE_TEXTURE,
     {BIKE_MODEL_FRAME, BIKE_MODEL_SIDE_PLATES, BIKE_MODEL_FORK_UPPER, BIKE_MODEL_FRONT_PLATE, BIKE_MODEL_FORK_LOWER,
      BIKE_MODEL_SWINGARM}},
    {BIKE_TEXTURES_WHEELS, BIKE_FILE_WHEEL_TEXTURE, {BIKE_MODEL_FRONT_WHEEL, BIKE_MODEL_REAR_WHEEL, -1}},
    {BIKE_TEXTURES_RIDER_BODY, BIKE_FILE_RIDER_BODY_TEXTURE,
     {BIKE_MODEL_RIDER_BODY, BIKE_MODEL_RIDER_BODY_FP, BIKE_MODEL_RIDER_PLATE, -1}},
    {BIKE_TEXTURES_RIDER_HEAD, BIKE_FILE_RIDER_HEAD_TEXTURE, {BIKE_MODEL_RIDER_HEAD, -1}},
};

// Loads one texture group; a given texture that fails, or a model of the
// group that fails, makes the group load again with the default texture.
static void load_group(BikeState *bike, const TextureGroup *g, const char *given) {
    const char *fallback = bike->info.files[g->file];
    const char *name = given ? given : fallback;
    for (int attempt = 0; attempt < 2; attempt++) {
        bool ok = true;
        bike->textures[g->set] = texture_load(name);
        if (!bike->textures[g->set]) ok = false;
        for (int i = 0; i < 6 && g->models[i] >= 0; i++) {
            Model *m = model_load(bike->info.files[k_model_file[g->models[i]]]);
            bike->models[g->models[i]] = m;
            if (!m) ok = false;
        }
        if (ok || name == fallback || strcmp(name, fallback) == 0) break;
        name = fallback;
    }
    char base[512], file[600];
    companion_base(fallback, name, base, sizeof base);
    snprintf(file, sizeof file, "%s_norm.png", base);
    bike->normal_maps[g->set] = texture_load(file);
    snprintf(file, sizeof file, "%s_spec.png", base);
    bike->specular_maps[g->set] = texture_load(file);
}

static void read_plate_colour(const char *info, const char *key, uint8_t out[3]) {
    const char *p = info ? strstr(info, key) : nullptr;
    if (!p) return;
    float c[3];
    if (sscanf(p + strlen(key), "%f,%f,%f", &c[0], &c[1], &c[2]) != 3) return;
    for (int i = 0; i < 3; i++) {
        float v = c[i] != c[i] ? 0.0f : fminf(1.0f, fmaxf(0.0f, c[i]));
        out[i] = (uint8_t)(v * 255.0f);
    }
}

static void load_resources(BikeState *bike, const char *rider_texture, const char *head_texture,
                           const char *bike_texture, const char *wheel_texture) {
    const char *given[BIKE_TEXTURE_SETS] = {bike_texture, wheel_texture, rider_texture, head_texture};
    for (int i = 0; i < BIKE_TEXTURE_SETS; i++) load_group(bike, &k_groups[i], given[i]);
    const char *info = texture_info(bike->textures[BIKE_TEXTURES_BIKE]);
    read_plate_colour(info, "[numberbackground:", bike->plate_background);
    read_plate_colour(info, "[numberforeground:", bike->plate_digits);
    float digits[3], background[3];
    for (int i = 0; i < 3; i++) digits[i] = bike->plate_digits[i] / 255.0f, background[i] = bike->plate_background[i] / 255.0f;
    bike->plate_texture = number_plate_texture(BIKE_PLATE_SIZE, BIKE_PLATE_SIZE, bike->plate_text, digits, background);
}

// --- bodies and joints ------------------------------------------------------------

static void set_body_at(dBodyID body, const float pos[3]) {
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, 0);
    dBodySetRotation(body, r);
    dBodySetPosition(body, pos[0], pos[1], pos[2]);
    dBodySetLinearVel(body, 0, 0, 0);
    dBodySetAngularVel(body, 0, 0, 0);
    dBodySetForce(body, 0, 0, 0);
    dBodySetTorque(body, 0, 0, 0);
}

// A sum of masses placed symmetrically can keep a centre a rounding error
// away from the origin; the physics library insists on exactly zero.
static void mass_centre(dMass *m) {
    if (m->c[0] != 0 || m->c[1] != 0 || m->c[2] != 0) dMassTranslate(m, -m->c[0], -m->c[1], -m->c[2]);
    m->c[0] = m->c[1] = m->c[2] = 0;
}

static void wheel_mass(dMass *m, float ring, float section, float tire_mass, float hub_radius, float hub_mass) {
    dMassSetSphereTotal(m, hub_mass, hub_radius);
    dMatrix3 step;
    dRFromAxisAndAngle(step, 1, 0, 0, M_PI / 8);
    dVector3 p = {0, ring, 0, 0};
    for (int k = 0; k < 16; k++) {
        dMass s;
        dMassSetSphereTotal(&s, tire_mass / 16, section);
        dMassTranslate(&s, p[0], p[1], p[2]);
        dMassAdd(m, &s);
        dVector3 q;
        dMultiply0_331(q, step, p);
        p[0] = q[0], p[1] = q[1], p[2] = q[2];
    }
    mass_centre(m);
}

static void fork_mass(dMass *m, const BikeModelInfo *info) {
    float spacing = info->fork_leg_spacing;
    dMassSetZero(m);
    for (int side = -1; side <= 1; side += 2) {
        dMass leg;
        dMassSetCylinderTotal(&leg, info->fork_mass / 2, 2, spacing / 8, info->fork_length * 2 / 3);
        dMassTranslate(&leg, side * spacing / 2, 0, 0);
        dMassAdd(m, &leg);
    }
    double dy = info->fork_lower_pos[1] - info->fork_upper_pos[1];
    double dz = info->fork_lower_pos[2] - info->fork_upper_pos[2];
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, atan(dz / dy));
    dMassRotate(m, r);
    mass_centre(m);
}

static void swingarm_mass(dMass *m, const BikeModelInfo *info) {
    float w = info->frame_size[0];
    double dx = info->rear_wheel_pos[0] - info->swingarm_pivot[0];
    double dy = info->rear_wheel_pos[1] - info->swingarm_pivot[1];
    double dz = info->rear_wheel_pos[2] - info->swingarm_pivot[2];
    double length = sqrt(dx * dx + dy * dy + dz * dz);
    dMassSetZero(m);
    for (int side = -1; side <= 1; side += 2) {
        dMass half;
        dMassSetBoxTotal(&half, info->swingarm_half_mass, w / 4, w / 4, length);
        dMassTranslate(&half, side * w / 2, 0, 0);
        dMassAdd(m, &half);
    }
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, -atan(dy / dz));
    dMassRotate(m, r);
    mass_centre(m);
}

static void set_masses(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    dMass m;
    dMassSetBoxTotal(&m, info->frame_mass + info->rider_mass * 2 / 3, info->frame_size[0], info->frame_size[1],
                     info->frame_size[2]);
    dBodySetMass(bike->bodies[BODY_FRAME], &m);
    dMassSetSphereTotal(&m, info->rider_mass / 3, 1.0);
    dBodySetMass(bike->bodies[BODY_RIDER], &m);
    wheel_mass(&m, info->front_tire_ring_radius, info->front_tire_section_radius, info->front_tire_mass,
               info->front_hub_radius, info->front_hub_mass);
    dBodySetMass(bike->bodies[BODY_FRONT_WHEEL], &m);
    wheel_mass(&m, info->rear_tire_ring_radius, info->rear_tire_section_radius, info->rear_tire_mass,
               info->rear_hub_radius, info->rear_hub_mass);
    dBodySetMass(bike->bodies[BODY_REAR_WHEEL], &m);
    fork_mass(&m, info);
    dBodySetMass(bike->bodies[BODY_FORK_UPPER], &m);
    dBodySetMass(bike->bodies[BODY_FORK_LOWER], &m);
    swingarm_mass(&m, info);
    dBodySetMass(bike->bodies[BODY_SWINGARM], &m);
}

static const float *initial_position(const BikeState *bike, int body) {
    const BikeModelInfo *info = &bike->info;
    switch (body) {
    case BODY_FRAME: return info->frame_pos;
    case BODY_FRONT_WHEEL: return info->front_wheel_pos;
    case BODY_REAR_WHEEL: return info->rear_wheel_pos;
    case BODY_FORK_UPPER: return info->fork_upper_pos;
    case BODY_FORK_LOWER: return info->fork_lower_pos;
    case BODY_SWINGARM: return info->swingarm_pos;
    default: return info->rider_anchor_pos;
    }
}

static void make_joints(BikeState *bike) {
    const BikeModelInfo *info = &bike->info;
    dBodyID *b = bike->bodies;
    dJointID *j = bike->joints;
    float fork_axis[3];
    for (int i = 0; i < 3; i++) fork_axis[i] = info->fork_upper_pos[i] - info->fork_lower_pos[i];

    j[JOINT_FRONT_AXLE] = dJointCreateHinge(g_world, 0);
    dJointAttach(j[JOINT_FRONT_AXLE], b[BODY_FORK_LOWER], b[BODY_FRONT_WHEEL]);
    dJointSetHingeAnchor(j[JOINT_FRONT_AXLE], info->front_wheel_pos[0], info->front_wheel_pos[1],
                         info->front_wheel_pos[2]);
    dJointSetHingeAxis(j[JOINT_FRONT_AXLE], 1, 0, 0);

    j[JOINT_REAR_AXLE] = dJointCreateHinge(g_world, 0);
    dJointAttach(j[JOINT_REAR_AXLE], b[BODY_SWINGARM], b[BODY_REAR_WHEEL]);
    dJointSetHingeAnchor(j[JOINT_REAR_AXLE], info->rear_wheel_pos[0], info->rear_wheel_pos[1], info->rear_wheel_pos[2]);
    dJointSetHingeAxis(j[JOINT_REAR_AXLE], 1, 0, 0);

    j[JOINT_STEERING] = dJointCreateHinge(g_world, 0);
    dJointAttach(j[JOINT_STEERING], b[BODY_FORK_UPPER], b[BODY_FRAME]);
    dJointSetHingeAnchor(j[JOINT_STEERING], info->fork_upper_pos[0], info->fork_upper_pos[1], info->fork_upper_pos[2]);
    dJointSetHingeAxis(j[JOINT_STEERING], fork_axis[0], fork_axis[1], fork_axis[2]);
    dJointSetHingeParam(j[JOINT_STEERING], dParamLoStop, -M_PI / 4);
    dJointSetHingeParam(j[JOINT_STEERING], dParamHiStop, M_PI / 4);

    j[JOINT_FORK_SLIDE] = dJointCreateSlider(g_world, 0);
    dJointAttach(j[JOINT_FORK_SLIDE], b[BODY_FORK_UPPER], b[BODY_FORK_LOWER]);
    dJointSetSliderAxis(j[JOINT_FORK_SLIDE], fork_axis[0], fork_axis[1], fork_axis[2]);
    dJointSetSliderParam(j[JOINT_FORK_SLIDE], dParamBounce, 0);
    dJointSetSliderParam(j[JOINT_FORK_SLIDE], dParamLoStop, -info->fork_travel);
    dJointSetSliderParam(j[JOINT_FORK_SLIDE], dParamHiStop, 0);

    j[JOINT_SWINGARM_PIVOT] = dJointCreateHinge(g_world, 0);
    dJointAttach(j[JOINT_SWINGARM_PIVOT], b[BODY_SWINGARM], b[BODY_FRAME]);
    dJointSetHingeAnchor(j[JOINT_SWINGARM_PIVOT], info->swingarm_pivot[0], info->swingarm_pivot[1],
                         info->swingarm_pivot[2]);
    dJointSetHingeAxis(j[JOINT_SWINGARM_PIVOT], 1, 0, 0);
    dJointSetHingeParam(j[JOINT_SWINGARM_PIVOT], dParamBounce, 0);
    dJointSetHingeParam(j[JOINT_SWINGARM_PIVOT], dParamLoStop, -info->swingarm_max_angle);
    dJointSetHingeParam(j[JOINT_SWINGARM_PIVOT], dParamHiStop, 0);

    j[JOINT_RIDER_MOUNT] = dJointCreateHinge2(g_world, 0);
    dJointAttach(j[JOINT_RIDER_MOUNT], b[BODY_RIDER], b[BODY_FRAME]);
    dJointSetHinge2Anchor(j[JOINT_RIDER_MOUNT], 0, info->rider_anchor_pos[1], -50);
    const dReal axis1[3] = {0, 1, 1}, axis2[3] = {1, 0, 0};
    dJointSetHinge2Axes(j[JOINT_RIDER_MOUNT], axis1, axis2);
    dJointSetHinge2Param(j[JOINT_RIDER_MOUNT], dParamLoStop, 0);
    dJointSetHinge2Param(j[JOINT_RIDER_MOUNT], dParamHiStop, 0);

    for (int i = 0; i < BIKE_JOINTS; i++) dJointSetFeedback(j[i], &bike->feedback[i]);
}

static void init_wheel(WheelState *w, dBodyID body, float ring, float section) {
    memset(w, 0, sizeof *w);
    w->body = body;
    w->axle[0] = 1;
    w->ring_radius = ring;
    w->section_radius = section;
}

// --- creation and reset -----------------------------------------------------------

BikeState *bike_create(const char *model, int slot, const char *plate_text, const char *rider_texture,
                       const char *head_texture, const char *bike_texture, const char *wheel_texture) {
    const BikeModelInfo *info = bike_info_choose(model ? model : "");
    if (!info || !physics_ready()) return nullptr;
    BikeState *bike = (BikeState *)mem_calloc(1, sizeof *bike);
    bike->info = *info;
    snprintf(bike->plate_text, sizeof bike->plate_text, "%s", plate_text ? plate_text : "");
    memset(bike->plate_background, 255, 3);
    if (s_options.graphics) load_resources(bike, rider_texture, head_texture, bike_texture, wheel_texture);

    for (int i = 0; i < BIKE_BODIES; i++) bike->shapes[i] = shape_instance(info->files[k_shape_file[i]]);
    for (int i = 0; i < BIKE_BODIES; i++) {
        bike->bodies[i] = dBodyCreate(g_world);
        dBodySetData(bike->bodies[i], bike);
    }
    dBodySetFiniteRotationMode(bike->bodies[BODY_FRONT_WHEEL], 1);
    dBodySetFiniteRotationMode(bike->bodies[BODY_REAR_WHEEL], 1);
    for (int i = 0; i < BIKE_BODIES; i++) set_body_at(bike->bodies[i], initial_position(bike, i));
    set_masses(bike);
    make_joints(bike);
    init_wheel(&bike->wheels[0], bike->bodies[BODY_FRONT_WHEEL], info->front_tire_ring_radius,
               info->front_tire_section_radius);
    init_wheel(&bike->wheels[1], bike->bodies[BODY_REAR_WHEEL], info->rear_tire_ring_radius,
               info->rear_tire_section_radius);

    for (int i = 0; i < BIKE_LISTS; i++) {
        bike->lists[i].capacity = k_list_capacity[i];
        bike->lists[i].entries = (unsigned char *)mem_calloc(k_list_capacity[i], BIKE_LIST_ENTRY_BYTES);
    }
    bike->rider_mass_distribution = 1.0f / 3.0f;
    bike_setup_defaults(bike);

    double total = 0;
    for (int i = 0; i < BIKE_BODIES; i++) {
        dMass m;
        dBodyGetMass(bike->bodies[i], &m);
        total += m.mass;
    }
    bike->total_mass = (float)total;
    bike_reset_pose(bike);
    bike->slot = slot;
    return bike;
}

void bike_free(BikeState *bike) {
    if (!bike) return;
    for (int i = 0; i < BIKE_JOINTS; i++) {
        if (bike->joints[i]) dJointDestroy(bike->joints[i]);
    }
    for (int i = 0; i < BIKE_BODIES; i++) {
        if (bike->bodies[i]) dBodyDestroy(bike->bodies[i]);
    }
    for (int i = 0; i < BIKE_LISTS; i++) free(bike->lists[i].entries);
    for (Shape *shape : bike->shapes) shape_instance_free(shape);
    if (bike->plate_texture) {
        GLuint id = bike->plate_texture;
        glDeleteTextures(1, &id);
    }
    free(bike);
}

void bike_reset_pose(BikeState *bike) {
    static const int order[] = {BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM, BODY_FRAME, BODY_FRONT_WHEEL,
                                BODY_REAR_WHEEL};
    for (int body : order) set_body_at(bike->bodies[body], initial_position(bike, body));
    bike->gear = 0;
    memset(&bike->controls, 0, sizeof bike->controls);
    bike->engine_angle = 0;
    bike->engine_speed = 0;
    bike->crash_countdown = 0;
    bike->crash_count = 0;
    bike->dab_extension = 0;
    bike->lock_proximity = 0;
    bike->landing_damping = 1.0f;
    bike->collision_timer = 0;
    bike->touched = false;
    bike->realign_latch = false;
    bike->last_collision_tick = -1;
    bike->first_collision_tick = -1;
    memset(bike->left_foot, 0, sizeof bike->left_foot);
    memset(bike->left_foot_vel, 0, sizeof bike->left_foot_vel);
    memset(bike->right_foot, 0, sizeof bike->right_foot);
    memset(bike->right_foot_vel, 0, sizeof bike->right_foot_vel);
    memset(bike->crash_velocity, 0, sizeof bike->crash_velocity);
    bike->fall_flags = 0;
    memset(bike->rider_velocity, 0, sizeof bike->rider_velocity);
    for (WheelState &w : bike->wheels) {
        memset(w.contact_pos, 0, sizeof w.contact_pos);
        memset(w.contact_vel, 0, sizeof w.contact_vel);
        memset(w.contact_normal, 0, sizeof w.contact_normal);
        w.contact_depth = 0;
        memset(&w.feedback, 0, sizeof w.feedback);
    }
    bike->erosion.read = bike->erosion.write = 0;
    memset(bike->feedback, 0, sizeof bike->feedback);
    bike->activity = 1.0f;

    // The rider goes to its place on the frame as the frame now stands.
    const BikeModelInfo *info = &bike->info;
    dBodyID frame = bike->bodies[BODY_FRAME];
    dVector3 rider;
    dBodyGetRelPointPos(frame, info->rider_anchor_pos[0] - info->frame_pos[0],
                        info->rider_anchor_pos[1] - info->frame_pos[1], info->rider_anchor_pos[2] - info->frame_pos[2],
                        rider);
    dBodyID body = bike->bodies[BODY_RIDER];
    dBodySetPosition(body, rider[0], rider[1], rider[2]);
    dBodySetRotation(body, dBodyGetRotation(frame));
    dBodySetLinearVel(body, 0, 0, 0);
    dBodySetAngularVel(body, 0, 0, 0);
    dBodySetForce(body, 0, 0, 0);
    dBodySetTorque(body, 0, 0, 0);
    dJointAttach(bike->joints[JOINT_RIDER_MOUNT], body, frame);
}

void bike_rotate(BikeState *bike, float ax, float ay, float az, float angle) {
    dMatrix3 r;
    dRFromAxisAndAngle(r, ax, ay, az, angle);
    for (dBodyID body : bike->bodies) {
        const dReal *p = dBodyGetPosition(body);
        dVector3 q;
        dMultiply0_331(q, r, p);
        dBodySetRotation(body, r);
        dBodySetPosition(body, q[0], q[1], q[2]);
    }
}

void bike_translate(BikeState *bike, float dx, float dy, float dz) {
    for (dBodyID body : bike->bodies) {
        const dReal *p = dBodyGetPosition(body);
        dBodySetPosition(body, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}

float bike_heading(float dx, float dz) { return atan2f(-dx, -dz); }

// The built-in part of the placement test: a tyre sunk well into the ground.
static bool tyres_in_ground(BikeState *bike) {
    for (const WheelState &w : bike->wheels) {
        TireContact c;
        if (wheel_find_contact(&w, &c) && c.depth > k_place_max_sink) return true;
    }
    return false;
}

void bike_place(BikeState *bike, float x, float z, float heading) {
    float y = g_terrain.heights ? terrain_height(x, z) : 0.0f;
    for (int raises = 0;; raises++) {
        bike_reset_pose(bike);
        bike_rotate(bike, 0, 1, 0, heading);
        bike_translate(bike, x, y, z);
        if (raises >= PLACE_MAX_RAISES) break;
        bool touching = (g_terrain.heights && tyres_in_ground(bike)) || bike_touches_static(bike);
        if (!touching) break;
        y += k_place_step;
    }
    bike->place_pos[0] = x, bike->place_pos[1] = y, bike->place_pos[2] = z;
    bike->place_heading = heading;
    bike_enable(bike);
}

// --- activity ----------------------------------------------------------------------

static void zero_forces(BikeState *bike) {
    for (dBodyID body : bike->bodies) {
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
}

static void set_bodies_enabled(BikeState *bike, bool on) {
    for (dBodyID body : bike->bodies) {
        if (on) dBodyEnable(body);
        else dBodyDisable(body);
    }
}

void bike_enable(BikeState *bike) {
    if (bike->activity <= 0.25f) zero_forces(bike);
    bike->activity = 1.0f;
    set_bodies_enabled(bike, true);
}

void bike_disable(BikeState *bike) {
    if (bike->activity <= 0.25f) zero_forces(bike);
    bike->activity = 0.0f;
    set_bodies_enabled(bike, false);
}

void bike_toggle_active(BikeState *bike) {
    if (bike->activity > 0.25f) return;
    zero_forces(bike);
    if (bike->activity != 0.0f) {
        bike->activity = 0.25f;
        set_bodies_enabled(bike, false);
    } else {
        bike->activity = 1.0f;
        set_bodies_enabled(bike, true);
    }
}

void bike_decay_activity(BikeState *bike) {
    if (!(bike->activity > 0.0f)) return;
    if (bike->activity <= 0.25f) zero_forces(bike);
    float a = bike->activity - (float)PHYSICS_STEP;
    bike->activity = a < 0 ? 0 : a > 1 ? 1 : a;
    set_bodies_enabled(bike, bike->activity > 0.25f);
}

bool bike_is_active(const BikeState *bike) { return bike->activity > 0.25f; }

// --- controls ------------------------------------------------------------------------

static float clamp_input(float v, float lo, float hi) {
    if (v != v) return 0.0f;
    return v < lo ? lo : v > hi ? hi : v;
}

void bike_set_steer(BikeState *bike, float value) { bike->controls.steer = clamp_input(value, -1, 1); }
void bike_set_front_brake(BikeState *bike, float value) { bike->controls.front_brake = clamp_input(value, 0, 1); }
void bike_set_rear_brake(BikeState *bike, float value) { bike->controls.rear_brake = clamp_input(value, 0, 1); }
void bike_set_clutch(BikeState *bike, float value) { bike->controls.clutch = clamp_input(value, 0, 1); }

void bike_set_throttle(BikeState *bike, float value) {
    bike->controls.throttle = bike_is_crashed(bike) ? 0.0f : clamp_input(value, 0, 1);
}
void bike_set_dab(BikeState *bike, float value) {
    bike->controls.dab = bike_is_crashed(bike) ? 0.0f : clamp_input(value, 0, 1);
}
void bike_set_back_up(BikeState *bike, float value) {
    bike->controls.back_up = bike_is_crashed(bike) ? 0.0f : clamp_input(value, 0, 1);
}
void bike_set_lean(BikeState *bike, float value) {
    bike->controls.lean = bike_is_crashed(bike) ? 0.0f : clamp_input(value, -1, 1);
}

int bike_gear_step(const BikeModelInfo *info, int gear, int step) {
    int g = gear + step;
    g = g < 0 ? 0 : g > BIKE_GEARS - 1 ? BIKE_GEARS - 1 : g;
    while (g > 0 && !(info->gear_ratio[g] > 0)) g--;
    return g;
}

void bike_shift(BikeState *bike, int request) {
    if (bike_is_crashed(bike)) return;
    request = request < 0 ? -1 : request > 0 ? 1 : 0;
    if (request == bike->controls.shift_request) return;
    bike->controls.shift_request = request;
    if (request != 0) bike->gear = bike_gear_step(&bike->info, bike->gear, request);
}

// --- accessors -------------------------------------------------------------------------

bool bike_is_crashed(const BikeState *bike) { return bike->crash_countdown > 0; }
dBodyID bike_frame_body(const BikeState *bike) { return bike->bodies[BODY_FRAME]; }
const char *bike_name(const BikeState *bike) { return bike->info.name; }
const char *bike_engine_class(const BikeState *bike) { return bike->info.engine_class; }
const char *bike_plate_text(const BikeState *bike) { return bike->plate_text; }
float bike_engine_rpm(const BikeState *bike) { return bike->engine_speed * 60.0f / (2.0f * (float)M_PI); }
float bike_throttle(const BikeState *bike) { return bike->controls.throttle; }
int bike_gear(const BikeState *bike) { return bike->gear; }

float bike_lean_angle(const BikeState *bike) {
    dBodyID frame = bike->bodies[BODY_FRAME];
    dVector3 up, fwd;
    dBodyVectorToWorld(frame, 0, 1, 0, up);
    dBodyVectorToWorld(frame, 0, 0, -1, fwd);
    double h = sqrt(fwd[0] * fwd[0] + fwd[2] * fwd[2]);
    double fx = h > 0 ? fwd[0] / h : 0, fz = h > 0 ? fwd[2] / h : 0;
    double o = up[2] * fx - up[0] * fz;
    o = o < -1 ? -1 : o > 1 ? 1 : o;
    return (float)(acos(o) - M_PI / 2);
}

static bool finite3(const dReal *v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

bool bike_blown_up(const BikeState *bike) {
    for (dBodyID body : bike->bodies) {
        const dReal *q = dBodyGetQuaternion(body);
        if (!finite3(dBodyGetPosition(body)) || !finite3(q) || !std::isfinite(q[3]) ||
            !finite3(dBodyGetLinearVel(body)) || !finite3(dBodyGetAngularVel(body)) ||
            !finite3(dBodyGetForce(body)) || !finite3(dBodyGetTorque(body)))
            return true;
    }
    // The motors the update set for the next step.
    const dJointID *j = bike->joints;
    if (!std::isfinite(dJointGetHingeParam(j[JOINT_FRONT_AXLE], dParamFMax)) ||
        !std::isfinite(dJointGetHingeParam(j[JOINT_REAR_AXLE], dParamFMax)) ||
        !std::isfinite(dJointGetHingeParam(j[JOINT_SWINGARM_PIVOT], dParamFMax)) ||
        !std::isfinite(dJointGetHingeParam(j[JOINT_SWINGARM_PIVOT], dParamVel)) ||
        !std::isfinite(dJointGetSliderParam(j[JOINT_FORK_SLIDE], dParamFMax)) ||
        !std::isfinite(dJointGetSliderParam(j[JOINT_FORK_SLIDE], dParamVel)))
        return true;
    return !std::isfinite(bike->engine_speed) || !std::isfinite(bike->engine_angle);
}
