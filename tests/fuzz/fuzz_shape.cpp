// The ".shp" reader on arbitrary bytes. A shape that reads must hold its
// whole count of spheres, each finite with a positive radius; one that
// does not must leave nothing behind.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bike/collide.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    int count = -1;
    ShapeSphere *spheres = nullptr;
    bool ok = shape_read(f, &count, &spheres);
    vfs_close(f);
    if (!ok) {
        if (spheres || count != -1) abort();
        return 0;
    }
    if (!spheres || count < 1 || count > SHAPE_MAX_SPHERES) abort();
    for (int i = 0; i < count; i++) {
        const ShapeSphere &s = spheres[i];
        if (!(s.radius > 0) || !std::isfinite(s.radius) || !std::isfinite(s.centre[0]) ||
            !std::isfinite(s.centre[1]) || !std::isfinite(s.centre[2]) || !std::isfinite(s.mu) ||
            !std::isfinite(s.kp) || !std::isfinite(s.kd))
            abort();
    }
    free(spheres);
    return 0;
}
