// Image files to pixel buffers, and pixel buffers to PNG files.
//
// Pixel buffers hold rows top to bottom with interleaved channels (1 gray,
// 3 RGB, 4 RGBA). A mip chain is the base level followed directly by each
// smaller level in the same buffer, down to 1 x 1. Buffers are malloc'd and
// owned by the caller (free()).
// Never: crashes or reads past the data on a bad file; every reader returns
// false and leaves its outputs empty, with the reason in image_last_error().
#pragma once

#include <cstddef>
#include <cstdint>

struct VfsFile;

enum {
    IMAGE_MAX_SIDE = 16384,          // readers refuse wider or higher pictures
    IMAGE_MAX_PIXELS = 64 << 20,     // and more than this many pixels in all
    IMAGE_ERROR_MAX = 256,
};

// One decoded picture.
struct Image {
    unsigned char *pixels;   // base level, then the chain when has_chain
    int width, height;
    int channels;            // 1, 3 or 4
    bool has_chain;
    char *info;              // PNG text chunks + ".info" file, or none (malloc'd)
};

void image_free(Image *image);   // frees pixels and info, zeroes the record

// The reason the last reader failed ("Can't get PPM dimensions" ...).
const char *image_last_error();
// For the readers and writers of files/ only: sets that text.
void image_set_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// True for 1 .. IMAGE_MAX_SIDE on each side and at most IMAGE_MAX_PIXELS.
bool image_size_ok(long width, long height);
// Grows a malloc'd buffer to hold at least need bytes of a picture that will
// hold total bytes in all: the room at least doubles, never past total, so
// memory follows the data that arrives rather than what a header claims.
bool image_reserve(unsigned char **buffer, size_t *capacity, size_t need, size_t total);

// Bytes of a chain for a base of width x height with `channels` channels.
size_t mip_chain_bytes(int width, int height, int channels);
// Builds the levels after the base level in place; `pixels` must hold
// mip_chain_bytes(). With max_alpha, a level's alpha is the largest of the four.
void mip_chain_build(unsigned char *pixels, int width, int height, int channels, bool max_alpha);

// The readers. Each takes a stream positioned after its magic word (the
// caller read it with vfs_scanf "%15s"), except the PNG readers which open
// the name themselves.
//
// PPM and PGM: comment lines ("#" to the end of the line) may come before
// each number. Samples are scaled by 255 / maximum (v * 255 / maximum, a
// sample above the maximum counts as the maximum). The maximum must be
// 1 .. 65535; above 255 the raw forms ("P6", "P5") hold two bytes per sample,
// most significant first, as the netpbm tools write them.
bool ppm_read(VfsFile *f, bool ascii, Image *out);               // "P6"/"P3", 3 channels, with chain
bool pgm_read(VfsFile *f, bool ascii, Image *out);               // "P5"/"P2", 1 channel, no chain
// The same from the start of the stream: they read the magic word first and
// fail with "Can't parse PPM header" / "Can't parse PGM header" on another.
bool ppm_read_stream(VfsFile *f, Image *out);
bool pgm_read_stream(VfsFile *f, Image *out);
// stored_channels 3 ("V6") or 4 ("V7"); out_channels 3 or 4: stored
// channels beyond it are dropped, missing ones are 0.
bool delta_read(VfsFile *f, int stored_channels, int out_channels, Image *out);   // "V6"/"V7", with chain
// 3 or 4 channels, info, chain rules. With "[mip_custom]" and a height that
// is not a multiple of 3 it logs a warning and returns the picture as read,
// without a chain (has_chain false).
bool png_read_rgba(const char *name, Image *out);
// samples: width x height, little-endian in memory, malloc'd.
bool png_read_gray16(const char *name, uint16_t **samples, int *width, int *height);

// Reads any picture by its magic word ("V7", "V6", "P6", "P3", "P5", "P2",
// else PNG). out_channels 3 or 4 applies to the delta format only; 0 there
// keeps the stored channels. A file with a known magic word whose reader
// fails is not tried as PNG (it cannot be one: PNG starts with byte 0x89).
bool image_read_file(const char *name, int out_channels, Image *out);

// Writers through the file system ("wb").
bool png_write_rgb(const char *name, const unsigned char *rows_bottom_up, int width, int height);
bool png_write_gray16(const char *name, const uint16_t *samples, int width, int height);
// An 8-bit gray, RGB or RGBA PNG (channels 1, 3 or 4) from top-down rows
// (tools, data builder), with text, when given, in a "Comment" text chunk.
bool png_write_rgba(const char *name, const unsigned char *pixels, int width, int height, int channels,
                    const char *text);
// The same into memory: *out is malloc'd (free()), *size its bytes.
bool png_encode_rgba(const unsigned char *pixels, int width, int height, int channels, const char *text,
                     unsigned char **out, size_t *size);
