// The ".vx" model reader on arbitrary bytes. Whatever the bytes, a model
// that reads must keep every triangle index inside its vertices, every bone
// index inside its bones, weights that sum to one, and tangents that are
// unit length or zero; tangent generation and skinning must touch nothing
// outside the piece.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "files/model.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

enum { FUZZ_INPUT_MAX = 65536 };

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

static void check_piece(Model *p) {
    int v = p->vertex_count;
    if (v < 0 || p->triangle_count < 0 || p->bone_count < 0 || p->bone_count > MODEL_MAX_BONES) abort();
    for (int i = 0; i < 3 * p->triangle_count; i++)
        if (p->triangles[i] < 0 || p->triangles[i] >= v) abort();
    for (int i = 0; i < v; i++) {
        const float *t = p->tangents + 3 * i;
        float length = sqrtf(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (std::isfinite(length) && length != 0.0f && fabsf(length - 1.0f) > 1e-3f) abort();
        if (p->bone_count == 0) continue;
        float sum = 0.0f;
        for (int s = 0; s < MODEL_SLOTS; s++) {
            int b = p->bone_indices[4 * i + s];
            if (b < 0 || b >= p->bone_count) abort();
            sum += p->bone_weights[4 * i + s];
        }
        if (std::isfinite(sum) && fabsf(sum - 1.0f) > 1e-3f) abort();
    }
    if (p->bone_count > 0) {
        float origins[3 * MODEL_MAX_BONES] = {}, positions[3 * MODEL_MAX_BONES] = {};
        float rotations[9 * MODEL_MAX_BONES];
        for (int b = 0; b < MODEL_MAX_BONES; b++)
            for (int k = 0; k < 9; k++) rotations[9 * b + k] = k % 4 == 0 ? 1.0f : 0.0f;
        model_skin(p, p->bone_count, origins, positions, rotations);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > FUZZ_INPUT_MAX) return 0;
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    Model *m = model_read(f, "fuzz.vx");
    vfs_close(f);
    if (!m) return 0;
    bool reflective = false;
    for (Model *p = m; p; p = p->next) {
        check_piece(p);
        reflective = reflective || p->kind == MODEL_REFLECTION;
    }
    if (reflective != m->has_reflection) abort();
    model_free(m);
    return 0;
}
