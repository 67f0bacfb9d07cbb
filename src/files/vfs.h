// Virtual file system: one name space over the data directories, the loose
// files in them and the members of ".saf" archives, with gzip and scrambled
// variants read transparently. Names beginning with "@" are looked up in the
// data directories (home directory first) and the file index; any other name
// is an ordinary operating-system path. "/" separates directories.
//
// Owns: the data directory list, the file index and the name list (built
// once, on first use, kept until vfs_reset). Every VfsFile is owned by its
// caller from vfs_open until vfs_close.
// Never: prints to the player or the log on a failed open (callers decide),
// or reads past a member's stored length.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "files/scramble.h"

struct z_stream_s;

enum {
    VFS_MAX_DATA_DIRS = 2,
    VFS_NAME_MAX = 511,          // "@" names are cut to this after the directory is prepended
    VFS_PATH_MAX = 1024,         // variants and directory creation only below this
    VFS_LOOSE_LENGTH = 2147483647,
    VFS_GZ_CHUNK = 16384,
    VFS_GZ_OUT = 1024,
    VFS_SAF_LINE_MAX = 1023,     // header line bytes including its line feed
};

// One file known to the index: a loose file or a member of an archive.
struct VfsIndexEntry {
    char *container;       // full OS path of the loose file or the archive (owned)
    const char *name;      // name relative to the data directory or in the archive
    uint32_t offset;       // of the data inside the container
    uint32_t length;       // stored bytes
    int32_t precedence;    // smaller wins: data directory index, or dirs + archive ordinal
};

// One open stream. Reads of gzip data go through the inflater, reads of
// scrambled data through the ScrambledStream, others straight from the file.
struct VfsFile {
    FILE *file;
    uint32_t base;
    uint32_t length;               // bytes readable
    uint32_t position;             // bytes consumed so far
    int32_t pushback;              // one byte of look-ahead, or -1
    bool compressed;
    bool scrambled;
    uint32_t compressed_length;
    uint32_t compressed_consumed;
    bool ended;
    z_stream_s *inflater;          // present while compressed
    unsigned char *input;          // VFS_GZ_CHUNK bytes of compressed input
    unsigned char output[VFS_GZ_OUT];
    uint32_t output_used;          // bytes in output
    uint32_t output_read;          // read pointer into output
    ScrambledStream *scrambler;    // present when scrambled
};

VfsFile *vfs_open(const char *name, const char *mode);
void vfs_close(VfsFile *f);

int vfs_getc(VfsFile *f);                                 // 0-255, or -1 at the end
char *vfs_gets(VfsFile *f, char *buffer, int size);       // like fgets
size_t vfs_read(VfsFile *f, void *buffer, size_t count);
// Formatted reading in the manner of sscanf over the stream's bytes, with one
// byte of look-ahead left in pushback. Conversions: %d %i %o %x %X (int
// targets, short with "h"; "l" still means int), %f (float, double with "l",
// long double with "ll", "L" or "q"), %s %c %[ (char targets), %n and %%.
// Any other conversion letter ends the call. Returns the number of assigned
// conversions; -1 when a literal byte does not match, or when the input ends
// before the first conversion completes.
int vfs_scanf(VfsFile *f, const char *format, ...);
int vfs_vscanf(VfsFile *f, const char *format, va_list args);
bool vfs_seek(VfsFile *f, uint32_t offset);

bool vfs_putc(VfsFile *f, int c);
int vfs_puts(VfsFile *f, const char *text);
size_t vfs_write(VfsFile *f, const void *data, size_t count);
int vfs_printf(VfsFile *f, const char *format, ...) __attribute__((format(printf, 2, 3)));
void vfs_flush(VfsFile *f);

bool vfs_rename(const char *from, const char *to);

// The distinct names of the index in sort order, ended by a null entry.
const char *const *vfs_list();
// "name -> container", cut to fit; false when the number is out of range.
bool vfs_describe(int entry, char *buffer, size_t size);
// The whole index, sorted by name then precedence (for tools and tests).
const VfsIndexEntry *vfs_index(int *count);

const char *vfs_data_dir(int i);               // with trailing "/", or none
int vfs_data_dir_count();
// Creates the home directory and starts the desktop's file browser on it
// (xdg-open) without waiting; false when it cannot be started.
bool vfs_open_home_folder();
// The start-up probe: opens the log in the home directory, then looks for a
// "zzzz.saf" whose first MiB hashes to VFS_MARKER_DIGEST.
bool vfs_find_game_data();
// The same probe against any digest (40 hexadecimal digits, either case).
bool vfs_find_game_data_with(const char *digest_hex);

// Forgets the data directories and the index so the next call builds them
// again from the environment. Used at shut-down and by tests.
void vfs_reset();

// The archive header reader, for the index and for tools. Reads the header
// from the file's position and returns the number of members, with their
// names ("/" runs collapsed) and offsets from the start of the archive, or
// -1 when the header is malformed: no end line "-", a line that is not ended
// by "\n" within VFS_SAF_LINE_MAX bytes, a line without a leading number, a
// negative length, or members reaching past 4 GiB. On -1, *members is none.
struct SafMember {
    char name[VFS_SAF_LINE_MAX + 1];
    uint32_t offset;
    uint32_t length;
};
int saf_read_header(FILE *file, SafMember **members);   // *members is malloc'd; free() it

// Collapses runs of "/" in place.
void vfs_collapse_slashes(char *text);

// The marker archive's digest: the RIPEMD-160 of our own data set's "zzzz.saf".
extern const char *const VFS_MARKER_DIGEST;
