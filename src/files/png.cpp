// PNG through libpng: the RGB/RGBA reader with its info text and mip rules,
// the 16-bit gray reader for height maps, and the writers (screenshots,
// height maps, and pictures for the tools and the data builder).
//
// The only file that includes png.h. libpng reports errors by longjmp; each
// reader and writer catches them in one small plain function (png_decode,
// png_encode) whose state lives in a record the caller owns, so nothing with
// a destructor is ever jumped over and the caller frees what was made.
#include <png.h>

#include <cstdlib>
#include <cstring>

#include "files/image.h"
#include "files/vfs.h"
#include "platform/log.h"

enum {
    PNG_ERROR_MAX = 200,
    PNG_SIGNATURE_BYTES = 8,
    PNG_INFO_FILE_MAX = 1 << 20,   // a ".info" side file beyond this is cut
    PNG_FILE_MAX = 256 << 20,      // larger PNG files are refused
};

// --- reading ----------------------------------------------------------------

struct PngReader {
    png_structp png;
    png_infop info;
    png_infop end_info;
    VfsFile *file;
    unsigned char *bytes;      // the file after its signature, read whole
    size_t size, position;     // of bytes, and how far libpng has read
    bool gray16;               // png_read_gray16's conversions, else RGB/RGBA
    int width, height;
    int channels;              // after the conversions
    int bit_depth;             // after the conversions: 8, or 16 for gray16
    unsigned char *pixels;     // rows top-down
    size_t capacity;
    char *text;                // the text chunks, in file order
    size_t text_length;
    char error[PNG_ERROR_MAX];
};

static void png_on_error(png_structp png, png_const_charp message) {
    char *error = (char *)png_get_error_ptr(png);
    snprintf(error, PNG_ERROR_MAX, "%s", message);
    png_longjmp(png, 1);
}

static void png_on_warning(png_structp, png_const_charp) {
}

static void png_on_read(png_structp png, png_bytep data, size_t length) {
    PngReader *r = (PngReader *)png_get_io_ptr(png);
    if (length > r->size - r->position) png_error(png, "Truncated PNG data");
    memcpy(data, r->bytes + r->position, length);
    r->position += length;
}

static uint32_t png_be32(const unsigned char *p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Reads the rest of the file and checks that every chunk up to IEND lies
// inside it. libpng sizes a chunk's buffer by the length the file declares,
// so a short file declaring a 2 GiB chunk would otherwise cost 2 GiB.
static bool png_load_chunks(PngReader *r) {
    size_t room = 0;
    for (;;) {
        if (r->size == room) {
            if (room >= PNG_FILE_MAX) {
                image_set_error("PNG file too large");
                return false;
            }
            room = room ? room * 2 : 65536;
            unsigned char *grown = (unsigned char *)realloc(r->bytes, room);
            if (!grown) {
                image_set_error("Out of memory");
                return false;
            }
            r->bytes = grown;
        }
        size_t got = vfs_read(r->file, r->bytes + r->size, room - r->size);
        if (got == 0) break;
        r->size += got;
    }
    size_t pos = 0;
    while (pos + 8 <= r->size) {
        uint32_t length = png_be32(r->bytes + pos);
        if (length > PNG_UINT_31_MAX || length + (size_t)12 > r->size - pos) {
            image_set_error("PNG: Truncated PNG data");
            return false;
        }
        if (memcmp(r->bytes + pos + 4, "IEND", 4) == 0) break;
        pos += length + (size_t)12;
    }
    return true;
}

static bool png_text_append(char **text, size_t *length, const char *more, size_t count) {
    char *grown = (char *)realloc(*text, *length + count + 1);
    if (!grown) return false;
    memcpy(grown + *length, more, count);
    *length += count;
    grown[*length] = 0;
    *text = grown;
    return true;
}

enum {
    PNG_CHUNKS_MAX = 1000,           // ancillary chunks kept
};

static bool png_collect_text(PngReader *r, png_infop info) {
    png_textp chunks = nullptr;
    int count = 0;
    png_get_text(r->png, info, &chunks, &count);
    for (int i = 0; i < count; i++) {
        const char *t = chunks[i].text ? chunks[i].text : "";
        if (!png_text_append(&r->text, &r->text_length, t, strlen(t))) return false;
    }
    return true;
}

// Reads the picture after its signature into r->pixels with the conversions
// r->gray16 asks for. False with r->error set; r->pixels and r->text are
// then the caller's to free.
static bool png_decode(PngReader *r) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_structp png = r->png;
    png_set_read_fn(png, r, png_on_read);
    png_set_sig_bytes(png, PNG_SIGNATURE_BYTES);
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    // A file of many small text chunks would otherwise grow without end.
    png_set_chunk_cache_max(png, PNG_CHUNKS_MAX);
    png_read_info(png, r->info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, color = 0;
    png_get_IHDR(png, r->info, &width, &height, &depth, &color, nullptr, nullptr, nullptr);
    if (!image_size_ok((long)width, (long)height)) png_error(png, "PNG size out of range");
    if (!r->gray16 && !png_collect_text(r, r->info)) png_error(png, "Out of memory");
    bool transparency = png_get_valid(png, r->info, PNG_INFO_tRNS) != 0;

    if (color == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (color == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (r->gray16) {
        if (depth == 16) png_set_swap(png);
        if (color & PNG_COLOR_MASK_COLOR) png_set_rgb_to_gray_fixed(png, PNG_ERROR_ACTION_NONE, -1, -1);
        // After the palette's expansion, which turns tRNS into alpha.
        if ((color & PNG_COLOR_MASK_ALPHA) || (color == PNG_COLOR_TYPE_PALETTE && transparency))
            png_set_strip_alpha(png);
    } else {
        if (transparency) png_set_tRNS_to_alpha(png);
        if (depth == 16) png_set_strip_16(png);
        if (!(color & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, r->info);

    r->width = (int)width;
    r->height = (int)height;
    r->channels = png_get_channels(png, r->info);
    r->bit_depth = png_get_bit_depth(png, r->info);
    bool expected = r->gray16 ? r->channels == 1 && (r->bit_depth == 8 || r->bit_depth == 16)
                              : (r->channels == 3 || r->channels == 4) && r->bit_depth == 8;
    size_t row = (size_t)r->width * r->channels * (r->bit_depth / 8);
    if (!expected || png_get_rowbytes(png, r->info) != row) png_error(png, "Unexpected PNG conversion");

    // Rows arrive one by one, and the buffer grows with them; an interlaced
    // picture revisits every row, so it needs its whole buffer at once.
    size_t total = row * r->height;
    if (passes > 1 && !image_reserve(&r->pixels, &r->capacity, total, total)) png_error(png, "Out of memory");
    for (int pass = 0; pass < passes; pass++) {
        for (int y = 0; y < r->height; y++) {
            if (!image_reserve(&r->pixels, &r->capacity, row * (y + 1), total)) png_error(png, "Out of memory");
            png_read_row(png, r->pixels + row * y, nullptr);
        }
    }
    png_read_end(png, r->end_info);
    if (!r->gray16 && !png_collect_text(r, r->end_info)) png_error(png, "Out of memory");
    return true;
}

// Opens name, checks the signature and reads it; the file and libpng's
// records are gone afterwards whatever happened.
static bool png_read_any(const char *name, PngReader *r) {
    r->file = vfs_open(name, "rb");
    if (!r->file) {
        image_set_error("Can't open \"%.900s\"", name);
        return false;
    }
    unsigned char signature[PNG_SIGNATURE_BYTES];
    bool ok = vfs_read(r->file, signature, sizeof signature) == sizeof signature &&
              png_sig_cmp(signature, 0, sizeof signature) == 0;
    if (!ok) {
        image_set_error("Not a PNG file");
    } else if (!png_load_chunks(r)) {
        ok = false;
    } else {
        // The version libpng was built with: it refuses to run for any other.
        r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r->error, png_on_error, png_on_warning);
        if (r->png) r->info = png_create_info_struct(r->png);
        if (r->info) r->end_info = png_create_info_struct(r->png);
        ok = r->end_info && png_decode(r);
        if (!ok) image_set_error("PNG: %s", r->error[0] ? r->error : "can't start libpng");
        if (r->png) png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr, r->end_info ? &r->end_info : nullptr);
    }
    vfs_close(r->file);
    r->file = nullptr;
    free(r->bytes);
    r->bytes = nullptr;
    r->size = r->position = 0;
    if (!ok) {
        free(r->pixels);
        free(r->text);
        r->pixels = nullptr;
        r->text = nullptr;
    }
    return ok;
}

// Appends the whole ".info" side file of name to the text, when it opens.
static bool png_add_info_file(const char *name, char **text, size_t *length) {
    size_t name_length = strlen(name);
    char *info_name = (char *)malloc(name_length + sizeof ".info");
    if (!info_name) return false;
    memcpy(info_name, name, name_length);
    memcpy(info_name + name_length, ".info", sizeof ".info");
    VfsFile *f = vfs_open(info_name, "rb");
    free(info_name);
    if (!f) return true;
    bool ok = png_text_append(text, length, "", 0);
    char block[4096];
    size_t got, added = 0;
    while (ok && added < PNG_INFO_FILE_MAX && (got = vfs_read(f, block, sizeof block)) > 0) {
        if (got > PNG_INFO_FILE_MAX - added) got = PNG_INFO_FILE_MAX - added;
        ok = png_text_append(text, length, block, got);
        added += got;
    }
    vfs_close(f);
    return ok;
}

// "[mip_custom]": the picture is the base level over a strip that holds the
// smaller levels side by side from its left, all aligned to its top. A level
// that does not fit the strip's width (very narrow pictures) is filtered
// from the one before, as are the rest after it.
static bool png_custom_chain(Image *image, const char *name, bool max_alpha) {
    int width = image->width, full_height = image->height, c = image->channels;
    if (full_height * 2 % 3 != 0) {
        zolm_log("Warning: Invalid height for custom MIP map in '%.950s'\n", name);
        return true;
    }
    int height = full_height * 2 / 3, strip_height = full_height / 3;
    size_t bytes = mip_chain_bytes(width, height, c);
    unsigned char *chain = (unsigned char *)malloc(bytes);
    if (!chain) return false;
    const unsigned char *src = image->pixels;
    size_t src_row = (size_t)width * c;
    memcpy(chain, src, src_row * height);
    unsigned char *level = chain;
    int lw = width, lh = height, x = 0;
    while (lw > 1 || lh > 1) {
        unsigned char *next = level + (size_t)lw * lh * c;
        int nw = lw > 1 ? lw / 2 : 1, nh = lh > 1 ? lh / 2 : 1;
        if (x + nw > width || nh > strip_height) {
            mip_chain_build(level, lw, lh, c, max_alpha);
            break;
        }
        for (int y = 0; y < nh; y++)
            memcpy(next + (size_t)y * nw * c, src + src_row * (height + y) + (size_t)x * c, (size_t)nw * c);
        x += nw;
        level = next;
        lw = nw;
        lh = nh;
    }
    free(image->pixels);
    image->pixels = chain;
    image->height = height;
    image->has_chain = true;
    return true;
}

bool png_read_rgba(const char *name, Image *out) {
    memset(out, 0, sizeof *out);
    PngReader r;
    memset(&r, 0, sizeof r);
    if (!png_read_any(name, &r)) return false;
    out->pixels = r.pixels;
    out->width = r.width;
    out->height = r.height;
    out->channels = r.channels;
    size_t length = r.text_length;
    bool ok = png_add_info_file(name, &r.text, &length);
    out->info = r.text;
    const char *info = out->info ? out->info : "";
    bool max_alpha = strstr(info, "[mip_max_alpha]") != nullptr;
    if (ok && strstr(info, "[mip_custom]")) {
        ok = png_custom_chain(out, name, max_alpha);
    } else if (ok) {
        size_t bytes = mip_chain_bytes(out->width, out->height, out->channels);
        unsigned char *grown = (unsigned char *)realloc(out->pixels, bytes);
        ok = grown != nullptr;
        if (ok) {
            out->pixels = grown;
            mip_chain_build(grown, out->width, out->height, out->channels, max_alpha);
            out->has_chain = true;
        }
    }
    if (!ok) {
        image_free(out);
        image_set_error("Out of memory reading \"%.900s\"", name);
    }
    return ok;
}

bool png_read_gray16(const char *name, uint16_t **samples, int *width, int *height) {
    *samples = nullptr;
    *width = *height = 0;
    PngReader r;
    memset(&r, 0, sizeof r);
    r.gray16 = true;
    if (!png_read_any(name, &r)) return false;
    size_t count = (size_t)r.width * r.height;
    if (r.bit_depth == 8) {
        // Each byte repeated: v * 257, the same in either byte order.
        unsigned char *wide = (unsigned char *)malloc(count * 2);
        if (!wide) {
            free(r.pixels);
            image_set_error("Out of memory reading \"%.900s\"", name);
            return false;
        }
        for (size_t i = 0; i < count; i++) wide[2 * i] = wide[2 * i + 1] = r.pixels[i];
        free(r.pixels);
        r.pixels = wide;
    }
    *samples = (uint16_t *)r.pixels;
    *width = r.width;
    *height = r.height;
    return true;
}

// --- writing ----------------------------------------------------------------

struct PngPicture {
    const unsigned char *pixels;
    int width, height;
    int color_type;
    int bit_depth;
    int bytes_per_pixel;
    bool bottom_up;            // the buffer's first row is the picture's last
    bool little_endian;        // 16-bit samples as stored in memory
    const char *text;          // a "Comment" chunk, or none
};

struct PngWriter {
    png_structp png;
    png_infop info;
    VfsFile *file;             // the destination, or none for memory
    unsigned char *data;       // memory destination
    size_t size, capacity;
    char error[PNG_ERROR_MAX];
};

static void png_on_write(png_structp png, png_bytep data, size_t length) {
    PngWriter *w = (PngWriter *)png_get_io_ptr(png);
    if (w->file) {
        if (vfs_write(w->file, data, length) != length) png_error(png, "Write error");
        return;
    }
    if (w->size + length > w->capacity) {
        size_t room = w->capacity ? w->capacity * 2 : 4096;
        while (room < w->size + length) room *= 2;
        unsigned char *grown = (unsigned char *)realloc(w->data, room);
        if (!grown) png_error(png, "Out of memory");
        w->data = grown;
        w->capacity = room;
    }
    memcpy(w->data + w->size, data, length);
    w->size += length;
}

static void png_on_flush(png_structp) {
}

static bool png_encode(PngWriter *w, const PngPicture *p) {
    if (setjmp(png_jmpbuf(w->png))) return false;
    png_structp png = w->png;
    png_set_write_fn(png, w, png_on_write, png_on_flush);
    png_set_IHDR(png, w->info, (png_uint_32)p->width, (png_uint_32)p->height, p->bit_depth, p->color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (p->text) {
        png_text chunk;
        memset(&chunk, 0, sizeof chunk);
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = (png_charp) "Comment";
        chunk.text = (png_charp)p->text;
        chunk.text_length = strlen(p->text);
        png_set_text(png, w->info, &chunk, 1);
    }
    png_write_info(png, w->info);
    if (p->bit_depth == 16 && p->little_endian) png_set_swap(png);
    size_t row = (size_t)p->width * p->bytes_per_pixel;
    for (int y = 0; y < p->height; y++) {
        int from = p->bottom_up ? p->height - 1 - y : y;
        png_write_row(png, p->pixels + row * from);
    }
    png_write_end(png, w->info);
    return true;
}

// Encodes into w's destination; libpng's records are gone afterwards.
static bool png_write_any(PngWriter *w, const PngPicture *p) {
    if (!p->pixels || !image_size_ok(p->width, p->height)) {
        image_set_error("Bad picture to write");
        return false;
    }
    w->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, w->error, png_on_error, png_on_warning);
    if (w->png) w->info = png_create_info_struct(w->png);
    bool ok = w->info && png_encode(w, p);
    if (!ok) image_set_error("PNG: %s", w->error[0] ? w->error : "can't start libpng");
    if (w->png) png_destroy_write_struct(&w->png, w->info ? &w->info : nullptr);
    return ok;
}

static bool png_write_file(const char *name, const PngPicture *p) {
    PngWriter w;
    memset(&w, 0, sizeof w);
    w.file = vfs_open(name, "wb");
    if (!w.file) {
        image_set_error("Can't write \"%.900s\"", name);
        return false;
    }
    bool ok = png_write_any(&w, p);
    vfs_flush(w.file);
    if (ok && ferror(w.file->file)) {
        image_set_error("Write error on \"%.900s\"", name);
        ok = false;
    }
    vfs_close(w.file);
    return ok;
}

static int png_color_type(int channels) {
    return channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 3 ? PNG_COLOR_TYPE_RGB
         : channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : -1;
}

bool png_write_rgb(const char *name, const unsigned char *rows_bottom_up, int width, int height) {
    PngPicture p = {rows_bottom_up, width, height, PNG_COLOR_TYPE_RGB, 8, 3, true, false, nullptr};
    return png_write_file(name, &p);
}

bool png_write_gray16(const char *name, const uint16_t *samples, int width, int height) {
    // The samples' bytes lie least significant first; libpng swaps them into
    // the file's order.
    PngPicture p = {(const unsigned char *)samples, width, height, PNG_COLOR_TYPE_GRAY, 16, 2, false, true, nullptr};
    return png_write_file(name, &p);
}

bool png_write_rgba(const char *name, const unsigned char *pixels, int width, int height, int channels,
                    const char *text) {
    int color = png_color_type(channels);
    if (color < 0) {
        image_set_error("Bad channel count %d to write", channels);
        return false;
    }
    PngPicture p = {pixels, width, height, color, 8, channels, false, false, text};
    return png_write_file(name, &p);
}

bool png_encode_rgba(const unsigned char *pixels, int width, int height, int channels, const char *text,
                     unsigned char **out, size_t *size) {
    *out = nullptr;
    *size = 0;
    int color = png_color_type(channels);
    if (color < 0) {
        image_set_error("Bad channel count %d to write", channels);
        return false;
    }
    PngPicture p = {pixels, width, height, color, 8, channels, false, false, text};
    PngWriter w;
    memset(&w, 0, sizeof w);
    if (!png_write_any(&w, &p)) {
        free(w.data);
        return false;
    }
    *out = w.data;
    *size = w.size;
    return true;
}
