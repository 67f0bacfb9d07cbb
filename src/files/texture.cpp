// The texture cache: loading, preparing and uploading, links, the image
// cache, generations and purging. The animations live in texture_anim.cpp.
#include "files/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "files/vfs.h"
#include "platform/log.h"
#include "render/gl_ext.h"

const char *const TEXTURE_LINK_FALLBACK = "@colors/white.png";

struct TextureOptions {
    int detail_skip;   // 0..10
    int compression;   // TEXTURE_COMPRESS_*
    bool debug;
};

// One entry of the link table: a link file's name and the texture it names.
struct TextureLink {
    char *name;
    char *target;
};

// Growable tables: they start with room for 16 and double when full.
template <typename T> struct Table {
    T *rows;
    int count, capacity;
};

// Whole process; filled as files are asked for, emptied by purging and by
// textures_free.
static TextureOptions s_options;
static Table<TextureRecord> s_textures;
static Table<ImageRecord> s_images;
static Table<TextureLink> s_links;
static uint32_t s_generation;   // incremented at every track load
static uint32_t s_memory;       // texture bytes uploaded since the generation began

template <typename T> static T *table_append(Table<T> *t) {
    if (t->count == t->capacity) {
        int capacity = t->capacity ? t->capacity * 2 : 16;
        T *rows = (T *)realloc(t->rows, sizeof(T) * (size_t)capacity);
        if (!rows) return nullptr;
        t->rows = rows;
        t->capacity = capacity;
    }
    T *row = &t->rows[t->count++];
    memset(row, 0, sizeof *row);
    return row;
}

template <typename T> static void table_free(Table<T> *t) {
    free(t->rows);
    memset(t, 0, sizeof *t);
}

void texture_set_options(int detail_skip, int compression, bool debug) {
    s_options.detail_skip = detail_skip < 0 ? 0 : detail_skip > 10 ? 10 : detail_skip;
    s_options.compression = compression < TEXTURE_COMPRESS_NO       ? TEXTURE_COMPRESS_NO
                            : compression > TEXTURE_COMPRESS_ALWAYS ? TEXTURE_COMPRESS_ALWAYS
                                                                    : compression;
    s_options.debug = debug;
}

// --- preparing pictures -------------------------------------------------

static bool is_power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }

static int next_power_of_two(int v) {
    int p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}

bool texture_prepare(Image *image, int skip, bool max_alpha) {
    int w = image->width, h = image->height, ch = image->channels;
    if (!image->pixels || w < 1 || h < 1 || (ch != 1 && ch != 3 && ch != 4)) return false;
    int pw = next_power_of_two(w), ph = next_power_of_two(h);
    if ((int64_t)pw * ph > TEXTURE_MAX_PIXELS) return false;

    if (pw != w || ph != h) {
        // Nearest sampling up to the powers of two, then a fresh chain.
        unsigned char *out = (unsigned char *)malloc(mip_chain_bytes(pw, ph, ch));
        if (!out) return false;
        for (int y = 0; y < ph; y++) {
            const unsigned char *row = image->pixels + (size_t)((int64_t)y * h / ph) * w * ch;
            unsigned char *to = out + (size_t)y * pw * ch;
            for (int x = 0; x < pw; x++) memcpy(to + (size_t)x * ch, row + (size_t)((int64_t)x * w / pw) * ch, ch);
        }
        mip_chain_build(out, pw, ph, ch, max_alpha);
        free(image->pixels);
        image->pixels = out;
        image->width = w = pw;
        image->height = h = ph;
        image->has_chain = true;
    } else if (!image->has_chain) {
        unsigned char *out = (unsigned char *)realloc(image->pixels, mip_chain_bytes(w, h, ch));
        if (!out) return false;
        mip_chain_build(out, w, h, ch, max_alpha);
        image->pixels = out;
        image->has_chain = true;
    }

    // Detail: drop the largest levels, never one with a side of 128 or less.
    size_t offset = 0;
    for (int level = 0; level < skip && w > TEXTURE_DETAIL_MIN_SIZE && h > TEXTURE_DETAIL_MIN_SIZE; level++) {
        offset += (size_t)w * h * ch;
        w /= 2;
        h /= 2;
    }
    if (offset > 0) {
        size_t rest = mip_chain_bytes(w, h, ch);
        memmove(image->pixels, image->pixels + offset, rest);
        unsigned char *smaller = (unsigned char *)realloc(image->pixels, rest);
        if (smaller) image->pixels = smaller;
        image->width = w;
        image->height = h;
    }
    return true;
}

bool image_widen_rgba(Image *image) {
    int ch = image->channels;
    if (ch == 4) return true;
    if (!image->pixels || (ch != 1 && ch != 3)) return false;
    size_t count = image->has_chain ? mip_chain_bytes(image->width, image->height, 1)
                                    : (size_t)image->width * image->height;
    unsigned char *out = (unsigned char *)malloc(count * 4);
    if (!out) return false;
    const unsigned char *from = image->pixels;
    for (size_t i = 0; i < count; i++, from += ch) {
        out[4 * i + 0] = from[0];
        out[4 * i + 1] = from[ch == 3 ? 1 : 0];
        out[4 * i + 2] = from[ch == 3 ? 2 : 0];
        out[4 * i + 3] = 255;
    }
    free(image->pixels);
    image->pixels = out;
    image->channels = 4;
    return true;
}

int texture_repeat_flags(const char *name) {
    int flags = 0;
    if (strstr(name, "-hrepeat.")) flags |= TEXTURE_REPEAT_S;
    if (strstr(name, "-vrepeat.")) flags |= TEXTURE_REPEAT_T;
    if (strstr(name, "-repeat.")) flags |= TEXTURE_REPEAT_S | TEXTURE_REPEAT_T;
    return flags;
}

// --- uploading ----------------------------------------------------------

static void gl_clear_errors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; i++) {
    }
}

// A border colour for an RGB picture that must clamp without edge clamping:
// the mean of the edge pixels in the fullest bin of a histogram over the
// four edges, each channel quantised to 8 levels.
static void texture_border_color(const unsigned char *pixels, int width, int height, int channels, float rgba[4]) {
    enum { BINS = 8 * 8 * 8 };
    uint32_t count[BINS] = {};
    uint32_t sum[BINS][3] = {};
    int edge_pixels = 2 * width + 2 * height;
    for (int i = 0; i < edge_pixels; i++) {
        int x, y;
        if (i < width) x = i, y = 0;
        else if (i < 2 * width) x = i - width, y = height - 1;
        else if (i < 2 * width + height) x = 0, y = i - 2 * width;
        else x = width - 1, y = i - 2 * width - height;
        const unsigned char *p = pixels + ((size_t)y * width + x) * channels;
        int r = p[0], g = p[channels >= 3 ? 1 : 0], b = p[channels >= 3 ? 2 : 0];
        int bin = (r >> 5) << 6 | (g >> 5) << 3 | (b >> 5);
        count[bin]++;
        sum[bin][0] += r;
        sum[bin][1] += g;
        sum[bin][2] += b;
    }
    int best = 0;
    for (int bin = 1; bin < BINS; bin++)
        if (count[bin] > count[best]) best = bin;
    for (int c = 0; c < 3; c++) rgba[c] = count[best] ? sum[best][c] / (255.0f * count[best]) : 0.0f;
    rgba[3] = 1.0f;
}

static GLenum texture_format(int channels) {
    return channels == 4 ? GL_RGBA : channels == 3 ? GL_RGB : GL_LUMINANCE;
}

TextureId texture_upload(const unsigned char *pixels, int width, int height, int channels, int flags) {
    if (!pixels || width < 1 || height < 1 || (channels != 1 && channels != 3 && channels != 4)) return 0;
    bool compress = (flags & TEXTURE_COMPRESS) && g_gl.major >= 2;
    GLenum format = texture_format(channels);
    GLenum internal = format;
    if (compress) internal = channels == 4 ? GL_COMPRESSED_RGBA : channels == 3 ? GL_COMPRESSED_RGB : GL_COMPRESSED_LUMINANCE;

    GLuint id = 0;
    glGenTextures(1, &id);
    if (!id) return 0;
    glBindTexture(GL_TEXTURE_2D, id);

    // Clamp to the edge where the driver can; without it the filters stay
    // nearest so the border colour does not bleed in.
    bool repeat_s = flags & TEXTURE_REPEAT_S, repeat_t = flags & TEXTURE_REPEAT_T;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, repeat_s ? GL_REPEAT : GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, repeat_t ? GL_REPEAT : GL_CLAMP);
    bool no_edge_clamp = false;
    if (!repeat_s || !repeat_t) {
        gl_clear_errors();
        if (!repeat_s) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        if (!repeat_t) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        no_edge_clamp = glGetError() != GL_NO_ERROR;
    }
    bool base_only = flags & TEXTURE_BASE_ONLY;
    GLint min_filter = no_edge_clamp ? (base_only ? GL_NEAREST : GL_NEAREST_MIPMAP_NEAREST)
                                     : (base_only ? GL_LINEAR : GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    float border[4] = {0, 0, 0, 0};
    if (channels != 4) texture_border_color(pixels, width, height, channels, border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);

    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const unsigned char *level_pixels = pixels;
    int w = width, h = height;
    for (int level = 0;; level++) {
        glTexImage2D(GL_TEXTURE_2D, level, (GLint)internal, w, h, 0, format, GL_UNSIGNED_BYTE, level_pixels);
        uint32_t bytes = (uint32_t)w * (uint32_t)h * (uint32_t)channels;
        if (compress) {
            GLint compressed = 0, size = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED, &compressed);
            if (compressed) glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
            if (compressed && size > 0) bytes = (uint32_t)size;
        }
        s_memory += bytes;
        if (base_only || (w == 1 && h == 1)) break;
        level_pixels += (size_t)w * h * channels;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

// --- links ----------------------------------------------------------------

static const char *texture_link_target(const char *name) {
    for (int i = 0; i < s_links.count; i++)
        if (strcmp(s_links.rows[i].name, name) == 0) return s_links.rows[i].target;
    return nullptr;
}

static void texture_link_set(const char *name, const char *target) {
    char *copy = strdup(target);
    if (!copy) return;
    for (int i = 0; i < s_links.count; i++) {
        if (strcmp(s_links.rows[i].name, name) == 0) {
            free(s_links.rows[i].target);
            s_links.rows[i].target = copy;
            return;
        }
    }
    char *link_name = strdup(name);
    TextureLink *link = link_name ? table_append(&s_links) : nullptr;
    if (!link) {
        free(link_name);
        free(copy);
        return;
    }
    link->name = link_name;
    link->target = copy;
}

bool texture_link_read(VfsFile *f, char target[TEXTURE_LINK_MAX + 1]) {
    size_t length = vfs_read(f, target, TEXTURE_LINK_MAX);
    target[length] = '\0';
    length = strlen(target);   // a NUL byte ends the name
    while (length > 0 && isspace((unsigned char)target[length - 1])) target[--length] = '\0';
    size_t start = 0;
    while (start < length && isspace((unsigned char)target[start])) start++;
    memmove(target, target + start, length - start + 1);
    return target[0] != '\0';
}

// The link points at the fallback while its target loads, so a link that
// leads back to itself ends there instead of recursing.
static TextureId texture_follow_link(const char *link_name, const char *target) {
    texture_link_set(link_name, TEXTURE_LINK_FALLBACK);
    TextureId id = texture_load(target);
    const char *loaded = texture_name(id);
    if (loaded) {
        char *copy = strdup(loaded);   // the record table may move while the link table grows
        if (copy) texture_link_set(link_name, copy);
        free(copy);
    }
    return id;
}

// --- the texture cache ----------------------------------------------------

static TextureRecord *texture_find_id(TextureId id) {
    if (!id) return nullptr;
    for (int i = 0; i < s_textures.count; i++)
        if (s_textures.rows[i].id == id) return &s_textures.rows[i];
    return nullptr;
}

const char *texture_name(TextureId id) {
    TextureRecord *r = texture_find_id(id);
    return r ? r->name : nullptr;
}

const char *texture_info(TextureId id) {
    TextureRecord *r = texture_find_id(id);
    return r ? r->info : nullptr;
}

// The first record in load order whose name matches exactly or but for
// letter case (which is logged); it joins the current generation.
template <typename T> static T *cache_find(Table<T> *t, const char *name, uint32_t *memory) {
    for (int i = 0; i < t->count; i++) {
        T *r = &t->rows[i];
        bool exact = strcmp(r->name, name) == 0;
        if (!exact && strcasecmp(r->name, name) != 0) continue;
        if (!exact) zolm_log("Warning: case mismatch on '%.900s'\n", name);
        if (r->generation != 0 && r->generation != s_generation) {
            r->generation = s_generation;
            if (memory) *memory += r->bytes;
        }
        return r;
    }
    return nullptr;
}

static void texture_warn_size(const char *name, int width, int height) {
    if (!is_power_of_two(width) || !is_power_of_two(height))
        zolm_log("Warning: Non power of 2 texture '%.950s'\n", name);
}

static void texture_record(TextureId id, uint32_t bytes, char *info, const char *name) {
    char *copy = strdup(name);
    TextureRecord *r = copy ? table_append(&s_textures) : nullptr;
    if (!r) {   // the texture stays loaded, unrecorded
        free(copy);
        free(info);
        return;
    }
    r->id = id;
    r->generation = s_generation;
    r->bytes = bytes;
    r->info = info;
    r->name = copy;
}

// An animation: every picture prepared alike, the first sequence entry's
// picture uploaded, the record kept.
static TextureId texture_upload_anim(TextureAnim *anim, const char *name, int skip, int flags) {
    const Image *first = &anim->images[anim->sequence[0]];
    texture_warn_size(name, first->width, first->height);
    for (int i = 0; i < anim->image_count; i++)
        if (!texture_prepare(&anim->images[i], skip, false)) return 0;
    anim->current = anim->sequence[0];
    const Image *shown = &anim->images[anim->current];
    uint32_t before = s_memory;
    TextureId id = texture_upload(shown->pixels, shown->width, shown->height, shown->channels, flags);
    if (!id) return 0;
    anim->id = id;
    anim->start_tick = 0;
    anim->paused = false;
    texture_record(id, s_memory - before, nullptr, name);
    if (texture_anim_add(anim)) memset(anim, 0, sizeof *anim);   // taken over
    return id;
}

static TextureId texture_load_file(const char *name, int skip) {
    VfsFile *f = vfs_open(name, "rb");
    if (!f) {
        if (s_options.debug) zolm_log("Can't open texture \"%.900s\"\n", name);
        return 0;
    }
    int flags = texture_repeat_flags(name);
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1) word[0] = '\0';

    Image image = {};
    TextureAnim anim = {};
    bool read = false, animated = false;
    if (strcmp(word, "V7") == 0) read = delta_read(f, 4, 4, &image);
    else if (strcmp(word, "V6") == 0) read = delta_read(f, 3, 3, &image);
    else if (strcmp(word, "P6") == 0 || strcmp(word, "P3") == 0) read = ppm_read(f, word[1] == '3', &image);
    else if (strcmp(word, "ANIM1") == 0) read = animated = anim_read(f, &anim, nullptr);
    else if (strcmp(word, "LINK") == 0) {
        char target[TEXTURE_LINK_MAX + 1];
        bool linked = texture_link_read(f, target);
        vfs_close(f);
        f = nullptr;
        if (linked) return texture_follow_link(name, target);
    }
    if (f) vfs_close(f);

    if (animated) {
        TextureId id = texture_upload_anim(&anim, name, skip, flags);
        anim_free(&anim);
        return id;
    }
    if (!read) {
        if (!png_read_rgba(name, &image)) return 0;
        if (image.info && strstr(image.info, "[compress]")) flags |= TEXTURE_COMPRESS;
        if (s_options.compression == TEXTURE_COMPRESS_NO) flags &= ~TEXTURE_COMPRESS;
        if (s_options.compression == TEXTURE_COMPRESS_ALWAYS) flags |= TEXTURE_COMPRESS;
    }

    texture_warn_size(name, image.width, image.height);
    TextureId id = 0;
    bool max_alpha = image.info && strstr(image.info, "[mip_max_alpha]");
    if (texture_prepare(&image, skip, max_alpha)) {
        uint32_t before = s_memory;
        id = texture_upload(image.pixels, image.width, image.height, image.channels, flags);
        if (id) {
            texture_record(id, s_memory - before, image.info, name);
            image.info = nullptr;   // the record owns it
        }
    }
    image_free(&image);
    return id;
}

TextureId texture_load(const char *requested) {
    if (!requested) return 0;
    int skip = s_options.detail_skip;
    if (requested[0] == '!') {
        requested++;
        skip = 0;
    }
    const char *target = texture_link_target(requested);
    // A copy: the link and record tables may move while this load recurses.
    char *name = strdup(target ? target : requested);
    if (!name) return 0;
    TextureId id = 0;
    TextureRecord *hit = cache_find(&s_textures, name, &s_memory);
    if (hit) id = hit->id;
    else id = texture_load_file(name, skip);
    free(name);
    return id;
}

// --- the image cache --------------------------------------------------------

static bool image_read_any(const char *name, Image *image) {
    VfsFile *f = vfs_open(name, "rb");
    if (!f) return false;
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1) word[0] = '\0';
    bool read = false;
    if (strcmp(word, "V7") == 0) read = delta_read(f, 4, 4, image);
    else if (strcmp(word, "V6") == 0) read = delta_read(f, 3, 3, image);
    else if (strcmp(word, "P6") == 0 || strcmp(word, "P3") == 0) read = ppm_read(f, word[1] == '3', image);
    vfs_close(f);
    return read || png_read_rgba(name, image);
}

bool image_load(const char *requested, CachedImage *out) {
    memset(out, 0, sizeof *out);
    if (!requested) return false;
    int skip = s_options.detail_skip;
    if (requested[0] == '!') {
        requested++;
        skip = 0;
    }
    ImageRecord *hit = cache_find(&s_images, requested, nullptr);
    if (!hit) {
        Image image = {};
        if (!image_read_any(requested, &image)) return false;
        bool max_alpha = image.info && strstr(image.info, "[mip_max_alpha]");
        char *name = strdup(requested);
        hit = name && texture_prepare(&image, skip, max_alpha) && image_widen_rgba(&image) ? table_append(&s_images)
                                                                                          : nullptr;
        if (!hit) {
            free(name);
            image_free(&image);
            return false;
        }
        hit->width = image.width;
        hit->height = image.height;
        hit->channels = 4;
        hit->pixels = image.pixels;
        hit->generation = s_generation;
        hit->bytes = (uint32_t)image.width * (uint32_t)image.height * 4u;
        hit->name = name;
        image.pixels = nullptr;
        image_free(&image);
    }
    out->pixels = hit->pixels;
    out->width = hit->width;
    out->height = hit->height;
    return true;
}

// --- generations --------------------------------------------------------------

void textures_new_generation() {
    s_generation++;
    s_memory = 0;
}

uint32_t textures_generation() { return s_generation; }
uint32_t texture_memory_used() { return s_memory; }

static bool texture_generation_old(uint32_t generation) { return generation != 0 && generation != s_generation; }

void textures_purge() {
    int kept = 0;
    for (int i = 0; i < s_textures.count; i++) {
        TextureRecord *r = &s_textures.rows[i];
        if (!texture_generation_old(r->generation)) {
            s_textures.rows[kept++] = *r;
            continue;
        }
        if (s_options.debug) zolm_log("deleting tid %d (%.900s)\n", (int)r->id, r->name);
        GLuint id = r->id;
        glDeleteTextures(1, &id);
        free(r->info);
        free(r->name);
    }
    s_textures.count = kept;

    kept = 0;
    for (int i = 0; i < s_images.count; i++) {
        ImageRecord *r = &s_images.rows[i];
        if (!texture_generation_old(r->generation)) {
            s_images.rows[kept++] = *r;
            continue;
        }
        if (s_options.debug) zolm_log("deleting image %.900s\n", r->name);
        free(r->pixels);
        free(r->name);
    }
    s_images.count = kept;

    texture_anims_purge(s_options.debug);
}

void textures_free() {
    for (int i = 0; i < s_textures.count; i++) {
        GLuint id = s_textures.rows[i].id;
        glDeleteTextures(1, &id);
        free(s_textures.rows[i].info);
        free(s_textures.rows[i].name);
    }
    table_free(&s_textures);
    for (int i = 0; i < s_images.count; i++) {
        free(s_images.rows[i].pixels);
        free(s_images.rows[i].name);
    }
    table_free(&s_images);
    for (int i = 0; i < s_links.count; i++) {
        free(s_links.rows[i].name);
        free(s_links.rows[i].target);
    }
    table_free(&s_links);
    texture_anims_free();
    s_generation = 0;
    s_memory = 0;
}
