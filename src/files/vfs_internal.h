// Declarations shared by the files of the virtual file system only: the
// index, the data directory list, the stream constructor and the gzip layer.
// Nothing outside src/files/ (except tests and fuzz targets) includes this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "files/vfs.h"

// --- vfs_dirs.cpp ---------------------------------------------------------

// Creates the directory named by the text before each "/" of path, shortest
// first; errors are ignored (most levels exist already).
void vfs_make_dirs(const char *path);
// A mode is read-only when it holds "r" and no "+".
bool vfs_mode_read_only(const char *mode);
// Forgets the data directory list.
void vfs_dirs_free();

// --- vfs_index.cpp --------------------------------------------------------

// Builds the index and the name list once (until vfs_reset).
void vfs_index_build();
// The entry of the name followed by suffix (compared without regard to
// letter case) with the smallest precedence, or none.
const VfsIndexEntry *vfs_index_find(const char *name, const char *suffix);
// Forgets the index and the name list.
void vfs_index_free();
// Case-insensitive (ASCII) comparison, as the index orders its names.
int vfs_compare_names(const char *a, const char *b);

// --- vfs.cpp --------------------------------------------------------------

// Wraps an open container positioned at base. length is the number of data
// bytes there (after any scramble header), or VFS_LOOSE_LENGTH for a whole
// loose file. Takes the file over: on failure it is closed and none returned.
VfsFile *vfs_open_stream(FILE *file, uint32_t base, uint32_t length, bool compressed,
                         bool scrambled);

// --- vfs_gzip.cpp ---------------------------------------------------------

// Size of the gzip member header at the start of data, or 0 when the bytes
// are not a gzip header or it runs past size.
size_t vfs_gzip_header_size(const unsigned char *data, size_t size);
// Starts reading the stream's data as one gzip member: reads the first
// chunk, checks its header and sets up the inflater. False leaves nothing
// allocated.
bool vfs_gzip_start(VfsFile *f);
// Hands out up to count decompressed bytes; fewer once the stream ended.
size_t vfs_gzip_read(VfsFile *f, void *buffer, size_t count);
void vfs_gzip_end(VfsFile *f);
