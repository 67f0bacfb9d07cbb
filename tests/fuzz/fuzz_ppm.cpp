// The PPM and PGM readers on arbitrary bytes. The first byte picks the
// reader (bit 0 clear: PPM, set: PGM); the rest is the file from its magic
// word. A picture that reads must hold all the bytes its size says, chain
// included; one that does not must leave nothing behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "files/image.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

static void check(bool ok, const Image &image) {
    if (!ok) {
        if (image.pixels || image.info || image.width || image.height) abort();
        return;
    }
    size_t bytes = image.has_chain ? mip_chain_bytes(image.width, image.height, image.channels)
                                   : (size_t)image.width * image.height * image.channels;
    volatile unsigned char last = image.pixels[bytes - 1];
    (void)last;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    int which = data[0];
    FILE *file = fuzz_memory_file(data + 1, size - 1);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    Image image;
    bool ok = which & 1 ? pgm_read_stream(f, &image) : ppm_read_stream(f, &image);
    check(ok, image);
    if (ok && image.channels != (which & 1 ? 1 : 3)) abort();
    image_free(&image);
    vfs_close(f);
    return 0;
}
