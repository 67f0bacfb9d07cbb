#include "core/controls.h"

#include "bike/bike.h"
#include "core/loop.h"
#include "core/settings.h"

void controls_apply(BikeState *bike, const float *channels, bool reverse_steering, bool sticky_dab,
                    ControlApplyState *state) {
    float steer = channels[CHANNEL_STEER];
    bike_set_steer(bike, reverse_steering ? -steer : steer);
    bike_set_front_brake(bike, channels[CHANNEL_FRONT_BRAKE]);
    bike_set_rear_brake(bike, channels[CHANNEL_REAR_BRAKE]);
    bike_set_throttle(bike, channels[CHANNEL_THROTTLE]);

    float dab = channels[CHANNEL_DAB];
    if (sticky_dab) {
        if (dab > 0.5f && !(state->last_dab > 0.5f)) state->sticky_dab = !state->sticky_dab;
        bike_set_dab(bike, state->sticky_dab ? 1.0f : 0.0f);
    } else {
        bike_set_dab(bike, dab);
    }
    state->last_dab = dab;

    bike_set_back_up(bike, channels[CHANNEL_BACK_UP]);
    bike_set_lean(bike, channels[CHANNEL_LEAN]);

    // The lever lets the clutch in no faster than full engagement in a
    // quarter of a second; pulling it in is immediate.
    float c = 1.0f - 8.0f / 7.0f * channels[CHANNEL_CLUTCH];
    c = c < 0 ? 0 : c > 1 ? 1 : c;
    float most = bike->controls.clutch + 4.0f * (float)g_settings.tick;
    bike_set_clutch(bike, c > most ? most : c);

    float shift = channels[CHANNEL_SHIFT];
    bike_shift(bike, shift > 0.5f ? 1 : shift < -0.5f ? -1 : 0);
}
