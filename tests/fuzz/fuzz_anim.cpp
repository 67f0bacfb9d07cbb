// The "ANIM1" sequence and "LINK" readers on arbitrary bytes (the rest of a
// file after its magic word). The first byte picks the reader and the detail
// level; the rest is the file. PNG pictures named in a sequence come from a
// stand-in reader ("a" RGBA 2 x 2, "b" RGB 2 x 2, "c" RGBA 3 x 5, nothing
// else), so no file outside the input is touched. Whatever the bytes, a
// read sequence must hold only valid entries and pictures of one size, and
// preparing its pictures for upload must not read past them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/texture.h"
#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

enum { FUZZ_INPUT_MAX = 65536 };

static bool stand_in_png(const char *name, Image *out) {
    memset(out, 0, sizeof *out);
    int width, height, channels;
    if (strcmp(name, "a") == 0) width = 2, height = 2, channels = 4;
    else if (strcmp(name, "b") == 0) width = 2, height = 2, channels = 3;
    else if (strcmp(name, "c") == 0) width = 3, height = 5, channels = 4;
    else return false;
    size_t bytes = mip_chain_bytes(width, height, channels);
    out->pixels = (unsigned char *)malloc(bytes);
    if (!out->pixels) return false;
    for (size_t i = 0; i < (size_t)width * height * channels; i++) out->pixels[i] = (unsigned char)(i * 37);
    mip_chain_build(out->pixels, width, height, channels, false);
    out->width = width;
    out->height = height;
    out->channels = channels;
    out->has_chain = true;
    return true;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_isolate_files();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    FILE *file = fuzz_memory_file(data + 1, size - 1);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;

    if (data[0] & 1) {
        char target[TEXTURE_LINK_MAX + 1];
        if (texture_link_read(f, target)) {
            size_t length = strlen(target);
            if (length == 0 || length > TEXTURE_LINK_MAX) abort();
            if (target[0] == ' ' || target[length - 1] == ' ') abort();
        }
        vfs_close(f);
        return 0;
    }

    TextureAnim anim;
    bool read = anim_read(f, &anim, stand_in_png);
    vfs_close(f);
    if (!read) {
        if (anim.images || anim.sequence || anim.length) abort();   // left empty
        return 0;
    }
    if (anim.length <= 0 || anim.image_count <= 0 || anim.period <= 0) abort();
    for (int i = 0; i < anim.length; i++)
        if (anim.sequence[i] < 0 || anim.sequence[i] >= anim.image_count) abort();
    for (int i = 0; i < anim.image_count; i++) {
        const Image *image = &anim.images[i];
        if (image->width != anim.images[0].width || image->height != anim.images[0].height ||
            image->channels != anim.images[0].channels)
            abort();
    }
    int skip = (data[0] >> 1) & 3;
    for (int i = 0; i < anim.image_count; i++) {
        Image *image = &anim.images[i];
        if (texture_prepare(image, skip, false)) {
            // Touch every byte of the prepared chain.
            size_t bytes = mip_chain_bytes(image->width, image->height, image->channels);
            unsigned sum = 0;
            for (size_t b = 0; b < bytes; b++) sum += image->pixels[b];
            if (sum == 0xFFFFFFFFu) fprintf(stderr, "!");
        }
    }
    anim_free(&anim);
    return 0;
}
