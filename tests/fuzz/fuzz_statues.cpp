// The "statues" reader on arbitrary bytes (no terrain, no GL): every statue
// has a finite place, a rotation matrix and a finite facing size, and shapes
// that do not exist leave the statue without one. The shape cache is emptied
// after each input so failed names do not pile up.
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

// Writes the track's statues with the editor's writer and reads them back into
// a second record: the same number, with the same names.
static Track s_back;
static void check_round_trip(int count) {
    VfsFile *out = fuzz_scratch_stream();
    if (!out) return;
    fuzz_check(statues_write(&s_track, out), "write", count);
    vfs_flush(out);
    fuzz_check(vfs_seek(out, 0), "seek", count);
    fuzz_check(statues_read(out, &s_back) == count, "read back", count);
    vfs_close(out);
    for (int i = 0; i < count; i++) {
        const Statue &a = s_track.statues[i], &b = s_back.statues[i];
        for (int n = 0; n < 3; n++) {
            const char *x = n == 0 ? a.model_name : n == 1 ? a.texture_name : a.shape_name;
            const char *y = n == 0 ? b.model_name : n == 1 ? b.texture_name : b.shape_name;
            fuzz_check((!x && !y) || (x && y && !strcmp(x, y)), "name", i);
        }
    }
    track_free(&s_back);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    VfsFile *f = fuzz_stream(data, size);
    if (!f) return 0;
    int added = statues_read(f, &s_track);
    vfs_close(f);
    fuzz_check(added == s_track.statue_count, "count", added);
    for (int i = 0; i < added; i++) {
        const Statue &s = s_track.statues[i];
        const float values[6] = {s.x, s.y, s.z, s.y_offset, s.angle, s.facing_size};
        for (float v : values) fuzz_check(std::isfinite(v), "not finite", i);
        const float *m = s.orientation;
        for (int c = 0; c < 3; c++) {
            for (int d = 0; d < 3; d++) {
                float dot = m[c] * m[d] + m[3 + c] * m[3 + d] + m[6 + c] * m[6 + d];
                fuzz_check(fabsf(dot - (c == d ? 1.0f : 0.0f)) < 1e-3f, "orientation not a rotation", i);
            }
        }
        fuzz_check(!s.shape, "a shape from nowhere", i);
        fuzz_check(!s.model && !s.texture, "loaded without GL", i);
    }
    check_round_trip(added);
    track_free(&s_track);
    shapes_free();
    return 0;
}
