// A headless race: the race reset on the named track with N robot slots,
// then race ticks at full speed until every rider is done or the time cap
// is reached. Each rider is steered along the track's "course" line by the
// test rider of "ride --follow-course" (held at the gate until it drops,
// spread across the track so the field does not ride in one file; a track
// without one is ridden from gate to gate). Laps are
// printed as riders complete them, the standings at the end.
#include "tool_race.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "core/race.h"
#include "core/settings.h"
#include "tool_ride.h"
#include "track/content.h"
#include "track/gates.h"
#include "track/terrain.h"

const char *const k_race_help =
    "usage: quorvin-tool race --track NAME [options]\n"
    "  A race headless: robots' bikes ridden by the course-following test rider.\n"
    "  --riders N       riders in gates 1..N (default 10, at most 40)\n"
    "  --laps L         laps (default 3)\n"
    "  --minutes M      a timed race: M minutes, then L more laps (default 0: a lap race)\n"
    "  --max-minutes X  stop after X minutes of race time whatever happens (default 30)\n"
    "  Prints each completed lap and the final standings, times as m:ss.mmm.\n";

static int fail(const std::string &message) {
    fprintf(stderr, "quorvin-tool: %s\n", message.c_str());
    return 1;
}

static bool parse_count(const char *text, double lo, double hi, double *out) {
    char *end = nullptr;
    double v = strtod(text, &end);
    if (end == text || *end || !std::isfinite(v) || v < lo || v > hi) return false;
    *out = v;
    return true;
}

struct RaceArgs {
    std::string track;
    int riders = 10;
    int laps = 3;
    double minutes = 0;
    double max_minutes = 30;
};

static int parse_race_args(int argc, char **argv, RaceArgs *a) {
    for (int i = 0; i < argc; i++) {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            fputs(k_race_help, stdout);
            return 0;
        }
        if (i + 1 >= argc) return fail("race: " + opt + (opt.rfind("--", 0) == 0 ? " needs a value" : ": unknown argument"));
        const char *v = argv[++i];
        double d;
        if (opt == "--track") {
            a->track = v;
        } else if (opt == "--riders") {
            if (!parse_count(v, 1, 40, &d) || d != floor(d)) return fail("race: --riders wants 1..40");
            a->riders = (int)d;
        } else if (opt == "--laps") {
            if (!parse_count(v, 0, 100, &d) || d != floor(d)) return fail("race: --laps wants 0..100");
            a->laps = (int)d;
        } else if (opt == "--minutes") {
            if (!parse_count(v, 0, 120, &a->minutes)) return fail("race: --minutes wants 0..120");
        } else if (opt == "--max-minutes") {
            if (!parse_count(v, 0.1, 600, &a->max_minutes)) return fail("race: --max-minutes wants 0.1..600");
        } else {
            return fail("race: unknown option " + opt);
        }
    }
    if (a->track.empty()) return fail("race: --track NAME is required");
    if (a->laps == 0 && a->minutes == 0) return fail("race: a race needs laps or minutes");
    return -1;
}

// Without a "course" file the riders follow the gates of a normal lap:
// straight lines between their centres, every 8 ft.
static void course_from_gates(CourseFollower *f) {
    int first = g_gates.first_count, count = g_gates.normal_count;
    for (int k = 0; k < count; k++) {
        const TimingGate &a = g_gates.gates[gate_at(first + k)];
        const TimingGate &b = g_gates.gates[gate_at(first + (k + 1) % count)];
        float dx = b.x - a.x, dz = b.z - a.z, length = sqrtf(dx * dx + dz * dz);
        int steps = length > 8 ? (int)(length / 8) : 1;
        for (int i = 0; i < steps; i++) {
            float u = (float)i / steps;
            CoursePoint p = {a.x + dx * u, a.z + dz * u, atan2f(-dx, -dz), fmaxf(8.0f, a.radius), 0};
            f->points.push_back(p);
        }
    }
}

static std::string time_text(int32_t ticks) {
    char text[32];
    race_time_text(ticks, text, sizeof text);
    return text;
}

int tool_race(int argc, char **argv) {
    RaceArgs a;
    int status = parse_race_args(argc, argv, &a);
    if (status >= 0) return status;
    if (!physics_init()) return fail("race: the physics library is not built in double precision");
    settings_init_defaults();
    auto finish_with = [](int code) {
        race_free();
        shapes_free();
        physics_shutdown();
        settings_free();
        return code;
    };

    int types[RACE_SLOTS] = {};
    for (int i = 0; i < a.riders; i++) types[i] = SLOT_ROBOT;
    RaceOptions options = {};
    options.race_ticks = (int32_t)llround(a.minutes * 60 * 128);
    options.laps = a.laps;
    options.skill = 1;
    options.track = a.track.c_str();
    options.reload = true;
    options.update_method = TERRAIN_UPDATE_SOFTWARE;
    if (!race_reset(types, &options)) return finish_with(fail("race: can't load track '" + a.track + "'"));
    if (!gates_timed()) return finish_with(fail("race: track '" + a.track + "' has no timing gates"));

    std::vector<CourseFollower> riders(RACE_SLOTS);
    CourseFollower course = {};
    if (!course_load(a.track, &course)) course_from_gates(&course);
    int field = 0;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (!g_slots[i].bike) continue;
        // The test riders ride with a new player's setup (its aids), until
        // robots bring their own.
        bike_apply_setup(g_slots[i].bike, &g_settings.setup, 0, true);
        riders[i] = course;
        const dReal *p = dBodyGetPosition(bike_frame_body(g_slots[i].bike));
        course_attach(&riders[i], (float)p[0], (float)p[2]);
        // Riders keep to their side of the track: 3 ft apart across it,
        // as they stood on the gate.
        riders[i].lateral = ((float)i - (a.riders - 1) * 0.5f) * 3.0f;
        // Slightly different paces string the field out.
        riders[i].pace = 1.0f - 0.025f * (float)(i % 5);
        field++;
    }
    printf("# %d riders on %s, %s; the gate drops at %s\n", field, a.track.c_str(),
           a.minutes > 0 ? (std::to_string(a.minutes) + " minutes + " + std::to_string(a.laps) + " laps").c_str()
                         : (std::to_string(a.laps) + " laps").c_str(),
           time_text(g_race.start_tick - g_race.tick).c_str());

    std::vector<int> laps_seen(RACE_SLOTS, 0);
    int32_t cap = g_race.start_tick + (int32_t)llround(a.max_minutes * 60 * 128);
    while (!g_race.over && g_race.tick < cap) {
        for (int i = 0; i < RACE_SLOTS; i++) {
            BikeState *bike = g_slots[i].bike;
            if (!bike || g_slots[i].gates.finished) continue;
            // On the gate: a foot down and the brakes on, as a rider waits.
            bool waiting = g_race.tick < g_race.start_tick;
            bike_set_dab(bike, waiting ? 1.0f : 0.0f);
            if (waiting) {
                bike_set_throttle(bike, 0);
                bike_set_front_brake(bike, 1);
                bike_set_rear_brake(bike, 1);
                continue;
            }
            course_follow(&riders[i], bike, (g_race.tick - g_race.start_tick) / 128.0);
        }
        race_step();
        for (int i = 0; i < RACE_SLOTS; i++) {
            if (!g_slots[i].bike) continue;
            int laps = rider_lap(&g_slots[i].gates);
            while (laps_seen[i] < laps) {
                laps_seen[i]++;
                float seconds = rider_lap_time(&g_slots[i].gates, laps_seen[i], g_race.start_tick);
                printf("lap %d  #%-3s %-20s %s%s\n", laps_seen[i], g_slots[i].number, g_slots[i].name,
                       seconds > 0 ? time_text((int32_t)lroundf(seconds * 128)).c_str() : "(cut)",
                       g_slots[i].gates.finished ? "  finished" : "");
            }
        }
    }
    standings_update();

    printf("# %s after %s of racing\n", g_race.over ? "results" : "standings (time cap reached)",
           time_text(g_race.tick - g_race.start_tick).c_str());
    printf("# pos  no. name                 laps  time        best lap   crashes\n");
    for (int k = 0; k < g_race.standings_count; k++) {
        int slot = g_race.standings[k].slot;
        const RiderSlot *s = &g_slots[slot];
        if (!s->bike) continue;
        int laps = rider_lap(&s->gates) - s->laps_removed;
        int32_t best = 0;
        for (int n = 1; n <= rider_lap(&s->gates); n++) {
            int32_t t = (int32_t)lroundf(rider_lap_time(&s->gates, n, g_race.start_tick) * 128);
            if (t > 0 && (best == 0 || t < best)) best = t;
        }
        int32_t total = g_race.standings[k].last_tick - g_race.start_tick;
        printf("%5d  %3s %-20s %4d  %-10s  %-9s  %d\n", k + 1, s->number, s->name, laps,
               total > 0 ? time_text(total).c_str() : "-", best > 0 ? time_text(best).c_str() : "-",
               s->bike->crash_count);
        char penalty[128];
        if (race_penalty_text(slot, penalty, sizeof penalty)) printf("       %s\n", penalty);
    }
    return finish_with(0);
}
