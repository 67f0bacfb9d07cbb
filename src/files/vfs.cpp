// Opening, reading and writing VfsFile streams, renaming in the home
// directory, and the start-up probe for the game data.
//
// A name with "@" is tried as a path in each data directory in turn (with its
// ".gz", ".scram" and ".gz.scram" variants), then, for reading only, in the
// index, where loose files beat archive members. Reads never go past the
// stored length of an archive member, whatever layer sits on top.
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "core/ripemd160.h"
#include "files/vfs_internal.h"
#include "platform/log.h"

// The RIPEMD-160 digest of the marker archive "zzzz.saf" that
// "quorvin-tool make-data" writes; a test keeps the two in step.
const char *const VFS_MARKER_DIGEST = "d7b926fe43934699936e6d4f6e15824fa40c0c4d";

enum {
    VFS_BACKUP_PATH_MAX = 1000,
    VFS_BACKUP_NUMBERS = 9999,
    VFS_BACKUP_BLOCK = 65536,
    VFS_MARKER_BYTES = 1048576,   // the probe hashes at most this much of the marker
    VFS_MARKER_PIECE = 256,
};

static const char *const VFS_VARIANTS[3] = {".gz", ".scram", ".gz.scram"};

static bool vfs_exists(const char *path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

// fopen that refuses directories: on Linux they open for reading, and "@"
// names must fall through to the next directory or the index instead.
static FILE *vfs_fopen(const char *path, const char *mode) {
    FILE *file = fopen(path, mode);
    if (!file) return nullptr;
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(file);
        return nullptr;
    }
    return file;
}

VfsFile *vfs_open_stream(FILE *file, uint32_t base, uint32_t length, bool compressed,
                         bool scrambled) {
    VfsFile *f = (VfsFile *)calloc(1, sizeof *f);
    if (!f) {
        fclose(file);
        return nullptr;
    }
    f->file = file;
    f->base = base;
    f->length = length;
    f->position = 0;
    f->pushback = -1;
    if (scrambled) {
        f->scrambler = scrambled_open(file);
        if (!f->scrambler) {
            vfs_close(f);
            return nullptr;
        }
        f->scrambled = true;
    }
    if (compressed && !vfs_gzip_start(f)) {
        vfs_close(f);
        return nullptr;
    }
    return f;
}

// Copies the file at path to the first free "path.~N~". True when there was
// nothing to back up or the copy is complete; on false the old file is as it
// was and no partial copy is left.
static bool vfs_backup(const char *path) {
    FILE *old = vfs_fopen(path, "rb");
    if (!old) return true;
    char name[VFS_BACKUP_PATH_MAX + 16];
    int n = 1;
    for (; n <= VFS_BACKUP_NUMBERS; n++) {
        snprintf(name, sizeof name, "%s.~%d~", path, n);
        if (!vfs_exists(name)) break;
    }
    if (n > VFS_BACKUP_NUMBERS) {
        fclose(old);
        return false;
    }
    FILE *copy = fopen(name, "wb");
    unsigned char *block = (unsigned char *)malloc(VFS_BACKUP_BLOCK);
    bool ok = copy && block;
    while (ok) {
        size_t got = fread(block, 1, VFS_BACKUP_BLOCK, old);
        if (got > 0 && fwrite(block, 1, got, copy) != got) ok = false;
        if (got < VFS_BACKUP_BLOCK) {
            if (ferror(old)) ok = false;
            break;
        }
    }
    free(block);
    fclose(old);
    if (copy && fclose(copy) != 0) ok = false;
    if (!ok && copy) remove(name);
    return ok;
}

// Opens one operating-system path, with the backup, directory creation and
// read variants described at the top.
static VfsFile *vfs_open_path(const char *path, const char *mode) {
    bool read_only = vfs_mode_read_only(mode);
    size_t length = strlen(path);
    if (!read_only && length < VFS_PATH_MAX) vfs_make_dirs(path);

    FILE *file;
    if (mode[0] == '~' && length <= VFS_BACKUP_PATH_MAX) {
        if (!vfs_backup(path)) return nullptr;
        file = vfs_fopen(path, mode + 1);
    } else {
        file = vfs_fopen(path, mode);
    }

    bool compressed = false, scrambled = false;
    if (!file && read_only) {
        char variant[VFS_PATH_MAX];
        for (int i = 0; i < 3 && !file; i++) {
            if (length + strlen(VFS_VARIANTS[i]) >= VFS_PATH_MAX) continue;
            snprintf(variant, sizeof variant, "%s%s", path, VFS_VARIANTS[i]);
            file = vfs_fopen(variant, mode);
            compressed = i != 1;
            scrambled = i != 0;
        }
    }
    if (!file) return nullptr;
    return vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, compressed, scrambled);
}

static bool vfs_ends_with(const char *text, size_t length, const char *suffix) {
    size_t n = strlen(suffix);
    return length >= n && vfs_compare_names(text + length - n, suffix) == 0;
}

// The index lookup for a read-only "@" name (without "@"): the plain name and
// its variants, smallest precedence winning, the earlier candidate on a tie.
static VfsFile *vfs_open_indexed(const char *name) {
    static const char *const candidates[4] = {"", ".gz", ".scram", ".gz.scram"};
    const VfsIndexEntry *best = nullptr;
    int best_candidate = 0;
    for (int i = 0; i < 4; i++) {
        const VfsIndexEntry *e = vfs_index_find(name, candidates[i]);
        if (e && (!best || e->precedence < best->precedence)) {
            best = e;
            best_candidate = i;
        }
    }
    if (!best) return nullptr;

    // The kind follows the winning name's ending, whichever part supplied it.
    const char *suffix = candidates[best_candidate];
    size_t name_length = strlen(name), suffix_length = strlen(suffix);
    char *full = (char *)malloc(name_length + suffix_length + 1);
    if (!full) return nullptr;
    memcpy(full, name, name_length);
    memcpy(full + name_length, suffix, suffix_length + 1);
    size_t full_length = name_length + suffix_length;
    bool compressed = vfs_ends_with(full, full_length, ".gz") ||
                      vfs_ends_with(full, full_length, ".gz.scram");
    bool scrambled = vfs_ends_with(full, full_length, ".scram");
    free(full);

    // The scramble header is part of the stored bytes, not of the data.
    uint32_t length = best->length;
    if (scrambled) {
        if (length < SCRAMBLE_HEADER_BYTES) return nullptr;
        length -= SCRAMBLE_HEADER_BYTES;
    }
    FILE *file = vfs_fopen(best->container, "rb");
    if (!file) return nullptr;
    if (fseeko(file, (off_t)best->offset, SEEK_SET) != 0) {
        fclose(file);
        return nullptr;
    }
    return vfs_open_stream(file, best->offset, length, compressed, scrambled);
}

VfsFile *vfs_open(const char *name, const char *mode) {
    if (!name || !mode) return nullptr;
    vfs_index_build();
    if (name[0] != '@') return vfs_open_path(name, mode);

    char path[VFS_NAME_MAX + 1];
    for (int i = 0; i < vfs_data_dir_count(); i++) {
        snprintf(path, sizeof path, "%s%s", vfs_data_dir(i), name + 1);
        VfsFile *f = vfs_open_path(path, mode);
        if (f) return f;
    }
    if (!vfs_mode_read_only(mode)) return nullptr;
    return vfs_open_indexed(name + 1);
}

void vfs_close(VfsFile *f) {
    if (!f) return;
    vfs_gzip_end(f);
    scrambled_free(f->scrambler);
    if (f->file) fclose(f->file);
    free(f);
}

// Reads data bytes past the pushback, at most up to length, through the
// layer the stream has; position grows by what is delivered.
static size_t vfs_read_data(VfsFile *f, void *buffer, size_t count) {
    uint32_t room = f->position < f->length ? f->length - f->position : 0;
    if (count > room) count = room;
    if (count == 0) return 0;
    size_t got;
    if (f->compressed) got = vfs_gzip_read(f, buffer, count);
    else if (f->scrambled) got = scrambled_read(f->scrambler, buffer, count);
    else got = fread(buffer, 1, count, f->file);
    f->position += (uint32_t)got;
    return got;
}

int vfs_getc(VfsFile *f) {
    if (f->pushback >= 0) {
        int c = f->pushback;
        f->pushback = -1;
        return c;
    }
    unsigned char c;
    return vfs_read_data(f, &c, 1) == 1 ? c : -1;
}

char *vfs_gets(VfsFile *f, char *buffer, int size) {
    if (size <= 0) return nullptr;
    int n = 0;
    while (n < size - 1) {
        int c = vfs_getc(f);
        if (c < 0) {
            if (n == 0) return nullptr;
            break;
        }
        buffer[n++] = (char)c;
        if (c == '\n') break;
    }
    buffer[n] = 0;
    return buffer;
}

size_t vfs_read(VfsFile *f, void *buffer, size_t count) {
    if (count == 0) return 0;
    unsigned char *out = (unsigned char *)buffer;
    size_t done = 0;
    if (f->pushback >= 0) {
        out[done++] = (unsigned char)f->pushback;
        f->pushback = -1;
    }
    return done + vfs_read_data(f, out + done, count - done);
}

bool vfs_seek(VfsFile *f, uint32_t offset) {
    if (f->compressed || f->scrambled || offset >= f->length) return false;
    if (fseeko(f->file, (off_t)f->base + (off_t)offset, SEEK_SET) != 0) return false;
    f->pushback = -1;
    f->position = offset;
    return true;
}

bool vfs_putc(VfsFile *f, int c) {
    return fputc(c, f->file) != EOF;
}

int vfs_puts(VfsFile *f, const char *text) {
    return fputs(text, f->file);
}

size_t vfs_write(VfsFile *f, const void *data, size_t count) {
    return fwrite(data, 1, count, f->file);
}

int vfs_printf(VfsFile *f, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = vfprintf(f->file, format, args);
    va_end(args);
    return n;
}

void vfs_flush(VfsFile *f) {
    fflush(f->file);
}

// An "@" name becomes the home directory + the rest, cut to VFS_NAME_MAX.
static const char *vfs_rename_path(const char *name, char *path, size_t size) {
    if (name[0] != '@') return name;
    const char *home = vfs_data_dir(0);
    if (!home) return nullptr;
    snprintf(path, size, "%s%s", home, name + 1);
    return path;
}

bool vfs_rename(const char *from, const char *to) {
    char from_buffer[VFS_NAME_MAX + 1], to_buffer[VFS_NAME_MAX + 1];
    const char *from_path = vfs_rename_path(from, from_buffer, sizeof from_buffer);
    const char *to_path = vfs_rename_path(to, to_buffer, sizeof to_buffer);
    if (!from_path || !to_path) return false;
    remove(to_path);
    return rename(from_path, to_path) == 0;
}

static bool vfs_marker_matches(const char *path, const char *digest_hex) {
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    Ripemd160 hash;
    ripemd160_start(&hash);
    unsigned char piece[VFS_MARKER_PIECE];
    size_t total = 0;
    while (total < VFS_MARKER_BYTES) {
        size_t got = fread(piece, 1, sizeof piece, file);
        if (got == 0) break;
        ripemd160_add(&hash, piece, got);
        total += got;
    }
    fclose(file);
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&hash, digest);
    return ripemd160_equals_hex(digest, digest_hex);
}

bool vfs_find_game_data_with(const char *digest_hex) {
    const char *home = vfs_data_dir(0);
    if (home) {
        vfs_make_dirs(home);
        zolm_log("ZOLM_LOGFILE=%slastlog.txt", home);
    }
    for (int i = 0; i < vfs_data_dir_count(); i++) {
        const char *dir = vfs_data_dir(i);
        size_t n = strlen(dir);
        char *path = (char *)malloc(n + sizeof "zzzz.saf");
        if (!path) return false;
        memcpy(path, dir, n);
        memcpy(path + n, "zzzz.saf", sizeof "zzzz.saf");
        bool found = vfs_marker_matches(path, digest_hex);
        free(path);
        if (found) return true;
    }
    return false;
}

bool vfs_find_game_data() {
    return vfs_find_game_data_with(VFS_MARKER_DIGEST);
}

void vfs_reset() {
    vfs_index_free();
    vfs_dirs_free();
}
