// The player's control channels applied to the local bike once a tick:
// steering (reversed when the setup says so), throttle, brakes, the
// sticky or held sit/dab, back-up, lean, the clutch lever with its
// limited release, and the shift channel's thresholds.
//
// Owns: the sticky-dab toggle and its last channel value.
// Never: writes a BikeControls field but through the bike's setters.
#pragma once

struct BikeState;

struct ControlApplyState {
    bool sticky_dab;        // the toggled sit/dab
    float last_dab;         // the dab channel of the previous tick
};

// Applies the nine channels (CHANNEL_* order) to the bike. reverse_steering
// and sticky_dab are the setup's choices.
void controls_apply(BikeState *bike, const float *channels, bool reverse_steering, bool sticky_dab,
                    ControlApplyState *state);
