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
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "core/settings.h"
#include "files/vfs.h"
#include "make_track.h"
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

// A starting slot of the generated tracks: 40 slots 3 ft apart across the
// gate line. Tracks with timing gates will give their own slots.
static bool slot_position(const std::string &track, int slot, float *x, float *z, float *heading) {
    float lateral = (slot - 19.5f) * 3.0f;
    if (track == "vovezuzize") {
        const TrackPoint &p = track_course_vovezuzize()->points[0];
        *heading = p.heading;
        *x = p.x + lateral * cosf(p.heading);
        *z = p.z - lateral * sinf(p.heading);
        return true;
    }
    *heading = 0;
    *x = g_terrain.world_size / 2 + lateral;
    *z = g_terrain.world_size / 2;
    return true;
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
    "  --slot N            start in gate slot N (0..39; default 19)\n"
    "  --setup FILE        bike setup file (default: a new player's setup)\n"
    "  --seconds S         how long to ride (default 10)\n"
    "  --controls TEXT     control script: \"TIME key=value ...\" entries separated by \";\"\n"
    "  --script FILE       the control script from a file (newlines or \";\")\n"
    "                      keys: steer throttle front_brake rear_brake clutch dab back_up lean shift\n"
    "  --every N           print every N ticks (default 128 = 1 s)\n"
    "  --csv               CSV: t,x,y,z,speed_mph,rpm,gear,fork,shock,front_depth,rear_depth\n";

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
};

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

static void print_sample(const RideArgs *a, double t, BikeState *bike) {
    const dReal *p = dBodyGetPosition(bike_frame_body(bike));
    const dReal *v = dBodyGetLinearVel(bike_frame_body(bike));
    double speed = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    float fork = -(float)dJointGetSliderPosition(bike->joints[JOINT_FORK_SLIDE]);
    if (a->csv) {
        printf("%.4f,%.3f,%.3f,%.3f,%.2f,%.0f,%d,%.4f,%.4f,%.4f,%.4f\n", t, p[0], p[1], p[2], speed / k_mph,
               bike_engine_rpm(bike), bike_gear(bike) + 1, fork, shock_travel(bike), bike->wheels[0].contact_depth,
               bike->wheels[1].contact_depth);
    } else {
        printf("%7.3f %9.2f %7.2f %9.2f %7.2f %6.1f %6.0f %4d %6.3f %6.3f %6.3f %6.3f\n", t, p[0], p[1], p[2], speed,
               speed / k_mph, bike_engine_rpm(bike), bike_gear(bike) + 1, fork, shock_travel(bike),
               bike->wheels[0].contact_depth, bike->wheels[1].contact_depth);
    }
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
    if (!bike_info_lookup(a.bike.c_str())) {
        settings_free();
        return fail("ride: unknown bike model '" + a.bike + "'");
    }
    if (!physics_init()) {
        settings_free();
        return fail("ride: the physics library is not built in double precision");
    }
    if (!load_track(a.track)) {
        physics_shutdown();
        settings_free();
        return fail("ride: can't load track '" + a.track + "'");
    }

    BikeState *bike = bike_create(a.bike.c_str(), 0, "1", nullptr, nullptr, nullptr, nullptr);
    float x, z, heading;
    if (a.at) {
        x = a.at_values[0], z = a.at_values[1];
        heading = a.at_values[2] * (float)M_PI / 180.0f;
    } else {
        slot_position(a.track, a.slot, &x, &z, &heading);
    }
    bike_place(bike, x, z, heading);
    bike_apply_setup(bike, &g_settings.setup, 0, true);

    if (a.csv) {
        printf("t,x,y,z,speed_mph,rpm,gear,fork,shock,front_depth,rear_depth\n");
    } else {
        printf("# %s on %s at (%.1f, %.1f) heading %.1f deg\n", bike_name(bike), a.track.c_str(), x, z,
               heading * 180 / M_PI);
        printf("#     t         x       y         z    ft/s    mph    rpm gear   fork  shock  front   rear\n");
    }
    PhysicsTickOptions options = {1000, false};
    HeldControls held = {};
    size_t next = 0;
    int64_t ticks = (int64_t)llround(a.seconds * 128);
    double top_speed = 0, top_at = 0;
    float top_rpm = 0;
    BikeState *bikes[1] = {bike};
    for (int64_t tick = 0; tick <= ticks; tick++) {
        double t = tick / 128.0;
        while (next < script.size() && script[next].t <= t + 1e-9) {
            for (const auto &kv : script[next].values) hold(&held, kv.first, kv.second);
            next++;
        }
        apply_held(bike, &held);
        if (tick % a.every == 0) print_sample(&a, t, bike);
        const dReal *v = dBodyGetLinearVel(bike_frame_body(bike));
        double speed = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (speed > top_speed) top_speed = speed, top_at = t;
        top_rpm = std::max(top_rpm, bike_engine_rpm(bike));
        if (tick < ticks) physics_tick(bikes, 1, tick, &options);
    }
    if (!a.csv) {
        printf("# top speed %.1f ft/s (%.1f mph) at %.2f s, highest %.0f rpm\n", top_speed, top_speed / k_mph, top_at,
               top_rpm);
    }
    bike_free(bike);
    terrain_free();
    physics_shutdown();
    settings_free();
    return 0;
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
    PhysicsTickOptions options = {1000, false};
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
