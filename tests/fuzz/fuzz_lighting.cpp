// The "lighting" reader on arbitrary bytes: whatever it reads, the planes
// end in range, the sun is a unit vector, every sky face has a name and no
// flare holds more than eight elements.
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
    VfsFile *f = fuzz_stream(data, size);
    if (!f) return 0;
    Lighting *l = &s_track.lighting;
    lighting_read(f, l);
    vfs_close(f);
    fuzz_check(l->near_plane >= LIGHTING_NEAR_MIN && l->near_plane <= LIGHTING_NEAR_MAX, "near plane", 0);
    fuzz_check(l->far_plane >= l->near_plane && l->far_plane <= LIGHTING_FAR_MAX, "far plane", 0);
    float length = sqrtf(l->sun[0] * l->sun[0] + l->sun[1] * l->sun[1] + l->sun[2] * l->sun[2]);
    fuzz_check(fabsf(length - 1.0f) < 1e-3f, "sun not a unit vector", 0);
    for (int s = 0; s < SKY_TEXTURES; s++) fuzz_check(l->sky_names[s][0] != 0, "sky face without a name", s);
    fuzz_check(l->flare_count >= 0 && l->flare_count <= l->flare_capacity, "flare count", l->flare_count);
    for (int i = 0; i < l->flare_count; i++) {
        const LensFlare &flare = l->flares[i];
        fuzz_check(flare.element_count >= 0 && flare.element_count <= FLARE_MAX_ELEMENTS, "flare elements", i);
        fuzz_check(flare.kind == FLARE_POINT || flare.kind == FLARE_DIRECTION, "flare kind", i);
        for (float v : flare.position) fuzz_check(std::isfinite(v), "flare position", i);
    }
    track_free(&s_track);
    return 0;
}
