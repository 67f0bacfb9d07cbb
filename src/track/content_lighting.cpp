// The "lighting" reader: sun, ambient, planes, sky faces, fog and lens
// flares, one "key value" line at a time.
//
// Owns: the flares of a Lighting record until lighting_free.
// Never: sets GL state unless the options say a GL context is current.
#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "files/vfs.h"
#include "track/content.h"
#include "track/content_internal.h"

static const char *const k_sky_keys[SKY_TEXTURES] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u", "sky_env"};
static const char *const k_sky_defaults[SKY_TEXTURES] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm",
                                                         "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"};

static void set3(float *out, float a, float b, float c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
}

void lighting_defaults(Lighting *l) {
    memset(l, 0, sizeof *l);
    set3(l->sun, 1, 1, 1);
    set3(l->sun_color, 1, 1, 1);
    set3(l->ambient, 0.5f, 0.5f, 0.5f);
    set3(l->global_ambient, 0.2f, 0.2f, 0.2f);
    l->near_plane = 0.25f;
    l->far_plane = 5000.0f;
}

void lighting_free(Lighting *l) {
    free(l->flares);
    l->flares = nullptr;
    l->flare_count = l->flare_capacity = 0;
}

// " [ %f %f %f ] ": all three finite numbers, or nothing changes.
static void read_vector(const char *value, float *out) {
    float v[3];
    if (sscanf(value, " [ %f %f %f ] ", &v[0], &v[1], &v[2]) != 3) return;
    for (float x : v) {
        if (!content_finite(x)) return;
    }
    memcpy(out, v, sizeof v);
}

static void read_float(const char *value, float *out) {
    float v;
    if (sscanf(value, "%f", &v) == 1 && content_finite(v)) *out = v;
}

static void add_flare_element(Lighting *l, const char *value) {
    FlareElement e;
    char name[CONTENT_NAME_BYTES];
    if (l->building.element_count >= FLARE_MAX_ELEMENTS) return;
    if (sscanf(value, " [ %f %f ] [ %f %f %f ] %f %1023s", &e.axis[0], &e.axis[1], &e.color[0], &e.color[1],
               &e.color[2], &e.size, name) < 7) {
        return;
    }
    const float numbers[6] = {e.axis[0], e.axis[1], e.color[0], e.color[1], e.color[2], e.size};
    for (float x : numbers) {
        if (!content_finite(x)) return;
    }
    e.texture = content_texture(name);
    l->building.elements[l->building.element_count++] = e;
}

// Finishes the flare being built at a position or along a direction and
// starts a new one. A flare that finds no room is dropped.
static void finish_flare(Lighting *l, const char *value, int kind) {
    float p[3] = {NAN, NAN, NAN};
    read_vector(value, p);
    if (!content_finite(p[0])) return;
    LensFlare flare = l->building;
    memset(&l->building, 0, sizeof l->building);
    memcpy(flare.position, p, sizeof p);
    flare.kind = kind;
    if (!content_grow((void **)&l->flares, &l->flare_capacity, l->flare_count, sizeof flare)) return;
    l->flares[l->flare_count++] = flare;
}

// One line; false for an unknown key.
static bool lighting_line(Lighting *l, char *line, bool given[SKY_TEXTURES]) {
    while (*line == ' ' || *line == '\t') line++;
    char *end = line + strlen(line);
    while (end > line && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n')) *--end = 0;
    if (!*line) return true;
    char *value = line + strcspn(line, " \t");
    if (*value) *value++ = 0;
    while (*value == ' ' || *value == '\t') value++;
    const char *key = line;

    for (int s = 0; s < SKY_TEXTURES; s++) {
        if (strcmp(key, k_sky_keys[s]) != 0) continue;
        if (!*value) return true;
        snprintf(l->sky_names[s], sizeof l->sky_names[s], "%s", value);
        given[s] = true;
        return true;
    }
    if (!strcmp(key, "sun_vector")) read_vector(value, l->sun);
    else if (!strcmp(key, "sun_color")) read_vector(value, l->sun_color);
    else if (!strcmp(key, "ambient")) read_vector(value, l->ambient);
    else if (!strcmp(key, "global_ambient")) read_vector(value, l->global_ambient);
    else if (!strcmp(key, "flare_element")) add_flare_element(l, value);
    else if (!strcmp(key, "flare_point")) finish_flare(l, value, FLARE_POINT);
    else if (!strcmp(key, "flare_vector")) finish_flare(l, value, FLARE_DIRECTION);
    else if (!strcmp(key, "fog")) {
        float c[3], d;
        if (sscanf(value, " [ %f %f %f ] %f ", &c[0], &c[1], &c[2], &d) == 4 && content_finite(c[0]) &&
            content_finite(c[1]) && content_finite(c[2]) && content_finite(d)) {
            memcpy(l->fog_color, c, sizeof c);
            l->fog_density = d;
        }
    } else if (!strcmp(key, "dynamic_lighting")) {
        int on = 0;
        if (sscanf(value, "%d", &on) == 1) l->dynamic = on > 0;
    } else if (!strcmp(key, "near_plane")) read_float(value, &l->near_plane);
    else if (!strcmp(key, "far_plane")) read_float(value, &l->far_plane);
    else {
        console_message("Error reading lighting: Unknown identifier '%.950s'\n", key);
        return false;
    }
    return true;
}

bool lighting_read(VfsFile *f, Lighting *l) {
    float fog[3] = {l->fog_color[0], l->fog_color[1], l->fog_color[2]};
    lighting_free(l);
    lighting_defaults(l);
    memcpy(l->fog_color, fog, sizeof fog);
    bool given[SKY_TEXTURES] = {};
    bool ok = true;
    char line[CONTENT_LINE_BYTES];
    while (f && vfs_gets(f, line, sizeof line)) {
        if (!lighting_line(l, line, given)) {
            ok = false;
            break;
        }
    }

    if (l->near_plane < LIGHTING_NEAR_MIN) l->near_plane = LIGHTING_NEAR_MIN;
    if (l->near_plane > LIGHTING_NEAR_MAX) l->near_plane = LIGHTING_NEAR_MAX;
    if (l->far_plane < l->near_plane) l->far_plane = l->near_plane;
    if (l->far_plane > LIGHTING_FAR_MAX) l->far_plane = LIGHTING_FAR_MAX;
    double length = sqrt((double)l->sun[0] * l->sun[0] + (double)l->sun[1] * l->sun[1] + (double)l->sun[2] * l->sun[2]);
    if (!(length > 0) || !std::isfinite(length)) {
        set3(l->sun, 1, 1, 1);   // no direction at all: the default sun
        length = sqrt(3.0);
    }
    for (float &v : l->sun) v = (float)(v / length);
    for (int s = 0; s < SKY_TEXTURES; s++) {
        if (!given[s]) snprintf(l->sky_names[s], sizeof l->sky_names[s], "%s", k_sky_defaults[s]);
        l->sky[s] = content_texture(l->sky_names[s]);
    }
    if (content_options()->gl) {
        GLfloat colour[4] = {l->fog_color[0], l->fog_color[1], l->fog_color[2], 1.0f};
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, l->fog_density);
        glFogfv(GL_FOG_COLOR, colour);
    }
    return ok;
}
