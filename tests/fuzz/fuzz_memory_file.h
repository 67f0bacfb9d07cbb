// The fuzz targets' way to hand bytes to FILE*-based readers: an anonymous
// in-memory file, read from its start. Its seeks and reads behave as a disk
// file's, which fmemopen's do not quite (size 0, end-of-file flags).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

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
