// Key bindings meet the input layer here: names become key codes and open
// axes, and the main loop's control rows take their codes and ranges from
// the settings. The only file of the settings that calls the input layer.
#include <cstdio>
#include <cstring>

#include "core/loop.h"
#include "core/settings.h"
#include "platform/input.h"

KeyBinding *settings_find_binding(const char *config_key) {
    for (KeyBinding &b : g_settings.bindings) {
        if (strcmp(b.config_key, config_key) == 0) return &b;
    }
    return nullptr;
}

static void binding_close_axis(KeyBinding *b) {
    if (b->axis) zolm_axis_close(b->axis);
    b->axis = nullptr;
}

void settings_binding_clear(KeyBinding *b) {
    binding_close_axis(b);
    b->kind = BINDING_NONE;
    b->name[0] = 0;
    b->code = -1;
    b->low = 0.0f;
    b->high = 1.0f;
}

void settings_binding_set_key(KeyBinding *b, const char *name, int code) {
    settings_binding_clear(b);
    b->kind = BINDING_KEY;
    snprintf(b->name, sizeof b->name, "%s", name);
    b->code = code;
}

void settings_binding_set_axis(KeyBinding *b, const char *name, ZolmAxis *axis, float low, float high) {
    settings_binding_clear(b);
    b->kind = BINDING_AXIS;
    snprintf(b->name, sizeof b->name, "%s", name);
    b->axis = axis;
    b->low = low;
    b->high = high;
}

void settings_bindings_to_rows(ControlBinding *rows, int count) {
    for (int r = 0; r < count; r++) {
        ControlBinding *row = &rows[r];
        row->code = -1;
        row->axis = -1;
        row->low = 0.0f;
        row->high = 1.0f;
        for (int i = 0; i < BIND_COUNT; i++) {
            const KeyBinding *b = &g_settings.bindings[i];
            if (strcmp(b->config_key, row->config_key) != 0) continue;
            row->code = b->kind == BINDING_KEY ? b->code : -1;
            row->axis = b->kind == BINDING_AXIS && b->axis ? i : -1;
            row->low = b->low;
            row->high = b->high;
            break;
        }
    }
}

void settings_resolve_bindings(ZolmWindow *w, ControlBinding *rows, int count) {
    for (KeyBinding &b : g_settings.bindings) {
        binding_close_axis(&b);
        b.code = -1;
        // An empty name or one the input layer does not know leaves the
        // binding inactive; its name stays for the next save.
        if (b.kind == BINDING_KEY && b.name[0]) b.code = zolm_button_code(w, b.name);
        if (b.kind == BINDING_AXIS && b.name[0]) b.axis = zolm_axis_open(w, b.name);
    }
    settings_bindings_to_rows(rows, count);
}

int32_t settings_axis_read(int handle) {
    if (handle < 0 || handle >= BIND_COUNT) return 0;
    ZolmAxis *axis = g_settings.bindings[handle].axis;
    return axis ? zolm_axis_read(axis) : 0;
}

void settings_release_bindings() {
    for (KeyBinding &b : g_settings.bindings) binding_close_axis(&b);
}
