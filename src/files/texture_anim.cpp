// Animated textures: the "ANIM1" sequence reader, the table of running
// animations and their per-frame update.
//
// A sequence file is the magic word, then "n m period loop", then n picture
// indices, then m pictures, each introduced by a word: "V7" and a
// predicted-delta picture directly after it, or "PNG" and a file name on the
// rest of the line.
#include <GL/gl.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "files/texture.h"
#include "files/vfs.h"
#include "platform/log.h"

// Whole process; filled by texture_load, emptied by purging and textures_free.
static TextureAnim *s_anims;
static int s_anim_count, s_anim_capacity;

enum { ANIM_NAME_LINE = 1024 };

void anim_free(TextureAnim *anim) {
    for (int i = 0; i < anim->image_count && anim->images; i++) image_free(&anim->images[i]);
    free(anim->images);
    free(anim->sequence);
    memset(anim, 0, sizeof *anim);
}

static void trim(char *text) {
    size_t length = strlen(text);
    while (length > 0 && isspace((unsigned char)text[length - 1])) text[--length] = '\0';
    size_t start = 0;
    while (start < length && isspace((unsigned char)text[start])) start++;
    memmove(text, text + start, length - start + 1);
}

// One picture, introduced by its word. Logs and fails on a bad one.
static bool anim_read_image(VfsFile *f, int number, Image *image, bool (*png_reader)(const char *, Image *)) {
    char word[16] = "";
    if (vfs_scanf(f, "%15s", word) != 1) {
        zolm_log("Error reading .seq frame %d\n", number);
        return false;
    }
    if (strcmp(word, "V7") == 0) {
        if (delta_read(f, 4, 4, image)) return true;
        zolm_log("Error reading .seq frame %d\n", number);
        return false;
    }
    if (strcmp(word, "PNG") != 0) {
        zolm_log("Error reading .seq frame %d\n", number);
        return false;
    }
    char name[ANIM_NAME_LINE];
    if (!vfs_gets(f, name, sizeof name)) {
        zolm_log("EOF while reading .seq\n");
        return false;
    }
    trim(name);
    if (!png_reader(name, image)) {
        zolm_log("Can't read %.900s\n", name);
        return false;
    }
    return true;
}

static bool anim_read_parts(VfsFile *f, TextureAnim *anim, bool (*png_reader)(const char *, Image *)) {
    int n = 0, m = 0, period = 0, loop = 0;
    if (vfs_scanf(f, "%d %d %d %d", &n, &m, &period, &loop) != 4 || n <= 0 || m <= 0 ||
        n > ANIM_MAX_SEQUENCE || m > ANIM_MAX_IMAGES || period <= 0) {
        zolm_log("Error reading .seq header\n");
        return false;
    }
    anim->sequence = (int *)calloc((size_t)n, sizeof(int));
    anim->images = (Image *)calloc((size_t)m, sizeof(Image));
    if (!anim->sequence || !anim->images) return false;
    anim->length = n;
    anim->image_count = m;
    anim->period = period;
    anim->loop = loop != 0;

    // Every entry must name one of the m pictures.
    for (int i = 0; i < n; i++) {
        if (vfs_scanf(f, "%d ", &anim->sequence[i]) != 1 || anim->sequence[i] < 0 || anim->sequence[i] >= m) {
            zolm_log("Error reading .seq entry %d\n", i);
            return false;
        }
    }
    for (int i = 0; i < m; i++) {
        Image *image = &anim->images[i];
        if (!anim_read_image(f, i, image, png_reader)) return false;
        free(image->info);   // the pictures' own options play no part
        image->info = nullptr;
        const Image *first = &anim->images[0];
        if (image->width != first->width || image->height != first->height) {
            zolm_log("Width/height mismatch reading .seq\n");
            return false;
        }
        if (image->channels != first->channels) {
            zolm_log("Depth mismatch reading .seq\n");
            return false;
        }
    }
    return true;
}

bool anim_read(VfsFile *f, TextureAnim *anim, bool (*png_reader)(const char *name, Image *out)) {
    memset(anim, 0, sizeof *anim);
    if (!png_reader) png_reader = png_read_rgba;
    if (anim_read_parts(f, anim, png_reader)) return true;
    anim_free(anim);
    return false;
}

// --- the running animations -------------------------------------------------

bool texture_anim_add(const TextureAnim *anim) {
    if (s_anim_count == s_anim_capacity) {
        int capacity = s_anim_capacity ? s_anim_capacity * 2 : 16;
        TextureAnim *rows = (TextureAnim *)realloc(s_anims, sizeof(TextureAnim) * (size_t)capacity);
        if (!rows) return false;
        s_anims = rows;
        s_anim_capacity = capacity;
    }
    s_anims[s_anim_count++] = *anim;
    return true;
}

static TextureAnim *texture_anim_find(TextureId id) {
    if (!id) return nullptr;
    for (int i = 0; i < s_anim_count; i++)
        if (s_anims[i].id == id) return &s_anims[i];
    return nullptr;
}

void texture_animate(TextureId id, int64_t start_tick) {
    TextureAnim *anim = texture_anim_find(id);
    if (!anim) return;
    anim->start_tick = start_tick;
    anim->paused = false;
}

void texture_pause(TextureId id) {
    TextureAnim *anim = texture_anim_find(id);
    if (anim) anim->paused = true;
}

int texture_anim_image(TextureId id) {
    TextureAnim *anim = texture_anim_find(id);
    return anim ? anim->current : -1;
}

// Replaces every level of the texture with the picture's chain.
static void texture_anim_show(TextureAnim *anim, int picture) {
    const Image *image = &anim->images[picture];
    GLenum format = image->channels == 4 ? GL_RGBA : image->channels == 3 ? GL_RGB : GL_LUMINANCE;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, anim->id);
    const unsigned char *pixels = image->pixels;
    int w = image->width, h = image->height;
    for (int level = 0;; level++) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, GL_UNSIGNED_BYTE, pixels);
        if (w == 1 && h == 1) break;
        pixels += (size_t)w * h * image->channels;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    anim->current = picture;
}

void textures_update(int64_t tick) {
    for (int i = 0; i < s_anim_count; i++) {
        TextureAnim *anim = &s_anims[i];
        if (anim->paused) continue;
        int64_t step = (tick - anim->start_tick) / anim->period;
        if (step < 0) step = 0;
        if (anim->loop) step %= anim->length;
        else if (step > anim->length - 1) step = anim->length - 1;
        int wanted = anim->sequence[step];
        if (wanted != anim->current) texture_anim_show(anim, wanted);
    }
}

void texture_anims_purge(bool debug) {
    int kept = 0;
    for (int i = 0; i < s_anim_count; i++) {
        if (texture_name(s_anims[i].id)) {
            s_anims[kept++] = s_anims[i];
            continue;
        }
        if (debug) zolm_log("deleting anim %d for tid %d\n", i, (int)s_anims[i].id);
        anim_free(&s_anims[i]);
    }
    s_anim_count = kept;
}

void texture_anims_free() {
    for (int i = 0; i < s_anim_count; i++) anim_free(&s_anims[i]);
    free(s_anims);
    s_anims = nullptr;
    s_anim_count = s_anim_capacity = 0;
}
