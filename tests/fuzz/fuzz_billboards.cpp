// The "billboards" reader on arbitrary bytes: every billboard it adds has
// a finite place and size, a name without its colour prefix, an opaque
// colour and two sort entries.
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

// Writes the track's billboards with the editor's writer and reads them back into
// a second record: the same number, with the same names.
static Track s_back;
static void check_round_trip(int count) {
    VfsFile *out = fuzz_scratch_stream();
    if (!out) return;
    fuzz_check(billboards_write(&s_track, out), "write", count);
    vfs_flush(out);
    fuzz_check(vfs_seek(out, 0), "seek", count);
    fuzz_check(billboards_read(out, &s_back) == count, "read back", count);
    vfs_close(out);
    for (int i = 0; i < count; i++) {
        const Billboard &a = s_track.billboards[i], &b = s_back.billboards[i];
        fuzz_check(!strcmp(a.texture_name, b.texture_name) && !memcmp(a.color, b.color, 4), "name or colour", i);
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
    int added = billboards_read(f, &s_track);
    vfs_close(f);
    fuzz_check(added == s_track.billboard_count, "count", added);
    fuzz_check(s_track.billboard_order_count == 2 * added, "sort entries", added);
    for (int i = 0; i < added; i++) {
        const Billboard &b = s_track.billboards[i];
        const float values[6] = {b.x, b.y, b.z, b.height, b.y_offset, b.aspect};
        for (float v : values) fuzz_check(std::isfinite(v), "not finite", i);
        fuzz_check(b.texture_name && b.texture_name[0], "no name", i);
        fuzz_check(b.color[3] == 255, "alpha", i);
    }
    check_round_trip(added);
    track_free(&s_track);
    return 0;
}
