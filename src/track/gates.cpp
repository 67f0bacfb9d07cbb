// Timing gates: the "timing_gates" reader and writer, the unrolled lap
// sequence, and each rider's gate passages, laps and finish.
//
// A rider's progress counts sequence positions without end: position p < F
// is entry p, later positions repeat the normal lap. The per-step scan
// looks a little behind and ahead of the next expected position so that a
// rider who cuts up to two gates is still timed (the cut positions stay -1
// in the log for the penalties), but never past a lap line that has not
// been crossed.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/bike.h"
#include "core/console.h"
#include "core/game.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "track/gates.h"

GateTable g_gates;
GateHooks g_gate_hooks;

static const char *const k_statue_defaults[3] = {"@startgate.vx", "@startgate.ppm", "@startgate.shp"};
static const double PI = 3.14159265358979323846;
static const float STATUE_AHEAD = 3.0f;   // ft from the slot to its gate bars
enum { WORD_BYTES = 81, LOG_FIRST_CAPACITY = 64 };

// --- names ----------------------------------------------------------------------

static char *copy_text(const char *text) {
    size_t n = strlen(text) + 1;
    char *copy = (char *)malloc(n);
    if (copy) memcpy(copy, text, n);
    return copy;
}

// A statue name stays inside the data directories: "null", or an "@" name
// without a ".." part. Anything else gets the default.
static bool name_is_safe(const char *name) {
    if (!strcmp(name, "null")) return true;
    if (name[0] != '@') return false;
    const char *part = name + 1;
    for (;;) {
        size_t n = strcspn(part, "/\\");
        if (n == 2 && part[0] == '.' && part[1] == '.') return false;
        if (!part[n]) return true;
        part += n + 1;
    }
}

// --- reading --------------------------------------------------------------------

static bool finite3(const float *v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

static bool is_word(const char *text, const char *word) {
    size_t n = strlen(word);
    return !strncmp(text, word, n) && (text[n] == '\0' || isspace((unsigned char)text[n]));
}

static float wrap_heading(float a) {
    if (a >= -PI && a <= PI) return a;
    double t = (a + PI) / (2 * PI);
    return (float)((t - floor(t)) * 2 * PI - PI);
}

static void slot_set(StartSlot *slot, const float v[4], char names[3][GATE_LINE_BYTES], int named) {
    slot->x = v[0];
    slot->y = v[1];
    slot->z = v[2];
    slot->heading = wrap_heading(v[3]);
    slot->statue_x = slot->x - STATUE_AHEAD * sinf(slot->heading);
    slot->statue_z = slot->z - STATUE_AHEAD * cosf(slot->heading);
    char **fields[3] = {&slot->model, &slot->texture, &slot->shape};
    for (int i = 0; i < 3; i++) {
        const char *name = i < named && name_is_safe(names[i]) ? names[i] : k_statue_defaults[i];
        *fields[i] = copy_text(name);
    }
    slot->statue = -1;
}

// The slot lines after "startinggate:". Returns true when they ended at the
// "checkpoints:" line. Slot lines past the last slot are read and dropped.
static bool read_slots(VfsFile *f, GateTable *table) {
    char line[GATE_LINE_BYTES];
    char names[3][GATE_LINE_BYTES];
    while (vfs_gets(f, line, sizeof line)) {
        const char *text = line + strspn(line, " \t\r\n\v\f");
        if (is_word(text, "checkpoints:")) return true;
        float v[4];
        int n = sscanf(line, " [ %f %f %f ] %f %1023s %1023s %1023s", &v[0], &v[1], &v[2], &v[3], names[0],
                       names[1], names[2]);
        if (n < 4 || !finite3(v) || !std::isfinite(v[3])) return false;
        if (table->slot_count >= GATE_SLOTS_MAX) continue;
        slot_set(&table->slots[table->slot_count++], v, names, n - 4);
    }
    return false;
}

// Gates while all seven values are read; those past the last are dropped.
static void read_gates(VfsFile *f, GateTable *table) {
    float v[7];
    while (vfs_scanf(f, "%f [ %f %f %f ] [ %f %f %f ] ", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) == 7) {
        if (!finite3(v) || !finite3(v + 4)) return;
        if (table->gate_count >= GATES_MAX) continue;
        TimingGate *g = &table->gates[table->gate_count++];
        g->radius = v[0];
        g->x = v[1], g->y = v[2], g->z = v[3];
        g->dx = v[4], g->dy = v[5], g->dz = v[6];
        g->flagged = 0;
    }
}

// Integers into list (room for GATE_LIST_MAX); further ones are dropped.
// Returns the count and the switch points among them.
static int read_list(VfsFile *f, int32_t *list, int *switches) {
    int count = 0, value;
    *switches = 0;
    while (vfs_scanf(f, "%d", &value) == 1) {
        if (count >= GATE_LIST_MAX) continue;
        list[count++] = value;
        if (value < GATE_PLAIN) *switches += 1;
    }
    return count;
}

static int32_t normalise_entry(int32_t e, int gate_count) {
    if (e < 0) return 0;
    int32_t gate = e % GATE_PLAIN;
    if (gate > gate_count - 1) gate = gate_count - 1;
    return (e >= GATE_PLAIN ? GATE_PLAIN : 0) + gate;
}

static void drop_timing(GateTable *table) {
    table->gate_count = 0;
    table->first_count = table->normal_count = 0;
    table->first_switch_count = table->normal_switch_count = 0;
}

void timing_gates_free(GateTable *table) {
    for (int i = 0; i < table->slot_count; i++) {
        free(table->slots[i].model);
        free(table->slots[i].texture);
        free(table->slots[i].shape);
    }
    memset(table, 0, sizeof *table);
}

bool timing_gates_read(VfsFile *f, GateTable *table) {
    timing_gates_free(table);
    char word[WORD_BYTES];
    if (vfs_scanf(f, " %80s ", word) != 1) return false;
    bool checkpoints = is_word(word, "checkpoints:");
    if (is_word(word, "startinggate:")) checkpoints = read_slots(f, table);
    if (!checkpoints) return false;
    read_gates(f, table);

    int32_t first[GATE_LIST_MAX], normal[GATE_LIST_MAX];
    int first_count = 0, normal_count = 0, first_switches = 0, normal_switches = 0;
    bool more = vfs_scanf(f, " %80s ", word) == 1;
    if (more && is_word(word, "firstlap:")) {
        first_count = read_list(f, first, &first_switches);
        more = vfs_scanf(f, " %80s ", word) == 1;
    }
    if (more && is_word(word, "normallap:")) normal_count = read_list(f, normal, &normal_switches);

    if (table->gate_count < 1 || first_count < 1 || normal_count < 1 || first_switches < 1 || normal_switches < 1) {
        drop_timing(table);
        return false;
    }
    for (int i = 0; i < first_count; i++) table->sequence[i] = normalise_entry(first[i], table->gate_count);
    for (int i = 0; i < normal_count; i++)
        table->sequence[first_count + i] = normalise_entry(normal[i], table->gate_count);
    table->first_count = first_count;
    table->normal_count = normal_count;
    table->first_switch_count = first_switches;
    table->normal_switch_count = normal_switches;
    return true;
}

bool timing_gates_load(const char *name) {
    timing_gates_free(&g_gates);
    VfsFile *f = vfs_open(name, "rb");
    bool timed = false;
    if (f) {
        timed = timing_gates_read(f, &g_gates);
        vfs_close(f);
    }
    if (g_gate_hooks.tables_reset) g_gate_hooks.tables_reset();
    if (timed && g_debug_level >= 1) {
        zolm_log("Found %d timing gates, first lap has %d gates, normal lap has %d\n", g_gates.gate_count,
                 g_gates.first_count, g_gates.normal_count);
    }
    return timed;
}

// --- writing --------------------------------------------------------------------

static const char *name_or_null(const char *name) { return name && name[0] ? name : "null"; }

static bool statue_is_default(const StartSlot *slot) {
    const char *names[3] = {slot->model, slot->texture, slot->shape};
    for (int i = 0; i < 3; i++) {
        if (!names[i] || strcmp(names[i], k_statue_defaults[i])) return false;
    }
    return true;
}

bool timing_gates_write(VfsFile *f, const GateTable *table) {
    bool ok = true;
    if (table->slot_count > 0) {
        ok &= vfs_printf(f, "startinggate:\n") >= 0;
        for (int i = 0; i < table->slot_count; i++) {
            const StartSlot *s = &table->slots[i];
            ok &= vfs_printf(f, "[%f %f %f]", s->x, s->y, s->z) >= 0;
            ok &= vfs_printf(f, " %f", s->heading) >= 0;
            if (statue_is_default(s)) {
                ok &= vfs_printf(f, "\n") >= 0;
            } else {
                ok &= vfs_printf(f, " %s %s %s\n", name_or_null(s->model), name_or_null(s->texture),
                                 name_or_null(s->shape)) >= 0;
            }
        }
    }
    if (table->gate_count > 0) {
        ok &= vfs_printf(f, "checkpoints:\n") >= 0;
        for (int i = 0; i < table->gate_count; i++) {
            const TimingGate *g = &table->gates[i];
            ok &= vfs_printf(f, "%f ", g->radius) >= 0;
            ok &= vfs_printf(f, "[%f %f %f]", g->x, g->y, g->z) >= 0;
            ok &= vfs_printf(f, " ") >= 0;
            ok &= vfs_printf(f, "[%f %f %f]", g->dx, g->dy, g->dz) >= 0;
            ok &= vfs_printf(f, "\n") >= 0;
        }
    }
    if (table->first_count > 0) {
        ok &= vfs_printf(f, "firstlap:\n") >= 0;
        for (int i = 0; i < table->first_count; i++) ok &= vfs_printf(f, "%d ", table->sequence[i]) >= 0;
        ok &= vfs_printf(f, "\n") >= 0;
    }
    if (table->normal_count > 0) {
        ok &= vfs_printf(f, "normallap:\n") >= 0;
        for (int i = 0; i < table->normal_count; i++)
            ok &= vfs_printf(f, "%d ", table->sequence[table->first_count + i]) >= 0;
        ok &= vfs_printf(f, "\n") >= 0;
    }
    vfs_flush(f);
    return ok && !ferror(f->file);
}

bool timing_gates_save(const char *name) {
    VfsFile *f = vfs_open(name, "wb");
    if (!f) {
        console_message("Can't open 'timing_gates'\n");
        return false;
    }
    bool ok = timing_gates_write(f, &g_gates);
    vfs_close(f);
    return ok;
}

// --- the sequence ---------------------------------------------------------------

bool gates_timed() { return g_gates.gate_count > 0 && g_gates.first_count > 0 && g_gates.normal_count > 0; }

int32_t gate_entry(int position) {
    if (!gates_timed() || position < 0) return -1;
    int f = g_gates.first_count;
    if (position < f) return g_gates.sequence[position];
    return g_gates.sequence[f + (position - f) % g_gates.normal_count];
}

int gate_at(int position) {
    int32_t e = gate_entry(position);
    return e >= GATE_PLAIN ? e - GATE_PLAIN : e;
}

bool gate_is_lap_end(int position) {
    if (!gates_timed() || position < 0) return false;
    int64_t k = (int64_t)position + 1 - g_gates.first_count;
    return k >= 0 && k % g_gates.normal_count == 0;
}

bool gate_is_switch_point(int position) {
    int32_t e = gate_entry(position);
    return e >= 0 && e < GATE_PLAIN;
}

// --- riders ---------------------------------------------------------------------

void gate_progress_reset(GateProgress *rider) {
    rider->progress = 0;
    rider->log_count = 0;
    rider->finished = false;
    rider->fallen = 0;
    rider->was_crashed = false;
}

void gate_progress_free(GateProgress *rider) {
    free(rider->log);
    memset(rider, 0, sizeof *rider);
}

static bool logged(const GateProgress *rider, int position) {
    return position < rider->log_count && rider->log[position] != -1;
}

// Room for count entries; false (log as it was) when it cannot grow.
static bool log_reserve(GateProgress *rider, int count) {
    if (count <= rider->log_capacity) return true;
    if (count > GATE_LOG_MAX) return false;
    int capacity = rider->log_capacity > 0 ? rider->log_capacity : LOG_FIRST_CAPACITY;
    while (capacity < count) capacity *= 2;
    int32_t *log = (int32_t *)realloc(rider->log, (size_t)capacity * sizeof *log);
    if (!log) return false;
    rider->log = log;
    rider->log_capacity = capacity;
    return true;
}

// Within the gate's horizontal circle and on the far side of the plane
// through its centre across its direction.
static bool through_gate(const TimingGate *g, const float wheel[3]) {
    float ddx = wheel[0] - g->x, ddz = wheel[2] - g->z;
    return ddx * ddx + ddz * ddz <= g->radius * g->radius && ddx * g->dx + ddz * g->dz >= 0;
}

// The position the scan finds passed this step, or -1; *offset its offset
// from the progress. A gate behind the rider counts only when some position
// scanned so far was never logged (it is being made up).
static int scan_passage(const GateProgress *rider, const float wheel[3], int *offset) {
    static const int k_offsets[] = {-3, -2, 0, 1, 2};
    bool missing = false;
    for (int i : k_offsets) {
        int j = rider->progress + i;
        if (j < 0) continue;
        if (!logged(rider, j)) missing = true;
        if (through_gate(&g_gates.gates[gate_at(j)], wheel)) {
            if (i >= 0 || missing) {
                *offset = i;
                return j;
            }
        } else if (gate_is_lap_end(j) && !logged(rider, j)) {
            return -1;
        }
    }
    return -1;
}

static bool position_passed(int progress, int64_t position) { return progress > position; }

int gate_check(GateProgress *rider, BikeState *bike, const float wheel[3], const GateRace *race) {
    if (!gates_timed() || rider->finished) return -1;
    if (g_gate_hooks.record_tick) g_gate_hooks.record_tick(bike, rider);
    int offset = 0;
    int j = scan_passage(rider, wheel, &offset);
    if (j < 0) return -1;
    // A log that cannot grow leaves the rider as it was: the same passage
    // is found again next step.
    if (!log_reserve(rider, j + 1)) return -1;
    if (rider->fallen && g_gate_hooks.canceled_mark) g_gate_hooks.canceled_mark(bike, rider);

    rider->progress = j;
    while (rider->log_count <= j) rider->log[rider->log_count++] = -1;
    rider->log[j] = race->tick;
    if (gate_is_switch_point(j) && g_gate_hooks.switch_passage) g_gate_hooks.switch_passage(bike, rider, j, offset);

    rider->progress = j + 1;
    if (gate_is_lap_end(j) && !rider->finished) {
        int64_t last = race->laps > 0 ? g_gates.first_count - 1 + (int64_t)g_gates.normal_count * (race->laps - 1) : 0;
        if (position_passed(race->leader_progress, last) || rider_lap(rider) >= race->laps) {
            rider->finished = true;
            if (g_gate_hooks.finish_slowdown) g_gate_hooks.finish_slowdown(bike);
        }
    }
    rider->fallen = 0;
    return j;
}

int gate_step(GateProgress *rider, BikeState *bike, const GateRace *race) {
    if (!gates_timed() || rider->finished) return -1;
    bool crashed = bike_is_crashed(bike);
    if (crashed && !rider->was_crashed) rider->fallen = 1;
    rider->was_crashed = crashed;
    const dReal *p = dBodyGetPosition(bike->bodies[BODY_FRONT_WHEEL]);
    float wheel[3] = {(float)p[0], (float)p[1], (float)p[2]};
    return gate_check(rider, bike, wheel, race);
}

int rider_lap(const GateProgress *rider) {
    if (!gates_timed() || rider->progress < g_gates.first_count) return 0;
    return (rider->progress - g_gates.first_count) / g_gates.normal_count + 1;
}

float rider_lap_time(const GateProgress *rider, int n, int32_t start_tick) {
    int laps = rider_lap(rider);
    if (n < 0) n = laps;
    if (n < 1 || n > laps) return 0.0f;
    int64_t f = g_gates.first_count, l = g_gates.normal_count;
    int64_t end = f - 1 + (n - 1) * l;
    if (end >= rider->log_count || rider->log[end] == -1) return 0.0f;
    int64_t start = start_tick;
    if (n >= 2) {
        int64_t before = f - 1 + (n - 2) * l;
        if (rider->log[before] == -1) return 0.0f;
        start = rider->log[before];
    }
    return (float)((rider->log[end] - start) * (double)GATE_STEP_TIME);
}

void rider_reset_progress(GateProgress *rider, int position) {
    if (position < 0) position = 0;
    if (position > GATE_LOG_MAX) position = GATE_LOG_MAX;
    if (position < rider->progress) rider->finished = false;
    if (rider->log_count > position) rider->log_count = position;
    rider->progress = position;
    rider->fallen = 0;
}
