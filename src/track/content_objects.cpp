// Billboards and statues: their readers, how a statue is made (model,
// texture, normal and specular maps, collision shape, orientation) and the
// editor's writers that give back what the readers take.
//
// Owns: the names and shape instances of the billboards and statues it adds.
// Never: loads a model or texture without GL; stops a track load over a
// missing picture, model or shape.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/collide.h"
#include "core/console.h"
#include "files/model.h"
#include "files/vfs.h"
#include "track/content.h"
#include "track/content_internal.h"
#include "track/terrain.h"

static const float k_two_pi = 6.2831853071795864f;

// --- billboards ------------------------------------------------------------------

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "#rrggbb#" followed by at least one character: "#ff8000#" alone is a name.
const char *billboard_color_prefix(const char *name, uint8_t rgb[3]) {
    if (!name || name[0] != '#' || strlen(name) <= 8 || name[7] != '#') return nullptr;
    int v[6];
    for (int i = 0; i < 6; i++) {
        v[i] = hex_digit(name[1 + i]);
        if (v[i] < 0) return nullptr;
    }
    for (int c = 0; c < 3; c++) rgb[c] = (uint8_t)(v[2 * c] * 16 + v[2 * c + 1]);
    return name + 8;
}

int billboard_add(Track *t, float x, float y_offset, float z, float height, float aspect, const char *name) {
    if (!content_grow((void **)&t->billboards, &t->billboard_capacity, t->billboard_count, sizeof(Billboard)) ||
        !content_grow((void **)&t->billboard_order, &t->billboard_order_capacity, t->billboard_order_count + 1,
                      sizeof(int32_t))) {
        return -1;
    }
    int index = t->billboard_count;
    Billboard *b = &t->billboards[index];
    memset(b, 0, sizeof *b);
    b->x = x;
    b->z = z;
    b->y_offset = y_offset;
    b->y = terrain_height(x, z) + y_offset;
    b->height = height;
    b->aspect = aspect;
    b->color[0] = b->color[1] = b->color[2] = b->color[3] = 255;
    if (name) {
        const char *rest = billboard_color_prefix(name, b->color);
        if (!rest) rest = name;
        b->texture_name = content_copy(rest);
        b->texture = content_texture(rest);
    }
    t->billboard_count++;
    t->billboard_order[t->billboard_order_count++] = index;
    t->billboard_order[t->billboard_order_count++] = index;
    return index;
}

int billboards_read(VfsFile *f, Track *t) {
    int added = 0;
    float v[5];
    char name[CONTENT_NAME_BYTES];
    while (f && vfs_scanf(f, "[ %f %f %f ] %f %f %1023s ", &v[0], &v[1], &v[2], &v[3], &v[4], name) == 6) {
        bool finite = true;
        for (float x : v) finite = finite && content_finite(x);
        // A name that starts with a zero byte is no name: the item does not match.
        if (!finite || !name[0] || billboard_add(t, v[0], v[1], v[2], v[3], v[4], name) < 0) break;
        added++;
    }
    return added;
}

// --- statues --------------------------------------------------------------------

static void normalise(float *v) {
    double n = sqrt((double)v[0] * v[0] + (double)v[1] * v[1] + (double)v[2] * v[2]);
    if (!(n > 0)) return;
    for (int k = 0; k < 3; k++) v[k] = (float)(v[k] / n);
}

static void cross(const float *a, const float *b, float *out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void statue_orientation(float x, float z, float angle, float out[9]) {
    static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    memcpy(out, identity, sizeof identity);
    if (!content_finite(angle) || angle >= STATUE_FACING_ANGLE) return;
    float u[3] = {0, 1, 0};
    if (angle > -k_two_pi) {
        float h0 = terrain_height(x, z);
        u[0] = -(terrain_height(x + 1, z) - h0);
        u[2] = -(terrain_height(x, z + 1) - h0);
        normalise(u);
    }
    float f[3] = {cosf(angle), 0, -sinf(angle)};
    float s[3], xa[3];
    cross(f, u, s);
    normalise(s);
    cross(u, s, xa);
    for (int r = 0; r < 3; r++) {
        out[3 * r + 0] = xa[r];
        out[3 * r + 1] = u[r];
        out[3 * r + 2] = s[r];
    }
}

static bool ends_with(const char *text, const char *suffix) {
    size_t n = strlen(text), m = strlen(suffix);
    return n >= m && strcmp(text + n - m, suffix) == 0;
}

// The name with its part from the last character c of its last path part
// replaced; the whole name kept when there is no such character.
static bool replace_from(const char *name, char c, const char *with, char *out, int size) {
    const char *base = strrchr(name, '/');
    base = base ? base + 1 : name;
    const char *cut = strrchr(base, c);
    int keep = cut ? (int)(cut - name) : (int)strlen(name);
    int n = snprintf(out, (size_t)size, "%.*s%s", keep, name, with);
    return n > 0 && n < size;
}

bool statue_map_candidate(const char *texture, const char *model, const char *kind, int i, char *out, int size) {
    static const char *const k_endings[3] = {".seq", ".png", ".ppm"};
    static const char *const k_repeat[3] = {"-repeat.png", "-repeat.ppm", "-repeat.seq"};
    char with[64];
    if (i >= 0 && i < 3 && texture) {
        bool repeat = false;
        for (const char *r : k_repeat) repeat = repeat || ends_with(texture, r);
        snprintf(with, sizeof with, "%s%s%s", kind, repeat ? "-repeat" : "", k_endings[i]);
        return replace_from(texture, repeat ? '-' : '.', with, out, size);
    }
    if (i >= 3 && i < 6 && model) {
        snprintf(with, sizeof with, "%s%s", kind, k_endings[i - 3]);
        return replace_from(model, '.', with, out, size);
    }
    return false;
}

static TextureId find_map(const char *texture, const char *model, const char *kind) {
    char name[CONTENT_NAME_BYTES + 64];
    for (int i = 0; i < 6; i++) {
        if (!statue_map_candidate(texture, model, kind, i, name, sizeof name)) continue;
        TextureId id = content_texture(name);
        if (id) return id;
    }
    return 0;
}

static const char *named(const char *name) {
    return name && name[0] && strcmp(name, "null") != 0 ? name : nullptr;
}

int statue_add(Track *t, float x, float y_offset, float z, float angle, const char *model, const char *texture,
               const char *shape) {
    if (!content_grow((void **)&t->statues, &t->statue_capacity, t->statue_count, sizeof(Statue))) return -1;
    model = named(model);
    texture = named(texture);
    shape = named(shape);
    const ContentOptions *options = content_options();
    Statue s;
    memset(&s, 0, sizeof s);
    s.model_name = content_copy(model);
    s.texture_name = content_copy(texture);
    s.shape_name = content_copy(shape);
    char safe[CONTENT_NAME_BYTES + 2];
    if (model && options->gl && content_data_name(model, safe, sizeof safe)) s.model = model_load(safe);
    if (s.model && texture) {
        s.texture = content_texture(texture);
        if (options->shaders) {
            s.normal_map = find_map(texture, model, "_norm");
            s.specular_map = find_map(texture, model, "_spec");
        }
    }
    if (shape) {
        if (content_data_name(shape, safe, sizeof safe)) s.shape = shape_instance(safe);
        if (!s.shape) console_message("Warning: missing shape file %.900s", shape);
    }
    s.x = x;
    s.z = z;
    s.y_offset = y_offset;
    s.y = terrain_height(x, z) + y_offset;
    s.angle = angle;
    statue_orientation(x, z, angle, s.orientation);
    // Beyond 2^127 a float has no room; such a statue is simply huge.
    s.facing_size = angle >= STATUE_FACING_ANGLE ? exp2f(angle < 127.0f ? angle : 127.0f) : 0.0f;
    t->statues[t->statue_count] = s;
    return t->statue_count++;
}

int statues_read(VfsFile *f, Track *t) {
    int added = 0;
    float v[4];
    char model[CONTENT_NAME_BYTES], texture[CONTENT_NAME_BYTES], shape[CONTENT_NAME_BYTES];
    while (f && vfs_scanf(f, "[ %f %f %f ] %f %1023s %1023s %1023s ", &v[0], &v[1], &v[2], &v[3], model, texture,
                          shape) == 7) {
        bool finite = true;
        for (float x : v) finite = finite && content_finite(x);
        if (!finite || !model[0] || !texture[0] || !shape[0] ||
            statue_add(t, v[0], v[1], v[2], v[3], model, texture, shape) < 0) {
            break;
        }
        added++;
    }
    return added;
}

// --- the editor's writers ------------------------------------------------------------

bool billboards_write(const Track *t, VfsFile *f) {
    bool ok = f != nullptr;
    for (int i = t->first_file_billboard; ok && i < t->billboard_count; i++) {
        const Billboard *b = &t->billboards[i];
        if (!b->texture_name) continue;
        uint8_t rgb[3];
        // A white billboard whose own name looks like a colour prefix keeps a
        // white prefix, or reading it back would take its name apart.
        bool tinted = b->color[0] != 255 || b->color[1] != 255 || b->color[2] != 255 ||
                      billboard_color_prefix(b->texture_name, rgb);
        ok = vfs_printf(f, "[%f %f %f] %f %f ", b->x, b->y_offset, b->z, b->height, b->aspect) > 0;
        if (ok && tinted) {
            ok = vfs_printf(f, "#%02x%02x%02x#%s\n", b->color[0], b->color[1], b->color[2], b->texture_name) > 0;
        } else if (ok) {
            ok = vfs_printf(f, "%s\n", b->texture_name) > 0;
        }
    }
    return ok;
}

static const char *or_null(const char *name) { return name ? name : "null"; }

bool statues_write(const Track *t, VfsFile *f) {
    bool ok = f != nullptr;
    for (int i = t->first_file_statue; ok && i < t->statue_count; i++) {
        const Statue *s = &t->statues[i];
        ok = vfs_printf(f, "[%f %f %f] %f %s %s %s\n", s->x, s->y_offset, s->z, s->angle, or_null(s->model_name),
                        or_null(s->texture_name), or_null(s->shape_name)) > 0;
    }
    return ok;
}

static VfsFile *create_track_file(const char *file) {
    if (!g_track.name[0]) return nullptr;
    char path[TRACK_NAME_MAX + 64];
    snprintf(path, sizeof path, "@%s/%s", g_track.name, file);
    return vfs_open(path, "wb");
}

bool billboards_save() {
    VfsFile *f = create_track_file("billboards");
    if (!f) {
        console_message("Can't open 'billboards'\n");
        return false;
    }
    bool ok = billboards_write(&g_track, f);
    vfs_close(f);
    return ok;
}

bool statues_save() {
    VfsFile *f = create_track_file("statues");
    if (!f) {
        console_message("Can't open 'statues'\n");
        return false;
    }
    bool ok = statues_write(&g_track, f);
    vfs_close(f);
    return ok;
}
