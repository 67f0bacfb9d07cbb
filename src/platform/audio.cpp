// The platform audio contract: the process-wide current driver, the calls
// that dispatch through it, and the readback driver (the software mixer with
// no device, pulled one block at a time to record the game's sound).
//
// Owns: the current driver (none while closed) and the readback mixer and
// block while readback is open.
// Never: calls a driver while none is open; every call is then a no-op.
#include "platform/audio.h"

#include <cstdlib>

#include "platform/audio_internal.h"
#include "platform/log.h"

static const AudioDriver *s_driver;   // set by a successful open, cleared by zolm_audio_close

// ---- readback ----

struct Readback {
    Mixer *mixer;
    int16_t *block;         // samples_per_call mono samples
    int samples;
};

static Readback s_readback;   // filled by zolm_audio_open_readback, cleared by its close

static void readback_close() {
    mixer_free(s_readback.mixer);
    free(s_readback.block);
    s_readback = Readback{};
}

// No thread mixes here, so the readback mixer needs no lock.
static const int16_t *readback_mix() {
    mixer_mix_s16(s_readback.mixer, s_readback.block, s_readback.samples);
    return s_readback.block;
}

static ZolmVoice *readback_voice_create(int length, const uint8_t *data, int rate) {
    return mixer_voice_create(s_readback.mixer, length, data, rate);
}

static const AudioDriver READBACK_DRIVER = {
    "readback",
    readback_close,
    readback_mix,
    readback_voice_create,
    mixer_voice_clone,
    mixer_voice_free,
    mixer_voice_play,
    mixer_voice_stop,
    mixer_voice_set_rate,
    mixer_voice_set_volume,
    mixer_voice_set_pan,
    mixer_voice_set_loop,
    mixer_voice_position,
    mixer_voice_write,
};

bool zolm_audio_open_readback(ZolmWindow *w, int rate, int samples_per_call) {
    (void)w;
    zolm_log("Opening readback audio...\n");
    if (s_driver) {
        zolm_log("Audio already open\n");
        return false;
    }
    if (rate <= 0 || samples_per_call <= 0) {
        zolm_log("Readback: bad rate %d or block of %d samples\n", rate, samples_per_call);
        return false;
    }
    int voices = zolm_option_int("sound-channels", 16);
    s_readback.samples = samples_per_call;
    s_readback.mixer = mixer_create(rate, 1, voices, samples_per_call);
    s_readback.block = (int16_t *)calloc((size_t)samples_per_call, sizeof(int16_t));
    if (!s_readback.mixer || !s_readback.block) {
        zolm_log("Malloc failed\n");
        readback_close();
        return false;
    }
    s_driver = &READBACK_DRIVER;
    zolm_log("Audio opened!\n");
    return true;
}

// ---- the contract ----

bool zolm_audio_open(ZolmWindow *w) {
    // The device order is DirectSound, then waveOut; only the latter exists here.
    if (zolm_option_bool("dsnd", 1)) zolm_log("DirectSound is not available here\n");
    if (!zolm_option_bool("waveout", 1)) {
        zolm_log("waveOut is switched off; no audio\n");
        return false;
    }
    zolm_log("Opening waveOut audio...\n");
    if (s_driver) {
        zolm_log("Audio already open\n");
        return false;
    }
    s_driver = audio_device_open(w);
    return s_driver != nullptr;
}

void zolm_audio_close() {
    if (!s_driver) {
        zolm_log("Can't close audio, not open\n");
        return;
    }
    zolm_log("Closing audio\n");
    const AudioDriver *d = s_driver;
    s_driver = nullptr;
    d->close();
}

bool zolm_audio_is_open() {
    return s_driver != nullptr;
}

const int16_t *zolm_audio_mix() {
    if (!s_driver || !s_driver->mix) return nullptr;
    return s_driver->mix();
}

ZolmVoice *zolm_voice_create(int length, const uint8_t *data, int rate) {
    if (!s_driver) return nullptr;
    return s_driver->voice_create(length, data, rate);
}

ZolmVoice *zolm_voice_clone(ZolmVoice *v) {
    if (!s_driver || !v) return nullptr;
    return s_driver->voice_clone(v);
}

void zolm_voice_free(ZolmVoice *v) {
    if (s_driver && v) s_driver->voice_free(v);
}

void zolm_voice_play(ZolmVoice *v) {
    if (s_driver && v) s_driver->voice_play(v);
}

void zolm_voice_stop(ZolmVoice *v) {
    if (s_driver && v) s_driver->voice_stop(v);
}

void zolm_voice_set_rate(ZolmVoice *v, int rate) {
    if (s_driver && v) s_driver->voice_set_rate(v, rate);
}

void zolm_voice_set_volume(ZolmVoice *v, int volume) {
    if (s_driver && v) s_driver->voice_set_volume(v, volume);
}

void zolm_voice_set_pan(ZolmVoice *v, int pan) {
    if (s_driver && v) s_driver->voice_set_pan(v, pan);
}

void zolm_voice_set_loop(ZolmVoice *v, bool loop) {
    if (s_driver && v) s_driver->voice_set_loop(v, loop);
}

int zolm_voice_position(ZolmVoice *v) {
    if (!s_driver || !v) return 0;
    return s_driver->voice_position(v);
}

void zolm_voice_write(ZolmVoice *v, int count, const uint8_t *data, int offset) {
    if (s_driver && v) s_driver->voice_write(v, count, data, offset);
}
