// The gzip layer under ".gz" data files: one gzip member whose deflate data
// zlib decodes in raw mode. Compressed input is fed in 16 KiB chunks, never
// beyond the stored (compressed) length, from the container or through the
// scrambler; decoded bytes are handed out from a 1 KiB buffer so byte-wise
// reading of text stays cheap. The trailer is not checked: a damaged stream
// simply ends early. This is the only file that includes zlib.h.
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "files/vfs_internal.h"

enum {
    GZIP_FHCRC = 2,
    GZIP_FEXTRA = 4,
    GZIP_FNAME = 8,
    GZIP_FCOMMENT = 16,
    GZIP_FLAGS_END = 32,   // flag values from here on are reserved
};

size_t vfs_gzip_header_size(const unsigned char *data, size_t size) {
    if (size < 10) return 0;
    if (data[0] != 0x1F || data[1] != 0x8B || data[2] != 8 || data[3] >= GZIP_FLAGS_END) return 0;
    unsigned flags = data[3];
    size_t p = 10;   // past magic, method, flags, time, extra flags and OS
    if (flags & GZIP_FEXTRA) {
        if (size - p < 2) return 0;
        size_t extra = (size_t)data[p] | (size_t)data[p + 1] << 8;
        p += 2;
        if (size - p < extra) return 0;
        p += extra;
    }
    if (flags & GZIP_FNAME) {
        const void *end = memchr(data + p, 0, size - p);
        if (!end) return 0;
        p = (size_t)((const unsigned char *)end - data) + 1;
    }
    if (flags & GZIP_FCOMMENT) {
        const void *end = memchr(data + p, 0, size - p);
        if (!end) return 0;
        p = (size_t)((const unsigned char *)end - data) + 1;
    }
    if (flags & GZIP_FHCRC) {
        if (size - p < 2) return 0;
        p += 2;
    }
    return p;
}

// Reads the next chunk of compressed input, bounded by the stored length.
static size_t vfs_gzip_next_chunk(VfsFile *f) {
    uint32_t left = f->compressed_length - f->compressed_consumed;
    size_t want = left < (uint32_t)VFS_GZ_CHUNK ? left : (size_t)VFS_GZ_CHUNK;
    if (want == 0) return 0;
    size_t got = f->scrambler ? scrambled_read(f->scrambler, f->input, want)
                              : fread(f->input, 1, want, f->file);
    f->compressed_consumed += (uint32_t)got;
    return got;
}

bool vfs_gzip_start(VfsFile *f) {
    f->compressed_length = f->length;
    f->compressed_consumed = 0;
    f->ended = false;
    f->output_used = 0;
    f->output_read = 0;
    f->input = (unsigned char *)malloc(VFS_GZ_CHUNK);
    z_stream *z = (z_stream *)calloc(1, sizeof(z_stream));
    if (!f->input || !z) {
        free(z);
        free(f->input);
        f->input = nullptr;
        return false;
    }
    size_t got = vfs_gzip_next_chunk(f);
    size_t header = vfs_gzip_header_size(f->input, got);
    if (header == 0 || inflateInit2(z, -15) != Z_OK) {
        free(z);
        free(f->input);
        f->input = nullptr;
        return false;
    }
    z->next_in = f->input + header;
    z->avail_in = (uInt)(got - header);
    f->inflater = z;
    f->compressed = true;
    f->length = VFS_LOOSE_LENGTH;
    return true;
}

// Refills the output buffer: inflates until it is full or the stream ends.
// A decoding error or the end of the compressed input ends it too.
static void vfs_gzip_refill(VfsFile *f) {
    z_stream *z = f->inflater;
    f->output_used = 0;
    f->output_read = 0;
    z->next_out = f->output;
    z->avail_out = VFS_GZ_OUT;
    while (z->avail_out > 0 && !f->ended) {
        if (z->avail_in == 0) {
            size_t got = vfs_gzip_next_chunk(f);
            if (got == 0) {
                f->ended = true;
                break;
            }
            z->next_in = f->input;
            z->avail_in = (uInt)got;
        }
        if (inflate(z, Z_NO_FLUSH) != Z_OK) f->ended = true;
    }
    f->output_used = VFS_GZ_OUT - z->avail_out;
}

size_t vfs_gzip_read(VfsFile *f, void *buffer, size_t count) {
    unsigned char *out = (unsigned char *)buffer;
    size_t done = 0;
    while (done < count) {
        if (f->output_read == f->output_used) {
            if (f->ended) break;
            vfs_gzip_refill(f);
            if (f->output_used == 0) break;
        }
        size_t take = f->output_used - f->output_read;
        if (take > count - done) take = count - done;
        memcpy(out + done, f->output + f->output_read, take);
        f->output_read += (uint32_t)take;
        done += take;
    }
    return done;
}

void vfs_gzip_end(VfsFile *f) {
    if (f->inflater) {
        inflateEnd(f->inflater);
        free(f->inflater);
        f->inflater = nullptr;
    }
    free(f->input);
    f->input = nullptr;
}
