// The flaggers (the starter, the lap flagger and the gate flaggers, with what
// each one shows), the fixed cameras and the ground decals.
//
// Owns: the gate flagger, camera and decal arrays of a track and the decal
// names.
// Never: draws; the renderer asks the picture functions what to show.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/vfs.h"
#include "platform/log.h"
#include "track/content.h"
#include "track/content_internal.h"
#include "track/terrain.h"

static bool all_finite(const float *v, int n) {
    for (int i = 0; i < n; i++) {
        if (!content_finite(v[i])) return false;
    }
    return true;
}

// Reads count names with " %1023s "; false when one is missing (or starts
// with a zero byte, which leaves no name).
static bool read_names(VfsFile *f, char (*names)[CONTENT_NAME_BYTES], int count) {
    for (int i = 0; i < count; i++) {
        if (vfs_scanf(f, " %1023s ", names[i]) != 1 || !names[i][0]) return false;
    }
    return true;
}

static int clamp_gate(int gate, int gate_count) {
    if (gate < -1) return -1;
    if (gate > gate_count - 1) return gate_count - 1;
    return gate;
}

// --- flaggers ------------------------------------------------------------------------

static bool read_starter(VfsFile *f, Track *t) {
    float v[9];
    char names[STARTER_PICTURES][CONTENT_NAME_BYTES];
    if (vfs_scanf(f, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                  &v[8]) != 9 ||
        !all_finite(v, 9) || !read_names(f, names, STARTER_PICTURES)) {
        return false;
    }
    StarterFlagger *s = &t->starter;
    memcpy(s->a, v, sizeof s->a);
    memcpy(s->b, v + 3, sizeof s->b);
    s->height = v[6];
    s->aspect = v[7];
    s->walk_time = v[8];
    for (int i = 0; i < STARTER_PICTURES; i++) s->pictures[i] = content_texture(names[i]);
    s->billboard = billboard_add(t, s->a[0], s->a[1], s->a[2], s->height, s->aspect, names[0]);
    s->present = true;
    return true;
}

static bool read_lap_flagger(VfsFile *f, Track *t) {
    float v[5];
    char names[LAP_FLAGGER_PICTURES][CONTENT_NAME_BYTES];
    if (vfs_scanf(f, " [ %f %f %f ] %f %f ", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5 || !all_finite(v, 5) ||
        !read_names(f, names, LAP_FLAGGER_PICTURES)) {
        return false;
    }
    LapFlagger *l = &t->lap_flagger;
    memcpy(l->position, v, sizeof l->position);
    l->height = v[3];
    l->aspect = v[4];
    for (int i = 0; i < LAP_FLAGGER_PICTURES; i++) l->pictures[i] = content_texture(names[i]);
    l->billboard = billboard_add(t, v[0], v[1], v[2], l->height, l->aspect, names[LAP_PICTURE_RACING]);
    l->present = true;
    return true;
}

static bool read_gate_flagger(VfsFile *f, Track *t, int gate_count) {
    float v[5];
    int gates[GATE_FLAGGER_GATES];
    char names[GATE_FLAGGER_PICTURES][CONTENT_NAME_BYTES];
    if (vfs_scanf(f, " [ %f %f %f ] %f %f %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4], &gates[0], &gates[1],
                  &gates[2], &gates[3]) != 9 ||
        !all_finite(v, 5) || !read_names(f, names, GATE_FLAGGER_PICTURES)) {
        return false;
    }
    if (!content_grow((void **)&t->gate_flaggers, &t->gate_flagger_capacity, t->gate_flagger_count,
                      sizeof(GateFlagger))) {
        return false;
    }
    GateFlagger *g = &t->gate_flaggers[t->gate_flagger_count++];
    memset(g, 0, sizeof *g);
    memcpy(g->position, v, sizeof g->position);
    g->height = v[3];
    g->aspect = v[4];
    for (int i = 0; i < GATE_FLAGGER_GATES; i++) g->gates[i] = clamp_gate(gates[i], gate_count);
    for (int i = 0; i < GATE_FLAGGER_PICTURES; i++) g->pictures[i] = content_texture(names[i]);
    g->billboard = billboard_add(t, v[0], v[1], v[2], g->height, g->aspect, names[GATE_PICTURE_NORMAL]);
    return true;
}

int flaggers_read(VfsFile *f, Track *t, int gate_count) {
    if (!f || !read_starter(f, t)) return 0;
    if (!read_lap_flagger(f, t)) return 1;
    int made = 2;
    while (read_gate_flagger(f, t, gate_count)) made++;
    return made;
}

int starter_picture(const StarterFlagger *s, double now, int gate_drop, float position[3]) {
    double since = now - gate_drop;
    double f = 0;
    int picture;
    if (since < 0.1) picture = 0;
    else if (since < 0.4) picture = 1;
    else if (since < 1.0) picture = 2;
    else if (s->walk_time > 0 && since < 1.0 + s->walk_time) {
        picture = 3;
        f = (since - 1.0) / s->walk_time;
        f = f < 0 ? 0 : f > 1 ? 1 : f;
    } else {
        picture = 4;
        f = 1;
    }
    float k = (float)f;
    position[0] = s->a[0] + k * (s->b[0] - s->a[0]);
    position[2] = s->a[2] + k * (s->b[2] - s->a[2]);
    position[1] = terrain_height(position[0], position[2]) + s->a[1] + k * (s->b[1] - s->a[1]);
    return picture;
}

int lap_flagger_picture(int leader_completed_laps, int race_laps, int half_laps) {
    if (leader_completed_laps >= race_laps) return LAP_PICTURE_FINISHED;
    if (leader_completed_laps == race_laps - 1) return LAP_PICTURE_LAST_LAP;
    if (leader_completed_laps == half_laps) return LAP_PICTURE_HALF;
    return LAP_PICTURE_RACING;
}

int gate_flagger_picture(const GateFlagger *g, const int *fallen_next_gates, int count) {
    for (int i = 0; i < count; i++) {
        if (fallen_next_gates[i] < 0) continue;
        for (int gate : g->gates) {
            if (gate == fallen_next_gates[i]) return GATE_PICTURE_WARNING;
        }
    }
    return GATE_PICTURE_NORMAL;
}

// --- cameras -------------------------------------------------------------------------

static void add_camera(Track *t, const float *v, float fov, float auto_fov_size) {
    if (!content_grow((void **)&t->cameras, &t->camera_capacity, t->camera_count, sizeof(TrackCamera))) return;
    TrackCamera *c = &t->cameras[t->camera_count++];
    memset(c, 0, sizeof *c);
    c->x = v[0];
    c->y = terrain_height(v[0], v[2]) + v[1];
    c->z = v[2];
    c->fov = fov;
    c->auto_fov_size = auto_fov_size;
}

// "gate n n n ...": each n in 0..255 maps to the next camera; the first
// word that is no such number ends the line.
static void map_gates(Track *t, const char *text, int gate_count) {
    const char *p = text;
    for (;;) {
        char *end;
        long n = strtol(p, &end, 10);
        if (end == p || n < 0 || n >= TRACK_GATE_CAMERAS) return;
        if (n < gate_count) t->gate_cameras[n] = t->camera_count;
        p = end;
    }
}

int cameras_read(VfsFile *f, Track *t, int gate_count) {
    float fov = CAMERA_DEFAULT_FOV, auto_fov_size = 0;
    for (int32_t &c : t->gate_cameras) c = -1;
    char line[CONTENT_LINE_BYTES];
    while (f && vfs_gets(f, line, sizeof line)) {
        char *key = line + strspn(line, " \t");
        char *rest = key + strcspn(key, " \t\r\n");
        if (*rest == ' ' || *rest == '\t') *rest++ = 0;
        else *rest = 0;   // a key alone: nothing follows it
        float v[3];
        if (!strcmp(key, "addcamera")) {
            if (sscanf(rest, "%f %f %f", &v[0], &v[1], &v[2]) != 3 || !all_finite(v, 3)) continue;
            add_camera(t, v, fov, auto_fov_size);
            fov = CAMERA_DEFAULT_FOV;
            auto_fov_size = 0;
        } else if (!strcmp(key, "fov")) {
            if (sscanf(rest, "%f", &v[0]) == 1 && content_finite(v[0])) fov = fabsf(v[0]);
        } else if (!strcmp(key, "autofovsize")) {
            if (sscanf(rest, "%f", &v[0]) == 1 && content_finite(v[0])) auto_fov_size = fabsf(v[0]);
        } else if (!strcmp(key, "gate") && rest != key + 4) {
            map_gates(t, rest, gate_count);
        }
    }
    // A gate mapped after the last camera has no camera to show.
    for (int32_t &c : t->gate_cameras) {
        if (c >= t->camera_count) c = -1;
    }
    if (content_options()->debug_level >= 1) zolm_log("%d cameras found\n", t->camera_count);
    return t->camera_count;
}

// --- decals --------------------------------------------------------------------------

// The texture of a decal's name with its ending replaced, the PNG first.
static TextureId decal_map(const char *name, const char *kind) {
    static const char *const k_endings[2] = {".png", ".ppm"};
    const char *base = strrchr(name, '/');
    base = base ? base + 1 : name;
    const char *dot = strrchr(base, '.');
    int keep = dot ? (int)(dot - name) : (int)strlen(name);
    for (const char *ending : k_endings) {
        char candidate[CONTENT_NAME_BYTES + 32];
        snprintf(candidate, sizeof candidate, "%.*s%s%s", keep, name, kind, ending);
        TextureId id = content_texture(candidate);
        if (id) return id;
    }
    return 0;
}

// The picture of a decal with GL: pixels for update method 1, else a
// texture; false when it does not load.
static bool decal_picture(Decal *d, const char *name, int update_method) {
    if (update_method == TERRAIN_UPDATE_SOFTWARE) {
        char safe[CONTENT_NAME_BYTES + 2];
        CachedImage image;
        if (!content_data_name(name, safe, sizeof safe) || !image_load(safe, &image)) return false;
        d->pixels = image.pixels;
        d->width = image.width;
        d->height = image.height;
    } else {
        d->texture = content_texture(name);
        if (!d->texture) return false;
    }
    if (g_terrain.terrain_shaders) {
        d->normal_map = decal_map(name, "_tnorm");
        d->specular_map = decal_map(name, "_tspec");
    }
    return true;
}

int decals_read(VfsFile *f, Track *t, int update_method) {
    int added = 0;
    float v[5];
    char name[CONTENT_NAME_BYTES];
    while (f && vfs_scanf(f, "[ %f %f ] %f %f %f %1023s ", &v[0], &v[1], &v[2], &v[3], &v[4], name) == 6) {
        if (!all_finite(v, 5) || !name[0]) break;
        Decal d;
        memset(&d, 0, sizeof d);
        d.x = v[0];
        d.z = v[1];
        d.angle = v[2];
        d.size = v[3];
        d.aspect = v[4];
        if (content_options()->gl && !decal_picture(&d, name, update_method)) continue;
        if (!content_grow((void **)&t->decals, &t->decal_capacity, t->decal_count, sizeof d)) break;
        d.texture_name = content_copy(name);
        t->decals[t->decal_count++] = d;
        added++;
    }
    return added;
}
