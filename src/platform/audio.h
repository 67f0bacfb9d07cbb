// The platform audio: one process-wide audio driver and the voices played
// through it. The game makes voices from 8-bit unsigned sample data, starts,
// stops and loops them, sets their rate, volume and pan, and writes fresh
// data into a looping voice while it plays (the engine sound).
//
// Two drivers share one software mixer: the sound device (SDL audio; its
// callback mixes on the device's thread under the mixer lock) and readback
// (no device; the game pulls each mixed block with zolm_audio_mix to record
// it). Every voice call takes the mixer lock, so all of them are safe from
// the game thread while the device plays.
//
// Owns: the driver, the mixer, every voice and its sample data, from a
// successful open to zolm_audio_close.
// Never: fails loudly. A failed open is logged and leaves the game silent;
// with no driver open every voice call is a no-op that returns none or 0.
#pragma once

#include <cstdint>

struct ZolmWindow;
struct ZolmVoice;   // opaque outside src/platform

// Opens the sound device (options "sound-rate", "sound-channels",
// "sound-mixahead", "waveout"; "dsnd" is read, but no DirectSound exists
// here). The window may be none. False when nothing opened (logged), or when
// audio is already open.
bool zolm_audio_open(ZolmWindow *w);
// Opens the readback driver: mono 16-bit blocks of samples_per_call samples
// mixed at rate, one per zolm_audio_mix call. The window may be none.
bool zolm_audio_open_readback(ZolmWindow *w, int rate, int samples_per_call);
// Closes the driver and frees every voice still alive: their handles are
// dead afterwards. Logs "Can't close audio, not open\n" when nothing is open.
void zolm_audio_close();
bool zolm_audio_is_open();

// Readback only: mixes the next samples_per_call samples (signed 16-bit,
// native byte order) and returns them; the block stays valid until the next
// call or the close. None with any other driver or none open.
const int16_t *zolm_audio_mix();

// A voice of length bytes of 8-bit unsigned data (none: silence, all 128) at
// rate samples per second, converted to the mixing rate now; rate 0 takes the
// data as they are. It starts stopped, not looping, at full volume, centred,
// playing at the mixing rate. None on failure.
ZolmVoice *zolm_voice_create(int length, const uint8_t *data, int rate);
// A new stopped voice sharing v's sample data (a write into one is heard in
// both), with v's rate, volume, pan and loop flag. The data go with the last
// voice that shares them.
ZolmVoice *zolm_voice_clone(ZolmVoice *v);
void zolm_voice_free(ZolmVoice *v);
void zolm_voice_play(ZolmVoice *v);                   // from the start of its data
void zolm_voice_stop(ZolmVoice *v);
void zolm_voice_set_rate(ZolmVoice *v, int rate);     // samples per second of the data; <= 0: the mixing rate
void zolm_voice_set_volume(ZolmVoice *v, int volume); // 0 ... 32767
void zolm_voice_set_pan(ZolmVoice *v, int pan);       // -32768 (left) ... 32767 (right)
void zolm_voice_set_loop(ZolmVoice *v, bool loop);
// The byte offset of playback in the voice's data.
int zolm_voice_position(ZolmVoice *v);
// Writes count bytes into the voice's data from byte offset on, wrapping at
// the end of the data.
void zolm_voice_write(ZolmVoice *v, int count, const uint8_t *data, int offset);
