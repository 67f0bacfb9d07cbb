// The gzip layer on arbitrary bytes. The first byte picks the setting: bit 0
// puts the scrambled layer underneath (the rest must then start with a
// scramble header), bit 1 bounds the stream to the input's length as an
// archive member is bounded, bits 2-3 pick how it is read. Every damaged
// stream must end quietly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "files/scramble.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

enum { FUZZ_OUTPUT_MAX = 64 << 20 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    int setting = data[0];
    data++;
    size--;
    vfs_gzip_header_size(data, size);

    bool scrambled = setting & 1;
    uint32_t length = VFS_LOOSE_LENGTH;
    if (setting & 2) {
        length = (uint32_t)size;
        if (scrambled) {
            if (length < SCRAMBLE_HEADER_BYTES) return 0;
            length -= SCRAMBLE_HEADER_BYTES;
        }
    }
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, length, true, scrambled);
    if (!f) return 0;

    char buffer[5000];
    size_t total = 0;
    switch (setting >> 2 & 3) {
    case 0:
        for (size_t got; (got = vfs_read(f, buffer, sizeof buffer)) > 0 && total < FUZZ_OUTPUT_MAX;) total += got;
        break;
    case 1:
        while (vfs_getc(f) >= 0 && total < FUZZ_OUTPUT_MAX) total++;
        break;
    case 2:
        while (vfs_gets(f, buffer, 100) && total < FUZZ_OUTPUT_MAX) total += 100;
        break;
    default: {
        int n;
        while (vfs_scanf(f, "%4999s", buffer) == 1 && total < FUZZ_OUTPUT_MAX) total++;
        while (vfs_scanf(f, "%d", &n) == 1 && total < FUZZ_OUTPUT_MAX) total++;
        break;
    }
    }
    if (vfs_seek(f, 0)) abort();   // never on compressed data
    vfs_close(f);
    return 0;
}
