// Track and demo lists, built from the names of the file index.
#include "core/tracklist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "core/memory.h"
#include "files/vfs.h"
#include "platform/log.h"

NameList g_tracks;
NameList g_demos;

static const char *const k_terrain_suffixes[] = {
    "/terrain.hf", "/terrain.hf.gz", "/terrain.hf.scram", "/terrain.hf.gz.scram",
};

static bool ends_with_nocase(const char *text, const char *suffix, size_t *stem) {
    size_t n = strlen(text), m = strlen(suffix);
    if (n < m || strcasecmp(text + n - m, suffix) != 0) return false;
    *stem = n - m;
    return true;
}

static char *copy_n(const char *text, size_t n) {
    char *s = (char *)mem_alloc(n + 1);
    memcpy(s, text, n);
    s[n] = 0;
    return s;
}

static void namelist_add(NameList *list, int *room, char *name, char *title) {
    if (list->count == *room) {
        *room = *room ? *room * 2 : 16;
        list->names = (char **)mem_realloc(list->names, *room * sizeof(char *));
        list->titles = (char **)mem_realloc(list->titles, *room * sizeof(char *));
    }
    list->names[list->count] = name;
    list->titles[list->count] = title;
    list->count++;
}

// The first line of "<dir>/desc" (up to CR, LF, NUL or the end), or none.
static char *read_track_title(const char *dir) {
    char path[1024];
    snprintf(path, sizeof path, "@%s/desc", dir);
    VfsFile *f = vfs_open(path, "rb");
    if (!f) return nullptr;
    char title[TRACK_TITLE_MAX];
    size_t n = 0;
    int c;
    while (n + 1 < sizeof title && (c = vfs_getc(f)) > 0 && c != '\r' && c != '\n') title[n++] = (char)c;
    vfs_close(f);
    return copy_n(title, n);
}

int tracklist_build(NameList *list, int debug) {
    memset(list, 0, sizeof *list);
    int room = 0;
    const char *const *names = vfs_list();
    for (int i = 0; names && names[i]; i++) {
        size_t stem = 0;
        bool is_track = false;
        for (const char *suffix : k_terrain_suffixes) {
            if (ends_with_nocase(names[i], suffix, &stem)) {
                is_track = true;
                break;
            }
        }
        if (!is_track || stem == 0) continue;
        char *dir = copy_n(names[i], stem);
        // "x/terrain.hf" and "x/terrain.hf.gz" name the same track once.
        if (namelist_find(list, dir) >= 0) {
            free(dir);
            continue;
        }
        char *title = read_track_title(dir);
        namelist_add(list, &room, dir, title ? title : copy_n(dir, strlen(dir)));
    }

    std::vector<int> order(list->count);
    for (int i = 0; i < list->count; i++) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [list](int a, int b) { return strcasecmp(list->titles[a], list->titles[b]) < 0; });
    std::vector<char *> names_sorted(list->count), titles_sorted(list->count);
    for (int i = 0; i < list->count; i++) {
        names_sorted[i] = list->names[order[i]];
        titles_sorted[i] = list->titles[order[i]];
    }
    for (int i = 0; i < list->count; i++) {
        list->names[i] = names_sorted[i];
        list->titles[i] = titles_sorted[i];
        if (debug) zolm_log("%s -> %s\n", list->names[i], list->titles[i]);
    }
    return list->count;
}

int demolist_build(NameList *list, int debug) {
    memset(list, 0, sizeof *list);
    int room = 0;
    const char *const *names = vfs_list();
    for (int i = 0; names && names[i]; i++) {
        size_t stem = 0;
        if (strncasecmp(names[i], "demos/", 6) != 0 || !ends_with_nocase(names[i], ".qvdemo", &stem)) continue;
        const char *base = strrchr(names[i], '/') + 1;
        size_t base_len = names[i] + stem - base;
        char *title = copy_n(base, base_len);
        namelist_add(list, &room, copy_n(names[i], strlen(names[i])), title);
        if (debug) zolm_log("%s -> %s\n", names[i], title);
    }
    return list->count;
}

void namelist_free(NameList *list) {
    for (int i = 0; i < list->count; i++) {
        free(list->names[i]);
        free(list->titles[i]);
    }
    free(list->names);
    free(list->titles);
    memset(list, 0, sizeof *list);
}

int namelist_find(const NameList *list, const char *name) {
    for (int i = 0; i < list->count; i++) {
        if (strcasecmp(list->names[i], name) == 0) return i;
    }
    return -1;
}
