// Seeking in demo playback: the rewind and skip keys move the replayed
// race by whole seconds, re-reading the demo from the right place.
//
// The demo reader plugs in through g_playback_hooks; until it does, a seek
// does nothing (no demo can be playing).
#pragma once

#include <cstdint>

struct PlaybackHooks {
    // A demo is being played, nothing is recorded and every bike is replayed.
    bool (*seekable)();
    int (*version)();                     // the demo's format version
    // Positions the reader so that tick c is read next (version 6 walks
    // back through its blocks to one at least 64 ticks before c).
    bool (*seek)(int32_t c);
    void (*read_ahead)();
};
extern PlaybackHooks g_playback_hooks;   // whole process; set once by the demo reader

// Seconds forward (x > 0) or back (x < 0); accurate_skip is "--accurate-skip".
void playback_seek(float seconds, bool accurate_skip);
