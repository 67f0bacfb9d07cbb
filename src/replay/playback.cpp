#include "replay/playback.h"

#include <cmath>

#include "core/race.h"
#include "replay/history.h"
#include "track/gates.h"

PlaybackHooks g_playback_hooks;

// Forgets the gate crossings after tick c: progress goes back to the first
// position passed later than c.
static void forget_crossings_after(GateProgress *rider, int32_t c) {
    for (int p = 0; p < rider->log_count; p++) {
        if (rider->log[p] > c) {
            rider_reset_progress(rider, p);
            return;
        }
    }
}

void playback_seek(float seconds, bool accurate_skip) {
    const PlaybackHooks *h = &g_playback_hooks;
    if (!h->seekable || !h->seekable() || !std::isfinite(seconds)) return;
    int version = h->version ? h->version() : 0;
    int32_t target = g_race.tick + (int32_t)lroundf(seconds * 128);
    if (seconds > 0 && (version == 6 || accurate_skip)) {
        // Run the race forward without roost.
        int roost = g_race_tick_options.roost_frequency;
        g_race_tick_options.roost_frequency = 0;
        while (g_race.tick < target) race_step();
        g_race_tick_options.roost_frequency = roost;
        return;
    }
    int32_t c = target - 1 < 0 ? 0 : target - 1;
    if (h->seek && !h->seek(c)) return;
    if (c < g_race.tick) {
        for (RiderSlot &slot : g_slots) {
            if (slot.bike) forget_crossings_after(&slot.gates, c);
        }
        g_race.results_written = false;
        standings_update();
    }
    g_race.tick = c;
    history_clear();
    if (h->read_ahead) h->read_ahead();
    race_step();
}
