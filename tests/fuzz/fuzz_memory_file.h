// What the fuzz targets share: an anonymous in-memory file to hand bytes to
// FILE*-based readers (its seeks and reads behave as a disk file's, which
// fmemopen's do not quite: size 0, end-of-file flags), and a file system
// that sees none of the machine's data directories and logs nowhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#include "files/vfs.h"
#include "files/vfs_internal.h"

static inline void fuzz_isolate_files() {
    setenv("XDG_DATA_HOME", "/nonexistent/fuzz", 1);
    setenv("QV_HOME", "/nonexistent/fuzz", 1);
    setenv("ZOLM_LOGFILE", "/dev/null", 1);
    vfs_reset();
}

static inline FILE *fuzz_memory_file(const uint8_t *data, size_t size) {
    int fd = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (size > 0 && write(fd, data, size) != (ssize_t)size) {
        close(fd);
        return nullptr;
    }
    lseek(fd, 0, SEEK_SET);
    FILE *file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

// The bytes as a readable stream of the file system; none when they cannot
// be put into a file.
static inline VfsFile *fuzz_stream(const uint8_t *data, size_t size) {
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return nullptr;
    return vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
}

// An empty scratch stream to write into and read back (a writer's round
// trip); none when no temporary file can be made.
static inline VfsFile *fuzz_scratch_stream() {
    FILE *file = tmpfile();
    if (!file) return nullptr;
    return vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
}

// A broken promise of the reader under test: say which and stop.
static inline void fuzz_check(bool ok, const char *what, int index) {
    if (ok) return;
    fprintf(stderr, "%d: %s\n", index, what);
    abort();
}
