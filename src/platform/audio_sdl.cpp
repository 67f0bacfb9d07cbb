// The sound-device driver: an SDL audio device whose callback runs the
// software mixer on SDL's audio thread. SDL holds the device lock around the
// callback, so SDL_LockAudioDevice is the mixer lock that every voice call
// takes.
//
// Owns: SDL's audio subsystem (initialised by the open, quit by the close),
// the device, and the mixer while the device is open.
// Never: lets an SDL type out of this file, or treats a missing sound card
// or audio server as more than a logged failure.
//
// Output: 8-bit unsigned at the "sound-rate" option, stereo unless the
// default device reports a single channel; SDL converts to whatever the
// hardware takes. Each callback mixes one fragment of rate / 64 samples, so
// voice positions move in 1/64-second steps as the engine sound expects: it
// writes only a tenth of a second ahead of a voice's position, and a callback
// that mixed the whole mix-ahead at once would read past what was written.
// The queue in front of the hardware is SDL's and the backend's; the
// "sound-mixahead" option is read and logged, but the callback interface
// offers no way to set that depth. SDL runs and paces the thread itself:
// there are no fragment headers to prepare and no fragment that can time out.
#include <SDL.h>

#include <cstdio>

#include "platform/audio_internal.h"
#include "platform/log.h"

enum {
    FRAGMENTS_PER_SECOND = 64,
    FRAGMENTS_AHEAD_MOST = 32,
    RATE_LOWEST = 4000,         // a rate SDL and the hardware can take
    RATE_HIGHEST = 192000,
    DEVICE_NAME_BYTES = 256,
};

struct SoundDevice {
    SDL_AudioDeviceID id;       // 0 while closed
    Mixer *mixer;
    int channels;               // output sides, 1 or 2
    bool thread_began;          // set by the first callback (device thread)
};

static SoundDevice s_device;   // filled by audio_device_open, cleared by device_close

static void device_lock(void *arg) {
    SDL_LockAudioDevice(((SoundDevice *)arg)->id);
}

static void device_unlock(void *arg) {
    SDL_UnlockAudioDevice(((SoundDevice *)arg)->id);
}

// SDL's audio thread, under the device lock.
static void SDLCALL device_callback(void *arg, Uint8 *stream, int bytes) {
    SoundDevice *d = (SoundDevice *)arg;
    if (!d->thread_began) {
        d->thread_began = true;
        zolm_log("Audio thread begin\n");
    }
    int samples = bytes / d->channels;
    mixer_mix_u8(d->mixer, stream, samples);
    for (int i = samples * d->channels; i < bytes; i++) stream[i] = 128;
}

// The default output device's name and channel count (0 when unknown).
static void device_describe(char *name, size_t size, int *channels) {
    SDL_AudioSpec spec;
    *channels = 0;
#if SDL_VERSION_ATLEAST(2, 24, 0)
    char *default_name = nullptr;
    if (SDL_GetDefaultAudioInfo(&default_name, &spec, 0) == 0) {
        snprintf(name, size, "%s", default_name ? default_name : "default device");
        SDL_free(default_name);
        *channels = spec.channels;
        return;
    }
#endif
    if (SDL_GetNumAudioDevices(0) > 0) {
        const char *first = SDL_GetAudioDeviceName(0, 0);
        snprintf(name, size, "%s", first ? first : "default device");
        if (SDL_GetAudioDeviceSpec(0, 0, &spec) == 0) *channels = spec.channels;
        return;
    }
    const char *driver = SDL_GetCurrentAudioDriver();
    snprintf(name, size, "default device (%s)", driver ? driver : "unknown driver");
}

static void device_close() {
    SDL_CloseAudioDevice(s_device.id);   // stops and joins the audio thread
    if (s_device.thread_began) zolm_log("Audio thread end\n");
    mixer_free(s_device.mixer);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s_device = SoundDevice{};
}

static ZolmVoice *device_voice_create(int length, const uint8_t *data, int rate) {
    return mixer_voice_create(s_device.mixer, length, data, rate);
}

static const AudioDriver DEVICE_DRIVER = {
    "waveOut",
    device_close,
    nullptr,
    device_voice_create,
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

const AudioDriver *audio_device_open(ZolmWindow *w) {
    (void)w;   // SDL needs no window for sound
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        zolm_log("No audio device\n");
        zolm_log("SDL audio: %s\n", SDL_GetError());
        return nullptr;
    }
    char name[DEVICE_NAME_BYTES];
    int device_channels;
    device_describe(name, sizeof name, &device_channels);
    zolm_log("Found a %s\n", name);

    int voices = zolm_option_int("sound-channels", 16);
    int rate = zolm_option_int("sound-rate", 22050);
    int mixahead = zolm_option_int("sound-mixahead", 125);
    if (rate < RATE_LOWEST) rate = RATE_LOWEST;
    if (rate > RATE_HIGHEST) rate = RATE_HIGHEST;
    int fragment = rate / FRAGMENTS_PER_SECOND;
    int ahead = (int)((int64_t)mixahead * FRAGMENTS_PER_SECOND / 1000);
    if (ahead < 1) ahead = 1;
    if (ahead > FRAGMENTS_AHEAD_MOST) ahead = FRAGMENTS_AHEAD_MOST;
    int channels = device_channels == 1 ? 1 : 2;
    zolm_log("Waveout rate: %d\n", rate);
    zolm_log("Waveout channels: %d\n", voices);
    zolm_log("Waveout mixahead: %d\n", ahead * 1000 / FRAGMENTS_PER_SECOND);

    SDL_AudioSpec want, have;
    SDL_zero(want);
    want.freq = rate;
    want.format = AUDIO_U8;
    want.channels = (Uint8)channels;
    want.samples = (Uint16)fragment;
    want.callback = device_callback;
    want.userdata = &s_device;
    // No changes allowed: SDL converts whatever the hardware wants.
    s_device.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (s_device.id == 0) {
        zolm_log("Can't open waveOut\n");
        zolm_log("SDL audio: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        s_device = SoundDevice{};
        return nullptr;
    }
    s_device.channels = channels;
    s_device.mixer = mixer_create(rate, channels, voices, fragment);
    if (!s_device.mixer) {
        zolm_log("malloc() failed\n");
        SDL_CloseAudioDevice(s_device.id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        s_device = SoundDevice{};
        return nullptr;
    }
    mixer_set_lock(s_device.mixer, device_lock, device_unlock, &s_device);
    zolm_log("Waveout device: %d Hz, %d output channel(s), %d samples a callback\n", have.freq,
             have.channels, have.samples);
    SDL_PauseAudioDevice(s_device.id, 0);
    zolm_log("Audio opened!\n");
    return &DEVICE_DRIVER;
}
