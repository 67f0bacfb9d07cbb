// The "flaggers" reader on arbitrary bytes. The first byte is the number of
// timing gates; the rest is the file. Flaggers come in order (no lap
// flagger without a starter, no gate flagger without both), each has its
// billboard, gate numbers lie in -1 .. gates - 1, and the picture functions
// answer in range at any time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/collide.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"
#include "track/content.h"

enum { FUZZ_INPUT_MAX = 65536 };

static Track s_track;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    int gate_count = data[0];
    VfsFile *f = fuzz_stream(data + 1, size - 1);
    if (!f) return 0;
    int made = flaggers_read(f, &s_track, gate_count);
    vfs_close(f);
    const Track &t = s_track;
    fuzz_check(made == (t.starter.present ? 1 : 0) + (t.lap_flagger.present ? 1 : 0) + t.gate_flagger_count, "count", made);
    fuzz_check(t.starter.present || !t.lap_flagger.present, "lap flagger without a starter", 0);
    fuzz_check(t.lap_flagger.present || t.gate_flagger_count == 0, "gate flagger without a lap flagger", 0);
    fuzz_check(t.billboard_count == made, "billboards", t.billboard_count);
    for (int i = 0; i < t.gate_flagger_count; i++) {
        const GateFlagger &g = t.gate_flaggers[i];
        fuzz_check(g.billboard >= 0 && g.billboard < t.billboard_count, "billboard", i);
        for (int gate : g.gates) fuzz_check(gate >= -1 && gate < (gate_count > 0 ? gate_count : 0), "gate", i);
        int next[2] = {gate_count - 1, -1};
        int p = gate_flagger_picture(&g, next, 2);
        fuzz_check(p == GATE_PICTURE_NORMAL || p == GATE_PICTURE_WARNING, "gate picture", i);
    }
    if (t.starter.present) {
        static const double times[] = {0, 5.0, 5.2, 5.5, 6.5, 9.0, 1e9, -1e9};
        for (double now : times) {
            float p[3];
            int picture = starter_picture(&t.starter, now, 5, p);
            fuzz_check(picture >= 0 && picture < STARTER_PICTURES, "starter picture", picture);
            (void)p;
        }
    }
    track_free(&s_track);
    return 0;
}
