// The ".vx" reader, tangents, the model cache with its "_lod" levels,
// purging by generation and the POV-Ray export. Nothing here needs a GL
// context except freeing a piece whose display list was built.
#include "files/model.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "files/texture.h"
#include "files/vfs.h"
#include "platform/log.h"

ModelOptions g_model_options = {false, true, true, 1.0f, 0.0f, false};
ModelDrawStats g_model_stats;

static void (*s_warning_hook)(const char *line);

// The cache, in load order: a growable table of first pieces.
static Model **s_cache;
static int s_cache_count;
static int s_cache_capacity;

static const float TANGENT_EPSILON = 1.0f / 1048576.0f;   // 2^-20

ModelOptions model_default_options() {
    ModelOptions o = {false, true, true, 1.0f, 0.0f, false};
    return o;
}

void model_set_options(const ModelOptions *options) {
    g_model_options = options ? *options : model_default_options();
}

void model_set_warning_hook(void (*hook)(const char *line)) {
    s_warning_hook = hook;
}

void model_warn(const char *format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    zolm_log("%s", line);
    if (s_warning_hook) s_warning_hook(line);
}

// --- reading --------------------------------------------------------------

static void piece_free_arrays(Model *p) {
    free(p->positions);
    free(p->normals);
    free(p->tangents);
    free(p->texcoords);
    free(p->bone_weights);
    free(p->bone_indices);
    free(p->triangles);
}

// Grows the vertex arrays of a piece being read to hold `need` vertices,
// doubling from 16, so a header that lies about its counts costs no more
// memory than the file actually holds.
static bool piece_grow_vertices(Model *p, int *capacity, int need) {
    if (need <= *capacity) return true;
    int cap = *capacity ? *capacity : 16;
    while (cap < need) cap *= 2;
    if (cap > p->vertex_count) cap = p->vertex_count;
    int halves = p->bone_count > 0 ? 2 : 1;
    // Only the first half is filled while reading; the rest half is made
    // once every vertex is in.
    float *pos = (float *)realloc(p->positions, sizeof(float) * 3 * cap * halves);
    if (pos) p->positions = pos;
    float *nrm = (float *)realloc(p->normals, sizeof(float) * 3 * cap * halves);
    if (nrm) p->normals = nrm;
    float *tex = (float *)realloc(p->texcoords, sizeof(float) * 2 * cap);
    if (tex) p->texcoords = tex;
    if (!pos || !nrm || !tex) return false;
    if (p->bone_count > 0) {
        float *w = (float *)realloc(p->bone_weights, sizeof(float) * 4 * cap);
        if (w) p->bone_weights = w;
        int32_t *idx = (int32_t *)realloc(p->bone_indices, sizeof(int32_t) * 4 * cap);
        if (idx) p->bone_indices = idx;
        if (!w || !idx) return false;
    }
    *capacity = cap;
    return true;
}

// Files one bone weight into the vertex's four slots: the slot with the
// smallest weight (the first on a tie) is taken; when it already held a
// weight the smaller of the two is lost and the piece warns once.
static void slot_add(float *weights, int32_t *indices, int bone, float weight, bool *warned, const char *name) {
    int best = 0;
    for (int s = 1; s < MODEL_SLOTS; s++)
        if (weights[s] < weights[best]) best = s;
    if (weights[best] != 0.0f) {
        if (!*warned) model_warn("Warning: vertex with more than 4 bone influences in '%.900s'\n", name);
        *warned = true;
        if (weight <= weights[best]) return;
    }
    weights[best] = weight;
    indices[best] = bone;
}

static void slots_normalise(float *weights, int32_t *indices) {
    float sum = 0.0f;
    for (int s = 0; s < MODEL_SLOTS; s++) sum += weights[s];
    if (sum == 0.0f) {
        for (int s = 0; s < MODEL_SLOTS; s++) weights[s] = 0.25f, indices[s] = 0;
        return;
    }
    for (int s = 0; s < MODEL_SLOTS; s++) weights[s] /= sum;
}

static void piece_set_material(Model *p, float s, float k, float r, float g, float b) {
    p->color[0] = r, p->color[1] = g, p->color[2] = b;
    if (s == -1.0f) {
        p->kind = MODEL_REFLECTION;
        p->shininess = s;
        p->color[3] = k;
    } else if (s == -2.0f) {
        p->kind = MODEL_SELF_LIT;
        p->shininess = s;
        p->color[3] = k;
    } else {
        // Any other value (including other negatives) is an ordinary lit
        // piece at the shininess floor.
        p->kind = MODEL_LIT;
        p->shininess = s >= 0.125f ? s : 0.125f;
        p->color[3] = 1.0f;
    }
}

// Reads the vertices and triangles of a piece whose counts, bone count and
// name are set. False on any short read or out-of-range index.
static bool piece_read_body(VfsFile *f, Model *p) {
    int capacity = 0;
    bool warned = false;
    for (int i = 0; i < p->vertex_count; i++) {
        if (!piece_grow_vertices(p, &capacity, i + 1)) return false;
        float *pos = p->positions + 3 * i, *nrm = p->normals + 3 * i, *tex = p->texcoords + 2 * i;
        if (vfs_scanf(f, "%f %f %f %f %f %f %f %f", &pos[0], &pos[1], &pos[2], &nrm[0], &nrm[1], &nrm[2], &tex[0],
                      &tex[1]) != 8)
            return false;
        tex[1] = 1.0f - tex[1];
        if (p->bone_count == 0) continue;
        float *weights = p->bone_weights + 4 * i;
        int32_t *indices = p->bone_indices + 4 * i;
        for (int s = 0; s < MODEL_SLOTS; s++) weights[s] = 0.0f, indices[s] = 0;
        for (int bone = 0; bone < p->bone_count; bone++) {
            float w = 0.0f;
            if (vfs_scanf(f, "%f", &w) != 1) return false;
            if (w > 0.0f) slot_add(weights, indices, bone, w, &warned, p->name);
        }
        slots_normalise(weights, indices);
    }
    int tri_capacity = 0;
    for (int t = 0; t < p->triangle_count; t++) {
        if (t + 1 > tri_capacity) {
            int cap = tri_capacity ? tri_capacity * 2 : 16;
            if (cap > p->triangle_count) cap = p->triangle_count;
            int32_t *tris = (int32_t *)realloc(p->triangles, sizeof(int32_t) * 3 * cap);
            if (!tris) return false;
            p->triangles = tris;
            tri_capacity = cap;
        }
        int32_t *tri = p->triangles + 3 * t;
        int a, b, c;
        if (vfs_scanf(f, "%d %d %d", &a, &b, &c) != 3) return false;
        if (a < 0 || b < 0 || c < 0 || a >= p->vertex_count || b >= p->vertex_count || c >= p->vertex_count)
            return false;
        tri[0] = a, tri[1] = b, tri[2] = c;
    }
    int v = p->vertex_count;
    if (v > 0 && p->tangents == nullptr) {
        int halves = p->bone_count > 0 ? 2 : 1;
        p->tangents = (float *)calloc((size_t)3 * v * halves, sizeof(float));
        if (!p->tangents) return false;
    }
    if (p->bone_count > 0 && v > 0) {
        memcpy(p->positions + 3 * v, p->positions, sizeof(float) * 3 * v);
        memcpy(p->normals + 3 * v, p->normals, sizeof(float) * 3 * v);
    }
    model_make_tangents(p);
    return true;
}

static Model *piece_new(char *name, int bone_count) {
    Model *p = (Model *)calloc(1, sizeof(Model));
    if (!p) return nullptr;
    p->name = name;
    p->bone_count = bone_count;
    return p;
}

// One piece of a "VX" file, or none when it does not parse.
static Model *piece_read(VfsFile *f, char *name, int bone_count) {
    float s, k, r, g, b;
    int v, t;
    if (vfs_scanf(f, "%f %f %f %f %f %d %d", &s, &k, &r, &g, &b, &v, &t) != 7) return nullptr;
    if (v < 0 || t < 0 || v > MODEL_MAX_VERTICES || t > MODEL_MAX_TRIANGLES) return nullptr;
    Model *p = piece_new(name, bone_count);
    if (!p) return nullptr;
    p->vertex_count = v;
    p->triangle_count = t;
    piece_set_material(p, s, k, r, g, b);
    if (!piece_read_body(f, p)) {
        piece_free_arrays(p);
        free(p);
        return nullptr;
    }
    return p;
}

static void pieces_free(Model *first) {
    if (!first) return;
    char *name = first->name;
    for (Model *p = first; p;) {
        Model *next = p->next;
        if (p->display_list) glDeleteLists(p->display_list, 1);
        piece_free_arrays(p);
        free(p);
        p = next;
    }
    free(name);
}

void model_free(Model *model) {
    while (model) {
        Model *lod = model->next_lod;
        pieces_free(model);
        model = lod;
    }
}

Model *model_read(VfsFile *f, const char *name) {
    if (!f || !name) return nullptr;
    char *own_name = strdup(name);
    if (!own_name) return nullptr;
    char word[64];
    Model *first = nullptr;
    if (vfs_scanf(f, "%63s", word) != 1) {
        free(own_name);
        return nullptr;
    }
    if (strncmp(word, "VX", 2) == 0) {
        int version = 0;
        bool have = word[2] ? sscanf(word + 2, "%d", &version) == 1 : vfs_scanf(f, "%d", &version) == 1;
        int bones = 0;
        if (!have || (version != 1 && version != 2)) {
            free(own_name);
            return nullptr;
        }
        if (version == 2) {
            char unused[MODEL_NAME_MAX + 1];
            if (vfs_scanf(f, "%d %1023s", &bones, unused) != 2 || bones < 0 || bones > MODEL_MAX_BONES) {
                free(own_name);
                return nullptr;
            }
        }
        Model *last = nullptr;
        for (;;) {
            Model *p = piece_read(f, own_name, bones);
            if (!p) break;
            if (last) last->next = p;
            else first = p;
            last = p;
        }
    } else {
        // The plain form: one unskinned piece with a fixed white specular.
        char *end = nullptr;
        long v = strtol(word, &end, 10);
        int t = 0;
        if (end == word || *end || v < 0 || v > MODEL_MAX_VERTICES || vfs_scanf(f, "%d", &t) != 1 || t < 0 ||
            t > MODEL_MAX_TRIANGLES) {
            free(own_name);
            return nullptr;
        }
        first = piece_new(own_name, 0);
        if (first) {
            first->vertex_count = (int)v;
            first->triangle_count = t;
            piece_set_material(first, 32.0f, 1.0f, 1.0f, 1.0f, 1.0f);
            if (!piece_read_body(f, first)) {
                piece_free_arrays(first);
                free(first);
                first = nullptr;
            }
        }
    }
    if (!first) {
        free(own_name);
        return nullptr;
    }
    for (Model *p = first; p; p = p->next)
        if (p->kind == MODEL_REFLECTION) first->has_reflection = true;
    return first;
}

// --- tangents -------------------------------------------------------------

static float vec_length(const float v[3]) {
    return sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

static void vec_cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void model_make_tangents(Model *p) {
    int v = p->vertex_count;
    if (v <= 0 || !p->tangents) return;
    memset(p->tangents, 0, sizeof(float) * 3 * v);
    for (int t = 0; t < p->triangle_count; t++) {
        const int32_t *tri = p->triangles + 3 * t;
        const float *p0 = p->positions + 3 * tri[0], *p1 = p->positions + 3 * tri[1], *p2 = p->positions + 3 * tri[2];
        const float *t0 = p->texcoords + 2 * tri[0], *t1 = p->texcoords + 2 * tri[1], *t2 = p->texcoords + 2 * tri[2];
        float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float du1 = t1[0] - t0[0], dw1 = t1[1] - t0[1], du2 = t2[0] - t0[0], dw2 = t2[1] - t0[1];
        float det = du1 * dw2 - du2 * dw1;
        float tangent[3];
        if (fabsf(det) >= TANGENT_EPSILON) {
            float bitangent[3], tb[3], e21[3];
            for (int c = 0; c < 3; c++) {
                tangent[c] = (e1[c] * dw2 - e2[c] * dw1) / det;
                bitangent[c] = (e2[c] * du1 - e1[c] * du2) / det;
            }
            vec_cross(tangent, bitangent, tb);
            vec_cross(e2, e1, e21);
            if (!(tb[0] * e21[0] + tb[1] * e21[1] + tb[2] * e21[2] < 0.0f))
                for (int c = 0; c < 3; c++) tangent[c] = -tangent[c];
        } else {
            // No usable texture mapping: a tiny tangent along the longer edge.
            float l1 = vec_length(e1), l2 = vec_length(e2);
            const float *edge = l2 < l1 ? e1 : e2;
            float length = l2 < l1 ? l1 : l2;
            if (length > 0.0f) {
                for (int c = 0; c < 3; c++) tangent[c] = TANGENT_EPSILON * edge[c] / length;
            } else {
                tangent[0] = TANGENT_EPSILON, tangent[1] = 0.0f, tangent[2] = 0.0f;
            }
        }
        for (int k = 0; k < 3; k++)
            for (int c = 0; c < 3; c++) p->tangents[3 * tri[k] + c] += tangent[c];
    }
    for (int i = 0; i < v; i++) {
        float *t = p->tangents + 3 * i;
        float length = vec_length(t);
        if (length > 0.0f && std::isfinite(length))
            for (int c = 0; c < 3; c++) t[c] /= length;
    }
    if (p->bone_count > 0) memcpy(p->tangents + 3 * v, p->tangents, sizeof(float) * 3 * v);
}

// --- the cache and the levels ---------------------------------------------

static Model *model_read_file(const char *name) {
    VfsFile *f = vfs_open(name, "rb");
    if (!f) {
        if (g_model_options.debug) zolm_log("Can't open model \"%.900s\"\n", name);
        return nullptr;
    }
    Model *m = model_read(f, name);
    vfs_close(f);
    return m;
}

static bool cache_add(Model *m) {
    if (s_cache_count == s_cache_capacity) {
        int cap = s_cache_capacity ? s_cache_capacity * 2 : 16;
        Model **rows = (Model **)realloc(s_cache, sizeof(Model *) * cap);
        if (!rows) return false;
        s_cache = rows;
        s_cache_capacity = cap;
    }
    s_cache[s_cache_count++] = m;
    return true;
}

// Inserts a level before the first level whose distance is at least its
// own, keeping the chain sorted.
static void lod_insert(Model *full, Model *level) {
    Model **link = &full->next_lod;
    while (*link && (*link)->lod_distance < level->lod_distance) link = &(*link)->next_lod;
    level->next_lod = *link;
    *link = level;
}

static bool lod_has(const Model *full, const char *name) {
    for (const Model *l = full->next_lod; l; l = l->next_lod)
        if (strcasecmp(l->name, name) == 0) return true;
    return false;
}

// The "_lod<N>" files of an "@" name: "@bikes/frame.vx" finds
// "bikes/frame_lod1.vx" (or its ".gz") at distance 2^1.
static void lod_find_levels(Model *full, const char *name) {
    const char *base = name + 1;
    const char *dot = strrchr(base, '.');
    size_t stem = dot ? (size_t)(dot - base) : strlen(base);
    const char *const *names = vfs_list();
    for (int i = 0; names && names[i]; i++) {
        const char *candidate = names[i];
        if (strncasecmp(candidate, base, stem) != 0 || strncasecmp(candidate + stem, "_lod", 4) != 0) continue;
        const char *number = candidate + stem + 4;
        char *end = nullptr;
        double n = strtod(number, &end);
        if (end == number) continue;
        char path[VFS_PATH_MAX];
        int length = snprintf(path, sizeof path, "@%s", candidate);
        if (length <= 0 || length >= (int)sizeof path) continue;
        if (length > 3 && strcasecmp(path + length - 3, ".gz") == 0) path[length - 3] = 0;
        if (lod_has(full, path)) continue;   // "x_lod1.vx" and "x_lod1.vx.gz" are one level
        Model *level = model_read_file(path);
        if (!level) continue;
        level->lod_distance = (float)pow(2.0, n);
        lod_insert(full, level);
    }
}

Model *model_load(const char *name) {
    if (!name) return nullptr;
    uint32_t generation = textures_generation();
    for (int i = 0; i < s_cache_count; i++) {
        Model *m = s_cache[i];
        bool exact = strcmp(m->name, name) == 0;
        if (!exact && strcasecmp(m->name, name) != 0) continue;
        if (!exact) model_warn("Warning: case mismatch on '%.900s'\n", name);
        m->generation = generation;
        return m;
    }
    Model *m = model_read_file(name);
    if (!m) return nullptr;
    m->generation = generation;
    m->lod_distance = 0.0f;
    if (name[0] == '@') lod_find_levels(m, name);
    if (!cache_add(m)) {
        model_free(m);
        return nullptr;
    }
    return m;
}

Model *model_choose_lod(Model *model, float distance) {
    if (!model) return nullptr;
    float scale = g_model_options.lod_scale, bias = g_model_options.lod_bias;
    Model *level = model;
    while (level->next_lod) {
        float switch_at = level->next_lod->lod_distance - bias;
        if (!(switch_at <= 0.0f || scale * distance >= switch_at)) break;
        level = level->next_lod;
    }
    return level;
}

bool model_has_reflection(const Model *model) {
    return model && model->has_reflection && g_model_options.reflections;
}

const char *model_name(const Model *model) {
    return model ? model->name : nullptr;
}

void models_purge() {
    uint32_t current = textures_generation();
    int kept = 0;
    for (int i = 0; i < s_cache_count; i++) {
        Model *m = s_cache[i];
        if (m->generation != 0 && m->generation != current) {
            if (g_model_options.debug) zolm_log("deleting model %.900s\n", m->name);
            model_free(m);
        } else {
            s_cache[kept++] = m;
        }
    }
    s_cache_count = kept;
}

void models_free() {
    for (int i = 0; i < s_cache_count; i++) model_free(s_cache[i]);
    free(s_cache);
    s_cache = nullptr;
    s_cache_count = s_cache_capacity = 0;
}

int models_cached() {
    return s_cache_count;
}

// --- POV-Ray ----------------------------------------------------------------

static void pov_vectors(VfsFile *f, const char *block, const float *v, int count, int size) {
    vfs_printf(f, "\t%s {\n\t\t%d\n", block, count);
    for (int i = 0; i < count; i++) {
        const char *comma = i + 1 < count ? "," : "";
        if (size == 3) vfs_printf(f, "\t\t<%f,%f,%f>%s\n", v[3 * i], v[3 * i + 1], v[3 * i + 2], comma);
        else vfs_printf(f, "\t\t<%f,%f>%s\n", v[2 * i], v[2 * i + 1], comma);
    }
    vfs_printf(f, "\t}\n");
}

void model_export_pov(const Model *piece, VfsFile *f) {
    if (!piece || !f) return;
    vfs_printf(f, "mesh2 {\n");
    pov_vectors(f, "vertex_vectors", piece->positions, piece->vertex_count, 3);
    pov_vectors(f, "normal_vectors", piece->normals, piece->vertex_count, 3);
    pov_vectors(f, "uv_vectors", piece->texcoords, piece->vertex_count, 2);
    vfs_printf(f, "\tface_indices {\n\t\t%d\n", piece->triangle_count);
    for (int t = 0; t < piece->triangle_count; t++) {
        const int32_t *tri = piece->triangles + 3 * t;
        vfs_printf(f, "\t\t<%d,%d,%d>%s\n", tri[0], tri[1], tri[2], t + 1 < piece->triangle_count ? "," : "");
    }
    vfs_printf(f, "\t}\n}\n");
}
