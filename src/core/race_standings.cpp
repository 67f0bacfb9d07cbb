// The standings with finish detection and cutting penalties, the time
// trial's lap logic, and the server-race rules (left-out riders, ghosts,
// false starts).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/bike.h"
#include "bike/physics.h"
#include "core/console.h"
#include "core/race.h"
#include "core/settings.h"
#include "replay/history.h"
#include "track/content.h"

static const int32_t SECOND = 128;   // ticks

static double tick_seconds() { return g_settings.tick > 0 ? g_settings.tick : PHYSICS_STEP; }

int race_laps_at(int progress) {
    if (!gates_timed() || progress < g_gates.first_count) return 0;
    return (progress - g_gates.first_count) / g_gates.normal_count + 1;
}

// The tick a rider passed a position: start_tick for position -1, -1 when
// it was not passed or skipped.
static int64_t passed_at(const GateProgress *g, int64_t position, int32_t start_tick) {
    if (position == -1) return start_tick;
    if (position < 0 || position >= g->log_count || position >= g->progress) return -1;
    return g->log[position];
}

// Lap line position of lap n (1 the first).
static int64_t lap_line(int n) { return g_gates.first_count + (int64_t)g_gates.normal_count * (n - 1) - 1; }

// --- cutting --------------------------------------------------------------------

// Average ticks the other riders took from position a to position b with
// every position between logged, over the same stretch of every lap; -1
// when nobody has one.
static int64_t stretch_average(const GateProgress *const *riders, int count, int index, int64_t a, int64_t b,
                               int32_t start_tick) {
    int64_t sum = 0, n = 0;
    int64_t f = g_gates.first_count, l = g_gates.normal_count;
    for (int i = 0; i < count; i++) {
        if (i == index || !riders[i]) continue;
        const GateProgress *g = riders[i];
        // Laps earlier and later share the stretch only within the normal laps.
        int64_t k0 = 0, k1 = 0;
        if (a >= f) {
            k0 = -((a - f) / l);
            k1 = (g->log_count - 1 - b) / l;
        }
        for (int64_t k = k0; k <= k1; k++) {
            int64_t t0 = passed_at(g, a + k * l, start_tick), t1 = passed_at(g, b + k * l, start_tick);
            if (t0 < 0 || t1 < 0) continue;
            bool whole = true;
            for (int64_t p = a + k * l + 1; p < b + k * l && whole; p++) whole = passed_at(g, p, start_tick) >= 0;
            if (!whole) continue;
            sum += t1 - t0;
            n++;
        }
    }
    return n > 0 ? sum / n : -1;
}

int32_t cutting_penalty(const GateProgress *const *riders, int count, int index, int32_t start_tick) {
    if (!gates_timed() || index < 0 || index >= count || !riders[index]) return 0;
    const GateProgress *g = riders[index];
    int end = g->log_count < g->progress ? g->log_count : g->progress;
    int64_t penalty = 0;
    int p = 0;
    while (p < end) {
        if (g->log[p] != -1) {
            p++;
            continue;
        }
        int run = p;
        while (p < end && g->log[p] == -1) p++;
        if (p >= end) break;   // not yet ended by a crossing
        int64_t before = run - 1;
        int64_t t0 = passed_at(g, before, start_tick);
        if (t0 < 0) continue;
        int64_t own = g->log[p] - t0;
        int64_t average = stretch_average(riders, count, index, before, p, start_tick);
        int64_t allowed = (average < 0 ? 60 * SECOND : average) + SECOND;
        if (own < allowed) penalty += allowed - own;
    }
    return penalty > INT32_MAX ? INT32_MAX : (int32_t)penalty;
}

int cutting_laps(const GateProgress *rider, int32_t start_tick, int32_t *penalty) {
    int laps = race_laps_at(rider->progress);
    int64_t best = 0;
    int best_lap = 0;
    for (int n = 1; n <= laps; n++) {
        int64_t t0 = passed_at(rider, n == 1 ? -1 : lap_line(n - 1), start_tick);
        int64_t t1 = passed_at(rider, lap_line(n), start_tick);
        if (t0 < 0 || t1 < 0 || t1 - t0 <= 0) continue;
        if (best == 0 || t1 - t0 < best) {
            best = t1 - t0;
            best_lap = n;
        }
    }
    if (best_lap <= 1) return 0;
    int removed = 0;
    while (*penalty > best && rider->progress - (int64_t)g_gates.normal_count * (removed + 1) >= g_gates.first_count) {
        removed++;
        *penalty -= (int32_t)best;
    }
    return removed;
}

int timed_finish_laps(const GateProgress *const *riders, int count, int leader_laps, int finish_laps, int laps,
                      int32_t limit_tick) {
    if (!gates_timed()) return finish_laps;
    int o = leader_laps - 1;
    if (o < 1) o = 1;
    if (o > finish_laps) o = finish_laps;
    for (;; o++) {
        int64_t line = lap_line(o), earliest = -1;
        for (int i = 0; i < count; i++) {
            if (!riders[i]) continue;
            int64_t t = passed_at(riders[i], line, 0);
            if (t >= 0 && (earliest < 0 || t < earliest)) earliest = t;
        }
        if (earliest < 0) break;
        if (earliest >= limit_tick) {
            if (o + laps < finish_laps) finish_laps = o + laps;
            break;
        }
        if (o + laps + 1 > finish_laps) finish_laps = o + laps + 1;
    }
    return finish_laps;
}

// --- the standings ---------------------------------------------------------------

static bool entry_before(const StandingsEntry *a, const StandingsEntry *b) {
    if (a->progress != b->progress) return a->progress > b->progress;
    if (a->last_tick != b->last_tick) return a->last_tick < b->last_tick;
    return a->slot < b->slot;
}

static void standings_build() {
    RaceRecord *r = &g_race;
    r->standings_count = 0;
    for (int i = 0; i < RACE_SLOTS; i++) {
        const RiderSlot *s = &g_slots[i];
        if (!s->bike) continue;
        StandingsEntry e;
        e.slot = i;
        e.progress = s->gates.progress - s->laps_removed * g_gates.normal_count;
        int64_t last = passed_at(&s->gates, s->gates.progress - 1, 0);
        e.last_tick = (int32_t)((last < 0 ? 0 : last) + s->cut_penalty);
        int k = r->standings_count++;
        while (k > 0 && entry_before(&e, &r->standings[k - 1])) {
            r->standings[k] = r->standings[k - 1];
            k--;
        }
        r->standings[k] = e;
    }
}

// Whether any state of the slot's history lies within ticks of now.
static bool history_near(int slot, int64_t now, int64_t ticks) {
    const RiderHistory *h = &g_rider_history[slot];
    for (int i = 0; i < HISTORY_LENGTH; i++) {
        if (h->ticks[i] >= 0 && llabs(h->ticks[i] - now) <= ticks) return true;
    }
    return false;
}

static bool passed_over(int slot) {
    const RiderSlot *s = &g_slots[slot];
    if (!g_race.online) return s->kind == RIDER_REPLAYED && !history_near(slot, g_race.tick, 10 * SECOND);
    if (s->kind == RIDER_LOCAL) return g_race.own_place == RACE_NONE;
    return s->slot_type == SLOT_REMOTE && g_race.tick - s->last_heard >= SECOND;
}

static void penalties_fix() {
    static const GateProgress *riders[RACE_SLOTS];
    for (int i = 0; i < RACE_SLOTS; i++) riders[i] = g_slots[i].bike ? &g_slots[i].gates : nullptr;
    for (int i = 0; i < RACE_SLOTS; i++) {
        RiderSlot *s = &g_slots[i];
        if (!s->bike) continue;
        int32_t penalty = cutting_penalty(riders, RACE_SLOTS, i, g_race.start_tick);
        s->laps_removed = penalty > 0 ? cutting_laps(&s->gates, g_race.start_tick, &penalty) : 0;
        s->cut_penalty = penalty;
    }
}

void standings_update() {
    RaceRecord *r = &g_race;
    standings_build();
    if (r->standings_count == 0) return;

    if (r->race_ticks > 0) {
        int leader_laps = race_laps_at(r->standings[0].progress);
        if (r->tick >= r->start_tick + r->race_ticks / 2 && r->halfway_laps == RACE_OPEN_LAPS)
            r->halfway_laps = leader_laps + 1;
        if (r->tick >= r->start_tick + r->race_ticks) {
            static const GateProgress *riders[RACE_SLOTS];
            for (int i = 0; i < r->standings_count; i++) riders[i] = &g_slots[r->standings[i].slot].gates;
            r->finish_laps = timed_finish_laps(riders, r->standings_count, leader_laps, r->finish_laps, r->laps,
                                               r->start_tick + r->race_ticks);
        }
    }

    for (int i = 0; i < r->standings_count; i++) {
        int slot = r->standings[i].slot;
        if (!g_slots[slot].gates.finished && !passed_over(slot)) {
            r->over = false;
            return;
        }
    }
    r->over = true;
    if (r->results_written) return;
    penalties_fix();
    standings_build();
    if (g_slots[r->standings[0].slot].gates.finished && g_race_hooks.results_write) g_race_hooks.results_write();
    r->results_written = true;
    if (g_race_hooks.series_store) g_race_hooks.series_store();
}

int standings_place(int slot) {
    for (int i = 0; i < g_race.standings_count; i++) {
        if (g_race.standings[i].slot == slot) return i;
    }
    return -1;
}

// --- time trial -----------------------------------------------------------------

static GateRace gate_race() {
    GateRace gr = {g_race.tick, g_race.finish_laps, g_race.standings_count > 0 ? g_race.standings[0].progress : -1};
    return gr;
}

static void free_ghosts() {
    for (int i = 1; i < RACE_SLOTS; i++) race_free_slot(i);
}

void time_trial_restart() {
    if (g_race_hooks.ghost_close) g_race_hooks.ghost_close();
    free_ghosts();
    RiderSlot *r0 = &g_slots[0];
    if (r0->bike && g_track.name[0] && gates_timed()) {
        int c = g_gates.first_count - 2;
        if (c < 0) c = 0;
        const TimingGate *g = &g_gates.gates[gate_at(c)];
        float d = sqrtf(g->dx * g->dx + g->dz * g->dz);
        float heading = d > 0 ? bike_heading(g->dx / d, g->dz / d) : 0;
        bike_place(r0->bike, g->x, g->z, heading);
        rider_reset_progress(&r0->gates, c);
    }
    g_race.last_lap = 0;
    g_race.lap_line_tick = -1;
    standings_update();
}

void race_time_trial_lap(int laps_before, int ghost_progress) {
    RiderSlot *r0 = &g_slots[0];
    if (!r0->bike || !gates_timed()) return;
    int laps = race_laps_at(r0->gates.progress);
    if (laps <= laps_before) return;
    int64_t crossing = passed_at(&r0->gates, lap_line(laps), 0);
    if (crossing < 0) return;
    g_race.last_lap = g_race.lap_line_tick >= 0 ? (int32_t)(crossing - g_race.lap_line_tick) : 0;
    g_race.lap_line_tick = (int32_t)crossing;
    if (g_race.last_lap > 0 && (g_race.best_lap == 0 || g_race.last_lap < g_race.best_lap))
        g_race.best_lap = g_race.last_lap;

    bool fastlap = g_race_hooks.fastlap_exists && g_race_hooks.fastlap_exists();
    bool keep = !fastlap || (r0->gates.progress > ghost_progress && g_race.last_lap > 0);
    free_ghosts();
    if (g_race_hooks.ghost_lap) g_race_hooks.ghost_lap(keep);

    // The lap line is the next position again: the crossing just made is
    // logged anew, so each lap is timed from it.
    int line = g_gates.first_count - 1;
    for (int i = 0; i < RACE_SLOTS; i++) {
        if (g_slots[i].bike) rider_reset_progress(&g_slots[i].gates, line);
    }
    GateRace gr = gate_race();
    gate_step(&r0->gates, r0->bike, &gr);
    standings_update();
}

// --- server races ---------------------------------------------------------------

// Slow in one of the last three gate sections against the first rider of
// the standings who has passed the same section.
static bool slow_recently(int slot) {
    const GateProgress *g = &g_slots[slot].gates;
    for (int k = 0; k < 3; k++) {
        int64_t end = (int64_t)g->progress - k, start = end - 1;
        if (start < 0) break;
        int64_t t0 = passed_at(g, start, g_race.start_tick);
        if (t0 < 0) continue;
        int64_t t1 = passed_at(g, end, g_race.start_tick);
        int64_t own = (t1 < 0 ? g_race.tick : t1) - t0;
        for (int i = 0; i < g_race.standings_count; i++) {
            int other = g_race.standings[i].slot;
            if (other == slot) continue;
            const GateProgress *o = &g_slots[other].gates;
            int64_t a = passed_at(o, start, g_race.start_tick), b = passed_at(o, end, g_race.start_tick);
            if (a < 0 || b < 0) continue;
            if (own >= g_race.off_course_scale * (b - a) + g_race.off_course_bias * SECOND) return true;
            break;
        }
    }
    return false;
}

static bool out_of_race(int slot) {
    const GateProgress *g = &g_slots[slot].gates;
    return g->finished || g->progress < g_gates.first_count || slow_recently(slot);
}

bool race_rider_left_out(int slot) {
    if (slot < 0 || slot >= RACE_SLOTS || !g_race.online) return false;
    if (g_race.tick < g_race.start_tick + 10 * SECOND) return false;
    if (!out_of_race(slot)) return false;
    int own = g_race.own_slot;
    return !(own >= 0 && own < RACE_SLOTS && own != slot && g_slots[own].bike && out_of_race(own));
}

bool rider_is_ghost(int slot) {
    if (slot < 0 || slot >= RACE_SLOTS) return true;
    const RiderSlot *s = &g_slots[slot];
    if (!s->bike) return true;
    if (g_race.online && g_race.own_place == RACE_NONE && s->kind == RIDER_LOCAL && slot != g_race.viewed) return true;
    if (s->kind == RIDER_REPLAYED && !history_covers(slot, g_race.tick)) return true;
    if (g_race.online && s->slot_type == SLOT_REMOTE && g_race.tick - s->last_heard >= SECOND) return true;
    return g_race.online && s->kind != RIDER_LOCAL && race_rider_left_out(slot);
}

static void hold(BikeState *bike) {
    bike_set_front_brake(bike, 1);
    bike_set_rear_brake(bike, 1);
    bike_set_back_up(bike, 0);
    bike_set_clutch(bike, 0);
    bike_set_throttle(bike, 0);
    bike_set_dab(bike, 1);
}

void race_false_start(int slot) {
    if (slot < 0 || slot >= RACE_SLOTS || !g_slots[slot].bike) return;
    RiderSlot *s = &g_slots[slot];
    if (g_race.penalty_ticks == 0 && g_race.tick < g_race.start_tick) {
        bike_set_dab(s->bike, 1);
        const dReal *p = dBodyGetPosition(bike_frame_body(s->bike));
        double dx = p[0] - s->start_position[0], dy = p[1] - s->start_position[1], dz = p[2] - s->start_position[2];
        if (dx * dx + dy * dy + dz * dz >= 9) {
            g_race.penalty_ticks = g_race.start_tick + (int32_t)(15 / tick_seconds()) - g_race.tick;
            console_message("15 second false start penalty");
        }
    }
    if (g_race.penalty_ticks > 0) {
        g_race.penalty_ticks--;
        hold(s->bike);
    }
}

// --- texts ----------------------------------------------------------------------

void race_time_text(int32_t ticks, char *out, int size) {
    if (!out || size <= 0) return;
    int64_t ms = (int64_t)llround(ticks * tick_seconds() * 1000);
    bool negative = ms < 0;
    if (negative) ms = -ms;
    snprintf(out, (size_t)size, "%s%d:%02d.%03d", negative ? "-" : "", (int)(ms / 60000), (int)(ms / 1000 % 60),
             (int)(ms % 1000));
}

bool race_penalty_text(int slot, char *out, int size) {
    if (slot < 0 || slot >= RACE_SLOTS || !out || size <= 0) return false;
    const RiderSlot *s = &g_slots[slot];
    if (s->cut_penalty <= 0 && s->laps_removed <= 0) return false;
    int n = snprintf(out, (size_t)size, "%3s penalized ", s->number);
    if (n < 0 || n >= size) return true;
    if (s->laps_removed > 0) {
        int m = snprintf(out + n, (size_t)(size - n), s->laps_removed == 1 ? "%d lap " : "%d laps ", s->laps_removed);
        if (m < 0 || m >= size - n) return true;
        n += m;
    }
    snprintf(out + n, (size_t)(size - n), "%.2f seconds for cutting track", s->cut_penalty * tick_seconds());
    return true;
}
