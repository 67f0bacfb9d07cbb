// The predicted-delta reader on arbitrary bytes. The first byte picks the
// stored channels (bit 0: "V7", else "V6") and the output channels (bit 1:
// 4, else 3); the rest is the file after its magic word. A picture that
// reads must hold its whole chain; one that does not leaves nothing behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "files/image.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    int stored = data[0] & 1 ? 4 : 3, wanted = data[0] & 2 ? 4 : 3;
    FILE *file = fuzz_memory_file(data + 1, size - 1);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    Image image;
    if (delta_read(f, stored, wanted, &image)) {
        if (!image.has_chain || image.channels != wanted) abort();
        volatile unsigned char last = image.pixels[mip_chain_bytes(image.width, image.height, wanted) - 1];
        (void)last;
    } else if (image.pixels || image.width || image.height) {
        abort();
    }
    image_free(&image);
    vfs_close(f);
    return 0;
}
