// The "timing_gates" reader on arbitrary bytes, then its writer and the
// reader again, then a rider driven through the gates the bytes pick.
// Whatever the bytes, nothing may crash or read past a buffer, and the
// table must hold what the race relies on: at most 160 slots with finite
// places and headings in -pi..pi and statue names that stay in the data
// directories; at most 256 gates; with timing, both lists 1..256 entries
// long with a switch point each and every entry naming a gate that exists;
// without timing, no gates and no lists. A written table reads back with
// the same lists.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"
#include "track/gates.h"

enum { FUZZ_INPUT_MAX = 65536, FUZZ_STEPS = 64 };

static void check(bool ok, const char *what) {
    if (ok) return;
    fprintf(stderr, "%s\n", what);
    abort();
}

// "null", or an "@" name none of whose parts is "..".
static bool name_ok(const char *name) {
    if (!name || !strcmp(name, "null")) return true;   // none: a copy that could not be made
    if (name[0] != '@') return false;
    for (const char *part = name + 1;; part++) {
        size_t n = strcspn(part, "/\\");
        if (n == 2 && !strncmp(part, "..", 2)) return false;
        part += n;
        if (!*part) return true;
    }
}

static void check_table(const GateTable *t, bool timed) {
    check(t->slot_count >= 0 && t->slot_count <= GATE_SLOTS_MAX, "slot count");
    for (int i = 0; i < t->slot_count; i++) {
        const StartSlot *s = &t->slots[i];
        check(std::isfinite(s->x) && std::isfinite(s->y) && std::isfinite(s->z), "slot place");
        check(s->heading >= -3.1415927f && s->heading <= 3.1415927f, "slot heading");
        check(std::isfinite(s->statue_x) && std::isfinite(s->statue_z), "statue place");
        check(name_ok(s->model) && name_ok(s->texture) && name_ok(s->shape), "statue name");
    }
    check(t->gate_count >= 0 && t->gate_count <= GATES_MAX, "gate count");
    if (!timed) {
        check(t->gate_count == 0 && t->first_count == 0 && t->normal_count == 0, "gates without timing");
        return;
    }
    check(t->gate_count >= 1, "timing without gates");
    check(t->first_count >= 1 && t->first_count <= GATE_LIST_MAX, "first count");
    check(t->normal_count >= 1 && t->normal_count <= GATE_LIST_MAX, "normal count");
    check(t->first_switch_count >= 1 && t->normal_switch_count >= 1, "switch points");
    for (int i = 0; i < t->first_count + t->normal_count; i++) {
        int32_t e = t->sequence[i];
        int32_t gate = e >= GATE_PLAIN ? e - GATE_PLAIN : e;
        check(gate >= 0 && gate < t->gate_count, "entry names no gate");
    }
}

static bool read_table(FILE *file, GateTable *t) {
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return false;
    bool timed = timing_gates_read(f, t);
    vfs_close(f);
    check_table(t, timed);
    return timed;
}

// Writes t and reads it back into out.
static bool round_trip(const GateTable *t, GateTable *out) {
    int fd = memfd_create("fuzz-out", MFD_CLOEXEC);
    if (fd < 0) return false;
    int copy = dup(fd);
    FILE *w = copy >= 0 ? fdopen(copy, "wb") : nullptr;
    if (!w) {
        if (copy >= 0) close(copy);
        close(fd);
        return false;
    }
    VfsFile *f = vfs_open_stream(w, 0, VFS_LOOSE_LENGTH, false, false);
    if (f) {
        timing_gates_write(f, t);
        vfs_close(f);
    }
    lseek(fd, 0, SEEK_SET);
    FILE *r = fdopen(fd, "rb");
    if (!r) {
        close(fd);
        return false;
    }
    return read_table(r, out);
}

static void ride(const uint8_t *data, size_t size) {
    GateProgress rider = {};
    gate_progress_reset(&rider);
    for (int k = 0; k < FUZZ_STEPS && (size_t)k < size; k++) {
        const TimingGate *g = &g_gates.gates[data[k] % g_gates.gate_count];
        float wheel[3] = {g->x + 0.5f * g->dx, g->y, g->z + 0.5f * g->dz};
        GateRace race = {k, data[k] % 4, data[size - 1 - k] % 2 ? -1 : k};
        int j = gate_check(&rider, nullptr, wheel, &race);
        check(rider.progress >= 0 && rider.log_count >= 0 && rider.log_count <= GATE_LOG_MAX, "progress");
        if (j >= 0) check(rider.progress == j + 1 && rider.log[j] == k, "passage not logged");
        check(rider_lap(&rider) >= 0, "laps");
        check(std::isfinite(rider_lap_time(&rider, (int)(data[k] % 8) - 2, 0)), "lap time");
        if (data[k] == 0xff) rider_reset_progress(&rider, (int)data[size - 1 - k] - 8);
    }
    gate_progress_free(&rider);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > FUZZ_INPUT_MAX) return 0;
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    bool timed = read_table(file, &g_gates);

    static GateTable again;
    bool timed_again = round_trip(&g_gates, &again);
    if (timed && timed_again && again.gate_count == g_gates.gate_count) {
        check(again.first_count == g_gates.first_count && again.normal_count == g_gates.normal_count, "list counts");
        check(!memcmp(again.sequence, g_gates.sequence, sizeof again.sequence), "lists");
        check(again.first_switch_count == g_gates.first_switch_count, "first switch points");
        check(again.normal_switch_count == g_gates.normal_switch_count, "normal switch points");
    }
    timing_gates_free(&again);

    if (timed && size > 0) ride(data, size);
    timing_gates_free(&g_gates);
    return 0;
}
