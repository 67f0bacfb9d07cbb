// Gear lists: the textures a player can choose for riding gear, helmet,
// bike graphics and wheels, found by file-name prefix in the file index.
// Normal and specular maps sit beside the textures and are never offered.
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/memory.h"
#include "core/settings.h"
#include "files/vfs.h"

enum { GEAR_LIST_FIRST_CAPACITY = 16 };

static const char *const k_skipped_endings[] = {"_norm.png", "_spec.png", "_norm.png.scram", "_spec.png.scram"};

// Names compare without regard to letter case, as the file index does.
static bool ends_with(const char *text, size_t length, const char *suffix) {
    size_t n = strlen(suffix);
    return length >= n && strcasecmp(text + length - n, suffix) == 0;
}

static char *copy_text(const char *text, size_t length) {
    char *copy = (char *)mem_alloc(length + 1);
    memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

static void gear_list_add(GearList *list, char *name, char *file) {
    if (list->count == list->capacity) {
        int capacity = list->capacity ? list->capacity * 2 : GEAR_LIST_FIRST_CAPACITY;
        list->names = (char **)mem_realloc(list->names, (size_t)capacity * sizeof(char *));
        list->files = (char **)mem_realloc(list->files, (size_t)capacity * sizeof(char *));
        list->capacity = capacity;
    }
    list->names[list->count] = name;
    list->files[list->count] = file;
    list->count++;
}

void gear_list_free(GearList *list) {
    for (int i = 0; i < list->count; i++) {
        free(list->names[i]);
        free(list->files[i]);
    }
    free(list->names);
    free(list->files);
    memset(list, 0, sizeof *list);
}

void gear_list_build(GearList *list, const char *prefix) {
    gear_list_free(list);
    gear_list_add(list, copy_text("default", 7), nullptr);
    size_t prefix_length = strlen(prefix);
    const char *const *names = vfs_list();
    for (int i = 0; names && names[i]; i++) {
        const char *name = names[i];
        const char *slash = strrchr(name, '/');
        const char *base = slash ? slash + 1 : name;
        size_t base_length = strlen(base);
        if (strncasecmp(base, prefix, prefix_length) != 0) continue;
        size_t ending;
        if (ends_with(base, base_length, ".png")) ending = 4;
        else if (ends_with(base, base_length, ".png.scram")) ending = 10;
        else continue;
        bool skipped = false;
        for (const char *s : k_skipped_endings) skipped = skipped || ends_with(base, base_length, s);
        if (skipped || base_length < prefix_length + ending) continue;

        // "@" + the name less ".scram": the file system finds the scrambled
        // variant by itself.
        size_t name_length = strlen(name) - (ending == 10 ? 6 : 0);
        char *file = (char *)mem_alloc(name_length + 2);
        file[0] = '@';
        memcpy(file + 1, name, name_length);
        file[name_length + 1] = 0;
        // A texture stored both plain and scrambled is offered once.
        bool listed = false;
        for (int k = 1; k < list->count && !listed; k++) listed = strcmp(list->files[k], file) == 0;
        if (listed) {
            free(file);
            continue;
        }
        gear_list_add(list, copy_text(base + prefix_length, base_length - prefix_length - ending), file);
    }
}

void gear_list_attach(ChoiceSetting *c, const GearList *list) {
    c->names = list->names;
    c->count = list->count;
    c->index = 0;
}

const char *gear_list_file(const GearList *list, int index) {
    if (index <= 0 || index >= list->count) return nullptr;
    return list->files[index];
}
