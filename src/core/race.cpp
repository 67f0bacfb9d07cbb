// The race reset, the race tick, the robot roster and the rider slots. The
// standings, the time trial and the server-race rules are in
// race_standings.cpp.
#include "core/race.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/mt19937.h"
#include "core/settings.h"
#include "files/texture.h"
#include "platform/log.h"
#include "replay/history.h"
#include "track/content.h"
#include "track/terrain.h"

RiderSlot g_slots[RACE_SLOTS];
RaceRecord g_race;
RosterEntry g_roster[ROSTER_SIZE];
RaceHooks g_race_hooks;
RaceTickOptions g_race_tick_options = {1000, false};

static const float GATE_TURN = 0.5890486f;   // 3 pi / 16: the bars' turn when fully up
static const int LOG_CONTROL = 19;

// --- small helpers --------------------------------------------------------------

// Cut to fit: race numbers keep their first three characters.
static void copy_text(char *out, int size, const char *text) {
    int n = 0;
    for (; text && text[n] && n < size - 1; n++) out[n] = text[n];
    out[n] = '\0';
}

static const char *or_none(const char *text) { return text && text[0] ? text : nullptr; }

static void show(const char *text) {
    if (g_race_hooks.message) g_race_hooks.message(text);
}

// Seconds per tick; the settings hold it, a record never filled falls back
// to the fixed step.
static double tick_seconds() { return g_settings.tick > 0 ? g_settings.tick : PHYSICS_STEP; }

// --- the roster -----------------------------------------------------------------

static RosterEntry s_fixed[ROSTER_SIZE];
static bool s_fixed_built;

struct RosterGroup {
    int first, last;
    const char *personality, *bike;
};

static const RosterGroup k_groups[] = {
    {20, 24, "corvo", "kx125"},   {25, 29, "corvo", "yz125"},   {30, 34, "corvo", "cr125"},
    {35, 39, "corvo", "rm125"},   {40, 44, "bram", "crf250"},   {45, 49, "bram", "kx250f"},
    {50, 53, "bram", "rmz250"},   {54, 58, "bram", "yz250f"},   {59, 59, "bram", "yz250f_se(2006)"},
    {60, 64, "corvo", "crf250"},  {65, 69, "corvo", "kx250f"},  {70, 74, "corvo", "rmz250"},
    {75, 78, "corvo", "yz250f"},  {79, 79, "corvo", "yz250f_se(2006)"},
    {80, 84, "dunn", "crf250"},   {85, 89, "dunn", "kx250f"},   {90, 94, "dunn", "yz250f"},
    {95, 99, "dunn", "rmz250"},
};

static void gear_set(RosterEntry *e, const char *set, bool body, bool bike) {
    if (body) {
        snprintf(e->rider_texture, sizeof e->rider_texture, "@rider_body-%s.png", set);
        snprintf(e->helmet_texture, sizeof e->helmet_texture, "@rider_head-%s.png", set);
    }
    if (bike) {
        snprintf(e->bike_texture, sizeof e->bike_texture, "@%.40s-%s.png", e->bike, set);
        snprintf(e->wheel_texture, sizeof e->wheel_texture, "@wheels-%s.png", set);
    }
}

// Numbers 80-99 wear full sets, alternating within each five; 20-79 cycle
// through three riding-gear sets and the plain one, and a few 125s carry
// bike graphics as well.
static void roster_build() {
    if (s_fixed_built) return;
    static const char *const k_sets[] = {"alt1", "alt2", "alt3", nullptr};
    memset(s_fixed, 0, sizeof s_fixed);
    for (const RosterGroup &g : k_groups) {
        for (int n = g.first; n <= g.last; n++) {
            RosterEntry *e = &s_fixed[n - 20];
            snprintf(e->number, sizeof e->number, "%d", n);
            copy_text(e->personality, sizeof e->personality, g.personality);
            copy_text(e->bike, sizeof e->bike, g.bike);
            if (n >= 80) {
                gear_set(e, (n - 80) % 5 % 2 == 0 ? "alt1" : "alt2", true, true);
                continue;
            }
            const char *set = k_sets[(n - 20) % 4];
            if (set) gear_set(e, set, true, false);
            if (n == 23 || n == 27 || n == 31 || n == 35) gear_set(e, "alt1", false, true);
        }
    }
    s_fixed_built = true;
}

const RosterEntry *roster_fixed(int i) {
    if (i < 0 || i >= ROSTER_SIZE) return nullptr;
    roster_build();
    return &s_fixed[i];
}

void roster_shuffle(uint32_t seed) {
    roster_build();
    memcpy(g_roster, s_fixed, sizeof g_roster);
    mt_seed(&g_random, seed);
    for (int i = ROSTER_SIZE - 1; i >= 1; i--) {
        int j = (int)((mt_next(&g_random) / 65536) % (uint32_t)i);
        RosterEntry t = g_roster[i];
        g_roster[i] = g_roster[j];
        g_roster[j] = t;
    }
}

// The roster entry for a robot slot type; *next is the next unused entry.
static const RosterEntry *roster_pick(int type, int *next) {
    if (type >= SLOT_ROBOT_NUMBER) {
        char number[16];
        snprintf(number, sizeof number, "%d", type - SLOT_ROBOT_NUMBER);
        for (int i = 0; i < ROSTER_SIZE; i++) {
            if (strcmp(g_roster[i].number, number) == 0) return &g_roster[i];
        }
        // An unknown number rides the next entry instead.
    }
    int i = *next % ROSTER_SIZE;
    (*next)++;
    if (type == SLOT_ROBOT_125 || type == SLOT_ROBOT_250) {
        const char *want = type == SLOT_ROBOT_125 ? "125" : "250";
        for (int k = i; k < ROSTER_SIZE; k++) {
            if (!strstr(g_roster[k].bike, want)) continue;
            RosterEntry t = g_roster[i];
            g_roster[i] = g_roster[k];
            g_roster[k] = t;
            break;
        }
    }
    return &g_roster[i];
}

// --- slots ----------------------------------------------------------------------

static int gates_passed(const BikeState *bike) {
    if (!bike || bike->slot < 0 || bike->slot >= RACE_SLOTS) return 0;
    return g_slots[bike->slot].gates.progress;
}

void race_free_slot(int slot) {
    if (slot < 0 || slot >= RACE_SLOTS) return;
    RiderSlot *s = &g_slots[slot];
    if (g_race_hooks.sound_free) g_race_hooks.sound_free(slot);
    if (s->bike) bike_free(s->bike);
    s->bike = nullptr;
    s->kind = RIDER_REPLAYED;
    gate_progress_reset(&s->gates);
    s->cut_penalty = 0;
    s->laps_removed = 0;
}

static void free_all_bikes() {
    zolm_log("Deallocating bikes\n");
    for (int i = 0; i < RACE_SLOTS; i++) race_free_slot(i);
    zolm_log("Finished deallocating bikes\n");
}

void race_slot_types_from_settings(int out[RACE_SLOTS]) {
    for (int i = 0; i < RACE_SLOTS; i++) out[i] = SLOT_EMPTY;
    for (int i = 0; i < SETTINGS_GATES; i++) out[i] = g_settings.slots[i].index;
}

void race_grid_place(int slot, float *x, float *z, float *heading) {
    int g = g_gates.slot_count;
    if (g > 0) {
        const StartSlot *s = &g_gates.slots[slot % g];
        float back = (float)(slot / g + 0.0625) * 10;
        *x = s->x + sinf(s->heading) * back;
        *z = s->z + cosf(s->heading) * back;
        *heading = s->heading;
        return;
    }
    float half = g_terrain.world_size / 2;
    *x = half + 5.0f * slot;
    *z = half;
    *heading = 0;
}

// The identity of a slot's rider by its type; false: the slot stays empty.
static bool slot_identity(int i, int type, const RaceOptions *o, int *roster_next, const char **personality) {
    RiderSlot *s = &g_slots[i];
    const BikeSetup *setup = &g_settings.setup;
    *personality = nullptr;
    if (type == SLOT_EMPTY) {
        if (!o->playback || !g_race_hooks.demo_rider || !g_race_hooks.demo_rider(i, s)) return false;
        s->kind = RIDER_REPLAYED;
        return true;
    }
    if (type == SLOT_HUMAN) {
        s->kind = RIDER_LOCAL;
        copy_text(s->number, sizeof s->number, setup->number.text);
        copy_text(s->bike_model, sizeof s->bike_model, choice_name(&setup->bike));
        copy_text(s->name, sizeof s->name, setup->name.text);
        copy_text(s->rider_texture, RACE_TEXT_BYTES, gear_list_file(&g_settings.rider_gear, setup->rider_texture.index));
        copy_text(s->helmet_texture, RACE_TEXT_BYTES, gear_list_file(&g_settings.head_gear, setup->head_texture.index));
        copy_text(s->bike_texture, RACE_TEXT_BYTES, gear_list_file(&g_settings.bike_gear, setup->bike_texture.index));
        copy_text(s->wheel_texture, RACE_TEXT_BYTES, gear_list_file(&g_settings.wheel_gear, setup->wheel_texture.index));
        return true;
    }
    if (type == SLOT_ROBOT || type == SLOT_ROBOT_125 || type == SLOT_ROBOT_250 || type >= SLOT_ROBOT_NUMBER) {
        const RosterEntry *e = roster_pick(type, roster_next);
        s->kind = RIDER_ROBOT;
        copy_text(s->number, sizeof s->number, e->number);
        copy_text(s->bike_model, sizeof s->bike_model, bike_list_legacy_name(e->bike));
        copy_text(s->name, sizeof s->name, "Vorevader");
        copy_text(s->rider_texture, RACE_TEXT_BYTES, e->rider_texture);
        copy_text(s->helmet_texture, RACE_TEXT_BYTES, e->helmet_texture);
        copy_text(s->bike_texture, RACE_TEXT_BYTES, e->bike_texture);
        copy_text(s->wheel_texture, RACE_TEXT_BYTES, e->wheel_texture);
        *personality = o->practice ? "tester" : e->personality;
        return true;
    }
    if (type == SLOT_REMOTE) {
        // Without the server's data there is nobody to show.
        if (!g_race_hooks.remote_rider || !g_race_hooks.remote_rider(i, s)) return false;
        s->kind = RIDER_REPLAYED;
        return true;
    }
    // A type nobody knows still gets a bike, held still like a replayed one.
    s->kind = RIDER_REPLAYED;
    copy_text(s->bike_model, sizeof s->bike_model, "rm125");
    snprintf(s->number, sizeof s->number, "%d", (i + 1) % 1000);
    return true;
}

// Steps 10 to 14 of the reset for one slot.
static void slot_make(int i, int type, const RaceOptions *o, int *roster_next) {
    RiderSlot *s = &g_slots[i];
    s->slot_type = type;
    s->kind = RIDER_REPLAYED;
    s->bike_model[0] = s->number[0] = s->name[0] = '\0';
    s->rider_texture[0] = s->helmet_texture[0] = s->bike_texture[0] = s->wheel_texture[0] = '\0';
    s->demo_index = -1;
    s->last_heard = 0;
    float x, z, heading;
    race_grid_place(i, &x, &z, &heading);
    if (o->server && g_race_hooks.server_place) g_race_hooks.server_place(i, &x, &z, &heading);

    const char *personality = nullptr;
    if (!slot_identity(i, type, o, roster_next, &personality)) return;
    if (!physics_ready()) return;
    s->bike = bike_create(s->bike_model, i, s->number, or_none(s->rider_texture), or_none(s->helmet_texture),
                          or_none(s->bike_texture), or_none(s->wheel_texture));
    if (!s->bike) {
        s->kind = RIDER_REPLAYED;
        return;
    }
    if (g_race_hooks.sound_load) g_race_hooks.sound_load(i);
    bike_place(s->bike, x, z, heading);
    if (s->kind == RIDER_LOCAL) {
        const dReal *p = dBodyGetPosition(bike_frame_body(s->bike));
        for (int k = 0; k < 3; k++) s->start_position[k] = (float)p[k];
        g_race.penalty_ticks = 0;
    } else if (s->kind == RIDER_REPLAYED) {
        bike_disable(s->bike);
    }
    if (personality && g_race_hooks.personality) g_race_hooks.personality(i, personality);
}

// --- the reset ------------------------------------------------------------------

static bool choose_track(const RaceOptions *o) {
    char name[TRACK_NAME_MAX];
    name[0] = '\0';
    if (o->playback && g_race_hooks.demo_track) g_race_hooks.demo_track(name, sizeof name);
    if (!name[0]) copy_text(name, sizeof name, o->track ? o->track : settings_track_dir());
    if (!o->reload && g_track.name[0] && strcmp(name, g_track.name) == 0) return true;
    track_unload();
    show("Loading track...");
    return track_load(name, o->update_method);
}

static void first_race_defaults() {
    if (g_race.off_course_scale > 0) return;
    g_race.off_course_bias = 10;
    g_race.off_course_scale = 1.5f;
    g_race.own_slot = g_race.own_place = RACE_NONE;
    g_race.history_version = STATE_VERSION;
}

bool race_reset(const int *slot_types, const RaceOptions *options) {
    RaceOptions o = {};
    if (options) o = *options;
    first_race_defaults();
    RaceHooks *h = &g_race_hooks;

    // 1-2.
    zolm_log("%cFLUSH", LOG_CONTROL);
    if (h->series_store) h->series_store();
    show("Resetting...");
    roster_shuffle((uint32_t)g_race.tick);

    // 3-4.
    show("Remembering lines...");
    if (g_track.name[0] && h->lines_save_clear) h->lines_save_clear();
    if (h->demo_close_playback) h->demo_close_playback();
    if (h->demo_close_recording) h->demo_close_recording();
    show("Cleaning up...");
    free_all_bikes();

    // 5.
    g_race.tick = 0;
    g_race.race_ticks = o.race_ticks > 0 ? o.race_ticks : 0;
    g_race.laps = o.laps;
    double random31 = (double)(mt_next(&g_random) >> 1);
    g_race.start_tick = o.server ? o.server_start_tick
                                 : (int32_t)((2 * random31 / 2147483648.0 + 13) / tick_seconds());
    g_race.time_trial = slot_types == nullptr;
    g_race.standings_count = 0;
    g_race.over = false;
    g_race.lap_line_tick = -1;

    // 6.
    g_race.online = o.server;
    if (!o.server) {
        if (h->remote_clear) h->remote_clear();
        history_clear();
        g_race.own_place = g_race.own_slot = RACE_NONE;
    }

    // 7.
    if (!choose_track(&o)) {
        zolm_log("%cNOFLUSH", LOG_CONTROL);
        return false;
    }

    // 8.
    int types[RACE_SLOTS];
    for (int i = 0; i < RACE_SLOTS; i++) types[i] = SLOT_EMPTY;
    if (g_race.time_trial) {
        types[0] = SLOT_HUMAN;
        g_race.best_lap = g_race.last_lap = 0;
        g_race.tick = (int32_t)(300 / tick_seconds());
    } else {
        for (int i = 0; i < RACE_SLOTS; i++) types[i] = slot_types[i];
    }
    g_race.viewed = -1;
    for (int i = 0; i < RACE_SLOTS && g_race.viewed < 0; i++) {
        if (types[i] != SLOT_EMPTY) g_race.viewed = i;
    }
    if (g_race.viewed < 0) {
        if (!o.playback) types[0] = SLOT_ROBOT;
        g_race.viewed = 0;
    }
    bool human = false;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (types[i] != SLOT_HUMAN) continue;
        if (human) {
            types[i] = SLOT_EMPTY;
            continue;
        }
        human = true;
        g_race.viewed = i;
    }

    // 9.
    show("Analyzing lines...");
    if (h->lines_load) h->lines_load(o.skill);

    // 10-14.
    show("Loading bikes...");
    int roster_next = 0;
    for (int i = 0; i < RACE_SLOTS; i++) slot_make(i, types[i], &o, &roster_next);

    // 15-16.
    history_clear();
    if (o.record && h->demo_start_recording) h->demo_start_recording();
    if (h->roost_clear) h->roost_clear();
    console_message("%d MB texture memory used\n", (int)(texture_memory_used() >> 20));

    // 17.
    if (g_race.race_ticks > 0) {
        g_race.finish_laps = g_race.halfway_laps = RACE_OPEN_LAPS;
    } else {
        g_race.finish_laps = g_race.laps;
        g_race.halfway_laps = (g_race.laps + 1) / 2;
    }
    for (int i = 0; i < GATE_SLOTS_MAX; i++) g_race.gate_drop[i] = i < g_gates.slot_count ? 1.0f : 0.0f;
    g_bike_race.start_tick = g_race.start_tick;
    g_bike_race.running = g_race.tick >= g_race.start_tick;
    memcpy(g_bike_race.crash_delay, g_race.crash_delay, sizeof g_bike_race.crash_delay);
    g_bike_gates_passed = gates_passed;

    // 18.
    if (g_race.time_trial) time_trial_restart();
    if (h->demo_first_work) h->demo_first_work();
    g_race.results_written = false;
    standings_update();

    // 19.
    if (!g_slots[g_race.viewed].bike && g_race.standings_count > 0) g_race.viewed = g_race.standings[0].slot;
    if (physics_ready()) dJointGroupEmpty(g_contact_group);
    RiderSlot *viewed = &g_slots[g_race.viewed];
    if (viewed->bike) {
        if (viewed->kind == RIDER_LOCAL)
            bike_apply_setup(viewed->bike, &g_settings.setup, g_race.tick * tick_seconds(), true);
        const dReal *p = dBodyGetPosition(bike_frame_body(viewed->bike));
        g_race.free_camera[0] = (float)p[0];
        g_race.free_camera[1] = (float)p[1] + 5;
        g_race.free_camera[2] = (float)p[2];
    }
    zolm_log("%cNOFLUSH", LOG_CONTROL);
    return true;
}

void race_free() {
    free_all_bikes();
    for (int i = 0; i < RACE_SLOTS; i++) gate_progress_free(&g_slots[i].gates);
    g_race.standings_count = 0;
    track_unload();
    g_bike_race = BikeRaceInfo{};
    g_bike_gates_passed = nullptr;
}

// --- the tick -------------------------------------------------------------------

static float frame_speed(const BikeState *bike) {
    const dReal *v = dBodyGetLinearVel(bike_frame_body(bike));
    return (float)sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Whether a slot's bike takes part in the rider-to-rider collisions.
static bool collides(int i) {
    const RiderSlot *s = &g_slots[i];
    if (!s->bike) return false;
    if (!g_race.online) return s->kind != RIDER_REPLAYED;
    if (s->kind == RIDER_LOCAL) return true;
    if (s->slot_type != SLOT_REMOTE || g_race.tick - s->last_heard >= 128) return false;
    return !race_rider_left_out(i);
}

// Step 3: track objects, then every pair once, fastest bikes first.
static void rider_collisions() {
    static BikeState *list[RACE_SLOTS];
    static float speed[RACE_SLOTS], reach[RACE_SLOTS];
    int n = 0;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (!collides(i)) continue;
        BikeState *b = g_slots[i].bike;
        if (g_slots[i].kind != RIDER_REPLAYED && bike_is_active(b)) physics_contact_pass(b);
        float v = frame_speed(b);
        int k = n++;
        while (k > 0 && speed[k - 1] < v) {   // stable: equal speeds keep slot order
            list[k] = list[k - 1];
            speed[k] = speed[k - 1];
            k--;
        }
        list[k] = b;
        speed[k] = v;
    }
    for (int i = 0; i < n; i++) reach[i] = bike_reach(list[i]);
    for (int i = 0; i < n; i++) {
        const dReal *pi = dBodyGetPosition(bike_frame_body(list[i]));
        for (int k = i + 1; k < n; k++) {
            const dReal *pk = dBodyGetPosition(bike_frame_body(list[k]));
            double dx = pi[0] - pk[0], dy = pi[1] - pk[1], dz = pi[2] - pk[2], r = reach[i] + reach[k];
            if (dx * dx + dy * dy + dz * dz <= r * r) bike_pair(list[i], list[k], false, g_race.tick);
        }
    }
}

static void statue_turn(int statue, float angle) {
    if (statue < 0 || statue >= g_track.statue_count) return;
    Statue *s = &g_track.statues[statue];
    float base[9];
    statue_orientation(s->x, s->z, s->angle, base);
    float c = cosf(angle), sn = sinf(angle);
    const float rx[9] = {1, 0, 0, 0, c, -sn, 0, sn, c};
    for (int r = 0; r < 3; r++) {
        for (int col = 0; col < 3; col++) {
            float v = 0;
            for (int k = 0; k < 3; k++) v += base[3 * r + k] * rx[3 * k + col];
            s->orientation[3 * r + col] = v;
        }
    }
}

// Step 9: the bars fall within 1/8 s of the start.
static void gate_drop() {
    bool spectator = g_race.online && g_race.own_place == RACE_NONE;
    int32_t end = g_race.start_tick + (int32_t)(10 / tick_seconds()) + (spectator ? 127 : 0);
    if (g_race.tick >= end) return;
    static bool turned[1 << 16];
    int count = g_gates.slot_count < GATE_SLOTS_MAX ? g_gates.slot_count : GATE_SLOTS_MAX;
    int limit = g_track.statue_count < (1 << 16) ? g_track.statue_count : (1 << 16);
    for (int i = 0; i < count; i++) {
        int st = g_gates.slots[i].statue;
        if (st >= 0 && st < limit) turned[st] = false;
    }
    for (int i = 0; i < count; i++) {
        float *v = &g_race.gate_drop[i];
        if (g_race.tick >= g_race.start_tick && *v > 0) {
            *v -= (float)(8 * tick_seconds());
            if (*v < 0) *v = 0;
        }
        int st = g_gates.slots[i].statue;
        if (st < 0 || st >= limit || turned[st]) continue;
        turned[st] = true;
        statue_turn(st, *v * GATE_TURN);
    }
}

static int laps_of(int slot) { return g_slots[slot].bike ? race_laps_at(g_slots[slot].gates.progress) : 0; }

void race_step() {
    RaceHooks *h = &g_race_hooks;
    int32_t now = g_race.tick;
    bool spectator = g_race.online && g_race.own_place == RACE_NONE;

    // 1.
    for (int i = 0; i < RACE_SLOTS; i++) {
        RiderSlot *s = &g_slots[i];
        if (s->bike && s->kind == RIDER_REPLAYED) history_apply(i, s->bike, spectator ? now - 127 : now, g_race.history_version);
    }
    // 2.
    int laps0 = laps_of(0);
    int ghost_progress = g_slots[1].bike ? g_slots[1].gates.progress : -1;

    // A bike that left the finite world is put back before anything touches it.
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (g_slots[i].bike) physics_bike_recover(g_slots[i].bike, now);
    }
    // 3.
    rider_collisions();
    // 4.
    static BikeState *all[RACE_SLOTS];
    int n = 0;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (g_slots[i].bike) all[n++] = g_slots[i].bike;
    }
    for (int k = 0; k < n; k++) physics_bike_roost(all[(now % n + k) % n], g_race_tick_options.roost_frequency);
    // 5.
    physics_world_step();
    // 6.
    if (g_race_tick_options.erosion) {
        for (int i = 0; i < RACE_SLOTS; i++) {
            RiderSlot *s = &g_slots[i];
            if (s->bike && s->kind != RIDER_REPLAYED && bike_is_active(s->bike)) physics_bike_erosion(s->bike);
        }
    }
    // 7.
    g_bike_race.running = now >= g_race.start_tick;
    for (int i = 0; i < RACE_SLOTS; i++) {
        RiderSlot *s = &g_slots[i];
        if (!s->bike) continue;
        if (s->kind == RIDER_ROBOT && h->autopilot) h->autopilot(i, s->bike);
        if (g_race.online && s->kind == RIDER_REPLAYED && h->remote_update) h->remote_update(i, s->bike);
        if (g_race.online && s->kind == RIDER_LOCAL) race_false_start(i);
        if (bike_is_active(s->bike)) bike_update(s->bike, now);
        if (g_race.online && s->kind != RIDER_LOCAL) continue;
        GateRace gr = {now, g_race.finish_laps, g_race.standings_count > 0 ? g_race.standings[0].progress : -1};
        if (gate_step(&s->gates, s->bike, &gr) >= 0) standings_update();
    }
    // 8-9.
    if (h->roost_update) h->roost_update();
    gate_drop();
    // 10-11.
    g_race.tick++;
    if (g_race.online && (g_race.tick & 511) == 510) standings_update();
    if (h->demo_tick) h->demo_tick();
    // 12.
    if (g_race.time_trial) race_time_trial_lap(laps0, ghost_progress);
}
