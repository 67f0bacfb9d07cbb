// The game's own picture formats (PPM, PGM and the predicted-delta "V6" /
// "V7"), the mip chain builder, and reading any picture by its magic word.
//
// Owns: the last error text. Never: reads past the data a header promises,
// trusts a header's size before the bytes arrive (buffers grow with the rows
// actually read), or leaves a half-filled Image behind on failure.
#include "files/image.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/vfs.h"

static char s_image_error[IMAGE_ERROR_MAX] = "";

void image_set_error(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(s_image_error, sizeof s_image_error, format, args);
    va_end(args);
}

const char *image_last_error() {
    return s_image_error;
}

void image_free(Image *image) {
    if (!image) return;
    free(image->pixels);
    free(image->info);
    memset(image, 0, sizeof *image);
}

bool image_size_ok(long width, long height) {
    return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
           width * height <= (long)IMAGE_MAX_PIXELS;
}

bool image_reserve(unsigned char **buffer, size_t *capacity, size_t need, size_t total) {
    if (need <= *capacity) return true;
    size_t room = *capacity * 2;
    if (room < need) room = need;
    if (room < 4096) room = 4096;
    if (room > total) room = total;
    if (room < need) return false;
    unsigned char *grown = (unsigned char *)realloc(*buffer, room);
    if (!grown) return false;
    *buffer = grown;
    *capacity = room;
    return true;
}

// --- mip chains -------------------------------------------------------------

static int mip_next(int size) {
    return size > 1 ? size / 2 : 1;
}

size_t mip_chain_bytes(int width, int height, int channels) {
    if (width < 1 || height < 1 || channels < 1) return 0;
    size_t total = 0;
    for (;;) {
        total += (size_t)width * (size_t)height * (size_t)channels;
        if (width == 1 && height == 1) return total;
        width = mip_next(width);
        height = mip_next(height);
    }
}

// One level from the one above it. Each pixel comes from a 2 x 2 block, or a
// pair when the level above is one pixel wide or high; odd last rows and
// columns are dropped.
static void mip_level_down(const unsigned char *src, int width, int height, int channels, bool max_alpha,
                           unsigned char *dst) {
    int next_width = mip_next(width), next_height = mip_next(height);
    int n = width > 1 && height > 1 ? 4 : 2;
    for (int y = 0; y < next_height; y++) {
        for (int x = 0; x < next_width; x++) {
            const unsigned char *p[4];
            if (n == 4) {
                p[0] = src + ((size_t)(2 * y) * width + 2 * x) * channels;
                p[1] = p[0] + channels;
                p[2] = p[0] + (size_t)width * channels;
                p[3] = p[2] + channels;
            } else if (width == 1) {
                p[0] = src + (size_t)(2 * y) * channels;
                p[1] = p[0] + channels;
            } else {
                p[0] = src + (size_t)(2 * x) * channels;
                p[1] = p[0] + channels;
            }
            unsigned char *out = dst + ((size_t)y * next_width + x) * channels;
            if (channels != 4) {
                for (int c = 0; c < channels; c++) {
                    int sum = 0;
                    for (int i = 0; i < n; i++) sum += p[i][c];
                    out[c] = (unsigned char)(sum / n);
                }
                continue;
            }
            int total_alpha = 0, most = 0;
            for (int i = 0; i < n; i++) {
                total_alpha += p[i][3];
                if (p[i][3] > most) most = p[i][3];
            }
            bool plain = total_alpha == 0 || total_alpha == 255 * n;
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int i = 0; i < n; i++) sum += plain ? p[i][c] : p[i][c] * p[i][3];
                out[c] = (unsigned char)(plain ? sum / n : sum / total_alpha);
            }
            out[3] = (unsigned char)(max_alpha ? most : total_alpha / n);
        }
    }
}

void mip_chain_build(unsigned char *pixels, int width, int height, int channels, bool max_alpha) {
    if (!pixels || width < 1 || height < 1 || channels < 1) return;
    while (width > 1 || height > 1) {
        unsigned char *next = pixels + (size_t)width * height * channels;
        mip_level_down(pixels, width, height, channels, max_alpha, next);
        pixels = next;
        width = mip_next(width);
        height = mip_next(height);
    }
}

// --- the text headers ------------------------------------------------------

// Comment lines: optional white space, "#", the rest of the line.
static void header_skip_comments(VfsFile *f) {
    char hash[2];
    while (vfs_scanf(f, " %1[#]%*[^\n]", hash) == 1) {
    }
}

static bool header_number(VfsFile *f, int *value) {
    header_skip_comments(f);
    return vfs_scanf(f, "%d", value) == 1;
}

// --- PPM and PGM ------------------------------------------------------------

static int pnm_scale(int value, int maximum) {
    if (value > maximum) value = maximum;
    return value * 255 / maximum;
}

// Both netpbm kinds: kind is "PPM" or "PGM", channels 3 or 1.
static bool pnm_read(VfsFile *f, bool ascii, const char *kind, int channels, Image *out) {
    memset(out, 0, sizeof *out);
    int width = -1, height = -1, maximum = -1;
    if (!header_number(f, &width) || !header_number(f, &height) || !header_number(f, &maximum) ||
        width < 0 || height < 0 || maximum < 0) {
        image_set_error("Can't get %s dimensions", kind);
        return false;
    }
    if (!image_size_ok(width, height)) {
        image_set_error("%s size %dx%d out of range", kind, width, height);
        return false;
    }
    if (maximum < 1 || maximum > 65535) {
        image_set_error("%s maximum value %d out of range", kind, maximum);
        return false;
    }
    if (!ascii && vfs_getc(f) < 0) {
        image_set_error("Truncated %s data", kind);
        return false;
    }

    size_t row = (size_t)width * channels;
    size_t total = row * height;
    int sample_bytes = maximum > 255 ? 2 : 1;
    unsigned char *pixels = nullptr, *raw = nullptr;
    size_t capacity = 0;
    if (!ascii) raw = (unsigned char *)malloc(row * sample_bytes);
    bool ok = ascii || raw;
    const char *problem = ok ? nullptr : "Out of memory reading %s";
    for (int y = 0; ok && y < height; y++) {
        if (!image_reserve(&pixels, &capacity, row * (y + 1), total)) {
            problem = "Out of memory reading %s";
            ok = false;
            break;
        }
        unsigned char *dst = pixels + row * y;
        if (ascii) {
            for (size_t i = 0; i < row; i++) {
                int value;
                if (!header_number(f, &value) || value < 0) {
                    problem = "Truncated or bad %s data";
                    ok = false;
                    break;
                }
                dst[i] = (unsigned char)pnm_scale(value, maximum);
            }
            continue;
        }
        if (vfs_read(f, raw, row * sample_bytes) != row * sample_bytes) {
            problem = "Truncated %s data";
            ok = false;
            break;
        }
        for (size_t i = 0; i < row; i++) {
            int value = sample_bytes == 2 ? raw[2 * i] << 8 | raw[2 * i + 1] : raw[i];
            dst[i] = (unsigned char)pnm_scale(value, maximum);
        }
    }
    free(raw);
    if (!ok) {
        free(pixels);
        image_set_error(problem, kind);
        return false;
    }
    out->pixels = pixels;
    out->width = width;
    out->height = height;
    out->channels = channels;
    return true;
}

// Turns a base level into a full chain in a buffer of the right size.
static bool image_add_chain(Image *image, bool max_alpha) {
    size_t bytes = mip_chain_bytes(image->width, image->height, image->channels);
    unsigned char *grown = (unsigned char *)realloc(image->pixels, bytes);
    if (!grown) {
        image_free(image);
        image_set_error("Out of memory building a mip chain");
        return false;
    }
    image->pixels = grown;
    mip_chain_build(grown, image->width, image->height, image->channels, max_alpha);
    image->has_chain = true;
    return true;
}

bool ppm_read(VfsFile *f, bool ascii, Image *out) {
    if (!pnm_read(f, ascii, "PPM", 3, out)) return false;
    return image_add_chain(out, false);
}

bool pgm_read(VfsFile *f, bool ascii, Image *out) {
    return pnm_read(f, ascii, "PGM", 1, out);
}

bool ppm_read_stream(VfsFile *f, Image *out) {
    memset(out, 0, sizeof *out);
    char magic[16] = "";
    if (vfs_scanf(f, "%15s", magic) == 1) {
        if (strcmp(magic, "P6") == 0) return ppm_read(f, false, out);
        if (strcmp(magic, "P3") == 0) return ppm_read(f, true, out);
    }
    image_set_error("Can't parse PPM header");
    return false;
}

bool pgm_read_stream(VfsFile *f, Image *out) {
    memset(out, 0, sizeof *out);
    char magic[16] = "";
    if (vfs_scanf(f, "%15s", magic) == 1) {
        if (strcmp(magic, "P5") == 0) return pgm_read(f, false, out);
        if (strcmp(magic, "P2") == 0) return pgm_read(f, true, out);
    }
    image_set_error("Can't parse PGM header");
    return false;
}

// --- the predicted-delta format ---------------------------------------------

// The prediction for channel c of pixel x of the row being decoded, from the
// decoded pixels left of it (cur) and the row above (above, none on the top
// row); s is the stored channel count.
static int delta_predict(const unsigned char *cur, const unsigned char *above, int x, int s, int c) {
    if (!above) return x == 0 ? 0 : cur[(x - 1) * s + c];
    if (x == 0) return above[c];
    int p = cur[(x - 1) * s + c] + above[x * s + c] - above[(x - 1) * s + c];
    return p < 0 ? 0 : p > 255 ? 255 : p;
}

bool delta_read(VfsFile *f, int stored_channels, int out_channels, Image *out) {
    memset(out, 0, sizeof *out);
    if ((stored_channels != 3 && stored_channels != 4) || (out_channels != 3 && out_channels != 4)) {
        image_set_error("Bad channel counts for a delta picture");
        return false;
    }
    const char *kind = stored_channels == 4 ? "V7" : "V6";
    int width = -1, height = -1;
    if (!header_number(f, &width) || !header_number(f, &height) || width < 0 || height < 0) {
        image_set_error("Can't get %s dimensions", kind);
        return false;
    }
    if (!image_size_ok(width, height)) {
        image_set_error("%s size %dx%d out of range", kind, width, height);
        return false;
    }
    if (vfs_getc(f) < 0) {
        image_set_error("Truncated %s data", kind);
        return false;
    }

    int s = stored_channels, o = out_channels;
    size_t stored_row = (size_t)width * s, out_row = (size_t)width * o;
    size_t total = out_row * height;
    // Two decoded rows of every stored channel: the one above and this one.
    unsigned char *rows = (unsigned char *)malloc(stored_row * 3);
    unsigned char *pixels = nullptr;
    size_t capacity = 0;
    const char *problem = rows ? nullptr : "Out of memory reading %s";
    for (int y = 0; !problem && y < height; y++) {
        unsigned char *delta = rows + stored_row * 2;
        unsigned char *cur = rows + stored_row * (y & 1);
        const unsigned char *above = y == 0 ? nullptr : rows + stored_row * ((y - 1) & 1);
        if (!image_reserve(&pixels, &capacity, out_row * (y + 1), total)) {
            problem = "Out of memory reading %s";
            break;
        }
        if (vfs_read(f, delta, stored_row) != stored_row) {
            problem = "Truncated %s data";
            break;
        }
        unsigned char *dst = pixels + out_row * y;
        for (int x = 0; x < width; x++) {
            for (int c = 0; c < s; c++) {
                int i = x * s + c;
                cur[i] = (unsigned char)(delta[i] + delta_predict(cur, above, x, s, c));
            }
            for (int c = 0; c < o; c++) dst[x * o + c] = c < s ? cur[x * s + c] : 0;
        }
    }
    free(rows);
    if (problem) {
        free(pixels);
        image_set_error(problem, kind);
        return false;
    }
    out->pixels = pixels;
    out->width = width;
    out->height = height;
    out->channels = o;
    return image_add_chain(out, false);
}

// --- any picture ------------------------------------------------------------

bool image_read_file(const char *name, int out_channels, Image *out) {
    memset(out, 0, sizeof *out);
    VfsFile *f = vfs_open(name, "rb");
    if (!f) {
        image_set_error("Can't open \"%.900s\"", name);
        return false;
    }
    char magic[16] = "";
    if (vfs_scanf(f, "%15s", magic) != 1) magic[0] = 0;
    int stored = strcmp(magic, "V7") == 0 ? 4 : strcmp(magic, "V6") == 0 ? 3 : 0;
    bool known = true, ok = false;
    if (stored) ok = delta_read(f, stored, out_channels ? out_channels : stored, out);
    else if (strcmp(magic, "P6") == 0 || strcmp(magic, "P3") == 0) ok = ppm_read(f, magic[1] == '3', out);
    else if (strcmp(magic, "P5") == 0 || strcmp(magic, "P2") == 0) ok = pgm_read(f, magic[1] == '2', out);
    else known = false;
    vfs_close(f);
    if (known) return ok;
    return png_read_rgba(name, out);
}
