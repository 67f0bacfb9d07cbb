// The software mixer behind both audio drivers: voices over shared 8-bit
// sample data, sorted by loudness into 32 gain-level lists, mixed into 32-bit
// accumulators and clamped to 8-bit unsigned or 16-bit signed output.
//
// Owns: its accumulators, every voice it made and their sample data.
// Never: blocks or allocates while mixing (it runs on the sound device's
// thread), or touches a voice without the mixer lock.
//
// How a block is mixed: the levels are walked from 31 down, and within a
// level the voice sides in list order; the first voice_limit sides heard are
// added into the accumulators, every further side and every side at level 0
// is only advanced. Each side reads its voice's data along the same path from
// the voice's position at the start of the block; once all sides are done
// every playing voice moves along that path exactly once, so a stereo voice
// does not run at twice its speed and an unheard voice keeps its place.
#include "platform/audio_internal.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"

enum {
    VOLUME_MOST = 32767,
    PAN_LEFT = -32768,
    PAN_RIGHT = 32767,
    LEVEL_SHIFT = 26,       // (pan span x volume) >> 26 gives 0 ... 31
    LEVEL_TABLE_SCALE = 32, // level i passes i/32 of the amplitude
};

static const uint32_t FRACTION_ONE = 1u << MIXER_FRACTION_BITS;
static const uint32_t FRACTION_MASK = FRACTION_ONE - 1;

// The scaled value of every sample byte at every level, built on first use
// (mixer_create) and read-only afterwards.
struct LevelTable {
    int8_t value[MIXER_LEVELS][256];
};

static const LevelTable *level_table() {
    static LevelTable table;
    static const bool built = [] {
        for (int level = 0; level < MIXER_LEVELS; level++)
            for (int byte = 0; byte < 256; byte++)
                table.value[level][byte] = (int8_t)((byte - 128) * level / LEVEL_TABLE_SCALE);
        return true;
    }();
    (void)built;
    return &table;
}

int mixer_gain_level(int volume, int pan, int side) {
    if (volume < 0) volume = 0;
    if (volume > VOLUME_MOST) volume = VOLUME_MOST;
    if (pan < PAN_LEFT) pan = PAN_LEFT;
    if (pan > PAN_RIGHT) pan = PAN_RIGHT;
    int64_t span = side == 0 ? (int64_t)PAN_RIGHT - pan : (int64_t)pan - PAN_LEFT;
    return (int)((span * volume) >> LEVEL_SHIFT);
}

int mixer_level_value(int level, int byte) {
    if (level < 0 || level >= MIXER_LEVELS || byte < 0 || byte > 255) return 0;
    return level_table()->value[level][byte];
}

uint8_t mixer_output_u8(int32_t accumulator) {
    if (accumulator < -127) return 0;
    if (accumulator > 126) return 255;
    return (uint8_t)(accumulator + 128);
}

int16_t mixer_output_s16(int32_t accumulator) {
    if (accumulator < -126) return -32512;
    if (accumulator > 126) return 32512;
    return (int16_t)(accumulator * 256);
}

static void mixer_lock(Mixer *m) {
    if (m->lock) m->lock(m->lock_arg);
}

static void mixer_unlock(Mixer *m) {
    if (m->unlock) m->unlock(m->lock_arg);
}

// ---- level lists (caller holds the lock) ----

static void side_unlist(Mixer *m, MixSide *s) {
    if (!s->listed) return;
    if (s->prev) s->prev->next = s->next;
    else m->level_head[s->level] = s->next;
    if (s->next) s->next->prev = s->prev;
    else m->level_tail[s->level] = s->prev;
    s->prev = s->next = nullptr;
    s->listed = false;
}

static void side_list(Mixer *m, MixSide *s) {
    if (s->listed) return;
    s->prev = m->level_tail[s->level];
    s->next = nullptr;
    if (s->prev) s->prev->next = s;
    else m->level_head[s->level] = s;
    m->level_tail[s->level] = s;
    s->listed = true;
}

static void voice_unlist(ZolmVoice *v) {
    for (int side = 0; side < v->mixer->channels; side++) side_unlist(v->mixer, &v->sides[side]);
}

static void voice_list(ZolmVoice *v) {
    for (int side = 0; side < v->mixer->channels; side++) side_list(v->mixer, &v->sides[side]);
}

// Recomputes the levels from volume and pan; a listed side whose level
// changed moves to the end of its new level's list.
static void voice_update_levels(ZolmVoice *v) {
    Mixer *m = v->mixer;
    int pan = m->channels == 1 ? PAN_LEFT : v->pan;
    for (int side = 0; side < m->channels; side++) {
        MixSide *s = &v->sides[side];
        int level = mixer_gain_level(v->volume, pan, side);
        if (level == s->level) continue;
        bool listed = s->listed;
        side_unlist(m, s);
        s->level = level;
        if (listed) side_list(m, s);
    }
}

static void voice_set_step(ZolmVoice *v, int rate) {
    int64_t device = v->mixer->rate;
    if (rate <= 0) rate = (int)device;
    v->source_rate = rate;
    v->step_whole = (uint32_t)(rate / device);
    v->step_fraction = (uint32_t)((((int64_t)rate % device) << MIXER_FRACTION_BITS) / device);
}

// ---- mixing ----

// Where a voice stands after a run.
struct VoiceCursor {
    uint32_t position;
    uint32_t fraction;
    bool finished;
};

// Runs v through samples output samples from its position at the start of
// the block (the start of its data when a restart is asked for). With a row
// it adds the row's value of each byte read to every stride-th accumulator
// from acc on. A voice that runs off its end wraps when looping, else stops
// there and is reported finished.
static VoiceCursor voice_run(const ZolmVoice *v, int samples, int32_t *acc, int stride,
                             const int8_t *row) {
    VoiceCursor c = {v->position, v->fraction, false};
    if (v->flags & VOICE_RESTART) {
        c.position = 0;
        c.fraction = 0;
    }
    const uint8_t *bytes = v->sample->bytes;
    const uint64_t length = (uint64_t)v->sample->length;
    const bool looping = (v->flags & VOICE_LOOPING) != 0;
    for (int i = 0; i < samples; i++) {
        if (row) acc[i * stride] += row[bytes[c.position]];
        uint32_t fraction = c.fraction + v->step_fraction;   // < 2^32: both < 2^31
        uint64_t position = (uint64_t)c.position + v->step_whole + (fraction >> MIXER_FRACTION_BITS);
        c.fraction = fraction & FRACTION_MASK;
        if (position >= length) {
            if (!looping) {
                c.position = (uint32_t)length;
                c.fraction = 0;
                c.finished = true;
                break;
            }
            position %= length;
        }
        c.position = (uint32_t)position;
    }
    return c;
}

// Mixes samples (at most block_samples) into the accumulators and moves
// every playing voice on.
static void mix_block(Mixer *m, int samples) {
    memset(m->accumulators, 0, sizeof(int32_t) * (size_t)samples * (size_t)m->channels);
    const LevelTable *table = level_table();
    int heard = 0;
    for (int level = MIXER_LEVELS - 1; level > 0 && heard < m->voice_limit; level--) {
        for (MixSide *s = m->level_head[level]; s && heard < m->voice_limit; s = s->next) {
            int side = (int)(s - s->voice->sides);
            voice_run(s->voice, samples, m->accumulators + side, m->channels, table->value[level]);
            heard++;
        }
    }
    for (ZolmVoice *v = m->voices; v; v = v->next) {
        if (!(v->flags & VOICE_PLAYING)) continue;
        VoiceCursor c = voice_run(v, samples, nullptr, 0, nullptr);
        v->position = c.position;
        v->fraction = c.fraction;
        v->flags &= ~VOICE_RESTART;
        if (c.finished) {
            v->flags = (v->flags | VOICE_FINISHED) & ~VOICE_PLAYING;
            voice_unlist(v);
        }
    }
}

void mixer_mix_u8(Mixer *m, uint8_t *out, int samples) {
    while (samples > 0) {
        int n = samples < m->block_samples ? samples : m->block_samples;
        mix_block(m, n);
        for (int i = 0; i < n * m->channels; i++) out[i] = mixer_output_u8(m->accumulators[i]);
        out += n * m->channels;
        samples -= n;
    }
}

void mixer_mix_s16(Mixer *m, int16_t *out, int samples) {
    while (samples > 0) {
        int n = samples < m->block_samples ? samples : m->block_samples;
        mix_block(m, n);
        for (int i = 0; i < n * m->channels; i++) out[i] = mixer_output_s16(m->accumulators[i]);
        out += n * m->channels;
        samples -= n;
    }
}

// ---- the mixer ----

Mixer *mixer_create(int rate, int channels, int voice_limit, int block_samples) {
    if (rate <= 0 || channels < 1 || channels > MIXER_MAX_CHANNELS || block_samples <= 0) return nullptr;
    if ((size_t)block_samples > SIZE_MAX / sizeof(int32_t) / MIXER_MAX_CHANNELS) return nullptr;
    Mixer *m = (Mixer *)calloc(1, sizeof *m);
    if (!m) return nullptr;
    m->accumulators = (int32_t *)calloc((size_t)block_samples * (size_t)channels, sizeof(int32_t));
    if (!m->accumulators) {
        free(m);
        return nullptr;
    }
    m->rate = rate;
    m->channels = channels;
    m->voice_limit = voice_limit < 0 ? 0 : voice_limit;
    m->block_samples = block_samples;
    level_table();
    return m;
}

// Drops the voice's hold on its data; the last holder frees them.
static void sample_release(MixSample *sample) {
    if (--sample->refs > 0) return;
    free(sample->bytes);
    free(sample);
}

void mixer_free(Mixer *m) {
    if (!m) return;
    ZolmVoice *v = m->voices;
    while (v) {
        ZolmVoice *next = v->next;
        sample_release(v->sample);
        free(v);
        v = next;
    }
    free(m->accumulators);
    free(m);
}

void mixer_set_lock(Mixer *m, MixerLockFn lock, MixerLockFn unlock, void *arg) {
    m->lock = lock;
    m->unlock = unlock;
    m->lock_arg = arg;
}

// ---- voices ----

// A stopped voice over sample at the mixing rate, full volume, centred;
// linked into the mixer under its lock.
static ZolmVoice *voice_new(Mixer *m, MixSample *sample) {
    ZolmVoice *v = (ZolmVoice *)calloc(1, sizeof *v);
    if (!v) return nullptr;
    v->mixer = m;
    v->sample = sample;
    v->volume = VOLUME_MOST;
    v->pan = 0;
    v->flags = m->channels == 2 ? VOICE_STEREO : 0;
    for (int side = 0; side < MIXER_MAX_CHANNELS; side++) v->sides[side].voice = v;
    voice_set_step(v, m->rate);
    voice_update_levels(v);   // not listed yet: no lock needed
    return v;
}

static void voice_link(ZolmVoice *v) {
    Mixer *m = v->mixer;
    mixer_lock(m);
    v->prev = nullptr;
    v->next = m->voices;
    if (m->voices) m->voices->prev = v;
    m->voices = v;
    mixer_unlock(m);
}

ZolmVoice *mixer_voice_create(Mixer *m, int length, const uint8_t *data, int rate) {
    if (!m) return nullptr;
    if (length <= 0) {
        zolm_log("Voice: bad length %d\n", length);
        return nullptr;
    }
    // Data at another rate are resampled now by nearest-sample stepping, so
    // mixing only ever steps through data at the mixing rate.
    bool convert = rate > 0 && rate != m->rate;
    int64_t converted = convert ? (int64_t)length * m->rate / rate : length;
    if (converted <= 0 || converted > INT_MAX) {
        zolm_log("Voice: %d bytes at %d Hz make no sample at %d Hz\n", length, rate, m->rate);
        return nullptr;
    }
    MixSample *sample = (MixSample *)calloc(1, sizeof *sample);
    uint8_t *bytes = (uint8_t *)malloc((size_t)converted);
    ZolmVoice *v = sample && bytes ? voice_new(m, sample) : nullptr;
    if (!v) {
        zolm_log("Voice: out of memory for %lld bytes\n", (long long)converted);
        free(bytes);
        free(sample);
        return nullptr;
    }
    if (!data) memset(bytes, 128, (size_t)converted);
    else if (!convert) memcpy(bytes, data, (size_t)converted);
    else
        for (int64_t i = 0; i < converted; i++) bytes[i] = data[i * rate / m->rate];
    sample->refs = 1;
    sample->length = (int)converted;
    sample->bytes = bytes;
    voice_link(v);
    return v;
}

ZolmVoice *mixer_voice_clone(ZolmVoice *v) {
    if (!v) return nullptr;
    Mixer *m = v->mixer;
    ZolmVoice *c = voice_new(m, v->sample);
    if (!c) {
        zolm_log("Voice: out of memory for a clone\n");
        return nullptr;
    }
    mixer_lock(m);
    v->sample->refs++;
    c->source_rate = v->source_rate;
    c->step_whole = v->step_whole;
    c->step_fraction = v->step_fraction;
    c->volume = v->volume;
    c->pan = v->pan;
    c->flags |= v->flags & VOICE_LOOPING;
    voice_update_levels(c);
    mixer_unlock(m);
    voice_link(c);
    return c;
}

void mixer_voice_free(ZolmVoice *v) {
    if (!v) return;
    Mixer *m = v->mixer;
    mixer_lock(m);
    voice_unlist(v);
    if (v->prev) v->prev->next = v->next;
    else m->voices = v->next;
    if (v->next) v->next->prev = v->prev;
    sample_release(v->sample);
    mixer_unlock(m);
    free(v);
}

void mixer_voice_play(ZolmVoice *v) {
    if (!v) return;
    mixer_lock(v->mixer);
    v->flags = (v->flags | VOICE_PLAYING | VOICE_RESTART) & ~VOICE_FINISHED;
    voice_list(v);
    mixer_unlock(v->mixer);
}

void mixer_voice_stop(ZolmVoice *v) {
    if (!v) return;
    mixer_lock(v->mixer);
    v->flags &= ~(VOICE_PLAYING | VOICE_RESTART);
    voice_unlist(v);
    mixer_unlock(v->mixer);
}

void mixer_voice_set_rate(ZolmVoice *v, int rate) {
    if (!v) return;
    mixer_lock(v->mixer);
    voice_set_step(v, rate);
    mixer_unlock(v->mixer);
}

void mixer_voice_set_volume(ZolmVoice *v, int volume) {
    if (!v) return;
    if (volume < 0) volume = 0;
    if (volume > VOLUME_MOST) volume = VOLUME_MOST;
    mixer_lock(v->mixer);
    v->volume = volume;
    voice_update_levels(v);
    mixer_unlock(v->mixer);
}

void mixer_voice_set_pan(ZolmVoice *v, int pan) {
    if (!v) return;
    if (pan < PAN_LEFT) pan = PAN_LEFT;
    if (pan > PAN_RIGHT) pan = PAN_RIGHT;
    mixer_lock(v->mixer);
    v->pan = pan;
    voice_update_levels(v);
    mixer_unlock(v->mixer);
}

void mixer_voice_set_loop(ZolmVoice *v, bool loop) {
    if (!v) return;
    mixer_lock(v->mixer);
    if (loop) v->flags |= VOICE_LOOPING;
    else v->flags &= ~VOICE_LOOPING;
    mixer_unlock(v->mixer);
}

int mixer_voice_position(ZolmVoice *v) {
    if (!v) return 0;
    mixer_lock(v->mixer);
    int position = (v->flags & VOICE_RESTART) ? 0 : (int)v->position;
    mixer_unlock(v->mixer);
    return position;
}

void mixer_voice_write(ZolmVoice *v, int count, const uint8_t *data, int offset) {
    if (!v || !data || count <= 0) return;
    mixer_lock(v->mixer);
    int length = v->sample->length;
    int at = offset % length;
    if (at < 0) at += length;
    while (count > 0) {
        int n = count < length - at ? count : length - at;
        memcpy(v->sample->bytes + at, data, (size_t)n);
        data += n;
        count -= n;
        at = 0;
    }
    mixer_unlock(v->mixer);
}
