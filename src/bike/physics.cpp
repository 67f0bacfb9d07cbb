#include "bike/physics.h"

#include <cmath>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/tire.h"
#include "core/mt19937.h"
#include "platform/log.h"

dWorldID g_world;
dJointGroupID g_contact_group;

static bool s_ode_started;

// ODE reports its own errors through these; a message from inside the
// stepper must not end the game, so it is logged and the step goes on.
static void ode_message(int errnum, const char *msg, va_list ap) {
    char text[512];
    vsnprintf(text, sizeof text, msg, ap);
    zolm_log("ODE %d: %s\n", errnum, text);
}

bool physics_init() {
    if (g_world) return true;
    if (!s_ode_started) {
        dInitODE2(0);
        s_ode_started = true;
        dSetErrorHandler(ode_message);
        dSetDebugHandler(ode_message);
        dSetMessageHandler(ode_message);
    }
    if (!dCheckConfiguration("ODE_double_precision")) {
        zolm_log("The physics library is not built in double precision\n");
        return false;
    }
    g_world = dWorldCreate();
    dWorldSetGravity(g_world, 0, -PHYSICS_GRAVITY, 0);
    g_contact_group = dJointGroupCreate(0);
    return true;
}

void physics_shutdown() {
    if (g_contact_group) dJointGroupDestroy(g_contact_group);
    if (g_world) dWorldDestroy(g_world);
    g_contact_group = nullptr;
    g_world = nullptr;
    if (s_ode_started) dCloseODE();
    s_ode_started = false;
}

bool physics_ready() { return g_world != nullptr; }

uint32_t physics_random() { return mt_next(&g_random); }

// The contact pass of one bike: tyres and body shapes against the
// ground, then the track's objects.
void physics_contact_pass(BikeState *bike) {
    bike_terrain_pass(bike);
    bike_objects_pass(bike);
}

void physics_bike_roost(BikeState *bike, int frequency) {
    if (!g_roost_emit) return;
    for (int w = 0; w < 2; w++) {
        int n = roost_emission_count(frequency, physics_random());
        if (n == 0) continue;
        g_roost_emit(&bike->wheels[w], bike_is_active(bike), n, w == 0 ? (float)(M_PI / 8) : (float)(2 * M_PI));
    }
}

// Puts a bike whose state is no longer finite back at its placement, so
// one bad step cannot poison the world's other bodies.
void physics_bike_recover(BikeState *bike, int64_t tick) {
    if (!bike_blown_up(bike)) return;
    if (!bike->blown_up_logged) {
        zolm_log("Bike %d (%s) left the finite world at tick %lld; put back at its start\n", bike->slot,
                 bike_name(bike), (long long)tick);
        bike->blown_up_logged = true;
    }
    bike_place(bike, bike->place_pos[0], bike->place_pos[2], bike->place_heading);
}

void physics_world_step() {
    dWorldStep(g_world, PHYSICS_STEP);
    dJointGroupEmpty(g_contact_group);
}

void physics_bike_erosion(BikeState *bike) {
    wheel_queue_erosion(bike, &bike->wheels[0]);
    wheel_queue_erosion(bike, &bike->wheels[1]);
}

void physics_tick(BikeState *const *bikes, int count, int64_t tick, const PhysicsTickOptions *options) {
    // The physics library aborts on a body that is not finite when it steps,
    // so a bad bike is caught here, before its contacts and the step.
    for (int i = 0; i < count; i++) {
        if (bikes[i]) physics_bike_recover(bikes[i], tick);
    }
    for (int i = 0; i < count; i++) {
        if (bikes[i] && bike_is_active(bikes[i])) physics_contact_pass(bikes[i]);
    }
    if (options->collisions) {
        // Each bike's reach once, so that pairs far apart cost one distance.
        static float reach[PHYSICS_MAX_BIKES];
        int n = count < PHYSICS_MAX_BIKES ? count : PHYSICS_MAX_BIKES;
        for (int i = 0; i < n; i++) reach[i] = bikes[i] && bike_is_active(bikes[i]) ? bike_reach(bikes[i]) : -1;
        for (int i = 0; i < n; i++) {
            if (reach[i] < 0) continue;
            const dReal *pi = dBodyGetPosition(bike_frame_body(bikes[i]));
            for (int k = i + 1; k < n; k++) {
                if (reach[k] < 0) continue;
                const dReal *pk = dBodyGetPosition(bike_frame_body(bikes[k]));
                double dx = pi[0] - pk[0], dy = pi[1] - pk[1], dz = pi[2] - pk[2], r = reach[i] + reach[k];
                if (dx * dx + dy * dy + dz * dz <= r * r) bike_pair(bikes[i], bikes[k], false, tick);
            }
        }
    }
    for (int i = 0; i < count; i++) {
        if (bikes[i]) physics_bike_roost(bikes[i], options->roost_frequency);
    }
    physics_world_step();
    if (options->erosion) {
        for (int i = 0; i < count; i++) {
            if (bikes[i] && bike_is_active(bikes[i])) physics_bike_erosion(bikes[i]);
        }
    }
    for (int i = 0; i < count; i++) {
        if (bikes[i] && bike_is_active(bikes[i])) bike_update(bikes[i], tick);
    }
}
