// Headless rides: one bike on a track under a control script, printed as a
// table or CSV; and the physics benchmark, a field of bikes on the flat
// practice track under a fixed script, timed by the wall clock.
//
// Both use the game's own simulation (the physics world, bikes, tyres,
// suspension and drivetrain) with no window and no textures, so what a
// setup does here is what it does in the game.
#include "tool_ride.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "files/vfs.h"
#include "track/gates.h"
#include "track/terrain.h"

static const double k_mph = 1.4666667;   // ft/s per mph

static int fail(const std::string &message) {
    fprintf(stderr, "quorvin-tool: %s\n", message.c_str());
    return 1;
}

// --- control scripts ---------------------------------------------------------------

static const char *const k_control_keys[] = {"steer", "throttle", "front_brake", "rear_brake", "clutch",
                                              "dab",   "back_up",  "lean",        "shift"};

static bool known_key(const std::string &key) {
    for (const char *k : k_control_keys) {
        if (key == k) return true;
    }
    return false;
}

static bool parse_number(const std::string &text, double *out) {
    if (text.empty()) return false;
    char *end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (*end != 0 || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool ride_parse_controls(const std::string &text, std::vector<RideControl> *out, std::string *error) {
    out->clear();
    size_t start = 0;
    int entry = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(";\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        entry++;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::vector<std::string> words;
        size_t p = 0;
        while (p < line.size()) {
            p = line.find_first_not_of(" \t\r", p);
            if (p == std::string::npos) break;
            size_t q = line.find_first_of(" \t\r", p);
            if (q == std::string::npos) q = line.size();
            words.push_back(line.substr(p, q - p));
            p = q;
        }
        if (words.empty()) continue;
        RideControl c;
        if (!parse_number(words[0], &c.t) || c.t < 0) {
            *error = "control entry " + std::to_string(entry) + ": bad time '" + words[0] + "'";
            return false;
        }
        for (size_t i = 1; i < words.size(); i++) {
            size_t eq = words[i].find('=');
            double v;
            if (eq == std::string::npos || !known_key(words[i].substr(0, eq)) ||
                !parse_number(words[i].substr(eq + 1), &v)) {
                *error = "control entry " + std::to_string(entry) + ": bad setting '" + words[i] + "'";
                return false;
            }
            c.values.push_back({words[i].substr(0, eq), (float)v});
        }
        out->push_back(c);
    }
    std::stable_sort(out->begin(), out->end(), [](const RideControl &a, const RideControl &b) { return a.t < b.t; });
    return true;
}

static void apply_control(BikeState *bike, const std::string &key, float v) {
    if (key == "steer") bike_set_steer(bike, v);
    else if (key == "throttle") bike_set_throttle(bike, v);
    else if (key == "front_brake") bike_set_front_brake(bike, v);
    else if (key == "rear_brake") bike_set_rear_brake(bike, v);
    else if (key == "clutch") bike_set_clutch(bike, v);
    else if (key == "dab") bike_set_dab(bike, v);
    else if (key == "back_up") bike_set_back_up(bike, v);
    else if (key == "lean") bike_set_lean(bike, v);
    else if (key == "shift") bike_shift(bike, v > 0.5f ? 1 : v < -0.5f ? -1 : 0);
}

// The held values, re-applied every tick (as the game's input does) so a
// control the simulation changed comes back to what the script says.
struct HeldControls {
    float values[9];
};

static void hold(HeldControls *h, const std::string &key, float v) {
    for (int i = 0; i < 9; i++) {
        if (key == k_control_keys[i]) h->values[i] = v;
    }
}

static void apply_held(BikeState *bike, const HeldControls *h) {
    for (int i = 0; i < 9; i++) apply_control(bike, k_control_keys[i], h->values[i]);
}

// --- set-up shared by both commands ------------------------------------------------

static bool load_track(const std::string &name) {
    TerrainOptions options = *terrain_options();
    options.gl = false;
    terrain_set_options(&options);
    std::string dir = "@" + name;
    if (!terrain_load(dir.c_str(), TERRAIN_UPDATE_SOFTWARE)) return false;
    return true;
}

// Starting slot N of the track's timing gates; a track without them starts
// in the middle of the field facing -z, slots 3 ft apart across it.
static void slot_position(const std::string &track, int slot, float *x, float *z, float *heading) {
    std::string name = "@" + track + "/timing_gates";
    timing_gates_load(name.c_str());
    if (slot < g_gates.slot_count) {
        const StartSlot *s = &g_gates.slots[slot];
        *x = s->x, *z = s->z, *heading = s->heading;
    } else {
        *heading = 0;
        *x = g_terrain.world_size / 2 + (slot - 19.5f) * 3.0f;
        *z = g_terrain.world_size / 2;
    }
    timing_gates_free(&g_gates);
}

static bool parse_floats(const char *text, float *v, int min_count, int max_count, int *count) {
    int n = 0;
    const char *p = text;
    for (;;) {
        char *end = nullptr;
        double d = strtod(p, &end);
        if (end == p || !std::isfinite(d) || n == max_count) return false;
        v[n++] = (float)d;
        if (*end == 0) break;
        if (*end != ',') return false;
        p = end + 1;
    }
    *count = n;
    return n >= min_count;
}

static double seconds_now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static float shock_travel(const BikeState *bike) {
    float u = -(float)dJointGetHingeAngle(bike->joints[JOINT_SWINGARM_PIVOT]) / bike->info.swingarm_max_angle;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    float stroke, slope;
    shock_linkage(&bike->info, u, &stroke, &slope);
    return stroke;
}

// --- ride ----------------------------------------------------------------------------

const char *const k_ride_help =
    "usage: quorvin-tool ride [options]\n"
    "  Rides one bike headless and prints its state.\n"
    "  --track NAME        track to ride (default flat)\n"
    "  --bike MODEL        bike model (default: the setup's bike)\n"
    "  --at X,Z[,HEADING]  start position (ft) and heading (degrees, 0 faces -z)\n"
    "  --slot N            start in the track's starting slot N (0..39; default 19)\n"
    "  --setup FILE        bike setup file (default: a new player's setup)\n"
    "  --seconds S         how long to ride (default 10)\n"
    "  --controls TEXT     control script: \"TIME key=value ...\" entries separated by \";\"\n"
    "  --script FILE       the control script from a file (newlines or \";\")\n"
    "                      keys: steer throttle front_brake rear_brake clutch dab back_up lean shift\n"
    "  --every N           print every N ticks (default 128 = 1 s)\n"
    "  --other MODEL@X,Z[,HEADING]  a second bike standing there to ride into\n"
    "  --object SHAPE@X,Z[,HEADING] a static shape (e.g. @startgate.shp) to ride into\n"
    "  --follow-course     a test rider steers along the track's \"course\" centre line\n"
    "                      and reports each lap; the script's other controls still apply\n"
    "  --csv               CSV: t,x,y,z,speed_mph,rpm,gear,fork,shock,front_depth,rear_depth,\n"
    "                      lean,crashed,collisions\n";

struct RideArgs {
    std::string track = "flat";
    std::string bike;
    std::string setup;
    std::string controls;
    bool at = false;
    float at_values[3] = {0, 0, 0};
    int slot = 19;
    double seconds = 10;
    int every = 128;
    bool csv = false;
    std::string other;              // model of the second bike, or empty
    float other_at[3] = {0, 0, 0};
    std::string object;             // shape file of the static object, or empty
    float object_at[3] = {0, 0, 0};
    bool follow = false;
};

// "NAME@X,Z[,HEADING]": a name and where it stands.
static bool parse_placed(const char *text, std::string *name, float at[3]) {
    const char *sep = strrchr(text, '@');
    if (!sep || sep == text) return false;
    int count = 0;
    at[2] = 0;
    if (!parse_floats(sep + 1, at, 2, 3, &count)) return false;
    name->assign(text, sep - text);
    return true;
}

static bool next_value(int argc, char **argv, int *i, const char **out) {
    if (*i + 1 >= argc) return false;
    *out = argv[++*i];
    return true;
}

static int parse_ride_args(int argc, char **argv, RideArgs *a) {
    for (int i = 0; i < argc; i++) {
        std::string opt = argv[i];
        const char *v = nullptr;
        if (opt == "--help" || opt == "-h") {
            fputs(k_ride_help, stdout);
            return 0;
        } else if (opt == "--csv") {
            a->csv = true;
        } else if (opt == "--follow-course") {
            a->follow = true;
        } else if (!next_value(argc, argv, &i, &v)) {
            return fail("ride: " + opt + (opt.rfind("--", 0) == 0 ? " needs a value" : ": unknown argument"));
        } else if (opt == "--track") {
            a->track = v;
        } else if (opt == "--bike") {
            a->bike = v;
        } else if (opt == "--setup") {
            a->setup = v;
        } else if (opt == "--controls") {
            a->controls += std::string(v) + "\n";
        } else if (opt == "--script") {
            std::string text;
            FILE *f = fopen(v, "rb");
            if (!f) return fail(std::string("ride: can't read ") + v);
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
            fclose(f);
            a->controls += text + "\n";
        } else if (opt == "--at") {
            int count = 0;
            if (!parse_floats(v, a->at_values, 2, 3, &count)) return fail("ride: --at wants X,Z[,HEADING]");
            a->at = true;
        } else if (opt == "--other") {
            if (!parse_placed(v, &a->other, a->other_at)) return fail("ride: --other wants MODEL@X,Z[,HEADING]");
        } else if (opt == "--object") {
            if (!parse_placed(v, &a->object, a->object_at)) return fail("ride: --object wants SHAPE@X,Z[,HEADING]");
        } else if (opt == "--slot") {
            double d;
            if (!parse_number(v, &d) || d < 0 || d > 39 || d != floor(d)) return fail("ride: --slot wants 0..39");
            a->slot = (int)d;
        } else if (opt == "--seconds") {
            if (!parse_number(v, &a->seconds) || a->seconds <= 0 || a->seconds > 3600)
                return fail("ride: --seconds wants a time up to 3600");
        } else if (opt == "--every") {
            double d;
            if (!parse_number(v, &d) || d < 1 || d > 1e6 || d != floor(d)) return fail("ride: --every wants a tick count");
            a->every = (int)d;
        } else {
            return fail("ride: unknown option " + opt);
        }
    }
    return -1;
}

static void print_sample(const RideArgs *a, double t, BikeState *bike, int collisions) {
    const dReal *p = dBodyGetPosition(bike_frame_body(bike));
    const dReal *v = dBodyGetLinearVel(bike_frame_body(bike));
    double speed = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    float fork = -(float)dJointGetSliderPosition(bike->joints[JOINT_FORK_SLIDE]);
    if (a->csv) {
        printf("%.4f,%.3f,%.3f,%.3f,%.2f,%.0f,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%d,%d\n", t, p[0], p[1], p[2],
               speed / k_mph, bike_engine_rpm(bike), bike_gear(bike) + 1, fork, shock_travel(bike),
               bike->wheels[0].contact_depth, bike->wheels[1].contact_depth, bike_lean_angle(bike),
               bike_is_crashed(bike) ? 1 : 0, collisions);
    } else {
        printf("%7.3f %9.2f %7.2f %9.2f %7.2f %6.1f %6.0f %4d %6.3f %6.3f %6.3f %6.3f %6.3f %s %4d\n", t, p[0], p[1],
               p[2], speed, speed / k_mph, bike_engine_rpm(bike), bike_gear(bike) + 1, fork, shock_travel(bike),
               bike->wheels[0].contact_depth, bike->wheels[1].contact_depth, bike_lean_angle(bike),
               bike_is_crashed(bike) ? "down" : "  up", collisions);
    }
}

// --- the course follower ------------------------------------------------------------

bool course_load(const std::string &track, CourseFollower *f) {
    std::string name = "@" + track + "/course";
    VfsFile *file = vfs_open(name.c_str(), "rb");
    if (!file) return false;
    char line[256];
    while (vfs_gets(file, line, sizeof line)) {
        CoursePoint p;
        if (line[0] == '#') continue;
        p.speed = 0;
        if (sscanf(line, "%f %f %f %f %f", &p.x, &p.z, &p.heading, &p.width, &p.speed) >= 4 && std::isfinite(p.x) &&
            std::isfinite(p.z) && std::isfinite(p.heading))
            f->points.push_back(p);
    }
    vfs_close(file);
    return f->points.size() >= 8;
}

static int course_nearest(const CourseFollower *f, float x, float z, int around, int reach) {
    int n = (int)f->points.size(), best = around;
    float best_d = INFINITY;
    for (int k = -reach; k <= reach; k++) {
        int i = ((around + k) % n + n) % n;
        float dx = f->points[i].x - x, dz = f->points[i].z - z, d = dx * dx + dz * dz;
        if (d < best_d) best_d = d, best = i;
    }
    return best;
}

void course_attach(CourseFollower *f, float x, float z) {
    int n = (int)f->points.size();
    f->index = course_nearest(f, x, z, 0, n / 2);
}

static float wrap_angle(float a) {
    while (a > (float)M_PI) a -= 2 * (float)M_PI;
    while (a < -(float)M_PI) a += 2 * (float)M_PI;
    return a;
}

bool course_follow(CourseFollower *f, BikeState *bike, double t) {
    int n = (int)f->points.size();
    dBodyID frame = bike_frame_body(bike);
    const dReal *p = dBodyGetPosition(frame);
    const dReal *v = dBodyGetLinearVel(frame);
    float speed = (float)sqrt(v[0] * v[0] + v[2] * v[2]);
    int i = course_nearest(f, (float)p[0], (float)p[2], f->index, 12);
    int step = i - f->index;
    if (step > n / 2) step -= n;
    if (step < -n / 2) step += n;
    f->progress += step;
    f->index = i;

    // Aim at a point further ahead the faster the bike goes.
    float look = fminf(60.0f, fmaxf(16.0f, 10.0f + 0.6f * speed));
    const CoursePoint &aim = f->points[(i + (int)(look / 8.0f)) % n];
    // Keep near the line the bike is on (a wide start pad narrows into the
    // course), drifting towards its own side, always inside the width.
    const CoursePoint &near = f->points[i];
    float now_side = ((float)p[0] - near.x) * cosf(near.heading) - ((float)p[2] - near.z) * sinf(near.heading);
    float side = 0.8f * now_side + 0.2f * f->lateral;
    side = fmaxf(-(aim.width * 0.5f - 3), fminf(aim.width * 0.5f - 3, side));
    float aim_x = aim.x + side * cosf(aim.heading), aim_z = aim.z - side * sinf(aim.heading);
    dVector3 fwd;
    dBodyVectorToWorld(frame, 0, 0, -1, fwd);
    float dx = aim_x - (float)p[0], dz = aim_z - (float)p[2];
    float cross = (float)(fwd[0] * dz - fwd[2] * dx), dot = (float)(fwd[0] * dx + fwd[2] * dz);
    float error = atan2f(cross, dot);
    // Gentle bars while slow: a hard turn from standstill only lays it down.
    float most = fminf(1.0f, 0.25f + speed / 20.0f);
    bike_set_steer(bike, fmaxf(-most, fminf(most, error * 2.5f)));

    // The speed the bends of the next 150 ft allow, at about half a g, and
    // the speed a jump's run-up ahead asks for.
    float target = 75.0f;
    for (int k = 0; k < 19; k++) {
        const CoursePoint &a = f->points[(i + k) % n], &b = f->points[(i + k + 1) % n];
        float curvature = fabsf(wrap_angle(b.heading - a.heading)) / 8.0f;
        if (curvature > 1e-4f) target = fminf(target, sqrtf(16.0f / curvature) + 0.4f * k * 8.0f * 0.25f);
    }
    if (f->pace > 0) target *= f->pace;
    for (int k = 0; k < 8; k++) {
        float asked = f->points[(i + k) % n].speed;
        if (asked > 0) {
            target = asked;
            break;
        }
    }
    // Close to a lip without the speed for the jump: roll it instead.
    const CoursePoint &here = f->points[i];
    if (here.speed > 0) {
        int left = 0;
        while (left < 16 && f->points[(i + left + 1) % n].speed > 0) left++;
        if (left <= 5 && speed < here.speed - 5) f->rolling = true;
    } else {
        f->rolling = false;
    }
    if (f->rolling) target = 18.0f;
    bool airborne = bike->wheels[0].contact_depth <= 0 && bike->wheels[1].contact_depth <= 0;
    // Its own gear changes, a quarter of a second apart, at the model's
    // shift points (the automatic gearbox waits for grip).
    // The engine speed the road speed gives in this gear (a spinning rear
    // wheel must not shift it up).
    float ratio = bike_total_reduction(bike);
    float tyre = bike->info.rear_tire_ring_radius + bike->info.rear_tire_section_radius;
    float rpm = speed / tyre * ratio * 60.0f / (2.0f * (float)M_PI);
    int shift = 0;
    if (!airborne && t - f->last_shift >= 0.25) {
        if (rpm > bike->info.upshift_rpm) shift = 1;
        else if (rpm < bike->info.downshift_rpm - 1500 && bike_gear(bike) > 0) shift = -1;
    }
    bike_shift(bike, 0);
    if (shift) {
        bike_shift(bike, shift);
        f->last_shift = t;
    }
    bike_set_clutch(bike, 1);
    if (airborne) {
        bike_set_steer(bike, 0);
        bike_set_throttle(bike, 0.2f);
        bike_set_front_brake(bike, 0);
        bike_set_rear_brake(bike, 0);
    } else if (speed > target + 3) {
        bike_set_throttle(bike, 0);
        bike_set_front_brake(bike, 0.7f);
        bike_set_rear_brake(bike, 0.7f);
    } else {
        float throttle = fminf(1.0f, fmaxf(0.25f, (target - speed) / 8.0f));
        // Keep the front wheel down: ease off while it lifts, and sit
        // forward while pulling hard from low speed.
        bool wheelie = bike->wheels[0].contact_depth <= 0 && bike->wheels[1].contact_depth > 0;
        if (wheelie) throttle *= 0.3f;
        bike_set_lean(bike, speed < 30 && throttle > 0.5f ? -0.6f : 0.0f);
        bike_set_throttle(bike, throttle);
        bike_set_front_brake(bike, 0);
        bike_set_rear_brake(bike, 0);
    }
    if (f->progress >= n) {
        f->progress -= n;
        f->laps++;
        double lap = t - f->lap_start;
        f->last_lap = lap;
        if (f->best_lap == 0 || lap < f->best_lap) f->best_lap = lap;
        f->lap_start = t;
        return true;
    }
    return false;
}

int tool_ride(int argc, char **argv) {
    RideArgs a;
    int status = parse_ride_args(argc, argv, &a);
    if (status >= 0) return status;
    std::vector<RideControl> script;
    std::string error;
    if (!ride_parse_controls(a.controls, &script, &error)) return fail("ride: " + error);

    settings_init_defaults();
    if (!a.setup.empty()) {
        VfsFile *f = vfs_open(a.setup.c_str(), "rb");
        bool read = f && setup_read(f);
        if (f) vfs_close(f);
        if (!read) {
            settings_free();
            return fail("ride: can't read setup " + a.setup);
        }
    }
    if (a.bike.empty()) a.bike = choice_name(&g_settings.setup.bike);
    for (const std::string *model : {&a.bike, &a.other}) {
        if (!model->empty() && !bike_info_lookup(model->c_str())) {
            settings_free();
            return fail("ride: unknown bike model '" + *model + "'");
        }
    }
    if (!physics_init()) {
        settings_free();
        return fail("ride: the physics library is not built in double precision");
    }
    auto finish_with = [](int code) {
        objects_clear();
        terrain_free();
        shapes_free();
        physics_shutdown();
        settings_free();
        return code;
    };
    if (!load_track(a.track)) return finish_with(fail("ride: can't load track '" + a.track + "'"));
    CourseFollower follower = {};
    if (a.follow && !course_load(a.track, &follower))
        return finish_with(fail("ride: track '" + a.track + "' has no course file to follow"));

    Shape *object = nullptr;
    if (!a.object.empty()) {
        object = shape_instance(a.object.c_str());
        if (!object) return finish_with(fail("ride: can't load shape '" + a.object + "'"));
        dMatrix3 r;
        dRFromAxisAndAngle(r, 0, 1, 0, a.object_at[2] * M_PI / 180);
        float rotation[9] = {(float)r[0], (float)r[1], (float)r[2], (float)r[4], (float)r[5],
                             (float)r[6], (float)r[8], (float)r[9], (float)r[10]};
        float at[3] = {a.object_at[0], terrain_height(a.object_at[0], a.object_at[1]), a.object_at[1]};
        objects_add(object, at, rotation);
    }

    BikeState *bikes[2] = {bike_create(a.bike.c_str(), 0, "1", nullptr, nullptr, nullptr, nullptr), nullptr};
    BikeState *bike = bikes[0];
    float x, z, heading;
    if (a.at) {
        x = a.at_values[0], z = a.at_values[1];
        heading = a.at_values[2] * (float)M_PI / 180.0f;
    } else if (a.follow) {
        const CoursePoint &start = follower.points[0];
        x = start.x, z = start.z, heading = start.heading;
    } else {
        slot_position(a.track, a.slot, &x, &z, &heading);
    }
    bike_place(bike, x, z, heading);
    bike_apply_setup(bike, &g_settings.setup, 0, true);
    if (!a.other.empty()) {
        bikes[1] = bike_create(a.other.c_str(), 1, "2", nullptr, nullptr, nullptr, nullptr);
        bike_place(bikes[1], a.other_at[0], a.other_at[1], a.other_at[2] * (float)M_PI / 180.0f);
        bike_apply_setup(bikes[1], &g_settings.setup, 0, true);
    }
    g_bike_race.start_tick = 0;
    g_bike_race.running = true;

    if (a.csv) {
        printf("t,x,y,z,speed_mph,rpm,gear,fork,shock,front_depth,rear_depth,lean,crashed,collisions\n");
    } else {
        printf("# %s on %s at (%.1f, %.1f) heading %.1f deg\n", bike_name(bike), a.track.c_str(), x, z,
               heading * 180 / M_PI);
        printf("#     t         x       y         z    ft/s    mph    rpm gear   fork  shock  front   rear   lean "
               "rider hits\n");
    }
    PhysicsTickOptions options = {1000, false, true};
    HeldControls held = {};
    size_t next = 0;
    int64_t ticks = (int64_t)llround(a.seconds * 128);
    double top_speed = 0, top_at = 0;
    float top_rpm = 0;
    int collisions = 0;
    for (int64_t tick = 0; tick <= ticks; tick++) {
        double t = tick / 128.0;
        while (next < script.size() && script[next].t <= t + 1e-9) {
            for (const auto &kv : script[next].values) hold(&held, kv.first, kv.second);
            next++;
        }
        apply_held(bike, &held);
        if (a.follow && course_follow(&follower, bike, t) && !a.csv)
            printf("# lap %d in %.2f s, %d falls so far\n", follower.laps, follower.last_lap, bike->crash_count);
        if (tick % a.every == 0) print_sample(&a, t, bike, collisions);
        const dReal *v = dBodyGetLinearVel(bike_frame_body(bike));
        double speed = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (speed > top_speed) top_speed = speed, top_at = t;
        top_rpm = std::max(top_rpm, bike_engine_rpm(bike));
        if (tick < ticks) {
            physics_tick(bikes, bikes[1] ? 2 : 1, tick, &options);
            if (bike->last_collision_tick == tick) collisions++;
        }
    }
    if (!a.csv) {
        printf("# top speed %.1f ft/s (%.1f mph) at %.2f s, highest %.0f rpm, %d crashes, %d collision ticks\n",
               top_speed, top_speed / k_mph, top_at, top_rpm, bike->crash_count, collisions);
        if (a.follow) {
            printf("# %d laps, best %.2f s, %.0f%% of a lap beyond\n", follower.laps, follower.best_lap,
                   100.0 * follower.progress / follower.points.size());
        }
    }
    for (BikeState *b : bikes) bike_free(b);
    shape_instance_free(object);
    return finish_with(0);
}

// --- bench physics -------------------------------------------------------------------

const char *const k_bench_help =
    "usage: quorvin-tool bench physics [--bikes N] [--ticks T] [--track NAME]\n"
    "  N bikes (default 40) side by side on the flat practice track, full throttle and\n"
    "  braking in turn, for T ticks (default 1280 = 10 s of game time). Reports the\n"
    "  microseconds per bike-tick and, last, \"ticks/s: N\": ticks of the whole field\n"
    "  per second of wall time.\n";

int tool_bench(int argc, char **argv) {
    if (argc < 1 || strcmp(argv[0], "--help") == 0 || strcmp(argv[0], "-h") == 0) {
        fputs(k_bench_help, argc < 1 ? stderr : stdout);
        return argc < 1 ? 1 : 0;
    }
    if (strcmp(argv[0], "physics") != 0) return fail(std::string("bench: unknown benchmark '") + argv[0] + "'");
    int count = 40;
    int64_t ticks = 1280;
    std::string track = "flat";
    for (int i = 1; i < argc; i++) {
        std::string opt = argv[i];
        const char *v = nullptr;
        double d;
        if (opt == "--help" || opt == "-h") {
            fputs(k_bench_help, stdout);
            return 0;
        }
        if (!next_value(argc, argv, &i, &v)) return fail("bench: " + opt + " needs a value");
        if (opt == "--bikes") {
            if (!parse_number(v, &d) || d < 1 || d > 160 || d != floor(d)) return fail("bench: --bikes wants 1..160");
            count = (int)d;
        } else if (opt == "--ticks") {
            if (!parse_number(v, &d) || d < 1 || d > 1e7 || d != floor(d)) return fail("bench: --ticks wants a count");
            ticks = (int64_t)d;
        } else if (opt == "--track") {
            track = v;
        } else {
            return fail("bench: unknown option " + opt);
        }
    }
    if (!physics_init()) return fail("bench: the physics library is not built in double precision");
    if (!load_track(track)) {
        physics_shutdown();
        return fail("bench: can't load track '" + track + "'");
    }
    settings_init_defaults();
    std::vector<BikeState *> bikes;
    float size = g_terrain.world_size;
    for (int i = 0; i < count; i++) {
        const BikeModelInfo *info = &bike_catalogue()[i % BIKE_MODEL_COUNT];
        BikeState *b = bike_create(info->name, i, "1", nullptr, nullptr, nullptr, nullptr);
        // Rows of 40 across the field, 8 ft apart, riding towards -z.
        bike_place(b, size / 2 + ((i % 40) - 19.5f) * 8.0f, size * 0.9f - (i / 40) * 12.0f, 0);
        bike_apply_setup(b, &g_settings.setup, 0, true);
        bikes.push_back(b);
    }
    PhysicsTickOptions options = {1000, false, true};
    double start = seconds_now();
    for (int64_t tick = 0; tick < ticks; tick++) {
        // 3 s of throttle, 1 s of braking, over and over.
        bool braking = tick % 512 >= 384;
        for (BikeState *b : bikes) {
            bike_set_throttle(b, braking ? 0.0f : 1.0f);
            bike_set_clutch(b, braking ? 0.0f : 1.0f);
            bike_set_front_brake(b, braking ? 1.0f : 0.0f);
            bike_set_rear_brake(b, braking ? 1.0f : 0.0f);
        }
        physics_tick(bikes.data(), count, tick, &options);
    }
    double wall = seconds_now() - start;
    double ticks_per_second = ticks / wall;
    printf("bikes: %d\n", count);
    printf("ticks: %lld (%.1f s of game time)\n", (long long)ticks, ticks / 128.0);
    printf("wall: %.3f s\n", wall);
    printf("us per bike-tick: %.2f\n", wall * 1e6 / ((double)ticks * count));
    printf("real time: %.2fx\n", ticks_per_second / 128.0);
    printf("ticks/s: %.0f\n", ticks_per_second);
    for (BikeState *b : bikes) bike_free(b);
    terrain_free();
    physics_shutdown();
    settings_free();
    return 0;
}
