// Inside the platform audio: the software mixer that the sound-device and
// readback drivers share, and the driver table that audio.cpp dispatches
// through. Nothing outside src/platform (and its tests) includes this.
#pragma once

#include <cstdint>

#include "platform/audio.h"

enum {
    MIXER_LEVELS = 32,         // gain levels 0 ... 31, one voice list each
    MIXER_MAX_CHANNELS = 2,    // output sides: left, and right on stereo
    MIXER_FRACTION_BITS = 31,  // read position: byte index plus a 31-bit fraction
};

enum {
    VOICE_LOOPING = 1,
    VOICE_PLAYING = 2,
    VOICE_STEREO = 4,      // the mixer has a right side
    VOICE_RESTART = 8,     // play asked for the start; the next mix rewinds
    VOICE_FINISHED = 16,   // ran off the end of its data without looping
};

// Sample data, shared by a voice and its clones.
struct MixSample {
    int refs;
    int length;            // bytes, at least 1
    uint8_t *bytes;        // 8-bit unsigned
};

// One output side of a voice: its gain level and its place in that level's
// list. Only a playing voice's sides are in lists.
struct MixSide {
    ZolmVoice *voice;
    MixSide *prev, *next;
    int level;             // 0 ... 31
    bool listed;
};

struct Mixer;

struct ZolmVoice {
    Mixer *mixer;
    MixSample *sample;
    uint32_t position;     // byte index into the sample
    uint32_t fraction;     // 0 ... 2^31 - 1
    int source_rate;       // samples per second of the data
    uint32_t step_whole;   // source rate / mixing rate, whole part ...
    uint32_t step_fraction;// ... and 31-bit fraction
    int volume;            // 0 ... 32767
    int pan;               // -32768 ... 32767
    int flags;             // VOICE_*
    MixSide sides[MIXER_MAX_CHANNELS];
    ZolmVoice *prev, *next;// every voice of the mixer
};

// The mixer lock: the sound device's own lock, or none (readback, tests).
typedef void (*MixerLockFn)(void *arg);

struct Mixer {
    int rate;              // mixing rate, samples per second
    int channels;          // 1 or 2
    int voice_limit;       // voice sides mixed per block ("sound-channels")
    int block_samples;     // accumulator room; longer mixes go in pieces
    int32_t *accumulators; // block_samples x channels, interleaved
    MixSide *level_head[MIXER_LEVELS];
    MixSide *level_tail[MIXER_LEVELS];
    ZolmVoice *voices;     // every voice, newest first
    MixerLockFn lock, unlock;
    void *lock_arg;
};

// The gain level 0 ... 31 of one side (0 left, 1 right) for a volume and pan;
// a mono mixer uses side 0 with the pan forced to -32768.
int mixer_gain_level(int volume, int pan, int side);
// The scaled signed value that a sample byte adds at a gain level.
int mixer_level_value(int level, int byte);
// One output sample from an accumulator: 8-bit unsigned, or signed 16-bit.
uint8_t mixer_output_u8(int32_t accumulator);
int16_t mixer_output_s16(int32_t accumulator);

// A mixer at rate (samples per second), channels 1 or 2, mixing at most
// voice_limit voice sides, with accumulators for block_samples samples.
// None on bad arguments or no memory (logged).
Mixer *mixer_create(int rate, int channels, int voice_limit, int block_samples);
// Frees the mixer and every voice still in it.
void mixer_free(Mixer *m);
void mixer_set_lock(Mixer *m, MixerLockFn lock, MixerLockFn unlock, void *arg);

// Mixes the next samples (per side) into out, sides interleaved. The caller
// holds the mixer lock (the sound device's callback does by itself).
void mixer_mix_u8(Mixer *m, uint8_t *out, int samples);
void mixer_mix_s16(Mixer *m, int16_t *out, int samples);

// The voice operations; each takes the mixer lock itself.
ZolmVoice *mixer_voice_create(Mixer *m, int length, const uint8_t *data, int rate);
ZolmVoice *mixer_voice_clone(ZolmVoice *v);
void mixer_voice_free(ZolmVoice *v);
void mixer_voice_play(ZolmVoice *v);
void mixer_voice_stop(ZolmVoice *v);
void mixer_voice_set_rate(ZolmVoice *v, int rate);
void mixer_voice_set_volume(ZolmVoice *v, int volume);
void mixer_voice_set_pan(ZolmVoice *v, int pan);
void mixer_voice_set_loop(ZolmVoice *v, bool loop);
int mixer_voice_position(ZolmVoice *v);
void mixer_voice_write(ZolmVoice *v, int count, const uint8_t *data, int offset);

// One audio driver: its close, its block pull and the voice operations. The
// current driver is process-wide; audio.cpp owns it.
struct AudioDriver {
    const char *name;
    void (*close)();
    const int16_t *(*mix)();                       // readback only; others none
    ZolmVoice *(*voice_create)(int length, const uint8_t *data, int rate);
    ZolmVoice *(*voice_clone)(ZolmVoice *v);
    void (*voice_free)(ZolmVoice *v);
    void (*voice_play)(ZolmVoice *v);
    void (*voice_stop)(ZolmVoice *v);
    void (*voice_set_rate)(ZolmVoice *v, int rate);
    void (*voice_set_volume)(ZolmVoice *v, int volume);
    void (*voice_set_pan)(ZolmVoice *v, int pan);
    void (*voice_set_loop)(ZolmVoice *v, bool loop);
    int (*voice_position)(ZolmVoice *v);
    void (*voice_write)(ZolmVoice *v, int count, const uint8_t *data, int offset);
};

// Opens the sound device (audio_sdl.cpp) and returns its driver, or none
// (logged). Called only while no driver is current.
const AudioDriver *audio_device_open(ZolmWindow *w);
