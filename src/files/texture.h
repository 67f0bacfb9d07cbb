// The texture cache: image files to OpenGL textures, cached by name, with
// texture links ("LINK" files), animated textures ("ANIM1" sequence files),
// a count of texture memory and track generations; and a second cache of
// CPU-side RGBA images for the terrain builder.
//
// Owns: every texture record and its GL name, every cached image, every
// animation with its pictures, and the link table. Records made before the
// first track (generation 0: fonts, HUD pieces, the title) live for the whole
// run; the others until textures_purge after a later track load. Everything
// goes at textures_free (shut-down, tests).
// Never: reports a missing or unreadable file except in debug mode (callers
// draw without the texture); touches GL outside the upload, update, purge and
// free calls, which need the window's context current.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/image.h"

struct VfsFile;

// The GL texture name; 0 means no texture.
typedef uint32_t TextureId;

// texture_upload flags.
enum TextureFlags {
    TEXTURE_REPEAT_S = 1,    // repeat horizontally (else clamped)
    TEXTURE_REPEAT_T = 2,    // repeat vertically
    TEXTURE_COMPRESS = 4,    // compressed internal format (GL 2 and later only)
    TEXTURE_BASE_ONLY = 8,   // level 0 only, no mipmaps
};

enum {
    TEXTURE_COMPRESS_NO = 0,       // the texture compression setting
    TEXTURE_COMPRESS_YES = 1,      // as the picture's info text says ("[compress]")
    TEXTURE_COMPRESS_ALWAYS = 2,
    TEXTURE_DETAIL_MIN_SIZE = 128, // detail skipping never drops a level this small
    TEXTURE_LINK_MAX = 1023,       // bytes of a link's target name
    TEXTURE_MAX_PIXELS = 1 << 26,  // the largest power-of-two size prepared (pixels)
    ANIM_MAX_SEQUENCE = 65536,     // sequence entries of one animation
    ANIM_MAX_IMAGES = 1024,        // pictures of one animation
};

// A link cycle ends at this texture.
extern const char *const TEXTURE_LINK_FALLBACK;   // "@colors/white.png"

// One loaded texture, in load order.
struct TextureRecord {
    TextureId id;
    uint32_t generation;   // current when loaded or last asked for; 0 before the first track
    uint32_t bytes;        // texture memory its upload added
    char *info;            // PNG text chunks and ".info" contents, or none (owned)
    char *name;            // as requested, after "!" was removed and links applied (owned)
};

// One cached RGBA image (with its chain) of image_load.
struct ImageRecord {
    int width, height, channels;   // channels always 4
    unsigned char *pixels;         // with mip chain (owned)
    uint32_t generation;
    uint32_t bytes;                // width x height x 4
    char *name;                    // (owned)
};

// One animated texture: a sequence of picture indices stepped every period
// ticks. The pictures are prepared exactly as the texture was uploaded, so
// each replaces every level of it.
struct TextureAnim {
    TextureId id;
    int length;            // sequence entries, n > 0
    int current;           // the picture now on the texture
    int period;            // simulation ticks per sequence step, > 0
    bool loop;
    int64_t start_tick;
    bool paused;
    int image_count;       // pictures, m > 0
    Image *images;         // m pictures of one size and channel count (owned)
    int *sequence;         // n picture indices, each in 0 .. m-1 (owned)
};

// What image_load hands out: pixels owned by the cache, valid until the
// image's generation is purged.
struct CachedImage {
    const unsigned char *pixels;   // RGBA with mip chain
    int width, height;
};

// The game's choices, set at start-up (and by tests): levels dropped for
// detail (0..10), the compression setting (TEXTURE_COMPRESS_NO/YES/ALWAYS)
// and the debug option (the extra log lines).
void texture_set_options(int detail_skip, int compression, bool debug);

// The cached load of a texture file (PNG, "V7", "V6", "P6", "P3", "ANIM1",
// "LINK"). A leading "!" loads without detail reduction. 0 on failure.
TextureId texture_load(const char *name);
// The cached load of a picture without GL ("V7", "V6", "P6", "P3", else
// PNG), prepared like a texture and widened to RGBA. False on failure.
bool image_load(const char *name, CachedImage *out);
// Uploads a picture and its chain (down to 1 x 1 unless TEXTURE_BASE_ONLY)
// with the flags; adds what it uploaded to the texture memory count. Needs
// power-of-two sizes. 0 on failure.
TextureId texture_upload(const unsigned char *pixels, int width, int height, int channels, int flags);

const char *texture_name(TextureId id);   // none when no record has the id
const char *texture_info(TextureId id);   // none when no record or no info

// Restarts the texture's animation at the tick and un-pauses it.
void texture_animate(TextureId id, int64_t start_tick);
void texture_pause(TextureId id);
// Once per drawn frame: moves every running animation to the picture of
// the tick, re-uploading only when the picture changes.
void textures_update(int64_t tick);
// The picture index now on an animated texture, or -1 when it has none.
int texture_anim_image(TextureId id);

// Track loads: the loader starts a new generation (which also resets the
// memory count) before it loads, and purges afterwards: every texture, image
// and animation of an earlier generation (not 0) is deleted.
void textures_new_generation();
void textures_purge();
uint32_t textures_generation();
uint32_t texture_memory_used();   // bytes since the generation began
// Deletes every texture, image, animation and link; generation and count
// back to 0 (shut-down, with the context current; tests).
void textures_free();

// --- the parts without GL (texture.cpp, texture_anim.cpp) -----------------

// Makes a picture ready for upload: a base that is not a power of two in
// both directions is resampled (nearest) up to the next powers of two and
// given a new chain; a picture without a chain gets one; then up to skip
// levels are dropped while both sides are above TEXTURE_DETAIL_MIN_SIZE.
// Afterwards pixels hold the chain from the chosen level, and width and
// height are its size. False (picture unchanged) on a bad picture or when
// memory runs out.
bool texture_prepare(Image *image, int skip, bool max_alpha);
// Widens a prepared picture (with its chain) to 4 channels; alpha 255 for
// 1- and 3-channel pictures. False (unchanged) when memory runs out.
bool image_widen_rgba(Image *image);
// The repeat flags a texture name asks for ("-hrepeat.", "-vrepeat.", "-repeat.").
int texture_repeat_flags(const char *name);

// Reads the rest of a "LINK" file (after its magic word): the target name,
// up to TEXTURE_LINK_MAX bytes, whitespace trimmed at both ends. False when
// no name is left.
bool texture_link_read(VfsFile *f, char target[TEXTURE_LINK_MAX + 1]);

// Reads the rest of an "ANIM1" file (after its magic word) into anim: the
// header, the sequence and the pictures (as read, not yet prepared). PNG
// pictures are read with png_reader (png_read_rgba when none). On failure
// logs the reason, frees what it read and leaves anim empty.
bool anim_read(VfsFile *f, TextureAnim *anim, bool (*png_reader)(const char *name, Image *out));
void anim_free(TextureAnim *anim);   // frees the pictures and the sequence, zeroes the record

// --- between the cache and its animations (texture_anim.cpp) ---------------

// Takes over a prepared animation whose texture was uploaded.
bool texture_anim_add(const TextureAnim *anim);
// Deletes the animations whose texture has no record any more.
void texture_anims_purge(bool debug);
void texture_anims_free();
