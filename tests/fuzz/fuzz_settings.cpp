// The settings and setup readers on arbitrary bytes. The first byte picks
// the reader ("@config" or a setup file); the rest is the file. Whatever the
// bytes, reading must not crash or read past a buffer, and what the writer
// then makes of the record must read back to the very same file: the saved
// form is a fixed point of reading and writing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/settings.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

enum { FUZZ_INPUT_MAX = 16384 };

static bool read_bytes(const uint8_t *data, size_t size, bool setup_only) {
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return false;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return false;
    bool read = setup_only ? setup_read(f) : settings_read(f);
    vfs_close(f);
    return read;
}

// The writer's output, through a memory file.
static std::string written(bool setup_only) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *file = open_memstream(&buffer, &size);
    if (!file) abort();
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) abort();
    if (setup_only) setup_write(f);
    else settings_write(f);
    vfs_close(f);
    std::string text(buffer, size);
    free(buffer);
    return text;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    bool setup_only = data[0] & 1;
    settings_init_defaults();
    if (!read_bytes(data + 1, size - 1, setup_only)) return 0;
    std::string first = written(setup_only);

    settings_init_defaults();
    if (!read_bytes((const uint8_t *)first.data(), first.size(), setup_only)) abort();
    std::string second = written(setup_only);
    if (first != second) {
        fprintf(stderr, "written settings do not read back:\n--- first\n%s\n--- second\n%s\n", first.c_str(),
                second.c_str());
        abort();
    }
    return 0;
}
