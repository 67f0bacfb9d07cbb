// The "cameras" reader on arbitrary bytes. The first byte is the number of
// timing gates; the rest is the file. Every camera has a finite place and a
// field of view of at least 0, and every gate maps to -1 or to a camera that
// exists, only for gates the track has.
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
    int count = cameras_read(f, &s_track, gate_count);
    vfs_close(f);
    fuzz_check(count == s_track.camera_count, "count", count);
    for (int i = 0; i < count; i++) {
        const TrackCamera &c = s_track.cameras[i];
        fuzz_check(std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z), "place", i);
        fuzz_check(c.fov >= 0 && c.auto_fov_size >= 0, "field of view", i);
    }
    for (int g = 0; g < TRACK_GATE_CAMERAS; g++) {
        int32_t c = s_track.gate_cameras[g];
        fuzz_check(c == -1 || (c >= 0 && c < count && g < gate_count), "gate camera", g);
    }
    track_free(&s_track);
    return 0;
}
