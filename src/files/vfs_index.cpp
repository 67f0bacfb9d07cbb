// The file index: every loose file under the data directories and every
// member of the ".saf" archives among them, sorted by name (ignoring letter
// case) and then by precedence, so a lookup by halving finds the winner of a
// name first. Built once on first use, kept until vfs_reset; files written
// later are found by a direct open, not here.
//
// Precedence: loose files take their data directory's index; archives come
// after all loose files, numbered in the sorted order of their own names.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "files/vfs_internal.h"

enum {
    VFS_INDEX_FIRST_ROOM = 16,
    VFS_WALK_DEPTH_MAX = 64,   // also the length of the ancestor chain kept against link loops
};

static VfsIndexEntry *g_entries;   // built by vfs_index_build, freed by vfs_index_free
static int g_count;
static int g_room;
static bool g_full;                // a failed growth ends the adding
static bool g_built;
static const char **g_names;       // the distinct names, ended by none
static const char *const g_no_names[1] = {nullptr};

static int vfs_lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

int vfs_compare_names(const char *a, const char *b) {
    for (;; a++, b++) {
        int ca = vfs_lower((unsigned char)*a), cb = vfs_lower((unsigned char)*b);
        if (ca != cb || ca == 0) return ca - cb;
    }
}

// Compares an entry name with key + suffix without joining them.
static int vfs_compare_joined(const char *name, const char *key, const char *suffix) {
    for (; *key; name++, key++) {
        int ca = vfs_lower((unsigned char)*name), cb = vfs_lower((unsigned char)*key);
        if (ca != cb || ca == 0) return ca - cb;
    }
    return vfs_compare_names(name, suffix);
}

// Takes container over (the entry owns it from here, or it is freed).
static bool vfs_index_add(char *container, const char *name, uint32_t offset, uint32_t length,
                          int32_t precedence) {
    if (g_full) {
        free(container);
        return false;
    }
    if (g_count == g_room) {
        int room = g_room ? g_room * 2 : VFS_INDEX_FIRST_ROOM;
        VfsIndexEntry *grown = (VfsIndexEntry *)realloc(g_entries, (size_t)room * sizeof *grown);
        if (!grown) {
            g_full = true;
            free(container);
            return false;
        }
        g_entries = grown;
        g_room = room;
    }
    VfsIndexEntry *e = &g_entries[g_count++];
    e->container = container;
    e->name = name;
    e->offset = offset;
    e->length = length;
    e->precedence = precedence;
    return true;
}

struct VfsWalk {
    size_t root_length;                      // bytes of the directory prefix before each name
    int32_t precedence;
    int depth;
    dev_t devices[VFS_WALK_DEPTH_MAX];       // the directories being walked, outermost first
    ino_t inodes[VFS_WALK_DEPTH_MAX];
};

static bool vfs_walk_is_ancestor(const VfsWalk *w, const struct stat *st) {
    for (int i = 0; i < w->depth; i++) {
        if (w->devices[i] == st->st_dev && w->inodes[i] == st->st_ino) return true;
    }
    return false;
}

// Adds the regular files below dir (no trailing "/"). A directory reached
// again through a link to one of its ancestors is not walked twice.
static void vfs_walk(VfsWalk *w, const char *dir) {
    DIR *d = opendir(dir[0] ? dir : "/");
    if (!d) return;
    size_t dir_length = strlen(dir);
    struct dirent *entry;
    while (!g_full && (entry = readdir(d)) != nullptr) {
        if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
        size_t name_length = strlen(entry->d_name);
        char *path = (char *)malloc(dir_length + 1 + name_length + 1);
        if (!path) break;
        memcpy(path, dir, dir_length);
        path[dir_length] = '/';
        memcpy(path + dir_length + 1, entry->d_name, name_length + 1);
        struct stat st;
        if (stat(path, &st) != 0) {
            free(path);
        } else if (S_ISDIR(st.st_mode)) {
            if (w->depth < VFS_WALK_DEPTH_MAX && !vfs_walk_is_ancestor(w, &st)) {
                w->devices[w->depth] = st.st_dev;
                w->inodes[w->depth] = st.st_ino;
                w->depth++;
                vfs_walk(w, path);
                w->depth--;
            }
            free(path);
        } else if (S_ISREG(st.st_mode)) {
            // Sizes past 4 GiB cannot be described by the 32-bit fields.
            uint32_t length = st.st_size > (off_t)UINT32_MAX ? UINT32_MAX : (uint32_t)st.st_size;
            vfs_index_add(path, path + w->root_length, 0, length, w->precedence);
        } else {
            free(path);   // pipes and devices would block or never end
        }
    }
    closedir(d);
}

static void vfs_walk_data_dir(const char *root, int32_t precedence) {
    size_t n = strlen(root);
    char *dir = (char *)malloc(n + 1);
    if (!dir) return;
    memcpy(dir, root, n + 1);
    if (n > 0 && dir[n - 1] == '/') dir[--n] = 0;
    VfsWalk w;
    w.root_length = n + 1;
    w.precedence = precedence;
    w.depth = 0;
    struct stat st;
    if (stat(dir[0] ? dir : "/", &st) == 0) {
        w.devices[0] = st.st_dev;
        w.inodes[0] = st.st_ino;
        w.depth = 1;
    }
    vfs_walk(&w, dir);
    free(dir);
}

// Reads one header line of at most VFS_SAF_LINE_MAX bytes (its line feed
// included) into line; returns its byte count, embedded zero bytes counted.
static size_t saf_read_line(FILE *file, char *line) {
    size_t n = 0;
    while (n < VFS_SAF_LINE_MAX) {
        int c = getc(file);
        if (c == EOF) break;
        line[n++] = (char)c;
        if (c == '\n') break;
    }
    line[n] = 0;
    return n;
}

int saf_read_header(FILE *file, SafMember **members) {
    *members = nullptr;
    SafMember *list = nullptr;
    int count = 0, room = 0;
    uint64_t header_bytes = 0;
    char line[VFS_SAF_LINE_MAX + 1];
    for (;;) {
        size_t n = saf_read_line(file, line);
        if (n == 0 || line[n - 1] != '\n') break;   // the end came first, or the line is too long
        header_bytes += n;
        if (n == 2 && line[0] == '-') {
            uint64_t offset = header_bytes;
            for (int i = 0; i < count; i++) {
                list[i].offset = (uint32_t)offset;
                offset += list[i].length;
            }
            if (offset > UINT32_MAX) break;   // the offsets are 32-bit
            *members = list;
            return count;
        }
        char *end;
        errno = 0;
        long length = strtol(line, &end, 10);
        if (end == line || errno == ERANGE || length < 0 || (unsigned long)length > UINT32_MAX) break;
        if (count == room) {
            room = room ? room * 2 : VFS_INDEX_FIRST_ROOM;
            SafMember *grown = (SafMember *)realloc(list, (size_t)room * sizeof *grown);
            if (!grown) break;
            list = grown;
        }
        SafMember *m = &list[count++];
        const char *name = end + 1;   // past the one separator byte
        size_t name_length = strlen(name);
        if (name_length > 0 && name[name_length - 1] == '\n') name_length--;
        memcpy(m->name, name, name_length);
        m->name[name_length] = 0;
        vfs_collapse_slashes(m->name);
        m->length = (uint32_t)length;
        m->offset = 0;
    }
    free(list);
    return -1;
}

static bool vfs_ends_with_saf(const char *name) {
    size_t n = strlen(name);
    return n > 4 && vfs_compare_names(name + n - 4, ".saf") == 0;
}

static void vfs_index_add_archive(const char *archive, int32_t precedence) {
    FILE *file = fopen(archive, "rb");
    if (!file) return;
    SafMember *members;
    int count = saf_read_header(file, &members);
    fclose(file);
    size_t archive_length = strlen(archive);
    for (int i = 0; i < count; i++) {
        size_t name_length = strlen(members[i].name);
        char *container = (char *)malloc(archive_length + 1 + name_length + 1);
        if (!container) break;
        memcpy(container, archive, archive_length + 1);
        char *name = container + archive_length + 1;
        memcpy(name, members[i].name, name_length + 1);
        if (!vfs_index_add(container, name, members[i].offset, members[i].length, precedence)) break;
    }
    free(members);
}

// Name (ignoring case), then precedence; the rest only makes the order of
// otherwise equal entries the same on every run.
static int vfs_compare_entries(const void *pa, const void *pb) {
    const VfsIndexEntry *a = (const VfsIndexEntry *)pa, *b = (const VfsIndexEntry *)pb;
    int c = vfs_compare_names(a->name, b->name);
    if (c) return c;
    if (a->precedence != b->precedence) return a->precedence < b->precedence ? -1 : 1;
    c = strcmp(a->name, b->name);
    if (c) return c;
    c = strcmp(a->container, b->container);
    if (c) return c;
    return a->offset < b->offset ? -1 : a->offset > b->offset ? 1 : 0;
}

static void vfs_index_sort() {
    if (g_count > 1) qsort(g_entries, (size_t)g_count, sizeof *g_entries, vfs_compare_entries);
}

static void vfs_index_build_names() {
    g_names = (const char **)malloc(((size_t)g_count + 1) * sizeof *g_names);
    if (!g_names) return;
    int n = 0;
    for (int i = 0; i < g_count; i++) {
        if (i == 0 || vfs_compare_names(g_entries[i].name, g_entries[i - 1].name) != 0)
            g_names[n++] = g_entries[i].name;
    }
    g_names[n] = nullptr;
}

void vfs_index_build() {
    if (g_built) return;
    g_built = true;
    int dirs = vfs_data_dir_count();
    for (int i = 0; i < dirs; i++) vfs_walk_data_dir(vfs_data_dir(i), i);
    vfs_index_sort();

    // Archives are opened in sorted order of the loose entries that existed
    // before this step; the members added meanwhile are not archives here.
    int loose = g_count;
    int32_t ordinal = dirs;
    for (int i = 0; i < loose; i++) {
        if (!vfs_ends_with_saf(g_entries[i].name)) continue;
        vfs_index_add_archive(g_entries[i].container, ordinal);
        ordinal++;
    }
    vfs_index_sort();
    vfs_index_build_names();
}

void vfs_index_free() {
    for (int i = 0; i < g_count; i++) free(g_entries[i].container);
    free(g_entries);
    free(g_names);
    g_entries = nullptr;
    g_names = nullptr;
    g_count = 0;
    g_room = 0;
    g_full = false;
    g_built = false;
}

const VfsIndexEntry *vfs_index_find(const char *name, const char *suffix) {
    int low = 0, high = g_count;
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (vfs_compare_joined(g_entries[mid].name, name, suffix) < 0) low = mid + 1;
        else high = mid;
    }
    if (low < g_count && vfs_compare_joined(g_entries[low].name, name, suffix) == 0)
        return &g_entries[low];
    return nullptr;
}

const char *const *vfs_list() {
    vfs_index_build();
    return g_names ? g_names : g_no_names;
}

const VfsIndexEntry *vfs_index(int *count) {
    vfs_index_build();
    if (count) *count = g_count;
    return g_entries;
}

bool vfs_describe(int entry, char *buffer, size_t size) {
    vfs_index_build();
    if (entry < 0 || entry >= g_count || !buffer || size == 0) return false;
    snprintf(buffer, size, "%s -> %s", g_entries[entry].name, g_entries[entry].container);
    return true;
}
